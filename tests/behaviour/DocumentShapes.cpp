// The shapes of the documents tables: each built in a business of its own
// through the store's calls, operated on through the windows' controllers and
// read back as the user sees it.

#include "DocumentShapes.h"

#include "TWAppTestSupport.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "foundation/TWClock.h"
#include "invoicing/ui/TWInvoiceController.h"
#include "invoicing/ui/TWInvoiceItemsModel.h"
#include "invoicing/ui/TWInvoicesController.h"
#include "model/TWAccountingPeriod.h"
#include "model/TWBusinessInfo.h"
#include "model/TWRelationship.h"
#include "model/TWRepeat.h"
#include "model/TWSendInvoiceData.h"
#include "store/TWClosedRefusals.h"
#include "store/TWOwing.h"
#include "store/TWSendInvoiceValues.h"
#include "store/TWTransactionEditing.h"
#include "store/TWWorkTotals.h"
#include "work/TWBillController.h"
#include "work/TWMerchantController.h"
#include "work/TWTaskController.h"
#include "work/TWWork.h"

#include <QCoreApplication>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QDir>
#include <QHash>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>

#include <array>
#include <functional>
#include <memory>

namespace
{

// ---- The dimensions ----

enum Unit { HomeUnit, OtherUnit, YenUnit };
enum Paid { Unpaid, PartlyPaid, FullyPaid };
enum Period { OpenPeriod, ClosedPeriod };
enum Entry {
    EntryEditor,
    EntryToLiability,
    EntryToExpense,
    EntryToOtherIncome,
    EntryTaxToLiability,
    EntryTyped,
    EntryDeleted,
    EntryUnmarked,         // the links as the build before the marks stored them
    EntryEarlierMarked,    // marked by the previous build's opening: a payment may carry the mark
    EntryMarkedNow,        // the unmarked links marked by this build's rule
    EntryTaxedTotal0,      // taxed, its entry's total stored as 0 as older builds did
    EntryRemadeUnmarked,   // made again after what is linked, the links saying nothing
    EntryTaxedIncomeMoved, // taxed, its income line moved to another income account
    EntryTaxedTaxMoved,    // taxed, its tax line moved to another tax account
};
// The entry shapes that turn over along every row; the later ones are met in
// the rows added for them, so that the rows before them keep their keys.
constexpr int kTurningEntries = EntryMarkedNow + 1;
enum Operation {
    OpOpen,
    OpSave,
    OpAddLine,
    OpRaiseRate,
    OpMoveDate,
    OpUnitChange,
    OpDuplicate,
    OpRepeat,
    OpDeleteLinked,
    OpDuplicateSaved, // duplicated, then the copy saved as it stands
    // What the lines bill turned to the other sign: a line ticked in the
    // editor, or the only line's rate typed in the task sheet.
    OpSignTurnedEditor,
    OpSignTurnedTask,
    // The document's unit dearer or cheaper against the home unit, as a rate
    // download sets it.
    OpRatesDearer,
    OpRatesCheaper,
};

// What a linked transaction books against, raising or lowering what is owed.
enum Against {
    AgainstBank,
    AgainstCash,
    AgainstCard,
    AgainstCurrentAsset,
    AgainstCurrentLiability,
    AgainstLongTermLiability,
    AgainstIncome,
    AgainstExpense,
    AgainstTax,
    AgainstEquity,
    AgainstCount
};
const char *const kAgainstNames[] = {
    "bank",   "cash",    "card", "current asset", "current liability", "long-term liability",
    "income", "expense", "tax",  "equity"};
// Linked values: 0 none; 1 + 2*against (+1 raising); the last one of 0.00.
constexpr int kLinkedCount = 2 + 2 * AgainstCount;
bool linkedNone(int linked)
{
    return linked == 0;
}
bool linkedZero(int linked)
{
    return linked == kLinkedCount - 1;
}
// Linked values past the crossed ones, each in rows of its own.
enum LinkedExtra {
    // Paid a tenth beyond what is owed, then the tenth refunded from the bank.
    LinkedRefundAfter = kLinkedCount,
    // Paid in full, then money paid out for the client and billed on.
    LinkedChargeAfter,
    // A credit note of the same project applied to an invoice: one split
    // transaction, a line for each of the two documents.
    LinkedCreditApplied,
    // A fee of 20.00 charged on a bill credit through an expense: on the
    // credit's day, the day before, two days after.
    LinkedFeeSameDay,
    LinkedFeeDayBefore,
    LinkedFeeTwoDaysAfter,
    // Money through the bank dated before the document: a deposit on an
    // invoice, money given back on a credit note, a bill paid before its
    // charge (or a bill moved past its payment).
    LinkedMoneyBefore,
    // A discount through income dated before the invoice, as after the
    // invoice's date was moved past it.
    LinkedDiscountBefore,
};
Against linkedAgainst(int linked)
{
    return Against((linked - 1) / 2);
}
bool linkedRaises(int linked)
{
    return (linked - 1) % 2 == 1;
}

// The fixed day every table is read on, and the documents' days.
constexpr int kYear = 2026, kMonth = 6, kDay = 15;
const QDate kOpenDay(2026, 5, 4);
const QDate kClosedDay(2025, 11, 3);

// ---- The business of one shape ----

struct Accounts {
    qint32 bank = 100, receivable = 105, payable = 108, sales = 109, equity = 138;
    qint32 cash = 0, card = 0, undeposited = 0, credits = 0, loan = 0, otherIncome = 0,
           supplies = 0, fees = 0, salesTax = 0, vat = 0, capital = 0, stateTax = 0;
};

void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

TWTestPrompts &prompts()
{
    static TWTestPrompts shared;
    return shared;
}

using AlertAnswers = TWTestAlertAnswers;

QString money(qint64 minor, int decimals = 2)
{
    const bool negative = minor < 0;
    qint64 v = negative ? -minor : minor;
    qint64 scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    QString text = QString::number(v / scale);
    if (decimals > 0)
        text += QLatin1Char('.') + QString::number(v % scale).rightJustified(decimals, u'0');
    return (negative ? QStringLiteral("-") : QString()) + text;
}

struct ShapeRun {
    const TWDocumentShape &shape;
    TWShapeDocument document;
    std::unique_ptr<TWBusiness> business;
    std::unique_ptr<TWBusinessController> controller;
    QTemporaryDir dir;
    Accounts a;
    TWUnitPtr home, other, yen;
    TWClientPtr client;
    TWProjectPtr project;
    TWMerchantPtr merchant;
    TWTaskPtr task;
    TWTaskPtr spareTask; // unbilled, for a line added
    qint32 invoice = 0;
    qint32 bill = 0;
    qint32 entry = 0;
    qint32 linkedTransaction = 0;
    QHash<qint32, QString> labels; // transaction -> its name in the row
    QString failure;               // the shape could not be built
    QString result;                // what the operation said

    explicit ShapeRun(const TWDocumentShape &s) : shape(s), document(TWShapeDocument(s.document)) {}

    bool isBill() const
    {
        return document == TWShapeDocument::Bill || document == TWShapeDocument::BillCredit;
    }
    std::uint32_t linkType() const
    {
        return isBill() ? TWRelationshipTypeBillPayment : TWRelationshipTypeInvoicePayment;
    }
    qint32 parent() const { return isBill() ? merchant->identifier() : project->identifier(); }
    qint32 child() const { return isBill() ? bill : invoice; }
    TWBusiness &b() { return controller ? *controller->business() : *business; }
    TWBusinessController &doc()
    {
        if (!controller) {
            controller = std::make_unique<TWBusinessController>();
            controller->setBusiness(std::move(business));
            controller->setDisplayName(QStringLiteral("Business"));
        }
        return *controller;
    }
    QDate day() const { return shape.period == ClosedPeriod ? kClosedDay : kOpenDay; }
    QDateTime at(const QDate &d) const { return QDateTime(d, QTime(0, 0)); }

    bool failed(const TWErrorResult &error, const char *what)
    {
        if (!error)
            return false;
        if (failure.isEmpty())
            failure =
                QStringLiteral("%1: %2").arg(QLatin1String(what), error->localizedDescription());
        return true;
    }

    qint32 newAccount(const QString &name, TWAccountType type)
    {
        auto made = TWAccount::accountWithIdentifier(b().nextAccountIdentifier(), name, 0, 0, type,
                                                     QString(), QImage(), home, QString());
        return failed(b().addAccount(made, false), "addAccount") ? 0 : made->identifier();
    }

    qint32 againstAccount(Against against) const
    {
        switch (against) {
        case AgainstBank:
            return a.bank;
        case AgainstCash:
            return a.cash;
        case AgainstCard:
            return a.card;
        case AgainstCurrentAsset:
            return a.undeposited;
        case AgainstCurrentLiability:
            return a.credits;
        case AgainstLongTermLiability:
            return a.loan;
        case AgainstIncome:
            return isBill() ? a.otherIncome : a.sales;
        case AgainstExpense:
            return isBill() ? a.supplies : a.fees;
        case AgainstTax:
            return a.salesTax;
        case AgainstEquity:
            return a.capital;
        case AgainstCount:
            break;
        }
        return 0;
    }

    // The document's own account: receivable or payable.
    qint32 ownAccount() const { return isBill() ? a.payable : a.receivable; }

    // A plain transaction into `to` from `from`, in `unit`, stored, linked
    // with `mark`; `label` names it in the row.
    TWTransactionPtr linkedEntry(qint32 to, qint32 from, qint64 amount, const TWUnitPtr &unit,
                                 int days, double mark, const QString &label)
    {
        TWTransactionPtr t = std::make_shared<TWTransaction>();
        t->setIdentifier(b().nextTransactionIdentifier());
        t->setDate(at(day().addDays(days)));
        t->setPayee(isBill() ? merchant->name() : client->company());
        t->setDescription(label);
        t->setUnit(unit);
        t->setTotal(amount);
        t->setAccount1Identifier(to);
        t->setAccount2Identifier(from);
        twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b());
        if (failed(b().addTransaction(t, false, false, false, false), "addTransaction") ||
            failed(b().addRelationship(TWRelationship::relationshipWithType(
                                           linkType(), mark, parent(), child(), t->identifier(), 0,
                                           b().nextRelationshipIdentifier()),
                                       false),
                   "addRelationship"))
            return nullptr;
        labels.insert(t->identifier(), label);
        return t;
    }

    TWUnitPtr documentUnit() const
    {
        return shape.unit == YenUnit ? yen : (shape.unit == OtherUnit ? other : home);
    }
    // Whether the lines carry tax (a tenth of what they bill).
    bool taxed() const
    {
        return shape.entry == EntryTaxToLiability || shape.entry == EntryTaxedTotal0 ||
               shape.entry == EntryTaxedIncomeMoved || shape.entry == EntryTaxedTaxMoved;
    }
    // Whether the entry is made again after the linked transactions.
    bool remade() const
    {
        return shape.entry == EntryEarlierMarked || shape.entry == EntryRemadeUnmarked;
    }

    // The amount the document's lines bill, in its unit (a bill: its charge).
    qint64 billed() const
    {
        switch (document) {
        case TWShapeDocument::Invoice:
            return taxed() ? 55000 : 50000;
        case TWShapeDocument::CreditNote:
            return taxed() ? -55000 : -50000;
        case TWShapeDocument::NoLines:
            return 0;
        case TWShapeDocument::Bill:
            return 30000;
        case TWShapeDocument::BillCredit:
            return -30000;
        }
        return 0;
    }

    bool build();
    bool buildInvoice(bool marks);
    bool storeTotal0();
    bool buildBill(bool marks);
    bool addLinked(bool marks);
    bool addPayment(bool marks);
    bool applyCredit();
    bool reshapeEntry();
    bool closeThePeriod();
    void operate();
    QStringList readings(const QHash<qint32, QString> &before, const QStringList &beforeLinks,
                         const QSet<qint32> &documentsBefore);
};

bool ShapeRun::build()
{
    TWBusinessInfoPtr info = TWBusinessInfo::newBusinessInfo();
    info->setName(QStringLiteral("Shapes"));
    info->setHomeCurrency(QStringLiteral("USD"));
    info->setCreateDefaultAccounts(true);
    TWErrorResult error;
    business = TWBusiness::businessWithBusinessInfo(info, &error);
    if (!business || failed(error, "businessWithBusinessInfo"))
        return false;
    home = b().homeUnit();
    other = b().unitWithCode(QStringLiteral("EUR"));
    if (!other)
        return failed(TWError(QStringLiteral("Shapes"), -1, QStringLiteral("no EUR")), "unit");
    other->setRate(0.9);
    if (failed(b().updateUnitRate(other, false), "updateUnitRate"))
        return false;
    if (shape.unit == YenUnit) {
        yen = b().unitWithCode(QStringLiteral("JPY"));
        if (!yen)
            return failed(TWError(QStringLiteral("Shapes"), -1, QStringLiteral("no JPY")), "unit");
        yen->setRate(125.0);
        if (failed(b().updateUnitRate(yen, false), "updateUnitRate"))
            return false;
    }
    a.cash = newAccount(QStringLiteral("Cash box"), TWAccountTypeCash);
    a.card = newAccount(QStringLiteral("Visa"), TWAccountTypeCreditCard);
    a.undeposited = newAccount(QStringLiteral("Undeposited"), TWAccountTypeCurrentAsset);
    a.credits = newAccount(QStringLiteral("Customer credits"), TWAccountTypeCurrentLiability);
    a.loan = newAccount(QStringLiteral("Loan"), TWAccountTypeLongTermLiability);
    a.otherIncome = newAccount(QStringLiteral("Other income"), TWAccountTypeIncome);
    a.supplies = newAccount(QStringLiteral("Supplies"), TWAccountTypeExpense);
    a.fees = newAccount(QStringLiteral("Fees"), TWAccountTypeExpense);
    a.salesTax = newAccount(QStringLiteral("Sales tax"), TWAccountTypeTax);
    a.vat = newAccount(QStringLiteral("VAT payable"), TWAccountTypeCurrentLiability);
    a.capital = newAccount(QStringLiteral("Capital"), TWAccountTypeEquity);
    if (shape.entry == EntryTaxedTaxMoved)
        a.stateTax = newAccount(QStringLiteral("State tax"), TWAccountTypeTax);
    if (!failure.isEmpty())
        return false;
    // Periods of 2025 and 2026, none closed yet.
    {
        TWBusinessInfoPtr edited = b().businessInfo()->copy();
        edited->setNominalTransferAccountIdentifier(a.equity);
        TWAccountingPeriodList periods;
        for (int year = 2025; year <= 2026; ++year)
            periods.append(TWAccountingPeriod::accountingPeriodWithName(
                QString::number(year), QDateTime(QDate(year, 1, 1), QTime(0, 0)),
                QDateTime(QDate(year, 12, 31), QTime(0, 0)), false, 0));
        if (failed(b().deleteAccountingPeriods(true), "deleteAccountingPeriods"))
            return false;
        qint32 next = b().nextAccountingPeriodIdentifier();
        for (const TWAccountingPeriodPtr &period : periods) {
            period->setIdentifier(next++);
            if (failed(b().addAccountingPeriod(period, true), "addAccountingPeriod"))
                return false;
        }
        edited->setAccountingPeriods(periods);
        if (failed(b().updateBusinessInfo(edited), "updateBusinessInfo") ||
            failed(b().updateAccountingPeriods(true), "updateAccountingPeriods"))
            return false;
    }
    const bool marks = shape.entry != EntryUnmarked && shape.entry != EntryEarlierMarked &&
                       shape.entry != EntryMarkedNow && shape.entry != EntryRemadeUnmarked;
    if (isBill() ? !buildBill(marks) : !buildInvoice(marks))
        return false;
    if (!addLinked(marks) || !addPayment(marks) || !reshapeEntry())
        return false;
    if (shape.entry == EntryMarkedNow && failed(b().keepDocumentEntries(), "keepDocumentEntries"))
        return false;
    if (shape.period == ClosedPeriod && !closeThePeriod())
        return false;
    if (shape.entry == EntryTaxedTotal0 && !storeTotal0())
        return false;
    return true;
}

bool ShapeRun::storeTotal0()
{
    // Older builds stored a taxed entry's total as 0: the business is saved
    // so and opened again, as a user's business from then is.
    const TWTransactionPtr stored = b().transactionWithIdentifier(entry);
    if (!stored || !stored->hasSplit())
        return true;
    twExec(b(), QStringLiteral("UPDATE transactions SET total=0, totalBusiness=0 WHERE "
                               "identifier=%1;")
                    .arg(entry));
    const QString path = QDir(dir.path()).filePath(QStringLiteral("Earlier.tallyworth"));
    if (failed(b().writeToURL(QUrl::fromLocalFile(path), TWSaveOperationSaveAs), "writeToURL"))
        return false;
    TWErrorResult error;
    auto opened = TWBusiness::businessWithURL(QUrl::fromLocalFile(path), false, &error);
    if (!opened || failed(error, "businessWithURL"))
        return false;
    controller.reset();
    business = std::move(opened);
    return true;
}

bool ShapeRun::buildInvoice(bool marks)
{
    client = TWClient::clientWithIdentifier(b().nextClientIdentifier(), QStringLiteral("Ann Lee"),
                                            QStringLiteral("Lee Studio"), 0, 0, QImage(), {}, {},
                                            QStringLiteral("ann@example.com"), QUrl(), {}, {});
    if (failed(b().addClient(client, false), "addClient"))
        return false;
    project = TWProject::projectWithDate(at(day().addDays(-30)), false, QStringLiteral("Site"),
                                         TWProjectTypeProject, at(day().addDays(-30)), {}, 10000,
                                         documentUnit(), 0.0, {}, client->identifier(),
                                         b().nextProjectIdentifier());
    if (failed(b().addProject(project, false), "addProject"))
        return false;
    TWTaskList tasks;
    if (document != TWShapeDocument::NoLines) {
        const qint64 rate = document == TWShapeDocument::CreditNote ? -50000 : 50000;
        const double tax = taxed() ? 10.0 : 0.0;
        task = TWTask::taskWithDate(at(day().addDays(-3)), true, QStringLiteral("Design"),
                                    TWTaskTypeFlat, 1.0, 1.0, rate, tax, QString(),
                                    project->identifier(), b().nextTaskIdentifier());
        task->setInvoiceQuantity(1.0);
        if (failed(b().addTask(task, false), "addTask"))
            return false;
        tasks.append(task);
    }
    if (shape.operation == OpAddLine || shape.operation == OpSignTurnedEditor) {
        // A line that turns what the lines bill to the other sign, or one
        // that adds to it.
        const qint64 rate = shape.operation == OpAddLine              ? 10000
                            : document == TWShapeDocument::CreditNote ? 80000
                                                                      : -80000;
        spareTask = TWTask::taskWithDate(at(day().addDays(-2)), true, QStringLiteral("Printing"),
                                         TWTaskTypeFlat, 1.0, 1.0, rate, 0.0, QString(),
                                         project->identifier(), b().nextTaskIdentifier());
        if (failed(b().addTask(spareTask, false), "addTask"))
            return false;
    }
    auto made = TWInvoice::invoiceWithDate(
        at(day()), QStringLiteral("1001"), QStringLiteral("Site work"), true, false,
        at(day().addDays(30)), 0, QString(), project->identifier(), b().nextInvoiceIdentifier());
    if (failed(b().addInvoice(made, false), "addInvoice") ||
        failed(b().updateInvoiceItems(made, tasks, {}), "updateInvoiceItems"))
        return false;
    invoice = made->identifier();
    if (remade()) {
        // The previous build's opening put the entry's mark on a payment
        // made before the entry was made again: the entry comes last.
        return true;
    }
    if (marks) {
        // As the editor's save books it.
        const TWAccountPtr tax = taxed() ? b().accountWithIdentifier(a.salesTax) : nullptr;
        if (failed(b().updateInvoiceTransaction(made, b().accountWithIdentifier(a.receivable),
                                                b().accountWithIdentifier(a.sales), tax),
                   "updateInvoiceTransaction"))
            return false;
        const TWTransactionPtr stored = b().invoiceEntry(*made);
        if (!stored)
            return failed(TWError(QStringLiteral("Shapes"), -1, QStringLiteral("no entry")),
                          "entry");
        entry = stored->identifier();
        labels.insert(entry, QStringLiteral("E"));
        return true;
    }
    const TWTransactionPtr t =
        linkedEntry(a.receivable, a.sales, billed(), documentUnit(), 0, 0.0, QStringLiteral("E"));
    if (!t)
        return false;
    entry = t->identifier();
    return true;
}

bool ShapeRun::buildBill(bool marks)
{
    merchant = TWMerchant::merchantWithIdentifier(
        b().nextMerchantIdentifier(), QStringLiteral("Paper Co"), QStringLiteral("Paper Co Ltd"), 0,
        0, QImage(), {}, {}, {}, QUrl(), {}, {});
    if (failed(b().addMerchant(merchant, false), "addMerchant"))
        return false;
    auto made =
        TWBill::billWithDate(at(day()), QStringLiteral("Paper"), true, false, at(day().addDays(15)),
                             0, QString(), merchant->identifier(), b().nextBillIdentifier());
    if (failed(b().addBill(made, false), "addBill"))
        return false;
    bill = made->identifier();
    if (remade())
        return true;
    if (marks) {
        // As the bill sheet charges it, its amount then typed in the register.
        TWTransactionPtr charge;
        if (failed(b().createBillCharge(made, b().accountWithIdentifier(a.payable),
                                        b().accountWithIdentifier(a.supplies), &charge),
                   "createBillCharge") ||
            !charge)
            return false;
        TWTransactionPtr edit = charge->copy();
        edit->setUnit(documentUnit());
        edit->setTotal(-billed());
        twUpdateTotals(*edit, TWTotalTypeTotal, TWTotalTypeAll, b());
        if (failed(b().updateTransaction(edit, false, false, true, false), "updateTransaction"))
            return false;
        entry = edit->identifier();
        labels.insert(entry, QStringLiteral("E"));
        return true;
    }
    const TWTransactionPtr t =
        linkedEntry(a.payable, a.supplies, -billed(), documentUnit(), 0, 0.0, QStringLiteral("E"));
    if (!t)
        return false;
    entry = t->identifier();
    return true;
}

// What lowers what is owed, as the store's sign reads on the document's own
// account: an invoice's receivable falls, a bill's payable is debited.
qint64 lowering(bool bill, qint64 amount)
{
    return bill ? amount : -amount;
}

bool ShapeRun::addLinked(bool marks)
{
    if (linkedNone(shape.linked))
        return true;
    if (shape.linked == LinkedCreditApplied)
        return applyCredit();
    const double other = marks ? 2.0 : 0.0;
    TWTransactionPtr before;
    switch (shape.linked) {
    case LinkedFeeSameDay:
    case LinkedFeeDayBefore:
    case LinkedFeeTwoDaysAfter: {
        const int days = shape.linked == LinkedFeeSameDay     ? 0
                         : shape.linked == LinkedFeeDayBefore ? -1
                                                              : 2;
        before = linkedEntry(ownAccount(), againstAccount(AgainstExpense),
                             -lowering(isBill(), 2000), home, days, other, QStringLiteral("F"));
        break;
    }
    case LinkedMoneyBefore: {
        // A credit note's money goes back to the client; the rest is paid.
        const qint64 amount =
            lowering(isBill(), 20000) * (document == TWShapeDocument::CreditNote ? -1 : 1);
        before = linkedEntry(ownAccount(), a.bank, amount, home, -7, other, QStringLiteral("L"));
        break;
    }
    case LinkedDiscountBefore:
        before = linkedEntry(ownAccount(), againstAccount(AgainstIncome), lowering(isBill(), 20000),
                             home, -2, other, QStringLiteral("L"));
        break;
    default:
        break;
    }
    if (before) {
        linkedTransaction = before->identifier();
        return true;
    }
    if (!failure.isEmpty())
        return false;
    // Linked after the payment.
    if (shape.linked >= kLinkedCount)
        return true;
    const double mark = marks ? 2.0 : 0.0;
    TWTransactionPtr t;
    if (linkedZero(shape.linked)) {
        t = linkedEntry(ownAccount(), a.bank, 0, home, 5, mark, QStringLiteral("L"));
    } else {
        const qint64 amount = lowering(isBill(), 20000) * (linkedRaises(shape.linked) ? -1 : 1);
        t = linkedEntry(ownAccount(), againstAccount(linkedAgainst(shape.linked)), amount, home, 5,
                        mark, QStringLiteral("L"));
    }
    if (!t)
        return false;
    linkedTransaction = t->identifier();
    return true;
}

// What the document is owed now by its own account's rows, in the home unit.
qint64 owedNow(TWBusiness &b, qint32 account, std::uint32_t type, qint32 child)
{
    qint64 sum = 0;
    for (const TWRelationshipPtr &link : b.relationshipsWithChildIdentifier(child, type)) {
        const TWTransactionPtr t = b.transactionWithIdentifier(link->transactionIdentifier());
        if (!t)
            continue;
        if (t->splits().isEmpty()) {
            if (t->account1Identifier() == account)
                sum += t->totalBusiness();
            if (t->account2Identifier() == account)
                sum -= t->totalBusiness();
        } else {
            for (const TWSplitPtr &split : t->splits())
                if (split->accountIdentifier() == account)
                    sum += split->totalBusiness();
        }
    }
    return sum;
}

bool ShapeRun::applyCredit()
{
    // The other document of the project, with an entry of its own: a credit
    // note of 200.00 beside an invoice, an invoice of 200.00 beside a credit
    // note.
    const qint64 other = document == TWShapeDocument::CreditNote ? 20000 : -20000;
    auto line = TWTask::taskWithDate(at(day().addDays(-3)), true, QStringLiteral("Credit"),
                                     TWTaskTypeFlat, 1.0, 1.0, other, 0.0, QString(),
                                     project->identifier(), b().nextTaskIdentifier());
    line->setInvoiceQuantity(1.0);
    if (failed(b().addTask(line, false), "addTask"))
        return false;
    auto made = TWInvoice::invoiceWithDate(
        at(day()), QStringLiteral("1002"), QStringLiteral("Credit"), true, false,
        at(day().addDays(30)), 0, QString(), project->identifier(), b().nextInvoiceIdentifier());
    if (failed(b().addInvoice(made, false), "addInvoice") ||
        failed(b().updateInvoiceItems(made, {line}, {}), "updateInvoiceItems") ||
        failed(b().updateInvoiceTransaction(made, b().accountWithIdentifier(a.receivable),
                                            b().accountWithIdentifier(a.sales), nullptr),
               "updateInvoiceTransaction"))
        return false;
    if (const TWTransactionPtr booked = b().invoiceEntry(*made))
        labels.insert(booked->identifier(), QStringLiteral("E2"));
    // Applied in one transaction: a line off each document's receivable.
    TWTransactionPtr t = std::make_shared<TWTransaction>();
    t->setIdentifier(b().nextTransactionIdentifier());
    t->setDate(at(day().addDays(5)));
    t->setPayee(client->company());
    t->setDescription(QStringLiteral("C"));
    const qint32 first = b().nextSplitIdentifier();
    const TWUnitPtr unit = documentUnit();
    t->setHasSplit(true);
    t->setSplits(
        {TWSplit::splitWithIdentifier(first, QString(), a.receivable, other, 0, 0, 0, 0, unit),
         TWSplit::splitWithIdentifier(first + 1, QString(), a.receivable, -other, 0, 0, 0, 0,
                                      unit)});
    t->setUnit(unit);
    twUpdateSplitTotals(*t, b());
    t->setTotal(20000);
    twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b());
    for (const TWSplitPtr &split : t->splits())
        if (split->totalBusiness() > 0)
            t->setTotalBusiness(split->totalBusiness());
    if (failed(b().addTransaction(t, false, false, false, false), "addTransaction"))
        return false;
    const std::array<std::pair<qint32, qint32>, 2> applied = {
        std::pair{invoice, first}, std::pair{made->identifier(), first + 1}};
    for (const auto &[document, split] : applied)
        if (failed(b().addRelationship(TWRelationship::relationshipWithType(
                                           linkType(), 2.0, parent(), document, t->identifier(),
                                           split, b().nextRelationshipIdentifier()),
                                       false),
                   "addRelationship"))
            return false;
    labels.insert(t->identifier(), QStringLiteral("C"));
    linkedTransaction = t->identifier();
    return true;
}

bool ShapeRun::addPayment(bool marks)
{
    const bool after = shape.linked == LinkedRefundAfter || shape.linked == LinkedChargeAfter;
    if (shape.paid == Unpaid && !after)
        return true;
    // What the entry and the linked transaction leave owed (at least the
    // lines' amount, for an entry not booked yet).
    qint64 owed = owedNow(b(), ownAccount(), linkType(), child());
    if (remade())
        owed += isBill() ? -billed() : billed();
    if (shape.unit == OtherUnit && shape.entry == EntryEarlierMarked)
        owed = isBill() ? -billed() : billed();
    qint64 pay = isBill() ? -owed : owed;
    if (after) {
        // Paid in full in the home unit (a tenth more, to be refunded), then
        // the bank's money moves the other way.
        const qint64 beyond = shape.linked == LinkedRefundAfter ? pay / 10 : 0;
        if (!linkedEntry(ownAccount(), a.bank, lowering(isBill(), pay + beyond), home, 10,
                         marks ? 2.0 : 0.0, QStringLiteral("P")))
            return false;
        const qint64 back = shape.linked == LinkedRefundAfter ? beyond : 5000;
        const TWTransactionPtr t = linkedEntry(ownAccount(), a.bank, -lowering(isBill(), back),
                                               home, 12, marks ? 2.0 : 0.0, QStringLiteral("L"));
        if (t)
            linkedTransaction = t->identifier();
        return bool(t);
    }
    if (shape.paid == PartlyPaid)
        pay = pay * 2 / 5;
    if (pay == 0)
        return true;
    const TWTransactionPtr t = linkedEntry(ownAccount(), a.bank, lowering(isBill(), pay), home, 10,
                                           marks ? 2.0 : 0.0, QStringLiteral("P"));
    return bool(t);
}

bool ShapeRun::reshapeEntry()
{
    if (remade()) {
        // The entry made again after the payments; the previous build's
        // opening marked the first transaction that lowers what is owed as
        // the entry, the rest as others.
        const TWTransactionPtr t = isBill()
                                       ? linkedEntry(a.payable, a.supplies, -billed(),
                                                     documentUnit(), 0, 0.0, QStringLiteral("E"))
                                       : linkedEntry(a.receivable, a.sales, billed(),
                                                     documentUnit(), 0, 0.0, QStringLiteral("E"));
        if (!t)
            return false;
        entry = t->identifier();
        // Links an earlier build stored say nothing.
        if (shape.entry == EntryRemadeUnmarked)
            return true;
        qint32 marked = 0;
        for (const TWRelationshipPtr &link :
             b().relationshipsWithChildIdentifier(child(), linkType())) {
            const TWTransactionPtr linked =
                b().transactionWithIdentifier(link->transactionIdentifier());
            if (!marked && linked && linked->identifier() != entry) {
                qint64 own = 0;
                if (linked->account1Identifier() == ownAccount())
                    own = linked->total();
                if ((isBill() && own > 0) || (!isBill() && own < 0))
                    marked = linked->identifier();
            }
        }
        if (!marked)
            marked = entry;
        for (const TWRelationshipPtr &link :
             b().relationshipsWithChildIdentifier(child(), linkType())) {
            TWRelationshipPtr edit = link->copy();
            edit->setValue(link->transactionIdentifier() == marked ? 1.0 : 2.0);
            if (failed(b().updateRelationship(edit, false), "updateRelationship"))
                return false;
        }
        return true;
    }
    const TWTransactionPtr stored = b().transactionWithIdentifier(entry);
    if (!stored)
        return true;
    TWTransactionPtr edit = stored->copy();
    const auto moveSide = [&](qint32 to) {
        if (edit->splits().isEmpty()) {
            if (edit->account1Identifier() != ownAccount())
                edit->setAccount1Identifier(to);
            else
                edit->setAccount2Identifier(to);
        } else {
            for (const TWSplitPtr &split : edit->splits())
                if (split->accountIdentifier() != ownAccount() &&
                    split->accountIdentifier() != a.salesTax)
                    split->setAccountIdentifier(to);
        }
    };
    switch (Entry(shape.entry)) {
    case EntryToLiability:
        moveSide(a.credits);
        break;
    case EntryToExpense:
        moveSide(isBill() ? a.fees : a.fees);
        break;
    case EntryToOtherIncome:
        moveSide(isBill() ? a.otherIncome : a.otherIncome);
        break;
    case EntryTaxToLiability:
        if (edit->splits().isEmpty()) {
            // A bill's charge has no tax line of its own: its charge is
            // booked to the liability in part.
            if (!isBill())
                return true;
            edit->setAccount2Identifier(a.vat);
        } else {
            for (const TWSplitPtr &split : edit->splits())
                if (split->accountIdentifier() == a.salesTax)
                    split->setAccountIdentifier(a.vat);
        }
        break;
    case EntryTaxedIncomeMoved:
    case EntryTaxedTaxMoved: {
        const qint32 from = shape.entry == EntryTaxedIncomeMoved ? a.sales : a.salesTax;
        const qint32 to = shape.entry == EntryTaxedIncomeMoved ? a.otherIncome : a.stateTax;
        for (const TWSplitPtr &split : edit->splits())
            if (split->accountIdentifier() == from)
                split->setAccountIdentifier(to);
        break;
    }
    case EntryTyped:
        if (!edit->splits().isEmpty())
            return true;
        switch (document) {
        case TWShapeDocument::Invoice:
        case TWShapeDocument::NoLines:
            edit->setTotal(75000);
            break;
        case TWShapeDocument::CreditNote:
            edit->setTotal(-10000);
            break;
        case TWShapeDocument::Bill:
            edit->setTotal(-45000);
            break;
        case TWShapeDocument::BillCredit:
            edit->setTotal(10000);
            break;
        }
        break;
    case EntryDeleted:
        if (failed(b().deleteTransaction(edit, false, false, false), "deleteTransaction"))
            return false;
        return true;
    default:
        return true;
    }
    if (edit->splits().isEmpty()) {
        twUpdateTotals(*edit, TWTotalTypeTotal, TWTotalTypeAll, b());
    } else {
        for (const TWSplitPtr &split : edit->splits())
            twUpdateTotals(*split, TWTotalTypeTotal, TWTotalTypeAll, b());
    }
    return !failed(b().updateTransaction(edit, false, false, true, false), "updateTransaction");
}

bool ShapeRun::closeThePeriod()
{
    TWBusinessInfoPtr info = b().businessInfo()->copy();
    TWAccountingPeriodList periods = TWAccountingPeriod::copyPeriods(info->accountingPeriods());
    if (periods.isEmpty())
        return failed(TWError(QStringLiteral("Shapes"), -1, QStringLiteral("no periods")),
                      "periods");
    periods.first()->setClosed(true);
    info->setAccountingPeriods(periods);
    if (failed(b().updateBusinessInfo(info), "updateBusinessInfo") ||
        failed(b().deleteAccountingPeriods(true), "deleteAccountingPeriods"))
        return false;
    for (const TWAccountingPeriodPtr &period : periods)
        if (failed(b().addAccountingPeriod(period, true), "addAccountingPeriod"))
            return false;
    return !failed(b().updateAccountingPeriods(true), "updateAccountingPeriods") &&
           !failed(b().updateTransactionStates(), "updateTransactionStates");
}

// ---- The operations ----

// The documents of the business: invoices by identifier, bills negated.
QSet<qint32> documentSet(TWBusiness &b)
{
    QSet<qint32> set;
    for (const TWInvoicePtr &invoice : b.invoices())
        set.insert(invoice->identifier());
    for (const TWBillPtr &bill : b.bills())
        set.insert(-bill->identifier());
    return set;
}

QString firstLine(const QString &text)
{
    QString line = text.section(u'\n', 0, 0).simplified();
    if (line.size() > 80)
        line = line.left(77) + QStringLiteral("...");
    return line;
}

void ShapeRun::operate()
{
    const auto note = [this](const TWErrorResult &error, const QStringList &alerts) {
        if (error)
            result = firstLine(error->localizedDescription());
        else if (!prompts().errors.isEmpty())
            result = firstLine(prompts().errors.first().localizedDescription());
        else if (!alerts.isEmpty())
            result = QStringLiteral("asked: ") + firstLine(alerts.first());
        prompts().errors.clear();
    };
    // The document the sheets edit: the row's own, or the copy a duplicate made.
    qint32 editedInvoice = invoice, editedBill = bill;
    const auto invoiceEditor =
        [this, &note, &editedInvoice](const std::function<void(TWInvoiceController &)> &edit) {
            AlertAnswers alerts;
            TWInvoiceController editor;
            TWErrorResult shown;
            QObject::connect(&editor, &TWInvoiceController::errorPresented,
                             [&shown](const TWError &error) {
                                 if (!shown)
                                     shown = error;
                             });
            editor.setInvoice(b().invoiceWithIdentifier(editedInvoice));
            editor.setMode(TWEditorMode::Existing);
            editor.setBusinessController(&doc());
            editor.setBusiness(&b());
            editor.update();
            if (edit)
                edit(editor);
            editor.saveButton()->click();
            settle();
            note(shown, alerts.messages);
            if (result.isEmpty() && !editor.saved())
                result = QStringLiteral("not saved");
        };
    const auto billSheet = [this, &note,
                            &editedBill](const std::function<void(TWBillController &)> &edit) {
        AlertAnswers alerts;
        TWBillController sheet;
        sheet.setBusinessController(&doc());
        sheet.setBusiness(&b());
        sheet.setMode(TWEditorMode::Existing);
        sheet.setBill(b().billWithIdentifier(editedBill));
        sheet.update();
        if (edit)
            edit(sheet);
        sheet.saveButton()->click();
        settle();
        note(std::nullopt, alerts.messages);
        if (result.isEmpty() && !sheet.saved())
            result = QStringLiteral("not saved");
    };
    const QString noSuch = QStringLiteral("n/a");
    switch (Operation(shape.operation)) {
    case OpOpen: {
        const QString path = QDir(dir.path()).filePath(QStringLiteral("Shapes.tallyworth"));
        if (TWErrorResult error =
                b().writeToURL(QUrl::fromLocalFile(path), TWSaveOperationSaveAs)) {
            result = QStringLiteral("write: ") + firstLine(error->localizedDescription());
            return;
        }
        TWErrorResult error;
        auto opened = TWBusiness::businessWithURL(QUrl::fromLocalFile(path), false, &error);
        if (!opened || error) {
            result = QStringLiteral("open: ") +
                     (error ? firstLine(error->localizedDescription()) : QString());
            return;
        }
        controller.reset();
        business = std::move(opened);
        return;
    }
    case OpSave:
        if (isBill())
            billSheet({});
        else
            invoiceEditor({});
        return;
    case OpAddLine:
    case OpSignTurnedEditor: // the spare line's sign is the other one there
        if (isBill() || !spareTask) {
            result = noSuch;
            return;
        }
        invoiceEditor([this](TWInvoiceController &editor) {
            TWInvoiceItemsModel *model = editor.tasksModel();
            for (int row = 0; row < model->rowCount(); ++row)
                if (const TWInvoiceItemPtr item = model->itemAt(row);
                    item && item->identifier() == spareTask->identifier())
                    model->setOnInvoice(row, true);
        });
        return;
    case OpRaiseRate:
    case OpSignTurnedTask: {
        if (isBill() || !task) {
            result = noSuch;
            return;
        }
        AlertAnswers alerts;
        TWTaskController sheet;
        sheet.setBusinessController(&doc());
        sheet.setBusiness(&b());
        sheet.setMode(TWEditorMode::Existing);
        sheet.setTask(b().taskWithIdentifier(task->identifier()));
        sheet.update();
        const bool credit = document == TWShapeDocument::CreditNote;
        if (shape.operation == OpSignTurnedTask)
            sheet.rateField()->setText(credit ? QStringLiteral("100.00")
                                              : QStringLiteral("-100.00"));
        else if (shape.unit == YenUnit) // above the 50,000 billed, in yen
            sheet.rateField()->setText(credit ? QStringLiteral("-60000") : QStringLiteral("60000"));
        else
            sheet.rateField()->setText(credit ? QStringLiteral("-600.00")
                                              : QStringLiteral("600.00"));
        sheet.saveButton()->click();
        settle();
        note(std::nullopt, alerts.messages);
        if (result.isEmpty() && !sheet.saved())
            result = QStringLiteral("not saved");
        return;
    }
    case OpMoveDate:
        if (isBill())
            billSheet([](TWBillController &sheet) {
                sheet.datePicker()->setDateTime(sheet.datePicker()->dateTime().addDays(3));
            });
        else
            invoiceEditor([](TWInvoiceController &editor) {
                editor.datePicker()->setDate(editor.datePicker()->date().addDays(3));
            });
        return;
    case OpUnitChange: {
        if (isBill()) {
            result = noSuch;
            return;
        }
        TWProjectPtr edit = b().projectWithIdentifier(project->identifier())->copy();
        edit->setUnit(shape.unit == OtherUnit ? home : other);
        if (TWErrorResult error = b().updateProject(edit, true)) {
            result = QStringLiteral("unit: ") + firstLine(error->localizedDescription());
            return;
        }
        invoiceEditor({});
        return;
    }
    case OpDuplicate:
    case OpDuplicateSaved: {
        const QSet<qint32> documentsBefore = documentSet(b());
        AlertAnswers alerts;
        if (isBill()) {
            TWMerchantController view(nullptr, TWMerchantController::ModeMerchants);
            view.setBusinessController(&doc());
            view.setBusiness(&b());
            view.view()->resize(1000, 600);
            view.setMerchants({b().merchantWithIdentifier(merchant->identifier())});
            const int row = view.billRow(*b().billWithIdentifier(bill));
            if (row < 0) {
                result = QStringLiteral("not listed");
                return;
            }
            const QModelIndex index = view.table()->model()->index(row, 0);
            view.table()->table()->selectionModel()->select(QItemSelection(index, index),
                                                            QItemSelectionModel::ClearAndSelect |
                                                                QItemSelectionModel::Rows);
            view.duplicateSelectedBill(false);
        } else {
            TWInvoicesController list;
            list.setBusinessController(&doc());
            list.setBusiness(&b());
            list.setMode(0);
            list.setProjects({b().projectWithIdentifier(project->identifier())});
            list.view()->resize(900, 600);
            list.update();
            const int row = list.invoiceRow(*b().invoiceWithIdentifier(invoice));
            if (row < 0) {
                result = QStringLiteral("not listed");
                return;
            }
            list.selectRows({row});
            list.duplicateSelectedInvoice(false);
        }
        settle();
        note(std::nullopt, alerts.messages);
        if (shape.operation != OpDuplicateSaved)
            return;
        // The copy opened in its sheet and saved as it stands.
        for (const qint32 made : documentSet(b()) - documentsBefore) {
            if (made < 0 && isBill()) {
                editedBill = -made;
                billSheet({});
            } else if (made > 0 && !isBill()) {
                editedInvoice = made;
                invoiceEditor({});
            }
        }
        return;
    }
    case OpRepeat: {
        auto repeat = TWRepeat::repeatWithType(isBill() ? TWRepeatTypeBill : TWRepeatTypeInvoice, 1,
                                               TWRepeatIntervalUnitMonth, QDateTime(), true,
                                               b().nextRepeatIdentifier());
        if (TWErrorResult error = b().addRepeat(repeat, false)) {
            result = QStringLiteral("repeat: ") + firstLine(error->localizedDescription());
            return;
        }
        TWErrorResult error;
        if (isBill()) {
            TWBillPtr edit = b().billWithIdentifier(bill)->copy();
            edit->setRepeatIdentifier(repeat->identifier());
            error = b().updateBill(edit, false);
        } else {
            TWInvoicePtr edit = b().invoiceWithIdentifier(invoice)->copy();
            edit->setRepeatIdentifier(repeat->identifier());
            error = b().updateInvoice(edit, false);
        }
        if (!error)
            error = b().updateRepeatItems(true, true);
        note(error, {});
        return;
    }
    case OpRatesDearer:
    case OpRatesCheaper: {
        const TWUnitPtr unit = b().unitWithCode(documentUnit()->code());
        if (!unit || unit->isEqual(*home)) {
            result = noSuch;
            return;
        }
        // Units per home unit: a dearer unit takes fewer of it.
        const double factor = shape.operation == OpRatesDearer ? 1.07 : 0.95;
        unit->setRate(unit->rate() / factor);
        unit->setLastUpdatedDate(TWClock::now());
        note(b().updateUnitRate(unit, true), {});
        return;
    }
    case OpDeleteLinked: {
        const TWTransactionPtr linked = b().transactionWithIdentifier(linkedTransaction);
        if (!linked) {
            result = noSuch;
            return;
        }
        // The register refuses a closed or locked transaction before the
        // store is asked.
        if (linked->state() != 0) {
            result = firstLine(twClosedDeleteText(b(), *linked));
            return;
        }
        note(b().deleteTransactions({linked}, true, true, true), {});
        return;
    }
    }
}

// ---- The readings ----

QString accountName(TWBusiness &b, qint32 identifier)
{
    const TWAccountPtr account = b.accountWithIdentifier(identifier);
    return account ? account->name() : QStringLiteral("#%1").arg(identifier);
}

// A transaction's rows: each account with its amount (debit-positive), in
// the transaction's unit when it is not the home unit.
int placesOf(const TWUnitPtr &unit)
{
    return unit ? int(unit->decimalPlaces()) : 2;
}

QString rowsOf(TWBusiness &b, const TWTransaction &t)
{
    QStringList rows;
    const int places = placesOf(t.unit());
    if (t.splits().isEmpty()) {
        rows.append(QStringLiteral("%1 %2").arg(accountName(b, t.account1Identifier()),
                                                money(t.total(), places)));
        rows.append(QStringLiteral("%1 %2").arg(accountName(b, t.account2Identifier()),
                                                money(-t.total(), places)));
    } else {
        for (const TWSplitPtr &split : t.splits())
            rows.append(
                QStringLiteral("%1 %2").arg(accountName(b, split->accountIdentifier()),
                                            money(split->total(), placesOf(split->unit()))));
    }
    QString text = rows.join(QStringLiteral(", "));
    // A split transaction's own total, which filters and reports read.
    if (!t.splits().isEmpty())
        text += QStringLiteral(" (total %1)").arg(money(t.total(), places));
    if (t.unit() && b.homeUnit() && !t.unit()->isEqual(*b.homeUnit()))
        text += QLatin1Char(' ') + t.unit()->code();
    return text;
}

QString dumpOf(TWBusiness &b, const TWTransaction &t)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(t.date().date().toString(Qt::ISODate), rowsOf(b, t), t.description())
        .arg(t.state());
}

QHash<qint32, QString> transactionDump(TWBusiness &b)
{
    QHash<qint32, QString> dump;
    for (const TWTransactionPtr &t : b.transactions())
        dump.insert(t->identifier(), dumpOf(b, *t));
    return dump;
}

QStringList linkDump(TWBusiness &b)
{
    QStringList dump;
    for (const TWRelationshipPtr &link : b.relationships())
        dump.append(QStringLiteral("%1 %2 %3 %4 %5 %6")
                        .arg(link->type())
                        .arg(link->value())
                        .arg(link->parentIdentifier())
                        .arg(link->childIdentifier())
                        .arg(link->transactionIdentifier())
                        .arg(link->splitIdentifier()));
    dump.sort();
    return dump;
}

QString percent(float share)
{
    return QString::number(qRound(double(share) * 1000.0) / 10.0, 'f', 1) + QLatin1Char('%');
}

QStringList ShapeRun::readings(const QHash<qint32, QString> &before, const QStringList &beforeLinks,
                               const QSet<qint32> &documentsBefore)
{
    TWBusiness &bz = b();
    // New transactions are named in the order they were made.
    QList<qint32> fresh;
    for (const TWTransactionPtr &t : bz.transactions())
        if (!before.contains(t->identifier()))
            fresh.append(t->identifier());
    std::sort(fresh.begin(), fresh.end());
    for (int i = 0; i < fresh.size(); ++i)
        if (!labels.contains(fresh[i]))
            labels.insert(fresh[i], QStringLiteral("N%1").arg(i + 1));
    const auto label = [this](qint32 id) {
        return id == 0 ? QStringLiteral("none") : labels.value(id, QStringLiteral("X"));
    };

    // The document's entry, its linked rows.
    const auto documentReadings = [&](qint32 id, bool bill) {
        QStringList cells;
        TWTransactionPtr storeEntry;
        TWTransactionList linked;
        if (bill) {
            const TWBillPtr record = bz.billWithIdentifier(id);
            if (!record)
                return QStringList{QStringLiteral("gone")};
            storeEntry = bz.billCharge(*record);
        } else {
            const TWInvoicePtr record = bz.invoiceWithIdentifier(id);
            if (!record)
                return QStringList{QStringLiteral("gone")};
            storeEntry = bz.invoiceEntry(*record);
        }
        cells.append(label(storeEntry ? storeEntry->identifier() : 0));
        QStringList rows;
        QList<TWRelationshipPtr> links = bz.relationshipsWithChildIdentifier(
            id, bill ? TWRelationshipTypeBillPayment : TWRelationshipTypeInvoicePayment);
        std::sort(links.begin(), links.end(), [](const auto &x, const auto &y) {
            return x->transactionIdentifier() < y->transactionIdentifier();
        });
        for (const TWRelationshipPtr &link : links) {
            const TWTransactionPtr t = bz.transactionWithIdentifier(link->transactionIdentifier());
            rows.append(QStringLiteral("%1[%2] %3")
                            .arg(label(link->transactionIdentifier()))
                            .arg(link->value())
                            .arg(t ? rowsOf(bz, *t) : QStringLiteral("missing")));
        }
        cells.append(rows.join(QStringLiteral("; ")));
        return cells;
    };

    QStringList cells;
    cells.append(result.isEmpty() ? QStringLiteral("ok") : result);
    cells += documentReadings(child(), isBill());
    if (cells.size() < 3)
        cells.append(QString());

    // The list's figures, the printed page, the client's balance.
    QString list, printed, owes;
    if (isBill()) {
        if (const TWBillPtr record = bz.billWithIdentifier(bill)) {
            twUpdateTransactions(*record, bz);
            const qint64 total = twTotal(*record, bz);
            const qint64 owe = twOwe(*record, bz);
            list = QStringLiteral("%1 / %2 / %3 / %4")
                       .arg(money(total), money(total - owe), money(owe),
                            percent(twPercentPaid(*record, bz)));
        }
        qint64 merchantOwes = 0;
        for (const TWBillPtr &record :
             bz.billsWithMerchant(*bz.merchantWithIdentifier(merchant->identifier()))) {
            twUpdateTransactions(*record, bz);
            merchantOwes += twOwe(*record, bz);
        }
        owes = money(merchantOwes);
        printed = QStringLiteral("-");
    } else {
        if (const TWInvoicePtr record = bz.invoiceWithIdentifier(invoice)) {
            // The list and the page show the project's unit.
            const TWProjectPtr owner = bz.projectWithIdentifier(project->identifier());
            const int places = placesOf(owner ? owner->unit() : nullptr);
            const auto money = [places](qint64 minor) { return ::money(minor, places); };
            twUpdateTransactions(*record, bz);
            const TWPaymentTotals totals = twPaymentTotals(*record, bz);
            list = QStringLiteral("%1 / %2 / %3 / %4")
                       .arg(money(totals.charges), money(totals.payments), money(totals.owe),
                            percent(totals.percentPaid));
            twUpdateTasksExpenses(*record, bz);
            const TWSendInvoiceDataPtr data = twDefaultSendInvoiceData(bz);
            twUpdateSendInvoiceData(*data, *record, bz);
            QStringList lines;
            qint64 due = 0;
            for (const TWInvoiceItemPtr &item : data->items()) {
                qint64 subtotal = 0, tax = 0;
                if (item->type() == TWInvoiceItemTypeTask) {
                    const auto line = std::static_pointer_cast<TWTask>(item);
                    subtotal = line->invoiceSubtotal();
                    tax = line->invoiceTax();
                    lines.append(QStringLiteral("%1 %2%3").arg(
                        item->name(), money(subtotal),
                        tax ? QStringLiteral("+") + money(tax) : QString()));
                } else if (item->type() == TWInvoiceItemTypeExpense) {
                    const auto line = std::static_pointer_cast<TWExpense>(item);
                    subtotal = line->invoiceSubtotal();
                    tax = line->invoiceTax();
                    lines.append(QStringLiteral("%1 %2").arg(
                        line->isCharge() ? QStringLiteral("charge") : item->name(),
                        money(subtotal)));
                }
                due += subtotal + tax;
            }
            const bool showsPayments = data->displayTagValue(TWDisplayTotalPayments) &&
                                       data->displayTagValue(TWDisplayTotalDue);
            if (showsPayments)
                due -= data->payments();
            if (data->displayTagValue(TWDisplayTotalBalance))
                due += data->balance();
            printed = QStringLiteral("%1 / paid %2 / due %3")
                          .arg(lines.isEmpty() ? QStringLiteral("no lines")
                                               : lines.join(QStringLiteral(", ")),
                               money(data->payments()), money(due));
        }
        qint64 clientOwes = 0;
        for (const TWInvoicePtr &record :
             bz.invoicesWithProject(*bz.projectWithIdentifier(project->identifier()))) {
            twUpdateTransactions(*record, bz);
            clientOwes += twHomeOwe(*record, bz);
        }
        owes = money(clientOwes);
    }
    cells << list << printed << owes;

    // Every account balance the business holds (each shape has its own business).
    QMap<QString, qint64> balances;
    const QHash<qint32, qint64> all = bz.accountBalances(QDateTime(QDate(2099, 12, 31), QTime()));
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        if (it.value() != 0)
            balances.insert(accountName(bz, it.key()), it.value());
    QStringList balanceCells;
    for (auto it = balances.cbegin(); it != balances.cend(); ++it)
        balanceCells.append(QStringLiteral("%1 %2").arg(it.key(), money(it.value())));
    cells.append(balanceCells.join(QStringLiteral(", ")));

    // What the operation wrote.
    const QHash<qint32, QString> now = transactionDump(bz);
    QStringList wrote;
    QList<qint32> ids = now.keys();
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (!now.contains(it.key()))
            ids.append(it.key());
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    for (const qint32 id : std::as_const(ids)) {
        const bool was = before.contains(id), is = now.contains(id);
        if (was && is && before.value(id) == now.value(id))
            continue;
        // Only the document's own transactions and those made now are named;
        // the year-end transfers are counted.
        QString what = was && is ? QStringLiteral("~")
                       : is      ? QStringLiteral("+")
                                 : QStringLiteral("-");
        wrote.append(what + label(id));
    }
    const QStringList linksNow = linkDump(bz);
    int linkChanges = 0;
    {
        const QSet<QString> was(beforeLinks.cbegin(), beforeLinks.cend());
        const QSet<QString> is(linksNow.cbegin(), linksNow.cend());
        linkChanges = int((is - was).size() + (was - is).size());
    }
    if (linkChanges)
        wrote.append(QStringLiteral("links %1").arg(linkChanges));
    cells.append(wrote.isEmpty() ? QStringLiteral("nothing") : wrote.join(u' '));

    // Copies a duplicate or a repeat made: each one's entry and linked rows.
    QStringList copies;
    QList<qint32> made;
    for (const qint32 id : documentSet(bz))
        if (!documentsBefore.contains(id))
            made.append(id);
    std::sort(made.begin(), made.end(),
              [](qint32 x, qint32 y) { return std::abs(x) < std::abs(y); });
    for (const qint32 id : std::as_const(made)) {
        const QStringList copy = documentReadings(std::abs(id), id < 0);
        QString date;
        if (id < 0)
            date = bz.billWithIdentifier(-id)->date().date().toString(Qt::ISODate);
        else
            date = bz.invoiceWithIdentifier(id)->date().date().toString(Qt::ISODate);
        copies.append(QStringLiteral("%1 entry %2: %3").arg(date, copy.value(0), copy.value(1)));
    }
    cells.append(copies.isEmpty() ? QStringLiteral("-") : copies.join(QStringLiteral("; ")));
    return cells;
}

} // namespace

const QList<QStringList> &twDocumentShapeDimensions()
{
    static const QList<QStringList> dimensions = [] {
        QStringList linked = {QStringLiteral("none")};
        for (const char *name : kAgainstNames) {
            linked.append(QStringLiteral("%1 lowering").arg(QLatin1String(name)));
            linked.append(QStringLiteral("%1 raising").arg(QLatin1String(name)));
        }
        linked.append(QStringLiteral("0.00"));
        linked.append(QStringLiteral("bank refund after overpayment"));
        linked.append(QStringLiteral("bank charge after payment"));
        linked.append(QStringLiteral("credit applied"));
        linked.append(QStringLiteral("fee same day"));
        linked.append(QStringLiteral("fee the day before"));
        linked.append(QStringLiteral("fee two days after"));
        linked.append(QStringLiteral("bank before the document"));
        linked.append(QStringLiteral("discount before the document"));
        return QList<QStringList>{
            {QStringLiteral("invoice"), QStringLiteral("credit note"),
             QStringLiteral("invoice without lines"), QStringLiteral("bill"),
             QStringLiteral("bill credit")},
            {QStringLiteral("home"), QStringLiteral("EUR"), QStringLiteral("JPY")},
            {QStringLiteral("unpaid"), QStringLiteral("part paid"), QStringLiteral("paid")},
            {QStringLiteral("open"), QStringLiteral("closed")},
            {QStringLiteral("editor"), QStringLiteral("to liability"), QStringLiteral("to expense"),
             QStringLiteral("to other income"), QStringLiteral("tax to liability"),
             QStringLiteral("typed"), QStringLiteral("deleted"), QStringLiteral("unmarked"),
             QStringLiteral("earlier marked"), QStringLiteral("marked now"),
             QStringLiteral("taxed total 0"), QStringLiteral("remade unmarked"),
             QStringLiteral("taxed income moved"), QStringLiteral("taxed tax moved")},
            linked,
            {QStringLiteral("open"), QStringLiteral("save"), QStringLiteral("line added"),
             QStringLiteral("rate raised"), QStringLiteral("date moved"),
             QStringLiteral("unit changed"), QStringLiteral("duplicate"), QStringLiteral("repeat"),
             QStringLiteral("linked deleted"), QStringLiteral("duplicate saved"),
             QStringLiteral("sign turned in editor"), QStringLiteral("sign turned in task sheet"),
             QStringLiteral("rates moved 7% dearer"), QStringLiteral("rates moved 5% cheaper")},
        };
    }();
    return dimensions;
}

namespace
{

int &field(TWDocumentShape &s, int dimension)
{
    switch (dimension) {
    case 0:
        return s.document;
    case 1:
        return s.unit;
    case 2:
        return s.paid;
    case 3:
        return s.period;
    case 4:
        return s.entry;
    case 5:
        return s.linked;
    default:
        return s.operation;
    }
}

int fieldOf(const TWDocumentShape &s, int dimension)
{
    return field(const_cast<TWDocumentShape &>(s), dimension);
}

// The values of each dimension the crossed and paired rows meet; the values
// after them are met only in the rows added for them, so that the rows before
// keep their keys.
constexpr std::array<int, 7> kCrossedValues = {
    5, 2, 3, 2, EntryTaxedTotal0 + 1, kLinkedCount, OpDeleteLinked + 1};

TWDocumentShape shapeOf(TWShapeDocument document, Unit unit, Paid paid, Entry entry, int linked,
                        Operation operation)
{
    TWDocumentShape s;
    s.document = int(document);
    s.unit = unit;
    s.paid = paid;
    s.period = OpenPeriod;
    s.entry = entry;
    s.linked = linked;
    s.operation = operation;
    return s;
}

// Rows for shapes met later: each named by what it holds.
QList<TWDocumentShape> laterShapes()
{
    QList<TWDocumentShape> all;
    const auto everyOperation = [](const std::function<void(Operation)> &add) {
        for (int o = 0; o <= OpDuplicateSaved; ++o)
            add(Operation(o));
    };
    // Money given back or paid out after an invoice was paid, in its own
    // unit and another.
    for (const Unit unit : {HomeUnit, OtherUnit, YenUnit})
        for (const int linked : {int(LinkedRefundAfter), int(LinkedChargeAfter)})
            everyOperation([&](Operation o) {
                all.append(
                    shapeOf(TWShapeDocument::Invoice, unit, FullyPaid, EntryEditor, linked, o));
            });
    // A credit applied to an invoice, read from either document.
    for (const TWShapeDocument d : {TWShapeDocument::Invoice, TWShapeDocument::CreditNote})
        for (const Unit unit : {HomeUnit, OtherUnit})
            for (const Operation o : {OpOpen, OpSave, OpUnitChange})
                all.append(shapeOf(d, unit, Unpaid, EntryEditor, LinkedCreditApplied, o));
    // A taxed entry with one of its lines moved to another account of its kind.
    for (const TWShapeDocument d : {TWShapeDocument::Invoice, TWShapeDocument::CreditNote})
        for (const Entry e : {EntryTaxedIncomeMoved, EntryTaxedTaxMoved})
            everyOperation([&](Operation o) { all.append(shapeOf(d, HomeUnit, Unpaid, e, 0, o)); });
    // A duplicate of an entry moved off income, saved as it stands.
    for (const TWShapeDocument d : {TWShapeDocument::Invoice, TWShapeDocument::CreditNote})
        for (const Entry e : {EntryToExpense, EntryToLiability})
            for (const Operation o : {OpDuplicate, OpDuplicateSaved})
                all.append(shapeOf(d, HomeUnit, Unpaid, e, 0, o));
    // An entry made again after a discount, a late fee or a further charge,
    // the links unmarked or marked by an earlier build's opening.
    const auto linkedThrough = [](Against against, bool raising) {
        return 1 + 2 * int(against) + (raising ? 1 : 0);
    };
    for (const Entry e : {EntryRemadeUnmarked, EntryEarlierMarked})
        for (const int linked :
             {linkedThrough(AgainstIncome, false), linkedThrough(AgainstIncome, true),
              linkedThrough(AgainstTax, true), linkedThrough(AgainstExpense, true),
              linkedThrough(AgainstBank, true)})
            everyOperation([&](Operation o) {
                all.append(shapeOf(TWShapeDocument::Invoice, HomeUnit, PartlyPaid, e, linked, o));
            });
    // A bill paid from a loan, by the owner or from a liability, the payment
    // marked as its charge by an earlier build's opening.
    for (const Against against : {AgainstLongTermLiability, AgainstEquity, AgainstCurrentLiability})
        everyOperation([&](Operation o) {
            all.append(shapeOf(TWShapeDocument::Bill, HomeUnit, Unpaid, EntryEarlierMarked,
                               linkedThrough(against, false), o));
        });
    // What the lines bill turned to the other sign after the editor booked
    // the entry.
    for (const TWShapeDocument d : {TWShapeDocument::Invoice, TWShapeDocument::CreditNote})
        for (const Unit unit : {HomeUnit, OtherUnit})
            for (const Operation o : {OpSignTurnedEditor, OpSignTurnedTask})
                all.append(shapeOf(d, unit, Unpaid, EntryEditor, 0, o));
    // A bill credit's credit moved to a liability, a fee charged on it.
    for (const int linked :
         {int(LinkedFeeSameDay), int(LinkedFeeDayBefore), int(LinkedFeeTwoDaysAfter)})
        everyOperation([&](Operation o) {
            all.append(shapeOf(TWShapeDocument::BillCredit, HomeUnit, Unpaid, EntryToLiability,
                               linked, o));
        });
    // Money or a discount dated before the document, duplicated.
    const QList<std::pair<TWShapeDocument, int>> before = {
        {TWShapeDocument::Invoice, LinkedMoneyBefore},
        {TWShapeDocument::Invoice, LinkedDiscountBefore},
        {TWShapeDocument::CreditNote, LinkedMoneyBefore},
        {TWShapeDocument::Bill, LinkedMoneyBefore}};
    for (const auto &[d, linked] : before)
        for (const Entry e : {EntryEditor, EntryUnmarked})
            for (const Operation o : {OpDuplicate, OpDuplicateSaved})
                all.append(shapeOf(d, HomeUnit, Unpaid, e, linked, o));
    // Money given back or paid out after an invoice in another unit was
    // paid, read after the unit's rate moved.
    for (const Unit unit : {OtherUnit, YenUnit})
        for (const int linked : {int(LinkedRefundAfter), int(LinkedChargeAfter)})
            for (const Operation o : {OpRatesDearer, OpRatesCheaper})
                all.append(
                    shapeOf(TWShapeDocument::Invoice, unit, FullyPaid, EntryEditor, linked, o));
    return all;
}

} // namespace

const QList<TWDocumentShape> &twDocumentShapes()
{
    static const QList<TWDocumentShape> shapes = [] {
        const QList<QStringList> &dims = twDocumentShapeDimensions();
        const int documents = kCrossedValues[0], linkeds = kCrossedValues[5],
                  operations = kCrossedValues[6];
        QList<TWDocumentShape> all;
        // Documents x linked transaction x operation in full; the other
        // dimensions turn over along them.
        for (int d = 0; d < documents; ++d)
            for (int l = 0; l < linkeds; ++l)
                for (int o = 0; o < operations; ++o) {
                    TWDocumentShape s;
                    s.document = d;
                    s.linked = l;
                    s.operation = o;
                    s.entry = (d + l + o) % kTurningEntries;
                    s.unit = (l / 2 + o + d) % 2;
                    s.paid = (l + 2 * o + d) % 3;
                    s.period = ((l + o) / 3 + d) % 2;
                    all.append(s);
                }
        // A taxed entry stored with a total of 0 under every operation, for
        // the documents whose lines carry tax.
        for (const TWShapeDocument d : {TWShapeDocument::Invoice, TWShapeDocument::CreditNote})
            for (int o = 0; o < operations; ++o) {
                TWDocumentShape s;
                s.document = int(d);
                s.operation = o;
                s.entry = EntryTaxedTotal0;
                s.unit = (o + s.document) % 2;
                s.paid = (2 * o + s.document) % 3;
                s.period = (o / 3 + s.document) % 2;
                all.append(s);
            }
        // Each pair of values of any two dimensions at least once: a row
        // more for each pair not met yet.
        const int count = int(dims.size());
        int turn = 0;
        for (int i = 0; i < count; ++i)
            for (int j = i + 1; j < count; ++j)
                for (int vi = 0; vi < kCrossedValues[i]; ++vi)
                    for (int vj = 0; vj < kCrossedValues[j]; ++vj) {
                        bool met = false;
                        for (const TWDocumentShape &s : std::as_const(all))
                            if (fieldOf(s, i) == vi && fieldOf(s, j) == vj) {
                                met = true;
                                break;
                            }
                        if (met)
                            continue;
                        // The first row of the pair's values, its others turned.
                        TWDocumentShape s;
                        for (int k = 0; k < count; ++k)
                            field(s, k) = (turn + k) % kCrossedValues[k];
                        ++turn;
                        field(s, i) = vi;
                        field(s, j) = vj;
                        all.append(s);
                    }
        all += laterShapes();
        // One row a key: a row met twice keeps its first.
        QSet<QString> keys;
        QList<TWDocumentShape> unique;
        for (const TWDocumentShape &s : std::as_const(all)) {
            QString key;
            for (int k = 0; k < count; ++k)
                key += QString::number(fieldOf(s, k)) + QLatin1Char(',');
            if (!keys.contains(key)) {
                keys.insert(key);
                unique.append(s);
            }
        }
        return unique;
    }();
    return shapes;
}

QStringList twDocumentColumns()
{
    return {QStringLiteral("document"),
            QStringLiteral("unit"),
            QStringLiteral("paid"),
            QStringLiteral("period"),
            QStringLiteral("entry shape"),
            QStringLiteral("linked"),
            QStringLiteral("operation"),
            QStringLiteral("result"),
            QStringLiteral("entry"),
            QStringLiteral("linked rows [mark]"),
            QStringLiteral("list total / payments / owe / % paid"),
            QStringLiteral("printed lines / payments / due"),
            QStringLiteral("client (merchant) owes"),
            QStringLiteral("balances"),
            QStringLiteral("wrote"),
            QStringLiteral("copies")};
}

int twDocumentKeys()
{
    return 7;
}

QStringList twDocumentRow(const TWDocumentShape &shape)
{
    const QList<QStringList> &dims = twDocumentShapeDimensions();
    QStringList cells;
    for (int k = 0; k < int(dims.size()); ++k)
        cells.append(dims[k].value(fieldOf(shape, k)));

    // The windows keep the user's preferences as they go, each write of the
    // settings file synced to disk: kept in memory's file system where there
    // is one, a table's thousand businesses are read in seconds, not minutes.
    static const std::unique_ptr<QTemporaryDir> preferences = [] {
        if (!QDir(QStringLiteral("/dev/shm")).exists())
            return std::unique_ptr<QTemporaryDir>();
        auto dir = std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/tw-behaviour-XXXXXX"));
        if (dir->isValid()) {
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir->path());
            QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir->path());
        }
        return dir;
    }();
    TWAppRegistry::registry().reset();
    twRegisterWork();
    TWDocumentPrompts::setPrompts(&prompts());
    prompts().errors.clear();
    TWFixedClock clock(kYear, kMonth, kDay);
    ShapeRun run(shape);
    if (!run.build()) {
        cells.append(QStringLiteral("not built: ") + firstLine(run.failure));
        while (cells.size() < twDocumentColumns().size())
            cells.append(QString());
        TWDocumentPrompts::setPrompts(nullptr);
        return cells;
    }
    const QHash<qint32, QString> before = transactionDump(run.b());
    const QStringList beforeLinks = linkDump(run.b());
    const QSet<qint32> documentsBefore = documentSet(run.b());
    run.operate();
    cells += run.readings(before, beforeLinks, documentsBefore);
    run.controller.reset();
    TWDocumentPrompts::setPrompts(nullptr);
    TWAppRegistry::registry().reset();
    return cells;
}
