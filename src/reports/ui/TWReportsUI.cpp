#include "TWReportsUI.h"

#include "TWAppRegistry.h"

void twRegisterReportsUI()
{
    [[maybe_unused]] TWAppRegistry &registry = TWAppRegistry::registry();
}
