#pragma once
// The words of a refusal to delete records whose transactions lie in a closed
// accounting period or are locked: the period is named, by its name and days,
// so that the user knows which books to reopen.

#include "model/TWAccountingPeriod.h"
#include "model/TWTransaction.h"

#include <QString>

class TWBusiness;

// "NAME (FIRST DAY – LAST DAY)" of a period, days in the locale's short
// format; a period without a name by its days alone.
QString twAccountingPeriodText(const TWAccountingPeriod &period);

// Why records holding `held` (a closed or locked transaction) cannot be
// deleted: the closed period it lies in, or that it is locked.
QString twClosedDeleteText(const TWBusiness &business, const TWTransaction &held);
