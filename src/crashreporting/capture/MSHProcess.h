#pragma once
// The crash-time recorder every fatal path calls on its open record file: it parks the other
// threads, writes the threads (registers and stack traces), runtime, queue names, thread names,
// process statistics and storage sections, and lets the threads go. No heap, no lock.

#include "crashreporting/capture/MSHFile.h"

#include <sys/types.h>
#include <ucontext.h>

// Installs the handler of the real-time signal that parks a thread during a crash.
void MSHProcessInstallSuspendHandler();

// `userContext` is the crashed thread's interrupted context (none on the exception path, where
// the calling thread is described from where it stands). `runCallback` is set only on the
// terminate path, never inside a signal handler.
void MSHHandler(MSHFile *file, pid_t crashedThread, const ucontext_t *userContext,
                bool runCallback);

pid_t MSHCurrentThreadID();
