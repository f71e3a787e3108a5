// The invoice editor's item tables: the quantity sheet that bills part of an
// item, opened by a double click, Space or Return.

#include "invoicing/ui/TWInvoiceController.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"

#include "foundation/TWLocalized.h"
#include "model/TWTask.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

bool TWInvoiceController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress &&
        (watched == m_tasksTable || watched == m_expensesTable)) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        auto *table = static_cast<QTableView *>(watched);
        if (key == Qt::Key_Space && tableViewSpace(table))
            return true;
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && tableViewReturn(table))
            return true;
    }
    return TWEditorController::eventFilter(watched, event);
}

bool TWInvoiceController::tableViewSpace(QTableView *table)
{
    if (table != m_tasksTable && table != m_expensesTable)
        return false;
    const QModelIndexList rows =
        table->selectionModel() ? table->selectionModel()->selectedRows() : QModelIndexList();
    if (rows.isEmpty())
        return false;
    openQuantitySheet(table == m_tasksTable ? m_tasksModel : m_expensesModel,
                      rows.constFirst().row());
    return true;
}

void TWInvoiceController::editTask(int row)
{
    openQuantitySheet(m_tasksModel, row);
}

void TWInvoiceController::editExpense(int row)
{
    openQuantitySheet(m_expensesModel, row);
}

void TWInvoiceController::buildQuantitySheet()
{
    m_quantityView = new QWidget();
    m_quantityView->setObjectName(QStringLiteral("TWInvoiceQuantity"));
    m_quantityView->setWindowTitle(TWLocalized("invoiceQuantityTitle"));
    m_quantityCheckbox = new QCheckBox(TWLocalized("invoiceQuantityOnInvoice"), m_quantityView);
    connect(m_quantityCheckbox, &QCheckBox::clicked, this, [this] { doQuantityCheckbox(); });
    m_quantityField = new QLineEdit(m_quantityView);
    m_quantityField->setObjectName(QStringLiteral("quantityField"));
    auto *cancel = new QPushButton(TWLocalized("cancel"), m_quantityView);
    auto *save = new QPushButton(TWLocalized("save"), m_quantityView);
    save->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, [this] { doQuantitySave(0); });
    connect(save, &QPushButton::clicked, this, [this] { doQuantitySave(1); });
    auto *row = new QHBoxLayout();
    row->addWidget(m_quantityCheckbox);
    row->addWidget(m_quantityField, 1);
    auto *buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(save);
    auto *layout = new QVBoxLayout(m_quantityView);
    layout->addWidget(new QLabel(TWLocalized("invoiceQuantityTitle"), m_quantityView));
    layout->addLayout(row);
    layout->addLayout(buttons);
}

void TWInvoiceController::openQuantitySheet(TWInvoiceItemsModel *model, int row)
{
    const TWInvoiceItemPtr item = model ? model->itemAt(row) : nullptr;
    if (!item)
        return;
    if (!m_quantityView)
        buildQuantitySheet();
    m_quantityModel = model;
    m_quantityRow = row;
    const double quantity =
        model->isOnInvoice(*item) ? TWInvoiceItemsModel::invoiceQuantity(*item) : 0.0;
    const bool on = quantity != 0;
    m_quantityCheckbox->setChecked(on);
    m_quantityField->setEnabled(on);
    m_quantityField->setText(model->quantityText(*item, quantity));
    if (m_document)
        m_document->beginSheetWithView(m_quantityView, false, true, nullptr);
}

void TWInvoiceController::doQuantityCheckbox()
{
    const TWInvoiceItemPtr item =
        m_quantityModel ? m_quantityModel->itemAt(m_quantityRow) : nullptr;
    const bool on = m_quantityCheckbox->isChecked();
    m_quantityField->setEnabled(on);
    if (!item)
        return;
    m_quantityField->setText(
        m_quantityModel->quantityText(*item, on ? m_quantityModel->checkedQuantity(*item) : 0.0));
}

void TWInvoiceController::doQuantitySave(int tag)
{
    if (tag == 1 && m_quantityModel) {
        // More than is left to bill is asked about first: "1.500" reads as
        // fifteen hundred where "." groups thousands.
        if (m_quantityModel->billsBeyondAvailable(m_quantityRow, m_quantityCheckbox->isChecked(),
                                                  m_quantityField->text())) {
            confirmQuantityBeyondAvailable();
            return;
        }
        saveQuantity();
        return;
    }
    if (m_document && m_quantityView)
        m_document->endSheet(m_quantityView, TWSheetResult::Cancelled);
    m_quantityModel = nullptr;
    m_quantityRow = -1;
}

void TWInvoiceController::saveQuantity()
{
    if (!m_quantityModel)
        return;
    // Refused text leaves the sheet open and the item as it was.
    if (TWErrorResult error = m_quantityModel->setQuantity(
            m_quantityRow, m_quantityCheckbox->isChecked(), m_quantityField->text())) {
        presentError(*error);
        return;
    }
    if (m_document && m_quantityView)
        m_document->endSheet(m_quantityView, TWSheetResult::Confirmed);
    m_quantityModel = nullptr;
    m_quantityRow = -1;
}

void TWInvoiceController::confirmQuantityBeyondAvailable()
{
    const TWInvoiceItemPtr item = m_quantityModel->itemAt(m_quantityRow);
    if (!item)
        return;
    double typed = 0;
    twParseInvoiceQuantity(m_quantityField->text(), m_quantityModel->isTimed(*item), &typed);
    TWAlert alert;
    alert.message =
        TWLocalized("invoiceQuantityBeyondAvailable")
            .arg(m_quantityModel->quantityText(*item, typed), item->name(),
                 m_quantityModel->quantityText(*item, m_quantityModel->availableQuantity(*item)));
    alert.buttons = {TWLocalized("invoiceQuantityBillAll"), TWLocalized("cancel")};
    // Return goes back to the quantity, which is most likely mistyped.
    alert.defaultButton = 1;
    alert.window = m_quantityView ? m_quantityView->window() : nullptr;
    const QPointer<TWInvoiceController> guarded(this);
    const QPointer<TWInvoiceItemsModel> model(m_quantityModel);
    const int row = m_quantityRow;
    twRunAlert(alert, [guarded, model, row](int code) {
        // The sheet may have closed or moved to another item meanwhile.
        if (!guarded || !model || guarded->m_quantityModel != model ||
            guarded->m_quantityRow != row)
            return;
        if (code == TWAlertFirstButtonReturn) {
            guarded->saveQuantity();
        } else if (guarded->m_quantityField) {
            guarded->m_quantityField->setFocus(Qt::OtherFocusReason);
            guarded->m_quantityField->selectAll();
        }
    });
}
