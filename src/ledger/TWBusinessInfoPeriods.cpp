#include "ledger/TWBusinessInfoPeriods.h"

#include "foundation/TWClock.h"
#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"

#include <QFont>

#include <algorithm>

namespace
{

int three(qint64 a, qint64 b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

int compareDates(const QDateTime &a, const QDateTime &b)
{
    if (!a.isValid() || !b.isValid())
        return three(a.isValid(), b.isValid());
    return three(a.toMSecsSinceEpoch(), b.toMSecsSinceEpoch());
}

int comparePeriods(const TWAccountingPeriod &a, const TWAccountingPeriod &b, int column)
{
    switch (column) {
    case TWBusinessInfoPeriods::Name:
        // A period without a name comes before one with a name.
        if (a.name().isEmpty() || b.name().isEmpty())
            return three(!a.name().isEmpty(), !b.name().isEmpty());
        return std::clamp(a.name().compare(b.name()), -1, 1);
    case TWBusinessInfoPeriods::Start:
        return compareDates(a.startDate(), b.startDate());
    case TWBusinessInfoPeriods::End:
        return compareDates(a.endDate(), b.endDate());
    default:
        return three(a.closed(), b.closed());
    }
}

QDateTime dateOf(const QVariant &value)
{
    if (value.canConvert<QDate>() && value.typeId() == QMetaType::QDate)
        return value.toDate().startOfDay();
    const QDateTime date = value.toDateTime();
    return date.isValid() ? date.date().startOfDay() : QDateTime();
}

} // namespace

TWBusinessInfoPeriods::TWBusinessInfoPeriods(QObject *parent) : QAbstractTableModel(parent)
{
}

void TWBusinessInfoPeriods::setPeriods(const TWAccountingPeriodList &periods)
{
    beginResetModel();
    m_periods = periods;
    endResetModel();
}

void TWBusinessInfoPeriods::setActiveIdentifier(qint32 identifier)
{
    m_activeIdentifier = identifier;
    if (!m_periods.isEmpty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1), {Qt::FontRole});
}

void TWBusinessInfoPeriods::sortPeriods(TWAccountingPeriodList &periods, int column, bool ascending)
{
    std::stable_sort(periods.begin(), periods.end(),
                     [&](const TWAccountingPeriodPtr &a, const TWAccountingPeriodPtr &b) {
                         const int order = comparePeriods(*a, *b, column);
                         return ascending ? order < 0 : order > 0;
                     });
}

TWAccountingPeriodPtr TWBusinessInfoPeriods::nextPeriod(const TWAccountingPeriodList &periods)
{
    QDateTime latest;
    for (const TWAccountingPeriodPtr &period : periods)
        if (period->endDate().isValid() && (!latest.isValid() || period->endDate() > latest))
            latest = period->endDate();
    QDateTime start = TWDateAdditions::firstDateOfYear();
    QDateTime end = TWDateAdditions::lastDateOfYear();
    if (latest.isValid()) {
        start = TWDateAdditions::nextDayDate(latest);
        end = TWDateAdditions::lastDateOfYear(start);
    }
    return TWAccountingPeriod::accountingPeriodWithName(QString::number(periods.size() + 1), start,
                                                        end, false, 0);
}

TWBusinessInfoPeriods::Problem TWBusinessInfoPeriods::checkPeriods(TWAccountingPeriodList &periods)
{
    for (const TWAccountingPeriodPtr &period : periods)
        if (!period->startDate().isValid() || !period->endDate().isValid() ||
            TWDateAdditions::differenceInDays(TWDateAdditions::startOfDay(period->startDate()),
                                              TWDateAdditions::startOfDay(period->endDate())) < 0)
            return EndsBeforeStart;
    std::stable_sort(periods.begin(), periods.end(),
                     [](const TWAccountingPeriodPtr &a, const TWAccountingPeriodPtr &b) {
                         return a->compare(*b) < 0;
                     });
    for (qsizetype i = 1; i < periods.size(); ++i)
        if (TWDateAdditions::compareDate(periods.at(i - 1)->endDate(),
                                         periods.at(i)->startDate()) >= 0)
            return Overlap;
    return NoProblem;
}

void TWBusinessInfoPeriods::append(const TWAccountingPeriodPtr &period)
{
    beginInsertRows(QModelIndex(), rowCount(), rowCount());
    m_periods.append(period);
    endInsertRows();
}

bool TWBusinessInfoPeriods::anyClosed(const QList<int> &rows) const
{
    return std::any_of(rows.cbegin(), rows.cend(), [this](int row) {
        return row >= 0 && row < m_periods.size() && m_periods.at(row)->closed();
    });
}

void TWBusinessInfoPeriods::removePeriods(QList<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int row : rows) {
        if (row < 0 || row >= m_periods.size())
            continue;
        beginRemoveRows(QModelIndex(), row, row);
        m_periods.removeAt(row);
        endRemoveRows();
    }
}

void TWBusinessInfoPeriods::sortBy(int column, bool ascending)
{
    beginResetModel();
    sortPeriods(m_periods, column, ascending);
    endResetModel();
}

int TWBusinessInfoPeriods::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_periods.size());
}

int TWBusinessInfoPeriods::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TWBusinessInfoPeriods::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_periods.size())
        return {};
    const TWAccountingPeriod &period = *m_periods.at(index.row());
    const int column = index.column();
    if (role == Qt::FontRole && column != Closed) {
        QFont font;
        font.setBold(m_activeIdentifier != 0 && period.identifier() == m_activeIdentifier);
        return font;
    }
    if (column == Closed)
        return role == Qt::CheckStateRole ? QVariant(period.closed() ? Qt::Checked : Qt::Unchecked)
                                          : QVariant();
    // Why the days of a closed period do not open for editing.
    if (role == Qt::ToolTipRole)
        return column != Name && period.closed() ? TWLocalized("closedAccountingPeriodDatesTip")
                                                 : QVariant();
    if (role == Qt::DisplayRole) {
        if (column == Name)
            return period.name();
        const QDateTime &date = column == Start ? period.startDate() : period.endDate();
        return TWFormatter::formatter().shortDateString(date);
    }
    if (role == Qt::EditRole) {
        if (column == Name)
            return period.name();
        // A date editor for the date columns.
        const QDateTime &date = column == Start ? period.startDate() : period.endDate();
        return date.isValid() ? date.date() : TWClock::today();
    }
    return {};
}

bool TWBusinessInfoPeriods::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= m_periods.size())
        return false;
    TWAccountingPeriod &period = *m_periods.at(index.row());
    switch (index.column()) {
    case Name:
        if (role != Qt::EditRole)
            return false;
        period.setName(value.toString().isEmpty() ? QString() : value.toString());
        break;
    case Start:
    case End: {
        // A closed period keeps its days until it is reopened.
        if (role != Qt::EditRole || period.closed())
            return false;
        const QDateTime date = dateOf(value);
        if (!date.isValid())
            return false;
        if (index.column() == Start)
            period.setStartDate(date);
        else
            period.setEndDate(date);
        break;
    }
    default:
        if (role != Qt::CheckStateRole)
            return false;
        period.setClosed(value.toInt() == Qt::Checked);
        break;
    }
    // Ticking Closed changes whether the row's days can be edited.
    if (index.column() == Closed)
        emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
    else
        emit dataChanged(index, index);
    if (edited)
        edited();
    return true;
}

Qt::ItemFlags TWBusinessInfoPeriods::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == Closed)
        return flags | Qt::ItemIsUserCheckable;
    // The days of a closed period were closed as they are: changing them
    // would leave its closing entries over the wrong days.
    const bool dates = index.column() == Start || index.column() == End;
    if (dates && index.row() < m_periods.size() && m_periods.at(index.row())->closed())
        return flags;
    return flags | Qt::ItemIsEditable;
}

QVariant TWBusinessInfoPeriods::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Name:
        return TWLocalized("accountingPeriodName");
    case Start:
        return TWLocalized("accountingPeriodStart");
    case End:
        return TWLocalized("accountingPeriodEnd");
    case Closed:
        return TWLocalized("accountingPeriodClosed");
    default:
        return {};
    }
}

void TWBusinessInfoPeriods::sort(int column, Qt::SortOrder order)
{
    if (sortRequested)
        sortRequested(column, order);
    else
        sortBy(column, order == Qt::AscendingOrder);
}
