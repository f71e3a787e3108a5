#pragma once
// Reading the register's column layout for the fields view and the field
// editor: which views show a field's column, and the short summary of them.

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

// A stored number as a field identifier or view number. The settings file
// keeps negative numbers as unsigned ones (4294967293 for -3); both read as
// the same qint32.
qint32 twFieldsColumnNumber(const QVariant &value);

// The column entries ("fields") of a register layout; empty without any.
QVariantList twFieldsColumnEntries(const QVariantMap &layout);

// The position of the field's entry in the entries, -1 when none has it.
qsizetype twFieldsColumnIndex(const QVariantList &entries, qint32 identifier);

// The "visibleViews" of the field's entry; none when no entry has it.
QList<qint32> twFieldsVisibleViews(const QVariantMap &layout, qint32 identifier);

// "all" when `count` views are every view (`accountCount` accounts plus the
// five special views), "none" for 0, else the count with "view"/"views".
QString twFieldsViewsSummary(qsizetype count, qsizetype accountCount);
