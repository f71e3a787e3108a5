#include "foundation/TWFileNames.h"

#include <QByteArray>

namespace
{

// The longest prefix of `text` whose UTF-8 form fits in `bytes`, never
// splitting a surrogate pair.
QString fitUtf8(const QString &text, qsizetype bytes)
{
    QString result;
    qsizetype used = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair =
            text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const QString piece = text.mid(i, pair ? 2 : 1);
        const qsizetype size = piece.toUtf8().size();
        if (used + size > bytes)
            break;
        result += piece;
        used += size;
        if (pair)
            ++i;
    }
    return result;
}

} // namespace

namespace TWFileNames
{

QString uniqueFileName(const QString &name, QSet<QString> &fileNames)
{
    QString result = name;
    if (fileNames.contains(result)) {
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        const bool hasExtension = dot > 0;
        const QString stem = hasExtension ? name.left(dot) : name;
        const QString extension = hasExtension ? name.mid(dot + 1) : QString();
        // The dot is always written, also after a name without an extension
        // ("readme-2.").
        for (unsigned n = 2; fileNames.contains(result); ++n)
            result = QStringLiteral("%1-%2.%3").arg(stem).arg(n).arg(extension);
    }
    fileNames.insert(result);
    return result;
}

QString safeFileName(const QString &name)
{
    constexpr qsizetype kMaximumBytes = 255;
    QString result;
    result.reserve(name.size());
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool unsafe = u == u'/' || u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0);
        result += unsafe ? QLatin1Char('-') : c;
    }
    if (result.isEmpty() || result == QLatin1String(".") || result == QLatin1String(".."))
        return QStringLiteral("_");
    if (result.toUtf8().size() <= kMaximumBytes)
        return result;
    // Too long: keep a short extension and shorten the base in front of it.
    const qsizetype dot = result.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot > 0 && result.size() - dot <= 16 ? result.mid(dot) : QString();
    const QString base = extension.isEmpty() ? result : result.left(dot);
    return fitUtf8(base, kMaximumBytes - extension.toUtf8().size()) + extension;
}

} // namespace TWFileNames
