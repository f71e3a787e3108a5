#pragma once
// A saved report of the master list: which statement to compute (balance
// sheet, income, time ...), over which dates, optionally beside a comparison
// period, with or without graphs. The dates are kept as a date type that is
// resolved against "now" and the business's accounting periods when the report
// is computed.

#include "model/TWItem.h"

#include <QDateTime>
#include <QImage>

#include <functional>

enum TWReportType : int {
    TWReportTypeBalanceSheet = 0,
    TWReportTypeIncome = 1,
    TWReportTypeCashFlow = 2,
    TWReportTypeEquity = 3,
    TWReportTypeClients = 4,
    TWReportTypeMerchants = 5,
    TWReportTypeTime = 6,
    TWReportTypeTrialBalance = 7,
    TWReportTypeCustomCurrencyFields = 8,
    TWReportTypeClientsUninvoiced = 9,
};

// Types 0 to 11 give a range, 12 to 16 a single "as of" date (delivered as the
// from date). 0 to 8 are the named date ranges of TWDateRanges (0: unbounded).
enum TWReportDateType : int {
    TWReportDateTypeAllDates = 0,
    TWReportDateTypeThisWeek = 1,
    TWReportDateTypeLastWeek = 2,
    TWReportDateTypeThisMonth = 3,
    TWReportDateTypeLastMonth = 4,
    TWReportDateTypeThisQuarter = 5,
    TWReportDateTypeLastQuarter = 6,
    TWReportDateTypeThisYear = 7,
    TWReportDateTypeLastYear = 8,
    TWReportDateTypeCurrentAccountingPeriod = 9,
    TWReportDateTypeLastAccountingPeriod = 10,
    TWReportDateTypeCustomRange = 11,
    TWReportDateTypeToday = 12,
    TWReportDateTypeYesterday = 13,
    TWReportDateTypeEndOfCurrentPeriod = 14,
    TWReportDateTypeEndOfLastPeriod = 15,
    TWReportDateTypeCustomDate = 16,
};

// What the accounting-period date types need to know of a business: the bounds
// of the current and of the last accounting period (a missing bound is an
// invalid date), and where its records begin and end. The record dates are
// asked only when a period lacks a bound; a missing function counts as no date.
struct TWReportPeriods {
    QDateTime currentStartDate;
    QDateTime currentEndDate;
    bool hasLastPeriod = false;
    QDateTime lastStartDate;
    QDateTime lastEndDate;
    std::function<QDateTime()> oldestTransactionDate;
    std::function<QDateTime()> newestTransactionDate;
    // Start of the earliest and end of the latest task item (time reports).
    std::function<QDateTime()> oldestTaskItemDate;
    std::function<QDateTime()> newestTaskItemDate;
};

class TWReport : public TWItem
{
public:
    TWReport() : TWItem(0, TWItemTypeReport, QString(), 0, 0u) {}
    TWReport(qint32 identifier, QString name, qint32 parentIdentifier, quint32 sortOrder,
             TWReportType reportType, TWReportDateType dateType, QDateTime fromDate,
             QDateTime toDate, bool compare, TWReportDateType compareDateType,
             QDateTime compareFromDate, QDateTime compareToDate, bool showGraphs);

    static std::shared_ptr<TWReport>
    reportWithIdentifier(qint32 identifier, const QString &name, qint32 parentIdentifier,
                         quint32 sortOrder, TWReportType reportType, TWReportDateType dateType,
                         const QDateTime &fromDate, const QDateTime &toDate, bool compare,
                         TWReportDateType compareDateType, const QDateTime &compareFromDate,
                         const QDateTime &compareToDate, bool showGraphs);

    TWItemPtr clone() const override;
    std::shared_ptr<TWReport> copy() const { return std::make_shared<TWReport>(*this); }

    TWReportType reportType() const { return m_reportType; }
    void setReportType(TWReportType v) { m_reportType = v; }
    TWReportDateType dateType() const { return m_dateType; }
    void setDateType(TWReportDateType v) { m_dateType = v; }
    // The custom range (date type 11) or the custom date (from date, type 16).
    const QDateTime &fromDate() const { return m_fromDate; }
    void setFromDate(const QDateTime &v) { m_fromDate = v; }
    const QDateTime &toDate() const { return m_toDate; }
    void setToDate(const QDateTime &v) { m_toDate = v; }
    // Whether the report shows a comparison period too. (The name-order
    // comparison of items is compare(other).)
    using TWItem::compare;
    bool compare() const { return m_compare; }
    void setCompare(bool v) { m_compare = v; }
    TWReportDateType compareDateType() const { return m_compareDateType; }
    void setCompareDateType(TWReportDateType v) { m_compareDateType = v; }
    const QDateTime &compareFromDate() const { return m_compareFromDate; }
    void setCompareFromDate(const QDateTime &v) { m_compareFromDate = v; }
    const QDateTime &compareToDate() const { return m_compareToDate; }
    void setCompareToDate(const QDateTime &v) { m_compareToDate = v; }
    bool showGraphs() const { return m_showGraphs; }
    void setShowGraphs(bool v) { m_showGraphs = v; }

    // Resolves a date type into the given outputs (either may be null). Both
    // outputs are cleared first; as-of types set only the from date; a type
    // above 16 leaves both absent. The custom dates serve types 11 and 16.
    void datesForType(int dateType, QDateTime *fromDate, QDateTime *toDate,
                      const QDateTime &customFromDate, const QDateTime &customToDate,
                      const TWReportPeriods &periods) const;

    // The report's own period (dateType with fromDate and toDate) into the first
    // pair; when compare is set, the comparison period into the second pair,
    // which is otherwise left as the caller set it.
    void calculateFromDate(QDateTime *fromDate, QDateTime *toDate, QDateTime *compareFromDate,
                           QDateTime *compareToDate, const TWReportPeriods &periods) const;

    // The built-in image of every report ("Report").
    static QImage defaultIconForReport(const TWReport *report = nullptr);

    // The strings-table key of a report type's name ("balanceSheet"), null for
    // a value outside 0-9; the localised name, empty for such a value.
    static QString reportTypeNameKey(int reportType);
    static QString reportTypeName(int reportType);

private:
    TWReportType m_reportType = TWReportTypeBalanceSheet;
    TWReportDateType m_dateType = TWReportDateTypeAllDates;
    QDateTime m_fromDate;
    QDateTime m_toDate;
    bool m_compare = false;
    TWReportDateType m_compareDateType = TWReportDateTypeAllDates;
    QDateTime m_compareFromDate;
    QDateTime m_compareToDate;
    bool m_showGraphs = true;
};

using TWReportPtr = std::shared_ptr<TWReport>;
using TWReportList = QList<TWReportPtr>;
