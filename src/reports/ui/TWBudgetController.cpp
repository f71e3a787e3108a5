#include "reports/ui/TWBudgetController.h"

#include "reports/ui/TWBudgetDelegates.h"
#include "reports/ui/TWBudgetItemController.h"
#include "reports/ui/TWBudgetModel.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "app/TWMenus.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "store/TWBusiness.h"
#include "store/TWNotifications.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QVBoxLayout>

namespace
{

const QString kBudgetErrorDomain = QStringLiteral("Tallyworth Budget Error");

// The budget table: a double click on a column divider fits the column by
// the view's own width rules.
class TWBudgetTableView final : public TWTableView
{
public:
    TWBudgetTableView(TWBudgetModel *model, QWidget *parent) : TWTableView(parent), m_model(model)
    {
    }

protected:
    int sizeHintForColumn(int column) const override
    {
        return m_model->fitWidth(column, fontMetrics());
    }

private:
    TWBudgetModel *m_model;
};

} // namespace

TWBudgetController::TWBudgetController(QObject *parent)
    : TWLazyViewController<TWBudgetDetail>(parent)
{
}

TWBudgetController::~TWBudgetController()
{
    stopObserving();
    delete m_view.data();
}

void TWBudgetController::setBusiness(TWBusiness *business)
{
    TWBudgetDetail::setBusiness(business);
    if (m_model)
        m_model->setBusiness(business);
    if (m_view) {
        stopObserving();
        observe();
    }
}

void TWBudgetController::build()
{
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("TWBudget"));
    m_model = new TWBudgetModel(this);
    m_model->setBusiness(m_business);
    m_model->rolloverToggled = [this](int row, bool on) { doCheckbox(row, on); };
    m_table = new TWBudgetTableView(m_model, view);
    m_table->setModel(m_model);
    m_table->setTableDelegate(this);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(22);
    m_table->setShowGrid(false);
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->setAlternatingRowColors(true);
    m_table->setItemDelegateForColumn(TWBudgetModel::Name, new TWBudgetNameDelegate(m_table));
    m_table->setItemDelegateForColumn(TWBudgetModel::Progress,
                                      new TWBudgetProgressDelegate(m_table));
    QHeaderView *header = m_table->horizontalHeader();
    header->setSortIndicatorShown(true);
    header->setSectionsClickable(true);
    header->setStretchLastSection(true);
    header->setSortIndicator(TWBudgetModel::Name, Qt::AscendingOrder);
    // Header clicks sort through the model; the selection goes with the order.
    connect(header, &QHeaderView::sortIndicatorChanged, this,
            [this](int column, Qt::SortOrder order) {
                m_model->sort(column, order);
                m_table->clearSelection();
            });
    static const int widths[TWBudgetModel::ColumnCount] = {220, 100, 55,  90,  90,
                                                           65,  160, 110, 110, 150};
    for (int column = 0; column < TWBudgetModel::ColumnCount; ++column)
        m_table->setColumnWidth(column, widths[column]);
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table);
    connect(m_table, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        // A double click on a rollover box is two ticks, not an edit.
        if (index.isValid() && index.column() != TWBudgetModel::Rollover)
            editSelectedBudgetItem(false);
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_document)
            m_document->updateDetailButtonsEnabled();
    });
    m_view = view;
    observe();
}

void TWBudgetController::observe()
{
    if (!m_business)
        return;
    TWNotificationCenter &center = TWNotificationCenter::defaultCenter();
    for (const QString &name : {TWAccountDeleteNotification, TWAccountUpdateNotification,
                                TWGroupDeleteNotification, TWGroupUpdateNotification})
        m_observers.push_back(center.addObserver(
            name, m_business, [this](const TWNotification &) { updateBudgetItems(); }));
}

void TWBudgetController::stopObserving()
{
    for (TWNotificationCenter::Token token : m_observers)
        TWNotificationCenter::defaultCenter().removeObserver(token);
    m_observers.clear();
}

// ---- Rows ----

void TWBudgetController::update()
{
    if (!m_view)
        return;
    {
        // The indicator's own signal would sort once more.
        const QSignalBlocker blocker(m_table->horizontalHeader());
        m_table->horizontalHeader()->setSortIndicator(TWBudgetModel::Name, Qt::AscendingOrder);
    }
    m_model->setSortOrder(TWBudgetModel::Name, Qt::AscendingOrder);
    // Reloading the rows sorts them.
    updateBudgetItems();
}

void TWBudgetController::updateBudgetItems()
{
    if (!m_view)
        return;
    m_table->clearSelection();
    m_model->reloadBudgetItems();
    m_model->reloadBudgetTotals();
    m_model->reloadItems();
    if (m_model->rowCount() > 0)
        m_table->scrollTo(m_model->index(0, 0));
}

QList<int> TWBudgetController::selectedRows() const
{
    QList<int> rows;
    if (!m_table)
        return rows;
    for (const QModelIndex &index : m_table->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QList<int> TWBudgetController::rowsFor(bool context) const
{
    return context ? m_contextRows : selectedRows();
}

TWItemList TWBudgetController::selectedItems() const
{
    TWItemList items;
    for (int row : selectedRows())
        if (const TWItemPtr item = m_model->itemForRow(row))
            items.append(item);
    return items;
}

int TWBudgetController::itemRow(const TWItemPtr &item) const
{
    return m_model && item ? m_model->itemRow(*item) : -1;
}

int TWBudgetController::budgetItemRow(const TWBudgetItemPtr &budgetItem) const
{
    return m_model && budgetItem ? m_model->budgetItemRow(*budgetItem) : -1;
}

void TWBudgetController::selectRows(const QList<int> &rows)
{
    if (!m_table)
        return;
    m_table->clearSelection();
    for (int row : rows)
        m_table->selectionModel()->select(m_model->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (!rows.isEmpty())
        m_table->scrollTo(m_model->index(rows.first(), 0));
}

// ---- Lines ----

TWBudgetItemPtr TWBudgetController::makeBudgetItem(const TWItemPtr &item)
{
    return TWBudgetItem::budgetItemWithItemType(
        item->type(), item->identifier(), 0, m_business->homeUnit(), TWClock::now(), 0,
        TWBudgetCycleUnitNone, false, m_business->nextBudgetItemsIdentifier());
}

TWBudgetItemPtr TWBudgetController::budgetItemForItem(const TWItemPtr &item, bool createIfNecessary,
                                                      TWErrorResult *error)
{
    if (!item || !m_model || !m_business)
        return nullptr;
    TWBudgetItemPtr line = m_model->budgetItemForItem(*item);
    if (line || !createIfNecessary)
        return line;
    line = makeBudgetItem(item);
    TWErrorResult stored = m_business->addBudgetItem(line, true);
    if (!stored) {
        m_model->reloadBudgetItems();
        m_model->reloadBudgetTotals();
    }
    if (error)
        *error = stored;
    return line;
}

bool TWBudgetController::updateBudgetItem(const TWBudgetItemPtr &budgetItem)
{
    if (!budgetItem || !m_business)
        return false;
    if (TWErrorResult error = m_business->updateBudgetItem(budgetItem, true)) {
        presentError(budgetError(*error));
        return false;
    }
    markEdited();
    // The stored object may be a new one in the list's place: both snapshots.
    m_model->reloadBudgetItems();
    m_model->reloadBudgetTotals();
    m_model->reloadRow(budgetItemRow(budgetItem));
    return true;
}

void TWBudgetController::doCheckbox(int row, bool on)
{
    const TWItemPtr item = m_model ? m_model->itemForRow(row) : nullptr;
    if (!item)
        return;
    TWErrorResult error;
    const TWBudgetItemPtr line = budgetItemForItem(item, true, &error);
    if (error || !line) {
        // Nothing was stored: the tick goes back to what the store holds.
        if (error)
            presentError(budgetError(*error));
        m_model->reloadRow(row);
        return;
    }
    // The listed line changes only once the store has taken the change.
    const TWBudgetItemPtr changed = line->copy();
    changed->setRollover(on);
    if (!updateBudgetItem(changed))
        m_model->reloadRow(row);
}

TWError TWBudgetController::budgetError(const TWError &error)
{
    return TWError(kBudgetErrorDomain, -1, error.localizedDescription());
}

// ---- Commands ----

bool TWBudgetController::canEditBudgetItem(bool context) const
{
    return m_model && rowsFor(context).size() == 1;
}

bool TWBudgetController::canResetBudgetItem(bool context) const
{
    return m_model && !rowsFor(context).isEmpty();
}

bool TWBudgetController::validationQuery(TWQuery query, bool context) const
{
    switch (query) {
    case TWQuery::CanEditBudgetItem:
        return canEditBudgetItem(context);
    case TWQuery::CanResetBudgetItem:
        return canResetBudgetItem(context);
    default:
        return false;
    }
}

void TWBudgetController::editSelectedBudgetItem(bool context)
{
    const QList<int> rows = rowsFor(context);
    if (rows.size() != 1)
        return;
    const TWItemPtr item = m_model->itemForRow(rows.first());
    if (!item)
        return;
    if (const TWBudgetItemPtr line = budgetItemForItem(item, false))
        editBudgetItem(line, item);
    else
        newBudgetItem(item);
}

void TWBudgetController::newBudgetItem(const TWItemPtr &item)
{
    if (item && m_business)
        showEditor(makeBudgetItem(item), item, TWEditorMode::New);
}

void TWBudgetController::editBudgetItem(const TWBudgetItemPtr &budgetItem, const TWItemPtr &item)
{
    if (budgetItem && item)
        showEditor(budgetItem, item, TWEditorMode::Existing);
}

void TWBudgetController::showEditor(const TWBudgetItemPtr &budgetItem, const TWItemPtr &item,
                                    TWEditorMode mode)
{
    if (!m_document || !m_business)
        return;
    if (!m_itemController)
        m_itemController = new TWBudgetItemController(this);
    TWBudgetItemController *editor = m_itemController;
    editor->setItem(item);
    editor->setBudgetItem(budgetItem);
    editor->setMode(mode);
    editor->setBusinessController(m_document);
    editor->setBusiness(m_business);
    editor->view();
    editor->update();
    const TWItemList remembered =
        mode == TWEditorMode::Existing ? selectedItems() : TWItemList{item};
    QPointer<TWBudgetController> self(this);
    m_document->beginSheetWithView(editor->view(), false, true, [self, remembered](int code) {
        if (!self || code != TWSheetResult::Confirmed)
            return;
        self->updateBudgetItems();
        if (!remembered.isEmpty()) {
            const int row = self->itemRow(remembered.first());
            if (row >= 0)
                self->selectRows({row});
        }
    });
}

void TWBudgetController::resetBudgetItem(bool context)
{
    const QList<int> rows = rowsFor(context);
    if (rows.isEmpty() || !m_business)
        return;
    const bool one = rows.size() == 1;
    TWBudgetItemList lines;
    for (int row : rows)
        if (const TWBudgetItemPtr line = m_model->budgetItemForRow(row))
            lines.append(line);
    TWAlert alert;
    alert.message = TWLocalized(one ? "resetBudgetItemTitle" : "resetBudgetItemsTitle");
    alert.buttons = {TWLocalized(one ? "resetBudgetItem" : "resetBudgetItems"),
                     TWLocalized("cancel")};
    alert.window = m_view ? m_view->window() : nullptr;
    QPointer<TWBudgetController> self(this);
    twRunAlert(alert, [self, lines](int code) {
        if (!self || code != 1000 || !self->m_business)
            return;
        TWBusiness &business = *self->m_business;
        // One write: either every chosen line goes or, on an error, none.
        TWErrorResult error;
        {
            TWBusiness::WriteScope scope(business);
            for (const TWBudgetItemPtr &line : lines) {
                error = business.deleteBudgetItem(line, true);
                if (error)
                    break;
            }
            error = scope.finish(error);
        }
        self->m_table->clearSelection();
        self->m_model->reloadBudgetItems();
        self->m_model->reloadBudgetTotals();
        if (!error && !lines.isEmpty())
            self->markEdited();
        if (error)
            self->presentError(*error);
    });
}

void TWBudgetController::resetBudget()
{
    if (!m_business)
        return;
    TWAlert alert;
    alert.message = TWLocalized("resetBudgetTitle");
    alert.buttons = {TWLocalized("resetBudget"), TWLocalized("cancel")};
    alert.window = m_view ? m_view->window() : nullptr;
    QPointer<TWBudgetController> self(this);
    twRunAlert(alert, [self](int code) {
        if (!self || code != 1000 || !self->m_business)
            return;
        const TWErrorResult error = self->m_business->deleteAllBudgetItems(true);
        if (!error)
            self->markEdited();
        self->updateBudgetItems();
        if (error)
            self->presentError(*error);
    });
}

// ---- Keys and menus ----

QMenu *TWBudgetController::tableViewMenu(TWTableView *table, const QPoint &position)
{
    const int row = table->indexAt(position).row();
    const QList<int> selected = selectedRows();
    m_contextRows = row < 0 ? selected : (selected.contains(row) ? selected : QList<int>{row});
    delete m_menu;
    m_menu = new QMenu(table);
    if (row < 0)
        return m_menu;
    QPointer<TWBusinessController> document(m_document);
    connect(m_menu, &QMenu::aboutToShow, m_menu, [document, menu = m_menu] {
        if (document && menu)
            for (QAction *item : menu->actions())
                document->validateItem(item);
    });
    const auto add = [this, document](const char *key, TWAction action) {
        QAction *item = twMenuAction(m_menu, TWLocalized(key), action);
        item->setObjectName(QLatin1String(key));
        connect(item, &QAction::triggered, item, [document, item] {
            if (const std::optional<TWAction> command = twActionOf(item); document && command)
                document->perform(*command, twTagOf(item), item);
        });
    };
    if (m_contextRows.size() == 1) {
        add("editBudgetItem", TWAction::doEditBudgetItemContext);
        add("resetBudgetItem", TWAction::doResetBudgetItemContext);
    } else {
        add("resetBudgetItems", TWAction::doResetBudgetItemContext);
    }
    return m_menu;
}

bool TWBudgetController::tableViewDelete(TWTableView *)
{
    if (!canResetBudgetItem(false))
        return false;
    resetBudgetItem(false);
    return true;
}

bool TWBudgetController::tableViewSpace(TWTableView *)
{
    if (!canEditBudgetItem(false))
        return false;
    editSelectedBudgetItem(false);
    return true;
}

bool TWBudgetController::tableViewReturn(TWTableView *table)
{
    return tableViewSpace(table);
}

// ---- The document ----

void TWBudgetController::markEdited()
{
    if (m_document)
        m_document->updateChangeCount(0);
}

void TWBudgetController::presentError(const TWError &error)
{
    if (m_document)
        m_document->presentError(error);
}
