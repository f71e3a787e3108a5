#pragma once
// The eighteen fields every transaction has (payee, date, accounts, amounts, ...):
// their fixed negative identifiers, the names a new business gives them, their
// autofill flags, and which of them each field list offers.

#include "model/TWField.h"

#include <QList>

enum TWBuiltInFieldIdentifier : qint32 {
    TWFieldIdentifierImport = -1,
    TWFieldIdentifierCleared = -2,
    TWFieldIdentifierDate = -3,
    TWFieldIdentifierIdentifier = -4,
    TWFieldIdentifierPayee = -5,
    TWFieldIdentifierDescription = -6,
    TWFieldIdentifierAccount1 = -7,
    TWFieldIdentifierAccount2 = -8,
    TWFieldIdentifierRepeat = -9,
    TWFieldIdentifierDebit = -10,
    TWFieldIdentifierCredit = -11,
    TWFieldIdentifierTotal = -12,
    TWFieldIdentifierBalance = -13,
    TWFieldIdentifierAttachments = -14,
    TWFieldIdentifierNotes = -15,
    TWFieldIdentifierUnit = -16,
    TWFieldIdentifierDateCreated = -17,
    TWFieldIdentifierDateModified = -18,
};

// One built-in field as a new business creates it (type standard).
struct TWBuiltInField {
    qint32 identifier;
    // Strings-table key of the name; the text is looked up once, when the field
    // is created, so a business keeps the names of the language it was made in.
    const char *nameKey;
    bool autofillTrigger;
    bool autofillValue;
};

namespace TWBuiltInFields
{

// All eighteen, in the order a new business inserts them: -1 to -12, then -16
// (unit, between total and balance), -13, -14, -15, -17, -18.
const QList<TWBuiltInField> &definitions();
// The definition with that identifier, or nullptr.
const TWBuiltInField *definition(qint32 identifier);
// A new field object for the definition, named in the current language.
TWFieldPtr makeField(const TWBuiltInField &definition);

// The built-in fields each field list of a business starts with, in order; the
// custom fields follow them.
// The register's column and sort menus (the list is then sorted by name).
const QList<qint32> &sortedFieldIdentifiers();
// The filter editor (sorted by name afterwards).
const QList<qint32> &filterFieldIdentifiers();
// The targets of import column mapping.
const QList<qint32> &importFieldIdentifiers();
// What a transaction export may contain.
const QList<qint32> &exportFieldIdentifiers();
// The fields of a new transaction export setting.
const QList<qint32> &defaultExportFieldIdentifiers();
// Editing several transactions at once.
const QList<qint32> &editFieldIdentifiers();
// The autofill settings (sorted by name afterwards).
const QList<qint32> &autofillFieldIdentifiers();

} // namespace TWBuiltInFields
