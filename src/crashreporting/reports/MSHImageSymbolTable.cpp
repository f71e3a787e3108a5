#include "crashreporting/reports/MSHImageSymbolTable.h"

#include "crashreporting/settings/KTBElfReader.h"

#include <QFile>
#include <QMutex>

#include <algorithm>
#include <cstring>
#include <elf.h>

namespace
{

bool inFile(const KTBMappedFile &file, uint64_t offset, uint64_t size)
{
    return offset <= file.length && size <= file.length - offset;
}

template <typename T> T readAt(const KTBMappedFile &file, uint64_t offset)
{
    T value;
    std::memcpy(&value, file.start + offset, sizeof value);
    return value;
}

QByteArray buildID(const KTBMappedFile &file)
{
    QByteArray found;
    KTBElfEnumerateNotes(
        file, [&found](QByteArrayView name, uint32_t type, QByteArrayView descriptor) {
            if (found.isEmpty() && type == NT_GNU_BUILD_ID && name == QByteArrayView("GNU"))
                found = descriptor.toByteArray();
        });
    return found;
}

QMutex debugRootMutex;
QString debugRoot = QStringLiteral("/usr/lib/debug");

// Appends the function symbols of one symbol-table section.
void readSymbols(const KTBMappedFile &file, const Elf64_Ehdr &header, const Elf64_Shdr &section,
                 std::vector<MSHImageSymbolTable::Symbol> *symbols)
{
    if (section.sh_entsize != sizeof(Elf64_Sym) ||
        !inFile(file, section.sh_offset, section.sh_size))
        return;
    if (section.sh_link == 0 || section.sh_link >= header.e_shnum)
        return;
    const auto strings =
        readAt<Elf64_Shdr>(file, header.e_shoff + uint64_t(section.sh_link) * sizeof(Elf64_Shdr));
    if (strings.sh_type != SHT_STRTAB || !inFile(file, strings.sh_offset, strings.sh_size))
        return;
    const char *names = reinterpret_cast<const char *>(file.start + strings.sh_offset);
    const uint64_t count = section.sh_size / sizeof(Elf64_Sym);
    for (uint64_t i = 0; i < count; ++i) {
        const auto symbol = readAt<Elf64_Sym>(file, section.sh_offset + i * sizeof(Elf64_Sym));
        const unsigned type = ELF64_ST_TYPE(symbol.st_info);
        if ((type != STT_FUNC && type != STT_GNU_IFUNC) || symbol.st_shndx == SHN_UNDEF ||
            symbol.st_value == 0 || symbol.st_name >= strings.sh_size)
            continue;
        const char *name = names + symbol.st_name;
        const void *end = std::memchr(name, 0, strings.sh_size - symbol.st_name);
        if (!end || end == name)
            continue;
        symbols->push_back({symbol.st_value, symbol.st_size,
                            QByteArray(name, static_cast<const char *>(end) - name)});
    }
}

// The function symbols of the file's sections of one type; false when the file has none of them.
bool readSymbolSections(const KTBMappedFile &file, const Elf64_Ehdr &header, uint32_t wanted,
                        std::vector<MSHImageSymbolTable::Symbol> *symbols)
{
    if (header.e_shentsize != sizeof(Elf64_Shdr) ||
        !inFile(file, header.e_shoff, uint64_t(header.e_shnum) * sizeof(Elf64_Shdr)))
        return false;
    bool found = false;
    for (uint16_t i = 0; i < header.e_shnum; ++i) {
        const auto section =
            readAt<Elf64_Shdr>(file, header.e_shoff + uint64_t(i) * sizeof(Elf64_Shdr));
        if (section.sh_type == wanted) {
            found = true;
            readSymbols(file, header, section, symbols);
        }
    }
    return found;
}

// Maps the file when it is 64-bit ELF whose build-id is `uuid`; the header is read into `header`.
bool mapMatchingFile(const QString &path, const QString &uuid, KTBMappedFile *file,
                     Elf64_Ehdr *header)
{
    if (!KTBElfMapFile(QFile::encodeName(path).constData(), file))
        return false;
    const QByteArray identifier = buildID(*file);
    if (identifier.isEmpty() || QString::fromLatin1(identifier.toHex()) != uuid.toLower() ||
        file->start[EI_CLASS] != ELFCLASS64 || !inFile(*file, 0, sizeof(Elf64_Ehdr))) {
        KTBElfUnmapFile(file);
        return false;
    }
    *header = readAt<Elf64_Ehdr>(*file, 0);
    return true;
}

struct Unmap {
    KTBMappedFile *file;
    ~Unmap() { KTBElfUnmapFile(file); }
};

} // namespace

QString MSHImageSymbolTable::debugFileRoot()
{
    QMutexLocker lock(&debugRootMutex);
    return debugRoot;
}

void MSHImageSymbolTable::setDebugFileRoot(const QString &root)
{
    QMutexLocker lock(&debugRootMutex);
    debugRoot = root;
}

QString MSHImageSymbolTable::debugFilePath(const QString &root, const QString &uuid)
{
    // The build-id comes from a record file: only hex digits may become part of a path.
    const QString digits = uuid.toLower();
    const bool hex = std::all_of(digits.cbegin(), digits.cend(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
               (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
    });
    if (digits.size() < 3 || !hex || root.isEmpty())
        return {};
    return root + QStringLiteral("/.build-id/") + digits.left(2) + QLatin1Char('/') +
           digits.mid(2) + QStringLiteral(".debug");
}

std::optional<MSHImageSymbolTable> MSHImageSymbolTable::load(const QString &path,
                                                             const QString &uuid)
{
    if (path.isEmpty() || uuid.isEmpty())
        return std::nullopt;
    KTBMappedFile file;
    Elf64_Ehdr header{};
    if (!mapMatchingFile(path, uuid, &file, &header))
        return std::nullopt;
    Unmap unmap{&file};

    MSHImageSymbolTable table;
    if (header.e_phentsize == sizeof(Elf64_Phdr) &&
        inFile(file, header.e_phoff, uint64_t(header.e_phnum) * sizeof(Elf64_Phdr))) {
        uint64_t lowest = UINT64_MAX;
        for (uint16_t i = 0; i < header.e_phnum; ++i) {
            const auto segment =
                readAt<Elf64_Phdr>(file, header.e_phoff + uint64_t(i) * sizeof(Elf64_Phdr));
            if (segment.p_type == PT_LOAD && segment.p_vaddr < lowest)
                lowest = segment.p_vaddr;
        }
        if (lowest != UINT64_MAX)
            table.m_firstSegment = lowest;
    }
    // The full table first; the dynamic one adds what a stripped file still exports.
    if (!readSymbolSections(file, header, SHT_SYMTAB, &table.m_symbols)) {
        // Stripped: the full table may sit in a separate debug file of the same build.
        KTBMappedFile debug;
        Elf64_Ehdr debugHeader{};
        const QString debugPath = debugFilePath(debugFileRoot(), uuid);
        if (!debugPath.isEmpty() && mapMatchingFile(debugPath, uuid, &debug, &debugHeader)) {
            Unmap unmapDebug{&debug};
            readSymbolSections(debug, debugHeader, SHT_SYMTAB, &table.m_symbols);
        }
    }
    readSymbolSections(file, header, SHT_DYNSYM, &table.m_symbols);
    std::stable_sort(table.m_symbols.begin(), table.m_symbols.end(),
                     [](const Symbol &a, const Symbol &b) { return a.address < b.address; });
    return table;
}

std::optional<MSHImageSymbolTable::Match>
MSHImageSymbolTable::symbolForAddress(uint64_t linkedAddress) const
{
    auto after = std::upper_bound(
        m_symbols.begin(), m_symbols.end(), linkedAddress,
        [](uint64_t address, const Symbol &symbol) { return address < symbol.address; });
    if (after == m_symbols.begin())
        return std::nullopt;
    const uint64_t start = std::prev(after)->address;
    // Of the names at that address, the first (the full table's) with a size that holds the
    // address; a symbol without a size holds everything up to the next one.
    for (auto it = std::lower_bound(
             m_symbols.begin(), after, start,
             [](const Symbol &symbol, uint64_t address) { return symbol.address < address; });
         it != after; ++it) {
        if (it->size == 0 || linkedAddress < it->address + it->size)
            return Match{it->name, linkedAddress - it->address};
    }
    return std::nullopt;
}
