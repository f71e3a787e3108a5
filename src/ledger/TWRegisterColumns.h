#pragma once
// The register's column layout as plain decisions over the stored column
// settings: which register kind a view identifier names, which columns show
// in which order, how a toggle, a move or a resize changes the settings, and
// the stored sort choice. No widgets: the controller applies the answers.

#include "app/TWRegisterMode.h"
#include "model/TWField.h"
#include "model/TWItem.h"

#include <QList>
#include <QString>
#include <QVariantMap>

// The width of a column the user never dragged.
inline constexpr double TWRegisterDefaultColumnWidth = 120;

// One shown column: its field and its stored width, in Qt's device-independent
// pixels (a stored "point" is one of them, as on the platform the settings
// come from); dragged when the user set that width.
struct TWRegisterColumn {
    qint32 identifier = 0;
    double width = TWRegisterDefaultColumnWidth;
    bool dragged = false;
    bool operator==(const TWRegisterColumn &) const = default;
};

namespace TWRegisterColumns
{

// Whether the field's cells have a fixed size (ticks, dates, the number, the
// repeat, the paperclip): such a column gives way to its fitted width when
// the columns are wider than the register.
bool hasFixedContent(const TWField &field);

// The number "visibleViews" holds for this register: for Accounts the first
// parent item's account identifier, -1 for an account group, 0 otherwise;
// -2 Filters, -3 RepeatItems, -4 InvoicePayments, -5 BillPayments; 0 for
// Nothing, ImportPreview and AllTransactions.
qint64 viewIdentifier(TWRegisterMode mode, const TWItemList &parentItems);

// The columns to show, in stored order. Nothing shows none; ImportPreview and
// AllTransactions show every entry; ImportPreview drops balance, repeat and
// identifier, and only ImportPreview shows the import tick.
QList<TWRegisterColumn> visibleColumns(const QVariantMap &settings, TWRegisterMode mode,
                                       qint64 view);

// The stored sort field, read back as the signed field identifier (it is
// kept unsigned, so -3 comes back as 4294967293), and the direction.
qint32 sortField(const QVariantMap &settings);
bool sortAscending(const QVariantMap &settings);
void setSortField(QVariantMap &settings, qint32 field);
void setSortAscending(QVariantMap &settings, bool ascending);

// Adds the view to the field's "visibleViews" or takes it out; false when the
// field has no entry (nothing changes).
bool toggleFieldVisible(QVariantMap &settings, qint32 field, qint64 view);

// The field's entry gets the width; false when it has none.
bool setWidth(QVariantMap &settings, qint32 field, double width);

// After the user moved a column: the entries in the table's new column order,
// each shown column followed by the first entry hidden in this view that came
// after it before (shown ones on the way passed over), so hidden fields
// travel with the column they followed.
// Entries never placed keep their order at the end.
void moveColumns(QVariantMap &settings, const QList<qint32> &columnOrder, qint64 view);

// The identifiers of the entries, in order (tests and the move).
QList<qint32> entryIdentifiers(const QVariantMap &settings);

} // namespace TWRegisterColumns
