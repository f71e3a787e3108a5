// Version 1 files: the header number and the rewrite of SGML as XML.

#include "import/core/TWParserOFX.h"

#include <QSet>

#include <cstring>

namespace
{

bool isXMLCharacter(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The length of the reference that begins at `at` ("&amp;", "&#38;", "&#x26;")
// when it is one XML reads without a DTD, else 0.
qsizetype referenceLength(QStringView text, qsizetype at)
{
    static const char *const kEntities[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};
    const QStringView rest = text.mid(at, 12);
    for (const char *entity : kEntities) {
        if (rest.startsWith(QLatin1String(entity)))
            return qsizetype(std::strlen(entity));
    }
    if (!rest.startsWith(QLatin1String("&#")))
        return 0;
    const bool hex = rest.size() > 2 && rest.at(2) == QLatin1Char('x');
    const auto digitOf = [hex](char16_t u) {
        if (u >= u'0' && u <= u'9')
            return int(u - u'0');
        if (hex && u >= u'a' && u <= u'f')
            return int(u - u'a') + 10;
        if (hex && u >= u'A' && u <= u'F')
            return int(u - u'A') + 10;
        return -1;
    };
    qsizetype i = hex ? 3 : 2;
    const qsizetype first = i;
    char32_t value = 0;
    for (; i < rest.size() && rest.at(i) != QLatin1Char(';'); ++i) {
        const int digit = digitOf(rest.at(i).unicode());
        if (digit < 0 || value > 0x10FFFF)
            return 0;
        value = value * (hex ? 16 : 10) + char32_t(digit);
    }
    if (i == first || i >= rest.size() || !isXMLCharacter(value))
        return 0;
    return i + 1;
}

// Character data for the XML text: references that XML reads are kept, any
// other "&" and every ">" are escaped.
void appendText(QString &out, QStringView text)
{
    qsizetype copied = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('>')) {
            out.append(text.mid(copied, i - copied));
            out.append(QLatin1String("&gt;"));
            copied = i + 1;
        } else if (c == QLatin1Char('&')) {
            const qsizetype length = referenceLength(text, i);
            if (length > 0) {
                i += length - 1;
                continue;
            }
            out.append(text.mid(copied, i - copied));
            out.append(QLatin1String("&amp;"));
            copied = i + 1;
        }
    }
    out.append(text.mid(copied));
}

bool isLineBreak(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

} // namespace

int TWParserOFX::v1Version(const QString &text)
{
    const qsizetype ofx = text.indexOf(QLatin1String("<OFX>"));
    if (ofx < 0)
        return 0;
    const qsizetype header = QStringView(text).left(ofx).indexOf(QLatin1String("OFXHEADER:"));
    if (header < 0)
        return 0;
    qsizetype i = header + 10;
    while (i < ofx && text.at(i) == QLatin1Char(' '))
        ++i;
    int version = 0;
    for (int digits = 0; i < ofx && digits < 9; ++i, ++digits) {
        const char16_t u = text.at(i).unicode();
        if (u < u'0' || u > u'9')
            break;
        version = version * 10 + (u - u'0');
    }
    return version;
}

QString TWParserOFX::convertToXML(const QString &text)
{
    const QStringView s(text);
    // Names closed somewhere in the file (an element never closed anywhere is a
    // leaf wherever it appears), and names that hold text somewhere (a leaf:
    // aggregates hold only other elements and white space).
    QSet<QStringView> closed;
    QSet<QStringView> holdsText;
    for (qsizetype at = s.indexOf(QLatin1Char('<')); at >= 0;) {
        const qsizetype end = s.indexOf(QLatin1Char('>'), at + 1);
        if (end < 0)
            break;
        const qsizetype next = s.indexOf(QLatin1Char('<'), end + 1);
        if (s.at(at + 1) == QLatin1Char('/')) {
            closed.insert(s.mid(at + 2, end - at - 2));
        } else {
            const QStringView content = next < 0 ? s.mid(end + 1) : s.mid(end + 1, next - end - 1);
            if (!content.trimmed().isEmpty())
                holdsText.insert(s.mid(at + 1, end - at - 1));
        }
        at = next;
    }

    QString out;
    out.reserve(s.size() + s.size() / 4);
    // The plain-text header before the first tag is dropped.
    qsizetype at = s.indexOf(QLatin1Char('<'));
    while (at >= 0 && at < s.size()) {
        const qsizetype open = s.indexOf(QLatin1Char('<'), at);
        if (open < 0) {
            appendText(out, s.mid(at));
            break;
        }
        // White space between tags is only layout; leaving it out spares the
        // XML reader most of its text callbacks.
        if (!s.mid(at, open - at).trimmed().isEmpty())
            appendText(out, s.mid(at, open - at));
        const qsizetype end = s.indexOf(QLatin1Char('>'), open + 1);
        if (end < 0) {
            // An unfinished tag: the XML reader will refuse it.
            out.append(s.mid(open));
            break;
        }
        const QStringView tag = s.mid(open + 1, end - open - 1);
        out.append(s.mid(open, end - open + 1));
        at = end + 1;
        if (tag.isEmpty() || tag.front() == QLatin1Char('/') || tag.front() == QLatin1Char('!') ||
            tag.front() == QLatin1Char('?'))
            continue;

        qsizetype contentEnd = s.indexOf(QLatin1Char('<'), at);
        if (contentEnd < 0)
            contentEnd = s.size();
        const QStringView content = s.mid(at, contentEnd - at);
        // Decided per occurrence: an element closed somewhere may still be left
        // open elsewhere, so a leaf is closed here unless its own closing tag
        // follows its text.
        bool leaf = !closed.contains(tag);
        if (!leaf && holdsText.contains(tag)) {
            const QStringView next = s.mid(contentEnd);
            leaf = !(next.startsWith(QLatin1String("</")) && next.mid(2).startsWith(tag) &&
                     next.mid(2 + tag.size()).startsWith(QLatin1Char('>')));
        }
        if (!leaf)
            continue;
        qsizetype textEnd = content.size();
        while (textEnd > 0 && isLineBreak(content.at(textEnd - 1)))
            --textEnd;
        appendText(out, content.left(textEnd));
        out.append(QLatin1String("</"));
        out.append(tag);
        out.append(QLatin1Char('>'));
        at = at + textEnd;
    }
    return out;
}
