#include "import/ui/TWImportWorkController.h"

#include "import/ui/TWImportFile.h"
#include "import/ui/TWImportWorkSelectController.h"

#include "import/core/TWParserCSV.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "app/TWControls.h"
#include "app/TWMasterController.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "foundation/TWStringAdditions.h"
#include "model/TWClient.h"
#include "model/TWFormatter.h"
#include "model/TWTask.h"
#include "model/TWWorkFields.h"
#include "store/TWBusiness.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace
{

constexpr qint32 kClient = qint32(TWWorkSharedField::Client);
constexpr qint32 kProject = qint32(TWWorkSharedField::Project);

// Edits the target cell with a pop-up of the model's choices.
class TargetDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        const auto *model = qobject_cast<const TWImportWorkMappingModel *>(index.model());
        if (!model || index.column() != 1)
            return QStyledItemDelegate::createEditor(parent, option, index);
        auto *combo = new QComboBox(parent);
        for (int i = 0; i <= model->codes().size(); ++i) {
            combo->addItem(model->targetTitle(i));
            if (i == 0)
                combo->insertSeparator(1);
        }
        QTimer::singleShot(0, combo, [combo] { combo->showPopup(); });
        connect(combo, &QComboBox::activated, this, [this, combo] {
            emit const_cast<TargetDelegate *>(this)->commitData(combo);
            emit const_cast<TargetDelegate *>(this)->closeEditor(combo);
        });
        return combo;
    }
    // The combo holds "do not import", a separator, then the codes.
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        if (auto *combo = qobject_cast<QComboBox *>(editor)) {
            const int target = index.data(Qt::EditRole).toInt();
            combo->setCurrentIndex(target == 0 ? 0 : target + 1);
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override
    {
        if (auto *combo = qobject_cast<QComboBox *>(editor)) {
            const int chosen = combo->currentIndex();
            model->setData(index, chosen <= 1 ? 0 : chosen - 1, Qt::EditRole);
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }
};

} // namespace

// ---- The mapping table ----

TWImportWorkMappingModel::TWImportWorkMappingModel(TWImportWorkField::Kind kind, QObject *parent)
    : QAbstractTableModel(parent), m_kind(kind), m_codes(TWImportWorkField::importFields(kind))
{
}

void TWImportWorkMappingModel::setLines(const QList<Line> &lines)
{
    beginResetModel();
    m_lines = lines;
    endResetModel();
}

QString TWImportWorkMappingModel::targetTitle(int index) const
{
    if (index == 0)
        return TWLocalized("doNotImport");
    return index - 1 < m_codes.size() ? TWImportWorkField::fieldName(m_kind, m_codes.at(index - 1))
                                      : QString();
}

bool TWImportWorkMappingModel::hasFormat(TWImportWorkField::Kind kind, qint32 code)
{
    // Only a task has a start and an end; an expense's -8 and -9 are its tax
    // rate and total.
    if (code == qint32(TWWorkSharedField::Date))
        return true;
    return kind == TWImportWorkField::Task &&
           (code == qint32(TWTaskField::StartDate) || code == qint32(TWTaskField::EndDate));
}

bool TWImportWorkMappingModel::hasCreate(qint32 code)
{
    return code == kClient || code == kProject;
}

int TWImportWorkMappingModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

int TWImportWorkMappingModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant TWImportWorkMappingModel::headerData(int section, Qt::Orientation orientation,
                                              int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const keys[] = {"importSourceColumn", "importTargetColumn",
                                       "importSettingsColumn"};
    return section >= 0 && section < 3 ? TWLocalized(keys[section]) : QVariant();
}

QVariant TWImportWorkMappingModel::data(const QModelIndex &index, int role) const
{
    if (index.row() < 0 || index.row() >= m_lines.size() || !m_lines.at(index.row()))
        return {};
    const TWImportWorkField &line = *m_lines.at(index.row());
    const qint32 code = line.activeIdentifier();
    switch (index.column()) {
    case 0:
        return role == Qt::DisplayRole ? QVariant(line.sourceName()) : QVariant();
    case 1: {
        const int target = code == 0 ? 0 : int(m_codes.indexOf(code)) + 1;
        if (role == Qt::DisplayRole)
            return target >= 0 ? targetTitle(target) : QString();
        return role == Qt::EditRole ? QVariant(target) : QVariant();
    }
    default:
        if (hasFormat(m_kind, code) && (role == Qt::DisplayRole || role == Qt::EditRole))
            return line.format();
        if (hasCreate(code) && role == Qt::CheckStateRole)
            return line.createIfNeeded() ? Qt::Checked : Qt::Unchecked;
        if (hasCreate(code) && role == Qt::DisplayRole)
            return TWLocalized("importCreateIfNeeded");
        return {};
    }
}

bool TWImportWorkMappingModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (index.row() < 0 || index.row() >= m_lines.size() || !m_lines.at(index.row()))
        return false;
    TWImportWorkField &line = *m_lines.at(index.row());
    const qint32 code = line.activeIdentifier();
    if (index.column() == 1 && role == Qt::EditRole) {
        const int target = value.toInt();
        if (target < 0 || target > m_codes.size())
            return false;
        line.setType(target == 0 ? TWImportFieldTypeNone : TWImportFieldTypeField);
        const qint32 chosen = target == 0 ? 0 : m_codes.at(target - 1);
        line.setFieldIdentifier(chosen);
        const QString format = TWImportWorkField::formatForField(m_kind, chosen);
        if (target != 0 && !format.isNull())
            line.setFormat(format);
        emit dataChanged(this->index(index.row(), 1), this->index(index.row(), 2));
        emit mappingChanged();
        return true;
    }
    if (index.column() != 2)
        return false;
    if (hasFormat(m_kind, code) && role == Qt::EditRole) {
        line.setFormat(value.toString().isEmpty() ? QString() : value.toString());
    } else if (hasCreate(code) && role == Qt::CheckStateRole) {
        line.setCreateIfNeeded(value.toInt() == Qt::Checked);
    } else {
        return false;
    }
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags TWImportWorkMappingModel::flags(const QModelIndex &index) const
{
    if (index.row() < 0 || index.row() >= m_lines.size() || !m_lines.at(index.row()))
        return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const qint32 code = m_lines.at(index.row())->activeIdentifier();
    if (index.column() == 1 || (index.column() == 2 && hasFormat(m_kind, code)))
        return flags | Qt::ItemIsEditable;
    if (index.column() == 2 && hasCreate(code))
        return flags | Qt::ItemIsUserCheckable;
    return flags;
}

// ---- The mapping sheet ----

TWImportWorkController::TWImportWorkController(TWImportWorkField::Kind kind, QObject *parent)
    : TWLazyViewController<TWImportController>(parent), m_kind(kind)
{
}

TWImportWorkController::~TWImportWorkController()
{
    delete m_view;
}

void TWImportWorkController::build()
{
    const bool tasks = m_kind == TWImportWorkField::Task;
    m_view = new QWidget();
    m_view->setObjectName(tasks ? QStringLiteral("TWImportTasks")
                                : QStringLiteral("TWImportExpenses"));
    const QString title = TWLocalized(tasks ? "importTasksTitle" : "importExpensesTitle");
    m_view->setWindowTitle(title);
    auto *heading = new QLabel(title, m_view);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    m_projectPopUp = new TWPopUpButton(m_view);
    m_projectPopUp->setObjectName(QStringLiteral("projectPopUpButton"));
    connect(m_projectPopUp, &QComboBox::activated, this, [this](int index) {
        const TWProjectPtr project =
            index >= 2 && index - 2 < m_projects.size() ? m_projects.at(index - 2) : nullptr;
        if (m_taskSettings)
            m_taskSettings->setDefaultProject(project);
        if (m_expenseSettings)
            m_expenseSettings->setDefaultProject(project);
    });
    auto *options = new QHBoxLayout();
    options->addWidget(new QLabel(TWLocalized("importDefaultProject"), m_view));
    options->addWidget(m_projectPopUp, 1);
    if (tasks) {
        m_typePopUp = new TWPopUpButton(m_view);
        m_typePopUp->setObjectName(QStringLiteral("typePopUpButton"));
        for (int type = TWTaskTypeTimed; type <= TWTaskTypeYear; ++type)
            m_typePopUp->addItem(TWFormatter::formatter().taskTypeString(std::uint32_t(type)),
                                 type);
        connect(m_typePopUp, &QComboBox::activated, this, [this] {
            if (m_taskSettings)
                m_taskSettings->setDefaultTaskType(quint32(m_typePopUp->selectedTag()));
        });
        options->addWidget(new QLabel(TWLocalized("importDefaultTaskType"), m_view));
        options->addWidget(m_typePopUp);
    }

    m_model = new TWImportWorkMappingModel(m_kind, this);
    connect(m_model, &TWImportWorkMappingModel::mappingChanged, this,
            [this] { m_parseButton->setEnabled(m_parser && activeFieldCount() != 0); });
    m_table = new QTableView(m_view);
    m_table->setObjectName(QStringLiteral("tableView"));
    m_table->setModel(m_model);
    m_table->setItemDelegateForColumn(1, new TargetDelegate(m_table));
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 10);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->resizeSection(0, 180);
    m_table->horizontalHeader()->resizeSection(1, 180);
    m_table->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_table->setMinimumSize(520, 220);

    m_countLabel = new QLabel(m_view);
    m_countLabel->setObjectName(tasks ? QStringLiteral("numberTasksLabel")
                                      : QStringLiteral("numberExpensesLabel"));
    auto *cancel = new QPushButton(TWLocalized("cancel"), m_view);
    m_parseButton = new QPushButton(TWLocalized("importContinue"), m_view);
    m_parseButton->setObjectName(QStringLiteral("parseButton"));
    m_parseButton->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, [this] { doParse(0); });
    connect(m_parseButton, &QPushButton::clicked, this, [this] { doParse(1); });
    auto *buttons = new QHBoxLayout();
    buttons->addWidget(m_countLabel, 1);
    buttons->addWidget(cancel);
    buttons->addWidget(m_parseButton);

    auto *layout = new QVBoxLayout(m_view);
    layout->addWidget(heading);
    layout->addLayout(options);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    m_view->resize(620, 400);
}

void TWImportWorkController::reset()
{
    view();
    m_projects = m_business ? m_business->sortedProjects() : TWProjectList();
    m_projectPopUp->clear();
    m_projectPopUp->addItem(TWLocalized("none"));
    m_projectPopUp->insertSeparator(1);
    for (const TWProjectPtr &project : std::as_const(m_projects))
        m_projectPopUp->addItem(project && m_business ? m_business->projectTitle(*project)
                                                      : QString());
}

void TWImportWorkController::select()
{
    QPointer<TWImportWorkController> guard(this);
    QWidget *parent =
        m_document ? static_cast<QWidget *>(m_document->windowForSheet()) : m_view.data();
    twChooseImportPath(
        parent, false,
        [guard](const QString &path) {
            if (guard && !path.isEmpty())
                guard->importURL(QUrl::fromLocalFile(path));
        },
        "importWorkFileFilter");
}

void TWImportWorkController::importURL(const QUrl &url)
{
    m_importURL = url;
    parse();
}

int TWImportWorkController::activeFieldCount() const
{
    return m_taskSettings      ? m_taskSettings->activeFieldCount()
           : m_expenseSettings ? m_expenseSettings->activeFieldCount()
                               : 0;
}

void TWImportWorkController::parse()
{
    view();
    if (!m_business)
        return;
    if (m_document)
        m_document->showProgress(true);
    m_parser.reset();
    m_taskSettings.reset();
    m_expenseSettings.reset();
    TWErrorResult error;
    const std::optional<QByteArray> data = twReadImportFile(m_importURL.toLocalFile(), &error);
    QList<TWImportWorkMappingModel::Line> lines;
    if (data) {
        // Task and expense files are always comma-separated.
        m_parser = TWParserCSV::parser();
        m_parser->parse(*data);
        const QStringList columns = m_parser->columns().value_or(QStringList());
        if (m_kind == TWImportWorkField::Task) {
            m_taskSettings = TWImportTasksSettings::importTasksSettingsWithColumns(
                columns, m_defaultProject, *m_business);
            for (const auto &line : m_taskSettings->importFields())
                lines.append(line);
        } else {
            m_expenseSettings = TWImportExpensesSettings::importExpensesSettingsWithColumns(
                columns, m_defaultProject, *m_business);
            for (const auto &line : m_expenseSettings->importFields())
                lines.append(line);
        }
    }
    m_model->setLines(lines);
    int selected = 0;
    for (int i = 0; i < m_projects.size(); ++i) {
        if (m_defaultProject && m_projects.at(i) &&
            m_projects.at(i)->identifier() == m_defaultProject->identifier())
            selected = i + 2;
    }
    m_projectPopUp->setCurrentIndex(selected);
    if (m_typePopUp)
        m_typePopUp->setCurrentIndex(0);
    const qsizetype rows = m_parser ? m_parser->rows().size() : 0;
    const bool tasks = m_kind == TWImportWorkField::Task;
    m_countLabel->setText(QStringLiteral("%1 %2").arg(rows).arg(
        TWLocalized(tasks ? (rows == 1 ? "taskTaskItemLower" : "tasksTaskItemsLower")
                          : (rows == 1 ? "expenseLower" : "expensesLower"))));
    m_parseButton->setEnabled(m_parser && activeFieldCount() != 0);
    if (m_document)
        m_document->showProgress(false);
    if (!data) {
        presentError(*error);
        return;
    }
    // A file of no rows is mapped like any other; going on tells why.
    if (m_document)
        m_document->beginSheetWithView(m_view, true, true, {});
}

bool TWImportWorkController::createsColumn(qint32 code) const
{
    for (const TWImportWorkMappingModel::Line &line : m_model->lines()) {
        if (line && line->activeIdentifier() == code && line->createIfNeeded())
            return true;
    }
    return false;
}

void TWImportWorkController::doParse(int tag)
{
    if (tag != 1) {
        if (m_document)
            m_document->endSheet(m_view, TWSheetResult::Cancelled);
        emit endRequested(sheetReturnCode(TWSheetResult::Cancelled));
        m_parser.reset();
        return;
    }
    if (!m_business || !m_parser || (!m_taskSettings && !m_expenseSettings))
        return;
    if (m_document)
        m_document->showProgress(true);
    // The mapping is remembered by column name for the next file.
    const bool tasks = m_kind == TWImportWorkField::Task;
    QVariantMap stored =
        tasks ? m_business->importTasksSettings() : m_business->importExpensesSettings();
    const QVariantMap mapping = tasks ? m_taskSettings->settings() : m_expenseSettings->settings();
    for (auto it = mapping.cbegin(); it != mapping.cend(); ++it)
        stored.insert(it.key(), it.value());
    if (tasks) {
        m_business->setImportTasksSettings(stored);
        m_tasks = TWImportTasks::importTasksWithRows(m_parser->rows(), m_taskSettings, *m_business);
    } else {
        m_business->setImportExpensesSettings(stored);
        m_expenses = TWImportExpenses::importExpensesWithRows(m_parser->rows(), m_expenseSettings,
                                                              *m_business);
    }
    if (!createClientsAndProjects())
        return;
    process();
}

bool TWImportWorkController::createClientsAndProjects()
{
    const bool clients = createsColumn(kClient);
    const bool projects = createsColumn(kProject);
    const auto stop = [this](const char *key) {
        if (m_document)
            m_document->showProgress(false);
        twRunAlert(TWAlert{TWLocalized(key), QString(), {TWLocalized("ok")}, m_view->window()});
        return false;
    };
    if (clients || projects) {
        QStringList missingClients;
        TWImportMissingProjects missingProjects;
        if (m_tasks)
            m_tasks->missingClients(&missingClients, &missingProjects);
        else
            m_expenses->missingClients(&missingClients, &missingProjects);
        if (clients && !missingClients.isEmpty()) {
            // The source list lists the new clients at once; it is rebuilt
            // (with every total) once, not for each client.
            const auto listClients = [this] {
                if (m_document && m_document->masterController())
                    m_document->masterController()->update();
            };
            for (const QString &name : std::as_const(missingClients)) {
                const TWClientPtr client = TWClient::clientWithIdentifier(
                    m_business->nextClientIdentifier(), name, QString(), 0, 0, QImage(), {}, {}, {},
                    QUrl(), {}, {});
                if (TWErrorResult error = m_business->addClient(client, true)) {
                    listClients();
                    if (m_document)
                        m_document->showProgress(false);
                    presentError(*error);
                    return false;
                }
            }
            listClients();
        }
        if (projects && !missingProjects.isEmpty()) {
            if (m_business->clients().isEmpty())
                return stop("importNoClients");
            for (const TWImportMissingProject &missing : std::as_const(missingProjects)) {
                // The row's client by its name in any letter case, else the first client.
                TWClientPtr client;
                for (const TWClientPtr &candidate : m_business->clients()) {
                    if (candidate && TWStringAdditions::searchString(
                                         candidate->name(), missing.client.toUpper(), true)) {
                        client = candidate;
                        break;
                    }
                }
                if (!client)
                    client = m_business->clients().constFirst();
                const TWProjectPtr project = TWProject::projectWithDate(
                    TWClock::now(), false, missing.project, TWProjectTypeProject, QDateTime(),
                    QDateTime(), 0, m_business->homeUnit(), 0.0, QString(), client->identifier(),
                    m_business->nextProjectIdentifier());
                if (TWErrorResult error = m_business->addProject(project, true)) {
                    if (m_document)
                        m_document->showProgress(false);
                    presentError(*error);
                    return false;
                }
            }
        }
    }
    if (m_business->projects().isEmpty())
        return stop("importNoProjects");
    return true;
}

void TWImportWorkController::process()
{
    QString warnings;
    const bool ok =
        m_tasks ? m_tasks->processTasks(&warnings) : m_expenses->processExpenses(&warnings);
    if (m_document)
        m_document->showProgress(false);
    QPointer<TWImportWorkController> guard(this);
    twAskImportWarnings(m_parser ? m_parser->notes() : QStringList(), warnings, ok,
                        m_view->window(), [guard](bool goOn) {
                            if (!guard)
                                return;
                            if (goOn) {
                                guard->showRecords();
                            } else {
                                guard->m_tasks.reset();
                                guard->m_expenses.reset();
                            }
                        });
}

void TWImportWorkController::showRecords()
{
    m_parser.reset();
    if (m_document)
        m_document->endSheet(m_view, TWSheetResult::Confirmed);
    emit endRequested(sheetReturnCode(TWSheetResult::Confirmed));
    if (!m_select)
        m_select = new TWImportWorkSelectController(m_kind, this);
    m_select->setBusinessController(m_document);
    m_select->setBusiness(m_business);
    if (m_tasks)
        m_select->setTasks(m_tasks->tasks());
    else if (m_expenses)
        m_select->setExpenses(m_expenses->expenses());
    m_select->update();
    m_tasks.reset();
    m_expenses.reset();
    twBeginImportSelection(m_document, m_select->view());
}

void TWImportWorkController::presentError(const TWError &error)
{
    emit errorPresented(error);
    if (m_document)
        m_document->presentError(error);
}

QObject *TWImportWorkController::selectionList(SelectionList list) const
{
    return m_select ? m_select->list(list) : nullptr;
}

bool TWImportWorkController::selectionListHasContextMenu(SelectionList list, QMenu *menu) const
{
    return m_select && m_select->listHasContextMenu(list, menu);
}

bool TWImportWorkController::selectionListHasFirstResponder(SelectionList list) const
{
    return m_select && m_select->listHasFirstResponder(list);
}
