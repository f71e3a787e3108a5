// The guarded allocator and the process's crash context: fallbacks to the heap, protection of
// the read-only part, the diagnostic log and the metadata record.

#include "CrashTestSupport.h"
#include "crashreporting/capture/MSHContext.h"
#include "crashreporting/capture/MSHException.h"
#include "crashreporting/capture/MSHSafeUtilities.h"
#include "crashreporting/capture/MSHSignal.h"
#include "crashreporting/common/MSHDispatchQueue.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <exception>
#include <unistd.h>

namespace
{

bool inside(const MSHAllocator *allocator, const void *pointer)
{
    const auto *start = static_cast<const char *>(allocator->mapping);
    const auto *p = static_cast<const char *>(pointer);
    return p >= start && p < start + allocator->totalSize;
}

// The permissions column of the /proc/self/maps line holding the address.
QByteArray permissionsAt(const void *address)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return {};
    const auto a = quintptr(address);
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 2)
            continue;
        const QList<QByteArray> range = fields[0].split('-');
        if (range.size() == 2 && range[0].toULongLong(nullptr, 16) <= a &&
            a < range[1].toULongLong(nullptr, 16))
            return fields[1];
    }
    return {};
}

} // namespace

TEST(CrashContext, RegionOverflowFallsBackToTheHeapAndProtectionEndsTheRegions)
{
    MSHAllocator *allocator = MSHAllocatorCreate(4096, 4096);
    ASSERT_NE(allocator, nullptr);
    void *small = MSHAllocatorSafeAllocate(allocator, 100, MSHAllocationWritable);
    EXPECT_TRUE(inside(allocator, small));
    void *large = MSHAllocatorSafeAllocate(allocator, 1024 * 1024, MSHAllocationWritable);
    ASSERT_NE(large, nullptr);
    EXPECT_FALSE(inside(allocator, large));
    EXPECT_TRUE(inside(allocator, MSHAllocatorSafeAllocate(allocator, 100, MSHAllocationWritable)));
    EXPECT_EQ(MSHAllocatorSafeAllocate(allocator, 10, 2), nullptr);

    void *readOnly = MSHAllocatorSafeAllocate(allocator, 64, MSHAllocationReadOnly);
    EXPECT_TRUE(inside(allocator, readOnly));
    EXPECT_EQ(permissionsAt(allocator->mapping), QByteArray("---p"));
    EXPECT_EQ(permissionsAt(readOnly), QByteArray("rw-p"));
    ASSERT_TRUE(MSHAllocatorProtect(allocator));
    EXPECT_TRUE(MSHAllocatorProtect(allocator));
    EXPECT_EQ(permissionsAt(readOnly), QByteArray("r--p"));
    EXPECT_EQ(permissionsAt(small), QByteArray("rw-p"));
    EXPECT_FALSE(inside(allocator, MSHAllocatorSafeAllocate(allocator, 16, MSHAllocationReadOnly)));
    EXPECT_FALSE(MSHAllocatorProtect(nullptr));
    std::free(large);
}
