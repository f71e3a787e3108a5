#pragma once
// The table of loaded images (ELF objects) that crash-time code searches without a lock, and
// "binary_images.mshrecord", one "load" or "unload" line per image, from which addresses are
// symbolicated later. The loader has no load/unload callbacks here: the table is filled at start,
// reconciled with the loader's list before each exception record (`MSHBinaryImageRefresh`) and,
// at crash time, with the loader's link map read through safe reads.

#include "crashreporting/capture/MSHBinaryImageTypes.h"
#include "crashreporting/capture/MSHFile.h"

// Five words of a table entry, copied out.
struct MSHBinaryImageRange {
    uintptr_t base = 0;
    uintptr_t size = 0;
    uintptr_t ehFrame = 0;
    uintptr_t unwindInfo = 0;
    uintptr_t crashInfo = 0;
};

void MSHBinaryImageInit();
// Brings the table and the record file up to date with the loader's current list: a line per
// image loaded or unloaded since the last look. Ordinary time only.
void MSHBinaryImageRefresh();
// Waits until every queued record line is written; with a timeout (milliseconds) it gives up
// after that long and answers false.
bool MSHBinaryImageFlush(int timeoutMilliseconds = -1);
// Tracks one image (load) or forgets it (unload) and queues its record line.
void MSHBinaryImageStoreNode(bool loaded, const MSHBinaryImageDetails &details);

bool MSHBinaryImageFindImageForPC(uintptr_t pc, MSHBinaryImageRange *out);
bool MSHBinaryImageHasUnwindInfo(const MSHBinaryImageRange &entry);
// Finds a loaded image by its whole identifier (lower-case hex build-id); an empty identifier
// matches nothing.
bool MSHBinaryImageFindImageForUUID(const char *uuid, MSHBinaryImageDetails *outDetails);

// Details of a loaded image from its program headers; memory is read through the kernel.
bool MSHBinaryImageFillInImageDetails(MSHBinaryImageDetails *details, uintptr_t slide,
                                      const void *programHeaders, int count, const char *path);
bool MSHBinaryImageRecordMainExecutable(MSHFile *file);
void MSHBinaryImageRecordDetails(MSHFile *file, const MSHBinaryImageDetails &details, bool loaded);

// Crash time: walks the loader's link map and appends a line for every image loaded or unloaded
// since the table was last reconciled (the table follows). Answers the number of lines.
// Async-signal-safe.
int MSHBinaryImageRecordCrashTimeChanges(const char *path);
