#include "TWStringAdditions.h"

#include <QSet>

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

// Splits at every separator; empty pieces between adjacent separators are kept
// as words, as the matching rules count them.
QStringList searchWords(const QString &text)
{
    QStringList words;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isSearchSeparator(text.at(i))) {
            words.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    words.append(text.mid(start));
    return words;
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

    const QStringList textWords = searchWords(upperText);
    const QStringList wanted = searchWords(upperSearch);
    const QSet<QString> have(textWords.begin(), textWords.end());
    for (qsizetype i = 0; i + 1 < wanted.size(); ++i) {
        if (!have.contains(wanted.at(i)))
            return false;
    }
    const QString &last = wanted.last();
    if (have.contains(last))
        return true;
    return std::any_of(textWords.begin(), textWords.end(), [&last](const QString &word) {
        return !word.isEmpty() && word.startsWith(last);
    });
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
