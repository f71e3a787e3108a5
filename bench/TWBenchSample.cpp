#include "TWBenchSample.h"
#include "TWBenchBusiness.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWBudgetItem.h"
#include "model/TWField.h"
#include "model/TWRelationship.h"
#include "model/TWRepeat.h"
#include "store/TWTransactionEditing.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <vector>

namespace
{

// Accounts of the default chart.
constexpr qint32 kBank = 100;
constexpr qint32 kReceivable = 105;
constexpr qint32 kPayable = 108;
constexpr qint32 kSales = 109;
constexpr qint32 kOwnersEquity = 138;

constexpr int kMonths = 24;
// The bank never goes below this: a purchase that would is left out.
constexpr qint64 kCushion = 150000;

const auto failed = &twBenchFailed;

// One planned entry: into `to` from `from` (the store's sign), with what the
// bank sees of it, and what to do once it is stored (links to invoices or
// bills).
struct Planned {
    QDate day;
    qint32 to = 0;
    qint32 from = 0;
    qint64 amount = 0;
    QString payee;
    QString description;
    bool optional = false; // an everyday purchase the bank may not afford
    std::function<bool(const TWTransactionPtr &)> stored;
    // Lines of a split purchase: account and amount (the bank pays the sum).
    std::vector<std::pair<qint32, qint64>> lines;

    qint64 bankChange() const
    {
        if (to == kBank)
            return amount;
        if (from == kBank)
            return -amount;
        return 0;
    }
};

struct Purchase {
    const char *chartKey; // the expense account, by its name in the chart
    QStringList payees;
    QStringList descriptions;
    qint64 low, high; // cents
    int weight;
};

struct Sample {
    explicit Sample(TWBusiness &business) : b(business) {}

    TWBusiness &b;
    std::function<void(std::uint32_t, qint32, qint32)> entryMade;
    bool userChanges = false; // TWBenchSampleOptions::userChanges
    std::mt19937 random{20260301};
    QDate first;
    QDate today = TWClock::today();
    std::vector<Planned> plan;
    std::map<QString, qint32> accounts; // chart key -> identifier

    int pick(int n) { return int(random() % unsigned(n)); }
    qint64 between(qint64 low, qint64 high)
    {
        return low + qint64(random() % quint64(high - low + 1));
    }
    // A round price (x.99, x.00 or x.50) near a random amount.
    qint64 price(qint64 low, qint64 high)
    {
        const qint64 whole = between(low, high) / 100;
        static const int cents[] = {0, 99, 50, 49, 95, 0, 25};
        return whole * 100 + cents[pick(7)];
    }

    qint32 account(const char *key)
    {
        const auto found = accounts.find(QString::fromLatin1(key));
        return found == accounts.end() ? 0 : found->second;
    }

    bool findAccounts()
    {
        const char *keys[] = {"advertising",
                              "auto",
                              "bankCharges",
                              "computer",
                              "duesSubscriptions",
                              "insurance",
                              "internet",
                              "mealsEntertainment",
                              "officeSupplies",
                              "phone",
                              "postageShipping",
                              "professionalFees",
                              "rent",
                              "travel",
                              "utilities",
                              "ownersDraw",
                              "openingBalance",
                              "salesTax"};
        for (const char *key : keys) {
            const QString name = TWLocalized(key);
            for (const TWAccountPtr &a : b.accounts())
                if (a->name() == name)
                    accounts[QString::fromLatin1(key)] = a->identifier();
            if (!account(key)) {
                std::fprintf(stderr, "the default chart has no \"%s\"\n", key);
                return false;
            }
        }
        return b.accountWithIdentifier(kBank) && b.accountWithIdentifier(kSales);
    }

    QDateTime at(const QDate &day) const { return QDateTime(day, QTime(12, 0)); }

    void add(const QDate &day, qint32 to, qint32 from, qint64 amount, const QString &payee,
             const QString &description, bool optional = false,
             std::function<bool(const TWTransactionPtr &)> stored = {})
    {
        if (day > today)
            return;
        plan.push_back(
            {day, to, from, amount, payee, description, optional, std::move(stored), {}});
    }

    void entryStored(std::uint32_t type, qint32 document, const TWTransactionPtr &t)
    {
        lastEntry = t->identifier();
        if (entryMade)
            entryMade(type, document, t->identifier());
    }

    bool link(const TWTransactionPtr &t, std::uint32_t type, qint32 parent, qint32 child)
    {
        return !failed(b.addRelationship(TWRelationship::relationshipWithType(
                                             type, 0.0, parent, child, t->identifier(), 0,
                                             b.nextRelationshipIdentifier()),
                                         false),
                       "addRelationship");
    }

    // Clients with projects; each month a few invoices for the hours of a
    // task done that month, paid into the bank two to five weeks later.
    bool planWork()
    {
        struct Client {
            const char *name, *company, *email;
            QStringList projects;
        };
        const Client clients[] = {
            {"Maya Chen",
             "Northwind Bakery",
             "maya@northwindbakery.com",
             {"Brand refresh", "Seasonal menu boards", "Online ordering site"}},
            {"Daniel Ortiz",
             "Cedar & Pine Architects",
             "daniel@cedarpine.design",
             {"Portfolio website", "Competition boards"}},
            {"Priya Raman",
             "Lumen Health Clinic",
             "priya.raman@lumenhealth.org",
             {"Patient brochures", "Wayfinding signage", "Annual report"}},
            {"Tom Becker",
             "Becker Cycles",
             "tom@beckercycles.com",
             {"Logo and identity", "Shop website"}},
            {"Sofia Rossi",
             "Olive Grove Events",
             "sofia@olivegroveevents.com",
             {"Wedding stationery line", "Event website"}},
            {"James Whitfield",
             "Harbor Lane Books",
             "james@harborlanebooks.com",
             {"Book covers", "Newsletter templates"}},
        };
        const QStringList phases = {QStringLiteral("Discovery"), QStringLiteral("Design"),
                                    QStringLiteral("Revisions"), QStringLiteral("Production")};
        std::vector<TWClientPtr> made;
        std::vector<std::vector<TWProjectPtr>> projects(std::size(clients));
        for (std::size_t c = 0; c < std::size(clients); ++c) {
            auto client = TWClient::clientWithIdentifier(
                b.nextClientIdentifier(), QString::fromUtf8(clients[c].name),
                QString::fromUtf8(clients[c].company), 0, quint32(c), QImage(), {}, {},
                QString::fromUtf8(clients[c].email), QUrl(), {}, {});
            if (failed(b.addClient(client, false), "addClient"))
                return false;
            made.push_back(client);
        }
        int invoiceNumber = 1001;
        for (int month = 0; month < kMonths; ++month) {
            const QDate monthStart = first.addMonths(month);
            // Quieter in summer and over the holidays.
            const int m = monthStart.month();
            const int invoices = (m == 8 || m == 12) ? 2 : 3 + pick(2);
            for (int i = 0; i < invoices; ++i) {
                const std::size_t c = std::size_t((month * 3 + i) % int(std::size(clients)));
                const Client &client = clients[c];
                std::vector<TWProjectPtr> &own = projects[c];
                const int projectIndex = (month / 6) % int(client.projects.size());
                if (int(own.size()) <= projectIndex) {
                    auto project = TWProject::projectWithDate(
                        at(monthStart), false, client.projects[projectIndex], TWProjectTypeProject,
                        at(monthStart), {}, 9500, b.homeUnit(), 0.0, {}, made[c]->identifier(),
                        b.nextProjectIdentifier());
                    if (failed(b.addProject(project, false), "addProject"))
                        return false;
                    own.push_back(project);
                }
                const TWProjectPtr project = own[std::size_t(projectIndex)];
                const QString taskName = QStringLiteral("%1 (%2)").arg(
                    phases[(month + i) % phases.size()],
                    QLocale().toString(monthStart, QStringLiteral("MMMM yyyy")));
                auto task = TWTask::taskWithDate(at(monthStart), true, taskName, TWTaskTypeTimed,
                                                 0.0, 0.0, 9500, 0.0, QString(),
                                                 project->identifier(), b.nextTaskIdentifier());
                if (failed(b.addTask(task, false), "addTask"))
                    return false;
                double seconds = 0;
                const int sessions = 6 + pick(5);
                for (int s = 0; s < sessions; ++s) {
                    QDate day = monthStart.addDays(1 + pick(24));
                    while (day.dayOfWeek() > 5)
                        day = day.addDays(1);
                    if (day > today)
                        continue;
                    const int hours = 3 + pick(4);
                    const QDateTime from(day, QTime(9 + pick(4), pick(2) * 30));
                    seconds += 3600.0 * hours;
                    auto item = TWTaskItem::taskItemWithStartDateTime(
                        from, from.addSecs(3600 * hours), QString(), task->identifier(),
                        b.nextTaskItemIdentifier());
                    if (failed(b.addTaskItem(item, false), "addTaskItem"))
                        return false;
                }
                const QDate issued = monthStart.addDays(monthStart.daysInMonth() - 1);
                if (issued > today || seconds == 0) {
                    // This month's work is not billed yet.
                    task->setCompleted(false);
                    continue;
                }
                task->setInvoiceQuantity(seconds);
                const qint64 total = TWInvoice::invoiceTotal({task}, {});
                const QDate paidOn = issued.addDays(12 + pick(24));
                const bool paid = paidOn <= today;
                auto invoice = TWInvoice::invoiceWithDate(
                    at(issued), QString::number(invoiceNumber++), project->name(), true, paid,
                    at(issued.addDays(30)), 0, QString(), project->identifier(),
                    b.nextInvoiceIdentifier());
                if (failed(b.addInvoice(invoice, false), "addInvoice") ||
                    failed(b.updateInvoiceItems(invoice, {task}, {}), "updateInvoiceItems"))
                    return false;
                const QString payee = QString::fromUtf8(client.company);
                const QString what = QStringLiteral("Invoice %1").arg(invoice->number());
                const qint32 projectId = project->identifier();
                const qint32 invoiceId = invoice->identifier();
                const auto linked = [this, projectId, invoiceId](const TWTransactionPtr &t) {
                    return link(t, TWRelationshipTypeInvoicePayment, projectId, invoiceId);
                };
                // As the invoice list makes them: the receivable account is the
                // payment's first account, so the payments register reads as the
                // receivable's own.
                add(issued, kReceivable, kSales, total, payee, what, false,
                    [this, linked, invoiceId](const TWTransactionPtr &t) {
                        entryStored(TWRelationshipTypeInvoicePayment, invoiceId, t);
                        return linked(t);
                    });
                if (paid)
                    add(paidOn, kReceivable, kBank, -total, payee,
                        QStringLiteral("Payment of invoice %1").arg(invoice->number()), false,
                        linked);
            }
        }
        return true;
    }

    // Merchants whose bills come each month (insurance each quarter), paid
    // from the bank ten days later.
    bool planBills()
    {
        struct Supplier {
            const char *name, *company, *account;
            qint64 low, high;
            int everyMonths, day;
        };
        const Supplier suppliers[] = {
            {"Harbor Properties", "Harbor Properties LLC", "rent", 185000, 185000, 1, 1},
            {"Bayside Power & Water", "Bayside Utilities", "utilities", 9500, 17800, 1, 6},
            {"Coastal Fiber", "Coastal Fiber Internet", "internet", 8900, 8900, 1, 9},
            {"Pacific Mobile", "Pacific Mobile Inc.", "phone", 6800, 7900, 1, 14},
            {"Northstar Insurance", "Northstar Mutual", "insurance", 42000, 42000, 3, 2},
            {"Greenleaf Accounting", "Greenleaf CPA Group", "professionalFees", 35000, 60000, 3,
             20},
        };
        for (std::size_t s = 0; s < std::size(suppliers); ++s) {
            const Supplier &supplier = suppliers[s];
            auto merchant = TWMerchant::merchantWithIdentifier(
                b.nextMerchantIdentifier(), QString::fromUtf8(supplier.name),
                QString::fromUtf8(supplier.company), 0, quint32(s), QImage(), {}, {}, {}, QUrl(),
                {}, {});
            if (failed(b.addMerchant(merchant, false), "addMerchant"))
                return false;
            const qint32 expense = account(supplier.account);
            for (int month = 0; month < kMonths; month += supplier.everyMonths) {
                const QDate billed = first.addMonths(month).addDays(supplier.day - 1);
                if (billed > today)
                    break;
                const qint64 amount = supplier.low == supplier.high
                                          ? supplier.low
                                          : price(supplier.low, supplier.high);
                const QDate paidOn = billed.addDays(10);
                const bool paid = paidOn <= today;
                const QString name = QLocale().toString(billed, QStringLiteral("MMMM yyyy"));
                auto bill =
                    TWBill::billWithDate(at(billed), name, true, paid, at(billed.addDays(15)), 0,
                                         QString(), merchant->identifier(), b.nextBillIdentifier());
                if (failed(b.addBill(bill, false), "addBill"))
                    return false;
                const qint32 merchantId = merchant->identifier();
                const qint32 billId = bill->identifier();
                const auto linked = [this, merchantId, billId](const TWTransactionPtr &t) {
                    return link(t, TWRelationshipTypeBillPayment, merchantId, billId);
                };
                const QString payee = QString::fromUtf8(supplier.name);
                // The payable account comes first in the charge as in the payment
                // (as the bill sheet makes them), so the bill's register reads as
                // the payable's own.
                add(billed, kPayable, expense, -amount, payee,
                    QStringLiteral("Bill for %1").arg(name), false,
                    [this, linked, billId](const TWTransactionPtr &t) {
                        entryStored(TWRelationshipTypeBillPayment, billId, t);
                        return linked(t);
                    });
                if (paid)
                    add(paidOn, kPayable, kBank, amount, payee,
                        QStringLiteral("Payment of the %1 bill").arg(name), false, linked);
            }
        }
        return true;
    }

    // The opening deposit, subscriptions, bank charges and the owner's draws.
    void planRegulars()
    {
        add(first, kBank, account("openingBalance"), 2000000, QStringLiteral("Opening deposit"),
            QStringLiteral("Savings put into the studio"));
        struct Subscription {
            const char *payee, *what;
            qint64 amount;
            int day;
        };
        const Subscription subscriptions[] = {
            {"Adobe", "Creative Cloud, all apps", 5999, 3},
            {"Figma", "Professional plan", 1500, 12},
            {"Google Workspace", "Business Starter, 1 user", 1440, 1},
            {"Dropbox", "Plus plan", 1199, 20},
        };
        for (int month = 0; month < kMonths; ++month) {
            const QDate start = first.addMonths(month);
            for (const Subscription &s : subscriptions)
                add(start.addDays(s.day - 1), account("duesSubscriptions"), kBank, s.amount,
                    QString::fromUtf8(s.payee), QString::fromUtf8(s.what));
            add(start.addDays(start.daysInMonth() - 1), account("bankCharges"), kBank, 1200,
                QStringLiteral("First Harbor Bank"), QStringLiteral("Monthly account fee"));
            add(start.addDays(27), account("ownersDraw"), kBank, 350000, QStringLiteral("Owner"),
                QStringLiteral("Owner's draw"));
        }
    }

    // Everyday purchases on working days until the books hold `transactions`.
    void planPurchases(int transactions)
    {
        const std::vector<Purchase> kinds = {
            {"officeSupplies",
             {"Staples", "Office Depot", "Amazon"},
             {"Printer paper and toner", "Sketchbooks and markers", "Desk organisers",
              "Mounting board"},
             600,
             14000,
             18},
            {"mealsEntertainment",
             {"Blue Bottle Coffee", "Tartine", "The Harbor Grill"},
             {"Coffee with a client", "Lunch meeting", "Team lunch"},
             450,
             9500,
             24},
            {"travel",
             {"Lyft", "Bay Area Rapid Transit", "Delta Air Lines", "Marriott"},
             {"To a client meeting", "Site visit", "Conference trip"},
             900,
             4500,
             10},
            {"postageShipping",
             {"USPS", "FedEx", "UPS Store"},
             {"Proofs to the printer", "Samples to a client", "Courier"},
             650,
             5200,
             8},
            {"auto",
             {"Chevron", "Shell", "City Parking"},
             {"Fuel", "Parking downtown"},
             1200,
             6800,
             8},
            {"advertising",
             {"Instagram Ads", "Local Business Weekly"},
             {"Promoted posts", "Quarter-page advertisement"},
             5000,
             25000,
             3},
            {"computer",
             {"Apple", "B&H Photo", "Best Buy"},
             {"USB-C hub", "Font licence", "External drive", "Colour calibrator"},
             2900,
             24000,
             4},
        };
        int totalWeight = 0;
        for (const Purchase &kind : kinds)
            totalWeight += kind.weight;
        // Income entries and bills come first; purchases fill the rest.
        int wanted = transactions - int(plan.size());
        const int days = int(first.daysTo(today)) + 1;
        for (int i = 0; i < wanted && days > 0; ++i) {
            QDate day = first.addDays(pick(days));
            if (day.dayOfWeek() > 5)
                day = day.addDays(-(day.dayOfWeek() - 5));
            int roll = pick(totalWeight);
            const Purchase *kind = &kinds.front();
            for (const Purchase &k : kinds) {
                if (roll < k.weight) {
                    kind = &k;
                    break;
                }
                roll -= k.weight;
            }
            const qint64 amount = price(kind->low, kind->high);
            Planned entry{day,
                          account(kind->chartKey),
                          kBank,
                          amount,
                          kind->payees[pick(int(kind->payees.size()))],
                          kind->descriptions[pick(int(kind->descriptions.size()))],
                          true,
                          {},
                          {}};
            // Now and then one receipt covers supplies and a lunch.
            if (i % 40 == 7) {
                const qint64 lunch = price(1800, 4200);
                entry.payee = QStringLiteral("Costco");
                entry.description = QStringLiteral("Supplies and a working lunch");
                entry.lines = {{account("officeSupplies"), amount},
                               {account("mealsEntertainment"), lunch}};
                entry.amount = amount + lunch;
            }
            plan.push_back(std::move(entry));
        }
    }

    // Keeps the bank in credit: purchases it could not afford are dropped.
    void keepInCredit()
    {
        std::stable_sort(plan.begin(), plan.end(),
                         [](const Planned &a, const Planned &c) { return a.day < c.day; });
        // Money in on a day counts before money out on it.
        std::vector<Planned> kept;
        kept.reserve(plan.size());
        qint64 balance = 0;
        for (std::size_t i = 0; i < plan.size();) {
            std::size_t end = i;
            while (end < plan.size() && plan[end].day == plan[i].day)
                ++end;
            for (std::size_t j = i; j < end; ++j)
                if (plan[j].bankChange() >= 0) {
                    balance += plan[j].bankChange();
                    kept.push_back(std::move(plan[j]));
                }
            for (std::size_t j = i; j < end; ++j) {
                if (plan[j].day.isNull() || plan[j].bankChange() >= 0)
                    continue;
                if (plan[j].optional && balance + plan[j].bankChange() < kCushion)
                    continue;
                balance += plan[j].bankChange();
                kept.push_back(std::move(plan[j]));
            }
            i = end;
        }
        plan = std::move(kept);
    }

    bool store()
    {
        const TWUnitPtr home = b.homeUnit();
        for (Planned &entry : plan) {
            TWTransactionPtr t = std::make_shared<TWTransaction>();
            t->setIdentifier(b.nextTransactionIdentifier());
            t->setDate(at(entry.day));
            t->setPayee(entry.payee);
            t->setDescription(entry.description);
            t->setUnit(home);
            t->setTotal(entry.amount);
            t->setCleared(entry.day.daysTo(today) > 20);
            if (entry.lines.empty()) {
                t->setAccount1Identifier(entry.to);
                t->setAccount2Identifier(entry.from);
                twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b);
            } else {
                TWSplitList splits;
                for (const auto &[account, amount] : entry.lines)
                    splits.append(TWSplit::splitWithIdentifier(0, QString(), account, amount, 0, 0,
                                                               0, 0, home));
                splits.append(TWSplit::splitWithIdentifier(0, QString(), kBank, -entry.amount, 0, 0,
                                                           0, 0, home));
                for (const TWSplitPtr &split : splits)
                    twUpdateTotals(*split, TWTotalTypeTotal, TWTotalTypeAll, b);
                t->setSplits(splits);
                t->setHasSplit(true);
            }
            if (failed(b.addTransaction(t, false, false, false, false), "addTransaction"))
                return false;
            if (entry.stored && !entry.stored(t))
                return false;
        }
        return true;
    }

    // ---- What a business gathers besides (TWBenchSampleOptions::extras) ----

    // An account at the top of the list, outside every group, or last in `group`.
    TWAccountPtr newAccount(const QString &name, TWAccountType type, const TWUnitPtr &unit,
                            qint32 group = 0)
    {
        quint32 sortOrder = 0;
        if (group != 0)
            for (const TWAccountPtr &a : b.accounts())
                if (a->parentIdentifier() == group)
                    sortOrder = std::max(sortOrder, a->sortOrder() + 1);
        auto made =
            TWAccount::accountWithIdentifier(b.nextAccountIdentifier(), name, group, sortOrder,
                                             type, QString(), QImage(), unit, QString());
        return failed(b.addAccount(made, false), "addAccount") ? nullptr : made;
    }

    // A plain transaction in the home unit, stored at once: into `to` from `from`.
    TWTransactionPtr entry(const QDate &day, qint32 to, qint32 from, qint64 amount,
                           const QString &payee, const QString &description)
    {
        TWTransactionPtr t = std::make_shared<TWTransaction>();
        t->setIdentifier(b.nextTransactionIdentifier());
        t->setDate(at(day));
        t->setPayee(payee);
        t->setDescription(description);
        t->setUnit(b.homeUnit());
        t->setTotal(amount);
        t->setAccount1Identifier(to);
        t->setAccount2Identifier(from);
        twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b);
        return failed(b.addTransaction(t, false, false, false, false), "addTransaction") ? nullptr
                                                                                         : t;
    }

    TWClientPtr extraClient;
    TWProjectPtr extraProject;
    TWMerchantPtr extraMerchant;
    int extraNumber = 9001;

    // An invoice of one flat line of `price` on `day`, with its receivable
    // entry (none for an estimate's), `repeat` its schedule or 0.
    TWInvoicePtr flatInvoice(const TWProjectPtr &project, const QDate &day, qint64 price,
                             const QString &what, qint32 repeat = 0, qint64 expenseCost = 0)
    {
        auto task = TWTask::taskWithDate(at(day), true, what, TWTaskTypeFlat, 1.0, 1.0, price, 0.0,
                                         QString(), project->identifier(), b.nextTaskIdentifier());
        task->setInvoiceQuantity(1.0);
        if (failed(b.addTask(task, false), "addTask"))
            return nullptr;
        auto invoice = TWInvoice::invoiceWithDate(
            at(day), QString::number(extraNumber++), what, true, false, at(day.addDays(30)), repeat,
            QString(), project->identifier(), b.nextInvoiceIdentifier());
        TWExpenseList expenses;
        if (expenseCost != 0) {
            auto expense =
                TWExpense::expenseWithDate(at(day), what, 1.0, expenseCost, 0.0, QString(),
                                           project->identifier(), b.nextExpenseIdentifier());
            expense->setInvoiceQuantity(1.0);
            if (failed(b.addExpense(expense, false), "addExpense"))
                return nullptr;
            expenses.append(expense);
        }
        if (failed(b.addInvoice(invoice, false), "addInvoice") ||
            failed(b.updateInvoiceItems(invoice, {task}, expenses), "updateInvoiceItems"))
            return nullptr;
        if (project->type() == TWProjectTypeProject) {
            const TWTransactionPtr charge =
                entry(day, kReceivable, kSales, price + expenseCost, extraClient->company(), what);
            if (!charge || !link(charge, TWRelationshipTypeInvoicePayment, project->identifier(),
                                 invoice->identifier()))
                return nullptr;
            entryStored(TWRelationshipTypeInvoicePayment, invoice->identifier(), charge);
        }
        return invoice;
    }

    bool payInvoice(const TWInvoicePtr &invoice, const QDate &day, qint32 through, qint64 amount)
    {
        const TWTransactionPtr payment =
            entry(day, kReceivable, through, -amount, extraClient->company(),
                  QStringLiteral("Payment of invoice %1").arg(invoice->number()));
        return payment && link(payment, TWRelationshipTypeInvoicePayment,
                               invoice->projectIdentifier(), invoice->identifier());
    }

    // A bill of `amount` on `day` charged to `expense`, with its payable charge.
    TWBillPtr newBill(const QDate &day, qint64 amount, qint32 expense, const QString &what,
                      qint32 repeat = 0)
    {
        auto bill =
            TWBill::billWithDate(at(day), what, true, false, at(day.addDays(15)), repeat, QString(),
                                 extraMerchant->identifier(), b.nextBillIdentifier());
        if (failed(b.addBill(bill, false), "addBill"))
            return nullptr;
        const TWTransactionPtr charge =
            entry(day, kPayable, expense, -amount, extraMerchant->name(), what);
        if (!charge || !link(charge, TWRelationshipTypeBillPayment, extraMerchant->identifier(),
                             bill->identifier()))
            return nullptr;
        entryStored(TWRelationshipTypeBillPayment, bill->identifier(), charge);
        return bill;
    }

    bool payBill(const TWBillPtr &bill, const QDate &day, qint32 through, qint64 amount)
    {
        const TWTransactionPtr payment =
            entry(day, kPayable, through, amount, extraMerchant->name(),
                  QStringLiteral("Payment of %1").arg(bill->name()));
        return payment && link(payment, TWRelationshipTypeBillPayment, extraMerchant->identifier(),
                               bill->identifier());
    }

    qint32 newRepeat(std::uint32_t type)
    {
        auto repeat = TWRepeat::repeatWithType(type, 1, TWRepeatIntervalUnitMonth, QDateTime(),
                                               true, b.nextRepeatIdentifier());
        return failed(b.addRepeat(repeat, false), "addRepeat") ? 0 : repeat->identifier();
    }

    bool addExtras()
    {
        const TWUnitPtr home = b.homeUnit();
        // A client and a merchant of their own, so the sample's records stay as they were.
        extraClient = TWClient::clientWithIdentifier(
            b.nextClientIdentifier(), QStringLiteral("Ines Alvarez"),
            QStringLiteral("Alvarez Galleries"), 0, 100, QImage(), {}, {},
            QStringLiteral("ines@alvarezgalleries.com"), QUrl(), {}, {});
        extraMerchant = TWMerchant::merchantWithIdentifier(
            b.nextMerchantIdentifier(), QStringLiteral("Print Works"),
            QStringLiteral("Print Works Ltd"), 0, 100, QImage(), {}, {}, {}, QUrl(), {}, {});
        if (failed(b.addClient(extraClient, false), "addClient") ||
            failed(b.addMerchant(extraMerchant, false), "addMerchant"))
            return false;
        const QDate closedDay(first.year(), first.month(), 10);
        extraProject = TWProject::projectWithDate(
            at(first), false, QStringLiteral("Gallery catalogue"), TWProjectTypeProject, at(first),
            {}, 9500, home, 0.0, {}, extraClient->identifier(), b.nextProjectIdentifier());
        if (failed(b.addProject(extraProject, false), "addProject"))
            return false;
        auto estimate =
            TWProject::projectWithDate(at(closedDay), false, QStringLiteral("Gallery signage"),
                                       TWProjectTypeEstimate, at(closedDay), {}, 9500, home, 0.0,
                                       {}, extraClient->identifier(), b.nextProjectIdentifier());
        if (failed(b.addProject(estimate, false), "addProject"))
            return false;
        // The estimate is dated in the year that will be closed.
        if (!flatInvoice(estimate, closedDay, 240000, QStringLiteral("Signage estimate")))
            return false;

        // Accounts of every kind money can come and go through, one in another unit.
        const QString other =
            home->code() == QStringLiteral("EUR") ? QStringLiteral("USD") : QStringLiteral("EUR");
        const TWAccountPtr cash = newAccount(QStringLiteral("Petty cash"), TWAccountTypeCash, home);
        const TWAccountPtr card =
            newAccount(QStringLiteral("Studio card"), TWAccountTypeCreditCard, home);
        const TWAccountPtr held =
            newAccount(QStringLiteral("Deposits held"), TWAccountTypeCurrentAsset, home);
        const TWAccountPtr abroad =
            newAccount(QStringLiteral("Euro account"), TWAccountTypeBank, b.unitWithCode(other));
        if (!cash || !card || !held || !abroad)
            return false;
        const qint32 officeSupplies = account("officeSupplies");
        const qint32 throughs[] = {
            kBank,         cash->identifier(), card->identifier(), held->identifier(),
            kOwnersEquity, officeSupplies};
        // The open year's months, from its first.
        const QDate open(today.year(), 1, 1);
        const auto inOpenYear = [&](int days) { return std::min(open.addDays(days), today); };

        // Money into the other unit's account: a transfer from the bank.
        {
            TWTransactionPtr t = std::make_shared<TWTransaction>();
            t->setIdentifier(b.nextTransactionIdentifier());
            t->setDate(at(inOpenYear(3)));
            t->setPayee(QStringLiteral("Transfer"));
            t->setDescription(QStringLiteral("To the euro account"));
            t->setUnit(b.unitWithCode(other));
            t->setTotal(50000);
            t->setAccount1Identifier(abroad->identifier());
            t->setAccount2Identifier(kBank);
            twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b);
            if (failed(b.addTransaction(t, false, false, false, false), "addTransaction"))
                return false;
        }

        // Invoices and bills paid through each kind of account, in full or in part.
        int n = 0;
        for (const qint32 through : throughs) {
            const QDate day = inOpenYear(5 + 2 * n);
            const TWInvoicePtr invoice =
                flatInvoice(extraProject, day, 30000 + 1000 * n,
                            QStringLiteral("Catalogue proofs %1").arg(n + 1));
            const TWBillPtr bill = newBill(day, 12000 + 500 * n, officeSupplies,
                                           QStringLiteral("Print run %1").arg(n + 1));
            if (!invoice || !bill ||
                !payInvoice(invoice, day.addDays(1), through, 30000 + 1000 * n - (n % 2) * 5000) ||
                !payBill(bill, day.addDays(2), through, 12000 + 500 * n))
                return false;
            ++n;
        }

        // Two identical receipts of a day, each for supplies and a lunch.
        for (int i = 0; i < 2; ++i)
            if (!splitEntry(
                    inOpenYear(20),
                    {{officeSupplies, 4599}, {account("mealsEntertainment"), 2350}, {kBank, -6949}},
                    QStringLiteral("Costco"), QStringLiteral("Supplies and a working lunch")))
                return false;

        // One payment split over two invoices, as the invoice list makes it.
        {
            const QDate day = inOpenYear(25);
            const TWInvoicePtr one =
                flatInvoice(extraProject, day, 41000, QStringLiteral("Frames"));
            const TWInvoicePtr two =
                flatInvoice(extraProject, day, 17550, QStringLiteral("Labels"));
            if (!one || !two)
                return false;
            TWRelationshipList links;
            TWTransactionPtr paid;
            if (failed(b.createInvoiceTransaction({one, two}, b.accountWithIdentifier(kReceivable),
                                                  &links, &paid, false),
                       "createInvoiceTransaction") ||
                !paid || paid->splits().size() != 3)
                return false;
            paid->setDate(at(day.addDays(4)));
            const qint64 amounts[] = {-41000, -17550, 58550};
            for (int i = 0; i < 3; ++i) {
                const TWSplitPtr &split = paid->splits()[i];
                if (i == 2)
                    split->setAccountIdentifier(kBank);
                split->setTotal(amounts[i]);
                twUpdateTotals(*split, TWTotalTypeTotal, TWTotalTypeAll, b);
            }
            if (failed(b.addTransaction(paid, false, false, false, false), "addTransaction"))
                return false;
            for (const TWRelationshipPtr &relationship : links)
                if (failed(b.addRelationship(relationship, false), "addRelationship"))
                    return false;
        }

        // Work and an expense billed together.
        if (!flatInvoice(extraProject, inOpenYear(28), 26000, QStringLiteral("Framed prints"), 0,
                         7350))
            return false;

        // A credit note: an invoice billing less than nothing.
        if (!flatInvoice(extraProject, inOpenYear(30), -8000,
                         QStringLiteral("Credit for misprint")))
            return false;

        // Repeated invoices and bills whose payment comes before, on and after
        // their day, four months ago; and a repeated purchase.
        const QDate source = today.addMonths(-4);
        const int offsets[] = {-7, 0, 9};
        for (const int offset : offsets) {
            const qint32 invoiceRepeat = newRepeat(TWRepeatTypeInvoice);
            const qint32 billRepeat = newRepeat(TWRepeatTypeBill);
            if (!invoiceRepeat || !billRepeat)
                return false;
            const TWInvoicePtr invoice =
                flatInvoice(extraProject, source, 50000,
                            QStringLiteral("Monthly retainer (%1)").arg(offset), invoiceRepeat);
            const TWBillPtr bill =
                newBill(source, 22000, account("rent"),
                        QStringLiteral("Storage unit (%1)").arg(offset), billRepeat);
            if (!invoice || !bill ||
                !payInvoice(invoice, source.addDays(offset), kBank, offset < 0 ? 20000 : 50000) ||
                !payBill(bill, source.addDays(offset), kBank, 22000))
                return false;
        }
        const qint32 purchaseRepeat = newRepeat(TWRepeatTypeTransaction);
        const TWTransactionPtr purchase =
            purchaseRepeat ? entry(source, account("duesSubscriptions"), card->identifier(), 2900,
                                   QStringLiteral("Fontstand"), QStringLiteral("Font rental"))
                           : nullptr;
        if (!purchase)
            return false;
        purchase->setRepeatIdentifier(purchaseRepeat);
        return !failed(b.updateTransaction(purchase, false, false, false, false),
                       "updateTransaction");
    }

    // A transaction of split lines in the home unit, stored at once.
    TWTransactionPtr splitEntry(const QDate &day,
                                const std::vector<std::pair<qint32, qint64>> &lines,
                                const QString &payee, const QString &description)
    {
        TWTransactionPtr t = std::make_shared<TWTransaction>();
        t->setIdentifier(b.nextTransactionIdentifier());
        t->setDate(at(day));
        t->setPayee(payee);
        t->setDescription(description);
        t->setUnit(b.homeUnit());
        TWSplitList splits;
        for (const auto &[account, amount] : lines)
            splits.append(TWSplit::splitWithIdentifier(0, QString(), account, amount, 0, 0, 0, 0,
                                                       b.homeUnit()));
        for (const TWSplitPtr &split : splits)
            twUpdateTotals(*split, TWTotalTypeTotal, TWTotalTypeAll, b);
        t->setSplits(splits);
        t->setHasSplit(true);
        return failed(b.addTransaction(t, false, false, false, false), "addTransaction") ? nullptr
                                                                                         : t;
    }

    // The entry stored last for a document.
    qint32 lastEntry = 0;

    bool linkBill(const TWTransactionPtr &t, const TWBillPtr &bill)
    {
        return t && link(t, TWRelationshipTypeBillPayment, extraMerchant->identifier(),
                         bill->identifier());
    }
    bool linkInvoice(const TWTransactionPtr &t, const TWInvoicePtr &invoice)
    {
        return t && link(t, TWRelationshipTypeInvoicePayment, invoice->projectIdentifier(),
                         invoice->identifier());
    }
    bool store(const TWTransactionPtr &t)
    {
        twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b);
        return !failed(b.updateTransaction(t, false, false, false, false), "updateTransaction");
    }

    bool addShapes()
    {
        const TWUnitPtr home = b.homeUnit();
        const QDate open(today.year(), 1, 1);
        const auto inOpenYear = [&](int days) { return std::min(open.addDays(days), today); };

        // A third unit, a mileage account and its trip, custom fields.
        const QString third =
            home->code() == QStringLiteral("GBP") ? QStringLiteral("CHF") : QStringLiteral("GBP");
        const TWAccountPtr sterling = newAccount(QStringLiteral("Sterling account"),
                                                 TWAccountTypeBank, b.unitWithCode(third));
        const TWUnitPtr km = b.unitWithCode(QStringLiteral("KM"));
        const TWAccountPtr car = newAccount(QStringLiteral("Car log"), TWAccountTypeExpense, km);
        const TWAccountPtr odometer =
            newAccount(QStringLiteral("Odometer"), TWAccountTypeCurrentAsset, km);
        if (!sterling || !km || !car || !odometer)
            return false;
        const TWFieldPtr reference = TWField::fieldWithName(
            QStringLiteral("Reference"), TWFieldTypeText, false, false, b.nextFieldIdentifier());
        if (failed(b.addField(reference, false), "addField"))
            return false;
        const TWFieldPtr levy = TWField::fieldWithName(QStringLiteral("Levy"), TWFieldTypeCurrency,
                                                       false, false, b.nextFieldIdentifier());
        if (failed(b.addField(levy, false), "addField"))
            return false;
        {
            TWTransactionPtr t = std::make_shared<TWTransaction>();
            t->setIdentifier(b.nextTransactionIdentifier());
            t->setDate(at(inOpenYear(6)));
            t->setPayee(QStringLiteral("Transfer"));
            t->setDescription(QStringLiteral("To the sterling account"));
            t->setUnit(b.unitWithCode(third));
            t->setTotal(42050);
            t->setAccount1Identifier(sterling->identifier());
            t->setAccount2Identifier(kBank);
            t->fieldValueWithField(*reference, true)->setText(QStringLiteral("TR-2231"));
            t->fieldValueWithField(*levy, true)->setCurrency(125);
            twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b);
            if (failed(b.addTransaction(t, false, false, false, false), "addTransaction"))
                return false;
            TWTransactionPtr trip = std::make_shared<TWTransaction>();
            trip->setIdentifier(b.nextTransactionIdentifier());
            trip->setDate(at(inOpenYear(8)));
            trip->setPayee(QStringLiteral("Site visit"));
            trip->setDescription(QStringLiteral("To the printer and back"));
            trip->setUnit(km);
            trip->setTotal(4200);
            trip->setTotalStart(1204000);
            trip->setTotalEnd(1208200);
            trip->setAccount1Identifier(car->identifier());
            trip->setAccount2Identifier(odometer->identifier());
            trip->fieldValueWithField(*reference, true)->setText(QStringLiteral("Van"));
            twUpdateTotals(*trip, TWTotalTypeTotal, TWTotalTypeAll, b);
            if (failed(b.addTransaction(trip, false, false, false, false), "addTransaction"))
                return false;
        }

        // Bills charged to a prepaid asset and a loan (both repeated each
        // month), a payroll liability and the owner.
        const TWAccountPtr prepaid =
            newAccount(QStringLiteral("Prepaid insurance"), TWAccountTypeCurrentAsset, home);
        const TWAccountPtr loan = newAccount(QStringLiteral("Van loan"), TWAccountTypeLoan, home);
        const TWAccountPtr interest =
            newAccount(QStringLiteral("Loan interest"), TWAccountTypeExpense, home);
        const TWAccountPtr payroll =
            newAccount(QStringLiteral("Payroll taxes owed"), TWAccountTypeCurrentLiability, home);
        const TWAccountPtr deferred =
            newAccount(QStringLiteral("Deferred revenue"), TWAccountTypeCurrentLiability, home);
        const TWAccountPtr discounts =
            newAccount(QStringLiteral("Discounts given"), TWAccountTypeIncome, home);
        const TWAccountPtr lateFees =
            newAccount(QStringLiteral("Late fees"), TWAccountTypeIncome, home);
        if (!prepaid || !loan || !interest || !payroll || !deferred || !discounts || !lateFees)
            return false;
        const QDate source = today.addMonths(-3);
        const qint32 prepaidRepeat = newRepeat(TWRepeatTypeBill);
        const qint32 loanRepeat = newRepeat(TWRepeatTypeBill);
        const TWBillPtr premium = newBill(source, 60000, prepaid->identifier(),
                                          QStringLiteral("Insurance premium"), prepaidRepeat);
        if (!prepaidRepeat || !loanRepeat || !premium ||
            !payBill(premium, source.addDays(3), kBank, 60000))
            return false;
        {
            auto bill =
                TWBill::billWithDate(at(source), QStringLiteral("Van loan instalment"), true, false,
                                     at(source.addDays(10)), loanRepeat, QString(),
                                     extraMerchant->identifier(), b.nextBillIdentifier());
            if (failed(b.addBill(bill, false), "addBill"))
                return false;
            const TWTransactionPtr charge = splitEntry(
                source,
                {{kPayable, -45000}, {loan->identifier(), 38000}, {interest->identifier(), 7000}},
                extraMerchant->name(), QStringLiteral("Van loan instalment"));
            if (!linkBill(charge, bill) || !payBill(bill, source.addDays(5), kBank, 45000))
                return false;
            entryStored(TWRelationshipTypeBillPayment, bill->identifier(), charge);
        }
        if (!newBill(inOpenYear(40), 31000, payroll->identifier(),
                     QStringLiteral("Payroll taxes")) ||
            !newBill(inOpenYear(42), 9900, kOwnersEquity, QStringLiteral("Paid by the owner")))
            return false;

        // An invoice billed in advance: its entry moved to deferred revenue.
        {
            const TWInvoicePtr invoice = flatInvoice(extraProject, inOpenYear(44), 120000,
                                                     QStringLiteral("Annual retainer"));
            const TWTransactionPtr charge =
                invoice ? b.transactionWithIdentifier(lastEntry) : nullptr;
            if (!charge)
                return false;
            charge->setAccount2Identifier(deferred->identifier());
            if (!store(charge) || !payInvoice(invoice, inOpenYear(46), kBank, 60000))
                return false;
        }
        // An entry cut by hand: a discount.
        {
            const TWInvoicePtr invoice = flatInvoice(extraProject, inOpenYear(47), 30000,
                                                     QStringLiteral("Catalogue layout"));
            const TWTransactionPtr charge =
                invoice ? b.transactionWithIdentifier(lastEntry) : nullptr;
            if (!charge)
                return false;
            charge->setTotal(27000);
            if (!store(charge))
                return false;
        }
        // A discount written off to income, and a supplier credit through an
        // expense, whose documents' entries were deleted since.
        {
            const TWInvoicePtr invoice = flatInvoice(extraProject, inOpenYear(48), 40000,
                                                     QStringLiteral("Exhibition poster"));
            const TWTransactionPtr charge =
                invoice ? b.transactionWithIdentifier(lastEntry) : nullptr;
            if (!charge ||
                !linkInvoice(entry(inOpenYear(50), kReceivable, discounts->identifier(), -4000,
                                   extraClient->company(), QStringLiteral("Discount")),
                             invoice) ||
                !payInvoice(invoice, inOpenYear(51), kBank, 36000) ||
                failed(b.deleteTransaction(charge, false, false, false), "deleteTransaction"))
                return false;
            const qint32 supplies = account("officeSupplies");
            const TWBillPtr bill =
                newBill(inOpenYear(48), 15000, supplies, QStringLiteral("Paper stock"));
            const TWTransactionPtr billCharge =
                bill ? b.transactionWithIdentifier(lastEntry) : nullptr;
            if (!billCharge ||
                !linkBill(entry(inOpenYear(50), kPayable, supplies, 2000, extraMerchant->name(),
                                QStringLiteral("Supplier credit")),
                          bill) ||
                !payBill(bill, inOpenYear(52), kBank, 13000) ||
                failed(b.deleteTransaction(billCharge, false, false, false), "deleteTransaction"))
                return false;
        }
        // A late fee linked to an invoice paid late and in part.
        {
            const TWInvoicePtr invoice =
                flatInvoice(extraProject, inOpenYear(53), 50000, QStringLiteral("Gallery opening"));
            if (!invoice ||
                !linkInvoice(entry(inOpenYear(90), kReceivable, lateFees->identifier(), 2500,
                                   extraClient->company(), QStringLiteral("Late fee")),
                             invoice) ||
                !payInvoice(invoice, inOpenYear(95), kBank, 30000))
                return false;
        }
        // An invoice in another unit, whose rate changed since.
        {
            const QString other = home->code() == QStringLiteral("EUR") ? QStringLiteral("USD")
                                                                        : QStringLiteral("EUR");
            const TWUnitPtr unit = b.unitWithCode(other);
            auto project = TWProject::projectWithDate(
                at(open), false, QStringLiteral("Berlin show"), TWProjectTypeProject, at(open), {},
                9500, unit, 0.0, {}, extraClient->identifier(), b.nextProjectIdentifier());
            if (!unit || failed(b.addProject(project, false), "addProject"))
                return false;
            const QDate day = inOpenYear(55);
            auto task = TWTask::taskWithDate(at(day), true, QStringLiteral("Show graphics"),
                                             TWTaskTypeFlat, 1.0, 1.0, 80000, 0.0, QString(),
                                             project->identifier(), b.nextTaskIdentifier());
            task->setInvoiceQuantity(1.0);
            auto invoice = TWInvoice::invoiceWithDate(
                at(day), QString::number(extraNumber++), QStringLiteral("Show graphics"), true,
                false, at(day.addDays(30)), 0, QString(), project->identifier(),
                b.nextInvoiceIdentifier());
            if (failed(b.addTask(task, false), "addTask") ||
                failed(b.addInvoice(invoice, false), "addInvoice") ||
                failed(b.updateInvoiceItems(invoice, {task}, {}), "updateInvoiceItems"))
                return false;
            TWTransactionPtr t = std::make_shared<TWTransaction>();
            t->setIdentifier(b.nextTransactionIdentifier());
            t->setDate(at(day));
            t->setPayee(extraClient->company());
            t->setDescription(QStringLiteral("Show graphics"));
            t->setUnit(unit);
            t->setTotal(80000);
            t->setAccount1Identifier(kReceivable);
            t->setAccount2Identifier(kSales);
            twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b);
            if (failed(b.addTransaction(t, false, false, false, false), "addTransaction") ||
                !linkInvoice(t, invoice))
                return false;
            entryStored(TWRelationshipTypeInvoicePayment, invoice->identifier(), t);
            unit->setRate(unit->rate() * 1.25);
            if (failed(b.updateUnitRate(unit, false), "updateUnitRate"))
                return false;
        }
        // A bill whose charge stayed on the bank the bill sheet offers, paid
        // from that bank.
        {
            const TWBillPtr bill =
                newBill(inOpenYear(61), 5000, kBank, QStringLiteral("Window cleaning"));
            if (!bill || !payBill(bill, inOpenYear(64), kBank, 5000))
                return false;
        }
        // A bill paid twice by card, the merchant giving the second payment
        // back onto the card: the refund raises what the bill is owed again.
        {
            const TWAccountList cards = b.accountsOfType(TWAccountTypeCreditCard);
            const qint32 card = cards.isEmpty() ? 0 : cards.first()->identifier();
            const TWBillPtr bill = newBill(inOpenYear(56), 9000, account("postageShipping"),
                                           QStringLiteral("Courier account"));
            if (!card || !bill || !payBill(bill, inOpenYear(58), card, 9000) ||
                !payBill(bill, inOpenYear(59), card, 9000) ||
                !linkBill(entry(inOpenYear(66), kPayable, card, -9000, extraMerchant->name(),
                                QStringLiteral("Refund of the second payment")),
                          bill))
                return false;
        }
        return true;
    }

    // ---- What every business holds (its own client, project and merchant) ----

    // A link marked as the store marks it once it knows the document's entry.
    bool markedLink(const TWTransactionPtr &t, std::uint32_t type, qint32 parent, qint32 child,
                    TWDocumentLinkRole role)
    {
        return t &&
               !failed(b.addRelationship(TWRelationship::relationshipWithType(
                                             type, double(role), parent, child, t->identifier(), 0,
                                             b.nextRelationshipIdentifier()),
                                         false),
                       "addRelationship");
    }

    // A transaction of `total` in `unit`, into `to` from `from`, or of split
    // lines in that unit when `lines` are given; stored at once.
    TWTransactionPtr entryIn(const QDate &day, const TWUnitPtr &unit, qint32 to, qint32 from,
                             qint64 total, const std::vector<std::pair<qint32, qint64>> &lines,
                             const QString &payee, const QString &description)
    {
        TWTransactionPtr t = std::make_shared<TWTransaction>();
        t->setIdentifier(b.nextTransactionIdentifier());
        t->setDate(at(day));
        t->setPayee(payee);
        t->setDescription(description);
        t->setUnit(unit);
        if (lines.empty()) {
            t->setTotal(total);
            t->setAccount1Identifier(to);
            t->setAccount2Identifier(from);
            twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b);
        } else {
            TWSplitList splits;
            for (const auto &[account, amount] : lines)
                splits.append(
                    TWSplit::splitWithIdentifier(0, QString(), account, amount, 0, 0, 0, 0, unit));
            t->setSplits(splits);
            t->setHasSplit(true);
            twUpdateSplitTotals(*t, b);
            twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b);
        }
        return failed(b.addTransaction(t, false, false, false, false), "addTransaction") ? nullptr
                                                                                         : t;
    }

    TWClientPtr everyClient;
    TWMerchantPtr everyMerchant;
    int everyNumber = 7001;

    // An invoice of `project` on `day` billing `tasks` and `expenses` (their
    // billed quantities set), with no entry yet.
    TWInvoicePtr everyInvoice(const TWProjectPtr &project, const QDate &day, const QString &what,
                              const TWTaskList &tasks, const TWExpenseList &expenses,
                              qint32 repeat = 0)
    {
        for (const TWTaskPtr &task : tasks)
            if (failed(b.addTask(task, false), "addTask"))
                return nullptr;
        for (const TWExpensePtr &expense : expenses)
            if (failed(b.addExpense(expense, false), "addExpense"))
                return nullptr;
        auto invoice = TWInvoice::invoiceWithDate(
            at(day), QString::number(everyNumber++), what, true, false, at(day.addDays(30)), repeat,
            QString(), project->identifier(), b.nextInvoiceIdentifier());
        if (failed(b.addInvoice(invoice, false), "addInvoice") ||
            failed(b.updateInvoiceItems(invoice, tasks, expenses), "updateInvoiceItems"))
            return nullptr;
        return invoice;
    }
    TWTaskPtr flatTask(const TWProjectPtr &project, const QDate &day, const QString &what,
                       qint64 price, double taxRate = 0.0)
    {
        auto task =
            TWTask::taskWithDate(at(day), true, what, TWTaskTypeFlat, 1.0, 1.0, price, taxRate,
                                 QString(), project->identifier(), b.nextTaskIdentifier());
        task->setInvoiceQuantity(1.0);
        return task;
    }

    // A document's entry and what follows it, each linked and marked.
    bool invoiceEntry(const TWInvoicePtr &invoice, const TWTransactionPtr &t)
    {
        if (!markedLink(t, TWRelationshipTypeInvoicePayment, invoice->projectIdentifier(),
                        invoice->identifier(), TWDocumentLinkEntry))
            return false;
        entryStored(TWRelationshipTypeInvoicePayment, invoice->identifier(), t);
        return true;
    }
    bool invoiceOther(const TWInvoicePtr &invoice, const TWTransactionPtr &t)
    {
        return markedLink(t, TWRelationshipTypeInvoicePayment, invoice->projectIdentifier(),
                          invoice->identifier(), TWDocumentLinkOther);
    }
    bool billEntry(const TWBillPtr &bill, const TWTransactionPtr &t)
    {
        if (!markedLink(t, TWRelationshipTypeBillPayment, bill->merchantIdentifier(),
                        bill->identifier(), TWDocumentLinkEntry))
            return false;
        entryStored(TWRelationshipTypeBillPayment, bill->identifier(), t);
        return true;
    }
    bool billOther(const TWBillPtr &bill, const TWTransactionPtr &t)
    {
        return markedLink(t, TWRelationshipTypeBillPayment, bill->merchantIdentifier(),
                          bill->identifier(), TWDocumentLinkOther);
    }

    // Taxed lines, month ends, a unit of its own, budgets, settings, and the
    // payments that go wrong: in every business, dated in the year under way
    // before the month of `today`, or repeated up to it.
    bool addEveryShape()
    {
        const TWUnitPtr home = b.homeUnit();
        const QDate open(today.year(), 1, 1);
        const auto inOpenYear = [&](int days) { return std::min(open.addDays(days), today); };
        const QString other =
            home->code() == QStringLiteral("EUR") ? QStringLiteral("USD") : QStringLiteral("EUR");
        const TWUnitPtr abroad = b.unitWithCode(other);
        // A newcomer's books charge tax to the chart's own account and keep
        // what they add among the chart's groups; a user's own may not.
        const TWAccountPtr tax =
            userChanges ? newAccount(QStringLiteral("Sales tax"), TWAccountTypeTax, home)
                        : b.accountWithIdentifier(account("salesTax"));
        const TWAccountPtr supplyCosts = b.accountWithIdentifier(account("officeSupplies"));
        const TWAccountPtr badDebts =
            supplyCosts ? newAccount(QStringLiteral("Bad debts"), TWAccountTypeExpense, home,
                                     userChanges ? 0 : supplyCosts->parentIdentifier())
                        : nullptr;
        if (!abroad || !tax || !badDebts)
            return false;
        everyClient = TWClient::clientWithIdentifier(
            b.nextClientIdentifier(), QStringLiteral("Noor Haddad"),
            QStringLiteral("Marlow Tea Rooms"), 0, 200, QImage(), {}, {},
            QStringLiteral("noor@marlowtearooms.com"), QUrl(), {}, {});
        everyMerchant = TWMerchant::merchantWithIdentifier(
            b.nextMerchantIdentifier(), QStringLiteral("Inkwell Supplies"),
            QStringLiteral("Inkwell Supplies Ltd"), 0, 200, QImage(), {}, {}, {}, QUrl(), {}, {});
        if (failed(b.addClient(everyClient, false), "addClient") ||
            failed(b.addMerchant(everyMerchant, false), "addMerchant"))
            return false;
        const auto newProject = [&](const QString &name, const TWUnitPtr &unit) {
            auto project = TWProject::projectWithDate(
                at(open), false, name, TWProjectTypeProject, at(open), {}, 9500, unit, 0.0, {},
                everyClient->identifier(), b.nextProjectIdentifier());
            return failed(b.addProject(project, false), "addProject") ? nullptr : project;
        };
        const TWProjectPtr tearooms = newProject(QStringLiteral("Tea room menus"), home);
        const TWProjectPtr popUp = newProject(QStringLiteral("Lisbon pop-up"), abroad);
        if (!tearooms || !popUp)
            return false;
        const QString client = everyClient->company();
        const QString merchant = everyMerchant->name();
        const qint32 receivable = kReceivable;
        const qint32 supplies = account("officeSupplies");

        // Taxed lines: work at 8.5% and an expense at 20%, paid in full.
        {
            const QDate day = inOpenYear(20);
            const TWTaskPtr task =
                flatTask(tearooms, day, QStringLiteral("Menu design"), 42000, 8.5);
            auto expense = TWExpense::expenseWithDate(at(day), QStringLiteral("Menu printing"), 1.0,
                                                      7350, 20.0, QString(), tearooms->identifier(),
                                                      b.nextExpenseIdentifier());
            expense->setInvoiceQuantity(1.0);
            const TWInvoicePtr invoice =
                everyInvoice(tearooms, day, QStringLiteral("Taxed menus"), {task}, {expense});
            // 42000 + 3570 tax, 7350 + 1470 tax.
            if (!invoice ||
                !invoiceEntry(
                    invoice,
                    entryIn(day, home, 0, 0, 0,
                            {{receivable, 54390}, {tax->identifier(), -5040}, {kSales, -49350}},
                            client, QStringLiteral("Taxed menus"))) ||
                !invoiceOther(invoice,
                              entryIn(inOpenYear(35), home, receivable, kBank, -54390, {}, client,
                                      QStringLiteral("Payment of the taxed menus"))))
                return false;
        }
        // Taxed work not paid yet.
        {
            const QDate day = inOpenYear(120);
            const TWInvoicePtr invoice = everyInvoice(
                tearooms, day, QStringLiteral("Afternoon tea menus"),
                {flatTask(tearooms, day, QStringLiteral("Afternoon tea menus"), 26000, 8.5)}, {});
            // 26000 + 2210 tax.
            if (!invoice ||
                !invoiceEntry(
                    invoice,
                    entryIn(day, home, 0, 0, 0,
                            {{receivable, 28210}, {tax->identifier(), -2210}, {kSales, -26000}},
                            client, QStringLiteral("Afternoon tea menus"))))
                return false;
        }
        // A taxed bill: supplies and the tax on them, paid in full.
        {
            const QDate day = inOpenYear(22);
            auto bill = TWBill::billWithDate(at(day), QStringLiteral("Taxed paper"), true, true,
                                             at(day.addDays(15)), 0, QString(),
                                             everyMerchant->identifier(), b.nextBillIdentifier());
            if (failed(b.addBill(bill, false), "addBill") ||
                !billEntry(
                    bill,
                    entryIn(day, home, 0, 0, 0,
                            {{kPayable, -36000}, {supplies, 30000}, {tax->identifier(), 6000}},
                            merchant, QStringLiteral("Taxed paper"))) ||
                !billOther(bill, entryIn(inOpenYear(30), home, kPayable, kBank, 36000, {}, merchant,
                                         QStringLiteral("Payment of the taxed paper"))))
                return false;
        }
        // An invoice in another unit paid from the home bank: the payment
        // is in the invoice's unit, the bank's side converted.
        {
            const QDate day = inOpenYear(24);
            const TWInvoicePtr invoice =
                everyInvoice(popUp, day, QStringLiteral("Pop-up signage"),
                             {flatTask(popUp, day, QStringLiteral("Pop-up signage"), 60000)}, {});
            if (!invoice ||
                !invoiceEntry(invoice, entryIn(day, abroad, receivable, kSales, 60000, {}, client,
                                               QStringLiteral("Pop-up signage"))) ||
                !invoiceOther(invoice,
                              entryIn(inOpenYear(40), abroad, receivable, kBank, -60000, {}, client,
                                      QStringLiteral("Payment of the pop-up signage"))))
                return false;
        }
        // A payment that bounced (the receivable raised again against the
        // bank) and was paid again; an overpayment refunded; a write-off.
        {
            const QDate day = inOpenYear(60);
            const TWInvoicePtr bounced =
                everyInvoice(tearooms, day, QStringLiteral("Tasting cards"),
                             {flatTask(tearooms, day, QStringLiteral("Tasting cards"), 25000)}, {});
            const TWInvoicePtr overpaid = everyInvoice(
                tearooms, day, QStringLiteral("Window lettering"),
                {flatTask(tearooms, day, QStringLiteral("Window lettering"), 18000)}, {});
            const TWInvoicePtr writtenOff =
                everyInvoice(tearooms, day, QStringLiteral("Loyalty cards"),
                             {flatTask(tearooms, day, QStringLiteral("Loyalty cards"), 12000)}, {});
            if (!bounced || !overpaid || !writtenOff)
                return false;
            const auto charge = [&](const TWInvoicePtr &invoice, qint64 amount) {
                return invoiceEntry(invoice, entryIn(day, home, receivable, kSales, amount, {},
                                                     client, invoice->name()));
            };
            const auto then = [&](const TWInvoicePtr &invoice, int days, qint32 against,
                                  qint64 amount, const char *what) {
                return invoiceOther(invoice, entryIn(inOpenYear(days), home, receivable, against,
                                                     amount, {}, client, QLatin1String(what)));
            };
            if (!charge(bounced, 25000) || !then(bounced, 70, kBank, -25000, "Payment") ||
                // Entered in the bank's register: the bank first.
                !invoiceOther(bounced, entryIn(inOpenYear(74), home, kBank, receivable, -25000, {},
                                               client, QStringLiteral("Bounced payment"))) ||
                !then(bounced, 80, kBank, -25000, "Payment again") || !charge(overpaid, 18000) ||
                !then(overpaid, 71, kBank, -20000, "Payment") ||
                !then(overpaid, 78, kBank, 2000, "Refund of the overpayment") ||
                !charge(writtenOff, 12000) || !then(writtenOff, 72, kBank, -7000, "Part payment") ||
                !then(writtenOff, 110, badDebts->identifier(), -5000, "Written off"))
                return false;
        }
        // Month ends: a bill repeated monthly from the 31st of January, and
        // a purchase repeated monthly from the 29th of February of a leap
        // year, its last occurrence on the 29th of January. Opening brings
        // both up to date.
        {
            const QDate january31(today.year(), 1, 31);
            const qint32 billRepeat = newRepeat(TWRepeatTypeBill);
            const qint32 purchaseRepeat = newRepeat(TWRepeatTypeTransaction);
            if (!billRepeat || !purchaseRepeat)
                return false;
            auto bill =
                TWBill::billWithDate(at(january31), QStringLiteral("Storage at the month's end"),
                                     true, false, at(january31.addDays(10)), billRepeat, QString(),
                                     everyMerchant->identifier(), b.nextBillIdentifier());
            if (failed(b.addBill(bill, false), "addBill") ||
                !billEntry(bill, entryIn(january31, home, kPayable, account("rent"), -14500, {},
                                         merchant, QStringLiteral("Storage"))))
                return false;
            int leap = first.year();
            while (!QDate::isLeapYear(leap))
                --leap;
            for (const QDate &day : {QDate(leap, 2, 29), QDate(today.year(), 1, 29)}) {
                const TWTransactionPtr t =
                    entryIn(day, home, account("duesSubscriptions"), kBank, 2400, {},
                            QStringLiteral("Harbour Moorings"), QStringLiteral("Mooring fee"));
                if (!t)
                    return false;
                t->setRepeatIdentifier(purchaseRepeat);
                if (failed(b.updateTransaction(t, false, false, false, false), "updateTransaction"))
                    return false;
            }
        }
        // Budgets: supplies monthly with what is left rolling over, travel yearly.
        {
            const auto budget = [&](const char *key, qint64 total, std::uint32_t unit,
                                    bool rollover) {
                const qint32 identifier = b.nextBudgetItemsIdentifier();
                return identifier != 0 &&
                       !failed(b.addBudgetItem(TWBudgetItem::budgetItemWithItemType(
                                                   TWItemTypeAccount, account(key), total, home,
                                                   QDateTime(open, QTime(0, 0)), 1, unit, rollover,
                                                   identifier),
                                               false),
                               "addBudgetItem");
            };
            if (!budget("officeSupplies", 25000, TWBudgetCycleUnitMonth, true) ||
                !budget("travel", 150000, TWBudgetCycleUnitYear, false))
                return false;
        }
        if (!userChanges)
            return true;
        // Settings a user changed.
        b.setSearchFieldType(1);
        b.setTransactionRangeType(11);
        b.setTransactionRangeFromDate(QDateTime(open, QTime(0, 0)));
        b.setTransactionRangeToDate(QDateTime(QDate(today.year(), 3, 31), QTime(0, 0)));
        b.setBudgetStartDate(QDateTime(open, QTime(0, 0)));
        b.setShowSummary(true);
        b.setVoiceMemoAudioQuality(2);
        b.setMasterDividerPosition(233.5);
        return true;
    }

    // Closes the first year as the business information sheet does.
    bool closeFirstYear()
    {
        TWBusinessInfoPtr info = b.businessInfo()->copy();
        TWAccountingPeriodList periods = TWAccountingPeriod::copyPeriods(info->accountingPeriods());
        if (periods.isEmpty())
            return false;
        periods.first()->setClosed(true);
        info->setAccountingPeriods(periods);
        if (failed(b.updateBusinessInfo(info), "updateBusinessInfo") ||
            failed(b.deleteAccountingPeriods(true), "deleteAccountingPeriods"))
            return false;
        for (const TWAccountingPeriodPtr &period : periods)
            if (failed(b.addAccountingPeriod(period, true), "addAccountingPeriod"))
                return false;
        return !failed(b.updateAccountingPeriods(true), "updateAccountingPeriods") &&
               !failed(b.updateTransactionStates(), "updateTransactionStates");
    }

    // One period per calendar year, none closed, so every entry can still
    // be changed while the newcomer looks around.
    bool addPeriods()
    {
        TWBusinessInfoPtr info = b.businessInfo()->copy();
        info->setNominalTransferAccountIdentifier(kOwnersEquity);
        TWAccountingPeriodList periods;
        for (int year = first.year(); year <= today.year(); ++year)
            periods.append(TWAccountingPeriod::accountingPeriodWithName(
                QString::number(year), QDateTime(QDate(year, 1, 1), QTime(0, 0)),
                QDateTime(QDate(year, 12, 31), QTime(0, 0)), false, 0));
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
               !failed(b.updateAccountingPeriods(true), "updateAccountingPeriods");
    }
};

} // namespace

std::unique_ptr<TWBusiness> twBenchMakeSampleBusiness(int transactions, const QString &homeCurrency)
{
    TWBenchSampleOptions options;
    options.transactions = transactions;
    options.homeCurrency = homeCurrency;
    return twBenchMakeSampleBusiness(options);
}

std::unique_ptr<TWBusiness> twBenchMakeSampleBusiness(const TWBenchSampleOptions &options)
{
    const int transactions = options.transactions;
    TWBusinessInfoPtr info = TWBusinessInfo::newBusinessInfo();
    info->setName(QStringLiteral("Harbor Lane Design Studio"));
    info->setHomeCurrency(options.homeCurrency);
    info->setCreateDefaultAccounts(true);
    TWErrorResult error;
    std::unique_ptr<TWBusiness> business = TWBusiness::businessWithBusinessInfo(info, &error);
    if (!business || failed(error, "businessWithBusinessInfo"))
        return nullptr;
    TWBusiness &b = *business;
    Sample sample(b);
    sample.entryMade = options.entryMade;
    sample.userChanges = options.userChanges;
    const QDate today = TWClock::today();
    sample.first = QDate(today.year(), today.month(), 1).addMonths(-(kMonths - 1));
    if (!sample.findAccounts())
        return nullptr;
    if (failed(b.beginTransaction(), "beginTransaction"))
        return nullptr;
    bool ok = sample.planWork() && sample.planBills();
    if (ok) {
        sample.planRegulars();
        // Purchases the bank could not afford are dropped: plan again until
        // the books hold about as many entries as asked for.
        for (int round = 0; round < 4 && int(sample.plan.size()) < transactions; ++round) {
            sample.planPurchases(transactions);
            sample.keepInCredit();
        }
        ok = sample.store() && (!options.extras || sample.addExtras()) &&
             (!options.shapes || sample.addShapes()) &&
             (!options.yearShapes || sample.addEveryShape()) && sample.addPeriods() &&
             (!options.extras || sample.closeFirstYear());
        // Each record's entry kept as such, as a business this build saved
        // keeps it.
        ok = ok && !failed(b.keepDocumentEntries(), "keepDocumentEntries");
    }
    if (failed(b.commitTransaction(), "commitTransaction") || !ok)
        return nullptr;
    b.notifyTransactionsAdd();
    b.notifyRelationshipsAdd();
    b.notifyProjectsAdd();
    b.notifyTasksAdd();
    b.notifyTaskItemsAdd();
    b.notifyInvoicesAdd();
    b.notifyBillsAdd();
    return business;
}
