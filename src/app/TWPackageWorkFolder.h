#pragma once
// The hidden folder beside a package where a save writes the new package
// before it takes the old one's place. A lock file beside the folder, locked
// by the saving process for as long as the object lives, tells every other
// process that the folder is in use; once that process is gone (a save cut
// off), the folder is a leftover that the next save onto the package, or its
// next opening, removes.

#include "store/TWPackageAnchor.h"

#include <QString>

#include <functional>
#include <optional>

// A whole business a cut-off save left beside a package, as the user is told
// of it: where it is (for one put back at the name, where it was) and what it
// holds.
struct TWPackageLeftover {
    QString path;
    TWPackageContents contents;
    // Whether the replace that left it recorded it (an earlier build's
    // replace recorded nothing).
    bool recorded = false;
};

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
    // Notes in the lock that a package is about to replace `target`: the
    // name it goes to, the token of the database it holds (`token`, or with
    // 0 that of the folder's own database) and when, by a sequence number
    // past every other record beside `target` and the time, so that an
    // opening that finds the name empty puts back this package and nothing
    // else, and the last replace's (restoreLeftover). The token recorded; 0
    // when nothing was.
    qint64 recordReplace(const QString &target, qint64 token = 0);

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
    // lacks (its only copy). A leftover holding a whole business goes only
    // when the business at `target` holds all it holds (the very same save)
    // or is the one the replace that moved it aside recorded (what the user
    // chose to replace): every other is kept and returned, to be named.
    static QList<TWPackageLeftover> removeLeftovers(const QString &target);
    // When nothing is at `target`, puts back the package a replace cut off
    // between taking the old package away and putting the new one in left
    // beside it: the leftover whose lock records that replace of this name,
    // still holding the very database that replace wrote (its token), whole;
    // of several, the last recorded. Where none records one, an earlier
    // build's replace was cut off (it recorded nothing): its newest whole
    // business goes back, as that build put it back. Every other leftover
    // stays where it is. What was put back, or none.
    static std::optional<TWPackageLeftover> restoreLeftover(const QString &target);
    // Whether a cut-off save left a work folder beside `target` (its lock
    // free, ours): an opening of `target` may put one back.
    static bool hasLeftover(const QString &target);

private:
    // Hands each leftover beside `target` (its lock free, ours) to
    // `leftover`, its lock held meanwhile.
    static void eachLeftover(const QString &target,
                             const std::function<void(const QString &)> &leftover);

    QString m_path;
    QString m_failure;
    int m_lock = -1;
};
