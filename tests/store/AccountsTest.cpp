// Accounts: the default chart as one write, storing and reading back, and updates.

#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "foundation/TWLocalized.h"
#include "model/TWBusinessInfo.h"
#include "model/TWPreferences.h"
#include "store/TWBusiness.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace
{

TWBusinessInfo businessInfo(std::uint32_t type, const QString &homeCurrency = "EUR")
{
    TWBusinessInfo info;
    info.setType(type);
    info.setHomeCurrency(homeCurrency);
    return info;
}

TWAccountPtr makeAccount(qint32 identifier, const QString &name, int type, qint32 parent = 0)
{
    auto unit = std::make_shared<TWUnit>();
    unit->setCode(QStringLiteral("USD"));
    return TWAccount::accountWithIdentifier(identifier, name, parent, 0, TWAccountType(type),
                                            QString(), QImage(), unit, QString());
}

QList<qint32> identifiers(const TWAccountList &accounts)
{
    QList<qint32> result;
    for (const TWAccountPtr &account : accounts)
        result.append(account->identifier());
    return result;
}

} // namespace

TEST(Accounts, DefaultChartIsAllOrNothing)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    // Account 143 already exists: the corporation's last equity account fails.
    twExec(*business, QStringLiteral("INSERT INTO accounts (identifier, type) VALUES (143, 17);"));
    TWNotificationRecorder recorder(business.get());
    EXPECT_TRUE(business->populateAccounts(businessInfo(TWBusinessTypeCorporation)));
    EXPECT_EQ(twQueryInt(*business, QStringLiteral("SELECT COUNT(*) FROM accounts;")), 1);
    EXPECT_TRUE(business->accounts().isEmpty());
    EXPECT_TRUE(recorder.names().isEmpty());
}

TEST(Accounts, LoadGivesBackWhatWasWritten)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    QImage icon(16, 12, QImage::Format_RGB32);
    icon.fill(Qt::red);
    auto unit = std::make_shared<TWUnit>();
    unit->setCode(QStringLiteral("QQQ")); // not among the built-in units
    const TWAccountPtr full = TWAccount::accountWithIdentifier(
        300, QStringLiteral("Operating"), 101, 7, TWAccountTypeBank, QStringLiteral("1200"), icon,
        unit, QStringLiteral("notes"), true, QStringLiteral("First Bank"), QStringLiteral("42"),
        QStringLiteral("555-1"), QStringLiteral("555-2"), QStringLiteral("a@b.example"),
        QUrl(QStringLiteral("https://bank.example/a b")), QStringLiteral("1 Main St"),
        QStringLiteral("021"), QStringLiteral("wire"));
    const TWAccountPtr bare = TWAccount::accountWithIdentifier(
        301, QString(), 0, 3, TWAccountTypeExpense, QString(), QImage(), nullptr, QString());
    ASSERT_OK(business->addAccount(full, true));
    ASSERT_OK(business->addAccount(bare, false));
    EXPECT_LT(*twQueryInt(*business, QStringLiteral("SELECT length(icon) FROM accounts "
                                                    "WHERE identifier=300;")),
              4096);
    EXPECT_EQ(twQueryInt(*business, QStringLiteral("SELECT icon IS NULL AND unit IS NULL FROM "
                                                   "accounts WHERE identifier=301;")),
              1);

    ASSERT_OK(business->loadAccounts());
    // Read by sort order.
    EXPECT_EQ(identifiers(business->accounts()), (QList<qint32>{301, 300}));
    const TWAccountPtr read = business->accountWithIdentifier(300);
    ASSERT_TRUE(read);
    EXPECT_NE(read, full);
    EXPECT_EQ(read->name(), full->name());
    EXPECT_EQ(read->parentIdentifier(), 101);
    EXPECT_EQ(read->sortOrder(), 7u);
    EXPECT_EQ(read->accountType(), TWAccountTypeBank);
    EXPECT_EQ(read->icon().size(), icon.size());
    ASSERT_TRUE(read->unit());
    EXPECT_EQ(read->unit()->code(), QStringLiteral("QQQ"));
    EXPECT_TRUE(read->isInstitution());
    EXPECT_EQ(read->institutionName(), full->institutionName());
    EXPECT_EQ(read->institutionWebsite(), full->institutionWebsite());
    EXPECT_EQ(read->institutionWireTransfer(), full->institutionWireTransfer());

    const TWAccountPtr readBare = business->accountWithIdentifier(301);
    EXPECT_TRUE(readBare->icon().isNull());
    ASSERT_TRUE(readBare->unit()); // never without a unit object
}

TEST(Accounts, LoadSurvivesDamagedRows)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    twExec(*business, QStringLiteral("INSERT INTO accounts (identifier, type, icon, isInstitution, "
                                     "sortOrder) VALUES (400, 99, x'00ff13', 256, -1);"));
    ASSERT_OK(business->loadAccounts());
    const TWAccountPtr account = business->accountWithIdentifier(400);
    ASSERT_TRUE(account);
    EXPECT_TRUE(account->icon().isNull());
    EXPECT_FALSE(account->isInstitution()); // only the low byte counts
    EXPECT_TRUE(business->accountsOfType(99).isEmpty());
}

TEST(Accounts, FailedWritesChangeNothing)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    ASSERT_OK(business->addAccount(makeAccount(100, "A", TWAccountTypeBank), false));
    TWPreferences::preferences().setLastAccountType(TWAccountTypeLoan);
    TWNotificationRecorder recorder(business.get());

    EXPECT_TRUE(business->addAccount(makeAccount(100, "Twin", TWAccountTypeIncome), true));
    EXPECT_TRUE(business->addAccount(makeAccount(0, "No identifier", TWAccountTypeIncome), true));
    EXPECT_EQ(business->accounts().size(), 1);
    EXPECT_EQ(business->accountWithIdentifier(100)->name(), QStringLiteral("A"));
    EXPECT_EQ(TWPreferences::preferences().lastAccountType(), quint32(TWAccountTypeLoan));

    // A failing update (the table refuses it) leaves list and copy alone.
    twExec(*business, QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON accounts "
                                     "BEGIN SELECT RAISE(ABORT, 'refused'); END;"));
    const TWAccountPtr copy = business->accountWithIdentifier(100)->copy();
    copy->setAccountType(TWAccountTypeEquity);
    EXPECT_TRUE(business->updateAccount(copy, true));
    EXPECT_NE(business->accountWithIdentifier(100), copy);
    EXPECT_EQ(copy->accountType(), TWAccountTypeEquity);
    EXPECT_TRUE(recorder.names().isEmpty());
}
