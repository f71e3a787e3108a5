#include "crashreporting/reports/MSHSymbolResolver.h"

#include "crashreporting/capture/MSHBinaryImage.h"
#include "crashreporting/capture/MSHFile.h"
#include "crashreporting/common/MSHLog.h"

#include <QFileInfo>

#include <algorithm>
#include <dlfcn.h>

namespace
{

uint64_t number(const QJsonObject &object, const char *key)
{
    return uint64_t(object.value(QLatin1String(key)).toInteger());
}

} // namespace

bool MSHSymbolResolver::loadBinaryImagesFromFile(const QString &path)
{
    if (path.isEmpty())
        return false;
    const std::optional<QList<QJsonObject>> lines = MSHFileReadSections(path, false);
    if (!lines || lines->isEmpty()) {
        MSHLog("[Mishap:Crash:SymbolResolver]",
               QStringLiteral("failed to read binary image file %1").arg(path));
        return false;
    }
    QList<QJsonObject> images;
    for (const QJsonObject &line : *lines) {
        const QJsonValue load = line.value(QStringLiteral("load"));
        if (!load.isObject())
            continue;
        const QJsonObject image = load.toObject();
        if (!image.value(QStringLiteral("base")).isDouble() ||
            !image.value(QStringLiteral("size")).isDouble())
            continue;
        images.append(image);
    }
    std::stable_sort(images.begin(), images.end(), [](const QJsonObject &a, const QJsonObject &b) {
        return number(a, "base") < number(b, "base");
    });
    m_binaryImages = images;
    m_symbolTables.clear();
    return true;
}

std::optional<QJsonObject> MSHSymbolResolver::loadedBinaryImageForPC(uint64_t pc) const
{
    for (const QJsonObject &image : m_binaryImages) {
        const uint64_t base = number(image, "base");
        if (base <= pc && pc < base + number(image, "size"))
            return image;
    }
    return std::nullopt;
}

bool MSHSymbolResolver::fillInImageDetails(MSHBinaryImageDetails *details,
                                           const QString &uuid) const
{
    if (uuid.isEmpty())
        return false;
    const QByteArray text = uuid.toLatin1();
    return MSHBinaryImageFindImageForUUID(text.constData(), details);
}

std::optional<MSHStackFrame> MSHSymbolResolver::frameForAddress(uint64_t address) const
{
    MSHStackFrame frame = MSHStackFrame::stackFrameWithAddress(address);
    if (!updateStackFrame(frame))
        return std::nullopt;
    return frame;
}

const MSHImageSymbolTable *MSHSymbolResolver::symbolTable(const QJsonObject &image) const
{
    const QString path = image.value(QStringLiteral("path")).toString();
    const QString uuid = image.value(QStringLiteral("uuid")).toString();
    const QString key = path + QLatin1Char('\n') + uuid;
    auto found = m_symbolTables.constFind(key);
    if (found == m_symbolTables.constEnd()) {
        ++m_imageFilesRead;
        std::optional<MSHImageSymbolTable> table = MSHImageSymbolTable::load(path, uuid);
        found = m_symbolTables.insert(
            key, table ? std::make_shared<const MSHImageSymbolTable>(std::move(*table)) : nullptr);
    }
    return found.value().get();
}

bool MSHSymbolResolver::updateFromLoader(MSHStackFrame &frame, const QJsonObject &image,
                                         uint64_t lookup) const
{
    MSHBinaryImageDetails details{};
    if (!fillInImageDetails(&details, image.value(QStringLiteral("uuid")).toString()))
        return false;
    const uintptr_t local = details.base + uintptr_t(lookup - number(image, "base"));
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<const void *>(local), &info))
        return false;
    if (info.dli_sname)
        frame.symbol = QString::fromUtf8(info.dli_sname);
    if (info.dli_saddr && local + (lookup != frame.address ? 1 : 0) > uintptr_t(info.dli_saddr))
        frame.offset = local + (lookup != frame.address ? 1 : 0) - uintptr_t(info.dli_saddr);
    return true;
}

bool MSHSymbolResolver::updateStackFrame(MSHStackFrame &frame) const
{
    if (frame.address == 0)
        return false;
    const std::optional<QJsonObject> image = loadedBinaryImageForPC(frame.address);
    if (!image)
        return false;
    // A return address belongs to the call just before it, which may end its function.
    const uint64_t lookup = frame.returnAddress ? frame.address - 1 : frame.address;
    const uint64_t base = number(*image, "base");
    if (lookup < base)
        return false;
    if (const MSHImageSymbolTable *table = symbolTable(*image)) {
        const uint64_t linked = lookup - base + table->firstSegmentAddress();
        if (const std::optional<MSHImageSymbolTable::Match> match =
                table->symbolForAddress(linked)) {
            frame.symbol = QString::fromUtf8(match->name);
            frame.offset = match->offset + (frame.returnAddress ? 1 : 0);
        }
    } else if (!updateFromLoader(frame, *image, lookup)) {
        return false;
    }
    frame.library = QFileInfo(image->value(QStringLiteral("path")).toString()).fileName();
    return true;
}
