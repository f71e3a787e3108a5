#include "TWImportWorkRows.h"

#include "TWBusiness.h"
#include "TWFormatter.h"

TWImportWorkRows::TWImportWorkRows(const TWBusiness &business) : m_business(business)
{
}

QDateTime TWImportWorkRows::date(const TWImportWorkField &line, const QString &value, bool withTime)
{
    const TWFormatter &formatter = TWFormatter::formatter();
    QString pattern = line.format();
    if (pattern.isNull())
        pattern = withTime ? formatter.shortDateTimeFormat() : formatter.shortDateFormat();
    std::pair<QString, QString> key{pattern, value};
    const auto known = m_dates.constFind(key);
    if (known != m_dates.constEnd())
        return *known;
    auto reader = m_readers.find(pattern);
    if (reader == m_readers.end())
        reader = m_readers.insert(pattern, TWDateReader(pattern, formatter.locale()));
    const QDateTime date = reader->read(value);
    m_dates.insert(std::move(key), date);
    return date;
}

qint64 TWImportWorkRows::amount(const QString &value, const TWProjectPtr &project) const
{
    const TWUnitPtr unit = project && project->unit() ? project->unit() : m_business.homeUnit();
    return TWFormatter::formatter().valueFromString(value, unit ? unit->decimalPlaces() : 2);
}
