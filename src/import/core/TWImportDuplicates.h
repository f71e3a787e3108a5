#pragma once
// The selection sheets' duplicate test: which imported transactions, tasks and
// expenses the business already holds, one answer per item, so that those can
// be left unticked. Each builds one hash of the stored records and looks every
// item up in it: a file of 50,000 rows against 100,000 stored records costs
// one pass over each, never a scan per row.

#include "model/TWExpense.h"
#include "model/TWTask.h"
#include "model/TWTransaction.h"

#include <QList>

class TWBusiness;

namespace TWImportDuplicates
{

// Same total, account 1, account 2, day and unit as a stored transaction,
// or the same entry the other way round (the accounts exchanged and the
// total negated). Each stored transaction answers for one row only: a file
// with two like purchases of a day where one is stored has one new.
QList<bool> transactions(const TWBusiness &business, const TWTransactionList &transactions);
// Same project, task type, quantity, rate and day as a stored task. A stored
// task's quantity comes from its stored time items, an imported task's from
// its own (it has none in the store yet).
QList<bool> tasks(TWBusiness &business, const TWTaskList &tasks);
// Same project, quantity, cost and day as a stored expense.
QList<bool> expenses(const TWBusiness &business, const TWExpenseList &expenses);

} // namespace TWImportDuplicates
