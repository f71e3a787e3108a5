#include "app/TWPopover.h"

#include <algorithm>

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QVBoxLayout>

namespace
{
// Space between the anchor and the panel.
constexpr int kGap = 4;
} // namespace

TWPopover::TWPopover(QWidget *parent) : QFrame(parent, Qt::Popup)
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

TWPopover::~TWPopover()
{
    // The content belongs to its controller, which shows it again later.
    if (m_content) {
        m_content->hide();
        m_content->setParent(nullptr);
    }
}

void TWPopover::setContentWidget(QWidget *content)
{
    if (m_content == content)
        return;
    if (m_content) {
        layout()->removeWidget(m_content);
        m_content->hide();
        m_content->setParent(nullptr);
    }
    m_content = content;
    if (content) {
        layout()->addWidget(content);
        content->show();
    }
}

void TWPopover::showRelativeToRect(const QRect &rect, QWidget *anchor, Edge edge)
{
    adjustSize();
    QPoint position;
    if (!anchor) {
        position = rect.topLeft();
    } else if (edge == MinXEdge) {
        // To the right of a source-list row, centred on it; to the left when
        // there is no room on the right.
        const QPoint topRight = anchor->mapToGlobal(rect.topRight());
        position = QPoint(topRight.x() + kGap, topRight.y() + rect.height() / 2 - height() / 2);
    } else {
        const QPoint bottomLeft = anchor->mapToGlobal(rect.bottomLeft());
        position = QPoint(bottomLeft.x() + rect.width() / 2 - width() / 2, bottomLeft.y() + kGap);
    }
    if (QScreen *screen = anchor ? anchor->screen() : QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        position.setX(std::clamp(position.x(), available.left(),
                                 std::max(available.left(), available.right() - width())));
        position.setY(std::clamp(position.y(), available.top(),
                                 std::max(available.top(), available.bottom() - height())));
    }
    move(position);
    m_open = true;
    m_suspended = false;
    show();
    raise();
    activateWindow();
}

void TWPopover::performClose()
{
    if (m_suspended) {
        // Already hidden: close it for good.
        m_suspended = false;
        if (m_open) {
            m_open = false;
            emit closed();
        }
        return;
    }
    hide();
}

void TWPopover::suspend()
{
    if (!m_open || m_suspended)
        return;
    m_suspended = true;
    hide();
}

void TWPopover::resume()
{
    if (!m_suspended)
        return;
    m_suspended = false;
    show();
    raise();
    activateWindow();
}

void TWPopover::hideEvent(QHideEvent *event)
{
    QFrame::hideEvent(event);
    if (!m_open || m_suspended)
        return;
    m_open = false;
    emit closed();
}
