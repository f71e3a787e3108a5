#pragma once
// The window of every sheet: a window-modal dialog that tells the editors in
// it ("keyViewChanged") when Tab has moved the focus, and reports a close by
// the user (Escape, the title bar) as a cancel.

#include <QDialog>

#include <functional>

inline const QString TWKeyViewChangedNotification = QStringLiteral("keyViewChanged");

class TWWindow final : public QDialog
{
    Q_OBJECT
public:
    explicit TWWindow(QWidget *parent);

    // Called instead of closing when the user dismisses the window.
    void setCancelHandler(std::function<void()> handler) { m_cancel = std::move(handler); }

    void reject() override;

protected:
    bool focusNextPrevChild(bool next) override;

private:
    std::function<void()> m_cancel;
};
