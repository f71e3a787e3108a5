#pragma once
// The currency signs and codes an amount of a unit may be written with, in a
// typed field as in a file: the unit's own sign and code, "$" for every dollar
// and peso (A$, CA$, NZ$, MX$ ... are all written "$" at home; R$, C$, T$ and
// MOP$ are not: those units are no dollars), and
// the locale's own sign and code where they are the unit's. A sign or code
// naming another unit without doubt ("€", "USD" in a CAD field) is no sign of
// it, so such text is refused, never read as the unit.

#include <QLocale>
#include <QStringList>

class TWUnit;

// With no unit: the locale's sign and code.
QStringList twMoneySigns(const TWUnit *unit, const QLocale &locale);
// Whether a bare "$" is a sign of the unit of this code: the dollars and pesos
// listed among the built-in units' data.
bool twWritesBareDollarSign(const QString &code);
