#pragma once
// One cell of an output table. Reports, exports and invoices describe what
// they print as a flat list of cells ordered by row, then column; the writers
// and the invoice renderer lay that list out. An export of many transactions
// makes hundreds of thousands of cells, so a cell is a small value: its texts
// are its only allocations.

#include <QList>
#include <QString>
#include <QUrl>
#include <QVariant>

// Style bits; each pair (size, face, underline) is used one bit at a time.
enum TWCellStyle : quint32 {
    TWCellStylePlain = 0,
    TWCellStyleSmall = 2,
    TWCellStyleLarge = 4,
    TWCellStyleBold = 8,
    TWCellStyleItalic = 16,
    TWCellStyleUnderline = 32,
    TWCellStyleDoubleUnderline = 64,
};

enum TWCellJustify : quint32 {
    TWCellJustifyLeft = 0,
    TWCellJustifyCenter = 1,
    TWCellJustifyRight = 2,
};

// Every type other than a graph is a text cell.
enum TWCellType : quint32 {
    TWCellTypeText = 1,
    TWCellTypeGraph = 3,
};

class TWCell
{
public:
    TWCell() = default;
    TWCell(QString value, QVariant rawValue, QUrl link, quint32 style, quint32 justify,
           quint32 type, quint32 row, quint32 column, bool table, bool header, bool border,
           quint32 span)
        : m_value(std::move(value)), m_rawValue(std::move(rawValue)), m_link(std::move(link)),
          m_style(style), m_justify(justify), m_type(type), m_row(row), m_column(column),
          m_span(span), m_table(table), m_header(header), m_border(border)
    {
    }

    static TWCell cellWithValue(const QString &value, const QVariant &rawValue, const QUrl &link,
                                quint32 style, quint32 justify, quint32 type, quint32 row,
                                quint32 column, bool table, bool header, bool border, quint32 span)
    {
        return TWCell(value, rawValue, link, style, justify, type, row, column, table, header,
                      border, span);
    }

    // What is shown; null for a graph cell.
    const QString &value() const { return m_value; }
    void setValue(const QString &value) { m_value = value; }
    // The unformatted value behind the text (a number or a date), or the graph
    // of a graph cell.
    const QVariant &rawValue() const { return m_rawValue; }
    void setRawValue(const QVariant &rawValue) { m_rawValue = rawValue; }
    // When valid, the HTML writer links the cell's text to it.
    const QUrl &link() const { return m_link; }
    void setLink(const QUrl &link) { m_link = link; }
    quint32 style() const { return m_style; }
    void setStyle(quint32 style) { m_style = style; }
    quint32 justify() const { return m_justify; }
    void setJustify(quint32 justify) { m_justify = justify; }
    quint32 type() const { return m_type; }
    void setType(quint32 type) { m_type = type; }
    quint32 row() const { return m_row; }
    void setRow(quint32 row) { m_row = row; }
    quint32 column() const { return m_column; }
    void setColumn(quint32 column) { m_column = column; }
    // Part of the table grid (false for titles and graphs above or below it).
    bool table() const { return m_table; }
    void setTable(bool table) { m_table = table; }
    // A column heading, repeated on every page by page-laying writers.
    bool header() const { return m_header; }
    void setHeader(bool header) { m_header = header; }
    bool border() const { return m_border; }
    void setBorder(bool border) { m_border = border; }
    // How many columns the cell covers.
    quint32 span() const { return m_span; }
    void setSpan(quint32 span) { m_span = span; }

private:
    QString m_value;
    QVariant m_rawValue;
    QUrl m_link;
    quint32 m_style = TWCellStylePlain;
    quint32 m_justify = TWCellJustifyLeft;
    quint32 m_type = TWCellTypeText;
    quint32 m_row = 0;
    quint32 m_column = 0;
    quint32 m_span = 1;
    bool m_table = false;
    bool m_header = false;
    bool m_border = false;
};

using TWCellList = QList<TWCell>;
