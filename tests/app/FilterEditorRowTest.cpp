// One row of the filter editor: the controls each kind of field gets and
// what the user's choices write into the criterion.

#include "TWFilterTestSupport.h"

#include "foundation/TWClock.h"
#include "model/TWField.h"
#include "model/TWFieldItem.h"
#include "model/TWFormatter.h"
#include "store/TWTransactionSearch.h"

namespace
{

class FilterEditorRowTest : public TWFilterTest
{
protected:
    std::unique_ptr<TWFilterEditorRow> row(qint32 field)
    {
        criterion = twCriteriaForField(field, business());
        auto made = std::make_unique<TWFilterEditorRow>(criterion, &business());
        made->resize(600, TWFilterEditorRow::kRowHeight);
        made->update();
        return made;
    }
    TWFilterCriteriaPtr criterion;
};

// A count of 0 or text that is no number would turn "the next" into "the
// last" (the sign carries the direction): refused, the old count shows again.
TEST_F(FilterEditorRowTest, ACountBelowOneIsRefused)
{
    auto date = row(TWFieldIdentifierDate);
    choose(*date, date->view2(), -2);
    type(*date, date->view3(), QStringLiteral("4"));
    ASSERT_EQ(criterion->valueRelativeDate(), 4);
    for (const QString &typed :
         {QStringLiteral("0"), QStringLiteral("abc"), QString(), QStringLiteral("0.4")}) {
        type(*date, date->view3(), typed);
        EXPECT_EQ(criterion->valueRelativeDate(), 4) << typed;
        EXPECT_EQ(text(date->view3()), QStringLiteral("4")) << typed;
    }
    EXPECT_EQ(criterion->match(), 13u);
}

} // namespace
