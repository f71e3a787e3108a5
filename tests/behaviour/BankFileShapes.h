#pragma once
// The shapes of bank file the bank-files table reads, and the reading of one
// row: a fresh business whose accounts are in a unit of 0, 2 or 3 places, one
// of them holding the file's number, the file written (or exported) as its
// shape says under the row's locale, and read through the import sheet as a
// user reads it.

#include <QStringList>

int twBankFileShapeCount();
int twBankFileHolderCount();
int twBankFileLocaleCount();

// The row's cells: its four keys (file, holder, locale, places) and its
// readings.
QStringList twBankFileRow(int shape, int holder, int locale, int places);
