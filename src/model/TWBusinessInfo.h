#pragma once
// Who the business of a document is: its type, identity, home currency and
// exchange-rate refresh, contact details, accounting periods with the settings
// for closing them, and the defaults printed on invoices. The store keeps one
// such record per document; the record itself holds data only.

#include "model/TWAccountingPeriod.h"
#include "model/TWStoredImage.h"

#include <QDateTime>
#include <QImage>
#include <QLocale>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <memory>

enum TWBusinessType : std::uint32_t {
    TWBusinessTypeSoleProprietorship = 0,
    TWBusinessTypePartnership = 1,
    TWBusinessTypeCorporation = 2,
};

// How often exchange rates are downloaded.
enum TWCurrencyUpdateInterval : std::uint32_t {
    TWCurrencyUpdateNever = 0,
    TWCurrencyUpdateDaily = 1,
    TWCurrencyUpdateWeekly = 2,
    TWCurrencyUpdateMonthly = 3,
};

class TWBusinessInfo;
using TWBusinessInfoPtr = std::shared_ptr<TWBusinessInfo>;

class TWBusinessInfo
{
public:
    TWBusinessInfo() = default;
    // Every field. A record made when a business is created passes
    // createDefaultAccounts; a loaded record leaves it false.
    TWBusinessInfo(std::uint32_t type, QString name, QString businessID, TWStoredImage logo,
                   QDateTime startDate, QString homeCurrency, std::uint32_t currencyUpdateInterval,
                   QString notes, QString phone, QString fax, QString email, QUrl website,
                   QString address, TWAccountingPeriodList accountingPeriods,
                   bool createNewAccountingPeriods, qint32 nominalTransferAccountIdentifier,
                   QString retainedEarningsName, double invoiceTaxRate, QString invoiceTaxName,
                   QString invoiceHeader, QString invoiceFooter, QString invoiceTerms,
                   bool createDefaultAccounts = false);

    static TWBusinessInfoPtr businessInfoWithType(
        std::uint32_t type, const QString &name, const QString &businessID,
        const TWStoredImage &logo, const QDateTime &startDate, const QString &homeCurrency,
        std::uint32_t currencyUpdateInterval, const QString &notes, const QString &phone,
        const QString &fax, const QString &email, const QUrl &website, const QString &address,
        const TWAccountingPeriodList &accountingPeriods, bool createNewAccountingPeriods,
        qint32 nominalTransferAccountIdentifier, const QString &retainedEarningsName,
        double invoiceTaxRate, const QString &invoiceTaxName, const QString &invoiceHeader,
        const QString &invoiceFooter, const QString &invoiceTerms,
        bool createDefaultAccounts = false);

    // The record of a new business: type 0, start date today, the locale's
    // currency when the built-in units have it (else "USD"), weekly rate
    // updates, one open period "1" over the current calendar year, automatic
    // periods and default accounts on, and the tax name of the locale's country.
    static TWBusinessInfoPtr newBusinessInfo(const QLocale &locale = QLocale());

    // Copies hold copies of the periods, so editing a copy's periods (or its
    // list) leaves the original's alone.
    TWBusinessInfo(const TWBusinessInfo &other);
    TWBusinessInfo &operator=(const TWBusinessInfo &other);
    TWBusinessInfo(TWBusinessInfo &&) = default;
    TWBusinessInfo &operator=(TWBusinessInfo &&) = default;
    TWBusinessInfoPtr copy() const { return std::make_shared<TWBusinessInfo>(*this); }

    // TWBusinessType.
    std::uint32_t type() const { return m_type; }
    void setType(std::uint32_t v) { m_type = v; }
    const QString &name() const { return m_name; }
    void setName(const QString &v) { m_name = v; }
    const QString &businessID() const { return m_businessID; }
    void setBusinessID(const QString &v) { m_businessID = v; }
    // Null when the business has no logo.
    // Decoded when first asked for (see TWStoredImage).
    const QImage &logo() const { return m_logo.image(); }
    void setLogo(const QImage &v) { m_logo = TWStoredImage(v); }
    const TWStoredImage &storedLogo() const { return m_logo; }
    void setStoredLogo(const TWStoredImage &v) { m_logo = v; }
    const QDateTime &startDate() const { return m_startDate; }
    void setStartDate(const QDateTime &v) { m_startDate = v; }
    // The code of the home currency unit.
    const QString &homeCurrency() const { return m_homeCurrency; }
    void setHomeCurrency(const QString &v) { m_homeCurrency = v; }
    // TWCurrencyUpdateInterval.
    std::uint32_t currencyUpdateInterval() const { return m_currencyUpdateInterval; }
    void setCurrencyUpdateInterval(std::uint32_t v) { m_currencyUpdateInterval = v; }
    const QString &notes() const { return m_notes; }
    void setNotes(const QString &v) { m_notes = v; }
    const QString &phone() const { return m_phone; }
    void setPhone(const QString &v) { m_phone = v; }
    const QString &fax() const { return m_fax; }
    void setFax(const QString &v) { m_fax = v; }
    const QString &email() const { return m_email; }
    void setEmail(const QString &v) { m_email = v; }
    // Empty when the business has no web address.
    const QUrl &website() const { return m_website; }
    void setWebsite(const QUrl &v) { m_website = v; }
    const QString &address() const { return m_address; }
    void setAddress(const QString &v) { m_address = v; }
    // In no particular order; sort with TWAccountingPeriod::compare.
    const TWAccountingPeriodList &accountingPeriods() const { return m_accountingPeriods; }
    void setAccountingPeriods(const TWAccountingPeriodList &v) { m_accountingPeriods = v; }
    bool createNewAccountingPeriods() const { return m_createNewAccountingPeriods; }
    void setCreateNewAccountingPeriods(bool v) { m_createNewAccountingPeriods = v; }
    // The account that receives the closing entries; 0 when none is chosen.
    qint32 nominalTransferAccountIdentifier() const { return m_nominalTransferAccountIdentifier; }
    void setNominalTransferAccountIdentifier(qint32 v) { m_nominalTransferAccountIdentifier = v; }
    const QString &retainedEarningsName() const { return m_retainedEarningsName; }
    void setRetainedEarningsName(const QString &v) { m_retainedEarningsName = v; }
    // A fraction: 0.05 is five percent.
    double invoiceTaxRate() const { return m_invoiceTaxRate; }
    void setInvoiceTaxRate(double v) { m_invoiceTaxRate = v; }
    const QString &invoiceTaxName() const { return m_invoiceTaxName; }
    void setInvoiceTaxName(const QString &v) { m_invoiceTaxName = v; }
    const QString &invoiceHeader() const { return m_invoiceHeader; }
    void setInvoiceHeader(const QString &v) { m_invoiceHeader = v; }
    const QString &invoiceFooter() const { return m_invoiceFooter; }
    void setInvoiceFooter(const QString &v) { m_invoiceFooter = v; }
    const QString &invoiceTerms() const { return m_invoiceTerms; }
    void setInvoiceTerms(const QString &v) { m_invoiceTerms = v; }
    // Only for a business being created; never stored.
    bool createDefaultAccounts() const { return m_createDefaultAccounts; }
    void setCreateDefaultAccounts(bool v) { m_createDefaultAccounts = v; }

    // The name of the line holding the result of earlier periods when no
    // transfer account is chosen: the stored name, or when that is empty the
    // owner's equity (sole proprietorship) or retained earnings (others).
    QString retainedEarningsDisplayName() const;

    // Whether exchange rates are due for download, given the moment of the last
    // download (invalid: never downloaded) and now. Never when the interval is
    // 0 or unknown once a last date exists; otherwise when a whole day (daily),
    // seven whole days (weekly) or a whole calendar month (monthly) has passed.
    bool currencyUpdateDue(const QDateTime &lastUpdate, const QDateTime &now) const;

    // The localised default tax name for a country code ("US", "GB", ...).
    static QString defaultInvoiceTaxName(const QString &countryCode);

private:
    std::uint32_t m_type = TWBusinessTypeSoleProprietorship;
    QString m_name;
    QString m_businessID;
    TWStoredImage m_logo;
    QDateTime m_startDate;
    QString m_homeCurrency;
    std::uint32_t m_currencyUpdateInterval = TWCurrencyUpdateNever;
    QString m_notes;
    QString m_phone;
    QString m_fax;
    QString m_email;
    QUrl m_website;
    QString m_address;
    TWAccountingPeriodList m_accountingPeriods;
    bool m_createNewAccountingPeriods = false;
    qint32 m_nominalTransferAccountIdentifier = 0;
    QString m_retainedEarningsName;
    double m_invoiceTaxRate = 0.0;
    QString m_invoiceTaxName;
    QString m_invoiceHeader;
    QString m_invoiceFooter;
    QString m_invoiceTerms;
    bool m_createDefaultAccounts = false;
};
