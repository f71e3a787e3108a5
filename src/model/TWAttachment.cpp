#include "model/TWAttachment.h"

#include <QFile>
#include <QHash>
#include <QImageReader>
#include <QMimeDatabase>
#include <QtEndian>

#include <algorithm>

namespace
{

// A RIFF/WAVE file is a list of chunks (four-character name, little-endian
// 32-bit size, data padded to an even length); the "fmt " chunk gives the
// bytes per second, the "data" chunk the length of the samples. The file is
// untrusted: sizes are checked against what the file holds and the walk is
// bounded.
double wavDuration(QFile &file)
{
    const QByteArray header = file.read(12);
    if (header.size() != 12 || !header.startsWith("RIFF") || header.mid(8, 4) != "WAVE")
        return 0.0;

    const qint64 fileSize = file.size();
    quint32 bytesPerSecond = 0;
    qint64 dataSize = -1;
    for (int chunk = 0; chunk < 1024 && (bytesPerSecond == 0 || dataSize < 0); ++chunk) {
        const QByteArray chunkHeader = file.read(8);
        if (chunkHeader.size() != 8)
            break;
        const qint64 start = file.pos();
        const qint64 size = qFromLittleEndian<quint32>(chunkHeader.constData() + 4);
        const QByteArray name = chunkHeader.left(4);
        if (name == "fmt ") {
            const QByteArray format = file.read(16);
            if (format.size() != 16)
                break;
            bytesPerSecond = qFromLittleEndian<quint32>(format.constData() + 8);
        } else if (name == "data") {
            // Streamed recordings may leave the size unset or too large.
            dataSize = std::min(size, fileSize - start);
        }
        if (!file.seek(start + size + (size & 1)))
            break;
    }
    if (bytesPerSecond == 0 || dataSize <= 0)
        return 0.0;
    return double(dataSize) / double(bytesPerSecond);
}

} // namespace

TWAttachment::TWAttachment(QString fileName, QString filePath, QString mimeType, std::uint32_t type,
                           std::uint32_t order, double timeSeconds, QString thumbnailFilePath,
                           std::uint32_t photoWidth, std::uint32_t photoHeight,
                           std::uint64_t fileSize, qint32 identifier)
    : m_fileName(std::move(fileName)), m_filePath(std::move(filePath)),
      m_mimeType(std::move(mimeType)), m_type(type), m_order(order), m_timeSeconds(timeSeconds),
      m_thumbnailFilePath(std::move(thumbnailFilePath)), m_photoWidth(photoWidth),
      m_photoHeight(photoHeight), m_fileSize(fileSize), m_identifier(identifier)
{
}

std::shared_ptr<TWAttachment> TWAttachment::attachmentWithFileName(
    const QString &fileName, const QString &filePath, const QString &mimeType, std::uint32_t type,
    std::uint32_t order, double timeSeconds, const QString &thumbnailFilePath,
    std::uint32_t photoWidth, std::uint32_t photoHeight, std::uint64_t fileSize, qint32 identifier)
{
    return std::make_shared<TWAttachment>(fileName, filePath, mimeType, type, order, timeSeconds,
                                          thumbnailFilePath, photoWidth, photoHeight, fileSize,
                                          identifier);
}

bool TWAttachment::isEqual(const TWAttachment &other) const
{
    if (m_identifier != 0 || other.m_identifier != 0)
        return m_identifier == other.m_identifier;
    return m_filePath == other.m_filePath;
}

size_t TWAttachment::hash(size_t seed) const
{
    return m_identifier != 0 ? qHash(m_identifier, seed) : qHash(m_filePath, seed);
}

QString TWAttachment::mimeTypeForExtension(const QString &extension)
{
    static const QString fallback = QStringLiteral("application/octet-stream");
    if (extension.isEmpty())
        return fallback;
    const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(QStringLiteral("file.") + extension,
                                                    QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault() || type.name().isEmpty())
        return fallback;
    return type.name();
}

QSize TWAttachment::photoSizeOfFile(const QString &path)
{
    QImageReader reader(path);
    QSize size = reader.size();
    if (!size.isValid()) {
        // Some formats tell their size only by being read.
        const QImage image = reader.read();
        size = image.isNull() ? QSize() : image.size();
    }
    return size.isValid() && !size.isEmpty() ? size : QSize();
}

double TWAttachment::audioDurationOfFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0.0;
    return wavDuration(file);
}
