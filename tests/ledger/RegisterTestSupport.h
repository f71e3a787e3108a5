#pragma once
// A real business for the register's suites: the built-in units, a few
// accounts in dollars and euros, and helpers that add transactions, repeats
// and accounting periods through the store's own writes.

#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"

#include "app/TWAlert.h"
#include "model/TWRepeat.h"
#include "store/TWBusiness.h"

#include <QImage>

#include <gtest/gtest.h>

struct RegisterBooks {
    std::unique_ptr<TWBusiness> business;
    TWAccountPtr checking, savings, sales, rent;

    RegisterBooks()
    {
        TWBusinessInfoPtr info = TWBusinessInfo::newBusinessInfo();
        info->setName(QStringLiteral("Register Books"));
        info->setHomeCurrency(QStringLiteral("USD"));
        info->setCreateDefaultAccounts(false);
        info->setAccountingPeriods({});
        TWErrorResult error;
        business = TWBusiness::businessWithBusinessInfo(info, &error);
        EXPECT_TRUE(business);
        checking = account("Checking", 2);
        savings = account("Savings", 2);
        sales = account("Sales", 15);
        rent = account("Rent", 16);
    }

    TWAccountPtr account(const char *name, int type, const char *unit = "USD")
    {
        TWAccountPtr a = TWAccount::accountWithIdentifier(
            business->nextAccountIdentifier(), QLatin1String(name), 0, 0, TWAccountType(type),
            QString(), QImage(), business->unitWithCode(QLatin1String(unit)), QString());
        EXPECT_OK(business->addAccount(a, false));
        return a;
    }

    // Into account 1 from account 2, `total` cents.
    TWTransactionPtr add(const QDate &day, const TWAccountPtr &account1,
                         const TWAccountPtr &account2, qint64 total, const QString &payee = {},
                         qint32 repeat = 0)
    {
        auto t = std::make_shared<TWTransaction>();
        t->setIdentifier(business->nextTransactionIdentifier());
        t->setDate(QDateTime(day, QTime(0, 0)));
        t->setPayee(payee);
        t->setAccount1Identifier(account1->identifier());
        t->setAccount2Identifier(account2->identifier());
        t->setUnit(business->unitWithCode(QStringLiteral("USD")));
        t->setTotal(total);
        t->setTotalAccount1(total);
        t->setTotalAccount2(total);
        t->setTotalBusiness(total);
        t->setRepeatIdentifier(repeat);
        EXPECT_OK(business->addTransaction(t, false, false, false, false));
        return t;
    }

    TWRepeatPtr repeat()
    {
        TWRepeatPtr r =
            TWRepeat::repeatWithType(0, 1, 1, QDateTime(), false, business->nextRepeatIdentifier());
        EXPECT_OK(business->addRepeat(r, false));
        return r;
    }
};

// Answers every alert with one code and keeps the messages.
struct RegisterAlerts {
    int answer = 1000;
    QStringList messages;
    QList<QStringList> buttons;
    RegisterAlerts()
    {
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            messages.append(alert.message);
            buttons.append(alert.buttons);
            if (completion)
                completion(answer);
        });
    }
    ~RegisterAlerts() { twSetAlertPresenter({}); }
};
