// SQL transactions and write scopes: nesting levels over one SQLite
// transaction, each write a savepoint that can be undone on its own together
// with its in-memory changes.

#include "store/TWBusiness.h"

#include <sqlite3.h>

#include <atomic>
#include <cstring>

#include <utility>

namespace
{

const char *const kBeginSQL = "BEGIN EXCLUSIVE TRANSACTION;";
const char *const kCommitSQL = "COMMIT TRANSACTION;";
const char *const kRollbackSQL = "ROLLBACK TRANSACTION;";
// One name for every level: SQLite resolves a name to the innermost
// savepoint that carries it, which is always the level being ended.
const char *const kSavepointSQL = "SAVEPOINT tw_write;";
const char *const kReleaseSQL = "RELEASE SAVEPOINT tw_write;";
const char *const kRollbackToSQL = "ROLLBACK TRANSACTION TO SAVEPOINT tw_write;";

bool isSuccess(int rc)
{
    return rc == SQLITE_OK || rc == SQLITE_DONE;
}

} // namespace

int TWBusiness::stepOnce(const char *sql)
{
    TWStatement s = statement(sql);
    const int rc = s.step();
    return rc;
}

TWErrorResult TWBusiness::beginTransaction()
{
    return pushLevel(false);
}

TWErrorResult TWBusiness::commitTransaction()
{
    // Nothing to do without a begin; a commit that would end a write scope
    // instead of a bracket is a stray call and is ignored as well.
    if (m_levels.empty() || m_levels.back().writeScope)
        return std::nullopt;
    return popLevel(m_levels.size() - 1, true);
}

// ---- What a reading can take as unchanged ----

quint64 TWBusiness::readingRevision() const
{
    if (!m_database || !m_levels.empty())
        return 0;
    // Rows changed unseen (a table emptied at once) may be anything.
    const qint64 changes = sqlite3_total_changes64(m_database);
    if (changes != m_readingChanges + m_rowsSeen) {
        bumpReadingRevision();
        m_readingChanges = changes - m_rowsSeen;
    }
    return m_readingRevision;
}

void TWBusiness::bumpReadingRevision() const
{
    // Never the same number twice in the process, not even for another business at the same
    // address: what was read of one never stands for another.
    static std::atomic<quint64> lastRevision{1};
    m_readingRevision = ++lastRevision;
    // Nothing read before stands: which transactions changed no longer matters.
    m_transactionChanges.clear();
}

void TWBusiness::noteRowChanged(const char *database, const char *table)
{
    ++m_rowsSeen;
    const auto ownTable = [table] {
        for (const char *own : {"transactions", "splits", "transactionTags", "attachments"})
            if (std::strcmp(table, own) == 0)
                return true;
        return false;
    };
    // A link, a document or an account changed (even by a transaction's write) may change
    // what any document reads.
    if (m_rowsOf != 0 && database && table && std::strcmp(database, "main") == 0 && ownTable())
        m_transactionChanges.insert(m_rowsOf, ++m_transactionStamp);
    else
        bumpReadingRevision();
}

bool TWBusiness::transactionsChangedSince(quint64 stamp,
                                          const TWTransactionList &transactions) const
{
    if (m_transactionStamp <= stamp || m_transactionChanges.isEmpty())
        return false;
    for (const TWTransactionPtr &transaction : transactions) {
        if (!transaction)
            continue;
        const auto found = m_transactionChanges.constFind(transaction->identifier());
        if (found != m_transactionChanges.constEnd() && *found > stamp)
            return true;
    }
    return false;
}

std::optional<QList<qint32>> TWBusiness::transactionsWrittenSince(quint64 revision,
                                                                  quint64 stamp) const
{
    if (revision == 0 || readingRevision() != revision)
        return std::nullopt;
    QList<qint32> written;
    if (m_transactionStamp <= stamp)
        return written;
    for (auto change = m_transactionChanges.constBegin(); change != m_transactionChanges.constEnd();
         ++change)
        if (change.value() > stamp)
            written.append(change.key());
    return written;
}

// ---- Levels ----

TWErrorResult TWBusiness::pushLevel(bool writeScope)
{
    TWErrorResult error;
    if (m_levels.empty()) {
        // A failing begin leaves the flag clear and the work goes on without
        // a transaction of its own (a write's savepoint then opens one).
        const int rc = stepOnce(kBeginSQL);
        m_inTransaction = rc == SQLITE_DONE;
        if (!m_inTransaction)
            error = databaseError(rc);
    }
    Level level;
    level.serial = m_nextLevelSerial++;
    level.writeScope = writeScope;
    // The write scope that began the SQL transaction needs no savepoint: it
    // commits or rolls back the transaction itself. Each savepoint costs a
    // copy of every page written under it, on every addition.
    level.ownsTransaction = writeScope && m_levels.empty() && m_inTransaction;
    if (writeScope && !level.ownsTransaction) {
        const int rc = stepOnce(kSavepointSQL);
        level.savepointOpen = isSuccess(rc);
        error = level.savepointOpen ? TWErrorResult() : TWErrorResult(databaseError(rc));
    }
    m_levels.push_back(std::move(level));
    return error;
}

TWErrorResult TWBusiness::popLevel(std::size_t index, bool commit, TWErrorResult failure)
{
    if (index >= m_levels.size())
        return failure ? failure : TWErrorResult(databaseError(SQLITE_MISUSE));
    // Levels left open inside this one: an unfinished write scope rolls back;
    // a bracket without its commit has no savepoint of its own, so its work
    // joins this level.
    while (m_levels.size() > index + 1)
        popLevel(m_levels.size() - 1, !m_levels.back().writeScope);

    Level level = std::move(m_levels.back());
    m_levels.pop_back();
    const bool outermost = m_levels.empty();

    if (commit && level.writeScope && !level.ownsTransaction) {
        if (!level.savepointOpen) {
            commit = false;
        } else {
            const int rc = stepOnce(kReleaseSQL);
            if (!isSuccess(rc)) {
                commit = false;
                failure = databaseErrorWithMessage(rc);
            }
        }
    }

    if (!commit) {
        // The undos change the lists back, unseen.
        bumpReadingRevision();
        for (auto undo = level.undos.rbegin(); undo != level.undos.rend(); ++undo)
            (*undo)();
        if (outermost && m_inTransaction) {
            stepOnce(kRollbackSQL);
            m_inTransaction = false;
        } else if (level.savepointOpen) {
            // Undo the level's SQL, then drop the savepoint itself.
            stepOnce(kRollbackToSQL);
            stepOnce(kReleaseSQL);
        }
        return failure;
    }

    if (!outermost) {
        Level &parent = m_levels.back();
        for (auto &undo : level.undos)
            parent.undos.push_back(std::move(undo));
        parent.notifications.append(level.notifications);
        return std::nullopt;
    }

    if (m_inTransaction) {
        const int rc = stepOnce(kCommitSQL);
        m_inTransaction = false;
        if (rc != SQLITE_DONE) {
            // Whatever the commit left behind is rolled back, so the database
            // and the lists agree again.
            if (m_database && !sqlite3_get_autocommit(m_database))
                stepOnce(kRollbackSQL);
            bumpReadingRevision();
            for (auto undo = level.undos.rbegin(); undo != level.undos.rend(); ++undo)
                (*undo)();
            return databaseError(rc);
        }
    }
    deliver(level.notifications);
    return std::nullopt;
}

// ---- Work deferred to the outermost write scope ----

qsizetype TWBusiness::outermostWriteScope() const
{
    for (std::size_t i = 0; i < m_levels.size(); ++i)
        if (m_levels[i].writeScope)
            return qsizetype(i);
    return -1;
}

TWErrorResult TWBusiness::runDeferredWork(std::size_t index)
{
    // Only the outermost write scope holds deferred work; the work itself may
    // defer more (a refreshed repeat adds transactions), so it runs until none
    // is left.
    for (int round = 0; round < 16 && index < m_levels.size(); ++round) {
        Level &level = m_levels[index];
        if (!level.deferredRebuild && level.deferredRepeats.isEmpty())
            return std::nullopt;
        const bool rebuild = std::exchange(level.deferredRebuild, false);
        const QList<std::tuple<qint32, bool, bool>> repeats =
            std::exchange(level.deferredRepeats, {});
        if (rebuild) {
            if (TWErrorResult error = updateNominalTransferTransactions())
                return error;
        }
        for (const auto &[repeat, activeOnly, notify] : repeats)
            (void)updateRepeatItemsHook(repeat, activeOnly, notify);
    }
    return std::nullopt;
}

// ---- Write scopes ----

TWBusiness::WriteScope::WriteScope(TWBusiness &business) : m_business(&business)
{
    // Only a failed savepoint stops the write; a failed begin alone does not.
    m_openError = business.pushLevel(true);
    m_index = business.m_levels.size() - 1;
    m_serial = business.m_levels.back().serial;
}

bool TWBusiness::WriteScope::isAlive() const
{
    return !m_finished && m_index < m_business->m_levels.size() &&
           m_business->m_levels[m_index].serial == m_serial;
}

TWBusiness::WriteScope::~WriteScope()
{
    if (!m_finished)
        rollback();
}

void TWBusiness::WriteScope::onRollback(std::function<void()> undo)
{
    if (!isAlive())
        return;
    m_business->m_levels[m_index].undos.push_back(std::move(undo));
}

void TWBusiness::WriteScope::post(const QString &name, const QVariantMap &userInfo)
{
    if (!isAlive())
        return;
    m_business->m_levels[m_index].notifications.append({name, userInfo});
}

TWErrorResult TWBusiness::WriteScope::commit()
{
    if (m_finished)
        return std::nullopt;
    if (!isAlive()) {
        m_finished = true;
        return databaseError(SQLITE_MISUSE); // the database was closed meanwhile
    }
    if (m_openError) {
        m_finished = true;
        return m_business->popLevel(m_index, false, m_openError);
    }
    // The follow-up work of the writes inside runs once, within this scope,
    // so that a failure undoes it together with them.
    if (TWErrorResult error = m_business->runDeferredWork(m_index)) {
        rollback();
        return error;
    }
    m_finished = true;
    return m_business->popLevel(m_index, true);
}

TWErrorResult TWBusiness::WriteScope::finish(TWErrorResult error)
{
    if (!error)
        return commit();
    rollback();
    return error;
}

void TWBusiness::WriteScope::rollback()
{
    if (!isAlive()) {
        m_finished = true;
        return;
    }
    m_finished = true;
    m_business->popLevel(m_index, false);
}
