#pragma once
// Writes a "multipart/form-data" body onto a device (a QBuffer in memory, a QFile for a packaged
// report) and counts the bytes it wrote, so that callers can declare the length without measuring
// the body again. A write the device refuses is remembered and makes the encoding fail, so that a
// truncated body never passes for a whole one.

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>

class QNetworkRequest;

class KTBMultipartMimeStreamEncoder
{
public:
    // A new UUID in its textual form: 36 characters, upper-case hex in five hyphenated groups.
    static QString generateBoundary();
    // An empty boundary is replaced by a generated one. The device is not owned.
    static std::unique_ptr<KTBMultipartMimeStreamEncoder>
    encoderWithStream(QIODevice *stream, const QString &boundary);
    KTBMultipartMimeStreamEncoder(QIODevice *stream, const QString &boundary);

    QIODevice *outputStream() const { return m_stream; }
    const QString &boundary() const { return m_boundary; }
    // Bytes written since the last beginEncoding().
    uint64_t length() const { return m_length; }
    // Whether a write was refused (or the device could not be opened) since beginEncoding().
    bool failed() const { return m_failed; }

    // beginEncoding(), the block adding the parts, endEncoding(). False when any write failed.
    bool encode(const std::function<void(KTBMultipartMimeStreamEncoder &)> &block);
    void beginEncoding();
    void endEncoding();

    // A text part; nothing for an invalid (absent or null) value or an empty field name.
    void addValue(const QVariant &value, const QString &fieldName);
    // A file part; nothing for a null data or an empty file or field name. Without a MIME type
    // the part is "application/octet-stream".
    void addFileData(const QByteArray &data, const QString &fileName, const QString &mimeType,
                     const QString &fieldName);
    // The file read into memory and added the same way; nothing when it cannot be read.
    void addFile(const QString &path, const QString &fileName, const QString &mimeType,
                 const QString &fieldName);

    QString contentTypeHTTPHeaderValue() const;
    static QString contentTypeHTTPHeaderValueWithBoundary(const QString &boundary);
    QString contentLengthHTTPHeaderValue() const;

    bool writeData(const QByteArray &data);
    bool writeBytes(const char *bytes, qint64 length);

    // Encodes into memory with a generated boundary, sets the request's "Content-Type" and
    // "Content-Length" and returns the body (empty when encoding failed).
    static QByteArray
    populateRequest(QNetworkRequest &request,
                    const std::function<void(KTBMultipartMimeStreamEncoder &)> &block);

    // A field or file name as UTF-8 with '"', CR and LF percent-encoded, the way form-data names
    // carry them; every other byte stays as it is.
    static QByteArray escapedName(const QString &name);

private:
    QIODevice *m_stream = nullptr;
    QString m_boundary;
    uint64_t m_length = 0;
    bool m_failed = false;
};
