#include "app/TWSheetGeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

QSize TWSheetFirstSize(const QSize &wanted, const QSize &minimum, const QSize &available)
{
    QSize size = wanted;
    if (available.isValid())
        size = size.boundedTo(available);
    return size.expandedTo(minimum);
}

QSize TWSheetAvailableSize(const QWidget *parent)
{
    const QWidget *window = parent ? parent->window() : nullptr;
    QScreen *screen = window ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    QSize available = screen->availableGeometry().size();
    // The sheet gets a title bar and borders like its parent's (none before
    // the window manager has framed the parent).
    if (window && window->isVisible()) {
        const QSize frame = window->frameGeometry().size() - window->geometry().size();
        available -= frame.expandedTo(QSize(0, 0));
    }
    return available;
}
