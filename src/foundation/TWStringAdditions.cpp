#include "foundation/TWStringAdditions.h"

#include <QLocale>
#include <QVarLengthArray>

#include <algorithm>

namespace TWStringAdditions
{

namespace
{

bool isSearchSeparator(QChar c)
{
    switch (c.unicode()) {
    case ' ':
    case '\t':
    case '\r':
    case '\n':
    case '.':
    case ',':
    case '-':
    case '_':
    case ';':
        return true;
    default:
        return false;
    }
}

} // namespace

namespace
{

// The word search over a text whose characters `upper` maps to upper case
// (the identity for a text upper-cased already).
template <typename Upper>
bool searchWordsIn(QStringView text, QStringView upperSearch, bool contains, Upper upper)
{
    const auto same = [&upper](QStringView word, QStringView wanted, bool prefix) {
        if (prefix ? word.size() < wanted.size() : word.size() != wanted.size())
            return false;
        for (qsizetype i = 0; i < wanted.size(); ++i)
            if (upper(word.at(i)) != wanted.at(i))
                return false;
        return true;
    };
    if (!contains)
        return same(text, upperSearch, true);

    // Every wanted word but the last is one of the text's words; the last is
    // one of them or begins one (an empty last word: any text).
    const auto forEachWord = [](QStringView in, const auto &visit) {
        qsizetype start = 0;
        for (qsizetype i = 0; i < in.size(); ++i) {
            if (isSearchSeparator(in.at(i))) {
                if (visit(in.mid(start, i - start)))
                    return true;
                start = i + 1;
            }
        }
        return visit(in.mid(start));
    };
    QVarLengthArray<QStringView, 8> wanted;
    forEachWord(upperSearch, [&wanted](QStringView word) {
        wanted.append(word);
        return false;
    });
    for (qsizetype i = 0; i + 1 < wanted.size(); ++i) {
        const QStringView word = wanted[i];
        if (!forEachWord(text, [&](QStringView have) { return same(have, word, false); }))
            return false;
    }
    const QStringView last = wanted.last();
    if (last.isEmpty())
        return true;
    return forEachWord(text, [&](QStringView have) { return same(have, last, true); });
}

} // namespace

bool searchString(const QString &text, const QString &search, bool contains)
{
    if (search.isEmpty())
        return true;
    const QString upperSearch = search.toUpper();
    // Plain ASCII text (the usual payee or account name) is compared without
    // an upper-case copy; any other text is upper-cased whole, as case
    // mapping may change its length.
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii)
        return searchWordsIn(text, upperSearch, contains, [](QChar c) {
            return c.unicode() >= 'a' && c.unicode() <= 'z' ? QChar(c.unicode() - 32) : c;
        });
    return searchWordsIn(text.toUpper(), upperSearch, contains, [](QChar c) { return c; });
}

QString encodeHTML(const QString &text)
{
    QString out;
    out.reserve(text.size() * 2);
    for (const char32_t cp : text.toUcs4()) {
        if ((cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9') ||
            cp == ' ') {
            out.append(QChar(char16_t(cp)));
        } else {
            out.append(QStringLiteral("&#x%1;").arg(uint(cp), 0, 16));
        }
    }
    return out;
}

QString encodeXML(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out.append(QLatin1String("&amp;"));
            break;
        case '"':
            out.append(QLatin1String("&quot;"));
            break;
        case '\'':
            out.append(QLatin1String("&apos;"));
            break;
        case '<':
            out.append(QLatin1String("&lt;"));
            break;
        case '>':
            out.append(QLatin1String("&gt;"));
            break;
        default:
            out.append(c);
            break;
        }
    }
    return out;
}

QString listString(const QStringList &list)
{
    QString out;
    for (const QString &item : list) {
        if (!out.isEmpty())
            out.append(QLatin1String(", "));
        out.append(item);
    }
    return out;
}

QString shortList(qsizetype count, const std::function<QString(qsizetype)> &name,
                  const QString &separator, const QString &more, qsizetype most)
{
    QString out;
    const qsizetype shown = std::min(count, most);
    for (qsizetype i = 0; i < shown; ++i) {
        if (i > 0)
            out.append(separator);
        out.append(name(i));
    }
    if (count <= shown)
        return out;
    // One pass, so that a "%2" in a name is never taken for the number.
    return more.arg(out, QLocale().toString(qint64(count - shown)));
}

QString shortened(const QString &text, qsizetype length)
{
    if (text.size() <= length || length <= 0)
        return text;
    qsizetype cut = length;
    // Never half of a surrogate pair.
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + QChar(0x2026);
}

} // namespace TWStringAdditions
