#include "TWExportSettings.h"

#include "TWAccount.h"
#include "TWField.h"
#include "TWFilter.h"
#include "TWProject.h"
#include "TWPropertyList.h"

#include <QVariantList>

#include <optional>

namespace
{

const QString kAccounts = QStringLiteral("accounts");
const QString kFields = QStringLiteral("fields");
const QString kFilterIdentifier = QStringLiteral("filterIdentifier");
const QString kProjects = QStringLiteral("projects");

// An identifier as a stored number; none for anything that is no number.
std::optional<qint32> identifierValue(const QVariant &value)
{
    // A number reads the same whatever the fallback; anything else does not.
    const qint32 read = TWPropertyList::intValue(value, 0);
    if (read != TWPropertyList::intValue(value, 1))
        return std::nullopt;
    return read;
}

} // namespace

// ---- Selections ----

void TWExportSettings::appendIdentifier(const QString &key, qint32 identifier)
{
    const QVariant stored = m_settings.value(key);
    // A damaged selection (no array) is replaced rather than left to drop
    // the new record.
    QVariantList identifiers =
        stored.metaType().id() == QMetaType::QVariantList ? stored.toList() : QVariantList();
    identifiers.append(identifier);
    m_settings.insert(key, identifiers);
}

void TWExportSettings::removeIdentifier(const QString &key, qint32 identifier)
{
    removeIdentifiers(key, [identifier](qint32 listed) { return listed == identifier; });
}

void TWExportSettings::removeIdentifiers(const QString &key,
                                         const std::function<bool(qint32)> &remove)
{
    const QVariant stored = m_settings.value(key);
    if (stored.metaType().id() != QMetaType::QVariantList)
        return;
    QVariantList identifiers = stored.toList();
    const qsizetype before = identifiers.size();
    identifiers.removeIf([&remove](const QVariant &value) {
        const std::optional<qint32> identifier = identifierValue(value);
        return identifier && remove(*identifier);
    });
    if (identifiers.size() != before)
        m_settings.insert(key, identifiers);
}

// ---- Transactions ----

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

void TWExportTransactionsSettings::addAccount(const TWAccount *account, const TWField *field)
{
    if (account)
        appendIdentifier(kAccounts, account->identifier());
    if (field)
        appendIdentifier(kFields, field->identifier());
}

void TWExportTransactionsSettings::removeAccount(const TWAccount *account, const TWField *field,
                                                 const TWFilter *filter)
{
    if (account)
        removeIdentifier(kAccounts, account->identifier());
    if (field)
        removeIdentifier(kFields, field->identifier());
    if (filter && m_settings.contains(kFilterIdentifier) &&
        identifierValue(m_settings.value(kFilterIdentifier)) == filter->identifier())
        m_settings.insert(kFilterIdentifier, 0); // no filter
}

// ---- Tasks and expenses ----

void TWExportWorkSettings::addProject(const TWProject *project)
{
    if (project)
        appendIdentifier(kProjects, project->identifier());
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
