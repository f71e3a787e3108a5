// The enabling rules of the document's commands, decided from a fake window
// state without any widget.

#include "TWMenuValidation.h"

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

const A alwaysEnabled[] = {A::doBusiness,
                           A::doNewAccount,
                           A::doNewAccountContext,
                           A::doNewAccountGroup,
                           A::doNewGroupContext,
                           A::doDownloadCurrencyExchangeRates,
                           A::doNewFilter,
                           A::doNewFilterContext,
                           A::doNewFilterGroup,
                           A::doNewClient,
                           A::doNewClientContext,
                           A::doNewClientGroup,
                           A::doNewMerchant,
                           A::doNewMerchantContext,
                           A::doNewMerchantGroup,
                           A::doNewReportContext,
                           A::doNewTransactionContext,
                           A::doAddMultipleTransactionsContext,
                           A::doNewField,
                           A::doNewFieldContext,
                           A::doNewFieldItemContext,
                           A::doNewUnit,
                           A::doNewUnitContext,
                           A::doNewValueContext,
                           A::doImportTransactions,
                           A::doImportTasks,
                           A::doImportExpenses,
                           A::doAdvancedFind};

} // namespace

TEST(MenuValidationTest, ActionNamesAndTwins)
{
    EXPECT_EQ(twActionName(A::doEditTaskContext), QStringLiteral("doEditTaskContext"));
    EXPECT_EQ(twActionFromName(QStringLiteral("doMarkBill")), A::doMarkBill);
    EXPECT_FALSE(twActionFromName(QStringLiteral("doNothing")).has_value());
    EXPECT_EQ(twMainAction(A::doEditTaskContext), A::doEditTask);
    EXPECT_TRUE(twIsContextAction(A::doDeleteRepeatContext));
    EXPECT_FALSE(twIsContextAction(A::doEditTask));
    // A context command without a main command of its own stands for itself.
    EXPECT_EQ(twMainAction(A::doDeleteContext), A::doDeleteContext);
}

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
        EXPECT_FALSE(on(A(i), state)) << twActionName(A(i)).toStdString();
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

    // Everything else stays off, the always-enabled commands included.
    state.sheet = false;
    for (A action : alwaysEnabled)
        EXPECT_FALSE(on(action, state)) << twActionName(action).toStdString();
    EXPECT_FALSE(on(A::doDeleteTransaction, state));
}

TEST(MenuValidationTest, AlwaysEnabledCommandsInAnEmptyWindow)
{
    FakeState state;
    state.document = false;
    for (A action : alwaysEnabled)
        EXPECT_TRUE(on(action, state)) << twActionName(action).toStdString();
    // Others fall to the document's own answer, the export commands too
    // (enabled once their sheets exist).
    EXPECT_FALSE(on(A::doNewReport, state));
    EXPECT_FALSE(on(A::doExportTasks, state));
    EXPECT_FALSE(on(A::doShowRelatedTransactionsContext, state));
    state.document = true;
    EXPECT_TRUE(on(A::doNewReport, state));
    EXPECT_TRUE(on(A::saveDocument, state));
    EXPECT_TRUE(on(A::doExportTransactions, state));
}

TEST(MenuValidationTest, SourceListCommandsAndFind)
{
    FakeState state;
    EXPECT_FALSE(on(A::doShowInspectorContext, state));
    state.contextCount = 1;
    EXPECT_TRUE(on(A::doShowInspectorContext, state));
    EXPECT_TRUE(on(A::doDeleteContext, state));
    state.contextCount = 2;
    EXPECT_FALSE(on(A::doShowInspectorContext, state));

    // The inspector needs the source list's focus on a record.
    state.entryType = 5;
    state.itemType = 6;
    EXPECT_FALSE(on(A::doShowInspector, state));
    state.masterFocus = true;
    EXPECT_TRUE(on(A::doShowInspector, state));

    // Find: account groups, accounts, filter groups, filters, units, values
    // and search results.
    for (int type : {1, 5, 9, 10}) {
        state.itemType = type;
        EXPECT_TRUE(on(A::doFind, state)) << type;
    }
    for (int type : {2, 6, 7, 8}) {
        state.itemType = type;
        EXPECT_FALSE(on(A::doFind, state)) << type;
    }
    state.itemType = 0;
    for (int entry : {8, 10, 13}) {
        state.entryType = entry;
        EXPECT_TRUE(on(A::doFind, state)) << entry;
    }
    state.entryType = 7;
    EXPECT_FALSE(on(A::doFind, state));
}

TEST(MenuValidationTest, CheckStatesOfSearchTypeAndSortBy)
{
    FakeState state;
    state.searchType = 1;
    EXPECT_EQ(twValidateAction(A::doSearchType, 1, state).check, TWCheck::On);
    EXPECT_EQ(twValidateAction(A::doSearchType, 0, state).check, TWCheck::Off);
    EXPECT_EQ(twValidateAction(A::doSearchType, 7, state).check, TWCheck::Keep);
    EXPECT_TRUE(on(A::doSearchType, state, 7));

    state.sortByMode = 0;
    EXPECT_EQ(twValidateAction(A::doMasterSortBy, 0, state).check, TWCheck::On);
    EXPECT_EQ(twValidateAction(A::doMasterSortBy, 1, state).check, TWCheck::Off);
    // Any other tag is set off, still enabled.
    const TWValidation other = twValidateAction(A::doMasterSortBy, 4, state);
    EXPECT_TRUE(other.enabled);
    EXPECT_EQ(other.check, TWCheck::Off);
}

TEST(MenuValidationTest, ListMenusNeedTheFocusForTheMainCommandOnly)
{
    FakeState state;
    state.select(0);
    EXPECT_FALSE(on(A::doColumnAccount, state));
    EXPECT_EQ(state.listMenuCalls, 0);
    EXPECT_TRUE(on(A::doColumnAccountContext, state));
    state.focus.insert(TWFocusList::Register);
    EXPECT_TRUE(on(A::doSortByAccount, state));
    // A client's columns and sorting ask different lists of its invoices.
    state.select(3);
    state.focus = {TWFocusList::ClientInvoiceTransactions};
    EXPECT_TRUE(on(A::doColumnAccount, state));
    EXPECT_FALSE(on(A::doSortByAccount, state));
    // No register in a report.
    state.select(5);
    EXPECT_FALSE(on(A::doSortDirectionAccount, state));
    state.focus = {TWFocusList::Bills};
    EXPECT_TRUE(on(A::doSortByMerchantBill, state));
    EXPECT_FALSE(on(A::doSortByClientTask, state));
}

TEST(MenuValidationTest, TransactionCommandsFollowTheSelectedList)
{
    FakeState state;
    state.select(0);
    state.selections = {{L::Register, false, true, false, false},
                        {L::Register, false, false, false, false},
                        {L::RepeatsList, false, true, false, false},
                        {L::RepeatsList, false, false, false, false},
                        {L::RepeatsList, true, false, false, false},
                        {L::InvoicePayments, false, false, false, false},
                        {L::InvoicePayments, true, false, false, false}};
    EXPECT_TRUE(on(A::doNewTransaction, state));
    EXPECT_TRUE(on(A::doEditTransaction, state));
    EXPECT_FALSE(on(A::doShowRelatedTransactions, state)); // no related rows
    EXPECT_FALSE(on(A::doEditMultipleTransactions, state));
    EXPECT_TRUE(on(A::doDuplicateTransaction, state));
    EXPECT_FALSE(on(A::doDeleteTransactionContext, state)); // no context rows

    // Repeats: no new or duplicate, edit and delete on its own list.
    state.select(10);
    EXPECT_FALSE(on(A::doNewTransaction, state));
    EXPECT_TRUE(on(A::doEditTransaction, state));
    EXPECT_TRUE(on(A::doDeleteTransaction, state));
    EXPECT_FALSE(on(A::doDuplicateTransaction, state));
    EXPECT_TRUE(on(A::doMarkTransactionContext, state));
    EXPECT_FALSE(on(A::doEditMultipleTransactionsContext, state));

    // A client: only on the invoices tab and while its view can add.
    state.select(3);
    state.tab = 2;
    EXPECT_FALSE(on(A::doDeleteTransaction, state));
    state.yes.insert({L::ClientView, Q::CanAddTransaction, false});
    EXPECT_TRUE(on(A::doNewTransaction, state));
    EXPECT_TRUE(on(A::doDeleteTransaction, state));
    EXPECT_TRUE(on(A::doDeleteTransactionContext, state));
    for (int tab : {0, 1}) {
        state.tab = tab;
        for (A action :
             {A::doNewTransaction, A::doAddMultipleTransactions, A::doEditTransaction,
              A::doDeleteTransaction, A::doMarkTransaction, A::doDeleteTransactionContext})
            EXPECT_FALSE(on(action, state)) << tab << twActionName(action).toStdString();
    }

    // A merchant adds when its view says so.
    state.select(4);
    EXPECT_FALSE(on(A::doNewTransaction, state));
    state.yes.insert({L::MerchantView, Q::CanAddTransaction, false});
    EXPECT_TRUE(on(A::doAddMultipleTransactions, state));

    // Anything else: nothing.
    state.select(6);
    EXPECT_FALSE(on(A::doNewTransaction, state));
    EXPECT_FALSE(on(A::doMarkTransactionContext, state));
}

TEST(MenuValidationTest, ClientTabRulesHoldForAClientGroupToo)
{
    FakeState state;
    // isMasterSelected(3) answers for a client and a client group alike.
    state.select(3);
    state.yes = {{L::Tasks, Q::CanAddTask, false},        {L::Expenses, Q::CanAddExpense, false},
                 {L::Invoices, Q::CanAddInvoice, false},  {L::Invoices, Q::CanEditInvoice, true},
                 {L::Expenses, Q::CanEditExpense, false}, {L::Tasks, Q::CanDeleteTask, true}};
    state.tab = 0;
    EXPECT_TRUE(on(A::doNewTask, state));
    EXPECT_FALSE(on(A::doNewExpense, state));
    EXPECT_FALSE(on(A::doNewInvoice, state));
    EXPECT_TRUE(on(A::doDeleteTaskContext, state));
    // Editing ignores the tab.
    EXPECT_TRUE(on(A::doEditInvoiceContext, state));
    EXPECT_TRUE(on(A::doEditExpense, state));
    state.tab = 1;
    EXPECT_FALSE(on(A::doNewTask, state));
    EXPECT_TRUE(on(A::doNewExpense, state));
    EXPECT_FALSE(on(A::doDeleteTaskContext, state));
    state.tab = 2;
    EXPECT_TRUE(on(A::doNewInvoice, state));
    // Without a client selected, nothing asks the lists.
    state.select(0);
    state.asked.clear();
    EXPECT_FALSE(on(A::doNewTask, state));
    EXPECT_FALSE(on(A::doEditInvoice, state));
    EXPECT_TRUE(state.asked.empty());
}

TEST(MenuValidationTest, InvoiceAndBillCommandsOfRepeats)
{
    FakeState state;
    state.select(10);
    state.yes = {{L::RepeatsInvoices, Q::CanEditInvoice, false},
                 {L::RepeatsInvoices, Q::CanMarkInvoice, true},
                 {L::RepeatsMerchant, Q::CanEditBill, false},
                 {L::RepeatsMerchant, Q::CanDeleteBill, true},
                 {L::RepeatsInvoices, Q::CanDuplicateInvoice, false},
                 {L::RepeatsMerchant, Q::CanDuplicateBill, false}};
    // No repeat selected.
    EXPECT_FALSE(on(A::doEditInvoice, state));
    EXPECT_FALSE(on(A::doEditBill, state));
    // An invoice repeat.
    state.repeatKind = 1;
    EXPECT_TRUE(on(A::doEditInvoice, state));
    EXPECT_TRUE(on(A::doMarkInvoiceContext, state));
    EXPECT_FALSE(on(A::doDuplicateInvoice, state));
    EXPECT_FALSE(on(A::doEditBill, state));
    // A bill repeat.
    state.repeatKind = 2;
    EXPECT_FALSE(on(A::doEditInvoice, state));
    EXPECT_TRUE(on(A::doEditBill, state));
    EXPECT_TRUE(on(A::doDeleteBillContext, state));
    EXPECT_FALSE(on(A::doDuplicateBill, state));
    EXPECT_FALSE(on(A::doNewBill, state));
    // A merchant asks its own view.
    state.select(4);
    state.yes.insert({L::MerchantView, Q::CanAddBill, false});
    EXPECT_TRUE(on(A::doNewBill, state));
    EXPECT_FALSE(on(A::doEditBill, state));
}

TEST(MenuValidationTest, TheTimerItemStaysLiveWhileATimerRuns)
{
    FakeState state;
    state.select(4);
    state.yes = {{L::Tasks, Q::CanStartStopTaskTimer, false}};
    EXPECT_FALSE(on(A::doStartStopTaskTimer, state));
    state.timer = true;
    EXPECT_TRUE(on(A::doStartStopTaskTimer, state));
    state.yes.clear();
    EXPECT_FALSE(on(A::doStartStopTaskTimer, state)); // as far as the list allows
    state.timer = false;
    state.select(3);
    state.tab = 0;
    state.yes = {{L::Tasks, Q::CanStartStopTaskTimer, false}};
    EXPECT_TRUE(on(A::doStartStopTaskTimer, state));
    state.tab = 1;
    EXPECT_FALSE(on(A::doStartStopTaskTimer, state));
}

TEST(MenuValidationTest, ProjectTitlesEvenWhileDisabled)
{
    FakeState state;
    state.select(0);
    TWValidation edit = twValidateAction(A::doEditProject, 0, state);
    EXPECT_FALSE(edit.enabled);
    EXPECT_EQ(edit.titleKey, QStringLiteral("editEstimate"));
    state.projectType = 1;
    EXPECT_EQ(twValidateAction(A::doEditProject, 0, state).titleKey, QStringLiteral("editProject"));
    EXPECT_EQ(twValidateAction(A::doDuplicateProject, 0, state).titleKey,
              QStringLiteral("duplicateProject"));
    state.projectType = 0;
    EXPECT_EQ(twValidateAction(A::doDeleteProject, 0, state).titleKey,
              QStringLiteral("deleteEstimate"));
    // Twins keep their titles.
    EXPECT_TRUE(twValidateAction(A::doEditProjectContext, 0, state).titleKey.isEmpty());
    state.select(3);
    state.yes = {{L::ClientView, Q::CanEditProject, false}};
    EXPECT_TRUE(on(A::doEditProject, state));
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

TEST(MenuValidationTest, ManageViewsNeedTheirEntryForMainCommands)
{
    FakeState state;
    state.yes = {{L::Fields, Q::CanDeleteField, true},
                 {L::Fields, Q::CanDeleteField, false},
                 {L::Units, Q::CanEditUnit, true},
                 {L::Values, Q::CanDeleteValue, false},
                 {L::Repeats, Q::CanDeleteRepeat, true}};
    state.select(0);
    EXPECT_FALSE(on(A::doDeleteField, state));
    EXPECT_TRUE(on(A::doDeleteFieldContext, state));
    EXPECT_FALSE(on(A::doEditUnitContext, state)); // editing a unit needs its entry
    EXPECT_FALSE(on(A::doNewValue, state));
    EXPECT_TRUE(on(A::doDeleteRepeatContext, state));
    state.select(8);
    EXPECT_TRUE(on(A::doDeleteField, state));
    state.select(9);
    EXPECT_TRUE(on(A::doEditUnitContext, state));
    state.select(11);
    EXPECT_TRUE(on(A::doNewValue, state));
    EXPECT_TRUE(on(A::doDeleteValue, state));
}
