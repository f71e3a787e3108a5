#pragma once
// The invoice list's decisions that need no widget: its sixteen column kinds,
// the values of one row computed once per reload (payment totals, lines,
// overdue state), the cell texts, the sort order of every column, the row
// colour and which commands the list may run.

#include "app/TWMenuValidation.h"

#include "model/TWClient.h"
#include "model/TWInvoice.h"
#include "model/TWProject.h"
#include "model/TWRepeat.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

class TWBusiness;
class TWPreferences;

// The column kinds, numbered as the header tags.
enum TWInvoiceColumnTag : int {
    TWInvoiceColumnDate = 0,
    TWInvoiceColumnClient = 1,
    TWInvoiceColumnProject = 2,
    TWInvoiceColumnNumber = 3,
    TWInvoiceColumnName = 4,
    TWInvoiceColumnSent = 5,
    TWInvoiceColumnPaid = 6,
    TWInvoiceColumnDue = 7,
    TWInvoiceColumnRepeat = 8,
    TWInvoiceColumnTasks = 9,
    TWInvoiceColumnExpenses = 10,
    TWInvoiceColumnTotal = 11,
    TWInvoiceColumnOwe = 12,
    TWInvoiceColumnPercentPaid = 13,
    TWInvoiceColumnOverdue = 14,
    TWInvoiceColumnNotes = 15,
    TWInvoiceColumnCount = 16,
};

namespace TWInvoiceColumns
{
// The identifier's tag; 0 for an identifier that names no column.
int columnTag(const QString &identifier);
// The tag's identifier (also its settings key and title key); empty above 15.
QString columnIdentifier(int tag);
// The header menu's order of the sixteen kinds.
const QList<int> &menuOrder();
bool isMoney(int tag);
bool isCheckBox(int tag);
bool isRightAligned(int tag);
} // namespace TWInvoiceColumns

// One listed invoice with what its cells and its sort need, read once.
struct TWInvoiceRow {
    TWInvoicePtr invoice;
    TWProjectPtr project;
    TWClientPtr client;
    TWRepeatPtr repeat;
    qint64 tasks = 0;    // lines of tasks with their tax, project unit
    qint64 expenses = 0; // lines of expenses with their tax, project unit
    qint64 total = 0;    // what its transactions charge, project unit
    qint64 owe = 0;      // charges less payments, project unit
    float percentPaid = 0;
    bool overdue = false;
    // The store reading of the invoice's transactions the figures were made of (0: none
    // known) and the end of the day they were made on: while both hold, they stand.
    quint64 reading = 0;
    QDateTime dayEnd;
};
using TWInvoiceRowList = QList<TWInvoiceRow>;

// Reads the invoice's values from the business (its transactions and lines
// as last filled in on the invoice).
TWInvoiceRow twInvoiceRow(const TWInvoicePtr &invoice, TWBusiness &business);

// Three-way comparison of two rows by the column, in ascending sense: -1 when
// `a` comes first. Missing texts, clients and projects first; invoices
// without a due date after those with one; overdue invoices (latest due date
// first) before the others; invoices without a schedule before those with one.
int twCompareInvoiceRows(const TWInvoiceRow &a, const TWInvoiceRow &b, int tag);
// Stable sort by the column; descending swaps before and after, equal rows
// keep their order.
void twSortInvoiceRows(TWInvoiceRowList &rows, int tag, bool ascending);

// The text a cell shows (check boxes: none) and the tooltip of a money cell
// (the value in the home currency).
QString twInvoiceCellText(const TWInvoiceRow &row, int tag);
QString twInvoiceCellToolTip(const TWInvoiceRow &row, int tag, const TWBusiness *business);

// The row's text colour: overdue, owing, paid, otherwise the invoice colour;
// invalid where the preference stands for the control text colour.
QColor twInvoiceRowColour(const TWInvoiceRow &row, const TWPreferences &preferences);

// What the commands may do, from the list's state alone.
struct TWInvoiceListState {
    int mode = 0;                    // 0 projects, 1 one schedule's invoices
    int shownProjects = 0;           // the projects whose invoices are listed
    int concernedRows = 0;           // selected rows, or the context menu's
    int selectedRows = 0;            // selected rows
    bool paneEnabled = false;        // the payments pane takes transactions
    bool selectedOneProject = false; // every selected invoice is of the first's project
    bool showingSendInvoice = false;
};
bool twInvoiceListCan(TWQuery query, const TWInvoiceListState &state);
