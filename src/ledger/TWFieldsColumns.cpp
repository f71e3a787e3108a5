#include "ledger/TWFieldsColumns.h"

#include "foundation/TWLocalized.h"
#include "store/TWBusiness.h"

qint32 twFieldsColumnNumber(const QVariant &value)
{
    // Wraps the unsigned form of a negative number back to it.
    return qint32(quint32(value.toLongLong()));
}

QVariantList twFieldsColumnEntries(const QVariantMap &layout)
{
    const QVariant fields = layout.value(TWColumnSettingsFieldsKey);
    return fields.metaType().id() == QMetaType::QVariantList ? fields.toList() : QVariantList();
}

qsizetype twFieldsColumnIndex(const QVariantList &entries, qint32 identifier)
{
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (twFieldsColumnNumber(entries.at(i).toMap().value(TWColumnSettingsIdentifierKey)) ==
            identifier)
            return i;
    return -1;
}

QList<qint32> twFieldsVisibleViews(const QVariantMap &layout, qint32 identifier)
{
    const QVariantList entries = twFieldsColumnEntries(layout);
    const qsizetype index = twFieldsColumnIndex(entries, identifier);
    QList<qint32> views;
    if (index < 0)
        return views;
    const QVariantList stored =
        entries.at(index).toMap().value(TWColumnSettingsVisibleViewsKey).toList();
    views.reserve(stored.size());
    for (const QVariant &view : stored)
        views.append(twFieldsColumnNumber(view));
    return views;
}

QString twFieldsViewsSummary(qsizetype count, qsizetype accountCount)
{
    if (count == accountCount + 5)
        return TWLocalized("all");
    if (count == 0)
        return TWLocalized("none");
    return QStringLiteral("%1 %2").arg(count).arg(
        TWLocalized(count == 1 ? "viewLower" : "viewsLower"));
}
