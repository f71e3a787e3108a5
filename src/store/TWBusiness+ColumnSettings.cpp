// The lists' column layouts: the default layout of each list, the register's
// stored layout kept in step with the accounts and custom fields, and the
// form the settings file keeps them in.

#include "store/TWBusiness.h"

#include "foundation/TWPropertyList.h"
#include "model/TWBuiltInFields.h"

#include <QStringList>
#include <QVariant>

#include <array>

namespace
{

using TWPropertyList::intValue;

constexpr quint32 kLastView = TWColumnSettingsViewBills;
constexpr float kDefaultWidth = 120.0f;
constexpr float kTimeWidth = 180.0f;
// The date field, as a sort field is kept: an unsigned number.
const QVariant kDateSortField = QVariant::fromValue(quint32(qint32(TWFieldIdentifierDate)));

QVariant width(float points)
{
    return QVariant::fromValue(points);
}

// The columns of the lists other than the register, in their default order.
QStringList columnNames(quint32 view)
{
    switch (view) {
    case TWColumnSettingsViewProjects:
        return {"date", "client",      "completed",       "name",
                "type", "startDate",   "endDate",         "rate",
                "unit", "taxRate",     "totalUninvoiced", "totalInvoiced",
                "owe",  "percentPaid", "overdue",         "notes"};
    case TWColumnSettingsViewTasks:
        return {"import",   "date",     "client", "project",  "completed", "name",  "type",
                "estimate", "quantity", "rate",   "subtotal", "taxRate",   "total", "notes"};
    case TWColumnSettingsViewTaskItems:
        return {"client", "project", "task", "start", "end", "duration", "notes"};
    case TWColumnSettingsViewExpenses:
        return {"import", "date",     "client",  "project", "name", "quantity",
                "cost",   "subtotal", "taxRate", "total",   "notes"};
    case TWColumnSettingsViewInvoices:
        return {"date", "client",      "project", "number", "name",     "sent",
                "paid", "due",         "repeat",  "tasks",  "expenses", "total",
                "owe",  "percentPaid", "overdue", "notes"};
    case TWColumnSettingsViewBills:
        return {"date",   "merchant", "name", "received",    "paid",    "due",
                "repeat", "total",    "owe",  "percentPaid", "overdue", "notes"};
    default:
        return {};
    }
}

// The columns a list hides until the user shows them: those naming what the
// list is already inside (its client, project, task or merchant).
bool hiddenByDefault(quint32 view, const QString &column)
{
    if (column == QLatin1String("client"))
        return view >= TWColumnSettingsViewProjects && view <= TWColumnSettingsViewInvoices;
    if (column == QLatin1String("project"))
        return view >= TWColumnSettingsViewTasks && view <= TWColumnSettingsViewInvoices;
    if (column == QLatin1String("task"))
        return view == TWColumnSettingsViewTaskItems;
    if (column == QLatin1String("merchant"))
        return view == TWColumnSettingsViewBills;
    return false;
}

QVariantMap defaultListColumnSettings(quint32 view)
{
    QVariantList fields;
    for (const QString &column : columnNames(view)) {
        const bool time = view == TWColumnSettingsViewTaskItems &&
                          (column == QLatin1String("start") || column == QLatin1String("end"));
        fields.append(
            QVariantMap{{TWColumnSettingsIdentifierKey, column},
                        {TWColumnSettingsWidthKey, width(time ? kTimeWidth : kDefaultWidth)},
                        {TWColumnSettingsVisibleKey, !hiddenByDefault(view, column)}});
    }
    const QString sortField =
        view == TWColumnSettingsViewTaskItems ? QStringLiteral("start") : QStringLiteral("date");
    return {{TWColumnSettingsFieldsKey, fields},
            {TWColumnSettingsSortFieldKey, sortField},
            {TWColumnSettingsSortDirectionKey, QVariant::fromValue(quint32(0))}};
}

// The register's built-in columns in their default order; the two
// date-stamp columns, like the import mark, start hidden everywhere. The
// total (-12) and the unit (-16) have no column.
struct BuiltInColumn {
    qint32 identifier;
    bool hidden;
};
constexpr std::array<BuiltInColumn, 16> kBuiltInColumns{{
    {TWFieldIdentifierImport, true},
    {TWFieldIdentifierCleared, false},
    {TWFieldIdentifierDate, false},
    {TWFieldIdentifierIdentifier, false},
    {TWFieldIdentifierPayee, false},
    {TWFieldIdentifierDescription, false},
    {TWFieldIdentifierAccount1, false},
    {TWFieldIdentifierAccount2, false},
    {TWFieldIdentifierRepeat, false},
    {TWFieldIdentifierDebit, false},
    {TWFieldIdentifierCredit, false},
    {TWFieldIdentifierBalance, false},
    {TWFieldIdentifierAttachments, false},
    {TWFieldIdentifierNotes, false},
    {TWFieldIdentifierDateCreated, true},
    {TWFieldIdentifierDateModified, true},
}};

QVariantMap registerColumn(qint32 identifier, const QVariantList &visibleViews)
{
    return {{TWColumnSettingsIdentifierKey, identifier},
            {TWColumnSettingsVisibleViewsKey, visibleViews},
            {TWColumnSettingsWidthKey, width(kDefaultWidth)}};
}

// Whether a stored value is the number `identifier`; anything that is no
// number is none.
bool isNumber(const QVariant &value, qint32 identifier)
{
    // A number reads the same whatever the fallback; anything else does not.
    return intValue(value, 0) == identifier && intValue(value, 1) == identifier;
}

// Whether the entry is the register column of that field.
bool isColumnOf(const QVariant &entry, qint32 identifier)
{
    return isNumber(entry.toMap().value(TWColumnSettingsIdentifierKey), identifier);
}

// The layout's column entries; empty when it has none (or no array).
QVariantList columnEntries(const QVariantMap &layout)
{
    const QVariant fields = layout.value(TWColumnSettingsFieldsKey);
    return fields.metaType().id() == QMetaType::QVariantList ? fields.toList() : QVariantList();
}

} // namespace

// ---- Layouts ----

std::optional<QVariantMap> TWBusiness::columnSettings(quint32 view) const
{
    if (view > kLastView)
        return std::nullopt;
    const auto stored = m_columnSettings.constFind(view);
    if (view != TWColumnSettingsViewTransactions) {
        if (stored != m_columnSettings.cend())
            return *stored;
        return defaultListColumnSettings(view);
    }

    if (stored != m_columnSettings.cend()) {
        // The sort field may have been a custom field deleted since: the
        // register then sorts by date, without changing what is stored.
        if (fieldWithIdentifier(intValue(stored->value(TWColumnSettingsSortFieldKey), 0)))
            return *stored;
        QVariantMap layout = *stored;
        layout.insert(TWColumnSettingsSortFieldKey, kDateSortField);
        return layout;
    }

    const QVariantList everywhere = defaultTransactionColumnSettings(false);
    const QVariantList nowhere = defaultTransactionColumnSettings(true);
    QVariantList fields;
    for (const BuiltInColumn &column : kBuiltInColumns)
        fields.append(registerColumn(column.identifier, column.hidden ? nowhere : everywhere));
    for (const TWFieldPtr &field : userFields())
        fields.append(registerColumn(field->identifier(), everywhere));
    return QVariantMap{{TWColumnSettingsFieldsKey, fields},
                       {TWColumnSettingsSortFieldKey, kDateSortField},
                       {TWColumnSettingsSortDirectionKey, QVariant::fromValue(quint32(0))}};
}

void TWBusiness::updateColumnSettings(quint32 view, const QVariantMap &settings)
{
    const TWColumnSettings before = m_columnSettings;
    m_columnSettings.insert(view, settings);
    settingsChangeUndo([this, before] { m_columnSettings = before; });
}

QVariantList TWBusiness::defaultTransactionColumnSettings(bool hidden) const
{
    QVariantList views;
    if (hidden)
        return views;
    views.reserve(m_accounts.size() + 5);
    for (const TWAccountPtr &account : m_accounts)
        views.append(account->identifier());
    for (qint32 view : {TWRegisterViewAccountGroup, TWRegisterViewFilter, TWRegisterViewRepeat,
                        TWRegisterViewInvoicePayments, TWRegisterViewBillPayments})
        views.append(view);
    return views;
}

// ---- The register's layout follows the accounts and fields ----

void TWBusiness::changeTransactionColumnSettings(const std::function<void(QVariantMap &)> &change)
{
    const auto stored = m_columnSettings.find(TWColumnSettingsViewTransactions);
    if (stored == m_columnSettings.end())
        return;
    QVariantMap layout = *stored;
    change(layout);
    if (layout == *stored)
        return;
    const QVariantMap before = *stored;
    *stored = layout;
    settingsChangeUndo(
        [this, before] { m_columnSettings.insert(TWColumnSettingsViewTransactions, before); });
}

void TWBusiness::columnSettingsAddField(const TWField &field)
{
    const QVariantList everywhere = defaultTransactionColumnSettings(false);
    changeTransactionColumnSettings([&](QVariantMap &layout) {
        const QVariant fields = layout.value(TWColumnSettingsFieldsKey);
        if (fields.metaType().id() != QMetaType::QVariantList)
            return;
        QVariantList entries = fields.toList();
        entries.append(registerColumn(field.identifier(), everywhere));
        layout.insert(TWColumnSettingsFieldsKey, entries);
    });
}

void TWBusiness::columnSettingsDeleteField(const TWField &field)
{
    changeTransactionColumnSettings([&](QVariantMap &layout) {
        QVariantList entries = columnEntries(layout);
        // Every column of the field goes: a column left behind would show the
        // next field to get the identifier.
        if (entries.removeIf(
                [&](const QVariant &entry) { return isColumnOf(entry, field.identifier()); }) > 0)
            layout.insert(TWColumnSettingsFieldsKey, entries);
    });
}

void TWBusiness::columnSettingsAddAccount(const TWAccount &account)
{
    changeTransactionColumnSettings([&](QVariantMap &layout) {
        QVariantList entries = columnEntries(layout);
        bool changed = false;
        for (QVariant &entry : entries) {
            if (isColumnOf(entry, TWFieldIdentifierDateCreated) ||
                isColumnOf(entry, TWFieldIdentifierDateModified))
                continue;
            QVariantMap column = entry.toMap();
            const QVariant views = column.value(TWColumnSettingsVisibleViewsKey);
            // A column no register shows stays hidden in the new one too.
            if (views.metaType().id() != QMetaType::QVariantList || views.toList().isEmpty())
                continue;
            QVariantList visibleViews = views.toList();
            visibleViews.append(account.identifier());
            column.insert(TWColumnSettingsVisibleViewsKey, visibleViews);
            entry = column;
            changed = true;
        }
        if (changed)
            layout.insert(TWColumnSettingsFieldsKey, entries);
    });
}

void TWBusiness::columnSettingsDeleteAccount(const TWAccount &account)
{
    changeTransactionColumnSettings([&](QVariantMap &layout) {
        QVariantList entries = columnEntries(layout);
        bool changed = false;
        for (QVariant &entry : entries) {
            QVariantMap column = entry.toMap();
            const QVariant views = column.value(TWColumnSettingsVisibleViewsKey);
            if (views.metaType().id() != QMetaType::QVariantList)
                continue;
            QVariantList visibleViews = views.toList();
            if (visibleViews.removeIf([&](const QVariant &view) {
                    return isNumber(view, account.identifier());
                }) == 0)
                continue;
            column.insert(TWColumnSettingsVisibleViewsKey, visibleViews);
            entry = column;
            changed = true;
        }
        if (changed)
            layout.insert(TWColumnSettingsFieldsKey, entries);
    });
}

// ---- The settings file's form ----

TWColumnSettings TWBusiness::mutableColumnSettings(const QVariantMap &stored)
{
    TWColumnSettings columnSettings;
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        bool isNumber = false;
        const quint32 view = it.key().toUInt(&isNumber);
        if (!isNumber || it.value().metaType().id() != QMetaType::QVariantMap)
            continue;
        QVariantMap layout = it.value().toMap();
        const QVariant fields = layout.value(TWColumnSettingsFieldsKey);
        if (fields.metaType().id() == QMetaType::QVariantList) {
            QVariantList entries = fields.toList();
            entries.removeIf([](const QVariant &entry) {
                return entry.metaType().id() != QMetaType::QVariantMap;
            });
            layout.insert(TWColumnSettingsFieldsKey, entries);
        }
        columnSettings.insert(view, layout);
    }
    return columnSettings;
}

QVariantMap TWBusiness::writableColumnSettings(const TWColumnSettings &columnSettings)
{
    QVariantMap written;
    for (auto it = columnSettings.cbegin(); it != columnSettings.cend(); ++it)
        written.insert(QString::number(it.key()), it.value());
    return written;
}

// ---- Undo of settings changes ----

void TWBusiness::settingsChangeUndo(std::function<void()> undo)
{
    if (m_levels.empty())
        return;
    // A level of its own joins the write in progress: its undo runs when that
    // write (or any write around it) rolls back.
    WriteScope scope(*this);
    scope.onRollback(std::move(undo));
    scope.commit();
}
