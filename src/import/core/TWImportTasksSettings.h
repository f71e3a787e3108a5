#pragma once
// The mapping of one task import: its lines, the default project and the task
// type of rows that give no recognised type.

#include "import/core/TWImportWorkSettings.h"

class TWBusiness;

class TWImportTasksSettings final : public TWImportWorkSettings<TWImportTaskField>
{
public:
    // The sheet passes 0 for both types and sets the default task type later
    // from its pop-up.
    TWImportTasksSettings(const TWProjectPtr &defaultProject = nullptr, quint32 defaultType = 0,
                          quint32 defaultTaskType = 0, const LineList &importFields = {})
        : TWImportWorkSettings(defaultProject, importFields), m_defaultTaskType(defaultTaskType)
    {
        Q_UNUSED(defaultType);
    }
    static std::shared_ptr<TWImportTasksSettings>
    importTasksSettingsWithDefaultProject(const TWProjectPtr &defaultProject, quint32 defaultType,
                                          quint32 defaultTaskType, const LineList &importFields)
    {
        return std::make_shared<TWImportTasksSettings>(defaultProject, defaultType, defaultTaskType,
                                                       importFields);
    }
    // One line per column name, each restored or guessed.
    static std::shared_ptr<TWImportTasksSettings>
    importTasksSettingsWithColumns(const QStringList &columns, const TWProjectPtr &defaultProject,
                                   const TWBusiness &business)
    {
        LineList lines;
        for (const QString &column : columns)
            lines.append(
                TWImportTaskField::importTaskFieldWithSourceName(column, defaultProject, business));
        return importTasksSettingsWithDefaultProject(defaultProject, 0, 0, lines);
    }

    // 0 timed ... 7 year.
    quint32 defaultTaskType() const { return m_defaultTaskType; }
    void setDefaultTaskType(quint32 v) { m_defaultTaskType = v; }

private:
    TWImportWorkField::Kind kind() const override { return TWImportWorkField::Task; }

    quint32 m_defaultTaskType = 0;
};

using TWImportTasksSettingsPtr = std::shared_ptr<TWImportTasksSettings>;
