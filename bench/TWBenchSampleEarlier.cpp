#include "TWBenchSampleEarlier.h"
#include "TWBenchBusiness.h"

#include "foundation/TWClock.h"
#include "model/TWRelationship.h"
#include "store/TWTransactionEditing.h"

#include <cstdio>

namespace
{

const auto failed = &twBenchFailed;

// The accounts a shape's transactions name.
enum class Side { Bank, Card, Receivable, Payable, Income, Expense, Undeposited };

// One transaction of a shape, in the order the user made them: `amount` into
// `to` from `from`, `days` after the document's day.
struct Step {
    Side to;
    Side from;
    qint64 amount;
    int days;
};

struct Shape {
    const char *name;
    bool bill;
    QList<Step> steps;
    int previousEntry; // the step the previous build took for the entry; -1 none
};

// What an invoice's billed work comes to: ten hours at 70.00.
constexpr qint64 kRate = 7000;
constexpr double kHours = 10.0;
constexpr qint64 kBilled = 70000;

const QList<Shape> &shapes()
{
    static const QList<Shape> all = {
        // Paid from the bank first; its charge deleted in the register and
        // made again by the bill sheet's next save.
        {"charged after its bank payment",
         true,
         {{Side::Payable, Side::Bank, 7000, 5}, {Side::Expense, Side::Payable, 7000, 0}},
         1},
        {"charged after its card payment",
         true,
         {{Side::Payable, Side::Card, 7000, 5}, {Side::Expense, Side::Payable, 7000, 0}},
         1},
        {"charge deleted", true, {{Side::Payable, Side::Bank, 7000, 5}}, -1},
        // Part paid, the rest written off through an expense; the entry
        // deleted and made again by the editor's next save.
        {"entry made again after a write-off",
         false,
         {{Side::Bank, Side::Receivable, 45000, 10},
          {Side::Expense, Side::Receivable, 25000, 20},
          {Side::Receivable, Side::Income, kBilled, 0}},
         2},
        {"entry made again after a payment into undeposited funds",
         false,
         {{Side::Undeposited, Side::Receivable, 30000, 10},
          {Side::Receivable, Side::Income, kBilled, 0}},
         1},
        {"entry deleted after a write-off",
         false,
         {{Side::Expense, Side::Receivable, 25000, 20}},
         -1},
    };
    return all;
}

qint32 firstOfType(TWBusiness &b, TWAccountType type)
{
    const TWAccountList accounts = b.accountsOfType(type);
    return accounts.isEmpty() ? 0 : accounts.first()->identifier();
}

} // namespace

QList<TWBenchEarlierDocument> twBenchAddEarlierDocuments(
    TWBusiness &b,
    const std::function<void(std::uint32_t type, qint32 document, qint32 transaction)> &entryMade)
{
    // A project billed in the home unit, as the shapes' amounts are.
    TWProjectPtr project;
    for (const TWProjectPtr &candidate : b.projects())
        if (!project && candidate->type() == TWProjectTypeProject && candidate->unit() &&
            candidate->unit()->isEqual(*b.homeUnit()))
            project = candidate;
    const TWMerchantPtr merchant = b.merchants().isEmpty() ? nullptr : b.merchants().first();
    const TWAccountPtr undeposited = TWAccount::accountWithIdentifier(
        b.nextAccountIdentifier(), QStringLiteral("Undeposited Funds"), 0, 0,
        TWAccountTypeCurrentAsset, QString(), QImage(), b.homeUnit(), QString());
    if (!project || !merchant || failed(b.addAccount(undeposited, false), "addAccount"))
        return {};
    const qint32 accounts[] = {
        firstOfType(b, TWAccountTypeBank),
        firstOfType(b, TWAccountTypeCreditCard),
        firstOfType(b, TWAccountTypeAccountsReceivable),
        firstOfType(b, TWAccountTypeAccountsPayable),
        firstOfType(b, TWAccountTypeIncome),
        firstOfType(b, TWAccountTypeExpense),
        undeposited->identifier(),
    };
    for (const qint32 identifier : accounts)
        if (identifier == 0) {
            std::fprintf(stderr, "the business lacks an account the earlier shapes book on\n");
            return {};
        }
    const auto account = [&accounts](Side side) { return accounts[int(side)]; };

    const QDate day = TWClock::today().addMonths(-1);
    const QDateTime on(QDate(day.year(), day.month(), 1), QTime(0, 0));
    QList<TWBenchEarlierDocument> made;
    for (const Shape &shape : shapes()) {
        TWBenchEarlierDocument document;
        document.shape = QString::fromLatin1(shape.name);
        qint32 parent = 0;
        if (shape.bill) {
            const TWBillPtr bill = TWBill::billWithDate(
                on, QStringLiteral("Bill %1").arg(document.shape), true, false, on.addDays(30), 0,
                QString(), merchant->identifier(), b.nextBillIdentifier());
            if (failed(b.addBill(bill, false), "addBill"))
                return {};
            document.type = TWRelationshipTypeBillPayment;
            document.document = bill->identifier();
            parent = merchant->identifier();
        } else {
            const TWTaskPtr task = TWTask::taskWithDate(
                on.addDays(-7), true, QStringLiteral("Work %1").arg(document.shape), TWTaskTypeHour,
                0.0, kHours, kRate, 0.0, QString(), project->identifier(), b.nextTaskIdentifier());
            if (failed(b.addTask(task, false), "addTask"))
                return {};
            task->setInvoiceQuantity(kHours);
            const TWInvoicePtr invoice = TWInvoice::invoiceWithDate(
                on, QStringLiteral("E-%1").arg(b.nextInvoiceIdentifier()),
                QStringLiteral("Invoice %1").arg(document.shape), true, false, on.addDays(30), 0,
                QString(), project->identifier(), b.nextInvoiceIdentifier());
            if (failed(b.addInvoice(invoice, false), "addInvoice") ||
                failed(b.updateInvoiceItems(invoice, {task}, {}), "updateInvoiceItems"))
                return {};
            document.type = TWRelationshipTypeInvoicePayment;
            document.document = invoice->identifier();
            parent = project->identifier();
        }
        for (const Step &step : shape.steps) {
            // Stored and linked as the previous build stored them: the
            // link's value left at 0, whatever the transaction is.
            TWTransactionPtr t = std::make_shared<TWTransaction>();
            t->setIdentifier(b.nextTransactionIdentifier());
            t->setDate(on.addDays(step.days));
            t->setPayee(shape.bill ? merchant->name() : QStringLiteral("Client"));
            t->setDescription(document.shape);
            t->setUnit(b.homeUnit());
            t->setTotal(step.amount);
            t->setAccount1Identifier(account(step.to));
            t->setAccount2Identifier(account(step.from));
            twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b);
            if (failed(b.addTransaction(t, false, false, false, false), "addTransaction") ||
                failed(b.addRelationship(TWRelationship::relationshipWithType(
                                             document.type, 0.0, parent, document.document,
                                             t->identifier(), 0, b.nextRelationshipIdentifier()),
                                         false),
                       "addRelationship"))
                return {};
            document.linked.append(t->identifier());
        }
        document.previousEntry =
            shape.previousEntry < 0 ? 0 : document.linked.value(shape.previousEntry);
        if (entryMade)
            entryMade(document.type, document.document, document.previousEntry);
        made.append(document);
    }
    return made;
}
