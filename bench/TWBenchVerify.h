#pragma once
// Checks that a business holds valid books, as the benchmark's generator
// promises: every transaction balances in the home unit, states follow the
// closed periods, each closed year has its year-end transfers, and the
// records a real business holds (billed work, budgets, every kind of custom
// value) are there.

#include "store/TWBusiness.h"

#include <QStringList>

// One line per fault found; empty when the books are valid.
QStringList twBenchVerify(const TWBusiness &business);
