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

} // namespace
