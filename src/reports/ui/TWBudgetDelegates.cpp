#include "reports/ui/TWBudgetDelegates.h"

#include "reports/ui/TWBudgetModel.h"

#include "app/TWIconCellView.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace
{

// The row's background and selection, without text or icon.
void paintBackground(QPainter *painter, QStyleOptionViewItem &opt)
{
    opt.text.clear();
    opt.icon = QIcon();
    opt.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
}

} // namespace

void TWBudgetNameDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString title = opt.text;
    const QIcon icon = opt.icon;
    paintBackground(painter, opt);
    const int indent = index.data(TWBudgetModel::IndentRole).toInt();
    const TWIconCellLayout layout = twIconCellLayout(QRectF(option.rect), indent, 0.0);
    painter->save();
    if (!icon.isNull()) {
        const int side = int(std::min({layout.icon.width(), layout.icon.height(), 18.0}));
        const QRect iconRect(int(layout.icon.x()), int(layout.icon.center().y() - side / 2.0), side,
                             side);
        icon.paint(painter, iconRect, Qt::AlignCenter);
    }
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(opt.font);
    const QRectF text = layout.title.united(layout.detail);
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                      opt.fontMetrics.elidedText(title, Qt::ElideRight, int(text.width())));
    painter->restore();
}

void TWBudgetProgressDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                     const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    paintBackground(painter, opt);
    const QVariant value = index.data(TWBudgetModel::ProgressRole);
    if (!value.isValid())
        return;
    const float progress = value.toFloat();
    const QColor fill = index.data(TWBudgetModel::ProgressColourRole).value<QColor>();
    const QColor stroke =
        QColor::fromRgbF(std::max(0.0f, fill.redF() - 0.2f), std::max(0.0f, fill.greenF() - 0.2f),
                         std::max(0.0f, fill.blueF() - 0.2f), 1.0f);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRectF shapeRect = QRectF(option.rect).adjusted(3.5, 5.5, -3.5, -5.5);
    QPainterPath shape;
    shape.addRoundedRect(shapeRect, 4.0, 4.0);
    const QColor track = QColor::fromRgbF(0.8f, 0.8f, 0.8f);
    const QColor trackStroke = QColor::fromRgbF(0.6f, 0.6f, 0.6f);
    painter->fillPath(shape, track);
    painter->strokePath(shape, QPen(trackStroke, 1.0));
    const qreal filled = shapeRect.width() * std::clamp(qreal(progress), 0.0, 1.0);
    if (filled > 0.0) {
        painter->setClipRect(
            QRectF(shapeRect.x() - 1.0, option.rect.y(), filled + 1.0, option.rect.height()));
        painter->fillPath(shape, fill);
        painter->strokePath(shape, QPen(stroke, 1.0));
    }
    painter->restore();
}
