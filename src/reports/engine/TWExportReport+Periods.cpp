// The shared pieces of every report body: the dates line, graph periods,
// vertical axes and pies.

#include "reports/engine/TWExportReport.h"

#include "foundation/TWClock.h"
#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"

#include <cmath>
#include <limits>

using namespace TWDateAdditions;

QString TWExportReport::datesString() const
{
    const TWFormatter &formatter = TWFormatter::formatter();
    if (m_fromDate.isValid() && m_toDate.isValid())
        return QStringLiteral("%1 %2 %3")
            .arg(formatter.longDateString(m_fromDate), TWLocalized("toLower"),
                 formatter.longDateString(m_toDate));
    if (m_fromDate.isValid())
        return QStringLiteral("%1 %2").arg(TWLocalized("asOf"),
                                           formatter.longDateString(m_fromDate));
    if (m_toDate.isValid())
        return QStringLiteral("%1 %2").arg(TWLocalized("asOf"), formatter.longDateString(m_toDate));
    return TWLocalized("allDates");
}

void TWExportReport::graphFromDates(QList<QDateTime> *fromDates, QList<QDateTime> *toDates) const
{
    QList<QDateTime> starts;
    QList<QDateTime> ends;
    starts.reserve(kMaximumGraphPeriods);
    ends.reserve(kMaximumGraphPeriods);
    const bool time = m_report && m_report->reportType() == TWReportTypeTime;

    QDateTime start = m_fromDate;
    if (!start.isValid())
        start = firstDateThisMonth(time ? m_business->oldestTaskItemDate()
                                        : m_business->oldestTransactionDate());
    QDateTime end = m_toDate;
    if (!end.isValid()) {
        const QDateTime newest =
            time ? m_business->newestTaskItemDate() : m_business->newestTransactionDate();
        const QDateTime now = TWClock::now();
        end = compareDate(newest, now) < 0 ? now : newest;
    }

    if (start.isValid() && end.isValid()) {
        // The calendar difference picks the step: years, else months, else days.
        const QDate a = start.date();
        const QDate b = end.date();
        qint64 months = (qint64(b.year()) - a.year()) * 12 + (b.month() - a.month());
        if (b.day() < a.day())
            --months;
        const auto advance = [&](const QDateTime &date) {
            if (months >= 12)
                return date.addYears(1);
            if (months >= 1)
                return date.addMonths(1);
            return date.addDays(1);
        };
        QDateTime periodEnd = yesterdayDate(advance(start));
        while (compareDate(periodEnd, end) <= 0) {
            starts.append(start);
            ends.append(periodEnd);
            start = nextDayDate(periodEnd);
            periodEnd = yesterdayDate(advance(start));
        }
        // The range's last days make a shorter last period, even a single
        // day: every day of the range lies in some bar.
        if (compareDate(start, end) <= 0) {
            starts.append(start);
            ends.append(end);
        }
    }
    if (starts.size() > kMaximumGraphPeriods) {
        const qsizetype drop = starts.size() - kMaximumGraphPeriods;
        starts.remove(0, drop);
        ends.remove(0, drop);
    }
    if (fromDates)
        *fromDates = starts;
    if (toDates)
        *toDates = ends;
}

QList<TWDateSpan> TWExportReport::graphSpans(bool withStarts, QList<QDateTime> *toDates) const
{
    QList<QDateTime> starts;
    QList<QDateTime> ends;
    graphFromDates(&starts, &ends);
    QList<TWDateSpan> spans;
    spans.reserve(ends.size());
    for (qsizetype i = 0; i < ends.size(); ++i)
        spans.append({withStarts ? starts.at(i) : QDateTime(), ends.at(i)});
    if (toDates)
        *toDates = ends;
    return spans;
}

qint64 TWExportReport::totalUnitStep(qint64 span)
{
    if (span < 11)
        return 1;
    // Stops at the largest power of ten that fits in 64 bits.
    constexpr qint64 limit = std::numeric_limits<qint64>::max() / 10;
    qint64 p = 10;
    while (p <= limit && 10 * p < span)
        p *= 10;
    return p <= span / 2 ? p : p / 10;
}

double TWExportReport::timeUnitStep(double span)
{
    if (!std::isfinite(span))
        return 0;
    double base = span > 60 ? 3600 : 60;
    if (span > base) {
        while (span > base)
            base *= 10;
        base /= 10;
        if (base > 1 && 2 * base > span)
            base /= 10;
    } else {
        base /= 60;
        if (base > 1 && 2 * base > span)
            base /= 60;
    }
    return base;
}

namespace
{
qint64 saturatingMagnitude(qint64 value)
{
    return value == std::numeric_limits<qint64>::min() ? std::numeric_limits<qint64>::max()
                                                       : (value < 0 ? -value : value);
}
} // namespace

TWDataSetValueList TWExportReport::yAxisTotalValues(qint64 minimumTotal, qint64 maximumTotal) const
{
    TWDataSetValueList values;
    values.reserve(25);
    const qint64 a = saturatingMagnitude(minimumTotal);
    const qint64 b = saturatingMagnitude(maximumTotal);
    const qint64 span =
        a > std::numeric_limits<qint64>::max() - b ? std::numeric_limits<qint64>::max() : a + b;
    const qint64 step = totalUnitStep(span);
    if (step <= 0)
        return values;
    qint64 v = minimumTotal - minimumTotal % step;
    while (v < maximumTotal) {
        values.append(TWDataSetValue(QString(), double(v), graphMoneyString(v)));
        if (v > std::numeric_limits<qint64>::max() - step)
            break;
        v += step;
    }
    return values;
}

TWDataSetValueList TWExportReport::yAxisTimeValues(double minimumTotal, double maximumTotal) const
{
    TWDataSetValueList values;
    values.reserve(25);
    const double step = timeUnitStep(std::fabs(minimumTotal) + std::fabs(maximumTotal));
    if (!(step > 0))
        return values;
    for (double v = minimumTotal - std::fmod(minimumTotal, step); v < maximumTotal; v += step)
        values.append(TWDataSetValue(QString(), v, timeString(v)));
    return values;
}

TWDataSet TWExportReport::pieDataSet(const QList<PieEntry> &entries,
                                     const std::function<QString(double)> &text)
{
    TWDataSetValueList values;
    values.reserve(std::min<qsizetype>(entries.size(), kMaximumPieSlices) + 1);
    double other = 0;
    double otherSize = 0;
    for (const PieEntry &entry : entries) {
        // A slice is sized by the magnitude and keeps the signed text; a zero
        // amount is no slice.
        if (entry.value == 0)
            continue;
        if (values.size() < kMaximumPieSlices) {
            values.append(TWDataSetValue(entry.label, std::fabs(entry.value), text(entry.value)));
        } else {
            other += entry.value;
            otherSize += std::fabs(entry.value);
        }
    }
    std::stable_sort(
        values.begin(), values.end(),
        [](const TWDataSetValue &a, const TWDataSetValue &b) { return a.compare(b) < 0; });
    if (otherSize != 0)
        values.append(TWDataSetValue(TWLocalized("other"), otherSize, text(other)));
    else if (values.isEmpty())
        values.append(TWDataSetValue(TWLocalized("none"), 1.0, text(0)));
    return TWDataSet(QString(), values);
}

TWDataSet TWExportReport::pieDataSetFromAccountValues(const QHash<qint32, qint64> &values,
                                                      const TWAccountList &orderedAccounts) const
{
    QList<PieEntry> entries;
    entries.reserve(values.size());
    for (const TWAccountPtr &account : orderedAccounts) {
        const auto it = values.constFind(account->identifier());
        if (it != values.constEnd() && *it != 0)
            entries.append({account->name(), double(*it)});
    }
    return pieDataSet(entries, [this](double v) { return graphMoneyString(qint64(v)); });
}
