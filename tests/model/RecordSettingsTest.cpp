// Export settings and invoice print data made from values alone: what the store hands the model
// when it restores a document's settings or gathers an invoice before rendering.

#include "model/TWExportSettings.h"
#include "model/TWSendInvoiceData.h"

#include <gtest/gtest.h>

namespace
{

template <typename List> QList<qint32> identifiers(const List &records)
{
    QList<qint32> result;
    for (const auto &record : records)
        result.append(record->identifier());
    return result;
}

TWAccountPtr account(qint32 identifier)
{
    auto made = std::make_shared<TWAccount>();
    made->setIdentifier(identifier);
    return made;
}

} // namespace

TEST(RecordSettings, ExportSettingsKeepOnlyWhatTheLookupsStillFind)
{
    TWExportRecordLookups lookups;
    lookups.filter = [](qint32) { return TWFilterPtr(); };
    lookups.account = [](qint32 identifier) {
        return identifier < 500 ? account(identifier) : nullptr;
    };
    lookups.field = [](qint32) { return TWFieldPtr(); };
    lookups.project = [](qint32 identifier) {
        auto project = std::make_shared<TWProject>();
        project->setIdentifier(identifier);
        return identifier == 7 ? project : nullptr;
    };
    const QVariantMap stored{{"accounts", QVariantList{101, 999, 102, QStringLiteral("x")}},
                             {"fields", QVariantList{-3}},
                             {"filterIdentifier", 300},
                             {"fileType", 2u}};
    const auto record =
        TWExportTransactionsSettings::exportTransactionsSettingsWithSettings(stored, lookups);
    EXPECT_EQ(identifiers(record->accounts()), QList<qint32>({101, 102}));
    EXPECT_TRUE(record->fields().isEmpty());
    EXPECT_FALSE(record->filter());
    EXPECT_EQ(record->fileType(), 2u);

    const auto tasks = TWExportTasksSettings::exportTasksSettingsWithSettings(
        {{"projects", QVariantList{7, 8}}, {"fields", QVariantList{-40, 12}}}, lookups);
    EXPECT_EQ(identifiers(tasks->projects()), QList<qint32>{7});
    // Column codes are kept as they stand.
    EXPECT_EQ(tasks->fields(), QList<qint32>({-40, 12}));

    // Fresh defaults take the lists given, CSV and attachments included.
    const auto fresh = TWExportTransactionsSettings::exportTransactionsSettingsWithDefaults(
        {account(1), account(2)}, {});
    EXPECT_EQ(identifiers(fresh->accounts()), QList<qint32>({1, 2}));
    EXPECT_EQ(fresh->fileType(), std::uint32_t(TWExportFileTypeCSV));
    EXPECT_TRUE(fresh->includeAttachments());
}

TEST(RecordSettings, SendInvoiceDataTakesTheGivenTaxNameAndValues)
{
    const auto data = TWSendInvoiceData::sendInvoiceDataWithTaxName(QStringLiteral("VAT"));
    EXPECT_EQ(data->label(TWLabelItemTax), QStringLiteral("VAT"));
    // A stored empty label stays empty; a missing one takes the default.
    const auto restored = TWSendInvoiceData::sendInvoiceDataWithSettings(
        {{TWSendInvoiceData::labelKey(TWLabelItemTax), QString()}}, QStringLiteral("GST"));
    EXPECT_TRUE(restored->label(TWLabelItemTax).isEmpty());
    EXPECT_EQ(TWSendInvoiceData::sendInvoiceDataWithSettings({}, QStringLiteral("GST"))
                  ->label(TWLabelItemTax),
              QStringLiteral("GST"));

    TWInvoice invoice;
    invoice.setNumber(QStringLiteral("2024-17"));
    auto project = std::make_shared<TWProject>();
    project->setType(TWProjectTypeProject);
    auto client = std::make_shared<TWClient>();
    client->setCompany(QStringLiteral("Acme"));
    auto info = std::make_shared<TWBusinessInfo>();
    info->setName(QStringLiteral("Tally & Co"));
    info->setInvoiceHeader(QStringLiteral("Thank you"));
    data->updateWithInvoice(invoice, project, client, info, 12500, 4000);
    EXPECT_EQ(data->invoiceNumber(), QStringLiteral("2024-17"));
    EXPECT_EQ(data->clientCompany(), QStringLiteral("Acme"));
    EXPECT_EQ(data->businessName(), QStringLiteral("Tally & Co"));
    EXPECT_EQ(data->invoiceHeader(), QStringLiteral("Thank you"));
    EXPECT_EQ(data->balance(), 12500);
    EXPECT_EQ(data->payments(), 4000);
    EXPECT_TRUE(data->isInvoice());

    // Without a project, client or business details every gathered text is empty.
    TWSendInvoiceData bare;
    bare.updateWithInvoice(invoice, nullptr, nullptr, nullptr, 0, 0);
    EXPECT_TRUE(bare.clientCompany().isEmpty());
    EXPECT_TRUE(bare.businessName().isEmpty());
    EXPECT_FALSE(bare.isInvoice());
    EXPECT_FALSE(bare.unit());
}
