#pragma once
// The component's folder tree on disk: the running process's report folder (active), reports of
// earlier processes being processed, packaged uploads waiting for the network (prepared). The
// state of a report is the folder it lies in. Each operation logs its own failure and answers
// true or false; listings never show hidden entries (names beginning with "."), so the contents
// operations never touch them. Several processes may share the tree: each holds a lock on its
// own folder in active for as long as it runs, and a lock on every report folder or package it
// has taken to process or send (a claim), so that no other process takes it too. The stage
// folders (active, pending, processing, prepared, outgoing) are the component's own: one that is
// a link or another user's is never listed, and nothing in it is removed. Below the folder the
// tree hangs from (the cache folder, which may be a link), every folder is opened one level at
// a time relative to its parent, never through a link, and checked to be the running user's;
// every entry is made, renamed, opened and removed relative to its folder's descriptor. Nothing
// is made in a cache folder of another user's (a run with sudo keeping HOME), and no level is
// used that lies on another file system than the cache folder. A folder of another user's in the
// place of a level or a stage is set aside under a hidden name beside it and a folder of ours
// made in its place; the reports it holds that this user can read are copied into the stages of
// ours, and sent, once.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <sys/stat.h>
#include <vector>

class MSHFileManager
{
public:
    // Root = the user's cache folder / "com.mishap.data" / pathNamespace(); the cache folder is
    // taken as the bytes the environment names.
    MSHFileManager();
    // The tree hangs from the root itself.
    explicit MSHFileManager(const QString &rootPath);
    // Lets go of the locks on the folders it set up.
    ~MSHFileManager();
    MSHFileManager(const MSHFileManager &) = delete;
    MSHFileManager &operator=(const MSHFileManager &) = delete;

    // The application's bundle identifier with every "/" replaced by "_".
    static QString pathNamespace();
    static QString defaultRootPath();
    // The user's cache folder as the environment names it (XDG_CACHE_HOME when absolute, else
    // HOME/.cache), made absolute from the working folder and resolved to its real path (the part
    // that exists), in clean form, as bytes: a name that is no UTF-8 stays what it is.
    static QByteArray cacheFolderPath();
    // The same as a path to open and name files by: the folder's own name, or a name through a
    // descriptor held open for a name that is no UTF-8. One form for every part of the component.
    static QString cacheFolderName();
    // Whether this user may make folders in the cache folder: it is the user's own, or a shared
    // one (world-writable and sticky); when missing, the same of the nearest folder above it.
    static bool mayMakeInCacheFolder(const QByteArray &cache);
    // The folder at those names below the cache folder, made where missing, each level a folder
    // of this user's reached without a link (another user's is set aside and made anew); empty
    // (logged) when the cache folder is not one this user may make folders in.
    static QString ownCacheFolder(const QList<QByteArray> &names);
    // A folder itself, not a link to one (nor anything else).
    static bool isRealDirectory(const QString &path);
    // The same for an entry of the tree, looked at from its own folder's descriptor.
    bool isFolderInTree(const QString &path) const;
    // The status of the entry itself (a link is not followed), from its folder's descriptor; a
    // path outside the tree is looked at by its name.
    bool entryStatus(const QString &path, struct stat &status) const;
    // Opens the entry from its folder's descriptor, never through a link at its own name; -1
    // (errno set) otherwise.
    int openEntry(const QString &path, int flags, mode_t mode = 0) const;
    // Gives the owner read, write and search permission on a folder of this user's that lacks
    // them, never through a link.
    static void makeOwnFolderReadable(const QString &path);

    const QString &rootPath() const { return m_rootPath; }
    QString structurePath() const;
    QString activePath() const;
    QString pendingPath() const;
    QString processingPath() const;
    QString preparedPath() const;
    // Packages of reports that prepared takes no new file for (read-only, another user's): a
    // folder of this user's alone, sent from and bounded like prepared.
    QString outgoingPath() const;
    // The folder name a stage has at this run: its own, or "STAGE.own" when a file system is
    // mounted at its own name (which can be neither used nor set aside).
    QString stageFolderName(const QString &stage) const;
    // Makes that folder (mode 0700) when missing; false when something else has its name.
    bool createOutgoingDirectory();
    // Opens a folder of the tree to list or remove in it: a stage folder only when it is a
    // folder of the running user's, never through a link; any other never through a link at its
    // own name. A descriptor for the caller to close, or -1 (errno set).
    int openFolder(const QString &path) const;
    // Opens a stage folder for a write; a link, a foreign folder or nothing in its place (swapped
    // since the start) is replaced first, so that the write goes on in a folder of ours.
    int openStage(const QString &path);

    bool createDirectoryAtPath(const QString &path);
    // Removes a file or a whole folder however deep, each entry as what it is: a link is removed
    // as a link (never followed) and no mode outside the tree changes; a folder of ours that
    // blocks its own removal (no read, write or search permission) is opened up to be removed.
    // The item is taken from its folder as openFolder opens it. False (logged) for a missing item.
    bool removeItemAtPath(const QString &path);
    // Judges the item of the tree and removes it unless `keeps` holds, both on one descriptor of
    // the item opened from its folder's descriptor (held locked meanwhile): what is judged is
    // what is removed, whatever is swapped along its path. `keeps` is given a path through that
    // descriptor. True when kept, false when removed, nothing when it is gone, held by another
    // process or cannot be removed.
    std::optional<bool> removeItemUnless(const QString &path,
                                         const std::function<bool(const QString &)> &keeps);
    // Only the judgement, made the same way.
    bool itemSatisfies(const QString &path, const std::function<bool(const QString &)> &test) const;
    // Tries every listed entry; true only when each was removed.
    bool removeContentsOfDirectoryAtPath(const QString &path);
    // Moves the item into the folder under its own name; an existing item there is not replaced.
    bool moveItemAtPath(const QString &path, const QString &directory);
    // Stops at the first failure; true when everything moved (also for an empty folder).
    bool moveItemsFromDirectory(const QString &source, const QString &destination);
    // Full path and extension of each visible entry, in name order; nothing for a missing folder.
    void enumerateFilesInDirectory(
        const QString &directory,
        const std::function<void(const QString &path, const QString &extension)> &block) const;
    QStringList contentsOfDirectory(const QString &directory) const;
    std::optional<qint64> fileSizeAtPath(const QString &path) const;

    QStringList activePathContents() const { return contentsOfDirectory(activePath()); }
    QStringList processingPathContents() const { return contentsOfDirectory(processingPath()); }
    QStringList preparedPathContents() const { return contentsOfDirectory(preparedPath()); }
    QStringList outgoingPathContents() const { return contentsOfDirectory(outgoingPath()); }

    // Creates active, processing and prepared (stopping at the first failure), completes what a
    // launch cut off while packaging had committed to, and removes what an interrupted packaging
    // left in prepared under a hidden name. Folders left to remove (claimed folders of finished
    // packages, hidden folders of launches cut off while making theirs) are only listed, for
    // removeLeftovers: however large, they never hold up the start. Folders set aside are only
    // set aside here; their reports are taken by takeReportsSetAside.
    bool prepareForNewLaunch();
    // The reports that arrived in the stages of ours from folders set aside, by stage.
    struct TakenReports {
        QStringList active;
        QStringList processing;
        QStringList prepared;
    };
    // Takes what this user can read of the reports in folders set aside (by this start or an
    // earlier one) into the stages of ours, no more of each stage than the bound keeps, and
    // marks each folder taken once all of it arrived; see +SetAside. Never waits for another
    // process: when one is taking them, nothing is done. Meant for the work queue.
    TakenReports takeReportsSetAside();
    // Removes what prepareForNewLaunch listed, each only when no process holds it.
    void removeLeftovers();
    // Whether the folder or package is settled (see below); the paths of all settled ones. A
    // line of the record names a stage folder's own child by its name, or nothing.
    bool isSettled(const QString &path) const;
    QSet<QString> settledPaths() const;
    // A report whose folder takes no rename (a stage folder that is read-only, another user's,
    // on a read-only file system) is recorded as packaged under the boundary before its package
    // takes its name, in place of the claim by rename; a package sent but not removable is
    // recorded as sent. Either is then never packaged or sent again, and is removed, and its
    // record dropped, once that works. False when the record cannot be written.
    bool settleFolder(const QString &folderPath, const QString &boundary);
    bool settlePackage(const QString &packagePath);
    void unsettleFolder(const QString &folderPath, const QString &boundary);
    // The running process's folder in active, locked for as long as this file manager lives
    // (the kernel lets go of the lock when the process ends); empty when it cannot be created.
    QString setupNewPathForExecutionIdentifier(const QString &identifier);
    // Whether a running process holds the lock on the report folder (or package): such a folder
    // is that process's own, or one it has claimed, and is left alone.
    static bool isReportFolderInUse(const QString &path);

    // The status of the claimed item, read on the claim's own descriptor.
    std::optional<struct stat> claimedStatus(const QString &path);
    // Takes a report folder or a package for this process alone: an exclusive lock on an open
    // descriptor, held until the item is removed through this file manager, the claim is let
    // go, or the process ends (the kernel lets go then). True when this file manager holds the
    // claim, now or already; false when another process holds it, or the item is gone or is
    // neither a folder nor a regular file (a link is never followed).
    bool claimItemAtPath(const QString &path);
    // The same for the entry of the open folder, known by that path.
    bool claimItemAt(int folder, const QString &path);
    void releaseClaimAtPath(const QString &path);
    // The claimed item now lies at `to` (renamed by its claimant).
    void claimedItemMoved(const QString &from, const QString &to);
    // A package's name as the component writes it: its boundary (an upper-case UUID) with the
    // extension "multipartmime".
    static bool isPackageName(const QString &fileName);
    // A report folder is renamed to this (hidden, beside where it was) once its package, still
    // hidden, is whole and before that package takes its name: from then on it is no longer a
    // folder to package but the remains of one packaged under that boundary, removed with no
    // further look. A launch cut off between the two renames is completed at the next start.
    static QString packagedFolderName(const QString &boundary);
    // Makes an empty marker file at the path and never writes through what is there: a regular
    // file of one link there already is the marker; a link or another file's second name (a
    // hard link) is removed, never opened. False when it cannot be made (a folder by that
    // name, a folder that takes no new file).
    static bool createMarkerFile(const QString &path);
    // The same for a marker of the tree, made from its folder's descriptor.
    bool createMarkerFileInTree(const QString &path) const;
    // Whether the open folder is still the one the tree holds at the path (a folder swapped
    // away after it was opened is not).
    bool isFolderAtPath(int folder, const QString &path) const;
    void removeLegacyDirectories();

    void enumerateFilesInActiveDirectoryUsingBlock(
        const std::function<void(const QString &, const QString &)> &block) const;
    void enumerateFilesInPreparedDirectoryUsingBlock(
        const std::function<void(const QString &, const QString &)> &block) const;

    bool movePendingToProcessing();
    bool moveProcessingContentsToPrepared();
    bool removeContentsOfProcessingPath();
    bool removeContentsOfPendingPath();
    // Empties processing, pending, prepared, outgoing and active, always all five; the folders of
    // processes still running stay.
    bool removeContentsOfAllPaths();

    // Reports that can never be sent must not pile up: of the folder's visible entries the
    // newest `keep` that are younger than `maximumAgeSeconds` stay; the rest are answered
    // (oldest last).
    QStringList entriesBeyondBounds(const QString &directory, int keep,
                                    qint64 maximumAgeSeconds) const;
    // Removes those entries; answers how many were removed.
    int pruneDirectory(const QString &directory, int keep, qint64 maximumAgeSeconds);
    // Of the folder's visible entries, only those `counts` accepts count and can be answered.
    QStringList entriesBeyondBounds(const QString &directory, int keep, qint64 maximumAgeSeconds,
                                    const std::function<bool(const QString &)> &counts) const;
    // The entries of active, processing and prepared beyond the limits below; in active only the
    // folders `isReport` accepts count (one holding no report pushes no report out).
    QStringList reportsBeyondBounds(const std::function<bool(const QString &)> &isReport) const;
    static constexpr int reportsKept = 30;
    static constexpr qint64 reportsMaximumAgeSeconds = 30LL * 24 * 60 * 60;

private:
    // What a line of the settled record stands for.
    struct SettledEntry {
        QStringList paths;
        QString boundary;
        bool folder = false;
    };
    std::optional<SettledEntry> settledEntry(const QString &line) const;
    // The names from the cache folder down to the path, when it lies at or under the cache
    // folder; nothing for a path outside the tree.
    std::optional<QList<QByteArray>> namesFromBase(const QString &path) const;
    // Opens the folder at those names one level at a time (see above): below the base, never
    // through a link, each level down to the stage folders the running user's, and from the
    // structure folder down on one device. With `create`, the levels down to the structure
    // folder are made where missing. -1 (errno set) when any level fails.
    int openNames(const QList<QByteArray> &names, bool create) const;
    int openStructure(bool create) const;
    // Opens the folder that holds the entry, and gives the entry's own name.
    int openParent(const QString &path, QByteArray &name) const;
    // A foreign folder or anything else in a stage's place is set aside or removed.
    bool replaceStageEntry(int structure, const QString &stage, const struct stat &status);
    // Every name in the folder (hidden ones too), in name order; none for a folder openFolder
    // refuses.
    QStringList namesInFolder(const QString &folder) const;
    // Makes the stage folder (when asked) with the mode; a link or a file in its place is removed
    // as what it is first. False (logged) when no folder of this user's is there.
    bool prepareStageFolder(const QString &stage, mode_t mode, bool create);
    // Holds the open stage folder, when it is a stand-in for a mounted stage, with a shared lock
    // for as long as this file manager lives.
    void holdStandIn(const QString &stage, int folder);
    // Opens the item of the tree (a folder or a file, never through a link) locked for this
    // process, with its folder's descriptor; -1 when missing or held.
    int openItemLocked(const QString &path, int &parent, QByteArray &name) const;
    // Sets aside the report tree an earlier build left at another cache path (a relative or
    // non-UTF-8 cache folder was named differently then), so that its reports are taken too.
    void setAsideEarlierTree();
    // That tree's root, opened, when it is a folder of this user's and not this tree's own root
    // (compared as folders, never by name); -1 otherwise.
    int openEarlierRoot() const;
    // Sets aside the stand-ins of stages no longer mounted over, unless a running process uses
    // them.
    void setAsideStandIns();
    // A folder set aside, as found in one of its homes.
    struct SetAside {
        int home;
        QString homePath;
        QByteArray name;
        QByteArray identifier;
        // The names from it down to the stages, or the stage it was.
        QList<QByteArray> below;
        const char *stage = nullptr;
        // Marked taken by an earlier build ("NAME.taken"): the first of them marked a folder
        // even when reports in it had not arrived (no room for their copies, a stage that took
        // no entry), the next only once every report in it had arrived.
        bool markedByEarlierBuild = false;
        // What the disk tells of such a folder's reports (see +SetAside).
        enum class EarlierMark {
            // Its record holds the arrival marks of the build that marks only once all arrived.
            AllArrived,
            // Its record holds copies without arrival marks: the build that marked it was cut
            // off before it moved them in, so no report of it was sent yet.
            CopiesLeft,
            // Nothing on disk tells a report sent from one that could not be copied.
            NothingTells,
        };
        EarlierMark earlierMark = EarlierMark::NothingTells;
    };
    void takeFolderSetAside(int structure, const SetAside &aside, TakenReports &taken);
    // The earlier builds' marked folder: a report known to have arrived (in the record of
    // copies, or by its identifier in a stage of ours when this start began) is not taken again;
    // the rest are taken as from a folder not yet marked, those nothing tells of within one bound
    // for all such folders; the folder then takes this build's mark.
    void takeFolderMarkedByEarlierBuild(int structure, const SetAside &aside, TakenReports &taken);
    // What the disk tells of a folder an earlier build marked, read before anything is taken.
    SetAside::EarlierMark readEarlierMark(int structure, const SetAside &aside);
    // Notes the names and report identifiers (a package's by the identifier inside it) in the
    // stages of ours, as this start found them.
    void noteReportsInStages();
    // Where, in the folder set aside, down to its stages and their entries, another file system
    // is mounted; empty when nowhere.
    QString mountInFolderSetAside(const SetAside &aside) const;
    // Moves the copies of a record whose folder is gone or marked in; the record goes once empty.
    void finishCopies(int structure, const QByteArray &copiesName, TakenReports &taken);
    // Renames the entry of the open folder into the stage of ours (opened afresh, made ours
    // again where swapped); true when it is there now (moved, or there already).
    bool moveIntoStage(int from, const QByteArray &name, const char *into, TakenReports &taken);
    // The folders of ours in which folders set aside may lie, each with the names from it down
    // to the structure folder.
    struct SetAsideHome {
        int folder;
        QList<QByteArray> below;
        QString path;
    };
    std::vector<SetAsideHome> setAsideHomes() const;
    // removeItemAtPath without a word; errno tells why not.
    bool removeQuietly(const QString &path);
    void completeInterruptedPackaging();
    void listHiddenFoldersOfCutLaunches();
    // Makes the folder under its hidden name, locks it and gives it its name; errno on failure.
    QString setupHiddenPath(const QString &hidden, const QString &path);
    QString settledRecordPath() const;
    QStringList readSettled() const;
    // Applies the change to the record under a lock on the structure folder.
    bool changeSettled(const std::function<void(QStringList &)> &change);

    QStringList m_leftovers;
    // The names and report identifiers in the stages of ours as this start found them, before
    // any was handled: a report of a folder an earlier build marked taken that lies there
    // already, or was packaged there, is not taken again.
    QSet<QByteArray> m_reportsInStagesAtStart;
    // Within one take: the reports taken by stage of ours from marked folders nothing tells of,
    // and how many folders of each identifier are still to be marked.
    QHash<QByteArray, int> m_takenUntold;
    QHash<QByteArray, int> m_unmarkedOfIdentifier;
    // The report tree an earlier build used for this cache folder, when it lies elsewhere.
    QByteArray m_earlierRoot;
    // Stages whose own name is taken by a mounted file system, with the folder used instead.
    mutable QMutex m_stageMutex;
    QHash<QString, QString> m_stageFolders;
    QString m_rootPath;
    // The folder the tree hangs from, as bytes, and the names from it down to the root.
    QByteArray m_base;
    QList<QByteArray> m_chain;
    // The base as the tree's paths begin, and the descriptor that stands for a base whose name
    // is no UTF-8.
    QString m_basePath;
    int m_baseDescriptor = -1;
    // Descriptors holding the locks on the folders set up here.
    std::vector<int> m_folderLocks;
    // Stand-in stage folders this process holds (shared) for as long as it runs, by name, each
    // with the descriptor that holds the lock (under the stage mutex).
    QHash<QString, int> m_heldStandIns;
    // Claimed items by path, each with the descriptor that holds its lock.
    QMutex m_claimsMutex;
    QHash<QString, int> m_claims;
};
