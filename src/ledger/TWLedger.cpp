#include "TWLedger.h"

#include "TWAccountInfoController.h"
#include "TWAppRegistry.h"
#include "TWDetailInterfaces.h"
#include "TWEditTransactionsController.h"

void twRegisterLedger()
{
    [[maybe_unused]] TWAppRegistry &registry = TWAppRegistry::registry();
    registry.setEditorFactory(TWEditorKind::EditTransactions, [](QObject *parent) {
        return new TWEditTransactionsController(parent);
    });
    registry.setEditorFactory(TWEditorKind::AccountInfo, [](QObject *parent) {
        return new TWAccountInfoController(parent);
    });
}
