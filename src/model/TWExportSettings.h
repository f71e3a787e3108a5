#pragma once
// What the last export of transactions, tasks or expenses chose (accounts,
// projects, fields, format), one record of each per document, kept in the
// document's settings file. Until exports exist, each record only carries its
// stored dictionary, so nothing read is lost on save.

#include <QVariantMap>

#include <memory>

class TWBusiness;

// The shared part: the stored dictionary, given back unchanged.
class TWExportSettings
{
public:
    TWExportSettings() = default;
    explicit TWExportSettings(QVariantMap settings) : m_settings(std::move(settings)) {}

    // The record as a property-list dictionary.
    QVariantMap settings() const { return m_settings; }

private:
    QVariantMap m_settings;
};

class TWExportTransactionsSettings : public TWExportSettings
{
public:
    using TWExportSettings::TWExportSettings;
    // A record with the default settings for the business.
    static std::shared_ptr<TWExportTransactionsSettings>
    exportTransactionsSettingsWithBusiness(TWBusiness &business);
    // A record rebuilt from the dictionary `settings` gave.
    static std::shared_ptr<TWExportTransactionsSettings>
    exportTransactionsSettingsWithSettings(const QVariantMap &settings, TWBusiness &business);
};

class TWExportTasksSettings : public TWExportSettings
{
public:
    using TWExportSettings::TWExportSettings;
    static std::shared_ptr<TWExportTasksSettings>
    exportTasksSettingsWithBusiness(TWBusiness &business);
    static std::shared_ptr<TWExportTasksSettings>
    exportTasksSettingsWithSettings(const QVariantMap &settings, TWBusiness &business);
};

class TWExportExpensesSettings : public TWExportSettings
{
public:
    using TWExportSettings::TWExportSettings;
    static std::shared_ptr<TWExportExpensesSettings>
    exportExpensesSettingsWithBusiness(TWBusiness &business);
    static std::shared_ptr<TWExportExpensesSettings>
    exportExpensesSettingsWithSettings(const QVariantMap &settings, TWBusiness &business);
};

using TWExportTransactionsSettingsPtr = std::shared_ptr<TWExportTransactionsSettings>;
using TWExportTasksSettingsPtr = std::shared_ptr<TWExportTasksSettings>;
using TWExportExpensesSettingsPtr = std::shared_ptr<TWExportExpensesSettings>;
