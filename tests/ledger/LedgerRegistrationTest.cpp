// The ledger plugs into the shell without disturbing what it leaves alone.

#include "TWLedger.h"

#include "TWAppRegistry.h"

#include <gtest/gtest.h>

TEST(LedgerRegistration, RegisteringTwiceIsHarmless)
{
    TWAppRegistry::registry().reset();
    twRegisterLedger();
    twRegisterLedger();
    EXPECT_FALSE(TWAppRegistry::registry().hasEditor(TWEditorKind::ImportTransactions));
    TWAppRegistry::registry().reset();
}
