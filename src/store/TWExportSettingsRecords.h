#pragma once
// The export settings records of a document: fresh defaults from the
// business's accounts, fields and projects, and stored settings restored
// against the records the business still has.

#include "model/TWExportSettings.h"

class TWBusiness;

// The records a stored setting names, looked up in the business.
TWExportRecordLookups twExportRecordLookups(TWBusiness &business);

// Every account and the business's default export fields.
TWExportTransactionsSettingsPtr twDefaultExportTransactionsSettings(TWBusiness &business);
TWExportTransactionsSettingsPtr twRestoredExportTransactionsSettings(const QVariantMap &settings,
                                                                     TWBusiness &business);
// Every project and the task columns.
TWExportTasksSettingsPtr twDefaultExportTasksSettings(TWBusiness &business);
TWExportTasksSettingsPtr twRestoredExportTasksSettings(const QVariantMap &settings,
                                                       TWBusiness &business);
// Every project and the expense columns.
TWExportExpensesSettingsPtr twDefaultExportExpensesSettings(TWBusiness &business);
TWExportExpensesSettingsPtr twRestoredExportExpensesSettings(const QVariantMap &settings,
                                                             TWBusiness &business);
