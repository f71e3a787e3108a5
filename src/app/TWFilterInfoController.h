#pragma once
// Edits a saved filter's name and criteria: as a sheet for a new filter
// (mode New) or inside the information popover for a copy of a listed one
// (mode Existing). The criteria editor works on a copy of the tree, so a cancelled
// edit leaves the filter as it was. The window follows the number of rows.

#include "app/TWRecordEditors.h"

#include "model/TWFilter.h"

class QLineEdit;
class QPushButton;
class TWFilterEditor;

class TWFilterInfoController final : public TWInfoEditor
{
    Q_OBJECT
public:
    explicit TWFilterInfoController(QObject *parent = nullptr);
    ~TWFilterInfoController() override;

    TWItemPtr item() const override { return m_filter; }
    void setItem(const TWItemPtr &item) override
    {
        m_filter = std::dynamic_pointer_cast<TWFilter>(item);
    }
    const TWFilterPtr &filter() const { return m_filter; }
    void setFilter(const TWFilterPtr &filter) { m_filter = filter; }

    void reset() override;
    void update() override;
    // Tag 1 saves, any other cancels.
    void doSave(int tag);
    // The editor added or removed rows.
    void doFilterEditor();
    // Fits the editor (and its window, top edge kept) to the rows.
    void updateWindowFrame();

    QLineEdit *nameTextField() const { return m_name; }
    TWFilterEditor *filterEditor() const { return m_editor; }

private:
    void build() override;

    TWFilterPtr m_filter;
    QLineEdit *m_name = nullptr;
    TWFilterEditor *m_editor = nullptr;
};
