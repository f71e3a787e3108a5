// The guarded allocator and the process's crash context: fallbacks to the heap, protection of
// the read-only part, the diagnostic log and the metadata record.

#include "CrashTestSupport.h"
#include "MSHContext.h"
#include "MSHDispatchQueue.h"
#include "MSHException.h"
#include "MSHSafeUtilities.h"
#include "MSHSignal.h"

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

TEST(CrashContext, TheInitialisedContextIsProtectedAndRecordsItsRun)
{
    const QString dir = twCrashTestReportDirectory();
    ASSERT_TRUE(MSHContextIsInitialized());
    EXPECT_FALSE(MSHContextCrashOccurred());
    MSHReadOnlyContext *context = MSHContextReadOnly();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(permissionsAt(context), QByteArray("r--p"));
    EXPECT_EQ(permissionsAt(context->logPath), QByteArray("r--p"));
    EXPECT_EQ(permissionsAt(MSHContextWritable()), QByteArray("rw-p"));
    EXPECT_EQ(permissionsAt(MSHContextAllocator()->mapping), QByteArray("---p"));
    EXPECT_EQ(QString::fromUtf8(context->signal.path), dir + QStringLiteral("/signal.mshrecord"));
    // A second initialisation changes nothing.
    MSHContextInitData again;
    again.reportPath = "/nonexistent";
    MSHContextInitialize(&again);
    MSHContextInitialize(nullptr);
    EXPECT_EQ(MSHContextReadOnly(), context);

    MSHSafeLog("%s: checking %lu then %s", "CrashContextTest", 42ul, "done");
    QFile log(dir + QStringLiteral("/sdk.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("CrashContextTest: checking 42 then done\n"));

    const auto metadata = twCrashTestSections(dir + QStringLiteral("/metadata.mshrecord"));
    ASSERT_EQ(metadata.size(), 4);
    const QJsonObject identity = metadata[0].second.toObject();
    EXPECT_EQ(identity.value("api_key").toString(), "test-api-key");
    EXPECT_EQ(identity.value("install_id").toString(), "test-install");
    EXPECT_TRUE(identity.value("beta_token").isNull());
    EXPECT_TRUE(metadata[2].second.toObject().value("custom_bundle_id").isNull());
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof(self) - 1);
    ASSERT_GT(length, 0);
    self[length] = 0;
    EXPECT_EQ(metadata[3].second.toObject().value("uuid").toString(),
              twCrashTestBuildID(QString::fromUtf8(self)));
}

TEST(CrashContext, CustomExceptionsStopAtTheLimitAndCarryTheirFrames)
{
    const QString dir = twCrashTestReportDirectory();
    MSHExceptionFrame frame;
    frame.pc = 4096;
    frame.symbol = "main";
    frame.offset = 12;
    frame.line = 7;
    // The test context allows two.
    for (int i = 0; i < 3; ++i)
        MSHExceptionRecord(MSHExceptionTypeCustom, "Custom", QByteArray("reason ") + char('0' + i),
                           {frame}, false);
    const auto sections = twCrashTestSections(dir + QStringLiteral("/custom_exception.mshrecord"));
    ASSERT_EQ(sections.size(), 2);
    const QJsonObject first = sections[0].second.toObject();
    EXPECT_EQ(first.value("type").toString(), "custom");
    EXPECT_EQ(first.value("name").toString().toLatin1(), twCrashTestHex("Custom"));
    const QJsonObject recorded = first.value("frames").toArray().at(0).toObject();
    EXPECT_EQ(recorded.value("pc").toInt(), 4096);
    EXPECT_EQ(recorded.value("symbol").toString().toLatin1(), twCrashTestHex("main"));
    EXPECT_FALSE(recorded.contains("library"));
    EXPECT_EQ(recorded.value("line").toInt(), 7);
    EXPECT_FALSE(QFile::exists(dir + QStringLiteral("/exception.mshrecord")));
}

TEST(CrashContext, ForeignHandlersAreReportedAndTheTerminateHandlerPutBack)
{
    twCrashTestReportDirectory();
    testing::internal::CaptureStderr();
    MSHSignalCheckHandlers();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    struct sigaction foreign {
    };
    foreign.sa_handler = SIG_IGN;
    struct sigaction ours {
    };
    ASSERT_EQ(sigaction(SIGTRAP, &foreign, &ours), 0);
    testing::internal::CaptureStderr();
    MSHSignalCheckHandlers();
    const std::string warning = testing::internal::GetCapturedStderr();
    sigaction(SIGTRAP, &ours, nullptr);
    EXPECT_NE(warning.find("The signal SIGTRAP has a non-Mishap handler"), std::string::npos);

    const std::terminate_handler previous = std::set_terminate([] { std::abort(); });
    testing::internal::CaptureStderr();
    MSHExceptionCheckHandlers();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Warning: std::set_terminate is"),
              std::string::npos);
    // The check leaves the foreign handler in place, as it found it.
    EXPECT_NE(std::get_terminate(), &MSHTerminateHandler);
    std::set_terminate(previous);
    EXPECT_EQ(std::get_terminate(), &MSHTerminateHandler);
}

TEST(CrashContext, SerialQueuesRunBlocksInOrder)
{
    MSHDispatchQueue queue("com.tallyworth.test");
    QList<int> order;
    queue.after(0.05, [&order] { order.append(3); });
    queue.async([&order] { order.append(1); });
    queue.sync([&order, &queue] {
        order.append(2);
        // A block already on the queue runs a nested sync in place.
        queue.sync([&order] { order.append(0); });
    });
    EXPECT_EQ(order, (QList<int>{1, 2, 0}));
    QThread::msleep(200);
    queue.sync([] {});
    EXPECT_EQ(order, (QList<int>{1, 2, 0, 3}));
}
