#include "TWLedger.h"

#include "TWAppRegistry.h"
#include "TWDetailInterfaces.h"
#include "TWTransactionController.h"

void twRegisterLedger()
{
    [[maybe_unused]] TWAppRegistry &registry = TWAppRegistry::registry();
    registry.setEditorFactory(TWEditorKind::Transaction, [](QObject *parent) {
        return new TWTransactionController(parent);
    });
}
