#pragma once
// Keeps a stray scroll from changing a value: pop-ups, spin boxes and date
// fields take the mouse wheel only while they have keyboard focus; otherwise
// the wheel scrolls whatever they sit in. One filter on the application
// covers every window, sheet and form.

#include <QObject>

class QWidget;

class TWWheelGuard final : public QObject
{
    Q_OBJECT
public:
    // Installs the one guard on the running application (again is harmless).
    static void install();

    // Whether the wheel over `widget` must pass it by: a pop-up, spin box or
    // date field without keyboard focus.
    static bool passesWheel(const QWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QObject::QObject;
};
