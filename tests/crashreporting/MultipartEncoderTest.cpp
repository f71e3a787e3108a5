// The multipart body, byte for byte, its declared length and a device that refuses writes.

#include "CrashTestSupport.h"

#include "crashreporting/network/KTBMultipartMimeStreamEncoder.h"

#include <QBuffer>
#include <QNetworkRequest>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace
{

// Accepts `room` bytes, then refuses every write.
class RefusingDevice final : public QIODevice
{
public:
    explicit RefusingDevice(qint64 room) : m_room(room) {}

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 length) override
    {
        const qint64 accepted = std::min(length, m_room);
        m_room -= accepted;
        return accepted == 0 ? -1 : accepted;
    }

private:
    qint64 m_room;
};

QByteArray golden(const char *name)
{
    return twCrashTestReadFile(QStringLiteral(TW_TEST_DATA_DIR "/") + QLatin1String(name));
}

void addParts(KTBMultipartMimeStreamEncoder &encoder)
{
    encoder.addValue(QStringLiteral("Ann"), QStringLiteral("name"));
    encoder.addValue(42, QStringLiteral("count"));
    encoder.addValue(QVariant(), QStringLiteral("absent"));
    encoder.addValue(QVariant::fromValue(nullptr), QStringLiteral("null"));
    encoder.addValue(QStringLiteral("no field"), QString());
    encoder.addFileData("hello\r\n", QStringLiteral("a.txt"), QStringLiteral("text/plain"),
                        QStringLiteral("notes"));
    encoder.addFileData(QByteArray("\x00\x01\x02", 3), QStringLiteral("b.bin"), QString(),
                        QStringLiteral("blob"));
    encoder.addFileData(QByteArray(), QStringLiteral("c.bin"), QString(), QStringLiteral("none"));
}

TEST(MultipartEncoder, TextNumberAndFilePartsByteForByte)
{
    QBuffer buffer;
    KTBMultipartMimeStreamEncoder encoder(&buffer, QStringLiteral("TEST-BOUNDARY"));
    ASSERT_TRUE(encoder.encode(addParts));
    EXPECT_EQ(buffer.data(), golden("multipart-parts.body"));
    EXPECT_EQ(encoder.contentLengthHTTPHeaderValue(), QString::number(buffer.data().size()));
    EXPECT_EQ(encoder.contentTypeHTTPHeaderValue(),
              QStringLiteral("multipart/form-data; boundary=TEST-BOUNDARY"));
}

TEST(MultipartEncoder, ADeviceThatRefusesWritesMakesEncodingFail)
{
    for (const qint64 room : {qint64(0), qint64(10), qint64(200)}) {
        RefusingDevice device(room);
        ASSERT_TRUE(device.open(QIODevice::WriteOnly));
        KTBMultipartMimeStreamEncoder encoder(&device, QStringLiteral("TEST-BOUNDARY"));
        EXPECT_FALSE(encoder.encode(addParts)) << room;
        EXPECT_TRUE(encoder.failed());
        EXPECT_LE(encoder.length(), uint64_t(room));
    }
}

} // namespace
