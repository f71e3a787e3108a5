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
#include <QSet>

class TWBusiness;

namespace TWImportDuplicates
{

// Same total, account 1, account 2, day and unit as a stored transaction as
// one of its accounts lists it: as written (account 1 first) or the other way
// round (account 2 first, the total negated), also in that account's own unit
// where the transaction is kept in another; a split transaction by its lines.
// A stored transaction answers once for each account it touches: a file that
// lists a transfer under both its accounts is all duplicates, while of two
// like purchases of a day in one account, where one is stored, one is new.
// A transaction named in `openCounterparts` (by identifier: its account 2 is
// no file's but a guess, a bank statement's line) is known by its own account,
// amount, day and unit alone. A split transaction's row stands under the
// account its file lists it under (its active account) and takes only a
// place under that account; one named in `unlistedSplits` (a file of several
// accounts that does not say which listed it) takes a place under any.
QList<bool> transactions(const TWBusiness &business, const TWTransactionList &transactions,
                         const QSet<qint32> &openCounterparts = {},
                         const QSet<qint32> &unlistedSplits = {});
// Same project, task type, quantity, rate and day as a stored task. A stored
// task's quantity comes from its stored time items, an imported task's from
// its own (it has none in the store yet).
QList<bool> tasks(TWBusiness &business, const TWTaskList &tasks);
// Same project, quantity, cost and day as a stored expense.
QList<bool> expenses(const TWBusiness &business, const TWExpenseList &expenses);

} // namespace TWImportDuplicates
