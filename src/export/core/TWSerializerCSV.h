#pragma once
// Writes a table of cells as comma-separated values: every value between
// double quotes (quotes doubled), empty fields for missing columns, empty
// lines for missing rows, "\r\n" between lines and none after the last.

#include "export/core/TWSerializer.h"

class TWSerializerCSV final : public TWSerializer
{
public:
    TW_SERIALIZER_FACTORIES(TWSerializerCSV)

    QString text() const override;

    // The same text made a part at a time: each `append` adds the text of
    // the next cells, continuing the rows of the cells before them.
    class Stream
    {
    public:
        void append(const TWCellList &cells, QString &out);

    private:
        qint64 m_lastRow = 0;
        qint64 m_lastColumn = 0;
    };
};
