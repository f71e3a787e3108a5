#include "app/TWListMenus.h"

#include "app/TWTypedNumberField.h"

#include "foundation/TWLocalized.h"

namespace
{

// The first "fields" entry whose identifier matches.
std::optional<QVariantMap> fieldEntry(const std::optional<QVariantMap> &settings,
                                      const std::function<bool(const QVariant &)> &matches)
{
    if (!settings)
        return std::nullopt;
    for (const QVariant &entry : settings->value(QStringLiteral("fields")).toList()) {
        const QVariantMap map = entry.toMap();
        if (matches(map.value(QStringLiteral("identifier"))))
            return map;
    }
    return std::nullopt;
}

TWListMenuItem item(const char *key, std::optional<TWAction> action, int tag)
{
    return {TWLocalized(key), action, tag, {}};
}

} // namespace

qint64 twRegisterViewKey(int entryType, int itemType, quint32 identifier)
{
    if (entryType == 13)
        return -2;
    if (entryType == 9)
        return -3;
    if (entryType != 5)
        return 0;
    switch (itemType) {
    case 5:
        return identifier;
    case 1:
    case 2:
    case 3:
    case 9:
        return -1;
    case 10:
        return -2;
    case 6:
        return -4;
    case 7:
        return -5;
    default:
        return 0;
    }
}

bool twRegisterColumnChecked(const std::optional<QVariantMap> &settings, qint32 field,
                             qint64 viewKey)
{
    const auto entry = fieldEntry(settings, [field](const QVariant &id) {
        bool ok = false;
        return id.toLongLong(&ok) == field && ok;
    });
    if (!entry)
        return false;
    for (const QVariant &key : entry->value(QStringLiteral("visibleViews")).toList()) {
        bool ok = false;
        if (key.toLongLong(&ok) == viewKey && ok)
            return true;
    }
    return false;
}

bool twRegisterSortByChecked(const std::optional<QVariantMap> &settings, qint32 field)
{
    if (!settings || !settings->contains(QStringLiteral("sortField")))
        return false;
    // Stored unsigned: a built-in (negative) field wraps around.
    return quint32(settings->value(QStringLiteral("sortField")).toLongLong()) == quint32(field);
}

bool twColumnChecked(const std::optional<QVariantMap> &settings, const QString &identifier)
{
    const auto entry = fieldEntry(
        settings, [&identifier](const QVariant &id) { return id.toString() == identifier; });
    return entry && entry->value(QStringLiteral("visible")).toBool();
}

bool twSortByChecked(const std::optional<QVariantMap> &settings, const QString &identifier)
{
    return settings && settings->contains(QStringLiteral("sortField")) &&
           settings->value(QStringLiteral("sortField")).toString() == identifier;
}

bool twSortDirectionChecked(const std::optional<QVariantMap> &settings, int tag)
{
    if (!settings || (tag != 0 && tag != 1))
        return false;
    return settings->value(QStringLiteral("sortDirection")).toInt() == tag;
}

QList<TWListMenuItem> twRegisterFieldItems(const TWFieldList &fields, bool sort)
{
    QList<TWListMenuItem> items;
    items.reserve(fields.size() + 3);
    for (const TWFieldPtr &field : fields)
        // A field's name is the user's: "R&D hours" is shown as written, never as a shortcut.
        items.append({twShownAsWritten(field->name()),
                      sort ? TWAction::doSortByAccount : TWAction::doColumnAccount, 0,
                      QVariant::fromValue(field)});
    if (sort) {
        items.append(TWListMenuItem::separator());
        items.append(twSortDirectionItems(TWAction::doSortDirectionAccount));
    }
    return items;
}

QList<TWListMenuItem> twMasterSortItems()
{
    return {item("name", TWAction::doMasterSortBy, 0),
            item("manually", TWAction::doMasterSortBy, 1)};
}

QList<TWListMenuItem> twSortDirectionItems(TWAction action)
{
    return {item("ascending", action, 0), item("descending", action, 1)};
}

QList<TWListMenuItem> twCompletionMarkItems(std::optional<TWAction> action)
{
    return {item("asCompleted", action, action ? 6 : 0),
            item("asNotCompleted", action, action ? 7 : 0)};
}

QList<TWListMenuItem> twInvoiceMarkItems()
{
    return {item("asSent", TWAction::doMarkInvoice, 0),
            item("asNotSent", TWAction::doMarkInvoice, 1), TWListMenuItem::separator(),
            item("asPaid", TWAction::doMarkInvoice, 4),
            item("asNotPaid", TWAction::doMarkInvoice, 5)};
}
