#include "crashreporting/capture/MSHProcess.h"

#include "crashreporting/capture/MSHBinaryImage.h"
#include "crashreporting/capture/MSHContext.h"
#include "crashreporting/capture/MSHHost.h"
#include "crashreporting/capture/MSHSafeUtilities.h"
#include "crashreporting/capture/MSHUnwind.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace
{

enum SlotState : int { SlotFree = 0, SlotRequested = 1, SlotParked = 2, SlotAbandoned = 3 };

constexpr long parkWaitNanoseconds = 200L * 1000 * 1000;

struct ThreadList {
    pid_t tids[MSHMaxThreads];
    size_t count = 0;
};

void sleepNanoseconds(long nanoseconds)
{
    timespec pause{0, nanoseconds};
    ::nanosleep(&pause, nullptr);
}

uint64_t nowNanoseconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000ULL + uint64_t(now.tv_nsec);
}

// The entry a faulting thread noted for itself from its own handler, or null.
const MSHCrashingThread *findCrashing(const MSHWritableContext *writable, pid_t tid)
{
    for (const MSHCrashingThread &entry : writable->crashingThreads) {
        const pid_t noted = entry.tid.load();
        if (noted == 0)
            break;
        if (noted == tid)
            return &entry;
    }
    return nullptr;
}

// The context a faulting thread published from its own handler, or null.
const ucontext_t *crashingContext(const MSHWritableContext *writable, pid_t tid)
{
    const MSHCrashingThread *entry = findCrashing(writable, tid);
    return entry ? entry->context.load() : nullptr;
}

bool isCrashing(const MSHWritableContext *writable, pid_t tid, pid_t crashed)
{
    return tid == crashed || findCrashing(writable, tid);
}

// The threads of "/proc/self/task" in its order (oldest first). The crashed thread and every
// thread that faulted with it are always listed; the cap applies to the others.
void listThreads(ThreadList *list, pid_t crashed)
{
    list->count = 0;
    const MSHWritableContext *writable = MSHContextWritable();
    size_t crashing = 1;
    for (const MSHCrashingThread &entry : writable->crashingThreads) {
        const pid_t noted = entry.tid.load();
        if (noted == 0)
            break;
        if (noted != crashed)
            ++crashing;
    }
    const size_t othersLimit = MSHMaxThreads - crashing;
    size_t others = 0;
    const int fd = ::open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        MSHSafeLog("%s: Error: unable to get task threads", "MSHProcessInit");
        return;
    }
    alignas(8) char buffer[4096];
    for (;;) {
        const long length = ::syscall(SYS_getdents64, fd, buffer, sizeof(buffer));
        if (length <= 0)
            break;
        for (long offset = 0; offset < length;) {
            auto *entry = reinterpret_cast<struct dirent64 *>(buffer + offset);
            offset += entry->d_reclen;
            pid_t tid = 0;
            const char *name = entry->d_name;
            if (*name < '0' || *name > '9')
                continue;
            for (; *name >= '0' && *name <= '9'; ++name)
                tid = tid * 10 + (*name - '0');
            if (list->count >= MSHMaxThreads)
                continue;
            if (isCrashing(writable, tid, crashed)) {
                list->tids[list->count++] = tid;
            } else if (others < othersLimit) {
                list->tids[list->count++] = tid;
                ++others;
            }
        }
    }
    ::close(fd);
}

void suspendHandler(int, siginfo_t *, void *userContext)
{
    const int savedErrno = errno;
    MSHWritableContext *writable = MSHContextWritable();
    if (!writable) {
        errno = savedErrno;
        return;
    }
    const pid_t self = MSHCurrentThreadID();
    for (MSHThreadSlot &slot : writable->threadSlots) {
        if (slot.tid.load() != self)
            continue;
        slot.context.store(static_cast<const ucontext_t *>(userContext));
        int expected = SlotRequested;
        if (!slot.state.compare_exchange_strong(expected, SlotParked))
            break;
        // Parked until the recorder lets go (bounded, should it never).
        const uint64_t deadline =
            nowNanoseconds() + uint64_t(MSHCrashRecordTimeLimitSeconds) * 1000000000ULL;
        while (writable->threadsParked.load() == 1 && nowNanoseconds() < deadline) {
            timespec timeout{0, 100L * 1000 * 1000};
            ::syscall(SYS_futex, reinterpret_cast<int *>(&writable->threadsParked), FUTEX_WAIT, 1,
                      &timeout, nullptr, 0);
        }
        // Left on its own: from here on the recorder must not read this thread's stack.
        if (writable->threadsParked.load() == 1)
            slot.state.store(SlotAbandoned);
        break;
    }
    errno = savedErrno;
}

// A thread that faulted while the list was taken: its published context is its description.
void promoteCrashingThreads(MSHWritableContext *writable, const ThreadList &threads)
{
    for (size_t i = 0; i < threads.count; ++i) {
        MSHThreadSlot &slot = writable->threadSlots[i];
        if (slot.state.load() != SlotRequested)
            continue;
        if (const ucontext_t *context = crashingContext(writable, threads.tids[i])) {
            slot.context.store(context);
            int expected = SlotRequested;
            slot.state.compare_exchange_strong(expected, SlotParked);
        }
    }
}

// A thread that faulted after the list was taken is added to it, in the place of the last
// ordinary thread when the list is full.
void includeLateCrashingThreads(MSHWritableContext *writable, ThreadList *threads, pid_t self)
{
    for (const MSHCrashingThread &entry : writable->crashingThreads) {
        const pid_t tid = entry.tid.load();
        if (tid == 0)
            break;
        const ucontext_t *context = entry.context.load();
        bool listed = false;
        for (size_t i = 0; i < threads->count && !listed; ++i)
            listed = threads->tids[i] == tid;
        if (listed || !context)
            continue;
        size_t at = threads->count;
        if (at >= MSHMaxThreads) {
            at = MSHMaxThreads;
            for (size_t i = threads->count; i-- > 0;) {
                if (threads->tids[i] != self && !isCrashing(writable, threads->tids[i], self)) {
                    at = i;
                    break;
                }
            }
            if (at >= MSHMaxThreads)
                continue;
        } else {
            threads->count += 1;
        }
        MSHThreadSlot &slot = writable->threadSlots[at];
        threads->tids[at] = tid;
        slot.tid.store(tid);
        slot.context.store(context);
        slot.state.store(SlotParked);
    }
}

void parkOtherThreads(ThreadList *threads, pid_t self)
{
    MSHWritableContext *writable = MSHContextWritable();
    MSHReadOnlyContext *context = MSHContextReadOnly();
    for (MSHThreadSlot &slot : writable->threadSlots) {
        slot.state.store(SlotFree);
        slot.context.store(nullptr);
        slot.tid.store(0);
    }
    writable->threadsParked.store(1);
    const pid_t pid = ::getpid();
    for (size_t i = 0; i < threads->count; ++i) {
        const pid_t tid = threads->tids[i];
        if (tid == self)
            continue;
        MSHThreadSlot &slot = writable->threadSlots[i];
        slot.tid.store(tid);
        // A thread in its own fault handler keeps the suspension signal blocked; it has said
        // where it stopped.
        if (const ucontext_t *faulted = crashingContext(writable, tid)) {
            slot.context.store(faulted);
            slot.state.store(SlotParked);
            continue;
        }
        slot.state.store(SlotRequested);
        if (context->suspendSignal <= 0 ||
            ::syscall(SYS_tgkill, pid, tid, context->suspendSignal) != 0)
            slot.state.store(SlotAbandoned);
    }
    // 200 ms in all for every thread to publish its context.
    const uint64_t deadline = nowNanoseconds() + parkWaitNanoseconds;
    for (;;) {
        promoteCrashingThreads(writable, *threads);
        size_t waiting = 0;
        for (size_t i = 0; i < threads->count; ++i) {
            if (writable->threadSlots[i].state.load() == SlotRequested)
                ++waiting;
        }
        if (waiting == 0 || nowNanoseconds() >= deadline)
            break;
        sleepNanoseconds(1000 * 1000);
    }
    for (size_t i = 0; i < threads->count; ++i) {
        int expected = SlotRequested;
        writable->threadSlots[i].state.compare_exchange_strong(expected, SlotAbandoned);
    }
    includeLateCrashingThreads(writable, threads, self);
}

void releaseOtherThreads()
{
    MSHWritableContext *writable = MSHContextWritable();
    writable->threadsParked.store(0);
    ::syscall(SYS_futex, reinterpret_cast<int *>(&writable->threadsParked), FUTEX_WAKE, INT32_MAX,
              nullptr, nullptr, 0);
}

struct Registers {
    uint64_t values[21];
};

const char *const registerNames[21] = {"rax", "rbx", "rcx", "rdx",    "rdi", "rsi", "rbp",
                                       "rsp", "r8",  "r9",  "r10",    "r11", "r12", "r13",
                                       "r14", "r15", "rip", "rflags", "cs",  "fs",  "gs"};

Registers registersOf(const ucontext_t *context)
{
    Registers r{};
    if (!context)
        return r;
    const greg_t *g = context->uc_mcontext.gregs;
    const int order[17] = {REG_RAX, REG_RBX, REG_RCX, REG_RDX, REG_RDI, REG_RSI,
                           REG_RBP, REG_RSP, REG_R8,  REG_R9,  REG_R10, REG_R11,
                           REG_R12, REG_R13, REG_R14, REG_R15, REG_RIP};
    for (int i = 0; i < 17; ++i)
        r.values[i] = uint64_t(g[order[i]]);
    r.values[17] = uint64_t(g[REG_EFL]);
    const uint64_t segments = uint64_t(g[REG_CSGSFS]);
    r.values[18] = segments & 0xffff;         // cs
    r.values[19] = (segments >> 32) & 0xffff; // fs
    r.values[20] = (segments >> 16) & 0xffff; // gs
    return r;
}

void writeThread(MSHFile *file, const ucontext_t *context, bool signalFrame, bool crashed,
                 bool walkStack = true)
{
    const Registers registers = registersOf(context);
    MSHFileWriteHashStart(file);
    MSHFileWriteHashKey(file, "registers");
    MSHFileWriteHashStart(file);
    for (int i = 0; i < 21; ++i)
        MSHFileWriteHashEntryUint64(file, registerNames[i], registers.values[i]);
    MSHFileWriteHashEnd(file);
    MSHFileWriteHashKey(file, "stacktrace");
    MSHFileWriteArrayStart(file);
    MSHUnwindCursor cursor;
    if (context && walkStack) {
        MSHUnwindInit(&cursor, context, signalFrame, registers.values[16], registers.values[7],
                      registers.values[6]);
        while (MSHUnwindNextFrame(&cursor))
            MSHFileWriteArrayEntryUint64(file, MSHUnwindPC(&cursor));
    }
    MSHFileWriteArrayEnd(file);
    if (crashed)
        MSHFileWriteHashEntryBoolean(file, "crashed", true);
    MSHFileWriteHashEnd(file);
}

// The calling thread is described from where it stands (inside the recorder).
__attribute__((noinline)) void writeCurrentThread(MSHFile *file, bool crashed)
{
    MSHSafeLog("%s: Faking current thread", "MSHProcessGetThreadState");
    ucontext_t here;
    std::memset(&here, 0, sizeof(here));
    ::getcontext(&here);
    writeThread(file, &here, false, crashed);
}

void recordAllThreads(MSHFile *file, const ThreadList &threads, pid_t self, pid_t crashed,
                      const ucontext_t *crashedContext)
{
    MSHWritableContext *writable = MSHContextWritable();
    // Stacks are walked only while the paused threads are sure to wait: past this point the rest
    // are listed with their registers alone.
    const uint64_t deadline =
        nowNanoseconds() + uint64_t(MSHCrashRecordTimeLimitSeconds - 2) * 1000000000ULL;
    MSHFileWriteSectionStart(file, "threads");
    MSHFileWriteArrayStart(file);
    for (size_t i = 0; i < threads.count; ++i) {
        MSHSafeLog("%s: recording thread %d data", "MSHProcessRecordAllThreads", int(i));
        const pid_t tid = threads.tids[i];
        const bool isCrashed = tid == crashed;
        if (isCrashed && crashedContext) {
            writeThread(file, crashedContext, true, true);
        } else if (tid == self) {
            writeCurrentThread(file, isCrashed);
        } else {
            const MSHThreadSlot &slot = writable->threadSlots[i];
            const bool parked = slot.state.load() == SlotParked;
            writeThread(file, parked ? slot.context.load() : nullptr, true, isCrashed,
                        nowNanoseconds() < deadline);
        }
    }
    MSHFileWriteArrayEnd(file);
    MSHFileWriteSectionEnd(file);
    MSHSafeLog("%s: completed recording all thread data", "MSHProcessRecordAllThreads");
}

void recordRuntime(MSHFile *file)
{
    MSHFileWriteSectionStart(file, "runtime");
    MSHFileWriteHashStart(file);
    MSHFileWriteHashEntryString(file, "objc_selector", "");
    MSHFileWriteHashKey(file, "crash_info_entries");
    MSHFileWriteArrayStart(file);
    MSHFileWriteArrayEnd(file);
    MSHFileWriteHashEnd(file);
    MSHFileWriteSectionEnd(file);
}

void recordQueueNames(MSHFile *file, const ThreadList &threads)
{
    MSHFileWriteSectionStart(file, "dispatch_queue_names");
    MSHFileWriteArrayStart(file);
    for (size_t i = 0; i < threads.count; ++i)
        MSHFileWriteArrayEntryString(file, "");
    MSHFileWriteArrayEnd(file);
    MSHFileWriteSectionEnd(file);
}

size_t readSmallFile(const char *path, char *buffer, size_t size)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    size_t used = 0;
    while (used + 1 < size) {
        const ssize_t n = ::read(fd, buffer + used, size - 1 - used);
        if (n <= 0)
            break;
        used += size_t(n);
    }
    ::close(fd);
    buffer[used] = 0;
    return used;
}

void recordThreadNames(MSHFile *file, const ThreadList &threads)
{
    MSHFileWriteSectionStart(file, "thread_names");
    MSHFileWriteArrayStart(file);
    for (size_t i = 0; i < threads.count; ++i) {
        char path[64] = "/proc/self/task/";
        size_t used = std::strlen(path);
        used += MSHFormatUnsigned(uint64_t(threads.tids[i]), path + used);
        std::memcpy(path + used, "/comm", 6);
        char name[65];
        size_t length = readSmallFile(path, name, sizeof(name));
        while (length > 0 && name[length - 1] == '\n')
            name[--length] = 0;
        MSHFileWriteArrayEntryString(file, name);
    }
    MSHFileWriteArrayEnd(file);
    MSHFileWriteSectionEnd(file);
}

// The value in kB of one "/proc/meminfo" line, as bytes.
uint64_t meminfoBytes(const char *text, const char *key)
{
    const size_t keyLength = std::strlen(key);
    for (const char *line = text; line && *line;) {
        if (std::strncmp(line, key, keyLength) == 0) {
            const char *p = line + keyLength;
            while (*p == ' ')
                ++p;
            uint64_t value = 0;
            for (; *p >= '0' && *p <= '9'; ++p)
                value = value * 10 + uint64_t(*p - '0');
            return value * 1024;
        }
        line = std::strchr(line, '\n');
        if (line)
            ++line;
    }
    return 0;
}

void recordStats(MSHFile *file)
{
    char meminfo[8192];
    char statm[256];
    rusage usage{};
    if (readSmallFile("/proc/meminfo", meminfo, sizeof(meminfo)) == 0) {
        MSHSafeLog("%s: Unable to get process memory usage", "MSHProcessRecordStats");
        return;
    }
    if (readSmallFile("/proc/self/statm", statm, sizeof(statm)) == 0 ||
        ::getrusage(RUSAGE_SELF, &usage) != 0) {
        MSHSafeLog("%s: Unable to get process stats", "MSHProcessRecordStats");
        return;
    }
    uint64_t pages[2] = {0, 0};
    const char *p = statm;
    for (int i = 0; i < 2; ++i) {
        while (*p == ' ')
            ++p;
        for (; *p >= '0' && *p <= '9'; ++p)
            pages[i] = pages[i] * 10 + uint64_t(*p - '0');
    }
    MSHReadOnlyContext *context = MSHContextReadOnly();
    const uint64_t page = context ? context->pageSize : 4096;
    const uint64_t freeBytes = meminfoBytes(meminfo, "MemFree:");
    MSHFileWriteSectionStart(file, "process_stats");
    MSHFileWriteHashStart(file);
    MSHFileWriteHashEntryUint64(file, "active", meminfoBytes(meminfo, "Active:"));
    MSHFileWriteHashEntryUint64(file, "inactive", meminfoBytes(meminfo, "Inactive:"));
    MSHFileWriteHashEntryUint64(file, "wired", meminfoBytes(meminfo, "Unevictable:"));
    MSHFileWriteHashEntryUint64(file, "freeMem", freeBytes);
    MSHFileWriteHashEntryUint64(file, "free_mem", freeBytes);
    MSHFileWriteHashEntryUint64(file, "virtual", pages[0] * page);
    MSHFileWriteHashEntryUint64(file, "resident", pages[1] * page);
    MSHFileWriteHashEntryUint64(file, "user_time",
                                uint64_t(usage.ru_utime.tv_sec) * 1000000 +
                                    uint64_t(usage.ru_utime.tv_usec));
    MSHFileWriteHashEntryUint64(file, "sys_time",
                                uint64_t(usage.ru_stime.tv_sec) * 1000000 +
                                    uint64_t(usage.ru_stime.tv_usec));
    MSHFileWriteHashEnd(file);
    MSHFileWriteSectionEnd(file);
}

} // namespace

pid_t MSHCurrentThreadID()
{
    return pid_t(::syscall(SYS_gettid));
}

int MSHProcessSuspendSignal()
{
    // The last real-time signals are the least likely to be claimed by anything else.
    return SIGRTMAX - 2;
}

bool MSHProcessNoteCrashingThread(pid_t thread, const ucontext_t *context)
{
    MSHWritableContext *writable = MSHContextWritable();
    if (!writable || uintptr_t(context) < 4096)
        return false;
    for (MSHCrashingThread &entry : writable->crashingThreads) {
        pid_t expected = 0;
        if (entry.tid.compare_exchange_strong(expected, thread) || expected == thread) {
            entry.context.store(context);
            return true;
        }
    }
    MSHSafeLog("%s: Error: too many threads crashing at once", __func__);
    return false;
}

void MSHProcessInstallSuspendHandler()
{
    MSHReadOnlyContext *context = MSHContextReadOnly();
    if (!context)
        return;
    context->suspendSignal = MSHProcessSuspendSignal();
    struct sigaction action {
    };
    action.sa_sigaction = suspendHandler;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    if (::sigaction(context->suspendSignal, &action, nullptr) != 0) {
        MSHSafeLog("%s: Unable to install the thread suspension handler %s", __func__,
                   std::strerror(errno));
        context->suspendSignal = 0;
    }
}

void MSHHandler(MSHFile *file, pid_t crashedThread, const ucontext_t *userContext, bool runCallback)
{
    MSHReadOnlyContext *context = MSHContextReadOnly();
    if (!context || !MSHContextWritable())
        return;
    const pid_t self = MSHCurrentThreadID();
    ThreadList threads;
    listThreads(&threads, crashedThread);
    parkOtherThreads(&threads, self);
    if (uintptr_t(userContext) < 4096)
        userContext = nullptr;
    // The walk finds each frame's unwind tables in the image table: it must first know the
    // libraries loaded (and forget those unloaded) since the start, from the loader's own list.
    if (context->binaryImagePath)
        MSHBinaryImageRecordCrashTimeChanges(context->binaryImagePath);
    recordAllThreads(file, threads, self, crashedThread, userContext);
    recordRuntime(file);
    recordQueueNames(file, threads);
    recordThreadNames(file, threads);
    recordStats(file);
    MSHHostRecordStorage(file);
    releaseOtherThreads();
    if (runCallback && context->crashCallback) {
        MSHSafeLog("%s: Performing syncrhonous crash callback - hold onto your butts", __func__);
        context->crashCallback->deliverCrashDelegateCallback();
    }
}
