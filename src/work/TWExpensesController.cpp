#include "work/TWExpensesController.h"

#include "work/TWExpenseController.h"
#include "work/TWWorkList.h"

#include "app/TWBusinessController.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWClient.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "store/TWBusiness.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

QList<TWWorkColumn> TWExpensesController::expenseColumns()
{
    using K = TWWorkColumn;
    using TWWorkList::column;
    return {column(TWExpenseColumnImport, "import", K::CheckBox, false, 50),
            column(TWExpenseColumnDate, "date", K::Date, false, 80),
            column(TWExpenseColumnClient, "client", K::Text, false),
            column(TWExpenseColumnProject, "project", K::Text, false),
            column(TWExpenseColumnName, "name", K::Text, false),
            column(TWExpenseColumnQuantity, "quantity", K::Text, true),
            column(TWExpenseColumnCost, "cost", K::Text, true),
            column(TWExpenseColumnSubtotal, "subtotal", K::Text, true),
            column(TWExpenseColumnTaxRate, "taxRate", K::Text, true),
            column(TWExpenseColumnTotal, "total", K::Text, true),
            column(TWExpenseColumnNotes, "notes", K::Text, false)};
}

TWExpensesController::TWExpensesController(QObject *parent) : TWWorkListController(parent)
{
}

TWExpensesController::~TWExpensesController()
{
    delete m_sheet;
    delete m_view;
}

void TWExpensesController::setBusiness(TWBusiness *business)
{
    m_business = business;
    if (m_table)
        m_table->setBusiness(business);
}

void TWExpensesController::build()
{
    m_view = new QWidget;
    auto *outer = new QVBoxLayout(m_view);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    m_table = new TWWorkTable(this, TWColumnSettingsViewExpenses, expenseColumns(), m_view, this);
    m_table->table()->setObjectName(QStringLiteral("expensesTable"));
    m_table->setBusiness(m_business);
    const bool importing = m_mode != ModeProjects;
    m_table->setShowsImportColumn(m_mode == ModeImportSelection);
    m_table->setHeaderMenuEnabled(!importing);
    outer->addWidget(m_table->table(), 1);

    const TWWorkList::Bar bar = TWWorkList::makeBar(m_view, QStringLiteral("expensesCountLabel"),
                                                    QStringLiteral("expensesTotalLabel"));
    m_addButton = bar.add;
    m_deleteButton = bar.remove;
    m_countLabel = bar.count;
    m_totalLabel = bar.total;
    m_addButton->setToolTip(TWLocalized("newExpense"));
    connect(m_addButton, &QToolButton::clicked, this, [this] {
        if (canAddExpense())
            newExpense();
        updateAddDeleteButtonsEnabled();
    });
    connect(m_deleteButton, &QPushButton::clicked, this, [this] {
        deleteExpense(false);
        updateAddDeleteButtonsEnabled();
    });
    outer->addWidget(bar.widget);
    if (importing) {
        m_addButton->hide();
        m_deleteButton->hide();
        m_countLabel->hide();
        m_totalLabel->hide();
    }
    observePreferences([this] {
        m_table->clearSelection();
        m_table->reload();
    });
}

void TWExpensesController::update()
{
    view();
    m_table->loadSettings(shownProjectCount(),
                          {QStringLiteral("client"), QStringLiteral("project")});
    m_table->updateColumns();
    updateExpenses();
}

void TWExpensesController::updateExpenses()
{
    if (!m_table)
        return;
    m_table->clearSelection();
    if (m_mode != ModeImportSelection) {
        if (!m_business)
            m_expenses.clear();
        else if (m_mode == ModeAllRecords && !m_projects)
            m_expenses = m_business->expenses();
        else
            m_expenses =
                m_projects ? m_business->expensesWithProjects(*m_projects) : TWExpenseList();
    }
    updateCountTotal();
    m_table->updateSortDescriptors();
    rebuildRowIndex();
    m_table->table()->scrollToTop();
    updateAddDeleteButtonsEnabled();
}

void TWExpensesController::rebuildRowIndex()
{
    m_rows = TWWorkList::rowIndex(m_expenses);
}

// ---- Cells ----

TWProjectPtr TWExpensesController::projectOf(const TWExpense &expense) const
{
    return TWWorkList::projectOf(m_business, expense.projectIdentifier());
}

TWClientPtr TWExpensesController::clientOf(const TWExpense &expense) const
{
    return TWWorkList::clientOf(m_business, projectOf(expense));
}

const TWUnit *TWExpensesController::unitOf(const TWExpense &expense) const
{
    return TWWorkList::unitOf(projectOf(expense));
}

QString TWExpensesController::money(qint64 value, const TWUnit *unit) const
{
    return TWWorkList::money(value, unit);
}

int TWExpensesController::workRowCount(const TWWorkTable *) const
{
    return int(m_expenses.size());
}

QString TWExpensesController::workText(const TWWorkTable *, int row, int tag) const
{
    const TWExpensePtr expense = m_expenses.value(row);
    if (!expense)
        return {};
    switch (tag) {
    case TWExpenseColumnDate:
        return TWFormatter::formatter().shortDateString(expense->date());
    case TWExpenseColumnClient: {
        const TWClientPtr client = clientOf(*expense);
        return client ? client->name() : QString();
    }
    case TWExpenseColumnProject: {
        const TWProjectPtr project = projectOf(*expense);
        return project ? project->name() : QString();
    }
    case TWExpenseColumnName:
        return expense->name();
    case TWExpenseColumnQuantity:
        return TWFormatter::formatter().numberString(expense->quantity());
    case TWExpenseColumnCost:
        return money(expense->cost(), unitOf(*expense));
    case TWExpenseColumnSubtotal:
        return money(expense->subtotal(), unitOf(*expense));
    case TWExpenseColumnTaxRate:
        return TWFormatter::formatter().numberString(float(expense->taxRate())) + QLatin1Char('%');
    case TWExpenseColumnTotal:
        return money(expense->total(), unitOf(*expense));
    case TWExpenseColumnNotes:
        return expense->notes();
    default:
        return {};
    }
}

bool TWExpensesController::workChecked(const TWWorkTable *, int row, int tag) const
{
    const TWExpensePtr expense = m_expenses.value(row);
    return tag == TWExpenseColumnImport && expense && m_importSelectedExpenses.contains(expense);
}

QColor TWExpensesController::workRowColour(const TWWorkTable *, int) const
{
    return TWPreferences::preferences().expenseColour();
}

int TWExpensesController::compareExpenses(const TWExpense &a, const TWExpense &b, int tag) const
{
    using namespace TWWorkCompare;
    int order = 0;
    switch (tag) {
    case TWExpenseColumnImport: {
        const auto ticked = [this](const TWExpense &expense) {
            return std::any_of(m_importSelectedExpenses.begin(), m_importSelectedExpenses.end(),
                               [&expense](const TWExpensePtr &e) { return e.get() == &expense; });
        };
        order = value(ticked(a), ticked(b));
        break;
    }
    case TWExpenseColumnDate:
        order = date(a.date(), b.date());
        break;
    case TWExpenseColumnClient: {
        const TWClientPtr ca = clientOf(a), cb = clientOf(b);
        order = text(ca ? ca->name() : QString(), cb ? cb->name() : QString(), !ca, !cb);
        break;
    }
    case TWExpenseColumnProject: {
        const TWProjectPtr pa = projectOf(a), pb = projectOf(b);
        order = text(pa ? pa->name() : QString(), pb ? pb->name() : QString(), !pa, !pb);
        break;
    }
    case TWExpenseColumnName:
        order = text(a.name(), b.name());
        break;
    case TWExpenseColumnNotes:
        order = text(a.notes(), b.notes());
        break;
    case TWExpenseColumnQuantity:
        order = value(a.quantity(), b.quantity());
        break;
    case TWExpenseColumnTaxRate:
        order = value(a.taxRate(), b.taxRate());
        break;
    case TWExpenseColumnCost:
        order = value(a.cost(), b.cost());
        break;
    case TWExpenseColumnSubtotal:
        order = value(a.subtotal(), b.subtotal());
        break;
    case TWExpenseColumnTotal:
        order = value(a.total(), b.total());
        break;
    default:
        break;
    }
    return order != 0 ? order : value(a.identifier(), b.identifier());
}

void TWExpensesController::workSort(TWWorkTable *, int tag, bool ascending)
{
    std::stable_sort(m_expenses.begin(), m_expenses.end(),
                     [this, tag, ascending](const TWExpensePtr &a, const TWExpensePtr &b) {
                         const int order = compareExpenses(*a, *b, tag);
                         return ascending ? order < 0 : order > 0;
                     });
    rebuildRowIndex();
}

// ---- Rows and permissions ----

TWExpenseList TWExpensesController::expensesForRows(const QList<int> &rows) const
{
    return TWWorkList::recordsForRows(m_expenses, rows);
}

TWExpenseList TWExpensesController::selectedExpenses() const
{
    return m_table ? expensesForRows(m_table->selectedRows()) : TWExpenseList();
}

int TWExpensesController::expenseRow(const TWExpense &expense) const
{
    return m_rows.value(expense.identifier(), -1);
}

bool TWExpensesController::hasFirstResponder() const
{
    return m_table && m_table->hasFirstResponder();
}

bool TWExpensesController::tableViewHasContextMenu(const QMenu *menu) const
{
    return m_table && m_table->hasContextMenu(menu);
}

bool TWExpensesController::hasSelectedExpense(bool context, bool single, bool multiple) const
{
    return m_table && m_table->hasSelected(context, single, multiple);
}

bool TWExpensesController::canAddExpense() const
{
    return canAddRecord();
}

bool TWExpensesController::canEditExpense(bool context) const
{
    return hasSelectedExpense(context, true, false);
}

bool TWExpensesController::canDuplicateExpense(bool context) const
{
    return canChangeStoredRecords() && hasSelectedExpense(context, false, false);
}

bool TWExpensesController::canDeleteExpense(bool context) const
{
    return canChangeStoredRecords() && hasSelectedExpense(context, false, false);
}

bool TWExpensesController::validationQuery(TWQuery query, bool context) const
{
    switch (query) {
    case TWQuery::CanAddExpense:
        return canAddExpense();
    case TWQuery::CanEditExpense:
        return canEditExpense(context);
    case TWQuery::CanDuplicateExpense:
        return canDuplicateExpense(context);
    case TWQuery::CanDeleteExpense:
        return canDeleteExpense(context);
    default:
        return false;
    }
}

// ---- Count, total and buttons ----

void TWExpensesController::updateCountTotal()
{
    if (!m_countLabel || m_mode != ModeProjects || !m_business)
        return;
    const qsizetype listed = m_expenses.size();
    const QString noun = listed == 1 ? TWLocalized("expenseLower") : TWLocalized("expensesLower");
    const QList<int> rows = m_table->selectedRows();
    const TWUnit *home = m_business->homeUnit().get();
    const QString allText =
        money(m_projects ? m_business->expenseHomeTotalWithProjects(*m_projects) : 0, home);
    TWWorkList::showCountTotal(m_countLabel, m_totalLabel, listed, noun, rows.size(), allText, [&] {
        return money(m_business->expenseHomeTotalWithExpenses(expensesForRows(rows)), home);
    });
}

void TWExpensesController::updateAddDeleteButtonsEnabled()
{
    if (!m_addButton)
        return;
    m_addButton->setEnabled(canAddExpense());
    m_deleteButton->setEnabled(canChangeStoredRecords() && !m_table->selectedRows().isEmpty());
}

void TWExpensesController::workSelectionChanged(TWWorkTable *)
{
    updateCountTotal();
    updateAddDeleteButtonsEnabled();
}

// ---- Check boxes, keys, menus ----

void TWExpensesController::workCheckbox(TWWorkTable *, int row, int tag, bool on)
{
    const TWExpensePtr expense = m_expenses.value(row);
    if (tag != TWExpenseColumnImport || !expense)
        return;
    TWWorkList::setTicked(m_importSelectedExpenses, expense, on);
    m_table->refreshRows({row});
    if (m_delegate)
        m_delegate->expensesControllerImportSelectedExpensesChanged(this);
    emit expensesChanged();
}

bool TWExpensesController::workKey(TWWorkTable *table, int key)
{
    switch (key) {
    case 1:
        deleteExpense(false);
        return true;
    case '\r':
        if (m_mode != ModeProjects)
            return false;
        [[fallthrough]];
    case ' ':
        if (table->selectedRows().size() == 1)
            editSelectedExpense(false);
        return true;
    default:
        return false;
    }
}

void TWExpensesController::workDoubleClick(TWWorkTable *table)
{
    if (table->rememberedRows().size() == 1)
        editExpense(m_expenses.value(table->rememberedRows().constFirst()),
                    m_mode == ModeImportSelection);
}

QMenu *TWExpensesController::workContextMenu(TWWorkTable *, QWidget *parent, bool rowClicked)
{
    auto *menu = new QMenu(parent);
    const bool importing = m_mode != ModeProjects;
    const qsizetype rows = m_table->contextRows().size();
    if (!importing && canAddExpense())
        menu->addAction(TWLocalized("newExpense"), this, [this] { newExpense(); });
    if (rowClicked && rows == 1)
        menu->addAction(TWLocalized("editExpense"), this, [this] { editSelectedExpense(true); });
    if (rowClicked && !importing) {
        menu->addAction(TWLocalized(rows == 1 ? "duplicateExpense" : "duplicateExpenses"), this,
                        [this] { duplicateSelectedExpense(true); });
        menu->addAction(TWLocalized(rows == 1 ? "deleteExpense" : "deleteExpenses"), this,
                        [this] { deleteExpense(true); });
    }
    return TWWorkList::shownOrNone(menu);
}

// ---- Commands ----

TWExpenseController *TWExpensesController::ensureSheet()
{
    if (!m_sheet)
        m_sheet = new TWExpenseController();
    m_sheet->setBusinessController(m_document);
    m_sheet->setBusiness(m_business);
    return m_sheet;
}

void TWExpensesController::newExpense()
{
    if (!canAddExpense() || !m_business || !m_document)
        return;
    const TWProjectPtr project = m_projects->constFirst();
    const qint32 identifier = m_business->nextExpenseIdentifier();
    if (identifier == 0) {
        presentError(m_document->lastStoreError());
        return;
    }
    const TWExpensePtr expense =
        TWExpense::expenseWithDate(TWClock::now(), QString(), 1.0, 0, project->taxRate(), QString(),
                                   project->identifier(), identifier);
    TWExpenseController *sheet = ensureSheet();
    sheet->setExpense(expense);
    sheet->setMode(TWEditorMode::New);
    sheet->update();
    QPointer<TWExpensesController> guarded(this);
    m_document->beginSheetWithView(sheet->view(), false, true, [guarded, expense](int code) {
        if (!guarded || code != TWSheetResult::Confirmed)
            return;
        const int row = guarded->expenseRow(*expense);
        if (row >= 0)
            guarded->m_table->selectRow(row);
    });
}

void TWExpensesController::editSelectedExpense(bool context)
{
    const QList<int> rows = m_table ? m_table->rowsActedOn(context) : QList<int>();
    if (rows.size() == 1)
        editExpense(m_expenses.value(rows.constFirst()), m_mode == ModeImportSelection);
}

void TWExpensesController::editExpense(const TWExpensePtr &expense, bool isImport)
{
    if (!expense || !m_document)
        return;
    TWExpenseController *sheet = ensureSheet();
    sheet->setExpense(expense);
    sheet->setMode(TWEditorMode::Existing);
    sheet->setIsImport(isImport);
    sheet->update();
    const TWExpenseList remembered = selectedExpenses();
    QPointer<TWExpensesController> guarded(this);
    m_document->beginSheetWithView(
        sheet->view(), false, true, [guarded, sheet, isImport, remembered](int code) {
            if (!guarded || code != TWSheetResult::Confirmed)
                return;
            if (isImport)
                guarded->updateExpense(sheet->expense(), sheet->editExpense());
            if (!remembered.isEmpty()) {
                const int row = guarded->expenseRow(*remembered.constFirst());
                if (row >= 0)
                    guarded->m_table->selectRow(row);
            }
        });
}

void TWExpensesController::updateExpense(const TWExpensePtr &original, const TWExpensePtr &edited)
{
    if (!original || !edited)
        return;
    TWWorkList::replaceRecord(m_expenses, original, edited);
    TWWorkList::replaceRecord(m_importSelectedExpenses, original, edited);
    updateExpenses();
    emit expensesChanged();
}

void TWExpensesController::duplicateSelectedExpense(bool context)
{
    if (m_table && canDuplicateExpense(context))
        duplicateExpenses(expensesForRows(m_table->rowsActedOn(context)));
}

void TWExpensesController::duplicateExpenses(const TWExpenseList &expenses)
{
    if (!m_business || !canChangeStoredRecords())
        return;
    int added = 0;
    const TWErrorResult failure = TWWorkList::duplicateRecords(
        expenses, m_document, [this] { return m_business->nextExpenseIdentifier(); },
        [this](const TWExpensePtr &copy) { return m_business->addExpense(copy, false); }, added);
    if (added > 0)
        m_business->notifyExpensesAdd();
    changed();
    if (failure)
        presentError(*failure);
}

void TWExpensesController::deleteExpense(bool context)
{
    if (!m_table || !canDeleteExpense(context) || !m_business)
        return;
    const TWExpenseList chosen = expensesForRows(m_table->rowsActedOn(context));
    const TWInvoiceList billed = m_business->invoicesBillingWork({}, chosen);
    TWWorkList::confirmBilledDeletion(
        this, *m_business, billed, {}, chosen, m_table->rowsActedOn(context).size(),
        "deleteExpenseTitle", "deleteExpensesTitle", "deleteExpense", "deleteExpenses",
        m_view ? m_view->window() : nullptr, [this, context] {
            if (!m_business)
                return;
            const TWExpenseList expenses = expensesForRows(m_table->rowsActedOn(context));
            const TWErrorResult failure =
                TWWorkList::deleteRecords(expenses, [this](const TWExpensePtr &expense) {
                    return m_business->deleteExpense(expense, true);
                });
            m_table->clearSelection();
            changed();
            if (failure)
                presentError(*failure);
        });
}
