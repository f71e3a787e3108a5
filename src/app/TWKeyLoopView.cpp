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

TWKeyLoopView::TWKeyLoopView(std::function<QList<QWidget *>()> chain, TWKeyLoop kind,
                             QWidget *parent)
    : QWidget(parent), m_chain(std::move(chain)), m_kind(kind)
{
}

QWidget *TWKeyLoopView::beyondChain(const QList<QWidget *> &chain, QWidget *from, bool next) const
{
    const auto inChain = [&chain](const QWidget *widget) {
        return std::any_of(chain.cbegin(), chain.cend(), [widget](const QWidget *control) {
            return control == widget || control->isAncestorOf(widget);
        });
    };
    const auto step = [next](QWidget *widget) {
        return next ? widget->nextInFocusChain() : widget->previousInFocusChain();
    };
    for (QWidget *widget = step(from); widget && widget != from; widget = step(widget)) {
        if (twTakesTab(widget, window()) && !inChain(widget))
            return widget;
    }
    return nullptr;
}

bool TWKeyLoopView::focusNextPrevChild(bool next)
{
    const QList<QWidget *> chain = m_chain();
    const QWidget *focus = window()->focusWidget();
    const auto at = std::find_if(chain.cbegin(), chain.cend(), [focus](const QWidget *control) {
        return focus && (control == focus || control->isAncestorOf(focus));
    });
    if (at == chain.cend())
        return QWidget::focusNextPrevChild(next);
    const qsizetype count = chain.size();
    const qsizetype index = at - chain.cbegin();
    const bool atEnd = next ? index == count - 1 : index == 0;
    QWidget *target = chain.at((index + (next ? 1 : count - 1)) % count);
    if (atEnd && m_kind == TWKeyLoop::Chain) {
        // The window's order from here on, past the chain's own controls
        // (which the window may hold in another order); a window that holds
        // nothing else keeps its own way.
        target = beyondChain(chain, chain.at(index), next);
        if (!target)
            return QWidget::focusNextPrevChild(next);
    }
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    for (QWidget *parent = target->parentWidget(); parent; parent = parent->parentWidget()) {
        if (auto *scroll = qobject_cast<QScrollArea *>(parent)) {
            scroll->ensureWidgetVisible(target);
            break;
        }
    }
    return true;
}
