#include "work/TWTaskItemController.h"

#include "app/TWTypedNumberField.h"

#include "foundation/TWClock.h"
#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"
#include "store/TWBusiness.h"

#include <QDateTimeEdit>
#include <QLineEdit>
#include <QToolButton>

void TWTaskItemController::buildForm()
{
    m_view->setWindowTitle(TWLocalized("taskItemSheetTitle"));
    addRow("taskItemStart", makeDateField(0, true, &m_start, &m_startButton));
    addRow("taskItemEnd", makeDateField(1, true, &m_end, &m_endButton));
    m_notes = makeLineEdit(false);
    addRow("notes", m_notes);
    connect(m_start, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime &moment) {
        if (m_editTaskItem)
            m_editTaskItem->setStartDateTime(moment);
    });
    connect(m_end, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime &moment) {
        if (m_editTaskItem)
            m_editTaskItem->setEndDateTime(moment);
    });
}

void TWTaskItemController::update()
{
    view();
    m_saved = false;
    m_editTaskItem = m_taskItem ? m_taskItem->copy() : nullptr;
    updateUI();
}

void TWTaskItemController::updateUI()
{
    if (!m_editTaskItem)
        return;
    const QDateTime now = TWClock::now();
    QSignalBlocker blockStart(m_start);
    QSignalBlocker blockEnd(m_end);
    m_start->setDateTime(m_editTaskItem->startDateTime().isValid() ? m_editTaskItem->startDateTime()
                                                                   : now);
    m_end->setDateTime(m_editTaskItem->endDateTime().isValid() ? m_editTaskItem->endDateTime()
                                                               : now);
    m_notes->setText(m_editTaskItem->notes());
    for (QToolButton *button : {m_startButton, m_endButton}) {
        QSignalBlocker block(button);
        button->setChecked(false);
    }
}

bool TWTaskItemController::commitFields()
{
    if (!m_editTaskItem)
        return false;
    m_editTaskItem->setNotes(m_notes->text());
    return true;
}

namespace
{

// The moment as the field shows it: without the seconds it does not show.
QDateTime shownMoment(const QDateTime &moment, const QDateTimeEdit *field)
{
    if (!moment.isValid() || (field->displayedSections() & QDateTimeEdit::SecondSection))
        return moment;
    QDateTime shown = moment;
    shown.setTime(QTime(moment.time().hour(), moment.time().minute()));
    return shown.isValid() ? shown : moment;
}

} // namespace

void TWTaskItemController::confirmSave(std::function<void()> proceed)
{
    // An item that ends before it starts would count as no time at all
    // while showing both moments: Save refuses it, naming both fields (the
    // calendar stays free to mend either). The two are compared as the
    // sheet shows them: an end typed as the minute the start shows is no
    // earlier, whatever seconds the start keeps.
    if (!m_editTaskItem) {
        proceed();
        return;
    }
    const QDateTime start = m_editTaskItem->startDateTime();
    const QDateTime end = m_editTaskItem->endDateTime();
    if (start.isValid() && end.isValid() && TWDateAdditions::wallClockSecsTo(start, end) < 0) {
        if (TWDateAdditions::wallClockSecsTo(shownMoment(start, m_start), shownMoment(end, m_end)) <
            0) {
            twExplainFieldRefusal(m_end,
                                  TWLocalized("taskItemEndBeforeStart").arg(twFieldName(m_start)));
            return;
        }
        // The same minute: an item of no time, ending as it starts.
        m_editTaskItem->setEndDateTime(start);
    }
    proceed();
}

TWErrorResult TWTaskItemController::store()
{
    if (!m_business || !m_editTaskItem)
        return std::nullopt;
    return m_mode == TWEditorMode::New ? m_business->addTaskItem(m_editTaskItem, true)
                                       : m_business->updateTaskItem(m_editTaskItem, true);
}

void TWTaskItemController::dateSelected(int tag, const QDateTime &date)
{
    if (!m_editTaskItem)
        return;
    // The chosen day replaces the whole moment.
    QDateTimeEdit *picker = tag == 0 ? m_start : m_end;
    if (tag == 0)
        m_editTaskItem->setStartDateTime(date);
    else
        m_editTaskItem->setEndDateTime(date);
    QSignalBlocker block(picker);
    picker->setDateTime(date);
}
