#include "invoicing/ui/TWInvoiceController.h"

#include "app/TWBusinessController.h"
#include "app/TWDateEdit.h"
#include "app/TWKeyLoopView.h"
#include "ledger/TWRepeatController.h"
#include "ledger/TWValueCompleter.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWPreferences.h"
#include "model/TWValue.h"
#include "store/TWBusiness.h"
#include "store/TWWorkTotals.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMainWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <initializer_list>

namespace
{

// The project's items for the tables (`items`) and the invoice's lines among
// them (`selected`, in the invoice's order): a billed item is its line's copy,
// carrying what the invoice bills; any other is a copy billing nothing.
template <typename T>
void joinItems(const QList<std::shared_ptr<T>> &lines, const QList<std::shared_ptr<T>> &all,
               TWInvoiceItemList *items, TWInvoiceItemList *selected)
{
    QHash<qint32, std::shared_ptr<T>> billed;
    for (const std::shared_ptr<T> &line : lines) {
        if (billed.contains(line->identifier()))
            continue;
        billed.insert(line->identifier(), line);
        selected->append(line);
    }
    for (const std::shared_ptr<T> &record : all) {
        if (!record)
            continue;
        std::shared_ptr<T> item = billed.value(record->identifier());
        if (!item) {
            item = record->copy();
            item->setInvoiceQuantity(0.0);
        }
        items->append(item);
    }
}

} // namespace

TWInvoiceController::TWInvoiceController(QObject *parent)
    : TWLazyViewController<TWEditorController>(parent)
{
    m_tasksModel = new TWInvoiceItemsModel(TWInvoiceItemTypeTask, this);
    m_expensesModel = new TWInvoiceItemsModel(TWInvoiceItemTypeExpense, this);
}

TWInvoiceController::~TWInvoiceController()
{
    delete m_quantityView;
    delete m_view;
}

void TWInvoiceController::build()
{
    // Tab walks the form as it reads, top to bottom, and round (the sheet's
    // own loop): the fields are made in another order than they are laid out.
    m_view = new TWKeyLoopView([this] { return twReadingOrder(m_view); }, TWKeyLoop::Window);
    m_view->setObjectName(QStringLiteral("TWInvoice"));
    m_view->setWindowTitle(TWLocalized("invoiceEditorTitle"));

    const auto dateRow = [this](QDateEdit *&picker, QToolButton *&button, int tag) {
        picker = new TWDateEdit(m_view);
        picker->setObjectName(tag == 0 ? QStringLiteral("datePicker")
                                       : QStringLiteral("dueDatePicker"));
        picker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
        connect(picker, &QDateEdit::dateChanged, this, [this, tag] {
            if (!m_filling)
                doDatePicker(tag);
        });
        button = TWNewCalendarButton(m_view);
        button->setObjectName(tag == 0 ? QStringLiteral("dateButton")
                                       : QStringLiteral("dueDateButton"));
        connect(button, &QToolButton::clicked, this, [this, tag] { doButton(tag); });
        auto *row = new QHBoxLayout();
        row->addWidget(picker, 1);
        row->addWidget(button);
        return row;
    };

    const auto textField = [this](QLineEdit *&field, int tag, const char *name) {
        field = new QLineEdit(m_view);
        field->setObjectName(QLatin1String(name));
        connect(field, &QLineEdit::editingFinished, this,
                [this, tag] { textFieldDidEndEditing(tag); });
        // The working copy follows every keystroke, so a save never misses
        // the last one.
        connect(field, &QLineEdit::textEdited, this, [this, tag] {
            textFieldDidEndEditing(tag);
            if (tag == 2)
                nameEdited();
        });
    };
    textField(m_numberField, 1, "numberField");
    textField(m_nameField, 2, "nameField");
    textField(m_notesField, 7, "notesField");
    m_completer = new TWValueCompleter(this);

    m_sentCheckbox = new QCheckBox(TWLocalized("invoiceSent"), m_view);
    m_paidCheckbox = new QCheckBox(TWLocalized("invoicePaid"), m_view);
    m_dueDateCheckbox = new QCheckBox(TWLocalized("invoiceDueDate"), m_view);
    connect(m_sentCheckbox, &QCheckBox::clicked, this, [this] { doCheckbox(3); });
    connect(m_paidCheckbox, &QCheckBox::clicked, this, [this] { doCheckbox(4); });
    connect(m_dueDateCheckbox, &QCheckBox::clicked, this, [this] { doCheckbox(5); });

    auto *form = new QFormLayout();
    QLayout *dateLine = dateRow(m_datePicker, m_dateButton, 0);
    // A refused date is named by its label.
    auto *dateLabel = new QLabel(TWLocalized("invoiceDate"), m_view);
    dateLabel->setBuddy(m_datePicker);
    form->addRow(dateLabel, dateLine);
    form->addRow(TWLocalized("invoiceNumber"), m_numberField);
    form->addRow(TWLocalized("invoiceName"), m_nameField);
    auto *marks = new QHBoxLayout();
    marks->addWidget(m_sentCheckbox);
    marks->addWidget(m_paidCheckbox);
    marks->addStretch(1);
    form->addRow(QString(), marks);
    form->addRow(m_dueDateCheckbox, dateRow(m_dueDatePicker, m_dueDateButton, 5));

    m_repeatContainer = new QWidget(m_view);
    m_repeatController = new TWRepeatController(this);
    m_repeatController->setType(TWRepeatTypeInvoice);
    m_repeatController->setEnabled(true);
    auto *repeatLayout = new QVBoxLayout(m_repeatContainer);
    repeatLayout->setContentsMargins(0, 0, 0, 0);
    repeatLayout->addWidget(m_repeatController->view());
    form->addRow(TWLocalized("invoiceRepeat"), m_repeatContainer);
    form->addRow(TWLocalized("invoiceNotes"), m_notesField);

    m_tasksTable = buildTable(m_tasksModel, QStringLiteral("tasksTable"));
    m_expensesTable = buildTable(m_expensesModel, QStringLiteral("expensesTable"));
    auto *tabs = new QTabWidget(m_view);
    tabs->addTab(m_tasksTable, TWLocalized("invoiceTasks"));
    tabs->addTab(m_expensesTable, TWLocalized("invoiceExpenses"));

    m_cancelButton = new QPushButton(TWLocalized("cancel"), m_view);
    m_saveButton = new QPushButton(TWLocalized("save"), m_view);
    m_saveButton->setDefault(true);
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { doSave(0); });
    connect(m_saveButton, &QPushButton::clicked, this, [this] { doSave(1); });
    auto *buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_saveButton);

    auto *layout = new QVBoxLayout(m_view);
    auto *title = new QLabel(TWLocalized("invoiceEditorTitle"), m_view);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    layout->addLayout(form);
    layout->addWidget(tabs, 1);
    layout->addLayout(buttons);
    m_view->resize(720, 640);
}

QTableView *TWInvoiceController::buildTable(TWInvoiceItemsModel *model, const QString &name)
{
    auto *table = new QTableView(m_view);
    table->setObjectName(name);
    table->setModel(model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Rows are chosen whole: Tab leaves the table for the next control.
    table->setTabKeyNavigation(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
    table->setShowGrid(false);
    table->setMinimumHeight(160);
    // No highlight: the check column says what is on the invoice.
    QPalette palette = table->palette();
    palette.setColor(QPalette::Highlight, palette.color(QPalette::Base));
    palette.setColor(QPalette::HighlightedText, palette.color(QPalette::Text));
    table->setPalette(palette);
    QHeaderView *header = table->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSectionResizeMode(TWInvoiceItemsModel::NameColumn, QHeaderView::Stretch);
    // Money and quantities keep their room; the name gives way.
    const int money = table->fontMetrics().horizontalAdvance(QStringLiteral("$000,000.00")) + 20;
    const int quantity = table->fontMetrics().horizontalAdvance(QStringLiteral("0000:00")) + 20;
    header->resizeSection(TWInvoiceItemsModel::InvoiceColumn, 65);
    header->resizeSection(TWInvoiceItemsModel::DateColumn, 90);
    header->resizeSection(TWInvoiceItemsModel::AvailableColumn, std::max(quantity, 80));
    header->resizeSection(TWInvoiceItemsModel::QuantityColumn, std::max(quantity, 80));
    header->resizeSection(TWInvoiceItemsModel::SubtotalColumn, money);
    header->resizeSection(TWInvoiceItemsModel::TotalColumn, money);
    table->setMinimumWidth(65 + 90 + 160 + 2 * std::max(quantity, 80) + 2 * money + 30);
    connect(header, &QHeaderView::sectionClicked, this, [this, model, table](int column) {
        const Qt::SortOrder order =
            column == model->sortColumn()
                ? (model->sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder
                                                            : Qt::AscendingOrder)
                : TWInvoiceItemsModel::firstClickOrder(column);
        table->horizontalHeader()->setSortIndicator(column, order);
        model->sort(column, order);
        table->clearSelection();
    });
    // A double click on a column's edge sizes it to what it shows.
    connect(header, &QHeaderView::sectionHandleDoubleClicked, this, [model, table](int column) {
        table->horizontalHeader()->resizeSection(
            column, model->sizeToFitWidth(column, table->horizontalHeader()->fontMetrics(),
                                          table->fontMetrics()));
    });
    connect(table, &QTableView::doubleClicked, this, [this, model](const QModelIndex &index) {
        if (index.isValid() && index.column() != TWInvoiceItemsModel::InvoiceColumn)
            openQuantitySheet(model, index.row());
    });
    // Space and Return open the quantity sheet of the selected row.
    table->installEventFilter(this);
    return table;
}

TWTaskList TWInvoiceController::tasks() const
{
    TWTaskList list;
    for (const TWInvoiceItemPtr &item : m_tasksModel->items())
        list.append(std::static_pointer_cast<TWTask>(item));
    return list;
}

TWTaskList TWInvoiceController::selectedTasks() const
{
    TWTaskList list;
    for (const TWInvoiceItemPtr &item : m_tasksModel->selected())
        list.append(std::static_pointer_cast<TWTask>(item));
    return list;
}

TWExpenseList TWInvoiceController::expenses() const
{
    TWExpenseList list;
    for (const TWInvoiceItemPtr &item : m_expensesModel->items())
        list.append(std::static_pointer_cast<TWExpense>(item));
    return list;
}

TWExpenseList TWInvoiceController::selectedExpenses() const
{
    TWExpenseList list;
    for (const TWInvoiceItemPtr &item : m_expensesModel->selected())
        list.append(std::static_pointer_cast<TWExpense>(item));
    return list;
}

void TWInvoiceController::update()
{
    view();
    m_saved = false;
    if (!m_business || !m_invoice)
        return;
    m_project = m_business->projectWithIdentifier(m_invoice->projectIdentifier());
    m_editInvoice = m_invoice->copy();

    // The sheet works on copies of its own: the store's task and expense
    // objects carry the billed quantity of whichever invoice or project was
    // read last, and anything that reads the project while the sheet is open
    // (the client view repainting behind it) would zero what it shows and
    // saves. The invoice's lines are copied the moment they are read.
    const TWTaskList taskLines = twInvoiceTaskCopies(*m_invoice, *m_business);
    const TWExpenseList expenseLines = twInvoiceExpenseCopies(*m_invoice, *m_business);
    TWInvoiceItemList tasks;
    TWInvoiceItemList expenses;
    TWInvoiceItemList selectedTasks;
    TWInvoiceItemList selectedExpenses;
    joinItems(taskLines, m_project ? m_business->tasksWithProject(*m_project) : TWTaskList(),
              &tasks, &selectedTasks);
    joinItems(expenseLines,
              m_project ? m_business->expensesWithProject(*m_project) : TWExpenseList(), &expenses,
              &selectedExpenses);
    const TWUnitPtr unit = m_project ? m_project->unit() : m_business->homeUnit();
    for (auto &[model, table, all, selected] :
         {std::tuple{m_tasksModel, m_tasksTable, tasks, selectedTasks},
          std::tuple{m_expensesModel, m_expensesTable, expenses, selectedExpenses}}) {
        model->setContext(m_business, m_invoice, unit);
        model->setItems(all, selected);
        model->sort(TWInvoiceItemsModel::DateColumn, Qt::DescendingOrder);
        table->horizontalHeader()->setSortIndicator(TWInvoiceItemsModel::DateColumn,
                                                    Qt::DescendingOrder);
    }
    updateUI();
}

void TWInvoiceController::updateUI()
{
    if (!m_editInvoice)
        return;
    m_filling = true;
    const TWInvoice &invoice = *m_editInvoice;
    const QDateTime now = TWClock::now();
    m_datePicker->setDate((invoice.date().isValid() ? invoice.date() : now).date());
    m_dateButton->setChecked(false);
    m_numberField->setText(invoice.number());
    m_nameField->setText(invoice.name());
    m_sentCheckbox->setChecked(invoice.sent());
    m_paidCheckbox->setChecked(invoice.paid());
    const bool due = invoice.dueDate().isValid();
    m_dueDateCheckbox->setChecked(due);
    m_dueDatePicker->setDate((due ? invoice.dueDate() : now).date());
    m_dueDatePicker->setEnabled(due);
    m_dueDateButton->setEnabled(due);
    m_dueDateButton->setChecked(false);

    const TWRepeatPtr stored =
        m_business ? m_business->repeatWithIdentifier(invoice.repeatIdentifier()) : nullptr;
    m_repeatController->setRepeat(stored ? stored->copy() : nullptr);
    m_repeatController->update();
    m_notesField->setText(invoice.notes());

    // An invoice whose entries lie in a closed period (or are locked) is
    // shown, not edited, as a closed transaction is: a new date or new lines
    // would leave its entries behind in the closed books.
    m_closed = m_business && m_mode == TWEditorMode::Existing && m_invoice &&
               m_business->invoiceContainsClosedTransactions(*m_invoice);
    for (QWidget *control : std::initializer_list<QWidget *>{
             m_datePicker, m_dateButton, m_numberField, m_nameField, m_sentCheckbox, m_paidCheckbox,
             m_dueDateCheckbox, m_notesField, m_tasksTable, m_expensesTable, m_saveButton})
        control->setEnabled(!m_closed);
    m_dueDatePicker->setEnabled(due && !m_closed);
    m_dueDateButton->setEnabled(due && !m_closed);
    m_repeatController->setEnabled(!m_closed);
    m_filling = false;
}

void TWInvoiceController::doCheckbox(int tag)
{
    if (!m_editInvoice)
        return;
    switch (tag) {
    case 3:
        m_editInvoice->setSent(m_sentCheckbox->isChecked());
        break;
    case 4:
        m_editInvoice->setPaid(m_paidCheckbox->isChecked());
        break;
    case 5: {
        const bool on = m_dueDateCheckbox->isChecked();
        m_dueDatePicker->setEnabled(on);
        m_dueDateButton->setEnabled(on);
        m_editInvoice->setDueDate(on ? m_dueDatePicker->date().startOfDay() : QDateTime());
        break;
    }
    default:
        break;
    }
}

void TWInvoiceController::doButton(int tag)
{
    if ((tag != 0 && tag != 5) || !m_editInvoice)
        return;
    QToolButton *button = tag == 0 ? m_dateButton : m_dueDateButton;
    // A pending text edit ends first.
    if (QWidget *focus = m_view->focusWidget())
        focus->clearFocus();
    if (!button->isChecked())
        return;
    const QDateTime shown = tag == 0 ? m_editInvoice->date() : m_editInvoice->dueDate();
    if (!m_calendar)
        m_calendar = new TWCalendarController(this);
    m_calendar->setDate(shown.isValid() ? shown : TWClock::now());
    m_calendar->setShowTime(false);
    m_calendar->setTag(tag);
    m_calendar->setDelegate(this);
    m_calendar->showPopOver(button);
}

void TWInvoiceController::calendarDidSelectDate(const QDateTime &date,
                                                TWCalendarController *controller)
{
    if (!controller || !m_editInvoice)
        return;
    const qint64 tag = controller->tag();
    if (tag != 0 && tag != 5)
        return;
    QDateEdit *picker = tag == 0 ? m_datePicker : m_dueDatePicker;
    QToolButton *button = tag == 0 ? m_dateButton : m_dueDateButton;
    const QDateTime day = date.date().startOfDay();
    if (tag == 0)
        m_editInvoice->setDate(day);
    else
        m_editInvoice->setDueDate(day);
    m_filling = true;
    picker->setDate(day.date());
    m_filling = false;
    button->setChecked(false);
}

void TWInvoiceController::doDatePicker(int tag)
{
    if (!m_editInvoice)
        return;
    if (tag == 0)
        m_editInvoice->setDate(m_datePicker->date().startOfDay());
    else if (tag == 5 && m_dueDateCheckbox->isChecked())
        m_editInvoice->setDueDate(m_dueDatePicker->date().startOfDay());
}

void TWInvoiceController::textFieldDidEndEditing(int tag)
{
    if (!m_editInvoice || m_filling)
        return;
    switch (tag) {
    case 1:
        m_editInvoice->setNumber(m_numberField->text());
        break;
    case 2:
        m_editInvoice->setName(m_nameField->text());
        break;
    case 7:
        m_editInvoice->setNotes(m_notesField->text());
        break;
    default:
        break;
    }
}

void TWInvoiceController::nameEdited()
{
    if (m_textFieldCompleting || !m_business ||
        !TWPreferences::preferences().autoCompleteTextFields())
        return;
    const QString text = m_nameField->text();
    if (text.size() <= 3) {
        m_completer->hide();
        return;
    }
    m_textFieldCompleting = true;
    QStringList names;
    if (const std::optional<TWValueList> values = m_business->values(TWValueListInvoiceNames)) {
        for (const TWValuePtr &value : *values) {
            if (value)
                names.append(value->name());
        }
    }
    m_completer->offer(m_nameField, twValueCompletions(names, text));
    m_textFieldCompleting = false;
}

void TWInvoiceController::endSheet(TWSheetResult result)
{
    if (m_document)
        m_document->endSheet(m_view, result);
    emit endRequested(sheetReturnCode(result));
}

void TWInvoiceController::presentError(const TWError &error)
{
    emit errorPresented(error);
    if (m_document)
        m_document->presentError(error);
}
