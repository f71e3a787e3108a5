#include "model/TWTaskItem.h"
#include "store/TWRecordList.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace
{

// Collects undos as a write scope does and runs them in reverse.
struct UndoLog {
    std::vector<std::function<void()>> undos;
    void onRollback(std::function<void()> undo) { undos.push_back(std::move(undo)); }
    void rollback()
    {
        for (auto undo = undos.rbegin(); undo != undos.rend(); ++undo)
            (*undo)();
        undos.clear();
    }
};

} // namespace

TEST(RecordList, TwoRecordsWithOneIdentifierAreBothRemovedAndRestored)
{
    TWRecordList<TWTaskItem> items([](const TWTaskItem &item) { return item.taskIdentifier(); });
    // Rows without an identifier read as 0.
    const TWTaskItemPtr first = TWTaskItem::taskItemWithStartDateTime({}, {}, {}, 1, 0);
    const TWTaskItemPtr other = TWTaskItem::taskItemWithStartDateTime({}, {}, {}, 1, 5);
    const TWTaskItemPtr second = TWTaskItem::taskItemWithStartDateTime({}, {}, {}, 2, 0);
    for (const TWTaskItemPtr &record : {first, other, second})
        items.load(record);
    auto state = [&] {
        return std::tuple(items.list(), items.withIdentifier(0), items.withOwner(1),
                          items.withOwner(2));
    };
    const auto loaded = state();

    UndoLog log;
    items.remove(log, first);
    // The other record with that identifier takes over the index.
    EXPECT_EQ(items.withIdentifier(0), second);
    items.removeIdentifier(log, 0);
    EXPECT_EQ(items.list(), TWTaskItemList{other});
    EXPECT_FALSE(items.withIdentifier(0));
    EXPECT_TRUE(items.withOwner(2).isEmpty());
    log.rollback();
    EXPECT_EQ(state(), loaded);
}
