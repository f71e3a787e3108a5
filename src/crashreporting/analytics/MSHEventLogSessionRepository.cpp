#include "crashreporting/analytics/MSHEventLogSessionRepository.h"

#include "crashreporting/analytics/MSHEventLogEventFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

const QString MSHEventLogSessionRepository::activeStateName = QStringLiteral("ACTIVE");
const QString MSHEventLogSessionRepository::packagedStateName = QStringLiteral("PACKAGED");

namespace
{
void setError(MSHError *error, const QString &description)
{
    if (error)
        *error = MSHAnalyticsFileError(description);
}

QString extensionOf(const QString &path)
{
    return QFileInfo(path).suffix();
}

const QFileDevice::Permissions folderPermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
    QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
const QFileDevice::Permissions filePermissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ReadGroup | QFileDevice::ReadOther;
} // namespace

MSHEventLogSessionRepository::MSHEventLogSessionRepository(const QString &rootDirectoryPath)
    : m_root(QDir::cleanPath(rootDirectoryPath))
{
}

std::optional<QString>
MSHEventLogSessionRepository::activeEventLogFileNameForPriority(int64_t priority)
{
    if (priority < 0 || priority > 2)
        return std::nullopt;
    return QStringLiteral("%1.log").arg(priority);
}

int MSHEventLogSessionRepository::priorityForEventLogFileWithName(const QString &name)
{
    const auto match = [](const QString &candidate) {
        for (int priority = 0; priority <= 2; ++priority) {
            if (candidate == QStringLiteral("%1.log").arg(priority))
                return priority;
        }
        return -1;
    };
    const int direct = match(name);
    if (direct >= 0)
        return direct;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? match(name.left(dot)) : -1;
}

QString MSHEventLogSessionRepository::sessionDirectoryName(const QString &identifier,
                                                           uint64_t timestamp)
{
    return QStringLiteral("%1_%2").arg(qulonglong(timestamp)).arg(identifier);
}

QString MSHEventLogSessionRepository::sessionFragmentDirectoryName(const QString &identifier,
                                                                   uint64_t timestamp)
{
    return sessionDirectoryName(identifier, timestamp);
}

QString MSHEventLogSessionRepository::prepDirectoryForDirectory(const QString &path)
{
    return QDir::cleanPath(path) + QStringLiteral(".prep");
}

bool MSHEventLogSessionRepository::isPrepDirectory(const QString &path)
{
    return extensionOf(QDir::cleanPath(path)) == QLatin1String("prep");
}

QString MSHEventLogSessionRepository::parentDirectory(const QString &path)
{
    return QFileInfo(QDir::cleanPath(path)).path();
}

QString MSHEventLogSessionRepository::standardized(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool MSHEventLogSessionRepository::isDirectory(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink();
}

bool MSHEventLogSessionRepository::deleteItem(const QString &path, MSHError *error)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    const bool removed = isDirectory(path) ? QDir(path).removeRecursively() : QFile::remove(path);
    if (!removed)
        setError(error, QStringLiteral("Unable to remove %1").arg(path));
    return removed;
}

bool MSHEventLogSessionRepository::createDirectory(const QString &path, MSHError *error)
{
    const QFileInfo info(path);
    if ((info.exists() || info.isSymLink()) && !isDirectory(path) && !deleteItem(path, error))
        return false;
    if (isDirectory(path))
        return true;
    // Each missing level gets the folder permissions, not just the last one.
    QStringList missing;
    for (QString level = QDir::cleanPath(path); !QFileInfo::exists(level);
         level = parentDirectory(level)) {
        missing.prepend(level);
        if (level == parentDirectory(level))
            break;
    }
    for (const QString &level : std::as_const(missing)) {
        if (QFileInfo(level).exists() && !isDirectory(level) && !deleteItem(level, error))
            return false;
        if (!QDir().mkdir(level) && !isDirectory(level)) {
            setError(error, QStringLiteral("Unable to create the folder %1").arg(level));
            return false;
        }
        QFile::setPermissions(level, folderPermissions);
    }
    return true;
}

bool MSHEventLogSessionRepository::createFile(const QString &path, MSHError *error)
{
    if (isDirectory(path) && !deleteItem(path, error))
        return false;
    if (QFileInfo::exists(path))
        return true;
    if (!createDirectory(parentDirectory(path), error))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        setError(error, file.errorString());
        return false;
    }
    file.setPermissions(filePermissions);
    return true;
}

std::optional<QStringList> MSHEventLogSessionRepository::contentsOfDirectory(const QString &path,
                                                                             MSHError *error)
{
    const QDir directory(path);
    if (!isDirectory(path)) {
        setError(error, QStringLiteral("Unable to list %1").arg(path));
        return std::nullopt;
    }
    QStringList items;
    const QStringList names =
        directory.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString &name : names) {
        if (!name.startsWith(QLatin1Char('.')))
            items.append(directory.filePath(name));
    }
    return items;
}

std::optional<QString> MSHEventLogSessionRepository::statesDirectory(MSHError *error)
{
    const QString path = QDir(m_root).filePath(versionDirectoryName());
    if (!createDirectory(path, error))
        return std::nullopt;
    return path;
}

std::optional<QString> MSHEventLogSessionRepository::stateDirectory(const QString &state,
                                                                    MSHError *error)
{
    const QString path = QDir(m_root).filePath(versionDirectoryName() + QLatin1Char('/') + state);
    if (!createDirectory(path, error))
        return std::nullopt;
    return path;
}

std::optional<QStringList> MSHEventLogSessionRepository::sessionDirectories(const QString &state,
                                                                            MSHError *error)
{
    const auto stateFolder = stateDirectory(state, error);
    if (!stateFolder)
        return std::nullopt;
    auto items = contentsOfDirectory(*stateFolder, error);
    if (!items)
        return std::nullopt;
    QStringList folders;
    for (const QString &item : std::as_const(*items)) {
        if (isDirectory(item))
            folders.append(item);
    }
    return folders;
}

std::optional<QString>
MSHEventLogSessionRepository::sessionDirectory(const QString &state,
                                               const QString &sessionIdentifier,
                                               uint64_t sessionTimestamp, MSHError *error)
{
    const QString path =
        QDir(m_root).filePath(versionDirectoryName() + QLatin1Char('/') + state + QLatin1Char('/') +
                              sessionDirectoryName(sessionIdentifier, sessionTimestamp));
    if (!createDirectory(path, error))
        return std::nullopt;
    return path;
}

std::optional<QString> MSHEventLogSessionRepository::sessionFragmentDirectory(
    const QString &state, const QString &sessionIdentifier, uint64_t sessionTimestamp,
    const QString &fragmentIdentifier, uint64_t fragmentTimestamp, MSHError *error)
{
    const QString path = QDir(m_root).filePath(
        versionDirectoryName() + QLatin1Char('/') + state + QLatin1Char('/') +
        sessionDirectoryName(sessionIdentifier, sessionTimestamp) + QLatin1Char('/') +
        sessionFragmentDirectoryName(fragmentIdentifier, fragmentTimestamp));
    if (!createDirectory(path, error))
        return std::nullopt;
    return path;
}

std::optional<QString> MSHEventLogSessionRepository::eventLogFile(const QString &state,
                                                                  const QString &sessionIdentifier,
                                                                  uint64_t sessionTimestamp,
                                                                  const QString &fragmentIdentifier,
                                                                  uint64_t fragmentTimestamp,
                                                                  int64_t priority, MSHError *error)
{
    const auto name = activeEventLogFileNameForPriority(priority);
    if (!name) {
        setError(error, QStringLiteral("No event file for priority %1").arg(priority));
        return std::nullopt;
    }
    const auto fragment = sessionFragmentDirectory(state, sessionIdentifier, sessionTimestamp,
                                                   fragmentIdentifier, fragmentTimestamp, error);
    if (!fragment)
        return std::nullopt;
    return QDir(*fragment).filePath(*name);
}

std::optional<QStringList>
MSHEventLogSessionRepository::sessionFragmentDirectoriesForSessionDirectory(
    const QString &sessionDirectory, MSHError *error)
{
    auto items = contentsOfDirectory(sessionDirectory, error);
    if (!items)
        return std::nullopt;
    QStringList folders;
    for (const QString &item : std::as_const(*items)) {
        if (isDirectory(item))
            folders.append(item);
    }
    return folders;
}

std::optional<QStringList>
MSHEventLogSessionRepository::sessionFragmentDirectories(const QString &state, MSHError *error)
{
    const auto sessions = sessionDirectories(state, error);
    if (!sessions)
        return std::nullopt;
    QStringList fragments;
    for (const QString &session : *sessions) {
        const auto inSession = sessionFragmentDirectoriesForSessionDirectory(session, error);
        if (!inSession)
            return std::nullopt;
        fragments += *inSession;
    }
    return fragments;
}

std::optional<QStringList>
MSHEventLogSessionRepository::logFilesForSessionFragmentDirectory(const QString &fragment,
                                                                  MSHError *error)
{
    auto items = contentsOfDirectory(fragment, error);
    if (!items)
        return std::nullopt;
    QStringList files;
    for (const QString &item : std::as_const(*items)) {
        const QString extension = extensionOf(item);
        if (extension == QLatin1String("log") || extension == QLatin1String("zip"))
            files.append(item);
    }
    return files;
}

std::optional<QStringList> MSHEventLogSessionRepository::logFilesForAllStates(MSHError *error)
{
    QStringList files;
    for (const QString &state : {activeStateName, packagedStateName}) {
        const auto fragments = sessionFragmentDirectories(state, error);
        if (!fragments)
            return std::nullopt;
        for (const QString &fragment : *fragments) {
            const auto inFragment = logFilesForSessionFragmentDirectory(fragment, error);
            if (!inFragment)
                return std::nullopt;
            files += *inFragment;
        }
    }
    return files;
}

std::optional<QString> MSHEventLogSessionRepository::prepSessionFragmentDirectory(
    const QString &state, const QString &fragmentDirectory, MSHError *error)
{
    const QStringList components =
        QDir::cleanPath(fragmentDirectory).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (components.size() < 3) {
        setError(error, QStringLiteral("Not a fragment folder: %1").arg(fragmentDirectory));
        return std::nullopt;
    }
    const auto stateFolder = stateDirectory(state, error);
    if (!stateFolder)
        return std::nullopt;
    const QString path = QDir(*stateFolder)
                             .filePath(components.at(components.size() - 2) + QLatin1Char('/') +
                                       components.last() + QStringLiteral(".prep"));
    if (!createDirectory(path, error))
        return std::nullopt;
    return path;
}

std::optional<QString> MSHEventLogSessionRepository::removePrepStatus(const QString &prepDirectory,
                                                                      MSHError *error)
{
    if (!isPrepDirectory(prepDirectory)) {
        setError(error, QStringLiteral("Not a prep folder: %1").arg(prepDirectory));
        return std::nullopt;
    }
    const QString clean = QDir::cleanPath(prepDirectory);
    const QString plain = clean.left(clean.size() - int(QStringLiteral(".prep").size()));
    if (!deleteItem(plain, error))
        return std::nullopt;
    if (!QDir().rename(clean, plain)) {
        setError(error, QStringLiteral("Unable to rename %1").arg(clean));
        return std::nullopt;
    }
    return plain;
}

bool MSHEventLogSessionRepository::purgePrepSessionFragmentDirectories(const QString &state,
                                                                       MSHError *error)
{
    const auto fragments = sessionFragmentDirectories(state, error);
    if (!fragments)
        return false;
    for (const QString &fragment : *fragments) {
        if (isPrepDirectory(fragment) && !deleteItem(fragment, error))
            return false;
    }
    return true;
}

bool MSHEventLogSessionRepository::removeDirectoryIfEmpty(const QString &path, bool &removed,
                                                          MSHError *error)
{
    removed = false;
    const auto items = contentsOfDirectory(path, error);
    if (!items)
        return false;
    if (!items->isEmpty())
        return true;
    // Hidden leftovers do not keep a folder alive.
    if (!deleteItem(path, error))
        return false;
    removed = true;
    return true;
}

bool MSHEventLogSessionRepository::removeSessionFragmentDirectory(const QString &fragment,
                                                                  MSHError *error)
{
    if (!deleteItem(fragment, error))
        return false;
    const QString session = parentDirectory(fragment);
    bool removed = false;
    if (!removeDirectoryIfEmpty(session, removed, error))
        return false;
    if (removed && !removeDirectoryIfEmpty(parentDirectory(session), removed, error))
        return false;
    return true;
}

bool MSHEventLogSessionRepository::removeLogFile(const QString &file, MSHError *error)
{
    if (!deleteItem(file, error))
        return false;
    const QString fragment = parentDirectory(file);
    const auto items = contentsOfDirectory(fragment, error);
    if (!items)
        return false;
    return items->isEmpty() ? removeSessionFragmentDirectory(fragment, error) : true;
}

bool MSHEventLogSessionRepository::cleanUpDirectory(const QString &path, bool &shouldDelete,
                                                    MSHError *error, const Rule &rule)
{
    shouldDelete = false;
    if (!isDirectory(path)) {
        shouldDelete = true;
        return true;
    }
    const auto children = contentsOfDirectory(path, error);
    if (!children)
        return false;
    bool everyChildWent = true;
    for (const QString &child : *children) {
        bool childGoes = false;
        if (!rule(child, childGoes, error))
            return false;
        if (childGoes) {
            if (!deleteItem(child, error))
                return false;
        } else {
            everyChildWent = false;
        }
    }
    shouldDelete = everyChildWent;
    return true;
}

bool MSHEventLogSessionRepository::cleanUpEventLogRepositoryIgnoringSessionFragmentDirectory(
    const QString &openFragment, MSHError *error)
{
    const auto versionFolder = statesDirectory(error);
    if (!versionFolder)
        return false;
    const QString open = openFragment.isEmpty() ? QString() : standardized(openFragment);

    const Rule fragmentRule = [](const QString &item, bool &goes, MSHError *) {
        const QString extension = extensionOf(item);
        goes = isDirectory(item) ||
               (extension != QLatin1String("log") && extension != QLatin1String("zip"));
        return true;
    };
    const Rule sessionRule = [this, open, fragmentRule](const QString &item, bool &goes,
                                                        MSHError *error) {
        if (isDirectory(item) && !open.isEmpty() && standardized(item) == open) {
            goes = false;
            return true;
        }
        return cleanUpDirectory(item, goes, error, fragmentRule);
    };
    const Rule stateRule = [this, sessionRule](const QString &item, bool &goes, MSHError *error) {
        return cleanUpDirectory(item, goes, error, sessionRule);
    };
    const Rule versionRule = [this, stateRule](const QString &item, bool &goes, MSHError *error) {
        const QString name = QFileInfo(item).fileName();
        if (!isDirectory(item) || (name != activeStateName && name != packagedStateName)) {
            goes = true;
            return true;
        }
        return cleanUpDirectory(item, goes, error, stateRule);
    };
    bool ignored = false;
    return cleanUpDirectory(*versionFolder, ignored, error, versionRule);
}
