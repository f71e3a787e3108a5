#pragma once
// How the budget view paints two of its columns: the name with the item's
// icon, indented by its depth in the chart, and the current cycle's progress
// as a rounded bar in the colour of how far the budget is used.

#include <QStyledItemDelegate>

class TWBudgetNameDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};

class TWBudgetProgressDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};
