#pragma once
// The rows of the missing-accounts sheet: one proposed account a row, its
// name read-only, its account type and unit chosen from fixed menus. The
// model edits the account objects it is given in place.

#include "model/TWAccount.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

class TWBusiness;

class TWMissingAccountsModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { NameColumn = 0, TypeColumn = 1, UnitColumn = 2 };

    explicit TWMissingAccountsModel(QObject *parent = nullptr);

    // The menus' entries: every account type (1-7, 9-17) with its name, and
    // the store's units without mileage ones, in menu order.
    void setBusiness(TWBusiness *business);
    void setAccounts(const TWAccountList &accounts);
    const TWAccountList &accounts() const { return m_accounts; }
    const QList<int> &accountTypes() const { return m_types; }
    const TWUnitList &units() const { return m_units; }
    // The menu titles of the two choice columns.
    QStringList typeTitles() const;
    QStringList unitTitles() const { return m_unitTitles; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    // Display: the name, the type's name, the unit's menu title. Edit: the
    // menu index of the type or unit (-1 when it is not in the menu).
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Edit role on the type or unit column: the menu index chosen.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    int unitIndex(const TWUnitPtr &unit) const;

    TWAccountList m_accounts;
    QList<int> m_types;
    TWUnitList m_units;
    QStringList m_unitTitles;
};

// The pop-up editor of the type and unit columns.
class TWMissingAccountsDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
};
