#include "TWWork.h"

#include "TWClientController.h"
#include "TWClientInfoController.h"
#include "TWDocumentTaskTimer.h"
#include "TWMerchantInfoController.h"

#include "TWAppRegistry.h"

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
}
