#pragma once
// A large ledger written straight into a business's database for the
// benchmarks: 100,000 transactions over about three years, one in ten split
// into three lines, each with a text, a number and a tags value. Rows go in
// with plain SQL inside one transaction; the caller then loads them.

#include "store/TWBusiness.h"

#include <functional>
#include <utility>

// Where the generated transactions book their amounts.
struct TWBenchLedgerAccounts {
    // Account 1 and account 2 of the i-th transaction (when it is not split).
    std::function<std::pair<qint32, qint32>(int i)> plain = [](int) {
        return std::pair<qint32, qint32>(100, 101);
    };
    // The account of line 0, 1 or 2 of the i-th transaction (when it is).
    std::function<qint32(int i, int line)> line = [](int, int line) { return 100 + line; };
};

inline constexpr int kTWBenchTransactions = 100000;

// Adds the three custom fields and writes the transactions, their lines and
// their tags; false (with a message on stderr) when anything fails. The
// business needs its units and fields loaded.
bool twBenchWriteLedger(TWBusiness &business, const TWBenchLedgerAccounts &accounts = {},
                        int count = kTWBenchTransactions);

// CPU time of this thread, which other programs on the machine do not inflate.
qint64 twBenchThreadCpuMilliseconds();
