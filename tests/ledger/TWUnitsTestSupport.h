#pragma once
// Fixture of the units view and unit sheet suites: a document on a new
// business, and alerts recorded (and answered) instead of shown.

#include "TWAppTestSupport.h"

#include "app/TWAlert.h"

#include <QCoreApplication>

class TWUnitsTest : public TWAppTest
{
protected:
    void SetUp() override
    {
        TWAppTest::SetUp();
        document = newDocument();
        business = document->business();
        document->updateChangeCount(2);
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert.message);
            informative.append(alert.informativeText);
            if (completion)
                completion(alertAnswer);
        });
    }
    void TearDown() override
    {
        twSetAlertPresenter({});
        document.reset();
        TWAppTest::TearDown();
    }

    // Lets queued sheet completions run.
    static void settle()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    TWUnitPtr customUnit(const QString &code, const QString &name = QStringLiteral("Widgets"))
    {
        TWUnitPtr unit = TWUnit::unitWithName(name, QString(), code, QString(), 1.0, 2, QDateTime(),
                                              false, TWUnitTypeCustom);
        EXPECT_OK(business->addUnit(unit, false));
        return unit;
    }

    // A currency the built-in list does not mark as a favourite.
    TWUnitPtr plainCurrency() const
    {
        for (const TWUnitPtr &unit : business->unitsOfType(TWUnitTypeCurrency))
            if (!unit->favourite() && unit != business->homeUnit())
                return unit;
        return nullptr;
    }

    std::unique_ptr<TWBusinessController> document;
    TWBusiness *business = nullptr;
    QStringList alerts;
    QStringList informative;
    int alertAnswer = 1000;
};
