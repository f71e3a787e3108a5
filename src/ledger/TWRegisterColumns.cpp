#include "ledger/TWRegisterColumns.h"

#include "model/TWBuiltInFields.h"
#include "store/TWBusiness.h"

#include <QVariantList>

#include <algorithm>
#include <cmath>

namespace
{

qint64 number(const QVariant &value, bool *ok)
{
    return value.toLongLong(ok);
}

qint32 entryIdentifier(const QVariant &entry)
{
    return qint32(entry.toMap().value(TWColumnSettingsIdentifierKey).toLongLong());
}

bool visibleIn(const QVariant &entry, qint64 view)
{
    for (const QVariant &key : entry.toMap().value(TWColumnSettingsVisibleViewsKey).toList()) {
        bool ok = false;
        if (number(key, &ok) == view && ok)
            return true;
    }
    return false;
}

// The index of the field's entry, -1 when none.
qsizetype entryIndex(const QVariantList &fields, qint32 field)
{
    for (qsizetype i = 0; i < fields.size(); ++i)
        if (entryIdentifier(fields[i]) == field)
            return i;
    return -1;
}

} // namespace

namespace TWRegisterColumns
{

qint64 viewIdentifier(TWRegisterMode mode, const TWItemList &parentItems)
{
    switch (mode) {
    case TWRegisterMode::Accounts: {
        if (parentItems.isEmpty() || !parentItems.first())
            return 0;
        const TWItemPtr &first = parentItems.first();
        if (first->type() == TWItemTypeAccount)
            return first->identifier();
        return first->type() == TWItemTypeAccountGroup ? -1 : 0;
    }
    case TWRegisterMode::Filters:
        return -2;
    case TWRegisterMode::RepeatItems:
        return -3;
    case TWRegisterMode::InvoicePayments:
        return -4;
    case TWRegisterMode::BillPayments:
        return -5;
    default:
        return 0;
    }
}

QList<TWRegisterColumn> visibleColumns(const QVariantMap &settings, TWRegisterMode mode,
                                       qint64 view)
{
    QList<TWRegisterColumn> columns;
    if (mode == TWRegisterMode::Nothing)
        return columns;
    const bool all =
        mode == TWRegisterMode::ImportPreview || mode == TWRegisterMode::AllTransactions;
    for (const QVariant &entry : settings.value(TWColumnSettingsFieldsKey).toList()) {
        const qint32 identifier = entryIdentifier(entry);
        if (mode == TWRegisterMode::ImportPreview &&
            (identifier == TWFieldIdentifierBalance || identifier == TWFieldIdentifierRepeat ||
             identifier == TWFieldIdentifierIdentifier))
            continue;
        if (mode != TWRegisterMode::ImportPreview && identifier == TWFieldIdentifierImport)
            continue;
        // Total and unit are never columns, whatever a settings file says.
        if (identifier == TWFieldIdentifierTotal || identifier == TWFieldIdentifierUnit ||
            identifier == 0)
            continue;
        if (!all && !visibleIn(entry, view))
            continue;
        bool ok = false;
        double width = entry.toMap().value(TWColumnSettingsWidthKey).toDouble(&ok);
        if (!ok || width < 50 || !std::isfinite(width))
            width = ok && std::isfinite(width) ? 50 : TWRegisterDefaultColumnWidth;
        columns.append({identifier, width, width != TWRegisterDefaultColumnWidth});
    }
    return columns;
}

qint32 sortField(const QVariantMap &settings)
{
    bool ok = false;
    const qint64 stored = settings.value(TWColumnSettingsSortFieldKey).toLongLong(&ok);
    return ok ? qint32(quint32(quint64(stored))) : qint32(TWFieldIdentifierDate);
}

bool sortAscending(const QVariantMap &settings)
{
    return settings.value(TWColumnSettingsSortDirectionKey).toLongLong() == 0;
}

void setSortField(QVariantMap &settings, qint32 field)
{
    settings.insert(TWColumnSettingsSortFieldKey, QVariant::fromValue(quint32(field)));
}

void setSortAscending(QVariantMap &settings, bool ascending)
{
    settings.insert(TWColumnSettingsSortDirectionKey,
                    QVariant::fromValue(quint32(ascending ? 0 : 1)));
}

bool toggleFieldVisible(QVariantMap &settings, qint32 field, qint64 view)
{
    QVariantList fields = settings.value(TWColumnSettingsFieldsKey).toList();
    const qsizetype index = entryIndex(fields, field);
    if (index < 0)
        return false;
    QVariantMap entry = fields[index].toMap();
    QVariantList views = entry.value(TWColumnSettingsVisibleViewsKey).toList();
    const qsizetype removed = views.removeIf([view](const QVariant &key) {
        bool ok = false;
        return number(key, &ok) == view && ok;
    });
    if (removed == 0)
        views.append(view);
    entry.insert(TWColumnSettingsVisibleViewsKey, views);
    fields[index] = entry;
    settings.insert(TWColumnSettingsFieldsKey, fields);
    return true;
}

bool setWidth(QVariantMap &settings, qint32 field, double width)
{
    QVariantList fields = settings.value(TWColumnSettingsFieldsKey).toList();
    const qsizetype index = entryIndex(fields, field);
    if (index < 0)
        return false;
    QVariantMap entry = fields[index].toMap();
    entry.insert(TWColumnSettingsWidthKey, QVariant::fromValue(float(width)));
    fields[index] = entry;
    settings.insert(TWColumnSettingsFieldsKey, fields);
    return true;
}

void moveColumns(QVariantMap &settings, const QList<qint32> &columnOrder, qint64 view)
{
    const QVariantList fields = settings.value(TWColumnSettingsFieldsKey).toList();
    QList<bool> placed(fields.size(), false);
    QVariantList result;
    result.reserve(fields.size());
    for (qint32 column : columnOrder) {
        const qsizetype own = entryIndex(fields, column);
        if (own < 0 || placed[own])
            continue;
        result.append(fields[own]);
        placed[own] = true;
        // The first hidden entry behind it (in the old order) travels with
        // it; shown entries on the way are passed over.
        for (qsizetype i = own + 1; i < fields.size(); ++i) {
            if (placed[i] || visibleIn(fields[i], view))
                continue;
            result.append(fields[i]);
            placed[i] = true;
            break;
        }
    }
    for (qsizetype i = 0; i < fields.size(); ++i)
        if (!placed[i])
            result.append(fields[i]);
    settings.insert(TWColumnSettingsFieldsKey, result);
}

bool hasFixedContent(const TWField &field)
{
    switch (field.type()) {
    case TWFieldTypeCheckbox:
    case TWFieldTypeDate:
        return true;
    case TWFieldTypeStandard:
        break;
    default:
        return false;
    }
    switch (field.identifier()) {
    case TWFieldIdentifierImport:
    case TWFieldIdentifierCleared:
    case TWFieldIdentifierDate:
    case TWFieldIdentifierIdentifier:
    case TWFieldIdentifierRepeat:
    case TWFieldIdentifierAttachments:
    case TWFieldIdentifierDateCreated:
    case TWFieldIdentifierDateModified:
        return true;
    default:
        return false;
    }
}

QList<qint32> entryIdentifiers(const QVariantMap &settings)
{
    QList<qint32> identifiers;
    for (const QVariant &entry : settings.value(TWColumnSettingsFieldsKey).toList())
        identifiers.append(entryIdentifier(entry));
    return identifiers;
}

} // namespace TWRegisterColumns
