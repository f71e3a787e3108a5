#include "TWImportTasks.h"

#include "TWBusiness.h"
#include "TWClock.h"
#include "TWFormatter.h"
#include "TWImportWarnings.h"
#include "TWImportWorkRows.h"

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
    const QList<qint32> codes = m_importSettings
                                    ? TWImportWorkRows::codes(m_importSettings->importFields())
                                    : QList<qint32>();
    TWImportProjects(*m_business).missing(m_rows, codes, true, clients, projects);
}

bool TWImportTasks::processTasks(QString *warnings)
{
    if (warnings)
        *warnings = QString();
    m_tasks.clear();
    if (!m_importSettings)
        return true;
    TWBusiness &business = *m_business;
    const TWFormatter &formatter = TWFormatter::formatter();
    const auto &lines = m_importSettings->importFields();
    const QList<qint32> codes = TWImportWorkRows::codes(lines);
    TWImportWorkRows reader(business);
    TWImportProjects projects(business);
    TWImportWarningList missingClients;
    TWImportWarningList missingProjects;
    TWImportWarningList unknownTypes;
    qint32 nextTask = business.nextTaskIdentifier();
    qint32 nextItem = business.nextTaskItemIdentifier();

    qsizetype k = 0;
    while (k < m_rows.size()) {
        const QStringList &row = m_rows.at(k++);
        quint32 taskType = m_importSettings->defaultTaskType();
        QDateTime date;
        bool completed = false;
        QString name;
        QString notes;
        QString clientText;
        QString projectText;
        QString rateText;
        double estimate = 0;
        double quantity = 0;
        double taxRate = 0;
        bool changed = false;
        const qsizetype n = std::min<qsizetype>(row.size(), codes.size());
        for (qsizetype j = 0; j < n; ++j) {
            const QString &value = row.at(j);
            if (value.isEmpty() || codes.at(j) == 0)
                continue;
            switch (codes.at(j)) {
            case -1:
                if (const QDateTime read = reader.date(*lines.at(j), value, false);
                    read.isValid()) {
                    date = read;
                    changed = true;
                }
                break;
            case -2:
                clientText = value;
                changed = true;
                break;
            case -3:
                projectText = value;
                changed = true;
                break;
            case -4:
                if (const auto type = taskTypeForWord(value))
                    taskType = *type;
                else
                    unknownTypes.add(value);
                break;
            case -5:
                completed = TWImportWarnings::isTrue(value);
                changed = true;
                break;
            case -6:
                name = name.isEmpty() ? value : name + QStringLiteral(" / ") + value;
                changed = true;
                break;
            case -7:
                estimate = TWImportWarnings::leadingDouble(value);
                changed = true;
                break;
            case -10:
                quantity = value.contains(QLatin1Char(':'))
                               ? formatter.timeValueFromString(value)
                               : TWImportWarnings::leadingDouble(value);
                changed = true;
                break;
            case -11:
                // Read once the project, and with it the currency, is known.
                rateText = value;
                changed = true;
                break;
            case -13:
                taxRate = TWImportWarnings::leadingDouble(value);
                changed = true;
                break;
            case -15:
                notes = notes.isEmpty() ? value : notes + QStringLiteral(" / ") + value;
                changed = true;
                break;
            default:
                break;
            }
        }
        if (!changed)
            continue;
        const TWProjectPtr project =
            projects.rowProject(clientText, projectText, m_importSettings->defaultProject(),
                                missingClients, missingProjects);
        const qint64 rate = rateText.isEmpty() ? 0 : reader.amount(rateText, project);
        const bool timed = taskType == TWTaskTypeTimed;
        const TWTaskPtr task = TWTask::taskWithDate(
            date, completed, name, taskType, estimate, timed ? 0.0 : quantity, rate, taxRate, notes,
            project ? project->identifier() : 0, nextTask++);
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
                switch (codes.at(j)) {
                case -15:
                    itemNotes =
                        itemNotes.isEmpty() ? value : itemNotes + QStringLiteral(" / ") + value;
                    itemChanged = true;
                    break;
                case -8:
                case -9:
                    if (const QDateTime read = reader.date(*lines.at(j), value, true);
                        read.isValid()) {
                        (codes.at(j) == -8 ? start : end) = read;
                        itemChanged = true;
                    }
                    break;
                case -4:
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

    const QString text = TWImportWarnings::text({{"clientsNotFound", &missingClients},
                                                 {"projectsNotFound", &missingProjects},
                                                 {"typesNotFound", &unknownTypes}});
    if (warnings)
        *warnings = text;
    return text.isNull();
}
