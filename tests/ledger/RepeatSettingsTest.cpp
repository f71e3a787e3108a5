// The repeat settings: switching a schedule on and off, the count's bounds,
// the end choice, and what a read-only owner gets.

#include "TWClock.h"
#include "TWControls.h"
#include "TWRepeatController.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

namespace
{

class RepeatSettings : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previousClock = TWClock::nowProvider();
        TWClock::setNowProvider([] { return QDateTime(QDate(2026, 3, 14), QTime(9, 30)); });
        controller.setType(TWRepeatTypeBill);
        controller.update();
        controller.view()->show();
    }
    void TearDown() override { TWClock::setNowProvider(previousClock); }

    std::function<QDateTime()> previousClock;
    TWRepeatController controller;
};

TEST_F(RepeatSettings, SwitchingOnGivesAFreshDailyScheduleWithoutEnd)
{
    EXPECT_FALSE(controller.repeatsCheckbox()->isChecked());
    EXPECT_TRUE(controller.intervalSpinBox()->text().trimmed().isEmpty());
    EXPECT_FALSE(controller.intervalSpinBox()->isEnabled());
    EXPECT_FALSE(controller.intervalUnitPopUpButton()->isEnabled());
    EXPECT_FALSE(controller.endDatePopUpButton()->isEnabled());

    QSignalSpy updated(&controller, &TWRepeatController::updated);
    controller.repeatsCheckbox()->click();
    ASSERT_TRUE(controller.repeat());
    EXPECT_EQ(controller.repeat()->type(), std::uint32_t(TWRepeatTypeBill));
    EXPECT_EQ(controller.repeat()->interval(), 1u);
    EXPECT_EQ(controller.repeat()->intervalUnit(), 0u);
    EXPECT_FALSE(controller.repeat()->endDate().isValid());
    EXPECT_EQ(controller.repeat()->identifier(), 0);
    EXPECT_EQ(controller.intervalSpinBox()->text(), QStringLiteral("1"));
    EXPECT_EQ(controller.endDatePopUpButton()->selectedTag(), 0);
    EXPECT_FALSE(controller.endDateDatePicker()->isEnabled());
    EXPECT_EQ(controller.endDateDatePicker()->date(), QDate(2026, 3, 14));
    EXPECT_EQ(updated.count(), 1);

    // Off and on again: a new schedule, the old identifier gone.
    controller.repeat()->setIdentifier(104);
    controller.repeatsCheckbox()->click();
    EXPECT_FALSE(controller.repeat());
    EXPECT_TRUE(controller.intervalSpinBox()->text().trimmed().isEmpty());
    controller.repeatsCheckbox()->click();
    EXPECT_EQ(controller.repeat()->identifier(), 0);
    EXPECT_EQ(updated.count(), 3);
}

} // namespace
