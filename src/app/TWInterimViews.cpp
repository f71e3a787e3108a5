#include "app/TWInterimViews.h"

#include "app/TWDateEdit.h"
#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWPreferences.h"
#include "model/TWUnits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

TWInterimDetailController::TWInterimDetailController(const QString &text, QObject *parent)
    : TWLazyViewController<TWDetailController>(parent), m_text(text)
{
}

TWInterimDetailController::~TWInterimDetailController()
{
    // The view is ours unless a window has taken it.
    if (m_view && !m_view->parent())
        delete m_view;
}

void TWInterimDetailController::build()
{
    auto *label = new QLabel(m_text);
    label->setAlignment(Qt::AlignCenter);
    label->setEnabled(false);
    m_view = label;
}

TWInterimInvoiceList::TWInterimInvoiceList(QObject *parent)
    : TWLazyViewController<TWInvoiceListDetail>(parent)
{
}

TWInterimInvoiceList::~TWInterimInvoiceList()
{
    if (m_view && !m_view->parent())
        delete m_view;
}

void TWInterimInvoiceList::build()
{
    m_view = new QTableView;
}

TWInterimBusinessInfoForm::TWInterimBusinessInfoForm(QObject *parent)
    : TWLazyViewController<TWBusinessInfoEditor>(parent)
{
}

TWInterimBusinessInfoForm::~TWInterimBusinessInfoForm()
{
    if (m_view && !m_view->parent())
        delete m_view;
}

void TWInterimBusinessInfoForm::build()
{
    m_view = new QWidget();
    m_name = new QLineEdit(m_view);
    m_name->setMinimumWidth(260);
    m_type = new QComboBox(m_view);
    m_type->addItem(TWLocalized("soleProprietorship"), TWBusinessTypeSoleProprietorship);
    m_type->addItem(TWLocalized("partnership"), TWBusinessTypePartnership);
    m_type->addItem(TWLocalized("corporation"), TWBusinessTypeCorporation);
    m_currency = new QComboBox(m_view);
    m_startDate = new TWDateEdit(m_view);
    m_startDate->setCalendarPopup(true);
    m_defaultAccounts = new QCheckBox(TWLocalized("createDefaultAccounts"), m_view);

    auto *form = new QFormLayout();
    form->addRow(TWLocalized("businessName"), m_name);
    form->addRow(TWLocalized("businessType"), m_type);
    form->addRow(TWLocalized("homeCurrency"), m_currency);
    form->addRow(TWLocalized("startDate"), m_startDate);
    form->addRow(QString(), m_defaultAccounts);

    auto *buttons = new QDialogButtonBox(m_view);
    m_cancel = buttons->addButton(TWLocalized("cancel"), QDialogButtonBox::RejectRole);
    m_save = buttons->addButton(TWLocalized("save"), QDialogButtonBox::AcceptRole);
    m_save->setDefault(true);
    connect(m_save, &QPushButton::clicked, this,
            [this] { emit endRequested(sheetReturnCode(TWSheetResult::Confirmed)); });
    connect(m_cancel, &QPushButton::clicked, this,
            [this] { emit endRequested(sheetReturnCode(TWSheetResult::Cancelled)); });

    auto *layout = new QVBoxLayout(m_view);
    layout->addLayout(form);
    layout->addSpacing(8);
    layout->addWidget(buttons);
    reset();
}

void TWInterimBusinessInfoForm::reset()
{
    m_info = TWBusinessInfo::newBusinessInfo();
    m_info->setStartDate(TWClock::now());
    m_info->setCreateDefaultAccounts(true);
    if (!m_view)
        return;
    // The locale's currency first, then every currency by name.
    const QString localeCode = TWPreferences::preferences().localeCurrencyCode();
    m_currency->clear();
    const TWUnitList currencies = TWUnits::units().unitsOfType(TWUnitTypeCurrency);
    for (const TWUnitPtr &unit : currencies)
        if (unit && unit->code() == localeCode)
            m_currency->addItem(QStringLiteral("%1 (%2)").arg(unit->name(), unit->code()),
                                unit->code());
    for (const TWUnitPtr &unit : currencies)
        if (unit && unit->code() != localeCode)
            m_currency->addItem(QStringLiteral("%1 (%2)").arg(unit->name(), unit->code()),
                                unit->code());
    if (m_currency->count() == 0)
        m_currency->addItem(m_info->homeCurrency(), m_info->homeCurrency());
    update();
}

void TWInterimBusinessInfoForm::update()
{
    if (!m_view || !m_info)
        return;
    m_name->setText(m_info->name());
    m_type->setCurrentIndex(std::max(0, m_type->findData(m_info->type())));
    // A new business starts in the locale's currency, listed first.
    const int currency =
        m_mode == TWEditorMode::New ? 0 : m_currency->findData(m_info->homeCurrency());
    m_currency->setCurrentIndex(std::max(0, currency));
    m_startDate->setDate(m_info->startDate().date());
    m_defaultAccounts->setChecked(m_info->createDefaultAccounts());
    m_name->setFocus();
}

TWBusinessInfoPtr TWInterimBusinessInfoForm::businessInfo() const
{
    if (!m_info || !m_view)
        return m_info;
    TWBusinessInfoPtr info = m_info->copy();
    info->setName(m_name->text().trimmed());
    info->setType(m_type->currentData().toUInt());
    info->setHomeCurrency(m_currency->currentData().toString());
    info->setStartDate(m_startDate->date().startOfDay());
    info->setCreateDefaultAccounts(m_defaultAccounts->isChecked());
    return info;
}
