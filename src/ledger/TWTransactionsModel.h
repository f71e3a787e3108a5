#pragma once
// The register's table model over the controller's displayed rows: one column
// per shown field, text formatted only for the cells the view asks for,
// colours from the preferences, the total and split tool tips and the check
// boxes of the cleared, import-tick and custom check-box columns.

#include "app/TWRegisterMode.h"
#include "model/TWField.h"
#include "model/TWTransaction.h"

#include <QAbstractTableModel>
#include <QSet>

#include <functional>

class TWBusiness;

class TWTransactionsModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Roles the delegate reads: the field identifier of the column and whether
    // the cell holds a paperclip or a repeat link.
    enum Role { FieldIdentifierRole = Qt::UserRole + 1, HasButtonRole };

    explicit TWTransactionsModel(QObject *parent = nullptr);

    void setBusiness(TWBusiness *business) { m_business = business; }
    void setMode(TWRegisterMode mode) { m_mode = mode; }
    // The rows shown; the list stays owned by the controller.
    void setRows(const TWTransactionList *rows) { m_rows = rows; }
    void setTicks(const QSet<const TWTransaction *> *ticks) { m_ticks = ticks; }
    // Column headers: the debit and credit columns of a register of one
    // account type carry that type's debit and credit names.
    void setDebitCreditAccountType(std::optional<std::uint32_t> type) { m_debitCreditType = type; }
    // A new set of columns; resets the model.
    void setColumns(const TWFieldList &fields);
    const TWFieldList &columns() const { return m_columns; }
    // The rows changed (a new list, a sort): resets the model.
    void reload();
    // Repaints the rows.
    void refreshRows(int first, int last);

    // A check box in a cell was clicked: the controller decides.
    std::function<void(int row, int column, bool on)> onCheckbox;

    // The text of a cell as it shows (also measured for the fitted width).
    QString cellText(const TWTransaction &transaction, const TWField &field) const;
    QString headerTitle(const TWField &field) const;
    QColor transactionColour(const TWTransaction &transaction) const;
    QString totalToolTip(const TWTransaction &transaction) const;
    QString splitToolTip(const TWTransaction &transaction) const;
    // Whether the column's cells are check boxes.
    static bool isCheckboxField(const TWField &field);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::optional<bool> checkState(const TWTransaction &transaction, const TWField &field) const;
    bool checkEnabled(const TWTransaction &transaction, const TWField &field) const;
    QString amount(qint64 value, const TWUnitPtr &unit, bool tooltip) const;
    TWUnitPtr accountUnit(qint32 accountIdentifier) const;

    TWBusiness *m_business = nullptr;
    TWRegisterMode m_mode = TWRegisterMode::Nothing;
    const TWTransactionList *m_rows = nullptr;
    const QSet<const TWTransaction *> *m_ticks = nullptr;
    TWFieldList m_columns;
    std::optional<std::uint32_t> m_debitCreditType;
};
