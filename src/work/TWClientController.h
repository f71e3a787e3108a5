#pragma once
// The clients view: the projects and estimates of the chosen clients over a
// tab view of their tasks, expenses and invoices (each showing the selected
// projects, or all listed ones), with the operations on projects: new, new
// from an estimate, edit, duplicate, delete, mark and the completed box.

#include "app/TWDetailInterfaces.h"
#include "app/TWLazyViewController.h"
#include "foundation/TWError.h"
#include "work/TWProjectRows.h"
#include "work/TWWorkTable.h"

#include "foundation/TWNotificationCenter.h"

#include <QObject>
#include <QPointer>

#include <vector>

class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class QTabWidget;
class QToolButton;
class TWExpensesController;
class TWProjectController;
class TWSplitDivider;
class TWTasksController;

class TWClientController final : public TWLazyViewController<TWClientDetail>,
                                 public TWWorkTableSource
{
    Q_OBJECT
public:
    enum Tab { TasksTab = 0, ExpensesTab = 1, InvoicesTab = 2 };
    // Neither pane of the divider gets smaller.
    static constexpr int kMinimumPane = 250;

    explicit TWClientController(QObject *parent = nullptr);
    ~TWClientController() override;

    // ---- TWDetailController ----
    void setBusinessController(TWBusinessController *document) override;
    void setBusiness(TWBusiness *business) override;
    // Settings, columns, sort and the projects of the chosen clients.
    void update() override;
    void restoreFrame() override;
    QByteArray printOperation(QPrinter &printer) override;

    // ---- Parts, for the document and tests ----
    TWWorkTable *projectsTable() const { return m_table; }
    const TWProjectRows &rows() const { return m_rows; }
    const TWProjectList &projects() const { return m_rows.projects(); }
    QSplitter *splitter() const { return m_splitter; }
    QTabWidget *tabView() const { return m_tabs; }
    QLabel *countLabel() const { return m_countLabel; }
    QLabel *totalLabel() const { return m_totalLabel; }
    QToolButton *addButton() const { return m_addButton; }
    QPushButton *deleteButton() const { return m_deleteButton; }
    TWTasksController *tasks() const { return m_tasks; }
    TWExpensesController *expenses() const { return m_expenses; }
    TWInvoiceListDetail *invoices() const { return m_invoices; }
    TWProjectController *projectSheet() const { return m_projectSheet; }
    // The table's columns. Their work-table tags are the project column tags
    // plus one: the work table keeps tag 0 for the import column, which this
    // list does not have.
    static QList<TWWorkColumn> projectColumns();
    static int workTag(int projectTag) { return projectTag + 1; }
    static int projectTag(int workTag) { return workTag - 1; }
    // The shown column of a project column tag, -1 when hidden.
    int projectColumn(int projectTag) const;

    // ---- TWClientDetail ----
    void transactionsUpdated() override;
    void updateClientCountTotalFrame() override;
    void selectProject(const TWProjectPtr &project, const TWInvoicePtr &invoice) override;
    TWTasksList *tasksController() const override;
    TWExpensesList *expensesController() const override;
    TWInvoicesList *invoicesController() const override;
    TWProjectList selectedProjects() const override;
    void editSelectedTransaction(bool context) override;
    void deleteSelectedTransaction(bool context) override;
    void updateSelectedConvertedTotals(bool context) override;
    void showSelectedRelatedTransactions(bool context) override;
    // A payment of the invoices tab, which is then shown.
    void newTransaction(bool context) override;
    int selectedTab() const override;
    int selectedProjectType() const override;
    bool hasFirstResponder(TWFocusList list) const override;
    QList<TWListMenuItem> fieldMenuItems(TWFocusList list, TWAction action) const override;
    std::optional<QVariantMap> listSettings(TWFocusList list) const override;
    bool validationQuery(TWQuery query, bool context) const override;
    bool performListCommand(TWAction main, int tag, bool context) override;

    // ---- Listing ----
    // Lists the chosen clients' projects again (selection cleared).
    void updateClient();
    // The shown tab takes the selected projects (all listed when none) and updates.
    void updateDetail();
    void updateClientCountTotal();
    void updateAddDeleteButtonsEnabled();
    void showTab(int tab);
    bool projectsHasFirstResponder() const;
    // Whether any of its lists holds the keyboard focus.
    bool anyListHasFirstResponder() const;
    TWProjectList projectsForRows(const QList<int> &rows) const;
    int projectRow(const TWProject &project) const { return m_rows.row(project); }
    // The timer's rows, when the project is listed, go to the tasks tab.
    void updateTimerProject(const TWProjectPtr &project, const TWTaskPtr &task,
                            const TWTaskItemPtr &taskItem);

    // ---- What the commands may do ----
    bool canAddProject() const;
    bool canAddProjectFromEstimate(bool context) const;
    bool canEditProject(bool context) const;
    bool canDuplicateProject(bool context) const;
    bool canDeleteProject(bool context) const;
    bool canMarkProject(bool context) const;

    // ---- Project commands ----
    // 0 an estimate, 1 a project.
    void newProject(int type);
    void newProjectFromEstimate(bool context);
    void editSelectedProject(bool context);
    void editProject(const TWProjectPtr &project);
    void duplicateSelectedProject(bool context);
    void duplicateProjects(const TWProjectList &projects);
    void deleteProject(bool context);
    void markProject(bool completed, bool context);

    // ---- TWWorkTableSource ----
    int workRowCount(const TWWorkTable *table) const override;
    QString workText(const TWWorkTable *table, int row, int tag) const override;
    bool workChecked(const TWWorkTable *table, int row, int tag) const override;
    QColor workRowColour(const TWWorkTable *table, int row) const override;
    QColor workCellColour(const TWWorkTable *table, int row, int tag) const override;
    QString workToolTip(const TWWorkTable *table, int row, int tag) const override;
    void workSort(TWWorkTable *table, int tag, bool ascending) override;
    void workCheckbox(TWWorkTable *table, int row, int tag, bool on) override;
    void workSelectionChanged(TWWorkTable *table) override;
    QMenu *workContextMenu(TWWorkTable *table, QWidget *parent, bool rowClicked) override;
    bool workKey(TWWorkTable *table, int key) override;
    void workDoubleClick(TWWorkTable *table) override;

private:
    void build() override;
    void observe();
    void connectTimer();
    // Every row redrawn in place (the totals changed), selection kept.
    void projectUpdated();
    // The rows' cells drawn again (a task, an item or an expense changed; the count line's
    // sums of what is owed stay).
    void redrawProjects();
    void selectRowAlone(int row, bool scroll);
    void presentError(const TWError &error) const;
    void changed() const;
    TWProjectController *ensureProjectSheet();
    void runProjectSheet(const TWProjectPtr &project, TWEditorMode mode);

    TWProjectRows m_rows;
    TWClientsOwing m_owing;

    QSplitter *m_splitter = nullptr;
    QWidget *m_projectsView = nullptr;
    TWWorkTable *m_table = nullptr;
    QToolButton *m_addButton = nullptr;
    QAction *m_addEstimate = nullptr;
    QAction *m_addProject = nullptr;
    QPushButton *m_deleteButton = nullptr;
    QLabel *m_countLabel = nullptr;
    QLabel *m_totalLabel = nullptr;
    QTabWidget *m_tabs = nullptr;
    TWTasksController *m_tasks = nullptr;
    TWExpensesController *m_expenses = nullptr;
    TWInvoiceListDetail *m_invoices = nullptr;
    TWProjectController *m_projectSheet = nullptr;
    TWSplitDivider *m_divider = nullptr;
    bool m_timerConnected = false;
    std::vector<TWNotificationCenter::Token> m_observers;
};
