#include "app/TWWindow.h"

#include "foundation/TWNotificationCenter.h"

TWWindow::TWWindow(QWidget *parent)
    : QDialog(parent, Qt::Sheet | Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
{
    setWindowModality(Qt::WindowModal);
}

void TWWindow::reject()
{
    if (m_cancel) {
        // The handler ends the sheet; it may drop this window.
        const std::function<void()> cancel = m_cancel;
        cancel();
        return;
    }
    QDialog::reject();
}

bool TWWindow::focusNextPrevChild(bool next)
{
    const bool moved = QDialog::focusNextPrevChild(next);
    TWNotificationCenter::defaultCenter().postNotification(TWKeyViewChangedNotification, this);
    return moved;
}
