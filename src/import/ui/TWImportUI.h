#pragma once
// The import sheets plug into the shell here.

// Registers the import sheets in TWAppRegistry::registry().
void twRegisterImportUI();
