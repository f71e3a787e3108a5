// The invoice editor's save: the schedule, the invoice row, its lines, the
// accounts of its receivable entry and the entry itself are written as one
// write, so that a failure anywhere leaves the books as they were and the
// sheet open; the schedule's due occurrences follow once that write stands.

#include "invoicing/ui/TWInvoiceController.h"

#include "app/TWBusinessController.h"
#include "app/TWMasterController.h"
#include "app/TWTypedNumberField.h"
#include "ledger/TWRepeatController.h"

#include "model/TWAccount.h"
#include "store/TWBusiness.h"

#include <QDateEdit>
#include <QMainWindow>

#include <optional>

namespace
{
} // namespace

TWAccountPtr TWInvoiceController::resolveAccount(const TWInvoice &invoice, std::uint32_t type,
                                                 bool *missing)
{
    if (TWAccountPtr account = m_business->lastInvoiceAccountIdentifier(invoice, type))
        return account;
    TWAccountPtr made = m_document ? m_document->newAccountOfType(int(type)) : nullptr;
    // The document has shown why none could be made.
    if (!made && missing)
        *missing = true;
    return made;
}

bool TWInvoiceController::invoiceTransactionAccounts(const TWInvoice &invoice,
                                                     TWAccountPtr *accountsReceivableAccount,
                                                     TWAccountPtr *incomeAccount,
                                                     TWAccountPtr *taxAccount)
{
    if (!m_business)
        return false;
    bool taxed = false;
    for (const TWTaskPtr &task : m_business->tasksWithInvoice(invoice))
        taxed = taxed || (task && task->taxRate() != 0);
    for (const TWExpensePtr &expense : m_business->expensesWithInvoice(invoice))
        taxed = taxed || (expense && expense->taxRate() != 0);
    bool missing = false;
    const TWAccountPtr receivable =
        resolveAccount(invoice, TWAccountTypeAccountsReceivable, &missing);
    const TWAccountPtr income =
        missing ? nullptr : resolveAccount(invoice, TWAccountTypeIncome, &missing);
    const TWAccountPtr tax =
        missing || !taxed ? nullptr : resolveAccount(invoice, TWAccountTypeTax, &missing);
    if (accountsReceivableAccount)
        *accountsReceivableAccount = receivable;
    if (incomeAccount)
        *incomeAccount = income;
    if (taxAccount)
        *taxAccount = tax;
    return !missing;
}

TWErrorResult TWInvoiceController::writeInvoice(bool *accountMissing)
{
    TWBusiness &business = *m_business;
    const TWInvoicePtr &edit = m_editInvoice;

    // Copies of the chosen items, each carrying the quantity billed.
    TWTaskList tasks;
    for (const TWTaskPtr &task : selectedTasks())
        tasks.append(task->copy());
    TWExpenseList expenses;
    for (const TWExpensePtr &expense : selectedExpenses())
        expenses.append(expense->copy());

    // What the invoice billed before this save: the store decides from it
    // whether the entry is booked again (`invoiceSaveRebooks`).
    std::optional<TWBusiness::InvoiceBilling> billedBefore;
    // Its entry is told by what it billed before, also once the lines change.
    std::optional<TWBusiness::BilledBeforeEdit> entryBefore;
    if (m_mode == TWEditorMode::Existing) {
        if (const TWInvoicePtr stored = business.invoiceWithIdentifier(edit->identifier())) {
            billedBefore = business.invoiceBilling(*stored);
            entryBefore.emplace(business, TWInvoiceList{stored});
        }
    }

    // The schedule.
    const TWRepeatPtr stored = business.repeatWithIdentifier(edit->repeatIdentifier());
    const TWRepeatPtr edited = m_repeatController->repeat();
    if (edited && stored) {
        if (!edited->equalInterval(*stored)) {
            edited->setActive(true);
            if (TWErrorResult error = business.updateRepeat(edited, true))
                return error;
        }
    } else if (edited) {
        const qint32 identifier = business.nextRepeatIdentifier();
        if (identifier == 0)
            return TWBusinessController::lastStoreError(m_document);
        edited->setIdentifier(identifier);
        edited->setType(TWRepeatTypeInvoice);
        edit->setRepeatIdentifier(identifier);
        if (TWErrorResult error = business.addRepeat(edited, true))
            return error;
    } else if (stored) {
        if (TWErrorResult error = business.deleteRepeat(stored, true))
            return error;
        edit->setRepeatIdentifier(0);
    }

    // The invoice row, and a new project invoice's receivable entry.
    if (m_mode == TWEditorMode::Existing) {
        if (TWErrorResult error = business.updateInvoice(edit, true))
            return error;
    } else {
        const TWAccountPtr receivable =
            resolveAccount(*edit, TWAccountTypeAccountsReceivable, accountMissing);
        if (*accountMissing)
            return std::nullopt;
        if (edit->identifier() == 0) {
            const qint32 identifier = business.nextInvoiceIdentifier();
            if (identifier == 0)
                return TWBusinessController::lastStoreError(m_document);
            edit->setIdentifier(identifier);
        }
        if (TWErrorResult error = business.addInvoice(edit, true))
            return error;
        if (m_project && m_project->type() == TWProjectTypeProject) {
            if (TWErrorResult error =
                    business.createInvoiceTransaction({edit}, receivable, nullptr, nullptr, true))
                return error;
        }
    }

    // The lines.
    if (TWErrorResult error = business.updateInvoiceItems(edit, tasks, expenses))
        return error;

    // The accounts, made even for an estimate; the entry only for a project.
    m_project = business.projectWithIdentifier(edit->projectIdentifier());
    TWAccountPtr receivable;
    TWAccountPtr income;
    TWAccountPtr tax;
    if (!invoiceTransactionAccounts(*edit, &receivable, &income, &tax)) {
        *accountMissing = true;
        return std::nullopt;
    }
    if (m_project && m_project->type() == TWProjectTypeProject &&
        business.invoiceSaveRebooks(*edit, billedBefore ? &*billedBefore : nullptr)) {
        // An entry the user moved (billed in advance, a tax line kept on a
        // liability) is booked again where each line is.
        const TWBusiness::InvoiceEntryLines moved = business.invoiceEntryLines(*edit);
        if (moved.income)
            income = moved.income;
        if (moved.tax && tax)
            tax = moved.tax;
        if (TWErrorResult error = business.updateInvoiceTransaction(edit, receivable, income, tax))
            return error;
    }
    return std::nullopt;
}

void TWInvoiceController::doSave(int tag)
{
    // A pending edit is committed first.
    if (m_view && m_view->focusWidget())
        m_view->setFocus();
    if (tag != 1 || m_closed || !m_business || !m_editInvoice || !m_repeatController) {
        endSheet(TWSheetResult::Cancelled);
        return;
    }
    // A date whose text was refused is mended before anything is kept.
    if (twExplainFirstRefusedField(m_view))
        return;

    const qint32 identifier = m_editInvoice->identifier();
    const qint32 repeatIdentifier = m_editInvoice->repeatIdentifier();
    const TWRepeatPtr edited = m_repeatController->repeat();
    const TWRepeatPtr editedBefore = edited ? edited->copy() : nullptr;
    bool accountMissing = false;
    TWErrorResult error;
    {
        TWBusiness::WriteScope scope(*m_business);
        error = writeInvoice(&accountMissing);
        if (accountMissing)
            scope.rollback();
        else
            error = scope.finish(error);
    }
    if (error || accountMissing) {
        // Nothing was kept: the working copy and the edited schedule go back
        // to what the user sees, ready for another try.
        m_editInvoice->setIdentifier(identifier);
        m_editInvoice->setRepeatIdentifier(repeatIdentifier);
        if (edited && editedBefore) {
            edited->setIdentifier(editedBefore->identifier());
            edited->setActive(editedBefore->active());
            edited->setType(editedBefore->type());
        }
        // An account made and rolled back must leave the source list too.
        if (m_document && m_document->masterController())
            m_document->masterController()->update();
        if (error && TWBusiness::isClosedDateRefusal(*error))
            error = twFieldRefusal(*error, m_datePicker);
        if (error)
            presentError(*error);
        return;
    }

    // Occurrences already due; the invoice itself stands whatever happens here.
    TWErrorResult repeatError;
    if (m_editInvoice->repeatIdentifier() != 0) {
        if (const TWRepeatPtr repeat =
                m_business->repeatWithIdentifier(m_editInvoice->repeatIdentifier()))
            repeatError = m_business->updateRepeatItemsForRepeat(repeat, false, true);
    }
    m_saved = true;
    if (m_document)
        m_document->updateChangeCount(0);
    endSheet(TWSheetResult::Confirmed);
    if (repeatError)
        presentError(*repeatError);
}
