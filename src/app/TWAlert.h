#pragma once
// Alerts of the application-wide windows (update check, news, preferences): a message, an
// informative text and buttons, shown as a sheet on a window or application-modal, answering
// 1000, 1001, 1002 for the first, second and third button. Texts are always plain text,
// never rich text, since some of them come from outside. Tests put in a presenter of their own.

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class QMessageBox;
class QWidget;

struct TWAlert {
    QString message;
    QString informativeText;
    // Button titles, first to last.
    QStringList buttons;
    // The window the alert is a sheet of; none: application-modal.
    QWidget *window = nullptr;
    // The index of the button Return presses: the first, unless the first
    // does what cannot be undone.
    int defaultButton = 0;
};

// What the completion gets for the first, second and third button.
enum TWAlertReturn : int {
    TWAlertFirstButtonReturn = 1000,
    TWAlertSecondButtonReturn = 1001,
    TWAlertThirdButtonReturn = 1002,
};

using TWAlertCompletion = std::function<void(int returnCode)>;
using TWAlertPresenter = std::function<void(const TWAlert &alert, TWAlertCompletion completion)>;

// Shows the alert without blocking; the completion gets the button's return code. An alert
// on a popover shows on the window under it while the popover is hidden, open all along.
void twRunAlert(const TWAlert &alert, TWAlertCompletion completion = {});
// A message the user can only acknowledge: one OK button, a sheet of `window` (none:
// application-modal).
void twRunNotice(const QString &message, QWidget *window);
// An empty presenter puts the dialogs back.
void twSetAlertPresenter(TWAlertPresenter presenter);
// The dialog the default presenter shows (not yet open).
QMessageBox *twMakeAlertBox(const TWAlert &alert);

// Opens a web or mail address or a file with the desktop's handler (or a test's opener).
bool twOpenURL(const QUrl &url);
// An empty opener puts the desktop's back.
void twSetURLOpener(std::function<bool(const QUrl &)> opener);
