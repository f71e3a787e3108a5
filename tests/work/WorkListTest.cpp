// The pieces the work lists share: copies under fresh identifiers that stop
// at the first refused write, deletion asked once and acted on only by its
// delete button while the list lives, the count and total line, and rows
// mapped to records and back.

#include "work/TWWorkList.h"

#include "app/TWAlert.h"

#include "foundation/TWLocalized.h"

#include <QLabel>
#include <QMenu>
#include <QPointer>

#include <gtest/gtest.h>

#include <memory>

namespace
{

struct Record {
    qint32 number = 0;
    QString name;
    qint32 identifier() const { return number; }
    void setIdentifier(qint32 identifier) { number = identifier; }
    std::shared_ptr<Record> copy() const { return std::make_shared<Record>(*this); }
};
using RecordPtr = std::shared_ptr<Record>;
using RecordList = QList<RecordPtr>;

RecordPtr record(qint32 identifier, const QString &name = {})
{
    return std::make_shared<Record>(Record{identifier, name});
}

class WorkList : public ::testing::Test
{
protected:
    void SetUp() override
    {
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            shown.push_back(alert);
            pending = std::move(completion);
        });
    }
    void TearDown() override { twSetAlertPresenter({}); }

    std::vector<TWAlert> shown;
    TWAlertCompletion pending;
};

} // namespace

TEST_F(WorkList, DuplicatesTakeFreshIdentifiersAndStopAtTheFirstRefusal)
{
    const RecordList originals = {record(4, QStringLiteral("a")), record(5, QStringLiteral("b")),
                                  record(6, QStringLiteral("c"))};
    qint32 next = 20;
    RecordList stored;
    int added = 0;
    const TWErrorResult failure = TWWorkList::duplicateRecords(
        originals, nullptr, [&next] { return next++; },
        [&stored](const RecordPtr &copy) -> TWErrorResult {
            if (copy->name == QStringLiteral("b"))
                return TWError(QStringLiteral("Refused"), 7, QStringLiteral("no room"));
            stored.append(copy);
            return std::nullopt;
        },
        added);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->code(), 7);
    // Only what was stored counts, and "c" is never tried after the refusal.
    EXPECT_EQ(added, 1);
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored.constFirst()->identifier(), 20);
    EXPECT_NE(stored.constFirst(), originals.constFirst());
    EXPECT_EQ(next, 22);
    // The originals keep their identifiers.
    EXPECT_EQ(originals.at(0)->identifier(), 4);
    EXPECT_EQ(originals.at(1)->identifier(), 5);
}

TEST_F(WorkList, DeletionsStopAtTheFirstRefusalAndAnswerIt)
{
    const RecordList records = {record(4, QStringLiteral("a")), record(5, QStringLiteral("b")),
                                record(6, QStringLiteral("c"))};
    QList<qint32> tried;
    const TWErrorResult failure =
        TWWorkList::deleteRecords(records, [&tried](const RecordPtr &r) -> TWErrorResult {
            tried.append(r->identifier());
            if (r->name == QStringLiteral("b"))
                return TWError(QStringLiteral("Refused"), 8, QStringLiteral("locked"));
            return std::nullopt;
        });
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->code(), 8);
    EXPECT_EQ(tried, (QList<qint32>{4, 5}));
    EXPECT_OK(TWWorkList::deleteRecords(RecordList{records.first()},
                                        [](const RecordPtr &) -> TWErrorResult { return {}; }));
}

TEST_F(WorkList, ADuplicateWithoutAnIdentifierIsAnErrorNotASilentStop)
{
    int added = 0;
    bool tried = false;
    const TWErrorResult failure = TWWorkList::duplicateRecords(
        RecordList{record(1)}, nullptr, [] { return qint32(0); },
        [&tried](const RecordPtr &) -> TWErrorResult {
            tried = true;
            return std::nullopt;
        },
        added);
    EXPECT_TRUE(failure.has_value());
    EXPECT_FALSE(tried);
    EXPECT_EQ(added, 0);
}

TEST_F(WorkList, DeletionRunsOnlyOnItsButtonAndOnlyWhileTheListLives)
{
    int runs = 0;
    auto owner = std::make_unique<QObject>();
    const auto ask = [&](qsizetype count) {
        TWWorkList::confirmDeletion(owner.get(), count, "deleteTaskTitle", "deleteTasksTitle",
                                    "deleteTask", "deleteTasks", nullptr, [&runs] { ++runs; });
    };
    ask(1);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown.back().message, TWLocalized("deleteTaskTitle"));
    EXPECT_EQ(shown.back().buttons,
              QStringList({TWLocalized("deleteTask"), TWLocalized("cancel")}));
    pending(1001); // cancel
    EXPECT_EQ(runs, 0);

    ask(3);
    EXPECT_EQ(shown.back().message, TWLocalized("deleteTasksTitle"));
    EXPECT_EQ(shown.back().buttons.constFirst(), TWLocalized("deleteTasks"));
    pending(1000);
    EXPECT_EQ(runs, 1);

    // The list closed while the alert was up: nothing runs on a gone list.
    ask(1);
    owner.reset();
    pending(1000);
    EXPECT_EQ(runs, 1);
}

TEST_F(WorkList, CountAndTotalShowTheSelectionOnlyWhenThereIsOne)
{
    QLabel count, total;
    int computed = 0;
    const auto selectedTotal = [&computed] {
        ++computed;
        return QStringLiteral("$5.00");
    };
    TWWorkList::showCountTotal(&count, &total, 3, QStringLiteral("tasks"), 0,
                               QStringLiteral("$9.00"), selectedTotal);
    EXPECT_EQ(count.text(), QStringLiteral("3 tasks"));
    EXPECT_EQ(total.text(), QStringLiteral("$9.00"));
    EXPECT_EQ(computed, 0);
    TWWorkList::showCountTotal(&count, &total, 3, QStringLiteral("tasks"), 2,
                               QStringLiteral("$9.00"), selectedTotal);
    EXPECT_EQ(count.text(), QStringLiteral("2 / 3 tasks"));
    EXPECT_EQ(total.text(), QStringLiteral("$5.00 / $9.00"));
    EXPECT_EQ(computed, 1);
}

TEST_F(WorkList, RowsRecordsAndTicks)
{
    RecordList records = {record(7), nullptr, record(9)};
    // Rows out of range (a stale selection) are left out.
    const RecordList picked = TWWorkList::recordsForRows(records, {2, -1, 3, 0});
    ASSERT_EQ(picked.size(), 2);
    EXPECT_EQ(picked.at(0)->identifier(), 9);
    EXPECT_EQ(picked.at(1)->identifier(), 7);

    const QHash<qint32, int> rows = TWWorkList::rowIndex(records);
    EXPECT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.value(9), 2);

    RecordList ticked;
    TWWorkList::setTicked(ticked, records.at(0), true);
    TWWorkList::setTicked(ticked, records.at(0), true);
    EXPECT_EQ(ticked.size(), 1);
    TWWorkList::setTicked(ticked, records.at(2), false);
    EXPECT_EQ(ticked.size(), 1);
    TWWorkList::setTicked(ticked, records.at(0), false);
    EXPECT_TRUE(ticked.isEmpty());

    // A file record may carry a stored record's identifier: only the object
    // itself is replaced.
    const RecordPtr twin = record(7);
    const RecordPtr edited = record(7, QStringLiteral("edited"));
    records.append(twin);
    TWWorkList::replaceRecord(records, twin, edited);
    EXPECT_EQ(records.at(0)->name, QString());
    EXPECT_EQ(records.at(3), edited);
}

TEST_F(WorkList, AnEmptyContextMenuIsNotShown)
{
    QPointer<QMenu> empty = new QMenu;
    EXPECT_EQ(TWWorkList::shownOrNone(empty), nullptr);
    EXPECT_TRUE(empty.isNull());
    auto *full = new QMenu;
    full->addAction(QStringLiteral("x"));
    EXPECT_EQ(TWWorkList::shownOrNone(full), full);
    delete full;
}
