// A freelancer's month in one document window: entries typed into the
// transaction editor, the register's running balance and the source list's
// totals, cleared boxes, the several-at-once sheet, duplicate and delete, then
// the package saved and opened again from disk.

#include "TWWindowTestSupport.h"

#include "TWEditTransactionsController.h"
#include "TWLedger.h"
#include "TWSplitController.h"
#include "TWTotalController.h"
#include "TWTransactionController.h"
#include "TWTransactionsController.h"
#include "TWTransactionsModel.h"

#include "TWAlert.h"
#include "TWBuiltInFields.h"
#include "TWControls.h"
#include "TWMasterItem.h"
#include "TWMasterTotals.h"

#include <QLineEdit>

namespace
{

// The new business's chart of accounts.
constexpr qint32 kChecking = 100;
constexpr qint32 kSavings = 101;
constexpr qint32 kSales = 109;
constexpr qint32 kComputer = 115;
constexpr qint32 kInternet = 122;

class RegisterEndToEnd : public TWWindowTest
{
protected:
    void SetUp() override
    {
        TWWindowTest::SetUp();
        twRegisterLedger();
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert.message);
            if (completion)
                completion(1000);
        });
    }
    void TearDown() override
    {
        twSetAlertPresenter({});
        TWWindowTest::TearDown();
    }

    static TWTransactionsController *registerOf(TWBusinessController &document, qint32 account)
    {
        select(document, TWMasterItemEntity, TWItemTypeAccount, account);
        return qobject_cast<TWTransactionsController *>(document.transactionsController());
    }

    // What the source list shows beside an account.
    static QString listed(TWBusinessController &document, qint32 account)
    {
        const TWMasterItemPtr node =
            master(document).masterItemWithType(TWMasterItemEntity, TWItemTypeAccount, account);
        return node ? master(document).totals()->detailText(*node) : QString();
    }
    static QString money(TWBusinessController &document, qint64 cents)
    {
        TWBusiness &b = *document.business();
        return TWMasterTotals::rowAmount(cents, b.homeUnit().get(), b);
    }

    // Opens the editor on a new entry of the shown register, dated `day`.
    TWTransactionController *openEditor(TWBusinessController &document, int day)
    {
        TWBusiness &b = *document.business();
        TWTransactionPtr t = TWTransaction::transactionWithBusiness(b);
        TWRegisterDetail *reg = document.transactionsController();
        t->updateAccountsWithBusiness(b, reg->shownAccounts(), false);
        t->setActiveAccountIdentifier(t->account1Identifier());
        t->setDate(QDateTime(QDate(2026, 3, day), QTime(9, 0)));
        document.newTransaction(t, {}, false, reg);
        return qobject_cast<TWTransactionController *>(document.transactionController());
    }
    static void choose(QComboBox *popUp, const QString &title)
    {
        ASSERT_TRUE(popUp);
        const int index = popUp->findText(title);
        ASSERT_GE(index, 0) << title.toStdString();
        popUp->setCurrentIndex(index);
        emit popUp->activated(index);
    }
    static void typeInto(QLineEdit *edit, const QString &text)
    {
        ASSERT_TRUE(edit);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        emit edit->editingFinished();
    }
    static void amount(TWTotalController *total, int tag, const QString &text)
    {
        total->field(tag)->setText(text);
        total->updateTotalTextField(tag);
    }
    // One entry of the checking register: payee, other account, amount typed
    // as a deposit (debit) or a withdrawal (credit).
    void enter(TWBusinessController &document, int day, const QString &payee, qint32 other,
               int tag, const QString &text)
    {
        TWTransactionController *editor = openEditor(document, day);
        ASSERT_TRUE(editor);
        typeInto(qobject_cast<QLineEdit *>(editor->valueViewForField(TWFieldIdentifierPayee)), payee);
        choose(qobject_cast<QComboBox *>(editor->valueViewForField(TWFieldIdentifierAccount2)),
               document.business()->accountWithIdentifier(other)->name());
        amount(editor->totalController(), tag, text);
        ASSERT_EQ(editor->doSave(1), TWSaveOutcome::Closed) << alerts.join(' ').toStdString();
    }

    TWTransactionPtr rowWithPayee(TWTransactionsController *reg, const QString &payee)
    {
        for (const TWTransactionPtr &t : reg->sortedTransactions())
            if (t->payee() == payee)
                return t;
        ADD_FAILURE() << "no row " << payee.toStdString();
        return nullptr;
    }
    static QList<qint64> balances(TWTransactionsController *reg)
    {
        QList<qint64> list;
        for (const TWTransactionPtr &t : reg->sortedTransactions())
            list.append(t->balance());
        return list;
    }

    QStringList alerts;
};

} // namespace

TEST_F(RegisterEndToEnd, EntriesEditsAndTheSavedPackageAgree)
{
    auto document = windowDocument();
    TWBusiness &b = *document->business();
    ASSERT_TRUE(b.accountWithIdentifier(kSavings));
    TWTransactionsController *reg = registerOf(*document, kChecking);
    ASSERT_TRUE(reg);

    enter(*document, 2, QStringLiteral("Acme Co"), kSales, TWTotalFieldDebit, QStringLiteral("1000.00"));
    enter(*document, 5, QStringLiteral("Fibernet"), kInternet, TWTotalFieldCredit, QStringLiteral("45.50"));
    enter(*document, 9, QStringLiteral("To savings"), kSavings, TWTotalFieldCredit, QStringLiteral("300.00"));

    // A purchase split over two expenses: 120.00 out, 100.00 computer, 20.00 internet.
    TWTransactionController *editor = openEditor(*document, 12);
    ASSERT_TRUE(editor);
    typeInto(qobject_cast<QLineEdit *>(editor->valueViewForField(TWFieldIdentifierPayee)),
             QStringLiteral("Office Depot"));
    choose(qobject_cast<QComboBox *>(editor->valueViewForField(TWFieldIdentifierAccount2)),
           b.accountWithIdentifier(kComputer)->name());
    amount(editor->totalController(), TWTotalFieldCredit, QStringLiteral("120.00"));
    editor->splitTransaction();
    ASSERT_EQ(editor->splitControllers().size(), 2);
    amount(editor->splitControllers().at(1)->totalController(), TWTotalFieldDebit,
           QStringLiteral("100.00"));
    editor->newSplit();
    ASSERT_EQ(editor->splitControllers().size(), 3);
    TWSplitController *third = editor->splitControllers().at(2);
    third->chooseAccountAtIndex(
        third->accountPopUpButton()->findText(b.accountWithIdentifier(kInternet)->name()));
    ASSERT_EQ(editor->doSave(1), TWSaveOutcome::Closed) << alerts.join(' ').toStdString();
    QCoreApplication::processEvents();

    // The register: four rows, in date order, with the running balance.
    ASSERT_EQ(reg->sortedTransactions().size(), 4);
    EXPECT_EQ(balances(reg), (QList<qint64>{100000, 95450, 65450, 53450}));
    const TWTransactionPtr purchase = rowWithPayee(reg, QStringLiteral("Office Depot"));
    ASSERT_TRUE(purchase);
    EXPECT_EQ(purchase->total(), -12000);
    ASSERT_TRUE(purchase->hasSplit());
    EXPECT_EQ(purchase->splits().size(), 3);
    const int balanceColumn = reg->fieldColumn(b.fieldWithIdentifier(TWFieldIdentifierBalance));
    ASSERT_GE(balanceColumn, 0);
    EXPECT_TRUE(reg->model()->index(3, balanceColumn).data().toString().contains("534.50"));

    // The source list: each account's balance, expenses and income as positive.
    master(*document).updateTotals();
    EXPECT_EQ(listed(*document, kChecking), money(*document, 53450));
    EXPECT_EQ(listed(*document, kSavings), money(*document, 30000));
    EXPECT_EQ(listed(*document, kSales), money(*document, 100000));
    EXPECT_EQ(listed(*document, kComputer), money(*document, 10000));
    EXPECT_EQ(listed(*document, kInternet), money(*document, 6550));

    // Two rows cleared with their boxes.
    const int cleared = reg->fieldColumn(b.fieldWithIdentifier(TWFieldIdentifierCleared));
    ASSERT_GE(cleared, 0);
    for (int row : {0, 1})
        EXPECT_TRUE(reg->model()->setData(reg->model()->index(row, cleared), Qt::Checked,
                                          Qt::CheckStateRole));

    // One payee for two rows at once.
    reg->selectTransactions({rowWithPayee(reg, QStringLiteral("Fibernet")),
                             rowWithPayee(reg, QStringLiteral("To savings"))});
    document->editMultipleTransactions(false);
    auto *sheet = document->findChild<TWEditTransactionsController *>();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(sheet->selectField(TWFieldIdentifierPayee));
    auto *payee = qobject_cast<QLineEdit *>(sheet->valueView());
    ASSERT_TRUE(payee);
    payee->setText(QStringLiteral("Northwind"));
    sheet->doSave(1);
    QCoreApplication::processEvents();

    // Duplicate the deposit, delete the transfer (the question answered yes).
    reg->duplicateTransactions({rowWithPayee(reg, QStringLiteral("Acme Co"))});
    TWTransactionPtr transfer;
    for (const TWTransactionPtr &t : reg->sortedTransactions())
        if (t->account2Identifier() == kSavings)
            transfer = t;
    ASSERT_TRUE(transfer);
    EXPECT_EQ(transfer->payee(), QStringLiteral("Northwind"));
    EXPECT_EQ(transfer->total(), -30000);
    reg->deleteTransactions({transfer}, false);
    QCoreApplication::processEvents();
    ASSERT_EQ(reg->sortedTransactions().size(), 4);
    EXPECT_EQ(reg->sortedTransactions().last()->balance(), 183450);

    // What the user sees now, keyed by payee and amount, to compare after reopening.
    auto snapshot = [](TWTransactionsController *r) {
        QStringList rows;
        for (const TWTransactionPtr &t : r->sortedTransactions())
            rows.append(QStringLiteral("%1 %2 %3 %4 %5")
                            .arg(t->payee())
                            .arg(t->total())
                            .arg(t->cleared())
                            .arg(t->balance())
                            .arg(t->date().date().toString(Qt::ISODate)));
        return rows;
    };
    const QStringList before = snapshot(reg);

    const QString package = dir.filePath(QStringLiteral("Freelance.tallyworth"));
    ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(package)));
    document.reset();

    TWBusinessController reopened;
    TWErrorResult error;
    ASSERT_TRUE(reopened.readFromURL(QUrl::fromLocalFile(package), &error));
    reopened.business()->setDocumentFrame(QRectF(20, 20, 1000, 700));
    reopened.showWindows();
    QCoreApplication::processEvents();
    TWTransactionsController *again = registerOf(reopened, kChecking);
    ASSERT_TRUE(again);
    EXPECT_EQ(snapshot(again), before);

    int clearedCount = 0;
    QStringList payees;
    for (const TWTransactionPtr &t : again->sortedTransactions()) {
        clearedCount += t->cleared();
        payees.append(t->payee());
    }
    // The two boxes ticked, plus the copy of the cleared deposit, which keeps its flag.
    EXPECT_EQ(clearedCount, 3);
    EXPECT_EQ(payees.count(QStringLiteral("Northwind")), 1);
    EXPECT_EQ(payees.count(QStringLiteral("Acme Co")), 2);
    const TWTransactionPtr split = rowWithPayee(again, QStringLiteral("Office Depot"));
    ASSERT_TRUE(split && split->hasSplit());
    QList<qint64> lines;
    for (const TWSplitPtr &s : split->splits())
        lines.append(s->totalBusiness());
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (QList<qint64>{-12000, 2000, 10000}));

    master(reopened).updateTotals();
    EXPECT_EQ(listed(reopened, kChecking), money(reopened, 183450));
    EXPECT_EQ(listed(reopened, kSavings), money(reopened, 0));
    EXPECT_EQ(listed(reopened, kSales), money(reopened, 200000));
    EXPECT_EQ(listed(reopened, kInternet), money(reopened, 6550));
}
