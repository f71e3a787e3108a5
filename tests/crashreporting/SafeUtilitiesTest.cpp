// Crash-safe helpers: reads of unmapped memory, the diagnostic formatter, gzip, hex and digests,
// and the kit-information wrapping.

#include "crashreporting/capture/KTBObfuscator.h"
#include "crashreporting/capture/MSHGzip.h"
#include "crashreporting/capture/MSHHost.h"
#include "crashreporting/capture/MSHSafeUtilities.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <zlib.h>

namespace
{

QByteArray gunzip(const QByteArray &compressed, bool *ok)
{
    z_stream stream{};
    *ok = inflateInit2(&stream, 31) == Z_OK;
    QByteArray out;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(compressed.constData()));
    stream.avail_in = uInt(compressed.size());
    char buffer[16384];
    int status = Z_OK;
    while (*ok && status != Z_STREAM_END) {
        stream.next_out = reinterpret_cast<Bytef *>(buffer);
        stream.avail_out = sizeof(buffer);
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            *ok = false;
        out.append(buffer, qsizetype(sizeof(buffer) - stream.avail_out));
    }
    inflateEnd(&stream);
    return out;
}

} // namespace

TEST(SafeUtilities, UnreadableMemoryFailsWithoutACrash)
{
    const long page = sysconf(_SC_PAGESIZE);
    void *mapping =
        mmap(nullptr, size_t(page) * 2, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapping, MAP_FAILED);
    char *readable = static_cast<char *>(mapping);
    std::memcpy(readable, "hello", 6);
    ASSERT_EQ(mprotect(readable + page, size_t(page), PROT_NONE), 0);

    char copy[8] = {};
    EXPECT_TRUE(MSHReadMemory(readable, copy, 6));
    EXPECT_STREQ(copy, "hello");
    EXPECT_FALSE(MSHReadMemory(readable + page, copy, 1));
    EXPECT_FALSE(MSHReadMemory(readable + page - 2, copy, 4)) << "a read running into the guard";
    EXPECT_FALSE(MSHReadMemory(reinterpret_cast<void *>(16), copy, 1));

    const char *found = nullptr;
    EXPECT_TRUE(MSHReadString(readable, &found, 128));
    EXPECT_EQ(found, readable);
    EXPECT_FALSE(MSHReadString(readable + page, &found, 128));
    // A string running into unreadable memory is no string.
    std::memset(readable + page - 4, 'x', 4);
    EXPECT_FALSE(MSHReadString(readable + page - 4, &found, 128));
    munmap(mapping, size_t(page) * 2);
    EXPECT_FALSE(MSHReadMemory(readable, copy, 1));
}

TEST(SafeUtilities, GzipRoundTripsEmptyAndIncompressibleFiles)
{
    QTemporaryDir dir;
    const QString empty = dir.filePath("empty");
    const QString random = dir.filePath("random");
    QFile(empty).open(QIODevice::WriteOnly);
    QByteArray noise(1024 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(7);
    generator.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    {
        QFile out(random);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(noise);
    }
    for (const auto &[input, expected] :
         {qMakePair(empty, QByteArray()), qMakePair(random, noise)}) {
        const QString output = input + ".gz";
        ASSERT_EQ(MSHGzipCompressFile(input.toUtf8().constData(), output.toUtf8().constData()), 0);
        QFile in(output);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        const QByteArray compressed = in.readAll();
        EXPECT_GT(compressed.size(), 0);
        bool ok = false;
        EXPECT_EQ(gunzip(compressed, &ok), expected);
        EXPECT_TRUE(ok);
    }
    EXPECT_EQ(MSHGzipCompressFile(dir.filePath("missing").toUtf8().constData(),
                                  dir.filePath("missing.gz").toUtf8().constData()),
              -1);
}

TEST(SafeUtilities, ObfuscatedKitInformationRoundTripsAndBadInputAnswersAnError)
{
    const QVariantMap kits{{"kit", "Mishap"}, {"version", qint64(3)}};
    const QByteArray wrapped = KTBObfuscator::obfuscatedDataFromDictionary(kits);
    EXPECT_FALSE(wrapped.contains('\n'));
    const auto back = KTBObfuscator::dictionaryWithObfuscatedData(wrapped);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.value.value("kit").toString(), "Mishap");
    EXPECT_EQ(back.value.value("version").toLongLong(), 3);

    const auto empty = KTBObfuscator::dictionaryWithObfuscatedData({});
    ASSERT_FALSE(empty.ok());
    EXPECT_EQ(empty.error->domain(), "InvalidObfuscatedData");
    EXPECT_EQ(empty.error->localizedDescription(), "Attempting to deobfuscate nil or empty data.");
    for (const QByteArray &bad : {QByteArray("***not base64***"), QByteArray("aGVsbG8="),
                                  QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\">"
                                             "<array/></plist>")
                                      .toBase64()}) {
        const auto result = KTBObfuscator::dictionaryWithObfuscatedData(bad);
        ASSERT_FALSE(result.ok()) << bad.constData();
        EXPECT_EQ(result.error->localizedDescription(), "Improperly obfuscated data.");
    }
}

TEST(SafeUtilities, TheProcessorIsNamedFromProcfs)
{
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    ASSERT_TRUE(cpuinfo.open(QIODevice::ReadOnly));
    if (!cpuinfo.readAll().contains("model name"))
        GTEST_SKIP() << "this machine's cpuinfo names no model";
    const QString cpu = MSHHostGetCPU();
    EXPECT_NE(cpu, QStringLiteral("(failed)"));
    EXPECT_FALSE(cpu.isEmpty());
}
