#pragma once
// The export sheets (transactions, tasks, expenses) plug into the shell here.

// Registers the three export sheets in TWAppRegistry::registry().
void twRegisterExportUI();
