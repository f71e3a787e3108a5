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

#include "store/TWSendInvoiceValues.h"

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

    explicit OwnBooks(TWBusiness &b)
    {
        home = b.homeUnit() ? b.homeUnit()->code() : QString();
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

// What each invoice's lines bill, with the suite's own arithmetic.
QHash<qint32, qint64> ownBilled(TWBusiness &b)
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
                     "WHERE type IN (1, 2)")) {
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
        billed[r[1].toInt()] +=
            subtotal + (tax != 0 ? qint64(std::llround(subtotal * tax / 100.0)) : 0);
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

// A refusal names the closed period: its name or one of its days as the
// locale writes them.
bool namesPeriod(const TWError &error, const TWInvariantSnapshot &snapshot)
{
    const QString text = error.localizedDescription();
    for (const QString &name : snapshot.periodNames.split(u'\n', Qt::SkipEmptyParts))
        if (text.contains(name))
            return true;
    return false;
}

// a. Every transaction balances in the home unit; each account's balance is
// the sum of its stored rows.
QString balances(TWBusiness &b, const TWInvariantSnapshot &, const TWInvariantSnapshot &,
                 const TWOperationOutcome &)
{
    for (const TWTransactionPtr &t : b.transactions()) {
        qint64 sum = 0;
        for (const Row &row : rows(*t))
            sum += row.home;
        if (sum != 0)
            return QStringLiteral("transaction %1 (%2) is off by %3 in the home unit")
                .arg(t->identifier())
                .arg(describe(*t))
                .arg(sum);
    }
    const QHash<qint32, qint64> sums = twAccountSumsFromRows(b);
    for (const TWAccountPtr &account : b.accounts()) {
        const qint64 sign = TWBusiness::isAccountDebitPositive(*account) ? 1 : -1;
        const qint64 stored = b.transactionTotalWithAccount(*account) * sign;
        if (stored != sums.value(account->identifier()))
            return QStringLiteral("account %1 \"%2\" has a balance of %3, its rows sum to %4")
                .arg(account->identifier())
                .arg(account->name())
                .arg(stored)
                .arg(sums.value(account->identifier()));
    }
    return {};
}

// b. A payment keeps its day, accounts and amount unless the operation
// itself edited or deleted it.
QString payments(TWBusiness &, const TWInvariantSnapshot &before, const TWInvariantSnapshot &now,
                 const TWOperationOutcome &outcome)
{
    for (const qint32 identifier : before.payments) {
        if (outcome.touched.contains(identifier))
            continue;
        const QString after = now.transactions.value(identifier);
        if (after != before.transactions.value(identifier))
            return QStringLiteral("payment %1 was %2, is %3")
                .arg(identifier)
                .arg(before.transactions.value(identifier),
                     after.isEmpty() ? QStringLiteral("gone") : after);
    }
    return {};
}

// c. No row of a closed period changes; a refusal for a closed period says so
// and changes nothing; what changes no closed row is never refused.
QString closedPeriods(TWBusiness &, const TWInvariantSnapshot &before,
                      const TWInvariantSnapshot &now, const TWOperationOutcome &outcome)
{
    if (outcome.result) {
        if (!outcome.targetsClosed)
            return QStringLiteral("refused: %1").arg(outcome.result->localizedDescription());
        if (!namesPeriod(*outcome.result, before))
            return QStringLiteral("refused without naming the closed period: %1")
                .arg(outcome.result->localizedDescription());
        if (before.tables != now.tables)
            return QStringLiteral("refused, but changed %1")
                .arg(twDumpDifference(before.tables, now.tables));
        return {};
    }
    const QString was = closedRows(before, now, !outcome.periods);
    const QString is = closedRows(now, before, !outcome.periods);
    if (was != is)
        return QStringLiteral("rows of a closed period changed: %1").arg(twDumpDifference(was, is));
    return {};
}

// d. Money in bank, cash and card accounts moves only through transactions the
// operation entered, edited, imported or deleted, or repeats of transactions.
QString money(TWBusiness &, const TWInvariantSnapshot &before, const TWInvariantSnapshot &now,
              const TWOperationOutcome &outcome)
{
    for (auto it = before.money.cbegin(); it != before.money.cend(); ++it)
        if (!outcome.touched.contains(it.key()) && now.money.value(it.key()) != it.value())
            return QStringLiteral("transaction %1 moved %2, now %3")
                .arg(it.key())
                .arg(it.value(), now.money.value(it.key(), QStringLiteral("nothing")));
    QList<qint32> made;
    for (auto it = now.money.cbegin(); it != now.money.cend(); ++it)
        if (!before.money.contains(it.key()) && !now.transactionRepeatItems.contains(it.key()) &&
            !outcome.touched.contains(it.key()))
            made.append(it.key());
    std::sort(made.begin(), made.end());
    QStringList shown;
    for (const qint32 identifier : made.mid(0, 4))
        shown.append(
            QStringLiteral("%1: %2").arg(identifier).arg(now.transactions.value(identifier)));
    if (!made.isEmpty())
        return QStringLiteral("%1 new transactions move money nobody entered, %2")
            .arg(made.size())
            .arg(shown.join(QStringLiteral("; ")));
    return {};
}

// b. What each invoice and bill owes, by the suite's own sums of its linked
// rows, is what receivable and payable hold, what the store says it owes,
// charges and was paid, and what the printed invoice says was paid.
QString ownSums(TWBusiness &b, const TWInvariantSnapshot &, const TWInvariantSnapshot &now,
                const TWOperationOutcome &)
{
    qint64 invoicesOwe = 0;
    qint64 billsOwe = 0;
    QStringList found;
    for (const TWOwnDocument &d : now.documents) {
        const bool bill = d.link == TWRelationshipTypeBillPayment;
        const qint32 entry = now.entries.value(twDocumentKey(d.link, d.identifier));
        // Debit-positive for invoices, credit-positive for bills: what is owed.
        const qint64 sign = bill ? -1 : 1;
        qint64 owe = 0, home = 0, charges = 0, payments = 0;
        bool sameUnit = true;
        for (const TWOwnDocument::Linked &row : d.linked) {
            owe += sign * row.amount;
            home += sign * row.home;
            sameUnit = sameUnit && row.sameUnit;
            const qint64 owed = sign * row.amount;
            if (row.transaction == entry || owed > 0)
                charges += owed;
            else
                payments -= owed;
        }
        (bill ? billsOwe : invoicesOwe) += home;
        if (!d.charged || !sameUnit)
            continue;
        qint64 storeOwe = 0, storeTotal = 0, storePayments = 0;
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
        } else {
            const TWInvoicePtr record = b.invoiceWithIdentifier(d.identifier);
            if (!record) {
                found.append(
                    QStringLiteral("%1 is in the table, not in the store").arg(documentName(d)));
                continue;
            }
            twUpdateTransactions(*record, b);
            storeOwe = twOwe(*record, b);
            storeTotal = twTotal(*record, b);
            storePayments = twPayments(*record, b);
            storePaid = twPercentPaid(*record, b);
            const TWSendInvoiceDataPtr data = twDefaultSendInvoiceData(b);
            twUpdateSendInvoiceData(*data, *record, b);
            if (data->payments() != payments)
                printed = QStringLiteral("printed Payments %1").arg(data->payments());
            // Printed Total Due: what the lines bill less the payments.
            else if (entry && charges == d.billed && d.billed - data->payments() != owe)
                printed = QStringLiteral("printed Total Due %1").arg(d.billed - data->payments());
        }
        // The share paid: what was paid of what it charges, early payments included.
        if (printed.isEmpty() && charges > 0 && payments >= 0 && payments <= charges &&
            std::abs(storePaid - float(double(payments) / double(charges))) > 0.005f)
            printed = QStringLiteral("%1 paid").arg(double(storePaid));
        if (storeOwe != owe || storeTotal != charges || storePayments != payments ||
            !printed.isEmpty())
            found.append(
                QStringLiteral("%1 of %2 owes %3 by its rows (charges %4, payments %5, entry "
                               "%6); the store says owe %7, total %8, payments %9%10")
                    .arg(documentName(d), d.unit)
                    .arg(owe)
                    .arg(charges)
                    .arg(payments)
                    .arg(entry)
                    .arg(storeOwe)
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
    return found.join(u'\n');
}

// A document's entry books receivable (payable) against what it bills, never
// against a bank, cash or card account; an entry the operation wrote, or of a
// document whose lines it changed, charges what the lines bill.
QString charges(TWBusiness &, const TWInvariantSnapshot &before, const TWInvariantSnapshot &now,
                const TWOperationOutcome &)
{
    for (const TWOwnDocument &d : now.documents) {
        const qint64 key = twDocumentKey(d.link, d.identifier);
        const qint32 entry = now.entries.value(key);
        if (!entry || !d.charged)
            continue;
        qint64 charged = 0;
        bool found = false;
        for (const TWOwnDocument::Linked &row : d.linked)
            if (row.transaction == entry) {
                if (row.moneyRow)
                    return QStringLiteral("the entry of %1 books against a bank, cash or card "
                                          "account: %2")
                        .arg(documentName(d), now.transactions.value(entry));
                charged += row.amount;
                found = found || row.sameUnit;
            }
        if (d.link != TWRelationshipTypeInvoicePayment || !found ||
            now.states.value(entry) != TWTransactionStateNormal)
            continue;
        const TWOwnDocument was = before.documents.value(key);
        const bool written = before.book.value(entry) != now.book.value(entry);
        // A copy made without lines carries its source's entry as it stands.
        if (!before.documents.contains(key) && d.billed == 0)
            continue;
        const bool rebilled = !before.documents.contains(key) || was.billed != d.billed;
        if ((written || rebilled) && charged != d.billed)
            return QStringLiteral("the entry of %1 charges %2, its lines bill %3: %4")
                .arg(documentName(d))
                .arg(charged)
                .arg(d.billed)
                .arg(now.transactions.value(entry));
    }
    return {};
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
// operation that changes nothing a user can see changes no row at all.
QString frame(TWBusiness &, const TWInvariantSnapshot &before, const TWInvariantSnapshot &now,
              const TWOperationOutcome &outcome)
{
    if (outcome.unchanged && seen(before.tables) != seen(now.tables))
        return QStringLiteral("it changes nothing a user sees, yet the tables changed: %1")
            .arg(twDumpDifference(seen(before.tables), seen(now.tables)));
    if (outcome.periods || outcome.result)
        return {};
    QSet<qint32> named = outcome.touched;
    bool earlier = false;
    const auto nameEntries = [&](qint64 key) {
        named.insert(before.entries.value(key));
        named.insert(now.entries.value(key));
    };
    for (auto it = now.documents.cbegin(); it != now.documents.cend(); ++it)
        if (!before.documents.contains(it.key()) ||
            before.documents.value(it.key()).billed != it->billed)
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
    for (auto it = now.book.cbegin(); it != now.book.cend(); ++it)
        if (!before.book.contains(it.key()) && now.transactionRepeatItems.contains(it.key()))
            named.insert(it.key());
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
    if (changed.isEmpty())
        return {};
    std::sort(changed.begin(), changed.end());
    const qint32 first = changed.first();
    return QStringLiteral("%1 rows of the books it does not name changed, the first transaction "
                          "%2: was [%3] is [%4]")
        .arg(changed.size())
        .arg(first)
        .arg(before.book.value(first, QStringLiteral("none")),
             now.book.value(first, QStringLiteral("none")));
}

// A schedule makes one occurrence per due day, and each occurrence charges
// what its first did.
QString occurrences(TWBusiness &, const TWInvariantSnapshot &, const TWInvariantSnapshot &now,
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
    return found.join(u'\n');
}

// What the operation asked for is what it did.
QString asked(TWBusiness &, const TWInvariantSnapshot &before, const TWInvariantSnapshot &now,
              const TWOperationOutcome &outcome)
{
    return outcome.asked && !outcome.result ? outcome.asked(before, now) : QString();
}

// e, f, g: what the operation found itself.
QString ownChecks(TWBusiness &, const TWInvariantSnapshot &, const TWInvariantSnapshot &,
                  const TWOperationOutcome &outcome)
{
    return outcome.faults.isEmpty() ? QString() : outcome.faults.first();
}

// The suite's own reading: documents, their linked rows, the rows of the
// books, the receivable and payable sums.
void fillOwn(TWBusiness &b, TWInvariantSnapshot &snapshot)
{
    const OwnBooks books(b);
    for (const SqlRow &r : sqlQuery(b, "SELECT name, startDate, endDate FROM accountingPeriods "
                                       "WHERE closed != 0")) {
        snapshot.periodNames += r[0].toString() + u'\n';
    }
    for (const TWAccountingPeriodPtr &period : b.businessInfo()->accountingPeriods())
        if (period->closed())
            for (const QDate day : {period->startDate().date(), period->endDate().date()})
                snapshot.periodNames += day.toString(Qt::ISODate) + u'\n' +
                                        QLocale().toString(day, QLocale::ShortFormat) + u'\n' +
                                        QLocale().toString(day, QLocale::LongFormat) + u'\n';
    for (auto it = books.rows.cbegin(); it != books.rows.cend(); ++it)
        for (const OwnRow &row : it.value()) {
            const qint64 type = books.accountTypes.value(row.account);
            if (type == TWAccountTypeAccountsReceivable)
                snapshot.receivable += row.home;
            else if (type == TWAccountTypeAccountsPayable)
                snapshot.payable += row.home;
        }
    const QHash<qint32, qint64> billed = ownBilled(b);
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
        for (const OwnRow &row : books.rows.value(id)) {
            linked.moneyRow = linked.moneyRow || books.isMoneyAccount(row.account);
            if (books.accountTypes.value(row.account) != wanted ||
                (r[3].toInt() != 0 && row.split != r[3].toInt()))
                continue;
            linked.home += row.home;
            if (row.unit == found->unit)
                linked.amount += row.amount;
            else if (found->unit == books.home)
                linked.amount += row.home;
            else
                linked.sameUnit = false;
        }
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
            for (int c = 0; c < sqlite3_column_count(statement); ++c)
                columns.insert(QString::fromUtf8(sqlite3_column_name(statement, c)),
                               QString::fromUtf8(reinterpret_cast<const char *>(
                                   sqlite3_column_text(statement, c))));
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
            snapshot.book[id] += u'\n' + lineOf(statement);
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
