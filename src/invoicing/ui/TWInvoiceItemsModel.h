#pragma once
// One of the invoice editor's two item tables: every task (or expense) of the
// invoice's project, whether this invoice bills it and how much, what is left
// to bill and what the billed part comes to. The selection list holds the
// items on the invoice, each carrying the quantity billed.

#include "foundation/TWError.h"
#include "model/TWInvoice.h"
#include "model/TWInvoiceItem.h"
#include "model/TWSendInvoiceData.h"

#include <QAbstractTableModel>
#include <QFontMetrics>
#include <QHash>
#include <QSet>

class TWBusiness;
class TWUnit;

// The quantity a checked timed task bills: `quantity` seconds raised to the
// next multiple of `stepMinutes` minutes, counted on whole seconds. A step
// under one second rounds nothing.
double twRoundedInvoiceTime(double quantity, double stepMinutes);

// Reads a typed quantity as every number field does: seconds for a timed
// task (hours, or h:mm), a plain number otherwise, in the locale's digits and
// marks. False for empty text, text that is not a number, or a negative one.
bool twParseInvoiceQuantity(const QString &text, bool timed, double *quantity);
// What the quantity sheet says of text it refused, with examples as typed here.
QString twInvoiceQuantityError(const QString &text, bool timed);

class TWInvoiceItemsModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column : int {
        InvoiceColumn = 0,
        DateColumn,
        NameColumn,
        AvailableColumn,
        QuantityColumn,
        SubtotalColumn,
        TotalColumn,
        ColumnCount
    };

    TWInvoiceItemsModel(TWInvoiceItemType kind, QObject *parent = nullptr);

    TWInvoiceItemType kind() const { return m_kind; }
    // The invoice being edited, its store and the unit its money is shown in.
    void setContext(TWBusiness *business, const TWInvoicePtr &invoice,
                    const std::shared_ptr<TWUnit> &unit);
    // All items of the project and those on the invoice (the same objects).
    void setItems(const TWInvoiceItemList &items, const TWInvoiceItemList &selected);
    const TWInvoiceItemList &items() const { return m_items; }
    const TWInvoiceItemList &selected() const { return m_selected; }
    TWInvoiceItemPtr itemAt(int row) const { return m_items.value(row); }
    bool isOnInvoice(const TWInvoiceItem &item) const;
    // Whether the item may be put on the invoice: not a flat task that
    // another invoice bills whole (one already on it may stay).
    bool canBill(const TWInvoiceItem &item) const;
    // What other invoices have left of the item.
    double availableQuantity(const TWInvoiceItem &item) const;
    // The available quantity a check bills (raised for timed tasks).
    double checkedQuantity(const TWInvoiceItem &item) const;

    // Checking bills the available quantity; unchecking bills nothing.
    void setOnInvoice(int row, bool on);
    // The quantity sheet's save: on with the typed quantity, or off. Refused
    // text changes nothing and answers why.
    TWErrorResult setQuantity(int row, bool on, const QString &text);
    // The quantity as the table and the quantity sheet show it.
    QString quantityText(const TWInvoiceItem &item, double quantity) const;

    // Sorts by the column's rule (header clicks); stable, equal items keep
    // their order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    // The order a column takes on its first click.
    static Qt::SortOrder firstClickOrder(int column);

    // The width a double click on the column's edge gives it: its title
    // plus 20 (at least 50); the check and date columns keep 65 and 80, the
    // others widen to their longest text plus 20.
    int sizeToFitWidth(int column, const QFontMetrics &headerFont,
                       const QFontMetrics &cellFont) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The transient quantity on the item, by kind.
    static double invoiceQuantity(const TWInvoiceItem &item);
    static void setInvoiceQuantity(TWInvoiceItem &item, double quantity);
    static qint64 invoiceSubtotal(const TWInvoiceItem &item);
    static qint64 invoiceTotal(const TWInvoiceItem &item);

signals:
    // The selection or a billed quantity changed.
    void selectionChanged();

private:
    bool isTimed(const TWInvoiceItem &item) const;
    QString money(qint64 value) const;
    void reloadAll();

    TWInvoiceItemType m_kind;
    TWBusiness *m_business = nullptr;
    TWInvoicePtr m_invoice;
    std::shared_ptr<TWUnit> m_unit;
    TWInvoiceItemList m_items;
    TWInvoiceItemList m_selected;
    // The selection's identifiers: every cell asks whether its item is on
    // the invoice.
    QSet<qint32> m_selectedIdentifiers;
    QHash<qint32, double> m_available; // by item identifier
    // Flat tasks another invoice bills whole: none of them is left to bill,
    // even one of quantity 0, whose whole a billed quantity of 0 would be.
    QSet<qint32> m_billedElsewhere;
    int m_sortColumn = DateColumn;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
};
