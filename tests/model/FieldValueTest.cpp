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

// Copies share the text or tag list they hold (a document's repeated values
// take the room of one); setting either copy must leave the other as it was.
TEST(FieldValue, CopiesSharingATextOrTagsChangeApart)
{
    TWFieldValue text(1, TWFieldTypeText);
    ASSERT_TRUE(text.setText(QStringLiteral("shared")));
    TWFieldValue other = text;
    other.setIdentifier(2);
    ASSERT_TRUE(other.setText(QStringLiteral("own")));
    EXPECT_EQ(text.text(), QStringLiteral("shared"));
    EXPECT_EQ(other.text(), QStringLiteral("own"));
    // The last holder keeps the text alive.
    TWFieldValue kept = text;
    text = TWFieldValue(1, TWFieldTypeText);
    EXPECT_FALSE(text.hasValue());
    EXPECT_EQ(kept.text(), QStringLiteral("shared"));
    TWFieldValue moved = std::move(kept);
    EXPECT_EQ(moved.text(), QStringLiteral("shared"));
    kept = moved; // a moved-from value takes a copy again
    EXPECT_EQ(kept.text(), QStringLiteral("shared"));

    TWFieldValue tags(3, TWFieldTypeTags);
    ASSERT_TRUE(tags.setTagItemIdentifiers({7, 8}));
    TWFieldValue copy = tags;
    ASSERT_TRUE(copy.setTagItemIdentifiers({9}));
    EXPECT_EQ(tags.tagItemIdentifiers(), QList<qint32>({7, 8}));
    EXPECT_EQ(copy.tagItemIdentifiers(), QList<qint32>({9}));
    ASSERT_TRUE(copy.setTagItemIdentifiers({}));
    EXPECT_FALSE(copy.hasValue());
    EXPECT_EQ(tags.tagItemIdentifiers(), QList<qint32>({7, 8}));
}

TEST(FieldValue, ABlockHoldsEmptyValuesOfAnySize)
{
    for (const std::size_t count : {std::size_t(1), std::size_t(16), std::size_t(17)}) {
        TWFieldValuePtr block = TWFieldValue::fieldValueBlock(count);
        ASSERT_TRUE(block);
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_FALSE(block.get()[i].hasValue());
            block.get()[i] = TWFieldValue(qint32(i), TWFieldTypeNumber);
            EXPECT_TRUE(block.get()[i].setNumber(double(i)));
        }
        // A pointer to the last value keeps the whole block alive.
        const TWFieldValuePtr last(block, block.get() + count - 1);
        block.reset();
        EXPECT_EQ(last->number(), double(count - 1));
    }
}
