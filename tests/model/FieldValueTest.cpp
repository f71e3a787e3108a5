#include "TWTestSupport.h"
#include "model/TWFieldValue.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace
{

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

} // namespace

TEST(FieldValue, ViewsOfAnotherTypeAreRefusedAndReadEmpty)
{
    TWFieldValue text(1, TWFieldTypeText);
    text.setText(QStringLiteral("keep"));
    EXPECT_FALSE(text.setCurrency(5));
    EXPECT_FALSE(text.setDate(twLocal(2020, 1, 1, 0, 0, 0)));
    EXPECT_EQ(text.text(), QStringLiteral("keep"));
    EXPECT_EQ(text.currency(), 0);
    EXPECT_FALSE(text.date().isValid());
    EXPECT_TRUE(text.tagItemIdentifiers().isEmpty());

    TWFieldValue currency(2, TWFieldTypeCurrency);
    EXPECT_FALSE(currency.setText(QStringLiteral("x")));
    EXPECT_FALSE(currency.hasValue());
    EXPECT_TRUE(currency.text().isNull());

    // Built-in fields and unknown types hold nothing and are never stored.
    for (std::uint32_t type : {0u, 10u, 0xffffffffu}) {
        TWFieldValue none(1, type);
        EXPECT_FALSE(none.setText(QStringLiteral("x")));
        EXPECT_FALSE(none.setCurrency(1));
        EXPECT_FALSE(none.hasValue());
        EXPECT_FALSE(none.isValid());
        EXPECT_FALSE(none.copy()->hasValue());
    }
}

TEST(FieldValue, NumbersThatAreNotFiniteAreRefused)
{
    TWFieldValue number(3, TWFieldTypeNumber);
    number.setNumber(4.0);
    for (double bad : {kNaN, kInf, -kInf}) {
        EXPECT_FALSE(number.setNumber(bad));
        EXPECT_FALSE(number.hasValue());
        EXPECT_EQ(number.number(), 0.0);
        EXPECT_TRUE(number.isValid());
    }
    EXPECT_TRUE(number.setNumber(std::numeric_limits<double>::max()));
    EXPECT_TRUE(number.isValid());

    TWFieldValue percent(4, TWFieldTypePercent);
    EXPECT_FALSE(percent.setPercent(std::numeric_limits<float>::quiet_NaN()));
    EXPECT_FALSE(percent.setPercent(-std::numeric_limits<float>::infinity()));
    EXPECT_FALSE(percent.hasValue());

    // What the database hands back is a double: it must fit a float.
    EXPECT_TRUE(percent.setPercentFromDouble(7.25));
    EXPECT_EQ(percent.percent(), 7.25f);
    EXPECT_FALSE(percent.setPercentFromDouble(1e300));
    EXPECT_FALSE(percent.hasValue());
    EXPECT_TRUE(percent.setPercentFromDouble(-3.0));
    EXPECT_FALSE(percent.setPercentFromDouble(kNaN));
    EXPECT_FALSE(percent.hasValue());
    EXPECT_TRUE(percent.isValid());
    // Only a percent value takes one.
    TWFieldValue number2(3, TWFieldTypeNumber);
    EXPECT_FALSE(number2.setPercentFromDouble(1.0));
}
