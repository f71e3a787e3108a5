#pragma once
// The mapping of one transaction import: a line per source column, in column
// order (line i reads value i of every row), and the account the import sheet
// was opened on, which supplies units and the account of rows that name none.

#include "import/core/TWImportTransactionField.h"

#include <QHash>
#include <QList>
#include <QVariantMap>

#include <memory>

using TWImportTransactionFieldList = QList<TWImportTransactionFieldPtr>;

class TWImportTransactionsSettings
{
public:
    TWImportTransactionsSettings() = default;
    TWImportTransactionsSettings(const TWAccountPtr &defaultAccount,
                                 const TWImportTransactionFieldList &importFields)
        : m_defaultAccount(defaultAccount), m_importFields(importFields)
    {
    }
    static std::shared_ptr<TWImportTransactionsSettings>
    importTransactionsSettingsWithDefaultAccount(const TWAccountPtr &defaultAccount,
                                                 const TWImportTransactionFieldList &importFields);
    // One line per column name, each made by restoring or guessing; a column
    // of `dateFormats` (column index -> the pattern the file writes its dates
    // in, as the parser found it) reads its dates by that pattern.
    static std::shared_ptr<TWImportTransactionsSettings> importTransactionsSettingsWithColumns(
        const QStringList &columns, const TWAccountPtr &defaultAccount, const TWBusiness &business,
        const QHash<qsizetype, QString> &dateFormats = {});

    // Column name -> the line's stored entry; of two lines with the same
    // name the later one wins, and a line set aside as an odometer reading
    // of this file is left out. The sheet merges this into the document's
    // "importTransactionsSettings".
    QVariantMap settings() const;
    // Merges settings() into the document's stored mapping, each entry kept
    // for this kind of file (TWImportTransactionField::storeEntry).
    void storeInto(QVariantMap &stored) const;
    // The lines that import something.
    int activeFieldCount() const;
    // Applies the user's choice of target to a line: type, field and account
    // as given, the folder cleared, and the unit or date format the target
    // needs.
    void updateField(TWImportTransactionField &line, quint32 type, const TWFieldPtr &field,
                     const TWAccountPtr &account, const TWBusiness &business) const;

    const TWAccountPtr &defaultAccount() const { return m_defaultAccount; }
    void setDefaultAccount(const TWAccountPtr &v) { m_defaultAccount = v; }
    const TWImportTransactionFieldList &importFields() const { return m_importFields; }
    void setImportFields(const TWImportTransactionFieldList &v) { m_importFields = v; }
    // Whether the file is a mileage log (TWImportTransactionField::isMileageFile).
    bool mileageFile() const { return m_mileageFile; }
    void setMileageFile(bool v) { m_mileageFile = v; }

private:
    bool m_mileageFile = false;
    TWAccountPtr m_defaultAccount;
    TWImportTransactionFieldList m_importFields;
};

using TWImportTransactionsSettingsPtr = std::shared_ptr<TWImportTransactionsSettings>;
