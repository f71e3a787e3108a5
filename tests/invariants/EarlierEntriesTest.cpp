// Invoices and bills the previous build left, whose links say nothing of
// which transaction is each one's entry, in a sample business: opened, their
// dates changed and their work rebooked through the windows, checked against
// the rules every business keeps and against the entry that build took.

#include "InvariantChecks.h"
#include "TWBenchSample.h"
#include "TWBenchSampleEarlier.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"

#include "TWAppTestSupport.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "foundation/TWClock.h"
#include "invoicing/ui/TWInvoiceController.h"
#include "model/TWRelationship.h"
#include "work/TWBillController.h"
#include "work/TWTaskController.h"
#include "work/TWWork.h"

#include <QCoreApplication>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>

namespace
{

enum class Step { Open, ChangeDate, Rebook };

struct EarlierOperation {
    const char *name;
    Step step;
};

// Each runs on one business holding a document of every earlier shape.
const EarlierOperation kEarlierOperations[] = {
    {"Open", Step::Open},
    // The invoice editor's and the bill sheet's Save of a new date.
    {"ChangeDate", Step::ChangeDate},
    // A task's rate raised on the task sheet (its invoice booked again); the
    // bill sheet's Save as it is (a bill with no charge gets one).
    {"Rebook", Step::Rebook},
};

TWTestPrompts &earlierPrompts()
{
    static TWTestPrompts shared;
    return shared;
}

void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Alerts answered with the first button.
struct Answers {
    Answers()
    {
        twSetAlertPresenter([](const TWAlert &, TWAlertCompletion completion) {
            if (completion)
                completion(1000);
        });
    }
    ~Answers() { twSetAlertPresenter({}); }
};

std::unique_ptr<TWBusiness> openPackage(const QString &path, QStringList &faults)
{
    TWErrorResult error;
    auto opened = TWBusiness::businessWithURL(QUrl::fromLocalFile(path), false, &error);
    if (error)
        faults.append(QStringLiteral("opening failed: %1").arg(error->localizedDescription()));
    return opened;
}

// The store's entry of the document (0: none).
qint32 storeEntry(TWBusiness &b, const TWBenchEarlierDocument &d)
{
    TWTransactionPtr entry;
    if (d.type == TWRelationshipTypeBillPayment) {
        if (const TWBillPtr bill = b.billWithIdentifier(d.document))
            entry = b.billCharge(*bill);
    } else if (const TWInvoicePtr invoice = b.invoiceWithIdentifier(d.document)) {
        entry = b.invoiceEntry(*invoice);
    }
    return entry ? entry->identifier() : 0;
}

class EarlierEntries : public ::testing::TestWithParam<int>
{
};

TEST_P(EarlierEntries, HoldAfterTheOperation)
{
    const EarlierOperation &operation = kEarlierOperations[GetParam()];
    TWAppRegistry::registry().reset();
    twRegisterWork();
    TWDocumentPrompts::setPrompts(&earlierPrompts());
    TWFixedClock clock(2026, 6, 15);
    TWTestTempDir dir;

    QHash<qint64, qint32> entries;
    QSet<qint64> documents;
    const auto entryMade = [&](std::uint32_t type, qint32 document, qint32 transaction) {
        entries.insert(twDocumentKey(type, document), transaction);
        documents.insert(twDocumentKey(type, document));
    };
    TWBenchSampleOptions options;
    options.transactions = 250;
    options.entryMade = entryMade;
    std::unique_ptr<TWBusiness> business = twBenchMakeSampleBusiness(options);
    ASSERT_TRUE(business);
    const QList<TWBenchEarlierDocument> earlier = twBenchAddEarlierDocuments(*business, entryMade);
    ASSERT_EQ(earlier.size(), 6);
    const QString package = dir.filePath(QStringLiteral("Business.tallyworth"));
    ASSERT_OK(business->writeToURL(QUrl::fromLocalFile(package), TWSaveOperationSaveAs));

    TWOperationOutcome outcome;
    if (operation.step != Step::Open) {
        business = openPackage(package, outcome.faults);
        ASSERT_TRUE(business) << outcome.faults.join(u'\n').toStdString();
    }
    TWInvariantSnapshot before = twInvariantSnapshot(*business);
    twResolveEntries(before, nullptr, entries, documents);
    QHash<QString, QStringList> broken;
    if (operation.step != Step::Open)
        for (const TWInvariant &invariant : twInvariants())
            if (invariant.ofTheBusiness)
                broken.insert(QLatin1String(invariant.name),
                              invariant.check(*business, before, before, outcome));

    std::unique_ptr<TWBusinessController> document;
    QSet<qint32> had;
    for (const TWTransactionPtr &t : business->transactions())
        had.insert(t->identifier());
    // What each document's entry is after the operation: the previous
    // build's, or for one that had none, one its save made.
    QHash<qint32, qint32> expected;
    if (operation.step == Step::Open) {
        business = openPackage(package, outcome.faults);
        ASSERT_TRUE(business) << outcome.faults.join(u'\n').toStdString();
    } else {
        document = std::make_unique<TWBusinessController>();
        document->setBusiness(std::move(business));
        document->setDisplayName(QStringLiteral("Business"));
    }
    TWBusiness &b = document ? *document->business() : *business;
    for (const TWBenchEarlierDocument &d : earlier) {
        const bool bill = d.type == TWRelationshipTypeBillPayment;
        Answers answers;
        if (operation.step == Step::ChangeDate) {
            // The entry follows the document's day; nothing else moves.
            outcome.touched.insert(d.previousEntry);
            if (bill) {
                TWBillController sheet;
                sheet.setBusinessController(document.get());
                sheet.setBusiness(&b);
                sheet.setMode(TWEditorMode::Existing);
                sheet.setBill(b.billWithIdentifier(d.document));
                sheet.update();
                sheet.datePicker()->setDate(sheet.datePicker()->date().addDays(3));
                sheet.saveButton()->click();
                settle();
                EXPECT_TRUE(sheet.saved()) << d.shape.toStdString();
            } else {
                TWInvoiceController editor;
                editor.setInvoice(b.invoiceWithIdentifier(d.document));
                editor.setMode(TWEditorMode::Existing);
                editor.setBusinessController(document.get());
                editor.setBusiness(&b);
                editor.update();
                editor.datePicker()->setDate(editor.datePicker()->date().addDays(3));
                editor.saveButton()->click();
                settle();
                EXPECT_TRUE(editor.saved()) << d.shape.toStdString();
            }
        } else if (operation.step == Step::Rebook) {
            if (bill) {
                TWBillController sheet;
                sheet.setBusinessController(document.get());
                sheet.setBusiness(&b);
                sheet.setMode(TWEditorMode::Existing);
                sheet.setBill(b.billWithIdentifier(d.document));
                sheet.update();
                sheet.saveButton()->click();
                settle();
                EXPECT_TRUE(sheet.saved()) << d.shape.toStdString();
            } else {
                TWTaskPtr task;
                for (const TWRelationshipPtr &link :
                     b.relationshipsWithParentIdentifier(d.document, TWRelationshipTypeInvoiceTask))
                    task = b.taskWithIdentifier(link->childIdentifier());
                ASSERT_TRUE(task) << d.shape.toStdString();
                TWTaskController sheet;
                sheet.setBusinessController(document.get());
                sheet.setBusiness(&b);
                sheet.setMode(TWEditorMode::Existing);
                sheet.setTask(task);
                sheet.update();
                sheet.rateField()->setText(QStringLiteral("75.00"));
                sheet.saveButton()->click();
                settle();
                EXPECT_TRUE(sheet.saved()) << d.shape.toStdString();
            }
        }
        earlierPrompts().errors.clear();
    }
    // A bill that had no charge gets one from its sheet, an invoice with no
    // entry none from a change of its work: new transactions only there.
    for (const TWTransactionPtr &t : b.transactions())
        if (!had.contains(t->identifier()))
            outcome.touched.insert(t->identifier());

    TWInvariantSnapshot after = twInvariantSnapshot(b);
    twResolveEntries(after, &before, {}, {});
    SCOPED_TRACE(testing::Message() << operation.name);
    for (const TWInvariant &invariant : twInvariants()) {
        QStringList found = invariant.check(b, before, after, outcome);
        if (invariant.ofTheBusiness)
            found = twFreshRecords(found, broken.value(QLatin1String(invariant.name)));
        EXPECT_TRUE(found.isEmpty()) << operation.name << " breaks " << invariant.name << ": "
                                     << twBrokenRecords(found).toStdString();
    }
    // Each document's entry: the previous build's. A save of one that had
    // none makes one: the bill sheet's on any save, the invoice editor's
    // (a task's rate books only an entry that stands). No other transaction
    // of the document becomes one.
    for (const TWBenchEarlierDocument &d : earlier) {
        SCOPED_TRACE(d.shape.toStdString());
        const qint32 entry = storeEntry(b, d);
        const bool bill = d.type == TWRelationshipTypeBillPayment;
        const bool sheetMade = d.previousEntry == 0 && (operation.step == Step::ChangeDate ||
                                                        (operation.step == Step::Rebook && bill));
        if (sheetMade) {
            EXPECT_FALSE(had.contains(entry)) << "the entry is " << entry;
        } else {
            EXPECT_EQ(entry, d.previousEntry);
        }
        QSet<qint32> linked;
        for (const TWRelationshipPtr &link : b.relationshipsWithChildIdentifier(d.document, d.type))
            if (had.contains(link->transactionIdentifier()))
                linked.insert(link->transactionIdentifier());
        EXPECT_EQ(linked, QSet<qint32>(d.linked.cbegin(), d.linked.cend()));
        QList<qint32> made;
        for (const TWRelationshipPtr &link : b.relationshipsWithChildIdentifier(d.document, d.type))
            if (!had.contains(link->transactionIdentifier()))
                made.append(link->transactionIdentifier());
        EXPECT_EQ(made.size(), sheetMade ? 1 : 0);
    }
    document.reset();
    TWDocumentPrompts::setPrompts(nullptr);
    TWAppRegistry::registry().reset();
}

INSTANTIATE_TEST_SUITE_P(Earlier, EarlierEntries,
                         ::testing::Range(0, int(std::size(kEarlierOperations))),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return std::string(kEarlierOperations[info.param].name);
                         });

} // namespace
