#include "app/TWKeyLoopView.h"

#include <QScrollArea>

#include <algorithm>

bool twTakesTab(const QWidget *control, const QWidget *within)
{
    return control && (control->focusPolicy() & Qt::TabFocus) && !control->focusProxy() &&
           control->isVisibleTo(within) && control->isEnabled();
}

QList<QWidget *> twReadingOrder(const QWidget *content)
{
    QList<QWidget *> loop;
    if (!content)
        return loop;
    struct Placed {
        QWidget *control;
        QRect frame;
    };
    QList<Placed> placed;
    const QList<QWidget *> children = content->findChildren<QWidget *>();
    for (QWidget *child : children) {
        if (twTakesTab(child, content))
            placed.append({child, QRect(child->mapTo(content, QPoint(0, 0)), child->size())});
    }
    std::stable_sort(placed.begin(), placed.end(), [](const Placed &a, const Placed &b) {
        return a.frame.center().y() < b.frame.center().y();
    });
    // A check box is shorter than the field beside it: a line is what lies
    // within the first control's height.
    for (qsizetype first = 0; first < placed.size();) {
        const QRect line = placed.at(first).frame;
        qsizetype end = first + 1;
        while (end < placed.size() && placed.at(end).frame.center().y() <= line.bottom())
            ++end;
        std::stable_sort(
            placed.begin() + first, placed.begin() + end,
            [](const Placed &a, const Placed &b) { return a.frame.x() < b.frame.x(); });
        for (qsizetype i = first; i < end; ++i)
            loop.append(placed.at(i).control);
        first = end;
    }
    return loop;
}

TWKeyLoopView::TWKeyLoopView(std::function<QList<QWidget *>()> loop, QWidget *parent)
    : QWidget(parent), m_loop(std::move(loop))
{
}

bool TWKeyLoopView::focusNextPrevChild(bool next)
{
    const QList<QWidget *> loop = m_loop();
    const QWidget *focus = window()->focusWidget();
    const auto at = std::find_if(loop.cbegin(), loop.cend(), [focus](const QWidget *control) {
        return focus && (control == focus || control->isAncestorOf(focus));
    });
    if (at == loop.cend())
        return QWidget::focusNextPrevChild(next);
    const qsizetype count = loop.size();
    QWidget *target = loop.at((at - loop.cbegin() + (next ? 1 : count - 1)) % count);
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    for (QWidget *parent = target->parentWidget(); parent; parent = parent->parentWidget()) {
        if (auto *scroll = qobject_cast<QScrollArea *>(parent)) {
            scroll->ensureWidgetVisible(target);
            break;
        }
    }
    return true;
}
