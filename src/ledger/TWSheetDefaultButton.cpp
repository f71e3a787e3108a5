#include "ledger/TWSheetDefaultButton.h"

#include <QDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QPushButton>

namespace
{

class TWDefaultButtonKeeper final : public QObject
{
public:
    explicit TWDefaultButtonKeeper(QPushButton *button) : QObject(button), m_button(button)
    {
        button->setDefault(true);
        button->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Shown means the button now has the dialog it will be in: setting the
        // default again registers it with that dialog.
        if (watched == m_button && event->type() == QEvent::Show) {
            m_button->setDefault(false);
            m_button->setDefault(true);
            // A popover is no dialog: Return left unused by the controls
            // reaches its window, which then presses the button itself.
            QWidget *window = m_button->window();
            if (window != m_button && !qobject_cast<QDialog *>(window))
                window->installEventFilter(this);
            return false;
        }
        if (watched != m_button && event->type() == QEvent::KeyPress &&
            watched == m_button->window() && !qobject_cast<QDialog *>(watched)) {
            const auto *key = static_cast<QKeyEvent *>(event);
            const bool plain = !(key->modifiers() & ~Qt::KeypadModifier);
            if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                m_button->isVisible() && m_button->isEnabled()) {
                m_button->click();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPushButton *m_button;
};

} // namespace

void twKeepDefaultButton(QPushButton *button)
{
    if (button)
        new TWDefaultButtonKeeper(button);
}
