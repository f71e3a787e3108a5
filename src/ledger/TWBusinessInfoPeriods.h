#pragma once
// The accounting periods of the business information sheet: the table's rows
// over the sheet's working list (copies, so the store's periods are never
// touched before a save), and the rules of that list: sorting by a column,
// the next period to add, and the checks a save makes.

#include "model/TWAccountingPeriod.h"

#include <QAbstractTableModel>

#include <functional>

class TWBusinessInfoPeriods final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Name, Start, End, Closed, ColumnCount };
    // What a save's check found.
    enum Problem { NoProblem, EndsBeforeStart, Overlap };

    explicit TWBusinessInfoPeriods(QObject *parent = nullptr);

    const TWAccountingPeriodList &periods() const { return m_periods; }
    void setPeriods(const TWAccountingPeriodList &periods);
    // The period drawn bold (the store's active one); 0 none.
    void setActiveIdentifier(qint32 identifier);

    // Sorts by a column (0 name, 1 start, 2 end, 3 closed); descending swaps
    // the order, equal periods keep theirs.
    static void sortPeriods(TWAccountingPeriodList &periods, int column, bool ascending);
    // The period added after the latest end: from the day after it to the end
    // of that year, named by the count; with no periods, this calendar year.
    static TWAccountingPeriodPtr nextPeriod(const TWAccountingPeriodList &periods);
    // Sorts the list by start and checks that no period ends before it starts
    // (checked first, in list order) and that each starts on a later day than
    // the one before ends.
    static Problem checkPeriods(TWAccountingPeriodList &periods);

    void append(const TWAccountingPeriodPtr &period);
    // Whether any of the rows is a closed period.
    bool anyClosed(const QList<int> &rows) const;
    // Removes the rows (any order).
    void removePeriods(QList<int> rows);
    void sortBy(int column, bool ascending);

    // An edit of a cell changed a period.
    std::function<void()> edited;
    std::function<void(int column, Qt::SortOrder order)> sortRequested;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    TWAccountingPeriodList m_periods;
    qint32 m_activeIdentifier = 0;
};
