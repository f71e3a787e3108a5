#include "invoicing/ui/TWInvoiceItemsModel.h"

#include "foundation/TWLocalized.h"
#include "model/TWExpense.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "model/TWTask.h"
#include "store/TWBusiness.h"
#include "store/TWWorkTotals.h"

#include <QColor>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace
{

const TWTask *asTask(const TWInvoiceItem &item)
{
    return item.type() == TWInvoiceItemTypeTask ? static_cast<const TWTask *>(&item) : nullptr;
}

const TWExpense *asExpense(const TWInvoiceItem &item)
{
    return item.type() == TWInvoiceItemTypeExpense ? static_cast<const TWExpense *>(&item)
                                                   : nullptr;
}

int compareValues(double a, double b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

double twRoundedInvoiceTime(double quantity, double stepMinutes)
{
    const double step = std::trunc(stepMinutes * 60);
    if (!(step >= 1) || !std::isfinite(quantity))
        return quantity;
    const qint64 whole = qint64(std::trunc(quantity));
    const qint64 remainder = whole % qint64(step);
    return remainder != 0 ? quantity + (qint64(step) - remainder) : quantity;
}

bool twParseInvoiceQuantity(const QString &text, bool timed, double *quantity)
{
    // The reader of every other number and duration field, so that what the
    // sheet shows reads back and what those fields refuse is refused here.
    // Empty text is no quantity: unticking takes an item off the invoice.
    if (text.trimmed().isEmpty())
        return false;
    const TWFormatter &formatter = TWFormatter::formatter();
    const std::optional<double> value =
        timed ? formatter.typedTime(text) : formatter.typedNumber(text);
    if (!value || !std::isfinite(*value) || *value < 0)
        return false;
    *quantity = *value;
    return true;
}

QString twInvoiceQuantityError(const QString &text, bool timed)
{
    const TWFormatter &formatter = TWFormatter::formatter();
    const QString typed = text.trimmed();
    if (!timed)
        return TWLocalized("invoiceQuantityInvalid").arg(typed, formatter.typedNumberExample(1.5));
    return TWLocalized("invoiceTimeInvalid")
        .arg(typed, formatter.typedNumberExample(1.5), formatter.timeString(5400, false, 0));
}

TWInvoiceItemsModel::TWInvoiceItemsModel(TWInvoiceItemType kind, QObject *parent)
    : QAbstractTableModel(parent), m_kind(kind)
{
}

double TWInvoiceItemsModel::invoiceQuantity(const TWInvoiceItem &item)
{
    if (const TWTask *task = asTask(item))
        return task->invoiceQuantity();
    if (const TWExpense *expense = asExpense(item))
        return expense->invoiceQuantity();
    return 0;
}

void TWInvoiceItemsModel::setInvoiceQuantity(TWInvoiceItem &item, double quantity)
{
    if (item.type() == TWInvoiceItemTypeTask)
        static_cast<TWTask &>(item).setInvoiceQuantity(quantity);
    else if (item.type() == TWInvoiceItemTypeExpense)
        static_cast<TWExpense &>(item).setInvoiceQuantity(quantity);
}

qint64 TWInvoiceItemsModel::invoiceSubtotal(const TWInvoiceItem &item)
{
    if (const TWTask *task = asTask(item))
        return task->invoiceSubtotal();
    if (const TWExpense *expense = asExpense(item))
        return expense->invoiceSubtotal();
    return 0;
}

qint64 TWInvoiceItemsModel::invoiceTotal(const TWInvoiceItem &item)
{
    if (const TWTask *task = asTask(item))
        return task->invoiceTotal();
    if (const TWExpense *expense = asExpense(item))
        return expense->invoiceTotal();
    return 0;
}

void TWInvoiceItemsModel::setContext(TWBusiness *business, const TWInvoicePtr &invoice,
                                     const std::shared_ptr<TWUnit> &unit)
{
    m_business = business;
    m_invoice = invoice;
    m_unit = unit;
}

void TWInvoiceItemsModel::setItems(const TWInvoiceItemList &items,
                                   const TWInvoiceItemList &selected)
{
    beginResetModel();
    m_items = items;
    m_selected = selected;
    m_selectedIdentifiers.clear();
    for (const TWInvoiceItemPtr &item : selected)
        if (item)
            m_selectedIdentifiers.insert(item->identifier());
    // What other invoices billed does not change while the sheet is open:
    // asked once per item, not on every paint.
    m_available.clear();
    m_billedElsewhere.clear();
    if (m_business) {
        for (const TWInvoiceItemPtr &item : std::as_const(m_items)) {
            if (!item)
                continue;
            double available = 0;
            if (const TWTask *task = asTask(*item)) {
                const TWTaskBilling billing = twTaskBilling(*task, m_invoice.get(), *m_business);
                available = billing.available;
                if (billing.billedWhole)
                    m_billedElsewhere.insert(task->identifier());
            } else if (const TWExpense *expense = asExpense(*item))
                available = twAvailableQuantity(*expense, m_invoice.get(), *m_business);
            m_available.insert(item->identifier(), available);
        }
    }
    endResetModel();
}

bool TWInvoiceItemsModel::isOnInvoice(const TWInvoiceItem &item) const
{
    return m_selectedIdentifiers.contains(item.identifier());
}

bool TWInvoiceItemsModel::canBill(const TWInvoiceItem &item) const
{
    return isOnInvoice(item) || !m_billedElsewhere.contains(item.identifier());
}

double TWInvoiceItemsModel::availableQuantity(const TWInvoiceItem &item) const
{
    return m_available.value(item.identifier(), 0.0);
}

bool TWInvoiceItemsModel::isTimed(const TWInvoiceItem &item) const
{
    const TWTask *task = asTask(item);
    return task && task->taskType() == TWTaskTypeTimed;
}

double TWInvoiceItemsModel::checkedQuantity(const TWInvoiceItem &item) const
{
    const double available = availableQuantity(item);
    if (!isTimed(item))
        return available;
    return twRoundedInvoiceTime(available,
                                double(TWPreferences::preferences().roundInvoiceTaskTime()));
}

void TWInvoiceItemsModel::reloadAll()
{
    if (!m_items.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_items.size()) - 1, ColumnCount - 1));
    emit selectionChanged();
}

void TWInvoiceItemsModel::setOnInvoice(int row, bool on)
{
    const TWInvoiceItemPtr item = itemAt(row);
    if (!item)
        return;
    if (on && !canBill(*item))
        return;
    if (on) {
        setInvoiceQuantity(*item, checkedQuantity(*item));
        if (!isOnInvoice(*item)) {
            m_selected.append(item);
            m_selectedIdentifiers.insert(item->identifier());
        }
    } else {
        setInvoiceQuantity(*item, 0);
        m_selected.removeIf(
            [&item](const TWInvoiceItemPtr &entry) { return entry && entry->isEqual(*item); });
        m_selectedIdentifiers.remove(item->identifier());
    }
    reloadAll();
}

TWErrorResult TWInvoiceItemsModel::setQuantity(int row, bool on, const QString &text)
{
    const TWInvoiceItemPtr item = itemAt(row);
    if (!item)
        return std::nullopt;
    if (!on) {
        setOnInvoice(row, false);
        return std::nullopt;
    }
    if (!canBill(*item))
        return std::nullopt;
    double quantity = 0;
    if (!twParseInvoiceQuantity(text, isTimed(*item), &quantity))
        return TWError(QStringLiteral("Tallyworth Invoice Error"), -1,
                       twInvoiceQuantityError(text, isTimed(*item)));
    setInvoiceQuantity(*item, quantity);
    if (!isOnInvoice(*item)) {
        m_selected.append(item);
        m_selectedIdentifiers.insert(item->identifier());
    }
    reloadAll();
    return std::nullopt;
}

QString TWInvoiceItemsModel::quantityText(const TWInvoiceItem &item, double quantity) const
{
    if (const TWTask *task = asTask(item);
        task && m_business && task->taskType() == TWTaskTypeTimed)
        return task->quantityString(quantity);
    // A remainder computed from typed quantities carries the binary noise of
    // the subtraction (2.3 - 1.1); six places are more than anyone types.
    return TWFormatter::formatter().doubleValueString(quantity);
}

QString TWInvoiceItemsModel::money(qint64 value) const
{
    return TWFormatter::formatter().valueString(value, m_unit.get(), true, true, false, true, true);
}

Qt::SortOrder TWInvoiceItemsModel::firstClickOrder(int column)
{
    return column == DateColumn ? Qt::DescendingOrder : Qt::AscendingOrder;
}

void TWInvoiceItemsModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    const auto typeOrder = [](const TWInvoiceItem &a, const TWInvoiceItem &b) {
        const TWTask *ta = asTask(a);
        const TWTask *tb = asTask(b);
        if (!ta || !tb)
            return 0;
        return compareValues(ta->taskType(), tb->taskType());
    };
    const auto compare = [&](const TWInvoiceItem &a, const TWInvoiceItem &b) -> int {
        switch (column) {
        case InvoiceColumn:
            return compareValues(isOnInvoice(a) ? 1 : 0, isOnInvoice(b) ? 1 : 0);
        case DateColumn:
            return a.date() < b.date() ? -1 : (b.date() < a.date() ? 1 : 0);
        case NameColumn:
            if (a.name().isEmpty() || b.name().isEmpty())
                return compareValues(a.name().isEmpty() ? 0 : 1, b.name().isEmpty() ? 0 : 1);
            return compareValues(a.name().compare(b.name()), 0);
        case AvailableColumn:
            if (const int byType = typeOrder(a, b))
                return byType;
            return compareValues(availableQuantity(a) - invoiceQuantity(a),
                                 availableQuantity(b) - invoiceQuantity(b));
        case QuantityColumn: {
            if (const int byType = typeOrder(a, b))
                return byType;
            return compareValues(isOnInvoice(a) ? invoiceQuantity(a) : 0,
                                 isOnInvoice(b) ? invoiceQuantity(b) : 0);
        }
        case SubtotalColumn:
            return compareValues(double(invoiceSubtotal(a)), double(invoiceSubtotal(b)));
        case TotalColumn:
            return compareValues(double(invoiceTotal(a)), double(invoiceTotal(b)));
        default:
            return 0;
        }
    };
    emit layoutAboutToBeChanged();
    std::stable_sort(m_items.begin(), m_items.end(),
                     [&](const TWInvoiceItemPtr &a, const TWInvoiceItemPtr &b) {
                         if (!a || !b)
                             return bool(b) && !a;
                         const int result = compare(*a, *b);
                         return order == Qt::AscendingOrder ? result < 0 : result > 0;
                     });
    emit layoutChanged();
}

int TWInvoiceItemsModel::sizeToFitWidth(int column, const QFontMetrics &headerFont,
                                        const QFontMetrics &cellFont) const
{
    const int title = std::max(headerFont.horizontalAdvance(
                                   headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()) +
                                   20,
                               50);
    if (m_items.isEmpty())
        return title;
    if (column == InvoiceColumn)
        return std::max(65, title);
    if (column == DateColumn)
        return std::max(80, title);
    int widest = title;
    for (int row = 0; row < rowCount(); ++row)
        widest = std::max(
            widest,
            cellFont.horizontalAdvance(data(index(row, column), Qt::DisplayRole).toString()) + 20);
    return widest;
}

int TWInvoiceItemsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

int TWInvoiceItemsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TWInvoiceItemsModel::data(const QModelIndex &index, int role) const
{
    const TWInvoiceItemPtr item = index.isValid() ? itemAt(index.row()) : nullptr;
    if (!item)
        return {};
    const bool on = isOnInvoice(*item);
    if (index.column() == InvoiceColumn) {
        if (role == Qt::CheckStateRole)
            return on ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    if (role == Qt::ForegroundRole)
        return on ? QColor(Qt::black) : QColor(Qt::gray);
    if (role == Qt::TextAlignmentRole && index.column() >= AvailableColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    const double billed = on ? invoiceQuantity(*item) : 0.0;
    switch (index.column()) {
    case DateColumn:
        return TWFormatter::formatter().shortDateString(item->date());
    case NameColumn:
        return item->name();
    case AvailableColumn:
        // Time rounded up on the invoice bills more than was worked: nothing
        // is left then, never less than nothing.
        return quantityText(*item, std::max(0.0, availableQuantity(*item) - billed));
    case QuantityColumn:
        return quantityText(*item, billed);
    case SubtotalColumn:
        return money(on ? invoiceSubtotal(*item) : 0);
    case TotalColumn:
        return money(on ? invoiceTotal(*item) : 0);
    default:
        return {};
    }
}

bool TWInvoiceItemsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != InvoiceColumn || role != Qt::CheckStateRole)
        return false;
    setOnInvoice(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags TWInvoiceItemsModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const TWInvoiceItemPtr item = itemAt(index.row());
    if (index.column() == InvoiceColumn && item && canBill(*item))
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant TWInvoiceItemsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case InvoiceColumn:
        return TWLocalized("invoiceItemOnInvoice");
    case DateColumn:
        return TWLocalized("invoiceItemDate");
    case NameColumn:
        return TWLocalized("invoiceItemName");
    case AvailableColumn:
        return TWLocalized("invoiceItemAvailable");
    case QuantityColumn:
        return TWLocalized("invoiceItemQuantity");
    case SubtotalColumn:
        return TWLocalized("invoiceItemSubtotal");
    case TotalColumn:
        return TWLocalized("invoiceItemTotal");
    default:
        return {};
    }
}
