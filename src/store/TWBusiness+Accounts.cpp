// The accounts of a business: the table, the in-memory list with its index,
// the default chart of accounts of a new business, and the questions asked
// about accounts (by type, by identifier, which side of a balance is shown).

#include "store/TWBusiness.h"
#include "store/TWRecordWrites.h"

#include "foundation/TWLocalized.h"
#include "model/TWBusinessInfo.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "model/TWUnits.h"

#include <sqlite3.h>

#include <algorithm>

namespace
{

const char *const kAccountsMaxIdentifierSQL = "SELECT MAX(identifier) FROM accounts;";
const char *const kAccountsSelectSQL =
    "SELECT identifier, type, name, number, icon, unit, notes, parentIdentifier, sortOrder, "
    "isInstitution, institutionName, institutionPhone, institutionFax, institutionEmail, "
    "institutionWebsite, institutionAddress, institutionNumber, institutionRoutingTransit, "
    "institutionWireTransfer FROM accounts ORDER BY sortOrder ASC;";
const char *const kAccountsInsertSQL =
    "INSERT INTO accounts (identifier, type, name, number, icon, unit, notes, parentIdentifier, "
    "sortOrder, isInstitution, institutionName, institutionPhone, institutionFax, "
    "institutionEmail, institutionWebsite, institutionAddress, institutionNumber, "
    "institutionRoutingTransit, institutionWireTransfer) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);";
const char *const kAccountsUpdateSQL =
    "UPDATE accounts SET name=?, number=?, icon=?, notes=?, parentIdentifier=?, sortOrder=?, "
    "isInstitution=?, institutionName=?, institutionPhone=?, institutionFax=?, "
    "institutionEmail=?, institutionWebsite=?, institutionAddress=?, institutionNumber=?, "
    "institutionRoutingTransit=?, institutionWireTransfer=? WHERE identifier=?;";
const char *const kAccountsUpdateSortOrderSQL =
    "UPDATE accounts SET sortOrder=? WHERE identifier=?;";
const char *const kAccountsDeleteSQL = "DELETE FROM accounts WHERE identifier=?;";

QString websiteText(const QUrl &url)
{
    return url.isEmpty() ? QString() : url.toString(QUrl::FullyEncoded);
}

// A default account: its name is looked up by key, `otherKey` replacing `key`
// outside the United States.
struct ChartRow {
    qint32 identifier;
    const char *key;
    const char *otherKey;
    qint32 group;
    quint32 sortOrder;
    TWAccountType type;
};

// Every business; the groups are the default account groups (100 assets, 101
// liabilities, 102 income, 103 expenses, 104 equity). 103 is never used, and
// the tax accounts 132 and 133 sort among the liabilities.
const ChartRow kCommonChart[] = {
    {100, "checking", "chequing", 100, 0, TWAccountTypeBank},
    {101, "savings", nullptr, 100, 1, TWAccountTypeBank},
    {102, "pettyCash", nullptr, 100, 2, TWAccountTypeCash},
    {104, "fixedAssets", nullptr, 100, 3, TWAccountTypeFixedAsset},
    {105, "accountsReceivable", nullptr, 100, 4, TWAccountTypeAccountsReceivable},
    {106, "creditCard", nullptr, 101, 0, TWAccountTypeCreditCard},
    {107, "loan", nullptr, 101, 1, TWAccountTypeLoan},
    {108, "accountsPayable", nullptr, 101, 2, TWAccountTypeAccountsPayable},
    {132, "salesTax", nullptr, 101, 3, TWAccountTypeTax},
    {133, "tax", nullptr, 101, 4, TWAccountTypeTax},
    {109, "sales", nullptr, 102, 0, TWAccountTypeIncome},
    {110, "interestIncome", nullptr, 102, 1, TWAccountTypeIncome},
    {111, "advertising", nullptr, 103, 0, TWAccountTypeExpense},
    {112, "auto", nullptr, 103, 1, TWAccountTypeExpense},
    {113, "bankCharges", nullptr, 103, 2, TWAccountTypeExpense},
    {114, "businessLicensesPermits", nullptr, 103, 3, TWAccountTypeExpense},
    {115, "computer", nullptr, 103, 4, TWAccountTypeExpense},
    {116, "depreciation", nullptr, 103, 5, TWAccountTypeExpense},
    {117, "duesSubscriptions", nullptr, 103, 6, TWAccountTypeExpense},
    {118, "equipment", nullptr, 103, 7, TWAccountTypeExpense},
    {119, "furniture", nullptr, 103, 8, TWAccountTypeExpense},
    {120, "insurance", nullptr, 103, 9, TWAccountTypeExpense},
    {121, "interest", nullptr, 103, 10, TWAccountTypeExpense},
    {122, "internet", nullptr, 103, 11, TWAccountTypeExpense},
    {123, "mealsEntertainment", nullptr, 103, 12, TWAccountTypeExpense},
    {124, "mileage", nullptr, 103, 13, TWAccountTypeExpense},
    {125, "officeSupplies", nullptr, 103, 14, TWAccountTypeExpense},
    {126, "phone", nullptr, 103, 15, TWAccountTypeExpense},
    {127, "postageShipping", nullptr, 103, 16, TWAccountTypeExpense},
    {128, "professionalFees", nullptr, 103, 17, TWAccountTypeExpense},
    {129, "rent", nullptr, 103, 18, TWAccountTypeExpense},
    {130, "repairsMaintenance", nullptr, 103, 19, TWAccountTypeExpense},
    {131, "salaries", nullptr, 103, 20, TWAccountTypeExpense},
    {134, "travel", nullptr, 103, 21, TWAccountTypeExpense},
    {135, "utilities", nullptr, 103, 22, TWAccountTypeExpense},
};

// The equity accounts, by business type.
const ChartRow kSoleProprietorshipEquity[] = {
    {136, "openingBalance", nullptr, 104, 0, TWAccountTypeEquity},
    {137, "ownersDraw", nullptr, 104, 1, TWAccountTypeEquity},
    {138, "ownersEquity", nullptr, 104, 2, TWAccountTypeEquity},
};
const ChartRow kPartnershipEquity[] = {
    {136, "openingBalance", nullptr, 104, 0, TWAccountTypeEquity},
    {139, "partner1Draw", nullptr, 104, 1, TWAccountTypeEquity},
    {140, "partner1Equity", nullptr, 104, 2, TWAccountTypeEquity},
    {141, "partner2Draw", nullptr, 104, 3, TWAccountTypeEquity},
    {142, "partner2Equity", nullptr, 104, 4, TWAccountTypeEquity},
    {143, "retainedEarnings", nullptr, 104, 5, TWAccountTypeEquity},
};
const ChartRow kCorporationEquity[] = {
    {136, "openingBalance", nullptr, 104, 0, TWAccountTypeEquity},
    {144, "capitalStock", "shareCapital", 104, 1, TWAccountTypeEquity},
    {145, "dividendsPaid", nullptr, 104, 2, TWAccountTypeEquity},
    {143, "retainedEarnings", nullptr, 104, 3, TWAccountTypeEquity},
};

// The localised text of a key; empty when the table has none.
QString chartName(const char *key)
{
    const QString k = QString::fromLatin1(key);
    return TWHasLocalized(k) ? TWLocalized(k) : QString(QLatin1String(""));
}

bool lessByName(const TWAccountPtr &a, const TWAccountPtr &b)
{
    return a->compare(*b) < 0;
}

} // namespace

// ---- Lookups ----

TWAccountPtr TWBusiness::accountWithIdentifier(qint32 identifier) const
{
    return m_accountIndex.value(identifier);
}

TWAccountList TWBusiness::sortedAccounts() const
{
    TWAccountList sorted = m_accounts;
    std::stable_sort(sorted.begin(), sorted.end(), lessByName);
    return sorted;
}

TWAccountList TWBusiness::accountsOfType(quint32 type) const
{
    TWAccountList result;
    for (const TWAccountPtr &account : m_accounts) {
        const quint32 accountType = quint32(account->accountType());
        bool keep = false;
        if (accountType >= TWAccountTypeAccountsReceivable &&
            accountType <= TWAccountTypeCurrentAsset)
            keep = type == TWAccountGroupTypeAsset || type == accountType;
        else if (accountType >= TWAccountTypeAccountsPayable &&
                 accountType <= TWAccountTypeCurrentLiability)
            keep = type == TWAccountGroupTypeLiability || type == accountType;
        else if (accountType >= TWAccountTypeIncome && accountType <= TWAccountTypeEquity)
            keep = type == accountType;
        if (keep)
            result.append(account);
    }
    std::stable_sort(result.begin(), result.end(), lessByName);
    return result;
}

bool TWBusiness::isAccountDebitPositive(const TWAccount &account)
{
    // Types 9 to 17; only expenses among them grow with debits.
    static const bool kDebitPositive[9] = {false, false, false, false, false,
                                           false, false, true,  false};
    const quint32 type = quint32(account.accountType());
    if (type >= TWAccountTypeAccountsPayable && type <= TWAccountTypeEquity)
        return kDebitPositive[type - TWAccountTypeAccountsPayable];
    return true;
}

qint32 TWBusiness::nextAccountIdentifier()
{
    return nextIdentifier(kAccountsMaxIdentifierSQL);
}

// ---- Loading and the default chart ----

TWErrorResult TWBusiness::loadAccounts()
{
    m_accounts.clear();
    m_accountIndex.clear();
    TWStatement select = statement(kAccountsSelectSQL);
    while (select.next()) {
        const TWUnitPtr unit = unitForStoredCode(select.columnText(5));
        const QString website = select.columnText(14);
        TWAccountPtr account = TWAccount::accountWithIdentifier(
            select.columnInt32(0), select.columnText(2), select.columnInt32(7),
            quint32(select.columnInt64(8)), TWAccountType(select.columnInt32(1)),
            select.columnText(3), TWStoredImage::fromData(select.columnBlob(4)), unit,
            select.columnText(6), (select.columnInt64(9) & 0xFF) != 0, select.columnText(10),
            select.columnText(16), select.columnText(11), select.columnText(12),
            select.columnText(13), website.isNull() ? QUrl() : QUrl(website), select.columnText(15),
            select.columnText(17), select.columnText(18));
        m_accounts.append(account);
        if (!m_accountIndex.contains(account->identifier()))
            m_accountIndex.insert(account->identifier(), account);
    }
    return select.error();
}

TWErrorResult TWBusiness::populateAccounts(const TWBusinessInfo &businessInfo)
{
    // One bare home-currency unit for all; only its code is stored, and the
    // load that follows attaches the business's real unit.
    const TWUnitPtr home =
        TWUnit::unitWithName(QString(), QString(), businessInfo.homeCurrency(), QString(), 0.0, 0,
                             QDateTime(), false, TWUnitTypeCurrency);
    const bool us = TWFormatter::formatter().isUS();
    const QString empty(QLatin1String(""));

    WriteScope scope(*this);
    auto add = [&](const ChartRow &row) {
        const char *key = (!us && row.otherKey) ? row.otherKey : row.key;
        return addAccount(TWAccount::accountWithIdentifier(row.identifier, chartName(key),
                                                           row.group, row.sortOrder, row.type,
                                                           empty, QImage(), home, empty),
                          false);
    };
    for (const ChartRow &row : kCommonChart) {
        if (TWErrorResult error = add(row))
            return scope.finish(error);
    }
    auto addEquity = [&](const auto &rows) -> TWErrorResult {
        for (const ChartRow &row : rows) {
            if (TWErrorResult error = add(row))
                return error;
        }
        return std::nullopt;
    };
    TWErrorResult error;
    switch (businessInfo.type()) {
    case TWBusinessTypeSoleProprietorship:
        error = addEquity(kSoleProprietorshipEquity);
        break;
    case TWBusinessTypePartnership:
        error = addEquity(kPartnershipEquity);
        break;
    case TWBusinessTypeCorporation:
        error = addEquity(kCorporationEquity);
        break;
    default:
        break; // an unknown business type gets no equity accounts
    }
    return scope.finish(error);
}

// ---- List changes ----

void TWBusiness::appendAccount(WriteScope &scope, const TWAccountPtr &account)
{
    m_accounts.append(account);
    const bool indexed = !m_accountIndex.contains(account->identifier());
    if (indexed)
        m_accountIndex.insert(account->identifier(), account);
    scope.onRollback([this, account, indexed] {
        m_accounts.removeLast();
        if (indexed)
            m_accountIndex.remove(account->identifier());
    });
}

void TWBusiness::removeAccountAt(WriteScope &scope, qsizetype position)
{
    const TWAccountPtr account = m_accounts.takeAt(position);
    const bool indexed = m_accountIndex.value(account->identifier()) == account;
    if (indexed)
        m_accountIndex.remove(account->identifier());
    scope.onRollback([this, account, position, indexed] {
        m_accounts.insert(position, account);
        if (indexed)
            m_accountIndex.insert(account->identifier(), account);
    });
}

// ---- Writes ----

TWErrorResult TWBusiness::addAccount(const TWAccountPtr &account, bool notify)
{
    // An account without an object or with identifier 0 (the value of a
    // failed nextAccountIdentifier) is never stored.
    if (!account || account->identifier() == 0)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement insert = statement(kAccountsInsertSQL);
        insert.bindInt32(account->identifier())
            .bindInt32(account->accountType())
            .bindText(account->name())
            .bindText(account->number())
            .bindBlob(account->storedIcon().data())
            .bindText(account->unit() ? account->unit()->code() : QString())
            .bindText(account->notes())
            .bindInt32(account->parentIdentifier())
            .bindInt64(account->sortOrder())
            .bindBool(account->isInstitution())
            .bindText(account->institutionName())
            .bindText(account->institutionPhone())
            .bindText(account->institutionFax())
            .bindText(account->institutionEmail())
            .bindText(websiteText(account->institutionWebsite()))
            .bindText(account->institutionAddress())
            .bindText(account->institutionNumber())
            .bindText(account->institutionRoutingTransit())
            .bindText(account->institutionWireTransfer());
        if (TWErrorResult error = insert.execute())
            return scope.finish(error);
    }
    columnSettingsAddAccountHook(account);
    exportSettingsAddAccountHook(account);
    appendAccount(scope, account);
    TWRecordWrites::post(scope, notify, TWAccountNewNotification, TWAccountNotificationKey,
                         account);

    TWPreferences &preferences = TWPreferences::preferences();
    const std::uint32_t previousType = preferences.lastAccountType();
    preferences.setLastAccountType(std::uint32_t(account->accountType()));
    scope.onRollback(
        [previousType] { TWPreferences::preferences().setLastAccountType(previousType); });
    return scope.commit();
}

TWErrorResult TWBusiness::updateAccount(const TWAccountPtr &account, bool notify)
{
    if (!account)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement update = statement(kAccountsUpdateSQL);
        update.bindText(account->name())
            .bindText(account->number())
            .bindBlob(account->storedIcon().data())
            .bindText(account->notes())
            .bindInt32(account->parentIdentifier())
            .bindInt64(account->sortOrder())
            .bindBool(account->isInstitution())
            .bindText(account->institutionName())
            .bindText(account->institutionPhone())
            .bindText(account->institutionFax())
            .bindText(account->institutionEmail())
            .bindText(websiteText(account->institutionWebsite()))
            .bindText(account->institutionAddress())
            .bindText(account->institutionNumber())
            .bindText(account->institutionRoutingTransit())
            .bindText(account->institutionWireTransfer())
            .bindInt32(account->identifier());
        if (TWErrorResult error = update.executeUpdate())
            return scope.finish(error);
    }
    const TWAccountPtr listed = m_accountIndex.value(account->identifier());
    if (listed != account) {
        if (listed) {
            // The type and the unit were not written: the object that takes
            // the listed one's place carries the stored ones, so the list
            // shows what the file holds.
            const TWAccountType typeBefore = account->accountType();
            const TWUnitPtr unitBefore = account->unit();
            account->setAccountType(listed->accountType());
            account->setUnit(listed->unit());
            scope.onRollback([account, typeBefore, unitBefore] {
                account->setAccountType(typeBefore);
                account->setUnit(unitBefore);
            });
            const qsizetype position = m_accounts.indexOf(listed);
            if (position >= 0)
                removeAccountAt(scope, position);
        }
        appendAccount(scope, account);
    }
    TWRecordWrites::post(scope, notify, TWAccountUpdateNotification, TWAccountNotificationKey,
                         account);
    return scope.commit();
}

TWErrorResult TWBusiness::updateAccountSortOrder(const TWAccountPtr &account, bool notify)
{
    if (!account)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement update = statement(kAccountsUpdateSortOrderSQL);
        update.bindInt64(account->sortOrder()).bindInt32(account->identifier());
        if (TWErrorResult error = update.executeUpdate())
            return scope.finish(error);
    }
    TWRecordWrites::post(scope, notify, TWAccountUpdateNotification, TWAccountNotificationKey,
                         account);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteAccount(const TWAccountPtr &account, bool notify)
{
    if (!account)
        return databaseError(SQLITE_MISUSE);
    // One write for the whole cascade: when any step fails, the account, its
    // transactions and everything kept for it stay as they were.
    WriteScope scope(*this);
    if (TWErrorResult error = deleteAccountTransactionsHook(account))
        return scope.finish(error);
    {
        if (TWErrorResult error =
                TWRecordWrites::deleteRow(*this, kAccountsDeleteSQL, account->identifier()))
            return scope.finish(error);
    }
    if (TWErrorResult error = businessInfoDeleteAccountHook(account))
        return scope.finish(error);
    columnSettingsDeleteAccountHook(account);
    importSettingsRemoveAccountHook(account);
    exportSettingsRemoveAccountHook(account);
    if (TWErrorResult error = deleteBudgetItemsForItemHook(account))
        return scope.finish(error);

    const qsizetype position = m_accounts.indexOf(m_accountIndex.value(account->identifier()));
    if (position >= 0)
        removeAccountAt(scope, position);
    TWRecordWrites::post(scope, notify, TWAccountDeleteNotification, TWAccountNotificationKey,
                         account);
    return scope.commit();
}

// ---- Calls into the other parts of the document ----
// Each runs inside the account write; an in-memory change made there
// registers its undo (WriteScope::onRollback) so a failed write restores it.

// Column settings: a new account's register shows the same columns as the
// others (columnSettingsAddAccount).
void TWBusiness::columnSettingsAddAccountHook(const TWAccountPtr &account)
{
    if (account)
        columnSettingsAddAccount(*account);
}

// Transaction export settings select the new account (exportSettingsAddAccount
// with the account and no field).
void TWBusiness::exportSettingsAddAccountHook(const TWAccountPtr &account)
{
    exportSettingsAddAccount(account, nullptr);
}

// Deletes every transaction of the account, with notifications
// (deleteAccountTransactions with notify on). A split transaction that reaches
// the account only through one of its splits is found by its splits, not by
// its two account columns. A failure fails the account's deletion.
TWErrorResult TWBusiness::deleteAccountTransactionsHook(const TWAccountPtr &account)
{
    return deleteAccountTransactions(account, true);
}

// A business whose closing (nominal-transfer) account is this account loses
// that setting (businessInfoDeleteAccount). A failure fails the deletion, so
// the setting never names a missing account.
TWErrorResult TWBusiness::businessInfoDeleteAccountHook(const TWAccountPtr &account)
{
    return account ? businessInfoDeleteAccount(*account) : std::nullopt;
}

// Column settings forget the account (columnSettingsDeleteAccount).
void TWBusiness::columnSettingsDeleteAccountHook(const TWAccountPtr &account)
{
    if (account)
        columnSettingsDeleteAccount(*account);
}

// Import settings forget the account (importSettingsRemoveAccount with the
// account and no field).
void TWBusiness::importSettingsRemoveAccountHook(const TWAccountPtr &account)
{
    importSettingsRemoveAccount(account, nullptr);
}

// Transaction export settings forget the account (exportSettingsRemoveAccount
// with the account, no field and no filter).
void TWBusiness::exportSettingsRemoveAccountHook(const TWAccountPtr &account)
{
    exportSettingsRemoveAccount(account, nullptr, nullptr);
}

// Deletes the budget items of an account or a group, with notifications
// (deleteBudgetItemsForItem with notify on).
TWErrorResult TWBusiness::deleteBudgetItemsForItemHook(const TWItemPtr &item)
{
    return deleteBudgetItemsForItem(item, true);
}
