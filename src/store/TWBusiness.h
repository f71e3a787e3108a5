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
#include "TWTotalType.h"
#include "TWUnit.h"
// ----- end of Units -----

// ===== Business information and accounting periods =====
#include "TWAccountingPeriod.h"
#include "TWBusinessInfo.h"

#include <QDateTime>
// ----- end of Business information and accounting periods -----

// ===== Groups =====
#include "TWGroup.h"
// ----- end of Groups -----

// ===== Accounts =====
#include "TWAccount.h"
// ----- end of Accounts -----

// ===== Transactions =====
#include "TWFilter.h"
#include "TWTransaction.h"

#include <QDateTime>
// ----- end of Transactions -----

// ===== Splits, attachments and custom values =====
#include "TWAttachment.h"
#include "TWFieldValue.h"
#include "TWSplit.h"

#include <optional>
// ----- end of Splits, attachments and custom values -----

// ===== Relationships =====
#include "TWRelationshipIndex.h"
// ----- end of Relationships -----

// ===== Fields =====
#include "TWField.h"
#include "TWFieldItem.h"
// ----- end of Fields -----

// ===== Remembered values =====
#include "TWFieldValue.h"
#include "TWValue.h"

#include <optional>
// ----- end of Remembered values -----

// ===== Repeats =====
#include "TWBill.h"
#include "TWInvoice.h"
#include "TWRepeat.h"
// ----- end of Repeats -----

// ===== Filters =====
#include "TWFilter.h"
#include "TWFilterCriteria.h"
// ----- end of Filters -----

// ===== Clients, merchants and reports =====
#include "TWClient.h"
#include "TWMerchant.h"
#include "TWReport.h"
// ----- end of Clients, merchants and reports -----

// ===== Master item trees =====
#include "TWItemTree.h"

#include <concepts>
// ----- end of Master item trees -----

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
#include "TWAccount.h"
#include "TWBill.h"
#include "TWExpense.h"
#include "TWInvoice.h"
#include "TWProject.h"
#include "TWRecordList.h"
#include "TWRelationship.h"
#include "TWTask.h"
#include "TWTransaction.h"

class TWRepeat;
// ----- end of Invoices and bills -----

// ===== Budget items =====
#include "TWBudgetItem.h"
// ----- end of Budget items -----

// ===== Document settings =====
#include "TWExportSettings.h"
#include "TWSendInvoiceData.h"

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

// Failures of the package as a folder of files (SQLite's own failures keep
// their database error).
inline const QString TWPackageErrorDomain = QStringLiteral("Tallyworth Package Error");
enum TWPackageErrorCode : int {
    TWPackageLocationError = 1,    // not a local folder
    TWPackageNotDocumentError = 2, // no business database in it
    TWPackageFolderError = 3,      // a folder could not be made
    TWPackageAttachmentError = 4,  // an attachment file could not be copied or read
    TWPackageBusyError = 5,        // a save while a write is still open
};

// The three entries of a package.
inline const QString TWPackageDataFileName = QStringLiteral("Data.sql");
inline const QString TWPackageSettingsFileName = QStringLiteral("Settings.plist");
inline const QString TWPackageAttachmentsFolderName = QStringLiteral("Attachments");

// --- Column settings, date ranges and settings housekeeping ---
#include "TWDateRanges.h"

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
    TWRegisterViewRepeat = -3,  // the items of a repeat
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
#include "TWBudgetTotal.h"

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
    // The lookup indexes of the tables that are searched by a transaction or a
    // schedule on every write (without them each write scans the whole
    // table). Only speed depends on them: a database without them reads and
    // writes the same rows.
    TWErrorResult createIndexes();

    // ===== Units =====

    // The business's units: sorted by name as units are added, in the order
    // of the query right after a load.
    const TWUnitList &units() const { return m_units; }
    // The same objects keyed by code.
    const QHash<QString, TWUnitPtr> &unitsDictionary() const { return m_unitsDictionary; }
    // The business's unit with that code, or nullptr.
    TWUnitPtr unitWithCode(const QString &code) const;
    // The unit for a code read from a stored record: the business's unit, or,
    // when the business has no unit of that code, a placeholder unit carrying
    // the code (name = code, rate 0, two decimal places), never nullptr and
    // never another currency. The same placeholder object is returned for the
    // same code for the life of the store; placeholders are not in `units`.
    TWUnitPtr unitForStoredCode(const QString &code) const;
    // New lists, in list order: the units of one TWUnitType, the favourites.
    TWUnitList unitsOfType(std::uint32_t type) const;
    TWUnitList favouriteUnits() const;
    // The unit of the home currency (set when the business information is
    // loaded); nullptr before that.
    const TWUnitPtr &homeUnit() const { return m_homeUnit; }

    // Seeds a new business: a copy of every built-in unit (with a Canadian
    // home currency "CAD" shows as "$" and "USD" as "US$"), then the unit-list
    // version in the info table. A unit that cannot be stored is skipped.
    TWErrorResult populateUnits();
    // Replaces `units` and `unitsDictionary` with the table's rows. When the
    // query cannot be prepared both stay empty; when a step fails, the rows
    // read so far are kept and the error is returned.
    TWErrorResult loadUnits();
    // Inserts the unit's row, then adds it to the list (kept sorted by name)
    // and the dictionary; posts "unitNew" when notify.
    TWErrorResult addUnit(const TWUnitPtr &unit, bool notify);
    // Writes every field but the type, by code. Passed another object than
    // the listed one, the listed unit of that code takes all its fields but
    // the type (the list keeps its order). Posts "unitUpdate" when notify.
    TWErrorResult updateUnit(const TWUnitPtr &unit, bool notify);
    // Writes only the rate and the date of the last update (the caller changes
    // the listed unit itself). Posts "unitUpdate" when notify.
    TWErrorResult updateUnitRate(const TWUnitPtr &unit, bool notify);
    // Deletes the row of the unit's code and removes that unit from the list
    // and the dictionary; posts "unitDelete" when notify. Whether a unit in use
    // may go is the caller's decision.
    TWErrorResult deleteUnit(const TWUnitPtr &unit, bool notify);

    // Conversions (TWUnitConversion): amount × target rate ÷ source rate,
    // rescaled to the target's decimal places, rounded half away from zero.
    // A missing unit or a refused conversion (not finite, or past 64 bits)
    // gives 0; use TWUnitConversion::convertedTotal to tell refusals apart.
    qint64 totalInHomeCurrency(qint64 total, const TWUnitPtr &unit) const;
    qint64 totalInUnit(qint64 total, const TWUnitPtr &totalUnit, const TWUnitPtr &unit) const;
    // In US cents.
    qint64 totalInBaseCurrency(qint64 total, const TWUnitPtr &unit) const;
    // The conversion for model arithmetic (TWUnitConversion::convertTotal).
    static TWUnitConverter unitConverter();
    // ----- end of Units -----

    // ===== Business information and accounting periods =====

    // The home currency code of the business row; empty when there is none
    // or the query fails. (Defined with the schema: the upgrade needs it.)
    QString homeCurrencyCode();

    // The business's description; nullptr until it is set or loaded.
    const TWBusinessInfoPtr &businessInfo() const { return m_businessInfo; }
    // Sets the record of a business being created, before its row exists.
    void setBusinessInfo(const TWBusinessInfoPtr &businessInfo) { m_businessInfo = businessInfo; }
    // Inserts the business row (identifier 100) from `businessInfo`.
    TWErrorResult populateBusinessInfo();
    // Reads the business row into `businessInfo` (without periods: see
    // `loadAccountingPeriods`) and sets `homeUnit`. An empty table leaves
    // `businessInfo` nullptr without error; a failure leaves it nullptr.
    TWErrorResult loadBusinessInfo();
    // Writes the record over the business row; on success it becomes
    // `businessInfo`. The business type and home currency are fixed when the
    // business is created: the record is given the stored ones. Posts nothing.
    TWErrorResult updateBusinessInfo(const TWBusinessInfoPtr &businessInfo);
    // Called when an account is deleted: when it was the nominal-transfer
    // account, the business no longer names one.
    TWErrorResult businessInfoDeleteAccount(const TWAccount &account);

    // Accounting periods. They live in `businessInfo()->accountingPeriods()`
    // in no particular order; the table is always rewritten whole. Days are
    // compared by calendar day, bounds inclusive, a missing bound open.

    // A new list of the periods sorted by start date.
    TWAccountingPeriodList sortedAccountingPeriods() const;
    // The first listed period with that identifier, or nullptr.
    TWAccountingPeriodPtr accountingPeriodWithIdentifier(qint32 identifier) const;
    // The stored period containing the date; otherwise a made-up "none"
    // period (identifier 0, no name) for the days around it that no period
    // covers: before the first period (no start), a gap between two periods,
    // after the last period (no end), or everything when there are no
    // periods. Never nullptr.
    TWAccountingPeriodPtr accountingPeriodForDate(const QDateTime &date) const;
    // `accountingPeriodForDate` of now.
    TWAccountingPeriodPtr currentAccountingPeriod() const;
    // The period of the day before the current period starts; nullptr when
    // the current period has no start.
    TWAccountingPeriodPtr lastAccountingPeriod() const;
    // The periods up to today in start order, with "none" periods for the
    // days no period covers: one before the first period and one in every gap.
    // Ends before a gap holding today, or at the period holding today (which
    // is included only when includeCurrent); empty when today lies before the
    // first period.
    TWAccountingPeriodList sortedAccountingPeriodsWithNone(bool includeCurrent) const;
    // Whether the date lies on an earlier day than the start of the current
    // period (false when that period has no start).
    bool dateBeforeActiveAccountingPeriod(const QDateTime &date) const;

    // Stores each period of a new business's record with the next identifier
    // (100, 101, ... in list order); the record's list is left as it is.
    TWErrorResult populateAccountingPeriods();
    // Reads the table into `businessInfo`'s periods (right after
    // `loadBusinessInfo`). Fails when there is no business record to fill.
    TWErrorResult loadAccountingPeriods();
    // Inserts one row; posts "accountingPeriodNew" when notify. The record's
    // list is not touched.
    TWErrorResult addAccountingPeriod(const TWAccountingPeriodPtr &period, bool notify);
    // Deletes every row; posts "accountingPeriodDelete" when notify. The
    // record's list is not touched.
    TWErrorResult deleteAccountingPeriods(bool notify);
    // The largest stored identifier plus one, at least 100; 0 on failure.
    qint32 nextAccountingPeriodIdentifier();
    // Run when a document is opened (and after the periods were edited, with
    // force): with automatic periods on, creates the current calendar year as
    // period "1" when there is none, or appends periods as long as the last
    // one (named by position) until today is covered, at most
    // `maximumNewAccountingPeriods` in one run and only when the last period
    // has both dates and a positive length; then records the active period and
    // `lastStartupDate`, and regenerates the year-end transfers when the
    // active period moved or when forced. Atomic.
    TWErrorResult updateAccountingPeriods(bool force);
    static constexpr int maximumNewAccountingPeriods = 1000;
    // Regenerates the year-end transfer transactions of the past periods.
    TWErrorResult updateNominalTransferTransactions();

    // Document settings kept in the package's settings file: the period that
    // held the day of the last opening (0 when none) and that moment.
    qint32 activeAccountingPeriodIdentifier() const { return m_activeAccountingPeriodIdentifier; }
    void setActiveAccountingPeriodIdentifier(qint32 identifier)
    {
        m_activeAccountingPeriodIdentifier = identifier;
    }
    const QDateTime &lastStartupDate() const { return m_lastStartupDate; }
    void setLastStartupDate(const QDateTime &date) { m_lastStartupDate = date; }
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

    // The stored transactions, in the order the load read them, later
    // additions appended. The list is never sorted; every query sorts its own
    // result. Empty before `loadTransactions`.
    const TWTransactionList &transactions() const { return m_transactions; }
    // The stored transaction itself (not a view) with that identifier, the
    // first in list order; nullptr when none. Answered from an index.
    TWTransactionPtr transactionWithIdentifier(qint32 identifier) const;

    // Opening (after units, accounts and fields are loaded): replaces
    // `transactions` with the table's rows, each with its custom values (in
    // `userFields` order: the column fields, then the tags fields), its tags
    // and, when it is split, its splits. Attachments are not read: each
    // transaction reads its own on first use (`attachmentsWithBusiness`). Any
    // failure (also of the splits or tags) fails the load and leaves the list
    // empty, so no transaction is ever held with lines or values missing. A
    // row without a unit code counts in "USD"; a code naming no unit of the
    // business gets that code's placeholder unit (`unitForStoredCode`).
    TWErrorResult loadTransactions();

    // Reading one transaction's rows. The splits in identifier order; the
    // attachments in their order, with their files in `attachmentsFolderPath`
    // (a photo's thumbnail only when its file exists). An empty list when
    // there are none; none when the query fails. Nothing is changed.
    std::optional<TWSplitList> transactionSplits(qint32 transactionIdentifier);
    std::optional<TWAttachmentList> transactionAttachments(const TWTransaction &transaction);
    // Gives the transaction the list `transactionAttachments` reads (left
    // absent when the query fails, so a later use asks again).
    void loadTransactionAttachments(TWTransaction &transaction);
    // The names of an attachment's files in the attachments folder:
    // "<identifier>.<extension of fileName>" ("<identifier>" without an
    // extension) and a photo's thumbnail "<identifier>t.jpg".
    static QString attachmentFileName(qint32 identifier, const QString &fileName);
    static QString attachmentThumbnailFileName(qint32 identifier);

    // Queries over the in-memory list. Each returns a new list sorted by date,
    // then identifier, of views: copies seen from one account
    // (`transactionForActiveAccount`, no split), never the stored objects.
    // Every transaction, seen from account 1 (a split one from its first
    // line's account, 0 without lines).
    TWTransactionList allTransactions() const;
    // The transactions that touch the account (a split one through its lines
    // only), seen from it.
    TWTransactionList transactionsForAccount(const TWAccount &account) const;
    // For each listed account, those that touch it, seen from it: a
    // transaction between two listed accounts is there twice.
    TWTransactionList transactionsForAccounts(const TWAccountList &accounts) const;
    // The transactions the filter (or at least one of the filters) matches,
    // seen as in `allTransactions`, each once.
    TWTransactionList transactionsForFilter(const TWFilter &filter);
    TWTransactionList transactionsForFilters(const TWFilterList &filters);
    // The export selection: the stored transactions themselves (their active
    // account reset to 0), sorted, that the filter (when given) matches, that
    // touch one of the accounts (when a list is given; a split transaction
    // through its lines), and whose date lies within the interval preset's
    // bounds (TWUtilities::intervalFromDate/intervalToDate with the custom
    // dates). `hasAttachments`, when given, tells whether one of them has
    // attachments.
    TWTransactionList transactionsForAccounts(const std::optional<TWAccountList> &accounts,
                                              const TWFilterPtr &filter, std::uint32_t interval,
                                              const QDateTime &intervalFromDate,
                                              const QDateTime &intervalToDate,
                                              bool *hasAttachments);
    // The export list: for each account (sorted by name), the given
    // transactions (sorted) that touch it, seen from it, with running
    // balances per account. Grouped by account, not sorted as a whole.
    TWTransactionList exportTransactionsForAccounts(const TWAccountList &accounts,
                                                    const TWTransactionList &transactions) const;

    // What the transaction model borrows from this business: the defaults of
    // a new transaction (with the next identifier), the choice of default
    // accounts, and the search's settings, lookups and money texts.
    TWNewTransactionDefaults newTransactionDefaults();
    TWAccountDefaults accountDefaults() const;
    TWTransactionSearchContext transactionSearchContext() const;

    // The identifier for a new transaction: the largest stored one plus one,
    // raised to the "startingIdentifier" preference; 0 on failure.
    qint32 nextTransactionIdentifier();

    // The accounting period of the transaction's date (`accountingPeriodForDate`),
    // and whether that date lies on an earlier day than the start of the
    // current period.
    TWAccountingPeriodPtr accountingPeriodForTransaction(const TWTransaction &transaction) const;
    bool transactionBeforeActiveAccountingPeriod(const TWTransaction &transaction) const;

    // --- Writes ---
    // Each write is all or nothing: the row with its custom values, tags,
    // split lines, attachment rows and relationships lands (or goes) together
    // with the change of `transactions`, the remembered values, the last-used
    // values and the notifications, or none of them does. "transactionNew",
    // "transactionUpdate" and "transactionDelete" (key "transaction") are
    // posted only with `notify`, which is also handed on to the remembered
    // values and the repeat generation.
    //
    // After the write has committed: with `nominal`, the year-end transfers
    // are rebuilt once when a date involved (the new one, and the one stored
    // before an update or a delete) lies before the start of the current
    // accounting period; a failing rebuild is returned, the write stays. With
    // `repeats`, the transaction's repeat is brought up to date (its result
    // is not looked at).

    // Stores a transaction that carries its identifier already (from
    // `nextTransactionIdentifier`; 0 is refused) and appends it to the list.
    // Sets `dateCreated` and `dateModified` to now. With `user`, its date,
    // unit and accounts become the last used ones (`updateLastTransaction`).
    TWErrorResult addTransaction(const TWTransactionPtr &transaction, bool repeats, bool nominal,
                                 bool user, bool notify);
    // Writes every column, the custom values (no value: none stored), the
    // lines (`updateTransactionSplits`) and the attachments: a loaded
    // attachment list replaces the stored rows, and the files of the stored
    // attachments it no longer holds are queued for removal; a list never
    // loaded leaves them alone. Sets `dateModified` to now. The list's own
    // object leaves the list as it is; another object with its identifier
    // takes the listed one's place at the end. A transaction that is not
    // stored is refused (SQLITE_NOTFOUND) and nothing changes.
    TWErrorResult updateTransaction(const TWTransactionPtr &transaction, bool repeats, bool nominal,
                                    bool user, bool notify);
    // Writes only the state; the list is not touched.
    TWErrorResult updateTransactionState(const TWTransactionPtr &transaction, bool notify);
    // Deletes the transaction with everything kept for it and removes every
    // listed object with its identifier; the object passed (the listed one
    // or a copy) then has identifier 0. A transaction that is not stored
    // (identifier 0, or deleted already through another copy) deletes and
    // posts nothing.
    TWErrorResult deleteTransaction(const TWTransactionPtr &transaction, bool repeats, bool nominal,
                                    bool notify);
    // The same for many transactions in one write: each stored transaction
    // once, however many of its copies are given (a register of several
    // accounts shows one transaction once per account); every object given
    // then has identifier 0. At most one rebuild, and one "transactionDelete"
    // without user info when something was deleted.
    TWErrorResult deleteTransactions(const TWTransactionList &transactions, bool repeats,
                                     bool nominal, bool notify);
    // Deletes every transaction of the repeat, then the repeat. The year-end
    // transfers are rebuilt when one of them lay before the current period.
    // One "transactionDelete" without user info when something was deleted.
    // The removed objects keep their identifiers. No repeat, or one never
    // stored (identifier 0), deletes nothing.
    TWErrorResult deleteRepeatTransactions(const std::shared_ptr<TWRepeat> &repeat, bool notify);
    // Deletes every transaction of the account (the deletion of the account
    // calls it): one without lines through its two accounts, a split one
    // through its lines only. Then as `deleteRepeatTransactions`, and every
    // repeat is brought up to date.
    TWErrorResult deleteAccountTransactions(const TWAccountPtr &account, bool notify);

    // Records the transaction's date, unit and accounts as the last used: its
    // own for one without lines; the first line's unit and account and the
    // second line's account (the first again when it has one line) for a
    // split one; only the date for a split one without lines. A mileage unit
    // goes to `lastMileageUnit`, any other to `lastUnit`.
    void updateLastTransaction(const TWTransaction &transaction);

    // "transactionNew", "transactionUpdate" and "transactionDelete" without
    // user info, once after many writes made with notify NO.
    void notifyTransactionsAdd() { notifyBulk(TWTransactionNewNotification); }
    void notifyTransactionsUpdate() { notifyBulk(TWTransactionUpdateNotification); }
    void notifyTransactionsDelete() { notifyBulk(TWTransactionDeleteNotification); }

    // --- Year-end transfers and transaction states ---
    // Every accounting period that ended before the current one (and every
    // stretch of days no period covers before it) is closed by year-end
    // transfers: one locked transaction of the transfer type per income or
    // expense account whose net amount in the period is not zero, moving that
    // amount into the business's nominal-transfer account on the period's
    // last day, tied to the period by a year-end relationship (parent: the
    // period, 0 for days no period covers). They are never edited, only made
    // again from scratch (`updateNominalTransferTransactions`, declared with
    // the accounting periods: all or nothing, notified in bulk).

    // Gives every transaction that is not locked the closed state when its
    // accounting period is closed and the normal state otherwise, and writes
    // the states that changed; then one "transactionUpdate" without user info
    // when any did. All or nothing.
    TWErrorResult updateTransactionStates();
    // Whether the transaction counts as closed: its accounting period is
    // closed. A locked transaction (a year-end transfer) never is.
    bool transactionClosed(const TWTransaction &transaction) const;
    // Whether a closed or locked transaction lies in the record's scope: the
    // transactions of the account (a split one through its lines), those the
    // saved filter matches, the items of the repeat (or the payments of its
    // invoices or bills), the payments of the invoice or bill, of the
    // project's invoices, of the client's projects, of the merchant's bills.
    bool accountContainsClosedTransactions(const TWAccount &account) const;
    bool filterContainsClosedTransactions(const TWFilter &filter);
    bool repeatContainsClosedTransactions(const TWRepeat &repeat);
    bool invoiceContainsClosedTransactions(const TWInvoice &invoice) const;
    bool billContainsClosedTransactions(const TWBill &bill) const;
    bool projectContainsClosedTransactions(const TWProject &project) const;
    bool clientContainsClosedTransactions(const TWClient &client) const;
    bool merchantContainsClosedTransactions(const TWMerchant &merchant) const;
    // ----- end of Transactions -----

    // ===== Splits, attachments and custom values =====

    // What the transaction writes hand on: the custom values, tags, splits
    // and attachment rows of a transaction whose row they wrote. Each is one
    // write (all or nothing, joining the caller's write when there is one).
    // Splits and attachments of identifier 0 are numbered when first stored,
    // and the identifier is written into the object (and taken back if the
    // write rolls back).

    // Writes every custom column of the transaction's row (no value: NULL)
    // with bound parameters, and replaces its tag rows. A value that is not
    // valid (TWFieldValue::isValid) or whose type is not its field's is
    // refused: nothing is written and an error is returned.
    TWErrorResult updateTransactionFields(const TWTransaction &transaction);

    // Inserts each line of a split transaction (nothing for one that is not).
    TWErrorResult saveTransactionSplits(const TWTransaction &transaction);
    // Makes the stored lines those of the transaction: its stored lines are
    // updated, new ones inserted and the stored ones it no longer has deleted
    // (with their relationships). A line whose identifier is not one of this
    // transaction's stored lines is inserted as a new line with a new
    // identifier, never written over another transaction's line.
    TWErrorResult updateTransactionSplits(const TWTransaction &transaction);
    // Deletes every line of the transaction (their relationships are left to
    // the transaction's own relationship deletion).
    TWErrorResult deleteTransactionSplits(const TWTransaction &transaction);
    TWErrorResult addSplit(const TWSplitPtr &split, const TWTransaction &transaction);
    TWErrorResult updateSplit(const TWSplitPtr &split);
    // Deletes the line and its relationships.
    TWErrorResult deleteSplit(const TWSplitPtr &split);

    // Inserts a row for each attachment of the transaction's list whose file
    // exists (the others are skipped). The files themselves are copied into
    // the package when the document is saved.
    TWErrorResult saveTransactionAttachments(const TWTransaction &transaction);
    // Queues the files of every attachment of the transaction (reading the
    // stored list when it was never loaded) and deletes its attachment rows.
    TWErrorResult deleteTransactionAttachments(const TWTransaction &transaction);
    // Queues the attachment's files in `deleteAttachments` for the next save:
    // a photo's thumbnail, then the file. Only files inside the document's
    // attachments folder are queued: a file not copied into the package yet
    // is the user's own and is never deleted. Undone if the enclosing write
    // rolls back.
    void deleteTransactionAttachment(const TWAttachmentPtr &attachment);

    // The largest stored identifier plus one, at least 100; 0 on failure.
    qint32 nextSplitIdentifier();
    qint32 nextAttachmentIdentifier();
    // ----- end of Splits, attachments and custom values -----

    // ===== Relationships =====

    // The typed links between records (payments of invoices and bills by
    // transactions or single split lines, tasks and expenses billed on an
    // invoice, year-end transfers of an accounting period): table order as
    // loaded, additions appended. Empty before `loadRelationships`.
    const TWRelationshipList &relationships() const { return m_relationships.list(); }
    // Reads the relationships table into `relationships` (part of opening a
    // document, after the transactions). Rows read before a failure stay.
    TWErrorResult loadRelationships();

    // Lookups: the listed objects themselves, in list order; empty when none
    // match. They match on what the table row holds: a listed relationship
    // changes only through the operations below. Identifier 0 of a child,
    // transaction or split stands for "none" (a record not stored yet), so
    // asking for it finds nothing. A parent of 0 is a real key (the transfers
    // of the gap before the first accounting period).
    TWRelationshipPtr relationshipWithIdentifier(qint32 identifier) const;
    TWRelationshipList relationshipsOfType(std::uint32_t type) const;
    TWRelationshipList relationshipsWithParentIdentifier(qint32 parentIdentifier,
                                                         std::uint32_t type) const;
    TWRelationshipList relationshipsWithChildIdentifier(qint32 childIdentifier,
                                                        std::uint32_t type) const;
    TWRelationshipList relationshipsWithParentIdentifier(qint32 parentIdentifier,
                                                         qint32 childIdentifier,
                                                         std::uint32_t type) const;
    // Every type, or one type, linked to the transaction (or to one of its
    // split lines).
    TWRelationshipList relationshipsWithTransaction(const TWTransaction &transaction) const;
    TWRelationshipList relationshipsWithTransaction(const TWTransaction &transaction,
                                                    std::uint32_t type) const;
    TWRelationshipList relationshipsWithSplit(const TWSplit &split) const;

    // Writes. The caller gives a new relationship its identifier first
    // (`nextRelationshipIdentifier`); an identifier of 0 or below, or an object
    // already listed, is refused and nothing is stored.
    TWErrorResult addRelationship(const TWRelationshipPtr &relationship, bool notify);
    // Writes only the value. The listed relationship with that identifier
    // takes the value too when another object is passed.
    TWErrorResult updateRelationship(const TWRelationshipPtr &relationship, bool notify);
    // Deletes the row with the relationship's identifier and the listed
    // relationship of that identifier. The object keeps its identifier.
    TWErrorResult deleteRelationship(const TWRelationshipPtr &relationship, bool notify);
    // Deletes by key, in the table and the list, with one statement; nothing
    // is posted (callers post what they need). A transaction, split or child
    // of identifier 0 deletes nothing.
    TWErrorResult deleteRelationshipsOfType(std::uint32_t type);
    TWErrorResult deleteParentRelationships(qint32 parentIdentifier, std::uint32_t type);
    TWErrorResult deleteChildRelationships(qint32 childIdentifier, std::uint32_t type);
    TWErrorResult deleteTransactionRelationships(const TWTransaction &transaction);
    TWErrorResult deleteSplitRelationships(const TWSplit &split);

    // The largest stored identifier plus one, at least 100; 0 on failure.
    qint32 nextRelationshipIdentifier();
    // "relationshipNew" without user info, once after many adds made with
    // notify NO.
    void notifyRelationshipsAdd();
    // ----- end of Relationships -----

    // ===== Fields =====

    // Every field, built-in (type standard, identifiers -1 to -18) and custom
    // (identifiers from 1), in loading order; `updateField` sorts it by name.
    // The field objects are shared with the user interface, which edits them
    // in place and then calls the update operations.
    const TWFieldList &fields() const { return m_fields; }
    // The first field with that identifier, or nullptr.
    TWFieldPtr fieldWithIdentifier(qint32 identifier) const;

    // The field lists each consumer offers; every call returns a new list.
    // The custom fields (type not standard), in `fields` order.
    TWFieldList userFields() const;
    // The register's column and sort menus (sorted by name).
    TWFieldList sortedFields() const;
    // The filter editor (sorted by name).
    TWFieldList filterFields() const;
    // The targets of import column mapping.
    TWFieldList importFields() const;
    // What a transaction export may contain.
    TWFieldList exportFields() const;
    // The fields of a new transaction export setting.
    TWFieldList defaultExportFields() const;
    // Editing several transactions at once.
    TWFieldList editFields() const;
    // The autofill settings (sorted by name).
    TWFieldList autofillFields() const;

    // A new business: inserts the eighteen built-in fields (all or none).
    TWErrorResult populateFields();
    // Opening: `loadFields` replaces `fields` with the stored rows (before the
    // transactions are loaded); `loadLists`, `loadTags` and
    // `loadPercentTotals` then give the loaded fields their choices and
    // percent settings (rows of fields that do not exist are ignored).
    TWErrorResult loadFields();
    TWErrorResult loadLists();
    TWErrorResult loadTags();
    TWErrorResult loadPercentTotals();

    // The identifier for a new custom field: the largest one plus one, at
    // least 1; 0 when it cannot be read.
    qint32 nextFieldIdentifier();

    // Stores a field whose identifier the caller set (custom fields: from
    // `nextFieldIdentifier`); a custom field other than tags gets its column
    // of the transactions table. Refused: identifier 0, a custom type with an
    // identifier below 1, a built-in one above -1, an unknown type.
    TWErrorResult addField(const TWFieldPtr &field, bool notify);
    // Removes a field with everything stored for it: its column (the
    // transactions table is rebuilt without it, keeping every row and every
    // other column), its choices, tag assignments, percent setting, filter
    // criteria and remembered values. All or nothing.
    TWErrorResult deleteField(const TWFieldPtr &field, bool notify);
    // Stores the name and autofill flags (a field's type never changes) and
    // sorts `fields` by name; another object than the listed one with the
    // same identifier replaces it at the end.
    TWErrorResult updateField(const TWFieldPtr &field, bool notify);
    // Stores only the autofill flags; `fields` is left alone.
    TWErrorResult updateFieldAutofill(const TWFieldPtr &field, bool notify);

    // Choices of a list field. Adding numbers the choice (the field's largest
    // choice identifier plus one, so every field starts at 1) and keeps the
    // field's `listItems` sorted by name; deleting one leaves every
    // transaction that had it without a choice and drops the filter criteria
    // that tested for it. Each posts "fieldUpdate" with the field.
    TWErrorResult addFieldListItem(const TWFieldListItemPtr &item, const TWFieldPtr &field,
                                   bool notify);
    TWErrorResult deleteFieldListItem(const TWFieldListItemPtr &item, const TWFieldPtr &field,
                                      bool notify);
    // Stores the choice's (already changed) name and re-sorts the choices.
    TWErrorResult updateFieldListItem(const TWFieldListItemPtr &item, const TWFieldPtr &field,
                                      bool notify);
    // The same for the tags of a tags field (deleting one removes it from
    // every transaction that carried it).
    TWErrorResult addFieldTagItem(const TWFieldTagItemPtr &item, const TWFieldPtr &field,
                                  bool notify);
    TWErrorResult deleteFieldTagItem(const TWFieldTagItemPtr &item, const TWFieldPtr &field,
                                     bool notify);
    TWErrorResult updateFieldTagItem(const TWFieldTagItemPtr &item, const TWFieldPtr &field,
                                     bool notify);

    // Stores a percent-total field's `percent` and `includedInTotal` (one row
    // per field); posts "fieldUpdate".
    TWErrorResult updateFieldPercentTotal(const TWFieldPtr &field, bool notify);
    // ----- end of Fields -----

    // ===== Remembered values =====

    // The remembered values of one list (a field identifier or a
    // TWValueListCode), ordered by name byte for byte (capitals first); none
    // when the query fails.
    std::optional<TWValueList> values(qint32 code);
    // Whether the list holds a value with exactly that name (case-sensitive);
    // NO also when it cannot be read.
    bool matchValue(const QString &name, qint32 code);
    // The number of remembered values of all lists; 0 on failure.
    quint32 valuesCount();
    // The list codes the values editor offers: payee, description and the
    // custom text fields, sorted by field name; the client-side lists; the
    // merchant-side list.
    QList<qint32> valueTransactionFields() const;
    QList<qint32> valueClientFields() const;
    QList<qint32> valueMerchantFields() const;

    // The identifier for a new remembered value (from 100); 0 on failure.
    qint32 nextValueIdentifier();
    // Single writes: "valueNew", "valueDelete", "valueUpdate" with the value.
    TWErrorResult addValue(const TWValuePtr &value, bool notify);
    TWErrorResult deleteValue(const TWValuePtr &value, bool notify);
    // Stores the value's name.
    TWErrorResult updateValue(const TWValuePtr &value, bool notify);
    // Deletes every value of one list; posts "valueDeleteAll".
    TWErrorResult deleteAllFieldValues(qint32 code, bool notify);
    // Replaces one list by the texts its records hold (payees, descriptions, a
    // custom field's column, or the names of projects, tasks, expenses,
    // invoices or bills), each text once regardless of case, the first met
    // winning. Posts "valueDeleteAll", then "valueNew" when anything was kept.
    // A code without a source changes nothing. All or nothing.
    TWErrorResult rebuildValues(qint32 code);

    // Remembering typed texts: adds `name` to the list unless it is empty or
    // the list already holds exactly that text. The lists are kept in memory
    // once read, so this costs no query per call.
    TWErrorResult rememberValue(const QString &name, qint32 code, bool notify);
    // A transaction's texts: the payee (-5), the description (-6) and its
    // values of the custom text fields (the first value of each field), in
    // `fields` order. All or nothing.
    TWErrorResult rememberTransactionValues(const QString &payee, const QString &description,
                                            const TWFieldValueList &fieldValues, bool notify);

    // After bulk writes made with notify NO: all three post "valueNew".
    void notifyValuesAdd();
    void notifyValuesDelete();
    void notifyValuesUpdate();
    // ----- end of Remembered values -----

    // ===== Repeats =====

    // The schedules that bring a transaction (type 0), an invoice (1) or a
    // bill (2) back every interval, in the order loaded, additions appended.
    // The records a schedule has made (its items) carry its identifier in
    // their repeatIdentifier. Empty before `loadRepeats`.
    const TWRepeatList &repeats() const { return m_repeats; }
    // The listed schedule with that identifier, or nullptr.
    TWRepeatPtr repeatWithIdentifier(qint32 identifier) const;
    // The largest stored identifier plus one, at least 100; 0 on failure.
    qint32 nextRepeatIdentifier();
    // The interval units (TWRepeatIntervalUnit: day, week, month, year), in
    // menu order.
    static QList<std::uint32_t> repeatUnits();

    // Replaces the list with the table's rows (opening a document). A failure
    // keeps the rows read before it.
    TWErrorResult loadRepeats();

    // Writes. Each is all or nothing: a failure leaves the table, the list,
    // the items and the notifications as they were. "repeatNew",
    // "repeatUpdate" and "repeatDelete" (key "repeat") are posted only with
    // `notify`.
    // Stores a schedule that carries its identifier already (from
    // `nextRepeatIdentifier`; 0 is refused) and appends it.
    TWErrorResult addRepeat(const TWRepeatPtr &repeat, bool notify);
    // Writes interval, interval unit, end date and active (the type never
    // changes). A schedule that is not stored is refused (SQLITE_NOTFOUND).
    // Another object than the listed one of that identifier takes its place
    // at the end of the list.
    TWErrorResult updateRepeat(const TWRepeatPtr &repeat, bool notify);
    // Deletes the schedule. Its items stay, no longer part of a schedule
    // (repeatIdentifier 0, in the table and in memory). A schedule that was
    // never stored deletes and posts nothing.
    TWErrorResult deleteRepeat(const TWRepeatPtr &repeat, bool notify);

    // The items of the listed schedule with that identifier, sorted by date,
    // then identifier: its transactions (each seen from its account 1), its
    // invoices or its bills. Empty for identifier 0 or an unknown schedule.
    TWRepeatItemList itemsWithRepeatIdentifier(qint32 repeatIdentifier);
    // The stored item of the listed schedule on the latest (the earliest)
    // day, as held by the store; a null item when there is none.
    TWRepeatItem latestItemWithRepeatIdentifier(qint32 repeatIdentifier);
    TWRepeatItem firstItemWithRepeatIdentifier(qint32 repeatIdentifier);

    // Generation: makes every occurrence of the schedule that has fallen due,
    // each copied from the one before it and dated one interval later, up to
    // and including today, never past the end date (a schedule that reaches
    // it becomes inactive) and never inside a closed accounting period. A
    // schedule whose items are all gone is deleted. With `activeOnly`,
    // inactive schedules make nothing. All or nothing: when a record cannot
    // be stored, nothing of the run stays and the error is returned. What is
    // made is announced in bulk (with `notify`) and by "repeatUpdatedItems"
    // (always, when a schedule changed); the year-end transfers are rebuilt
    // once when a new transaction lies before the current accounting period.
    TWErrorResult updateRepeatItemsForRepeat(const TWRepeatPtr &repeat, bool activeOnly,
                                             bool notify);
    // The same for every listed schedule, as one run.
    TWErrorResult updateRepeatItems(bool activeOnly, bool notify);
    // ----- end of Repeats -----

    // ===== Filters =====

    // The saved filters: by name right after a load, then in the order added
    // (an update of another object than the listed one moves it to the end).
    // Each owns its criteria tree; a filter without criteria matches nothing.
    const TWFilterList &filters() const { return m_filters; }
    // The first listed filter with that identifier, or nullptr.
    TWFilterPtr filterWithIdentifier(qint32 identifier) const;
    // The largest stored identifier plus one, at least 100; 0 on failure.
    qint32 nextFilterIdentifier();

    // Opening: `loadFilters` replaces the list with the stored filters (no
    // criteria yet), `loadFilterCriterion` gives each its stored tree;
    // `loadFiltersAll` runs both. A damaged tree still loads: rows that
    // repeat an identifier of their filter, and rows that cannot be reached
    // from the root (a parent that does not exist, or a parent chain that
    // loops), are left out. A failed step keeps what was read before it.
    TWErrorResult loadFiltersAll();
    TWErrorResult loadFilters();
    TWErrorResult loadFilterCriterion();
    // A new business: the filters "all" (100), "recent" (101), "recently
    // modified" (102) and "repeating" (103). All or nothing.
    TWErrorResult populateFilters();

    // Writes. Each is all or nothing: the filter row and every criteria row
    // land, or the table, the list, the trees and the notifications stay as
    // they were. "filterNew", "filterUpdate" and "filterDelete" (key
    // "filter") are posted only with `notify`.
    // A filter with identifier 0 (the search bar's) is never stored.
    TWErrorResult addFilter(const TWFilterPtr &filter, bool notify);
    // Writes name, parent and sort order and replaces the stored criteria
    // with the current tree. Another object than the listed one of that
    // identifier takes its place at the end of the list.
    TWErrorResult updateFilter(const TWFilterPtr &filter, bool notify);
    TWErrorResult updateFilterSortOrder(const TWFilterPtr &filter, bool notify);
    // Deletes the filter with its criteria and drops it from the export
    // settings.
    TWErrorResult deleteFilter(const TWFilterPtr &filter, bool notify);
    // Deletes the filters directly inside a filter group (a group of any
    // other kind holds no filters: nothing happens).
    TWErrorResult deleteFiltersInGroup(const TWGroupPtr &group, bool notify);

    // Replaces the stored criteria rows of the filter with its current tree,
    // numbered in pre-order from 100 (the tree's nodes take those
    // identifiers, parents and sibling positions; the root's parent is 0).
    TWErrorResult addFilterCriterion(const TWFilterPtr &filter);
    // Removes the stored criteria rows of the filter.
    TWErrorResult deleteFilterCriterion(const TWFilterPtr &filter);
    // The numbering step of `addFilterCriterion`.
    static void criteriaList(TWFilterCriteriaList &list, const TWFilterCriteriaPtr &criterion,
                             quint32 &nextIdentifier)
    {
        TWFilterCriteria::numberCriteria(list, criterion, nextIdentifier);
    }
    // The rebuilding step of `loadFilterCriterion`: one filter's nodes by
    // identifier and by parent identifier. Links each node reachable from the
    // root (the last node met with parent 0) to its children sorted by sort
    // order, and gives it its type; nodes that cannot be reached stay
    // unlinked. nullptr without a root.
    static TWFilterCriteriaPtr
    rootCriteria(const QHash<quint32, TWFilterCriteriaPtr> &criteria,
                 const QHash<quint32, TWFilterCriteriaList> &childCriterion);

    // What filter matching takes from this business: its fields, home unit
    // and first account, looked up when asked (so it never goes stale). Take
    // it once for a pass over many transactions; it must not outlive the
    // business.
    TWFilterContext filterContext() const;
    // ----- end of Filters -----

    // ===== Clients, merchants and reports =====

    // The clients, merchants and saved reports of the master list: clients
    // and merchants in the order read (table order) or added, reports in the
    // order read (by sortOrder) or added. The objects are shared with the
    // user interface, which edits them in place and then calls the updates.
    const TWClientList &clients() const { return m_clients; }
    const TWMerchantList &merchants() const { return m_merchants; }
    const TWReportList &reports() const { return m_reports; }
    // nullptr when none has the identifier.
    TWClientPtr clientWithIdentifier(qint32 identifier) const;
    TWMerchantPtr merchantWithIdentifier(qint32 identifier) const;
    TWReportPtr reportWithIdentifier(qint32 identifier) const;

    // Replace a list with the rows of its table. When the query cannot be
    // prepared the list stays empty; a failure keeps the rows read before it.
    TWErrorResult loadClients();
    TWErrorResult loadMerchants();
    TWErrorResult loadReports();
    // A new business: the five default reports (identifiers 100-104: balance
    // sheet, income, cash flow, equity, trial balance). All or nothing.
    TWErrorResult populateReports();

    // Writes. Each is all or nothing: a failure leaves the tables, the lists,
    // the settings and the notifications as they were. "<entity>New",
    // "<entity>Update" and "<entity>Delete" (keys "client", "merchant",
    // "report") are posted only with `notify`; sort-order updates post the
    // Update name. Identifier 0 (a failed next identifier) is never stored.
    TWErrorResult addClient(const TWClientPtr &client, bool notify);
    TWErrorResult addMerchant(const TWMerchantPtr &merchant, bool notify);
    // Also records the report's type as the last report type used, whether
    // or not it notifies.
    TWErrorResult addReport(const TWReportPtr &report, bool notify);
    // Write every column but the identifier (and a report's type, which
    // never changes). Another object than the listed one of that identifier
    // takes the listed one's place at the end of the list (a report keeps the
    // stored type).
    TWErrorResult updateClient(const TWClientPtr &client, bool notify);
    TWErrorResult updateMerchant(const TWMerchantPtr &merchant, bool notify);
    TWErrorResult updateReport(const TWReportPtr &report, bool notify);
    // Write the sort order only.
    TWErrorResult updateClientSortOrder(const TWClientPtr &client, bool notify);
    TWErrorResult updateMerchantSortOrder(const TWMerchantPtr &merchant, bool notify);
    TWErrorResult updateReportSortOrder(const TWReportPtr &report, bool notify);
    // Deletes the client with its projects (each with its tasks, expenses and
    // invoices, always notified) and drops it from the document settings.
    TWErrorResult deleteClient(const TWClientPtr &client, bool notify);
    // Deletes the merchant with its bills (always notified), then brings
    // every repeat up to date.
    TWErrorResult deleteMerchant(const TWMerchantPtr &merchant, bool notify);
    TWErrorResult deleteReport(const TWReportPtr &report, bool notify);

    // The largest stored identifier plus one, at least 100; 0 on failure.
    qint32 nextClientIdentifier();
    qint32 nextMerchantIdentifier();
    qint32 nextReportIdentifier();
    // ----- end of Clients, merchants and reports -----

    // ===== Master item trees =====

    // Sort modes (the document's `sortBy`): 0 orders siblings by name, 1 by
    // their stored `sortOrder`; any other mode keeps the given order.
    //
    // The tree of a list of leaves and their groups (one kind: accounts with
    // account groups, and so on). Each parent's children are its groups in
    // group-list order, then its leaves in item-list order, then stably sorted
    // by the mode: names compare case-insensitively (no name counts as empty
    // text), sort orders as unsigned numbers. A parent identifier of 0 names
    // the root item. A node whose parent is not among the given groups, and
    // one group of every parent chain that loops, are placed at the top level,
    // so every node is reached from the root exactly once.
    static TWItemTree sortedItems(const TWItemList &items, const TWGroupList &groups,
                                  quint32 sortBy);
    // The same tree in display order: pre-order from the root.
    static TWItemList flatSortedItems(const TWItemList &items, const TWGroupList &groups,
                                      quint32 sortBy);
    // Appends the descendants of `item` in display order: each group followed
    // by its own descendants, each leaf on its own; nodes of other types are
    // skipped. With `indentLevels`, records the level of each appended node
    // (`currentIndentLevel` for the children of `item`, one more per group
    // below). Expands every group at most once, so a hand-made tree that
    // holds a group inside itself still ends.
    static void flatItems(const TWItemTree &tree, const TWItemPtr &item, int currentIndentLevel,
                          TWItemList &flatItems, TWItemIndentLevels *indentLevels = nullptr);

    // Rewrites the stored sort orders for a new sort mode. Manual: each
    // parent's children are numbered 0, 1, 2 ... in their order by name, so
    // the list looks the same as before. By name: every group and leaf gets
    // 0. Other modes change nothing. Each write posts the Update notification
    // of its entity. All or nothing: when a write fails, every stored and
    // in-memory sort order stays as it was and nothing is posted.
    TWErrorResult updateItems(const TWItemList &items, const TWGroupList &groups, quint32 sortBy);
    // Numbers the children of `item` in tree order, then their children, and
    // so on down, writing each (groups, accounts, clients, merchants, reports
    // and filters; other nodes only change in memory). All or nothing, like
    // `updateItems`.
    TWErrorResult updateItemsAndGroupsManualSortOrder(const TWItemPtr &item,
                                                      const TWItemTree &itemsAndGroups);

    // The same operations for a list of one kind of leaf (accounts(),
    // clients() ...) as the store keeps them.
    template <typename T>
        requires std::derived_from<T, TWItem>
    static TWItemList itemList(const QList<std::shared_ptr<T>> &list)
    {
        TWItemList items;
        items.reserve(list.size());
        for (const std::shared_ptr<T> &item : list)
            items.append(item);
        return items;
    }
    template <typename T>
        requires(std::derived_from<T, TWItem> && !std::same_as<T, TWItem>)
    static TWItemTree sortedItems(const QList<std::shared_ptr<T>> &items,
                                  const TWGroupList &groups, quint32 sortBy)
    {
        return sortedItems(itemList(items), groups, sortBy);
    }
    template <typename T>
        requires(std::derived_from<T, TWItem> && !std::same_as<T, TWItem>)
    static TWItemList flatSortedItems(const QList<std::shared_ptr<T>> &items,
                                      const TWGroupList &groups, quint32 sortBy)
    {
        return flatSortedItems(itemList(items), groups, sortBy);
    }
    template <typename T>
        requires(std::derived_from<T, TWItem> && !std::same_as<T, TWItem>)
    TWErrorResult updateItems(const QList<std::shared_ptr<T>> &items, const TWGroupList &groups,
                              quint32 sortBy)
    {
        return updateItems(itemList(items), groups, sortBy);
    }
    // ----- end of Master item trees -----

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

    // An invoice bills a project's tasks and expenses to the project's client;
    // a bill is an amount owed to a merchant. Neither stores an amount: an
    // invoice's lines are the tasks and expenses linked to it (relationship
    // types 1 and 2, with the quantity billed), and what was charged and paid
    // on either is read from the transactions linked to it (type 0 for
    // invoices, parent the project; type 3 for bills, parent the merchant).
    // Each list is in the order read (table order) or added; lookups return
    // the lists' own objects and are answered from indexes.

    // --- Invoices ---

    const TWInvoiceList &invoices() const { return m_invoices.list(); }
    // nullptr when no invoice has the identifier.
    TWInvoicePtr invoiceWithIdentifier(qint32 identifier) const;
    // The project's invoices in list order.
    TWInvoiceList invoicesWithProject(const TWProject &project) const;
    // The invoices in list order, each once for every entry of `projects`
    // that is its project.
    TWInvoiceList invoicesWithProjects(const TWProjectList &projects) const;
    // The transactions linked to the invoice, as views: a transaction linked
    // through one of its lines seen from that line's account and that line,
    // one linked whole seen from its account 1. Sorted by date, then
    // identifier; a link to a transaction or line that no longer exists shows
    // nothing. `transactionsWithInvoices` lists a transaction once per link.
    TWTransactionList transactionsWithInvoice(const TWInvoice &invoice) const;
    TWTransactionList transactionsWithInvoices(const TWInvoiceList &invoices) const;
    // The account of `type` (TWAccountType) to propose for the invoice's next
    // entry: account 1, then account 2 of its linked transactions, newest
    // first; else the last-used account 1 or 2 when of that type; else the
    // first account of that type; nullptr when there is none.
    TWAccountPtr lastInvoiceAccountIdentifier(const TWInvoice &invoice, std::uint32_t type) const;

    // Replaces the list with the rows of the table. A failure keeps the rows
    // read before it.
    TWErrorResult loadInvoices();

    // Writes. Each is all or nothing: a failure leaves the tables, the lists
    // and the notifications as they were. "invoiceNew", "invoiceUpdate" and
    // "invoiceDelete" (key "invoice") are posted only with `notify`. Adding
    // and updating remember the invoice's name for completion.
    // The identifier is set beforehand (nextInvoiceIdentifier); 0 is refused.
    TWErrorResult addInvoice(const TWInvoicePtr &invoice, bool notify);
    // The project is fixed when an invoice is added: it is not written, and
    // the object passed takes the stored one. Another object than the listed
    // one of that identifier takes its place at the end of the list. An
    // invoice that is not stored is refused (SQLITE_NOTFOUND).
    TWErrorResult updateInvoice(const TWInvoicePtr &invoice, bool notify);
    // Deletes the invoice with its item links and payment links, and the
    // transactions linked to it that are linked to nothing else (its
    // receivable entry, its own payments): a payment that also pays another
    // invoice or a bill stays and only loses its link to this invoice. The
    // year-end transfers are rebuilt when a deleted transaction lay before the
    // current period; one "transactionDelete" without user info when any was
    // deleted. Then every repeat is brought up to date.
    TWErrorResult deleteInvoice(const TWInvoicePtr &invoice, bool notify);
    // Deletes the invoices the repeat made (from the end of the list), then
    // the repeat. Nothing for no repeat, or one never stored.
    TWErrorResult deleteRepeatInvoices(const std::shared_ptr<TWRepeat> &repeat, bool notify);
    // The largest stored identifier plus one, at least 100; 0 on failure.
    qint32 nextInvoiceIdentifier();

    // Makes the invoice's lines the given tasks and expenses: one link per
    // item, carrying the item's invoiceQuantity. All or nothing.
    TWErrorResult updateInvoiceItems(const TWInvoicePtr &invoice, const TWTaskList &tasks,
                                     const TWExpenseList &expenses);
    // Builds the transaction for the invoices against `account`, with zero
    // amounts: for one invoice a plain transaction (account 1 the account,
    // the client as payee, the project and invoice names as description)
    // linked whole; for several a split transaction with one line per invoice
    // on the account, each line linked to its invoice, and one more line on
    // the first other account. With `addTransaction` the transaction and its
    // links are stored together (all or nothing). `relationships` and
    // `transaction`, when given, receive the links and the transaction (also
    // when nothing was stored). Fewer than two accounts: error code -1
    // ("twoAccountsMessage") and nothing handed back.
    TWErrorResult createInvoiceTransaction(const TWInvoiceList &invoices,
                                           const TWAccountPtr &account,
                                           TWRelationshipList *relationships,
                                           TWTransactionPtr *transaction, bool addTransaction);
    // Books the invoice's amount on its receivable entry (the oldest linked
    // transaction when it touches an accounts receivable account, else a new
    // one): with taxed lines, three lines in the project's unit (receivable
    // +subtotal+tax, tax -tax, income -subtotal); otherwise receivable
    // (account 1) against income (account 2) for the invoice total, no
    // lines. A closed or locked entry is left alone. `taxAccount` may be
    // nullptr only when nothing on the invoice is taxed. All or nothing.
    TWErrorResult updateInvoiceTransaction(const TWInvoicePtr &invoice,
                                           const TWAccountPtr &accountsReceivableAccount,
                                           const TWAccountPtr &incomeAccount,
                                           const TWAccountPtr &taxAccount);

    void notifyInvoicesAdd() { notifyBulk(TWInvoiceNewNotification); }
    void notifyInvoicesUpdate() { notifyBulk(TWInvoiceUpdateNotification); }
    void notifyInvoicesDelete() { notifyBulk(TWInvoiceDeleteNotification); }

    // --- Bills ---

    const TWBillList &bills() const { return m_bills.list(); }
    TWBillPtr billWithIdentifier(qint32 identifier) const;
    // The merchant's bills in list order.
    TWBillList billsWithMerchant(const TWMerchant &merchant) const;
    // The bills of any of the merchants, each once, in list order.
    TWBillList billsWithMerchants(const TWMerchantList &merchants) const;
    // As for invoices.
    TWTransactionList transactionsWithBill(const TWBill &bill) const;
    TWTransactionList transactionsWithBills(const TWBillList &bills) const;
    // As for invoices, except that a split transaction offers the accounts of
    // its lines (in line order) instead of its own two.
    TWAccountPtr lastBillAccount(const TWBill &bill, std::uint32_t type) const;

    TWErrorResult loadBills();

    // Writes, as for invoices ("billNew", "billUpdate", "billDelete", key
    // "bill"). The merchant is fixed when a bill is added. Deleting a bill
    // does not bring the repeats up to date.
    TWErrorResult addBill(const TWBillPtr &bill, bool notify);
    TWErrorResult updateBill(const TWBillPtr &bill, bool notify);
    TWErrorResult deleteBill(const TWBillPtr &bill, bool notify);
    TWErrorResult deleteRepeatBills(const std::shared_ptr<TWRepeat> &repeat, bool notify);
    qint32 nextBillIdentifier();

    // As for invoices: one bill gives a plain transaction with the merchant
    // as payee and the bill's name as description; several a split one.
    TWErrorResult createBillTransaction(const TWBillList &bills, const TWAccountPtr &account,
                                        TWRelationshipList *relationships,
                                        TWTransactionPtr *transaction, bool addTransaction);

    void notifyBillsAdd() { notifyBulk(TWBillNewNotification); }
    void notifyBillsUpdate() { notifyBulk(TWBillUpdateNotification); }
    void notifyBillsDelete() { notifyBulk(TWBillDeleteNotification); }
    // ----- end of Invoices and bills -----

    // ===== Budget items =====

    // The budget lines, in the order read (the table's own) or added.
    const TWBudgetItemList &budgetItems() const { return m_budgetItems; }
    // The first listed line of that item type (TWItemTypeAccount or
    // TWItemTypeAccountGroup) and item identifier; nullptr when none.
    TWBudgetItemPtr budgetItemWithType(qint32 type, qint32 itemIdentifier) const;
    // Every line by item type, then by item identifier; of two lines for the
    // same account or group the later one in the list is kept.
    QHash<qint32, QHash<qint32, TWBudgetItemPtr>> budgetItemsByTypeIdentifier() const;

    // Replaces the list with the rows of the table. A stored unit code is
    // kept even when no unit is known for it; a row without a code gets "USD".
    // A failure keeps the rows read before it.
    TWErrorResult loadBudgetItems();

    // Writes. Each is all or nothing: a failure leaves the table, the list
    // and the notifications as they were. "budgetItemNew", "budgetItemUpdate"
    // and "budgetItemDelete" (key "budgetItem") are posted only with `notify`.
    TWErrorResult addBudgetItem(const TWBudgetItemPtr &budgetItem, bool notify);
    // A line object other than the listed one of that identifier takes its
    // place (at the end of the list).
    TWErrorResult updateBudgetItem(const TWBudgetItemPtr &budgetItem, bool notify);
    TWErrorResult deleteBudgetItem(const TWBudgetItemPtr &budgetItem, bool notify);
    // Empties the table and the list; posts "budgetItemDeleteAll" once, only
    // with `notify`.
    TWErrorResult deleteAllBudgetItems(bool notify);
    // Deletes the lines of an account or an account group, each as
    // `deleteBudgetItem` does.
    TWErrorResult deleteBudgetItemsForItem(const TWItemPtr &item, bool notify);

    // The largest stored identifier plus one, at least 100; 0 on failure.
    qint32 nextBudgetItemsIdentifier();
    // ----- end of Budget items -----

    // ===== Document settings =====

    // --- The document package ---
    // A business document is a folder: "Data.sql" (the database, written
    // whole at every save), "Settings.plist" (the settings below) and
    // "Attachments" (the files of the transactions' attachments). The store
    // works on an in-memory copy of the database, never on the file.

    // A new business from the record the user filled in: the database is
    // created and seeded from it, the settings take their defaults, and the
    // store has no `url` until its first save. nullptr with `error` set when
    // that fails.
    static std::unique_ptr<TWBusiness>
    businessWithBusinessInfo(const TWBusinessInfoPtr &businessInfo, TWErrorResult *error = nullptr);
    // Opens the package folder at `url` (a local file URL): its settings
    // (defaults where "Settings.plist" is missing or unreadable), then its
    // database. A schema 1.0 document opens only with `allowUpgrade` (else
    // `upgradeRequiredError`); the upgrade works on the copy in memory, so
    // the package stays as it was. A package without a readable business
    // database ("Data.sql" missing, empty, damaged or holding no accounts
    // table) is refused. nullptr with `error` set on failure.
    static std::unique_ptr<TWBusiness> businessWithURL(const QUrl &url, bool allowUpgrade,
                                                       TWErrorResult *error = nullptr);
    // Opens the in-memory working database (closing any open one): for a
    // package (`isNew` false) filled from the package's "Data.sql" at `url`
    // and checked; then the schema is readied (`prepareSchema`), the tables
    // created just now are seeded, every table is loaded and the accounting
    // periods are brought up to date. A failure closes the database again.
    TWErrorResult openDatabase(bool isNew, bool allowUpgrade);

    // Saves the document into the package folder at `url` (created when
    // missing): attachment files first, then the database, then
    // "Settings.plist". Each file is replaced whole or not at all, so a save
    // cut off at any moment leaves "Data.sql" and "Settings.plist" each
    // with their old or their new content. Only when everything was written:
    // a save into the document's own package (or a save-as) points the
    // attachments at their files in it and marks them written; a save into
    // its own package deletes the files queued in `deleteAttachments` that
    // lie in its "Attachments" folder; a save-as makes `url` the new package
    // and forgets the queue (those files belong to the old package). A save
    // that fails changes nothing of the store.
    TWErrorResult writeToURL(const QUrl &url, TWSaveOperation saveOperation);
    // The same, writing the attachments of `transactions`.
    TWErrorResult writeToURL(const QUrl &url, TWSaveOperation saveOperation,
                             const QList<std::shared_ptr<TWTransaction>> &transactions);

    // --- Settings ---
    // Kept in the package's "Settings.plist"; read when a package is opened,
    // given defaults for a new business, written at every save.

    // The settings file's dictionary, built from the fields below.
    QVariantMap settings() const;

    // How the master list orders its items: 0 by name, 1 by hand. Setting a
    // different value re-sorts the accounts, filters, clients, merchants and
    // reports with their groups (their stored sort orders are rewritten).
    quint32 sortBy() const { return m_sortBy; }
    TWErrorResult setSortBy(quint32 sortBy);
    // Which parts of the master list are expanded (a bit mask).
    quint32 masterExpanded() const { return m_masterExpanded; }
    void setMasterExpanded(quint32 v) { m_masterExpanded = v; }
    // When the document was created or opened (not stored).
    const QDateTime &lastDate() const { return m_lastDate; }
    void setLastDate(const QDateTime &v) { m_lastDate = v; }
    // The unit and mileage unit and the accounts last used in a transaction.
    const TWUnitPtr &lastUnit() const { return m_lastUnit; }
    void setLastUnit(const TWUnitPtr &v) { m_lastUnit = v; }
    const TWUnitPtr &lastMileageUnit() const { return m_lastMileageUnit; }
    void setLastMileageUnit(const TWUnitPtr &v) { m_lastMileageUnit = v; }
    qint32 lastAccount1Identifier() const { return m_lastAccount1Identifier; }
    void setLastAccount1Identifier(qint32 v) { m_lastAccount1Identifier = v; }
    qint32 lastAccount2Identifier() const { return m_lastAccount2Identifier; }
    void setLastAccount2Identifier(qint32 v) { m_lastAccount2Identifier = v; }
    // The column layouts of the lists, as stored.
    const TWColumnSettings &columnSettings() const { return m_columnSettings; }
    void setColumnSettings(const TWColumnSettings &v) { m_columnSettings = v; }
    // The window frame and the positions of its dividers.
    const QRectF &documentFrame() const { return m_documentFrame; }
    void setDocumentFrame(const QRectF &v) { m_documentFrame = v; }
    double masterDividerPosition() const { return m_masterDividerPosition; }
    void setMasterDividerPosition(double v) { m_masterDividerPosition = v; }
    double transactionDividerPosition() const { return m_transactionDividerPosition; }
    void setTransactionDividerPosition(double v) { m_transactionDividerPosition = v; }
    double clientDividerPosition() const { return m_clientDividerPosition; }
    void setClientDividerPosition(double v) { m_clientDividerPosition = v; }
    double taskDividerPosition() const { return m_taskDividerPosition; }
    void setTaskDividerPosition(double v) { m_taskDividerPosition = v; }
    double invoiceDividerPosition() const { return m_invoiceDividerPosition; }
    void setInvoiceDividerPosition(double v) { m_invoiceDividerPosition = v; }
    double merchantDividerPosition() const { return m_merchantDividerPosition; }
    void setMerchantDividerPosition(double v) { m_merchantDividerPosition = v; }
    double fieldDividerPosition() const { return m_fieldDividerPosition; }
    void setFieldDividerPosition(double v) { m_fieldDividerPosition = v; }
    double repeatDividerPosition() const { return m_repeatDividerPosition; }
    void setRepeatDividerPosition(double v) { m_repeatDividerPosition = v; }
    // The master list's selection, kept for it; none when never set.
    const std::optional<QVariantList> &selectedMasterItemSettings() const
    {
        return m_selectedMasterItemSettings;
    }
    void setSelectedMasterItemSettings(const std::optional<QVariantList> &v)
    {
        m_selectedMasterItemSettings = v;
    }
    // State of the user interface, kept for it.
    quint32 transactionDetailsDisclosure() const { return m_transactionDetailsDisclosure; }
    void setTransactionDetailsDisclosure(quint32 v) { m_transactionDetailsDisclosure = v; }
    // 0, 1 or 2.
    quint32 voiceMemoAudioQuality() const { return m_voiceMemoAudioQuality; }
    void setVoiceMemoAudioQuality(quint32 v) { m_voiceMemoAudioQuality = v; }
    bool showSummary() const { return m_showSummary; }
    void setShowSummary(bool v) { m_showSummary = v; }
    const QDateTime &budgetStartDate() const { return m_budgetStartDate; }
    void setBudgetStartDate(const QDateTime &v) { m_budgetStartDate = v; }
    // The last exchange-rate download; none before the first.
    const QDateTime &lastCurrencyUpdateDate() const { return m_lastCurrencyUpdateDate; }
    void setLastCurrencyUpdateDate(const QDateTime &v) { m_lastCurrencyUpdateDate = v; }
    qint32 searchFieldType() const { return m_searchFieldType; }
    void setSearchFieldType(qint32 v) { m_searchFieldType = v; }
    // The register's date range: 0 none, 1 to 10 a named range, 11 the
    // custom range from and to the two dates (either may be none).
    qint32 transactionRangeType() const { return m_transactionRangeType; }
    void setTransactionRangeType(qint32 v) { m_transactionRangeType = v; }
    const QDateTime &transactionRangeFromDate() const { return m_transactionRangeFromDate; }
    void setTransactionRangeFromDate(const QDateTime &v) { m_transactionRangeFromDate = v; }
    const QDateTime &transactionRangeToDate() const { return m_transactionRangeToDate; }
    void setTransactionRangeToDate(const QDateTime &v) { m_transactionRangeToDate = v; }
    // How invoices are sent, by client identifier.
    const QHash<qint32, TWSendInvoiceDataPtr> &sendInvoiceData() const { return m_sendInvoiceData; }
    void setSendInvoiceData(const QHash<qint32, TWSendInvoiceDataPtr> &v) { m_sendInvoiceData = v; }
    // The import sheets' settings, kept for them.
    const QVariantMap &importTransactionsSettings() const { return m_importTransactionsSettings; }
    void setImportTransactionsSettings(const QVariantMap &v) { m_importTransactionsSettings = v; }
    const QVariantMap &importTasksSettings() const { return m_importTasksSettings; }
    void setImportTasksSettings(const QVariantMap &v) { m_importTasksSettings = v; }
    const QVariantMap &importExpensesSettings() const { return m_importExpensesSettings; }
    void setImportExpensesSettings(const QVariantMap &v) { m_importExpensesSettings = v; }
    // What the last exports chose.
    const TWExportTransactionsSettingsPtr &exportTransactionsSettings() const
    {
        return m_exportTransactionsSettings;
    }
    void setExportTransactionsSettings(const TWExportTransactionsSettingsPtr &v)
    {
        m_exportTransactionsSettings = v;
    }
    const TWExportTasksSettingsPtr &exportTasksSettings() const { return m_exportTasksSettings; }
    void setExportTasksSettings(const TWExportTasksSettingsPtr &v) { m_exportTasksSettings = v; }
    const TWExportExpensesSettingsPtr &exportExpensesSettings() const
    {
        return m_exportExpensesSettings;
    }
    void setExportExpensesSettings(const TWExportExpensesSettingsPtr &v)
    {
        m_exportExpensesSettings = v;
    }

    // --- Column settings ---
    // The lists' column layouts (TWColumnSettings). A list asks for its layout,
    // gets the stored one or a default, and hands it back when the user changes
    // columns, widths or sorting. The register's stored layout follows the
    // accounts and custom fields as they come and go. Every change made inside
    // a write is undone when that write fails.

    // The view's layout: the stored one, or a default that is not stored; none
    // for a view above 6. A stored register layout whose sort field no longer
    // exists comes back (as a copy; the stored one is left alone) sorted by
    // the date field (-3, kept as the unsigned number 4294967293).
    std::optional<QVariantMap> columnSettings(quint32 view) const;
    // Stores the layout under the view number, replacing what was there.
    void updateColumnSettings(quint32 view, const QVariantMap &settings);
    // The "visibleViews" of a register column: empty when hidden; otherwise
    // every account (in list order), then -1 to -5.
    QVariantList defaultTransactionColumnSettings(bool hidden) const;
    // Keep the stored register layout in step. A new custom field becomes a
    // column shown everywhere; a deleted field loses its columns. A new
    // account shows the columns the registers show (not those hidden in every
    // register, nor the two date-stamp columns -17 and -18); a deleted account
    // leaves every column's views. Without a stored layout nothing changes:
    // the default already follows the accounts and fields.
    void columnSettingsAddField(const TWField &field);
    void columnSettingsDeleteField(const TWField &field);
    void columnSettingsAddAccount(const TWAccount &account);
    void columnSettingsDeleteAccount(const TWAccount &account);
    // The settings file's "columnSettings" dictionary (view numbers as
    // decimal text keys) and back. Reading leaves out keys that are no view
    // number, layouts that are no dictionary and column entries that are no
    // dictionary.
    static TWColumnSettings mutableColumnSettings(const QVariantMap &stored);
    static QVariantMap writableColumnSettings(const TWColumnSettings &columnSettings);

    // --- Date ranges and settings housekeeping ---

    // Resolves a named range (TWDateRangeType) into whichever outputs are
    // given. 1 to 8 are calendar ranges (TWDateRanges::calendarDateRange);
    // 9 is the current accounting period, an open bound taking the oldest or
    // newest transaction's date; 10 is the last accounting period, an open
    // bound (or no last period) staying none. Any other value gives none.
    void dateRange(qint32 range, QDateTime *fromDate, QDateTime *toDate) const;

    // Autofill's source: the stored transaction with the highest identifier
    // whose column of `field` holds the same value as `transaction` (payee,
    // description, notes, either account, total, or a custom text, amount,
    // number, percent or list value); none for a value that is empty or
    // missing, for other fields, or when nothing matches. The transaction is
    // taken from `transactions` by identifier.
    std::shared_ptr<TWTransaction>
    mostRecentTransaction(const TWTransaction &transaction, const TWField &field,
                          const QList<std::shared_ptr<TWTransaction>> &transactions);
    // The same over the store's own transactions.
    std::shared_ptr<TWTransaction> mostRecentTransaction(const TWTransaction &transaction,
                                                         const TWField &field);

    // The client's send-invoice record, made with the defaults on first
    // request and kept from then on.
    TWSendInvoiceDataPtr sendInvoiceData(const TWClient &client);
    // Forgets the client's record (its client was deleted).
    void sendInvoiceDataDeleteClient(const TWClient &client);

    // Keep the import and export settings valid as records come and go
    // (nullptr: none of that kind). The transaction import forgets its entries
    // mapping a column to the deleted account (type 2) or field (type 1). The
    // transaction export selects a new account or field and forgets a deleted
    // account, field or its filter; the task and expense exports select a new
    // project and forget a deleted project or every project of a deleted
    // client.
    void importSettingsRemoveAccount(const TWAccountPtr &account, const TWFieldPtr &field);
    void exportSettingsAddAccount(const TWAccountPtr &account, const TWFieldPtr &field);
    void exportSettingsRemoveAccount(const TWAccountPtr &account, const TWFieldPtr &field,
                                     const TWFilterPtr &filter);
    void exportSettingsAddProject(const TWProjectPtr &project);
    void exportSettingsRemoveClient(const TWClientPtr &client, const TWProjectPtr &project);

    // The columns task and expense imports may map and exports may write, as
    // their field codes, in the order offered (each call a new list).
    static QList<qint32> importTaskFields();
    static QList<qint32> exportTaskFields();
    static QList<qint32> importExpenseFields();
    static QList<qint32> exportExpenseFields();
    // ----- end of Document settings -----

    // ===== Balances =====

    // Read-only aggregates over the in-memory transactions, recomputed on
    // every call. A transaction books plus into account 1 and minus out of
    // account 2, a split one each line's own signed amount into the line's
    // account (its own two accounts then play no part); these raw sums are
    // debit-positive, and an account's "shown" amount is the raw sum negated
    // when the account is not debit-positive (isAccountDebitPositive). Dates
    // compare by calendar day, bounds included; an invalid date is an open
    // bound. Nothing here is quadratic in the number of transactions.

    // Writes each row's running balance, in list order: one running balance
    // per account the row counts for (TWTransaction::balanceAccountIdentifier),
    // shown the account's way, in the account's unit.
    void updateBalance(const TWTransactionList &transactions) const;
    // The account's shown balance in its own unit over the transactions dated
    // on or before `date` (all of them when `date` is invalid).
    qint64 accountBalance(const TWAccount &account, const QDateTime &date) const;
    // The same for every account in one pass: account identifier -> shown
    // balance in the account's unit; accounts without entries are absent.
    QHash<qint32, qint64> accountBalances(const QDateTime &date) const;

    // The account's shown total in its own unit, over all or the given
    // transactions.
    qint64 transactionTotalWithAccount(const TWAccount &account) const;
    qint64 transactionTotalWithAccount(const TWAccount &account,
                                       const TWTransactionList &transactions) const;
    // The home-unit total of the accounts, each shown its way (an account
    // given twice counts once); a transaction between two of them counts for
    // both.
    qint64 transactionHomeTotalWithAccounts(const TWAccountList &accounts) const;
    qint64 transactionHomeTotalWithAccounts(const TWAccountList &accounts,
                                            const TWTransactionList &transactions) const;
    // The home-unit total of the transactions any of the filters matches:
    // the amount of a plain one, the positive lines of a split one. No sign
    // rule.
    qint64 transactionHomeTotalWithFilters(const TWFilterList &filters) const;
    qint64 transactionHomeTotalWithFilters(const TWFilterList &filters,
                                           const TWTransactionList &transactions) const;
    // The plain home-unit sum (a split one through its lines, so a balanced
    // split adds 0). No sign rule.
    qint64 transactionHomeTotal() const;
    qint64 transactionHomeTotalWithTransactions(const TWTransactionList &transactions) const;

    // The earliest and the latest transaction date; now when no transaction
    // has a date.
    QDateTime oldestTransactionDate() const;
    QDateTime newestTransactionDate() const;

    // Import's duplicate test: whether a stored transaction has the same
    // total, account 1, account 2, calendar day and unit. A transaction
    // without a date or a unit matches nothing. `matchTransactions` answers
    // for many rows at once (one hash of the stored transactions, not a scan
    // per row); use it for a whole file.
    bool matchTransaction(const TWTransaction &transaction) const;
    QList<bool> matchTransactions(const TWTransactionList &transactions) const;

    // The current cycle of every budget line: for each account group, then
    // each account, the line of that item (budgetItemWithType). Both item
    // types are always present as keys, even without lines.
    TWBudgetTotals budgetTotals() const;

    // --- Statement totals ---
    // Over the entries of each transaction in the home unit (a plain one:
    // account 1 +totalBusiness, account 2 -totalBusiness; a split one: each
    // line's account +the line's totalBusiness), by the kind of the entry's
    // account. Assets and expenses add the amounts, liabilities, income and
    // equity subtract them, so normal balances are positive. Entries of
    // accounts the business does not have are left out. Year-end transfers
    // count only in `transactionTotals` and `customCurrencyFieldTotals`.

    // Account identifier -> balance over every entry dated on or before
    // `date`.
    QHash<qint32, qint64> transactionTotals(const QDateTime &date) const;
    // Per-account totals of each kind over its own span, with retained
    // earnings, net income and cash at start and end.
    TWStatementTotals transactionTotalsWithAssets(const TWStatementTotalsRequest &request) const;
    // The figures (TWStatementFigure bits) of each column's span, in one pass
    // whatever the number of columns. Equity accounts are not summed here:
    // the equities figure is assets less liabilities.
    TWColumnTotals groupTransactionTotalsWithAssets(unsigned figures,
                                                    const QList<TWDateSpan> &columns) const;
    // Assets, receivables, liabilities, payables and equity accounts as of
    // `date`; income, expenses and net income over the nominal span.
    TWBalanceSheetTotals totalsWithAssets(const QDateTime &date, const QDateTime &nominalFromDate,
                                          const QDateTime &nominalToDate) const;
    // The custom currency and percent-of-total fields' values of the
    // transactions in the span, each booked under one account of the
    // transaction (an expense account first, then income, assets,
    // liabilities, equity; the first of equal rank), converted to the home
    // unit. Every such field has a map; an account booked by any transaction
    // has an entry in every map.
    TWCurrencyFieldTotals customCurrencyFieldTotals(const QDateTime &fromDate,
                                                    const QDateTime &toDate) const;

    // --- Client, merchant and time totals ---
    // Client and merchant amounts are read through the payment links (an
    // invoice's: parent the project; a bill's: parent the merchant) and their
    // transactions, in the home unit. A link counts what its transaction adds
    // to the balance of a receivable account (for a bill: of a payable
    // account): the linked line when the link names one, else the split
    // transaction's lines that add to such accounts, else the plain
    // transaction's amount when account 1 is such an account and gains by it
    // (account 2 is then not looked at), or when only account 2 is and gains.
    // Links to a transaction, line, project, client or merchant the business
    // no longer has count nothing. A transaction counts in a span by its
    // calendar day; sums stop at the ends of the 64-bit range. A per-column
    // form gives one figure per entry of `columns`, in one pass whatever
    // their number.

    // What the links of the clients' projects count in the span, per client
    // and project.
    TWClientTotals clientTotals(const QDateTime &fromDate, const QDateTime &toDate) const;
    // What each client's projects have still to invoice of their tasks and
    // expenses dated in the span (projects with more than 0), converted to
    // the home unit. Not const: reading a project's tasks resets their
    // invoice quantities.
    TWClientTotals clientUninvoicedTotals(const QDateTime &fromDate, const QDateTime &toDate);
    // Seconds worked on projects proper (not estimates) by the time items
    // that start or end in the span, each clipped to the span's days. An item
    // reaching from before the span to after it is not counted here.
    TWClientTimes clientTimes(const QDateTime &fromDate, const QDateTime &toDate) const;
    // What the merchants' links count in the span: merchant -> amount.
    QHash<qint32, qint64> merchantTotalsWithMerchants(const QDateTime &fromDate,
                                                      const QDateTime &toDate) const;
    // The same per column, all clients (merchants) together.
    QList<qint64> groupClientTotals(const QList<TWDateSpan> &columns) const;
    QList<qint64> groupMerchantTotals(const QList<TWDateSpan> &columns) const;
    // Whole seconds worked per column on projects proper: every time item
    // that shares a day with the column counts what falls into the column's
    // days, truncated to whole seconds as it is added.
    QList<qint64> groupClientTimes(const QList<TWDateSpan> &columns) const;

    // --- Amounts owing and overdue records ---
    // Each first refreshes the linked transactions of the records it reads
    // (a side effect on the listed projects, invoices and bills), then adds
    // what each owes: charges less payments. Invoices count their home-unit
    // amounts here, bills always do.

    // What the clients' projects owe, in the home unit.
    qint64 transactionHomeOwingWithClients(const TWClientList &clients);
    qint64 transactionHomeOwingWithProjects(const TWProjectList &projects);
    qint64 transactionHomeOwingWithInvoices(const TWInvoiceList &invoices);
    // Counting only those of the invoices' transactions that are among
    // `transactions` (the same transaction, seen from the same account and
    // line where both say).
    qint64 transactionHomeOwingWithInvoices(const TWInvoiceList &invoices,
                                            const TWTransactionList &transactions);
    // What the client's invoices owe, except `ignoreInvoice` (nullptr: none),
    // each in its project's unit converted into `unit` where they differ.
    qint64 transactionOwingWithClient(const TWClient &client, const TWUnitPtr &unit,
                                      const TWInvoice *ignoreInvoice);
    // What the business owes on the merchants' bills (each bill once), or on
    // the bills, in the home unit.
    qint64 transactionHomeOwingWithMerchants(const TWMerchantList &merchants);
    qint64 transactionHomeOwingWithBills(const TWBillList &bills);
    qint64 transactionHomeOwingWithBills(const TWBillList &bills,
                                         const TWTransactionList &transactions);
    // Whether one of the clients (merchants) has an overdue invoice (bill).
    bool transactionOverdueWithClients(const TWClientList &clients);
    bool transactionOverdueWithMerchants(const TWMerchantList &merchants);
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

    // Inserts at the position of its name, after units of the same name.
    void insertSortedUnit(const TWUnitPtr &unit);

    TWUnitList m_units;
    QHash<QString, TWUnitPtr> m_unitsDictionary;
    mutable QHash<QString, TWUnitPtr> m_placeholderUnits;
    TWUnitPtr m_homeUnit;
    // ----- end of Units -----

    // ===== Business information and accounting periods =====

    // Packed dates are stored as doubles; a value that is not a packed date
    // reads as no date.
    static QDateTime dateWithStoredValue(double value);
    // The automatic-periods step of `updateAccountingPeriods`.
    TWErrorResult extendAccountingPeriods(const QDate &today);

    TWBusinessInfoPtr m_businessInfo;
    qint32 m_activeAccountingPeriodIdentifier = 0;
    QDateTime m_lastStartupDate;
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

    // Reaches the list changes below in tests.
    friend class TWTransactionsTestPeer;

    // Replaces the list and rebuilds its index (loading).
    void setTransactionList(const TWTransactionList &transactions);
    // The list changes the transaction writes make, each keeping the index in
    // step and registering its undo with the scope (the old object back at
    // its old position).
    void appendTransaction(WriteScope &scope, const TWTransactionPtr &transaction);
    void replaceTransactionAt(WriteScope &scope, qsizetype position,
                              const TWTransactionPtr &transaction);
    void removeTransactionAt(WriteScope &scope, qsizetype position);
    // Removes every listed transaction the predicate picks, in one pass;
    // returns them in list order.
    TWTransactionList removeTransactionsIf(WriteScope &scope,
                                           const std::function<bool(const TWTransaction &)> &pick);
    // The position of that very object in the list; -1 when it is not listed.
    qsizetype transactionPosition(const TWTransactionPtr &transaction) const;
    // The index entry of one identifier: the first listed object with it.
    void reindexTransactionIdentifier(qint32 identifier);

    // Reads the rows, lines and tags into `list` (loadTransactions).
    TWErrorResult readTransactions(TWTransactionList &list);

    // Document settings the transaction defaults and search read.
    struct LastTransactionSettings {
        QDateTime lastDate;
        TWUnitPtr lastUnit;
        TWUnitPtr lastMileageUnit;
        qint32 lastAccount1Identifier = 0;
        qint32 lastAccount2Identifier = 0;
    };
    LastTransactionSettings lastTransactionSettings() const;
    // 0: the search matches by words (TWStringAdditions::searchString with
    // contains); otherwise a text must begin with the search text.
    qint32 transactionSearchFieldType() const;

    // Calls into groups written later. Whether a saved filter picks the
    // transaction (its criteria's matchTransaction with this business); NO
    // until filter criteria exist.
    bool filterHookMatchTransaction(const TWFilter &filter, const TWTransaction &transaction);
    // The running balance of each view per account (updateBalance of the
    // balances group).
    void balanceHookUpdateBalance(TWTransactionList &views) const;

    // --- Writes ---
    // Reaches the count below in tests.
    friend class TWTransactionWritesTestPeer;
    // How many times a transaction write has asked for the year-end transfers
    // to be rebuilt (so that tests can tell one rebuild per write from one
    // per transaction before the rebuild itself exists).
    std::uint64_t m_transactionRebuildRequests = 0;

    // The day stored in the transaction's row (invalid: none); `exists`
    // tells whether the row is there.
    TWErrorResult readStoredTransactionDate(qint32 identifier, bool *exists, QDateTime *date);
    // Inserts the row (every fixed column) or writes it over the stored one.
    TWErrorResult writeTransactionRow(const TWTransaction &transaction, bool insert);
    // Makes the stored attachment rows those of the transaction's loaded list,
    // queueing the files of the rows it no longer holds.
    TWErrorResult replaceTransactionAttachments(WriteScope &scope,
                                                const TWTransaction &transaction);
    // Deletes a transaction's row, tags, lines, attachment rows (queueing
    // their files) and relationships.
    TWErrorResult deleteTransactionRows(const TWTransaction &transaction);
    // Deletes the given listed transactions (each given once) as
    // `deleteTransactionRows` does and removes them from the list in one
    // pass; `before` is set when one of them lay before `periodStart`.
    TWErrorResult deleteListedTransactions(WriteScope &scope, const TWTransactionList &listed,
                                           const QDateTime &periodStart, bool *before);
    // The deletes of single transactions and of lists of them; `single`
    // posts the object in the notification.
    TWErrorResult deleteTransactionObjects(const TWTransactionList &transactions, bool repeats,
                                           bool nominal, bool notify, bool single);
    // What follows a committed write: the rebuild of the year-end transfers
    // when asked (its error is returned), then the refresh of each repeat.
    TWErrorResult finishTransactionWrite(bool rebuild, const QList<qint32> &repeatIdentifiers,
                                         bool activeOnly, bool notify);
    // `updateLastTransaction`, taken back if the scope rolls back.
    void rememberLastTransaction(WriteScope &scope, const TWTransaction &transaction);

    // Calls into the repeats group.
    // Brings the generated items of the repeat with that identifier up to date
    // (updateRepeatItemsForRepeat with repeatWithIdentifier), or of every
    // repeat when the identifier is 0 (updateRepeatItems). It runs after the
    // transaction write has committed; callers do not look at its result.
    TWErrorResult updateRepeatItemsHook(qint32 repeatIdentifier, bool activeOnly, bool notify);
    // Deletes the repeat itself (deleteRepeat with notify on), inside the
    // write that deleted its transactions, so a failure undoes both.
    TWErrorResult deleteRepeatHook(const std::shared_ptr<TWRepeat> &repeat);

    TWTransactionList m_transactions;
    QHash<qint32, TWTransactionPtr> m_transactionIndex;
    // ----- end of Transactions -----

    // ===== Splits, attachments and custom values =====

    // Queues a removed attachment's files, taken back if `scope` rolls back.
    void queueAttachmentFiles(WriteScope &scope, const TWAttachment &attachment);
    // The stored line identifiers of a transaction.
    TWResult<QSet<qint32>> storedSplitIdentifiers(qint32 transactionIdentifier);
    // ----- end of Splits, attachments and custom values -----

    // ===== Relationships =====

    // Runs one delete by key: the statement with its binds, then the listed
    // matches leave the list. Nothing listed matches: nothing to delete.
    TWErrorResult deleteRelationshipsMatching(const TWRelationshipList &matches, const char *sql,
                                              const std::function<void(TWStatement &)> &bind);

    TWRelationshipIndex m_relationships;
    // ----- end of Relationships -----

    // ===== Fields =====

    TWFieldList m_fields;
    // Identifier -> the first field of m_fields with it.
    QHash<qint32, TWFieldPtr> m_fieldIndex;

    void setFieldList(const TWFieldList &fields);
    // The built-in fields with those identifiers (those that exist), then the
    // custom fields; sorted by name when asked.
    TWFieldList fieldListWithBuiltIns(const QList<qint32> &identifiers, bool sorted) const;
    // Rebuilds the transactions table without the column of `field`; the
    // caller's write rolls every step back if one fails.
    TWErrorResult rebuildTransactionsTableWithout(const TWField &field);
    // A statement prepared from a text built at run time, finalised when the
    // returned object goes away (never cached).
    TWStatement temporaryStatement(const QString &sql);

    // Calls into the other parts of the document. Each runs inside the field
    // write that calls it, after that write's SQL succeeded; an in-memory
    // change made here must register its undo through a WriteScope of its
    // own, which then joins the calling write and is undone if it rolls back.
    // For now they do nothing.
    // A custom or built-in field was added: append it to the register's
    // stored column layout (columnSettingsAddField).
    void fieldHookColumnSettingsAddField(const TWFieldPtr &field);
    // ... and to the transaction export settings (exportSettingsAddAccount
    // with no account).
    void fieldHookExportSettingsAddField(const TWFieldPtr &field);
    // A field was deleted: drop it from the register's column layout
    // (columnSettingsDeleteField), the import settings
    // (importSettingsRemoveAccount with no account) and the export settings
    // (exportSettingsRemoveAccount with no account and no filter).
    void fieldHookColumnSettingsDeleteField(const TWFieldPtr &field);
    void fieldHookImportSettingsRemoveField(const TWFieldPtr &field);
    void fieldHookExportSettingsRemoveField(const TWFieldPtr &field);
    // ... remove the field's value from every loaded transaction's field
    // values (the first value with the field's identifier).
    void fieldHookTransactionsRemoveFieldValues(const TWFieldPtr &field);
    // ... drop every filter's criteria on the field (deleteChildCriteria).
    void fieldHookFiltersDeleteFieldCriteria(const TWFieldPtr &field);
    // A list choice was deleted: every loaded transaction whose value of the
    // field has it gets -1 (no choice).
    void fieldHookTransactionsClearListItem(const TWFieldPtr &field, qint32 listItemIdentifier);
    // A tag was deleted: remove it from every loaded transaction's tags of
    // the field.
    void fieldHookTransactionsRemoveTagItem(const TWFieldPtr &field, qint32 tagItemIdentifier);
    // A list choice or tag was deleted: drop every filter's criteria that
    // test the field for it (deleteChildCriteria with the value identifier).
    void fieldHookFiltersDeleteChoiceCriteria(const TWFieldPtr &field, qint32 choiceIdentifier);
    // ----- end of Fields -----

    // ===== Remembered values =====

    // The names of each list read so far, with how many rows carry each, so
    // that remembering a text needs no query. A list is read on first use and
    // dropped (read again later) whenever a write that touched it rolls back;
    // everything is dropped when the database changes.
    QHash<qint32, QHash<QString, int>> m_valueNames;
    std::uint64_t m_valueNamesGeneration = 0;

    // The names of one list, read when needed; nullptr when it cannot be read.
    QHash<QString, int> *valueNames(qint32 code);
    // Counts a row's name in or out of its list when the list is in memory.
    void countValueName(qint32 code, const QString &name, int delta);
    // Makes `scope`'s rollback forget the list, so it is read again.
    void forgetValueNamesOnRollback(WriteScope &scope, qint32 code);
    // ----- end of Remembered values -----

    // ===== Repeats =====

    // Reaches the generation's steps in tests.
    friend class TWRepeatsTestPeer;

    // What a generation run has made so far: what to announce at its end and
    // whether the year-end transfers must be rebuilt.
    struct RepeatGeneration {
        bool changed = false; // an occurrence was made or a schedule ended
        bool transactions = false;
        bool relationships = false;
        bool invoices = false;
        bool tasks = false;
        bool expenses = false;
        bool bills = false;
        bool beforeActivePeriod = false; // a new transaction lies before it
    };
    // One schedule's due occurrences, inside the run's write.
    TWErrorResult generateRepeatItems(WriteScope &scope, const TWRepeatPtr &repeat,
                                      bool activeOnly, bool notify, RepeatGeneration &generation);
    // The rebuild and the notifications that end a run.
    void finishRepeatGeneration(const RepeatGeneration &generation, bool notify);
    // One occurrence of each kind. A transaction occurrence becomes the
    // source of the next one.
    TWErrorResult repeatTransactionOccurrence(TWTransactionPtr &source, const QDateTime &date,
                                              RepeatGeneration &generation);
    TWErrorResult repeatInvoiceOccurrence(const TWInvoicePtr &source, const QDateTime &date,
                                          RepeatGeneration &generation);
    TWErrorResult repeatBillOccurrence(const TWBillPtr &source, const QDateTime &date,
                                       RepeatGeneration &generation);
    // What a new invoice or bill of a schedule takes from the one it repeats:
    // a copy of its first payment, and an invoice's lines. A record that
    // cannot be stored is left out (with its link); the occurrence stays.
    void copyRepeatInvoiceRecords(const TWInvoice &source, const TWInvoice &invoice,
                                  const QDateTime &date, RepeatGeneration &generation);
    void copyRepeatBillRecords(const TWBill &source, const TWBill &bill, const QDateTime &date,
                               RepeatGeneration &generation);
    // The earliest stored transaction paying the invoice or bill (payment
    // relationship type, parent and child); nullptr when none.
    TWTransactionPtr firstPaymentTransaction(std::uint32_t type, qint32 parentIdentifier,
                                             qint32 childIdentifier) const;
    // Stores a copy of the payment dated `date` (new identifier, new lines,
    // no attachments, no schedule) with its payment link; both or neither.
    TWErrorResult copyRepeatPayment(const TWTransaction &payment, const QDateTime &date,
                                    std::uint32_t type, qint32 parentIdentifier,
                                    qint32 childIdentifier, RepeatGeneration &generation);
    // The latest (or earliest) stored item of a schedule of that type.
    TWRepeatItem repeatItemWithSQL(std::uint32_t type, qint32 repeatIdentifier, bool latest);

    // Calls into the invoices and bills group, which is written in parallel;
    // each does nothing (finds nothing, makes nothing) until it is wired.
    // The listed invoice (bill) with that identifier (invoiceWithIdentifier,
    // billWithIdentifier).
    TWInvoicePtr repeatInvoiceWithIdentifierHook(qint32 identifier) const;
    TWBillPtr repeatBillWithIdentifierHook(qint32 identifier) const;
    // Makes the next invoice (bill) of the source's schedule, dated `date`
    // (source->repeatInvoiceWithDate(date, *this)), and stores it with
    // addInvoice (addBill) without notification; `added` receives it. None
    // made: `added` stays nullptr and no error. A failed store returns its
    // error (and leaves `added` nullptr).
    TWErrorResult repeatAddInvoiceHook(const TWInvoicePtr &source, const QDateTime &date,
                                       TWInvoicePtr *added);
    TWErrorResult repeatAddBillHook(const TWBillPtr &source, const QDateTime &date,
                                    TWBillPtr *added);

    TWRepeatList m_repeats;
    QHash<qint32, TWRepeatPtr> m_repeatIndex;
    // ----- end of Repeats -----

    // ===== Filters =====

    // List changes with their undo registered in the scope; the index follows.
    void appendFilter(WriteScope &scope, const TWFilterPtr &filter);
    void removeFilterAt(WriteScope &scope, qsizetype position);
    // Removes from every listed filter's tree the simple criteria on the
    // field (with `valueIdentifier`, only those testing for that choice), as
    // the fields group's delete has already done in the table. Runs inside
    // the caller's write, which undoes it if it fails.
    void filtersDeleteCriteria(const TWField &field, std::optional<qint32> valueIdentifier);
    // Hook into the document settings: drop the filter from the transaction
    // export settings (exportSettingsRemoveAccount with no account and no
    // field).
    void filterHookExportSettingsRemoveFilter(const TWFilterPtr &filter);

    TWFilterList m_filters;
    // Identifier -> the first listed filter with it.
    QHash<qint32, TWFilterPtr> m_filterIndex;
    // ----- end of Filters -----

    // ===== Clients, merchants and reports =====

    // Hooks into groups of this store that keep records of a client or a
    // merchant. Each runs inside the delete that calls it, so a failure (or
    // a later one) undoes the whole delete; an in-memory change made in one
    // must register its undo through a WriteScope of its own.
    TWErrorResult deleteClientProjectsHook(const TWClientPtr &client);
    void sendInvoiceDataDeleteClientHook(const TWClientPtr &client);
    void exportSettingsRemoveClientHook(const TWClientPtr &client);
    TWErrorResult deleteMerchantBillsHook(const TWMerchantPtr &merchant);
    TWErrorResult updateRepeatsAfterMerchantDeleteHook(bool notify);

    TWClientList m_clients;
    QHash<qint32, TWClientPtr> m_clientIndex;
    TWMerchantList m_merchants;
    QHash<qint32, TWMerchantPtr> m_merchantIndex;
    TWReportList m_reports;
    QHash<qint32, TWReportPtr> m_reportIndex;
    // ----- end of Clients, merchants and reports -----

    // ===== Master item trees =====

    // Sets the node's in-memory sort order (undone if the scope rolls back)
    // and writes it with the sort-order update of its item type.
    TWErrorResult writeItemSortOrder(WriteScope &scope, const TWItemPtr &item, quint32 sortOrder);
    // ----- end of Master item trees -----

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

    // What one invoice or bill gives the payment transaction built for it:
    // its link (type, parent, child) and its texts.
    struct PaymentTarget {
        std::uint32_t type = 0;
        qint32 parentIdentifier = 0;
        qint32 childIdentifier = 0;
        // For a transaction built for this record alone.
        QString payee;
        QString description;
        // For its line of a transaction built for several.
        QString splitText;
    };
    // The builder behind createInvoiceTransaction and createBillTransaction.
    TWErrorResult createPaymentTransaction(const QList<PaymentTarget> &targets,
                                           const TWAccountPtr &account,
                                           TWRelationshipList *relationships,
                                           TWTransactionPtr *transaction, bool addTransaction);
    // The views of the transactions linked by (parent, child, type), sorted.
    void appendPaymentTransactions(TWTransactionList &views, qint32 parentIdentifier,
                                   qint32 childIdentifier, std::uint32_t type) const;
    // The proposed account of `type` from the views (newest first), then the
    // last-used accounts, then the first account of the type.
    TWAccountPtr proposedAccount(const TWTransactionList &views, std::uint32_t type,
                                 bool splitLines) const;
    // Deletes a record's payment links (type, child) and the transactions
    // they name that no other invoice or bill is linked to. Runs inside the
    // caller's write.
    TWErrorResult deletePaymentLinks(qint32 parentIdentifier, qint32 childIdentifier,
                                     std::uint32_t type);
    // deleteInvoice, with or without the repeat refresh that follows it.
    TWErrorResult deleteInvoiceRecord(const TWInvoicePtr &invoice, bool notify,
                                      bool refreshRepeats);
    // "Name (Company)", or the name alone; empty without a client (merchant).
    QString invoiceClientDisplayName(const TWInvoice &invoice) const;
    QString billMerchantDisplayName(const TWBill &bill) const;

    TWRecordList<TWInvoice> m_invoices{[](const TWInvoice &i) { return i.projectIdentifier(); }};
    TWRecordList<TWBill> m_bills{[](const TWBill &b) { return b.merchantIdentifier(); }};
    // ----- end of Invoices and bills -----

    // ===== Budget items =====

    // Where a listed line is filed in the indexes: its item key and
    // identifier when it was listed or last written (the object may have been
    // edited since).
    struct BudgetItemFiling {
        quint64 key;
        qint32 identifier;
    };
    static quint64 budgetItemKey(qint32 type, qint32 itemIdentifier);
    // List changes with their undo registered in the scope; the indexes follow.
    void appendBudgetItem(WriteScope &scope, const TWBudgetItemPtr &budgetItem);
    void removeBudgetItemAt(WriteScope &scope, qsizetype position);
    // Files a listed line again under its current item key and identifier.
    void refileBudgetItem(WriteScope &scope, const TWBudgetItemPtr &budgetItem);
    void clearBudgetItems();

    TWBudgetItemList m_budgetItems;
    // Identifier -> line.
    QHash<qint32, TWBudgetItemPtr> m_budgetItemIndex;
    // Item key -> the lines of that account or group, in list order.
    QHash<quint64, TWBudgetItemList> m_budgetItemKeyIndex;
    QHash<const TWBudgetItem *, BudgetItemFiling> m_budgetItemFilings;
    // ----- end of Budget items -----

    // ===== Document settings =====

    // The two ways a store comes to be (the factories' work).
    TWErrorResult initWithBusinessInfo(const TWBusinessInfoPtr &businessInfo);
    TWErrorResult initWithURL(const QUrl &url, bool allowUpgrade);
    // Fills the empty working database with the whole of the file at `path`.
    TWErrorResult copyPackageDatabase(const QString &path);
    // Seeds the tables `created` names (just created by this open): for a new
    // business from its record, for a package only what needs no record.
    TWErrorResult populateDatabase(const QSet<QString> &created, bool isNew);
    // Reads every table into memory, in dependency order.
    TWErrorResult loadDatabase();
    // Writes the working database whole into the file at `path`.
    TWErrorResult writePackageDatabase(const QString &path);

    // The settings of a new business; and of an opened one: the few the
    // loading needs, before it, then the rest.
    void setDefaultSettings();
    void applyOpeningSettings(const QVariantMap &settings);
    void applySettings(const QVariantMap &settings);
    // Re-sorts the master items when `sortBy` changed (updateItems for each
    // kind with its groups: accounts, filters, clients, merchants, reports).
    // For now it does nothing.

    quint32 m_sortBy = 0;
    quint32 m_masterExpanded = 0xFFFFFFFF;
    QDateTime m_lastDate;
    TWUnitPtr m_lastUnit;
    TWUnitPtr m_lastMileageUnit;
    qint32 m_lastAccount1Identifier = 0;
    qint32 m_lastAccount2Identifier = 0;
    TWColumnSettings m_columnSettings;
    QRectF m_documentFrame;
    double m_masterDividerPosition = 260.0;
    double m_transactionDividerPosition = 0.0;
    double m_clientDividerPosition = 800.0;
    double m_taskDividerPosition = 250.0;
    double m_invoiceDividerPosition = 250.0;
    double m_merchantDividerPosition = 250.0;
    double m_fieldDividerPosition = 250.0;
    double m_repeatDividerPosition = 250.0;
    std::optional<QVariantList> m_selectedMasterItemSettings;
    quint32 m_transactionDetailsDisclosure = 0xFFFFFFFF;
    quint32 m_voiceMemoAudioQuality = 1;
    bool m_showSummary = true;
    QDateTime m_budgetStartDate;
    QDateTime m_lastCurrencyUpdateDate;
    qint32 m_searchFieldType = 0;
    qint32 m_transactionRangeType = 0;
    QDateTime m_transactionRangeFromDate;
    QDateTime m_transactionRangeToDate;
    QHash<qint32, TWSendInvoiceDataPtr> m_sendInvoiceData;
    QVariantMap m_importTransactionsSettings;
    QVariantMap m_importTasksSettings;
    QVariantMap m_importExpensesSettings;
    TWExportTransactionsSettingsPtr m_exportTransactionsSettings;
    TWExportTasksSettingsPtr m_exportTasksSettings;
    TWExportExpensesSettingsPtr m_exportExpensesSettings;

    // --- Column settings, date ranges and settings housekeeping ---

    // Settings are kept in memory only: a change made inside a write (the
    // account, field, filter, client and project hooks) registers here how to
    // put it back, so that a write that fails leaves them as they were.
    // Outside a write it does nothing.
    void settingsChangeUndo(std::function<void()> undo);
    // Applies `change` to view 0's stored layout, when there is one, with its
    // undo.
    void changeTransactionColumnSettings(const std::function<void(QVariantMap &)> &change);
    // The query step of mostRecentTransaction: the matching identifier, or
    // none.
    std::optional<qint32> mostRecentTransactionIdentifier(const TWTransaction &transaction,
                                                          const TWField &field);
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
