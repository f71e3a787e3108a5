#pragma once
// The invoicing side's views (the invoice list the client and repeats views
// host) plug into the shell here.

// Registers them in TWAppRegistry::registry().
void twRegisterInvoicing();
