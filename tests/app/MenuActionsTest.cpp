// The document's commands as the menus and the bar's controls send them, with
// recording doubles standing in for the views still to come.

#include "TWDenyGuard.h"
#include "TWRecordTestSupport.h"
#include "app/TWDateRangeController.h"
#include "app/TWMasterController.h"
#include "app/TWMenus.h"
#include "app/TWPopover.h"

#include "foundation/TWClock.h"
#include "model/TWTask.h"

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include <sqlite3.h>

namespace
{

class RecordingUnits final : public TWUnitsDetail
{
    Q_OBJECT
public:
    using TWUnitsDetail::TWUnitsDetail;
    QWidget *view() override { return m_view.get(); }
    void refresh() override { ++refreshes; }
    int refreshes = 0;

private:
    TWStandInView<> m_view{QStringLiteral("units")};
};

} // namespace

class MenuActionsTest : public TWRecordTest
{
protected:
    void SetUp() override
    {
        TWRecordTest::SetUp();
        registerRecordingViews();
        TWAppRegistry::registry().setDetailFactory(TWDetailUnits, [this](QObject *parent) {
            units = new RecordingUnits(parent);
            return units;
        });
    }
    RecordingUnits *units = nullptr;
};

TEST_F(MenuActionsTest, AFailingSortChangeIsShownAndTheStoreKeepsItsMode)
{
    auto document = windowDocument([](TWBusiness &b) {
        addAccount(b, QStringLiteral("Zeta"));
        addAccount(b, QStringLiteral("Alpha"));
    });
    TWBusiness &b = *document->business();
    const quint32 mode = b.sortBy();
    QList<quint32> orders;
    for (const TWAccountPtr &account : b.accounts())
        orders.append(account->sortOrder());
    {
        TWDenyGuard deny(b, SQLITE_UPDATE, "accounts");
        document->perform(TWAction::doMasterSortBy, int(1 - mode));
    }
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(b.sortBy(), mode);
    QList<quint32> after;
    for (const TWAccountPtr &account : b.accounts())
        after.append(account->sortOrder());
    EXPECT_EQ(after, orders);
    // The menu shows the mode the store kept.
    EXPECT_EQ(document->validate(TWAction::doMasterSortBy, int(mode)).check, TWCheck::On);
    EXPECT_EQ(document->validate(TWAction::doMasterSortBy, int(1 - mode)).check, TWCheck::Off);
}

#include "MenuActionsTest.moc"
