// The word search every register row goes through answers as the plain
// list-and-set definition does, for texts with every kind of separator run.

#include "foundation/TWStringAdditions.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <gtest/gtest.h>

namespace
{

// The definition: split both at separators (empty pieces kept), every wanted
// word but the last present, the last present or a prefix of a non-empty word.
bool reference(const QString &text, const QString &search, bool contains)
{
    if (search.isEmpty())
        return true;
    const QString t = text.toUpper(), s = search.toUpper();
    if (!contains)
        return t.startsWith(s);
    static const QRegularExpression separators(QStringLiteral("[ \\t\\r\\n.,\\-_;]"));
    const QStringList words = t.split(separators);
    const QStringList wanted = s.split(separators);
    const QSet<QString> have(words.begin(), words.end());
    for (qsizetype i = 0; i + 1 < wanted.size(); ++i)
        if (!have.contains(wanted[i]))
            return false;
    if (have.contains(wanted.last()))
        return true;
    return std::any_of(words.begin(), words.end(), [&](const QString &w) {
        return !w.isEmpty() && w.startsWith(wanted.last());
    });
}

QString randomText(QRandomGenerator &random)
{
    static const QString alphabet = QStringLiteral("abAB .-_;,\tcß");
    QString text;
    const int length = int(random.bounded(7));
    for (int i = 0; i < length; ++i)
        text.append(alphabet.at(random.bounded(alphabet.size())));
    return text;
}

} // namespace

TEST(RegisterSearch, WordSearchMatchesItsDefinition)
{
    QRandomGenerator random(2024);
    for (int i = 0; i < 20000; ++i) {
        const QString text = randomText(random);
        const QString search = randomText(random);
        for (bool contains : {true, false})
            ASSERT_EQ(TWStringAdditions::searchString(text, search, contains),
                      reference(text, search, contains))
                << '"' << text << "\" / \"" << search << '"';
    }
}
