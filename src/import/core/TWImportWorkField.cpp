#include "import/core/TWImportWorkField.h"

#include "foundation/TWPropertyList.h"
#include "foundation/TWStringAdditions.h"
#include "model/TWFormatter.h"
#include "model/TWWorkFields.h"
#include "store/TWBusiness.h"

namespace
{

QVariantMap storedEntry(const QVariantMap &settings, const QString &sourceName)
{
    const QVariant entry = settings.value(sourceName);
    return entry.metaType().id() == QMetaType::QVariantMap ? entry.toMap() : QVariantMap();
}

bool hasStoredEntry(const QVariantMap &settings, const QString &sourceName)
{
    return settings.value(sourceName).metaType().id() == QMetaType::QVariantMap;
}

} // namespace

TWImportWorkField::TWImportWorkField(Kind kind, const QString &sourceName,
                                     const QVariantMap &stored)
    : m_kind(kind), m_sourceName(sourceName)
{
    if (!hasStoredEntry(stored, sourceName)) {
        guess();
        return;
    }
    const QVariantMap entry = storedEntry(stored, sourceName);
    m_fieldIdentifier = TWPropertyList::intValue(entry.value(TWImportKeyField), 0);
    if (entry.contains(TWImportKeyFormat))
        m_format = entry.value(TWImportKeyFormat).toString();
    m_createIfNeeded = TWPropertyList::boolValue(entry.value(TWImportKeyCreateIfNeeded), false);
    m_type = TWPropertyList::unsignedIntValue(entry.value(TWImportKeyType), 0);
}

QList<qint32> TWImportWorkField::importFields(Kind kind)
{
    return kind == Task ? TWBusiness::importTaskFields() : TWBusiness::importExpenseFields();
}

QString TWImportWorkField::fieldName(Kind kind, qint32 fieldIdentifier)
{
    const TWFormatter &formatter = TWFormatter::formatter();
    return kind == Task ? formatter.taskFieldString(fieldIdentifier)
                        : formatter.expenseFieldString(fieldIdentifier);
}

QString TWImportWorkField::formatForField(Kind kind, qint32 fieldIdentifier)
{
    const TWFormatter &formatter = TWFormatter::formatter();
    if (kind == Task && (fieldIdentifier == qint32(TWTaskField::EndDate) ||
                         fieldIdentifier == qint32(TWTaskField::StartDate)))
        return formatter.shortDateTimeFormat();
    if (fieldIdentifier == qint32(TWWorkSharedField::Date))
        return formatter.shortDateFormat();
    return {};
}

void TWImportWorkField::guess()
{
    m_createIfNeeded = false;
    const QString upper = m_sourceName.toUpper();
    if (upper.isEmpty()) {
        m_type = TWImportFieldTypeNone;
        return;
    }
    const QList<qint32> codes = importFields(m_kind);
    std::optional<qint32> found;
    // Every name that holds the header is tried before any name the header
    // holds.
    for (const qint32 code : codes) {
        if (TWStringAdditions::searchString(fieldName(m_kind, code), upper, true)) {
            found = code;
            break;
        }
    }
    if (!found) {
        for (const qint32 code : codes) {
            if (TWStringAdditions::searchString(upper, fieldName(m_kind, code).toUpper(), true)) {
                found = code;
                break;
            }
        }
    }
    if (!found) {
        m_type = TWImportFieldTypeNone;
        return;
    }
    m_fieldIdentifier = *found;
    m_type = TWImportFieldTypeField;
    const QString format = formatForField(m_kind, *found);
    if (!format.isNull())
        m_format = format;
}

QVariantMap TWImportWorkField::settings() const
{
    QVariantMap entry;
    entry.insert(TWImportKeyType, QVariant::fromValue<quint32>(m_type));
    if (m_type != TWImportFieldTypeField)
        return entry;
    entry.insert(TWImportKeyField, QVariant::fromValue<qint32>(m_fieldIdentifier));
    const bool dateField =
        m_fieldIdentifier == qint32(TWWorkSharedField::Date) ||
        (m_kind == Task && (m_fieldIdentifier == qint32(TWTaskField::EndDate) ||
                            m_fieldIdentifier == qint32(TWTaskField::StartDate)));
    if (dateField && !m_format.isNull())
        entry.insert(TWImportKeyFormat, m_format);
    if (m_fieldIdentifier == qint32(TWWorkSharedField::Project) ||
        m_fieldIdentifier == qint32(TWWorkSharedField::Client))
        entry.insert(TWImportKeyCreateIfNeeded, m_createIfNeeded);
    return entry;
}

TWImportTaskField::TWImportTaskField(const QString &sourceName, const std::shared_ptr<TWProject> &,
                                     const TWBusiness &business)
    : TWImportWorkField(Task, sourceName, business.importTasksSettings())
{
}

std::shared_ptr<TWImportTaskField>
TWImportTaskField::importTaskFieldWithSourceName(const QString &sourceName,
                                                 const std::shared_ptr<TWProject> &defaultProject,
                                                 const TWBusiness &business)
{
    return std::make_shared<TWImportTaskField>(sourceName, defaultProject, business);
}

TWImportExpenseField::TWImportExpenseField(const QString &sourceName,
                                           const std::shared_ptr<TWProject> &,
                                           const TWBusiness &business)
    : TWImportWorkField(Expense, sourceName, business.importExpensesSettings())
{
}

std::shared_ptr<TWImportExpenseField> TWImportExpenseField::importExpenseFieldWithSourceName(
    const QString &sourceName, const std::shared_ptr<TWProject> &defaultProject,
    const TWBusiness &business)
{
    return std::make_shared<TWImportExpenseField>(sourceName, defaultProject, business);
}
