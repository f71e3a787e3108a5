#include "ledger/TWAccountInfoController.h"

#include "app/TWBusinessController.h"
#include "app/TWControls.h"
#include "app/TWPopover.h"

#include "foundation/TWLocalized.h"
#include "ledger/TWSheetDefaultButton.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "model/TWUtilities.h"
#include "store/TWBusiness.h"
#include "store/TWUnitMenu.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{

// Empty texts are stored as none.
QString orNull(const QString &text)
{
    return text.isEmpty() ? QString() : text;
}

const char *const kInstitutionKeys[] = {
    "institutionName",    "institutionNumber",         "institutionPhone",
    "institutionFax",     "institutionEmail",          "institutionWebsite",
    "institutionAddress", "institutionRoutingTransit", "institutionWireTransfer",
};

} // namespace

TWAccountInfoController::TWAccountInfoController(QObject *parent) : TWInfoEditor(parent)
{
}

TWAccountInfoController::~TWAccountInfoController()
{
    if (m_view && !m_view->parent())
        delete m_view;
}

void TWAccountInfoController::build()
{
    m_view = new QWidget();
    m_view->setObjectName(QStringLiteral("TWAccountInfo"));

    m_typePopUp = new TWPopUpButton(m_view);
    m_typePopUp->setObjectName(QStringLiteral("typePopUpButton"));
    const TWFormatter &formatter = TWFormatter::formatter();
    for (int type = TWAccountTypeAccountsReceivable; type <= TWAccountTypeEquity; ++type) {
        const QString title = formatter.accountTypeString(std::uint32_t(type));
        if (type == TWAccountGroupTypeLiability || title.isEmpty())
            continue; // the liability group, not an account type
        m_typePopUp->addItem(title, type);
    }
    m_typeLabel = new QLabel(m_view);
    m_typeLabel->setObjectName(QStringLiteral("typeLabel"));
    m_currencyPopUp = new TWPopUpButton(m_view);
    m_currencyPopUp->setObjectName(QStringLiteral("currencyPopUpButton"));
    m_currencyText = new QLabel(m_view);
    m_currencyText->setObjectName(QStringLiteral("currencyTextField"));
    m_name = new QLineEdit(m_view);
    m_name->setObjectName(QStringLiteral("nameTextField"));
    m_name->setMinimumWidth(260);
    m_number = new QLineEdit(m_view);
    m_number->setObjectName(QStringLiteral("numberTextField"));
    m_icon = new TWSelectImageView(m_view);
    m_icon->setObjectName(QStringLiteral("iconImageView"));
    m_icon->setPlaceholder(TWLocalized("icon"));
    m_icon->setFixedSize(48, 48);
    m_notes = new QPlainTextEdit(m_view);
    m_notes->setObjectName(QStringLiteral("notesTextView"));
    m_notes->setFixedHeight(60);
    m_institution = new QCheckBox(TWLocalized("accountIsInstitution"), m_view);
    m_institution->setObjectName(QStringLiteral("institutionCheckbox"));
    connect(m_institution, &QCheckBox::clicked, this, [this] { doInstitution(); });

    auto *typeRow = new QHBoxLayout();
    typeRow->addWidget(m_typePopUp, 1);
    typeRow->addWidget(m_typeLabel, 1);
    auto *currencyRow = new QHBoxLayout();
    currencyRow->addWidget(m_currencyPopUp, 1);
    currencyRow->addWidget(m_currencyText, 1);

    auto *form = new QFormLayout();
    form->addRow(TWLocalized("accountInfoType"), typeRow);
    form->addRow(TWLocalized("currency"), currencyRow);
    form->addRow(TWLocalized("name"), m_name);
    form->addRow(TWLocalized("number"), m_number);
    form->addRow(TWLocalized("icon"), m_icon);
    form->addRow(TWLocalized("notes"), m_notes);
    form->addRow(QString(), m_institution);
    for (const char *key : kInstitutionKeys) {
        auto *field = new QLineEdit(m_view);
        field->setObjectName(QLatin1String(key) + QStringLiteral("TextField"));
        form->addRow(TWLocalized(key), field);
        m_institutionFields.append(field);
    }

    // Cancel then Save, as in the document's sheets.
    auto *buttons = new QHBoxLayout();
    buttons->addStretch(1);
    m_cancel = new QPushButton(TWLocalized("cancel"), m_view);
    m_save = new QPushButton(TWLocalized("save"), m_view);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_save);
    twKeepDefaultButton(m_save);
    connectSaveCancel([this](int tag) { doSave(tag); });

    auto *layout = new QVBoxLayout(m_view);
    layout->addLayout(form);
    layout->addLayout(buttons);
}

void TWAccountInfoController::showTypeAndUnitEditable(bool editable)
{
    m_typePopUp->setVisible(editable);
    m_currencyPopUp->setVisible(editable);
    m_typeLabel->setVisible(!editable);
    m_currencyText->setVisible(!editable);
}

void TWAccountInfoController::fillCurrencyPopUp()
{
    m_currencyPopUp->clear();
    m_units.clear();
    if (!m_business)
        return;
    for (const TWUnitMenuItem &item : twUnitMenuItems(*m_business, false)) {
        if (item.separator) {
            m_currencyPopUp->insertSeparator(m_currencyPopUp->count());
            continue;
        }
        m_currencyPopUp->addItem(item.title, int(m_units.size()));
        m_units.append(item.unit);
    }
}

bool TWAccountInfoController::selectUnit(const TWUnitPtr &unit)
{
    if (!unit)
        return false;
    for (int i = 0; i < m_units.size(); ++i) {
        if (m_units[i] && m_units[i]->isEqual(*unit))
            return m_currencyPopUp->selectItemWithTag(i);
    }
    return false;
}

TWUnitPtr TWAccountInfoController::selectedUnit() const
{
    if (!m_currencyPopUp || m_currencyPopUp->currentIndex() < 0)
        return nullptr;
    const QVariant data = m_currencyPopUp->currentData();
    return data.isValid() ? m_units.value(data.toInt()) : nullptr;
}

void TWAccountInfoController::resetToBusinessCurrency()
{
    if (!m_business || !m_view)
        return;
    if (!selectUnit(m_business->homeUnit()))
        selectUnit(m_business->unitWithCode(QStringLiteral("USD")));
}

void TWAccountInfoController::setInstitutionFieldsEnabled(bool enabled)
{
    for (QLineEdit *field : std::as_const(m_institutionFields))
        field->setEnabled(enabled);
}

void TWAccountInfoController::reset()
{
    if (!m_view)
        return;
    m_account.reset();
    m_popover = nullptr;
    if (m_mode == TWEditorMode::Existing) {
        showTypeAndUnitEditable(false);
        m_typeLabel->clear();
        m_currencyText->clear();
    } else {
        showTypeAndUnitEditable(true);
        fillCurrencyPopUp();
        m_typePopUp->selectItemWithTag(int(TWPreferences::preferences().lastAccountType()));
        resetToBusinessCurrency();
    }
    m_institution->setChecked(false);
    m_name->clear();
    m_number->clear();
    m_notes->clear();
    for (QLineEdit *field : std::as_const(m_institutionFields))
        field->clear();
    m_icon->setImage(QImage());
    setInstitutionFieldsEnabled(false);
    m_name->setFocus();
    m_saved = false;
}

void TWAccountInfoController::update()
{
    if (!m_view)
        return;
    if (!m_account) {
        reset();
        return;
    }
    const TWAccount &account = *m_account;
    if (m_mode == TWEditorMode::Existing) {
        showTypeAndUnitEditable(false);
        m_typeLabel->setText(
            TWFormatter::formatter().accountTypeString(std::uint32_t(account.accountType())));
        const TWUnitPtr &unit = account.unit();
        m_currencyText->setText(unit ? QStringLiteral("%1 (%2 / %3)")
                                           .arg(unit->name(), unit->description(), unit->code())
                                     : QString());
    } else {
        showTypeAndUnitEditable(true);
        fillCurrencyPopUp();
        m_typePopUp->selectItemWithTag(int(account.accountType()));
        selectUnit(account.unit());
    }
    m_institution->setChecked(account.isInstitution());
    m_name->setText(account.name());
    m_number->setText(account.number());
    m_icon->setImage(account.icon());
    m_notes->setPlainText(account.notes());
    const QStringList values = {
        account.institutionName(),         account.institutionNumber(),
        account.institutionPhone(),        account.institutionFax(),
        account.institutionEmail(),        account.institutionWebsite().toString(),
        account.institutionAddress(),      account.institutionRoutingTransit(),
        account.institutionWireTransfer(),
    };
    for (int i = 0; i < m_institutionFields.size(); ++i)
        m_institutionFields[i]->setText(values.value(i));
    setInstitutionFieldsEnabled(account.isInstitution());
    m_name->setFocus();
    m_saved = false;
}

void TWAccountInfoController::doInstitution()
{
    if (!m_view)
        return;
    const bool on = m_institution->isChecked();
    setInstitutionFieldsEnabled(on);
    if (!on) {
        for (QLineEdit *field : std::as_const(m_institutionFields))
            field->clear();
    }
}

QUrl TWAccountInfoController::websiteFromText(const QString &text)
{
    if (text.isEmpty())
        return {};
    QUrl url(text, QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty())
        return url;
    url = QUrl(QStringLiteral("http://%1").arg(text), QUrl::StrictMode);
    return url.isValid() ? url : QUrl();
}

void TWAccountInfoController::doSave(int tag)
{
    if (!m_view)
        return;
    bool made = true;
    if (tag == 1) {
        const auto text = [this](int index) { return orNull(m_institutionFields[index]->text()); };
        const QUrl website = websiteFromText(m_institutionFields[5]->text());
        const QString name = m_name->text();
        const QString number = orNull(m_number->text());
        const QString notes = orNull(m_notes->toPlainText());
        const bool institution = m_institution->isChecked();
        if (m_mode == TWEditorMode::Existing && m_account) {
            TWAccount &account = *m_account;
            account.setName(name);
            account.setNumber(number);
            // An untouched icon keeps its stored bytes: the view holds the
            // decoded copy, which may be smaller than what is stored, or none.
            if (m_icon->image().cacheKey() != account.icon().cacheKey())
                account.setIcon(m_icon->image());
            account.setNotes(notes);
            account.setIsInstitution(institution);
            account.setInstitutionName(text(0));
            account.setInstitutionNumber(text(1));
            account.setInstitutionPhone(text(2));
            account.setInstitutionFax(text(3));
            account.setInstitutionEmail(text(4));
            account.setInstitutionWebsite(website);
            account.setInstitutionAddress(text(6));
            account.setInstitutionRoutingTransit(text(7));
            account.setInstitutionWireTransfer(text(8));
            m_saved = true;
        } else if (m_mode == TWEditorMode::New && m_business) {
            const qint32 identifier = m_business->nextAccountIdentifier();
            made = acceptIdentifier(identifier);
            if (made)
                m_account = TWAccount::accountWithIdentifier(
                    identifier, name, 0, 0, TWAccountType(m_typePopUp->selectedTag()), number,
                    m_icon->image(), selectedUnit(), notes, institution, text(0), text(1), text(2),
                    text(3), text(4), website, text(6), text(7), text(8));
        }
    }
    finishSave(tag, made);
}
