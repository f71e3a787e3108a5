#pragma once
// A ledger of every kind of account for the balance and statement tests, and
// short ways to write plain and split transactions into it.

#include "TWTransactionTestSupport.h"

// Accounts beyond those of twMakeLedger (checking, sales, rent in euros, card).
constexpr qint32 kCash = 104;       // cash, USD
constexpr qint32 kReceivable = 105; // accounts receivable, USD
constexpr qint32 kPayable = 106;    // accounts payable, USD
constexpr qint32 kOwner = 107;      // equity, USD
constexpr qint32 kTravel = 108;     // expense, USD
constexpr qint32 kFees = 109;       // income, USD
constexpr qint32 kLoan = 110;       // loan, USD

inline std::unique_ptr<TWBusiness> twMakeFullLedger()
{
    auto business = twMakeLedger();
    if (!business)
        return business;
    twExec(*business, "INSERT INTO accounts (identifier, type, name, unit, parentIdentifier, "
                      "sortOrder) VALUES (104, 3, 'Cash', 'USD', 0, 4), "
                      "(105, 1, 'Receivable', 'USD', 0, 5), (106, 9, 'Payable', 'USD', 0, 6), "
                      "(107, 17, 'Owner', 'USD', 0, 7), (108, 16, 'Travel', 'USD', 0, 8), "
                      "(109, 15, 'Fees', 'USD', 0, 9), (110, 11, 'Loan', 'USD', 0, 10);");
    EXPECT_OK(business->loadAccounts());
    return business;
}

// A split transaction of the given lines (account, amount in every unit).
inline TWTransactionPtr twMakeSplitTransaction(TWBusiness &business, qint32 identifier,
                                               const QDateTime &date,
                                               const QList<std::pair<qint32, qint64>> &lines)
{
    TWTransactionPtr transaction = twMakeTransaction(business, identifier, date, 0, 0, 0);
    TWSplitList splits;
    qint32 splitIdentifier = identifier * 10;
    for (const auto &[account, amount] : lines)
        splits.append(twMakeSplit(business, splitIdentifier++, account, amount));
    transaction->setHasSplit(true);
    transaction->setSplits(splits);
    return transaction;
}
