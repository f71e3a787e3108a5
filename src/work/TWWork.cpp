#include "TWWork.h"

#include "TWDocumentTaskTimer.h"
#include "TWMerchantController.h"

#include "TWAppRegistry.h"

void twRegisterWork()
{
    TWAppRegistry &registry = TWAppRegistry::registry();
    registry.setTaskTimerFactory(
        [](TWBusinessController *document) { return new TWDocumentTaskTimer(document); });
    registry.setDetailFactory(TWDetailMerchants, [](QObject *parent) {
        return new TWMerchantController(parent, TWMerchantController::ModeMerchants);
    });
    // The repeats view lists a bill schedule's bills in its own instance.
    registry.setMerchantsViewFactory([](QObject *parent) {
        return new TWMerchantController(parent, TWMerchantController::ModeRepeat);
    });
}
