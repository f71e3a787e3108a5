#pragma once
// Fixtures of the update check, news, About and preferences suites: alerts and opened
// addresses recorded instead of shown, the site pointed at a loopback server, a pinned clock
// and version, and waiting on the event loop.

#include "app/TWAlert.h"
#include "app/TWSiteRequest.h"

#include "TWLoopbackHttpServer.h"
#include "TWTestSupport.h"
#include "model/TWPreferences.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Runs the event loop until the condition holds or the time is up; answers the condition.
inline bool twWaitUntil(const std::function<bool()> &condition, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired())
        QTest::qWait(10);
    return condition();
}

class TWUpdateTest : public ::testing::Test
{
protected:
    struct Shown {
        TWAlert alert;
        TWAlertCompletion completion;
    };

    void SetUp() override
    {
        m_previousVersion = QCoreApplication::applicationVersion();
        QCoreApplication::setApplicationVersion(QStringLiteral("2.1"));
        TWSite::setBaseURL(server.baseUrl());
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append({alert, std::move(completion)});
        });
        twSetURLOpener([this](const QUrl &url) {
            opened.append(url);
            return true;
        });
        TWPreferences &preferences = TWPreferences::preferences();
        preferences.setCheckForUpdate(true);
        preferences.setCheckForUpdateNextDate(QDateTime());
        preferences.setCheckForUpdateSkipVersion(QString());
        QSettings settings;
        settings.remove(QStringLiteral("appNewsLastCheckedDate"));
        settings.remove(QStringLiteral("appNewsLastIdentifier"));
    }
    void TearDown() override
    {
        twSetAlertPresenter({});
        twSetURLOpener({});
        TWSite::setBaseURL(QUrl(QStringLiteral("http://127.0.0.1:9/")));
        TWSite::setTransferTimeout(TWSite::kDefaultTransferTimeout);
        QCoreApplication::setApplicationVersion(m_previousVersion);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    // Answers the last alert with the return code (1000 first button, ...).
    void answer(int code)
    {
        ASSERT_FALSE(alerts.isEmpty());
        if (alerts.last().completion)
            alerts.last().completion(code);
    }

    TWFixedClock clock{2026, 3, 10, 12, 0, 0};
    TWLoopbackHttpServer server;
    QList<Shown> alerts;
    QList<QUrl> opened;

private:
    QString m_previousVersion;
};
