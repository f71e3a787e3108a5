#include "TWInvoicing.h"

#include "TWInvoicesController.h"

#include "TWAppRegistry.h"

void twRegisterInvoicing()
{
    TWAppRegistry::registry().setInvoiceListFactory(
        [](QObject *parent) { return new TWInvoicesController(parent); });
}
