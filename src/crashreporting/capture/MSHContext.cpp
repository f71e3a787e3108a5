#include "crashreporting/capture/MSHContext.h"

#include "crashreporting/capture/MSHBinaryImage.h"
#include "crashreporting/capture/MSHException.h"
#include "crashreporting/capture/MSHHost.h"
#include "crashreporting/capture/MSHMetadata.h"
#include "crashreporting/capture/MSHProcess.h"
#include "crashreporting/capture/MSHSafeUtilities.h"
#include "crashreporting/capture/MSHSignal.h"
#include "crashreporting/capture/MSHUnwind.h"
#include "crashreporting/capture/MSHUserLogging.h"
#include "crashreporting/common/MSHDispatchQueue.h"

#include <QSemaphore>
#include <QStandardPaths>
#include <QThreadPool>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

namespace
{

std::atomic<MSHReadOnlyContext *> readOnlyContext{nullptr};
std::atomic<MSHWritableContext *> writableContext{nullptr};
std::atomic<MSHAllocator *> contextAllocator{nullptr};
std::atomic<bool> contextCreated{false};
MSHDispatchQueue *loggingQueue = nullptr;
MSHDispatchQueue *binaryImagesQueue = nullptr;
MSHDispatchQueue *exceptionQueue = nullptr;

constexpr size_t copiedStringsSize = 16384;

size_t roundedParts(size_t requested, size_t page)
{
    return (requested / page + 1) * page;
}

void *heapFallback(size_t size)
{
    return std::calloc(1, size);
}

} // namespace

MSHAllocator *MSHAllocatorCreate(size_t writableSize, size_t readOnlySize)
{
    const size_t page = MSHHostGetPageSize();
    const size_t writablePart = roundedParts(writableSize, page);
    const size_t readOnlyPart = roundedParts(readOnlySize + sizeof(MSHAllocator), page);
    const size_t total = 3 * page + writablePart + readOnlyPart;
    void *mapping =
        ::mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) {
        MSHSafeLog("%s: Mapping failed %s", __func__, std::strerror(errno));
        return nullptr;
    }
    char *base = static_cast<char *>(mapping);
    char *writableStart = base + page;
    char *middleGuard = writableStart + writablePart;
    char *readOnlyStart = middleGuard + page;
    char *lastGuard = readOnlyStart + readOnlyPart;
    MSHSafeLog("%s: Mapping: %p %p %p, total: %zu K", __func__, mapping, writableStart,
               readOnlyStart, total / 1024);
    const char *failure = nullptr;
    if (::mprotect(base, page, PROT_NONE) != 0)
        failure = "%s: First guard protection failed %s";
    else if (::mprotect(middleGuard, page, PROT_NONE) != 0)
        failure = "%s: Middle guard protection failed %s";
    else if (::mprotect(lastGuard, page, PROT_NONE) != 0)
        failure = "%s: Last guard protection failed %s";
    if (failure) {
        MSHSafeLog(failure, __func__, std::strerror(errno));
        ::munmap(mapping, total);
        return nullptr;
    }
    auto *allocator = new (readOnlyStart) MSHAllocator;
    allocator->mapping = mapping;
    allocator->totalSize = total;
    allocator->writable.size = writablePart;
    allocator->writable.start = writableStart;
    allocator->writable.cursor.store(writableStart);
    allocator->readOnly.size = readOnlyPart;
    allocator->readOnly.start = readOnlyStart;
    allocator->readOnly.cursor.store(readOnlyStart + ((sizeof(MSHAllocator) + 15) & ~size_t(15)));
    return allocator;
}

void *MSHAllocatorSafeAllocateFromRegion(MSHAllocatorRegion *region, size_t size)
{
    const size_t aligned = (size + 15) & ~size_t(15);
    char *cursor = region->cursor.load();
    for (;;) {
        if (size_t(cursor + aligned - region->start) > region->size) {
            MSHSafeLog("%s: Unable to allocate sufficient memory, falling back to malloc",
                       __func__);
            return heapFallback(size);
        }
        if (region->cursor.compare_exchange_weak(cursor, cursor + aligned,
                                                 std::memory_order_seq_cst))
            return cursor;
    }
}

void *MSHAllocatorSafeAllocate(MSHAllocator *allocator, size_t size, int kind)
{
    if (kind != MSHAllocationReadOnly && kind != MSHAllocationWritable)
        return nullptr;
    if (!allocator) {
        MSHSafeLog("%s: Allocator invalid, falling back to malloc", __func__);
        return heapFallback(size);
    }
    if (allocator->protectedFlag.load()) {
        MSHSafeLog("%s: Allocator already protected, falling back to malloc", __func__);
        return heapFallback(size);
    }
    return MSHAllocatorSafeAllocateFromRegion(
        kind == MSHAllocationReadOnly ? &allocator->readOnly : &allocator->writable, size);
}

bool MSHAllocatorProtect(MSHAllocator *allocator)
{
    if (!allocator)
        return false;
    // A plain load first: once protected, the record itself lies in read-only memory, where
    // even a failing compare-and-swap would fault.
    if (allocator->protectedFlag.load())
        return true;
    allocator->protectedFlag.store(1);
    return ::mprotect(allocator->readOnly.start, allocator->readOnly.size, PROT_READ) == 0;
}

MSHReadOnlyContext *MSHContextReadOnly()
{
    MSHReadOnlyContext *context = readOnlyContext.load(std::memory_order_acquire);
    return uintptr_t(context) < 4096 ? nullptr : context;
}

MSHWritableContext *MSHContextWritable()
{
    return writableContext.load(std::memory_order_acquire);
}

MSHAllocator *MSHContextAllocator()
{
    return contextAllocator.load(std::memory_order_acquire);
}

MSHDispatchQueue *MSHContextLoggingQueue()
{
    return loggingQueue;
}

MSHDispatchQueue *MSHContextBinaryImagesQueue()
{
    return binaryImagesQueue;
}

MSHDispatchQueue *MSHContextExceptionQueue()
{
    return exceptionQueue;
}

bool MSHContextIsInitialized()
{
    MSHReadOnlyContext *context = MSHContextReadOnly();
    std::atomic_thread_fence(std::memory_order_seq_cst);
    return context && context->initialized.load() != 0;
}

bool MSHContextMarkAndCheckIfCrashed()
{
    MSHWritableContext *writable = MSHContextWritable();
    if (!MSHContextIsInitialized() || !writable)
        return false;
    return writable->crashOccurred.exchange(1) != 0;
}

bool MSHContextCrashOccurred()
{
    MSHWritableContext *writable = MSHContextWritable();
    return writable && writable->crashOccurred.load(std::memory_order_relaxed) != 0;
}

const char *MSHContextCopyPath(const char *reportPath, const char *fileName)
{
    if (!reportPath || !fileName)
        return nullptr;
    const size_t pathLength = std::strlen(reportPath);
    const size_t nameLength = std::strlen(fileName);
    char joined[4096];
    if (pathLength + nameLength + 2 > sizeof(joined))
        return nullptr;
    std::memcpy(joined, reportPath, pathLength);
    size_t used = pathLength;
    if (used > 0 && joined[used - 1] != '/')
        joined[used++] = '/';
    std::memcpy(joined + used, fileName, nameLength + 1);
    return MSHDuplicateString(joined);
}

bool MSHProcessDebuggerAttached()
{
    const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        MSHSafeLog("%s: Unable to read the process status", __func__);
        return false;
    }
    char status[4096];
    const ssize_t length = ::read(fd, status, sizeof(status) - 1);
    ::close(fd);
    if (length <= 0)
        return false;
    status[length] = 0;
    const char *line = std::strstr(status, "TracerPid:");
    if (!line)
        return false;
    line += std::strlen("TracerPid:");
    while (*line == ' ' || *line == '\t')
        ++line;
    return *line >= '1' && *line <= '9';
}

namespace
{

bool contextCreate()
{
    loggingQueue = new MSHDispatchQueue("com.mishap.mac.logging");
    binaryImagesQueue = new MSHDispatchQueue("com.mishap.mac.binary-images");
    exceptionQueue = new MSHDispatchQueue("com.mishap.mac.exception");

    MSHAllocator *allocator = MSHAllocatorCreate(2 * MSHStackSize + sizeof(MSHWritableContext) + 64,
                                                 sizeof(MSHReadOnlyContext) + copiedStringsSize);
    contextAllocator.store(allocator);
    void *readOnlyMemory =
        MSHAllocatorSafeAllocate(allocator, sizeof(MSHReadOnlyContext), MSHAllocationReadOnly);
    void *signalStack = MSHAllocatorSafeAllocate(allocator, MSHStackSize, MSHAllocationWritable);
    void *serverStack = MSHAllocatorSafeAllocate(allocator, MSHStackSize, MSHAllocationWritable);
    void *writableMemory =
        MSHAllocatorSafeAllocate(allocator, sizeof(MSHWritableContext), MSHAllocationWritable);
    if (!readOnlyMemory || !signalStack || !serverStack || !writableMemory)
        return false;
    std::memset(signalStack, 0, MSHStackSize);
    std::memset(serverStack, 0, MSHStackSize);
    auto *context = new (readOnlyMemory) MSHReadOnlyContext;
    auto *writable = new (writableMemory) MSHWritableContext;
    context->signalStack = signalStack;
    context->serverStack = serverStack;
    writable->logFD.store(-1);
    writable->crashOccurred.store(0);
    context->initialized.store(0);
    std::atomic_thread_fence(std::memory_order_seq_cst);
    writableContext.store(writable, std::memory_order_release);
    readOnlyContext.store(context, std::memory_order_release);
    return true;
}

// The start-up tasks run on threads of the component's own: the application's shared pool may be
// busy for any length of time, and the handlers must not wait for it.
QThreadPool *startupPool()
{
    static QThreadPool *pool = [] {
        auto *threads = new QThreadPool;
        threads->setObjectName(QStringLiteral("com.mishap.mac.startup"));
        threads->setMaxThreadCount(6);
        return threads;
    }();
    return pool;
}

// A set of tasks on the start-up pool; the last one to finish runs the completion.
struct TaskGroup {
    std::atomic<int> pending{1};
    QSemaphore done;
    std::function<void()> completion;

    void add(std::function<void()> task, const std::shared_ptr<TaskGroup> &self)
    {
        pending.fetch_add(1);
        startupPool()->start([task = std::move(task), self] {
            task();
            self->leave();
        });
    }
    void leave()
    {
        if (pending.fetch_sub(1) == 1) {
            completion();
            done.release();
        }
    }
};

} // namespace

void MSHContextInitialize(const MSHContextInitData *data)
{
    if (!data || !data->reportPath)
        return;
    bool expected = false;
    if (!contextCreated.compare_exchange_strong(expected, true))
        return;
    if (!contextCreate())
        return;
    MSHReadOnlyContext *context = MSHContextReadOnly();
    const char *reportPath = data->reportPath;

    context->logPath = MSHContextCopyPath(reportPath, "sdk.log");
    if (!MSHUnlinkIfExists(context->logPath))
        MSHSafeLog("[Mishap:Crash] Unable to write initialize SDK write paths %s",
                   std::strerror(errno));

    context->debuggerAttached = MSHProcessDebuggerAttached() ? 1 : 0;
    context->crashCallback = data->crashCallback;
    context->reserved = data->reserved;
    context->firstInstall = data->firstInstall;
    context->pageSize = MSHHostGetPageSize();
    context->startTime = MSHProfileMark();
    context->timeBaseFactor = 1;

    // Unwinding is set up here, on an ordinary thread, so its one-time work never runs in a
    // crash.
    MSHUnwindInitialize();

    auto group = std::make_shared<TaskGroup>();
    group->completion = [] {
        MSHReadOnlyContext *context = MSHContextReadOnly();
        context->initialized.store(1);
        std::atomic_thread_fence(std::memory_order_seq_cst);
        if (!MSHAllocatorProtect(MSHContextAllocator()))
            MSHSafeLog("%s: Error: Memory protection failed", "MSHContextInitialize");
    };

    const QByteArray documents =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toUtf8();
    group->add([documents] { MSHHostInitialize(documents.constData()); }, group);

    const MSHContextInitData limits = *data;
    const QByteArray report(reportPath);
    group->add(
        [limits, report] {
            MSHReadOnlyContext *context = MSHContextReadOnly();
            const char *path = report.constData();
            context->userKeyValues.incrementalPath =
                MSHContextCopyPath(path, "user_incremental_kv.mshrecord");
            context->userKeyValues.compactedPath =
                MSHContextCopyPath(path, "user_compacted_kv.mshrecord");
            context->userKeyValues.maxIncrementalCount = 64;
            context->userKeyValues.maxEntries = limits.maxCustomKeys;
            context->internalKeyValues.incrementalPath =
                MSHContextCopyPath(path, "internal_incremental_kv.mshrecord");
            context->internalKeyValues.compactedPath =
                MSHContextCopyPath(path, "internal_compacted_kv.mshrecord");
            context->internalKeyValues.maxIncrementalCount = 64;
            context->internalKeyValues.maxEntries = 32;
            context->logs.aPath = MSHContextCopyPath(path, "log_a.mshrecord");
            context->logs.bPath = MSHContextCopyPath(path, "log_b.mshrecord");
            context->logs.maxSize = limits.logBufferSize;
            context->errors.aPath = MSHContextCopyPath(path, "errors_a.mshrecord");
            context->errors.bPath = MSHContextCopyPath(path, "errors_b.mshrecord");
            context->errors.maxSize = limits.errorReportingEnabled ? limits.errorLogBufferSize : 0;
            MSHUserLoggingInitialize(context, MSHContextWritable());
        },
        group);

    context->binaryImagePath = MSHContextCopyPath(reportPath, "binary_images.mshrecord");
    group->add([] { MSHBinaryImageInit(); }, group);

    if (context->debuggerAttached) {
        MSHSafeLog("%s: Debugger present - not installing handlers", __func__);
    } else {
        context->signal.path = MSHContextCopyPath(reportPath, "signal.mshrecord");
        context->machException.path = MSHContextCopyPath(reportPath, "mach_exception.mshrecord");
        context->exception.path = MSHContextCopyPath(reportPath, "exception.mshrecord");
        context->exception.customPath =
            MSHContextCopyPath(reportPath, "custom_exception.mshrecord");
        context->exception.maxCustomExceptions =
            data->customExceptionsEnabled ? data->maxCustomExceptions : 0;
        // The alternate signal stack belongs to the thread that installs it: this one.
        MSHSignalInitialize(&context->signal);
        MSHProcessInstallSuspendHandler();
        const uint32_t exclusions = data->machExceptionExclusions;
        group->add(
            [exclusions] {
                MSHMachExceptionInit(&MSHContextReadOnly()->machException, exclusions);
            },
            group);
        group->add([] { MSHExceptionInitialize(&MSHContextReadOnly()->exception); }, group);
    }

    MSHMetadataIdentity identity;
    identity.apiKey = QByteArray(data->apiKey);
    identity.sessionID = QByteArray(data->sessionID);
    identity.installID = QByteArray(data->installID);
    identity.hasBetaToken = data->betaToken != nullptr;
    identity.betaToken = QByteArray(data->betaToken);
    identity.hasCustomBundleID = data->customBundleID != nullptr;
    identity.customBundleID = QByteArray(data->customBundleID);
    const QByteArray metadataPath =
        report + (report.endsWith('/') ? "" : "/") + "metadata.mshrecord";
    group->add([identity, metadataPath] { MSHMetadataWrite(metadataPath.constData(), identity); },
               group);

    group->leave();
    if (!group->done.tryAcquire(1, 5000)) {
        MSHSafeLog("%s: Error: Delayed initialization", __func__);
        return;
    }
    // Let later waiters (none) see the semaphore as it was.
    group->done.release();
}
