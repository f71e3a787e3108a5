// The register's row order: every key a strict weak ordering in both
// directions, the shown account text, missing repeats and the tie-break.

#include "RegisterTestSupport.h"

#include "ledger/TWRegisterSort.h"

#include "model/TWBuiltInFields.h"
#include "model/TWFieldValue.h"
#include "model/TWSplit.h"

#include <QRandomGenerator>

namespace
{

TWFieldPtr addField(TWBusiness &business, const char *name, TWFieldType type)
{
    TWFieldPtr field = TWField::fieldWithName(QLatin1String(name), type, false, false,
                                              business.nextFieldIdentifier());
    EXPECT_OK(business.addField(field, false));
    return field;
}

// Loose rows (not stored) with every kind of gap a real list has.
TWTransactionList randomRows(RegisterBooks &books, const QList<TWFieldPtr> &fields, int count,
                             quint32 seed)
{
    QRandomGenerator random(seed);
    const TWRepeatList repeats{books.repeat(), books.repeat()};
    repeats[1]->setInterval(3);
    const QList<TWAccountPtr> accounts{books.checking, books.savings, books.sales, books.rent};
    const QStringList words{QString(), "alpha", "Alpha", "beta", "", "zulu"};
    TWTransactionList rows;
    for (int i = 0; i < count; ++i) {
        auto t = std::make_shared<TWTransaction>();
        t->setIdentifier(int(random.bounded(40)) + 1); // duplicates on purpose
        if (random.bounded(5))
            t->setDate(QDateTime(
                QDate(2024, 1 + int(random.bounded(3)), 1 + int(random.bounded(3))), QTime(0, 0)));
        t->setPayee(words[random.bounded(words.size())]);
        t->setNotes(words[random.bounded(words.size())]);
        const TWAccountPtr a1 = accounts[random.bounded(accounts.size())];
        const TWAccountPtr a2 = accounts[random.bounded(accounts.size())];
        t->setAccount1Identifier(a1->identifier());
        t->setAccount2Identifier(a2->identifier());
        t->setActiveAccountIdentifier(random.bounded(2) ? a1->identifier() : a2->identifier());
        const qint64 total = qint64(random.bounded(200)) - 100;
        t->setTotal(total);
        t->setTotalAccount1(total);
        t->setTotalAccount2(total);
        t->setBalance(qint64(random.bounded(5)));
        t->setCleared(random.bounded(2));
        t->setHasAttachments(random.bounded(2));
        const int repeat = int(random.bounded(4));
        t->setRepeatIdentifier(
            repeat == 0 ? 0 : (repeat == 3 ? 999 : repeats[repeat - 1]->identifier()));
        if (random.bounded(4) == 0) {
            t->setHasSplit(true);
            t->setSplits({TWSplit::splitWithIdentifier(1, {}, a1->identifier(), total, total, total,
                                                       0, 0, nullptr)});
        }
        for (const TWFieldPtr &field : fields) {
            if (random.bounded(3) == 0)
                continue; // no value
            const TWFieldValuePtr value = t->fieldValueWithField(*field, true);
            switch (field->type()) {
            case TWFieldTypeText:
                value->setText(words[random.bounded(words.size())]);
                break;
            case TWFieldTypeNumber:
                value->setNumber(double(random.bounded(4)) / 2);
                break;
            case TWFieldTypeCheckbox:
                value->setCheckboxValue(random.bounded(2));
                break;
            case TWFieldTypeDate:
                if (random.bounded(2))
                    value->setDate(QDateTime(QDate(2024, 2, 1 + int(random.bounded(3))), QTime()));
                break;
            default:
                value->setCurrency(qint64(random.bounded(3)));
                break;
            }
        }
        rows.append(t);
    }
    return rows;
}

} // namespace

TEST(RegisterSort, EveryKeyIsAStrictWeakOrderingInBothDirections)
{
    RegisterBooks books;
    TWBusiness &business = *books.business;
    const QList<TWFieldPtr> fields{addField(business, "Reference", TWFieldTypeText),
                                   addField(business, "Miles", TWFieldTypeNumber),
                                   addField(business, "Checked", TWFieldTypeCheckbox),
                                   addField(business, "Due", TWFieldTypeDate),
                                   addField(business, "Deposit", TWFieldTypeCurrency)};
    QList<qint32> keys;
    for (qint32 id = -1; id >= -18; --id)
        keys.append(id);
    for (const TWFieldPtr &field : fields)
        keys.append(field->identifier());
    for (quint32 seed : {1u, 7u, 42u}) {
        const TWTransactionList rows = randomRows(books, fields, 60, seed);
        QSet<const TWTransaction *> ticks;
        for (qsizetype i = 0; i < rows.size(); i += 3)
            ticks.insert(rows[i].get());
        for (qint32 key : keys) {
            for (bool ascending : {true, false}) {
                TWRegisterSorter sorter(business, key, ascending, ticks);
                TWTransactionList sorted = rows;
                sorter.sort(sorted);
                // Every pair in order, and the comparison antisymmetric.
                for (qsizetype i = 0; i < sorted.size(); ++i)
                    for (qsizetype j = i + 1; j < sorted.size(); ++j) {
                        const int forward = sorter.compare(*sorted[i], *sorted[j]);
                        const int backward = sorter.compare(*sorted[j], *sorted[i]);
                        ASSERT_LE(forward, 0) << "key " << key << " asc " << ascending << " seed "
                                              << seed << " rows " << i << "," << j;
                        ASSERT_EQ(forward, -backward) << "key " << key;
                    }
            }
        }
    }
}

TEST(RegisterSort, RowsWithoutARepeatComeBeforeRepeatsWhicheverSideTheyAreOn)
{
    RegisterBooks books;
    const TWRepeatPtr repeat = books.repeat();
    auto plain = std::make_shared<TWTransaction>();
    plain->setIdentifier(9);
    auto repeating = std::make_shared<TWTransaction>();
    repeating->setIdentifier(1);
    repeating->setRepeatIdentifier(repeat->identifier());
    TWRegisterSorter sorter(*books.business, TWFieldIdentifierRepeat, true);
    EXPECT_EQ(sorter.compare(*plain, *repeating), -1);
    EXPECT_EQ(sorter.compare(*repeating, *plain), 1);
    TWTransactionList rows{repeating, plain};
    sorter.sort(rows);
    EXPECT_EQ(rows.first(), plain);
}

TEST(RegisterSort, DescendingDateKeepsOneDayInDescendingIdentifierOrder)
{
    RegisterBooks books;
    const TWTransactionPtr a = books.add(QDate(2024, 3, 1), books.checking, books.sales, 1);
    const TWTransactionPtr b = books.add(QDate(2024, 3, 2), books.checking, books.sales, 1);
    const TWTransactionPtr c = books.add(QDate(2024, 3, 2), books.checking, books.sales, 1);
    TWTransactionList rows = books.business->transactionsForAccounts({books.checking});
    TWRegisterSorter(*books.business, TWFieldIdentifierDate, false).sort(rows);
    QList<qint32> ids;
    for (const TWTransactionPtr &t : rows)
        ids.append(t->identifier());
    EXPECT_EQ(ids, (QList<qint32>{c->identifier(), b->identifier(), a->identifier()}));
    // No creation date on either side: they tie and the identifier decides.
    TWRegisterSorter(*books.business, TWFieldIdentifierDateCreated, true).sort(rows);
}

TEST(RegisterSort, DebitAndCreditFollowTheActiveAccountAndItsLines)
{
    TWTransaction t;
    t.setAccount1Identifier(1);
    t.setAccount2Identifier(2);
    t.setTotal(500);
    t.setTotalAccount1(500);
    t.setTotalAccount2(450);
    t.setActiveAccountIdentifier(1);
    EXPECT_EQ(twRegisterDebitCredit(t).debit, 500);
    EXPECT_EQ(twRegisterDebitCredit(t).credit, 0);
    t.setActiveAccountIdentifier(2);
    EXPECT_EQ(twRegisterDebitCredit(t).credit, 450);
    t.setHasSplit(true);
    t.setSplits({TWSplit::splitWithIdentifier(1, {}, 3, 200, 200, 200, 0, 0, nullptr),
                 TWSplit::splitWithIdentifier(2, {}, 3, -50, -60, -50, 0, 0, nullptr),
                 TWSplit::splitWithIdentifier(3, {}, 4, 70, 70, 70, 0, 0, nullptr)});
    // Several lines on the shown account: one net amount, in the column of
    // its sign, never a debit and a credit on the same row.
    t.setActiveAccountIdentifier(3);
    EXPECT_EQ(twRegisterDebitCredit(t).debit, 140);
    EXPECT_EQ(twRegisterDebitCredit(t).credit, 0);
    t.setActiveSplitIdentifier(2);
    EXPECT_EQ(twRegisterDebitCredit(t).debit, 0);
    EXPECT_EQ(twRegisterDebitCredit(t).credit, 60);
    t.setActiveSplitIdentifier(0);
    t.setSplits({TWSplit::splitWithIdentifier(1, {}, 3, 200, 200, 200, 0, 0, nullptr),
                 TWSplit::splitWithIdentifier(2, {}, 3, -250, -260, -250, 0, 0, nullptr),
                 TWSplit::splitWithIdentifier(3, {}, 4, 50, 60, 50, 0, 0, nullptr)});
    EXPECT_EQ(twRegisterDebitCredit(t).debit, 0);
    EXPECT_EQ(twRegisterDebitCredit(t).credit, 60);
    // Shown for no account in particular, the row shows what its balance
    // adds: the lines of its first line's account.
    t.setActiveAccountIdentifier(0);
    EXPECT_EQ(twRegisterDebitCredit(t).credit, 60);
    EXPECT_EQ(t.activeAccountTotal(), -60);
    t.setActiveAccountIdentifier(3);
    // Lines that cancel out show nothing in either column.
    t.setSplits({TWSplit::splitWithIdentifier(1, {}, 3, 200, 200, 200, 0, 0, nullptr),
                 TWSplit::splitWithIdentifier(2, {}, 3, -200, -200, -200, 0, 0, nullptr)});
    EXPECT_EQ(twRegisterDebitCredit(t).debit, 0);
    EXPECT_EQ(twRegisterDebitCredit(t).credit, 0);
}

TEST(RegisterSort, AccountColumnsSortByTheAccountTheCellShows)
{
    // In Checking's register the second column shows the other account, also
    // for rows where Checking is stored as account 2.
    RegisterBooks books;
    TWBusiness &business = *books.business;
    books.add(QDate(2024, 1, 1), books.checking, books.sales, 100);   // other: Sales
    books.add(QDate(2024, 1, 2), books.rent, books.checking, 100);    // other: Rent
    books.add(QDate(2024, 1, 3), books.savings, books.checking, 100); // other: Savings
    TWTransactionList rows = business.transactionsForAccounts({books.checking});
    ASSERT_EQ(rows.size(), 3);
    TWRegisterSorter(business, TWFieldIdentifierAccount2, true).sort(rows);
    QStringList shown;
    for (const TWTransactionPtr &t : rows)
        shown.append(business.accountWithIdentifier(twRegisterShownAccount(*t, false))->name());
    EXPECT_EQ(shown, (QStringList{"Rent", "Sales", "Savings"}));
    TWRegisterSorter(business, TWFieldIdentifierAccount1, false).sort(rows);
    for (const TWTransactionPtr &t : rows)
        EXPECT_EQ(twRegisterShownAccount(*t, true), books.checking->identifier());
}
