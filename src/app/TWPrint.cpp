#include "app/TWPrint.h"

#include "app/TWPackageFileDialog.h"

#include "foundation/TWFileNames.h"
#include "foundation/TWLocalized.h"
#include "foundation/TWSaveFile.h"
#include "store/TWBusiness.h"
#include "store/TWPackageFiles.h"
#include "store/TWTransactionEditing.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPageRanges>
#include <QPdfDocument>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QTimer>

namespace
{

TWError printError(const QString &description)
{
    return TWError(TWLocalized("printErrorDomain"), -1, description);
}

// The folder the last print to a file went to.
QString &lastPrintFolder()
{
    static QString folder;
    return folder;
}

} // namespace

QString twPrintFileProposal(const QPrinter &printer, const QString &name)
{
    // The folder last printed to: this printer's, else any print dialog's.
    QString folder;
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        folder = QFileInfo(printer.outputFileName()).absolutePath();
    if (folder.isEmpty())
        folder = lastPrintFolder();
    const QString base = name.isEmpty() ? TWLocalized("printFileName") : name;
    const QString file = TWFileNames::safeFileName(base + QStringLiteral(".pdf"));
    // A folder since removed, or none yet, gives way to one that exists.
    return twSaveProposal(folder.isEmpty() ? file : QDir(folder).filePath(file));
}

QPrintDialog *twPrintDialog(QPrinter &printer, const QString &name, QWidget *parent)
{
    const QString proposal = twPrintFileProposal(printer, name);
    printer.setDocName(name);
    // A printer left printing to a file keeps doing so, to this job's file.
    if (printer.outputFormat() == QPrinter::PdfFormat)
        printer.setOutputFileName(proposal);
    auto *dialog = new QPrintDialog(&printer, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    // Qt fills its file field as the dialog shows: this job's file goes in after.
    QTimer::singleShot(0, dialog, [dialog, proposal] {
        if (auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("filename")))
            field->setText(proposal);
    });
    if (auto *browse = dialog->findChild<QAbstractButton *>(QStringLiteral("fileBrowser"))) {
        QObject::disconnect(browse, &QAbstractButton::clicked, nullptr, nullptr);
        QObject::connect(browse, &QAbstractButton::clicked, dialog, [dialog] {
            QPointer<QLineEdit> field = dialog->findChild<QLineEdit *>(QStringLiteral("filename"));
            TWPackageFileDialog *chooser = TWPackageFileDialog::ask(
                TWPackageFileDialog::Purpose::SaveFile, dialog, TWLocalized("printToFileTitle"),
                field ? field->text() : QString(), {TWLocalized("printPdfFilter")},
                [field](const QStringList &files) {
                    if (field && !files.isEmpty())
                        field->setText(files.first());
                });
            chooser->setDefaultSuffix(QStringLiteral("pdf"));
        });
    }
    QObject::connect(dialog, &QDialog::accepted, dialog, [&printer] {
        if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
            lastPrintFolder() = QFileInfo(printer.outputFileName()).absolutePath();
    });
    return dialog;
}

TWPrintTarget twPrintTarget(const QPrinter &printer, const QString &title)
{
    TWPrintTarget target;
    if (printer.outputFormat() == QPrinter::PdfFormat)
        target.pdfFile = printer.outputFileName();
    target.job.printer = printer.printerName();
    target.job.title = title.isEmpty() ? printer.docName() : title;
    target.job.copies = std::max(1, printer.copyCount());
    target.job.collate = printer.collateCopies();
    switch (printer.duplex()) {
    case QPrinter::DuplexNone:
        target.job.sides = QStringLiteral("one-sided");
        break;
    case QPrinter::DuplexLongSide:
        target.job.sides = QStringLiteral("two-sided-long-edge");
        break;
    case QPrinter::DuplexShortSide:
        target.job.sides = QStringLiteral("two-sided-short-edge");
        break;
    case QPrinter::DuplexAuto:
        break;
    }
    if (printer.printRange() == QPrinter::PageRange) {
        QStringList ranges;
        for (const QPageRanges::Range &range : printer.pageRanges().toRangeList())
            if (range.from > 0)
                ranges.append(
                    QStringLiteral("%1-%2").arg(range.from).arg(std::max(range.from, range.to)));
        target.job.pageRanges = ranges.join(QLatin1Char(','));
    }
    return target;
}

TWErrorResult twSendPdf(const QByteArray &pdf, const TWPrintTarget &target)
{
    if (pdf.isEmpty())
        return printError(TWLocalized("printNoPagesError"));
    if (!target.pdfFile.isEmpty()) {
        // A typed file name is checked as the file dialog checks a chosen one.
        const TWPackageChoice choice = twSaveFileChoice(target.pdfFile);
        if (choice.step == TWPackageChoice::Refuse)
            return printError(twFileRefusalMessage(choice));
        // The printer is a file: the PDF is the document, as it is.
        QSaveFile file(target.pdfFile);
        if (!file.open(QIODevice::WriteOnly))
            return printError(
                TWLocalized("printWriteError").arg(target.pdfFile, file.errorString()));
        if (const TWErrorResult error = twCommitSaveFile(file, file.write(pdf) == pdf.size()))
            return printError(
                TWLocalized("printWriteError").arg(target.pdfFile, error->localizedDescription()));
        return std::nullopt;
    }
    if (target.job.printer.isEmpty())
        return printError(TWLocalized("printStartError"));
    if (std::optional<QString> message = twSpoolPdf(pdf, target.job))
        return printError(TWLocalized("printQueueError").arg(target.job.printer, *message));
    return std::nullopt;
}

TWErrorResult twPrintPdf(const QByteArray &pdf, QPrinter &printer)
{
    QByteArray bytes = pdf;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument document;
    document.load(&buffer);
    if (document.status() != QPdfDocument::Status::Ready)
        return printError(TWLocalized("printReadError").arg(int(document.error())));
    if (document.pageCount() <= 0)
        return printError(TWLocalized("printNoPagesError"));
    document.close();
    return twSendPdf(pdf, twPrintTarget(printer));
}

std::optional<qint32> twRegisterPrintView(const TWItem &item)
{
    switch (item.type()) {
    case TWItemTypeAccountGroup:
        return TWRegisterViewAccountGroup;
    case TWItemTypeAccount:
        return item.identifier();
    case TWItemTypeFilterGroup:
    case TWItemTypeFilter:
        return TWRegisterViewFilter;
    default:
        return std::nullopt;
    }
}

TWFieldList twRegisterPrintFields(const QVariantMap &layout, qint32 view,
                                  const TWBusiness &business)
{
    TWFieldList fields;
    const QVariantList entries = layout.value(TWColumnSettingsFieldsKey).toList();
    for (const QVariant &value : entries) {
        const QVariantMap entry = value.toMap();
        bool shown = false;
        for (const QVariant &visible : entry.value(TWColumnSettingsVisibleViewsKey).toList())
            if (visible.toInt() == view) {
                shown = true;
                break;
            }
        if (!shown)
            continue;
        if (TWFieldPtr field =
                business.fieldWithIdentifier(entry.value(TWColumnSettingsIdentifierKey).toInt()))
            fields.append(field);
    }
    return fields;
}

QHash<qint32, QString> twAttachmentFileNames(const TWTransactionList &transactions,
                                             TWBusiness &business)
{
    QHash<qint32, QString> names;
    QSet<QString> used;
    for (const TWTransactionPtr &transaction : transactions) {
        if (!transaction || !transaction->hasAttachments())
            continue;
        const std::optional<TWAttachmentList> &attachments =
            twLoadedAttachments(*transaction, business);
        if (!attachments)
            continue;
        for (const TWAttachmentPtr &attachment : *attachments)
            if (attachment)
                names.insert(attachment->identifier(),
                             TWFileNames::uniqueFileName(attachment->fileName(), used));
    }
    return names;
}
