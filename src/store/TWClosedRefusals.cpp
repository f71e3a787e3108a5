#include "store/TWClosedRefusals.h"

#include "store/TWBusiness.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"

QString twAccountingPeriodText(const TWAccountingPeriod &period)
{
    const TWFormatter &formatter = TWFormatter::formatter();
    const QString days = TWLocalized("accountingPeriodDays")
                             .arg(formatter.shortDateString(period.startDate()),
                                  formatter.shortDateString(period.endDate()));
    if (period.name().trimmed().isEmpty())
        return days;
    return TWLocalized("accountingPeriodNamed").arg(period.name(), days);
}

QString twClosedDeleteText(const TWBusiness &business, const TWTransaction &held)
{
    const TWAccountingPeriodPtr period = business.accountingPeriodForTransaction(held);
    if (held.state() != TWTransactionStateLocked && period && period->closed())
        return TWLocalized("deleteClosedTransaction").arg(twAccountingPeriodText(*period));
    return TWLocalized("deleteLockedTransaction");
}
