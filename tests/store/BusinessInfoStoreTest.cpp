#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "store/TWBusiness.h"

#include "model/TWAccount.h"

#include <gtest/gtest.h>

namespace
{

TWBusinessInfoPtr sampleInfo(const QImage &logo)
{
    return TWBusinessInfo::businessInfoWithType(
        TWBusinessTypeCorporation, QStringLiteral("Acme Ltd"), QStringLiteral("ID-7"), logo,
        twLocal(2024, 3, 5), QStringLiteral("CAD"), TWCurrencyUpdateMonthly,
        QStringLiteral("notes"), QStringLiteral("555-1"), QString(), QStringLiteral("a@b.c"),
        QUrl(QStringLiteral("https://acme.example/a%20b?q=1")), QStringLiteral("1 Road\nTown"), {},
        true, 143, QStringLiteral("Kept"), 0.05, QStringLiteral("GST"), QStringLiteral("héad"),
        QStringLiteral("foot"), QStringLiteral("30 days"), true);
}

QStringList texts(const TWBusinessInfo &i)
{
    return {i.name(),
            i.businessID(),
            i.notes(),
            i.phone(),
            i.fax(),
            i.email(),
            i.address(),
            i.retainedEarningsName(),
            i.invoiceTaxName(),
            i.invoiceHeader(),
            i.invoiceFooter(),
            i.invoiceTerms()};
}

// A business whose row was written from `info` and read back.
std::unique_ptr<TWBusiness> businessWithRow(const TWBusinessInfoPtr &info)
{
    auto business = twMakeBusiness();
    if (!business)
        return nullptr;
    business->setBusinessInfo(info);
    EXPECT_OK(business->populateBusinessInfo());
    EXPECT_OK(business->loadBusinessInfo());
    return business;
}

const QString kRefuseUpdates = QStringLiteral(
    "CREATE TRIGGER refuse BEFORE UPDATE ON businesses BEGIN SELECT RAISE(ABORT, 'no'); END;");

} // namespace

TEST(BusinessInfoStore, RoundTripWithLogo)
{
    QImage logo(40, 30, QImage::Format_RGB32);
    logo.fill(QColor(200, 40, 40));
    const TWBusinessInfoPtr written = sampleInfo(logo);
    auto business = businessWithRow(written);
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    EXPECT_EQ(twQueryText(b, QStringLiteral("SELECT identifier || ' ' || startDate || ' ' || "
                                            "hex(substr(logo, 1, 2)) FROM businesses;")),
              QStringLiteral("100 1036389.0 FFD8")); // packed date, JPEG data
    EXPECT_EQ(b.homeCurrencyCode(), QStringLiteral("CAD"));

    const TWBusinessInfoPtr read = b.businessInfo();
    ASSERT_TRUE(read);
    EXPECT_EQ(texts(*read), texts(*written));
    EXPECT_TRUE(read->fax().isNull());
    EXPECT_EQ(read->startDate(), twLocal(2024, 3, 5));
    EXPECT_EQ(read->website(), written->website());
    EXPECT_DOUBLE_EQ(read->invoiceTaxRate(), 0.05);
    EXPECT_FALSE(read->createDefaultAccounts()); // never stored
    ASSERT_EQ(read->logo().size(), QSize(40, 30));
    EXPECT_NEAR(read->logo().pixelColor(20, 15).red(), 200, 8);
    // Without a CAD unit the home unit is a placeholder of that code.
    ASSERT_TRUE(b.homeUnit());
    EXPECT_EQ(b.homeUnit()->code(), QStringLiteral("CAD"));
}

TEST(BusinessInfoStore, MissingAndDamagedValues)
{
    auto business = businessWithRow(TWBusinessInfo::businessInfoWithType(
        0, QString(), QString(), QImage(), QDateTime(), QStringLiteral("USD"), 0, QString(),
        QString(), QString(), QString(), QUrl(), QString(), {}, false, 0, QString(), 0.0, QString(),
        QString(), QString(), QString()));
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT logo IS NULL AND website IS NULL AND "
                                           "name IS NULL FROM businesses;")),
              1);
    const TWBusinessInfoPtr read = b.businessInfo();
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->logo().isNull());
    EXPECT_TRUE(read->name().isNull());

    // A logo that is not an image reads as none; a damaged date as no date.
    twExec(b, QStringLiteral("UPDATE businesses SET logo=x'00112233', startDate=-5;"));
    ASSERT_OK(b.loadBusinessInfo());
    EXPECT_TRUE(b.businessInfo()->logo().isNull());
    EXPECT_FALSE(b.businessInfo()->startDate().isValid());
    // An empty table: no record, no error.
    twExec(b, QStringLiteral("DELETE FROM businesses;"));
    EXPECT_OK(b.loadBusinessInfo());
    EXPECT_FALSE(b.businessInfo());
}

TEST(BusinessInfoStore, DeletedTransferAccount)
{
    auto business = businessWithRow(sampleInfo(QImage()));
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    TWAccount transfer;
    transfer.setIdentifier(143);
    // When the row cannot be written the record keeps naming the account.
    twExec(b, kRefuseUpdates);
    EXPECT_TRUE(b.businessInfoDeleteAccount(transfer));
    EXPECT_EQ(b.businessInfo()->nominalTransferAccountIdentifier(), 143);
    twExec(b, QStringLiteral("DROP TRIGGER refuse;"));
    ASSERT_OK(b.businessInfoDeleteAccount(transfer));
    EXPECT_EQ(b.businessInfo()->nominalTransferAccountIdentifier(), 0);
    EXPECT_EQ(
        twQueryInt(b, QStringLiteral("SELECT nominalTransferAccountIdentifier FROM businesses;")),
        0);
}
