#pragma once
// Turns the rows of a parsed task file into new, unsaved tasks, a timed task
// followed by its time items (the rows after it whose type column says "task
// item", or, without a type word, that carry no value of a task of their own).
// Each row's project comes from the client and project names it gives, else
// the default project; names not found, type words not recognised, values not
// read and rows that give nothing are gathered into a warnings text. Nothing
// is added to the store.

#include "import/core/TWImportProjects.h"
#include "import/core/TWImportTasksSettings.h"
#include "model/TWTask.h"

#include <QList>
#include <QStringList>

class TWBusiness;

class TWImportTasks
{
public:
    TWImportTasks(const QList<QStringList> &rows, const TWImportTasksSettingsPtr &importSettings,
                  TWBusiness &business);
    static std::shared_ptr<TWImportTasks>
    importTasksWithRows(const QList<QStringList> &rows,
                        const TWImportTasksSettingsPtr &importSettings, TWBusiness &business);

    // The clients the file names and the business lacks, and the projects it
    // lacks with the client name first given with each; both in order of
    // first appearance, empty when nothing is missing. Rows with an empty
    // client or project give nothing.
    void missingClients(QStringList *clients, TWImportMissingProjects *projects);

    // Makes `tasks`. True when every client, project, type and value was
    // found and read and every row that holds values gave something;
    // otherwise false with the warnings text in `warnings` (when given; a
    // null string when there is none).
    bool processTasks(QString *warnings = nullptr);

    const QList<QStringList> &rows() const { return m_rows; }
    void setRows(const QList<QStringList> &v) { m_rows = v; }
    const TWImportTasksSettingsPtr &importSettings() const { return m_importSettings; }
    void setImportSettings(const TWImportTasksSettingsPtr &v) { m_importSettings = v; }
    TWBusiness &business() const { return *m_business; }
    void setBusiness(TWBusiness &v) { m_business = &v; }
    const TWTaskList &tasks() const { return m_tasks; }
    void setTasks(const TWTaskList &v) { m_tasks = v; }

    // The task type a type column's word names: "timed", "flat", "hour",
    // "day", "week", "quarter" or "year" in any case; none for anything else.
    static std::optional<quint32> taskTypeForWord(const QString &word);

private:
    QList<QStringList> m_rows;
    TWImportTasksSettingsPtr m_importSettings;
    TWBusiness *m_business;
    TWTaskList m_tasks;
};
