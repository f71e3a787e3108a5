#include "InvariantChecks.h"

#include "TWStoreTestSupport.h"
#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWAccountingPeriod.h"
#include "model/TWBusinessInfo.h"
#include "model/TWRelationship.h"
#include "model/TWRepeat.h"
#include "store/TWOwing.h"
#include "store/TWPackageFiles.h"
#include "store/TWWorkTotals.h"

#include "invoicing/render/TWInvoiceOperation.h"
#include "model/TWFormatter.h"
#include "model/TWSendInvoiceData.h"
#include "store/TWSendInvoiceValues.h"

#include <QBuffer>
#include <QtPdf/QPdfDocument>

#include <QLocale>
#include <QVariant>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace
{

// ---- The suite's own reading of the tables ----

using SqlRow = QList<QVariant>;

QList<SqlRow> sqlQuery(TWBusiness &b, const char *sql)
{
    QList<SqlRow> rows;
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(b.database(), sql, -1, &statement, nullptr) != SQLITE_OK)
        return rows;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        SqlRow row;
        for (int c = 0; c < sqlite3_column_count(statement); ++c) {
            switch (sqlite3_column_type(statement, c)) {
            case SQLITE_INTEGER:
                row.append(QVariant::fromValue<qint64>(sqlite3_column_int64(statement, c)));
                break;
            case SQLITE_FLOAT:
                row.append(sqlite3_column_double(statement, c));
                break;
            case SQLITE_NULL:
                row.append(QVariant());
                break;
            default:
                row.append(QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(statement, c))));
            }
        }
        rows.append(row);
    }
    sqlite3_finalize(statement);
    return rows;
}

QString lineOf(sqlite3_stmt *statement)
{
    QStringList values;
    for (int c = 0; c < sqlite3_column_count(statement); ++c) {
        const int type = sqlite3_column_type(statement, c);
        if (type == SQLITE_NULL)
            values.append(QStringLiteral("NULL"));
        else if (type == SQLITE_BLOB)
            values.append(QStringLiteral("blob %1 bytes").arg(sqlite3_column_bytes(statement, c)));
        else
            values.append(QString::fromUtf8(
                reinterpret_cast<const char *>(sqlite3_column_text(statement, c))));
    }
    return values.join(u'|');
}

// A row of a transaction on one account, as stored: in the row's own unit
// and in the home unit, debit-positive.
struct OwnRow {
    qint32 account;
    qint32 split;
    qint64 amount;
    QString unit;
    qint64 home;
};

struct OwnBooks {
    QHash<qint32, qint64> accountTypes;
    QHash<qint32, QList<OwnRow>> rows; // by transaction
    QHash<qint32, qint32> states;
    QString home;
    // Each unit's rate against the dollar and its places.
    QHash<QString, std::pair<double, int>> units;

    explicit OwnBooks(TWBusiness &b)
    {
        home = b.homeUnit() ? b.homeUnit()->code() : QString();
        for (const SqlRow &r : sqlQuery(b, "SELECT code, rate, decimalPlaces FROM units"))
            units.insert(r[0].toString(), {r[1].toDouble(), r[2].toInt()});
        for (const SqlRow &r : sqlQuery(b, "SELECT identifier, type FROM accounts"))
            accountTypes.insert(r[0].toInt(), r[1].toLongLong());
        for (const SqlRow &r :
             sqlQuery(b, "SELECT identifier, account1Identifier, account2Identifier, "
                         "total, totalBusiness, unit, split, state FROM transactions")) {
            const qint32 id = r[0].toInt();
            states.insert(id, r[7].toInt());
            if (r[6].toLongLong() != 0) {
                rows[id]; // its splits follow
                continue;
            }
            rows[id].append(
                {r[1].toInt(), 0, r[3].toLongLong(), r[5].toString(), r[4].toLongLong()});
            rows[id].append(
                {r[2].toInt(), 0, -r[3].toLongLong(), r[5].toString(), -r[4].toLongLong()});
        }
        for (const SqlRow &r :
             sqlQuery(b, "SELECT identifier, transactionIdentifier, accountIdentifier, "
                         "total, totalBusiness, unit FROM splits"))
            rows[r[1].toInt()].append({r[2].toInt(), r[0].toInt(), r[3].toLongLong(),
                                       r[5].toString(), r[4].toLongLong()});
    }
    // An amount in one unit in another, at the units' rates, rounded half
    // away from zero.
    qint64 converted(qint64 amount, const QString &from, const QString &to) const
    {
        if (from == to)
            return amount;
        const auto [fromRate, fromPlaces] = units.value(from, {0.0, 2});
        const auto [toRate, toPlaces] = units.value(to, {0.0, 2});
        if (fromRate == 0.0)
            return 0;
        return qint64(
            std::round(toRate * double(amount) / fromRate * std::pow(10.0, toPlaces - fromPlaces)));
    }
    bool isMoneyAccount(qint32 account) const
    {
        const qint64 type = accountTypes.value(account, -1);
        return type == TWAccountTypeBank || type == TWAccountTypeCash ||
               type == TWAccountTypeCreditCard;
    }
};

qint64 truncated(double value)
{
    return qint64(std::trunc(value));
}

// What each invoice's lines bill, with the suite's own arithmetic; and each
// line's subtotal and tax, in the order the lines were linked.
QHash<qint32, qint64> ownBilled(TWBusiness &b,
                                QHash<qint32, QList<std::pair<qint64, qint64>>> &lines)
{
    struct Task {
        qint64 type;
        double quantity;
        qint64 rate;
        double tax;
    };
    QHash<qint32, Task> tasks;
    for (const SqlRow &r :
         sqlQuery(b, "SELECT identifier, type, quantity, rate, taxRate FROM tasks"))
        tasks.insert(r[0].toInt(),
                     {r[1].toLongLong(), r[2].toDouble(), r[3].toLongLong(), r[4].toDouble()});
    QHash<qint32, std::pair<qint64, double>> expenses;
    for (const SqlRow &r : sqlQuery(b, "SELECT identifier, cost, taxRate FROM expenses"))
        expenses.insert(r[0].toInt(), {r[1].toLongLong(), r[2].toDouble()});
    QHash<qint32, qint64> billed;
    for (const SqlRow &r :
         sqlQuery(b, "SELECT type, parentIdentifier, childIdentifier, value FROM relationships "
                     "WHERE type IN (1, 2) ORDER BY identifier")) {
        const double quantity = r[3].toDouble();
        qint64 subtotal = 0;
        double tax = 0;
        if (r[0].toInt() == TWRelationshipTypeInvoiceTask) {
            const auto task = tasks.find(r[2].toInt());
            if (task == tasks.end())
                continue;
            if (task->type == TWTaskTypeFlat)
                subtotal = quantity == task->quantity ? task->rate : 0;
            else if (task->type == TWTaskTypeTimed)
                subtotal = truncated(double(task->rate) * quantity / 3600.0);
            else
                subtotal = truncated(double(task->rate) * quantity);
            tax = task->tax;
        } else {
            const auto expense = expenses.find(r[2].toInt());
            if (expense == expenses.end())
                continue;
            subtotal = truncated(double(expense->first) * quantity);
            tax = expense->second;
        }
        const qint64 taxed = tax != 0 ? qint64(std::llround(subtotal * tax / 100.0)) : 0;
        billed[r[1].toInt()] += subtotal + taxed;
        lines[r[1].toInt()].append({subtotal, taxed});
    }
    return billed;
}

QString documentName(const TWOwnDocument &d)
{
    return QStringLiteral("%1 %2 \"%3\"")
        .arg(d.link == TWRelationshipTypeBillPayment ? QStringLiteral("bill")
                                                     : QStringLiteral("invoice"))
        .arg(d.identifier)
        .arg(d.name);
}

bool isMoney(const TWAccountPtr &account)
{
    return account && (account->accountType() == TWAccountTypeBank ||
                       account->accountType() == TWAccountTypeCash ||
                       account->accountType() == TWAccountTypeCreditCard);
}

// Each row of the transaction: its account, the amount in the account's unit
// and in the home unit.
struct Row {
    qint32 account;
    qint64 amount;
    qint64 home;
};

QList<Row> rows(const TWTransaction &t)
{
    QList<Row> list;
    if (t.hasSplit()) {
        for (const TWSplitPtr &split : t.splits())
            list.append(
                {split->accountIdentifier(), split->totalAccount(), split->totalBusiness()});
    } else {
        list.append({t.account1Identifier(), t.totalAccount1(), t.totalBusiness()});
        list.append({t.account2Identifier(), -t.totalAccount2(), -t.totalBusiness()});
    }
    return list;
}

QString rowsText(const QList<Row> &list)
{
    QStringList parts;
    for (const Row &row : list)
        parts.append(QStringLiteral("%1:%2").arg(row.account).arg(row.amount));
    parts.sort();
    return parts.join(u' ');
}

QString describe(const TWTransaction &t)
{
    return QStringLiteral("%1 %2 %3 %4 \"%5\"")
        .arg(t.date().date().toString(Qt::ISODate), t.unit() ? t.unit()->code() : QString())
        .arg(t.total())
        .arg(rowsText(rows(t)), t.payee());
}

QString closedRows(const TWInvariantSnapshot &snapshot, const TWInvariantSnapshot &other,
                   bool withNominal)
{
    QStringList found;
    for (auto it = snapshot.transactions.cbegin(); it != snapshot.transactions.cend(); ++it) {
        const QDate day = snapshot.days.value(it.key());
        if (!snapshot.isClosed(day) || !other.isClosed(day))
            continue;
        if (!withNominal && snapshot.nominal.value(it.key()))
            continue;
        found.append(
            QStringLiteral("%1 state %2").arg(it.value()).arg(snapshot.states.value(it.key())));
    }
    found.sort();
    return found.join(u'\n');
}

// A refusal names the closed period the operation works in: its name or one
// of its days as the locale writes them. The periods holding a day of what
// it touched or targets; any closed period when it names no day.
bool namesPeriod(const TWError &error, const TWInvariantSnapshot &snapshot,
                 const TWOperationOutcome &outcome, QStringList *touched)
{
    QList<QDate> days = outcome.targetDays;
    for (const qint32 id : outcome.touched)
        if (snapshot.days.contains(id))
            days.append(snapshot.days.value(id));
    QList<const TWInvariantSnapshot::Period *> periods;
    for (const TWInvariantSnapshot::Period &period : snapshot.periods)
        if (std::any_of(days.cbegin(), days.cend(), [&period](const QDate &day) {
                return day >= period.start && day <= period.end;
            }))
            periods.append(&period);
    if (periods.isEmpty())
        for (const TWInvariantSnapshot::Period &period : snapshot.periods)
            periods.append(&period);
    const QString text = error.localizedDescription();
    for (const TWInvariantSnapshot::Period *period : std::as_const(periods)) {
        touched->append(period->names.value(0));
        for (const QString &name : period->names)
            if (!name.isEmpty() && text.contains(name))
                return true;
    }
    return false;
}

// a. Every transaction balances in the home unit; each account's balance is
// the sum of its stored rows.
QStringList balances(TWBusiness &b, const TWInvariantSnapshot &, const TWInvariantSnapshot &,
                     const TWOperationOutcome &)
{
    QStringList found;
    for (const TWTransactionPtr &t : b.transactions()) {
        qint64 sum = 0;
        for (const Row &row : rows(*t))
            sum += row.home;
        if (sum != 0)
            found.append(QStringLiteral("transaction %1 (%2) is off by %3 in the home unit")
                             .arg(t->identifier())
                             .arg(describe(*t))
                             .arg(sum));
    }
    const QHash<qint32, qint64> sums = twAccountSumsFromRows(b);
    for (const TWAccountPtr &account : b.accounts()) {
        const qint64 sign = TWBusiness::isAccountDebitPositive(*account) ? 1 : -1;
        const qint64 stored = b.transactionTotalWithAccount(*account) * sign;
        if (stored != sums.value(account->identifier()))
            found.append(QStringLiteral("account %1 \"%2\" has a balance of %3, its rows sum to %4")
                             .arg(account->identifier())
                             .arg(account->name())
                             .arg(stored)
                             .arg(sums.value(account->identifier())));
    }
    return found;
}

// b. A payment keeps its day, accounts and amount unless the operation
// itself edited or deleted it. A document's entry is the one known (made
// first, or as the generator tells of a business an earlier build left);
// every other transaction linked to it is a payment.
QStringList payments(TWBusiness &, const TWInvariantSnapshot &before,
                     const TWInvariantSnapshot &now, const TWOperationOutcome &outcome)
{
    QSet<qint32> paid = before.payments;
    for (const TWOwnDocument &d : before.documents)
        for (const TWOwnDocument::Linked &row : d.linked)
            paid.insert(row.transaction);
    for (const qint32 entry : before.entries)
        paid.remove(entry);
    QList<qint32> changed;
    for (const qint32 identifier : std::as_const(paid))
        if (!outcome.touched.contains(identifier) &&
            now.transactions.value(identifier) != before.transactions.value(identifier))
            changed.append(identifier);
    std::sort(changed.begin(), changed.end());
    QStringList found;
    for (const qint32 identifier : std::as_const(changed)) {
        const QString after = now.transactions.value(identifier);
        found.append(QStringLiteral("payment %1 was %2, is %3")
                         .arg(identifier)
                         .arg(before.transactions.value(identifier),
                              after.isEmpty() ? QStringLiteral("gone") : after));
    }
    return found;
}

// c. No row of a closed period changes; a refusal for a closed period says so
// and changes nothing; what changes no closed row is never refused.
QStringList closedPeriods(TWBusiness &, const TWInvariantSnapshot &before,
                          const TWInvariantSnapshot &now, const TWOperationOutcome &outcome)
{
    QStringList found;
    if (outcome.result) {
        QStringList touched;
        if (!outcome.targetsClosed)
            found.append(QStringLiteral("refused: %1").arg(outcome.result->localizedDescription()));
        else if (!namesPeriod(*outcome.result, before, outcome, &touched))
            found.append(QStringLiteral("refused without naming the closed period it works in "
                                        "(%1): %2")
                             .arg(touched.join(QStringLiteral(", ")),
                                  outcome.result->localizedDescription()));
        if (before.tables != now.tables)
            found.append(QStringLiteral("refused, but changed %1")
                             .arg(twDumpDifference(before.tables, now.tables)));
        return found;
    }
    const QString was = closedRows(before, now, !outcome.periods);
    const QString is = closedRows(now, before, !outcome.periods);
    if (was != is)
        found.append(
            QStringLiteral("rows of a closed period changed: %1").arg(twDumpDifference(was, is)));
    return found;
}

// A transaction's description without its day: what each occurrence of a
// schedule repeats.
QString withoutDay(const QString &description)
{
    return description.section(u' ', 1);
}

// The occurrences of schedules of transactions new since `before`: each falls
// on a day its schedule is due (its first occurrence's day stepped by whole
// intervals, a month's last day where the month is short), no later than
// today, alone on that day, and books what the occurrence before it booked.
// Those that do are in `due`; every other is answered.
QStringList newRepeatItems(const TWInvariantSnapshot &before, const TWInvariantSnapshot &now,
                           QSet<qint32> *due)
{
    QHash<qint32, QList<qint32>> bySchedule;
    for (const qint32 id : now.transactionRepeatItems)
        bySchedule[now.columns.value(id).value(QStringLiteral("repeatIdentifier")).toInt()].append(
            id);
    QStringList found;
    const QDate today = TWClock::today();
    for (auto it = bySchedule.begin(); it != bySchedule.end(); ++it) {
        QList<qint32> &items = it.value();
        std::sort(items.begin(), items.end(), [&now](qint32 a, qint32 c) {
            return std::pair(now.days.value(a), a) < std::pair(now.days.value(c), c);
        });
        const auto [interval, unit] = now.repeats.value(it.key(), {0, 0});
        const QDate first = now.days.value(items.first());
        for (qsizetype i = 1; i < items.size(); ++i) {
            const qint32 id = items[i];
            if (before.book.contains(id))
                continue;
            const QDate day = now.days.value(id);
            QDate step = first;
            for (int k = 1; step.isValid() && step < day && interval > 0 && k < 100000; ++k) {
                switch (unit) {
                case TWRepeatIntervalUnitDay:
                    step = first.addDays(qint64(k) * interval);
                    break;
                case TWRepeatIntervalUnitWeek:
                    step = first.addDays(qint64(k) * interval * 7);
                    break;
                case TWRepeatIntervalUnitMonth:
                    step = first.addMonths(k * interval);
                    break;
                default:
                    step = first.addYears(k * interval);
                }
            }
            const qint32 previous = items[i - 1];
            QString fault;
            if (step != day || day > today)
                fault = QStringLiteral("is not due on %1 (its schedule %2 began %3)")
                            .arg(day.toString(Qt::ISODate))
                            .arg(it.key())
                            .arg(first.toString(Qt::ISODate));
            else if (now.days.value(previous) == day)
                fault = QStringLiteral("falls on the day of occurrence %1").arg(previous);
            else if (withoutDay(now.transactions.value(id)) !=
                     withoutDay(now.transactions.value(previous)))
                fault = QStringLiteral("books otherwise than occurrence %1 before it (%2)")
                            .arg(previous)
                            .arg(now.transactions.value(previous));
            if (fault.isEmpty())
                due->insert(id);
            else
                found.append(QStringLiteral("new occurrence %1 (%2) %3")
                                 .arg(id)
                                 .arg(now.transactions.value(id), fault));
        }
        // A schedule's first occurrence made now stands on its own day.
        if (!before.book.contains(items.first()) && now.days.value(items.first()) <= today)
            due->insert(items.first());
    }
    return found;
}

// d. Money in bank, cash and card accounts moves only through transactions the
// operation entered, edited, imported or deleted, or occurrences of schedules
// of transactions due on their day and booking what the one before booked.
QStringList money(TWBusiness &, const TWInvariantSnapshot &before, const TWInvariantSnapshot &now,
                  const TWOperationOutcome &outcome)
{
    QStringList found;
    QList<qint32> moved;
    for (auto it = before.money.cbegin(); it != before.money.cend(); ++it)
        if (!outcome.touched.contains(it.key()) && now.money.value(it.key()) != it.value())
            moved.append(it.key());
    std::sort(moved.begin(), moved.end());
    for (const qint32 id : std::as_const(moved))
        found.append(
            QStringLiteral("transaction %1 moved %2, now %3")
                .arg(id)
                .arg(before.money.value(id), now.money.value(id, QStringLiteral("nothing"))));
    QSet<qint32> due;
    const QStringList repeated = newRepeatItems(before, now, &due);
    QList<qint32> made;
    for (auto it = now.money.cbegin(); it != now.money.cend(); ++it)
        if (!before.money.contains(it.key()) && !outcome.touched.contains(it.key()) &&
            !now.transactionRepeatItems.contains(it.key()))
            made.append(it.key());
    std::sort(made.begin(), made.end());
    for (const qint32 id : std::as_const(made))
        found.append(QStringLiteral("new transaction %1 moves money nobody entered: %2")
                         .arg(id)
                         .arg(now.transactions.value(id)));
    for (const QString &line : repeated)
        found.append(line);
    return found;
}

// The printed invoice's text, page after page, rendered as the send sheet
// renders it. A page already rendered from the same figures is read again.
QString printedText(const TWOwnDocument &d, const TWSendInvoiceData &data)
{
    QStringList key = {QString::number(d.identifier),
                       d.name,
                       QLocale().name(),
                       data.unit() ? data.unit()->code() : QString(),
                       QString::number(data.payments()),
                       QString::number(data.balance()),
                       QString::number(data.displayBits()),
                       data.totalDueLabel(),
                       data.layout() ? data.layout()->name() : QString()};
    for (const TWInvoiceItemPtr &item : data.items()) {
        qint64 subtotal = 0, tax = 0;
        if (item->type() == TWInvoiceItemTypeTask) {
            const auto task = std::static_pointer_cast<TWTask>(item);
            subtotal = task->invoiceSubtotal();
            tax = task->invoiceTax();
        } else if (item->type() == TWInvoiceItemTypeExpense) {
            const auto expense = std::static_pointer_cast<TWExpense>(item);
            subtotal = expense->invoiceSubtotal();
            tax = expense->invoiceTax();
        }
        key.append(QStringLiteral("%1/%2/%3/%4/%5")
                       .arg(item->type())
                       .arg(item->identifier())
                       .arg(subtotal)
                       .arg(tax)
                       .arg(item->name()));
    }
    static QHash<QString, QString> pages;
    const QString joined = key.join(u'\n');
    if (const auto found = pages.constFind(joined); found != pages.constEnd())
        return *found;
    TWInvoiceOperation operation(data.copy());
    operation.main();
    QByteArray pdf = operation.pdfData();
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument document;
    document.load(&buffer);
    QStringList text;
    for (int page = 0; page < document.pageCount(); ++page)
        text.append(document.getAllText(page).text());
    return pages[joined] = text.join(u'\n');
}

// What the printed invoice says against the suite's own sums: each line's
// amount, the subtotal, the tax, the payments and the total due, each read
// from the page as the page writes amounts. Empty when it says them all.
QString printedFault(const TWOwnDocument &d, const QList<qint64> &extra, qint64 payments,
                     const TWSendInvoiceData &data)
{
    if (!data.unit())
        return {};
    const QString text = printedText(d, data);
    const TWFormatter formatter;
    const auto shows = [&](qint64 amount) {
        for (const bool unit : {true, false})
            if (text.contains(
                    formatter.valueString(amount, data.unit().get(), unit, true, true, true, true)))
                return true;
        return false;
    };
    QStringList missing;
    qint64 subtotal = 0, tax = 0;
    for (const auto &[line, lineTax] : d.lines) {
        subtotal += line;
        tax += lineTax;
        if (!shows(line))
            missing.append(QStringLiteral("a line of %1").arg(line));
    }
    // Charges linked besides the entry (a late fee) print as lines of their own.
    for (const qint64 line : extra) {
        subtotal += line;
        if (!shows(line))
            missing.append(QStringLiteral("a charge of %1").arg(line));
    }
    if (subtotal != 0 && !shows(subtotal))
        missing.append(QStringLiteral("the subtotal %1").arg(subtotal));
    if (tax != 0 && !shows(tax))
        missing.append(QStringLiteral("the tax %1").arg(tax));
    const bool showsPayments =
        data.displayTagValue(TWDisplayTotalPayments) && data.displayTagValue(TWDisplayTotalDue);
    if (showsPayments && payments != 0 && !shows(payments))
        missing.append(QStringLiteral("the payments %1").arg(payments));
    qint64 due = subtotal + tax - (showsPayments ? payments : 0);
    if (data.displayTagValue(TWDisplayTotalBalance))
        due += data.balance();
    if (data.displayTagValue(TWDisplayTotalDue) && !shows(due))
        missing.append(QStringLiteral("the total due %1").arg(due));
    if (missing.isEmpty())
        return {};
    QString page = text.simplified();
    if (page.size() > 600)
        page = page.left(600) + QStringLiteral("...");
    return QStringLiteral("the printed page lacks %1: [%2]")
        .arg(missing.join(QStringLiteral(", ")), page);
}

// b. What each invoice and bill owes, by the suite's own sums of its linked
// rows told charge from payment by what they do to what is owed, is what
// receivable and payable hold, what the store says it owes (in the document's
// unit and in the home unit), charges and was paid, and what the printed
// invoice says of its lines, payments and total due.
QStringList ownSums(TWBusiness &b, const TWInvariantSnapshot &, const TWInvariantSnapshot &now,
                    const TWOperationOutcome &)
{
    qint64 invoicesOwe = 0;
    qint64 billsOwe = 0;
    QStringList found;
    for (const TWOwnDocument &d : now.documents) {
        const bool bill = d.link == TWRelationshipTypeBillPayment;
        // Debit-positive for invoices, credit-positive for bills: what is owed.
        const qint64 sign = bill ? -1 : 1;
        const qint32 entry = now.entries.value(twDocumentKey(d.link, d.identifier));
        qint64 owe = 0, home = 0, charges = 0, payments = 0;
        QList<qint64> extra;
        for (const TWOwnDocument::Linked &row : d.linked) {
            const qint64 owed = sign * row.amount;
            owe += owed;
            home += sign * row.home;
            // The document's own entry charges whatever its sign (a credit
            // note charges less than nothing).
            if (row.charge || row.transaction == entry)
                charges += owed;
            else
                payments -= owed;
            if (row.charge && row.transaction != entry)
                extra.append(owed);
        }
        (bill ? billsOwe : invoicesOwe) += home;
        if (!d.charged)
            continue;
        qint64 storeOwe = 0, storeTotal = 0, storePayments = 0, storeHome = 0;
        float storePaid = 0;
        QString printed;
        if (bill) {
            const TWBillPtr record = b.billWithIdentifier(d.identifier);
            if (!record) {
                found.append(
                    QStringLiteral("%1 is in the table, not in the store").arg(documentName(d)));
                continue;
            }
            twUpdateTransactions(*record, b);
            storeOwe = twOwe(*record, b);
            storeTotal = twTotal(*record, b);
            storePayments = storeTotal - storeOwe;
            storePaid = twPercentPaid(*record, b);
            storeHome = storeOwe;
        } else {
            const TWInvoicePtr record = b.invoiceWithIdentifier(d.identifier);
            if (!record) {
                found.append(
                    QStringLiteral("%1 is in the table, not in the store").arg(documentName(d)));
                continue;
            }
            twUpdateTransactions(*record, b);
            const TWPaymentTotals totals = twPaymentTotals(*record, b);
            storeOwe = totals.owe;
            storeTotal = totals.charges;
            storePayments = totals.payments;
            storePaid = totals.percentPaid;
            storeHome = twHomeOwe(*record, b);
            twUpdateTasksExpenses(*record, b);
            const TWSendInvoiceDataPtr data = twDefaultSendInvoiceData(b);
            twUpdateSendInvoiceData(*data, *record, b);
            if (data->payments() != payments)
                printed = QStringLiteral("printed Payments %1").arg(data->payments());
            else
                printed = printedFault(d, extra, payments, *data);
        }
        // The share paid: what was paid of what it charges, early payments included.
        if (printed.isEmpty() && charges > 0 && payments >= 0 && payments <= charges &&
            std::abs(storePaid - float(double(payments) / double(charges))) > 0.005f)
            printed = QStringLiteral("%1 paid").arg(double(storePaid));
        if (storeOwe != owe || storeTotal != charges || storePayments != payments ||
            storeHome != home || !printed.isEmpty())
            found.append(
                QStringLiteral("%1 of %2 owes %3 (%4 in the home unit) by its rows (charges %5, "
                               "payments %6); the store says owe %7 (%8), total %9, payments "
                               "%10%11")
                    .arg(documentName(d), d.unit)
                    .arg(owe)
                    .arg(home)
                    .arg(charges)
                    .arg(payments)
                    .arg(storeOwe)
                    .arg(storeHome)
                    .arg(storeTotal)
                    .arg(storePayments)
                    .arg(printed.isEmpty() ? QString() : QStringLiteral(", ") + printed));
    }
    if (now.receivable != invoicesOwe)
        found.prepend(QStringLiteral("receivable is %1, the invoices' linked rows owe %2")
                          .arg(now.receivable)
                          .arg(invoicesOwe));
    if (-now.payable != billsOwe)
        found.prepend(QStringLiteral("payable is %1, the bills' linked rows owe %2")
                          .arg(-now.payable)
                          .arg(billsOwe));
    return found;
}

// An invoice's entry books receivable against what it bills, never against a
// bank, cash or card account (money received or given back is no charge of an
// invoice); a bill's charge may book against any account, a bank among them.
// An invoice's entry the operation wrote, or of an invoice whose lines it
// changed, charges what the lines bill; a bill's charge written again by an
// operation that did not edit it charges what it charged before.
QStringList charges(TWBusiness &, const TWInvariantSnapshot &before, const TWInvariantSnapshot &now,
                    const TWOperationOutcome &outcome)
{
    QStringList found;
    for (const TWOwnDocument &d : now.documents) {
        const qint64 key = twDocumentKey(d.link, d.identifier);
        const qint32 entry = now.entries.value(key);
        if (!entry || !d.charged)
            continue;
        qint64 charged = 0;
        bool sameUnit = false;
        bool money = false;
        for (const TWOwnDocument::Linked &row : d.linked)
            if (row.transaction == entry) {
                money = money || row.moneyRow;
                charged += row.amount;
                sameUnit = sameUnit || row.sameUnit;
            }
        if (money && d.link == TWRelationshipTypeInvoicePayment) {
            found.append(
                QStringLiteral("the entry of %1 books against a bank, cash or card account: %2")
                    .arg(documentName(d), now.transactions.value(entry)));
            continue;
        }
        if (!sameUnit || now.states.value(entry) != TWTransactionStateNormal)
            continue;
        const TWOwnDocument was = before.documents.value(key);
        const bool written = before.book.value(entry) != now.book.value(entry);
        if (d.link == TWRelationshipTypeBillPayment) {
            const qint32 wasEntry = before.entries.value(key);
            if (!written || wasEntry != entry || outcome.touched.contains(entry))
                continue;
            qint64 wasCharged = 0;
            for (const TWOwnDocument::Linked &row : was.linked)
                if (row.transaction == entry)
                    wasCharged += row.amount;
            if (charged != wasCharged)
                found.append(QStringLiteral("the charge of %1 charges %2, it charged %3: %4")
                                 .arg(documentName(d))
                                 .arg(-charged)
                                 .arg(-wasCharged)
                                 .arg(now.transactions.value(entry)));
            continue;
        }
        // A copy made without lines carries its source's entry as it stands.
        if (!before.documents.contains(key) && d.billed == 0)
            continue;
        const bool rebilled = !before.documents.contains(key) || was.billed != d.billed;
        if ((written || rebilled) && charged != d.billed)
            found.append(QStringLiteral("the entry of %1 charges %2, its lines bill %3: %4")
                             .arg(documentName(d))
                             .arg(charged)
                             .arg(d.billed)
                             .arg(now.transactions.value(entry)));
    }
    return found;
}

// The tables as a user sees them: a document's lines relinked under new
// identifiers, and no text written as empty text, are the same.
QString seen(const QString &tables)
{
    QStringList lines = tables.split(u'\n');
    for (QString &line : lines) {
        if (line.startsWith(QStringLiteral("relationships|"))) {
            QStringList parts = line.split(u'|');
            if (parts.size() > 2 &&
                (parts[2] == QStringLiteral("1") || parts[2] == QStringLiteral("2")))
                parts[1] = QStringLiteral("*");
            line = parts.join(u'|');
        }
        line.replace(QStringLiteral("|NULL"), QStringLiteral("|"));
    }
    lines.sort();
    return lines.join(u'\n');
}

// Every row of the books the operation does not name is as it was; an
// operation that changes nothing a user can see changes no row at all. An
// operation names what it edited or deleted itself, and of what it made only
// what its contract makes: one entry for each new document or document billed
// anew, and the occurrences of schedules due on their day. A year's closing,
// shortening or reopening may change the year-end transfers and the
// transactions' states, the periods and the business's own row, nothing else.
QStringList frame(TWBusiness &, const TWInvariantSnapshot &before, const TWInvariantSnapshot &now,
                  const TWOperationOutcome &outcome)
{
    QStringList found;
    if (outcome.unchanged && seen(before.tables) != seen(now.tables))
        found.append(QStringLiteral("it changes nothing a user sees, yet the tables changed: %1")
                         .arg(twDumpDifference(seen(before.tables), seen(now.tables))));
    if (outcome.result)
        return found;
    if (outcome.periods) {
        QList<qint32> changed;
        for (auto it = before.stateless.cbegin(); it != before.stateless.cend(); ++it)
            if (!before.nominal.value(it.key()) && now.stateless.value(it.key()) != it.value())
                changed.append(it.key());
        for (auto it = now.stateless.cbegin(); it != now.stateless.cend(); ++it)
            if (!before.stateless.contains(it.key()) && !now.nominal.value(it.key()))
                changed.append(it.key());
        std::sort(changed.begin(), changed.end());
        for (const qint32 id : std::as_const(changed))
            found.append(QStringLiteral("transaction %1, not a year-end transfer, changed beyond "
                                        "its state: was [%2] is [%3]")
                             .arg(id)
                             .arg(before.stateless.value(id, QStringLiteral("none"))
                                      .replace(u'\n', QStringLiteral("; ")),
                                  now.stateless.value(id, QStringLiteral("none"))
                                      .replace(u'\n', QStringLiteral("; "))));
        // A state follows the periods: closed in a closed one, normal in an
        // open one; any other state (a locked row) stays as it was.
        for (auto it = now.states.cbegin(); it != now.states.cend(); ++it) {
            if (now.nominal.value(it.key()) || !before.states.contains(it.key()))
                continue;
            const std::uint32_t was = before.states.value(it.key());
            const bool follows = was == TWTransactionStateNormal || was == TWTransactionStateClosed;
            const std::uint32_t wanted = !follows ? was
                                         : now.isClosed(now.days.value(it.key()))
                                             ? std::uint32_t(TWTransactionStateClosed)
                                             : std::uint32_t(TWTransactionStateNormal);
            if (it.value() != wanted)
                found.append(QStringLiteral("transaction %1 (%2) is in state %3, was %4, its "
                                            "period wants %5")
                                 .arg(it.key())
                                 .arg(now.transactions.value(it.key()))
                                 .arg(it.value())
                                 .arg(was)
                                 .arg(wanted));
        }
        // Beside the transactions and their splits: the periods, the
        // business's row and the year-end transfers' links alone. Custom
        // field values, billed work and payment links stay as they were.
        const auto others = [](const QString &tables) {
            QStringList kept;
            for (const QString &line : tables.split(u'\n'))
                if (!line.startsWith(QStringLiteral("transactions|")) &&
                    !line.startsWith(QStringLiteral("splits|")) &&
                    !(line.startsWith(QStringLiteral("relationships|")) &&
                      line.section(u'|', 2, 2).toInt() == TWRelationshipTypeNominalTransfer) &&
                    !line.startsWith(QStringLiteral("accountingPeriods|")) &&
                    !line.startsWith(QStringLiteral("businesses|")))
                    kept.append(line);
            return kept.join(u'\n');
        };
        const QString was = others(before.tables);
        const QString is = others(now.tables);
        if (was != is)
            found.append(
                QStringLiteral("rows it does not name changed: %1").arg(twDumpDifference(was, is)));
        return found;
    }
    QSet<qint32> named = outcome.touched;
    bool earlier = false;
    const auto nameEntries = [&](qint64 key) {
        named.insert(before.entries.value(key));
        named.insert(now.entries.value(key));
    };
    for (auto it = now.documents.cbegin(); it != now.documents.cend(); ++it)
        if (!before.documents.contains(it.key()) ||
            before.documents.value(it.key()).billed != it->billed ||
            before.entries.value(it.key()) != now.entries.value(it.key()))
            nameEntries(it.key());
    for (auto it = before.documents.cbegin(); it != before.documents.cend(); ++it)
        if (!now.documents.contains(it.key())) {
            nameEntries(it.key());
            for (const TWOwnDocument::Linked &row : it->linked)
                named.insert(row.transaction);
        }
    // A change before the year under way moves the year-end transfers.
    for (const qint32 id : std::as_const(named))
        earlier =
            earlier || (before.days.contains(id) && before.days.value(id) < before.activeStart);
    QSet<qint32> due;
    newRepeatItems(before, now, &due);
    named.unite(due);
    QList<qint32> changed;
    for (auto it = before.book.cbegin(); it != before.book.cend(); ++it) {
        if (named.contains(it.key()) || (earlier && before.nominal.value(it.key())))
            continue;
        if (now.book.value(it.key()) != it.value())
            changed.append(it.key());
    }
    for (auto it = now.book.cbegin(); it != now.book.cend(); ++it)
        if (!before.book.contains(it.key()) && !named.contains(it.key()) &&
            !(earlier && now.nominal.value(it.key())))
            changed.append(it.key());
    std::sort(changed.begin(), changed.end());
    for (const qint32 id : std::as_const(changed))
        found.append(QStringLiteral("transaction %1, which it does not name, changed: was [%2] "
                                    "is [%3]")
                         .arg(id)
                         .arg(before.book.value(id, QStringLiteral("none"))
                                  .replace(u'\n', QStringLiteral("; ")),
                              now.book.value(id, QStringLiteral("none"))
                                  .replace(u'\n', QStringLiteral("; "))));
    return found;
}

// A schedule makes one occurrence per due day, and each occurrence charges
// what its first did.
QStringList occurrences(TWBusiness &, const TWInvariantSnapshot &, const TWInvariantSnapshot &now,
                        const TWOperationOutcome &)
{
    QHash<QString, QString> seen;
    QStringList found;
    std::map<std::pair<std::uint32_t, qint32>, QList<const TWOwnDocument *>> bySchedule;
    for (const TWOwnDocument &d : now.documents) {
        if (!d.repeat)
            continue;
        const QString key = QStringLiteral("%1/%2/%3").arg(d.link).arg(d.repeat).arg(d.day);
        if (seen.contains(key))
            found.append(QStringLiteral("%1 and %2 are occurrences of one schedule on one day")
                             .arg(seen.value(key), documentName(d)));
        seen.insert(key, documentName(d));
        bySchedule[{d.link, d.repeat}].append(&d);
    }
    QHash<QString, qint32> transactionDays;
    for (auto it = now.transactionRepeatItems.cbegin(); it != now.transactionRepeatItems.cend();
         ++it) {
        const QString key = QStringLiteral("%1/%2").arg(
            now.columns.value(*it).value(QStringLiteral("repeatIdentifier")),
            now.days.value(*it).toString(Qt::ISODate));
        if (transactionDays.contains(key))
            found.append(
                QStringLiteral("transactions %1 and %2 are occurrences of one schedule on %3")
                    .arg(transactionDays.value(key))
                    .arg(*it)
                    .arg(now.days.value(*it).toString(Qt::ISODate)));
        transactionDays.insert(key, *it);
    }
    for (auto &[schedule, documents] : bySchedule) {
        std::sort(documents.begin(), documents.end(),
                  [](const TWOwnDocument *a, const TWOwnDocument *c) { return a->day < c->day; });
        const auto charge = [&now](const TWOwnDocument *d) -> std::optional<qint64> {
            const qint32 entry = now.entries.value(twDocumentKey(d->link, d->identifier));
            if (!entry)
                return std::nullopt;
            qint64 sum = 0;
            for (const TWOwnDocument::Linked &row : d->linked)
                if (row.transaction == entry)
                    sum += row.amount;
            return sum;
        };
        const std::optional<qint64> first = charge(documents.first());
        for (const TWOwnDocument *d : std::as_const(documents))
            if (charge(d) != first)
                found.append(
                    QStringLiteral("%1 charges %2, the first of its schedule, %3, charges %4")
                        .arg(documentName(*d))
                        .arg(charge(d) ? QString::number(*charge(d)) : QStringLiteral("nothing"))
                        .arg(documentName(*documents.first()))
                        .arg(first ? QString::number(*first) : QStringLiteral("nothing")));
    }
    return found;
}

// What the operation asked for is what it did.
QStringList asked(TWBusiness &, const TWInvariantSnapshot &before, const TWInvariantSnapshot &now,
                  const TWOperationOutcome &outcome)
{
    const QString found = outcome.asked && !outcome.result ? outcome.asked(before, now) : QString();
    return found.isEmpty() ? QStringList() : QStringList{found};
}

// e, f, g: what the operation found itself.
QStringList ownChecks(TWBusiness &, const TWInvariantSnapshot &, const TWInvariantSnapshot &,
                      const TWOperationOutcome &outcome)
{
    return outcome.faults;
}

// The suite's own reading: documents, their linked rows, the rows of the
// books, the receivable and payable sums.
void fillOwn(TWBusiness &b, TWInvariantSnapshot &snapshot)
{
    const OwnBooks books(b);
    for (const TWAccountingPeriodPtr &period : b.businessInfo()->accountingPeriods()) {
        if (!period->closed())
            continue;
        TWInvariantSnapshot::Period closed{
            period->startDate().date(), period->endDate().date(), {period->name()}};
        for (const QDate day : {closed.start, closed.end})
            closed.names << day.toString(Qt::ISODate)
                         << QLocale().toString(day, QLocale::ShortFormat)
                         << QLocale().toString(day, QLocale::LongFormat);
        snapshot.periodNames += closed.names.join(u'\n') + u'\n';
        snapshot.periods.append(closed);
    }
    for (const SqlRow &r : sqlQuery(b, "SELECT identifier, interval, intervalUnit FROM repeats"))
        snapshot.repeats.insert(r[0].toInt(), {r[1].toInt(), r[2].toInt()});
    for (auto it = books.rows.cbegin(); it != books.rows.cend(); ++it)
        for (const OwnRow &row : it.value()) {
            const qint64 type = books.accountTypes.value(row.account);
            if (type == TWAccountTypeAccountsReceivable)
                snapshot.receivable += row.home;
            else if (type == TWAccountTypeAccountsPayable)
                snapshot.payable += row.home;
        }
    QHash<qint32, QList<std::pair<qint64, qint64>>> lines;
    const QHash<qint32, qint64> billed = ownBilled(b, lines);
    QHash<qint32, std::pair<qint64, QString>> projects;
    for (const SqlRow &r : sqlQuery(b, "SELECT identifier, type, unit FROM projects"))
        projects.insert(r[0].toInt(), {r[1].toLongLong(), r[2].toString()});
    for (const SqlRow &r : sqlQuery(b, "SELECT identifier, projectIdentifier, name, "
                                       "repeatIdentifier, date FROM invoices")) {
        TWOwnDocument d;
        d.link = TWRelationshipTypeInvoicePayment;
        d.identifier = r[0].toInt();
        d.name = r[2].toString();
        d.repeat = r[3].toInt();
        d.day = qint64(r[4].toDouble());
        const auto project = projects.value(r[1].toInt(), {-1, QString()});
        d.charged = project.first == TWProjectTypeProject;
        d.unit = project.second.isEmpty() ? books.home : project.second;
        d.billed = billed.value(d.identifier);
        d.lines = lines.value(d.identifier);
        snapshot.documents.insert(twDocumentKey(d.link, d.identifier), d);
    }
    for (const SqlRow &r :
         sqlQuery(b, "SELECT identifier, name, repeatIdentifier, date FROM bills")) {
        TWOwnDocument d;
        d.link = TWRelationshipTypeBillPayment;
        d.identifier = r[0].toInt();
        d.name = r[1].toString();
        d.repeat = r[2].toInt();
        d.day = qint64(r[3].toDouble());
        d.charged = true;
        d.unit = books.home;
        snapshot.documents.insert(twDocumentKey(d.link, d.identifier), d);
    }
    for (const SqlRow &r : sqlQuery(b, "SELECT type, childIdentifier, transactionIdentifier, "
                                       "splitIdentifier FROM relationships WHERE type IN (0, 3) "
                                       "ORDER BY transactionIdentifier")) {
        const auto found =
            snapshot.documents.find(twDocumentKey(std::uint32_t(r[0].toInt()), r[1].toInt()));
        const qint32 id = r[2].toInt();
        if (found == snapshot.documents.end() || !books.rows.contains(id))
            continue;
        const qint64 wanted = r[0].toInt() == TWRelationshipTypeBillPayment
                                  ? TWAccountTypeAccountsPayable
                                  : TWAccountTypeAccountsReceivable;
        TWOwnDocument::Linked linked;
        linked.transaction = id;
        linked.state = books.states.value(id);
        // Whether the rows off the receivable book against money.
        bool againstMoney = false;
        const bool bill = wanted == TWAccountTypeAccountsPayable;
        for (const OwnRow &row : books.rows.value(id)) {
            const qint64 type = books.accountTypes.value(row.account);
            linked.moneyRow = linked.moneyRow || books.isMoneyAccount(row.account);
            if (!bill && (books.isMoneyAccount(row.account) || type == TWAccountTypeCurrentAsset))
                againstMoney = true;
            if (type != wanted || (r[3].toInt() != 0 && row.split != r[3].toInt()))
                continue;
            linked.home += row.home;
            if (row.unit == found->unit) {
                linked.amount += row.amount;
            } else if (found->unit == books.home) {
                linked.amount += row.home;
            } else {
                linked.amount += books.converted(row.amount, row.unit, found->unit);
                linked.sameUnit = false;
            }
        }
        // Raising what is owed is a charge, lowering it a payment (a discount
        // or a write-off, whatever it books against; a merchant's refund
        // raises what a bill owes). Only money received or given back on an
        // invoice (a bank, cash, card or current asset) pays or takes a
        // payment back, whatever its sign.
        const qint64 owed = bill ? -linked.amount : linked.amount;
        linked.charge = !againstMoney && owed > 0;
        found->linked.append(linked);
    }
    // The rows of the books, transaction by transaction.
    sqlite3 *db = b.database();
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT * FROM transactions", -1, &statement, nullptr) ==
        SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const qint32 id = sqlite3_column_int(statement, 0);
            snapshot.book[id] = lineOf(statement);
            QHash<QString, QString> &columns = snapshot.columns[id];
            QStringList stateless;
            for (int c = 0; c < sqlite3_column_count(statement); ++c) {
                const QString name = QString::fromUtf8(sqlite3_column_name(statement, c));
                const QString value = QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(statement, c)));
                columns.insert(name, value);
                stateless.append(name == QStringLiteral("state") ? QStringLiteral("*") : value);
            }
            snapshot.stateless[id] = stateless.join(u'|');
        }
    }
    sqlite3_finalize(statement);
    const char *others[] = {
        "SELECT transactionIdentifier, * FROM splits ORDER BY identifier",
        "SELECT transactionIdentifier, * FROM relationships WHERE type IN (0, 3) "
        "ORDER BY identifier"};
    for (const char *sql : others) {
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
            continue;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const qint32 id = sqlite3_column_int(statement, 0);
            const QString line = lineOf(statement);
            snapshot.book[id] += u'\n' + line;
            snapshot.stateless[id] += u'\n' + line;
        }
        sqlite3_finalize(statement);
    }
    for (auto it = books.rows.cbegin(); it != books.rows.cend(); ++it)
        for (const OwnRow &row : it.value())
            if (row.split)
                snapshot.splitTotals[it.key()][row.account] +=
                    QStringLiteral("%1 ").arg(row.amount);
}

} // namespace

bool TWInvariantSnapshot::isClosed(const QDate &day) const
{
    return std::any_of(closed.cbegin(), closed.cend(), [&day](const auto &span) {
        return day >= span.first && day <= span.second;
    });
}

TWInvariantSnapshot twInvariantSnapshot(TWBusiness &b)
{
    TWInvariantSnapshot snapshot;
    for (const TWAccountingPeriodPtr &period : b.businessInfo()->accountingPeriods())
        if (period->closed())
            snapshot.closed.append({period->startDate().date(), period->endDate().date()});
    if (const TWAccountingPeriodPtr active =
            b.accountingPeriodForDate(QDateTime(TWClock::today(), QTime(0, 0))))
        snapshot.activeStart = active->startDate().date();
    QSet<qint32> transactionRepeats;
    for (const TWRepeatPtr &repeat : b.repeats())
        if (repeat->type() == TWRepeatTypeTransaction)
            transactionRepeats.insert(repeat->identifier());
    for (const TWTransactionPtr &t : b.transactions()) {
        const qint32 id = t->identifier();
        snapshot.transactions.insert(id, describe(*t));
        snapshot.days.insert(id, t->date().date());
        snapshot.nominal.insert(id, t->type() == TWTransactionTypeNominal);
        snapshot.states.insert(id, t->state());
        QList<Row> moved;
        for (const Row &row : rows(*t))
            if (isMoney(b.accountWithIdentifier(row.account)))
                moved.append(row);
        if (!moved.isEmpty())
            snapshot.money.insert(id,
                                  t->date().date().toString(Qt::ISODate) + u' ' + rowsText(moved));
        if (t->repeatIdentifier() && transactionRepeats.contains(t->repeatIdentifier()))
            snapshot.transactionRepeatItems.insert(id);
    }
    // Payments: every transaction linked to an invoice or a bill but the first made.
    std::map<std::tuple<std::uint32_t, qint32, qint32>, QList<qint32>> linked;
    for (const TWRelationshipPtr &link : b.relationships())
        if (link->type() == TWRelationshipTypeInvoicePayment ||
            link->type() == TWRelationshipTypeBillPayment)
            linked[{link->type(), link->parentIdentifier(), link->childIdentifier()}].append(
                link->transactionIdentifier());
    for (auto &[record, identifiers] : linked) {
        std::sort(identifiers.begin(), identifiers.end());
        for (qsizetype i = 1; i < identifiers.size(); ++i)
            if (identifiers[i] != identifiers[0])
                snapshot.payments.insert(identifiers[i]);
    }
    snapshot.tables = twTableDump(b);
    fillOwn(b, snapshot);
    return snapshot;
}

void twResolveEntries(TWInvariantSnapshot &now, const TWInvariantSnapshot *before,
                      const QHash<qint64, qint32> &known, const QSet<qint64> &knownDocuments)
{
    now.entries.clear();
    for (auto it = now.documents.cbegin(); it != now.documents.cend(); ++it) {
        QList<qint32> linked;
        for (const TWOwnDocument::Linked &row : it->linked)
            if (!linked.contains(row.transaction))
                linked.append(row.transaction);
        std::sort(linked.begin(), linked.end());
        const qint32 was = before ? before->entries.value(it.key()) : known.value(it.key());
        if (was && linked.contains(was)) {
            now.entries.insert(it.key(), was);
            continue;
        }
        const bool knew =
            before ? before->documents.contains(it.key()) : knownDocuments.contains(it.key());
        for (const qint32 id : std::as_const(linked))
            if (!knew || (before && !before->book.contains(id))) {
                now.entries.insert(it.key(), id);
                break;
            }
    }
}

QString twTableDump(TWBusiness &b)
{
    sqlite3 *db = b.database();
    QStringList tables;
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                           "'sqlite_%' ORDER BY name",
                           -1, &statement, nullptr) == SQLITE_OK)
        while (sqlite3_step(statement) == SQLITE_ROW)
            tables.append(QString::fromUtf8(
                reinterpret_cast<const char *>(sqlite3_column_text(statement, 0))));
    sqlite3_finalize(statement);
    // Each save writes its own token: not a row of the books.
    const QString token = QStringLiteral("info|%1|").arg(TWPackageFiles::tokenInfoRow);
    QStringList lines;
    for (const QString &table : std::as_const(tables)) {
        const QByteArray sql = QStringLiteral("SELECT * FROM \"%1\"").arg(table).toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) != SQLITE_OK)
            continue;
        QStringList rowsOfTable;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList values;
            for (int c = 0; c < sqlite3_column_count(statement); ++c) {
                const int type = sqlite3_column_type(statement, c);
                if (type == SQLITE_NULL)
                    values.append(QStringLiteral("NULL"));
                else if (type == SQLITE_BLOB)
                    values.append(
                        QStringLiteral("blob %1 bytes").arg(sqlite3_column_bytes(statement, c)));
                else
                    values.append(QString::fromUtf8(
                        reinterpret_cast<const char *>(sqlite3_column_text(statement, c))));
            }
            const QString line = table + u'|' + values.join(u'|');
            if (!line.startsWith(token))
                rowsOfTable.append(line);
        }
        sqlite3_finalize(statement);
        rowsOfTable.sort();
        lines += rowsOfTable;
    }
    return lines.join(u'\n');
}

QString twDumpDifference(const QString &before, const QString &after)
{
    const QStringList was = before.split(u'\n');
    const QStringList is = after.split(u'\n');
    const QSet<QString> wasSet(was.cbegin(), was.cend());
    const QSet<QString> isSet(is.cbegin(), is.cend());
    QStringList gone;
    QStringList added;
    for (const QString &line : was)
        if (!isSet.contains(line) && gone.size() < 3)
            gone.append(line);
    for (const QString &line : is)
        if (!wasSet.contains(line) && added.size() < 3)
            added.append(line);
    return QStringLiteral("was [%1] is [%2]")
        .arg(gone.join(QStringLiteral("; ")), added.join(QStringLiteral("; ")));
}

const QList<TWInvariant> &twInvariants()
{
    static const QList<TWInvariant> list = {
        {"balances", true, balances},
        {"ownSums", true, ownSums},
        {"charges", false, charges},
        {"payments", false, payments},
        {"closedPeriods", false, closedPeriods},
        {"money", false, money},
        {"frame", false, frame},
        {"occurrences", true, occurrences},
        {"asked", false, asked},
        {"ownChecks", false, ownChecks},
    };
    return list;
}

QString twBrokenRecords(const QStringList &found, int shown)
{
    if (found.size() <= 1)
        return found.value(0);
    QStringList lines = found.mid(0, shown);
    for (QString &line : lines)
        line.prepend(QStringLiteral("\n  "));
    return QStringLiteral("%1 records%2%3")
        .arg(found.size())
        .arg(found.size() > shown ? QStringLiteral(" (the first %1)").arg(shown) : QString(),
             lines.join(QString()));
}

namespace
{

void flatten(const QVariant &value, const QString &path, QHash<QString, QString> &into)
{
    if (value.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            flatten(it.value(), path.isEmpty() ? it.key() : path + u'/' + it.key(), into);
    } else if (value.typeId() == QMetaType::QVariantList) {
        const QVariantList list = value.toList();
        for (qsizetype i = 0; i < list.size(); ++i)
            flatten(list[i], path + QStringLiteral("[%1]").arg(i), into);
        if (list.isEmpty())
            into.insert(path, QStringLiteral("[]"));
    } else if (value.typeId() == QMetaType::QByteArray) {
        into.insert(path, QString::fromLatin1(value.toByteArray().toHex()));
    } else {
        into.insert(path, value.toString());
    }
}

} // namespace

QStringList twSettingsDifference(const QVariantMap &before, const QVariantMap &after)
{
    QHash<QString, QString> was, is;
    flatten(before, QString(), was);
    flatten(after, QString(), is);
    QStringList keys = was.keys() + is.keys();
    keys.removeDuplicates();
    keys.sort();
    QStringList found;
    for (const QString &key : std::as_const(keys))
        if (was.value(key, QStringLiteral("(none)")) != is.value(key, QStringLiteral("(none)")))
            found.append(QStringLiteral("%1 was %2, is %3")
                             .arg(key, was.value(key, QStringLiteral("(none)")),
                                  is.value(key, QStringLiteral("(none)"))));
    return found;
}

QStringList twFreshRecords(const QStringList &found, const QStringList &was)
{
    QStringList fresh;
    for (const QString &line : found)
        if (!was.contains(line))
            fresh.append(line);
    return fresh;
}
