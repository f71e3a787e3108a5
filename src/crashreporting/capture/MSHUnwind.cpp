#include "crashreporting/capture/MSHUnwind.h"

#include "crashreporting/capture/MSHBinaryImage.h"
#include "crashreporting/capture/MSHSafeUtilities.h"

#include <atomic>
#include <cstring>
#include <dlfcn.h>

namespace
{

using CreateAddressSpace = unw_addr_space_t (*)(unw_accessors_t *, int);
using SetCachingPolicy = int (*)(unw_addr_space_t, unw_caching_policy_t);
using InitRemote = int (*)(unw_cursor_t *, unw_addr_space_t, void *);
using Step = int (*)(unw_cursor_t *);
using GetReg = int (*)(unw_cursor_t *, unw_regnum_t, unw_word_t *);
using SearchTable = int (*)(unw_addr_space_t, unw_word_t, unw_dyn_info_t *, unw_proc_info_t *, int,
                            void *);

InitRemote initRemote = nullptr;
Step step = nullptr;
GetReg getReg = nullptr;
SearchTable searchTable = nullptr;
unw_addr_space_t addressSpace = nullptr;
std::atomic<bool> available{false};

// DWARF pointer encodings of ".eh_frame_hdr" (the ones every linker writes).
constexpr uint8_t encodingUdata4 = 0x03;
constexpr uint8_t encodingSdata4 = 0x0b;
constexpr uint8_t encodingDatarelSdata4 = 0x3b;

// The unwind tables of the image holding the address, found in the image table recorded at
// ordinary time and read through the safe reader.
int findProcInfo(unw_addr_space_t space, unw_word_t ip, unw_proc_info_t *info, int needUnwindInfo,
                 void *argument)
{
    MSHBinaryImageRange image;
    if (!MSHBinaryImageFindImageForPC(uintptr_t(ip), &image) || image.ehFrame < 4096)
        return -UNW_ENOINFO;
    struct {
        uint8_t version;
        uint8_t framePointerEncoding;
        uint8_t countEncoding;
        uint8_t tableEncoding;
        uint32_t framePointer;
        uint32_t count;
    } header;
    static_assert(sizeof(header) == 12);
    if (!MSHReadMemory(reinterpret_cast<const void *>(image.ehFrame), &header, sizeof(header)))
        return -UNW_ENOINFO;
    const uint8_t pointerSize = header.framePointerEncoding & 0x0f;
    if (header.version != 1 || header.countEncoding != encodingUdata4 ||
        header.tableEncoding != encodingDatarelSdata4 ||
        (pointerSize != encodingUdata4 && pointerSize != encodingSdata4) || header.count == 0)
        return -UNW_ENOINFO;
    unw_dyn_info_t table{};
    table.start_ip = image.base;
    table.end_ip = image.base + image.size;
    table.format = UNW_INFO_FORMAT_REMOTE_TABLE;
    table.u.rti.segbase = image.ehFrame;
    // Entries of two 4-byte words; the length is counted in unw_word_t.
    table.u.rti.table_len = unw_word_t(header.count) * 8 / sizeof(unw_word_t);
    table.u.rti.table_data = image.ehFrame + sizeof(header);
    return searchTable(space, ip, &table, info, needUnwindInfo, argument);
}

// libunwind frees what its table search allocated itself.
void putUnwindInfo(unw_addr_space_t, unw_proc_info_t *, void *)
{
}

int getDynamicInfoListAddress(unw_addr_space_t, unw_word_t *, void *)
{
    return -UNW_ENOINFO;
}

int accessMemory(unw_addr_space_t, unw_word_t address, unw_word_t *value, int write, void *)
{
    if (write)
        return -UNW_EINVAL;
    return MSHReadMemory(reinterpret_cast<const void *>(address), value, sizeof(*value))
               ? 0
               : -UNW_EINVAL;
}

int accessRegister(unw_addr_space_t, unw_regnum_t number, unw_word_t *value, int write,
                   void *argument)
{
    auto *cursor = static_cast<MSHUnwindCursor *>(argument);
    if (number < 0 || number >= MSHUnwindRegisterCount)
        return -UNW_EBADREG;
    if (write)
        cursor->registers[number] = *value;
    else
        *value = cursor->registers[number];
    return 0;
}

int accessFloatRegister(unw_addr_space_t, unw_regnum_t, unw_fpreg_t *, int, void *)
{
    return -UNW_EBADREG;
}

int resume(unw_addr_space_t, unw_cursor_t *, void *)
{
    return -UNW_EINVAL;
}

int getProcName(unw_addr_space_t, unw_word_t, char *, size_t, unw_word_t *, void *)
{
    return -UNW_ENOINFO;
}

void loadRegisters(MSHUnwindCursor *cursor, const ucontext_t *context)
{
    const greg_t *g = context->uc_mcontext.gregs;
    const int order[MSHUnwindRegisterCount] = {REG_RAX, REG_RDX, REG_RCX, REG_RBX, REG_RSI, REG_RDI,
                                               REG_RBP, REG_RSP, REG_R8,  REG_R9,  REG_R10, REG_R11,
                                               REG_R12, REG_R13, REG_R14, REG_R15, REG_RIP};
    for (int i = 0; i < MSHUnwindRegisterCount; ++i)
        cursor->registers[i] = unw_word_t(g[order[i]]);
}

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
    // The remote flavour of libunwind: every memory, register and table access goes through the
    // accessors above.
    void *library = ::dlopen("libunwind-x86_64.so.8", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        MSHSafeLog("%s: libunwind is not available, frame pointers only", __func__);
        return;
    }
    auto createAddressSpace =
        reinterpret_cast<CreateAddressSpace>(::dlsym(library, "_Ux86_64_create_addr_space"));
    auto setCachingPolicy =
        reinterpret_cast<SetCachingPolicy>(::dlsym(library, "_Ux86_64_set_caching_policy"));
    initRemote = reinterpret_cast<InitRemote>(::dlsym(library, "_Ux86_64_init_remote"));
    step = reinterpret_cast<Step>(::dlsym(library, "_Ux86_64_step"));
    getReg = reinterpret_cast<GetReg>(::dlsym(library, "_Ux86_64_get_reg"));
    searchTable =
        reinterpret_cast<SearchTable>(::dlsym(library, "_Ux86_64_dwarf_search_unwind_table"));
    if (!createAddressSpace || !setCachingPolicy || !initRemote || !step || !getReg ||
        !searchTable) {
        MSHSafeLog("%s: libunwind lacks the remote unwinding entry points", __func__);
        return;
    }
    static unw_accessors_t accessors{findProcInfo, putUnwindInfo,  getDynamicInfoListAddress,
                                     accessMemory, accessRegister, accessFloatRegister,
                                     resume,       getProcName};
    addressSpace = createAddressSpace(&accessors, 0);
    if (!addressSpace) {
        MSHSafeLog("%s: libunwind could not make an address space", __func__);
        return;
    }
    // No cache: the global one is guarded by a lock.
    setCachingPolicy(addressSpace, UNW_CACHE_NONE);
    // One walk now, so that libunwind's lazy set-up never runs inside a crash.
    auto *cursor = new MSHUnwindCursor;
    ucontext_t here;
    ::getcontext(&here);
    loadRegisters(cursor, &here);
    if (initRemote(&cursor->cursor, addressSpace, cursor) == 0) {
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
    // The context holds the registers where the thread stopped (its PC is exact, not a return
    // address), which is where the remote walk starts.
    (void)signalFrame;
    if (context && available.load()) {
        loadRegisters(cursor, context);
        cursor->useLibunwind = initRemote(&cursor->cursor, addressSpace, cursor) == 0;
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
