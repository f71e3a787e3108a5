// The several-at-once sheet as the document opens it: filled from the
// register's selection on first use, saving writes and ends the sheet.

#include "TWRecordTestSupport.h"
#include "ledger/TWEditTransactionsController.h"
#include "ledger/TWLedger.h"

#include "foundation/TWLocalized.h"
#include "store/TWTransactionEditing.h"

#include <QLineEdit>

namespace
{

class EditTransactionsSheetTest : public TWRecordTest
{
};

// The register as far as the command needs it: its selection.
class SelectionRegister final : public TWRegisterDetail
{
public:
    using TWRegisterDetail::TWRegisterDetail;
    ~SelectionRegister() override { delete m_view.data(); }
    QWidget *view() override
    {
        if (!m_view)
            m_view = new QLabel(QStringLiteral("register"));
        return m_view;
    }
    TWTransactionList selectedTransactions() const override { return selected; }
    TWTransactionList selected;

private:
    QPointer<QWidget> m_view;
};

TWTransactionPtr storeTransaction(TWBusiness &b, qint32 account1, qint32 account2)
{
    auto transaction = twNewTransaction(b);
    transaction->setAccount1Identifier(account1);
    transaction->setAccount2Identifier(account2);
    transaction->setTotal(500);
    twUpdateTotals(*transaction, TWTotalTypeTotal, TWTotalTypeAll, b);
    EXPECT_OK(b.addTransaction(transaction, false, false, false, false));
    return transaction;
}

} // namespace

TEST_F(EditTransactionsSheetTest, TheDocumentsCommandFillsTheSheetAndSavingWrites)
{
    twRegisterLedger();
    SelectionRegister *reg = nullptr;
    TWAppRegistry::registry().setDetailFactory(TWDetailTransactionsAccounts,
                                               [&reg](QObject *parent) {
                                                   reg = new SelectionRegister(parent);
                                                   return reg;
                                               });
    TWAccountPtr one;
    TWTransactionList made;
    auto document = windowDocument([&](TWBusiness &b) {
        one = addAccount(b, "One");
        const TWAccountPtr two = addAccount(b, "Two");
        made = {storeTransaction(b, one->identifier(), two->identifier()),
                storeTransaction(b, one->identifier(), two->identifier())};
    });
    select(*document, TWMasterItemEntity, TWItemTypeAccount, one->identifier());
    ASSERT_TRUE(reg);
    reg->selected = made;
    document->editMultipleTransactions(false);
    auto *sheet = document->findChild<TWEditTransactionsController *>();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->transactionCountLabel()->text(),
              QStringLiteral("2 ") + TWLocalized("transactionsLower"));
    ASSERT_TRUE(sheet->selectField(-5));
    auto *payee = qobject_cast<QLineEdit *>(sheet->valueView());
    ASSERT_TRUE(payee);
    payee->setText(QStringLiteral("Acme"));
    sheet->doSave(1);
    settle();
    EXPECT_TRUE(prompts.errors.isEmpty());
    for (const TWTransactionPtr &transaction : made)
        EXPECT_EQ(
            document->business()->transactionWithIdentifier(transaction->identifier())->payee(),
            QStringLiteral("Acme"));
    EXPECT_TRUE(document->isDocumentEdited());
}
