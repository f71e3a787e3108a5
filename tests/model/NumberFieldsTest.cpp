// What every kind of number field shows reads back through its reader as the
// same value, in the locales people run the program in.

#include "TWTestSupport.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "model/TWTask.h"
#include "model/TWUnit.h"

#include <gtest/gtest.h>

#include <functional>

TEST(NumberFields, WhatEveryFieldShowsReadsBack)
{
    const TWUnit euro(QStringLiteral("Euro"), QString(), QStringLiteral("EUR"),
                      QStringLiteral("€"), 1.0, 2, QDateTime(), false, TWUnitTypeCurrency);
    TWTask flat;
    flat.setTaskType(TWTaskTypeHour);
    const TWTask timed;
    TWPreferences &preferences = TWPreferences::preferences();
    const std::uint32_t timeFormat = preferences.timeFormat();
    const auto money = [&](bool grouping, bool unit) {
        return [&euro, grouping, unit](const TWFormatter &f, double cents) {
            return f.valueString(qint64(cents), &euro, unit, grouping, false, true, true);
        };
    };
    const auto cents = [&euro](const TWFormatter &f, const QString &text) {
        const std::optional<qint64> value = f.typedValue(text, &euro);
        return value ? std::optional<double>(double(*value)) : std::nullopt;
    };
    const auto typed = [](const TWFormatter &f, const QString &text) { return f.typedNumber(text); };
    // Tax rates and percents are kept in single precision.
    const auto single = [](const TWFormatter &f, const QString &text) {
        const std::optional<double> value = f.typedNumber(text);
        return value ? std::optional<double>(double(float(*value))) : std::nullopt;
    };
    const auto estimate = [&](const TWFormatter &, double seconds) {
        return timed.quantityString(seconds);
    };
    const auto time = [](const TWFormatter &f, const QString &text) { return f.typedTime(text); };
    struct Kind {
        const char *name;
        std::function<QString(const TWFormatter &, double)> show;
        std::function<std::optional<double>(const TWFormatter &, const QString &)> read;
        QList<double> values;
        std::uint32_t timeFormat = 0;
    };
    const QList<Kind> kinds = {
        {"amount", money(true, true), cents, {150, -150, 250000000, 12345678, 123456789012}},
        {"rate", money(false, false), cents, {150, -2550, 250000000}},
        {"quantity",
         [&](const TWFormatter &, double q) { return flat.quantityString(q); },
         typed,
         {1.5, 0.1, 2500000, 1234567.25, 1.0 / 3}},
        {"clock estimate", estimate, time, {5400, 45000, 3600.0 * 2500}, 0},
        {"decimal estimate", estimate, time, {9000, 5400, 3600.0 * 2500}, 1},
        {"tax", [](const TWFormatter &f, double v) { return f.numberString(float(v)); }, single,
         {double(7.5f), double(19.6f), double(8.25f), double(1500.5f), double(2500000.f)}},
        {"custom number",
         [](const TWFormatter &f, double v) { return f.doubleValueString(v); },
         [](const TWFormatter &f, const QString &text) {
             return f.typedNumber(text) ? std::optional<double>(f.doubleValueFromString(text))
                                        : std::nullopt;
         },
         {2500000, 1234.5678, -0.25}},
        {"exchange rate",
         [&euro](const TWFormatter &f, double rate) {
             const TWUnit unit(QString(), QString(), QStringLiteral("XXX"), QString(), rate, 2,
                               QDateTime(), false, TWUnitTypeCurrency);
             return f.homeUnitRateString(&unit, &euro);
         },
         [](const TWFormatter &f, const QString &text) {
             return f.typedNumber(text) ? std::optional<double>(f.doubleValueFromString(text))
                                        : std::nullopt;
         },
         {1.25, 0.876543, 2500000.25}},
    };
    for (const char *name :
         {"en_US", "en_GB", "en_IN", "de_DE", "de_CH", "fr_FR", "fr_CH", "es_ES", "it_IT", "pt_BR",
          "pt_PT", "nl_NL", "pl_PL", "sv_SE", "ru_RU", "ja_JP", "zh_CN", "hi_IN", "tr_TR"}) {
        const TWLocaleGuard guard{QString::fromLatin1(name)};
        const TWFormatter &f = TWFormatter::formatter();
        for (const Kind &kind : kinds) {
            if (preferences.timeFormat() != kind.timeFormat)
                preferences.setTimeFormat(kind.timeFormat);
            for (double value : kind.values) {
                const QString text = kind.show(f, value);
                EXPECT_EQ(kind.read(f, text), std::optional<double>(value))
                    << name << " " << kind.name << " '" << text << "'";
            }
        }
    }
    preferences.setTimeFormat(timeFormat);
    // As the locale writes it, not as C does.
    const TWLocaleGuard german{QStringLiteral("de_DE")};
    EXPECT_EQ(flat.quantityString(1.5), QStringLiteral("1,5"));
    preferences.setTimeFormat(1);
    EXPECT_EQ(timed.quantityString(9000), QStringLiteral("2,50"));
    preferences.setTimeFormat(timeFormat);
    EXPECT_EQ(TWFormatter(QLocale(QStringLiteral("es_ES"))).doubleValueString(2500000),
              QStringLiteral("2.500.000"));
    EXPECT_EQ(TWFormatter(QLocale(QStringLiteral("es_ES"))).numberString(2500.0),
              QStringLiteral("2500"));
    EXPECT_EQ(TWFormatter(QLocale(QStringLiteral("en_IN"))).numberString(-1234567.5),
              QStringLiteral("-12,34,567.5"));
}
