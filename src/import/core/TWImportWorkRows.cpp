#include "import/core/TWImportWorkRows.h"

#include "foundation/TWDecimal.h"
#include "foundation/TWLocalized.h"
#include "import/core/TWImportValues.h"
#include "model/TWFormatter.h"
#include "model/TWWorkFields.h"
#include "store/TWBusiness.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace
{

bool isAmPm(const QString &word, const QLocale &locale)
{
    for (const QString &mark :
         {locale.amText(), locale.pmText(), QStringLiteral("AM"), QStringLiteral("PM")}) {
        if (!mark.isEmpty() && word.compare(mark, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// A value that is a time of day and nothing else: "9:00", "09:00:00", "1:30
// PM", "9.30".
std::optional<QTime> timeOfDay(const QString &value, const QLocale &locale)
{
    static const QRegularExpression shape(
        QStringLiteral("^(\\d{1,2})[:.](\\d{2})(?:[:.](\\d{2}))?\\s*(\\D*)$"));
    const QRegularExpressionMatch match = shape.match(value.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    int hour = match.captured(1).toInt();
    const QString mark = match.captured(4).trimmed();
    if (!mark.isEmpty()) {
        if (!isAmPm(mark, locale) || hour < 1 || hour > 12)
            return std::nullopt;
        const bool pm = mark.compare(locale.pmText(), Qt::CaseInsensitive) == 0 ||
                        mark.compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0;
        hour = pm ? hour % 12 + 12 : hour % 12;
    }
    const QTime time(hour, match.captured(2).toInt(), match.captured(3).toInt());
    return time.isValid() ? std::optional<QTime>(time) : std::nullopt;
}

// Whether a date value also names a time of day: hours and minutes written
// with ":", a day period, or more numbers than a date has ("3.6.2024 9.00").
bool carriesTime(const QString &value, const QLocale &locale)
{
    static const QRegularExpression clock(QStringLiteral("\\d:\\d"));
    if (value.contains(clock))
        return true;
    static const QRegularExpression numbers(QStringLiteral("\\d+"));
    static const QRegularExpression words(QStringLiteral("[^\\W\\d_]+"));
    qsizetype count = 0;
    for (auto it = numbers.globalMatch(value); it.hasNext(); it.next())
        ++count;
    if (count > 3)
        return true;
    for (auto it = words.globalMatch(value); it.hasNext();) {
        if (isAmPm(it.next().captured(), locale))
            return true;
    }
    return false;
}

} // namespace

TWImportWorkRows::TWImportWorkRows(const TWBusiness &business) : m_business(business)
{
}

std::optional<TWImportWorkRows::Moment>
TWImportWorkRows::moment(const TWImportWorkField &line, const QString &value, const QDate &day)
{
    const QLocale locale = TWFormatter::formatter().locale();
    if (const std::optional<QTime> time = timeOfDay(value, locale)) {
        if (!day.isValid())
            return std::nullopt;
        return Moment{QDateTime(day, *time), true, true};
    }
    const QDateTime read = date(line, value, true);
    if (!read.isValid())
        return std::nullopt;
    return Moment{read, carriesTime(value, locale), false};
}

double TWImportWorkRows::quantity(double value)
{
    const std::optional<TWDecimal> places = TWDecimal::fromDouble(value, 6);
    return places ? places->toDouble().value_or(value) : value;
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

qint64 TWImportWorkRows::amount(const QString &value, const TWProjectPtr &project,
                                const QString &column)
{
    const TWUnitPtr unit = project && project->unit() ? project->unit() : m_business.homeUnit();
    const TWFormatter &formatter = TWFormatter::formatter();
    const unsigned places = unit ? unit->decimalPlaces() : 2;
    const std::optional<QString> local =
        TWImportValues::localAmountText(value, formatter.locale(), places);
    bool ok = false;
    const qint64 amount = local ? formatter.valueFromString(*local, places, &ok) : 0;
    if (!ok) {
        unreadable(column, value);
        return 0;
    }
    return amount;
}

double TWImportWorkRows::number(const QString &value, const QString &column, bool percent)
{
    const std::optional<double> read = TWImportValues::readNumber(value, percent);
    if (!read || !std::isfinite(*read)) {
        unreadable(column, value);
        return 0;
    }
    return *read;
}

double TWImportWorkRows::duration(const QString &value, const QString &column)
{
    // Hours, minutes and perhaps seconds, each all digits: "1:30", "-0:45:10".
    QStringView rest = QStringView(value).trimmed();
    if (rest.startsWith(QLatin1Char('-')))
        rest = rest.mid(1);
    const QList<QStringView> parts = rest.split(QLatin1Char(':'));
    bool valid = parts.size() == 2 || parts.size() == 3;
    for (const QStringView part : parts) {
        const QStringView digits = part.trimmed();
        valid = valid && !digits.isEmpty() &&
                std::all_of(digits.begin(), digits.end(),
                            [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    }
    if (!valid) {
        unreadable(column, value);
        return 0;
    }
    return TWFormatter::formatter().timeValueFromString(value);
}

bool TWImportWorkRows::holdsValues(const QStringList &row)
{
    return std::any_of(row.begin(), row.end(), [](const QString &v) { return !v.isEmpty(); });
}

void TWImportWorkRows::unreadable(const QString &column, const QString &value)
{
    m_unreadable.add(TWImportWarnings::valueNotRead(m_rowNumber, column, value));
}

bool TWImportWorkRows::readShared(Shared &shared, qint32 code, const TWImportWorkField &line,
                                  const QString &value)
{
    switch (TWWorkSharedField(code)) {
    case TWWorkSharedField::Date:
        if (const QDateTime read = date(line, value, false); read.isValid()) {
            shared.date = read;
            return true;
        }
        // The record keeps today's date; the user is asked before it is taken.
        unreadable(line.sourceName(), value);
        return false;
    case TWWorkSharedField::Client:
        shared.clientText = value;
        return true;
    case TWWorkSharedField::Project:
        shared.projectText = value;
        return true;
    default:
        return false;
    }
}

void TWImportWorkRows::append(QString &text, const QString &value)
{
    text = text.isEmpty() ? value : text + QStringLiteral(" / ") + value;
}

TWImportWorkRun::Placed TWImportWorkRun::place(const TWImportWorkRows::Shared &shared,
                                               const QString &moneyText)
{
    Placed placed;
    placed.project = m_projects.rowProject(shared.clientText, shared.projectText, m_defaultProject,
                                           m_missingClients, m_missingProjects);
    if (!moneyText.isEmpty())
        placed.money = reader.amount(moneyText, placed.project, m_moneyColumn);
    return placed;
}

QString TWImportWorkRun::warnings(
    const char *unreadKey,
    const std::vector<std::pair<const char *, const TWImportWarningList *>> &more) const
{
    std::vector<std::pair<const char *, const TWImportWarningList *>> lists{
        {unreadKey, &reader.unreadableValues()},
        {"clientsNotFound", &m_missingClients},
        {"projectsNotFound", &m_missingProjects}};
    lists.insert(lists.end(), more.begin(), more.end());
    return TWImportWarnings::text(lists);
}
