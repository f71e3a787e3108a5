// The transaction model's operations that take the business.

#include "TWBusiness.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "TWTransactionTestSupport.h"

#include "TWUtilities.h"

#include <gtest/gtest.h>

TEST(TransactionBusiness, AmountsFollowTheAccountsUnitsAndNeverGuess)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;

    // 100.00 dollars paid from the euro account: 97.00 euros leave it.
    TWTransactionPtr t = twMakeTransaction(b, 1, twDay(2024, 1, 1), kChecking, kRent, 10000);
    t->setTotalAccount2(0);
    t->setTotalBusiness(0);
    t->updateTotalsWithMasterTotalType(TWTotalTypeTotal, TWTotalTypeAll, b);
    EXPECT_EQ(t->totalAccount2(), 9700);
    EXPECT_EQ(t->totalBusiness(), 10000);
    // From the euro side back: only the asked amount changes.
    t->setTotalAccount2(970);
    t->updateTotalsWithMasterTotalType(TWTotalTypeAccount2, TWTotalTypeTotal, b);
    EXPECT_EQ(t->total(), 1000);
    EXPECT_EQ(t->totalBusiness(), 10000);

    // A unit the business does not know converts to 0, never to a guess.
    t->setUnit(b.unitForStoredCode(QStringLiteral("XQQ")));
    t->setTotal(500);
    t->updateBusinessTotal(b);
    EXPECT_EQ(t->totalBusiness(), 0);

    // Percent totals from the business's fields.
    const TWFieldPtr vat = twAddCustomField(b, "VAT", TWFieldTypePercentTotal);
    vat->setPercent(10.0);
    vat->setIncludedInTotal(true);
    TWTransactionPtr sale = twMakeTransaction(b, 2, twDay(2024, 1, 1), kChecking, kSales, 11000);
    sale->updatePercentTotals(b);
    EXPECT_EQ(sale->fieldValueWithIdentifier(vat->identifier())->currency(), 1000);
}

TEST(TransactionBusiness, SearchUsesTheBusinessNamesAndMoneyTexts)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    TWTransactionPtr t = twMakeTransaction(b, 7, twDay(2024, 1, 1), kChecking, kSales, 1250);
    EXPECT_TRUE(t->searchString(QStringLiteral("12.5"), b));  // the amount's plain text
    EXPECT_TRUE(t->searchString(QStringLiteral("check"), b)); // account 1's name, any case
    EXPECT_FALSE(t->searchString(QStringLiteral("2.50"), b)); // amounts by their beginning

    TWTransactionPtr split = twMakeTransaction(b, 8, twDay(2024, 1, 1), 0, 0, 0);
    split->setHasSplit(true);
    split->setSplits({twMakeSplit(b, 1, kRent, 3300, "office"), twMakeSplit(b, 2, kCard, -3300)});
    EXPECT_TRUE(split->searchStringSplits(QStringLiteral("Rent"), b));
    EXPECT_FALSE(split->splits().at(1)->searchString(QStringLiteral("office"), b));
}

TEST(TransactionBusiness, NewTransactionsAndDefaultAccountsComeFromTheBusiness)
{
    TWFixedClock clock(2024, 5, 6, 10, 0, 0);
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWFieldPtr project = twAddCustomField(b, "Project", TWFieldTypeList);
    ASSERT_FALSE(
        b.addFieldListItem(std::make_shared<TWFieldListItem>("Bridge", 0), project, false));
    twExec(b, "INSERT INTO transactions (identifier) VALUES (41);");

    const TWTransactionPtr fresh = TWTransaction::transactionWithBusiness(b);
    EXPECT_EQ(fresh->identifier(), 42);
    ASSERT_TRUE(fresh->fieldValueWithIdentifier(project->identifier()));
    EXPECT_EQ(fresh->fieldValueWithIdentifier(project->identifier())->listItemIdentifier(), 1);

    // No accounts yet: the business's first two.
    fresh->updateAccountsWithBusiness(b, std::nullopt, false);
    EXPECT_EQ(fresh->account2Identifier(), kSales);
    // A mileage account switches to the business's mileage unit.
    twExec(b, "INSERT INTO accounts (identifier, type, name, unit) "
              "VALUES (104, 16, 'Mileage', 'USD');");
    ASSERT_FALSE(b.loadAccounts());
    fresh->setAccount2Identifier(104);
    fresh->updateAccountsWithBusiness(b, std::nullopt, false);
    ASSERT_TRUE(fresh->unit());
    EXPECT_EQ(fresh->unit()->code(), QStringLiteral("MIL"));
}

TEST(TransactionBusiness, AttachmentNamesCountStoredAttachments)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    twExec(b, "INSERT INTO transactions (identifier, attachments) VALUES (1, 1);");
    twExec(b, "INSERT INTO attachments (identifier, transactionIdentifier, fileName, type, "
              "attachmentOrder) VALUES (100, 1, 'a.txt', 0, 0);");
    ASSERT_FALSE(b.loadTransactions());
    const TWTransactionPtr t = b.transactionWithIdentifier(1);
    EXPECT_EQ(t->uniqueAttachmentName("a", "txt", b), QStringLiteral("a-2.txt"));
}

TEST(TransactionBusiness, FieldWritesReachLoadedTransactionsAndAreUndoneWithThem)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWFieldPtr project = twAddCustomField(b, "Project", TWFieldTypeList);
    const TWFieldPtr tags = twAddCustomField(b, "Tags", TWFieldTypeTags);
    const TWFieldPtr note = twAddCustomField(b, "Note", TWFieldTypeText);
    const auto bridge = std::make_shared<TWFieldListItem>("Bridge", 0);
    const auto red = std::make_shared<TWFieldTagItem>("Red", 0);
    const auto blue = std::make_shared<TWFieldTagItem>("Blue", 0);
    ASSERT_FALSE(b.addFieldListItem(bridge, project, false));
    ASSERT_FALSE(b.addFieldTagItem(red, tags, false));
    ASSERT_FALSE(b.addFieldTagItem(blue, tags, false));
    TWTransactionPtr t = twMakeTransaction(b, 1, twDay(2024, 1, 1), kChecking, kSales, 1);
    t->fieldValueWithField(*project, true)->setListItemIdentifier(bridge->identifier());
    t->fieldValueWithField(*tags, true)
        ->setTagItemIdentifiers({red->identifier(), blue->identifier()});
    t->fieldValueWithField(*note, true)->setText(QStringLiteral("keep"));
    ASSERT_TRUE(twWriteAndLoad(b, {t}));
    const TWTransactionPtr loaded = b.transactionWithIdentifier(1);
    const auto value = [&](const TWFieldPtr &field) {
        return loaded->fieldValueWithIdentifier(field->identifier());
    };

    // Inside a write that fails, everything comes back.
    {
        TWBusiness::WriteScope scope(b);
        ASSERT_FALSE(b.deleteFieldListItem(bridge, project, false));
        ASSERT_FALSE(b.deleteFieldTagItem(red, tags, false));
        ASSERT_FALSE(b.deleteField(note, false));
        EXPECT_EQ(value(tags)->tagItemIdentifiers(), QList<qint32>({blue->identifier()}));
        scope.rollback();
    }
    EXPECT_EQ(value(project)->listItemIdentifier(), bridge->identifier());
    EXPECT_EQ(value(tags)->tagItemIdentifiers(),
              QList<qint32>({red->identifier(), blue->identifier()}));
    ASSERT_TRUE(value(note));
    EXPECT_EQ(value(note)->text(), QStringLiteral("keep"));

    // Committed, memory agrees with what a load reads.
    ASSERT_FALSE(b.deleteFieldListItem(bridge, project, false));
    ASSERT_FALSE(b.deleteFieldTagItem(red, tags, false));
    ASSERT_FALSE(b.deleteField(note, false));
    const QList<qint32> tagsInMemory = value(tags)->tagItemIdentifiers();
    EXPECT_EQ(value(project)->listItemIdentifier(), -1);
    ASSERT_FALSE(b.loadTransactions());
    const TWTransactionPtr reloaded = b.transactionWithIdentifier(1);
    EXPECT_EQ(reloaded->fieldValueWithIdentifier(project->identifier())->listItemIdentifier(), -1);
    EXPECT_EQ(reloaded->fieldValueWithIdentifier(tags->identifier())->tagItemIdentifiers(),
              tagsInMemory);
    EXPECT_EQ(reloaded->fieldValueWithIdentifier(note->identifier()), nullptr);
}

TEST(TransactionBusiness, UnitMenuListsMileageFavouritesCurrenciesAndCustomUnits)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    for (const TWUnitPtr &unit : b.units())
        unit->setFavourite(unit->code() == QStringLiteral("EUR"));
    const auto titles = [](const TWUnitMenuItems &items) {
        QStringList result;
        for (const TWUnitMenuItem &item : items)
            result.append(item.separator ? QStringLiteral("-") : item.title);
        return result;
    };

    const TWUnitMenuItems items = TWUtilities::unitMenuItemsWithBusiness(b, true);
    const QStringList shown = titles(items);
    ASSERT_GE(shown.size(), 6);
    EXPECT_EQ(shown.mid(0, 5), QStringList({"Kilometres", "Miles", "-",
                                            "Euro (European Union (euro area) / EUR)", "-"}));
    EXPECT_TRUE(shown.contains("US Dollar (United States of America / USD)"));
    EXPECT_EQ(shown.count(QStringLiteral("-")), 2);
    EXPECT_EQ(items.at(0).unit, b.unitWithCode("KM"));
    EXPECT_FALSE(titles(TWUtilities::unitMenuItemsWithBusiness(b, false)).contains("Miles"));

    // Custom units close the menu after a separator; without a description
    // the title has only the code.
    ASSERT_FALSE(b.addUnit(TWUnit::unitWithName("Hours", QString(), "HRS", QString(), 1.0, 2, {},
                                                false, TWUnitTypeCustom),
                           false));
    const QStringList withCustom = titles(TWUtilities::unitMenuItemsWithBusiness(b, false));
    EXPECT_EQ(withCustom.mid(withCustom.size() - 2), QStringList({"-", "Hours (HRS)"}));
}
