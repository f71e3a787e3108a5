// The clients view's operations on its projects and estimates: new, edit,
// an estimate turned into a project, duplicate, delete, mark and the
// completed box.

#include "work/TWClientController.h"

#include "work/TWProjectController.h"
#include "work/TWWorkList.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWAccountingPeriod.h"
#include "store/TWBusiness.h"
#include "store/TWClosedRefusals.h"
#include "store/TWDocumentNames.h"

#include <QTableView>

TWProjectController *TWClientController::ensureProjectSheet()
{
    if (!m_projectSheet)
        m_projectSheet = new TWProjectController();
    m_projectSheet->setBusinessController(m_document);
    m_projectSheet->setBusiness(m_business);
    return m_projectSheet;
}

void TWClientController::runProjectSheet(const TWProjectPtr &project, TWEditorMode mode)
{
    TWProjectController *sheet = ensureProjectSheet();
    sheet->setProject(project);
    sheet->setMode(mode);
    sheet->update();
    const TWProjectList remembered = selectedProjects();
    QPointer<TWClientController> guarded(this);
    m_document->beginSheetWithView(
        sheet->view(), false, true, [guarded, project, mode, remembered](int code) {
            if (!guarded || code != TWSheetResult::Confirmed)
                return;
            guarded->updateClient();
            if (mode == TWEditorMode::New) {
                guarded->selectRowAlone(guarded->projectRow(*project), true);
            } else if (!remembered.isEmpty()) {
                guarded->selectRowAlone(guarded->projectRow(*remembered.constFirst()), false);
            }
        });
}

void TWClientController::newProject(int type)
{
    if (!canAddProject() || !m_business || !m_document)
        return;
    const qint32 identifier = m_business->nextProjectIdentifier();
    if (identifier == 0) {
        presentError(m_document->lastStoreError());
        return;
    }
    const QDateTime now = TWClock::now();
    const double taxRate =
        m_business->businessInfo() ? m_business->businessInfo()->invoiceTaxRate() * 100.0 : 0.0;
    const TWProjectPtr project = TWProject::projectWithDate(
        now, false, QString(),
        std::uint32_t(type == 0 ? TWProjectTypeEstimate : TWProjectTypeProject), now, QDateTime(),
        0, m_business->homeUnit(), taxRate, QString(), m_clients.constFirst()->identifier(),
        identifier);
    runProjectSheet(project, TWEditorMode::New);
}

void TWClientController::editSelectedProject(bool context)
{
    const QList<int> rows = m_table ? m_table->rowsActedOn(context) : QList<int>();
    if (rows.size() == 1)
        editProject(m_rows.project(rows.constFirst()));
}

void TWClientController::editProject(const TWProjectPtr &project)
{
    if (project && m_document)
        runProjectSheet(project, TWEditorMode::Existing);
}

void TWClientController::newProjectFromEstimate(bool context)
{
    if (!m_business || !m_table)
        return;
    const QList<int> rows = m_table->rowsActedOn(context);
    const TWProjectPtr estimate = rows.isEmpty() ? nullptr : m_rows.project(rows.constFirst());
    if (!estimate || estimate->type() != TWProjectTypeEstimate)
        return;
    const TWTaskList tasks = m_business->tasksWithProject(*estimate);
    const TWExpenseList expenses = m_business->expensesWithProject(*estimate);
    const QDateTime now = TWClock::now();
    // All or nothing: a project missing some of the estimate's work would
    // pass for a complete copy.
    TWProjectPtr project;
    TWErrorResult failure;
    {
        TWBusiness::WriteScope scope(*m_business);
        failure = [&]() -> TWErrorResult {
            const qint32 projectIdentifier = m_business->nextProjectIdentifier();
            if (projectIdentifier == 0)
                return TWBusinessController::lastStoreError(m_document);
            // The project belongs to the estimate's client (with a client
            // group shown, the first chosen client may be another one).
            project = TWProject::projectWithDate(
                now, false, estimate->name(), TWProjectTypeProject, now, QDateTime(),
                estimate->rate(), estimate->unit(), estimate->taxRate(), estimate->notes(),
                estimate->clientIdentifier(), projectIdentifier);
            if (TWErrorResult error = m_business->addProject(project, true))
                return error;
            for (const TWTaskPtr &task : tasks) {
                const qint32 identifier = m_business->nextTaskIdentifier();
                if (identifier == 0)
                    return TWBusinessController::lastStoreError(m_document);
                const TWTaskPtr made = TWTask::taskWithDate(
                    now, false, task->name(), task->taskType(), task->estimate(), task->quantity(),
                    task->rate(), task->taxRate(), task->notes(), project->identifier(),
                    identifier);
                if (TWErrorResult error = m_business->addTask(made, true))
                    return error;
            }
            for (const TWExpensePtr &expense : expenses) {
                const qint32 identifier = m_business->nextExpenseIdentifier();
                if (identifier == 0)
                    return TWBusinessController::lastStoreError(m_document);
                const TWExpensePtr made = TWExpense::expenseWithDate(
                    now, expense->name(), expense->quantity(), expense->cost(), expense->taxRate(),
                    expense->notes(), project->identifier(), identifier);
                if (TWErrorResult error = m_business->addExpense(made, true))
                    return error;
            }
            return std::nullopt;
        }();
        failure = scope.finish(failure);
    }
    if (failure)
        return presentError(*failure);
    updateClient();
    selectRowAlone(projectRow(*project), true);
    changed();
}

void TWClientController::duplicateSelectedProject(bool context)
{
    if (m_table && canDuplicateProject(context))
        duplicateProjects(projectsForRows(m_table->rowsActedOn(context)));
}

void TWClientController::duplicateProjects(const TWProjectList &projects)
{
    if (!m_business)
        return;
    int added = 0;
    // Only the record: its tasks, expenses and invoices stay with the original.
    const TWErrorResult failure = TWWorkList::duplicateRecords(
        projects, m_document, [this] { return m_business->nextProjectIdentifier(); },
        [this](const TWProjectPtr &copy) {
            copy->setCompleted(false);
            return m_business->addProject(copy, false);
        },
        added);
    if (added > 0)
        m_business->notifyProjectsAdd();
    updateClient();
    changed();
    if (failure)
        presentError(*failure);
}

namespace
{

// Why the project cannot be deleted, naming it and the closed accounting
// period (or the locked transactions) its invoices' transactions lie in;
// empty when it can.
QString closedProjectText(const TWBusiness &business, const TWProject &project)
{
    for (const TWRelationshipPtr &link : business.relationshipsWithParentIdentifier(
             project.identifier(), TWRelationshipTypeInvoicePayment)) {
        const TWTransactionPtr transaction =
            business.transactionWithIdentifier(link->transactionIdentifier());
        if (!transaction || (transaction->state() != TWTransactionStateClosed &&
                             transaction->state() != TWTransactionStateLocked))
            continue;
        const TWAccountingPeriodPtr period = business.accountingPeriodForTransaction(*transaction);
        if (transaction->state() == TWTransactionStateClosed && period && period->closed())
            return TWLocalized("deleteProjectClosedPeriod")
                .arg(project.name(), twAccountingPeriodText(*period));
        return TWLocalized("deleteProjectLocked").arg(project.name());
    }
    return {};
}

} // namespace

void TWClientController::deleteProject(bool context)
{
    if (!m_table || !canDeleteProject(context) || !m_business)
        return;
    QWidget *window = m_view ? m_view->window() : nullptr;
    const TWProjectList chosen = projectsForRows(m_table->rowsActedOn(context));
    // A project whose transactions lie in closed books is refused before
    // anything is asked, naming the period; nothing is deleted.
    for (const TWProjectPtr &project : chosen) {
        if (const QString closed = closedProjectText(*m_business, *project); !closed.isEmpty()) {
            twRunNotice(closed, window);
            return;
        }
    }
    // The invoices go with their payments: what those moved is named, as a
    // client's delete names it.
    const QString payments = twDeletedPaymentsText(
        m_business->paymentsDeletedWith(m_business->invoicesWithProjects(chosen), {}), *m_business,
        true);
    TWWorkList::confirmDeletion(
        this, m_table->rowsActedOn(context).size(), "deleteProjectTitle", "deleteProjectsTitle",
        "deleteProject", "deleteProjects", window,
        [this, context] {
            if (!m_business)
                return;
            // The rows name the same projects until the loop ends: the
            // notifications of a deletion only redraw cells.
            const TWProjectList projects = projectsForRows(m_table->rowsActedOn(context));
            TWTransactionPtr held;
            for (const TWProjectPtr &project : projects)
                if ((held = m_business->projectClosedTransaction(*project)))
                    break;
            const bool closed = bool(held);
            TWErrorResult failure;
            if (!closed) {
                failure = TWWorkList::deleteRecords(projects, [this](const TWProjectPtr &project) {
                    return m_business->deleteProject(project, true);
                });
                m_table->clearSelection();
                updateClient();
                changed();
            }
            if (failure) {
                presentError(*failure);
            } else if (closed) {
                twRunNotice(twClosedDeleteText(*m_business, *held),
                            m_view ? m_view->window() : nullptr);
            }
        },
        payments);
}

void TWClientController::markProject(bool completed, bool context)
{
    if (!m_table || !m_business)
        return;
    const TWProjectList projects = projectsForRows(m_table->rowsActedOn(context));
    TWErrorResult failure;
    for (const TWProjectPtr &project : projects) {
        const bool before = project->completed();
        project->setCompleted(completed);
        if ((failure = m_business->updateProject(project, true))) {
            // The listed object is the store's own: a refused write leaves it as stored.
            project->setCompleted(before);
            break;
        }
    }
    m_table->clearSelection();
    updateClient();
    changed();
    if (failure)
        presentError(*failure);
}

void TWClientController::workCheckbox(TWWorkTable *, int row, int tag, bool on)
{
    const TWProjectPtr project = m_rows.project(row);
    if (projectTag(tag) != TWProjectColumnCompleted || !project || !m_business) {
        changed();
        return;
    }
    const bool before = project->completed();
    project->setCompleted(on);
    if (TWErrorResult error = m_business->updateProject(project, true)) {
        project->setCompleted(before);
        m_table->refreshRows({row});
        presentError(
            TWError(QStringLiteral("Tallyworth Client Error"), -1, error->localizedDescription()));
        return;
    }
    // Not re-sorted: the row only takes its new colour.
    m_table->refreshRows({row});
    changed();
}
