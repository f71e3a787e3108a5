#pragma once
// A small ledger for the transaction tests: the built-in units, a business in
// US dollars, four accounts and the built-in fields; and the rows of a
// transaction written as the transaction writes will write them (the row by
// direct SQL, the rest through the store's own storage operations).

#include "TWStoreTestSupport.h"
#include "store/TWBusiness.h"

#include "foundation/TWDateAdditions.h"

#include <QDateTime>

#include <gtest/gtest.h>

// Account identifiers of the ledger.
constexpr qint32 kChecking = 100; // asset, USD
constexpr qint32 kSales = 101;    // income, USD
constexpr qint32 kRent = 102;     // expense, EUR
constexpr qint32 kCard = 103;     // credit card, USD

inline std::unique_ptr<TWBusiness> twMakeLedger()
{
    auto business = twMakeBusiness();
    if (!business)
        return business;
    EXPECT_OK(business->populateUnits());
    EXPECT_OK(business->loadUnits());
    twExec(*business, "INSERT INTO businesses (identifier, type, name, homeCurrency) "
                      "VALUES (100, 0, 'Ledger', 'USD');");
    EXPECT_OK(business->loadBusinessInfo());
    twExec(*business, "INSERT INTO accounts (identifier, type, name, unit, parentIdentifier, "
                      "sortOrder) VALUES (100, 2, 'Checking', 'USD', 0, 0), "
                      "(101, 15, 'Sales', 'USD', 0, 1), (102, 16, 'Rent', 'EUR', 0, 2), "
                      "(103, 10, 'Card', 'USD', 0, 3);");
    EXPECT_OK(business->loadAccounts());
    EXPECT_OK(business->populateFields());
    EXPECT_OK(business->loadFields());
    return business;
}

inline TWFieldPtr twAddCustomField(TWBusiness &business, const QString &name, std::uint32_t type)
{
    TWFieldPtr field =
        TWField::fieldWithName(name, type, false, false, business.nextFieldIdentifier());
    EXPECT_OK(business.addField(field, false)) << name;
    return field;
}

inline QDateTime twDay(int year, int month, int day)
{
    return QDateTime(QDate(year, month, day), QTime(0, 0));
}

// A plain transaction from account 2 into account 1, in the account units'
// currency when both are dollars.
inline TWTransactionPtr twMakeTransaction(TWBusiness &business, qint32 identifier,
                                          const QDateTime &date, qint32 account1, qint32 account2,
                                          qint64 total)
{
    auto transaction = std::make_shared<TWTransaction>();
    transaction->setIdentifier(identifier);
    transaction->setDate(date);
    transaction->setAccount1Identifier(account1);
    transaction->setAccount2Identifier(account2);
    transaction->setUnit(business.unitWithCode(QStringLiteral("USD")));
    transaction->setTotal(total);
    transaction->setTotalAccount1(total);
    transaction->setTotalAccount2(total);
    transaction->setTotalBusiness(total);
    return transaction;
}

inline TWSplitPtr twMakeSplit(TWBusiness &business, qint32 identifier, qint32 account, qint64 total,
                              const QString &description = QString())
{
    return TWSplit::splitWithIdentifier(identifier, description, account, total, total, total, 0, 0,
                                        business.unitWithCode(QStringLiteral("USD")));
}

// Writes the transaction's row and hands the rest to the storage operations;
// false (with a test failure) when anything fails.
inline bool twWriteTransaction(TWBusiness &business, const TWTransaction &t)
{
    const auto seconds = [](const QDateTime &moment) {
        return moment.isValid() ? double(moment.toMSecsSinceEpoch()) / 1000.0 : 0.0;
    };
    TWStatement insert = business.statement(
        "INSERT INTO transactions (identifier, type, state, payee, description, "
        "account1Identifier, account2Identifier, date, total, totalAccount1, totalAccount2, "
        "totalBusiness, totalStart, totalEnd, unit, attachments, repeatIdentifier, cleared, "
        "notes, split, dateCreated, dateModified) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);");
    insert.bindInt32(t.identifier()).bindInt64(t.type()).bindInt64(t.state());
    insert.bindText(t.payee()).bindText(t.description());
    insert.bindInt32(t.account1Identifier()).bindInt32(t.account2Identifier());
    insert.bindDouble(double(TWDateAdditions::dateValue(t.date())));
    insert.bindInt64(t.total()).bindInt64(t.totalAccount1()).bindInt64(t.totalAccount2());
    insert.bindInt64(t.totalBusiness()).bindInt64(t.totalStart()).bindInt64(t.totalEnd());
    insert.bindText(t.unit() ? t.unit()->code() : QString()).bindBool(t.hasAttachments());
    insert.bindInt32(t.repeatIdentifier()).bindBool(t.cleared()).bindText(t.notes());
    insert.bindBool(t.hasSplit()).bindDouble(seconds(t.dateCreated()));
    insert.bindDouble(seconds(t.dateModified()));
    for (const TWErrorResult &error :
         {insert.execute(), business.updateTransactionFields(t), business.saveTransactionSplits(t),
          business.saveTransactionAttachments(t)}) {
        if (error) {
            ADD_FAILURE() << t.identifier() << ": " << error->localizedDescription();
            return false;
        }
    }
    return true;
}

// Writes the transactions, then loads the list afresh from the database.
inline bool twWriteAndLoad(TWBusiness &business, const TWTransactionList &transactions)
{
    for (const TWTransactionPtr &transaction : transactions) {
        if (!twWriteTransaction(business, *transaction))
            return false;
    }
    const TWErrorResult error = business.loadTransactions();
    EXPECT_OK(error);
    return !error;
}

inline QList<qint32> twIdentifiers(const TWTransactionList &transactions)
{
    QList<qint32> result;
    for (const TWTransactionPtr &transaction : transactions)
        result.append(transaction->identifier());
    return result;
}
