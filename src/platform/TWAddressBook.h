#pragma once
// The address book the contact editors fill their fields from. Linux has no
// system address book, so people come from vCard files (versions 2.1, 3.0
// and 4.0): every .vcf file in the user's contacts folder, and any file the
// user opens. Files are untrusted: only regular files of bounded size are
// read, never through a link, and what cannot be read is skipped or reported.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

// The labels of a person's phones, e-mail addresses and postal addresses,
// as the contact editors choose them.
namespace TWPersonLabel
{
inline const QString Work = QStringLiteral("work");
inline const QString Home = QStringLiteral("home");
inline const QString Other = QStringLiteral("other");
inline const QString Mobile = QStringLiteral("mobile");
inline const QString IPhone = QStringLiteral("iPhone");
inline const QString Main = QStringLiteral("main");
inline const QString Pager = QStringLiteral("pager");
inline const QString HomeFax = QStringLiteral("home fax");
inline const QString WorkFax = QStringLiteral("work fax");
inline const QString OtherFax = QStringLiteral("other fax");
} // namespace TWPersonLabel

// The properties of a person that the editors read.
enum class TWPersonProperty {
    Organization, // text
    FirstName,    // text
    LastName,     // text
    Note,         // text
    Address,      // labelled postal addresses
    Phone,        // labelled texts
    Email,        // labelled texts
    URLs,         // labelled texts
};

struct TWPersonLabeledValue {
    QString label;
    QString value;
};

struct TWPersonAddress {
    QString label;
    QString street;
    QString city;
    QString state;
    QString zip;
    QString country;
};

// One person (or company) of the address book.
struct TWPerson {
    QString organization;
    QString firstName;
    QString lastName;
    QString note;
    QList<TWPersonAddress> addresses;
    QList<TWPersonLabeledValue> phones;
    QList<TWPersonLabeledValue> emails;
    QList<TWPersonLabeledValue> urls;
    // The picture's encoded bytes as the card held them (not decoded here).
    QByteArray imageData;

    // A single text property (empty for the others and when absent).
    QString value(TWPersonProperty property) const;
    // A labelled text property in the card's order (empty for the others).
    QList<TWPersonLabeledValue> multiValue(TWPersonProperty property) const;
};

using TWPersonPtr = std::shared_ptr<const TWPerson>;
using TWPersonList = QList<TWPersonPtr>;

// Reads vCard text into people. Pure: no files, no widgets.
class TWVCardParser
{
public:
    // Bounds on what one text may make: cards beyond `maximumCards` and
    // properties of a card beyond `maximumProperties` are ignored, a picture
    // larger than `maximumPhotoBytes` (encoded or decoded) is left out.
    static constexpr int maximumCards = 20000;
    static constexpr int maximumProperties = 2000;
    static constexpr qint64 maximumPhotoBytes = 8LL * 1024 * 1024;

    // The people of every card in the text; cards holding nothing a person
    // has are left out, lines that are no property are skipped, and a card
    // cut off at the end of the text keeps what it had.
    static TWPersonList parse(const QByteArray &data);

    // A property value's escapes undone (\n and \N a line break, a backslash
    // before any other character that character).
    static QString unescape(const QString &text);
    // The bytes of quoted-printable text (soft line breaks removed).
    static QByteArray decodeQuotedPrintable(const QByteArray &text);
    // Bytes in the named character set; UTF-8 when none is named, with
    // Windows-1252 for bytes that are not UTF-8.
    static QString decodeCharset(const QByteArray &bytes, const QString &charset);
    // The label of a phone from its vCard types (lower case).
    static QString phoneLabel(const QStringList &types);
};

class TWAddressBook
{
public:
    // Files larger than this are not read.
    static constexpr qint64 maximumFileSize = 32LL * 1024 * 1024;
    // What one reading of the contacts folder takes at most: files, bytes in
    // all, and people; the files past these are counted, not read.
    static constexpr int maximumFolderFiles = 1000;
    static constexpr qint64 maximumFolderBytes = 128LL * 1024 * 1024;
    static constexpr int maximumFolderPeople = 50000;

    enum class FileError {
        None,
        Unreadable,     // missing, no permission, or a link
        NotRegularFile, // a folder, a pipe, a device
        TooLarge,
        NoContacts, // read, but no card in it
    };

    struct FileResult {
        TWPersonList people;
        FileError error = FileError::None;
        // The system's reason when the file could not be opened.
        QString reason;
        qint64 bytesRead = 0;
    };

    struct FolderResult {
        TWPersonList people;
        // Files of the folder that could not be read (names only).
        QStringList skippedFiles;
        // Files past the bounds of one reading.
        int filesBeyondLimit = 0;
    };

    // "contacts" in the user's data folder ($XDG_DATA_HOME).
    static QString contactsFolder();
    // One vCard file, opened without following a link and without blocking;
    // files larger than `maximumSize` are not read.
    static FileResult readFile(const QString &path, qint64 maximumSize = maximumFileSize);
    // Every .vcf file of the folder (not its sub-folders), by name.
    static FolderResult readFolder(const QString &folder);
};
