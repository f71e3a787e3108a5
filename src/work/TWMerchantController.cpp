#include "work/TWMerchantController.h"

#include "work/TWBillController.h"
#include "work/TWWorkList.h"

#include "app/TWBusinessController.h"
#include "app/TWSplitPanes.h"
#include "app/TWWindowController.h"
#include "ledger/TWTransactionsController.h"

#include "foundation/TWClock.h"
#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "store/TWBusiness.h"
#include "store/TWDocumentReads.h"
#include "store/TWOwing.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSet>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace
{

constexpr int kMinimumPaneHeight = 100;
constexpr int kLinkSize = 14;

// The bill table's cells: the repeat column's schedule as text with a link
// after it that shows the schedule in the repeats view, and the overdue
// column's days in red.
class BillCellDelegate final : public QStyledItemDelegate
{
public:
    BillCellDelegate(QAbstractItemModel *model, std::function<void(int row)> follow,
                     QObject *parent)
        : QStyledItemDelegate(parent), m_model(model), m_follow(std::move(follow))
    {
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        if (!isRepeatCell(index)) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem text = option;
        text.rect.setRight(option.rect.right() - kLinkSize - 4);
        QStyledItemDelegate::paint(painter, text, index);
        const QIcon icon = QIcon::fromTheme(
            QStringLiteral("go-next"), QApplication::style()->standardIcon(QStyle::SP_ArrowRight));
        icon.paint(painter, linkRect(option, index));
    }

    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override
    {
        if (event->type() == QEvent::MouseButtonRelease && isRepeatCell(index)) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (linkRect(option, index).contains(mouse->position().toPoint())) {
                m_follow(index.row());
                return true;
            }
        }
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.isValid() && tagOf(index) == TWBillColumnOverdue &&
            !option->state.testFlag(QStyle::State_Selected))
            option->palette.setColor(QPalette::Text, QColor(Qt::red));
    }

private:
    int tagOf(const QModelIndex &index) const
    {
        return m_model->headerData(index.column(), Qt::Horizontal, Qt::UserRole).toInt();
    }
    bool isRepeatCell(const QModelIndex &index) const
    {
        return index.isValid() && tagOf(index) == TWBillColumnRepeat &&
               !index.data(Qt::DisplayRole).toString().isEmpty();
    }
    // Right after the text, inside the cell.
    QRect linkRect(const QStyleOptionViewItem &option, const QModelIndex &index) const
    {
        const int textWidth =
            option.fontMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString());
        const int x =
            std::min(option.rect.left() + 6 + textWidth + 4, option.rect.right() - kLinkSize - 2);
        return QRect(x, option.rect.center().y() - kLinkSize / 2, kLinkSize, kLinkSize);
    }

    QAbstractItemModel *m_model;
    std::function<void(int row)> m_follow;
};

// What a sort compares, read once per bill.
struct SortKey {
    const TWBill *bill = nullptr;
    // Ties go by identifier: kept here, equal figures never reach into the bills.
    qint32 identifier = 0;
    qsizetype index = 0;
    bool hasMerchant = false;
    QString merchantName;
    TWRepeatPtr repeat;
    TWBillFigures figures;
};

int compareKeys(const SortKey &a, const SortKey &b, int tag)
{
    using namespace TWWorkCompare;
    const TWBill &x = *a.bill;
    const TWBill &y = *b.bill;
    switch (tag) {
    case TWBillColumnDate:
        return date(x.date(), y.date());
    case TWBillColumnMerchant:
        return text(a.merchantName, b.merchantName, !a.hasMerchant, !b.hasMerchant);
    case TWBillColumnName:
        return text(x.name(), y.name());
    case TWBillColumnNotes:
        return text(x.notes(), y.notes());
    case TWBillColumnReceived:
        return value(x.received(), y.received());
    case TWBillColumnPaid:
        return value(x.paid(), y.paid());
    case TWBillColumnDue: {
        // Bills without a due date come after those with one.
        const bool hasX = x.dueDate().isValid(), hasY = y.dueDate().isValid();
        if (!hasX || !hasY)
            return hasX == hasY ? 0 : (hasX ? -1 : 1);
        return date(x.dueDate(), y.dueDate());
    }
    case TWBillColumnRepeat:
        // A bill without a schedule comes first, as a missing text does.
        if (!a.repeat || !b.repeat)
            return bool(a.repeat) == bool(b.repeat) ? 0 : (a.repeat ? 1 : -1);
        return a.repeat->compare(*b.repeat);
    case TWBillColumnTotal:
        return value(a.figures.total, b.figures.total);
    case TWBillColumnOwe:
        return value(a.figures.owe, b.figures.owe);
    case TWBillColumnPercentPaid:
        return value(a.figures.percentPaid, b.figures.percentPaid);
    case TWBillColumnOverdue:
        // Overdue first; among them the later due date (fewer days) first.
        if (a.figures.overdue != b.figures.overdue)
            return a.figures.overdue ? -1 : 1;
        return a.figures.overdue ? -date(x.dueDate(), y.dueDate()) : 0;
    default:
        return 0;
    }
}

} // namespace

QList<TWWorkColumn> TWMerchantController::billColumns()
{
    using K = TWWorkColumn;
    using TWWorkList::column;
    return {column(TWBillColumnDate, "date", K::Date, false, 80),
            column(TWBillColumnMerchant, "merchant", K::Text, false),
            column(TWBillColumnName, "name", K::Text, false),
            column(TWBillColumnReceived, "received", K::CheckBox, false, 65),
            column(TWBillColumnPaid, "paid", K::CheckBox, false, 45),
            column(TWBillColumnDue, "due", K::Date, false, 80),
            column(TWBillColumnRepeat, "repeat", K::Text, false),
            column(TWBillColumnTotal, "total", K::Text, true),
            column(TWBillColumnOwe, "owe", K::Text, true),
            column(TWBillColumnPercentPaid, "percentPaid", K::Text, true),
            column(TWBillColumnOverdue, "overdue", K::Text, false),
            column(TWBillColumnNotes, "notes", K::Text, false)};
}

TWMerchantController::TWMerchantController(QObject *parent, int mode)
    : TWLazyViewController<TWMerchantDetail>(parent), m_mode(mode)
{
}

TWMerchantController::~TWMerchantController()
{
    if (m_preferencesObserver)
        TWNotificationCenter::defaultCenter().removeObserver(m_preferencesObserver);
    delete m_sheet;
    delete m_register;
    delete m_view;
}

void TWMerchantController::setBusinessController(TWBusinessController *controller)
{
    TWMerchantDetail::setBusinessController(controller);
    if (m_register)
        m_register->setBusinessController(controller);
}

void TWMerchantController::setBusiness(TWBusiness *business)
{
    TWMerchantDetail::setBusiness(business);
    if (m_table)
        m_table->setBusiness(business);
    if (m_register)
        m_register->setBusiness(business);
}

void TWMerchantController::build()
{
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("merchantView"));
    auto *outer = new QVBoxLayout(m_view);
    outer->setContentsMargins(0, 0, 0, 0);
    m_splitter = new QSplitter(Qt::Vertical, m_view);
    m_splitter->setChildrenCollapsible(false);
    outer->addWidget(m_splitter);

    m_billsPane = new QWidget(m_splitter);
    m_billsPane->setMinimumHeight(kMinimumPaneHeight);
    auto *pane = new QVBoxLayout(m_billsPane);
    pane->setContentsMargins(0, 0, 0, 0);
    pane->setSpacing(0);
    m_table = new TWWorkTable(this, TWColumnSettingsViewBills, billColumns(), m_billsPane, this);
    m_table->table()->setObjectName(QStringLiteral("billsTable"));
    m_table->setBusiness(m_business);
    pane->addWidget(m_table->table(), 1);
    m_table->table()->setItemDelegate(new BillCellDelegate(
        m_table->model(), [this](int row) { doRepeatButton(m_bills.value(row)); }, m_table));

    auto *bar = new QWidget(m_billsPane);
    auto *barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(8, 4, 8, 5);
    m_addDelete = new TWAddDeleteControl(bar);
    m_addDelete->segment(0)->setToolTip(TWLocalized("newBill"));
    connect(m_addDelete, &TWAddDeleteControl::segmentClicked, this,
            [this](int segment) { doAddDelete(segment); });
    m_countLabel = new QLabel(bar);
    m_countLabel->setObjectName(QStringLiteral("billsCountLabel"));
    m_totalLabel = new QLabel(bar);
    m_totalLabel->setObjectName(QStringLiteral("billsTotalLabel"));
    barLayout->addWidget(m_addDelete);
    barLayout->addStretch(1);
    barLayout->addWidget(m_countLabel);
    barLayout->addStretch(1);
    barLayout->addWidget(m_totalLabel);
    pane->addWidget(bar);
    if (m_mode == ModeRepeat)
        bar->hide();

    m_register = new TWTransactionsController();
    m_register->setBusinessController(m_document);
    m_register->setBusiness(m_business);
    m_register->setMode(TWRegisterMode::BillPayments);
    QWidget *payments = m_register->view();
    m_splitter->addWidget(payments);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    // The document keeps the bills pane's height; one schedule's bills in the
    // repeats view leave it alone.
    m_divider = new TWSplitDivider(
        m_splitter, TWSplitDivider::Measured::First,
        [this] { return m_business ? m_business->merchantDividerPosition() : 0.0; },
        [this](double height) {
            if (m_business && m_mode == ModeMerchants)
                m_business->setMerchantDividerPosition(height);
        });
    m_divider->setFloor(kMinimumPaneHeight);
    m_divider->keepRows({m_table->table(), m_register->tableView()});

    m_preferencesObserver = TWNotificationCenter::defaultCenter().addObserver(
        QStringLiteral("preferences"), nullptr, [this](const TWNotification &) {
            m_table->clearSelection();
            m_table->reload();
        });
}

void TWMerchantController::restoreFrame()
{
    if (!m_splitter || !m_business)
        return;
    m_divider->restore();
}

void TWMerchantController::setMerchants(const TWMerchantList &merchants)
{
    TWMerchantDetail::setMerchants(merchants);
    update();
}

void TWMerchantController::setRepeat(const TWRepeatPtr &repeat)
{
    m_repeat = repeat;
}

void TWMerchantController::loadSettings()
{
    m_table->loadSettings(shownMerchantCount(), {QStringLiteral("merchant")});
}

void TWMerchantController::update()
{
    if (!m_view)
        view();
    loadSettings();
    m_table->updateColumns();
    if (!m_registerShown) {
        m_registerShown = true;
        m_register->update();
    }
    updateMerchant();
}

// ---- Listing ----

void TWMerchantController::updateMerchant()
{
    if (!m_table)
        return;
    m_table->clearSelection();
    // The figures, the count line and the payments pane read each bill's transactions once.
    const TWDocumentReadScope reads(m_business);
    m_bills.clear();
    if (m_business) {
        if (m_mode == ModeRepeat) {
            if (m_repeat)
                for (const TWRepeatItem &item :
                     m_business->itemsWithRepeatIdentifier(m_repeat->identifier()))
                    if (const TWBillPtr bill = item.record<TWBill>())
                        m_bills.append(bill);
        } else {
            m_bills = m_business->billsWithMerchants(m_merchants);
        }
    }
    refreshFigures();
    updateMerchantCountTotal();
    m_table->updateSortDescriptors();
    forgetRowIndex();
    m_table->table()->scrollToTop();
    updateTransactions();
    updateAddDeleteEnabled();
}

void TWMerchantController::refreshFigures()
{
    if (!m_business) {
        m_figures.clear();
        return;
    }
    const QDateTime dayEnd = TWDateAdditions::endOfDay();
    for (const TWBillPtr &bill : std::as_const(m_bills)) {
        twUpdateTransactions(*bill, *m_business);
        const quint64 reading = TWDocumentReadScope::standingReading(*m_business, bill->readings());
        KeptFigures &kept = m_figures[bill->identifier()];
        if (reading != 0 && kept.reading == reading && kept.dayEnd == dayEnd)
            continue;
        const TWPaymentEntryList entries = twPaymentEntries(*bill, *m_business);
        kept.figures.total = bill->totalWithEntries(entries);
        kept.figures.owe = bill->oweWithEntries(entries);
        kept.figures.percentPaid = bill->percentPaidWithEntries(entries);
        kept.figures.overdue = bill->overdueWithEntries(entries);
        kept.reading = reading;
        kept.dayEnd = dayEnd;
    }
    // Bills no longer listed leave.
    if (m_figures.size() > m_bills.size()) {
        QSet<qint32> listed;
        for (const TWBillPtr &bill : std::as_const(m_bills))
            listed.insert(bill->identifier());
        m_figures.removeIf(
            [&listed](const auto &figures) { return !listed.contains(figures.key()); });
    }
}

TWBillFigures TWMerchantController::figures(const TWBill &bill) const
{
    return m_figures.value(bill.identifier()).figures;
}

void TWMerchantController::updateTransactions()
{
    if (!m_register)
        return;
    const TWDocumentReadScope reads(m_business);
    TWBillList chosen = selectedBills();
    if (chosen.isEmpty())
        chosen = m_bills;
    // Each bill is read once: the pane's rows are copies of what the bills hold.
    if (m_business)
        for (const TWBillPtr &bill : std::as_const(chosen))
            twUpdateTransactions(*bill, *m_business);
    m_register->setBills(chosen);
    m_register->updateTransactions();
    updateMerchantCountTotal();
    if (m_document)
        m_document->updateCountTotal();
}

void TWMerchantController::transactionsUpdated()
{
    if (!m_table)
        return;
    // The same bills stay listed: their figures and rows are refreshed in
    // place, keeping the selection. A payment may have marked a bill paid:
    // each row shows the bill as the store now keeps it.
    const TWDocumentReadScope reads(m_business);
    if (m_business)
        for (TWBillPtr &bill : m_bills)
            if (const TWBillPtr current = m_business->billWithIdentifier(bill->identifier()))
                bill = current;
    refreshFigures();
    QList<int> rows;
    for (int row = 0; row < m_bills.size(); ++row)
        rows.append(row);
    m_table->refreshRows(rows);
    updateTransactions();
}

// ---- Cells ----

QString TWMerchantController::money(qint64 value) const
{
    const TWUnit *home =
        m_business && m_business->homeUnit() ? m_business->homeUnit().get() : nullptr;
    return TWWorkList::money(value, home);
}

int TWMerchantController::workRowCount(const TWWorkTable *) const
{
    return int(m_bills.size());
}

QString TWMerchantController::workText(const TWWorkTable *, int row, int tag) const
{
    const TWBillPtr bill = m_bills.value(row);
    if (!bill)
        return {};
    const TWFormatter &formatter = TWFormatter::formatter();
    switch (tag) {
    case TWBillColumnDate:
        return formatter.shortDateString(bill->date());
    case TWBillColumnMerchant: {
        const TWMerchantPtr merchant =
            m_business ? m_business->merchantWithIdentifier(bill->merchantIdentifier()) : nullptr;
        return merchant ? merchant->name() : QString();
    }
    case TWBillColumnName:
        return bill->name();
    case TWBillColumnDue:
        return bill->dueDate().isValid() ? formatter.shortDateString(bill->dueDate()) : QString();
    case TWBillColumnRepeat: {
        const TWRepeatPtr repeat = m_business && bill->repeatIdentifier() != 0
                                       ? m_business->repeatWithIdentifier(bill->repeatIdentifier())
                                       : nullptr;
        return repeat ? formatter.repeatString(repeat->interval(), repeat->intervalUnit(),
                                               repeat->endDate())
                      : QString();
    }
    case TWBillColumnTotal:
        return money(figures(*bill).total);
    case TWBillColumnOwe:
        return money(figures(*bill).owe);
    case TWBillColumnPercentPaid:
        return QStringLiteral("%1%").arg(
            formatter.percentValueString(figures(*bill).percentPaid, 0));
    case TWBillColumnOverdue:
        return figures(*bill).overdue ? formatter.overdueDateString(bill->dueDate()) : QString();
    case TWBillColumnNotes:
        return bill->notes();
    default:
        return {};
    }
}

bool TWMerchantController::workChecked(const TWWorkTable *, int row, int tag) const
{
    const TWBillPtr bill = m_bills.value(row);
    if (!bill)
        return false;
    if (tag == TWBillColumnReceived)
        return bill->received();
    if (tag == TWBillColumnPaid)
        return bill->paid();
    return false;
}

QColor TWMerchantController::billColour(const TWBill &bill) const
{
    const TWPreferences &preferences = TWPreferences::preferences();
    const TWBillFigures shown = figures(bill);
    if (shown.overdue)
        return preferences.overdueColour();
    if (shown.owe >= 1)
        return preferences.oweColour();
    if (bill.paid())
        return preferences.paidColour();
    return preferences.billColour();
}

QColor TWMerchantController::workRowColour(const TWWorkTable *, int row) const
{
    const TWBillPtr bill = m_bills.value(row);
    return bill ? billColour(*bill) : QColor();
}

// ---- Sorting ----

int TWMerchantController::compareBills(const TWBill &a, const TWBill &b, int tag) const
{
    const auto keyOf = [this](const TWBill &bill) {
        SortKey key;
        key.bill = &bill;
        const TWMerchantPtr merchant =
            m_business ? m_business->merchantWithIdentifier(bill.merchantIdentifier()) : nullptr;
        key.hasMerchant = bool(merchant);
        key.merchantName = merchant ? merchant->name() : QString();
        key.repeat = m_business && bill.repeatIdentifier() != 0
                         ? m_business->repeatWithIdentifier(bill.repeatIdentifier())
                         : nullptr;
        key.figures = figures(bill);
        return key;
    };
    return compareKeys(keyOf(a), keyOf(b), tag);
}

void TWMerchantController::workSort(TWWorkTable *, int tag, bool ascending)
{
    // The figures the rows show, read when the bills were listed or their transactions
    // changed: a sort only puts them in another order.
    // Each bill's keys once, then a stable sort of the keys.
    std::vector<SortKey> keys;
    keys.reserve(size_t(m_bills.size()));
    for (qsizetype index = 0; index < m_bills.size(); ++index) {
        const TWBillPtr &bill = m_bills.at(index);
        SortKey key;
        key.bill = bill.get();
        key.identifier = bill->identifier();
        key.index = index;
        if (tag == TWBillColumnMerchant) {
            const TWMerchantPtr merchant =
                m_business ? m_business->merchantWithIdentifier(bill->merchantIdentifier())
                           : nullptr;
            key.hasMerchant = bool(merchant);
            key.merchantName = merchant ? merchant->name() : QString();
        } else if (tag == TWBillColumnRepeat && m_business && bill->repeatIdentifier() != 0) {
            key.repeat = m_business->repeatWithIdentifier(bill->repeatIdentifier());
        }
        if (const auto kept = m_figures.constFind(bill->identifier()); kept != m_figures.cend())
            key.figures = kept->figures;
        keys.push_back(std::move(key));
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [tag, ascending](const SortKey &a, const SortKey &b) {
                         int order = compareKeys(a, b, tag);
                         if (!ascending)
                             order = -order;
                         if (order == 0)
                             order = TWWorkCompare::value(a.identifier, b.identifier);
                         return order < 0;
                     });
    TWBillList sorted;
    sorted.reserve(m_bills.size());
    for (const SortKey &key : keys)
        sorted.append(m_bills.at(key.index));
    m_bills = std::move(sorted);
    forgetRowIndex();
}

// ---- Rows ----

TWBillList TWMerchantController::billsForRowIndexes(const QList<int> &rows) const
{
    return TWWorkList::recordsForRows(m_bills, rows);
}

QList<int> TWMerchantController::rowIndexesForBills(const TWBillList &bills) const
{
    QList<int> rows;
    for (const TWBillPtr &bill : bills)
        if (bill)
            if (const int row = billRow(*bill); row >= 0 && !rows.contains(row))
                rows.append(row);
    std::sort(rows.begin(), rows.end());
    return rows;
}

int TWMerchantController::billRow(const TWBill &bill) const
{
    return m_rows.of(m_bills).value(bill.identifier(), -1);
}

TWBillList TWMerchantController::selectedBills() const
{
    return m_table ? billsForRowIndexes(m_table->selectedRows()) : TWBillList();
}

void TWMerchantController::selectBill(const TWBillPtr &bill)
{
    if (!bill || !m_table)
        return;
    const int row = billRow(*bill);
    if (row >= 0)
        m_table->selectRow(row);
}

QList<qint32> TWMerchantController::selectedItemIdentifiers() const
{
    QList<qint32> identifiers;
    for (const TWBillPtr &bill : selectedBills())
        identifiers.append(bill->identifier());
    return identifiers;
}

void TWMerchantController::selectItemWithIdentifier(qint32 identifier)
{
    const int row = m_rows.of(m_bills).value(identifier, -1);
    if (row >= 0 && m_table)
        m_table->selectRow(row);
}

bool TWMerchantController::billsHasFirstResponder() const
{
    return m_table && m_table->hasFirstResponder();
}

bool TWMerchantController::transactionsHasFirstResponder() const
{
    return m_register && m_register->hasFirstResponder();
}

bool TWMerchantController::hasFirstResponder(TWFocusList list) const
{
    switch (list) {
    case TWFocusList::Bills:
        return billsHasFirstResponder();
    case TWFocusList::MerchantTransactions:
        return transactionsHasFirstResponder();
    default:
        return billsHasFirstResponder() || transactionsHasFirstResponder();
    }
}

QList<TWListMenuItem> TWMerchantController::fieldMenuItems(TWFocusList list, TWAction action) const
{
    return list == TWFocusList::Bills && m_table ? m_table->fieldMenuItems(action)
                                                 : QList<TWListMenuItem>();
}

std::optional<QVariantMap> TWMerchantController::listSettings(TWFocusList list) const
{
    if (list != TWFocusList::Bills || !m_table || !m_table->settingsLoaded())
        return std::nullopt;
    return m_table->settings();
}

TWRegisterDetail *TWMerchantController::transactionsController() const
{
    return m_register;
}

// ---- Permissions ----

bool TWMerchantController::canAddBill() const
{
    return m_mode == ModeMerchants && shownMerchantCount() == 1;
}

bool TWMerchantController::canEditBill(bool context) const
{
    return m_table && m_table->hasSelected(context, true, false);
}

bool TWMerchantController::canDuplicateBill(bool context) const
{
    return m_mode == ModeMerchants && m_table && m_table->hasSelected(context, false, false);
}

bool TWMerchantController::canDeleteBill(bool context) const
{
    return m_table && m_table->hasSelected(context, false, false);
}

bool TWMerchantController::canMarkBill(bool context) const
{
    return m_table && m_table->hasSelected(context, false, false);
}

bool TWMerchantController::canAddTransaction() const
{
    const TWBillList chosen = selectedBills();
    if (chosen.isEmpty())
        return false;
    const qint32 merchant = chosen.first()->merchantIdentifier();
    return std::all_of(chosen.begin(), chosen.end(), [merchant](const TWBillPtr &bill) {
        return bill->merchantIdentifier() == merchant;
    });
}

bool TWMerchantController::validationQuery(TWQuery query, bool context) const
{
    switch (query) {
    case TWQuery::CanAddBill:
        return canAddBill();
    case TWQuery::CanEditBill:
        return canEditBill(context);
    case TWQuery::CanDuplicateBill:
        return canDuplicateBill(context);
    case TWQuery::CanDeleteBill:
        return canDeleteBill(context);
    case TWQuery::CanMarkBill:
        return canMarkBill(context);
    case TWQuery::CanAddTransaction:
        return canAddTransaction();
    default:
        return false;
    }
}

// ---- Count, total and buttons ----

void TWMerchantController::updateMerchantCountTotal()
{
    if (!m_countLabel || m_mode != ModeMerchants || !m_business)
        return;
    const qsizetype listed = m_bills.size();
    const QString noun = TWLocalized(listed == 1 ? "billLower" : "billsLower");
    const QList<int> rows = m_table->selectedRows();
    const QString allText = money(m_business->transactionHomeOwingWithMerchants(m_merchants));
    TWWorkList::showCountTotal(m_countLabel, m_totalLabel, listed, noun, rows.size(), allText, [&] {
        return money(m_business->transactionHomeOwingWithBills(billsForRowIndexes(rows)));
    });
}

void TWMerchantController::updateMerchantCountTotalFrame()
{
    if (!m_countLabel)
        return;
    const bool shown = m_mode == ModeMerchants;
    m_countLabel->setVisible(shown);
    m_totalLabel->setVisible(shown);
}

void TWMerchantController::updateAddDeleteEnabled()
{
    if (!m_addDelete)
        return;
    m_addDelete->setSegmentEnabled(0, canAddBill());
    m_addDelete->setSegmentEnabled(1, m_table && !m_table->selectedRows().isEmpty());
    if (m_document)
        m_document->updateDetailButtonsEnabled();
}

void TWMerchantController::workSelectionChanged(TWWorkTable *)
{
    updateTransactions();
    updateAddDeleteEnabled();
}

void TWMerchantController::doAddDelete(int segment)
{
    if (segment == 0 && canAddBill())
        newBill();
    else if (segment == 1)
        deleteSelectedBill(false);
    updateAddDeleteEnabled();
}

void TWMerchantController::presentError(const TWError &error) const
{
    if (m_document)
        m_document->presentError(error);
}

void TWMerchantController::changed() const
{
    if (m_document)
        m_document->updateChangeCount(0);
}

QWidget *TWMerchantController::alertWindow() const
{
    return m_view ? m_view->window() : nullptr;
}

// ---- Column commands ----

void TWMerchantController::toggleFieldVisible(int tag)
{
    if (m_table)
        m_table->toggleFieldVisible(tag);
}

void TWMerchantController::updateSortBy(int tag, bool apply)
{
    if (m_table)
        m_table->updateSortBy(tag, apply);
}

void TWMerchantController::updateSortDirection(bool ascending, bool apply)
{
    if (m_table)
        m_table->updateSortDirection(ascending, apply);
}

// ---- The payment register's commands ----

void TWMerchantController::editSelectedTransaction(bool context)
{
    if (m_register)
        m_register->editSelectedTransaction(context);
}

void TWMerchantController::deleteSelectedTransaction(bool context)
{
    if (m_register)
        m_register->deleteSelectedTransaction(context);
}

void TWMerchantController::updateSelectedConvertedTotals(bool context)
{
    if (m_register)
        m_register->updateSelectedConvertedTotals(context);
}

void TWMerchantController::showSelectedRelatedTransactions(bool context)
{
    if (m_register)
        m_register->showSelectedRelatedTransactions(context);
}
