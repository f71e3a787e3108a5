#include "platform/TWFontResolver.h"

#include <QFontDatabase>
#include <QStringList>

#include <cmath>

namespace
{

struct Style {
    bool bold = false;
    bool italic = false;
};

// The PostScript base names layouts use, and the URW families that are metric
// copies of them.
QString baseFamily(const QString &name)
{
    static const struct {
        const char *name;
        const char *family;
    } kTable[] = {
        {"Times", "Nimbus Roman"},
        {"Times Roman", "Nimbus Roman"},
        {"Times New Roman", "Nimbus Roman"},
        {"Helvetica", "Nimbus Sans"},
        {"Arial", "Nimbus Sans"},
        {"Courier", "Nimbus Mono PS"},
        {"Courier New", "Nimbus Mono PS"},
    };
    for (const auto &row : kTable) {
        if (name.compare(QLatin1String(row.name), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(row.family);
    }
    return QString();
}

// An installed family equal to `name` ignoring case, spelled as installed.
QString installedFamily(const QString &name)
{
    if (name.isEmpty())
        return QString();
    const QStringList families = QFontDatabase::families();
    for (QString family : families) {
        // A family installed from several foundries is listed once per
        // foundry, as "Family [foundry]".
        const qsizetype foundry = family.indexOf(QLatin1String(" ["));
        if (foundry > 0 && family.endsWith(QLatin1Char(']')))
            family.truncate(foundry);
        if (family.compare(name, Qt::CaseInsensitive) == 0)
            return family;
    }
    return QString();
}

QString familyFor(const QString &name)
{
    const QString installed = installedFamily(name);
    if (!installed.isEmpty())
        return installed;
    const QString base = baseFamily(name);
    return base.isEmpty() ? QString() : installedFamily(base);
}

// Removes one trailing style word (after a blank or a hyphen) from `name`;
// false when it ends in none.
bool stripStyleWord(QString &name, Style &style)
{
    static const struct {
        const char *word;
        bool bold;
        bool italic;
    } kWords[] = {
        {"BoldItalic", true, true}, {"BoldOblique", true, true}, {"Bold", true, false},
        {"Italic", false, true},    {"Oblique", false, true},    {"Roman", false, false},
        {"Regular", false, false},
    };
    for (const auto &row : kWords) {
        const QLatin1String word(row.word);
        if (name.size() <= word.size() || !name.endsWith(word, Qt::CaseInsensitive))
            continue;
        const QChar separator = name.at(name.size() - word.size() - 1);
        if (separator != QLatin1Char(' ') && separator != QLatin1Char('-'))
            continue;
        name.chop(word.size() + 1);
        style.bold = style.bold || row.bold;
        style.italic = style.italic || row.italic;
        return true;
    }
    return false;
}

} // namespace

namespace
{

// The family a name stands for and the style its trailing words ask for. The
// whole name is tried first ("Times Roman" is a base name, not "Times" in a
// roman style), then with style words taken off one at a time.
QString resolve(const QString &name, Style &style)
{
    QString rest = name.trimmed();
    for (;;) {
        const QString family = familyFor(rest);
        if (!family.isEmpty())
            return family;
        if (!stripStyleWord(rest, style))
            return QString();
        rest = rest.trimmed();
    }
}

} // namespace

QString TWFontResolver::familyWithName(const QString &name)
{
    Style style;
    return resolve(name, style);
}

std::optional<QFont> TWFontResolver::fontWithName(const QString &name, double pointSize)
{
    if (!std::isfinite(pointSize) || pointSize <= 0.0)
        return std::nullopt;
    Style style;
    const QString family = resolve(name, style);
    if (family.isEmpty())
        return std::nullopt;
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(style.bold);
    font.setItalic(style.italic);
    return font;
}
