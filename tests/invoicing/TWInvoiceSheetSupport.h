#pragma once
// The send sheet and the invoice editor on a document: a business without
// receivable, income or tax accounts (the editor makes them), one client with
// a project and an estimate, tasks and expenses, and waiting for the event
// loop. The clock is pinned to 1 July 2024.

#include "TWAppTestSupport.h"
#include "TWInvoiceRenderSupport.h"

#include "app/TWAlert.h"
#include "model/TWAccount.h"
#include "model/TWClient.h"
#include "model/TWExpense.h"
#include "model/TWProject.h"
#include "model/TWTask.h"

#include <QTest>

struct TWSheetBook {
    std::unique_ptr<TWBusinessController> document;
    TWClientPtr client;
    TWProjectPtr project;
    TWProjectPtr estimate;
    TWBusiness &b() { return *document->business(); }

    TWTaskPtr addTask(const TWProjectPtr &owner, const QString &name, std::uint32_t type,
                      double quantity, qint64 rate, double taxRate = 0)
    {
        auto task =
            TWTask::taskWithDate(twLocal(2024, 6, 3), false, name, type, 0.0, quantity, rate,
                                 taxRate, QString(), owner->identifier(), b().nextTaskIdentifier());
        EXPECT_OK(b().addTask(task, false));
        return task;
    }
    TWExpensePtr addExpense(const TWProjectPtr &owner, const QString &name, qint64 cost,
                            double taxRate = 0)
    {
        auto expense = TWExpense::expenseWithDate(twLocal(2024, 6, 4), name, 1.0, cost, taxRate, {},
                                                  owner->identifier(), b().nextExpenseIdentifier());
        EXPECT_OK(b().addExpense(expense, false));
        return expense;
    }
    // A new invoice of `owner`, not stored (what the list hands a new sheet).
    TWInvoicePtr newInvoice(const TWProjectPtr &owner, const QString &name)
    {
        return TWInvoice::invoiceWithDate(twLocal(2024, 6, 20), QStringLiteral("7"), name, false,
                                          false, QDateTime(), 0, QString(), owner->identifier(), 0);
    }
    TWInvoicePtr storedInvoice(const TWProjectPtr &owner, const QString &name,
                               const QDateTime &due = {}, bool paid = false)
    {
        TWInvoicePtr invoice = newInvoice(owner, name);
        invoice->setIdentifier(b().nextInvoiceIdentifier());
        invoice->setDueDate(due);
        invoice->setPaid(paid);
        EXPECT_OK(b().addInvoice(invoice, false));
        return invoice;
    }
    qint64 count(const char *sql) { return twQueryInt(b(), QString::fromLatin1(sql)).value_or(-1); }
};

class TWInvoiceSheetTest : public TWAppTest
{
protected:
    void SetUp() override
    {
        TWAppTest::SetUp();
        TWBusinessInfoPtr info = TWBusinessInfo::newBusinessInfo();
        info->setName(QStringLiteral("Studio North"));
        info->setHomeCurrency(QStringLiteral("USD"));
        info->setCreateDefaultAccounts(false);
        book.document = std::make_unique<TWBusinessController>();
        ASSERT_OK(book.document->createWithBusinessInfo(info));
        TWBusiness &b = book.b();
        auto bank = TWAccount::accountWithIdentifier(
            b.nextAccountIdentifier(), QStringLiteral("Bank"), 0, 0, TWAccountTypeBank, QString(),
            QImage(), b.homeUnit(), QString());
        ASSERT_OK(b.addAccount(bank, false));
        book.client = TWClient::clientWithIdentifier(b.nextClientIdentifier(),
                                                     QStringLiteral("Ada"), QStringLiteral("Acme"),
                                                     0, 0, QImage(), {}, {}, {}, QUrl(), {}, {});
        ASSERT_OK(b.addClient(book.client, false));
        const auto project = [&b, this](const QString &name, std::uint32_t type) {
            auto made =
                TWProject::projectWithDate(twLocal(2024, 1, 1), false, name, type, {}, {}, 0,
                                           b.unitWithCode(QStringLiteral("USD")), 0.0, {},
                                           book.client->identifier(), b.nextProjectIdentifier());
            EXPECT_OK(b.addProject(made, false));
            return made;
        };
        book.project = project(QStringLiteral("Site"), TWProjectTypeProject);
        book.estimate = project(QStringLiteral("Quote"), TWProjectTypeEstimate);
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert);
            if (completion)
                completion(1000);
        });
    }
    void TearDown() override
    {
        twSetAlertPresenter({});
        book.document.reset();
        TWAppTest::TearDown();
    }

    TWFixedClock clock{2024, 7, 1};
    TWSheetBook book;
    QList<TWAlert> alerts;
};

// Waits until `done` holds (at most `ms` milliseconds).
template <typename Predicate> bool twWaitFor(Predicate done, int ms = 20000)
{
    return QTest::qWaitFor(done, ms);
}

// The text of every page of a PDF.
inline QString twPdfText(const QByteArray &pdf)
{
    TWReadPdf read(pdf);
    QString text;
    for (int page = 0; page < read.pages(); ++page)
        text += read.text(page);
    return text;
}
