// The invoice editor's item tables: the quantity sheet that bills part of an
// item, opened by a double click, Space or Return.

#include "invoicing/ui/TWInvoiceController.h"

#include "app/TWBusinessController.h"

#include "foundation/TWLocalized.h"
#include "model/TWTask.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
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
        // Refused text leaves the sheet open and the item as it was.
        if (TWErrorResult error = m_quantityModel->setQuantity(
                m_quantityRow, m_quantityCheckbox->isChecked(), m_quantityField->text())) {
            presentError(*error);
            return;
        }
    }
    if (m_document && m_quantityView)
        m_document->endSheet(m_quantityView,
                             tag == 1 ? TWSheetResult::Confirmed : TWSheetResult::Cancelled);
    m_quantityModel = nullptr;
    m_quantityRow = -1;
}
