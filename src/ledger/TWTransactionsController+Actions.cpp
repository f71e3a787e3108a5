// What the user does to the register's rows: the context menu, keys, edit,
// delete, duplicate, mark, converted totals, related records, cell check
// boxes and buttons, and the attachment preview.

#include "ledger/TWTransactionsController.h"

#include "ledger/TWRegisterMenu.h"
#include "ledger/TWTransactionsModel.h"

#include "app/TWAlert.h"
#include "app/TWMenus.h"
#include "ledger/TWPreviewPanel.h"

#include "foundation/TWLocalized.h"
#include "model/TWBuiltInFields.h"
#include "model/TWFieldValue.h"
#include "model/TWRelationship.h"
#include "model/TWRepeat.h"
#include "model/TWSplit.h"
#include "model/TWTotalType.h"
#include "store/TWBusiness.h"
#include "store/TWTransactionEditing.h"

#include <QMainWindow>
#include <QMenu>

namespace
{

const QString kAccountTransactionsErrorDomain =
    QStringLiteral("Tallyworth Account Transactions Error");

enum Notifications { NotifyAdd, NotifyUpdate, NotifyDelete };

} // namespace

QWidget *TWTransactionsController::alertWindow() const
{
    if (m_document)
        if (QWidget *window = m_document->windowForSheet())
            return window;
    return m_view ? m_view->window() : nullptr;
}

// ---- Context menu and keys ----

QMenu *TWTransactionsController::contextMenuForRow(int row)
{
    if (!isEnabled())
        return nullptr;
    TWRegisterMenuInput input;
    input.mode = m_mode;
    input.hasParentItems = !m_parentItems.isEmpty();
    input.invoiceCount = int(m_invoices.size());
    input.invoicesShareProject =
        std::all_of(m_invoices.begin(), m_invoices.end(), [&](const auto &i) {
            return i->projectIdentifier() == m_invoices.first()->projectIdentifier();
        });
    input.billCount = int(m_bills.size());
    input.billsShareMerchant = std::all_of(m_bills.begin(), m_bills.end(), [&](const auto &b) {
        return b->merchantIdentifier() == m_bills.first()->merchantIdentifier();
    });
    input.clickedRow = row >= 0 && row < m_sortedTransactions.size() ? row : -1;
    input.selectedRows = m_selectedRows;
    m_contextRows = input.clickedRow < 0 ? m_selectedRows
                                         : twRegisterContextRows(input.clickedRow, m_selectedRows);
    input.contextRowRelated = hasSelectedTransaction(true, true, false, true);
    const QList<TWRegisterMenuItem> items = twRegisterContextMenu(input);
    auto *menu = new QMenu(m_tableView);
    menu->setObjectName(QStringLiteral("registerContextMenu"));
    const auto fill = [this](QMenu *target, const QList<TWRegisterMenuItem> &entries,
                             const auto &self) -> void {
        for (const TWRegisterMenuItem &entry : entries) {
            if (entry.isSeparator()) {
                target->addSeparator();
            } else if (!entry.submenu.isEmpty()) {
                QMenu *sub = target->addMenu(TWLocalized(entry.key));
                self(sub, entry.submenu, self);
            } else {
                QAction *item =
                    twMenuAction(target, TWLocalized(entry.key), entry.action, entry.tag);
                QPointer<QAction> guarded(item);
                const TWAction action = entry.action;
                const int tag = entry.tag;
                connect(item, &QAction::triggered, this, [this, guarded, action, tag] {
                    if (m_document && guarded)
                        m_document->perform(action, tag, guarded);
                });
            }
        }
    };
    fill(menu, items, fill);
    if (m_contextMenu)
        m_contextMenu->deleteLater();
    m_contextMenu = menu;
    return menu;
}

QMenu *TWTransactionsController::tableViewMenu(TWTableView *, const QPoint &position)
{
    const QModelIndex index = m_tableView->indexAt(position);
    QMenu *menu = contextMenuForRow(index.isValid() ? index.row() : -1);
    return menu && !menu->isEmpty() ? menu : nullptr;
}

bool TWTransactionsController::tableViewDelete(TWTableView *)
{
    // The preview's rows are not in the store: a delete would reach a stored
    // transaction of the same identifier. The import sheet's list of existing
    // transactions deletes as a register does.
    if (m_mode == TWRegisterMode::ImportPreview)
        return false;
    deleteSelectedTransaction(false);
    return true;
}

bool TWTransactionsController::tableViewSpace(TWTableView *)
{
    if (m_selectedTransactions.size() != 1)
        return false;
    editSelectedTransaction(false);
    return true;
}

bool TWTransactionsController::tableViewReturn(TWTableView *table)
{
    return tableViewSpace(table);
}

void TWTransactionsController::editSelectedTransaction(bool context)
{
    const TWTransactionList rows = selectedTransactionsContext(context);
    if (rows.size() == 1 && m_document)
        m_document->editTransaction(rows.first(), m_mode == TWRegisterMode::ImportPreview, this);
}

// ---- The closed-and-locked rule ----

void TWTransactionsController::withEditable(
    const TWTransactionList &transactions, const char *mixedMessage, const char *actionTitle,
    const std::optional<Question> &question,
    std::function<void(const TWTransactionList &, int code)> action, const char *lockedMessage)
{
    if (transactions.isEmpty())
        return;
    bool repeat = false, closedLocked = false, normal = false;
    TWTransaction::validateEditTransactions(transactions, &repeat, &closedLocked, &normal);
    QPointer<TWTransactionsController> self(this);
    if (closedLocked && !normal) {
        // One row is spoken of as one.
        const char *message = lockedMessage              ? lockedMessage
                              : transactions.size() == 1 ? "lockedClosedTransaction"
                                                         : "lockedClosedTransactions";
        twRunAlert({TWLocalized(message), {}, {TWLocalized("ok")}, alertWindow()});
        return;
    }
    if (closedLocked) {
        twRunAlert({TWLocalized(mixedMessage),
                    {},
                    {TWLocalized(actionTitle), TWLocalized("cancel")},
                    alertWindow()},
                   [self, transactions, action](int code) {
                       if (self && code == 1000)
                           action(transactions, 1000);
                   });
        return;
    }
    if (question) {
        twRunAlert({question->message, {}, question->buttons, alertWindow()},
                   [self, transactions, action](int code) {
                       if (self)
                           action(transactions, code);
                   });
        return;
    }
    action(transactions, 1000);
}

void TWTransactionsController::finishBatch(bool written, bool, int notifications)
{
    if (!written || !m_business)
        return;
    switch (notifications) {
    case NotifyAdd:
        m_business->notifyTransactionsAdd();
        m_business->notifyValuesAdd();
        break;
    case NotifyUpdate:
        m_business->notifyTransactionsUpdate();
        m_business->notifyValuesUpdate();
        break;
    default:
        m_business->notifyTransactionsDelete();
        m_business->notifyValuesDelete();
        break;
    }
}

// The end of every batch of writes: one year-end rebuild when a row lay before the active
// period, one notification pair, and the first error (a write's, else the rebuild's) shown.
void TWTransactionsController::endBatch(bool written, bool rebuild, int notifications,
                                        const TWErrorResult &error)
{
    const TWErrorResult refresh =
        rebuild && m_business ? m_business->updateNominalTransferTransactions() : TWErrorResult();
    finishBatch(written, rebuild, notifications);
    clearSelection();
    if (!m_document)
        return;
    m_document->updateChangeCount(0);
    if (error || refresh)
        m_document->presentError(error ? *error : *refresh);
}

// ---- Delete ----

void TWTransactionsController::deleteSelectedTransaction(bool context)
{
    const TWTransactionList transactions = selectedTransactionsContext(context);
    if (transactions.isEmpty())
        return;
    const bool several = transactions.size() > 1;
    bool repeat = false;
    TWTransaction::validateEditTransactions(transactions, &repeat, nullptr, nullptr);
    Question question;
    if (repeat) {
        question.message = TWLocalized(several ? "deleteRepeatTransactionsMessage"
                                               : "deleteRepeatTransactionMessage");
        question.buttons = {TWLocalized("deleteTransactionOnly"), TWLocalized("cancel"),
                            TWLocalized("deleteRelatedTransactions")};
    } else {
        question.message =
            TWLocalized(several ? "deleteTransactionsMessage" : "deleteTransactionMessage");
        question.buttons = {TWLocalized(several ? "deleteTransactions" : "deleteTransaction"),
                            TWLocalized("cancel")};
    }
    withEditable(
        transactions, "lockedClosedTransactionsDelete", "deleteTransactions", question,
        [this, repeat](const TWTransactionList &list, int code) {
            if (code == 1000 || (repeat && code == 1002))
                deleteTransactions(list, code == 1002);
        },
        several ? "lockedClosedTransactionsDeleteAll" : "lockedClosedTransactionDelete");
}

void TWTransactionsController::deleteTransactions(const TWTransactionList &transactions,
                                                  bool deleteRepeating)
{
    if (!m_business)
        return;
    bool written = false, rebuild = false;
    TWErrorResult error;
    for (const TWTransactionPtr &t : transactions) {
        if (!t->canEdit())
            continue;
        if (!rebuild)
            rebuild = m_business->transactionBeforeActiveAccountingPeriod(*t);
        if (deleteRepeating && t->repeatIdentifier()) {
            const TWRepeatPtr repeat = m_business->repeatWithIdentifier(t->repeatIdentifier());
            if (repeat && !m_business->repeatContainsClosedTransactions(*repeat)) {
                written = true;
                error = m_business->deleteRepeatTransactions(repeat, false);
                if (error)
                    break;
                continue;
            }
        }
        written = true;
        // Deleted alone, the latest occurrence stays deleted: its repeat
        // moves past it instead of making it again.
        if (t->repeatIdentifier())
            error = m_business->moveRepeatPastItem(t->repeatIdentifier(), t->date());
        if (!error)
            error = m_business->deleteTransaction(t, true, false, false);
        if (error)
            break;
    }
    endBatch(written, rebuild, NotifyDelete, error);
}

// ---- Duplicate ----

void TWTransactionsController::duplicateSelectedTransaction(bool context)
{
    withEditable(selectedTransactionsContext(context), "lockedClosedTransactionsDuplicate",
                 "duplicateTransactions", std::nullopt,
                 [this](const TWTransactionList &list, int) { duplicateTransactions(list); });
}

void TWTransactionsController::duplicateTransactions(const TWTransactionList &transactions)
{
    if (!m_business)
        return;
    bool written = false, rebuild = false;
    TWErrorResult error;
    for (const TWTransactionPtr &t : transactions) {
        if (!t->canEdit())
            continue;
        const TWRelationshipList relationships = m_business->relationshipsWithTransaction(*t);
        TWTransactionPtr copy = t->copy();
        copy->setIdentifier(m_business->nextTransactionIdentifier());
        copy->setHasAttachments(false);
        copy->setAttachments(std::nullopt);
        copy->setRepeatIdentifier(0);
        TWSplitList splits;
        for (const TWSplitPtr &split : t->splits()) {
            TWSplitPtr line = split->copy();
            line->setIdentifier(0); // the store gives each line a new identifier
            splits.append(line);
        }
        copy->setSplits(splits);
        error = m_business->addTransaction(copy, true, false, false, false);
        if (error)
            break;
        written = true;
        if (!rebuild)
            rebuild = m_business->transactionBeforeActiveAccountingPeriod(*copy);
        for (const TWRelationshipPtr &relationship : relationships) {
            if (relationship->splitIdentifier() != 0)
                continue;
            TWRelationshipPtr link = relationship->copy();
            link->setTransactionIdentifier(copy->identifier());
            link->setIdentifier(m_business->nextRelationshipIdentifier());
            // A copy of an invoice's or bill's entry is a further charge of
            // it, never a second entry.
            if (link->type() == TWRelationshipTypeInvoicePayment ||
                link->type() == TWRelationshipTypeBillPayment)
                link->setValue(TWDocumentLinkOther);
            error = m_business->addRelationship(link, true);
            if (error)
                break;
        }
        if (error)
            break;
    }
    endBatch(written, rebuild, NotifyAdd, error);
}

// ---- Mark ----

void TWTransactionsController::markSelectedTransaction(bool cleared, bool context)
{
    withEditable(
        selectedTransactionsContext(context), "lockedClosedTransactionsMark", "mark", std::nullopt,
        [this, cleared](const TWTransactionList &list, int) { markTransactions(list, cleared); });
}

void TWTransactionsController::markTransactions(const TWTransactionList &transactions, bool cleared)
{
    if (m_mode == TWRegisterMode::ImportPreview) {
        // The preview's rows are not in the store yet.
        for (const TWTransactionPtr &t : transactions)
            if (t->canEdit())
                t->setCleared(cleared);
        if (m_model)
            m_model->refreshRows(0, int(m_sortedTransactions.size()) - 1);
        return;
    }
    updateEditable(transactions, [cleared](TWTransaction &t) { t.setCleared(cleared); });
}

// ---- Converted totals ----

void TWTransactionsController::updateSelectedConvertedTotals(bool context)
{
    withEditable(selectedTransactionsContext(context), "lockedClosedTransactionsTotals",
                 "updateConvertedTotals",
                 Question{TWLocalized("updateConvertedTotalsMessage"),
                          {TWLocalized("updateConvertedTotals"), TWLocalized("cancel")}},
                 [this](const TWTransactionList &list, int code) {
                     if (code == 1000)
                         updateConvertedTotals(list);
                 });
}

void TWTransactionsController::updateConvertedTotals(const TWTransactionList &transactions)
{
    if (!m_business)
        return;
    TWBusiness &business = *m_business;
    updateEditable(transactions, [&business](TWTransaction &t) {
        twUpdateTotals(t, TWTotalTypeTotal, TWTotalTypeAll, business);
    });
}

void TWTransactionsController::updateEditable(const TWTransactionList &transactions,
                                              const std::function<void(TWTransaction &)> &change)
{
    if (!m_business)
        return;
    bool written = false, rebuild = false;
    TWErrorResult error;
    for (const TWTransactionPtr &t : transactions) {
        if (!t->canEdit())
            continue;
        // The row is the store's own object: a refused write must leave it as stored.
        const TWTransaction before = *t;
        change(*t);
        error = m_business->updateTransaction(t, true, false, false, false);
        if (error) {
            *t = before;
            break;
        }
        written = true;
        if (!rebuild)
            rebuild = m_business->transactionBeforeActiveAccountingPeriod(*t);
    }
    endBatch(written, rebuild, NotifyUpdate, error);
}

// ---- Related records ----

void TWTransactionsController::showSelectedRelatedTransactions(bool context)
{
    const TWTransactionList rows = selectedTransactionsContext(context);
    if (rows.size() != 1 || !m_business || !m_document)
        return;
    const TWTransactionPtr &t = rows.first();
    const TWRelationshipList invoices = m_business->relationshipsWithTransaction(*t, 0);
    if (!invoices.isEmpty()) {
        const TWProjectPtr project =
            m_business->projectWithIdentifier(invoices.first()->parentIdentifier());
        const TWInvoicePtr invoice =
            m_business->invoiceWithIdentifier(invoices.first()->childIdentifier());
        const TWClientPtr client =
            project ? m_business->clientWithIdentifier(project->clientIdentifier()) : nullptr;
        m_document->showClient(client, project, invoice);
        return;
    }
    const TWRelationshipList bills = m_business->relationshipsWithTransaction(*t, 3);
    if (!bills.isEmpty()) {
        m_document->showMerchant(
            m_business->merchantWithIdentifier(bills.first()->parentIdentifier()),
            m_business->billWithIdentifier(bills.first()->childIdentifier()));
        return;
    }
    if (const TWRepeatPtr repeat = m_business->repeatWithIdentifier(t->repeatIdentifier()))
        m_document->showRepeat(repeat);
}

// ---- Cells ----

void TWTransactionsController::doCheckbox(int row, int column, bool on)
{
    const TWTransactionPtr t = transactionAtRow(row);
    const TWFieldPtr field = fieldAtColumn(column);
    if (!t || !field)
        return;
    // What the row held, should the store refuse the change.
    std::optional<TWTransaction> before;
    if (m_mode != TWRegisterMode::ImportPreview && m_business &&
        field->identifier() != TWFieldIdentifierImport)
        before.emplace(*t);
    if (field->type() == TWFieldTypeCheckbox) {
        if (const TWFieldValuePtr value = t->fieldValueWithField(*field, true))
            value->setCheckboxValue(on);
    } else if (field->type() == TWFieldTypeStandard &&
               field->identifier() == TWFieldIdentifierCleared) {
        t->setCleared(on);
    } else if (field->type() == TWFieldTypeStandard &&
               field->identifier() == TWFieldIdentifierImport) {
        if (on && !m_ticks.contains(t.get())) {
            m_importSelected.append(t);
            m_ticks.insert(t.get());
        } else if (!on && m_ticks.contains(t.get())) {
            m_importSelected.removeAll(t);
            m_ticks.remove(t.get());
        }
        if (m_model)
            m_model->refreshRows(row, row);
        if (importSelectedTransactionsChanged)
            importSelectedTransactionsChanged(this);
        return;
    } else {
        return;
    }
    if (m_model)
        m_model->refreshRows(row, row);
    if (m_mode == TWRegisterMode::ImportPreview || !m_business)
        return;
    if (const TWErrorResult error = m_business->updateTransaction(t, true, false, true, true)) {
        if (before)
            *t = *before;
        if (m_model)
            m_model->refreshRows(row, row);
        if (m_document)
            m_document->presentError(
                TWError(kAccountTransactionsErrorDomain, -1, error->localizedDescription()));
    } else if (m_document) {
        m_document->updateChangeCount(0);
    }
}

void TWTransactionsController::doButton(int row, int column)
{
    const TWTransactionPtr t = transactionAtRow(row);
    const TWFieldPtr field = fieldAtColumn(column);
    if (!t || !field || field->type() != TWFieldTypeStandard)
        return;
    if (field->identifier() == TWFieldIdentifierRepeat) {
        if (m_business && m_document)
            if (const TWRepeatPtr repeat = m_business->repeatWithIdentifier(t->repeatIdentifier()))
                m_document->showRepeat(repeat);
    } else if (field->identifier() == TWFieldIdentifierAttachments && t->hasAttachments()) {
        previewAttachments(t);
    }
}

// ---- Attachment preview ----

void TWTransactionsController::previewAttachments(const TWTransactionPtr &transaction)
{
    if (!transaction || !m_business)
        return;
    m_previewTransaction = transaction;
    twLoadedAttachments(*transaction, *m_business);
    if (!m_document)
        return;
    TWPreviewPanel *panel = TWPreviewPanel::sharedPreviewPanel();
    if (panel->isShown()) {
        // A second click closes the window.
        panel->orderOut();
        return;
    }
    m_document->setDelegate(this);
    panel->makeKeyAndOrderFront(m_document);
}

TWAttachmentList TWTransactionsController::previewItems() const
{
    if (!m_previewTransaction)
        return {};
    return m_previewTransaction->attachments().value_or(TWAttachmentList());
}

void TWTransactionsController::beginPreviewPanelControl(TWBusinessController *)
{
    TWPreviewPanel::sharedPreviewPanel()->setDataSource(this);
}

void TWTransactionsController::endPreviewPanelControl(TWBusinessController *)
{
}

int TWTransactionsController::numberOfPreviewItems(TWPreviewPanel *)
{
    return int(previewItems().size());
}

TWAttachmentPtr TWTransactionsController::previewItemAtIndex(TWPreviewPanel *, int index)
{
    const TWAttachmentList items = previewItems();
    return index >= 0 && index < items.size() ? items.at(index) : nullptr;
}
