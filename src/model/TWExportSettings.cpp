#include "model/TWExportSettings.h"

#include "foundation/TWClock.h"
#include "foundation/TWDateAdditions.h"
#include "foundation/TWPropertyList.h"
#include "model/TWClient.h"

#include <QVariantList>

namespace
{

const QString kFileType = QStringLiteral("fileType");
const QString kFilterIdentifier = QStringLiteral("filterIdentifier");
const QString kInterval = QStringLiteral("interval");
const QString kIntervalFromDate = QStringLiteral("intervalFromDate");
const QString kIntervalToDate = QStringLiteral("intervalToDate");
const QString kAccounts = QStringLiteral("accounts");
const QString kProjects = QStringLiteral("projects");
const QString kFields = QStringLiteral("fields");
const QString kIncludeAttachments = QStringLiteral("includeAttachments");

// The custom interval of a fresh record: the week up to now. Whole seconds,
// as the settings file keeps them.
QDateTime freshToDate()
{
    const QDateTime now = TWClock::now();
    return now.addMSecs(-now.time().msec());
}

QDateTime freshFromDate()
{
    return freshToDate().addSecs(-604800);
}

// A stored day, at its start in local time, or the fallback for anything else.
QDateTime dateValue(const QVariant &value, const QDateTime &fallback)
{
    if (value.metaType().id() != QMetaType::QDateTime || !value.toDateTime().isValid())
        return fallback;
    return TWDateAdditions::daySetting(value.toDateTime());
}

// The range's ends are days: kept as such, they read the same in every zone.
void insertRange(QVariantMap &settings, const QDateTime &from, const QDateTime &to)
{
    if (from.isValid())
        settings.insert(kIntervalFromDate, TWDateAdditions::settingsDay(from));
    if (to.isValid())
        settings.insert(kIntervalToDate, TWDateAdditions::settingsDay(to));
}

// The stored array under `key` (empty when missing or not an array).
QVariantList listValue(const QVariantMap &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    return value.metaType().id() == QMetaType::QVariantList ? value.toList() : QVariantList();
}

// Only numbers name records: anything else reads the same as no record.
bool isNumber(const QVariant &value)
{
    return TWPropertyList::intValue(value, 0) == TWPropertyList::intValue(value, 1);
}

// Each stored identifier that still names a record, in order.
template <typename Record, typename Lookup>
QList<std::shared_ptr<Record>> recordsValue(const QVariantList &identifiers, Lookup lookup)
{
    QList<std::shared_ptr<Record>> records;
    for (const QVariant &value : identifiers) {
        if (!isNumber(value))
            continue;
        if (std::shared_ptr<Record> record = lookup(TWPropertyList::intValue(value, 0)))
            records.append(record);
    }
    return records;
}

template <typename List> QVariantList identifiersValue(const List &records)
{
    QVariantList identifiers;
    identifiers.reserve(records.size());
    for (const auto &record : records) {
        if (record)
            identifiers.append(record->identifier());
    }
    return identifiers;
}

template <typename List, typename Record> void removeRecord(List &records, const Record &record)
{
    records.removeIf([&record](const auto &listed) {
        return listed == record || (listed && listed->identifier() == record->identifier());
    });
}

} // namespace

// ---- Transactions ----

TWExportTransactionsSettings::TWExportTransactionsSettings(
    std::uint32_t fileType, TWFilterPtr filter, std::uint32_t interval, QDateTime intervalFromDate,
    QDateTime intervalToDate, TWAccountList accounts, TWFieldList fields, bool includeAttachments)
    : m_fileType(fileType), m_filter(std::move(filter)), m_interval(interval),
      m_intervalFromDate(std::move(intervalFromDate)), m_intervalToDate(std::move(intervalToDate)),
      m_accounts(std::move(accounts)), m_fields(std::move(fields)),
      m_includeAttachments(includeAttachments)
{
}

TWExportTransactionsSettingsPtr
TWExportTransactionsSettings::exportTransactionsSettingsWithDefaults(const TWAccountList &accounts,
                                                                     const TWFieldList &fields)
{
    return exportTransactionsSettingsWithFileType(TWExportFileTypeCSV, nullptr, 0, freshFromDate(),
                                                  freshToDate(), accounts, fields, true);
}

TWExportTransactionsSettingsPtr
TWExportTransactionsSettings::exportTransactionsSettingsWithSettings(
    const QVariantMap &settings, const TWExportRecordLookups &lookups)
{
    auto record = std::make_shared<TWExportTransactionsSettings>();
    record->m_fileType = TWPropertyList::unsignedIntValue(settings.value(kFileType), 0);
    if (settings.contains(kFilterIdentifier)) {
        const QVariant identifier = settings.value(kFilterIdentifier);
        if (isNumber(identifier) && TWPropertyList::intValue(identifier, 0) != 0)
            record->m_filter = lookups.filter(TWPropertyList::intValue(identifier, 0));
    }
    record->m_interval = TWPropertyList::unsignedIntValue(settings.value(kInterval), 0);
    record->m_intervalFromDate = dateValue(settings.value(kIntervalFromDate), freshFromDate());
    record->m_intervalToDate = dateValue(settings.value(kIntervalToDate), freshToDate());
    record->m_accounts = recordsValue<TWAccount>(listValue(settings, kAccounts), lookups.account);
    record->m_fields = recordsValue<TWField>(listValue(settings, kFields), lookups.field);
    record->m_includeAttachments =
        TWPropertyList::boolValue(settings.value(kIncludeAttachments), true);
    return record;
}

TWExportTransactionsSettingsPtr
TWExportTransactionsSettings::exportTransactionsSettingsWithFileType(
    std::uint32_t fileType, const TWFilterPtr &filter, std::uint32_t interval,
    const QDateTime &intervalFromDate, const QDateTime &intervalToDate,
    const TWAccountList &accounts, const TWFieldList &fields, bool includeAttachments)
{
    return std::make_shared<TWExportTransactionsSettings>(fileType, filter, interval,
                                                          intervalFromDate, intervalToDate,
                                                          accounts, fields, includeAttachments);
}

QVariantMap TWExportTransactionsSettings::settings() const
{
    QVariantMap settings;
    settings.insert(kFileType, QVariant::fromValue(m_fileType));
    settings.insert(kFilterIdentifier, m_filter ? m_filter->identifier() : 0);
    settings.insert(kInterval, QVariant::fromValue(m_interval));
    insertRange(settings, m_intervalFromDate, m_intervalToDate);
    settings.insert(kAccounts, identifiersValue(m_accounts));
    settings.insert(kFields, identifiersValue(m_fields));
    settings.insert(kIncludeAttachments, m_includeAttachments);
    return settings;
}

void TWExportTransactionsSettings::addAccount(const TWAccountPtr &account, const TWFieldPtr &field)
{
    if (account)
        m_accounts.append(account);
    if (field)
        m_fields.append(field);
}

void TWExportTransactionsSettings::removeAccount(const TWAccountPtr &account,
                                                 const TWFieldPtr &field, const TWFilterPtr &filter)
{
    if (account)
        removeRecord(m_accounts, account);
    if (field)
        removeRecord(m_fields, field);
    if (filter && m_filter && m_filter->identifier() == filter->identifier())
        m_filter.reset();
}

// ---- Tasks and expenses ----

TWExportWorkSettings::TWExportWorkSettings(std::uint32_t fileType, std::uint32_t interval,
                                           QDateTime intervalFromDate, QDateTime intervalToDate,
                                           TWProjectList projects, QList<qint32> fields)
    : m_fileType(fileType), m_interval(interval), m_intervalFromDate(std::move(intervalFromDate)),
      m_intervalToDate(std::move(intervalToDate)), m_projects(std::move(projects)),
      m_fields(std::move(fields))
{
}

void TWExportWorkSettings::initWithDefaults(const TWProjectList &projects,
                                            const QList<qint32> &fields)
{
    m_fileType = TWExportFileTypeCSV;
    m_interval = 0;
    m_intervalFromDate = freshFromDate();
    m_intervalToDate = freshToDate();
    m_projects = projects;
    m_fields = fields;
}

void TWExportWorkSettings::initWithSettings(const QVariantMap &settings,
                                            const TWExportRecordLookups &lookups)
{
    m_fileType = TWPropertyList::unsignedIntValue(settings.value(kFileType), 0);
    m_interval = TWPropertyList::unsignedIntValue(settings.value(kInterval), 0);
    m_intervalFromDate = dateValue(settings.value(kIntervalFromDate), freshFromDate());
    m_intervalToDate = dateValue(settings.value(kIntervalToDate), freshToDate());
    m_projects = recordsValue<TWProject>(listValue(settings, kProjects), lookups.project);
    // The codes are taken as they stand: an unknown one gives an empty column.
    m_fields.clear();
    for (const QVariant &code : listValue(settings, kFields)) {
        if (isNumber(code))
            m_fields.append(TWPropertyList::intValue(code, 0));
    }
}

QVariantMap TWExportWorkSettings::settings() const
{
    QVariantMap settings;
    settings.insert(kFileType, QVariant::fromValue(m_fileType));
    settings.insert(kInterval, QVariant::fromValue(m_interval));
    insertRange(settings, m_intervalFromDate, m_intervalToDate);
    settings.insert(kProjects, identifiersValue(m_projects));
    QVariantList codes;
    for (const qint32 code : m_fields)
        codes.append(code);
    settings.insert(kFields, codes);
    return settings;
}

void TWExportWorkSettings::addProject(const TWProjectPtr &project)
{
    if (project)
        m_projects.append(project);
}

void TWExportWorkSettings::removeClient(const TWClient *client, const TWProjectPtr &project)
{
    if (client) {
        const qint32 clientIdentifier = client->identifier();
        m_projects.removeIf([clientIdentifier](const TWProjectPtr &listed) {
            return listed && listed->clientIdentifier() == clientIdentifier;
        });
    }
    if (project)
        removeRecord(m_projects, project);
}

TWExportTasksSettingsPtr
TWExportTasksSettings::exportTasksSettingsWithDefaults(const TWProjectList &projects,
                                                       const QList<qint32> &fields)
{
    auto record = std::make_shared<TWExportTasksSettings>();
    record->initWithDefaults(projects, fields);
    return record;
}

TWExportTasksSettingsPtr
TWExportTasksSettings::exportTasksSettingsWithSettings(const QVariantMap &settings,
                                                       const TWExportRecordLookups &lookups)
{
    auto record = std::make_shared<TWExportTasksSettings>();
    record->initWithSettings(settings, lookups);
    return record;
}

TWExportTasksSettingsPtr TWExportTasksSettings::exportTasksSettingsWithFileType(
    std::uint32_t fileType, std::uint32_t interval, const QDateTime &intervalFromDate,
    const QDateTime &intervalToDate, const TWProjectList &projects, const QList<qint32> &fields)
{
    return std::make_shared<TWExportTasksSettings>(fileType, interval, intervalFromDate,
                                                   intervalToDate, projects, fields);
}

TWExportExpensesSettingsPtr
TWExportExpensesSettings::exportExpensesSettingsWithDefaults(const TWProjectList &projects,
                                                             const QList<qint32> &fields)
{
    auto record = std::make_shared<TWExportExpensesSettings>();
    record->initWithDefaults(projects, fields);
    return record;
}

TWExportExpensesSettingsPtr
TWExportExpensesSettings::exportExpensesSettingsWithSettings(const QVariantMap &settings,
                                                             const TWExportRecordLookups &lookups)
{
    auto record = std::make_shared<TWExportExpensesSettings>();
    record->initWithSettings(settings, lookups);
    return record;
}

TWExportExpensesSettingsPtr TWExportExpensesSettings::exportExpensesSettingsWithFileType(
    std::uint32_t fileType, std::uint32_t interval, const QDateTime &intervalFromDate,
    const QDateTime &intervalToDate, const TWProjectList &projects, const QList<qint32> &fields)
{
    return std::make_shared<TWExportExpensesSettings>(fileType, interval, intervalFromDate,
                                                      intervalToDate, projects, fields);
}
