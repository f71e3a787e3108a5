// The fields view: column order by drag, what may be deleted, the views
// summary, the choice and percent panes, and the document's field commands.

#include "FieldsViewTestSupport.h"

#include "ledger/TWFieldController.h"
#include "ledger/TWFieldsController.h"

#include "TWStoreTestSupport.h"
#include "app/TWMenus.h"
#include "app/TWTypedNumberField.h"

#include "model/TWFormatter.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMimeData>
#include <QToolButton>

namespace
{

class FieldsView : public TWFieldsTest
{
protected:
    void SetUp() override
    {
        TWFieldsTest::SetUp();
        fields.setBusinessController(document.get());
        fields.setBusiness(business);
    }
    int rowOf(const TWFieldPtr &field) const
    {
        for (int row = 0; row < fields.fields().size(); ++row)
            if (fields.fields().at(row)->identifier() == field->identifier())
                return row;
        return -1;
    }
    std::unique_ptr<QMimeData> dragOf(int row) const
    {
        QAbstractItemModel *model = fields.fieldsTableView()->model();
        return std::unique_ptr<QMimeData>(model->mimeData({model->index(row, 0)}));
    }

    TWFieldsController fields;
};

TEST_F(FieldsView, ADropOnARowChangesNothingAndBelowTheLastMovesToTheEnd)
{
    const TWFieldPtr project = addField(QStringLiteral("Project"), TWFieldTypeText);
    const TWFieldPtr mileage = addField(QStringLiteral("Mileage"), TWFieldTypeNumber);
    fields.update();
    QAbstractItemModel *model = fields.fieldsTableView()->model();
    const int count = model->rowCount();
    ASSERT_EQ(count, fields.fields().size());
    ASSERT_GT(count, 3);
    const QList<qint32> before = columnOrder();
    ASSERT_EQ(before.size(), count);
    document->updateChangeCount(2);

    // Onto a row, and onto its own place: refused, nothing moves.
    const int from = rowOf(project);
    auto drag = dragOf(from);
    EXPECT_TRUE(drag->hasFormat(QString::fromLatin1(TWFieldsMimeType)));
    EXPECT_FALSE(model->canDropMimeData(drag.get(), Qt::MoveAction, -1, -1, model->index(0, 0)));
    EXPECT_FALSE(model->dropMimeData(drag.get(), Qt::MoveAction, -1, -1, model->index(0, 0)));
    EXPECT_FALSE(model->dropMimeData(drag.get(), Qt::MoveAction, from, 0, {}));
    QMimeData foreign;
    foreign.setText(QStringLiteral("0"));
    EXPECT_FALSE(model->canDropMimeData(&foreign, Qt::MoveAction, 0, 0, {}));
    EXPECT_EQ(columnOrder(), before);
    EXPECT_FALSE(document->isDocumentEdited());

    // Below the last row: the end of the list and of the register's columns.
    EXPECT_TRUE(model->dropMimeData(drag.get(), Qt::MoveAction, count, 0, {}));
    EXPECT_EQ(fields.fields().last()->identifier(), project->identifier());
    EXPECT_EQ(columnOrder().last(), project->identifier());
    EXPECT_EQ(columnOrder().size(), count);
    EXPECT_TRUE(document->isDocumentEdited());

    // Between rows: just before the row it was dropped above.
    const TWFieldPtr anchor = fields.fields().at(1);
    drag = dragOf(rowOf(mileage));
    EXPECT_TRUE(model->dropMimeData(drag.get(), Qt::MoveAction, 1, 0, {}));
    EXPECT_EQ(fields.fields().at(1)->identifier(), mileage->identifier());
    EXPECT_EQ(fields.fields().at(2)->identifier(), anchor->identifier());
    QList<qint32> shown;
    for (const TWFieldPtr &field : fields.fields())
        shown.append(field->identifier());
    EXPECT_EQ(columnOrder(), shown);

    // The order is the one the view shows next time.
    fields.update();
    EXPECT_EQ(fields.fields().at(1)->identifier(), mileage->identifier());
}

TEST_F(FieldsView, BuiltInFieldsCannotBeDeletedCustomOnesCanAfterTheQuestion)
{
    const TWFieldPtr custom = addField(QStringLiteral("Project"), TWFieldTypeText);
    fields.update();
    const TWFieldPtr payee = business->fieldWithIdentifier(-5);
    ASSERT_TRUE(payee);

    fields.selectField(payee);
    EXPECT_EQ(fields.selectedField(), payee);
    EXPECT_FALSE(fields.canDeleteField(false));
    EXPECT_FALSE(fields.validationQuery(TWQuery::CanDeleteField, false));
    EXPECT_FALSE(fields.deleteButton()->isEnabled());
    EXPECT_TRUE(fields.canEditField(false));
    fields.deleteField(false);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_TRUE(business->fieldWithIdentifier(-5));
    // The context menu of a built-in row offers no delete either.
    QMenu *menu = fields.tableViewMenu(
        fields.fieldsTableView(),
        fields.fieldsTableView()
            ->visualRect(fields.fieldsTableView()->model()->index(rowOf(payee), 0))
            .center());
    ASSERT_TRUE(menu);
    for (QAction *item : menu->actions())
        EXPECT_NE(twActionOf(item), std::optional<TWAction>(TWAction::doDeleteFieldContext));

    fields.selectField(custom);
    EXPECT_TRUE(fields.canDeleteField(false));
    EXPECT_TRUE(fields.deleteButton()->isEnabled());
    alertAnswer = 1001;
    fields.deleteField(false);
    EXPECT_EQ(alerts.size(), 1);
    EXPECT_TRUE(business->fieldWithIdentifier(custom->identifier()));

    alertAnswer = 1000;
    fields.deleteField(false);
    EXPECT_FALSE(business->fieldWithIdentifier(custom->identifier()));
    EXPECT_EQ(rowOf(custom), -1);
    EXPECT_FALSE(columnOrder().contains(custom->identifier()));
    EXPECT_TRUE(document->isDocumentEdited());
}

TEST_F(FieldsView, ChoicesTagsAndPercentSettingsOfTheSelectedField)
{
    const TWFieldPtr list = addField(QStringLiteral("Project"), TWFieldTypeList);
    addChoice(list, QStringLiteral("Beta"));
    addChoice(list, QStringLiteral("Alpha"));
    const TWFieldPtr tags = addField(QStringLiteral("Labels"), TWFieldTypeTags);
    const TWFieldPtr tip = addField(QStringLiteral("Tip"), TWFieldTypePercentTotal);
    const TWFieldPtr text = addField(QStringLiteral("Memo"), TWFieldTypeText);
    fields.update();

    fields.selectField(list);
    EXPECT_TRUE(fields.canAddItem());
    EXPECT_FALSE(fields.showsPercentPane());
    EXPECT_TRUE(fields.itemsTableView()->isEnabled());
    ASSERT_EQ(fields.itemCount(), 2);
    EXPECT_EQ(fields.itemName(0), QStringLiteral("Alpha"));
    // Sorted by the items table's header, descending too.
    fields.itemsTableView()->sortByColumn(0, Qt::DescendingOrder);
    EXPECT_EQ(fields.itemName(0), QStringLiteral("Beta"));

    // A new choice is shown last and named in place; it is stored with its
    // name, never without one.
    fields.newItem();
    ASSERT_EQ(fields.itemCount(), 3);
    EXPECT_EQ(list->listItems().size(), 2);
    QAbstractItemModel *items = fields.itemsTableView()->model();
    EXPECT_TRUE(items->setData(items->index(2, 0), QStringLiteral(" "), Qt::EditRole));
    EXPECT_EQ(fields.itemCount(), 2);
    EXPECT_EQ(list->listItems().size(), 2);
    fields.newItem();
    fields.newItem();
    ASSERT_EQ(fields.itemCount(), 3);
    EXPECT_TRUE(items->setData(items->index(2, 0), QStringLiteral("Gamma"), Qt::EditRole));
    EXPECT_EQ(
        choiceNames(*business->fieldWithIdentifier(list->identifier())),
        (QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Gamma")}));
    EXPECT_TRUE(document->isDocumentEdited());

    // Deleting two asks once, with the plural texts, and deletes both.
    fields.itemsTableView()->selectRow(0);
    fields.itemsTableView()->selectionModel()->select(
        items->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_TRUE(fields.canDeleteItem(false));
    fields.deleteItem(false);
    EXPECT_EQ(alerts.value(0), TWLocalized("deleteItemsMessage"));
    EXPECT_EQ(list->listItems().size(), 1);
    EXPECT_EQ(fields.itemCount(), 1);

    // A stored name is never emptied.
    const QString first = fields.itemName(0);
    EXPECT_TRUE(items->setData(items->index(0, 0), QString(), Qt::EditRole));
    EXPECT_EQ(fields.itemName(0), first);
    EXPECT_FALSE(first.isEmpty());

    fields.selectField(tags);
    fields.newItem();
    EXPECT_EQ(tags->tagItems().size(), 0);
    EXPECT_TRUE(items->setData(items->index(0, 0), QStringLiteral("Urgent"), Qt::EditRole));
    EXPECT_EQ(tags->tagItems().size(), 1);

    // The percent pane edits the listed field and stores it.
    fields.selectField(tip);
    EXPECT_TRUE(fields.showsPercentPane());
    EXPECT_FALSE(fields.canAddItem());
    fields.percentTextField()->setFocus();
    fields.percentTextField()->selectAll();
    QTest::keyClicks(fields.percentTextField(), QStringLiteral("12.5"));
    QTest::keyClick(fields.percentTextField(), Qt::Key_Return);
    EXPECT_DOUBLE_EQ(tip->percent(), 12.5);
    fields.includedInTotalCheckBox()->click();
    EXPECT_TRUE(tip->includedInTotal());

    // Any other field shows the items pane again, disabled without choices.
    fields.selectField(text);
    EXPECT_FALSE(fields.showsPercentPane());
    EXPECT_FALSE(fields.itemsTableView()->isEnabled());
    EXPECT_EQ(fields.itemCount(), 0);
    fields.newItem();
    EXPECT_EQ(fields.itemCount(), 0);

    auto reopened = saveAndReopen();
    ASSERT_TRUE(reopened);
    const TWFieldPtr stored = reopened->fieldWithIdentifier(tip->identifier());
    ASSERT_TRUE(stored);
    EXPECT_DOUBLE_EQ(stored->percent(), 12.5);
    EXPECT_TRUE(stored->includedInTotal());
    EXPECT_EQ(choiceNames(*reopened->fieldWithIdentifier(list->identifier())).size(), 1);
}

TEST_F(FieldsView, ARefusedPercentSettingLeavesTheFieldAsStored)
{
    const TWFieldPtr tip = addField(QStringLiteral("Tip"), TWFieldTypePercentTotal);
    fields.update();
    fields.selectField(tip);
    ASSERT_TRUE(fields.showsPercentPane());
    fields.percentTextField()->setFocus();
    fields.percentTextField()->selectAll();
    QTest::keyClicks(fields.percentTextField(), QStringLiteral("10"));
    QTest::keyClick(fields.percentTextField(), Qt::Key_Return);
    ASSERT_DOUBLE_EQ(tip->percent(), 10.0);

    twExec(*business, QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE INSERT ON percentTotals "
                                     "BEGIN SELECT RAISE(ABORT,'refused'); END"));
    QTest::keyClicks(fields.percentTextField(), QStringLiteral("5"));
    QTest::keyClick(fields.percentTextField(), Qt::Key_Return);
    fields.includedInTotalCheckBox()->click();
    // Totals are computed from the listed field: it keeps what the store has.
    EXPECT_DOUBLE_EQ(tip->percent(), 10.0);
    EXPECT_FALSE(tip->includedInTotal());
    EXPECT_FALSE(fields.includedInTotalCheckBox()->isChecked());
    twExec(*business, QStringLiteral("DROP TRIGGER refuse"));

    auto reopened = saveAndReopen();
    ASSERT_TRUE(reopened);
    const TWFieldPtr stored = reopened->fieldWithIdentifier(tip->identifier());
    ASSERT_TRUE(stored);
    EXPECT_DOUBLE_EQ(stored->percent(), 10.0);
    EXPECT_FALSE(stored->includedInTotal());
}

TEST_F(FieldsView, APercentSettingIsReadAsEveryTypedNumber)
{
    const TWFieldPtr tip = addField(QStringLiteral("Tip"), TWFieldTypePercentTotal);
    fields.update();
    fields.selectField(tip);
    // Read whole when the typing ends, never key by key: a text that does
    // not read is refused, naming the field, and the percentage stays (19.5
    // under de_DE once stored 19 on the way).
    for (const auto &[locale, typed, percent] :
         QList<std::tuple<const char *, QString, double>>{{"de_DE", "19.5", 0},
                                                          {"de_DE", "2,5", 2.5},
                                                          {"fr_FR", "3.5", 2.5},
                                                          {"fa_IR", "4,5", 2.5},
                                                          {"en_US", "19.5", 19.5}}) {
        SCOPED_TRACE(QStringLiteral("%1 %2").arg(locale, typed).toStdString());
        const TWLocaleGuard guard{QString::fromLatin1(locale)};
        alerts.clear();
        const double before = tip->percent();
        fields.percentTextField()->setFocus();
        fields.percentTextField()->selectAll();
        QTest::keyClicks(fields.percentTextField(), typed);
        EXPECT_DOUBLE_EQ(tip->percent(), before);
        QTest::keyClick(fields.percentTextField(), Qt::Key_Return);
        EXPECT_DOUBLE_EQ(tip->percent(), percent);
        const bool refused = percent == before;
        EXPECT_EQ(twIsRefused(fields.percentTextField()), refused);
        ASSERT_EQ(alerts.size(), refused ? 1 : 0);
        if (refused) {
            EXPECT_TRUE(alerts.first().startsWith(
                TWLocalized("refusedFieldMessage").arg(TWLocalized("percent"), QString())))
                << alerts.first();
        }
    }
}

TEST_F(FieldsView, ChoicesLeftBehindThePercentPaneCannotBeDeleted)
{
    const TWFieldPtr list = addField(QStringLiteral("Project"), TWFieldTypeList);
    addChoice(list, QStringLiteral("Alpha"));
    const TWFieldPtr tip = addField(QStringLiteral("Tip"), TWFieldTypePercentTotal);
    fields.update();
    fields.selectField(list);
    fields.itemsTableView()->selectRow(0);
    ASSERT_TRUE(fields.canDeleteItem(false));
    const bool editedBefore = document->isDocumentEdited();

    // The percent pane shows; the list's row stays selected out of sight.
    fields.selectField(tip);
    ASSERT_TRUE(fields.showsPercentPane());
    EXPECT_FALSE(fields.canDeleteItem(false));
    fields.deleteItem(false);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(list->listItems().size(), 1);
    EXPECT_EQ(document->isDocumentEdited(), editedBefore);
}

} // namespace
