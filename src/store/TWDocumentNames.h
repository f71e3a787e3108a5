#pragma once
// Invoices and bills named as the user knows them, in one short list for an
// alert that says which of them a change reaches.

#include "model/TWBill.h"
#include "model/TWInvoice.h"

#include <QString>

// Each invoice by its number, else its name, else its identifier; a long list
// ends with how many more there are.
QString twInvoiceNames(const TWInvoiceList &invoices);
// Each bill by its name, else its identifier.
QString twBillNames(const TWBillList &bills);
