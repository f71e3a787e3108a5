// The image table and "binary_images.mshrecord": whole build-ids, loads and unloads seen by a
// refresh and by the crash-time walk of the loader's list.

#include "CrashTestSupport.h"
#include "MSHBinaryImage.h"
#include "MSHContext.h"

#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

namespace
{

QString imagesPath()
{
    return twCrashTestReportDirectory() + QStringLiteral("/binary_images.mshrecord");
}

// The sections of a record file that concern the test library, as (section, uuid).
QList<QPair<QString, QString>> libraryLines(const QString &path)
{
    QList<QPair<QString, QString>> lines;
    for (const auto &section : twCrashTestSections(path)) {
        const QJsonObject object = section.second.toObject();
        if (object.value("path").toString() == QStringLiteral(TW_CRASH_TEST_LIBRARY))
            lines.append({section.first, object.value("uuid").toString()});
    }
    return lines;
}

} // namespace

TEST(BinaryImage, TheExecutableIsFoundByItsWholeBuildID)
{
    twCrashTestReportDirectory();
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof(self) - 1);
    ASSERT_GT(length, 0);
    self[length] = 0;
    const QByteArray buildID = twCrashTestBuildID(QString::fromUtf8(self)).toLatin1();
    ASSERT_EQ(buildID.size(), 40);

    MSHBinaryImageDetails details;
    ASSERT_TRUE(MSHBinaryImageFindImageForUUID(buildID.constData(), &details));
    EXPECT_STREQ(details.uuid, buildID.constData());
    EXPECT_STREQ(details.path, self);
    // Equal in the first 32 digits is not the same image; nor is an empty identifier.
    EXPECT_FALSE(MSHBinaryImageFindImageForUUID(buildID.left(32).constData(), &details));
    EXPECT_FALSE(MSHBinaryImageFindImageForUUID("", &details));

    MSHBinaryImageRange range;
    const auto pc = reinterpret_cast<uintptr_t>(&twCrashTestBuildID);
    ASSERT_TRUE(MSHBinaryImageFindImageForPC(pc, &range));
    EXPECT_LE(range.base, pc);
    EXPECT_LT(pc, range.base + range.size);
    EXPECT_NE(range.ehFrame, 0u);
    EXPECT_FALSE(MSHBinaryImageHasUnwindInfo(range));
    EXPECT_FALSE(MSHBinaryImageFindImageForPC(0, &range));
}

TEST(BinaryImage, ALibraryIsLoadedAndUnloadedAcrossRefreshes)
{
    twCrashTestReportDirectory();
    MSHBinaryImageRefresh();
    MSHBinaryImageFlush();
    const QString libraryID = twCrashTestBuildID(QStringLiteral(TW_CRASH_TEST_LIBRARY));
    ASSERT_FALSE(libraryID.isEmpty());
    const qsizetype before = libraryLines(imagesPath()).size();

    void *library = ::dlopen(TW_CRASH_TEST_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr);
    MSHBinaryImageRefresh();
    MSHBinaryImageFlush();
    auto lines = libraryLines(imagesPath());
    ASSERT_EQ(lines.size(), before + 1);
    EXPECT_EQ(lines.last(), qMakePair(QStringLiteral("load"), libraryID));

    ASSERT_EQ(::dlclose(library), 0);
    MSHBinaryImageRefresh();
    MSHBinaryImageFlush();
    lines = libraryLines(imagesPath());
    ASSERT_EQ(lines.size(), before + 2);
    EXPECT_EQ(lines.last(), qMakePair(QStringLiteral("unload"), libraryID));
}

TEST(BinaryImage, TheCrashTimeWalkSeesWhatChangedSinceTheLastRefresh)
{
    twCrashTestReportDirectory();
    MSHBinaryImageRefresh();
    MSHBinaryImageFlush();
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("walk.mshrecord")).toUtf8();
    // Table and loader agree: nothing to say.
    EXPECT_EQ(MSHBinaryImageRecordCrashTimeChanges(path.constData()), 0);

    void *library = ::dlopen(TW_CRASH_TEST_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(MSHBinaryImageRecordCrashTimeChanges(path.constData()), 1);
    ASSERT_EQ(::dlclose(library), 0);
    EXPECT_EQ(MSHBinaryImageRecordCrashTimeChanges(path.constData()), 1);

    const auto lines = libraryLines(QString::fromUtf8(path));
    const QString libraryID = twCrashTestBuildID(QStringLiteral(TW_CRASH_TEST_LIBRARY));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], qMakePair(QStringLiteral("load"), libraryID));
    EXPECT_EQ(lines[1], qMakePair(QStringLiteral("unload"), libraryID));
    // The table followed: a refresh finds nothing new.
    const qsizetype before = libraryLines(imagesPath()).size();
    MSHBinaryImageRefresh();
    MSHBinaryImageFlush();
    EXPECT_EQ(libraryLines(imagesPath()).size(), before);
}
