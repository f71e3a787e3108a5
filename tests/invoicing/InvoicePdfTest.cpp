#include "TWInvoiceRenderSupport.h"
#include "TWLayoutTestSupport.h"

#include "foundation/TWLocalized.h"

#include <QRegularExpression>

namespace
{

// 60 items with notes, header and footer: several pages.
TWRenderBook longInvoice(TWTaskList *tasks = nullptr)
{
    TWRenderBook render = twRenderBook();
    TWTaskList list;
    for (int i = 0; i < 60; ++i)
        list.append(render.addTask(twLocal(2024, 5, 1 + i % 28),
                                   QStringLiteral("Task %1").arg(i + 1), 2500 + i, 2, 5,
                                   QStringLiteral("Notes of task %1").arg(i + 1)));
    render.bill(list, {});
    if (tasks)
        *tasks = list;
    return render;
}

} // namespace

TEST(InvoicePdfTest, ItemsRunOverPagesWithTheirFurniture)
{
    TWFixedClock clock(2024, 6, 15);
    TWRenderBook render = longInvoice();
    ASSERT_TRUE(render.book.business);
    TWSendInvoiceDataPtr data = render.data();
    data->setInvoiceHeader(QStringLiteral("Header line"));
    data->setInvoiceFooter(QStringLiteral("Footer line"));
    data->setInvoiceTerms(QStringLiteral("Payment due within 30 days."));
    TWErrorResult error;
    TWReadPdf read(twRender(render.b(), data, QStringLiteral("long"), &error));
    ASSERT_OK(error);
    ASSERT_TRUE(read.ok());
    ASSERT_GE(read.pages(), 3);
    EXPECT_EQ(read.document.pagePointSize(0), QSizeF(612, 792));
    QString all;
    for (int page = 0; page < read.pages(); ++page) {
        const QString text = read.text(page);
        all += text;
        EXPECT_TRUE(text.contains(QStringLiteral("%1 %2").arg(TWLocalized("page")).arg(page + 1)))
            << page;
        EXPECT_TRUE(text.contains(QStringLiteral("Header line"))) << page;
        EXPECT_TRUE(text.contains(QStringLiteral("Footer line"))) << page;
        // The table header is repeated on every page holding rows.
        if (text.contains(QStringLiteral("Task "))) {
            EXPECT_TRUE(text.contains(TWLocalized("description"))) << page;
        }
    }
    for (int i = 1; i <= 60; ++i) {
        EXPECT_TRUE(all.contains(QStringLiteral("Task %1\n").arg(i)) ||
                    all.contains(QStringLiteral("Task %1 ").arg(i)) ||
                    all.contains(QStringLiteral("Task %1\r").arg(i)))
            << i;
        EXPECT_TRUE(all.contains(QStringLiteral("Notes of task %1").arg(i))) << i;
    }
    EXPECT_TRUE(all.contains(QStringLiteral("Payment due within 30 days.")));
    EXPECT_FALSE(all.contains(TWLocalized("overdue")));
}

TEST(InvoicePdfTest, StampsPaidNeverOverdue)
{
    TWFixedClock clock(2024, 8, 15); // past the due date of 1 July
    TWRenderBook render = longInvoice();
    ASSERT_TRUE(render.book.business);
    TWSendInvoiceDataPtr data = render.data();
    data->setInvoicePaidLabel(QStringLiteral("STAMPPAID"));
    data->setInvoiceOverdueLabel(QStringLiteral("STAMPLATE"));

    TWReadPdf unpaid(twRender(render.b(), data, QStringLiteral("overdue")));
    ASSERT_TRUE(unpaid.ok());
    for (int page = 0; page < unpaid.pages(); ++page) {
        EXPECT_TRUE(unpaid.text(page).contains(QStringLiteral("STAMPLATE"))) << page;
        EXPECT_FALSE(unpaid.text(page).contains(QStringLiteral("STAMPPAID"))) << page;
    }

    data->setInvoicePaid(true);
    TWReadPdf paid(twRender(render.b(), data, QStringLiteral("paid")));
    ASSERT_TRUE(paid.ok());
    EXPECT_TRUE(paid.text(0).contains(QStringLiteral("STAMPPAID")));
    // With its own stamp switched off, a paid invoice still is not overdue.
    data->toggleDisplayBit(TWInvoiceDisplayMasks[TWDisplayPaidOverlay], false);
    TWReadPdf quiet(twRender(render.b(), data));
    ASSERT_TRUE(quiet.ok());
    for (int page = 0; page < quiet.pages(); ++page) {
        EXPECT_FALSE(quiet.text(page).contains(QStringLiteral("STAMPLATE"))) << page;
        EXPECT_FALSE(quiet.text(page).contains(QStringLiteral("STAMPPAID"))) << page;
    }
}

TEST(InvoicePdfTest, CancelledBrokenAndMissingLayouts)
{
    TWFixedClock clock(2024, 6, 15);
    TWRenderBook render = twRenderBook();
    ASSERT_TRUE(render.book.business);
    render.bill({render.addTask(twLocal(2024, 5, 2), QStringLiteral("Design"), 5000, 2)}, {});
    TWSendInvoiceDataPtr data = render.data();

    TWInvoiceOperation cancelled(data->copy());
    cancelled.cancel();
    ASSERT_TRUE(twRunOperation(cancelled, render.b().operationQueue()));
    EXPECT_TRUE(cancelled.pdfData().isEmpty());
    EXPECT_OK(cancelled.error());

    TWTestTempDir dir;
    data->setLayout(TWLayout::layoutWithPath(
        twWritePackage(dir, QStringLiteral("Broken.twlayout"),
                       {{QStringLiteral("layout.xml"), QByteArray("<layout version=\"2\"/>")}}),
        0, 1));
    TWErrorResult error;
    EXPECT_TRUE(twRender(render.b(), data, QString(), &error).isEmpty());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), TWLayoutErrorDomain);

    // No layout at all: the furniture, the table and the totals only.
    data->setLayout(nullptr);
    TWReadPdf bare(twRender(render.b(), data, QStringLiteral("bare"), &error));
    EXPECT_OK(error);
    ASSERT_TRUE(bare.ok());
    const QString text = bare.text(0);
    EXPECT_TRUE(text.contains(QStringLiteral("Design")));
    EXPECT_TRUE(text.contains(TWLocalized("totalDue")));
    EXPECT_FALSE(text.contains(QStringLiteral("Ada")));
}

TEST(InvoicePdfTest, TheBusinessMailAndWebAddressesAreLinks)
{
    TWFixedClock clock(2024, 6, 15);
    TWRenderBook render = twRenderBook();
    ASSERT_TRUE(render.book.business);
    TWSendInvoiceDataPtr data = render.data();
    // A name long enough to wrap in the information block.
    data->setInvoiceName(QStringLiteral("Design, build and launch of the new shop front with its "
                                        "catalogue and checkout"));
    TWErrorResult error;
    const QByteArray pdf = twRender(render.b(), data, QStringLiteral("links"), &error);
    ASSERT_OK(error);
    TWReadPdf read(pdf);
    ASSERT_TRUE(read.ok());
    const QString text = read.text(0);
    EXPECT_TRUE(text.contains(QStringLiteral("billing@example.com")));
    EXPECT_TRUE(text.contains(QStringLiteral("https://example.com/studio")));
    // Each is a link annotation with its address as the URI action.
    QStringList targets;
    const QRegularExpression uri(QStringLiteral(R"(/URI\s*\(([^)]*)\))"));
    for (const QRegularExpressionMatch &match : uri.globalMatch(QString::fromLatin1(pdf)))
        targets.append(match.captured(1));
    EXPECT_TRUE(targets.contains(QStringLiteral("mailto:billing@example.com")))
        << targets.join(' ').toStdString();
    EXPECT_TRUE(targets.contains(QStringLiteral("https://example.com/studio")))
        << targets.join(' ').toStdString();
    EXPECT_GE(pdf.count("/Subtype /Link"), 2);
}
