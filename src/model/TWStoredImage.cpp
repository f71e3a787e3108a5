#include "model/TWStoredImage.h"

#include <QBuffer>
#include <QImageReader>

TWStoredImage::TWStoredImage(const QImage &image) : m_image(image)
{
}

TWStoredImage TWStoredImage::fromData(const QByteArray &data)
{
    TWStoredImage stored;
    stored.m_data = data;
    stored.m_decoded = data.isEmpty();
    return stored;
}

const QImage &TWStoredImage::image() const
{
    if (m_decoded)
        return m_image;
    m_decoded = true;
    QBuffer buffer;
    buffer.setData(m_data);
    if (!buffer.open(QIODevice::ReadOnly))
        return m_image;
    QImageReader reader(&buffer);
    reader.setAllocationLimit(allocationLimitMegabytes);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() ||
        qint64(size.width()) * qint64(size.height()) > maximumPixels)
        return m_image;
    if (size.width() > shownSize || size.height() > shownSize)
        reader.setScaledSize(size.scaled(shownSize, shownSize, Qt::KeepAspectRatio));
    QImage decoded;
    if (reader.read(&decoded))
        m_image = decoded;
    return m_image;
}

QByteArray TWStoredImage::data() const
{
    if (!m_data.isEmpty())
        return m_data;
    if (m_image.isNull())
        return {};
    QByteArray data;
    QBuffer buffer(&data);
    if (!buffer.open(QIODevice::WriteOnly) || !m_image.save(&buffer, "JPEG", 80))
        return {};
    return data;
}
