#include "ImportProcessTestSupport.h"
#include "foundation/TWPropertyList.h"
#include "import/core/TWImportExpensesSettings.h"
#include "import/core/TWImportTasksSettings.h"
#include "model/TWBuiltInFields.h"
#include "model/TWFormatter.h"

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

// A bank file and a mileage log keep their lines of one column apart: each
// reads only its own, the bank's where every earlier build kept it.
TEST_F(ImportMappingTest, EachKindOfFileReadsOnlyTheLinesItStored)
{
    const TWAccountPtr fuel =
        twImportAccount(*business, QStringLiteral("Fuel"), TWAccountTypeExpense);
    const QString debitEnd = QStringLiteral("Debit (end)");
    const QString fee = QStringLiteral("Fee");
    QVariantMap stored{
        {debitEnd, QVariantMap{{"type", 1u}, {"field", -10}, {"unit", "USD"}}},
        {QStringLiteral("Date (end)"), QVariantMap{{"type", 0u}}},
        {fee, QVariantMap{{"type", 2u}, {"account", quint32(fuel->identifier())}}},
    };
    business->setImportTransactionsSettings(stored);
    const auto made = [this](const QString &name, bool mileageFile) {
        return TWImportTransactionField::importTransactionFieldWithSourceName(
            name, nullptr, *business, mileageFile);
    };
    EXPECT_EQ(made(debitEnd, false)->builtInIdentifier(), TWFieldIdentifierDebit);
    EXPECT_EQ(made(debitEnd, true)->type(), TWImportFieldTypeNone);
    // A set-aside column that is no amount stays as stored.
    EXPECT_EQ(made(QStringLiteral("Date (end)"), false)->type(), TWImportFieldTypeNone);
    EXPECT_EQ(made(fee, false)->account(), fuel);
    EXPECT_EQ(made(fee, true)->type(), TWImportFieldTypeNone);

    // The log's own choice is kept beside the bank's.
    const auto log = TWImportTransactionsSettings::importTransactionsSettingsWithColumns(
        {fee}, nullptr, *business);
    log->setMileageFile(true);
    log->updateField(*log->importFields().first(), TWImportFieldTypeField,
                     business->fieldWithIdentifier(TWFieldIdentifierNotes), nullptr, *business);
    log->storeInto(stored);
    business->setImportTransactionsSettings(stored);
    EXPECT_EQ(made(fee, false)->account(), fuel);
    EXPECT_EQ(made(fee, true)->builtInIdentifier(), TWFieldIdentifierNotes);

    // Deleting the bank's account forgets the bank's line, not the log's.
    ASSERT_OK(business->deleteAccount(fuel, false));
    EXPECT_EQ(made(fee, false)->type(), TWImportFieldTypeNone);
    EXPECT_EQ(made(fee, false)->builtInIdentifier(), 0);
    EXPECT_EQ(made(fee, true)->builtInIdentifier(), TWFieldIdentifierNotes);
}

// A bank file's column the user set aside stays aside at the next file of
// that column, a running balance's "(end)" or "(start)" too, also once the
// document is saved and opened again; only "set aside" an earlier build
// stored for such a column is guessed again. Storing keeps the mileage log's
// line of the column, and the keys earlier builds read stay as they were.
TEST_F(ImportMappingTest, ABankFilesColumnSetAsideIsRestoredAsStored)
{
    const QString end = QStringLiteral("Amount (end)");
    const QString start = QStringLiteral("Debit (start)");
    const QStringList columns{QStringLiteral("Date"), QStringLiteral("Amount"), end, start};
    const QVariantMap logLine{{TWImportKeyType, 1u}, {TWImportKeyField, -15}};
    QVariantMap stored{{end, QVariantMap{{TWImportKeyMileage, logLine}}}};
    business->setImportTransactionsSettings(stored);
    const auto first = twImportSettings(*business, columns, bank);
    for (const int column : {2, 3}) {
        TWImportTransactionField &line = *first->importFields().at(column);
        ASSERT_NE(line.builtInIdentifier(), 0) << column; // guessed as an amount
        first->updateField(line, TWImportFieldTypeNone, nullptr, nullptr, *business);
    }
    first->storeInto(stored);
    // As the document keeps its settings between sessions.
    const TWResult<QByteArray> xml = TWPropertyList::xmlData(stored);
    ASSERT_TRUE(xml.ok());
    const TWResult<QVariant> kept = TWPropertyList::readData(xml.value);
    ASSERT_TRUE(kept.ok());
    stored = kept.value.toMap();
    business->setImportTransactionsSettings(stored);

    // Read again, and stored again from what was read.
    for (int read = 0; read < 2; ++read) {
        SCOPED_TRACE(read);
        const auto again = twImportSettings(*business, columns, bank);
        EXPECT_EQ(again->importFields().at(1)->builtInIdentifier(), TWFieldIdentifierTotal);
        EXPECT_EQ(again->importFields().at(2)->type(), TWImportFieldTypeNone);
        EXPECT_EQ(again->importFields().at(3)->type(), TWImportFieldTypeNone);
        again->storeInto(stored);
        business->setImportTransactionsSettings(stored);
    }
    QVariantMap entry = stored.value(end).toMap();
    EXPECT_EQ(entry.take(TWImportKeyMileage).toMap(), logLine);
    EXPECT_EQ(TWPropertyList::unsignedIntValue(entry.value(TWImportKeyType), 9), 0u);
    EXPECT_FALSE(entry.contains(TWImportKeyField));
    EXPECT_FALSE(entry.contains(TWImportKeyUnit));

    // "Set aside" as an earlier build stored it: the amount its name says.
    for (const QString &column : {end, start})
        stored.insert(column, QVariantMap{{TWImportKeyType, 0u}});
    business->setImportTransactionsSettings(stored);
    const auto earlier = twImportSettings(*business, columns, bank);
    EXPECT_EQ(earlier->importFields().at(2)->builtInIdentifier(), TWFieldIdentifierTotal);
    EXPECT_EQ(earlier->importFields().at(3)->builtInIdentifier(), TWFieldIdentifierDebit);
}

} // namespace
