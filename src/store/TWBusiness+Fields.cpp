// The transaction fields: the built-in and custom field definitions, the
// per-consumer field lists, the custom columns of the transactions table, the
// choices of list and tags fields and the percent settings of percent-total
// fields.

#include "store/TWBusiness.h"

#include "model/TWBuiltInFields.h"
#include "store/TWRecordWrites.h"
#include "store/TWSchema.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

const char *const kFieldsMaxSQL = "SELECT MAX(identifier) FROM fields;";
const char *const kFieldsLoadSQL =
    "SELECT identifier, name, type, autofillTrigger, autofillValue FROM fields;";
const char *const kFieldsInsertSQL = "INSERT INTO fields (identifier, name, type, autofillTrigger, "
                                     "autofillValue) VALUES (?, ?, ?, ?, ?);";
const char *const kFieldsDeleteSQL = "DELETE FROM fields WHERE identifier=?;";
const char *const kFieldsUpdateSQL =
    "UPDATE fields SET name=?, autofillTrigger=?, autofillValue=? WHERE identifier=?;";
const char *const kFieldsUpdateAutofillSQL =
    "UPDATE fields SET autofillTrigger=?, autofillValue=? WHERE identifier=?;";

constexpr const char *kListsMaxSQL = "SELECT MAX(identifier) FROM lists WHERE fieldIdentifier=?;";
const char *const kListsLoadSQL = "SELECT identifier, name, fieldIdentifier FROM lists "
                                  "ORDER BY fieldIdentifier ASC, name ASC;";
constexpr const char *kListsInsertSQL =
    "INSERT INTO lists (identifier, name, fieldIdentifier) VALUES (?, ?, ?);";
const char *const kListsDeleteFieldSQL = "DELETE FROM lists WHERE fieldIdentifier=?;";
const char *const kListsDeleteSQL = "DELETE FROM lists WHERE identifier=? AND fieldIdentifier=?;";
constexpr const char *kListsRenameSQL =
    "UPDATE lists SET name=? WHERE identifier=? AND fieldIdentifier=?;";

constexpr const char *kTagsMaxSQL = "SELECT MAX(identifier) FROM tags WHERE fieldIdentifier=?;";
const char *const kTagsLoadSQL = "SELECT identifier, name, fieldIdentifier FROM tags "
                                 "ORDER BY fieldIdentifier ASC, name ASC;";
constexpr const char *kTagsInsertSQL =
    "INSERT INTO tags (identifier, name, fieldIdentifier) VALUES (?, ?, ?);";
const char *const kTagsDeleteFieldSQL = "DELETE FROM tags WHERE fieldIdentifier=?;";
const char *const kTagsDeleteSQL = "DELETE FROM tags WHERE identifier=? AND fieldIdentifier=?;";
constexpr const char *kTagsRenameSQL =
    "UPDATE tags SET name=? WHERE identifier=? AND fieldIdentifier=?;";

const char *const kTransactionTagsDeleteTagSQL =
    "DELETE FROM transactionTags WHERE fieldIdentifier=? AND tagIdentifier=?;";
const char *const kTransactionTagsDeleteFieldSQL =
    "DELETE FROM transactionTags WHERE fieldIdentifier=?;";

const char *const kPercentTotalsLoadSQL =
    "SELECT fieldIdentifier, percent, includedInTotal FROM percentTotals;";
const char *const kPercentTotalsInsertSQL =
    "INSERT INTO percentTotals (fieldIdentifier, percent, includedInTotal) VALUES (?, ?, ?);";
const char *const kPercentTotalsDeleteSQL = "DELETE FROM percentTotals WHERE fieldIdentifier=?;";

const char *const kFilterCriterionDeleteFieldSQL =
    "DELETE FROM filterCriterion WHERE fieldIdentifier=?;";
const char *const kFilterCriterionDeleteChoiceSQL =
    "DELETE FROM filterCriterion WHERE fieldIdentifier=? AND valueInteger=?;";

// The field types that own a column of the transactions table.
bool hasColumn(std::uint32_t type)
{
    return type != TWFieldTypeStandard && type <= TWFieldTypePercentTotal &&
           type != TWFieldTypeTags;
}

template <typename T> bool byName(const std::shared_ptr<T> &a, const std::shared_ptr<T> &b)
{
    return a->compare(*b) < 0;
}

template <typename T> void sortByName(QList<std::shared_ptr<T>> &list)
{
    std::stable_sort(list.begin(), list.end(), byName<T>);
}

// What list choices and tags differ in: their table and the field's list that
// holds them.
template <typename Item> struct ChoiceKind;

template <> struct ChoiceKind<TWFieldListItem> {
    static constexpr const char *maxSQL = kListsMaxSQL;
    static constexpr const char *insertSQL = kListsInsertSQL;
    static constexpr const char *renameSQL = kListsRenameSQL;
    static TWFieldListItemList items(const TWField &field) { return field.listItems(); }
    static void setItems(TWField &field, const TWFieldListItemList &items)
    {
        field.setListItems(items);
    }
};

template <> struct ChoiceKind<TWFieldTagItem> {
    static constexpr const char *maxSQL = kTagsMaxSQL;
    static constexpr const char *insertSQL = kTagsInsertSQL;
    static constexpr const char *renameSQL = kTagsRenameSQL;
    static TWFieldTagItemList items(const TWField &field) { return field.tagItems(); }
    static void setItems(TWField &field, const TWFieldTagItemList &items)
    {
        field.setTagItems(items);
    }
};

TWErrorResult misuse()
{
    return TWBusiness::databaseError(SQLITE_MISUSE);
}

// The choice identifier after the field's largest (1 for a field without
// choices); 0 when it cannot be read or would not fit.
template <typename Item> qint32 nextChoiceIdentifier(TWBusiness &business, qint32 fieldIdentifier)
{
    TWStatement query = business.statement(ChoiceKind<Item>::maxSQL);
    query.bindInt32(fieldIdentifier);
    if (!query.next())
        return 0;
    const qint64 next = query.columnInt64(0) + 1;
    // Identifiers below 1 only come from a damaged file; -1 means "no choice".
    if (next < 1)
        return 1;
    return next > std::numeric_limits<qint32>::max() ? 0 : qint32(next);
}

template <typename Item>
TWErrorResult addChoice(TWBusiness &business, const std::shared_ptr<Item> &item,
                        const TWFieldPtr &field, bool notify)
{
    if (!item || !field)
        return misuse();
    TWBusiness::WriteScope scope(business);
    const qint32 identifier = nextChoiceIdentifier<Item>(business, field->identifier());
    if (identifier == 0)
        return scope.finish(misuse());
    TWStatement insert = business.statement(ChoiceKind<Item>::insertSQL);
    insert.bindInt32(identifier).bindText(item->name()).bindInt32(field->identifier());
    if (TWErrorResult error = insert.execute())
        return scope.finish(error);

    const qint32 oldIdentifier = item->identifier();
    const QList<std::shared_ptr<Item>> oldItems = ChoiceKind<Item>::items(*field);
    item->setIdentifier(identifier);
    QList<std::shared_ptr<Item>> items = oldItems;
    items.append(item);
    sortByName(items);
    ChoiceKind<Item>::setItems(*field, items);
    scope.onRollback([item, field, oldIdentifier, oldItems] {
        item->setIdentifier(oldIdentifier);
        ChoiceKind<Item>::setItems(*field, oldItems);
    });
    TWRecordWrites::post(scope, notify, TWFieldUpdateNotification, TWFieldNotificationKey, field);
    return scope.commit();
}

template <typename Item>
TWErrorResult updateChoice(TWBusiness &business, const std::shared_ptr<Item> &item,
                           const TWFieldPtr &field, bool notify)
{
    if (!item || !field)
        return misuse();
    TWBusiness::WriteScope scope(business);
    TWStatement update = business.statement(ChoiceKind<Item>::renameSQL);
    update.bindText(item->name()).bindInt32(item->identifier()).bindInt32(field->identifier());
    if (TWErrorResult error = update.executeUpdate())
        return scope.finish(error);
    const QList<std::shared_ptr<Item>> oldItems = ChoiceKind<Item>::items(*field);
    QList<std::shared_ptr<Item>> items = oldItems;
    sortByName(items);
    ChoiceKind<Item>::setItems(*field, items);
    scope.onRollback([field, oldItems] { ChoiceKind<Item>::setItems(*field, oldItems); });
    TWRecordWrites::post(scope, notify, TWFieldUpdateNotification, TWFieldNotificationKey, field);
    return scope.commit();
}

// The field's choices without those equal to `item` (same name and
// identifier); rollback puts the old list back.
template <typename Item>
void removeChoice(TWBusiness::WriteScope &scope, const std::shared_ptr<Item> &item,
                  const TWFieldPtr &field)
{
    const QList<std::shared_ptr<Item>> oldItems = ChoiceKind<Item>::items(*field);
    QList<std::shared_ptr<Item>> items;
    items.reserve(oldItems.size());
    for (const std::shared_ptr<Item> &existing : oldItems) {
        if (!existing || !existing->isEqual(*item))
            items.append(existing);
    }
    ChoiceKind<Item>::setItems(*field, items);
    scope.onRollback([field, oldItems] { ChoiceKind<Item>::setItems(*field, oldItems); });
}

// Reads the rows of a choices query (ordered by field, then name) and hands
// each field's run of choices, in row order, to the field.
template <typename Item> TWErrorResult loadChoices(TWBusiness &business, const char *sql)
{
    TWStatement query = business.statement(sql);
    qint32 runField = 0;
    bool inRun = false;
    QList<std::shared_ptr<Item>> run;
    const auto flush = [&] {
        if (inRun) {
            if (const TWFieldPtr field = business.fieldWithIdentifier(runField))
                ChoiceKind<Item>::setItems(*field, run);
        }
        run.clear();
    };
    while (query.next()) {
        const qint32 fieldIdentifier = query.columnInt32(2);
        if (!inRun || fieldIdentifier != runField) {
            flush();
            runField = fieldIdentifier;
            inRun = true;
        }
        QString name = query.columnText(1);
        if (name.isNull())
            name = QStringLiteral("");
        run.append(std::make_shared<Item>(name, query.columnInt32(0)));
    }
    if (TWErrorResult error = query.error())
        return error;
    flush();
    return std::nullopt;
}

} // namespace

// ---- The field list ----

TWFieldPtr TWBusiness::fieldWithIdentifier(qint32 identifier) const
{
    return m_fieldIndex.value(identifier);
}

void TWBusiness::setFieldList(const TWFieldList &fields)
{
    m_fields = fields;
    m_fieldIndex.clear();
    m_fieldIndex.reserve(fields.size());
    for (const TWFieldPtr &field : fields) {
        if (field && !m_fieldIndex.contains(field->identifier()))
            m_fieldIndex.insert(field->identifier(), field);
    }
}

TWFieldList TWBusiness::userFields() const
{
    TWFieldList result;
    for (const TWFieldPtr &field : m_fields) {
        if (field && field->type() != TWFieldTypeStandard)
            result.append(field);
    }
    return result;
}

TWFieldList TWBusiness::fieldListWithBuiltIns(const QList<qint32> &identifiers, bool sorted) const
{
    TWFieldList result;
    result.reserve(identifiers.size() + m_fields.size());
    for (const qint32 identifier : identifiers) {
        if (const TWFieldPtr field = fieldWithIdentifier(identifier))
            result.append(field);
    }
    result.append(userFields());
    if (sorted)
        sortByName(result);
    return result;
}

TWFieldList TWBusiness::sortedFields() const
{
    return fieldListWithBuiltIns(TWBuiltInFields::sortedFieldIdentifiers(), true);
}

TWFieldList TWBusiness::filterFields() const
{
    return fieldListWithBuiltIns(TWBuiltInFields::filterFieldIdentifiers(), true);
}

TWFieldList TWBusiness::importFields() const
{
    return fieldListWithBuiltIns(TWBuiltInFields::importFieldIdentifiers(), false);
}

TWFieldList TWBusiness::exportFields() const
{
    return fieldListWithBuiltIns(TWBuiltInFields::exportFieldIdentifiers(), false);
}

TWFieldList TWBusiness::defaultExportFields() const
{
    return fieldListWithBuiltIns(TWBuiltInFields::defaultExportFieldIdentifiers(), false);
}

TWFieldList TWBusiness::editFields() const
{
    return fieldListWithBuiltIns(TWBuiltInFields::editFieldIdentifiers(), false);
}

TWFieldList TWBusiness::autofillFields() const
{
    return fieldListWithBuiltIns(TWBuiltInFields::autofillFieldIdentifiers(), true);
}

qint32 TWBusiness::nextFieldIdentifier()
{
    return nextIdentifier(kFieldsMaxSQL, TWFieldIdentifierFloor);
}

// ---- Seeding and loading ----

TWErrorResult TWBusiness::populateFields()
{
    WriteScope scope(*this);
    for (const TWBuiltInField &definition : TWBuiltInFields::definitions()) {
        if (TWErrorResult error = addField(TWBuiltInFields::makeField(definition), false))
            return scope.finish(error);
    }
    return scope.commit();
}

TWErrorResult TWBusiness::loadFields()
{
    setFieldList({});
    TWStatement query = statement(kFieldsLoadSQL);
    TWFieldList fields;
    fields.reserve(32);
    while (query.next()) {
        QString name = query.columnText(1);
        if (name.isNull())
            name = QStringLiteral("");
        fields.append(TWField::fieldWithName(name, std::uint32_t(query.columnInt64(2)),
                                             query.columnBool(3), query.columnBool(4),
                                             query.columnInt32(0)));
    }
    if (TWErrorResult error = query.error())
        return error;
    setFieldList(fields);
    return std::nullopt;
}

TWErrorResult TWBusiness::loadLists()
{
    return loadChoices<TWFieldListItem>(*this, kListsLoadSQL);
}

TWErrorResult TWBusiness::loadTags()
{
    return loadChoices<TWFieldTagItem>(*this, kTagsLoadSQL);
}

TWErrorResult TWBusiness::loadPercentTotals()
{
    TWStatement query = statement(kPercentTotalsLoadSQL);
    while (query.next()) {
        if (const TWFieldPtr field = fieldWithIdentifier(query.columnInt32(0))) {
            field->setPercent(query.columnDouble(1));
            field->setIncludedInTotal(query.columnBool(2));
        }
    }
    return query.error();
}

// ---- Fields ----

TWErrorResult TWBusiness::addField(const TWFieldPtr &field, bool notify)
{
    if (!field)
        return misuse();
    const qint32 identifier = field->identifier();
    const std::uint32_t type = field->type();
    // A custom field's column is named after its identifier, so only positive
    // identifiers make a valid column name; built-in fields are negative.
    const bool builtIn = type == TWFieldTypeStandard;
    if (identifier == 0 || type > TWFieldTypePercentTotal || (builtIn && identifier > 0) ||
        (!builtIn && identifier < 1))
        return misuse();

    WriteScope scope(*this);
    if (hasColumn(type)) {
        const QString sql =
            QStringLiteral("ALTER TABLE transactions ADD %1 %2;")
                .arg(TWSchema::userColumnName(identifier), TWSchema::userColumnType(int(type)));
        if (TWErrorResult error = executeSQL(sql))
            return scope.finish(error);
    }
    TWStatement insert = statement(kFieldsInsertSQL);
    insert.bindInt32(identifier)
        .bindText(field->name())
        .bindInt32(qint32(type))
        .bindBool(field->autofillTrigger())
        .bindBool(field->autofillValue());
    if (TWErrorResult error = insert.execute())
        return scope.finish(error);

    const TWFieldList oldFields = m_fields;
    TWFieldList fields = m_fields;
    fields.append(field);
    setFieldList(fields);
    scope.onRollback([this, oldFields] { setFieldList(oldFields); });
    fieldHookColumnSettingsAddField(field);
    fieldHookExportSettingsAddField(field);
    TWRecordWrites::post(scope, notify, TWFieldNewNotification, TWFieldNotificationKey, field);
    return scope.commit();
}

TWErrorResult TWBusiness::rebuildTransactionsTableWithout(const TWField &field)
{
    // The remaining custom columns, declared as they were created.
    QString definitions = QString::fromLatin1(TWSchema::transactionsDeclarations);
    QString names = QString::fromLatin1(TWSchema::transactionsColumnNames);
    for (const TWFieldPtr &other : userFields()) {
        if (other->identifier() == field.identifier() || !hasColumn(other->type()))
            continue;
        const QString column = TWSchema::userColumnName(other->identifier());
        definitions +=
            QStringLiteral(", %1 %2").arg(column, TWSchema::userColumnType(int(other->type())));
        names += QStringLiteral(", %1").arg(column);
    }
    const QString steps[] = {
        QStringLiteral("CREATE TEMPORARY TABLE transactions_backup(%1);").arg(definitions),
        QStringLiteral("INSERT INTO transactions_backup SELECT %1 FROM transactions;").arg(names),
        QStringLiteral("DROP TABLE transactions;"),
        QStringLiteral("CREATE TABLE transactions (%1);").arg(definitions),
        QStringLiteral("INSERT INTO transactions SELECT %1 FROM transactions_backup;").arg(names),
        QStringLiteral("DROP TABLE transactions_backup;"),
    };
    for (const QString &sql : steps) {
        if (TWErrorResult error = executeSQL(sql))
            return error;
    }
    // Dropping the table dropped its index.
    return createIndexes();
}

TWErrorResult TWBusiness::deleteField(const TWFieldPtr &field, bool notify)
{
    if (!field)
        return misuse();
    const qint32 identifier = field->identifier();
    const std::uint32_t type = field->type();

    // One write: if any step fails, the table rebuild and every deletion
    // before it roll back, so no transaction row or column is lost.
    WriteScope scope(*this);
    if (hasColumn(type)) {
        if (TWErrorResult error = rebuildTransactionsTableWithout(*field))
            return scope.finish(error);
    }
    for (const char *sql : {kFieldsDeleteSQL, kFilterCriterionDeleteFieldSQL}) {
        if (TWErrorResult error = TWRecordWrites::deleteRow(*this, sql, identifier))
            return scope.finish(error);
    }
    if (TWErrorResult error = deleteAllFieldValues(identifier, notify))
        return scope.finish(error);
    QList<const char *> typeRows;
    if (type == TWFieldTypePercentTotal)
        typeRows = {kPercentTotalsDeleteSQL};
    else if (type == TWFieldTypeTags)
        typeRows = {kTagsDeleteFieldSQL, kTransactionTagsDeleteFieldSQL};
    else if (type == TWFieldTypeList)
        typeRows = {kListsDeleteFieldSQL};
    for (const char *sql : std::as_const(typeRows)) {
        if (TWErrorResult error = TWRecordWrites::deleteRow(*this, sql, identifier))
            return scope.finish(error);
    }

    fieldHookColumnSettingsDeleteField(field);
    fieldHookImportSettingsRemoveField(field);
    fieldHookExportSettingsRemoveField(field);
    fieldHookTransactionsRemoveFieldValues(field);
    fieldHookFiltersDeleteFieldCriteria(field);

    const TWFieldList oldFields = m_fields;
    TWFieldList fields;
    fields.reserve(oldFields.size());
    for (const TWFieldPtr &existing : oldFields) {
        if (existing && existing->identifier() != identifier)
            fields.append(existing);
    }
    setFieldList(fields);
    scope.onRollback([this, oldFields] { setFieldList(oldFields); });
    TWRecordWrites::post(scope, notify, TWFieldDeleteNotification, TWFieldNotificationKey, field);
    return scope.commit();
}

TWErrorResult TWBusiness::updateField(const TWFieldPtr &field, bool notify)
{
    if (!field)
        return misuse();
    WriteScope scope(*this);
    TWStatement update = statement(kFieldsUpdateSQL);
    update.bindText(field->name())
        .bindBool(field->autofillTrigger())
        .bindBool(field->autofillValue())
        .bindInt32(field->identifier());
    if (TWErrorResult error = update.executeUpdate())
        return scope.finish(error);

    const TWFieldList oldFields = m_fields;
    TWFieldList fields = m_fields;
    sortByName(fields);
    if (!fields.contains(field)) {
        const auto listed =
            std::find_if(fields.begin(), fields.end(), [&field](const TWFieldPtr &existing) {
                return existing && existing->identifier() == field->identifier();
            });
        if (listed != fields.end())
            fields.erase(listed);
        fields.append(field);
    }
    setFieldList(fields);
    scope.onRollback([this, oldFields] { setFieldList(oldFields); });
    TWRecordWrites::post(scope, notify, TWFieldUpdateNotification, TWFieldNotificationKey, field);
    return scope.commit();
}

TWErrorResult TWBusiness::updateFieldAutofill(const TWFieldPtr &field, bool notify)
{
    if (!field)
        return misuse();
    WriteScope scope(*this);
    TWStatement update = statement(kFieldsUpdateAutofillSQL);
    update.bindBool(field->autofillTrigger())
        .bindBool(field->autofillValue())
        .bindInt32(field->identifier());
    if (TWErrorResult error = update.executeUpdate())
        return scope.finish(error);
    TWRecordWrites::post(scope, notify, TWFieldUpdateNotification, TWFieldNotificationKey, field);
    return scope.commit();
}

// ---- Choices ----

TWErrorResult TWBusiness::addFieldListItem(const TWFieldListItemPtr &item, const TWFieldPtr &field,
                                           bool notify)
{
    return addChoice(*this, item, field, notify);
}

TWErrorResult TWBusiness::updateFieldListItem(const TWFieldListItemPtr &item,
                                              const TWFieldPtr &field, bool notify)
{
    return updateChoice(*this, item, field, notify);
}

TWErrorResult TWBusiness::addFieldTagItem(const TWFieldTagItemPtr &item, const TWFieldPtr &field,
                                          bool notify)
{
    return addChoice(*this, item, field, notify);
}

TWErrorResult TWBusiness::updateFieldTagItem(const TWFieldTagItemPtr &item, const TWFieldPtr &field,
                                             bool notify)
{
    return updateChoice(*this, item, field, notify);
}

TWErrorResult TWBusiness::deleteFieldListItem(const TWFieldListItemPtr &item,
                                              const TWFieldPtr &field, bool notify)
{
    if (!item || !field)
        return misuse();
    const qint32 identifier = item->identifier();
    WriteScope scope(*this);
    TWStatement remove = statement(kListsDeleteSQL);
    remove.bindInt32(identifier).bindInt32(field->identifier());
    if (TWErrorResult error = remove.execute())
        return scope.finish(error);
    // Transactions that had the choice have none. Only a list field's column
    // holds choice identifiers.
    if (field->type() == TWFieldTypeList) {
        const QString column = TWSchema::userColumnName(field->identifier());
        if (TWErrorResult error = executeSQL(QStringLiteral("UPDATE transactions SET %1=-1 "
                                                            "WHERE %1=%2;")
                                                 .arg(column)
                                                 .arg(identifier)))
            return scope.finish(error);
    }
    TWStatement criteria = statement(kFilterCriterionDeleteChoiceSQL);
    criteria.bindInt32(field->identifier()).bindInt64(identifier);
    if (TWErrorResult error = criteria.execute())
        return scope.finish(error);

    fieldHookTransactionsClearListItem(field, identifier);
    fieldHookFiltersDeleteChoiceCriteria(field, identifier);
    removeChoice(scope, item, field);
    TWRecordWrites::post(scope, notify, TWFieldUpdateNotification, TWFieldNotificationKey, field);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteFieldTagItem(const TWFieldTagItemPtr &item, const TWFieldPtr &field,
                                             bool notify)
{
    if (!item || !field)
        return misuse();
    const qint32 identifier = item->identifier();
    WriteScope scope(*this);
    TWStatement remove = statement(kTagsDeleteSQL);
    remove.bindInt32(identifier).bindInt32(field->identifier());
    if (TWErrorResult error = remove.execute())
        return scope.finish(error);
    TWStatement assignments = statement(kTransactionTagsDeleteTagSQL);
    assignments.bindInt32(field->identifier()).bindInt32(identifier);
    if (TWErrorResult error = assignments.execute())
        return scope.finish(error);
    TWStatement criteria = statement(kFilterCriterionDeleteChoiceSQL);
    criteria.bindInt32(field->identifier()).bindInt64(identifier);
    if (TWErrorResult error = criteria.execute())
        return scope.finish(error);

    fieldHookTransactionsRemoveTagItem(field, identifier);
    fieldHookFiltersDeleteChoiceCriteria(field, identifier);
    removeChoice(scope, item, field);
    TWRecordWrites::post(scope, notify, TWFieldUpdateNotification, TWFieldNotificationKey, field);
    return scope.commit();
}

// ---- Percent settings ----

TWErrorResult TWBusiness::updateFieldPercentTotal(const TWFieldPtr &field, bool notify)
{
    if (!field || !std::isfinite(field->percent()))
        return misuse();
    // The setting is a row of its own, written afresh: a field deleted
    // meanwhile would get a setting that nothing ever removes.
    if (!fieldWithIdentifier(field->identifier()))
        return databaseError(SQLITE_NOTFOUND);
    WriteScope scope(*this);
    if (TWErrorResult error =
            TWRecordWrites::deleteRow(*this, kPercentTotalsDeleteSQL, field->identifier()))
        return scope.finish(error);
    TWStatement insert = statement(kPercentTotalsInsertSQL);
    insert.bindInt32(field->identifier())
        .bindDouble(field->percent())
        .bindBool(field->includedInTotal());
    if (TWErrorResult error = insert.execute())
        return scope.finish(error);
    TWRecordWrites::post(scope, notify, TWFieldUpdateNotification, TWFieldNotificationKey, field);
    return scope.commit();
}

// ---- Helpers ----

TWStatement TWBusiness::temporaryStatement(const QString &sql)
{
    if (!m_database)
        return TWStatement(nullptr, nullptr, false, 0, SQLITE_MISUSE);
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *prepared = nullptr;
    int rc = sqlite3_prepare_v2(m_database, text.constData(), int(text.size()), &prepared, nullptr);
    if (rc == SQLITE_OK && !prepared)
        rc = SQLITE_MISUSE;
    if (rc != SQLITE_OK) {
        sqlite3_finalize(prepared);
        return TWStatement(nullptr, nullptr, false, 0, rc);
    }
    return TWStatement(this, prepared, true, m_generation, SQLITE_OK);
}

// ---- Calls into the settings and filters (the transaction ones are
// defined with the transactions) ----

void TWBusiness::fieldHookColumnSettingsAddField(const TWFieldPtr &field)
{
    if (field)
        columnSettingsAddField(*field);
}
void TWBusiness::fieldHookExportSettingsAddField(const TWFieldPtr &field)
{
    exportSettingsAddAccount(nullptr, field);
}
void TWBusiness::fieldHookColumnSettingsDeleteField(const TWFieldPtr &field)
{
    if (field)
        columnSettingsDeleteField(*field);
}
void TWBusiness::fieldHookImportSettingsRemoveField(const TWFieldPtr &field)
{
    importSettingsRemoveAccount(nullptr, field);
}
void TWBusiness::fieldHookExportSettingsRemoveField(const TWFieldPtr &field)
{
    exportSettingsRemoveAccount(nullptr, field, nullptr);
}
void TWBusiness::fieldHookFiltersDeleteFieldCriteria(const TWFieldPtr &field)
{
    if (field)
        filtersDeleteCriteria(*field, std::nullopt);
}
void TWBusiness::fieldHookFiltersDeleteChoiceCriteria(const TWFieldPtr &field,
                                                      qint32 choiceIdentifier)
{
    if (field)
        filtersDeleteCriteria(*field, choiceIdentifier);
}
