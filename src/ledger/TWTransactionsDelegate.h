#pragma once
// Paints the register's paperclip cells (a transaction with attachments) and
// repeat cells (the schedule's text and a follow-link arrow), and turns a
// click on either into the controller's button action.

#include <QStyledItemDelegate>

#include <functional>

class TWTransactionsDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // A paperclip or repeat link was clicked.
    std::function<void(const QModelIndex &index)> onButton;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

    // The paperclip drawn into a rectangle (also the attachments header icon).
    static void paintPaperclip(QPainter *painter, const QRectF &rect, const QColor &colour);
    // Where the follow-link arrow of a repeat cell sits.
    static QRect linkRect(const QStyleOptionViewItem &option, const QString &text);
};
