// Editing values in the editor: completion, the one-shot autofill, the
// account rows' rules, units and amounts that are never silently changed.

#include "TWDateTypingSupport.h"
#include "TransactionEditorTestSupport.h"

#include "ledger/TWAmountArithmetic.h"
#include "ledger/TWTotalController.h"
#include "ledger/TWValueCompleter.h"

#include "model/TWPreferences.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDateEdit>

namespace
{

using TransactionEditorValues = TransactionEditorTest;

TEST(TransactionEditorCompletion, OffersFromTheFourthCharacterInAnyCaseInOrder)
{
    const QStringList names = {QStringLiteral("ACME Tools"), QStringLiteral("Acme Corp"),
                               QStringLiteral("Bolt"), QStringLiteral("acmeish")};
    EXPECT_TRUE(twValueCompletions(names, QStringLiteral("acm")).isEmpty());
    EXPECT_EQ(twValueCompletions(names, QStringLiteral("aCmE")),
              (QStringList{QStringLiteral("ACME Tools"), QStringLiteral("Acme Corp"),
                           QStringLiteral("acmeish")}));
    EXPECT_EQ(twValueCompletions(names, QStringLiteral("acme t")),
              (QStringList{QStringLiteral("ACME Tools")}));
    EXPECT_TRUE(twValueCompletions(names, QStringLiteral("Zzzz")).isEmpty());

    EXPECT_TRUE(twFieldCompletes(TWField(QString(), TWFieldTypeStandard, true, true, -5)));
    EXPECT_TRUE(twFieldCompletes(TWField(QString(), TWFieldTypeStandard, true, true, -6)));
    EXPECT_TRUE(twFieldCompletes(TWField(QString(), TWFieldTypeText, false, false, 3)));
    EXPECT_FALSE(twFieldCompletes(TWField(QString(), TWFieldTypeStandard, false, true, -15)));
    EXPECT_FALSE(twFieldCompletes(TWField(QString(), TWFieldTypeCurrency, false, false, 4)));
}

TEST_F(TransactionEditorValues, TypingAPayeeOffersRememberedValuesNeverForNotes)
{
    for (const char *name : {"Acme Corp", "acme tools", "Bolt Ltd"})
        ASSERT_OK(business->rememberValue(QLatin1String(name), -5, false));
    ASSERT_OK(business->rememberValue(QStringLiteral("Acme note"), -15, false));
    TWPreferences::preferences().setAutoCompleteTextFields(true);

    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 100));
    ASSERT_TRUE(editor);
    QLineEdit *payee = textField(editor, -5);
    QTest::keyClicks(payee, QStringLiteral("ACM"));
    EXPECT_TRUE(editor->completer()->offered().isEmpty());
    QTest::keyClicks(payee, QStringLiteral("e"));
    EXPECT_EQ(editor->completer()->offered(),
              (QStringList{QStringLiteral("Acme Corp"), QStringLiteral("acme tools")}));
    // Nothing is preselected: Return keeps what was typed.
    EXPECT_FALSE(editor->completer()->completer()->popup()->currentIndex().isValid());
    EXPECT_EQ(payee->text(), QStringLiteral("ACMe"));
    // Choosing one puts it into the transaction.
    emit editor->completer()->completer()->activated(QStringLiteral("acme tools"));
    EXPECT_EQ(editor->editTransaction()->payee(), QStringLiteral("acme tools"));

    QLineEdit *notes = textField(editor, -15);
    ASSERT_TRUE(notes);
    QTest::keyClicks(notes, QStringLiteral("Acme"));
    EXPECT_TRUE(editor->completer()->offered().isEmpty());

    TWPreferences::preferences().setAutoCompleteTextFields(false);
    QTest::keyClicks(payee, QStringLiteral(" "));
    EXPECT_TRUE(editor->completer()->offered().isEmpty());
    TWPreferences::preferences().setAutoCompleteTextFields(true);
}

TEST_F(TransactionEditorValues, AutofillFillsFromTheFirstEditOnly)
{
    business->setAutofill(true);
    TWTransactionPtr earlier = makeTransaction(rent, bank, 4200);
    earlier->setPayee(QStringLiteral("Landlord"));
    earlier->setDescription(QStringLiteral("November rent"));
    ASSERT_OK(business->addTransaction(earlier, false, false, false, true));

    // Payee first: the rest comes from the latest transaction with that payee.
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 0));
    ASSERT_TRUE(editor);
    type(editor, -5, QStringLiteral("Landlord"));
    EXPECT_EQ(editor->editTransaction()->description(), QStringLiteral("November rent"));
    EXPECT_EQ(textField(editor, -6)->text(), QStringLiteral("November rent"));
    EXPECT_EQ(editor->editTransaction()->total(), 4200);
    EXPECT_EQ(popUp(editor, -7)->currentText(), rent->name());
    editor->doSave(0);

    // The date first uses up the permission: the payee then fills nothing.
    editor = openNew(makeTransaction(bank, sales, 0));
    auto *date = qobject_cast<QDateEdit *>(editor->valueViewForField(-3));
    ASSERT_TRUE(date);
    date->setDate(date->date().addDays(1));
    type(editor, -5, QStringLiteral("Landlord"));
    EXPECT_TRUE(editor->editTransaction()->description().isEmpty());
    editor->doSave(0);

    // Editing a stored transaction never autofills.
    editor = openEdit(storeTransaction(QStringLiteral("Other"), 5));
    type(editor, -5, QStringLiteral("Landlord"));
    EXPECT_TRUE(editor->editTransaction()->description().isEmpty());
}

TEST_F(TransactionEditorValues, ATypedDateIsReadWholeInTheLocalesOrder)
{
    for (const auto &[locale, text] :
         {std::pair{"en_US", "10/5/26"}, std::pair{"de_DE", "5.10.26"}}) {
        SCOPED_TRACE(locale);
        TWLocaleGuard pinned{QString::fromLatin1(locale)};
        TWTransactionController *editor = openNew(makeTransaction(bank, sales, 100));
        ASSERT_TRUE(editor);
        auto *date = qobject_cast<QDateEdit *>(editor->valueViewForField(-3));
        ASSERT_TRUE(date);
        twTypeDate(date, QString::fromLatin1(text));
        EXPECT_EQ(editor->editTransaction()->date().date(), QDate(2026, 10, 5));
        // Unreadable text leaves the date as it was.
        twTypeDate(date, QStringLiteral("5/13/"));
        EXPECT_EQ(editor->editTransaction()->date().date(), QDate(2026, 10, 5));
        editor->doSave(0);
    }
}

TEST_F(TransactionEditorValues, UnreadableAmountTextKeepsTheAmountAndIsRefusedOnSave)
{
    const TWFieldPtr fee = TWField::fieldWithName(QStringLiteral("Fee"), TWFieldTypeCurrency, false,
                                                  false, business->nextFieldIdentifier());
    ASSERT_OK(business->addField(fee, false));
    business->columnSettingsAddField(*fee);
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 500));
    ASSERT_TRUE(editor);
    type(editor, fee->identifier(), QStringLiteral("12.34"));
    EXPECT_EQ(editor->editTransaction()->fieldValueWithField(*fee, false)->currency(), 1234);
    // Unreadable text stays for the user to mend, and Save refuses it.
    type(editor, fee->identifier(), QStringLiteral("12..x"));
    EXPECT_EQ(editor->editTransaction()->fieldValueWithField(*fee, false)->currency(), 1234);
    EXPECT_EQ(textField(editor, fee->identifier())->text(), QStringLiteral("12..x"));
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Refused);
    type(editor, fee->identifier(), QStringLiteral("12.34"));

    // The amount view's edits reach the working copy, converted.
    TWTotalController *total = editor->totalController();
    total->field(TWTotalFieldDebit)->setText(QStringLiteral("7.25"));
    total->updateTotalTextField(TWTotalFieldDebit);
    EXPECT_EQ(editor->editTransaction()->total(), 725);
    EXPECT_EQ(editor->editTransaction()->totalBusiness(), 725);
}

TEST(TransactionEditorUnits, RescalingIsExactAndRefusesWhatCannotBeHeld)
{
    EXPECT_EQ(TWAmountArithmetic::rescaledTotal(12345, 2, 0), 123);
    EXPECT_EQ(TWAmountArithmetic::rescaledTotal(-12345, 2, 0), -123);
    EXPECT_EQ(TWAmountArithmetic::rescaledTotal(123, 0, 2), 12300);
    // Past 2^53 a double would lose the last digit.
    EXPECT_EQ(TWAmountArithmetic::rescaledTotal(9007199254740993LL, 0, 0), 9007199254740993LL);
    EXPECT_EQ(TWAmountArithmetic::rescaledTotal(900719925474099LL, 0, 1), 9007199254740990LL);
    EXPECT_FALSE(
        TWAmountArithmetic::rescaledTotal(std::numeric_limits<qint64>::max() / 10 + 1, 0, 1));
    EXPECT_FALSE(TWAmountArithmetic::rescaledTotal(1, 0, 19));
    EXPECT_EQ(TWAmountArithmetic::rescaledTotal(5, 30, 0), 0);
}

TEST_F(TransactionEditorValues, AUnitChangeKeepsTheValueOrIsRefusedWithAnAlert)
{
    const TWUnitPtr yen = business->unitWithCode(QStringLiteral("JPY"));
    ASSERT_TRUE(yen);
    ASSERT_EQ(yen->decimalPlaces(), 0);
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 12345));
    ASSERT_TRUE(editor);
    EXPECT_TRUE(editor->updateUnit(yen));
    EXPECT_EQ(editor->editTransaction()->total(), 123);
    EXPECT_TRUE(editor->updateUnit(business->homeUnit()));
    EXPECT_EQ(editor->editTransaction()->total(), 12300);

    EXPECT_TRUE(editor->updateUnit(yen));
    editor->editTransaction()->setTotal(std::numeric_limits<qint64>::max() / 10);
    EXPECT_FALSE(editor->updateUnit(business->homeUnit()));
    EXPECT_EQ(alerts.size(), 1);
    EXPECT_EQ(editor->editTransaction()->unit()->code(), yen->code());
    EXPECT_EQ(editor->editTransaction()->total(), std::numeric_limits<qint64>::max() / 10);
}

TEST_F(TransactionEditorValues, CustomMoneyValuesKeepTheirDigitsWhenTheUnitChanges)
{
    const TWFieldPtr fee = TWField::fieldWithName(QStringLiteral("Fee"), TWFieldTypeCurrency, false,
                                                  false, business->nextFieldIdentifier());
    ASSERT_OK(business->addField(fee, false));
    business->columnSettingsAddField(*fee);
    const TWUnitPtr yen = business->unitWithCode(QStringLiteral("JPY"));
    ASSERT_TRUE(yen);
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 12345));
    ASSERT_TRUE(editor);
    type(editor, fee->identifier(), QStringLiteral("5.00"));
    ASSERT_EQ(editor->editTransaction()->fieldValueWithField(*fee, false)->currency(), 500);

    // The amount view's unit menu: 123.45 dollars become 123 yen, the fee 5 yen.
    ASSERT_TRUE(editor->totalController()->chooseUnit(yen));
    EXPECT_EQ(editor->editTransaction()->total(), 123);
    EXPECT_EQ(editor->editTransaction()->fieldValueWithField(*fee, false)->currency(), 5);
    EXPECT_EQ(textField(editor, fee->identifier())->text(), QStringLiteral("5"));
    ASSERT_TRUE(editor->totalController()->chooseUnit(business->homeUnit()));
    EXPECT_EQ(editor->editTransaction()->fieldValueWithField(*fee, false)->currency(), 500);

    // A unit change through the editor itself, and a saved value, alike.
    EXPECT_TRUE(editor->updateUnit(yen));
    EXPECT_EQ(editor->editTransaction()->fieldValueWithField(*fee, false)->currency(), 5);
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    const TWTransactionPtr stored =
        business->transactionWithIdentifier(editor->editTransaction()->identifier());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->fieldValueWithField(*fee, false)->currency(), 5);
}

} // namespace
