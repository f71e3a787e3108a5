#include "ledger/TWBusinessInfoController.h"

#include "ledger/TWBusinessInfoPeriods.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "app/TWControls.h"
#include "app/TWDateEdit.h"
#include "app/TWTypedNumberField.h"

#include "foundation/TWClock.h"
#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"
#include "ledger/TWLedgerTables.h"
#include "model/TWAccount.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "model/TWUnits.h"
#include "store/TWBusiness.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QVBoxLayout>

namespace
{

// Identifiers of the owner's-equity and retained-earnings accounts of the
// default chart of accounts.
constexpr qint32 kOwnersEquityAccount = 138;
constexpr qint32 kRetainedEarningsAccount = 143;
constexpr int kNewHeight = 476;
constexpr int kEditHeight = 458;

QString textOrNull(const QString &text)
{
    return text.isEmpty() ? QString() : text;
}
// Invoice texts stay strings even when empty.
QString textOrEmpty(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

// The typed percentage as the fraction the record keeps; none when the text
// is no percentage at all, so a typing slip never becomes a rate of 0.
std::optional<double> taxRateFromText(const QString &text)
{
    const TWFormatter &formatter = TWFormatter::formatter();
    QString number = text.trimmed();
    for (const QString &percent : {formatter.locale().percent(), QStringLiteral("%")})
        if (!percent.isEmpty() && number.endsWith(percent))
            number = number.chopped(percent.size()).trimmed();
    if (number.isEmpty())
        return 0.0;
    // Read as every typed number: "1.5" under de_DE is refused, never 15 %.
    const std::optional<double> parsed = formatter.typedNumber(number);
    if (!parsed || *parsed < 0)
        return std::nullopt;
    return *parsed / 100.0;
}

QString unitTitle(const TWUnit &unit)
{
    return QStringLiteral("%1 (%2 / %3)").arg(unit.name(), unit.description(), unit.code());
}

} // namespace

TWBusinessInfoController::TWBusinessInfoController(QObject *parent)
    : TWLazyViewController<TWBusinessInfoEditor>(parent)
{
}

TWBusinessInfoController::~TWBusinessInfoController()
{
    delete m_view.data();
}

const TWAccountingPeriodList &TWBusinessInfoController::accountingPeriods() const
{
    static const TWAccountingPeriodList none;
    return m_periods ? m_periods->periods() : none;
}

void TWBusinessInfoController::build()
{
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("TWBusinessInfo"));
    m_tabs = new QTabWidget(view);

    // General
    auto *general = new QWidget;
    auto *generalForm = new QFormLayout(general);
    m_typePopUp = new TWPopUpButton(general);
    m_typePopUp->addItem(TWLocalized("soleProprietorship"), 0);
    m_typePopUp->addItem(TWLocalized("partnership"), 1);
    m_typePopUp->addItem(TWLocalized("corporation"), 2);
    m_typeLabel = new QLabel(general);
    auto *typeRow = new QHBoxLayout;
    typeRow->addWidget(m_typePopUp);
    typeRow->addWidget(m_typeLabel);
    typeRow->addStretch(1);
    generalForm->addRow(TWLocalized("businessType"), typeRow);
    m_name = new QLineEdit(general);
    generalForm->addRow(TWLocalized("businessName"), m_name);
    m_businessID = new QLineEdit(general);
    generalForm->addRow(TWLocalized("businessID"), m_businessID);
    m_logo = new TWSelectImageView(general);
    m_logo->setPlaceholder(TWLocalized("logo"));
    m_logo->setFixedSize(140, 80);
    generalForm->addRow(QString(), m_logo);
    m_startDate = new TWDateEdit(general);
    m_startDate->setCalendarPopup(true);
    generalForm->addRow(TWLocalized("businessStartDate"), m_startDate);
    m_currencyPopUp = new TWPopUpButton(general);
    // The currencies the program ships with, not the document's.
    for (const TWUnitPtr &unit : TWUnits::units().unitsOfType(TWUnitTypeCurrency))
        m_currencyPopUp->addItem(unitTitle(*unit), unit->code());
    m_currencyLabel = new QLabel(general);
    auto *currencyRow = new QHBoxLayout;
    currencyRow->addWidget(m_currencyPopUp);
    currencyRow->addWidget(m_currencyLabel);
    currencyRow->addStretch(1);
    generalForm->addRow(TWLocalized("businessCurrency"), currencyRow);
    m_interval = new TWPopUpButton(general);
    m_interval->addItem(TWLocalized("businessIntervalNever"), 0);
    m_interval->addItem(TWLocalized("businessIntervalDaily"), 1);
    m_interval->addItem(TWLocalized("businessIntervalWeekly"), 2);
    m_interval->addItem(TWLocalized("businessIntervalMonthly"), 3);
    generalForm->addRow(TWLocalized("businessCurrencyInterval"), m_interval);
    m_notes = new QPlainTextEdit(general);
    generalForm->addRow(TWLocalized("businessNotes"), m_notes);
    m_defaultAccounts = new QCheckBox(TWLocalized("createDefaultAccounts"), general);
    generalForm->addRow(QString(), m_defaultAccounts);
    m_tabs->addTab(general, TWLocalized("businessTabGeneral"));

    // Contact
    auto *contact = new QWidget;
    auto *contactForm = new QFormLayout(contact);
    m_phone = new QLineEdit(contact);
    m_fax = new QLineEdit(contact);
    m_email = new QLineEdit(contact);
    m_website = new QLineEdit(contact);
    m_address = new QPlainTextEdit(contact);
    contactForm->addRow(TWLocalized("contactPhone"), m_phone);
    contactForm->addRow(TWLocalized("contactFax"), m_fax);
    contactForm->addRow(TWLocalized("contactEmail"), m_email);
    contactForm->addRow(TWLocalized("contactWebsite"), m_website);
    contactForm->addRow(TWLocalized("contactAddress"), m_address);
    m_tabs->addTab(contact, TWLocalized("businessTabContact"));

    // Accounting
    auto *accounting = new QWidget;
    auto *accountingLayout = new QVBoxLayout(accounting);
    m_periods = new TWBusinessInfoPeriods(this);
    m_periods->edited = [this] { m_dirtyAccountingPeriods = true; };
    m_periods->sortRequested = [this](int column, Qt::SortOrder order) {
        m_periods->sortBy(column, order == Qt::AscendingOrder);
    };
    m_periodsTable = new TWTableView(accounting);
    twUseSingleLineRows(m_periodsTable);
    m_periodsTable->setModel(m_periods);
    m_periodsTable->setTableDelegate(this);
    m_periodsTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_periodsTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_periodsTable->setEditTriggers(QAbstractItemView::DoubleClicked |
                                    QAbstractItemView::EditKeyPressed);
    m_periodsTable->verticalHeader()->hide();
    m_periodsTable->setSortingEnabled(true);
    m_periodsTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    accountingLayout->addWidget(m_periodsTable);
    m_addPeriod = new QPushButton(QStringLiteral("+"), accounting);
    m_deletePeriod = new QPushButton(QStringLiteral("\u2212"), accounting);
    m_addPeriod->setFixedWidth(32);
    m_deletePeriod->setFixedWidth(32);
    auto *segments = new QHBoxLayout;
    segments->setSpacing(0);
    segments->addWidget(m_addPeriod);
    segments->addWidget(m_deletePeriod);
    segments->addStretch(1);
    accountingLayout->addLayout(segments);
    m_createPeriods =
        new QCheckBox(TWLocalized("accountingCreateNewAccountingPeriods"), accounting);
    accountingLayout->addWidget(m_createPeriods);
    auto *closingForm = new QFormLayout;
    m_closingAccount = new TWPopUpButton(accounting);
    m_retainedEarnings = new QLineEdit(accounting);
    closingForm->addRow(TWLocalized("accountingNominalTransferAccount"), m_closingAccount);
    closingForm->addRow(TWLocalized("accountingRetainedEarningsName"), m_retainedEarnings);
    accountingLayout->addLayout(closingForm);
    m_tabs->addTab(accounting, TWLocalized("businessTabAccounting"));

    // Invoices
    auto *invoices = new QWidget;
    auto *invoiceForm = new QFormLayout(invoices);
    m_taxRate = new QLineEdit(invoices);
    m_taxName = new QLineEdit(invoices);
    m_header = new QPlainTextEdit(invoices);
    m_footer = new QPlainTextEdit(invoices);
    m_terms = new QPlainTextEdit(invoices);
    invoiceForm->addRow(TWLocalized("invoiceTaxRate"), m_taxRate);
    invoiceForm->addRow(TWLocalized("invoiceTaxName"), m_taxName);
    invoiceForm->addRow(TWLocalized("invoiceHeader"), m_header);
    invoiceForm->addRow(TWLocalized("invoiceFooter"), m_footer);
    invoiceForm->addRow(TWLocalized("invoiceTerms"), m_terms);
    m_tabs->addTab(invoices, TWLocalized("businessTabInvoices"));

    m_cancel = new QPushButton(TWLocalized("cancel"), view);
    m_save = new QPushButton(TWLocalized("create"), view);
    m_save->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_save);
    auto *layout = new QVBoxLayout(view);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);
    view->setMinimumWidth(560);
    for (QPlainTextEdit *text : {m_notes, m_address, m_header, m_footer, m_terms})
        text->setMinimumHeight(48);

    connect(m_typePopUp, &QComboBox::activated, this, [this] { doBusinessType(); });
    connect(m_defaultAccounts, &QCheckBox::clicked, this, [this] { doCreateDefaultAccounts(); });
    connect(m_createPeriods, &QCheckBox::clicked, this, [this] { doCreateNewAccountingPeriods(); });
    connect(m_closingAccount, &QComboBox::activated, this, [this] { doNominalTransferAccount(); });
    connect(m_addPeriod, &QPushButton::clicked, this, [this] { doAddDeleteAccountingPeriod(0); });
    connect(m_deletePeriod, &QPushButton::clicked, this,
            [this] { doAddDeleteAccountingPeriod(1); });
    connect(m_periodsTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateDeleteSegment(); });
    connect(m_save, &QPushButton::clicked, this, [this] { doSave(1); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { doSave(0); });
    view->installEventFilter(this);
    m_view = view;
    // The sheet around it says what it is.
    m_view->setWindowTitle(TWLocalized("sheetTitleBusinessInformation"));
}

bool TWBusinessInfoController::eventFilter(QObject *watched, QEvent *event)
{
    // A default set before the view had a dialog around it is lost on the
    // first focus change, so Return would do nothing.
    if (watched == m_view && event->type() == QEvent::Show) {
        m_save->setDefault(false);
        m_save->setDefault(true);
    }
    return TWEditorController::eventFilter(watched, event);
}

std::uint32_t TWBusinessInfoController::businessType() const
{
    if (m_mode == TWEditorMode::Existing && m_businessInfo)
        return m_businessInfo->type();
    return std::uint32_t(m_typePopUp->selectedTag());
}

void TWBusinessInfoController::setUpPeriodsTable(const TWAccountingPeriodList &periods)
{
    m_periods->setPeriods(periods);
    m_periods->setActiveIdentifier(m_business && m_mode == TWEditorMode::Existing
                                       ? m_business->activeAccountingPeriodIdentifier()
                                       : 0);
    // Setting the indicator sorts the rows by start.
    m_periodsTable->horizontalHeader()->setSortIndicator(TWBusinessInfoPeriods::Start,
                                                         Qt::AscendingOrder);
    m_periods->sortBy(TWBusinessInfoPeriods::Start, true);
    m_periodsTable->clearSelection();
    updateDeleteSegment();
}

void TWBusinessInfoController::updateDeleteSegment()
{
    m_deletePeriod->setEnabled(!selectedPeriodRows().isEmpty());
}

QList<int> TWBusinessInfoController::selectedPeriodRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_periodsTable->selectionModel()->selectedRows())
        rows.append(index.row());
    return rows;
}

void TWBusinessInfoController::showModeControls()
{
    const bool isNew = m_mode == TWEditorMode::New;
    m_typePopUp->setVisible(isNew);
    m_currencyPopUp->setVisible(isNew);
    m_typeLabel->setVisible(!isNew);
    m_currencyLabel->setVisible(!isNew);
    m_defaultAccounts->setVisible(isNew);
    m_save->setText(TWLocalized(isNew ? "create" : "save"));
}

void TWBusinessInfoController::finishFilling()
{
    m_view->setFixedHeight(m_mode == TWEditorMode::New ? kNewHeight : kEditHeight);
    m_tabs->setCurrentIndex(0);
    m_name->setFocus();
    m_dirtyAccountingPeriods = false;
}

void TWBusinessInfoController::reset()
{
    view();
    m_businessInfo = nullptr;
    setUpPeriodsTable({TWAccountingPeriod::accountingPeriodWithName(
        QStringLiteral("1"), TWDateAdditions::firstDateOfYear(), TWDateAdditions::lastDateOfYear(),
        false, 0)});
    for (QLineEdit *field : {m_name, m_businessID, m_phone, m_fax, m_email, m_website, m_taxRate})
        field->clear();
    for (QPlainTextEdit *text : {m_notes, m_address, m_header, m_footer, m_terms})
        text->clear();
    m_logo->setImage(QImage());
    m_startDate->setDate(TWClock::today());
    m_interval->selectItemWithTag(TWCurrencyUpdateWeekly);
    m_createPeriods->setChecked(true);
    m_defaultAccounts->setChecked(true);
    m_typePopUp->selectItemWithTag(0);
    m_typeLabel->setText(TWFormatter::formatter().businessTypeString(0));
    m_currencyLabel->clear();
    updateNominalTransferAccountPopUpButton();
    updateRetainedEarningsNameTextField(true);
    m_taxName->setText(
        TWBusinessInfo::defaultInvoiceTaxName(TWPreferences::preferences().localeCountryCode()));
    showModeControls();
    resetToLocaleCurrency();
    finishFilling();
}

void TWBusinessInfoController::update()
{
    view();
    if (!m_businessInfo) {
        reset();
        return;
    }
    const TWBusinessInfo &info = *m_businessInfo;
    setUpPeriodsTable(TWAccountingPeriod::copyPeriods(info.accountingPeriods()));
    m_name->setText(info.name());
    m_businessID->setText(info.businessID());
    m_logo->setImage(info.logo());
    m_startDate->setDate(info.startDate().isValid() ? info.startDate().date() : TWClock::today());
    m_notes->setPlainText(info.notes());
    m_phone->setText(info.phone());
    m_fax->setText(info.fax());
    m_email->setText(info.email());
    m_website->setText(info.website().isEmpty() ? QString() : info.website().toString());
    m_address->setPlainText(info.address());
    m_createPeriods->setChecked(info.createNewAccountingPeriods());
    // The record keeps a fraction (0.05 is five percent); the field shows percent.
    m_taxRate->setText(info.invoiceTaxRate() == 0 ? QString()
                                                  : TWFormatter::formatter().doubleValueString(
                                                        info.invoiceTaxRate() * 100));
    m_taxName->setText(info.invoiceTaxName());
    m_header->setPlainText(info.invoiceHeader());
    m_footer->setPlainText(info.invoiceFooter());
    m_terms->setPlainText(info.invoiceTerms());
    if (m_mode == TWEditorMode::Existing) {
        m_typeLabel->setText(TWFormatter::formatter().businessTypeString(info.type()));
        const TWUnitPtr home = m_business ? m_business->unitWithCode(info.homeCurrency()) : nullptr;
        m_currencyLabel->setText(home ? unitTitle(*home) : info.homeCurrency());
        m_interval->selectItemWithTag(int(info.currencyUpdateInterval()));
    } else {
        m_typePopUp->selectItemWithTag(0);
        if (m_currencyPopUp->findData(info.homeCurrency()) >= 0)
            m_currencyPopUp->setCurrentIndex(m_currencyPopUp->findData(info.homeCurrency()));
        m_interval->selectItemWithTag(TWCurrencyUpdateWeekly);
    }
    updateNominalTransferAccountPopUpButton();
    updateRetainedEarningsNameTextField(true);
    showModeControls();
    finishFilling();
}

void TWBusinessInfoController::resetToLocaleCurrency()
{
    int index = m_currencyPopUp->findData(TWPreferences::preferences().localeCurrencyCode());
    if (index < 0)
        index = m_currencyPopUp->findData(QStringLiteral("USD"));
    if (index >= 0)
        m_currencyPopUp->setCurrentIndex(index);
}

void TWBusinessInfoController::updateNominalTransferAccountPopUpButton()
{
    m_closingAccount->clear();
    m_closingAccount->addItem(TWLocalized("none"), 0);
    if (m_mode == TWEditorMode::New) {
        if (!m_defaultAccounts->isChecked())
            return;
        m_closingAccount->insertSeparator(m_closingAccount->count());
        if (m_typePopUp->selectedTag() == 0)
            m_closingAccount->addItem(TWLocalized("ownersEquity"), kOwnersEquityAccount);
        else
            m_closingAccount->addItem(TWLocalized("retainedEarnings"), kRetainedEarningsAccount);
        m_closingAccount->setCurrentIndex(m_closingAccount->count() - 1);
        return;
    }
    if (!m_businessInfo || !m_business)
        return;
    TWAccountList equity = m_business->accountsOfType(TWAccountTypeEquity);
    std::stable_sort(equity.begin(), equity.end(),
                     [](const TWAccountPtr &a, const TWAccountPtr &b) {
                         return a->name().localeAwareCompare(b->name()) < 0;
                     });
    if (!equity.isEmpty())
        m_closingAccount->insertSeparator(m_closingAccount->count());
    for (const TWAccountPtr &account : equity)
        m_closingAccount->addItem(account->name(), account->identifier());
    if (!m_closingAccount->selectItemWithTag(m_businessInfo->nominalTransferAccountIdentifier()))
        m_closingAccount->setCurrentIndex(0);
}

void TWBusinessInfoController::updateRetainedEarningsNameTextField(bool setName)
{
    const int account = m_closingAccount->selectedTag();
    m_retainedEarnings->setEnabled(account == 0);
    if (!setName)
        return;
    if (account != 0) {
        if (m_mode == TWEditorMode::Existing && m_business)
            if (const TWAccountPtr chosen = m_business->accountWithIdentifier(account)) {
                m_retainedEarnings->setText(chosen->name());
                return;
            }
    } else if (m_mode == TWEditorMode::Existing && m_businessInfo &&
               !m_businessInfo->retainedEarningsName().isEmpty()) {
        // The user's own name: saving must not replace it with the default.
        m_retainedEarnings->setText(m_businessInfo->retainedEarningsName());
        return;
    }
    m_retainedEarnings->setText(
        TWLocalized(businessType() == 0 ? "ownersEquity" : "retainedEarnings"));
}

void TWBusinessInfoController::doBusinessType()
{
    if (m_mode != TWEditorMode::New)
        return;
    updateNominalTransferAccountPopUpButton();
    updateRetainedEarningsNameTextField(true);
}

void TWBusinessInfoController::doCreateDefaultAccounts()
{
    if (m_mode != TWEditorMode::New)
        return;
    updateNominalTransferAccountPopUpButton();
    updateRetainedEarningsNameTextField(m_defaultAccounts->isChecked());
}

void TWBusinessInfoController::doCreateNewAccountingPeriods()
{
    m_dirtyAccountingPeriods = true;
}

void TWBusinessInfoController::doNominalTransferAccount()
{
    m_dirtyAccountingPeriods = true;
    updateRetainedEarningsNameTextField(true);
}

void TWBusinessInfoController::doAddDeleteAccountingPeriod(int segment)
{
    if (segment == 0) {
        m_periods->append(TWBusinessInfoPeriods::nextPeriod(m_periods->periods()));
        m_dirtyAccountingPeriods = true;
    } else if (segment == 1) {
        deleteAccountingPeriod();
    }
    updateDeleteSegment();
}

void TWBusinessInfoController::deleteAccountingPeriod()
{
    const qsizetype selected = selectedPeriodRows().size();
    if (selected == 0)
        return;
    // Deleting a closed period would reopen its entries: it is reopened
    // first, on purpose.
    if (m_periods->anyClosed(selectedPeriodRows())) {
        showAlert(QStringLiteral("deleteClosedAccountingPeriodMessage"));
        return;
    }
    TWAlert alert;
    alert.message =
        TWLocalized(selected == 1 ? "deleteAccountPeriodMessage" : "deleteAccountPeriodsMessage");
    alert.buttons = {
        TWLocalized(selected == 1 ? "deleteAccountingPeriod" : "deleteAccountingPeriods"),
        TWLocalized("cancel")};
    alert.window = m_view ? m_view->window() : nullptr;
    QPointer<TWBusinessInfoController> self(this);
    twRunAlert(alert, [self](int code) {
        if (!self || code != 1000)
            return;
        const QList<int> rows = self->selectedPeriodRows();
        if (rows.isEmpty())
            return;
        self->m_periods->removePeriods(rows);
        self->m_periodsTable->clearSelection();
        self->m_dirtyAccountingPeriods = true;
        self->updateDeleteSegment();
    });
}

bool TWBusinessInfoController::tableViewDelete(TWTableView *)
{
    deleteAccountingPeriod();
    return true;
}

QUrl TWBusinessInfoController::websiteURL(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    QUrl url(trimmed, QUrl::StrictMode);
    // "example.com:8080" parses with "example.com" as its scheme: a scheme
    // must be followed by something other than a port number.
    if (!url.isValid() || url.scheme().isEmpty() ||
        (url.host().isEmpty() && url.path().contains(QRegularExpression(QStringLiteral("^\\d")))))
        url = QUrl(QStringLiteral("http://%1").arg(trimmed), QUrl::StrictMode);
    return url.isValid() ? url : QUrl();
}

void TWBusinessInfoController::showAlert(const QString &key)
{
    twRunNotice(TWLocalized(key), m_view ? m_view->window() : nullptr);
}

void TWBusinessInfoController::doSave(int tag)
{
    if (!m_view)
        return;
    if (QWidget *focus = m_view->focusWidget())
        focus->clearFocus();
    if (tag != 1) {
        emit endRequested(sheetReturnCode(TWSheetResult::Cancelled));
        return;
    }
    // A date whose text was refused is mended before anything is kept.
    if (twExplainFirstRefusedField(m_view))
        return;
    // The checks sort the list itself, so a refused save shows it by start.
    TWAccountingPeriodList periods = m_periods->periods();
    const TWBusinessInfoPeriods::Problem problem = TWBusinessInfoPeriods::checkPeriods(periods);
    if (problem != TWBusinessInfoPeriods::EndsBeforeStart)
        m_periods->setPeriods(periods);
    if (problem == TWBusinessInfoPeriods::EndsBeforeStart) {
        showAlert(QStringLiteral("accountingPeriodsErrorLength"));
        return;
    }
    if (problem == TWBusinessInfoPeriods::Overlap) {
        showAlert(QStringLiteral("accountingPeriodsErrorOverlap"));
        return;
    }
    const std::optional<double> typedTaxRate = taxRateFromText(m_taxRate->text());
    if (!typedTaxRate) {
        twMarkRefused(m_taxRate, true);
        twExplainFieldRefusal(m_taxRate,
                              TWLocalized("invoiceTaxRateWrongMessage")
                                  .arg(TWFormatter::formatter().typedNumberExample(7.5)));
        return;
    }
    const double taxRate = *typedTaxRate;
    const QUrl website = websiteURL(m_website->text());
    const QString retainedEarnings =
        m_retainedEarnings->isEnabled() ? textOrNull(m_retainedEarnings->text()) : QString();
    const QDateTime startDate = m_startDate->date().startOfDay();
    const std::uint32_t interval = std::uint32_t(m_interval->selectedTag());
    const qint32 closingAccount = m_closingAccount->selectedTag();

    if (m_mode == TWEditorMode::Existing && m_businessInfo) {
        TWBusinessInfo &info = *m_businessInfo;
        info.setName(textOrNull(m_name->text()));
        info.setBusinessID(textOrNull(m_businessID->text()));
        // An untouched logo keeps its stored bytes (the view holds the
        // decoded copy, which may be smaller than what is stored, or none).
        if (m_logo->image().cacheKey() != info.logo().cacheKey())
            info.setLogo(m_logo->image());
        info.setStartDate(startDate);
        info.setCurrencyUpdateInterval(interval);
        info.setNotes(textOrNull(m_notes->toPlainText()));
        info.setPhone(textOrNull(m_phone->text()));
        info.setFax(textOrNull(m_fax->text()));
        info.setEmail(textOrNull(m_email->text()));
        info.setWebsite(website);
        info.setAddress(textOrNull(m_address->toPlainText()));
        info.setAccountingPeriods(m_periods->periods());
        info.setCreateNewAccountingPeriods(m_createPeriods->isChecked());
        info.setNominalTransferAccountIdentifier(closingAccount);
        info.setRetainedEarningsName(retainedEarnings);
        info.setInvoiceTaxRate(taxRate);
        info.setInvoiceTaxName(textOrEmpty(m_taxName->text()));
        info.setInvoiceHeader(textOrEmpty(m_header->toPlainText()));
        info.setInvoiceFooter(textOrEmpty(m_footer->toPlainText()));
        info.setInvoiceTerms(textOrEmpty(m_terms->toPlainText()));
        if (m_document)
            m_document->updateChangeCount(0);
    } else {
        const int typeTag = m_typePopUp->selectedTag();
        const std::uint32_t type = typeTag == 0 ? 0u : (typeTag == 1 ? 1u : 2u);
        m_businessInfo = TWBusinessInfo::businessInfoWithType(
            type, textOrNull(m_name->text()), textOrNull(m_businessID->text()), m_logo->image(),
            startDate, m_currencyPopUp->currentData().toString(), interval,
            textOrNull(m_notes->toPlainText()), textOrNull(m_phone->text()),
            textOrNull(m_fax->text()), textOrNull(m_email->text()), website,
            textOrNull(m_address->toPlainText()), m_periods->periods(),
            m_createPeriods->isChecked(), closingAccount, retainedEarnings, taxRate,
            textOrEmpty(m_taxName->text()), textOrEmpty(m_header->toPlainText()),
            textOrEmpty(m_footer->toPlainText()), textOrEmpty(m_terms->toPlainText()),
            m_defaultAccounts->isChecked());
    }
    emit endRequested(sheetReturnCode(TWSheetResult::Confirmed));
}
