#include "import/core/TWParserCSV.h"

#include "foundation/TWLocalized.h"
#include "import/core/TWImportText.h"

namespace
{

bool isStop(QChar c)
{
    const char16_t u = c.unicode();
    return u == u',' || u == u'"' || TWImportText::isNewline(c);
}

// One pass over the text; each field is built from the runs between stop
// characters, never character by character.
class CSVReader
{
public:
    explicit CSVReader(const QString &text)
        : m_at(text.constData()), m_end(text.constData() + text.size())
    {
    }

    bool atEnd() const { return m_at == m_end; }

    // The fields of the next row; empty when the row had none (a run of line
    // breaks at the start of the text).
    QStringList readRow()
    {
        QStringList row;
        row.reserve(10);
        while (readField(row)) {
        }
        return row;
    }

private:
    // Appends the next field to `row`; false when the row ended with it.
    bool readField(QStringList &row)
    {
        QString field;
        bool quoted = false;
        for (;;) {
            const QChar *run = m_at;
            while (m_at != m_end && !isStop(*m_at))
                ++m_at;
            if (m_at != run)
                field.append(run, m_at - run);
            if (m_at == m_end) {
                if (quoted)
                    m_unterminated = m_quoteStart;
                row.append(field.isNull() ? QString(QLatin1String("")) : field);
                return false;
            }
            const QChar c = *m_at;
            if (TWImportText::isNewline(c)) {
                const QChar *breaks = m_at;
                while (m_at != m_end && TWImportText::isNewline(*m_at))
                    ++m_at;
                if (quoted) {
                    field.append(breaks, m_at - breaks);
                    continue;
                }
                if (!field.isEmpty())
                    row.append(field);
                else if (!row.isEmpty())
                    row.append(QString(QLatin1String("")));
                return false;
            }
            ++m_at;
            if (c == QLatin1Char('"')) {
                if (!quoted) {
                    quoted = true;
                    m_quoteStart = m_at - 1;
                } else if (m_at != m_end && *m_at == QLatin1Char('"')) {
                    field.append(QLatin1Char('"'));
                    ++m_at;
                } else {
                    quoted = false;
                }
                continue;
            }
            // A comma.
            if (quoted) {
                field.append(QLatin1Char(','));
                continue;
            }
            row.append(field.isNull() ? QString(QLatin1String("")) : field);
            return true;
        }
    }

public:
    // Where a quoted value that runs to the end of the text began; null when
    // every quote was closed.
    const QChar *unterminated() const { return m_unterminated; }

private:
    const QChar *m_at;
    const QChar *m_end;
    const QChar *m_quoteStart = nullptr;
    const QChar *m_unterminated = nullptr;
};

// The line (from 1) of a place in the text; "\r\n" is one line break.
qsizetype lineOf(const QString &text, const QChar *place)
{
    qsizetype line = 1;
    for (const QChar *at = text.constData(); at < place; ++at) {
        if (*at == QLatin1Char('\n') ||
            (*at == QLatin1Char('\r') && (at + 1 == place || at[1] != QLatin1Char('\n'))))
            ++line;
    }
    return line;
}

} // namespace

std::shared_ptr<TWParserCSV> TWParserCSV::parser()
{
    return std::make_shared<TWParserCSV>();
}

void TWParserCSV::parse(const QByteArray &data)
{
    const QString text = TWImportText::decode(data);
    CSVReader reader(text);
    std::optional<QStringList> columns;
    QList<QStringList> rows;
    rows.reserve(500);
    while (!reader.atEnd()) {
        QStringList row = reader.readRow();
        if (row.isEmpty())
            continue;
        if (!columns)
            columns = std::move(row);
        else
            rows.append(std::move(row));
    }
    // A quote never closed swallows the rest of the file into one value.
    if (reader.unterminated())
        addNote(
            TWLocalized("importNoteUnterminatedQuote").arg(lineOf(text, reader.unterminated())));
    setColumns(std::move(columns));
    setRows(std::move(rows));
}
