#pragma once
// An image kept the way the document stores it (encoded bytes) and decoded
// only when first shown: bounded in pixels and memory, scaled down to the
// size logos and icons are shown at. An image too large to decode is shown
// as missing and kept as stored, so saving never loses it.

#include <QByteArray>
#include <QImage>
#include <QSize>

class TWStoredImage
{
public:
    TWStoredImage() = default;
    // An image set in memory (a new logo or icon): saved as JPEG.
    TWStoredImage(const QImage &image); // NOLINT: an image is a stored image
    // Encoded bytes as stored; decoded on first use.
    static TWStoredImage fromData(const QByteArray &data);

    // The image, decoded on first call; null for none, for bytes that are no
    // readable image and for an image past the bounds below.
    const QImage &image() const;
    // The encoded bytes to store: those read, unchanged, when the image came
    // from them; the image as JPEG when it was set in memory; empty for none.
    QByteArray data() const;
    bool hasData() const { return !m_data.isEmpty() || !m_image.isNull(); }
    // Whether the image is decoded (tests check that opening decodes none).
    bool isDecoded() const { return m_decoded; }

    // Bounds of decoding: images with more pixels than this are not decoded
    // at all; the rest are decoded scaled to fit the shown size, within a
    // memory allocation limit.
    static constexpr qint64 maximumPixels = 4096LL * 4096LL;
    static constexpr int shownSize = 1024;
    static constexpr int allocationLimitMegabytes = 64;

private:
    QByteArray m_data;
    mutable QImage m_image;
    mutable bool m_decoded = true;
};
