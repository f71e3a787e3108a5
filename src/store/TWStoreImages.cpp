#include "TWStoreImages.h"

#include <QBuffer>

namespace TWStoreImages
{

QByteArray jpegData(const QImage &image)
{
    if (image.isNull())
        return {};
    QByteArray data;
    QBuffer buffer(&data);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "JPEG", 80))
        return {};
    return data;
}

QImage imageFromData(const QByteArray &data)
{
    return data.isEmpty() ? QImage() : QImage::fromData(data);
}

} // namespace TWStoreImages
