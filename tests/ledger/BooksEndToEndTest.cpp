// A freelancer's month in one document window: entries typed into the
// transaction editor, the register's running balance and the source list's
// totals, cleared boxes, the several-at-once sheet, duplicate and delete, then
// the package saved and opened again from disk.

#include "TWWindowTestSupport.h"

#include "ledger/TWEditTransactionsController.h"
#include "ledger/TWLedger.h"
#include "ledger/TWSplitController.h"
#include "ledger/TWTotalController.h"
#include "ledger/TWTransactionController.h"
#include "ledger/TWTransactionsController.h"
#include "ledger/TWTransactionsModel.h"

#include "app/TWAlert.h"
#include "app/TWControls.h"
#include "app/TWMasterItem.h"
#include "app/TWMasterTotals.h"
#include "model/TWBuiltInFields.h"
#include "store/TWTransactionEditing.h"

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

    // What the source list shows beside an account, against the row format of `cents`.
    static void expectListed(TWBusinessController &document, qint32 account, qint64 cents)
    {
        TWBusiness &b = *document.business();
        const TWMasterItemPtr node =
            master(document).masterItemWithType(TWMasterItemEntity, TWItemTypeAccount, account);
        ASSERT_TRUE(node) << account;
        EXPECT_EQ(master(document).totals()->detailText(*node),
                  TWMasterTotals::rowAmount(cents, b.homeUnit().get(), b))
            << account;
    }

    // Opens the editor on a new entry of the shown register, dated `day`.
    TWTransactionController *openEditor(TWBusinessController &document, int day)
    {
        TWBusiness &b = *document.business();
        TWTransactionPtr t = twNewTransaction(b);
        TWRegisterDetail *reg = document.transactionsController();
        twUpdateAccounts(*t, b, reg->shownAccounts(), false);
        t->setActiveAccountIdentifier(t->account1Identifier());
        t->setDate(QDateTime(QDate(2026, 3, day), QTime(9, 0)));
        document.newTransaction(t, {}, false, reg);
        return qobject_cast<TWTransactionController *>(document.transactionController());
    }
    static void amount(TWTotalController *total, int tag, const QString &text)
    {
        total->field(tag)->setText(text);
        total->updateTotalTextField(tag);
    }
    // An entry of the checking register filled in the editor: payee, other account,
    // amount typed as a deposit (debit) or a withdrawal (credit).
    TWTransactionController *fill(TWBusinessController &document, int day, const QString &payee,
                                  qint32 other, int tag, const QString &text)
    {
        TWTransactionController *editor = openEditor(document, day);
        if (!editor)
            return nullptr;
        auto *payeeField =
            qobject_cast<QLineEdit *>(editor->valueViewForField(TWFieldIdentifierPayee));
        auto *accountPopUp =
            qobject_cast<QComboBox *>(editor->valueViewForField(TWFieldIdentifierAccount2));
        const int index =
            accountPopUp
                ? accountPopUp->findText(document.business()->accountWithIdentifier(other)->name())
                : -1;
        if (!payeeField || index < 0)
            return nullptr;
        // As the user types and leaves the field, then picks from the menu.
        QTest::keyClicks(payeeField, payee);
        emit payeeField->editingFinished();
        accountPopUp->setCurrentIndex(index);
        emit accountPopUp->activated(index);
        amount(editor->totalController(), tag, text);
        return editor;
    }
    void enter(TWBusinessController &document, int day, const QString &payee, qint32 other, int tag,
               const QString &text)
    {
        TWTransactionController *editor = fill(document, day, payee, other, tag, text);
        ASSERT_TRUE(editor);
        ASSERT_EQ(editor->doSave(1), TWSaveOutcome::Closed) << alerts.join(' ');
    }

    TWTransactionPtr rowWithPayee(TWTransactionsController *reg, const QString &payee)
    {
        for (const TWTransactionPtr &t : reg->sortedTransactions())
            if (t->payee() == payee)
                return t;
        ADD_FAILURE() << "no row " << payee;
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

    enter(*document, 2, QStringLiteral("Acme Co"), kSales, TWTotalFieldDebit,
          QStringLiteral("1000.00"));
    enter(*document, 5, QStringLiteral("Fibernet"), kInternet, TWTotalFieldCredit,
          QStringLiteral("45.50"));
    enter(*document, 9, QStringLiteral("To savings"), kSavings, TWTotalFieldCredit,
          QStringLiteral("300.00"));

    // A purchase split over two expenses: 120.00 out, 100.00 computer, 20.00 internet.
    TWTransactionController *editor = fill(*document, 12, QStringLiteral("Office Depot"), kComputer,
                                           TWTotalFieldCredit, QStringLiteral("120.00"));
    ASSERT_TRUE(editor);
    editor->splitTransaction();
    ASSERT_EQ(editor->splitControllers().size(), 2);
    amount(editor->splitControllers().at(1)->totalController(), TWTotalFieldDebit,
           QStringLiteral("100.00"));
    editor->newSplit();
    ASSERT_EQ(editor->splitControllers().size(), 3);
    TWSplitController *third = editor->splitControllers().at(2);
    third->chooseAccountAtIndex(
        third->accountPopUpButton()->findText(b.accountWithIdentifier(kInternet)->name()));
    ASSERT_EQ(editor->doSave(1), TWSaveOutcome::Closed) << alerts.join(' ');
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
    expectListed(*document, kChecking, 53450);
    expectListed(*document, kSavings, 30000);
    expectListed(*document, kSales, 100000);
    expectListed(*document, kComputer, 10000);
    expectListed(*document, kInternet, 6550);

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

    // What the user sees now, row by row, to compare after reopening.
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
    // The copy of the cleared deposit keeps its flag; the sheet's payee is left on
    // the withdrawal only, the transfer being gone.
    EXPECT_EQ(before, (QStringList{QStringLiteral("Acme Co 100000 1 100000 2026-03-02"),
                                   QStringLiteral("Acme Co 100000 1 200000 2026-03-02"),
                                   QStringLiteral("Northwind -4550 1 195450 2026-03-05"),
                                   QStringLiteral("Office Depot -12000 0 183450 2026-03-12")}));

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

    const TWTransactionPtr split = rowWithPayee(again, QStringLiteral("Office Depot"));
    ASSERT_TRUE(split && split->hasSplit());
    QList<qint64> lines;
    for (const TWSplitPtr &s : split->splits())
        lines.append(s->totalBusiness());
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (QList<qint64>{-12000, 2000, 10000}));

    master(reopened).updateTotals();
    expectListed(reopened, kChecking, 183450);
    expectListed(reopened, kSavings, 0);
    expectListed(reopened, kSales, 200000);
    expectListed(reopened, kInternet, 6550);
}
