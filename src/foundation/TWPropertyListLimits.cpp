#include "foundation/TWPropertyListLimits.h"

#include <QVarLengthArray>

namespace TWPropertyListLimits
{

namespace
{

bool startsWith(const QByteArray &data, qsizetype at, const char *prefix)
{
    const qsizetype length = qsizetype(qstrlen(prefix));
    return at + length <= data.size() && memcmp(data.constData() + at, prefix, size_t(length)) == 0;
}

bool regionHas(const QByteArray &data, qsizetype from, qsizetype to, const char *characters)
{
    for (qsizetype i = from; i < to; ++i) {
        if (strchr(characters, data.at(i)) != nullptr && data.at(i) != '\0')
            return true;
    }
    return false;
}

bool isNameStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':';
}

} // namespace

Verdict checkXML(const QByteArray &data, const Limits &limits)
{
    // XML has no NUL characters; the parser would keep them inside texts and keys, and a key
    // with a NUL in it stops the library on an assertion.
    if (data.contains('\0'))
        return Verdict::Malformed;
    const qsizetype n = data.size();
    int depth = 0;
    qint64 elements = 0;
    qsizetype i = 0;
    while ((i = data.indexOf('<', i)) >= 0) {
        if (i + 1 >= n)
            return Verdict::Malformed;
        const char next = data.at(i + 1);
        if (next == '?') {
            // Processing instruction (the XML declaration): no markup inside.
            const qsizetype end = data.indexOf("?>", i + 2);
            if (end < 0 || regionHas(data, i + 2, end, "<>"))
                return Verdict::Malformed;
            i = end + 2;
            continue;
        }
        if (next == '!') {
            if (startsWith(data, i, "<!--")) {
                const qsizetype end = data.indexOf("-->", i + 4);
                if (end < 0)
                    return Verdict::Malformed;
                i = end + 3;
            } else if (startsWith(data, i, "<![CDATA[")) {
                const qsizetype end = data.indexOf("]]>", i + 9);
                if (end < 0)
                    return Verdict::Malformed;
                i = end + 3;
            } else if (startsWith(data, i, "<!DOCTYPE")) {
                // Only the plain form: no internal subset, quotes balanced, no markup.
                const qsizetype end = data.indexOf('>', i);
                if (end < 0 || regionHas(data, i + 2, end, "<[]'"))
                    return Verdict::Malformed;
                if (data.mid(i, end - i).count('"') % 2 != 0)
                    return Verdict::Malformed;
                i = end + 1;
            } else {
                return Verdict::Malformed;
            }
            continue;
        }
        if (next == '/') {
            const qsizetype end = data.indexOf('>', i);
            if (end < 0 || regionHas(data, i + 2, end, "<\"'") || depth == 0)
                return Verdict::Malformed;
            --depth;
            i = end + 1;
            continue;
        }
        if (!isNameStart(next))
            return Verdict::Malformed;
        // An opening tag ends at the first '>' outside double quotes, as the parser reads it.
        qsizetype end = i + 1;
        bool quoted = false;
        for (; end < n; ++end) {
            const char c = data.at(end);
            if (c == '"')
                quoted = !quoted;
            else if (c == '<' || c == '\'')
                return Verdict::Malformed;
            else if (c == '>' && !quoted)
                break;
        }
        if (end >= n)
            return Verdict::Malformed;
        if (++elements > limits.values)
            return Verdict::TooComplex;
        if (data.at(end - 1) != '/' && ++depth > limits.depth)
            return Verdict::TooComplex;
        i = end + 1;
    }
    // The parser accepts a text cut short after its value's closing tag; a cut file is damaged.
    return elements > 0 && depth == 0 ? Verdict::Acceptable : Verdict::Malformed;
}

namespace
{

quint64 bigEndian(const uchar *bytes, int size)
{
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

// The objects of a binary property list: a header, the objects, the offset table and a trailer
// of 32 bytes (offset size, reference size, object count, top object, offset table position).
class BinaryWalker
{
public:
    BinaryWalker(const QByteArray &data, const Limits &limits)
        : m_bytes(reinterpret_cast<const uchar *>(data.constData())), m_size(quint64(data.size())),
          m_limits(limits)
    {
    }

    Verdict run()
    {
        if (m_size < 8 + 32)
            return Verdict::Malformed;
        const uchar *trailer = m_bytes + m_size - 32;
        m_offsetSize = trailer[6];
        m_referenceSize = trailer[7];
        m_objectCount = bigEndian(trailer + 8, 8);
        const quint64 top = bigEndian(trailer + 16, 8);
        m_table = bigEndian(trailer + 24, 8);
        m_end = m_size - 32;
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_referenceSize < 1 || m_referenceSize > 8)
            return Verdict::Malformed;
        if (m_objectCount == 0 || top >= m_objectCount || m_table < 8 || m_table > m_end)
            return Verdict::Malformed;
        if (m_objectCount > (m_end - m_table) / quint64(m_offsetSize))
            return Verdict::Malformed;

        if (const auto verdict = visit(top, false); verdict != Verdict::Acceptable)
            return verdict;
        while (!m_stack.isEmpty()) {
            Frame &frame = m_stack.last();
            if (frame.next == frame.count) {
                m_stack.removeLast();
                continue;
            }
            const quint64 reference =
                bigEndian(m_bytes + frame.references + frame.next * quint64(m_referenceSize),
                          m_referenceSize);
            const bool key = frame.next < frame.keys;
            ++frame.next; // `frame` may dangle once visit() pushes
            if (const auto verdict = visit(reference, key); verdict != Verdict::Acceptable)
                return verdict;
        }
        return Verdict::Acceptable;
    }

private:
    struct Frame {
        quint64 references; // position of the first reference
        quint64 count;      // references in all
        quint64 keys;       // how many of them (the first ones) are dictionary keys
        quint64 next;
    };

    // The element count of a variable-length object at `offset`; `position` is set to the
    // first byte after the count.
    bool lengthOf(quint64 offset, quint64 &length, quint64 &position) const
    {
        const int info = m_bytes[offset] & 0x0F;
        position = offset + 1;
        if (info != 0x0F) {
            length = quint64(info);
            return true;
        }
        if (position >= m_end)
            return false;
        const uchar marker = m_bytes[position];
        if ((marker & 0xF0) != 0x10 || (marker & 0x0F) > 3)
            return false;
        const int size = 1 << (marker & 0x0F);
        if (position + 1 + quint64(size) > m_end)
            return false;
        length = bigEndian(m_bytes + position + 1, size);
        position += 1 + quint64(size);
        return true;
    }

    // A dictionary key must be a string without NUL characters: the library stops on an
    // assertion when a key's length and its C string length differ.
    bool isAcceptableKey(int type, quint64 position, quint64 length) const
    {
        if (type == 0x5 || type == 0x7)
            return memchr(m_bytes + position, 0, size_t(length)) == nullptr;
        if (type == 0x6) {
            for (quint64 i = 0; i < length; ++i) {
                if (m_bytes[position + 2 * i] == 0 && m_bytes[position + 2 * i + 1] == 0)
                    return false;
            }
            return true;
        }
        return false;
    }

    Verdict visit(quint64 index, bool key)
    {
        if (index >= m_objectCount)
            return Verdict::Malformed;
        if (++m_values > m_limits.values)
            return Verdict::TooComplex;
        const quint64 offset =
            bigEndian(m_bytes + m_table + index * quint64(m_offsetSize), m_offsetSize);
        if (offset < 8 || offset >= m_end)
            return Verdict::Malformed;
        const int type = m_bytes[offset] >> 4;
        quint64 length = 0;
        quint64 position = 0;
        switch (type) {
        case 0x4:   // data
        case 0x5:   // ASCII string
        case 0x6:   // UTF-16 string
        case 0x7: { // UTF-8 string
            if (!lengthOf(offset, length, position) || length > m_end)
                return Verdict::Malformed;
            const quint64 bytes = type == 0x6 ? length * 2 : length;
            if (bytes > m_end - position)
                return Verdict::Malformed;
            if (key && !isAcceptableKey(type, position, length))
                return Verdict::Malformed;
            m_bytesSeen += qint64(bytes);
            return m_bytesSeen > m_limits.bytes ? Verdict::TooComplex : Verdict::Acceptable;
        }
        case 0xA:   // array
        case 0xC:   // set
        case 0xD: { // dictionary: keys, then values
            if (key || !lengthOf(offset, length, position) || length > m_end)
                return Verdict::Malformed;
            const quint64 count = type == 0xD ? length * 2 : length;
            if (count > (m_end - position) / quint64(m_referenceSize))
                return Verdict::Malformed;
            if (m_stack.size() >= m_limits.depth)
                return Verdict::TooComplex;
            m_stack.append({position, count, type == 0xD ? length : 0, 0});
            return Verdict::Acceptable;
        }
        default: // fixed-size scalars; the parser checks those
            return key ? Verdict::Malformed : Verdict::Acceptable;
        }
    }

    const uchar *m_bytes;
    quint64 m_size;
    Limits m_limits;
    int m_offsetSize = 0;
    int m_referenceSize = 0;
    quint64 m_objectCount = 0;
    quint64 m_table = 0;
    quint64 m_end = 0;
    qint64 m_values = 0;
    qint64 m_bytesSeen = 0;
    QVarLengthArray<Frame, 32> m_stack;
};

} // namespace

Verdict checkBinary(const QByteArray &data, const Limits &limits)
{
    return BinaryWalker(data, limits).run();
}

} // namespace TWPropertyListLimits
