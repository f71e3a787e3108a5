#include "TWWork.h"

#include "TWClientController.h"
#include "TWDocumentTaskTimer.h"

#include "TWAppRegistry.h"

void twRegisterWork()
{
    TWAppRegistry &registry = TWAppRegistry::registry();
    registry.setTaskTimerFactory(
        [](TWBusinessController *document) { return new TWDocumentTaskTimer(document); });
    registry.setDetailFactory(TWDetailClients,
                              [](QObject *parent) { return new TWClientController(parent); });
}
