#pragma once
// The schedules table of the repeats view: one row per schedule with a
// sample of what it makes (its first transaction, or the first payment of
// its first invoice or bill), the number of items and when the next is due.
// Every sort first reads each schedule's items from the store again.

#include "model/TWRepeat.h"
#include "model/TWTransaction.h"

#include <QAbstractTableModel>
#include <QFontMetrics>

class TWBusiness;

// What one row shows and sorts by, read once per sort.
struct TWRepeatRow {
    TWRepeatPtr repeat;      // a copy of the schedule, holding its items
    TWTransactionPtr sample; // none without items or payments
    bool hasItems = false;
    QString typeName;
    QString payee;
    QString description;
    QString account1;
    QString account2;
    qint64 debit = 0;  // home unit, positive
    qint64 credit = 0; // home unit, positive
    int itemCount = 0;
    QDateTime nextDate;
};

class TWRepeatsModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        TypeColumn,
        PayeeColumn,
        DescriptionColumn,
        Account1Column,
        Account2Column,
        DebitColumn,
        CreditColumn,
        NumberOfItemsColumn,
        RepeatsColumn,
        NextItemColumn,
        ColumnCount
    };

    explicit TWRepeatsModel(QObject *parent = nullptr);

    void setBusiness(TWBusiness *business) { m_business = business; }
    // Takes the store's schedules afresh (then sorts as last asked).
    void setRepeats(const TWRepeatList &repeats);
    const QList<TWRepeatRow> &rows() const { return m_rows; }
    // The stored schedule of a row; none outside the rows.
    TWRepeatPtr repeatAtRow(int row) const;
    int rowOfRepeat(qint32 identifier) const;

    // The sort key of each column ("type", "payee", ..., "nextItem").
    static QString sortKey(int column);
    static int columnOfSortKey(const QString &key);
    // Three-way comparison of two rows by a key (any other key counts as
    // "nextItem"), ascending; a strict weak ordering for every key.
    static int compareRows(const TWRepeatRow &a, const TWRepeatRow &b, const QString &key);
    // Reads the items again and sorts the rows (stable); descending reverses.
    void sortByKey(const QString &key, bool ascending);
    // The key the next sort uses (no sort now).
    void setSortKey(const QString &key, bool ascending)
    {
        m_key = key;
        m_ascending = ascending;
    }
    const QString &sortKeyInUse() const { return m_key; }
    bool ascending() const { return m_ascending; }

    // The width a double click on a column's edge fits it to.
    int fittedWidth(int column, const QFontMetrics &data, const QFontMetrics &header) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // The table's header asks for a sort.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    TWRepeatRow makeRow(const TWRepeatPtr &stored) const;
    QString cellText(const TWRepeatRow &row, int column) const;

    TWBusiness *m_business = nullptr;
    TWRepeatList m_repeats;
    QList<TWRepeatRow> m_rows;
    QString m_key = QStringLiteral("nextItem");
    bool m_ascending = true;
};
