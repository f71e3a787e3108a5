#include "TWPackageTestSupport.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "TWZoneGuard.h"
#include "foundation/TWPropertyList.h"
#include "store/TWBusiness.h"
#include "store/TWExportSettingsRecords.h"
#include "store/TWSendInvoiceValues.h"

#include <QDebug>

#include <gtest/gtest.h>

// Readable failures: a value as Qt's debug output writes it.
static void PrintTo(const QVariant &value, std::ostream *os)
{
    QString text;
    QDebug(&text).nospace() << value;
    *os << text.toStdString();
}

namespace
{

QVariantMap readSettings(const QString &path)
{
    const TWResult<QVariant> read = TWPropertyList::readFile(path);
    EXPECT_TRUE(read.ok());
    return read.value.toMap();
}

QVariant unsignedNumber(quint32 value)
{
    return QVariant::fromValue(value);
}

} // namespace

TEST(Settings, APackageWithoutSettingsOpensWithEveryDefault)
{
    TWFixedClock clock(2024, 3, 15, 9, 30);
    TWTestTempDir dir;
    auto business = twNewBusiness(QStringLiteral("EUR"));
    ASSERT_TRUE(business);
    const QUrl url = twPackageURL(dir, QStringLiteral("Doc"));
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
    const QString settingsPath = twPackageFile(url, QStringLiteral("Settings.plist"));
    clock.set(twLocal(2024, 3, 16, 8));
    // The same defaults as a new business, which orders its accounts by hand.
    QVariantMap expected = twNewBusiness(QStringLiteral("USD"))->settings();
    expected[QStringLiteral("sortBy")] = unsignedNumber(0);
    // Missing, unreadable, or not a dictionary.
    for (const QByteArray &content :
         {QByteArray(), QByteArray("<?xml version=\"1.0\"?><plist><dict><key>sortBy"),
          QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><integer>1</integer>"
                     "</array></plist>")}) {
        if (content.isEmpty())
            ASSERT_TRUE(QFile::remove(settingsPath));
        else
            ASSERT_TRUE(twWriteBytes(settingsPath, content));
        auto opened = twOpenPackage(url);
        ASSERT_TRUE(opened);
        EXPECT_EQ(opened->settings(), expected);
        EXPECT_EQ(opened->lastDate(), clock.now());
        EXPECT_EQ(opened->lastUnit(), opened->unitWithCode(QStringLiteral("USD")));
    }
}

TEST(Settings, EverySettingSurvivesASaveAndAnOpening)
{
    TWFixedClock clock(2024, 3, 15, 9, 30);
    TWTestTempDir dir;
    auto business = twNewBusiness(QStringLiteral("EUR"));
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const QVariantMap sendInvoice{{QStringLiteral("layout"), QStringLiteral("Classic")},
                                  {QStringLiteral("totalDueLabel"), QStringLiteral("Owing")},
                                  {QStringLiteral("displayBits"), unsignedNumber(0x7FFFu)}};
    b.setSortBy(0);
    b.setMasterExpanded(0x15);
    b.setLastUnit(b.unitWithCode(QStringLiteral("CAD")));
    b.setLastMileageUnit(b.unitWithCode(QStringLiteral("KM")));
    ASSERT_TRUE(b.lastMileageUnit());
    b.setLastAccount1Identifier(101);
    b.setLastAccount2Identifier(102);
    b.setColumnSettings(
        {{0u, QVariantMap{{QStringLiteral("sortField"), unsignedNumber(4294967293u)},
                          {QStringLiteral("fields"),
                           QVariantList{QVariantMap{{QStringLiteral("identifier"), -3},
                                                    {QStringLiteral("width"), 120.5f}}}}}}});
    b.setDocumentFrame(QRectF(10, 20.5, 800, 600));
    b.setMasterDividerPosition(123.456);
    b.setSelectedMasterItemSettings(QVariantList{QStringLiteral("account"), 101});
    b.setTransactionDetailsDisclosure(0xFFFFFFF0);
    b.setVoiceMemoAudioQuality(2);
    b.setShowSummary(false);
    b.setBudgetStartDate(twLocal(2024, 1, 1));
    b.setLastCurrencyUpdateDate(twLocal(2024, 3, 14, 18, 5, 7));
    b.setSearchFieldType(-3);
    b.setAutofill(true);
    b.setTransactionRangeType(-3);
    b.setTransactionRangeFromDate(twLocal(2024, 2, 1));
    b.setTransactionRangeToDate(twLocal(2024, 2, 29, 23, 59, 59));
    const TWSendInvoiceDataPtr record = twRestoredSendInvoiceData(sendInvoice, b);
    b.setSendInvoiceData({{105, record}});
    b.setImportTransactionsSettings(
        {{QStringLiteral("Bank"), QVariantMap{{QStringLiteral("type"), unsignedNumber(2)},
                                              {QStringLiteral("account"), 101}}}});
    b.setImportTasksSettings({{QStringLiteral("tasks"), 1}});
    b.setExportTransactionsSettings(twRestoredExportTransactionsSettings(
        QVariantMap{{QStringLiteral("accounts"), QVariantList{100, 101}}}, b));
    b.setExportTasksSettings(
        twRestoredExportTasksSettings(QVariantMap{{QStringLiteral("fileType"), 1}}, b));
    const QVariantMap written = b.settings();
    EXPECT_EQ(written.size(), 36);

    const QUrl url = twPackageURL(dir, QStringLiteral("Doc"));
    ASSERT_OK(b.writeToURL(url, TWSaveOperationSaveAs));
    clock.set(twLocal(2024, 3, 20, 8));
    auto opened = twOpenPackage(url);
    ASSERT_TRUE(opened);
    const TWBusiness &o = *opened;
    // Everything comes back, in the types the file holds; only the moment of
    // opening is new.
    QVariantMap expected = written;
    expected[QStringLiteral("lastStartupDate")] = clock.now();
    EXPECT_EQ(o.settings(), expected);
    // Besides the settings, the file holds the save generation it pairs with.
    QVariantMap stored = readSettings(twPackageFile(url, QStringLiteral("Settings.plist")));
    EXPECT_EQ(stored.take(QStringLiteral("packageGeneration")).toLongLong(), 1);
    // And the business's identity, which its copies carry.
    EXPECT_EQ(stored.take(QStringLiteral("businessIdentity")).toString(), b.businessIdentity());
    EXPECT_FALSE(b.businessIdentity().isEmpty());
    // And the token of the save that wrote it, which its database holds too.
    EXPECT_EQ(stored.take(QStringLiteral("packageToken")).toLongLong(),
              TWPackageMark::of(twPackageFile(url, QStringLiteral("Data.sql")))->token);
    EXPECT_EQ(stored.keys(), written.keys());
    EXPECT_EQ(o.lastUnit(), o.unitWithCode(QStringLiteral("CAD")));
    EXPECT_EQ(o.lastMileageUnit(), o.unitWithCode(QStringLiteral("KM")));
    ASSERT_TRUE(o.sendInvoiceData().value(105));
    EXPECT_EQ(o.sendInvoiceData().value(105)->settings(), record->settings());
    EXPECT_EQ(o.sendInvoiceData().value(105)->totalDueLabel(), QStringLiteral("Owing"));
    EXPECT_EQ(o.sendInvoiceData().value(105)->displayBits(), 0x7FFFu);
}

TEST(Settings, SortModeRenumbersEveryKindAtomically)
{
    auto business = twNewBusiness(QStringLiteral("USD"));
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    ASSERT_EQ(b.sortBy(), 1u);
    const auto orders = [&b](const char *table) {
        return twQueryText(b, QStringLiteral("SELECT group_concat(identifier || ':' || sortOrder) "
                                             "FROM (SELECT * FROM %1 ORDER BY identifier);")
                                  .arg(QLatin1String(table)))
            .value_or(QString());
    };
    ASSERT_OK(b.setSortBy(0));
    const QString accountsByName = orders("accounts");
    const QString reportsByName = orders("reports");
    twExec(b, QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON reports BEGIN "
                             "SELECT RAISE(ABORT, 'no'); END;"));
    EXPECT_TRUE(b.setSortBy(1));
    EXPECT_EQ(b.sortBy(), 0u);
    EXPECT_EQ(orders("accounts"), accountsByName);
    EXPECT_EQ(orders("reports"), reportsByName);

    twExec(b, QStringLiteral("DROP TRIGGER refuse;"));
    ASSERT_OK(b.setSortBy(1));
    EXPECT_EQ(b.sortBy(), 1u);
    // Manual order numbers the siblings from the visible (by-name) order.
    EXPECT_NE(orders("accounts"), accountsByName);
}

// Days kept in the settings (the budget's start, the register's range, an
// export's range) are the same days wherever the business is opened, and so
// are those an earlier build wrote as the moment the day began in Berlin.
TEST(SettingsDays, ADaySavedInOneZoneIsThatDayInAnother)
{
    TWTestTempDir dir;
    const QUrl url = twPackageURL(dir, QStringLiteral("Doc"));
    const auto day = [](const QDateTime &date) { return date.toLocalTime().date(); };
    {
        const TWZoneGuard zone("Europe/Berlin");
        auto business = twNewBusiness(QStringLiteral("EUR"));
        business->setBudgetStartDate(QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
        business->exportTransactionsSettings()->setIntervalToDate(
            QDateTime(QDate(2025, 1, 9), QTime(23, 30)));
        ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
    }
    const TWZoneGuard zone("America/New_York");
    auto opened = twOpenPackage(url);
    EXPECT_EQ(day(opened->budgetStartDate()), QDate(2026, 1, 1));
    EXPECT_EQ(day(opened->exportTransactionsSettings()->intervalToDate()), QDate(2025, 1, 9));
    // As an earlier build kept them in Berlin: the UTC moments of local midnight.
    const QString file = twPackageFile(url, QStringLiteral("Settings.plist"));
    QVariantMap written = readSettings(file);
    written[QStringLiteral("transactionRangeFromDate")] =
        QDateTime(QDate(2025, 1, 2), QTime(23, 0), Qt::UTC);
    ASSERT_OK(TWPropertyList::writeFile(written, file));
    opened = twOpenPackage(url);
    EXPECT_EQ(day(opened->transactionRangeFromDate()), QDate(2025, 1, 3));
    // Kept in the property list's own date type.
    EXPECT_EQ(opened->settings().value(QStringLiteral("transactionRangeFromDate")).metaType().id(),
              QMetaType::QDateTime);
}
