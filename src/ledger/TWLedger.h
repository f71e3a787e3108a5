#pragma once
// The ledger's views and editors (register, transaction editors, account and
// business sheets, units, fields, values and autofill) plug into the shell here.

// Registers every ledger view and editor in TWAppRegistry::registry().
void twRegisterLedger();
