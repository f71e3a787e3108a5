// tw_crash_helper SCENARIO REPORT_DIR: starts crash capture and fails on purpose, so the tests
// can read the record it leaves. Scenarios: segv, abort, terminate, terminate-bare (std::terminate
// with no exception in flight), twocrash, loaderlock (a
// thread holds the loader's lock when the fault comes),
// overflow-pool and overflow-thread (a QThreadPool worker's or a std::thread's stack runs out),
// dlopen (the fault comes inside the library named by TW_CRASH_TEST_LIBRARY, loaded after the
// start), manythreads (the newest of 600 threads faults), and busypool-SCENARIO (SCENARIO with
// every thread of the global thread pool busy from before the start; the time the start took is
// printed as "initialised in N ms").
// tw_crash_helper package REPORT_DIR PREPARED_DIR: symbolicates and packages a report folder the
// way a later launch does (against this program's own images), prints the package's path and
// removes the folder; a failure leaves the folder and exits with 1.
// tw_crash_helper launch-crash-early | launch-crash-late | launch-throw-late | launch MILLISECONDS:
// starts the crash-reporting component for real, as the application does (API key
// "helper-api-key", bundle identifier "org.tallyworth.crashhelper", folders under XDG_CACHE_HOME
// and XDG_DATA_HOME, the service endpoints from the environment), then crashes before its first
// main-loop turn, crashes after it (launch-throw-late: by an uncaught exception), or prints
// "started" once the start call has returned and runs its event loop for the given time.
// tw_crash_helper launch-crash-on-input prints "started" and crashes once a line
// arrives on its standard input. With TW_CRASH_HELPER_KILL_AT=STEP a launch kills itself (SIGKILL,
// nothing recorded) when the report pipeline reaches that step; with TW_CRASH_HELPER_WAIT_AT=STEP it
// prints "waiting at STEP" there the first time and goes on once a line arrives on its standard
// input. With TW_CRASH_HELPER_NO_ROOM=ERRNO
// every write into a symbolicated record fails with that errno, as on a full disk or quota (with
// TW_CRASH_HELPER_NO_ROOM_IN=PART as well, every write into a file whose path holds PART). With
// TW_CRASH_HELPER_SWAP (see below) the structure folder is a link for a moment, again and again.
// With TW_CRASH_HELPER_MOUNTED=PATH the entry whose path ends in "/PATH" is taken for a file system
// mounted there (for machines where the tests cannot mount one).
// (Built from .cc files so the test suite's *.cpp glob leaves it out.)

#include "crashreporting/Kitbase.h"
#include "crashreporting/common/MSHApplicationInfo.h"
#include "crashreporting/capture/MSHContext.h"
#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/common/MSHStepObserver.h"
#include "crashreporting/reports/MSHInternalReport.h"
#include "crashreporting/reports/MSHPackageReportOperation.h"
#include "crashreporting/reports/MSHProcessReportOperation.h"
#include "crashreporting/capture/MSHSafeUtilities.h"
#include "crashreporting/reports/MSHSymbolResolver.h"
#include "crashreporting/Mishap.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <pthread.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

// Set before the start when writes into symbolicated records (or, with a path part, into files
// whose path holds it) are to fail.
static int noRoomError = 0;
static char noRoomIn[256];

// Every write of the program comes here first: only those into a symbolicated record being
// written (or a file whose path holds the part given) fail, and only when asked.
extern "C" ssize_t write(int descriptor, const void *bytes, size_t length)
{
    if (noRoomError != 0 && descriptor > 2) {
        char link[64];
        char target[4096];
        std::snprintf(link, sizeof(link), "/proc/self/fd/%d", descriptor);
        const ssize_t size = ::readlink(link, target, sizeof(target) - 1);
        const char suffix[] = ".symbolicated.partial";
        const bool matches =
            size >= 0 &&
            (noRoomIn[0] != 0 ? (target[size] = 0, std::strstr(target, noRoomIn) != nullptr)
                              : size >= ssize_t(sizeof(suffix) - 1) &&
                                    std::memcmp(target + size - (sizeof(suffix) - 1), suffix,
                                                sizeof(suffix) - 1) == 0);
        if (matches) {
            errno = noRoomError;
            return -1;
        }
    }
    return ::syscall(SYS_write, descriptor, bytes, length);
}

// With TW_CRASH_HELPER_SWAP=NAME and TW_CRASH_HELPER_DECOY=FOLDER: whenever a report folder
// named NAME is looked at by its path ("…/v3/STAGE/NAME"), the structure folder is swapped for a
// link to FOLDER for that moment, and put back as soon as the cache folder is opened again (the
// start of any walk down from it), as a race against the start would do at its worst.
static char swapName[256];
static char swapDecoy[4096];
static char swapCache[4096];
static char swappedStructure[4096];

static void swapStructureFor(const char *path)
{
    if (swapName[0] == 0 || swappedStructure[0] != 0)
        return;
    const size_t length = std::strlen(path);
    const size_t name = std::strlen(swapName);
    const char *v3 = std::strstr(path, "/v3/");
    if (!v3 || length <= name || std::strcmp(path + length - name, swapName) != 0 ||
        path[length - name - 1] != '/' || size_t(v3 - path) + 3 >= sizeof(swappedStructure))
        return;
    char real[4096 + 8];
    std::memcpy(swappedStructure, path, size_t(v3 - path) + 3);
    swappedStructure[v3 - path + 3] = 0;
    std::snprintf(real, sizeof(real), "%s.real", swappedStructure);
    if (::syscall(SYS_renameat, AT_FDCWD, swappedStructure, AT_FDCWD, real) != 0 ||
        ::syscall(SYS_symlinkat, swapDecoy, AT_FDCWD, swappedStructure) != 0)
        swappedStructure[0] = 0;
}

static void putStructureBack(const char *path)
{
    if (swappedStructure[0] == 0 || std::strcmp(path, swapCache) != 0)
        return;
    char real[4096 + 8];
    std::snprintf(real, sizeof(real), "%s.real", swappedStructure);
    ::syscall(SYS_unlinkat, AT_FDCWD, swappedStructure, 0);
    ::syscall(SYS_renameat, AT_FDCWD, real, AT_FDCWD, swappedStructure);
    swappedStructure[0] = 0;
}

extern "C" int lstat(const char *path, struct stat *status)
{
    swapStructureFor(path);
    return int(::syscall(SYS_newfstatat, AT_FDCWD, path, status, AT_SYMLINK_NOFOLLOW));
}

extern "C" int open(const char *path, int flags, ...)
{
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, mode_t);
        va_end(arguments);
    }
    putStructureBack(path);
    return int(::syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}

// With TW_CRASH_HELPER_MOUNTED: what statx says of an entry (looked at from its folder) whose path
// ends in that part is what it says of the root of a file system mounted there.
static char mountedPart[4096];

extern "C" int statx(int folder, const char *name, int flags, unsigned int mask,
                     struct statx *status)
{
    const int result = int(::syscall(SYS_statx, folder, name, flags, mask, status));
    if (result != 0 || mountedPart[0] == 0 || name[0] == 0)
        return result;
    char link[64];
    char path[8192];
    std::snprintf(link, sizeof(link), "/proc/self/fd/%d", folder);
    const ssize_t size =
        folder == AT_FDCWD ? -1 : ::readlink(link, path, sizeof(path) - std::strlen(name) - 2);
    if (size < 0)
        return result;
    std::snprintf(path + size, sizeof(path) - size_t(size), "/%s", name);
    const size_t length = std::strlen(path);
    const size_t part = std::strlen(mountedPart);
    if (length > part && path[length - part - 1] == '/' &&
        std::strcmp(path + length - part, mountedPart) == 0) {
        status->stx_attributes_mask |= STATX_ATTR_MOUNT_ROOT;
        status->stx_attributes |= STATX_ATTR_MOUNT_ROOT;
        status->stx_mnt_id += 1000;
    }
    return result;
}

extern "C" void *__libc_malloc(size_t);
extern "C" void *__libc_calloc(size_t, size_t);
extern "C" void *__libc_realloc(void *, size_t);

namespace
{

std::atomic<int> allocationsAfterCrash{0};

// Counts what the recording thread allocates once the crash flag is set; other threads may
// still be finishing ordinary work (queued image lines) when the crash begins.
void countAllocation()
{
    if (!MSHContextCrashOccurred())
        return;
    MSHWritableContext *writable = MSHContextWritable();
    if (writable && writable->crashingThread.load() == pid_t(::syscall(SYS_gettid)))
        allocationsAfterCrash.fetch_add(1, std::memory_order_relaxed);
}

// Runs after the capture handler hands the signal on: reports the allocations made since the
// crash flag was set, then lets the signal end the process.
void reportAndDie(int signal)
{
    char line[96];
    const size_t length = MSHSafeFormatString(line, sizeof(line), "allocations after crash: %d\n",
                                              allocationsAfterCrash.load());
    const ssize_t written = ::write(2, line, length);
    (void)written;
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

volatile int *volatile nowhere = nullptr;
std::atomic<int> ready{0};

void writeFrames(const char *dir, const void *leaf, const void *intoMiddle, const void *intoOuter,
                 const void *intoMain)
{
    char path[4096];
    std::snprintf(path, sizeof(path), "%s/frames.txt", dir);
    FILE *out = std::fopen(path, "w");
    if (!out)
        return;
    std::fprintf(out, "0x%lx\n0x%lx\n0x%lx\n0x%lx\n", (unsigned long)leaf,
                 (unsigned long)intoMiddle, (unsigned long)intoOuter, (unsigned long)intoMain);
    std::fclose(out);
}

// A thread that never answers the request to park: it must be listed with zero registers.
void startSilentWorker()
{
    std::atomic<int> started{0};
    std::thread([&started] {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
        pthread_setname_np(pthread_self(), "tw-silent");
        started.store(1);
        for (;;)
            ::pause();
    }).detach();
    while (!started.load())
        ::usleep(1000);
}

void startNamedWorker()
{
    std::thread([] {
        pthread_setname_np(pthread_self(), "tw\"worker");
        ready.store(1);
        for (;;)
            ::pause();
    }).detach();
    while (!ready.load())
        ::usleep(1000);
}

// Recurses until the thread's stack runs out.
__attribute__((noinline)) int overflow(int depth)
{
    volatile char pad[512];
    pad[0] = char(depth);
    if (nowhere != nullptr)
        return pad[0];
    return overflow(depth + 1) + pad[0];
}

// The stack of a worker started one way or another runs out; the main thread waits.
void overflowOnWorker(const char *scenario)
{
    if (std::strcmp(scenario, "overflow-pool") == 0) {
        QThreadPool::globalInstance()->start([] { overflow(0); });
    } else {
        std::thread([] { overflow(0); }).detach();
    }
    for (;;)
        ::pause();
}

// A thread that holds the loader's lock (inside a dl_iterate_phdr callback) and never lets go.
void holdLoaderLock()
{
    static std::atomic<int> holding{0};
    std::thread([] {
        dl_iterate_phdr(
            [](dl_phdr_info *, size_t, void *) -> int {
                holding.store(1);
                for (;;)
                    ::pause();
                return 0;
            },
            nullptr);
    }).detach();
    while (!holding.load())
        ::usleep(1000);
}

// The monotonic clock in milliseconds, on standard error, just before the fault.
void printCrashTime()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    char line[96];
    const size_t length = MSHSafeFormatString(line, sizeof(line), "crashing at %llu\n",
                                              (unsigned long long)now.tv_sec * 1000ULL +
                                                  (unsigned long long)now.tv_nsec / 1000000ULL);
    const ssize_t written = ::write(2, line, length);
    (void)written;
}

// Loads the test library now, well after the start, and faults inside it.
void faultInLateLibrary()
{
    const char *path = std::getenv("TW_CRASH_TEST_LIBRARY");
    void *library = path ? ::dlopen(path, RTLD_NOW | RTLD_LOCAL) : nullptr;
    auto fault = library ? reinterpret_cast<void (*)(volatile int *)>(
                               ::dlsym(library, "twCrashTestLibraryFault"))
                         : nullptr;
    if (!fault) {
        std::fprintf(stderr, "cannot load the test library\n");
        std::exit(4);
    }
    fault(nowhere);
}

// 600 idle threads, then one more that faults: the newest thread lists last.
void crashOnTheNewestOfManyThreads()
{
    for (int i = 0; i < 600; ++i) {
        std::thread([] {
            for (;;)
                ::pause();
        }).detach();
    }
    std::thread([] {
        pthread_setname_np(pthread_self(), "tw-newest");
        *nowhere = 3;
    }).detach();
    for (;;)
        ::pause();
}

// Two threads fault: the second while the first one's crash is being recorded. The second
// blocks every signal but the fault, so it is never asked to park: only its own handler can
// describe it.
void crashTwice()
{
    std::atomic<int> waiting{0};
    std::thread second([&waiting] {
        pthread_setname_np(pthread_self(), "tw-fault");
        sigset_t mask;
        sigfillset(&mask);
        sigdelset(&mask, SIGSEGV);
        pthread_sigmask(SIG_BLOCK, &mask, nullptr);
        waiting.store(1);
        while (!MSHContextCrashOccurred()) {
        }
        *nowhere = 2;
    });
    std::thread first([&waiting] {
        pthread_setname_np(pthread_self(), "tw-fault");
        while (waiting.load() < 1) {
        }
        *nowhere = 2;
    });
    first.join();
    second.join();
}

} // namespace

extern "C" {
__attribute__((noinline)) void twCrashHelperLeaf(const char *scenario, const char *dir,
                                                 const void *intoOuter, const void *intoMain);
__attribute__((noinline)) void twCrashHelperMiddle(const char *scenario, const char *dir,
                                                   const void *intoMain);
__attribute__((noinline)) void twCrashHelperOuter(const char *scenario, const char *dir);

void *malloc(size_t size)
{
    countAllocation();
    return __libc_malloc(size);
}

void *calloc(size_t count, size_t size)
{
    countAllocation();
    return __libc_calloc(count, size);
}

void *realloc(void *pointer, size_t size)
{
    countAllocation();
    return __libc_realloc(pointer, size);
}

void twCrashHelperLeaf(const char *scenario, const char *dir, const void *intoOuter,
                       const void *intoMain)
{
    writeFrames(dir, reinterpret_cast<const void *>(&twCrashHelperLeaf),
                __builtin_return_address(0), intoOuter, intoMain);
    if (std::strcmp(scenario, "segv") == 0) {
        startNamedWorker();
        startSilentWorker();
        *nowhere = 1;
    } else if (std::strncmp(scenario, "overflow-", 9) == 0) {
        overflowOnWorker(scenario);
    } else if (std::strcmp(scenario, "loaderlock") == 0) {
        holdLoaderLock();
        printCrashTime();
        *nowhere = 1;
    } else if (std::strcmp(scenario, "abort") == 0) {
        std::abort();
    } else if (std::strcmp(scenario, "terminate") == 0) {
        throw std::runtime_error("boom");
    } else if (std::strcmp(scenario, "terminate-bare") == 0) {
        std::terminate();
    } else if (std::strcmp(scenario, "twocrash") == 0) {
        crashTwice();
    } else if (std::strcmp(scenario, "dlopen") == 0) {
        faultInLateLibrary();
    } else if (std::strcmp(scenario, "manythreads") == 0) {
        crashOnTheNewestOfManyThreads();
    }
    asm volatile("" ::: "memory");
}

void twCrashHelperMiddle(const char *scenario, const char *dir, const void *intoMain)
{
    twCrashHelperLeaf(scenario, dir, __builtin_return_address(0), intoMain);
    asm volatile("" ::: "memory");
}

void twCrashHelperOuter(const char *scenario, const char *dir)
{
    twCrashHelperMiddle(scenario, dir, __builtin_return_address(0));
    asm volatile("" ::: "memory");
}
}

namespace
{

int package(const QString &reportDir, const QString &preparedDir)
{
    auto report = MSHInternalReport::reportWithPath(reportDir);
    MSHSymbolResolver resolver;
    MSHProcessReportOperation processing(report, &resolver);
    processing.start();
    MSHFileManager files(preparedDir);
    MSHPackageReportOperation packaging(report, &files);
    packaging.setDestinationDirectory(preparedDir);
    packaging.start();
    if (packaging.finalPath().isEmpty())
        return 1;
    std::printf("%s\n", packaging.finalPath().toLocal8Bit().constData());
    // Claimed for its package by now, under another name.
    return files.removeItemAtPath(report->path()) ? 0 : 1;
}

QByteArray killAtStep;
QByteArray waitAtStep;

void atNamedStep(const char *step)
{
    if (killAtStep == step)
        ::kill(::getpid(), SIGKILL);
    // The first time only: the test lets the pipeline go on with a line on standard input.
    static std::atomic<bool> waited{false};
    if (waitAtStep == step && !waited.exchange(true)) {
        std::printf("waiting at %s\n", step);
        std::fflush(stdout);
        char line[64];
        (void)!std::fgets(line, sizeof(line), stdin);
    }
}

void waitForCrashContext()
{
    for (int i = 0; i < 500 && !MSHContextIsInitialized(); ++i)
        ::usleep(10000);
}

int launch(int argc, char **argv)
{
    rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    const QByteArray mode = argv[1];
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationDomain(QStringLiteral("org.tallyworth"));
    QCoreApplication::setApplicationName(QStringLiteral("crashhelper"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.2.3"));
    MSHApplicationInfo::setInfoDictionary(
        {{QStringLiteral("Kitbase"), QVariantMap{{QStringLiteral("APIKey"),
                                                  QStringLiteral("helper-api-key")}}},
         {QStringLiteral("CFBundleVersion"), QStringLiteral("123")}});

    noRoomError = qEnvironmentVariableIntValue("TW_CRASH_HELPER_NO_ROOM");
    std::snprintf(noRoomIn, sizeof(noRoomIn), "%s",
                  qgetenv("TW_CRASH_HELPER_NO_ROOM_IN").constData());
    std::snprintf(swapName, sizeof(swapName), "%s", qgetenv("TW_CRASH_HELPER_SWAP").constData());
    std::snprintf(swapDecoy, sizeof(swapDecoy), "%s",
                  qgetenv("TW_CRASH_HELPER_DECOY").constData());
    std::snprintf(swapCache, sizeof(swapCache), "%s", qgetenv("XDG_CACHE_HOME").constData());
    std::snprintf(mountedPart, sizeof(mountedPart), "%s",
                  qgetenv("TW_CRASH_HELPER_MOUNTED").constData());
    killAtStep = qgetenv("TW_CRASH_HELPER_KILL_AT");
    waitAtStep = qgetenv("TW_CRASH_HELPER_WAIT_AT");
    if (!killAtStep.isEmpty() || !waitAtStep.isEmpty())
        MSHSetStepObserver(atNamedStep);
    Kitbase::with({&Mishap::sharedInstance()});

    if (mode == "launch-crash-early") {
        waitForCrashContext();
        Mishap::sharedInstance().crash();
    }
    if (mode == "launch-crash-on-input") {
        auto *input = new QSocketNotifier(0, QSocketNotifier::Read, &app);
        QObject::connect(input, &QSocketNotifier::activated, &app, [] {
            waitForCrashContext();
            Mishap::sharedInstance().crash();
        });
        std::printf("started\n");
        std::fflush(stdout);
        return app.exec();
    }
    if (mode == "launch-throw-late") {
        QTimer::singleShot(300, &app, [] {
            waitForCrashContext();
            throw std::runtime_error("late");
        });
        return app.exec();
    }
    if (mode == "launch-crash-late") {
        // Well after the first turn, which removes the launch marker.
        QTimer::singleShot(300, &app, [] {
            waitForCrashContext();
            Mishap::sharedInstance().crash();
        });
        return app.exec();
    }
    std::printf("started\n");
    std::fflush(stdout);
    const int milliseconds = argc > 2 ? std::atoi(argv[2]) : 0;
    QTimer::singleShot(milliseconds, &app, &QCoreApplication::quit);
    app.exec();
    std::fflush(stdout);
    std::fflush(stderr);
    // The component's queues live as long as the process; ending here spares their teardown.
    ::_exit(0);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && std::strncmp(argv[1], "launch", 6) == 0)
        return launch(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "package") == 0) {
        QCoreApplication app(argc, argv);
        return package(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: tw_crash_helper [busypool-]segv|abort|terminate|terminate-bare|twocrash|loaderlock|overflow-pool|overflow-thread|dlopen|manythreads REPORT_DIR\n"
                             "       tw_crash_helper package REPORT_DIR PREPARED_DIR\n");
        return 2;
    }
    rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationDomain(QStringLiteral("example.tallyworth"));
    QCoreApplication::setApplicationName(QStringLiteral("crash-helper"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.2.3"));
    const QByteArray dir = QByteArray(argv[2]);
    QDir().mkpath(QString::fromLocal8Bit(dir));

    ::signal(SIGSEGV, reportAndDie);
    ::signal(SIGABRT, reportAndDie);

    const char *scenario = argv[1];
    if (std::strncmp(scenario, "busypool-", 9) == 0) {
        scenario += 9;
        // Every worker of the application's shared pool is taken and stays taken.
        QThreadPool *pool = QThreadPool::globalInstance();
        for (int i = 0; i < pool->maxThreadCount(); ++i) {
            pool->start([] {
                for (;;)
                    ::pause();
            });
        }
    }
    QElapsedTimer initialisation;
    initialisation.start();
    MSHContextInitData data;
    data.apiKey = "helper-api-key";
    data.sessionID = "helper-session";
    data.installID = "helper-install";
    data.reportPath = dir.constData();
    MSHContextInitialize(&data);
    for (int i = 0; i < 500 && !MSHContextIsInitialized(); ++i)
        ::usleep(10000);
    std::fprintf(stderr, "initialised in %lld ms\n", (long long)initialisation.elapsed());

    twCrashHelperOuter(scenario, dir.constData());
    return 3;
}
