#include "TWTestSupport.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWNumberFormatter.h"

#include <gtest/gtest.h>

#include <limits>

TEST(FormatterDurations, ParsesClockTextAndDecimalHours)
{
    const TWFormatter &f = TWFormatter::formatter();
    EXPECT_EQ(f.timeValueFromString(QStringLiteral("0:45")), 2700);
    EXPECT_EQ(f.timeValueFromString(QStringLiteral(" 1 : 30 : 15 ")), 5415);
    EXPECT_EQ(f.timeValueFromString(QStringLiteral("2.5")), 9000);
    EXPECT_EQ(f.timeValueFromString(QStringLiteral("1:")), 60);
    EXPECT_EQ(f.timeValueFromString(QStringLiteral("x:y")), 0);
    EXPECT_EQ(f.timeValueFromString(QString()), 0);
    // What the clock format writes reads back, negative durations included.
    for (double seconds : {0.0, 59.0, 3723.0, 5415.0, -5400.0, -3723.0}) {
        EXPECT_EQ(f.timeValueFromString(f.timeString(seconds, true, 0)), seconds) << seconds;
    }
    EXPECT_GT(f.timeValueFromString(QStringLiteral("99999999999999999999:1")), 0);
}

TEST(FormatterDurations, AreWrittenInTheLocalesDigitsAndReadBack)
{
    // Locale, and 2:30 and 3:00:00 as it writes them.
    for (const auto &[locale, short230, long3h] : QList<std::tuple<const char *, QString, QString>>{
             {"de_DE", "2:30", "3:00:00"},
             {"fa_IR", QString::fromUtf8("\u06F2:\u06F3\u06F0"),
              QString::fromUtf8("\u06F3:\u06F0\u06F0:\u06F0\u06F0")},
             {"ar_EG", QString::fromUtf8("\u0662:\u0663\u0660"),
              QString::fromUtf8("\u0663:\u0660\u0660:\u0660\u0660")}}) {
        SCOPED_TRACE(locale);
        const TWFormatter f{QLocale(QString::fromLatin1(locale))};
        EXPECT_EQ(f.timeString(9000, false, 0), short230);
        EXPECT_EQ(f.timeString(10800, true, 0), long3h);
        for (double seconds : {605.0, -5400.0, 3600.0 * 12345})
            EXPECT_EQ(f.typedTime(f.timeString(seconds, true, 0)), seconds) << seconds;
    }
    // Files keep ASCII digits.
    EXPECT_EQ(TWFormatter(QLocale::c()).timeString(45296, true, 0), QStringLiteral("12:34:56"));
}

TEST(FormatterSizes, BytesAndPowersOf1024)
{
    const TWFormatter f(QLocale(QStringLiteral("en_US")));
    EXPECT_EQ(f.dataSizeString(0), QStringLiteral("0 B"));
    EXPECT_EQ(f.dataSizeString(1023), QStringLiteral("1,023 B"));
    EXPECT_EQ(f.dataSizeString(1024), QStringLiteral("1.0 KB"));
    EXPECT_EQ(f.dataSizeString(1ull << 40), QStringLiteral("1.0 TB"));
    EXPECT_EQ(f.dataSizeString(1ull << 50), QStringLiteral("1024.0 TB"));
    EXPECT_TRUE(f.dataSizeString(std::numeric_limits<std::uint64_t>::max()).endsWith(" TB"));
}

TEST(FormatterDates, SchedulesCyclesAndIntervals)
{
    TWFixedClock clock(2024, 3, 10, 12, 0, 0);
    const TWFormatter &f = TWFormatter::formatter();
    EXPECT_EQ(f.repeatString(1, 2, QDateTime()), QStringLiteral("1 month"));
    EXPECT_EQ(f.repeatString(2, 1, twLocal(2024, 5, 1)), QStringLiteral("2 weeks (ends 5/1/24)"));
    EXPECT_TRUE(f.repeatString(1, 4, QDateTime()).isNull());

    EXPECT_EQ(f.repeatNextItemString(false, true, twLocal(2024, 3, 12)),
              TWLocalized("inactiveLower"));
    EXPECT_EQ(f.repeatNextItemString(true, true, twLocal(2024, 3, 12, 12)),
              QStringLiteral("2 days"));
    EXPECT_EQ(f.repeatNextItemString(true, true, twLocal(2024, 3, 11, 13)),
              QStringLiteral("2 days"));
    EXPECT_EQ(f.repeatNextItemString(true, true, twLocal(2024, 3, 11, 12)),
              QStringLiteral("1 day"));

    EXPECT_EQ(f.budgetItemCycleString(1, 3), QStringLiteral("1 month"));
    EXPECT_EQ(f.budgetItemCycleString(1, 0), f.noneString());
    EXPECT_TRUE(f.budgetItemCycleString(1, 5).isNull());

    EXPECT_EQ(f.intervalDetails(0, QDateTime(), QDateTime(), false), TWLocalized("allDates"));
    EXPECT_EQ(f.intervalDetails(1, QDateTime(), QDateTime(), false),
              TWLocalized("today") + QStringLiteral(" - 3/10/24"));
    EXPECT_EQ(f.intervalDetails(3, QDateTime(), QDateTime(), true),
              TWLocalized("week") + QStringLiteral("\r\n3/3/24\r\n3/10/24"));
    EXPECT_EQ(f.intervalDetails(6, twLocal(2023, 1, 2), twLocal(2023, 2, 3), false),
              TWLocalized("custom") + QStringLiteral(" - 1/2/23 - 2/3/23"));
    EXPECT_TRUE(f.intervalDetails(7, QDateTime(), QDateTime(), false).isNull());
}

TEST(FormatterNames, TablesAndTheirGaps)
{
    const TWFormatter &f = TWFormatter::formatter();
    EXPECT_EQ(f.accountTypeString(2), TWLocalized("bank"));
    for (std::uint32_t gap : {0u, 8u, 18u, 4000000000u}) {
        EXPECT_TRUE(f.accountTypeString(gap).isNull()) << gap;
        EXPECT_TRUE(f.debitNameString(gap).isNull()) << gap;
        EXPECT_TRUE(f.creditNameString(gap).isNull()) << gap;
    }
    EXPECT_EQ(f.debitNameString(1), TWLocalized("invoice"));
    EXPECT_EQ(f.creditNameString(16), TWLocalized("rebate"));
    EXPECT_TRUE(f.fieldTypeString(10).isNull());
    EXPECT_TRUE(f.reportTypeString(10).isNull());
    EXPECT_TRUE(f.businessTypeString(3).isNull());
    EXPECT_TRUE(f.projectTypeString(2).isNull());
    EXPECT_TRUE(f.taskTypeString(8).isNull());
    EXPECT_TRUE(f.repeatTypeString(3).isNull());
    EXPECT_TRUE(f.layoutKindString(2).isNull());
    EXPECT_EQ(f.taskFieldString(-1), TWLocalized("date"));
    for (std::int32_t gap : {0, 1, -16, std::numeric_limits<std::int32_t>::min()})
        EXPECT_TRUE(f.taskFieldString(gap).isNull()) << gap;
    EXPECT_TRUE(f.expenseFieldString(-11).isNull());

    QStringList missing;
    for (const QString &key : TWFormatter::localizationKeys()) {
        if (!TWHasLocalized(key))
            missing.append(key);
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.join(QLatin1Char(' '));
}

TEST(NumberFormatter, RefusesIllegalKeystrokesWithABeep)
{
    int beeps = 0;
    TWNumberFormatter::setBeepHandler([&] { ++beeps; });
    TWNumberFormatter filter;
    QString error;
    // Typing "a" after "12".
    EXPECT_FALSE(
        filter.isPartialStringValid(QStringLiteral("12a"), 3, QStringLiteral("12"), 2, &error));
    EXPECT_EQ(error, TWLocalized("invalidInput"));
    EXPECT_EQ(beeps, 1);
    EXPECT_FALSE(filter.isPartialStringValid(QStringLiteral("+"), 1, QString(), 0, &error));
    EXPECT_EQ(beeps, 2);
    // Pasting over a selection, and a deletion.
    EXPECT_TRUE(
        filter.isPartialStringValid(QStringLiteral("1,234.5"), 7, QStringLiteral("x"), 0, &error));
    EXPECT_TRUE(error.isNull());
    EXPECT_TRUE(
        filter.isPartialStringValid(QStringLiteral("1a"), 1, QStringLiteral("1a2"), 2, &error));
    // Out-of-range positions do not read past the text.
    EXPECT_TRUE(filter.isPartialStringValid(QStringLiteral("1"), 50, QString(), -4, nullptr));
    EXPECT_EQ(beeps, 2);

    int pos = 0;
    QString text = QStringLiteral("-1,234.5");
    EXPECT_EQ(filter.validate(text, pos), QValidator::Acceptable);
    text = QStringLiteral("12a");
    EXPECT_EQ(filter.validate(text, pos), QValidator::Invalid);
    EXPECT_EQ(beeps, 3);
    // The locale's own grouping separator (a narrow no-break space in French) stays editable.
    filter.setLocale(QLocale(QStringLiteral("fr_FR")));
    text = QLocale(QStringLiteral("fr_FR")).toString(1234567);
    EXPECT_EQ(filter.validate(text, pos), QValidator::Acceptable);
    // So do a typed space there, a negative amount in brackets and Swedish minus.
    for (const char *shown : {"2 500,5", "(12,50)"}) {
        text = QString::fromUtf8(shown);
        EXPECT_EQ(filter.validate(text, pos), QValidator::Acceptable) << shown;
    }
    filter.setLocale(QLocale(QStringLiteral("sv_SE")));
    text = TWFormatter(QLocale(QStringLiteral("sv_SE"))).numberString(-1.5);
    EXPECT_EQ(filter.validate(text, pos), QValidator::Acceptable);
    TWNumberFormatter::setBeepHandler(nullptr);
}
