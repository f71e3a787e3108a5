// The report settings editor: its tables, the sheet that makes a new report
// and the popover that edits the selected one, date checks included.

#include "TWDateTypingSupport.h"
#include "TWRecordTestSupport.h"

#include "reports/ui/TWReportController.h"
#include "reports/ui/TWReportInfoController.h"
#include "reports/ui/TWReportsUI.h"

#include "TWTransactionTestSupport.h"
#include "app/TWAlert.h"
#include "app/TWPopover.h"
#include "model/TWAccountingPeriod.h"
#include "model/TWBusinessInfo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace
{

class ReportInfoTest : public TWRecordTest
{
protected:
    void SetUp() override
    {
        TWRecordTest::SetUp();
        twRegisterReportsUI();
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert.message);
            if (completion)
                completion(1000);
        });
    }
    void TearDown() override
    {
        twSetAlertPresenter({});
        TWRecordTest::TearDown();
    }

    static void choose(QComboBox *popUp, quint32 tag)
    {
        const int index = popUp->findData(QVariant::fromValue(tag));
        ASSERT_GE(index, 0) << tag;
        popUp->setCurrentIndex(index);
        emit popUp->activated(index);
    }

    // The popover editing the report, as the inspector opens it.
    static TWReportInfoController *editInPopover(TWBusinessController &document,
                                                 const TWReportPtr &report)
    {
        select(document, TWMasterItemEntity, TWItemTypeReport, report->identifier());
        document.showInspector(false);
        auto *editor = qobject_cast<TWReportInfoController *>(document.editInfoController(6));
        EXPECT_TRUE(editor);
        EXPECT_TRUE(document.popover()->isShown());
        return editor;
    }

    TWReportPtr addIncomeReport(TWBusiness &business)
    {
        TWReportPtr report = TWReport::reportWithIdentifier(
            business.nextReportIdentifier(), QStringLiteral("Fees"), 0, 0, TWReportTypeIncome,
            TWReportDateTypeThisYear, {}, {}, false, TWReportDateTypeAllDates, {}, {}, true);
        EXPECT_OK(business.addReport(report, false));
        return report;
    }

    TWFixedClock clock{twLocal(2025, 1, 10, 9, 0, 0)};
    QStringList alerts;
};

} // namespace

TEST_F(ReportInfoTest, TypeAndDateTypeTables)
{
    using C = TWReportInfoController;
    for (quint32 type = 0; type < 10; ++type)
        EXPECT_EQ(C::typeForTag(C::tagForType(type)), type);
    EXPECT_EQ(C::tagForType(TWReportTypeClients), 6u);
    EXPECT_EQ(C::tagForType(TWReportTypeTrialBalance), 4u);
    EXPECT_EQ(C::tagForType(42), 0u);
    EXPECT_EQ(C::typeForTag(42), 0u);
    EXPECT_EQ(C::tagForDateType(15), 15u);
    EXPECT_EQ(C::tagForDateType(99), 16u);
    EXPECT_EQ(C::dateTypeForTag(99), 16u);
    EXPECT_FALSE(C::useDateRange(TWReportTypeBalanceSheet));
    EXPECT_FALSE(C::useDateRange(TWReportTypeTrialBalance));
    EXPECT_FALSE(C::useDateRange(12));
    EXPECT_TRUE(C::useDateRange(TWReportTypeClientsUninvoiced));
    EXPECT_TRUE(C::useDateRange(TWReportTypeIncome));
}

TEST_F(ReportInfoTest, ANewReportIsMadeInTheSheetAndCarriesItsDatesAcrossTypes)
{
    auto document = windowDocument();
    // Adding a report remembers its type; the new business added its own.
    TWPreferences::preferences().setLastReportType(TWReportTypeIncome);
    document->newReport();
    auto *editor =
        qobject_cast<TWReportInfoController *>(document->newInfoController(TWItemTypeReport));
    ASSERT_TRUE(editor);
    ASSERT_TRUE(document->hasAttachedSheet());
    EXPECT_EQ(editor->mode(), 0);
    EXPECT_TRUE(editor->showsDateRangeView());
    EXPECT_TRUE(editor->dateRangeView()->isVisible());
    EXPECT_FALSE(editor->dateView()->isVisible());
    EXPECT_EQ(editor->nameTextField()->text(), QStringLiteral("Income"));
    // All dates, greyed: the span of the records (none yet: today).
    EXPECT_EQ(editor->fromDatePicker()->date(), QDate(2025, 1, 10));
    EXPECT_FALSE(editor->fromDatePicker()->isEnabled());
    EXPECT_FALSE(editor->rangeComparePopUpButton()->isEnabled());

    choose(editor->dateRangePopUpButton(), TWReportDateTypeCustomRange);
    editor->fromDatePicker()->setDate(QDate(2024, 3, 5));
    editor->rangeCompareCheckbox()->setChecked(true);
    EXPECT_TRUE(editor->rangeComparePopUpButton()->isEnabled());
    choose(editor->rangeComparePopUpButton(), TWReportDateTypeCustomRange);
    editor->compareFromDatePicker()->setDate(QDate(2023, 3, 5));
    const int heightBefore = editor->view()->window()->height();
    const int topBefore = editor->view()->window()->geometry().top();

    choose(editor->typePopUpButton(), TWReportInfoController::tagForType(TWReportTypeBalanceSheet));
    EXPECT_FALSE(editor->showsDateRangeView());
    EXPECT_TRUE(editor->dateView()->isVisible());
    EXPECT_FALSE(editor->dateRangeView()->isVisible());
    EXPECT_EQ(editor->nameTextField()->text(), QStringLiteral("Balance Sheet"));
    // As of today, greyed; the dates carried over come with Custom.
    EXPECT_EQ(editor->datePicker()->date(), QDate(2025, 1, 10));
    EXPECT_TRUE(editor->dateCompareCheckbox()->isChecked());
    choose(editor->dateCompareDatePopUpButton(), TWReportDateTypeCustomDate);
    EXPECT_EQ(editor->compareDatePicker()->date(), QDate(2023, 3, 5));
    // The single-date view is shorter; the sheet keeps its top edge.
    QCoreApplication::processEvents();
    EXPECT_LT(editor->view()->window()->height(), heightBefore);
    EXPECT_EQ(editor->view()->window()->geometry().top(), topBefore);

    choose(editor->datePopUpButton(), TWReportDateTypeCustomDate);
    EXPECT_TRUE(editor->datePicker()->isEnabled());
    EXPECT_EQ(editor->datePicker()->date(), QDate(2024, 3, 5));
    editor->nameTextField()->setText(QStringLiteral("Spring"));
    const qint32 expected = document->business()->nextReportIdentifier();
    editor->saveButton()->click();
    settle();
    EXPECT_FALSE(document->hasAttachedSheet());
    const TWReportPtr made = document->business()->reportWithIdentifier(expected);
    ASSERT_TRUE(made);
    EXPECT_EQ(made->name(), QStringLiteral("Spring"));
    EXPECT_EQ(made->reportType(), TWReportTypeBalanceSheet);
    EXPECT_EQ(made->dateType(), TWReportDateTypeCustomDate);
    EXPECT_EQ(made->fromDate().date(), QDate(2024, 3, 5));
    EXPECT_TRUE(made->compare());
    EXPECT_TRUE(made->showGraphs());
    EXPECT_EQ(TWPreferences::preferences().lastReportType(), quint32(TWReportTypeBalanceSheet));
    // The next new report starts from it.
    document->newReport();
    EXPECT_EQ(editor->nameTextField()->text(), QStringLiteral("Balance Sheet"));
    EXPECT_FALSE(editor->showsDateRangeView());
    document->endSheet(editor->view(), -1001);
    settle();
    // The shell selects it: the report view shows it.
    EXPECT_EQ(document->selectedItem(), made);
    auto *view = qobject_cast<TWReportController *>(document->detailController(TWDetailReport));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->report(), made);
    EXPECT_TRUE(view->exportReport());
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(ReportInfoTest, ThePopoverChecksTheDatesAndStoresOnlyASavedEdit)
{
    TWReportPtr report;
    auto document = windowDocument([&](TWBusiness &b) { report = addIncomeReport(b); });
    auto *editor = editInPopover(*document, report);
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->mode(), 1);
    EXPECT_FALSE(editor->typePopUpButton()->isVisible());
    EXPECT_EQ(editor->typeLabel()->text(), QStringLiteral("Income"));
    EXPECT_EQ(editor->nameTextField()->text(), QStringLiteral("Fees"));

    // A custom range that ends before it starts: said, and nothing changes.
    choose(editor->dateRangePopUpButton(), TWReportDateTypeCustomRange);
    EXPECT_TRUE(editor->fromDatePicker()->isEnabled());
    editor->fromDatePicker()->setDate(QDate(2024, 5, 2));
    editor->toDatePicker()->setDate(QDate(2024, 5, 1));
    editor->nameTextField()->setText(QStringLiteral("Changed"));
    editor->doSave(1);
    EXPECT_EQ(alerts, QStringList{TWLocalized("invalidDateRange")});
    EXPECT_FALSE(editor->saved());
    EXPECT_TRUE(document->popover()->isShown());
    // The comparison is checked only when it is on and custom.
    editor->toDatePicker()->setDate(QDate(2024, 5, 2));
    editor->rangeCompareCheckbox()->setChecked(true);
    choose(editor->rangeComparePopUpButton(), TWReportDateTypeCustomRange);
    editor->compareFromDatePicker()->setDate(QDate(2023, 6, 1));
    editor->compareToDatePicker()->setDate(QDate(2023, 5, 1));
    editor->doSave(1);
    EXPECT_EQ(alerts.last(), TWLocalized("invalidCompareDateRange"));
    EXPECT_FALSE(editor->saved());

    // Cancel closes the popover; nothing is stored.
    editor->doSave(0);
    settle();
    EXPECT_FALSE(editor->saved());
    EXPECT_FALSE(document->popover()->isShown());
    const TWReportPtr stored = document->business()->reportWithIdentifier(report->identifier());
    EXPECT_EQ(stored->name(), QStringLiteral("Fees"));
    EXPECT_EQ(stored->dateType(), TWReportDateTypeThisYear);

    // A save that passes is stored when the popover closes.
    document->showInspector(false);
    editor->nameTextField()->setText(QStringLiteral("Fees 2024"));
    choose(editor->dateRangePopUpButton(), TWReportDateTypeCustomRange);
    editor->fromDatePicker()->setDate(QDate(2024, 1, 1));
    editor->toDatePicker()->setDate(QDate(2024, 1, 1)); // one day is a range
    editor->showGraphsCheckbox()->setChecked(false);
    editor->doSave(1);
    settle();
    EXPECT_TRUE(editor->saved());
    const TWReportPtr edited = document->business()->reportWithIdentifier(report->identifier());
    EXPECT_EQ(edited->name(), QStringLiteral("Fees 2024"));
    EXPECT_EQ(edited->dateType(), TWReportDateTypeCustomRange);
    EXPECT_EQ(edited->fromDate().date(), QDate(2024, 1, 1));
    EXPECT_EQ(edited->toDate().date(), QDate(2024, 1, 1));
    EXPECT_FALSE(edited->showGraphs());
    EXPECT_EQ(alerts.size(), 2);
}

// A greyed date is the one the report uses for the type chosen (at the
// start of a fiscal year's first January here); Custom brings the report's
// own dates back, and they stay stored whatever type is saved.
TEST_F(ReportInfoTest, GreyedDatesAreTheOnesTheReportUses)
{
    TWReportPtr report;
    auto document = windowDocument([&](TWBusiness &b) {
        TWBusinessInfoPtr info = b.businessInfo()->copy();
        info->setAccountingPeriods({TWAccountingPeriod::accountingPeriodWithName(
            QStringLiteral("FY"), twLocal(2024, 7, 1), twLocal(2025, 6, 30), false, 0)});
        info->setCreateNewAccountingPeriods(false);
        ASSERT_OK(b.updateBusinessInfo(info));
        ASSERT_OK(b.populateAccountingPeriods());
        report = addIncomeReport(b);
        report->setFromDate(twLocal(2024, 3, 5));
        report->setToDate(twLocal(2024, 4, 5));
    });
    auto *editor = editInPopover(*document, report);
    ASSERT_TRUE(editor);
    const auto shows = [&](QDateEdit *from, QDateEdit *to, QDate first, QDate last) {
        EXPECT_EQ(from->date(), first);
        EXPECT_EQ(to->date(), last);
    };
    // The report's own type, at once.
    shows(editor->fromDatePicker(), editor->toDatePicker(), {2025, 1, 1}, {2025, 12, 31});
    struct Case {
        quint32 type;
        QDate from, to;
    };
    const Case cases[] = {
        {TWReportDateTypeCurrentAccountingPeriod, {2024, 7, 1}, {2025, 6, 30}},
        {TWReportDateTypeLastMonth, {2024, 12, 1}, {2024, 12, 31}},
        {TWReportDateTypeCustomRange, {2024, 3, 5}, {2024, 4, 5}},
        {TWReportDateTypeThisQuarter, {2025, 1, 1}, {2025, 3, 31}},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.type);
        choose(editor->dateRangePopUpButton(), test.type);
        shows(editor->fromDatePicker(), editor->toDatePicker(), test.from, test.to);
        EXPECT_EQ(editor->fromDatePicker()->isEnabled(), test.type == TWReportDateTypeCustomRange);
    }
    editor->rangeCompareCheckbox()->setChecked(true);
    choose(editor->rangeComparePopUpButton(), TWReportDateTypeLastYear);
    shows(editor->compareFromDatePicker(), editor->compareToDatePicker(), {2024, 1, 1},
          {2024, 12, 31});

    choose(editor->dateRangePopUpButton(), TWReportDateTypeCurrentAccountingPeriod);
    editor->doSave(1);
    settle();
    const TWReportPtr stored = document->business()->reportWithIdentifier(report->identifier());
    EXPECT_EQ(stored->dateType(), TWReportDateTypeCurrentAccountingPeriod);
    EXPECT_EQ(stored->fromDate().date(), QDate(2024, 3, 5));
    EXPECT_EQ(stored->toDate().date(), QDate(2024, 4, 5));
    EXPECT_TRUE(alerts.isEmpty());
}

// A custom To that does not read is named when the popover saves, in the
// alert the user sees; the popover stays open with everything typed and
// nothing is stored.
TEST_F(ReportInfoTest, ARefusedDateIsNamedAndThePopoverKeepsWhatWasTyped)
{
    TWReportPtr report;
    auto document = windowDocument([&](TWBusiness &b) { report = addIncomeReport(b); });
    auto *editor = editInPopover(*document, report);
    ASSERT_TRUE(editor);
    TWPopover *popover = document->popover();
    twSetAlertPresenter({}); // the dialogs themselves
    choose(editor->dateRangePopUpButton(), TWReportDateTypeCustomRange);
    editor->nameTextField()->setText(QStringLiteral("Spring"));
    twTypeDate(editor->toDatePicker(), QStringLiteral("35/35/35"));

    editor->doSave(1);
    QCoreApplication::processEvents();
    QMessageBox *box = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *shown = qobject_cast<QMessageBox *>(widget); shown && shown->isVisible())
            box = shown;
    ASSERT_TRUE(box);
    EXPECT_TRUE(twNamesField(box->text(), TWLocalized("dateRangeTo"))) << box->text().toStdString();
    box->buttons().first()->click();
    settle();
    EXPECT_TRUE(popover->isShown());
    EXPECT_FALSE(editor->saved());
    EXPECT_EQ(editor->nameTextField()->text(), QStringLiteral("Spring"));
    EXPECT_EQ(editor->toDatePicker()->text(), QStringLiteral("35/35/35"));
    EXPECT_EQ(document->business()->reportWithIdentifier(report->identifier())->name(),
              QStringLiteral("Fees"));
}
