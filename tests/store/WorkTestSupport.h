#pragma once
// Records for the work store tests: projects, tasks, time items and expenses
// with readable defaults.

#include "TWTestSupport.h"
#include "model/TWExpense.h"
#include "model/TWProject.h"
#include "model/TWTask.h"
#include "model/TWTaskItem.h"
#include "model/TWUnit.h"

#include <memory>
#include <tuple>

inline TWUnitPtr twWorkUnit(const QString &code)
{
    auto unit = std::make_shared<TWUnit>();
    unit->setCode(code);
    return unit;
}

inline TWProjectPtr twWorkProject(qint32 identifier, qint32 client, const QString &name,
                                  std::uint32_t type = TWProjectTypeProject)
{
    return TWProject::projectWithDate(twLocal(2024, 3, 1), false, name, type, QDateTime(),
                                      QDateTime(), 995, twWorkUnit(QStringLiteral("EUR")), 7.5,
                                      QString(), client, identifier);
}

inline TWTaskPtr twWorkTask(qint32 identifier, qint32 project, const QDateTime &date,
                            std::uint32_t taskType = TWTaskTypeTimed, qint64 rate = 10000)
{
    return TWTask::taskWithDate(date, false, QStringLiteral("Task %1").arg(identifier), taskType,
                                0.0, 0.0, rate, 0.0, QString(), project, identifier);
}

inline TWTaskItemPtr twWorkItem(qint32 identifier, qint32 task, const QDateTime &start,
                                const QDateTime &end)
{
    return TWTaskItem::taskItemWithStartDateTime(start, end, QString(), task, identifier);
}

inline TWExpensePtr twWorkExpense(qint32 identifier, qint32 project, const QDateTime &date,
                                  double quantity = 1.0, qint64 cost = 250)
{
    return TWExpense::expenseWithDate(date, QStringLiteral("Expense %1").arg(identifier), quantity,
                                      cost, 0.0, QString(), project, identifier);
}

template <class List> QList<qint32> twIdentifiers(const List &records)
{
    QList<qint32> result;
    for (const auto &record : records)
        result.append(record->identifier());
    return result;
}

// Every stored field of a record, for comparing a record with its reload.
inline auto twFields(const TWProject &p)
{
    return std::tuple(p.date(), p.completed(), p.name(), p.type(), p.startDate(), p.endDate(),
                      p.rate(), p.unit() ? p.unit()->code() : QString(), p.taxRate(), p.notes(),
                      p.clientIdentifier(), p.identifier());
}
inline auto twFields(const TWTask &t)
{
    return std::tuple(t.date(), t.completed(), t.name(), t.taskType(), t.estimate(), t.quantity(),
                      t.rate(), t.taxRate(), t.notes(), t.projectIdentifier(), t.identifier());
}
inline auto twFields(const TWTaskItem &i)
{
    return std::tuple(i.startDateTime(), i.endDateTime(), i.notes(), i.taskIdentifier(),
                      i.identifier());
}
inline auto twFields(const TWExpense &e)
{
    return std::tuple(e.date(), e.name(), e.quantity(), e.cost(), e.taxRate(), e.notes(),
                      e.projectIdentifier(), e.identifier());
}
