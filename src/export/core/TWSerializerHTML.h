#pragma once
// Writes a table of cells as one XHTML document: running text as inline text
// separated by line breaks, runs of table cells as HTML tables, and graph
// cells as references to "images/graph<n>.jpeg", numbered in cell order (the
// report's save writes the images under the same names).

#include "export/core/TWSerializer.h"

class TWSerializerHTML final : public TWSerializer
{
public:
    TW_SERIALIZER_FACTORIES(TWSerializerHTML)

    QString text() const override;

    // The same document made a part at a time: `append` adds the markup of
    // the next cells (the first cell's text is the title), `finish` closes
    // the document.
    class Stream
    {
    public:
        void append(const TWCellList &cells, QString &out);
        void finish(QString &out);

    private:
        bool m_started = false;
        qint64 m_lastRow = 0;
        qint64 m_lastColumn = -1;
        quint32 m_graphCounter = 1;
        bool m_tableMode = false;
    };

    // Appends the text with every character but ASCII letters, digits and
    // the space as one hexadecimal reference per code point (encodeHTML).
    static void appendEncoded(QString &out, const QString &text);

    // The box graphs are scaled down to fit.
    static constexpr double graphWidth = 858;
    static constexpr double graphHeight = 495;
};
