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

QPoint TWSheetFramePosition(const QSize &frame, const QRect &parentFrame, const QRect &available)
{
    QRect placed(QPoint(0, 0), frame);
    placed.moveCenter(parentFrame.center());
    if (available.isValid()) {
        if (placed.right() > available.right())
            placed.moveRight(available.right());
        if (placed.left() < available.left())
            placed.moveLeft(available.left());
        if (placed.bottom() > available.bottom())
            placed.moveBottom(available.bottom());
        if (placed.top() < available.top())
            placed.moveTop(available.top());
    }
    return placed.topLeft();
}

void TWPlaceSheet(QWidget *sheet, const QSize &size, const QWidget *parent)
{
    const QWidget *window = parent ? parent->window() : nullptr;
    if (!sheet || !window || !window->isVisible())
        return;
    QScreen *screen = window->screen();
    if (!screen)
        return;
    // Some window managers announce a work area larger than the screen.
    const QRect available = screen->availableGeometry().intersected(screen->geometry());
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    // A window's position is its frame's.
    sheet->move(TWSheetFramePosition(size + frame.expandedTo(QSize(0, 0)), window->frameGeometry(),
                                     available));
}
