#include "TWExportPrint.h"

#include "TWClock.h"
#include "TWExportSettings.h"
#include "TWExportTransactions.h"
#include "TWSerializerPDF.h"

QByteArray TWExportPrint::registerPDF(TWBusiness *business, const TWTransactionList &transactions,
                                      const TWFieldList &fields,
                                      const QHash<qint32, QString> &attachmentFileNames,
                                      const std::optional<QPageLayout> &pageLayout)
{
    // A record of its own: the document's stored export choices stay as they
    // are. All dates, no filter, no accounts (the rows are given), no copies
    // of attachments.
    const QDateTime now = TWClock::now();
    const TWExportTransactionsSettingsPtr settings =
        TWExportTransactionsSettings::exportTransactionsSettingsWithFileType(
            TWExportFileTypePDF, nullptr, 0, now.addSecs(-604800), now, TWAccountList(), fields,
            false);
    auto table = TWExportTransactions::exportTransactionsWithTransactions(
        transactions, true, true, settings, attachmentFileNames, business);
    return TWSerializerPDF::serializerWithCells(table->cells(), pageLayout)->data();
}
