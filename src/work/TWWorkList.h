#pragma once
// What the work lists (a client's projects, the tasks and their time items,
// the expenses, a merchant's bills) do alike: their columns, the strip of
// buttons and totals under a table, rows to records and back, import ticks,
// copying records under fresh identifiers, confirming a deletion, and the
// project a task or expense belongs to. Each list keeps what is its own.

#include "app/TWBusinessController.h"
#include "foundation/TWError.h"
#include "model/TWClient.h"
#include "model/TWInvoice.h"
#include "model/TWProject.h"
#include "work/TWWorkTable.h"

#include <QHash>
#include <QList>
#include <QString>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

class QLabel;
class QMenu;
class QObject;
class QPushButton;
class QToolButton;
class QWidget;
class TWBusiness;
class TWBusinessController;
class TWUnit;

namespace TWWorkList
{

// A column; the header's title is the identifier's strings key unless named.
TWWorkColumn column(int tag, const char *identifier, TWWorkColumn::Kind kind = TWWorkColumn::Text,
                    bool right = false, int minimumFit = 0, const char *titleKey = nullptr,
                    const char *menuKey = nullptr);

// The strip under a list: add and delete on the left, the count in the
// middle, the total on the right.
struct Bar {
    QWidget *widget = nullptr;
    QToolButton *add = nullptr;
    QPushButton *remove = nullptr;
    QLabel *count = nullptr;
    QLabel *total = nullptr;
};
Bar makeBar(QWidget *parent, const QString &countName, const QString &totalName);

// "3 tasks" and the total of all; with rows selected "1 / 3 tasks" and
// "selected / all". The selected total is only computed when rows are.
void showCountTotal(QLabel *count, QLabel *total, qsizetype listed, const QString &noun,
                    qsizetype selected, const QString &allTotal,
                    const std::function<QString()> &selectedTotal);

// A context menu with nothing in it is not shown: null, and the menu is gone.
QMenu *shownOrNone(QMenu *menu);

// Asks before deleting `count` records; `confirmed` runs on the delete button
// only, and only while `owner` lives.
void confirmDeletion(QObject *owner, qsizetype count, const char *title, const char *titlePlural,
                     const char *button, const char *buttonPlural, QWidget *window,
                     std::function<void()> confirmed, const QString &informative = {});
// Before deleting tasks or expenses: says which invoices bill them and stops,
// with nothing deleted, when one of those is of a closed period (answering
// false); otherwise asks as confirmDeletion does, naming the invoices that
// will no longer bill them and, of those sent or paid, what the client will
// then be owed on them.
bool confirmBilledDeletion(QObject *owner, TWBusiness &business, const TWInvoiceList &billed,
                           const TWTaskList &tasks, const TWExpenseList &expenses, qsizetype count,
                           const char *title, const char *titlePlural, const char *button,
                           const char *buttonPlural, QWidget *window,
                           std::function<void()> confirmed);

// Before storing edited tasks or expenses: when the edit changes what a
// sent or paid invoice bills, asks first, naming those invoices and what the
// client will then be owed on each, and saves only on the first button;
// otherwise saves at once (an invoice of closed books refuses the save
// itself). Estimates' documents are never named.
void confirmBilledEdit(QObject *owner, TWBusiness &business, const TWTaskList &tasks,
                       const TWExpenseList &expenses, QWidget *window, std::function<void()> save);

// The project a task or expense names, its client and its currency.
TWProjectPtr projectOf(const TWBusiness *business, qint32 projectIdentifier);
TWClientPtr clientOf(const TWBusiness *business, const TWProjectPtr &project);
const TWUnit *unitOf(const TWProjectPtr &project);
// An amount in a list cell or total.
QString money(qint64 value, const TWUnit *unit);

// The records of the given rows, rows out of range left out.
template <class List> List recordsForRows(const List &records, const QList<int> &rows)
{
    List result;
    for (int row : rows)
        if (row >= 0 && row < records.size())
            result.append(records.at(row));
    return result;
}

// Each record's row by its identifier.
template <class List> QHash<qint32, int> rowIndex(const List &records)
{
    QHash<qint32, int> rows;
    for (int row = 0; row < records.size(); ++row)
        if (records.at(row))
            rows.insert(records.at(row)->identifier(), row);
    return rows;
}

// Reorders the records by a key read once per record (a moment, a number): stable, so equal
// keys keep their order. The keys lie side by side, and the sort does not reach into the
// records, which on a long list no longer stay in the processor's caches.
template <class List, class KeyOf> void sortByKey(List &records, KeyOf keyOf, bool ascending)
{
    using Record = typename List::value_type;
    using Key = decltype(keyOf(*records.first()));
    std::vector<std::pair<Key, Record>> keyed;
    keyed.reserve(size_t(records.size()));
    for (const Record &record : std::as_const(records))
        keyed.emplace_back(keyOf(*record), record);
    std::stable_sort(keyed.begin(), keyed.end(), [ascending](const auto &a, const auto &b) {
        return ascending ? a.first < b.first : b.first < a.first;
    });
    records.clear();
    for (auto &entry : keyed)
        records.append(std::move(entry.second));
}

// Each record's row by its identifier, read when first asked after the rows changed: an update
// that sorts and lists several times builds it once, when a row is looked up.
class RowIndex
{
public:
    void forget() { m_read = false; }
    template <class List> const QHash<qint32, int> &of(const List &records) const
    {
        if (!m_read) {
            m_rows = rowIndex(records);
            m_read = true;
        }
        return m_rows;
    }

private:
    mutable QHash<qint32, int> m_rows;
    mutable bool m_read = false;
};

// Ticks or unticks an import record (records are matched as objects).
template <class List, class Ptr> void setTicked(List &ticked, const Ptr &record, bool on)
{
    const auto found = std::find(ticked.begin(), ticked.end(), record);
    if (on && found == ticked.end())
        ticked.append(record);
    else if (!on && found != ticked.end())
        ticked.erase(found);
}

// Puts `edited` where `original` stands. File records are matched as
// objects: their identifiers may repeat stored ones.
template <class List, class Ptr>
void replaceRecord(List &records, const Ptr &original, const Ptr &edited)
{
    for (Ptr &record : records)
        if (record == original)
            record = edited;
}

// Copies each record under an identifier from `nextIdentifier` and adds it
// through `add` (which may adjust the copy first); stops at the first failure.
// `added` counts the copies stored, so the caller can post one notification.
template <class List, class NextIdentifier, class Add>
TWErrorResult duplicateRecords(const List &records, const TWBusinessController *document,
                               NextIdentifier nextIdentifier, Add add, int &added)
{
    for (const auto &record : records) {
        const qint32 identifier = nextIdentifier();
        if (identifier == 0)
            return TWBusinessController::lastStoreError(document);
        const auto copy = record->copy();
        copy->setIdentifier(identifier);
        if (TWErrorResult failure = add(copy))
            return failure;
        ++added;
    }
    return std::nullopt;
}

// Deletes each record through `remove`; stops at the first failure and
// answers it.
template <class List, class Remove> TWErrorResult deleteRecords(const List &records, Remove remove)
{
    for (const auto &record : records)
        if (TWErrorResult failure = remove(record))
            return failure;
    return std::nullopt;
}

} // namespace TWWorkList
