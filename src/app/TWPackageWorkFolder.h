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
    // Whether an earlier version of the program wrote it (by the layout of
    // what it recorded beside it).
    bool byEarlierVersion = false;
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
    // Whatever is kept while a business is at `target` is noted as kept in
    // its lock: a business has been at the name since it was left, so it is
    // never put back there (restoreLeftover).
    static QList<TWPackageLeftover> removeLeftovers(const QString &target);
    // When nothing is at `target`, puts back the new package of a replace
    // cut off after it took the old package away and before it put the new
    // one in: only where that replace itself emptied the name (the old
    // package lies where it moved it aside), nothing was kept while a
    // business was at the name since, and the new package is whole (its
    // database committed, no temporary file of a copy, every receipt its
    // rows name there that the old package held: one neither held was lost
    // before the replace, and the opening names it). This version's replace is known by what it
    // recorded of both folders (the name and the token of the new package); of several, the last
    // recorded. The previous version recorded only the new package (no order) and nothing of the
    // old one: its layout is read by its own rule. Never the old package a replace moved aside, nor
    // a copy whose lock records no replace. Every other leftover stays where it is. What was put
    // back, or none.
    static std::optional<TWPackageLeftover> restoreLeftover(const QString &target);
    // Whether an opening of `target` would put back a package a cut-off
    // replace left beside it (see restoreLeftover).
    static bool hasReplacement(const QString &target);
    // Every business hidden beside `target` in a folder named as a save's
    // work folder (by its name alone: its lock may have been renamed,
    // removed or written by another program), a folder of this user holding
    // a database; not one a save still running holds. For telling the user
    // where what is left of a business lies when nothing is put back at an
    // empty name; nothing is changed.
    static QList<TWPackageLeftover> hiddenCopies(const QString &target);
    // After a business was written at `target` (a Save As at an empty name
    // too): the leftovers beside it are kept or removed as an opening does
    // (removeLeftovers), so that none is ever put back over that business's
    // name once it is renamed or moved away.
    static void keepLeftoversBeside(const QString &target) { removeLeftovers(target); }

private:
    // The package restoreLeftover puts back at `target`, or empty; and
    // whether an earlier version left it.
    static QString replacementBeside(const QString &target, bool *byEarlierVersion);
    // Hands each leftover beside `target` (its lock free, ours) to
    // `leftover`, its lock held meanwhile.
    static void eachLeftover(const QString &target,
                             const std::function<void(const QString &)> &leftover);

    QString m_path;
    QString m_failure;
    int m_lock = -1;
};
