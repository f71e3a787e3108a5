#include "TWInvoiceTestSupport.h"
#include "foundation/TWDateAdditions.h"

#include "WorkTestSupport.h"
#include "store/TWTransactionEditing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace
{

using Amounts = QHash<qint32, qint64>;
using Seconds = QHash<qint32, double>;

TWTransactionPtr addSplitEntry(TWInvoiceBook &book, const QDateTime &date,
                               const QList<std::pair<qint32, qint64>> &lines)
{
    TWBusiness &b = book.b();
    TWTransactionPtr t = twNewTransaction(b);
    t->setDate(date);
    t->setUnit(b.homeUnit());
    t->setHasSplit(true);
    TWSplitList splits;
    for (const auto &[account, amount] : lines)
        splits.append(TWSplit::splitWithIdentifier(0, QString(), account, amount, amount, amount, 0,
                                                   0, b.homeUnit()));
    t->setSplits(splits);
    EXPECT_OK(b.addTransaction(t, false, false, false, false));
    return t;
}

void addLink(TWBusiness &b, std::uint32_t type, qint32 parent, qint32 child, qint32 transaction,
             qint32 split = 0, double value = 0.0)
{
    EXPECT_OK(b.addRelationship(
        TWRelationship::relationshipWithType(type, value, parent, child, transaction, split,
                                             b.nextRelationshipIdentifier()),
        false));
}

TWClientPtr addClient(TWBusiness &b, const QString &name)
{
    TWClientPtr client = TWClient::clientWithIdentifier(b.nextClientIdentifier(), name, name, 0, 0,
                                                        QImage(), {}, {}, {}, QUrl(), {}, {});
    EXPECT_OK(b.addClient(client, false));
    return client;
}

TWProjectPtr addProject(TWBusiness &b, qint32 client, std::uint32_t type = TWProjectTypeProject)
{
    TWProjectPtr project = TWProject::projectWithDate(
        twLocal(2024, 1, 1), false, QStringLiteral("P"), type, {}, {}, 0,
        b.unitWithCode(QStringLiteral("USD")), 0.0, {}, client, b.nextProjectIdentifier());
    EXPECT_OK(b.addProject(project, false));
    return project;
}

TWTaskPtr addTimedTask(TWBusiness &b, qint32 project)
{
    TWTaskPtr task = twWorkTask(b.nextTaskIdentifier(), project, twLocal(2024, 3, 1));
    EXPECT_OK(b.addTask(task, false));
    return task;
}

void addItem(TWBusiness &b, qint32 task, const QDateTime &start, const QDateTime &end)
{
    EXPECT_OK(b.addTaskItem(twWorkItem(b.nextTaskItemIdentifier(), task, start, end), false));
}

constexpr qint64 kDay = 86400;

} // namespace

TEST(ClientTotals, SpansColumnsAndLinksToMissingRecords)
{
    TWInvoiceBook book = twInvoiceBook();
    ASSERT_TRUE(book.business);
    TWBusiness &b = book.b();
    const TWInvoicePtr invoice = book.addInvoice(QStringLiteral("Site"));
    const TWClientPtr bea = addClient(b, QStringLiteral("Bea"));
    const TWProjectPtr beaProject = addProject(b, bea->identifier());
    const TWInvoicePtr beaInvoice = book.addInvoice(QStringLiteral("Bea"), {}, beaProject);
    const qint32 ada = book.client->identifier();

    book.addEntry(invoice, twLocal(2024, 1, 31, 23, 59), kReceivable, kSales, 100);
    book.addEntry(invoice, twLocal(2024, 2, 1), kReceivable, kSales, 20);
    book.addEntry(beaInvoice, twLocal(2024, 2, 29, 18), kReceivable, kSales, 3);
    book.addEntry(beaInvoice, twLocal(2024, 3, 1), kReceivable, kSales, 4000);

    // Links to a transaction, a line, a project or a client that are gone
    // count nothing.
    const TWTransactionPtr kept =
        book.addEntry(invoice, twLocal(2024, 2, 2), kReceivable, kSales, 5);
    const qint32 site = book.project->identifier();
    addLink(b, TWRelationshipTypeInvoicePayment, 4242, 1, kept->identifier());
    addLink(b, TWRelationshipTypeInvoicePayment, addProject(b, 9999)->identifier(), 1,
            kept->identifier());
    addLink(b, TWRelationshipTypeInvoicePayment, site, 1, kept->identifier(), 31337);
    addLink(b, TWRelationshipTypeInvoicePayment, site, 1, 987654);
    addLink(b, TWRelationshipTypeInvoicePayment, site, 1, kept->identifier());

    // February by calendar day, both ends included; the kept transaction
    // counts twice, once for each of its two good links.
    TWClientTotals february = b.clientTotals(twLocal(2024, 2, 1, 12), twLocal(2024, 2, 29));
    EXPECT_EQ(february.clients,
              (QHash<qint32, Amounts>{{ada, {{site, 30}}},
                                      {bea->identifier(), {{beaProject->identifier(), 3}}}}));
    EXPECT_EQ(february.totals, (Amounts{{ada, 30}, {bea->identifier(), 3}}));
    // An open start takes everything up to the end.
    EXPECT_EQ(b.clientTotals(QDateTime(), twLocal(2024, 1, 31)).totals, (Amounts{{ada, 100}}));

    // Columns, overlapping ones and an inverted one included, equal the
    // single-span sums of all clients.
    const QList<TWDateSpan> columns{{twLocal(2024, 1, 1), twLocal(2024, 1, 31)},
                                    {twLocal(2024, 2, 1), twLocal(2024, 2, 29)},
                                    {QDateTime(), twLocal(2024, 2, 29)},
                                    {twLocal(2024, 2, 29), QDateTime()},
                                    {twLocal(2024, 3, 1), twLocal(2024, 2, 1)}};
    EXPECT_EQ(b.groupClientTotals(columns), (QList<qint64>{100, 33, 133, 4003, 0}));
    EXPECT_TRUE(b.groupClientTotals({}).isEmpty());
}

TEST(MerchantTotals, PayableLinesThroughBillLinks)
{
    TWInvoiceBook book = twInvoiceBook();
    ASSERT_TRUE(book.business);
    TWBusiness &b = book.b();
    const TWBillPtr bill = book.addBill(QStringLiteral("Paper"));
    const qint32 merchant = book.merchant->identifier();
    const QDateTime may = twLocal(2024, 5, 20);

    book.addEntry(bill, may, kPayable, kAdvertising, -500); // counts 500
    book.addEntry(bill, may, kPayable, kAdvertising, 300);
    book.addEntry(bill, may, kPayable, kPayable, 60);      // account 2 is not looked at
    book.addEntry(bill, may, kAdvertising, kPayable, 800); // counts 800
    book.addEntry(bill, may, kBank, kPayable, -100);
    TWTransactionPtr split =
        addSplitEntry(book, may, {{kPayable, -250}, {kPayable, 40}, {kAdvertising, 210}});
    book.link(split, bill); // counts 250
    TWTransactionPtr lines = addSplitEntry(book, twLocal(2024, 6, 1),
                                           {{kPayable, -70}, {kPayable, 30}, {kAdvertising, 40}});
    for (const qsizetype line : {0, 1, 2}) // counts 70
        addLink(b, TWRelationshipTypeBillPayment, merchant, bill->identifier(), lines->identifier(),
                lines->splits().at(line)->identifier());
    // A link whose merchant is gone counts nothing.
    const TWTransactionPtr stray = book.addEntry(bill, may, kPayable, kAdvertising, -9);
    book.link(stray, TWRelationshipTypeBillPayment, 5555, bill->identifier());

    EXPECT_EQ(b.merchantTotalsWithMerchants(QDateTime(), QDateTime()),
              (Amounts{{merchant, 500 + 800 + 250 + 70 + 9}}));
    EXPECT_EQ(b.groupMerchantTotals({{twLocal(2024, 5, 1), twLocal(2024, 5, 31)},
                                     {twLocal(2024, 6, 1), twLocal(2024, 6, 30)},
                                     {twLocal(2024, 7, 1), twLocal(2024, 7, 31)}}),
              (QList<qint64>{1559, 70, 0}));
    // Bill links count nothing for clients: no links give zeros.
    EXPECT_EQ(b.groupClientTotals({TWDateSpan{}, TWDateSpan{}}), (QList<qint64>{0, 0}));
}

TEST(ClientUninvoiced, WorkInTheSpanPerProject)
{
    TWInvoiceBook book = twInvoiceBook();
    ASSERT_TRUE(book.business);
    TWBusiness &b = book.b();
    const qint32 ada = book.client->identifier();
    const qint32 site = book.project->identifier();
    // Two hours at 5.00 on 1 May, one of them billed already.
    const TWTaskPtr task =
        TWTask::taskWithDate(twLocal(2024, 5, 1), false, QStringLiteral("Work"), TWTaskTypeHour,
                             0.0, 2.0, 500, 0.0, {}, site, b.nextTaskIdentifier());
    ASSERT_OK(b.addTask(task, false));
    const TWInvoicePtr invoice = book.addInvoice(QStringLiteral("May"));
    addLink(b, TWRelationshipTypeInvoiceTask, invoice->identifier(), task->identifier(), 0, 0, 1.0);
    ASSERT_OK(b.addExpense(
        twWorkExpense(b.nextExpenseIdentifier(), site, twLocal(2024, 5, 2), 1.0, 250), false));
    // A second project of the client with work only in June, and a client
    // without projects.
    const TWProjectPtr later = addProject(b, ada);
    ASSERT_OK(b.addExpense(
        twWorkExpense(b.nextExpenseIdentifier(), later->identifier(), twLocal(2024, 6, 3), 2.0, 40),
        false));
    addClient(b, QStringLiteral("Idle"));

    TWClientTotals may = b.clientUninvoicedTotals(twLocal(2024, 5, 1), twLocal(2024, 5, 31));
    EXPECT_EQ(may.clients, (QHash<qint32, Amounts>{{ada, {{site, 500 + 250}}}}));
    EXPECT_EQ(may.totals, (Amounts{{ada, 750}}));

    TWClientTotals all = b.clientUninvoicedTotals(QDateTime(), QDateTime());
    EXPECT_EQ(all.clients,
              (QHash<qint32, Amounts>{{ada, {{site, 750}, {later->identifier(), 80}}}}));
    EXPECT_EQ(all.totals, (Amounts{{ada, 830}}));

    // Nothing in the span: no key for the project nor for its client.
    EXPECT_TRUE(
        b.clientUninvoicedTotals(twLocal(2024, 5, 3), twLocal(2024, 5, 31)).clients.isEmpty());
}

TEST(ClientTimes, ProjectsProperClippedToTheSpanOrColumn)
{
    TWInvoiceBook book = twInvoiceBook();
    ASSERT_TRUE(book.business);
    TWBusiness &b = book.b();
    const qint32 ada = book.client->identifier();
    const qint32 site = book.project->identifier();
    const qint32 work = addTimedTask(b, site)->identifier();
    const TWProjectPtr estimate = addProject(b, ada, TWProjectTypeEstimate);
    const TWClientPtr bea = addClient(b, QStringLiteral("Bea"));
    const TWProjectPtr beaProject = addProject(b, bea->identifier());

    addItem(b, work, twLocal(2024, 3, 10, 9), twLocal(2024, 3, 10, 10, 30));
    // Over midnight into April: March keeps 22:00 to 23:59:59.
    addItem(b, work, twLocal(2024, 3, 31, 22), twLocal(2024, 4, 1, 2));
    // From February to May: neither end lies in March or April.
    addItem(b, work, twLocal(2024, 2, 28, 12), twLocal(2024, 5, 2, 12));
    // Fractions of a second are dropped as each item is added: 0.7 s adds
    // nothing, 1.7 s adds 1.
    const QDateTime noon = twLocal(2024, 3, 15, 12);
    addItem(b, work, noon, noon.addMSecs(700));
    addItem(b, work, noon.addMSecs(500), noon.addMSecs(2200));
    addItem(b, addTimedTask(b, beaProject->identifier())->identifier(), twLocal(2024, 4, 2, 8),
            twLocal(2024, 4, 2, 9));
    // Estimates hold no work; items of a task, project or client that is
    // gone count nothing.
    const QDateTime day = twLocal(2024, 3, 12, 9);
    addItem(b, addTimedTask(b, estimate->identifier())->identifier(), day, day.addSecs(3600));
    addItem(b, addTimedTask(b, addProject(b, 9999)->identifier())->identifier(), day,
            day.addSecs(3600));
    addItem(b, addTimedTask(b, 8888)->identifier(), day, day.addSecs(3600));
    addItem(b, 7777, day, day.addSecs(3600));

    const TWClientTimes march = b.clientTimes(twLocal(2024, 3, 1), twLocal(2024, 3, 31));
    EXPECT_EQ(march.clients, (QHash<qint32, Seconds>{{ada, {{site, 5400.0 + 7199.0 + 1.0}}}}));
    EXPECT_EQ(march.totals, (Seconds{{ada, 12600.0}}));
    const TWClientTimes april = b.clientTimes(twLocal(2024, 4, 1), twLocal(2024, 4, 30));
    EXPECT_EQ(april.clients,
              (QHash<qint32, Seconds>{{ada, {{site, 7200.0}}},
                                      {bea->identifier(), {{beaProject->identifier(), 3600.0}}}}));
    const qint64 whole = 5400 + 4 * 3600 + 64 * kDay + 1;
    EXPECT_EQ(b.clientTimes(QDateTime(), QDateTime()).totals.value(ada), double(whole));
    EXPECT_TRUE(b.clientTimes(twLocal(2024, 3, 16), twLocal(2024, 3, 30)).clients.isEmpty());

    // Per column, an item reaching across the column counts what falls in it.
    EXPECT_EQ(b.groupClientTimes({{twLocal(2024, 3, 1), twLocal(2024, 3, 31)},
                                  {twLocal(2024, 4, 1), twLocal(2024, 4, 30)},
                                  {twLocal(2024, 3, 1), twLocal(2024, 4, 30)},
                                  {QDateTime(), twLocal(2024, 3, 10)},
                                  {twLocal(2024, 1, 1), twLocal(2024, 1, 31)},
                                  {}}),
              (QList<qint64>{5400 + 7199 + (31 * kDay - 1) + 1, 7200 + (30 * kDay - 1) + 3600,
                             5400 + 4 * 3600 + (61 * kDay - 1) + 1 + 3600,
                             5400 + (11 * kDay + 12 * 3600 - 1), 0, whole + 3600}));
    EXPECT_TRUE(b.groupClientTimes({}).isEmpty());
}
