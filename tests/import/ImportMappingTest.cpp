#include "ImportProcessTestSupport.h"
#include "TWFormatter.h"
#include "TWImportExpensesSettings.h"
#include "TWImportTasksSettings.h"

#include <QDir>

namespace
{

class ImportMappingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        business = twImportBusiness();
        ASSERT_TRUE(business);
        bank = twImportAccount(*business, QStringLiteral("Checking"), TWAccountTypeBank);
        pounds = twImportAccount(*business, QStringLiteral("London"), TWAccountTypeBank,
                                 QStringLiteral("GBP"));
    }

    TWImportTransactionFieldPtr line(const QString &name, const TWAccountPtr &account = nullptr)
    {
        return TWImportTransactionField::importTransactionFieldWithSourceName(name, account,
                                                                              *business);
    }
    qint32 guessed(const QString &name)
    {
        const TWImportTransactionFieldPtr made = line(name);
        return made->type() == TWImportFieldTypeField && made->field() ? made->field()->identifier()
                                                                       : 0;
    }

    std::unique_ptr<TWBusiness> business;
    TWAccountPtr bank;
    TWAccountPtr pounds;
};

TEST_F(ImportMappingTest, GuessesTheParsersColumnsAndCommonHeaders)
{
    const QString shortDate = TWFormatter::formatter().shortDateFormat();
    // The QIF reader's columns.
    const QList<std::pair<const char *, qint32>> expected{
        {"Cleared", -2},
        {"Date", -3},
        {"Payee", -5},
        {"Memo", -6},
        {"Account 1", -7},
        {"Account 2", -8},
        {"Amount", -12},
        {"Unit", -16},
        // Special names in any case; "AMOUNT..." by its beginning.
        {"name", -5},
        {"mEmO", -6},
        {"amount paid", -12},
        {"account 1", -7},
        // The first field in the importable order whose name matches by words.
        {"Date Paid", -3},
        {"Posting Date", -3},
        {"Notes", -15},
        {"Credit", -11},
        {"Debit", -10},
        {"Date Created", -3},
        {"Account", -8},
    };
    for (const auto &[name, identifier] : expected)
        EXPECT_EQ(guessed(QString::fromUtf8(name)), identifier) << name;

    // Empty or unknown headers import nothing; account 1 never by the word match.
    EXPECT_EQ(line(QString())->type(), TWImportFieldTypeNone);
    EXPECT_EQ(line(QStringLiteral("Reference"))->type(), TWImportFieldTypeNone);

    // Dates get the short date format; amounts the default account's unit,
    // the home unit without one, or the unit an OFX column names.
    EXPECT_EQ(line(QStringLiteral("Date"))->format(), shortDate);
    EXPECT_EQ(line(QStringLiteral("Amount"), pounds)->unit()->code(), QStringLiteral("GBP"));
    EXPECT_EQ(line(QStringLiteral("Amount"))->unit()->code(), QStringLiteral("USD"));
    EXPECT_EQ(line(QStringLiteral("Amount (EUR)"), pounds)->unit()->code(), QStringLiteral("EUR"));
    EXPECT_EQ(line(QStringLiteral("Amount (XQQ)"), pounds)->unit()->code(), QStringLiteral("GBP"));
    EXPECT_FALSE(line(QStringLiteral("Payee"))->unit());

    // A custom field is a target like the built-in ones.
    const TWFieldPtr project =
        twImportField(*business, QStringLiteral("Project Code"), TWFieldTypeText);
    EXPECT_EQ(guessed(QStringLiteral("project code")), project->identifier());
}

TEST_F(ImportMappingTest, StoredEntryBeatsTheGuess)
{
    QVariantMap stored;
    stored.insert(QStringLiteral("Memo"), QVariantMap{{"type", 1u}, {"field", -5}});
    stored.insert(QStringLiteral("Date"), QVariantMap{{"type", 0u}});
    stored.insert(
        QStringLiteral("Fee"),
        QVariantMap{{"type", 2u}, {"account", quint32(pounds->identifier())}, {"unit", "GBP"}});
    stored.insert(QStringLiteral("Gone"), QVariantMap{{"type", 2u}, {"account", 9999u}});
    stored.insert(QStringLiteral("Files"),
                  QVariantMap{{"type", 1u}, {"field", -14}, {"folderURL", "/no/such/folder"}});
    business->setImportTransactionsSettings(stored);

    EXPECT_EQ(line(QStringLiteral("Memo"))->field()->identifier(), -5);
    // Exact, case-sensitive names: "memo" is not the stored "Memo".
    EXPECT_EQ(line(QStringLiteral("memo"))->field()->identifier(), -6);
    const auto date = line(QStringLiteral("Date"));
    EXPECT_EQ(date->type(), TWImportFieldTypeNone);
    EXPECT_FALSE(date->field());
    EXPECT_TRUE(date->format().isNull());
    const auto fee = line(QStringLiteral("Fee"));
    EXPECT_EQ(fee->type(), TWImportFieldTypeAccount);
    EXPECT_EQ(fee->account(), pounds);
    EXPECT_EQ(fee->unit()->code(), QStringLiteral("GBP"));
    // A line naming an account that no longer exists keeps its type only.
    const auto gone = line(QStringLiteral("Gone"));
    EXPECT_EQ(gone->type(), TWImportFieldTypeAccount);
    EXPECT_FALSE(gone->account());
    // A folder that has disappeared is dropped.
    EXPECT_FALSE(line(QStringLiteral("Files"))->folderURL().isValid());
}

TEST_F(ImportMappingTest, StoredEntriesKeyByKey)
{
    TWTestTempDir folder;
    const TWFieldPtr tags = twImportField(*business, QStringLiteral("Labels"), TWFieldTypeTags);
    const TWFieldPtr due = twImportField(*business, QStringLiteral("Due"), TWFieldTypeDate);
    const QStringList columns{"Date",        "Payee", "Account 1", "Amount",  "Labels",
                              "Attachments", "Due",   "Fee",       "Nothing", "Unit"};
    auto settings = twImportSettings(*business, columns, bank);
    const auto &lines = settings->importFields();
    settings->updateField(*lines[7], TWImportFieldTypeAccount, nullptr, pounds, *business);
    lines[5]->setFolderURL(QUrl::fromLocalFile(folder.path()));
    lines[2]->setCreateIfNeeded(true);

    const QVariantMap map = settings->settings();
    const auto entry = [&](const char *name) { return map.value(QString::fromUtf8(name)).toMap(); };
    const QString shortDate = TWFormatter::formatter().shortDateFormat();
    EXPECT_EQ(entry("Date"), (QVariantMap{{"type", 1u}, {"field", -3}, {"format", shortDate}}));
    EXPECT_EQ(entry("Payee"), (QVariantMap{{"type", 1u}, {"field", -5}}));
    EXPECT_EQ(entry("Account 1"),
              (QVariantMap{{"type", 1u}, {"field", -7}, {"createIfNeeded", true}}));
    EXPECT_EQ(entry("Amount"), (QVariantMap{{"type", 1u}, {"field", -12}, {"unit", "USD"}}));
    EXPECT_EQ(
        entry("Labels"),
        (QVariantMap{{"type", 1u}, {"field", tags->identifier()}, {"createIfNeeded", false}}));
    EXPECT_EQ(entry("Attachments"),
              (QVariantMap{{"type", 1u}, {"field", -14}, {"folderURL", folder.path()}}));
    EXPECT_EQ(entry("Due"),
              (QVariantMap{{"type", 1u}, {"field", due->identifier()}, {"format", shortDate}}));
    EXPECT_EQ(
        entry("Fee"),
        (QVariantMap{{"type", 2u}, {"account", quint32(pounds->identifier())}, {"unit", "GBP"}}));
    EXPECT_EQ(entry("Nothing"), (QVariantMap{{"type", 0u}}));
    EXPECT_EQ(entry("Unit"), (QVariantMap{{"type", 1u}, {"field", -16}}));
    EXPECT_EQ(map.value("Fee").toMap().value("type").metaType().id(), QMetaType::UInt);
    EXPECT_EQ(map.value("Date").toMap().value("field").metaType().id(), QMetaType::Int);

    // Stored in the document, the same columns come back as they were left.
    business->setImportTransactionsSettings(map);
    auto restored = twImportSettings(*business, columns, nullptr);
    EXPECT_EQ(restored->settings(), map);
    EXPECT_EQ(restored->importFields()[5]->folderURL(), QUrl::fromLocalFile(folder.path()));

    // Two columns of one name share an entry: the later line wins.
    auto twice = twImportSettings(*business, {"Payee", "Payee"}, nullptr);
    twice->updateField(*twice->importFields()[1], TWImportFieldTypeNone, nullptr, nullptr,
                       *business);
    EXPECT_EQ(twice->settings().value("Payee").toMap(), (QVariantMap{{"type", 0u}}));
    EXPECT_EQ(twice->activeFieldCount(), 1);
}

TEST_F(ImportMappingTest, DeletedAccountTakesItsEntriesAlong)
{
    const TWAccountPtr fees =
        twImportAccount(*business, QStringLiteral("Fees"), TWAccountTypeExpense);
    auto settings = twImportSettings(*business, {"Fee", "Payee"}, bank);
    settings->updateField(*settings->importFields()[0], TWImportFieldTypeAccount, nullptr, fees,
                          *business);
    business->setImportTransactionsSettings(settings->settings());
    ASSERT_EQ(line(QStringLiteral("Fee"))->account(), fees);

    ASSERT_FALSE(business->deleteAccount(fees, false));
    EXPECT_FALSE(business->importTransactionsSettings().contains(QStringLiteral("Fee")));
    EXPECT_TRUE(business->importTransactionsSettings().contains(QStringLiteral("Payee")));
    // The column is guessed again (and nothing matches "Fee").
    EXPECT_EQ(line(QStringLiteral("Fee"))->type(), TWImportFieldTypeNone);
}

TEST_F(ImportMappingTest, UserChoiceFillsUnitAndFormat)
{
    const TWFormatter &formatter = TWFormatter::formatter();
    auto settings = twImportSettings(*business, {"Zzz"}, pounds);
    TWImportTransactionField &a = *settings->importFields()[0];
    EXPECT_EQ(settings->activeFieldCount(), 0);

    a.setFolderURL(QUrl::fromLocalFile(QDir::tempPath()));
    twMapField(*settings, *business, 0, -11);
    EXPECT_EQ(a.unit()->code(), QStringLiteral("GBP"));
    EXPECT_FALSE(a.folderURL().isValid());
    EXPECT_EQ(settings->activeFieldCount(), 1);

    twMapField(*settings, *business, 0, -17);
    EXPECT_EQ(a.format(), formatter.shortDateTimeFormat());
    twMapField(*settings, *business, 0, -3);
    EXPECT_EQ(a.format(), formatter.shortDateFormat());
    twMapField(*settings, *business, 0, -5);
    EXPECT_FALSE(a.unit());

    settings->updateField(a, TWImportFieldTypeAccount, nullptr, bank, *business);
    EXPECT_EQ(a.unit()->code(), QStringLiteral("USD"));
    settings->setDefaultAccount(nullptr);
    twMapField(*settings, *business, 0, -12);
    EXPECT_EQ(a.unit(), business->homeUnit());
    settings->updateField(a, TWImportFieldTypeNone, nullptr, nullptr, *business);
    EXPECT_FALSE(a.unit());
    EXPECT_EQ(settings->activeFieldCount(), 0);
}

TEST_F(ImportMappingTest, TaskAndExpenseColumns)
{
    const TWFormatter &formatter = TWFormatter::formatter();
    const auto task = [&](const char *name) {
        return TWImportTaskField::importTaskFieldWithSourceName(QString::fromUtf8(name), nullptr,
                                                                *business);
    };
    const auto expense = [&](const char *name) {
        return TWImportExpenseField::importExpenseFieldWithSourceName(QString::fromUtf8(name),
                                                                      nullptr, *business);
    };
    EXPECT_EQ(task("")->type(), TWImportFieldTypeNone);
    EXPECT_EQ(task("Start Date")->fieldIdentifier(), -8);
    EXPECT_EQ(task("Start Date")->format(), formatter.shortDateTimeFormat());
    EXPECT_EQ(task("date")->fieldIdentifier(), -1);
    EXPECT_EQ(task("date")->format(), formatter.shortDateFormat());
    // A header some field's name holds wins in the first pass, even over a
    // later exact name; one holding a whole name only in the second.
    EXPECT_EQ(task("Rate")->fieldIdentifier(), -11);
    EXPECT_EQ(task("Tax")->fieldIdentifier(), -13);
    EXPECT_EQ(task("Task Name")->fieldIdentifier(), -6);
    EXPECT_EQ(task("Hours Worked")->type(), TWImportFieldTypeNone);
    EXPECT_EQ(expense("Cost")->fieldIdentifier(), -6);
    EXPECT_EQ(expense("Expense Date")->fieldIdentifier(), -1);
    EXPECT_EQ(expense("Expense Date")->format(), formatter.shortDateFormat());
    EXPECT_TRUE(expense("Name")->format().isNull());

    auto tasks = TWImportTasksSettings::importTasksSettingsWithColumns(
        {"Client", "Project", "Date", "Start Date", "Other"}, nullptr, *business);
    tasks->importFields()[0]->setCreateIfNeeded(true);
    const QVariantMap map = tasks->settings();
    EXPECT_EQ(map.value("Client").toMap(),
              (QVariantMap{{"type", 1u}, {"field", -2}, {"createIfNeeded", true}}));
    EXPECT_EQ(map.value("Project").toMap(),
              (QVariantMap{{"type", 1u}, {"field", -3}, {"createIfNeeded", false}}));
    EXPECT_EQ(map.value("Date").toMap(),
              (QVariantMap{{"type", 1u}, {"field", -1}, {"format", formatter.shortDateFormat()}}));
    EXPECT_EQ(
        map.value("Start Date").toMap(),
        (QVariantMap{{"type", 1u}, {"field", -8}, {"format", formatter.shortDateTimeFormat()}}));
    EXPECT_EQ(map.value("Other").toMap(), (QVariantMap{{"type", 0u}}));
    EXPECT_EQ(tasks->activeFieldCount(), 4);

    // Restored exactly, even where the guess would differ.
    business->setImportTasksSettings({{"Date", QVariantMap{{"type", 1u}, {"field", -15}}}});
    EXPECT_EQ(task("Date")->fieldIdentifier(), -15);
    EXPECT_TRUE(task("Date")->format().isNull());
    EXPECT_EQ(expense("Date")->fieldIdentifier(), -1);

    // Choosing a date field brings its format; other fields leave it.
    TWImportTaskField &other = *tasks->importFields()[4];
    tasks->updateField(other, TWImportFieldTypeField, -9);
    EXPECT_EQ(other.format(), formatter.shortDateTimeFormat());
    tasks->updateField(other, TWImportFieldTypeField, -6);
    EXPECT_EQ(other.format(), formatter.shortDateTimeFormat());
}

} // namespace
