#pragma once
// The work side's pieces (the task timer, and the task and expense lists and
// sheets the clients view hosts) plug into the shell here.

// Registers them in TWAppRegistry::registry().
void twRegisterWork();
