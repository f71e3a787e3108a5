#pragma once
// The time item editor sheet: the start and end moments and the notes of a
// working copy of one time item. An end before the start is refused.

#include "work/TWWorkSheet.h"

#include "model/TWTaskItem.h"

class QDateTimeEdit;
class QLineEdit;
class QToolButton;

class TWTaskItemController final : public TWWorkSheet
{
    Q_OBJECT
public:
    using TWWorkSheet::TWWorkSheet;

    const TWTaskItemPtr &taskItem() const { return m_taskItem; }
    void setTaskItem(const TWTaskItemPtr &taskItem) { m_taskItem = taskItem; }
    const TWTaskItemPtr &editTaskItem() const { return m_editTaskItem; }
    void update() override;

    QDateTimeEdit *startPicker() const { return m_start; }
    QDateTimeEdit *endPicker() const { return m_end; }
    QToolButton *startButton() const { return m_startButton; }
    QLineEdit *notesField() const { return m_notes; }

protected:
    void buildForm() override;
    void updateUI() override;
    bool commitFields() override;
    void confirmSave(std::function<void()> proceed) override;
    TWErrorResult store() override;
    void dateSelected(int tag, const QDateTime &date) override;

private:
    TWTaskItemPtr m_taskItem;
    TWTaskItemPtr m_editTaskItem;
    QDateTimeEdit *m_start = nullptr;
    QDateTimeEdit *m_end = nullptr;
    QToolButton *m_startButton = nullptr;
    QToolButton *m_endButton = nullptr;
    QLineEdit *m_notes = nullptr;
};
