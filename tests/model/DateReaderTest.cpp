// The reader of typed dates: the locale's short format, month names, an
// ordinal's ending after the day and the words of the long format; text
// left over after a whole date refuses it.

#include "model/TWDateReader.h"

#include "TWTestSupport.h"

#include <gtest/gtest.h>

namespace
{

struct Typed {
    const char *locale;
    const char *text;
    QDate expected; // invalid: refused
};

} // namespace

TEST(DateReaderTest, TypedTextReadsWholeDatesAsPeopleWriteThem)
{
    const QDate day(2026, 10, 5);
    const QList<Typed> cases = {
        // Ordinals after the day, before or after the month's name.
        {"en_US", "Oct 5th, 2026", day},
        {"en_US", "5th Oct 2026", day},
        {"en_US", "October 5th 2026", day},
        {"en_US", "Monday, October 5th, 2026", day},
        {"en_GB", "1st October 2026", QDate(2026, 10, 1)},
        {"en_GB", "22nd October 2026", QDate(2026, 10, 22)},
        {"fr_FR", "1er octobre 2026", QDate(2026, 10, 1)},
        {"ja_JP", "2026 Oct 5th", day},
        // The words of the locale's long format.
        {"es_ES", "5 de octubre de 2026", day},
        {"pt_BR", "5 de outubro de 2026", day},
        {"es_ES", "5/10/26", day},
        // Still refused: an ending away from the day, a stray word, a second
        // date run on, another locale's words.
        {"en_US", "Oct 5 th, 2026", {}},
        {"en_US", "Oct 5, 2026th", {}},
        {"en_US", "Oct 5th, 2026 soon", {}},
        {"en_US", "Oct 5th, 2026 Oct 6th, 2026", {}},
        {"en_US", "10/5/2611/1/26", {}},
        {"en_US", "5 de octubre de 2026", {}},
        {"es_ES", "5 de octubre de 2026 y", {}},
    };
    for (const Typed &typed : cases) {
        SCOPED_TRACE(std::string(typed.locale) + " " + typed.text);
        const QLocale locale(QString::fromLatin1(typed.locale));
        const QDateTime read = TWDateReader::typed(locale.dateFormat(QLocale::ShortFormat), locale)
                                   .read(QString::fromUtf8(typed.text));
        EXPECT_EQ(read.date(), typed.expected);
    }
}

// A field reads back every text it shows, and offers as an example, in every
// locale: its short date, its date and time (the pattern's own words between
// hour and minute, the locale's day periods however they are punctuated), and
// the long date as the locale writes it, typed into a short-date field.
TEST(DateReaderTest, EveryLocaleReadsTheDatesItWrites)
{
    const QDateTime moment(QDate(2026, 10, 5), QTime(14, 45));
    const auto typed = [](const QLocale &locale, const QString &pattern, const QString &text) {
        return TWDateReader::typed(pattern, locale).read(text);
    };
    struct Case {
        const char *locale;
        bool withTime;
        const char *text;
        QDateTime expected; // invalid: refused
    };
    const QList<Case> cases = {
        {"fr_CA", true, "2026-10-05 14 h 45", moment},
        {"fr_CA", true, "2026-10-05 14:45", moment},
        {"el_GR", true, "5/10/26 2:45 \u03bc.\u03bc.", moment},
        // The day period as shown ("Μ.Μ."), and typed in the Latin letters
        // that look the same.
        {"el_GR", true, "5/10/26 2:45 \u039c.\u039c.", moment},
        {"el_GR", true, "5/10/26 2:45 M.M.", moment},
        {"el_GR", true, "5/10/26 2:45 m.m.", moment},
        {"el_GR", true, "5/10/26 2:45 \u039c.M.", moment},
        {"en_US", true, "10/5/26 2:45 p.m.", moment},
        {"sv_SE", false, "5 oktober 2026", moment.date().startOfDay()},
        {"fr_CA", false, "5 octobre 2026", moment.date().startOfDay()},
        {"pt_BR", false, "segunda-feira, 5 de outubro de 2026", moment.date().startOfDay()},
        {"fr_FR", false, "le 5 octobre 2026", moment.date().startOfDay()},
        // Still refused: words the pattern does not write, half a day period,
        // another locale's article.
        {"fr_CA", true, "2026-10-05 14 x 45", {}},
        {"el_GR", true, "5/10/26 2:45 \u03bc.", {}},
        {"el_GR", true, "5/10/26 2:45 N.M.", {}},
        {"pt_BR", false, "feira, 5 de outubro de 2026", {}},
        {"en_US", false, "le 5 October 2026", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.text);
        const QLocale locale(QString::fromLatin1(c.locale));
        const QString pattern = c.withTime ? locale.dateTimeFormat(QLocale::ShortFormat)
                                           : locale.dateFormat(QLocale::ShortFormat);
        EXPECT_EQ(typed(locale, pattern, QString::fromUtf8(c.text)), c.expected);
    }

    // Not read: long dates that inflect the month's name (Basque, Mongolian)
    // or run it into other words (Meta'), and dates and times in Tibetan
    // script, whose syllable marks stand inside the words.
    const QList<QLocale::Language> unreadLongDates = {
        QLocale::Basque, QLocale::Mongolian, QLocale::Dzongkha, QLocale::Tibetan, QLocale::Meta};
    QStringList unread;
    for (const QLocale &locale : QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                          QLocale::AnyTerritory)) {
        if (unreadLongDates.contains(locale.language()))
            continue;
        const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
        const QString shortDateTime = locale.dateTimeFormat(QLocale::ShortFormat);
        const struct {
            QString pattern;
            QString text;
            QDateTime expected;
        } shown[] = {
            {shortDate, locale.toString(moment, shortDate), moment.date().startOfDay()},
            {shortDateTime, locale.toString(moment, shortDateTime), moment},
            {shortDate, locale.toString(moment.date(), QLocale::LongFormat),
             moment.date().startOfDay()},
        };
        for (const auto &s : shown) {
            if (typed(locale, s.pattern, s.text) != s.expected)
                unread.append(locale.name() + QStringLiteral(" [") + s.pattern +
                              QStringLiteral("] ") + s.text);
        }
    }
    EXPECT_TRUE(unread.isEmpty()) << unread.size() << "\n"
                                  << unread.join(QLatin1Char('\n')).toStdString();
}
