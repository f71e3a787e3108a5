#pragma once
// The sheet in which one invoice of a project is created or edited: dates,
// number, name (completed from earlier invoice names), sent and paid marks,
// an optional due date and repeat schedule, notes, and which of the project's
// tasks and expenses it bills in what quantity. Saving writes the invoice, its
// schedule, its lines and (for a project proper) its receivable entry as one
// all-or-nothing write.

#include "app/TWAppRegistry.h"
#include "app/TWCalendarController.h"
#include "app/TWLazyViewController.h"
#include "app/TWPopover.h"
#include "foundation/TWError.h"
#include "invoicing/ui/TWInvoiceItemsModel.h"
#include "model/TWInvoice.h"
#include "model/TWProject.h"

#include <QAbstractButton>
#include <QPointer>
#include <QWidget>

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTableView;
class QToolButton;
class TWAccount;
class TWRepeatController;
class TWValueCompleter;

class TWInvoiceController : public TWLazyViewController<TWEditorController>,
                            public TWCalendarControllerDelegate
{
    Q_OBJECT
public:
    explicit TWInvoiceController(QObject *parent = nullptr);
    ~TWInvoiceController() override;

    // The invoice handed in; never changed by the sheet (mode New or Existing).
    const TWInvoicePtr &invoice() const { return m_invoice; }
    void setInvoice(const TWInvoicePtr &invoice) { m_invoice = invoice; }
    // The working copy every control writes into, and what is saved.
    const TWInvoicePtr &editInvoice() const { return m_editInvoice; }
    bool saved() const { return m_saved; }

    // Fills the sheet from the invoice.
    void update() override;
    // Shows the working copy in the controls.
    void updateUI();

    // Save (tag 1) or cancel (any other tag).
    void doSave(int tag);

    // Control handlers, by the controls' tags: 0 date, 1 number, 2 name,
    // 3 sent, 4 paid, 5 due date, 7 notes.
    void doCheckbox(int tag);
    void doButton(int tag);
    void doDatePicker(int tag);
    void textFieldDidEndEditing(int tag);
    void calendarDidSelectDate(const QDateTime &date, TWCalendarController *controller) override;

    // The receivable, income and (for a taxed invoice) tax accounts of the
    // invoice's entry, made when missing. False when one could not be made
    // (the document has shown why).
    bool invoiceTransactionAccounts(const TWInvoice &invoice,
                                    std::shared_ptr<TWAccount> *accountsReceivableAccount,
                                    std::shared_ptr<TWAccount> *incomeAccount,
                                    std::shared_ptr<TWAccount> *taxAccount);

    // The item tables.
    TWTaskList tasks() const;
    TWTaskList selectedTasks() const;
    TWExpenseList expenses() const;
    TWExpenseList selectedExpenses() const;
    TWInvoiceItemsModel *tasksModel() const { return m_tasksModel; }
    TWInvoiceItemsModel *expensesModel() const { return m_expensesModel; }
    // Opens the quantity sheet on a row of the tasks (expenses) table.
    void editTask(int row);
    void editExpense(int row);
    // Space and Return on a table: true when a selected row's sheet opened.
    bool tableViewSpace(QTableView *table);
    bool tableViewReturn(QTableView *table) { return tableViewSpace(table); }
    // The quantity sheet's controls.
    void doQuantityCheckbox();
    void doQuantitySave(int tag);
    // The model and row whose quantity sheet is open.
    TWInvoiceItemsModel *quantityModel() const { return m_quantityModel; }
    int quantityRow() const { return m_quantityRow; }

    // Controls, for the sheet's wiring and for tests.
    QDateEdit *datePicker() const { return m_datePicker; }
    QToolButton *dateButton() const { return m_dateButton; }
    QLineEdit *numberField() const { return m_numberField; }
    QLineEdit *nameField() const { return m_nameField; }
    QCheckBox *sentCheckbox() const { return m_sentCheckbox; }
    QCheckBox *paidCheckbox() const { return m_paidCheckbox; }
    QCheckBox *dueDateCheckbox() const { return m_dueDateCheckbox; }
    QDateEdit *dueDatePicker() const { return m_dueDatePicker; }
    QToolButton *dueDateButton() const { return m_dueDateButton; }
    QLineEdit *notesField() const { return m_notesField; }
    TWRepeatController *repeatController() const { return m_repeatController; }
    QTableView *tasksTable() const { return m_tasksTable; }
    QTableView *expensesTable() const { return m_expensesTable; }
    QPushButton *saveButton() const { return m_saveButton; }
    // Whether the invoice is shown read-only (its entries are closed or locked).
    bool isClosed() const { return m_closed; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    TWValueCompleter *completer() const { return m_completer; }
    QWidget *quantityView() const { return m_quantityView; }
    QCheckBox *quantityCheckbox() const { return m_quantityCheckbox; }
    QLineEdit *quantityField() const { return m_quantityField; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // An error was handed to the document to show.
    void errorPresented(const TWError &error);

private:
    void build() override;
    QTableView *buildTable(TWInvoiceItemsModel *model, const QString &name);
    void buildQuantitySheet();
    void openQuantitySheet(TWInvoiceItemsModel *model, int row);
    void endSheet(TWSheetResult result);
    void presentError(const TWError &error);
    void nameEdited();
    // Steps of the save inside its write; false when one failed (shown).
    TWErrorResult writeInvoice(bool *accountMissing);
    TWAccountPtr resolveAccount(const TWInvoice &invoice, std::uint32_t type, bool *missing);

    TWInvoicePtr m_invoice;
    TWInvoicePtr m_editInvoice;
    TWProjectPtr m_project;
    bool m_saved = false;
    // Shown read-only: its entries are closed or locked.
    bool m_closed = false;

    QDateEdit *m_datePicker = nullptr;
    QToolButton *m_dateButton = nullptr;
    QLineEdit *m_numberField = nullptr;
    QLineEdit *m_nameField = nullptr;
    QCheckBox *m_sentCheckbox = nullptr;
    QCheckBox *m_paidCheckbox = nullptr;
    QCheckBox *m_dueDateCheckbox = nullptr;
    QDateEdit *m_dueDatePicker = nullptr;
    QToolButton *m_dueDateButton = nullptr;
    QLineEdit *m_notesField = nullptr;
    QWidget *m_repeatContainer = nullptr;
    TWRepeatController *m_repeatController = nullptr;
    TWInvoiceItemsModel *m_tasksModel = nullptr;
    TWInvoiceItemsModel *m_expensesModel = nullptr;
    QTableView *m_tasksTable = nullptr;
    QTableView *m_expensesTable = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    TWCalendarController *m_calendar = nullptr;
    TWValueCompleter *m_completer = nullptr;
    bool m_textFieldCompleting = false;
    bool m_filling = false;

    QPointer<QWidget> m_quantityView;
    QCheckBox *m_quantityCheckbox = nullptr;
    QLineEdit *m_quantityField = nullptr;
    TWInvoiceItemsModel *m_quantityModel = nullptr;
    int m_quantityRow = -1;
};
