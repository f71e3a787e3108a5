// Accounts: the default chart as one write, storing and reading back, and updates.

#include "TWPackageTestSupport.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "foundation/TWLocalized.h"
#include "model/TWBusinessInfo.h"
#include "model/TWPreferences.h"
#include "store/TWBusiness.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QSettings>

#include <gtest/gtest.h>

#include <sqlite3.h>

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

// The last account type as the preferences file on disk holds it when a new
// business writes its first report, its chart of accounts being in by then.
std::optional<quint32> g_typeOnDisk;
QString g_preferencesFile;

int readPreferencesAtFirstReport(void *, int action, const char *table, const char *, const char *,
                                 const char *)
{
    if (action != SQLITE_INSERT || qstrcmp(table, "reports") != 0 || g_typeOnDisk)
        return SQLITE_OK;
    // Any QSettings made on the file itself would write this process's
    // unwritten values first, so a copy is read.
    const QString copy = QDir::temp().filePath(QStringLiteral("tw-preferences-on-disk.ini"));
    QFile::remove(copy);
    QFile::copy(g_preferencesFile, copy);
    g_typeOnDisk = QSettings(copy, QSettings::IniFormat).value("lastAccountType").toUInt();
    QFile::remove(copy);
    return SQLITE_OK;
}

int watchNewConnection(sqlite3 *database, const char **, const sqlite3_api_routines *)
{
    sqlite3_set_authorizer(database, &readPreferencesAtFirstReport, nullptr);
    return SQLITE_OK;
}

} // namespace

TEST(Accounts, ANewBusinessStoresItsLastAccountTypeAtOnce)
{
    TWPreferences &preferences = TWPreferences::preferences();
    preferences.setLastAccountType(TWAccountTypeLoan);
    g_typeOnDisk.reset();
    g_preferencesFile = QSettings().fileName();
    const auto entry = reinterpret_cast<void (*)()>(&watchNewConnection);
    sqlite3_auto_extension(entry);
    const auto business = twNewBusiness();
    sqlite3_cancel_auto_extension(entry);
    ASSERT_TRUE(business);
    ASSERT_NE(preferences.lastAccountType(), quint32(TWAccountTypeLoan));
    EXPECT_EQ(g_typeOnDisk, preferences.lastAccountType());
}

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
