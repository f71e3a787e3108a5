// The address book's stand-in: vCard 2.1, 3.0 and 4.0 read into people
// (folding, escapes, quoted-printable, character sets, labels, pictures),
// the texts the contact editors take from a person, and files that are not
// what they claim (huge, a pipe, a link, an absurd picture, garbage).

#include "work/TWAddressBookPickerController.h"

#include "TWTestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>

#include <sys/stat.h>
#include <unistd.h>

namespace
{

using Picker = TWAddressBookPickerController;

QByteArray crlf(const char *text)
{
    return QByteArray(text).replace("\n", "\r\n");
}

TWPersonPtr only(const QByteArray &data)
{
    const TWPersonList people = TWVCardParser::parse(data);
    EXPECT_EQ(people.size(), 1);
    return people.value(0);
}

QByteArray pngBytes(int width = 4, int height = 3)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Base64 folded into lines of 60 with a leading blank, as exporters write it.
QByteArray folded(const QByteArray &base64)
{
    QByteArray out;
    for (qsizetype i = 0; i < base64.size(); i += 60)
        out += "\r\n " + base64.mid(i, 60);
    return out;
}

QStringList labels(const QList<TWPersonLabeledValue> &values)
{
    QStringList list;
    for (const TWPersonLabeledValue &value : values)
        list.append(value.label + QLatin1Char('=') + value.value);
    return list;
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

const QByteArray kSimpleCard = crlf("BEGIN:VCARD\nVERSION:3.0\nN:Doe;Jane;;;\n"
                                    "EMAIL:jane@example.com\nEND:VCARD\n");

} // namespace

TEST(VCard, Version21QuotedPrintableCharsetsBareTypesAndAFoldedPhoto)
{
    const QByteArray photo = pngBytes();
    QByteArray data =
        crlf("BEGIN:VCARD\nVERSION:2.1\n"
             "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;J=C3=BCrgen;;;\n"
             "ORG;ENCODING=QUOTED-PRINTABLE:M=FCller GmbH;Sales\n"
             "TEL;WORK;VOICE:+49 30 1234\n"
             "TEL;CELL:+49 170 555\n"
             "TEL;HOME;FAX:+49 30 999\n"
             "ADR;WORK;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;Hinterhaus;Hauptstra=\n"
             "=C3=9Fe 1;Berlin;;10115;Germany\n"
             "NOTE;ENCODING=QUOTED-PRINTABLE:Line one=0D=0A=\nLine two\n"
             "EMAIL;INTERNET:j@example.de\n"
             "PHOTO;ENCODING=BASE64;TYPE=PNG:");
    data += folded(photo.toBase64()) + "\r\n\r\nEND:VCARD\r\n";
    const TWPersonPtr person = only(data);
    ASSERT_TRUE(person);
    EXPECT_EQ(person->lastName, QStringLiteral("Müller"));
    EXPECT_EQ(person->firstName, QStringLiteral("Jürgen"));
    // Bytes that are no UTF-8 are read as Windows-1252.
    EXPECT_EQ(person->organization, QStringLiteral("Müller GmbH"));
    const TWPersonPtr latin =
        only("BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=ISO-8859-1:Caf\xe9;Ren\xe9\n"
             "NOTE;CHARSET=windows-1252:\x80 5\nEND:VCARD\n");
    ASSERT_TRUE(latin);
    EXPECT_EQ(latin->lastName, QStringLiteral("Café"));
    EXPECT_EQ(latin->note, QStringLiteral("€ 5"));
    EXPECT_EQ(labels(person->phones),
              QStringList({QStringLiteral("work=+49 30 1234"), QStringLiteral("mobile=+49 170 555"),
                           QStringLiteral("home fax=+49 30 999")}));
    ASSERT_EQ(person->addresses.size(), 1);
    EXPECT_EQ(person->addresses[0].label, TWPersonLabel::Work);
    EXPECT_EQ(person->addresses[0].street, QStringLiteral("Hauptstraße 1, Hinterhaus"));
    EXPECT_EQ(person->addresses[0].city, QStringLiteral("Berlin"));
    EXPECT_EQ(person->addresses[0].zip, QStringLiteral("10115"));
    EXPECT_EQ(person->addresses[0].country, QStringLiteral("Germany"));
    EXPECT_EQ(person->note, QStringLiteral("Line one\r\nLine two"));
    EXPECT_EQ(person->emails.value(0).value, QStringLiteral("j@example.de"));
    EXPECT_EQ(person->imageData, photo);
}

TEST(VCard, Version21KeepsTheBlankOfAFoldAndVersion3DropsIt)
{
    const TWPersonPtr old = only(crlf("BEGIN:VCARD\nVERSION:2.1\nN:Roe;Ann\nNOTE:first part\n"
                                      " second part\nEND:VCARD\n"));
    ASSERT_TRUE(old);
    EXPECT_EQ(old->note, QStringLiteral("first part second part"));
    const TWPersonPtr newer = only(crlf("BEGIN:VCARD\nVERSION:3.0\nN:Roe;Ann\nNOTE:a long no\n"
                                        " te folded\n\tagain\nEND:VCARD\n"));
    ASSERT_TRUE(newer);
    EXPECT_EQ(newer->note, QStringLiteral("a long note foldedagain"));
}

TEST(VCard, Version30EscapesTypeListsGroupsAndBinaryPhoto)
{
    const QByteArray photo = pngBytes(2, 2);
    QByteArray data = crlf("BEGIN:VCARD\nVERSION:3.0\n"
                           "N:O\\'Neil\\;Jr;Pat;;;\n"
                           "FN:Pat O'Neil\n"
                           "ORG:Smith\\, Jones & Co\\;Legal;Dept\n"
                           "item1.TEL;type=pref:555-0101\n"
                           "item1.X-ABLabel:_$!<Other>!$_\n"
                           "TEL;TYPE=iPhone:555-0102\n"
                           "TEL;TYPE=WORK,FAX:555-0103\n"
                           "TEL;TYPE=MAIN:555-0104\n"
                           "TEL;TYPE=pager:555-0105\n"
                           "TEL;TYPE=fax:555-0106\n"
                           "EMAIL;TYPE=INTERNET;TYPE=WORK:pat@example.com\n"
                           "URL:http\\://example.com/a\\,b\n"
                           "NOTE:one\\ntwo\\Nthree\\\\four\\, five\\; six\n"
                           "ADR;TYPE=HOME:;;1 Elm St;Springfield;IL;62701;USA\n"
                           "PHOTO;ENCODING=b;TYPE=JPEG:");
    data += photo.toBase64() + "\r\nEND:VCARD\r\n";
    const TWPersonPtr person = only(data);
    ASSERT_TRUE(person);
    EXPECT_EQ(person->lastName, QStringLiteral("O'Neil;Jr"));
    EXPECT_EQ(person->firstName, QStringLiteral("Pat"));
    EXPECT_EQ(person->organization, QStringLiteral("Smith, Jones & Co;Legal"));
    EXPECT_EQ(
        labels(person->phones),
        QStringList({QStringLiteral("other=555-0101"), QStringLiteral("iPhone=555-0102"),
                     QStringLiteral("work fax=555-0103"), QStringLiteral("main=555-0104"),
                     QStringLiteral("pager=555-0105"), QStringLiteral("other fax=555-0106")}));
    EXPECT_EQ(labels(person->emails), QStringList(QStringLiteral("work=pat@example.com")));
    EXPECT_EQ(person->urls.value(0).value, QStringLiteral("http://example.com/a,b"));
    EXPECT_EQ(person->note, QStringLiteral("one\ntwo\nthree\\four, five; six"));
    ASSERT_EQ(person->addresses.size(), 1);
    EXPECT_EQ(person->addresses[0].label, TWPersonLabel::Home);
    EXPECT_EQ(person->addresses[0].state, QStringLiteral("IL"));
    EXPECT_EQ(person->imageData, photo);
}

TEST(VCard, Version40DataUriQuotedTypeListsTelUrisAndAFormattedNameAlone)
{
    const QByteArray photo = pngBytes(3, 3);
    QByteArray data = "BEGIN:VCARD\nVERSION:4.0\nFN:Grace Hopper\n"
                      "TEL;VALUE=uri;TYPE=\"voice,home\":tel:+1-555-0100\n"
                      "TEL;TYPE=\"cell\";PREF=1:tel:+1-555-0199\n"
                      "EMAIL;TYPE=home:grace@example.org\n"
                      "PHOTO:data:image/png;base64,";
    data += photo.toBase64() + "\nEND:VCARD\n";
    const TWPersonPtr person = only(data);
    ASSERT_TRUE(person);
    // Without N the formatted name names the person.
    EXPECT_EQ(Picker::personName(person.get()), QStringLiteral("Grace Hopper"));
    EXPECT_EQ(labels(person->phones), QStringList({QStringLiteral("home=+1-555-0100"),
                                                   QStringLiteral("mobile=+1-555-0199")}));
    EXPECT_EQ(person->imageData, photo);

    // A company card: its formatted name is the company, not a person's name.
    const TWPersonPtr company =
        only("BEGIN:VCARD\nVERSION:4.0\nFN:Acme Ltd\nORG:Acme Ltd\nEND:VCARD\n");
    ASSERT_TRUE(company);
    EXPECT_TRUE(company->firstName.isEmpty());
    EXPECT_EQ(Picker::personName(company.get()), QStringLiteral("Acme Ltd"));
}

TEST(VCard, SeveralCardsUtf16AndMarksAndLineEndsOfEveryKind)
{
    const QByteArray text = "BEGIN:VCARD\rVERSION:3.0\rN:One;A\rEND:VCARD\r"
                            "BEGIN:VCARD\nVERSION:3.0\nN:Two;B\nEND:VCARD\n"
                            "begin:vcard\r\nversion:3.0\r\nn:Three;C\r\nend:vcard\r\n";
    EXPECT_EQ(TWVCardParser::parse(text).size(), 3);
    EXPECT_EQ(TWVCardParser::parse("\xEF\xBB\xBF" + text).size(), 3);
    const QString unicode =
        QString::fromUtf8("BEGIN:VCARD\nVERSION:3.0\nN:Åström;Björn\nEND:VCARD\n");
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char *>(unicode.utf16()), unicode.size() * 2);
    const TWPersonPtr person = only(utf16);
    ASSERT_TRUE(person);
    EXPECT_EQ(person->lastName, QStringLiteral("Åström"));
}

TEST(VCard, PhoneLabelsFollowTheAddressBooksNames)
{
    const auto label = [](std::initializer_list<const char *> types) {
        QStringList list;
        for (const char *type : types)
            list.append(QLatin1String(type));
        return TWVCardParser::phoneLabel(list);
    };
    EXPECT_EQ(label({"work", "voice"}), TWPersonLabel::Work);
    EXPECT_EQ(label({"home"}), TWPersonLabel::Home);
    EXPECT_EQ(label({"cell", "voice"}), TWPersonLabel::Mobile);
    EXPECT_EQ(label({"iphone", "cell"}), TWPersonLabel::IPhone);
    EXPECT_EQ(label({"main"}), TWPersonLabel::Main);
    EXPECT_EQ(label({"fax", "home"}), TWPersonLabel::HomeFax);
    EXPECT_EQ(label({"work", "fax"}), TWPersonLabel::WorkFax);
    EXPECT_EQ(label({"fax"}), TWPersonLabel::OtherFax);
    EXPECT_EQ(label({"pager"}), TWPersonLabel::Pager);
    EXPECT_EQ(label({"voice"}), TWPersonLabel::Other);
    EXPECT_EQ(label({}), TWPersonLabel::Other);
}

TEST(VCard, GarbageBrokenCardsAndNestedAgentsGiveWhatCanBeRead)
{
    const QByteArray data = crlf("garbage before\n\x01\x02\x03\n"
                                 "BEGIN:VCARD\nVERSION:2.1\nN:Keep;Me\nno colon here\n:no name\n"
                                 "AGENT:\nBEGIN:VCARD\nVERSION:2.1\nN:Agent;Secret\nEND:VCARD\n"
                                 "TEL;WORK:555\nEND:VCARD\n"
                                 "BEGIN:VCARD\nVERSION:3.0\nEND:VCARD\n"
                                 "BEGIN:VCARD\nVERSION:3.0\nN:Cut;Off\nNOTE:unterminated QP=");
    const TWPersonList people = TWVCardParser::parse(data);
    ASSERT_EQ(people.size(), 2); // the empty card gives nobody
    EXPECT_EQ(people[0]->lastName, QStringLiteral("Keep"));
    EXPECT_EQ(people[0]->phones.value(0).value, QStringLiteral("555"));
    EXPECT_EQ(people[1]->lastName, QStringLiteral("Cut"));
    // A stray "=" is kept as written, never read past the end.
    EXPECT_EQ(TWVCardParser::decodeQuotedPrintable("a=4"), QByteArray("a=4"));
    EXPECT_EQ(TWVCardParser::decodeQuotedPrintable("a=ZZb=41"), QByteArray("a=ZZbA"));

    // Random bytes never crash and never take long.
    QRandomGenerator random(51);
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < 200; ++round) {
        QByteArray noise(2048, '\0');
        for (char &c : noise)
            c = char(random.bounded(256));
        // Sprinkle the words the reader looks for.
        noise.insert(0, "BEGIN:VCARD\r\nVERSION:2.1\r\n");
        noise.insert(noise.size() / 2, "\r\nPHOTO;ENCODING=QUOTED-PRINTABLE;BASE64:=\r\n =");
        TWVCardParser::parse(noise);
    }
    EXPECT_LT(timer.elapsed(), 5000);
}

TEST(VCard, APictureOfAbsurdSizeIsLeftOutButThePersonStays)
{
    QByteArray data = "BEGIN:VCARD\nVERSION:3.0\nN:Big;Picture\nPHOTO;ENCODING=b;TYPE=JPEG:";
    data += QByteArray(TWVCardParser::maximumPhotoBytes / 3 * 4 + 4096, 'A');
    data += "\nTEL;TYPE=work:555\nPHOTO;VALUE=uri:http://example.com/me.jpg\nEND:VCARD\n";
    const TWPersonPtr person = only(data);
    ASSERT_TRUE(person);
    EXPECT_TRUE(person->imageData.isEmpty());
    EXPECT_EQ(person->phones.value(0).value, QStringLiteral("555"));
}

TEST(AddressBookFiles, OnlyRegularFilesOfBoundedSizeAreRead)
{
    TWTestTempDir dir;
    const QString good = dir.filePath(QStringLiteral("good.vcf"));
    ASSERT_TRUE(writeFile(good, kSimpleCard));
    TWAddressBook::FileResult result = TWAddressBook::readFile(good);
    EXPECT_EQ(result.error, TWAddressBook::FileError::None);
    EXPECT_EQ(result.people.size(), 1);

    // A link is refused, not followed.
    const QString link = dir.filePath(QStringLiteral("link.vcf"));
    ASSERT_TRUE(QFile::link(good, link));
    EXPECT_EQ(TWAddressBook::readFile(link).error, TWAddressBook::FileError::NotRegularFile);

    // A pipe nobody writes to returns at once.
    const QString fifo = dir.filePath(QStringLiteral("fifo.vcf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(TWAddressBook::readFile(fifo).error, TWAddressBook::FileError::NotRegularFile);
    EXPECT_LT(timer.elapsed(), 2000);

    // A huge file is measured, not read (sparse: takes no disk).
    const QString huge = dir.filePath(QStringLiteral("huge.vcf"));
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(TWAddressBook::maximumFileSize + 1));
    }
    EXPECT_EQ(TWAddressBook::readFile(huge).error, TWAddressBook::FileError::TooLarge);

    EXPECT_EQ(TWAddressBook::readFile(dir.path()).error, TWAddressBook::FileError::NotRegularFile);
    result = TWAddressBook::readFile(dir.filePath(QStringLiteral("missing.vcf")));
    EXPECT_EQ(result.error, TWAddressBook::FileError::Unreadable);
    EXPECT_FALSE(result.reason.isEmpty());
    const QString text = dir.filePath(QStringLiteral("text.vcf"));
    ASSERT_TRUE(writeFile(text, "just some notes\n"));
    EXPECT_EQ(TWAddressBook::readFile(text).error, TWAddressBook::FileError::NoContacts);

    // The folder reads its good files and names the others.
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("Second.VCF")), kSimpleCard));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("other.txt")), kSimpleCard));
    const TWAddressBook::FolderResult folder = TWAddressBook::readFolder(dir.path());
    EXPECT_EQ(folder.people.size(), 2);
    EXPECT_EQ(folder.skippedFiles,
              QStringList({QStringLiteral("fifo.vcf"), QStringLiteral("huge.vcf"),
                           QStringLiteral("link.vcf")}));
    EXPECT_TRUE(TWAddressBook::readFolder(dir.filePath(QStringLiteral("none"))).people.isEmpty());
}

// ---- The texts the editors take from a person ----

TEST(AddressBookTexts, NameIsTheOrganisationElseTheNamesThatArePresent)
{
    TWPerson person;
    person.organization = QStringLiteral("Acme");
    person.firstName = QStringLiteral("Jane");
    person.lastName = QStringLiteral("Doe");
    EXPECT_EQ(Picker::personName(&person), QStringLiteral("Acme"));
    person.organization.clear();
    EXPECT_EQ(Picker::personName(&person), QStringLiteral("Jane Doe"));
    person.firstName.clear();
    EXPECT_EQ(Picker::personName(&person), QStringLiteral("Doe"));
    person.firstName = QStringLiteral("Jane");
    person.lastName.clear();
    EXPECT_EQ(Picker::personName(&person), QStringLiteral("Jane"));
    const TWPerson nobody;
    EXPECT_EQ(Picker::personName(&nobody), QString());
    EXPECT_EQ(Picker::personName(nullptr), QString());
}

TEST(AddressBookTexts, AddressJoinsThePresentPartsOfTheFirstAddress)
{
    TWPerson person;
    EXPECT_EQ(Picker::personAddress(&person), QString());
    TWPersonAddress first;
    first.label = TWPersonLabel::Home;
    first.street = QStringLiteral("1 Elm St");
    first.zip = QStringLiteral("62701");
    first.country = QStringLiteral("USA");
    TWPersonAddress second;
    second.street = QStringLiteral("Elsewhere");
    person.addresses = {first, second};
    EXPECT_EQ(Picker::personAddress(&person), QStringLiteral("1 Elm St, 62701, USA"));
    person.addresses[0].street.clear();
    person.addresses[0].city = QStringLiteral("Springfield");
    person.addresses[0].state = QStringLiteral("IL");
    EXPECT_EQ(Picker::personAddress(&person), QStringLiteral("Springfield, IL, 62701, USA"));
}

TEST(AddressBookTexts, MultiValueTakesThePersonsOrderAmongTheAskedLabels)
{
    TWPerson person;
    const QStringList phoneLabels{TWPersonLabel::Work, TWPersonLabel::Home, TWPersonLabel::IPhone,
                                  TWPersonLabel::Mobile, TWPersonLabel::Main};
    const QStringList faxLabels{TWPersonLabel::HomeFax, TWPersonLabel::WorkFax};
    EXPECT_EQ(Picker::multiValueStringWithPerson(&person, TWPersonProperty::Phone, phoneLabels),
              QString());
    person.phones = {{TWPersonLabel::Pager, QStringLiteral("111")},
                     {TWPersonLabel::Home, QStringLiteral("222")}};
    EXPECT_EQ(Picker::multiValueStringWithPerson(&person, TWPersonProperty::Phone, phoneLabels),
              QStringLiteral("222"));
    EXPECT_EQ(Picker::multiValueStringWithPerson(&person, TWPersonProperty::Phone, faxLabels),
              QString());
    // Without labels the first value, whatever its label.
    EXPECT_EQ(Picker::multiValueStringWithPerson(&person, TWPersonProperty::Phone, std::nullopt),
              QStringLiteral("111"));
    person.phones = {{TWPersonLabel::HomeFax, QStringLiteral("333")},
                     {TWPersonLabel::Work, QStringLiteral("444")},
                     {TWPersonLabel::Home, QStringLiteral("555")}};
    EXPECT_EQ(Picker::multiValueStringWithPerson(&person, TWPersonProperty::Phone, phoneLabels),
              QStringLiteral("444"));
    EXPECT_EQ(
        Picker::multiValueStringWithPerson(&person, TWPersonProperty::Phone,
                                           QStringList{TWPersonLabel::Home, TWPersonLabel::Work}),
        QStringLiteral("444"));
    EXPECT_EQ(Picker::multiValueStringWithPerson(&person, TWPersonProperty::Phone, faxLabels),
              QStringLiteral("333"));
    EXPECT_EQ(Picker::multiValueStringWithPerson(&person, TWPersonProperty::Email, std::nullopt),
              QString());
    EXPECT_EQ(Picker::multiValueStringWithPerson(nullptr, TWPersonProperty::Email, std::nullopt),
              QString());
}

TEST(AddressBookTexts, SearchMatchesNamesCompanyMailAndPhoneWordByWord)
{
    TWPerson person;
    person.firstName = QStringLiteral("Jane");
    person.lastName = QStringLiteral("Doe");
    person.organization = QStringLiteral("Acme Widgets");
    person.emails = {{TWPersonLabel::Work, QStringLiteral("jd@studio.example")}};
    person.phones = {{TWPersonLabel::Work, QStringLiteral("555-0100")}};
    for (const char *search : {"", "ja", "doe", "jane d", "acme", "widg", "studio", "0100"})
        EXPECT_TRUE(Picker::personMatches(person, QLatin1String(search))) << search;
    for (const char *search : {"oe", "smith", "jane x"})
        EXPECT_FALSE(Picker::personMatches(person, QLatin1String(search))) << search;
    EXPECT_EQ(Picker::displayName(person), QStringLiteral("Jane Doe (Acme Widgets)"));
}

TEST(AddressBookFiles, OneReadingOfTheFolderIsBounded)
{
    TWTestTempDir dir;
    QByteArray many;
    for (int i = 0; i <= TWVCardParser::maximumCards; ++i)
        many += "BEGIN:VCARD\nN:P" + QByteArray::number(i) + "\nEND:VCARD\n";
    // One file gives at most its number of cards.
    EXPECT_EQ(TWVCardParser::parse(many).size(), TWVCardParser::maximumCards);
    for (const char *name : {"a.vcf", "b.vcf", "c.vcf", "d.vcf"})
        ASSERT_TRUE(writeFile(dir.filePath(QLatin1String(name)), many));
    const TWAddressBook::FolderResult folder = TWAddressBook::readFolder(dir.path());
    EXPECT_EQ(folder.people.size(), TWAddressBook::maximumFolderPeople);
    EXPECT_EQ(folder.filesBeyondLimit, 1);
    EXPECT_TRUE(folder.skippedFiles.isEmpty());
}

TEST(AddressBookFiles, ACardOfEachVersionReadsWithAPictureThatDecodes)
{
    for (const char *name : {"version21.vcf", "version30.vcf", "version40.vcf"}) {
        const TWAddressBook::FileResult result =
            TWAddressBook::readFile(QStringLiteral(TW_TEST_DATA_DIR "/") + QLatin1String(name));
        ASSERT_EQ(result.error, TWAddressBook::FileError::None) << name;
        ASSERT_EQ(result.people.size(), 1) << name;
        const TWPersonPtr &person = result.people.constFirst();
        EXPECT_FALSE(Picker::personName(person.get()).isEmpty()) << name;
        EXPECT_EQ(QImage::fromData(person->imageData).size(), QSize(1, 1)) << name;
    }
}
