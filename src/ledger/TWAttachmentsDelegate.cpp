#include "ledger/TWAttachmentsDelegate.h"

#include "ledger/TWAttachmentsModel.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

namespace
{

constexpr int kItemWidth = 112;
constexpr int kItemHeight = 104;
constexpr int kIconSide = 48;

} // namespace

QSize TWAttachmentsDelegate::itemSize()
{
    return {kItemWidth, kItemHeight};
}

QSize TWAttachmentsDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return itemSize();
}

void TWAttachmentsDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    painter->save();
    const QRect box = option.rect.adjusted(2, 2, -2, -2);
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette &palette = option.palette;
    if (selected) {
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        QColor fill = palette.color(QPalette::Highlight);
        fill.setAlpha(70);
        painter->setBrush(fill);
        painter->drawRoundedRect(box, 6, 6);
    }

    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    const QRect iconRect(box.left() + (box.width() - kIconSide) / 2, box.top() + 4, kIconSide,
                         kIconSide);
    icon.paint(painter, iconRect, Qt::AlignCenter);

    QFont nameFont = option.font;
    QFont detailFont = option.font;
    detailFont.setPointSizeF(std::max(6.0, option.font.pointSizeF() - 2.0));
    const QFontMetrics nameMetrics(nameFont);
    const QFontMetrics detailMetrics(detailFont);
    const int textLeft = box.left() + 3;
    const int textWidth = box.width() - 6;
    int y = iconRect.bottom() + 4;

    painter->setFont(nameFont);
    painter->setPen(palette.color(QPalette::Text));
    const QString name =
        nameMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle, textWidth);
    painter->drawText(QRect(textLeft, y, textWidth, nameMetrics.height()), Qt::AlignHCenter, name);
    y += nameMetrics.height();

    painter->setFont(detailFont);
    painter->setPen(palette.color(QPalette::PlaceholderText));
    for (int role : {int(TWAttachmentsModel::Detail1Role), int(TWAttachmentsModel::Detail2Role)}) {
        const QString text =
            detailMetrics.elidedText(index.data(role).toString(), Qt::ElideRight, textWidth);
        painter->drawText(QRect(textLeft, y, textWidth, detailMetrics.height()), Qt::AlignHCenter,
                          text);
        y += detailMetrics.height();
    }
    painter->restore();
}
