#pragma once
// Draws one item of the attachments strip: the thumbnail or file icon, the
// name and the two detail lines, in a box that is filled while selected.

#include <QStyledItemDelegate>

class TWAttachmentsDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Every item has the same size, so the strip lays out without measuring.
    static QSize itemSize();

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
