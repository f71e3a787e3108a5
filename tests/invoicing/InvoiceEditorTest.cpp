// The invoice editor on a real document: what a save writes (accounts,
// receivable entry, schedule, lines), that a failure anywhere writes nothing,
// and the item tables' billing rules.

#include "TWDateTypingSupport.h"
#include "TWInvoiceSheetSupport.h"
#include "invoicing/render/TWInvoiceOperation.h"
#include "invoicing/ui/TWInvoiceController.h"

#include "TWDenyGuard.h"
#include "ledger/TWRepeatController.h"
#include "ledger/TWValueCompleter.h"
#include "model/TWLayoutManager.h"
#include "model/TWPreferences.h"
#include "model/TWRepeat.h"
#include "model/TWSplit.h"
#include "model/TWTaskItem.h"
#include "store/TWOwing.h"
#include "store/TWPaymentCopy.h"
#include "store/TWSendInvoiceValues.h"
#include "store/TWTransactionEditing.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>

namespace
{

class InvoiceEditorTest : public TWInvoiceSheetTest
{
protected:
    void TearDown() override
    {
        editor.reset();
        TWPreferences::preferences().setRoundInvoiceTaskTime(1);
        TWInvoiceSheetTest::TearDown();
    }

    void open(const TWInvoicePtr &invoice, int mode)
    {
        codes.clear();
        editor = std::make_unique<TWInvoiceController>();
        editor->setInvoice(invoice);
        editor->setMode(mode);
        editor->setBusinessController(book.document.get());
        editor->setBusiness(&book.b());
        editor->update();
        QObject::connect(editor.get(), &TWEditorController::endRequested,
                         [this](int code) { codes.append(code); });
    }
    // Ticks a row's check box as a click would.
    static void tick(TWInvoiceItemsModel *model, int row, bool on)
    {
        ASSERT_TRUE(model->setData(model->index(row, 0), on ? Qt::Checked : Qt::Unchecked,
                                   Qt::CheckStateRole));
    }
    int row(TWInvoiceItemsModel *model, const QString &name)
    {
        for (int r = 0; r < model->rowCount(); ++r) {
            if (model->itemAt(r)->name() == name)
                return r;
        }
        return -1;
    }
    // "Timed", worked from `from` o'clock to `to`:`minutes` on one day.
    void addTimedTask(int from, int to, int minutes)
    {
        const TWTaskPtr timed =
            book.addTask(book.project, QStringLiteral("Timed"), TWTaskTypeTimed, 0, 9500);
        ASSERT_OK(book.b().addTaskItem(TWTaskItem::taskItemWithStartDateTime(
                                           twLocal(2024, 6, 3, from),
                                           twLocal(2024, 6, 3, to, minutes), QString(),
                                           timed->identifier(), book.b().nextTaskItemIdentifier()),
                                       false));
    }
    TWAccountList accountsOfType(TWAccountType type)
    {
        TWAccountList found;
        for (const TWAccountPtr &account : book.b().accounts()) {
            if (account->accountType() == type)
                found.append(account);
        }
        return found;
    }

    std::unique_ptr<TWInvoiceController> editor;
    QList<int> codes;
};

TEST_F(InvoiceEditorTest, NewTaxedProjectInvoiceMakesItsAccountsAndABalancedEntry)
{
    book.addTask(book.project, QStringLiteral("Design"), TWTaskTypeHour, 2, 10000, 10);
    book.addExpense(book.project, QStringLiteral("Paper"), 2500);
    open(book.newInvoice(book.project, QStringLiteral("June")), 0);
    ASSERT_EQ(editor->tasksModel()->rowCount(), 1);
    tick(editor->tasksModel(), 0, true);
    tick(editor->expensesModel(), 0, true);
    editor->saveButton()->click();

    ASSERT_EQ(codes, QList<int>{-1002});
    EXPECT_TRUE(editor->saved());
    EXPECT_TRUE(prompts.errors.isEmpty());
    ASSERT_EQ(accountsOfType(TWAccountTypeAccountsReceivable).size(), 1);
    ASSERT_EQ(accountsOfType(TWAccountTypeIncome).size(), 1);
    ASSERT_EQ(accountsOfType(TWAccountTypeTax).size(), 1);
    const TWInvoicePtr stored = book.b().invoiceWithIdentifier(editor->editInvoice()->identifier());
    ASSERT_TRUE(stored);
    EXPECT_EQ(book.b().tasksWithInvoice(*stored).size(), 1);
    EXPECT_EQ(book.b().expensesWithInvoice(*stored).size(), 1);

    const TWTransactionList entries = book.b().transactionsWithInvoice(*stored);
    ASSERT_EQ(entries.size(), 1);
    const TWTransactionPtr entry =
        book.b().transactionWithIdentifier(entries.constFirst()->identifier());
    ASSERT_TRUE(entry);
    ASSERT_EQ(entry->splits().size(), 3);
    qint64 sum = 0;
    QSet<qint32> accounts;
    for (const TWSplitPtr &split : entry->splits()) {
        sum += split->totalBusiness();
        accounts.insert(split->accountIdentifier());
    }
    EXPECT_EQ(sum, 0);
    EXPECT_EQ(accounts,
              (QSet<qint32>{accountsOfType(TWAccountTypeAccountsReceivable)[0]->identifier(),
                            accountsOfType(TWAccountTypeIncome)[0]->identifier(),
                            accountsOfType(TWAccountTypeTax)[0]->identifier()}));
    EXPECT_TRUE(book.document->isDocumentEdited());
}

TEST_F(InvoiceEditorTest, TypedDatesAreReadInTheLocalesOrder)
{
    for (const auto &[locale, date, due] : {std::tuple{"en_US", "10/5/26", "Nov 4, 2026"},
                                            std::tuple{"de_DE", "5.10.26", "04.11.2026"}}) {
        SCOPED_TRACE(locale);
        TWLocaleGuard pinned{QString::fromLatin1(locale)};
        open(book.newInvoice(book.estimate, QStringLiteral("Quote")), 0);
        twTypeDate(editor->datePicker(), QString::fromLatin1(date));
        if (!editor->dueDateCheckbox()->isChecked())
            editor->dueDateCheckbox()->click();
        twTypeDate(editor->dueDatePicker(), QString::fromLatin1(due));
        editor->saveButton()->click();
        ASSERT_EQ(codes, QList<int>{-1002});
        const TWInvoicePtr stored =
            book.b().invoiceWithIdentifier(editor->editInvoice()->identifier());
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->date().date(), QDate(2026, 10, 5));
        EXPECT_EQ(stored->dueDate().date(), QDate(2026, 11, 4));
    }
}

TEST_F(InvoiceEditorTest, EstimateGetsNoEntryAndCancelWritesNothing)
{
    book.addTask(book.estimate, QStringLiteral("Plan"), TWTaskTypeHour, 1, 9000);
    const qint64 transactions = book.count("SELECT COUNT(*) FROM transactions");

    // Cancel first: nothing at all.
    open(book.newInvoice(book.estimate, QStringLiteral("Quote 1")), 0);
    tick(editor->tasksModel(), 0, true);
    editor->cancelButton()->click();
    EXPECT_EQ(codes, QList<int>{-1001});
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM invoices"), 0);
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM relationships"), 0);
    EXPECT_EQ(book.b().accounts().size(), 1);

    // Saved: the invoice and its line, the accounts, no entry.
    open(book.newInvoice(book.estimate, QStringLiteral("Quote 1")), 0);
    tick(editor->tasksModel(), 0, true);
    editor->saveButton()->click();
    ASSERT_EQ(codes, QList<int>{-1002});
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM invoices"), 1);
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM transactions"), transactions);
    EXPECT_EQ(accountsOfType(TWAccountTypeAccountsReceivable).size(), 1);
    EXPECT_EQ(accountsOfType(TWAccountTypeIncome).size(), 1);
    EXPECT_TRUE(accountsOfType(TWAccountTypeTax).isEmpty());
}

TEST_F(InvoiceEditorTest, UnchangedRepeatIsNotWrittenAndAChangedOneIs)
{
    TWRepeatPtr repeat =
        TWRepeat::repeatWithType(TWRepeatTypeInvoice, 1, TWRepeatIntervalUnitMonth, QDateTime(),
                                 true, book.b().nextRepeatIdentifier());
    ASSERT_OK(book.b().addRepeat(repeat, false));
    TWInvoicePtr invoice = book.storedInvoice(book.estimate, QStringLiteral("Monthly"));
    invoice->setRepeatIdentifier(repeat->identifier());
    ASSERT_OK(book.b().updateInvoice(invoice, false));

    open(invoice, 1);
    editor->saveButton()->click();
    ASSERT_EQ(codes, QList<int>{-1002});
    // An update would have put the editor's copy in the list.
    EXPECT_EQ(book.b().repeatWithIdentifier(repeat->identifier()), repeat);

    open(book.b().invoiceWithIdentifier(invoice->identifier()), 1);
    editor->repeatController()->doInterval(2);
    editor->saveButton()->click();
    const TWRepeatPtr written = book.b().repeatWithIdentifier(repeat->identifier());
    ASSERT_TRUE(written);
    EXPECT_NE(written, repeat);
    EXPECT_EQ(written->interval(), 2u);
    EXPECT_TRUE(written->active());
}

TEST_F(InvoiceEditorTest, DeniedLinkInTheMiddleOfTheSaveLeavesNothingBehindAndTheSheetOpen)
{
    book.addTask(book.project, QStringLiteral("Design"), TWTaskTypeHour, 2, 10000, 10);
    open(book.newInvoice(book.project, QStringLiteral("June")), 0);
    tick(editor->tasksModel(), 0, true);
    editor->repeatController()->doRepeats(true);
    ASSERT_TRUE(editor->repeatController()->repeat());
    const qint64 accounts = book.b().accounts().size();
    {
        TWDenyGuard deny(book.b(), SQLITE_INSERT, "relationships");
        editor->saveButton()->click();
    }
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_FALSE(editor->saved());
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM invoices"), 0);
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM repeats"), 0);
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM transactions"), 0);
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM accounts"), accounts);
    EXPECT_EQ(book.b().accounts().size(), accounts);
    EXPECT_TRUE(book.b().invoices().isEmpty());
    EXPECT_TRUE(book.b().repeats().isEmpty());
    EXPECT_EQ(editor->editInvoice()->identifier(), 0);
    EXPECT_EQ(editor->editInvoice()->repeatIdentifier(), 0);

    // The same sheet saves once the failure is gone; the schedule then makes
    // the occurrences already due.
    editor->saveButton()->click();
    EXPECT_EQ(codes, QList<int>{-1002});
    EXPECT_TRUE(book.b().invoiceWithIdentifier(editor->editInvoice()->identifier()));
    EXPECT_GT(book.count("SELECT COUNT(*) FROM invoices"), 1);
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM repeats"), 1);
}

TEST_F(InvoiceEditorTest, CheckingRoundsTimedWorkUpAndTheQuantitySheetRefusesNonsense)
{
    EXPECT_DOUBLE_EQ(twRoundedInvoiceTime(5400.5, 60), 7200.5);
    EXPECT_DOUBLE_EQ(twRoundedInvoiceTime(5400.5, 0), 5400.5);
    EXPECT_DOUBLE_EQ(twRoundedInvoiceTime(7200, 60), 7200);
    EXPECT_DOUBLE_EQ(twRoundedInvoiceTime(61, 0.001), 61); // a step under a second

    TWPreferences::preferences().setRoundInvoiceTaskTime(60);
    const TWTaskPtr timed =
        book.addTask(book.project, QStringLiteral("Timed"), TWTaskTypeTimed, 0, 6000);
    auto item = TWTaskItem::taskItemWithStartDateTime(
        twLocal(2024, 6, 3, 9), twLocal(2024, 6, 3, 10, 30), QString(), timed->identifier(),
        book.b().nextTaskItemIdentifier());
    ASSERT_OK(book.b().addTaskItem(item, false));
    book.addExpense(book.project, QStringLiteral("Paper"), 2500);
    open(book.newInvoice(book.project, QStringLiteral("June")), 0);
    TWInvoiceItemsModel *tasks = editor->tasksModel();
    const int r = row(tasks, QStringLiteral("Timed"));
    ASSERT_GE(r, 0);
    EXPECT_DOUBLE_EQ(tasks->availableQuantity(*tasks->itemAt(r)), 5400);
    tick(tasks, r, true);
    EXPECT_DOUBLE_EQ(TWInvoiceItemsModel::invoiceQuantity(*tasks->itemAt(r)), 7200);
    EXPECT_EQ(tasks->data(tasks->index(r, TWInvoiceItemsModel::QuantityColumn)).toString(),
              QStringLiteral("2:00"));

    // The quantity sheet: nonsense and negatives change nothing.
    editor->expensesTable()->selectRow(0);
    ASSERT_TRUE(editor->tableViewSpace(editor->expensesTable()));
    ASSERT_TRUE(editor->quantityView());
    editor->quantityCheckbox()->click();
    EXPECT_EQ(editor->quantityField()->text(), QStringLiteral("1"));
    for (const QString &text : {QStringLiteral("abc"), QStringLiteral("-1")}) {
        editor->quantityField()->setText(text);
        editor->doQuantitySave(1);
        EXPECT_FALSE(editor->expensesModel()->isOnInvoice(*editor->expensesModel()->itemAt(0)));
        EXPECT_TRUE(editor->quantityModel()) << text; // still open
    }
    EXPECT_EQ(prompts.errors.size(), 2);
    editor->quantityField()->setText(QStringLiteral("0.5"));
    editor->doQuantitySave(1);
    EXPECT_TRUE(editor->expensesModel()->isOnInvoice(*editor->expensesModel()->itemAt(0)));
    EXPECT_DOUBLE_EQ(TWInvoiceItemsModel::invoiceQuantity(*editor->expensesModel()->itemAt(0)),
                     0.5);
    EXPECT_FALSE(editor->tableViewSpace(editor->tasksTable())); // no selected row
}

// The quantity sheet reads as every number and duration field does: the
// locale's digits and marks, "." where the locale's mark is not on a Latin
// keyboard, what the sheet itself shows; and it refuses what they refuse.
TEST_F(InvoiceEditorTest, TheQuantitySheetReadsAsEveryNumberFieldDoes)
{
    addTimedTask(9, 11, 30); // two and a half hours
    const TWExpensePtr paper = book.addExpense(book.project, QStringLiteral("Paper"), 2500)->copy();
    paper->setQuantity(3);
    ASSERT_OK(book.b().updateExpense(paper, false));
    TWPreferences::preferences().setRoundInvoiceTaskTime(0);

    const std::optional<double> refused;
    struct Case {
        const char *locale;
        bool task;
        const char *text;
        std::optional<double> read;
    };
    for (const Case &c : {
             Case{"ar_EG", false, "\u0662\u066b\u0665", 2.5},
             Case{"ar_EG", false, "2.5", 2.5},
             Case{"ar_EG", true, "\u0661\u066b\u0665", 5400},
             Case{"ar_EG", true, "\u0661:\u0663\u0660", 5400},
             Case{"ar_EG", true, "1.5", 5400},
             Case{"fa_IR", true, "\u06f1:\u06f3\u06f0", 5400},
             Case{"fa_IR", false, "\u06f1\u066b\u06f5", 1.5},
             Case{"de_DE", false, "1,5", 1.5},
             Case{"de_DE", false, "0.500", refused},
             Case{"de_DE", true, "0.500", refused},
             Case{"de_DE", true, "1.5", refused},
             Case{"de_DE", true, "2,5", 9000},
             Case{"de_DE", true, "1.500", 5400000},
             Case{"en_US", false, "1.5", 1.5},
             Case{"en_US", false, "", refused},
             Case{"en_US", false, "-1", refused},
             Case{"en_US", true, "-0:30", refused},
         }) {
        SCOPED_TRACE(std::string(c.locale) + (c.task ? " task '" : " expense '") + c.text + "'");
        const TWLocaleGuard pinned{QString::fromLatin1(c.locale)};
        open(book.newInvoice(book.project, QStringLiteral("June")), 0);
        QTableView *table = c.task ? editor->tasksTable() : editor->expensesTable();
        TWInvoiceItemsModel *model = c.task ? editor->tasksModel() : editor->expensesModel();
        const int r = row(model, QLatin1String(c.task ? "Timed" : "Paper"));
        ASSERT_GE(r, 0);
        const qsizetype errors = prompts.errors.size();
        table->selectRow(r);
        ASSERT_TRUE(editor->tableViewSpace(table));
        editor->quantityCheckbox()->click();
        editor->quantityField()->setText(QString::fromUtf8(c.text));
        editor->doQuantitySave(1);
        if (!c.read) {
            EXPECT_FALSE(model->isOnInvoice(*model->itemAt(r)));
            EXPECT_TRUE(editor->quantityModel()); // still open
            EXPECT_EQ(prompts.errors.size(), errors + 1);
            editor->doQuantitySave(0);
            continue;
        }
        EXPECT_TRUE(prompts.errors.size() == errors && alerts.isEmpty());
        if (editor->quantityModel()) {
            ADD_FAILURE() << "refused";
            editor->doQuantitySave(0);
            continue;
        }
        EXPECT_TRUE(model->isOnInvoice(*model->itemAt(r)));
        EXPECT_DOUBLE_EQ(TWInvoiceItemsModel::invoiceQuantity(*model->itemAt(r)), *c.read);
        // What the sheet then shows is saved unchanged as the same quantity.
        ASSERT_TRUE(editor->tableViewSpace(table));
        const QString shown = editor->quantityField()->text();
        editor->doQuantitySave(1);
        EXPECT_EQ(prompts.errors.size(), errors) << shown.toStdString();
        EXPECT_DOUBLE_EQ(TWInvoiceItemsModel::invoiceQuantity(*model->itemAt(r)), *c.read)
            << shown.toStdString();
    }
}

// "1.500" under de_DE is fifteen hundred hours, far beyond the two and a half
// left: the sheet asks before billing it, and Cancel leaves it to mend.
TEST_F(InvoiceEditorTest, WhatIsLeftShowsAsItIsWrittenAndNeverBelowNothing)
{
    const TWLocaleGuard german(QStringLiteral("de_DE"));
    TWPreferences::preferences().setRoundInvoiceTaskTime(15);
    const TWTaskPtr minute =
        book.addTask(book.project, QStringLiteral("Minute"), TWTaskTypeTimed, 0, 6000);
    ASSERT_OK(book.b().addTaskItem(TWTaskItem::taskItemWithStartDateTime(
                                       twLocal(2024, 6, 3, 9), twLocal(2024, 6, 3, 9, 1), QString(),
                                       minute->identifier(), book.b().nextTaskItemIdentifier()),
                                   false));
    // 2.3 units, 1.1 of them billed by an earlier invoice.
    const TWExpensePtr paper = book.addExpense(book.project, QStringLiteral("Paper"), 2500)->copy();
    paper->setQuantity(2.3);
    ASSERT_OK(book.b().updateExpense(paper, false));
    const TWInvoicePtr earlier = book.storedInvoice(book.project, QStringLiteral("May"));
    const TWExpensePtr billed = paper->copy();
    billed->setInvoiceQuantity(1.1);
    ASSERT_OK(book.b().updateInvoiceItems(earlier, {}, {billed}));

    open(book.newInvoice(book.project, QStringLiteral("June")), 0);
    TWInvoiceItemsModel *tasks = editor->tasksModel();
    TWInvoiceItemsModel *expenses = editor->expensesModel();
    const int t = row(tasks, QStringLiteral("Minute"));
    const int e = row(expenses, QStringLiteral("Paper"));
    ASSERT_TRUE(t >= 0 && e >= 0);
    // Item, ticked, then the Available and Quantity columns as shown.
    for (const auto &[model, r, on, left, billed] :
         {std::tuple{tasks, t, false, "0:01", "0:00"}, std::tuple{tasks, t, true, "0:00", "0:15"},
          std::tuple{expenses, e, false, "1,2", "0"}, std::tuple{expenses, e, true, "0", "1,2"}}) {
        tick(model, r, on);
        EXPECT_EQ(model->data(model->index(r, TWInvoiceItemsModel::AvailableColumn)).toString(),
                  QLatin1String(left))
            << r << on;
        EXPECT_EQ(model->data(model->index(r, TWInvoiceItemsModel::QuantityColumn)).toString(),
                  QLatin1String(billed))
            << r << on;
    }
    // The quantity sheet offers the remainder as the list shows it.
    editor->expensesTable()->selectRow(e);
    ASSERT_TRUE(editor->tableViewSpace(editor->expensesTable()));
    EXPECT_EQ(editor->quantityField()->text(), QStringLiteral("1,2"));
    editor->doQuantitySave(0);
}

TEST_F(InvoiceEditorTest, NameCompletesFromEarlierInvoiceNamesFromTheFourthCharacter)
{
    book.storedInvoice(book.project, QStringLiteral("Retainer March"));
    book.storedInvoice(book.project, QStringLiteral("retainer April"));
    book.storedInvoice(book.project, QStringLiteral("Other"));
    open(book.newInvoice(book.project, QString()), 0);
    editor->view()->show();
    editor->nameField()->setFocus();
    QTest::keyClicks(editor->nameField(), QStringLiteral("Ret"));
    EXPECT_TRUE(editor->completer()->offered().isEmpty());
    QTest::keyClicks(editor->nameField(), QStringLiteral("a"));
    QStringList offered = editor->completer()->offered();
    offered.sort(Qt::CaseInsensitive);
    EXPECT_EQ(offered,
              (QStringList{QStringLiteral("retainer April"), QStringLiteral("Retainer March")}));
    EXPECT_EQ(editor->editInvoice()->name(), QStringLiteral("Reta"));
}

TEST_F(InvoiceEditorTest, HeaderClicksSortWithTheColumnsRules)
{
    book.addTask(book.project, QStringLiteral("Beta"), TWTaskTypeHour, 1, 100);
    book.addTask(book.project, QString(), TWTaskTypeHour, 1, 100);
    book.addTask(book.project, QStringLiteral("Alpha"), TWTaskTypeHour, 1, 100);
    open(book.newInvoice(book.project, QStringLiteral("June")), 0);
    TWInvoiceItemsModel *tasks = editor->tasksModel();
    const auto names = [tasks] {
        QStringList list;
        for (int r = 0; r < tasks->rowCount(); ++r)
            list.append(tasks->itemAt(r)->name());
        return list;
    };
    emit editor->tasksTable()->horizontalHeader()->sectionClicked(TWInvoiceItemsModel::NameColumn);
    EXPECT_EQ(names(), (QStringList{QString(), QStringLiteral("Alpha"), QStringLiteral("Beta")}));
    emit editor->tasksTable()->horizontalHeader()->sectionClicked(TWInvoiceItemsModel::NameColumn);
    EXPECT_EQ(names(), (QStringList{QStringLiteral("Beta"), QStringLiteral("Alpha"), QString()}));
    // On the invoice sorts after off it, equal rows keep their order.
    tick(tasks, 0, true);
    emit editor->tasksTable()->horizontalHeader()->sectionClicked(
        TWInvoiceItemsModel::InvoiceColumn);
    EXPECT_EQ(names(), (QStringList{QStringLiteral("Alpha"), QString(), QStringLiteral("Beta")}));

    // Sized to fit: the check column keeps its minimum, the name its longest text.
    const QFontMetrics metrics(editor->tasksTable()->font());
    EXPECT_EQ(
        tasks->sizeToFitWidth(TWInvoiceItemsModel::InvoiceColumn, metrics, metrics),
        std::max(65, std::max(50, metrics.horizontalAdvance(QStringLiteral("Invoice")) + 20)));
    EXPECT_EQ(tasks->sizeToFitWidth(TWInvoiceItemsModel::NameColumn, metrics, metrics),
              std::max({50, metrics.horizontalAdvance(QStringLiteral("Name")) + 20,
                        metrics.horizontalAdvance(QStringLiteral("Alpha")) + 20,
                        metrics.horizontalAdvance(QStringLiteral("Beta")) + 20}));
}

} // namespace

namespace
{

// What an invoice's books hold: its lines (child, type, billed quantity) and
// the amounts of its receivable entry's splits.
struct TWInvoiceBooks {
    QList<std::tuple<qint32, std::uint32_t, double>> links;
    QList<qint64> entry;
    bool operator==(const TWInvoiceBooks &) const = default;
};

TWInvoiceBooks twInvoiceBooks(TWBusiness &business, const TWInvoice &invoice)
{
    TWInvoiceBooks books;
    for (std::uint32_t type : {TWRelationshipTypeInvoiceTask, TWRelationshipTypeInvoiceExpense}) {
        for (const TWRelationshipPtr &link :
             business.relationshipsWithParentIdentifier(invoice.identifier(), type))
            books.links.append({link->childIdentifier(), type, link->value()});
    }
    for (const TWTransactionPtr &shown : business.transactionsWithInvoice(invoice)) {
        if (const TWTransactionPtr entry = business.transactionWithIdentifier(shown->identifier()))
            for (const TWSplitPtr &split : entry->splits())
                books.entry.append(split->totalBusiness());
    }
    return books;
}

} // namespace

TEST_F(InvoiceEditorTest, SavingUnchangedKeepsLinesAndEntryWhateverReadsTheProjectMeanwhile)
{
    const TWTaskPtr timed =
        book.addTask(book.project, QStringLiteral("Timed"), TWTaskTypeTimed, 0, 6000, 10);
    ASSERT_OK(book.b().addTaskItem(
        TWTaskItem::taskItemWithStartDateTime(twLocal(2024, 6, 3, 9), twLocal(2024, 6, 3, 10, 30),
                                              QString(), timed->identifier(),
                                              book.b().nextTaskItemIdentifier()),
        false));
    book.addTask(book.project, QStringLiteral("Retainer"), TWTaskTypeMonth, 2, 50000);
    book.addExpense(book.project, QStringLiteral("Paper"), 2500, 5);
    TWPreferences::preferences().setRoundInvoiceTaskTime(0);
    open(book.newInvoice(book.project, QStringLiteral("June")), 0);
    for (int r = 0; r < editor->tasksModel()->rowCount(); ++r)
        tick(editor->tasksModel(), r, true);
    tick(editor->expensesModel(), 0, true);
    editor->saveButton()->click();
    ASSERT_TRUE(editor->saved());
    const TWInvoicePtr stored = book.b().invoiceWithIdentifier(editor->editInvoice()->identifier());
    ASSERT_TRUE(stored);
    const TWInvoiceBooks before = twInvoiceBooks(book.b(), *stored);
    ASSERT_EQ(before.links.size(), 3);
    ASSERT_EQ(before.entry.size(), 3);
    const qint64 billed = twInvoiceTotal(*stored, book.b());
    ASSERT_EQ(billed, 9900 + 100000 + 2625);
    EXPECT_EQ(twUninvoicedTotal(*book.project, book.b()), 0);

    // Opened again; the client view repaints its uninvoiced column behind the
    // sheet (which reads every line of the project), then the date changes.
    open(stored, 1);
    EXPECT_EQ(editor->selectedTasks().size(), 2);
    EXPECT_EQ(twUninvoicedTotal(*book.project, book.b()), 0);
    editor->datePicker()->setDate(QDate(2024, 6, 21));
    editor->saveButton()->click();
    ASSERT_TRUE(editor->saved());
    EXPECT_EQ(twInvoiceBooks(book.b(), *stored), before);
    EXPECT_EQ(twInvoiceTotal(*stored, book.b()), billed);
    EXPECT_EQ(twUninvoicedTotal(*book.project, book.b()), 0);
}

TEST_F(InvoiceEditorTest, FlatTaskWithNoQuantityIsInvoicedOnceAnInvoiceBillsIt)
{
    // What an estimate's conversion, a task import or a typed 0 leave behind.
    book.addTask(book.project, QStringLiteral("Setup"), TWTaskTypeFlat, 0, 40000);
    book.addTask(book.project, QStringLiteral("Launch"), TWTaskTypeFlat, 1, 10000);
    EXPECT_EQ(twUninvoicedTotal(*book.project, book.b()), 50000);

    open(book.newInvoice(book.project, QStringLiteral("June")), 0);
    tick(editor->tasksModel(), row(editor->tasksModel(), QStringLiteral("Setup")), true);
    editor->saveButton()->click();
    ASSERT_TRUE(editor->saved());
    const TWInvoicePtr stored = book.b().invoiceWithIdentifier(editor->editInvoice()->identifier());
    ASSERT_TRUE(stored);
    EXPECT_EQ(twInvoiceSubtotal(*stored, book.b()), 40000);
    EXPECT_EQ(twUninvoicedTotal(*book.project, book.b()), 10000);
    EXPECT_EQ(book.b()
                  .clientUninvoicedTotals(QDateTime(), QDateTime())
                  .totals.value(book.client->identifier()),
              10000);

    // Another invoice cannot bill it again; the one that bills it still can.
    open(book.newInvoice(book.project, QStringLiteral("July")), 0);
    TWInvoiceItemsModel *tasks = editor->tasksModel();
    const int setup = row(tasks, QStringLiteral("Setup"));
    ASSERT_GE(setup, 0);
    EXPECT_FALSE(tasks->flags(tasks->index(setup, 0)) & Qt::ItemIsUserCheckable);
    tasks->setData(tasks->index(setup, 0), Qt::Checked, Qt::CheckStateRole);
    EXPECT_TRUE(editor->selectedTasks().isEmpty());
    open(stored, 1);
    tasks = editor->tasksModel();
    ASSERT_EQ(editor->selectedTasks().size(), 1);
    tick(tasks, row(tasks, QStringLiteral("Setup")), false);
    tick(tasks, row(tasks, QStringLiteral("Setup")), true);
    EXPECT_EQ(editor->selectedTasks().size(), 1);
}

TEST_F(InvoiceEditorTest, TabWalksTheFormTopToBottomAndKeepsWhatIsTyped)
{
    book.addTask(book.project, QStringLiteral("Design"), TWTaskTypeHour, 2, 10000);
    open(book.newInvoice(book.project, QString()), 0);
    editor->view()->resize(720, 640);
    const QList<QWidget *> walk = twTabWalk(editor->datePicker(), 30);
    // Down the form, each line left to right, then the item tables and the
    // buttons, and round to the date.
    EXPECT_EQ(walk.mid(0, 5),
              (QList<QWidget *>{editor->numberField(), editor->nameField(), editor->sentCheckbox(),
                                editor->paidCheckbox(), editor->dueDateCheckbox()}));
    const qsizetype notes = walk.indexOf(editor->notesField());
    EXPECT_GT(notes, 4);
    EXPECT_EQ(walk.mid(notes + 2, 4),
              (QList<QWidget *>{editor->tasksTable(), editor->cancelButton(), editor->saveButton(),
                                editor->datePicker()}));

    // By Tab alone from the date: a number and a name typed are kept, and
    // the name's space ticks no task.
    editor->datePicker()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("1047"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("June work"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    editor->saveButton()->click();
    ASSERT_EQ(codes, QList<int>{-1002});
    const TWInvoicePtr stored = book.b().invoiceWithIdentifier(editor->editInvoice()->identifier());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->number(), QStringLiteral("1047"));
    EXPECT_EQ(stored->name(), QStringLiteral("June work"));
    EXPECT_TRUE(book.b().tasksWithInvoice(*stored).isEmpty());
}

// An invoice whose entry is closed (or locked) opens read-only, as a closed
// transaction does; once its entry is open again it is editable.
TEST_F(InvoiceEditorTest, AnInvoiceWithAClosedEntryOpensReadOnly)
{
    book.addTask(book.project, QStringLiteral("Design"), TWTaskTypeHour, 2, 10000);
    open(book.newInvoice(book.project, QStringLiteral("June")), 0);
    tick(editor->tasksModel(), 0, true);
    editor->saveButton()->click();
    const TWInvoicePtr stored = book.b().invoiceWithIdentifier(editor->editInvoice()->identifier());
    ASSERT_TRUE(stored);
    const TWTransactionList entries = book.b().transactionsWithInvoice(*stored);
    ASSERT_EQ(entries.size(), 1);
    const TWTransactionPtr entry =
        book.b().transactionWithIdentifier(entries.constFirst()->identifier());
    for (const auto &[state, editable] :
         {std::pair(TWTransactionStateClosed, false), std::pair(TWTransactionStateNormal, true)}) {
        entry->setState(state);
        ASSERT_OK(book.b().updateTransaction(entry, false, false, false, false));
        open(stored, 1);
        EXPECT_EQ(editor->isClosed(), !editable);
        for (QWidget *control : {static_cast<QWidget *>(editor->datePicker()),
                                 static_cast<QWidget *>(editor->saveButton())})
            EXPECT_EQ(control->isEnabled(), editable) << state;
    }
}

// An invoice of a closed year whose receivable entry an earlier build booked
// in the open year stays editable: a save keeps the entry's day unless the
// invoice's date changes, and only a change into the closed year is refused.
TEST_F(InvoiceEditorTest, AnInvoiceOfAClosedYearWithItsEntryInTheOpenYearCanBeChanged)
{
    clock.set(twLocal(2026, 6, 15));
    TWBusiness &b = book.b();
    book.addTask(book.project, QStringLiteral("Design"), TWTaskTypeHour, 2, 10000);
    book.addTask(book.project, QStringLiteral("Review"), TWTaskTypeHour, 1, 5000);
    open(book.newInvoice(book.project, QStringLiteral("December")), 0);
    editor->datePicker()->setDate(QDate(2025, 12, 28));
    tick(editor->tasksModel(), row(editor->tasksModel(), QStringLiteral("Design")), true);
    editor->saveButton()->click();
    const qint32 identifier = editor->editInvoice()->identifier();
    const TWTransactionPtr entry = b.transactionWithIdentifier(
        b.transactionsWithInvoice(*b.invoiceWithIdentifier(identifier)).value(0)->identifier());
    entry->setDate(twLocal(2026, 1, 3));
    ASSERT_OK(b.updateTransaction(entry, false, false, false, false));
    twCloseTwentyTwentyFive(b);

    const auto review = [this] {
        tick(editor->tasksModel(), row(editor->tasksModel(), QStringLiteral("Review")), true);
    };
    const auto date = [this](QDate day) {
        return [this, day] { editor->datePicker()->setDate(day); };
    };
    const std::tuple<const char *, std::function<void()>, bool, QDate, QDate, qint64> cases[] = {
        {"sent",
         [this] { editor->sentCheckbox()->click(); },
         true,
         {2025, 12, 28},
         {2026, 1, 3},
         20000},
        {"a line", review, true, {2025, 12, 28}, {2026, 1, 3}, 25000},
        {"closed date", date({2025, 12, 30}), false, {2025, 12, 28}, {2026, 1, 3}, 25000},
        {"open date", date({2026, 1, 10}), true, {2026, 1, 10}, {2026, 1, 10}, 25000}};
    for (const auto &[change, edit, saved, invoiceDate, entryDate, total] : cases) {
        SCOPED_TRACE(change);
        prompts.errors.clear();
        open(b.invoiceWithIdentifier(identifier), 1);
        edit();
        editor->saveButton()->click();
        EXPECT_EQ(codes, saved ? QList<int>{-1002} : QList<int>{});
        EXPECT_EQ(prompts.errors.size(), saved ? 0 : 1);
        // A refusal names its field, as the transaction editor's does.
        if (!saved && !prompts.errors.isEmpty()) {
            EXPECT_EQ(prompts.errors.first().localizedDescription(),
                      TWLocalized("refusedFieldMessage")
                          .arg(TWLocalized("date"), TWLocalized("editClosedTransaction")));
        }
        EXPECT_TRUE(b.invoiceWithIdentifier(identifier)->sent());
        EXPECT_EQ(b.invoiceWithIdentifier(identifier)->date().date(), invoiceDate);
        EXPECT_EQ(std::pair(entry->date().date(), entry->total()), std::pair(entryDate, total));
    }
}

// A payment linked to an invoice stays a payment when the invoice's entry was
// deleted in the register: a save books a new entry on the invoice's date,
// and the money in the bank stays where it is.
TEST_F(InvoiceEditorTest, APaymentStaysAPaymentWhenTheEntryIsGone)
{
    TWBusiness &b = book.b();
    book.addTask(book.project, QStringLiteral("Design"), TWTaskTypeHour, 5, 10000);
    open(book.newInvoice(book.project, QStringLiteral("June")), 0);
    tick(editor->tasksModel(), 0, true);
    editor->saveButton()->click();
    const TWInvoicePtr stored = b.invoiceWithIdentifier(editor->editInvoice()->identifier());
    ASSERT_TRUE(stored);
    const TWTransactionPtr entry =
        b.transactionWithIdentifier(b.transactionsWithInvoice(*stored).value(0)->identifier());
    const qint32 bank = accountsOfType(TWAccountTypeBank).value(0)->identifier();
    const qint32 receivable = entry->account1Identifier();
    const qint32 income = entry->account2Identifier();
    // $300 into the bank for the invoice; then the entry deleted.
    const TWTransactionPtr payment = twNewTransaction(b);
    payment->setDate(twLocal(2024, 6, 25));
    payment->setUnit(b.homeUnit());
    payment->setAccount1Identifier(bank);
    payment->setAccount2Identifier(receivable);
    payment->setTotal(30000);
    twUpdateTotals(*payment, TWTotalTypeTotal, TWTotalTypeAll, b);
    ASSERT_OK(b.addTransaction(payment, false, false, false, false));
    ASSERT_OK(b.addRelationship(TWRelationship::relationshipWithType(
                                    TWRelationshipTypeInvoicePayment, 0.0,
                                    stored->projectIdentifier(), stored->identifier(),
                                    payment->identifier(), 0, b.nextRelationshipIdentifier()),
                                false));
    ASSERT_OK(b.deleteTransaction(entry, false, true, true));

    // Saved again: Sent ticked, the date a day later.
    open(stored, 1);
    editor->sentCheckbox()->click();
    editor->datePicker()->setDate(QDate(2024, 6, 21));
    editor->saveButton()->click();
    ASSERT_EQ(codes, QList<int>{-1002});
    EXPECT_EQ(std::tuple(payment->date().date(), payment->account1Identifier(),
                         payment->account2Identifier(), payment->total()),
              std::tuple(QDate(2024, 6, 25), bank, receivable, qint64(30000)));
    const TWTransactionList after = b.transactionsWithInvoice(*stored);
    ASSERT_EQ(after.size(), 2);
    const TWTransactionPtr made =
        after.value(after.constFirst()->identifier() == payment->identifier());
    EXPECT_EQ(std::tuple(made->date().date(), made->account1Identifier(),
                         made->account2Identifier(), made->total()),
              std::tuple(QDate(2024, 6, 21), receivable, income, qint64(50000)));
}

// A payment through any account (undeposited funds, a write-off to an
// expense, the owner, a loan) stays a payment when the invoice's entry was
// deleted: saving the invoice unchanged books a new entry beside it.
TEST_F(InvoiceEditorTest, APaymentThroughAnyAccountStaysAPayment)
{
    TWBusiness &b = book.b();
    book.addTask(book.project, QStringLiteral("Design"), TWTaskTypeHour, 5, 10000);
    open(book.newInvoice(book.project, QStringLiteral("June")), 0);
    tick(editor->tasksModel(), 0, true);
    editor->saveButton()->click();
    const TWInvoicePtr stored = b.invoiceWithIdentifier(editor->editInvoice()->identifier());
    ASSERT_TRUE(stored);
    const TWAccountPtr receivable = accountsOfType(TWAccountTypeAccountsReceivable).value(0);
    const TWAccountPtr income = accountsOfType(TWAccountTypeIncome).value(0);
    ASSERT_TRUE(receivable && income);

    for (const TWAccountType type : {TWAccountTypeCurrentAsset, TWAccountTypeExpense,
                                     TWAccountTypeEquity, TWAccountTypeLoan}) {
        SCOPED_TRACE(int(type));
        const TWAccountPtr through = TWAccount::accountWithIdentifier(
            b.nextAccountIdentifier(), QStringLiteral("Through"), 0, 0, type, QString(), QImage(),
            b.homeUnit(), QString());
        ASSERT_OK(b.addAccount(through, false));
        const TWTransactionPtr payment = twNewTransaction(b);
        payment->setDate(twLocal(2024, 6, 25));
        payment->setUnit(b.homeUnit());
        payment->setAccount1Identifier(through->identifier());
        payment->setAccount2Identifier(receivable->identifier());
        payment->setTotal(10000);
        twUpdateTotals(*payment, TWTotalTypeTotal, TWTotalTypeAll, b);
        ASSERT_OK(b.addTransaction(payment, false, false, false, false));
        ASSERT_OK(b.addRelationship(TWRelationship::relationshipWithType(
                                        TWRelationshipTypeInvoicePayment, 0.0,
                                        stored->projectIdentifier(), stored->identifier(),
                                        payment->identifier(), 0, b.nextRelationshipIdentifier()),
                                    false));
        for (const TWTransactionPtr &view : b.transactionsWithInvoice(*stored)) {
            if (view->identifier() != payment->identifier()) {
                ASSERT_OK(b.deleteTransaction(b.transactionWithIdentifier(view->identifier()),
                                              false, true, true));
            }
        }
        const qint64 held = b.transactionTotalWithAccount(*through);

        open(stored, 1);
        editor->saveButton()->click();
        ASSERT_EQ(codes, QList<int>{-1002});

        EXPECT_EQ(std::tuple(payment->date().date(), payment->account1Identifier(),
                             payment->account2Identifier(), payment->total()),
                  std::tuple(QDate(2024, 6, 25), through->identifier(), receivable->identifier(),
                             qint64(10000)));
        EXPECT_EQ(b.transactionTotalWithAccount(*through), held);
        const TWTransactionPtr entry = b.invoiceEntry(*stored);
        ASSERT_TRUE(entry);
        EXPECT_NE(entry->identifier(), payment->identifier());
        EXPECT_EQ(
            std::tuple(entry->account1Identifier(), entry->account2Identifier(), entry->total()),
            std::tuple(receivable->identifier(), income->identifier(), qint64(50000)));
        ASSERT_OK(b.deleteTransaction(payment, false, true, true));
    }
}

namespace
{

// A transaction of `total` (home unit) from `account1` to `account2`, dated
// `day` and linked to the invoice as the register links one.
TWTransactionPtr linkTransaction(TWBusiness &b, const TWInvoice &invoice, const QDate &day,
                                 qint32 account1, qint32 account2, qint64 total,
                                 const QString &description = QString())
{
    const TWTransactionPtr t = twNewTransaction(b);
    t->setDate(twLocal(day.year(), day.month(), day.day()));
    t->setDescription(description);
    t->setUnit(b.homeUnit());
    t->setAccount1Identifier(account1);
    t->setAccount2Identifier(account2);
    t->setTotal(total);
    twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b);
    EXPECT_OK(b.addTransaction(t, false, false, false, false));
    EXPECT_OK(b.addRelationship(
        TWRelationship::relationshipWithType(TWRelationshipTypeInvoicePayment, 0.0,
                                             invoice.projectIdentifier(), invoice.identifier(),
                                             t->identifier(), 0, b.nextRelationshipIdentifier()),
        false));
    return t;
}

TWAccountPtr addAccountOfType(TWBusiness &b, TWAccountType type, const QString &name)
{
    const TWAccountPtr account = TWAccount::accountWithIdentifier(
        b.nextAccountIdentifier(), name, 0, 0, type, QString(), QImage(), b.homeUnit(), QString());
    EXPECT_OK(b.addAccount(account, false));
    return account;
}

QString bookingOf(const TWTransaction &t)
{
    return QStringLiteral("%1 %2 %3 %4 (%5 at home)")
        .arg(t.date().date().toString(Qt::ISODate))
        .arg(t.account1Identifier())
        .arg(t.account2Identifier())
        .arg(t.total())
        .arg(t.totalBusiness());
}

} // namespace

// An invoice's entry is the one its editor made. Moved in the register to a
// deferred-revenue account (billed in advance) it stays the entry: saved
// unchanged, the invoice stores nothing and the client owes once; saved with
// other lines, it is booked again on that account, never moved back to
// income. With the entry deleted, a discount written off through an income
// account stays a discount, and the save books a new entry of what the lines
// bill. An entry cut by hand, or one in another unit whose rate moved since,
// is booked again only by a save that changes what the invoice bills. One
// nobody cut follows its lines through a save that bills the same: left in
// the unit the project had before, or copied with a duplicate whose lines
// bill nothing.
TEST_F(InvoiceEditorTest, AnInvoicesEntryIsTheOneItsEditorMade)
{
    TWBusiness &b = book.b();
    const TWUnitPtr euro = b.unitWithCode(QStringLiteral("EUR"));
    ASSERT_TRUE(euro);
    const double euroRate = euro->rate();
    enum Shape {
        AsMade,
        Deferred,
        DeferredBilledAgain,
        DeferredRateRaised,
        DiscountWithoutEntry,
        CutByHand,
        CutByHandBilledAgain,
        OtherUnit,
        OtherUnitCutByHand,
        UnitChanged,
        UnitChangedCutByHand,
        DuplicateWithoutLines,
        CreditMoved,
        CreditMovedRateChanged,
        TypedWithoutLines,
        PaidThenUnitChanged,
        MarkedOnWriteOff,
        MarkedOnDeposit,
    };
    const struct {
        const char *name;
        Shape shape;
        int linked;      // transactions linked after the save
        qint64 owed;     // what the client then owes on it
        qint64 rebooked; // what the entry then books, -1: as it was
    } rows[] = {
        {"as made", AsMade, 1, 50000, -1},
        {"moved to deferred revenue", Deferred, 1, 50000, -1},
        {"moved to deferred revenue, then 3 of the 5 hours billed", DeferredBilledAgain, 1, 30000,
         30000},
        {"moved to deferred revenue, then its task's rate raised", DeferredRateRaised, 1, 60000,
         60000},
        {"discount, entry deleted", DiscountWithoutEntry, 2, 45000, -1},
        {"cut by hand to 450.00, saved unchanged", CutByHand, 1, 45000, -1},
        {"cut by hand, then 3 of the 5 hours billed", CutByHandBilledAgain, 1, 30000, 30000},
        {"in euros, the rate moved since", OtherUnit, 1, 50000, -1},
        {"in euros, cut by hand, the rate moved since", OtherUnitCutByHand, 1, 45000, -1},
        {"the project's unit changed from dollars to euros", UnitChanged, 1, 50000, 50000},
        {"cut by hand, then the project's unit changed", UnitChangedCutByHand, 1, 22500, -1},
        {"duplicated, saved with no lines", DuplicateWithoutLines, 1, 0, 0},
        // A credit note (lines below 0) whose entry the user moved off
        // income: its own charge wherever it is, never credited twice.
        {"credit note moved to customer credits", CreditMoved, 1, -50000, -1},
        {"credit note moved to an expense, then its task's rate changed", CreditMovedRateChanged, 1,
         -60000, -60000},
        // What the user typed into the entry of an invoice without lines.
        {"without lines, 750.00 typed into its entry", TypedWithoutLines, 1, 75000, -1},
        // Paid 200.00, then the unit changed: the settled amount stays.
        {"paid, then the project's unit changed", PaidThenUnitChanged, 2, 15000, -1},
        // The previous build's opening put the entry's mark on a write-off,
        // on a payment into undeposited funds: the entry stays the entry.
        {"the previous build marked a write-off as its entry", MarkedOnWriteOff, 2, 0, -1},
        {"the previous build marked a deposit as its entry", MarkedOnDeposit, 2, 0, -1},
    };
    // Keeps the link of `transaction` to the invoice as `role`, as an
    // earlier build's opening wrote it.
    const auto mark = [&b](const TWTransaction &transaction, TWDocumentLinkRole role) {
        for (const TWRelationshipPtr &link :
             b.relationshipsWithTransaction(transaction, TWRelationshipTypeInvoicePayment)) {
            const TWRelationshipPtr marked = link->copy();
            marked->setValue(role);
            ASSERT_OK(b.updateRelationship(marked, false));
        }
    };
    for (const auto &c : rows) {
        SCOPED_TRACE(c.name);
        const QString task = QString::fromLatin1(c.name);
        const bool cut = c.shape == CutByHand || c.shape == CutByHandBilledAgain ||
                         c.shape == OtherUnitCutByHand || c.shape == UnitChangedCutByHand;
        const bool euros = c.shape == OtherUnit || c.shape == OtherUnitCutByHand;
        const bool unitChanged = c.shape == UnitChanged || c.shape == UnitChangedCutByHand;
        const bool deferred =
            c.shape == Deferred || c.shape == DeferredBilledAgain || c.shape == DeferredRateRaised;
        const bool credit = c.shape == CreditMoved || c.shape == CreditMovedRateChanged;
        TWProjectPtr project = book.project;
        if (euros || unitChanged || c.shape == PaidThenUnitChanged) {
            euro->setRate(0.5);
            project =
                TWProject::projectWithDate(twLocal(2024, 1, 1), false, task, TWProjectTypeProject,
                                           {}, {}, 0, euros ? euro : b.homeUnit(), 0.0, {},
                                           book.client->identifier(), b.nextProjectIdentifier());
            ASSERT_OK(b.addProject(project, false));
        }
        const TWTaskPtr work =
            book.addTask(project, task, TWTaskTypeHour, 5, credit ? -10000 : 10000);
        open(book.newInvoice(project, task), 0);
        if (c.shape != TypedWithoutLines)
            tick(editor->tasksModel(), row(editor->tasksModel(), task), true);
        editor->saveButton()->click();
        ASSERT_EQ(codes, QList<int>{-1002});
        TWInvoicePtr stored = b.invoiceWithIdentifier(editor->editInvoice()->identifier());
        ASSERT_TRUE(stored);
        TWTransactionPtr entry = b.invoiceEntry(*stored);
        ASSERT_TRUE(entry);
        const qint32 receivable = entry->account1Identifier();
        qint32 income = entry->account2Identifier();
        TWTransactionPtr discount;
        if (cut) {
            entry->setTotal(45000);
            twUpdateTotals(*entry, TWTotalTypeTotal, TWTotalTypeAll, b);
            ASSERT_OK(b.updateTransaction(entry, true, true, true, true));
        }
        if (euros) {
            euro->setRate(0.25);
        } else if (unitChanged) {
            project->setUnit(euro);
            ASSERT_OK(b.updateProject(project, false));
        } else if (deferred) {
            income = addAccountOfType(b, TWAccountTypeCurrentLiability, QStringLiteral("Deferred"))
                         ->identifier();
            entry->setAccount2Identifier(income);
            twUpdateTotals(*entry, TWTotalTypeTotal, TWTotalTypeAll, b);
            ASSERT_OK(b.updateTransaction(entry, true, true, true, true));
            if (c.shape == DeferredRateRaised) {
                // The task sheet's edit rebooks the invoices billing it.
                const TWTaskPtr raised = b.taskWithIdentifier(work->identifier())->copy();
                raised->setRate(12000);
                ASSERT_OK(b.updateTask(raised, true));
            }
        } else if (c.shape == DiscountWithoutEntry) {
            discount = linkTransaction(
                b, *stored, QDate(2024, 6, 25), receivable,
                addAccountOfType(b, TWAccountTypeIncome, QStringLiteral("Discounts"))->identifier(),
                -5000);
            ASSERT_OK(b.deleteTransaction(entry, false, true, true));
        } else if (credit) {
            const bool expense = c.shape == CreditMovedRateChanged;
            income = addAccountOfType(
                         b, expense ? TWAccountTypeExpense : TWAccountTypeCurrentLiability,
                         expense ? QStringLiteral("Refunds") : QStringLiteral("Customer credits"))
                         ->identifier();
            entry->setAccount2Identifier(income);
            twUpdateTotals(*entry, TWTotalTypeTotal, TWTotalTypeAll, b);
            ASSERT_OK(b.updateTransaction(entry, true, true, true, true));
            if (expense) {
                const TWTaskPtr changed = b.taskWithIdentifier(work->identifier())->copy();
                changed->setRate(-12000);
                ASSERT_OK(b.updateTask(changed, true));
            }
        } else if (c.shape == TypedWithoutLines) {
            entry->setTotal(75000);
            twUpdateTotals(*entry, TWTotalTypeTotal, TWTotalTypeAll, b);
            ASSERT_OK(b.updateTransaction(entry, true, true, true, true));
        } else if (c.shape == PaidThenUnitChanged) {
            linkTransaction(b, *stored, QDate(2024, 6, 25),
                            accountsOfType(TWAccountTypeBank).value(0)->identifier(), receivable,
                            20000);
            project->setUnit(euro);
            ASSERT_OK(b.updateProject(project, false));
        } else if (c.shape == MarkedOnWriteOff || c.shape == MarkedOnDeposit) {
            const TWTransactionPtr paid = linkTransaction(
                b, *stored, QDate(2024, 6, 25),
                c.shape == MarkedOnWriteOff
                    ? addAccountOfType(b, TWAccountTypeExpense, QStringLiteral("Bad debts"))
                          ->identifier()
                    : addAccountOfType(b, TWAccountTypeCurrentAsset, QStringLiteral("Undeposited"))
                          ->identifier(),
                receivable, 50000);
            mark(*entry, TWDocumentLinkOther);
            mark(*paid, TWDocumentLinkEntry);
        } else if (c.shape == DuplicateWithoutLines) {
            // As the invoice list duplicates: the fields and a copy of the
            // entry, no lines.
            const TWInvoicePtr copy = stored->copy();
            copy->setIdentifier(b.nextInvoiceIdentifier());
            ASSERT_OK(b.addInvoice(copy, false));
            bool copied = false;
            bool beforePeriod = false;
            ASSERT_OK(twCopyLinkedPayment(
                b, *entry, TWRelationshipTypeInvoicePayment, copy->projectIdentifier(),
                copy->identifier(), [] { return TWError(TWDatabaseErrorDomain, -1, QString()); },
                copied, beforePeriod));
            stored = copy;
            entry = b.invoiceEntry(*copy);
            ASSERT_TRUE(entry);
            ASSERT_EQ(entry->total(), 50000);
        }
        const QString entryBooked = bookingOf(*entry);
        const QString discountBooked = discount ? bookingOf(*discount) : QString();
        const qsizetype count = b.transactions().size();

        open(stored, 1);
        if (c.shape == CutByHandBilledAgain || c.shape == DeferredBilledAgain) {
            editor->tasksTable()->selectRow(row(editor->tasksModel(), task));
            ASSERT_TRUE(editor->tableViewSpace(editor->tasksTable()));
            editor->quantityField()->setText(QStringLiteral("3"));
            editor->doQuantitySave(1);
        }
        editor->saveButton()->click();
        ASSERT_EQ(codes, QList<int>{-1002});
        EXPECT_EQ(b.transactionsWithInvoice(*stored).size(), c.linked);
        twUpdateTransactions(*stored, b);
        EXPECT_EQ(twOwe(*stored, b), c.owed);
        euro->setRate(euroRate);
        if (c.shape != DiscountWithoutEntry) {
            EXPECT_EQ(b.transactions().size(), count);
            EXPECT_EQ(b.invoiceEntry(*stored), entry);
            if (c.rebooked < 0) {
                EXPECT_EQ(bookingOf(*entry), entryBooked);
                continue;
            }
            EXPECT_EQ(std::tuple(entry->date().date(), entry->account1Identifier(),
                                 entry->account2Identifier(), entry->total(),
                                 entry->unit()->code()),
                      std::tuple(QDate(2024, 6, 20), receivable, income, c.rebooked,
                                 project->unit()->code()));
            continue;
        }
        EXPECT_EQ(bookingOf(*discount), discountBooked);
        const TWTransactionPtr made = b.invoiceEntry(*stored);
        ASSERT_TRUE(made);
        EXPECT_EQ(std::tuple(made->date().date(), made->account1Identifier(),
                             made->account2Identifier(), made->total()),
                  std::tuple(QDate(2024, 6, 20), receivable, income, qint64(50000)));
        EXPECT_NE(made->identifier(), discount->identifier());
    }
}

// What an invoice charged and was paid reads the same in the lists and on the
// printed invoice: a late fee linked to it is a further charge, printed as a
// charge line, never a payment taken back; money received or given back
// through a bank, a card or money on its way in (a bounced payment, a refund
// of an overpayment) is in the payments whatever its sign and prints no line;
// a write-off or a discount is paid off as before; and a deposit dated before
// the invoice counts toward the share paid.
TEST_F(InvoiceEditorTest, ChargesAndPaymentsReadTheSameInTheListsAndInPrint)
{
    TWBusiness &b = book.b();
    const qint32 bank = accountsOfType(TWAccountTypeBank).value(0)->identifier();
    const qint32 lateFees =
        addAccountOfType(b, TWAccountTypeIncome, QStringLiteral("Late fees"))->identifier();
    const qint32 undeposited =
        addAccountOfType(b, TWAccountTypeCurrentAsset, QStringLiteral("Undeposited"))->identifier();
    const qint32 card =
        addAccountOfType(b, TWAccountTypeCreditCard, QStringLiteral("Card"))->identifier();
    const qint32 badDebts =
        addAccountOfType(b, TWAccountTypeExpense, QStringLiteral("Bad debts"))->identifier();
    const qint32 discounts =
        addAccountOfType(b, TWAccountTypeIncome, QStringLiteral("Discounts"))->identifier();
    enum Later { Nothing, LateFee, Bounced, Refunded, PaidOut, WrittenOff, Discount };
    const struct {
        const char *name;
        double hours; // at 100.00
        QDate paidOn; // the payment, or the 200.00 deposit before the invoice
        qint64 paid;
        qint32 paidInto;
        Later later; // linked after the payment, booked against `through`
        qint64 amount;
        qint32 through;
        qint64 total, payments, owed;
        int percent;
    } rows[] = {
        {"paid half", 10, QDate(2024, 6, 25), 50000, bank, Nothing, 0, 0, 100000, 50000, 50000, 50},
        {"late fee", 10, QDate(2024, 6, 25), 50000, bank, LateFee, 5000, lateFees, 105000, 50000,
         55000, 48},
        {"deposit before", 5, QDate(2024, 6, 1), 20000, bank, Nothing, 0, 0, 50000, 20000, 30000,
         40},
        {"payment bounced", 10, QDate(2024, 6, 25), 50000, bank, Bounced, 50000, bank, 100000, 0,
         100000, 0},
        {"payment on its way in bounced", 10, QDate(2024, 6, 25), 50000, undeposited, Bounced,
         50000, undeposited, 100000, 0, 100000, 0},
        {"overpaid, refunded to a card", 10, QDate(2024, 6, 25), 120000, bank, Refunded, 20000,
         card, 100000, 100000, 0, 100},
        // Paid in full, then money paid out for the client (a fee through
        // the bank or a card) billed on: a further charge, not money back,
        // owed afresh.
        {"paid out from the bank", 10, QDate(2024, 6, 25), 100000, bank, PaidOut, 15000, bank,
         115000, 100000, 15000, 0},
        {"paid out by card", 10, QDate(2024, 6, 25), 100000, bank, PaidOut, 15000, card, 115000,
         100000, 15000, 0},
        {"written off", 10, QDate(2024, 6, 25), 50000, bank, WrittenOff, 10000, badDebts, 100000,
         60000, 40000, 60},
        {"discount", 10, QDate(2024, 6, 25), 50000, bank, Discount, 5000, discounts, 100000, 55000,
         45000, 55},
    };
    const auto money = [](qint64 amount) {
        return QStringLiteral("$") +
               QLocale(QLocale::English).toString(double(amount) / 100, 'f', 2);
    };
    for (const auto &c : rows) {
        SCOPED_TRACE(c.name);
        const QString task = QString::fromLatin1(c.name);
        book.addTask(book.project, task, TWTaskTypeHour, c.hours, 10000);
        open(book.newInvoice(book.project, task), 0);
        tick(editor->tasksModel(), row(editor->tasksModel(), task), true);
        editor->saveButton()->click();
        ASSERT_EQ(codes, QList<int>{-1002});
        const TWInvoicePtr stored = b.invoiceWithIdentifier(editor->editInvoice()->identifier());
        ASSERT_TRUE(stored);
        const TWTransactionPtr entry = b.invoiceEntry(*stored);
        ASSERT_TRUE(entry);
        const qint32 receivable = entry->account1Identifier();
        linkTransaction(b, *stored, c.paidOn, c.paidInto, receivable, c.paid);
        const QDate later(2024, 7, 21);
        const QString laterText = QStringLiteral("Later %1").arg(task);
        switch (c.later) {
        case Nothing:
            break;
        case LateFee: // the receivable raised against income
        case Bounced: // ... against the money the payment went into
        case Refunded:
        case PaidOut:
            linkTransaction(b, *stored, later, receivable, c.through, c.amount, laterText);
            break;
        case WrittenOff: // the receivable lowered against an expense
            linkTransaction(b, *stored, later, c.through, receivable, c.amount, laterText);
            break;
        case Discount: // ... against income
            linkTransaction(b, *stored, later, receivable, c.through, -c.amount, laterText);
            break;
        }

        twUpdateTransactions(*stored, b);
        EXPECT_EQ(std::tuple(twTotal(*stored, b), twPayments(*stored, b), twOwe(*stored, b)),
                  std::tuple(c.total, c.payments, c.owed));
        EXPECT_EQ(qRound(twPercentPaid(*stored, b) * 100.0f), c.percent);

        TWSendInvoiceDataPtr send = b.sendInvoiceData(*book.client);
        send->setLayout(TWLayoutManager::layoutManager().layoutWithName(QStringLiteral("Classic")));
        twUpdateTasksExpenses(*stored, b);
        twUpdateSendInvoiceData(*send, *stored, b);
        TWInvoiceOperation operation(send->copy());
        ASSERT_TRUE(operation.prepare());
        EXPECT_EQ(operation.invoicePaymentsTotal(), c.payments);
        EXPECT_EQ(operation.invoiceSubtotalTotal(), c.total);
        EXPECT_EQ(operation.invoiceTotal() - operation.invoiceBalanceTotal(), c.owed);

        // The page as the client reads it: the lines billed, a further
        // charge as a charge line of its own, and what was paid.
        TWReadPdf page(twRender(
            b, send,
            QStringLiteral("charges-and-payments-%1").arg(QString::number(int(&c - rows)))));
        ASSERT_TRUE(page.ok());
        const QString text = page.text(0);
        EXPECT_TRUE(text.contains(task)) << text.toStdString();
        const bool charged = c.later == LateFee || c.later == PaidOut;
        EXPECT_EQ(text.contains(laterText), charged) << text.toStdString();
        EXPECT_EQ(text.contains(TWLocalized("charge")), charged) << text.toStdString();
        EXPECT_FALSE(text.contains(TWLocalized("expense"))) << text.toStdString();
        const auto shows = [&text, &money](const QString &label, qint64 amount) {
            return QRegularExpression(QRegularExpression::escape(label) + QStringLiteral("\\s*") +
                                      QRegularExpression::escape(money(amount)))
                .match(text)
                .hasMatch();
        };
        EXPECT_TRUE(shows(send->totalSubtotalLabel(), c.total)) << text.toStdString();
        EXPECT_TRUE(shows(send->totalPaymentsLabel(), c.payments)) << text.toStdString();
        EXPECT_TRUE(shows(send->totalDueLabel(), operation.invoiceTotal())) << text.toStdString();
    }
}
