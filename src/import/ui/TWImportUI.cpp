#include "TWImportUI.h"

#include "TWImportTransactionsController.h"
#include "TWImportWorkController.h"

#include "TWAppRegistry.h"

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
