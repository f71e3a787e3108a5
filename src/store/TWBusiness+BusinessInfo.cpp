// The business row: who the business is, its home currency and the invoice
// defaults, kept in the single row 100 of the table "businesses".

#include "store/TWBusiness.h"

#include "foundation/TWDateAdditions.h"
#include "model/TWAccount.h"

#include <sqlite3.h>

#include <cmath>

namespace
{

const qint32 kBusinessIdentifier = 100;

const char *const kBusinessSelectSQL =
    "SELECT identifier, type, name, businessID, logo, startDate, homeCurrency, "
    "currencyUpdateInterval, notes, phone, fax, email, website, address, "
    "createNewAccountingPeriods, nominalTransferAccountIdentifier, retainedEarningsName, "
    "invoiceTaxRate, invoiceTaxName, invoiceHeader, invoiceFooter, invoiceTerms FROM businesses;";
const char *const kBusinessInsertSQL =
    "INSERT INTO businesses ( identifier, type, name, businessID, logo, startDate, homeCurrency, "
    "currencyUpdateInterval, notes, phone, fax, email, website, address, "
    "createNewAccountingPeriods, nominalTransferAccountIdentifier, retainedEarningsName, "
    "invoiceTaxRate, invoiceTaxName, invoiceHeader, invoiceFooter, invoiceTerms ) VALUES ( ?, ?, "
    "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ? );";
const char *const kBusinessUpdateSQL =
    "UPDATE businesses SET name=?, businessID=?, logo=?, startDate=?, currencyUpdateInterval=?, "
    "notes=?, phone=?, fax=?, email=?, website=?, address=?, createNewAccountingPeriods=?, "
    "nominalTransferAccountIdentifier=?, retainedEarningsName=?, invoiceTaxRate=?, "
    "invoiceTaxName=?, invoiceHeader=?, invoiceFooter=?, invoiceTerms=? WHERE identifier=?;";

QString websiteText(const QUrl &website)
{
    if (website.isEmpty())
        return {};
    return website.toString(QUrl::FullyEncoded);
}

// The fields after name in the order both the insert and the update bind
// them, from businessID to startDate.
void bindIdentity(TWStatement &statement, const TWBusinessInfo &info)
{
    statement.bindText(info.businessID())
        .bindBlob(info.storedLogo().data())
        .bindDouble(double(TWDateAdditions::dateValue(info.startDate())));
}

// From notes to invoiceTerms, shared by the insert and the update.
void bindDetails(TWStatement &statement, const TWBusinessInfo &info)
{
    statement.bindText(info.notes())
        .bindText(info.phone())
        .bindText(info.fax())
        .bindText(info.email())
        .bindText(websiteText(info.website()))
        .bindText(info.address())
        .bindBool(info.createNewAccountingPeriods())
        .bindInt32(info.nominalTransferAccountIdentifier())
        .bindText(info.retainedEarningsName())
        .bindDouble(info.invoiceTaxRate())
        .bindText(info.invoiceTaxName())
        .bindText(info.invoiceHeader())
        .bindText(info.invoiceFooter())
        .bindText(info.invoiceTerms());
}

} // namespace

QDateTime TWBusiness::dateWithStoredValue(double value)
{
    // Truncated to a whole packed date; anything outside 32 bits is damage.
    if (!std::isfinite(value) || value < 1.0 || value >= 4294967296.0)
        return {};
    return TWDateAdditions::dateWithValue(std::uint32_t(value));
}

TWErrorResult TWBusiness::populateBusinessInfo()
{
    if (!m_businessInfo)
        return databaseError(SQLITE_MISUSE);
    const TWBusinessInfo &info = *m_businessInfo;
    WriteScope scope(*this);
    TWStatement insert = statement(kBusinessInsertSQL);
    insert.bindInt32(kBusinessIdentifier).bindInt64(info.type()).bindText(info.name());
    bindIdentity(insert, info);
    insert.bindText(info.homeCurrency()).bindInt64(info.currencyUpdateInterval());
    bindDetails(insert, info);
    return scope.finish(insert.execute());
}

TWErrorResult TWBusiness::loadBusinessInfo()
{
    m_businessInfo.reset();
    m_homeUnit.reset();
    TWStatement query = statement(kBusinessSelectSQL);
    if (!query.next())
        return query.error(); // none for an empty table
    const auto text = [&query](int column) { return query.columnText(column); };
    const QString website = text(12);
    m_businessInfo = TWBusinessInfo::businessInfoWithType(
        std::uint32_t(query.columnInt64(1)), text(2), text(3),
        TWStoredImage::fromData(query.columnBlob(4)), dateWithStoredValue(query.columnDouble(5)),
        text(6), std::uint32_t(query.columnInt64(7)), text(8), text(9), text(10), text(11),
        website.isNull() ? QUrl() : QUrl(website), text(13), TWAccountingPeriodList(),
        (query.columnInt64(14) & 0xff) != 0, query.columnInt32(15), text(16),
        query.columnDouble(17), text(18), text(19), text(20), text(21));
    m_homeUnit = unitForStoredCode(m_businessInfo->homeCurrency());
    return std::nullopt;
}

TWErrorResult TWBusiness::updateBusinessInfo(const TWBusinessInfoPtr &businessInfo)
{
    if (!businessInfo)
        return databaseError(SQLITE_MISUSE);
    const TWBusinessInfo &info = *businessInfo;
    WriteScope scope(*this);
    TWStatement update = statement(kBusinessUpdateSQL);
    update.bindText(info.name());
    bindIdentity(update, info);
    update.bindInt64(info.currencyUpdateInterval());
    bindDetails(update, info);
    update.bindInt32(kBusinessIdentifier);
    if (TWErrorResult error = update.executeUpdate())
        return scope.finish(error);

    // The row keeps its type and home currency; so does the record in memory,
    // or it would disagree with the row until the document is opened again.
    const TWBusinessInfoPtr previous = m_businessInfo;
    const std::uint32_t givenType = businessInfo->type();
    const QString givenHomeCurrency = businessInfo->homeCurrency();
    if (previous && previous != businessInfo) {
        businessInfo->setType(previous->type());
        businessInfo->setHomeCurrency(previous->homeCurrency());
    }
    m_businessInfo = businessInfo;
    scope.onRollback([this, previous, businessInfo, givenType, givenHomeCurrency] {
        businessInfo->setType(givenType);
        businessInfo->setHomeCurrency(givenHomeCurrency);
        m_businessInfo = previous;
    });
    return scope.commit();
}

TWErrorResult TWBusiness::businessInfoDeleteAccount(const TWAccount &account)
{
    if (!m_businessInfo ||
        m_businessInfo->nominalTransferAccountIdentifier() != account.identifier())
        return std::nullopt;
    WriteScope scope(*this);
    const TWBusinessInfoPtr info = m_businessInfo;
    const qint32 previous = info->nominalTransferAccountIdentifier();
    info->setNominalTransferAccountIdentifier(0);
    scope.onRollback([info, previous] { info->setNominalTransferAccountIdentifier(previous); });
    return scope.finish(updateBusinessInfo(info));
}
