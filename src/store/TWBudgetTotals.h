#pragma once
// A budget item's totals over the business's transactions: its account's (a
// group's through its members), in the home unit, converted the business's
// way, with the business's debit-positive rule.

#include "model/TWBudgetItem.h"

class TWBusiness;

TWBudgetTotalPtr twBudgetTotal(const TWBudgetItem &item, TWBusiness &business);
