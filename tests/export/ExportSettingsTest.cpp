// The three export settings records: fresh defaults, a round trip through a
// saved and reopened document, restoring with records gone, copies, and the
// store's add and remove hooks.

#include "TWExportTestSupport.h"
#include "store/TWExportSettingsRecords.h"

#include <QUrl>

#include <gtest/gtest.h>

namespace
{

TWClientPtr addClient(TWBusiness &business, qint32 identifier)
{
    auto client = std::make_shared<TWClient>(
        identifier, QStringLiteral("Client %1").arg(identifier), QString(), 0, 0, QImage(),
        QString(), QString(), QString(), QUrl(), QString(), QString());
    EXPECT_OK(business.addClient(client, false));
    return client;
}

TWProjectPtr addProject(TWBusiness &business, qint32 identifier, qint32 client)
{
    TWProjectPtr project = TWProject::projectWithDate(
        twLocal(2024, 3, 1), false, QStringLiteral("Project %1").arg(identifier),
        TWProjectTypeProject, QDateTime(), QDateTime(), 5000, business.homeUnit(), 7.5, QString(),
        client, identifier);
    EXPECT_OK(business.addProject(project, false));
    return project;
}

TWFilterPtr addFilter(TWBusiness &business, qint32 identifier)
{
    TWFilterPtr filter =
        TWFilter::filterWithIdentifier(identifier, QStringLiteral("Filter"), 0, 0,
                                       TWFilterCriteria::filterCriteriaCompoundWithMatch(0, {}));
    EXPECT_OK(business.addFilter(filter, false));
    return filter;
}

template <typename List> QList<qint32> identifiers(const List &records)
{
    QList<qint32> result;
    for (const auto &record : records)
        result.append(record ? record->identifier() : 0);
    return result;
}

} // namespace

TEST(ExportSettingsTest, RecordsSurviveASavedAndReopenedDocument)
{
    TWFixedClock clock(2024, 3, 20, 9, 30);
    TWTestTempDir dir;
    auto business = twSeededBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    addClient(b, 1);
    addProject(b, 10, 1);
    addProject(b, 11, 1);
    const TWFilterPtr filter = addFilter(b, 300);
    const TWFieldList fields{b.fieldWithIdentifier(-3), b.fieldWithIdentifier(-12),
                             b.fieldWithIdentifier(-5)};
    b.setExportTransactionsSettings(
        TWExportTransactionsSettings::exportTransactionsSettingsWithFileType(
            TWExportFileTypeOFX, filter, 6, twLocal(2024, 1, 1), twLocal(2024, 2, 29, 23, 59, 59),
            {b.accountWithIdentifier(kCard), b.accountWithIdentifier(kChecking)}, fields, false));
    b.setExportTasksSettings(TWExportTasksSettings::exportTasksSettingsWithFileType(
        2, 3, twLocal(2024, 1, 2), twLocal(2024, 1, 3), {b.projectWithIdentifier(11)},
        {-6, -14, -99}));
    b.setExportExpensesSettings(TWExportExpensesSettings::exportExpensesSettingsWithFileType(
        1, 5, twLocal(2024, 1, 4), twLocal(2024, 1, 5), {b.projectWithIdentifier(10)}, {-4, -9}));
    const QUrl url = QUrl::fromLocalFile(dir.filePath(QStringLiteral("Doc.tallyworth")));
    ASSERT_OK(b.writeToURL(url, TWSaveOperationSaveAs));

    TWErrorResult error;
    auto opened = TWBusiness::businessWithURL(url, false, &error);
    ASSERT_TRUE(opened);
    const auto &t = *opened->exportTransactionsSettings();
    EXPECT_EQ(t.fileType(), 4u);
    ASSERT_TRUE(t.filter());
    EXPECT_EQ(t.filter()->identifier(), 300);
    EXPECT_EQ(t.filter(), opened->filterWithIdentifier(300));
    EXPECT_EQ(t.interval(), 6u);
    EXPECT_EQ(t.intervalFromDate(), twLocal(2024, 1, 1));
    // The range's ends are kept as days; the export itself runs to the end of the last one.
    EXPECT_EQ(t.intervalToDate(), twLocal(2024, 2, 29));
    EXPECT_EQ(identifiers(t.accounts()), QList<qint32>({kCard, kChecking}));
    EXPECT_EQ(t.accounts().constFirst(), opened->accountWithIdentifier(kCard));
    EXPECT_EQ(identifiers(t.fields()), QList<qint32>({-3, -12, -5}));
    EXPECT_FALSE(t.includeAttachments());
    EXPECT_EQ(t.settings(), b.exportTransactionsSettings()->settings());

    const auto &tasks = *opened->exportTasksSettings();
    EXPECT_EQ(tasks.fileType(), 2u);
    EXPECT_EQ(tasks.interval(), 3u);
    EXPECT_EQ(identifiers(tasks.projects()), QList<qint32>{11});
    EXPECT_EQ(tasks.fields(), QList<qint32>({-6, -14, -99})); // unknown codes kept
    EXPECT_EQ(tasks.settings(), b.exportTasksSettings()->settings());
    EXPECT_EQ(opened->exportExpensesSettings()->settings(), b.exportExpensesSettings()->settings());
}

TEST(ExportSettingsTest, RestoringDropsWhatIsGone)
{
    TWFixedClock clock(2024, 3, 20, 9, 30);
    auto business = twSeededBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWFilterPtr filter = addFilter(b, 300);
    ASSERT_OK(b.deleteFilter(filter, false));
    const QVariantMap stored{{"accounts", QVariantList{kCard, 999, kChecking}},
                             {"fields", QVariantList{-3, 777}},
                             {"filterIdentifier", 300},
                             {"interval", 6u}};
    const auto record = twRestoredExportTransactionsSettings(stored, b);
    EXPECT_EQ(identifiers(record->accounts()), QList<qint32>({kCard, kChecking}));
    EXPECT_EQ(identifiers(record->fields()), QList<qint32>{-3});
    EXPECT_FALSE(record->filter());
    EXPECT_EQ(record->settings().value("filterIdentifier").toInt(), 0);
    // Missing dates: the week up to now, so the custom interval is valid.
    EXPECT_EQ(record->intervalFromDate().secsTo(record->intervalToDate()), 604800);
    EXPECT_TRUE(record->includeAttachments());

    const auto empty = twRestoredExportTransactionsSettings({}, b);
    EXPECT_TRUE(empty->accounts().isEmpty());
    EXPECT_TRUE(empty->fields().isEmpty());

    // The hooks: deleting the chosen filter, an account, a field.
    const TWFilterPtr chosen = addFilter(b, 301);
    const TWFieldPtr job = TWField::fieldWithName(QStringLiteral("Job"), TWFieldTypeText, false,
                                                  false, b.nextFieldIdentifier());
    ASSERT_OK(b.addField(job, false));
    TWExportTransactionsSettingsPtr live = b.exportTransactionsSettings();
    EXPECT_EQ(live->fields().constLast(), job);
    live->setFilter(chosen);
    ASSERT_OK(b.deleteFilter(chosen, false));
    EXPECT_FALSE(live->filter());
    ASSERT_OK(b.deleteField(job, false));
    EXPECT_FALSE(live->fields().contains(job));
    const TWAccountPtr card = b.accountWithIdentifier(kCard);
    live->removeAccount(card, nullptr, nullptr);
    EXPECT_FALSE(live->accounts().contains(card));
}

TEST(ExportSettingsTest, DeletingAClientRemovesItsProjects)
{
    auto business = twSeededBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWClientPtr first = addClient(b, 1);
    addClient(b, 2);
    addProject(b, 10, 1);
    addProject(b, 11, 1);
    addProject(b, 12, 2);
    // A record naming only one of the client's projects loses both.
    b.setExportExpensesSettings(TWExportExpensesSettings::exportExpensesSettingsWithFileType(
        0, 0, QDateTime(), QDateTime(), {b.projectWithIdentifier(12), b.projectWithIdentifier(11)},
        {-1}));
    ASSERT_OK(b.deleteClient(first, false));
    EXPECT_EQ(identifiers(b.exportTasksSettings()->projects()), QList<qint32>{12});
    EXPECT_EQ(identifiers(b.exportExpensesSettings()->projects()), QList<qint32>{12});
}
