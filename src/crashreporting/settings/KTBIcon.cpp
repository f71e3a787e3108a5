#include "crashreporting/settings/KTBIcon.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <QIcon>
#include <QThread>

std::shared_ptr<KTBIcon> KTBIcon::initWithImage(const QImage &image)
{
    if (image.isNull())
        return nullptr;
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG") || png.isEmpty())
        return nullptr;
    return std::make_shared<KTBIcon>(png, QSizeF(image.size()), true);
}

KTBIcon::KTBIcon(const QByteArray &data, const QSizeF &size, bool prerendered)
    : KTBIcon(data,
              QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex()),
              size, prerendered)
{
}

KTBIcon::KTBIcon(const QByteArray &data, const QString &dataHash, const QSizeF &size,
                 bool prerendered)
    : m_data(data), m_dataHash(dataHash), m_size(size), m_prerendered(prerendered)
{
}

bool KTBIcon::largerThanSize(const QSizeF &size) const
{
    return surfaceArea() > size.width() * size.height();
}

std::shared_ptr<KTBIcon> KTBAppIconUtility::applicationIcon()
{
    if (!m_fetched) {
        m_icon = fetchApplicationIcon();
        m_fetched = true;
    }
    return m_icon;
}

std::shared_ptr<KTBIcon> KTBAppIconUtility::fetchApplicationIcon()
{
    const QImage image = mainAppIcon();
    if (image.isNull())
        return nullptr;
    return KTBIcon::initWithImage(image);
}

QImage KTBAppIconUtility::mainAppIcon()
{
    // Pixmaps belong to the application's thread.
    if (!qGuiApp || QThread::currentThread() != qGuiApp->thread())
        return {};
    const QIcon icon = QGuiApplication::windowIcon();
    if (icon.isNull())
        return {};
    QSize largest;
    const QList<QSize> sizes = icon.availableSizes();
    for (const QSize &size : sizes) {
        if (qint64(size.width()) * size.height() > qint64(largest.width()) * largest.height())
            largest = size;
    }
    if (largest.isEmpty())
        largest = QSize(1024, 1024);
    return icon.pixmap(largest).toImage();
}
