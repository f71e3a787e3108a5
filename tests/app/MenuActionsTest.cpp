// The document's commands as the menus and the bar's controls send them, with
// recording doubles standing in for the views still to come.

#include "TWDenyGuard.h"
#include "TWRecordTestSupport.h"
#include "app/TWDateRangeController.h"
#include "app/TWMasterController.h"
#include "app/TWMenus.h"
#include "app/TWPopover.h"
#include "app/TWRecordEditors.h"
#include "app/TWWindowController.h"

#include "foundation/TWClock.h"
#include "model/TWTask.h"

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>

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

// The information sheet of a family whose piece is not linked here.
class StandInInfo final : public TWInfoEditor
{
    Q_OBJECT
public:
    using TWInfoEditor::TWInfoEditor;
    TWItemPtr item() const override { return nullptr; }
    void setItem(const TWItemPtr &) override {}

protected:
    void build() override { m_view = new QLabel(QStringLiteral("information")); }
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

TEST_F(MenuActionsTest, TheSourceListsAddPopUpOpensTheSheetOfEachKind)
{
    for (TWEditorKind kind : {TWEditorKind::AccountInfo, TWEditorKind::ClientInfo,
                              TWEditorKind::MerchantInfo, TWEditorKind::ReportInfo})
        TWAppRegistry::registry().setEditorFactory(
            kind, [](QObject *parent) { return new StandInInfo(parent); });
    auto document = windowDocument();
    QToolButton *add = document->windowController()->addMasterButton();
    ASSERT_TRUE(add);
    EXPECT_TRUE(add->isVisible());
    EXPECT_EQ(add->popupMode(), QToolButton::InstantPopup);
    ASSERT_TRUE(add->menu());
    // It stands beside the delete button, not over it.
    EXPECT_FALSE(
        add->geometry().intersects(document->windowController()->deleteMasterButton()->geometry()));

    // By tag: the family whose sheet opens, and the group kind (0: none).
    const std::pair<int, int> expected[] = {
        {TWItemTypeAccount, 0},  {TWItemTypeAccountGroup, TWItemTypeAccountGroup},
        {TWItemTypeFilter, 0},   {TWItemTypeFilterGroup, TWItemTypeFilterGroup},
        {TWItemTypeClient, 0},   {TWItemTypeClientGroup, TWItemTypeClientGroup},
        {TWItemTypeMerchant, 0}, {TWItemTypeMerchantGroup, TWItemTypeMerchantGroup},
        {TWItemTypeReport, 0},   {TWItemTypeReportGroup, TWItemTypeReportGroup}};
    QList<QAction *> items;
    for (QAction *item : add->menu()->actions())
        if (!item->isSeparator())
            items.append(item);
    ASSERT_EQ(items.size(), 10);
    for (int tag = 0; tag < 10; ++tag) {
        QAction *item = items.at(tag);
        EXPECT_EQ(twActionOf(item), TWAction::doMasterAdd) << tag;
        EXPECT_EQ(twTagOf(item), tag);
        EXPECT_FALSE(item->text().isEmpty()) << tag;
        item->trigger();
        settle();
        ASSERT_TRUE(document->hasAttachedSheet()) << tag;
        TWInfoEditor *editor = document->newInfoController(expected[tag].first);
        ASSERT_TRUE(editor) << tag;
        EXPECT_EQ(editor->view()->window(), document->innermostSheet()) << tag;
        if (expected[tag].second) {
            EXPECT_EQ(editor->type(), expected[tag].second) << tag;
        }
        document->endSheet(editor->view(), TWSheetResult::Cancelled);
        settle();
        EXPECT_FALSE(document->hasAttachedSheet()) << tag;
    }
}

#include "MenuActionsTest.moc"
