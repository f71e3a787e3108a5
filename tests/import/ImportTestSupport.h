#pragma once
// Helpers of the import suites: the bytes of a data file and rows written
// compactly in expectations.

#include "TWTestSupport.h"

#include <QFile>
#include <QStringList>

inline QByteArray twImportData(const QString &name)
{
    QFile file(twTestDataPath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A row from UTF-8 literals: row({"a", "b"}).
inline QStringList row(std::initializer_list<const char *> fields)
{
    QStringList list;
    for (const char *field : fields)
        list.append(QString::fromUtf8(field));
    return list;
}
