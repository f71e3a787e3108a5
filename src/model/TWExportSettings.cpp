#include "TWExportSettings.h"

TWExportTransactionsSettingsPtr
TWExportTransactionsSettings::exportTransactionsSettingsWithBusiness(TWBusiness &)
{
    return std::make_shared<TWExportTransactionsSettings>();
}

TWExportTransactionsSettingsPtr
TWExportTransactionsSettings::exportTransactionsSettingsWithSettings(const QVariantMap &settings,
                                                                     TWBusiness &)
{
    return std::make_shared<TWExportTransactionsSettings>(settings);
}

TWExportTasksSettingsPtr TWExportTasksSettings::exportTasksSettingsWithBusiness(TWBusiness &)
{
    return std::make_shared<TWExportTasksSettings>();
}

TWExportTasksSettingsPtr
TWExportTasksSettings::exportTasksSettingsWithSettings(const QVariantMap &settings, TWBusiness &)
{
    return std::make_shared<TWExportTasksSettings>(settings);
}

TWExportExpensesSettingsPtr
TWExportExpensesSettings::exportExpensesSettingsWithBusiness(TWBusiness &)
{
    return std::make_shared<TWExportExpensesSettings>();
}

TWExportExpensesSettingsPtr
TWExportExpensesSettings::exportExpensesSettingsWithSettings(const QVariantMap &settings,
                                                             TWBusiness &)
{
    return std::make_shared<TWExportExpensesSettings>(settings);
}
