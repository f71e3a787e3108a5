#include "ledger/TWRepeatsController.h"

#include "ledger/TWRepeatsModel.h"
#include "ledger/TWTransactionsController.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"

#include "foundation/TWLocalized.h"
#include "ledger/TWLedgerTables.h"
#include "store/TWBusiness.h"
#include "store/TWClosedRefusals.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>

namespace
{

// Each pane keeps at least this much height.
constexpr int kMinimumPaneHeight = 100;

bool holdsFocus(const QWidget *widget)
{
    const QWidget *focus = QApplication::focusWidget();
    return widget && focus && (focus == widget || widget->isAncestorOf(focus));
}

} // namespace

TWRepeatsController::TWRepeatsController(QObject *parent)
    : TWLazyViewController<TWRepeatsDetail>(parent)
{
    m_model = new TWRepeatsModel(this);
}

TWRepeatsController::~TWRepeatsController()
{
    // The lower lists' views may sit in the split view or lie outside it
    // (replaced); each list controller takes care of its own view.
    if (m_splitter) {
        for (TWDetailController *list :
             {static_cast<TWDetailController *>(m_register), m_invoices, m_merchants}) {
            if (!list)
                continue;
            QWidget *lower = list->view();
            if (lower && lower->parent() == m_splitter)
                lower->setParent(nullptr);
        }
    }
    delete m_register;
    delete m_invoices;
    delete m_merchants;
    delete m_view.data();
}

void TWRepeatsController::build()
{
    m_view = new QWidget();
    m_view->setObjectName(QStringLiteral("TWRepeats"));
    m_splitter = new QSplitter(Qt::Vertical, m_view);
    m_splitter->setObjectName(QStringLiteral("splitView"));
    m_splitter->setChildrenCollapsible(false);

    m_model->setBusiness(m_business);
    m_table = new TWTableView(m_splitter);
    twUseSingleLineRows(m_table);
    m_table->setObjectName(QStringLiteral("repeatsTableView"));
    m_table->setModel(m_model);
    m_table->setTableDelegate(this);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->setMinimumHeight(kMinimumPaneHeight);
    m_table->setSortingEnabled(true);
    QHeaderView *header = m_table->horizontalHeader();
    header->setStretchLastSection(true);
    header->setSortIndicator(TWRepeatsModel::NextItemColumn, Qt::AscendingOrder);
    // The header's click sorts the model (a reload without selection); the
    // list below follows.
    connect(header, &QHeaderView::sortIndicatorChanged, this, [this] { updateItems(); });
    connect(header, &QHeaderView::sectionHandleDoubleClicked, this, [this](int column) {
        m_table->horizontalHeader()->resizeSection(
            column, m_model->fittedWidth(column, m_table->fontMetrics(),
                                         m_table->horizontalHeader()->fontMetrics()));
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateItems(); });
    m_table->installEventFilter(this);
    m_splitter->addWidget(m_table);

    // The register of the items, in its repeat-items mode.
    TWDetailController *items =
        TWAppRegistry::registry().makeDetailController(TWDetailTransactionsAccounts, this);
    m_register = qobject_cast<TWRegisterDetail *>(items);
    if (!m_register)
        delete items;
    if (m_register) {
        m_register->setBusinessController(m_document);
        m_register->setBusiness(m_business);
        m_register->setMode(TWRegisterMode::RepeatItems);
        QWidget *lower = m_register->view();
        lower->setMinimumHeight(kMinimumPaneHeight);
        m_splitter->addWidget(lower);
    } else {
        auto *empty = new QWidget(m_splitter);
        empty->setMinimumHeight(kMinimumPaneHeight);
        m_splitter->addWidget(empty);
    }
    m_activeRepeatType = 0;
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] {
        if (m_restored && m_business)
            m_business->setRepeatDividerPosition(m_splitter->sizes().value(0));
    });

    auto *layout = new QVBoxLayout(m_view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_splitter);
}

void TWRepeatsController::setBusinessController(TWBusinessController *controller)
{
    TWRepeatsDetail::setBusinessController(controller);
    for (TWDetailController *list :
         {static_cast<TWDetailController *>(m_register), m_invoices, m_merchants})
        if (list)
            list->setBusinessController(controller);
}

void TWRepeatsController::setBusiness(TWBusiness *business)
{
    TWRepeatsDetail::setBusiness(business);
    m_model->setBusiness(business);
    for (TWDetailController *list :
         {static_cast<TWDetailController *>(m_register), m_invoices, m_merchants})
        if (list)
            list->setBusiness(business);
}

bool TWRepeatsController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_table && event->type() == QEvent::Resize && m_restored && m_business &&
        m_splitter)
        m_business->setRepeatDividerPosition(m_splitter->sizes().value(0));
    return TWRepeatsDetail::eventFilter(watched, event);
}

void TWRepeatsController::restoreFrame()
{
    if (!m_view || !m_business)
        return;
    const int top = std::max(kMinimumPaneHeight, int(m_business->repeatDividerPosition()));
    const int total = m_splitter->height();
    m_splitter->setSizes({top, std::max(kMinimumPaneHeight, total - top)});
    m_restored = true;
}

void TWRepeatsController::update()
{
    if (!m_view)
        return;
    m_model->setBusiness(m_business);
    {
        // Opening the view sorts by next item whatever was chosen before.
        const QSignalBlocker blocker(m_table->horizontalHeader());
        m_table->horizontalHeader()->setSortIndicator(TWRepeatsModel::NextItemColumn,
                                                      Qt::AscendingOrder);
    }
    m_model->setSortKey(QStringLiteral("nextItem"), true);
    m_model->setRepeats(m_business ? m_business->repeats() : TWRepeatList());
    fitColumnsOnce();
    m_table->scrollToTop();
    updateItems();
}

void TWRepeatsController::fitColumnsOnce()
{
    // Fixed default widths cut account names short while leaving the right of
    // the table empty: the first time there are schedules, each column takes
    // the width its texts need. Later the user's widths stay as they are.
    if (m_columnsFitted || m_model->rowCount() == 0)
        return;
    QHeaderView *header = m_table->horizontalHeader();
    for (int column = 0; column < m_model->columnCount(); ++column)
        header->resizeSection(
            column, m_model->fittedWidth(column, m_table->fontMetrics(), header->fontMetrics()));
    m_columnsFitted = true;
}

void TWRepeatsController::sort()
{
    if (!m_view)
        return;
    m_model->sortByKey(m_model->sortKeyInUse(), m_model->ascending());
}

QList<int> TWRepeatsController::selectedRows() const
{
    QList<int> rows;
    if (!m_table || !m_table->selectionModel())
        return rows;
    for (const QModelIndex &index : m_table->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TWRepeatsController::selectRows(const QList<int> &rows)
{
    QItemSelection selection;
    for (int row : rows) {
        if (row >= 0 && row < m_model->rowCount())
            selection.select(m_model->index(row, 0),
                             m_model->index(row, TWRepeatsModel::ColumnCount - 1));
    }
    m_table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TWRepeatsController::updateRepeatsAndTransactions()
{
    if (!m_view)
        return;
    const QList<int> rows = selectedRows();
    const TWRepeatPtr before = selectedRepeat();
    QList<qint32> below;
    if (before && before->type() != TWRepeatTypeTransaction) {
        TWDetailController *list = before->type() == TWRepeatTypeInvoice ? m_invoices : m_merchants;
        if (auto *items = dynamic_cast<TWRepeatItemsList *>(list))
            below = items->selectedItemIdentifiers();
        else if (auto *merchants = dynamic_cast<TWMerchantDetail *>(list))
            for (const TWBillPtr &bill : merchants->selectedBills())
                below.append(bill->identifier());
    }
    QList<qint32> selected;
    for (const int row : rows)
        if (const TWRepeatPtr repeat = m_model->repeatAtRow(row))
            selected.append(repeat->identifier());
    m_model->setRepeats(m_business ? m_business->repeats() : TWRepeatList());
    // The selection stays with its schedules when the order changed under them (a command would
    // otherwise act on another schedule); only when they are gone does it keep the row places.
    QList<int> kept;
    for (const qint32 identifier : std::as_const(selected))
        if (const int row = m_model->rowOfRepeat(identifier); row >= 0)
            kept.append(row);
    if (!kept.isEmpty())
        selectRows(kept);
    else if (!rows.isEmpty())
        selectRows(rows);
    updateItems();
    const TWRepeatPtr now = selectedRepeat();
    if (!now || now->type() == TWRepeatTypeTransaction || below.isEmpty())
        return;
    TWDetailController *list = now->type() == TWRepeatTypeInvoice ? m_invoices : m_merchants;
    if (auto *items = dynamic_cast<TWRepeatItemsList *>(list)) {
        items->selectItemWithIdentifier(below.first());
    } else if (auto *merchants = dynamic_cast<TWMerchantDetail *>(list)) {
        for (const TWBillPtr &bill : merchants->bills())
            if (bill->identifier() == below.first())
                merchants->selectBill(bill);
    }
}

void TWRepeatsController::selectRepeat(const TWRepeatPtr &repeat)
{
    if (!m_view || !repeat)
        return;
    const int row = m_model->rowOfRepeat(repeat->identifier());
    if (row >= 0) {
        selectRows({row});
        m_table->scrollTo(m_model->index(row, 0));
    }
}

TWRepeatPtr TWRepeatsController::selectedRepeat() const
{
    const QList<int> rows = selectedRows();
    return rows.isEmpty() ? nullptr : m_model->repeatAtRow(rows.first());
}

int TWRepeatsController::selectedRepeatKind() const
{
    const TWRepeatPtr repeat = selectedRepeat();
    return repeat ? int(repeat->type()) : 0;
}

TWDetailController *TWRepeatsController::lowerList(int type)
{
    TWDetailController *&list = type == TWRepeatTypeInvoice ? m_invoices : m_merchants;
    if (!list) {
        TWAppRegistry &registry = TWAppRegistry::registry();
        list = type == TWRepeatTypeInvoice ? registry.makeInvoiceList(this)
                                           : registry.makeMerchantsView(this);
        list->setBusinessController(m_document);
        list->setBusiness(m_business);
        list->view()->setMinimumHeight(kMinimumPaneHeight);
    }
    return list;
}

void TWRepeatsController::updateItems()
{
    if (!m_view)
        return;
    const TWRepeatPtr repeat = selectedRepeat();
    const int type = repeat ? int(repeat->type()) : TWRepeatTypeTransaction;
    QWidget *lower = nullptr;
    if (type == TWRepeatTypeInvoice || type == TWRepeatTypeBill) {
        TWDetailController *list = lowerList(type);
        if (auto *items = dynamic_cast<TWRepeatItemsList *>(list))
            items->setRepeat(repeat);
        list->update();
        lower = list->view();
    } else if (m_register) {
        if (auto *items = dynamic_cast<TWRepeatItemsList *>(m_register))
            items->setRepeat(repeat);
        else if (auto *transactions = qobject_cast<TWTransactionsController *>(m_register))
            transactions->setRepeat(repeat);
        m_register->update();
        lower = m_register->view();
    }
    if (type != m_activeRepeatType && lower && m_splitter->count() > 1 &&
        m_splitter->widget(1) != lower) {
        const QList<int> sizes = m_splitter->sizes();
        QWidget *old = m_splitter->replaceWidget(1, lower);
        if (old && !old->parent() && old != (m_register ? m_register->view() : nullptr) &&
            old != (m_invoices ? m_invoices->view() : nullptr) &&
            old != (m_merchants ? m_merchants->view() : nullptr))
            old->deleteLater(); // the placeholder of a missing register
        lower->show();
        m_splitter->setSizes(sizes);
    }
    m_activeRepeatType = type;
    if (m_document)
        m_document->updateCountTotal();
}

TWRegisterDetail *TWRepeatsController::transactionsController() const
{
    switch (selectedRepeatKind()) {
    case TWRepeatTypeInvoice: {
        auto *invoices = dynamic_cast<TWInvoicesList *>(m_invoices);
        return invoices ? invoices->transactionsController() : nullptr;
    }
    case TWRepeatTypeBill: {
        auto *merchants = dynamic_cast<TWMerchantDetail *>(m_merchants);
        return merchants ? merchants->transactionsController() : nullptr;
    }
    default:
        return m_register;
    }
}

TWInvoicesList *TWRepeatsController::invoicesController() const
{
    return dynamic_cast<TWInvoicesList *>(m_invoices);
}

TWValidatedList *TWRepeatsController::merchantController() const
{
    return dynamic_cast<TWValidatedList *>(m_merchants);
}

bool TWRepeatsController::repeatsHasFirstResponder() const
{
    return holdsFocus(m_table);
}

bool TWRepeatsController::itemsHasFirstResponder() const
{
    switch (selectedRepeatKind()) {
    case TWRepeatTypeInvoice:
        return invoicesHasFirstResponder();
    case TWRepeatTypeBill:
        return m_merchants && holdsFocus(m_merchants->view());
    default:
        return m_register && m_register->hasFirstResponder();
    }
}

bool TWRepeatsController::invoicesHasFirstResponder() const
{
    return m_invoices && holdsFocus(m_invoices->view());
}

bool TWRepeatsController::hasFirstResponder() const
{
    return repeatsHasFirstResponder() || itemsHasFirstResponder();
}

bool TWRepeatsController::validationQuery(TWQuery query, bool context) const
{
    if (query == TWQuery::CanDeleteRepeat)
        return canDeleteRepeat(context);
    return false;
}

bool TWRepeatsController::canDeleteRepeat(bool context) const
{
    return context ? !m_contextRows.isEmpty() : !selectedRows().isEmpty();
}

TWRepeatPtr TWRepeatsController::contextRepeat(bool context) const
{
    if (!context)
        return selectedRepeat();
    return m_contextRows.isEmpty() ? nullptr : m_model->repeatAtRow(m_contextRows.first());
}

bool TWRepeatsController::tableViewDelete(TWTableView *)
{
    deleteRepeat(false);
    return true;
}

QMenu *TWRepeatsController::contextMenuForRow(int row)
{
    if (row < 0 || row >= m_model->rowCount()) {
        m_contextRows = selectedRows();
        return nullptr;
    }
    const QList<int> selection = selectedRows();
    m_contextRows = selection.contains(row) ? selection : QList<int>{row};
    auto *menu = new QMenu();
    QAction *action = menu->addAction(TWLocalized("deleteRepeat"));
    connect(action, &QAction::triggered, this, [this] { deleteRepeat(true); });
    return menu;
}

QMenu *TWRepeatsController::tableViewMenu(TWTableView *table, const QPoint &position)
{
    QMenu *menu = contextMenuForRow(table->rowAt(position.y()));
    if (menu) {
        // The view does not own the menu: it goes once closed.
        menu->setParent(m_view, menu->windowFlags());
        connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater, Qt::QueuedConnection);
    }
    return menu;
}

void TWRepeatsController::deleteRepeat(bool context)
{
    if (!m_view)
        return;
    TWAlert alert;
    alert.message = TWLocalized("deleteRepeatTitle");
    alert.buttons = {TWLocalized("deleteRepeat"), TWLocalized("cancel"),
                     TWLocalized("deleteRepeatAndReleatedItems")};
    alert.window = m_view->window();
    QPointer<TWRepeatsController> self(this);
    twRunAlert(alert, [self, context](int code) {
        if (self)
            self->deleteRepeatAnswered(code, context);
    });
}

void TWRepeatsController::deleteRepeatAnswered(int returnCode, bool context)
{
    const TWRepeatPtr repeat = contextRepeat(context);
    if (!repeat || !m_business || (returnCode != 1000 && returnCode != 1002)) {
        update();
        return;
    }
    TWBusiness &business = *m_business;
    TWErrorResult error;
    if (returnCode == 1000) {
        error = business.deleteRepeat(repeat, true);
    } else {
        if (const TWTransactionPtr held = business.repeatClosedTransaction(*repeat)) {
            twRunNotice(twClosedDeleteText(business, *held), m_view ? m_view->window() : nullptr);
            return;
        }
        switch (repeat->type()) {
        case TWRepeatTypeInvoice:
            error = business.deleteRepeatInvoices(repeat, true);
            break;
        case TWRepeatTypeBill:
            error = business.deleteRepeatBills(repeat, true);
            break;
        default:
            error = business.deleteRepeatTransactions(repeat, true);
            break;
        }
    }
    // What the store refused is said; nothing of it was deleted.
    if (error)
        presentError(*error);
    else if (m_document)
        m_document->updateChangeCount(0);
    update();
}

void TWRepeatsController::presentError(const TWError &error)
{
    if (m_document)
        m_document->presentError(error);
    emit errorPresented(error);
}
