#include "import/core/TWImportText.h"

#include <QStringDecoder>

namespace
{

// Windows-1252's 0x80-0x9F; the five unassigned bytes keep their Latin-1 value.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool startsWith(const QByteArray &data, const char *mark, qsizetype length)
{
    return data.size() >= length && std::equal(mark, mark + length, data.constData());
}

QString decodeUtf16(const QByteArray &data, QStringConverter::Encoding encoding)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(data).sliced(2));
}

} // namespace

namespace TWImportText
{

QString decodeWindows1252(const char *bytes, qsizetype size)
{
    QString text(size, Qt::Uninitialized);
    QChar *out = text.data();
    for (qsizetype i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        out[i] =
            QChar(byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : char16_t(byte));
    }
    return text;
}

QString decode(const QByteArray &data)
{
    if (startsWith(data, "\xFF\xFE", 2))
        return decodeUtf16(data, QStringConverter::Utf16LE);
    if (startsWith(data, "\xFE\xFF", 2))
        return decodeUtf16(data, QStringConverter::Utf16BE);
    const QByteArrayView bytes =
        startsWith(data, "\xEF\xBB\xBF", 3) ? QByteArrayView(data).sliced(3) : QByteArrayView(data);
    // Stateless: a sequence cut at the end is an error, not something to wait for.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return decodeWindows1252(bytes.constData(), bytes.size());
}

} // namespace TWImportText
