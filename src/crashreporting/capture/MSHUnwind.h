#pragma once
// Walks one thread's stack at crash time: DWARF call-frame information through libunwind's remote
// interface (loaded with dlopen at start, never linked, so it cannot take over C++ exception
// unwinding), then the frame-pointer chain, with a bounded stack scan for a second frame
// libunwind missed. libunwind's local unwinding asks the loader for the unwind tables
// (dl_iterate_phdr, under the loader's lock, which a paused thread may hold); here it reads
// registers from the recorded context, memory through the safe reader and the tables through the
// image table recorded before the crash, so the walk takes no lock another thread can hold.

#include <libunwind.h>

#include <cstdint>
#include <ucontext.h>

inline constexpr uint32_t MSHUnwindMaxFrames = 512;
inline constexpr uintptr_t MSHUnwindMaxScan = 64 * 1024;
// General registers in libunwind's x86-64 numbering: rax, rdx, rcx, rbx, rsi, rdi, rbp, rsp,
// r8-r15, rip.
inline constexpr int MSHUnwindRegisterCount = 17;

struct MSHUnwindCursor {
    unw_cursor_t cursor;
    unw_word_t registers[MSHUnwindRegisterCount] = {};
    bool useLibunwind = false;
    uint32_t frames = 0;
    uintptr_t pc = 0;
    uintptr_t sp = 0;
    uintptr_t rbp = 0;
};

// Loads libunwind, makes its address space and unwinds once so its one-time set-up is done.
// Ordinary time.
void MSHUnwindInitialize();
bool MSHUnwindLibunwindAvailable();

// From a thread's interrupted context (the registers at the fault or where the thread was
// paused), or from registers alone (null context: only the frame-pointer chain is followed).
bool MSHUnwindInit(MSHUnwindCursor *cursor, const ucontext_t *context, bool signalFrame,
                   uintptr_t pc, uintptr_t sp, uintptr_t rbp);
// Advances; the first call delivers the thread's own PC. False at the end of the trace.
bool MSHUnwindNextFrame(MSHUnwindCursor *cursor);
inline uintptr_t MSHUnwindPC(const MSHUnwindCursor *cursor)
{
    return cursor->pc;
}
