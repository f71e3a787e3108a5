#include "crashreporting/capture/MSHSignal.h"

#include "crashreporting/capture/MSHProcess.h"
#include "crashreporting/capture/MSHSafeUtilities.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

const int MSHHandledSignals[MSHHandledSignalCount] = {SIGABRT, SIGBUS, SIGFPE, SIGILL,
                                                      SIGSEGV, SIGSYS, SIGTRAP};

namespace
{

void sleepMilliseconds(long milliseconds)
{
    timespec pause{milliseconds / 1000, (milliseconds % 1000) * 1000 * 1000};
    ::nanosleep(&pause, nullptr);
}

// Another thread is recording: wait until its record is complete and the process ends through
// its signal. The wait is bounded by the time a record may take; should the process outlive
// that twice over, it ends with status 1.
[[noreturn]] void waitForRecordingThread(MSHWritableContext *writable)
{
    for (int i = 0; i < MSHCrashRecordTimeLimitSeconds * 100 && !writable->crashRecorded.load();
         ++i)
        sleepMilliseconds(10);
    for (int i = 0; i < MSHCrashRecordTimeLimitSeconds * 100; ++i)
        sleepMilliseconds(10);
    ::_exit(1);
}

} // namespace

namespace
{

// The thread's own alternate stack, unmapped when the thread ends.
class ThreadSignalStack
{
public:
    ThreadSignalStack()
    {
        stack_t current{};
        if (::sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE))
            return;
        const size_t page = size_t(::sysconf(_SC_PAGESIZE));
        // A guard page below the stack: a handler that overruns it faults instead of writing
        // over other memory.
        void *mapping = ::mmap(nullptr, MSHStackSize + page, PROT_READ | PROT_WRITE,
                               MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
        if (mapping == MAP_FAILED)
            return;
        ::mprotect(mapping, page, PROT_NONE);
        stack_t stack{};
        stack.ss_sp = static_cast<char *>(mapping) + page;
        stack.ss_size = MSHStackSize;
        if (::sigaltstack(&stack, nullptr) != 0) {
            ::munmap(mapping, MSHStackSize + page);
            return;
        }
        m_mapping = mapping;
        m_length = MSHStackSize + page;
    }
    ~ThreadSignalStack()
    {
        if (!m_mapping)
            return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        ::sigaltstack(&off, nullptr);
        ::munmap(m_mapping, m_length);
    }
    ThreadSignalStack(const ThreadSignalStack &) = delete;
    ThreadSignalStack &operator=(const ThreadSignalStack &) = delete;

private:
    void *m_mapping = nullptr;
    size_t m_length = 0;
};

} // namespace

void MSHSignalInstallThreadStack()
{
    thread_local ThreadSignalStack stack;
    (void)stack;
}

MSHSignalNames MSHSignalNameLookup(int signal)
{
    switch (signal) {
    case SIGILL:
        return {"SIGILL", nullptr};
    case SIGTRAP:
        return {"SIGTRAP", nullptr};
    case SIGABRT:
        return {"SIGABRT", "ABORT"};
    case SIGFPE:
        return {"SIGFPE", nullptr};
    case SIGBUS:
        return {"SIGBUS", nullptr};
    case SIGSEGV:
        return {"SIGSEGV", nullptr};
    case SIGSYS:
        return {"SIGSYS", nullptr};
    default:
        return {"UNKNOWN", nullptr};
    }
}

uint32_t MSHMachExceptionMaskForSignal(int signal)
{
    switch (signal) {
    case SIGILL:
        return 4;
    case SIGTRAP:
        return 64;
    case SIGABRT:
        return 1024;
    case SIGFPE:
        return 8;
    case SIGBUS:
    case SIGSEGV:
        return 2;
    case SIGSYS:
        return 1024;
    default:
        return 0;
    }
}

void MSHMachExceptionInit(MSHMachExceptionState *state, uint32_t exclusions)
{
    if (!state)
        return;
    if (!MSHUnlinkIfExists(state->path))
        MSHSafeLog("%s: Unable to reset the mach exception file %s", __func__, state->path);
    // No exception port exists here, so there is nothing to exclude from it.
    (void)exclusions;
}

void MSHSignalEnumerateHandledSignals(const std::function<void(size_t, int)> &block)
{
    for (size_t i = 0; i < MSHHandledSignalCount; ++i)
        block(i, MSHHandledSignals[i]);
}

void MSHSignalInitialize(MSHSignalState *state)
{
    MSHReadOnlyContext *context = MSHContextReadOnly();
    if (!state || !context)
        return;
    if (!MSHUnlinkIfExists(state->path))
        MSHSafeLog("%s: Unable to reset the signal log file %s", __func__, state->path);
    stack_t stack{};
    stack.ss_sp = context->signalStack;
    stack.ss_size = MSHStackSize;
    stack.ss_flags = 0;
    stack_t previous{};
    if (::sigaltstack(&stack, &previous) != 0) {
        MSHSafeLog("%s: Unable to setup stack %s", __func__, std::strerror(errno));
    } else if (!(previous.ss_flags & SS_DISABLE)) {
        state->previousStack = previous;
        state->hasPreviousStack = true;
    }
    for (size_t i = 0; i < MSHHandledSignalCount; ++i) {
        struct sigaction action {
        };
        action.sa_sigaction = MSHSignalHandler;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        // A faulting thread is described by its own fault, never parked inside its handler.
        sigaddset(&action.sa_mask, MSHProcessSuspendSignal());
        struct sigaction previousAction {
        };
        if (::sigaction(MSHHandledSignals[i], &action, &previousAction) != 0) {
            MSHSafeLog("%s: Unable to install handler for %d (%s)", __func__, MSHHandledSignals[i],
                       std::strerror(errno));
            continue;
        }
        const bool hadHandler = (previousAction.sa_flags & SA_SIGINFO)
                                    ? previousAction.sa_sigaction != nullptr
                                    : previousAction.sa_handler != SIG_DFL;
        if (hadHandler)
            state->previous[i] = previousAction;
        else
            std::memset(&state->previous[i], 0, sizeof(state->previous[i]));
    }
}

bool MSHSignalSafeRemoveHandlers(bool includeAbort)
{
    bool ok = true;
    for (size_t i = 0; i < MSHHandledSignalCount; ++i) {
        if (!includeAbort && MSHHandledSignals[i] == SIGABRT)
            continue;
        struct sigaction action {
        };
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        if (::sigaction(MSHHandledSignals[i], &action, nullptr) != 0) {
            MSHSafeLog("%s: Unable to set default handler for %d (errno %d)", __func__,
                       MSHHandledSignals[i], errno);
            ok = false;
        }
    }
    return ok;
}

bool MSHSignalSafeInstallPreexistingHandlers(const MSHSignalState *state)
{
    bool ok = MSHSignalSafeRemoveHandlers(true);
    if (!state)
        return ok;
    if (state->hasPreviousStack) {
        // Fails harmlessly while this thread still runs on the alternate stack.
        ::sigaltstack(&state->previousStack, nullptr);
    }
    for (size_t i = 0; i < MSHHandledSignalCount; ++i) {
        const struct sigaction &previous = state->previous[i];
        if (previous.sa_handler == nullptr)
            continue;
        if (::sigaction(MSHHandledSignals[i], &previous, nullptr) != 0)
            ok = false;
    }
    return ok;
}

void MSHSignalHandler(int signal, siginfo_t *info, void *userContext)
{
    const int savedErrno = errno;
    errno = 0;
    MSHSafeLog("%s: Signal: %d", __func__, signal);

    // The handlers stay in place until the record is complete: a fault on another thread must
    // wait here rather than end the process in the middle of the record. Every other signal
    // (SIGTERM, the application's own) waits until the record is written; the fatal ones stay
    // open so that a fault inside the recorder still ends the process.
    sigset_t mask;
    sigfillset(&mask);
    for (size_t i = 0; i < MSHHandledSignalCount; ++i)
        sigdelset(&mask, MSHHandledSignals[i]);
    if (::pthread_sigmask(SIG_SETMASK, &mask, nullptr) != 0)
        MSHSafeLog("%s: Unable to set the signal mask", __func__);

    MSHReadOnlyContext *context = MSHContextReadOnly();
    MSHWritableContext *writable = MSHContextWritable();
    const pid_t self = MSHCurrentThreadID();
    // The abort after an uncaught exception is recorded too: the exception record neither sets
    // nor tests the crash flag, so the abort is this process's first crash.
    if (context && writable) {
        // Whichever thread records, this one is described where its fault stopped it.
        MSHProcessNoteCrashingThread(self, static_cast<const ucontext_t *>(userContext));
        if (MSHContextMarkAndCheckIfCrashed()) {
            MSHSafeLog("%s: Error: aborting signal handler because crash has already occurred",
                       __func__);
            if (writable->crashingThread.load() == self || writable->crashRecorded.load())
                ::_exit(1);
            waitForRecordingThread(writable);
        }
        writable->crashingThread.store(self);
        MSHFile file;
        if (MSHFileInitWithPath(&file, context->signal.path, false)) {
            MSHFileWriteSectionStart(&file, "signal");
            MSHFileWriteHashStart(&file);
            if (uintptr_t(info) >= 4096) {
                const MSHSignalNames names = MSHSignalNameLookup(signal);
                MSHFileWriteHashEntryUint64(&file, "number", uint64_t(uint32_t(info->si_signo)));
                MSHFileWriteHashEntryUint64(&file, "code", uint64_t(uint32_t(info->si_code)));
                MSHFileWriteHashEntryUint64(&file, "address", uintptr_t(info->si_addr));
                MSHFileWriteHashEntryString(&file, "name", names.name);
                MSHFileWriteHashEntryString(&file, "code_name", names.codeName);
            }
            MSHFileWriteHashEntryUint64(&file, "errno", uint64_t(uint32_t(savedErrno)));
            MSHFileWriteHashEntryUint64(&file, "time", uint64_t(::time(nullptr)));
            MSHFileWriteHashEnd(&file);
            MSHFileWriteSectionEnd(&file);
            MSHHandler(&file, self,
                       uintptr_t(userContext) < 4096 ? nullptr
                                                     : static_cast<const ucontext_t *>(userContext),
                       false);
            MSHFileClose(&file);
        } else {
            MSHSafeLog("%s: Unable to open signal file", __func__);
        }
        writable->crashRecorded.store(1);
    }

    MSHSignalSafeInstallPreexistingHandlers(context ? &context->signal : nullptr);
    errno = savedErrno;
    // A signal sent by a process or by raise/abort does not come back by itself when the
    // handler returns: send it again for the handler now in place.
    if (uintptr_t(info) >= 4096 && info->si_code <= 0)
        ::syscall(SYS_tgkill, ::getpid(), self, signal);
}

void MSHSignalCheckHandlers()
{
    MSHSignalEnumerateHandledSignals([](size_t, int signal) {
        struct sigaction current {
        };
        if (::sigaction(signal, nullptr, &current) != 0) {
            std::fprintf(stderr, "Unable to read signal handler\n");
            return;
        }
        void *handler = (current.sa_flags & SA_SIGINFO)
                            ? reinterpret_cast<void *>(current.sa_sigaction)
                            : reinterpret_cast<void *>(current.sa_handler);
        if (handler == reinterpret_cast<void *>(MSHSignalHandler))
            return;
        const char *symbol = "unknown";
        Dl_info info{};
        if (handler && reinterpret_cast<uintptr_t>(handler) > 4096 && ::dladdr(handler, &info) &&
            info.dli_sname)
            symbol = info.dli_sname;
        std::fprintf(stderr,
                     "[Mishap] The signal %s has a non-Mishap handler (%s).  This will interfer "
                     "with reporting.\n",
                     MSHSignalNameLookup(signal).name, symbol);
    });
}
