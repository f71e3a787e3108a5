#pragma once
// The crash-time recorder every fatal path calls on its open record file: it parks the other
// threads, brings the image table up to date, writes the threads (registers and stack traces),
// runtime, queue names, thread names, process statistics and storage sections, and lets the
// threads go. No heap, no lock.

#include "crashreporting/capture/MSHFile.h"

#include <sys/types.h>
#include <ucontext.h>

// Installs the handler of the real-time signal that parks a thread during a crash.
void MSHProcessInstallSuspendHandler();
// The real-time signal that parks a thread (fatal handlers keep it blocked while they run).
int MSHProcessSuspendSignal();
// A faulting thread, from its own signal handler: publishes its interrupted context, so that the
// record describes it whichever thread records. Async-signal-safe; false when every place is
// taken.
bool MSHProcessNoteCrashingThread(pid_t thread, const ucontext_t *context);

// `userContext` is the crashed thread's interrupted context (none on the exception path, where
// the calling thread is described from where it stands). `runCallback` is set only on the
// terminate path, never inside a signal handler.
void MSHHandler(MSHFile *file, pid_t crashedThread, const ucontext_t *userContext,
                bool runCallback);

pid_t MSHCurrentThreadID();
