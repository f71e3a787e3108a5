// Every currency symbol of the built-in units has a glyph in the fonts the
// application draws with (the default font or one it falls back to), so
// none shows as a box in the units view or the register.

#include "model/TWUnits.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>

#include <gtest/gtest.h>

namespace
{

TEST(UnitSymbolFonts, EveryBuiltInSymbolHasAGlyphInTheFallbackChain)
{
    // The default font first, then every family the font matching can fall
    // back to.
    QList<QFontMetrics> chain = {QFontMetrics(QGuiApplication::font())};
    for (const QString &family : QFontDatabase::families())
        chain.append(QFontMetrics(QFont(family)));

    QStringList missing;
    int symbols = 0;
    for (const TWUnitPtr &unit : TWUnits::units().unitList()) {
        const QString symbol = unit->symbol();
        for (const char32_t character : symbol.toUcs4()) {
            ++symbols;
            const bool drawn =
                std::any_of(chain.cbegin(), chain.cend(),
                            [&](const QFontMetrics &m) { return m.inFontUcs4(uint(character)); });
            if (!drawn)
                missing.append(QStringLiteral("%1 (U+%2, %3)")
                                   .arg(QString::fromUcs4(&character, 1))
                                   .arg(uint(character), 4, 16, QLatin1Char('0'))
                                   .arg(unit->code()));
        }
    }
    EXPECT_GT(symbols, 100);
    EXPECT_TRUE(missing.isEmpty()) << missing.join(QStringLiteral(", "));
}

} // namespace
