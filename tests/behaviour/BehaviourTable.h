#pragma once
// A table of what the program does with every shape of a document or a bank
// file: one row per shape and operation, one column per reading, kept as a
// text file under tests/behaviour/tables. Each table's test builds it anew and
// fails on any difference from the kept file, printing the rows that differ
// (the first 50, and their count). With TW_BEHAVIOUR_WRITE=1 the test writes
// the file instead; TW_BEHAVIOUR_DIR reads and writes the tables in another
// folder (to compare two builds' tables).

#include <QString>
#include <QStringList>

#include <vector>

class TWBehaviourTable
{
public:
    // `keys` is how many of the first columns name the row (the shape and the
    // operation); the rest are its readings.
    TWBehaviourTable(QString fileName, QStringList columns, int keys);

    const QString &fileName() const { return m_fileName; }
    const QStringList &columns() const { return m_columns; }
    int keys() const { return m_keys; }
    int rowCount() const { return int(m_rows.size()); }

    // One row; a cell's line breaks and column marks are written as visible
    // escapes, so that every row stays one line.
    void add(const QStringList &cells);

    // The table as its file holds it.
    QString text() const;

    // The rows of a file's text by their key ("a | b" of the key columns).
    struct Parsed {
        QStringList header;
        std::vector<std::pair<QString, QString>> rows; // key, whole line
    };
    static Parsed parse(const QString &text, int keys);

    // The differences between two texts of the table, one entry each: a row
    // changed ("- before" and "+ after" lines), a row only after ("+ "), a row
    // only before ("- "); `count` is their number.
    static QStringList differences(const QString &before, const QString &after, int keys,
                                   int *count);

private:
    QString m_fileName;
    QStringList m_columns;
    int m_keys;
    std::vector<QStringList> m_rows;
};

// Where the kept tables are (TW_BEHAVIOUR_DIR, else the source tree's).
QString twBehaviourTableFolder();

// The test of one table: writes it (TW_BEHAVIOUR_WRITE=1) or compares it with
// the kept file; a failure names the rows that differ.
void twCheckBehaviourTable(const TWBehaviourTable &table);
