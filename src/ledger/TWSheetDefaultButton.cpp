#include "TWSheetDefaultButton.h"

#include <QEvent>
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
