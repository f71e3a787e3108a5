#pragma once
// Turns a recorded address of an earlier process into a symbol: finds the image that held it in
// that process's image list and names the function from that image file's ELF symbol tables
// (read once per report, and only when the file's build-id is the recorded one). An image whose
// file cannot be read is looked up among the images of this process (by its whole build-id) and
// the loader asked for the symbol there.

#include "crashreporting/reports/MSHImageSymbolTable.h"
#include "crashreporting/reports/MSHStackFrame.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

struct MSHBinaryImageDetails;

class MSHSymbolResolver
{
public:
    // Keeps the "load" lines that have a base and a size, sorted by base; false for an empty
    // path or a file without any record line.
    bool loadBinaryImagesFromFile(const QString &path);
    const QList<QJsonObject> &binaryImages() const { return m_binaryImages; }

    // The first recorded image, in base order, whose range holds the address.
    std::optional<QJsonObject> loadedBinaryImageForPC(uint64_t pc) const;
    // The running process's image with that build-id.
    bool fillInImageDetails(MSHBinaryImageDetails *details, const QString &uuid) const;
    std::optional<MSHStackFrame> frameForAddress(uint64_t address) const;
    // Fills in symbol, offset and library; false when the address cannot be resolved.
    bool updateStackFrame(MSHStackFrame &frame) const;

    // Image files read so far (tests check each is read once).
    int imageFilesRead() const { return m_imageFilesRead; }

private:
    const MSHImageSymbolTable *symbolTable(const QJsonObject &image) const;
    bool updateFromLoader(MSHStackFrame &frame, const QJsonObject &image, uint64_t lookup) const;

    QList<QJsonObject> m_binaryImages;
    // By path and build-id; a null entry for a file that could not be used.
    mutable QHash<QString, std::shared_ptr<const MSHImageSymbolTable>> m_symbolTables;
    mutable int m_imageFilesRead = 0;
};
