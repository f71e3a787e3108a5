#pragma once
// The common base of the import readers: a file's bytes become a plain table of
// column names and rows of text fields, which the mapping and the processors
// then turn into transactions, tasks or expenses. A parser reads one file and
// is dropped; parsing never fails, a file it cannot read simply gives no rows.

#include "model/TWAccountNumbers.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class TWParser
{
public:
    TWParser() = default;
    virtual ~TWParser();
    TWParser(const TWParser &) = delete;
    TWParser &operator=(const TWParser &) = delete;

    // A new parser of the class it is called on (the base reads nothing).
    static std::shared_ptr<TWParser> parser();

    // Reads the whole file and sets columns() and rows().
    virtual void parse(const QByteArray &data);

    // The source column names in file order; none until a parse sets them.
    const std::optional<QStringList> &columns() const { return m_columns; }
    void setColumns(std::optional<QStringList> columns) { m_columns = std::move(columns); }
    // The data rows in file order. Rows are never padded or cut to the column
    // count, so a consumer checks a row's length before reading a field.
    const QList<QStringList> &rows() const { return m_rows; }
    void setRows(QList<QStringList> rows) { m_rows = std::move(rows); }

    // What the user should know about the file: why it gave no rows, or
    // fewer than it seems to hold, or what to check before importing (two
    // statements in one file). Each a sentence; empty when all went well.
    const QStringList &notes() const { return m_notes; }
    void addNote(const QString &note) { m_notes.append(note); }

    // Account names the parser made up rather than read (a QIF section
    // without an account record is named after its type): they stand for the
    // account the user picks, not for an account of the business.
    const QSet<QString> &placeholderAccountNames() const { return m_placeholders; }
    void setPlaceholderAccountNames(QSet<QString> names) { m_placeholders = std::move(names); }

    // Whether the parser wrote the amounts itself from a fixed notation (QIF
    // and OFX write "." as decimal mark): then they carry no grouping and the
    // locale's decimal mark, so "1.234" is one and a quarter dinars, never
    // 1,234.
    bool plainAmounts() const { return m_plainAmounts; }
    void setPlainAmounts(bool plain) { m_plainAmounts = plain; }

    // A file of several statements (OFX): the label of each in file order,
    // which its rows carry in an account column (statements of one account,
    // its bank, number and account type alike, share one), the account
    // number the file gives each label, where it gives one that no other
    // account of the file carries, and what the file says of the writer of
    // each numbered label. Empty for a file of one statement, whose rows are
    // the chosen account's.
    const QStringList &statements() const { return m_statements; }
    const QHash<QString, QString> &statementNumbers() const { return m_statementNumbers; }
    const QHash<QString, TWAccountNumbers::WriterMark> &statementMarks() const
    {
        return m_statementMarks;
    }
    void setStatements(QStringList labels, QHash<QString, QString> numbers,
                       QHash<QString, TWAccountNumbers::WriterMark> marks = {})
    {
        m_statements = std::move(labels);
        m_statementNumbers = std::move(numbers);
        m_statementMarks = std::move(marks);
    }

    // Whether a split transaction's first line is the account whose register
    // the file lists it in (a QIF section's own account): then that is the
    // register the transaction comes from.
    bool splitsLeadWithTheirAccount() const { return m_splitsLead; }
    void setSplitsLeadWithTheirAccount(bool v) { m_splitsLead = v; }

    // The pattern the file writes a column's dates in, by column index, where
    // the parser hands the dates on as written and knows their order (a QIF
    // file's order of day and month): the mapping reads the column by it
    // unless the user sets another.
    const QHash<qsizetype, QString> &dateFormats() const { return m_dateFormats; }
    void setDateFormat(qsizetype column, const QString &pattern)
    {
        m_dateFormats.insert(column, pattern);
    }

private:
    QStringList m_notes;
    QSet<QString> m_placeholders;
    QHash<qsizetype, QString> m_dateFormats;
    bool m_plainAmounts = false;
    bool m_splitsLead = false;
    QStringList m_statements;
    QHash<QString, QString> m_statementNumbers;
    QHash<QString, TWAccountNumbers::WriterMark> m_statementMarks;
    std::optional<QStringList> m_columns;
    QList<QStringList> m_rows;
};
