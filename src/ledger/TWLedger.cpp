#include "TWLedger.h"

#include "TWAppRegistry.h"
#include "TWBusinessInfoController.h"
#include "TWDetailInterfaces.h"
#include "TWExchangeRates.h"
#include "TWUnitsController.h"

void twRegisterLedger()
{
    [[maybe_unused]] TWAppRegistry &registry = TWAppRegistry::registry();
    registry.setDetailFactory(TWDetailUnits,
                              [](QObject *parent) { return new TWUnitsController(parent); });
    registry.setBusinessInfoFactory(
        [](QObject *parent) { return new TWBusinessInfoController(parent); });
    registry.rateCheck = [](TWBusinessController &document) {
        TWExchangeRates::forDocument(&document)->checkCurrencyExchangeRates();
    };
}
