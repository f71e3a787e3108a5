// The clients view: the projects' cells (money in the project's unit with
// the home amount as tooltip, percent paid, overdue) and their sorting, the
// refresh after work changes, the tabs, and the project operations (new,
// convert, duplicate, delete, mark, the completed box).

#include "TWWorkTestSupport.h"

#include "work/TWClientController.h"
#include "work/TWExpensesController.h"
#include "work/TWProjectController.h"
#include "work/TWTasksController.h"

#include "app/TWMasterController.h"
#include "model/TWGroup.h"

#include "TWDenyGuard.h"
#include "TWListRowsSupport.h"
#include "TWStoreTestSupport.h"

#include "foundation/TWLocalized.h"
#include "model/TWAccount.h"
#include "model/TWAccountingPeriod.h"
#include "model/TWBusinessInfo.h"
#include "model/TWFormatter.h"
#include "model/TWRelationship.h"
#include "store/TWClosedRefusals.h"
#include "store/TWTransactionEditing.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

#include <sqlite3.h>

namespace
{

// An invoice list that records what the clients view asks of it.
class RecordingInvoices final : public TWInvoiceListDetail
{
public:
    using TWInvoiceListDetail::TWInvoiceListDetail;
    ~RecordingInvoices() override { delete m_view; }
    QWidget *view() override
    {
        if (!m_view)
            m_view = new QWidget;
        return m_view;
    }
    void setProjects(const TWProjectList &projects) override { shown = projects; }
    void update() override { ++updates; }
    void selectInvoice(const TWInvoicePtr &invoice) override { selected = invoice; }
    bool canAddTransaction() const override { return true; }
    void newTransaction(bool context) override { calls.append(context ? "new context" : "new"); }
    void deleteSelectedTransaction(bool) override { calls.append("delete"); }

    TWProjectList shown;
    int updates = 0;
    TWInvoicePtr selected;
    QStringList calls;

private:
    QPointer<QWidget> m_view;
};

class ClientsView : public TWWorkTest
{
protected:
    void TearDown() override
    {
        clients.reset();
        TWWorkTest::TearDown();
    }
    void open(const TWClientList &chosen)
    {
        if (!clients) {
            clients = std::make_unique<TWClientController>();
            clients->setBusinessController(document.get());
            clients->setBusiness(business);
            clients->view()->resize(1000, 700);
            clients->view()->show();
        }
        clients->setClients(chosen);
        clients->update();
    }
    // The client's view as a reopened business shows it: the dividers are
    // restored before the window lays the view out at `size`.
    void reopen(double clientDivider, double taskDivider, const QSize &size)
    {
        business->setClientDividerPosition(clientDivider);
        business->setTaskDividerPosition(taskDivider);
        clients = std::make_unique<TWClientController>();
        clients->setBusinessController(document.get());
        clients->setBusiness(business);
        clients->setClients({client});
        clients->update();
        clients->restoreFrame();
        clients->view()->resize(size);
        clients->view()->show();
        QCoreApplication::processEvents();
    }
    QString cell(int row, int tag) const
    {
        return clients->workText(clients->projectsTable(), row, TWClientController::workTag(tag));
    }
    QString tip(int row, int tag) const
    {
        return clients->workToolTip(clients->projectsTable(), row,
                                    TWClientController::workTag(tag));
    }
    QColor colour(int row, int tag) const
    {
        return clients->workCellColour(clients->projectsTable(), row,
                                       TWClientController::workTag(tag));
    }
    QStringList names() const
    {
        QStringList list;
        for (const TWProjectPtr &listed : clients->projects())
            list.append(listed->name());
        return list;
    }
    void sortBy(int tag, bool ascending)
    {
        clients->projectsTable()->updateSortBy(TWClientController::workTag(tag), false);
        clients->projectsTable()->updateSortDirection(ascending, true);
    }
    void select(const QList<int> &rows)
    {
        QTableView *table = clients->projectsTable()->table();
        table->clearSelection();
        for (int row : rows)
            table->selectionModel()->select(table->model()->index(row, 0),
                                            QItemSelectionModel::Select |
                                                QItemSelectionModel::Rows);
    }
    TWAccountPtr account(TWAccountType type)
    {
        for (const TWAccountPtr &candidate : business->accounts())
            if (candidate->accountType() == type)
                return candidate;
        TWAccountPtr made = TWAccount::accountWithIdentifier(
            business->nextAccountIdentifier(), QStringLiteral("Account %1").arg(int(type)), 0, 0,
            type, QString(), TWStoredImage(), business->homeUnit(), QString());
        EXPECT_OK(business->addAccount(made, false));
        return made;
    }
    // A home-unit entry from account 2 into account 1, linked to the invoice.
    TWTransactionPtr entry(const TWInvoicePtr &invoice, TWAccountType into, TWAccountType from,
                           qint64 total, int state = TWTransactionStateNormal)
    {
        TWTransactionPtr t = twNewTransaction(*business);
        t->setDate(twLocal(2026, 2, 1));
        t->setAccount1Identifier(account(into)->identifier());
        t->setAccount2Identifier(account(from)->identifier());
        t->setUnit(business->homeUnit());
        t->setTotal(total);
        t->setState(std::uint32_t(state));
        twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, *business);
        EXPECT_OK(business->addTransaction(t, false, false, false, false));
        EXPECT_OK(business->addRelationship(
            TWRelationship::relationshipWithType(
                TWRelationshipTypeInvoicePayment, 0.0, invoice->projectIdentifier(),
                invoice->identifier(), t->identifier(), 0, business->nextRelationshipIdentifier()),
            false));
        return t;
    }
    // An invoice charged `charged` and paid `paid`, due on `due`.
    TWInvoicePtr invoice(const TWProjectPtr &owner, qint64 charged, qint64 paid,
                         const QDateTime &due)
    {
        TWInvoicePtr made = TWInvoice::invoiceWithDate(
            twLocal(2026, 2, 1), QStringLiteral("N-1"), QStringLiteral("Invoice"), true, false, due,
            0, QString(), owner->identifier(), business->nextInvoiceIdentifier());
        EXPECT_OK(business->addInvoice(made, false));
        entry(made, TWAccountTypeAccountsReceivable, TWAccountTypeIncome, charged);
        if (paid)
            entry(made, TWAccountTypeBank, TWAccountTypeAccountsReceivable, paid);
        return made;
    }
    QString money(qint64 value, const TWUnitPtr &unit) const
    {
        return TWFormatter::formatter().valueString(value, unit.get(), true, true, false, true,
                                                    true);
    }

    std::unique_ptr<TWClientController> clients;
};

} // namespace

TEST_F(ClientsView, RegisteredAsTheClientsDetail)
{
    std::unique_ptr<TWDetailController> made(
        TWAppRegistry::registry().makeDetailController(TWDetailClients, nullptr));
    EXPECT_TRUE(qobject_cast<TWClientController *>(made.get()));
}

TEST_F(ClientsView, MoneyInTheProjectsUnitPercentPaidAndOverdue)
{
    TWFixedClock clock(2026, 3, 11, 0);
    // Home 1.0, the foreign unit 0.5 per dollar: one foreign unit is two home units.
    const QString foreignCode = business->homeUnit()->code() == QStringLiteral("EUR")
                                    ? QStringLiteral("GBP")
                                    : QStringLiteral("EUR");
    const TWUnitPtr foreign = business->unitWithCode(foreignCode);
    ASSERT_TRUE(foreign);
    foreign->setRate(0.5);
    business->homeUnit()->setRate(1.0);
    if (const TWUnitPtr listedHome = business->unitWithCode(business->homeUnit()->code()))
        listedHome->setRate(1.0);
    const TWProjectPtr abroad = addProject(client, QStringLiteral("Abroad"), 1, 1250, foreignCode);
    addTask(abroad, QStringLiteral("Flat"), TWTaskTypeFlat, 1.0);
    invoice(project, 1000, 400, twLocal(2026, 3, 1));

    open({client});
    sortBy(TWProjectColumnName, true);
    ASSERT_EQ(names(), QStringList({"Abroad", "Redesign", "Website"}));
    TWWorkTable *table = clients->projectsTable();

    // The foreign project: its work in its own unit, the home amount beside it.
    EXPECT_EQ(cell(0, TWProjectColumnTotalUninvoiced), money(1250, foreign));
    EXPECT_EQ(tip(0, TWProjectColumnTotalUninvoiced), money(2500, business->homeUnit()));
    EXPECT_EQ(tip(0, TWProjectColumnName), QString());
    EXPECT_EQ(cell(0, TWProjectColumnUnit), foreignCode);
    EXPECT_EQ(
        cell(0, TWProjectColumnRate),
        TWFormatter::formatter().valueString(1250, foreign.get(), false, false, false, true, true));
    EXPECT_EQ(cell(0, TWProjectColumnPercentPaid), QStringLiteral("0%"));
    EXPECT_EQ(cell(0, TWProjectColumnOverdue), QString());

    // The home project: charged 10.00, paid 4.00, due ten days ago.
    EXPECT_EQ(cell(2, TWProjectColumnTotalInvoiced), money(1000, business->homeUnit()));
    EXPECT_EQ(cell(2, TWProjectColumnOwe), money(600, business->homeUnit()));
    EXPECT_EQ(cell(2, TWProjectColumnPercentPaid), QStringLiteral("40%"));
    EXPECT_EQ(cell(2, TWProjectColumnOverdue),
              QStringLiteral("10 %1").arg(TWLocalized("daysLower")));
    EXPECT_EQ(cell(2, TWProjectColumnType), TWFormatter::formatter().projectTypeString(1));
    EXPECT_EQ(cell(1, TWProjectColumnType), TWFormatter::formatter().projectTypeString(0));

    // Row colours: overdue first, then the kinds.
    TWPreferences &preferences = TWPreferences::preferences();
    preferences.setOverdueColour(QColor(1, 2, 3));
    preferences.setEstimateColour(QColor(4, 5, 6));
    preferences.setProjectColour(QColor(7, 8, 9));
    EXPECT_EQ(clients->workRowColour(table, 2), QColor(1, 2, 3));
    EXPECT_EQ(clients->workRowColour(table, 1), QColor(4, 5, 6));
    EXPECT_EQ(clients->workRowColour(table, 0), QColor(7, 8, 9));
    EXPECT_EQ(colour(2, TWProjectColumnOverdue), QColor(Qt::red));
    EXPECT_FALSE(colour(2, TWProjectColumnNotes).isValid());

    // The count and total line owes in the home currency.
    EXPECT_EQ(clients->countLabel()->text(),
              QStringLiteral("3 %1").arg(TWLocalized("projectsLower")));
    EXPECT_EQ(clients->totalLabel()->text(), money(600, business->homeUnit()));
    select({2});
    EXPECT_EQ(clients->countLabel()->text(),
              QStringLiteral("1 / 3 %1").arg(TWLocalized("projectsLower")));
}

TEST_F(ClientsView, SortsByOverdueStartDateAndMoneyBothWays)
{
    TWFixedClock clock(2026, 3, 11, 0);
    const TWProjectPtr late = addProject(client, QStringLiteral("Late"), 1);
    const TWProjectPtr later = addProject(client, QStringLiteral("Later"), 1);
    invoice(late, 1000, 0, twLocal(2026, 3, 1));
    invoice(later, 300, 100, twLocal(2026, 3, 5));
    late->setStartDate(twLocal(2026, 1, 2));
    ASSERT_OK(business->updateProject(late, false));
    later->setStartDate(twLocal(2025, 12, 1));
    ASSERT_OK(business->updateProject(later, false));
    open({client});

    // Overdue first, fewest days overdue first; the rest equal, in list order.
    sortBy(TWProjectColumnOverdue, true);
    EXPECT_EQ(names(), QStringList({"Later", "Late", "Website", "Redesign"}));
    sortBy(TWProjectColumnOverdue, false);
    EXPECT_EQ(names(), QStringList({"Website", "Redesign", "Late", "Later"}));

    // Dated projects first, oldest first; undated last (first descending).
    sortBy(TWProjectColumnStartDate, true);
    EXPECT_EQ(names().mid(0, 2), QStringList({"Later", "Late"}));
    sortBy(TWProjectColumnStartDate, false);
    EXPECT_EQ(names().mid(2), QStringList({"Late", "Later"}));

    // Owing as integers, percent paid as fractions.
    sortBy(TWProjectColumnOwe, false);
    EXPECT_EQ(names().mid(0, 2), QStringList({"Late", "Later"}));
    sortBy(TWProjectColumnPercentPaid, false);
    EXPECT_EQ(names().first(), QStringLiteral("Later"));

    // The keys make a strict weak ordering.
    const TWProjectRows &rows = clients->rows();
    for (int tag = 0; tag <= TWProjectColumnNotes; ++tag)
        for (const TWProjectPtr &a : clients->projects()) {
            EXPECT_EQ(rows.compare(*a, *a, tag), 0) << tag;
            for (const TWProjectPtr &b : clients->projects())
                EXPECT_EQ(rows.compare(*a, *b, tag), -rows.compare(*b, *a, tag)) << tag;
        }
}

TEST_F(ClientsView, WorkChangesRedrawRowsWithoutResetAndKeepTheSelection)
{
    open({client});
    sortBy(TWProjectColumnName, true);
    ASSERT_EQ(names(), QStringList({"Redesign", "Website"}));
    select({1});
    QSignalSpy resets(clients->projectsTable()->model(), &QAbstractItemModel::modelReset);
    QSignalSpy redraws(clients->projectsTable()->model(), &QAbstractItemModel::dataChanged);
    const TWTaskPtr task = TWTask::taskWithDate(
        twLocal(2026, 3, 1), false, QStringLiteral("Build"), TWTaskTypeFlat, 0.0, 1.0, 7000, 0.0,
        QString(), project->identifier(), business->nextTaskIdentifier());
    ASSERT_OK(business->addTask(task, true));
    EXPECT_EQ(resets.count(), 0);
    EXPECT_GE(redraws.count(), 1);
    EXPECT_EQ(clients->projectsTable()->selectedRows(), QList<int>({1}));
    EXPECT_EQ(cell(1, TWProjectColumnTotalUninvoiced), money(7000, project->unit()));
    // The tasks tab shows the selected project's tasks.
    EXPECT_EQ(clients->tasks()->projects().value_or(TWProjectList()), TWProjectList({project}));
}

TEST_F(ClientsView, TabsShowTheSelectedProjectsOrAllListed)
{
    open({client});
    EXPECT_EQ(clients->tasks()->projects().value_or(TWProjectList()).size(), 2);
    select({0});
    EXPECT_EQ(clients->tasks()->projects().value_or(TWProjectList()).size(), 1);
    clients->tabView()->setCurrentIndex(TWClientController::ExpensesTab);
    EXPECT_EQ(clients->selectedTab(), 1);
    EXPECT_EQ(clients->expenses()->projects().value_or(TWProjectList()),
              TWProjectList({clients->projects().first()}));
}

TEST_F(ClientsView, SeveralClientsShowTheClientColumnAndOfferNoNewProject)
{
    const TWClientPtr other = addClient(QStringLiteral("Beta"));
    addProject(other, QStringLiteral("Other"), 1);
    open({client});
    // Every column but the client shows at first, the date first; the menus list all 16.
    EXPECT_EQ(clients->projectColumn(TWProjectColumnDate), 0);
    EXPECT_EQ(clients->projectsTable()->model()->columnCount(), 15);
    const QList<TWListMenuItem> items =
        clients->fieldMenuItems(TWFocusList::Projects, TWAction::doColumnClientProject);
    ASSERT_EQ(items.size(), 16);
    EXPECT_EQ(items.first().representedObject.toString(), QStringLiteral("client"));
    // The Columns menu's item hides its column.
    const auto notes = std::find_if(items.begin(), items.end(), [](const TWListMenuItem &item) {
        return item.representedObject.toString() == QStringLiteral("notes");
    });
    ASSERT_NE(notes, items.end());
    EXPECT_TRUE(clients->performListCommand(TWAction::doColumnClientProject, notes->tag, false));
    EXPECT_LT(clients->projectColumn(TWProjectColumnNotes), 0);
    EXPECT_FALSE(
        twColumnChecked(clients->listSettings(TWFocusList::Projects), QStringLiteral("notes")));
    EXPECT_LT(clients->projectColumn(TWProjectColumnClient), 0);
    EXPECT_TRUE(clients->canAddProject());
    EXPECT_TRUE(clients->addButton()->isEnabled());
    open({client, other});
    EXPECT_GE(clients->projectColumn(TWProjectColumnClient), 0);
    EXPECT_TRUE(clients->projectsTable()->isFieldVisible(
        TWClientController::workTag(TWProjectColumnClient)));
    EXPECT_TRUE(twColumnChecked(business->columnSettings(TWColumnSettingsViewProjects),
                                QStringLiteral("client")));
    EXPECT_EQ(clients->projects().size(), 3);
    EXPECT_FALSE(clients->canAddProject());
    EXPECT_FALSE(clients->addButton()->isEnabled());
    EXPECT_FALSE(clients->validationQuery(TWQuery::CanAddProject, false));
}

TEST_F(ClientsView, ContextMenuOffersWhatTheClickedRowsAllow)
{
    open({client});
    sortBy(TWProjectColumnName, true); // Redesign (estimate), Website
    QTableView *table = clients->projectsTable()->table();
    const auto titles = [](QMenu *menu) {
        QStringList list;
        for (QAction *action : menu->actions())
            if (!action->isSeparator())
                list.append(action->text());
        return list;
    };
    // Below the last row: only the new items.
    std::unique_ptr<QMenu> empty(clients->projectsTable()->tableViewMenu(
        clients->projectsTable()->table(), QPoint(5, table->viewport()->height() - 2)));
    ASSERT_TRUE(empty);
    EXPECT_EQ(titles(empty.get()),
              QStringList({TWLocalized("newEstimate"), TWLocalized("newProject")}));
    // An unselected estimate: edit, convert; the selection stays.
    select({1});
    const int y = table->rowViewportPosition(0) + 2;
    std::unique_ptr<QMenu> onEstimate(
        clients->projectsTable()->tableViewMenu(clients->projectsTable()->table(), QPoint(5, y)));
    EXPECT_TRUE(titles(onEstimate.get()).contains(TWLocalized("editEstimate")));
    EXPECT_TRUE(titles(onEstimate.get()).contains(TWLocalized("newProjectFromEstimate")));
    EXPECT_EQ(clients->projectsTable()->contextRows(), QList<int>({0}));
    EXPECT_EQ(clients->projectsTable()->selectedRows(), QList<int>({1}));
    EXPECT_TRUE(clients->canAddProjectFromEstimate(true));
    EXPECT_FALSE(clients->canAddProjectFromEstimate(false));
    EXPECT_EQ(clients->selectedProjectType(), 1);
}

TEST_F(ClientsView, NewProjectTakesTheHomeUnitAndTheInvoiceTaxRate)
{
    TWFixedClock clock(2026, 4, 2);
    business->businessInfo()->setInvoiceTaxRate(0.075);
    open({client});
    clients->newProject(1);
    TWProjectController *sheet = clients->projectSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->editProject()->unit()->code(), business->homeUnit()->code());
    EXPECT_DOUBLE_EQ(sheet->editProject()->taxRate(), 7.5);
    EXPECT_EQ(sheet->editProject()->clientIdentifier(), client->identifier());
    sheet->nameField()->setText(QStringLiteral("Launch"));
    sheet->saveButton()->click();
    settle();
    ASSERT_EQ(clients->projects().size(), 3);
    const QList<int> selected = clients->projectsTable()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(clients->projects().at(selected.first())->name(), QStringLiteral("Launch"));
    EXPECT_EQ(clients->projects().at(selected.first())->startDate(), clock.now());
    EXPECT_TRUE(document->isDocumentEdited());
}

TEST_F(ClientsView, ConvertingAnEstimateCopiesItsTasksAndExpensesOnly)
{
    TWFixedClock clock(2026, 4, 2);
    const TWTaskPtr timed = addTask(estimate, QStringLiteral("Design"));
    timed->setCompleted(true);
    ASSERT_OK(business->updateTask(timed, false));
    addItem(timed, twLocal(2026, 3, 1, 9), twLocal(2026, 3, 1, 10));
    addTask(estimate, QStringLiteral("Hosting"), TWTaskTypeFlat, 1.0);
    addExpense(estimate, QStringLiteral("Fonts"), 2500);
    open({client});
    sortBy(TWProjectColumnName, true);
    select({0});
    ASSERT_TRUE(clients->canAddProjectFromEstimate(false));
    clients->newProjectFromEstimate(false);

    ASSERT_EQ(clients->projects().size(), 3);
    const TWProjectPtr made = clients->selectedProjects().value(0);
    ASSERT_TRUE(made);
    EXPECT_NE(made->identifier(), estimate->identifier());
    EXPECT_EQ(made->type(), std::uint32_t(TWProjectTypeProject));
    EXPECT_EQ(made->name(), QStringLiteral("Redesign"));
    EXPECT_EQ(made->date(), clock.now());
    EXPECT_EQ(made->startDate(), clock.now());
    const TWTaskList tasks = business->tasksWithProject(*made);
    ASSERT_EQ(tasks.size(), 2);
    for (const TWTaskPtr &task : tasks) {
        EXPECT_FALSE(task->completed());
        EXPECT_EQ(task->date(), clock.now());
    }
    EXPECT_TRUE(business->taskItemsWithTasks(tasks).isEmpty());
    ASSERT_EQ(business->expensesWithProject(*made).size(), 1);
    EXPECT_EQ(business->expensesWithProject(*made).first()->cost(), 2500);
    // The estimate stays as it was.
    EXPECT_EQ(business->tasksWithProject(*estimate).size(), 2);
    EXPECT_EQ(estimate->type(), std::uint32_t(TWProjectTypeEstimate));
    EXPECT_TRUE(document->isDocumentEdited());
}

TEST_F(ClientsView, AConversionThatFailsPartWayStoresNothing)
{
    addTask(estimate, QStringLiteral("Design"));
    addExpense(estimate, QStringLiteral("Fonts"), 2500);
    const qsizetype projectsBefore = business->projects().size();
    const qsizetype tasksBefore = business->tasks().size();
    open({client});
    sortBy(TWProjectColumnName, true);
    select({0});
    ASSERT_TRUE(clients->canAddProjectFromEstimate(false));
    {
        TWDenyGuard deny(*business, SQLITE_INSERT, "expenses");
        clients->newProjectFromEstimate(false);
    }
    EXPECT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(business->projects().size(), projectsBefore);
    EXPECT_EQ(business->tasks().size(), tasksBefore);
    EXPECT_EQ(clients->projects().size(), 2);
}

TEST_F(ClientsView, DuplicatesAreNotCompletedAndCarryNoWork)
{
    project->setCompleted(true);
    ASSERT_OK(business->updateProject(project, false));
    addTask(project, QStringLiteral("Build"));
    open({client});
    sortBy(TWProjectColumnName, true);
    TWNotificationRecorder recorder(business);
    select({1});
    clients->duplicateSelectedProject(false);
    EXPECT_EQ(recorder.names().filter(QStringLiteral("project")),
              QStringList({TWProjectNewNotification}));
    ASSERT_EQ(clients->projects().size(), 3);
    const TWProjectPtr copy = business->projects().last();
    EXPECT_EQ(copy->name(), QStringLiteral("Website"));
    EXPECT_FALSE(copy->completed());
    EXPECT_TRUE(business->tasksWithProject(*copy).isEmpty());
    EXPECT_TRUE(document->isDocumentEdited());
}

TEST_F(ClientsView, DeletingIsRefusedWholeWhenOneProjectHoldsClosedPayments)
{
    const TWProjectPtr third = addProject(client, QStringLiteral("Zeta"), 1);
    const TWInvoicePtr paid = invoice(project, 1000, 0, QDateTime());
    entry(paid, TWAccountTypeBank, TWAccountTypeAccountsReceivable, 1000, TWTransactionStateLocked);
    open({client});
    sortBy(TWProjectColumnName, true); // Redesign, Website (closed), Zeta
    select({0, 1, 2});
    clients->deleteProject(false);
    // Refused before anything is asked, naming the project.
    EXPECT_EQ(alerts, QStringList({TWLocalized("deleteProjectLocked").arg("Website")}));
    EXPECT_EQ(business->projects().size(), 3);
    EXPECT_FALSE(document->isDocumentEdited());

    // Without the closed one both go; cancelling does nothing.
    alerts.clear();
    select({0, 2});
    answers = {1001};
    clients->deleteProject(false);
    EXPECT_EQ(business->projects().size(), 3);
    clients->deleteProject(false);
    EXPECT_EQ(alerts.last(), TWLocalized("deleteProjectsTitle"));
    EXPECT_EQ(names(), QStringList({"Website"}));
    EXPECT_FALSE(business->projectWithIdentifier(third->identifier()));
    EXPECT_TRUE(document->isDocumentEdited());
}

// A project delete names the payments it takes along with the invoices, as
// a client's delete does; one whose transactions lie in closed books is
// refused before anything is asked, naming the period.
TEST_F(ClientsView, ADeleteNamesThePaymentsItTakesAndRefusesClosedBooksFirst)
{
    TWFixedClock clock(2026, 6, 15);
    invoice(project, 1000, 400, QDateTime());
    const auto year = [](bool closed) {
        return TWAccountingPeriod::accountingPeriodWithName(
            QStringLiteral("FY 2026"), twLocal(2026, 1, 1), twLocal(2026, 12, 31), closed, 2026);
    };
    const struct {
        bool closed;
        QStringList alerts;
        QString informative; // of the question
        bool deleted;
    } rows[] = {
        {true,
         {TWLocalized("deleteProjectClosedPeriod")
              .arg("Website", twAccountingPeriodText(*year(true)))},
         QString(),
         false},
        {false,
         {TWLocalized("deleteProjectTitle")},
         TWLocalized("deletedPaymentsCount").arg("1", "$4.00", "0"),
         true},
    };
    open({client});
    sortBy(TWProjectColumnName, true); // Redesign, Website
    for (const auto &row : rows) {
        SCOPED_TRACE(row.closed);
        business->businessInfo()->setAccountingPeriods({year(row.closed)});
        ASSERT_OK(business->updateTransactionStates());
        alerts.clear();
        informative.clear();
        select({1});
        clients->deleteProject(false);
        EXPECT_EQ(alerts, row.alerts);
        if (!row.informative.isNull()) {
            ASSERT_FALSE(informative.isEmpty());
            EXPECT_EQ(informative.first(), row.informative);
        }
        EXPECT_EQ(!business->projectWithIdentifier(project->identifier()), row.deleted);
    }
}

TEST_F(ClientsView, MarkStoresEveryChosenProjectAndARefusalPutsTheFlagBack)
{
    project->setCompleted(true);
    estimate->setCompleted(true);
    ASSERT_OK(business->updateProject(project, false));
    ASSERT_OK(business->updateProject(estimate, false));
    open({client});
    select({0, 1});
    EXPECT_TRUE(clients->performListCommand(TWAction::doMarkProject, 7, false));
    EXPECT_FALSE(project->completed());
    EXPECT_FALSE(estimate->completed());
    EXPECT_EQ(twQueryInt(*business, QStringLiteral("SELECT SUM(completed) FROM projects")),
              std::optional<qint64>(0));
    EXPECT_TRUE(clients->projectsTable()->selectedRows().isEmpty());
    EXPECT_TRUE(document->isDocumentEdited());

    select({0});
    {
        TWDenyGuard deny(*business, SQLITE_UPDATE, "projects");
        clients->markProject(true, false);
    }
    EXPECT_FALSE(clients->projects().first()->completed());
    EXPECT_EQ(prompts.errors.size(), 1);
}

TEST_F(ClientsView, ARefusedCompletedBoxIsAClientErrorAndLeavesTheDocumentUnchanged)
{
    open({client});
    TWWorkTableModel *model = clients->projectsTable()->model();
    const QModelIndex box = model->index(0, clients->projectColumn(TWProjectColumnCompleted));
    ASSERT_TRUE(box.isValid());
    const TWProjectPtr first = clients->projects().first();
    {
        TWDenyGuard deny(*business, SQLITE_UPDATE, "projects");
        model->setData(box, Qt::Checked, Qt::CheckStateRole);
    }
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(prompts.errors.first().domain(), QStringLiteral("Tallyworth Client Error"));
    EXPECT_EQ(prompts.errors.first().code(), -1);
    EXPECT_FALSE(first->completed());
    EXPECT_EQ(model->data(box, Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    EXPECT_FALSE(document->isDocumentEdited());

    model->setData(box, Qt::Checked, Qt::CheckStateRole);
    EXPECT_TRUE(first->completed());
    EXPECT_TRUE(document->isDocumentEdited());
}

TEST_F(ClientsView, SelectProjectChoosesItsRowAndTheDividerKeepsBothPanes)
{
    open({client});
    clients->selectProject(project, nullptr);
    EXPECT_EQ(clients->selectedProjects(), TWProjectList({project}));
    clients->selectProject(addProject(addClient(QStringLiteral("Else")), QStringLiteral("No"), 1),
                           nullptr);
    EXPECT_EQ(clients->selectedProjects(), TWProjectList({project}));

    business->setClientDividerPosition(10000.0);
    clients->restoreFrame();
    const QList<int> sizes = clients->splitter()->sizes();
    ASSERT_EQ(sizes.size(), 2);
    EXPECT_GE(sizes.at(0), TWClientController::kMinimumPane);
    EXPECT_GE(sizes.at(1), TWClientController::kMinimumPane);
}

TEST_F(ClientsView, TheDividersArePlacedOnceTheViewIsLaidOut)
{
    // A reopened business: the panes are restored before the window has
    // laid the view out.
    reopen(420.0, 180.0, QSize(1000, 900));
    QSplitter *splitter = clients->splitter();
    ASSERT_EQ(splitter->sizes().size(), 2);
    EXPECT_EQ(splitter->sizes().at(1) + splitter->handleWidth(), 420);
    EXPECT_EQ(splitter->sizes().at(0) + splitter->sizes().at(1) + splitter->handleWidth(),
              splitter->height());
    ASSERT_EQ(clients->tasks()->splitter()->sizes().size(), 2);
    // The tab's own late layout may take a point or two from it.
    EXPECT_NEAR(clients->tasks()->splitter()->sizes().at(0), 180, 3);

    // Once placed, a taller window gives its height to the projects.
    clients->view()->resize(1000, 1000);
    QCoreApplication::processEvents();
    EXPECT_EQ(splitter->sizes().at(1) + splitter->handleWidth(), 420);
}

TEST_F(ClientsView, TheTimersNewItemReachesTheTasksTab)
{
    const TWTaskPtr task = addTask(project, QStringLiteral("Build"));
    open({client});
    ASSERT_EQ(clients->tasks()->tasks().size(), 1);
    EXPECT_TRUE(clients->tasks()->taskItems().isEmpty());
    ASSERT_TRUE(timer());
    timer()->startTaskTimer(task);
    ASSERT_TRUE(timer()->isTaskTimerRunning());
    EXPECT_EQ(clients->tasks()->taskItems().size(), 1);
    timer()->stopTaskTimer(QDateTime());
}

TEST_F(ClientsView, ANewInvoiceCountsAtOnce)
{
    open({client});
    sortBy(TWProjectColumnName, true); // Redesign, Website
    select({1});
    invoice(project, 1000, 0, QDateTime());
    EXPECT_EQ(cell(1, TWProjectColumnOwe), money(0, project->unit()));
    // The invoice list posts its notification once the invoice is complete.
    business->notifyInvoicesAdd();
    EXPECT_EQ(cell(1, TWProjectColumnOwe), money(1000, project->unit()));
    EXPECT_EQ(clients->projectsTable()->selectedRows(), QList<int>({1}));
}

TEST_F(ClientsView, PaymentsWrittenMoveTheirProjectsOweAndTheCountLine)
{
    const TWInvoicePtr paid = invoice(project, 1000, 400, QDateTime());
    const TWInvoicePtr unpaid = invoice(estimate, 500, 0, QDateTime());
    open({client});
    sortBy(TWProjectColumnName, true); // Redesign, Website
    const TWUnitPtr home = business->homeUnit();
    EXPECT_EQ(clients->totalLabel()->text(), money(1100, home));

    // The payment grown through the store, as the register saves an edit: that project owes
    // less, the other as before.
    TWTransactionPtr payment;
    for (const TWTransactionPtr &view : business->transactionsWithInvoice(*paid))
        if (view->total() == 400)
            payment = business->transactionWithIdentifier(view->identifier());
    ASSERT_TRUE(payment);
    const auto write = [&](qint64 total) {
        payment->setTotal(total);
        twUpdateTotals(*payment, TWTotalTypeTotal, TWTotalTypeAll, *business);
        EXPECT_OK(business->updateTransaction(payment, true, false, false, false));
    };
    const auto pay = [&](qint64 total) {
        write(total);
        clients->transactionsUpdated();
    };
    pay(700);
    EXPECT_EQ(cell(1, TWProjectColumnOwe), money(300, project->unit()));
    EXPECT_EQ(cell(0, TWProjectColumnOwe), money(500, estimate->unit()));
    EXPECT_EQ(clients->totalLabel()->text(), money(800, home));

    // A new payment of the other invoice (a link written).
    entry(unpaid, TWAccountTypeBank, TWAccountTypeAccountsReceivable, 200);
    clients->transactionsUpdated();
    EXPECT_EQ(cell(0, TWProjectColumnOwe), money(300, estimate->unit()));
    EXPECT_EQ(clients->totalLabel()->text(), money(600, home));

    // Another client chosen beside: its project counts too, and a later payment still moves
    // what its project owes.
    const TWClientPtr other = addClient(QStringLiteral("Beta"));
    invoice(addProject(other, QStringLiteral("Other"), 1), 250, 0, QDateTime());
    open({client, other});
    EXPECT_EQ(clients->totalLabel()->text(), money(850, home));
    pay(1000);
    EXPECT_EQ(clients->totalLabel()->text(), money(550, home));
    open({client});
    EXPECT_EQ(clients->totalLabel()->text(), money(300, home));

    // Rows kept apart from any count line follow the payment as well.
    TWProjectRows rows;
    rows.setBusiness(business);
    rows.setProjects({estimate, project});
    write(100);
    rows.updateInvoices();
    EXPECT_EQ(rows.text(*project, TWProjectColumnOwe), money(900, project->unit()));
    EXPECT_EQ(rows.text(*estimate, TWProjectColumnOwe), money(300, estimate->unit()));
}

TEST_F(ClientsView, TheWindowShowsTheViewAndRoutesTheProjectCommands)
{
    business->setDocumentFrame(QRectF(20, 20, 1024, 700));
    document->showWindows();
    settle();
    document->showClient(client, project, nullptr);
    auto *shown = qobject_cast<TWClientController *>(document->detailController(TWDetailClients));
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->selectedProjects(), TWProjectList({project}));
    EXPECT_TRUE(document->validate(TWAction::doDuplicateProject, 0).enabled);
    EXPECT_FALSE(document->validate(TWAction::doNewProjectFromEstimate, 0).enabled);
    EXPECT_EQ(document->validate(TWAction::doEditProject, 0).titleKey,
              QStringLiteral("editProject"));

    document->perform(TWAction::doDuplicateProject);
    EXPECT_EQ(business->projectsWithClient(*client).size(), 3);
    EXPECT_EQ(shown->projects().size(), 3);
    // Both panes keep their room in the smallest window.
    const QList<int> sizes = shown->splitter()->sizes();
    ASSERT_EQ(sizes.size(), 2);
    EXPECT_GE(sizes.at(0), TWClientController::kMinimumPane);
    EXPECT_GE(sizes.at(1), TWClientController::kMinimumPane);
}

TEST_F(ClientsView, PaymentsGoToTheInvoicesTabWhichIsThenShown)
{
    RecordingInvoices *invoices = nullptr;
    TWAppRegistry::registry().setInvoiceListFactory([&invoices](QObject *parent) {
        invoices = new RecordingInvoices(parent);
        return invoices;
    });
    open({client});
    ASSERT_TRUE(invoices);
    EXPECT_EQ(invoices->updates, 0); // not shown, not refreshed
    EXPECT_TRUE(clients->validationQuery(TWQuery::CanAddTransaction, false));
    clients->newTransaction(false);
    EXPECT_EQ(invoices->calls, QStringList({"new"}));
    EXPECT_EQ(clients->selectedTab(), int(TWClientController::InvoicesTab));
    EXPECT_EQ(invoices->updates, 1);
    EXPECT_EQ(invoices->shown.size(), 2);
    clients->deleteSelectedTransaction(false);
    EXPECT_EQ(invoices->calls.last(), QStringLiteral("delete"));

    // Showing a project's invoice selects both.
    clients->showTab(TWClientController::TasksTab);
    const TWInvoicePtr made = invoice(project, 1000, 0, QDateTime());
    clients->selectProject(project, made);
    EXPECT_EQ(clients->selectedProjects(), TWProjectList({project}));
    EXPECT_EQ(clients->selectedTab(), int(TWClientController::InvoicesTab));
    EXPECT_EQ(invoices->shown, TWProjectList({project}));
    EXPECT_EQ(invoices->selected, made);
    // Two clients: no payment can be added here.
    open({client, addClient(QStringLiteral("Beta"))});
    EXPECT_FALSE(clients->validationQuery(TWQuery::CanAddTransaction, false));
}

TEST_F(ClientsView, EveryListKeepsItsHeaderAndThreeRowsAtA1024By700Window)
{
    // A business reopened in a 1024 x 700 window, the dividers remembered
    // from a taller one (the lower pane's default is taller than the view).
    reopen(800.0, 400.0, QSize(760, 610));
    for (const QTableView *table :
         {clients->projectsTable()->table(), clients->tasks()->tasksTable()->table(),
          clients->tasks()->taskItemsTable()->table()}) {
        EXPECT_TRUE(twHeaderWhole(table)) << table->objectName().toStdString();
        EXPECT_GE(twWholeRowsInView(table), 3) << table->objectName().toStdString();
    }
    EXPECT_EQ(business->clientDividerPosition(), 800.0);
    EXPECT_EQ(business->taskDividerPosition(), 400.0);
}

TEST_F(ClientsView, AClientGroupSortsTheFocusedPaneAsOneClientDoes)
{
    TWGroupPtr group =
        TWGroup::groupWithIdentifier(business->nextGroupIdentifier(), TWItemTypeClientGroup,
                                     QStringLiteral("Regulars"), 0, 0, QColor(), true);
    ASSERT_OK(business->addGroup(group, false));
    TWClientPtr member = client->copy();
    member->setParentIdentifier(group->identifier());
    ASSERT_OK(business->updateClient(member, false));
    business->setDocumentFrame(QRectF(20, 20, 1024, 700));
    document->showWindows();
    settle();
    TWMasterController *master = document->masterController();
    master->update();
    for (const TWItemType kind : {TWItemTypeClient, TWItemTypeClientGroup}) {
        SCOPED_TRACE(int(kind));
        const qint32 id = kind == TWItemTypeClient ? client->identifier() : group->identifier();
        const TWMasterItemPtr node = master->masterItemWithType(5, kind, id);
        ASSERT_TRUE(node);
        document->selectMasterItems({node}, true);
        auto *shown =
            qobject_cast<TWClientController *>(document->detailController(TWDetailClients));
        ASSERT_TRUE(shown);
        QApplication::setActiveWindow(document->windowForSheet());
        shown->projectsTable()->table()->setFocus();
        QCoreApplication::processEvents();
        const QList<TWListMenuItem> items = document->sortMenuItems();
        ASSERT_FALSE(items.isEmpty());
        EXPECT_EQ(items.first().action, TWAction::doSortByClientProject);
        EXPECT_EQ(items.last().action, TWAction::doSortDirectionClientProject);
        EXPECT_TRUE(document->validate(TWAction::doSortByClientProject, 0).enabled);
    }
}
