#pragma once
// The store of one open business document: the in-memory SQLite working copy,
// one in-memory list per entity and the operations that read and write them.
// One instance per open document, owned by the document for its whole life.
//
// The operations are grouped by entity, one source file per group
// (TWBusiness+Accounts.cpp and so on); each group declares its members in its
// own fragment (TWBusiness+Accounts.inc), included inside the class body below,
// and its types and includes in its own marked region at the top of this file.
//
// Writing. Every write runs inside a `WriteScope`: only the outermost level
// opens and commits the SQL transaction, every level is a savepoint, and a
// level that fails rolls back its SQL, runs the undo actions registered for
// its in-memory changes (and those of the levels it contains) and drops their
// notifications. Notifications are delivered when the outermost level commits,
// still before the outermost write returns. A typical add:
//
//     TWErrorResult TWBusiness::addAccount(const TWAccountPtr &account, bool notify)
//     {
//         WriteScope scope(*this);
//         TWStatement insert = statement(kAccountsInsertSQL);
//         insert.bindInt32(account->identifier()).bindText(account->name());
//         if (TWErrorResult error = insert.execute())
//             return scope.finish(error);
//         m_accounts.append(account);
//         scope.onRollback([this, account] { m_accounts.removeOne(account); });
//         if (notify)
//             scope.post(TWAccountNewNotification, {{TWAccountNotificationKey,
//                                                    QVariant::fromValue(account)}});
//         return scope.commit();
//     }

#include "foundation/TWError.h"
#include "store/TWNotifications.h"
#include "store/TWStatement.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
class QThreadPool;

// ---- Forward declarations and includes of each group ----

// ===== Units =====
#include "model/TWTotalType.h"
#include "model/TWUnit.h"
// ----- end of Units -----

// ===== Business information and accounting periods =====
#include "model/TWAccountingPeriod.h"
#include "model/TWBusinessInfo.h"

#include <QDateTime>
// ----- end of Business information and accounting periods -----

// ===== Groups =====
#include "model/TWGroup.h"
// ----- end of Groups -----

// ===== Accounts =====
#include "model/TWAccount.h"
// ----- end of Accounts -----

// ===== Transactions =====
#include "model/TWFilter.h"
#include "model/TWTransaction.h"
#include "store/TWTransactionIndex.h"
#include "store/TWYearEndSums.h"

#include <QDateTime>
// ----- end of Transactions -----

// ===== Splits, attachments and custom values =====
#include "model/TWAttachment.h"
#include "model/TWFieldValue.h"
#include "model/TWSplit.h"

#include <optional>
// ----- end of Splits, attachments and custom values -----

// ===== Relationships =====
#include "store/TWRelationshipIndex.h"
// ----- end of Relationships -----

// ===== Fields =====
#include "model/TWField.h"
#include "model/TWFieldItem.h"
// ----- end of Fields -----

// ===== Remembered values =====
#include "model/TWFieldValue.h"
#include "model/TWValue.h"

#include <optional>
// ----- end of Remembered values -----

// ===== Repeats =====
#include "model/TWBill.h"
#include "model/TWInvoice.h"
#include "model/TWRepeat.h"
// ----- end of Repeats -----

// ===== Filters =====
#include "model/TWFilter.h"
#include "model/TWFilterCriteria.h"
// ----- end of Filters -----

// ===== Clients, merchants and reports =====
#include "model/TWClient.h"
#include "model/TWMerchant.h"
#include "model/TWReport.h"
// ----- end of Clients, merchants and reports -----

// ===== Master item trees =====
#include "store/TWItemTree.h"

#include <concepts>
// ----- end of Master item trees -----

// ===== Projects, tasks and expenses =====
#include "model/TWClient.h"
#include "model/TWExpense.h"
#include "model/TWProject.h"
#include "model/TWRelationship.h"
#include "model/TWTask.h"
#include "model/TWTaskItem.h"
#include "store/TWRecordList.h"
// ----- end of Projects, tasks and expenses -----

// ===== Invoices and bills =====
#include "model/TWAccount.h"
#include "model/TWBill.h"
#include "model/TWExpense.h"
#include "model/TWInvoice.h"
#include "model/TWProject.h"
#include "model/TWRelationship.h"
#include "model/TWTask.h"
#include "model/TWTransaction.h"
#include "store/TWRecordList.h"

class TWRepeat;
// ----- end of Invoices and bills -----

// ===== Budget items =====
#include "model/TWBudgetItem.h"
// ----- end of Budget items -----

// ===== Document settings =====
#include "model/TWExportSettings.h"
#include "model/TWSendInvoiceData.h"
#include "store/TWPackageAnchor.h"

#include <QDateTime>
#include <QRectF>
#include <QVariantList>

#include <optional>

// How a save relates to the document's own package.
enum TWSaveOperation : int {
    TWSaveOperationSave = 0,              // into the document's own package
    TWSaveOperationSaveAs = 1,            // into a package that becomes the document's
    TWSaveOperationSaveTo = 2,            // a copy; the document stays where it was
    TWSaveOperationAutosaveElsewhere = 3, // a copy written by autosave
};

// An attachment a save into another package left out because its file is
// missing or is not a regular file: the attachment's row is saved, its file
// is not. Named as the user knows it: the transaction's date and payee and the
// attachment's own file name.
struct TWMissingAttachment {
    QDateTime date;
    QString payee;
    QString fileName;
};

// Failures of the package as a folder of files (SQLite's own failures keep
// their database error).
inline const QString TWPackageErrorDomain = QStringLiteral("Tallyworth Package Error");
enum TWPackageErrorCode : int {
    TWPackageLocationError = 1,     // not a local folder
    TWPackageNotDocumentError = 2,  // no business database in it
    TWPackageFolderError = 3,       // a folder could not be made
    TWPackageAttachmentError = 4,   // an attachment file could not be copied or read
    TWPackageBusyError = 5,         // a save while a write is still open
    TWPackageSchemaError = 6,       // the database holds what no business database holds
    TWPackageLinkError = 7,         // an entry of the package is a symbolic link
    TWPackageValueSizeError = 8,    // a stored value is larger than any the store keeps
    TWPackageFileTypeError = 9,     // a file of the database is a folder, pipe or device
    TWPackagePathLengthError = 10,  // the database's path is longer than SQLite takes
    TWPackageNestedError = 11,      // a save into a package, or around the document's own
    TWPackageReplaceError = 12,     // a save would replace what is no business package
    TWPackagePlainFolderError = 13, // a save into an existing folder that is no package
    TWPackageElsewhereError = 14,   // a save into a place that is no longer the package
    TWPackageChangedError = 15,     // another program wrote the package since it was read
    TWPackageLockedError = 16,      // another running copy kept saving into the package
};

// The largest text or blob the store keeps, in bytes (what an opening
// promises to accept and its refusal names).
inline constexpr int TWStoredValueSizeLimit = 8 * 1024 * 1024;
// SQLite's limit on one value or one row, for the copy an opening makes and
// for the working database alike: one step above the largest value, so that a
// row holding a value of the largest size, together with its other columns,
// opens and can still be updated, and whatever the working copy holds opens
// again.
inline constexpr int TWStoredRowSizeLimit = TWStoredValueSizeLimit + 1024 * 1024;

// The three entries of a package.
inline const QString TWPackageDataFileName = QStringLiteral("Data.sql");
inline const QString TWPackageSettingsFileName = QStringLiteral("Settings.plist");
inline const QString TWPackageAttachmentsFolderName = QStringLiteral("Attachments");

// --- Column settings, date ranges and settings housekeeping ---
#include "model/TWDateRanges.h"

#include <QMap>

// The lists that keep a column layout, by their view number.
enum TWColumnSettingsView : quint32 {
    TWColumnSettingsViewTransactions = 0, // the register
    TWColumnSettingsViewProjects = 1,
    TWColumnSettingsViewTasks = 2,
    TWColumnSettingsViewTaskItems = 3,
    TWColumnSettingsViewExpenses = 4,
    TWColumnSettingsViewInvoices = 5,
    TWColumnSettingsViewBills = 6,
};

// The registers a column of the register layout can be shown in, besides the
// register of one account (named by the account's identifier).
enum TWRegisterView : qint32 {
    TWRegisterViewAccountGroup = -1,
    TWRegisterViewFilter = -2, // a saved filter's register and search results
    TWRegisterViewRepeat = -3, // the items of a repeat
    TWRegisterViewInvoicePayments = -4,
    TWRegisterViewBillPayments = -5,
};

// The column layouts by view number. A layout is a dictionary: "fields", the
// column entries in display order; "sortField", the sort column's identifier
// (view 0: a field identifier, the others: a column name); "sortDirection",
// 0 ascending or 1 descending. An entry has "identifier" (the field
// identifier or the column name) and "width" (a 32-bit float); in view 0
// "visibleViews", the registers that show it (account identifiers and
// TWRegisterView values); in the other views "visible".
using TWColumnSettings = QMap<quint32, QVariantMap>;
inline const QString TWColumnSettingsFieldsKey = QStringLiteral("fields");
inline const QString TWColumnSettingsSortFieldKey = QStringLiteral("sortField");
inline const QString TWColumnSettingsSortDirectionKey = QStringLiteral("sortDirection");
inline const QString TWColumnSettingsIdentifierKey = QStringLiteral("identifier");
inline const QString TWColumnSettingsWidthKey = QStringLiteral("width");
inline const QString TWColumnSettingsVisibleViewsKey = QStringLiteral("visibleViews");
inline const QString TWColumnSettingsVisibleKey = QStringLiteral("visible");
// ----- end of Document settings -----

// ===== Balances =====
#include "model/TWBudgetTotal.h"

#include <QDateTime>

// A stretch of calendar days, both ends included; an invalid date leaves that
// end open.
struct TWDateSpan {
    QDateTime fromDate;
    QDateTime toDate;
};

// The figures of the financial statements, as bits of a request.
enum TWStatementFigure : unsigned {
    TWStatementFigureAssets = 1u << 0,
    TWStatementFigureLiabilities = 1u << 1,
    TWStatementFigureEquities = 1u << 2,
    TWStatementFigureIncome = 1u << 3,
    TWStatementFigureExpenses = 1u << 4,
    TWStatementFigureCashFlows = 1u << 5,
    TWStatementFigureAll = (1u << 6) - 1,
};

// The range totals' question: a span of days per kind of account, and which
// per-account maps to build (TWStatementFigure bits; the single figures are
// always computed).
struct TWStatementTotalsRequest {
    TWDateSpan assets;
    TWDateSpan liabilities;
    TWDateSpan equities;
    TWDateSpan income;
    TWDateSpan expenses;
    unsigned accountMaps = TWStatementFigureAll;
};

// The range totals, in the home unit. Each map is account identifier -> what
// the account's entries in its kind's span add up to, normal balances
// positive (liabilities, income and equity negated); a map that was not asked
// for stays empty.
struct TWStatementTotals {
    QHash<qint32, qint64> assets;
    QHash<qint32, qint64> liabilities;
    QHash<qint32, qint64> equities;
    QHash<qint32, qint64> income;
    QHash<qint32, qint64> expenses;
    // Assets - liabilities - equity accounts - net income: everything the
    // spans leave out (for a balance sheet, the earlier years' profits).
    qint64 retainedEarnings = 0;
    // Income less expenses, over their spans.
    qint64 netIncome = 0;
    // Bank and cash entries before the assets span's start (0 when it has
    // none), and through its end (all of them when it has none).
    qint64 cashStart = 0;
    qint64 cashEnd = 0;
};

// One figure per report column, in column order and the home unit; a figure
// that was not asked for is an empty list. Equities are assets less
// liabilities of the same column.
struct TWColumnTotals {
    QList<qint64> assets;
    QList<qint64> liabilities;
    QList<qint64> equities;
    QList<qint64> income;
    QList<qint64> expenses;
    QList<qint64> cashFlows;
};

// The balance sheet and income figures of the summary, in the home unit.
struct TWBalanceSheetTotals {
    qint64 assets = 0;
    qint64 accountsReceivable = 0;
    qint64 liabilities = 0;
    qint64 accountsPayable = 0;
    qint64 equities = 0; // assets - liabilities
    qint64 retainedEarnings = 0;
    qint64 netIncome = 0;
    qint64 income = 0;
    qint64 expenses = 0;
};

// Currency field identifier -> account identifier -> summed values (home unit).
using TWCurrencyFieldTotals = QHash<qint32, QHash<qint32, qint64>>;
// Item type (account group, account) -> item identifier -> the current cycle.
using TWBudgetTotals = QHash<qint32, QHash<qint32, TWBudgetTotalPtr>>;

// --- Client, merchant and time totals ---

// Money per client in the home unit, in two shapes: client identifier -> the
// sum of its projects' amounts, and client identifier -> project identifier
// -> amount. Only amounts other than 0 have keys, so a client without any has
// none in either map.
struct TWClientTotals {
    QHash<qint32, qint64> totals;
    QHash<qint32, QHash<qint32, qint64>> clients;
};

// Time worked per client in seconds, in the same two shapes.
struct TWClientTimes {
    QHash<qint32, double> totals;
    QHash<qint32, QHash<qint32, double>> clients;
};
// ----- end of Balances -----

// ---- End of the group declarations ----

// The lowest identifier most tables hand out, and the one of custom fields
// (built-in fields have the negative identifiers -1 to -18).
inline constexpr qint64 TWIdentifierFloor = 100;
inline constexpr qint64 TWFieldIdentifierFloor = 1;

// Error domains of the store.
inline const QString TWDatabaseErrorDomain = QStringLiteral("Tallyworth Database Error");
inline const QString TWUpgradeErrorDomain = QStringLiteral("Tallyworth Upgrade");
// The upgrade domain's code for a document that needs upgrading before it opens.
inline constexpr int TWUpgradeRequiredErrorCode = -2;

class TWBusiness final
{
public:
    class WriteScope;

    // ===== Core =====

    // A store without a database; the document package opens one into it.
    TWBusiness();
    // Cancels and waits for the work on `operationQueue`, then closes the
    // database.
    ~TWBusiness();
    TWBusiness(const TWBusiness &) = delete;
    TWBusiness &operator=(const TWBusiness &) = delete;

    // A store on a fresh in-memory database holding the full current schema
    // and the schema version row, nothing else. nullptr with `error` set when
    // that fails.
    static std::unique_ptr<TWBusiness> businessWithInMemorySchema(TWErrorResult *error = nullptr);
    // A store on an open connection, which it takes over (also on failure):
    // hardened, version-checked, missing tables created and, when allowed, a
    // schema 1.0 database upgraded (`prepareSchema`).
    static std::unique_ptr<TWBusiness>
    businessWithConnection(sqlite3 *connection, bool allowUpgrade, TWErrorResult *error = nullptr);

    // The working database; nullptr when closed.
    sqlite3 *database() const { return m_database; }
    // Opens an empty hardened in-memory database (closing any open one).
    TWErrorResult openInMemoryDatabase();
    // Takes over an open connection (closing any open one) and hardens it.
    TWErrorResult adoptDatabase(sqlite3 *connection);
    // Settings for databases that come from elsewhere: defensive mode, no
    // trust in functions named by the schema, no extension loading.
    static TWErrorResult hardenConnection(sqlite3 *connection);
    // Finalises every prepared statement and closes the database; clears
    // `database` and `attachmentsFolderPath`. Does nothing when closed.
    void closeDatabase();

    // The package folder; empty for a new, unsaved document.
    const QUrl &url() const { return m_url; }
    void setUrl(const QUrl &url) { m_url = url; }
    // The package's "Attachments" folder once the document has a file.
    const QString &attachmentsFolderPath() const { return m_attachmentsFolderPath; }
    void setAttachmentsFolderPath(const QString &path) { m_attachmentsFolderPath = path; }
    // Files of removed attachments, deleted at the next save into the package.
    QStringList &deleteAttachments() { return m_deleteAttachments; }
    // Background work of this document (invoice rendering).
    QThreadPool *operationQueue() const { return m_operationQueue.get(); }

    // The document-state flag `autofill`; setting it always posts
    // "autofillUpdated".
    bool autofill() const { return m_autofill; }
    void setAutofill(bool autofill);

    // Prepared statements. `sql` is a fixed constant: the statement is
    // prepared on first use and kept until `closeDatabase`. The returned
    // object resets it when it goes away. When the same text is already in
    // use further up the call stack, a private copy is prepared instead.
    TWStatement statement(const char *sql);
    // Runs a text once (statements built at run time, such as ALTER TABLE);
    // a failure carries SQLite's message as its description.
    TWErrorResult executeSQL(const QString &sql);

    // SQL transactions. Calls nest: only the outermost begin issues "BEGIN
    // EXCLUSIVE TRANSACTION;" and only its matching commit issues "COMMIT
    // TRANSACTION;". `inTransaction` is set while that transaction is open.
    // A commit without a begin does nothing. Writes use `WriteScope`.
    TWErrorResult beginTransaction();
    TWErrorResult commitTransaction();
    bool inTransaction() const { return m_inTransaction; }

    // A number that stays the same while nothing a reading of the business can have changed,
    // but the transactions named by `transactionsChangedSince`: it moves with every row the
    // database changed other than a transaction's own (its row, lines, tags and attachments,
    // written by the store's transaction writes), every write rolled back, every notification
    // but the transactions' own and every database opened, closed or loaded into the lists.
    // 0 (never the same) while a write is open or without a database.
    quint64 readingRevision() const;
    // Counts the transactions' own writes (the `stamp` a reading starts from).
    quint64 transactionStamp() const { return m_transactionStamp; }
    // Whether one of `transactions` was written after `stamp`, with the reading revision the
    // same.
    bool transactionsChangedSince(quint64 stamp, const TWTransactionList &transactions) const;
    // The transactions written after `stamp`, each once, while the reading revision is still
    // `revision`; none when it moved (or `revision` is 0): then anything may have changed.
    std::optional<QList<qint32>> transactionsWrittenSince(quint64 revision, quint64 stamp) const;

    // Error records: a "Tallyworth Database Error" with an SQLite result code
    // (with `message` as description when given), the same domain with code
    // -1 for an unknown schema version, and "Tallyworth Upgrade" code -2 for a
    // document that needs an upgrade the caller did not allow.
    static TWError databaseError(int code, const QString &message = {});
    // The same with the connection's latest SQLite message.
    TWError databaseErrorWithMessage(int code) const;
    // The connection's latest failure (a plain database error when its last
    // result was no failure).
    TWError lastDatabaseError() const;
    static TWError databaseVersionError();
    static TWError upgradeRequiredError();

    // Identifiers: the largest identifier `maxIdentifierSQL` (a fixed
    // "SELECT MAX(identifier) FROM table;" text) yields, plus one, raised to
    // `floor`. 0 when the query fails or the result does not fit 32 bits;
    // callers treat 0 as an error and store nothing.
    qint32 nextIdentifier(const char *maxIdentifierSQL, qint64 floor = TWIdentifierFloor);
    // The lowest identifier a new transaction may get (the user's
    // "startingIdentifier" preference, 1 when unset).
    static quint32 startingTransactionIdentifier();

    // Notifications, with the business as sender. Inside an open transaction
    // they wait for the outermost commit (and are dropped on rollback);
    // otherwise they are delivered at once. `notifyBulk` posts a name without
    // user info (the bulk notifications after writes made with notify NO).
    void postNotification(const QString &name, const QVariantMap &userInfo = {});
    void notifyBulk(const QString &name) { postNotification(name); }

    // ===== Schema, version and upgrade =====

    // YES when a table (or other schema object) of that name exists; NO also
    // when the query fails.
    bool tableExists(const QString &name);
    bool columnExists(const QString &table, const QString &column);
    // Creates the table with `createSQL` unless it exists; `created` tells
    // whether this call created it.
    TWErrorResult createTableIfNecessary(const QString &name, bool *created, const char *createSQL);
    // Creates every missing table of the schema in order; `created` receives
    // the names of the tables this call created.
    TWErrorResult createTables(QSet<QString> *created = nullptr);
    // The schema version of info row 1; 0 without an info table or row.
    quint32 databaseVersion();
    // An info row's value, 0 when missing or unreadable.
    quint32 infoValueWithIdentifier(qint32 identifier);
    TWErrorResult insertInfoIdentifier(qint32 identifier, quint32 value);
    TWErrorResult updateInfoIdentifier(qint32 identifier, quint32 value);
    // Inserts info row 1 with the current schema version.
    TWErrorResult populateInfo();
    // Brings a schema 1.0 database to 2.0 (does nothing for other versions).
    // Atomic: a failure leaves the database as it was.
    TWErrorResult upgradeDatabase();
    // Readies an opened or new database: when it holds accounts, checks the
    // version (1.0 without permission: closes the database and returns
    // `upgradeRequiredError`; neither 1.0 nor 2.0: `databaseVersionError`);
    // creates the missing tables; upgrades a 1.0 database and records version
    // 2.0; inserts the version row into a new info table. `created` receives
    // the tables created. Atomic apart from the close.
    TWErrorResult prepareSchema(bool allowUpgrade, QSet<QString> *created = nullptr);
    // The lookup indexes of the tables that are searched by a transaction or a
    // schedule on every write (without them each write scans the whole
    // table). Only speed depends on them: a database without them reads and
    // writes the same rows.
    TWErrorResult createIndexes();

private:
    friend class TWStatement;

    // ===== Core =====

    // One level of nested SQL work: a begin/commit bracket or a write scope
    // (a savepoint). Undo actions and notifications of a level that succeeds
    // move to the enclosing level; at the outermost level they are dropped
    // (committed) or delivered.
    struct Level {
        std::uint64_t serial = 0;
        bool writeScope = false;
        bool savepointOpen = false;
        // The outermost write scope that opened the SQL transaction: it has
        // no savepoint and ends the transaction itself.
        bool ownsTransaction = false;
        std::vector<std::function<void()>> undos;
        QList<std::pair<QString, QVariantMap>> notifications;
        // What transaction writes made inside the outermost write scope leave
        // to be done once it ends (see `finishTransactionWrite`): a rebuild
        // of the year-end transfers and repeat refreshes (identifier, 0 for
        // every repeat; active only; notify).
        bool deferredRebuild = false;
        QList<std::tuple<qint32, bool, bool>> deferredRepeats;
    };
    // The position of the outermost write scope in `m_levels`, or -1.
    qsizetype outermostWriteScope() const;
    // Runs the work deferred to the write scope at `index`, inside it, until
    // none is left; the rebuild's error is returned.
    TWErrorResult runDeferredWork(std::size_t index);

    TWErrorResult pushLevel(bool writeScope);
    // Ends the level at `index` (and any left open inside it) committing or
    // rolling back; returns the failure that made it roll back, if any.
    TWErrorResult popLevel(std::size_t index, bool commit, TWErrorResult failure = {});
    int stepOnce(const char *sql);
    void deliver(const QList<std::pair<QString, QVariantMap>> &notifications);
    void releaseStatement(sqlite3_stmt *statement, bool owned, std::uint64_t generation);

    sqlite3 *m_database = nullptr;
    QHash<QByteArray, sqlite3_stmt *> m_statements;
    QSet<sqlite3_stmt *> m_busyStatements;
    // Changes with every close, so statement and scope objects that outlive
    // the database they came from do nothing.
    std::uint64_t m_generation = 1;
    std::vector<Level> m_levels;
    std::uint64_t m_nextLevelSerial = 1;
    bool m_inTransaction = false;
    // While one is alive, the rows the database changes in the transactions' own tables (their
    // rows, lines, tags and attachments) are the named transaction's.
    class TransactionRows
    {
    public:
        TransactionRows(TWBusiness &business, qint32 identifier)
            : m_business(business), m_previous(std::exchange(business.m_rowsOf, identifier))
        {
        }
        ~TransactionRows() { m_business.m_rowsOf = m_previous; }
        TransactionRows(const TransactionRows &) = delete;
        TransactionRows &operator=(const TransactionRows &) = delete;

    private:
        TWBusiness &m_business;
        qint32 m_previous;
    };
    // Called by SQLite for every row changed.
    void noteRowChanged(const char *database, const char *table);
    void bumpReadingRevision() const;
    mutable quint64 m_readingRevision = 1;
    // The rows changed that were seen one by one; fewer than the database counts means some
    // were changed unseen.
    mutable qint64 m_readingChanges = 0;
    qint64 m_rowsSeen = 0;
    qint32 m_rowsOf = 0;
    quint64 m_transactionStamp = 0;
    mutable QHash<qint32, quint64> m_transactionChanges;

    QUrl m_url;
    QString m_attachmentsFolderPath;
    QStringList m_deleteAttachments;
    std::unique_ptr<QThreadPool> m_operationQueue;
    bool m_autofill = false;

    // ===== Schema, version and upgrade =====

    // The three built-in fields a schema 1.0 database lacks ("unit" -16,
    // "dateCreated" -17, "dateModified" -18); failures are ignored.
    void upgradeAddBuiltInFields();

    // The members of each group of operations, in their own files.
#include "TWBusiness+Accounts.inc"
#include "TWBusiness+Balances.inc"
#include "TWBusiness+BudgetItems.inc"
#include "TWBusiness+BusinessInfo.inc"
#include "TWBusiness+Clients.inc"
#include "TWBusiness+Fields.inc"
#include "TWBusiness+Filters.inc"
#include "TWBusiness+Groups.inc"
#include "TWBusiness+Invoices.inc"
#include "TWBusiness+Relationships.inc"
#include "TWBusiness+Repeats.inc"
#include "TWBusiness+Settings.inc"
#include "TWBusiness+TransactionDetails.inc"
#include "TWBusiness+Transactions.inc"
#include "TWBusiness+Trees.inc"
#include "TWBusiness+Units.inc"
#include "TWBusiness+Values.inc"
#include "TWBusiness+Work.inc"
};

// A write: one savepoint level of the store's SQL work. Make one at the start
// of every add, update and delete; end it with `commit()` or `finish(error)`.
// A scope that goes away unfinished rolls back.
//
// Register an undo with `onRollback` right after each in-memory change (made
// as soon as its SQL succeeded, so later code of the same cascade sees it); if
// this level or any enclosing one rolls back, the undos run in reverse order.
// Queue notifications with `post`; they are delivered when the outermost level
// commits and dropped on rollback.
class TWBusiness::WriteScope
{
public:
    explicit WriteScope(TWBusiness &business);
    ~WriteScope();
    WriteScope(const WriteScope &) = delete;
    WriteScope &operator=(const WriteScope &) = delete;

    void onRollback(std::function<void()> undo);
    void post(const QString &name, const QVariantMap &userInfo = {});

    // Keeps the level's work. When the savepoint could not be opened or the
    // release or the outermost commit fails, rolls back and returns the error.
    TWErrorResult commit();
    // Rolls back and returns `error` when it is set; otherwise `commit()`.
    TWErrorResult finish(TWErrorResult error);
    void rollback();

private:
    bool isAlive() const;

    TWBusiness *m_business;
    std::size_t m_index = 0;
    std::uint64_t m_serial = 0;
    TWErrorResult m_openError;
    bool m_finished = false;
};
