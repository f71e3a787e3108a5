#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "store/TWBusiness.h"

#include <gtest/gtest.h>

namespace
{

TWUnitPtr unitWithCode(const char *code)
{
    auto unit = std::make_shared<TWUnit>();
    unit->setCode(QString::fromLatin1(code));
    return unit;
}

TWBudgetItemPtr makeLine(qint32 identifier, qint32 type, qint32 itemIdentifier,
                         qint64 total = 10000, const QDateTime &start = QDateTime())
{
    return TWBudgetItem::budgetItemWithItemType(type, itemIdentifier, total, unitWithCode("EUR"),
                                                start, 1, TWBudgetCycleUnitMonth, false,
                                                identifier);
}

TWAccountPtr makeAccount(qint32 identifier, qint32 parent = 0)
{
    return TWAccount::accountWithIdentifier(identifier, QStringLiteral("A%1").arg(identifier),
                                            parent, 0, TWAccountTypeExpense, QString(), QImage(),
                                            unitWithCode("USD"), QString());
}

QList<qint32> identifiers(const TWBudgetItemList &items)
{
    QList<qint32> result;
    for (const TWBudgetItemPtr &item : items)
        result.append(item->identifier());
    return result;
}

qint64 rowCount(TWBusiness &business)
{
    return twQueryInt(business, QStringLiteral("SELECT COUNT(*) FROM budgetItems;")).value_or(-1);
}

// The identifier of the line the lookup finds, 0 for none.
qint32 found(const TWBusiness &business, qint32 type, qint32 itemIdentifier)
{
    const TWBudgetItemPtr line = business.budgetItemWithType(type, itemIdentifier);
    return line ? line->identifier() : 0;
}

} // namespace

TEST(BudgetItems, LoadGivesBackWhatWasWritten)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    ASSERT_OK(business->addBudgetItem(
        TWBudgetItem::budgetItemWithItemType(TWItemTypeAccount, 120, -4200000000LL,
                                             unitWithCode("EUR"), twLocal(2024, 2, 29, 0, 0, 0), 3,
                                             TWBudgetCycleUnitWeek, true, 100),
        false));
    ASSERT_OK(business->addBudgetItem(makeLine(250, TWItemTypeAccountGroup, 120), false));
    EXPECT_EQ(business->nextBudgetItemsIdentifier(), 251);
    // No start date is stored as 0; a date as its packed day number.
    EXPECT_EQ(twQueryText(*business, QStringLiteral("SELECT group_concat(startDate || '/' || unit "
                                                    "|| '/' || rollover, ' ') FROM budgetItems;")),
              QStringLiteral("%1.0/EUR/1 0.0/EUR/0").arg((2024 << 9) | (2 << 5) | 29));
    // Rows without a unit code, with an unknown one, and with dates that are
    // no packed day number (or have a fraction).
    twExec(*business,
           QStringLiteral("INSERT INTO budgetItems (identifier, itemType, itemIdentifier, total, "
                          "unit, startDate, cycle, cycleUnit, rollover) VALUES "
                          "(300, 5, 1, 1, NULL, -3, 4294967295, 1, 0), "
                          "(301, 5, 2, 1, '', 1e300, 1, 3, 0), "
                          "(302, 5, 3, 1, 'XQZ', 1037033.75, 1, 3, 7);"));

    const TWBudgetItemList written = business->budgetItems();
    ASSERT_OK(business->loadBudgetItems());
    const TWBudgetItemList &lines = business->budgetItems();
    ASSERT_EQ(identifiers(lines), (QList<qint32>{100, 250, 300, 301, 302}));
    for (int i = 0; i < 2; ++i) {
        const TWBudgetItem &read = *lines.at(i);
        const TWBudgetItem &was = *written.at(i);
        EXPECT_NE(&read, &was);
        EXPECT_EQ(QList<qint64>({read.itemType(), read.itemIdentifier(), read.total(), read.cycle(),
                                 read.cycleUnit(), read.rollover()}),
                  QList<qint64>({was.itemType(), was.itemIdentifier(), was.total(), was.cycle(),
                                 was.cycleUnit(), was.rollover()}));
        EXPECT_EQ(read.unit()->code(), was.unit()->code());
        EXPECT_EQ(read.startDate(), was.startDate());
    }

    // Without a code a line counts in US dollars; an unknown code is kept, so
    // writing the line back does not change its currency.
    EXPECT_EQ(lines.at(2)->unit()->code(), QStringLiteral("USD"));
    EXPECT_EQ(lines.at(4)->unit()->code(), QStringLiteral("XQZ"));
    EXPECT_FALSE(lines.at(3)->startDate().isValid());
    EXPECT_EQ(lines.at(4)->startDate(), twLocal(2025, 7, 9, 0, 0, 0));
    EXPECT_EQ(lines.at(2)->cycle(), 4294967295u);
    EXPECT_TRUE(lines.at(4)->rollover());
    ASSERT_OK(business->updateBudgetItem(lines.at(4), false));
    EXPECT_EQ(twQueryText(*business,
                          QStringLiteral("SELECT unit FROM budgetItems WHERE identifier=302;")),
              QStringLiteral("XQZ"));
}

TEST(BudgetItems, FailedWritesChangeNothing)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    const TWBudgetItemPtr line = makeLine(100, TWItemTypeAccount, 120);
    ASSERT_OK(business->addBudgetItem(line, false));
    TWNotificationRecorder recorder(business.get());

    // Refused before any SQL: no object, identifier 0, an object listed already.
    EXPECT_TRUE(business->addBudgetItem(nullptr, true));
    EXPECT_TRUE(business->addBudgetItem(makeLine(0, TWItemTypeAccount, 121), true));
    line->setIdentifier(101);
    EXPECT_TRUE(business->addBudgetItem(line, true));
    line->setIdentifier(100);
    // The same identifier twice.
    EXPECT_TRUE(business->addBudgetItem(makeLine(100, TWItemTypeAccount, 122), true));

    twExec(*business, QStringLiteral("CREATE TRIGGER refuseUpdate BEFORE UPDATE ON budgetItems "
                                     "BEGIN SELECT RAISE(ABORT, 'no'); END;"));
    twExec(*business, QStringLiteral("CREATE TRIGGER refuseDelete BEFORE DELETE ON budgetItems "
                                     "BEGIN SELECT RAISE(ABORT, 'no'); END;"));
    const TWBudgetItemPtr copy = line->copy();
    copy->setItemType(TWItemTypeAccountGroup);
    const std::optional<TWError> error = business->updateBudgetItem(copy, true);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), TWDatabaseErrorDomain);
    line->setItemIdentifier(125);
    EXPECT_TRUE(business->updateBudgetItem(line, true));
    line->setItemIdentifier(120);
    EXPECT_TRUE(business->deleteBudgetItem(line, true));
    EXPECT_TRUE(business->deleteAllBudgetItems(true));
    EXPECT_TRUE(business->deleteBudgetItemsForItem(makeAccount(120), true));

    EXPECT_EQ(business->budgetItems(), TWBudgetItemList{line});
    EXPECT_EQ(business->budgetItemWithType(TWItemTypeAccount, 120), line);
    EXPECT_EQ(found(*business, TWItemTypeAccountGroup, 120), 0);
    EXPECT_EQ(rowCount(*business), 1);
    EXPECT_EQ(twQueryInt(*business, QStringLiteral("SELECT itemType FROM budgetItems;")), 5);
    EXPECT_TRUE(recorder.names().isEmpty());
}

TEST(BudgetItems, DeletingAnAccountDeletesItsLinesInTheSameWrite)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    ASSERT_OK(business->addAccount(makeAccount(120), false));
    ASSERT_OK(business->addAccount(makeAccount(121), false));
    ASSERT_OK(business->addBudgetItem(makeLine(100, TWItemTypeAccount, 120), false));
    ASSERT_OK(business->addBudgetItem(makeLine(101, TWItemTypeAccountGroup, 120), false));
    ASSERT_OK(business->addBudgetItem(makeLine(102, TWItemTypeAccount, 121), false));
    ASSERT_OK(business->addBudgetItem(makeLine(103, TWItemTypeAccount, 120), false));
    const TWBudgetItemList before = business->budgetItems();

    // The second line of account 120 cannot go: the account and both of its
    // lines stay, in the table, the list and the lookup, and nothing is posted.
    twExec(*business, QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON budgetItems "
                                     "WHEN OLD.identifier=103 BEGIN SELECT RAISE(ABORT, 'no'); "
                                     "END;"));
    TWNotificationRecorder recorder(business.get());
    EXPECT_TRUE(business->deleteAccount(business->accountWithIdentifier(120), true));
    EXPECT_TRUE(business->accountWithIdentifier(120));
    EXPECT_EQ(business->budgetItems(), before);
    EXPECT_EQ(rowCount(*business), 4);
    EXPECT_EQ(found(*business, TWItemTypeAccount, 120), 100);
    EXPECT_TRUE(recorder.names().isEmpty());

    twExec(*business, QStringLiteral("DROP TRIGGER refuse;"));
    ASSERT_OK(business->deleteAccount(business->accountWithIdentifier(120), true));
    EXPECT_FALSE(business->accountWithIdentifier(120));
    // Both lines of the account go, each announced; the group line of the
    // same identifier stays.
    EXPECT_EQ(identifiers(business->budgetItems()), (QList<qint32>{101, 102}));
    EXPECT_EQ(twQueryText(*business, QStringLiteral("SELECT group_concat(identifier) FROM "
                                                    "budgetItems ORDER BY identifier;")),
              QStringLiteral("101,102"));
    EXPECT_EQ(found(*business, TWItemTypeAccountGroup, 120), 101);
    EXPECT_EQ(recorder.names(),
              (QStringList{TWBudgetItemDeleteNotification, TWBudgetItemDeleteNotification,
                           TWAccountDeleteNotification}));
}
