#include "store/TWExportSettingsRecords.h"

#include "store/TWBusiness.h"

TWExportRecordLookups twExportRecordLookups(TWBusiness &business)
{
    TWExportRecordLookups lookups;
    lookups.filter = [&business](qint32 identifier) {
        return business.filterWithIdentifier(identifier);
    };
    lookups.account = [&business](qint32 identifier) {
        return business.accountWithIdentifier(identifier);
    };
    lookups.field = [&business](qint32 identifier) {
        return business.fieldWithIdentifier(identifier);
    };
    lookups.project = [&business](qint32 identifier) {
        return business.projectWithIdentifier(identifier);
    };
    return lookups;
}

TWExportTransactionsSettingsPtr twDefaultExportTransactionsSettings(TWBusiness &business)
{
    return TWExportTransactionsSettings::exportTransactionsSettingsWithDefaults(
        business.accounts(), business.defaultExportFields());
}

TWExportTransactionsSettingsPtr twRestoredExportTransactionsSettings(const QVariantMap &settings,
                                                                     TWBusiness &business)
{
    return TWExportTransactionsSettings::exportTransactionsSettingsWithSettings(
        settings, twExportRecordLookups(business));
}

TWExportTasksSettingsPtr twDefaultExportTasksSettings(TWBusiness &business)
{
    return TWExportTasksSettings::exportTasksSettingsWithDefaults(business.projects(),
                                                                  TWBusiness::exportTaskFields());
}

TWExportTasksSettingsPtr twRestoredExportTasksSettings(const QVariantMap &settings,
                                                       TWBusiness &business)
{
    return TWExportTasksSettings::exportTasksSettingsWithSettings(settings,
                                                                  twExportRecordLookups(business));
}

TWExportExpensesSettingsPtr twDefaultExportExpensesSettings(TWBusiness &business)
{
    return TWExportExpensesSettings::exportExpensesSettingsWithDefaults(
        business.projects(), TWBusiness::exportExpenseFields());
}

TWExportExpensesSettingsPtr twRestoredExportExpensesSettings(const QVariantMap &settings,
                                                             TWBusiness &business)
{
    return TWExportExpensesSettings::exportExpensesSettingsWithSettings(
        settings, twExportRecordLookups(business));
}
