// Linked into the executable itself (not the library): the program's own pthread_create, which
// the loader binds every library's calls to (Qt's threads and thread pools, std::thread, GLib's
// workers), so that each new thread starts with an alternate signal stack and a stack overflow
// on any thread leaves a record. The thread is then created by the C library's own function.

#include "crashreporting/capture/MSHSignal.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <dlfcn.h>
#include <pthread.h>

namespace
{

using CreateFunction = int (*)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);

struct ThreadStart {
    void *(*routine)(void *);
    void *argument;
};

CreateFunction realCreate()
{
    static std::atomic<CreateFunction> found{nullptr};
    CreateFunction create = found.load(std::memory_order_acquire);
    if (!create) {
        create = reinterpret_cast<CreateFunction>(::dlsym(RTLD_NEXT, "pthread_create"));
        found.store(create, std::memory_order_release);
    }
    return create;
}

void *startWithSignalStack(void *argument)
{
    const ThreadStart start = *static_cast<ThreadStart *>(argument);
    std::free(argument);
    MSHSignalInstallThreadStack();
    return start.routine(start.argument);
}

} // namespace

extern "C" int pthread_create(pthread_t *thread, const pthread_attr_t *attributes,
                              void *(*routine)(void *), void *argument)
{
    const CreateFunction create = realCreate();
    if (!create)
        return EAGAIN;
    auto *start = static_cast<ThreadStart *>(std::malloc(sizeof(ThreadStart)));
    if (!start)
        return create(thread, attributes, routine, argument);
    *start = {routine, argument};
    const int result = create(thread, attributes, startWithSignalStack, start);
    if (result != 0)
        std::free(start);
    return result;
}
