#pragma once
// What one column of a transaction import file becomes: nothing, one field of
// the transaction, or the amount of a split to an account, with how its values
// are read (unit, date format, whether missing choices or accounts may be
// created, the folder attachment names are relative to). A line remembers
// itself in the document under the column's name, so the next file with that
// column is mapped the same way; a column never seen before is guessed from
// its name.

#include "model/TWAccount.h"
#include "model/TWField.h"
#include "model/TWUnit.h"

#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <memory>
#include <optional>

class TWBusiness;
class TWImportTransactionField;
using TWImportTransactionFieldPtr = std::shared_ptr<TWImportTransactionField>;

enum TWImportFieldType : quint32 {
    TWImportFieldTypeNone = 0,    // the column is not imported
    TWImportFieldTypeField = 1,   // the column fills a field
    TWImportFieldTypeAccount = 2, // the column is the amount of a split to an account
};

class TWImportTransactionField
{
public:
    TWImportTransactionField() = default;
    // Restores the stored line of `sourceName` (exactly as the file names the
    // column) or guesses one from the name. In a mileage file (isMileageFile)
    // an amount column of an odometer reading ("Amount (start)", "Amount
    // (end)") is set aside; in any other it is an amount like the rest.
    TWImportTransactionField(const QString &sourceName, const TWAccountPtr &defaultAccount,
                             const TWBusiness &business, bool mileageFile = false);
    static TWImportTransactionFieldPtr
    importTransactionFieldWithSourceName(const QString &sourceName,
                                         const TWAccountPtr &defaultAccount,
                                         const TWBusiness &business, bool mileageFile = false);
    // Whether a file of these columns is a mileage log, whose "(start)" and
    // "(end)" columns are odometer readings: one of its columns is the amount
    // in a mileage unit of the business ("Debit (KM)", as the program's own
    // spreadsheet writes a mileage unit's trips), or the chosen account keeps
    // a mileage unit.
    static bool isMileageFile(const QStringList &columns, const TWAccountPtr &defaultAccount,
                              const TWBusiness &business);
    // The entry stored under a column's name for a file of this kind, if
    // any. A bank file's line is the entry itself, as every earlier build
    // kept it; a mileage log's is kept apart within it ("mileage"), so that
    // neither kind of file is read by a line learned from the other.
    static std::optional<QVariantMap> storedEntry(const QVariantMap &stored,
                                                  const QString &sourceName, bool mileageFile);
    // Stores a line's entry for a file of this kind, keeping the other kind's.
    // A bank file's entry is marked as this build's ("bankFile"), beside the
    // keys every build reads.
    static void storeEntry(QVariantMap &stored, const QString &sourceName, const QVariantMap &entry,
                           bool mileageFile);
    // Whether the guess set the line aside as an odometer reading and the
    // user left it so: such a line is not remembered for the next file.
    bool setAside() const { return m_setAside; }
    void clearSetAside() { m_setAside = false; }

    // The stored entry of this line: "type" always, the other keys where they
    // mean something for the line's type and field.
    QVariantMap settings() const;

    const QString &sourceName() const { return m_sourceName; }
    void setSourceName(const QString &v) { m_sourceName = v; }
    quint32 type() const { return m_type; }
    void setType(quint32 v) { m_type = v; }
    const TWFieldPtr &field() const { return m_field; }
    void setField(const TWFieldPtr &v) { m_field = v; }
    const TWAccountPtr &account() const { return m_account; }
    void setAccount(const TWAccountPtr &v) { m_account = v; }
    const TWUnitPtr &unit() const { return m_unit; }
    void setUnit(const TWUnitPtr &v) { m_unit = v; }
    // Null: the user's short date (and time) format.
    const QString &format() const { return m_format; }
    void setFormat(const QString &v) { m_format = v; }
    // The pattern the file itself writes this column's dates in, when its
    // parser knows it (a QIF file's order of day and month). A line that reads
    // dates starts from it, and so does a later choice of a date target; it
    // belongs to this one file, so the stored entry keeps the format the line
    // had before unless the user set another.
    const QString &fileFormat() const { return m_fileFormat; }
    void setFileFormat(const QString &pattern);
    // Whether the line's target reads dates by a format.
    bool readsDates() const;
    bool createIfNeeded() const { return m_createIfNeeded; }
    void setCreateIfNeeded(bool v) { m_createIfNeeded = v; }
    const QUrl &folderURL() const { return m_folderURL; }
    void setFolderURL(const QUrl &v) { m_folderURL = v; }

    // The built-in field identifier of a type-1 line (0 for a custom field or
    // another type).
    qint32 builtInIdentifier() const;

private:
    void restore(const QVariantMap &entry, const TWBusiness &business);
    void guess(const TWAccountPtr &defaultAccount, const TWBusiness &business, bool mileageFile);

    QString m_sourceName;
    quint32 m_type = TWImportFieldTypeNone;
    TWFieldPtr m_field;
    TWAccountPtr m_account;
    TWUnitPtr m_unit;
    QString m_format;
    QString m_fileFormat;
    QString m_formatBeforeFile; // what the stored entry keeps while the file's format is used
    bool m_createIfNeeded = false;
    bool m_setAside = false;
    QUrl m_folderURL;
};

// The entry keys of a stored mapping line.
inline const QString TWImportKeyType = QStringLiteral("type");
inline const QString TWImportKeyField = QStringLiteral("field");
inline const QString TWImportKeyAccount = QStringLiteral("account");
inline const QString TWImportKeyUnit = QStringLiteral("unit");
inline const QString TWImportKeyFormat = QStringLiteral("format");
inline const QString TWImportKeyCreateIfNeeded = QStringLiteral("createIfNeeded");
inline const QString TWImportKeyFolderURL = QStringLiteral("folderURL");
// Within a column's entry: the line a mileage log keeps for that column.
inline const QString TWImportKeyMileage = QStringLiteral("mileage");
// Within a column's entry: true where this build stored the bank file's line,
// which is then restored as stored; an entry without it is an earlier build's.
inline const QString TWImportKeyBankFile = QStringLiteral("bankFile");
