#pragma once
// Builds a realistic business of any size through the store's own add
// operations (ten years of transactions, custom fields, currencies, work,
// invoices, bills, repeats, closed years and attachments), so the benchmark
// measures the code a user's document goes through.

#include "store/TWBusiness.h"

#include <QString>

#include <memory>

struct TWBenchBusinessOptions {
    int transactions = 100000;
    QString attachmentFolder; // where the small attachment files are written
    // About this many invoices (nine a client) where more than the size
    // gives (0: as the size gives). Their links say nothing of which
    // transaction is each invoice's entry, as earlier builds stored them.
    int invoices = 0;
    // About this many bills (four a merchant) where more than the size gives (0: as the
    // size gives).
    int bills = 0;
};

// The business, or null with a message on stderr.
// Whether a store write failed; says what failed on standard error when it did.
bool twBenchFailed(const TWErrorResult &error, const char *what);

std::unique_ptr<TWBusiness> twBenchMakeBusiness(const TWBenchBusinessOptions &options);

// The business of a bench program's "--transactions N" (100,000 when absent), "--invoices N"
// and "--bills N" among argv[first..], its attachment files in `folder`; null with a message
// on stderr.
std::unique_ptr<TWBusiness> twBenchBusinessFromArguments(int argc, char **argv, int first,
                                                         const QString &folder);

// The account with the most transactions (the bank account the generator
// books most entries on).
qint32 twBenchBusyAccount();
