#pragma once
// A small business for the statement tests whose figures the tests work out
// by hand.

#include "TWBalancesTestSupport.h"
#include "TWReportTestSupport.h"

constexpr qint32 kRetained = 111;  // equity, the year-end transfer account
constexpr qint32 kEquipment = 112; // fixed asset

// Two years of books: 2023 (closed into Retained) and 2024. A euro rent
// payment, a split, a loan, an owner's drawing.
inline std::unique_ptr<TWBusiness> twMakeReportBooks(bool nominalAccount = true)
{
    auto business = twMakeFullLedger();
    if (!business)
        return business;
    twExec(*business, "INSERT INTO accounts (identifier, type, name, unit, parentIdentifier, "
                      "sortOrder) VALUES (111, 17, 'Retained', 'USD', 0, 11), "
                      "(112, 6, 'Equipment', 'USD', 0, 12);");
    EXPECT_OK(business->loadAccounts());
    EXPECT_OK(business->addAccountingPeriod(
        TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("2023"), twDay(2023, 1, 1),
                                                     twDay(2023, 12, 31), true, 1),
        false));
    EXPECT_OK(business->addAccountingPeriod(
        TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("2024"), twDay(2024, 1, 1),
                                                     twDay(2024, 12, 31), false, 2),
        false));
    EXPECT_OK(business->loadAccountingPeriods());
    EXPECT_EQ(business->sortedAccountingPeriods().size(), 2);
    business->businessInfo()->setNominalTransferAccountIdentifier(nominalAccount ? kRetained : 0);
    business->businessInfo()->setRetainedEarningsName(QStringLiteral("Retained"));

    const auto nominal = [&](qint32 identifier, qint32 account1, qint32 account2, qint64 total) {
        TWTransactionPtr t = twMakeTransaction(*business, identifier, twDay(2023, 12, 31), account1,
                                               account2, total);
        t->setType(TWTransactionTypeNominal);
        return t;
    };
    // Rent paid in euros: 1,100.00 EUR cost 1,200.00 USD.
    TWTransactionPtr rent =
        twMakeTransaction(*business, 3, twDay(2023, 6, 1), kRent, kChecking, 110000);
    rent->setUnit(business->unitWithCode(QStringLiteral("EUR")));
    rent->setTotalAccount2(120000);
    rent->setTotalBusiness(120000);
    TWTransactionList transactions{
        twMakeTransaction(*business, 1, twDay(2023, 1, 5), kChecking, kOwner, 1000000),
        twMakeTransaction(*business, 2, twDay(2023, 3, 1), kChecking, kSales, 500000),
        rent,
        nominal(4, kSales, kRetained, 500000),
        nominal(5, kRetained, kRent, 120000),
        twMakeTransaction(*business, 6, twDay(2024, 2, 1), kReceivable, kFees, 300000),
        twMakeTransaction(*business, 7, twDay(2024, 3, 1), kEquipment, kLoan, 200000),
        twMakeSplitTransaction(*business, 8, twDay(2024, 4, 1),
                               {{kTravel, 30000}, {kChecking, -10000}, {kCard, -20000}}),
        twMakeTransaction(*business, 9, twDay(2024, 5, 1), kChecking, kReceivable, 100000),
        twMakeTransaction(*business, 10, twDay(2024, 6, 1), kOwner, kChecking, 50000),
    };
    if (!twWriteAndLoad(*business, transactions))
        return nullptr;
    return business;
}
