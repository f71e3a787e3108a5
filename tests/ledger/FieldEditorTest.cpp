// The field editor sheet: a new field's type and views, the views pop-up's
// "all" item, cancelling, and saving an existing field without losing its
// choices, tags or percent settings.

#include "FieldsViewTestSupport.h"

#include "ledger/TWFieldController.h"
#include "ledger/TWFieldsController.h"

#include "model/TWFormatter.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

namespace
{

class FieldEditor : public TWFieldsTest
{
protected:
    void SetUp() override
    {
        TWFieldsTest::SetUp();
        bank = addAccount(*business, QStringLiteral("Bank"));
        cash = addAccount(*business, QStringLiteral("Cash"));
        fields.setBusinessController(document.get());
        fields.setBusiness(business);
        fields.update();
    }
    TWFieldController &editor() { return *fields.fieldController(); }
    void typeName(const QString &name)
    {
        QLineEdit *field = editor().nameTextField();
        field->selectAll();
        QTest::keyClicks(field, name);
    }
    QList<qint32> storedViews(qint32 identifier) const
    {
        const QVariantMap layout = business->columnSettings(0).value_or(QVariantMap());
        for (const QVariant &entry : layout.value(TWColumnSettingsFieldsKey).toList()) {
            const QVariantMap map = entry.toMap();
            if (map.value(TWColumnSettingsIdentifierKey).toInt() != identifier)
                continue;
            QList<qint32> views;
            for (const QVariant &view : map.value(TWColumnSettingsVisibleViewsKey).toList())
                views.append(view.toInt());
            return views;
        }
        return {-999};
    }

    TWAccountPtr bank;
    TWAccountPtr cash;
    TWFieldsController fields;
};

TEST_F(FieldEditor, CancellingLeavesTheFieldAndItsViewsAsTheyWere)
{
    const TWFieldPtr field = addField(QStringLiteral("Memo"), TWFieldTypeText);
    const QList<qint32> before = storedViews(field->identifier());
    fields.editField(field);
    // An existing field shows its type as text; it cannot change.
    EXPECT_FALSE(editor().typePopUpButton()->isVisibleTo(editor().view()));
    EXPECT_EQ(editor().typeTextField()->text(),
              TWFormatter::formatter().fieldTypeString(TWFieldTypeText));
    editor().doPopUpButton(TWFieldController::TypeTag, TWFieldTypeList);
    EXPECT_EQ(editor().editField()->type(), std::uint32_t(TWFieldTypeText));

    typeName(QStringLiteral("Changed"));
    editor().doPopUpButton(TWFieldController::ViewsTag, TWFieldController::AllViewsTag);
    editor().cancelButton()->click();
    settle();
    EXPECT_FALSE(document->hasAttachedSheet());
    EXPECT_FALSE(editor().saved());
    EXPECT_EQ(business->fieldWithIdentifier(field->identifier())->name(), QStringLiteral("Memo"));
    EXPECT_EQ(storedViews(field->identifier()), before);
}

TEST_F(FieldEditor, ARenamedFieldKeepsItsChoicesTagsAndPercentAlsoAfterReopening)
{
    const TWFieldPtr list = addField(QStringLiteral("Project"), TWFieldTypeList);
    addChoice(list, QStringLiteral("Alpha"));
    addChoice(list, QStringLiteral("Beta"));
    const TWFieldPtr tags = addField(QStringLiteral("Labels"), TWFieldTypeTags);
    addChoice(tags, QStringLiteral("Urgent"));
    const TWFieldPtr tip = addField(QStringLiteral("Tip"), TWFieldTypePercentTotal);
    tip->setPercent(15);
    tip->setIncludedInTotal(true);
    ASSERT_OK(business->updateFieldPercentTotal(tip, false));
    fields.update();

    const auto rename = [this](const TWFieldPtr &field, const QString &name) {
        fields.selectField(field);
        fields.editSelectedField(false);
        ASSERT_TRUE(document->hasAttachedSheet());
        typeName(name);
        editor().doSave(1);
        settle();
        ASSERT_FALSE(document->hasAttachedSheet());
    };
    rename(list, QStringLiteral("Client Project"));
    rename(tags, QStringLiteral("Flags"));
    rename(tip, QStringLiteral("Gratuity"));

    const TWFieldPtr listed = business->fieldWithIdentifier(list->identifier());
    EXPECT_EQ(listed->name(), QStringLiteral("Client Project"));
    EXPECT_EQ(choiceNames(*listed), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta")}));
    EXPECT_EQ(choiceNames(*business->fieldWithIdentifier(tags->identifier())),
              QStringList{QStringLiteral("Urgent")});
    EXPECT_DOUBLE_EQ(business->fieldWithIdentifier(tip->identifier())->percent(), 15);
    EXPECT_TRUE(business->fieldWithIdentifier(tip->identifier())->includedInTotal());
    // The view, reselected, shows the choices of the renamed field.
    EXPECT_EQ(fields.selectedField()->identifier(), tip->identifier());
    fields.selectField(listed);
    EXPECT_EQ(fields.itemCount(), 2);

    // A choice added (and named) after the rename belongs to the listed field too.
    fields.newItem();
    QAbstractItemModel *items = fields.itemsTableView()->model();
    ASSERT_TRUE(items->setData(items->index(2, 0), QStringLiteral("Gamma"), Qt::EditRole));
    EXPECT_EQ(business->fieldWithIdentifier(list->identifier())->listItems().size(), 3);

    auto reopened = saveAndReopen();
    ASSERT_TRUE(reopened);
    const TWFieldPtr stored = reopened->fieldWithIdentifier(list->identifier());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->name(), QStringLiteral("Client Project"));
    EXPECT_EQ(stored->listItems().size(), 3);
    EXPECT_EQ(reopened->fieldWithIdentifier(tags->identifier())->name(), QStringLiteral("Flags"));
    EXPECT_EQ(reopened->fieldWithIdentifier(tags->identifier())->tagItems().size(), 1);
    const TWFieldPtr storedTip = reopened->fieldWithIdentifier(tip->identifier());
    EXPECT_EQ(storedTip->name(), QStringLiteral("Gratuity"));
    EXPECT_DOUBLE_EQ(storedTip->percent(), 15);
    EXPECT_TRUE(storedTip->includedInTotal());
}

} // namespace

TEST_F(FieldEditor, ReturnInTheNameSavesTheSheet)
{
    fields.newField();
    ASSERT_TRUE(document->hasAttachedSheet());
    settle();
    editor().nameTextField()->setFocus();
    typeName(QStringLiteral("Mileage"));
    const qint32 identifier = editor().editField()->identifier();
    QTest::keyClick(editor().nameTextField(), Qt::Key_Return);
    settle();

    EXPECT_TRUE(editor().saved());
    EXPECT_FALSE(document->hasAttachedSheet());
    const TWFieldPtr stored = business->fieldWithIdentifier(identifier);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->name(), QStringLiteral("Mileage"));
}
