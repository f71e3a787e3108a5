#pragma once
// The mapping table of the transaction import sheet: one row per source
// column with what it becomes (nothing, a field, or a split to an account)
// and that target's setting (a unit, whether missing entries are created, a
// date format, the attachments' folder). The target and unit columns are
// edited through lists of choices the model hands to its delegate.

#include "import/core/TWImportTransactionsSettings.h"
#include "model/TWUtilities.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

class TWBusiness;

class TWImportMappingModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { SourceColumn = 0, TargetColumn = 1, SettingsColumn = 2 };
    // What the settings cell of a line shows and edits.
    enum class Setting { None, Unit, CreateIfNeeded, Format, Folder };

    // One choice of the target column: 0 nothing, 1 a field, 2 a split to an account.
    struct Target {
        quint32 type = 0;
        TWFieldPtr field;
        TWAccountPtr account;
        QString title;
        bool separator = false;
    };

    explicit TWImportMappingModel(QObject *parent = nullptr);

    // A new mapping: the lines, the target choices (fields sorted by name,
    // then the accounts) and the units (no mileage).
    void setMapping(const TWImportTransactionsSettingsPtr &settings, TWBusiness *business,
                    const TWFieldList &fields, const TWAccountList &accounts);
    void clear();
    const TWImportTransactionsSettingsPtr &settings() const { return m_settings; }

    const QList<Target> &targets() const { return m_targets; }
    const TWUnitMenuItems &units() const { return m_units; }
    // The index in targets() the line shows; -1 for none.
    int targetIndex(const TWImportTransactionField &line) const;
    static Setting settingOf(const TWImportTransactionField &line);
    TWImportTransactionFieldPtr line(int row) const;

    // Applies a target choice to a row (what the target combo does).
    bool chooseTarget(int row, int targetIndex);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    // A target changed: the number of lines that import something may have.
    void mappingChanged();
    // The folder cell of a row was asked to choose its folder.
    void folderRequested(int row);

private:
    TWImportTransactionsSettingsPtr m_settings;
    TWBusiness *m_business = nullptr;
    QList<Target> m_targets;
    TWUnitMenuItems m_units;
};

// Edits the target and unit cells with a pop-up of the model's choices.
class TWImportMappingDelegate final : public QStyledItemDelegate
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
