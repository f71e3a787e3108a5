#pragma once
// The reports' on-screen side (graphs, the report view and its settings, the
// budget view and its line editor) plugs into the shell here.

// Registers every report and budget view and editor in TWAppRegistry::registry().
void twRegisterReportsUI();
