#include "export/core/TWExportWriter.h"

#include "export/core/TWExportTransactions.h"
#include "export/core/TWSerializerCSV.h"
#include "export/core/TWSerializerHTML.h"
#include "export/core/TWSerializerOFX.h"
#include "export/core/TWSerializerPDF.h"
#include "export/core/TWSerializerQIF.h"

#include "foundation/TWFileNames.h"
#include "foundation/TWLocalized.h"
#include "store/TWBusiness.h"
#include "store/TWTransactionEditing.h"

#include <QIODevice>

namespace
{

const QString kDomain = QStringLiteral("Tallyworth Export Error");

TWErrorResult writeText(QIODevice &file, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size())
        return TWError(kDomain, -1,
                       TWLocalized("exportWriteDescription")
                           .arg(TWExportWriter::fileName(TWExportFileTypeCSV), file.errorString()));
    return std::nullopt;
}

} // namespace

QString TWExportWriter::baseName()
{
    return TWLocalized("transactionsLower");
}

QString TWExportWriter::extension(std::uint32_t fileType)
{
    static const char *const extensions[] = {"csv", "html", "pdf", "qif", "ofx"};
    return fileType < 5 ? QString::fromLatin1(extensions[fileType]) : QString();
}

QString TWExportWriter::fileName(std::uint32_t fileType)
{
    return baseName() + QStringLiteral(".") + extension(fileType);
}

bool TWExportWriter::writesFolder(const TWExportTransactionsSettings &settings, bool hasAttachments)
{
    const std::uint32_t type = settings.fileType();
    return (type == TWExportFileTypeCSV || type == TWExportFileTypeHTML ||
            type == TWExportFileTypePDF) &&
           settings.includeAttachments() && hasAttachments;
}

void TWExportWriter::attachmentNames(TWBusiness &business, const TWTransactionList &transactions,
                                     const QString &exportFileName, QHash<qint32, QString> &names,
                                     QList<TWExportAttachmentCopy> &copies)
{
    QSet<QString> used{exportFileName};
    for (const TWTransactionPtr &transaction : transactions) {
        if (!transaction || !transaction->hasAttachments())
            continue;
        const std::optional<TWAttachmentList> &attachments =
            twLoadedAttachments(*transaction, business);
        if (!attachments)
            continue;
        for (const TWAttachmentPtr &attachment : *attachments) {
            if (!attachment)
                continue;
            const QString name = TWFileNames::uniqueFileName(
                TWFileNames::safeFileName(attachment->fileName()), used);
            names.insert(attachment->identifier(), name);
            copies.append({attachment->filePath(), name});
        }
    }
}

TWErrorResult TWExportWriter::writeTransactions(TWBusiness &business,
                                                const TWExportTransactionsSettingsPtr &settings,
                                                const TWTransactionList &transactions,
                                                const QString &path, bool folder)
{
    const std::uint32_t fileType = settings->fileType();
    const QString name = fileName(fileType);
    if (fileType == TWExportFileTypeQIF || fileType == TWExportFileTypeOFX) {
        const QByteArray data = fileType == TWExportFileTypeQIF
                                    ? TWSerializerQIF::serializerWithAccounts(
                                          settings->accounts(), transactions, &business)
                                          ->data()
                                    : TWSerializerOFX::serializerWithAccounts(
                                          settings->accounts(), transactions, &business)
                                          ->data();
        return TWExportFiles::writeFile(path, baseName(), data);
    }
    if (fileType > TWExportFileTypePDF)
        return TWError(
            kDomain, -1,
            TWLocalized("exportWriteDescription").arg(name, TWLocalized("exportNoWriterReason")));

    QHash<qint32, QString> names;
    QList<TWExportAttachmentCopy> copies;
    attachmentNames(business, transactions, name, names, copies);
    const bool html = fileType == TWExportFileTypeHTML;
    const bool pdf = fileType == TWExportFileTypePDF;
    // The table takes the only reference to the listed views, so that each
    // goes as soon as its rows are written.
    const auto table =
        pdf ? nullptr
            : std::make_unique<TWExportTransactions>(
                  business.exportTransactionsForAccounts(settings->accounts(), transactions), html,
                  html, settings, names, &business);

    TWExportFiles::Producer produce;
    if (pdf) {
        // The PDF is drawn in two passes over the rows (its first pass measures
        // the columns that decide the page), each a part at a time.
        // Each pass lists the transactions afresh and lets each go once its
        // rows are made, as the other formats do.
        produce = [&](QIODevice &file) -> TWErrorResult {
            const auto writer = TWSerializerPDF::serializerWithCells({});
            return writer->writeParts(
                [&](const TWSerializerPDF::PartSink &sink) {
                    TWExportTransactions pass(
                        business.exportTransactionsForAccounts(settings->accounts(), transactions),
                        true, true, settings, names, &business);
                    return pass.cells(sink);
                },
                file);
        };
    } else if (html) {
        produce = [&table](QIODevice &file) -> TWErrorResult {
            TWSerializerHTML::Stream stream;
            QString text;
            if (TWErrorResult error = table->cells([&](TWCellList &part) {
                    text.clear();
                    stream.append(part, text);
                    return writeText(file, text);
                }))
                return error;
            text.clear();
            stream.finish(text);
            return writeText(file, text);
        };
    } else {
        produce = [&table](QIODevice &file) -> TWErrorResult {
            TWSerializerCSV::Stream stream;
            QString text;
            return table->cells([&](TWCellList &part) {
                text.clear();
                stream.append(part, text);
                return writeText(file, text);
            });
        };
    }
    if (folder)
        return TWExportFiles::writeFolder(path, name, produce, copies);
    return TWExportFiles::writeFile(path, baseName(), produce);
}
