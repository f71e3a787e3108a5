// The kept text of a behaviour table and its comparison, row by row.

#include "BehaviourTable.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSaveFile>

#include <iostream>

#include <gtest/gtest.h>

namespace
{

const QString kSeparator = QStringLiteral(" | ");

QString escaped(QString cell)
{
    cell.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    cell.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    cell.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    cell.replace(QLatin1Char('|'), QStringLiteral("\\|"));
    return cell.isEmpty() ? QStringLiteral("-") : cell;
}

// The key of a line: its first `keys` cells (an escaped "\|" is not a mark).
QString keyOf(const QString &line, int keys)
{
    int found = 0;
    for (qsizetype i = 0; i + 2 < line.size(); ++i) {
        if (line.at(i) == QLatin1Char('\\')) {
            ++i;
            continue;
        }
        if (line.at(i) == QLatin1Char('|') && ++found == keys)
            return line.left(i).trimmed();
    }
    return line;
}

} // namespace

TWBehaviourTable::TWBehaviourTable(QString fileName, QStringList columns, int keys)
    : m_fileName(std::move(fileName)), m_columns(std::move(columns)), m_keys(keys)
{
}

void TWBehaviourTable::add(const QStringList &cells)
{
    m_rows.push_back(cells);
}

QString TWBehaviourTable::text() const
{
    QString out;
    QStringList header;
    for (const QString &column : m_columns)
        header.append(escaped(column));
    out += QStringLiteral("# ") + header.join(kSeparator) + QLatin1Char('\n');
    for (const QStringList &row : m_rows) {
        QStringList cells;
        for (const QString &cell : row)
            cells.append(escaped(cell));
        out += cells.join(kSeparator) + QLatin1Char('\n');
    }
    return out;
}

TWBehaviourTable::Parsed TWBehaviourTable::parse(const QString &text, int keys)
{
    Parsed parsed;
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1Char('#'))) {
            parsed.header.append(line);
            continue;
        }
        parsed.rows.emplace_back(keyOf(line, keys), line);
    }
    return parsed;
}

QStringList TWBehaviourTable::differences(const QString &before, const QString &after, int keys,
                                          int *count)
{
    const Parsed old = parse(before, keys);
    const Parsed now = parse(after, keys);
    QStringList out;
    if (old.header != now.header) {
        out.append(QStringLiteral("columns were: %1\ncolumns are:  %2")
                       .arg(old.header.join(QLatin1Char(' ')), now.header.join(QLatin1Char(' '))));
    }
    QHash<QString, QString> oldRows;
    for (const auto &[key, line] : old.rows)
        oldRows.insert(key, line);
    QHash<QString, QString> newRows;
    for (const auto &[key, line] : now.rows)
        newRows.insert(key, line);
    for (const auto &[key, line] : now.rows) {
        const auto found = oldRows.constFind(key);
        if (found == oldRows.cend()) {
            out.append(QStringLiteral("+ ") + line);
        } else if (*found != line) {
            out.append(QStringLiteral("- ") + *found + QStringLiteral("\n+ ") + line);
        }
    }
    for (const auto &[key, line] : old.rows) {
        if (!newRows.contains(key)) {
            out.append(QStringLiteral("- ") + line);
        }
    }
    if (count)
        *count = int(out.size());
    return out;
}

QString twBehaviourTableFolder()
{
    const QByteArray folder = qgetenv("TW_BEHAVIOUR_DIR");
    if (!folder.isEmpty())
        return QString::fromLocal8Bit(folder);
    return QStringLiteral(TW_SOURCE_DIR "/tests/behaviour/tables");
}

void twCheckBehaviourTable(const TWBehaviourTable &table)
{
    const QString path = QDir(twBehaviourTableFolder()).filePath(table.fileName());
    const QString text = table.text();
    if (qgetenv("TW_BEHAVIOUR_WRITE") == "1") {
        QDir().mkpath(twBehaviourTableFolder());
        QSaveFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(text.toUtf8());
        ASSERT_TRUE(file.commit()) << path.toStdString();
        std::cout << "wrote " << table.rowCount() << " rows to " << path.toStdString() << "\n";
        return;
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly))
        << "no kept table at " << path.toStdString() << " (TW_BEHAVIOUR_WRITE=1 writes it)";
    const QString kept = QString::fromUtf8(file.readAll());
    int count = 0;
    const QStringList lines = TWBehaviourTable::differences(kept, text, table.keys(), &count);
    if (count == 0)
        return;
    std::string report;
    for (const QString &difference : lines.mid(0, 50))
        report += difference.toStdString() + "\n";
    ADD_FAILURE() << count << " rows of " << table.fileName().toStdString()
                  << " differ from the kept table (the first 50 below; "
                     "TW_BEHAVIOUR_WRITE=1 writes the new one):\n"
                  << report;
}
