#pragma once
// The task and expense import sheets: a CSV file's columns mapped to task (or
// expense) fields, the clients and projects it names created when asked, and
// the tasks (with their time items) or expenses made from it handed to a
// selection sheet that adds the ticked ones in one write, or none. The two
// kinds are one sheet apart from their fields, settings and lists.

#include "app/TWAppRegistry.h"
#include "app/TWLazyViewController.h"

#include "foundation/TWError.h"
#include "import/core/TWImportExpenses.h"
#include "import/core/TWImportTasks.h"
#include "import/core/TWParser.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QUrl>

class QLabel;
class QPushButton;
class QTableView;
class TWImportWorkSelectController;
class TWPopUpButton;

// The mapping table of a work import: source, target and its setting.
class TWImportWorkMappingModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    using Line = std::shared_ptr<TWImportWorkField>;

    TWImportWorkMappingModel(TWImportWorkField::Kind kind, QObject *parent);
    void setLines(const QList<Line> &lines);
    const QList<Line> &lines() const { return m_lines; }
    // The target choices: 0 "do not import", then the offered codes.
    const QList<qint32> &codes() const { return m_codes; }
    QString targetTitle(int index) const;
    // What the settings cell of a line holds: a format, a check box or nothing.
    static bool hasFormat(TWImportWorkField::Kind kind, qint32 code);
    static bool hasCreate(qint32 code);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    void mappingChanged();

private:
    TWImportWorkField::Kind m_kind;
    QList<Line> m_lines;
    QList<qint32> m_codes;
};

class TWImportWorkController : public TWLazyViewController<TWImportController>
{
    Q_OBJECT
public:
    TWImportWorkController(TWImportWorkField::Kind kind, QObject *parent);
    ~TWImportWorkController() override;

    void reset() override;
    void select() override;
    void importURL(const QUrl &url) override;
    void setDefaultProject(const std::shared_ptr<TWProject> &project) override
    {
        m_defaultProject = project;
    }
    // Tag 1 goes on, any other cancels.
    void doParse(int tag);

    QObject *selectionList(SelectionList list) const override;
    bool selectionListHasContextMenu(SelectionList list, QMenu *menu) const override;
    bool selectionListHasFirstResponder(SelectionList list) const override;

    TWImportWorkField::Kind kind() const { return m_kind; }
    TWPopUpButton *projectPopUpButton() const { return m_projectPopUp; }
    TWPopUpButton *typePopUpButton() const { return m_typePopUp; }
    QTableView *tableView() const { return m_table; }
    TWImportWorkMappingModel *model() const { return m_model; }
    QLabel *countLabel() const { return m_countLabel; }
    QPushButton *parseButton() const { return m_parseButton; }
    TWImportWorkSelectController *selectController() const { return m_select; }

signals:
    void errorPresented(const TWError &error);

private:
    void build() override;
    void parse();
    int activeFieldCount() const;
    bool createsColumn(qint32 code) const;
    bool createClientsAndProjects();
    void process();
    void showRecords();
    void presentError(const TWError &error);

    TWImportWorkField::Kind m_kind;
    TWPopUpButton *m_projectPopUp = nullptr;
    TWPopUpButton *m_typePopUp = nullptr;
    QTableView *m_table = nullptr;
    TWImportWorkMappingModel *m_model = nullptr;
    QLabel *m_countLabel = nullptr;
    QPushButton *m_parseButton = nullptr;

    TWProjectPtr m_defaultProject;
    TWProjectList m_projects;
    QUrl m_importURL;
    std::shared_ptr<TWParser> m_parser;
    std::shared_ptr<TWImportTasksSettings> m_taskSettings;
    std::shared_ptr<TWImportExpensesSettings> m_expenseSettings;
    std::shared_ptr<TWImportTasks> m_tasks;
    std::shared_ptr<TWImportExpenses> m_expenses;
    TWImportWorkSelectController *m_select = nullptr;
};

class TWImportTasksController final : public TWImportWorkController
{
    Q_OBJECT
public:
    explicit TWImportTasksController(QObject *parent = nullptr)
        : TWImportWorkController(TWImportWorkField::Task, parent)
    {
    }
};

class TWImportExpensesController final : public TWImportWorkController
{
    Q_OBJECT
public:
    explicit TWImportExpensesController(QObject *parent = nullptr)
        : TWImportWorkController(TWImportWorkField::Expense, parent)
    {
    }
};
