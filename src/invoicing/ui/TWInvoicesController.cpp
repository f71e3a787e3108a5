#include "invoicing/ui/TWInvoicesController.h"

#include "invoicing/ui/TWInvoiceController.h"
#include "invoicing/ui/TWInvoicesModel.h"
#include "invoicing/ui/TWSendInvoiceController.h"

#include "app/TWBusinessController.h"
#include "app/TWColumnWidths.h"
#include "app/TWListViews.h"
#include "app/TWSplitPanes.h"
#include "ledger/TWTransactionsController.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "store/TWBusiness.h"
#include "store/TWDocumentReads.h"
#include "store/TWOwing.h"
#include "store/TWWorkTotals.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QToolButton>
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

QToolButton *barButton(QWidget *bar, const QString &icon, const QString &themeIcon,
                       const QString &title)
{
    auto *button = new QToolButton(bar);
    QIcon image = icon.isEmpty() ? QIcon::fromTheme(themeIcon) : QIcon(icon);
    if (image.isNull())
        button->setText(title);
    else
        button->setIcon(image);
    button->setToolTip(title);
    button->setAutoRaise(true);
    return button;
}

QLabel *lineLabel(QWidget *bar, const char *name)
{
    auto *label = new QLabel(bar);
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

TWInvoicesController::TWInvoicesController(QObject *parent)
    : TWLazyViewController<TWInvoiceListDetail>(parent)
{
    m_model = new TWInvoicesModel(this);
    m_model->checkboxToggled = [this](int row, int tag, bool on) { doCheckbox(row, tag, on); };
}

TWInvoicesController::~TWInvoicesController()
{
    if (m_preferencesObserver)
        TWNotificationCenter::defaultCenter().removeObserver(m_preferencesObserver);
    // The view may have gone with its window before this object.
    if (m_view && m_table)
        m_table->setTableDelegate(nullptr);
    delete m_invoiceController;
    delete m_sendController;
    // The pane's view lives in ours; its controller goes first, then the view
    // (unless the window took it already).
    delete m_transactionsController;
    if (m_view && !m_view->parent())
        delete m_view.data();
}

void TWInvoicesController::setBusinessController(TWBusinessController *controller)
{
    TWInvoiceListDetail::setBusinessController(controller);
    if (m_transactionsController)
        m_transactionsController->setBusinessController(controller);
}

void TWInvoicesController::setBusiness(TWBusiness *business)
{
    TWInvoiceListDetail::setBusiness(business);
    m_model->setBusiness(business);
    if (m_transactionsController)
        m_transactionsController->setBusiness(business);
}

void TWInvoicesController::setMode(int mode)
{
    m_mode = mode == ModeRepeat ? ModeRepeat : ModeProjects;
    applyMode();
}

void TWInvoicesController::setProjects(const TWProjectList &projects)
{
    m_projects = projects;
}

void TWInvoicesController::setRepeat(const TWRepeatPtr &repeat)
{
    m_repeat = repeat;
    setMode(ModeRepeat);
}

void TWInvoicesController::build()
{
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("TWInvoices"));
    auto *outer = new QVBoxLayout(m_view);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    m_splitter = new QSplitter(Qt::Vertical, m_view);
    m_splitter->setObjectName(QStringLiteral("invoicesSplitView"));
    m_splitter->setChildrenCollapsible(false);
    outer->addWidget(m_splitter);

    // The invoices with their bar.
    m_invoicesView = new QWidget(m_splitter);
    m_invoicesView->setMinimumHeight(kMinimumPaneHeight);
    auto *upper = new QVBoxLayout(m_invoicesView);
    upper->setContentsMargins(0, 0, 0, 0);
    upper->setSpacing(0);
    m_table = new TWTableView(m_invoicesView);
    m_table->setObjectName(QStringLiteral("invoicesTableView"));
    m_table->setModel(m_model);
    m_delegate = new TWInvoicesDelegate(m_table);
    m_table->setItemDelegate(m_delegate);
    m_table->setTableDelegate(this);
    m_table->setUpAsRecordList();
    QHeaderView *header = m_table->horizontalHeader();
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setMinimumSectionSize(50);
    header->setStretchLastSection(false);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    m_headerMenu = new QMenu(m_table);
    connect(header, &QWidget::customContextMenuRequested, this, [this](const QPoint &position) {
        if (!m_headerMenu->isEmpty())
            m_headerMenu->popup(m_table->horizontalHeader()->mapToGlobal(position));
    });
    connect(header, &QHeaderView::sectionMoved, this, [this] { sectionMoved(); });
    m_table->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sectionResized, this,
            [this](int logical, int, int size) { sectionResized(logical, size); });
    connect(header, &QHeaderView::sectionHandleDoubleClicked, this, [this](int logical) {
        const int tag = m_model->tagOfColumn(logical);
        if (tag >= 0)
            m_table->horizontalHeader()->resizeSection(logical, sizeToFitWidth(tag));
    });
    connect(header, &QHeaderView::sortIndicatorChanged, this,
            &TWInvoicesController::sortIndicatorChanged);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { selectionChanged(); });
    connect(m_table, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        // A click on a check box is not a request to edit.
        if (index.isValid() && m_model->flags(index).testFlag(Qt::ItemIsUserCheckable))
            return;
        doEdit();
    });
    connect(m_delegate, &TWInvoicesDelegate::repeatClicked, this,
            [this](int row) { doRepeatButton(row); });
    m_table->installEventFilter(this);
    upper->addWidget(m_table, 1);

    m_invoiceBar = new QWidget(m_invoicesView);
    auto *invoiceLine = new QHBoxLayout(m_invoiceBar);
    invoiceLine->setContentsMargins(4, 2, 8, 5);
    const QString titles[] = {TWLocalized("newInvoice"), TWLocalized("deleteInvoice"),
                              TWLocalized("sendInvoice")};
    m_invoiceButtons = {
        barButton(m_invoiceBar, QStringLiteral(":/icons/Add.png"), {}, titles[0]),
        barButton(m_invoiceBar, QStringLiteral(":/icons/Remove.png"), {}, titles[1]),
        barButton(m_invoiceBar, {}, QStringLiteral("mail-send"), titles[2])};
    for (int segment = 0; segment < m_invoiceButtons.size(); ++segment) {
        m_invoiceButtons.at(segment)->setObjectName(
            QStringLiteral("invoiceSegment%1").arg(segment));
        connect(m_invoiceButtons.at(segment), &QToolButton::clicked, this,
                [this, segment] { doInvoiceAddDelete(segment); });
        invoiceLine->addWidget(m_invoiceButtons.at(segment));
    }
    m_invoiceCount = lineLabel(m_invoiceBar, "invoiceCountLabel");
    m_invoiceTotal = lineLabel(m_invoiceBar, "invoiceTotalLabel");
    invoiceLine->addStretch(1);
    invoiceLine->addWidget(m_invoiceCount);
    invoiceLine->addStretch(1);
    invoiceLine->addWidget(m_invoiceTotal);
    upper->addWidget(m_invoiceBar);
    m_splitter->addWidget(m_invoicesView);

    // The payments of the invoices with their bar.
    m_transactionsContainer = new QWidget(m_splitter);
    m_transactionsContainer->setMinimumHeight(kMinimumPaneHeight);
    auto *lower = new QVBoxLayout(m_transactionsContainer);
    lower->setContentsMargins(0, 0, 0, 0);
    lower->setSpacing(0);
    m_transactionsController = new TWTransactionsController(this);
    m_transactionsController->setBusinessController(m_document);
    m_transactionsController->setBusiness(m_business);
    m_transactionsController->setMode(TWRegisterMode::InvoicePayments);
    lower->addWidget(m_transactionsController->view(), 1);
    m_transactionBar = new QWidget(m_transactionsContainer);
    auto *transactionLine = new QHBoxLayout(m_transactionBar);
    transactionLine->setContentsMargins(4, 2, 8, 5);
    m_transactionButtons = {barButton(m_transactionBar, QStringLiteral(":/icons/Add.png"), {},
                                      TWLocalized("newPayment")),
                            barButton(m_transactionBar, QStringLiteral(":/icons/Remove.png"), {},
                                      TWLocalized("deletePayment"))};
    for (int segment = 0; segment < m_transactionButtons.size(); ++segment) {
        m_transactionButtons.at(segment)->setObjectName(
            QStringLiteral("transactionSegment%1").arg(segment));
        connect(m_transactionButtons.at(segment), &QToolButton::clicked, this,
                [this, segment] { doTransactionAddDelete(segment); });
        transactionLine->addWidget(m_transactionButtons.at(segment));
    }
    m_transactionCount = lineLabel(m_transactionBar, "transactionCountLabel");
    m_transactionTotal = lineLabel(m_transactionBar, "transactionTotalLabel");
    transactionLine->addStretch(1);
    transactionLine->addWidget(m_transactionCount);
    transactionLine->addStretch(1);
    transactionLine->addWidget(m_transactionTotal);
    lower->addWidget(m_transactionBar);
    m_splitter->addWidget(m_transactionsContainer);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    // The document keeps the invoices pane's height.
    m_divider = new TWSplitDivider(
        m_splitter, TWSplitDivider::Measured::First,
        [this] { return m_business ? m_business->invoiceDividerPosition() : 0.0; },
        [this](double height) {
            if (m_business)
                m_business->setInvoiceDividerPosition(height);
        });
    m_divider->setFloor(kMinimumPaneHeight);
    m_divider->keepRows({m_table, m_transactionsController->tableView()});

    // Row colours follow the preferences.
    m_preferencesObserver = TWNotificationCenter::defaultCenter().addObserver(
        QStringLiteral("preferences"), nullptr, [this](const TWNotification &) {
            if (!m_view || !m_table)
                return;
            m_table->clearSelection();
            m_model->redraw();
        });
    updateHeaderMenu();
    applyMode();
}

void TWInvoicesController::applyMode()
{
    if (!m_view)
        return;
    // One schedule's invoices: no lines and no buttons.
    const bool lines = m_mode == ModeProjects;
    m_invoiceBar->setVisible(lines);
    m_transactionBar->setVisible(lines);
}

bool TWInvoicesController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_table &&
        (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        m_table->viewport()->update(); // the selected rows' text colour
    // The columns are fitted again to the list's new width.
    if (twViewportWidthChanged(m_table, watched, event))
        fitColumns();
    return TWInvoiceListDetail::eventFilter(watched, event);
}

void TWInvoicesController::restoreFrame()
{
    if (!m_view || !m_business)
        return;
    m_divider->restore();
}

void TWInvoicesController::update()
{
    view();
    loadSettings();
    updateColumns();
    updateSortDescriptors();
    updateInvoices();
    if (!m_divider->isRestored())
        restoreFrame();
}

// ---- Rows ----

void TWInvoicesController::updateInvoices()
{
    if (!m_view)
        return;
    {
        const QScopedValueRollback guard(m_selectionIsChanging, true);
        m_table->clearSelection();
        m_selectedRows.clear();
    }
    const TWDocumentReadScope reads(m_business);
    TWInvoiceList found;
    if (m_business) {
        if (m_mode == ModeRepeat) {
            if (m_repeat)
                for (const TWRepeatItem &item :
                     m_business->itemsWithRepeatIdentifier(m_repeat->identifier()))
                    if (const TWInvoicePtr invoice = item.record<TWInvoice>())
                        found.append(invoice);
        } else {
            found = m_business->invoicesWithProjects(m_projects);
        }
        for (const TWInvoicePtr &invoice : std::as_const(found))
            twUpdateTasksExpenses(*invoice, *m_business);
    }
    m_invoices = found;
    sort();
    m_table->scrollToTop();
    updateTransactions();
    updateInvoiceButtonsEnabled();
}

void TWInvoicesController::updateTransactions()
{
    if (!m_transactionsController)
        return;
    // The pane's sums and the projects' read each invoice's transactions once.
    const TWDocumentReadScope reads(m_business);
    TWInvoiceList relevant = selectedInvoices();
    if (relevant.isEmpty())
        relevant = m_invoices;
    bool invoiced = false;
    if (m_business)
        for (const TWInvoicePtr &invoice : std::as_const(relevant)) {
            // Estimates have no transactions.
            const TWProjectPtr project =
                m_business->projectWithIdentifier(invoice->projectIdentifier());
            if (project && project->type() == TWProjectTypeProject) {
                invoiced = true;
                break;
            }
        }
    // Each invoice is read once, and what it owes made for the count lines (the projects' list
    // alone shows them) while its transactions are at hand; the pane's rows are copies of what
    // the invoices hold.
    if (m_business)
        for (const TWInvoicePtr &invoice : std::as_const(relevant)) {
            twUpdateTransactions(*invoice, *m_business);
            if (m_mode == ModeProjects)
                twHomeOwe(*invoice, *m_business);
        }
    m_transactionsController->setInvoices(relevant);
    m_transactionsController->update();
    m_transactionsController->setEnabled(invoiced);
    updateProjectCountTotal();
    updateTransactionButtonsEnabled();
}

void TWInvoicesController::transactionsUpdated()
{
    if (!m_view || !m_business)
        return;
    const TWDocumentReadScope reads(m_business);
    // The rows are the listed invoices.
    m_model->refreshRows();
    // The count lines follow with the payments pane.
    updateTransactions();
}

void TWInvoicesController::selectionChanged()
{
    if (m_selectionIsChanging)
        return;
    const QScopedValueRollback guard(m_selectionIsChanging, true);
    const QList<int> rows = selectedRows();
    if (rows == m_selectedRows)
        return;
    // The rows that left or joined the selection change their text colour.
    const int columns = m_model->columnCount();
    for (const QList<int> *list : {static_cast<const QList<int> *>(&m_selectedRows), &rows})
        for (const int row : *list)
            if (row >= 0 && row < m_model->rowCount() && columns > 0)
                emit m_model->dataChanged(m_model->index(row, 0), m_model->index(row, columns - 1));
    m_selectedRows = rows;
    updateTransactions();
    updateInvoiceButtonsEnabled();
}

QList<int> TWInvoicesController::selectedRows() const
{
    return m_table ? twSelectedRows(m_table->selectionModel()) : QList<int>();
}

void TWInvoicesController::selectRows(const QList<int> &rows)
{
    if (!m_table)
        return;
    QItemSelection selection;
    const int last = std::max(0, m_model->columnCount() - 1);
    for (const int row : rows)
        if (row >= 0 && row < m_model->rowCount())
            selection.select(m_model->index(row, 0), m_model->index(row, last));
    m_table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty() && rows.first() >= 0 && rows.first() < m_model->rowCount())
        m_table->scrollTo(m_model->index(rows.first(), 0));
}

QList<int> TWInvoicesController::concernedRows(bool context) const
{
    return context ? m_contextRows : selectedRows();
}

TWInvoiceList TWInvoicesController::selectedInvoices() const
{
    return invoicesForRowIndexes(selectedRows());
}

TWInvoiceList TWInvoicesController::invoicesForRowIndexes(const QList<int> &rows) const
{
    TWInvoiceList list;
    for (const int row : rows)
        if (row >= 0 && row < m_invoices.size())
            list.append(m_invoices.at(row));
    return list;
}

QList<int> TWInvoicesController::rowIndexesForInvoices(const TWInvoiceList &invoices) const
{
    QHash<qint32, int> rowOf;
    for (int row = 0; row < m_invoices.size(); ++row)
        rowOf.insert(m_invoices.at(row)->identifier(), row);
    QList<int> rows;
    for (const TWInvoicePtr &invoice : invoices)
        if (invoice)
            if (const auto it = rowOf.constFind(invoice->identifier()); it != rowOf.constEnd())
                rows.append(*it);
    std::sort(rows.begin(), rows.end());
    return rows;
}

int TWInvoicesController::invoiceRow(const TWInvoice &invoice) const
{
    for (int row = 0; row < m_invoices.size(); ++row)
        if (m_invoices.at(row)->identifier() == invoice.identifier())
            return row;
    return -1;
}

void TWInvoicesController::selectInvoice(const TWInvoicePtr &invoice)
{
    if (!invoice)
        return;
    const int row = invoiceRow(*invoice);
    if (row >= 0)
        selectRows({row});
}

QList<qint32> TWInvoicesController::selectedItemIdentifiers() const
{
    QList<qint32> identifiers;
    for (const TWInvoicePtr &invoice : selectedInvoices())
        identifiers.append(invoice->identifier());
    return identifiers;
}

void TWInvoicesController::selectItemWithIdentifier(qint32 identifier)
{
    for (int row = 0; row < m_invoices.size(); ++row)
        if (m_invoices.at(row)->identifier() == identifier) {
            selectRows({row});
            return;
        }
}

// ---- Count and total lines ----

QString TWInvoicesController::money(qint64 value) const
{
    if (!m_business)
        return {};
    return TWFormatter::formatter().valueString(value, m_business->homeUnit().get(), true, true,
                                                false, true, true);
}

void TWInvoicesController::updateProjectCountTotal()
{
    if (!m_view || m_mode != ModeProjects || !m_business) {
        updateInvoiceCountTotal();
        return;
    }
    const QLocale locale;
    const qsizetype listed = m_invoices.size();
    const QString word = TWLocalized(listed == 1 ? "invoiceLower" : "invoicesLower");
    const TWInvoiceList selected = selectedInvoices();
    const qint64 all = m_business->transactionHomeOwingWithProjects(m_projects);
    if (!selected.isEmpty()) {
        m_invoiceCount->setText(QStringLiteral("%1 / %2 %3")
                                    .arg(locale.toString(qlonglong(selected.size())),
                                         locale.toString(qlonglong(listed)), word));
        m_invoiceTotal->setText(QStringLiteral("%1 / %2").arg(
            money(m_business->transactionHomeOwingWithInvoices(selected)), money(all)));
    } else {
        m_invoiceCount->setText(
            QStringLiteral("%1 %2").arg(locale.toString(qlonglong(listed)), word));
        m_invoiceTotal->setText(money(all));
    }
    updateProjectCountTotalFrame();
    updateInvoiceCountTotal();
}

void TWInvoicesController::updateInvoiceCountTotal()
{
    if (!m_view || m_mode != ModeProjects || !m_business || !m_transactionsController)
        return;
    const TWDocumentReadScope reads(m_business);
    const QLocale locale;
    const TWTransactionList transactions = m_transactionsController->transactions();
    const TWTransactionList selectedTransactions = m_transactionsController->selectedTransactions();
    TWInvoiceList invoices = selectedInvoices();
    if (invoices.isEmpty())
        invoices = m_invoices;
    const QString word =
        TWLocalized(transactions.size() == 1 ? "transactionLower" : "transactionsLower");
    // A pane holding every payment of the invoices sums what each invoice owes, as the other
    // sums read it, without telling its rows apart.
    const QString total =
        money(m_transactionsController->holdsPaymentsOf(invoices)
                  ? m_business->transactionHomeOwingWithInvoices(invoices)
                  : m_business->transactionHomeOwingWithInvoices(invoices, transactions));
    if (!selectedTransactions.isEmpty()) {
        m_transactionCount->setText(
            QStringLiteral("%1 / %2 %3")
                .arg(locale.toString(qlonglong(selectedTransactions.size())),
                     locale.toString(qlonglong(transactions.size())), word));
        m_transactionTotal->setText(QStringLiteral("%1 / %2").arg(
            money(m_business->transactionHomeOwingWithInvoices(invoices, selectedTransactions)),
            total));
    } else {
        m_transactionCount->setText(
            QStringLiteral("%1 %2").arg(locale.toString(qlonglong(transactions.size())), word));
        m_transactionTotal->setText(total);
    }
    updateInvoiceCountTotalFrame();
}

void TWInvoicesController::updateProjectCountTotalFrame()
{
    // The bar's layout centres the count and keeps the total at the right.
    if (m_invoiceCount) {
        m_invoiceCount->adjustSize();
        m_invoiceTotal->adjustSize();
    }
}

void TWInvoicesController::updateInvoiceCountTotalFrame()
{
    if (m_transactionCount) {
        m_transactionCount->adjustSize();
        m_transactionTotal->adjustSize();
    }
}

// ---- Buttons, keys and clicks ----

QToolButton *TWInvoicesController::invoiceButton(int segment) const
{
    return m_invoiceButtons.value(segment);
}

QToolButton *TWInvoicesController::transactionButton(int segment) const
{
    return m_transactionButtons.value(segment);
}

void TWInvoicesController::updateInvoiceButtonsEnabled()
{
    if (!m_view)
        return;
    const qsizetype selected = selectedRows().size();
    m_invoiceButtons.at(SegmentNew)->setEnabled(m_projects.size() == 1);
    m_invoiceButtons.at(SegmentDelete)->setEnabled(selected > 0);
    m_invoiceButtons.at(SegmentSend)->setEnabled(selected == 1);
    updateTransactionButtonsEnabled();
    if (m_document)
        m_document->updateDetailButtonsEnabled();
}

void TWInvoicesController::updateTransactionButtonsEnabled()
{
    if (!m_view)
        return;
    m_transactionButtons.at(SegmentAddTransaction)->setEnabled(canAddTransaction());
    m_transactionButtons.at(SegmentDeleteTransaction)
        ->setEnabled(m_transactionsController &&
                     m_transactionsController->hasSelectedTransaction(false, false, false, false));
}

void TWInvoicesController::doInvoiceAddDelete(int segment)
{
    if (segment == SegmentSend)
        sendInvoice(false);
    else if (segment == SegmentDelete)
        deleteSelectedInvoice(false);
    else if (segment == SegmentNew && canAddInvoice())
        newInvoice();
    updateInvoiceButtonsEnabled();
}

void TWInvoicesController::doTransactionAddDelete(int segment)
{
    if (segment == SegmentAddTransaction)
        newTransaction(false);
    else if (segment == SegmentDeleteTransaction && m_transactionsController)
        m_transactionsController->deleteSelectedTransaction(false);
    updateTransactionButtonsEnabled();
}

void TWInvoicesController::doEdit()
{
    if (selectedRows().size() == 1)
        editSelectedInvoice(false);
}

bool TWInvoicesController::tableViewDelete(TWTableView *)
{
    if (selectedRows().isEmpty())
        return false;
    deleteSelectedInvoice(false);
    return true;
}

bool TWInvoicesController::tableViewSpace(TWTableView *)
{
    if (selectedRows().size() != 1)
        return false;
    editSelectedInvoice(false);
    return true;
}

bool TWInvoicesController::tableViewReturn(TWTableView *table)
{
    return tableViewSpace(table);
}

// ---- Focus and the payments pane ----

bool TWInvoicesController::hasFirstResponder() const
{
    // The shell asks about the invoice table; the payments pane answers for
    // itself through transactionsController().
    return invoicesHasFirstResponder();
}

bool TWInvoicesController::invoicesHasFirstResponder() const
{
    return holdsFocus(m_table);
}

bool TWInvoicesController::transactionsHasFirstResponder() const
{
    return m_transactionsController && m_transactionsController->hasFirstResponder();
}

TWRegisterDetail *TWInvoicesController::transactionsController() const
{
    return m_transactionsController;
}

void TWInvoicesController::editSelectedTransaction(bool context)
{
    if (m_transactionsController)
        m_transactionsController->editSelectedTransaction(context);
}

void TWInvoicesController::deleteSelectedTransaction(bool context)
{
    if (m_transactionsController)
        m_transactionsController->deleteSelectedTransaction(context);
}

void TWInvoicesController::updateSelectedConvertedTotals(bool context)
{
    if (m_transactionsController)
        m_transactionsController->updateSelectedConvertedTotals(context);
}

void TWInvoicesController::showSelectedRelatedTransactions(bool context)
{
    if (m_transactionsController)
        m_transactionsController->showSelectedRelatedTransactions(context);
}

QByteArray TWInvoicesController::printOperation(QPrinter &printer)
{
    if (!m_showingSendInvoice || !m_sendController)
        return {};
    TWErrorResult error;
    const QByteArray pdf = m_sendController->printOperation(printer, &error);
    if (error)
        presentError(*error);
    return pdf;
}

void TWInvoicesController::presentError(const TWError &error)
{
    emit errorPresented(error);
    if (m_document)
        m_document->presentError(error);
}

void TWInvoicesController::changed()
{
    if (m_document)
        m_document->updateChangeCount(0);
}
