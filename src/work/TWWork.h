#pragma once
// The work side's pieces (the task timer and the clients view with its task,
// expense and project lists and sheets) plug into the shell here.

// Registers them in TWAppRegistry::registry().
void twRegisterWork();
