#pragma once
// Fatal signals: SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS and SIGTRAP are caught on the
// alternate stack and recorded in "signal.mshrecord", then handed on to whatever handled them
// before (or the default action).

#include "crashreporting/capture/MSHContext.h"

#include <cstdint>
#include <functional>

extern const int MSHHandledSignals[MSHHandledSignalCount];

struct MSHSignalNames {
    const char *name;
    const char *codeName;
};
MSHSignalNames MSHSignalNameLookup(int signal);

void MSHSignalInitialize(MSHSignalState *state);
// Gives the calling thread an alternate signal stack of its own (unless it has one), so that a
// stack overflow on it can still be recorded; the stack is released when the thread ends.
// Every thread the executable creates calls it as it starts (see MSHThreadCreation.cpp).
void MSHSignalInstallThreadStack();
void MSHSignalHandler(int signal, siginfo_t *info, void *userContext);
bool MSHSignalSafeRemoveHandlers(bool includeAbort);
bool MSHSignalSafeInstallPreexistingHandlers(const MSHSignalState *state);
// Prints a warning on standard error for every handled signal that another handler took over.
void MSHSignalCheckHandlers();
void MSHSignalEnumerateHandledSignals(const std::function<void(size_t, int)> &block);

// What is left of the kernel exception port on this platform: the record file is reset, and the
// signal-to-mask table stays for the callers that compute exclusions.
uint32_t MSHMachExceptionMaskForSignal(int signal);
void MSHMachExceptionInit(MSHMachExceptionState *state, uint32_t exclusions);
