#pragma once
// The row of the source list and other icon lists: an icon, a title and a
// right-aligned detail text (an amount or a count) that always shows whole,
// the title giving way first. The same layout serves a widget and the
// delegate that paints the rows of an item view.

#include <QRectF>
#include <QStyledItemDelegate>
#include <QWidget>

class QLabel;

struct TWIconCellLayout {
    QRectF icon;
    QRectF title;
    QRectF detail;
};

// The rectangles of a row with the given bounds, indent level and width of
// the detail text in its font.
TWIconCellLayout twIconCellLayout(const QRectF &bounds, qint64 indentLevel, qreal detailTextWidth);

class TWIconCellView final : public QWidget
{
    Q_OBJECT
public:
    explicit TWIconCellView(QWidget *parent = nullptr);
    static TWIconCellView *iconCellViewWithFrame(const QRect &frame, const QString &identifier,
                                                 QWidget *parent = nullptr);

    QLabel *imageView() const { return m_image; }
    QLabel *titleTextField() const { return m_title; }
    QLabel *detailTextField() const { return m_detail; }
    qint64 indentLevel() const { return m_indentLevel; }
    // Only stores; the layout follows at the next resize or layoutSubviews.
    void setIndentLevel(qint64 level) { m_indentLevel = level; }
    void layoutSubviews();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QLabel *m_image;
    QLabel *m_title;
    QLabel *m_detail;
    qint64 m_indentLevel = 0;
};

// Item-data roles the delegate reads besides the display text, the
// decoration and the foreground colour.
enum TWIconCellRole : int {
    TWIconCellDetailRole = Qt::UserRole + 40, // QString, right-aligned
    TWIconCellHeaderRole,                     // bool: a plain header row without icon
};

class TWIconCellDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
