#include "TWStringAdditions.h"

#include <QVarLengthArray>

namespace TWStringAdditions {

namespace {

bool isSearchSeparator(QChar c)
{
    switch (c.unicode()) {
    case ' ': case '\t': case '\r': case '\n': case '.': case ',': case '-': case '_': case ';':
        return true;
    default:
        return false;
    }
}

} // namespace

bool searchString(const QString &text, const QString &search, bool contains)
{
    if (search.isEmpty())
        return true;
    const QString upperText = text.toUpper();
    const QString upperSearch = search.toUpper();
    if (!contains)
        return upperText.startsWith(upperSearch);

    // Every wanted word but the last is one of the text's words; the last is
    // one of them or begins one (an empty last word: any text). Compared as
    // views, since a register search calls this for every row.
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
    const QStringView textView(upperText);
    const auto hasWord = [&](QStringView wanted) {
        return forEachWord(textView, [wanted](QStringView word) { return word == wanted; });
    };
    QVarLengthArray<QStringView, 8> wanted;
    forEachWord(QStringView(upperSearch), [&wanted](QStringView word) {
        wanted.append(word);
        return false;
    });
    for (qsizetype i = 0; i + 1 < wanted.size(); ++i)
        if (!hasWord(wanted[i]))
            return false;
    const QStringView last = wanted.last();
    if (last.isEmpty())
        return true;
    return forEachWord(textView, [last](QStringView word) { return word.startsWith(last); });
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
        case '&': out.append(QLatin1String("&amp;")); break;
        case '"': out.append(QLatin1String("&quot;")); break;
        case '\'': out.append(QLatin1String("&apos;")); break;
        case '<': out.append(QLatin1String("&lt;")); break;
        case '>': out.append(QLatin1String("&gt;")); break;
        default: out.append(c); break;
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

} // namespace TWStringAdditions
