#pragma once
// The folder tree usage-analytics event files live in between being written and being uploaded:
// root / "v1" / "ACTIVE" or "PACKAGED" / session / fragment / event files. A fragment moves to
// PACKAGED through a "prep" folder; emptied folders go away with their last file; clean-up
// removes whatever the tree does not allow. Called only from the analytics queues.

#include "crashreporting/common/MSHError.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

class MSHEventLogSessionRepository
{
public:
    static const QString activeStateName;   // "ACTIVE"
    static const QString packagedStateName; // "PACKAGED"
    static QString versionDirectoryName() { return QStringLiteral("v1"); }

    explicit MSHEventLogSessionRepository(const QString &rootDirectoryPath);
    const QString &rootDirectoryPath() const { return m_root; }

    // "0.log", "1.log", "2.log"; none for another priority.
    static std::optional<QString> activeEventLogFileNameForPriority(int64_t priority);
    // 0, 1 or 2 for an event file's name, with or without one more extension; else -1.
    static int priorityForEventLogFileWithName(const QString &name);
    static QString sessionDirectoryName(const QString &identifier, uint64_t timestamp);
    static QString sessionFragmentDirectoryName(const QString &identifier, uint64_t timestamp);
    static QString prepDirectoryForDirectory(const QString &path);
    static bool isPrepDirectory(const QString &path);
    static QString parentDirectory(const QString &path);

    std::optional<QString> statesDirectory(MSHError *error = nullptr);
    std::optional<QString> stateDirectory(const QString &state, MSHError *error = nullptr);
    std::optional<QStringList> sessionDirectories(const QString &state, MSHError *error = nullptr);
    std::optional<QString> sessionDirectory(const QString &state, const QString &sessionIdentifier,
                                            uint64_t sessionTimestamp, MSHError *error = nullptr);
    std::optional<QString>
    sessionFragmentDirectory(const QString &state, const QString &sessionIdentifier,
                             uint64_t sessionTimestamp, const QString &fragmentIdentifier,
                             uint64_t fragmentTimestamp, MSHError *error = nullptr);
    // The fragment folder is created; the file is not.
    std::optional<QString> eventLogFile(const QString &state, const QString &sessionIdentifier,
                                        uint64_t sessionTimestamp,
                                        const QString &fragmentIdentifier,
                                        uint64_t fragmentTimestamp, int64_t priority,
                                        MSHError *error = nullptr);
    std::optional<QStringList>
    sessionFragmentDirectoriesForSessionDirectory(const QString &sessionDirectory,
                                                  MSHError *error = nullptr);
    // Every fragment folder of every session of the state.
    std::optional<QStringList> sessionFragmentDirectories(const QString &state,
                                                          MSHError *error = nullptr);
    // Items of the fragment folder with the extension "log" or "zip".
    std::optional<QStringList> logFilesForSessionFragmentDirectory(const QString &fragment,
                                                                   MSHError *error = nullptr);
    // Event files of ACTIVE, then PACKAGED; none at the first listing error.
    std::optional<QStringList> logFilesForAllStates(MSHError *error = nullptr);

    std::optional<QString> prepSessionFragmentDirectory(const QString &state,
                                                        const QString &fragmentDirectory,
                                                        MSHError *error = nullptr);
    // Renames a "prep" folder to its plain name, replacing whatever stood there.
    std::optional<QString> removePrepStatus(const QString &prepDirectory,
                                            MSHError *error = nullptr);
    bool purgePrepSessionFragmentDirectories(const QString &state, MSHError *error = nullptr);
    // The fragment, then its session and state folders when they are left empty.
    bool removeSessionFragmentDirectory(const QString &fragment, MSHError *error = nullptr);
    // The file, then its fragment folder (as above) when it is left empty.
    bool removeLogFile(const QString &file, MSHError *error = nullptr);
    bool cleanUpEventLogRepositoryIgnoringSessionFragmentDirectory(const QString &openFragment,
                                                                   MSHError *error = nullptr);

    bool createDirectory(const QString &path, MSHError *error = nullptr);
    bool createFile(const QString &path, MSHError *error = nullptr);
    bool deleteItem(const QString &path, MSHError *error = nullptr);
    // Non-hidden items of the folder, as full paths.
    std::optional<QStringList> contentsOfDirectory(const QString &path, MSHError *error = nullptr);
    static bool isDirectory(const QString &path);
    static QString standardized(const QString &path);

private:
    // shouldDelete: the item may go (a file, or a folder every child of which went).
    using Rule = std::function<bool(const QString &child, bool &shouldDelete, MSHError *error)>;
    bool cleanUpDirectory(const QString &path, bool &shouldDelete, MSHError *error,
                          const Rule &rule);
    bool removeDirectoryIfEmpty(const QString &path, bool &removed, MSHError *error);

    QString m_root;
};
