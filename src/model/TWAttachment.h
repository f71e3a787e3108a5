#pragma once
// A file, photo or voice memo kept with a transaction: what the attachment list
// shows and the preview opens, and what the store copies into the document's
// attachments folder. Also reads what a new attachment records of its file.

#include <QList>
#include <QSize>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <memory>

enum TWAttachmentType : int {
    TWAttachmentTypeFile = 0,
    TWAttachmentTypePhoto = 1,
    TWAttachmentTypeAudio = 2,
};

class TWAttachment
{
public:
    TWAttachment() = default;
    TWAttachment(QString fileName, QString filePath, QString mimeType, std::uint32_t type,
                 std::uint32_t order, double timeSeconds, QString thumbnailFilePath,
                 std::uint32_t photoWidth, std::uint32_t photoHeight, std::uint64_t fileSize,
                 qint32 identifier);

    static std::shared_ptr<TWAttachment>
    attachmentWithFileName(const QString &fileName, const QString &filePath,
                           const QString &mimeType, std::uint32_t type, std::uint32_t order,
                           double timeSeconds, const QString &thumbnailFilePath,
                           std::uint32_t photoWidth, std::uint32_t photoHeight,
                           std::uint64_t fileSize, qint32 identifier);

    std::shared_ptr<TWAttachment> copy() const { return std::make_shared<TWAttachment>(*this); }

    // The name shown to the user, unique within its transaction.
    const QString &fileName() const { return m_fileName; }
    void setFileName(const QString &v) { m_fileName = v; }
    // The file: in the document's attachments folder once saved, the source
    // file before.
    const QString &filePath() const { return m_filePath; }
    void setFilePath(const QString &v) { m_filePath = v; }
    const QString &mimeType() const { return m_mimeType; }
    void setMimeType(const QString &v) { m_mimeType = v; }
    std::uint32_t type() const { return m_type; }
    void setType(std::uint32_t v) { m_type = v; }
    std::uint32_t order() const { return m_order; }
    void setOrder(std::uint32_t v) { m_order = v; }
    // Length of a recording in seconds, else 0.
    double timeSeconds() const { return m_timeSeconds; }
    void setTimeSeconds(double v) { m_timeSeconds = v; }
    // A photo's thumbnail image; empty for other kinds.
    const QString &thumbnailFilePath() const { return m_thumbnailFilePath; }
    void setThumbnailFilePath(const QString &v) { m_thumbnailFilePath = v; }
    std::uint32_t photoWidth() const { return m_photoWidth; }
    void setPhotoWidth(std::uint32_t v) { m_photoWidth = v; }
    std::uint32_t photoHeight() const { return m_photoHeight; }
    void setPhotoHeight(std::uint32_t v) { m_photoHeight = v; }
    std::uint64_t fileSize() const { return m_fileSize; }
    void setFileSize(std::uint64_t v) { m_fileSize = v; }
    // 0 until the store has saved the attachment.
    qint32 identifier() const { return m_identifier; }
    void setIdentifier(qint32 v) { m_identifier = v; }

    // What the preview window opens and titles.
    QUrl previewItemURL() const { return QUrl::fromLocalFile(m_filePath); }
    const QString &previewItemTitle() const { return m_fileName; }

    // Saved attachments are the same when their identifiers are; unsaved ones
    // when they refer to the same file. A saved and an unsaved attachment are
    // never the same, so the relation stays symmetric and agrees with hash().
    bool isEqual(const TWAttachment &other) const;
    bool operator==(const TWAttachment &other) const { return isEqual(other); }
    size_t hash(size_t seed = 0) const;

    // The MIME type of a file-name extension ("pdf", without the dot);
    // "application/octet-stream" when there is none or it is unknown.
    static QString mimeTypeForExtension(const QString &extension);
    // The pixel size of an image file; an empty size when it cannot be read.
    static QSize photoSizeOfFile(const QString &path);
    // The length in seconds of a recording; 0 when its format is not one this
    // can read (uncompressed WAV) or the file is damaged.
    static double audioDurationOfFile(const QString &path);

private:
    QString m_fileName;
    QString m_filePath;
    QString m_mimeType;
    std::uint32_t m_type = TWAttachmentTypeFile;
    std::uint32_t m_order = 0;
    double m_timeSeconds = 0.0;
    QString m_thumbnailFilePath;
    std::uint32_t m_photoWidth = 0;
    std::uint32_t m_photoHeight = 0;
    std::uint64_t m_fileSize = 0;
    qint32 m_identifier = 0;
};

inline size_t qHash(const TWAttachment &attachment, size_t seed = 0)
{
    return attachment.hash(seed);
}

using TWAttachmentPtr = std::shared_ptr<TWAttachment>;
using TWAttachmentList = QList<TWAttachmentPtr>;
