#pragma once
// Invoices and bills named as the user knows them, in one short list for an
// alert that says which of them a change reaches.

#include "store/TWBusiness.h"

#include "model/TWBill.h"
#include "model/TWInvoice.h"

#include <QString>

// Each invoice by its number, else its name, else its identifier; a long list
// ends with how many more there are.
QString twInvoiceNames(const TWInvoiceList &invoices);
// Each bill by its name, else its identifier.
QString twBillNames(const TWBillList &bills);
// What an alert before deleting invoices or bills says of the payments that
// go with them: with `countPayments`, how many, how much and how many of them
// are reconciled; always, the other invoices and bills that lose a payment
// they share. Empty when there is nothing to say.
QString twDeletedPaymentsText(const TWBusiness::DeletedPayments &deleted,
                              const TWBusiness &business, bool countPayments);

// The sentences telling that bills were paid beyond their totals, each bill
// named with the amount over; empty when none was.
QString twOverpaidBillsText(const QList<TWBusiness::OverpaidBill> &overpaid,
                            const TWBusiness &business);
