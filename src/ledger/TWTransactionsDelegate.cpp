#include "ledger/TWTransactionsDelegate.h"

#include "ledger/TWTransactionsModel.h"

#include "model/TWBuiltInFields.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace
{

qint32 fieldOf(const QModelIndex &index)
{
    return index.data(TWTransactionsModel::FieldIdentifierRole).toInt();
}

bool hasButton(const QModelIndex &index)
{
    return index.data(TWTransactionsModel::HasButtonRole).toBool();
}

} // namespace

void TWTransactionsDelegate::paintPaperclip(QPainter *painter, const QRectF &rect,
                                            const QColor &colour)
{
    // A clip of three nested loops, drawn rather than loaded so it scales.
    const qreal h = std::min(rect.height() - 4, 14.0);
    const qreal w = h * 0.45;
    const QRectF clip(rect.center().x() - w / 2, rect.center().y() - h / 2, w, h);
    QPainterPath path;
    path.moveTo(clip.left() + w * 0.75, clip.top() + h * 0.30);
    path.lineTo(clip.left() + w * 0.75, clip.bottom() - w * 0.5);
    path.arcTo(QRectF(clip.left() + w * 0.25, clip.bottom() - w * 0.75, w * 0.5, w * 0.5), 0, -180);
    path.lineTo(clip.left() + w * 0.25, clip.top() + w * 0.5);
    path.arcTo(QRectF(clip.left(), clip.top(), w, w), 180, -180);
    path.lineTo(clip.right(), clip.bottom() - w * 0.5);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(colour, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(path);
    painter->restore();
}

QRect TWTransactionsDelegate::linkRect(const QStyleOptionViewItem &option, const QString &text)
{
    const int textWidth = option.fontMetrics.horizontalAdvance(text);
    const int size = std::min(option.rect.height() - 4, 12);
    const int x = std::min(option.rect.left() + 4 + textWidth + 4, option.rect.right() - size - 2);
    return QRect(x, option.rect.center().y() - size / 2, size, size);
}

void TWTransactionsDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                   const QModelIndex &index) const
{
    const qint32 field = fieldOf(index);
    if (field != TWFieldIdentifierAttachments && field != TWFieldIdentifierRepeat) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const bool selected = opt.state & QStyle::State_Selected;
    const QColor colour =
        selected ? opt.palette.color(QPalette::HighlightedText) : opt.palette.color(QPalette::Text);
    if (field == TWFieldIdentifierRepeat) {
        // The text, then the arrow right behind it.
        QStyledItemDelegate::paint(painter, option, index);
        if (!hasButton(index))
            return;
        const QRect arrow = linkRect(opt, index.data(Qt::DisplayRole).toString());
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(selected ? colour : QColor(Qt::gray));
        painter->drawEllipse(arrow);
        painter->setPen(
            QPen(selected ? opt.palette.color(QPalette::Highlight) : QColor(Qt::white), 1.5));
        const QPointF c = QRectF(arrow).center();
        const qreal r = arrow.width() / 4.0;
        painter->drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
        painter->drawLine(QPointF(c.x() + r * 0.2, c.y() - r), QPointF(c.x() + r, c.y()));
        painter->drawLine(QPointF(c.x() + r * 0.2, c.y() + r), QPointF(c.x() + r, c.y()));
        painter->restore();
        return;
    }
    // Attachments: the selection background, then the clip.
    opt.text.clear();
    QStyle *style = opt.widget ? opt.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    if (hasButton(index))
        paintPaperclip(painter, opt.rect, colour);
}

bool TWTransactionsDelegate::editorEvent(QEvent *event, QAbstractItemModel *model,
                                         const QStyleOptionViewItem &option,
                                         const QModelIndex &index)
{
    if (event->type() == QEvent::MouseButtonRelease && hasButton(index)) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const qint32 field = fieldOf(index);
        bool hit = false;
        if (mouse->button() == Qt::LeftButton) {
            if (field == TWFieldIdentifierAttachments) {
                hit = option.rect.contains(mouse->position().toPoint());
            } else if (field == TWFieldIdentifierRepeat) {
                hit = linkRect(option, index.data(Qt::DisplayRole).toString())
                          .adjusted(-2, -2, 2, 2)
                          .contains(mouse->position().toPoint());
            }
        }
        if (hit && onButton) {
            onButton(index);
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}
