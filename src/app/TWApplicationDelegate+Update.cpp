// The weekly update check: a one-shot timer driven by the stored next date, one request at a
// time, and the offer of a newer version that the user has not skipped.

#include "app/TWAlert.h"
#include "app/TWApplicationDelegate.h"
#include "app/TWBusinessController.h"
#include "app/TWSiteRequest.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWPreferences.h"
#include "model/TWUtilities.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>

namespace
{

constexpr qint64 kWeekSeconds = 604800;

} // namespace

void TWApplicationDelegate::armUpdateCheck()
{
    TWPreferences &preferences = TWPreferences::preferences();
    if (!preferences.checkForUpdate())
        return;
    QDateTime next = preferences.checkForUpdateNextDate();
    if (!next.isValid()) {
        next = TWClock::now().addSecs(kWeekSeconds);
        preferences.setCheckForUpdateNextDate(next);
    }
    scheduleUpdateCheck(next);
}

void TWApplicationDelegate::scheduleUpdateCheck(const QDateTime &date)
{
    delete m_updateCheckTimer;
    // A damaged date far ahead would overflow the timer: nothing waits longer than a week.
    const qint64 interval =
        std::clamp<qint64>(TWClock::now().msecsTo(date), 0, kWeekSeconds * 1000);
    m_updateCheckTimer = new QTimer(this);
    m_updateCheckTimer->setSingleShot(true);
    m_updateCheckTimer->setInterval(int(interval));
    connect(m_updateCheckTimer, &QTimer::timeout, this, [this] { updateCheckTimer(); });
    m_updateCheckTimer->start();
}

int TWApplicationDelegate::updateCheckInterval() const
{
    return m_updateCheckTimer ? m_updateCheckTimer->interval() : -1;
}

void TWApplicationDelegate::updateCheckTimer()
{
    checkForUpdate();
    const QDateTime next = TWClock::now().addSecs(kWeekSeconds);
    TWPreferences::preferences().setCheckForUpdateNextDate(next);
    scheduleUpdateCheck(next);
}

void TWApplicationDelegate::updateCheckInLine()
{
    TWPreferences &preferences = TWPreferences::preferences();
    if (isUpdateCheckArmed() == preferences.checkForUpdate())
        return;
    if (preferences.checkForUpdate()) {
        const QDateTime next = TWClock::now().addSecs(kWeekSeconds);
        preferences.setCheckForUpdateNextDate(next);
        scheduleUpdateCheck(next);
        return;
    }
    delete m_updateCheckTimer;
    m_updateCheckTimer = nullptr;
}

void TWApplicationDelegate::checkForUpdate()
{
    // Without a configured site the weekly check stays idle.
    const QUrl url = TWSite::url(TWSite::kUpdatePath);
    if (m_checkingForUpdate || url.isEmpty())
        return;
    m_checkingForUpdate = true;
    // Every outcome frees the next check: a failure (network, status, size, stall) as well
    // as an answer.
    m_updateRequest =
        TWSiteRequest::get(url, TWSite::kUpdateMaximumSize,
                           [this](const QByteArray &data, const TWErrorResult &error) {
                               m_updateRequest = nullptr;
                               if (error) {
                                   m_checkingForUpdate = false;
                                   return;
                               }
                               checkForUpdateMain(data);
                           });
}

void TWApplicationDelegate::checkForUpdateMain(const QByteArray &data)
{
    const QString latest = twUpdateVersion(data);
    const QString version = latest.isEmpty()
                                ? QString()
                                : TWUtilities::utilities().updateAvailable(latest.toUtf8(), true);
    if (version.isEmpty()) {
        m_checkingForUpdate = false;
        return;
    }
    TWAlert alert;
    alert.message = QStringLiteral("%1 (%2).").arg(TWLocalized("updateAvailable"), version);
    alert.buttons = {TWLocalized("learnMore"), TWLocalized("cancel"), TWLocalized("skipVersion")};
    if (QWidget *front = QApplication::activeWindow())
        front->activateWindow();
    twRunAlert(alert, [this, version](int code) {
        if (code == 1000 && !TWSite::url(TWSite::kProductPath).isEmpty())
            openURL(TWSite::url(TWSite::kProductPath));
        else if (code == 1002)
            TWPreferences::preferences().setCheckForUpdateSkipVersion(version);
    });
    m_checkingForUpdate = false;
}
