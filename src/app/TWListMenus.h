#pragma once
// The Columns, Sort By and Mark menus: their items as plain descriptions and
// the check-mark rules over a list's column settings, both free of widgets.

#include "app/TWMenuValidation.h"

#include "model/TWField.h"

#include <QList>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// One item of a list menu; a separator has no title.
struct TWListMenuItem {
    QString title;
    std::optional<TWAction> action;
    int tag = 0;
    QVariant representedObject;

    bool isSeparator() const { return title.isEmpty(); }
    static TWListMenuItem separator() { return {}; }
};

// The register's view key of a source-list entry: the account's identifier,
// -1 a group of accounts, clients, merchants or filters, -2 a filter or the
// search results, -3 repeats, -4 a client, -5 a merchant, 0 anything else.
qint64 twRegisterViewKey(int entryType, int itemType, quint32 identifier);

// Register settings (identifiers are numbers; columns show by view key).
bool twRegisterColumnChecked(const std::optional<QVariantMap> &settings, qint32 field,
                             qint64 viewKey);
bool twRegisterSortByChecked(const std::optional<QVariantMap> &settings, qint32 field);
// Other lists (identifiers are texts; columns show by "visible").
bool twColumnChecked(const std::optional<QVariantMap> &settings, const QString &identifier);
bool twSortByChecked(const std::optional<QVariantMap> &settings, const QString &identifier);
// Register and lists alike: tag 0 ascending, 1 descending.
bool twSortDirectionChecked(const std::optional<QVariantMap> &settings, int tag);

// The register's field items of the Columns (`sort` false) or Sort By menu.
QList<TWListMenuItem> twRegisterFieldItems(const TWFieldList &fields, bool sort);
// "name" and "manually" of the source list's sort.
QList<TWListMenuItem> twMasterSortItems();
// "ascending" and "descending" with the direction command.
QList<TWListMenuItem> twSortDirectionItems(TWAction action);
// Completion marks with the command (none: inert items), and invoice marks.
QList<TWListMenuItem> twCompletionMarkItems(std::optional<TWAction> action);
QList<TWListMenuItem> twInvoiceMarkItems();
