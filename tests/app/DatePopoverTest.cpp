// The calendar and date-range popovers: what they show, and that the
// delegate hears the dates on every close, however it happened.

#include "TWDateTypingSupport.h"
#include "app/TWCalendarController.h"
#include "app/TWDateRangeController.h"
#include "app/TWPopover.h"

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

// A To that does not read: Done names it and keeps the popover open with what
// was typed; closed by a click outside, no range is applied at all.
TEST_F(DatePopoverTest, ARefusedRangeDateIsNamedAndNeverApplied)
{
    TWAlertRecorder alerts;
    RangeDelegate delegate;
    TWDateRangeController range;
    range.setDelegate(&delegate);
    range.showPopOver(button);
    twTypeDate(range.toDatePicker(), QStringLiteral("35/35/35"));
    range.doDone();
    ASSERT_EQ(alerts.messages.size(), 1);
    EXPECT_TRUE(twNamesField(alerts.messages.first(), TWLocalized("dateRangeTo")));
    EXPECT_TRUE(range.popover()->isShown());
    EXPECT_EQ(range.toDatePicker()->text(), QStringLiteral("35/35/35"));
    range.popover()->hide(); // what a click outside a popup does
    EXPECT_TRUE(delegate.ranges.isEmpty());
}
