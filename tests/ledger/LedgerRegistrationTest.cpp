// The ledger plugs into the shell without disturbing what it leaves alone.

#include "ledger/TWLedger.h"

#include "app/TWAppRegistry.h"

#include <gtest/gtest.h>

TEST(LedgerRegistration, RegisteringTwiceIsHarmless)
{
    TWAppRegistry::registry().reset();
    twRegisterLedger();
    twRegisterLedger();
    EXPECT_FALSE(TWAppRegistry::registry().hasEditor(TWEditorKind::ImportTransactions));
    TWAppRegistry::registry().reset();
}
