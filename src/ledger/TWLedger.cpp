#include "TWLedger.h"

#include "TWAutofillController.h"
#include "TWBusinessInfoController.h"
#include "TWExchangeRates.h"
#include "TWFieldsController.h"
#include "TWUnitsController.h"
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
    registry.setDetailFactory(TWDetailUnits,
                              [](QObject *parent) { return new TWUnitsController(parent); });
    registry.setBusinessInfoFactory(
        [](QObject *parent) { return new TWBusinessInfoController(parent); });
    registry.rateCheck = [](TWBusinessController &document) {
        TWExchangeRates::forDocument(&document)->checkCurrencyExchangeRates();
    };
}
