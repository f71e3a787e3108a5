// What a transaction stores beside its own row: its custom values (one column
// per custom field) and tags, its split lines, and its attachment rows with
// the queue of attachment files to remove at the next save.

#include "store/TWBusiness.h"

#include "store/TWPackageFiles.h"

#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"
#include "store/TWSchema.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <limits>

namespace
{

const char *const kTransactionTagsDeleteTransactionSQL =
    "DELETE FROM transactionTags WHERE transactionIdentifier=?;";
const char *const kTransactionTagsInsertSQL = "INSERT INTO transactionTags ( "
                                              "transactionIdentifier, fieldIdentifier, "
                                              "tagIdentifier ) VALUES ( ?, ?, ? );";

const char *const kSplitsMaxSQL = "SELECT MAX(identifier) FROM splits;";
const char *const kSplitsGetIdentifierTransactionSQL =
    "SELECT identifier FROM splits WHERE transactionIdentifier=?;";
const char *const kSplitsInsertSQL =
    "INSERT INTO splits ( identifier, transactionIdentifier, description, accountIdentifier, "
    "total, totalAccount, totalBusiness, totalStart, totalEnd, unit ) "
    "VALUES ( ?, ?, ?, ?, ?, ?, ?, ?, ?, ? );";
const char *const kSplitsUpdateSQL =
    "UPDATE splits SET description=?, accountIdentifier=?, total=?, totalAccount=?, "
    "totalBusiness=?, totalStart=?, totalEnd=?, unit=? WHERE identifier=?;";
const char *const kSplitsDeleteSQL = "DELETE FROM splits WHERE identifier=?;";
const char *const kSplitsDeleteTransactionSQL = "DELETE FROM splits WHERE transactionIdentifier=?;";

const char *const kAttachmentsMaxSQL = "SELECT MAX(identifier) FROM attachments;";
const char *const kAttachmentsInsertSQL =
    "INSERT INTO attachments ( identifier, transactionIdentifier, fileName, mimeType, type, "
    "attachmentOrder, timeSeconds, photoWidth, photoHeight, fileSize ) "
    "VALUES ( ?, ?, ?, ?, ?, ?, ?, ?, ?, ? );";
const char *const kAttachmentsDeleteSQL = "DELETE FROM attachments WHERE transactionIdentifier=?;";

bool hasColumn(std::uint32_t type)
{
    return type != TWFieldTypeStandard && type <= TWFieldTypePercentTotal &&
           type != TWFieldTypeTags;
}

TWErrorResult misuse()
{
    return TWBusiness::databaseError(SQLITE_MISUSE);
}

// Binds a custom value as its column stores it (no value: NULL). Numbers are
// bound as numbers, never spliced into the text, so neither the locale's
// decimal comma nor a value that is not a number can reach the SQL.
void bindFieldValue(TWStatement &statement, const TWFieldValue *value)
{
    if (!value || !value->hasValue()) {
        statement.bindNull();
        return;
    }
    switch (value->type()) {
    case TWFieldTypeText:
        statement.bindText(value->text());
        break;
    case TWFieldTypeCurrency:
    case TWFieldTypePercentTotal:
        statement.bindInt64(value->currency());
        break;
    case TWFieldTypeNumber:
        statement.bindDouble(value->number());
        break;
    case TWFieldTypePercent:
        statement.bindDouble(double(value->percent()));
        break;
    case TWFieldTypeCheckbox:
        statement.bindBool(value->checkboxValue());
        break;
    case TWFieldTypeDate:
        statement.bindInt64(qint64(TWDateAdditions::dateValue(value->date())));
        break;
    case TWFieldTypeList:
        statement.bindInt32(value->listItemIdentifier());
        break;
    default:
        statement.bindNull();
        break;
    }
}

// The file is inside the folder (not the folder itself, not above it).
bool isInsideFolder(const QString &path, const QString &folder)
{
    if (path.isEmpty() || folder.isEmpty())
        return false;
    const QString cleanFolder = QDir::cleanPath(QDir(folder).absolutePath());
    const QString cleanPath = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return cleanPath.startsWith(cleanFolder + QLatin1Char('/'));
}

} // namespace

// ---- Custom values and tags ----

TWErrorResult TWBusiness::transactionFields(const TWTransaction &transaction,
                                            TransactionFields *fields) const
{
    for (const TWFieldPtr &field : m_fields) {
        if (!field || field->type() == TWFieldTypeStandard ||
            field->type() > TWFieldTypePercentTotal)
            continue;
        TWFieldValuePtr value = transaction.hasFieldValues()
                                    ? transaction.fieldValueWithIdentifier(field->identifier())
                                    : TWFieldValuePtr();
        if (value && (!value->isValid() || value->type() != field->type()))
            return databaseError(SQLITE_MISMATCH,
                                 TWLocalized("fieldValueInvalidDescription").arg(field->name()));
        if (field->type() == TWFieldTypeTags) {
            if (value && value->hasValue())
                fields->tags.append({field->identifier(), value->tagItemIdentifiers()});
        } else if (hasColumn(field->type())) {
            fields->columns.append({field->identifier(), std::move(value)});
        }
    }
    return std::nullopt;
}

const TWBusiness::TransactionRowSQL &
TWBusiness::transactionRowSQL(const QList<std::pair<qint32, TWFieldValuePtr>> &columns)
{
    bool same = m_transactionRowSQL.fields.size() == columns.size();
    for (qsizetype i = 0; same && i < columns.size(); ++i)
        same = m_transactionRowSQL.fields.at(i) == columns.at(i).first;
    if (same && !m_transactionRowSQL.insert.isEmpty())
        return m_transactionRowSQL;
    // Built from integer field identifiers only; the values are bound. The
    // same set of fields gives the same texts, so each statement is prepared
    // once and kept like the fixed ones.
    QByteArray names;
    QByteArray marks;
    QByteArray sets;
    for (const auto &[identifier, value] : columns) {
        const QByteArray name = TWSchema::userColumnName(identifier).toLatin1();
        names += ", " + name;
        marks += ", ?";
        sets += (sets.isEmpty() ? "" : ", ") + name + "=?";
    }
    TransactionRowSQL sql;
    for (const auto &[identifier, value] : columns)
        sql.fields.append(identifier);
    sql.insert = "INSERT INTO transactions ( identifier, type, state, payee, description, "
                 "account1Identifier, account2Identifier, date, total, totalAccount1, "
                 "totalAccount2, totalBusiness, totalStart, totalEnd, unit, attachments, "
                 "repeatIdentifier, cleared, notes, split, dateCreated, dateModified" +
                 names +
                 " ) VALUES ( ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                 "?, ?" +
                 marks + " );";
    sql.update = "UPDATE transactions SET type=?, state=?, payee=?, description=?, "
                 "account1Identifier=?, account2Identifier=?, date=?, total=?, totalAccount1=?, "
                 "totalAccount2=?, totalBusiness=?, totalStart=?, totalEnd=?, unit=?, "
                 "attachments=?, repeatIdentifier=?, cleared=?, notes=?, split=?, dateCreated=?, "
                 "dateModified=?" +
                 (sets.isEmpty() ? QByteArray() : ", " + sets) + " WHERE identifier=?;";
    sql.fieldsOnly =
        sets.isEmpty() ? QByteArray() : "UPDATE transactions SET " + sets + " WHERE identifier=?;";
    m_transactionRowSQL = std::move(sql);
    return m_transactionRowSQL;
}

TWErrorResult TWBusiness::replaceTransactionTags(const TWTransaction &transaction,
                                                 const TransactionFields &fields)
{
    // Always cleared first: rows left by a transaction that once had this
    // identifier must not become the new one's.
    TWStatement remove = statement(kTransactionTagsDeleteTransactionSQL);
    remove.bindInt32(transaction.identifier());
    if (TWErrorResult error = remove.execute())
        return error;
    for (const auto &[fieldIdentifier, identifiers] : fields.tags) {
        for (const qint32 tag : identifiers) {
            TWStatement insert = statement(kTransactionTagsInsertSQL);
            insert.bindInt32(transaction.identifier()).bindInt32(fieldIdentifier).bindInt32(tag);
            if (TWErrorResult error = insert.execute())
                return error;
        }
    }
    return std::nullopt;
}

TWErrorResult TWBusiness::writeTransactionRow(const TWTransaction &t, bool insert)
{
    const TransactionRows rows(*this, t.identifier());
    // The custom values are checked before anything is written, and go into
    // the row's own statement: one write of the row instead of two.
    TransactionFields fields;
    if (TWErrorResult error = transactionFields(t, &fields))
        return error;
    const TransactionRowSQL &sql = transactionRowSQL(fields.columns);
    TWStatement row = statement(insert ? sql.insert.constData() : sql.update.constData());
    if (insert)
        row.bindInt32(t.identifier());
    row.bindInt64(qint64(t.type()))
        .bindInt64(qint64(t.state()))
        .bindText(t.payee())
        .bindText(t.description())
        .bindInt32(t.account1Identifier())
        .bindInt32(t.account2Identifier())
        .bindDouble(double(TWDateAdditions::dateValue(t.date())))
        .bindInt64(t.total())
        .bindInt64(t.totalAccount1())
        .bindInt64(t.totalAccount2())
        .bindInt64(t.totalBusiness())
        .bindInt64(t.totalStart())
        .bindInt64(t.totalEnd())
        .bindText(t.unit() ? t.unit()->code() : QString())
        .bindBool(t.hasAttachments())
        .bindInt32(t.repeatIdentifier())
        .bindBool(t.cleared())
        .bindText(t.notes())
        .bindBool(t.hasSplit())
        .bindDouble(t.storedDateCreated())
        .bindDouble(t.storedDateModified());
    for (const auto &[identifier, value] : std::as_const(fields.columns))
        bindFieldValue(row, value.get());
    if (!insert)
        row.bindInt32(t.identifier());
    if (TWErrorResult error = row.execute()) {
        // SQLite's own words say which column or value it refused.
        return fields.columns.isEmpty() ? error : databaseErrorWithMessage(error->code());
    }
    return replaceTransactionTags(t, fields);
}

TWErrorResult TWBusiness::updateTransactionFields(const TWTransaction &transaction)
{
    TransactionFields fields;
    if (TWErrorResult error = transactionFields(transaction, &fields))
        return error;
    WriteScope scope(*this);
    if (TWErrorResult error = replaceTransactionTags(transaction, fields))
        return scope.finish(error);
    if (!fields.columns.isEmpty()) {
        TWStatement update = statement(transactionRowSQL(fields.columns).fieldsOnly.constData());
        for (const auto &[identifier, value] : std::as_const(fields.columns))
            bindFieldValue(update, value.get());
        update.bindInt32(transaction.identifier());
        if (TWErrorResult error = update.execute())
            return scope.finish(databaseErrorWithMessage(error->code()));
    }
    return scope.commit();
}

// ---- Splits ----

qint32 TWBusiness::nextSplitIdentifier()
{
    return nextIdentifier(kSplitsMaxSQL);
}

TWErrorResult TWBusiness::addSplit(const TWSplitPtr &split, const TWTransaction &transaction)
{
    if (!split)
        return misuse();
    WriteScope scope(*this);
    const qint32 oldIdentifier = split->identifier();
    qint32 identifier = oldIdentifier;
    // A new line, or a copy made for another record (a repeat occurrence):
    // a fresh row, never the row of the line it was copied from.
    if (identifier == 0) {
        identifier = nextSplitIdentifier();
        if (identifier == 0)
            return scope.finish(misuse());
    }
    TWStatement insert = statement(kSplitsInsertSQL);
    insert.bindInt32(identifier)
        .bindInt32(transaction.identifier())
        .bindText(split->description())
        .bindInt32(split->accountIdentifier())
        .bindInt64(split->total())
        .bindInt64(split->totalAccount())
        .bindInt64(split->totalBusiness())
        .bindInt64(split->totalStart())
        .bindInt64(split->totalEnd())
        .bindText(split->unit() ? split->unit()->code() : QString());
    if (TWErrorResult error = insert.execute())
        return scope.finish(error);
    if (identifier != oldIdentifier) {
        split->setIdentifier(identifier);
        scope.onRollback([split, oldIdentifier] { split->setIdentifier(oldIdentifier); });
    }
    return scope.commit();
}

TWErrorResult TWBusiness::updateSplit(const TWSplitPtr &split)
{
    if (!split)
        return misuse();
    WriteScope scope(*this);
    TWStatement update = statement(kSplitsUpdateSQL);
    update.bindText(split->description())
        .bindInt32(split->accountIdentifier())
        .bindInt64(split->total())
        .bindInt64(split->totalAccount())
        .bindInt64(split->totalBusiness())
        .bindInt64(split->totalStart())
        .bindInt64(split->totalEnd())
        .bindText(split->unit() ? split->unit()->code() : QString())
        .bindInt32(split->identifier());
    return scope.finish(update.executeUpdate());
}

TWErrorResult TWBusiness::deleteSplit(const TWSplitPtr &split)
{
    if (!split)
        return misuse();
    WriteScope scope(*this);
    TWStatement remove = statement(kSplitsDeleteSQL);
    remove.bindInt32(split->identifier());
    if (TWErrorResult error = remove.execute())
        return scope.finish(error);
    return scope.finish(deleteSplitRelationships(*split));
}

TWErrorResult TWBusiness::saveTransactionSplits(const TWTransaction &transaction)
{
    if (!transaction.hasSplit())
        return std::nullopt;
    WriteScope scope(*this);
    for (const TWSplitPtr &split : transaction.splits()) {
        if (!split)
            continue;
        if (TWErrorResult error = addSplit(split, transaction))
            return scope.finish(error);
    }
    return scope.commit();
}

TWResult<QSet<qint32>> TWBusiness::storedSplitIdentifiers(qint32 transactionIdentifier)
{
    TWStatement query = statement(kSplitsGetIdentifierTransactionSQL);
    query.bindInt32(transactionIdentifier);
    TWResult<QSet<qint32>> result;
    while (query.next())
        result.value.insert(query.columnInt32(0));
    result.error = query.error();
    return result;
}

TWErrorResult TWBusiness::updateTransactionSplits(const TWTransaction &transaction)
{
    WriteScope scope(*this);
    const TransactionRows rows(*this, transaction.identifier());
    TWResult<QSet<qint32>> read = storedSplitIdentifiers(transaction.identifier());
    if (read.error)
        return scope.finish(read.error);
    QSet<qint32> *stored = &read.value;
    // A transaction that is no longer split keeps no lines.
    const TWSplitList splits = transaction.hasSplit() ? transaction.splits() : TWSplitList();
    for (const TWSplitPtr &split : splits) {
        if (!split)
            continue;
        TWErrorResult error;
        if (split->identifier() != 0 && stored->remove(split->identifier())) {
            error = updateSplit(split);
        } else {
            // New, or a line this transaction has not stored (one copied from
            // another transaction): a new row with its own identifier, so no
            // other transaction's line is written over.
            if (split->identifier() != 0) {
                const qint32 oldIdentifier = split->identifier();
                split->setIdentifier(0);
                scope.onRollback([split, oldIdentifier] { split->setIdentifier(oldIdentifier); });
            }
            error = addSplit(split, transaction);
        }
        if (error)
            return scope.finish(error);
    }
    QList<qint32> remaining = stored->values();
    std::sort(remaining.begin(), remaining.end());
    for (const qint32 identifier : std::as_const(remaining)) {
        if (TWErrorResult error = deleteSplit(TWSplit::splitWithIdentifier(identifier)))
            return scope.finish(error);
    }
    return scope.commit();
}

TWErrorResult TWBusiness::deleteTransactionSplits(const TWTransaction &transaction)
{
    WriteScope scope(*this);
    TWStatement remove = statement(kSplitsDeleteTransactionSQL);
    remove.bindInt32(transaction.identifier());
    return scope.finish(remove.execute());
}

// ---- Attachments ----

qint32 TWBusiness::nextAttachmentIdentifier()
{
    // An identifier names a file in the package. One freed by a delete may
    // still be the file of the saved document until the next save, so none
    // is given out twice, and none whose number a file in the package takes.
    const qint64 next = nextIdentifier(kAttachmentsMaxSQL);
    if (next == 0)
        return 0;
    if (m_attachmentHighWater < 0)
        m_attachmentHighWater = TWPackageFiles::highestNumberedEntry(m_attachmentsFolderPath);
    const qint64 identifier = std::max(next, m_attachmentHighWater + 1);
    if (identifier > std::numeric_limits<qint32>::max())
        return 0;
    m_attachmentHighWater = identifier;
    return qint32(identifier);
}

namespace
{

// Whether the attachment has a row to write. A new one whose file went away
// before it was stored has nothing to store; one stored before keeps its row
// when its file is gone, as the user's record that a receipt existed (a save
// names it as left out).
bool keepsAttachmentRow(const TWAttachment &attachment)
{
    return attachment.identifier() != 0 || QFileInfo::exists(attachment.filePath());
}

} // namespace

TWErrorResult TWBusiness::saveTransactionAttachments(const TWTransaction &transaction)
{
    if (!transaction.hasAttachments() || !transaction.attachments())
        return std::nullopt;
    WriteScope scope(*this);
    for (const TWAttachmentPtr &attachment : *transaction.attachments()) {
        if (!attachment || !keepsAttachmentRow(*attachment))
            continue;
        const qint32 oldIdentifier = attachment->identifier();
        qint32 identifier = oldIdentifier;
        if (identifier == 0) {
            identifier = nextAttachmentIdentifier();
            if (identifier == 0)
                return scope.finish(misuse());
        }
        TWStatement insert = statement(kAttachmentsInsertSQL);
        insert.bindInt32(identifier)
            .bindInt32(transaction.identifier())
            .bindText(attachment->fileName())
            .bindText(attachment->mimeType())
            .bindInt64(qint64(attachment->type()))
            .bindInt64(qint64(attachment->order()))
            .bindDouble(attachment->timeSeconds())
            .bindInt64(qint64(attachment->photoWidth()))
            .bindInt64(qint64(attachment->photoHeight()))
            .bindInt64(qint64(attachment->fileSize()));
        if (TWErrorResult error = insert.execute())
            return scope.finish(error);
        if (identifier != oldIdentifier) {
            attachment->setIdentifier(identifier);
            scope.onRollback(
                [attachment, oldIdentifier] { attachment->setIdentifier(oldIdentifier); });
        }
    }
    return scope.commit();
}

void TWBusiness::queueAttachmentFiles(WriteScope &scope, const TWAttachment &attachment)
{
    QStringList paths;
    if (attachment.type() == TWAttachmentTypePhoto && !attachment.thumbnailFilePath().isEmpty())
        paths.append(attachment.thumbnailFilePath());
    paths.append(attachment.filePath());
    qsizetype queued = 0;
    for (const QString &path : std::as_const(paths)) {
        if (isInsideFolder(path, m_attachmentsFolderPath)) {
            m_deleteAttachments.append(path);
            ++queued;
        }
    }
    if (queued > 0) {
        scope.onRollback([this, queued] {
            m_deleteAttachments.resize(std::max<qsizetype>(0, m_deleteAttachments.size() - queued));
        });
    }
}

void TWBusiness::deleteTransactionAttachment(const TWAttachmentPtr &attachment)
{
    if (!attachment)
        return;
    WriteScope scope(*this);
    queueAttachmentFiles(scope, *attachment);
    scope.commit();
}

TWErrorResult TWBusiness::deleteTransactionAttachments(const TWTransaction &transaction)
{
    WriteScope scope(*this);
    // Attachments never loaded are read now: their files must go with them.
    std::optional<TWAttachmentList> attachments = transaction.attachments();
    if (!attachments && transaction.hasAttachments()) {
        attachments = transactionAttachments(transaction);
        if (!attachments)
            return scope.finish(databaseError(SQLITE_ERROR));
    }
    if (attachments) {
        for (const TWAttachmentPtr &attachment : std::as_const(*attachments)) {
            if (attachment)
                queueAttachmentFiles(scope, *attachment);
        }
    }
    TWStatement remove = statement(kAttachmentsDeleteSQL);
    remove.bindInt32(transaction.identifier());
    return scope.finish(remove.execute());
}
