#pragma once
// A small transient panel beside a control or a row: a frame with the popup
// flag, so that a click outside it closes it. It says when it has closed,
// however that happened, so its owner can take the result.

#include <QFrame>
#include <QPointer>

class TWPopover final : public QFrame
{
    Q_OBJECT
public:
    // Edges of the anchor rectangle the panel opens against.
    enum Edge { MinXEdge, MaxYEdge };

    explicit TWPopover(QWidget *parent = nullptr);
    ~TWPopover() override;

    // The content is shown at its own size; the popover does not own an
    // earlier content after it is replaced (it is taken out, not deleted).
    void setContentWidget(QWidget *content);
    QWidget *contentWidget() const { return m_content; }
    // Opens next to `rect`, given in `anchor`'s coordinates.
    void showRelativeToRect(const QRect &rect, QWidget *anchor, Edge edge);
    bool isShown() const { return isVisible(); }
    // Closes it (the closed signal follows).
    void performClose();
    // A window opened from inside the panel (a file chooser, a picker) would
    // close it as a click outside does, and what the user then chose would
    // reach a closed editor. While that window shows, the panel is hidden
    // without closing; `resume` shows it again where it was.
    void suspend();
    void resume();
    bool isSuspended() const { return m_suspended; }

signals:
    void closed();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    QPointer<QWidget> m_content;
    bool m_open = false;
    bool m_suspended = false;
};
