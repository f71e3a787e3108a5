#pragma once
// The project (or estimate) editor sheet of a client: date, completed, name
// (completed from the remembered project names), its type as text, optional
// start and end dates, rate in the chosen currency, unit, tax rate and notes
// of a working copy. It always stores.

#include "work/TWWorkSheet.h"

#include "model/TWProject.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QToolButton;

class TWProjectController final : public TWWorkSheet
{
    Q_OBJECT
public:
    using TWWorkSheet::TWWorkSheet;

    const TWProjectPtr &project() const { return m_project; }
    void setProject(const TWProjectPtr &project) { m_project = project; }
    const TWProjectPtr &editProject() const { return m_editProject; }
    void update() override;

    QDateTimeEdit *datePicker() const { return m_date; }
    QCheckBox *completedBox() const { return m_completed; }
    QLineEdit *nameField() const { return m_name; }
    QLabel *typeLabel() const { return m_type; }
    QCheckBox *startDateBox() const { return m_startBox; }
    QDateTimeEdit *startDatePicker() const { return m_start; }
    QCheckBox *endDateBox() const { return m_endBox; }
    QDateTimeEdit *endDatePicker() const { return m_end; }
    QLineEdit *rateField() const { return m_rate; }
    QComboBox *unitPopUp() const { return m_unit; }
    QLineEdit *taxRateField() const { return m_taxRate; }
    QLineEdit *notesField() const { return m_notes; }

protected:
    void buildForm() override;
    void updateUI() override;
    bool commitFields() override;
    TWErrorResult store() override;
    void dateSelected(int tag, const QDateTime &date) override;

private:
    void unitChosen(int index);
    void setDateEnabled(int tag, bool on);

    TWProjectPtr m_project;
    TWProjectPtr m_editProject;
    QDateTimeEdit *m_date = nullptr;
    QToolButton *m_dateButton = nullptr;
    QCheckBox *m_completed = nullptr;
    QLineEdit *m_name = nullptr;
    QLabel *m_type = nullptr;
    QCheckBox *m_startBox = nullptr;
    QDateTimeEdit *m_start = nullptr;
    QToolButton *m_startButton = nullptr;
    QCheckBox *m_endBox = nullptr;
    QDateTimeEdit *m_end = nullptr;
    QToolButton *m_endButton = nullptr;
    QLineEdit *m_rate = nullptr;
    QComboBox *m_unit = nullptr;
    QLineEdit *m_taxRate = nullptr;
    QLineEdit *m_notes = nullptr;
};
