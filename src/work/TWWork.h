#pragma once
// The work side's pieces (the task timer, the clients view with its task,
// expense and project lists and sheets, and the client and merchant info
// editors) plug into the shell here.

// Registers them in TWAppRegistry::registry().
void twRegisterWork();
