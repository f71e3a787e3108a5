#include "crashreporting/network/KTBMultipartMimeStreamEncoder.h"

#include "crashreporting/common/MSHLog.h"

#include <QBuffer>
#include <QFile>
#include <QFileDevice>
#include <QNetworkRequest>
#include <QUuid>

QString KTBMultipartMimeStreamEncoder::generateBoundary()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

std::unique_ptr<KTBMultipartMimeStreamEncoder>
KTBMultipartMimeStreamEncoder::encoderWithStream(QIODevice *stream, const QString &boundary)
{
    if (!stream)
        return nullptr;
    return std::make_unique<KTBMultipartMimeStreamEncoder>(stream, boundary);
}

KTBMultipartMimeStreamEncoder::KTBMultipartMimeStreamEncoder(QIODevice *stream,
                                                             const QString &boundary)
    : m_stream(stream), m_boundary(boundary.isEmpty() ? generateBoundary() : boundary)
{
}

bool KTBMultipartMimeStreamEncoder::encode(
    const std::function<void(KTBMultipartMimeStreamEncoder &)> &block)
{
    beginEncoding();
    if (block)
        block(*this);
    endEncoding();
    return !m_failed;
}

void KTBMultipartMimeStreamEncoder::beginEncoding()
{
    m_length = 0;
    m_failed = false;
    if (!m_stream) {
        m_failed = true;
        return;
    }
    if (!m_stream->isOpen() && !m_stream->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        MSHLog("[Kitbase]",
               QStringLiteral("Failed to open the output stream: %1").arg(m_stream->errorString()));
        m_failed = true;
        return;
    }
    writeData(QByteArrayLiteral("MIME-Version: 1.0\r\n"));
}

void KTBMultipartMimeStreamEncoder::endEncoding()
{
    writeData("--" + m_boundary.toUtf8() + "--\r\n");
    if (!m_stream)
        return;
    // Buffered file bytes reach the disk only now; a failure here is a failed write too.
    if (auto *file = qobject_cast<QFileDevice *>(m_stream); file && file->isOpen()) {
        if (!file->flush()) {
            MSHLog("[Kitbase]", QStringLiteral("Failed to write data to stream"));
            m_failed = true;
        }
    }
    m_stream->close();
}

QByteArray KTBMultipartMimeStreamEncoder::escapedName(const QString &name)
{
    const QByteArray utf8 = name.toUtf8();
    QByteArray escaped;
    escaped.reserve(utf8.size());
    for (const char c : utf8) {
        if (c == '"')
            escaped += "%22";
        else if (c == '\r')
            escaped += "%0D";
        else if (c == '\n')
            escaped += "%0A";
        else
            escaped += c;
    }
    return escaped;
}

void KTBMultipartMimeStreamEncoder::addValue(const QVariant &value, const QString &fieldName)
{
    if (!value.isValid() || value.isNull() || fieldName.isEmpty())
        return;
    const QByteArray head = "--" + m_boundary.toUtf8() +
                            "\r\nContent-Disposition: form-data; name=\"" + escapedName(fieldName) +
                            "\"\r\n";
    writeData(head);
    writeData(QByteArrayLiteral("Content-Type: text/plain\r\n\r\n"));
    writeData(value.toString().toUtf8() + "\r\n");
}

void KTBMultipartMimeStreamEncoder::addFileData(const QByteArray &data, const QString &fileName,
                                                const QString &mimeType, const QString &fieldName)
{
    if (data.isNull() || fileName.isEmpty() || fieldName.isEmpty())
        return;
    const QByteArray head = "--" + m_boundary.toUtf8() +
                            "\r\nContent-Disposition: form-data; name=\"" + escapedName(fieldName) +
                            "\"; filename=\"" + escapedName(fileName) + "\"\r\n";
    writeData(head);
    if (!mimeType.isEmpty()) {
        writeData("Content-Type: " + mimeType.toUtf8() + "\r\n");
        writeData(QByteArrayLiteral("Content-Transfer-Encoding: binary\r\n\r\n"));
    } else {
        writeData(QByteArrayLiteral("Content-Type: application/octet-stream\r\n\r\n"));
    }
    writeData(data);
    writeData(QByteArrayLiteral("\r\n"));
}

void KTBMultipartMimeStreamEncoder::addFile(const QString &path, const QString &fileName,
                                            const QString &mimeType, const QString &fieldName)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        MSHLog("[Kitbase]", QStringLiteral("Unable to read file %1").arg(path));
        return;
    }
    QByteArray data = file.readAll();
    if (data.isNull())
        data = QByteArray("");
    addFileData(data, fileName, mimeType, fieldName);
}

QString KTBMultipartMimeStreamEncoder::contentTypeHTTPHeaderValue() const
{
    return contentTypeHTTPHeaderValueWithBoundary(m_boundary);
}

QString
KTBMultipartMimeStreamEncoder::contentTypeHTTPHeaderValueWithBoundary(const QString &boundary)
{
    return QStringLiteral("multipart/form-data; boundary=%1").arg(boundary);
}

QString KTBMultipartMimeStreamEncoder::contentLengthHTTPHeaderValue() const
{
    return QString::number(m_length);
}

bool KTBMultipartMimeStreamEncoder::writeData(const QByteArray &data)
{
    if (data.isEmpty())
        return true;
    const bool failedBefore = m_failed;
    if (!writeBytes(data.constData(), data.size())) {
        if (!failedBefore)
            MSHLog("[Kitbase]", QStringLiteral("Failed to write data to stream"));
        return false;
    }
    return true;
}

bool KTBMultipartMimeStreamEncoder::writeBytes(const char *bytes, qint64 length)
{
    // After one failure nothing more is written: the rest of the body would follow a gap.
    if (m_failed || !m_stream || !m_stream->isOpen()) {
        m_failed = true;
        return false;
    }
    if (length == 0)
        return true;
    const qint64 written = m_stream->write(bytes, length);
    if (written != length) {
        MSHLog("[Kitbase]", QStringLiteral("Failed to write bytes to stream"));
        m_failed = true;
        return false;
    }
    m_length += uint64_t(length);
    return true;
}

QByteArray KTBMultipartMimeStreamEncoder::populateRequest(
    QNetworkRequest &request, const std::function<void(KTBMultipartMimeStreamEncoder &)> &block)
{
    QBuffer buffer;
    KTBMultipartMimeStreamEncoder encoder(&buffer, QString());
    if (!encoder.encode(block))
        return {};
    request.setRawHeader("Content-Type", encoder.contentTypeHTTPHeaderValue().toUtf8());
    request.setRawHeader("Content-Length", encoder.contentLengthHTTPHeaderValue().toUtf8());
    return buffer.data();
}
