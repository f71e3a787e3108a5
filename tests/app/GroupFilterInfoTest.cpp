// The group and filter editors: what a save makes, what a cancel leaves, the
// copy the filter editor works on and the window following the rows.

#include "TWDateTypingSupport.h"
#include "TWRecordTestSupport.h"
#include "app/TWAlert.h"
#include "app/TWControls.h"
#include "app/TWFilterEditor.h"
#include "app/TWFilterEditorRow.h"
#include "app/TWFilterInfoController.h"
#include "app/TWGroupInfoController.h"
#include "app/TWSearchController.h"

#include "foundation/TWLocalized.h"
#include "model/TWBuiltInFields.h"

#include <QDateEdit>
#include <QPushButton>

#include <sqlite3.h>

class GroupFilterInfoTest : public TWRecordTest
{
protected:
    // A controller in a sheet of the document, ready for a new record.
    template <typename Controller>
    void beginNew(TWBusinessController &document, Controller &controller, int *code)
    {
        controller.setMode(0);
        controller.setBusinessController(&document);
        controller.setBusiness(document.business());
        controller.view();
        controller.reset();
        document.beginSheetWithView(controller.view(), false, true,
                                    [code](int returnCode) { *code = returnCode; });
    }
    // The filter controller of a listed filter's popover, on `copy`.
    static void beginExisting(TWBusinessController &document, TWFilterInfoController &controller,
                              const TWFilterPtr &copy)
    {
        controller.setMode(1);
        controller.setBusinessController(&document);
        controller.setBusiness(document.business());
        controller.view();
        controller.setFilter(copy);
        controller.update();
    }
};

TEST_F(GroupFilterInfoTest, CancelInAPopoverLeavesTheRecordAndSavedOff)
{
    auto document = windowDocument();
    TWGroupPtr group = addGroup(*document->business(), TWItemTypeAccountGroup, "Banks");
    TWGroupInfoController controller;
    controller.setMode(1);
    controller.view();
    controller.setGroup(group);
    controller.update();
    controller.nameTextField()->setText(QStringLiteral("Other"));
    controller.doSave(0);
    EXPECT_FALSE(controller.saved());
    EXPECT_EQ(group->name(), QStringLiteral("Banks"));
}

TEST_F(GroupFilterInfoTest, AGroupIdentifierThatCannotBeReadIsShownNotUsed)
{
    auto document = windowDocument();
    TWGroupInfoController controller;
    int code = 0;
    beginNew(*document, controller, &code);
    controller.setType(TWItemTypeAccountGroup);
    {
        // The identifier query is refused: it answers 0.
        TWDenyGuard deny(*document->business(), SQLITE_READ, "groups");
        controller.doSave(1);
    }
    settle();
    EXPECT_EQ(code, -1001);
    EXPECT_FALSE(controller.group());
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(prompts.errors.first().domain(), TWDatabaseErrorDomain);
}

TEST_F(GroupFilterInfoTest, ACancelledFilterEditKeepsItsCriteria)
{
    auto document = windowDocument();
    TWBusiness &business = *document->business();
    ASSERT_FALSE(business.filters().isEmpty());
    const TWFilterPtr listed = business.filters().first();
    const TWFilterPtr copy = listed->copy();
    const int before = int(TWFilterCriteria::preOrderCriteria(listed->criteria()).size());

    TWFilterInfoController controller;
    beginExisting(*document, controller, copy);
    TWFilterEditor *editor = controller.filterEditor();
    ASSERT_GT(editor->numberOfRows(), 0);
    editor->doAdd(editor->flatCriterion().last());
    controller.doSave(0);
    EXPECT_EQ(int(TWFilterCriteria::preOrderCriteria(listed->criteria()).size()), before);
    EXPECT_EQ(copy->criteria(), listed->criteria());

    // A save hands the edited tree to the copy only.
    controller.update();
    editor->doAdd(editor->flatCriterion().last());
    controller.doSave(1);
    EXPECT_TRUE(controller.saved());
    EXPECT_EQ(int(TWFilterCriteria::preOrderCriteria(copy->criteria()).size()), before + 1);
    EXPECT_EQ(int(TWFilterCriteria::preOrderCriteria(listed->criteria()).size()), before);
}

// A rule's custom date whose text does not read is named by its field when
// the popover saves or the sheet finds, and nothing is stored: never today.
TEST_F(GroupFilterInfoTest, ARefusedRuleDateIsNamedAndNeverStoredAsAnotherDate)
{
    TWFixedClock clock(twLocal(2025, 3, 14, 9, 0, 0));
    auto document = windowDocument();
    TWBusiness &business = *document->business();
    QStringList alerts;
    twSetAlertPresenter([&alerts](const TWAlert &alert, TWAlertCompletion completion) {
        alerts.append(alert.message);
        if (completion)
            completion(TWAlertFirstButtonReturn);
    });
    const QString named =
        TWLocalized("refusedFieldMessage")
            .arg(business.fieldWithIdentifier(TWFieldIdentifierDate)->name(), QString());
    // Picks a pop-up's item as a click does.
    const auto choose = [](TWFilterEditorRow *row, QWidget *control, int tag) {
        auto *popUp = qobject_cast<TWPopUpButton *>(control);
        ASSERT_TRUE(popUp);
        ASSERT_TRUE(popUp->selectItemWithTag(tag)) << tag;
        row->doPopUpButton(popUp);
    };
    // The last rule compares the date with a custom date, typed as nonsense.
    const auto refuseDate = [&choose](TWFilterEditor *editor) {
        TWFilterEditorRow *row = editor->rows().last();
        choose(row, row->view1(), TWFieldIdentifierDate);
        choose(row, row->view3(), -1);
        row = editor->rows().last();
        auto *date = qobject_cast<QDateEdit *>(row->view4());
        EXPECT_TRUE(date);
        if (date)
            twTypeDate(date, QStringLiteral("35/35/35"));
        return date;
    };

    const TWFilterPtr listed = business.filters().first();
    const TWFilterPtr copy = listed->copy();
    TWFilterInfoController controller;
    beginExisting(*document, controller, copy);
    controller.view()->show();
    controller.nameTextField()->setText(QStringLiteral("Jan 25"));
    QDateEdit *date = refuseDate(controller.filterEditor());
    ASSERT_TRUE(date);
    controller.doSave(1);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().startsWith(named)) << alerts.first();
    EXPECT_FALSE(controller.saved());
    EXPECT_EQ(copy->criteria(), listed->criteria());
    EXPECT_EQ(date->text(), QStringLiteral("35/35/35"));
    EXPECT_EQ(controller.nameTextField()->text(), QStringLiteral("Jan 25"));

    document->perform(TWAction::doAdvancedFind);
    TWSearchController *search = document->searchController();
    ASSERT_TRUE(search);
    const TWFilterPtr before = business.advancedFindFilter();
    refuseDate(search->filterEditor());
    search->findButton()->click();
    settle();
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_TRUE(alerts.last().startsWith(named)) << alerts.last();
    EXPECT_EQ(business.advancedFindFilter(), before);
    EXPECT_TRUE(search->view()->isVisible());
    twSetAlertPresenter({});
}
