#include "ledger/TWFieldsController.h"

#include "ledger/TWFieldController.h"
#include "ledger/TWFieldsColumns.h"
#include "ledger/TWFieldsModels.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "app/TWMenus.h"
#include "app/TWTypedNumberField.h"

#include "foundation/TWLocalized.h"
#include "ledger/TWLedgerTables.h"
#include "model/TWFormatter.h"
#include "model/TWNumberFormatter.h"
#include "store/TWBusiness.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace
{

constexpr double kDefaultDividerPosition = 250.0;
// The divider keeps this much of each pane.
constexpr int kPaneMinimum = 150;

} // namespace

TWFieldsController::TWFieldsController(QObject *parent)
    : TWLazyViewController<TWFieldsDetail>(parent)
{
}

TWFieldsController::~TWFieldsController()
{
    delete m_menu;
    if (m_view && !m_view->parent())
        delete m_view;
}

void TWFieldsController::build()
{
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("TWFields"));
    auto *layout = new QVBoxLayout(m_view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);

    m_splitter = new QSplitter(Qt::Vertical, m_view);
    m_splitter->setChildrenCollapsible(false);

    auto *fieldsPane = new QWidget(m_splitter);
    auto *fieldsLayout = new QVBoxLayout(fieldsPane);
    fieldsLayout->setContentsMargins(0, 0, 0, 0);
    fieldsLayout->setSpacing(2);
    m_fieldsTable = new TWTableView(fieldsPane);
    twUseSingleLineRows(m_fieldsTable);
    m_fieldsTable->setObjectName(QStringLiteral("fieldsTableView"));
    m_fieldsModel = new TWFieldsTableModel(this, m_fieldsTable);
    m_fieldsTable->setModel(m_fieldsModel);
    m_fieldsTable->setTableDelegate(this);
    m_fieldsTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_fieldsTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_fieldsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_fieldsTable->verticalHeader()->hide();
    m_fieldsTable->horizontalHeader()->setStretchLastSection(true);
    m_fieldsTable->setColumnWidth(0, 200);
    m_fieldsTable->setColumnWidth(1, 140);
    m_fieldsTable->setDragEnabled(true);
    m_fieldsTable->setAcceptDrops(true);
    m_fieldsTable->setDropIndicatorShown(true);
    m_fieldsTable->setDragDropMode(QAbstractItemView::DragDrop);
    m_fieldsTable->setDragDropOverwriteMode(false);
    m_fieldsTable->setDefaultDropAction(Qt::MoveAction);
    m_fieldsTable->installEventFilter(this);
    fieldsLayout->addWidget(m_fieldsTable);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(0);
    m_addButton = new QToolButton(fieldsPane);
    m_addButton->setObjectName(QStringLiteral("addField"));
    m_addButton->setText(QStringLiteral("+"));
    m_addButton->setToolTip(TWLocalized("newField"));
    m_deleteButton = new QToolButton(fieldsPane);
    m_deleteButton->setObjectName(QStringLiteral("deleteField"));
    m_deleteButton->setText(QStringLiteral("\u2212"));
    m_deleteButton->setToolTip(TWLocalized("deleteField"));
    buttons->addWidget(m_addButton);
    buttons->addWidget(m_deleteButton);
    buttons->addStretch(1);
    fieldsLayout->addLayout(buttons);

    m_detailPane = new QStackedWidget(m_splitter);
    m_itemsPane = new QWidget(m_detailPane);
    auto *itemsLayout = new QVBoxLayout(m_itemsPane);
    itemsLayout->setContentsMargins(0, 0, 0, 0);
    m_itemsTable = new TWTableView(m_itemsPane);
    twUseSingleLineRows(m_itemsTable);
    m_itemsTable->setObjectName(QStringLiteral("itemsTableView"));
    m_itemsModel = new TWFieldItemsModel(this, m_itemsTable);
    m_itemsTable->setModel(m_itemsModel);
    m_itemsTable->setTableDelegate(this);
    m_itemsTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_itemsTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_itemsTable->setEditTriggers(QAbstractItemView::DoubleClicked |
                                  QAbstractItemView::EditKeyPressed);
    m_itemsTable->verticalHeader()->hide();
    m_itemsTable->horizontalHeader()->setStretchLastSection(true);
    m_itemsTable->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    m_itemsTable->setSortingEnabled(true);
    itemsLayout->addWidget(m_itemsTable);
    m_detailPane->addWidget(m_itemsPane);

    m_percentPane = new QWidget(m_detailPane);
    auto *percentLayout = new QVBoxLayout(m_percentPane);
    auto *percentRow = new QHBoxLayout;
    auto *percentLabel = new QLabel(TWLocalized("percent"), m_percentPane);
    m_percentField = new QLineEdit(m_percentPane);
    m_percentField->setObjectName(QStringLiteral("percentTextField"));
    m_percentField->setValidator(TWFormatter::numberTextFormatter());
    m_percentField->setMaximumWidth(120);
    percentLabel->setBuddy(m_percentField);
    percentRow->addWidget(percentLabel);
    percentRow->addWidget(m_percentField);
    percentRow->addStretch(1);
    m_includedCheckBox = new QCheckBox(TWLocalized("includedInTotal"), m_percentPane);
    m_includedCheckBox->setObjectName(QStringLiteral("includedInTotalCheckBox"));
    percentLayout->addLayout(percentRow);
    percentLayout->addWidget(m_includedCheckBox);
    percentLayout->addStretch(1);
    m_detailPane->addWidget(m_percentPane);

    fieldsPane->setMinimumHeight(kPaneMinimum);
    m_detailPane->setMinimumHeight(kPaneMinimum);
    m_splitter->addWidget(fieldsPane);
    m_splitter->addWidget(m_detailPane);
    layout->addWidget(m_splitter);

    connect(m_fieldsTable->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        updateFieldItems();
        updateAddDeleteButtonsEnabled();
    });
    connect(m_itemsTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateAddDeleteButtonsEnabled(); });
    // A new row left without a name (Escape, or the focus gone) is not kept.
    connect(m_itemsTable->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { dropUnnamedItem(); }, Qt::QueuedConnection);
    });
    connect(m_fieldsTable, &QAbstractItemView::doubleClicked, this, [this] {
        if (TWFieldPtr field = selectedField())
            editField(field);
    });
    connect(m_addButton, &QToolButton::clicked, this, [this] {
        newField();
        updateAddDeleteButtonsEnabled();
    });
    connect(m_deleteButton, &QToolButton::clicked, this, [this] {
        deleteField(false);
        updateAddDeleteButtonsEnabled();
    });
    // Read whole when the typing ends (Return, or the field left), never key
    // by key: "19.5" under de_DE once stored 19 on the way. Text that does
    // not read is refused, naming the field, and the percentage stays.
    connect(m_percentField, &QLineEdit::editingFinished, this, [this] {
        // Said once: the mark goes when the text is edited again.
        if (!m_percentField->isModified() || twIsRefused(m_percentField))
            return;
        const std::optional<double> typed =
            TWFormatter::formatter().typedNumber(m_percentField->text());
        if (!typed) {
            twExplainTypedNumber(m_percentField);
            return;
        }
        m_percentField->setModified(false);
        percentTextChanged(m_percentField->text());
    });
    connect(m_includedCheckBox, &QCheckBox::clicked, this, [this](bool on) { doPercent(on); });
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] { storeDividerPosition(); });
}

// ---- Loading ----

void TWFieldsController::update()
{
    if (!m_business)
        return;
    view();
    m_itemsAscending = true;
    {
        const QSignalBlocker block(m_itemsTable->horizontalHeader());
        m_itemsTable->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    }
    const QVariantMap layout = m_business->columnSettings(0).value_or(QVariantMap());
    m_fields.clear();
    m_fields.reserve(25);
    m_viewCounts.clear();
    for (const QVariant &entry : twFieldsColumnEntries(layout)) {
        const QVariantMap map = entry.toMap();
        const qint32 identifier = twFieldsColumnNumber(map.value(TWColumnSettingsIdentifierKey));
        // An entry whose field is gone has no row to show.
        if (TWFieldPtr field = m_business->fieldWithIdentifier(identifier)) {
            m_fields.append(field);
            m_viewCounts.insert(identifier,
                                map.value(TWColumnSettingsVisibleViewsKey).toList().size());
        }
    }
    m_fieldsModel->reload();
    m_fieldsTable->clearSelection();
    updateFieldItems();
    updateAddDeleteButtonsEnabled();
}

void TWFieldsController::restoreFrame()
{
    view();
    double position = m_business ? m_business->fieldDividerPosition() : kDefaultDividerPosition;
    if (position <= 0)
        position = kDefaultDividerPosition;
    const int total =
        std::max(m_splitter->height() - m_splitter->handleWidth(), int(position) + kPaneMinimum);
    m_splitter->setSizes({int(position), total - int(position)});
    m_restored = true;
}

void TWFieldsController::storeDividerPosition()
{
    if (m_restored && m_business)
        m_business->setFieldDividerPosition(m_splitter->sizes().value(0));
}

bool TWFieldsController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_fieldsTable && event->type() == QEvent::Resize)
        storeDividerPosition();
    return TWFieldsDetail::eventFilter(watched, event);
}

QString TWFieldsController::viewsSummary(const TWField &field) const
{
    const qsizetype accounts = m_business ? m_business->accounts().size() : 0;
    return twFieldsViewsSummary(m_viewCounts.value(field.identifier(), 0), accounts);
}

// ---- Selection ----

QList<int> TWFieldsController::selectedRows(const TWTableView *table) const
{
    QList<int> rows;
    if (!table || !table->selectionModel())
        return rows;
    for (const QModelIndex &index : table->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

TWFieldPtr TWFieldsController::selectedField() const
{
    const QList<int> rows = selectedRows(m_fieldsTable);
    return rows.isEmpty() ? nullptr : m_fields.value(rows.first());
}

void TWFieldsController::selectField(const TWFieldPtr &field)
{
    if (!field || !m_fieldsTable)
        return;
    for (int row = 0; row < m_fields.size(); ++row)
        if (m_fields.at(row)->isEqual(*field)) {
            m_fieldsTable->selectRow(row);
            m_fieldsTable->scrollTo(m_fieldsModel->index(row, 0));
            return;
        }
}

QList<int> TWFieldsController::concernedRows(bool context) const
{
    return context ? m_contextRows : selectedRows(m_fieldsTable);
}

TWFieldPtr TWFieldsController::concernedField(bool context) const
{
    if (context)
        return m_contextRows.isEmpty() ? nullptr : m_fields.value(m_contextRows.first());
    return selectedField();
}

bool TWFieldsController::canEditField(bool context) const
{
    return concernedRows(context).size() == 1;
}

bool TWFieldsController::canDeleteField(bool context) const
{
    const TWFieldPtr field = concernedField(context);
    return field && field->type() != TWFieldTypeStandard;
}

bool TWFieldsController::canAddItem() const
{
    const TWFieldPtr field = selectedField();
    return field && (field->type() == TWFieldTypeList || field->type() == TWFieldTypeTags);
}

bool TWFieldsController::canDeleteItem(bool context) const
{
    // The percent pane leaves the last list's rows behind it: they are not
    // the selected field's choices.
    if (!canAddItem())
        return false;
    if (context)
        return !m_contextRows.isEmpty();
    return !selectedRows(m_itemsTable).isEmpty();
}

bool TWFieldsController::validationQuery(TWQuery query, bool context) const
{
    switch (query) {
    case TWQuery::CanEditField:
        return canEditField(context);
    case TWQuery::CanDeleteField:
        return canDeleteField(context);
    case TWQuery::CanAddItem:
        return canAddItem();
    case TWQuery::CanDeleteItem:
        return canDeleteItem(context);
    default:
        return false;
    }
}

void TWFieldsController::updateAddDeleteButtonsEnabled()
{
    if (m_addButton) {
        m_addButton->setEnabled(true);
        m_deleteButton->setEnabled(canDeleteField(false));
    }
    if (m_document)
        m_document->updateDetailButtonsEnabled();
}

// ---- Reordering ----

bool TWFieldsController::moveField(int from, int to)
{
    const int count = int(m_fields.size());
    if (!m_business || from < 0 || from >= count || to < 0 || to > count || to == from)
        return false;
    QVariantMap layout = m_business->columnSettings(0).value_or(QVariantMap());
    QVariantList entries = twFieldsColumnEntries(layout);
    const TWFieldPtr moved = m_fields.at(from);
    const qsizetype fromEntry = twFieldsColumnIndex(entries, moved->identifier());
    if (fromEntry < 0)
        return false;
    // The field and its column entry move together, so the register's
    // columns follow the new order.
    const QVariant entry = entries.takeAt(fromEntry);
    if (to == count) {
        m_fields.removeAt(from);
        m_fields.append(moved);
        entries.append(entry);
    } else {
        const TWFieldPtr anchor = m_fields.at(to);
        m_fields.removeAt(from);
        m_fields.insert(m_fields.indexOf(anchor), moved);
        const qsizetype anchorEntry = twFieldsColumnIndex(entries, anchor->identifier());
        entries.insert(anchorEntry < 0 ? entries.size() : anchorEntry, entry);
    }
    layout.insert(TWColumnSettingsFieldsKey, entries);
    m_business->updateColumnSettings(0, layout);
    markEdited();
    m_fieldsModel->reload();
    return true;
}

// ---- The detail pane ----

bool TWFieldsController::showsPercentPane() const
{
    return m_detailPane && m_detailPane->currentWidget() == m_percentPane;
}

qsizetype TWFieldsController::itemCount() const
{
    if (m_itemsKind == TWFieldTypeList)
        return m_listItems.size();
    if (m_itemsKind == TWFieldTypeTags)
        return m_tagItems.size();
    return 0;
}

QString TWFieldsController::itemName(qsizetype row) const
{
    if (row < 0 || row >= itemCount())
        return QString();
    return m_itemsKind == TWFieldTypeList ? m_listItems.at(row)->name()
                                          : m_tagItems.at(row)->name();
}

void TWFieldsController::updateFieldItems()
{
    if (!m_view)
        return;
    const TWFieldPtr field = selectedField();
    const std::uint32_t type = field ? field->type() : TWFieldTypeStandard;
    if (type == TWFieldTypePercentTotal) {
        m_percentField->setText(TWFormatter::formatter().doubleValueString(field->percent()));
        m_percentField->setModified(false);
        m_includedCheckBox->setChecked(field->includedInTotal());
        m_detailPane->setCurrentWidget(m_percentPane);
        return;
    }
    m_listItems.clear();
    m_tagItems.clear();
    m_unnamedList.reset();
    m_unnamedTag.reset();
    if (type == TWFieldTypeList) {
        m_itemsKind = TWFieldTypeList;
        m_listItems = field->listItems();
    } else if (type == TWFieldTypeTags) {
        m_itemsKind = TWFieldTypeTags;
        m_tagItems = field->tagItems();
    } else {
        m_itemsKind = 0;
    }
    m_itemsTable->setEnabled(m_itemsKind != 0);
    m_detailPane->setCurrentWidget(m_itemsPane);
    sortItems();
}

void TWFieldsController::sortItems()
{
    const bool ascending = m_itemsAscending;
    const auto byName = [ascending](const auto &a, const auto &b) {
        const int c = a->compare(*b);
        return ascending ? c < 0 : c > 0;
    };
    std::stable_sort(m_listItems.begin(), m_listItems.end(), byName);
    std::stable_sort(m_tagItems.begin(), m_tagItems.end(), byName);
    if (m_itemsTable) {
        m_itemsTable->clearSelection();
        m_itemsModel->reload();
    }
}

void TWFieldsController::renameItem(qsizetype row, const QString &name)
{
    const TWFieldPtr field = selectedField();
    if (!m_business || !field || row < 0 || row >= itemCount())
        return;
    const bool list = m_itemsKind == TWFieldTypeList;
    const bool unnamed =
        list ? m_listItems.at(row) == m_unnamedList : m_tagItems.at(row) == m_unnamedTag;
    if (name.trimmed().isEmpty()) {
        // A choice without a name would be offered as an empty item.
        if (unnamed)
            dropUnnamedItem();
        return;
    }
    // The new row is stored now, with its name; a stored one is renamed.
    const auto store = [&name](const auto &item, const auto &write) {
        const QString before = item->name();
        item->setName(name);
        TWErrorResult error = write(item);
        if (error)
            item->setName(before);
        return error;
    };
    TWBusiness &business = *m_business;
    const TWErrorResult error =
        list ? store(m_listItems.at(row),
                     [&](const TWFieldListItemPtr &item) {
                         return unnamed ? business.addFieldListItem(item, field, true)
                                        : business.updateFieldListItem(item, field, true);
                     })
             : store(m_tagItems.at(row), [&](const TWFieldTagItemPtr &item) {
                   return unnamed ? business.addFieldTagItem(item, field, true)
                                  : business.updateFieldTagItem(item, field, true);
               });
    if (error) {
        // A new row that could not be stored goes.
        if (unnamed)
            dropUnnamedItem();
        presentError(*error);
        return;
    }
    m_unnamedList.reset();
    m_unnamedTag.reset();
    markEdited();
}

void TWFieldsController::dropUnnamedItem()
{
    if (!hasUnnamedItem())
        return;
    m_listItems.removeAll(m_unnamedList);
    m_tagItems.removeAll(m_unnamedTag);
    m_unnamedList.reset();
    m_unnamedTag.reset();
    if (m_itemsModel)
        m_itemsModel->reload();
}

void TWFieldsController::newItem()
{
    const TWFieldPtr field = selectedField();
    if (!m_business || !field || m_itemsKind != int(field->type()))
        return;
    // One new row at a time; it is stored once it is named.
    dropUnnamedItem();
    if (field->type() == TWFieldTypeList) {
        m_unnamedList = TWFieldListItem::fieldListItem();
        m_listItems.append(m_unnamedList);
    } else if (field->type() == TWFieldTypeTags) {
        m_unnamedTag = TWFieldTagItem::fieldTagItem();
        m_tagItems.append(m_unnamedTag);
    } else {
        return;
    }
    m_itemsModel->reload();
    const QModelIndex last = m_itemsModel->index(int(itemCount()) - 1, 0);
    m_itemsTable->scrollTo(last);
    m_itemsTable->setCurrentIndex(last);
    m_itemsTable->setFocus();
    m_itemsTable->edit(last);
}

void TWFieldsController::deleteItem(bool context)
{
    const TWFieldPtr field = selectedField();
    const QList<int> rows = context ? m_contextRows : selectedRows(m_itemsTable);
    if (!m_business || !field || rows.isEmpty() || !m_itemsKind ||
        int(field->type()) != m_itemsKind)
        return;
    // The records first: the list may reload while the store notifies.
    TWFieldListItemList listItems;
    TWFieldTagItemList tagItems;
    for (int row : rows) {
        if (m_itemsKind == TWFieldTypeList && row >= 0 && row < m_listItems.size())
            listItems.append(m_listItems.at(row));
        if (m_itemsKind == TWFieldTypeTags && row >= 0 && row < m_tagItems.size())
            tagItems.append(m_tagItems.at(row));
    }
    const bool one = rows.size() < 2;
    TWAlert alert;
    alert.message = TWLocalized(one ? "deleteItemMessage" : "deleteItemsMessage");
    alert.buttons = {TWLocalized(one ? "deleteItem" : "deleteItems"), TWLocalized("cancel")};
    alert.window = m_view ? m_view->window() : nullptr;
    QPointer<TWFieldsController> self(this);
    twRunAlert(alert, [self, field, listItems, tagItems](int code) {
        if (!self || code != 1000 || !self->m_business)
            return;
        TWErrorResult error;
        for (const TWFieldListItemPtr &item : listItems)
            if ((error = self->m_business->deleteFieldListItem(item, field, true)))
                break;
        if (!error)
            for (const TWFieldTagItemPtr &item : tagItems)
                if ((error = self->m_business->deleteFieldTagItem(item, field, true)))
                    break;
        self->updateFieldItems();
        self->markEdited();
        if (error)
            self->presentError(*error);
    });
}

void TWFieldsController::percentTextChanged(const QString &text)
{
    const TWFieldPtr field = selectedField();
    if (!m_business || !field || field->type() != TWFieldTypePercentTotal)
        return;
    // The listed field is what totals are computed from: a setting the store
    // refused must not stay in it.
    // Read as every typed number; what does not read (yet) changes nothing.
    const std::optional<double> typed = TWFormatter::formatter().typedNumber(text);
    if (!typed)
        return;
    const double before = field->percent();
    field->setPercent(*typed);
    if (TWErrorResult error = m_business->updateFieldPercentTotal(field, true)) {
        field->setPercent(before);
        presentError(*error);
    } else {
        markEdited();
    }
}

void TWFieldsController::doPercent(bool on)
{
    const TWFieldPtr field = selectedField();
    if (!m_business || !field || field->type() != TWFieldTypePercentTotal)
        return;
    const bool before = field->includedInTotal();
    field->setIncludedInTotal(on);
    if (TWErrorResult error = m_business->updateFieldPercentTotal(field, true)) {
        field->setIncludedInTotal(before);
        if (m_includedCheckBox)
            m_includedCheckBox->setChecked(before);
        presentError(*error);
    } else {
        markEdited();
    }
}

// ---- Fields ----

void TWFieldsController::ensureFieldController()
{
    if (!m_fieldController)
        m_fieldController = new TWFieldController(this);
}

void TWFieldsController::runFieldEditor(const TWFieldPtr &field, TWEditorMode mode,
                                        const TWFieldPtr &reselect)
{
    if (!m_business || !m_document || !field)
        return;
    ensureFieldController();
    m_fieldController->setField(field);
    m_fieldController->setMode(mode);
    m_fieldController->setBusinessController(m_document);
    m_fieldController->setBusiness(m_business);
    m_fieldController->update();
    QPointer<TWFieldsController> self(this);
    m_document->beginSheetWithView(m_fieldController->view(), false, true,
                                   [self, reselect](int code) {
                                       if (!self || code != TWSheetResult::Confirmed)
                                           return;
                                       self->update();
                                       if (reselect)
                                           self->selectField(reselect);
                                   });
}

void TWFieldsController::newField()
{
    if (!m_business)
        return;
    const TWFieldPtr field = TWField::fieldWithName(QString(), TWFieldTypeCheckbox, false, false,
                                                    m_business->nextFieldIdentifier());
    runFieldEditor(field, TWEditorMode::New, field);
}

void TWFieldsController::editField(const TWFieldPtr &field)
{
    // The selection when the sheet opened comes back after it, even when the
    // edited field came from a context menu.
    runFieldEditor(field, TWEditorMode::Existing, selectedField());
}

void TWFieldsController::editSelectedField(bool context)
{
    const QList<int> rows = concernedRows(context);
    if (rows.size() == 1)
        if (const TWFieldPtr field = m_fields.value(rows.first()))
            editField(field);
}

void TWFieldsController::deleteField(bool context)
{
    const TWFieldPtr field = concernedField(context);
    if (!m_business || !field || field->type() == TWFieldTypeStandard)
        return;
    TWAlert alert;
    alert.message = TWLocalized("deleteFieldMessage");
    alert.buttons = {TWLocalized("deleteField"), TWLocalized("cancel")};
    alert.window = m_view ? m_view->window() : nullptr;
    QPointer<TWFieldsController> self(this);
    twRunAlert(alert, [self, field](int code) {
        if (!self || code != 1000 || !self->m_business)
            return;
        if (TWErrorResult error = self->m_business->deleteField(field, true)) {
            self->presentError(*error);
            return;
        }
        self->update();
        self->markEdited();
    });
}

// ---- Keys and menus ----

bool TWFieldsController::tableViewDelete(TWTableView *table)
{
    if (table == m_fieldsTable) {
        if (!canDeleteField(false))
            return false;
        deleteField(false);
        return true;
    }
    deleteItem(false);
    return true;
}

bool TWFieldsController::tableViewSpace(TWTableView *table)
{
    if (table != m_fieldsTable)
        return false;
    const TWFieldPtr field = selectedField();
    if (!field)
        return false;
    editField(field);
    return true;
}

bool TWFieldsController::tableViewReturn(TWTableView *table)
{
    return tableViewSpace(table);
}

QMenu *TWFieldsController::tableViewMenu(TWTableView *table, const QPoint &position)
{
    const int row = table->indexAt(position).row();
    const QList<int> selected = selectedRows(table);
    m_contextRows = row < 0 ? selected : (selected.contains(row) ? selected : QList<int>{row});
    m_contextOnItems = table == m_itemsTable;

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
    if (table == m_fieldsTable) {
        add("newField", TWAction::doNewFieldContext);
        if (row >= 0) {
            if (m_contextRows.size() < 2)
                add("editField", TWAction::doEditFieldContext);
            const TWFieldPtr field = m_fields.value(row);
            if (field && field->type() != TWFieldTypeStandard)
                add("deleteField", TWAction::doDeleteFieldContext);
        }
    } else {
        if (canAddItem())
            add("newFieldItem", TWAction::doNewFieldItemContext);
        if (row >= 0)
            add(m_contextRows.size() < 2 ? "deleteFieldItem" : "deleteFieldItems",
                TWAction::doDeleteFieldItemContext);
    }
    return m_menu;
}

// ---- The document ----

void TWFieldsController::markEdited()
{
    if (m_document)
        m_document->updateChangeCount(0);
}

void TWFieldsController::presentError(const TWError &error)
{
    if (m_document)
        m_document->presentError(error);
}
