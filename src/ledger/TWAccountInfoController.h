#pragma once
// One form for an account: a new account (mode New, shown as a sheet; the
// document files and stores the account it builds) or an existing one (mode
// Existing, inside the information popover; the form changes the account object it
// was given on save and the document writes it when the popover closes).

#include "app/TWRecordEditors.h"

#include "model/TWAccount.h"

#include <QPointer>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TWPopUpButton;
class TWSelectImageView;

class TWAccountInfoController final : public TWInfoEditor
{
    Q_OBJECT
public:
    explicit TWAccountInfoController(QObject *parent = nullptr);
    ~TWAccountInfoController() override;

    TWItemPtr item() const override { return m_account; }
    void setItem(const TWItemPtr &item) override
    {
        m_account = std::dynamic_pointer_cast<TWAccount>(item);
    }
    const TWAccountPtr &account() const { return m_account; }
    void setAccount(const TWAccountPtr &account) { m_account = account; }

    // Empties the form for a new account (only once the view exists).
    void reset() override;
    // Fills the form from `account` (none: `reset`).
    void update() override;
    // Selects the home currency, else the store's "USD".
    void resetToBusinessCurrency();
    // The institution check box changed.
    void doInstitution();
    // Tag 1 saves, any other cancels.
    void doSave(int tag);

    // The website as stored: none for empty text, the text itself when it
    // names a scheme, else "http://" in front of it; none when neither is a
    // valid address.
    static QUrl websiteFromText(const QString &text);

    TWPopUpButton *typePopUpButton() const { return m_typePopUp; }
    QLabel *typeLabel() const { return m_typeLabel; }
    TWPopUpButton *currencyPopUpButton() const { return m_currencyPopUp; }
    QLabel *currencyTextField() const { return m_currencyText; }
    QLineEdit *nameTextField() const { return m_name; }
    QLineEdit *numberTextField() const { return m_number; }
    TWSelectImageView *iconImageView() const { return m_icon; }
    QPlainTextEdit *notesTextView() const { return m_notes; }
    QCheckBox *institutionCheckbox() const { return m_institution; }
    // The nine institution fields: name, number, phone, fax, e-mail, website,
    // address, routing transit, wire transfer.
    const QList<QLineEdit *> &institutionFields() const { return m_institutionFields; }
    QLineEdit *institutionWebsiteTextField() const { return m_institutionFields.value(5); }
    // The unit of the currency pop-up's selected item.
    TWUnitPtr selectedUnit() const;

private:
    void build() override;
    void showTypeAndUnitEditable(bool editable);
    void fillCurrencyPopUp();
    void setInstitutionFieldsEnabled(bool enabled);
    bool selectUnit(const TWUnitPtr &unit);

    TWAccountPtr m_account;
    TWPopUpButton *m_typePopUp = nullptr;
    QLabel *m_typeLabel = nullptr;
    TWPopUpButton *m_currencyPopUp = nullptr;
    QLabel *m_currencyText = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_number = nullptr;
    TWSelectImageView *m_icon = nullptr;
    QPlainTextEdit *m_notes = nullptr;
    QCheckBox *m_institution = nullptr;
    QList<QLineEdit *> m_institutionFields;
    // The units behind the currency pop-up's items (item data: the index).
    TWUnitList m_units;
};
