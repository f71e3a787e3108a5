#include "work/TWDocumentTaskTimer.h"

#include "app/TWAlert.h"
#include "app/TWApplicationDelegate.h"
#include "app/TWBusinessController.h"
#include "app/TWMenuValidation.h"

#include "foundation/TWLocalized.h"
#include "model/TWClient.h"
#include "store/TWBusiness.h"

#include <QAction>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QToolBar>

namespace
{

constexpr int kToolbarTimerTag = 7;
const char *const kTagProperty = "twMenuletTag";

} // namespace

TWDocumentTaskTimer::TWDocumentTaskTimer(TWBusinessController *document)
    : TWTaskTimer(document), m_document(document), m_core(new TWTaskTimerCore(this, this))
{
}

void TWDocumentTaskTimer::startTaskTimer(const std::shared_ptr<TWTask> &task)
{
    m_core->startTaskTimer(task);
}

void TWDocumentTaskTimer::setMenuletTaskIdentifier(qint32 identifier)
{
    m_core->setMenuletTaskIdentifier(identifier);
    timerRebuildMenulet();
}

void TWDocumentTaskTimer::taskTimerUpdateNotification(const TWNotification &notification)
{
    m_core->taskTimerUpdateNotification(notification);
}

void TWDocumentTaskTimer::reset()
{
    m_core->reset();
    timerUpdateUI();
}

TWBusiness *TWDocumentTaskTimer::timerBusiness() const
{
    return m_document ? m_document->business() : nullptr;
}

void TWDocumentTaskTimer::timerDocumentChanged()
{
    if (m_document)
        m_document->updateChangeCount(0);
}

void TWDocumentTaskTimer::timerPresentError(const TWError &error)
{
    if (m_document)
        m_document->presentError(error);
}

void TWDocumentTaskTimer::timerAskIdle(const QString &message, const QStringList &buttons,
                                       std::function<void(int)> answer)
{
    TWAlert alert;
    alert.message = message;
    alert.buttons = buttons;
    alert.window = m_document ? m_document->windowForSheet() : nullptr;
    twRunAlert(alert, std::move(answer));
}

bool TWDocumentTaskTimer::timerShowsClient(qint32 clientIdentifier) const
{
    if (!m_document)
        return false;
    const auto client = std::dynamic_pointer_cast<TWClient>(m_document->selectedItem());
    return client && client->identifier() == clientIdentifier;
}

QAction *TWDocumentTaskTimer::toolbarItem() const
{
    QMainWindow *window = m_document ? m_document->windowForSheet() : nullptr;
    if (!window)
        return nullptr;
    for (QToolBar *toolbar : window->findChildren<QToolBar *>())
        for (QAction *action : toolbar->actions())
            if (action->property("tag").toInt() == kToolbarTimerTag)
                return action;
    return nullptr;
}

void TWDocumentTaskTimer::timerUpdateUI()
{
    if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
        delegate->updateMenuletIcon();
    if (QAction *item = toolbarItem()) {
        const bool running = m_core->isTaskTimerRunning();
        item->setIcon(QIcon(running ? QStringLiteral(":/icons/StopTimer.png")
                                    : QStringLiteral(":/icons/StartTimer.png")));
        item->setText(TWLocalized(running ? "stopTimer" : "startTimer"));
    }
}

void TWDocumentTaskTimer::timerRebuildMenulet()
{
    if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
        delegate->rebuildMenulet();
}

void TWDocumentTaskTimer::pour(QMenu *menu, const QList<TWMenuletItem> &items)
{
    for (const TWMenuletItem &item : items) {
        QAction *action = nullptr;
        if (item.separator) {
            action = menu->addSeparator();
        } else if (item.hasSubmenu) {
            QMenu *submenu = menu->addMenu(item.title);
            pour(submenu, item.submenu);
            action = submenu->menuAction();
        } else {
            action = menu->addAction(item.title);
        }
        action->setProperty(kTagProperty, item.tag);
        action->setVisible(!item.hidden);
        action->setEnabled(item.enabled);
        QPointer<TWBusinessController> document = m_document;
        if (item.action == TWMenuletItem::StartStop) {
            connect(action, &QAction::triggered, this, [document] {
                if (document)
                    document->perform(TWAction::doMenuletStartStopTaskTimer);
            });
        } else if (item.action == TWMenuletItem::SelectTask) {
            action->setProperty("twRepresentedObject", QVariant::fromValue(item.task));
            connect(action, &QAction::triggered, this, [document, action] {
                if (document)
                    document->perform(TWAction::doMenuletTaskSelect, 0, action);
            });
        }
    }
}

void TWDocumentTaskTimer::rebuildTimerMenulet(QMenu *menu)
{
    if (!menu)
        return;
    menu->clear();
    pour(menu, m_core->menuletItems());
}

void TWDocumentTaskTimer::updateTimerMenulet(QMenu *menu)
{
    if (!menu)
        return;
    const QList<TWMenuletItem> head = m_core->menuletItems().mid(0, 4);
    for (QAction *action : menu->actions()) {
        const int tag = action->property(kTagProperty).toInt();
        for (const TWMenuletItem &item : head)
            if (item.tag == tag && tag != 0) {
                if (!item.separator)
                    action->setText(item.title);
                action->setVisible(!item.hidden);
            }
    }
}
