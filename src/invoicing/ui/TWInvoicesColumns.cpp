#include "invoicing/ui/TWInvoicesColumns.h"

#include "foundation/TWDateAdditions.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "store/TWBusiness.h"
#include "store/TWDocumentReads.h"
#include "store/TWOwing.h"
#include "store/TWWorkTotals.h"

#include <algorithm>
#include <cmath>

namespace
{

const char *const kIdentifiers[TWInvoiceColumnCount] = {
    "date",   "client", "project",  "number", "name", "sent",        "paid",    "due",
    "repeat", "tasks",  "expenses", "total",  "owe",  "percentPaid", "overdue", "notes"};

template <typename T> int threeWay(const T &a, const T &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Text order with a missing (or empty) text first; two missing are equal.
int compareText(const QString &a, const QString &b)
{
    const bool aMissing = a.isEmpty();
    const bool bMissing = b.isEmpty();
    if (aMissing || bMissing)
        return aMissing == bMissing ? 0 : (aMissing ? -1 : 1);
    const int order = a.compare(b, Qt::CaseSensitive);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

// An invalid date first.
int compareDate(const QDateTime &a, const QDateTime &b)
{
    if (!a.isValid() || !b.isValid())
        return a.isValid() == b.isValid() ? 0 : (a.isValid() ? 1 : -1);
    return threeWay(a.toMSecsSinceEpoch(), b.toMSecsSinceEpoch());
}

// A fraction that is not a number counts as missing (first), so that the
// order stays a strict weak ordering whatever the store hands back.
int compareFraction(float a, float b)
{
    const bool aMissing = std::isnan(a);
    const bool bMissing = std::isnan(b);
    if (aMissing || bMissing)
        return aMissing == bMissing ? 0 : (aMissing ? -1 : 1);
    return threeWay(a, b);
}

QString money(qint64 value, const TWUnitPtr &unit)
{
    return TWFormatter::formatter().valueString(value, unit.get(), true, true, false, true, true);
}

} // namespace

int TWInvoiceColumns::columnTag(const QString &identifier)
{
    for (int tag = 0; tag < TWInvoiceColumnCount; ++tag)
        if (identifier == QLatin1String(kIdentifiers[tag]))
            return tag;
    return 0;
}

QString TWInvoiceColumns::columnIdentifier(int tag)
{
    if (tag < 0 || tag >= TWInvoiceColumnCount)
        return {};
    return QLatin1String(kIdentifiers[tag]);
}

const QList<int> &TWInvoiceColumns::menuOrder()
{
    static const QList<int> order = {
        TWInvoiceColumnClient,   TWInvoiceColumnDate,        TWInvoiceColumnDue,
        TWInvoiceColumnExpenses, TWInvoiceColumnName,        TWInvoiceColumnNotes,
        TWInvoiceColumnNumber,   TWInvoiceColumnOverdue,     TWInvoiceColumnOwe,
        TWInvoiceColumnPaid,     TWInvoiceColumnPercentPaid, TWInvoiceColumnProject,
        TWInvoiceColumnRepeat,   TWInvoiceColumnSent,        TWInvoiceColumnTasks,
        TWInvoiceColumnTotal};
    return order;
}

bool TWInvoiceColumns::isMoney(int tag)
{
    return tag >= TWInvoiceColumnTasks && tag <= TWInvoiceColumnOwe;
}

bool TWInvoiceColumns::isCheckBox(int tag)
{
    return tag == TWInvoiceColumnSent || tag == TWInvoiceColumnPaid;
}

bool TWInvoiceColumns::isRightAligned(int tag)
{
    return isMoney(tag) || tag == TWInvoiceColumnPercentPaid;
}

TWInvoiceRow twInvoiceRow(const TWInvoicePtr &invoice, TWBusiness &business)
{
    TWInvoiceRow row;
    row.invoice = invoice;
    if (!invoice)
        return row;
    row.project = business.projectWithIdentifier(invoice->projectIdentifier());
    row.client =
        row.project ? business.clientWithIdentifier(row.project->clientIdentifier()) : nullptr;
    row.repeat = invoice->repeatIdentifier() != 0
                     ? business.repeatWithIdentifier(invoice->repeatIdentifier())
                     : nullptr;
    // The payment totals are read once for the four values that come from them.
    const TWPaymentTotals totals = twPaymentTotals(*invoice, business);
    row.total = totals.charges;
    row.owe = totals.owe;
    row.percentPaid = totals.percentPaid;
    row.overdue = invoice->dueDate().isValid() && invoice->overdueWithOwe(totals.owe);
    row.tasks = twInvoiceTasksTotal(*invoice, business);
    row.expenses = twInvoiceExpensesTotal(*invoice, business);
    row.reading = TWDocumentReadScope::standingReading(business, invoice->readings());
    row.dayEnd = TWDateAdditions::endOfDay();
    return row;
}

int twCompareInvoiceRows(const TWInvoiceRow &a, const TWInvoiceRow &b, int tag)
{
    const TWInvoice *x = a.invoice.get();
    const TWInvoice *y = b.invoice.get();
    if (!x || !y)
        return x == y ? 0 : (x ? 1 : -1);
    switch (tag) {
    case TWInvoiceColumnDate:
        return compareDate(x->date(), y->date());
    case TWInvoiceColumnClient:
        return compareText(a.client ? a.client->name() : QString(),
                           b.client ? b.client->name() : QString());
    case TWInvoiceColumnProject:
        return compareText(a.project ? a.project->name() : QString(),
                           b.project ? b.project->name() : QString());
    case TWInvoiceColumnNumber:
        return compareText(x->number(), y->number());
    case TWInvoiceColumnName:
        return compareText(x->name(), y->name());
    case TWInvoiceColumnNotes:
        return compareText(x->notes(), y->notes());
    case TWInvoiceColumnSent:
        return threeWay(x->sent(), y->sent());
    case TWInvoiceColumnPaid:
        return threeWay(x->paid(), y->paid());
    case TWInvoiceColumnDue: {
        const bool xHas = x->dueDate().isValid();
        const bool yHas = y->dueDate().isValid();
        if (!xHas || !yHas)
            return xHas == yHas ? 0 : (xHas ? -1 : 1);
        return compareDate(x->dueDate(), y->dueDate());
    }
    case TWInvoiceColumnRepeat:
        if (!a.repeat || !b.repeat)
            return bool(a.repeat) == bool(b.repeat) ? 0 : (a.repeat ? 1 : -1);
        return a.repeat->compare(*b.repeat);
    case TWInvoiceColumnTasks:
        return threeWay(a.tasks, b.tasks);
    case TWInvoiceColumnExpenses:
        return threeWay(a.expenses, b.expenses);
    case TWInvoiceColumnTotal:
        return threeWay(a.total, b.total);
    case TWInvoiceColumnOwe:
        return threeWay(a.owe, b.owe);
    case TWInvoiceColumnPercentPaid:
        return compareFraction(a.percentPaid, b.percentPaid);
    case TWInvoiceColumnOverdue:
        if (!a.overdue || !b.overdue)
            return a.overdue == b.overdue ? 0 : (a.overdue ? -1 : 1);
        // The later due date is the less overdue: it comes first.
        return -compareDate(x->dueDate(), y->dueDate());
    default:
        return 0;
    }
}

void twSortInvoiceRows(TWInvoiceRowList &rows, int tag, bool ascending)
{
    std::stable_sort(rows.begin(), rows.end(),
                     [tag, ascending](const TWInvoiceRow &a, const TWInvoiceRow &b) {
                         const int order = twCompareInvoiceRows(a, b, tag);
                         return ascending ? order < 0 : order > 0;
                     });
}

QString twInvoiceCellText(const TWInvoiceRow &row, int tag)
{
    const TWInvoice *invoice = row.invoice.get();
    if (!invoice)
        return {};
    const TWFormatter &formatter = TWFormatter::formatter();
    const TWUnitPtr unit = row.project ? row.project->unit() : TWUnitPtr();
    switch (tag) {
    case TWInvoiceColumnDate:
        return formatter.shortDateString(invoice->date());
    case TWInvoiceColumnClient:
        return row.client ? row.client->name() : QString();
    case TWInvoiceColumnProject:
        return row.project ? row.project->name() : QString();
    case TWInvoiceColumnNumber:
        return invoice->number();
    case TWInvoiceColumnName:
        return invoice->name();
    case TWInvoiceColumnDue:
        return invoice->dueDate().isValid() ? formatter.shortDateString(invoice->dueDate())
                                            : QString();
    case TWInvoiceColumnRepeat:
        return row.repeat
                   ? formatter.repeatString(row.repeat->interval(), row.repeat->intervalUnit(),
                                            row.repeat->endDate())
                   : QString();
    case TWInvoiceColumnTasks:
        return money(row.tasks, unit);
    case TWInvoiceColumnExpenses:
        return money(row.expenses, unit);
    case TWInvoiceColumnTotal:
        return money(row.total, unit);
    case TWInvoiceColumnOwe:
        return money(row.owe, unit);
    case TWInvoiceColumnPercentPaid:
        return QStringLiteral("%1%").arg(formatter.percentValueString(row.percentPaid, 0));
    case TWInvoiceColumnOverdue:
        return row.overdue ? formatter.overdueDateString(invoice->dueDate()) : QString();
    case TWInvoiceColumnNotes:
        return invoice->notes();
    default:
        return {};
    }
}

QString twInvoiceCellToolTip(const TWInvoiceRow &row, int tag, const TWBusiness *business)
{
    if (!TWInvoiceColumns::isMoney(tag) || !business || !row.project)
        return {};
    qint64 value = 0;
    switch (tag) {
    case TWInvoiceColumnTasks:
        value = row.tasks;
        break;
    case TWInvoiceColumnExpenses:
        value = row.expenses;
        break;
    case TWInvoiceColumnTotal:
        value = row.total;
        break;
    default:
        value = row.owe;
        break;
    }
    return money(business->totalInHomeCurrency(value, row.project->unit()), business->homeUnit());
}

QColor twInvoiceRowColour(const TWInvoiceRow &row, const TWPreferences &preferences)
{
    if (row.overdue)
        return preferences.overdueColour();
    if (row.owe >= 1)
        return preferences.oweColour();
    if (row.invoice && row.invoice->paid())
        return preferences.paidColour();
    return preferences.invoiceColour();
}

bool twInvoiceListCan(TWQuery query, const TWInvoiceListState &state)
{
    switch (query) {
    case TWQuery::CanAddInvoice:
        return state.shownProjects == 1;
    case TWQuery::CanEditInvoice:
        return state.concernedRows == 1;
    case TWQuery::CanDuplicateInvoice:
    case TWQuery::CanSendInvoice:
    case TWQuery::CanDeleteInvoice:
    case TWQuery::CanMarkInvoice:
        return state.concernedRows >= 1;
    case TWQuery::CanAddTransaction:
        return state.paneEnabled && state.selectedRows >= 1 && state.selectedOneProject;
    case TWQuery::ShowingSendInvoice:
        return state.showingSendInvoice;
    default:
        return false;
    }
}
