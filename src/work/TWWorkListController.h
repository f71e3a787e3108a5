#pragma once
// The base of the tasks and expenses views: which projects they list and in
// which mode (the clients view, an import's file records to tick, or the
// stored records beside an import), the document they report errors and
// changes to, their button strip's controls, the rules every such list
// follows (add only beside one project, never copy or delete a file record),
// and the preferences observer that redraws them.

#include "app/TWLazyViewController.h"
#include "foundation/TWError.h"
#include "foundation/TWNotificationCenter.h"
#include "model/TWProject.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QToolButton;
class TWBusiness;
class TWBusinessController;

class TWWorkListController : public TWLazyViewController<QObject>
{
public:
    enum Mode { ModeProjects = 0, ModeImportSelection = 1, ModeAllRecords = 2 };

    explicit TWWorkListController(QObject *parent = nullptr);
    ~TWWorkListController() override;

    void setBusinessController(TWBusinessController *document);
    TWBusiness *business() const { return m_business; }
    int mode() const { return m_mode; }
    void setMode(int mode) { m_mode = mode; }
    // The projects whose records are listed; none (nullopt) lists every
    // record in mode 2.
    const std::optional<TWProjectList> &projects() const { return m_projects; }
    void setProjects(const std::optional<TWProjectList> &projects) { m_projects = projects; }

    QLabel *countLabel() const { return m_countLabel; }
    QLabel *totalLabel() const { return m_totalLabel; }
    QToolButton *addButton() const { return m_addButton; }
    QPushButton *deleteButton() const { return m_deleteButton; }

protected:
    // A new record goes into the one project shown, in the clients view only.
    bool canAddRecord() const;
    // The file's records are not stored: nothing to copy them beside or delete.
    bool canChangeStoredRecords() const { return m_mode != ModeImportSelection; }
    int shownProjectCount() const { return m_projects ? int(m_projects->size()) : 0; }
    void presentError(const TWError &error) const;
    void changed() const;
    // Runs `redraw` whenever the preferences change (colours, formats).
    void observePreferences(std::function<void()> redraw);

    QPointer<TWBusinessController> m_document;
    TWBusiness *m_business = nullptr;
    int m_mode = ModeProjects;
    std::optional<TWProjectList> m_projects;

    QLabel *m_countLabel = nullptr;
    QLabel *m_totalLabel = nullptr;
    QToolButton *m_addButton = nullptr;
    QPushButton *m_deleteButton = nullptr;

private:
    TWNotificationCenter::Token m_preferencesObserver = 0;
};
