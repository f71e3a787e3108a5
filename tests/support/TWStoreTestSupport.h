#pragma once
// Fixtures for store tests: a business on a fresh in-memory database with the
// full schema, direct SQL for setting up and checking rows behind the store's
// back, a recorder of the notifications a business posts, and a pinned user
// preference.

#include "foundation/TWNotificationCenter.h"
#include "store/TWBusiness.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

// A business with every table and the version row; fails the test (and
// returns nullptr) when it cannot be made.
std::unique_ptr<TWBusiness> twMakeBusiness();
// An in-memory business with its units and business row seeded and loaded, the
// home currency given (amounts convert between units as in a real document).
std::unique_ptr<TWBusiness>
twMakeBusinessWithUnits(const QString &homeCurrency = QStringLiteral("USD"));

// Runs SQL on the business's connection directly; fails the test on error.
void twExec(TWBusiness &business, const QString &sql);
void twExec(sqlite3 *connection, const QString &sql);
// The first column of the first row a query yields; none without a row or on
// error.
std::optional<qint64> twQueryInt(TWBusiness &business, const QString &sql);
std::optional<QString> twQueryText(TWBusiness &business, const QString &sql);

// Every account's sum in its own unit, read straight from the stored rows
// (account 1 plus, account 2 minus, a split's lines each into its account),
// debit-positive; accounts without entries are absent. Also checks that the
// store's own balances say the same (a failure names the account).
QHash<qint32, qint64> twAccountSumsFromRows(TWBusiness &business);

// Every notification one business (or, with nullptr, anyone) posts, in order.
class TWNotificationRecorder
{
public:
    explicit TWNotificationRecorder(const TWBusiness *business);
    ~TWNotificationRecorder();
    TWNotificationRecorder(const TWNotificationRecorder &) = delete;
    TWNotificationRecorder &operator=(const TWNotificationRecorder &) = delete;

    const std::vector<TWNotification> &notifications() const { return m_notifications; }
    QStringList names() const;
    void clear() { m_notifications.clear(); }

private:
    TWNotificationCenter::Token m_token;
    std::vector<TWNotification> m_notifications;
};

// Sets a user preference (a QSettings key) for the object's life; an invalid
// value removes the key.
class TWSettingGuard
{
public:
    TWSettingGuard(const QString &key, const QVariant &value);
    ~TWSettingGuard();
    TWSettingGuard(const TWSettingGuard &) = delete;
    TWSettingGuard &operator=(const TWSettingGuard &) = delete;

private:
    QString m_key;
    QVariant m_previous;
};
