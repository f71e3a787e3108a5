#include "work/TWContactInfoEditor.h"

#include "app/TWBusinessController.h"
#include "app/TWControls.h"
#include "ledger/TWSheetDefaultButton.h"

#include "foundation/TWLocalized.h"
#include "model/TWStoredImage.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TWContactInfoEditor::TWContactInfoEditor(QObject *parent) : TWInfoEditor(parent)
{
}

TWContactInfoEditor::~TWContactInfoEditor()
{
    if (m_view && !m_view->parent())
        delete m_view;
}

QString TWContactInfoEditor::textOrNull(const QString &text)
{
    return text.isEmpty() ? QString() : text;
}

QUrl TWContactInfoEditor::websiteFromText(const QString &text)
{
    if (text.isEmpty())
        return {};
    QUrl url(text, QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty())
        return url;
    // "example.com" and anything else without a scheme is a web address.
    url = QUrl(QStringLiteral("http://%1").arg(text), QUrl::StrictMode);
    return url.isValid() ? url : QUrl();
}

void TWContactInfoEditor::build()
{
    m_view = new QWidget();
    m_view->setObjectName(interfaceName());
    m_view->setWindowTitle(TWLocalized(sheetTitleKey()));

    const auto lineEdit = [this](const char *name) {
        auto *field = new QLineEdit(m_view);
        field->setObjectName(QLatin1String(name));
        return field;
    };
    m_name = lineEdit("nameTextField");
    m_name->setMinimumWidth(280);
    m_company = lineEdit("companyTextField");
    m_phone = lineEdit("phoneTextField");
    m_fax = lineEdit("faxTextField");
    m_email = lineEdit("emailTextField");
    m_website = lineEdit("websiteTextField");
    m_logo = new TWSelectImageView(m_view);
    m_logo->setObjectName(QStringLiteral("logoImageView"));
    m_logo->setPlaceholder(TWLocalized("logo"));
    m_logo->setFixedSize(64, 64);
    m_address = new QPlainTextEdit(m_view);
    m_address->setObjectName(QStringLiteral("addressTextView"));
    // A postal address reads as typed text, not in a fixed-width font.
    m_address->setFont(QApplication::font());
    m_address->setTabChangesFocus(true);
    m_address->setFixedHeight(64);
    m_notes = new QPlainTextEdit(m_view);
    m_notes->setObjectName(QStringLiteral("notesTextView"));
    m_notes->setTabChangesFocus(true);
    m_notes->setFixedHeight(64);

    // One column of labels and one of fields; the logo stands beside name
    // and company.
    auto *form = new QGridLayout();
    form->setColumnStretch(1, 1);
    int row = 0;
    const auto addRow = [this, form, &row](const char *key, QWidget *field, bool beside) {
        auto *label = new QLabel(TWLocalized(key), m_view);
        label->setBuddy(field);
        const Qt::Alignment top =
            qobject_cast<QPlainTextEdit *>(field) ? Qt::AlignTop : Qt::Alignment();
        form->addWidget(label, row, 0, top | Qt::AlignLeft);
        form->addWidget(field, row, 1, 1, beside ? 1 : 2);
        ++row;
    };
    addRow("name", m_name, true);
    addRow("contactCompany", m_company, true);
    form->addWidget(m_logo, 0, 2, 2, 1, Qt::AlignRight | Qt::AlignTop);
    addRow("contactPhone", m_phone, false);
    addRow("contactFax", m_fax, false);
    addRow("contactEmail", m_email, false);
    addRow("contactWebsite", m_website, false);
    addRow("contactAddress", m_address, false);
    addRow("notes", m_notes, false);

    m_addressBook = new QPushButton(TWLocalized("addressBook"), m_view);
    m_addressBook->setObjectName(QStringLiteral("addressBookButton"));
    m_addressBook->setAutoDefault(false);
    connect(m_addressBook, &QPushButton::clicked, this, [this] { doAddressBook(); });
    m_cancel = new QPushButton(TWLocalized("cancel"), m_view);
    m_save = new QPushButton(TWLocalized("save"), m_view);
    auto *buttons = new QHBoxLayout();
    buttons->addWidget(m_addressBook);
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_save);
    twKeepDefaultButton(m_save);
    connectSaveCancel([this](int tag) { doSave(tag); });

    auto *layout = new QVBoxLayout(m_view);
    layout->addLayout(form);
    layout->addLayout(buttons);
    // The form keeps its rows at the top when the window grows.
    layout->addStretch(1);
}

void TWContactInfoEditor::reset()
{
    if (!m_view)
        return;
    m_contact.reset();
    m_popover = nullptr;
    for (QLineEdit *field : {m_name, m_company, m_phone, m_fax, m_email, m_website})
        field->clear();
    m_address->clear();
    m_notes->clear();
    m_logo->setImage(QImage());
    m_name->setFocus();
    m_saved = false;
}

void TWContactInfoEditor::update()
{
    if (!m_view)
        return;
    if (!m_contact) {
        reset();
        return;
    }
    const TWContactItem &contact = *m_contact;
    m_name->setText(contact.name());
    m_company->setText(contact.company());
    m_phone->setText(contact.phone());
    m_fax->setText(contact.fax());
    m_email->setText(contact.email());
    m_website->setText(contact.website().isEmpty() ? QString() : contact.website().toString());
    m_address->setPlainText(contact.address());
    m_notes->setPlainText(contact.notes());
    m_logo->setImage(contact.logo());
    m_name->setFocus();
    m_saved = false;
}

TWContactInfoEditor::Fields TWContactInfoEditor::fieldsFromForm() const
{
    Fields fields;
    fields.name = textOrNull(m_name->text());
    fields.company = textOrNull(m_company->text());
    fields.logo = m_logo->image();
    fields.phone = textOrNull(m_phone->text());
    fields.fax = textOrNull(m_fax->text());
    fields.email = textOrNull(m_email->text());
    fields.website = websiteFromText(m_website->text().trimmed());
    fields.address = textOrNull(m_address->toPlainText());
    fields.notes = textOrNull(m_notes->toPlainText());
    return fields;
}

void TWContactInfoEditor::doSave(int tag)
{
    if (!m_view)
        return;
    bool made = true;
    if (tag == 1) {
        const Fields fields = fieldsFromForm();
        if (m_mode == TWEditorMode::Existing) {
            made = bool(m_contact);
            if (m_contact) {
                TWContactItem &contact = *m_contact;
                contact.setName(fields.name);
                contact.setCompany(fields.company);
                // An untouched logo keeps its stored bytes: the view holds the
                // decoded copy, which may be smaller than what is stored, or
                // none when the stored one is too large to show.
                if (fields.logo.cacheKey() != contact.logo().cacheKey())
                    contact.setLogo(fields.logo);
                contact.setPhone(fields.phone);
                contact.setFax(fields.fax);
                contact.setEmail(fields.email);
                contact.setWebsite(fields.website);
                contact.setAddress(fields.address);
                contact.setNotes(fields.notes);
                m_saved = true;
            }
        } else if (m_mode == TWEditorMode::New && m_business) {
            const qint32 identifier = nextIdentifier();
            made = acceptIdentifier(identifier);
            if (made)
                m_contact = makeContact(identifier, fields);
        }
    }
    finishSave(tag, made);
}

void TWContactInfoEditor::doAddressBook()
{
    if (!m_view)
        return;
    if (!m_picker) {
        m_picker = new TWAddressBookPickerController(this);
        m_picker->setTitle(TWLocalized(pickerTitleKey()));
        m_picker->setDelegate(this);
    }
    m_picker->update();
    // The popover steps aside while the picker shows (a window opened over
    // it would close it) and comes back when the picker closes.
    QWidget *owner = m_view;
    if (m_mode == TWEditorMode::Existing && m_popover && m_popover->isShown()) {
        owner = m_popover->parentWidget();
        m_popover->suspend();
    }
    m_picker->showWindow(owner);
}

void TWContactInfoEditor::addressBookPickerControllerDidClose(const TWPersonPtr &person)
{
    if (m_popover && m_popover->isSuspended())
        m_popover->resume();
    if (!person || !m_view)
        return;
    using Picker = TWAddressBookPickerController;
    const TWPerson *chosen = person.get();
    m_name->setText(Picker::personName(chosen));
    m_company->setText(chosen->organization);
    m_phone->setText(Picker::multiValueStringWithPerson(
        chosen, TWPersonProperty::Phone,
        QStringList{TWPersonLabel::Work, TWPersonLabel::Home, TWPersonLabel::IPhone,
                    TWPersonLabel::Mobile, TWPersonLabel::Main}));
    m_fax->setText(Picker::multiValueStringWithPerson(
        chosen, TWPersonProperty::Phone,
        QStringList{TWPersonLabel::HomeFax, TWPersonLabel::WorkFax}));
    m_email->setText(
        Picker::multiValueStringWithPerson(chosen, TWPersonProperty::Email, std::nullopt));
    m_website->setText(
        Picker::multiValueStringWithPerson(chosen, TWPersonProperty::URLs, std::nullopt));
    m_address->setPlainText(Picker::personAddress(chosen));
    // Decoded within the bounds of every stored logo, and scaled to the
    // size logos are shown at.
    m_logo->setImage(chosen->imageData.isEmpty()
                         ? QImage()
                         : TWStoredImage::fromData(chosen->imageData).image());
    m_notes->setPlainText(chosen->note);
    m_name->setFocus();
}
