#pragma once
// Fixture of the work suites: a document on a new business with a client, a
// project and an estimate, the document's own task timer, alerts recorded and
// answered, and helpers that store clients, projects, tasks, time items and
// expenses.

#include "TWAppTestSupport.h"

#include "work/TWDocumentTaskTimer.h"
#include "work/TWWork.h"

#include "app/TWAlert.h"

#include "model/TWAccount.h"
#include "model/TWClient.h"
#include "model/TWExpense.h"
#include "model/TWInvoice.h"
#include "model/TWPreferences.h"
#include "model/TWProject.h"
#include "model/TWTask.h"
#include "store/TWBusiness.h"

#include <QCoreApplication>

#include <deque>

class TWWorkTest : public TWAppTest
{
protected:
    void SetUp() override
    {
        TWAppTest::SetUp();
        twRegisterWork();
        TWPreferences &preferences = TWPreferences::preferences();
        preferences.setIdleTimeout(0);
        preferences.setMinimumTaskTime(0);
        preferences.setTimeFormat(0);
        preferences.setAutoCompleteTextFields(true);
        document = newDocument();
        business = document->business();
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert.message);
            informative.append(alert.informativeText);
            const int answer = answers.empty() ? alertAnswer : answers.front();
            if (!answers.empty())
                answers.pop_front();
            if (completion)
                completion(answer);
        });
        client = addClient(QStringLiteral("Acme"));
        project = addProject(client, QStringLiteral("Website"), 1);
        estimate = addProject(client, QStringLiteral("Redesign"), 0);
        document->updateChangeCount(2);
    }
    void TearDown() override
    {
        twSetAlertPresenter({});
        document.reset();
        TWAppTest::TearDown();
    }

    static void settle()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    TWClientPtr addClient(const QString &name)
    {
        TWClientPtr made = TWClient::clientWithIdentifier(
            business->nextClientIdentifier(), name, QString(), 0, 0, QImage(), QString(), QString(),
            QString(), QUrl(), QString(), QString());
        EXPECT_OK(business->addClient(made, false));
        return made;
    }
    TWProjectPtr addProject(const TWClientPtr &owner, const QString &name, int type,
                            qint64 rate = 5000, const QString &unit = QStringLiteral("USD"))
    {
        TWProjectPtr made = TWProject::projectWithDate(
            twLocal(2026, 1, 5), false, name, std::uint32_t(type), QDateTime(), QDateTime(), rate,
            business->unitWithCode(unit), 0.0, QString(), owner->identifier(),
            business->nextProjectIdentifier());
        EXPECT_OK(business->addProject(made, false));
        return made;
    }
    TWTaskPtr addTask(const TWProjectPtr &owner, const QString &name, int type = TWTaskTypeTimed,
                      double quantity = 0.0, const QDateTime &date = twLocal(2026, 3, 1))
    {
        TWTaskPtr made = TWTask::taskWithDate(date, false, name, std::uint32_t(type), 0.0, quantity,
                                              owner->rate(), 0.0, QString(), owner->identifier(),
                                              business->nextTaskIdentifier());
        EXPECT_OK(business->addTask(made, false));
        return made;
    }
    TWTaskItemPtr addItem(const TWTaskPtr &task, const QDateTime &start, const QDateTime &end)
    {
        TWTaskItemPtr made = TWTaskItem::taskItemWithStartDateTime(
            start, end, QString(), task->identifier(), business->nextTaskItemIdentifier());
        EXPECT_OK(business->addTaskItem(made, false));
        return made;
    }
    TWExpensePtr addExpense(const TWProjectPtr &owner, const QString &name, qint64 cost,
                            const QDateTime &date = twLocal(2026, 3, 1))
    {
        TWExpensePtr made =
            TWExpense::expenseWithDate(date, name, 1.0, cost, 0.0, QString(), owner->identifier(),
                                       business->nextExpenseIdentifier());
        EXPECT_OK(business->addExpense(made, false));
        return made;
    }
    // An account of the type, made when the business has none.
    TWAccountPtr accountOfType(TWAccountType type, const QString &name)
    {
        for (const TWAccountPtr &account : business->accounts())
            if (account->accountType() == type)
                return account;
        TWAccountPtr made =
            TWAccount::accountWithIdentifier(business->nextAccountIdentifier(), name, 0, 0, type,
                                             QString(), QImage(), business->homeUnit(), QString());
        EXPECT_OK(business->addAccount(made, false));
        return made;
    }
    // An invoice of the project billing the tasks (their whole quantity) and
    // expenses, with its receivable entry booked as the invoice editor saves it.
    TWInvoicePtr billOn(const QString &number, const QDateTime &date, const TWTaskList &tasks,
                        const TWExpenseList &expenses)
    {
        const TWAccountPtr receivable =
            accountOfType(TWAccountTypeAccountsReceivable, QStringLiteral("Receivable"));
        const TWAccountPtr income = accountOfType(TWAccountTypeIncome, QStringLiteral("Sales"));
        TWInvoicePtr invoice = TWInvoice::invoiceWithDate(
            date, number, QString(), true, false, QDateTime(), 0, QString(), project->identifier(),
            business->nextInvoiceIdentifier());
        EXPECT_OK(business->addInvoice(invoice, false));
        EXPECT_OK(
            business->createInvoiceTransaction({invoice}, receivable, nullptr, nullptr, true));
        TWTaskList lines;
        for (const TWTaskPtr &task : tasks) {
            lines.append(task->copy());
            lines.last()->setInvoiceQuantity(task->quantity());
        }
        TWExpenseList costs;
        bool taxed = false;
        for (const TWExpensePtr &expense : expenses) {
            costs.append(expense->copy());
            costs.last()->setInvoiceQuantity(expense->quantity());
            taxed = taxed || expense->taxRate() != 0.0;
        }
        EXPECT_OK(business->updateInvoiceItems(invoice, lines, costs));
        EXPECT_OK(business->updateInvoiceTransaction(
            invoice, receivable, income,
            taxed ? accountOfType(TWAccountTypeTax, QStringLiteral("Sales tax")) : nullptr));
        return invoice;
    }
    TWDocumentTaskTimer *timer() const
    {
        return qobject_cast<TWDocumentTaskTimer *>(document->taskTimer());
    }

    std::unique_ptr<TWBusinessController> document;
    TWBusiness *business = nullptr;
    TWClientPtr client;
    TWProjectPtr project;
    TWProjectPtr estimate;
    QStringList alerts;
    QStringList informative;
    // Answers for the next alerts in order; then alertAnswer.
    std::deque<int> answers;
    int alertAnswer = 1000;
};
