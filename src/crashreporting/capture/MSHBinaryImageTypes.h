#pragma once
// The binary-image table kept in the crash context: what crash-time code needs to find the image
// of an address without a lock, and the details each "load"/"unload" line is written from.

#include <atomic>
#include <cstddef>
#include <cstdint>

inline constexpr size_t MSHBinaryImageTableSize = 512;
// A GNU build-id of up to 64 bytes, as lower-case hex.
inline constexpr size_t MSHBinaryImageUUIDSize = 129;
inline constexpr size_t MSHBinaryImagePathSize = 512;

struct MSHBinaryImageDetails {
    char uuid[MSHBinaryImageUUIDSize];
    bool encrypted;
    uint32_t builtSDKVersion[3];
    uint32_t minimumVersion[3];
    uintptr_t base;
    uintptr_t size;
    uintptr_t ehFrame;
    uintptr_t unwindInfo;
    uintptr_t crashInfo;
    uintptr_t header;
    uintptr_t slide;
    // The image's dynamic section: the key the loader's own list shares with ours.
    uintptr_t dynamic;
    char path[MSHBinaryImagePathSize];
};

// Five words per image; a base of 0 marks a free entry.
struct MSHBinaryImageEntry {
    std::atomic<uintptr_t> base;
    uintptr_t size;
    uintptr_t ehFrame;
    uintptr_t unwindInfo;
    uintptr_t crashInfo;
};

struct MSHBinaryImageTable {
    MSHBinaryImageEntry entries[MSHBinaryImageTableSize];
    // Details of the image in the entry of the same index, written after the entry is claimed.
    MSHBinaryImageDetails details[MSHBinaryImageTableSize];
};
