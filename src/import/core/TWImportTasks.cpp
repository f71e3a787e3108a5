#include "import/core/TWImportTasks.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "import/core/TWImportWarnings.h"
#include "import/core/TWImportWorkRows.h"
#include "model/TWWorkFields.h"
#include "store/TWBusiness.h"

namespace
{

bool isTaskItemWord(const QString &value)
{
    return value.compare(QLatin1String("task item"), Qt::CaseInsensitive) == 0;
}

} // namespace

TWImportTasks::TWImportTasks(const QList<QStringList> &rows,
                             const TWImportTasksSettingsPtr &importSettings, TWBusiness &business)
    : m_rows(rows), m_importSettings(importSettings), m_business(&business)
{
}

std::shared_ptr<TWImportTasks>
TWImportTasks::importTasksWithRows(const QList<QStringList> &rows,
                                   const TWImportTasksSettingsPtr &importSettings,
                                   TWBusiness &business)
{
    return std::make_shared<TWImportTasks>(rows, importSettings, business);
}

std::optional<quint32> TWImportTasks::taskTypeForWord(const QString &word)
{
    static const struct {
        const char *word;
        quint32 type;
    } kWords[] = {{"timed", TWTaskTypeTimed}, {"flat", TWTaskTypeFlat},
                  {"hour", TWTaskTypeHour},   {"day", TWTaskTypeDay},
                  {"week", TWTaskTypeWeek},   {"quarter", TWTaskTypeQuarter},
                  {"year", TWTaskTypeYear}};
    for (const auto &entry : kWords) {
        if (word.compare(QLatin1String(entry.word), Qt::CaseInsensitive) == 0)
            return entry.type;
    }
    return std::nullopt;
}

void TWImportTasks::missingClients(QStringList *clients, TWImportMissingProjects *projects)
{
    TWImportProjects(*m_business)
        .missing(m_rows, TWImportWorkRows::codesOf(m_importSettings), true, clients, projects);
}

bool TWImportTasks::processTasks(QString *warnings)
{
    if (warnings)
        *warnings = QString();
    m_tasks.clear();
    if (!m_importSettings)
        return true;
    const auto &lines = m_importSettings->importFields();
    TWImportWorkRun run(*m_business, *m_importSettings, qint32(TWTaskField::Rate));
    const QList<qint32> &codes = run.codes;
    TWImportWorkRows &reader = run.reader;
    TWImportWarningList unknownTypes;
    // Rows that hold values but give no task or item ("row 7").
    TWImportWarningList dropped;
    // Quantities of timed tasks, whose time comes from their items: the user
    // may want another type ("row 3 (2.5)").
    TWImportWarningList setAside;
    // A timed task row's start and end that make no time item: days of a
    // plan, or only one end ("row 2: 6/3/24 – 6/14/24").
    TWImportWarningList spans;
    const auto drop = [&dropped](qsizetype rowNumber) {
        dropped.add(TWLocalized("importRowNumber").arg(rowNumber));
    };
    qint32 nextTask = m_business->nextTaskIdentifier();
    qint32 nextItem = m_business->nextTaskItemIdentifier();

    // A time item of `task` from what a row gives (start, end, both or
    // neither); it never ends before it starts: a missing start is the end,
    // a missing end is now, or the start when that is later.
    const auto addItem = [&nextItem](TWTaskItemList &items, const TWTask &task, QDateTime start,
                                     QDateTime end, const QString &notes) {
        if (!end.isValid()) {
            const QDateTime now = TWClock::now();
            end = start.isValid() && start > now ? start : now;
        }
        if (!start.isValid())
            start = end;
        items.append(TWTaskItem::taskItemWithStartDateTime(start, end, notes, task.identifier(),
                                                           nextItem++));
    };
    // Reads a start or end value into `moment`; false (and the value named)
    // when it does not read.
    const auto readMoment = [&reader](const TWImportWorkField &line, const QString &value,
                                      QDateTime &moment) {
        const QDateTime read = reader.date(line, value, true);
        if (!read.isValid()) {
            reader.unreadable(line.sourceName(), value);
            return false;
        }
        moment = read;
        return true;
    };

    // The row's own start and end are its first time item when both name a
    // moment of work: a date with a time of day, or a time of day alone on
    // the row's date (a time tracker's "09:00"). A plan's days, or one end
    // alone, are set aside and named rather than billed as days of hours.
    const auto rowItem = [&](TWTaskItemList &items, const TWTask &task, const QDate &day,
                             const std::pair<const TWImportWorkField *, QString> &rowStart,
                             const std::pair<const TWImportWorkField *, QString> &rowEnd,
                             qsizetype rowNumber) {
        if (!rowStart.first && !rowEnd.first)
            return false;
        bool unread = false;
        const auto read = [&](const std::pair<const TWImportWorkField *, QString> &value) {
            std::optional<TWImportWorkRows::Moment> moment;
            if (value.first) {
                moment = reader.moment(*value.first, value.second, day);
                if (!moment) {
                    reader.unreadable(value.first->sourceName(), value.second);
                    unread = true;
                }
            }
            return moment;
        };
        const std::optional<TWImportWorkRows::Moment> start = read(rowStart);
        const std::optional<TWImportWorkRows::Moment> end = read(rowEnd);
        if (start && end && start->timeOfDay && end->timeOfDay) {
            // A stretch past midnight: its end's time of day is on the next day.
            QDateTime endAt = end->at;
            if (end->dayFromRow && endAt < start->at)
                endAt = endAt.addDays(1);
            addItem(items, task, start->at, endAt, QString());
            return true;
        }
        // A value not read is named as such already.
        if (!unread) {
            const auto shown = [](const QString &value) {
                return value.trimmed().isEmpty() ? TWLocalized("importEmptyValue") : value;
            };
            spans.add(TWLocalized("importRowSpan")
                          .arg(rowNumber)
                          .arg(shown(rowStart.second), shown(rowEnd.second)));
        }
        return false;
    };

    qsizetype k = 0;
    while (k < m_rows.size()) {
        const QStringList &row = m_rows.at(k++);
        reader.setRowNumber(k);
        quint32 taskType = m_importSettings->defaultTaskType();
        TWImportWorkRows::Shared shared;
        bool completed = false;
        QString name;
        QString notes;
        QString rateText;
        QString estimateText;
        QString estimateColumn;
        double quantity = 0;
        QString quantityText;
        double taxRate = 0;
        // A row of a time tracker's export is one stretch of work: its own
        // start and end are the first time item of a timed task.
        std::pair<const TWImportWorkField *, QString> rowStart;
        std::pair<const TWImportWorkField *, QString> rowEnd;
        const bool changed = reader.readRow(
            row, codes, lines, shared,
            [&](qint32 code, const QString &value, const TWImportWorkField &line) {
                switch (TWTaskField(code)) {
                case TWTaskField::Type:
                    // The type alone makes no task; a word not known keeps the
                    // default.
                    if (const auto type = taskTypeForWord(value))
                        taskType = *type;
                    else
                        unknownTypes.add(value);
                    return false;
                case TWTaskField::Completed:
                    completed = TWImportWarnings::isTrue(value);
                    return true;
                case TWTaskField::Name:
                    TWImportWorkRows::append(name, value);
                    return true;
                case TWTaskField::Estimate:
                    // Read once the type is known: a timed task's estimate is
                    // time.
                    estimateText = value;
                    estimateColumn = line.sourceName();
                    return true;
                case TWTaskField::Quantity:
                    // "2:30:00" and "2:30" are durations: a quantity of hours,
                    // like "2.5".
                    quantity = TWImportWorkRows::quantity(
                        value.contains(QLatin1Char(':'))
                            ? reader.duration(value, line.sourceName()) / 3600.0
                            : reader.number(value, line.sourceName()));
                    quantityText = value;
                    return true;
                case TWTaskField::StartDate:
                case TWTaskField::EndDate:
                    // No task of its own: read as its item once the task is
                    // known to be timed.
                    (code == qint32(TWTaskField::StartDate) ? rowStart : rowEnd) = {&line, value};
                    return false;
                case TWTaskField::Rate:
                    // Read once the project, and with it the currency, is known.
                    rateText = value;
                    return true;
                case TWTaskField::TaxRate:
                    taxRate = reader.number(value, line.sourceName(), true);
                    return true;
                case TWTaskField::Notes:
                    TWImportWorkRows::append(notes, value);
                    return true;
                default:
                    return false;
                }
            });
        if (!changed) {
            if (TWImportWorkRows::holdsValues(row))
                drop(k);
            continue;
        }
        const TWImportWorkRun::Placed placed = run.place(shared, rateText);
        const bool timed = taskType == TWTaskTypeTimed;
        // An estimate written as a duration is seconds for a timed task (what
        // its editor shows as time), hours for any other.
        double estimate = 0;
        if (estimateText.contains(QLatin1Char(':'))) {
            estimate = reader.duration(estimateText, estimateColumn);
            if (!timed)
                estimate = TWImportWorkRows::quantity(estimate / 3600.0);
        } else if (!estimateText.isEmpty()) {
            estimate = reader.number(estimateText, estimateColumn);
        }
        const TWTaskPtr task = TWTask::taskWithDate(
            shared.date, completed, name, taskType, estimate, timed ? 0.0 : quantity, placed.money,
            taxRate, notes, placed.project ? placed.project->identifier() : 0, nextTask++);
        m_tasks.append(task);
        if (!timed)
            continue;
        TWTaskItemList items;
        if (!rowItem(items, *task, shared.date.date(), rowStart, rowEnd, k) && quantity != 0)
            setAside.add(TWLocalized("importRowValue").arg(k).arg(quantityText));

        // The rows after a timed task are its time items, up to a row whose
        // type column says something other than "task item", or, without such
        // a word, a row that carries values of a task of its own.
        for (; k < m_rows.size(); ++k) {
            const QStringList &itemRow = m_rows.at(k);
            reader.setRowNumber(k + 1);
            const qsizetype m = std::min<qsizetype>(itemRow.size(), codes.size());
            std::optional<bool> saysItem; // what a type column says
            bool taskValues = false;
            for (qsizetype j = 0; j < m; ++j) {
                if (itemRow.at(j).isEmpty())
                    continue;
                switch (TWTaskField(codes.at(j))) {
                case TWTaskField::Type:
                    saysItem = saysItem.value_or(true) && isTaskItemWord(itemRow.at(j));
                    break;
                case TWTaskField::Date:
                case TWTaskField::Client:
                case TWTaskField::Project:
                case TWTaskField::Completed:
                case TWTaskField::Name:
                case TWTaskField::Estimate:
                case TWTaskField::Rate:
                case TWTaskField::TaxRate:
                    taskValues = true;
                    break;
                default:
                    break;
                }
            }
            if (!saysItem.value_or(!taskValues))
                break;

            QDateTime start;
            QDateTime end;
            QString itemNotes;
            bool itemChanged = saysItem.value_or(false);
            for (qsizetype j = 0; j < m; ++j) {
                const QString &value = itemRow.at(j);
                if (value.isEmpty())
                    continue;
                switch (TWTaskField(codes.at(j))) {
                case TWTaskField::Notes:
                    TWImportWorkRows::append(itemNotes, value);
                    itemChanged = true;
                    break;
                case TWTaskField::StartDate:
                case TWTaskField::EndDate:
                    if (readMoment(*lines.at(j), value,
                                   codes.at(j) == qint32(TWTaskField::StartDate) ? start : end))
                        itemChanged = true;
                    break;
                default:
                    break;
                }
            }
            if (!itemChanged) {
                if (TWImportWorkRows::holdsValues(itemRow))
                    drop(k + 1);
                continue;
            }
            addItem(items, *task, start, end, itemNotes);
        }
        if (!items.isEmpty())
            task->setTaskItems(items);
    }

    const QString text =
        run.warnings("taskValuesNotRead", {{"typesNotFound", &unknownTypes},
                                           {"timedQuantitiesNotImported", &setAside},
                                           {"timedSpansNotImported", &spans},
                                           {"rowsNotImported", &dropped}});
    if (warnings)
        *warnings = text;
    return text.isNull();
}
