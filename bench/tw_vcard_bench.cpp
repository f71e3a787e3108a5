// The address book's vCard reader on large files: cards of every version,
// folded lines, quoted-printable values and pictures. Prints the median of
// three runs per size. Measure a Release build.

#include "platform/TWAddressBook.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace
{

QByteArray card(int i)
{
    const QByteArray n = QByteArray::number(i);
    switch (i % 3) {
    case 0:
        return "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3="
               "BCller" +
               n + ";J=C3=BCrgen\r\nTEL;WORK;VOICE:+49 30 " + n + "\r\nTEL;HOME;FAX:+49 30 9" + n +
               "\r\nADR;WORK;ENCODING=QUOTED-PRINTABLE:;;Hauptstra=C3=9Fe " + n +
               ";Berlin;;10115;Germany\r\nNOTE;ENCODING=QUOTED-PRINTABLE:first line=0D=0A=\r\n"
               "second line\r\nEND:VCARD\r\n";
    case 1:
        return "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe" + n +
               ";Jane;;;\r\nFN:Jane Doe\r\nORG:Acme\\, Inc.\r\n"
               "TEL;TYPE=WORK,VOICE:555-" +
               n + "\r\nEMAIL;TYPE=INTERNET:jane" + n +
               "@example.com\r\nURL:http\\://example.com\r\nNOTE:a note that is long enough to be "
               "fo\r\n"
               " lded over two lines\r\nEND:VCARD\r\n";
    default:
        return "BEGIN:VCARD\nVERSION:4.0\nFN:Person " + n +
               "\nTEL;VALUE=uri;TYPE=\"voice,cell\":tel:+1-555-" + n + "\nEMAIL:p" + n +
               "@example.org\nEND:VCARD\n";
    }
}

QByteArray photoCard(int i)
{
    // A 30 kB picture folded in lines of 74, as exporters write it.
    QByteArray photo(30 * 1024, char(i));
    const QByteArray base64 = photo.toBase64();
    QByteArray folded;
    for (qsizetype at = 0; at < base64.size(); at += 74)
        folded += "\r\n " + base64.mid(at, 74);
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Photo" + QByteArray::number(i) +
           ";Pat\r\nPHOTO;ENCODING=b;TYPE=JPEG:" + folded + "\r\nEND:VCARD\r\n";
}

template <typename Run> qint64 median(Run run)
{
    qint64 times[3];
    for (qint64 &time : times) {
        QElapsedTimer timer;
        timer.start();
        run();
        time = timer.elapsed();
    }
    std::sort(std::begin(times), std::end(times));
    return times[1];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::printf("| text | bytes | people | parse (ms) |\n|---|---:|---:|---:|\n");
    for (const int count : {1000, 10000, TWVCardParser::maximumCards}) {
        QByteArray data;
        for (int i = 0; i < count; ++i)
            data += card(i);
        qsizetype people = 0;
        const qint64 ms = median([&] { people = TWVCardParser::parse(data).size(); });
        std::printf("| %d cards | %lld | %lld | %lld |\n", count, qlonglong(data.size()),
                    qlonglong(people), qlonglong(ms));
    }
    {
        QByteArray data;
        for (int i = 0; i < 1000; ++i)
            data += photoCard(i);
        qsizetype people = 0;
        const qint64 ms = median([&] { people = TWVCardParser::parse(data).size(); });
        std::printf("| 1000 cards with 30 kB pictures | %lld | %lld | %lld |\n",
                    qlonglong(data.size()), qlonglong(people), qlonglong(ms));
    }
    // A contacts folder at the bounds of one reading.
    QTemporaryDir dir;
    QByteArray file;
    while (file.size() < 30 * 1024 * 1024)
        file += card(int(file.size() % 100000));
    for (int i = 0; i < 5; ++i) {
        QFile out(dir.filePath(QStringLiteral("contacts-%1.vcf").arg(i)));
        if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
            return 1;
    }
    TWAddressBook::FolderResult result;
    const qint64 ms = median([&] { result = TWAddressBook::readFolder(dir.path()); });
    std::printf(
        "| folder: 5 files of 30 MB (read up to %lld MB, %d people) | %lld | %lld | %lld |\n",
        qlonglong(TWAddressBook::maximumFolderBytes / (1024 * 1024)),
        TWAddressBook::maximumFolderPeople, qlonglong(5 * file.size()),
        qlonglong(result.people.size()), qlonglong(ms));
    return 0;
}
