#include "TWLedger.h"

#include "TWAutofillController.h"
#include "TWFieldsController.h"
#include "TWValuesController.h"

#include "TWAppRegistry.h"
#include "TWDetailInterfaces.h"

void twRegisterLedger()
{
    [[maybe_unused]] TWAppRegistry &registry = TWAppRegistry::registry();
    registry.setDetailFactory(TWDetailFields, [](QObject *p) { return new TWFieldsController(p); });
    registry.setDetailFactory(TWDetailValues, [](QObject *p) { return new TWValuesController(p); });
    registry.setDetailFactory(TWDetailAutofill,
                              [](QObject *p) { return new TWAutofillController(p); });
}
