#pragma once
// A business for the amount, split and repeat suites: units loaded (home USD),
// built-in fields, and accounts in dollars, euros, dinars and miles. Alerts are
// recorded instead of shown.

#include "TWStoreTestSupport.h"
#include "app/TWAlert.h"
#include "store/TWBusiness.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

class TWAmountTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        business = twMakeBusinessWithUnits(QStringLiteral("USD"));
        ASSERT_TRUE(business);
        ASSERT_OK(business->populateFields());
        ASSERT_OK(business->loadFields());
        bank = addAccount(QStringLiteral("Bank"), TWAccountTypeBank, "USD");
        expense = addAccount(QStringLiteral("Supplies"), TWAccountTypeExpense, "USD");
        euroBank = addAccount(QStringLiteral("Euro Bank"), TWAccountTypeBank, "EUR");
        dinarBank = addAccount(QStringLiteral("Dinar Bank"), TWAccountTypeBank, "KWD");
        mileage = addAccount(QStringLiteral("Car Mileage"), TWAccountTypeExpense, "USD");
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert.message);
            if (completion)
                completion(alertAnswer);
        });
    }

    void TearDown() override { twSetAlertPresenter({}); }

    TWAccountPtr addAccount(const QString &name, TWAccountType type, const char *unit)
    {
        const TWAccountPtr account = TWAccount::accountWithIdentifier(
            business->nextAccountIdentifier(), name, 0, 0, type, QString(), QImage(),
            business->unitWithCode(QString::fromLatin1(unit)), QString());
        EXPECT_OK(business->addAccount(account, false));
        return account;
    }

    TWUnitPtr unit(const char *code) const
    {
        return business->unitWithCode(QString::fromLatin1(code));
    }

    // Types into a field as a user would and leaves it.
    static void type(QLineEdit *field, const QString &text)
    {
        field->selectAll();
        if (text.isEmpty())
            QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    std::unique_ptr<TWBusiness> business;
    TWAccountPtr bank, expense, euroBank, dinarBank, mileage;
    QStringList alerts;
    int alertAnswer = 1000;
};
