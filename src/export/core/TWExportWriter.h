#pragma once
// Writes a transactions export as the export sheet confirms it: QIF or OFX as
// one file; CSV, HTML or PDF as one file or, with attachment files, as a
// folder holding the export file and an "Attachments" folder of copies. CSV
// and HTML are written a few hundred rows at a time, so that an export of
// any size holds only those rows in memory besides the listed transactions.

#include "export/core/TWExportFiles.h"
#include "model/TWExportSettings.h"
#include "model/TWTransaction.h"

#include <QHash>

class TWBusiness;

class TWExportWriter
{
public:
    // The export file's name inside an export folder, and the base name of
    // an earlier export ("transactions").
    static QString baseName();
    static QString fileName(std::uint32_t fileType);
    // "csv", "html", "pdf", "qif", "ofx"; empty for another type.
    static QString extension(std::uint32_t fileType);
    // Whether the export becomes a folder.
    static bool writesFolder(const TWExportTransactionsSettings &settings, bool hasAttachments);

    // The attachments' names in the export, each one path component and
    // unique across the whole export (the export file's name included), and
    // the copies to make under them.
    static void attachmentNames(TWBusiness &business, const TWTransactionList &transactions,
                                const QString &exportFileName, QHash<qint32, QString> &names,
                                QList<TWExportAttachmentCopy> &copies);

    // Writes the export of `transactions` (the store's export selection) to
    // `path`, as a folder when `folder`.
    static TWErrorResult writeTransactions(TWBusiness &business,
                                           const TWExportTransactionsSettingsPtr &settings,
                                           const TWTransactionList &transactions,
                                           const QString &path, bool folder);
};
