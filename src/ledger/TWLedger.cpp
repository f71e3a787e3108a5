#include "TWLedger.h"

#include "TWAppRegistry.h"
#include "TWDetailInterfaces.h"
#include "TWTransactionController.h"
#include "TWTransactionsController.h"

void twRegisterLedger()
{
    [[maybe_unused]] TWAppRegistry &registry = TWAppRegistry::registry();
    registry.setEditorFactory(TWEditorKind::Transaction, [](QObject *parent) {
        return new TWTransactionController(parent);
    });
    const auto makeRegister = [](QObject *parent) { return new TWTransactionsController(parent); };
    registry.setDetailFactory(TWDetailTransactionsAccounts, makeRegister);
    registry.setDetailFactory(TWDetailTransactionsFilters, makeRegister);
}
