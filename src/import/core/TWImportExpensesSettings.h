#pragma once
// The mapping of one expense import: its lines and the default project.

#include "import/core/TWImportWorkSettings.h"

class TWBusiness;

class TWImportExpensesSettings final : public TWImportWorkSettings<TWImportExpenseField>
{
public:
    TWImportExpensesSettings(const TWProjectPtr &defaultProject = nullptr,
                             const LineList &importFields = {})
        : TWImportWorkSettings(defaultProject, importFields)
    {
    }
    static std::shared_ptr<TWImportExpensesSettings>
    importExpensesSettingsWithDefaultProject(const TWProjectPtr &defaultProject,
                                             const LineList &importFields)
    {
        return std::make_shared<TWImportExpensesSettings>(defaultProject, importFields);
    }
    static std::shared_ptr<TWImportExpensesSettings> importExpensesSettingsWithColumns(
        const QStringList &columns, const TWProjectPtr &defaultProject, const TWBusiness &business)
    {
        LineList lines;
        for (const QString &column : columns)
            lines.append(TWImportExpenseField::importExpenseFieldWithSourceName(
                column, defaultProject, business));
        return importExpensesSettingsWithDefaultProject(defaultProject, lines);
    }

private:
    TWImportWorkField::Kind kind() const override { return TWImportWorkField::Expense; }
};

using TWImportExpensesSettingsPtr = std::shared_ptr<TWImportExpensesSettings>;
