#pragma once
// How the store keeps images (account icons, client and merchant logos) in
// the database: JPEG data at quality 0.8, and NULL (an empty byte array) for
// no image.

#include <QByteArray>
#include <QImage>

namespace TWStoreImages
{

// The image as JPEG at quality 0.8; an empty array (stored as NULL) for a
// null image or one that cannot be encoded.
QByteArray jpegData(const QImage &image);
// The image the data holds; a null image for no data or data that is no
// readable image.
QImage imageFromData(const QByteArray &data);

} // namespace TWStoreImages
