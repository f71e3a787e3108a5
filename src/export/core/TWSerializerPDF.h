#pragma once
// Lays a table of cells out on pages and returns them as one PDF document:
// running text, graphs and tables whose header repeats at the top of every
// page they continue on, each page headed by its number. Geometry is in
// points with the origin at the page's lower left, as PDF has it; the first
// table's width decides the page size (a wide table gets a wider page with
// the proportions of a landscape letter page). With print settings the pages
// take the printer's paper and printable area.

#include "export/core/TWSerializer.h"

#include <QFont>
#include <QIODevice>
#include <QRectF>
#include <QSizeF>

class TWSerializerPDF final : public TWSerializer
{
public:
    TW_SERIALIZER_FACTORIES(TWSerializerPDF)

    // The PDF document. An empty cell list gives no document (null data,
    // which the file writers refuse to store).
    QByteArray data() const override;

    // One column of a table as measured from its header and body texts. A
    // placeholder stands for a column the first header row leaves out; a
    // header cell that is absent stands under a spanning header.
    struct Column {
        bool placeholder = false;
        QList<std::optional<TWCell>> headerCells;
        double xOffset = 0;
        QSizeF size;
    };
    using Columns = QList<Column>;

    struct Geometry {
        QSizeF pageSize;
        QRectF pageBounds; // lower-left origin
        // The first table's columns, measured once for both uses.
        qsizetype firstTableIndex = -1;
        Columns firstTableColumns;
    };
    // The page size and the area content is laid out in.
    Geometry calculateSizes() const;
    // Measures the table that starts at cells()[index] into `columns` and
    // answers its width (0, and no change, for an index outside the list).
    double cacheTableHeaders(qsizetype index, Columns &columns) const;
    double cacheTableHeaders(const TWCellList &list, qsizetype index, Columns &columns) const;
    // The page for a first table of that width (0: none).
    Geometry geometryForTableWidth(double tableWidth) const;

    // The same document written straight onto `device` from cells handed
    // over a part at a time (each part whole rows), so that only a part and
    // the current page are in memory: `parts` hands every part to the sink it
    // is given, and is called twice, to measure the first table and to draw.
    // Parts without a cell give no document: an error, and nothing written.
    using PartSink = std::function<TWErrorResult(TWCellList &part)>;
    using PartSource = std::function<TWErrorResult(const PartSink &sink)>;
    TWErrorResult writeParts(const PartSource &parts, QIODevice &device) const;

    // A cell's font (its size and face bits, the export preferences, and
    // "Times Roman" for a name that names no installed font).
    static QFont cellFont(quint32 style);
    // The header font of tables and the page number's font.
    static QFont headerFont();
    static QFont pageNumberFont();

    static constexpr double graphWidth = 572;
    static constexpr double graphHeight = 330;
    static constexpr double graphLineHeight = 350;

private:
    class TableMeasure;
};
