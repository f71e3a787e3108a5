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
