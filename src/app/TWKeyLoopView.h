#pragma once
// Tab in a form's reading order. A form whose rows are rebuilt, or whose
// controls were made in another order than they are laid out, cannot trust
// Qt's focus chain: the view below walks the controls as they are shown.

#include <QList>
#include <QWidget>

#include <functional>

// Whether Tab stops at `control` in `within`: shown there, enabled, taking
// Tab focus. A control that hands its focus on (a part of a compound control
// such as a date field) is no stop of its own; the one it hands it to is.
bool twTakesTab(const QWidget *control, const QWidget *within);

// The controls inside `content` that Tab stops at, in reading order: top to
// bottom, and controls whose middles lie within the first one's height make
// a line, read left to right.
QList<QWidget *> twReadingOrder(const QWidget *content);

// A view whose Tab and Backtab from any control in `loop` go to the next or
// previous one, round to the start; from anywhere else Qt's chain holds. The
// loop is asked for when Tab is pressed, so it is always the form shown.
class TWKeyLoopView final : public QWidget
{
public:
    explicit TWKeyLoopView(std::function<QList<QWidget *>()> loop, QWidget *parent = nullptr);

protected:
    bool focusNextPrevChild(bool next) override;

private:
    std::function<QList<QWidget *>()> m_loop;
};
