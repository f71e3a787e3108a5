// Master-list items: copies, identity, orderings, account types and icons.

#include "TWTestSupport.h"
#include "foundation/TWLocalized.h"
#include "model/TWAccount.h"
#include "model/TWClient.h"
#include "model/TWFilter.h"
#include "model/TWGroup.h"
#include "model/TWItemIcons.h"
#include "model/TWMerchant.h"
#include "model/TWReport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{

TWUnitPtr dollars()
{
    return TWUnit::unitWithName(QStringLiteral("US Dollar"), QString(), QStringLiteral("USD"),
                                QStringLiteral("$"), 1.0, 2, QDateTime(), true, TWUnitTypeCurrency);
}

QImage solidImage(QRgb colour)
{
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

TWAccountPtr institutionAccount()
{
    return TWAccount::accountWithIdentifier(
        120, QStringLiteral("Checking"), 100, 3, TWAccountTypeBank, QStringLiteral("1010"),
        solidImage(qRgb(255, 0, 0)), dollars(), QStringLiteral("main account"), true,
        QStringLiteral("First Bank"), QStringLiteral("987"), QStringLiteral("555-1"),
        QStringLiteral("555-2"), QStringLiteral("desk@bank.example"),
        QUrl(QStringLiteral("https://bank.example/")), QStringLiteral("1 Main St"),
        QStringLiteral("021000021"), QStringLiteral("SWIFT1"));
}

TWAccountPtr namedAccount(qint32 identifier, const QString &name)
{
    return TWAccount::accountWithIdentifier(identifier, name, 0, 0, TWAccountTypeBank, QString(),
                                            QImage(), nullptr, QString());
}

QStringList names(const TWAccountList &list)
{
    QStringList out;
    for (const auto &a : list)
        out << a->name();
    return out;
}

} // namespace

TEST(Items, RootAndEquality)
{
    EXPECT_EQ(TWItem::rootItem().get(), TWItem::rootItem().get());
    EXPECT_EQ(TWItem::rootItem()->type(), TWItemTypeRoot);
    EXPECT_FALSE(TWItem::isGroupType(TWItemTypeRoot));

    const auto account = namedAccount(5, QStringLiteral("Cash"));
    const auto client = TWClient::clientWithIdentifier(5, QStringLiteral("Cash"), QString(), 0, 0,
                                                       QImage(), QString(), QString(), QString(),
                                                       QUrl(), QString(), QString());
    EXPECT_FALSE(account->isEqual(*client));
    EXPECT_FALSE(client->isEqual(*account));
    EXPECT_TRUE(account->isEqual(*namedAccount(5, QStringLiteral("Renamed"))));
    EXPECT_FALSE(account->isEqual(*namedAccount(6, QStringLiteral("Cash"))));
}

TEST(ItemCopies, ChangingACopyLeavesTheOriginal)
{
    const TWAccountPtr account = institutionAccount();
    const TWAccountPtr copy = account->copy();
    copy->setName(QStringLiteral("Savings"));
    copy->setInstitutionWebsite(QUrl(QStringLiteral("https://other.example/")));
    QImage icon = copy->icon();
    icon.setPixel(0, 0, qRgb(0, 0, 255));
    copy->setIcon(icon);
    EXPECT_EQ(account->name(), QStringLiteral("Checking"));
    EXPECT_EQ(account->institutionWebsite().host(), QStringLiteral("bank.example"));
    EXPECT_EQ(account->icon().pixel(0, 0), qRgb(255, 0, 0));
    // The unit is the business's own record, shared on purpose.
    EXPECT_EQ(copy->unit().get(), account->unit().get());

    // The criteria class is opaque here; any object stands in for the tree.
    const auto owner = std::make_shared<int>(0);
    const std::shared_ptr<TWFilterCriteria> tree(owner,
                                                 reinterpret_cast<TWFilterCriteria *>(owner.get()));
    const auto filter = TWFilter::filterWithIdentifier(101, QStringLiteral("Big"), 3, 2, tree);
    const auto filterCopy = filter->copy();
    EXPECT_EQ(filterCopy->criteria().get(), filter->criteria().get());
    filterCopy->setCriteria(nullptr);
    EXPECT_EQ(filter->criteria().get(), tree.get());
}

TEST(ItemOrder, NamesComparePlainlyAndOnlyIdenticalNamesTie)
{
    TWAccountList list = {
        namedAccount(1, QStringLiteral("beta")),  namedAccount(2, QStringLiteral("Alpha")),
        namedAccount(3, QStringLiteral("gamma")), namedAccount(4, QStringLiteral("alpha")),
        namedAccount(5, QStringLiteral("Beta")),  namedAccount(6, QStringLiteral("Alpha"))};
    std::stable_sort(list.begin(), list.end(),
                     [](const auto &a, const auto &b) { return a->compare(*b) < 0; });
    // Capitals before small letters, as the texts' characters order them.
    EXPECT_EQ(names(list), (QStringList{"Alpha", "Alpha", "Beta", "alpha", "beta", "gamma"}));
    // The two identical names keep their list order.
    EXPECT_EQ(list[0]->identifier(), 2);
    EXPECT_EQ(list[1]->identifier(), 6);
    EXPECT_LT(TWItem::compareNames(QString(), QStringLiteral("a")), 0);
    // Antisymmetric, as a strict weak ordering must be.
    EXPECT_EQ(TWItem::compareNames(QStringLiteral("alpha"), QStringLiteral("Alpha")),
              -TWItem::compareNames(QStringLiteral("Alpha"), QStringLiteral("alpha")));

    // Sort orders are unsigned: the large one comes last.
    list[0]->setSortOrder(0x80000000u);
    list[1]->setSortOrder(5);
    EXPECT_GT(TWItem::compareForSortBy(*list[0], *list[1], 1), 0);
    EXPECT_LT(TWItem::compareForSortBy(*list[1], *list[0], 1), 0);
}

TEST(AccountTypes, FamiliesAtTheirBoundaries)
{
    const std::pair<int, TWAccountGroupType> expected[] = {
        {0, TWAccountGroupTypeAsset},     {7, TWAccountGroupTypeAsset},
        {8, TWAccountGroupTypeLiability}, {14, TWAccountGroupTypeLiability},
        {15, TWAccountGroupTypeIncome},   {16, TWAccountGroupTypeExpense},
        {17, TWAccountGroupTypeEquity},   {100, TWAccountGroupTypeEquity},
        {-1, TWAccountGroupTypeEquity},
    };
    for (const auto &[type, family] : expected)
        EXPECT_EQ(TWAccount::accountGroupType(type), family) << "account type " << type;
}

TEST(ReportTypes, NamesForTheTenTypes)
{
    for (int type = 0; type <= 9; ++type)
        EXPECT_TRUE(TWHasLocalized(TWReport::reportTypeNameKey(type))) << type;
    EXPECT_EQ(TWReport::reportTypeName(TWReportTypeTrialBalance), QStringLiteral("Trial Balance"));
    EXPECT_TRUE(TWReport::reportTypeName(10).isEmpty());
}

TEST(ItemIcons, EveryIconIsDrawnOnceAndNotBlank)
{
    for (const QString &name : TWItemIcons::names()) {
        const QImage icon = TWItemIcons::image(name);
        ASSERT_FALSE(icon.isNull()) << qPrintable(name);
        EXPECT_EQ(icon.size(), QSize(64, 64));
        // A glyph in white sits on the badge.
        int white = 0;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x)
                white += icon.pixel(x, y) == qRgba(255, 255, 255, 255);
        EXPECT_GT(white, 40) << qPrintable(name);
        EXPECT_EQ(TWItemIcons::image(name).cacheKey(), icon.cacheKey());
    }
    EXPECT_TRUE(TWItemIcons::image(QStringLiteral("NoSuchIcon")).isNull());
    EXPECT_EQ(TWFilter::defaultIconForFilter(nullptr).cacheKey(),
              TWItemIcons::image(QStringLiteral("Filter")).cacheKey());
    EXPECT_NE(TWClient::defaultIconForClient().cacheKey(),
              TWMerchant::defaultIconForMerchant().cacheKey());
}
