#pragma once
// Printing: the one way the shell sends a PDF to a printer, and the decisions
// of printing a register (which columns, which attachment names).

#include "foundation/TWError.h"
#include "model/TWField.h"
#include "model/TWItem.h"
#include "model/TWTransaction.h"
#include "platform/print/TWPrintSpooler.h"

#include <QByteArray>
#include <QHash>
#include <QVariantMap>

class QPrintDialog;
class QPrinter;
class QWidget;
class TWBusiness;

// Where printed pages go, read from the printer once its dialog has closed:
// plain data, so that the pages can be made and sent on a worker thread.
struct TWPrintTarget {
    QString pdfFile; // a PDF-format printer's file; empty for a printer's queue
    TWSpoolJob job;
};
TWPrintTarget twPrintTarget(const QPrinter &printer, const QString &title = QString());

// Hands a finished PDF on as it is, vector pages and text unchanged: written
// to the file of a PDF-format printer (through a temporary file beside it),
// or sent to the printer's queue. Safe on any thread.
TWErrorResult twSendPdf(const QByteArray &pdf, const TWPrintTarget &target);

// The print dialog of every print job, window-modal on `parent`, deleted
// when it closes. Printing to a file proposes `name`.pdf in the folder last
// printed to (at first twSaveFolder()), never the file of another job, and its
// file is chosen with the package-aware dialog.
QPrintDialog *twPrintDialog(QPrinter &printer, const QString &name, QWidget *parent);
// The file a print of `name` on `printer` proposes.
QString twPrintFileProposal(const QPrinter &printer, const QString &name);

// Prints `pdf` (made for the printer's page layout) on `printer`: checks that
// it is a readable PDF with pages, then hands it on with twSendPdf.
TWErrorResult twPrintPdf(const QByteArray &pdf, QPrinter &printer);

// The register view whose visible columns a printed list uses: -1 for an
// account group, the account's identifier for an account, -2 for filters and
// filter groups; none for other items.
std::optional<qint32> twRegisterPrintView(const TWItem &item);

// The fields of the register's column layout ("fields" of `layout`) visible
// in `view`, in layout order; entries whose field is unknown are skipped.
TWFieldList twRegisterPrintFields(const QVariantMap &layout, qint32 view,
                                  const TWBusiness &business);

// Attachment identifier -> a file name unique in the printed list ("a.pdf",
// "a-2.pdf"). Only transactions that have attachments are asked for them.
QHash<qint32, QString> twAttachmentFileNames(const TWTransactionList &transactions,
                                             TWBusiness &business);
