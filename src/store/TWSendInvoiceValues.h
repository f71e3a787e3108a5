#pragma once
// A client's invoice print settings with the business's defaults, and the
// invoice's values gathered from the store just before rendering.

#include "model/TWInvoice.h"
#include "model/TWSendInvoiceData.h"

class TWBusiness;

// The default settings; the tax label is the business's tax name.
TWSendInvoiceDataPtr twDefaultSendInvoiceData(TWBusiness &business);
// Rebuilt from a stored settings dictionary; missing keys take their defaults.
TWSendInvoiceDataPtr twRestoredSendInvoiceData(const QVariantMap &settings, TWBusiness &business);
// The invoice's values, its project's and client's, the business's details,
// the client's balance and the invoice's payments (its linked transactions
// refreshed first).
void twUpdateSendInvoiceData(TWSendInvoiceData &data, TWInvoice &invoice, TWBusiness &business);
