#pragma once
// A small reader of the executable file on disk: maps it read-only, names its architecture from
// the ELF header and walks the notes of its PT_NOTE segments (bounds-checked: the file is read as
// untrusted bytes). An ELF file is a single slice.

#include <QByteArrayView>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

struct KTBMappedFile {
    int fd = -1;
    size_t length = 0;
    const uint8_t *start = nullptr;
};

// Opens the file read-only; it must be a regular file of at least 16 bytes. On any failure the
// file is closed and the answer is false.
bool KTBElfMapFile(const char *path, KTBMappedFile *file);
void KTBElfUnmapFile(KTBMappedFile *file);

// x86_64, "arm64" for aarch64, i386; "unknown" for any other machine.
QString KTBElfArchitectureName(uint16_t machine);
// The machine of the ELF header; false for a file that is not ELF of this byte order.
bool KTBElfMachine(const KTBMappedFile &file, uint16_t *machine);
// Calls the block for each note (owner name without its NUL, type, descriptor); false when the
// file is not ELF of this byte order or its program headers lie outside it.
bool KTBElfEnumerateNotes(const KTBMappedFile &file,
                          const std::function<void(QByteArrayView name, uint32_t type,
                                                   QByteArrayView descriptor)> &block);
