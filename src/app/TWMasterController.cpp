#include "app/TWMasterController.h"
#include "app/TWMenus.h"

#include "app/TWBusinessController.h"
#include "app/TWControls.h"
#include "app/TWDocumentPrompts.h"
#include "app/TWIconCellView.h"
#include "app/TWMasterModel.h"
#include "app/TWMasterTotals.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "store/TWBusiness.h"
#include "store/TWClosedRefusals.h"
#include "store/TWDocumentNames.h"

#include <QApplication>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>

namespace
{

// The header of each family by the record kinds it holds (logical index).
int headerIndexForKind(quint32 kind)
{
    switch (kind) {
    case 1:
    case 5:
        return 0;
    case 9:
    case 10:
        return 1;
    case 2:
    case 6:
        return 3;
    case 3:
    case 7:
        return 4;
    case 4:
    case 8:
        return 5;
    default:
        return -1;
    }
}

quint32 expandedBit(quint32 headerType)
{
    switch (headerType) {
    case TWMasterItemAccountsHeader:
        return TWMasterExpandedAccounts;
    case TWMasterItemClientsHeader:
        return TWMasterExpandedClients;
    case TWMasterItemMerchantsHeader:
        return TWMasterExpandedMerchants;
    case TWMasterItemReportsHeader:
        return TWMasterExpandedReports;
    case TWMasterItemManageHeader:
        return TWMasterExpandedManage;
    case TWMasterItemFiltersHeader:
        return TWMasterExpandedFilters;
    case TWMasterItemFindHeader:
        return TWMasterExpandedFind;
    default:
        return 0;
    }
}

// The position of each manage entry below its header.
int managePosition(quint32 type)
{
    switch (type) {
    case TWMasterItemAutofill:
        return 0;
    case TWMasterItemBudget:
        return 1;
    case TWMasterItemFields:
        return 2;
    case TWMasterItemRepeats:
        return 3;
    case TWMasterItemUnits:
        return 4;
    case TWMasterItemValues:
        return 5;
    default:
        return -1;
    }
}

// An integer held by a stored settings entry; none for anything else.
std::optional<qint64> integerValue(const QVariantMap &map, const QString &key)
{
    const QVariant value = map.value(key);
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toLongLong();
    case QMetaType::Double: {
        const double number = value.toDouble();
        if (std::isfinite(number) && number == std::floor(number) && std::fabs(number) < 1e15)
            return qint64(number);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

TWMasterController::TWMasterController(QObject *parent) : QObject(parent)
{
}

TWMasterController::~TWMasterController()
{
    stopObserving();
    if (m_outline)
        m_outline->setOutlineDelegate(nullptr);
    if (m_splitter && !m_splitter->parent())
        delete m_splitter;
}

void TWMasterController::setBusiness(TWBusiness *business)
{
    m_business = business;
    m_totals = business ? std::make_unique<TWMasterTotals>(*business) : nullptr;
    if (m_model) {
        m_model->setBusiness(business);
        m_model->setTotals(m_totals.get());
    }
    if (m_outline)
        observe();
}

// ---- Split view of the outline and the summary panel ----

namespace
{

class TWSummarySplitterHandle final : public QSplitterHandle
{
public:
    TWSummarySplitterHandle(Qt::Orientation orientation, TWSummarySplitter *parent)
        : QSplitterHandle(orientation, parent), m_splitter(parent)
    {
    }

protected:
    void mouseDoubleClickEvent(QMouseEvent *) override { m_splitter->collapsePanel(); }

private:
    TWSummarySplitter *m_splitter;
};

} // namespace

QSplitterHandle *TWSummarySplitter::createHandle()
{
    return new TWSummarySplitterHandle(orientation(), this);
}

void TWSummarySplitter::collapsePanel()
{
    if (count() < 2)
        return;
    QList<int> sizes = this->sizes();
    sizes[0] += sizes[1];
    sizes[1] = 0;
    setSizes(sizes);
    emit panelResized(true);
}

QWidget *TWMasterController::view()
{
    if (m_splitter)
        return m_splitter;
    m_splitter = new TWSummarySplitter(Qt::Vertical);
    m_splitter->setObjectName(QStringLiteral("masterSplitter"));
    m_splitter->setChildrenCollapsible(true);
    m_splitter->setHandleWidth(1);
    m_outline = new TWOutlineView();
    m_outline->setObjectName(QStringLiteral("masterOutline"));
    m_outline->header()->hide();
    m_outline->setFrameShape(QFrame::NoFrame);
    m_outline->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_outline->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_outline->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_outline->setExpandsOnDoubleClick(false);
    m_outline->setContextMenuPolicy(Qt::DefaultContextMenu);
    m_outline->setOutlineDelegate(this);
    m_outline->setItemDelegate(new TWIconCellDelegate(m_outline));
    m_outline->setUniformRowHeights(true);
    m_outline->setIconSize(QSize(20, 20));
    // A record moves by drag and drop within its family.
    m_outline->setDragEnabled(true);
    m_outline->setAcceptDrops(true);
    m_outline->setDropIndicatorShown(true);
    m_outline->setDragDropMode(QAbstractItemView::DragDrop);
    m_outline->setDefaultDropAction(Qt::MoveAction);
    m_model = new TWMasterModel(this);
    m_model->setBusiness(m_business);
    m_model->setTotals(m_totals.get());
    connect(m_model, &TWMasterModel::masterItemMoved, this, [this](bool rebuild) {
        if (rebuild)
            update();
        else
            updateTotals();
    });
    connect(m_model, &TWMasterModel::dropFailed, this, [this](const TWError &error) {
        // The store rolled the drop back: show the list as the store has it.
        update();
        if (m_document)
            m_document->presentError(error);
        else
            TWDocumentPrompts::prompts().showError(error, m_outline->window());
    });
    m_outline->setModel(m_model);
    m_selection = new TWMasterSelectionModel(m_model, this);
    m_outline->setSelectionModel(m_selection);
    connect(m_selection, &QItemSelectionModel::selectionChanged, this,
            [this] { selectionDidChange(); });
    connect(m_outline, &QTreeView::expanded, this,
            [this](const QModelIndex &index) { itemExpansionChanged(index, true); });
    connect(m_outline, &QTreeView::collapsed, this,
            [this](const QModelIndex &index) { itemExpansionChanged(index, false); });
    connect(m_outline, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (m_document && m_model->node(index) && m_model->node(index)->isRecord())
            m_document->showInspector(false);
    });
    m_splitter->addWidget(m_outline);
    m_splitter->addWidget(makeSummaryPanel());
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    m_splitter->setCollapsible(0, false);
    m_splitter->setCollapsible(1, true);
    if (m_business && !m_business->showSummary())
        m_splitter->setSizes({1, 0});
    connect(m_splitter, &TWSummarySplitter::panelResized, this,
            [this](bool collapsed) { summaryResized(collapsed); });
    connect(m_splitter, &QSplitter::splitterMoved, this,
            [this] { summaryResized(summaryCollapsed()); });
    observe();
    return m_splitter;
}

const TWMasterItemList &TWMasterController::masterItems() const
{
    static const TWMasterItemList none;
    return m_model ? m_model->masterItems() : none;
}

// ---- Building ----

void TWMasterController::update()
{
    if (!view() || !m_business)
        return;
    const TWMasterItemList items = TWMasterTotals::masterItemsWithBusiness(*m_business);
    // Every row's amount is ready before the rows appear.
    m_totals->update(items);

    m_selectingInCode = true;
    m_model->setMasterItems(items);
    m_selectingInCode = false;
    updateSummary();
    expandAndSelectItems();
}

void TWMasterController::updateAddAccount(const TWAccountPtr &account)
{
    if (!account || !m_model)
        return;
    TWMasterItemPtr parent = account->parentIdentifier() != 0
                                 ? masterItemWithType(TWMasterItemEntity, TWItemTypeAccountGroup,
                                                      account->parentIdentifier())
                                 : nullptr;
    if (!parent)
        parent = masterItemAtIndex(0);
    if (!parent)
        return;
    m_model->appendNode(parent.get(),
                        TWMasterItem::masterItemWithType(TWMasterItemEntity, {}, account));
}

// ---- Expansion ----

void TWMasterController::setExpanded(const TWMasterItem &node, bool expanded)
{
    m_outline->setExpanded(m_model->indexOf(&node), expanded);
}

void TWMasterController::expandChildItems(const TWMasterItemPtr &node)
{
    if (!node || !node->childItems())
        return;
    for (const TWMasterItemPtr &child : *node->childItems()) {
        const auto group = std::dynamic_pointer_cast<TWGroup>(child->item());
        if (!group || !TWItem::isGroupType(group->type()))
            continue;
        setExpanded(*child, group->expanded());
        expandChildItems(child);
    }
}

void TWMasterController::expandAndSelectItems()
{
    m_restoring = true;
    const quint32 bits = m_business->masterExpanded();
    const std::pair<int, quint32> families[] = {{0, TWMasterExpandedAccounts},
                                                {1, TWMasterExpandedFilters},
                                                {3, TWMasterExpandedClients},
                                                {4, TWMasterExpandedMerchants},
                                                {5, TWMasterExpandedReports}};
    for (const auto &[index, bit] : families) {
        const TWMasterItemPtr header = masterItemAtIndex(index);
        if (!header)
            continue;
        header->setExpanded((bits & bit) != 0);
        setExpanded(*header, (bits & bit) != 0);
        expandChildItems(header);
    }
    if (const TWMasterItemPtr manage = masterItemAtIndex(6)) {
        manage->setExpanded((bits & TWMasterExpandedManage) != 0);
        setExpanded(*manage, manage->expanded());
    }
    if (const TWMasterItemPtr find = masterItemWithType(TWMasterItemFindHeader, 0, 0)) {
        find->setExpanded((bits & TWMasterExpandedFind) != 0);
        setExpanded(*find, find->expanded());
    }
    m_restoring = false;

    // The stored selection, as far as its records still exist.
    TWMasterItemList selected;
    if (const std::optional<QVariantList> &stored = m_business->selectedMasterItemSettings()) {
        for (const QVariant &entry : *stored) {
            if (entry.metaType().id() != QMetaType::QVariantMap)
                continue;
            const QVariantMap settings = entry.toMap();
            const std::optional<qint64> type = integerValue(settings, QStringLiteral("type"));
            if (!type || *type < 0 || *type > 14)
                continue;
            std::optional<qint64> subtype = 0;
            std::optional<qint64> identifier = 0;
            if (*type == TWMasterItemEntity) {
                subtype = integerValue(settings, QStringLiteral("subtype"));
                identifier = integerValue(settings, QStringLiteral("identifier"));
                if (!subtype || !identifier || *identifier < INT32_MIN || *identifier > INT32_MAX)
                    continue;
            }
            const TWMasterItemPtr node =
                masterItemWithType(quint32(*type), quint32(*subtype), qint32(*identifier));
            if (node && !selected.contains(node))
                selected.append(node);
        }
    }
    if (selected.isEmpty())
        if (const TWMasterItemPtr fallback = defaultMasterItem())
            selected.append(fallback);
    if (m_document)
        m_document->selectMasterItems(selected, true);
    else
        selectMasterItems(selected);
}

void TWMasterController::itemExpansionChanged(const QModelIndex &index, bool expanded)
{
    if (m_restoring || !m_business)
        return;
    TWMasterItem *node = m_model->node(index);
    if (!node)
        return;
    if (node->isHeader()) {
        node->setExpanded(expanded);
        const quint32 bit = expandedBit(node->type());
        const quint32 bits = m_business->masterExpanded();
        m_business->setMasterExpanded(expanded ? (bits | bit) : (bits & ~bit));
        return;
    }
    const auto group = std::dynamic_pointer_cast<TWGroup>(node->item());
    if (!group || !TWItem::isGroupType(group->type()))
        return;
    const bool before = group->expanded();
    group->setExpanded(expanded);
    if (const TWErrorResult error = m_business->updateGroupExpanded(group, true)) {
        // The row goes back to what the document keeps, and the user hears why.
        group->setExpanded(before);
        m_restoring = true;
        m_outline->setExpanded(index, before);
        m_restoring = false;
        if (m_document)
            m_document->presentError(*error);
        else
            TWDocumentPrompts::prompts().showError(*error, m_outline->window());
    }
}

// ---- Selection ----

QList<int> TWMasterController::selectedRows() const
{
    QList<int> rows;
    if (!m_selection)
        return rows;
    for (const QModelIndex &index : m_selection->selectedRows())
        rows.append(m_model->flatRow(m_model->node(index)));
    std::sort(rows.begin(), rows.end());
    return rows;
}

TWMasterItemPtr TWMasterController::sharedNode(const TWMasterItem *node) const
{
    if (!node || !m_model)
        return {};
    const TWMasterItem *parent = m_model->parentOf(node);
    const TWMasterItemList *list = parent ? parent->childItems().get() : &m_model->masterItems();
    if (!list)
        return {};
    for (const TWMasterItemPtr &candidate : *list)
        if (candidate.get() == node)
            return candidate;
    return {};
}

TWMasterItemList TWMasterController::masterItems(const QList<int> &rows, bool includeChildren) const
{
    TWMasterItemList nodes;
    if (!m_model)
        return nodes;
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    const QList<TWMasterItem *> &flat = m_model->flatNodes();
    for (int row : std::as_const(sorted))
        if (row >= 0 && row < flat.size())
            if (TWMasterItemPtr node = sharedNode(flat.at(row)))
                nodes.append(node);
    if (includeChildren)
        return nodes;
    TWMasterItemList roots;
    for (const TWMasterItemPtr &node : std::as_const(nodes))
        if (!node->hasParent(nodes))
            roots.append(node);
    return roots;
}

TWMasterItemPtr TWMasterController::selectedMasterItem() const
{
    const TWMasterItemList nodes = selectedMasterItems();
    return nodes.isEmpty() ? nullptr : nodes.first();
}

TWMasterItemList TWMasterController::selectedMasterItems() const
{
    return masterItems(selectedRows(), true);
}

TWMasterItemList TWMasterController::contextMasterItems() const
{
    return masterItems(m_contextRows, true);
}

void TWMasterController::selectMasterItems(const TWMasterItemList &items)
{
    if (!m_selection)
        return;
    QModelIndexList indexes;
    for (const TWMasterItemPtr &item : items) {
        const QModelIndex index = item ? m_model->indexOf(item.get()) : QModelIndex();
        if (index.isValid())
            indexes.append(index);
    }
    // A list not yet shown would scroll to (and open the headers above) its
    // current row when it appears; a window being built keeps the stored
    // expansion and opens at the top.
    const bool shown = m_outline->isVisible();
    m_selectingInCode = true;
    m_selection->selectExactly(indexes, shown);
    m_selectingInCode = false;
    if (!indexes.isEmpty() && shown)
        m_outline->scrollTo(indexes.first());
    selectionDidChange();
}

void TWMasterController::selectionDidChange()
{
    if (!m_business)
        return;
    const TWMasterItemList nodes = selectedMasterItems();
    if (nodes.isEmpty()) {
        if (!m_selectingInCode && m_document)
            m_document->selectMasterItems({}, false);
        m_business->setSelectedMasterItemSettings(std::nullopt);
        return;
    }
    const quint32 first = nodes.first()->type();
    const bool shows = (first >= TWMasterItemEntity && first <= TWMasterItemValues) ||
                       first == TWMasterItemSearchResults || first == TWMasterItemAutofill;
    if (shows && !m_selectingInCode && m_document)
        m_document->selectMasterItems(nodes, false);
    QVariantList settings;
    for (const TWMasterItemPtr &node : nodes)
        settings.append(node->settings());
    m_business->setSelectedMasterItemSettings(settings);
}

// ---- Lookup ----

TWMasterItemPtr TWMasterController::masterItemAtIndex(int index) const
{
    const TWMasterItemList &items = masterItems();
    const bool hasFind = m_business && m_business->advancedFindFilter();
    if (!hasFind && index > 1)
        --index;
    return index >= 0 && index < items.size() ? items.at(index) : nullptr;
}

TWMasterItemPtr TWMasterController::findRecord(const TWMasterItemPtr &node, int kind,
                                               qint32 identifier) const
{
    if (!node || !node->childItems())
        return {};
    for (const TWMasterItemPtr &child : *node->childItems()) {
        if (child->item() && int(child->item()->type()) == kind &&
            child->item()->identifier() == identifier)
            return child;
        if (TWMasterItemPtr found = findRecord(child, kind, identifier))
            return found;
    }
    return {};
}

TWMasterItemPtr TWMasterController::masterItemWithType(quint32 type, quint32 subtype,
                                                       qint32 identifier) const
{
    switch (type) {
    case TWMasterItemAccountsHeader:
        return masterItemAtIndex(0);
    case TWMasterItemClientsHeader:
        return masterItemAtIndex(3);
    case TWMasterItemMerchantsHeader:
        return masterItemAtIndex(4);
    case TWMasterItemReportsHeader:
        return masterItemAtIndex(5);
    case TWMasterItemManageHeader:
        return masterItemAtIndex(6);
    case TWMasterItemFiltersHeader:
        return masterItemAtIndex(1);
    case TWMasterItemFindHeader:
    case TWMasterItemSearchResults: {
        if (!m_business || !m_business->advancedFindFilter())
            return {};
        const TWMasterItemPtr find = masterItemAtIndex(2);
        if (type == TWMasterItemFindHeader)
            return find;
        return find && find->hasChildren() ? find->childItems()->first() : nullptr;
    }
    case TWMasterItemEntity: {
        const int header = headerIndexForKind(subtype);
        if (header < 0)
            return {};
        return findRecord(masterItemAtIndex(header), int(subtype), identifier);
    }
    default: {
        const int position = managePosition(type);
        const TWMasterItemPtr manage = masterItemAtIndex(6);
        if (position < 0 || !manage || !manage->childItems() ||
            position >= manage->childItems()->size())
            return {};
        return manage->childItems()->at(position);
    }
    }
}

TWMasterItemPtr TWMasterController::findParent(const TWMasterItemPtr &root,
                                               const TWMasterItem &node) const
{
    if (!root || !root->childItems())
        return {};
    for (const TWMasterItemPtr &child : *root->childItems()) {
        if (child.get() == &node)
            return root;
        if (TWMasterItemPtr found = findParent(child, node))
            return found;
    }
    return {};
}

TWMasterItemPtr TWMasterController::masterItemParent(const TWMasterItem &node) const
{
    return m_model ? sharedNode(m_model->parentOf(&node)) : nullptr;
}

TWMasterItemPtr TWMasterController::defaultMasterItem() const
{
    // The first account, searching each level before the groups below it.
    std::function<TWMasterItemPtr(const TWMasterItemPtr &)> search =
        [&search](const TWMasterItemPtr &parent) -> TWMasterItemPtr {
        if (!parent || !parent->childItems())
            return {};
        for (const TWMasterItemPtr &child : *parent->childItems())
            if (child->itemType() == TWItemTypeAccount)
                return child;
        for (const TWMasterItemPtr &child : *parent->childItems())
            if (TWMasterItemPtr found = search(child))
                return found;
        return {};
    };
    return search(masterItemAtIndex(0));
}

QRect TWMasterController::rectForMasterItem(const TWMasterItem &node) const
{
    if (!m_outline)
        return {};
    QRect rect = m_outline->visualRect(m_model->indexOf(&node));
    if (!rect.isValid())
        return {};
    // From the outline's rows into its scroll view, kept within the visible part.
    rect.translate(m_outline->viewport()->pos());
    const int top = 0;
    const int bottom = std::max(top, m_outline->height() - 20);
    rect.moveTop(std::clamp(rect.top(), top, bottom));
    return rect;
}

bool TWMasterController::hasFirstResponder() const
{
    QWidget *focus = QApplication::focusWidget();
    if (!m_outline || !focus)
        return false;
    return focus == m_outline || focus->isAncestorOf(m_outline) || m_outline->isAncestorOf(focus);
}

// ---- Context menu ----

QMenu *TWMasterController::contextMenu(const QPoint &position)
{
    m_contextRows.clear();
    if (m_outline) {
        const QModelIndex index = m_outline->indexAt(position);
        const int row = index.isValid() ? m_model->flatRow(m_model->node(index)) : -1;
        if (row >= 0) {
            const QList<int> selected = selectedRows();
            m_contextRows = selected.contains(row) ? selected : QList<int>{row};
        }
    }
    delete m_menu;
    m_menu = new QMenu(m_outline);
    // Every item is a context command of the document, which runs and
    // validates it.
    QPointer<TWBusinessController> document(m_document);
    const auto add = [document](QMenu *menu, const char *key, const char *name, int tag = 0) {
        const std::optional<TWAction> action = twActionFromName(QLatin1String(name));
        QAction *item = twMenuAction(menu, TWLocalized(key), action.value_or(TWAction::count), tag);
        item->setObjectName(QLatin1String(name));
        QObject::connect(item, &QAction::triggered, item, [document, item] {
            const std::optional<TWAction> command = twActionOf(item);
            if (document && command)
                document->perform(*command, twTagOf(item), item);
        });
        return item;
    };
    const auto validateOnShow = [document](QMenu *menu) {
        connect(menu, &QMenu::aboutToShow, menu, [document, menu] {
            if (!document)
                return;
            for (QAction *item : menu->actions())
                document->validateItem(item);
        });
    };
    add(m_menu, "newAccount", "doNewAccountContext");
    add(m_menu, "newFilter", "doNewFilterContext");
    add(m_menu, "newClient", "doNewClientContext");
    add(m_menu, "newMerchant", "doNewMerchantContext");
    add(m_menu, "newReport", "doNewReportContext");
    QMenu *group = m_menu->addMenu(TWLocalized("newGroup"));
    group->menuAction()->setObjectName(QStringLiteral("newGroup"));
    const char *const groupKeys[] = {"accountMenu", "filterMenu", "clientMenu", "merchantMenu",
                                     "reportMenu"};
    int groupTag = 0;
    for (const char *key : groupKeys)
        add(group, key, "doNewGroupContext", groupTag++);
    m_menu->addSeparator();
    const TWMasterItemList nodes = masterItems(m_contextRows, true);
    const bool oneRecord = nodes.size() == 1 && nodes.first()->isRecord();
    if (oneRecord) {
        add(m_menu, "showInspector", "doShowInspectorContext");
        m_menu->addSeparator();
    }
    if (nodes.size() >= 2 || oneRecord) {
        // Deleting several rows is the source list's own decision.
        QAction *remove = m_menu->addAction(TWLocalized("deleteMenu"));
        remove->setObjectName(QStringLiteral("doDeleteContext"));
        connect(remove, &QAction::triggered, this, [this] { deleteMaster(true); });
        m_menu->addSeparator();
    }
    QMenu *sort = m_menu->addMenu(TWLocalized("sortBy"));
    sort->menuAction()->setObjectName(QStringLiteral("sortBy"));
    add(sort, "name", "doMasterSortBy", 0);
    add(sort, "manually", "doMasterSortBy", 1);
    for (QMenu *menu : {m_menu.data(), group, sort})
        validateOnShow(menu);
    return m_menu;
}

QMenu *TWMasterController::outlineViewMenu(TWOutlineView *, const QPoint &position)
{
    return contextMenu(position);
}

bool TWMasterController::outlineViewDelete(TWOutlineView *)
{
    deleteMaster(false);
    return true;
}

// ---- Deleting ----

TWTransactionPtr TWMasterController::closedTransaction(const TWMasterItem &node) const
{
    const TWItemPtr &item = node.item();
    if (!item)
        return nullptr;
    const auto below = [&node](int kind) {
        return node.childItemsOfType(kind).value_or(TWItemList());
    };
    // A group answers for the first record below it that holds one.
    const auto first = [&below](int kind, const auto &held) -> TWTransactionPtr {
        for (const TWItemPtr &child : below(kind))
            if (TWTransactionPtr found = held(*child))
                return found;
        return nullptr;
    };
    TWBusiness &business = *m_business;
    const auto account = [&business](const TWItem &child) {
        return business.accountClosedTransaction(static_cast<const TWAccount &>(child));
    };
    const auto client = [&business](const TWItem &child) {
        return business.clientClosedTransaction(static_cast<const TWClient &>(child));
    };
    const auto merchant = [&business](const TWItem &child) {
        return business.merchantClosedTransaction(static_cast<const TWMerchant &>(child));
    };
    const auto filter = [&business](const TWItem &child) {
        return business.filterClosedTransaction(static_cast<const TWFilter &>(child));
    };
    switch (item->type()) {
    case TWItemTypeAccount:
        return account(*item);
    case TWItemTypeClient:
        return client(*item);
    case TWItemTypeMerchant:
        return merchant(*item);
    case TWItemTypeFilter:
        return filter(*item);
    case TWItemTypeAccountGroup:
        return first(TWItemTypeAccount, account);
    case TWItemTypeClientGroup:
        return first(TWItemTypeClient, client);
    case TWItemTypeMerchantGroup:
        return first(TWItemTypeMerchant, merchant);
    case TWItemTypeFilterGroup:
        return first(TWItemTypeFilter, filter);
    default:
        return nullptr;
    }
}

void TWMasterController::deleteMaster(bool context)
{
    if (!m_business || !m_outline)
        return;
    const QList<int> rows = context ? m_contextRows : selectedRows();
    const TWMasterItemList nodes = masterItems(rows, true);
    if (nodes.isEmpty())
        return;
    for (const TWMasterItemPtr &node : nodes)
        if (!node->isRecord())
            return;
    const char *message = "deleteItemsMessage";
    const char *button = "deleteItems";
    if (nodes.size() == 1) {
        switch (nodes.first()->itemType()) {
        case TWItemTypeAccount:
            message = "deleteAccountMessage", button = "deleteAccount";
            break;
        case TWItemTypeClient:
            message = "deleteClientMessage", button = "deleteClient";
            break;
        case TWItemTypeMerchant:
            message = "deleteMerchantMessage", button = "deleteMerchant";
            break;
        case TWItemTypeReport:
            message = "deleteReportMessage", button = "deleteReport";
            break;
        case TWItemTypeFilter:
            message = "deleteFilterMessage", button = "deleteFilter";
            break;
        default:
            message = "deleteGroupMessage", button = "deleteGroup";
            break;
        }
    }
    auto *alert = new QMessageBox(m_outline->window());
    alert->setObjectName(QStringLiteral("deleteMasterAlert"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->setIcon(QMessageBox::Warning);
    alert->setText(TWLocalized(message));
    alert->setInformativeText(deletedPaymentsText(nodes));
    QPushButton *confirm = alert->addButton(TWLocalized(button), QMessageBox::DestructiveRole);
    confirm->setObjectName(QStringLiteral("confirm"));
    QPushButton *cancel = alert->addButton(TWLocalized("cancel"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel"));
    alert->setDefaultButton(cancel);
    connect(alert, &QMessageBox::finished, this, [this, alert, confirm, rows] {
        if (alert->clickedButton() == confirm)
            deleteNodes(rows);
    });
    alert->open();
}

QString TWMasterController::deletedPaymentsText(const TWMasterItemList &nodes) const
{
    // A client takes its projects' invoices along, a merchant its bills, and
    // with them the money their payments moved. A group takes every client or
    // merchant below it, each counted once when it is also chosen on its own.
    TWClientList clients;
    TWMerchantList merchants;
    for (const TWItemPtr &item : TWMasterItem::childItems(nodes, TWItemTypeClient))
        clients.append(std::static_pointer_cast<TWClient>(item));
    for (const TWItemPtr &item : TWMasterItem::childItems(nodes, TWItemTypeMerchant))
        merchants.append(std::static_pointer_cast<TWMerchant>(item));
    if (clients.isEmpty() && merchants.isEmpty())
        return {};
    const TWInvoiceList invoices =
        m_business->invoicesWithProjects(m_business->projectsWithClients(clients));
    const TWBillList bills = m_business->billsWithMerchants(merchants);
    return twDeletedPaymentsText(m_business->paymentsDeletedWith(invoices, bills), *m_business,
                                 true);
}

void TWMasterController::deleteNodes(const QList<int> &rows)
{
    const TWMasterItemList nodes = masterItems(rows, false);
    for (const TWMasterItemPtr &node : nodes)
        if (!node->isRecord())
            return;
    // Every guard runs before anything is deleted, so a refusal leaves the
    // business as it was.
    for (const TWMasterItemPtr &node : nodes)
        if (const TWTransactionPtr held = closedTransaction(*node)) {
            TWDocumentPrompts::prompts().showMessage(twClosedDeleteText(*m_business, *held),
                                                     m_outline->window());
            return;
        }
    for (const TWMasterItemPtr &node : nodes) {
        const TWItemPtr item = node->item();
        TWErrorResult error;
        if (TWItem::isGroupType(item->type())) {
            error = m_business->deleteGroup(std::static_pointer_cast<TWGroup>(item), true);
        } else {
            switch (item->type()) {
            case TWItemTypeAccount:
                error = m_business->deleteAccount(std::static_pointer_cast<TWAccount>(item), true);
                break;
            case TWItemTypeClient: {
                const auto client = std::static_pointer_cast<TWClient>(item);
                if (m_document)
                    m_document->clientDeleted(client);
                error = m_business->deleteClient(client, true);
                break;
            }
            case TWItemTypeMerchant:
                error =
                    m_business->deleteMerchant(std::static_pointer_cast<TWMerchant>(item), true);
                break;
            case TWItemTypeReport:
                error = m_business->deleteReport(std::static_pointer_cast<TWReport>(item), true);
                break;
            case TWItemTypeFilter:
                error = m_business->deleteFilter(std::static_pointer_cast<TWFilter>(item), true);
                break;
            default:
                break;
            }
        }
        if (error) {
            // What was deleted before stays deleted; the list shows the store.
            update();
            if (m_document)
                m_document->presentError(*error);
            else
                TWDocumentPrompts::prompts().showError(*error, m_outline->window());
            return;
        }
        m_model->removeNode(node.get());
        if (m_document)
            m_document->updateChangeCount(0);
    }
}

// ---- Notifications ----

void TWMasterController::refreshManage(std::initializer_list<quint32> types)
{
    for (quint32 type : types)
        if (const TWMasterItemPtr node = masterItemWithType(type, 0, 0)) {
            m_totals->updateTotals(*node);
            m_model->refresh(node.get());
        }
}

// ---- Totals and colours ----

void TWMasterController::updateTotals()
{
    if (!m_model || !m_totals)
        return;
    // Accounts, filters, find (the filters again without it), clients and
    // merchants; reports and the manage entries keep theirs.
    QList<const TWMasterItem *> done;
    for (int index = 0; index < 5; ++index)
        if (const TWMasterItemPtr header = masterItemAtIndex(index);
            header && !done.contains(header.get())) {
            done.append(header.get());
            updateTotals(*header);
        }
}

void TWMasterController::updateTotals(const TWMasterItem &node)
{
    if (!m_model || !m_totals)
        return;
    m_totals->updateTotals(node);
    m_model->refreshSubtree(&node);
}

void TWMasterController::updateColours()
{
    if (!m_model)
        return;
    for (int index : {3, 4})
        if (const TWMasterItemPtr header = masterItemAtIndex(index))
            updateColours(*header);
}

void TWMasterController::updateColours(const TWMasterItem &node)
{
    // The colours follow the preferences whenever a row paints.
    if (m_model)
        m_model->refreshSubtree(&node);
}

QColor TWMasterController::itemColour(const TWMasterItem &node) const
{
    if (!m_totals || !m_model || !node.isRecord())
        return {};
    if (m_selection && m_selection->isSelected(m_model->indexOf(&node)))
        return {};
    return m_totals->colour(node);
}

// ---- Summary panel ----

QWidget *TWMasterController::makeSummaryPanel()
{
    auto *panel = new TWBackgroundView();
    panel->setObjectName(QStringLiteral("summaryPanel"));
    panel->setBackgroundColour(QColor::fromRgbF(0.88f, 0.88f, 0.88f, 1.0f));
    panel->setMinimumHeight(kSummaryHeight);
    panel->setMaximumHeight(kSummaryHeight);
    m_summary = panel;
    QFont small = panel->font();
    small.setPointSizeF(std::max(7.0, small.pointSizeF() * 0.85));
    panel->setFont(small);
    auto *grid = new QGridLayout(panel);
    grid->setContentsMargins(10, 6, 10, 8);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(0);
    const auto label = [panel](const QString &name, const QString &text, Qt::Alignment alignment) {
        auto *field = new QLabel(text, panel);
        field->setObjectName(name);
        field->setAlignment(alignment | Qt::AlignVCenter);
        return field;
    };
    // Amounts stay whole or show that they are cut, whatever the panel's width.
    const auto amount = [panel](const char *name, bool doubleUnderline = false) {
        TWAmountLabel *field =
            doubleUnderline ? new TWDoubleUnderlineLabel(panel) : new TWAmountLabel(panel);
        field->setObjectName(QLatin1String(name));
        field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return field;
    };
    QLabel *title =
        label(QStringLiteral("summaryLabel"), TWLocalized("summaryTitle"), Qt::AlignHCenter);
    QFont underlined = small;
    underlined.setUnderline(true);
    underlined.setBold(true);
    title->setFont(underlined);
    grid->addWidget(title, 0, 0, 1, 3);
    grid->addWidget(label(QStringLiteral("debitLabel"), TWLocalized("debit"), Qt::AlignRight), 1,
                    1);
    grid->addWidget(label(QStringLiteral("creditLabel"), TWLocalized("credit"), Qt::AlignRight), 1,
                    2);
    // Caption, value label name, column (1 debit side, 2 credit side), indent.
    struct Line {
        const char *caption;
        const char *captionKey;
        const char *value;
        int column;
        bool indented;
    };
    const Line lines[] = {
        {"assetsLabel", "assets", "assetsValueLabel", 1, false},
        {"accountsReceiveableLabel", "accountsReceivable", "accountsReceiveableValueLabel", 1,
         true},
        {"liabilitiesLabel", "liabilities", "liabilitiesValueLabel", 2, false},
        {"accountsPayableLabel", "accountsPayable", "accountsPayableValueLabel", 2, true},
        {"equitiesLabel", "summaryEquities", "equitiesValueLabel", 2, false},
        {"retainedEarningsLabel", nullptr, "retainedEarningsValueLabel", 2, true},
        {"netIncomeLabel", "summaryNetIncome", "netIncomeValueLabel", 2, true},
        {"incomeLabel", "income", "incomeValueLabel", 2, true},
        {"expensesLabel", "expenses", "expensesValueLabel", 1, true},
    };
    int row = 2;
    for (const Line &line : lines) {
        QLabel *caption =
            label(QLatin1String(line.caption),
                  line.captionKey ? TWLocalized(line.captionKey) : QString(), Qt::AlignLeft);
        if (line.indented)
            caption->setIndent(10);
        if (!line.captionKey)
            m_retainedEarningsLabel = caption;
        grid->addWidget(caption, row, 0);
        grid->addWidget(amount(line.value), row, line.column);
        ++row;
    }
    grid->addWidget(label(QStringLiteral("totalLabel"), TWLocalized("total"), Qt::AlignLeft), row,
                    0);
    grid->addWidget(amount("debitValueLabel", true), row, 1);
    grid->addWidget(amount("creditValueLabel", true), row, 2);
    grid->setRowStretch(row + 1, 1);
    grid->setColumnStretch(0, 1);

    // Businesses that close their periods into an account of their own name
    // the retained earnings after it; sole traders speak of owner's equity.
    if (m_business) {
        const TWBusinessInfoPtr &info = m_business->businessInfo();
        QString caption;
        if (info && info->nominalTransferAccountIdentifier() == 0 &&
            !info->retainedEarningsName().isEmpty())
            caption = info->retainedEarningsName();
        else
            caption = TWLocalized(info && info->type() == 0 ? "ownersEquity" : "retainedEarnings");
        m_retainedEarningsLabel->setText(caption);
    }
    return panel;
}

QLabel *TWMasterController::summaryValueLabel(const QString &name) const
{
    return m_summary ? m_summary->findChild<QLabel *>(name) : nullptr;
}

bool TWMasterController::summaryCollapsed() const
{
    return m_splitter && m_splitter->count() > 1 && m_splitter->sizes().value(1) == 0;
}

void TWMasterController::summaryResized(bool collapsed)
{
    if (m_business)
        m_business->setShowSummary(!collapsed);
}

void TWMasterController::updateSummary()
{
    if (!m_business || !m_summary)
        return;
    const TWAccountingPeriodPtr period = m_business->currentAccountingPeriod();
    if (!period)
        return;
    const TWBalanceSheetTotals totals =
        m_business->totalsWithAssets(period->endDate(), period->startDate(), period->endDate());
    const TWUnit *home = m_business->homeUnit().get();
    const auto money = [&](qint64 value) {
        return TWFormatter::formatter().valueString(value, home, true, true, false, true, false);
    };
    const std::pair<const char *, qint64> values[] = {
        {"assetsValueLabel", totals.assets},
        {"accountsReceiveableValueLabel", totals.accountsReceivable},
        {"liabilitiesValueLabel", totals.liabilities},
        {"accountsPayableValueLabel", totals.accountsPayable},
        {"equitiesValueLabel", totals.equities},
        {"retainedEarningsValueLabel", totals.retainedEarnings},
        {"netIncomeValueLabel", totals.netIncome},
        {"incomeValueLabel", totals.income},
        {"expensesValueLabel", totals.expenses},
        {"debitValueLabel", totals.assets},
        {"creditValueLabel", totals.equities + totals.liabilities},
    };
    for (const auto &[name, value] : values)
        if (auto *field = qobject_cast<TWAmountLabel *>(summaryValueLabel(QLatin1String(name))))
            field->setAmountText(money(value));
}

void TWMasterController::observe()
{
    stopObserving();
    if (!m_business)
        return;
    TWNotificationCenter &center = TWNotificationCenter::defaultCenter();
    const auto watch = [&](std::initializer_list<const char *> names,
                           std::initializer_list<quint32> types) {
        const std::vector<quint32> refreshed(types);
        for (const char *name : names)
            m_observers.push_back(center.addObserver(QLatin1String(name), m_business,
                                                     [this, refreshed](const TWNotification &) {
                                                         for (quint32 type : refreshed)
                                                             refreshManage({type});
                                                     }));
    };
    watch({"autofillUpdated"}, {TWMasterItemAutofill});
    watch({"budgetItemNew", "budgetItemUpdate", "budgetItemDelete", "budgetItemDeleteAll"},
          {TWMasterItemBudget});
    watch({"fieldNew", "fieldDelete", "fieldUpdate"}, {TWMasterItemAutofill, TWMasterItemFields});
    watch({"repeatNew", "repeatDelete"}, {TWMasterItemRepeats});
    watch({"unitNew", "unitDelete", "unitUpdate"}, {TWMasterItemUnits});
    watch({"valueNew", "valueDelete", "valueDeleteAll"}, {TWMasterItemValues});
    m_observers.push_back(center.addObserver(QStringLiteral("preferences"), nullptr,
                                             [this](const TWNotification &) { updateColours(); }));
}

void TWMasterController::stopObserving()
{
    for (TWNotificationCenter::Token token : m_observers)
        TWNotificationCenter::defaultCenter().removeObserver(token);
    m_observers.clear();
}
