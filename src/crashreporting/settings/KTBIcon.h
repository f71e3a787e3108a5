#pragma once
// The application icon as the service receives it: PNG bytes, their SHA-1, the size in points;
// and the utility that renders the running application's window icon once.

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QString>

#include <memory>

class KTBIcon
{
public:
    static constexpr double maximumSurfaceArea = 1024.0 * 1024.0;

    // Null when the image gives no PNG.
    static std::shared_ptr<KTBIcon> initWithImage(const QImage &image);
    KTBIcon(const QByteArray &data, const QSizeF &size, bool prerendered = true);
    KTBIcon(const QByteArray &data, const QString &dataHash, const QSizeF &size, bool prerendered);

    const QByteArray &data() const { return m_data; }
    // SHA-1 of the data, 40 lower-case hex digits.
    const QString &dataHash() const { return m_dataHash; }
    QSizeF size() const { return m_size; }
    bool prerendered() const { return m_prerendered; }
    double surfaceArea() const { return m_size.width() * m_size.height(); }
    bool isWithinMaxSurfaceArea() const { return surfaceArea() <= maximumSurfaceArea; }
    bool largerThanSize(const QSizeF &size) const;

private:
    QByteArray m_data;
    QString m_dataHash;
    QSizeF m_size;
    bool m_prerendered = true;
};

class KTBAppIconUtility
{
public:
    // Rendered on first use; none without a window icon.
    std::shared_ptr<KTBIcon> applicationIcon();
    static std::shared_ptr<KTBIcon> fetchApplicationIcon();
    // The application's window icon at its largest size (1024 × 1024 for a scalable one); a null
    // image without one, or when called off the application's own thread.
    static QImage mainAppIcon();

private:
    bool m_fetched = false;
    std::shared_ptr<KTBIcon> m_icon;
};
