#pragma once
// The task editor sheet: date, completed, name (completed from the remembered
// task names), type, estimate, quantity (only for a project's tasks that are
// not timed: a timed task's quantity is its time items), rate, tax rate and
// notes of a working copy of the task.

#include "work/TWWorkSheet.h"

#include "model/TWProject.h"
#include "model/TWTask.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QToolButton;
class TWNumberFormatter;

class TWTaskController final : public TWWorkSheet
{
    Q_OBJECT
public:
    using TWWorkSheet::TWWorkSheet;

    const TWTaskPtr &task() const { return m_task; }
    void setTask(const TWTaskPtr &task) { m_task = task; }
    const TWTaskPtr &editTask() const { return m_editTask; }
    // Makes the working copy and fills the controls.
    void update() override;

    // The type pop-up chose another type (by tag).
    void doPopUpButton(int taskType);
    void showQuantityField(bool show);
    bool quantityFieldShown() const;

    QLineEdit *nameField() const { return m_name; }
    QComboBox *typePopUp() const { return m_type; }
    QLineEdit *estimateField() const { return m_estimate; }
    QLineEdit *quantityField() const { return m_quantity; }
    QLineEdit *rateField() const { return m_rate; }
    QLineEdit *taxRateField() const { return m_taxRate; }
    QLineEdit *notesField() const { return m_notes; }
    QCheckBox *completedBox() const { return m_completed; }
    QDateTimeEdit *datePicker() const { return m_date; }
    QToolButton *dateButton() const { return m_dateButton; }

protected:
    void buildForm() override;
    void updateUI() override;
    bool commitFields() override;
    TWErrorResult store() override;
    void confirmSave(std::function<void()> proceed) override;
    void dateSelected(int tag, const QDateTime &date) override;

private:
    TWProjectPtr project() const;
    const TWUnit *unit() const;
    void fillEstimateAndQuantity();
    bool estimateIsTime() const;

    TWTaskPtr m_task;
    TWTaskPtr m_editTask;
    QDateTimeEdit *m_date = nullptr;
    QToolButton *m_dateButton = nullptr;
    QCheckBox *m_completed = nullptr;
    QLineEdit *m_name = nullptr;
    QComboBox *m_type = nullptr;
    QLineEdit *m_estimate = nullptr;
    TWNumberFormatter *m_estimateValidator = nullptr;
    // The estimate as last shown: a time shown rounded ("1:30" for 1:30:15,
    // "1.33" hours for 1:20) keeps its exact value until the text is edited.
    QString m_shownEstimate;
    QLabel *m_quantityLabel = nullptr;
    QLineEdit *m_quantity = nullptr;
    QLineEdit *m_rate = nullptr;
    QLineEdit *m_taxRate = nullptr;
    QLineEdit *m_notes = nullptr;
    // The quantity and tax rate as shown: a value shown shorter than it is
    // stored keeps its exact value until its text is edited, so a save that
    // changes neither leaves what the task bills as it was.
    QString m_shownQuantity;
    QString m_shownTaxRate;
};
