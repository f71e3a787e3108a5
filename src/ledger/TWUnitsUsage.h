#pragma once
// How many records of a business count their amounts in a unit: a unit in use
// may neither be deleted nor change its decimal places, since every stored
// amount is a whole number of its minor units.

#include "model/TWUnit.h"

class TWBusiness;

struct TWUnitsUsage {
    qsizetype accounts = 0;
    qsizetype transactions = 0;
    qsizetype splits = 0;
    qsizetype projects = 0;
    qsizetype budgetItems = 0;

    bool inUse() const { return accounts + transactions + splits + projects + budgetItems > 0; }
};

// Units are the same unit when their codes are equal.
TWUnitsUsage twUnitsUsage(const TWBusiness &business, const TWUnit &unit);
