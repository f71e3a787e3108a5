#include "export/core/TWSerializerCSV.h"

QString TWSerializerCSV::text() const
{
    QString text = QStringLiteral("");
    text.reserve(std::max<qsizetype>(1000, cells().size() * 12));
    Stream stream;
    stream.append(cells(), text);
    return text;
}

void TWSerializerCSV::Stream::append(const TWCellList &cells, QString &text)
{
    // Signed and wide: a cell on a lower row than the one before it (never
    // produced, but not trusted) makes one line break, not a wrap-around.
    qint64 &lastRow = m_lastRow;
    qint64 &lastColumn = m_lastColumn;
    for (const TWCell &cell : cells) {
        const qint64 row = cell.row();
        const qint64 column = cell.column();
        if (row != lastRow) {
            text.append(QLatin1String("\r\n"));
            for (qint64 r = lastRow + 1; r < row; ++r)
                text.append(QLatin1String("\r\n"));
            lastColumn = 0;
        }
        for (qint64 c = lastColumn + 1; c < column; ++c)
            text.append(QLatin1Char(','));
        if (column != 0)
            text.append(QLatin1Char(','));
        if (!cell.value().isNull()) {
            text.append(QLatin1Char('"'));
            QString value = cell.value();
            text.append(value.replace(QLatin1Char('"'), QLatin1String("\"\"")));
            text.append(QLatin1Char('"'));
        }
        lastRow = row;
        lastColumn = column;
    }
}
