#include "ledger/TWMissingAccountsModel.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWUtilities.h"
#include "store/TWBusiness.h"
#include "store/TWUnitMenu.h"

#include <QComboBox>

TWMissingAccountsModel::TWMissingAccountsModel(QObject *parent) : QAbstractTableModel(parent)
{
    for (int type = TWAccountTypeAccountsReceivable; type <= TWAccountTypeEquity; ++type) {
        if (type != TWAccountGroupTypeLiability) // the liability group, no account type
            m_types.append(type);
    }
}

void TWMissingAccountsModel::setBusiness(TWBusiness *business)
{
    beginResetModel();
    m_units.clear();
    m_unitTitles.clear();
    if (business) {
        for (const TWUnitMenuItem &item : twUnitMenuItems(*business, false)) {
            // The same unit may stand among the favourites and the
            // currencies; the menu offers it once.
            if (item.separator || !item.unit || unitIndex(item.unit) >= 0)
                continue;
            m_units.append(item.unit);
            m_unitTitles.append(item.title);
        }
    }
    endResetModel();
}

void TWMissingAccountsModel::setAccounts(const TWAccountList &accounts)
{
    beginResetModel();
    m_accounts = accounts;
    endResetModel();
}

QStringList TWMissingAccountsModel::typeTitles() const
{
    QStringList titles;
    for (int type : m_types)
        titles.append(TWFormatter::formatter().accountTypeString(std::uint32_t(type)));
    return titles;
}

int TWMissingAccountsModel::unitIndex(const TWUnitPtr &unit) const
{
    if (!unit)
        return -1;
    for (int i = 0; i < m_units.size(); ++i) {
        if (m_units[i]->isEqual(*unit))
            return i;
    }
    return -1;
}

int TWMissingAccountsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_accounts.size());
}

int TWMissingAccountsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant TWMissingAccountsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_accounts.size())
        return {};
    const TWAccount &account = *m_accounts[index.row()];
    const bool display = role == Qt::DisplayRole;
    const bool edit = role == Qt::EditRole;
    if (!display && !edit)
        return {};
    switch (index.column()) {
    case NameColumn:
        return account.name();
    case TypeColumn: {
        const int position = int(m_types.indexOf(int(account.accountType())));
        if (edit)
            return position;
        return TWFormatter::formatter().accountTypeString(std::uint32_t(account.accountType()));
    }
    case UnitColumn: {
        const int position = unitIndex(account.unit());
        if (edit)
            return position;
        if (position >= 0)
            return m_unitTitles[position];
        return account.unit() ? account.unit()->code() : QString();
    }
    default:
        return {};
    }
}

bool TWMissingAccountsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || index.row() >= m_accounts.size())
        return false;
    bool ok = false;
    const int position = value.toInt(&ok);
    if (!ok)
        return false;
    TWAccount &account = *m_accounts[index.row()];
    if (index.column() == TypeColumn && position >= 0 && position < m_types.size())
        account.setAccountType(TWAccountType(m_types[position]));
    else if (index.column() == UnitColumn && position >= 0 && position < m_units.size())
        account.setUnit(m_units[position]);
    else
        return false;
    emit dataChanged(index, index);
    return true;
}

QVariant TWMissingAccountsModel::headerData(int section, Qt::Orientation orientation,
                                            int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NameColumn:
        return TWLocalized("name");
    case TypeColumn:
        return TWLocalized("type");
    case UnitColumn:
        return TWLocalized("unit");
    default:
        return {};
    }
}

Qt::ItemFlags TWMissingAccountsModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled;
    if (index.column() != NameColumn)
        flags |= Qt::ItemIsEditable;
    return flags;
}

QWidget *TWMissingAccountsDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                                 const QModelIndex &index) const
{
    const auto *model = qobject_cast<const TWMissingAccountsModel *>(index.model());
    if (!model || index.column() == TWMissingAccountsModel::NameColumn)
        return nullptr;
    auto *combo = new QComboBox(parent);
    combo->addItems(index.column() == TWMissingAccountsModel::TypeColumn ? model->typeTitles()
                                                                         : model->unitTitles());
    // A choice counts as soon as it is made.
    connect(combo, &QComboBox::activated, this, [this, combo] {
        emit const_cast<TWMissingAccountsDelegate *>(this)->commitData(combo);
    });
    return combo;
}

void TWMissingAccountsDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (auto *combo = qobject_cast<QComboBox *>(editor))
        combo->setCurrentIndex(index.data(Qt::EditRole).toInt());
}

void TWMissingAccountsDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                             const QModelIndex &index) const
{
    if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        if (combo->currentIndex() >= 0)
            model->setData(index, combo->currentIndex(), Qt::EditRole);
    }
}
