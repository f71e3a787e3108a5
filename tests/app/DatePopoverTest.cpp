// The calendar and date-range popovers: what they show, and that the
// delegate hears the dates on every close, however it happened.

#include "TWCalendarController.h"
#include "TWDateRangeController.h"
#include "TWPopover.h"

#include <QCalendarWidget>
#include <QCoreApplication>
#include <QDateEdit>
#include <QPushButton>
#include <QTimeEdit>

#include <gtest/gtest.h>

namespace
{

struct CalendarDelegate : TWCalendarControllerDelegate {
    void calendarDidSelectDate(const QDateTime &date, TWCalendarController *controller) override
    {
        dates.append(date);
        tags.append(controller->tag());
    }
    QList<QDateTime> dates;
    QList<qint64> tags;
};

struct RangeDelegate : TWDateRangeControllerDelegate {
    void dateRangeDidSelectFromDate(const QDateTime &from, const QDateTime &to,
                                    TWDateRangeController *) override
    {
        ranges.append({from, to});
    }
    QList<std::pair<QDateTime, QDateTime>> ranges;
};

class DatePopoverTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(400, 300);
        button = new QPushButton(QStringLiteral("date"), &window);
        button->setCheckable(true);
        button->setChecked(true);
        button->move(20, 20);
        window.show();
        QCoreApplication::processEvents();
    }

    QWidget window;
    QPushButton *button = nullptr;
    const QDateTime opened = QDateTime(QDate(2026, 3, 14), QTime(9, 30));
};

} // namespace

TEST_F(DatePopoverTest, ClosingOutsideReEnablesTheButtonAndReportsTheUnchangedDate)
{
    CalendarDelegate delegate;
    TWCalendarController calendar;
    calendar.setDate(opened);
    calendar.setTag(7);
    calendar.setDelegate(&delegate);
    calendar.showPopOver(button);
    ASSERT_TRUE(calendar.popover()->isShown());
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(calendar.datePicker()->selectedDate(), opened.date());

    // A second showing while open changes nothing.
    calendar.setDate(opened.addDays(3));
    calendar.showPopOver(nullptr);
    EXPECT_EQ(calendar.button(), button);
    EXPECT_EQ(calendar.datePicker()->selectedDate(), opened.date());
    calendar.setDate(opened);

    calendar.popover()->hide(); // what a click outside a popup does
    ASSERT_EQ(delegate.dates.size(), 1);
    EXPECT_EQ(delegate.dates.first(), opened);
    EXPECT_EQ(delegate.tags.first(), 7);
    EXPECT_TRUE(button->isEnabled());
    EXPECT_FALSE(button->isChecked());
}

TEST_F(DatePopoverTest, TheRangeReportsWhatThePickersSetInAnyOrder)
{
    RangeDelegate delegate;
    TWDateRangeController range;
    range.setFromDate(QDate(2026, 1, 1).startOfDay());
    range.setToDate(QDate(2026, 1, 31).startOfDay());
    range.setDelegate(&delegate);
    range.showPopOver(button);
    ASSERT_TRUE(range.popover()->isShown());
    EXPECT_TRUE(button->isEnabled()); // the range leaves its control alone
    EXPECT_EQ(range.fromDatePicker()->date(), QDate(2026, 1, 1));
    EXPECT_EQ(range.toDatePicker()->date(), QDate(2026, 1, 31));

    // From after to is reported as it stands.
    range.fromDatePicker()->setDate(QDate(2026, 6, 1));
    range.toDatePicker()->setDate(QDate(2026, 2, 1));
    range.doneButton()->click();
    EXPECT_FALSE(range.popover()->isShown());
    ASSERT_EQ(delegate.ranges.size(), 1);
    EXPECT_EQ(delegate.ranges.first().first, QDate(2026, 6, 1).startOfDay());
    EXPECT_EQ(delegate.ranges.first().second, QDate(2026, 2, 1).startOfDay());

    // A close from outside reports too.
    range.showPopOver(button);
    range.popover()->hide();
    EXPECT_EQ(delegate.ranges.size(), 2);
}
