// The document settings: defaults of a new business and of a package without
// them, every setting through a save and an opening, and how stored values of
// the wrong width, type or content are read.

#include "TWBusiness.h"
#include "TWPackageTestSupport.h"
#include "TWPropertyList.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"

#include <gtest/gtest.h>

namespace
{

// A package saved from a new business in `dir`; the business stays open.
struct SavedPackage {
    std::unique_ptr<TWBusiness> business;
    QUrl url;
    QString settingsPath;
};

SavedPackage savedPackage(const TWTestTempDir &dir, const QString &homeCurrency = QStringLiteral("EUR"))
{
    SavedPackage saved;
    saved.business = twNewBusiness(homeCurrency);
    saved.url = twPackageURL(dir, QStringLiteral("Doc"));
    saved.settingsPath = twPackageFile(saved.url, QStringLiteral("Settings.plist"));
    if (saved.business) {
        const TWErrorResult error = saved.business->writeToURL(saved.url, TWSaveOperationSaveAs);
        EXPECT_FALSE(error) << twDescribe(error);
    }
    return saved;
}

QVariantMap readSettings(const QString &path)
{
    const TWResult<QVariant> read = TWPropertyList::readFile(path);
    EXPECT_TRUE(read.ok());
    return read.value.toMap();
}

void writeSettings(const QString &path, const QVariant &settings)
{
    const TWErrorResult error = TWPropertyList::writeFile(settings, path);
    ASSERT_FALSE(error) << twDescribe(error);
}

// Opens the package after replacing its settings file.
std::unique_ptr<TWBusiness> openWithSettings(const SavedPackage &saved, const QVariant &settings)
{
    writeSettings(saved.settingsPath, settings);
    return twOpenPackage(saved.url);
}

void expectDefaultsOfAnOpenedPackage(const TWBusiness &b, const QDateTime &now)
{
    EXPECT_EQ(b.sortBy(), 0u);
    EXPECT_EQ(b.masterExpanded(), 0xFFFFFFFFu);
    ASSERT_TRUE(b.lastUnit());
    EXPECT_EQ(b.lastUnit()->code(), QStringLiteral("USD"));
    EXPECT_FALSE(b.lastMileageUnit());
    EXPECT_EQ(b.lastAccount1Identifier(), 0);
    EXPECT_EQ(b.lastAccount2Identifier(), 0);
    EXPECT_TRUE(b.columnSettings().isEmpty());
    EXPECT_EQ(b.documentFrame(), QRectF());
    EXPECT_EQ(b.masterDividerPosition(), 260.0);
    EXPECT_EQ(b.transactionDividerPosition(), 0.0);
    EXPECT_EQ(b.clientDividerPosition(), 800.0);
    for (const double position : {b.taskDividerPosition(), b.invoiceDividerPosition(),
                                  b.merchantDividerPosition(), b.fieldDividerPosition(),
                                  b.repeatDividerPosition()})
        EXPECT_EQ(position, 250.0);
    EXPECT_FALSE(b.selectedMasterItemSettings());
    EXPECT_EQ(b.transactionDetailsDisclosure(), 0xFFFFFFFFu);
    EXPECT_EQ(b.voiceMemoAudioQuality(), 1u);
    EXPECT_TRUE(b.showSummary());
    EXPECT_EQ(b.budgetStartDate(), now);
    EXPECT_FALSE(b.lastCurrencyUpdateDate().isValid());
    EXPECT_EQ(b.searchFieldType(), 0);
    EXPECT_FALSE(b.autofill());
    EXPECT_EQ(b.transactionRangeType(), 0);
    EXPECT_FALSE(b.transactionRangeFromDate().isValid());
    EXPECT_FALSE(b.transactionRangeToDate().isValid());
    EXPECT_TRUE(b.sendInvoiceData().isEmpty());
    EXPECT_TRUE(b.importTransactionsSettings().isEmpty());
    EXPECT_TRUE(b.importTasksSettings().isEmpty());
    EXPECT_TRUE(b.importExpensesSettings().isEmpty());
    ASSERT_TRUE(b.exportTransactionsSettings());
    ASSERT_TRUE(b.exportTasksSettings());
    ASSERT_TRUE(b.exportExpensesSettings());
    EXPECT_EQ(b.lastDate(), now);
}

} // namespace

TEST(Settings, NewBusinessDefaults)
{
    TWFixedClock clock(2024, 3, 15, 9, 30);
    auto business = twNewBusiness(QStringLiteral("EUR"));
    ASSERT_TRUE(business);
    const TWBusiness &b = *business;
    EXPECT_EQ(b.sortBy(), 1u);
    EXPECT_EQ(b.masterExpanded(), 0xFFFFFFFFu);
    ASSERT_TRUE(b.lastUnit());
    EXPECT_EQ(b.lastUnit(), b.homeUnit());
    EXPECT_EQ(b.lastUnit()->code(), QStringLiteral("EUR"));
    EXPECT_EQ(b.lastDate(), clock.now());
    EXPECT_EQ(b.budgetStartDate(), clock.now());
    EXPECT_EQ(b.lastStartupDate(), clock.now());
    EXPECT_EQ(b.masterDividerPosition(), 260.0);
    EXPECT_EQ(b.clientDividerPosition(), 800.0);
    EXPECT_EQ(b.repeatDividerPosition(), 250.0);
    EXPECT_TRUE(b.showSummary());
    EXPECT_EQ(b.voiceMemoAudioQuality(), 1u);
    ASSERT_TRUE(b.exportTransactionsSettings());
    EXPECT_TRUE(b.exportTransactionsSettings()->settings().isEmpty());

    // Only keys that hold something are written.
    const QVariantMap settings = b.settings();
    EXPECT_FALSE(settings.contains(QStringLiteral("lastMileageUnitCode")));
    EXPECT_FALSE(settings.contains(QStringLiteral("selectedMasterItemSettings")));
    EXPECT_FALSE(settings.contains(QStringLiteral("lastCurrencyUpdateDate")));
    EXPECT_FALSE(settings.contains(QStringLiteral("transactionRangeFromDate")));
    EXPECT_EQ(settings.value(QStringLiteral("lastUnitCode")), QStringLiteral("EUR"));
    EXPECT_EQ(settings.value(QStringLiteral("sendInvoiceDataByClient")).toMap(), QVariantMap());
    EXPECT_EQ(settings.size(), 31);
}

TEST(Settings, APackageWithoutSettingsOpensWithEveryDefault)
{
    TWFixedClock clock(2024, 3, 15, 9, 30);
    TWTestTempDir dir;
    SavedPackage saved = savedPackage(dir);
    ASSERT_TRUE(saved.business);
    ASSERT_TRUE(QFile::remove(saved.settingsPath));
    clock.set(twLocal(2024, 3, 16, 8));
    auto opened = twOpenPackage(saved.url);
    ASSERT_TRUE(opened);
    expectDefaultsOfAnOpenedPackage(*opened, clock.now());
    // Opening brought the periods up to date and recorded the moment.
    EXPECT_EQ(opened->activeAccountingPeriodIdentifier(), 100);
    EXPECT_EQ(opened->lastStartupDate(), clock.now());

    // Unreadable, or not a dictionary: the same.
    for (const QByteArray &content :
         {QByteArray("<?xml version=\"1.0\"?><plist><dict><key>sortBy"),
          QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><integer>1</integer>"
                     "</array></plist>")}) {
        ASSERT_TRUE(twWriteBytes(saved.settingsPath, content));
        auto again = twOpenPackage(saved.url);
        ASSERT_TRUE(again);
        expectDefaultsOfAnOpenedPackage(*again, clock.now());
    }
}

TEST(Settings, EverySettingSurvivesASaveAndAnOpening)
{
    TWFixedClock clock(2024, 3, 15, 9, 30);
    TWTestTempDir dir;
    auto business = twNewBusiness(QStringLiteral("EUR"));
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const QVariantMap columns{
        {QStringLiteral("0"),
         QVariantMap{{QStringLiteral("sortField"), QVariant::fromValue(quint32(4294967293u))},
                     {QStringLiteral("fields"), QVariantList{QVariantMap{
                                                    {QStringLiteral("identifier"), -3},
                                                    {QStringLiteral("width"), 120.5}}}}}}};
    const QVariantMap sendInvoice{{QStringLiteral("layout"), QStringLiteral("Classic")},
                                  {QStringLiteral("copies"), 2}};
    const QVariantMap import{{QStringLiteral("Bank CSV"),
                              QVariantMap{{QStringLiteral("type"), QVariant::fromValue(2u)},
                                          {QStringLiteral("account"), 101}}}};
    const QVariantMap exported{{QStringLiteral("format"), QStringLiteral("CSV")},
                               {QStringLiteral("accounts"), QVariantList{100, 101}}};

    ASSERT_FALSE(b.setSortBy(0));
    b.setMasterExpanded(0x15);
    b.setActiveAccountingPeriodIdentifier(100);
    b.setLastUnit(b.unitWithCode(QStringLiteral("CAD")));
    b.setLastMileageUnit(b.unitWithCode(QStringLiteral("KM")));
    ASSERT_TRUE(b.lastMileageUnit());
    b.setLastAccount1Identifier(101);
    b.setLastAccount2Identifier(102);
    b.setColumnSettings(columns);
    b.setDocumentFrame(QRectF(10, 20.5, 800, 600));
    b.setMasterDividerPosition(123.456);
    b.setTransactionDividerPosition(1);
    b.setClientDividerPosition(2);
    b.setTaskDividerPosition(3);
    b.setInvoiceDividerPosition(4);
    b.setMerchantDividerPosition(5);
    b.setFieldDividerPosition(6);
    b.setRepeatDividerPosition(7);
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
    b.setSendInvoiceData({{105, std::make_shared<TWSendInvoiceData>(sendInvoice)}});
    b.setImportTransactionsSettings(import);
    b.setImportTasksSettings({{QStringLiteral("tasks"), 1}});
    b.setImportExpensesSettings({{QStringLiteral("expenses"), 2}});
    b.setExportTransactionsSettings(std::make_shared<TWExportTransactionsSettings>(exported));
    b.setExportTasksSettings(std::make_shared<TWExportTasksSettings>(
        QVariantMap{{QStringLiteral("tasks"), true}}));
    b.setExportExpensesSettings(std::make_shared<TWExportExpensesSettings>(
        QVariantMap{{QStringLiteral("expenses"), 1.5}}));
    EXPECT_EQ(b.settings().size(), 36);

    const QUrl url = twPackageURL(dir, QStringLiteral("Doc"));
    ASSERT_FALSE(b.writeToURL(url, TWSaveOperationSaveAs));
    clock.set(twLocal(2024, 3, 20, 8));
    auto opened = twOpenPackage(url);
    ASSERT_TRUE(opened);
    const TWBusiness &o = *opened;
    EXPECT_EQ(o.sortBy(), 0u);
    EXPECT_EQ(o.masterExpanded(), 0x15u);
    EXPECT_EQ(o.activeAccountingPeriodIdentifier(), 100);
    EXPECT_EQ(o.lastStartupDate(), clock.now());
    EXPECT_EQ(o.lastDate(), clock.now());
    EXPECT_EQ(o.lastUnit(), o.unitWithCode(QStringLiteral("CAD")));
    EXPECT_EQ(o.lastMileageUnit(), o.unitWithCode(QStringLiteral("KM")));
    EXPECT_EQ(o.lastAccount1Identifier(), 101);
    EXPECT_EQ(o.lastAccount2Identifier(), 102);
    EXPECT_EQ(o.documentFrame(), QRectF(10, 20.5, 800, 600));
    // Dividers are kept as 32-bit floats.
    EXPECT_EQ(o.masterDividerPosition(), double(float(123.456)));
    EXPECT_NE(o.masterDividerPosition(), 123.456);
    EXPECT_EQ(o.transactionDividerPosition(), 1.0);
    EXPECT_EQ(o.clientDividerPosition(), 2.0);
    EXPECT_EQ(o.taskDividerPosition(), 3.0);
    EXPECT_EQ(o.invoiceDividerPosition(), 4.0);
    EXPECT_EQ(o.merchantDividerPosition(), 5.0);
    EXPECT_EQ(o.fieldDividerPosition(), 6.0);
    EXPECT_EQ(o.repeatDividerPosition(), 7.0);
    EXPECT_EQ(o.selectedMasterItemSettings(),
              std::optional<QVariantList>(QVariantList{QStringLiteral("account"), 101}));
    EXPECT_EQ(o.transactionDetailsDisclosure(), 0xFFFFFFF0u);
    EXPECT_EQ(o.voiceMemoAudioQuality(), 2u);
    EXPECT_FALSE(o.showSummary());
    EXPECT_EQ(o.budgetStartDate(), twLocal(2024, 1, 1));
    EXPECT_EQ(o.lastCurrencyUpdateDate(), twLocal(2024, 3, 14, 18, 5, 7));
    EXPECT_EQ(o.searchFieldType(), -3);
    EXPECT_TRUE(o.autofill());
    EXPECT_EQ(o.transactionRangeType(), -3);
    EXPECT_EQ(o.transactionRangeFromDate(), twLocal(2024, 2, 1));
    EXPECT_EQ(o.transactionRangeToDate(), twLocal(2024, 2, 29, 23, 59, 59));
    ASSERT_TRUE(o.sendInvoiceData().value(105));
    EXPECT_EQ(o.sendInvoiceData().value(105)->settings(), sendInvoice);
    EXPECT_EQ(o.importTasksSettings().value(QStringLiteral("tasks")).toInt(), 1);
    EXPECT_EQ(o.importExpensesSettings().value(QStringLiteral("expenses")).toInt(), 2);
    EXPECT_EQ(o.exportTasksSettings()->settings().value(QStringLiteral("tasks")), true);
    EXPECT_EQ(o.exportExpensesSettings()->settings().value(QStringLiteral("expenses")), 1.5);

    // The dictionaries kept for other parts come back as they were stored,
    // and go out again unchanged.
    const QString settingsPath = twPackageFile(url, QStringLiteral("Settings.plist"));
    const QVariantMap written = readSettings(settingsPath);
    EXPECT_EQ(o.columnSettings(), written.value(QStringLiteral("columnSettings")).toMap());
    EXPECT_EQ(o.importTransactionsSettings(),
              written.value(QStringLiteral("importTransactionsSettings")).toMap());
    EXPECT_EQ(o.exportTransactionsSettings()->settings(),
              written.value(QStringLiteral("exportTransactionsSettings")).toMap());
    const QUrl again = twPackageURL(dir, QStringLiteral("Again"));
    ASSERT_FALSE(opened->writeToURL(again, TWSaveOperationSaveAs));
    QVariantMap rewritten = readSettings(twPackageFile(again, QStringLiteral("Settings.plist")));
    QVariantMap original = written;
    // Only the moment of opening differs.
    EXPECT_NE(rewritten.take(QStringLiteral("lastStartupDate")),
              original.take(QStringLiteral("lastStartupDate")));
    EXPECT_EQ(rewritten, original);

    // What the file holds: widths and signs as the fields have them.
    EXPECT_EQ(written.value(QStringLiteral("searchFieldType")).toLongLong(), -3);
    EXPECT_EQ(written.value(QStringLiteral("transactionDetailsDisclosure")).toLongLong(),
              0xFFFFFFF0LL);
    EXPECT_EQ(written.value(QStringLiteral("documentFrame")).toString(),
              QStringLiteral("{{10, 20.5}, {800, 600}}"));
    EXPECT_EQ(written.value(QStringLiteral("lastMileageUnitCode")), QStringLiteral("KM"));
    EXPECT_EQ(written.value(QStringLiteral("sendInvoiceDataByClient")).toMap().keys(),
              QStringList{QStringLiteral("105")});
}

TEST(Settings, StoredValuesAreReadWithTheWidthAndTypeOfTheirField)
{
    TWFixedClock clock(2024, 3, 15, 9, 30);
    TWTestTempDir dir;
    SavedPackage saved = savedPackage(dir);
    ASSERT_TRUE(saved.business);

    QVariantMap settings = readSettings(saved.settingsPath);
    // Negative numbers in unsigned fields keep their low 32 bits; large ones
    // in signed fields read as negative.
    settings[QStringLiteral("masterExpanded")] = -3;
    settings[QStringLiteral("searchFieldType")] = QVariant::fromValue(quint32(4294967293u));
    settings[QStringLiteral("masterDividerPosition")] = 123.456;
    // A code naming no unit, a mileage code naming none.
    settings[QStringLiteral("lastUnitCode")] = QStringLiteral("XXX");
    settings[QStringLiteral("lastMileageUnitCode")] = QStringLiteral("YYY");
    // Values of the wrong type give the defaults.
    settings[QStringLiteral("sortBy")] = QStringLiteral("one");
    settings[QStringLiteral("columnSettings")] = QVariantList{1, 2};
    settings[QStringLiteral("documentFrame")] = QStringLiteral("{{1, 2}, {3}}");
    settings[QStringLiteral("lastCurrencyUpdateDate")] = QStringLiteral("yesterday");
    settings[QStringLiteral("selectedMasterItemSettings")] = QStringLiteral("account");
    settings[QStringLiteral("exportTasksSettings")] = 5;
    settings[QStringLiteral("importTasksSettings")] = QStringLiteral("tasks");
    // Send-invoice entries under client keys; others are left out.
    settings[QStringLiteral("sendInvoiceDataByClient")] = QVariantMap{
        {QStringLiteral("105"), QVariantMap{{QStringLiteral("subject"), QStringLiteral("Hi")}}},
        {QStringLiteral("client"), QVariantMap{{QStringLiteral("subject"), QStringLiteral("x")}}},
        {QStringLiteral("106"), QStringLiteral("not a dictionary")}};

    auto opened = openWithSettings(saved, settings);
    ASSERT_TRUE(opened);
    const TWBusiness &o = *opened;
    EXPECT_EQ(o.masterExpanded(), 4294967293u);
    EXPECT_EQ(o.searchFieldType(), -3);
    EXPECT_EQ(o.masterDividerPosition(), double(float(123.456)));
    ASSERT_TRUE(o.lastUnit());
    EXPECT_EQ(o.lastUnit()->code(), QStringLiteral("USD"));
    EXPECT_FALSE(o.lastMileageUnit());
    EXPECT_EQ(o.sortBy(), 0u);
    EXPECT_TRUE(o.columnSettings().isEmpty());
    EXPECT_EQ(o.documentFrame(), QRectF());
    EXPECT_FALSE(o.lastCurrencyUpdateDate().isValid());
    EXPECT_FALSE(o.selectedMasterItemSettings());
    ASSERT_TRUE(o.exportTasksSettings());
    EXPECT_TRUE(o.exportTasksSettings()->settings().isEmpty());
    EXPECT_TRUE(o.importTasksSettings().isEmpty());
    EXPECT_EQ(o.sendInvoiceData().keys(), QList<qint32>{105});
    EXPECT_EQ(o.sendInvoiceData().value(105)->settings().value(QStringLiteral("subject")),
              QStringLiteral("Hi"));

    // A home currency other than the dollar is no fallback for the last unit.
    settings.remove(QStringLiteral("lastUnitCode"));
    auto withoutUnit = openWithSettings(saved, settings);
    ASSERT_TRUE(withoutUnit);
    EXPECT_EQ(withoutUnit->homeUnit()->code(), QStringLiteral("EUR"));
    EXPECT_EQ(withoutUnit->lastUnit()->code(), QStringLiteral("USD"));
}

TEST(Settings, KeysWrittenOnlyWhenSet)
{
    TWFixedClock clock(2024, 3, 15, 9, 30);
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    business->setTransactionRangeType(11);
    business->setTransactionRangeToDate(twLocal(2024, 3, 31));
    business->setLastUnit(nullptr);
    business->setBudgetStartDate({});
    const QVariantMap settings = business->settings();
    EXPECT_FALSE(settings.contains(QStringLiteral("transactionRangeFromDate")));
    EXPECT_TRUE(settings.contains(QStringLiteral("transactionRangeToDate")));
    EXPECT_FALSE(settings.contains(QStringLiteral("lastUnitCode")));
    EXPECT_FALSE(settings.contains(QStringLiteral("budgetStartDate")));
    EXPECT_FALSE(settings.contains(QStringLiteral("lastMileageUnitCode")));
    // Always written.
    for (const char *key : {"sortBy", "columnSettings", "documentFrame", "autofill",
                            "sendInvoiceDataByClient", "importExpensesSettings"})
        EXPECT_TRUE(settings.contains(QLatin1String(key))) << key;
}

TEST(Settings, SortByChangesOnlyWhenDifferent)
{
    TWFixedClock clock(2024, 3, 15);
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    ASSERT_EQ(business->sortBy(), 1u);
    EXPECT_FALSE(business->setSortBy(1));
    EXPECT_EQ(business->sortBy(), 1u);
    EXPECT_FALSE(business->setSortBy(0));
    EXPECT_EQ(business->sortBy(), 0u);
}
