// What the source list's rows show beside their names over a real store:
// amounts in the right unit, the owe and overdue colours, the manage
// entries' words and counts, and the summary panel under the list.

#include "TWWindowTestSupport.h"

#include "app/TWIconCellView.h"
#include "app/TWMasterTotals.h"

#include "TWStoreTestSupport.h"
#include "foundation/TWClock.h"
#include "model/TWBuiltInFields.h"
#include "model/TWFormatter.h"

#include <QSplitter>

namespace
{

class SourceListRowsTest : public TWWindowTest
{
protected:
    void SetUp() override
    {
        TWWindowTest::SetUp();
        TWPreferences &preferences = TWPreferences::preferences();
        preferences.setOverdueColour(QColor(200, 0, 0));
        preferences.setOweColour(QColor(0, 0, 200));
    }

    static QString detail(TWMasterController &list, quint32 type, quint32 kind = 0, qint32 id = 0)
    {
        const TWMasterItemPtr node = list.masterItemWithType(type, kind, id);
        EXPECT_TRUE(node) << type << " " << kind << " " << id;
        return node ? list.model()
                          ->data(list.model()->indexOf(node.get()), TWIconCellDetailRole)
                          .toString()
                    : QString();
    }
    static QString money(TWBusiness &b, qint64 value, const TWUnitPtr &unit)
    {
        return TWMasterTotals::rowAmount(value, unit.get(), b);
    }
};

// Collapsing the panel is remembered: the next window of the business opens
// without it.
TEST_F(SourceListRowsTest, CollapsingTheSummaryIsRemembered)
{
    auto document = windowDocument();
    TWBusiness &b = *document->business();
    EXPECT_TRUE(b.showSummary());
    EXPECT_FALSE(master(*document).summaryCollapsed());
    TWSummarySplitter *splitter = master(*document).summarySplitter();
    QTest::mouseDClick(splitter->handle(1), Qt::LeftButton);
    EXPECT_TRUE(master(*document).summaryCollapsed());
    EXPECT_FALSE(b.showSummary());
    EXPECT_FALSE(b.settings().value(QStringLiteral("showSummary"), true).toBool());

    document->initUI();
    QCoreApplication::processEvents();
    EXPECT_TRUE(master(*document).summaryCollapsed());
    // A collapsed panel is moved out of the split view's area.
    const QWidget *panel = master(*document).summaryPanel();
    EXPECT_FALSE(master(*document).summarySplitter()->rect().intersects(panel->geometry()));
}

// However narrow the panel, an amount is shown whole or cut at its end with an
// ellipsis, never with its first digits cut off.
TEST_F(SourceListRowsTest, SummaryAmountsAreWholeOrVisiblyCut)
{
    const qint64 large = 604783127216937537;
    auto document = windowDocument([&](TWBusiness &b) {
        const TWAccountPtr bank = addAccount(b, QStringLiteral("Bank"));
        const TWAccountPtr sales =
            addAccount(b, QStringLiteral("Sales"), 0, QStringLiteral("USD"), TWAccountTypeIncome);
        addTransaction(b, bank, sales, large);
    });
    TWMasterController &list = master(*document);
    const QString whole = TWFormatter::formatter().valueString(
        large, document->business()->homeUnit().get(), true, true, false, true, false);
    for (const int width : {1000, 260, 120}) {
        list.summarySplitter()->resize(width, list.summarySplitter()->height());
        list.summaryPanel()->resize(width, list.summaryPanel()->height());
        QCoreApplication::processEvents();
        for (const char *name :
             {"assetsValueLabel", "incomeValueLabel", "netIncomeValueLabel", "debitValueLabel"}) {
            SCOPED_TRACE(testing::Message() << width << " " << name);
            const QLabel *label = list.summaryValueLabel(QLatin1String(name));
            ASSERT_TRUE(label);
            const QString shown = label->text();
            EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->contentsRect().width())
                << shown.toStdString();
            const bool cut = shown.endsWith(QChar(0x2026));
            EXPECT_TRUE(shown == whole || (cut && whole.startsWith(shown.chopped(1))))
                << shown.toStdString() << " of " << whole.toStdString();
        }
    }
}

} // namespace
