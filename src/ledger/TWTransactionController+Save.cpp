// The save road: the checks, the repeat schedule and its items, and the
// store writes of the transaction with its links.

#include "ledger/TWTransactionController.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "app/TWTypedNumberField.h"
#include "ledger/TWAttachmentsController.h"
#include "ledger/TWRepeatController.h"
#include "ledger/TWSplitController.h"
#include "ledger/TWSplitEditing.h"
#include "ledger/TWTotalController.h"

#include "foundation/TWLocalized.h"
#include "model/TWBuiltInFields.h"
#include "store/TWAmountLimits.h"
#include "store/TWDocumentNames.h"
#include "store/TWTransactionEditing.h"

#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>

namespace
{
constexpr int kSaveTag = 1;
} // namespace

void TWTransactionController::showAlert(const QString &messageKey)
{
    twRunNotice(TWLocalized(messageKey), sheetWindow());
}

TWSaveOutcome TWTransactionController::doSave(int tag)
{
    if (m_attachmentsController)
        m_attachmentsController->close();
    if (tag != kSaveTag) {
        close(TWSheetResult::Cancelled);
        return TWSaveOutcome::Closed;
    }
    // A text being typed counts: its field ends editing first.
    if (auto *edit = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        edit && m_contentView && m_contentView->isAncestorOf(edit) &&
        edit->property("twFieldIdentifier").isValid() && edit->isModified())
        emit edit->editingFinished();
    // An amount refused as typed is mended before anything is saved: saving
    // the amount there was before, or another reading of it, would store
    // something the user did not type.
    QLineEdit *refused = m_refusedField;
    if (m_totalController && m_valueViews.contains(-10) && !m_totalController->commitEditing())
        refused = refused ? refused : m_totalController->editingField();
    for (TWSplitController *row : std::as_const(m_splitControllers)) {
        row->commitDescription();
        if (!row->totalController()->commitEditing())
            refused = refused ? refused : row->totalController()->editingField();
    }
    if (refused) {
        twExplainTypedNumber(refused);
        return TWSaveOutcome::Refused;
    }
    // So is any other field whose text was refused: a date, a second number.
    if (twExplainFirstRefusedField(m_contentView))
        return TWSaveOutcome::Refused;
    if (m_mode == TWTransactionEditorMode::ReadOnly || !m_business || !m_editTransaction) {
        close(TWSheetResult::Confirmed);
        return TWSaveOutcome::Closed;
    }
    const TWTransactionPtr edit = m_editTransaction;
    const TWRepeatPtr oldRepeat = edit->repeatIdentifier() != 0
                                      ? m_business->repeatWithIdentifier(edit->repeatIdentifier())
                                      : TWRepeatPtr();

    if (m_transaction->state() == TWTransactionStateNormal &&
        m_business->transactionClosed(*edit)) {
        // Named as every refused field is, by its label; the focus goes to it.
        QWidget *date = m_valueViews.value(TWFieldIdentifierDate);
        const QString name = twFieldName(date);
        const QString why = TWLocalized("editClosedTransaction");
        twRunNotice(name.isEmpty() ? why : TWLocalized("refusedFieldMessage").arg(name, why),
                    sheetWindow());
        if (date && date->isEnabled())
            date->setFocus(Qt::OtherFocusReason);
        return TWSaveOutcome::Refused;
    }
    if (edit->hasSplit() && !TWSplitEditing::splitIsBalanced(*edit)) {
        showAlert(QStringLiteral("unbalancedSplitMessage"));
        return TWSaveOutcome::Refused;
    }
    // An import row is only a preview: its repeat settings never reach the store.
    if (m_isImport)
        return saveTransactionComplete();

    const TWRepeatPtr repeat = m_repeat;
    if (repeat && oldRepeat) {
        TWAlert alert;
        alert.message = TWLocalized("editRepeatMessage");
        alert.buttons = {TWLocalized("thisTransactionOnly"), TWLocalized("cancel"),
                         TWLocalized("allFutureTransctions"), TWLocalized("allRelatedTransctions")};
        alert.window = sheetWindow();
        QPointer<TWTransactionController> guarded(this);
        twRunAlert(alert, [guarded](int code) {
            if (guarded)
                guarded->repeatAnswer(code);
        });
        return TWSaveOutcome::Asking;
    }
    if (!repeat && !oldRepeat)
        return saveTransactionComplete();

    // The schedule and the transaction land together or not at all, so that a
    // refused transaction leaves no schedule behind and the user can try again.
    TWErrorResult error;
    const qint32 previousRepeatIdentifier = edit->repeatIdentifier();
    {
        TWBusiness::WriteScope scope(*m_business);
        if (repeat) {
            const qint32 identifier = m_business->nextRepeatIdentifier();
            if (identifier == 0) {
                scope.rollback();
                presentError(m_document ? m_document->lastStoreError() : TWError());
                return TWSaveOutcome::Failed;
            }
            repeat->setIdentifier(identifier);
            repeat->setType(TWRepeatTypeTransaction);
            repeat->setActive(true);
            edit->setRepeatIdentifier(identifier);
            error = m_business->addRepeat(repeat, true);
        } else {
            error = m_business->deleteRepeat(oldRepeat, true);
            if (!error)
                edit->setRepeatIdentifier(0);
        }
        if (!error)
            error = writeTransaction();
        error = scope.finish(error);
    }
    if (error && !transactionLanded()) {
        // Nothing was written: the working copy is as the user left it.
        edit->setRepeatIdentifier(previousRepeatIdentifier);
        if (repeat && !oldRepeat)
            repeat->setIdentifier(0);
        presentError(*error);
        return TWSaveOutcome::Failed;
    }
    return finishSave(error);
}

TWSaveOutcome TWTransactionController::repeatAnswer(int code)
{
    if (code == 1001) {
        m_editTransaction.reset();
        m_repeat.reset();
        close(TWSheetResult::Cancelled);
        return TWSaveOutcome::Closed;
    }
    if (!m_business || !m_editTransaction)
        return TWSaveOutcome::Failed;
    return updateRepeatItems(code);
}

TWSaveOutcome TWTransactionController::updateRepeatItems(int code)
{
    const TWTransactionPtr edit = m_editTransaction;
    TWErrorResult error;
    int updated = 0;
    int left = 0;
    if (code == 1002 || code == 1003) {
        bool beforePeriod = false;
        const TWRepeatItemList items =
            m_business->itemsWithRepeatIdentifier(edit->repeatIdentifier());
        for (const TWRepeatItem &item : items) {
            const TWTransactionPtr other = item.record<TWTransaction>();
            if (!other || other->identifier() == edit->identifier())
                continue;
            // Items on the same day as the edited one count as future ones.
            if (code == 1002 && other->dayValue() < edit->dayValue())
                continue;
            // A closed year's figures and a locked entry stay as they were
            // booked, as in every other edit; the user is told how many.
            if (!other->canEdit() || m_business->transactionClosed(*other)) {
                ++left;
                continue;
            }
            twCopyRepeatFields(*other, *edit, *m_business);
            error = m_business->updateTransaction(other, false, false, false, false);
            if (error)
                break;
            ++updated;
            if (!beforePeriod)
                beforePeriod = m_business->transactionBeforeActiveAccountingPeriod(*other);
        }
        if (!error && beforePeriod)
            error = m_business->updateNominalTransferTransactions();
    }
    if (updated > 0) {
        m_business->notifyTransactionsUpdate();
        m_business->notifyValuesUpdate();
    }
    if (!error) {
        const TWRepeatPtr oldRepeat = m_business->repeatWithIdentifier(edit->repeatIdentifier());
        if (oldRepeat && m_repeat && !oldRepeat->equalInterval(*m_repeat)) {
            m_repeat->setIdentifier(oldRepeat->identifier());
            m_repeat->setType(oldRepeat->type());
            m_repeat->setActive(true);
            error = m_business->updateRepeat(m_repeat, true);
        }
    }
    if (error) {
        presentError(*error);
        return TWSaveOutcome::Failed;
    }
    const TWSaveOutcome outcome = saveTransactionComplete();
    // Said once the sheet is gone, on the window the register is in.
    if (left > 0)
        twRunNotice(TWLocalized("repeatItemsLeftMessage").arg(left),
                    m_document ? static_cast<QWidget *>(m_document->windowForSheet())
                               : sheetWindow());
    return outcome;
}

TWErrorResult
TWTransactionController::addTransactionWithRelationships(const TWTransactionPtr &transaction)
{
    // Links, transaction and the year-end transfers of an earlier period it is dated in, in one
    // write: a refusal anywhere leaves no link pointing at nothing and no stale transfer.
    TWBusiness::WriteScope scope(*m_business);
    for (const TWRelationshipPtr &relationship : std::as_const(m_relationships)) {
        if (TWErrorResult error = m_business->addRelationship(relationship, true))
            return scope.finish(error);
    }
    return scope.finish(m_business->addTransaction(transaction, true, true, true, true));
}

TWErrorResult TWTransactionController::writeTransaction()
{
    if (m_isImport)
        return std::nullopt;
    // An amount or a balance out of 64 bits' range is refused, never stored
    // as 0 or held at the limit.
    if (TWErrorResult refused = TWAmountLimits::amountsError(*m_business, {m_editTransaction}))
        return refused;
    if (m_mode == TWTransactionEditorMode::Edit)
        return m_business->updateTransaction(m_editTransaction, true, true, true, true);
    return addTransactionWithRelationships(m_editTransaction);
}

bool TWTransactionController::transactionLanded() const
{
    return m_isImport ||
           (m_editTransaction &&
            m_business->transactionWithIdentifier(m_editTransaction->identifier()).get() ==
                m_editTransaction.get());
}

TWSaveOutcome TWTransactionController::saveTransactionComplete()
{
    return finishSave(writeTransaction());
}

void TWTransactionController::settleBills()
{
    if (m_isImport || !m_editTransaction || !m_business)
        return;
    // A bill whose payments reach its total reads as paid; one paid beyond
    // it is never passed over in silence.
    const TWBusiness::SettledBills settled = m_business->settleBillsPaidBy(*m_editTransaction);
    // The lists showing those bills take their new state.
    if (!settled.marked.isEmpty() && m_document)
        m_document->transactionsUpdated();
    QWidget *window =
        m_document ? static_cast<QWidget *>(m_document->windowForSheet()) : sheetWindow();
    if (!settled.overpaid.isEmpty())
        twRunNotice(twOverpaidBillsText(settled.overpaid, *m_business), window);
    if (settled.error)
        presentError(*settled.error);
}

TWSaveOutcome TWTransactionController::finishSave(const TWErrorResult &error)
{
    // The store also reports a failed year-end rebuild after the transaction
    // itself was stored; that save went through.
    if (error && !transactionLanded()) {
        presentError(*error);
        return TWSaveOutcome::Failed;
    }

    if (m_attachmentsController) {
        for (const TWAttachmentPtr &attachment : m_attachmentsController->deletedAttachments())
            m_business->deleteTransactionAttachment(attachment);
        m_attachmentsController->clearDeletedAttachments();
    }
    m_saved = true;
    if (m_document)
        m_document->updateChangeCount(0);
    settleBills();

    if (m_mode == TWTransactionEditorMode::NewSeveral) {
        // The next transaction of the run: a fresh copy of the template with
        // its own identifier and new lines. The links belonged to the first.
        m_autofill = true;
        m_relationships.clear();
        const TWTransactionPtr next = m_transaction->copy();
        next->setIdentifier(m_business->nextTransactionIdentifier());
        TWSplitList splits;
        for (const TWSplitPtr &split : next->splits())
            splits.append(split ? split->copyForRepeat() : split);
        next->setSplits(splits);
        m_editTransaction = next;
        m_fieldValuesUnit = next->unit();
        const TWRepeatPtr stored = m_business->repeatWithIdentifier(next->repeatIdentifier());
        m_repeat = stored ? stored->copy() : TWRepeatPtr();
        updateValues();
        if (error)
            presentError(*error);
        return TWSaveOutcome::Continued;
    }
    m_relationships.clear();
    close(TWSheetResult::Confirmed);
    if (error)
        presentError(*error);
    return TWSaveOutcome::Closed;
}
