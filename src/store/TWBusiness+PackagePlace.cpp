// Where the document's package is: following it when it was renamed or moved
// while open, knowing it under any name, taking a finished copy as the
// document's own, and telling a business package, which a save may replace,
// from anything else.

#include "store/TWBusiness.h"

#include "store/TWPackageFiles.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWPropertyList.h"
#include "foundation/TWStringAdditions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <sys/stat.h>

namespace
{

// More than any save's list of receipts: a marker past it is no marker of ours.
constexpr qint64 kSavingMarkerLimit = 16 * 1024 * 1024;

QString packagePath(const QUrl &url)
{
    if (!url.isLocalFile() || url.toLocalFile().isEmpty())
        return {};
    return TWPackageFiles::resolvedPath(url.toLocalFile());
}

// `path` with the folder `from` at its start replaced by `to`; any other
// path as it is.
QString movedPath(const QString &path, const QString &from, const QString &to)
{
    if (path == from)
        return to;
    if (path.startsWith(from + QLatin1Char('/')))
        return to + path.mid(from.size());
    return path;
}

bool fileMode(const QString &path, mode_t *mode)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    *mode = info.st_mode;
    return true;
}

// Whether the file at `path` opens as a database with the accounts table
// every business database has. It is only read; but a database a save was
// cut off in (its journal beside it) is first rolled back, as any opening of
// the business would, since a read-only connection cannot do that.
bool holdsBusinessDatabase(const QString &path)
{
    const bool journal = QFileInfo::exists(path + QStringLiteral("-journal"));
    for (const int mode : {SQLITE_OPEN_READONLY, SQLITE_OPEN_READWRITE}) {
        if (mode == SQLITE_OPEN_READWRITE && !journal)
            break;
        sqlite3 *file = nullptr;
        bool found = false;
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &file, mode | SQLITE_OPEN_NOFOLLOW,
                            nullptr) == SQLITE_OK &&
            !TWBusiness::hardenConnection(file)) {
            sqlite3_busy_timeout(file, 2000);
            sqlite3_stmt *statement = nullptr;
            if (sqlite3_prepare_v2(file,
                                   "SELECT 1 FROM main.sqlite_schema WHERE type='table' AND "
                                   "name='accounts' COLLATE NOCASE;",
                                   -1, &statement, nullptr) == SQLITE_OK)
                found = sqlite3_step(statement) == SQLITE_ROW;
            sqlite3_finalize(statement);
        }
        sqlite3_close_v2(file);
        if (found)
            return true;
    }
    return false;
}

// The business identity the settings of the package at `packagePath` hold;
// empty when they hold none or cannot be read.
QString savedIdentity(const QString &packagePath)
{
    const QString settings = QDir(packagePath).filePath(TWPackageSettingsFileName);
    if (!TWPackageFiles::isRegularFile(settings) || QFileInfo(settings).isSymLink())
        return {};
    const TWResult<QVariant> read = TWPropertyList::readFile(settings);
    return read.ok() ? read.value.toMap().value(TWPackageFiles::identityKey).toString() : QString();
}

} // namespace

void TWBusiness::holdPackage(const QString &path)
{
    if (!m_packageAnchor.isFolder(path))
        m_packageAnchor.hold(path);
}

bool TWBusiness::isOwnPackage(const QString &path) const
{
    return m_packageAnchor.isFolder(path);
}

bool TWBusiness::usesPackage(const QString &path) const
{
    return m_packageAnchor.isWithin(path);
}

void TWBusiness::movePackagePaths(const QString &from, const QString &to)
{
    const auto moved = [&from, &to](const QString &path) { return movedPath(path, from, to); };
    m_attachmentsFolderPath = moved(m_attachmentsFolderPath);
    for (QString &path : m_deleteAttachments)
        path = moved(path);
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        if (!transaction || !transaction->attachments())
            continue;
        for (const TWAttachmentPtr &attachment : *transaction->attachments()) {
            if (!attachment)
                continue;
            attachment->setFilePath(moved(attachment->filePath()));
            attachment->setThumbnailFilePath(moved(attachment->thumbnailFilePath()));
        }
    }
}

bool TWBusiness::followPackage()
{
    if (m_url.isEmpty())
        return false;
    const QString now = m_packageAnchor.currentPath();
    if (now.isEmpty())
        return false;
    // The package as the store's paths name it.
    const QString named = m_attachmentsFolderPath.isEmpty()
                              ? packagePath(m_url)
                              : QFileInfo(m_attachmentsFolderPath).path();
    if (!named.isEmpty() && now != named)
        movePackagePaths(named, now);
    if (movedPackagePath().isEmpty() ||
        TWPackageFiles::unfitPlace(now) != TWPackageFiles::UnfitPlace::None)
        return false;
    m_url = QUrl::fromLocalFile(now);
    return true;
}

QString TWBusiness::movedPackagePath() const
{
    if (m_url.isEmpty() || isOwnPackage(packagePath(m_url)))
        return {};
    return m_packageAnchor.currentPath();
}

bool TWBusiness::adoptSavedCopy(const QString &copyPath, const QUrl &url)
{
    const QString path = packagePath(url);
    if (!m_savedCopy || path.isEmpty() ||
        m_savedCopy->path != TWPackageFiles::resolvedPath(copyPath))
        return false;
    const QString copy = m_savedCopy->path;
    for (const SavedCopy::Entry &entry : std::as_const(m_savedCopy->attachments)) {
        entry.attachment->setFilePath(movedPath(entry.filePath, copy, path));
        entry.attachment->setThumbnailFilePath(movedPath(entry.thumbnailFilePath, copy, path));
    }
    for (const TWTransactionPtr &transaction : std::as_const(m_savedCopy->transactions))
        transaction->setDirtyAttachments(false);
    m_url = url;
    m_attachmentsFolderPath = QDir(path).filePath(TWPackageAttachmentsFolderName);
    m_attachmentHighWater = std::max(m_attachmentHighWater,
                                     TWPackageFiles::highestNumberedEntry(m_attachmentsFolderPath));
    // The queued files belong to the old package, which still uses them.
    m_deleteAttachments.clear();
    // Renamed whole into place: the same file it wrote.
    m_packageMark = m_savedCopy->mark;
    m_savedCopy.reset();
    holdPackage(path);
    return true;
}

void TWBusiness::knowMark(const std::optional<TWPackageMark> &mark)
{
    if (mark && !m_knownMarks.contains(*mark))
        m_knownMarks.append(*mark);
}

bool TWBusiness::isCopyOfThisBusiness(const QString &path) const
{
    const std::optional<TWPackageMark> mark =
        TWPackageMark::of(QDir(path).filePath(TWPackageDataFileName));
    if (!mark)
        return false;
    // A token names one save wherever its file went (copied whole, its
    // header the same or not); a database saved without one is known by
    // the header this document read.
    // The whole mark, as a save's check compares it: a copy written since
    // by a program that does not know the token (an earlier build, a
    // database tool) keeps the token but not SQLite's change counter.
    return std::any_of(m_knownMarks.cbegin(), m_knownMarks.cend(),
                       [&mark](const TWPackageMark &known) { return known.sameSave(*mark); });
}

bool TWBusiness::recognizePackage(const QString &path)
{
    // Only at the document's own name, and only once the folder it held is
    // gone: a package it still holds elsewhere is the document's.
    if (m_url.isEmpty() || !m_packageMark || path.isEmpty() || isOwnPackage(path) ||
        !m_packageAnchor.currentPath().isEmpty() || path != packagePath(m_url))
        return false;
    // The very database this document last read or wrote (the same token
    // and change counter) is saved in place. Another save of this business
    // (a copy saved elsewhere since, put back) is this business too, but not
    // as the document knows it: the save in place asks before writing over
    // it. Any other business is not the document's.
    const std::optional<TWPackageMark> mark =
        TWPackageMark::of(QDir(path).filePath(TWPackageDataFileName));
    if (!mark || (!mark->sameSave(*m_packageMark) &&
                  (m_businessIdentity.isEmpty() || savedIdentity(path) != m_businessIdentity)))
        return false;
    m_packageAnchor.hold(path);
    return isOwnPackage(path);
}

namespace
{

// The names of the attachment files (and thumbnails) the attachments table
// of `schema` names.
QSet<QString> namedAttachmentFiles(sqlite3 *database, const char *schema, bool *read = nullptr)
{
    QSet<QString> names;
    sqlite3_stmt *rows = nullptr;
    const QByteArray sql =
        QByteArray("SELECT identifier, fileName, type FROM ") + schema + ".attachments;";
    int rc = sqlite3_prepare_v2(database, sql.constData(), -1, &rows, nullptr);
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(rows)) == SQLITE_ROW) {
            const auto identifier = qint32(sqlite3_column_int64(rows, 0));
            names.insert(TWBusiness::attachmentFileName(
                identifier,
                QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(rows, 1)))));
            if (sqlite3_column_int(rows, 2) == TWAttachmentTypePhoto)
                names.insert(TWBusiness::attachmentThumbnailFileName(identifier));
        }
    }
    sqlite3_finalize(rows);
    if (read)
        *read = rc == SQLITE_DONE;
    return names;
}

// The same for the database of the package at `packagePath`, read only;
// `read` says whether it was read whole.
QSet<QString> namedAttachmentFiles(const QString &packagePath, bool *read = nullptr)
{
    QSet<QString> names;
    sqlite3 *file = nullptr;
    if (read)
        *read = false;
    const QString data = QDir(packagePath).filePath(TWPackageDataFileName);
    if (TWPackageFiles::isRegularFile(data) &&
        sqlite3_open_v2(QFile::encodeName(data).constData(), &file,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW, nullptr) == SQLITE_OK &&
        !TWBusiness::hardenConnection(file)) {
        sqlite3_busy_timeout(file, 2000);
        names = namedAttachmentFiles(file, "main", read);
    }
    sqlite3_close_v2(file);
    return names;
}

} // namespace

QSet<QString> TWBusiness::lackedAttachmentFiles(const QString &packagePath)
{
    QSet<QString> lacked;
    const QDir folder(QDir(packagePath).filePath(TWPackageAttachmentsFolderName));
    for (const QString &name : namedAttachmentFiles(packagePath)) {
        mode_t mode = 0;
        if (!fileMode(folder.filePath(name), &mode))
            lacked.insert(name);
    }
    return lacked;
}

void TWBusiness::acceptPackageChanges()
{
    const QString now = m_packageAnchor.currentPath();
    if (now.isEmpty())
        return;
    m_packageMark = TWPackageMark::of(QDir(now).filePath(TWPackageDataFileName));
    // A database that cannot be read now is written over all the same.
    m_packageChangesAccepted = !m_packageMark;
    // The receipts of the save about to be written over go with it.
    m_overwrittenFiles = namedAttachmentFiles(now).values();
}

void TWBusiness::removeCutOffSaveFiles(const QString &attachmentsPath, bool packageDatabase)
{
    // Only where a save was cut off: every other opening and save reads no
    // receipt row and looks at no receipt file for this.
    const QDir folder(attachmentsPath);
    const QString marker = folder.filePath(TWPackageFiles::savingMarkerFileName);
    mode_t mode = 0;
    if (attachmentsPath.isEmpty() || !fileMode(marker, &mode) || !S_ISREG(mode))
        return;
    // Only what that save listed as the receipts it copies can be its own: a
    // file the user put there, whatever its name, is not listed. A marker
    // that lists nothing (an earlier build's) gives nothing away.
    QSet<QString> listed;
    if (QFile file(marker); file.size() <= kSavingMarkerLimit && file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QString name = QString::fromUtf8(line);
            if (TWPackageFiles::isReceiptFileName(name))
                listed.insert(name);
        }
    }
    // The receipts the package's committed database names are the
    // business's, whichever save copied them: at an opening the working copy
    // was just read from it; before a save in place it is read from the
    // file, since the working copy names receipts of its own not copied yet,
    // which may bear the same numbers.
    bool read = false;
    QSet<QString> named =
        packageDatabase ? namedAttachmentFiles(QFileInfo(attachmentsPath).absolutePath(), &read)
                        : namedAttachmentFiles(m_database, "main", &read);
    // Unread, nothing can be told apart: all stays for a later save.
    if (!read)
        return;
    if (packageDatabase) {
        // Queued for removal, or of a save the user chose to write over:
        // they stay until a save that no longer names them is committed.
        for (const QString &path : std::as_const(m_deleteAttachments))
            named.insert(QFileInfo(path).fileName());
        for (const QString &name : std::as_const(m_overwrittenFiles))
            named.insert(name);
    }
    const QDir::Filters files = QDir::Files | QDir::Hidden | QDir::System;
    for (const QString &name : folder.entryList(files)) {
        const bool own =
            (listed.contains(name) && !named.contains(name)) ||
            std::any_of(listed.cbegin(), listed.cend(), [&name](const QString &receipt) {
                return TWPackageFiles::isCopyTemporaryOf(name, receipt);
            });
        if (own && fileMode(folder.filePath(name), &mode) && S_ISREG(mode))
            QFile::remove(folder.filePath(name));
    }
    QFile::remove(marker);
}

void TWBusiness::removeOverwrittenFiles(const QString &attachmentsPath)
{
    if (m_overwrittenFiles.isEmpty())
        return;
    const QSet<QString> own = namedAttachmentFiles(m_database, "main");
    const QDir folder(attachmentsPath);
    for (const QString &name : std::as_const(m_overwrittenFiles)) {
        const QString file = folder.filePath(name);
        mode_t mode = 0;
        if (!own.contains(name) && fileMode(file, &mode) && !S_ISDIR(mode))
            QFile::remove(file);
    }
    m_overwrittenFiles.clear();
}

namespace
{

const char *const kAttachmentRenumberSQL =
    "UPDATE attachments SET identifier=? WHERE identifier=?;";

// Whether a file (or a link) is at `path`: a receipt of another program's
// save. A folder there is no receipt, and fails the copy as it is.
bool isTaken(const QString &path)
{
    mode_t mode = 0;
    return fileMode(path, &mode) && (S_ISREG(mode) || S_ISLNK(mode));
}

bool samePath(const QString &a, const QString &b)
{
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) ==
           QDir::cleanPath(QFileInfo(b).absoluteFilePath());
}

} // namespace

TWErrorResult TWBusiness::renumberTakenAttachments(const TWTransactionList &transactions,
                                                   const QString &attachmentsPath)
{
    const QDir folder(attachmentsPath);
    // Files this save removes are this document's own, whose numbers it may
    // give again.
    QSet<QString> queued;
    for (const QString &path : std::as_const(m_deleteAttachments))
        queued.insert(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    const auto takenByOther = [&queued](const QString &path) {
        return isTaken(path) && !queued.contains(QDir::cleanPath(path));
    };
    WriteScope scope(*this);
    bool folderRead = false;
    for (const TWAttachmentPtr &attachment : TWPackageFiles::attachmentsToCopy(transactions)) {
        const qint32 old = attachment->identifier();
        const QString file = folder.filePath(attachmentFileName(old, attachment->fileName()));
        const QString thumbnail = folder.filePath(attachmentThumbnailFileName(old));
        const bool hasThumbnail = attachment->type() == TWAttachmentTypePhoto &&
                                  !attachment->thumbnailFilePath().isEmpty();
        if (samePath(attachment->filePath(), file) ||
            (!takenByOther(file) && !(hasThumbnail && takenByOther(thumbnail) &&
                                      !samePath(attachment->thumbnailFilePath(), thumbnail))))
            continue;
        if (!folderRead) {
            m_attachmentHighWater = std::max(m_attachmentHighWater,
                                             TWPackageFiles::highestNumberedEntry(attachmentsPath));
            folderRead = true;
        }
        const qint32 identifier = nextAttachmentIdentifier();
        if (identifier == 0)
            return scope.finish(databaseError(SQLITE_FULL));
        TWStatement update = statement(kAttachmentRenumberSQL);
        update.bindInt32(identifier).bindInt32(old);
        if (TWErrorResult error = update.execute())
            return scope.finish(error);
        attachment->setIdentifier(identifier);
        scope.onRollback([attachment, old] { attachment->setIdentifier(old); });
    }
    return scope.commit();
}

TWErrorResult TWBusiness::takeMissingAttachments(const QString &from)
{
    // Another business's files of the same numbers are its own documents,
    // never this one's receipts. The package as one of this document's saves
    // left it holds this one's. So does an older copy of this business (its
    // identity this one's), saved before this document read it, but file by
    // file: only where its own rows name the file and the file has the size
    // this business stored for it; a copy saved elsewhere since may be
    // another business by now, whose file of that number is its own.
    if (!m_savedCopy ||
        std::none_of(m_savedCopy->attachments.cbegin(), m_savedCopy->attachments.cend(),
                     [](const SavedCopy::Entry &entry) { return bool(entry.missing); }))
        return std::nullopt;
    const bool known = isCopyOfThisBusiness(from);
    if (!known && (m_businessIdentity.isEmpty() || savedIdentity(from) != m_businessIdentity))
        return std::nullopt;
    const QSet<QString> namedThere = known ? QSet<QString>{} : namedAttachmentFiles(from);
    const QDir source(QDir(from).filePath(TWPackageAttachmentsFolderName));
    const auto isFile = [](const QString &path) {
        struct stat info;
        return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
    };
    const auto isReceipt = [&](const SavedCopy::Entry &entry, const QString &file) {
        struct stat info;
        return known ||
               (namedThere.contains(QFileInfo(file).fileName()) &&
                ::lstat(QFile::encodeName(file).constData(), &info) == 0 && S_ISREG(info.st_mode) &&
                std::uint64_t(info.st_size) == entry.attachment->fileSize());
    };
    QStringList failed;
    bool taken = false;
    for (SavedCopy::Entry &entry : m_savedCopy->attachments) {
        if (!entry.missing)
            continue;
        const QFileInfo copied(entry.filePath);
        const QString file = source.filePath(copied.fileName());
        if (!isFile(file) || !isReceipt(entry, file))
            continue;
        QString reason;
        if (!TWPackageFiles::copyFile(file, entry.filePath, &reason)) {
            failed.append(QStringLiteral("%1 (%2)").arg(copied.fileName(), reason));
            continue;
        }
        entry.missing.reset();
        taken = true;
        const QString thumbnailName = attachmentThumbnailFileName(entry.attachment->identifier());
        const QString thumbnail = source.filePath(thumbnailName);
        if (entry.attachment->type() == TWAttachmentTypePhoto && isFile(thumbnail) &&
            TWPackageFiles::copyFile(thumbnail, copied.dir().filePath(thumbnailName), &reason))
            entry.thumbnailFilePath = copied.dir().filePath(thumbnailName);
    }
    // A full disk fails every copy: the first few are named, the rest counted.
    if (!failed.isEmpty()) {
        constexpr qsizetype kNamed = 3;
        const QString names = TWStringAdditions::shortList(
            failed.size(), [&failed](qsizetype i) { return failed.at(i); }, QStringLiteral(", "),
            TWLocalized("packageReceiptsMore"), kNamed);
        return TWError(TWPackageErrorDomain, TWPackageAttachmentError,
                       TWLocalized("packageReplaceReceiptsDescription").arg(from, names));
    }
    if (!taken)
        return std::nullopt;
    if (!TWPackageFiles::syncFileSystem(m_savedCopy->path))
        return TWError(TWPackageErrorDomain, TWPackageAttachmentError,
                       TWLocalized("packageAttachmentDescription")
                           .arg(m_savedCopy->path, QStringLiteral("not flushed to disk")));
    m_missingAttachments.clear();
    for (const SavedCopy::Entry &entry : std::as_const(m_savedCopy->attachments)) {
        if (entry.missing)
            m_missingAttachments.append(*entry.missing);
    }
    return std::nullopt;
}

TWErrorResult TWBusiness::replaceRefusal(const QString &givenPath)
{
    // The folders above are the user's own (a linked Documents folder): only
    // what is inside the package must be no link.
    const QFileInfo given(givenPath);
    const QString path =
        QDir(TWPackageFiles::resolvedPath(given.absolutePath())).filePath(given.fileName());
    const auto refuse = [&givenPath](const QString &reason) -> TWErrorResult {
        return TWError(TWPackageErrorDomain, TWPackageReplaceError,
                       TWLocalized("packageReplaceRefusedDescription").arg(givenPath, reason));
    };
    const auto foreign = [&refuse](const QString &entry) {
        return refuse(TWLocalized("packageReplaceForeignEntry").arg(entry));
    };
    mode_t mode = 0;
    if (!fileMode(path, &mode))
        return std::nullopt;
    if (!S_ISDIR(mode))
        return refuse(TWLocalized("packageReplaceNotFolder"));
    const QDir package(path);
    const QStringList files = {TWPackageDataFileName, TWPackageDataFileName + "-journal",
                               TWPackageSettingsFileName, TWPackageFiles::pendingSettingsFileName};
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QString &name : package.entryList(all)) {
        if (!fileMode(package.filePath(name), &mode))
            return foreign(name);
        if ((files.contains(name) || TWPackageFiles::fileManagerFileNames.contains(name)) &&
            S_ISREG(mode))
            continue;
        if (name != TWPackageAttachmentsFolderName || !S_ISDIR(mode))
            return foreign(name);
        const QDir attachments(package.filePath(name));
        for (const QString &file : attachments.entryList(all)) {
            if (!fileMode(attachments.filePath(file), &mode) || !S_ISREG(mode))
                return foreign(name + QLatin1Char('/') + file);
        }
    }
    const QString data = package.filePath(TWPackageDataFileName);
    if (!fileMode(data, &mode) || !S_ISREG(mode) || !holdsBusinessDatabase(data))
        return refuse(TWLocalized("packageReplaceNoDatabase"));
    return std::nullopt;
}
