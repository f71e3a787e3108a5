#pragma once
// The units view: every unit of the document in three sections (mileage,
// currency, custom), narrowed by the search field and sorted by a column, with
// favourite boxes, the unit sheet for new and changed units, deletion of
// custom units nothing uses, and the exchange-rate download.

#include "app/TWDetailInterfaces.h"
#include "app/TWLazyViewController.h"
#include "app/TWListViews.h"

#include "model/TWUnit.h"

#include <QPointer>
#include <QSet>

class QMenu;
class TWUnitController;
class TWUnitsModel;

class TWUnitsController final : public TWLazyViewController<TWUnitsDetail>,
                                public TWTableViewDelegate
{
    Q_OBJECT
public:
    explicit TWUnitsController(QObject *parent = nullptr);
    ~TWUnitsController() override;

    // Clears the search, sorts by name ascending and lists the units again.
    void update() override;
    // The units changed in place (rates downloaded): redraws the rows.
    void unitsUpdated();
    void search(const QString &text) override;
    void filterAndSort(const QString &text);
    const QString &searchString() const { return m_searchString; }

    bool canAddItem() const override { return true; }
    bool canEditUnit(bool context) const;
    bool canDeleteUnit(bool context) const override;
    bool canDeleteItem(bool context) const override { return canDeleteUnit(context); }
    bool validationQuery(TWQuery query, bool context) const override;

    void newUnit() override;
    void editSelectedUnit(bool context) override;
    void editUnit(const TWUnitPtr &unit);
    void deleteUnit(bool context) override;
    // Downloads the rates under the progress sheet.
    void refresh() override;

    TWUnitPtr selectedUnit() const;
    void selectUnit(const TWUnitPtr &unit);
    // Sorts by a column (the header's click).
    void setSort(int column, Qt::SortOrder order);

    TWTableView *tableView() const { return m_table; }
    TWUnitsModel *model() const { return m_model; }
    TWUnitController *unitController() const { return m_unitController; }
    // The context menu's rows.
    const QList<int> &contextRows() const { return m_contextRows; }

    // The context menu for a point of the table's viewport.
    QMenu *tableViewMenu(TWTableView *table, const QPoint &position) override;
    bool tableViewDelete(TWTableView *table) override;
    bool tableViewSpace(TWTableView *table) override;
    bool tableViewReturn(TWTableView *table) override;

private:
    void build() override;
    QList<int> selectedRows() const;
    QList<int> rowsFor(bool context) const;
    void showUnitSheet(const TWUnitPtr &unit, TWEditorMode mode);
    bool setFavourite(const TWUnitPtr &unit, bool favourite);
    void applySpans();
    void showAlert(const QString &message, const QString &informative = {});

    TWTableView *m_table = nullptr;
    TWUnitsModel *m_model = nullptr;
    TWUnitController *m_unitController = nullptr;
    QString m_searchString;
    int m_sortColumn = 1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QList<int> m_contextRows;
};
