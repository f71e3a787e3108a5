#include "app/TWIconCellView.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>

#include <algorithm>

TWIconCellLayout twIconCellLayout(const QRectF &bounds, qint64 indentLevel, qreal detailTextWidth)
{
    const qreal indent = 15.0 * qreal(indentLevel);
    const qreal left = bounds.x() + 2.0 + indent;
    const qreal textWidth = bounds.width() - 8.0 - indent - 20.0;
    const qreal detailWidth = std::min(textWidth, detailTextWidth + 5.0);
    const qreal titleWidth = textWidth - detailWidth;
    const qreal textY = bounds.y() + (bounds.height() - 17.0) / 2.0;
    TWIconCellLayout layout;
    layout.icon = QRectF(left, bounds.y() + 1.0, 20.0, std::max(0.0, bounds.height() - 2.0));
    layout.title = QRectF(left + 22.0, textY, std::max(0.0, titleWidth), 17.0);
    layout.detail = QRectF(left + 22.0 + titleWidth, textY, std::max(0.0, detailWidth), 17.0);
    return layout;
}

TWIconCellView::TWIconCellView(QWidget *parent)
    : QWidget(parent), m_image(new QLabel(this)), m_title(new QLabel(this)),
      m_detail(new QLabel(this))
{
    m_image->setScaledContents(false);
    m_image->setAlignment(Qt::AlignCenter);
    m_title->setTextInteractionFlags(Qt::NoTextInteraction);
    m_detail->setTextInteractionFlags(Qt::NoTextInteraction);
    m_detail->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

TWIconCellView *TWIconCellView::iconCellViewWithFrame(const QRect &frame, const QString &identifier,
                                                      QWidget *parent)
{
    auto *view = new TWIconCellView(parent);
    view->setObjectName(identifier);
    view->setGeometry(frame);
    return view;
}

void TWIconCellView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutSubviews();
}

void TWIconCellView::layoutSubviews()
{
    const qreal detailWidth = m_detail->fontMetrics().horizontalAdvance(m_detail->text());
    const TWIconCellLayout layout = twIconCellLayout(QRectF(rect()), m_indentLevel, detailWidth);
    m_image->setGeometry(layout.icon.toRect());
    m_title->setGeometry(layout.title.toRect());
    m_detail->setGeometry(layout.detail.toRect());
    // Tail truncation, as the labels have no eliding of their own.
    m_title->setToolTip(m_title->text());
}

void TWIconCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString title = opt.text;
    const QIcon icon = opt.icon;
    // The style paints the selection background only.
    opt.text.clear();
    opt.icon = QIcon();
    opt.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    painter->save();
    const bool selected = option.state & QStyle::State_Selected;
    QColor colour = opt.palette.color(QPalette::Text);
    const QVariant foreground = index.data(Qt::ForegroundRole);
    if (selected)
        colour = opt.palette.color(QPalette::HighlightedText);
    else if (foreground.canConvert<QBrush>() && foreground.value<QBrush>().color().isValid())
        colour = foreground.value<QBrush>().color();
    painter->setPen(colour);
    painter->setFont(opt.font);
    if (index.data(TWIconCellHeaderRole).toBool()) {
        const QRect text = option.rect.adjusted(2, 0, -2, 0);
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                          opt.fontMetrics.elidedText(title, Qt::ElideRight, text.width()));
        painter->restore();
        return;
    }
    const QString detail = index.data(TWIconCellDetailRole).toString();
    const QFontMetricsF metrics(opt.font);
    const TWIconCellLayout layout =
        twIconCellLayout(QRectF(option.rect), 0, metrics.horizontalAdvance(detail));
    if (!icon.isNull()) {
        const int side = int(std::min(layout.icon.width(), layout.icon.height()));
        const QRect iconRect(int(layout.icon.x()), int(layout.icon.center().y() - side / 2.0), side,
                             side);
        icon.paint(painter, iconRect, Qt::AlignCenter);
    }
    painter->drawText(layout.title, Qt::AlignLeft | Qt::AlignVCenter,
                      metrics.elidedText(title, Qt::ElideRight, layout.title.width()));
    if (!detail.isEmpty())
        painter->drawText(layout.detail, Qt::AlignRight | Qt::AlignVCenter, detail);
    painter->restore();
}

QSize TWIconCellDelegate::sizeHint(const QStyleOptionViewItem &option,
                                   const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(22);
    return size;
}
