#include "import/core/TWImportDuplicates.h"

#include "foundation/TWDateAdditions.h"
#include "store/TWBusiness.h"
#include "store/TWWorkTotals.h"

#include <QHash>
#include <QSet>

#include <bit>
#include <optional>
#include <tuple>

namespace
{

// A quantity as exact bits: the stored test compares with ==, so 0 and -0
// are one value.
quint64 quantityBits(double quantity)
{
    return std::bit_cast<quint64>(quantity == 0.0 ? 0.0 : quantity);
}

struct TaskKey {
    qint32 project;
    quint32 taskType;
    qint64 rate;
    quint32 day;
    quint64 quantity;
    bool operator==(const TaskKey &) const = default;
};

struct ExpenseKey {
    qint32 project;
    qint64 cost;
    quint32 day;
    quint64 quantity;
    bool operator==(const ExpenseKey &) const = default;
};

size_t qHash(const TaskKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.project, key.taskType, key.rate, key.day, key.quantity);
}

size_t qHash(const ExpenseKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.project, key.cost, key.day, key.quantity);
}

// A record without a date matches nothing (as the stored tests answer).
std::optional<quint32> day(const QDateTime &date)
{
    if (!date.isValid())
        return std::nullopt;
    return TWDateAdditions::dateValue(date);
}

std::optional<TaskKey> taskKey(const TWTask &task, double quantity)
{
    const std::optional<quint32> taskDay = day(task.date());
    if (!taskDay)
        return std::nullopt;
    return TaskKey{task.projectIdentifier(), task.taskType(), task.rate(), *taskDay,
                   quantityBits(quantity)};
}

std::optional<ExpenseKey> expenseKey(const TWExpense &expense)
{
    const std::optional<quint32> expenseDay = day(expense.date());
    if (!expenseDay)
        return std::nullopt;
    return ExpenseKey{expense.projectIdentifier(), expense.cost(), *expenseDay,
                      quantityBits(expense.quantity())};
}

} // namespace

namespace TWImportDuplicates
{

QList<bool> transactions(const TWBusiness &business, const TWTransactionList &transactions)
{
    // The same entry written the other way round: a register exported from
    // one account lists that account first, the store may hold it second. A
    // split transaction's lines name their accounts whichever way round.
    TWTransactionList reversed;
    reversed.reserve(transactions.size());
    for (const TWTransactionPtr &transaction : transactions) {
        if (!transaction || transaction->hasSplit()) {
            reversed.append(nullptr);
            continue;
        }
        auto other = std::make_shared<TWTransaction>();
        other->setDate(transaction->date(), transaction->dayValue());
        other->setUnit(transaction->unit());
        other->setAccount1Identifier(transaction->account2Identifier());
        other->setAccount2Identifier(transaction->account1Identifier());
        other->setTotal(-transaction->total());
        reversed.append(other);
    }
    return business.matchTransactions(transactions, reversed);
}

QList<bool> tasks(TWBusiness &business, const TWTaskList &tasks)
{
    QSet<TaskKey> stored;
    stored.reserve(business.tasks().size());
    for (const TWTaskPtr &task : business.tasks()) {
        if (task) {
            if (const auto key = taskKey(*task, twQuantity(*task, business)))
                stored.insert(*key);
        }
    }
    QList<bool> matches;
    matches.reserve(tasks.size());
    for (const TWTaskPtr &task : tasks) {
        std::optional<TaskKey> key;
        if (task) {
            const TWProjectPtr project = business.projectWithIdentifier(task->projectIdentifier());
            key = taskKey(*task, task->quantityWithProject(project.get(), task->taskItems()));
        }
        matches.append(key && stored.contains(*key));
    }
    return matches;
}

QList<bool> expenses(const TWBusiness &business, const TWExpenseList &expenses)
{
    QSet<ExpenseKey> stored;
    stored.reserve(business.expenses().size());
    for (const TWExpensePtr &expense : business.expenses()) {
        if (expense) {
            if (const auto key = expenseKey(*expense))
                stored.insert(*key);
        }
    }
    QList<bool> matches;
    matches.reserve(expenses.size());
    for (const TWExpensePtr &expense : expenses) {
        const std::optional<ExpenseKey> key = expense ? expenseKey(*expense) : std::nullopt;
        matches.append(key && stored.contains(*key));
    }
    return matches;
}

} // namespace TWImportDuplicates
