#pragma once
// The numbers that name a record's amounts when one of them was typed (the
// master) and the others follow from it (the targets), and the two services the
// amount arithmetic borrows from the business: converting between units and
// writing an amount as money text.

#include "model/TWUnit.h"

#include <QString>

#include <functional>
#include <initializer_list>

enum TWTotalType : int {
    TWTotalTypeAll = 0,      // as a target: every amount but the master
    TWTotalTypeTotal = 1,    // the record's own amount, in its own unit
    TWTotalTypeAccount1 = 2, // a transaction's amount in account 1's unit
    TWTotalTypeAccount2 = 3, // a transaction's amount in account 2's unit
    TWTotalTypeBusiness = 4, // the amount in the home unit
    TWTotalTypeAccount = 5,  // a split's amount in its account's unit
};

// An amount of one unit expressed in another (the business's conversion, with
// its rates and rounding).
using TWUnitConverter = std::function<qint64(qint64 total, const TWUnit &from, const TWUnit &to)>;

// An amount as the money text searches compare with: no unit shown, no grouping
// separators, signed, decimals shown.
using TWMoneyText = std::function<QString(qint64 total, const TWUnitPtr &unit)>;

// One of a record's amounts as recomputing from the master sees it: which
// amount it is, where the record keeps it and the unit it is in (an amount
// whose unit is null is left as it is).
struct TWTotalSlot {
    int type;
    qint64 *amount;
    const TWUnitPtr *unit;
};

// The one conversion from a typed amount to the amounts that follow from it,
// shared by transactions and split lines. The one of `amounts` whose type is
// `masterTotalType` is the source (none, or one without a unit: nothing
// changes); every other one with a unit is converted from it when `totalType`
// is TWTotalTypeAll or names it, in the order given. Every amount comes
// from the master's value as it was on entry, never from one just recomputed.
void TWUpdateTotalsFromMaster(int masterTotalType, int totalType,
                              std::initializer_list<TWTotalSlot> amounts,
                              const TWUnitConverter &convert);
