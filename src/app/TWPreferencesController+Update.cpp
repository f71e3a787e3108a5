// The update check by hand: a progress sheet with a cancel button while the request runs,
// then the newer version (skipped or not), "up to date", or the error.

#include "app/TWAlert.h"
#include "app/TWPreferencesController.h"
#include "app/TWSiteRequest.h"

#include "foundation/TWLocalized.h"
#include "model/TWPreferences.h"
#include "model/TWUtilities.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

void TWPreferencesController::doCheckForUpdate()
{
    // A second check replaces a running one.
    if (m_updateRequest)
        m_updateRequest->cancel();
    m_updateRequest = nullptr;
    const QUrl url = TWSite::url(TWSite::kUpdatePath);
    if (url.isEmpty()) {
        // Nothing to ask: say so rather than fail against a host that is not there.
        TWAlert alert;
        alert.window = m_window;
        alert.message = TWLocalized("noUpdateService");
        alert.buttons = {TWLocalized("ok")};
        twRunAlert(alert);
        return;
    }
    m_updateRequest =
        TWSiteRequest::get(url, TWSite::kUpdateMaximumSize,
                           [this](const QByteArray &data, const TWErrorResult &error) {
                               updateAnswered(data, error);
                           });

    if (!m_updateProgressWindow) {
        auto *sheet = new QDialog(m_window);
        sheet->setObjectName(QStringLiteral("updateProgressWindow"));
        sheet->setWindowModality(Qt::WindowModal);
        auto *layout = new QVBoxLayout(sheet);
        layout->addWidget(new QLabel(TWLocalized("prefsCheckingForUpdate"), sheet));
        auto *indicator = new QProgressBar(sheet);
        indicator->setRange(0, 0);
        indicator->setMinimumWidth(280);
        layout->addWidget(indicator);
        auto *buttons = new QDialogButtonBox(sheet);
        QPushButton *cancel =
            buttons->addButton(TWLocalized("cancel"), QDialogButtonBox::RejectRole);
        cancel->setObjectName(QStringLiteral("updateCancelButton"));
        connect(cancel, &QPushButton::clicked, this, [this] { doUpdateCancel(); });
        layout->addWidget(buttons);
        m_updateProgressWindow = sheet;
    }
    m_updateProgressWindow->open();
}

void TWPreferencesController::endProgress()
{
    if (m_updateProgressWindow)
        m_updateProgressWindow->hide();
}

void TWPreferencesController::doUpdateCancel()
{
    if (m_updateRequest)
        m_updateRequest->cancel();
    m_updateRequest = nullptr;
    endProgress();
}

void TWPreferencesController::updateAnswered(const QByteArray &data, const TWErrorResult &error)
{
    m_updateRequest = nullptr;
    endProgress();
    TWAlert alert;
    alert.window = m_window;
    if (error) {
        alert.message = QStringLiteral("%1 (%2, %3).")
                            .arg(TWLocalized("updateError"), error->localizedDescription())
                            .arg(error->code());
        alert.buttons = {TWLocalized("ok")};
        twRunAlert(alert);
        return;
    }
    // A skipped version still counts here: the user asked.
    const QString latest = twUpdateVersion(data);
    const QString version = latest.isEmpty()
                                ? QString()
                                : TWUtilities::utilities().updateAvailable(latest.toUtf8(), false);
    if (version.isEmpty()) {
        alert.message = TWLocalized("upToDate");
        alert.buttons = {TWLocalized("ok")};
        twRunAlert(alert);
        return;
    }
    m_updateVersion = version;
    alert.message = QStringLiteral("%1 (%2).").arg(TWLocalized("updateAvailable"), version);
    alert.buttons = {TWLocalized("learnMore"), TWLocalized("skipVersion")};
    QPointer<TWPreferencesController> guarded(this);
    twRunAlert(alert, [guarded, version](int code) {
        if (code == 1000 && !TWSite::url(TWSite::kProductPath).isEmpty())
            twOpenURL(TWSite::url(TWSite::kProductPath));
        else if (code == 1001)
            TWPreferences::preferences().setCheckForUpdateSkipVersion(version);
        if (guarded)
            guarded->m_updateVersion.clear();
    });
}
