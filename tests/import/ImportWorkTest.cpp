#include "ImportProcessTestSupport.h"
#include "ImportTestSupport.h"
#include "foundation/TWLocalized.h"
#include "import/core/TWImportDuplicates.h"
#include "import/core/TWImportExpenses.h"
#include "import/core/TWImportTasks.h"
#include "import/core/TWImportWarnings.h"
#include "import/core/TWImportWorkRows.h"
#include "import/core/TWParserCSV.h"
#include "model/TWTaskItem.h"
#include "model/TWWorkFields.h"

namespace
{

class ImportWorkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        business = twImportBusiness();
        ASSERT_TRUE(business);
        acme = addClient(QStringLiteral("Acme"));
        beta = addClient(QStringLiteral("Beta"));
        website = addProject(QStringLiteral("Website"), acme, QStringLiteral("USD"));
        shop = addProject(QStringLiteral("Shop"), beta, QStringLiteral("JPY"));
        internal = addProject(QStringLiteral("Internal"), nullptr, QStringLiteral("USD"));
    }

    TWClientPtr addClient(const QString &name)
    {
        auto client = TWClient::clientWithIdentifier(business->nextClientIdentifier(), name, {}, 0,
                                                     0, {}, {}, {}, {}, {}, {}, {});
        EXPECT_OK(business->addClient(client, false));
        return client;
    }
    TWProjectPtr addProject(const QString &name, const TWClientPtr &client, const QString &code)
    {
        auto project = TWProject::projectWithDate(
            twLocal(2024, 1, 1), false, name, TWProjectTypeProject, {}, {}, 0,
            business->unitWithCode(code), 0, {}, client ? client->identifier() : 0,
            business->nextProjectIdentifier());
        EXPECT_OK(business->addProject(project, false));
        return project;
    }

    std::shared_ptr<TWImportTasks> tasks(const QStringList &columns, const QList<QStringList> &rows,
                                         const TWProjectPtr &defaultProject = nullptr)
    {
        auto settings = TWImportTasksSettings::importTasksSettingsWithColumns(
            columns, defaultProject, *business);
        settings->setDefaultTaskType(TWTaskTypeHour);
        return TWImportTasks::importTasksWithRows(rows, settings, *business);
    }
    std::shared_ptr<TWImportExpenses> expenses(const QStringList &columns,
                                               const QList<QStringList> &rows)
    {
        auto settings = TWImportExpensesSettings::importExpensesSettingsWithColumns(
            columns, internal, *business);
        return TWImportExpenses::importExpensesWithRows(rows, settings, *business);
    }

    TWFixedClock clock{2024, 6, 15, 12};
    std::unique_ptr<TWBusiness> business;
    TWClientPtr acme, beta;
    TWProjectPtr website, shop, internal;
};

const QStringList kTaskColumns{"Type",  "Date",       "Client",   "Project", "Name",
                               "Notes", "Start Date", "End Date", "Rate",    "Quantity"};

TEST_F(ImportWorkTest, TimedTaskTakesTheItemRowsAfterIt)
{
    auto importer =
        tasks(kTaskColumns,
              twRows({{"timed", "6/1/24", "Acme", "Website", "Build", "", "", "", "80", "9"},
                      {"task item", "", "", "", "", "morning", "6/1/24 9:00 AM", "6/1/24 11:30 AM",
                       "", ""},
                      {"", "", "", "", "", "", "", "", "", ""},
                      {"TASK ITEM", "", "", "", "", "", "6/2/24 1:00 PM", "6/2/24 2:00 PM", "", ""},
                      {"flat", "6/3/24", "Acme", "Website", "Logo", "", "", "", "500", ""}}));
    QString warnings;
    EXPECT_FALSE(importer->processTasks(&warnings));
    // The timed task's quantity is set aside, and named.
    EXPECT_EQ(warnings,
              TWLocalized("timedQuantitiesNotImported") + QStringLiteral("\r\trow 1 (9)\r"));
    const TWTaskList made = importer->tasks();
    ASSERT_EQ(made.size(), 2);

    const TWTaskPtr timed = made[0];
    EXPECT_EQ(timed->taskType(), quint32(TWTaskTypeTimed));
    EXPECT_EQ(timed->quantity(), 0.0); // its time comes from its items
    EXPECT_EQ(timed->rate(), 8000);
    EXPECT_EQ(timed->projectIdentifier(), website->identifier());
    EXPECT_EQ(timed->date(), twLocal(2024, 6, 1));
    ASSERT_EQ(timed->taskItems().size(), 2);
    const TWTaskItemPtr first = timed->taskItems()[0];
    EXPECT_EQ(first->startDateTime(), twLocal(2024, 6, 1, 9));
    EXPECT_EQ(first->endDateTime(), twLocal(2024, 6, 1, 11, 30));
    EXPECT_EQ(first->notes(), QStringLiteral("morning"));
    EXPECT_EQ(first->taskIdentifier(), timed->identifier());
    EXPECT_EQ(timed->taskItems()[1]->startDateTime(), twLocal(2024, 6, 2, 13));
    EXPECT_EQ(timed->taskItems()[1]->identifier(), first->identifier() + 1);

    EXPECT_EQ(made[1]->taskType(), quint32(TWTaskTypeFlat));
    EXPECT_EQ(made[1]->name(), QStringLiteral("Logo"));
    EXPECT_EQ(made[1]->rate(), 50000);
    EXPECT_EQ(made[1]->identifier(), timed->identifier() + 1);
}

TEST_F(ImportWorkTest, TaskItemsNeverEndBeforeTheyStart)
{
    auto importer = tasks(
        kTaskColumns, twRows({{"timed", "6/1/24", "Acme", "Website", "Build", "", "", "", "", ""},
                              {"task item", "", "", "", "", "", "", "6/14/24 5:00 PM", "", ""},
                              {"task item", "", "", "", "", "", "6/14/24 9:00 AM", "", "", ""},
                              {"task item", "", "", "", "", "", "6/20/24 9:00 AM", "", "", ""}}));
    ASSERT_TRUE(importer->processTasks());
    ASSERT_EQ(importer->tasks().size(), 1);
    const TWTaskItemList items = importer->tasks()[0]->taskItems();
    ASSERT_EQ(items.size(), 3);
    // Only an end: it starts there too.
    EXPECT_EQ(items[0]->startDateTime(), twLocal(2024, 6, 14, 17));
    EXPECT_EQ(items[0]->endDateTime(), twLocal(2024, 6, 14, 17));
    // Only a start: it ends now...
    EXPECT_EQ(items[1]->endDateTime(), clock.now());
    // ... or where it starts when that is later than now.
    EXPECT_EQ(items[2]->endDateTime(), twLocal(2024, 6, 20, 9));
    for (const TWTaskItemPtr &item : items)
        EXPECT_LE(item->startDateTime(), item->endDateTime());
}

TEST_F(ImportWorkTest, DuplicatesAnswerAsTheStoreExceptForTimedTasks)
{
    const QList<QStringList> rows =
        twRows({{"timed", "6/1/24", "Acme", "Website", "Build", "", "", "", "80", ""},
                {"task item", "", "", "", "", "", "6/1/24 9:00 AM", "6/1/24 11:30 AM", "", ""},
                {"flat", "6/3/24", "Acme", "Website", "Logo", "", "", "", "500", ""},
                {"hour", "6/4/24", "Beta", "Shop", "Call", "", "", "", "100", "2"}});
    auto first = tasks(kTaskColumns, rows);
    ASSERT_TRUE(first->processTasks());
    // Store the timed task with its item and the flat one.
    for (int i : {0, 1}) {
        const TWTaskPtr task = first->tasks()[i];
        ASSERT_OK(business->addTask(task, false));
        for (const TWTaskItemPtr &item : task->taskItems())
            ASSERT_OK(business->addTaskItem(item, false));
    }

    auto again = tasks(kTaskColumns, rows);
    ASSERT_TRUE(again->processTasks());
    const TWTaskList made = again->tasks();
    const QList<bool> answers = TWImportDuplicates::tasks(*business, made);
    EXPECT_EQ(answers, (QList<bool>{true, true, false}));
    // The store's own test agrees except for the timed task, whose file copy
    // has no stored items yet.
    EXPECT_FALSE(business->matchTask(*made[0]));
    EXPECT_EQ(business->matchTask(*made[1]), answers[1]);
    EXPECT_EQ(business->matchTask(*made[2]), answers[2]);
    // A timed task with other hours is not a duplicate.
    made[0]->taskItems()[0]->setEndDateTime(twLocal(2024, 6, 1, 12));
    EXPECT_FALSE(TWImportDuplicates::tasks(*business, made)[0]);

    const QStringList columns{"Date", "Project", "Name", "Quantity", "Cost"};
    const QList<QStringList> expenseRows = twRows({{"6/2/24", "Shop", "Taxi", "2", "5000"},
                                                   {"6/2/24", "Shop", "Taxi", "3", "5000"},
                                                   {"", "Shop", "Undated", "1", "1"}});
    auto costs = expenses(columns, expenseRows);
    ASSERT_TRUE(costs->processExpenses());
    ASSERT_OK(business->addExpense(costs->expenses()[0], false));
    ASSERT_OK(business->addExpense(costs->expenses()[2], false));
    auto costsAgain = expenses(columns, expenseRows);
    ASSERT_TRUE(costsAgain->processExpenses());
    const QList<bool> expenseAnswers =
        TWImportDuplicates::expenses(*business, costsAgain->expenses());
    EXPECT_EQ(expenseAnswers, (QList<bool>{true, false, false}));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(business->matchExpense(*costsAgain->expenses()[i]), expenseAnswers[i]) << i;
}

} // namespace

// A duration is hours, whichever way it is written; a value that cannot be
// read is named in the warnings.
TEST_F(ImportWorkTest, DurationsAreHoursAndUnreadableValuesAreNamed)
{
    auto importer = tasks({"Date", "Project", "Name", "Quantity", "Rate"},
                          twRows({{"6/1/24", "Website", "A", "2:30:00", "80"},
                                  {"6/2/24", "Website", "B", "1:45", "80"},
                                  {"6/3/24", "Website", "C", "1.5", "abc"},
                                  {"2/31/24", "Website", "D", "1", "80,50"}}));
    QString warnings;
    EXPECT_FALSE(importer->processTasks(&warnings));
    const TWTaskList made = importer->tasks();
    ASSERT_EQ(made.size(), 4);
    EXPECT_DOUBLE_EQ(made.at(0)->quantity(), 2.5);
    EXPECT_DOUBLE_EQ(made.at(1)->quantity(), 1.75);
    EXPECT_DOUBLE_EQ(made.at(2)->quantity(), 1.5);
    EXPECT_EQ(made.at(2)->rate(), 0);
    EXPECT_EQ(made.at(3)->rate(), 8050);
    EXPECT_TRUE(warnings.contains(QStringLiteral("row 3, Rate: abc"))) << warnings;
    EXPECT_TRUE(warnings.contains(QStringLiteral("row 4, Date: 2/31/24"))) << warnings;
}

// Without a quantity column an expense is one of its kind, not zero of it.
TEST_F(ImportWorkTest, ExpensesWithoutAQuantityColumnCountOnce)
{
    auto importer = expenses({"Date", "Name", "Cost"}, twRows({{"6/1/24", "Paper", "12.50"}}));
    QString warnings;
    EXPECT_TRUE(importer->processExpenses(&warnings)) << warnings;
    ASSERT_EQ(importer->expenses().size(), 1);
    EXPECT_DOUBLE_EQ(importer->expenses().constFirst()->quantity(), 1.0);
    EXPECT_EQ(importer->expenses().constFirst()->cost(), 1250);
    auto counted =
        expenses({"Date", "Name", "Cost", "Quantity"}, twRows({{"6/1/24", "Paper", "12.50", "3"}}));
    EXPECT_TRUE(counted->processExpenses(&warnings));
    EXPECT_DOUBLE_EQ(counted->expenses().constFirst()->quantity(), 3.0);
}

// Tasks and expenses find a row's project, read its money in that project's
// unit and gather what they could not place the same way; only the money
// column's name differs in the warnings.
TEST_F(ImportWorkTest, TasksAndExpensesPlaceRowsAlike)
{
    const QList<QStringList> rows = twRows({{"6/1/24", "Beta", "Shop", "A", "5000"},
                                            {"6/2/24", "Nobody", "Nowhere", "B", "1.50"},
                                            {"6/3/24", "Acme", "Website", "C", "x1"}});
    auto taskImport = tasks({"Date", "Client", "Project", "Name", "Rate"}, rows, internal);
    auto expenseImport = expenses({"Date", "Client", "Project", "Name", "Cost"}, rows);
    QString taskWarnings;
    QString expenseWarnings;
    EXPECT_FALSE(taskImport->processTasks(&taskWarnings));
    EXPECT_FALSE(expenseImport->processExpenses(&expenseWarnings));

    const TWTaskList madeTasks = taskImport->tasks();
    const TWExpenseList madeExpenses = expenseImport->expenses();
    ASSERT_EQ(madeTasks.size(), 3);
    ASSERT_EQ(madeExpenses.size(), 3);
    // Yen have no decimals: 5000 stays 5000; an unknown project is the default one.
    const qint32 projects[] = {shop->identifier(), internal->identifier(), website->identifier()};
    const qint64 money[] = {5000, 150, 0};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(madeTasks[i]->projectIdentifier(), projects[i]);
        EXPECT_EQ(madeExpenses[i]->projectIdentifier(), projects[i]);
        EXPECT_EQ(madeTasks[i]->rate(), money[i]);
        EXPECT_EQ(madeExpenses[i]->cost(), money[i]);
    }
    EXPECT_TRUE(taskWarnings.contains(QStringLiteral("row 3, Rate: x1"))) << taskWarnings;
    EXPECT_TRUE(taskWarnings.contains(QStringLiteral("Nobody"))) << taskWarnings;
    EXPECT_TRUE(taskWarnings.contains(QStringLiteral("Nowhere"))) << taskWarnings;
    QString asExpenses = taskWarnings;
    asExpenses.replace(QStringLiteral("Rate:"), QStringLiteral("Cost:"));
    // Each says what becomes of its own records' values.
    asExpenses.replace(TWLocalized("taskValuesNotRead"), TWLocalized("expenseValuesNotRead"));
    EXPECT_EQ(expenseWarnings, asExpenses);
}

// Quantities, estimates and tax rates take either decimal mark, in any
// locale; a value that is no number counts as 0 and is named, under a heading
// that says what becomes of a task's or an expense's values (they keep no date).
TEST_F(ImportWorkTest, NumbersTakeEitherDecimalMarkAndUnreadableOnesAreNamed)
{
    for (const char *name : {"en_US", "de_DE"}) {
        SCOPED_TRACE(name);
        TWLocaleGuard locale(QString::fromLatin1(name));
        auto taskImport = tasks({"Date", "Project", "Name", "Quantity", "Estimate", "Tax Rate"},
                                twRows({{"", "Website", "A", "1,5", "2.25", "7,5%"},
                                        {"x", "Website", "B", "abc", "1e9", "7 %"},
                                        {"", "Website", "C", "1.250,5", "0,75", "19"}}));
        QString warnings;
        EXPECT_FALSE(taskImport->processTasks(&warnings));
        const TWTaskList made = taskImport->tasks();
        ASSERT_EQ(made.size(), 3);
        EXPECT_DOUBLE_EQ(made[0]->quantity(), 1.5);
        EXPECT_DOUBLE_EQ(made[0]->estimate(), 2.25);
        EXPECT_DOUBLE_EQ(made[0]->taxRate(), 7.5);
        EXPECT_EQ(made[1]->quantity(), 0.0);
        EXPECT_EQ(made[1]->estimate(), 0.0);
        EXPECT_DOUBLE_EQ(made[1]->taxRate(), 7.0);
        EXPECT_DOUBLE_EQ(made[2]->quantity(), 1250.5);
        EXPECT_DOUBLE_EQ(made[2]->estimate(), 0.75);
        EXPECT_DOUBLE_EQ(made[2]->taxRate(), 19.0);
        EXPECT_TRUE(warnings.startsWith(TWLocalized("taskValuesNotRead"))) << warnings;
        EXPECT_FALSE(TWLocalized("taskValuesNotRead").contains(QStringLiteral("today")));
        for (const char *expected :
             {"row 2, Date: x", "row 2, Quantity: abc", "row 2, Estimate: 1e9"})
            EXPECT_TRUE(warnings.contains(QString::fromUtf8(expected))) << expected << warnings;

        auto expenseImport = expenses({"Date", "Project", "Name", "Quantity", "Cost", "Tax Rate"},
                                      twRows({{"", "Website", "A", "2,5", "1,50", "7,5"},
                                              {"", "Website", "B", "1e9", "2", "abc"}}));
        EXPECT_FALSE(expenseImport->processExpenses(&warnings));
        const TWExpenseList costs = expenseImport->expenses();
        ASSERT_EQ(costs.size(), 2);
        EXPECT_DOUBLE_EQ(costs[0]->quantity(), 2.5);
        EXPECT_EQ(costs[0]->cost(), 150);
        EXPECT_DOUBLE_EQ(costs[0]->taxRate(), 7.5);
        EXPECT_EQ(costs[1]->quantity(), 0.0);
        EXPECT_EQ(costs[1]->taxRate(), 0.0);
        EXPECT_TRUE(warnings.startsWith(TWLocalized("expenseValuesNotRead"))) << warnings;
        for (const char *expected : {"row 2, Quantity: 1e9", "row 2, Tax Rate: abc"})
            EXPECT_TRUE(warnings.contains(QString::fromUtf8(expected))) << expected << warnings;
    }
}

// With "timed" as the default type and no type column, a row that carries
// values of a task of its own starts a new task instead of becoming a time
// item of the one before; a row that holds values but gives nothing is named.
TEST_F(ImportWorkTest, TimedRowsWithTaskValuesAreTasksAndDroppedRowsAreNamed)
{
    auto settings = TWImportTasksSettings::importTasksSettingsWithColumns(
        {"Date", "Project", "Name", "Start Date", "End Date", "Reference"}, nullptr, *business);
    settings->setDefaultTaskType(TWTaskTypeTimed);
    auto importer = TWImportTasks::importTasksWithRows(
        twRows({{"6/1/24", "Website", "Build", "", "", ""},
                {"", "", "", "6/1/24 9:00 AM", "6/1/24 10:00 AM", ""},
                {"6/2/24", "Website", "Test", "", "", ""},
                {"", "", "", "", "", "not mapped"},
                {"", "", "", "6/2/24 1:00 PM", "6/2/24 3:00 PM", ""},
                {"", "", "", "", "", ""},
                {"", "", "Deploy", "", "", ""}}),
        settings, *business);
    QString warnings;
    EXPECT_FALSE(importer->processTasks(&warnings));
    const TWTaskList made = importer->tasks();
    ASSERT_EQ(made.size(), 3);
    EXPECT_EQ(made[0]->name(), QStringLiteral("Build"));
    ASSERT_EQ(made[0]->taskItems().size(), 1);
    EXPECT_EQ(made[0]->taskItems()[0]->endDateTime(), twLocal(2024, 6, 1, 10));
    EXPECT_EQ(made[1]->name(), QStringLiteral("Test"));
    ASSERT_EQ(made[1]->taskItems().size(), 1);
    EXPECT_EQ(made[1]->taskItems()[0]->startDateTime(), twLocal(2024, 6, 2, 13));
    EXPECT_EQ(made[2]->name(), QStringLiteral("Deploy"));
    EXPECT_TRUE(made[2]->taskItems().isEmpty());
    // Row 4 held only a column not imported; row 6 held nothing at all.
    EXPECT_EQ(warnings, TWLocalized("rowsNotImported") + QStringLiteral("\r\trow 4\r"));
}

// An estimate written as a duration is what the task's own editor holds:
// seconds for a timed task, hours for any other; a garbled duration is named.
TEST_F(ImportWorkTest, EstimatesWrittenAsDurations)
{
    const QStringList columns{"Type", "Project", "Name", "Estimate", "Quantity"};
    auto importer = tasks(columns, twRows({{"timed", "Website", "A", "1:30", ""},
                                           {"hour", "Website", "B", "1:30", "1:xx"}}));
    QString warnings;
    EXPECT_FALSE(importer->processTasks(&warnings));
    ASSERT_EQ(importer->tasks().size(), 2);
    EXPECT_DOUBLE_EQ(importer->tasks()[0]->estimate(), 5400.0);
    EXPECT_DOUBLE_EQ(importer->tasks()[1]->estimate(), 1.5);
    EXPECT_EQ(importer->tasks()[1]->quantity(), 0.0);
    EXPECT_TRUE(warnings.contains(QStringLiteral("row 2, Quantity: 1:xx"))) << warnings;
}

// A time tracker writes one row per stretch of work (Date, Client, Project,
// Name, Start, End): each row is a timed task whose own start and end are its
// first item, and a row of nothing but a start and an end is one more item of
// the task before it. The hours imported are the file's.
TEST_F(ImportWorkTest, ATimeTrackersRowsKeepEveryHour)
{
    const QByteArray file = "Date,Client,Project,Name,Start,End\n"
                            "2024-06-03,Acme,Website,Build,2024-06-03 09:00,2024-06-03 11:30\n"
                            "2024-06-03,Acme,Website,Review,2024-06-03 13:15,2024-06-03 14:00\n"
                            ",,,,2024-06-03 15:00,2024-06-03 17:45\n"
                            "2024-06-04,Beta,Shop,Support,2024-06-04 08:05,2024-06-04 08:50\n"
                            "2024-06-05,Acme,Website,Build,2024-06-05 22:30,2024-06-06 01:00\n";
    const QString moment = QStringLiteral("yyyy-MM-dd HH:mm");
    qint64 written = 0;
    for (const QString &line : QString::fromLatin1(file).split('\n', Qt::SkipEmptyParts).mid(1)) {
        const QStringList values = line.split(',');
        written += QDateTime::fromString(values[4], moment)
                       .secsTo(QDateTime::fromString(values[5], moment));
    }

    // With the formats the user sets, and with the guessed ones (the user's
    // own short formats, which the file's ISO dates do not follow).
    for (const bool userFormats : {true, false}) {
        SCOPED_TRACE(userFormats);
        TWLocaleGuard locale(QStringLiteral("de_DE"));
        auto parser = TWParserCSV::parser();
        parser->parse(file);
        auto settings = TWImportTasksSettings::importTasksSettingsWithColumns(*parser->columns(),
                                                                              nullptr, *business);
        settings->setDefaultTaskType(TWTaskTypeTimed);
        const QList<qint32> mapped{-1, -2, -3, -6, -8, -9};
        for (qsizetype j = 0; j < mapped.size(); ++j) {
            const auto &line = settings->importFields().at(j);
            ASSERT_EQ(line->activeIdentifier(), mapped[j]) << j;
            if (userFormats)
                line->setFormat(j == 0 ? QStringLiteral("yyyy-MM-dd") : moment);
        }
        auto importer = TWImportTasks::importTasksWithRows(parser->rows(), settings, *business);
        QString warnings;
        EXPECT_TRUE(importer->processTasks(&warnings)) << warnings;

        const TWTaskList made = importer->tasks();
        ASSERT_EQ(made.size(), 4);
        QList<qsizetype> itemCounts;
        qint64 imported = 0;
        for (const TWTaskPtr &task : made) {
            itemCounts.append(task->taskItems().size());
            for (const TWTaskItemPtr &item : task->taskItems()) {
                EXPECT_EQ(item->taskIdentifier(), task->identifier());
                imported += item->startDateTime().secsTo(item->endDateTime());
            }
        }
        EXPECT_EQ(imported, written);
        ASSERT_EQ(itemCounts, (QList<qsizetype>{1, 2, 1, 1}));
        EXPECT_EQ(made[1]->taskItems()[1]->startDateTime(), twLocal(2024, 6, 3, 15));
        EXPECT_EQ(made[2]->projectIdentifier(), shop->identifier());
    }
}

// With "timed", the sheet's first type, a plain task file's quantities are
// set aside (a timed task's time comes from its items): the warnings name
// each such row, the first twenty and then how many more, so that the user
// can choose another type before anything is added.
TEST_F(ImportWorkTest, QuantitiesSetAsideForTimedTasksAreNamed)
{
    const QStringList columns{"Date", "Client", "Project", "Name", "Quantity", "Rate"};
    QList<QStringList> rows;
    for (int i = 1; i <= 23; ++i)
        rows.append({"6/1/24", "Acme", "Website", QStringLiteral("Task %1").arg(i),
                     i == 2 ? QStringLiteral("0") : QStringLiteral("%1.5").arg(i), "80"});
    for (const quint32 type : {TWTaskTypeTimed, TWTaskTypeHour}) {
        SCOPED_TRACE(type);
        auto settings =
            TWImportTasksSettings::importTasksSettingsWithColumns(columns, nullptr, *business);
        settings->setDefaultTaskType(type);
        auto importer = TWImportTasks::importTasksWithRows(rows, settings, *business);
        QString warnings;
        const bool complete = importer->processTasks(&warnings);
        ASSERT_EQ(importer->tasks().size(), 23);
        if (type == TWTaskTypeHour) {
            EXPECT_TRUE(complete) << warnings;
            EXPECT_DOUBLE_EQ(importer->tasks()[22]->quantity(), 23.5);
            continue;
        }
        EXPECT_FALSE(complete);
        EXPECT_EQ(importer->tasks()[22]->quantity(), 0.0);
        // Row 2's quantity of 0 loses nothing.
        QStringList named;
        for (int i = 1; i <= 23; ++i) {
            if (i != 2)
                named.append(QStringLiteral("row %1 (%1.5)").arg(i));
        }
        EXPECT_EQ(warnings, TWLocalized("timedQuantitiesNotImported") + QStringLiteral("\r\t") +
                                TWImportWarnings::names(named) + QStringLiteral("\r"));
        EXPECT_TRUE(warnings.contains(QStringLiteral("row 21 (21.5) and 2 more"))) << warnings;
    }
}

// A time tracker's export (Date, Start, End, Duration, Client, Project, Task,
// Description) writes Start and End as a time of day alone: each is the row's
// date at that time, whatever format the column has, and an end before its
// start is on the next day. Every row is one time item; the hours are the
// file's. Its Duration as the quantity of hourly tasks is shown with the six
// places a quantity has elsewhere.
TEST_F(ImportWorkTest, ATimeTrackersTimesOfDayTakeTheRowsDate)
{
    const qint64 written = (150 + 45 + 40 + 150 + 40) * 60;
    const struct {
        const char *locale;
        const char *format; // set by hand; none: as guessed
    } cases[] = {{"en_US", nullptr}, {"en_US", "HH:mm"}, {"en_GB", nullptr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.locale + QStringLiteral(" ") + QString::fromLatin1(c.format));
        TWLocaleGuard locale(QString::fromLatin1(c.locale));
        auto parser = TWParserCSV::parser();
        parser->parse(twImportData(QStringLiteral("time-tracker.csv")));
        auto settings = TWImportTasksSettings::importTasksSettingsWithColumns(*parser->columns(),
                                                                              nullptr, *business);
        const auto &lines = settings->importFields();
        ASSERT_EQ(lines.size(), 8);
        EXPECT_EQ(TWImportWorkRows::codes(lines), (QList<qint32>{-1, -8, -9, 0, -2, -3, 0, 0}));
        settings->updateField(*lines[6], TWImportFieldTypeField, qint32(TWTaskField::Name));
        settings->updateField(*lines[7], TWImportFieldTypeField, qint32(TWTaskField::Notes));
        if (c.format) {
            lines[1]->setFormat(QString::fromLatin1(c.format));
            lines[2]->setFormat(QString::fromLatin1(c.format));
        }
        auto importer = TWImportTasks::importTasksWithRows(parser->rows(), settings, *business);
        QString warnings;
        EXPECT_TRUE(importer->processTasks(&warnings)) << warnings;
        const TWTaskList made = importer->tasks();
        ASSERT_EQ(made.size(), 5);
        qint64 imported = 0;
        for (const TWTaskPtr &task : made) {
            ASSERT_EQ(task->taskItems().size(), 1) << task->name();
            const TWTaskItemPtr item = task->taskItems().constFirst();
            EXPECT_EQ(item->startDateTime().date(), task->date().date()) << task->name();
            imported += item->startDateTime().secsTo(item->endDateTime());
        }
        EXPECT_EQ(imported, written);
        EXPECT_EQ(made[1]->taskItems()[0]->startDateTime(), twLocal(2024, 6, 3, 13, 15));
        EXPECT_EQ(made[3]->taskItems()[0]->endDateTime(), twLocal(2024, 6, 5, 1));
        EXPECT_EQ(made[2]->projectIdentifier(), shop->identifier());
        EXPECT_EQ(made[0]->notes(), QStringLiteral("Header layout, mobile first"));

        // The Duration as hours of hourly tasks.
        settings->updateField(*lines[3], TWImportFieldTypeField, qint32(TWTaskField::Quantity));
        settings->setDefaultTaskType(TWTaskTypeHour);
        importer = TWImportTasks::importTasksWithRows(parser->rows(), settings, *business);
        EXPECT_TRUE(importer->processTasks(&warnings)) << warnings;
        QStringList shown;
        for (const TWTaskPtr &task : importer->tasks())
            shown.append(task->quantityString(task->quantity()));
        EXPECT_EQ(shown, (QStringList{"2.5", "0.75", "0.666667", "2.5", "0.666667"}));
    }
}

// A planning file's Start date and End date are days, not a stretch of work:
// only a start and an end that both carry a time of day make a timed task's
// time item. Any other pair is set aside and named, and its task is made
// without it.
TEST_F(ImportWorkTest, APlansDaysMakeNoTimeItems)
{
    auto parser = TWParserCSV::parser();
    parser->parse(twImportData(QStringLiteral("planning.csv")));
    auto settings = TWImportTasksSettings::importTasksSettingsWithColumns(*parser->columns(),
                                                                          nullptr, *business);
    EXPECT_EQ(TWImportWorkRows::codes(settings->importFields()),
              (QList<qint32>{-6, -2, -3, -8, -9, -7}));
    auto importer = TWImportTasks::importTasksWithRows(parser->rows(), settings, *business);
    QString warnings;
    EXPECT_FALSE(importer->processTasks(&warnings));
    const TWTaskList made = importer->tasks();
    ASSERT_EQ(made.size(), 4);
    ASSERT_EQ(made[0]->taskItems().size(), 1);
    EXPECT_EQ(made[0]->taskItems()[0]->startDateTime(), twLocal(2024, 6, 3, 10));
    EXPECT_EQ(made[0]->taskItems()[0]->endDateTime(), twLocal(2024, 6, 3, 11, 30));
    for (qsizetype i = 1; i < made.size(); ++i)
        EXPECT_TRUE(made[i]->taskItems().isEmpty()) << made[i]->name();
    EXPECT_DOUBLE_EQ(made[2]->estimate(), 60 * 3600.0);
    EXPECT_EQ(warnings, TWLocalized("timedSpansNotImported") +
                            QStringLiteral("\r\trow 2: 2024-06-03 – 2024-06-14, row 3: "
                                           "2024-06-17 – 2024-07-05, row 4: 2024-07-08 – ") +
                            TWLocalized("importEmptyValue") + QStringLiteral("\r"));
}

// What a start or end column holds, read by the user's own date and time
// format: a time of day alone is on the row's day, and needs one; a date
// alone names no moment of work.
TEST_F(ImportWorkTest, StartsAndEndsReadAsMomentsOfWork)
{
    TWImportWorkRows reader(*business);
    const TWImportTaskField line;
    const struct {
        const char *value;
        QDateTime at; // invalid: not read
        bool timeOfDay;
    } cases[] = {{"09:00", twLocal(2024, 6, 3, 9), true},
                 {"9:05:30", twLocal(2024, 6, 3, 9, 5, 30), true},
                 {"1:30 PM", twLocal(2024, 6, 3, 13, 30), true},
                 {"12:15 am", twLocal(2024, 6, 3, 0, 15), true},
                 {"6/4/24 8:00 AM", twLocal(2024, 6, 4, 8), true},
                 {"2024-06-04T17:45:00", twLocal(2024, 6, 4, 17, 45), true},
                 {"6/4/24", twLocal(2024, 6, 4), false},
                 {"2024-06-04", twLocal(2024, 6, 4), false},
                 {"25:00", {}, false},
                 {"13:00 PM", {}, false}};
    for (const auto &c : cases) {
        const auto read = reader.moment(line, QString::fromLatin1(c.value), QDate(2024, 6, 3));
        EXPECT_EQ(read ? read->at : QDateTime(), c.at) << c.value;
        EXPECT_EQ(read && read->timeOfDay, c.timeOfDay) << c.value;
    }
    EXPECT_FALSE(reader.moment(line, QStringLiteral("09:00"), QDate()));
}
