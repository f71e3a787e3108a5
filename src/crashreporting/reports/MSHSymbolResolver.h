#pragma once
// Turns a recorded address of an earlier process into a symbol: finds the image that held it in
// that process's image list, the same image (by its whole build-id) among the images loaded in
// this process, and asks the loader for the symbol at the matching address here.

#include "MSHStackFrame.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <cstdint>
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

private:
    QList<QJsonObject> m_binaryImages;
};
