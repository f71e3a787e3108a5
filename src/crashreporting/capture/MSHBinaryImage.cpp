#include "crashreporting/capture/MSHBinaryImage.h"

#include "crashreporting/capture/MSHContext.h"
#include "crashreporting/capture/MSHSafeUtilities.h"
#include "crashreporting/common/MSHDispatchQueue.h"

#include <QFile>
#include <QSemaphore>

#include <cstring>
#include <elf.h>
#include <link.h>
#include <memory>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace
{

std::mutex refreshMutex;

void copyPath(char *to, const char *from)
{
    size_t i = 0;
    if (from) {
        for (; from[i] && i + 1 < MSHBinaryImagePathSize; ++i)
            to[i] = from[i];
    }
    to[i] = 0;
}

QByteArray executablePath()
{
    char path[MSHBinaryImagePathSize];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
    return length > 0 ? QByteArray(path, length) : QByteArray();
}

void readNotes(MSHBinaryImageDetails *details, uintptr_t start, uintptr_t length)
{
    uintptr_t position = start;
    const uintptr_t end = start + length;
    while (position + sizeof(Elf64_Nhdr) <= end) {
        Elf64_Nhdr note;
        if (!MSHReadMemory(reinterpret_cast<const void *>(position), &note, sizeof(note)))
            return;
        const uintptr_t name = position + sizeof(note);
        const uintptr_t desc = name + ((note.n_namesz + 3) & ~3u);
        const uintptr_t next = desc + ((note.n_descsz + 3) & ~3u);
        if (next > end || next <= position)
            return;
        char owner[4] = {};
        const bool gnu = note.n_namesz == 4 &&
                         MSHReadMemory(reinterpret_cast<const void *>(name), owner, 4) &&
                         std::memcmp(owner, "GNU", 4) == 0;
        if (gnu && note.n_type == NT_GNU_BUILD_ID && note.n_descsz > 0 &&
            note.n_descsz * 2 < MSHBinaryImageUUIDSize) {
            unsigned char id[64];
            if (MSHReadMemory(reinterpret_cast<const void *>(desc), id, note.n_descsz))
                MSHHexEncodeBuffer(id, note.n_descsz, details->uuid);
        } else if (gnu && note.n_type == NT_GNU_ABI_TAG && note.n_descsz >= 16) {
            uint32_t tag[4];
            if (MSHReadMemory(reinterpret_cast<const void *>(desc), tag, sizeof(tag))) {
                details->minimumVersion[0] = tag[1];
                details->minimumVersion[1] = tag[2];
                details->minimumVersion[2] = tag[3];
            }
        }
        position = next;
    }
}

MSHWritableContext *table()
{
    return MSHContextWritable();
}

// Claims an entry for a load, frees it for an unload; no lock, compare-and-swap on the base.
void storeInTable(bool loaded, const MSHBinaryImageDetails &details)
{
    MSHWritableContext *writable = table();
    if (!writable) {
        MSHSafeLog("%s: Error: Writable context is NULL", "MSHBinaryImageStoreNode");
        return;
    }
    MSHBinaryImageTable &images = writable->images;
    for (size_t i = 0; i < MSHBinaryImageTableSize; ++i) {
        MSHBinaryImageEntry &entry = images.entries[i];
        if (loaded) {
            uintptr_t expected = 0;
            if (entry.base.load() != 0 ||
                !entry.base.compare_exchange_strong(expected, details.base))
                continue;
            entry.size = details.size;
            entry.ehFrame = details.ehFrame;
            entry.unwindInfo = details.unwindInfo;
            entry.crashInfo = details.crashInfo;
            images.details[i] = details;
            return;
        }
        if (entry.base.load() != details.base || images.details[i].dynamic != details.dynamic)
            continue;
        uintptr_t expected = details.base;
        if (!entry.base.compare_exchange_strong(expected, 0)) {
            MSHSafeLog("%s: Error: Failed to swap during image unload", "MSHBinaryImageStoreNode");
            return;
        }
        entry.size = entry.ehFrame = entry.unwindInfo = entry.crashInfo = 0;
        return;
    }
    MSHSafeLog("%s: Error: Unable to track a %s node %p", "MSHBinaryImageStoreNode",
               loaded ? "loaded" : "unloaded", reinterpret_cast<void *>(details.header));
}

void writeLine(const MSHBinaryImageDetails &details, bool loaded)
{
    MSHReadOnlyContext *context = MSHContextReadOnly();
    MSHWritableContext *writable = MSHContextWritable();
    if (!context || !writable)
        return;
    MSHFile *file = &writable->binaryImageFile;
    const bool opened = !MSHFileIsOpen(file);
    if (opened && !MSHFileInitWithPath(file, context->binaryImagePath, false)) {
        MSHSafeLog("%s: Error: unable to open binary image log file", "MSHBinaryImageRecordSlice");
        return;
    }
    MSHBinaryImageRecordDetails(file, details, loaded);
    if (opened)
        MSHFileClose(file);
}

std::vector<MSHBinaryImageDetails> loadedImages()
{
    std::vector<MSHBinaryImageDetails> images;
    const QByteArray mainPath = executablePath();
    struct Collector {
        std::vector<MSHBinaryImageDetails> *images;
        const QByteArray *mainPath;
    } collector{&images, &mainPath};
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *data) -> int {
            auto *c = static_cast<Collector *>(data);
            MSHBinaryImageDetails details;
            const char *path =
                info->dlpi_name && info->dlpi_name[0] ? info->dlpi_name : c->mainPath->constData();
            if (MSHBinaryImageFillInImageDetails(&details, info->dlpi_addr, info->dlpi_phdr,
                                                 info->dlpi_phnum, path))
                c->images->push_back(details);
            return 0;
        },
        &collector);
    return images;
}

bool sameImage(const MSHBinaryImageDetails &a, const MSHBinaryImageDetails &b)
{
    return a.base == b.base && a.dynamic == b.dynamic;
}

} // namespace

bool MSHBinaryImageFillInImageDetails(MSHBinaryImageDetails *details, uintptr_t slide,
                                      const void *programHeaders, int count, const char *path)
{
    std::memset(details, 0, sizeof(*details));
    copyPath(details->path, path);
    details->slide = slide;
    uintptr_t low = UINTPTR_MAX;
    uintptr_t high = 0;
    const auto *headers = static_cast<const Elf64_Phdr *>(programHeaders);
    for (int i = 0; i < count; ++i) {
        Elf64_Phdr header;
        if (!MSHReadMemory(headers + i, &header, sizeof(header)))
            return false;
        switch (header.p_type) {
        case PT_LOAD:
            if (header.p_vaddr < low)
                low = header.p_vaddr;
            if (header.p_vaddr + header.p_memsz > high)
                high = header.p_vaddr + header.p_memsz;
            break;
        case PT_GNU_EH_FRAME:
            details->ehFrame = slide + header.p_vaddr;
            break;
        case PT_DYNAMIC:
            details->dynamic = slide + header.p_vaddr;
            break;
        case PT_NOTE:
            readNotes(details, slide + header.p_vaddr, header.p_memsz);
            break;
        default:
            break;
        }
    }
    if (low == UINTPTR_MAX)
        return false;
    details->base = slide + low;
    details->size = high - low;
    details->header = details->base;
    return true;
}

void MSHBinaryImageRecordDetails(MSHFile *file, const MSHBinaryImageDetails &details, bool loaded)
{
    MSHFileWriteSectionStart(file, loaded ? "load" : "unload");
    MSHFileWriteHashStart(file);
    MSHFileWriteHashEntryString(file, "path", details.path[0] ? details.path : nullptr);
    MSHFileWriteHashEntryString(file, "uuid", details.uuid);
    MSHFileWriteHashEntryUint64(file, "base", details.header);
    MSHFileWriteHashEntryUint64(file, "size", details.size);
    MSHFileWriteHashEnd(file);
    MSHFileWriteSectionEnd(file);
}

void MSHBinaryImageStoreNode(bool loaded, const MSHBinaryImageDetails &details)
{
    storeInTable(loaded, details);
    if (MSHDispatchQueue *queue = MSHContextBinaryImagesQueue())
        queue->async([details, loaded] { writeLine(details, loaded); });
}

void MSHBinaryImageInit()
{
    MSHWritableContext *writable = MSHContextWritable();
    MSHReadOnlyContext *context = MSHContextReadOnly();
    MSHDispatchQueue *queue = MSHContextBinaryImagesQueue();
    if (!writable || !context || !queue)
        return;
    std::lock_guard lock(refreshMutex);
    for (MSHBinaryImageEntry &entry : writable->images.entries) {
        entry.base.store(0);
        entry.size = entry.ehFrame = entry.unwindInfo = entry.crashInfo = 0;
    }
    writable->binaryImageFile = MSHFile{};
    queue->async([context, writable] {
        if (!MSHUnlinkIfExists(context->binaryImagePath))
            MSHSafeLog("%s: Unable to reset the binary image log file %s", "MSHBinaryImageInit",
                       context->binaryImagePath);
        if (!MSHFileInitWithPath(&writable->binaryImageFile, context->binaryImagePath, false))
            MSHSafeLog("%s: Error: Unable to open the binary image log file during init",
                       "MSHBinaryImageInit");
    });
    for (const MSHBinaryImageDetails &details : loadedImages())
        MSHBinaryImageStoreNode(true, details);
    // Initialisation completes only once the lines of the images loaded at start are on disk: a
    // crash soon after start must still find them.
    queue->sync([writable] { MSHFileClose(&writable->binaryImageFile); });
}

void MSHBinaryImageRefresh()
{
    MSHWritableContext *writable = MSHContextWritable();
    if (!MSHContextIsInitialized() || !writable)
        return;
    std::lock_guard lock(refreshMutex);
    const std::vector<MSHBinaryImageDetails> current = loadedImages();
    MSHBinaryImageTable &images = writable->images;
    std::vector<MSHBinaryImageDetails> known;
    for (size_t i = 0; i < MSHBinaryImageTableSize; ++i) {
        if (images.entries[i].base.load() != 0)
            known.push_back(images.details[i]);
    }
    for (const MSHBinaryImageDetails &gone : known) {
        if (std::none_of(current.begin(), current.end(),
                         [&](const MSHBinaryImageDetails &d) { return sameImage(d, gone); }))
            MSHBinaryImageStoreNode(false, gone);
    }
    for (const MSHBinaryImageDetails &image : current) {
        if (std::none_of(known.begin(), known.end(),
                         [&](const MSHBinaryImageDetails &d) { return sameImage(d, image); }))
            MSHBinaryImageStoreNode(true, image);
    }
}

bool MSHBinaryImageFlush(int timeoutMilliseconds)
{
    MSHDispatchQueue *queue = MSHContextBinaryImagesQueue();
    if (!queue)
        return true;
    if (timeoutMilliseconds < 0 || queue->isCurrent()) {
        queue->sync([] {});
        return true;
    }
    auto done = std::make_shared<QSemaphore>();
    queue->async([done] { done->release(); });
    return done->tryAcquire(1, timeoutMilliseconds);
}

bool MSHBinaryImageFindImageForPC(uintptr_t pc, MSHBinaryImageRange *out)
{
    MSHWritableContext *writable = MSHContextWritable();
    if (pc == 0 || !writable || !MSHContextReadOnly())
        return false;
    for (const MSHBinaryImageEntry &entry : writable->images.entries) {
        const uintptr_t base = entry.base.load(std::memory_order_acquire);
        if (base == 0 || pc < base || pc >= base + entry.size)
            continue;
        if (out) {
            out->base = base;
            out->size = entry.size;
            out->ehFrame = entry.ehFrame;
            out->unwindInfo = entry.unwindInfo;
            out->crashInfo = entry.crashInfo;
        }
        return true;
    }
    return false;
}

bool MSHBinaryImageHasUnwindInfo(const MSHBinaryImageRange &entry)
{
    return entry.unwindInfo != 0;
}

bool MSHBinaryImageFindImageForUUID(const char *uuid, MSHBinaryImageDetails *outDetails)
{
    if (!uuid || !outDetails) {
        MSHSafeLog("%s: null input", __func__);
        return false;
    }
    if (!uuid[0])
        return false;
    for (const MSHBinaryImageDetails &details : loadedImages()) {
        if (details.uuid[0] && std::strcmp(details.uuid, uuid) == 0) {
            *outDetails = details;
            return true;
        }
    }
    return false;
}

bool MSHBinaryImageRecordMainExecutable(MSHFile *file)
{
    const std::vector<MSHBinaryImageDetails> images = loadedImages();
    if (images.empty())
        return false;
    // The loader lists the main program first.
    const MSHBinaryImageDetails &main = images.front();
    char minimum[48];
    MSHSafeFormatString(minimum, sizeof(minimum), "%u.%u.%u", main.minimumVersion[0],
                        main.minimumVersion[1], main.minimumVersion[2]);
    MSHFileWriteSectionStart(file, "executable");
    MSHFileWriteHashStart(file);
    MSHFileWriteHashEntryString(file, "architecture", "x86_64");
    MSHFileWriteHashEntryString(file, "uuid", main.uuid);
    MSHFileWriteHashEntryUint64(file, "base", main.header);
    MSHFileWriteHashEntryUint64(file, "size", main.size);
    MSHFileWriteHashEntryBoolean(file, "encrypted", false);
    MSHFileWriteHashEntryString(file, "minimum_sdk_version", minimum);
    MSHFileWriteHashEntryString(file, "built_sdk_version", "0.0.0");
    MSHFileWriteHashEnd(file);
    MSHFileWriteSectionEnd(file);
    return true;
}

int MSHBinaryImageRecordCrashTimeChanges(const char *path)
{
    MSHWritableContext *writable = MSHContextWritable();
    if (!writable || !path)
        return 0;
    MSHBinaryImageTable &images = writable->images;
    bool seen[MSHBinaryImageTableSize] = {};
    MSHFile file;
    bool opened = false;
    int lines = 0;
    auto line = [&](const MSHBinaryImageDetails &details, bool loaded) {
        if (!opened)
            opened = MSHFileInitWithPath(&file, path, false);
        if (opened) {
            MSHBinaryImageRecordDetails(&file, details, loaded);
            ++lines;
        }
    };

    r_debug debug;
    link_map *node = nullptr;
    if (MSHReadMemory(&_r_debug, &debug, sizeof(debug)))
        node = debug.r_map;
    for (int guard = 0; node && guard < 4096; ++guard) {
        link_map map;
        if (!MSHReadMemory(node, &map, sizeof(map)))
            break;
        bool known = false;
        for (size_t i = 0; i < MSHBinaryImageTableSize; ++i) {
            if (images.entries[i].base.load() != 0 &&
                images.details[i].dynamic == uintptr_t(map.l_ld)) {
                seen[i] = true;
                known = true;
                break;
            }
        }
        if (!known && map.l_addr != 0) {
            Elf64_Ehdr header;
            if (MSHReadMemory(reinterpret_cast<const void *>(map.l_addr), &header,
                              sizeof(header)) &&
                std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0) {
                char name[MSHBinaryImagePathSize] = {};
                for (size_t i = 0; i + 1 < sizeof(name); ++i) {
                    if (!MSHReadMemory(map.l_name + i, name + i, 1) || name[i] == 0)
                        break;
                }
                MSHBinaryImageDetails details;
                if (MSHBinaryImageFillInImageDetails(
                        &details, map.l_addr,
                        reinterpret_cast<const void *>(map.l_addr + header.e_phoff), header.e_phnum,
                        name)) {
                    storeInTable(true, details);
                    for (size_t i = 0; i < MSHBinaryImageTableSize; ++i) {
                        if (images.entries[i].base.load() == details.base &&
                            images.details[i].dynamic == details.dynamic)
                            seen[i] = true;
                    }
                    line(details, true);
                }
            }
        }
        node = map.l_next;
    }
    for (size_t i = 0; i < MSHBinaryImageTableSize; ++i) {
        if (seen[i] || images.entries[i].base.load() == 0)
            continue;
        const MSHBinaryImageDetails &gone = images.details[i];
        line(gone, false);
        storeInTable(false, gone);
    }
    if (opened)
        MSHFileClose(&file);
    return lines;
}
