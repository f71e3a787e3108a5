#pragma once
// The store of one open business document: the in-memory SQLite working copy,
// one in-memory list per entity and the operations that read and write them.
// One instance per open document, owned by the document for its whole life.
//
// The operations are grouped by entity, one source file per group
// (TWBusiness+Accounts.cpp and so on); each group declares its members only
// inside its own marked region below, in both the public and the private area.
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

#include "TWError.h"
#include "TWNotifications.h"
#include "TWStatement.h"

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
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
class QThreadPool;

// ---- Forward declarations and includes of each group ----

// ===== Units =====
class TWUnit;
// ----- end of Units -----

// ===== Business information and accounting periods =====
class TWBusinessInfo;
class TWAccountingPeriod;
// ----- end of Business information and accounting periods -----

// ===== Groups =====
#include "TWGroup.h"
// ----- end of Groups -----

// ===== Accounts =====
#include "TWAccount.h"
// ----- end of Accounts -----

// ===== Transactions =====
class TWTransaction;
// ----- end of Transactions -----

// ===== Splits, attachments and custom values =====
class TWSplit;
class TWAttachment;
class TWFieldValue;
// ----- end of Splits, attachments and custom values -----

// ===== Relationships =====
class TWRelationship;
// ----- end of Relationships -----

// ===== Fields =====
class TWField;
class TWFieldListItem;
class TWFieldTagItem;
// ----- end of Fields -----

// ===== Remembered values =====
class TWValue;
// ----- end of Remembered values -----

// ===== Repeats =====
class TWRepeat;
// ----- end of Repeats -----

// ===== Filters =====
class TWFilter;
// ----- end of Filters -----

// ===== Clients, merchants and reports =====
class TWClient;
class TWMerchant;
class TWReport;
// ----- end of Clients, merchants and reports -----

// ===== Projects, tasks and expenses =====
#include "TWClient.h"
#include "TWExpense.h"
#include "TWProject.h"
#include "TWRecordList.h"
#include "TWRelationship.h"
#include "TWTask.h"
#include "TWTaskItem.h"
// ----- end of Projects, tasks and expenses -----

// ===== Invoices and bills =====
class TWInvoice;
class TWBill;
// ----- end of Invoices and bills -----

// ===== Budget items =====
class TWBudgetItem;
// ----- end of Budget items -----

// ===== Document settings =====
// ----- end of Document settings -----

// ===== Balances =====
// ----- end of Balances -----

// ---- End of the group declarations ----

// The lowest identifier most tables hand out, and the one of custom fields
// (built-in fields have the negative identifiers -1 to -18).
inline constexpr qint64 TWIdentifierFloor = 100;
inline constexpr qint64 TWFieldIdentifierFloor = 1;

// Error domains of the store.
inline const QString TWDatabaseErrorDomain = QStringLiteral("Tallyworth Database Error");
inline const QString TWUpgradeErrorDomain = QStringLiteral("Tallyworth Upgrade");

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

    // Error records: a "Tallyworth Database Error" with an SQLite result code
    // (with `message` as description when given), the same domain with code
    // -1 for an unknown schema version, and "Tallyworth Upgrade" code -2 for a
    // document that needs an upgrade the caller did not allow.
    static TWError databaseError(int code, const QString &message = {});
    // The same with the connection's latest SQLite message.
    TWError databaseErrorWithMessage(int code) const;
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

    // ===== Units =====
    // ----- end of Units -----

    // ===== Business information and accounting periods =====

    // The home currency code of the business row; empty when there is none
    // or the query fails. (Defined with the schema: the upgrade needs it.)
    QString homeCurrencyCode();
    // ----- end of Business information and accounting periods -----

    // ===== Groups =====

    // The groups of the master list, one list per kind of item they hold, in
    // the order read (by sortOrder) or added.
    const TWGroupList &accountGroups() const { return m_accountGroups.list; }
    const TWGroupList &clientGroups() const { return m_clientGroups.list; }
    const TWGroupList &merchantGroups() const { return m_merchantGroups.list; }
    const TWGroupList &reportGroups() const { return m_reportGroups.list; }
    const TWGroupList &filterGroups() const { return m_filterGroups.list; }

    // Replaces the five lists with the rows of the table; a row whose type is
    // no group type is left out. A failure keeps the rows read before it.
    TWErrorResult loadGroups();
    // Writes the five account groups of a new business that gets the default
    // chart of accounts (identifiers 100-104). All or nothing.
    TWErrorResult populateGroups();

    // Writes. Each is all or nothing: a failure leaves the table, the lists
    // and the notifications as they were. "groupNew", "groupUpdate" and
    // "groupDelete" (key "group") are posted only with `notify`.
    TWErrorResult addGroup(const TWGroupPtr &group, bool notify);
    // Writes name, tint, parent, sort order and expanded; the type stays as
    // stored. A group object other than the listed one of that identifier
    // takes its place (at the end of its list).
    TWErrorResult updateGroup(const TWGroupPtr &group, bool notify);
    TWErrorResult updateGroupSortOrder(const TWGroupPtr &group, bool notify);
    TWErrorResult updateGroupExpanded(const TWGroupPtr &group, bool notify);
    // Deletes the group, then, always with notifications, the groups inside
    // it at any depth and the items inside each of them (accounts with their
    // transactions, clients, merchants, reports, filters).
    TWErrorResult deleteGroup(const TWGroupPtr &group, bool notify);

    // The largest stored identifier plus one, at least 100; 0 on failure.
    qint32 nextGroupIdentifier();
    // Searches the account groups, then the filter, client, merchant and
    // report groups; nullptr when none has the identifier.
    TWGroupPtr groupWithIdentifier(qint32 identifier) const;
    // The accounts inside the group at any depth, in account-list order. Only
    // item type 5 (accounts) is served: any other type gives an empty list.
    TWAccountList groupItems(qint32 groupIdentifier, int type) const;
    // ----- end of Groups -----

    // ===== Accounts =====

    // The accounts in the order read (by sortOrder) or added.
    const TWAccountList &accounts() const { return m_accounts; }
    // nullptr when no account has the identifier.
    TWAccountPtr accountWithIdentifier(qint32 identifier) const;
    // A new list of the accounts sorted by name (TWItem::compare).
    TWAccountList sortedAccounts() const;
    // A new list sorted by name: for 0 every asset account (types 1-7), for 8
    // every liability account (9-14), for any other value the accounts of
    // exactly that type. Accounts of no account type (0, 8, above 17) are
    // never returned.
    TWAccountList accountsOfType(quint32 type) const;
    // Whether an account's shown balance is its raw, debit-positive sum: yes
    // for assets, expenses and values that are no account type; no for
    // liabilities, income and equity (their balances are shown negated).
    static bool isAccountDebitPositive(const TWAccount &account);

    // Replaces the account list with the rows of the table, each with the
    // unit of its stored code. A failure keeps the rows read before it.
    TWErrorResult loadAccounts();
    // Writes the default chart of accounts of a new business: the accounts
    // every business gets and the equity accounts of the business's type
    // (none for an unknown type), all in its home currency. All or nothing.
    TWErrorResult populateAccounts(const TWBusinessInfo &businessInfo);

    // Writes. Each is all or nothing: a failure leaves the table, the list,
    // the settings and the notifications as they were. "accountNew",
    // "accountUpdate" and "accountDelete" (key "account") are posted only with
    // `notify`.
    // Adding also records the account's type as the last account type used.
    TWErrorResult addAccount(const TWAccountPtr &account, bool notify);
    // The type and the unit are fixed when an account is added: they are not
    // written, and an account object other than the listed one of that
    // identifier takes the stored type and unit when it takes the listed
    // one's place (at the end of the list).
    TWErrorResult updateAccount(const TWAccountPtr &account, bool notify);
    // Writes the sort order only; posts "accountUpdate".
    TWErrorResult updateAccountSortOrder(const TWAccountPtr &account, bool notify);
    // Deletes the account's transactions, the account, and what the rest of
    // the document keeps for it (settings, budget items, the business's
    // closing account).
    TWErrorResult deleteAccount(const TWAccountPtr &account, bool notify);

    // The largest stored identifier plus one, at least 100; 0 on failure.
    qint32 nextAccountIdentifier();
    // ----- end of Accounts -----

    // ===== Transactions =====
    // ----- end of Transactions -----

    // ===== Splits, attachments and custom values =====
    // ----- end of Splits, attachments and custom values -----

    // ===== Relationships =====
    // ----- end of Relationships -----

    // ===== Fields =====
    // ----- end of Fields -----

    // ===== Remembered values =====
    // ----- end of Remembered values -----

    // ===== Repeats =====
    // ----- end of Repeats -----

    // ===== Filters =====
    // ----- end of Filters -----

    // ===== Clients, merchants and reports =====
    // ----- end of Clients, merchants and reports -----

    // ===== Projects, tasks and expenses =====

    // Projects belong to a client; tasks and expenses to a project; time items
    // to a task. Each list is in the order read (table order) or added, and
    // is empty until loaded. Lookups return the lists' own objects.

    // --- Projects ---

    const TWProjectList &projects() const { return m_projects.list(); }
    // nullptr when no project has the identifier.
    TWProjectPtr projectWithIdentifier(qint32 identifier) const;
    // The client's projects in list order.
    TWProjectList projectsWithClient(const TWClient &client) const;
    // The projects in list order, each once for every entry of `clients`
    // that is its client (a client given twice lists its projects twice).
    TWProjectList projectsWithClients(const TWClientList &clients) const;
    // A new list sorted by client name (case-sensitively; projects whose
    // client is missing last), then by project name.
    TWProjectList sortedProjects() const;
    // The tasks (expenses) of the given projects (nullptr: of every project)
    // dated inside the interval preset (TWIntervalPreset; 6 takes the two
    // dates, 0 is open), bounds included, by calendar day; sorted by date,
    // then expenses before tasks, then identifier. A record without a date is
    // inside only an interval without bounds.
    TWTaskList tasksForProjects(const TWProjectList *projects, std::uint32_t interval,
                                const QDateTime &fromDate, const QDateTime &toDate) const;
    TWExpenseList expensesForProjects(const TWProjectList *projects, std::uint32_t interval,
                                      const QDateTime &fromDate, const QDateTime &toDate) const;

    // Replaces the list with the rows of the table. A failure keeps the rows
    // read before it.
    TWErrorResult loadProjects();

    // Writes. Each is all or nothing: a failure leaves the tables, the lists
    // and the notifications as they were. "projectNew", "projectUpdate" and
    // "projectDelete" (key "project") are posted only with `notify`.
    // The identifier is set beforehand (nextProjectIdentifier); 0 is refused.
    TWErrorResult addProject(const TWProjectPtr &project, bool notify);
    // The client and the type are fixed when a project is added: they are not
    // written, and the object passed takes the stored ones. A project object
    // other than the listed one of that identifier takes its place at the end
    // of the list.
    TWErrorResult updateProject(const TWProjectPtr &project, bool notify);
    // Deletes the project with its tasks (and their time items), expenses and
    // invoices; those deletions always post their notifications.
    TWErrorResult deleteProject(const TWProjectPtr &project, bool notify);

    // The largest stored identifier plus one, at least 100; 0 on failure.
    qint32 nextProjectIdentifier();
    // The notifications without user info, after writes made without notify.
    void notifyProjectsAdd() { notifyBulk(TWProjectNewNotification); }
    void notifyProjectsUpdate() { notifyBulk(TWProjectUpdateNotification); }
    void notifyProjectsDelete() { notifyBulk(TWProjectDeleteNotification); }

    // --- Tasks ---

    const TWTaskList &tasks() const { return m_tasks.list(); }
    TWTaskPtr taskWithIdentifier(qint32 identifier) const;
    // The project's tasks in list order, each with its invoiceQuantity reset
    // to 0.
    TWTaskList tasksWithProject(const TWProject &project);
    // The tasks in list order, each once for every entry of `projects` that
    // is its project (no reset).
    TWTaskList tasksWithProjects(const TWProjectList &projects) const;
    // The tasks the invoice bills, in the order of its task links, each with
    // its invoiceQuantity set to the quantity billed; links to a missing task
    // are skipped.
    TWTaskList tasksWithInvoice(const TWInvoice &invoice);

    TWErrorResult loadTasks();

    // Writes, as for projects ("taskNew", "taskUpdate", "taskDelete", key
    // "task"). The project is fixed when a task is added.
    TWErrorResult addTask(const TWTaskPtr &task, bool notify);
    // A task that is no longer timed loses its time items (each deletion
    // posting "taskItemDelete").
    TWErrorResult updateTask(const TWTaskPtr &task, bool notify);
    // Deletes the task, its time items (posting "taskItemDelete" for each)
    // and its invoice links.
    TWErrorResult deleteTask(const TWTaskPtr &task, bool notify);

    qint32 nextTaskIdentifier();
    // The tasks' totals (in their projects' units) in the home currency, each
    // converted on its own.
    qint64 taskHomeTotalWithTasks(const TWTaskList &tasks);
    qint64 taskHomeTotalWithProjects(const TWProjectList &projects);
    // Import's duplicate test: whether a listed task has the same project,
    // task type, quantity (exactly), rate and day.
    bool matchTask(const TWTask &task);
    void notifyTasksAdd() { notifyBulk(TWTaskNewNotification); }
    void notifyTasksUpdate() { notifyBulk(TWTaskUpdateNotification); }
    void notifyTasksDelete() { notifyBulk(TWTaskDeleteNotification); }

    // --- Time items ---

    const TWTaskItemList &taskItems() const { return m_taskItems.list(); }
    TWTaskItemPtr taskItemWithIdentifier(qint32 identifier) const;
    // The task's time items in list order.
    TWTaskItemList taskItemsWithTask(const TWTask &task) const;
    TWTaskItemList taskItemsWithTasks(const TWTaskList &tasks) const;
    // The earliest start (the latest end) of all time items; now when there
    // is none. Items without that moment are passed over.
    QDateTime oldestTaskItemDate() const;
    QDateTime newestTaskItemDate() const;

    TWErrorResult loadTaskItems();

    // Writes, as for projects ("taskItemNew", "taskItemUpdate",
    // "taskItemDelete", key "taskItem"). The task is fixed when an item is
    // added; an update writes start, end and notes.
    TWErrorResult addTaskItem(const TWTaskItemPtr &taskItem, bool notify);
    TWErrorResult updateTaskItem(const TWTaskItemPtr &taskItem, bool notify);
    TWErrorResult deleteTaskItem(const TWTaskItemPtr &taskItem, bool notify);

    qint32 nextTaskItemIdentifier();
    void notifyTaskItemsAdd() { notifyBulk(TWTaskItemNewNotification); }
    void notifyTaskItemsUpdate() { notifyBulk(TWTaskItemUpdateNotification); }
    void notifyTaskItemsDelete() { notifyBulk(TWTaskItemDeleteNotification); }

    // --- Expenses ---

    const TWExpenseList &expenses() const { return m_expenses.list(); }
    TWExpensePtr expenseWithIdentifier(qint32 identifier) const;
    // As the task lookups of the same names.
    TWExpenseList expensesWithProject(const TWProject &project);
    TWExpenseList expensesWithProjects(const TWProjectList &projects) const;
    TWExpenseList expensesWithInvoice(const TWInvoice &invoice);

    TWErrorResult loadExpenses();

    // Writes, as for projects ("expenseNew", "expenseUpdate",
    // "expenseDelete", key "expense"). The project is fixed when an expense is
    // added; deleting one deletes its invoice links.
    TWErrorResult addExpense(const TWExpensePtr &expense, bool notify);
    TWErrorResult updateExpense(const TWExpensePtr &expense, bool notify);
    TWErrorResult deleteExpense(const TWExpensePtr &expense, bool notify);

    qint32 nextExpenseIdentifier();
    qint64 expenseHomeTotalWithExpenses(const TWExpenseList &expenses);
    qint64 expenseHomeTotalWithProjects(const TWProjectList &projects);
    // Import's duplicate test: whether a listed expense has the same project,
    // quantity (exactly), cost and day.
    bool matchExpense(const TWExpense &expense) const;
    void notifyExpensesAdd() { notifyBulk(TWExpenseNewNotification); }
    void notifyExpensesUpdate() { notifyBulk(TWExpenseUpdateNotification); }
    void notifyExpensesDelete() { notifyBulk(TWExpenseDeleteNotification); }
    // ----- end of Projects, tasks and expenses -----

    // ===== Invoices and bills =====
    // ----- end of Invoices and bills -----

    // ===== Budget items =====
    // ----- end of Budget items -----

    // ===== Document settings =====
    // ----- end of Document settings -----

    // ===== Balances =====
    // ----- end of Balances -----

    // ===== End of the groups =====

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
        std::vector<std::function<void()>> undos;
        QList<std::pair<QString, QVariantMap>> notifications;
    };

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

    QUrl m_url;
    QString m_attachmentsFolderPath;
    QStringList m_deleteAttachments;
    std::unique_ptr<QThreadPool> m_operationQueue;
    bool m_autofill = false;

    // ===== Schema, version and upgrade =====

    // The three built-in fields a schema 1.0 database lacks ("unit" -16,
    // "dateCreated" -17, "dateModified" -18); failures are ignored.
    void upgradeAddBuiltInFields();

    // ===== Units =====
    // ----- end of Units -----

    // ===== Business information and accounting periods =====
    // ----- end of Business information and accounting periods -----

    // ===== Groups =====

    // The groups of one kind and their identifier index, kept in step.
    struct GroupKindList {
        TWGroupList list;
        QHash<qint32, TWGroupPtr> index;
    };
    // The list of a group item type; nullptr for a type that is no group type.
    GroupKindList *groupKindList(int type);
    const GroupKindList *groupKindList(int type) const;
    // The kind list holding the group of that identifier (searched in the
    // order of groupWithIdentifier) and its position; nullptr when none.
    GroupKindList *findGroup(qint32 identifier, qsizetype *position);
    // List changes with their undo registered in the scope; the index follows.
    void appendGroup(WriteScope &scope, GroupKindList &kind, const TWGroupPtr &group);
    void removeGroupAt(WriteScope &scope, GroupKindList &kind, qsizetype position);
    // Hook for the clients, merchants, reports and filters, whose lists belong
    // to other groups of this store: deletes, with notifications, the items
    // of the group's kind whose parent is the group.
    TWErrorResult deleteGroupOtherItemsHook(const TWGroupPtr &group);

    GroupKindList m_accountGroups;
    GroupKindList m_clientGroups;
    GroupKindList m_merchantGroups;
    GroupKindList m_reportGroups;
    GroupKindList m_filterGroups;
    // ----- end of Groups -----

    // ===== Accounts =====

    // The unit object of a stored unit code.
    TWUnitPtr unitForCode(const QString &code) const;
    // List changes with their undo registered in the scope; the index follows.
    void appendAccount(WriteScope &scope, const TWAccountPtr &account);
    void removeAccountAt(WriteScope &scope, qsizetype position);

    // Hooks into the parts of the document that keep something per account
    // and are kept by other groups of this store. Each runs inside the
    // account write that calls it, so a failure undoes the whole write.
    void columnSettingsAddAccountHook(const TWAccountPtr &account);
    void exportSettingsAddAccountHook(const TWAccountPtr &account);
    TWErrorResult deleteAccountTransactionsHook(const TWAccountPtr &account);
    TWErrorResult businessInfoDeleteAccountHook(const TWAccountPtr &account);
    void columnSettingsDeleteAccountHook(const TWAccountPtr &account);
    void importSettingsRemoveAccountHook(const TWAccountPtr &account);
    void exportSettingsRemoveAccountHook(const TWAccountPtr &account);
    // Also used for groups.
    TWErrorResult deleteBudgetItemsForItemHook(const TWItemPtr &item);

    TWAccountList m_accounts;
    QHash<qint32, TWAccountPtr> m_accountIndex;
    // ----- end of Accounts -----

    // ===== Transactions =====
    // ----- end of Transactions -----

    // ===== Splits, attachments and custom values =====
    // ----- end of Splits, attachments and custom values -----

    // ===== Relationships =====
    // ----- end of Relationships -----

    // ===== Fields =====
    // ----- end of Fields -----

    // ===== Remembered values =====
    // ----- end of Remembered values -----

    // ===== Repeats =====
    // ----- end of Repeats -----

    // ===== Filters =====
    // ----- end of Filters -----

    // ===== Clients, merchants and reports =====
    // ----- end of Clients, merchants and reports -----

    // ===== Projects, tasks and expenses =====

    // The unit object of a project's stored currency code (USD for none).
    TWUnitPtr projectUnitForCode(const QString &code) const;
    // How many times each project is given.
    static QHash<qint32, int> projectCounts(const TWProjectList &projects);

    // Hooks into the parts of the document kept by other groups of this
    // store. Each runs inside the work write that calls it, so a failure (or
    // a later failure of that write) undoes it along with the write.
    TWClientPtr clientForProjectHook(qint32 clientIdentifier) const;
    void addClientProjectValuesHook(const TWProjectPtr &project, bool notify);
    void addClientTaskValuesHook(const TWTaskPtr &task, bool notify);
    void addClientExpenseValuesHook(const TWExpensePtr &expense, bool notify);
    void exportSettingsAddProjectHook(const TWProjectPtr &project);
    void exportSettingsRemoveProjectHook(const TWProjectPtr &project);
    TWErrorResult deleteProjectInvoicesHook(const TWProjectPtr &project);
    TWErrorResult deleteTaskInvoiceLinksHook(const TWTaskPtr &task);
    TWErrorResult deleteExpenseInvoiceLinksHook(const TWExpensePtr &expense);
    TWRelationshipList invoiceLinksHook(const TWInvoice &invoice, std::uint32_t type) const;
    qint64 workTotalInHomeCurrencyHook(qint64 amount, const TWUnitPtr &unit);

    TWRecordList<TWProject> m_projects{[](const TWProject &p) { return p.clientIdentifier(); }};
    TWRecordList<TWTask> m_tasks{[](const TWTask &t) { return t.projectIdentifier(); }};
    TWRecordList<TWTaskItem> m_taskItems{[](const TWTaskItem &i) { return i.taskIdentifier(); }};
    TWRecordList<TWExpense> m_expenses{[](const TWExpense &e) { return e.projectIdentifier(); }};
    // ----- end of Projects, tasks and expenses -----

    // ===== Invoices and bills =====
    // ----- end of Invoices and bills -----

    // ===== Budget items =====
    // ----- end of Budget items -----

    // ===== Document settings =====
    // ----- end of Document settings -----

    // ===== Balances =====
    // ----- end of Balances -----

    // ===== End of the groups =====
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
