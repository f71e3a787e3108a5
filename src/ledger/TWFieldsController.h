#pragma once
// The fields view: every transaction field in the register's column order,
// with the views each shows in; new, edit and delete through the field
// editor; reordering by drag; and, beside the list, the choices of a list
// field, the tags of a tags field or the percent settings of a percent-total
// field. Every change goes straight to the store.

#include "app/TWDetailInterfaces.h"
#include "app/TWLazyViewController.h"
#include "app/TWListViews.h"

#include "model/TWField.h"

#include <QPointer>

class QCheckBox;
class QLineEdit;
class QSplitter;
class QStackedWidget;
class QToolButton;
class TWFieldController;
class TWFieldsTableModel;
class TWFieldItemsModel;

// The drag type of a field row: the dragged row's index as text.
inline constexpr char TWFieldsMimeType[] = "application/x-tallyworth-field";

class TWFieldsController final : public TWLazyViewController<TWFieldsDetail>,
                                 public TWTableViewDelegate
{
    Q_OBJECT
public:
    explicit TWFieldsController(QObject *parent = nullptr);
    ~TWFieldsController() override;

    void update() override;
    void restoreFrame() override;
    bool isRestored() const { return m_restored; }

    // The document's questions and commands.
    bool canAddItem() const override;
    bool canDeleteItem(bool context) const override;
    bool validationQuery(TWQuery query, bool context) const override;
    void newItem() override;
    void deleteItem(bool context) override;
    void newField() override;
    void editSelectedField(bool context) override;
    void deleteField(bool context) override;

    bool canAddField() const { return true; }
    bool canEditField(bool context) const;
    bool canDeleteField(bool context) const;
    void editField(const TWFieldPtr &field);

    // The fields in column order; the row's field.
    const TWFieldList &fields() const { return m_fields; }
    TWFieldPtr selectedField() const;
    void selectField(const TWFieldPtr &field);
    // The views column's text for the field.
    QString viewsSummary(const TWField &field) const;

    // The choices (list field) or tags (tags field) shown beside the list;
    // false while no such field is selected.
    bool hasItems() const { return m_itemsKind != 0; }
    qsizetype itemCount() const;
    QString itemName(qsizetype row) const;
    // Renames a shown choice or tag and stores it; a new one is stored now,
    // with its first name. An empty name is never stored: the new row goes,
    // a stored one keeps its name.
    void renameItem(qsizetype row, const QString &name);
    // Whether a new row waits for its name (nothing of it is stored yet).
    bool hasUnnamedItem() const { return m_unnamedList || m_unnamedTag; }
    void updateFieldItems();
    void sortItems();
    // The items table's sort changed.
    void setItemsAscending(bool ascending)
    {
        m_itemsAscending = ascending;
        sortItems();
    }
    // Whether the percent pane (rather than the items pane) is shown.
    bool showsPercentPane() const;

    // Moves the field at `from` before the one at `to` (the end when `to` is
    // the number of fields), together with its column entry; false when
    // nothing moved.
    bool moveField(int from, int to);

    // The percent pane's edits.
    void percentTextChanged(const QString &text);
    void doPercent(bool on);

    void updateAddDeleteButtonsEnabled();

    // The rows the last context menu acts on.
    const QList<int> &contextRows() const { return m_contextRows; }

    // TWTableViewDelegate
    bool tableViewDelete(TWTableView *table) override;
    bool tableViewSpace(TWTableView *table) override;
    bool tableViewReturn(TWTableView *table) override;
    QMenu *tableViewMenu(TWTableView *table, const QPoint &position) override;

    // The widgets (tests drive them).
    TWTableView *fieldsTableView() const { return m_fieldsTable; }
    TWTableView *itemsTableView() const { return m_itemsTable; }
    QLineEdit *percentTextField() const { return m_percentField; }
    QCheckBox *includedInTotalCheckBox() const { return m_includedCheckBox; }
    QSplitter *splitView() const { return m_splitter; }
    QToolButton *addButton() const { return m_addButton; }
    QToolButton *deleteButton() const { return m_deleteButton; }
    TWFieldController *fieldController() const { return m_fieldController; }

private:
    void build() override;
    QList<int> selectedRows(const TWTableView *table) const;
    QList<int> concernedRows(bool context) const;
    TWFieldPtr concernedField(bool context) const;
    void ensureFieldController();
    void runFieldEditor(const TWFieldPtr &field, TWEditorMode mode, const TWFieldPtr &reselect);
    void markEdited();
    // Takes the unnamed new row away, if there is one.
    void dropUnnamedItem();
    void presentError(const class TWError &error);
    void storeDividerPosition();
    bool eventFilter(QObject *watched, QEvent *event) override;

    TWFieldList m_fields;
    // The selected field's choices (7) or tags (8), shared with the field;
    // m_itemsKind 0 while none are shown.
    int m_itemsKind = 0;
    TWFieldListItemList m_listItems;
    TWFieldTagItemList m_tagItems;
    // The new row being named, not stored until it has a name.
    TWFieldListItemPtr m_unnamedList;
    TWFieldTagItemPtr m_unnamedTag;
    bool m_itemsAscending = true;
    QList<int> m_contextRows;
    bool m_contextOnItems = false;
    bool m_restored = false;
    // The registered account count when the summaries were computed.
    QHash<qint32, qsizetype> m_viewCounts;

    TWTableView *m_fieldsTable = nullptr;
    TWTableView *m_itemsTable = nullptr;
    TWFieldsTableModel *m_fieldsModel = nullptr;
    TWFieldItemsModel *m_itemsModel = nullptr;
    QSplitter *m_splitter = nullptr;
    QStackedWidget *m_detailPane = nullptr;
    QWidget *m_itemsPane = nullptr;
    QWidget *m_percentPane = nullptr;
    QLineEdit *m_percentField = nullptr;
    QCheckBox *m_includedCheckBox = nullptr;
    QToolButton *m_addButton = nullptr;
    QToolButton *m_deleteButton = nullptr;
    QPointer<QMenu> m_menu;
    TWFieldController *m_fieldController = nullptr;
};
