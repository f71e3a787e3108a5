#pragma once
// Turns the rows of a parsed expense file into new, unsaved expenses, each in
// the project its client and project names give (else the default project);
// names not found are gathered into a warnings text. Nothing is added to the
// store.

#include "import/core/TWImportExpensesSettings.h"
#include "import/core/TWImportProjects.h"
#include "model/TWExpense.h"

#include <QList>
#include <QStringList>

class TWBusiness;

class TWImportExpenses
{
public:
    TWImportExpenses(const QList<QStringList> &rows,
                     const TWImportExpensesSettingsPtr &importSettings, TWBusiness &business);
    static std::shared_ptr<TWImportExpenses>
    importExpensesWithRows(const QList<QStringList> &rows,
                           const TWImportExpensesSettingsPtr &importSettings, TWBusiness &business);

    // As for tasks, except that rows with an empty client or project text are
    // looked up too (an empty name matches the first record).
    void missingClients(QStringList *clients, TWImportMissingProjects *projects);

    bool processExpenses(QString *warnings = nullptr);

    const QList<QStringList> &rows() const { return m_rows; }
    void setRows(const QList<QStringList> &v) { m_rows = v; }
    const TWImportExpensesSettingsPtr &importSettings() const { return m_importSettings; }
    void setImportSettings(const TWImportExpensesSettingsPtr &v) { m_importSettings = v; }
    TWBusiness &business() const { return *m_business; }
    void setBusiness(TWBusiness &v) { m_business = &v; }
    const TWExpenseList &expenses() const { return m_expenses; }
    void setExpenses(const TWExpenseList &v) { m_expenses = v; }

private:
    QList<QStringList> m_rows;
    TWImportExpensesSettingsPtr m_importSettings;
    TWBusiness *m_business;
    TWExpenseList m_expenses;
};
