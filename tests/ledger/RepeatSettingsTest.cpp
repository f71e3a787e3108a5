// The repeat settings: switching a schedule on and off, the count's bounds,
// the end choice, and what a read-only owner gets.

#include "TWDateTypingSupport.h"
#include "app/TWControls.h"
#include "app/TWTypedNumberField.h"
#include "foundation/TWClock.h"
#include "ledger/TWRepeatController.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QKeyEvent>
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

TEST_F(RepeatSettings, CountTakesOneToNineHundredNinetyNine)
{
    controller.setRepeat(TWRepeat::repeatWithType(0, 3, TWRepeatIntervalUnitWeek, QDateTime()));
    controller.update();
    QSpinBox *count = controller.intervalSpinBox();
    EXPECT_EQ(count->minimum(), 1);
    EXPECT_EQ(count->maximum(), 999);
    EXPECT_EQ(count->value(), 3);

    QSignalSpy updated(&controller, &TWRepeatController::updated);
    for (int wrong : {0, -1, 1000, 4096})
        controller.doInterval(wrong);
    EXPECT_EQ(controller.repeat()->interval(), 3u);
    EXPECT_EQ(updated.count(), 0);

    // Typed: the box never yields more than 999 nor less than 1.
    count->selectAll();
    QTest::keyClicks(count, QStringLiteral("5000"));
    QTest::keyClick(count, Qt::Key_Return);
    EXPECT_LE(controller.repeat()->interval(), 999u);
    EXPECT_GE(controller.repeat()->interval(), 1u);
    count->setValue(999);
    EXPECT_EQ(controller.repeat()->interval(), 999u);
    count->setValue(1);
    EXPECT_EQ(controller.repeat()->interval(), 1u);

    // A stored schedule with a count out of range shows in range and keeps
    // its count until the user changes it.
    controller.setRepeat(TWRepeat::repeatWithType(0, 0, TWRepeatIntervalUnitDay, QDateTime()));
    controller.update();
    EXPECT_EQ(count->value(), 1);
    EXPECT_EQ(controller.repeat()->interval(), 0u);
}

// The count is read as every typed number, whole, when its typing ends:
// nothing is stored key by key, and a fraction or a number written for
// another locale is refused, naming the field, the count left as it was.
TEST(RepeatSettingsTyping, TheCountIsReadWholeWhenItsTypingEnds)
{
    for (const auto &[locale, typed, count] :
         QList<std::tuple<const char *, QString, unsigned>>{{"de_DE", QStringLiteral("2,5"), 3},
                                                            {"en_US", QStringLiteral("1.5"), 3},
                                                            {"de_DE", QStringLiteral("12"), 12},
                                                            {"ar_EG", QStringLiteral("١٢"), 12}}) {
        SCOPED_TRACE(QStringLiteral("%1 %2").arg(QLatin1String(locale), typed).toStdString());
        const TWLocaleGuard guard{QString::fromLatin1(locale)};
        TWRepeatController controller;
        controller.setRepeat(TWRepeat::repeatWithType(0, 3, TWRepeatIntervalUnitWeek, QDateTime()));
        controller.update();
        controller.view()->show();
        QSpinBox *box = controller.intervalSpinBox();
        box->setFocus();
        box->selectAll();
        // Key by key, as typed (QTest types Latin letters only).
        for (const QChar key : typed) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(key));
            QApplication::sendEvent(box, &press);
        }
        EXPECT_EQ(controller.repeat()->interval(), 3u);
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(controller.repeat()->interval(), count);
        const bool refused = count == 3;
        EXPECT_EQ(twIsRefused(box), refused);
        EXPECT_EQ(box->text(), refused ? typed : QLocale().toString(12));
        const TWAlertRecorder alerts;
        EXPECT_EQ(twExplainFirstRefusedField(controller.view()), refused);
        if (refused) {
            ASSERT_EQ(alerts.messages.size(), 1);
            EXPECT_TRUE(twNamesField(alerts.messages.first(), TWLocalized("repeatEvery")))
                << alerts.messages.first();
        }
    }
}
