#pragma once
// Printing a register: its rows become a transactions export table with the
// printed columns, copied into plain data (no store objects, so it can be laid
// out on another thread) and laid out to the width of the printer's page:
// amounts, dates and the balance keep their width, text columns give way
// first, and the type shrinks only when that is not enough. Every page
// repeats the register's title, its number and the column headings; check
// boxes print as marks.

#include "model/TWField.h"
#include "model/TWTransaction.h"

#include <QByteArray>
#include <QFont>
#include <QHash>
#include <QList>
#include <QPageLayout>
#include <QStringList>

#include <functional>
#include <optional>

class TWBusiness;

namespace TWExportPrint
{

enum class ColumnKind {
    Text,   // shortened to fit
    Fixed,  // dates, units: kept whole
    Amount, // amounts, the balance, numbers: kept whole, right-aligned
    Check,  // check boxes: a mark
};

struct Column {
    QString title;
    ColumnKind kind = ColumnKind::Text;
};

// A register ready to be laid out: plain values only.
struct Table {
    QString title;
    QString pageFormat; // "Page %1"
    QList<Column> columns;
    QList<QStringList> rows; // a check column holds "1" when checked
    QList<bool> totals;      // per row: a totals row (bold, ruled above)
    QFont bodyFont;
    QFont boldFont;
};

// Reads the register's rows (in display order) into a table with the given
// columns and a totals row per account. Main thread: it reads the store.
Table registerTable(TWBusiness *business, const TWTransactionList &transactions,
                    const TWFieldList &fields, const QHash<qint32, QString> &attachmentFileNames,
                    const QString &title);

// Where every column goes on the page, in points.
struct Layout {
    double scale = 1;       // of the table's fonts
    QList<double> widths;   // per column
    QList<double> offsets;  // left edge of each column within the printable area
    bool shortened = false; // some text column is narrower than its longest text
    bool fits = true;       // false: even the smallest type overflows the width
};

// Lays the columns out in `width` points.
Layout layOut(const Table &table, double width);

// Whether the columns fit the page's width without shortening or smaller
// type (a register that does not is better printed in landscape).
bool fitsWithoutShortening(const Table &table, const QPageLayout &pageLayout);

// Called after each page with the pages done and the pages in all; false
// stops the work (the result is then empty).
using Progress = std::function<bool(int done, int pages)>;

// The PDF of the table on pages of `pageLayout` (US Letter portrait without
// one). Safe on any thread.
QByteArray tablePDF(const Table &table, const std::optional<QPageLayout> &pageLayout,
                    const Progress &progress = {});

// registerTable, then tablePDF.
QByteArray registerPDF(TWBusiness *business, const TWTransactionList &transactions,
                       const TWFieldList &fields, const QHash<qint32, QString> &attachmentFileNames,
                       const std::optional<QPageLayout> &pageLayout,
                       const QString &title = QString());

} // namespace TWExportPrint
