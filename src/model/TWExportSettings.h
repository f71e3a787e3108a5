#pragma once
// What the last export of transactions, tasks or expenses chose (accounts,
// projects, fields, format), one record of each per document, kept in the
// document's settings file. Until exports exist, each record carries its
// stored dictionary, so nothing read is lost on save; the store keeps the
// selections in it ("accounts", "fields", "filterIdentifier", "projects", as
// identifiers) in step with the records that come and go.

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

class TWBusiness;
class TWAccount;
class TWClient;
class TWField;
class TWFilter;
class TWProject;

// The shared part: the stored dictionary, given back unchanged.
class TWExportSettings
{
public:
    TWExportSettings() = default;
    explicit TWExportSettings(QVariantMap settings) : m_settings(std::move(settings)) {}

    // The record as a property-list dictionary.
    QVariantMap settings() const { return m_settings; }

protected:
    // The selection under `key`: an array of identifiers. Appending creates
    // it when missing; removing drops every occurrence and leaves a missing
    // (or damaged, not an array) selection alone.
    void appendIdentifier(const QString &key, qint32 identifier);
    void removeIdentifier(const QString &key, qint32 identifier);
    // Removes every identifier for which `remove` says yes.
    void removeIdentifiers(const QString &key, const std::function<bool(qint32)> &remove);

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

    // Selects a new account and a new field for export (each when given).
    void addAccount(const TWAccount *account, const TWField *field);
    // Forgets an account and a field (each when given) and, when a filter is
    // given and it is the chosen one, the chosen filter.
    void removeAccount(const TWAccount *account, const TWField *field, const TWFilter *filter);
};

// The task and expense records: the same selection of projects.
class TWExportWorkSettings : public TWExportSettings
{
public:
    using TWExportSettings::TWExportSettings;

    // Selects a new project (when given).
    void addProject(const TWProject *project);
    // When a client is given, forgets every project of that client the
    // business still lists; then, when a project is given, forgets it.
    void removeClient(const TWClient *client, const TWProject *project, const TWBusiness &business);
};

class TWExportTasksSettings : public TWExportWorkSettings
{
public:
    using TWExportWorkSettings::TWExportWorkSettings;
    static std::shared_ptr<TWExportTasksSettings>
    exportTasksSettingsWithBusiness(TWBusiness &business);
    static std::shared_ptr<TWExportTasksSettings>
    exportTasksSettingsWithSettings(const QVariantMap &settings, TWBusiness &business);
};

class TWExportExpensesSettings : public TWExportWorkSettings
{
public:
    using TWExportWorkSettings::TWExportWorkSettings;
    static std::shared_ptr<TWExportExpensesSettings>
    exportExpensesSettingsWithBusiness(TWBusiness &business);
    static std::shared_ptr<TWExportExpensesSettings>
    exportExpensesSettingsWithSettings(const QVariantMap &settings, TWBusiness &business);
};

using TWExportTransactionsSettingsPtr = std::shared_ptr<TWExportTransactionsSettings>;
using TWExportTasksSettingsPtr = std::shared_ptr<TWExportTasksSettings>;
using TWExportExpensesSettingsPtr = std::shared_ptr<TWExportExpensesSettings>;
