#include "export/ui/TWExportUI.h"

#include "export/ui/TWExportTransactionsController.h"
#include "export/ui/TWExportWorkController.h"

#include "app/TWAppRegistry.h"

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
