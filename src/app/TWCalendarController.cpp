#include "app/TWCalendarController.h"

#include "app/TWDateEdit.h"
#include "app/TWPopover.h"

#include <QAbstractButton>
#include <QCalendarWidget>
#include <QTimeEdit>
#include <QTimeZone>
#include <QVBoxLayout>

TWCalendarController::TWCalendarController(QObject *parent) : TWLazyViewController<QObject>(parent)
{
}

TWCalendarController::~TWCalendarController()
{
    delete m_popover;
    delete m_view;
}

void TWCalendarController::build()
{
    m_view = new QWidget();
    m_calendar = new QCalendarWidget(m_view);
    m_calendar->setObjectName(QStringLiteral("datePicker"));
    m_calendar->setGridVisible(false);
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_time = new TWTimeEdit(m_view);
    m_time->setObjectName(QStringLiteral("timePicker"));
    auto *layout = new QVBoxLayout(m_view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_calendar);
    layout->addWidget(m_time, 0, Qt::AlignHCenter);
    // A day chosen ends the popover; the time is taken with it.
    connect(m_calendar, &QCalendarWidget::clicked, this, [this] { doDate(); });
    connect(m_calendar, &QCalendarWidget::activated, this, [this] { doDate(); });
}

void TWCalendarController::update()
{
    if (!m_view)
        return;
    const QDateTime date = m_date.isValid() ? m_date : QDateTime::currentDateTime();
    m_calendar->setSelectedDate(date.date());
    m_time->setTime(QTime(date.time().hour(), date.time().minute()));
    m_time->setVisible(m_showTime);
    m_view->adjustSize();
    m_calendar->setFocus();
}

void TWCalendarController::showPopOver(QAbstractButton *button)
{
    if (m_popover && m_popover->isShown())
        return;
    view();
    update();
    m_button = button;
    if (!m_popover) {
        m_popover = new TWPopover(button ? button->window() : nullptr);
        connect(m_popover, &TWPopover::closed, this, [this] { popoverDidClose(); });
    } else {
        m_popover->setContentWidget(nullptr);
        if (button && m_popover->parentWidget() != button->window())
            m_popover->setParent(button->window(), m_popover->windowFlags());
    }
    m_popover->setContentWidget(m_view);
    if (button)
        m_popover->showRelativeToRect(button->rect(), button, TWPopover::MaxYEdge);
    else
        m_popover->showRelativeToRect(QRect(), nullptr, TWPopover::MaxYEdge);
    if (button)
        button->setEnabled(false);
}

void TWCalendarController::doDate()
{
    if (!m_view)
        return;
    // The day is built as typing builds it: the calendar day chosen with the
    // time the field had (or the time chosen), never a moment converted.
    const QDate day = m_calendar->selectedDate();
    QDateTime chosen = m_date.isValid() ? m_date : day.startOfDay();
    chosen.setDate(day);
    if (m_showTime)
        chosen.setTime(QTime(m_time->time().hour(), m_time->time().minute()));
    // Where the clock skips that time on that day (midnight, in some zones):
    // the day's first moment.
    if (!chosen.isValid()) {
        const Qt::TimeSpec spec = m_date.isValid() ? m_date.timeSpec() : Qt::LocalTime;
        chosen = spec == Qt::TimeZone        ? day.startOfDay(m_date.timeZone())
                 : spec == Qt::OffsetFromUTC ? day.startOfDay(spec, m_date.offsetFromUtc())
                                             : day.startOfDay(spec);
    }
    m_date = chosen;
    if (m_popover)
        m_popover->performClose();
}

void TWCalendarController::popoverDidClose()
{
    if (m_button) {
        m_button->setEnabled(true);
        m_button->setChecked(false);
    }
    if (m_delegate)
        m_delegate->calendarDidSelectDate(m_date, this);
}
