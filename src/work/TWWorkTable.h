#pragma once
// One table of a work list (tasks, time items, expenses, and the projects and
// bills lists built on it): its model, its column layout kept in the store,
// sorting, the header menu, the rows a command acts on, keys and context menus.
// The owning list answers what the rows hold through TWWorkTableSource.

#include "app/TWListMenus.h"
#include "app/TWListViews.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

class QMenu;
class TWBusiness;
class TWWorkTable;

// One column a list can show: its tag (what cells, sorting and menus switch
// on), its identifier in the stored layout and its title keys.
struct TWWorkColumn {
    enum Kind { Text, CheckBox, Date, DateTime };
    int tag = 0;
    QString identifier;
    const char *titleKey = nullptr; // the header's strings key
    const char *menuKey = nullptr;  // the header menu's strings key (the title key when null)
    Kind kind = Text;
    bool rightAligned = false;
    // The narrowest a fit makes it (check boxes and dates); 0 measures the texts.
    int minimumFit = 0;
    // The header's strings key while durations show as decimal hours (the
    // title names the form the cells are in); null: the title key always.
    const char *decimalHoursTitleKey = nullptr;
};

// What a table asks of its list. Rows are the list's records in display order.
class TWWorkTableSource
{
public:
    virtual ~TWWorkTableSource() = default;
    virtual int workRowCount(const TWWorkTable *table) const = 0;
    virtual QString workText(const TWWorkTable *table, int row, int tag) const = 0;
    virtual bool workChecked(const TWWorkTable *, int, int) const { return false; }
    // Invalid: the palette's text colour.
    virtual QColor workRowColour(const TWWorkTable *, int) const { return {}; }
    // A cell's own colour (the row's unless the list says otherwise).
    virtual QColor workCellColour(const TWWorkTable *table, int row, int /*tag*/) const
    {
        return workRowColour(table, row);
    }
    // A cell's tooltip; empty: none.
    virtual QString workToolTip(const TWWorkTable *, int /*row*/, int /*tag*/) const { return {}; }
    virtual bool workRowHighlighted(const TWWorkTable *, int) const { return false; }
    // Reorders the records by the column (stable); the table reloads after.
    virtual void workSort(TWWorkTable *table, int tag, bool ascending) = 0;
    virtual void workCheckbox(TWWorkTable *, int /*row*/, int /*tag*/, bool /*on*/) {}
    virtual void workSelectionChanged(TWWorkTable *) {}
    // The context menu (parented to `parent`); the context rows are set.
    virtual QMenu *workContextMenu(TWWorkTable *, QWidget *, bool /*rowClicked*/)
    {
        return nullptr;
    }
    // Delete (1), Space (' ') and Return ('\r') with rows selected; true when handled.
    virtual bool workKey(TWWorkTable *, int /*key*/) { return false; }
    virtual void workDoubleClick(TWWorkTable *) {}
};

class TWWorkTableModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    TWWorkTableModel(TWWorkTable *table, TWWorkTableSource *source, QObject *parent);
    void setColumns(const QList<TWWorkColumn> &columns);
    const QList<TWWorkColumn> &columns() const { return m_columns; }
    int columnOfTag(int tag) const;
    void reload();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TWWorkTable *m_table;
    TWWorkTableSource *m_source;
    QList<TWWorkColumn> m_columns;
};

class TWWorkTable final : public QObject, public TWTableViewDelegate
{
    Q_OBJECT
public:
    TWWorkTable(TWWorkTableSource *source, quint32 settingsView, QList<TWWorkColumn> columns,
                QWidget *parentWidget, QObject *parent = nullptr);
    ~TWWorkTable() override;

    TWTableView *table() const { return m_table; }
    TWWorkTableModel *model() const { return m_model; }
    void setBusiness(TWBusiness *business) { m_business = business; }
    // The import column (tag 0) shows only in the import-selection mode.
    void setShowsImportColumn(bool shows) { m_showsImport = shows; }
    // The header menu lists the columns only where the list offers it.
    void setHeaderMenuEnabled(bool enabled);
    QMenu *headerMenu() const { return m_headerMenu; }
    const QList<TWWorkColumn> &allColumns() const { return m_allColumns; }

    // ---- Column settings ----
    // Takes the store's record; with more than one parent shown the columns
    // naming the parents are made visible (and stay so in the store).
    void loadSettings(int shownParents, const QStringList &parentColumns);
    const QVariantMap &settings() const { return m_settings; }
    bool settingsLoaded() const { return m_loaded; }
    void saveSettings();
    // Rebuilds the table's columns from the record.
    void updateColumns();
    // Shows the columns at their stored widths, the fixed-size ones (ticks,
    // dates) fitted when the columns are wider than the list.
    void fitColumns();
    // Shows the stored sort column and direction, then sorts.
    void updateSortDescriptors();
    // Sorts by the stored column, clears the selection and reloads.
    void sort();
    void updateSortBy(int tag, bool apply);
    void updateSortDirection(bool ascending, bool apply);
    void toggleFieldVisible(int tag);
    int sortTag() const;
    bool ascending() const;
    bool isFieldVisible(int tag) const;
    int columnTag(const QString &identifier) const;
    QString columnIdentifier(int tag) const;
    // The shown column's index, -1 when hidden.
    int fieldColumn(int tag) const;
    // One item per column (alphabetical by identifier) for a command.
    QList<TWListMenuItem> fieldMenuItems(TWAction action) const;
    // The width a double click on the column's divider gives it.
    int sizeToFitWidth(int tag) const;

    // ---- Rows ----
    QList<int> selectedRows() const;
    const QList<int> &rememberedRows() const { return m_selectedRows; }
    const QList<int> &contextRows() const { return m_contextRows; }
    void setContextRows(const QList<int> &rows) { m_contextRows = rows; }
    QList<int> rowsActedOn(bool context) const { return context ? m_contextRows : selectedRows(); }
    bool hasSelected(bool context, bool single, bool multiple) const;
    void selectRow(int row);
    void clearSelection();
    // Redraws rows, or single cells, without a reset.
    void refreshRows(const QList<int> &rows);
    void refreshCell(int row, int tag);
    void reload();
    bool hasFirstResponder() const;
    // Whether `menu` (or the menu holding it) is this table's context or header menu.
    bool hasContextMenu(const QMenu *menu) const;
    QMenu *lastContextMenu() const { return m_contextMenu; }

    // ---- TWTableViewDelegate ----
    bool tableViewDelete(TWTableView *) override;
    bool tableViewSpace(TWTableView *) override;
    bool tableViewReturn(TWTableView *) override;
    QMenu *tableViewMenu(TWTableView *, const QPoint &position) override;

signals:
    void settingsChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void sectionMoved();
    void sectionResized(int logical, int newSize);
    void sortIndicatorChanged(int logical, Qt::SortOrder order);
    void selectionChanged();
    void rebuildHeaderMenu();
    const TWWorkColumn *columnWithTag(int tag) const;
    QVariantList fields() const;
    void setFields(const QVariantList &fields);

    TWWorkTableSource *m_source;
    quint32 m_view;
    QList<TWWorkColumn> m_allColumns;
    TWBusiness *m_business = nullptr;
    // The view may go with its window before this object.
    QPointer<TWTableView> m_table;
    TWWorkTableModel *m_model;
    QMenu *m_headerMenu;
    QPointer<QMenu> m_contextMenu;
    QVariantMap m_settings;
    bool m_loaded = false;
    bool m_showsImport = false;
    bool m_headerMenuEnabled = true;
    // The table's own callbacks while the list changes columns or sorting.
    bool m_updatingSortDescriptors = false;
    bool m_updatingColumns = false;
    bool m_selectionIsChanging = false;
    QList<int> m_selectedRows;
    QList<int> m_contextRows;
    // Per shown column, the stored width and whether the user set it.
    QList<int> m_storedWidths;
    QList<bool> m_draggedWidths;
    // The widest amount of each amount column by tag, measured once per load
    // of the rows rather than at every change of the list's width.
    QHash<int, int> m_amountFits;
    // How many rows the list had when they were measured.
    int m_amountRows = -1;
};

// Three-way comparisons of the lists' sort rules.
namespace TWWorkCompare
{
// Plain (case-sensitive, not localised) comparison; a missing text first.
int text(const QString &a, const QString &b, bool aMissing = false, bool bMissing = false);
template <typename T> int value(const T &a, const T &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}
// What `date` compares: the moment in milliseconds, the lowest value when there is none
// (which sorts first). A list sorting by a date reads each record's moment once with it.
qint64 moment(const QDateTime &date);
int date(const QDateTime &a, const QDateTime &b);
} // namespace TWWorkCompare
