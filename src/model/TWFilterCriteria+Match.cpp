// Matching transactions against criteria, and the day ranges of date criteria.

#include "model/TWFilterCriteria.h"

#include "foundation/TWClock.h"
#include "foundation/TWDateAdditions.h"
#include "model/TWBuiltInFields.h"

#include <algorithm>

namespace
{

// The transaction's side of a comparison. Only what the field holds is filled;
// the rest keeps the empty value of its kind.
struct TWFilterSide {
    qint32 identifier = 0;
    bool isSet = false; // accounts and tags: `set` holds the identifiers
    QList<qint32> set;
    QString text;
    bool yes = false;
    qint64 amount = 0;
    unsigned amountPlaces = 2; // decimal places of `amount`
    double number = 0.0;
    float percent = 0.0f;
    QDateTime date;
};

unsigned placesOf(const TWUnitPtr &unit)
{
    return unit ? unit->decimalPlaces() : 2u;
}

TWFilterSide sideOf(qint32 fieldIdentifier, const TWTransaction &transaction,
                    const TWFilterContext &context)
{
    TWFilterSide side;
    if (fieldIdentifier < 0) {
        switch (fieldIdentifier) {
        case TWFieldIdentifierDateModified:
            side.date = transaction.dateModified();
            break;
        case TWFieldIdentifierDateCreated:
            side.date = transaction.dateCreated();
            break;
        case TWFieldIdentifierDate:
            side.date = transaction.date();
            break;
        case TWFieldIdentifierUnit:
            if (transaction.unit())
                side.text = transaction.unit()->code();
            break;
        case TWFieldIdentifierNotes:
            side.text = transaction.notes();
            break;
        case TWFieldIdentifierDescription:
            side.text = transaction.description();
            break;
        case TWFieldIdentifierPayee:
            side.text = transaction.payee();
            break;
        case TWFieldIdentifierAttachments:
            side.yes = transaction.hasAttachments();
            break;
        case TWFieldIdentifierRepeat:
            side.yes = transaction.repeatIdentifier() != 0;
            break;
        case TWFieldIdentifierCleared:
            side.yes = transaction.cleared();
            break;
        case TWFieldIdentifierIdentifier:
            side.identifier = transaction.identifier();
            break;
        case TWFieldIdentifierAccount1:
            // Every account the transaction touches; 0 stands for no account
            // and is left out, so "no account" means exactly that.
            side.isSet = true;
            if (transaction.hasSplit()) {
                for (const TWSplitPtr &split : transaction.splits()) {
                    if (split && split->accountIdentifier() != 0)
                        side.set.append(split->accountIdentifier());
                }
            } else {
                if (transaction.account1Identifier() != 0)
                    side.set.append(transaction.account1Identifier());
                if (transaction.account2Identifier() != 0)
                    side.set.append(transaction.account2Identifier());
            }
            break;
        case TWFieldIdentifierTotal:
            // The home-currency amount counts in the home unit's minor units.
            side.amount = transaction.totalBusiness();
            side.amountPlaces = placesOf(context.homeUnit ? context.homeUnit : transaction.unit());
            break;
        default:
            break;
        }
        return side;
    }

    const TWFieldPtr field = context.field ? context.field(fieldIdentifier) : nullptr;
    if (!field)
        return side;
    const TWFieldValuePtr value = transaction.fieldValueWithIdentifier(fieldIdentifier);
    switch (field->type()) {
    case TWFieldTypeText:
        if (value)
            side.text = value->text();
        break;
    case TWFieldTypeCurrency:
    case TWFieldTypePercentTotal:
        // Custom amounts are kept in the transaction's own unit.
        if (value)
            side.amount = value->currency();
        side.amountPlaces = placesOf(transaction.unit());
        break;
    case TWFieldTypeNumber:
        if (value)
            side.number = value->number();
        break;
    case TWFieldTypePercent:
        if (value)
            side.percent = value->percent();
        break;
    case TWFieldTypeCheckbox:
        if (value)
            side.yes = value->checkboxValue();
        break;
    case TWFieldTypeDate:
        if (value)
            side.date = value->date();
        break;
    case TWFieldTypeList:
        side.identifier = value ? value->listItemIdentifier() : -1;
        break;
    case TWFieldTypeTags:
        if (value && value->hasValue()) {
            side.isSet = true;
            side.set = value->tagItemIdentifiers();
        } else {
            side.identifier = -1;
        }
        break;
    default:
        break;
    }
    return side;
}

template <typename T> bool ordered(quint32 comparison, const T &a, const T &b)
{
    switch (comparison) {
    case TWFilterComparisonIs:
        return a == b;
    case TWFilterComparisonIsNot:
        return a != b;
    case TWFilterComparisonLess:
        return a < b;
    case TWFilterComparisonLessOrEqual:
        return a <= b;
    case TWFilterComparisonGreater:
        return a > b;
    case TWFilterComparisonGreaterOrEqual:
        return a >= b;
    default:
        return false;
    }
}

// a / 10^aPlaces against b / 10^bPlaces, exactly: -1, 0 or 1. The amount with
// fewer places is scaled up; when that leaves the 64-bit range its magnitude
// exceeds any 64-bit amount, so its sign decides.
int compareScaled(qint64 a, unsigned aPlaces, qint64 b, unsigned bPlaces)
{
    if (aPlaces < bPlaces)
        return -compareScaled(b, bPlaces, a, aPlaces);
    qint64 scaled = b;
    for (unsigned i = bPlaces; i < aPlaces && scaled != 0; ++i) {
        if (__builtin_mul_overflow(scaled, qint64(10), &scaled))
            return b > 0 ? -1 : 1;
    }
    return a < scaled ? -1 : (a > scaled ? 1 : 0);
}

bool matchIdentifier(quint32 comparison, const TWFilterSide &side, qint32 value)
{
    if (!side.isSet)
        return ordered(comparison, side.identifier, value);
    switch (comparison) {
    case TWFilterComparisonIs:
    case TWFilterComparisonIsNot: {
        const bool found = value == -1 ? side.set.isEmpty() : side.set.contains(value);
        return comparison == TWFilterComparisonIs ? found : !found;
    }
    default:
        return ordered(comparison, qint32(0), value);
    }
}

bool matchText(quint32 comparison, const QString &text, const QString &value)
{
    // Literal and case-sensitive. An absent text is the empty text, which
    // every text contains, begins and ends with.
    switch (comparison) {
    case TWFilterComparisonIs:
        return text.compare(value, Qt::CaseSensitive) == 0;
    case TWFilterComparisonIsNot:
        return text.compare(value, Qt::CaseSensitive) != 0;
    case TWFilterComparisonContains:
        return value.isEmpty() || text.contains(value, Qt::CaseSensitive);
    case TWFilterComparisonDoesNotContain:
        return !value.isEmpty() && !text.contains(value, Qt::CaseSensitive);
    case TWFilterComparisonBeginsWith:
        return value.isEmpty() || text.startsWith(value, Qt::CaseSensitive);
    case TWFilterComparisonEndsWith:
        return value.isEmpty() || text.endsWith(value, Qt::CaseSensitive);
    default:
        return false;
    }
}

bool dayRange(const TWFilterCriteria &criteria, QDate *firstDay, QDate *lastDay);

// Compared by calendar day. The range's ends are plain days: building
// date-times for them on every transaction asked the time zone twice a match.
bool matchDate(quint32 comparison, const QDateTime &date, const TWFilterCriteria &criteria)
{
    QDate first;
    QDate last;
    if (!dayRange(criteria, &first, &last))
        return false;
    // A missing date lies in no range and is neither before nor after one.
    if (!date.isValid())
        return comparison == TWFilterComparisonIsNot;
    const QDate day = date.toLocalTime().date();
    switch (comparison) {
    case TWFilterComparisonIs:
    case TWFilterComparisonWithinDays:
    case TWFilterComparisonWithinWeeks:
    case TWFilterComparisonWithinMonths:
    case TWFilterComparisonWithinYears:
        return day >= first && day <= last;
    case TWFilterComparisonIsNot:
        return day < first || day > last;
    case TWFilterComparisonLess:
        return first > day;
    case TWFilterComparisonLessOrEqual:
        return first >= day;
    case TWFilterComparisonGreater:
        return last < day;
    case TWFilterComparisonGreaterOrEqual:
        return last <= day;
    default:
        return false;
    }
}

// --- Day arithmetic on calendar days, so that days of 23 or 25 hours count
// as one day. Results are kept within years 1 to 9999; a count that would go
// further reaches the bound, which no stored date passes. ---

const QDate kFirstDay(1, 1, 1);
const QDate kLastDay(9999, 12, 31);

QDate clampedDay(qint64 julianDay)
{
    return QDate::fromJulianDay(
        std::clamp(julianDay, kFirstDay.toJulianDay(), kLastDay.toJulianDay()));
}

QDate addDays(const QDate &day, qint64 days)
{
    // |days| stays far below the 64-bit range; the clamp does the rest.
    days = std::clamp<qint64>(days, -10'000'000, 10'000'000);
    return clampedDay(day.toJulianDay() + days);
}

// The same day of the month `months` later (earlier when negative), on the
// month's last day when the month is shorter.
QDate addMonths(const QDate &day, qint64 months)
{
    months = std::clamp<qint64>(months, -200'000, 200'000);
    const qint64 index = qint64(day.year()) * 12 + (day.month() - 1) + months;
    const qint64 year = index >= 0 ? index / 12 : -((-index + 11) / 12);
    const int month = int(index - year * 12) + 1;
    if (year < kFirstDay.year())
        return kFirstDay;
    if (year > kLastDay.year())
        return kLastDay;
    const QDate first(int(year), month, 1);
    return QDate(int(year), month, std::min(day.day(), first.daysInMonth()));
}

// The first and last calendar day of a date criterion's range; false
// without one (see TWFilterCriteria::startDate).
bool dayRange(const TWFilterCriteria &criteria, QDate *firstDay, QDate *lastDay)
{
    const QDate today = TWClock::today();
    QDate first;
    QDate last;
    switch (criteria.valueType()) {
    case TWFilterValueTypeDate:
        if (criteria.valueDate().isValid())
            first = last = criteria.valueDate().toLocalTime().date();
        break;
    case TWFilterValueTypeNamedPeriod:
        switch (criteria.valueIdentifier()) {
        case TWFilterPeriodToday:
            first = last = today;
            break;
        case TWFilterPeriodYesterday:
            first = last = addDays(today, -1);
            break;
        case TWFilterPeriodLastSevenDays:
            first = addDays(today, -7);
            last = today;
            break;
        case TWFilterPeriodThisWeek:
            first = TWDateAdditions::currentWeekStart().date();
            last = TWDateAdditions::currentWeekEnd().date();
            break;
        case TWFilterPeriodSinceLastMonth:
            first = addMonths(today, -1);
            last = today;
            break;
        case TWFilterPeriodThisMonth:
            first = TWDateAdditions::currentMonthStart().date();
            last = TWDateAdditions::currentMonthEnd().date();
            break;
        case TWFilterPeriodSinceThreeMonthsAgo:
            first = addMonths(today, -3);
            last = today;
            break;
        case TWFilterPeriodThisQuarter:
            first = TWDateAdditions::currentQuarterStart().date();
            last = TWDateAdditions::currentQuarterEnd().date();
            break;
        case TWFilterPeriodSinceLastYear:
            first = addMonths(today, -12);
            last = today;
            break;
        case TWFilterPeriodThisYear:
            first = TWDateAdditions::currentYearStart().date();
            last = TWDateAdditions::currentYearEnd().date();
            break;
        default:
            break;
        }
        break;
    case TWFilterValueTypeRelativeDate: {
        const qint64 n = criteria.valueRelativeDate();
        QDate other;
        switch (criteria.match()) {
        case TWFilterComparisonWithinDays:
            other = addDays(today, n);
            break;
        case TWFilterComparisonWithinWeeks:
            other = addDays(today, 7 * n);
            break;
        case TWFilterComparisonWithinMonths:
            other = addMonths(today, n);
            break;
        case TWFilterComparisonWithinYears:
            other = addMonths(today, 12 * n);
            break;
        default:
            break;
        }
        if (other.isValid()) {
            first = n >= 1 ? today : other;
            last = n >= 1 ? other : today;
        }
        break;
    }
    default:
        break;
    }

    if (!first.isValid() || !last.isValid())
        return false;
    *firstDay = first;
    *lastDay = last;
    return true;
}

} // namespace

bool TWFilterCriteria::startDate(QDateTime *startDate, QDateTime *endDate) const
{
    if (startDate)
        *startDate = QDateTime();
    if (endDate)
        *endDate = QDateTime();

    QDate first;
    QDate last;
    if (!dayRange(*this, &first, &last))
        return false;
    if (startDate)
        *startDate =
            TWDateAdditions::dateFromFields(first.year(), first.month(), first.day(), 0, 0, 0);
    if (endDate)
        *endDate =
            TWDateAdditions::dateFromFields(last.year(), last.month(), last.day(), 23, 59, 59);
    return true;
}

bool TWFilterCriteria::matchTransaction(const TWTransaction &transaction,
                                        const TWFilterContext &context) const
{
    return matchTransaction(transaction, context, 0);
}

bool TWFilterCriteria::matchTransaction(const TWTransaction &transaction,
                                        const TWFilterContext &context, int depth) const
{
    if (m_type == TWFilterCriteriaTypeCompound) {
        if (depth >= kMaxDepth)
            return false;
        // An empty compound keeps its meaning: all and none hold, any does not.
        switch (m_match) {
        case TWFilterMatchAll:
            for (const TWFilterCriteriaPtr &child : m_childCriteria) {
                if (child && !child->matchTransaction(transaction, context, depth + 1))
                    return false;
            }
            return true;
        case TWFilterMatchAny:
            for (const TWFilterCriteriaPtr &child : m_childCriteria) {
                if (child && child->matchTransaction(transaction, context, depth + 1))
                    return true;
            }
            return false;
        case TWFilterMatchNone:
            for (const TWFilterCriteriaPtr &child : m_childCriteria) {
                if (child && child->matchTransaction(transaction, context, depth + 1))
                    return false;
            }
            return true;
        default:
            return false;
        }
    }
    if (m_type != TWFilterCriteriaTypeSimple)
        return false;

    const TWFilterSide side = sideOf(m_fieldIdentifier, transaction, context);
    switch (m_valueType) {
    case TWFilterValueTypeIdentifier:
        return matchIdentifier(m_match, side, m_valueIdentifier);
    case TWFilterValueTypeText:
        return matchText(m_match, side.text, m_valueText);
    case TWFilterValueTypeSwitch:
        // A switch is the same or not; the comparison plays no part.
        return side.yes == m_valueSwitch;
    case TWFilterValueTypeCurrency:
        return ordered(m_match, compareScaled(side.amount, side.amountPlaces, m_valueCurrency, 2),
                       0);
    case TWFilterValueTypeNumber:
        return ordered(m_match, side.number, m_valueNumber);
    case TWFilterValueTypePercent:
        return ordered(m_match, side.percent, m_valuePercent);
    case TWFilterValueTypeNamedPeriod:
    case TWFilterValueTypeRelativeDate:
    case TWFilterValueTypeDate:
        return matchDate(m_match, side.date, *this);
    default:
        return false;
    }
}
