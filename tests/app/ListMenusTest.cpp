// The Columns, Sort By and Mark menus over a real store: which items they
// offer for the focused list and which carry a check mark.

#include "TWWindowTestSupport.h"
#include "app/TWListMenus.h"
#include "app/TWMasterController.h"
#include "app/TWMenus.h"

#include "app/TWListViews.h"

#include <QApplication>
#include <QMainWindow>

class ListMenusTest : public TWWindowTest
{
protected:
    static QVariantMap registerLayout(const QVariantList &fields, qint64 sortField, int direction)
    {
        return {{QStringLiteral("fields"), fields},
                {QStringLiteral("sortField"), quint32(sortField)},
                {QStringLiteral("sortDirection"), direction}};
    }
    static QVariantMap column(qint32 identifier, const QVariantList &views)
    {
        return {{QStringLiteral("identifier"), identifier},
                {QStringLiteral("width"), 80},
                {QStringLiteral("visibleViews"), views}};
    }
    static TWCheck check(const TWBusinessController &document, TWAction action, qint32 field)
    {
        return twValidateListMenu(
                   document, action, 0,
                   QVariant::fromValue(document.business()->fieldWithIdentifier(field)))
            .check;
    }
};

TEST_F(ListMenusTest, AColumnShownForOneAccountIsUncheckedForAnother)
{
    TWAccountPtr shown;
    TWAccountPtr other;
    auto document = windowDocument([&](TWBusiness &b) {
        shown = addAccount(b, QStringLiteral("Checking"));
        other = addAccount(b, QStringLiteral("Savings"));
    });
    TWBusiness &b = *document->business();
    b.updateColumnSettings(
        0,
        registerLayout({column(-5, {qint64(shown->identifier()), -2}), column(-3, {-1})}, -5, 1));

    select(*document, TWMasterItemEntity, TWItemTypeAccount, shown->identifier());
    EXPECT_EQ(check(*document, TWAction::doColumnAccount, -5), TWCheck::On);
    EXPECT_EQ(check(*document, TWAction::doColumnAccount, -3), TWCheck::Off);
    EXPECT_EQ(check(*document, TWAction::doSortByAccount, -5), TWCheck::On);
    EXPECT_EQ(check(*document, TWAction::doSortByAccount, -3), TWCheck::Off);
    EXPECT_EQ(twValidateListMenu(*document, TWAction::doSortDirectionAccount, 1, {}).check,
              TWCheck::On);
    EXPECT_EQ(twValidateListMenu(*document, TWAction::doSortDirectionAccount, 0, {}).check,
              TWCheck::Off);
    // A field without an entry in the layout is unchecked.
    EXPECT_EQ(check(*document, TWAction::doColumnAccount, -6), TWCheck::Off);

    select(*document, TWMasterItemEntity, TWItemTypeAccount, other->identifier());
    EXPECT_EQ(check(*document, TWAction::doColumnAccount, -5), TWCheck::Off);
    // The sort field is the register's, whatever the account.
    EXPECT_EQ(check(*document, TWAction::doSortByAccount, -5), TWCheck::On);
}

TEST_F(ListMenusTest, AFieldsNameIsAMenuTitleAsWrittenNeverAShortcut)
{
    const TWFieldList fields{
        TWField::fieldWithName(QStringLiteral("R&D hours"), 0, false, false, 7)};
    for (bool sort : {false, true}) {
        const QList<TWListMenuItem> items = twRegisterFieldItems(fields, sort);
        ASSERT_FALSE(items.isEmpty());
        EXPECT_EQ(items.first().title, QStringLiteral("R&&D hours"));
    }
}
