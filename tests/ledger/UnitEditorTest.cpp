// The unit sheet: its checks in order, codes unique whatever their case, the
// rate against the home unit, and decimal places kept in range and fixed
// while records use the unit.

#include "TWUnitsTestSupport.h"

#include "ledger/TWUnitController.h"

#include "model/TWAccount.h"
#include "model/TWFormatter.h"
#include "model/TWTransaction.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

namespace
{

class UnitEditorTest : public TWUnitsTest
{
protected:
    void TearDown() override
    {
        sheet.reset();
        TWUnitsTest::TearDown();
    }

    // Opens the sheet on the unit as the units view does.
    void open(const TWUnitPtr &unit, int mode)
    {
        sheet = std::make_unique<TWUnitController>();
        sheet->setUnit(unit);
        sheet->setMode(mode);
        sheet->setBusinessController(document.get());
        sheet->setBusiness(business);
        sheet->update();
        document->beginSheetWithView(sheet->view(), false, true,
                                     [this](int code) { codes.append(code); });
        ends = std::make_unique<QSignalSpy>(sheet.get(), &TWEditorController::endRequested);
    }
    void openNew()
    {
        open(TWUnit::unitWithName(QString(), QString(), QString(), QString(), 1.0, 2, QDateTime(),
                                  false, TWUnitTypeCustom),
             0);
    }
    // Saves; the code the sheet ended with (0 while it stays open).
    int save()
    {
        sheet->saveButton()->click();
        settle();
        return ends->isEmpty() ? 0 : ends->last().at(0).toInt();
    }
    void typeRate(const QString &text)
    {
        sheet->rateTextField()->setFocus();
        sheet->rateTextField()->selectAll();
        // As typed (the locale's own digits too).
        sheet->rateTextField()->insert(text);
    }

    std::unique_ptr<TWUnitController> sheet;
    std::unique_ptr<QSignalSpy> ends;
    QList<int> codes;
};

} // namespace

TEST_F(UnitEditorTest, NewCodesMustBeThreeLettersAndUniqueIgnoringCase)
{
    openNew();
    sheet->newCodeTextField()->setText(QStringLiteral("AB"));
    EXPECT_EQ(save(), 0);
    EXPECT_EQ(alerts, QStringList({TWLocalized("unitCodeLengthWrongMessage")}));

    sheet->newCodeTextField()->setText(QStringLiteral("eur"));
    EXPECT_EQ(save(), 0);
    EXPECT_EQ(alerts.last(), TWLocalized("unitCodeNotUniqueMessage"));

    sheet->newCodeTextField()->setText(QStringLiteral("xyz"));
    EXPECT_EQ(save(), -1002);
    EXPECT_EQ(codes, QList<int>({-1002}));
    ASSERT_TRUE(business->unitWithCode("xyz"));
    EXPECT_TRUE(sheet->saved());
    EXPECT_TRUE(document->isDocumentEdited());

    openNew();
    alerts.clear();
    sheet->newCodeTextField()->setText(QStringLiteral("XYZ"));
    EXPECT_EQ(save(), 0);
    EXPECT_EQ(alerts, QStringList({TWLocalized("unitCodeNotUniqueMessage")}));
    EXPECT_FALSE(business->unitWithCode("XYZ"));
}

TEST_F(UnitEditorTest, RateIsCheckedFirstAndTakenAgainstTheHomeUnit)
{
    business->homeUnit()->setRate(0.8);
    openNew();
    sheet->newCodeTextField()->setText(QStringLiteral("A"));
    typeRate(QStringLiteral("0"));
    EXPECT_EQ(save(), 0);
    // The rate check comes before the code check.
    EXPECT_EQ(alerts, QStringList({TWLocalized("unitRateZeroMessage")}));

    sheet->newCodeTextField()->setText(QStringLiteral("WDG"));
    typeRate(QStringLiteral("1.25"));
    EXPECT_EQ(save(), -1002);
    ASSERT_TRUE(business->unitWithCode("WDG"));
    EXPECT_DOUBLE_EQ(business->unitWithCode("WDG")->rate(), 1.0);
}

TEST_F(UnitEditorTest, UntouchedRateFieldNeverChangesTheRate)
{
    // A rate the field can show only rounded, on a mileage unit whose field
    // shows the inverse ratio.
    const TWUnitPtr miles = business->unitsOfType(TWUnitTypeMileage).first();
    miles->setRate(0.621371192237334);
    const double before = miles->rate();
    open(miles, 1);
    sheet->nameTextField()->setText(miles->name() + QStringLiteral(" (road)"));
    EXPECT_EQ(save(), -1002);
    EXPECT_EQ(business->unitWithCode(miles->code())->rate(), before);

    // What the field shows, typed back, gives the same ratio.
    const TWUnitPtr eur = business->unitWithCode("EUR");
    eur->setRate(0.9);
    open(eur, 1);
    const QString shown = sheet->rateTextField()->text();
    typeRate(shown);
    EXPECT_EQ(save(), -1002);
    EXPECT_NEAR(eur->rate(), 0.9, 1e-6);

    miles->setRate(0.5);
    open(miles, 1);
    EXPECT_EQ(sheet->rateTextField()->text(),
              TWFormatter::formatter().homeUnitRateString(miles.get(), business->homeUnit().get()));
    typeRate(QStringLiteral("4"));
    EXPECT_EQ(save(), -1002);
    // Four home units per mileage unit.
    EXPECT_DOUBLE_EQ(miles->rate(), business->homeUnit()->rate() / 4);
    open(miles, 1);
    EXPECT_EQ(TWFormatter::formatter().doubleValueFromString(sheet->rateTextField()->text()), 4);
}

TEST_F(UnitEditorTest, RateAndPlacesAreReadAsEveryTypedNumberOrRefusedNamingTheField)
{
    // Locale, rate and places typed; the field refused (none: both stored).
    int made = 0;
    for (const auto &[locale, rate, places, refused] :
         QList<std::tuple<const char *, QString, QString, const char *>>{
             {"de_DE", "1.5", "2", "unitRate"},
             {"de_DE", "1,5", "3", nullptr},
             {"fr_FR", "1.5", "2", "unitRate"},
             {"fa_IR", "1,5", "2", "unitRate"},
             {"fa_IR", QString::fromUtf8("\u06F1\u066B\u06F5"), QString::fromUtf8("\u06F3"),
              nullptr},
             {"en_US", "1.5", "1.5", "unitDecimalPlaces"}}) {
        SCOPED_TRACE(QStringLiteral("%1 %2 %3").arg(locale, rate, places).toStdString());
        const TWLocaleGuard guard{QString::fromLatin1(locale)};
        const TWUnitPtr unit = customUnit(QStringLiteral("WD%1").arg(made++));
        unit->setRate(0.9);
        open(unit, 1);
        alerts.clear();
        typeRate(rate);
        sheet->decimalPlacesTextField()->setText(places);
        EXPECT_EQ(save(), refused ? 0 : -1002);
        EXPECT_DOUBLE_EQ(unit->rate(), refused ? 0.9 : 1.5 * business->homeUnit()->rate());
        EXPECT_EQ(unit->decimalPlaces(), refused ? 2 : 3);
        EXPECT_TRUE(!refused || alerts.value(0).startsWith(TWLocalized(refused) + ": "));
    }
}

TEST_F(UnitEditorTest, HomeUnitRateCannotBeEdited)
{
    open(business->homeUnit(), 1);
    EXPECT_FALSE(sheet->rateTextField()->isEnabled());
    EXPECT_TRUE(sheet->newCodeTextField()->isHidden());
    EXPECT_FALSE(sheet->editCodeTextField()->isHidden());
    sheet->symbolTextField()->setText(QStringLiteral("$$"));
    EXPECT_EQ(save(), -1002);
    EXPECT_EQ(business->homeUnit()->symbol(), "$$");
    EXPECT_EQ(business->homeUnit()->rate(), 1.0);
}

TEST_F(UnitEditorTest, DecimalPlacesStayInRangeAndFixedWhileInUse)
{
    TWUnitPtr widgets = customUnit(QStringLiteral("WDG"));
    open(widgets, 1);
    sheet->decimalPlacesTextField()->setText(QStringLiteral("300"));
    EXPECT_EQ(save(), 0);
    EXPECT_EQ(alerts, QStringList({TWLocalized("refusedFieldMessage")
                                       .arg(TWLocalized("unitDecimalPlaces"),
                                            TWLocalized("wholeNumberWanted").arg("0", "6", "3"))}));
    EXPECT_EQ(widgets->decimalPlaces(), 2);

    // Unused: new places are fine.
    sheet->decimalPlacesTextField()->setText(QStringLiteral("4"));
    EXPECT_EQ(save(), -1002);
    EXPECT_EQ(widgets->decimalPlaces(), 4);

    // In use by an account: refused, and the other fields are kept as typed.
    business->accounts().first()->setUnit(widgets);
    alerts.clear();
    open(widgets, 1);
    sheet->decimalPlacesTextField()->setText(QStringLiteral("0"));
    sheet->nameTextField()->setText(QStringLiteral("Gadgets"));
    EXPECT_EQ(save(), 0);
    EXPECT_EQ(alerts, QStringList({TWLocalized("unitDecimalPlacesInUseMessage")}));
    EXPECT_EQ(widgets->decimalPlaces(), 4);
    EXPECT_EQ(widgets->name(), "Widgets");
    EXPECT_EQ(sheet->nameTextField()->text(), "Gadgets");
    // Same places: saved.
    sheet->decimalPlacesTextField()->setText(QStringLiteral("4"));
    EXPECT_EQ(save(), -1002);
    EXPECT_EQ(widgets->name(), "Gadgets");
}

TEST_F(UnitEditorTest, HomeUnitPlacesAreFixedOnceTransactionsHoldBusinessTotals)
{
    // Every account and the transaction in another currency: the business
    // total of the transaction is still counted in the home unit.
    const TWUnitPtr home = business->homeUnit();
    const TWUnitPtr other = plainCurrency();
    ASSERT_TRUE(home && other);
    for (const TWAccountPtr &account : business->accounts())
        account->setUnit(other);
    auto t = std::make_shared<TWTransaction>();
    t->setIdentifier(business->nextTransactionIdentifier());
    t->setDate(QDateTime(QDate(2026, 2, 1), QTime(0, 0)));
    t->setAccount1Identifier(business->accounts().at(0)->identifier());
    t->setAccount2Identifier(business->accounts().at(1)->identifier());
    t->setUnit(other);
    t->setTotal(1000);
    t->setTotalAccount1(1000);
    t->setTotalAccount2(1000);
    t->setTotalBusiness(1250);
    ASSERT_OK(business->addTransaction(t, false, false, false, false));

    const int places = home->decimalPlaces();
    open(home, 1);
    sheet->decimalPlacesTextField()->setText(QString::number(places == 0 ? 2 : 0));
    EXPECT_EQ(save(), 0);
    EXPECT_EQ(alerts, QStringList({TWLocalized("unitDecimalPlacesInUseMessage")}));
    EXPECT_EQ(home->decimalPlaces(), places);
}

TEST_F(UnitEditorTest, CancelLeavesUnitAndStoreAlone)
{
    const TWUnitPtr eur = plainCurrency();
    ASSERT_TRUE(eur);
    const double rate = eur->rate();
    open(eur, 1);
    sheet->nameTextField()->setText(QStringLiteral("Changed"));
    sheet->favouriteCheckbox()->setChecked(true);
    typeRate(QStringLiteral("3"));
    sheet->cancelButton()->click();
    settle();
    EXPECT_EQ(codes, QList<int>({-1001}));
    EXPECT_NE(eur->name(), "Changed");
    EXPECT_FALSE(eur->favourite());
    EXPECT_EQ(eur->rate(), rate);
    EXPECT_FALSE(document->isDocumentEdited());
}

TEST_F(UnitEditorTest, ReturnSavesTheSheet)
{
    open(business->unitWithCode("EUR"), 1);
    settle();
    sheet->nameTextField()->setFocus();
    sheet->nameTextField()->setText(QStringLiteral("Euro (EU)"));
    QTest::keyClick(sheet->nameTextField(), Qt::Key_Return);
    settle();
    EXPECT_EQ(codes, QList<int>({-1002}));
    EXPECT_EQ(business->unitWithCode("EUR")->name(), "Euro (EU)");
}
