#pragma once
// What the last export of transactions, tasks or expenses chose (format,
// interval, accounts or projects, columns), one record of each per document.
// The store makes them when a document is created or opened, writes their
// `settings` dictionaries into the document's settings file, and keeps their
// lists in step with the accounts, fields, filters and projects that come and
// go. An export sheet edits a `copy` and hands it back on confirmation.

#include "model/TWAccount.h"
#include "model/TWField.h"
#include "model/TWFilter.h"
#include "model/TWProject.h"

#include <QDateTime>
#include <QList>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <memory>

class TWClient;

// How a stored record's identifiers are turned back into the document's
// records; a lookup gives null for a record the document no longer has.
struct TWExportRecordLookups {
    std::function<TWFilterPtr(qint32)> filter;
    std::function<TWAccountPtr(qint32)> account;
    std::function<TWFieldPtr(qint32)> field;
    std::function<TWProjectPtr(qint32)> project;
};

// The output formats of an export.
enum TWExportFileType : std::uint32_t {
    TWExportFileTypeCSV = 0,
    TWExportFileTypeHTML = 1,
    TWExportFileTypePDF = 2,
    TWExportFileTypeQIF = 3,
    TWExportFileTypeOFX = 4,
};

class TWExportTransactionsSettings;
using TWExportTransactionsSettingsPtr = std::shared_ptr<TWExportTransactionsSettings>;

class TWExportTransactionsSettings
{
public:
    TWExportTransactionsSettings() = default;
    // Every field as given; the lists are taken as they are.
    TWExportTransactionsSettings(std::uint32_t fileType, TWFilterPtr filter, std::uint32_t interval,
                                 QDateTime intervalFromDate, QDateTime intervalToDate,
                                 TWAccountList accounts, TWFieldList fields,
                                 bool includeAttachments);

    // Fresh defaults: CSV, all dates, the custom interval the last seven
    // days, the given accounts and fields, attachments included, no filter.
    static TWExportTransactionsSettingsPtr
    exportTransactionsSettingsWithDefaults(const TWAccountList &accounts,
                                           const TWFieldList &fields);
    // Restored from a stored dictionary; records the lookups no longer find
    // are dropped.
    static TWExportTransactionsSettingsPtr
    exportTransactionsSettingsWithSettings(const QVariantMap &settings,
                                           const TWExportRecordLookups &lookups);
    static TWExportTransactionsSettingsPtr exportTransactionsSettingsWithFileType(
        std::uint32_t fileType, const TWFilterPtr &filter, std::uint32_t interval,
        const QDateTime &intervalFromDate, const QDateTime &intervalToDate,
        const TWAccountList &accounts, const TWFieldList &fields, bool includeAttachments);

    // The record as a property-list dictionary, built afresh.
    QVariantMap settings() const;
    // New lists holding the same accounts, fields and filter.
    TWExportTransactionsSettingsPtr copy() const
    {
        return std::make_shared<TWExportTransactionsSettings>(*this);
    }

    // Selects a new account and a new field for export (each when given).
    void addAccount(const TWAccountPtr &account, const TWFieldPtr &field);
    // Forgets an account and a field (each when given) and, when a filter is
    // given and it is the chosen one, the chosen filter.
    void removeAccount(const TWAccountPtr &account, const TWFieldPtr &field,
                       const TWFilterPtr &filter);

    std::uint32_t fileType() const { return m_fileType; }
    void setFileType(std::uint32_t v) { m_fileType = v; }
    const TWFilterPtr &filter() const { return m_filter; }
    void setFilter(const TWFilterPtr &v) { m_filter = v; }
    // An interval preset 0-6 (TWUtilities::intervalFromDate); 6 takes the
    // two dates.
    std::uint32_t interval() const { return m_interval; }
    void setInterval(std::uint32_t v) { m_interval = v; }
    const QDateTime &intervalFromDate() const { return m_intervalFromDate; }
    void setIntervalFromDate(const QDateTime &v) { m_intervalFromDate = v; }
    const QDateTime &intervalToDate() const { return m_intervalToDate; }
    void setIntervalToDate(const QDateTime &v) { m_intervalToDate = v; }
    const TWAccountList &accounts() const { return m_accounts; }
    void setAccounts(const TWAccountList &v) { m_accounts = v; }
    // The columns, in output order.
    const TWFieldList &fields() const { return m_fields; }
    void setFields(const TWFieldList &v) { m_fields = v; }
    // Copy the attachment files beside a CSV, HTML or PDF export.
    bool includeAttachments() const { return m_includeAttachments; }
    void setIncludeAttachments(bool v) { m_includeAttachments = v; }

private:
    std::uint32_t m_fileType = TWExportFileTypeCSV;
    TWFilterPtr m_filter;
    std::uint32_t m_interval = 0;
    QDateTime m_intervalFromDate;
    QDateTime m_intervalToDate;
    TWAccountList m_accounts;
    TWFieldList m_fields;
    bool m_includeAttachments = true;
};

// The task and expense records: the same fields, with the columns as field
// codes (tasks -1 to -15, expenses -1 to -10).
class TWExportWorkSettings
{
public:
    TWExportWorkSettings() = default;
    TWExportWorkSettings(std::uint32_t fileType, std::uint32_t interval, QDateTime intervalFromDate,
                         QDateTime intervalToDate, TWProjectList projects, QList<qint32> fields);

    QVariantMap settings() const;

    // Selects a new project (when given).
    void addProject(const TWProjectPtr &project);
    // When a client is given, forgets every project of that client; then,
    // when a project is given, forgets it.
    void removeClient(const TWClient *client, const TWProjectPtr &project);

    std::uint32_t fileType() const { return m_fileType; }
    void setFileType(std::uint32_t v) { m_fileType = v; }
    std::uint32_t interval() const { return m_interval; }
    void setInterval(std::uint32_t v) { m_interval = v; }
    const QDateTime &intervalFromDate() const { return m_intervalFromDate; }
    void setIntervalFromDate(const QDateTime &v) { m_intervalFromDate = v; }
    const QDateTime &intervalToDate() const { return m_intervalToDate; }
    void setIntervalToDate(const QDateTime &v) { m_intervalToDate = v; }
    const TWProjectList &projects() const { return m_projects; }
    void setProjects(const TWProjectList &v) { m_projects = v; }
    const QList<qint32> &fields() const { return m_fields; }
    void setFields(const QList<qint32> &v) { m_fields = v; }

protected:
    // The fresh defaults with the given projects and columns, and the stored values.
    void initWithDefaults(const TWProjectList &projects, const QList<qint32> &fields);
    void initWithSettings(const QVariantMap &settings, const TWExportRecordLookups &lookups);

private:
    std::uint32_t m_fileType = TWExportFileTypeCSV;
    std::uint32_t m_interval = 0;
    QDateTime m_intervalFromDate;
    QDateTime m_intervalToDate;
    TWProjectList m_projects;
    QList<qint32> m_fields;
};

class TWExportTasksSettings;
using TWExportTasksSettingsPtr = std::shared_ptr<TWExportTasksSettings>;

class TWExportTasksSettings : public TWExportWorkSettings
{
public:
    using TWExportWorkSettings::TWExportWorkSettings;
    static TWExportTasksSettingsPtr exportTasksSettingsWithDefaults(const TWProjectList &projects,
                                                                    const QList<qint32> &fields);
    static TWExportTasksSettingsPtr
    exportTasksSettingsWithSettings(const QVariantMap &settings,
                                    const TWExportRecordLookups &lookups);
    static TWExportTasksSettingsPtr
    exportTasksSettingsWithFileType(std::uint32_t fileType, std::uint32_t interval,
                                    const QDateTime &intervalFromDate,
                                    const QDateTime &intervalToDate, const TWProjectList &projects,
                                    const QList<qint32> &fields);
    TWExportTasksSettingsPtr copy() const { return std::make_shared<TWExportTasksSettings>(*this); }
};

class TWExportExpensesSettings;
using TWExportExpensesSettingsPtr = std::shared_ptr<TWExportExpensesSettings>;

class TWExportExpensesSettings : public TWExportWorkSettings
{
public:
    using TWExportWorkSettings::TWExportWorkSettings;
    static TWExportExpensesSettingsPtr
    exportExpensesSettingsWithDefaults(const TWProjectList &projects, const QList<qint32> &fields);
    static TWExportExpensesSettingsPtr
    exportExpensesSettingsWithSettings(const QVariantMap &settings,
                                       const TWExportRecordLookups &lookups);
    static TWExportExpensesSettingsPtr
    exportExpensesSettingsWithFileType(std::uint32_t fileType, std::uint32_t interval,
                                       const QDateTime &intervalFromDate,
                                       const QDateTime &intervalToDate,
                                       const TWProjectList &projects, const QList<qint32> &fields);
    TWExportExpensesSettingsPtr copy() const
    {
        return std::make_shared<TWExportExpensesSettings>(*this);
    }
};
