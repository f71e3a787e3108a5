// The merchants view's commands: new, edit, duplicate, delete and mark bills,
// their check boxes, keys and context menu, and paying bills.

#include "work/TWMerchantController.h"

#include "work/TWBillController.h"
#include "work/TWWorkList.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "ledger/TWTransactionsController.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWRelationship.h"
#include "store/TWBusiness.h"
#include "store/TWClosedRefusals.h"
#include "store/TWDocumentNames.h"
#include "store/TWOwing.h"
#include "store/TWPaymentCopy.h"

#include <QMenu>
#include <QTableView>

namespace
{

const QString kMerchantErrorDomain = QStringLiteral("Tallyworth Merchant Error");

} // namespace

// ---- Check boxes, keys and the context menu ----

void TWMerchantController::workCheckbox(TWWorkTable *, int row, int tag, bool on)
{
    const TWBillPtr bill = m_bills.value(row);
    if (!bill || !m_business || (tag != TWBillColumnReceived && tag != TWBillColumnPaid))
        return;
    // The listed bill is the store's: it changes only once the store took the
    // change, so a failed write leaves the row as stored.
    const TWBillPtr changedBill = bill->copy();
    if (tag == TWBillColumnReceived)
        changedBill->setReceived(on);
    else
        changedBill->setPaid(on);
    if (TWErrorResult error = m_business->updateBill(changedBill, true)) {
        presentError(TWError(kMerchantErrorDomain, -1, error->localizedDescription()));
    } else {
        m_bills[row] = m_business->billWithIdentifier(changedBill->identifier());
        if (!m_bills[row])
            m_bills[row] = changedBill;
        m_bills[row]->setTransactions(bill->transactions());
        changed();
    }
    m_table->refreshRows({row});
}

bool TWMerchantController::workKey(TWWorkTable *table, int key)
{
    switch (key) {
    case 1:
        deleteSelectedBill(false);
        return true;
    case ' ':
    case '\r':
        if (table->rememberedRows().size() != 1)
            return false;
        editBill(m_bills.value(table->rememberedRows().constFirst()));
        return true;
    default:
        return false;
    }
}

void TWMerchantController::workDoubleClick(TWWorkTable *table)
{
    if (table->rememberedRows().size() == 1)
        editBill(m_bills.value(table->rememberedRows().constFirst()));
}

QMenu *TWMerchantController::workContextMenu(TWWorkTable *, QWidget *parent, bool rowClicked)
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("billsContextMenu"));
    const qsizetype rows = m_table->contextRows().size();
    if (m_mode == ModeMerchants) {
        QAction *item = menu->addAction(TWLocalized("newBill"), this, [this] { newBill(); });
        item->setEnabled(canAddBill());
    }
    if (rowClicked) {
        if (rows < 2)
            menu->addAction(TWLocalized("editBill"), this, [this] { editSelectedBill(true); });
        if (m_mode == ModeMerchants)
            menu->addAction(TWLocalized(rows < 2 ? "duplicateBill" : "duplicateBills"), this,
                            [this] { duplicateSelectedBill(true); });
        menu->addAction(TWLocalized(rows < 2 ? "deleteBill" : "deleteBills"), this,
                        [this] { deleteSelectedBill(true); });
        menu->addSeparator();
        QMenu *mark = menu->addMenu(TWLocalized("mark"));
        const auto addMark = [this, mark](const char *key, int tag) {
            mark->addAction(TWLocalized(key), this, [this, tag] { markBill(tag, true); });
        };
        addMark("asReceived", TWBillMarkReceived);
        addMark("asNotReceived", TWBillMarkNotReceived);
        mark->addSeparator();
        addMark("asPaid", TWBillMarkPaid);
        addMark("asNotPaid", TWBillMarkNotPaid);
    }
    return TWWorkList::shownOrNone(menu);
}

// ---- New and edit ----

TWBillController *TWMerchantController::ensureSheet()
{
    if (!m_sheet)
        m_sheet = new TWBillController();
    m_sheet->setBusinessController(m_document);
    m_sheet->setBusiness(m_business);
    return m_sheet;
}

void TWMerchantController::newBill()
{
    if (!canAddBill() || !m_business || !m_document)
        return;
    const qint32 identifier = m_business->nextBillIdentifier();
    if (identifier == 0) {
        presentError(m_document->lastStoreError());
        return;
    }
    const TWBillPtr bill =
        TWBill::billWithDate(TWClock::now(), QString(), true, false, QDateTime(), 0, QString(),
                             m_merchants.constFirst()->identifier(), identifier);
    TWBillController *sheet = ensureSheet();
    sheet->setBill(bill);
    sheet->setMode(TWEditorMode::New);
    sheet->update();
    QPointer<TWMerchantController> guarded(this);
    m_document->beginSheetWithView(sheet->view(), false, true, [guarded, bill](int code) {
        if (!guarded || code != TWSheetResult::Confirmed)
            return;
        guarded->updateMerchant();
        guarded->selectBill(bill);
        guarded->changed();
    });
}

void TWMerchantController::editSelectedBill(bool context)
{
    const QList<int> rows = m_table ? m_table->rowsActedOn(context) : QList<int>();
    if (rows.size() == 1)
        editBill(m_bills.value(rows.constFirst()));
}

void TWMerchantController::editBill(const TWBillPtr &bill)
{
    if (!bill || !m_document)
        return;
    TWBillController *sheet = ensureSheet();
    sheet->setBill(bill);
    sheet->setMode(TWEditorMode::Existing);
    sheet->update();
    const TWBillList remembered = selectedBills();
    QPointer<TWMerchantController> guarded(this);
    m_document->beginSheetWithView(sheet->view(), false, true, [guarded, remembered](int code) {
        if (!guarded || code != TWSheetResult::Confirmed)
            return;
        guarded->relist();
        const QList<int> rows = guarded->rowIndexesForBills(remembered);
        QItemSelection selection;
        for (int row : rows)
            selection.select(guarded->m_table->model()->index(row, 0),
                             guarded->m_table->model()->index(
                                 row, std::max(0, guarded->m_table->model()->columnCount() - 1)));
        guarded->m_table->table()->selectionModel()->select(
            selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    });
}

void TWMerchantController::relist()
{
    // Inside the repeats view a changed bill may change the schedule's row
    // above it (its items, its interval, the schedule itself): both lists
    // are read again there.
    if (m_mode == ModeRepeat && m_document && m_document->isMasterSelected(TWMasterSectionRepeats))
        m_document->transactionsUpdated();
    else
        updateMerchant();
}

void TWMerchantController::doRepeatButton(const TWBillPtr &bill)
{
    if (!bill || !m_business || !m_document || bill->repeatIdentifier() == 0)
        return;
    if (const TWRepeatPtr repeat = m_business->repeatWithIdentifier(bill->repeatIdentifier()))
        m_document->showRepeat(repeat);
}

// ---- Duplicate ----

void TWMerchantController::duplicateSelectedBill(bool context)
{
    if (!m_business || !canDuplicateBill(context))
        return;
    const TWBillList bills = billsForRowIndexes(m_table->rowsActedOn(context));
    bool closedLocked = false;
    twValidateEditBills(bills, nullptr, &closedLocked, nullptr, *m_business);
    if (!closedLocked) {
        duplicateBills(bills);
        return;
    }
    TWAlert alert;
    alert.message = TWLocalized("lockedClosedBillTransactionsDuplicate");
    alert.buttons = {TWLocalized("duplicateBills"), TWLocalized("cancel")};
    alert.window = alertWindow();
    QPointer<TWMerchantController> guarded(this);
    twRunAlert(alert, [guarded, bills](int code) {
        if (guarded && code == 1000)
            guarded->duplicateBills(bills);
    });
}

void TWMerchantController::duplicateBills(const TWBillList &bills)
{
    if (!m_business || m_mode != ModeMerchants)
        return;
    TWErrorResult failure;
    bool addedBill = false;
    bool addedTransaction = false;
    bool beforePeriod = false;
    for (const TWBillPtr &bill : bills) {
        const qint32 identifier = m_business->nextBillIdentifier();
        if (identifier == 0) {
            failure = TWBusinessController::lastStoreError(m_document);
            break;
        }
        const TWBillPtr copy = bill->copy();
        copy->setIdentifier(identifier);
        copy->setReceived(false);
        copy->setPaid(false);
        if ((failure = m_business->addBill(copy, false)))
            break;
        addedBill = true;
        // Only the charge is copied, never a payment linked beside it, and
        // only when it may be edited; the copy carries no attachments and
        // no schedule.
        const TWTransactionPtr source = m_business->rebookableBillCharge(*bill);
        if (!source || !source->canEdit())
            continue;
        if ((failure = twCopyLinkedPayment(
                 *m_business, *source, TWRelationshipTypeBillPayment, copy->merchantIdentifier(),
                 copy->identifier(),
                 [this] { return TWBusinessController::lastStoreError(m_document); },
                 addedTransaction, beforePeriod)))
            break;
    }
    if (beforePeriod)
        if (TWErrorResult error = m_business->updateNominalTransferTransactions();
            error && !failure)
            failure = error;
    if (addedBill)
        m_business->notifyBillsAdd();
    if (addedTransaction) {
        m_business->notifyTransactionsAdd();
        m_business->notifyValuesAdd();
        m_business->notifyRelationshipsAdd();
    }
    updateMerchant();
    changed();
    if (failure)
        presentError(*failure);
}

// ---- Delete ----

void TWMerchantController::deleteSelectedBill(bool context)
{
    if (!m_table || !canDeleteBill(context) || refuseClosedBills(context))
        return;
    // A payment shared with other bills or invoices goes whole: they are
    // named, and so are what it moved and how much of it was reconciled.
    const TWBusiness::DeletedPayments deleted =
        m_business->paymentsDeletedWith({}, billsForRowIndexes(m_table->rowsActedOn(context)));
    const QString shared = twDeletedPaymentsText(
        deleted, *m_business, !deleted.otherInvoices.isEmpty() || !deleted.otherBills.isEmpty());
    TWWorkList::confirmDeletion(
        this, m_table->rowsActedOn(context).size(), "deleteBillTitle", "deleteBillsTitle",
        "deleteBill", "deleteBills", alertWindow(),
        [this, context] { deleteConfirmed(billsForRowIndexes(m_table->rowsActedOn(context))); },
        shared);
}

bool TWMerchantController::refuseClosedBills(bool context)
{
    // A bill booked or paid in a closed period or by a locked transaction
    // keeps the books of that period: nothing of the batch is deleted, and
    // the user hears so before being asked anything.
    if (!m_business)
        return false;
    for (const TWBillPtr &bill : billsForRowIndexes(m_table->rowsActedOn(context))) {
        if (const TWTransactionPtr held = m_business->billClosedTransaction(*bill)) {
            twRunNotice(twClosedDeleteText(*m_business, *held), alertWindow());
            return true;
        }
    }
    return false;
}

void TWMerchantController::deleteConfirmed(const TWBillList &bills)
{
    if (!m_business)
        return;
    TWErrorResult failure;
    for (const TWBillPtr &bill : bills) {
        const TWRepeatPtr repeat = bill->repeatIdentifier() != 0
                                       ? m_business->repeatWithIdentifier(bill->repeatIdentifier())
                                       : nullptr;
        failure = m_business->deleteBill(bill, true);
        // The schedule makes its due bills again, also after a failed delete.
        if (repeat)
            if (TWErrorResult error = m_business->updateRepeatItemsForRepeat(repeat, false, true);
                error && !failure)
                failure = error;
        if (failure)
            break;
    }
    m_table->clearSelection();
    relist();
    changed();
    if (failure)
        presentError(*failure);
}

// ---- Mark ----

void TWMerchantController::markBill(int tag, bool context)
{
    if (!m_table || !m_business)
        return;
    const TWBillList bills = billsForRowIndexes(m_table->rowsActedOn(context));
    TWErrorResult failure;
    for (const TWBillPtr &bill : bills) {
        // Written through a copy: the store's bill changes only when the
        // write succeeded.
        const TWBillPtr marked = bill->copy();
        switch (tag) {
        case TWBillMarkReceived:
            marked->setReceived(true);
            break;
        case TWBillMarkNotReceived:
            marked->setReceived(false);
            break;
        case TWBillMarkPaid:
            marked->setPaid(true);
            break;
        case TWBillMarkNotPaid:
            marked->setPaid(false);
            break;
        default:
            break;
        }
        if ((failure = m_business->updateBill(marked, true)))
            break;
    }
    m_table->clearSelection();
    relist();
    changed();
    if (failure)
        presentError(*failure);
}

// ---- Paying ----

void TWMerchantController::newTransaction(bool multiple)
{
    if (!m_business || !m_document)
        return;
    const TWBillList chosen = selectedBills();
    if (chosen.isEmpty())
        return;
    TWAccountPtr account =
        m_business->lastBillAccount(*chosen.constFirst(), TWAccountTypeAccountsPayable);
    if (!account)
        account = m_document->newAccountOfType(TWAccountTypeAccountsPayable);
    // Without one the document has said why.
    if (!account)
        return;
    TWRelationshipList relationships;
    TWTransactionPtr transaction;
    if (TWErrorResult error = m_business->createBillTransaction(chosen, account, &relationships,
                                                                &transaction, false)) {
        presentError(*error);
        return;
    }
    m_document->newTransaction(transaction, relationships, multiple, m_register);
}
