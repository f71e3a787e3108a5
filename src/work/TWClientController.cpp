#include "work/TWClientController.h"

#include "work/TWDocumentTaskTimer.h"
#include "work/TWExpensesController.h"
#include "work/TWProjectController.h"
#include "work/TWTasksController.h"
#include "work/TWWorkList.h"

#include "app/TWAlert.h"
#include "app/TWAppRegistry.h"
#include "app/TWBusinessController.h"
#include "app/TWSplitPanes.h"

#include "foundation/TWLocalized.h"
#include "store/TWBusiness.h"
#include "store/TWDocumentReads.h"

#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace
{

TWWorkColumn column(int tag, const char *identifier, TWWorkColumn::Kind kind = TWWorkColumn::Text,
                    bool right = false, int minimumFit = 0)
{
    return TWWorkList::column(TWClientController::workTag(tag), identifier, kind, right,
                              minimumFit);
}

// Notifications after which the totals, owing and overdue cells change.
const char *const kWorkNotifications[] = {"taskNew",     "taskUpdate",     "taskDelete",
                                          "taskItemNew", "taskItemUpdate", "taskItemDelete",
                                          "expenseNew",  "expenseUpdate",  "expenseDelete",
                                          "invoiceNew",  "invoiceUpdate",  "invoiceDelete"};

} // namespace

QList<TWWorkColumn> TWClientController::projectColumns()
{
    using K = TWWorkColumn;
    return {column(TWProjectColumnDate, "date", K::Date, false, 80),
            column(TWProjectColumnClient, "client"),
            column(TWProjectColumnCompleted, "completed", K::CheckBox, false, 65),
            column(TWProjectColumnName, "name"),
            column(TWProjectColumnType, "type"),
            column(TWProjectColumnStartDate, "startDate", K::Date, false, 80),
            column(TWProjectColumnEndDate, "endDate", K::Date, false, 80),
            column(TWProjectColumnRate, "rate", K::Text, true),
            column(TWProjectColumnUnit, "unit"),
            column(TWProjectColumnTaxRate, "taxRate", K::Text, true),
            column(TWProjectColumnTotalUninvoiced, "totalUninvoiced", K::Text, true),
            column(TWProjectColumnTotalInvoiced, "totalInvoiced", K::Text, true),
            column(TWProjectColumnOwe, "owe", K::Text, true),
            column(TWProjectColumnPercentPaid, "percentPaid", K::Text, true),
            column(TWProjectColumnOverdue, "overdue"),
            column(TWProjectColumnNotes, "notes")};
}

TWClientController::TWClientController(QObject *parent)
    : TWLazyViewController<TWClientDetail>(parent)
{
}

int TWClientController::projectColumn(int tag) const
{
    return m_table ? m_table->fieldColumn(workTag(tag)) : -1;
}

TWClientController::~TWClientController()
{
    for (TWNotificationCenter::Token token : m_observers)
        TWNotificationCenter::defaultCenter().removeObserver(token);
    delete m_projectSheet;
    // The tab controllers go before the view whose tabs hold their views.
    delete m_tasks;
    delete m_expenses;
    delete m_invoices;
    delete m_view;
}

void TWClientController::setBusinessController(TWBusinessController *document)
{
    TWClientDetail::setBusinessController(document);
    if (m_tasks) {
        m_tasks->setBusinessController(document);
        m_expenses->setBusinessController(document);
        m_invoices->setBusinessController(document);
    }
    connectTimer();
}

void TWClientController::setBusiness(TWBusiness *business)
{
    TWClientDetail::setBusiness(business);
    m_rows.setBusiness(business);
    if (m_table) {
        m_table->setBusiness(business);
        m_tasks->setBusiness(business);
        m_expenses->setBusiness(business);
        m_invoices->setBusiness(business);
    }
}

void TWClientController::build()
{
    m_view = new QWidget;
    auto *outer = new QVBoxLayout(m_view);
    outer->setContentsMargins(0, 0, 0, 0);
    m_splitter = new QSplitter(Qt::Vertical, m_view);
    m_splitter->setObjectName(QStringLiteral("clientSplitter"));
    m_splitter->setChildrenCollapsible(false);
    outer->addWidget(m_splitter);

    // Upper pane: the projects with their buttons and count and total line.
    m_projectsView = new QWidget(m_splitter);
    m_projectsView->setMinimumHeight(kMinimumPane);
    auto *projectsLayout = new QVBoxLayout(m_projectsView);
    projectsLayout->setContentsMargins(0, 0, 0, 0);
    projectsLayout->setSpacing(0);
    m_table =
        new TWWorkTable(this, TWColumnSettingsViewProjects, projectColumns(), m_projectsView, this);
    m_table->table()->setObjectName(QStringLiteral("projectsTable"));
    m_table->setBusiness(m_business);
    projectsLayout->addWidget(m_table->table(), 1);
    const TWWorkList::Bar bar = TWWorkList::makeBar(
        m_projectsView, QStringLiteral("projectsCountLabel"), QStringLiteral("projectsTotalLabel"));
    m_addButton = bar.add;
    m_deleteButton = bar.remove;
    m_countLabel = bar.count;
    m_totalLabel = bar.total;
    m_addButton->setPopupMode(QToolButton::InstantPopup);
    auto *addMenu = new QMenu(m_addButton);
    const auto add = [this](int type) {
        if (canAddProject())
            newProject(type);
        updateAddDeleteButtonsEnabled();
    };
    m_addEstimate = addMenu->addAction(TWLocalized("newEstimate"), this, [add] { add(0); });
    m_addProject = addMenu->addAction(TWLocalized("newProject"), this, [add] { add(1); });
    m_addButton->setMenu(addMenu);
    connect(m_deleteButton, &QPushButton::clicked, this, [this] {
        deleteProject(false);
        updateAddDeleteButtonsEnabled();
    });
    projectsLayout->addWidget(bar.widget);

    // Lower pane: the work of the projects.
    m_tabs = new QTabWidget(m_splitter);
    m_tabs->setObjectName(QStringLiteral("clientTabs"));
    m_tabs->setMinimumHeight(kMinimumPane);
    m_tasks = new TWTasksController();
    m_expenses = new TWExpensesController();
    m_invoices = TWAppRegistry::registry().makeInvoiceList(nullptr);
    m_tasks->setBusinessController(m_document);
    m_tasks->setBusiness(m_business);
    m_expenses->setBusinessController(m_document);
    m_expenses->setBusiness(m_business);
    m_invoices->setBusinessController(m_document);
    m_invoices->setBusiness(m_business);
    m_invoices->setMode(TWInvoiceListMode::Projects);
    const auto page = [this](QWidget *content, const char *title) {
        auto *holder = new QWidget(m_tabs);
        auto *layout = new QVBoxLayout(holder);
        layout->setContentsMargins(4, 4, 4, 0);
        layout->addWidget(content);
        m_tabs->addTab(holder, TWLocalized(title));
    };
    page(m_tasks->view(), "tasks");
    page(m_expenses->view(), "expenses");
    page(m_invoices->view(), "invoices");
    m_tabs->setCurrentIndex(TasksTab);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { updateDetail(); });

    m_splitter->addWidget(m_projectsView);
    m_splitter->addWidget(m_tabs);
    // The divider is kept as the lower pane's height: the projects take
    // what the window gains or loses.
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    // The document keeps the lower pane's height with the divider's.
    m_divider = new TWSplitDivider(
        m_splitter, TWSplitDivider::Measured::Second,
        [this] {
            return (m_business ? m_business->clientDividerPosition() : 800.0) -
                   m_splitter->handleWidth();
        },
        [this](double height) {
            if (m_business)
                m_business->setClientDividerPosition(height + m_splitter->handleWidth());
        });
    m_divider->setFloor(kMinimumPane);
    m_divider->keepRows({m_table->table()});
    observe();
    connectTimer();
    updateAddDeleteButtonsEnabled();
}

void TWClientController::observe()
{
    TWNotificationCenter &center = TWNotificationCenter::defaultCenter();
    m_observers.push_back(
        center.addObserver(QStringLiteral("preferences"), nullptr, [this](const TWNotification &) {
            m_table->clearSelection();
            m_table->reload();
        }));
    for (const char *name : kWorkNotifications) {
        // A project's totals come from the invoices it holds: after an invoice
        // came or went they are attached again before the rows are redrawn.
        const bool invoice = QByteArray(name).startsWith("invoice");
        m_observers.push_back(center.addObserver(QLatin1String(name), nullptr,
                                                 [this, invoice](const TWNotification &) {
                                                     if (!invoice) {
                                                         // Work owes nothing until invoiced:
                                                         // the count line stays.
                                                         redrawProjects();
                                                         return;
                                                     }
                                                     const TWDocumentReadScope reads(m_business);
                                                     m_rows.updateInvoices();
                                                     projectUpdated();
                                                 }));
    }
}

void TWClientController::connectTimer()
{
    if (m_timerConnected || !m_document || !m_tasks)
        return;
    auto *timer = qobject_cast<TWDocumentTaskTimer *>(m_document->taskTimer());
    if (!timer)
        return;
    m_timerConnected = true;
    TWTaskTimerCore *core = timer->core();
    connect(core, &TWTaskTimerCore::taskItemsChanged, this, [this] { m_tasks->updateTaskItems(); });
    connect(core, &TWTaskTimerCore::timerRowsChanged, this,
            [this](const TWProjectPtr &project, const TWTaskPtr &task, const TWTaskItemPtr &item) {
                updateTimerProject(project, task, item);
            });
    connect(core, &TWTaskTimerCore::highlightChanged, this,
            [this](bool on) { m_tasks->highlight(on); });
}

void TWClientController::updateTimerProject(const TWProjectPtr &project, const TWTaskPtr &task,
                                            const TWTaskItemPtr &taskItem)
{
    if (project && m_tasks && projectRow(*project) >= 0)
        m_tasks->updateTimerTask(task, taskItem);
}

// ---- Listing ----

void TWClientController::update()
{
    view();
    m_table->loadSettings(int(m_clients.size()), {QStringLiteral("client")});
    m_table->updateColumns();
    m_table->updateSortDescriptors();
    updateClient();
}

void TWClientController::updateClient()
{
    if (!m_table)
        return;
    m_table->clearSelection();
    {
        // The rows and the count line read each invoice's transactions once.
        const TWDocumentReadScope reads(m_business);
        if (m_business && !m_clients.isEmpty())
            m_rows.setProjects(m_business->projectsWithClients(m_clients));
        else
            m_rows.clear();
        // The set of rows changed: sorting ends with a reload.
        m_table->sort();
        updateClientCountTotal();
    }
    m_table->table()->scrollToTop();
    updateAddDeleteButtonsEnabled();
    updateDetail();
}

void TWClientController::updateDetail()
{
    if (!m_tabs)
        return;
    TWProjectList shown = selectedProjects();
    if (shown.isEmpty())
        shown = m_rows.projects();
    switch (m_tabs->currentIndex()) {
    case TasksTab:
        m_tasks->setProjects(shown);
        m_tasks->update();
        break;
    case ExpensesTab:
        m_expenses->setProjects(shown);
        m_expenses->update();
        break;
    case InvoicesTab:
        m_invoices->setProjects(shown);
        m_invoices->update();
        break;
    default:
        break;
    }
}

void TWClientController::projectUpdated()
{
    if (!m_table)
        return;
    redrawProjects();
    updateClientCountTotal();
}

void TWClientController::redrawProjects()
{
    if (!m_table)
        return;
    m_rows.forgetFigures();
    // One change over every cell: the rows stay, and so does the selection.
    TWWorkTableModel *model = m_table->model();
    const int rows = model->rowCount();
    const int columns = model->columnCount();
    if (rows > 0 && columns > 0)
        emit model->dataChanged(model->index(0, 0), model->index(rows - 1, columns - 1));
}

void TWClientController::transactionsUpdated()
{
    {
        const TWDocumentReadScope reads(m_business);
        m_rows.updateInvoices();
        projectUpdated();
    }
    if (m_invoices)
        m_invoices->transactionsUpdated();
}

void TWClientController::showTab(int tab)
{
    if (m_tabs && tab >= 0 && tab < m_tabs->count())
        m_tabs->setCurrentIndex(tab);
}

int TWClientController::selectedTab() const
{
    return m_tabs ? m_tabs->currentIndex() : 0;
}

TWProjectList TWClientController::projectsForRows(const QList<int> &rows) const
{
    TWProjectList projects;
    for (int row : rows)
        if (const TWProjectPtr project = m_rows.project(row))
            projects.append(project);
    return projects;
}

TWProjectList TWClientController::selectedProjects() const
{
    return m_table ? projectsForRows(m_table->selectedRows()) : TWProjectList();
}

int TWClientController::selectedProjectType() const
{
    const TWProjectList selected = selectedProjects();
    return selected.size() == 1 ? int(selected.constFirst()->type()) : int(TWProjectTypeProject);
}

void TWClientController::selectRowAlone(int row, bool scroll)
{
    if (row < 0 || row >= m_rows.count())
        return;
    if (scroll) {
        m_table->selectRow(row);
        return;
    }
    m_table->table()->clearSelection();
    m_table->table()->selectRow(row);
}

void TWClientController::selectProject(const TWProjectPtr &project, const TWInvoicePtr &invoice)
{
    if (!project || !m_table)
        return;
    const int row = projectRow(*project);
    if (row < 0)
        return;
    selectRowAlone(row, false);
    if (invoice && m_invoices) {
        // The invoice is shown where it is chosen.
        showTab(InvoicesTab);
        m_invoices->selectInvoice(invoice);
    }
}

// ---- Count, total and buttons ----

void TWClientController::updateClientCountTotal()
{
    if (!m_countLabel || !m_business)
        return;
    const int listed = m_rows.count();
    const QString noun = TWLocalized(listed == 1 ? "projectLower" : "projectsLower");
    const QList<int> rows = m_table->selectedRows();
    const TWUnit *home = m_business->homeUnit().get();
    const QString all = TWWorkList::money(m_owing.homeOwing(*m_business, m_clients), home);
    TWWorkList::showCountTotal(m_countLabel, m_totalLabel, listed, noun, rows.size(), all, [&] {
        return TWWorkList::money(
            m_business->transactionHomeOwingWithProjects(projectsForRows(rows)), home);
    });
}

void TWClientController::updateClientCountTotalFrame()
{
    // The projects' own line is laid out with its pane; the tabs place theirs.
    if (m_invoices) {
        m_invoices->updateProjectCountTotalFrame();
        m_invoices->updateInvoiceCountTotalFrame();
    }
}

void TWClientController::updateAddDeleteButtonsEnabled()
{
    if (!m_addButton)
        return;
    const bool canAdd = canAddProject();
    m_addEstimate->setEnabled(canAdd);
    m_addProject->setEnabled(canAdd);
    m_addButton->setEnabled(canAdd);
    m_deleteButton->setEnabled(!m_table->selectedRows().isEmpty());
}

// ---- Divider ----

void TWClientController::restoreFrame()
{
    view();
    // The tabs' lists first: the lower pane needs what they keep.
    m_tasks->restoreFrame();
    m_divider->restore();
}

QByteArray TWClientController::printOperation(QPrinter &printer)
{
    // The invoice shown, when the invoice list prints one.
    return m_invoices ? m_invoices->printOperation(printer) : QByteArray();
}

// ---- Focus, menus, validation ----

bool TWClientController::projectsHasFirstResponder() const
{
    return m_table && m_table->hasFirstResponder();
}

bool TWClientController::hasFirstResponder(TWFocusList list) const
{
    if (!m_table)
        return false;
    switch (list) {
    case TWFocusList::Projects:
        return projectsHasFirstResponder();
    case TWFocusList::Tasks:
        return m_tasks->tasksHasFirstResponder();
    case TWFocusList::TaskItems:
        return m_tasks->taskItemsHasFirstResponder();
    case TWFocusList::Expenses:
        return m_expenses->hasFirstResponder();
    case TWFocusList::Invoices:
        return m_invoices->hasFirstResponder();
    case TWFocusList::ClientInvoiceTransactions:
    case TWFocusList::InvoicesTransactions: {
        TWRegisterDetail *payments = m_invoices->transactionsController();
        return payments && payments->hasFirstResponder();
    }
    default:
        return false;
    }
}

bool TWClientController::anyListHasFirstResponder() const
{
    for (TWFocusList list :
         {TWFocusList::Projects, TWFocusList::Tasks, TWFocusList::TaskItems, TWFocusList::Expenses,
          TWFocusList::Invoices, TWFocusList::ClientInvoiceTransactions})
        if (hasFirstResponder(list))
            return true;
    return false;
}

QList<TWListMenuItem> TWClientController::fieldMenuItems(TWFocusList list, TWAction action) const
{
    if (!m_table)
        return {};
    switch (list) {
    case TWFocusList::Projects:
        return m_table->fieldMenuItems(action);
    case TWFocusList::Tasks:
        return m_tasks->tasksTable()->fieldMenuItems(action);
    case TWFocusList::TaskItems:
        return m_tasks->taskItemsTable()->fieldMenuItems(action);
    case TWFocusList::Expenses:
        return m_expenses->table()->fieldMenuItems(action);
    case TWFocusList::Invoices:
        return m_invoices ? m_invoices->fieldMenuItems(action) : QList<TWListMenuItem>();
    default:
        return {};
    }
}

std::optional<QVariantMap> TWClientController::listSettings(TWFocusList list) const
{
    // The invoice list keeps its own settings.
    if (list == TWFocusList::Invoices)
        return m_invoices ? m_invoices->listSettings() : std::nullopt;
    const TWWorkTable *table = nullptr;
    if (m_table) {
        switch (list) {
        case TWFocusList::Projects:
            table = m_table;
            break;
        case TWFocusList::Tasks:
            table = m_tasks->tasksTable();
            break;
        case TWFocusList::TaskItems:
            table = m_tasks->taskItemsTable();
            break;
        case TWFocusList::Expenses:
            table = m_expenses->table();
            break;
        default:
            break;
        }
    }
    if (!table || !table->settingsLoaded())
        return std::nullopt;
    return table->settings();
}

TWTasksList *TWClientController::tasksController() const
{
    return m_tasks;
}

TWExpensesList *TWClientController::expensesController() const
{
    return m_expenses;
}

TWInvoicesList *TWClientController::invoicesController() const
{
    return m_invoices;
}

bool TWClientController::canAddProject() const
{
    return m_clients.size() == 1;
}

bool TWClientController::canAddProjectFromEstimate(bool context) const
{
    if (!m_table || !m_table->hasSelected(context, true, false))
        return false;
    const TWProjectPtr project = m_rows.project(m_table->rowsActedOn(context).constFirst());
    return project && project->type() == TWProjectTypeEstimate;
}

bool TWClientController::canEditProject(bool context) const
{
    return m_table && m_table->hasSelected(context, true, false);
}

bool TWClientController::canDuplicateProject(bool context) const
{
    return m_table && m_table->hasSelected(context, false, false);
}

bool TWClientController::canDeleteProject(bool context) const
{
    return canDuplicateProject(context);
}

bool TWClientController::canMarkProject(bool context) const
{
    return canDuplicateProject(context);
}

bool TWClientController::validationQuery(TWQuery query, bool context) const
{
    switch (query) {
    case TWQuery::CanAddProject:
        return canAddProject();
    case TWQuery::CanAddProjectFromEstimate:
        return canAddProjectFromEstimate(context);
    case TWQuery::CanEditProject:
        return canEditProject(context);
    case TWQuery::CanDuplicateProject:
        return canDuplicateProject(context);
    case TWQuery::CanDeleteProject:
        return canDeleteProject(context);
    case TWQuery::CanMarkProject:
        return canMarkProject(context);
    case TWQuery::CanAddTransaction:
        return m_clients.size() == 1 && m_invoices && m_invoices->canAddTransaction();
    default:
        return false;
    }
}

bool TWClientController::performListCommand(TWAction main, int tag, bool context)
{
    if (!m_table)
        return false;
    using A = TWAction;
    const bool ascending = tag != 1;
    switch (main) {
    case A::doNewProject:
        if (canAddProject())
            newProject(tag == 0 ? 0 : 1);
        break;
    case A::doNewProjectFromEstimate:
        if (canAddProjectFromEstimate(context))
            newProjectFromEstimate(context);
        break;
    case A::doEditProject:
        editSelectedProject(context);
        break;
    case A::doDuplicateProject:
        duplicateSelectedProject(context);
        break;
    case A::doDeleteProject:
        deleteProject(context);
        break;
    case A::doMarkProject:
        markProject(tag == 6, context);
        break;
    case A::doColumnClientProject:
        m_table->toggleFieldVisible(tag);
        break;
    case A::doSortByClientProject:
        m_table->updateSortBy(tag, true);
        break;
    case A::doSortDirectionClientProject:
        m_table->updateSortDirection(ascending, true);
        break;
    case A::doNewTask:
        if (m_tasks->canAddTask())
            m_tasks->newTask();
        break;
    case A::doEditTask:
        m_tasks->editSelectedTask(context);
        break;
    case A::doDuplicateTask:
        m_tasks->duplicateSelectedTask(context);
        break;
    case A::doDeleteTask:
        m_tasks->deleteTask(context);
        break;
    case A::doMarkTask:
        m_tasks->markTask(tag == 6, context);
        break;
    case A::doNewTaskItem:
        if (m_tasks->canAddTaskItem())
            m_tasks->newTaskItem();
        break;
    case A::doEditTaskItem:
        m_tasks->editSelectedTaskItem(context);
        break;
    case A::doDuplicateTaskItem:
        m_tasks->duplicateSelectedTaskItem(context);
        break;
    case A::doDeleteTaskItem:
        m_tasks->deleteTaskItem(context);
        break;
    case A::doColumnClientTask:
        m_tasks->tasksTable()->toggleFieldVisible(tag);
        break;
    case A::doSortByClientTask:
        m_tasks->tasksTable()->updateSortBy(tag, true);
        break;
    case A::doSortDirectionClientTask:
        m_tasks->tasksTable()->updateSortDirection(ascending, true);
        break;
    case A::doColumnClientTaskItem:
        m_tasks->taskItemsTable()->toggleFieldVisible(tag);
        break;
    case A::doSortByClientTaskItem:
        m_tasks->taskItemsTable()->updateSortBy(tag, true);
        break;
    case A::doSortDirectionClientTaskItem:
        m_tasks->taskItemsTable()->updateSortDirection(ascending, true);
        break;
    case A::doNewExpense:
        if (m_expenses->canAddExpense())
            m_expenses->newExpense();
        break;
    case A::doEditExpense:
        m_expenses->editSelectedExpense(context);
        break;
    case A::doDuplicateExpense:
        m_expenses->duplicateSelectedExpense(context);
        break;
    case A::doDeleteExpense:
        m_expenses->deleteExpense(context);
        break;
    case A::doColumnClientExpense:
        m_expenses->table()->toggleFieldVisible(tag);
        break;
    case A::doSortByClientExpense:
        m_expenses->table()->updateSortBy(tag, true);
        break;
    case A::doSortDirectionClientExpense:
        m_expenses->table()->updateSortDirection(ascending, true);
        break;
    default:
        return false;
    }
    return true;
}

// ---- Payments of the invoices tab ----

void TWClientController::newTransaction(bool context)
{
    if (!m_invoices)
        return;
    m_invoices->newTransaction(context);
    if (selectedTab() != InvoicesTab)
        showTab(InvoicesTab); // the tab switch refreshes it
}

void TWClientController::editSelectedTransaction(bool context)
{
    if (m_invoices)
        m_invoices->editSelectedTransaction(context);
}

void TWClientController::deleteSelectedTransaction(bool context)
{
    if (m_invoices)
        m_invoices->deleteSelectedTransaction(context);
}

void TWClientController::updateSelectedConvertedTotals(bool context)
{
    if (m_invoices)
        m_invoices->updateSelectedConvertedTotals(context);
}

void TWClientController::showSelectedRelatedTransactions(bool context)
{
    if (m_invoices)
        m_invoices->showSelectedRelatedTransactions(context);
}

// ---- Rows ----

int TWClientController::workRowCount(const TWWorkTable *) const
{
    return m_rows.count();
}

QString TWClientController::workText(const TWWorkTable *, int row, int tag) const
{
    const TWProjectPtr project = m_rows.project(row);
    return project ? m_rows.text(*project, projectTag(tag)) : QString();
}

bool TWClientController::workChecked(const TWWorkTable *, int row, int tag) const
{
    const TWProjectPtr project = m_rows.project(row);
    return projectTag(tag) == TWProjectColumnCompleted && project && project->completed();
}

QColor TWClientController::workRowColour(const TWWorkTable *, int row) const
{
    const TWProjectPtr project = m_rows.project(row);
    return project ? m_rows.rowColour(*project) : QColor();
}

QColor TWClientController::workCellColour(const TWWorkTable *, int row, int tag) const
{
    const TWProjectPtr project = m_rows.project(row);
    return project ? m_rows.cellColour(*project, projectTag(tag)) : QColor();
}

QString TWClientController::workToolTip(const TWWorkTable *, int row, int tag) const
{
    const TWProjectPtr project = m_rows.project(row);
    return project ? m_rows.toolTip(*project, projectTag(tag)) : QString();
}

void TWClientController::workSort(TWWorkTable *, int tag, bool ascending)
{
    m_rows.sort(projectTag(tag), ascending);
}

void TWClientController::workSelectionChanged(TWWorkTable *)
{
    updateClientCountTotal();
    updateDetail();
    updateAddDeleteButtonsEnabled();
}

bool TWClientController::workKey(TWWorkTable *table, int key)
{
    switch (key) {
    case 1:
        deleteProject(false);
        return true;
    case ' ':
    case '\r':
        if (table->rememberedRows().size() != 1)
            return false;
        editProject(m_rows.project(table->rememberedRows().constFirst()));
        return true;
    default:
        return false;
    }
}

void TWClientController::workDoubleClick(TWWorkTable *table)
{
    workKey(table, ' ');
}

QMenu *TWClientController::workContextMenu(TWWorkTable *, QWidget *parent, bool rowClicked)
{
    auto *menu = new QMenu(parent);
    const bool canAdd = canAddProject();
    menu->addAction(TWLocalized("newEstimate"), this, [this] { newProject(0); })
        ->setEnabled(canAdd);
    menu->addAction(TWLocalized("newProject"), this, [this] { newProject(1); })->setEnabled(canAdd);
    const QList<int> rows = m_table->contextRows();
    if (!rowClicked || rows.isEmpty())
        return menu;
    menu->addSeparator();
    if (rows.size() == 1) {
        const TWProjectPtr project = m_rows.project(rows.constFirst());
        const bool estimate = project && project->type() == TWProjectTypeEstimate;
        menu->addAction(TWLocalized(estimate ? "editEstimate" : "editProject"), this,
                        [this] { editSelectedProject(true); });
        if (estimate)
            menu->addAction(TWLocalized("newProjectFromEstimate"), this,
                            [this] { newProjectFromEstimate(true); });
    }
    const bool one = rows.size() == 1;
    menu->addAction(TWLocalized(one ? "duplicateProject" : "duplicateProjects"), this,
                    [this] { duplicateSelectedProject(true); });
    menu->addAction(TWLocalized(one ? "deleteProject" : "deleteProjects"), this,
                    [this] { deleteProject(true); });
    menu->addSeparator();
    QMenu *mark = menu->addMenu(TWLocalized("mark"));
    mark->addAction(TWLocalized("asCompleted"), this, [this] { markProject(true, true); });
    mark->addAction(TWLocalized("asNotCompleted"), this, [this] { markProject(false, true); });
    return menu;
}

// ---- Errors ----

void TWClientController::presentError(const TWError &error) const
{
    if (m_document)
        m_document->presentError(error);
}

void TWClientController::changed() const
{
    if (m_document)
        m_document->updateChangeCount(0);
}
