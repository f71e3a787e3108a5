// The group and filter editors: what a save makes, what a cancel leaves, the
// copy the filter editor works on and the window following the rows.

#include "TWDateTypingSupport.h"
#include "TWRecordTestSupport.h"
#include "app/TWControls.h"
#include "app/TWFilterEditor.h"
#include "app/TWFilterEditorRow.h"
#include "app/TWFilterInfoController.h"
#include "app/TWGroupInfoController.h"
#include "app/TWSearchController.h"

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
    auto document = windowDocument();
    TWBusiness &business = *document->business();
    TWAlertRecorder alerts;
    const QString field = business.fieldWithIdentifier(TWFieldIdentifierDate)->name();
    // The last rule compares the date with a custom date, typed as nonsense.
    const auto refuseDate = [](TWFilterEditor *editor) {
        for (const auto &[view, tag] :
             {std::pair{&TWFilterEditorRow::view1, int(TWFieldIdentifierDate)},
              std::pair{&TWFilterEditorRow::view3, -1}}) {
            TWFilterEditorRow *row = editor->rows().last();
            auto *popUp = qobject_cast<TWPopUpButton *>((row->*view)());
            ASSERT_TRUE(popUp && popUp->selectItemWithTag(tag));
            row->doPopUpButton(popUp);
        }
        auto *date = qobject_cast<QDateEdit *>(editor->rows().last()->view4());
        ASSERT_TRUE(date);
        twTypeDate(date, QStringLiteral("35/35/35"));
    };

    const TWFilterPtr listed = business.filters().first();
    const TWFilterPtr copy = listed->copy();
    TWFilterInfoController controller;
    beginExisting(*document, controller, copy);
    controller.view()->show();
    controller.nameTextField()->setText(QStringLiteral("Jan 25"));
    refuseDate(controller.filterEditor());
    controller.doSave(1);
    ASSERT_EQ(alerts.messages.size(), 1);
    EXPECT_TRUE(twNamesField(alerts.messages.first(), field)) << alerts.messages.first();
    EXPECT_FALSE(controller.saved());
    EXPECT_EQ(copy->criteria(), listed->criteria());
    EXPECT_EQ(controller.nameTextField()->text(), QStringLiteral("Jan 25"));

    const TWFilterPtr found = business.advancedFindFilter();
    document->perform(TWAction::doAdvancedFind);
    TWSearchController *search = document->searchController();
    refuseDate(search->filterEditor());
    search->findButton()->click();
    settle();
    ASSERT_EQ(alerts.messages.size(), 2);
    EXPECT_TRUE(twNamesField(alerts.messages.last(), field)) << alerts.messages.last();
    EXPECT_EQ(business.advancedFindFilter(), found);
    EXPECT_TRUE(search->view()->isVisible());
}
