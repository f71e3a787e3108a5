#include "TWPackageTestSupport.h"
#include "TWTestSupport.h"
#include "WorkTestSupport.h"
#include "foundation/TWPropertyList.h"
#include "store/TWBusiness.h"
#include "store/TWExportSettingsRecords.h"

#include <gtest/gtest.h>

namespace
{

// Account 100, custom field 1 and filter 200.
std::unique_ptr<TWBusiness> makeBusiness()
{
    auto business = twNewBusiness(QStringLiteral("USD"), false);
    if (!business)
        return nullptr;
    TWBusiness &b = *business;
    EXPECT_OK(b.addAccount(TWAccount::accountWithIdentifier(100, QStringLiteral("A"), 0, 0,
                                                            TWAccountTypeExpense, QString(),
                                                            QImage(), b.homeUnit(), QString()),
                           false));
    EXPECT_OK(b.addField(TWField::fieldWithName(QStringLiteral("Job"), TWFieldTypeText, false,
                                                false, b.nextFieldIdentifier()),
                         false));
    EXPECT_OK(b.addFilter(
        TWFilter::filterWithIdentifier(200, QStringLiteral("Mine"), 0, 0,
                                       TWFilterCriteria::filterCriteriaCompoundWithMatch(0, {})),
        false));
    return business;
}

template <typename Record> QList<qint32> selection(const Record &record, const char *key)
{
    QList<qint32> result;
    for (const QVariant &value : record.settings().value(QString::fromUtf8(key)).toList())
        result.append(TWPropertyList::intValue(value, 0));
    return result;
}

// Runs `write`, which succeeds, inside a write that then fails.
template <typename Write> void inFailingWrite(TWBusiness &business, Write write)
{
    TWBusiness::WriteScope outer(business);
    EXPECT_OK(write());
    outer.rollback();
}

} // namespace

TEST(Housekeeping, DeletedAccountsFieldsAndFiltersLeaveImportAndExportSettings)
{
    auto business = makeBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    // New accounts are selected for export.
    EXPECT_EQ(selection(*b.exportTransactionsSettings(), "accounts"), QList<qint32>{100});

    const auto entry = [](quint32 type, const char *key, qint64 identifier) {
        return QVariantMap{{"type", QVariant::fromValue(type)}, {key, identifier}};
    };
    const QVariantMap imports{{"Bank", entry(2, "account", 100)},
                              {"Card", entry(2, "account", 101)},
                              {"Memo", entry(1, "field", 100)},
                              {"Job", entry(1, "field", 1)},
                              {"Odd", QStringLiteral("not an entry")}};
    b.setImportTransactionsSettings(imports);
    // Identifiers of any width; the unknown account 101 is dropped.
    const QVariantMap exports{{"accounts", QVariantList{qint64(100), 101}},
                              {"fields", QVariantList{-3, qint64(1)}},
                              {"filterIdentifier", QVariant::fromValue(200u)},
                              {"fileType", QVariant::fromValue(2u)}};
    b.setExportTransactionsSettings(twRestoredExportTransactionsSettings(exports, b));
    const TWExportTransactionsSettingsPtr record = b.exportTransactionsSettings();
    const QVariantMap stored = record->settings();
    EXPECT_EQ(selection(*record, "accounts"), QList<qint32>{100});
    EXPECT_EQ(selection(*record, "fields"), QList<qint32>({-3, 1}));
    EXPECT_EQ(TWPropertyList::intValue(stored.value("filterIdentifier"), -1), 200);

    const TWAccountPtr account = b.accountWithIdentifier(100);
    const TWFieldPtr job = b.fieldWithIdentifier(1);
    const TWFilterPtr filter = b.filterWithIdentifier(200);
    inFailingWrite(b, [&] { return b.deleteAccount(account, false); });
    inFailingWrite(b, [&] { return b.deleteField(job, false); });
    inFailingWrite(b, [&] { return b.deleteFilter(filter, false); });
    EXPECT_EQ(b.importTransactionsSettings(), imports);
    EXPECT_EQ(record->settings(), stored);

    ASSERT_OK(b.deleteAccount(account, false));
    EXPECT_EQ(b.importTransactionsSettings().keys(), QStringList({"Card", "Job", "Memo", "Odd"}));
    ASSERT_OK(b.deleteField(job, false));
    EXPECT_EQ(b.importTransactionsSettings().keys(), QStringList({"Card", "Memo", "Odd"}));
    ASSERT_OK(b.deleteFilter(b.filterWithIdentifier(100), false)); // not the chosen one
    EXPECT_EQ(TWPropertyList::intValue(record->settings().value("filterIdentifier"), -1), 200);
    ASSERT_OK(b.deleteFilter(filter, false));
    EXPECT_EQ(selection(*record, "accounts"), QList<qint32>());
    EXPECT_EQ(selection(*record, "fields"), QList<qint32>{-3});
    EXPECT_EQ(TWPropertyList::intValue(record->settings().value("filterIdentifier"), -1), 0);
}
