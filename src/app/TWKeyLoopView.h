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

// How Tab leaves the last control of a view's chain.
enum class TWKeyLoop {
    // The chain is not closed: Tab past its last control (and Backtab before
    // its first) is the window's, as the window's own order goes on.
    Chain,
    // The window's own loop over the view: Tab past the last control comes
    // round to the first.
    Window,
};

// A view whose Tab and Backtab from any control in `chain` go to the next or
// previous one; at either end `kind` says where; from anywhere else Qt's
// order holds. The chain is asked for when Tab is pressed, so it is always
// the form shown.
class TWKeyLoopView final : public QWidget
{
public:
    TWKeyLoopView(std::function<QList<QWidget *>()> chain, TWKeyLoop kind,
                  QWidget *parent = nullptr);

protected:
    bool focusNextPrevChild(bool next) override;

private:
    // The first control outside `chain` that the window's order reaches
    // from `from` going forward (or back); none when there is none.
    QWidget *beyondChain(const QList<QWidget *> &chain, QWidget *from, bool next) const;

    std::function<QList<QWidget *>()> m_chain;
    TWKeyLoop m_kind;
};
