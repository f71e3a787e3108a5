#pragma once
// A document's task timer as the shell holds it: the timer logic
// (TWTaskTimerCore) on the document's store, its idle question as a window
// sheet, the start-stop toolbar item, the status icon, and the menu-bar menu
// poured from the core's data.

#include "app/TWAppRegistry.h"
#include "app/TWBusinessController.h"
#include "work/TWTaskTimerCore.h"

#include <QPointer>

class QAction;
class QMenu;
class TWBusinessController;

class TWDocumentTaskTimer final : public TWTaskTimer, public TWTaskTimerHost
{
    Q_OBJECT
public:
    explicit TWDocumentTaskTimer(TWBusinessController *document);

    TWTaskTimerCore *core() const { return m_core; }

    // ---- TWTaskTimer ----
    bool isTaskTimerRunning() const override { return m_core->isTaskTimerRunning(); }
    qint32 timedTaskIdentifier() const override { return m_core->timedTaskIdentifier(); }
    qint32 timedTaskItemIdentifier() const override { return m_core->timedTaskItemIdentifier(); }
    void stopTaskTimer(const QDateTime &endDate) override { m_core->stopTaskTimer(endDate); }
    bool isAskingIdle() const override
    {
        return m_core->isTaskTimerRunning() && m_core->showingIdleAlert();
    }
    void startTaskTimer(const std::shared_ptr<TWTask> &task) override;
    qint32 menuletTaskIdentifier() const override { return m_core->menuletTaskIdentifier(); }
    void setMenuletTaskIdentifier(qint32 identifier) override;
    void taskTimerUpdateNotification(const TWNotification &notification) override;
    void didWake() override { m_core->didWake(); }
    void reset() override;
    void rebuildTimerMenulet(QMenu *menu) override;
    void updateTimerMenulet(QMenu *menu) override;

    // ---- TWTaskTimerHost ----
    TWBusiness *timerBusiness() const override;
    void timerDocumentChanged() override;
    void timerPresentError(const TWError &error) override;
    void timerAskIdle(const QString &message, const QStringList &buttons,
                      std::function<void(int)> answer) override;
    bool timerShowsClient(qint32 clientIdentifier) const override;
    void timerUpdateUI() override;
    void timerRebuildMenulet() override;

    // The toolbar item with tag 7 of the document window, if any.
    QAction *toolbarItem() const;

private:
    void pour(QMenu *menu, const QList<TWMenuletItem> &items);

    QPointer<TWBusinessController> m_document;
    TWTaskTimerCore *m_core;
};
