#include "invoicing/ui/TWInvoicing.h"

#include "invoicing/ui/TWInvoicesController.h"

#include "app/TWAppRegistry.h"

void twRegisterInvoicing()
{
    TWAppRegistry::registry().setInvoiceListFactory(
        [](QObject *parent) { return new TWInvoicesController(parent); });
}
