#pragma once
// A report's dates with the business's accounting periods and the span of its
// records.

#include "model/TWReport.h"

class TWBusiness;

// The accounting periods and record span of a business, as the date types
// need them.
TWReportPeriods twReportPeriods(TWBusiness &business);
// TWReport::datesForType with the business's periods.
void twReportDates(const TWReport &report, int dateType, QDateTime *fromDate, QDateTime *toDate,
                   const QDateTime &customFromDate, const QDateTime &customToDate,
                   TWBusiness &business);
// TWReport::calculateFromDate with the business's periods.
void twReportPeriodDates(const TWReport &report, QDateTime *fromDate, QDateTime *toDate,
                         QDateTime *compareFromDate, QDateTime *compareToDate,
                         TWBusiness &business);
