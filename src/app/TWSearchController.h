#pragma once
// The advanced find sheet: edits a copy of the store's search filter
// criteria and, on Find, stores them as the search filter, which the source
// list's search results then show. It runs no search itself.

#include "app/TWLazyViewController.h"

#include "model/TWFilter.h"

#include <QObject>
#include <QPointer>

class QPushButton;
class QWidget;
class TWBusiness;
class TWBusinessController;
class TWFilterEditor;

class TWSearchController final : public TWLazyViewController<QObject>
{
    Q_OBJECT
public:
    explicit TWSearchController(QObject *parent = nullptr);
    ~TWSearchController() override;

    TWBusinessController *businessController() const { return m_document; }
    void setBusinessController(TWBusinessController *document) { m_document = document; }
    TWBusiness *business() const { return m_business; }
    void setBusiness(TWBusiness *business) { m_business = business; }

    // Fills the editor from the stored search filter (a copy), or with the
    // default rule when there is none.
    void update();
    // Fits the editor, and its window with the top edge kept, to the rows.
    void updateWindowFrame();
    void doFilterEditor() { updateWindowFrame(); }
    // Tag 1 finds, any other cancels.
    void doCancelFind(int tag);

    TWFilterEditor *filterEditor() const { return m_editor; }
    QPushButton *findButton() const { return m_find; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    void build() override;

    TWBusinessController *m_document = nullptr;
    TWBusiness *m_business = nullptr;
    TWFilterEditor *m_editor = nullptr;
    QPushButton *m_find = nullptr;
    QPushButton *m_cancel = nullptr;
};
