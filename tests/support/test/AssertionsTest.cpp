// The printers and assertions every suite relies on to say what went wrong.

#include "TWTestSupport.h"

#include <QStringList>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <sstream>

TEST(TestPrinting, QStringsPrintAsTheirTextAlsoInsideLists)
{
    EXPECT_EQ(::testing::PrintToString(QStringLiteral("Café 5 €")), "\"Café 5 €\"");
    EXPECT_EQ(::testing::PrintToString(QString(QStringLiteral("a\r\tb\n\"c\"\\") + QChar(1))),
              "\"a\\r\\tb\\n\\\"c\\\"\\\\\\x01\"");
    EXPECT_EQ(::testing::PrintToString(QStringList{QStringLiteral("a"), QStringLiteral("b")}),
              "{ \"a\", \"b\" }");
}

TEST(TestPrinting, AQStringStreamedIntoAMessageIsItsTextAsItStands)
{
    std::ostringstream os;
    os << QStringLiteral("Café\n5 €");
    EXPECT_EQ(os.str(), "Café\n5 €");
    EXPECT_NONFATAL_FAILURE(ADD_FAILURE() << QStringLiteral("row 3, Rate: abc"),
                            "row 3, Rate: abc");
    // A value in an assertion still prints through PrintTo, in quotes.
    EXPECT_NONFATAL_FAILURE(EXPECT_EQ(QStringLiteral("a"), QStringLiteral("b")), "\"b\"");
}

TEST(TestAssertions, OkPassesOnSuccessAndPrintsTheErrorOtherwise)
{
    EXPECT_OK(TWErrorResult());
    ASSERT_OK((TWResult<int>{4, std::nullopt}));

    EXPECT_NONFATAL_FAILURE(EXPECT_OK(TWErrorResult(TWError(QStringLiteral("TWStore"), 7,
                                                            QStringLiteral("Disk full")))),
                            "TWStore 7: Disk full");
    EXPECT_FATAL_FAILURE(
        ASSERT_OK((TWResult<int>{0, TWError(QStringLiteral("TWZip"), 2, QStringLiteral("Bad"))})),
        "TWZip 2: Bad");
}
