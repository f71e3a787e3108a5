#include "TWInvoiceRenderSupport.h"

#include <QRegularExpression>
#include <QSet>

namespace
{

// "w0001 w0002 ...": numbered words, `perLine` to a paragraph.
QString numberedWords(int count, int perLine)
{
    QString text;
    for (int i = 1; i <= count; ++i) {
        text += QStringLiteral("w%1").arg(i, 4, 10, QLatin1Char('0'));
        text += i % perLine == 0 ? QStringLiteral("\n") : QStringLiteral(" ");
    }
    return text.trimmed();
}

// Each numbered word found in the pages, counted. The PDF's text comes back
// with line breaks wherever the reader sees fit, so blanks are dropped first.
QHash<QString, int> wordsIn(TWReadPdf &read)
{
    static const QRegularExpression word(QStringLiteral("w\\d{4}"));
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QHash<QString, int> found;
    for (int page = 0; page < read.pages(); ++page) {
        auto it = word.globalMatch(read.text(page).remove(blanks));
        while (it.hasNext())
            ++found[it.next().captured(0)];
    }
    return found;
}

TWRenderBook shortInvoice()
{
    TWRenderBook render = twRenderBook();
    render.bill({render.addTask(twLocal(2024, 5, 2), QStringLiteral("Design"), 5000, 2)}, {});
    return render;
}

} // namespace

TEST(InvoiceTextFlowTest, LongTermsContinueOnFollowingPagesWholeWordsOnly)
{
    TWFixedClock clock(2024, 6, 15);
    TWRenderBook render = shortInvoice();
    ASSERT_TRUE(render.book.business);
    TWSendInvoiceDataPtr data = render.data(QStringLiteral("Modern"));
    data->setInvoiceTerms(numberedWords(2400, 12));
    TWReadPdf read(twRender(render.b(), data, QStringLiteral("terms")));
    ASSERT_TRUE(read.ok());
    EXPECT_GE(read.pages(), 3);
    const QHash<QString, int> found = wordsIn(read);
    EXPECT_EQ(found.size(), 2400);
    for (auto it = found.cbegin(); it != found.cend(); ++it)
        EXPECT_EQ(it.value(), 1) << it.key();
    for (int page = 1; page < read.pages(); ++page)
        EXPECT_TRUE(read.text(page).contains(QStringLiteral("w"))) << page;
}

TEST(InvoiceTextFlowTest, AContentAreaLowerThanALineStillEnds)
{
    TWFixedClock clock(2024, 6, 15);
    TWRenderBook render = shortInvoice();
    ASSERT_TRUE(render.book.business);
    TWSendInvoiceDataPtr data = render.data();
    data->setInvoiceTerms(numberedWords(60, 4));
    // Paper with a printable strip a few points high.
    const QPageLayout strip(
        QPageSize(QSizeF(612, 792), QPageSize::Point, QString(), QPageSize::ExactMatch),
        QPageLayout::Portrait, QMarginsF(20, 392, 20, 392), QPageLayout::Point);
    TWInvoiceOperation operation(data->copy(), strip);
    operation.main();
    TWReadPdf read(operation.pdfData());
    ASSERT_TRUE(read.ok());
    EXPECT_GE(read.pages(), 2);
    EXPECT_EQ(wordsIn(read).size(), 60);
}
