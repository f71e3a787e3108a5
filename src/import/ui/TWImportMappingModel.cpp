#include "import/ui/TWImportMappingModel.h"

#include "foundation/TWLocalized.h"
#include "store/TWBusiness.h"
#include "store/TWUnitMenu.h"

#include <QComboBox>
#include <QFileInfo>
#include <QTimer>

namespace
{

constexpr qint32 kDate = -3;
constexpr qint32 kAccount1 = -7;
constexpr qint32 kAccount2 = -8;
constexpr qint32 kDebit = -10;
constexpr qint32 kCredit = -11;
constexpr qint32 kTotal = -12;
constexpr qint32 kAttachments = -14;
constexpr qint32 kDateCreated = -17;
constexpr qint32 kDateModified = -18;

} // namespace

TWImportMappingModel::TWImportMappingModel(QObject *parent) : QAbstractTableModel(parent)
{
}

void TWImportMappingModel::setMapping(const TWImportTransactionsSettingsPtr &settings,
                                      TWBusiness *business, const TWFieldList &fields,
                                      const TWAccountList &accounts)
{
    beginResetModel();
    m_settings = settings;
    m_business = business;
    m_targets.clear();
    m_targets.append(Target{0, nullptr, nullptr, TWLocalized("doNotImport"), false});
    m_targets.append(Target{0, nullptr, nullptr, QString(), true});
    for (const TWFieldPtr &field : fields) {
        if (field)
            m_targets.append(Target{1, field, nullptr, field->name(), false});
    }
    m_targets.append(Target{0, nullptr, nullptr, QString(), true});
    for (const TWAccountPtr &account : accounts) {
        if (account)
            m_targets.append(Target{
                2, nullptr, account,
                QStringLiteral("%1 %2").arg(TWLocalized("splitTo"), account->name()), false});
    }
    m_units = business ? twUnitMenuItems(*business, false) : TWUnitMenuItems();
    endResetModel();
}

void TWImportMappingModel::clear()
{
    beginResetModel();
    m_settings.reset();
    endResetModel();
}

TWImportTransactionFieldPtr TWImportMappingModel::line(int row) const
{
    if (!m_settings || row < 0 || row >= m_settings->importFields().size())
        return nullptr;
    return m_settings->importFields().at(row);
}

int TWImportMappingModel::targetIndex(const TWImportTransactionField &line) const
{
    for (int i = 0; i < m_targets.size(); ++i) {
        const Target &target = m_targets.at(i);
        if (target.separator || target.type != line.type())
            continue;
        if (line.type() == TWImportFieldTypeNone)
            return i;
        if (line.type() == TWImportFieldTypeField && target.field && line.field() &&
            target.field->identifier() == line.field()->identifier())
            return i;
        if (line.type() == TWImportFieldTypeAccount && target.account && line.account() &&
            target.account->identifier() == line.account()->identifier())
            return i;
    }
    return -1;
}

TWImportMappingModel::Setting TWImportMappingModel::settingOf(const TWImportTransactionField &line)
{
    if (line.type() == TWImportFieldTypeAccount)
        return Setting::Unit;
    if (line.type() != TWImportFieldTypeField || !line.field())
        return Setting::None;
    switch (line.field()->type()) {
    case TWFieldTypeList:
    case TWFieldTypeTags:
        return Setting::CreateIfNeeded;
    case TWFieldTypeDate:
        return Setting::Format;
    default:
        break;
    }
    switch (line.builtInIdentifier()) {
    case kDate:
    case kDateCreated:
    case kDateModified:
        return Setting::Format;
    case kDebit:
    case kCredit:
    case kTotal:
        return Setting::Unit;
    case kAccount1:
    case kAccount2:
        return Setting::CreateIfNeeded;
    case kAttachments:
        return Setting::Folder;
    default:
        return Setting::None;
    }
}

bool TWImportMappingModel::chooseTarget(int row, int targetIndex)
{
    const TWImportTransactionFieldPtr mapped = line(row);
    if (!mapped || !m_business || targetIndex < 0 || targetIndex >= m_targets.size() ||
        m_targets.at(targetIndex).separator)
        return false;
    const Target &target = m_targets.at(targetIndex);
    m_settings->updateField(*mapped, target.type, target.field, target.account, *m_business);
    emit dataChanged(index(row, TargetColumn), index(row, SettingsColumn));
    emit mappingChanged();
    return true;
}

int TWImportMappingModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_settings ? 0 : int(m_settings->importFields().size());
}

int TWImportMappingModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant TWImportMappingModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const keys[] = {"importSourceColumn", "importTargetColumn",
                                       "importSettingsColumn"};
    return section >= 0 && section < 3 ? TWLocalized(keys[section]) : QVariant();
}

QVariant TWImportMappingModel::data(const QModelIndex &index, int role) const
{
    const TWImportTransactionFieldPtr mapped = line(index.row());
    if (!mapped)
        return {};
    switch (index.column()) {
    case SourceColumn:
        return role == Qt::DisplayRole ? QVariant(mapped->sourceName()) : QVariant();
    case TargetColumn: {
        const int target = targetIndex(*mapped);
        if (role == Qt::DisplayRole)
            return target >= 0 ? m_targets.at(target).title : QString();
        if (role == Qt::EditRole)
            return target;
        return {};
    }
    default:
        break;
    }
    switch (settingOf(*mapped)) {
    case Setting::Unit:
        if (role == Qt::DisplayRole)
            return mapped->unit() ? mapped->unit()->code() : QString();
        if (role == Qt::EditRole) {
            for (int i = 0; i < m_units.size(); ++i) {
                if (!m_units.at(i).separator && m_units.at(i).unit && mapped->unit() &&
                    m_units.at(i).unit->code() == mapped->unit()->code())
                    return i;
            }
            return -1;
        }
        return {};
    case Setting::CreateIfNeeded:
        if (role == Qt::CheckStateRole)
            return mapped->createIfNeeded() ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::DisplayRole)
            return TWLocalized("importCreateIfNeeded");
        return {};
    case Setting::Format:
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return mapped->format();
        return {};
    case Setting::Folder:
        if (role == Qt::DisplayRole)
            return mapped->folderURL().isEmpty()
                       ? TWLocalized("noFolderSet")
                       : QFileInfo(mapped->folderURL().toLocalFile()).fileName();
        return {};
    case Setting::None:
        return {};
    }
    return {};
}

bool TWImportMappingModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const TWImportTransactionFieldPtr mapped = line(index.row());
    if (!mapped)
        return false;
    if (index.column() == TargetColumn && role == Qt::EditRole)
        return chooseTarget(index.row(), value.toInt());
    if (index.column() != SettingsColumn)
        return false;
    switch (settingOf(*mapped)) {
    case Setting::Unit: {
        const int i = value.toInt();
        if (role != Qt::EditRole || i < 0 || i >= m_units.size() || m_units.at(i).separator)
            return false;
        mapped->setUnit(m_units.at(i).unit);
        break;
    }
    case Setting::CreateIfNeeded:
        if (role != Qt::CheckStateRole)
            return false;
        mapped->setCreateIfNeeded(value.toInt() == Qt::Checked);
        break;
    case Setting::Format:
        if (role != Qt::EditRole)
            return false;
        // An empty format is the user's own short format.
        mapped->setFormat(value.toString().isEmpty() ? QString() : value.toString());
        break;
    default:
        return false;
    }
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags TWImportMappingModel::flags(const QModelIndex &index) const
{
    const TWImportTransactionFieldPtr mapped = line(index.row());
    if (!mapped)
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == TargetColumn)
        return flags | Qt::ItemIsEditable;
    if (index.column() == SettingsColumn) {
        switch (settingOf(*mapped)) {
        case Setting::Unit:
        case Setting::Format:
            return flags | Qt::ItemIsEditable;
        case Setting::CreateIfNeeded:
            return flags | Qt::ItemIsUserCheckable;
        default:
            break;
        }
    }
    return flags;
}

QWidget *TWImportMappingDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                               const QModelIndex &index) const
{
    const auto *model = qobject_cast<const TWImportMappingModel *>(index.model());
    const TWImportTransactionFieldPtr mapped = model ? model->line(index.row()) : nullptr;
    if (!mapped)
        return nullptr;
    const bool unit =
        index.column() == TWImportMappingModel::SettingsColumn &&
        TWImportMappingModel::settingOf(*mapped) == TWImportMappingModel::Setting::Unit;
    if (index.column() != TWImportMappingModel::TargetColumn && !unit)
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto *combo = new QComboBox(parent);
    if (unit) {
        for (const TWUnitMenuItem &item : model->units()) {
            if (item.separator)
                combo->insertSeparator(combo->count());
            else
                combo->addItem(item.title);
        }
    } else {
        for (const TWImportMappingModel::Target &target : model->targets()) {
            if (target.separator)
                combo->insertSeparator(combo->count());
            else
                combo->addItem(target.title);
        }
    }
    // It opens as a pop-up menu does, and a choice is taken at once.
    QTimer::singleShot(0, combo, [combo] { combo->showPopup(); });
    connect(combo, &QComboBox::activated, this, [this, combo] {
        emit const_cast<TWImportMappingDelegate *>(this)->commitData(combo);
        emit const_cast<TWImportMappingDelegate *>(this)->closeEditor(combo);
    });
    return combo;
}

void TWImportMappingDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        combo->setCurrentIndex(index.data(Qt::EditRole).toInt());
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void TWImportMappingDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                           const QModelIndex &index) const
{
    if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        model->setData(index, combo->currentIndex(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}
