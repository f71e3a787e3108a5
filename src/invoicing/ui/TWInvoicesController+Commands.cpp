// The invoice list's commands: what they may do, the context menu, new,
// edit, duplicate, delete, mark, send and a payment. A command with
// `context` acts on the rows the last context menu was opened on, otherwise
// on the selection. A store error stops a command at the failing invoice;
// what was written before stays, the list is read again and the error shown.

#include "invoicing/ui/TWInvoicesController.h"

#include "invoicing/ui/TWInvoiceController.h"
#include "invoicing/ui/TWInvoicesModel.h"
#include "invoicing/ui/TWSendInvoiceController.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "ledger/TWTransactionsController.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWAccount.h"
#include "model/TWRelationship.h"
#include "model/TWSplit.h"
#include "store/TWBusiness.h"
#include "store/TWClosedRefusals.h"
#include "store/TWDocumentNames.h"
#include "store/TWOwing.h"
#include "store/TWPaymentCopy.h"

#include <QMenu>

namespace
{

} // namespace

// ---- What the commands may do ----

TWInvoiceListState TWInvoicesController::listState(bool context) const
{
    TWInvoiceListState state;
    state.mode = m_mode;
    state.shownProjects = m_mode == ModeProjects ? int(m_projects.size()) : 0;
    state.concernedRows = int(concernedRows(context).size());
    const TWInvoiceList selected = selectedInvoices();
    state.selectedRows = int(selected.size());
    state.paneEnabled = m_transactionsController && m_transactionsController->isEnabled();
    state.selectedOneProject =
        !selected.isEmpty() &&
        std::all_of(selected.begin(), selected.end(), [&selected](const TWInvoicePtr &invoice) {
            return invoice->projectIdentifier() == selected.first()->projectIdentifier();
        });
    state.showingSendInvoice = m_showingSendInvoice;
    return state;
}

bool TWInvoicesController::canAddInvoice() const
{
    return twInvoiceListCan(TWQuery::CanAddInvoice, listState(false));
}

bool TWInvoicesController::canEditInvoice(bool context) const
{
    return twInvoiceListCan(TWQuery::CanEditInvoice, listState(context));
}

bool TWInvoicesController::canDuplicateInvoice(bool context) const
{
    return twInvoiceListCan(TWQuery::CanDuplicateInvoice, listState(context));
}

bool TWInvoicesController::canDeleteInvoice(bool context) const
{
    return twInvoiceListCan(TWQuery::CanDeleteInvoice, listState(context));
}

bool TWInvoicesController::canMarkInvoice(bool context) const
{
    return twInvoiceListCan(TWQuery::CanMarkInvoice, listState(context));
}

bool TWInvoicesController::canSendInvoice(bool context) const
{
    return twInvoiceListCan(TWQuery::CanSendInvoice, listState(context));
}

bool TWInvoicesController::canAddTransaction() const
{
    return twInvoiceListCan(TWQuery::CanAddTransaction, listState(false));
}

bool TWInvoicesController::validationQuery(TWQuery query, bool context) const
{
    return twInvoiceListCan(query, listState(context));
}

// ---- Context menu ----

QMenu *TWInvoicesController::tableViewMenu(TWTableView *, const QPoint &position)
{
    if (m_contextMenu)
        m_contextMenu->deleteLater();
    m_contextMenu = contextMenuForRow(m_table ? m_table->rowAt(position.y()) : -1);
    if (m_contextMenu && m_table)
        m_contextMenu->setParent(m_table, m_contextMenu->windowFlags());
    return m_contextMenu;
}

QMenu *TWInvoicesController::contextMenuForRow(int row)
{
    const QList<int> selection = selectedRows();
    const bool overRow = row >= 0 && row < m_invoices.size();
    if (!overRow)
        m_contextRows = selection;
    else if (selection.contains(row))
        m_contextRows = selection;
    else
        m_contextRows = {row};
    auto *menu = new QMenu;
    if (m_mode == ModeProjects) {
        QAction *item = menu->addAction(TWLocalized("newInvoice"), this, [this] { newInvoice(); });
        item->setEnabled(canAddInvoice());
    }
    if (overRow) {
        const qsizetype count = m_contextRows.size();
        if (count == 1)
            menu->addAction(TWLocalized("editInvoice"), this,
                            [this] { editSelectedInvoice(true); });
        if (m_mode == ModeProjects)
            menu->addAction(TWLocalized(count == 1 ? "duplicateInvoice" : "duplicateInvoices"),
                            this, [this] { duplicateSelectedInvoice(true); });
        menu->addAction(TWLocalized(count == 1 ? "deleteInvoice" : "deleteInvoices"), this,
                        [this] { deleteSelectedInvoice(true); });
        if (m_mode == ModeProjects)
            menu->addAction(TWLocalized("sendInvoice"), this, [this] { sendInvoice(true); });
        menu->addSeparator();
        QMenu *mark = menu->addMenu(TWLocalized("mark"));
        mark->addAction(TWLocalized("asSent"), this, [this] { markInvoice(0, true); });
        mark->addAction(TWLocalized("asNotSent"), this, [this] { markInvoice(1, true); });
        mark->addSeparator();
        mark->addAction(TWLocalized("asPaid"), this, [this] { markInvoice(4, true); });
        mark->addAction(TWLocalized("asNotPaid"), this, [this] { markInvoice(5, true); });
    }
    if (menu->isEmpty()) {
        delete menu;
        return nullptr;
    }
    return menu;
}

// ---- New and edit ----

TWInvoiceController *TWInvoicesController::ensureInvoiceController()
{
    if (!m_invoiceController)
        m_invoiceController = new TWInvoiceController;
    return m_invoiceController;
}

void TWInvoicesController::showInvoiceEditor(const TWInvoicePtr &invoice, TWEditorMode mode)
{
    if (!m_document || !m_business || !invoice)
        return;
    TWInvoiceController *editor = ensureInvoiceController();
    editor->setInvoice(invoice);
    editor->setMode(mode);
    editor->setBusinessController(m_document);
    editor->setBusiness(m_business);
    editor->update();
    const TWInvoiceList remembered =
        mode == TWEditorMode::Existing ? selectedInvoices() : TWInvoiceList();
    QPointer<TWInvoicesController> guarded(this);
    m_document->beginSheetWithView(
        editor->view(), false, true, [guarded, mode, remembered](int code) {
            if (!guarded || code != TWSheetResult::Confirmed)
                return;
            TWInvoicesController &list = *guarded;
            list.updateInvoices();
            if (mode == TWEditorMode::New) {
                const TWInvoicePtr made = list.m_invoiceController->editInvoice();
                if (made)
                    list.selectInvoice(made);
                list.changed();
            } else if (!remembered.isEmpty()) {
                list.selectRows(list.rowIndexesForInvoices(remembered));
            }
        });
}

void TWInvoicesController::newInvoice()
{
    if (!m_business || !canAddInvoice())
        return;
    const qint32 identifier = m_business->nextInvoiceIdentifier();
    if (identifier == 0) {
        if (m_document)
            presentError(m_document->lastStoreError());
        return;
    }
    showInvoiceEditor(TWInvoice::invoiceWithDate(TWClock::now(), QString(), QString(), false, false,
                                                 QDateTime(), 0, QString(),
                                                 m_projects.first()->identifier(), identifier),
                      TWEditorMode::New);
}

void TWInvoicesController::editSelectedInvoice(bool context)
{
    const TWInvoiceList concerned = invoicesForRowIndexes(concernedRows(context));
    if (concerned.size() == 1)
        editInvoice(concerned.first());
}

void TWInvoicesController::editInvoice(const TWInvoicePtr &invoice)
{
    showInvoiceEditor(invoice, TWEditorMode::Existing);
}

// ---- Duplicate ----

void TWInvoicesController::duplicateSelectedInvoice(bool context)
{
    if (!m_business || !canDuplicateInvoice(context))
        return;
    const TWInvoiceList concerned = invoicesForRowIndexes(concernedRows(context));
    bool closedLocked = false;
    twValidateEditInvoices(concerned, nullptr, &closedLocked, nullptr, *m_business);
    if (!closedLocked) {
        if (TWErrorResult error = duplicateInvoices(concerned))
            presentError(*error);
        return;
    }
    TWAlert alert;
    alert.message = TWLocalized("lockedClosedInvoiceTransactionsDuplicate");
    alert.buttons = {TWLocalized("duplicateInvoices"), TWLocalized("cancel")};
    alert.window = m_view ? m_view->window() : nullptr;
    QPointer<TWInvoicesController> guarded(this);
    twRunAlert(alert, [guarded, concerned](int code) {
        if (!guarded || code != 1000)
            return;
        if (TWErrorResult error = guarded->duplicateInvoices(concerned))
            guarded->presentError(*error);
    });
}

TWErrorResult TWInvoicesController::duplicateInvoices(const TWInvoiceList &invoices)
{
    if (!m_business)
        return std::nullopt;
    TWBusiness &business = *m_business;
    const auto storeError = [this] { return TWBusinessController::lastStoreError(m_document); };
    bool added = false;
    bool copied = false;
    bool beforePeriod = false;
    TWErrorResult failure;
    for (const TWInvoicePtr &invoice : invoices) {
        const qint32 identifier = business.nextInvoiceIdentifier();
        if (identifier == 0) {
            failure = storeError();
            break;
        }
        // Same date, number, name, due date, schedule, notes and project;
        // neither sent nor paid, and no lines.
        const TWInvoicePtr copy = invoice->copy();
        copy->setIdentifier(identifier);
        copy->setSent(false);
        copy->setPaid(false);
        if ((failure = business.addInvoice(copy, false)))
            break;
        added = true;
        // Only the entry is copied, never money or a discount linked beside
        // it: the copy is owed what its lines bill, nothing was paid on it.
        const TWTransactionPtr entry = business.rebookableInvoiceEntry(*invoice);
        if (!entry || !entry->canEdit())
            continue;
        if ((failure = twCopyLinkedPayment(business, *entry, TWRelationshipTypeInvoicePayment,
                                           copy->projectIdentifier(), copy->identifier(),
                                           storeError, copied, beforePeriod)))
            break;
    }
    // Also after a stop: what was added is announced and the list read again.
    if (beforePeriod)
        if (TWErrorResult error = business.updateNominalTransferTransactions(); error && !failure)
            failure = error;
    if (added)
        business.notifyInvoicesAdd();
    if (copied) {
        business.notifyTransactionsAdd();
        business.notifyValuesAdd();
        business.notifyRelationshipsAdd();
    }
    updateInvoices();
    if (added || copied)
        changed();
    return failure;
}

// ---- Delete ----

void TWInvoicesController::deleteSelectedInvoice(bool context)
{
    if (!m_business || !canDeleteInvoice(context))
        return;
    const TWInvoiceList concerned = invoicesForRowIndexes(concernedRows(context));
    // A closed or locked entry keeps every concerned invoice: said before
    // anything is asked.
    for (const TWInvoicePtr &invoice : concerned)
        if (const TWTransactionPtr held = m_business->invoiceClosedTransaction(*invoice)) {
            twRunNotice(twClosedDeleteText(*m_business, *held),
                        m_view ? m_view->window() : nullptr);
            return;
        }
    const bool one = concerned.size() == 1;
    TWAlert alert;
    alert.message = TWLocalized(one ? "deleteInvoiceTitle" : "deleteInvoicesTitle");
    alert.buttons = {TWLocalized(one ? "deleteInvoice" : "deleteInvoices"), TWLocalized("cancel")};
    // A payment shared with other invoices or bills goes whole: they are
    // named, and so are what it moved and how much of it was reconciled.
    const TWBusiness::DeletedPayments deleted = m_business->paymentsDeletedWith(concerned, {});
    alert.informativeText = twDeletedPaymentsText(
        deleted, *m_business, !deleted.otherInvoices.isEmpty() || !deleted.otherBills.isEmpty());
    alert.window = m_view ? m_view->window() : nullptr;
    QPointer<TWInvoicesController> guarded(this);
    twRunAlert(alert, [guarded, concerned](int code) {
        if (guarded && code == 1000)
            guarded->deleteInvoicesConfirmed(concerned);
    });
}

void TWInvoicesController::deleteInvoicesConfirmed(const TWInvoiceList &invoices)
{
    if (!m_business)
        return;
    TWBusiness &business = *m_business;
    TWErrorResult failure;
    bool deleted = false;
    for (const TWInvoicePtr &invoice : invoices) {
        if ((failure = business.deleteInvoice(invoice, true)))
            break;
        deleted = true;
    }
    if (m_table)
        m_table->clearSelection();
    updateInvoices();
    if (deleted)
        changed();
    if (failure)
        presentError(*failure);
}

// ---- Mark ----

void TWInvoicesController::markInvoice(int tag, bool context)
{
    if (!m_business)
        return;
    const TWInvoiceList concerned = invoicesForRowIndexes(concernedRows(context));
    TWErrorResult failure;
    bool written = false;
    for (const TWInvoicePtr &invoice : concerned) {
        const bool sent = invoice->sent();
        const bool paid = invoice->paid();
        switch (tag) {
        case 0:
            invoice->setSent(true);
            break;
        case 1:
            invoice->setSent(false);
            break;
        case 4:
            invoice->setPaid(true);
            break;
        case 5:
            invoice->setPaid(false);
            break;
        default:
            break;
        }
        if ((failure = m_business->updateInvoice(invoice, true))) {
            // The refused invoice keeps what is stored.
            invoice->setSent(sent);
            invoice->setPaid(paid);
            break;
        }
        written = true;
    }
    if (m_table)
        m_table->clearSelection();
    updateInvoices();
    if (written)
        changed();
    if (failure)
        presentError(*failure);
}

// ---- Send ----

void TWInvoicesController::sendInvoice(bool context)
{
    if (!m_document || !m_business)
        return;
    const TWInvoiceList concerned = invoicesForRowIndexes(concernedRows(context));
    if (concerned.isEmpty())
        return;
    if (!m_sendController)
        m_sendController = new TWSendInvoiceController;
    m_sendController->setBusinessController(m_document);
    m_sendController->setBusiness(m_business);
    m_sendController->setInvoice(concerned.first());
    m_sendController->update();
    m_showingSendInvoice = true;
    QPointer<TWInvoicesController> guarded(this);
    m_document->beginSheetWithView(m_sendController->view(), false, true, [guarded](int) {
        if (!guarded)
            return;
        guarded->m_showingSendInvoice = false;
        if (guarded->m_sendController)
            guarded->m_sendController->reset();
    });
}

// ---- Payment ----

void TWInvoicesController::newTransaction(bool multiple)
{
    if (!m_business || !m_document)
        return;
    const TWInvoiceList invoices = selectedInvoices();
    if (invoices.isEmpty())
        return;
    TWAccountPtr account = m_business->lastInvoiceAccountIdentifier(
        *invoices.first(), TWAccountTypeAccountsReceivable);
    if (!account)
        account = m_document->newAccountOfType(TWAccountTypeAccountsReceivable);
    if (!account)
        return; // the document has shown why
    TWRelationshipList relationships;
    TWTransactionPtr transaction;
    if (TWErrorResult error = m_business->createInvoiceTransaction(
            invoices, account, &relationships, &transaction, false)) {
        presentError(*error);
        return;
    }
    m_document->newTransaction(transaction, relationships, multiple, m_transactionsController);
}
