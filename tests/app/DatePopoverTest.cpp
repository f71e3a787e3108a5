// The calendar and date-range popovers: what they show, and that the
// delegate hears the dates on every close, however it happened.

#include "TWDateTypingSupport.h"
#include "app/TWAlert.h"
#include "app/TWCalendarController.h"
#include "app/TWDateRangeController.h"
#include "app/TWPopover.h"

#include "foundation/TWLocalized.h"

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
    QStringList alerts;
    twSetAlertPresenter([&alerts](const TWAlert &alert, TWAlertCompletion completion) {
        alerts.append(alert.message);
        if (completion)
            completion(TWAlertFirstButtonReturn);
    });
    RangeDelegate delegate;
    TWDateRangeController range;
    range.setFromDate(opened.addDays(-7));
    range.setToDate(opened);
    range.setDelegate(&delegate);
    range.showPopOver(button);
    ASSERT_TRUE(range.popover()->isShown());
    twTypeDate(range.toDatePicker(), QStringLiteral("35/35/35"));

    range.doDone();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().startsWith(
        TWLocalized("refusedFieldMessage").arg(TWLocalized("dateRangeTo").chopped(1), QString())))
        << alerts.first();
    EXPECT_TRUE(range.popover()->isShown());
    EXPECT_EQ(range.toDatePicker()->text(), QStringLiteral("35/35/35"));
    EXPECT_TRUE(delegate.ranges.isEmpty());

    range.popover()->hide(); // what a click outside a popup does
    EXPECT_TRUE(delegate.ranges.isEmpty());
    twSetAlertPresenter({});
}
