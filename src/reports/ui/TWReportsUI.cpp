#include "TWReportsUI.h"

#include "TWBudgetController.h"

#include "TWAppRegistry.h"

void twRegisterReportsUI()
{
    [[maybe_unused]] TWAppRegistry &registry = TWAppRegistry::registry();
    registry.setDetailFactory(TWDetailBudget,
                              [](QObject *parent) { return new TWBudgetController(parent); });
}
