// The Columns, Sort By and Mark menus over a real store: which items they
// offer for the focused list and which carry a check mark.

#include "TWListMenus.h"
#include "TWMasterController.h"
#include "TWMenus.h"
#include "TWWindowTestSupport.h"

#include "TWListViews.h"

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

TEST_F(ListMenusTest, DuringAnImportTheMenusListTheStoresFields)
{
    auto document =
        windowDocument([](TWBusiness &b) { addAccount(b, QStringLiteral("Checking")); });
    document->setImporting(true);
    // Even with the source list focused.
    document->windowForSheet()->activateWindow();
    master(*document).outlineView()->setFocus();
    QApplication::processEvents();

    const TWFieldList fields = document->business()->sortedFields();
    const QList<TWListMenuItem> columns = document->columnMenuItems();
    ASSERT_EQ(columns.size(), fields.size());
    for (qsizetype i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(columns[i].title, fields[i]->name());
        EXPECT_EQ(columns[i].action, TWAction::doColumnAccount);
        EXPECT_EQ(columns[i].representedObject.value<TWFieldPtr>(), fields[i]);
    }
    const QList<TWListMenuItem> sort = document->sortMenuItems();
    ASSERT_EQ(sort.size(), fields.size() + 3);
    EXPECT_EQ(sort[0].action, TWAction::doSortByAccount);
    EXPECT_TRUE(sort[fields.size()].isSeparator());
    EXPECT_EQ(sort[fields.size() + 1].action, TWAction::doSortDirectionAccount);
    EXPECT_EQ(sort[fields.size() + 1].tag, 0);
    EXPECT_EQ(sort[fields.size() + 2].tag, 1);
    document->setImporting(false);
}

TEST_F(ListMenusTest, TheSourceListFocusedSortsByNameOrManually)
{
    auto document =
        windowDocument([](TWBusiness &b) { addAccount(b, QStringLiteral("Checking")); });
    document->windowForSheet()->activateWindow();
    master(*document).outlineView()->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(master(*document).hasFirstResponder());
    const QList<TWListMenuItem> sort = document->sortMenuItems();
    ASSERT_EQ(sort.size(), 2);
    EXPECT_EQ(sort[0].title, TWLocalized("name"));
    EXPECT_EQ(sort[1].title, TWLocalized("manually"));
    for (const TWListMenuItem &item : sort)
        EXPECT_EQ(item.action, TWAction::doMasterSortBy);

    // The check follows the store's mode, through the items the menu holds.
    QMenu menu;
    twFillListMenu(&menu, sort, document.get());
    for (quint32 mode : {0u, 1u}) {
        ASSERT_FALSE(document->business()->setSortBy(mode));
        for (QAction *item : menu.actions())
            document->validateItem(item);
        EXPECT_EQ(menu.actions()[0]->isChecked(), mode == 0);
        EXPECT_EQ(menu.actions()[1]->isChecked(), mode == 1);
    }
}

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

TEST_F(ListMenusTest, FiltersAndSearchShareAKeyGroupsAnotherAndReportsNone)
{
    EXPECT_EQ(twRegisterViewKey(5, 5, 42), 42);
    EXPECT_EQ(twRegisterViewKey(5, 10, 7), -2);
    EXPECT_EQ(twRegisterViewKey(13, 0, 0), -2);
    for (int group : {1, 2, 3, 9})
        EXPECT_EQ(twRegisterViewKey(5, group, 3), -1) << group;
    EXPECT_EQ(twRegisterViewKey(9, 0, 0), -3);
    EXPECT_EQ(twRegisterViewKey(5, 6, 3), -4);
    EXPECT_EQ(twRegisterViewKey(5, 7, 3), -5);
    EXPECT_EQ(twRegisterViewKey(5, 8, 3), 0);
    EXPECT_EQ(twRegisterViewKey(5, 4, 3), 0);
    EXPECT_EQ(twRegisterViewKey(-1, 0, 0), 0);

    // Through a real selection: a group of accounts reads the -1 views.
    TWGroupPtr group;
    auto document = windowDocument([&](TWBusiness &b) {
        group = addGroup(b, TWItemTypeAccountGroup, QStringLiteral("Banks"));
        addAccount(b, QStringLiteral("Checking"), group->identifier());
    });
    document->business()->updateColumnSettings(
        0, registerLayout({column(-5, {-1}), column(-6, {-2})}, -3, 0));
    select(*document, TWMasterItemEntity, TWItemTypeAccountGroup, group->identifier());
    EXPECT_EQ(check(*document, TWAction::doColumnAccount, -5), TWCheck::On);
    EXPECT_EQ(check(*document, TWAction::doColumnAccount, -6), TWCheck::Off);
}

TEST_F(ListMenusTest, TheChecksOfOtherListsReadVisibleAndTextIdentifiers)
{
    const QVariantMap settings = {
        {QStringLiteral("fields"),
         QVariantList{QVariantMap{{QStringLiteral("identifier"), QStringLiteral("name")},
                                  {QStringLiteral("visible"), true}},
                      QVariantMap{{QStringLiteral("identifier"), QStringLiteral("rate")},
                                  {QStringLiteral("visible"), false}}}},
        {QStringLiteral("sortField"), QStringLiteral("rate")},
        {QStringLiteral("sortDirection"), 0}};
    EXPECT_TRUE(twColumnChecked(settings, QStringLiteral("name")));
    EXPECT_FALSE(twColumnChecked(settings, QStringLiteral("rate")));
    EXPECT_FALSE(twColumnChecked(settings, QStringLiteral("missing")));
    EXPECT_FALSE(twColumnChecked(std::nullopt, QStringLiteral("name")));
    EXPECT_TRUE(twSortByChecked(settings, QStringLiteral("rate")));
    EXPECT_FALSE(twSortByChecked(settings, QStringLiteral("name")));
    EXPECT_TRUE(twSortDirectionChecked(settings, 0));
    EXPECT_FALSE(twSortDirectionChecked(settings, 1));
    EXPECT_FALSE(twSortDirectionChecked(settings, 4));
    EXPECT_FALSE(twSortDirectionChecked(std::nullopt, 0));
}

TEST_F(ListMenusTest, TheMarkMenuWithoutAFocusedListHasTwoInertItems)
{
    auto document =
        windowDocument([](TWBusiness &b) { addAccount(b, QStringLiteral("Checking")); });
    const QList<TWListMenuItem> marks = document->clientMarkMenuItems();
    ASSERT_EQ(marks.size(), 2);
    EXPECT_EQ(marks[0].title, TWLocalized("asCompleted"));
    EXPECT_EQ(marks[1].title, TWLocalized("asNotCompleted"));
    for (const TWListMenuItem &item : marks) {
        EXPECT_FALSE(item.action.has_value());
        EXPECT_EQ(item.tag, 0);
    }
    // Choosing them does nothing: they carry no command.
    QMenu menu;
    twFillListMenu(&menu, marks, document.get());
    ASSERT_EQ(menu.actions().size(), 2);
    EXPECT_FALSE(twActionOf(menu.actions()[0]).has_value());

    const QList<TWListMenuItem> invoices = twInvoiceMarkItems();
    QList<int> tags;
    for (const TWListMenuItem &item : invoices)
        if (!item.isSeparator())
            tags.append(item.tag);
    EXPECT_EQ(tags, (QList<int>{0, 1, 4, 5}));
}
