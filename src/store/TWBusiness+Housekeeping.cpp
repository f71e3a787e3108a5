// Settings that name records of the document: the send-invoice record of each
// client, and the import and export settings, kept valid as accounts, fields,
// filters, clients and projects come and go. Each change made inside a write
// is undone when that write fails.

#include "store/TWBusiness.h"
#include "store/TWSendInvoiceValues.h"

#include "foundation/TWPropertyList.h"

#include <QStringList>

namespace
{

const QString kType = QStringLiteral("type");
const QString kField = QStringLiteral("field");
const QString kAccount = QStringLiteral("account");
const QString kMileage = QStringLiteral("mileage");

// The kinds of transaction import entries that name a record.
constexpr quint32 kImportEntryField = 1;
constexpr quint32 kImportEntryAccount = 2;

// Whether a stored value is the number `identifier`.
bool isNumber(const QVariant &value, qint32 identifier)
{
    // A number reads the same whatever the fallback; anything else does not.
    return TWPropertyList::intValue(value, 0) == identifier &&
           TWPropertyList::intValue(value, 1) == identifier;
}

} // namespace

// ---- Send-invoice records ----

TWSendInvoiceDataPtr TWBusiness::sendInvoiceData(const TWClient &client)
{
    TWSendInvoiceDataPtr &record = m_sendInvoiceData[client.identifier()];
    if (!record) {
        record = twDefaultSendInvoiceData(*this);
        const qint32 identifier = client.identifier();
        settingsChangeUndo([this, identifier] { m_sendInvoiceData.remove(identifier); });
    }
    return record;
}

void TWBusiness::sendInvoiceDataDeleteClient(const TWClient &client)
{
    const qint32 identifier = client.identifier();
    const auto listed = m_sendInvoiceData.constFind(identifier);
    if (listed == m_sendInvoiceData.cend())
        return;
    const TWSendInvoiceDataPtr record = *listed;
    m_sendInvoiceData.erase(listed);
    settingsChangeUndo(
        [this, identifier, record] { m_sendInvoiceData.insert(identifier, record); });
}

// ---- Import settings ----

void TWBusiness::importSettingsRemoveAccount(const TWAccountPtr &account, const TWFieldPtr &field)
{
    if (!account && !field)
        return;
    const QVariantMap before = m_importTransactionsSettings;
    // Whether a line names what is deleted; a line without a readable type
    // names nothing.
    const auto names = [&account, &field](const QVariantMap &line) {
        const QVariant type = line.value(kType);
        if (TWPropertyList::unsignedIntValue(type, 0) != TWPropertyList::unsignedIntValue(type, 1))
            return false;
        const quint32 kind = TWPropertyList::unsignedIntValue(type, 0);
        return (kind == kImportEntryAccount && account &&
                isNumber(line.value(kAccount), account->identifier())) ||
               (kind == kImportEntryField && field &&
                isNumber(line.value(kField), field->identifier()));
    };
    bool changed = false;
    const QStringList keys = before.keys();
    for (const QString &key : keys) {
        const QVariant value = before.value(key);
        if (value.metaType().id() != QMetaType::QVariantMap)
            continue;
        QVariantMap entry = value.toMap();
        // A mileage log's line of the column is kept within the bank file's.
        const QVariant mileage = entry.value(kMileage);
        const bool mileageNames =
            mileage.metaType().id() == QMetaType::QVariantMap && names(mileage.toMap());
        if (!names(entry) && !mileageNames)
            continue;
        changed = true;
        if (mileageNames) {
            entry.remove(kMileage);
            if (entry.isEmpty()) {
                m_importTransactionsSettings.remove(key);
                continue;
            }
            if (!names(entry)) {
                m_importTransactionsSettings.insert(key, entry);
                continue;
            }
        }
        if (entry.contains(kMileage) && !mileageNames)
            m_importTransactionsSettings.insert(key, QVariantMap{{kMileage, mileage}});
        else
            m_importTransactionsSettings.remove(key);
    }
    if (changed)
        settingsChangeUndo([this, before] { m_importTransactionsSettings = before; });
}

// ---- Export settings ----

void TWBusiness::exportSettingsAddAccount(const TWAccountPtr &account, const TWFieldPtr &field)
{
    const TWExportTransactionsSettingsPtr record = m_exportTransactionsSettings;
    if (!record || (!account && !field))
        return;
    const TWExportTransactionsSettings before = *record;
    record->addAccount(account, field);
    settingsChangeUndo([record, before] { *record = before; });
}

void TWBusiness::exportSettingsRemoveAccount(const TWAccountPtr &account, const TWFieldPtr &field,
                                             const TWFilterPtr &filter)
{
    const TWExportTransactionsSettingsPtr record = m_exportTransactionsSettings;
    if (!record || (!account && !field && !filter))
        return;
    const TWExportTransactionsSettings before = *record;
    record->removeAccount(account, field, filter);
    if (record->settings() != before.settings())
        settingsChangeUndo([record, before] { *record = before; });
}

void TWBusiness::exportSettingsAddProject(const TWProjectPtr &project)
{
    if (!project)
        return;
    const TWExportTasksSettingsPtr tasks = m_exportTasksSettings;
    const TWExportExpensesSettingsPtr expenses = m_exportExpensesSettings;
    if (tasks) {
        const TWExportTasksSettings before = *tasks;
        tasks->addProject(project);
        settingsChangeUndo([tasks, before] { *tasks = before; });
    }
    if (expenses) {
        const TWExportExpensesSettings before = *expenses;
        expenses->addProject(project);
        settingsChangeUndo([expenses, before] { *expenses = before; });
    }
}

void TWBusiness::exportSettingsRemoveClient(const TWClientPtr &client, const TWProjectPtr &project)
{
    if (!client && !project)
        return;
    const TWExportTasksSettingsPtr tasks = m_exportTasksSettings;
    const TWExportExpensesSettingsPtr expenses = m_exportExpensesSettings;
    if (tasks) {
        const TWExportTasksSettings before = *tasks;
        tasks->removeClient(client.get(), project);
        if (tasks->settings() != before.settings())
            settingsChangeUndo([tasks, before] { *tasks = before; });
    }
    if (expenses) {
        const TWExportExpensesSettings before = *expenses;
        expenses->removeClient(client.get(), project);
        if (expenses->settings() != before.settings())
            settingsChangeUndo([expenses, before] { *expenses = before; });
    }
}
