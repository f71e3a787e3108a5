// The clients and merchants of a business: two tables of the same columns,
// their in-memory lists with identifier indexes, and the deletes that take a
// client's projects or a merchant's bills along.

#include "store/TWBusiness.h"
#include "store/TWRecordWrites.h"

#include "store/TWStoreLists.h"

#include <sqlite3.h>

namespace
{

// The statements of one contact table; clients and merchants differ only in
// the table's name.
struct ContactSQL {
    const char *maxIdentifier;
    const char *select;
    const char *insert;
    const char *update;
    const char *updateSortOrder;
    const char *remove;
};

const ContactSQL kClientSQL = {
    "SELECT MAX(identifier) FROM clients;",
    "SELECT identifier, name, company, logo, phone, fax, email, website, address, notes, "
    "parentIdentifier, sortOrder FROM clients;",
    "INSERT INTO clients (identifier, name, company, logo, phone, fax, email, website, address, "
    "notes, parentIdentifier, sortOrder) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);",
    "UPDATE clients SET name=?, company=?, logo=?, phone=?, fax=?, email=?, website=?, "
    "address=?, notes=?, parentIdentifier=?, sortOrder=? WHERE identifier=?;",
    "UPDATE clients SET sortOrder=? WHERE identifier=?;",
    "DELETE FROM clients WHERE identifier=?;",
};

const ContactSQL kMerchantSQL = {
    "SELECT MAX(identifier) FROM merchants;",
    "SELECT identifier, name, company, logo, phone, fax, email, website, address, notes, "
    "parentIdentifier, sortOrder FROM merchants;",
    "INSERT INTO merchants (identifier, name, company, logo, phone, fax, email, website, "
    "address, notes, parentIdentifier, sortOrder) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);",
    "UPDATE merchants SET name=?, company=?, logo=?, phone=?, fax=?, email=?, website=?, "
    "address=?, notes=?, parentIdentifier=?, sortOrder=? WHERE identifier=?;",
    "UPDATE merchants SET sortOrder=? WHERE identifier=?;",
    "DELETE FROM merchants WHERE identifier=?;",
};

// A web address is kept as its absolute text; none is NULL.
QString websiteText(const QUrl &url)
{
    return url.isEmpty() ? QString() : url.toString(QUrl::FullyEncoded);
}

// Binds the eleven columns after the identifier, in table order.
void bindContact(TWStatement &statement, const TWContactItem &item)
{
    statement.bindText(item.name())
        .bindText(item.company())
        .bindBlob(item.storedLogo().data())
        .bindText(item.phone())
        .bindText(item.fax())
        .bindText(item.email())
        .bindText(websiteText(item.website()))
        .bindText(item.address())
        .bindText(item.notes())
        .bindInt32(item.parentIdentifier())
        .bindInt64(item.sortOrder());
}

// Reads every row of a contact table into a list and its index, each row
// made into a record by `make` (a client's or a merchant's factory).
template <typename T, typename Make>
TWErrorResult loadContacts(TWBusiness &business, const char *sql, QList<std::shared_ptr<T>> &list,
                           TWStoreLists::Index<T> &index, Make make)
{
    list.clear();
    index.clear();
    TWStatement select = business.statement(sql);
    while (select.next()) {
        const QString website = select.columnText(7);
        std::shared_ptr<T> item = make(
            select.columnInt32(0), select.columnText(1), select.columnText(2),
            select.columnInt32(10), quint32(select.columnInt64(11)),
            TWStoredImage::fromData(select.columnBlob(3)), select.columnText(4),
            select.columnText(5), select.columnText(6), website.isNull() ? QUrl() : QUrl(website),
            select.columnText(8), select.columnText(9));
        list.append(item);
        if (!index.contains(item->identifier()))
            index.insert(item->identifier(), item);
    }
    return select.error();
}

TWErrorResult insertContact(TWBusiness &business, const char *sql, const TWContactItem &item)
{
    TWStatement insert = business.statement(sql);
    insert.bindInt32(item.identifier());
    bindContact(insert, item);
    return insert.execute();
}

TWErrorResult updateContact(TWBusiness &business, const char *sql, const TWContactItem &item)
{
    TWStatement update = business.statement(sql);
    bindContact(update, item);
    update.bindInt32(item.identifier());
    return update.executeUpdate();
}

TWErrorResult updateSortOrder(TWBusiness &business, const char *sql, const TWItem &item)
{
    TWStatement update = business.statement(sql);
    update.bindInt64(item.sortOrder()).bindInt32(item.identifier());
    return update.executeUpdate();
}

} // namespace

// ---- Clients ----

TWClientPtr TWBusiness::clientWithIdentifier(qint32 identifier) const
{
    return m_clientIndex.value(identifier);
}

qint32 TWBusiness::nextClientIdentifier()
{
    return nextIdentifier(kClientSQL.maxIdentifier);
}

TWErrorResult TWBusiness::loadClients()
{
    return loadContacts(*this, kClientSQL.select, m_clients, m_clientIndex,
                        &TWClient::clientWithIdentifier);
}

TWErrorResult TWBusiness::addClient(const TWClientPtr &client, bool notify)
{
    if (!client || client->identifier() == 0)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    if (TWErrorResult error = insertContact(*this, kClientSQL.insert, *client))
        return scope.finish(error);
    TWStoreLists::append(scope, m_clients, m_clientIndex, client);
    TWRecordWrites::post(scope, notify, TWClientNewNotification, TWClientNotificationKey, client);
    return scope.commit();
}

TWErrorResult TWBusiness::updateClient(const TWClientPtr &client, bool notify)
{
    if (!client)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    if (TWErrorResult error = updateContact(*this, kClientSQL.update, *client))
        return scope.finish(error);
    TWStoreLists::replaceListed(scope, m_clients, m_clientIndex, client);
    TWRecordWrites::post(scope, notify, TWClientUpdateNotification, TWClientNotificationKey,
                         client);
    return scope.commit();
}

TWErrorResult TWBusiness::updateClientSortOrder(const TWClientPtr &client, bool notify)
{
    if (!client)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    if (TWErrorResult error = updateSortOrder(*this, kClientSQL.updateSortOrder, *client))
        return scope.finish(error);
    TWRecordWrites::post(scope, notify, TWClientUpdateNotification, TWClientNotificationKey,
                         client);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteClient(const TWClientPtr &client, bool notify)
{
    if (!client)
        return databaseError(SQLITE_MISUSE);
    // One write for the whole cascade: when a project cannot be deleted, the
    // client, its row, every project and the settings stay as they were.
    WriteScope scope(*this);
    if (TWErrorResult error =
            TWRecordWrites::deleteRow(*this, kClientSQL.remove, client->identifier()))
        return scope.finish(error);
    if (TWErrorResult error = deleteClientProjectsHook(client))
        return scope.finish(error);
    sendInvoiceDataDeleteClientHook(client);
    exportSettingsRemoveClientHook(client);
    TWStoreLists::removeListed(scope, m_clients, m_clientIndex, client);
    TWRecordWrites::post(scope, notify, TWClientDeleteNotification, TWClientNotificationKey,
                         client);
    return scope.commit();
}

// ---- Merchants ----

TWMerchantPtr TWBusiness::merchantWithIdentifier(qint32 identifier) const
{
    return m_merchantIndex.value(identifier);
}

qint32 TWBusiness::nextMerchantIdentifier()
{
    return nextIdentifier(kMerchantSQL.maxIdentifier);
}

TWErrorResult TWBusiness::loadMerchants()
{
    return loadContacts(*this, kMerchantSQL.select, m_merchants, m_merchantIndex,
                        &TWMerchant::merchantWithIdentifier);
}

TWErrorResult TWBusiness::addMerchant(const TWMerchantPtr &merchant, bool notify)
{
    if (!merchant || merchant->identifier() == 0)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    if (TWErrorResult error = insertContact(*this, kMerchantSQL.insert, *merchant))
        return scope.finish(error);
    TWStoreLists::append(scope, m_merchants, m_merchantIndex, merchant);
    TWRecordWrites::post(scope, notify, TWMerchantNewNotification, TWMerchantNotificationKey,
                         merchant);
    return scope.commit();
}

TWErrorResult TWBusiness::updateMerchant(const TWMerchantPtr &merchant, bool notify)
{
    if (!merchant)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    if (TWErrorResult error = updateContact(*this, kMerchantSQL.update, *merchant))
        return scope.finish(error);
    TWStoreLists::replaceListed(scope, m_merchants, m_merchantIndex, merchant);
    TWRecordWrites::post(scope, notify, TWMerchantUpdateNotification, TWMerchantNotificationKey,
                         merchant);
    return scope.commit();
}

TWErrorResult TWBusiness::updateMerchantSortOrder(const TWMerchantPtr &merchant, bool notify)
{
    if (!merchant)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    if (TWErrorResult error = updateSortOrder(*this, kMerchantSQL.updateSortOrder, *merchant))
        return scope.finish(error);
    TWRecordWrites::post(scope, notify, TWMerchantUpdateNotification, TWMerchantNotificationKey,
                         merchant);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteMerchant(const TWMerchantPtr &merchant, bool notify)
{
    if (!merchant)
        return databaseError(SQLITE_MISUSE);
    // One write for the whole cascade: when a bill cannot be deleted or the
    // repeats cannot be brought up to date, nothing changes.
    WriteScope scope(*this);
    if (TWErrorResult error =
            TWRecordWrites::deleteRow(*this, kMerchantSQL.remove, merchant->identifier()))
        return scope.finish(error);
    if (TWErrorResult error = deleteMerchantBillsHook(merchant))
        return scope.finish(error);
    // Runs whether or not the merchant had bills.
    if (TWErrorResult error = updateRepeatsAfterMerchantDeleteHook(notify))
        return scope.finish(error);
    TWStoreLists::removeListed(scope, m_merchants, m_merchantIndex, merchant);
    TWRecordWrites::post(scope, notify, TWMerchantDeleteNotification, TWMerchantNotificationKey,
                         merchant);
    return scope.commit();
}

// ---- Hooks into later groups of the store ----
// Each is a no-op until the group it names exists.

// Deletes every project of the client, each with notifications on, which takes
// the project's tasks, expenses and invoices along and posts their
// notifications whatever the client delete's own flag. The first error is
// returned.
TWErrorResult TWBusiness::deleteClientProjectsHook(const TWClientPtr &client)
{
    for (const TWProjectPtr &project : projectsWithClient(*client)) {
        if (TWErrorResult error = deleteProject(project, true))
            return error;
    }
    return std::nullopt;
}

// The document settings forget the client's send-invoice record
// (sendInvoiceDataDeleteClient).
void TWBusiness::sendInvoiceDataDeleteClientHook(const TWClientPtr &client)
{
    if (client)
        sendInvoiceDataDeleteClient(*client);
}

// The task and expense export settings drop the client's projects
// (exportSettingsRemoveClient with the client and no project).
void TWBusiness::exportSettingsRemoveClientHook(const TWClientPtr &client)
{
    exportSettingsRemoveClient(client, nullptr);
}

// Deletes every bill of the merchant (billsWithMerchant), each with deleteBill
// and notify on, which takes the transactions paying it and its payment
// relationships along. The first error is returned.
TWErrorResult TWBusiness::deleteMerchantBillsHook(const TWMerchantPtr &merchant)
{
    for (const TWBillPtr &bill : billsWithMerchant(*merchant)) {
        if (TWErrorResult error = deleteBill(bill, true))
            return error;
    }
    return std::nullopt;
}

// Brings every repeat up to date, inactive ones included
// (updateRepeatItems with activeOnly off and the merchant delete's notify
// flag), so schedules of the deleted bills stop or move on.
TWErrorResult TWBusiness::updateRepeatsAfterMerchantDeleteHook(bool notify)
{
    return updateRepeatItems(false, notify);
}
