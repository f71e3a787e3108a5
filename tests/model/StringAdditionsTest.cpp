#include "foundation/TWStringAdditions.h"

#include <gtest/gtest.h>

using namespace TWStringAdditions;

TEST(StringSearch, BeginningsOrWordsInAnyOrder)
{
    EXPECT_TRUE(searchString(QStringLiteral("anything"), QString(), false));
    EXPECT_TRUE(searchString(QStringLiteral("Acme Ltd"), QStringLiteral("acme"), false));
    EXPECT_FALSE(searchString(QStringLiteral("The Acme"), QStringLiteral("acme"), false));
    // By words: in any order, the last one a prefix.
    EXPECT_TRUE(searchString(QStringLiteral("The Acme-Co"), QStringLiteral("acme"), true));
    EXPECT_TRUE(searchString(QStringLiteral("Acme Ltd"), QStringLiteral("LTD ACME"), true));
    EXPECT_TRUE(searchString(QStringLiteral("Acme Ltd."), QStringLiteral("ACME LT"), true));
    EXPECT_FALSE(searchString(QStringLiteral("Acme Ltd."), QStringLiteral("AC LTD"), true));
    // Separators other than the space split words too.
    EXPECT_TRUE(
        searchString(QStringLiteral("rent;march_2024"), QStringLiteral("march rent"), true));
    // A trailing separator leaves an empty last word, which every text has.
    EXPECT_TRUE(searchString(QStringLiteral("Acme Ltd"), QStringLiteral("acme "), true));
}

TEST(StringEscaping, HTMLByCodePoint)
{
    EXPECT_EQ(encodeHTML(QStringLiteral("AT&T 42")), QStringLiteral("AT&#x26;T 42"));
    EXPECT_EQ(encodeHTML(QStringLiteral("<b>")), QStringLiteral("&#x3c;b&#x3e;"));
    // A character outside the basic plane is one reference, not two surrogates.
    EXPECT_EQ(encodeHTML(QString::fromUcs4(U"\U0001F600")), QStringLiteral("&#x1f600;"));
}

TEST(ListOperations, JoinAndContain)
{
    EXPECT_EQ(listString({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}),
              QStringLiteral("a, b, c"));
    EXPECT_EQ(listString({QString(), QStringLiteral("b")}), QStringLiteral("b"));

    const QStringList list{QStringLiteral("x"), QStringLiteral("y")};
    EXPECT_TRUE(TWArrayAdditions::containsArray(list, QStringList()));
    EXPECT_TRUE(TWArrayAdditions::containsArray(list, QStringList{QStringLiteral("y")}));
    EXPECT_FALSE(TWArrayAdditions::containsArray(list, QStringList{QStringLiteral("z")}));
}
