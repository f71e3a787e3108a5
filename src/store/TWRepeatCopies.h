#pragma once
// The next dates of a repeat schedule and the next copies of its records,
// taking the series day from the schedule's first stored record and the
// identifiers from the business.

#include "model/TWBill.h"
#include "model/TWInvoice.h"
#include "model/TWRepeat.h"
#include "model/TWTransaction.h"

class TWBusiness;

// The next date after `date`, the series day taken from the schedule's first
// stored record.
QDateTime twNextRepeatDate(const TWRepeat &repeat, const QDateTime &date, TWBusiness &business);
// The next date after the latest item; none without items.
inline QDateTime twNextRepeatDate(const TWRepeat &repeat, TWBusiness &business)
{
    return twNextRepeatDate(repeat, repeat.latestItemDate(), business);
}

// The copy for `date` with the business's next identifier; a transaction
// copy is closed when its day lies in a closed accounting period, and none
// when no identifier could be had.
TWTransactionPtr twRepeatTransaction(const TWTransaction &transaction, const QDateTime &date,
                                     TWBusiness &business);
TWInvoicePtr twRepeatInvoice(const TWInvoice &invoice, const QDateTime &date, TWBusiness &business);
TWBillPtr twRepeatBill(const TWBill &bill, const QDateTime &date, TWBusiness &business);
