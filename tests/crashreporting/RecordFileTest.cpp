// The record-file writer and reader: numbers at their limits, empty containers, strings that
// would break a JSON line, and lines cut short by a crash.

#include "CrashTestSupport.h"
#include "MSHFile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>

namespace
{

class RecordFile : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("test.mshrecord")); }
    bool open(MSHFile *file, bool buffered = false)
    {
        return MSHFileInitWithPath(file, path().toUtf8().constData(), buffered);
    }
};

} // namespace

TEST_F(RecordFile, NumbersAtTheirLimitsAndEmptyContainers)
{
    MSHFile file;
    ASSERT_TRUE(open(&file));
    MSHFileWriteSectionStart(&file, "numbers");
    MSHFileWriteHashStart(&file);
    MSHFileWriteHashEntryUint64(&file, "max", UINT64_MAX);
    MSHFileWriteHashEntryUint64(&file, "zero", 0);
    MSHFileWriteHashEntryInt64(&file, "negative", INT64_MIN);
    MSHFileWriteHashEntryBoolean(&file, "flag", false);
    MSHFileWriteHashEntryString(&file, "none", nullptr);
    MSHFileWriteHashKey(&file, "list");
    MSHFileWriteArrayStart(&file);
    MSHFileWriteArrayEntryUint64(&file, 7);
    MSHFileWriteArrayEntryString(&file, "x");
    MSHFileWriteArrayEnd(&file);
    MSHFileWriteHashEnd(&file);
    MSHFileWriteSectionEnd(&file);
    MSHFileWriteSectionStart(&file, "empty");
    MSHFileWriteHashStart(&file);
    MSHFileWriteHashEnd(&file);
    MSHFileWriteSectionEnd(&file);
    MSHFileWriteSectionStart(&file, "nothing");
    MSHFileWriteArrayStart(&file);
    MSHFileWriteArrayEnd(&file);
    MSHFileWriteSectionEnd(&file);
    ASSERT_TRUE(MSHFileClose(&file));

    const QList<QByteArray> lines = twCrashTestLines(path());
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QByteArray("{\"numbers\":{\"max\":18446744073709551615,\"zero\":0,"
                                   "\"negative\":-9223372036854775808,\"flag\":false,"
                                   "\"none\":null,\"list\":[7,\"x\"]}}"));
    EXPECT_EQ(lines[1], QByteArray("{\"empty\":{}}"));
    EXPECT_EQ(lines[2], QByteArray("{\"nothing\":[]}"));
    EXPECT_EQ(twCrashTestSections(path()).size(), 3);
}

TEST_F(RecordFile, PlainStringsAreEscapedSoEveryLineParses)
{
    const char *hostile[] = {"tw\"worker",
                             "back\\slash",
                             "line\nbreak\ttab\x01",
                             "bad \xff\xc3( utf8",
                             "\xed\xa0\x80 surrogate",
                             "\"",
                             "\\"};
    MSHFile file;
    ASSERT_TRUE(open(&file));
    for (const char *text : hostile) {
        MSHFileWriteSectionStart(&file, "s");
        MSHFileWriteHashStart(&file);
        MSHFileWriteHashEntryString(&file, "v", text);
        MSHFileWriteHashEntryHexEncodedString(&file, "h", text);
        MSHFileWriteHashEnd(&file);
        MSHFileWriteSectionEnd(&file);
    }
    ASSERT_TRUE(MSHFileClose(&file));
    const auto sections = twCrashTestSections(path());
    ASSERT_EQ(sections.size(), int(std::size(hostile)));
    EXPECT_EQ(sections[0].second.toObject().value("v").toString(), QStringLiteral("tw\"worker"));
    EXPECT_EQ(sections[1].second.toObject().value("v").toString(), QStringLiteral("back\\slash"));
    EXPECT_EQ(sections[2].second.toObject().value("v").toString(),
              QStringLiteral("line\nbreak\ttab\x01"));
    // Bytes that are not UTF-8 come back one character each instead of breaking the line.
    EXPECT_EQ(sections[3].second.toObject().value("v").toString(),
              QString::fromLatin1("bad \xff\xc3( utf8"));
    for (int i = 0; i < sections.size(); ++i)
        EXPECT_EQ(
            QByteArray::fromHex(sections[i].second.toObject().value("h").toString().toLatin1()),
            QByteArray(hostile[i]));
}

TEST_F(RecordFile, OrdinaryTextStaysByteIdentical)
{
    MSHFile file;
    ASSERT_TRUE(open(&file));
    MSHFileWriteSectionStart(&file, "s");
    MSHFileWriteHashStart(&file);
    MSHFileWriteHashEntryString(&file, "v", "Café – 東京 😀 /usr/lib");
    MSHFileWriteHashEnd(&file);
    MSHFileWriteSectionEnd(&file);
    ASSERT_TRUE(MSHFileClose(&file));
    EXPECT_EQ(twCrashTestLines(path()).value(0),
              QByteArray("{\"s\":{\"v\":\"Café – 東京 😀 /usr/lib\"}}"));
}

TEST_F(RecordFile, ACutLineIsSkippedAndTransformsDropObjects)
{
    MSHFile file;
    ASSERT_TRUE(open(&file));
    for (int i = 0; i < 2; ++i) {
        MSHFileWriteSectionStart(&file, "n");
        MSHFileWriteHashStart(&file);
        MSHFileWriteHashEntryUint64(&file, "i", uint64_t(i));
        MSHFileWriteHashEnd(&file);
        MSHFileWriteSectionEnd(&file);
    }
    // A crash inside the writer leaves half a line.
    MSHFileWriteSectionStart(&file, "n");
    MSHFileWriteHashStart(&file);
    MSHFileWriteHashKey(&file, "i");
    ASSERT_TRUE(MSHFileClose(&file));

    const auto all = MSHFileReadSections(path(), false);
    ASSERT_TRUE(all.has_value());
    ASSERT_EQ(all->size(), 2);
    EXPECT_EQ(all->at(1).value("n").toObject().value("i").toInt(), 1);

    const auto firstOnly = MSHFileReadSections(path(), false, [](const QJsonObject &object) {
        return object.value("n").toObject().value("i").toInt() == 0 ? std::optional(object)
                                                                    : std::nullopt;
    });
    ASSERT_TRUE(firstOnly.has_value());
    EXPECT_EQ(firstOnly->size(), 1);

    EXPECT_FALSE(MSHFileReadSections(dir.filePath("missing.mshrecord"), true).has_value());
}

TEST_F(RecordFile, BufferedWritesReachTheFileWhole)
{
    const QByteArray text(2500, 'a');
    MSHFile file;
    ASSERT_TRUE(open(&file, true));
    MSHFileWriteSectionStart(&file, "s");
    MSHFileWriteHashStart(&file);
    MSHFileWriteHashEntryString(&file, "v", text.constData());
    MSHFileWriteHashEnd(&file);
    MSHFileWriteSectionEnd(&file);
    // Only whole 999-byte pieces have gone out before the close.
    EXPECT_EQ(QFileInfo(path()).size() % 999, 0);
    ASSERT_TRUE(MSHFileClose(&file));
    const auto sections = twCrashTestSections(path());
    ASSERT_EQ(sections.size(), 1);
    EXPECT_EQ(sections[0].second.toObject().value("v").toString().toLatin1(), text);
}

TEST_F(RecordFile, AWriterWithoutAFileWritesNothing)
{
    MSHFile file;
    EXPECT_FALSE(
        MSHFileInitWithPath(&file, dir.filePath("no/such/dir/x").toUtf8().constData(), false));
    EXPECT_FALSE(MSHFileIsOpen(&file));
    MSHFileWriteSectionStart(&file, "s");
    MSHFileWriteSectionEnd(&file);
    EXPECT_FALSE(MSHFileInit(&file, -1, false));
}
