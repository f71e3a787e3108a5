// The send sheet's outputs: e-mail, save and print. Each renders the data
// the sheet shows now (the preview may be missing or behind the last edit),
// and every failure to render, write or hand the file on is shown.

#include "invoicing/ui/TWSendInvoiceController.h"

#include "app/TWBusinessController.h"
#include "app/TWPackageFileDialog.h"
#include "app/TWPrint.h"
#include "foundation/TWFileNames.h"
#include "invoicing/render/TWInvoiceOperation.h"
#include "platform/TWMailHandOff.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWSaveFile.h"
#include "model/TWUtilities.h"

#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QStandardPaths>

namespace
{

const QString kInvoiceErrorDomain = QStringLiteral("Tallyworth Invoice Error");

TWError fileError(const QString &path, const QString &reason)
{
    return TWError(kInvoiceErrorDomain, -1,
                   TWLocalized("sendWriteFailed").arg(QFileInfo(path).fileName(), reason));
}

// Written beside the target and renamed into place: the old file stays whole
// when anything fails.
TWErrorResult writePdf(const QByteArray &pdf, const QString &path)
{
    if (QFileInfo(path).isDir())
        return fileError(path, TWLocalized("sendWriteFolder"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fileError(path, file.errorString());
    if (const TWErrorResult error = twCommitSaveFile(file, file.write(pdf) == pdf.size()))
        return fileError(path, error->localizedDescription());
    return std::nullopt;
}

void panelSaveLocation(QWidget *parent, const QString &proposed,
                       std::function<void(const QString &)> done)
{
    TWPackageFileDialog *dialog = TWPackageFileDialog::ask(
        TWPackageFileDialog::Purpose::SaveFile, parent, QString(), proposed,
        {TWLocalized("sendPdfFilter")}, [done](const QStringList &files) { done(files.value(0)); });
    dialog->setDefaultSuffix(QStringLiteral("pdf"));
}

} // namespace

QString TWSendInvoiceController::fileName() const
{
    const QString extension = QStringLiteral("pdf");
    const QString business = m_sendInvoiceData ? m_sendInvoiceData->businessName() : QString();
    const QString invoice = m_sendInvoiceData ? m_sendInvoiceData->invoiceName() : QString();
    QString name;
    if (!business.isEmpty() && !invoice.isEmpty())
        name = QStringLiteral("%1 - %2.%3").arg(business, invoice, extension);
    else if (!invoice.isEmpty())
        name = QStringLiteral("%1.%2").arg(invoice, extension);
    else
        name = TWLocalized("invoice") + QStringLiteral(".") + extension;
    return TWFileNames::safeFileName(name);
}

QByteArray TWSendInvoiceController::renderNow(const std::optional<QPageLayout> &pageLayout,
                                              TWErrorResult *error) const
{
    if (!m_sendInvoiceData) {
        if (error)
            *error = TWError(kInvoiceErrorDomain, -1, TWLocalized("sendNothingToRender"));
        return {};
    }
    TWInvoiceOperation operation(m_sendInvoiceData->copy(), pageLayout);
    operation.main();
    TWErrorResult failure = operation.error();
    QByteArray pdf = operation.pdfData();
    if (!failure && pdf.isEmpty())
        failure = TWError(kInvoiceErrorDomain, -1, TWLocalized("sendNothingToRender"));
    if (failure && m_sendInvoiceData->layout()) {
        // Name the layout, as the preview's alert does.
        failure = TWError(failure->domain(), failure->code(),
                          QStringLiteral("%1: %2 (%3)")
                              .arg(TWLocalized("layoutError"), m_sendInvoiceData->layout()->name(),
                                   failure->localizedDescription()));
    }
    if (error)
        *error = failure;
    return failure ? QByteArray() : pdf;
}

void TWSendInvoiceController::doEmail()
{
    TWErrorResult error;
    const QByteArray pdf = renderNow(std::nullopt, &error);
    if (error) {
        presentError(*error);
        return;
    }
    // Kept past the quit: the mail program may read the file long after.
    const QString folder = TWUtilities::handOffFolder();
    if (folder.isEmpty()) {
        presentError(
            TWError(kInvoiceErrorDomain, -1, TWLocalized("sendTemporaryFolderFailed").arg(folder)));
        return;
    }
    const QString path = QDir(folder).filePath(fileName());
    if (TWErrorResult failure = writePdf(pdf, path)) {
        presentError(*failure);
        return;
    }
    if (!TWMailHandOff::mailHandOff().mailFile(path)) {
        // Say which: no mail program at all, or one that would not start.
        const bool installed =
            !QStandardPaths::findExecutable(TWDesktopMailHandOff::program()).isEmpty();
        presentError(
            TWError(kInvoiceErrorDomain, -1,
                    installed ? TWLocalized("sendMailFailed") : TWLocalized("sendMailMissing")));
    }
}

void TWSendInvoiceController::doSave()
{
    QPointer<TWSendInvoiceController> guard(this);
    const auto done = [guard](const QString &path) {
        if (!guard || path.isEmpty())
            return;
        TWErrorResult error;
        const QByteArray pdf = guard->renderNow(std::nullopt, &error);
        if (!error)
            error = writePdf(pdf, path);
        if (error)
            guard->presentError(*error);
    };
    QWidget *parent = m_document && m_document->windowForSheet()
                          ? static_cast<QWidget *>(m_document->windowForSheet())
                          : m_view.data();
    if (saveLocationSlot())
        saveLocationSlot()(parent, fileName(), done);
    else
        panelSaveLocation(parent, fileName(), done);
}

QByteArray TWSendInvoiceController::printOperation(QPrinter &printer, TWErrorResult *error)
{
    return renderNow(printer.pageLayout(), error);
}

TWErrorResult TWSendInvoiceController::print(QPrinter &printer)
{
    TWErrorResult error;
    const QByteArray pdf = printOperation(printer, &error);
    if (error)
        return error;
    return twPrintPdf(pdf, printer);
}

void TWSendInvoiceController::doPrint()
{
    QPrinter *printer = nullptr;
    if (m_document) {
        printer = &m_document->printer();
    } else {
        if (!m_printer)
            m_printer = std::make_unique<QPrinter>();
        printer = m_printer.get();
    }
    QPrintDialog *dialog = twPrintDialog(*printer, QFileInfo(fileName()).completeBaseName(),
                                         m_view ? m_view->window() : nullptr);
    QPointer<TWSendInvoiceController> guard(this);
    connect(dialog, &QDialog::accepted, this, [guard, printer] {
        if (!guard)
            return;
        if (TWErrorResult error = guard->print(*printer))
            guard->presentError(*error);
    });
    dialog->open();
}
