#include "app/TWWheelGuard.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QWheelEvent>

namespace
{

// Guarded widgets that would take focus from the wheel itself (Qt gives
// wheel focus before any filter sees the event) take it from clicks and the
// keyboard only.
void withoutWheelFocus(QWidget *widget)
{
    if (widget->focusPolicy() == Qt::WheelFocus)
        widget->setFocusPolicy(Qt::StrongFocus);
}

bool isGuarded(const QObject *object)
{
    return qobject_cast<const QComboBox *>(object) ||
           qobject_cast<const QAbstractSpinBox *>(object);
}

} // namespace

void TWWheelGuard::install()
{
    static QPointer<TWWheelGuard> installed;
    if (installed || !qApp)
        return;
    installed = new TWWheelGuard(qApp);
    qApp->installEventFilter(installed);
    // Widgets made before the guard was there lose wheel focus too.
    for (QWidget *widget : QApplication::allWidgets())
        if (isGuarded(widget))
            withoutWheelFocus(widget);
}

bool TWWheelGuard::passesWheel(const QWidget *widget)
{
    return widget && isGuarded(widget) && !widget->hasFocus();
}

bool TWWheelGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Polish) {
        if (isGuarded(watched))
            withoutWheelFocus(static_cast<QWidget *>(watched));
        return false;
    }
    if (event->type() != QEvent::Wheel || !watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (!passesWheel(widget))
        return false;
    // The wheel goes to the nearest scrolling view around the widget, as if
    // the widget were not there; with none it is simply dropped.
    auto *wheel = static_cast<QWheelEvent *>(event);
    for (QWidget *parent = widget->parentWidget(); parent; parent = parent->parentWidget()) {
        auto *area = qobject_cast<QAbstractScrollArea *>(parent);
        if (!area)
            continue;
        QWidget *viewport = area->viewport();
        const QPointF position = viewport->mapFromGlobal(wheel->globalPosition());
        QWheelEvent forwarded(position, wheel->globalPosition(), wheel->pixelDelta(),
                              wheel->angleDelta(), wheel->buttons(), wheel->modifiers(),
                              wheel->phase(), wheel->inverted(), wheel->source());
        QCoreApplication::sendEvent(viewport, &forwarded);
        break;
    }
    // Handled here: it must not climb on to the widget's parents as well.
    wheel->accept();
    return true;
}
