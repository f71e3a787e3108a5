#pragma once
// Short ways to make a report and read its cells by row.

#include "TWTestSupport.h"
#include "reports/engine/TWExportReport.h"

#include "foundation/TWDateAdditions.h"

#include <QMap>

inline TWReportPtr twMakeReport(TWReportType type, TWReportDateType dateType, const QDateTime &from,
                                const QDateTime &to, bool compare = false,
                                const QDateTime &compareFrom = {}, const QDateTime &compareTo = {},
                                bool graphs = false)
{
    return TWReport::reportWithIdentifier(100, QString(), 0, 0, type, dateType, from, to, compare,
                                          dateType, compareFrom, compareTo, graphs);
}

// The table's rows as texts: "label|amount|amount" by row, table cells only.
inline QMap<quint32, QString> twTableRows(const TWCellList &cells)
{
    QMap<quint32, QString> rows;
    for (const TWCell &cell : cells) {
        if (!cell.table() || cell.header())
            continue;
        QString &row = rows[cell.row()];
        if (!row.isNull() || cell.column() > 0)
            row += QLatin1Char('|');
        row += cell.value();
    }
    return rows;
}

// The rows in order, without their numbers.
inline QStringList twTableLines(const TWCellList &cells)
{
    return twTableRows(cells).values();
}

inline QList<TWGraphPtr> twGraphs(const TWCellList &cells)
{
    QList<TWGraphPtr> graphs;
    for (const TWCell &cell : cells) {
        if (cell.type() == TWCellTypeGraph)
            graphs.append(cell.rawValue().value<TWGraphPtr>());
    }
    return graphs;
}

// The cell of the first row whose label is `label`, in `column`.
inline const TWCell *twCellAt(const TWCellList &cells, const QString &label, quint32 column)
{
    for (const TWCell &cell : cells) {
        if (cell.column() == 0 && cell.value() == label && cell.table()) {
            for (const TWCell &other : cells) {
                if (other.row() == cell.row() && other.column() == column)
                    return &other;
            }
        }
    }
    return nullptr;
}
