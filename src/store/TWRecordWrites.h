#pragma once
// What the writes of a record (task, time item, expense, project, client,
// merchant, bill) end with alike: its row deleted by its identifier, and the
// notification naming it posted when the write commits.

#include "store/TWBusiness.h"

#include <QVariant>

#include <memory>

namespace TWRecordWrites
{

// Runs `sql`, which takes the record's identifier as its one parameter.
inline TWErrorResult deleteRow(TWBusiness &business, const char *sql, qint32 identifier)
{
    TWStatement remove = business.statement(sql);
    remove.bindInt32(identifier);
    return remove.execute();
}

// The notification's user info: the record under `key`.
template <typename T> QVariantMap userInfo(const QString &key, const std::shared_ptr<T> &record)
{
    return {{key, QVariant::fromValue(record)}};
}

// Posts `name` about the record when the write commits, if asked to notify.
template <typename T>
void post(TWBusiness::WriteScope &scope, bool notify, const QString &name, const QString &key,
          const std::shared_ptr<T> &record)
{
    if (notify)
        scope.post(name, userInfo(key, record));
}

} // namespace TWRecordWrites
