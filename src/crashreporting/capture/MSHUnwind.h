#pragma once
// Walks one thread's stack at crash time: DWARF call-frame information through libunwind
// (loaded with dlopen at start, never linked, so it cannot take over C++ exception unwinding),
// then the frame-pointer chain, with a bounded stack scan for a second frame libunwind missed.

#define UNW_LOCAL_ONLY
#include <libunwind.h>

#include <cstdint>
#include <ucontext.h>

inline constexpr uint32_t MSHUnwindMaxFrames = 512;
inline constexpr uintptr_t MSHUnwindMaxScan = 64 * 1024;

struct MSHUnwindCursor {
    unw_context_t context;
    unw_cursor_t cursor;
    bool useLibunwind = false;
    uint32_t frames = 0;
    uintptr_t pc = 0;
    uintptr_t sp = 0;
    uintptr_t rbp = 0;
};

// Loads libunwind and unwinds once so its one-time set-up is done. Ordinary time.
void MSHUnwindInitialize();
bool MSHUnwindLibunwindAvailable();

// From a thread's interrupted context (signal frame), or from registers alone (null context:
// only the frame-pointer chain is followed).
bool MSHUnwindInit(MSHUnwindCursor *cursor, const ucontext_t *context, bool signalFrame,
                   uintptr_t pc, uintptr_t sp, uintptr_t rbp);
// Advances; the first call delivers the thread's own PC. False at the end of the trace.
bool MSHUnwindNextFrame(MSHUnwindCursor *cursor);
inline uintptr_t MSHUnwindPC(const MSHUnwindCursor *cursor)
{
    return cursor->pc;
}
