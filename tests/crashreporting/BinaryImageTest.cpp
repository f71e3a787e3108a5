// The image table and "binary_images.mshrecord": whole build-ids, loads and unloads seen by a
// refresh and by the crash-time walk of the loader's list.

#include "CrashTestSupport.h"
#include "crashreporting/capture/MSHBinaryImage.h"
#include "crashreporting/capture/MSHContext.h"

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
