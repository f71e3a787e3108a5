#include "crashreporting/settings/KTBElfReader.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace
{

bool isNativeElf(const KTBMappedFile &file)
{
    if (!file.start || file.length < EI_NIDENT)
        return false;
    if (std::memcmp(file.start, ELFMAG, SELFMAG) != 0)
        return false;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return file.start[EI_DATA] == ELFDATA2LSB;
#else
    return file.start[EI_DATA] == ELFDATA2MSB;
#endif
}

bool inFile(const KTBMappedFile &file, uint64_t offset, uint64_t size)
{
    return offset <= file.length && size <= file.length - offset;
}

template <typename Header> bool readHeader(const KTBMappedFile &file, Header *header)
{
    if (!inFile(file, 0, sizeof(Header)))
        return false;
    std::memcpy(header, file.start, sizeof(Header));
    return true;
}

void walkNotes(const KTBMappedFile &file, uint64_t offset, uint64_t size,
               const std::function<void(QByteArrayView, uint32_t, QByteArrayView)> &block)
{
    const auto align4 = [](uint64_t value) { return (value + 3) & ~uint64_t(3); };
    uint64_t position = 0;
    while (position + sizeof(Elf32_Nhdr) <= size) {
        Elf32_Nhdr note;
        std::memcpy(&note, file.start + offset + position, sizeof note);
        const uint64_t nameStart = position + sizeof note;
        const uint64_t descriptorStart = nameStart + align4(note.n_namesz);
        const uint64_t next = descriptorStart + align4(note.n_descsz);
        if (descriptorStart + note.n_descsz > size || next < position)
            return;
        const char *name = reinterpret_cast<const char *>(file.start + offset + nameStart);
        qsizetype nameLength = note.n_namesz;
        if (nameLength > 0 && name[nameLength - 1] == '\0')
            --nameLength;
        block(QByteArrayView(name, nameLength), note.n_type,
              QByteArrayView(reinterpret_cast<const char *>(file.start + offset + descriptorStart),
                             qsizetype(note.n_descsz)));
        position = next;
    }
}

template <typename Header, typename ProgramHeader>
bool enumerate(const KTBMappedFile &file,
               const std::function<void(QByteArrayView, uint32_t, QByteArrayView)> &block)
{
    Header header;
    if (!readHeader(file, &header) || header.e_phentsize != sizeof(ProgramHeader))
        return false;
    if (!inFile(file, header.e_phoff, uint64_t(header.e_phnum) * sizeof(ProgramHeader)))
        return false;
    for (uint16_t i = 0; i < header.e_phnum; ++i) {
        ProgramHeader segment;
        std::memcpy(&segment, file.start + header.e_phoff + uint64_t(i) * sizeof segment,
                    sizeof segment);
        if (segment.p_type != PT_NOTE || !inFile(file, segment.p_offset, segment.p_filesz))
            continue;
        walkNotes(file, segment.p_offset, segment.p_filesz, block);
    }
    return true;
}

} // namespace

bool KTBElfMapFile(const char *path, KTBMappedFile *file)
{
    *file = KTBMappedFile();
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 16) {
        ::close(fd);
        return false;
    }
    void *start = ::mmap(nullptr, size_t(status.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (start == MAP_FAILED) {
        ::close(fd);
        return false;
    }
    file->fd = fd;
    file->length = size_t(status.st_size);
    file->start = static_cast<const uint8_t *>(start);
    return true;
}

void KTBElfUnmapFile(KTBMappedFile *file)
{
    if (file->start && file->length > 0)
        ::munmap(const_cast<uint8_t *>(file->start), file->length);
    if (file->fd >= 0)
        ::close(file->fd);
    *file = KTBMappedFile();
}

QString KTBElfArchitectureName(uint16_t machine)
{
    switch (machine) {
    case EM_X86_64:
        return QStringLiteral("x86_64");
    case EM_AARCH64:
        return QStringLiteral("arm64");
    case EM_386:
        return QStringLiteral("i386");
    default:
        return QStringLiteral("unknown");
    }
}

bool KTBElfMachine(const KTBMappedFile &file, uint16_t *machine)
{
    if (!isNativeElf(file) || !inFile(file, 0, sizeof(Elf32_Ehdr)))
        return false;
    // e_machine sits at the same offset in both classes.
    std::memcpy(machine, file.start + offsetof(Elf64_Ehdr, e_machine), sizeof *machine);
    return true;
}

bool KTBElfEnumerateNotes(
    const KTBMappedFile &file,
    const std::function<void(QByteArrayView, uint32_t, QByteArrayView)> &block)
{
    if (!isNativeElf(file))
        return false;
    if (file.start[EI_CLASS] == ELFCLASS64)
        return enumerate<Elf64_Ehdr, Elf64_Phdr>(file, block);
    if (file.start[EI_CLASS] == ELFCLASS32)
        return enumerate<Elf32_Ehdr, Elf32_Phdr>(file, block);
    return false;
}
