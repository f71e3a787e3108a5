// Attachments: what is read from photo and recording files (which come from
// outside and may be damaged).

#include "TWTestSupport.h"
#include "model/TWAttachment.h"

#include <QFile>
#include <QImage>
#include <QtEndian>

#include <gtest/gtest.h>

namespace
{

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray le16(quint16 v)
{
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

// A mono 16-bit WAV file at 8000 samples a second, with an odd-sized chunk
// before the format chunk and `declared` as the data chunk's size.
QByteArray wav(quint32 dataBytes, quint32 declared)
{
    QByteArray body = "WAVE";
    body += "LIST" + le32(3) + "abc" + '\0';
    body += "fmt " + le32(16) + le16(1) + le16(1) + le32(8000) + le32(16000) + le16(2) + le16(16);
    body += "data" + le32(declared) + QByteArray(int(dataBytes), '\0');
    return "RIFF" + le32(quint32(body.size())) + body;
}

bool write(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace

TEST(Attachment, PhotoSizeFromTheFile)
{
    TWTestTempDir dir;
    const QString png = dir.filePath(QStringLiteral("receipt.png"));
    QImage image(7, 3, QImage::Format_RGB32);
    image.fill(Qt::white);
    ASSERT_TRUE(image.save(png, "PNG"));
    EXPECT_EQ(TWAttachment::photoSizeOfFile(png), QSize(7, 3));

    const QString fake = dir.filePath(QStringLiteral("fake.png"));
    ASSERT_TRUE(write(fake, "not an image at all"));
    EXPECT_FALSE(TWAttachment::photoSizeOfFile(fake).isValid());
    EXPECT_FALSE(TWAttachment::photoSizeOfFile(dir.filePath(QStringLiteral("gone.png"))).isValid());
}

TEST(Attachment, RecordingLengthFromTheFile)
{
    TWTestTempDir dir;
    const QString memo = dir.filePath(QStringLiteral("memo.wav"));
    ASSERT_TRUE(write(memo, wav(24000, 24000)));
    EXPECT_DOUBLE_EQ(TWAttachment::audioDurationOfFile(memo), 1.5);

    // A size left unset by an interrupted recording counts what is there.
    ASSERT_TRUE(write(memo, wav(8000, 0xFFFFFFFFu)));
    EXPECT_DOUBLE_EQ(TWAttachment::audioDurationOfFile(memo), 0.5);

    // Damaged, foreign and missing files have no length.
    ASSERT_TRUE(write(memo, wav(8000, 8000).left(30)));
    EXPECT_EQ(TWAttachment::audioDurationOfFile(memo), 0.0);
    EXPECT_EQ(TWAttachment::audioDurationOfFile(dir.filePath(QStringLiteral("gone.wav"))), 0.0);
}
