#include "TWWork.h"

#include "TWDocumentTaskTimer.h"

#include "TWAppRegistry.h"

void twRegisterWork()
{
    TWAppRegistry::registry().setTaskTimerFactory(
        [](TWBusinessController *document) { return new TWDocumentTaskTimer(document); });
}
