#pragma once
// Readings the task and expense processors share: the active field code of
// each column, dates by a line's format, and amounts in the decimals of the
// row's project.

#include "TWDateReader.h"
#include "TWImportWorkField.h"
#include "TWProject.h"

#include <QHash>
#include <QList>
#include <QString>

class TWBusiness;

class TWImportWorkRows
{
public:
    explicit TWImportWorkRows(const TWBusiness &business);

    // The date of a value by the line's format, or the short date (with
    // `withTime`, date and time) format; invalid when it does not read.
    QDateTime date(const TWImportWorkField &line, const QString &value, bool withTime);
    // Minor units of the project's unit (the home unit without a project), so
    // that 5000 in a currency without decimals stays 5000.
    qint64 amount(const QString &value, const TWProjectPtr &project) const;

    // Each line's active code (0 for lines that import nothing).
    template <typename List> static QList<qint32> codes(const List &lines)
    {
        QList<qint32> result;
        result.reserve(lines.size());
        for (const auto &line : lines)
            result.append(line ? line->activeIdentifier() : 0);
        return result;
    }

private:
    const TWBusiness &m_business;
    QHash<QString, TWDateReader> m_readers;
    // Pattern and text -> the date read (a file repeats few days).
    QHash<std::pair<QString, QString>, QDateTime> m_dates;
};
