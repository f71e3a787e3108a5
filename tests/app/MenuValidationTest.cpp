// The enabling rules of the document's commands, decided from a fake window
// state without any widget.

#include "app/TWMenuValidation.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace
{

// A window whose every answer the test sets; queries not set answer NO and
// are recorded.
class FakeState final : public TWValidationState
{
public:
    bool sheet = false;
    bool importing = false;
    std::map<TWImportKind, TWListTarget> importFocus;
    std::map<TWImportKind, TWListTarget> importMenu;
    std::set<int> sections;
    int entryType = -1;
    int itemType = 0;
    int contextCount = 0;
    bool masterFocus = false;
    int searchType = 0;
    int sortByMode = 0;
    std::set<TWFocusList> focus;
    int tab = 0;
    int repeatKind = 0;
    int projectType = 0;
    bool timer = false;
    bool printSource = false;
    bool document = true;
    // (list, context, single, multiple, related) combinations that answer YES.
    std::set<std::tuple<TWListTarget, bool, bool, bool, bool>> selections;
    std::set<std::tuple<TWListTarget, TWQuery, bool>> yes;
    mutable std::vector<std::tuple<TWListTarget, TWQuery, bool>> asked;
    mutable int listMenuCalls = 0;

    void select(int section) { sections = {section}; }

    bool hasAttachedSheet() const override { return sheet; }
    bool isImporting() const override { return importing; }
    TWListTarget importListWithFocus(TWImportKind kind) const override
    {
        auto it = importFocus.find(kind);
        return it == importFocus.end() ? TWListTarget::None : it->second;
    }
    TWListTarget importListWithContextMenu(TWImportKind kind) const override
    {
        auto it = importMenu.find(kind);
        return it == importMenu.end() ? TWListTarget::None : it->second;
    }
    bool isMasterSelected(int section) const override { return sections.count(section) > 0; }
    int selectedEntryType() const override { return entryType; }
    int selectedItemType() const override { return itemType; }
    int contextMasterItemCount() const override { return contextCount; }
    bool masterHasFirstResponder() const override { return masterFocus; }
    int searchFieldType() const override { return searchType; }
    int sortBy() const override { return sortByMode; }
    bool hasFirstResponder(TWFocusList list) const override { return focus.count(list) > 0; }
    TWValidation validateListMenu(TWAction, int, bool) const override
    {
        ++listMenuCalls;
        return {true, TWCheck::On, {}};
    }
    int clientSelectedTab() const override { return tab; }
    int selectedRepeatKind() const override { return repeatKind; }
    int selectedProjectType() const override { return projectType; }
    bool isTaskTimerRunning() const override { return timer; }
    bool canPrintSelection() const override { return printSource; }
    bool hasSelectedTransaction(TWListTarget list, bool context, bool single, bool multiple,
                                bool related) const override
    {
        return selections.count({list, context, single, multiple, related}) > 0;
    }
    bool query(TWListTarget list, TWQuery query, bool context) const override
    {
        asked.emplace_back(list, query, context);
        return yes.count({list, query, context}) > 0;
    }
    bool documentValidation(TWAction) const override { return document; }
};

bool on(TWAction action, const FakeState &state, int tag = 0)
{
    return twValidateAction(action, tag, state).enabled;
}

using A = TWAction;
using L = TWListTarget;
using Q = TWQuery;

} // namespace

TEST(MenuValidationTest, ASheetWithoutImportDisablesEverything)
{
    FakeState state;
    state.sheet = true;
    state.select(0);
    state.entryType = 5;
    state.itemType = 5;
    state.contextCount = 1;
    state.selections.insert({L::Register, false, true, false, false});
    for (int i = 0; i < int(A::count); ++i)
        EXPECT_FALSE(on(A(i), state)) << twActionName(A(i));
}

TEST(MenuValidationTest, DuringAnImportOnlyTheImportListsCommandsFollowTheirFocus)
{
    FakeState state;
    state.sheet = true;
    state.importing = true;
    state.select(0);
    state.selections = {{L::ImportRows, false, true, false, false},
                        {L::ImportAll, false, true, false, false},
                        {L::ImportAll, true, false, false, false}};
    // Neither list focused: nothing.
    EXPECT_FALSE(on(A::doEditTransaction, state));
    state.importFocus[TWImportKind::Transactions] = L::ImportRows;
    EXPECT_TRUE(on(A::doEditTransaction, state));
    // Marking needs any selection on the focused list; the imported rows have
    // only a single-row answer here.
    EXPECT_FALSE(on(A::doMarkTransaction, state));
    // The twin follows the list whose table owns the menu, not the focus.
    EXPECT_FALSE(on(A::doMarkTransactionContext, state));
    state.importMenu[TWImportKind::Transactions] = L::ImportAll;
    EXPECT_TRUE(on(A::doMarkTransactionContext, state));

    state.importFocus[TWImportKind::Tasks] = L::ImportAll;
    state.yes = {{L::ImportAll, Q::CanEditTask, false},
                 {L::ImportAll, Q::HasSelectedTask, false},
                 {L::ImportAll, Q::CanEditTaskItem, false}};
    EXPECT_TRUE(on(A::doEditTask, state));
    EXPECT_TRUE(on(A::doMarkTask, state));
    EXPECT_TRUE(on(A::doEditTaskItem, state));
    EXPECT_FALSE(on(A::doEditTaskContext, state)); // no list owns the menu
    EXPECT_FALSE(on(A::doEditExpense, state));     // no expense list focused

    // Everything else stays off, the always-enabled commands (new records,
    // business information, imports, advanced find) included.
    state.sheet = false;
    const std::set<A> followFocus = {A::doEditTransaction, A::doMarkTransactionContext,
                                     A::doEditTask, A::doMarkTask, A::doEditTaskItem};
    for (int i = 0; i < int(A::count); ++i) {
        if (followFocus.count(A(i)))
            continue;
        EXPECT_FALSE(on(A(i), state)) << twActionName(A(i));
    }
}

TEST(MenuValidationTest, PrintOnlyWhatHasPages)
{
    FakeState state;
    state.select(0);
    EXPECT_FALSE(on(A::printDocument, state)); // no print table registered
    state.printSource = true;
    EXPECT_TRUE(on(A::printDocument, state));
    // A report group has no pages; a report has.
    state.select(5);
    state.entryType = 5;
    state.itemType = 4;
    EXPECT_FALSE(on(A::printDocument, state));
    state.itemType = 8;
    EXPECT_TRUE(on(A::printDocument, state));
    state.printSource = false;
    EXPECT_FALSE(on(A::printDocument, state));
    // A client prints the invoice it is sending.
    state.select(3);
    EXPECT_FALSE(on(A::printDocument, state));
    state.yes = {{L::Invoices, Q::ShowingSendInvoice, false}};
    EXPECT_TRUE(on(A::printDocument, state));
}

TEST(MenuValidationTest, NewTransactionsWaitForTheEditorThatMakesThem)
{
    FakeState state;
    state.select(0);
    EXPECT_TRUE(on(A::doNewTransaction, state));
    state.document = false; // no transaction editor registered
    EXPECT_FALSE(on(A::doNewTransaction, state));
    EXPECT_FALSE(on(A::doAddMultipleTransactions, state));
}
