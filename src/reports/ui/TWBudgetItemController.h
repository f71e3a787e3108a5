#pragma once
// The budget line sheet: amount, unit, start date, an optional repeating
// cycle and rollover for one account or group. It edits a copy, so a cancel
// leaves the line untouched; a save adds (mode New) or updates (mode Existing) the
// line and ends with Confirmed, a cancel with Cancelled.

#include "app/TWAppRegistry.h"
#include "app/TWCalendarController.h"
#include "app/TWLazyViewController.h"
#include "app/TWPopover.h"

#include "model/TWBudgetItem.h"
#include "model/TWItem.h"

#include <QAbstractButton>
#include <QPointer>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TWPopUpButton;

class TWBudgetItemController final : public TWLazyViewController<TWEditorController>,
                                     public TWCalendarControllerDelegate
{
    Q_OBJECT
public:
    explicit TWBudgetItemController(QObject *parent = nullptr);
    ~TWBudgetItemController() override;

    // The longest cycle a line may have, in cycle units.
    static constexpr int kMaximumCycle = 999;

    void setItem(const TWItemPtr &item) { m_item = item; }
    const TWItemPtr &item() const { return m_item; }
    // The line handed in; the sheet never changes it.
    void setBudgetItem(const TWBudgetItemPtr &budgetItem) { m_budgetItem = budgetItem; }
    const TWBudgetItemPtr &budgetItem() const { return m_budgetItem; }
    // The working copy the controls edit and that is stored.
    const TWBudgetItemPtr &editBudgetItem() const { return m_editBudgetItem; }
    bool saved() const { return m_saved; }

    // A fresh copy of the line in the controls.
    void update() override;
    void updateUI();
    // Tag 1 saves, any other cancels.
    void doSave(int tag);
    void calendarDidSelectDate(const QDateTime &date, TWCalendarController *controller) override;

    QLabel *nameTextField() const { return m_name; }
    QLineEdit *budgetTextField() const { return m_budget; }
    TWPopUpButton *unitPopUpButton() const { return m_unitPopUp; }
    QDateEdit *startDatePicker() const { return m_startDate; }
    QToolButton *startDateButton() const { return m_startDateButton; }
    QCheckBox *cyclesCheckbox() const { return m_cycles; }
    QLineEdit *cycleTextField() const { return m_cycle; }
    TWPopUpButton *cycleUnitPopUpButton() const { return m_cycleUnitPopUp; }
    QCheckBox *rolloverCheckbox() const { return m_rollover; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *cancelButton() const { return m_cancel; }
    TWCalendarController *calendarController() const { return m_calendar; }

private:
    void build() override;
    void fillUnitPopUp();
    // The copy's cycle state in the cycle controls, and their enabling.
    void updateCycleControls();
    // Takes the amount and cycle fields into the copy; false when the amount
    // field holds text that is not an amount as the locale writes it.
    bool commitBudgetField();
    void commitCycleField();
    void doCyclesCheckbox(bool on);
    void doCycleUnitPopUp();
    void doUnitPopUp();
    void doDatePicker();
    void doStartDateButton(bool on);
    void showAlert(const QString &key);
    void end(TWSheetResult result);

    QLabel *m_name = nullptr;
    QLineEdit *m_budget = nullptr;
    TWPopUpButton *m_unitPopUp = nullptr;
    QDateEdit *m_startDate = nullptr;
    QToolButton *m_startDateButton = nullptr;
    QCheckBox *m_cycles = nullptr;
    QLineEdit *m_cycle = nullptr;
    TWPopUpButton *m_cycleUnitPopUp = nullptr;
    QCheckBox *m_rollover = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_cancel = nullptr;
    TWCalendarController *m_calendar = nullptr;
    // The units of the unit pop-up, by item data.
    TWUnitList m_units;

    TWItemPtr m_item;
    TWBudgetItemPtr m_budgetItem;
    TWBudgetItemPtr m_editBudgetItem;
    bool m_saved = false;
};
