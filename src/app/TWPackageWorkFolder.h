#pragma once
// The hidden folder beside a package where a save writes the new package
// before it takes the old one's place. A lock file beside the folder, locked
// by the saving process for as long as the object lives, tells every other
// process that the folder is in use; once that process is gone (a save cut
// off), the folder is a leftover that the next save onto the package, or its
// next opening, removes.

#include <QString>

#include <functional>

class TWPackageWorkFolder final
{
public:
    // Claims a free hidden name beside `target` for `purpose` ("save").
    TWPackageWorkFolder(const QString &target, const QString &purpose);
    // Removes what is still at the folder's place (only a package's own
    // entries), then the lock.
    ~TWPackageWorkFolder();
    TWPackageWorkFolder(const TWPackageWorkFolder &) = delete;
    TWPackageWorkFolder &operator=(const TWPackageWorkFolder &) = delete;

    const QString &path() const { return m_path; }
    // Whether the folder's place is claimed (its lock made and held); when
    // not, `failure` says why (the folder beside the target cannot be
    // written to, most often).
    bool isLocked() const { return m_lock >= 0; }
    const QString &failure() const { return m_failure; }
    // Notes in the lock that the whole package in the folder is about to
    // replace `target` (the name it goes to and its database's save token),
    // so that an opening that finds the name empty puts back this package
    // and nothing else (restoreLeftover).
    void recordReplace(const QString &target);

    // Removes the work folders beside `target` that saves cut off left (a
    // new package being written, an old one moved aside by a replace): those
    // whose lock file this user made with this program and no process holds
    // (an empty one too: a save cut off before it wrote its lock's first
    // line).
    // A folder of that name without such a lock is left alone, and so is an
    // old package moved aside while nothing took its place. Nothing is
    // followed: a link among what is removed goes as a link.
    // A replaced package is kept while nothing is at `target`, and so is any
    // leftover holding a receipt file that the business at `target` names and
    // lacks (its only copy).
    static void removeLeftovers(const QString &target);
    // When nothing is at `target`, puts back the package a replace cut off
    // between taking the old package away and putting the new one in left
    // beside it: only the leftover whose lock records that replace of this
    // name, still holding the very database that replace wrote (its token),
    // whole. Any other leftover (an old package moved aside, one left before
    // the package was renamed, one of an earlier build) stays where it is.
    // The folder it was, or empty when none was put back.
    static QString restoreLeftover(const QString &target);

private:
    // Hands each leftover beside `target` (its lock free, ours) to
    // `leftover`, its lock held meanwhile.
    static void eachLeftover(const QString &target,
                             const std::function<void(const QString &)> &leftover);

    QString m_path;
    QString m_failure;
    int m_lock = -1;
};
