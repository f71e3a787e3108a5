// Which list a command acts on: the import sheet's lists while an import
// runs, otherwise the list of the selected entry; and the default account an
// import starts with.

#include "TWRecordTestSupport.h"
#include "app/TWMenus.h"

#include <QSet>

class ActiveListTest : public TWRecordTest
{
protected:
    void SetUp() override
    {
        TWRecordTest::SetUp();
        registerRecordingViews();
        TWAppRegistry::registry().setEditorFactory(TWEditorKind::ImportTransactions,
                                                   [this](QObject *parent) {
                                                       import = new TWFakeImport(parent);
                                                       return import;
                                                   });
    }
    TWFakeImport *import = nullptr;
};

TEST_F(ActiveListTest, WithoutAnImportPieceNothingStartsAndImportFilesAreRefused)
{
    TWAppRegistry::registry().reset();
    auto document = windowDocument();
    document->importTransactionsURL(QUrl::fromLocalFile(QStringLiteral("/tmp/bank.qif")));
    EXPECT_FALSE(document->importTransactionsController());
    EXPECT_EQ(document->activeTasksController(false, false, nullptr), nullptr);
}

namespace
{

using Call = std::pair<QByteArray, bool>;

// What an import sheet's task or expense list answers and was asked.
struct Recorder {
    QSet<TWQuery> allowed;
    QList<Call> calls;
};

class RecordingTasks final : public QObject, public TWTasksList, public Recorder
{
public:
    using QObject::QObject;
    bool validationQuery(TWQuery query, bool) const override { return allowed.contains(query); }
    void editSelectedTask(bool context) override { calls.append({"editTask", context}); }
    void editSelectedTaskItem(bool context) override { calls.append({"editTaskItem", context}); }
    void markTask(bool completed, bool context) override
    {
        calls.append({completed ? "markCompleted" : "markNotCompleted", context});
    }
};

class RecordingExpenses final : public QObject, public TWExpensesList, public Recorder
{
public:
    using QObject::QObject;
    bool validationQuery(TWQuery query, bool) const override { return allowed.contains(query); }
    void editSelectedExpense(bool context) override { calls.append({"editExpense", context}); }
};

class FakeWorkImport final : public TWImportController
{
    Q_OBJECT
public:
    FakeWorkImport(QObject *parent, bool expenses) : TWImportController(parent)
    {
        for (int which = 0; which < 2; ++which) {
            if (expenses) {
                auto *list = new RecordingExpenses(this);
                m_lists[which] = list;
                recorders[which] = list;
            } else {
                auto *list = new RecordingTasks(this);
                m_lists[which] = list;
                recorders[which] = list;
            }
        }
        importList = recorders[0];
        existingList = recorders[1];
    }
    QWidget *view() override { return nullptr; }
    void importURL(const QUrl &) override {}
    void select() override {}
    QObject *selectionList(SelectionList which) const override { return m_lists[which]; }
    bool selectionListHasContextMenu(SelectionList which, QMenu *menu) const override
    {
        return menu && which == ImportList && menu == importMenu;
    }
    bool selectionListHasFirstResponder(SelectionList which) const override
    {
        return focused == int(which);
    }

    Recorder *recorders[2] = {};
    Recorder *importList = nullptr;
    Recorder *existingList = nullptr;
    QMenu *importMenu = nullptr;
    int focused = -1;

private:
    QObject *m_lists[2] = {};
};

class ImportListCommandsTest : public TWRecordTest
{
protected:
    void SetUp() override
    {
        TWRecordTest::SetUp();
        registerRecordingViews();
        TWAppRegistry::registry().setEditorFactory(TWEditorKind::ImportTasks,
                                                   [this](QObject *parent) {
                                                       tasks = new FakeWorkImport(parent, false);
                                                       return tasks;
                                                   });
        TWAppRegistry::registry().setEditorFactory(TWEditorKind::ImportExpenses,
                                                   [this](QObject *parent) {
                                                       expenses = new FakeWorkImport(parent, true);
                                                       return expenses;
                                                   });
    }
    // Opens the import's sheet over the window, as the selection step does.
    void openImportSheet(TWBusinessController &document)
    {
        sheet = new QLabel(QStringLiteral("selection"));
        document.beginSheetWithView(sheet, false, false, {});
        document.setImporting(true);
    }
    FakeWorkImport *tasks = nullptr;
    FakeWorkImport *expenses = nullptr;
    QPointer<QLabel> sheet;
};

} // namespace

TEST_F(ImportListCommandsTest, TaskCommandsReachTheListWithTheFocusOrTheContextMenu)
{
    using A = TWAction;
    auto document = windowDocument();
    document->importTasksURL(QUrl());
    ASSERT_TRUE(tasks);
    openImportSheet(*document);
    ASSERT_TRUE(document->hasAttachedSheet());

    // No list has the focus: nothing is enabled and nothing acts.
    tasks->importList->allowed = {TWQuery::CanEditTask, TWQuery::HasSelectedTask,
                                  TWQuery::CanEditTaskItem};
    EXPECT_FALSE(document->validate(A::doEditTask, 0, nullptr).enabled);
    document->perform(A::doEditTask, 0, nullptr);
    EXPECT_TRUE(tasks->importList->calls.isEmpty());

    // The rows being imported have the focus.
    tasks->focused = TWImportController::ImportList;
    EXPECT_TRUE(document->validate(A::doEditTask, 0, nullptr).enabled);
    EXPECT_TRUE(document->validate(A::doMarkTask, 6, nullptr).enabled);
    EXPECT_TRUE(document->validate(A::doEditTaskItem, 0, nullptr).enabled);
    EXPECT_FALSE(document->validate(A::doDeleteTask, 0, nullptr).enabled);
    document->perform(A::doEditTask, 0, nullptr);
    document->perform(A::doEditTaskItem, 0, nullptr);
    document->perform(A::doMarkTask, 6, nullptr);
    document->perform(A::doMarkTask, 7, nullptr);
    const QList<Call> expected{{"editTask", false},
                               {"editTaskItem", false},
                               {"markCompleted", false},
                               {"markNotCompleted", false}};
    EXPECT_EQ(tasks->importList->calls, expected);
    EXPECT_TRUE(tasks->existingList->calls.isEmpty());

    // The existing rows have the focus, but refuse the edit.
    tasks->focused = TWImportController::ExistingList;
    EXPECT_FALSE(document->validate(A::doEditTask, 0, nullptr).enabled);

    // A context menu of the import list: the twin acts there, whatever has
    // the focus.
    QMenu menu;
    tasks->importMenu = &menu;
    QAction *item = twMenuAction(&menu, QStringLiteral("Edit"), A::doEditTaskContext);
    EXPECT_TRUE(document->validate(A::doEditTaskContext, 0, item).enabled);
    tasks->importList->calls.clear();
    document->perform(A::doEditTaskContext, 0, item);
    EXPECT_EQ(tasks->importList->calls, (QList<Call>{{"editTask", true}}));
    document->endSheet(sheet, TWSheetResult::Cancelled);
}

TEST_F(ImportListCommandsTest, AnExpenseImportAfterATaskImportAsksItsOwnList)
{
    using A = TWAction;
    auto document = windowDocument();
    // A task import ran before and keeps its lists.
    document->importTasksURL(QUrl());
    document->importExpensesURL(QUrl());
    ASSERT_TRUE(tasks && expenses);
    openImportSheet(*document);
    expenses->focused = TWImportController::ImportList;
    expenses->importList->allowed = {TWQuery::CanEditExpense};
    EXPECT_TRUE(document->validate(A::doEditExpense, 0, nullptr).enabled);
    document->perform(A::doEditExpense, 0, nullptr);
    EXPECT_EQ(expenses->importList->calls, (QList<Call>{{"editExpense", false}}));
    EXPECT_TRUE(tasks->importList->calls.isEmpty());
    // The task commands ask the task import, whose lists have no focus.
    EXPECT_FALSE(document->validate(A::doEditTask, 0, nullptr).enabled);
    document->endSheet(sheet, TWSheetResult::Cancelled);
}

#include "ActiveListTest.moc"
