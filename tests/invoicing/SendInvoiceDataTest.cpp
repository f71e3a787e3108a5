#include "TWLayoutTestSupport.h"

#include "../store/TWInvoiceTestSupport.h"

#include "TWLayoutManager.h"
#include "TWLocalized.h"
#include "TWSendInvoiceData.h"

#include <QSet>

namespace {

TWTaskPtr addTask(TWInvoiceBook &book, const QDateTime &date, qint64 rate, double quantity)
{
    auto task = TWTask::taskWithDate(date, false, QStringLiteral("Work"), TWTaskTypeHour, 0.0,
                                     quantity, rate, 0.0, {}, book.project->identifier(),
                                     book.b().nextTaskIdentifier());
    EXPECT_FALSE(book.b().addTask(task, false));
    task->setInvoiceQuantity(quantity);
    return task;
}

TWExpensePtr addExpense(TWInvoiceBook &book, const QDateTime &date, qint64 cost)
{
    auto expense = TWExpense::expenseWithDate(date, QStringLiteral("Parts"), 1.0, cost, 0.0, {},
                                              book.project->identifier(),
                                              book.b().nextExpenseIdentifier());
    EXPECT_FALSE(book.b().addExpense(expense, false));
    expense->setInvoiceQuantity(1.0);
    return expense;
}

} // namespace

TEST(SendInvoiceDataTest, SettingsSurviveSaveAndReopen)
{
    TWFixedClock clock(2024, 6, 15);
    TWTestTempDir dir;
    TWInvoiceBook book = twInvoiceBook();
    ASSERT_TRUE(book.business);
    TWBusiness &b = book.b();
    TWClientPtr other = TWClient::clientWithIdentifier(b.nextClientIdentifier(),
                                                       QStringLiteral("Bo"), {}, 0, 0, QImage(),
                                                       {}, {}, {}, QUrl(), {}, {});
    ASSERT_FALSE(b.addClient(other, false));

    const TWSendInvoiceDataPtr data = b.sendInvoiceData(*book.client);
    data->setTotalDueLabel(QStringLiteral("Amount owing"));
    data->setItemNotesLabel(QStringLiteral("Note:"));
    data->setClientToLabel(QString());
    data->setInvoiceHeader(QStringLiteral("Thank you"));
    data->setInvoiceTerms(QStringLiteral("30 days\nnet"));
    data->toggleDisplayBit(TWInvoiceDisplayMasks[TWDisplayItemType], false);
    data->setLayout(TWLayoutManager::layoutManager().layoutWithName(QStringLiteral("Modern")));
    ASSERT_TRUE(data->layout());
    const QVariantMap saved = data->settings();
    EXPECT_EQ(saved.size(), 32);
    EXPECT_EQ(saved.value(QStringLiteral("clientToLabel")), QStringLiteral(""));
    EXPECT_EQ(saved.value(QStringLiteral("invoiceFooter")), QStringLiteral(""));

    // The other client's record: stored without some keys, with a layout
    // that is not installed.
    QVariantMap partial = TWSendInvoiceData::sendInvoiceDataWithBusiness(b)->settings();
    partial.remove(QStringLiteral("itemRateLabel"));
    partial.remove(QStringLiteral("displayBits"));
    partial.insert(QStringLiteral("itemDateLabel"), QStringLiteral(""));
    partial.insert(QStringLiteral("layout"), QStringLiteral("Gone Layout"));
    b.setSendInvoiceData({{book.client->identifier(), data},
                          {other->identifier(),
                           TWSendInvoiceData::sendInvoiceDataWithSettings(partial, b)}});

    const QUrl url = twPackageURL(dir, QStringLiteral("Doc"));
    ASSERT_FALSE(b.writeToURL(url, TWSaveOperationSaveAs));
    auto opened = twOpenPackage(url);
    ASSERT_TRUE(opened);
    const TWSendInvoiceDataPtr restored = opened->sendInvoiceData().value(book.client->identifier());
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->settings(), saved);
    EXPECT_EQ(restored->layout()->name(), QStringLiteral("Modern"));
    EXPECT_TRUE(restored->clientToLabel().isEmpty());
    EXPECT_EQ(restored->invoiceTerms(), QStringLiteral("30 days\nnet"));

    const TWSendInvoiceDataPtr second = opened->sendInvoiceData().value(other->identifier());
    ASSERT_TRUE(second);
    EXPECT_EQ(second->itemRateLabel(), TWLocalized("rate"));
    EXPECT_TRUE(second->itemDateLabel().isEmpty());
    EXPECT_EQ(second->displayBits(), TWSendInvoiceData::kDefaultDisplayBits);
    // Rendering falls back to the default; the client's choice is kept.
    EXPECT_EQ(second->layout()->name(), QStringLiteral("Classic"));
    EXPECT_EQ(second->settings().value(QStringLiteral("layout")), QStringLiteral("Gone Layout"));
    second->setLayout(TWLayoutManager::layoutManager().defaultLayout());
    EXPECT_EQ(second->settings().value(QStringLiteral("layout")), QStringLiteral("Classic"));
}

TEST(SendInvoiceDataTest, GatheringFromTheStoreAndCopying)
{
    TWFixedClock clock(2024, 6, 15);
    TWInvoiceBook book = twInvoiceBook();
    ASSERT_TRUE(book.business);
    TWBusiness &b = book.b();
    TWBusinessInfoPtr info = b.businessInfo()->copy();
    info->setName(QStringLiteral("Tally & Co"));
    info->setEmail(QStringLiteral("hi@example.com"));
    info->setWebsite(QUrl(QStringLiteral("https://example.com")));
    info->setInvoiceHeader(QStringLiteral("Business header"));
    info->setInvoiceTerms(QStringLiteral("Business terms"));
    ASSERT_FALSE(b.updateBusinessInfo(info));

    // Items on the same date: the expense comes first.
    const QDateTime day = twLocal(2024, 5, 3, 9);
    TWTaskPtr later = addTask(book, twLocal(2024, 5, 9), 1000, 2.0);
    TWTaskPtr task = addTask(book, day, 500, 1.0);
    TWExpensePtr expense = addExpense(book, day, 700);
    TWInvoicePtr invoice = book.addInvoice(QStringLiteral("June"), twLocal(2024, 7, 1));
    ASSERT_FALSE(b.updateInvoiceItems(invoice, {later, task}, {expense}));
    invoice->updateTasksExpenses(b);
    // Another invoice owes 2,500; this one received 1,200.
    TWInvoicePtr older = book.addInvoice(QStringLiteral("May"));
    book.addEntry(older, twLocal(2024, 5, 1), kReceivable, kSales, 2500);
    book.addEntry(invoice, twLocal(2024, 6, 1), kReceivable, kSales, 3200);
    book.addEntry(invoice, twLocal(2024, 6, 2), kBank, kReceivable, 1200);

    const TWSendInvoiceDataPtr data = b.sendInvoiceData(*book.client);
    data->setInvoiceHeader(QString()); // cleared in the sheet: refilled
    data->setInvoiceFooter(QStringLiteral("Own footer"));
    data->updateWithInvoice(*invoice, b);
    EXPECT_EQ(data->clientName(), QStringLiteral("Ada"));
    EXPECT_EQ(data->clientCompany(), QStringLiteral("Acme"));
    EXPECT_EQ(data->businessName(), QStringLiteral("Tally & Co"));
    EXPECT_EQ(data->businessWebsite(), QUrl(QStringLiteral("https://example.com")));
    EXPECT_EQ(data->invoiceName(), QStringLiteral("June"));
    EXPECT_EQ(data->invoiceDueDate(), twLocal(2024, 7, 1));
    EXPECT_EQ(data->invoiceHeader(), QStringLiteral("Business header"));
    EXPECT_EQ(data->invoiceFooter(), QStringLiteral("Own footer"));
    EXPECT_EQ(data->invoiceTerms(), QStringLiteral("Business terms"));
    ASSERT_EQ(data->items().size(), 3);
    EXPECT_EQ(data->items().at(0)->type(), std::uint32_t(TWInvoiceItemTypeExpense));
    EXPECT_EQ(data->items().at(1), task);
    EXPECT_EQ(data->items().at(2), later);
    ASSERT_TRUE(data->unit());
    EXPECT_EQ(data->unit()->code(), QStringLiteral("USD"));
    EXPECT_EQ(data->balance(), 2500);
    EXPECT_EQ(data->payments(), 1200);
    EXPECT_TRUE(data->isInvoice());

    // The rendering copy does not follow the original.
    const TWSendInvoiceDataPtr copy = data->copy();
    EXPECT_EQ(copy->settings(), data->settings());
    ASSERT_EQ(copy->items().size(), 3);
    EXPECT_NE(copy->items().at(1), task);
    EXPECT_NE(copy->layout(), data->layout());
    EXPECT_EQ(copy->layout()->name(), data->layout()->name());
    task->setName(QStringLiteral("Changed"));
    data->setTotalDueLabel(QStringLiteral("Changed"));
    data->setBalance(1);
    EXPECT_EQ(copy->items().at(1)->name(), QStringLiteral("Work"));
    EXPECT_EQ(copy->totalDueLabel(), TWLocalized("totalDue"));
    EXPECT_EQ(copy->balance(), 2500);

    // An invoice whose project is gone still gathers the business's values.
    TWInvoicePtr orphan = invoice->copy();
    orphan->setProjectIdentifier(9999);
    data->updateWithInvoice(*orphan, b);
    EXPECT_TRUE(data->clientName().isNull());
    EXPECT_FALSE(data->unit());
    EXPECT_FALSE(data->isInvoice());
    EXPECT_EQ(data->balance(), 0);
    EXPECT_EQ(data->businessName(), QStringLiteral("Tally & Co"));
}
