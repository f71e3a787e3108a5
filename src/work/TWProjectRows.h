#pragma once
// The projects and estimates of the clients view as rows, without any
// widget: what each column shows (money in the project's own unit, with the
// home-currency amount as tooltip), the row colours and the sort order of
// every column.

#include "model/TWProject.h"
#include "store/TWBusiness.h"
#include "store/TWDocumentReads.h"

#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QString>

// The projects table's column tags.
enum TWProjectColumnTag : int {
    TWProjectColumnDate = 0,
    TWProjectColumnClient = 1,
    TWProjectColumnCompleted = 2,
    TWProjectColumnName = 3,
    TWProjectColumnType = 4,
    TWProjectColumnStartDate = 5,
    TWProjectColumnEndDate = 6,
    TWProjectColumnRate = 7,
    TWProjectColumnUnit = 8,
    TWProjectColumnTaxRate = 9,
    TWProjectColumnTotalUninvoiced = 10,
    TWProjectColumnTotalInvoiced = 11,
    TWProjectColumnOwe = 12,
    TWProjectColumnPercentPaid = 13,
    TWProjectColumnOverdue = 14,
    TWProjectColumnNotes = 15,
};

class TWProjectRows
{
public:
    // What one column of one project sorts by, computed once per sort.
    struct SortKey {
        qint64 number = 0;
        double real = 0.0;
        QString text;
        // No value (no client, no date, not overdue, a missing text).
        bool missing = false;
    };

    void setBusiness(TWBusiness *business)
    {
        m_business = business;
        m_paidSince.forget();
    }
    TWBusiness *business() const { return m_business; }

    // The listed projects in display order (row i shows element i).
    const TWProjectList &projects() const { return m_projects; }
    // Takes the projects and has each attach its invoices.
    void setProjects(const TWProjectList &projects);
    void clear();
    int count() const { return int(m_projects.size()); }
    TWProjectPtr project(int row) const { return m_projects.value(row); }
    // The project's row (by identifier), -1 when not listed.
    int row(const TWProject &project) const;
    // Each project attaches its invoices again (their payments changed); with nothing but
    // transactions written since the last time, only the projects whose invoices they pay.
    void updateInvoices();
    // The figures the rows show changed (a task, an expense or a payment): the next sort
    // reads them again.
    void forgetFigures() { m_figureKeys.clear(); }

    // ---- Cells ----
    QString text(const TWProject &project, int tag) const;
    // The money columns' amounts in the home currency; empty for the others.
    QString toolTip(const TWProject &project, int tag) const;
    QColor rowColour(const TWProject &project) const;
    // Percent paid and notes take the text colour (invalid), overdue red.
    QColor cellColour(const TWProject &project, int tag) const;

    // ---- Sorting ----
    SortKey sortKey(const TWProject &project, int tag) const;
    // -1, 0 or 1, ascending.
    static int compareKeys(const SortKey &a, const SortKey &b, int tag);
    int compare(const TWProject &a, const TWProject &b, int tag) const
    {
        return compareKeys(sortKey(a, tag), sortKey(b, tag), tag);
    }
    // Reorders the rows (stable; equal rows keep their order). The money columns' keys are
    // read once after each change of the figures, not at every sort.
    void sort(int tag, bool ascending);

private:
    QString money(qint64 value, const TWUnit *unit) const;
    void rebuildRowIndex();
    static bool isFigure(int tag);

    TWBusiness *m_business = nullptr;
    TWProjectList m_projects;
    // Identifier -> row (the first, should a project be listed twice).
    QHash<qint32, int> m_rowIndex;
    bool m_listedTwice = false;
    TWPaidProjectsSince m_paidSince;
    // The keys of the money columns by column and project identifier, as last read.
    QHash<quint64, SortKey> m_figureKeys;
};

// What the clients' projects owe in the home unit, for a count line. Kept between updates: after
// nothing but transactions was written, only the projects they pay are read again, and the
// total is added up as the store adds it.
class TWClientsOwing
{
public:
    qint64 homeOwing(TWBusiness &business, const TWClientList &clients);

private:
    TWPaidProjectsSince m_paidSince;
    TWClientList m_clients;
    QList<TWBusiness::ProjectOwing> m_owings;
    // Project identifier -> its places in m_owings.
    QMultiHash<qint32, qsizetype> m_at;
};
