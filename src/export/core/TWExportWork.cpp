#include "export/core/TWExportWork.h"

#include "export/core/TWExportNumbers.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "model/TWUtilities.h"
#include "model/TWWorkFields.h"
#include "store/TWBusiness.h"
#include "store/TWWorkTotals.h"

#include <algorithm>

namespace
{

constexpr quint32 kAmount = 0;
constexpr quint32 kText = 1;
constexpr quint32 kDateType = 2;

// The cells of one table: each takes the current row and column; a gap only
// moves the column, so later cells stay under their headers.
class Table
{
public:
    Table(TWCellList &cells, quint32 &row, quint32 &column)
        : m_cells(cells), m_row(row), m_column(column)
    {
    }

    void add(const QString &value, quint32 type = kText, const QVariant &rawValue = QVariant(),
             bool header = false)
    {
        m_cells.append(TWCell(value, rawValue, QUrl(), 0, TWCellJustifyLeft, type, m_row, m_column,
                              true, header, true, 1));
        ++m_column;
    }
    // A text that may be missing.
    void text(const QString &value)
    {
        if (value.isEmpty())
            gap();
        else
            add(value);
    }
    void gap() { ++m_column; }
    void startRow() { m_column = 0; }
    void endRow() { ++m_row; }

private:
    TWCellList &m_cells;
    quint32 &m_row;
    quint32 &m_column;
};

// The parts of an item that come from its project.
struct ProjectParts {
    TWUnitPtr unit;
    QString projectName;
    QString clientName;
};

ProjectParts projectParts(const TWBusiness *business, qint32 projectIdentifier)
{
    ProjectParts parts;
    const TWProjectPtr project =
        business ? business->projectWithIdentifier(projectIdentifier) : nullptr;
    if (!project)
        return parts;
    parts.unit = project->unit();
    parts.projectName = project->name();
    if (const TWClientPtr client = business->clientWithIdentifier(project->clientIdentifier()))
        parts.clientName = client->name();
    return parts;
}

QString percentText(double rate)
{
    return QStringLiteral("%1%").arg(twShortestNumber(float(rate)));
}

// The header row: each field's name over its column.
template <class FieldName>
void headerRow(Table &table, const QList<qint32> &fields, FieldName fieldName)
{
    table.startRow();
    for (const qint32 code : fields)
        table.add(fieldName(code), kText, QVariant(), true);
    table.endRow();
}

// An amount in the currency of the item's project.
QString moneyText(const TWFormatter &formatter, qint64 value, const ProjectParts &parts,
                  bool displayGroupingSeparator)
{
    return formatter.valueString(value, parts.unit.get(), false, displayGroupingSeparator, false,
                                 true, true);
}

// The date, client and project columns, which tasks and expenses write alike;
// false for any other field.
template <class Item>
bool sharedCell(Table &table, const TWFormatter &formatter, qint32 code, const Item &item,
                const ProjectParts &parts)
{
    switch (TWWorkSharedField(code)) {
    case TWWorkSharedField::Date:
        table.add(formatter.shortDateString(item.date()), kDateType, item.date());
        return true;
    case TWWorkSharedField::Client:
        table.text(parts.clientName);
        return true;
    case TWWorkSharedField::Project:
        table.text(parts.projectName);
        return true;
    default:
        return false;
    }
}

// One task's or expense's row: the shared columns, then `cell(code, money)`
// for every other field, amounts in the currency of the item's project.
template <class Item, class Cell>
void itemRow(Table &table, const TWFormatter &formatter, const QList<qint32> &fields,
             const Item &item, bool displayGroupingSeparator, TWBusiness *business, Cell cell)
{
    const ProjectParts parts = projectParts(business, item.projectIdentifier());
    const auto money = [&](qint64 value) {
        return moneyText(formatter, value, parts, displayGroupingSeparator);
    };
    table.startRow();
    for (const qint32 code : fields) {
        if (!sharedCell(table, formatter, code, item, parts))
            cell(code, money);
    }
    table.endRow();
}

const char *const kTaskTypeWords[] = {"timed", "flat",  "hour",    "day",
                                      "week",  "month", "quarter", "year"};

} // namespace

// ---- Tasks ----

TWExportTasks::TWExportTasks(TWTaskList tasks, bool displayGroupingSeparator,
                             TWExportTasksSettingsPtr exportSettings, TWBusiness *business)
    : m_tasks(std::move(tasks)), m_displayGroupingSeparator(displayGroupingSeparator),
      m_exportSettings(std::move(exportSettings)), m_business(business)
{
}

std::unique_ptr<TWExportTasks>
TWExportTasks::exportTasksWithTasks(const TWTaskList &tasks, bool displayGroupingSeparator,
                                    const TWExportTasksSettingsPtr &exportSettings,
                                    TWBusiness *business)
{
    return std::make_unique<TWExportTasks>(tasks, displayGroupingSeparator, exportSettings,
                                           business);
}

TWCellList TWExportTasks::cells()
{
    TWCellList cells;
    cells.reserve(1024);
    if (!m_exportSettings)
        return cells;
    const TWFormatter &formatter = TWFormatter::formatter();
    const QList<qint32> &fields = m_exportSettings->fields();
    const QDateTime from = TWUtilities::intervalFromDate(m_exportSettings->interval(),
                                                         m_exportSettings->intervalFromDate());
    const QDateTime to = TWUtilities::intervalToDate(m_exportSettings->interval(),
                                                     m_exportSettings->intervalToDate());
    Table table(cells, m_row, m_column);

    headerRow(table, fields, [&](qint32 code) { return formatter.taskFieldString(code); });

    const std::uint32_t timeFormat = TWPreferences::preferences().timeFormat();
    // Quantities and times go out as files hold numbers ("2.50"), whatever
    // the locale shows.
    const TWFormatter plain(QLocale::c());
    const auto timeText = [&](double seconds) {
        return plain.timeString(seconds, false, timeFormat);
    };
    for (const TWTaskPtr &task : m_tasks) {
        if (!task)
            continue;
        const auto cell = [&](qint32 code, const auto &money) {
            switch (TWTaskField(code)) {
            case TWTaskField::Type:
                if (task->taskType() < std::size(kTaskTypeWords))
                    table.add(QString::fromLatin1(kTaskTypeWords[task->taskType()]));
                else
                    table.gap();
                break;
            case TWTaskField::Completed:
                table.add(QString::number(task->completed() ? 1 : 0), kAmount);
                break;
            case TWTaskField::Name:
                table.text(task->name());
                break;
            case TWTaskField::Estimate:
                table.add(m_business ? task->quantityString(task->estimate(), timeText)
                                     : twShortestNumber(task->estimate()));
                break;
            case TWTaskField::Quantity:
                table.add(m_business
                              ? task->quantityString(twQuantity(*task, *m_business), timeText)
                              : twShortestNumber(task->quantity()));
                break;
            case TWTaskField::Rate:
                table.add(money(task->rate()));
                break;
            case TWTaskField::Subtotal:
                table.add(money(m_business ? twSubtotal(*task, *m_business) : 0));
                break;
            case TWTaskField::TaxRate:
                table.add(percentText(task->taxRate()));
                break;
            case TWTaskField::Total:
                table.add(money(m_business ? twTotal(*task, *m_business) : 0));
                break;
            case TWTaskField::Notes:
                table.text(task->notes());
                break;
            default:
                table.gap();
            }
        };
        itemRow(table, formatter, fields, *task, m_displayGroupingSeparator, m_business, cell);

        if (task->taskType() != TWTaskTypeTimed || !m_business)
            continue;
        TWTaskItemList items = m_business->taskItemsWithTask(*task);
        std::stable_sort(items.begin(), items.end(),
                         [](const TWTaskItemPtr &a, const TWTaskItemPtr &b) {
                             return a && b && a->compare(*b) < 0;
                         });
        for (const TWTaskItemPtr &item : items) {
            if (!item || (from.isValid() && item->startDateTime() < from) ||
                (to.isValid() && item->startDateTime() > to))
                continue;
            table.startRow();
            for (const qint32 code : fields) {
                switch (TWTaskField(code)) {
                case TWTaskField::Type:
                    table.add(QStringLiteral("task item"));
                    break;
                case TWTaskField::StartDate:
                    table.add(formatter.shortDateTimeString(item->startDateTime()), kDateType,
                              item->startDateTime());
                    break;
                case TWTaskField::EndDate:
                    table.add(formatter.shortDateTimeString(item->endDateTime()), kDateType,
                              item->endDateTime());
                    break;
                case TWTaskField::Quantity:
                    table.add(plain.timeString(item->duration(), true, timeFormat));
                    break;
                case TWTaskField::Notes:
                    table.text(item->notes());
                    break;
                default:
                    table.gap();
                }
            }
            table.endRow();
        }
    }
    return cells;
}

// ---- Expenses ----

TWExportExpenses::TWExportExpenses(TWExpenseList expenses, bool displayGroupingSeparator,
                                   TWExportExpensesSettingsPtr exportSettings, TWBusiness *business)
    : m_expenses(std::move(expenses)), m_displayGroupingSeparator(displayGroupingSeparator),
      m_exportSettings(std::move(exportSettings)), m_business(business)
{
}

std::unique_ptr<TWExportExpenses> TWExportExpenses::exportExpensesWithExpenses(
    const TWExpenseList &expenses, bool displayGroupingSeparator,
    const TWExportExpensesSettingsPtr &exportSettings, TWBusiness *business)
{
    return std::make_unique<TWExportExpenses>(expenses, displayGroupingSeparator, exportSettings,
                                              business);
}

TWCellList TWExportExpenses::cells()
{
    TWCellList cells;
    cells.reserve(1024);
    if (!m_exportSettings)
        return cells;
    const TWFormatter &formatter = TWFormatter::formatter();
    const QList<qint32> &fields = m_exportSettings->fields();
    Table table(cells, m_row, m_column);

    headerRow(table, fields, [&](qint32 code) { return formatter.expenseFieldString(code); });

    for (const TWExpensePtr &expense : m_expenses) {
        if (!expense)
            continue;
        const auto cell = [&](qint32 code, const auto &money) {
            switch (TWExpenseField(code)) {
            case TWExpenseField::Name:
                table.text(expense->name());
                break;
            case TWExpenseField::Quantity:
                table.add(twShortestNumber(expense->quantity()));
                break;
            case TWExpenseField::Cost:
                table.add(money(expense->cost()));
                break;
            case TWExpenseField::Subtotal:
                table.add(money(expense->subtotal()));
                break;
            case TWExpenseField::TaxRate:
                table.add(percentText(expense->taxRate()));
                break;
            case TWExpenseField::Total:
                table.add(money(expense->total()));
                break;
            case TWExpenseField::Notes:
                table.text(expense->notes());
                break;
            default:
                table.gap();
            }
        };
        itemRow(table, formatter, fields, *expense, m_displayGroupingSeparator, m_business, cell);
    }
    return cells;
}
