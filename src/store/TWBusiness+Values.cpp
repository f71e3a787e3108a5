// Remembered values: the texts typed into payees, descriptions, custom text
// fields and the names of projects, tasks, expenses, invoices and bills, one
// list per code, offered back for completion.

#include "store/TWBusiness.h"

#include "model/TWBuiltInFields.h"
#include "store/TWRecordWrites.h"
#include "store/TWSchema.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>

namespace
{

const char *const kValuesMaxSQL = "SELECT MAX(identifier) FROM transactionValues;";
const char *const kValuesListSQL = "SELECT identifier, name FROM transactionValues "
                                   "WHERE fieldIdentifier=? ORDER BY name ASC;";
const char *const kValuesRowSQL =
    "SELECT fieldIdentifier, name FROM transactionValues WHERE identifier=?;";
const char *const kValuesCountSQL = "SELECT COUNT(1) FROM transactionValues;";
const char *const kValuesInsertSQL =
    "INSERT INTO transactionValues (identifier, fieldIdentifier, name) VALUES (?, ?, ?);";
const char *const kValuesDeleteSQL = "DELETE FROM transactionValues WHERE identifier=?;";
const char *const kValuesDeleteListSQL = "DELETE FROM transactionValues WHERE fieldIdentifier=?;";
const char *const kValuesRenameSQL = "UPDATE transactionValues SET name=? WHERE identifier=?;";

TWErrorResult misuse()
{
    return TWBusiness::databaseError(SQLITE_MISUSE);
}

} // namespace

// ---- The lists held in memory ----

QHash<QString, int> *TWBusiness::valueNames(qint32 code)
{
    // Asked on every write of a transaction: a list held is found at once.
    if (m_valueNamesGeneration == m_generation) {
        const auto found = m_valueNames.find(code);
        if (found != m_valueNames.end())
            return &found.value();
    }
    if (!readValueNames({code}))
        return nullptr;
    return &m_valueNames.find(code).value();
}

bool TWBusiness::readValueNames(const QList<qint32> &codes)
{
    if (m_valueNamesGeneration != m_generation) {
        m_valueNames.clear();
        m_valueNamesGeneration = m_generation;
    }
    // The lists asked for that are not held yet are read in one pass: the
    // table has no index by list, and a write asks for the payees, the
    // descriptions and its text fields together. A list already held stays
    // as it is.
    //
    // Read inside a write, the lists include that write's uncommitted values;
    // every values write makes its rollback forget its list, so a list read
    // here never outlives rows that were rolled back.
    QHash<qint32, QHash<QString, int>> read;
    for (const qint32 code : codes) {
        if (!m_valueNames.contains(code))
            read.insert(code, {});
    }
    if (read.isEmpty())
        return true;
    // Only the rows of the lists wanted come back: the other rows are passed
    // over inside SQLite, which costs a fraction of returning them.
    QByteArray sql =
        "SELECT fieldIdentifier, name FROM transactionValues WHERE fieldIdentifier IN (";
    for (qsizetype i = 0; i < read.size(); ++i)
        sql += i == 0 ? "?" : ", ?";
    sql += ");";
    TWStatement query = statement(sql.constData());
    for (auto list = read.cbegin(); list != read.cend(); ++list)
        query.bindInt32(list.key());
    qint32 lastCode = 0;
    QHash<QString, int> *last = nullptr;
    bool first = true;
    while (query.next()) {
        const qint32 code = query.columnInt32(0);
        if (first || code != lastCode) {
            first = false;
            lastCode = code;
            const auto wanted = read.find(code);
            last = wanted == read.end() ? nullptr : &wanted.value();
        }
        if (last)
            ++(*last)[query.columnText(1)];
    }
    if (query.error())
        return false;
    for (auto list = read.begin(); list != read.end(); ++list)
        m_valueNames.insert(list.key(), std::move(list.value()));
    return true;
}

TWErrorResult TWBusiness::loadTransactionValueNames()
{
    // Every new entry is checked against the payees and descriptions: they
    // are read with the document, so that the first entry typed does not
    // wait for a pass over the table. A failure leaves them to that entry.
    (void)readValueNames({TWFieldIdentifierPayee, TWFieldIdentifierDescription});
    return std::nullopt;
}

void TWBusiness::countValueName(qint32 code, const QString &name, int delta)
{
    if (m_valueNamesGeneration != m_generation)
        return;
    const auto found = m_valueNames.find(code);
    if (found == m_valueNames.end())
        return;
    QHash<QString, int> &names = found.value();
    const int count = names.value(name) + delta;
    if (count > 0)
        names.insert(name, count);
    else
        names.remove(name);
}

void TWBusiness::forgetValueNamesOnRollback(WriteScope &scope, qint32 code)
{
    scope.onRollback([this, code] { m_valueNames.remove(code); });
}

// ---- Reading ----

std::optional<TWValueList> TWBusiness::values(qint32 code)
{
    TWStatement query = statement(kValuesListSQL);
    query.bindInt32(code);
    TWValueList result;
    while (query.next())
        result.append(TWValue::valueWithName(query.columnText(1), code, query.columnInt32(0)));
    if (query.error())
        return std::nullopt;
    return result;
}

bool TWBusiness::matchValue(const QString &name, qint32 code)
{
    const QHash<QString, int> *names = valueNames(code);
    return names && names->contains(name);
}

quint32 TWBusiness::valuesCount()
{
    TWStatement query = statement(kValuesCountSQL);
    if (!query.next())
        return 0;
    return quint32(
        std::clamp<qint64>(query.columnInt64(0), 0, std::numeric_limits<quint32>::max()));
}

QList<qint32> TWBusiness::valueTransactionFields() const
{
    QList<qint32> codes = {TWFieldIdentifierPayee, TWFieldIdentifierDescription};
    for (const TWFieldPtr &field : m_fields) {
        if (field && field->type() == TWFieldTypeText)
            codes.append(field->identifier());
    }
    const auto nameOf = [this](qint32 code) {
        const TWFieldPtr field = fieldWithIdentifier(code);
        return field ? field->name() : QString();
    };
    std::stable_sort(codes.begin(), codes.end(), [&nameOf](qint32 a, qint32 b) {
        return nameOf(a).compare(nameOf(b), Qt::CaseSensitive) < 0;
    });
    return codes;
}

QList<qint32> TWBusiness::valueClientFields() const
{
    return {TWValueListProjectNames, TWValueListTaskNames, TWValueListExpenseNames,
            TWValueListInvoiceNames};
}

QList<qint32> TWBusiness::valueMerchantFields() const
{
    return {TWValueListBillNames};
}

// ---- Writing ----

qint32 TWBusiness::nextValueIdentifier()
{
    return nextIdentifier(kValuesMaxSQL, TWIdentifierFloor);
}

TWErrorResult TWBusiness::addValue(const TWValuePtr &value, bool notify)
{
    if (!value || value->identifier() == 0)
        return misuse();
    WriteScope scope(*this);
    TWStatement insert = statement(kValuesInsertSQL);
    insert.bindInt32(value->identifier())
        .bindInt32(value->fieldIdentifier())
        .bindText(value->name());
    if (TWErrorResult error = insert.execute())
        return scope.finish(error);
    countValueName(value->fieldIdentifier(), value->name(), 1);
    forgetValueNamesOnRollback(scope, value->fieldIdentifier());
    TWRecordWrites::post(scope, notify, TWValueNewNotification, TWValueNotificationKey, value);
    return scope.commit();
}

// The list and name a value's row holds; none when there is no such row.
TWResult<std::optional<TWBusiness::StoredValue>> TWBusiness::storedValue(qint32 identifier)
{
    TWStatement row = statement(kValuesRowSQL);
    row.bindInt32(identifier);
    TWResult<std::optional<StoredValue>> result;
    if (row.next())
        result.value = StoredValue{row.columnInt32(0), row.columnText(1)};
    result.error = row.error();
    return result;
}

TWErrorResult TWBusiness::deleteValue(const TWValuePtr &value, bool notify)
{
    if (!value)
        return misuse();
    WriteScope scope(*this);
    // The stored row, whose list and name leave the lists in memory.
    const TWResult<std::optional<StoredValue>> stored = storedValue(value->identifier());
    if (stored.error)
        return scope.finish(stored.error);
    const bool found = stored.value.has_value();
    const qint32 code = found ? stored.value->code : 0;
    const QString name = found ? stored.value->name : QString();

    if (TWErrorResult error =
            TWRecordWrites::deleteRow(*this, kValuesDeleteSQL, value->identifier()))
        return scope.finish(error);
    if (found) {
        countValueName(code, name, -1);
        forgetValueNamesOnRollback(scope, code);
    }
    TWRecordWrites::post(scope, notify, TWValueDeleteNotification, TWValueNotificationKey, value);
    return scope.commit();
}

TWErrorResult TWBusiness::updateValue(const TWValuePtr &value, bool notify)
{
    if (!value)
        return misuse();
    WriteScope scope(*this);
    const TWResult<std::optional<StoredValue>> stored = storedValue(value->identifier());
    if (stored.error)
        return scope.finish(stored.error);
    const bool found = stored.value.has_value();
    const qint32 code = found ? stored.value->code : 0;
    const QString oldName = found ? stored.value->name : QString();

    TWStatement update = statement(kValuesRenameSQL);
    update.bindText(value->name()).bindInt32(value->identifier());
    if (TWErrorResult error = update.executeUpdate())
        return scope.finish(error);
    if (found) {
        countValueName(code, oldName, -1);
        countValueName(code, value->name(), 1);
        forgetValueNamesOnRollback(scope, code);
    }
    TWRecordWrites::post(scope, notify, TWValueUpdateNotification, TWValueNotificationKey, value);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteAllFieldValues(qint32 code, bool notify)
{
    WriteScope scope(*this);
    if (TWErrorResult error = TWRecordWrites::deleteRow(*this, kValuesDeleteListSQL, code))
        return scope.finish(error);
    if (m_valueNamesGeneration != m_generation) {
        m_valueNames.clear();
        m_valueNamesGeneration = m_generation;
    }
    m_valueNames.insert(code, {});
    forgetValueNamesOnRollback(scope, code);
    if (notify)
        scope.post(TWValueDeleteAllNotification);
    return scope.commit();
}

TWErrorResult TWBusiness::rebuildValues(qint32 code)
{
    // Where the list's texts come from.
    QString source;
    switch (code) {
    case TWValueListBillNames:
        source = QStringLiteral("SELECT name FROM bills;");
        break;
    case TWValueListInvoiceNames:
        source = QStringLiteral("SELECT name FROM invoices;");
        break;
    case TWValueListExpenseNames:
        source = QStringLiteral("SELECT name FROM expenses;");
        break;
    case TWValueListTaskNames:
        source = QStringLiteral("SELECT name FROM tasks;");
        break;
    case TWValueListProjectNames:
        source = QStringLiteral("SELECT name FROM projects;");
        break;
    default:
        if (const TWFieldPtr field = fieldWithIdentifier(code)) {
            if (code == TWFieldIdentifierPayee)
                source = QStringLiteral("SELECT payee FROM transactions;");
            else if (code == TWFieldIdentifierDescription)
                source = QStringLiteral("SELECT description FROM transactions;");
            else if (!TWSchema::userColumnType(int(field->type())).isEmpty())
                source = QStringLiteral("SELECT %1 FROM transactions;")
                             .arg(TWSchema::userColumnName(code));
        }
        break;
    }
    if (source.isEmpty())
        return std::nullopt;

    // One write: a failure keeps the old list.
    WriteScope scope(*this);
    if (TWErrorResult error = deleteAllFieldValues(code, true))
        return scope.finish(error);

    QStringList kept;
    {
        TWStatement query = temporaryStatement(source);
        QSet<QString> seen;
        while (query.next()) {
            const QString text = query.columnText(0);
            if (text.isEmpty())
                continue;
            const QString folded = text.toCaseFolded();
            if (seen.contains(folded))
                continue;
            seen.insert(folded);
            kept.append(text);
        }
        if (TWErrorResult error = query.error())
            return scope.finish(error);
    }
    if (kept.isEmpty())
        return scope.commit();

    const qint32 first = nextValueIdentifier();
    if (first == 0 || qint64(first) + kept.size() - 1 > std::numeric_limits<qint32>::max())
        return scope.finish(misuse());
    qint32 identifier = first;
    QHash<QString, int> names;
    names.reserve(kept.size());
    for (const QString &text : std::as_const(kept)) {
        TWStatement insert = statement(kValuesInsertSQL);
        insert.bindInt32(identifier++).bindInt32(code).bindText(text);
        if (TWErrorResult error = insert.execute())
            return scope.finish(error);
        ++names[text];
    }
    m_valueNames.insert(code, names);
    forgetValueNamesOnRollback(scope, code);
    scope.post(TWValueNewNotification);
    return scope.commit();
}

// ---- Remembering ----

TWErrorResult TWBusiness::rememberValue(const QString &name, qint32 code, bool notify)
{
    if (name.isEmpty() || matchValue(name, code))
        return std::nullopt;
    const qint32 identifier = nextValueIdentifier();
    if (identifier == 0)
        return misuse();
    return addValue(TWValue::valueWithName(name, code, identifier), notify);
}

TWErrorResult TWBusiness::rememberTransactionValues(const TWTransaction &transaction, bool notify)
{
    QList<std::pair<QString, qint32>> texts;
    if (!transaction.payee().isEmpty())
        texts.append({transaction.payee(), TWFieldIdentifierPayee});
    if (!transaction.description().isEmpty())
        texts.append({transaction.description(), TWFieldIdentifierDescription});
    if (transaction.hasFieldValues()) {
        for (const TWFieldPtr &field : std::as_const(m_fields)) {
            if (!field || field->type() != TWFieldTypeText)
                continue;
            // The first value of the field, as the transaction reads its own.
            const TWFieldValuePtr value = transaction.fieldValueWithIdentifier(field->identifier());
            if (value && value->isValid() && !value->text().isEmpty())
                texts.append({value->text(), field->identifier()});
        }
    }
    QList<qint32> codes;
    for (const auto &[name, code] : std::as_const(texts))
        codes.append(code);
    // A list that cannot be read here is tried again by `rememberValue`.
    (void)readValueNames(codes);
    // The texts not yet in their lists; a transaction whose texts are all
    // known (most of them) writes nothing.
    QList<std::pair<QString, qint32>> missing;
    for (const auto &[name, code] : std::as_const(texts)) {
        if (!matchValue(name, code))
            missing.append({name, code});
    }
    if (missing.isEmpty())
        return std::nullopt;
    WriteScope scope(*this);
    for (const auto &[name, code] : std::as_const(missing)) {
        if (TWErrorResult error = rememberValue(name, code, notify))
            return scope.finish(error);
    }
    return scope.commit();
}

void TWBusiness::notifyValuesAdd()
{
    notifyBulk(TWValueNewNotification);
}

void TWBusiness::notifyValuesDelete()
{
    notifyBulk(TWValueNewNotification);
}

void TWBusiness::notifyValuesUpdate()
{
    notifyBulk(TWValueNewNotification);
}
