// One row of the filter editor: the controls each kind of field gets and
// what the user's choices write into the criterion.

#include "TWFilterTestSupport.h"

#include "TWClock.h"
#include "TWField.h"
#include "TWFieldItem.h"
#include "TWFormatter.h"

namespace
{

class FilterEditorRowTest : public TWFilterTest
{
protected:
    std::unique_ptr<TWFilterEditorRow> row(qint32 field)
    {
        criterion = TWFilterCriteria::filterCriteriaWithFieldIdentifier(field, business());
        auto made = std::make_unique<TWFilterEditorRow>(criterion, &business());
        made->resize(600, TWFilterEditorRow::kRowHeight);
        made->update();
        return made;
    }
    TWFilterCriteriaPtr criterion;
};

TEST_F(FilterEditorRowTest, RelativeDates)
{
    auto date = row(TWFieldIdentifierDate);
    EXPECT_EQ(criterion->valueType(), quint32(TWFilterValueTypeNamedPeriod));
    EXPECT_EQ(tags(date->view2()), (QList<int>{3, 4, 9, 10, 11, 12, -1, -2}));
    // In the last: count 1 in days, N = -1.
    choose(*date, date->view2(), -1);
    EXPECT_EQ(criterion->match(), 13u);
    EXPECT_EQ(criterion->valueRelativeDate(), -1);
    EXPECT_EQ(text(date->view3()), QStringLiteral("1"));
    EXPECT_EQ(selectedTag(date->view4()), 13);
    EXPECT_EQ(selectedTag(date->view2()), -1);
    // Typed 5 or -5: the direction comes from the operator.
    type(*date, date->view3(), QStringLiteral("5"));
    EXPECT_EQ(criterion->valueRelativeDate(), -5);
    type(*date, date->view3(), QStringLiteral("-5"));
    EXPECT_EQ(criterion->valueRelativeDate(), -5);
    // Weeks: the unit pop-up sets the match, nothing rebuilt.
    QWidget *unit = date->view4();
    choose(*date, unit, 14);
    EXPECT_EQ(criterion->match(), 14u);
    EXPECT_EQ(date->view4(), unit);
    // In the next: back to 1 day, N = 1.
    choose(*date, date->view2(), -2);
    EXPECT_EQ(criterion->match(), 13u);
    EXPECT_EQ(criterion->valueRelativeDate(), 1);
    EXPECT_EQ(text(date->view3()), QStringLiteral("1"));
    EXPECT_EQ(selectedTag(date->view2()), -2);
    type(*date, date->view3(), QStringLiteral("3"));
    EXPECT_EQ(criterion->valueRelativeDate(), 3);

    // A fixed operator after a relative one: "today".
    choose(*date, date->view2(), 9);
    EXPECT_EQ(criterion->match(), 9u);
    EXPECT_EQ(criterion->valueType(), quint32(TWFilterValueTypeNamedPeriod));
    EXPECT_EQ(criterion->valueIdentifier(), 0);
    EXPECT_EQ(selectedTag(date->view3()), 0);
    EXPECT_FALSE(date->view4());
}

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
        EXPECT_EQ(criterion->valueRelativeDate(), 4) << typed.toStdString();
        EXPECT_EQ(text(date->view3()), QStringLiteral("4")) << typed.toStdString();
    }
    EXPECT_EQ(criterion->match(), 13u);
}

} // namespace
