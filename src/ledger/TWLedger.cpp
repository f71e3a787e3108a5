#include "TWLedger.h"

#include "TWAppRegistry.h"
#include "TWDetailInterfaces.h"
#include "TWTransactionsController.h"

void twRegisterLedger()
{
    [[maybe_unused]] TWAppRegistry &registry = TWAppRegistry::registry();
    const auto makeRegister = [](QObject *parent) { return new TWTransactionsController(parent); };
    registry.setDetailFactory(TWDetailTransactionsAccounts, makeRegister);
    registry.setDetailFactory(TWDetailTransactionsFilters, makeRegister);
}
