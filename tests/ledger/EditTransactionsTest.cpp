// Setting one field on several transactions at once, on a real ledger: amounts
// in each transaction's own unit, accounts kept apart and unsplit, closed
// periods refused, and one batch of writes.

#include "../store/TWTransactionTestSupport.h"

#include "ledger/TWEditTransactionsController.h"
#include "ledger/TWLedger.h"

#include "TWDateTypingSupport.h"
#include "TWDenyGuard.h"
#include "TWTestSupport.h"
#include "app/TWAppRegistry.h"
#include "app/TWControls.h"
#include "app/TWTypedNumberField.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWInvoice.h"
#include "model/TWRelationship.h"
#include "store/TWTransactionEditing.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

#include <algorithm>

#include <gtest/gtest.h>

namespace
{

constexpr qint32 kYen = 104;   // expense, JPY
constexpr qint32 kDinar = 105; // expense, KWD

class EditTransactionsFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        business = twMakeLedger();
        ASSERT_TRUE(business);
        twExec(*business, "INSERT INTO accounts (identifier, type, name, unit, parentIdentifier, "
                          "sortOrder) VALUES (104, 16, 'Yen costs', 'JPY', 0, 4), "
                          "(105, 16, 'Dinar costs', 'KWD', 0, 5);");
        ASSERT_OK(business->loadAccounts());
        controller.setBusiness(business.get());
        connect();
    }

    void connect()
    {
        QObject::connect(&controller, &TWEditTransactionsController::errorPresented,
                         [this](const TWError &error) { errors.append(error); });
        QObject::connect(&controller, &TWEditorController::endRequested,
                         [this](int code) { codes.append(code); });
    }

    // Stores a transaction whose amounts are all `total` in the unit of `code`.
    TWTransactionPtr add(qint32 identifier, const QDateTime &date, qint32 account1, qint32 account2,
                         qint64 total, const char *code = "USD")
    {
        TWTransactionPtr transaction =
            twMakeTransaction(*business, identifier, date, account1, account2, total);
        transaction->setUnit(business->unitWithCode(QLatin1String(code)));
        EXPECT_OK(business->addTransaction(transaction, false, false, false, false));
        return business->transactionWithIdentifier(identifier);
    }

    // Stores a split transaction from checking to sales of `total`, with
    // `lines` as its split lines.
    TWTransactionPtr addSplit(qint32 identifier, const QDateTime &date, qint64 total,
                              const TWSplitList &lines, const QString &payee = QString())
    {
        TWTransactionPtr transaction =
            twMakeTransaction(*business, identifier, date, kChecking, kSales, total);
        transaction->setPayee(payee);
        transaction->setHasSplit(true);
        transaction->setSplits(lines);
        EXPECT_OK(business->addTransaction(transaction, false, false, false, false));
        return business->transactionWithIdentifier(identifier);
    }

    // The register's rows: views of the stored transactions from account 1.
    void select(const QList<qint32> &identifiers)
    {
        TWTransactionList rows;
        for (qint32 identifier : identifiers) {
            const TWTransactionPtr stored = business->transactionWithIdentifier(identifier);
            rows.append(stored->transactionForActiveAccount(stored->account1Identifier(), 0));
        }
        controller.setTransactions(rows);
        controller.view();
        controller.reset();
    }

    void save() { controller.saveButton()->click(); }

    QLineEdit *textField() const { return qobject_cast<QLineEdit *>(controller.valueView()); }
    TWPopUpButton *popUp() const { return qobject_cast<TWPopUpButton *>(controller.valueView()); }

    TWTransactionPtr stored(qint32 identifier) const
    {
        return business->transactionWithIdentifier(identifier);
    }

    // The question the sheet asks before saving, and an answer to it.
    QMessageBox *alert() { return controller.view()->findChild<QMessageBox *>(); }
    void answer(const QString &button)
    {
        QMessageBox *box = alert();
        ASSERT_TRUE(box);
        for (QAbstractButton *choice : box->buttons())
            if (choice->text() == button)
                choice->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    TWLocaleGuard locale{QStringLiteral("en_US")};
    TWFixedClock clock{2024, 6, 15};
    std::unique_ptr<TWBusiness> business;
    TWEditTransactionsController controller;
    QList<TWError> errors;
    QList<int> codes;
};

using EditTransactionsSheet = EditTransactionsFixture;
using EditTransactionsAmounts = EditTransactionsFixture;
using EditTransactionsAccounts = EditTransactionsFixture;
using EditTransactionsWrites = EditTransactionsFixture;

} // namespace

TEST_F(EditTransactionsSheet, ListsTheEditableFieldsAndMakesAControlPerField)
{
    add(200, twDay(2024, 5, 1), kChecking, kSales, 1000);
    add(201, twDay(2024, 5, 2), kChecking, kSales, 1000);
    add(202, twDay(2024, 5, 3), kChecking, kSales, 1000);
    const TWFieldPtr list = twAddCustomField(*business, QStringLiteral("Kind"), TWFieldTypeList);
    select({200, 201, 202});
    EXPECT_EQ(controller.transactionCountLabel()->text(),
              QStringLiteral("3 ") + TWLocalized("transactionsLower"));

    QList<qint32> offered;
    for (int i = 0; i < controller.fieldPopUpButton()->count(); ++i)
        offered.append(controller.fieldPopUpButton()->itemData(i).toInt());
    EXPECT_EQ(offered.mid(0, 8), (QList<qint32>{-2, -3, -5, -6, -7, -8, -12, -15}));
    EXPECT_TRUE(offered.contains(list->identifier()));

    // The cleared box starts ticked; the account pop-up groups by kind.
    ASSERT_TRUE(controller.selectField(-2));
    auto *box = qobject_cast<QCheckBox *>(controller.valueView());
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->isChecked());
    ASSERT_TRUE(controller.selectField(-7));
    ASSERT_TRUE(popUp());
    const TWEditMenuItems accounts = controller.accountMenuItems();
    QStringList titles;
    for (const TWEditMenuItem &item : accounts)
        titles.append(item.separator ? QStringLiteral("-") : item.title);
    EXPECT_EQ(titles, (QStringList{"Checking", "-", "Card", "-", "Sales", "-", "Dinar costs",
                                   "Rent", "Yen costs"}));
    EXPECT_EQ(popUp()->currentText(), QStringLiteral("Checking"));
    ASSERT_TRUE(controller.selectField(-3));
    EXPECT_TRUE(qobject_cast<QDateEdit *>(controller.valueView()));
    ASSERT_TRUE(controller.selectField(-12));
    ASSERT_TRUE(textField());
    EXPECT_TRUE(textField()->alignment() & Qt::AlignRight);

    // Saving untouched: every transaction cleared; cancel writes nothing.
    ASSERT_TRUE(controller.selectField(-2));
    controller.cancelButton()->click();
    EXPECT_FALSE(stored(200)->cleared());
    select({200, 201, 202});
    controller.selectField(-2);
    save();
    EXPECT_TRUE(stored(200)->cleared() && stored(201)->cleared() && stored(202)->cleared());
    EXPECT_EQ(codes, (QList<int>{-1001, -1002}));
}

TEST_F(EditTransactionsAmounts, UnreadableOrEmptyTotalsAreRefusedNamingTheField)
{
    add(200, twDay(2024, 5, 1), kChecking, kSales, 1000);
    addSplit(201, twDay(2024, 5, 1), 700,
             {twMakeSplit(*business, 0, kChecking, 700), twMakeSplit(*business, 0, kSales, -700)});

    select({200, 201});
    ASSERT_TRUE(controller.selectField(-12));
    // Text that is no amount would have zeroed every total: refused, the
    // sheet stays open with it.
    textField()->setText(QStringLiteral("twelve"));
    save();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].localizedDescription(),
              TWLocalized("refusedFieldMessage")
                  .arg(business->fieldWithIdentifier(-12)->name(),
                       TWFormatter::formatter().typedNumberError(QStringLiteral("twelve"))));
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_EQ(stored(200)->total(), 1000);

    // An empty total is no amount: refused, naming the field, before anything
    // is written or asked (also with a split row selected).
    for (const QList<qint32> &rows : {QList<qint32>{200}, QList<qint32>{200, 201}}) {
        errors.clear();
        select(rows);
        controller.view()->show();
        ASSERT_TRUE(controller.selectField(-12));
        textField()->clear();
        save();
        EXPECT_FALSE(alert());
        ASSERT_EQ(errors.size(), 1);
        EXPECT_EQ(errors[0].localizedDescription(),
                  TWLocalized("editTransactionsEmptyAmount")
                      .arg(business->fieldWithIdentifier(-12)->name()));
        EXPECT_TRUE(codes.isEmpty());
        EXPECT_EQ(stored(200)->total(), 1000);
    }
}

TEST_F(EditTransactionsAmounts, NumbersAreReadAsTheTransactionEditorReadsThemOrRefused)
{
    add(200, twDay(2024, 5, 1), kChecking, kSales, 1000);
    const TWFieldPtr number = twAddCustomField(*business, QStringLiteral("Km"), TWFieldTypeNumber);
    const TWFieldPtr percent = twAddCustomField(*business, QStringLiteral("%"), TWFieldTypePercent);
    // Locale, text, what it reads (0: refused, the stored values kept).
    for (const auto &[locale, typed, read] : QList<std::tuple<const char *, QString, double>>{
             {"en_US", "1,234.5", 1234.5},
             {"en_US", "1234,5", 0},
             {"de_DE", "0.500", 0},
             {"de_DE", "1,5", 1.5},
             {"fr_FR", "1.5", 0},
             {"fa_IR", "1,5", 0},
             {"fa_IR", QString::fromUtf8("\u06F1\u066B\u06F5"), 1.5}}) {
        const TWLocaleGuard guard{QString::fromLatin1(locale)};
        for (const TWFieldPtr &field : {number, percent}) {
            SCOPED_TRACE(
                QStringLiteral("%1 %2 %3").arg(locale, field->name(), typed).toStdString());
            TWTransactionPtr row = stored(200)->copy();
            row->fieldValueWithField(*field, true)->setNumber(2500000.5);
            row->fieldValueWithField(*field, true)->setPercent(12.5f);
            ASSERT_OK(business->updateTransaction(row, false, false, false, false));
            errors.clear();
            select({200});
            ASSERT_TRUE(controller.selectField(field->identifier()));
            textField()->setText(typed);
            save();
            const TWFieldValuePtr after =
                stored(200)->fieldValueWithIdentifier(field->identifier());
            const double kept = field == number ? after->number() : double(after->percent());
            EXPECT_DOUBLE_EQ(kept, read ? read : field == number ? 2500000.5 : 12.5);
            // A refusal names the field with an example, as every refusal does.
            EXPECT_EQ(
                errors.value(0).localizedDescription(),
                read ? QString()
                     : TWLocalized("refusedFieldMessage")
                           .arg(field->name(), TWFormatter::formatter().typedNumberError(typed)));
        }
    }
}

TEST_F(EditTransactionsAmounts, TheLowestAmountIsRefusedAsTheTransactionEditorRefusesIt)
{
    add(200, twDay(2024, 5, 1), kChecking, kSales, -1000, "JPY");
    select({200});
    ASSERT_TRUE(controller.selectField(-12));
    textField()->setText(QStringLiteral("-9223372036854775808"));
    save();
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_TRUE(errors.value(0).localizedDescription().startsWith(
        TWLocalized("refusedFieldMessage").arg(business->fieldWithIdentifier(-12)->name(), "")));
    EXPECT_EQ(stored(200)->total(), -1000);
}

TEST_F(EditTransactionsAmounts, AnEmptyCustomNumberClearsTheValueInsteadOfStoringZero)
{
    TWTransactionPtr row = add(200, twDay(2024, 5, 1), kChecking, kSales, 1000);
    for (std::uint32_t type : {TWFieldTypeNumber, TWFieldTypePercent, TWFieldTypeCurrency}) {
        SCOPED_TRACE(type);
        const TWFieldPtr field = twAddCustomField(*business, QStringLiteral("F%1").arg(type), type);
        row = stored(200)->copy();
        const TWFieldValuePtr value = row->fieldValueWithField(*field, true);
        value->setNumber(2500000.5);
        value->setPercent(12.5f);
        value->setCurrency(250);
        ASSERT_OK(business->updateTransaction(row, false, false, false, false));
        codes.clear();
        select({200});
        ASSERT_TRUE(controller.selectField(field->identifier()));
        textField()->clear();
        save();
        EXPECT_EQ(codes, QList<int>{-1002});
        const TWFieldValuePtr after = stored(200)->fieldValueWithIdentifier(field->identifier());
        EXPECT_TRUE(!after || !after->hasValue());
    }
}

TEST_F(EditTransactionsAmounts, ATypedTotalKeepsEachTransactionsDirection)
{
    constexpr qint32 kReceivable = 106;
    twExec(*business, "INSERT INTO accounts (identifier, type, name, unit, parentIdentifier, "
                      "sortOrder) VALUES (106, 1, 'Receivable', 'USD', 0, 6);");
    ASSERT_OK(business->loadAccounts());
    // Two invoices and their payments, the receivable first in each (as the
    // invoice list makes them), and a sale paid straight into the bank.
    add(300, twDay(2024, 5, 1), kReceivable, kSales, 304000);
    add(301, twDay(2024, 5, 2), kReceivable, kSales, 308000);
    add(302, twDay(2024, 5, 10), kReceivable, kChecking, -304000);
    add(303, twDay(2024, 5, 11), kReceivable, kChecking, -308000);
    add(304, twDay(2024, 5, 12), kChecking, kSales, 50000);
    const auto balance = [this](qint32 account) {
        return business->accountBalance(*business->accountWithIdentifier(account), QDateTime());
    };
    ASSERT_EQ(balance(kChecking), 662000);
    ASSERT_EQ(balance(kReceivable), 0);

    // Each row: the rows edited, the typed total, then the balances of
    // checking, receivable and sales worked out by hand.
    struct Case {
        QList<qint32> rows;
        const char *typed;
        qint64 checking, receivable, sales;
    };
    for (const Case &c : {
             // The payments stay deposits: 20 + 20 + 20 in the bank, the
             // receivable down by 40 from 6,120.
             Case{{302, 303, 304}, "20", 6000, 608000, 614000},
             // A typed minus turns one payment round: out of the bank.
             Case{{302}, "-20", 2000, 612000, 614000},
             // Reversed again: a payment, the whole of the first invoice.
             Case{{302}, "-3,040.00", 308000, 306000, 614000},
         }) {
        SCOPED_TRACE(c.typed);
        codes.clear();
        select(c.rows);
        ASSERT_TRUE(controller.selectField(-12));
        textField()->setText(QLatin1String(c.typed));
        save();
        ASSERT_EQ(codes, QList<int>{-1002});
        EXPECT_EQ(balance(kChecking), c.checking);
        EXPECT_EQ(balance(kReceivable), c.receivable);
        EXPECT_EQ(balance(kSales), c.sales);
    }
}

TEST_F(EditTransactionsAmounts, SplitTransactionsKeepingTheirTotalsAreNamedFirst)
{
    add(200, twDay(2024, 5, 1), kChecking, kSales, 1000);
    addSplit(201, twDay(2024, 5, 3), 1095,
             {twMakeSplit(*business, 0, kSales, 895), twMakeSplit(*business, 0, kRent, 200),
              twMakeSplit(*business, 0, kChecking, -1095)},
             QStringLiteral("Harbor Supply"));
    select({200, 201});
    controller.view()->show();
    ASSERT_TRUE(controller.selectField(-12));
    textField()->setText(QStringLiteral("3"));

    // Asked first, naming the split one; Cancel (the default) writes nothing.
    save();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->text(), TWLocalized("editTransactionsSplitTotalOne"));
    EXPECT_TRUE(alert()->informativeText().contains(QStringLiteral("Harbor Supply")));
    EXPECT_TRUE(alert()->informativeText().contains(QStringLiteral("5/3/24")));
    ASSERT_TRUE(alert()->defaultButton());
    EXPECT_EQ(alert()->defaultButton()->text(), TWLocalized("cancel"));
    answer(TWLocalized("cancel"));
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_EQ(stored(200)->total(), 1000);

    // Confirmed: the others take the total, the split one keeps its lines.
    save();
    answer(TWLocalized("editTransactionsSplitTotalButton"));
    EXPECT_EQ(codes, QList<int>{-1002});
    EXPECT_EQ(stored(200)->total(), 300);
    EXPECT_EQ(stored(201)->total(), 1095);
    EXPECT_EQ(stored(201)->splits().size(), 3);

    // Only split ones: nothing can be set, so nothing is offered but to go back.
    select({201});
    ASSERT_TRUE(controller.selectField(-12));
    textField()->setText(QStringLiteral("3"));
    save();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->buttons().size(), 1);
    answer(alert()->buttons().constFirst()->text());
    EXPECT_EQ(codes, QList<int>{-1002});
    EXPECT_EQ(stored(201)->total(), 1095);
}

TEST_F(EditTransactionsAccounts, TheTwoAccountsStayApartAndANewUnitIsConverted)
{
    add(200, twDay(2024, 5, 1), kChecking, kSales, 1000);
    add(201, twDay(2024, 5, 1), kSales, kCard, 1000);
    select({200, 201});
    ASSERT_TRUE(controller.selectField(-8));
    popUp()->selectItemWithTag(kChecking);
    save();
    // Account 2 became account 1 of the first: account 1 moves to the store's
    // first other account, and checking still gains what it gained.
    EXPECT_EQ(stored(200)->account2Identifier(), kChecking);
    EXPECT_EQ(stored(200)->account1Identifier(), kSales);
    EXPECT_EQ(stored(200)->totalAccount2(), -1000);
    EXPECT_EQ(stored(201)->account1Identifier(), kSales);
    EXPECT_EQ(stored(201)->account2Identifier(), kChecking);

    // Account 1 into a euro account: that side is converted from the total.
    select({200});
    controller.selectField(-7);
    popUp()->selectItemWithTag(kRent);
    save();
    const TWTransactionPtr moved = stored(200);
    TWTransaction expected(*moved);
    twUpdateTotals(expected, TWTotalTypeTotal, TWTotalTypeAccount1, *business);
    EXPECT_EQ(moved->account1Identifier(), kRent);
    EXPECT_EQ(moved->totalAccount1(), expected.totalAccount1());
    EXPECT_NE(moved->totalAccount1(), -1000);
    EXPECT_EQ(moved->totalAccount2(), -1000);
}

TEST_F(EditTransactionsWrites, ADateThatDoesNotReadIsNeverSavedAsTheDateShownBefore)
{
    add(200, twDay(2024, 5, 1), kChecking, kSales, 1000);
    select({200});
    ASSERT_TRUE(controller.selectField(-3));
    auto *picker = qobject_cast<QDateEdit *>(controller.valueView());
    ASSERT_TRUE(picker);
    ASSERT_TRUE(twActivate(picker));
    picker->setFocus(Qt::TabFocusReason);
    twTypeDate(picker, QStringLiteral("12/8"));
    EXPECT_TRUE(twIsRefused(picker));
    save();
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_EQ(stored(200)->date(), twDay(2024, 5, 1));

    twTypeDate(picker, QStringLiteral("12/8/24"));
    save();
    EXPECT_EQ(codes, (QList<int>{-1002}));
    EXPECT_EQ(stored(200)->date().date(), QDate(2024, 12, 8));
}

TEST_F(EditTransactionsWrites, AClosedPeriodDateWritesNothing)
{
    business->businessInfo()->setAccountingPeriods(
        {TWAccountingPeriod::accountingPeriodWithName("2023", twDay(2023, 1, 1),
                                                      twDay(2023, 12, 31), true, 100),
         TWAccountingPeriod::accountingPeriodWithName("2024", twDay(2024, 1, 1),
                                                      twDay(2024, 12, 31), false, 101)});
    add(200, twDay(2024, 5, 1), kChecking, kSales, 1000);
    add(201, twDay(2024, 5, 2), kChecking, kSales, 1000);
    select({200, 201});
    ASSERT_TRUE(controller.selectField(-3));
    auto *picker = qobject_cast<QDateEdit *>(controller.valueView());
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->date(), QDate(2024, 6, 15));
    picker->setDate(QDate(2023, 7, 1));
    save();
    ASSERT_EQ(errors.size(), 1);
    // Named as every refused field is.
    EXPECT_EQ(errors[0].localizedDescription(),
              QStringLiteral("%1: %2").arg(business->fieldWithIdentifier(-3)->name(),
                                           TWLocalized("editClosedTransaction")));
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_EQ(stored(200)->date(), twDay(2024, 5, 1));
    EXPECT_EQ(stored(201)->date(), twDay(2024, 5, 2));

    picker->setDate(QDate(2024, 2, 1));
    save();
    EXPECT_EQ(codes, QList<int>{-1002});
    EXPECT_EQ(stored(200)->date(), twDay(2024, 2, 1));
    EXPECT_EQ(stored(201)->date(), twDay(2024, 2, 1));
}

TEST_F(EditTransactionsWrites, OneRebuildAndOneBulkPairForTheWholeRun)
{
    business->businessInfo()->setNominalTransferAccountIdentifier(kCard);
    business->businessInfo()->setAccountingPeriods(
        {TWAccountingPeriod::accountingPeriodWithName("2023", twDay(2023, 1, 1),
                                                      twDay(2023, 12, 31), false, 100),
         TWAccountingPeriod::accountingPeriodWithName("2024", twDay(2024, 1, 1),
                                                      twDay(2024, 12, 31), false, 101)});
    add(200, twDay(2023, 5, 1), kChecking, kSales, 1000);
    add(201, twDay(2023, 5, 2), kChecking, kSales, 2000);
    add(202, twDay(2024, 5, 2), kChecking, kSales, 4000);
    ASSERT_TRUE(business->relationshipsOfType(TWRelationshipTypeNominalTransfer).isEmpty());

    TWNotificationRecorder recorder(business.get());
    select({200, 201, 202, 200});
    ASSERT_TRUE(controller.selectField(-5));
    textField()->setText(QStringLiteral("Acme"));
    save();
    EXPECT_EQ(stored(200)->payee(), QStringLiteral("Acme"));
    EXPECT_EQ(stored(202)->payee(), QStringLiteral("Acme"));
    // The 2023 sales were closed into the transfer account once.
    const TWRelationshipList links =
        business->relationshipsOfType(TWRelationshipTypeNominalTransfer);
    ASSERT_EQ(links.size(), 1);
    const QStringList names = recorder.names();
    EXPECT_EQ(names.count(TWTransactionUpdateNotification), 1);
    // The pair closes the run: the transactions' bulk update, then the
    // values' (whatever name the store gives it).
    ASSERT_GE(names.size(), 2);
    EXPECT_EQ(names[names.size() - 2], TWTransactionUpdateNotification);
    EXPECT_TRUE(names.last().startsWith(QStringLiteral("value")));
    EXPECT_EQ(names.filter(QRegularExpression(QStringLiteral("^value"))).size(), 1);
}

TEST_F(EditTransactionsWrites, AFailedRebuildIsShownAndTheEditsStay)
{
    business->businessInfo()->setNominalTransferAccountIdentifier(kCard);
    business->businessInfo()->setAccountingPeriods(
        {TWAccountingPeriod::accountingPeriodWithName("2023", twDay(2023, 1, 1),
                                                      twDay(2023, 12, 31), false, 100),
         TWAccountingPeriod::accountingPeriodWithName("2024", twDay(2024, 1, 1),
                                                      twDay(2024, 12, 31), false, 101)});
    add(200, twDay(2023, 5, 1), kChecking, kSales, 1000);
    select({200});
    ASSERT_TRUE(controller.selectField(-6));
    textField()->setText(QStringLiteral("Consulting"));
    {
        TWDenyGuard deny(*business, SQLITE_INSERT, "relationships");
        save();
    }
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].domain(), TWDatabaseErrorDomain);
    // Written all the same, and the sheet ends as saved.
    EXPECT_EQ(stored(200)->description(), QStringLiteral("Consulting"));
    EXPECT_EQ(codes, QList<int>{-1002});
}

TEST_F(EditTransactionsWrites, ClosedRowsAreSkippedAndUserFieldsTakeTheValue)
{
    const TWFieldPtr tags = twAddCustomField(*business, QStringLiteral("Tags"), TWFieldTypeTags);
    tags->setTagItems({std::make_shared<TWFieldTagItem>(QStringLiteral("red"), 7),
                       std::make_shared<TWFieldTagItem>(QStringLiteral("blue"), 8)});
    const TWFieldPtr note = twAddCustomField(*business, QStringLiteral("Memo"), TWFieldTypeText);
    TWTransactionPtr first = add(200, twDay(2024, 5, 1), kChecking, kSales, 1000);
    first->fieldValueWithField(*tags, true)->setTagItemIdentifiers({8, 7});
    first->fieldValueWithField(*note, true)->setText(QStringLiteral("old"));
    ASSERT_OK(business->updateTransaction(first, false, false, false, false));
    TWTransactionPtr locked = add(201, twDay(2024, 5, 1), kChecking, kSales, 1000);
    locked->setState(2);

    select({200, 201});
    ASSERT_TRUE(controller.selectField(tags->identifier()));
    popUp()->selectItemWithTag(7);
    save();
    EXPECT_EQ(stored(200)->fieldValueWithIdentifier(tags->identifier())->tagItemIdentifiers(),
              QList<qint32>{7});
    EXPECT_FALSE(stored(201)->fieldValueWithIdentifier(tags->identifier()));

    // An empty text clears a custom text value.
    select({200});
    controller.selectField(note->identifier());
    save();
    const TWFieldValuePtr memo = stored(200)->fieldValueWithIdentifier(note->identifier());
    EXPECT_TRUE(!memo || !memo->hasValue());
}

TEST(EditTransactionsRegistration, TheDocumentGetsTheSheet)
{
    TWAppRegistry::registry().reset();
    twRegisterLedger();
    std::unique_ptr<TWEditorController> editor(
        TWAppRegistry::registry().makeEditor(TWEditorKind::EditTransactions, nullptr));
    EXPECT_TRUE(qobject_cast<TWEditTransactionsController *>(editor.get()));
    TWAppRegistry::registry().reset();
}

TEST_F(EditTransactionsAccounts, TheSideChangedIsTheOneTheRegisterShows)
{
    // Seen from checking, which is account 2 of this transaction: the register
    // shows checking as account 1 and sales as account 2.
    add(200, twDay(2024, 5, 1), kSales, kChecking, 1000);
    const TWTransactionPtr row = stored(200)->transactionForActiveAccount(kChecking, 0);
    controller.setTransactions({row});
    controller.view();
    controller.reset();
    ASSERT_TRUE(controller.selectField(-8));
    ASSERT_TRUE(popUp()->selectItemWithTag(kCard));
    save();
    // The other account changed; the transaction stays in checking.
    EXPECT_EQ(stored(200)->account1Identifier(), kCard);
    EXPECT_EQ(stored(200)->account2Identifier(), kChecking);

    // Account 1 as shown is checking itself: choosing sales moves that side.
    controller.setTransactions({stored(200)->transactionForActiveAccount(kChecking, 0)});
    controller.reset();
    ASSERT_TRUE(controller.selectField(-7));
    ASSERT_TRUE(popUp()->selectItemWithTag(kSales));
    save();
    EXPECT_EQ(stored(200)->account1Identifier(), kCard);
    EXPECT_EQ(stored(200)->account2Identifier(), kSales);
}

TEST_F(EditTransactionsAccounts, ANewAccountAsksBeforeSplitTransactionsLoseTheirLines)
{
    add(200, twDay(2024, 5, 1), kChecking, kSales, 1000);
    addSplit(201, twDay(2024, 5, 1), 1095,
             {twMakeSplit(*business, 0, kSales, 895), twMakeSplit(*business, 0, kRent, 200),
              twMakeSplit(*business, 0, kChecking, -1095)});
    select({200, 201});
    controller.view()->show();

    // A text field changes no account: nothing to ask.
    ASSERT_TRUE(controller.selectField(-5));
    textField()->setText(QStringLiteral("Acme"));
    save();
    EXPECT_FALSE(alert());
    EXPECT_EQ(codes, QList<int>{-1002});
    EXPECT_EQ(stored(201)->splits().size(), 3);

    // Cancel: nothing written, the sheet still open with the choice made.
    select({200, 201});
    ASSERT_TRUE(controller.selectField(-7));
    ASSERT_TRUE(popUp()->selectItemWithTag(kCard));
    save();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(alert()->text(), TWLocalized("editTransactionsUnsplitOne"));
    // A stray Return keeps the lines.
    ASSERT_TRUE(alert()->defaultButton());
    EXPECT_EQ(alert()->defaultButton()->text(), TWLocalized("cancel"));
    answer(TWLocalized("cancel"));
    EXPECT_EQ(codes, QList<int>{-1002});
    EXPECT_EQ(stored(200)->account1Identifier(), kChecking);
    EXPECT_TRUE(stored(201)->hasSplit());
    EXPECT_EQ(stored(201)->splits().size(), 3);
    EXPECT_EQ(controller.selectedField()->identifier(), -7);
    EXPECT_EQ(popUp()->selectedTag(), kCard);

    // Confirmed: the first line's amount, paid as checking paid it.
    save();
    answer(TWLocalized("editTransactionsUnsplitButton"));
    EXPECT_EQ(codes, (QList<int>{-1002, -1002}));
    EXPECT_EQ(stored(200)->account1Identifier(), kCard);
    EXPECT_FALSE(stored(201)->hasSplit());
    EXPECT_EQ(stored(201)->account1Identifier(), kCard);
    EXPECT_EQ(stored(201)->account2Identifier(), kSales);
    EXPECT_EQ(stored(201)->total(), -895);

    // Two split transactions are counted as two.
    addSplit(202, twDay(2024, 5, 1), 700,
             {twMakeSplit(*business, 0, kSales, 700), twMakeSplit(*business, 0, kChecking, -700)});
    addSplit(203, twDay(2024, 5, 1), 700,
             {twMakeSplit(*business, 0, kSales, 700), twMakeSplit(*business, 0, kChecking, -700)});
    select({202, 203, 200});
    ASSERT_TRUE(controller.selectField(-8));
    save();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->text(), TWLocalized("editTransactionsUnsplitMany").arg(2));
    answer(TWLocalized("cancel"));
    EXPECT_TRUE(stored(202)->hasSplit());
    EXPECT_TRUE(stored(203)->hasSplit());
}

// A total whose conversion or balance 64 bits cannot hold is refused, naming
// the account, before any of the transactions is written.
TEST_F(EditTransactionsAmounts, ATotalThatCannotBeHeldIsRefusedBeforeAnythingIsWritten)
{
    // A yen is worth two thousand fils here.
    for (const auto &[code, rate] : {std::pair{"JPY", 150.0}, {"KWD", 300.0}})
        business->unitWithCode(QString::fromLatin1(code))->setRate(rate);
    add(300, twDay(2024, 5, 1), kChecking, kSales, 500);
    add(301, twDay(2024, 5, 2), kYen, kDinar, 1000, "JPY");
    const QString refusal =
        TWLocalized("amountNotHeldMessage")
            .arg(business->accountWithIdentifier(kDinar)->name(), QStringLiteral("KWD"));
    // The dollar row would take the total; the yen row cannot, so neither is written.
    for (const auto &[rows, typed] : {std::pair{QList<qint32>{301}, "9223372036854775807"},
                                      {QList<qint32>{300, 301}, "50,000,000,000,000,000"}}) {
        errors.clear();
        select(rows);
        ASSERT_TRUE(controller.selectField(-12));
        textField()->setText(QString::fromLatin1(typed));
        save();
        ASSERT_EQ(errors.size(), 1) << typed;
        EXPECT_EQ(errors[0].localizedDescription(), refusal);
        EXPECT_TRUE(codes.isEmpty());
        EXPECT_EQ(stored(300)->total(), 500);
        EXPECT_EQ(stored(301)->total(), 1000);
        EXPECT_EQ(stored(301)->totalAccount2(), 1000);
    }

    // Each amount fits, but checking's balance would not.
    errors.clear();
    add(302, twDay(2024, 5, 3), kChecking, kSales, 5000000000000000000);
    select({300});
    ASSERT_TRUE(controller.selectField(-12));
    textField()->setText(QStringLiteral("50,000,000,000,000,000"));
    save();
    ASSERT_EQ(errors.size(), 1);
    const QString said = errors[0].localizedDescription();
    EXPECT_TRUE(said == TWLocalized("balanceNotHeldMessage")
                            .arg(business->accountWithIdentifier(kChecking)->name()) ||
                said == TWLocalized("balanceNotHeldMessage")
                            .arg(business->accountWithIdentifier(kSales)->name()))
        << said.toStdString();
    EXPECT_EQ(stored(300)->total(), 500);
}

// An unsplit keeps the first line's amount and with it that line's payment
// links, which then link the whole transaction: its invoice stays paid, as
// the receivable account says. The question names only the invoices whose
// lines go; Cancel changes nothing.
TEST_F(EditTransactionsAccounts, AnUnsplitKeepsThePaymentOfTheLineItKeeps)
{
    constexpr qint32 kReceivable = 106;
    twExec(*business, "INSERT INTO accounts (identifier, type, name, unit, parentIdentifier, "
                      "sortOrder) VALUES (106, 1, 'Receivable', 'USD', 0, 6);");
    ASSERT_OK(business->loadAccounts());
    const struct {
        const char *what;
        qint32 field;
        qint32 chosen;
        int answer; // 0 saves, 1 cancels
    } rows[] = {
        {"account 2, cancelled", -8, kReceivable, 1},
        {"account 1", -7, kCard, 0},
    };
    qint32 identifier = 210;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        // One deposit paying two invoices, a receivable line for each.
        addSplit(++identifier, twDay(2024, 5, 1), 6935,
                 {twMakeSplit(*business, 0, kReceivable, -4085),
                  twMakeSplit(*business, 0, kReceivable, -2850),
                  twMakeSplit(*business, 0, kChecking, 6935)});
        const TWSplitList lines = stored(identifier)->splits();
        ASSERT_EQ(lines.size(), 3);
        QList<qint32> invoices;
        for (int i = 0; i < 2; ++i) {
            const TWInvoicePtr invoice = TWInvoice::invoiceWithDate(
                twDay(2024, 4, 1), QString::number(identifier * 10 + i), QString(), true, false,
                QDateTime(), 0, QString(), 1, business->nextInvoiceIdentifier());
            ASSERT_OK(business->addInvoice(invoice, false));
            invoices.append(invoice->identifier());
            ASSERT_OK(business->addRelationship(
                TWRelationship::relationshipWithType(0, 0, 1, invoice->identifier(), identifier,
                                                     lines[i]->identifier(),
                                                     business->nextRelationshipIdentifier()),
                false));
        }
        const QHash<qint32, qint64> before = twAccountSumsFromRows(*business);

        select({identifier});
        controller.view()->show();
        ASSERT_TRUE(controller.selectField(row.field));
        ASSERT_TRUE(popUp()->selectItemWithTag(row.chosen));
        save();
        ASSERT_TRUE(alert());
        const QString text = alert()->informativeText();
        EXPECT_TRUE(text.contains(TWLocalized("editTransactionsUnsplitPayments")
                                      .arg(QString::number(identifier * 10 + 1))))
            << text.toStdString();
        answer(TWLocalized(row.answer == 0 ? "editTransactionsUnsplitButton" : "cancel"));
        QList<std::pair<qint32, qint32>> links; // invoice, line
        for (const TWRelationshipPtr &link :
             business->relationshipsWithTransaction(*stored(identifier)))
            links.append({link->childIdentifier(), link->splitIdentifier()});
        std::sort(links.begin(), links.end());
        const QHash<qint32, qint64> after = twAccountSumsFromRows(*business);
        if (row.answer != 0) {
            EXPECT_EQ(after, before);
            EXPECT_EQ(links,
                      (QList<std::pair<qint32, qint32>>{{invoices[0], lines[0]->identifier()},
                                                        {invoices[1], lines[1]->identifier()}}));
            continue;
        }
        // The first invoice is paid by the whole transaction; the second
        // lost its line, and the receivable gained back only its amount.
        EXPECT_EQ(links, (QList<std::pair<qint32, qint32>>{{invoices[0], 0}}));
        EXPECT_EQ(after.value(kReceivable) - before.value(kReceivable), 6935 - 4085);
        EXPECT_FALSE(stored(identifier)->hasSplit());
    }
}

// A new account on a split transaction keeps its first line's amount in the
// direction the transaction had in the account the register shows it in
// (checking here), against the first line on another account; the question
// asked first says what amount stays.
TEST_F(EditTransactionsAccounts, AnUnsplitKeepsTheDirectionTheShownAccountHad)
{
    constexpr qint32 kOffice = 106; // expense, USD
    twExec(*business, "INSERT INTO accounts (identifier, type, name, unit, parentIdentifier, "
                      "sortOrder) VALUES (106, 16, 'Office supplies', 'USD', 0, 6);");
    ASSERT_OK(business->loadAccounts());
    struct Case {
        const char *what;
        QList<std::pair<qint32, qint64>> lines;
        qint32 field;
        qint32 chosen;
        QHash<qint32, qint64> sums;
    };
    const QList<Case> cases = {
        // A deposit paying two invoices stays a deposit, of the first line's amount.
        {"payment, account 2",
         {{kSales, -408500}, {kSales, -285000}, {kChecking, 693500}},
         -8,
         kSales,
         {{kChecking, 408500}, {kSales, -408500}}},
        // With checking's own line first, the whole deposit stays.
        {"payment, bank line first",
         {{kChecking, 693500}, {kSales, -408500}, {kSales, -285000}},
         -8,
         kSales,
         {{kChecking, 693500}, {kSales, -693500}}},
        // A purchase of two things stays a payment.
        {"purchase, account 2",
         {{kSales, 1949}, {kSales, 1895}, {kChecking, -3844}},
         -8,
         kOffice,
         {{kChecking, -1949}, {kOffice, 1949}}},
        // Account 1 is checking's side: the card pays instead.
        {"purchase, account 1",
         {{kSales, 1949}, {kSales, 1895}, {kChecking, -3844}},
         -7,
         kCard,
         {{kCard, -1949}, {kSales, 1949}}},
        // The account chosen is the first line's: the two change sides, each
        // keeping its direction; the bank still pays the first line.
        {"purchase, account 1 onto the first line's account",
         {{kOffice, 4599}, {kSales, 2350}, {kChecking, -6949}},
         -7,
         kOffice,
         {{kOffice, 4599}, {kChecking, -4599}}},
        {"purchase, account 2 onto the shown account",
         {{kSales, 1949}, {kSales, 1895}, {kChecking, -3844}},
         -8,
         kChecking,
         {{kSales, 1949}, {kChecking, -1949}}},
        // Plain ones the same: the accounts change sides with their amounts.
        {"plain purchase, account 1 onto account 2",
         {{kOffice, 1895}, {kChecking, -1895}},
         -7,
         kOffice,
         {{kOffice, 1895}, {kChecking, -1895}}},
        {"plain deposit, account 2 onto account 1",
         {{kSales, -5000}, {kChecking, 5000}},
         -8,
         kChecking,
         {{kSales, -5000}, {kChecking, 5000}}},
    };
    qint32 identifier = 220;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TWSplitList lines;
        qint64 total = 0;
        for (const auto &[account, amount] : c.lines) {
            lines.append(twMakeSplit(*business, 0, account, amount));
            if (account == kChecking)
                total = amount;
        }
        const bool split = c.lines.size() > 2;
        if (split)
            addSplit(++identifier, twDay(2024, 5, 1), total, lines, QStringLiteral("Acme"));
        else
            add(++identifier, twDay(2024, 5, 1), kChecking, c.lines.first().first, total);
        select({identifier});
        controller.view()->show();
        ASSERT_TRUE(controller.selectField(c.field));
        ASSERT_TRUE(popUp()->selectItemWithTag(c.chosen));
        save();
        if (split) {
            ASSERT_TRUE(alert());
            // The amount kept, in the account it stays in.
            const qint32 shown = c.sums.contains(kChecking) ? kChecking : c.chosen;
            const QString kept = TWFormatter::formatter().valueString(
                c.sums.value(shown), business->unitWithCode(QStringLiteral("USD")).get(), true,
                true, false, false, true);
            EXPECT_TRUE(alert()->informativeText().contains(kept)) << alert()->informativeText();
            answer(TWLocalized("editTransactionsUnsplitButton"));
        }
        const TWTransactionPtr unsplit = stored(identifier);
        EXPECT_FALSE(unsplit->hasSplit());
        // What each account gains (the store's sign: account 2 gives).
        EXPECT_EQ(
            (QHash<qint32, qint64>{{unsplit->account1Identifier(), unsplit->totalAccount1()},
                                   {unsplit->account2Identifier(), -unsplit->totalAccount2()}}),
            c.sums);
    }
}
