#pragma once
// Lays the tasks or expenses of an export out as a table of cells: a header
// row with the chosen column titles, one row per task or expense, and for a
// timed task one further row per time item that starts inside the export's
// interval. Columns are field codes (tasks -1 to -15, expenses -1 to -10); an
// unknown code gives a column without title or values.

#include "model/TWCell.h"
#include "model/TWExpense.h"
#include "model/TWExportSettings.h"
#include "model/TWTask.h"

class TWBusiness;

class TWExportTasks
{
public:
    TWExportTasks(TWTaskList tasks, bool displayGroupingSeparator,
                  TWExportTasksSettingsPtr exportSettings, TWBusiness *business);
    static std::unique_ptr<TWExportTasks>
    exportTasksWithTasks(const TWTaskList &tasks, bool displayGroupingSeparator,
                         const TWExportTasksSettingsPtr &exportSettings, TWBusiness *business);

    // The table; rows continue from the last call (one object, one table).
    TWCellList cells();

    const TWTaskList &tasks() const { return m_tasks; }
    void setTasks(const TWTaskList &v) { m_tasks = v; }
    const TWExportTasksSettingsPtr &exportSettings() const { return m_exportSettings; }
    void setExportSettings(const TWExportTasksSettingsPtr &v) { m_exportSettings = v; }
    TWBusiness *business() const { return m_business; }
    void setBusiness(TWBusiness *v) { m_business = v; }

private:
    TWTaskList m_tasks;
    bool m_displayGroupingSeparator = false;
    TWExportTasksSettingsPtr m_exportSettings;
    TWBusiness *m_business = nullptr;
    quint32 m_row = 0;
    quint32 m_column = 0;
};

class TWExportExpenses
{
public:
    TWExportExpenses(TWExpenseList expenses, bool displayGroupingSeparator,
                     TWExportExpensesSettingsPtr exportSettings, TWBusiness *business);
    static std::unique_ptr<TWExportExpenses>
    exportExpensesWithExpenses(const TWExpenseList &expenses, bool displayGroupingSeparator,
                               const TWExportExpensesSettingsPtr &exportSettings,
                               TWBusiness *business);

    TWCellList cells();

    const TWExpenseList &expenses() const { return m_expenses; }
    void setExpenses(const TWExpenseList &v) { m_expenses = v; }
    const TWExportExpensesSettingsPtr &exportSettings() const { return m_exportSettings; }
    void setExportSettings(const TWExportExpensesSettingsPtr &v) { m_exportSettings = v; }
    TWBusiness *business() const { return m_business; }
    void setBusiness(TWBusiness *v) { m_business = v; }

private:
    TWExpenseList m_expenses;
    bool m_displayGroupingSeparator = false;
    TWExportExpensesSettingsPtr m_exportSettings;
    TWBusiness *m_business = nullptr;
    quint32 m_row = 0;
    quint32 m_column = 0;
};
