// Money and number text: display in several locales, exact parsing, ranges.

#include "TWTestSupport.h"
#include "model/TWFormatter.h"
#include "model/TWNumberFormatter.h"
#include "model/TWUnit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <optional>
#include <thread>

namespace
{

TWUnit currency(const QString &code, const QString &symbol, int decimals = 2)
{
    return TWUnit(code, QString(), code, symbol, 1.0, std::uint8_t(decimals), QDateTime(), false,
                  TWUnitTypeCurrency);
}

QString show(const TWFormatter &f, qint64 value, const TWUnit &unit, bool brackets = false,
             bool forcePositive = false, bool grouping = true, bool showDecimals = true,
             bool displayUnit = true)
{
    return f.valueString(value, &unit, displayUnit, grouping, forcePositive, brackets,
                         showDecimals);
}

} // namespace

TEST(FormatterMoney, ExtremeAmountsFormatWithoutOverflow)
{
    const TWFormatter f(QLocale(QStringLiteral("en_US")));
    const TWUnit usd = currency(QStringLiteral("USD"), QString());
    EXPECT_EQ(show(f, std::numeric_limits<qint64>::min(), usd, false, false, true, true, false),
              QStringLiteral("-92,233,720,368,547,758.08"));
    EXPECT_EQ(f.valueString(std::numeric_limits<qint64>::max(), 0),
              QStringLiteral("9223372036854775807"));
    EXPECT_EQ(f.valueString(1, 30), QStringLiteral("0.000000000000000000000000000001"));
    // A wild decimal count is clamped rather than allocating gigabytes.
    EXPECT_EQ(f.valueString(1, 4000000000u).size(), 2 + 255);
}

TEST(FormatterMoney, RefusesUnreadableAndOutOfRangeText)
{
    const TWFormatter f(QLocale(QStringLiteral("en_US")));
    const TWUnit usd = currency(QStringLiteral("USD"), QStringLiteral("$"));
    for (const char *text :
         {"abc", "1e30", "nan", "-", "1.2.3", "--5", "€5", "92233720368547758.08", "0x10"}) {
        bool ok = true;
        EXPECT_EQ(f.valueFromString(QString::fromUtf8(text), &usd, &ok), 0) << text;
        EXPECT_FALSE(ok) << text;
    }
    // Huge decimal counts with a non-zero amount overflow cleanly.
    bool ok = true;
    EXPECT_EQ(f.valueFromString(QStringLiteral("1"), 4000000000u, &ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(f.valueFromString(QStringLiteral("0.000"), 4000000000u, &ok), 0);
    EXPECT_TRUE(ok);
}

TEST(FormatterMoney, DisplayedTextParsesBackToTheSameAmount)
{
    for (const char *name : {"en_US", "de_DE", "fr_FR", "de_CH", "hi_IN"}) {
        const TWFormatter f{QLocale(QString::fromLatin1(name))};
        const TWUnit unit = currency(QStringLiteral("XYZ"), QStringLiteral("¤"));
        for (qint64 v :
             {qint64(0), qint64(1), qint64(-99), qint64(123456789), qint64(-100000000000),
              std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min()}) {
            for (bool brackets : {false, true}) {
                const QString text = show(f, v, unit, brackets);
                bool ok = false;
                EXPECT_EQ(f.valueFromString(text, &unit, &ok), v)
                    << name << " " << qPrintable(text);
                EXPECT_TRUE(ok);
            }
        }
    }
}

TEST(FormatterNumbers, DisplayAndParse)
{
    const TWFormatter f(QLocale(QStringLiteral("en_US")));
    EXPECT_EQ(f.doubleValueString(1234.5), QStringLiteral("1,234.5"));
    EXPECT_EQ(f.doubleValueString(-1e-9), QStringLiteral("0"));
    EXPECT_DOUBLE_EQ(f.doubleValueFromString(QStringLiteral("1.23456789")), 1.234568);
    EXPECT_EQ(f.doubleValueFromString(QStringLiteral("abc")), 0);
    EXPECT_EQ(f.doubleValueFromString(QStringLiteral("1e400")), 0);
    EXPECT_EQ(f.doubleValueFromString(QString(400, QLatin1Char('9'))), 0);

    EXPECT_EQ(f.percentValueString(0.125f, 0), QStringLiteral("12"));
    EXPECT_EQ(f.percentValueString(123.0f, 0), QStringLiteral("12,300"));
    EXPECT_FLOAT_EQ(f.percentValueFromString(QStringLiteral("12.5")), 12.5f);
}

// The renderer formats on its own thread while the main thread formats too:
// results must not depend on what the other thread is doing.
TEST(FormatterMoney, ConcurrentCallsDoNotDisturbEachOther)
{
    const TWFormatter &f = TWFormatter::formatter();
    const TWUnit usd = currency(QStringLiteral("USD"), QStringLiteral("$"));
    std::atomic<int> wrong{0};
    auto work = [&](bool grouping, int decimals) {
        const QString expected = grouping ? QStringLiteral("1,234,567") : QStringLiteral("1234567");
        for (int i = 0; i < 2000; ++i) {
            QString text = f.valueString(123456700, &usd, false, grouping, false, false, false);
            if (text != expected)
                ++wrong;
            if (f.valueString(-1, std::uint32_t(decimals)).size() != decimals + 3)
                ++wrong;
            if (f.valueFromString(QStringLiteral("1,234.56"), &usd) != 123456)
                ++wrong;
        }
    };
    std::thread a(work, true, 2);
    std::thread b(work, false, 5);
    work(true, 3);
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
}

// Typed text is read exactly and a half of the last place goes away from zero,
// the same on both sides of zero; display without decimals keeps halves to even.
TEST(FormatterMoney, TypedHalvesRoundAwayFromZero)
{
    const TWFormatter f(QLocale(QStringLiteral("en_US")));
    struct Case {
        const char *text;
        std::uint32_t decimals;
        qint64 expected;
    };
    for (const Case &c :
         {Case{"2.5", 0, 3},         Case{"-2.5", 0, -3},      Case{"0.5", 0, 1},
          Case{"-0.5", 0, -1},       Case{"2.49", 0, 2},       Case{"-2.49", 0, -2},
          Case{"3.5", 0, 4},         Case{"0", 0, 0},          Case{"-0.4", 0, 0},
          Case{"0.125", 2, 13},      Case{"-0.125", 2, -13},   Case{"12.345", 2, 1235},
          Case{"-12.345", 2, -1235}, Case{"0.1249", 2, 12},    Case{"0.995", 2, 100},
          Case{"0.00", 2, 0},        Case{"1.0005", 3, 1001},  Case{"-1.0005", 3, -1001},
          Case{"2.0025", 3, 2003},   Case{"1.00049", 3, 1000}, Case{"-0.0004", 3, 0}}) {
        bool ok = false;
        EXPECT_EQ(f.valueFromString(QString::fromLatin1(c.text), c.decimals, &ok), c.expected)
            << c.text << " at " << c.decimals;
        EXPECT_TRUE(ok) << c.text;
    }
    const TWUnit yen = currency(QStringLiteral("JPY"), QStringLiteral("¥"), 0);
    EXPECT_EQ(f.valueFromString(QStringLiteral("¥2.5"), &yen), 3);
    EXPECT_EQ(f.valueFromString(QStringLiteral("(¥2.5)"), &yen), -3);
    EXPECT_EQ(f.valueFromString(QStringLiteral("5.4"), &yen), 5);

    const TWUnit usd = currency(QStringLiteral("USD"), QStringLiteral("$"));
    EXPECT_EQ(show(f, 1250, usd, false, false, true, false), QStringLiteral("$12"));
    EXPECT_EQ(show(f, 1350, usd, false, false, true, false), QStringLiteral("$14"));
    EXPECT_EQ(show(f, -1250, usd, false, false, true, false), QStringLiteral("-$12"));
}

// Typed money and numbers are read only as the locale writes them: a grouping
// separator before other than a whole group, spaces inside the number or more
// digits than an amount holds are refused instead of becoming another amount.
TEST(FormatterTyping, ReadsOnlyNumbersAsTheLocaleWritesThem)
{
    struct Case {
        const char *locale;
        const char *text;
        std::optional<qint64> cents;
    };
    const std::optional<qint64> refused;
    for (const Case &c : {
             Case{"en_US", "1,234.56", 123456},
             Case{"en_US", "1234.56", 123456},
             Case{"en_US", "1,234,567", 123456700},
             Case{"en_US", "-45", -4500},
             Case{"en_US", "(45)", -4500},
             Case{"en_US", "$12", 1200},
             Case{"en_US", "-$1,234.5", -123450},
             Case{"en_US", "12.5", 1250},
             Case{"en_US", "  12.5 ", 1250},
             Case{"en_US", "", 0},
             Case{"en_US", "1234,56", refused},
             Case{"en_US", "1,5", refused},
             Case{"en_US", "1,2345", refused},
             Case{"en_US", "12,34,567", refused},
             Case{"en_US", "1,234,", refused},
             Case{"en_US", "1 111.11", refused},
             Case{"en_US", " 1 234.50", refused},
             Case{"en_US", "123456789012345678901234", refused},
             Case{"en_US", "12.3.4", refused},
             Case{"de_DE", "1.234,56", 123456},
             Case{"de_DE", "1234,56", 123456},
             Case{"de_DE", "-45", -4500},
             Case{"de_DE", "1,234.56", refused},
             Case{"de_DE", "1234.56", refused},
             Case{"de_DE", "1.5", refused},
             // Groups of three always read, and so does the locale's own grouping.
             Case{"en_IN", "123,456.78", 12345678},
             Case{"en_IN", "1,23,456.78", 12345678},
             Case{"hi_IN", "12,345,678", 1234567800},
             Case{"en_IN", "1,2345", refused},
             Case{"es_ES", "2.500.000", 250000000},
             Case{"es_ES", "2500", 250000},
             Case{"pl_PL", "2 500 000,5", 250000050},
             Case{"pt_PT", "2\u00a0500\u00a0000", 250000000},
             Case{"es_ES", "2500.000", refused},
             Case{"fr_FR", "2 500,5", 250050},
             Case{"de_CH", "1'234.50", 123450},
             // No locale writes a first group of 0: such text is no number.
             Case{"de_DE", "0.500", refused},
             Case{"de_DE", "-0.500,5", refused},
             Case{"en_US", "0,500", refused},
             Case{"en_IN", "0,00,500", refused},
             Case{"de_DE", "0,5", 50},
             Case{"de_DE", "0,500", 50},
             Case{"en_US", "0.5", 50},
             Case{"en_US", "0500", 50000},
             // The locale's own digits and marks, and ASCII digits with them.
             Case{"ar_EG", "\u0661\u066c\u0662\u0663\u0664\u066b\u0665\u0666", 123456},
             Case{"ar_EG", "1\u066c234\u066b56", 123456},
             Case{"fa_IR", "\u200e\u2212\u06f1\u06f2\u066b\u06f5", -1250},
             Case{"bn_BD", "\u09e7\u09e8,\u09e9\u09ea,\u09eb\u09ec\u09ed.\u09eb\u09e6", 123456750},
             // Where the decimal mark is not on a Latin keyboard, "." is one too.
             Case{"ar_EG", "987.65", 98765},
             Case{"fa_IR", "8.25", 825},
             Case{"ar_EG", "\u0669\u0668\u0667.\u0666\u0665", 98765},
             Case{"ar_EG", "1\u066c234.5", 123450},
             Case{"ar_EG", "-0.5", -50},
             Case{"ar_EG", "1.234.5", refused},
             Case{"ar_EG", "1.2\u066b3", refused},
             Case{"ar_EG", "1,234.56", refused},
             Case{"fa_IR", "1,5", refused},
         }) {
        const TWFormatter f{QLocale(QString::fromLatin1(c.locale))};
        const TWUnit usd = currency(QStringLiteral("USD"), QStringLiteral("$"));
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(f.typedValue(text, &usd), c.cents) << c.locale << " '" << c.text << "'";
        // Plain numbers read the same way (without a currency sign, and a
        // double holds more digits than an amount).
        if (!text.contains(QLatin1Char('$')) && text.size() < 20) {
            EXPECT_EQ(f.typedNumber(text).has_value(), c.cents.has_value())
                << c.locale << " '" << c.text << "'";
        }
    }
    const TWFormatter us{QLocale(QStringLiteral("en_US"))};
    EXPECT_EQ(us.typedNumber(QStringLiteral("1.5")), std::optional<double>(1.5));
    EXPECT_EQ(us.typedNumber(QStringLiteral("0.3333333333")), std::optional<double>(0.3333333333));
    EXPECT_TRUE(us.typedNumberError().contains(QStringLiteral("1,234.56")));
    EXPECT_FALSE(us.typedNumberError().contains(QStringLiteral(" or ")));
    // Where "." is read besides the locale's mark, the example shows both.
    const QString arabic = TWFormatter{QLocale(QStringLiteral("ar_EG"))}.typedNumberError();
    EXPECT_TRUE(arabic.contains(
        QString::fromUtf8("\u0661\u066c\u0662\u0663\u0664\u066b\u0665\u0666 or 1234.56")))
        << arabic.toStdString();
    // A refusal's words never contradict its example: where numbers are
    // grouped with spaces, it does not ask for none.
    for (const char *name : {"en_US", "de_DE", "fr_FR", "fr_CA", "sv_SE", "pl_PL", "de_CH"}) {
        const TWFormatter f{QLocale(QString::fromLatin1(name))};
        const QString message = f.typedNumberError();
        const bool spacedExample = message.contains(QChar(0x202f)) ||
                                   message.contains(QChar(0x00a0)) ||
                                   f.doubleValueString(1234.56).contains(QLatin1Char(' '));
        EXPECT_NE(message.contains(QStringLiteral("no spaces")), spacedExample)
            << name << " " << message.toStdString();
    }
    // Files and imports keep the lenient reading.
    EXPECT_EQ(us.valueFromString(QStringLiteral("1234,56"), 2u), 12345600);
}

// Where a locale writes its own digits, every amount and number the formatter
// writes passes the typing filter and reads back, and so do ASCII digits typed
// with the locale's marks.
TEST(FormatterTyping, TheLocalesOwnDigitsAreTypedAndRead)
{
    const TWUnit unit = currency(QStringLiteral("XXX"), QString());
    for (const char *name : {"ar_EG", "ar_SA", "fa_IR", "bn_BD", "mr_IN", "ne_NP", "my_MM"}) {
        const QLocale locale(QString::fromLatin1(name));
        const TWFormatter f{locale};
        TWNumberFormatter filter;
        filter.setLocale(locale);
        const auto typed = [&](const QString &text) {
            QString input = text;
            int pos = 0;
            return filter.validate(input, pos) == QValidator::Acceptable;
        };
        for (qint64 cents : {Q_INT64_C(123456), Q_INT64_C(-250000050), Q_INT64_C(5)}) {
            const QString shown = show(f, cents, unit, false, false, true, true, false);
            EXPECT_TRUE(typed(shown)) << name << " '" << shown.toStdString() << "'";
            EXPECT_EQ(f.typedValue(shown, &unit), cents) << name << " '" << shown.toStdString();
        }
        for (double number : {-1.5, 2500000.25}) {
            const QString shown = f.numberString(number);
            EXPECT_TRUE(typed(shown)) << name << " '" << shown.toStdString() << "'";
            EXPECT_EQ(f.typedNumber(shown), std::optional<double>(number))
                << name << " '" << shown.toStdString() << "'";
        }
        const QString ascii = QStringLiteral("1") + locale.groupSeparator() +
                              QStringLiteral("234") + locale.decimalPoint() + QStringLiteral("5");
        EXPECT_TRUE(typed(ascii)) << name;
        EXPECT_EQ(f.typedValue(ascii, &unit), std::optional<qint64>(123450)) << name;
        EXPECT_FALSE(typed(QStringLiteral("12a"))) << name;
    }
}

// The conversion factor shown beside an amount in another unit is a label
// nothing reads back: written "x 1.25000" with a point in every locale.
TEST(FormatterMoney, TheConversionFactorIsWrittenWithAPoint)
{
    const TWUnit dollars = currency(QStringLiteral("USD"), QStringLiteral("$"));
    for (const char *name : {"en_US", "de_DE", "fr_FR", "ar_EG"}) {
        const TWFormatter f{QLocale(QString::fromLatin1(name))};
        EXPECT_EQ(f.conversionString(-12500, &dollars, 10000, &dollars),
                  QStringLiteral("x 1.25000"))
            << name;
        EXPECT_EQ(f.conversionString(0, &dollars, 10000, &dollars), QString()) << name;
    }
}

// A sign or code of another currency than the field's is refused, in typed
// text and in text read leniently, as an unknown sign is; the field's own
// sign and code, and the locale's where they are the field's, are read.
TEST(FormatterTyping, ASignOrCodeOfAnotherCurrencyIsRefused)
{
    struct Case {
        const char *locale;
        const char *unit;
        const char *text;
        std::optional<qint64> value;
    };
    const TWUnit units[] = {currency(QStringLiteral("JPY"), QString::fromUtf8("¥"), 0),
                            currency(QStringLiteral("USD"), QStringLiteral("$")),
                            currency(QStringLiteral("KWD"), QString::fromUtf8("KD"), 3)};
    const std::optional<qint64> refused;
    for (const Case &c : {
             Case{"en_US", "JPY", "$12.50", refused},
             Case{"de_DE", "JPY", "12,50 €", refused},
             Case{"de_DE", "JPY", "12,50 EUR", refused},
             Case{"ja_JP", "USD", "JPY 1,234", refused},
             Case{"ja_JP", "KWD", "￥1,234", refused},
             Case{"en_US", "KWD", "USD 1.234", refused},
             Case{"en_US", "KWD", "€1.234", refused},
             Case{"en_US", "USD", "$12.50", 1250},
             Case{"en_US", "USD", "USD 12.50", 1250},
             Case{"ja_JP", "JPY", "JPY 1,234", 1234},
             Case{"ja_JP", "JPY", "￥1,234", 1234},
             Case{"ja_JP", "JPY", "¥1,234", 1234},
             Case{"en_US", "KWD", "KWD 1.234", 1234},
             Case{"de_DE", "KWD", "1,234 KD", 1234},
             Case{"ar_KW", "KWD", "KWD 1.234", 1234},
         }) {
        const TWFormatter f{QLocale(QString::fromLatin1(c.locale))};
        const TWUnit *unit = nullptr;
        for (const TWUnit &u : units)
            unit = u.code() == QLatin1String(c.unit) ? &u : unit;
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(f.typedValue(text, unit), c.value) << c.locale << " " << c.unit << " " << c.text;
        bool ok = false;
        const qint64 read = f.valueFromString(text, unit, &ok);
        EXPECT_EQ(ok ? std::optional<qint64>(read) : refused, c.value)
            << c.locale << " " << c.unit << " " << c.text;
    }
}
