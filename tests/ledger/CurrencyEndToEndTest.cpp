// A dollar business with a euro and a yen account, driven as a user does:
// entries through the editor, each register in its account's own unit, the
// source list, converted totals after a rate change, the several-at-once
// sheet, then the package saved and read back from disk.

#include "TransactionEditorTestSupport.h"

#include "app/TWMasterController.h"
#include "app/TWMasterItem.h"
#include "app/TWMasterTotals.h"
#include "foundation/TWLocalized.h"
#include "ledger/TWEditTransactionsController.h"
#include "ledger/TWTotalController.h"
#include "ledger/TWTransactionsController.h"
#include "model/TWBuiltInFields.h"

#include <QComboBox>
#include <QLineEdit>

namespace
{

class RegisterCurrencyEndToEnd : public TransactionEditorTest
{
protected:
    void SetUp() override
    {
        TransactionEditorTest::SetUp();
        // Rates are quoted per dollar: 1 EUR = 1.25 USD, 1 USD = 150 JPY.
        setRate(QStringLiteral("EUR"), 0.8);
        setRate(QStringLiteral("JPY"), 150.0);
        ASSERT_EQ(business->unitWithCode(QStringLiteral("JPY"))->decimalPlaces(), 0);
        euroBank =
            addAccount(QStringLiteral("Euro Bank"), TWAccountTypeBank, QStringLiteral("EUR"));
        yenBank = addAccount(QStringLiteral("Yen Bank"), TWAccountTypeBank, QStringLiteral("JPY"));
        // Names of their own: a new business already has a "Rent" and a "Sales".
        travel = addAccount(QStringLiteral("Travel Abroad"), TWAccountTypeExpense);
        consulting = addAccount(QStringLiteral("Consulting Fees"), TWAccountTypeIncome);
        // The account sheet puts a new account into the source list; these
        // were written straight to the store, so the list is built afresh.
        document->masterController()->update();
        alertAnswer = 1000;
    }

    void setRate(const QString &code, double rate)
    {
        const TWUnitPtr unit = business->unitWithCode(code);
        ASSERT_TRUE(unit);
        unit->setRate(rate);
        ASSERT_OK(business->updateUnitRate(unit, true));
    }

    // Enters one transaction through the editor: the two accounts chosen from
    // their pop-ups, the unit chosen, the amount typed into the debit field.
    TWTransactionPtr enter(const TWAccountPtr &to, const TWAccountPtr &from, const QString &unit,
                           const QString &amount, const QString &account1Amount = {})
    {
        TWTransactionController *editor = openNew(makeTransaction(bank, sales, 0));
        EXPECT_TRUE(editor);
        if (!editor)
            return nullptr;
        choose(popUp(editor, TWFieldIdentifierAccount1), to->name());
        choose(popUp(editor, TWFieldIdentifierAccount2), from->name());
        TWTotalController *amounts = editor->totalController();
        EXPECT_TRUE(amounts->chooseUnit(business->unitWithCode(unit)));
        typeAmount(amounts->field(TWTotalFieldDebit), amount);
        if (!account1Amount.isEmpty())
            typeAmount(amounts->field(TWTotalFieldAccount1Debit), account1Amount);
        EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
        EXPECT_TRUE(prompts.errors.isEmpty());
        return business->transactionWithIdentifier(editor->editTransaction()->identifier());
    }

    static void typeAmount(QLineEdit *field, const QString &text)
    {
        ASSERT_TRUE(field);
        field->selectAll();
        QTest::keyClicks(field, text);
        // Leaving the field ends its editing; Return would save the editor.
        emit field->editingFinished();
    }

    TWTransactionsController *showRegister(const TWAccountPtr &account)
    {
        TWMasterController &master = *document->masterController();
        const TWMasterItemPtr node =
            master.masterItemWithType(TWMasterItemEntity, TWItemTypeAccount, account->identifier());
        EXPECT_TRUE(node);
        if (!node)
            return nullptr;
        document->selectMasterItems({node}, true);
        return qobject_cast<TWTransactionsController *>(document->transactionsController());
    }

    // The source list row of the account, as the list shows it.
    static QString sourceListAmount(TWBusinessController &doc, const TWAccountPtr &account)
    {
        TWMasterController &master = *doc.masterController();
        const TWMasterItemPtr node =
            master.masterItemWithType(TWMasterItemEntity, TWItemTypeAccount, account->identifier());
        if (!node)
            return QStringLiteral("(no row)");
        master.updateTotals(*node);
        return master.totals()->detailText(*node);
    }

    QString shown(qint64 amount, const TWAccountPtr &account) const
    {
        return TWMasterTotals::rowAmount(amount, account->unit().get(), *business);
    }

    // The running balance of the register's last row: the account's balance in its unit.
    static qint64 registerBalance(TWTransactionsController *reg)
    {
        const TWTransactionList rows = reg ? reg->sortedTransactions() : TWTransactionList();
        return rows.isEmpty() ? 0 : rows.last()->balance();
    }

    TWAccountPtr euroBank, yenBank, travel, consulting;
};

} // namespace

TEST_F(RegisterCurrencyEndToEnd, ForeignAccountsKeepTheirUnitsThroughEditsRatesAndAReopen)
{
    // A 100 euro expense paid from the euro account.
    const TWTransactionPtr expense =
        enter(travel, euroBank, QStringLiteral("EUR"), QStringLiteral("100.00"));
    ASSERT_TRUE(expense);
    EXPECT_EQ(expense->total(), 10000);
    EXPECT_EQ(expense->totalAccount1(), 12500); // the dollar expense
    EXPECT_EQ(expense->totalAccount2(), 10000); // the euro bank
    EXPECT_EQ(expense->totalBusiness(), 12500);

    // 200 euros moved to the dollar bank, which received 245 dollars, not 250.
    const TWTransactionPtr transfer = enter(bank, euroBank, QStringLiteral("EUR"),
                                            QStringLiteral("200.00"), QStringLiteral("245.00"));
    ASSERT_TRUE(transfer);
    EXPECT_EQ(transfer->total(), 20000);
    EXPECT_EQ(transfer->totalAccount1(), 24500);
    EXPECT_EQ(transfer->totalAccount2(), 20000);

    // 15,000 yen of income into the yen account.
    const TWTransactionPtr income =
        enter(yenBank, consulting, QStringLiteral("JPY"), QStringLiteral("15000"));
    ASSERT_TRUE(income);
    EXPECT_EQ(income->total(), 15000);
    EXPECT_EQ(income->totalAccount1(), 15000);
    EXPECT_EQ(income->totalAccount2(), 10000);
    EXPECT_EQ(income->totalBusiness(), 10000);
    EXPECT_TRUE(alerts.isEmpty()) << alerts.join(u'|');

    // Each register and source list row in the account's own unit.
    TWTransactionsController *euroRegister = showRegister(euroBank);
    ASSERT_TRUE(euroRegister);
    EXPECT_EQ(euroRegister->sortedTransactions().size(), 2);
    EXPECT_EQ(registerBalance(euroRegister), -30000);
    EXPECT_EQ(sourceListAmount(*document, euroBank), shown(-30000, euroBank));
    EXPECT_EQ(registerBalance(showRegister(bank)), 24500);
    EXPECT_EQ(sourceListAmount(*document, bank), shown(24500, bank));
    EXPECT_EQ(registerBalance(showRegister(yenBank)), 15000);
    EXPECT_EQ(sourceListAmount(*document, yenBank), shown(15000, yenBank));
    EXPECT_EQ(sourceListAmount(*document, travel), shown(12500, travel));
    EXPECT_EQ(sourceListAmount(*document, consulting), shown(10000, consulting));

    // The business's figures in dollars: 100 of income less 125 of expense.
    const TWStatementTotals totals = business->transactionTotalsWithAssets({});
    EXPECT_EQ(totals.netIncome, -2500);
    EXPECT_EQ(totals.expenses.value(travel->identifier()), 12500);
    EXPECT_EQ(totals.income.value(consulting->identifier()), 10000);

    // The euro rises to 1.60 dollars; only the expense is brought up to date,
    // so the transfer keeps the amount the bank really received.
    setRate(QStringLiteral("EUR"), 0.625);
    euroRegister = showRegister(euroBank);
    ASSERT_TRUE(euroRegister);
    euroRegister->selectTransactions({expense});
    euroRegister->updateSelectedConvertedTotals(false);
    const TWTransactionPtr updated = business->transactionWithIdentifier(expense->identifier());
    EXPECT_EQ(updated->totalAccount1(), 16000);
    EXPECT_EQ(updated->totalAccount2(), 10000);
    EXPECT_EQ(updated->totalBusiness(), 16000);
    EXPECT_EQ(business->transactionWithIdentifier(transfer->identifier())->totalAccount1(), 24500);
    EXPECT_EQ(sourceListAmount(*document, travel), shown(16000, travel));
    EXPECT_EQ(registerBalance(showRegister(euroBank)), -30000);

    // The expense was really a transfer to the dollar bank: account 1 changed
    // in the several-at-once sheet, on the row as the expense's register shows it.
    TWTransactionsController *travelRegister = showRegister(travel);
    ASSERT_TRUE(travelRegister);
    ASSERT_EQ(travelRegister->sortedTransactions().size(), 1);
    travelRegister->selectTransactions(travelRegister->sortedTransactions());
    document->editMultipleTransactions(false);
    auto *sheet = document->findChild<TWEditTransactionsController *>();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(sheet->selectField(TWFieldIdentifierAccount1));
    auto *accountPopUp = qobject_cast<QComboBox *>(sheet->valueView());
    ASSERT_TRUE(accountPopUp);
    choose(accountPopUp, bank->name());
    sheet->doSave(1);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(prompts.errors.isEmpty());
    const TWTransactionPtr moved = business->transactionWithIdentifier(expense->identifier());
    EXPECT_EQ(moved->account1Identifier(), bank->identifier());
    EXPECT_EQ(moved->account2Identifier(), euroBank->identifier());
    EXPECT_EQ(moved->total(), 10000);
    EXPECT_EQ(moved->totalAccount1(), 16000);
    EXPECT_EQ(moved->totalAccount2(), 10000);
    EXPECT_EQ(registerBalance(showRegister(bank)), 40500);
    EXPECT_EQ(sourceListAmount(*document, bank), shown(40500, bank));
    EXPECT_EQ(sourceListAmount(*document, travel), shown(0, travel));
    EXPECT_EQ(sourceListAmount(*document, euroBank), shown(-30000, euroBank));

    // Saved and read back from disk, every amount and rate is as it was.
    const QString package = dir.filePath(QStringLiteral("Currencies.tallyworth"));
    ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(package)));
    TWBusinessController reopened;
    TWErrorResult error;
    ASSERT_TRUE(reopened.readFromURL(QUrl::fromLocalFile(package), &error));
    TWBusiness &stored = *reopened.business();
    EXPECT_EQ(stored.homeUnit()->code(), QStringLiteral("USD"));
    EXPECT_DOUBLE_EQ(stored.unitWithCode(QStringLiteral("EUR"))->rate(), 0.625);
    EXPECT_EQ(stored.accountWithIdentifier(yenBank->identifier())->unit()->code(),
              QStringLiteral("JPY"));
    const auto same = [&](const TWTransactionPtr &before) {
        const TWTransactionPtr after = stored.transactionWithIdentifier(before->identifier());
        ASSERT_TRUE(after);
        const TWTransactionPtr now = business->transactionWithIdentifier(before->identifier());
        EXPECT_EQ(after->account1Identifier(), now->account1Identifier());
        EXPECT_EQ(after->account2Identifier(), now->account2Identifier());
        EXPECT_EQ(after->unit()->code(), now->unit()->code());
        EXPECT_EQ(after->total(), now->total());
        EXPECT_EQ(after->totalAccount1(), now->totalAccount1());
        EXPECT_EQ(after->totalAccount2(), now->totalAccount2());
        EXPECT_EQ(after->totalBusiness(), now->totalBusiness());
    };
    same(expense);
    same(transfer);
    same(income);
    const QHash<qint32, qint64> balances = stored.accountBalances(QDateTime());
    EXPECT_EQ(balances.value(bank->identifier()), 40500);
    EXPECT_EQ(balances.value(euroBank->identifier()), -30000);
    EXPECT_EQ(balances.value(yenBank->identifier()), 15000);
    reopened.makeWindowControllers();
    reopened.showWindows();
    QCoreApplication::processEvents();
    EXPECT_EQ(sourceListAmount(reopened, yenBank), shown(15000, yenBank));
    EXPECT_EQ(sourceListAmount(reopened, euroBank), shown(-30000, euroBank));
}

// A yen amount that no dinar amount can hold, typed into the editor, is
// refused naming the dinar account, and nothing is stored.
TEST_F(RegisterCurrencyEndToEnd, AnAmountNoOtherUnitCanHoldIsRefusedByTheEditor)
{
    setRate(QStringLiteral("KWD"), 0.3);
    const TWAccountPtr dinars =
        addAccount(QStringLiteral("Dinar Bank"), TWAccountTypeBank, QStringLiteral("KWD"));
    document->masterController()->update();
    const qsizetype before = business->transactions().size();
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 0));
    ASSERT_TRUE(editor);
    choose(popUp(editor, TWFieldIdentifierAccount1), yenBank->name());
    choose(popUp(editor, TWFieldIdentifierAccount2), dinars->name());
    TWTotalController *amounts = editor->totalController();
    ASSERT_TRUE(amounts->chooseUnit(business->unitWithCode(QStringLiteral("JPY"))));
    typeAmount(amounts->field(TWTotalFieldDebit), QStringLiteral("9223372036854775807"));
    EXPECT_NE(editor->doSave(1), TWSaveOutcome::Closed);
    ASSERT_FALSE(prompts.errors.isEmpty());
    EXPECT_EQ(prompts.errors.last().localizedDescription(),
              TWLocalized("amountNotHeldMessage").arg(dinars->name(), QStringLiteral("KWD")));
    EXPECT_EQ(business->transactions().size(), before);
}
