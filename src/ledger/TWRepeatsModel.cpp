#include "ledger/TWRepeatsModel.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "store/TWBusiness.h"
#include "store/TWRepeatCopies.h"

#include <algorithm>

namespace
{

const char *const kSortKeys[] = {"type",  "payee",  "description",   "account1", "account2",
                                 "debit", "credit", "numberOfItems", "repeats",  "nextItem"};
const char *const kHeaderKeys[] = {
    "type",  "payee",  "description",          "account1", "account2",
    "debit", "credit", "repeatsNumberOfItems", "repeats",  "repeatsNextItem"};

template <typename T> int threeWay(const T &a, const T &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Missing texts first; present ones by plain comparison.
int compareOptionalText(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return threeWay(!a.isEmpty(), !b.isEmpty());
    return threeWay(a.compare(b), 0);
}

// No date (a schedule without items) first.
int compareDates(const QDateTime &a, const QDateTime &b)
{
    if (!a.isValid() || !b.isValid())
        return threeWay(a.isValid(), b.isValid());
    const QDate da = a.date();
    const QDate db = b.date();
    return threeWay(da, db);
}

// The debit and credit sides of an amount in the home unit; a split
// transaction adds up its shares' sides.
void sides(const TWTransaction &transaction, qint64 *debit, qint64 *credit)
{
    *debit = 0;
    *credit = 0;
    const auto add = [&](qint64 amount) {
        if (amount > 0)
            *debit += amount;
        else
            *credit -= amount;
    };
    if (transaction.hasSplit()) {
        for (const TWSplitPtr &split : transaction.splits())
            if (split)
                add(split->totalBusiness());
    } else {
        add(transaction.totalBusiness());
    }
}

} // namespace

TWRepeatsModel::TWRepeatsModel(QObject *parent) : QAbstractTableModel(parent)
{
}

QString TWRepeatsModel::sortKey(int column)
{
    return column >= 0 && column < ColumnCount ? QLatin1String(kSortKeys[column]) : QString();
}

int TWRepeatsModel::columnOfSortKey(const QString &key)
{
    for (int column = 0; column < ColumnCount; ++column)
        if (key == QLatin1String(kSortKeys[column]))
            return column;
    return NextItemColumn;
}

void TWRepeatsModel::setRepeats(const TWRepeatList &repeats)
{
    m_repeats = repeats;
    sortByKey(m_key, m_ascending);
}

TWRepeatPtr TWRepeatsModel::repeatAtRow(int row) const
{
    if (row < 0 || row >= m_rows.size() || !m_rows[row].repeat || !m_business)
        return nullptr;
    return m_business->repeatWithIdentifier(m_rows[row].repeat->identifier());
}

int TWRepeatsModel::rowOfRepeat(qint32 identifier) const
{
    for (int row = 0; row < m_rows.size(); ++row)
        if (m_rows[row].repeat && m_rows[row].repeat->identifier() == identifier)
            return row;
    return -1;
}

TWRepeatRow TWRepeatsModel::makeRow(const TWRepeatPtr &stored) const
{
    TWRepeatRow row;
    row.repeat = stored->copy();
    if (!m_business)
        return row;
    TWBusiness &business = *m_business;
    const TWRepeatItemList items = business.itemsWithRepeatIdentifier(stored->identifier());
    row.repeat->setItems(items);
    row.itemCount = int(items.size());
    row.hasItems = !items.isEmpty();
    if (!row.hasItems)
        return row;
    const TWFormatter &formatter = TWFormatter::formatter();
    row.typeName = formatter.repeatTypeString(stored->type());
    row.nextDate = twNextRepeatDate(*row.repeat, business);
    const TWRepeatItem &first = items.first();
    if (const TWTransactionPtr transaction = first.record<TWTransaction>())
        row.sample = transaction;
    else if (const TWInvoicePtr invoice = first.record<TWInvoice>())
        row.sample = business.transactionsWithInvoice(*invoice).value(0);
    else if (const TWBillPtr bill = first.record<TWBill>())
        row.sample = business.transactionsWithBill(*bill).value(0);
    if (!row.sample)
        return row;
    const TWTransaction &sample = *row.sample;
    row.payee = sample.payee();
    row.description = sample.description();
    if (sample.hasSplit()) {
        row.account1 = row.account2 = TWLocalized("split");
    } else {
        const TWAccountPtr account1 = business.accountWithIdentifier(sample.account1Identifier());
        const TWAccountPtr account2 = business.accountWithIdentifier(sample.account2Identifier());
        row.account1 = account1 ? account1->name() : QString();
        row.account2 = account2 ? account2->name() : QString();
    }
    sides(sample, &row.debit, &row.credit);
    return row;
}

int TWRepeatsModel::compareRows(const TWRepeatRow &a, const TWRepeatRow &b, const QString &key)
{
    if (key == QLatin1String("type"))
        return threeWay(a.typeName.compare(b.typeName), 0);
    if (key == QLatin1String("payee"))
        return compareOptionalText(a.payee, b.payee);
    if (key == QLatin1String("description"))
        return compareOptionalText(a.description, b.description);
    if (key == QLatin1String("account1"))
        return threeWay(a.account1.compare(b.account1), 0);
    if (key == QLatin1String("account2"))
        return threeWay(a.account2.compare(b.account2), 0);
    if (key == QLatin1String("debit"))
        return threeWay(a.debit, b.debit);
    if (key == QLatin1String("credit"))
        return threeWay(a.credit, b.credit);
    if (key == QLatin1String("numberOfItems"))
        return threeWay(a.itemCount, b.itemCount);
    if (key == QLatin1String("repeats")) {
        if (!a.repeat || !b.repeat)
            return threeWay(bool(a.repeat), bool(b.repeat));
        return a.repeat->compare(*b.repeat);
    }
    return compareDates(a.nextDate, b.nextDate);
}

void TWRepeatsModel::sortByKey(const QString &key, bool ascending)
{
    m_key = key;
    m_ascending = ascending;
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(m_repeats.size());
    for (const TWRepeatPtr &repeat : std::as_const(m_repeats))
        if (repeat)
            m_rows.append(makeRow(repeat));
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [&key, ascending](const TWRepeatRow &a, const TWRepeatRow &b) {
                         const int order = compareRows(a, b, key);
                         return ascending ? order < 0 : order > 0;
                     });
    endResetModel();
}

void TWRepeatsModel::sort(int column, Qt::SortOrder order)
{
    sortByKey(sortKey(column).isEmpty() ? QStringLiteral("nextItem") : sortKey(column),
              order == Qt::AscendingOrder);
}

QString TWRepeatsModel::cellText(const TWRepeatRow &row, int column) const
{
    if (!row.hasItems || !m_business)
        return {};
    const TWFormatter &formatter = TWFormatter::formatter();
    const TWUnit *home = m_business->homeUnit().get();
    switch (column) {
    case TypeColumn:
        return row.typeName;
    case PayeeColumn:
        return row.payee;
    case DescriptionColumn:
        return row.description;
    case Account1Column:
        return row.account1;
    case Account2Column:
        return row.account2;
    case DebitColumn:
        return row.sample
                   ? formatter.debitCreditColumnString(row.debit, row.debit, home, true, true, true)
                   : QString();
    case CreditColumn:
        return row.sample ? formatter.debitCreditColumnString(row.credit, -row.credit, home, false,
                                                              true, true)
                          : QString();
    case NumberOfItemsColumn:
        return QString::number(row.itemCount);
    case RepeatsColumn:
        return formatter.repeatString(row.repeat->interval(), row.repeat->intervalUnit(),
                                      row.repeat->endDate());
    case NextItemColumn:
        return formatter.repeatNextItemString(row.repeat->active(), row.hasItems, row.nextDate);
    default:
        return {};
    }
}

int TWRepeatsModel::fittedWidth(int column, const QFontMetrics &data,
                                const QFontMetrics &header) const
{
    int width = 50;
    const QString title = headerData(column, Qt::Horizontal).toString();
    if (!title.isEmpty())
        width = std::max(width, header.horizontalAdvance(title) + 20);
    const bool amount = column == DebitColumn || column == CreditColumn;
    for (const TWRepeatRow &row : m_rows) {
        if (!row.hasItems)
            continue;
        const QString text = cellText(row, column);
        if (amount && text.isEmpty())
            continue;
        width = std::max(width, data.horizontalAdvance(text) + (amount ? 10 : 20));
    }
    return width;
}

int TWRepeatsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TWRepeatsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TWRepeatsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    if (role == Qt::DisplayRole)
        return cellText(m_rows[index.row()], index.column());
    if (role == Qt::TextAlignmentRole) {
        const int column = index.column();
        const bool right =
            column == DebitColumn || column == CreditColumn || column == NumberOfItemsColumn;
        return QVariant::fromValue(
            Qt::Alignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    return {};
}

QVariant TWRepeatsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return TWLocalized(kHeaderKeys[section]);
}
