#include "import/ui/TWImportUI.h"

#include "import/ui/TWImportTransactionsController.h"
#include "import/ui/TWImportWorkController.h"

#include "app/TWAppRegistry.h"

void twRegisterImportUI()
{
    TWAppRegistry &registry = TWAppRegistry::registry();
    registry.setEditorFactory(TWEditorKind::ImportTransactions, [](QObject *parent) {
        return new TWImportTransactionsController(parent);
    });
    registry.setEditorFactory(TWEditorKind::ImportTasks,
                              [](QObject *parent) { return new TWImportTasksController(parent); });
    registry.setEditorFactory(TWEditorKind::ImportExpenses, [](QObject *parent) {
        return new TWImportExpensesController(parent);
    });
}
