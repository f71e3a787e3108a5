// Attachments as records on the transaction: adding a file, unique names.
// Loading and saving the records and their files is the store's.

#include "model/TWTransaction.h"

#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QSet>

namespace
{

// The image formats this system reads, less PDF (documents stay files).
const QSet<QString> &imageExtensions()
{
    static const QSet<QString> extensions = [] {
        QSet<QString> set;
        for (const QByteArray &format : QImageReader::supportedImageFormats()) {
            const QString name = QString::fromLatin1(format).toLower();
            if (!name.contains(QLatin1String("pdf")))
                set.insert(name);
        }
        return set;
    }();
    return extensions;
}

} // namespace

std::uint32_t TWTransaction::attachmentTypeForPath(const QString &path)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension.isEmpty())
        return TWAttachmentTypeFile;
    if (imageExtensions().contains(extension))
        return TWAttachmentTypePhoto;
    const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(QStringLiteral("file.") + extension,
                                                    QMimeDatabase::MatchExtension);
    if (type.isValid() && type.name().startsWith(QLatin1String("audio/")))
        return TWAttachmentTypeAudio;
    return TWAttachmentTypeFile;
}

TWAttachmentPtr TWTransaction::addAttachmentFile(const QString &path, std::uint32_t type,
                                                 const QString &name, int index,
                                                 const TWThumbnailWriter &thumbnail)
{
    detachParts();
    // Joining a list that was never loaded would make the stored attachments
    // look removed when the transaction is saved.
    if (needsAttachmentLoad())
        return {};

    const QFileInfo info(path);
    auto attachment = std::make_shared<TWAttachment>();
    attachment->setFilePath(path);
    attachment->setFileName(name.isEmpty() ? info.fileName() : name);
    attachment->setFileSize(info.exists() ? std::uint64_t(std::max<qint64>(info.size(), 0)) : 0);
    attachment->setMimeType(TWAttachment::mimeTypeForExtension(info.suffix()));

    if (type != TWAttachmentTypePhoto && type != TWAttachmentTypeAudio)
        type = attachmentTypeForPath(path);
    attachment->setType(type);

    if (type == TWAttachmentTypePhoto) {
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QImage image = reader.read();
        if (!image.isNull()) {
            attachment->setPhotoWidth(std::uint32_t(image.width()));
            attachment->setPhotoHeight(std::uint32_t(image.height()));
            if (thumbnail)
                attachment->setThumbnailFilePath(thumbnail(image));
        }
    } else if (type == TWAttachmentTypeAudio) {
        attachment->setTimeSeconds(TWAttachment::audioDurationOfFile(path));
    }

    std::optional<TWAttachmentList> &attachments = cold().attachments;
    if (!m_hasAttachments || !attachments)
        attachments = TWAttachmentList();
    TWAttachmentList &list = *attachments;
    if (index < 0 || index >= list.size())
        list.append(attachment);
    else
        list.insert(index, attachment);

    m_hasAttachments = !list.isEmpty();
    m_dirtyAttachments = true;
    return attachment;
}

QString TWTransaction::uniqueAttachmentName(const QString &name, const QString &extension) const
{
    detachParts();
    QSet<QString> taken;
    if (const std::optional<TWAttachmentList> &attachments = attachmentList()) {
        for (const TWAttachmentPtr &attachment : *attachments) {
            if (attachment)
                taken.insert(attachment->fileName());
        }
    }
    const auto candidate = [&](unsigned counter) {
        QString text = name;
        if (counter > 1)
            text += QLatin1Char('-') + QString::number(counter);
        if (!extension.isEmpty())
            text += QLatin1Char('.') + extension;
        return text;
    };
    QString result = candidate(1);
    for (unsigned counter = 2; taken.contains(result); ++counter)
        result = candidate(counter);
    return result;
}
