#include "TWExportUI.h"

#include "TWExportTransactionsController.h"
#include "TWExportWorkController.h"

#include "TWAppRegistry.h"

void twRegisterExportUI()
{
    TWAppRegistry &registry = TWAppRegistry::registry();
    registry.setEditorFactory(TWEditorKind::ExportTransactions, [](QObject *parent) {
        return new TWExportTransactionsController(parent);
    });
    registry.setEditorFactory(TWEditorKind::ExportTasks,
                              [](QObject *parent) { return new TWExportTasksController(parent); });
    registry.setEditorFactory(TWEditorKind::ExportExpenses, [](QObject *parent) {
        return new TWExportExpensesController(parent);
    });
}
