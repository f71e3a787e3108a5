#include "model/TWBuiltInFields.h"

#include "foundation/TWLocalized.h"

namespace TWBuiltInFields
{

const QList<TWBuiltInField> &definitions()
{
    static const QList<TWBuiltInField> fields = {
        {TWFieldIdentifierImport, "import", false, false},
        {TWFieldIdentifierCleared, "cleared", false, true},
        {TWFieldIdentifierDate, "date", false, false},
        {TWFieldIdentifierIdentifier, "identifier", false, false},
        {TWFieldIdentifierPayee, "payee", true, true},
        {TWFieldIdentifierDescription, "description", true, true},
        {TWFieldIdentifierAccount1, "account1", false, true},
        {TWFieldIdentifierAccount2, "account2", false, true},
        {TWFieldIdentifierRepeat, "repeat", false, false},
        {TWFieldIdentifierDebit, "debit", false, false},
        {TWFieldIdentifierCredit, "credit", false, false},
        {TWFieldIdentifierTotal, "total", false, true},
        {TWFieldIdentifierUnit, "unit", false, false},
        {TWFieldIdentifierBalance, "balance", false, false},
        {TWFieldIdentifierAttachments, "attachments", false, false},
        {TWFieldIdentifierNotes, "notes", false, true},
        {TWFieldIdentifierDateCreated, "dateCreated", false, false},
        {TWFieldIdentifierDateModified, "dateModified", false, false},
    };
    return fields;
}

const TWBuiltInField *definition(qint32 identifier)
{
    for (const TWBuiltInField &field : definitions()) {
        if (field.identifier == identifier)
            return &field;
    }
    return nullptr;
}

TWFieldPtr makeField(const TWBuiltInField &definition)
{
    return TWField::fieldWithName(TWLocalized(definition.nameKey), TWFieldTypeStandard,
                                  definition.autofillTrigger, definition.autofillValue,
                                  definition.identifier);
}

const QList<qint32> &sortedFieldIdentifiers()
{
    static const QList<qint32> ids = {-2,  -3,  -4,  -5,  -6,  -7,  -8, -9,
                                      -10, -11, -13, -14, -15, -17, -18};
    return ids;
}

const QList<qint32> &filterFieldIdentifiers()
{
    static const QList<qint32> ids = {-2, -3, -4, -5, -6, -7, -9, -12, -16, -14, -15, -17, -18};
    return ids;
}

const QList<qint32> &importFieldIdentifiers()
{
    static const QList<qint32> ids = {-2,  -3,  -5,  -6,  -7,  -8,  -10,
                                      -11, -12, -16, -14, -15, -17, -18};
    return ids;
}

const QList<qint32> &exportFieldIdentifiers()
{
    static const QList<qint32> ids = {-2,  -3,  -4,  -5,  -6,  -7,  -8,  -9, -10,
                                      -11, -12, -16, -13, -14, -15, -17, -18};
    return ids;
}

const QList<qint32> &defaultExportFieldIdentifiers()
{
    static const QList<qint32> ids = {-2, -3, -4, -5, -6, -7, -8, -9, -12, -14, -15};
    return ids;
}

const QList<qint32> &editFieldIdentifiers()
{
    static const QList<qint32> ids = {-2, -3, -5, -6, -7, -8, -12, -15};
    return ids;
}

const QList<qint32> &autofillFieldIdentifiers()
{
    static const QList<qint32> ids = {-2, -3, -5, -6, -7, -8, -12, -15};
    return ids;
}

} // namespace TWBuiltInFields
