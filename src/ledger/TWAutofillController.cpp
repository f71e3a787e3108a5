#include "ledger/TWAutofillController.h"

#include "app/TWBusinessController.h"

#include "foundation/TWLocalized.h"
#include "ledger/TWLedgerTables.h"
#include "model/TWBuiltInFields.h"
#include "model/TWFormatter.h"
#include "store/TWBusiness.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QHeaderView>
#include <QVBoxLayout>

#include <algorithm>

// Field, type and the two check-box columns.
class TWAutofillTableModel final : public QAbstractTableModel
{
public:
    TWAutofillTableModel(TWAutofillController *controller, QObject *parent)
        : QAbstractTableModel(parent), m_controller(controller)
    {
    }
    void reload()
    {
        beginResetModel();
        endResetModel();
    }
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_controller->fields().size());
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : 4;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        const TWFieldPtr field =
            index.isValid() ? m_controller->fields().value(index.row()) : nullptr;
        if (!field)
            return {};
        switch (index.column()) {
        case TWAutofillController::FieldColumn:
            return role == Qt::DisplayRole ? QVariant(field->name()) : QVariant();
        case TWAutofillController::TypeColumn:
            return role == Qt::DisplayRole
                       ? QVariant(TWFormatter::formatter().fieldTypeString(field->type()))
                       : QVariant();
        case TWAutofillController::TriggerColumn:
            // No box at all for a field that cannot start autofill.
            if (role != Qt::CheckStateRole || !TWAutofillController::canTrigger(*field))
                return {};
            return field->autofillTrigger() ? Qt::Checked : Qt::Unchecked;
        case TWAutofillController::AutofillColumn:
            if (role != Qt::CheckStateRole)
                return {};
            return field->autofillValue() ? Qt::Checked : Qt::Unchecked;
        default:
            return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const char *const keys[] = {"field", "type", "trigger", "autofill"};
        return section >= 0 && section < 4 ? TWLocalized(keys[section]) : QVariant();
    }
    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        const TWFieldPtr field = m_controller->fields().value(index.row());
        if (index.column() == TWAutofillController::AutofillColumn ||
            (index.column() == TWAutofillController::TriggerColumn && field &&
             TWAutofillController::canTrigger(*field)))
            flags |= Qt::ItemIsUserCheckable;
        return flags;
    }
    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        if (!index.isValid() || role != Qt::CheckStateRole)
            return false;
        const bool on = value.toInt() == Qt::Checked;
        if (!m_controller->setFlag(index.row(), index.column(), on))
            return false;
        emit dataChanged(index, index);
        return true;
    }
    void sort(int column, Qt::SortOrder order) override
    {
        m_controller->sort(column, order == Qt::AscendingOrder);
    }

private:
    TWAutofillController *m_controller;
};

TWAutofillController::TWAutofillController(QObject *parent)
    : TWLazyViewController<TWAutofillDetail>(parent)
{
}

TWAutofillController::~TWAutofillController()
{
    if (m_view && !m_view->parent())
        delete m_view;
}

void TWAutofillController::build()
{
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("TWAutofill"));
    auto *layout = new QVBoxLayout(m_view);
    layout->setContentsMargins(0, 0, 0, 0);
    m_enableCheckbox = new QCheckBox(TWLocalized("enableAutofill"), m_view);
    m_enableCheckbox->setObjectName(QStringLiteral("enableCheckbox"));
    layout->addWidget(m_enableCheckbox);

    m_table = new TWTableView(m_view);

    twUseSingleLineRows(m_table);
    m_table->setObjectName(QStringLiteral("tableView"));
    m_model = new TWAutofillTableModel(this, m_table);
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->setColumnWidth(FieldColumn, 200);
    m_table->setColumnWidth(TypeColumn, 140);
    m_table->setColumnWidth(TriggerColumn, 80);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSortIndicator(FieldColumn, Qt::AscendingOrder);
    m_table->setSortingEnabled(true);
    layout->addWidget(m_table);

    connect(m_enableCheckbox, &QCheckBox::clicked, this, [this](bool on) { doEnableAutofill(on); });
}

void TWAutofillController::update()
{
    if (!m_business)
        return;
    view();
    m_enableCheckbox->setChecked(m_business->autofill());
    m_fields = m_business->autofillFields();
    {
        const QSignalBlocker block(m_table->horizontalHeader());
        m_table->horizontalHeader()->setSortIndicator(FieldColumn, Qt::AscendingOrder);
    }
    sort(FieldColumn, true);
    m_table->setEnabled(m_business->autofill());
    m_table->scrollToTop();
}

bool TWAutofillController::canTrigger(const TWField &field)
{
    switch (field.type()) {
    case TWFieldTypeCheckbox:
    case TWFieldTypeDate:
    case TWFieldTypeTags:
        return false;
    default:
        // The built-in date and cleared fields.
        return field.identifier() != TWFieldIdentifierDate &&
               field.identifier() != TWFieldIdentifierCleared;
    }
}

void TWAutofillController::doEnableAutofill(bool on)
{
    if (!m_business)
        return;
    m_business->setAutofill(on);
    if (m_enableCheckbox)
        m_enableCheckbox->setChecked(on);
    if (m_table)
        m_table->setEnabled(on);
    if (m_document)
        m_document->updateChangeCount(0);
}

bool TWAutofillController::setFlag(int row, int column, bool on)
{
    const TWFieldPtr field = m_fields.value(row);
    if (!m_business || !field || (column != TriggerColumn && column != AutofillColumn) ||
        !m_business->autofill())
        return false;
    if (column == TriggerColumn && !canTrigger(*field))
        return false;
    const bool before = column == TriggerColumn ? field->autofillTrigger() : field->autofillValue();
    column == TriggerColumn ? field->setAutofillTrigger(on) : field->setAutofillValue(on);
    if (TWErrorResult error = m_business->updateFieldAutofill(field, true)) {
        // The shown flag stays what the store holds.
        column == TriggerColumn ? field->setAutofillTrigger(before)
                                : field->setAutofillValue(before);
        if (m_document)
            m_document->presentError(*error);
        return false;
    }
    if (m_document)
        m_document->updateChangeCount(0);
    return true;
}

void TWAutofillController::sort(int column, bool ascending)
{
    m_sortColumn = column >= FieldColumn && column <= AutofillColumn ? column : FieldColumn;
    m_ascending = ascending;
    const int key = m_sortColumn;
    const auto compare = [key](const TWFieldPtr &a, const TWFieldPtr &b) -> int {
        switch (key) {
        case TypeColumn: {
            const TWFormatter &formatter = TWFormatter::formatter();
            return formatter.fieldTypeString(a->type()).compare(
                formatter.fieldTypeString(b->type()));
        }
        case TriggerColumn:
            return int(a->autofillTrigger()) - int(b->autofillTrigger());
        case AutofillColumn:
            return int(a->autofillValue()) - int(b->autofillValue());
        default:
            // A field without a name comes first.
            if (a->name().isEmpty() || b->name().isEmpty())
                return int(!a->name().isEmpty()) - int(!b->name().isEmpty());
            return a->name().compare(b->name());
        }
    };
    std::stable_sort(m_fields.begin(), m_fields.end(),
                     [&compare, ascending](const TWFieldPtr &a, const TWFieldPtr &b) {
                         const int c = compare(a, b);
                         return ascending ? c < 0 : c > 0;
                     });
    if (m_table) {
        m_table->clearSelection();
        m_model->reload();
    }
}
