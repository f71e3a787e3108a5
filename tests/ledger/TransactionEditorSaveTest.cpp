// The editor's save road on a real business: schedules, checks, repeat items,
// import rows, runs of several transactions and store failures.

#include "TWDateTypingSupport.h"
#include "TWZoneGuard.h"
#include "TransactionEditorTestSupport.h"

#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"
#include "model/TWAccountingPeriod.h"
#include "model/TWBuiltInFields.h"
#include "model/TWFormatter.h"

#include "app/TWDetailInterfaces.h"
#include "app/TWTypedNumberField.h"
#include "ledger/TWRepeatController.h"
#include "ledger/TWSplitController.h"
#include "ledger/TWTotalController.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTimeEdit>

namespace
{

using TransactionEditorSave = TransactionEditorTest;

TEST_F(TransactionEditorSave, RepeatOnStoresTheScheduleThenTheTransactionWithIt)
{
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 1500));
    ASSERT_TRUE(editor);
    ASSERT_TRUE(editor->repeatController());
    editor->repeatController()->doRepeats(true);
    editor->repeatController()->doInterval(2);

    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    ASSERT_EQ(business->repeats().size(), 1);
    const TWRepeatPtr repeat = business->repeats().first();
    EXPECT_GE(repeat->identifier(), 100);
    EXPECT_EQ(repeat->interval(), 2u);
    const TWTransactionPtr stored =
        business->transactionWithIdentifier(editor->editTransaction()->identifier());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->repeatIdentifier(), repeat->identifier());
    EXPECT_TRUE(editor->saved());
    EXPECT_FALSE(document->hasAttachedSheet());
}

// A date typed into the editor east of Greenwich is stored on the day typed.
TEST_F(TransactionEditorSave, ATypedDateIsStoredOnThatDayInEveryZone)
{
    for (const char *name : {"Europe/Berlin", "Asia/Tokyo", "America/New_York"}) {
        SCOPED_TRACE(name);
        const TWZoneGuard zone(name);
        TWTransactionController *editor = openNew(makeTransaction(bank, sales, 100));
        ASSERT_TRUE(editor);
        auto *date =
            qobject_cast<QDateTimeEdit *>(editor->valueViewForField(TWFieldIdentifierDate));
        ASSERT_TRUE(date);
        twTypeDate(date, QStringLiteral("3/15/26"));
        ASSERT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
        const TWTransactionPtr stored =
            business->transactionWithIdentifier(editor->editTransaction()->identifier());
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->dayValue(), TWDateAdditions::dateValue(QDate(2026, 3, 15)));
    }
}

// Qt's warnings while it lives.
struct WarningRecorder {
    WarningRecorder() { previous = qInstallMessageHandler(&WarningRecorder::record); }
    ~WarningRecorder()
    {
        qInstallMessageHandler(previous);
        recorded().clear();
    }
    static void record(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        recorded().append(message);
    }
    static QStringList &recorded()
    {
        static QStringList messages;
        return messages;
    }
    QtMessageHandler previous = nullptr;
};

// A stored transaction (its date at midnight) moved to a day whose midnight
// the clock skips, typed or picked from the calendar, is stored on that day,
// with no warning.
TEST_F(TransactionEditorSave, ADayWhoseMidnightTheClockSkipsIsStoredOnThatDay)
{
    const WarningRecorder warnings;
    for (const auto &[name, day] : {std::pair{"America/Santiago", QDate(2026, 9, 6)},
                                    std::pair{"America/Havana", QDate(2026, 3, 8)}}) {
        const TWZoneGuard zone(name);
        for (const bool typed : {true, false}) {
            SCOPED_TRACE(
                QStringLiteral("%1 %2").arg(QLatin1String(name), typed ? u"typed" : u"picked"));
            const TWTransactionPtr stored = storeTransaction(
                QStringLiteral("Rent"), 100,
                TWDateAdditions::dateWithValue(TWDateAdditions::dateValue(QDate(2026, 2, 20))));
            TWTransactionController *editor = openEdit(stored);
            ASSERT_TRUE(editor);
            auto *date =
                qobject_cast<QDateTimeEdit *>(editor->valueViewForField(TWFieldIdentifierDate));
            ASSERT_TRUE(date);
            if (typed)
                twTypeDate(date, QLocale().toString(day, QLocale::ShortFormat));
            else
                date->setDate(day);
            ASSERT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
            EXPECT_EQ(business->transactionWithIdentifier(stored->identifier())->dayValue(),
                      TWDateAdditions::dateValue(day));
        }
    }
    EXPECT_TRUE(WarningRecorder::recorded().filter(QStringLiteral("Ignoring offset")).isEmpty())
        << WarningRecorder::recorded().join(u'\n');
}

TEST_F(TransactionEditorSave, ClosedPeriodAndUnbalancedSplitsWriteNothingABalancedSplitSaves)
{
    business->businessInfo()->setAccountingPeriods(
        {TWAccountingPeriod::accountingPeriodWithName(
             QStringLiteral("2025"), QDateTime(QDate(2025, 1, 1), QTime(0, 0)),
             QDateTime(QDate(2025, 12, 31), QTime(23, 59)), true, 1),
         TWAccountingPeriod::accountingPeriodWithName(
             QStringLiteral("2026"), QDateTime(QDate(2026, 1, 1), QTime(0, 0)),
             QDateTime(QDate(2026, 12, 31), QTime(23, 59)), false, 2)});
    const qsizetype before = business->transactions().size();

    TWTransactionController *editor =
        openNew(makeTransaction(bank, sales, 100, QDateTime(QDate(2025, 6, 1), QTime(12, 0))));
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Refused);
    // Named as every refused field is, by its label.
    EXPECT_EQ(alerts,
              QStringList{QStringLiteral("%1: %2").arg(business->fieldWithIdentifier(-3)->name(),
                                                       TWLocalized("editClosedTransaction"))});
    EXPECT_TRUE(document->hasAttachedSheet());
    EXPECT_FALSE(editor->saved());

    // A split whose home amounts miss by one minor unit is refused.
    editor->editTransaction()->setDate(QDateTime(QDate(2026, 6, 1), QTime(12, 0)));
    editor->editTransaction()->setHasSplit(true);
    editor->editTransaction()->setSplits(
        {TWSplit::splitWithIdentifier(0, QString(), bank->identifier(), 100, 100, 100, 0, 0,
                                      business->homeUnit()),
         TWSplit::splitWithIdentifier(0, QString(), sales->identifier(), -101, -101, -101, 0, 0,
                                      business->homeUnit())});
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Refused);
    EXPECT_EQ(alerts.last(), TWLocalized("unbalancedSplitMessage"));
    EXPECT_EQ(business->transactions().size(), before);

    const TWSplitPtr last = editor->editTransaction()->splits().last();
    last->setTotal(-100);
    last->setTotalAccount(-100);
    last->setTotalBusiness(-100);
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    EXPECT_EQ(business->transactions().size(), before + 1);
    EXPECT_TRUE(editor->saved());
}

TEST_F(TransactionEditorSave, AllFutureTransactionsUpdatesSameDayItemsAndPostsOnePair)
{
    const TWRepeatPtr repeat =
        TWRepeat::repeatWithType(TWRepeatTypeTransaction, 1, TWRepeatIntervalUnitMonth, QDateTime(),
                                 true, business->nextRepeatIdentifier());
    ASSERT_OK(business->addRepeat(repeat, false));
    const QDate day = QDate::currentDate().addDays(40);
    const TWTransactionPtr earlier = storeTransaction(
        QStringLiteral("Old"), 100, QDateTime(day.addDays(-1), QTime(9, 0)), repeat->identifier());
    const TWTransactionPtr edited = storeTransaction(
        QStringLiteral("Old"), 100, QDateTime(day, QTime(9, 0)), repeat->identifier());
    const TWTransactionPtr sameDay = storeTransaction(
        QStringLiteral("Old"), 100, QDateTime(day, QTime(9, 0)), repeat->identifier());
    const TWTransactionPtr later = storeTransaction(
        QStringLiteral("Old"), 100, QDateTime(day.addDays(3), QTime(9, 0)), repeat->identifier());

    TWTransactionController *editor = openEdit(edited);
    ASSERT_TRUE(editor);
    ASSERT_TRUE(editor->repeatController()->repeatsCheckbox()->isChecked());
    type(editor, -5, QStringLiteral("New"));
    TWNotificationRecorder recorder(business);
    alertAnswer = 1002;
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Asking);

    auto payee = [this](const TWTransactionPtr &t) {
        return business->transactionWithIdentifier(t->identifier())->payee();
    };
    EXPECT_EQ(payee(edited), QStringLiteral("New"));
    EXPECT_EQ(payee(sameDay), QStringLiteral("New"));
    EXPECT_EQ(payee(later), QStringLiteral("New"));
    EXPECT_EQ(payee(earlier), QStringLiteral("Old"));
    int bulkUpdates = 0;
    int bulkValues = 0;
    for (const TWNotification &notification : recorder.notifications()) {
        if (!notification.userInfo.isEmpty())
            continue;
        bulkUpdates += notification.name == TWTransactionUpdateNotification;
        bulkValues += notification.name == TWValueNewNotification;
    }
    EXPECT_EQ(bulkUpdates, 1);
    EXPECT_EQ(bulkValues, 1);
    EXPECT_TRUE(editor->saved());
}

TEST_F(TransactionEditorSave, RepeatAnswersLeaveClosedAndLockedItemsAndEveryClearedMark)
{
    TWFixedClock clock(2027, 1, 20);
    const TWAccountPtr equity = addAccount(QStringLiteral("Retained"), TWAccountTypeEquity);
    business->businessInfo()->setNominalTransferAccountIdentifier(equity->identifier());
    const auto year = [](int number, bool closed) {
        return TWAccountingPeriod::accountingPeriodWithName(
            QString::number(number), QDateTime(QDate(number, 1, 1), QTime(0, 0)),
            QDateTime(QDate(number, 12, 31), QTime(23, 59)), closed, number);
    };
    const TWRepeatPtr repeat =
        TWRepeat::repeatWithType(TWRepeatTypeTransaction, 1, TWRepeatIntervalUnitMonth, QDateTime(),
                                 true, business->nextRepeatIdentifier());
    ASSERT_OK(business->addRepeat(repeat, false));
    TWTransactionList items;
    for (const QDate day : {QDate(2025, 11, 15), QDate(2025, 12, 15), QDate(2026, 10, 15),
                            QDate(2026, 11, 15), QDate(2026, 12, 15), QDate(2027, 1, 15)}) {
        items.append(storeTransaction(QStringLiteral("Rent"), 1440, QDateTime(day, QTime(9, 0)),
                                      repeat->identifier()));
        items.last()->setCleared(true);
        ASSERT_OK(business->updateTransaction(items.last(), false, false, false, false));
    }
    items[4]->setState(TWTransactionStateLocked);
    ASSERT_OK(business->updateTransactionState(items[4], false));
    business->businessInfo()->setAccountingPeriods(
        {year(2025, true), year(2026, false), year(2027, false)});
    ASSERT_OK(business->updateTransactionStates());
    ASSERT_OK(business->updateNominalTransferTransactions());
    ASSERT_EQ(items[0]->state(), TWTransactionStateClosed);

    // Six rents on the bank; those of the years before 2027 closed out of sales into equity.
    const qint32 b = bank->identifier(), s = sales->identifier(), e = equity->identifier();
    QHash<qint32, qint64> sums = twAccountSumsFromRows(*business);
    EXPECT_EQ(sums, (QHash<qint32, qint64>{{b, 6 * 1440}, {s, -1440}, {e, -5 * 1440}}));

    const auto edit = [this](const TWTransactionPtr &item, qint64 total, bool cleared, int answer) {
        TWTransactionController *editor = openEdit(item);
        ASSERT_TRUE(editor);
        editor->editTransaction()->setTotal(total);
        twUpdateTotals(*editor->editTransaction(), TWTotalTypeTotal, TWTotalTypeAll, *business);
        editor->editTransaction()->setCleared(cleared);
        alertAnswer = answer;
        EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Asking);
        EXPECT_TRUE(editor->saved());
    };
    const auto stored = [this](const TWTransactionPtr &item) {
        return business->transactionWithIdentifier(item->identifier());
    };

    // Future ones from November 2026: January's follows, December's locked one stays.
    edit(items[3], 1680, false, 1002);
    EXPECT_EQ(alerts.last(), TWLocalized("repeatItemsLeftMessage").arg(1));
    EXPECT_EQ(stored(items[5])->total(), 1680);
    EXPECT_EQ(stored(items[4])->total(), 1440);
    EXPECT_EQ(stored(items[2])->total(), 1440);
    EXPECT_TRUE(stored(items[5])->cleared());

    // All of them from October 2026: 2025's closed two and the locked one stay.
    edit(items[2], 2000, true, 1003);
    EXPECT_EQ(alerts.last(), TWLocalized("repeatItemsLeftMessage").arg(3));
    const QList<qint64> totals{1440, 1440, 2000, 2000, 1440, 2000};
    const QList<bool> cleared{true, true, true, false, true, true};
    for (qsizetype i = 0; i < items.size(); ++i) {
        EXPECT_EQ(stored(items[i])->total(), totals[i]) << i;
        EXPECT_EQ(stored(items[i])->cleared(), cleared[i]) << i;
    }
    sums = twAccountSumsFromRows(*business);
    // 2025 as it was closed; 2026's transfer follows its new rents.
    EXPECT_EQ(sums,
              (QHash<qint32, qint64>{
                  {b, 3 * 1440 + 3 * 2000}, {s, -2000}, {e, -2 * 1440 - (2000 + 2000 + 1440)}}));
}

TEST_F(TransactionEditorSave, AnImportRowWritesNothingEvenAfterAnEarlierUseWithARepeat)
{
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 100));
    ASSERT_TRUE(editor);
    editor->repeatController()->doRepeats(true);
    editor->doSave(0);
    const qsizetype before = business->transactions().size();

    const TWTransactionPtr row = makeTransaction(cash, rent, 250);
    editor = openEdit(row, true);
    ASSERT_TRUE(editor);
    EXPECT_FALSE(editor->valueViewForField(-9));
    EXPECT_FALSE(editor->repeat());
    // Even a repeat handed in from outside stays out of the store.
    editor->setRepeat(TWRepeat::repeatWithType(TWRepeatTypeTransaction, 1, TWRepeatIntervalUnitWeek,
                                               QDateTime()));
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    EXPECT_TRUE(editor->saved());
    EXPECT_TRUE(business->repeats().isEmpty());
    EXPECT_EQ(business->transactions().size(), before);
}

TEST_F(TransactionEditorSave, ARunFromATwoBillPaymentTemplateStoresNewLinesAndTheLinksOnce)
{
    const TWTransactionPtr payment = makeTransaction(bank, rent, -300);
    payment->setHasSplit(true);
    const qint32 firstLine = business->nextSplitIdentifier();
    payment->setSplits({TWSplit::splitWithIdentifier(firstLine, QString(), bank->identifier(), -300,
                                                     -300, -300, 0, 0, business->homeUnit()),
                        TWSplit::splitWithIdentifier(firstLine + 1, QString(), rent->identifier(),
                                                     200, 200, 200, 0, 0, business->homeUnit()),
                        TWSplit::splitWithIdentifier(firstLine + 2, QString(), rent->identifier(),
                                                     100, 100, 100, 0, 0, business->homeUnit())});
    const qint32 firstLink = business->nextRelationshipIdentifier();
    const TWRelationshipList links = {
        TWRelationship::relationshipWithType(TWRelationshipTypeBillPayment, 0, 1, 11,
                                             payment->identifier(), firstLine + 1, firstLink),
        TWRelationship::relationshipWithType(TWRelationshipTypeBillPayment, 0, 1, 12,
                                             payment->identifier(), firstLine + 2, firstLink + 1)};

    TWTransactionController *editor = openNew(payment, true, links);
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Continued);
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Continued);
    EXPECT_TRUE(prompts.errors.isEmpty());
    editor->doSave(0);

    ASSERT_EQ(business->transactions().size(), 2);
    QSet<qint32> lines;
    for (const TWTransactionPtr &stored : business->transactions()) {
        for (const TWSplitPtr &split : stored->splits())
            lines.insert(split->identifier());
    }
    EXPECT_EQ(lines.size(), 6);
    EXPECT_EQ(twQueryInt(*business, QStringLiteral("SELECT COUNT(*) FROM Relationships")), 2);
    EXPECT_EQ(twQueryInt(*business,
                         QStringLiteral(
                             "SELECT COUNT(DISTINCT transactionIdentifier) FROM Relationships")),
              1);
}

TEST_F(TransactionEditorSave, AFailingAddKeepsTheSheetOpenWithTheInputAndLeavesNoLink)
{
    const TWTransactionPtr taken = storeTransaction(QStringLiteral("First"), 100);
    const TWTransactionPtr second = makeTransaction(bank, rent, -50);
    const TWRelationshipList links = {TWRelationship::relationshipWithType(
        TWRelationshipTypeBillPayment, 0, 1, 11, second->identifier(), 0,
        business->nextRelationshipIdentifier())};
    TWTransactionController *editor = openNew(second, false, links);
    ASSERT_TRUE(editor);
    type(editor, -5, QStringLiteral("Typed"));
    editor->editTransaction()->setIdentifier(taken->identifier());

    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Failed);
    EXPECT_TRUE(document->hasAttachedSheet());
    EXPECT_EQ(prompts.errors.size(), 1);
    EXPECT_FALSE(editor->saved());
    EXPECT_EQ(editor->editTransaction()->payee(), QStringLiteral("Typed"));
    EXPECT_EQ(textField(editor, -5)->text(), QStringLiteral("Typed"));
    EXPECT_EQ(twQueryInt(*business, QStringLiteral("SELECT COUNT(*) FROM Relationships")), 0);
    EXPECT_EQ(business->transactions().size(), 1);

    // With a free identifier the same input saves, links and all.
    editor->editTransaction()->setIdentifier(business->nextTransactionIdentifier());
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    EXPECT_EQ(business->transactions().size(), 2);
    EXPECT_EQ(twQueryInt(*business, QStringLiteral("SELECT COUNT(*) FROM Relationships")), 1);
}

TEST_F(TransactionEditorSave, ReadOnlyDoneClosesWithoutWritingAndCancelDropsTheCopy)
{
    const TWTransactionPtr locked = storeTransaction(QStringLiteral("Locked"), 100);
    locked->setState(TWTransactionStateLocked);
    TWTransactionController *editor = openEdit(locked);
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->mode(), 3);
    EXPECT_FALSE(editor->cancelButton()->isVisibleTo(editor->view()));
    // Nothing can be split: the button is not offered at all.
    EXPECT_FALSE(editor->splitTransactionButton()->isVisibleTo(editor->view()));
    EXPECT_EQ(editor->saveButton()->text(), TWLocalized("done"));
    EXPECT_FALSE(textField(editor, -5)->isEnabled());
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    EXPECT_FALSE(editor->saved());
}

TEST_F(TransactionEditorSave, TurningTheRepeatOffDeletesTheScheduleAndDetachesTheTransaction)
{
    const TWRepeatPtr repeat =
        TWRepeat::repeatWithType(TWRepeatTypeTransaction, 1, TWRepeatIntervalUnitMonth, QDateTime(),
                                 true, business->nextRepeatIdentifier());
    ASSERT_OK(business->addRepeat(repeat, false));
    const TWTransactionPtr item = storeTransaction(
        QStringLiteral("Item"), 100, QDateTime(QDate::currentDate().addDays(5), QTime(9, 0)),
        repeat->identifier());
    TWTransactionController *editor = openEdit(item);
    ASSERT_TRUE(editor);
    editor->repeatController()->doRepeats(false);
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_TRUE(business->repeats().isEmpty());
    EXPECT_EQ(business->transactionWithIdentifier(item->identifier())->repeatIdentifier(), 0);
}

TEST_F(TransactionEditorSave, ASaveWhoseYearEndRebuildFailsEndsSavedAndThenShowsTheError)
{
    const TWAccountPtr equity = addAccount(QStringLiteral("Retained"), TWAccountTypeEquity);
    business->businessInfo()->setNominalTransferAccountIdentifier(equity->identifier());
    business->businessInfo()->setAccountingPeriods(
        {TWAccountingPeriod::accountingPeriodWithName(
             QStringLiteral("2025"), QDateTime(QDate(2025, 1, 1), QTime(0, 0)),
             QDateTime(QDate(2025, 12, 31), QTime(23, 59)), false, 1),
         TWAccountingPeriod::accountingPeriodWithName(
             QStringLiteral("2026"), QDateTime(QDate(2026, 1, 1), QTime(0, 0)),
             QDateTime(QDate(2026, 12, 31), QTime(23, 59)), false, 2)});
    const TWTransactionPtr sale =
        makeTransaction(bank, sales, 900, QDateTime(QDate(2025, 5, 1), QTime(12, 0)));
    ASSERT_OK(business->addTransaction(sale, false, false, false, false));
    // The year-end transfers cannot be linked to their period.
    twExec(*business, QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Relationships "
                                     "BEGIN SELECT RAISE(ABORT, 'refused'); END;"));

    TWTransactionController *editor = openEdit(sale);
    ASSERT_TRUE(editor);
    ASSERT_EQ(editor->mode(), 2);
    type(editor, -5, QStringLiteral("Changed"));
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    EXPECT_TRUE(editor->saved());
    EXPECT_FALSE(document->hasAttachedSheet());
    EXPECT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(business->transactionWithIdentifier(sale->identifier())->payee(),
              QStringLiteral("Changed"));
}

TEST_F(TransactionEditorSave, ThisTransactionOnlyStillStoresAChangedIntervalAndCancelWritesNothing)
{
    const TWRepeatPtr repeat =
        TWRepeat::repeatWithType(TWRepeatTypeTransaction, 1, TWRepeatIntervalUnitMonth, QDateTime(),
                                 true, business->nextRepeatIdentifier());
    ASSERT_OK(business->addRepeat(repeat, false));
    const QDateTime day(QDate::currentDate().addDays(20), QTime(9, 0));
    const TWTransactionPtr item =
        storeTransaction(QStringLiteral("Item"), 100, day, repeat->identifier());
    const TWTransactionPtr other =
        storeTransaction(QStringLiteral("Item"), 100, day.addDays(30), repeat->identifier());

    TWTransactionController *editor = openEdit(item);
    ASSERT_TRUE(editor);
    type(editor, -5, QStringLiteral("Cancelled"));
    alertAnswer = 1001;
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Asking);
    EXPECT_FALSE(document->hasAttachedSheet());
    EXPECT_FALSE(editor->saved());
    EXPECT_EQ(business->transactionWithIdentifier(item->identifier())->payee(),
              QStringLiteral("Item"));

    editor = openEdit(business->transactionWithIdentifier(item->identifier()));
    editor->repeatController()->doInterval(3);
    type(editor, -5, QStringLiteral("Only me"));
    alertAnswer = 1000;
    editor->doSave(1);
    EXPECT_TRUE(editor->saved());
    EXPECT_EQ(business->repeatWithIdentifier(repeat->identifier())->interval(), 3u);
    EXPECT_EQ(business->transactionWithIdentifier(item->identifier())->payee(),
              QStringLiteral("Only me"));
    EXPECT_EQ(business->transactionWithIdentifier(other->identifier())->payee(),
              QStringLiteral("Item"));
}

TEST_F(TransactionEditorSave, AnAmountStillBeingTypedIsSaved)
{
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 100));
    ASSERT_TRUE(editor);
    QLineEdit *debit = editor->totalController()->field(TWTotalFieldDebit);
    debit->selectAll();
    QTest::keyClicks(debit, QStringLiteral("42.50"));
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    EXPECT_EQ(business->transactionWithIdentifier(editor->editTransaction()->identifier())->total(),
              4250);
}

// An amount not written as the locale writes numbers ("1234,56", "1 111.11" or
// 24 digits under en_US) is refused where it is typed, in the transaction's
// amount and in a split line: the field keeps the text and the focus, and Save
// stores neither another reading of it nor the amount there was before.
TEST_F(TransactionEditorSave, AnAmountNotWrittenAsTheLocaleWritesNumbersIsRefused)
{
    const qsizetype before = business->transactions().size();
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 100));
    ASSERT_TRUE(editor);
    const auto typeInto = [](QLineEdit *field, const QString &text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
    };
    QLineEdit *debit = editor->totalController()->field(TWTotalFieldDebit);
    for (const QString &text :
         {QStringLiteral("1234,56"), QStringLiteral("1 111.11"), QString(24, QLatin1Char('9'))}) {
        typeInto(debit, text);
        emit debit->editingFinished();
        QCoreApplication::processEvents();
        EXPECT_EQ(debit->text(), text);
        EXPECT_EQ(debit->window()->focusWidget(), debit);
        EXPECT_EQ(editor->totalController()->total(), 100);
        EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Refused) << text.toStdString();
        EXPECT_EQ(alerts.last(),
                  TWLocalized("refusedFieldMessage")
                      .arg(TWLocalized("total"), TWFormatter::formatter().typedNumberError()));
        EXPECT_EQ(business->transactions().size(), before);
    }
    typeInto(debit, QStringLiteral("1,234.56"));
    emit debit->editingFinished();
    editor->splitTransaction();
    ASSERT_EQ(editor->splitControllers().size(), 2);
    QLineEdit *line =
        editor->splitControllers().at(1)->totalController()->field(TWTotalFieldCredit);
    typeInto(line, QStringLiteral("1234,56"));
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Refused);
    QCoreApplication::processEvents();
    EXPECT_EQ(line->text(), QStringLiteral("1234,56"));
    EXPECT_EQ(line->window()->focusWidget(), line);
    EXPECT_EQ(business->transactions().size(), before);
    typeInto(line, QStringLiteral("1,234.56"));
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    EXPECT_EQ(business->transactionWithIdentifier(editor->editTransaction()->identifier())->total(),
              123456);
}

// A date that does not read as a whole date (a partial "12/8", a second date
// run on) is kept in the Date field, marked, when Tab leaves it; Save names
// the field and the transaction keeps its date until the text is mended.
TEST_F(TransactionEditorSave, ADateThatDoesNotReadIsKeptAndSaveNamesTheField)
{
    TWLocaleGuard pinned{QStringLiteral("en_US")};
    const qsizetype before = business->transactions().size();
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 100));
    ASSERT_TRUE(editor);
    auto *date = qobject_cast<QDateTimeEdit *>(editor->valueViewForField(TWFieldIdentifierDate));
    ASSERT_TRUE(date);
    ASSERT_TRUE(twActivate(date));
    const QDateTime shown = editor->editTransaction()->date();
    for (const QString &text : {QStringLiteral("12/8"), QStringLiteral("11/2/2612/8/26")}) {
        SCOPED_TRACE(text.toStdString());
        date->setFocus(Qt::TabFocusReason);
        twTypeDate(date, text);
        EXPECT_NE(QApplication::focusWidget(), date);
        EXPECT_EQ(date->text(), text);
        EXPECT_TRUE(twIsRefused(date));
        EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Refused);
        ASSERT_FALSE(alerts.isEmpty());
        EXPECT_TRUE(alerts.last().startsWith(TWLocalized("date") + QStringLiteral(": ")));
        EXPECT_EQ(editor->editTransaction()->date(), shown);
        EXPECT_EQ(business->transactions().size(), before);
    }
    twTypeDate(date, QStringLiteral("12/8/26"));
    EXPECT_FALSE(twIsRefused(date));
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    EXPECT_EQ(
        business->transactionWithIdentifier(editor->editTransaction()->identifier())->date().date(),
        QDate(2026, 12, 8));
}

TEST_F(TransactionEditorSave, ARefusedTransactionLeavesNoScheduleBehind)
{
    const TWTransactionPtr taken = storeTransaction(QStringLiteral("First"), 100);
    TWTransactionController *editor = openNew(makeTransaction(bank, rent, -50));
    ASSERT_TRUE(editor);
    editor->repeatController()->doRepeats(true);
    editor->editTransaction()->setIdentifier(taken->identifier());

    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Failed);
    EXPECT_TRUE(business->repeats().isEmpty());
    EXPECT_EQ(editor->editTransaction()->repeatIdentifier(), 0);
    EXPECT_TRUE(document->hasAttachedSheet());

    // Trying again with a free identifier stores one schedule, not two.
    editor->editTransaction()->setIdentifier(business->nextTransactionIdentifier());
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    ASSERT_EQ(business->repeats().size(), 1);
    EXPECT_EQ(business->transactionWithIdentifier(editor->editTransaction()->identifier())
                  ->repeatIdentifier(),
              business->repeats().first()->identifier());
}

// The register the editor was opened from; records what it is told to select.
class SelectingRegister final : public TWRegisterDetail
{
public:
    QWidget *view() override { return &m_view; }
    void selectTransactions(const TWTransactionList &list) override { selections.append(list); }
    QList<TWTransactionList> selections;

private:
    QWidget m_view;
};

TEST_F(TransactionEditorSave, ARepeatSetUpBeforeAutofillOrSplittingIsStillStored)
{
    business->setAutofill(true);
    TWTransactionPtr earlier = makeTransaction(rent, bank, 4200);
    earlier->setPayee(QStringLiteral("Landlord"));
    ASSERT_OK(business->addTransaction(earlier, false, false, false, true));

    // The schedule first, then the payee fills the rest in from earlier.
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 0));
    ASSERT_TRUE(editor);
    editor->repeatController()->doRepeats(true);
    editor->repeatController()->doInterval(3);
    type(editor, -5, QStringLiteral("Landlord"));
    ASSERT_EQ(editor->editTransaction()->total(), 4200);
    EXPECT_TRUE(editor->repeatController()->repeatsCheckbox()->isChecked());
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    ASSERT_EQ(business->repeats().size(), 1);
    EXPECT_EQ(business->repeats().first()->interval(), 3u);
    EXPECT_EQ(business->transactionWithIdentifier(editor->editTransaction()->identifier())
                  ->repeatIdentifier(),
              business->repeats().first()->identifier());

    // Splitting and unsplitting after switching the schedule on keeps it too.
    editor = openNew(makeTransaction(bank, sales, 700));
    editor->repeatController()->doRepeats(true);
    editor->splitTransaction();
    editor->splitTransaction();
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    EXPECT_EQ(business->repeats().size(), 2);
}

TEST_F(TransactionEditorSave, EscapeWhileTypingAnAmountLeavesTheNextTransactionAlone)
{
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 1500));
    ASSERT_TRUE(editor);
    QLineEdit *debit = editor->totalController()->field(TWTotalFieldDebit);
    QWidget *window = editor->view()->window();
    ASSERT_NE(window, editor->view());
    window->activateWindow();
    debit->setFocus();
    QTest::keyClicks(debit, QStringLiteral("9"));
    QTest::keyClick(window, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_FALSE(document->hasAttachedSheet());

    // The next transaction's amount is on the credit side.
    const TWTransactionPtr stored = storeTransaction(QStringLiteral("Next"), -2500);
    editor = openEdit(stored);
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    EXPECT_EQ(business->transactionWithIdentifier(stored->identifier())->total(), -2500);
}

} // namespace

TEST_F(TransactionEditorSave, ANewTransactionInAnEarlierOpenPeriodMovesItsYearEndTransfer)
{
    const TWAccountPtr equity = addAccount(QStringLiteral("Retained"), TWAccountTypeEquity);
    business->businessInfo()->setNominalTransferAccountIdentifier(equity->identifier());
    business->businessInfo()->setAccountingPeriods(
        {TWAccountingPeriod::accountingPeriodWithName(
             QStringLiteral("2025"), QDateTime(QDate(2025, 1, 1), QTime(0, 0)),
             QDateTime(QDate(2025, 12, 31), QTime(23, 59)), false, 1),
         TWAccountingPeriod::accountingPeriodWithName(
             QStringLiteral("2026"), QDateTime(QDate(2026, 1, 1), QTime(0, 0)),
             QDateTime(QDate(2026, 12, 31), QTime(23, 59)), false, 2)});
    ASSERT_OK(business->updateNominalTransferTransactions());
    const auto closingOfSales = [this] {
        qint64 sum = 0;
        for (const TWTransactionPtr &t : business->transactions())
            if (t->type() == TWTransactionTypeNominal &&
                t->account1Identifier() == sales->identifier())
                sum += t->totalAccount1();
        return sum;
    };
    ASSERT_EQ(closingOfSales(), 0);

    TWTransactionController *editor =
        openNew(makeTransaction(bank, sales, 900, QDateTime(QDate(2025, 5, 1), QTime(12, 0))));
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    // Sales of 2025 are closed into the equity account at the year's end: the transfer
    // takes back what the sale gave the account.
    const TWTransactionPtr stored =
        business->transactionWithIdentifier(editor->editTransaction()->identifier());
    ASSERT_TRUE(stored);
    EXPECT_EQ(std::abs(closingOfSales()), 900);
}

TEST_F(TransactionEditorSave, ReturnInAFieldSavesTheSheetNotCancels)
{
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 1500));
    ASSERT_TRUE(editor);
    QWidget *window = editor->view()->window();
    window->show();
    QCoreApplication::processEvents();
    QLineEdit *payee = textField(editor, -5);
    ASSERT_TRUE(payee);
    // Focus passes over the buttons first, as clicking about the sheet does.
    editor->view()->findChild<QPushButton *>()->setFocus();
    payee->setFocus();
    QTest::keyClicks(payee, QStringLiteral("Corner Shop"));
    QTest::keyClick(payee, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(editor->saved());
    const TWTransactionPtr stored =
        business->transactionWithIdentifier(editor->editTransaction()->identifier());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->payee(), QStringLiteral("Corner Shop"));
}
