#pragma once
// What the rows of the source list show beside their names, computed without
// widgets: the amount of each record row (balances, what clients and
// merchants owe, filter totals), the counts of the manage entries, and the
// owing and overdue state behind the colours of client and merchant rows.
// Amounts are computed when the list asks (`update`, `updateTotals`) and kept
// per node, so painting a row never computes one; every account comes from
// one pass of the store's balances, groups from their members' figures.

#include "app/TWMasterItem.h"

#include <QColor>
#include <QHash>
#include <QString>

class TWBusiness;
class TWUnit;

class TWMasterTotals
{
public:
    explicit TWMasterTotals(TWBusiness &business) : m_business(&business) {}

    // The tree of the source list for the business: the families' headers
    // with their records, the find section when an advanced find is set, and
    // the manage entries.
    static TWMasterItemList masterItemsWithBusiness(TWBusiness &business);

    // Forgets everything, then computes every row below the given nodes.
    void update(const TWMasterItemList &items);
    // Computes the node and every node below it afresh.
    void updateTotals(const TWMasterItem &node);
    void clear() { m_rows.clear(); }

    // The kept detail text of a row: an amount, a count or an on/off word
    // (empty when none was computed).
    QString detailText(const TWMasterItem &node) const;
    // The colour of a record row by the rule: the overdue colour when an
    // overdue record is below, else the owe colour when money is owed, else
    // invalid (the row's normal colour). Only client and merchant rows and
    // their groups have one.
    QColor colour(const TWMasterItem &node) const;
    qint64 owing(const TWMasterItem &node) const { return m_rows.value(&node).owing; }
    bool overdue(const TWMasterItem &node) const { return m_rows.value(&node).overdue; }

    // The colour rule for an owing amount and an overdue flag.
    static QColor colourForOwing(qint64 owing, bool overdue);
    // The row money format: unit shown, grouping, brackets, decimals.
    static QString rowAmount(qint64 value, const TWUnit *unit, const TWBusiness &business);

private:
    struct Row {
        QString detail;
        qint64 owing = 0;
        bool overdue = false;
        bool coloured = false;
    };
    struct Pass;
    void compute(const TWMasterItem &node, Pass &pass);

    TWBusiness *m_business;
    QHash<const TWMasterItem *, Row> m_rows;
};
