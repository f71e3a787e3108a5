#include "ledger/TWRegisterColumns.h"

#include "model/TWBuiltInFields.h"
#include "store/TWBusiness.h"

#include <QVariantList>

#include <algorithm>
#include <climits>

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
            width = ok && std::isfinite(width) ? 50 : 120;
        columns.append({identifier, width});
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
        // The first hidden entry behind it (in the old order) travels with it.
        for (qsizetype i = own + 1; i < fields.size(); ++i) {
            if (placed[i])
                continue;
            if (visibleIn(fields[i], view))
                break;
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

QList<int> fitWidths(const QList<TWColumnFit> &columns, int available)
{
    QList<int> widths;
    widths.reserve(columns.size());
    qint64 total = 0;
    for (const TWColumnFit &column : columns) {
        // An amount is never asked for less than its minimum; a column the
        // user made narrower than its title keeps the user's width.
        const int width = column.kind == TWColumnFit::Amount
                              ? std::max(column.width, column.minimum)
                              : column.width;
        widths.append(width);
        total += width;
    }
    // The least each column may keep in each round: ticks, numbers and dates
    // show nothing more for room beyond their title and widest value, so they
    // give it up first; then the text columns, which show more of their text
    // the wider they are.
    const auto limitIn = [](int round, const TWColumnFit &column) {
        if (round == 0)
            return column.kind == TWColumnFit::Fixed ? column.minimum : INT_MAX;
        return column.minimum;
    };
    for (int round = 0; round < 2 && total > available; ++round) {
        qint64 spare = 0;
        QList<int> limits;
        limits.reserve(columns.size());
        for (qsizetype i = 0; i < columns.size(); ++i) {
            const int limit = std::min(widths[i], limitIn(round, columns[i]));
            limits.append(limit);
            spare += widths[i] - limit;
        }
        if (spare <= 0)
            continue;
        const qint64 excess = std::min(total - qint64(available), spare);
        qint64 taken = 0;
        for (qsizetype i = 0; i < columns.size() && taken < excess; ++i) {
            const qint64 room = widths[i] - limits[i];
            if (room <= 0)
                continue;
            // Rounded up, so the last pixels are taken too; never past the limit.
            const qint64 share = std::min(room, (room * excess + spare - 1) / spare);
            const qint64 take = std::min(share, excess - taken);
            widths[i] -= int(take);
            taken += take;
        }
        total -= taken;
    }
    return widths;
}

QList<qint32> entryIdentifiers(const QVariantMap &settings)
{
    QList<qint32> identifiers;
    for (const QVariant &entry : settings.value(TWColumnSettingsFieldsKey).toList())
        identifiers.append(entryIdentifier(entry));
    return identifiers;
}

} // namespace TWRegisterColumns
