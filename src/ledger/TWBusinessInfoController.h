#pragma once
// The business information sheet: the one form describing a document's
// business (type, identity, logo, start date, home currency and rate updates,
// contact details, accounting periods and their closing account, invoice
// defaults). Mode New builds the record of a new business; mode Existing edits a copy
// of the store's record in place. It never writes to the store: the owner
// reads `businessInfo` and `dirtyAccountingPeriods` after a save (Confirmed).

#include "app/TWAppRegistry.h"
#include "app/TWLazyViewController.h"
#include "app/TWListViews.h"

#include "model/TWBusinessInfo.h"

#include <QPointer>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TWBusinessInfoPeriods;
class TWPopUpButton;
class TWSelectImageView;

class TWBusinessInfoController final : public TWLazyViewController<TWBusinessInfoEditor>,
                                       public TWTableViewDelegate
{
    Q_OBJECT
public:
    explicit TWBusinessInfoController(QObject *parent = nullptr);
    ~TWBusinessInfoController() override;

    // mode Existing: the record being edited; mode New: none until a save built one.
    TWBusinessInfoPtr businessInfo() const override { return m_businessInfo; }
    void setBusinessInfo(const TWBusinessInfoPtr &info) override { m_businessInfo = info; }
    bool dirtyAccountingPeriods() const override { return m_dirtyAccountingPeriods; }
    // The sheet's working list of periods (copies).
    const TWAccountingPeriodList &accountingPeriods() const;

    // The form of a new business; forgets any record.
    void reset() override;
    // The form from the record (without one: reset).
    void update() override;
    void resetToLocaleCurrency();
    void updateNominalTransferAccountPopUpButton();
    void updateRetainedEarningsNameTextField(bool setName);

    void doBusinessType();
    void doCreateDefaultAccounts();
    void doCreateNewAccountingPeriods();
    void doNominalTransferAccount();
    // Segment 0 adds a period, 1 deletes the selected ones (after asking).
    void doAddDeleteAccountingPeriod(int segment);
    void deleteAccountingPeriod();
    // Tag 1 saves, any other cancels.
    void doSave(int tag);

    bool tableViewDelete(TWTableView *table) override;

    QTabWidget *tabView() const { return m_tabs; }
    TWPopUpButton *businessTypePopUpButton() const { return m_typePopUp; }
    QLabel *businessTypeLabel() const { return m_typeLabel; }
    QLineEdit *businessNameTextField() const { return m_name; }
    QLineEdit *businessIDTextField() const { return m_businessID; }
    TWSelectImageView *businessLogoImageView() const { return m_logo; }
    QDateEdit *businessStartDatePicker() const { return m_startDate; }
    TWPopUpButton *businessCurrencyPopUpButton() const { return m_currencyPopUp; }
    QLabel *businessCurrencyLabel() const { return m_currencyLabel; }
    TWPopUpButton *businessCurrencyIntervalPopUpButton() const { return m_interval; }
    QPlainTextEdit *businessNotesTextView() const { return m_notes; }
    QLineEdit *contactPhoneTextField() const { return m_phone; }
    QLineEdit *contactFaxTextField() const { return m_fax; }
    QLineEdit *contactEmailTextField() const { return m_email; }
    QLineEdit *contactWebsiteTextField() const { return m_website; }
    QPlainTextEdit *contactAddressTextView() const { return m_address; }
    TWTableView *accountingPeriodsTableView() const { return m_periodsTable; }
    TWBusinessInfoPeriods *accountingPeriodsModel() const { return m_periods; }
    QPushButton *accountingPeriodsAddButton() const { return m_addPeriod; }
    QPushButton *accountingPeriodsDeleteButton() const { return m_deletePeriod; }
    QCheckBox *accountingCreateNewAccountingPeriodsCheckbox() const { return m_createPeriods; }
    TWPopUpButton *accountingNominalTransferAccountPopUpButton() const { return m_closingAccount; }
    QLineEdit *accountingRetainedEarningsNameTextField() const { return m_retainedEarnings; }
    QLineEdit *invoiceTaxRateTextField() const { return m_taxRate; }
    QLineEdit *invoiceTaxNameTextField() const { return m_taxName; }
    QPlainTextEdit *invoiceHeaderTextView() const { return m_header; }
    QPlainTextEdit *invoiceFooterTextView() const { return m_footer; }
    QPlainTextEdit *invoiceTermsTextView() const { return m_terms; }
    QCheckBox *createDefaultAccountsCheckbox() const { return m_defaultAccounts; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *cancelButton() const { return m_cancel; }

    // The website a text stands for: as typed when it has a scheme, else
    // with "http://"; empty for an empty or unusable text.
    static QUrl websiteURL(const QString &text);

protected:
    // Makes Save the window's default button once the view sits in its window.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build() override;
    void setUpPeriodsTable(const TWAccountingPeriodList &periods);
    void updateDeleteSegment();
    void showModeControls();
    void finishFilling();
    void showAlert(const QString &key);
    QList<int> selectedPeriodRows() const;
    // The type the form stands for: the pop-up's in mode New, the record's in mode Existing.
    std::uint32_t businessType() const;

    QTabWidget *m_tabs = nullptr;
    TWPopUpButton *m_typePopUp = nullptr;
    QLabel *m_typeLabel = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_businessID = nullptr;
    TWSelectImageView *m_logo = nullptr;
    QDateEdit *m_startDate = nullptr;
    TWPopUpButton *m_currencyPopUp = nullptr;
    QLabel *m_currencyLabel = nullptr;
    TWPopUpButton *m_interval = nullptr;
    QPlainTextEdit *m_notes = nullptr;
    QLineEdit *m_phone = nullptr;
    QLineEdit *m_fax = nullptr;
    QLineEdit *m_email = nullptr;
    QLineEdit *m_website = nullptr;
    QPlainTextEdit *m_address = nullptr;
    TWTableView *m_periodsTable = nullptr;
    TWBusinessInfoPeriods *m_periods = nullptr;
    QPushButton *m_addPeriod = nullptr;
    QPushButton *m_deletePeriod = nullptr;
    QCheckBox *m_createPeriods = nullptr;
    TWPopUpButton *m_closingAccount = nullptr;
    QLineEdit *m_retainedEarnings = nullptr;
    QLineEdit *m_taxRate = nullptr;
    QLineEdit *m_taxName = nullptr;
    QPlainTextEdit *m_header = nullptr;
    QPlainTextEdit *m_footer = nullptr;
    QPlainTextEdit *m_terms = nullptr;
    QCheckBox *m_defaultAccounts = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_cancel = nullptr;

    TWBusinessInfoPtr m_businessInfo;
    bool m_dirtyAccountingPeriods = false;
};
