#include "ledger/TWTransactionsController.h"

#include "ledger/TWRegisterColumns.h"
#include "ledger/TWRegisterSort.h"
#include "ledger/TWTransactionsDelegate.h"
#include "ledger/TWTransactionsModel.h"

#include "app/TWColumnWidths.h"
#include "app/TWMenus.h"
#include "app/TWTypedNumberField.h"

#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"
#include "model/TWBuiltInFields.h"
#include "model/TWFormatter.h"
#include "model/TWRelationship.h"
#include "model/TWRepeat.h"
#include "store/TWBusiness.h"
#include "store/TWDocumentReads.h"
#include "store/TWNotifications.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelection>
#include <QMainWindow>
#include <QMenu>
#include <QScopedValueRollback>
#include <QSet>
#include <QStyle>
#include <QVBoxLayout>

#include <array>
#include <optional>
#include <utility>

namespace
{

// The narrowest any column may be made by hand (the header's least section
// size). The register shows a column no narrower than its title, whatever
// the window: a scroll bar takes what does not fit.
constexpr int kLeastColumnWidth = 50;

// Fixed row height: every row is one line of the 12-point font.
constexpr int kRowHeight = 22;

} // namespace

TWTransactionsController::TWTransactionsController(QObject *parent)
    : TWLazyViewController<TWRegisterDetail>(parent)
{
}

TWTransactionsController::~TWTransactionsController()
{
    stopObserving();
    if (TWPreviewPanel::sharedPreviewPanelExists())
        TWPreviewPanel::sharedPreviewPanel()->forgetController(this, this, nullptr);
    if (m_document && m_document->delegate() == this)
        m_document->setDelegate(nullptr);
    delete m_view.data();
}

void TWTransactionsController::setBusiness(TWBusiness *business)
{
    if (business == m_business)
        return;
    stopObserving();
    TWRegisterDetail::setBusiness(business);
    if (m_model)
        m_model->setBusiness(business);
    if (m_view)
        observe();
}

void TWTransactionsController::setMode(TWRegisterMode mode)
{
    m_mode = mode;
    // The rows' colours depend on it (the import preview shows no locked or closed colour).
    if (m_model)
        m_model->setMode(mode);
}

void TWTransactionsController::build()
{
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("transactionsView"));
    auto *layout = new QVBoxLayout(m_view);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tableView = new TWTableView(m_view);
    m_tableView->setObjectName(QStringLiteral("transactionsTable"));
    if (!m_model) {
        m_model = new TWTransactionsModel(this);
        m_model->setMode(m_mode);
        m_model->setBusiness(m_business);
        m_model->setRows(&m_sortedTransactions);
        m_model->setTicks(&m_ticks);
        m_model->onCheckbox = [this](int row, int column, bool on) { doCheckbox(row, column, on); };
        m_delegate = new TWTransactionsDelegate(this);
        m_delegate->onButton = [this](const QModelIndex &index) {
            doButton(index.row(), index.column());
        };
    }
    m_tableView->setModel(m_model);
    m_tableView->setItemDelegate(m_delegate);
    m_tableView->setTableDelegate(this);
    m_tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tableView->setWordWrap(false);
    m_tableView->setShowGrid(false);
    m_tableView->setAlternatingRowColors(true);
    m_tableView->setTextElideMode(Qt::ElideRight);
    QFont font = m_tableView->font();
    font.setPointSize(12);
    m_tableView->setFont(font);
    QHeaderView *rows = m_tableView->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(kRowHeight);
    rows->setMinimumSectionSize(kRowHeight);
    QHeaderView *header = m_tableView->horizontalHeader();
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setMinimumSectionSize(kLeastColumnWidth);
    header->setStretchLastSection(false);
    header->setHighlightSections(false);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(m_tableView);
    m_tableView->viewport()->installEventFilter(this);

    m_headerMenu = new QMenu(m_tableView);
    m_headerMenu->setObjectName(QStringLiteral("registerHeaderMenu"));
    connect(m_headerMenu, &QMenu::aboutToShow, this, [this] {
        if (!m_document)
            return;
        for (QAction *item : m_headerMenu->actions()) {
            m_document->validateItem(item);
            if (item->menu())
                for (QAction *inner : item->menu()->actions())
                    m_document->validateItem(inner);
        }
    });
    connect(header, &QHeaderView::customContextMenuRequested, this,
            [this, header](const QPoint &p) {
                if (!m_headerMenu->isEmpty())
                    m_headerMenu->popup(header->mapToGlobal(p));
            });
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int logical) { headerClicked(logical); });
    connect(header, &QHeaderView::sectionMoved, this, [this] { columnMoved(); });
    connect(header, &QHeaderView::sectionResized, this,
            [this](int logical, int, int size) { columnResized(logical, size); });
    connect(header, &QHeaderView::sectionHandleDoubleClicked, this,
            [this, header](int logical) { header->resizeSection(logical, fittedWidth(logical)); });
    connect(m_tableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { selectionChanged(); });
    connect(m_tableView, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            tableViewSpace(m_tableView);
    });
    stopObserving();
    observe();
    updateHeaderMenu();
}

void TWTransactionsController::observe()
{
    if (!m_business)
        return;
    TWNotificationCenter &center = TWNotificationCenter::defaultCenter();
    for (const QString &name :
         {TWFieldNewNotification, TWFieldDeleteNotification, TWFieldUpdateNotification})
        m_observers.push_back(center.addObserver(
            name, m_business, [this](const TWNotification &) { updateHeaderMenu(); }));
    m_observers.push_back(
        center.addObserver(QStringLiteral("preferences"), nullptr, [this](const TWNotification &) {
            clearSelection();
            if (m_model)
                m_model->reload();
        }));
}

void TWTransactionsController::stopObserving()
{
    for (TWNotificationCenter::Token token : m_observers)
        TWNotificationCenter::defaultCenter().removeObserver(token);
    m_observers.clear();
}

// ---- Loading ----

void TWTransactionsController::update()
{
    if (!m_view)
        return;
    m_searchString.clear();
    m_hasDisplayedList = false;
    clearSelection();
    loadSettings();
    updateHeaderMenu();
    updateColumns();
    updateSortDescriptors();
    m_tableView->scrollToTop();
    updateTransactions();
    if (!m_restored)
        restoreFrame();
}

void TWTransactionsController::restoreFrame()
{
    if (m_document)
        m_document->updateCountTotalFrame();
    m_restored = true;
}

TWTransactionList TWTransactionsController::loadList()
{
    if (!m_business)
        return {};
    switch (m_mode) {
    case TWRegisterMode::Accounts:
        return m_business->transactionsForAccounts(m_accounts);
    case TWRegisterMode::Filters:
        return m_business->transactionsForFilters(m_filters);
    case TWRegisterMode::RepeatItems: {
        TWTransactionList list;
        if (!m_repeat)
            return list;
        for (const TWRepeatItem &item :
             m_business->itemsWithRepeatIdentifier(m_repeat->identifier()))
            if (const TWTransactionPtr t = item.record<TWTransaction>())
                // A row of its own, so the balance never lands in the stored object.
                list.append(t->transactionForActiveAccount(t->account1Identifier(), 0));
        return list;
    }
    case TWRegisterMode::InvoicePayments:
        return m_business->transactionsWithInvoices(m_invoices);
    case TWRegisterMode::BillPayments:
        return m_business->transactionsWithBills(m_bills);
    case TWRegisterMode::AllTransactions:
        return m_accounts.isEmpty() ? m_business->allTransactions()
                                    : m_business->transactionsForAccounts(m_accounts);
    default:
        return {};
    }
}

bool TWTransactionsController::loadedForTheseDocuments() const
{
    if (!m_business || m_loadedRevision == 0 || m_mode != m_loadedMode)
        return false;
    if (m_mode == TWRegisterMode::InvoicePayments)
        return m_invoices == m_loadedInvoices;
    if (m_mode == TWRegisterMode::BillPayments)
        return m_bills == m_loadedBills;
    return false;
}

bool TWTransactionsController::loadedPaymentsStand() const
{
    return loadedForTheseDocuments() && m_business->readingRevision() == m_loadedRevision &&
           m_business->transactionStamp() == m_loadedStamp;
}

bool TWTransactionsController::replaceWrittenPayments()
{
    if (!loadedForTheseDocuments())
        return false;
    const std::optional<QList<qint32>> written =
        m_business->transactionsWrittenSince(m_loadedRevision, m_loadedStamp);
    if (!written)
        return false;
    // With nothing but transactions written, the documents link to the same transactions: each
    // row of one written takes a copy of the view its document now holds, as loading makes it.
    const bool invoices = m_mode == TWRegisterMode::InvoicePayments;
    // A transaction seen from one account and line.
    using ViewKey = std::pair<qint64, qint32>;
    const auto keyOf = [](const TWTransaction &view) {
        return ViewKey((qint64(view.identifier()) << 32) | quint32(view.activeAccountIdentifier()),
                       view.activeSplitIdentifier());
    };
    const QSet<qint32> writtenSet(written->cbegin(), written->cend());
    QHash<ViewKey, TWTransactionPtr> fresh;
    for (const qint32 identifier : *written) {
        const TWTransactionPtr stored = m_business->transactionWithIdentifier(identifier);
        if (!stored)
            return false;
        for (const TWRelationshipPtr &link : m_business->relationshipsWithTransaction(
                 *stored,
                 invoices ? TWRelationshipTypeInvoicePayment : TWRelationshipTypeBillPayment)) {
            const qint32 document = link->childIdentifier();
            const TWInvoicePtr invoice =
                invoices ? m_business->invoiceWithIdentifier(document) : nullptr;
            const TWBillPtr bill = invoices ? nullptr : m_business->billWithIdentifier(document);
            // Only a document read in this update holds what the store holds now.
            if ((!invoice || !TWDocumentReadScope::wasRead(*m_business, invoice->readings())) &&
                (!bill || !TWDocumentReadScope::wasRead(*m_business, bill->readings())))
                continue;
            for (const TWTransactionPtr &view :
                 invoice ? invoice->transactions() : bill->transactions())
                if (view && view->identifier() == identifier)
                    fresh.insert(keyOf(*view), view);
        }
    }
    // Every row found first: one not found leaves the rows as they were, to be loaded again.
    QList<std::pair<qsizetype, TWTransactionPtr>> replacements;
    for (qsizetype at = 0; at < m_transactions.size(); ++at) {
        const TWTransactionPtr &row = m_transactions.at(at);
        if (!row || !writtenSet.contains(row->identifier()))
            continue;
        const auto view = fresh.constFind(keyOf(*row));
        if (view == fresh.cend())
            return false;
        replacements.append(
            {at, (*view)->transactionForActiveAccount((*view)->activeAccountIdentifier(),
                                                      (*view)->activeSplitIdentifier())});
    }
    if (!replacements.isEmpty()) {
        for (auto &[at, copy] : replacements)
            m_transactions[at] = std::move(copy);
        TWTransaction::sortTransactions(m_transactions);
        m_business->updateBalance(m_transactions);
    }
    return true;
}

void TWTransactionsController::updateTransactions()
{
    if (m_mode != TWRegisterMode::Nothing && m_mode != TWRegisterMode::ImportPreview &&
        !loadedPaymentsStand() && !replaceWrittenPayments()) {
        TWTransactionList list = loadList();
        if (m_business)
            m_business->updateBalance(list);
        if (m_business && m_mode >= TWRegisterMode::Accounts &&
            m_mode <= TWRegisterMode::RepeatItems) {
            QDateTime from, to;
            const qint32 range = m_business->transactionRangeType();
            if (range >= TWDateRangeThisWeek && range <= TWDateRangeLastAccountingPeriod) {
                m_business->dateRange(range, &from, &to);
            } else if (range == TWDateRangeCustom) {
                from = m_business->transactionRangeFromDate();
                to = m_business->transactionRangeToDate();
            }
            if (from.isValid() || to.isValid()) {
                // By calendar day, both bounds included.
                const quint32 first = from.isValid() ? TWDateAdditions::dateValue(from) : 0;
                const quint32 last = to.isValid() ? TWDateAdditions::dateValue(to) : UINT32_MAX;
                list.removeIf([&](const TWTransactionPtr &t) {
                    const quint32 day = t->dayValue();
                    return day < first || day > last;
                });
            }
        }
        m_transactions = list;
        m_loadedRevision = m_business ? m_business->readingRevision() : 0;
        m_loadedMode = m_mode;
        m_loadedInvoices = m_invoices;
        m_loadedBills = m_bills;
    }
    m_loadedStamp = m_business ? m_business->transactionStamp() : 0;
    measureAmounts();
    fitColumns();
    m_sortedTransactions.clear();
    m_hasDisplayedList = false;
    const QString search = m_searchString;
    m_searchString.clear();
    filterAndSort(search);
}

void TWTransactionsController::filterAndSort(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (!trimmed.isEmpty()) {
        const bool narrow =
            !m_searchString.isNull() && m_hasDisplayedList && trimmed.startsWith(m_searchString);
        if (!narrow)
            m_sortedTransactions = m_transactions;
        m_searchString = trimmed;
        if (m_business) {
            const QString upper = trimmed.toUpper();
            // One context for the whole search, not one per row.
            TWTransactionSearchContext context = m_business->transactionSearchContext();
            // A row's totals are mostly one amount in one unit: the texts of
            // the last few amounts are kept, so each is made once per row. A
            // search with a character no amount of that unit ever shows (a
            // letter) cannot begin an amount's text: none is made at all.
            struct Recent {
                qint64 amount = 0;
                const TWUnit *unit = nullptr;
                QString text;
            };
            auto recent = std::make_shared<std::array<Recent, 4>>();
            auto next = std::make_shared<size_t>(0);
            auto fits = std::make_shared<QHash<const TWUnit *, bool>>();
            context.moneyText = [recent, next, fits, upper,
                                 format = context.moneyText](qint64 amount, const TWUnitPtr &unit) {
                auto fit = fits->constFind(unit.get());
                if (fit == fits->constEnd()) {
                    // Every digit, the sign and the separators of this unit.
                    const QString sample = format(-1234567890123, unit) + format(9876543210, unit);
                    fit = fits->insert(
                        unit.get(), std::all_of(upper.begin(), upper.end(),
                                                [&sample](QChar c) { return sample.contains(c); }));
                }
                if (!*fit)
                    return QString();
                for (const Recent &entry : *recent)
                    if (entry.unit == unit.get() && entry.amount == amount && entry.unit)
                        return entry.text;
                Recent &slot = (*recent)[(*next)++ % recent->size()];
                slot = {amount, unit.get(), format(amount, unit)};
                return slot.text;
            };
            m_sortedTransactions.removeIf(
                [&](const TWTransactionPtr &t) { return !t->searchString(upper, context); });
        }
    } else {
        m_searchString = QString();
        m_sortedTransactions = m_transactions;
    }
    m_hasDisplayedList = true;
    sortRows();
    m_selectedRows.clear();
    m_selectedTransactions.clear();
    if (m_model) {
        m_model->reload();
        updateSortDescriptors();
    }
    if (m_document)
        m_document->updateCountTotal();
}

void TWTransactionsController::sortRows()
{
    if (m_settings && m_business) {
        TWRegisterSorter sorter(*m_business, TWRegisterColumns::sortField(*m_settings),
                                TWRegisterColumns::sortAscending(*m_settings), m_ticks);
        sorter.sort(m_sortedTransactions);
    }
    rebuildRowIndex();
}

void TWTransactionsController::rebuildRowIndex()
{
    m_rowOfIdentifier.clear();
    m_rowOfIdentifier.reserve(m_sortedTransactions.size());
    for (qsizetype row = m_sortedTransactions.size() - 1; row >= 0; --row)
        m_rowOfIdentifier.insert(m_sortedTransactions[row]->identifier(), int(row));
}

// ---- Rows and selection ----

TWTransactionList TWTransactionsController::transactionsForRowIndexes(const QList<int> &rows) const
{
    TWTransactionList result;
    result.reserve(rows.size());
    for (int row : rows)
        if (row >= 0 && row < m_sortedTransactions.size())
            result.append(m_sortedTransactions[row]);
    return result;
}

QList<int>
TWTransactionsController::rowIndexesForTransactions(const TWTransactionList &transactions) const
{
    // A flag per row keeps this linear: select-all hands in every row.
    std::vector<bool> picked(size_t(m_sortedTransactions.size()), false);
    qsizetype count = 0;
    for (const TWTransactionPtr &t : transactions) {
        if (!t)
            continue;
        const auto found = m_rowOfIdentifier.constFind(t->identifier());
        if (found != m_rowOfIdentifier.constEnd() && !picked[size_t(*found)]) {
            picked[size_t(*found)] = true;
            ++count;
        }
    }
    QList<int> rows;
    rows.reserve(count);
    for (size_t row = 0; row < picked.size(); ++row)
        if (picked[row])
            rows.append(int(row));
    return rows;
}

bool TWTransactionsController::holdsPaymentsOf(const TWInvoiceList &invoices) const
{
    return m_mode == TWRegisterMode::InvoicePayments && loadedForTheseDocuments() &&
           m_business->readingRevision() == m_loadedRevision && m_loadedInvoices == invoices;
}

int TWTransactionsController::transactionRow(const TWTransactionPtr &transaction) const
{
    return transaction ? m_rowOfIdentifier.value(transaction->identifier(), -1) : -1;
}

TWTransactionPtr TWTransactionsController::transactionAtRow(int row) const
{
    return row >= 0 && row < m_sortedTransactions.size() ? m_sortedTransactions[row] : nullptr;
}

int TWTransactionsController::fieldColumn(const TWFieldPtr &field) const
{
    if (!m_model || !field)
        return -1;
    const TWFieldList &columns = m_model->columns();
    for (qsizetype i = 0; i < columns.size(); ++i)
        if (columns[i]->identifier() == field->identifier())
            return int(i);
    return -1;
}

TWFieldPtr TWTransactionsController::fieldAtColumn(int column) const
{
    if (!m_model || column < 0 || column >= m_model->columns().size())
        return nullptr;
    return m_model->columns()[column];
}

void TWTransactionsController::clearSelection()
{
    m_selectedRows.clear();
    m_selectedTransactions.clear();
    if (m_tableView) {
        const QScopedValueRollback guard(m_selectionIsChanging, true);
        m_tableView->clearSelection();
    }
}

void TWTransactionsController::applySelection(const QList<int> &rows)
{
    if (!m_tableView || !m_model)
        return;
    const QScopedValueRollback guard(m_selectionIsChanging, true);
    QItemSelection selection;
    const int lastColumn = m_model->columnCount() - 1;
    if (lastColumn >= 0) {
        for (qsizetype i = 0; i < rows.size();) {
            qsizetype j = i;
            while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
                ++j;
            selection.select(m_model->index(rows[i], 0), m_model->index(rows[j], lastColumn));
            i = j + 1;
        }
    }
    m_tableView->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TWTransactionsController::selectionChanged()
{
    if (m_selectionIsChanging || !m_tableView)
        return;
    const QScopedValueRollback guard(m_selectionIsChanging, true);
    QList<int> rows;
    for (const QItemSelectionRange &range : m_tableView->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    if (!std::is_sorted(rows.begin(), rows.end()))
        std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows == m_selectedRows)
        return;
    // A transaction listed twice (a transfer in a group register) selects its first row.
    const QList<int> mapped = rowIndexesForTransactions(transactionsForRowIndexes(rows));
    if (mapped != rows) {
        m_selectionIsChanging = false;
        applySelection(mapped);
        m_selectionIsChanging = true;
    }
    m_selectedRows = mapped;
    m_selectedTransactions = transactionsForRowIndexes(mapped);
    if (m_document) {
        m_document->updateDetailButtonsEnabled();
        m_document->updateCountTotal();
    }
}

void TWTransactionsController::selectTransactions(const TWTransactionList &transactions)
{
    const QList<int> rows = rowIndexesForTransactions(transactions);
    if (rows.isEmpty())
        return;
    applySelection(rows);
    m_selectedRows = rows;
    m_selectedTransactions = transactionsForRowIndexes(rows);
    if (m_tableView) {
        // A reload just before leaves the scroll range of the old row count until the view
        // lays out its items; without that a new last row could never be scrolled to.
        m_tableView->doItemsLayout();
        m_tableView->scrollTo(m_model->index(rows.first(), 0));
    }
    if (m_document) {
        m_document->updateDetailButtonsEnabled();
        m_document->updateCountTotal();
    }
}

TWTransactionList TWTransactionsController::selectedTransactionsContext(bool context) const
{
    return context ? transactionsForRowIndexes(m_contextRows) : m_selectedTransactions;
}

bool TWTransactionsController::hasSelectedTransaction(bool context, bool single, bool multiple,
                                                      bool related) const
{
    const QList<int> &rows = context ? m_contextRows : m_selectedRows;
    const qsizetype count = rows.size();
    const bool holds = single ? count == 1 : (multiple ? count > 1 : count >= 1);
    if (!holds || !related)
        return holds;
    if (count != 1 || !m_business)
        return false;
    const TWTransactionPtr t = transactionAtRow(rows.first());
    if (!t)
        return false;
    return t->repeatIdentifier() != 0 ||
           !m_business->relationshipsWithTransaction(*t, 0).isEmpty() ||
           !m_business->relationshipsWithTransaction(*t, 3).isEmpty();
}

bool TWTransactionsController::canDeleteItem(bool context) const
{
    return hasSelectedTransaction(context, false, false, false);
}

bool TWTransactionsController::hasFirstResponder() const
{
    if (!m_tableView)
        return false;
    const QWidget *focus = QApplication::focusWidget();
    return focus && (focus == m_tableView || m_tableView->isAncestorOf(focus));
}

bool TWTransactionsController::isEnabled() const
{
    return m_tableView && m_tableView->isEnabled();
}

void TWTransactionsController::setEnabled(bool enabled)
{
    view();
    m_tableView->setEnabled(enabled);
}

// ---- Import preview ----

void TWTransactionsController::setImportSelectedTransactions(const TWTransactionList &transactions)
{
    m_importSelected = transactions;
    m_ticks.clear();
    for (const TWTransactionPtr &t : transactions)
        m_ticks.insert(t.get());
}

TWTransactionList TWTransactionsController::sortedImportTransactions() const
{
    TWTransactionList result;
    for (const TWTransactionPtr &t : m_sortedTransactions)
        if (m_ticks.contains(t.get()))
            result.append(t);
    return result;
}

void TWTransactionsController::updateTransaction(const TWTransactionPtr &old,
                                                 const TWTransactionPtr &edited)
{
    if (!old || !edited)
        return;
    const qsizetype index = m_transactions.indexOf(old);
    if (index >= 0) {
        m_transactions[index] = edited;
        m_loadedRevision = 0;
    }
    const qsizetype ticked = m_importSelected.indexOf(old);
    if (ticked >= 0) {
        m_importSelected[ticked] = edited;
        m_ticks.remove(old.get());
        m_ticks.insert(edited.get());
    }
    updateTransactions();
}

// ---- Columns ----

void TWTransactionsController::loadSettings()
{
    m_settings =
        m_business ? m_business->columnSettings(TWColumnSettingsViewTransactions) : std::nullopt;
    if (m_mode == TWRegisterMode::Accounts && m_parentItems.isEmpty())
        m_settings.reset(); // nothing to show, nothing to save
}

void TWTransactionsController::saveSettings()
{
    if (m_settings && m_business)
        m_business->updateColumnSettings(TWColumnSettingsViewTransactions, *m_settings);
}

qint64 TWTransactionsController::settingsViewIdentifier() const
{
    return TWRegisterColumns::viewIdentifier(m_mode, m_parentItems);
}

TWFieldList TWTransactionsController::fieldsForColumns(const QList<TWRegisterColumn> &columns) const
{
    TWFieldList fields;
    for (const TWRegisterColumn &column : columns)
        if (TWFieldPtr field =
                m_business ? m_business->fieldWithIdentifier(column.identifier) : nullptr)
            fields.append(field);
    return fields;
}

void TWTransactionsController::updateColumns()
{
    if (!m_model || !m_tableView)
        return;
    const QScopedValueRollback guard(m_updatingColumns, true);
    QList<TWRegisterColumn> columns;
    if (m_mode != TWRegisterMode::Nothing &&
        !(m_mode == TWRegisterMode::Accounts && m_parentItems.isEmpty()) && m_settings)
        columns = TWRegisterColumns::visibleColumns(*m_settings, m_mode, settingsViewIdentifier());
    std::optional<std::uint32_t> type;
    if (m_mode == TWRegisterMode::BillPayments)
        type = 9;
    else if (m_mode == TWRegisterMode::InvoicePayments)
        type = 1;
    else if (m_mode == TWRegisterMode::Accounts && m_parentItems.size() == 1 &&
             m_parentItems.first() && m_parentItems.first()->type() == TWItemTypeAccount)
        if (const auto account = std::dynamic_pointer_cast<TWAccount>(m_parentItems.first()))
            type = account->accountType();
    m_model->setDebitCreditAccountType(type);
    const TWFieldList fields = fieldsForColumns(columns);
    m_model->setColumns(fields);
    QHeaderView *header = m_tableView->horizontalHeader();
    // The model's order is the column order: undo any earlier visual move.
    for (int logical = 0; logical < header->count(); ++logical)
        if (header->visualIndex(logical) != logical)
            header->moveSection(header->visualIndex(logical), logical);
    m_storedWidths.clear();
    m_draggedWidths.clear();
    // The import sheet's lists show every column in a sheet's width: a width
    // dragged in a register is where they start, never one they keep, so
    // that their amounts show. One dragged in the sheet itself is kept.
    const bool sheetList =
        m_mode == TWRegisterMode::ImportPreview || m_mode == TWRegisterMode::AllTransactions;
    for (const TWRegisterColumn &entry : columns) {
        if (!m_business || !m_business->fieldWithIdentifier(entry.identifier))
            continue;
        m_storedWidths.append(int(std::lround(entry.width)));
        m_draggedWidths.append(entry.dragged && !sheetList);
    }
    fitColumns();
}

namespace
{

// An amount column: its text must never be cut.
bool isAmountField(const TWField &field)
{
    if (field.type() == TWFieldTypeCurrency || field.type() == TWFieldTypePercentTotal)
        return true;
    if (field.type() != TWFieldTypeStandard)
        return false;
    const qint32 identifier = field.identifier();
    return identifier == TWFieldIdentifierDebit || identifier == TWFieldIdentifierCredit ||
           identifier == TWFieldIdentifierBalance || identifier == TWFieldIdentifierTotal;
}

// How a column gives way when the register is short of room: the payee,
// the description and the notes down to their titles, so that the amounts
// show whole; the accounts keep their widths.
TWColumnFit::Kind columnKind(const TWField &field)
{
    if (TWRegisterColumns::hasFixedContent(field))
        return TWColumnFit::Fixed;
    if (isAmountField(field))
        return TWColumnFit::Amount;
    const qint32 identifier = field.identifier();
    const bool text =
        field.type() == TWFieldTypeText ||
        (field.type() == TWFieldTypeStandard &&
         (identifier == TWFieldIdentifierPayee || identifier == TWFieldIdentifierDescription ||
          identifier == TWFieldIdentifierNotes));
    return text ? TWColumnFit::Text : TWColumnFit::Kept;
}

// The amount a row shows in an amount column, if any.
std::optional<qint64> shownAmount(const TWTransaction &t, const TWField &field)
{
    if (field.type() != TWFieldTypeStandard) {
        const TWFieldValuePtr value = t.fieldValueWithIdentifier(field.identifier());
        return value ? std::optional<qint64>(value->currency()) : std::nullopt;
    }
    switch (field.identifier()) {
    case TWFieldIdentifierBalance:
        return t.balance();
    case TWFieldIdentifierDebit:
    case TWFieldIdentifierCredit: {
        const TWRegisterDebitCredit amounts = twRegisterDebitCredit(t);
        const qint64 value =
            field.identifier() == TWFieldIdentifierDebit ? amounts.debit : amounts.credit;
        return value ? std::optional<qint64>(value) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

// Room around a cell's text.
constexpr int kCellPadding = 16;

// A fitted column's start: its title and some room, at least 50.
int fittedTitleWidth(const QString &title, const QWidget *header)
{
    return title.isEmpty() ? 50 : std::max(50, header->fontMetrics().horizontalAdvance(title) + 20);
}

} // namespace

void TWTransactionsController::measureAmounts()
{
    m_widestAmounts.clear();
    m_fixedFits.clear();
    if (!m_model || !m_tableView || !m_business)
        return;
    for (int column = 0; column < m_model->columns().size(); ++column)
        if (const TWFieldPtr field = fieldAtColumn(column);
            field && TWRegisterColumns::hasFixedContent(*field))
            m_fixedFits.insert(field->identifier(), fixedContentWidth(column));
    // The widest text is that of the largest or the most negative amount
    // (parentheses or a sign): only those two rows per column are formatted,
    // so a register of any length is measured in one pass without text.
    // Hidden columns are measured when they are shown.
    const QFontMetrics metrics(m_tableView->font());
    m_widestIdentifier = 0;
    quint32 largestIdentifier = 0;
    for (const TWTransactionPtr &t : std::as_const(m_transactions))
        largestIdentifier = std::max(largestIdentifier, quint32(t->identifier()));
    if (largestIdentifier > 0)
        m_widestIdentifier =
            metrics.horizontalAdvance(QString::number(largestIdentifier)) + kCellPadding;
    for (const TWFieldPtr &field : m_model->columns()) {
        if (!field || !isAmountField(*field))
            continue;
        const TWTransaction *largest = nullptr;
        const TWTransaction *smallest = nullptr;
        qint64 high = 0, low = 0;
        for (const TWTransactionPtr &t : std::as_const(m_transactions)) {
            const std::optional<qint64> amount = shownAmount(*t, *field);
            if (!amount)
                continue;
            if (!largest || *amount > high) {
                largest = t.get();
                high = *amount;
            }
            if (!smallest || *amount < low) {
                smallest = t.get();
                low = *amount;
            }
        }
        int widest = 0;
        for (const TWTransaction *t : {largest, smallest})
            if (t)
                widest = std::max(widest, metrics.horizontalAdvance(m_model->cellText(*t, *field)));
        if (widest > 0)
            m_widestAmounts.insert(field->identifier(), widest + kCellPadding);
    }
}

int TWTransactionsController::contentWidth(const TWField &field) const
{
    if (!m_tableView)
        return 0;
    // No column narrower than a column may be (the header's least width); a
    // text, a tick or a repeat may be cut to it.
    int width = kLeastColumnWidth;
    if (isAmountField(field))
        width = std::max(width, m_widestAmounts.value(field.identifier(), 0));
    // A date is as wide as the widest date of the format.
    if (field.type() == TWFieldTypeDate ||
        (field.type() == TWFieldTypeStandard && field.identifier() == TWFieldIdentifierDate))
        width = std::max(width, QFontMetrics(m_tableView->font())
                                        .horizontalAdvance(TWFormatter::formatter().shortDateString(
                                            QDateTime(QDate(2000, 12, 28), QTime(12, 0)))) +
                                    kCellPadding);
    // The largest number.
    if (field.type() == TWFieldTypeStandard && field.identifier() == TWFieldIdentifierIdentifier)
        width = std::max(width, m_widestIdentifier);
    return width;
}

int TWTransactionsController::minimumWidth(int column) const
{
    const TWFieldPtr field = fieldAtColumn(column);
    if (!field || !m_tableView)
        return 50;
    const QHeaderView *header = m_tableView->horizontalHeader();
    const int width = twHeaderTitleWidth(header, m_model->headerTitle(*field),
                                         header->sortIndicatorSection() == column);
    return std::max({width, contentWidth(*field), 50});
}

void TWTransactionsController::fitColumns()
{
    if (!m_model || !m_tableView)
        return;
    const QScopedValueRollback guard(m_updatingColumns, true);
    QList<TWColumnFit> fits;
    const int count = int(std::min<qsizetype>(m_storedWidths.size(), m_model->columns().size()));
    for (int column = 0; column < count; ++column) {
        const TWFieldPtr field = fieldAtColumn(column);
        fits.append({m_storedWidths.at(column), minimumWidth(column),
                     field ? columnKind(*field) : TWColumnFit::Kept,
                     field ? m_fixedFits.value(field->identifier(), 0) : 0,
                     m_draggedWidths.value(column), field ? contentWidth(*field) : 0});
    }
    twFitColumns(m_tableView, fits);
}

bool TWTransactionsController::eventFilter(QObject *watched, QEvent *event)
{
    if (twViewportWidthChanged(m_tableView, watched, event))
        fitColumns();
    return TWRegisterDetail::eventFilter(watched, event);
}

void TWTransactionsController::updateSortDescriptors()
{
    if (!m_tableView || !m_settings)
        return;
    const QScopedValueRollback guard(m_updatingColumns, true);
    QHeaderView *header = m_tableView->horizontalHeader();
    const qint32 field = TWRegisterColumns::sortField(*m_settings);
    int section = -1;
    for (int i = 0; i < m_model->columns().size(); ++i)
        if (m_model->columns()[i]->identifier() == field)
            section = i;
    const bool moved = header->sortIndicatorSection() != section;
    header->setSortIndicator(section, TWRegisterColumns::sortAscending(*m_settings)
                                          ? Qt::AscendingOrder
                                          : Qt::DescendingOrder);
    // The arrow takes room in the column it moved to.
    if (moved)
        fitColumns();
}

void TWTransactionsController::headerClicked(int logical)
{
    if (m_updatingColumns || !m_settings)
        return;
    const TWFieldPtr field = fieldAtColumn(logical);
    if (!field)
        return;
    const bool same = TWRegisterColumns::sortField(*m_settings) == field->identifier();
    const bool ascending = same ? !TWRegisterColumns::sortAscending(*m_settings) : true;
    TWRegisterColumns::setSortField(*m_settings, field->identifier());
    TWRegisterColumns::setSortAscending(*m_settings, ascending);
    saveSettings();
    resortKeepingSelection();
}

void TWTransactionsController::resortKeepingSelection()
{
    const TWTransactionList selected = m_selectedTransactions;
    filterAndSort(m_searchString);
    if (!selected.isEmpty())
        selectTransactions(selected);
}

void TWTransactionsController::updateSortBy(const TWFieldPtr &field, bool updateDescriptors)
{
    if (!m_settings || !field)
        return;
    TWRegisterColumns::setSortField(*m_settings, field->identifier());
    saveSettings();
    if (updateDescriptors) {
        updateSortDescriptors();
        resortKeepingSelection();
    }
}

void TWTransactionsController::updateSortDirection(bool ascending, bool updateDescriptors)
{
    if (!m_settings)
        return;
    TWRegisterColumns::setSortAscending(*m_settings, ascending);
    saveSettings();
    if (updateDescriptors) {
        updateSortDescriptors();
        resortKeepingSelection();
    }
}

void TWTransactionsController::toggleFieldVisible(const TWFieldPtr &field)
{
    if (m_mode == TWRegisterMode::ImportPreview || m_mode == TWRegisterMode::AllTransactions ||
        !field || !m_settings)
        return;
    if (TWRegisterColumns::toggleFieldVisible(*m_settings, field->identifier(),
                                              settingsViewIdentifier()))
        saveSettings();
    updateColumns();
    measureAmounts();
    fitColumns();
    updateSortDescriptors();
}

void TWTransactionsController::columnMoved()
{
    if (m_updatingColumns || m_mode == TWRegisterMode::ImportPreview ||
        m_mode == TWRegisterMode::AllTransactions || !m_settings)
        return;
    QHeaderView *header = m_tableView->horizontalHeader();
    QList<qint32> order;
    for (int visual = 0; visual < header->count(); ++visual)
        if (const TWFieldPtr field = fieldAtColumn(header->logicalIndex(visual)))
            order.append(field->identifier());
    TWRegisterColumns::moveColumns(*m_settings, order, settingsViewIdentifier());
    saveSettings();
}

void TWTransactionsController::columnResized(int logical, int newSize)
{
    if (m_updatingColumns || !m_settings)
        return;
    // The user's width is the column's from now on, kept exactly.
    if (logical >= 0 && logical < m_storedWidths.size()) {
        m_storedWidths[logical] = newSize;
        m_draggedWidths[logical] = true;
    }
    if (const TWFieldPtr field = fieldAtColumn(logical))
        if (TWRegisterColumns::setWidth(*m_settings, field->identifier(), newSize))
            saveSettings();
}

int TWTransactionsController::fittedWidth(int column) const
{
    const TWFieldPtr field = fieldAtColumn(column);
    if (!field || !m_tableView)
        return 50;
    const qint32 identifier = field->identifier();
    const bool standard = field->type() == TWFieldTypeStandard;
    if (standard && identifier == TWFieldIdentifierAttachments)
        return 50;
    const int header =
        fittedTitleWidth(m_model->headerTitle(*field), m_tableView->horizontalHeader());
    if (TWTransactionsModel::isCheckboxField(*field))
        return std::max(header, 50);
    if ((standard && identifier == TWFieldIdentifierDate) || field->type() == TWFieldTypeDate)
        return std::max(header, 80);
    if (standard &&
        (identifier == TWFieldIdentifierDateCreated || identifier == TWFieldIdentifierDateModified))
        return std::max(header, 100);
    if ((standard &&
         (identifier == TWFieldIdentifierTotal || identifier == TWFieldIdentifierUnit)) ||
        field->type() > TWFieldTypePercentTotal)
        return header;
    int padding = 20;
    if (standard && (identifier == TWFieldIdentifierDebit || identifier == TWFieldIdentifierCredit))
        padding = 10;
    else if (standard && identifier == TWFieldIdentifierRepeat)
        padding = 40;
    const QFontMetrics metrics(m_tableView->font());
    int widest = header;
    for (const TWTransactionPtr &t : m_sortedTransactions) {
        const QString text = m_model->cellText(*t, *field);
        if (!text.isEmpty())
            widest = std::max(widest, metrics.horizontalAdvance(text) + padding);
    }
    return widest;
}

int TWTransactionsController::fixedContentWidth(int column) const
{
    const TWFieldPtr field = fieldAtColumn(column);
    if (!field || !m_tableView)
        return 0;
    const qint32 identifier = field->identifier();
    if (field->type() != TWFieldTypeStandard ||
        (identifier != TWFieldIdentifierIdentifier && identifier != TWFieldIdentifierRepeat))
        return fittedWidth(column);
    // The number and the repeat fitted without measuring every row: the
    // largest number is the widest, and each repeat's text is measured once.
    const QFontMetrics metrics(m_tableView->font());
    int widest = fittedTitleWidth(m_model->headerTitle(*field), m_tableView->horizontalHeader());
    if (identifier == TWFieldIdentifierIdentifier) {
        const TWTransaction *largest = nullptr;
        for (const TWTransactionPtr &t : std::as_const(m_transactions))
            if (!largest || t->identifier() > largest->identifier())
                largest = t.get();
        if (largest)
            widest = std::max(widest,
                              metrics.horizontalAdvance(m_model->cellText(*largest, *field)) + 20);
        return widest;
    }
    QSet<qint32> measured;
    for (const TWTransactionPtr &t : std::as_const(m_transactions)) {
        if (!t->repeatIdentifier() || measured.contains(t->repeatIdentifier()))
            continue;
        measured.insert(t->repeatIdentifier());
        const QString text = m_model->cellText(*t, *field);
        if (!text.isEmpty())
            widest = std::max(widest, metrics.horizontalAdvance(text) + 40);
    }
    return widest;
}

void TWTransactionsController::updateHeaderMenu()
{
    if (!m_headerMenu)
        return;
    m_headerMenu->clear();
    // clear() leaves the last "sortBy" menu a child of the header menu; one
    // would pile up at every reload. Later, as its item may have asked for this.
    for (QMenu *old : m_headerMenu->findChildren<QMenu *>(Qt::FindDirectChildrenOnly))
        old->deleteLater();
    if (m_mode == TWRegisterMode::ImportPreview || m_mode == TWRegisterMode::AllTransactions ||
        !m_business)
        return;
    const auto perform = [this](QAction *item, TWAction action, int tag) {
        QPointer<QAction> guarded(item);
        connect(item, &QAction::triggered, this, [this, guarded, action, tag] {
            if (m_document && guarded)
                m_document->perform(action, tag, guarded);
        });
    };
    const TWFieldList fields = m_business->sortedFields();
    for (const TWFieldPtr &field : fields) {
        QAction *item =
            twMenuAction(m_headerMenu, twShownAsWritten(field->name()),
                         TWAction::doColumnAccountContext, 0, QVariant::fromValue(field));
        item->setCheckable(true);
        perform(item, TWAction::doColumnAccountContext, 0);
    }
    m_headerMenu->addSeparator();
    QMenu *sortBy = m_headerMenu->addMenu(TWLocalized("sortBy"));
    for (const TWFieldPtr &field : fields) {
        QAction *item =
            twMenuAction(sortBy, twShownAsWritten(field->name()), TWAction::doSortByAccountContext,
                         0, QVariant::fromValue(field));
        item->setCheckable(true);
        perform(item, TWAction::doSortByAccountContext, 0);
    }
    sortBy->addSeparator();
    for (int tag : {0, 1}) {
        QAction *item = twMenuAction(sortBy, TWLocalized(tag == 0 ? "ascending" : "descending"),
                                     TWAction::doSortDirectionAccountContext, tag);
        item->setCheckable(true);
        perform(item, TWAction::doSortDirectionAccountContext, tag);
    }
}

bool TWTransactionsController::tableViewHasContextMenu(QMenu *menu) const
{
    for (QMenu *m = menu; m; m = qobject_cast<QMenu *>(m->parent())) {
        if (m == m_headerMenu || (m_contextMenu && m == m_contextMenu))
            return true;
    }
    return false;
}
