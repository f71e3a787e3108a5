#pragma once
// The unit sheet: creates a custom unit or changes any unit of the business
// (name, description, code, symbol, decimal places, rate against the home
// unit, favourite). It edits a copy, checks it and writes it through the
// store; the sheet ends with Confirmed after a save and Cancelled after a cancel.

#include "app/TWAppRegistry.h"
#include "app/TWLazyViewController.h"

#include "model/TWUnit.h"

#include <QPointer>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

class TWUnitController final : public TWLazyViewController<TWEditorController>
{
    Q_OBJECT
public:
    explicit TWUnitController(QObject *parent = nullptr);
    ~TWUnitController() override;

    // The unit handed in; the sheet never changes it.
    void setUnit(const TWUnitPtr &unit) { m_unit = unit; }
    const TWUnitPtr &unit() const { return m_unit; }
    // The working copy the fields edit and that is saved.
    const TWUnitPtr &editUnit() const { return m_editUnit; }
    bool saved() const { return m_saved; }

    // A fresh copy of the unit in the fields.
    void update() override;
    void updateUI();
    // Tag 1 saves, any other cancels.
    void doSave(int tag);

    // The stored rate (units per US dollar) for a rate typed against the
    // home unit; the field shows the same ratio the units list shows, so a
    // mileage unit's field holds home units per mileage unit.
    static double storedRate(double typed, const TWUnit &unit, const TWUnit *homeUnit);

    QCheckBox *favouriteCheckbox() const { return m_favourite; }
    QLineEdit *nameTextField() const { return m_name; }
    QLineEdit *descriptionTextField() const { return m_description; }
    QLineEdit *newCodeTextField() const { return m_newCode; }
    QLabel *editCodeTextField() const { return m_editCode; }
    QLineEdit *symbolTextField() const { return m_symbol; }
    QLineEdit *decimalPlacesTextField() const { return m_decimalPlaces; }
    QLineEdit *rateTextField() const { return m_rate; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    void build() override;
    // Stores what the fields hold into the working copy; false (with the
    // alert shown) when a field cannot be read.
    bool commitFields();
    bool isHomeUnit() const;
    void showAlert(const QString &key);
    void end(TWSheetResult result);

    QCheckBox *m_favourite = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_description = nullptr;
    QLineEdit *m_newCode = nullptr;
    QLabel *m_editCode = nullptr;
    QLineEdit *m_symbol = nullptr;
    QLineEdit *m_decimalPlaces = nullptr;
    QLineEdit *m_rate = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_cancel = nullptr;

    TWUnitPtr m_unit;
    TWUnitPtr m_editUnit;
    bool m_saved = false;
    // Only a rate the user typed replaces the stored one: reading back the
    // rounded text of an untouched field would drift the rate.
    bool m_rateEdited = false;
};
