#include "TWBusiness.h"
#include "TWDenyGuard.h"
#include "TWPackageTestSupport.h"
#include "TWPropertyList.h"
#include "TWTestSupport.h"

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
        EXPECT_FALSE(business->addAccount(makeAccount(*business, 100), false));
        EXPECT_FALSE(business->addAccount(makeAccount(*business, 101), false));
    }
    return business;
}

QVariantList entries(const QVariantMap &layout)
{
    return layout.value(TWColumnSettingsFieldsKey).toList();
}

QList<qint32> numbers(const QVariantList &list)
{
    QList<qint32> result;
    for (const QVariant &value : list)
        result.append(intValue(value, 0));
    return result;
}

QList<qint32> identifiers(const QVariantMap &layout)
{
    QList<qint32> result;
    for (const QVariant &entry : entries(layout))
        result.append(intValue(entry.toMap().value(TWColumnSettingsIdentifierKey), 0));
    return result;
}

// The register views of each column of a layout, by field.
QMap<qint32, QList<qint32>> visibleViews(const QVariantMap &layout)
{
    QMap<qint32, QList<qint32>> result;
    for (const QVariant &entry : entries(layout)) {
        const QVariantMap column = entry.toMap();
        result.insert(intValue(column.value(TWColumnSettingsIdentifierKey), 0),
                      numbers(column.value(TWColumnSettingsVisibleViewsKey).toList()));
    }
    return result;
}

const QList<qint32> kEverywhere{100, 101, -1, -2, -3, -4, -5};

} // namespace

TEST(ColumnSettings, DefaultLayouts)
{
    auto business = businessWithTwoAccounts();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    ASSERT_FALSE(b.addField(makeField(b, "Job"), false));

    const QVariantMap layout = *b.columnSettings(0);
    EXPECT_EQ(identifiers(layout), QList<qint32>({-1, -2, -3, -4, -5, -6, -7, -8, -9, -10, -11, -13,
                                                  -14, -15, -17, -18, 1}));
    const auto views = visibleViews(layout);
    for (auto it = views.cbegin(); it != views.cend(); ++it) {
        const bool hidden = it.key() == -1 || it.key() == -17 || it.key() == -18;
        EXPECT_EQ(it.value(), hidden ? QList<qint32>() : kEverywhere) << it.key();
    }
    // Sorted by date, kept as an unsigned number.
    EXPECT_EQ(layout.value(TWColumnSettingsSortFieldKey), QVariant::fromValue(4294967293u));

    // The other lists hide the column of what they are inside.
    const auto hidden = [&](quint32 view) {
        QStringList result;
        for (const QVariant &entry : entries(*b.columnSettings(view))) {
            if (!entry.toMap().value(TWColumnSettingsVisibleKey).toBool())
                result.append(entry.toMap().value(TWColumnSettingsIdentifierKey).toString());
        }
        return result;
    };
    EXPECT_EQ(hidden(1), QStringList{"client"});
    EXPECT_EQ(hidden(3), QStringList({"client", "project", "task"}));
    EXPECT_EQ(hidden(6), QStringList{"merchant"});

    // Defaults are handed out, not stored; past the last list there is none.
    EXPECT_TRUE(b.columnSettings().isEmpty());
    EXPECT_FALSE(b.columnSettings(7));
}

TEST(ColumnSettings, DeletedSortFieldSortsByDateThroughASaveAndAnOpening)
{
    TWTestTempDir dir;
    auto business = businessWithTwoAccounts();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWFieldPtr job = makeField(b, "Job");
    ASSERT_FALSE(b.addField(job, false));
    QVariantMap layout = *b.columnSettings(0);
    layout.insert(TWColumnSettingsSortFieldKey, job->identifier());
    b.updateColumnSettings(0, layout);
    b.updateColumnSettings(3, *b.columnSettings(3));

    ASSERT_FALSE(b.deleteField(job, false));
    // By date every time it is asked; what is stored keeps its sort field.
    for (int ask = 0; ask < 2; ++ask)
        EXPECT_EQ(b.columnSettings(0)->value(TWColumnSettingsSortFieldKey),
                  QVariant::fromValue(4294967293u));
    EXPECT_EQ(b.columnSettings().value(0).value(TWColumnSettingsSortFieldKey), job->identifier());

    // The file holds the unsigned number, which reads back as the date field.
    b.updateColumnSettings(0, *b.columnSettings(0));
    const QUrl url = twPackageURL(dir, QStringLiteral("Doc"));
    ASSERT_FALSE(b.writeToURL(url, TWSaveOperationSaveAs));
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

TEST(ColumnSettings, RegisterLayoutFollowsTheAccounts)
{
    auto business = businessWithTwoAccounts();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;

    // Never stored: nothing changes; the default lists the new account.
    ASSERT_FALSE(b.addAccount(makeAccount(b, 102), false));
    EXPECT_TRUE(b.columnSettings().isEmpty());
    EXPECT_EQ(numbers(b.defaultTransactionColumnSettings(false)),
              QList<qint32>({100, 101, 102, -1, -2, -3, -4, -5}));

    // The date-created column shown in group registers.
    QVariantMap layout = *b.columnSettings(0);
    QVariantList columns = entries(layout);
    QVariantMap created = columns[14].toMap();
    created.insert(TWColumnSettingsVisibleViewsKey, QVariantList{-1});
    columns[14] = created;
    layout.insert(TWColumnSettingsFieldsKey, columns);
    b.updateColumnSettings(0, layout);
    const auto before = visibleViews(layout);
    const TWAccountPtr account = makeAccount(b, 103);
    ASSERT_FALSE(b.addAccount(account, false));
    auto expected = before;
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        // Not the date stamps, nor a column no register shows.
        if (!it.value().isEmpty() && it.key() != -17)
            it.value().append(103);
    }
    EXPECT_EQ(expected.value(-17), QList<qint32>{-1});
    EXPECT_EQ(visibleViews(b.columnSettings().value(0)), expected);

    // A delete that fails keeps the account in every column's views.
    ASSERT_FALSE(b.addBudgetItem(TWBudgetItem::budgetItemWithItemType(
                                     TWItemTypeAccount, 103, 5000, b.homeUnit(),
                                     twLocal(2024, 1, 1), 1, TWBudgetCycleUnitMonth, false, 100),
                                 false));
    {
        TWDenyGuard deny(b, SQLITE_DELETE, "budgetItems");
        EXPECT_TRUE(b.deleteAccount(account, false));
    }
    EXPECT_EQ(visibleViews(b.columnSettings().value(0)), expected);
    ASSERT_FALSE(b.deleteAccount(account, false));
    EXPECT_EQ(visibleViews(b.columnSettings().value(0)), before);
}

TEST(ColumnSettings, RegisterLayoutFollowsTheCustomFields)
{
    auto business = businessWithTwoAccounts();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    b.updateColumnSettings(0, *b.columnSettings(0));
    const TWFieldPtr job = makeField(b, "Job");
    ASSERT_FALSE(b.addField(job, false));
    EXPECT_EQ(identifiers(b.columnSettings().value(0)).last(), job->identifier());

    // An add undone by a failing write around it leaves no column behind.
    const TWColumnSettings stored = b.columnSettings();
    {
        TWBusiness::WriteScope outer(b);
        ASSERT_FALSE(b.addField(makeField(b, "Gone"), false));
        EXPECT_NE(b.columnSettings(), stored);
        outer.rollback();
    }
    EXPECT_EQ(b.columnSettings(), stored);

    ASSERT_FALSE(b.deleteField(job, false));
    // A field without a column changes nothing.
    b.columnSettingsDeleteField(*job);
    EXPECT_EQ(identifiers(b.columnSettings().value(0)).size(), 16);
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
