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
    using Read = std::function<std::optional<double>(const QString &)>;
    const TWFormatter &f = TWFormatter::formatter(); // follows the pinned locale
    const TWUnit euro(QStringLiteral("Euro"), QString(), QStringLiteral("EUR"), QStringLiteral("€"),
                      1.0, 2, QDateTime(), false, TWUnitTypeCurrency);
    TWTask flat;
    flat.setTaskType(TWTaskTypeHour);
    const TWTask timed;
    const auto money = [&](bool grouped) {
        return [&, grouped](double v) {
            return f.valueString(qint64(v), &euro, grouped, grouped, false, true, true);
        };
    };
    const Read cents = [&](const QString &text) -> std::optional<double> {
        const std::optional<qint64> value = f.typedValue(text, &euro);
        return value ? std::optional<double>(double(*value)) : std::nullopt;
    };
    const Read number = [&](const QString &text) { return f.typedNumber(text); };
    // Tax rates and percents are kept in single precision; custom numbers and
    // rates are read to six places once the text is found readable.
    const Read single = [&](const QString &text) -> std::optional<double> {
        const std::optional<double> value = f.typedNumber(text);
        return value ? std::optional<double>(double(float(*value))) : std::nullopt;
    };
    const Read sixPlaces = [&](const QString &text) -> std::optional<double> {
        return f.typedNumber(text) ? std::optional<double>(f.doubleValueFromString(text))
                                   : std::nullopt;
    };
    const Read time = [&](const QString &text) { return f.typedTime(text); };
    const auto estimate = [&](double seconds) { return timed.quantityString(seconds); };
    const auto rate = [&](double rate) {
        const TWUnit unit(QString(), QString(), QStringLiteral("XXX"), QString(), rate, 2,
                          QDateTime(), false, TWUnitTypeCurrency);
        return f.homeUnitRateString(&unit, &euro);
    };
    struct Kind {
        const char *name;
        std::function<QString(double)> show;
        Read read;
        QList<double> values;
        std::uint32_t timeFormat = 0;
    };
    const QList<Kind> kinds = {
        {"amount", money(true), cents, {150, -150, 250000000, 123456789012}},
        {"rate", money(false), cents, {-2550, 250000000}},
        {"quantity",
         [&](double q) { return flat.quantityString(q); },
         number,
         {1.5, 0.1, 2500000, 1234567.25, 1.0 / 3}},
        {"clock estimate", estimate, time, {5400, 3600.0 * 2500}, 0},
        {"decimal estimate", estimate, time, {9000, 3600.0 * 2500}, 1},
        {"tax and percent",
         [&](double v) { return f.numberString(float(v)); },
         single,
         {double(7.7f), double(19.6f), double(2500000.5f)}},
        {"custom number",
         [&](double v) { return f.doubleValueString(v); },
         sixPlaces,
         {2500000, 1234.5678, -0.25}},
        {"exchange rate", rate, sixPlaces, {1.25, 0.876543, 2500000.25}},
    };
    TWPreferences &preferences = TWPreferences::preferences();
    const std::uint32_t timeFormat = preferences.timeFormat();
    for (const char *name : {"en_US", "en_GB", "en_IN", "de_DE", "de_CH", "fr_FR", "fr_CH",
                             "es_ES", "it_IT", "pt_BR", "pt_PT", "nl_NL", "pl_PL", "sv_SE",
                             "ru_RU", "ja_JP", "zh_CN", "hi_IN", "tr_TR", "ar_EG", "fa_IR"}) {
        const TWLocaleGuard guard{QString::fromLatin1(name)};
        for (const Kind &kind : kinds) {
            if (preferences.timeFormat() != kind.timeFormat)
                preferences.setTimeFormat(kind.timeFormat);
            for (double value : kind.values) {
                const QString text = kind.show(value);
                EXPECT_EQ(kind.read(text), std::optional<double>(value))
                    << name << " " << kind.name << " '" << text << "'";
            }
        }
    }
    // As the locale writes it, not as C does, and never with Qt's "2500.000".
    const TWLocaleGuard german{QStringLiteral("de_DE")};
    preferences.setTimeFormat(1);
    EXPECT_EQ(flat.quantityString(1.5), QStringLiteral("1,5"));
    EXPECT_EQ(estimate(9000), QStringLiteral("2,50"));
    EXPECT_EQ(TWFormatter(QLocale(QStringLiteral("es_ES"))).doubleValueString(2500000),
              QStringLiteral("2.500.000"));
    preferences.setTimeFormat(timeFormat);
}
