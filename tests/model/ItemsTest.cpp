// Master-list items: construction, copies, identity, orderings, account type
// families, type names and the built-in icons.

#include "TWAccount.h"
#include "TWClient.h"
#include "TWFilter.h"
#include "TWGroup.h"
#include "TWItemIcons.h"
#include "TWLocalized.h"
#include "TWMerchant.h"
#include "TWReport.h"
#include "TWTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

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

TEST(Items, InitialisersTakeTheirArgumentsInOrder)
{
    const TWAccountPtr a = institutionAccount();
    EXPECT_EQ(a->type(), TWItemTypeAccount);
    EXPECT_EQ(a->identifier(), 120);
    EXPECT_EQ(a->parentIdentifier(), 100);
    EXPECT_EQ(a->sortOrder(), 3u);
    EXPECT_EQ(a->accountType(), TWAccountTypeBank);
    EXPECT_EQ(a->unit()->code(), QStringLiteral("USD"));
    EXPECT_TRUE(a->isInstitution());
    EXPECT_EQ(a->institutionNumber(), QStringLiteral("987"));
    EXPECT_EQ(a->institutionPhone(), QStringLiteral("555-1"));
    EXPECT_EQ(a->institutionFax(), QStringLiteral("555-2"));
    EXPECT_EQ(a->institutionWebsite().host(), QStringLiteral("bank.example"));
    EXPECT_EQ(a->institutionRoutingTransit(), QStringLiteral("021000021"));
    EXPECT_EQ(a->institutionWireTransfer(), QStringLiteral("SWIFT1"));

    // The short initialiser leaves the institution out entirely.
    const TWAccountPtr plain = namedAccount(7, QStringLiteral("Petty"));
    EXPECT_FALSE(plain->isInstitution());
    EXPECT_TRUE(plain->institutionName().isNull());
    EXPECT_TRUE(plain->institutionWebsite().isEmpty());

    const auto client = TWClient::clientWithIdentifier(
        5, QStringLiteral("Acme"), QStringLiteral("Acme Ltd"), 2, 1, QImage(), QStringLiteral("p"),
        QStringLiteral("f"), QStringLiteral("e"), QUrl(), QStringLiteral("a"), QStringLiteral("n"));
    EXPECT_EQ(client->type(), TWItemTypeClient);
    EXPECT_EQ(client->company(), QStringLiteral("Acme Ltd"));
    EXPECT_EQ(client->parentIdentifier(), 2);
    EXPECT_EQ(client->fax(), QStringLiteral("f"));
    EXPECT_EQ(client->address(), QStringLiteral("a"));
    EXPECT_EQ(client->notes(), QStringLiteral("n"));

    const auto filter = TWFilter::filterWithIdentifier(101, QStringLiteral("Uncleared"));
    EXPECT_EQ(filter->type(), TWItemTypeFilter);
    EXPECT_EQ(filter->parentIdentifier(), 0);
    EXPECT_EQ(filter->sortOrder(), 0u);
    EXPECT_EQ(filter->criteria(), nullptr);
}

TEST(Items, RootItemIsOneSharedNode)
{
    const TWItemPtr &root = TWItem::rootItem();
    EXPECT_EQ(root.get(), TWItem::rootItem().get());
    EXPECT_EQ(root->identifier(), 0);
    EXPECT_EQ(root->type(), TWItemTypeRoot);
    EXPECT_TRUE(root->name().isNull());
    EXPECT_TRUE(TWItem::isGroupType(TWItemTypeFilterGroup));
    EXPECT_FALSE(TWItem::isGroupType(TWItemTypeRoot));
    EXPECT_TRUE(TWItem::isLeafType(TWItemTypeFilter));
    EXPECT_FALSE(TWItem::isLeafType(TWItemTypeFilterGroup));
}

TEST(Items, EqualityNeedsTypeAndIdentifier)
{
    const auto account = namedAccount(5, QStringLiteral("Cash"));
    const auto client = TWClient::clientWithIdentifier(5, QStringLiteral("Cash"), QString(), 0, 0,
                                                       QImage(), QString(), QString(), QString(),
                                                       QUrl(), QString(), QString());
    EXPECT_FALSE(account->isEqual(*client));
    EXPECT_FALSE(client->isEqual(*account));
    EXPECT_TRUE(account->isEqual(*namedAccount(5, QStringLiteral("Renamed"))));
    EXPECT_FALSE(account->isEqual(*namedAccount(6, QStringLiteral("Cash"))));
    EXPECT_EQ(account->hash(), 5u);
}

TEST(ItemCopies, CloneKeepsTheClassAndEveryField)
{
    const TWAccountPtr original = institutionAccount();
    const TWItemPtr asItem = original;
    const auto cloned = std::dynamic_pointer_cast<TWAccount>(asItem->clone());
    ASSERT_NE(cloned, nullptr);
    EXPECT_NE(cloned.get(), original.get());
    EXPECT_EQ(cloned->identifier(), original->identifier());
    EXPECT_EQ(cloned->notes(), original->notes());
    EXPECT_EQ(cloned->institutionEmail(), original->institutionEmail());
    EXPECT_EQ(cloned->institutionAddress(), original->institutionAddress());
    EXPECT_EQ(cloned->icon(), original->icon());

    // Every subclass clones as itself through the base pointer.
    const TWItemList items = {
        TWGroup::groupWithIdentifier(1, TWItemTypeAccountGroup, {}, 0, 0, {}, false),
        TWClient::clientWithIdentifier(1, {}, {}, 0, 0, {}, {}, {}, {}, {}, {}, {}),
        TWMerchant::merchantWithIdentifier(1, {}, {}, 0, 0, {}, {}, {}, {}, {}, {}, {}),
        TWFilter::filterWithIdentifier(1, {}),
        TWReport::reportWithIdentifier(1, {}, 0, 0, TWReportTypeTime, TWReportDateTypeToday, {}, {},
                                       false, TWReportDateTypeToday, {}, {}, false),
    };
    for (const TWItemPtr &item : items) {
        const TWItemPtr c = item->clone();
        EXPECT_EQ(typeid(*c), typeid(*item));
        EXPECT_EQ(c->type(), item->type());
    }
}

TEST(ItemCopies, ChangingACopyLeavesTheOriginal)
{
    const TWAccountPtr account = institutionAccount();
    const TWAccountPtr copy = account->copy();
    copy->setName(QStringLiteral("Savings"));
    copy->setNumber(QStringLiteral("2020"));
    copy->setInstitutionName(QStringLiteral("Other Bank"));
    copy->setInstitutionWebsite(QUrl(QStringLiteral("https://other.example/")));
    QImage icon = copy->icon();
    icon.setPixel(0, 0, qRgb(0, 0, 255));
    copy->setIcon(icon);
    EXPECT_EQ(account->name(), QStringLiteral("Checking"));
    EXPECT_EQ(account->number(), QStringLiteral("1010"));
    EXPECT_EQ(account->institutionName(), QStringLiteral("First Bank"));
    EXPECT_EQ(account->institutionWebsite().host(), QStringLiteral("bank.example"));
    EXPECT_EQ(account->icon().pixel(0, 0), qRgb(255, 0, 0));
    // The unit is the business's own record, shared on purpose.
    EXPECT_EQ(copy->unit().get(), account->unit().get());

    const auto group = TWGroup::groupWithIdentifier(
        100, TWItemTypeAccountGroup, QStringLiteral("Assets"), 0, 0, QColor(84, 84, 84), true);
    const auto groupCopy = group->copy();
    groupCopy->setTintColour(QColor(Qt::red));
    groupCopy->setExpanded(false);
    EXPECT_EQ(group->tintColour(), QColor(84, 84, 84));
    EXPECT_TRUE(group->expanded());

    const auto client = TWClient::clientWithIdentifier(
        5, QStringLiteral("Acme"), QStringLiteral("Acme Ltd"), 0, 0, solidImage(qRgb(0, 255, 0)),
        {}, {}, QStringLiteral("a@acme.example"), QUrl(QStringLiteral("https://acme.example")), {},
        {});
    const auto clientCopy = client->copy();
    clientCopy->setEmail(QStringLiteral("b@acme.example"));
    QImage logo = clientCopy->logo();
    logo.fill(qRgb(0, 0, 0));
    clientCopy->setLogo(logo);
    EXPECT_EQ(client->email(), QStringLiteral("a@acme.example"));
    EXPECT_EQ(client->logo().pixel(1, 1), qRgb(0, 255, 0));

    const auto report = TWReport::reportWithIdentifier(
        101, QStringLiteral("Income"), 0, 1, TWReportTypeIncome,
        TWReportDateTypeCurrentAccountingPeriod, twLocal(2024, 1, 1), twLocal(2024, 12, 31), true,
        TWReportDateTypeLastAccountingPeriod, twLocal(2023, 1, 1), twLocal(2023, 12, 31), true);
    const auto reportCopy = report->copy();
    EXPECT_EQ(reportCopy->compareToDate(), twLocal(2023, 12, 31));
    reportCopy->setCompare(false);
    reportCopy->setFromDate(twLocal(2020, 1, 1));
    EXPECT_TRUE(report->compare());
    EXPECT_EQ(report->fromDate(), twLocal(2024, 1, 1));
}

TEST(ItemCopies, AFilterCopySharesItsCriteriaTree)
{
    // The criteria class is opaque here; any object stands in for the tree.
    const auto owner = std::make_shared<int>(0);
    const std::shared_ptr<TWFilterCriteria> tree(owner,
                                                 reinterpret_cast<TWFilterCriteria *>(owner.get()));
    const auto filter = TWFilter::filterWithIdentifier(101, QStringLiteral("Big"), 3, 2, tree);
    const auto copy = filter->copy();
    EXPECT_EQ(copy->criteria().get(), filter->criteria().get());
    copy->setCriteria(nullptr);
    EXPECT_EQ(filter->criteria().get(), tree.get());
}

TEST(ItemOrder, NamesIgnoreCaseAndOnlyIdenticalNamesTie)
{
    TWAccountList list = {
        namedAccount(1, QStringLiteral("beta")),  namedAccount(2, QStringLiteral("Alpha")),
        namedAccount(3, QStringLiteral("gamma")), namedAccount(4, QStringLiteral("alpha")),
        namedAccount(5, QStringLiteral("Beta")),  namedAccount(6, QStringLiteral("Alpha"))};
    std::stable_sort(list.begin(), list.end(),
                     [](const auto &a, const auto &b) { return a->compare(*b) < 0; });
    EXPECT_EQ(names(list), (QStringList{"Alpha", "Alpha", "alpha", "Beta", "beta", "gamma"}));
    // The two identical names keep their list order.
    EXPECT_EQ(list[0]->identifier(), 2);
    EXPECT_EQ(list[1]->identifier(), 6);

    EXPECT_EQ(list[0]->compare(*list[1]), 0);
    EXPECT_EQ(TWItem::compareNames(QString(), QStringLiteral("")), 0);
    EXPECT_LT(TWItem::compareNames(QString(), QStringLiteral("a")), 0);
    // Antisymmetric, as a strict weak ordering must be.
    EXPECT_EQ(TWItem::compareNames(QStringLiteral("alpha"), QStringLiteral("Alpha")),
              -TWItem::compareNames(QStringLiteral("Alpha"), QStringLiteral("alpha")));
}

TEST(ItemOrder, SortModes)
{
    const auto a = namedAccount(1, QStringLiteral("b"));
    const auto b = namedAccount(2, QStringLiteral("A"));
    a->setSortOrder(0x80000000u);
    b->setSortOrder(5);
    EXPECT_GT(TWItem::compareForSortBy(*a, *b, 0), 0);
    // Sort orders are unsigned: the large one comes last.
    EXPECT_GT(TWItem::compareForSortBy(*a, *b, 1), 0);
    EXPECT_LT(TWItem::compareForSortBy(*b, *a, 1), 0);
    b->setSortOrder(0x80000000u);
    EXPECT_EQ(TWItem::compareForSortBy(*a, *b, 1), 0);
    EXPECT_EQ(TWItem::compareForSortBy(*a, *b, 2), 0);
}

TEST(ItemOrder, AccountNumbersCompareAsIntegers)
{
    auto numbered = [](const QString &number) {
        auto a = namedAccount(1, QStringLiteral("x"));
        a->setNumber(number);
        return a;
    };
    EXPECT_LT(numbered("9")->compareNumber(*numbered("10")), 0);
    EXPECT_GT(numbered("10")->compareNumber(*numbered("9")), 0);
    EXPECT_EQ(numbered("abc")->compareNumber(*numbered("0")), 0);
    EXPECT_EQ(numbered(QString())->compareNumber(*numbered("0")), 0);
    EXPECT_EQ(numbered("  42-A")->compareNumber(*numbered("42")), 0);
    EXPECT_LT(numbered("-3")->compareNumber(*numbered("abc")), 0);
    EXPECT_EQ(numbered("010")->compareNumber(*numbered("10")), 0);
    // Digit runs past the 64-bit range stop at the bound rather than wrapping.
    EXPECT_EQ(TWAccount::numberValue(QStringLiteral("99999999999999999999999")),
              std::numeric_limits<qint64>::max());
    EXPECT_EQ(TWAccount::numberValue(QStringLiteral("-99999999999999999999999")),
              std::numeric_limits<qint64>::min());
    EXPECT_EQ(TWAccount::numberValue(QStringLiteral("-9223372036854775808")),
              std::numeric_limits<qint64>::min());
    EXPECT_GT(numbered("99999999999999999999999")->compareNumber(*numbered("1")), 0);
}

TEST(AccountTypes, EveryTypeMapsToItsFamily)
{
    const std::pair<int, TWAccountGroupType> expected[] = {
        {0, TWAccountGroupTypeAsset},      {1, TWAccountGroupTypeAsset},
        {2, TWAccountGroupTypeAsset},      {3, TWAccountGroupTypeAsset},
        {4, TWAccountGroupTypeAsset},      {5, TWAccountGroupTypeAsset},
        {6, TWAccountGroupTypeAsset},      {7, TWAccountGroupTypeAsset},
        {8, TWAccountGroupTypeLiability},  {9, TWAccountGroupTypeLiability},
        {10, TWAccountGroupTypeLiability}, {11, TWAccountGroupTypeLiability},
        {12, TWAccountGroupTypeLiability}, {13, TWAccountGroupTypeLiability},
        {14, TWAccountGroupTypeLiability}, {15, TWAccountGroupTypeIncome},
        {16, TWAccountGroupTypeExpense},   {17, TWAccountGroupTypeEquity},
        {18, TWAccountGroupTypeEquity},    {100, TWAccountGroupTypeEquity},
        {-1, TWAccountGroupTypeEquity},
    };
    for (const auto &[type, family] : expected)
        EXPECT_EQ(TWAccount::accountGroupType(type), family) << "account type " << type;
}

TEST(AccountTypes, NamesAndIconsExistExactlyForTheSeventeenTypes)
{
    const char *keys[] = {"accountsReceivable",
                          "bank",
                          "cash",
                          "inventory",
                          "investment",
                          "fixedAsset",
                          "currentAsset",
                          nullptr,
                          "accountsPayable",
                          "creditCard",
                          "loan",
                          "tax",
                          "longTermLiability",
                          "currentLiability",
                          "income",
                          "expense",
                          "equity"};
    QList<QImage> drawn;
    for (int type = 1; type <= 17; ++type) {
        const char *key = keys[type - 1];
        if (!key)
            continue;
        EXPECT_EQ(TWAccount::accountTypeNameKey(type), QLatin1String(key));
        EXPECT_TRUE(TWHasLocalized(QLatin1String(key))) << key;
        EXPECT_FALSE(TWAccount::accountTypeName(type).isEmpty());
        const QImage icon = TWAccount::defaultIconForAccountType(type);
        ASSERT_FALSE(icon.isNull()) << "account type " << type;
        // Each type has a picture of its own, not a repeat of another type's.
        for (const QImage &other : drawn)
            EXPECT_NE(icon, other) << "account type " << type;
        drawn.append(icon);
        auto account = namedAccount(1, QStringLiteral("x"));
        account->setAccountType(TWAccountType(type));
        EXPECT_EQ(TWAccount::defaultIconForAccount(*account).cacheKey(), icon.cacheKey());
    }
    EXPECT_EQ(drawn.size(), 16);
    for (int type : {0, 8, 18, -1}) {
        EXPECT_TRUE(TWAccount::accountTypeNameKey(type).isNull());
        EXPECT_TRUE(TWAccount::accountTypeName(type).isEmpty());
        EXPECT_FALSE(TWAccount::accountTypeName(type).isNull());
        EXPECT_TRUE(TWAccount::defaultIconForAccountType(type).isNull());
    }
}

TEST(ReportTypes, NamesForTheTenTypes)
{
    for (int type = 0; type <= 9; ++type) {
        const QString key = TWReport::reportTypeNameKey(type);
        ASSERT_FALSE(key.isNull());
        EXPECT_TRUE(TWHasLocalized(key)) << qPrintable(key);
    }
    EXPECT_EQ(TWReport::reportTypeNameKey(TWReportTypeClientsUninvoiced),
              QStringLiteral("clientsUninvoiced"));
    EXPECT_EQ(TWReport::reportTypeName(TWReportTypeTrialBalance), QStringLiteral("Trial Balance"));
    EXPECT_TRUE(TWReport::reportTypeName(10).isEmpty());
    EXPECT_TRUE(TWReport::reportTypeNameKey(-1).isNull());
}

TEST(ItemIcons, EveryIconIsDrawnOnceAndNotBlank)
{
    for (const QString &name : TWItemIcons::names()) {
        const QImage icon = TWItemIcons::image(name);
        ASSERT_FALSE(icon.isNull()) << qPrintable(name);
        EXPECT_EQ(icon.size(), QSize(64, 64));
        EXPECT_EQ(icon.devicePixelRatio(), 2.0);
        // A glyph in white sits on the badge.
        int white = 0;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x)
                white += icon.pixel(x, y) == qRgba(255, 255, 255, 255);
        EXPECT_GT(white, 40) << qPrintable(name);
        EXPECT_EQ(TWItemIcons::image(name).cacheKey(), icon.cacheKey());
    }
    EXPECT_TRUE(TWItemIcons::image(QStringLiteral("NoSuchIcon")).isNull());

    const auto search = TWFilter::filterWithIdentifier(0, QString());
    const auto saved = TWFilter::filterWithIdentifier(12, QString());
    EXPECT_EQ(TWFilter::defaultIconForFilter(search.get()).cacheKey(),
              TWItemIcons::image(QStringLiteral("Search")).cacheKey());
    EXPECT_EQ(TWFilter::defaultIconForFilter(saved.get()).cacheKey(),
              TWItemIcons::image(QStringLiteral("Filter")).cacheKey());
    EXPECT_EQ(TWFilter::defaultIconForFilter(nullptr).cacheKey(),
              TWItemIcons::image(QStringLiteral("Filter")).cacheKey());
    EXPECT_FALSE(TWClient::defaultIconForClient().isNull());
    EXPECT_FALSE(TWMerchant::defaultIconForMerchant().isNull());
    EXPECT_FALSE(TWReport::defaultIconForReport().isNull());
    EXPECT_NE(TWClient::defaultIconForClient().cacheKey(),
              TWMerchant::defaultIconForMerchant().cacheKey());
}
