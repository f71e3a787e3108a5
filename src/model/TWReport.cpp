#include "model/TWReport.h"

#include "foundation/TWClock.h"
#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"
#include "model/TWDateRanges.h"
#include "model/TWItemIcons.h"

namespace
{

constexpr const char *kReportTypeKeys[] = {
    "balanceSheet",
    "income",
    "cashFlow",
    "equity",
    "clients",
    "merchants",
    "time",
    "trialBalance",
    "customCurrencyFields",
    "clientsUninvoiced",
};

QDateTime ask(const std::function<QDateTime()> &source)
{
    return source ? source() : QDateTime();
}

} // namespace

TWReport::TWReport(qint32 identifier, QString name, qint32 parentIdentifier, quint32 sortOrder,
                   TWReportType reportType, TWReportDateType dateType, QDateTime fromDate,
                   QDateTime toDate, bool compare, TWReportDateType compareDateType,
                   QDateTime compareFromDate, QDateTime compareToDate, bool showGraphs)
    : TWItem(identifier, TWItemTypeReport, std::move(name), parentIdentifier, sortOrder),
      m_reportType(reportType), m_dateType(dateType), m_fromDate(std::move(fromDate)),
      m_toDate(std::move(toDate)), m_compare(compare), m_compareDateType(compareDateType),
      m_compareFromDate(std::move(compareFromDate)), m_compareToDate(std::move(compareToDate)),
      m_showGraphs(showGraphs)
{
}

TWReportPtr TWReport::reportWithIdentifier(qint32 identifier, const QString &name,
                                           qint32 parentIdentifier, quint32 sortOrder,
                                           TWReportType reportType, TWReportDateType dateType,
                                           const QDateTime &fromDate, const QDateTime &toDate,
                                           bool compare, TWReportDateType compareDateType,
                                           const QDateTime &compareFromDate,
                                           const QDateTime &compareToDate, bool showGraphs)
{
    return std::make_shared<TWReport>(identifier, name, parentIdentifier, sortOrder, reportType,
                                      dateType, fromDate, toDate, compare, compareDateType,
                                      compareFromDate, compareToDate, showGraphs);
}

TWItemPtr TWReport::clone() const
{
    return copy();
}

void TWReport::datesForType(int dateType, QDateTime *fromDate, QDateTime *toDate,
                            const QDateTime &customFromDate, const QDateTime &customToDate,
                            const TWReportPeriods &periods) const
{
    if (fromDate)
        *fromDate = QDateTime();
    if (toDate)
        *toDate = QDateTime();

    // Time reports span the task items rather than the transactions.
    const bool time = m_reportType == TWReportTypeTime;
    const auto oldest = [&] {
        return ask(time ? periods.oldestTaskItemDate : periods.oldestTransactionDate);
    };
    const auto newest = [&] {
        return ask(time ? periods.newestTaskItemDate : periods.newestTransactionDate);
    };

    // Read as unsigned, so a negative value from a damaged document is "above 16".
    switch (static_cast<quint32>(dateType)) {
    case TWReportDateTypeAllDates:
    case TWReportDateTypeThisWeek:
    case TWReportDateTypeLastWeek:
    case TWReportDateTypeThisMonth:
    case TWReportDateTypeLastMonth:
    case TWReportDateTypeThisQuarter:
    case TWReportDateTypeLastQuarter:
    case TWReportDateTypeThisYear:
    case TWReportDateTypeLastYear:
        TWDateRanges::calendarDateRange(dateType, fromDate, toDate);
        break;
    case TWReportDateTypeCurrentAccountingPeriod:
        if (fromDate)
            *fromDate = periods.currentStartDate.isValid() ? periods.currentStartDate : oldest();
        if (toDate)
            *toDate = periods.currentEndDate.isValid() ? periods.currentEndDate : newest();
        break;
    case TWReportDateTypeLastAccountingPeriod:
        if (periods.hasLastPeriod) {
            if (fromDate)
                *fromDate = periods.lastStartDate;
            if (toDate)
                *toDate = periods.lastEndDate;
        }
        break;
    case TWReportDateTypeCustomRange:
        if (fromDate)
            *fromDate = customFromDate;
        if (toDate)
            *toDate = customToDate;
        break;
    case TWReportDateTypeToday:
        if (fromDate)
            *fromDate = TWClock::now();
        break;
    case TWReportDateTypeYesterday:
        if (fromDate)
            *fromDate = TWDateAdditions::yesterdayDate(TWClock::now());
        break;
    case TWReportDateTypeEndOfCurrentPeriod:
        if (fromDate)
            *fromDate = periods.currentEndDate.isValid() ? periods.currentEndDate : newest();
        break;
    case TWReportDateTypeEndOfLastPeriod:
        if (fromDate && periods.hasLastPeriod)
            *fromDate = periods.lastEndDate;
        break;
    case TWReportDateTypeCustomDate:
        if (fromDate)
            *fromDate = customFromDate;
        break;
    default:
        break;
    }
}

void TWReport::calculateFromDate(QDateTime *fromDate, QDateTime *toDate, QDateTime *compareFromDate,
                                 QDateTime *compareToDate, const TWReportPeriods &periods) const
{
    datesForType(m_dateType, fromDate, toDate, m_fromDate, m_toDate, periods);
    if (m_compare)
        datesForType(m_compareDateType, compareFromDate, compareToDate, m_compareFromDate,
                     m_compareToDate, periods);
}

// periodsWithBusiness is defined with the store, which knows the periods.

QImage TWReport::defaultIconForReport(const TWReport *)
{
    return TWItemIcons::image(QStringLiteral("Report"));
}

QString TWReport::reportTypeNameKey(int reportType)
{
    const auto index = static_cast<quint32>(reportType);
    if (index >= std::size(kReportTypeKeys))
        return QString();
    return QString::fromLatin1(kReportTypeKeys[index]);
}

QString TWReport::reportTypeName(int reportType)
{
    const QString key = reportTypeNameKey(reportType);
    return key.isNull() ? QString(QLatin1String("")) : TWLocalized(key);
}
