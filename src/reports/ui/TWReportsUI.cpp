#include "TWReportsUI.h"

#include "TWBudgetController.h"
#include "TWReportController.h"
#include "TWReportInfoController.h"

#include "TWAppRegistry.h"

void twRegisterReportsUI()
{
    TWAppRegistry &registry = TWAppRegistry::registry();
    registry.setDetailFactory(TWDetailReport, [](QObject *parent) -> TWDetailController * {
        return new TWReportController(parent);
    });
    registry.setEditorFactory(
        TWEditorKind::ReportInfo,
        [](QObject *parent) -> TWEditorController * { return new TWReportInfoController(parent); });
    registry.setDetailFactory(TWDetailBudget,
                              [](QObject *parent) { return new TWBudgetController(parent); });
}
