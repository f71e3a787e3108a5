#pragma once
// The function symbols of one image file on disk, read from its ELF symbol tables (".symtab",
// then ".dynsym") once the file's GNU build-id matched the one recorded for the crashed
// process's image, so a later build of the same file never names the frames of an earlier one.
// The file is read as untrusted bytes: every offset is checked against its length. A stripped
// file (no ".symtab") borrows the full table of its separate debug file, found by build-id under
// the debug root (".build-id/xx/yyyy.debug", as Debian's debug packages install them) and used
// only when its own build-id is the same.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class MSHImageSymbolTable
{
public:
    struct Symbol {
        uint64_t address = 0; // as linked (the image's virtual address)
        uint64_t size = 0;
        QByteArray name;
    };
    struct Match {
        QByteArray name;
        uint64_t offset = 0;
    };

    // Reads the file; empty when it cannot be read, is not ELF, or its build-id (lower-case hex)
    // is not `uuid`.
    static std::optional<MSHImageSymbolTable> load(const QString &path, const QString &uuid);

    // Where separate debug files are looked for: "/usr/lib/debug" unless set (tests).
    static QString debugFileRoot();
    static void setDebugFileRoot(const QString &root);
    // The debug file of a build-id under the root: ".build-id/<first two digits>/<rest>.debug".
    static QString debugFilePath(const QString &root, const QString &uuid);

    // The function holding the address (an address as linked, not as loaded).
    std::optional<Match> symbolForAddress(uint64_t linkedAddress) const;
    // The lowest address of the image's loadable segments as linked: an address recorded as
    // loaded maps to `address - recordedBase + firstSegmentAddress()`.
    uint64_t firstSegmentAddress() const { return m_firstSegment; }
    size_t count() const { return m_symbols.size(); }

private:
    std::vector<Symbol> m_symbols; // sorted by address
    uint64_t m_firstSegment = 0;
};
