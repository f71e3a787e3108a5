#include "foundation/TWSaveFile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <gtest/gtest.h>

namespace
{

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes `bytes` to `path` through a QSaveFile and the shared commit; true when it reported a
// failure with a reason.
bool saveReportsFailure(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const TWErrorResult error = twCommitSaveFile(file, file.write(bytes) == bytes.size());
    return error && !error->localizedDescription().isEmpty();
}

} // namespace

TEST(SaveFile, AFailedWriteNeverReplacesTheTargetAndIsReported)
{
    TWTestTempDir folder;
    const QString path = folder.filePath(QStringLiteral("stored.txt"));
    const QByteArray old = "the stored contents";
    {
        QSaveFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(old), old.size());
        ASSERT_OK(twCommitSaveFile(file));
    }
    ASSERT_EQ(contentsOf(path), old);
    const auto onlyTheTarget = [&] {
        return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden) ==
               QStringList{QStringLiteral("stored.txt")};
    };

    // Small writes sit in the buffer and fail only when flushed: on a full disk, and where a
    // few bytes fit (a truncated file), and a write too large for the buffer, which fails at once.
    const QByteArray small(4000, 'x');
    EXPECT_TRUE(twInChildWithFullDisk([&] { return saveReportsFailure(path, small); }));
    EXPECT_EQ(contentsOf(path), old);
    EXPECT_TRUE(onlyTheTarget());
    EXPECT_TRUE(twInChildWithFullDisk([&] { return saveReportsFailure(path, small); }, 100));
    EXPECT_EQ(contentsOf(path), old);
    EXPECT_TRUE(onlyTheTarget());
    const QByteArray large(1 << 20, 'y');
    EXPECT_TRUE(twInChildWithFullDisk([&] { return saveReportsFailure(path, large); }, 100));
    EXPECT_EQ(contentsOf(path), old);
    EXPECT_TRUE(onlyTheTarget());

    // A write the caller found short is discarded too.
    {
        QSaveFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("partial");
        EXPECT_TRUE(twCommitSaveFile(file, false));
    }
    EXPECT_EQ(contentsOf(path), old);
    EXPECT_TRUE(onlyTheTarget());

    // With room, the same write replaces the target.
    EXPECT_FALSE(saveReportsFailure(path, small));
    EXPECT_EQ(contentsOf(path), small);
    EXPECT_TRUE(onlyTheTarget());
}
