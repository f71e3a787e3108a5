// The document package: creating a new business, opening a package folder
// into the in-memory working database (seeding and loading every table), and
// saving the working database, the settings and the attachment files back
// into a package so that an interrupted save never leaves a half-written file.

#include "store/TWBusiness.h"

#include "store/TWPackageFiles.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "foundation/TWPropertyList.h"
#include "model/TWTransaction.h"
#include "store/TWSchema.h"
#include "store/TWTransactionEditing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QUuid>

#include <sqlite3.h>

#include <cerrno>
#include <memory>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Waiting for another process that holds the package's database file.
constexpr int kFileBusyTimeoutMilliseconds = 2000;
// Waiting for another running copy that saves into the package: long enough
// for the save of an ordinary business, short enough that the window never
// looks hung; past it the user is told at once and may try again.
constexpr int kPackageLockWaitMilliseconds = 1000;

TWError packageError(int code, const QString &description)
{
    return TWError(TWPackageErrorDomain, code, description);
}

TWError notDocumentError(const QString &path)
{
    return packageError(TWPackageNotDocumentError,
                        TWLocalized("packageNotDocumentDescription").arg(path));
}

// A database file that could not be opened or read, named, with what the
// SQLite code means.
TWError fileError(int code, const QString &path)
{
    return TWBusiness::databaseError(
        code, TWLocalized("databaseFileDescription")
                  .arg(path, TWBusiness::databaseError(code).localizedDescription()));
}

// A package whose database, settings or attachments lead elsewhere through a
// symbolic link is neither read nor written: reading would take in a file
// outside the document, and saving would rewrite it.
TWErrorResult refuseLinks(const QString &packagePath)
{
    const QString link = TWPackageFiles::firstSymbolicLink(packagePath);
    if (link.isEmpty())
        return std::nullopt;
    return packageError(TWPackageLinkError, TWLocalized("packageLinkDescription").arg(link));
}

// The cleaned absolute path of a local file URL; empty for anything else.
QString localPath(const QUrl &url)
{
    if (!url.isLocalFile() || url.toLocalFile().isEmpty())
        return {};
    return QDir::cleanPath(QFileInfo(url.toLocalFile()).absoluteFilePath());
}

// The package folder of a local file URL as it is opened and saved: its real
// path, resolved once (see TWPackageFiles::resolvedPath); empty for anything
// else. Links inside the package are refused on their own (refuseLinks).
QString packagePath(const QUrl &url)
{
    // Resolved from the path as given: cleaned as text first, a ".." after a
    // link would lead elsewhere than the system takes it.
    const QString path = localPath(url);
    return path.isEmpty() ? path : TWPackageFiles::resolvedPath(url.toLocalFile());
}

QString cleanAbsolutePath(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// A connection to a database file, closed when it goes away.
class FileConnection
{
public:
    FileConnection() = default;
    ~FileConnection() { sqlite3_close_v2(m_connection); }
    FileConnection(const FileConnection &) = delete;
    FileConnection &operator=(const FileConnection &) = delete;

    int open(const QString &path, int flags)
    {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_connection,
                                       flags | SQLITE_OPEN_NOFOLLOW, nullptr);
        if (rc == SQLITE_OK)
            sqlite3_busy_timeout(m_connection, kFileBusyTimeoutMilliseconds);
        return rc;
    }
    sqlite3 *get() const { return m_connection; }

private:
    sqlite3 *m_connection = nullptr;
};

// The first column of the first row of a statement run once; `rc` receives
// the failure, if any.
QString firstText(sqlite3 *connection, const char *sql, int *rc)
{
    sqlite3_stmt *statement = nullptr;
    *rc = sqlite3_prepare_v2(connection, sql, -1, &statement, nullptr);
    QString text;
    if (*rc == SQLITE_OK) {
        const int step = sqlite3_step(statement);
        if (step == SQLITE_ROW) {
            const auto *value = reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
            text = value ? QString::fromUtf8(value) : QString();
        } else if (step != SQLITE_DONE) {
            *rc = step;
        }
    }
    sqlite3_finalize(statement);
    return text;
}

// Copies every page of `source` into `destination` in one step, inside one
// write transaction of the destination (journalled when it is a file).
int backupDatabase(sqlite3 *destination, sqlite3 *source)
{
    sqlite3_backup *backup = sqlite3_backup_init(destination, "main", source, "main");
    if (!backup) {
        const int rc = sqlite3_errcode(destination);
        return rc == SQLITE_OK ? SQLITE_ERROR : rc;
    }
    int rc = sqlite3_backup_step(backup, -1);
    const int finished = sqlite3_backup_finish(backup);
    if (rc == SQLITE_DONE || rc == SQLITE_OK)
        rc = finished;
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// ---- Settings and database as one pair ----

// The save generation a database file holds (its user version); 0 for a
// database never saved with one.
qint64 databaseGeneration(sqlite3 *database)
{
    int rc = SQLITE_OK;
    return TWPackageFiles::validGeneration(
        firstText(database, "PRAGMA main.user_version;", &rc).toLongLong());
}

// The dictionary in a settings file; empty when missing, unreadable or not a
// dictionary (every setting then takes its default). Only a plain file is
// read (never a pipe or a device).
QVariantMap readSettingsFile(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return {};
    const TWResult<QVariant> read = TWPropertyList::readFile(path);
    if (read.ok() && read.value.metaType().id() == QMetaType::QVariantMap)
        return read.value.toMap();
    return {};
}

// The settings that belong to a database of `generation`. A save writes its
// settings beside the old ones first, then commits the database, then
// renames them over the old ones: pending settings of the database's own
// generation are the committed save's and take the old ones' place; any
// others belong to a save that never committed and are discarded.
QVariantMap readPackageSettings(const QString &packagePath, qint64 generation)
{
    const QDir package(packagePath);
    const QString settingsPath = package.filePath(TWPackageSettingsFileName);
    const QString pendingPath = package.filePath(TWPackageFiles::pendingSettingsFileName);
    if (QFileInfo(pendingPath).isFile()) {
        const QVariantMap pending = readSettingsFile(pendingPath);
        bool ok = false;
        const qint64 pendingGeneration =
            pending.value(TWPackageFiles::generationKey).toLongLong(&ok);
        if (ok && generation > 0 && pendingGeneration == generation) {
            // Finishing the rename may fail (a read-only disk); the pending
            // settings are the document's all the same.
            if (TWPackageFiles::renameFile(pendingPath, settingsPath))
                TWPackageFiles::syncFolder(packagePath);
            return pending;
        }
        QFile::remove(pendingPath);
    }
    return readSettingsFile(settingsPath);
}

// ---- The rows of a received database ----

TWError schemaError(const char *key, const QString &path, const QString &name,
                    const QString &column = {})
{
    QString text = TWLocalized(key).arg(path, name);
    if (!column.isEmpty())
        text = text.arg(column);
    return packageError(TWPackageSchemaError, text);
}

TWError valueSizeError(const QString &path)
{
    return packageError(TWPackageValueSizeError, TWLocalized("packageValueSizeDescription")
                                                     .arg(path)
                                                     .arg(TWStoredValueSizeLimit / (1024 * 1024)));
}

QString quotedName(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// The ordinary (not hidden, not generated) columns of a table of `schema`.
QSet<QString> tableColumns(sqlite3 *database, const char *schema, const char *table)
{
    QSet<QString> columns;
    sqlite3_stmt *rows = nullptr;
    const QByteArray sql = QByteArray("PRAGMA ") + schema + ".table_xinfo(\"" + table + "\");";
    if (sqlite3_prepare_v2(database, sql.constData(), -1, &rows, nullptr) == SQLITE_OK) {
        while (sqlite3_step(rows) == SQLITE_ROW) {
            if (sqlite3_column_int(rows, 6) == 0)
                columns.insert(QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(rows, 1))));
        }
    }
    sqlite3_finalize(rows);
    return columns;
}

// The columns each table of the current schema has, in declaration order,
// read once from a database made from the schema's own statements.
const QHash<QString, QStringList> &schemaColumns()
{
    static const QHash<QString, QStringList> columns = [] {
        QHash<QString, QStringList> result;
        sqlite3 *scratch = nullptr;
        if (sqlite3_open_v2(":memory:", &scratch, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) == SQLITE_OK) {
            for (const TWSchema::Table &table : TWSchema::tables()) {
                sqlite3_exec(scratch, table.createSQL, nullptr, nullptr, nullptr);
                QStringList names;
                sqlite3_stmt *rows = nullptr;
                const QByteArray sql =
                    QByteArray("PRAGMA main.table_info(\"") + table.name + "\");";
                if (sqlite3_prepare_v2(scratch, sql.constData(), -1, &rows, nullptr) == SQLITE_OK) {
                    while (sqlite3_step(rows) == SQLITE_ROW)
                        names.append(QString::fromUtf8(
                            reinterpret_cast<const char *>(sqlite3_column_text(rows, 1))));
                }
                sqlite3_finalize(rows);
                result.insert(QLatin1String(table.name), names);
            }
        }
        sqlite3_close(scratch);
        return result;
    }();
    return columns;
}

// The schema's own spelling of a table name SQLite would take for one of its
// tables (names are matched without regard to case); empty for any other.
const char *knownTableName(const QString &name)
{
    for (const TWSchema::Table &table : TWSchema::tables()) {
        if (name.compare(QLatin1String(table.name), Qt::CaseInsensitive) == 0)
            return table.name;
    }
    return nullptr;
}

// Runs `sql` and hands each row to `row`; the SQLite result.
template <typename Row> int eachRow(sqlite3 *database, const char *sql, Row row)
{
    sqlite3_stmt *rows = nullptr;
    int rc = sqlite3_prepare_v2(database, sql, -1, &rows, nullptr);
    while (rc == SQLITE_OK) {
        const int step = sqlite3_step(rows);
        if (step == SQLITE_DONE)
            break;
        if (step != SQLITE_ROW)
            rc = step;
        else
            row(rows);
    }
    sqlite3_finalize(rows);
    return rc;
}

// The custom-field columns of the transactions table a database's field list
// asks for, by identifier, with their declared types.
QList<std::pair<qint64, QString>> userColumns(sqlite3 *database)
{
    QList<std::pair<qint64, QString>> columns;
    eachRow(database, "SELECT identifier, type FROM received.fields NOT INDEXED;",
            [&columns](sqlite3_stmt *row) {
                if (sqlite3_column_type(row, 0) != SQLITE_INTEGER ||
                    sqlite3_column_type(row, 1) != SQLITE_INTEGER)
                    return;
                const qint64 identifier = sqlite3_column_int64(row, 0);
                const qint64 type = sqlite3_column_int64(row, 1);
                if (identifier < 1 || identifier > std::numeric_limits<qint32>::max() || type < 0 ||
                    type > 64)
                    return;
                const QString declared = TWSchema::userColumnType(int(type));
                if (!declared.isEmpty())
                    columns.append({identifier, declared});
            });
    return columns;
}

// Builds the working database's tables from our own schema for the tables of
// the package's database, attached as "received", and plans the copy of the
// rows of their known columns into them (`copies`: table and statement).
// Nothing of the received file's own definitions (constraints, defaults,
// indexes, triggers, views, tables of no business database) comes along. A
// table the document's schema version has must be there with every column;
// tables a later version added are left to be created empty, as the upgrade
// of an older document does. `madeTables` is set once tables were made.
TWErrorResult makeReceivedTables(sqlite3 *database, const QString &path,
                                 QList<std::pair<QString, QByteArray>> &copies, bool *madeTables)
{
    QSet<QString> present;
    TWErrorResult refusal;
    int rc = eachRow(database, "SELECT type, name, sql FROM received.sqlite_schema;",
                     [&](sqlite3_stmt *row) {
                         const auto text = [row](int column) {
                             return QString::fromUtf8(
                                 reinterpret_cast<const char *>(sqlite3_column_text(row, column)));
                         };
                         const QString type = text(0);
                         const QString name = text(1);
                         const char *known = knownTableName(name);
                         if (!known || refusal)
                             return;
                         const bool isVirtual = text(2).simplified().startsWith(
                             QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive);
                         if (type != QLatin1String("table") || isVirtual)
                             refusal = schemaError("packageSchemaObjectDescription", path, name);
                         else
                             present.insert(QLatin1String(known));
                     });
    if (refusal)
        return refusal;
    if (rc != SQLITE_OK)
        return notDocumentError(path);
    // Without accounts it is no business database; the caller refuses it.
    if (!present.contains(QStringLiteral("accounts")))
        return std::nullopt;

    qint64 version = 0;
    if (present.contains(QStringLiteral("info")))
        eachRow(database, "SELECT value FROM received.info NOT INDEXED WHERE identifier=1;",
                [&version](sqlite3_stmt *row) {
                    version = qint64(quint32(sqlite3_column_int64(row, 0)));
                });
    // Any other version is refused once the info row is in the working copy.
    const bool isVersion2 = version == TWSchema::version2;
    const bool isVersion1 = version == TWSchema::version1;

    for (const TWSchema::Table &table : TWSchema::tables()) {
        const QString name = QLatin1String(table.name);
        if (!present.contains(name)) {
            if (isVersion2 || (isVersion1 && TWSchema::inVersion1(name)))
                return schemaError("packageSchemaTableDescription", path, name);
            continue;
        }
        if (sqlite3_exec(database, table.createSQL, nullptr, nullptr, nullptr) != SQLITE_OK)
            return TWBusiness::databaseError(sqlite3_errcode(database));
        QStringList columns = schemaColumns().value(name);
        if (name == QLatin1String("transactions") && present.contains(QStringLiteral("fields"))) {
            for (const auto &[identifier, declared] : userColumns(database)) {
                const QString column = TWSchema::userColumnName(identifier);
                const QByteArray sql = QStringLiteral("ALTER TABLE main.transactions ADD %1 %2;")
                                           .arg(column, declared)
                                           .toUtf8();
                if (sqlite3_exec(database, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
                    return TWBusiness::databaseError(sqlite3_errcode(database));
                columns.append(column);
            }
        }
        const QSet<QString> theirs = tableColumns(database, "received", table.name);
        QStringList targets;
        QStringList sources;
        for (const QString &column : std::as_const(columns)) {
            QString source;
            if (theirs.contains(column))
                source = quotedName(column);
            else if (!isVersion1 || !TWSchema::addedInVersion2(name, column, &source))
                return schemaError("packageSchemaColumnDescription", path, name, column);
            targets.append(quotedName(column));
            sources.append(source);
        }
        // Read in the order of the table itself: no index of the file is used.
        copies.append({name, QStringLiteral("INSERT INTO main.%1 (%2) SELECT %3 FROM "
                                            "received.%1 NOT INDEXED;")
                                 .arg(quotedName(name), targets.join(QLatin1Char(',')),
                                      sources.join(QLatin1Char(',')))
                                 .toUtf8()});
    }
    if (madeTables)
        *madeTables = true;
    return std::nullopt;
}

// Runs the copies planned by makeReceivedTables.
TWErrorResult copyReceivedRows(sqlite3 *database, const QString &path,
                               const QList<std::pair<QString, QByteArray>> &copies)
{
    for (const auto &[name, copy] : copies) {
        const int rc = sqlite3_exec(database, copy.constData(), nullptr, nullptr, nullptr);
        if (rc == SQLITE_TOOBIG)
            return valueSizeError(path);
        if (rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB)
            return notDocumentError(path);
        if (rc != SQLITE_OK)
            return schemaError("packageSchemaRowsDescription", path, name);
    }
    return std::nullopt;
}

const char *const kMainSchemaSQL =
    "SELECT type, name, tbl_name, ifnull(sql, '') FROM main.sqlite_schema ORDER BY type, name;";
const char *const kReceivedSchemaSQL = "SELECT type, name, tbl_name, ifnull(sql, '') FROM "
                                       "received.sqlite_schema ORDER BY type, name;";

// The schema objects of a database, as SQLite keeps them.
QStringList schemaObjects(sqlite3 *database, const char *sql)
{
    QStringList objects;
    eachRow(database, sql, [&objects](sqlite3_stmt *row) {
        QString object;
        for (int column = 0; column < 4; ++column)
            object += QString::fromUtf8(
                          reinterpret_cast<const char *>(sqlite3_column_text(row, column))) +
                      QLatin1Char('\n');
        objects.append(object);
    });
    return objects;
}

// Copies the package's database file whole into the working database, whose
// schema the file was found to have word for word (`schema`).
TWErrorResult copyPackagePages(sqlite3 *database, const QString &path, const QStringList &schema)
{
    const QString packagePath = QFileInfo(path).absolutePath();
    FileConnection source;
    int rc = source.open(path, SQLITE_OPEN_READONLY);
    if (rc != SQLITE_OK)
        return fileError(rc, path);
    if (TWErrorResult error = TWBusiness::hardenConnection(source.get()))
        return error;
    rc = backupDatabase(database, source.get());
    if (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT)
        return notDocumentError(packagePath);
    if (rc != SQLITE_OK)
        return fileError(rc, path);
    // The file must still be what was compared (nothing changed it since).
    if (schemaObjects(database, kMainSchemaSQL) != schema)
        return notDocumentError(packagePath);
    // The rows the load reads are bounded by the working copy's limit as
    // they are read; those read only on demand are looked at now, with the
    // bound of a value.
    bool tooLarge = false;
    const QByteArray sql =
        QStringLiteral("SELECT 1 FROM main.attachments WHERE max(ifnull(length(CAST(fileName AS "
                       "BLOB)), 0), ifnull(length(CAST(mimeType AS BLOB)), 0)) > %1 LIMIT 1;")
            .arg(TWStoredValueSizeLimit)
            .toUtf8();
    rc = eachRow(database, sql.constData(), [&tooLarge](sqlite3_stmt *) { tooLarge = true; });
    if (rc == SQLITE_TOOBIG || tooLarge)
        return valueSizeError(packagePath);
    if (rc != SQLITE_OK)
        return notDocumentError(packagePath);
    return std::nullopt;
}

// ---- Attachment files ----

// An attachment whose file (and thumbnail) a save wrote into the package,
// with the paths it takes once the whole save succeeded.
struct WrittenAttachment {
    TWAttachmentPtr attachment;
    QString filePath;
    QString thumbnailFilePath;
    // Set when its file was missing and left out.
    std::optional<TWMissingAttachment> missing;
};

TWErrorResult copyAttachmentFile(const QString &source, const QString &target, bool *created);

struct WrittenAttachments {
    QList<WrittenAttachment> attachments;
    // Transactions whose every attachment is in the package now.
    TWTransactionList transactions;
    // Cleaned absolute paths of the files in the package they use.
    QSet<QString> paths;
    // Files this save put where there was none, removed again when the save
    // fails before the database is committed.
    QStringList created;
    // Attachments whose files were missing, left out (see writeToURL).
    QList<TWMissingAttachment> missing;
    bool copied = false;

    TWErrorResult copy(const QString &source, const QString &target)
    {
        bool isNew = false;
        TWErrorResult error = copyAttachmentFile(source, target, &isNew);
        if (isNew)
            created.append(target);
        if (!error && cleanAbsolutePath(source) != cleanAbsolutePath(target))
            copied = true;
        return error;
    }
    void removeCreated()
    {
        for (const QString &path : std::as_const(created))
            QFile::remove(path);
        created.clear();
    }
};

TWError attachmentError(const QString &path, const QString &reason)
{
    return packageError(TWPackageAttachmentError,
                        TWLocalized("packageAttachmentDescription").arg(path, reason));
}

// Copies the file to `target` whole or not at all (a temporary file renamed
// over the target), without flushing it: the save flushes all its copies at
// once. A file that is already the target is left as it is. `created` is set
// when nothing was at the target before.
TWErrorResult copyAttachmentFile(const QString &source, const QString &target, bool *created)
{
    *created = false;
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isFile())
        return attachmentError(source, QStringLiteral("not a file"));
    if (cleanAbsolutePath(source) == cleanAbsolutePath(target))
        return std::nullopt;
    const bool existed = QFileInfo::exists(target) || QFileInfo(target).isSymLink();
    QString reason;
    if (!TWPackageFiles::copyFile(source, target, &reason))
        return attachmentError(source, reason);
    *created = !existed;
    return std::nullopt;
}

// Copies the attachment files of the transactions into `folder`: in place
// only those of transactions whose attachments changed, elsewhere all of
// them. An attachment whose file is missing or is not a regular file (looked
// at without opening it, so a pipe never blocks) is listed in
// `written.missing` and left out, its row kept, so that one lost receipt
// never keeps the rest of the document from being saved; a thumbnail in that
// state is simply left out. Otherwise stops at the first file that cannot be
// copied.
TWErrorResult writeAttachments(TWBusiness &business, const TWTransactionList &transactions,
                               const QString &folder, bool inPlace, WrittenAttachments &written)
{
    const QDir dir(folder);
    for (const TWTransactionPtr &transaction : transactions) {
        if (!transaction || (inPlace && !transaction->dirtyAttachments()))
            continue;
        // Attachments never loaded are read now, so a save elsewhere copies
        // their files too.
        if (!inPlace)
            twLoadedAttachments(*transaction, business);
        const std::optional<TWAttachmentList> &attachments = transaction->attachments();
        if (!attachments) {
            // Never loaded, so unchanged: in place its files are where they
            // belong; elsewhere the new package would lack them.
            if (!inPlace && transaction->hasAttachments())
                return packageError(TWPackageAttachmentError,
                                    TWLocalized("packageAttachmentNotLoadedDescription"));
            written.transactions.append(transaction);
            continue;
        }
        // An attachment not stored yet has no name in the package; the
        // transaction stays marked so that a later save copies it.
        bool complete = true;
        for (const TWAttachmentPtr &attachment : *attachments) {
            if (!attachment)
                continue;
            if (attachment->identifier() <= 0) {
                complete = false;
                continue;
            }
            WrittenAttachment entry{attachment,
                                    dir.filePath(TWBusiness::attachmentFileName(
                                        attachment->identifier(), attachment->fileName())),
                                    attachment->thumbnailFilePath(),
                                    {}};
            if (!TWPackageFiles::isRegularFile(attachment->filePath())) {
                // The package names it where its file would be, as an
                // opening of that package will.
                entry.missing = TWMissingAttachment{transaction->date(), transaction->payee(),
                                                    attachment->fileName()};
                written.missing.append(*entry.missing);
                entry.thumbnailFilePath.clear();
                written.attachments.append(entry);
                continue;
            }
            if (TWErrorResult error = written.copy(attachment->filePath(), entry.filePath))
                return error;
            written.paths.insert(cleanAbsolutePath(entry.filePath));
            if (!attachment->thumbnailFilePath().isEmpty() &&
                !TWPackageFiles::isRegularFile(attachment->thumbnailFilePath()))
                entry.thumbnailFilePath.clear();
            else if (attachment->type() == TWAttachmentTypePhoto &&
                     !attachment->thumbnailFilePath().isEmpty()) {
                entry.thumbnailFilePath =
                    dir.filePath(TWBusiness::attachmentThumbnailFileName(attachment->identifier()));
                if (TWErrorResult error =
                        written.copy(attachment->thumbnailFilePath(), entry.thumbnailFilePath))
                    return error;
                written.paths.insert(cleanAbsolutePath(entry.thumbnailFilePath));
            }
            written.attachments.append(entry);
        }
        if (complete)
            written.transactions.append(transaction);
    }
    return std::nullopt;
}

// The names of the receipt files a save in place copies (see
// writeAttachments): those of the changed transactions' stored attachments
// whose files are there, and their thumbnails.
QStringList receiptFilesToCopy(const TWTransactionList &transactions)
{
    QStringList names;
    for (const TWAttachmentPtr &attachment : TWPackageFiles::attachmentsToCopy(transactions)) {
        names.append(
            TWBusiness::attachmentFileName(attachment->identifier(), attachment->fileName()));
        if (attachment->type() == TWAttachmentTypePhoto &&
            !attachment->thumbnailFilePath().isEmpty())
            names.append(TWBusiness::attachmentThumbnailFileName(attachment->identifier()));
    }
    return names;
}

// Deletes the queued files that are files of `folder` itself, except those
// this save has just written (an identifier used again).
void removeQueuedAttachments(const QStringList &queue, const QString &folder,
                             const QSet<QString> &keep)
{
    const QString inside = cleanAbsolutePath(folder);
    for (const QString &path : queue) {
        if (path.isEmpty())
            continue;
        const QString file = cleanAbsolutePath(path);
        const QFileInfo info(file);
        if (QDir::cleanPath(info.absolutePath()) != inside || keep.contains(file))
            continue;
        if (info.isDir() && !info.isSymLink())
            continue;
        QFile::remove(file);
    }
}

// Why a save other than in place may not write at `path` (the document's
// own package is at `own`, empty for a new document); none when it may.
// Every refusal keeps the books where they can be found again and the user's
// own files as they are.
TWErrorResult refuseTarget(const QString &path, const QString &own)
{
    // A package inside a package, even one the save would make, is written
    // where no one looks for it, and opening the outer one shows other books.
    QString holder = TWPackageFiles::enclosingPackage(path);
    if (holder.isEmpty() && !own.isEmpty() && path.startsWith(own + QLatin1Char('/')))
        holder = own;
    if (!holder.isEmpty())
        return packageError(TWPackageNestedError,
                            TWLocalized("packageNestedDescription").arg(path, holder));
    // The folder that holds the document would get a database, settings and
    // attachments around it.
    if (!own.isEmpty() && (path == QLatin1String("/") || own.startsWith(path + QLatin1Char('/'))))
        return packageError(TWPackageNestedError,
                            TWLocalized("packageAroundDocumentDescription").arg(path, own));
    // A folder of the user's (no business package by its name) is never
    // written into: its own "Attachments" or "Data.sql" would be overwritten.
    if (QFileInfo(path).isDir() && !TWPackageFiles::isPackage(path))
        return packageError(TWPackagePlainFolderError,
                            TWLocalized("packagePlainFolderDescription").arg(path));
    return std::nullopt;
}

} // namespace

// ---- Creating and opening ----

TWErrorResult TWBusiness::packagePathError(const QString &packagePath)
{
    // SQLite refuses a database whose journal's name ("-journal" after the
    // file's path) would not fit the file-system layer's longest path name,
    // saying only that the file cannot be opened.
    constexpr qsizetype kJournalSuffix = 8;
    const sqlite3_vfs *vfs = sqlite3_vfs_find(nullptr);
    const qsizetype longest = vfs ? vfs->mxPathname : 512;
    // SQLite measures the path with every link in it resolved.
    const QString clean = TWPackageFiles::resolvedPath(packagePath);
    const qsizetype packageBytes = QFile::encodeName(clean).size();
    const qsizetype dataBytes =
        QFile::encodeName(QDir(clean).filePath(TWPackageDataFileName)).size();
    if (dataBytes + kJournalSuffix <= longest)
        return std::nullopt;
    const qsizetype allowed = longest - kJournalSuffix - (dataBytes - packageBytes);
    return packageError(TWPackagePathLengthError,
                        TWLocalized("packagePathTooLongDescription")
                            .arg(clean, QString::number(packageBytes), QString::number(allowed)));
}

std::unique_ptr<TWBusiness>
TWBusiness::businessWithBusinessInfo(const TWBusinessInfoPtr &businessInfo, TWErrorResult *error)
{
    auto business = std::make_unique<TWBusiness>();
    const TWErrorResult result = business->initWithBusinessInfo(businessInfo);
    if (error)
        *error = result;
    if (result)
        return nullptr;
    return business;
}

std::unique_ptr<TWBusiness> TWBusiness::businessWithURL(const QUrl &url, bool allowUpgrade,
                                                        TWErrorResult *error)
{
    auto business = std::make_unique<TWBusiness>();
    const TWErrorResult result = business->initWithURL(url, allowUpgrade);
    if (error)
        *error = result;
    if (result)
        return nullptr;
    return business;
}

TWErrorResult TWBusiness::initWithBusinessInfo(const TWBusinessInfoPtr &businessInfo)
{
    if (!businessInfo)
        return databaseError(SQLITE_MISUSE);
    // The record the new business row is written from.
    setBusinessInfo(businessInfo);
    m_sortBy = businessInfo->createDefaultAccounts() ? 1 : 0;
    m_masterExpanded = 0xFFFFFFFF;
    m_activeAccountingPeriodIdentifier = 0;
    m_lastStartupDate = TWClock::now();
    m_businessIdentity = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (TWErrorResult error = openDatabase(true, false))
        return error;
    setDefaultSettings();
    m_deleteAttachments.clear();
    return std::nullopt;
}

TWErrorResult TWBusiness::initWithURL(const QUrl &url, bool allowUpgrade)
{
    const QString path = packagePath(url);
    if (path.isEmpty())
        return packageError(TWPackageLocationError,
                            TWLocalized("packageLocationDescription").arg(url.toDisplayString()));
    m_url = url;
    if (TWErrorResult error = packagePathError(path))
        return error;
    if (TWErrorResult error = refuseLinks(path))
        return error;
    // The settings are read once the database is in memory: which of a
    // half-finished save's two settings files belongs to the database
    // depends on the database's generation.
    // Another running copy's save waits while the package is read (its
    // settings and database are one pair); one that never ends does not keep
    // the business from opening.
    const TWPackageFiles::Descriptor folder(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    bool locked = false;
    if (folder.get() >= 0 &&
        !TWPackageFiles::lockFolder(folder.get(), false, kPackageLockWaitMilliseconds, &locked))
        return packageLockedError(path, folder.get());
    // What a save in place checks the package against. A file another
    // program wrote while it was being read matches nothing, and the first
    // save asks.
    const QString dataPath = QDir(path).filePath(TWPackageDataFileName);
    const std::optional<TWPackageMark> before = TWPackageMark::of(dataPath);
    if (TWErrorResult error = openDatabase(false, allowUpgrade))
        return error;
    // A database another program kept locked while its mark was read (and
    // let go before the rows were) was read without what every save in
    // place checks first: the business is not opened without it.
    if (!before) {
        closeDatabase();
        return packageError(TWPackageLockedError,
                            TWLocalized("packageDatabaseBusyDescription").arg(path));
    }
    applySettings(m_packageSettings);
    m_packageSettings.clear();
    m_deleteAttachments.clear();
    holdPackage(path);
    m_packageMark = before;
    if (TWPackageMark::of(dataPath) != before)
        m_packageMark = TWPackageMark{-1, QByteArrayLiteral("changed while read")};
    else
        knowMark(before);
    // No save runs meanwhile (the lock is shared with openings only). Where
    // no lock is kept, a save may be copying its receipts right now: what a
    // cut-off save left stays for a save or an opening that holds the lock.
    if (locked)
        removeCutOffSaveFiles(m_attachmentsFolderPath, false);
    return std::nullopt;
}

TWError TWBusiness::packageLockedError(const QString &path, int lockedFolder)
{
    return packageError(TWPackageLockedError,
                        TWLocalized(TWPackageFiles::lockHeldByThisProgram(lockedFolder)
                                        ? "packageLockedDescription"
                                        : "packageInUseDescription")
                            .arg(path));
}

TWErrorResult TWBusiness::openDatabase(bool isNew, bool allowUpgrade)
{
    if (TWErrorResult error = openInMemoryDatabase())
        return error;
    const auto fail = [this](const TWError &error) -> TWErrorResult {
        closeDatabase();
        return error;
    };
    // Declared first so that every way out waits for the check to end.
    std::future<bool> intact;
    if (!isNew) {
        const QString path = packagePath(m_url);
        if (path.isEmpty())
            return fail(packageError(
                TWPackageLocationError,
                TWLocalized("packageLocationDescription").arg(m_url.toDisplayString())));
        if (TWErrorResult error =
                copyPackageDatabase(QDir(path).filePath(TWPackageDataFileName), &intact))
            return fail(*error);
        m_packageSettings = readPackageSettings(path, databaseGeneration(m_database));
        m_businessIdentity = m_packageSettings.value(TWPackageFiles::identityKey).toString();
        // The loading itself needs these four.
        applyOpeningSettings(m_packageSettings);
        // A package without a business database is refused, never taken for
        // a new business.
        if (!tableExists(QStringLiteral("accounts")))
            return fail(notDocumentError(path));
        m_attachmentsFolderPath = QDir(path).filePath(TWPackageAttachmentsFolderName);
    }

    WriteScope scope(*this);
    QSet<QString> created;
    TWErrorResult error = prepareSchema(allowUpgrade, &created);
    if (!error)
        error = populateDatabase(created, isNew);
    if (!error)
        error = loadDatabase();
    // A damaged file is refused as such, also when the damage made the load fail.
    if (intact.valid() && !intact.get())
        error = notDocumentError(localPath(m_url));
    // Links an earlier build stored say nothing of which transaction is a
    // document's entry: that build's rule answers whenever the entry is
    // asked for, so an opening writes nothing and costs what it did.
    // Schedules that cannot be brought up to date are left for next time.
    if (!error)
        (void)updateRepeatItems(true, false);
    if (!error)
        error = updateAccountingPeriods(false);
    error = scope.finish(error);
    if (error && error->domain() == TWDatabaseErrorDomain && error->code() == SQLITE_TOOBIG)
        error = valueSizeError(localPath(m_url));
    if (error)
        closeDatabase();
    return error;
}

TWErrorResult TWBusiness::copyPackageDatabase(const QString &path, std::future<bool> *intact)
{
    const QFileInfo info(path);
    const QString packagePath = info.absolutePath();
    // SQLite would open the database and its journal as they are: a pipe or a
    // device there would block the open or feed it endless bytes.
    const QString irregular = TWPackageFiles::firstIrregularDatabaseFile(packagePath);
    if (!irregular.isEmpty())
        return packageError(TWPackageFileTypeError,
                            TWLocalized("packageFileTypeDescription").arg(irregular));
    // Only a plain file that holds something can be a business database.
    if (!info.isFile() || info.size() == 0)
        return notDocumentError(packagePath);

    // Read-write so that a save cut off half-way is rolled back from its
    // journal before the file is read.
    // Shared with the check that outlives this function.
    const auto connection = std::make_shared<FileConnection>();
    FileConnection &file = *connection;
    int rc = file.open(path, SQLITE_OPEN_READWRITE);
    if (rc != SQLITE_OK)
        return fileError(rc, path);
    if (TWErrorResult error = hardenConnection(file.get()))
        return error;
    // The file's schema is only parsed and checked for structure, never run:
    // an index on an expression of a function SQLite calls unsafe must not
    // make the file unreadable, nor the file's own CHECK constraints decide
    // whether its rows are damaged. No function of ours is registered on
    // either connection, and extensions stay off.
    sqlite3_db_config(file.get(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 1, nullptr);
    sqlite3_exec(file.get(), "PRAGMA ignore_check_constraints=ON;", nullptr, nullptr, nullptr);
    // The first read takes the file's lock and rolls back what an interrupted
    // save left in its journal.
    const qint64 stored = firstText(file.get(), "PRAGMA main.user_version;", &rc).toLongLong();
    if (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT)
        return notDocumentError(packagePath);
    if (rc != SQLITE_OK)
        return fileError(rc, path);

    // Damage that copying the rows cannot see (broken trees, pages of the
    // indexes and of the free list) would surface later, half-way through
    // the document; SQLite offers no cheaper walk that reports every damaged
    // page (its page statistics skip them silently), so the whole check runs,
    // on the file's own connection and thread, while the rows are copied and
    // loaded: the same pages, already in the system's cache.
    sqlite3_exec(file.get(), "PRAGMA cache_size=-64;", nullptr, nullptr, nullptr);
    const auto check = [connection] {
        int checkRC = SQLITE_OK;
        const QString verdict = firstText(connection->get(), "PRAGMA quick_check;", &checkRC);
        return checkRC == SQLITE_OK && verdict == QLatin1String("ok");
    };
    try {
        *intact = std::async(std::launch::async, check);
    } catch (const std::system_error &) {
        // No thread to be had: the check runs here, before the copy.
        if (!check())
            return notDocumentError(packagePath);
    }

    // The file is attached read-only to the working connection, whose limits
    // and defences apply to what it reads; its rows are copied into tables
    // made from our own schema, all in one read of one snapshot.
    // While attached, the received schema is parsed like the file's (above);
    // the copy reads only ordinary columns of plain tables, without any
    // index, so nothing of that schema is evaluated.
    const auto trustSchema = [this](bool trusted) {
        sqlite3_db_config(m_database, SQLITE_DBCONFIG_TRUSTED_SCHEMA, trusted ? 1 : 0, nullptr);
    };
    trustSchema(true);
    const QByteArray uri = QUrl::fromLocalFile(info.absoluteFilePath()).toEncoded() + "?mode=ro";
    {
        sqlite3_stmt *attach = nullptr;
        rc = sqlite3_prepare_v2(m_database, "ATTACH DATABASE ? AS received;", -1, &attach, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_bind_text(attach, 1, uri.constData(), int(uri.size()), SQLITE_TRANSIENT);
            rc = sqlite3_step(attach);
            rc = rc == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(m_database);
        }
        sqlite3_finalize(attach);
    }
    if (rc != SQLITE_OK) {
        trustSchema(false);
        if ((rc & 0xFF) == SQLITE_CORRUPT || (rc & 0xFF) == SQLITE_NOTADB)
            return notDocumentError(packagePath);
        return fileError(rc, path);
    }
    sqlite3_exec(m_database, "PRAGMA received.cache_size=-256;", nullptr, nullptr, nullptr);
    rc = sqlite3_exec(m_database, "BEGIN;", nullptr, nullptr, nullptr);
    QList<std::pair<QString, QByteArray>> copies;
    bool madeTables = false;
    TWErrorResult error = rc == SQLITE_OK
                              ? makeReceivedTables(m_database, packagePath, copies, &madeTables)
                              : TWErrorResult(databaseError(rc));
    // A file whose every schema object is, word for word, what our own
    // statements make (what every save writes) holds no definition of its
    // own: its pages are copied whole, which is several times faster than
    // copying row by row. Any other file has its rows copied.
    QStringList ours;
    bool pagesWhole = false;
    if (!error && madeTables) {
        error = createIndexes();
        int pageRC = SQLITE_OK;
        if (!error &&
            firstText(m_database, "PRAGMA main.page_size;", &pageRC) ==
                firstText(m_database, "PRAGMA received.page_size;", &pageRC) &&
            pageRC == SQLITE_OK) {
            ours = schemaObjects(m_database, kMainSchemaSQL);
            pagesWhole = ours == schemaObjects(m_database, kReceivedSchemaSQL);
        }
    }
    if (!error && !pagesWhole)
        error = copyReceivedRows(m_database, packagePath, copies);
    if (!error && !pagesWhole) {
        rc = sqlite3_exec(m_database, "COMMIT;", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            error = databaseError(rc);
    }
    if (error || pagesWhole)
        sqlite3_exec(m_database, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_exec(m_database, "DETACH DATABASE received;", nullptr, nullptr, nullptr);
    trustSchema(false);
    if (error)
        return error;
    if (pagesWhole) {
        if (TWErrorResult copied = copyPackagePages(m_database, path, ours))
            return copied;
    }
    // The save generation goes with the rows (see writeToURL); a number no
    // save writes means none.
    return executeSQL(QStringLiteral("PRAGMA main.user_version=%1;")
                          .arg(TWPackageFiles::validGeneration(stored)));
}

TWErrorResult TWBusiness::populateDatabase(const QSet<QString> &created, bool isNew)
{
    const auto made = [&created](const char *table) {
        return created.contains(QLatin1String(table));
    };
    // The info rows: prepareSchema writes them into an info table it creates.
    if (made("units")) {
        if (TWErrorResult error = populateUnits())
            return error;
    }
    if (made("businesses")) {
        // Only a new business brings the record of its row.
        if (!isNew || !m_businessInfo)
            return notDocumentError(localPath(m_url));
        if (TWErrorResult error = populateBusinessInfo())
            return error;
    }
    if (isNew && made("accountingPeriods")) {
        if (TWErrorResult error = populateAccountingPeriods())
            return error;
    }
    const bool defaultAccounts = isNew && m_businessInfo && m_businessInfo->createDefaultAccounts();
    if (defaultAccounts && made("groups")) {
        if (TWErrorResult error = populateGroups())
            return error;
    }
    if (defaultAccounts && made("accounts")) {
        if (TWErrorResult error = populateAccounts(*m_businessInfo))
            return error;
    }
    if (made("fields")) {
        if (TWErrorResult error = populateFields())
            return error;
    }
    if (made("filters")) {
        if (TWErrorResult error = populateFilters())
            return error;
    }
    if (made("reports")) {
        if (TWErrorResult error = populateReports())
            return error;
    }
    return std::nullopt;
}

TWErrorResult TWBusiness::loadDatabase()
{
    using Load = TWErrorResult (TWBusiness::*)();
    // One step a line, in dependency order.
    // clang-format off
    static constexpr Load steps[] = {
        &TWBusiness::loadUnits,
        &TWBusiness::loadBusinessInfo,
        &TWBusiness::loadAccountingPeriods,
        &TWBusiness::loadGroups,
        &TWBusiness::loadAccounts,
        &TWBusiness::loadFields,
        &TWBusiness::loadTransactions,
        &TWBusiness::loadRelationships,
        &TWBusiness::loadLists,
        &TWBusiness::loadTags,
        &TWBusiness::loadPercentTotals,
        &TWBusiness::loadRepeats,
        &TWBusiness::loadFiltersAll,
        &TWBusiness::loadClients,
        &TWBusiness::loadProjects,
        &TWBusiness::loadTasks,
        &TWBusiness::loadTaskItems,
        &TWBusiness::loadExpenses,
        &TWBusiness::loadInvoices,
        &TWBusiness::loadMerchants,
        &TWBusiness::loadBills,
        &TWBusiness::settleInvoiceEntrySizes,
        &TWBusiness::loadReports,
        &TWBusiness::loadBudgetItems,
        &TWBusiness::loadTransactionValueNames,
    };
    // clang-format on
    // Every list is made anew: nothing read of the ones before stands.
    bumpReadingRevision();
    for (const Load step : steps) {
        if (TWErrorResult error = (this->*step)())
            return error;
    }
    return std::nullopt;
}

// ---- Whose package it is ----

void TWBusiness::settleBusinessIdentity()
{
    if (m_businessIdentity.isEmpty())
        m_businessIdentity = QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// ---- Saving ----

QString TWBusiness::attachmentFileName(qint32 identifier, const QString &fileName)
{
    const QString number = QString::number(quint32(identifier));
    // The extension of the last path component; one that could not be part
    // of a file name (a NUL, too long) is left out.
    const QString name = fileName.section(QLatin1Char('/'), -1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return number;
    const QString extension = name.mid(dot + 1);
    if (extension.isEmpty() || extension.contains(QChar(0)) || extension.toUtf8().size() > 200)
        return number;
    return number + QLatin1Char('.') + extension;
}

QString TWBusiness::attachmentThumbnailFileName(qint32 identifier)
{
    return QString::number(quint32(identifier)) + QStringLiteral("t.jpg");
}

TWErrorResult TWBusiness::writeToURL(const QUrl &url, TWSaveOperation saveOperation)
{
    return writeToURL(url, saveOperation, m_transactions);
}

TWErrorResult TWBusiness::writeToURL(const QUrl &url, TWSaveOperation saveOperation,
                                     const TWTransactionList &transactions)
{
    m_missingAttachments.clear();
    m_savedCopy.reset();
    // Every save writes the identity down, and a Replace asks for it.
    settleBusinessIdentity();
    if (!m_database)
        return databaseError(SQLITE_MISUSE);
    // The working copy must be whole: no write may be half-way.
    if (!m_levels.empty())
        return packageError(TWPackageBusyError, TWLocalized("packageBusyDescription"));
    // The target (a new folder too) is written at its real path.
    const QString path = packagePath(url);
    if (path.isEmpty())
        return packageError(TWPackageLocationError,
                            TWLocalized("packageLocationDescription").arg(url.toDisplayString()));
    if (TWErrorResult error = packagePathError(path))
        return error;
    const QDir package(path);
    const QString attachmentsPath = package.filePath(TWPackageAttachmentsFolderName);
    // A package renamed since it was opened is saved, and copied from,
    // where it is now.
    followPackage();
    const QString own = m_url.isEmpty() ? QString() : packagePath(m_url);
    if (saveOperation == TWSaveOperationSave)
        recognizePackage(path);
    // In place only into the package the document holds, whatever its name:
    // a name that now leads elsewhere (a link above re-pointed, another disk
    // mounted in its place) is another business or a folder of the user's.
    const bool inPlace = isOwnPackage(path);
    if (!inPlace && saveOperation == TWSaveOperationSave && !own.isEmpty()) {
        const QString held = m_packageAnchor.currentPath();
        if (!held.isEmpty())
            return packageError(TWPackageElsewhereError,
                                TWLocalized("packageElsewhereDescription").arg(path, held));
        // Deleted: written anew where nothing is, never over what is there now.
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
            return packageError(TWPackageElsewhereError,
                                TWLocalized("packageGoneDescription").arg(path));
    }
    if (!inPlace) {
        if (TWErrorResult error = refuseTarget(path, own))
            return error;
    }
    // Nothing at the name when it was checked: the save makes the package.
    const bool madeAnew = !inPlace && !QFileInfo::exists(path) && !QFileInfo(path).isSymLink();
    if (TWErrorResult error = refuseLinks(path))
        return error;
    const QString dataPath = package.filePath(TWPackageDataFileName);
    const QString irregular = TWPackageFiles::firstIrregularDatabaseFile(path);
    if (!irregular.isEmpty())
        return packageError(TWPackageFileTypeError,
                            TWLocalized("packageFileTypeDescription").arg(irregular));
    // A database with another name elsewhere would be rewritten there too.
    if (TWPackageFiles::linkCount(dataPath) > 1)
        return packageError(TWPackageLinkError,
                            TWLocalized("packageHardLinkDescription").arg(dataPath));
    // Another running copy of the program (another account on a shared
    // folder, another machine) may have saved since: its work is never
    // written over without the user's word. The check and the whole save are
    // one step: another copy's save into the package waits for this one's
    // end, then finds what this one wrote and asks.
    const TWPackageFiles::Descriptor lock(inPlace ? m_packageAnchor.openFolder() : -1);
    bool locked = false;
    if (lock.get() >= 0 &&
        !TWPackageFiles::lockFolder(lock.get(), true, kPackageLockWaitMilliseconds, &locked))
        return packageLockedError(path, lock.get());
    // A replace may have taken the name while this save waited: the package
    // held is no longer at it.
    if (inPlace && !isOwnPackage(path))
        return packageError(TWPackageElsewhereError,
                            TWLocalized("packageGoneDescription").arg(path));
    // Never in place without the check: a database this document holds no
    // mark of is written over only when the user said so.
    const bool accepted = std::exchange(m_packageChangesAccepted, false);
    if (inPlace && (m_packageMark || (!accepted && TWPackageFiles::isRegularFile(dataPath)))) {
        bool busy = false;
        const std::optional<TWPackageMark> now = TWPackageMark::of(dataPath, &busy);
        // Another program writing the database (a write transaction held
        // past the wait) has changed nothing yet: the business is in use,
        // and the save may be tried again once it has finished.
        if (!now && busy)
            return packageError(TWPackageLockedError,
                                TWLocalized("packageInUseDescription").arg(path));
        if (!m_packageMark || !now || !now->sameSave(*m_packageMark))
            return packageError(TWPackageChangedError,
                                TWLocalized("packageChangedDescription").arg(path));
    }
    if (TWPackageFiles::stopsAt(TWPackageFiles::SaveStep::PackageChecked))
        return attachmentError(dataPath, QStringLiteral("stopped"));

    // Folders this save makes are removed again when it fails, so that a
    // failed save elsewhere leaves nothing behind.
    QStringList madeFolders;
    const auto makeFolder = [&madeFolders](const QString &folder) {
        QStringList missing;
        for (QString parent = QDir::cleanPath(folder); !QFileInfo::exists(parent);
             parent = QFileInfo(parent).absolutePath()) {
            missing.prepend(parent);
            if (QFileInfo(parent).isRoot())
                break;
        }
        if (!QDir().mkpath(folder))
            return false;
        madeFolders.append(missing);
        return true;
    };
    const auto removeMadeFolders = [&madeFolders] {
        // Deepest first; only folders still empty go (never what is in them).
        for (auto it = madeFolders.crbegin(); it != madeFolders.crend(); ++it)
            QDir().rmdir(*it);
        madeFolders.clear();
    };
    // A package this save makes anew is claimed by making its folder, never
    // by finding one there: another running copy saving as the same new name
    // at the same moment (nothing locks a name not yet made) would otherwise
    // write into the same folder, and the two saves would leave one's
    // database beside the other's settings, both told they saved.
    if (madeAnew) {
        if (!makeFolder(QFileInfo(path).absolutePath())) {
            removeMadeFolders();
            return packageError(TWPackageFolderError,
                                TWLocalized("packageFolderDescription").arg(path));
        }
        if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0) {
            const bool taken = errno == EEXIST;
            removeMadeFolders();
            return taken ? packageError(TWPackageElsewhereError,
                                        TWLocalized("packageTakenDescription").arg(path))
                         : packageError(TWPackageFolderError,
                                        TWLocalized("packageFolderDescription").arg(path));
        }
        madeFolders.append(path);
    } else if (!inPlace && !makeFolder(path)) {
        removeMadeFolders();
        return packageError(TWPackageFolderError,
                            TWLocalized("packageFolderDescription").arg(path));
    }
    if (!makeFolder(attachmentsPath)) {
        removeMadeFolders();
        return packageError(TWPackageFolderError,
                            TWLocalized("packageFolderDescription").arg(attachmentsPath));
    }

    // Attachment files first, so that a database naming them is never
    // written without them; then the database, then the settings.
    // Every attachment file has an identifier no file of the saved document
    // takes, so copying never replaces a file that document still uses; a
    // save that fails before the database is committed removes the files it
    // added.
    // While receipts are copied in place a marker says so and lists them: a
    // save cut off meanwhile leaves files no transaction names (and perhaps a
    // copy's temporary file), which the next save or opening that holds the
    // package's lock removes.
    const QString savingMarker =
        QDir(attachmentsPath).filePath(TWPackageFiles::savingMarkerFileName);
    WrittenAttachments written;
    bool markerWritten = false;
    const auto failed = [&](const TWError &error) -> TWErrorResult {
        written.removeCreated();
        removeMadeFolders();
        if (markerWritten)
            QFile::remove(savingMarker);
        return error;
    };
    if (inPlace && locked)
        removeCutOffSaveFiles(attachmentsPath, true);
    if (inPlace) {
        if (TWErrorResult error = renumberTakenAttachments(transactions, attachmentsPath))
            return failed(*error);
        // The marker lists what this save copies: only those files can be
        // taken for a cut-off save's own.
        QByteArray listed;
        for (const QString &name : receiptFilesToCopy(transactions))
            listed += name.toUtf8() + '\n';
        QString reason;
        if (!TWPackageFiles::writeFile(savingMarker, listed, false, &reason)) {
            const int why = errno;
            const char *key = TWPackageFiles::isDiskFullErrno(why)   ? "packageFullDescription"
                              : TWPackageFiles::isReadOnlyErrno(why) ? "packageReadOnlyDescription"
                                                                     : nullptr;
            return packageError(
                TWPackageFolderError,
                key ? TWLocalized(key).arg(path)
                    : TWLocalized("packageSettingsWriteDescription").arg(savingMarker, reason));
        }
        markerWritten = true;
    }
    if (TWErrorResult error =
            writeAttachments(*this, transactions, attachmentsPath, inPlace, written))
        return failed(*error);
    if (TWPackageFiles::stopsAt(TWPackageFiles::SaveStep::AttachmentsCopied))
        return attachmentError(attachmentsPath, QStringLiteral("stopped"));
    // One flush for all the copies, before a database naming them lands.
    if (written.copied && !TWPackageFiles::syncFileSystem(attachmentsPath))
        return failed(attachmentError(attachmentsPath, QStringLiteral("not flushed to disk")));
    if (TWPackageFiles::stopsAt(TWPackageFiles::SaveStep::AttachmentsSynced))
        return attachmentError(attachmentsPath, QStringLiteral("stopped"));

    // "Data.sql" and "Settings.plist" are one pair. The new settings, marked
    // with the new save generation, are written beside the old ones and
    // flushed; the database commits with the same generation as its user
    // version (its own journal makes that step whole); then the settings are
    // renamed over the old ones. An opening that finds settings still beside
    // the old ones compares generations: the database's own means the save
    // committed and the rename is finished; another means it did not, and
    // they are discarded (readPackageSettings).
    const QString settingsPath = package.filePath(TWPackageSettingsFileName);
    const QString pendingPath = package.filePath(TWPackageFiles::pendingSettingsFileName);
    if (QFileInfo::exists(settingsPath) && !QFileInfo(settingsPath).isFile())
        return failed(
            packageError(TWPackageFolderError,
                         TWLocalized("packageSettingsBlockedDescription").arg(settingsPath)));
    // The pending settings are this store's own file; a folder in their place
    // (no save makes one) is moved out of the way, never deleted with what
    // it holds.
    if (!TWPackageFiles::clearPendingPlace(pendingPath))
        return failed(
            packageError(TWPackageFolderError,
                         TWLocalized("packageSettingsBlockedDescription").arg(pendingPath)));
    const QVariantMap currentSettings = settings();
    bool stopped = false;
    const qint64 token = TWPackageFiles::newToken();
    const auto writePending = [&](qint64 generation) -> TWErrorResult {
        QVariantMap marked = currentSettings;
        marked.insert(TWPackageFiles::generationKey, generation);
        marked.insert(TWPackageFiles::tokenKey, token);
        marked.insert(TWPackageFiles::identityKey, m_businessIdentity);
        const TWResult<QByteArray> xml = TWPropertyList::xmlData(marked);
        if (!xml.ok())
            return xml.error;
        QString reason;
        if (!TWPackageFiles::writeFile(pendingPath, xml.value, true, &reason) ||
            !TWPackageFiles::syncFolder(path))
            return packageError(
                TWPackageFolderError,
                TWLocalized("packageSettingsWriteDescription").arg(pendingPath, reason));
        stopped = TWPackageFiles::stopsAt(TWPackageFiles::SaveStep::SettingsPending);
        if (stopped)
            return attachmentError(pendingPath, QStringLiteral("stopped"));
        return std::nullopt;
    };
    const bool databaseExisted = QFileInfo::exists(dataPath);
    if (TWErrorResult error = writePackageDatabase(dataPath, token, writePending)) {
        if (stopped)
            return error;
        // A full disk and a package that cannot be written are said so, of
        // the business, not of a file inside it.
        if (error->domain() == TWDatabaseErrorDomain &&
            ((error->code() & 0xFF) == SQLITE_BUSY || (error->code() & 0xFF) == SQLITE_LOCKED))
            error = packageError(TWPackageLockedError,
                                 TWLocalized("packageInUseDescription").arg(path));
        else if (error->domain() == TWDatabaseErrorDomain && (error->code() & 0xFF) == SQLITE_FULL)
            error =
                packageError(TWPackageFolderError, TWLocalized("packageFullDescription").arg(path));
        else if (error->domain() == TWDatabaseErrorDomain &&
                 (error->code() & 0xFF) == SQLITE_READONLY)
            error = packageError(TWPackageFolderError,
                                 TWLocalized("packageReadOnlyDescription").arg(path));
        QFile::remove(pendingPath);
        if (!databaseExisted) {
            QFile::remove(dataPath);
            QFile::remove(dataPath + QStringLiteral("-journal"));
        }
        return failed(*error);
    }
    if (TWPackageFiles::stopsAt(TWPackageFiles::SaveStep::DatabaseCommitted))
        return attachmentError(pendingPath, QStringLiteral("stopped"));
    const std::optional<TWPackageMark> writtenMark = TWPackageMark::of(dataPath);
    knowMark(writtenMark);
    // The database is committed: the save has happened. Should the rename
    // fail, the next opening finishes it.
    if (TWPackageFiles::renameFile(pendingPath, settingsPath))
        TWPackageFiles::syncFolder(path);
    if (TWPackageFiles::stopsAt(TWPackageFiles::SaveStep::SettingsRenamed))
        return attachmentError(pendingPath, QStringLiteral("stopped"));

    // Everything is written: the document may now rely on it.
    m_missingAttachments = written.missing;
    // A save that wrote the package anew at the document's own name (the
    // folder it held was deleted) made it the document's package.
    const bool documentMoves = inPlace || saveOperation == TWSaveOperationSaveAs ||
                               (saveOperation == TWSaveOperationSave && path == own);
    if (documentMoves) {
        for (const WrittenAttachment &entry : std::as_const(written.attachments)) {
            entry.attachment->setFilePath(entry.filePath);
            entry.attachment->setThumbnailFilePath(entry.thumbnailFilePath);
        }
        for (const TWTransactionPtr &transaction : std::as_const(written.transactions))
            transaction->setDirtyAttachments(false);
    }
    if (documentMoves)
        m_packageMark = writtenMark;
    if (inPlace) {
        removeQueuedAttachments(m_deleteAttachments, attachmentsPath, written.paths);
        m_deleteAttachments.clear();
        removeOverwrittenFiles(attachmentsPath);
        QFile::remove(savingMarker);
        if (m_attachmentsFolderPath.isEmpty())
            m_attachmentsFolderPath = attachmentsPath;
    } else if (saveOperation == TWSaveOperationSaveAs) {
        m_url = url;
        m_attachmentsFolderPath = attachmentsPath;
        m_attachmentHighWater =
            std::max(m_attachmentHighWater, TWPackageFiles::highestNumberedEntry(attachmentsPath));
        // The queued files belong to the old package, which still uses them.
        m_deleteAttachments.clear();
    } else if (!documentMoves) {
        // A copy, which may yet take the document's place (adoptSavedCopy).
        SavedCopy copy{path, {}, written.transactions, writtenMark};
        for (const WrittenAttachment &entry : std::as_const(written.attachments))
            copy.attachments.append(
                {entry.attachment, entry.filePath, entry.thumbnailFilePath, entry.missing});
        m_savedCopy = std::move(copy);
    }
    if (!m_url.isEmpty() && packagePath(m_url) == path)
        holdPackage(path);
    return std::nullopt;
}

TWErrorResult TWBusiness::writePackageDatabase(
    const QString &path, qint64 token,
    const std::function<TWErrorResult(qint64 generation)> &beforeCommit)
{
    FileConnection file;
    int rc = file.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (rc != SQLITE_OK)
        return fileError(rc, path);
    if (TWErrorResult error = hardenConnection(file.get()))
        return error;
    // The file's own schema is replaced whole and never run; an index on a
    // function SQLite calls unsafe must not stop the save that replaces it.
    sqlite3_db_config(file.get(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 1, nullptr);
    // A rollback journal beside the file, synced before and after the pages
    // are written: a save cut off at any point is rolled back at the next
    // opening, and a finished one leaves no other file behind.
    firstText(file.get(), "PRAGMA journal_mode=DELETE;", &rc);
    if (rc == SQLITE_OK)
        firstText(file.get(), "PRAGMA synchronous=FULL;", &rc);
    // Reading the file's generation also rolls back what an interrupted
    // save left in its journal.
    qint64 fileGeneration = 0;
    if (rc == SQLITE_OK)
        fileGeneration = firstText(file.get(), "PRAGMA main.user_version;", &rc).toLongLong();
    if (rc != SQLITE_OK)
        return fileError(rc, path);
    const qint64 oldGeneration = databaseGeneration(m_database);
    const qint64 generation = TWPackageFiles::nextGeneration(oldGeneration, fileGeneration);
    if (TWErrorResult error = beforeCommit(generation))
        return error;
    if (TWErrorResult error =
            executeSQL(QStringLiteral("PRAGMA main.user_version=%1;").arg(generation)))
        return error;
    // The save's token goes with the rows it writes (see TWPackageMark).
    if (TWErrorResult error =
            executeSQL(QStringLiteral("INSERT OR REPLACE INTO main.info (identifier, value) "
                                      "VALUES (%1, %2);")
                           .arg(TWPackageFiles::tokenInfoRow)
                           .arg(token)))
        return error;
    rc = backupDatabase(file.get(), m_database);
    if (rc != SQLITE_OK) {
        (void)executeSQL(QStringLiteral("PRAGMA main.user_version=%1;").arg(oldGeneration));
        return fileError(rc, path);
    }
    return std::nullopt;
}
