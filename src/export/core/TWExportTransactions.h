#pragma once
// Lays the transactions of a CSV, HTML or PDF export out as a table of cells:
// one header row, one row per transaction and one per split line, and, when
// asked, a totals row after each account's group. Money columns are spread
// over the units the transactions use (mileage units with their odometer
// readings), followed by one in the home currency. Debit and credit are seen
// from the account each row is listed under.

#include "foundation/TWError.h"
#include "model/TWCell.h"
#include "model/TWExportSettings.h"
#include "model/TWTransaction.h"

#include <QHash>

#include <functional>

class TWBusiness;

class TWExportTransactions
{
public:
    TWExportTransactions(TWTransactionList transactions, bool includeTotals,
                         bool displayGroupingSeparator,
                         TWExportTransactionsSettingsPtr exportSettings,
                         QHash<qint32, QString> attachmentFileNames, TWBusiness *business);

    // `transactions` is the store's export list (exportTransactionsForAccounts):
    // grouped by account, each a copy seen from its account with its running
    // balance. `attachmentFileNames` maps an attachment identifier to its
    // file's name in the export.
    static std::unique_ptr<TWExportTransactions> exportTransactionsWithTransactions(
        const TWTransactionList &transactions, bool includeTotals, bool displayGroupingSeparator,
        const TWExportTransactionsSettingsPtr &exportSettings,
        const QHash<qint32, QString> &attachmentFileNames, TWBusiness *business);

    // The table, ordered by row, then column. Rows continue from the last
    // call: a table object makes one table.
    TWCellList cells();
    // The same table handed over a part at a time, so that an export of any
    // size holds only a few hundred rows of cells at once: `sink` gets each
    // part in order (and may take its cells); an error it answers stops the
    // table there and is answered. The table lets go of each transaction once
    // its rows are made (its list empties as it goes).
    using CellSink = std::function<TWErrorResult(TWCellList &cells)>;
    TWErrorResult cells(const CellSink &sink, qsizetype rowsPerPart = 512);

    const TWTransactionList &transactions() const { return m_transactions; }
    void setTransactions(const TWTransactionList &v) { m_transactions = v; }
    const TWExportTransactionsSettingsPtr &exportSettings() const { return m_exportSettings; }
    void setExportSettings(const TWExportTransactionsSettingsPtr &v) { m_exportSettings = v; }
    const QHash<qint32, QString> &attachmentFileNames() const { return m_attachmentFileNames; }
    void setAttachmentFileNames(const QHash<qint32, QString> &v) { m_attachmentFileNames = v; }
    TWBusiness *business() const { return m_business; }
    void setBusiness(TWBusiness *v) { m_business = v; }

private:
    class Builder;

    TWTransactionList m_transactions;
    bool m_includeTotals = false;
    bool m_displayGroupingSeparator = false;
    TWExportTransactionsSettingsPtr m_exportSettings;
    QHash<qint32, QString> m_attachmentFileNames;
    TWBusiness *m_business = nullptr;
    quint32 m_row = 0;
    quint32 m_column = 0;
};
