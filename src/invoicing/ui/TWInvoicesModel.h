#pragma once
// The invoice list's table model: the listed invoices (with their values read
// once per reload) in the shown columns, as text, check boxes for the sent and
// paid marks, money in the project's unit with the home-currency value as
// tooltip, and each row in the colour of its state. The delegate beside it
// draws the schedule's link button and the selected rows' text.

#include "invoicing/ui/TWInvoicesColumns.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

#include <functional>

class TWBusiness;

class TWInvoicesModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    // The first invalid role the model answers: the column's tag.
    static constexpr int TagRole = Qt::UserRole;

    explicit TWInvoicesModel(QObject *parent = nullptr);

    void setBusiness(TWBusiness *business) { m_business = business; }
    // The shown columns by tag, left to right.
    void setColumns(const QList<int> &tags);
    const QList<int> &columns() const { return m_columns; }
    int columnOfTag(int tag) const;
    int tagOfColumn(int column) const;

    // Replaces the rows (their values already read).
    void setRows(const TWInvoiceRowList &rows);
    const TWInvoiceRowList &rows() const { return m_rows; }
    TWInvoiceRowList &rows() { return m_rows; }
    const TWInvoiceRow *rowAt(int row) const;
    // Reads one row's values again and redraws it.
    void refreshRow(int row);
    // Reads every row's invoice's transactions and values again and redraws them.
    void refreshRows();
    // Redraws every row (colours after a change of preferences).
    void redraw();

    // What a ticked or cleared check box asks of the list.
    std::function<void(int row, int tag, bool on)> checkboxToggled;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TWBusiness *m_business = nullptr;
    QList<int> m_columns;
    TWInvoiceRowList m_rows;
};

// Draws a selected row's text white while its table has the keyboard focus
// and in the row's colour otherwise, and the schedule column's link button,
// which reports a click on it.
class TWInvoicesDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    // Where the link button of a schedule cell stands.
    static QRect linkRect(const QStyleOptionViewItem &option, const QString &text);

signals:
    void repeatClicked(int row);

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};
