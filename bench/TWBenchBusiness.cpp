#include "TWBenchBusiness.h"

#include "foundation/TWClock.h"
#include "model/TWBudgetItem.h"
#include "model/TWRelationship.h"
#include "model/TWRepeat.h"
#include "store/TWTransactionEditing.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

bool twBenchFailed(const TWErrorResult &error, const char *what)
{
    if (!error)
        return false;
    std::fprintf(stderr, "%s failed: %s\n", what,
                 error->localizedDescription().toUtf8().constData());
    return true;
}

namespace
{

// Accounts of the default chart the generator books on.
constexpr qint32 kBank = 100;
constexpr qint32 kReceivable = 105;
constexpr qint32 kPayable = 108;
constexpr qint32 kSales = 109;
constexpr qint32 kOwnersEquity = 138;

const auto failed = &twBenchFailed;

struct Generator {
    Generator(TWBusiness &business, const TWBenchBusinessOptions &generatorOptions)
        : b(business), options(generatorOptions)
    {
    }

    TWBusiness &b;
    const TWBenchBusinessOptions &options;
    std::mt19937 random{20240601};
    QList<TWAccountPtr> incomeAccounts;
    QList<TWAccountPtr> expenseAccounts;
    QList<TWUnitPtr> units; // home currency first, listed more often
    TWFieldPtr text, currency, date, list, tags, number, percent, checkbox, percentTotal;
    QList<qint32> listItems, tagItems;
    QDateTime start;
    int days = 3650;
    int attachmentsWritten = 0;

    int pick(int n) { return int(random() % unsigned(n)); }

    QDateTime dayAt(int index) const { return start.addDays(index); }

    bool setUp()
    {
        for (const TWAccountPtr &account : b.accounts()) {
            if (account->identifier() == kSales)
                continue;
            if (account->accountType() == TWAccountTypeIncome)
                incomeAccounts.append(account);
            else if (account->accountType() == TWAccountTypeExpense && account->unit() &&
                     account->unit()->type() == TWUnitTypeCurrency)
                expenseAccounts.append(account);
        }
        if (incomeAccounts.isEmpty())
            incomeAccounts.append(b.accountWithIdentifier(kSales));
        if (expenseAccounts.isEmpty() || !b.accountWithIdentifier(kBank)) {
            std::fprintf(stderr, "the default chart of accounts is missing\n");
            return false;
        }
        const TWUnitPtr home = b.homeUnit();
        units = {home,
                 home,
                 home,
                 home,
                 home,
                 home,
                 home,
                 home,
                 b.unitWithCode(QStringLiteral("EUR")),
                 b.unitWithCode(QStringLiteral("GBP"))};
        for (const TWUnitPtr &unit : units)
            if (!unit) {
                std::fprintf(stderr, "a currency is missing\n");
                return false;
            }
        const auto addField = [this](const QString &name, std::uint32_t type) {
            TWFieldPtr field =
                TWField::fieldWithName(name, type, false, false, b.nextFieldIdentifier());
            return failed(b.addField(field, false), "addField") ? nullptr : field;
        };
        text = addField(QStringLiteral("Reference"), TWFieldTypeText);
        currency = addField(QStringLiteral("Tax"), TWFieldTypeCurrency);
        date = addField(QStringLiteral("Delivered"), TWFieldTypeDate);
        list = addField(QStringLiteral("Region"), TWFieldTypeList);
        tags = addField(QStringLiteral("Labels"), TWFieldTypeTags);
        number = addField(QStringLiteral("Quantity"), TWFieldTypeNumber);
        percent = addField(QStringLiteral("Discount"), TWFieldTypePercent);
        checkbox = addField(QStringLiteral("Reviewed"), TWFieldTypeCheckbox);
        percentTotal = addField(QStringLiteral("Sales tax"), TWFieldTypePercentTotal);
        if (!text || !currency || !date || !list || !tags || !number || !percent || !checkbox ||
            !percentTotal)
            return false;
        for (int i = 0; i < 6; ++i) {
            auto item =
                TWFieldListItem::fieldListItemWithName(QStringLiteral("Region %1").arg(i), 0);
            if (failed(b.addFieldListItem(item, list, false), "addFieldListItem"))
                return false;
            listItems.append(item->identifier());
            auto tag = TWFieldTagItem::fieldTagItemWithName(QStringLiteral("Label %1").arg(i), 0);
            if (failed(b.addFieldTagItem(tag, tags, false), "addFieldTagItem"))
                return false;
            tagItems.append(tag->identifier());
        }
        return true;
    }

    TWTransactionPtr makeTransaction(const QDateTime &when, qint32 account1, qint32 account2,
                                     qint64 total, const TWUnitPtr &unit)
    {
        TWTransactionPtr t = std::make_shared<TWTransaction>();
        t->setIdentifier(b.nextTransactionIdentifier());
        t->setDate(when);
        t->setPayee(QStringLiteral("Payee %1").arg(pick(400)));
        t->setDescription(QStringLiteral("Entry %1").arg(pick(1000)));
        t->setAccount1Identifier(account1);
        t->setAccount2Identifier(account2);
        t->setUnit(unit);
        t->setTotal(total);
        twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b);
        return t;
    }

    void addValues(TWTransaction &t)
    {
        if (pick(3) == 0)
            t.fieldValueWithField(*text, true)->setText(QStringLiteral("R-%1").arg(pick(100000)));
        if (pick(4) == 0)
            t.fieldValueWithField(*currency, true)->setCurrency(t.total() / 10);
        if (pick(5) == 0)
            t.fieldValueWithField(*date, true)->setDate(t.date().addDays(pick(30)));
        t.fieldValueWithField(*list, true)->setListItemIdentifier(listItems[pick(6)]);
        if (pick(4) == 0)
            t.fieldValueWithField(*tags, true)
                ->setTagItemIdentifiers({tagItems[pick(6)], tagItems[pick(6)] == tagItems[0]
                                                                ? tagItems[1]
                                                                : tagItems[0]});
        // The rarer kinds of field, on a few entries each.
        if (pick(20) == 0)
            t.fieldValueWithField(*number, true)->setNumber(1 + pick(50));
        if (pick(20) == 0)
            t.fieldValueWithField(*percent, true)->setPercent(float(pick(30)));
        if (pick(20) == 0)
            t.fieldValueWithField(*checkbox, true)->setCheckboxValue(true);
        if (pick(20) == 0)
            t.fieldValueWithField(*percentTotal, true)->setCurrency(t.total() / 5);
    }

    bool addAttachment(TWTransaction &t)
    {
        const QString name = QStringLiteral("receipt-%1.txt").arg(++attachmentsWritten);
        const QString path = QDir(options.attachmentFolder).filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write("receipt\n") != 8) {
            std::fprintf(stderr, "cannot write %s\n", path.toUtf8().constData());
            return false;
        }
        file.close();
        t.setAttachments(TWAttachmentList{TWAttachment::attachmentWithFileName(
            name, path, QStringLiteral("text/plain"), TWAttachmentTypeFile, 0, 0.0, QString(), 0, 0,
            8, 0)});
        t.setHasAttachments(true);
        t.setDirtyAttachments(true);
        return true;
    }

    // Spreads the entry over lines that balance to zero: the bank is one
    // line and the other side is cut in two or three. Each line is converted
    // to the home unit on its own, so the rounding left over goes to the
    // largest line, as the editor would demand before saving.
    void splitOverLines(TWTransaction &t, bool income, qint32 first, qint64 total,
                        const TWUnitPtr &unit)
    {
        const int parts = 2 + pick(2);
        const qint64 sign = income ? -1 : 1; // the store's sign: plus into account 1
        TWSplitList splits;
        qint64 rest = total;
        for (int line = 0; line < parts; ++line) {
            const qint64 part = line == parts - 1 ? rest : total / parts;
            rest -= part;
            const qint32 account =
                line == 0 ? first
                          : (income ? incomeAccounts[pick(int(incomeAccounts.size()))]
                                    : expenseAccounts[pick(int(expenseAccounts.size()))])
                                ->identifier();
            splits.append(TWSplit::splitWithIdentifier(0, QStringLiteral("Line %1").arg(line),
                                                       account, sign * part, 0, 0, 0, 0, unit));
        }
        splits.append(TWSplit::splitWithIdentifier(0, QStringLiteral("Bank"), kBank, -sign * total,
                                                   0, 0, 0, 0, unit));
        qint64 home = 0;
        TWSplitPtr largest;
        for (const TWSplitPtr &split : splits) {
            twUpdateTotals(*split, TWTotalTypeTotal, TWTotalTypeAll, b);
            home += split->totalBusiness();
            if (!largest || std::abs(split->total()) > std::abs(largest->total()))
                largest = split;
        }
        if (home != 0) {
            const TWAccountPtr account = b.accountWithIdentifier(largest->accountIdentifier());
            if (account && account->unit() && b.homeUnit() &&
                account->unit()->code() == b.homeUnit()->code())
                largest->setTotalAccount(largest->totalAccount() - home);
            largest->setTotalBusiness(largest->totalBusiness() - home);
        }
        t.setAccount1Identifier(0);
        t.setAccount2Identifier(0);
        t.setSplits(splits);
        t.setHasSplit(true);
    }

    // One ordinary ledger entry on the given day: mostly the bank against an
    // income or expense account, one in ten split over three lines.
    bool addLedgerEntry(int index)
    {
        const QDateTime when = dayAt(index % days);
        const bool income = pick(3) == 0;
        const TWAccountPtr other = income ? incomeAccounts[pick(int(incomeAccounts.size()))]
                                          : expenseAccounts[pick(int(expenseAccounts.size()))];
        const TWUnitPtr unit = units[pick(int(units.size()))];
        const qint64 total = 500 + pick(200000);
        TWTransactionPtr t = income
                                 ? makeTransaction(when, kBank, other->identifier(), total, unit)
                                 : makeTransaction(when, other->identifier(), kBank, total, unit);
        if (pick(10) == 0)
            splitOverLines(*t, income, other->identifier(), total, unit);
        addValues(*t);
        if (pick(100) == 0 && !addAttachment(*t))
            return false;
        return !failed(b.addTransaction(t, false, false, false, false), "addTransaction");
    }

    bool link(const TWTransactionPtr &t, std::uint32_t type, qint32 parent, qint32 child)
    {
        return !failed(b.addRelationship(TWRelationship::relationshipWithType(
                                             type, 0.0, parent, child, t->identifier(), 0,
                                             b.nextRelationshipIdentifier()),
                                         false),
                       "addRelationship");
    }

    // Clients with projects, tasks, time items, expenses and invoices paid by
    // transactions; merchants with bills paid the same way. Answers the
    // number of transactions it added.
    int addWork(int budget, int invoices, int bills)
    {
        int added = 0;
        // Each client's three projects bill three invoices each.
        const int clients = std::max({4, budget / 2000, (invoices + 8) / 9});
        for (int c = 0; c < clients && (added < budget || invoices > 0); ++c) {
            auto client = TWClient::clientWithIdentifier(
                b.nextClientIdentifier(), QStringLiteral("Client %1").arg(c),
                QStringLiteral("Company %1").arg(c), 0, quint32(c), QImage(), {}, {}, {}, QUrl(),
                {}, {});
            if (failed(b.addClient(client, false), "addClient"))
                return -1;
            for (int p = 0; p < 3; ++p) {
                const QDateTime when = dayAt(pick(days));
                TWTaskList tasks;
                auto project = TWProject::projectWithDate(
                    when, false, QStringLiteral("Project %1-%2").arg(c).arg(p),
                    TWProjectTypeProject, {}, {}, 9000, b.homeUnit(), 0.0, {}, client->identifier(),
                    b.nextProjectIdentifier());
                if (failed(b.addProject(project, false), "addProject"))
                    return -1;
                for (int k = 0; k < 4; ++k) {
                    auto task = TWTask::taskWithDate(
                        when.addDays(k), false, QStringLiteral("Task %1").arg(k), TWTaskTypeTimed,
                        0.0, 0.0, 9000, 0.0, QString(), project->identifier(),
                        b.nextTaskIdentifier());
                    if (failed(b.addTask(task, false), "addTask"))
                        return -1;
                    double seconds = 0;
                    for (int i = 0; i < 5; ++i) {
                        const QDateTime from = when.addDays(k + i).addSecs(9 * 3600);
                        const int hours = 1 + pick(4);
                        seconds += 3600.0 * hours;
                        auto item = TWTaskItem::taskItemWithStartDateTime(
                            from, from.addSecs(3600 * hours), QString(), task->identifier(),
                            b.nextTaskItemIdentifier());
                        if (failed(b.addTaskItem(item, false), "addTaskItem"))
                            return -1;
                    }
                    task->setInvoiceQuantity(seconds);
                    tasks.append(task);
                }
                auto expense = TWExpense::expenseWithDate(
                    when, QStringLiteral("Materials"), 2.0, 4500, 0.0, QString(),
                    project->identifier(), b.nextExpenseIdentifier());
                if (failed(b.addExpense(expense, false), "addExpense"))
                    return -1;
                for (int v = 0; v < 3; ++v) {
                    const QDateTime issued = when.addDays(30 * (v + 1));
                    auto invoice = TWInvoice::invoiceWithDate(
                        issued, QStringLiteral("INV-%1").arg(b.nextInvoiceIdentifier()),
                        QStringLiteral("Invoice"), true, v < 2, issued.addDays(30), 0, QString(),
                        project->identifier(), b.nextInvoiceIdentifier());
                    if (failed(b.addInvoice(invoice, false), "addInvoice"))
                        return -1;
                    // Each invoice bills one task's hours; the first also
                    // bills the materials.
                    TWExpenseList billed;
                    if (v == 0) {
                        expense->setInvoiceQuantity(expense->quantity());
                        billed.append(expense);
                    }
                    if (failed(b.updateInvoiceItems(invoice, {tasks[v]}, billed),
                               "updateInvoiceItems"))
                        return -1;
                    const qint64 amount =
                        std::max<qint64>(100, TWInvoice::invoiceTotal({tasks[v]}, billed));
                    TWTransactionPtr sale =
                        makeTransaction(issued, kReceivable, kSales, amount, b.homeUnit());
                    if (failed(b.addTransaction(sale, false, false, false, false),
                               "addTransaction") ||
                        !link(sale, TWRelationshipTypeInvoicePayment, project->identifier(),
                              invoice->identifier()))
                        return -1;
                    ++added;
                    if (v < 2) {
                        TWTransactionPtr paid = makeTransaction(issued.addDays(20), kBank,
                                                                kReceivable, amount, b.homeUnit());
                        if (failed(b.addTransaction(paid, false, false, false, false),
                                   "addTransaction") ||
                            !link(paid, TWRelationshipTypeInvoicePayment, project->identifier(),
                                  invoice->identifier()))
                            return -1;
                        ++added;
                    }
                }
            }
        }
        // Each merchant's four bills.
        const int merchants = std::max({4, budget / 4000, (bills + 3) / 4});
        for (int m = 0; m < merchants && (added < budget || bills > 0); ++m) {
            auto merchant = TWMerchant::merchantWithIdentifier(
                b.nextMerchantIdentifier(), QStringLiteral("Merchant %1").arg(m),
                QStringLiteral("Supplier %1").arg(m), 0, quint32(m), QImage(), {}, {}, {}, QUrl(),
                {}, {});
            if (failed(b.addMerchant(merchant, false), "addMerchant"))
                return -1;
            for (int i = 0; i < 4; ++i) {
                const QDateTime when = dayAt(pick(days));
                auto bill = TWBill::billWithDate(when, QStringLiteral("Bill %1").arg(i), true, true,
                                                 when.addDays(30), 0, QString(),
                                                 merchant->identifier(), b.nextBillIdentifier());
                if (failed(b.addBill(bill, false), "addBill"))
                    return -1;
                const qint64 amount = 5000 + pick(90000);
                const qint32 expenseAccount =
                    expenseAccounts[pick(int(expenseAccounts.size()))]->identifier();
                for (int leg = 0; leg < 2; ++leg) {
                    // Each entry takes the next identifier once the one before is stored.
                    TWTransactionPtr t = leg == 0 ? makeTransaction(when, expenseAccount, kPayable,
                                                                    amount, b.homeUnit())
                                                  : makeTransaction(when.addDays(10), kPayable,
                                                                    kBank, amount, b.homeUnit());
                    if (failed(b.addTransaction(t, false, false, false, false), "addTransaction") ||
                        !link(t, TWRelationshipTypeBillPayment, merchant->identifier(),
                              bill->identifier()))
                        return -1;
                    ++added;
                }
            }
        }
        return added;
    }

    // Twelve monthly schedules whose latest entries lie a month back, so that
    // moving the clock on makes one more of each.
    int addRepeats()
    {
        const QDateTime last = QDateTime(TWClock::today(), QTime(0, 0)).addMonths(-1);
        for (int r = 0; r < 12; ++r) {
            auto repeat =
                TWRepeat::repeatWithType(TWRepeatTypeTransaction, 1, TWRepeatIntervalUnitMonth, {},
                                         true, b.nextRepeatIdentifier());
            if (failed(b.addRepeat(repeat, false), "addRepeat"))
                return -1;
            TWTransactionPtr t = makeTransaction(
                last.addDays(-r), expenseAccounts[r % expenseAccounts.size()]->identifier(), kBank,
                10000 + r * 100, b.homeUnit());
            t->setRepeatIdentifier(repeat->identifier());
            if (failed(b.addTransaction(t, false, false, false, false), "addTransaction"))
                return -1;
        }
        return 12;
    }

    // One period per calendar year, the years before this one closed, entered
    // the way the business information sheet does: the record names the
    // periods and the account that receives the year-end transfers, the table
    // is rewritten whole, then the periods are brought up to date (which
    // books the transfers and names the active period) and the states of
    // the transactions follow the closed years.
    bool addPeriods()
    {
        TWBusinessInfoPtr info = b.businessInfo()->copy();
        qint32 nominal = 0;
        for (const TWAccountPtr &account : b.accounts())
            if (account->accountType() == TWAccountTypeEquity &&
                (nominal == 0 || account->identifier() == kOwnersEquity))
                nominal = account->identifier();
        if (nominal == 0) {
            std::fprintf(stderr, "no equity account for the year-end transfers\n");
            return false;
        }
        info->setNominalTransferAccountIdentifier(nominal);
        TWAccountingPeriodList periods;
        const int thisYear = TWClock::today().year();
        for (int year = start.date().year(); year <= thisYear; ++year)
            periods.append(TWAccountingPeriod::accountingPeriodWithName(
                QString::number(year), QDateTime(QDate(year, 1, 1), QTime(0, 0)),
                QDateTime(QDate(year, 12, 31), QTime(0, 0)), year < thisYear, 0));
        if (failed(b.deleteAccountingPeriods(true), "deleteAccountingPeriods"))
            return false;
        qint32 next = b.nextAccountingPeriodIdentifier();
        for (const TWAccountingPeriodPtr &period : periods) {
            period->setIdentifier(next++);
            if (failed(b.addAccountingPeriod(period, true), "addAccountingPeriod"))
                return false;
        }
        info->setAccountingPeriods(periods);
        return !failed(b.updateBusinessInfo(info), "updateBusinessInfo") &&
               !failed(b.updateAccountingPeriods(true), "updateAccountingPeriods") &&
               !failed(b.updateTransactionStates(), "updateTransactionStates");
    }

    // Budgets over cycles of every length: weekly, monthly, quarterly and
    // yearly lines on expense accounts, one accumulating.
    bool addBudgets()
    {
        struct Cycle {
            std::uint32_t length, unit;
        };
        const Cycle cycles[] = {{1, TWBudgetCycleUnitWeek},
                                {1, TWBudgetCycleUnitMonth},
                                {3, TWBudgetCycleUnitMonth},
                                {1, TWBudgetCycleUnitYear},
                                {14, TWBudgetCycleUnitDay}};
        int n = 0;
        for (const Cycle &cycle : cycles) {
            const TWAccountPtr &account = expenseAccounts[n % expenseAccounts.size()];
            auto item = TWBudgetItem::budgetItemWithItemType(
                TWItemTypeAccount, account->identifier(), 20000 * (n + 1), b.homeUnit(),
                QDateTime(QDate(TWClock::today().year() - 1, 1, 1), QTime(0, 0)), cycle.length,
                cycle.unit, n == 1, b.nextBudgetItemsIdentifier());
            if (failed(b.addBudgetItem(item, false), "addBudgetItem"))
                return false;
            ++n;
        }
        return true;
    }
};

} // namespace

qint32 twBenchBusyAccount()
{
    return kBank;
}

std::unique_ptr<TWBusiness> twBenchBusinessFromArguments(int argc, char **argv, int first,
                                                         const QString &folder)
{
    TWBenchBusinessOptions options{100000, folder};
    for (int i = first; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--transactions") == 0)
            options.transactions = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--invoices") == 0)
            options.invoices = std::max(0, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--bills") == 0)
            options.bills = std::max(0, std::atoi(argv[i + 1]));
    }
    return twBenchMakeBusiness(options);
}

std::unique_ptr<TWBusiness> twBenchMakeBusiness(const TWBenchBusinessOptions &options)
{
    if (!QDir().mkpath(options.attachmentFolder)) {
        std::fprintf(stderr, "cannot make %s\n", options.attachmentFolder.toUtf8().constData());
        return nullptr;
    }
    TWBusinessInfoPtr info = TWBusinessInfo::newBusinessInfo();
    info->setName(QStringLiteral("Benchmark Trading"));
    info->setHomeCurrency(QStringLiteral("USD"));
    info->setCreateDefaultAccounts(true);
    TWErrorResult error;
    std::unique_ptr<TWBusiness> business = TWBusiness::businessWithBusinessInfo(info, &error);
    if (!business || failed(error, "businessWithBusinessInfo"))
        return nullptr;
    TWBusiness &b = *business;
    Generator generator(b, options);
    generator.start = QDateTime(TWClock::today().addDays(-generator.days), QTime(0, 0));
    if (failed(b.beginTransaction(), "beginTransaction"))
        return nullptr;
    bool ok = generator.setUp();
    int added = 0;
    if (ok) {
        const int work =
            generator.addWork(options.transactions / 5, options.invoices, options.bills);
        const int repeats = work < 0 ? -1 : generator.addRepeats();
        ok = work >= 0 && repeats >= 0;
        added = work + repeats;
    }
    for (int i = 0; ok && added < options.transactions; ++i, ++added) {
        ok = generator.addLedgerEntry(i);
        // Committed in batches, as a user's work is: one open transaction
        // of a million writes makes each savepoint slower than the one
        // before, and keeps every write's undo step in memory.
        if (ok && i % 20000 == 19999)
            ok = !failed(b.commitTransaction(), "commitTransaction") &&
                 !failed(b.beginTransaction(), "beginTransaction");
    }
    ok = ok && generator.addBudgets() && generator.addPeriods();
    if (failed(b.commitTransaction(), "commitTransaction") || !ok)
        return nullptr;
    b.notifyTransactionsAdd();
    b.notifyRelationshipsAdd();
    b.notifyProjectsAdd();
    b.notifyTasksAdd();
    b.notifyTaskItemsAdd();
    b.notifyExpensesAdd();
    b.notifyInvoicesAdd();
    b.notifyBillsAdd();
    return business;
}
