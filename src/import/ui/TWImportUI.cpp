#include "TWImportUI.h"

#include "TWImportTransactionsController.h"

#include "TWAppRegistry.h"

void twRegisterImportUI()
{
    TWAppRegistry &registry = TWAppRegistry::registry();
    registry.setEditorFactory(TWEditorKind::ImportTransactions, [](QObject *parent) {
        return new TWImportTransactionsController(parent);
    });
}
