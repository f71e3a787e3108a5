#pragma once
// The items of a transaction's attachments strip: one row per attachment, in
// the transaction's order, with what the item draws (thumbnail or file icon,
// name, two detail lines). Drag and drop goes through the strip's controller,
// which the model asks for the dragged data.

#include "model/TWAttachment.h"

#include <QAbstractListModel>
#include <QHash>
#include <QIcon>
#include <QImage>

#include <functional>

class TWAttachmentsModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        AttachmentRole = Qt::UserRole + 1, // QVariant of TWAttachmentPtr
        Detail1Role,
        Detail2Role,
    };

    // Builds the data of a drag of the given rows; none when dragging is off.
    using DragDataMaker = std::function<QMimeData *(const QList<int> &rows)>;

    explicit TWAttachmentsModel(QObject *parent = nullptr);

    void setAttachments(const TWAttachmentList &attachments);
    const TWAttachmentList &attachments() const { return m_attachments; }
    TWAttachmentPtr attachmentAt(int row) const;

    // Items can be dragged only while the strip may change the transaction.
    void setDragEnabled(bool enabled) { m_dragEnabled = enabled; }
    void setDragDataMaker(DragDataMaker maker) { m_dragDataMaker = std::move(maker); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    // To places outside the application an attachment is only ever copied.
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    Qt::DropActions supportedDropActions() const override
    {
        return Qt::CopyAction | Qt::MoveAction;
    }

    // The two detail lines of an item: a recording's length and size, a
    // photo's pixel size and size, another file's size.
    static QString detail1(const TWAttachment &attachment);
    static QString detail2(const TWAttachment &attachment);
    // The photo's thumbnail when it loads, else the file type's icon.
    QIcon iconFor(const TWAttachment &attachment) const;

private:
    TWAttachmentList m_attachments;
    bool m_dragEnabled = false;
    DragDataMaker m_dragDataMaker;
    // Thumbnails read once per file.
    mutable QHash<QString, QIcon> m_thumbnails;
};

Q_DECLARE_METATYPE(TWAttachmentPtr)
