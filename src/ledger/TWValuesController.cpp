#include "ledger/TWValuesController.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "app/TWMenus.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWStringAdditions.h"
#include "ledger/TWLedgerTables.h"
#include "store/TWBusiness.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

// The one column of remembered names, edited in place.
class TWValuesTableModel final : public QAbstractTableModel
{
public:
    TWValuesTableModel(TWValuesController *controller, QObject *parent)
        : QAbstractTableModel(parent), m_controller(controller)
    {
    }
    void reload()
    {
        beginResetModel();
        endResetModel();
    }
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_controller->values().size());
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : 1;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
            return {};
        const TWValuePtr value = m_controller->values().value(index.row());
        return value ? value->name() : QVariant();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section != 0)
            return {};
        return TWLocalized("name");
    }
    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
    }
    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        if (!index.isValid() || role != Qt::EditRole)
            return false;
        m_controller->renameValue(index.row(), value.toString());
        emit dataChanged(index, index);
        return true;
    }
    void sort(int, Qt::SortOrder order) override
    {
        m_controller->setSortAscending(order == Qt::AscendingOrder);
    }

private:
    TWValuesController *m_controller;
};

TWValuesController::TWValuesController(QObject *parent)
    : TWLazyViewController<TWValuesDetail>(parent)
{
}

TWValuesController::~TWValuesController()
{
    delete m_menu;
    if (m_view && !m_view->parent())
        delete m_view;
}

void TWValuesController::build()
{
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("TWValues"));
    auto *layout = new QVBoxLayout(m_view);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *top = new QHBoxLayout;
    m_fieldPopUp = new QComboBox(m_view);
    m_fieldPopUp->setObjectName(QStringLiteral("fieldPopUpButton"));
    m_fieldPopUp->setMinimumWidth(200);
    m_resetButton = new QPushButton(TWLocalized("reset"), m_view);
    m_resetButton->setObjectName(QStringLiteral("resetButton"));
    top->addWidget(m_fieldPopUp);
    top->addStretch(1);
    top->addWidget(m_resetButton);
    layout->addLayout(top);

    m_table = new TWTableView(m_view);

    twUseSingleLineRows(m_table);
    m_table->setObjectName(QStringLiteral("tableView"));
    m_model = new TWValuesTableModel(this, m_table);
    m_table->setModel(m_model);
    m_table->setTableDelegate(this);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    m_table->setSortingEnabled(true);
    layout->addWidget(m_table);

    connect(m_fieldPopUp, &QComboBox::activated, this, [this] { doField(); });
    connect(m_resetButton, &QPushButton::clicked, this, [this] { doReset(); });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_document)
            m_document->updateDetailButtonsEnabled();
    });
}

// ---- The field pop-up ----

void TWValuesController::update()
{
    if (!m_business)
        return;
    view();
    m_searchString.reset();
    {
        const QSignalBlocker block(m_fieldPopUp);
        m_fieldPopUp->clear();
        for (qint32 number : m_business->valueTransactionFields()) {
            const TWFieldPtr field = m_business->fieldWithIdentifier(number);
            m_fieldPopUp->addItem(field ? field->name() : QString(), number);
        }
        static const char *const clientKeys[] = {"clientProjectName", "clientTaskName",
                                                 "clientExpenseName", "clientInvoiceName"};
        const QList<qint32> client = m_business->valueClientFields();
        if (!client.isEmpty())
            m_fieldPopUp->insertSeparator(m_fieldPopUp->count());
        for (qsizetype i = 0; i < client.size(); ++i)
            m_fieldPopUp->addItem(i < 4 ? TWLocalized(clientKeys[i]) : QString(), client.at(i));
        const QList<qint32> merchant = m_business->valueMerchantFields();
        if (!merchant.isEmpty())
            m_fieldPopUp->insertSeparator(m_fieldPopUp->count());
        for (qint32 number : merchant)
            m_fieldPopUp->addItem(TWLocalized("merchantBillName"), number);
        m_fieldPopUp->setCurrentIndex(0);
    }
    m_ascending = true;
    {
        const QSignalBlocker block(m_table->horizontalHeader());
        m_table->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    }
    updateFieldValues();
}

QList<qint32> TWValuesController::fieldNumbers() const
{
    QList<qint32> numbers;
    if (!m_fieldPopUp)
        return numbers;
    for (int i = 0; i < m_fieldPopUp->count(); ++i)
        if (const QVariant data = m_fieldPopUp->itemData(i); data.isValid())
            numbers.append(data.toInt());
    return numbers;
}

qint32 TWValuesController::chosenField() const
{
    return m_fieldPopUp ? m_fieldPopUp->currentData().toInt() : 0;
}

void TWValuesController::chooseField(qint32 number)
{
    if (!m_fieldPopUp)
        return;
    const int index = m_fieldPopUp->findData(number);
    if (index < 0)
        return;
    m_fieldPopUp->setCurrentIndex(index);
    doField();
}

void TWValuesController::doField()
{
    if (m_document)
        m_document->clearSearch();
    updateFieldValues();
}

// ---- Listing ----

void TWValuesController::updateFieldValues()
{
    filterAndSort(QString());
    if (m_table && m_model->rowCount() > 0)
        m_table->scrollTo(m_model->index(0, 0));
}

void TWValuesController::search(const QString &text)
{
    filterAndSort(text);
}

void TWValuesController::reloadFromStore()
{
    m_values.clear();
    if (m_business && m_fieldPopUp)
        m_values = m_business->values(chosenField()).value_or(TWValueList());
}

void TWValuesController::filterAndSort(const QString &text)
{
    if (!m_business || !m_view)
        return;
    const QString t = text.trimmed();
    if (!t.isEmpty()) {
        // Typing on extends the last search: what is shown only narrows.
        if (!m_searchString || !t.startsWith(*m_searchString))
            reloadFromStore();
        m_searchString = t;
        const bool contains = m_business->searchFieldType() == 0;
        const QString search = t.toUpper();
        m_values.removeIf([&search, contains](const TWValuePtr &value) {
            return !TWStringAdditions::searchString(value->name(), search, contains);
        });
    } else {
        m_searchString.reset();
        reloadFromStore();
    }
    sortValues();
    m_table->clearSelection();
    m_model->reload();
}

void TWValuesController::sortValues()
{
    const bool ascending = m_ascending;
    std::stable_sort(m_values.begin(), m_values.end(),
                     [ascending](const TWValuePtr &a, const TWValuePtr &b) {
                         const int c = a->name().compare(b->name());
                         return ascending ? c < 0 : c > 0;
                     });
}

void TWValuesController::setSortAscending(bool ascending)
{
    m_ascending = ascending;
    filterAndSort(m_searchString.value_or(QString()));
}

QList<int> TWValuesController::selectedRows() const
{
    QList<int> rows;
    if (!m_table)
        return rows;
    for (const QModelIndex &index : m_table->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool TWValuesController::canDeleteValue(bool context) const
{
    return context ? !m_contextRows.isEmpty() : !selectedRows().isEmpty();
}

// ---- Editing ----

void TWValuesController::renameValue(qsizetype row, const QString &name)
{
    const TWValuePtr value = m_values.value(row);
    if (!m_business || !value)
        return;
    const QString before = value->name();
    value->setName(name);
    if (TWErrorResult error = m_business->updateValue(value, true)) {
        value->setName(before);
        presentError(*error);
        return;
    }
    markEdited();
}

void TWValuesController::newValue()
{
    if (!m_business || !m_view)
        return;
    const TWValuePtr value =
        TWValue::valueWithName(QString(), chosenField(), m_business->nextValueIdentifier());
    if (TWErrorResult error = m_business->addValue(value, true)) {
        presentError(*error);
        return;
    }
    // Shown at the end whatever the search, until the next search or sort.
    m_values.append(value);
    m_model->reload();
    const QModelIndex last = m_model->index(int(m_values.size()) - 1, 0);
    m_table->scrollTo(last);
    m_table->setCurrentIndex(last);
    m_table->edit(last);
    markEdited();
}

void TWValuesController::deleteValue(bool context)
{
    const QList<int> rows = context ? m_contextRows : selectedRows();
    if (!m_business || rows.isEmpty())
        return;
    TWValueList chosen;
    for (int row : rows)
        if (const TWValuePtr value = m_values.value(row))
            chosen.append(value);
    const bool one = rows.size() < 2;
    TWAlert alert;
    alert.message = TWLocalized(one ? "deleteValueMessage" : "deleteValuesMessage");
    alert.buttons = {TWLocalized(one ? "deleteValue" : "deleteValues"), TWLocalized("cancel")};
    alert.window = m_view ? m_view->window() : nullptr;
    QPointer<TWValuesController> self(this);
    twRunAlert(alert, [self, chosen](int code) {
        if (!self || !self->m_business)
            return;
        TWErrorResult error;
        if (code == 1000) {
            self->markEdited();
            for (const TWValuePtr &value : chosen)
                if ((error = self->m_business->deleteValue(value, true)))
                    break;
        }
        // The store's state, with the search still applied.
        self->reloadFromStore();
        self->filterAndSort(self->m_searchString.value_or(QString()));
        if (error)
            self->presentError(*error);
    });
}

void TWValuesController::doReset()
{
    if (!m_business || !m_view)
        return;
    TWAlert alert;
    alert.message = TWLocalized("resetFieldValueMessage");
    alert.buttons = {TWLocalized("reset"), TWLocalized("cancel")};
    alert.window = m_view->window();
    QPointer<TWValuesController> self(this);
    const qint32 number = chosenField();
    twRunAlert(alert, [self, number](int code) {
        if (!self || !self->m_business)
            return;
        if (code == 1000) {
            if (TWErrorResult error = self->m_business->rebuildValues(number)) {
                self->presentError(*error);
                return;
            }
            self->markEdited();
        }
        self->reloadFromStore();
        self->filterAndSort(self->m_searchString.value_or(QString()));
    });
}

// ---- Keys and menus ----

bool TWValuesController::tableViewDelete(TWTableView *)
{
    deleteValue(false);
    return true;
}

QMenu *TWValuesController::tableViewMenu(TWTableView *table, const QPoint &position)
{
    const int row = table->indexAt(position).row();
    const QList<int> selected = selectedRows();
    m_contextRows = row < 0 ? selected : (selected.contains(row) ? selected : QList<int>{row});
    delete m_menu;
    m_menu = new QMenu(table);
    QPointer<TWBusinessController> document(m_document);
    // The document's rules enable the items, as in its own menus.
    connect(m_menu, &QMenu::aboutToShow, m_menu, [document, menu = m_menu] {
        if (document && menu)
            for (QAction *item : menu->actions())
                document->validateItem(item);
    });
    const auto add = [this, document](const char *key, TWAction action) {
        QAction *item = twMenuAction(m_menu, TWLocalized(key), action);
        connect(item, &QAction::triggered, item, [document, item] {
            if (const std::optional<TWAction> command = twActionOf(item); document && command)
                document->perform(*command, twTagOf(item), item);
        });
    };
    add("newValue", TWAction::doNewValueContext);
    if (row >= 0)
        add("deleteValue", TWAction::doDeleteValueContext);
    return m_menu;
}

// ---- The document ----

void TWValuesController::markEdited()
{
    if (m_document)
        m_document->updateChangeCount(0);
}

void TWValuesController::presentError(const TWError &error)
{
    if (m_document)
        m_document->presentError(error);
}
