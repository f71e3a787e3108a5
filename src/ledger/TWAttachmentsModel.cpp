#include "ledger/TWAttachmentsModel.h"

#include "model/TWFormatter.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeData>
#include <QPixmap>

#include <algorithm>

TWAttachmentsModel::TWAttachmentsModel(QObject *parent) : QAbstractListModel(parent)
{
}

void TWAttachmentsModel::setAttachments(const TWAttachmentList &attachments)
{
    beginResetModel();
    m_attachments = attachments;
    endResetModel();
}

TWAttachmentPtr TWAttachmentsModel::attachmentAt(int row) const
{
    return row >= 0 && row < m_attachments.size() ? m_attachments.at(row) : TWAttachmentPtr();
}

int TWAttachmentsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_attachments.size());
}

QVariant TWAttachmentsModel::data(const QModelIndex &index, int role) const
{
    const TWAttachmentPtr attachment = attachmentAt(index.row());
    if (!index.isValid() || !attachment)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return attachment->fileName();
    case Qt::DecorationRole:
        return iconFor(*attachment);
    case AttachmentRole:
        return QVariant::fromValue(attachment);
    case Detail1Role:
        return detail1(*attachment);
    case Detail2Role:
        return detail2(*attachment);
    default:
        return {};
    }
}

Qt::ItemFlags TWAttachmentsModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    // Never a drop target itself: drops land between items.
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_dragEnabled)
        flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QStringList TWAttachmentsModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list"), QStringLiteral("application/x-tallyworth-attachment")};
}

QMimeData *TWAttachmentsModel::mimeData(const QModelIndexList &indexes) const
{
    if (!m_dragEnabled || !m_dragDataMaker)
        return nullptr;
    QList<int> rows;
    for (const QModelIndex &index : indexes) {
        if (index.isValid() && !rows.contains(index.row()))
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows.isEmpty() ? nullptr : m_dragDataMaker(rows);
}

QString TWAttachmentsModel::detail1(const TWAttachment &attachment)
{
    const TWFormatter &formatter = TWFormatter::formatter();
    switch (attachment.type()) {
    case TWAttachmentTypeAudio:
        return formatter.timeString(attachment.timeSeconds(), true, 0);
    case TWAttachmentTypePhoto:
        return QStringLiteral("%1 x %2").arg(attachment.photoWidth()).arg(attachment.photoHeight());
    default:
        return formatter.dataSizeString(attachment.fileSize());
    }
}

QString TWAttachmentsModel::detail2(const TWAttachment &attachment)
{
    if (attachment.type() == TWAttachmentTypeAudio || attachment.type() == TWAttachmentTypePhoto)
        return TWFormatter::formatter().dataSizeString(attachment.fileSize());
    return {};
}

QIcon TWAttachmentsModel::iconFor(const TWAttachment &attachment) const
{
    const QString thumbnail = attachment.thumbnailFilePath();
    if (attachment.type() == TWAttachmentTypePhoto && !thumbnail.isEmpty()) {
        auto cached = m_thumbnails.constFind(thumbnail);
        if (cached != m_thumbnails.constEnd())
            return *cached;
        QImageReader reader(thumbnail);
        const QImage image = reader.read();
        if (!image.isNull()) {
            const QIcon icon(QPixmap::fromImage(image));
            m_thumbnails.insert(thumbnail, icon);
            return icon;
        }
    }
    static const QFileIconProvider provider;
    // The icon of the file's type, also when the file is not at hand.
    const QFileInfo info(attachment.filePath().isEmpty() ? attachment.fileName()
                                                         : attachment.filePath());
    const QIcon icon = provider.icon(info);
    return icon.isNull() ? provider.icon(QFileIconProvider::File) : icon;
}
