#pragma once
// One drawn column of an output table, as a page-laying writer measures it:
// the cells that head it, its left edge and its size on the page.

#include "model/TWCell.h"

#include <QList>
#include <QSizeF>

class TWColumn
{
public:
    TWColumn() = default;
    TWColumn(TWCellList headerCells, double xOffset, QSizeF size, quint32 type)
        : m_headerCells(std::move(headerCells)), m_xOffset(xOffset), m_size(size), m_type(type)
    {
    }

    static TWColumn columnWithHeaderCells(const TWCellList &headerCells, double xOffset,
                                          const QSizeF &size, quint32 type)
    {
        return TWColumn(headerCells, xOffset, size, type);
    }

    const TWCellList &headerCells() const { return m_headerCells; }
    void setHeaderCells(const TWCellList &headerCells) { m_headerCells = headerCells; }
    // The left edge on the page, in points.
    double xOffset() const { return m_xOffset; }
    void setXOffset(double xOffset) { m_xOffset = xOffset; }
    // Width and height in points.
    const QSizeF &size() const { return m_size; }
    void setSize(const QSizeF &size) { m_size = size; }
    // The type of the column's cells.
    quint32 type() const { return m_type; }
    void setType(quint32 type) { m_type = type; }

private:
    TWCellList m_headerCells;
    double m_xOffset = 0;
    QSizeF m_size;
    quint32 m_type = TWCellTypeText;
};

using TWColumnList = QList<TWColumn>;
