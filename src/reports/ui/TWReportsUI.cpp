#include "reports/ui/TWReportsUI.h"

#include "reports/ui/TWBudgetController.h"
#include "reports/ui/TWReportController.h"
#include "reports/ui/TWReportInfoController.h"

#include "app/TWAppRegistry.h"

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
