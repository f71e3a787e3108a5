#include "ledger/TWUnitsController.h"

#include "ledger/TWExchangeRates.h"
#include "ledger/TWUnitController.h"
#include "ledger/TWUnitsModel.h"
#include "ledger/TWUnitsUsage.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "ledger/TWLedgerTables.h"
#include "store/TWBusiness.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QVBoxLayout>

TWUnitsController::TWUnitsController(QObject *parent) : TWLazyViewController<TWUnitsDetail>(parent)
{
}

TWUnitsController::~TWUnitsController()
{
    delete m_view.data();
}

void TWUnitsController::build()
{
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("TWUnits"));
    m_model = new TWUnitsModel(this);
    m_model->favouriteChanged = [this](const TWUnitPtr &unit, bool favourite) {
        return setFavourite(unit, favourite);
    };
    m_model->sortRequested = [this](int column, Qt::SortOrder order) { setSort(column, order); };
    m_table = new TWTableView(view);
    twUseSingleLineRows(m_table);
    m_table->setModel(m_model);
    m_table->setTableDelegate(this);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->setShowGrid(false);
    m_table->setWordWrap(false);
    m_table->setAlternatingRowColors(true);
    m_table->setSortingEnabled(true);
    m_table->horizontalHeader()->setSortIndicator(m_sortColumn, m_sortOrder);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSectionResizeMode(TWUnitsModel::Favourite,
                                                      QHeaderView::ResizeToContents);
    m_table->setColumnWidth(TWUnitsModel::Name, 180);
    m_table->setColumnWidth(TWUnitsModel::Description, 160);
    m_table->setColumnWidth(TWUnitsModel::LastUpdated, 230);
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table);
    connect(m_table, &QAbstractItemView::doubleClicked, this, [this] { editSelectedUnit(false); });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_document)
            m_document->updateDetailButtonsEnabled();
    });
    m_view = view;
}

void TWUnitsController::update()
{
    if (!m_view)
        return;
    m_searchString.clear();
    m_sortColumn = TWUnitsModel::Name;
    m_sortOrder = Qt::AscendingOrder;
    {
        // Setting the indicator would sort once more through the model.
        const QSignalBlocker blocker(m_table->horizontalHeader());
        m_table->horizontalHeader()->setSortIndicator(m_sortColumn, m_sortOrder);
    }
    filterAndSort(QString());
    if (m_document)
        m_document->updateDetailButtonsEnabled();
}

void TWUnitsController::unitsUpdated()
{
    if (!m_view)
        return;
    const QList<int> rows = selectedRows();
    m_model->reload();
    applySpans();
    for (int row : rows)
        m_table->selectionModel()->select(m_model->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TWUnitsController::search(const QString &text)
{
    filterAndSort(text);
}

void TWUnitsController::filterAndSort(const QString &text)
{
    if (!m_view || !m_business)
        return;
    const QString trimmed = text.trimmed();
    const bool contains = m_business->searchFieldType() == 0;
    TWUnitsModel::Sections sections = m_model->sections();
    const auto fromStore = [&] {
        for (int section = 0; section < 3; ++section)
            sections[section] = m_business->unitsOfType(std::uint32_t(section));
    };
    if (trimmed.isEmpty()) {
        m_searchString.clear();
        fromStore();
    } else {
        // Typing further narrows what is already narrowed; anything else
        // starts again from the store.
        if (m_searchString.isEmpty() || !trimmed.startsWith(m_searchString))
            fromStore();
        m_searchString = trimmed;
        const QString upper = trimmed.toUpper();
        for (TWUnitList &units : sections)
            units.removeIf(
                [&](const TWUnitPtr &unit) { return !unit->searchString(upper, contains); });
    }
    const QString key = TWUnitsModel::sortKey(m_sortColumn);
    for (TWUnitList &units : sections)
        TWUnitsModel::sortUnits(units, key, m_sortOrder == Qt::AscendingOrder);
    m_table->clearSelection();
    m_model->setHomeUnit(m_business->homeUnit());
    m_model->setSections(sections);
    applySpans();
}

void TWUnitsController::setSort(int column, Qt::SortOrder order)
{
    m_sortColumn = column;
    m_sortOrder = order;
    if (m_view) {
        const QSignalBlocker blocker(m_table->horizontalHeader());
        m_table->horizontalHeader()->setSortIndicator(column, order);
    }
    filterAndSort(m_searchString);
}

void TWUnitsController::applySpans()
{
    m_table->clearSpans();
    for (int row = 0; row < m_model->rowCount(); ++row)
        if (m_model->isHeaderRow(row))
            m_table->setSpan(row, 0, 1, TWUnitsModel::ColumnCount);
}

QList<int> TWUnitsController::selectedRows() const
{
    QList<int> rows;
    if (!m_table)
        return rows;
    for (const QModelIndex &index : m_table->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QList<int> TWUnitsController::rowsFor(bool context) const
{
    return context ? m_contextRows : selectedRows();
}

bool TWUnitsController::canEditUnit(bool context) const
{
    const QList<int> rows = rowsFor(context);
    return rows.size() == 1 && m_model->unitForRow(rows.first());
}

bool TWUnitsController::canDeleteUnit(bool context) const
{
    if (!m_model)
        return false;
    const QList<int> rows = rowsFor(context);
    const TWUnitPtr unit = rows.isEmpty() ? nullptr : m_model->unitForRow(rows.first());
    return unit && unit->type() == TWUnitTypeCustom;
}

bool TWUnitsController::validationQuery(TWQuery query, bool context) const
{
    if (!m_model)
        return false;
    switch (query) {
    case TWQuery::CanEditUnit:
        return canEditUnit(context);
    case TWQuery::CanDeleteUnit:
        return canDeleteUnit(context);
    default:
        return false;
    }
}

TWUnitPtr TWUnitsController::selectedUnit() const
{
    const QList<int> rows = selectedRows();
    return rows.isEmpty() ? nullptr : m_model->unitForRow(rows.first());
}

void TWUnitsController::selectUnit(const TWUnitPtr &unit)
{
    if (!m_view || !unit)
        return;
    const int row = m_model->rowForUnit(*unit);
    if (row < 0)
        return;
    m_table->selectionModel()->select(m_model->index(row, 0), QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
    m_table->scrollTo(m_model->index(row, 0));
}

void TWUnitsController::showUnitSheet(const TWUnitPtr &unit, TWEditorMode mode)
{
    if (!m_document || !m_business)
        return;
    if (!m_unitController)
        m_unitController = new TWUnitController(this);
    TWUnitController *sheet = m_unitController;
    sheet->setUnit(unit);
    sheet->setMode(mode);
    sheet->setBusinessController(m_document);
    sheet->setBusiness(m_business);
    sheet->update();
    const TWUnitPtr remembered = mode == TWEditorMode::Existing ? selectedUnit() : nullptr;
    QPointer<TWUnitsController> self(this);
    m_document->beginSheetWithView(sheet->view(), false, true, [self, mode, remembered](int code) {
        if (!self || code != TWSheetResult::Confirmed)
            return;
        self->update();
        if (mode == TWEditorMode::New)
            self->selectUnit(self->m_unitController->editUnit());
        else if (remembered)
            self->selectUnit(remembered);
    });
}

void TWUnitsController::newUnit()
{
    view();
    showUnitSheet(TWUnit::unitWithName(QString(), QString(), QString(), QString(), 1.0, 2,
                                       TWClock::now(), false, TWUnitTypeCustom),
                  TWEditorMode::New);
}

void TWUnitsController::editSelectedUnit(bool context)
{
    const QList<int> rows = rowsFor(context);
    if (rows.size() != 1)
        return;
    if (const TWUnitPtr unit = m_model->unitForRow(rows.first()))
        editUnit(unit);
}

void TWUnitsController::editUnit(const TWUnitPtr &unit)
{
    if (unit)
        showUnitSheet(unit, TWEditorMode::Existing);
}

void TWUnitsController::showAlert(const QString &message, const QString &informative)
{
    TWAlert alert;
    alert.message = message;
    alert.informativeText = informative;
    alert.buttons = {TWLocalized("ok")};
    alert.window = m_view ? m_view->window() : nullptr;
    twRunAlert(alert);
}

void TWUnitsController::deleteUnit(bool context)
{
    if (!canDeleteUnit(context) || !m_business)
        return;
    const QList<int> rows = rowsFor(context);
    const TWUnitPtr unit = m_model->unitForRow(rows.first());
    TWAlert alert;
    alert.message = TWLocalized("deleteUnitMessage");
    alert.buttons = {TWLocalized("deleteUnit"), TWLocalized("cancel")};
    alert.window = m_view ? m_view->window() : nullptr;
    QPointer<TWUnitsController> self(this);
    twRunAlert(alert, [self, unit](int code) {
        if (!self || code != 1000 || !self->m_business)
            return;
        const TWUnitsUsage usage = twUnitsUsage(*self->m_business, *unit);
        if (usage.inUse()) {
            self->showAlert(TWLocalized("deleteUnitInUseMessage")
                                .arg(usage.accounts)
                                .arg(usage.transactions)
                                .arg(usage.splits)
                                .arg(usage.projects)
                                .arg(usage.budgetItems));
            return;
        }
        if (TWErrorResult error = self->m_business->deleteUnit(unit, true)) {
            if (self->m_document)
                self->m_document->presentError(*error);
            return;
        }
        self->update();
        if (self->m_document)
            self->m_document->updateChangeCount(0);
    });
}

bool TWUnitsController::setFavourite(const TWUnitPtr &unit, bool favourite)
{
    if (!m_business || !unit || unit->favourite() == favourite)
        return false;
    // Written at once, so the tick survives saving and reopening.
    unit->setFavourite(favourite);
    if (TWErrorResult error = m_business->updateUnit(unit, true)) {
        unit->setFavourite(!favourite);
        if (m_document)
            m_document->presentError(*error);
        return false;
    }
    if (m_document)
        m_document->updateChangeCount(0);
    return true;
}

void TWUnitsController::refresh()
{
    if (!m_document)
        return;
    TWExchangeRates *rates = TWExchangeRates::forDocument(m_document);
    m_document->showProgress(true);
    QPointer<TWUnitsController> self(this);
    QPointer<TWBusinessController> document(m_document);
    rates->updateCurrencyExchangeRates([self, document](const TWErrorResult &error) {
        if (document)
            document->showProgress(false);
        if (!self)
            return;
        if (!error) {
            self->unitsUpdated();
            return;
        }
        self->showAlert(TWLocalized("error"), error->localizedDescription());
    });
}

QMenu *TWUnitsController::tableViewMenu(TWTableView *table, const QPoint &position)
{
    const int row = table->indexAt(position).row();
    QList<int> rows = selectedRows();
    if (row >= 0 && !rows.contains(row))
        rows = {row};
    m_contextRows = rows;
    auto *menu = new QMenu(table);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(TWLocalized("newUnit"), this, [this] { newUnit(); });
    const TWUnitPtr unit = row >= 0 ? m_model->unitForRow(row) : nullptr;
    if (unit) {
        menu->addAction(TWLocalized("editUnit"), this, [this] { editSelectedUnit(true); });
        if (unit->type() == TWUnitTypeCustom)
            menu->addAction(TWLocalized("deleteUnit"), this, [this] { deleteUnit(true); });
    }
    return menu;
}

bool TWUnitsController::tableViewDelete(TWTableView *)
{
    if (!canDeleteUnit(false))
        return false;
    deleteUnit(false);
    return true;
}

bool TWUnitsController::tableViewSpace(TWTableView *)
{
    if (!canEditUnit(false))
        return false;
    editSelectedUnit(false);
    return true;
}

bool TWUnitsController::tableViewReturn(TWTableView *table)
{
    return tableViewSpace(table);
}
