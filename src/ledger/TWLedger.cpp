#include "TWLedger.h"

#include "TWAppRegistry.h"
#include "TWDetailInterfaces.h"

void twRegisterLedger()
{
    [[maybe_unused]] TWAppRegistry &registry = TWAppRegistry::registry();
}
