#pragma once
// The transaction editor's fixture: a document on a real business with four
// accounts, the editor registered, alerts recorded and answered.

#include "TWAppTestSupport.h"

#include "app/TWAlert.h"
#include "ledger/TWLedger.h"
#include "ledger/TWTransactionController.h"

#include "TWStoreTestSupport.h"
#include "store/TWTransactionEditing.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

class TransactionEditorTest : public TWAppTest
{
protected:
    void SetUp() override
    {
        TWAppTest::SetUp();
        twRegisterLedger();
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert.message);
            if (completion && alertAnswer)
                completion(alertAnswer);
        });
        document = newDocument();
        document->makeWindowControllers();
        document->showWindows();
        business = document->business();
        ASSERT_TRUE(business);
        bank = addAccount(QStringLiteral("Bank"), TWAccountTypeBank);
        cash = addAccount(QStringLiteral("Cash"), TWAccountTypeCash);
        sales = addAccount(QStringLiteral("Sales"), TWAccountTypeIncome);
        rent = addAccount(QStringLiteral("Rent"), TWAccountTypeExpense);
    }
    void TearDown() override
    {
        twSetAlertPresenter({});
        document.reset();
        TWAppTest::TearDown();
    }

    TWAccountPtr addAccount(const QString &name, TWAccountType type, const QString &unit = {})
    {
        const TWUnitPtr accountUnit =
            unit.isEmpty() ? business->homeUnit() : business->unitWithCode(unit);
        const TWAccountPtr account =
            TWAccount::accountWithIdentifier(business->nextAccountIdentifier(), name, 0, 0, type,
                                             QString(), QImage(), accountUnit, QString());
        EXPECT_OK(business->addAccount(account, true));
        return account;
    }

    // A new transaction from `from` to `to` (the store's sign: `to` gains).
    TWTransactionPtr makeTransaction(const TWAccountPtr &to, const TWAccountPtr &from, qint64 total,
                                     const QDateTime &date = QDateTime(QDate(2026, 11, 2),
                                                                       QTime(12, 0)))
    {
        TWTransactionPtr transaction = twNewTransaction(*business);
        transaction->setAccount1Identifier(to->identifier());
        transaction->setAccount2Identifier(from->identifier());
        transaction->setActiveAccountIdentifier(to->identifier());
        transaction->setUnit(business->homeUnit());
        transaction->setDate(date);
        transaction->setTotal(total);
        twUpdateTotals(*transaction, TWTotalTypeTotal, TWTotalTypeAll, *business);
        return transaction;
    }

    TWTransactionPtr storeTransaction(const QString &payee, qint64 total,
                                      const QDateTime &date = QDateTime(QDate(2026, 11, 2),
                                                                        QTime(12, 0)),
                                      qint32 repeatIdentifier = 0)
    {
        TWTransactionPtr transaction = makeTransaction(bank, sales, total, date);
        transaction->setPayee(payee);
        transaction->setRepeatIdentifier(repeatIdentifier);
        EXPECT_OK(business->addTransaction(transaction, false, false, false, true));
        return transaction;
    }

    TWTransactionController *openNew(const TWTransactionPtr &transaction, bool multiple = false,
                                     const TWRelationshipList &relationships = {})
    {
        document->newTransaction(transaction, relationships, multiple, nullptr);
        return qobject_cast<TWTransactionController *>(document->transactionController());
    }

    TWTransactionController *openEdit(const TWTransactionPtr &transaction, bool isImport = false)
    {
        document->editTransaction(transaction, isImport, nullptr);
        return qobject_cast<TWTransactionController *>(document->transactionController());
    }

    QLineEdit *textField(TWTransactionController *editor, qint32 field)
    {
        return qobject_cast<QLineEdit *>(editor->valueViewForField(field));
    }
    QComboBox *popUp(TWTransactionController *editor, qint32 field)
    {
        return qobject_cast<QComboBox *>(editor->valueViewForField(field));
    }
    // Types the text into the field and ends its editing, as leaving it does.
    void type(TWTransactionController *editor, qint32 field, const QString &text)
    {
        QLineEdit *edit = textField(editor, field);
        ASSERT_TRUE(edit);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        emit edit->editingFinished();
    }
    // Chooses the pop-up item with that title, as a click does.
    void choose(QComboBox *popUp, const QString &title)
    {
        const int index = popUp->findText(title);
        ASSERT_GE(index, 0) << title;
        popUp->setCurrentIndex(index);
        emit popUp->activated(index);
    }

    std::unique_ptr<TWBusinessController> document;
    TWBusiness *business = nullptr;
    TWAccountPtr bank, cash, sales, rent;
    QStringList alerts;
    int alertAnswer = 0;
};
