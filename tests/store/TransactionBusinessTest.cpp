// The transaction model's operations that take the business.

#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "TWTransactionTestSupport.h"
#include "store/TWBusiness.h"
#include "store/TWTransactionEditing.h"

#include "model/TWUtilities.h"

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
    twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b);
    EXPECT_EQ(t->totalAccount2(), 9700);
    EXPECT_EQ(t->totalBusiness(), 10000);
    // From the euro side back: only the asked amount changes.
    t->setTotalAccount2(970);
    twUpdateTotals(*t, TWTotalTypeAccount2, TWTotalTypeTotal, b);
    EXPECT_EQ(t->total(), 1000);
    EXPECT_EQ(t->totalBusiness(), 10000);

    // A unit the business does not know converts to 0, never to a guess.
    t->setUnit(b.unitForStoredCode(QStringLiteral("XQQ")));
    t->setTotal(500);
    twUpdateBusinessTotal(*t, b);
    EXPECT_EQ(t->totalBusiness(), 0);

    // Percent totals from the business's fields.
    const TWFieldPtr vat = twAddCustomField(b, "VAT", TWFieldTypePercentTotal);
    vat->setPercent(10.0);
    vat->setIncludedInTotal(true);
    TWTransactionPtr sale = twMakeTransaction(b, 2, twDay(2024, 1, 1), kChecking, kSales, 11000);
    twUpdatePercentTotals(*sale, b);
    EXPECT_EQ(sale->fieldValueWithIdentifier(vat->identifier())->currency(), 1000);
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
    ASSERT_OK(b.addFieldListItem(bridge, project, false));
    ASSERT_OK(b.addFieldTagItem(red, tags, false));
    ASSERT_OK(b.addFieldTagItem(blue, tags, false));
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
        ASSERT_OK(b.deleteFieldListItem(bridge, project, false));
        ASSERT_OK(b.deleteFieldTagItem(red, tags, false));
        ASSERT_OK(b.deleteField(note, false));
        EXPECT_EQ(value(tags)->tagItemIdentifiers(), QList<qint32>({blue->identifier()}));
        scope.rollback();
    }
    EXPECT_EQ(value(project)->listItemIdentifier(), bridge->identifier());
    EXPECT_EQ(value(tags)->tagItemIdentifiers(),
              QList<qint32>({red->identifier(), blue->identifier()}));
    ASSERT_TRUE(value(note));
    EXPECT_EQ(value(note)->text(), QStringLiteral("keep"));

    // Committed, memory agrees with what a load reads.
    ASSERT_OK(b.deleteFieldListItem(bridge, project, false));
    ASSERT_OK(b.deleteFieldTagItem(red, tags, false));
    ASSERT_OK(b.deleteField(note, false));
    const QList<qint32> tagsInMemory = value(tags)->tagItemIdentifiers();
    EXPECT_EQ(value(project)->listItemIdentifier(), -1);
    ASSERT_OK(b.loadTransactions());
    const TWTransactionPtr reloaded = b.transactionWithIdentifier(1);
    EXPECT_EQ(reloaded->fieldValueWithIdentifier(project->identifier())->listItemIdentifier(), -1);
    EXPECT_EQ(reloaded->fieldValueWithIdentifier(tags->identifier())->tagItemIdentifiers(),
              tagsInMemory);
    EXPECT_EQ(reloaded->fieldValueWithIdentifier(note->identifier()), nullptr);
}
