#include "TWTestSupport.h"
#include "foundation/TWUnZipArchive.h"
#include "foundation/TWZipArchive.h"

#include <QDir>
#include <QFile>

#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <zlib.h>

#include <gtest/gtest.h>

namespace
{

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

// Builds an archive with minizip itself, so that names and contents our
// writer refuses can be put in; `from` -> `to` then patches its bytes.
void writeRawZip(const QString &path, const QList<std::pair<QByteArray, QByteArray>> &entries,
                 const QByteArray &from = {}, const QByteArray &to = {},
                 const char *password = nullptr)
{
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    ASSERT_TRUE(zip);
    for (const auto &[name, data] : entries) {
        zip_fileinfo info{};
        const uLong crc =
            crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size()));
        ASSERT_EQ(zipOpenNewFileInZip3(zip, name.constData(), &info, nullptr, 0, nullptr, 0,
                                       nullptr, Z_DEFLATED, 9, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                       Z_DEFAULT_STRATEGY, password, crc),
                  ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zip, data.constData(), unsigned(data.size())), ZIP_OK);
        ASSERT_EQ(zipCloseFileInZip(zip), ZIP_OK);
    }
    ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
    if (!from.isEmpty()) {
        QByteArray bytes = readFile(path);
        ASSERT_TRUE(bytes.contains(from));
        writeFile(path, bytes.replace(from, to));
    }
}

QByteArray le32(quint32 v)
{
    const char bytes[4] = {char(v & 0xff), char((v >> 8) & 0xff), char((v >> 16) & 0xff),
                           char(v >> 24)};
    return QByteArray(bytes, 4);
}

// Reads until the reader says no; returns the names read.
QStringList readAll(TWUnZipArchive &archive, QList<QByteArray> *contents = nullptr)
{
    QStringList names;
    QByteArray data;
    QString name;
    while (archive.readNextFileData(&data, &name)) {
        names.append(name);
        if (contents)
            contents->append(data);
    }
    return names;
}

// The failure code of reading the archive's next entry.
qint64 readFailure(const QString &path, const TWUnZipLimits &limits = {})
{
    TWUnZipArchive reader(limits);
    if (!reader.openZipFile(path))
        return reader.error() ? reader.error()->code() : 0;
    QByteArray data("stale");
    QString name;
    if (reader.readNextFileData(&data, &name) || !data.isEmpty())
        return 0;
    return reader.error() ? reader.error()->code() : 0;
}

} // namespace

TEST(ZipArchive, RoundTripsEntriesWithDatesAndUTF8Names)
{
    TWTestTempDir dir;
    TWFixedClock clock(2024, 3, 15, 10, 20, 30);
    const QString logo = dir.filePath(QStringLiteral("logo.png"));
    writeFile(logo, QByteArray(3000, 'L'));
    const QDateTime logoTime = twLocal(2021, 6, 7, 8, 9, 10);
    {
        QFile file(logo);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(logoTime, QFileDevice::FileModificationTime));
    }
    const QByteArray layout = "<layout>" + QByteArray(10000, 'x') + "</layout>";
    const QString umlaut = QString::fromUtf8("Bilder/Rechnung-ä€.txt");
    const QString path = dir.filePath(QStringLiteral("layout.zip"));
    {
        TWZipArchive writer;
        ASSERT_TRUE(writer.createZipFile(path));
        EXPECT_TRUE(writer.addFileDataToZip(layout, QStringLiteral("layout.xml")));
        EXPECT_TRUE(writer.addFileToZip(logo, QStringLiteral("images/logo.png")));
        EXPECT_TRUE(writer.addFileDataToZip(QByteArray(), QStringLiteral("empty")));
        EXPECT_TRUE(writer.addFileDataToZip("ü", umlaut));
        EXPECT_TRUE(writer.close());
    }
    EXPECT_LT(QFileInfo(path).size(), 4000); // deflated

    auto reader = TWUnZipArchive::unZipArchive();
    ASSERT_TRUE(reader->openZipFile(path));
    QList<QByteArray> contents;
    EXPECT_EQ(readAll(*reader, &contents),
              (QStringList{QStringLiteral("layout.xml"), QStringLiteral("images/logo.png"),
                           QStringLiteral("empty"), umlaut}));
    EXPECT_EQ(contents, (QList<QByteArray>{layout, QByteArray(3000, 'L'), QByteArray(), "ü"}));
    EXPECT_OK(reader->error()); // the end is no error
    EXPECT_TRUE(reader->close());

    // Dates in the DOS fields, names flagged as UTF-8.
    unzFile unz = unzOpen64(QFile::encodeName(path).constData());
    const QList<QDateTime> dates = {clock.now(), logoTime, clock.now(), clock.now()};
    int index = 0;
    for (int rc = unzGoToFirstFile(unz); rc == UNZ_OK; rc = unzGoToNextFile(unz), ++index) {
        unz_file_info64 info{};
        ASSERT_EQ(unzGetCurrentFileInfo64(unz, &info, nullptr, 0, nullptr, 0, nullptr, 0), UNZ_OK);
        EXPECT_TRUE(info.flag & (1 << 11));
        const tm_unz &t = info.tmu_date;
        EXPECT_EQ(QDateTime(QDate(int(t.tm_year), int(t.tm_mon) + 1, int(t.tm_mday)),
                            QTime(int(t.tm_hour), int(t.tm_min), int(t.tm_sec))),
                  dates.value(index));
    }
    EXPECT_EQ(index, 4);
    unzClose(unz);
}

TEST(ZipArchive, WriterRefusesWhatItCannotWriteSafely)
{
    TWTestTempDir dir;
    TWZipArchive writer;
    EXPECT_FALSE(writer.addFileDataToZip("x", QStringLiteral("x")));
    EXPECT_EQ(writer.error()->code(), TWZipErrorNotOpen);
    EXPECT_FALSE(writer.createZipFile(dir.filePath(QStringLiteral("no/folder/a.zip"))));
    const QString path = dir.filePath(QStringLiteral("a.zip"));
    ASSERT_TRUE(writer.createZipFile(path));
    for (const QString &bad : {QStringLiteral("../x"), QStringLiteral("/etc/x"), QString()}) {
        EXPECT_FALSE(writer.addFileDataToZip("x", bad));
        EXPECT_EQ(writer.error()->code(), TWZipErrorUnsafeName);
    }
    EXPECT_FALSE(writer.addFileToZip(dir.filePath(QStringLiteral("missing")), QStringLiteral("m")));
    EXPECT_EQ(writer.error()->code(), TWZipErrorCannotRead);
    EXPECT_TRUE(writer.addFileDataToZip("ok", QStringLiteral("ok.txt")));
    EXPECT_TRUE(writer.close());
    TWUnZipArchive reader;
    ASSERT_TRUE(reader.openZipFile(path));
    EXPECT_EQ(readAll(reader), QStringList{QStringLiteral("ok.txt")});
}

TEST(ZipArchiveSecurity, NamesThatEscapeTheFolderAreRefused)
{
    EXPECT_TRUE(TWZipEntryNameIsSafe(QStringLiteral("a..b/..c/")));
    TWTestTempDir dir;
    const QString target = dir.filePath(QStringLiteral("target"));
    ASSERT_TRUE(QDir().mkpath(target));
    const QString path = dir.filePath(QStringLiteral("hostile.zip"));
    for (const char *bad : {"../evil.txt", "a/../../evil.txt", "/tmp/evil.txt", "..\\evil.txt",
                            "C:\\evil.txt", "\\evil.txt", "aXb"}) {
        // "aXb" is patched to hold a NUL, which C strings would cut off.
        const QByteArray nul = qstrcmp(bad, "aXb") == 0 ? QByteArray(bad) : QByteArray();
        writeRawZip(path, {{"good.txt", "fine"}, {bad, "owned"}}, nul, QByteArray("a\0b", 3));
        TWUnZipArchive reader;
        ASSERT_TRUE(reader.openZipFile(path));
        QByteArray data;
        QString name;
        EXPECT_TRUE(reader.readNextFile(target + QStringLiteral("/good.txt"), &name));
        EXPECT_FALSE(reader.readNextFile(target + QStringLiteral("/bad.txt"), &name)) << bad;
        EXPECT_EQ(reader.error()->code(), TWZipErrorUnsafeName);
        EXPECT_FALSE(reader.readNextFileData(&data, &name));
        EXPECT_TRUE(data.isEmpty() && name.isEmpty());
    }
    EXPECT_EQ(QDir(target).entryList(QDir::Files), QStringList{QStringLiteral("good.txt")});
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("evil.txt"))));
}

TEST(ZipArchiveSecurity, BombsLyingHeadersDamagedAndEncryptedEntriesAreRefused)
{
    TWTestTempDir dir;
    const QByteArray zeros(8 * 1024 * 1024, '\0');
    const QString bomb = dir.filePath(QStringLiteral("bomb.zip"));
    writeRawZip(bomb, {{"zeros.bin", zeros}});
    ASSERT_LT(QFileInfo(bomb).size(), 64 * 1024);
    TWUnZipLimits small;
    small.maximumEntrySize = 1024 * 1024;
    EXPECT_EQ(readFailure(bomb, small), TWZipErrorEntryTooLarge);
    const QString out = dir.filePath(QStringLiteral("out.bin"));
    EXPECT_FALSE(TWUnZipArchive::unZipArchiveWithFilePath(bomb, out, small));
    EXPECT_FALSE(QFile::exists(out));

    // A header that states nearly 4 GB: the reader stops at its own limit;
    // one that states 100 bytes: the read stops there and the checksum fails.
    writeRawZip(bomb, {{"zeros.bin", zeros}}, le32(quint32(zeros.size())), le32(0xfffffff0u));
    EXPECT_EQ(readFailure(bomb, small), TWZipErrorEntryTooLarge);
    writeRawZip(bomb, {{"zeros.bin", zeros}}, le32(quint32(zeros.size())), le32(100));
    EXPECT_EQ(readFailure(bomb), TWZipErrorDamaged);

    // Entries each under the limit, together over the total; too many entries.
    const QString many = dir.filePath(QStringLiteral("many.zip"));
    const QByteArray chunk(600 * 1024, '\0');
    writeRawZip(many, {{"1", chunk}, {"2", chunk}, {"3", chunk}});
    TWUnZipLimits total;
    total.maximumTotalSize = 1024 * 1024;
    TWUnZipArchive reader(total);
    ASSERT_TRUE(reader.openZipFile(many));
    EXPECT_EQ(readAll(reader), QStringList{QStringLiteral("1")});
    EXPECT_EQ(reader.error()->code(), TWZipErrorTotalTooLarge);
    TWUnZipLimits count;
    count.maximumEntryCount = 2;
    EXPECT_EQ(readFailure(many, count), TWZipErrorTooManyEntries);

    // Tampered bytes fail the checksum; encrypted entries are not read.
    const QString damaged = dir.filePath(QStringLiteral("damaged.zip"));
    QByteArray noise;
    for (quint32 i = 0, v = 1; i < 200; ++i, v = v * 1103515245u + 12345u)
        noise.append(char(v >> 24));
    writeRawZip(damaged, {{"x", noise}});
    QByteArray bytes = readFile(damaged);
    bytes[100] = char(bytes[100] ^ 0x55); // inside the data, after the 31-byte header
    writeFile(damaged, bytes);
    EXPECT_EQ(readFailure(damaged), TWZipErrorDamaged);
    writeRawZip(damaged, {{"secret.txt", "secret"}}, {}, {}, "password");
    EXPECT_EQ(readFailure(damaged), TWZipErrorEncrypted);
}
