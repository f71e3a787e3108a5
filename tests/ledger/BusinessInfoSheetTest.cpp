// The business information sheet: defaults of a new business, the closing
// account and its name, the accounting periods table and the checks of a
// save, and what an edit of an existing business keeps.

#include "TWDateTypingSupport.h"
#include "TWUnitsTestSupport.h"

#include "ledger/TWBusinessInfoController.h"
#include "ledger/TWBusinessInfoPeriods.h"
#include "ledger/TWLedger.h"

#include "app/TWControls.h"

#include "foundation/TWDateAdditions.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "store/TWTransactionEditing.h"

#include <QCheckBox>
#include <QDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>

namespace
{

class BusinessInfoSheetTest : public TWUnitsTest
{
protected:
    void SetUp() override
    {
        TWUnitsTest::SetUp();
        country = TWPreferences::preferences().localeCountryCode();
        clock = std::make_unique<TWFixedClock>(2026, 6, 15);
    }
    void TearDown() override
    {
        sheet.reset();
        clock.reset();
        TWPreferences::preferences().setLocaleCountryCode(country);
        TWUnitsTest::TearDown();
    }

    void openNew()
    {
        sheet = std::make_unique<TWBusinessInfoController>();
        sheet->setMode(0);
        sheet->reset();
        ends = std::make_unique<QSignalSpy>(sheet.get(), &TWEditorController::endRequested);
    }
    // Mode 1 on a copy of the store's record, as the document opens it.
    void openEdit()
    {
        record = business->businessInfo()->copy();
        sheet = std::make_unique<TWBusinessInfoController>();
        sheet->setMode(1);
        sheet->view();
        sheet->setBusinessInfo(record);
        sheet->setBusinessController(document.get());
        sheet->setBusiness(business);
        sheet->update();
        ends = std::make_unique<QSignalSpy>(sheet.get(), &TWEditorController::endRequested);
    }
    // The code the sheet ended with; 0 while it stays open.
    int save()
    {
        ends->clear();
        sheet->saveButton()->click();
        return ends->isEmpty() ? 0 : ends->last().at(0).toInt();
    }
    QStringList closingChoices() const
    {
        QStringList titles;
        for (int i = 0; i < sheet->accountingNominalTransferAccountPopUpButton()->count(); ++i)
            if (!sheet->accountingNominalTransferAccountPopUpButton()->itemText(i).isEmpty())
                titles.append(sheet->accountingNominalTransferAccountPopUpButton()->itemText(i));
        return titles;
    }
    static TWAccountingPeriodPtr period(const QString &name, const QDateTime &start,
                                        const QDateTime &end)
    {
        return TWAccountingPeriod::accountingPeriodWithName(name, start, end, false, 0);
    }

    QString country;
    std::unique_ptr<TWFixedClock> clock;
    std::unique_ptr<TWBusinessInfoController> sheet;
    std::unique_ptr<QSignalSpy> ends;
    TWBusinessInfoPtr record;
};

} // namespace

TEST_F(BusinessInfoSheetTest, ClosingAccountOfANewBusinessFollowsTypeAndDefaultAccounts)
{
    openNew();
    TWPopUpButton *closing = sheet->accountingNominalTransferAccountPopUpButton();
    QLineEdit *name = sheet->accountingRetainedEarningsNameTextField();
    EXPECT_EQ(closing->selectedTag(), 138);
    EXPECT_FALSE(name->isEnabled());
    EXPECT_EQ(name->text(), TWLocalized("ownersEquity"));

    sheet->businessTypePopUpButton()->selectItemWithTag(2);
    sheet->doBusinessType();
    EXPECT_EQ(closing->selectedTag(), 143);
    EXPECT_EQ(name->text(), TWLocalized("retainedEarnings"));

    sheet->createDefaultAccountsCheckbox()->click();
    EXPECT_EQ(closingChoices(), QStringList({TWLocalized("none")}));
    EXPECT_EQ(closing->selectedTag(), 0);
    EXPECT_TRUE(name->isEnabled());
    EXPECT_EQ(name->text(), TWLocalized("retainedEarnings"));

    // Saved as a new record, with the home currency of the locale.
    sheet->businessNameTextField()->setText(QStringLiteral("Acme"));
    EXPECT_EQ(save(), -1002);
    const TWBusinessInfoPtr made = sheet->businessInfo();
    ASSERT_TRUE(made);
    EXPECT_EQ(made->type(), 2u);
    EXPECT_EQ(made->name(), "Acme");
    EXPECT_EQ(made->homeCurrency(), TWPreferences::preferences().localeCurrencyCode());
    EXPECT_EQ(made->currencyUpdateInterval(), 2u);
    EXPECT_EQ(made->nominalTransferAccountIdentifier(), 0);
    EXPECT_EQ(made->retainedEarningsName(), TWLocalized("retainedEarnings"));
    EXPECT_FALSE(made->createDefaultAccounts());
    EXPECT_TRUE(made->phone().isNull());
}

TEST_F(BusinessInfoSheetTest, PeriodsAreCheckedAndStoredSorted)
{
    openNew();
    TWBusinessInfoPeriods *model = sheet->accountingPeriodsModel();
    // Out of order, touching at the turn of the year, and a one-day period.
    model->setPeriods({period("B", twLocal(2027, 1, 1), twLocal(2027, 12, 31)),
                       period("A", twLocal(2026, 1, 1), twLocal(2026, 12, 31)),
                       period("C", twLocal(2028, 1, 1), twLocal(2028, 1, 1))});
    EXPECT_EQ(save(), -1002);
    EXPECT_TRUE(alerts.isEmpty());
    QStringList names;
    for (const TWAccountingPeriodPtr &saved : sheet->businessInfo()->accountingPeriods())
        names.append(saved->name());
    EXPECT_EQ(names, QStringList({"A", "B", "C"}));

    // Ending a day before it starts.
    model->setPeriods({period("A", twLocal(2026, 5, 2), twLocal(2026, 5, 1))});
    EXPECT_EQ(save(), 0);
    EXPECT_EQ(alerts.last(), TWLocalized("accountingPeriodsErrorLength"));

    // Sharing a day.
    model->setPeriods({period("B", twLocal(2026, 12, 31), twLocal(2027, 12, 31)),
                       period("A", twLocal(2026, 1, 1), twLocal(2026, 12, 31))});
    EXPECT_EQ(save(), 0);
    EXPECT_EQ(alerts.last(), TWLocalized("accountingPeriodsErrorOverlap"));
    // The refused list shows sorted by start.
    EXPECT_EQ(model->periods().first()->name(), "A");
}

TEST_F(BusinessInfoSheetTest, TaxRateThatCannotBeReadIsRefusedNotStoredAsZero)
{
    business->businessInfo()->setInvoiceTaxRate(0.05);
    openEdit();
    const QString refusal = TWLocalized("refusedFieldMessage")
                                .arg(TWLocalized("invoiceTaxRate"),
                                     TWLocalized("invoiceTaxRateWrongMessage")
                                         .arg(TWFormatter::formatter().typedNumberExample(7.5)));
    for (const char *typed : {"seven", "7.5 percent", "-5"}) {
        alerts.clear();
        sheet->invoiceTaxRateTextField()->setText(QString::fromLatin1(typed));
        EXPECT_EQ(save(), 0) << typed;
        ASSERT_FALSE(alerts.isEmpty()) << typed;
        EXPECT_EQ(alerts.last(), refusal);
        EXPECT_DOUBLE_EQ(record->invoiceTaxRate(), 0.05) << typed;
    }
    EXPECT_FALSE(document->isDocumentEdited());

    // The percent sign the field's label speaks of may be typed with it.
    alerts.clear();
    sheet->invoiceTaxRateTextField()->setText(QStringLiteral("7.5 %"));
    EXPECT_EQ(save(), -1002);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_DOUBLE_EQ(record->invoiceTaxRate(), 0.075);
}

TEST_F(BusinessInfoSheetTest, TaxRateIsReadAsEveryTypedNumberInEachLocale)
{
    // Locale, text, the rate it stores (none: refused naming the field).
    for (const auto &[locale, typed, rate] :
         QList<std::tuple<const char *, QString, std::optional<double>>>{
             {"de_DE", "1.5", std::nullopt},
             {"de_DE", "0.500", std::nullopt},
             {"de_DE", "1,5 %", 0.015},
             {"fr_FR", "1.5", std::nullopt},
             {"fa_IR", "1,5", std::nullopt},
             {"fa_IR", QString::fromUtf8("\u06F7\u066B\u06F5"), 0.075},
             {"en_US", "1,5", std::nullopt}}) {
        SCOPED_TRACE(QStringLiteral("%1 %2").arg(locale, typed).toStdString());
        const TWLocaleGuard guard{QString::fromLatin1(locale)};
        business->businessInfo()->setInvoiceTaxRate(0.05);
        openEdit();
        alerts.clear();
        sheet->invoiceTaxRateTextField()->setText(typed);
        EXPECT_EQ(save(), rate ? -1002 : 0);
        EXPECT_DOUBLE_EQ(record->invoiceTaxRate(), rate.value_or(0.05));
        EXPECT_EQ(!alerts.isEmpty() && twNamesField(alerts.last(), TWLocalized("invoiceTaxRate")),
                  !rate);
    }
}

TEST_F(BusinessInfoSheetTest, EditKeepsTypeCurrencyAndTheUsersRetainedEarningsName)
{
    business->businessInfo()->setRetainedEarningsName(QStringLiteral("Accumulated Surplus"));
    business->businessInfo()->setNominalTransferAccountIdentifier(0);
    const std::uint32_t type = business->businessInfo()->type();
    const QString home = business->businessInfo()->homeCurrency();
    openEdit();
    EXPECT_TRUE(sheet->businessTypePopUpButton()->isHidden());
    EXPECT_FALSE(sheet->businessTypeLabel()->isHidden());
    EXPECT_FALSE(sheet->businessCurrencyLabel()->text().isEmpty());
    EXPECT_EQ(sheet->accountingRetainedEarningsNameTextField()->text(), "Accumulated Surplus");

    sheet->invoiceTaxNameTextField()->clear();
    sheet->contactPhoneTextField()->clear();
    sheet->contactWebsiteTextField()->setText(QStringLiteral("example.com/shop"));
    EXPECT_EQ(save(), -1002);
    EXPECT_EQ(record->retainedEarningsName(), "Accumulated Surplus");
    EXPECT_EQ(record->type(), type);
    EXPECT_EQ(record->homeCurrency(), home);
    EXPECT_FALSE(record->invoiceTaxName().isNull());
    EXPECT_TRUE(record->invoiceTaxName().isEmpty());
    EXPECT_TRUE(record->phone().isNull());
    EXPECT_EQ(record->website(), QUrl("http://example.com/shop"));

    // Choosing an equity account fills in its name and takes the field out of use.
    const TWAccountList equity = business->accountsOfType(TWAccountTypeEquity);
    ASSERT_FALSE(equity.isEmpty());
    sheet->update();
    TWPopUpButton *closing = sheet->accountingNominalTransferAccountPopUpButton();
    ASSERT_TRUE(closing->selectItemWithTag(equity.first()->identifier()));
    sheet->doNominalTransferAccount();
    EXPECT_TRUE(sheet->dirtyAccountingPeriods());
    EXPECT_EQ(sheet->accountingRetainedEarningsNameTextField()->text(), equity.first()->name());
    EXPECT_EQ(save(), -1002);
    EXPECT_EQ(record->nominalTransferAccountIdentifier(), equity.first()->identifier());
    EXPECT_TRUE(record->retainedEarningsName().isNull());
}

TEST_F(BusinessInfoSheetTest, CancelLeavesThePeriodsAlone)
{
    openEdit();
    const TWAccountingPeriodList before = business->businessInfo()->accountingPeriods();
    ASSERT_FALSE(before.isEmpty());
    const QString firstName = before.first()->name();
    sheet->accountingPeriodsModel()->setData(sheet->accountingPeriodsModel()->index(0, 0),
                                             QStringLiteral("Renamed"), Qt::EditRole);
    sheet->doAddDeleteAccountingPeriod(0);
    EXPECT_TRUE(sheet->dirtyAccountingPeriods());
    sheet->cancelButton()->click();
    EXPECT_EQ(ends->last().at(0).toInt(), -1001);
    EXPECT_EQ(business->businessInfo()->accountingPeriods().size(), before.size());
    EXPECT_EQ(business->businessInfo()->accountingPeriods().first()->name(), firstName);
    EXPECT_EQ(record->accountingPeriods().size(), before.size());
}

TEST_F(BusinessInfoSheetTest, DocumentStoresWhatTheSheetSaved)
{
    twRegisterLedger();
    document->doBusiness();
    auto *editor = qobject_cast<TWBusinessInfoController *>(document->businessInfoController());
    ASSERT_TRUE(editor);
    ASSERT_TRUE(document->hasAttachedSheet());
    editor->invoiceTaxRateTextField()->setText(QStringLiteral("20"));
    editor->doAddDeleteAccountingPeriod(0);
    editor->saveButton()->click();
    settle();
    EXPECT_FALSE(document->hasAttachedSheet());
    EXPECT_DOUBLE_EQ(business->businessInfo()->invoiceTaxRate(), 0.2);
    EXPECT_EQ(business->businessInfo()->accountingPeriods().size(), 2);
}

TEST_F(BusinessInfoSheetTest, ReturnCreatesTheBusinessInItsWindow)
{
    openNew();
    // As the document controller shows it: the view inside a dialog.
    QDialog window;
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(sheet->view());
    sheet->reset();
    window.show();
    settle();
    sheet->businessNameTextField()->setFocus();
    sheet->businessNameTextField()->setText(QStringLiteral("Acme"));
    QTest::keyClick(sheet->businessNameTextField(), Qt::Key_Return);
    ASSERT_EQ(ends->size(), 1);
    EXPECT_EQ(ends->last().at(0).toInt(), -1002);
    layout->removeWidget(sheet->view());
    sheet->view()->setParent(nullptr);
}

TEST_F(BusinessInfoSheetTest, TaxRateIsShownInPercentAndStoredAsAFraction)
{
    business->businessInfo()->setInvoiceTaxRate(0.05);
    openEdit();
    EXPECT_EQ(sheet->invoiceTaxRateTextField()->text(), "5");
    sheet->invoiceTaxRateTextField()->setText(QStringLiteral("7.5"));
    EXPECT_EQ(save(), -1002);
    EXPECT_DOUBLE_EQ(record->invoiceTaxRate(), 0.075);
    EXPECT_TRUE(document->isDocumentEdited());
    sheet->update();
    EXPECT_EQ(sheet->invoiceTaxRateTextField()->text(), "7.5");
}

// A closed period's dates cannot be edited, nor the period deleted, until it
// is reopened; a Save that shortens a period and closes it (or a reopened one,
// closed again) closes it on its final dates, each income account once.
TEST_F(BusinessInfoSheetTest, AClosedPeriodKeepsItsDatesAndIsClosedOnceOnItsFinalDates)
{
    twRegisterLedger();
    const auto first = [this](TWAccountType type) {
        for (const TWAccountPtr &account : business->accounts())
            if (account->accountType() == type)
                return account;
        return TWAccountPtr();
    };
    const TWAccountPtr sales = first(TWAccountTypeIncome);
    for (const auto &[day, total] : {std::pair(twLocal(2025, 3, 1), qint64(100000)),
                                     std::pair(twLocal(2025, 9, 1), qint64(50000))}) {
        TWTransactionPtr sale = twNewTransaction(*business);
        sale->setDate(day);
        sale->setAccount1Identifier(first(TWAccountTypeBank)->identifier());
        sale->setAccount2Identifier(sales->identifier());
        for (const auto set : {&TWTransaction::setTotal, &TWTransaction::setTotalAccount1,
                               &TWTransaction::setTotalAccount2, &TWTransaction::setTotalBusiness})
            (*sale.*set)(total);
        ASSERT_OK(business->addTransaction(sale, false, false, false, false));
    }
    // The sheet as the document shows it, saved through the document.
    const auto edit = [this](const std::function<void(TWBusinessInfoPeriods &)> &change) {
        document->doBusiness();
        auto *sheet = qobject_cast<TWBusinessInfoController *>(document->businessInfoController());
        change(*sheet->accountingPeriodsModel());
        sheet->doNominalTransferAccount();
        sheet->saveButton()->click();
        settle();
    };
    // The closing entries of the sales account.
    const auto transfers = [this, &sales] {
        QList<std::pair<QDate, qint64>> rows;
        for (const TWTransactionPtr &t : business->transactions())
            if (t->type() == TWTransactionTypeNominal &&
                t->account1Identifier() == sales->identifier())
                rows.append({t->date().date(), t->total()});
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    business->businessInfo()->setNominalTransferAccountIdentifier(
        first(TWAccountTypeEquity)->identifier());
    for (const bool closedBefore : {false, true}) {
        SCOPED_TRACE(closedBefore);
        edit([&](TWBusinessInfoPeriods &model) {
            model.setPeriods(
                {TWAccountingPeriod::accountingPeriodWithName(
                     QStringLiteral("2025"), twLocal(2025, 1, 1), twLocal(2025, 12, 31),
                     closedBefore, 0),
                 period(QStringLiteral("2026"), twLocal(2026, 1, 1), twLocal(2026, 12, 31))});
        });
        ASSERT_EQ(transfers(), (QList<std::pair<QDate, qint64>>{{QDate(2025, 12, 31), 150000}}));
        edit([&](TWBusinessInfoPeriods &model) {
            const QModelIndex end = model.index(0, TWBusinessInfoPeriods::End);
            const QModelIndex closed = model.index(0, TWBusinessInfoPeriods::Closed);
            EXPECT_EQ(bool(model.flags(end) & Qt::ItemIsEditable), !closedBefore);
            if (closedBefore) {
                // Neither typed over nor deleted while closed.
                EXPECT_FALSE(model.setData(end, QDate(2025, 6, 30), Qt::EditRole));
                auto *sheet =
                    qobject_cast<TWBusinessInfoController *>(document->businessInfoController());
                sheet->accountingPeriodsTableView()->selectionModel()->select(
                    end, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                sheet->doAddDeleteAccountingPeriod(1);
                EXPECT_EQ(alerts.last(), TWLocalized("deleteClosedAccountingPeriodMessage"));
                EXPECT_EQ(model.periods().size(), 2);
                EXPECT_TRUE(model.setData(closed, Qt::Unchecked, Qt::CheckStateRole));
            }
            EXPECT_TRUE(model.setData(end, QDate(2025, 6, 30), Qt::EditRole));
            EXPECT_TRUE(model.setData(closed, Qt::Checked, Qt::CheckStateRole));
        });
        EXPECT_EQ(transfers(), (QList<std::pair<QDate, qint64>>{{QDate(2025, 6, 30), 100000},
                                                                {QDate(2025, 12, 31), 50000}}));
        EXPECT_EQ(business->transactionTotalWithAccount(*sales), 0);
    }
}
