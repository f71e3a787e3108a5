#include "import/core/TWImportTasks.h"

#include "foundation/TWClock.h"
#include "import/core/TWImportWarnings.h"
#include "import/core/TWImportWorkRows.h"
#include "model/TWFormatter.h"
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
    const TWFormatter &formatter = TWFormatter::formatter();
    const auto &lines = m_importSettings->importFields();
    TWImportWorkRun run(*m_business, *m_importSettings, qint32(TWTaskField::Rate));
    const QList<qint32> &codes = run.codes;
    TWImportWorkRows &reader = run.reader;
    TWImportWarningList unknownTypes;
    qint32 nextTask = m_business->nextTaskIdentifier();
    qint32 nextItem = m_business->nextTaskItemIdentifier();

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
        double estimate = 0;
        double quantity = 0;
        double taxRate = 0;
        const bool changed =
            reader.readRow(row, codes, lines, shared, [&](qint32 code, const QString &value) {
                switch (TWTaskField(code)) {
                case TWTaskField::Type:
                    // The type alone makes no task; a word not known keeps the default.
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
                    estimate = TWImportWarnings::leadingDouble(value);
                    return true;
                case TWTaskField::Quantity:
                    // "2:30:00" and "2:30" are durations: a quantity of hours,
                    // like "2.5".
                    quantity = value.contains(QLatin1Char(':'))
                                   ? formatter.timeValueFromString(value) / 3600.0
                                   : TWImportWarnings::leadingDouble(value);
                    return true;
                case TWTaskField::Rate:
                    // Read once the project, and with it the currency, is known.
                    rateText = value;
                    return true;
                case TWTaskField::TaxRate:
                    taxRate = TWImportWarnings::leadingDouble(value);
                    return true;
                case TWTaskField::Notes:
                    TWImportWorkRows::append(notes, value);
                    return true;
                default:
                    return false;
                }
            });
        if (!changed)
            continue;
        const TWImportWorkRun::Placed placed = run.place(shared, rateText);
        const bool timed = taskType == TWTaskTypeTimed;
        const TWTaskPtr task = TWTask::taskWithDate(
            shared.date, completed, name, taskType, estimate, timed ? 0.0 : quantity, placed.money,
            taxRate, notes, placed.project ? placed.project->identifier() : 0, nextTask++);
        m_tasks.append(task);
        if (!timed)
            continue;

        // The rows after a timed task are its time items, up to a row whose
        // type column says something other than "task item".
        TWTaskItemList items;
        for (; k < m_rows.size(); ++k) {
            const QStringList &itemRow = m_rows.at(k);
            QDateTime start;
            QDateTime end;
            QString itemNotes;
            bool itemChanged = false;
            bool ended = false;
            const qsizetype m = std::min<qsizetype>(itemRow.size(), codes.size());
            for (qsizetype j = 0; j < m && !ended; ++j) {
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
                    if (const QDateTime read = reader.date(*lines.at(j), value, true);
                        read.isValid()) {
                        (codes.at(j) == qint32(TWTaskField::StartDate) ? start : end) = read;
                        itemChanged = true;
                    } else {
                        reader.setRowNumber(k + 1);
                        reader.unreadable(lines.at(j)->sourceName(), value);
                    }
                    break;
                case TWTaskField::Type:
                    if (isTaskItemWord(value))
                        itemChanged = true;
                    else
                        ended = true;
                    break;
                default:
                    break;
                }
            }
            if (ended)
                break;
            if (!itemChanged)
                continue;
            // An item never ends before it starts: a missing start is the end,
            // a missing end is now, or the start when that is later.
            if (!end.isValid()) {
                const QDateTime now = TWClock::now();
                end = start.isValid() && start > now ? start : now;
            }
            if (!start.isValid())
                start = end;
            items.append(TWTaskItem::taskItemWithStartDateTime(start, end, itemNotes,
                                                               task->identifier(), nextItem++));
        }
        if (!items.isEmpty())
            task->setTaskItems(items);
    }

    const QString text = run.warnings({{"typesNotFound", &unknownTypes}});
    if (warnings)
        *warnings = text;
    return text.isNull();
}
