#pragma once
// The date popover of the editors' date buttons: a calendar, with hours and
// minutes when asked, in a popover under the button. The delegate hears the
// date on every close, however the popover closed.

#include "app/TWLazyViewController.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>

class QAbstractButton;
class QCalendarWidget;
class QTimeEdit;
class QWidget;
class TWCalendarController;
class TWPopover;

class TWCalendarControllerDelegate
{
public:
    virtual ~TWCalendarControllerDelegate() = default;
    virtual void calendarDidSelectDate(const QDateTime &date, TWCalendarController *controller) = 0;
};

class TWCalendarController final : public TWLazyViewController<QObject>
{
    Q_OBJECT
public:
    explicit TWCalendarController(QObject *parent = nullptr);
    ~TWCalendarController() override;

    QAbstractButton *button() const { return m_button; }
    TWPopover *popover() const { return m_popover; }
    const QDateTime &date() const { return m_date; }
    void setDate(const QDateTime &date) { m_date = date; }
    bool showTime() const { return m_showTime; }
    void setShowTime(bool showTime) { m_showTime = showTime; }
    // Free for the owner: the tag of the date button being served.
    qint64 tag() const { return m_tag; }
    void setTag(qint64 tag) { m_tag = tag; }
    TWCalendarControllerDelegate *delegate() const { return m_delegate; }
    void setDelegate(TWCalendarControllerDelegate *delegate) { m_delegate = delegate; }
    QCalendarWidget *datePicker() const { return m_calendar; }
    QTimeEdit *timePicker() const { return m_time; }

    // Opens under the button and disables it until the popover closes;
    // nothing happens while it is already open.
    void showPopOver(QAbstractButton *button);
    // Loads the pickers from `date` (with the time only under `showTime`).
    void update();
    // The pickers' choice becomes `date` and the popover closes.
    void doDate();
    void popoverDidClose();

private:
    void build() override;

    QPointer<QAbstractButton> m_button;
    QPointer<TWPopover> m_popover;
    QCalendarWidget *m_calendar = nullptr;
    QTimeEdit *m_time = nullptr;
    QDateTime m_date;
    bool m_showTime = false;
    qint64 m_tag = 0;
    TWCalendarControllerDelegate *m_delegate = nullptr;
};
