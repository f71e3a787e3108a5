#include "work/TWWork.h"

#include "work/TWClientController.h"
#include "work/TWClientInfoController.h"
#include "work/TWDocumentTaskTimer.h"
#include "work/TWMerchantController.h"
#include "work/TWMerchantInfoController.h"

#include "app/TWAppRegistry.h"

void twRegisterWork()
{
    TWAppRegistry &registry = TWAppRegistry::registry();
    registry.setTaskTimerFactory(
        [](TWBusinessController *document) { return new TWDocumentTaskTimer(document); });
    registry.setDetailFactory(TWDetailClients,
                              [](QObject *parent) { return new TWClientController(parent); });
    registry.setEditorFactory(TWEditorKind::ClientInfo,
                              [](QObject *parent) { return new TWClientInfoController(parent); });
    registry.setEditorFactory(TWEditorKind::MerchantInfo,
                              [](QObject *parent) { return new TWMerchantInfoController(parent); });
    registry.setDetailFactory(TWDetailMerchants, [](QObject *parent) {
        return new TWMerchantController(parent, TWMerchantController::ModeMerchants);
    });
    // The repeats view lists a bill schedule's bills in its own instance.
    registry.setMerchantsViewFactory([](QObject *parent) {
        return new TWMerchantController(parent, TWMerchantController::ModeRepeat);
    });
}
