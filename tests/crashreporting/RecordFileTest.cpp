// The record-file writer and reader: numbers at their limits, empty containers, strings that
// would break a JSON line, and lines cut short by a crash.

#include "CrashTestSupport.h"
#include "crashreporting/capture/MSHFile.h"

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
