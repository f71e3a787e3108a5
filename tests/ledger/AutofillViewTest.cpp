// The autofill settings view: the switch keeps the fields' flags, which
// fields have no trigger box, storing a flag, and the sort orders.

#include "FieldsViewTestSupport.h"

#include "ledger/TWAutofillController.h"

#include <QCheckBox>

namespace
{

class AutofillView : public TWFieldsTest
{
protected:
    void SetUp() override
    {
        TWFieldsTest::SetUp();
        autofill.setBusinessController(document.get());
        autofill.setBusiness(business);
    }
    int rowOf(qint32 identifier) const
    {
        for (int row = 0; row < autofill.fields().size(); ++row)
            if (autofill.fields().at(row)->identifier() == identifier)
                return row;
        return -1;
    }
    QVariant check(qint32 identifier, int column) const
    {
        QAbstractItemModel *model = autofill.tableView()->model();
        return model->data(model->index(rowOf(identifier), column), Qt::CheckStateRole);
    }
    bool click(qint32 identifier, int column, bool on)
    {
        QAbstractItemModel *model = autofill.tableView()->model();
        return model->setData(model->index(rowOf(identifier), column),
                              on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    }

    TWAutofillController autofill;
};

TEST_F(AutofillView, SwitchingOffAndOnKeepsTheFlags)
{
    business->setAutofill(true);
    autofill.update();
    const bool description = business->fieldWithIdentifier(-6)->autofillTrigger();
    EXPECT_TRUE(autofill.enableCheckbox()->isChecked());
    EXPECT_TRUE(autofill.tableView()->isEnabled());
    EXPECT_TRUE(click(-5, TWAutofillController::TriggerColumn, true));
    EXPECT_TRUE(click(-7, TWAutofillController::AutofillColumn, true));

    autofill.enableCheckbox()->click();
    EXPECT_FALSE(business->autofill());
    EXPECT_FALSE(autofill.tableView()->isEnabled());
    EXPECT_TRUE(document->isDocumentEdited());
    // Nothing changes while off.
    EXPECT_FALSE(click(-6, TWAutofillController::TriggerColumn, !description));

    autofill.enableCheckbox()->click();
    EXPECT_TRUE(business->autofill());
    autofill.update();
    EXPECT_TRUE(autofill.tableView()->isEnabled());
    EXPECT_EQ(check(-5, TWAutofillController::TriggerColumn).toInt(), int(Qt::Checked));
    EXPECT_EQ(check(-7, TWAutofillController::AutofillColumn).toInt(), int(Qt::Checked));
    EXPECT_EQ(check(-6, TWAutofillController::TriggerColumn).toInt(),
              int(description ? Qt::Checked : Qt::Unchecked));

    // Stored: the flags come back from the package.
    auto reopened = saveAndReopen();
    ASSERT_TRUE(reopened);
    EXPECT_TRUE(reopened->fieldWithIdentifier(-5)->autofillTrigger());
    EXPECT_TRUE(reopened->fieldWithIdentifier(-7)->autofillValue());
    EXPECT_EQ(reopened->fieldWithIdentifier(-6)->autofillTrigger(), description);
}

TEST_F(AutofillView, FieldsThatCannotTriggerHaveNoTriggerBox)
{
    const TWFieldPtr paid = addField(QStringLiteral("Paid"), TWFieldTypeCheckbox);
    const TWFieldPtr due = addField(QStringLiteral("Due"), TWFieldTypeDate);
    const TWFieldPtr labels = addField(QStringLiteral("Labels"), TWFieldTypeTags);
    const TWFieldPtr project = addField(QStringLiteral("Project"), TWFieldTypeList);
    business->setAutofill(true);
    autofill.update();
    // Eight built-in fields and every custom one.
    EXPECT_EQ(autofill.fields().size(), 8 + 4);

    for (qint32 identifier :
         {-2, -3, paid->identifier(), due->identifier(), labels->identifier()}) {
        EXPECT_FALSE(check(identifier, TWAutofillController::TriggerColumn).isValid())
            << identifier;
        EXPECT_FALSE(click(identifier, TWAutofillController::TriggerColumn, true)) << identifier;
        EXPECT_TRUE(check(identifier, TWAutofillController::AutofillColumn).isValid());
    }
    for (qint32 identifier : {-5, -6, -7, -8, -12, -15, project->identifier()})
        EXPECT_TRUE(check(identifier, TWAutofillController::TriggerColumn).isValid()) << identifier;
}

TEST_F(AutofillView, SortsByNameTypeAndFlags)
{
    business->setAutofill(true);
    autofill.update();
    ASSERT_TRUE(click(-12, TWAutofillController::TriggerColumn, true));
    ASSERT_TRUE(click(-5, TWAutofillController::TriggerColumn, true));
    const auto names = [this] {
        QStringList list;
        for (const TWFieldPtr &field : autofill.fields())
            list.append(field->name());
        return list;
    };
    QStringList sorted = names();
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(names(), sorted);

    autofill.tableView()->sortByColumn(TWAutofillController::TriggerColumn, Qt::AscendingOrder);
    const qsizetype n = autofill.fields().size();
    EXPECT_FALSE(autofill.fields().first()->autofillTrigger());
    EXPECT_TRUE(autofill.fields().at(n - 1)->autofillTrigger());
    EXPECT_TRUE(autofill.fields().at(n - 2)->autofillTrigger());

    autofill.tableView()->sortByColumn(TWAutofillController::TriggerColumn, Qt::DescendingOrder);
    EXPECT_TRUE(autofill.fields().first()->autofillTrigger());

    autofill.tableView()->sortByColumn(TWAutofillController::FieldColumn, Qt::DescendingOrder);
    std::reverse(sorted.begin(), sorted.end());
    EXPECT_EQ(names(), sorted);
}

} // namespace
