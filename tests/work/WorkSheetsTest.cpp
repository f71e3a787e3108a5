// The task, time item and project sheets: the quantity row and the sheet's
// height, times typed as text, unreadable numbers refused, the question
// before a timed task loses its time items, cancelling and import saves, the
// project's unit and rate, and name completion.

#include "TWDateTypingSupport.h"
#include "TWWorkTestSupport.h"

#include "app/TWTypedNumberField.h"

#include "work/TWBillController.h"
#include "work/TWExpenseController.h"
#include "work/TWExpensesController.h"
#include "work/TWProjectController.h"
#include "work/TWTaskController.h"
#include "work/TWTaskItemController.h"
#include "work/TWTasksController.h"

#include "TWStoreTestSupport.h"
#include "TWZoneGuard.h"
#include "app/TWCalendarController.h"
#include "foundation/TWLocalized.h"
#include "model/TWBill.h"
#include "model/TWFormatter.h"
#include "model/TWMerchant.h"
#include "model/TWPreferences.h"
#include "model/TWValue.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <functional>

namespace
{

class WorkSheets : public TWWorkTest
{
protected:
    void TearDown() override
    {
        taskSheet.reset();
        TWWorkTest::TearDown();
    }
    void openTask(const TWTaskPtr &task, int mode, bool isImport = false)
    {
        if (!taskSheet)
            taskSheet = std::make_unique<TWTaskController>();
        taskSheet->setTask(task);
        taskSheet->setMode(mode);
        taskSheet->setIsImport(isImport);
        taskSheet->setBusinessController(document.get());
        taskSheet->setBusiness(business);
        taskSheet->update();
        document->beginSheetWithView(taskSheet->view(), false, false,
                                     [this](int code) { codes.append(code); });
        settle();
    }
    int viewHeight() const
    {
        taskSheet->view()->layout()->activate();
        return taskSheet->view()->sizeHint().height();
    }
    void chooseType(int type)
    {
        taskSheet->typePopUp()->setCurrentIndex(taskSheet->typePopUp()->findData(type));
        taskSheet->doPopUpButton(type);
    }

    std::unique_ptr<TWTaskController> taskSheet;
    QList<int> codes;
};

} // namespace

TEST_F(WorkSheets, QuantityRowFollowsTheTypeAndResizesTheSheet)
{
    const TWTaskPtr task = addTask(project, QStringLiteral("Work"));
    openTask(task, 1);
    EXPECT_FALSE(taskSheet->quantityFieldShown());
    const int timedHeight = viewHeight();
    const int windowHeight = taskSheet->view()->window()->height();

    chooseType(TWTaskTypeFlat);
    EXPECT_TRUE(taskSheet->quantityFieldShown());
    EXPECT_DOUBLE_EQ(taskSheet->editTask()->quantity(), 1.0);
    EXPECT_EQ(viewHeight(), timedHeight + TWWorkSheet::kRowHeight);
    EXPECT_EQ(taskSheet->view()->window()->height(), windowHeight + TWWorkSheet::kRowHeight);

    // Between two types that are not timed the quantity stays.
    taskSheet->editTask()->setQuantity(3.0);
    chooseType(TWTaskTypeHour);
    EXPECT_DOUBLE_EQ(taskSheet->editTask()->quantity(), 3.0);

    chooseType(TWTaskTypeTimed);
    EXPECT_FALSE(taskSheet->quantityFieldShown());
    EXPECT_DOUBLE_EQ(taskSheet->editTask()->quantity(), 0.0);
    EXPECT_EQ(viewHeight(), timedHeight);
    taskSheet->cancelButton()->click();

    // An estimate's task never shows the row, and its quantity is left alone.
    const TWTaskPtr guess = addTask(estimate, QStringLiteral("Guess"), TWTaskTypeHour, 4);
    openTask(guess, 1);
    EXPECT_FALSE(taskSheet->quantityFieldShown());
    chooseType(TWTaskTypeTimed);
    chooseType(TWTaskTypeDay);
    EXPECT_FALSE(taskSheet->quantityFieldShown());
    EXPECT_DOUBLE_EQ(taskSheet->editTask()->quantity(), 4.0);
}

TEST_F(WorkSheets, TimesAreTypedAsHoursAndMinutes)
{
    const TWTaskPtr task = addTask(project, QStringLiteral("Work"));
    openTask(task, 1);
    taskSheet->estimateField()->setText(QStringLiteral("1:30"));
    taskSheet->saveButton()->click();
    settle();
    EXPECT_EQ(codes, QList<int>({-1002}));
    EXPECT_DOUBLE_EQ(business->taskWithIdentifier(task->identifier())->estimate(), 5400.0);
    openTask(business->taskWithIdentifier(task->identifier()), 1);
    EXPECT_EQ(taskSheet->estimateField()->text(), QStringLiteral("1:30"));
    taskSheet->estimateField()->setText(QStringLiteral("2.5"));
    taskSheet->saveButton()->click();
    settle();
    EXPECT_DOUBLE_EQ(business->taskWithIdentifier(task->identifier())->estimate(), 9000.0);
    EXPECT_EQ(TWWorkSheet::timeFromText(QStringLiteral("1:02:03")), std::optional<double>(3723.0));
    EXPECT_EQ(TWWorkSheet::timeFromText(QString()), std::optional<double>(0.0));
    EXPECT_FALSE(TWWorkSheet::timeFromText(QStringLiteral("1:3x")));
}

TEST_F(WorkSheets, ATimedEstimateTakesTheColonAsItIsTyped)
{
    const TWTaskPtr task = addTask(project, QStringLiteral("Work"));
    openTask(task, 1);
    QLineEdit *field = taskSheet->estimateField();
    field->clear();
    QTest::keyClicks(field, QStringLiteral("12:00"));
    EXPECT_EQ(field->text(), QStringLiteral("12:00"));
    taskSheet->saveButton()->click();
    settle();
    EXPECT_DOUBLE_EQ(business->taskWithIdentifier(task->identifier())->estimate(), 12 * 3600.0);

    // A plain-number estimate still refuses it; turning the task timed again
    // lets it through.
    const TWTaskPtr hours = addTask(project, QStringLiteral("Hours"), TWTaskTypeHour, 2);
    openTask(hours, 1);
    taskSheet->estimateField()->clear();
    QTest::keyClicks(taskSheet->estimateField(), QStringLiteral("1:5"));
    EXPECT_EQ(taskSheet->estimateField()->text(), QStringLiteral("15"));
    chooseType(TWTaskTypeTimed);
    taskSheet->estimateField()->clear();
    QTest::keyClicks(taskSheet->estimateField(), QStringLiteral("1:05:30"));
    taskSheet->saveButton()->click();
    settle();
    EXPECT_DOUBLE_EQ(business->taskWithIdentifier(hours->identifier())->estimate(), 3930.0);
}

TEST_F(WorkSheets, UnreadableNumbersAreRefusedNotStoredAsZero)
{
    const TWTaskPtr task = addTask(project, QStringLiteral("Work"), TWTaskTypeFlat, 2);
    openTask(task, 1);
    taskSheet->rateField()->setText(QStringLiteral("12..5"));
    taskSheet->saveButton()->click();
    settle();
    EXPECT_EQ(alerts, QStringList({TWLocalized("refusedFieldMessage")
                                       .arg(TWLocalized("rate"),
                                            TWFormatter::formatter().typedNumberError())}));
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_EQ(task->rate(), 5000);
    // The field keeps the text to be mended; empty text is 0.
    EXPECT_EQ(taskSheet->rateField()->text(), QStringLiteral("12..5"));
    taskSheet->rateField()->setText(QStringLiteral("50"));
    taskSheet->quantityField()->setText(QString());
    taskSheet->saveButton()->click();
    settle();
    EXPECT_EQ(codes, QList<int>({-1002}));
    EXPECT_DOUBLE_EQ(business->taskWithIdentifier(task->identifier())->quantity(), 0.0);
}

// Each number shows as the locale writes it and reads back as it was: opened
// and saved untouched, a task keeps every value (a timed estimate shown
// rounded too), and Tab leaves a shown number without refusing it.
TEST_F(WorkSheets, WhatASheetShowsReadsBackInTheLocale)
{
    TWPreferences &preferences = TWPreferences::preferences();
    const std::uint32_t timeFormat = preferences.timeFormat();
    preferences.setTimeFormat(1);
    for (const auto &[locale, quantity, shown] :
         {std::tuple{"de_DE", 1.5, "1,5"}, std::tuple{"es_ES", 2500000.0, "2.500.000"}}) {
        const TWLocaleGuard pinned{QString::fromLatin1(locale)};
        taskSheet.reset(); // its validators take the locale when made
        const TWTaskPtr task = addTask(project, QStringLiteral("Work"), TWTaskTypeHour, quantity);
        task->setEstimate(2.5);
        task->setTaxRate(double(7.7f));
        const TWTaskPtr timed = addTask(project, QStringLiteral("Timed"));
        timed->setEstimate(4800); // 1:20, shown as 1.33 hours
        openTask(task, 1);
        EXPECT_EQ(taskSheet->quantityField()->text(), QString::fromLatin1(shown));
        twTabWalk(taskSheet->quantityField(), 1);
        settle();
        EXPECT_EQ(QApplication::focusWidget(), taskSheet->rateField()) << locale;
        taskSheet->saveButton()->click();
        openTask(timed, 1);
        taskSheet->saveButton()->click();
        settle();
        EXPECT_TRUE(alerts.isEmpty()) << locale;
        const TWTaskPtr stored = business->taskWithIdentifier(task->identifier());
        EXPECT_EQ(stored->quantity(), quantity);
        EXPECT_EQ(stored->estimate(), 2.5);
        EXPECT_EQ(float(stored->taxRate()), 7.7f);
        EXPECT_EQ(business->taskWithIdentifier(timed->identifier())->estimate(), 4800);
    }
    preferences.setTimeFormat(timeFormat);
    const TWTaskPtr task = addTask(project, QStringLiteral("Typed"), TWTaskTypeHour, 1);
    const TWLocaleGuard german{QStringLiteral("de_DE")};
    taskSheet.reset();
    openTask(task, 1);
    taskSheet->quantityField()->clear();
    QTest::keyClicks(taskSheet->quantityField(), QStringLiteral("1,5"));
    taskSheet->saveButton()->click();
    EXPECT_EQ(business->taskWithIdentifier(task->identifier())->quantity(), 1.5);
}

// Where the locale's decimal mark is not on a Latin keyboard, numbers typed
// with "." are stored; the locale's own form still is.
TEST_F(WorkSheets, APointIsTypedWhereTheLocalesMarkIsNotOnTheKeyboard)
{
    for (const auto &[locale, quantity, rate, quantityRead, rateRead] :
         {std::tuple{"ar_EG", "8.25", "987.65", 8.25, 98765},
          std::tuple{"fa_IR", "8.25", "987.65", 8.25, 98765},
          std::tuple{"ar_EG", "\u0668\u066b\u0662\u0665", "\u0669\u0668\u0667\u066b\u0666\u0665",
                     8.25, 98765}}) {
        SCOPED_TRACE(locale);
        const TWLocaleGuard pinned{QString::fromLatin1(locale)};
        taskSheet.reset(); // its validators take the locale when made
        const TWTaskPtr task = addTask(project, QStringLiteral("Work"), TWTaskTypeHour, 1);
        openTask(task, 1);
        for (const auto &[field, text] : {std::pair{taskSheet->quantityField(), quantity},
                                          std::pair{taskSheet->rateField(), rate}}) {
            // Keys for what a Latin keyboard types; the locale's own digits
            // come from its input method, through the same filter.
            const QString typed = QString::fromUtf8(text);
            field->selectAll();
            if (typed.toLatin1() == text)
                QTest::keyClicks(field, typed);
            else
                field->insert(typed);
            EXPECT_EQ(field->text(), typed);
        }
        taskSheet->saveButton()->click();
        settle();
        EXPECT_TRUE(alerts.isEmpty()) << alerts.join(u'\n').toStdString();
        const TWTaskPtr stored = business->taskWithIdentifier(task->identifier());
        EXPECT_EQ(stored->quantity(), quantityRead);
        EXPECT_EQ(stored->rate(), rateRead);
        alerts.clear();
    }
}

TEST_F(WorkSheets, CancelStoresNothingAndImportSaveStoresNothing)
{
    const TWTaskPtr task = addTask(project, QStringLiteral("Work"));
    TWNotificationRecorder recorder(business);
    openTask(task, 1);
    taskSheet->nameField()->setText(QStringLiteral("Changed"));
    taskSheet->cancelButton()->click();
    settle();
    EXPECT_EQ(codes, QList<int>({-1001}));
    EXPECT_FALSE(taskSheet->saved());
    EXPECT_EQ(task->name(), QStringLiteral("Work"));

    openTask(task, 1, true);
    taskSheet->nameField()->setText(QStringLiteral("Imported"));
    taskSheet->saveButton()->click();
    settle();
    EXPECT_EQ(codes, QList<int>({-1001, -1002}));
    EXPECT_TRUE(taskSheet->saved());
    EXPECT_EQ(taskSheet->editTask()->name(), QStringLiteral("Imported"));
    EXPECT_EQ(task->name(), QStringLiteral("Work"));
    EXPECT_TRUE(recorder.names().isEmpty());
    EXPECT_FALSE(document->isDocumentEdited());
}

TEST_F(WorkSheets, ATimedTaskWithItemsAsksBeforeChangingType)
{
    const TWTaskPtr task = addTask(project, QStringLiteral("Work"));
    addItem(task, twLocal(2026, 3, 1, 9), twLocal(2026, 3, 1, 10));
    openTask(task, 1);
    chooseType(TWTaskTypeFlat);
    alertAnswer = 1001;
    taskSheet->saveButton()->click();
    settle();
    EXPECT_EQ(alerts.size(), 1);
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_EQ(business->taskItemsWithTask(*task).size(), 1);

    alertAnswer = 1000;
    taskSheet->saveButton()->click();
    settle();
    EXPECT_EQ(codes, QList<int>({-1002}));
    EXPECT_EQ(business->taskWithIdentifier(task->identifier())->taskType(),
              std::uint32_t(TWTaskTypeFlat));
    EXPECT_TRUE(business->taskItemsWithTask(*task).isEmpty());
}

// An end before the start is refused, naming both fields, as other refused
// fields are: nothing is stored and the sheet stays open; mended, it saves.
TEST_F(WorkSheets, TimeItemSheetRefusesAnEndBeforeTheStart)
{
    const TWTaskPtr task = addTask(project, QStringLiteral("Work"));
    const TWTaskItemPtr item = addItem(task, twLocal(2026, 3, 1, 9), twLocal(2026, 3, 1, 10));
    TWTaskItemController sheet;
    sheet.setTaskItem(item);
    sheet.setMode(1);
    sheet.setBusinessController(document.get());
    sheet.setBusiness(business);
    sheet.update();
    document->beginSheetWithView(sheet.view(), false, true,
                                 [this](int code) { codes.append(code); });
    sheet.endPicker()->setDateTime(twLocal(2026, 3, 1, 8));
    sheet.notesField()->setText(QStringLiteral("Early"));
    sheet.saveButton()->click();
    settle();
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_EQ(
        alerts,
        QStringList{
            TWLocalized("refusedFieldMessage")
                .arg(TWLocalized("taskItemEnd"),
                     TWLocalized("taskItemEndBeforeStart").arg(TWLocalized("taskItemStart")))});
    const TWTaskItemPtr stored = business->taskItemWithIdentifier(item->identifier());
    EXPECT_EQ(stored->endDateTime(), twLocal(2026, 3, 1, 10));
    EXPECT_TRUE(stored->notes().isEmpty());

    // Mended (an end equal to the start is an empty item), it saves.
    sheet.startPicker()->setDateTime(twLocal(2026, 3, 1, 8));
    sheet.saveButton()->click();
    settle();
    EXPECT_EQ(codes, QList<int>({-1002}));
    EXPECT_EQ(business->taskItemWithIdentifier(item->identifier())->endDateTime(),
              twLocal(2026, 3, 1, 8));
    EXPECT_EQ(business->taskItemWithIdentifier(item->identifier())->notes(),
              QStringLiteral("Early"));
}

TEST_F(WorkSheets, TimeItemTimesAreTypedInTheLocalesShortFormat)
{
    const TWTaskPtr task = addTask(project, QStringLiteral("Work"));
    const TWTaskItemPtr item = addItem(task, twLocal(2026, 3, 1, 9), twLocal(2026, 3, 1, 10));
    for (const auto &[locale, start, end] :
         {std::tuple{"en_US", "10/5/26 3:04 PM", "10/5/26 4:30 pm"},
          std::tuple{"en_GB", "5/10/2026 15:04", "05/10/26 16:30"}}) {
        SCOPED_TRACE(locale);
        TWLocaleGuard pinned{QString::fromLatin1(locale)};
        TWTaskItemController sheet;
        sheet.setTaskItem(business->taskItemWithIdentifier(item->identifier())->copy());
        sheet.setMode(1);
        sheet.setBusinessController(document.get());
        sheet.setBusiness(business);
        sheet.update();
        document->beginSheetWithView(sheet.view(), false, true, {});
        twTypeDate(sheet.startPicker(), QString::fromLatin1(start));
        twTypeDate(sheet.endPicker(), QString::fromLatin1(end));
        sheet.saveButton()->click();
        settle();
        const TWTaskItemPtr stored = business->taskItemWithIdentifier(item->identifier());
        EXPECT_EQ(stored->startDateTime(), QDateTime(QDate(2026, 10, 5), QTime(15, 4)));
        EXPECT_EQ(stored->endDateTime(), QDateTime(QDate(2026, 10, 5), QTime(16, 30)));
    }
}

TEST_F(WorkSheets, TabGoesFromEachTimeItemFieldToTheNextAndAClickSelectsTheTime)
{
    TWLocaleGuard pinned{QStringLiteral("en_US")};
    const TWTaskPtr task = addTask(project, QStringLiteral("Work"));
    const TWTaskItemPtr item = addItem(task, twLocal(2026, 3, 1, 9), twLocal(2026, 3, 1, 10));
    TWTaskItemController sheet;
    sheet.setTaskItem(item->copy());
    sheet.setMode(1);
    sheet.setBusinessController(document.get());
    sheet.setBusiness(business);
    sheet.update();
    document->beginSheetWithView(sheet.view(), false, true, {});
    EXPECT_EQ(twTabWalk(sheet.startPicker(), 2),
              (QList<QWidget *>{sheet.endPicker(), sheet.notesField()}));

    twClickAndTypeDate(sheet.startPicker(), QStringLiteral("10/5/26 3:04 PM"));
    EXPECT_EQ(QApplication::focusWidget(), sheet.endPicker());
    EXPECT_EQ(sheet.startPicker()->dateTime(), QDateTime(QDate(2026, 10, 5), QTime(15, 4)));
}

// A date typed into a field that already has the focus, after a click that
// put the caret at the end of its date, does not read: the field keeps the
// text, marked, never the old date in its place; Save names the field and
// stores nothing until the text is mended.
TEST_F(WorkSheets, ADateThatDoesNotReadIsKeptAndSaveNamesItsField)
{
    TWLocaleGuard pinned{QStringLiteral("en_US")};
    const TWTaskPtr task = addTask(project, QStringLiteral("Work"));
    const TWTaskItemPtr item = addItem(task, twLocal(2026, 3, 1, 9), twLocal(2026, 3, 1, 10));
    TWTaskItemController itemSheet;
    itemSheet.setTaskItem(item->copy());
    TWProjectController projectSheet;
    projectSheet.setProject(project);
    taskSheet = std::make_unique<TWTaskController>();
    taskSheet->setTask(task);
    for (TWWorkSheet *sheet :
         {static_cast<TWWorkSheet *>(&itemSheet), static_cast<TWWorkSheet *>(taskSheet.get()),
          static_cast<TWWorkSheet *>(&projectSheet)}) {
        sheet->setMode(1);
        sheet->setBusinessController(document.get());
        sheet->setBusiness(business);
        sheet->update();
    }
    struct Case {
        TWWorkSheet *sheet;
        QDateTimeEdit *field;
        QWidget *next;
        const char *label;
        const char *typed;
        const char *mended;
        std::function<QDateTime()> stored;
    };
    const Case cases[] = {
        {&itemSheet, itemSheet.startPicker(), itemSheet.notesField(), "taskItemStart",
         "1/7/25 11:30 AM", "1/7/25 11:30 AM",
         [&] { return business->taskItemWithIdentifier(item->identifier())->startDateTime(); }},
        {taskSheet.get(), taskSheet->datePicker(), taskSheet->nameField(), "date", "12/8",
         "12/8/26", [&] { return business->taskWithIdentifier(task->identifier())->date(); }},
        {&projectSheet, projectSheet.datePicker(), projectSheet.nameField(), "date", "10/5/26",
         "10/5/26", [&] { return business->projectWithIdentifier(project->identifier())->date(); }},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.typed);
        document->beginSheetWithView(test.sheet->view(), false, true, {});
        const QDateTime before = test.stored();
        const QString shown = test.field->text();
        twClickIntoFocusedDate(test.field, QString::fromLatin1(test.typed), test.next);
        EXPECT_EQ(QApplication::focusWidget(), test.next);
        EXPECT_NE(test.field->text(), shown);
        EXPECT_TRUE(test.field->text().contains(QString::fromLatin1(test.typed)));
        EXPECT_TRUE(twIsRefused(test.field));
        alerts.clear();
        test.sheet->saveButton()->click();
        settle();
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_TRUE(alerts.first().startsWith(TWLocalized(test.label) + QStringLiteral(": ")))
            << alerts.first().toStdString();
        EXPECT_EQ(test.stored(), before);
        EXPECT_TRUE(test.field->text().contains(QString::fromLatin1(test.typed)));

        // Mended, the date is read and stored.
        twTypeDate(test.field, QString::fromLatin1(test.mended));
        EXPECT_FALSE(twIsRefused(test.field));
        test.sheet->saveButton()->click();
        settle();
        EXPECT_EQ(test.stored().date(), test.field->date());
        EXPECT_NE(test.stored(), before);
    }
}

TEST_F(WorkSheets, ProjectSheetKeepsTheShownUnitAndRereadsTheRate)
{
    const TWProjectPtr bare =
        addProject(client, QStringLiteral("No unit"), 1, 0, QStringLiteral("XXX"));
    ASSERT_FALSE(bare->unit());
    TWProjectController sheet;
    sheet.setProject(bare);
    sheet.setMode(1);
    sheet.setBusinessController(document.get());
    sheet.setBusiness(business);
    sheet.update();
    document->beginSheetWithView(sheet.view(), false, true,
                                 [this](int code) { codes.append(code); });
    const TWUnitPtr shown = sheet.unitPopUp()->currentData().value<TWUnitPtr>();
    ASSERT_TRUE(shown);
    EXPECT_EQ(sheet.typeLabel()->text(), TWLocalized("project"));
    sheet.startDateBox()->setChecked(true);
    sheet.startDatePicker()->setDate(QDate(2026, 6, 1));

    // 1200 typed, then a currency without decimals chosen: 1200 of that currency.
    sheet.rateField()->setText(QStringLiteral("1200"));
    int yen = -1;
    for (int i = 0; i < sheet.unitPopUp()->count() && yen < 0; ++i)
        if (const TWUnitPtr unit = sheet.unitPopUp()->itemData(i).value<TWUnitPtr>())
            if (unit->decimalPlaces() == 0)
                yen = i;
    ASSERT_GE(yen, 0);
    const QString code = sheet.unitPopUp()->itemData(yen).value<TWUnitPtr>()->code();
    sheet.unitPopUp()->setCurrentIndex(yen);
    emit sheet.unitPopUp()->activated(yen);
    sheet.saveButton()->click();
    settle();
    EXPECT_EQ(codes, QList<int>({-1002}));
    const TWProjectPtr stored = business->projectWithIdentifier(bare->identifier());
    ASSERT_TRUE(stored->unit());
    EXPECT_EQ(stored->unit()->code(), code);
    EXPECT_EQ(stored->rate(), 1200);
    EXPECT_EQ(stored->startDate().date(), QDate(2026, 6, 1));
    EXPECT_FALSE(stored->endDate().isValid());
}

TEST_F(WorkSheets, ProjectWithoutUnitStoresTheUnitItShows)
{
    const TWProjectPtr bare =
        addProject(client, QStringLiteral("No unit"), 1, 0, QStringLiteral("XXX"));
    TWProjectController sheet;
    sheet.setProject(bare);
    sheet.setMode(1);
    sheet.setBusinessController(document.get());
    sheet.setBusiness(business);
    sheet.update();
    document->beginSheetWithView(sheet.view(), false, true,
                                 [this](int code) { codes.append(code); });
    const TWUnitPtr shown = sheet.unitPopUp()->currentData().value<TWUnitPtr>();
    sheet.saveButton()->click();
    settle();
    const TWProjectPtr stored = business->projectWithIdentifier(bare->identifier());
    ASSERT_TRUE(stored->unit());
    EXPECT_EQ(stored->unit()->code(), shown->code());
}

TEST_F(WorkSheets, NameCompletionStartsWithTheFourthCharacter)
{
    const TWTaskPtr task = addTask(project, QStringLiteral("Programming"));
    addTask(project, QStringLiteral("Proofreading"));
    openTask(task, 1);
    EXPECT_TRUE(taskSheet->completions(TWValueListTaskNames, QStringLiteral("pro")).isEmpty());
    EXPECT_EQ(taskSheet->completions(TWValueListTaskNames, QStringLiteral("prog")),
              QStringList({QStringLiteral("Programming")}));
    EXPECT_EQ(taskSheet->completions(TWValueListTaskNames, QStringLiteral("PROO")),
              QStringList({QStringLiteral("Proofreading")}));
}

// Every key the work side looks up, also those chosen by a condition, has a text.
TEST_F(WorkSheets, EveryKeyOfTheWorkSideHasAText)
{
    // A call's argument may choose between keys: every quoted word in it counts.
    const QRegularExpression call(QStringLiteral("TWLocalized\\(([^;]*?)\\)[;,)]"));
    const QRegularExpression key(QStringLiteral("\"([A-Za-z]+)\""));
    QStringList missing;
    QDirIterator it(QStringLiteral(TW_SOURCE_DIR "/src/work"), {QStringLiteral("*.cpp")},
                    QDir::Files);
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (auto calls = call.globalMatch(text); calls.hasNext();)
            for (auto keys = key.globalMatch(calls.next().captured(1)); keys.hasNext();) {
                const QString name = keys.next().captured(1);
                if (!TWHasLocalized(name))
                    missing.append(name);
            }
    }
    // The form rows' labels.
    const QRegularExpression row(QStringLiteral("addRow\\(\"([A-Za-z]+)\""));
    QDirIterator forms(QStringLiteral(TW_SOURCE_DIR "/src/work"), {QStringLiteral("*.cpp")},
                       QDir::Files);
    while (forms.hasNext()) {
        QFile file(forms.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        for (auto rows = row.globalMatch(QString::fromUtf8(file.readAll())); rows.hasNext();) {
            const QString name = rows.next().captured(1);
            if (!TWHasLocalized(name))
                missing.append(name);
        }
    }
    // The columns' titles.
    QList<TWWorkColumn> columns = TWTasksController::taskColumns();
    columns += TWTasksController::taskItemColumns();
    columns += TWExpensesController::expenseColumns();
    for (const TWWorkColumn &column : columns)
        for (const char *name : {column.titleKey, column.menuKey})
            if (name && !TWHasLocalized(QString::fromLatin1(name)))
                missing.append(QString::fromLatin1(name));
    EXPECT_TRUE(missing.isEmpty()) << missing.join(QLatin1Char(' '));
}

// An end typed as the minute the start shows is no earlier than the start,
// whatever seconds the start keeps: the item is saved as one of no time.
// Only an end before the start's shown minute is refused.
TEST_F(WorkSheets, AnEndTypedAsTheMinuteTheStartShowsIsAnItemOfNoTime)
{
    const TWTaskPtr task = addTask(project, QStringLiteral("Work"));
    const QDateTime start(QDate(2026, 3, 1), QTime(9, 15, 42));
    const struct {
        const char *locale;
        QTime typed;
        bool saved;
        QDateTime end; // stored
    } rows[] = {
        {"en_US", QTime(9, 15), true, start},
        {"de_DE", QTime(9, 16), true, QDateTime(QDate(2026, 3, 1), QTime(9, 16))},
        {"de_DE", QTime(9, 14), false, start.addSecs(3600)},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string(row.locale) + " " + row.typed.toString().toStdString());
        TWLocaleGuard pinned{QString::fromLatin1(row.locale)};
        const TWTaskItemPtr item = addItem(task, start, start.addSecs(3600));
        alerts.clear();
        codes.clear();
        TWTaskItemController sheet;
        sheet.setTaskItem(item->copy());
        sheet.setMode(1);
        sheet.setBusinessController(document.get());
        sheet.setBusiness(business);
        sheet.update();
        document->beginSheetWithView(sheet.view(), false, true,
                                     [this](int code) { codes.append(code); });
        twTypeDate(sheet.endPicker(), QLocale().toString(QDateTime(start.date(), row.typed),
                                                         sheet.endPicker()->displayFormat()));
        sheet.saveButton()->click();
        settle();
        EXPECT_EQ(codes, row.saved ? QList<int>({-1002}) : QList<int>());
        EXPECT_EQ(alerts.size(), row.saved ? 0 : 1);
        const TWTaskItemPtr stored = business->taskItemWithIdentifier(item->identifier());
        EXPECT_EQ(stored->startDateTime(), start);
        EXPECT_EQ(stored->endDateTime(), row.end);
        if (!row.saved)
            sheet.cancelButton()->click();
        settle();
    }
}

// Where the clock skips midnight (America/Santiago on 6 September 2026), the
// day picked from any sheet's calendar is that day, as it is when typed.
TEST_F(WorkSheets, ADayWhoseMidnightTheClockSkipsIsPickedFromEveryCalendar)
{
    const TWZoneGuard zone("America/Santiago");
    const QDate skipped(2026, 9, 6);
    const QDateTime before = twLocal(2026, 9, 5);
    const TWTaskPtr task = addTask(project, QStringLiteral("Work"), TWTaskTypeFlat, 1, before);
    const TWExpensePtr expense = addExpense(project, QStringLiteral("Ink"), 500, before);
    const TWTaskItemPtr item = addItem(addTask(project, QStringLiteral("Timed")),
                                       twLocal(2026, 9, 5, 0, 30), twLocal(2026, 9, 6, 10));
    const TWMerchantPtr merchant = TWMerchant::merchantWithIdentifier(
        business->nextMerchantIdentifier(), QStringLiteral("Paper Co"), QString(), 0, 0, QImage(),
        QString(), QString(), QString(), QUrl(), QString(), QString());
    ASSERT_OK(business->addMerchant(merchant, false));
    const TWBillPtr bill =
        TWBill::billWithDate(before, QStringLiteral("Paper"), false, false, QDateTime(), 0,
                             QString(), merchant->identifier(), business->nextBillIdentifier());
    ASSERT_OK(business->addBill(bill, false));
    project->setDate(before);
    ASSERT_OK(business->updateProject(project, false));

    TWTaskController taskSheet;
    taskSheet.setTask(task->copy());
    TWExpenseController expenseSheet;
    expenseSheet.setExpense(expense->copy());
    TWProjectController projectSheet;
    projectSheet.setProject(project->copy());
    TWTaskItemController itemSheet;
    itemSheet.setTaskItem(item->copy());
    TWBillController billSheet;
    billSheet.setBill(bill->copy());
    for (TWWorkSheet *sheet : std::initializer_list<TWWorkSheet *>{
             &taskSheet, &expenseSheet, &projectSheet, &itemSheet, &billSheet}) {
        sheet->setMode(1);
        sheet->setBusinessController(document.get());
        sheet->setBusiness(business);
        sheet->view();
    }
    // Each sheet, its field and what it then stores (the bill: its working copy).
    const struct {
        TWWorkSheet *sheet;
        QDateTimeEdit *picker;
        std::function<QDateTime()> chosen;
    } rows[] = {
        {&taskSheet, taskSheet.datePicker(),
         [&] { return business->taskWithIdentifier(task->identifier())->date(); }},
        {&expenseSheet, expenseSheet.datePicker(),
         [&] { return business->expenseWithIdentifier(expense->identifier())->date(); }},
        {&projectSheet, projectSheet.datePicker(),
         [&] { return business->projectWithIdentifier(project->identifier())->date(); }},
        {&itemSheet, itemSheet.startPicker(),
         [&] { return business->taskItemWithIdentifier(item->identifier())->startDateTime(); }},
        {&billSheet, billSheet.datePicker(), [&] { return billSheet.editBill()->date(); }},
    };
    for (const auto &row : rows) {
        TWWorkSheet *sheet = row.sheet;
        SCOPED_TRACE(sheet->metaObject()->className());
        sheet->update();
        document->beginSheetWithView(sheet->view(), false, true, {});
        // The calendar of the field's own button, and the day picked in it.
        auto *button = row.picker->parentWidget()->findChild<QToolButton *>(
            QString(), Qt::FindDirectChildrenOnly);
        ASSERT_TRUE(button);
        button->click();
        QCalendarWidget *calendar = sheet->calendarController()->datePicker();
        calendar->setSelectedDate(skipped);
        QTest::keyClick(
            calendar->findChild<QTableView *>(QStringLiteral("qt_calendar_calendarview")),
            Qt::Key_Return);
        settle();
        EXPECT_EQ(row.picker->date(), skipped);
        // The bill's save books a charge, beside the point here.
        (sheet == &billSheet ? sheet->cancelButton() : sheet->saveButton())->click();
        settle();
        EXPECT_EQ(row.chosen().date(), skipped);
    }
}
