// The table of what the import sheet does with every shape of bank file: one
// row per file shape, account holding the file's number, locale and unit
// places, read as a user reads it through the sheet (the mapping, where each
// statement goes, the warnings, every row's accounts and amounts and whether
// it starts ticked). The shapes are crossed with the holders and the locales
// in full and with the places by turns, so that every value of each meets
// every value of every other; a shape of one unit (a dinar column) keeps its
// own places.

#include "BankFileShapes.h"
#include "BehaviourTable.h"

#include <gtest/gtest.h>

namespace
{

TWBehaviourTable bankFilesTable(int firstShape, int endShape)
{
    TWBehaviourTable table(QStringLiteral("bank-files.table"),
                           {QStringLiteral("file"), QStringLiteral("number held by"),
                            QStringLiteral("locale"), QStringLiteral("places"),
                            QStringLiteral("chosen account"), QStringLiteral("mapping"),
                            QStringLiteral("statements"), QStringLiteral("note"),
                            QStringLiteral("warnings"), QStringLiteral("rows")},
                           4);
    const int holders = twBankFileHolderCount();
    const int locales = twBankFileLocaleCount();
    for (int shape = firstShape; shape < endShape; ++shape) {
        for (int holder = 0; holder < holders; ++holder) {
            for (int locale = 0; locale < locales; ++locale) {
                // The places turn with the three others, so that each of
                // them meets each places value.
                const int places = (shape + holder + locale) % 3;
                table.add(twBankFileRow(shape, holder, locale, places));
            }
        }
    }
    return table;
}

} // namespace

// One test builds the whole table: it runs in about a minute in a debug build.
TEST(BankFilesTable, EveryShapeOfBankFileReadThroughTheImportSheet)
{
    TWBehaviourTable table = bankFilesTable(0, twBankFileShapeCount());
    twCheckBehaviourTable(table);
}
