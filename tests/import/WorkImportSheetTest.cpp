// The task and expense import sheets through their widgets on a real
// business: clients and projects made when asked, the refusals, duplicates
// left unticked and the all-or-nothing import with one notification a kind.

#include "ImportProcessTestSupport.h"
#include "TWWindowTestSupport.h"

#include "import/ui/TWImportWorkController.h"
#include "import/ui/TWImportWorkSelectController.h"

#include "work/TWExpensesController.h"
#include "work/TWTasksController.h"

#include "app/TWAlert.h"
#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWClient.h"
#include "model/TWTaskItem.h"
#include "store/TWNotifications.h"

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

namespace
{

class WorkImportFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        business = twImportBusiness();
        ASSERT_TRUE(business);
        ASSERT_TRUE(dir.isValid());
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert.message);
            if (completion)
                completion(1000);
        });
    }
    void TearDown() override { twSetAlertPresenter({}); }

    TWClientPtr addClient(const QString &name)
    {
        auto client = TWClient::clientWithIdentifier(business->nextClientIdentifier(), name, {}, 0,
                                                     0, {}, {}, {}, {}, {}, {}, {});
        EXPECT_OK(business->addClient(client, false));
        return client;
    }
    TWProjectPtr addProject(const QString &name, const TWClientPtr &client)
    {
        auto project =
            TWProject::projectWithDate(twLocal(2024, 1, 1), false, name, TWProjectTypeProject, {},
                                       {}, 0, business->unitWithCode(QStringLiteral("USD")), 0, {},
                                       client->identifier(), business->nextProjectIdentifier());
        EXPECT_OK(business->addProject(project, false));
        return project;
    }
    QUrl file(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("work%1.csv").arg(++m_files));
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        return QUrl::fromLocalFile(path);
    }
    // The sheet over the business with `website` as its default project,
    // `csv` read and mapped by the guess.
    template <typename Sheet> void open(Sheet &sheet, const QByteArray &csv)
    {
        sheet.setBusiness(business.get());
        sheet.setDefaultProject(website);
        sheet.reset();
        sheet.importURL(file(csv));
    }
    // A client's project for the sheets' default.
    void addWebsite()
    {
        website = addProject(QStringLiteral("Website"), addClient(QStringLiteral("Acme")));
    }

    // Ticks "create if missing" on the column mapped to `code`.
    static void create(TWImportWorkController &sheet, qint32 code)
    {
        TWImportWorkMappingModel *model = sheet.model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->lines().at(row)->activeIdentifier() == code) {
                ASSERT_TRUE(model->setData(model->index(row, 2), Qt::Checked, Qt::CheckStateRole));
            }
        }
    }

    TWFixedClock clock{2024, 6, 15, 12};
    QTemporaryDir dir;
    std::unique_ptr<TWBusiness> business;
    TWProjectPtr website;
    QStringList alerts;
    int m_files = 0;
};

using TaskImportSheetTest = WorkImportFixture;
using ExpenseImportSheetTest = WorkImportFixture;

} // namespace

TEST_F(TaskImportSheetTest, EveryImportedItemBelongsToItsOwnTask)
{
    const TWClientPtr acme = addClient(QStringLiteral("Acme"));
    addProject(QStringLiteral("Website"), acme);
    TWImportTasksController sheet;
    sheet.setBusiness(business.get());
    sheet.reset();
    sheet.importURL(file("Type,Date,Client,Project,Name,Start Date,End Date\n"
                         "timed,6/1/24,Acme,Website,First,,\n"
                         "task item,,,,,6/1/24 9:00 AM,6/1/24 10:00 AM\n"
                         "timed,6/2/24,Acme,Website,Second,,\n"
                         "task item,,,,,6/2/24 9:00 AM,6/2/24 11:00 AM\n"
                         "task item,,,,,6/2/24 1:00 PM,6/2/24 2:00 PM\n"));
    ASSERT_TRUE(sheet.parseButton()->isEnabled());
    sheet.doParse(1);
    TWImportWorkSelectController *selection = sheet.selectController();
    ASSERT_TRUE(selection);
    TWTasksController *list = selection->importTasksController();
    ASSERT_EQ(list->importSelectedTasks().size(), 2);
    // The first task left out: the second's items must not land on another task.
    list->setImportSelectedTasks({list->importSelectedTasks().at(1)});
    TWNotificationRecorder recorder(business.get());
    selection->importButton()->click();
    ASSERT_EQ(business->tasks().size(), 1);
    const TWTaskPtr stored = business->tasks().constFirst();
    EXPECT_EQ(stored->name(), QStringLiteral("Second"));
    ASSERT_EQ(business->taskItems().size(), 2);
    for (const TWTaskItemPtr &item : business->taskItems())
        EXPECT_EQ(item->taskIdentifier(), stored->identifier());
    EXPECT_EQ(recorder.names().count(TWTaskNewNotification), 1);
    EXPECT_EQ(recorder.names().count(TWTaskItemNewNotification), 1);
}

// Tasks without time items still tell the item lists once, as every import
// of tasks does.
TEST_F(TaskImportSheetTest, AnImportOfTasksWithoutItemsPostsOneNotificationOfEachKind)
{
    addWebsite();
    TWImportTasksController sheet;
    open(sheet, "Date,Name,Quantity\n6/1/24,Dig,2\n6/2/24,Rake,1\n");
    sheet.doParse(1);
    ASSERT_TRUE(sheet.selectController());
    TWNotificationRecorder recorder(business.get());
    sheet.selectController()->importButton()->click();
    EXPECT_EQ(business->tasks().size(), 2);
    EXPECT_TRUE(business->taskItems().isEmpty());
    EXPECT_EQ(recorder.names().count(TWTaskNewNotification), 1);
    EXPECT_EQ(recorder.names().count(TWTaskItemNewNotification), 1);
    EXPECT_EQ(recorder.names().count(QStringLiteral("valueNew")), 1);
}

// The settings cell of a mapped line by the kind of import: a date format
// ('F') for a task's date, start and end, a check box ('C') for client and
// project; an expense's tax rate (-8) and total (-9) have none ('-').
TEST(WorkImportMappingTest, TheSettingsCellFollowsTheFieldOfItsOwnKind)
{
    const QList<qint32> codes{-1, -2, -3, -8, -9};
    for (const auto &[kind, settings] : {std::pair{TWImportWorkField::Task, "FCCFF"},
                                         std::pair{TWImportWorkField::Expense, "FCC--"}}) {
        for (qsizetype i = 0; i < codes.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << " code " << codes.at(i));
            TWImportWorkMappingModel model(kind, nullptr);
            TWImportWorkMappingModel::Line line =
                kind == TWImportWorkField::Task
                    ? TWImportWorkMappingModel::Line(std::make_shared<TWImportTaskField>())
                    : TWImportWorkMappingModel::Line(std::make_shared<TWImportExpenseField>());
            line->setType(TWImportFieldTypeField);
            line->setFieldIdentifier(codes.at(i));
            model.setLines({line});
            const Qt::ItemFlags flags = model.flags(model.index(0, 2));
            EXPECT_EQ(bool(flags & Qt::ItemIsEditable), settings[i] == 'F');
            EXPECT_EQ(bool(flags & Qt::ItemIsUserCheckable), settings[i] == 'C');
            EXPECT_EQ(model.setData(model.index(0, 2), QStringLiteral("d.M.yy"), Qt::EditRole),
                      settings[i] == 'F');
        }
    }
}

// A file of no rows opens the mapping; going on leads to an empty selection
// whose box is on, with nothing to import.
TEST_F(ExpenseImportSheetTest, AFileWithoutRowsOpensTheSheetAndLeadsToAnEmptySelection)
{
    addWebsite();
    TWImportExpensesController sheet;
    open(sheet, "Date,Name,Cost\n");
    EXPECT_TRUE(alerts.isEmpty());
    ASSERT_TRUE(sheet.parseButton()->isEnabled());
    sheet.doParse(1);
    TWImportWorkSelectController *selection = sheet.selectController();
    ASSERT_TRUE(selection);
    EXPECT_TRUE(selection->importExpensesController()->expenses().isEmpty());
    EXPECT_EQ(selection->importAllCheckbox()->checkState(), Qt::Checked);
    EXPECT_FALSE(selection->importButton()->isEnabled());
}

TEST_F(TaskImportSheetTest, AMissingProjectIsMadeForItsClientInAnyLetterCase)
{
    const TWClientPtr other = addClient(QStringLiteral("Other"));
    const TWClientPtr acme = addClient(QStringLiteral("Acme"));
    TWImportTasksController sheet;
    sheet.setBusiness(business.get());
    sheet.reset();
    sheet.importURL(file("Date,Client,Project,Name,Quantity\n6/1/24,ACME,Garden,Dig,2\n"));
    create(sheet, -3);
    sheet.doParse(1);
    ASSERT_EQ(business->projects().size(), 1);
    EXPECT_EQ(business->projects().constFirst()->name(), QStringLiteral("Garden"));
    EXPECT_EQ(business->projects().constFirst()->clientIdentifier(), acme->identifier());
    ASSERT_TRUE(sheet.selectController());
    Q_UNUSED(other);
}

TEST_F(TaskImportSheetTest, WithoutProjectsTheImportStopsAndSaysWhy)
{
    TWImportTasksController sheet;
    sheet.setBusiness(business.get());
    sheet.reset();
    sheet.importURL(file("Date,Name,Quantity\n6/1/24,Dig,2\n"));
    sheet.doParse(1);
    EXPECT_EQ(alerts, QStringList{TWLocalized("importNoProjects")});
    EXPECT_FALSE(sheet.selectController());
}

TEST_F(ExpenseImportSheetTest, DuplicatesStartUntickedAndOneNotificationCoversTheImport)
{
    const TWClientPtr acme = addClient(QStringLiteral("Acme"));
    const TWProjectPtr website = addProject(QStringLiteral("Website"), acme);
    ASSERT_OK(business->addExpense(TWExpense::expenseWithDate(twLocal(2024, 6, 1),
                                                              QStringLiteral("Paper"), 1.0, 1250,
                                                              0.0, QString(), website->identifier(),
                                                              business->nextExpenseIdentifier()),
                                   false));
    TWImportExpensesController sheet;
    sheet.setBusiness(business.get());
    sheet.setDefaultProject(website);
    sheet.reset();
    sheet.importURL(file("Date,Name,Cost\n6/1/24,Paper,12.50\n6/2/24,Ink,8.00\n"
                         "6/3/24,Pens,3.00\n6/4/24,Tape,1.00\n"));
    sheet.doParse(1);
    TWImportWorkSelectController *selection = sheet.selectController();
    ASSERT_TRUE(selection);
    EXPECT_EQ(selection->importExpensesController()->importSelectedExpenses().size(), 3);
    EXPECT_EQ(selection->importAllCheckbox()->checkState(), Qt::PartiallyChecked);
    TWNotificationRecorder recorder(business.get());
    const qsizetype before = business->expenses().size();
    selection->importButton()->click();
    EXPECT_EQ(business->expenses().size(), before + 3);
    EXPECT_EQ(recorder.names().count(TWExpenseNewNotification), 1);
}

TEST_F(ExpenseImportSheetTest, ARefusedExpenseLeavesNothingBehind)
{
    addWebsite();
    TWImportExpensesController sheet;
    open(sheet, "Date,Name,Cost\n6/2/24,Ink,8.00\n6/3/24,Bad,3.00\n");
    sheet.doParse(1);
    ASSERT_TRUE(sheet.selectController());
    twExec(*business,
           QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE INSERT ON expenses "
                          "WHEN NEW.name = 'Bad' BEGIN SELECT RAISE(ABORT, 'no'); END;"));
    QList<TWError> shown;
    QObject::connect(sheet.selectController(), &TWImportWorkSelectController::errorPresented,
                     [&shown](const TWError &error) { shown.append(error); });
    TWNotificationRecorder recorder(business.get());
    sheet.selectController()->importButton()->click();
    EXPECT_EQ(shown.size(), 1);
    EXPECT_TRUE(business->expenses().isEmpty());
    EXPECT_TRUE(recorder.names().isEmpty());
}

namespace
{

class WorkImportSourceListTest : public TWWindowTest
{
protected:
    void SetUp() override
    {
        TWWindowTest::SetUp();
        twSetAlertPresenter([](const TWAlert &, TWAlertCompletion completion) {
            if (completion)
                completion(1000);
        });
    }
    void TearDown() override
    {
        twSetAlertPresenter({});
        TWWindowTest::TearDown();
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(WorkImportSourceListTest, ClientsMadeByATaskImportAreListedAtOnce)
{
    auto document = windowDocument([](TWBusiness &b) {
        const TWClientPtr acme = addClient(b, QStringLiteral("Acme"));
        EXPECT_OK(b.addProject(
            TWProject::projectWithDate(twLocal(2024, 1, 1), false, QStringLiteral("Website"),
                                       TWProjectTypeProject, {}, {}, 0,
                                       b.unitWithCode(QStringLiteral("USD")), 0, {},
                                       acme->identifier(), b.nextProjectIdentifier()),
            false));
    });
    TWBusiness &b = *document->business();
    const QString path = dir.filePath(QStringLiteral("tasks.csv"));
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("Date,Client,Project,Name,Quantity\n6/1/24,Newco,Website,Dig,2\n"
              "6/2/24,Otherco,Website,Rake,1\n");
    out.close();
    TWImportTasksController sheet;
    sheet.setBusinessController(document.get());
    sheet.setBusiness(&b);
    sheet.reset();
    sheet.importURL(QUrl::fromLocalFile(path));
    TWImportWorkMappingModel *model = sheet.model();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->lines().at(row)->activeIdentifier() == -2) {
            ASSERT_TRUE(model->setData(model->index(row, 2), Qt::Checked, Qt::CheckStateRole));
        }
    }
    sheet.doParse(1);
    for (const QString &name : {QStringLiteral("Newco"), QStringLiteral("Otherco")}) {
        TWClientPtr made;
        for (const TWClientPtr &client : b.clients())
            if (client->name() == name)
                made = client;
        ASSERT_TRUE(made) << name.toStdString();
        EXPECT_TRUE(master(*document).masterItemWithType(TWMasterItemEntity, TWItemTypeClient,
                                                         made->identifier()))
            << name.toStdString();
    }
}
