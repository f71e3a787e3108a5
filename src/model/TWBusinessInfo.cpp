#include "model/TWBusinessInfo.h"

#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"
#include "model/TWUnits.h"

TWBusinessInfo::TWBusinessInfo(std::uint32_t type, QString name, QString businessID,
                               TWStoredImage logo, QDateTime startDate, QString homeCurrency,
                               std::uint32_t currencyUpdateInterval, QString notes, QString phone,
                               QString fax, QString email, QUrl website, QString address,
                               TWAccountingPeriodList accountingPeriods,
                               bool createNewAccountingPeriods,
                               qint32 nominalTransferAccountIdentifier,
                               QString retainedEarningsName, double invoiceTaxRate,
                               QString invoiceTaxName, QString invoiceHeader, QString invoiceFooter,
                               QString invoiceTerms, bool createDefaultAccounts)
    : m_type(type), m_name(std::move(name)), m_businessID(std::move(businessID)),
      m_logo(std::move(logo)), m_startDate(std::move(startDate)),
      m_homeCurrency(std::move(homeCurrency)), m_currencyUpdateInterval(currencyUpdateInterval),
      m_notes(std::move(notes)), m_phone(std::move(phone)), m_fax(std::move(fax)),
      m_email(std::move(email)), m_website(std::move(website)), m_address(std::move(address)),
      m_accountingPeriods(std::move(accountingPeriods)),
      m_createNewAccountingPeriods(createNewAccountingPeriods),
      m_nominalTransferAccountIdentifier(nominalTransferAccountIdentifier),
      m_retainedEarningsName(std::move(retainedEarningsName)), m_invoiceTaxRate(invoiceTaxRate),
      m_invoiceTaxName(std::move(invoiceTaxName)), m_invoiceHeader(std::move(invoiceHeader)),
      m_invoiceFooter(std::move(invoiceFooter)), m_invoiceTerms(std::move(invoiceTerms)),
      m_createDefaultAccounts(createDefaultAccounts)
{
}

TWBusinessInfoPtr TWBusinessInfo::businessInfoWithType(
    std::uint32_t type, const QString &name, const QString &businessID, const TWStoredImage &logo,
    const QDateTime &startDate, const QString &homeCurrency, std::uint32_t currencyUpdateInterval,
    const QString &notes, const QString &phone, const QString &fax, const QString &email,
    const QUrl &website, const QString &address, const TWAccountingPeriodList &accountingPeriods,
    bool createNewAccountingPeriods, qint32 nominalTransferAccountIdentifier,
    const QString &retainedEarningsName, double invoiceTaxRate, const QString &invoiceTaxName,
    const QString &invoiceHeader, const QString &invoiceFooter, const QString &invoiceTerms,
    bool createDefaultAccounts)
{
    return std::make_shared<TWBusinessInfo>(
        type, name, businessID, logo, startDate, homeCurrency, currencyUpdateInterval, notes, phone,
        fax, email, website, address, accountingPeriods, createNewAccountingPeriods,
        nominalTransferAccountIdentifier, retainedEarningsName, invoiceTaxRate, invoiceTaxName,
        invoiceHeader, invoiceFooter, invoiceTerms, createDefaultAccounts);
}

TWBusinessInfo::TWBusinessInfo(const TWBusinessInfo &other)
    : m_type(other.m_type), m_name(other.m_name), m_businessID(other.m_businessID),
      m_logo(other.m_logo), m_startDate(other.m_startDate), m_homeCurrency(other.m_homeCurrency),
      m_currencyUpdateInterval(other.m_currencyUpdateInterval), m_notes(other.m_notes),
      m_phone(other.m_phone), m_fax(other.m_fax), m_email(other.m_email),
      m_website(other.m_website), m_address(other.m_address),
      m_accountingPeriods(TWAccountingPeriod::copyPeriods(other.m_accountingPeriods)),
      m_createNewAccountingPeriods(other.m_createNewAccountingPeriods),
      m_nominalTransferAccountIdentifier(other.m_nominalTransferAccountIdentifier),
      m_retainedEarningsName(other.m_retainedEarningsName),
      m_invoiceTaxRate(other.m_invoiceTaxRate), m_invoiceTaxName(other.m_invoiceTaxName),
      m_invoiceHeader(other.m_invoiceHeader), m_invoiceFooter(other.m_invoiceFooter),
      m_invoiceTerms(other.m_invoiceTerms), m_createDefaultAccounts(other.m_createDefaultAccounts)
{
}

TWBusinessInfo &TWBusinessInfo::operator=(const TWBusinessInfo &other)
{
    if (this != &other) {
        TWBusinessInfo copied(other);
        *this = std::move(copied);
    }
    return *this;
}

TWBusinessInfoPtr TWBusinessInfo::newBusinessInfo(const QLocale &locale)
{
    QString homeCurrency = QStringLiteral("USD");
    const QString localeCurrency = locale.currencySymbol(QLocale::CurrencyIsoCode);
    if (!localeCurrency.isEmpty()) {
        for (const TWUnitPtr &unit : TWUnits::units().unitList()) {
            if (unit->code() == localeCurrency) {
                homeCurrency = localeCurrency;
                break;
            }
        }
    }

    TWAccountingPeriodList periods{TWAccountingPeriod::accountingPeriodWithName(
        QStringLiteral("1"), TWDateAdditions::firstDateOfYear(), TWDateAdditions::lastDateOfYear(),
        false, 0)};

    return businessInfoWithType(TWBusinessTypeSoleProprietorship, QString(), QString(), QImage(),
                                TWDateAdditions::startOfDay(), homeCurrency, TWCurrencyUpdateWeekly,
                                QString(), QString(), QString(), QString(), QUrl(), QString(),
                                periods, true, 0, QString(), 0.0,
                                defaultInvoiceTaxName(QLocale::territoryToCode(locale.territory())),
                                QString(), QString(), QString(), true);
}

QString TWBusinessInfo::defaultInvoiceTaxName(const QString &countryCode)
{
    if (countryCode == QLatin1String("US"))
        return TWLocalized("salesTax");
    if (countryCode == QLatin1String("GB"))
        return TWLocalized("vat");
    if (countryCode == QLatin1String("CA"))
        return TWLocalized("gstHst");
    if (countryCode == QLatin1String("AU") || countryCode == QLatin1String("NZ"))
        return TWLocalized("gst");
    return TWLocalized("tax");
}

QString TWBusinessInfo::retainedEarningsDisplayName() const
{
    if (!m_retainedEarningsName.isEmpty())
        return m_retainedEarningsName;
    return m_type == TWBusinessTypeSoleProprietorship ? TWLocalized("ownersEquity")
                                                      : TWLocalized("retainedEarnings");
}

bool TWBusinessInfo::currencyUpdateDue(const QDateTime &lastUpdate, const QDateTime &now) const
{
    if (m_currencyUpdateInterval == TWCurrencyUpdateNever)
        return false;
    if (!lastUpdate.isValid())
        return true;
    switch (m_currencyUpdateInterval) {
    case TWCurrencyUpdateDaily:
        return TWDateAdditions::differenceInDays(lastUpdate, now) >= 1;
    case TWCurrencyUpdateWeekly:
        return TWDateAdditions::differenceInDays(lastUpdate, now) >= 7;
    case TWCurrencyUpdateMonthly: {
        // Whole calendar months of wall-clock time: the month has passed once
        // the same day and time of the next month (clamped to its last day)
        // has been reached.
        const QDateTime from = lastUpdate.toLocalTime();
        const QDateTime to = now.toLocalTime();
        const QDate a = from.date();
        const QDate b = to.date();
        qint64 months = qint64(b.year() - a.year()) * 12 + (b.month() - a.month());
        if (months > 0 && from.addMonths(int(months)) > to)
            --months;
        return months >= 1;
    }
    default:
        return false;
    }
}
