#pragma once
// The process-wide crash context: memory reserved before any crash (so handlers never allocate),
// the record files' paths copied into memory made read-only after initialisation, the serial
// queues of the ordinary-time writers and the initialised and crash-occurred flags.

#include "crashreporting/capture/MSHBinaryImageTypes.h"
#include "crashreporting/capture/MSHFile.h"

#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <sys/types.h>
#include <ucontext.h>

class MSHDispatchQueue;

// Application code told synchronously, on the terminating thread, that a crash was recorded.
class MSHCrashCallback
{
public:
    virtual ~MSHCrashCallback() = default;
    virtual void deliverCrashDelegateCallback() = 0;
};

struct MSHContextInitData {
    const char *apiKey = nullptr;
    void *reserved = nullptr;
    bool firstInstall = false;
    MSHCrashCallback *crashCallback = nullptr;
    const char *customBundleID = nullptr;
    const char *reportPath = nullptr;
    const char *sessionID = nullptr;
    const char *installID = nullptr;
    const char *betaToken = nullptr;
    uint32_t machExceptionExclusions = 0;
    bool errorReportingEnabled = false;
    bool customExceptionsEnabled = false;
    uint32_t maxCustomExceptions = 0;
    uint32_t errorLogBufferSize = 0;
    uint32_t logBufferSize = 0;
    uint32_t maxCustomKeys = 0;
};

// ---- Guarded allocator

struct MSHAllocatorRegion {
    size_t size = 0;
    char *start = nullptr;
    std::atomic<char *> cursor{nullptr};
};

struct MSHAllocator {
    void *mapping = nullptr;
    size_t totalSize = 0;
    std::atomic<uint8_t> protectedFlag{0};
    MSHAllocatorRegion writable;
    MSHAllocatorRegion readOnly;
};

enum MSHAllocationKind : int { MSHAllocationReadOnly = 0, MSHAllocationWritable = 1 };

MSHAllocator *MSHAllocatorCreate(size_t writableSize, size_t readOnlySize);
void *MSHAllocatorSafeAllocate(MSHAllocator *allocator, size_t size, int kind);
void *MSHAllocatorSafeAllocateFromRegion(MSHAllocatorRegion *region, size_t size);
bool MSHAllocatorProtect(MSHAllocator *allocator);

// ---- Context

inline constexpr size_t MSHHandledSignalCount = 7;
inline constexpr size_t MSHStackSize = 256 * 1024;
inline constexpr size_t MSHMaxThreads = 512;
// Threads whose own fault brings them into the signal handler while a crash is recorded.
inline constexpr size_t MSHMaxCrashingThreads = 16;
// The longest a crash record may take: threads paused for it go on after this long, and a
// second faulting thread waits at most this long for the first thread's record.
inline constexpr int MSHCrashRecordTimeLimitSeconds = 10;

struct MSHSignalState {
    const char *path = nullptr;
    struct sigaction previous[MSHHandledSignalCount];
    stack_t previousStack;
    bool hasPreviousStack = false;
};

struct MSHExceptionState {
    const char *path = nullptr;
    const char *customPath = nullptr;
    std::terminate_handler previousTerminate = nullptr;
    uint32_t maxCustomExceptions = 0;
};

struct MSHMachExceptionState {
    const char *path = nullptr;
};

struct MSHKeyValueStorage {
    const char *incrementalPath = nullptr;
    const char *compactedPath = nullptr;
    uint32_t maxIncrementalCount = 0;
    uint32_t maxEntries = 0;
};

struct MSHLogStorage {
    const char *aPath = nullptr;
    const char *bPath = nullptr;
    uint32_t maxSize = 0;
};

struct MSHReadOnlyContext {
    std::atomic<uint8_t> initialized{0};
    uint8_t debuggerAttached = 0;
    const char *logPath = nullptr;
    void *signalStack = nullptr;
    void *serverStack = nullptr;
    void *reserved = nullptr;
    MSHCrashCallback *crashCallback = nullptr;
    bool firstInstall = false;
    const char *binaryImagePath = nullptr;
    MSHExceptionState exception;
    const char *documentsPath = nullptr;
    size_t pageSize = 4096;
    MSHSignalState signal;
    MSHMachExceptionState machException;
    MSHKeyValueStorage userKeyValues;
    MSHKeyValueStorage internalKeyValues;
    MSHLogStorage logs;
    MSHLogStorage errors;
    uint64_t startTime = 0;
    uint64_t timeBaseFactor = 1;
    // The real-time signal that parks the other threads while a crash is recorded.
    int suspendSignal = 0;
};

// A thread asked to park while the crash is recorded publishes its interrupted context here.
struct MSHThreadSlot {
    std::atomic<pid_t> tid{0};
    std::atomic<int> state{0};
    std::atomic<const ucontext_t *> context{nullptr};
};

// A thread that faulted: its interrupted context, published from its own handler (it stays
// valid while the thread waits there).
struct MSHCrashingThread {
    std::atomic<pid_t> tid{0};
    std::atomic<const ucontext_t *> context{nullptr};
};

struct MSHWritableContext {
    std::atomic<int32_t> logFD{-1};
    std::atomic<uint8_t> crashOccurred{0};
    MSHFile binaryImageFile;
    MSHBinaryImageTable images;
    const char *currentLogPath = nullptr;
    const char *currentErrorPath = nullptr;
    uint32_t userKeyValueCount = 0;
    uint32_t internalKeyValueCount = 0;
    std::atomic<uint32_t> customExceptionCount{0};
    // The thread recording the crash (0 while none) and whether its record is complete.
    std::atomic<pid_t> crashingThread{0};
    std::atomic<uint8_t> crashRecorded{0};
    // Parked threads wait while this is 1.
    std::atomic<int> threadsParked{0};
    MSHThreadSlot threadSlots[MSHMaxThreads];
    MSHCrashingThread crashingThreads[MSHMaxCrashingThreads];
};

// Builds the context (once per process); does nothing for a null record.
void MSHContextInitialize(const MSHContextInitData *data);
bool MSHContextIsInitialized();
// False without a context; true when a crash was already recorded; otherwise marks it.
bool MSHContextMarkAndCheckIfCrashed();
// Whether the crash-occurred flag is set (readable from anywhere, never allocates).
bool MSHContextCrashOccurred();

MSHReadOnlyContext *MSHContextReadOnly();
MSHWritableContext *MSHContextWritable();
MSHAllocator *MSHContextAllocator();
MSHDispatchQueue *MSHContextLoggingQueue();
MSHDispatchQueue *MSHContextBinaryImagesQueue();
MSHDispatchQueue *MSHContextExceptionQueue();
// Path of a file of the current run's report directory, copied into the read-only part.
const char *MSHContextCopyPath(const char *reportPath, const char *fileName);
// Whether a debugger traces this process ("TracerPid" of /proc/self/status).
bool MSHProcessDebuggerAttached();
