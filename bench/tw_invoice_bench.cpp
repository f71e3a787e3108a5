// Renders an invoice of 1,000 items (--items N for another count) with notes, header, footer,
// business e-mail and website on the "Classic" layout, writes the PDF to --out PATH and prints the
// page count and the rendering time. Measure a Release build.

#include "invoicing/render/TWInvoiceOperation.h"
#include "model/TWLayoutManager.h"
#include "model/TWSendInvoiceData.h"
#include "model/TWTask.h"
#include "model/TWUnits.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QtPdf/QPdfDocument>

#include <algorithm>
#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    QString out;
    int count = 1000;
    const QStringList arguments = app.arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--out"))
            out = arguments.at(i + 1);
        else if (arguments.at(i) == QLatin1String("--items"))
            count = std::max(1, arguments.at(i + 1).toInt());
    }

    TWUnits::units().loadUnits();
    TWUnitPtr usd;
    for (const TWUnitPtr &unit : TWUnits::units().unitList()) {
        if (unit->code() == QLatin1String("USD"))
            usd = unit;
    }

    auto data = std::make_shared<TWSendInvoiceData>();
    const char *labels[TWLabelCount] = {
        "Page",      "To",       "From",     "T",        "F",
        "Estimate",  "Invoice",  "Name:",    "Number:",  "Date:",
        "Due Date:", "Paid",     "Overdue",  "Date",     "Description",
        "Type",      "Quantity", "Rate",     "Subtotal", "Tax",
        "Total",     "Note:",    "Subtotal", "Tax",      "Previous Balance",
        "Payments",  "Total Due"};
    for (int label = 0; label < TWLabelCount; ++label)
        data->setLabel(TWSendInvoiceLabel(label), QString::fromLatin1(labels[label]));
    data->setDisplayBits(TWSendInvoiceData::kDefaultDisplayBits);
    data->setLayout(TWLayoutManager::layoutManager().defaultLayout());
    data->setBusinessName(QStringLiteral("Tallyworth Studio"));
    data->setBusinessAddress(QStringLiteral("12 Ledger Lane\nSpringfield"));
    data->setBusinessEmail(QStringLiteral("billing@example.com"));
    data->setBusinessWebsite(QUrl(QStringLiteral("https://example.com/studio")));
    data->setClientName(QStringLiteral("Ada Lovelace"));
    data->setClientAddress(QStringLiteral("1 Main Street\nShelbyville"));
    data->setInvoiceName(QStringLiteral("Annual work"));
    data->setInvoiceNumber(QStringLiteral("N-1000"));
    data->setInvoiceDate(QDateTime(QDate(2024, 6, 1), QTime(9, 0)));
    data->setInvoiceHeader(QStringLiteral("Tallyworth Studio - invoice"));
    data->setInvoiceFooter(QStringLiteral("Thank you for your business."));
    data->setInvoiceTerms(QStringLiteral("Payment due within 30 days."));
    data->setIsInvoice(true);
    data->setUnit(usd);
    TWInvoiceItemList items;
    for (int i = 0; i < count; ++i) {
        auto task = TWTask::taskWithDate(
            QDateTime(QDate(2024, 1, 1).addDays(i % 300), QTime(9, 0)), false,
            QStringLiteral("Task %1 of the annual work").arg(i + 1), TWTaskTypeHour, 0, 1.5,
            4000 + i, 7.5, QStringLiteral("Notes for item %1").arg(i + 1), 1, i + 1);
        task->setInvoiceQuantity(1.5);
        items.append(task);
    }
    data->setItems(items);

    QElapsedTimer timer;
    timer.start();
    TWInvoiceOperation operation(data->copy());
    operation.main();
    const qint64 elapsed = timer.elapsed();
    const QByteArray pdf = operation.pdfData();
    if (pdf.isEmpty()) {
        std::fprintf(stderr, "rendering failed: %s\n",
                     qPrintable(operation.error() ? operation.error()->localizedDescription()
                                                  : QStringLiteral("no data")));
        return 1;
    }
    if (!out.isEmpty()) {
        QFile file(out);
        if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
            return 1;
        }
    }
    QBuffer buffer;
    buffer.setData(pdf);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument document;
    document.load(&buffer);
    std::printf("pages: %d\n", document.pageCount());
    std::printf("render: %lld ms\n", static_cast<long long>(elapsed));
    return 0;
}
