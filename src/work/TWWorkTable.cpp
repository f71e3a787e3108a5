#include "work/TWWorkTable.h"

#include "app/TWColumnWidths.h"
#include "app/TWMenus.h"

#include "foundation/TWLocalized.h"
#include "model/TWPreferences.h"
#include "store/TWBusiness.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMenu>
#include <QScopedValueRollback>

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

constexpr int kMinimumColumnWidth = 50;
constexpr int kFitPadding = 20;
const QColor kTimerHighlight(255, 255, 153);

// The decimal-hours form of the time preference.
constexpr std::uint32_t kDecimalHours = 1;

QString titleOf(const TWWorkColumn &column)
{
    if (column.decimalHoursTitleKey && TWPreferences::preferences().timeFormat() == kDecimalHours)
        return TWLocalized(column.decimalHoursTitleKey);
    return column.titleKey ? TWLocalized(column.titleKey) : column.identifier;
}

QString menuTitleOf(const TWWorkColumn &column)
{
    return column.menuKey ? TWLocalized(column.menuKey) : titleOf(column);
}

} // namespace

// ---- Comparisons ----

int TWWorkCompare::text(const QString &a, const QString &b, bool aMissing, bool bMissing)
{
    aMissing = aMissing || a.isNull();
    bMissing = bMissing || b.isNull();
    if (aMissing || bMissing)
        return aMissing == bMissing ? 0 : (aMissing ? -1 : 1);
    const int order = a.compare(b, Qt::CaseSensitive);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

qint64 TWWorkCompare::moment(const QDateTime &date)
{
    return date.isValid() ? date.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
}

int TWWorkCompare::date(const QDateTime &a, const QDateTime &b)
{
    return value(moment(a), moment(b));
}

// ---- Model ----

TWWorkTableModel::TWWorkTableModel(TWWorkTable *table, TWWorkTableSource *source, QObject *parent)
    : QAbstractTableModel(parent), m_table(table), m_source(source)
{
}

void TWWorkTableModel::setColumns(const QList<TWWorkColumn> &columns)
{
    beginResetModel();
    m_columns = columns;
    endResetModel();
}

int TWWorkTableModel::columnOfTag(int tag) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns.at(i).tag == tag)
            return i;
    return -1;
}

void TWWorkTableModel::reload()
{
    beginResetModel();
    endResetModel();
}

int TWWorkTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_source->workRowCount(m_table);
}

int TWWorkTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant TWWorkTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() >= m_columns.size() ||
        index.row() >= m_source->workRowCount(m_table))
        return {};
    const TWWorkColumn &column = m_columns.at(index.column());
    const bool check = column.kind == TWWorkColumn::CheckBox;
    switch (role) {
    case Qt::DisplayRole:
        return check ? QVariant() : QVariant(m_source->workText(m_table, index.row(), column.tag));
    case Qt::CheckStateRole:
        if (!check)
            return {};
        return m_source->workChecked(m_table, index.row(), column.tag) ? Qt::Checked
                                                                       : Qt::Unchecked;
    case Qt::ForegroundRole: {
        if (check)
            return {};
        const QColor colour = m_source->workCellColour(m_table, index.row(), column.tag);
        return colour.isValid() ? QVariant(colour) : QVariant();
    }
    case Qt::ToolTipRole: {
        const QString tip = m_source->workToolTip(m_table, index.row(), column.tag);
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    case Qt::BackgroundRole:
        return m_source->workRowHighlighted(m_table, index.row()) ? QVariant(kTimerHighlight)
                                                                  : QVariant();
    case Qt::TextAlignmentRole:
        return int((column.rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    default:
        return {};
    }
}

bool TWWorkTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() >= m_columns.size())
        return false;
    const TWWorkColumn &column = m_columns.at(index.column());
    if (column.kind != TWWorkColumn::CheckBox)
        return false;
    const bool on = value.toInt() == Qt::Checked;
    m_source->workCheckbox(m_table, index.row(), column.tag, on);
    return true;
}

Qt::ItemFlags TWWorkTableModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.isValid() && index.column() < m_columns.size() &&
        m_columns.at(index.column()).kind == TWWorkColumn::CheckBox)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant TWWorkTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return {};
    if (role == Qt::DisplayRole)
        return titleOf(m_columns.at(section));
    if (role == Qt::UserRole)
        return m_columns.at(section).tag;
    return {};
}

// ---- Table ----

TWWorkTable::TWWorkTable(TWWorkTableSource *source, quint32 settingsView,
                         QList<TWWorkColumn> columns, QWidget *parentWidget, QObject *parent)
    : QObject(parent), m_source(source), m_view(settingsView), m_allColumns(std::move(columns))
{
    m_table = new TWTableView(parentWidget);
    m_model = new TWWorkTableModel(this, source, this);
    m_table->setModel(m_model);
    m_table->setTableDelegate(this);
    m_table->setUpAsRecordList();
    QHeaderView *header = m_table->horizontalHeader();
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setMinimumSectionSize(kMinimumColumnWidth);
    header->setStretchLastSection(false);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    m_headerMenu = new QMenu(m_table);
    connect(header, &QWidget::customContextMenuRequested, this, [this](const QPoint &position) {
        if (!m_headerMenu->isEmpty())
            m_headerMenu->popup(m_table->horizontalHeader()->mapToGlobal(position));
    });
    connect(header, &QHeaderView::sectionMoved, this, [this] { sectionMoved(); });
    connect(header, &QHeaderView::sectionResized, this,
            [this](int logical, int, int size) { sectionResized(logical, size); });
    connect(header, &QHeaderView::sectionHandleDoubleClicked, this, [this](int logical) {
        if (logical < 0 || logical >= m_model->columns().size())
            return;
        m_table->horizontalHeader()->resizeSection(
            logical, sizeToFitWidth(m_model->columns().at(logical).tag));
    });
    connect(header, &QHeaderView::sortIndicatorChanged, this, &TWWorkTable::sortIndicatorChanged);
    // The columns are fitted again to the list's new width.
    m_table->viewport()->installEventFilter(this);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { selectionChanged(); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { selectionChanged(); });
    connect(m_table, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        // A click on a check box is not a request to edit.
        if (index.isValid() && m_model->flags(index).testFlag(Qt::ItemIsUserCheckable))
            return;
        m_source->workDoubleClick(this);
    });
}

TWWorkTable::~TWWorkTable()
{
    if (m_table)
        m_table->setTableDelegate(nullptr);
}

void TWWorkTable::setHeaderMenuEnabled(bool enabled)
{
    m_headerMenuEnabled = enabled;
    rebuildHeaderMenu();
}

// ---- Column settings ----

const TWWorkColumn *TWWorkTable::columnWithTag(int tag) const
{
    for (const TWWorkColumn &column : m_allColumns)
        if (column.tag == tag)
            return &column;
    return nullptr;
}

int TWWorkTable::columnTag(const QString &identifier) const
{
    for (const TWWorkColumn &column : m_allColumns)
        if (column.identifier == identifier)
            return column.tag;
    return 0;
}

QString TWWorkTable::columnIdentifier(int tag) const
{
    const TWWorkColumn *column = columnWithTag(tag);
    return column ? column->identifier : QString();
}

QVariantList TWWorkTable::fields() const
{
    return m_settings.value(TWColumnSettingsFieldsKey).toList();
}

void TWWorkTable::setFields(const QVariantList &fields)
{
    m_settings.insert(TWColumnSettingsFieldsKey, fields);
}

void TWWorkTable::loadSettings(int shownParents, const QStringList &parentColumns)
{
    m_settings =
        m_business ? m_business->columnSettings(m_view).value_or(QVariantMap()) : QVariantMap();
    m_loaded = true;
    if (shownParents > 1) {
        QVariantList list = fields();
        bool changed = false;
        for (QVariant &entry : list) {
            QVariantMap map = entry.toMap();
            if (parentColumns.contains(map.value(TWColumnSettingsIdentifierKey).toString()) &&
                !map.value(TWColumnSettingsVisibleKey).toBool()) {
                map.insert(TWColumnSettingsVisibleKey, true);
                entry = map;
                changed = true;
            }
        }
        if (changed) {
            setFields(list);
            // The record handed out is a copy: the forced columns go back to the
            // store, where they stay visible.
            saveSettings();
        }
    }
    rebuildHeaderMenu();
}

void TWWorkTable::saveSettings()
{
    if (m_business && m_loaded)
        m_business->updateColumnSettings(m_view, m_settings);
    emit settingsChanged();
}

void TWWorkTable::updateColumns()
{
    QList<TWWorkColumn> shown;
    m_storedWidths.clear();
    m_draggedWidths.clear();
    for (const QVariant &entry : fields()) {
        const QVariantMap map = entry.toMap();
        const int tag = columnTag(map.value(TWColumnSettingsIdentifierKey).toString());
        const TWWorkColumn *column = columnWithTag(tag);
        if (!column || (tag == 0 && !m_showsImport) ||
            !map.value(TWColumnSettingsVisibleKey).toBool())
            continue;
        if (titleOf(*column).isEmpty())
            continue;
        shown.append(*column);
        // A width other than the list's own default was set by the user.
        const double standard = column->kind == TWWorkColumn::DateTime ? 180.0 : 120.0;
        const double width = map.value(TWColumnSettingsWidthKey, standard).toDouble();
        m_storedWidths.append(std::max(kMinimumColumnWidth, int(std::lround(width))));
        m_draggedWidths.append(width != standard);
    }
    QScopedValueRollback<bool> guard(m_updatingColumns, true);
    QScopedValueRollback<bool> sortGuard(m_updatingSortDescriptors, true);
    m_model->setColumns(shown);
    QHeaderView *header = m_table->horizontalHeader();
    for (int i = 0; i < shown.size(); ++i)
        if (header->visualIndex(i) != i)
            header->moveSection(header->visualIndex(i), i);
    fitColumns();
}

void TWWorkTable::fitColumns()
{
    if (!m_table)
        return;
    QScopedValueRollback<bool> guard(m_updatingColumns, true);
    QHeaderView *header = m_table->horizontalHeader();
    const QList<TWWorkColumn> &shown = m_model->columns();
    // Other rows than those measured (the first load, a project chosen):
    // their amounts are measured again.
    const int rows = m_source->workRowCount(this);
    if (rows != m_amountRows) {
        m_amountFits.clear();
        m_amountRows = rows;
    }
    QList<TWColumnFit> fits;
    for (int i = 0; i < shown.size() && i < m_storedWidths.size(); ++i) {
        const TWWorkColumn &column = shown.at(i);
        const int title =
            twHeaderTitleWidth(header, titleOf(column), header->sortIndicatorSection() == i);
        // Ticks and dates give way first, then the texts before the numbers.
        const TWColumnFit::Kind kind = column.kind != TWWorkColumn::Text ? TWColumnFit::Fixed
                                       : column.rightAligned             ? TWColumnFit::Amount
                                                                         : TWColumnFit::Text;
        // An amount column keeps room for its widest amount (an amount cut
        // short reads as another), measured once per load of the rows.
        int widest = 0;
        if (kind == TWColumnFit::Amount) {
            auto known = m_amountFits.constFind(column.tag);
            if (known == m_amountFits.constEnd())
                known = m_amountFits.insert(column.tag, sizeToFitWidth(column.tag));
            widest = *known;
        }
        fits.append({m_storedWidths.at(i), std::max({kMinimumColumnWidth, title, widest}), kind,
                     kind == TWColumnFit::Fixed ? sizeToFitWidth(column.tag) : 0,
                     m_draggedWidths.at(i), widest});
    }
    twFitColumns(m_table, fits);
}

bool TWWorkTable::eventFilter(QObject *watched, QEvent *event)
{
    if (twViewportWidthChanged(m_table, watched, event))
        fitColumns();
    return QObject::eventFilter(watched, event);
}

int TWWorkTable::sortTag() const
{
    return columnTag(m_settings.value(TWColumnSettingsSortFieldKey).toString());
}

bool TWWorkTable::ascending() const
{
    return m_settings.value(TWColumnSettingsSortDirectionKey).toUInt() == 0;
}

bool TWWorkTable::isFieldVisible(int tag) const
{
    const QString identifier = columnIdentifier(tag);
    for (const QVariant &entry : fields()) {
        const QVariantMap map = entry.toMap();
        if (map.value(TWColumnSettingsIdentifierKey).toString() == identifier)
            return map.value(TWColumnSettingsVisibleKey).toBool();
    }
    return false;
}

void TWWorkTable::updateSortDescriptors()
{
    {
        QScopedValueRollback<bool> guard(m_updatingSortDescriptors, true);
        const int column = m_model->columnOfTag(sortTag());
        QHeaderView *header = m_table->horizontalHeader();
        header->setSortIndicatorShown(column >= 0);
        header->setSortIndicator(column, ascending() ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
    sort();
}

void TWWorkTable::sort()
{
    if (m_settings.contains(TWColumnSettingsSortFieldKey) && columnWithTag(sortTag()))
        m_source->workSort(this, sortTag(), ascending());
    m_table->clearSelection();
    m_model->reload();
    // The same rows in another order need no measuring again; other rows do.
    if (m_source->workRowCount(this) != m_amountRows)
        fitColumns();
}

void TWWorkTable::updateSortBy(int tag, bool apply)
{
    const QString identifier = columnIdentifier(tag);
    if (identifier.isEmpty())
        return;
    m_settings.insert(TWColumnSettingsSortFieldKey, identifier);
    saveSettings();
    if (apply)
        updateSortDescriptors();
}

void TWWorkTable::updateSortDirection(bool ascendingOrder, bool apply)
{
    m_settings.insert(TWColumnSettingsSortDirectionKey, ascendingOrder ? 0u : 1u);
    saveSettings();
    if (apply)
        updateSortDescriptors();
}

void TWWorkTable::toggleFieldVisible(int tag)
{
    const QString identifier = columnIdentifier(tag);
    QVariantList list = fields();
    for (QVariant &entry : list) {
        QVariantMap map = entry.toMap();
        if (map.value(TWColumnSettingsIdentifierKey).toString() == identifier) {
            map.insert(TWColumnSettingsVisibleKey, !map.value(TWColumnSettingsVisibleKey).toBool());
            entry = map;
        }
    }
    setFields(list);
    saveSettings();
    updateColumns();
    updateSortDescriptors();
    rebuildHeaderMenu();
}

int TWWorkTable::fieldColumn(int tag) const
{
    return m_model->columnOfTag(tag);
}

QList<TWListMenuItem> TWWorkTable::fieldMenuItems(TWAction action) const
{
    QList<const TWWorkColumn *> columns;
    for (const TWWorkColumn &column : m_allColumns)
        if (column.tag != 0)
            columns.append(&column);
    std::stable_sort(
        columns.begin(), columns.end(),
        [](const TWWorkColumn *a, const TWWorkColumn *b) { return a->identifier < b->identifier; });
    QList<TWListMenuItem> items;
    for (const TWWorkColumn *column : columns)
        items.append({menuTitleOf(*column), action, column->tag, column->identifier});
    return items;
}

void TWWorkTable::rebuildHeaderMenu()
{
    if (!m_headerMenuEnabled) {
        m_headerMenu->clear();
        return;
    }
    TWHeaderMenuHooks hooks;
    hooks.fieldVisible = [this](int tag) { return isFieldVisible(tag); };
    hooks.sortTag = [this] { return sortTag(); };
    hooks.ascending = [this] { return ascending(); };
    hooks.toggleField = [this](int tag) { toggleFieldVisible(tag); };
    hooks.sortBy = [this](int tag) { updateSortBy(tag, true); };
    hooks.sortDirection = [this](bool ascending) { updateSortDirection(ascending, true); };
    const QList<TWListMenuItem> items = fieldMenuItems(TWAction::doColumnClientTaskContext);
    twFillHeaderMenu(m_headerMenu, this, items, items, hooks);
}

void TWWorkTable::sectionMoved()
{
    if (m_updatingColumns || !m_loaded)
        return;
    QHeaderView *header = m_table->horizontalHeader();
    QVariantList old = fields();
    QVariantList moved;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical < 0 || logical >= m_model->columns().size())
            continue;
        const QString identifier = m_model->columns().at(logical).identifier;
        for (int i = 0; i < old.size(); ++i)
            if (old.at(i).toMap().value(TWColumnSettingsIdentifierKey).toString() == identifier) {
                moved.append(old.takeAt(i));
                break;
            }
    }
    moved.append(old);
    setFields(moved);
    saveSettings();
}

void TWWorkTable::sectionResized(int logical, int newSize)
{
    if (m_updatingColumns || !m_loaded || logical < 0 || logical >= m_model->columns().size())
        return;
    // The user's width is kept exactly from now on.
    if (logical < m_storedWidths.size()) {
        m_storedWidths[logical] = newSize;
        m_draggedWidths[logical] = true;
    }
    const QString identifier = m_model->columns().at(logical).identifier;
    QVariantList list = fields();
    for (QVariant &entry : list) {
        QVariantMap map = entry.toMap();
        if (map.value(TWColumnSettingsIdentifierKey).toString() == identifier) {
            map.insert(TWColumnSettingsWidthKey, double(float(newSize)));
            entry = map;
        }
    }
    setFields(list);
    saveSettings();
}

void TWWorkTable::sortIndicatorChanged(int logical, Qt::SortOrder order)
{
    if (m_updatingSortDescriptors)
        return;
    if (logical >= 0 && logical < m_model->columns().size()) {
        m_settings.insert(TWColumnSettingsSortFieldKey, m_model->columns().at(logical).identifier);
        m_settings.insert(TWColumnSettingsSortDirectionKey, order == Qt::AscendingOrder ? 0u : 1u);
        saveSettings();
        rebuildHeaderMenu();
    }
    sort();
}

int TWWorkTable::sizeToFitWidth(int tag) const
{
    const TWWorkColumn *column = columnWithTag(tag);
    if (!column)
        return kMinimumColumnWidth;
    int start = kMinimumColumnWidth;
    const QString title = titleOf(*column);
    if (!title.isEmpty()) {
        const int titleWidth =
            m_table->horizontalHeader()->fontMetrics().horizontalAdvance(title) + kFitPadding;
        start = std::max(start, titleWidth);
    }
    const int rows = m_source->workRowCount(this);
    if (rows == 0)
        return start;
    switch (column->kind) {
    case TWWorkColumn::CheckBox:
        return std::max(start, column->minimumFit ? column->minimumFit : 50);
    case TWWorkColumn::Date:
        return std::max(start, column->minimumFit ? column->minimumFit : 80);
    case TWWorkColumn::DateTime:
        return std::max(start, column->minimumFit ? column->minimumFit : 140);
    case TWWorkColumn::Text:
        break;
    }
    const QFontMetrics metrics = m_table->fontMetrics();
    int widest = start;
    for (int row = 0; row < rows; ++row)
        widest = std::max(widest, metrics.horizontalAdvance(m_source->workText(this, row, tag)) +
                                      kFitPadding);
    return widest;
}

// ---- Rows ----

QList<int> TWWorkTable::selectedRows() const
{
    return twSelectedRows(m_table->selectionModel());
}

bool TWWorkTable::hasSelected(bool context, bool single, bool multiple) const
{
    const qsizetype count = rowsActedOn(context).size();
    if (single)
        return count == 1;
    if (multiple)
        return count > 1;
    return count != 0;
}

void TWWorkTable::selectRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    m_table->clearSelection();
    m_table->selectRow(row);
    m_table->scrollTo(m_model->index(row, 0));
}

void TWWorkTable::clearSelection()
{
    m_table->clearSelection();
}

void TWWorkTable::refreshRows(const QList<int> &rows)
{
    const int columns = m_model->columnCount();
    for (int row : rows)
        if (row >= 0 && row < m_model->rowCount() && columns > 0)
            emit m_model->dataChanged(m_model->index(row, 0), m_model->index(row, columns - 1));
}

void TWWorkTable::refreshCell(int row, int tag)
{
    const int column = m_model->columnOfTag(tag);
    if (column < 0 || row < 0 || row >= m_model->rowCount())
        return;
    const QModelIndex index = m_model->index(row, column);
    emit m_model->dataChanged(index, index, {Qt::DisplayRole});
}

void TWWorkTable::reload()
{
    m_model->reload();
    // The rows' amounts may have changed: they are measured again.
    m_amountFits.clear();
    fitColumns();
}

bool TWWorkTable::hasFirstResponder() const
{
    return m_table->hasFocus() || m_table->isAncestorOf(QApplication::focusWidget());
}

bool TWWorkTable::hasContextMenu(const QMenu *menu) const
{
    for (const QMenu *own : {static_cast<const QMenu *>(m_contextMenu.data()),
                             static_cast<const QMenu *>(m_headerMenu)}) {
        if (!own || !menu)
            continue;
        if (menu == own)
            return true;
        for (const QObject *parent = menu->parent(); parent; parent = parent->parent())
            if (parent == own)
                return true;
    }
    return false;
}

void TWWorkTable::selectionChanged()
{
    if (m_selectionIsChanging)
        return;
    QScopedValueRollback<bool> guard(m_selectionIsChanging, true);
    const QList<int> rows = selectedRows();
    if (rows == m_selectedRows)
        return;
    m_selectedRows = rows;
    m_source->workSelectionChanged(this);
}

// ---- Keys and menus ----

bool TWWorkTable::tableViewDelete(TWTableView *)
{
    return m_source->workKey(this, 1);
}

bool TWWorkTable::tableViewSpace(TWTableView *)
{
    return m_source->workKey(this, ' ');
}

bool TWWorkTable::tableViewReturn(TWTableView *)
{
    return m_source->workKey(this, '\r');
}

QMenu *TWWorkTable::tableViewMenu(TWTableView *, const QPoint &position)
{
    const int row = m_table->rowAt(position.y());
    const QList<int> selection = selectedRows();
    if (row < 0 || selection.contains(row))
        m_contextRows = selection;
    else
        m_contextRows = {row};
    if (m_contextMenu)
        m_contextMenu->deleteLater();
    m_contextMenu = m_source->workContextMenu(this, m_table, row >= 0);
    return m_contextMenu;
}
