#pragma once
// Renders invoices for the tests: a seeded business with a client, a project
// and items, the send data gathered from it, and the operation run on the
// business's queue until it reports back. With TW_INVOICE_DUMP_DIR set, every
// PDF is also written there to be looked at.

#include "../store/TWInvoiceTestSupport.h"

#include "invoicing/render/TWInvoiceOperation.h"
#include "model/TWLayoutManager.h"
#include "model/TWSendInvoiceData.h"
#include "store/TWSendInvoiceValues.h"
#include "store/TWWorkTotals.h"

#include <QBuffer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QtPdf/QPdfDocument>

struct TWRenderBook {
    TWInvoiceBook book;
    TWInvoicePtr invoice;

    TWBusiness &b() { return book.b(); }

    TWTaskPtr addTask(const QDateTime &date, const QString &name, qint64 rate, double quantity,
                      double taxRate = 0, const QString &notes = QString(),
                      std::uint32_t type = TWTaskTypeHour)
    {
        auto task =
            TWTask::taskWithDate(date, false, name, type, 0.0, quantity, rate, taxRate, notes,
                                 book.project->identifier(), b().nextTaskIdentifier());
        EXPECT_OK(b().addTask(task, false));
        task->setInvoiceQuantity(quantity);
        return task;
    }
    TWExpensePtr addExpense(const QDateTime &date, const QString &name, qint64 cost,
                            double taxRate = 0)
    {
        auto expense =
            TWExpense::expenseWithDate(date, name, 1.0, cost, taxRate, {},
                                       book.project->identifier(), b().nextExpenseIdentifier());
        EXPECT_OK(b().addExpense(expense, false));
        expense->setInvoiceQuantity(1.0);
        return expense;
    }
    // Links the items to the invoice and reloads them from the store.
    void bill(const TWTaskList &tasks, const TWExpenseList &expenses)
    {
        EXPECT_OK(b().updateInvoiceItems(invoice, tasks, expenses));
        twUpdateTasksExpenses(*invoice, b());
    }
    // The client's send data gathered for the invoice, on `layoutName`.
    TWSendInvoiceDataPtr data(const QString &layoutName = QStringLiteral("Classic"))
    {
        TWSendInvoiceDataPtr send = b().sendInvoiceData(*book.client);
        send->setLayout(TWLayoutManager::layoutManager().layoutWithName(layoutName));
        twUpdateSendInvoiceData(*send, *invoice, b());
        return send;
    }
};

inline TWRenderBook twRenderBook()
{
    TWRenderBook render{twInvoiceBook(), nullptr};
    if (!render.book.business)
        return render;
    TWBusinessInfoPtr info = render.b().businessInfo()->copy();
    info->setName(QStringLiteral("Tallyworth Studio"));
    info->setAddress(QStringLiteral("12 Ledger Lane\nSpringfield"));
    info->setPhone(QStringLiteral("555 0100"));
    info->setEmail(QStringLiteral("billing@example.com"));
    info->setWebsite(QUrl(QStringLiteral("https://example.com/studio")));
    info->setInvoiceTaxName(QStringLiteral("Tax"));
    EXPECT_OK(render.b().updateBusinessInfo(info));
    render.book.client->setAddress(QStringLiteral("1 Main Street\nShelbyville"));
    render.invoice = TWInvoice::invoiceWithDate(
        twLocal(2024, 6, 1), QStringLiteral("N-17"), QStringLiteral("June work"), false, false,
        twLocal(2024, 7, 1), 0, QString(), render.book.project->identifier(),
        render.b().nextInvoiceIdentifier());
    EXPECT_OK(render.b().addInvoice(render.invoice, false));
    return render;
}

// Runs the operation on `pool` and waits for it to report back.
inline bool twRunOperation(TWInvoiceOperation &operation, QThreadPool *pool)
{
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&operation, &TWInvoiceOperation::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    operation.start(pool);
    if (!finished)
        loop.exec();
    return finished;
}

// Renders a copy of `data` on the business's queue; the PDF's bytes.
inline QByteArray twRender(TWBusiness &business, const TWSendInvoiceDataPtr &data,
                           const QString &dumpName = QString(), TWErrorResult *error = nullptr)
{
    TWInvoiceOperation operation(data->copy());
    EXPECT_TRUE(twRunOperation(operation, business.operationQueue()));
    if (error)
        *error = operation.error();
    const QByteArray pdf = operation.pdfData();
    const QByteArray dump = qgetenv("TW_INVOICE_DUMP_DIR");
    if (!dump.isEmpty() && !dumpName.isEmpty() && !pdf.isEmpty()) {
        QFile file(QString::fromLocal8Bit(dump) + QLatin1Char('/') + dumpName +
                   QStringLiteral(".pdf"));
        if (file.open(QIODevice::WriteOnly))
            file.write(pdf);
    }
    return pdf;
}

// The PDF opened with QtPdf; its text page by page.
struct TWReadPdf {
    QByteArray bytes;
    QBuffer buffer;
    QPdfDocument document;

    explicit TWReadPdf(const QByteArray &pdf) : bytes(pdf)
    {
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        document.load(&buffer);
    }
    bool ok() const { return document.status() == QPdfDocument::Status::Ready; }
    int pages() const { return document.pageCount(); }
    QString text(int page) { return document.getAllText(page).text(); }
};
