#include "TWStoreTestSupport.h"

#include "TWTestSupport.h"
#include "model/TWAccount.h"
#include "model/TWBusinessInfo.h"

#include <QSettings>

#include <gtest/gtest.h>
#include <sqlite3.h>

std::unique_ptr<TWBusiness> twMakeBusiness()
{
    TWErrorResult error;
    std::unique_ptr<TWBusiness> business = TWBusiness::businessWithInMemorySchema(&error);
    if (error)
        ADD_FAILURE() << "no business: " << error->localizedDescription();
    return business;
}

std::unique_ptr<TWBusiness> twMakeBusinessWithUnits(const QString &homeCurrency)
{
    auto business = twMakeBusiness();
    if (!business)
        return nullptr;
    TWBusinessInfoPtr info = TWBusinessInfo::newBusinessInfo();
    info->setHomeCurrency(homeCurrency);
    business->setBusinessInfo(info);
    EXPECT_OK(business->populateUnits());
    EXPECT_OK(business->populateBusinessInfo());
    EXPECT_OK(business->loadUnits());
    EXPECT_OK(business->loadBusinessInfo());
    return business;
}

void twExec(sqlite3 *connection, const QString &sql)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(connection, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK)
        ADD_FAILURE() << sql << ": " << (message ? message : "error " + std::to_string(rc));
    sqlite3_free(message);
}

void twExec(TWBusiness &business, const QString &sql)
{
    twExec(business.database(), sql);
}

namespace
{

template <typename T, typename Read>
std::optional<T> queryFirst(TWBusiness &business, const QString &sql, Read read)
{
    sqlite3_stmt *statement = nullptr;
    std::optional<T> result;
    if (sqlite3_prepare_v2(business.database(), sql.toUtf8().constData(), -1, &statement,
                           nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        result = read(statement);
    sqlite3_finalize(statement);
    return result;
}

} // namespace

std::optional<qint64> twQueryInt(TWBusiness &business, const QString &sql)
{
    return queryFirst<qint64>(business, sql,
                              [](sqlite3_stmt *s) { return sqlite3_column_int64(s, 0); });
}

std::optional<QString> twQueryText(TWBusiness &business, const QString &sql)
{
    return queryFirst<QString>(business, sql, [](sqlite3_stmt *s) {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(s, 0));
        return text ? QString::fromUtf8(text) : QString();
    });
}

QHash<qint32, qint64> twAccountSumsFromRows(TWBusiness &business)
{
    static const char *const sql =
        "SELECT account, SUM(amount) FROM ("
        " SELECT account1Identifier AS account, totalAccount1 AS amount FROM transactions"
        "  WHERE split=0 OR split IS NULL"
        " UNION ALL SELECT account2Identifier, -totalAccount2 FROM transactions"
        "  WHERE split=0 OR split IS NULL"
        " UNION ALL SELECT s.accountIdentifier, s.totalAccount FROM splits s"
        "  JOIN transactions t ON t.identifier=s.transactionIdentifier WHERE t.split=1)"
        " GROUP BY account;";
    QHash<qint32, qint64> sums;
    sqlite3_stmt *statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(business.database(), sql, -1, &statement, nullptr), SQLITE_OK);
    while (statement && sqlite3_step(statement) == SQLITE_ROW) {
        const qint64 sum = sqlite3_column_int64(statement, 1);
        if (sum != 0)
            sums.insert(sqlite3_column_int(statement, 0), sum);
    }
    sqlite3_finalize(statement);
    const QHash<qint32, qint64> shown = business.accountBalances(QDateTime());
    for (const TWAccountPtr &account : business.accounts()) {
        const qint64 sign = TWBusiness::isAccountDebitPositive(*account) ? 1 : -1;
        EXPECT_EQ(shown.value(account->identifier()) * sign, sums.value(account->identifier()))
            << account->name().toStdString();
    }
    return sums;
}

TWNotificationRecorder::TWNotificationRecorder(const TWBusiness *business)
{
    m_token = TWNotificationCenter::defaultCenter().addObserver(
        QString(), business,
        [this](const TWNotification &notification) { m_notifications.push_back(notification); });
}

TWNotificationRecorder::~TWNotificationRecorder()
{
    TWNotificationCenter::defaultCenter().removeObserver(m_token);
}

QStringList TWNotificationRecorder::names() const
{
    QStringList names;
    for (const TWNotification &n : m_notifications)
        names.append(n.name);
    return names;
}

TWSettingGuard::TWSettingGuard(const QString &key, const QVariant &value) : m_key(key)
{
    QSettings settings;
    m_previous = settings.value(key);
    if (value.isValid())
        settings.setValue(key, value);
    else
        settings.remove(key);
}

TWSettingGuard::~TWSettingGuard()
{
    QSettings settings;
    if (m_previous.isValid())
        settings.setValue(m_key, m_previous);
    else
        settings.remove(m_key);
}
