#pragma once
// Fixtures of the mapping and processing suites: a real in-memory business with
// units, built-in fields and accounts made through the store's own writes, and
// parsed rows mapped by the guess.

#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "import/core/TWImportTransactions.h"
#include "import/core/TWImportTransactionsSettings.h"
#include "model/TWAccount.h"
#include "store/TWBusiness.h"

#include <gtest/gtest.h>

// Dollars, with the eighteen built-in fields.
inline std::unique_ptr<TWBusiness>
twImportBusiness(const QString &homeCurrency = QStringLiteral("USD"))
{
    auto business = twMakeBusinessWithUnits(homeCurrency);
    if (!business)
        return nullptr;
    EXPECT_OK(business->populateFields());
    EXPECT_OK(business->loadFields());
    return business;
}

inline TWAccountPtr twImportAccount(TWBusiness &business, const QString &name, TWAccountType type,
                                    const QString &unitCode = QStringLiteral("USD"))
{
    const TWUnitPtr unit = business.unitWithCode(unitCode);
    EXPECT_TRUE(unit) << unitCode;
    auto account = TWAccount::accountWithIdentifier(business.nextAccountIdentifier(), name, 0, 0,
                                                    type, QString(), QImage(), unit, QString());
    EXPECT_OK(business.addAccount(account, false));
    return account;
}

inline TWFieldPtr twImportField(TWBusiness &business, const QString &name, TWFieldType type)
{
    auto field = TWField::fieldWithName(name, type, false, false, business.nextFieldIdentifier());
    EXPECT_OK(business.addField(field, false));
    return business.fieldWithIdentifier(field->identifier());
}

// One line per column, each guessed (or restored) as the sheet makes them,
// with the date patterns the parser found.
inline TWImportTransactionsSettingsPtr
twImportSettings(const TWBusiness &business, const QStringList &columns,
                 const TWAccountPtr &defaultAccount,
                 const QHash<qsizetype, QString> &dateFormats = {})
{
    return TWImportTransactionsSettings::importTransactionsSettingsWithColumns(
        columns, defaultAccount, business, dateFormats);
}

// Rows of UTF-8 literals.
inline QList<QStringList> twRows(std::initializer_list<std::initializer_list<const char *>> rows)
{
    QList<QStringList> result;
    for (const auto &row : rows) {
        QStringList list;
        for (const char *field : row)
            list.append(QString::fromUtf8(field));
        result.append(list);
    }
    return result;
}
