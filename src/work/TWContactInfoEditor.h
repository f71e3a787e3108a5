#pragma once
// The form clients and merchants share: name, company, logo, phone, fax,
// e-mail, web address, postal address and notes, filled by hand or from a
// person of the address book. A new record (mode New, a sheet) is built on
// Save and stored by the document; an existing one (mode Existing, the popover)
// is changed on Save and written by the document when the popover closes.

#include "app/TWRecordEditors.h"
#include "work/TWAddressBookPickerController.h"

#include "model/TWContactItem.h"

#include <QPointer>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TWSelectImageView;

class TWContactInfoEditor : public TWInfoEditor, public TWAddressBookPickerControllerDelegate
{
    Q_OBJECT
public:
    explicit TWContactInfoEditor(QObject *parent = nullptr);
    ~TWContactInfoEditor() override;

    TWItemPtr item() const override { return m_contact; }

    // Empties the form (only once the view exists).
    void reset() override;
    // Fills the form from the record (none: `reset`).
    void update() override;
    // Tag 1 saves, any other cancels.
    void doSave(int tag);
    // Opens the address-book picker.
    void doAddressBook();
    void addressBookPickerControllerDidClose(const TWPersonPtr &person) override;

    // Empty text is none.
    static QString textOrNull(const QString &text);
    // The web address as stored: none for empty text, the text itself when
    // it names a scheme, else "http://" in front of it; none when neither
    // makes a valid address.
    static QUrl websiteFromText(const QString &text);

    QLineEdit *nameTextField() const { return m_name; }
    QLineEdit *companyTextField() const { return m_company; }
    TWSelectImageView *logoImageView() const { return m_logo; }
    QLineEdit *phoneTextField() const { return m_phone; }
    QLineEdit *faxTextField() const { return m_fax; }
    QLineEdit *emailTextField() const { return m_email; }
    QLineEdit *websiteTextField() const { return m_website; }
    QPlainTextEdit *addressTextView() const { return m_address; }
    QPlainTextEdit *notesTextView() const { return m_notes; }
    QPushButton *addressBookButton() const { return m_addressBook; }
    // Made on first use.
    TWAddressBookPickerController *addressBookPickerController() const { return m_picker; }

protected:
    // The field values of a new record.
    struct Fields {
        QString name;
        QString company;
        QImage logo;
        QString phone;
        QString fax;
        QString email;
        QUrl website;
        QString address;
        QString notes;
    };
    // The next free identifier of the record kind (0 when the store failed).
    virtual qint32 nextIdentifier() const = 0;
    virtual std::shared_ptr<TWContactItem> makeContact(qint32 identifier,
                                                       const Fields &fields) const = 0;
    // The interface's name, the sheet's and the picker's title keys.
    virtual QString interfaceName() const = 0;
    virtual const char *sheetTitleKey() const = 0;
    virtual const char *pickerTitleKey() const = 0;

    std::shared_ptr<TWContactItem> m_contact;

private:
    void build() override;
    Fields fieldsFromForm() const;

    QLineEdit *m_name = nullptr;
    QLineEdit *m_company = nullptr;
    TWSelectImageView *m_logo = nullptr;
    QLineEdit *m_phone = nullptr;
    QLineEdit *m_fax = nullptr;
    QLineEdit *m_email = nullptr;
    QLineEdit *m_website = nullptr;
    QPlainTextEdit *m_address = nullptr;
    QPlainTextEdit *m_notes = nullptr;
    QPushButton *m_addressBook = nullptr;
    QPointer<TWAddressBookPickerController> m_picker;
};
