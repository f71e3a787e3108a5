#include "InvariantChecks.h"

#include "TWStoreTestSupport.h"
#include "foundation/TWLocalized.h"
#include "model/TWAccountingPeriod.h"
#include "model/TWBusinessInfo.h"
#include "model/TWRelationship.h"
#include "model/TWRepeat.h"
#include "store/TWOwing.h"
#include "store/TWPackageFiles.h"
#include "store/TWWorkTotals.h"

#include <sqlite3.h>

#include <algorithm>
#include <map>

namespace
{

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

bool mentionsClosed(const TWError &error)
{
    return error.localizedDescription().contains(TWLocalized("accountingPeriodClosed"),
                                                 Qt::CaseInsensitive);
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

// b. Receivable is what the invoices owe, payable what the bills owe; an
// invoice with an entry charges what its lines bill.
QString owing(TWBusiness &b, const TWInvariantSnapshot &, const TWInvariantSnapshot &,
              const TWOperationOutcome &)
{
    qint64 invoicesOwe = 0;
    for (const TWInvoicePtr &invoice : b.invoices()) {
        const TWProjectPtr project = b.projectWithIdentifier(invoice->projectIdentifier());
        if (!project || project->type() != TWProjectTypeProject)
            continue;
        twUpdateTransactions(*invoice, b);
        invoicesOwe += twHomeOwe(*invoice, b);
        const qint64 charged = twTotal(*invoice, b);
        const qint64 billed = twInvoiceTotal(*invoice, b);
        if (charged != 0 && charged != billed)
            return QStringLiteral("invoice %1 \"%2\" of %3 charges %4, its lines bill %5")
                .arg(invoice->identifier())
                .arg(invoice->name(), invoice->date().toString(Qt::ISODate))
                .arg(charged)
                .arg(billed);
    }
    qint64 billsOwe = 0;
    for (const TWBillPtr &bill : b.bills()) {
        twUpdateTransactions(*bill, b);
        billsOwe += twOwe(*bill, b);
    }
    // Debit-positive sums of the stored rows.
    const QHash<qint32, qint64> sums = twAccountSumsFromRows(b);
    qint64 receivable = 0;
    qint64 payable = 0;
    for (const TWAccountPtr &account : b.accounts()) {
        if (account->accountType() == TWAccountTypeAccountsReceivable)
            receivable += sums.value(account->identifier());
        if (account->accountType() == TWAccountTypeAccountsPayable)
            payable -= sums.value(account->identifier());
    }
    if (receivable != invoicesOwe)
        return QStringLiteral("receivable is %1, the invoices owe %2")
            .arg(receivable)
            .arg(invoicesOwe);
    if (payable != billsOwe)
        return QStringLiteral("payable is %1, the bills owe %2").arg(payable).arg(billsOwe);
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
        if (!mentionsClosed(*outcome.result))
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

// e, f, g: what the operation found itself.
QString ownChecks(TWBusiness &, const TWInvariantSnapshot &, const TWInvariantSnapshot &,
                  const TWOperationOutcome &outcome)
{
    return outcome.faults.isEmpty() ? QString() : outcome.faults.first();
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
    return snapshot;
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
        {"balances", balances},           {"owing", owing}, {"payments", payments},
        {"closedPeriods", closedPeriods}, {"money", money}, {"ownChecks", ownChecks},
    };
    return list;
}
