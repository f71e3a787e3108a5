// The document's commands as the menus and the bar's controls send them, with
// recording doubles standing in for the views still to come.

#include "TWDateRangeController.h"
#include "TWDenyGuard.h"
#include "TWMasterController.h"
#include "TWMenus.h"
#include "TWPopover.h"
#include "TWRecordTestSupport.h"

#include "TWClock.h"
#include "TWTask.h"

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

TEST_F(MenuActionsTest, RegisterContextColumnsWaitDuringAnImportWhileTheMainOnesAct)
{
    TWAccountPtr checking;
    TWFakeImport *import = nullptr;
    TWAppRegistry::registry().setEditorFactory(TWEditorKind::ImportTransactions,
                                               [&import](QObject *parent) {
                                                   import = new TWFakeImport(parent);
                                                   return import;
                                               });
    auto document = windowDocument([&](TWBusiness &b) { checking = addAccount(b, "Checking"); });
    select(*document, TWMasterItemEntity, TWItemTypeAccount, checking->identifier());
    ASSERT_TRUE(recordingRegister);
    const TWFieldPtr date = document->business()->fieldWithIdentifier(-3);
    ASSERT_TRUE(date);
    QMenu menu;
    QAction *column = twMenuAction(&menu, QStringLiteral("Date"), TWAction::doColumnAccountContext,
                                   0, QVariant::fromValue(date));
    QAction *sort = twMenuAction(&menu, QStringLiteral("Date"), TWAction::doSortByAccount, 0,
                                 QVariant::fromValue(date));

    // Without an import the context command acts on the register.
    document->perform(TWAction::doColumnAccountContext, 0, column);
    EXPECT_EQ(recordingRegister->calls, QStringList{QStringLiteral("column -3")});

    document->importTransactionsURL(QUrl::fromLocalFile(QStringLiteral("/tmp/bank.qif")));
    ASSERT_TRUE(import);
    document->setImporting(true);
    import->focused = 0;
    recordingRegister->calls.clear();
    document->perform(TWAction::doColumnAccountContext, 0, column);
    document->perform(TWAction::doSortByAccountContext, 0, sort);
    document->perform(TWAction::doSortDirectionAccountContext, 1);
    EXPECT_TRUE(recordingRegister->calls.isEmpty());
    EXPECT_TRUE(import->importList->calls.isEmpty());
    // The main commands act on the import's focused list.
    document->perform(TWAction::doSortByAccount, 0, sort);
    document->perform(TWAction::doSortDirectionAccount, 1);
    document->perform(TWAction::doSortDirectionAccount, 0);
    EXPECT_EQ(import->importList->calls,
              (QStringList{QStringLiteral("sortBy -3"), QStringLiteral("ascending 0"),
                           QStringLiteral("ascending 1")}));
    EXPECT_TRUE(recordingRegister->calls.isEmpty());
    document->setImporting(false);
}

TEST_F(MenuActionsTest, ExportCommandsWaitForTheirSheets)
{
    auto document = windowDocument();
    EXPECT_FALSE(document->validate(TWAction::doExportTransactions, 0).enabled);
    document->perform(TWAction::doExportTransactions);
    settle();
    EXPECT_FALSE(document->hasAttachedSheet());

    TWFakeInfoEditor *sheet = nullptr;
    TWAppRegistry::registry().setEditorFactory(TWEditorKind::ExportTasks,
                                               [&sheet](QObject *parent) {
                                                   sheet = new TWFakeInfoEditor(parent);
                                                   return sheet;
                                               });
    EXPECT_TRUE(document->validate(TWAction::doExportTasks, 0).enabled);
    document->perform(TWAction::doExportTasks);
    settle();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(document->hasAttachedSheet());
    document->endSheet(sheet->view(), -1001);
    settle();
    // Kept for the next time.
    TWFakeInfoEditor *first = sheet;
    document->perform(TWAction::doExportTasks);
    settle();
    EXPECT_EQ(sheet, first);
    document->endSheet(sheet->view(), -1001);
    settle();
}

#include "MenuActionsTest.moc"
