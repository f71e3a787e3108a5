#include "app/TWAlert.h"

#include "app/TWPopover.h"
#include "foundation/TWLocalized.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace
{

TWAlertPresenter &presenter()
{
    static TWAlertPresenter shared;
    return shared;
}

std::function<bool(const QUrl &)> &opener()
{
    static std::function<bool(const QUrl &)> shared;
    return shared;
}

} // namespace

QMessageBox *twMakeAlertBox(const TWAlert &alert)
{
    auto *box = new QMessageBox(alert.window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->setIcon(QMessageBox::Information);
    box->setText(alert.message);
    box->setInformativeText(alert.informativeText);
    // Qt orders standard roles itself; every button takes the same role so that they stay in
    // the order given.
    for (int i = 0; i < alert.buttons.size(); ++i) {
        QPushButton *button = box->addButton(alert.buttons.at(i), QMessageBox::AcceptRole);
        button->setProperty("returnCode", TWAlertFirstButtonReturn + i);
        if (i == alert.defaultButton)
            box->setDefaultButton(button);
    }
    box->setWindowModality(alert.window ? Qt::WindowModal : Qt::ApplicationModal);
    return box;
}

void twRunAlert(const TWAlert &given, TWAlertCompletion completion)
{
    TWAlert alert = given;
    // A dialog opened over a popover closes it, as a click outside does, and
    // with it everything typed there: the popover steps aside while the alert
    // shows on the window under it, and comes back as it was.
    auto *popover = qobject_cast<TWPopover *>(alert.window ? alert.window->window() : nullptr);
    if (popover && popover->isShown()) {
        popover->suspend();
        alert.window = popover->parentWidget() ? popover->parentWidget()->window() : nullptr;
        completion = [resumed = QPointer<TWPopover>(popover), completion](int code) {
            if (resumed)
                resumed->resume();
            if (completion)
                completion(code);
        };
    }
    if (presenter()) {
        presenter()(alert, std::move(completion));
        return;
    }
    QMessageBox *box = twMakeAlertBox(alert);
    QObject::connect(box, &QMessageBox::finished, box, [box, completion] {
        const QAbstractButton *clicked = box->clickedButton();
        const int code =
            clicked ? clicked->property("returnCode").toInt() : TWAlertFirstButtonReturn;
        if (completion)
            completion(code);
    });
    if (!alert.window) {
        // An application-wide alert comes to the front, whatever else is open.
        box->show();
        box->raise();
        box->activateWindow();
        return;
    }
    box->open();
}

void twRunNotice(const QString &message, QWidget *window)
{
    TWAlert alert;
    alert.message = message;
    alert.buttons = {TWLocalized("ok")};
    alert.window = window;
    twRunAlert(alert);
}

void twSetAlertPresenter(TWAlertPresenter replacement)
{
    presenter() = std::move(replacement);
}

bool twOpenURL(const QUrl &url)
{
    if (opener())
        return opener()(url);
    return QDesktopServices::openUrl(url);
}

void twSetURLOpener(std::function<bool(const QUrl &)> replacement)
{
    opener() = std::move(replacement);
}
