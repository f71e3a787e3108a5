#include "TWDenyGuard.h"
#include "TWPackageTestSupport.h"
#include "TWTestSupport.h"
#include "foundation/TWPropertyList.h"
#include "store/TWBusiness.h"

#include <gtest/gtest.h>

namespace
{

using TWPropertyList::intValue;

TWAccountPtr makeAccount(TWBusiness &business, qint32 identifier)
{
    return TWAccount::accountWithIdentifier(identifier, QStringLiteral("A%1").arg(identifier), 0, 0,
                                            TWAccountTypeExpense, QString(), QImage(),
                                            business.homeUnit(), QString());
}

TWFieldPtr makeField(TWBusiness &business, const char *name)
{
    return TWField::fieldWithName(QString::fromUtf8(name), TWFieldTypeText, false, false,
                                  business.nextFieldIdentifier());
}

// A new business without the default chart, with accounts 100 and 101.
std::unique_ptr<TWBusiness> businessWithTwoAccounts()
{
    auto business = twNewBusiness(QStringLiteral("USD"), false);
    if (business) {
        EXPECT_OK(business->addAccount(makeAccount(*business, 100), false));
        EXPECT_OK(business->addAccount(makeAccount(*business, 101), false));
    }
    return business;
}

QVariantList entries(const QVariantMap &layout)
{
    return layout.value(TWColumnSettingsFieldsKey).toList();
}

QList<qint32> identifiers(const QVariantMap &layout)
{
    QList<qint32> result;
    for (const QVariant &entry : entries(layout))
        result.append(intValue(entry.toMap().value(TWColumnSettingsIdentifierKey), 0));
    return result;
}

const QList<qint32> kEverywhere{100, 101, -1, -2, -3, -4, -5};

} // namespace

TEST(ColumnSettings, DeletedSortFieldSortsByDateThroughASaveAndAnOpening)
{
    TWTestTempDir dir;
    auto business = businessWithTwoAccounts();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWFieldPtr job = makeField(b, "Job");
    ASSERT_OK(b.addField(job, false));
    QVariantMap layout = *b.columnSettings(0);
    layout.insert(TWColumnSettingsSortFieldKey, job->identifier());
    b.updateColumnSettings(0, layout);
    b.updateColumnSettings(3, *b.columnSettings(3));

    ASSERT_OK(b.deleteField(job, false));
    // By date every time it is asked; what is stored keeps its sort field.
    for (int ask = 0; ask < 2; ++ask)
        EXPECT_EQ(b.columnSettings(0)->value(TWColumnSettingsSortFieldKey),
                  QVariant::fromValue(4294967293u));
    EXPECT_EQ(b.columnSettings().value(0).value(TWColumnSettingsSortFieldKey), job->identifier());

    // The file holds the unsigned number, which reads back as the date field.
    b.updateColumnSettings(0, *b.columnSettings(0));
    const QUrl url = twPackageURL(dir, QStringLiteral("Doc"));
    ASSERT_OK(b.writeToURL(url, TWSaveOperationSaveAs));
    const QVariantMap file =
        TWPropertyList::readFile(twPackageFile(url, QStringLiteral("Settings.plist")))
            .value.toMap()
            .value(QStringLiteral("columnSettings"))
            .toMap();
    EXPECT_EQ(file.keys(), QStringList({"0", "3"}));
    EXPECT_EQ(file.value("0").toMap().value(TWColumnSettingsSortFieldKey).toLongLong(),
              4294967293LL);

    auto opened = twOpenPackage(url);
    ASSERT_TRUE(opened);
    const QVariantMap reopened = *opened->columnSettings(0);
    EXPECT_EQ(intValue(reopened.value(TWColumnSettingsSortFieldKey), 0), -3);
    EXPECT_EQ(identifiers(reopened), identifiers(*b.columnSettings(0)));
    EXPECT_EQ(opened->columnSettings(3), b.columnSettings(3));
}

TEST(ColumnSettings, ReadingTheSettingsFileLeavesOutWhatIsNoLayout)
{
    const QVariantMap tasks{{TWColumnSettingsSortFieldKey, QStringLiteral("name")},
                            {TWColumnSettingsFieldsKey,
                             QVariantList{QVariantMap{{TWColumnSettingsIdentifierKey, "name"}},
                                          QStringLiteral("damaged"), 7}}};
    const TWColumnSettings read = TWBusiness::mutableColumnSettings(
        {{"3", tasks}, {"0", QVariantMap{}}, {"register", tasks}, {"-1", tasks}, {"5", "none"}});
    EXPECT_EQ(read.keys(), QList<quint32>({0u, 3u}));
    EXPECT_EQ(entries(read.value(3)).size(), 1);
    EXPECT_EQ(TWBusiness::mutableColumnSettings(TWBusiness::writableColumnSettings(read)), read);
}
