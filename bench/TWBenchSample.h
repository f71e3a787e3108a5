#pragma once
// A believable small business for a first look (`tw-bench generate --sample`):
// a design studio's last two years, with clients whose projects have tasks,
// hours and invoices paid into the bank, merchants whose monthly bills are
// paid from it, everyday expenses and the owner's draws. The bank stays in
// credit and income beats expenses most months. The benchmark's business
// (TWBenchBusiness) is left exactly as it is.

#include "store/TWBusiness.h"

#include <memory>

// About `transactions` entries (at least the work, bills and draws of two
// years); null with a message on stderr. Kept in `homeCurrency` (the same
// counts of minor units: ¥95 or 9.500 dinars where dollars are $95.00).
std::unique_ptr<TWBusiness>
twBenchMakeSampleBusiness(int transactions, const QString &homeCurrency = QStringLiteral("USD"));
