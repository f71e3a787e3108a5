#pragma once
// The repeat settings: a check box that switches a schedule on or off, how
// many days, weeks, months or years apart its records fall, and whether it
// ends on a date. It edits the schedule its owner hands in (normally a copy
// of the stored one) and tells the owner after every change; the owner reads
// `repeat()` back when it saves.

#include "model/TWRepeat.h"

#include <QObject>
#include <QPointer>

class QCheckBox;
class QDateEdit;
class QSpinBox;
class QWidget;
class TWPopUpButton;

class TWRepeatController : public QObject
{
    Q_OBJECT
public:
    // The count a schedule may take.
    static constexpr int kMinimumInterval = 1;
    static constexpr int kMaximumInterval = 999;

    explicit TWRepeatController(QObject *parent = nullptr);
    ~TWRepeatController() override;

    // Embedded by the owner anywhere; deleted with the controller.
    QWidget *view() const;

    // The schedule being edited; null: nothing repeats.
    const TWRepeatPtr &repeat() const { return m_repeat; }
    void setRepeat(const TWRepeatPtr &repeat) { m_repeat = repeat; }
    // The kind (TWRepeatType) a schedule switched on here gets.
    std::uint32_t type() const { return m_type; }
    void setType(std::uint32_t type) { m_type = type; }
    // The controls may be used (false for read-only owners).
    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }

    // Shows `repeat` and enables the controls.
    void update();

    // The user's actions, callable directly.
    void doRepeats(bool on);
    void doInterval(int count);
    void doIntervalUnit(int tag);
    void doEnds(int tag);
    void doEndDate(const QDate &date);

    QCheckBox *repeatsCheckbox() const { return m_repeatsCheckbox; }
    QSpinBox *intervalSpinBox() const { return m_intervalSpinBox; }
    // Items tagged 0 day, 1 week, 2 month, 3 year.
    TWPopUpButton *intervalUnitPopUpButton() const { return m_intervalUnitPopUpButton; }
    // Items tagged 0 never ends, 1 ends on a date.
    TWPopUpButton *endDatePopUpButton() const { return m_endDatePopUpButton; }
    QDateEdit *endDateDatePicker() const { return m_endDateDatePicker; }

signals:
    // After every change the user made.
    void updated(TWRepeatController *controller);

private:
    void buildView();
    void updateEnabling();
    void showInterval();

    QPointer<QWidget> m_view;
    QCheckBox *m_repeatsCheckbox = nullptr;
    QSpinBox *m_intervalSpinBox = nullptr;
    TWPopUpButton *m_intervalUnitPopUpButton = nullptr;
    TWPopUpButton *m_endDatePopUpButton = nullptr;
    QDateEdit *m_endDateDatePicker = nullptr;

    TWRepeatPtr m_repeat;
    std::uint32_t m_type = 0;
    bool m_enabled = true;
    bool m_filling = false;
};
