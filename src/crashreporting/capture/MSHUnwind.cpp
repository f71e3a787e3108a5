#include "MSHUnwind.h"

#include "MSHBinaryImage.h"
#include "MSHSafeUtilities.h"

#include <atomic>
#include <cstring>
#include <dlfcn.h>

namespace
{

using InitLocal2 = int (*)(unw_cursor_t *, unw_context_t *, int);
using Step = int (*)(unw_cursor_t *);
using GetReg = int (*)(unw_cursor_t *, unw_regnum_t, unw_word_t *);

InitLocal2 initLocal2 = nullptr;
Step step = nullptr;
GetReg getReg = nullptr;
std::atomic<bool> available{false};

bool readRegisters(MSHUnwindCursor *cursor)
{
    unw_word_t ip = 0, sp = 0, bp = 0;
    if (getReg(&cursor->cursor, UNW_REG_IP, &ip) < 0 ||
        getReg(&cursor->cursor, UNW_REG_SP, &sp) < 0)
        return false;
    getReg(&cursor->cursor, UNW_X86_64_RBP, &bp);
    cursor->pc = ip;
    cursor->sp = sp;
    cursor->rbp = bp;
    return true;
}

bool readStack(uintptr_t address, uintptr_t *out)
{
    if (!MSHReadMemory(reinterpret_cast<const void *>(address), out, sizeof(*out))) {
        MSHSafeLog("%s: Error: failed to read memory", "MSHUnwindReadStack");
        return false;
    }
    return true;
}

bool unwindWithFramePointer(MSHUnwindCursor *cursor, bool scan)
{
    if (scan) {
        MSHSafeLog("%s: Attempting stack scan", __func__);
        // Up to rbp, but never further than 64 KiB: a wild rbp must not send the scan across
        // the whole address space.
        uintptr_t end = cursor->rbp;
        if (end < cursor->sp)
            end = cursor->sp;
        if (end - cursor->sp > MSHUnwindMaxScan)
            end = cursor->sp + MSHUnwindMaxScan;
        for (uintptr_t address = cursor->sp; address + sizeof(uintptr_t) <= end;
             address += sizeof(uintptr_t)) {
            if (address < 4096)
                continue;
            uintptr_t word;
            if (!MSHReadMemory(reinterpret_cast<const void *>(address), &word, sizeof(word)))
                break;
            if (MSHBinaryImageFindImageForPC(word, nullptr)) {
                MSHSafeLog("%s: Stack scan successful", __func__);
                cursor->pc = word;
                return true;
            }
        }
    }
    uintptr_t savedRbp, returnAddress;
    if (!readStack(cursor->rbp, &savedRbp) || !readStack(cursor->rbp + 8, &returnAddress))
        return false;
    cursor->sp = cursor->rbp + 16;
    cursor->rbp = savedRbp;
    cursor->pc = returnAddress;
    return true;
}

} // namespace

void MSHUnwindInitialize()
{
    if (available.load())
        return;
    void *library = ::dlopen("libunwind.so.8", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        MSHSafeLog("%s: libunwind is not available, frame pointers only", __func__);
        return;
    }
    initLocal2 = reinterpret_cast<InitLocal2>(::dlsym(library, "_ULx86_64_init_local2"));
    step = reinterpret_cast<Step>(::dlsym(library, "_ULx86_64_step"));
    getReg = reinterpret_cast<GetReg>(::dlsym(library, "_ULx86_64_get_reg"));
    if (!initLocal2 || !step || !getReg) {
        MSHSafeLog("%s: libunwind lacks the local unwinding entry points", __func__);
        return;
    }
    // One walk now, so that libunwind's lazy set-up never runs inside a crash.
    auto *cursor = new MSHUnwindCursor;
    ::getcontext(&cursor->context);
    if (initLocal2(&cursor->cursor, &cursor->context, 0) == 0) {
        for (int i = 0; i < 4 && step(&cursor->cursor) > 0; ++i) {
        }
    }
    delete cursor;
    available.store(true);
}

bool MSHUnwindLibunwindAvailable()
{
    return available.load();
}

bool MSHUnwindInit(MSHUnwindCursor *cursor, const ucontext_t *context, bool signalFrame,
                   uintptr_t pc, uintptr_t sp, uintptr_t rbp)
{
    if (!cursor)
        return false;
    cursor->frames = 0;
    cursor->pc = pc;
    cursor->sp = sp;
    cursor->rbp = rbp;
    cursor->useLibunwind = false;
    if (context && available.load()) {
        std::memcpy(&cursor->context, context, sizeof(cursor->context));
        cursor->useLibunwind = initLocal2(&cursor->cursor, &cursor->context,
                                          signalFrame ? UNW_INIT_SIGNAL_FRAME : 0) == 0;
    }
    return true;
}

bool MSHUnwindNextFrame(MSHUnwindCursor *cursor)
{
    if (cursor->pc < 4096 || cursor->sp < 4096) {
        if (cursor->frames == 0)
            MSHSafeLog("%s: Cancelling unwind for thread with invalid PC/SP", __func__);
        else
            MSHSafeLog("%s: Error: thread PC/SP invalid before unwind", __func__);
        return false;
    }
    if (cursor->frames >= MSHUnwindMaxFrames) {
        MSHSafeLog("%s: Error: failed to advance to the next frame", __func__);
        return false;
    }
    if (cursor->frames == 0) {
        cursor->frames = 1;
        return true;
    }
    bool stepped = false;
    if (cursor->useLibunwind) {
        const int result = step(&cursor->cursor);
        if (result == 0)
            return false;
        if (result > 0 && readRegisters(cursor)) {
            stepped = true;
        } else {
            // The registers libunwind reached stay; the rest of the walk follows frame pointers.
            cursor->useLibunwind = false;
        }
    }
    if (!stepped && !unwindWithFramePointer(cursor, cursor->frames == 1)) {
        MSHSafeLog("%s: Error: Unable to use frame pointer", __func__);
        MSHSafeLog("%s: Error: failed to advance to the next frame", __func__);
        return false;
    }
    if (cursor->pc < 4096)
        return false;
    if (cursor->sp < 4096) {
        MSHSafeLog("%s: Error: SP (%p) isn't a valid pointer", __func__,
                   reinterpret_cast<void *>(cursor->sp));
        return false;
    }
    cursor->frames += 1;
    return true;
}
