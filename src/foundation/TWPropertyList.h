#pragma once
// Property lists as QVariant trees: reading XML and binary property lists, writing XML ones
// atomically, and the small value conversions their readers need (numbers read with the width of
// the field they fill, rectangles kept as text). Document settings are stored this way.

#include "foundation/TWError.h"

#include <QByteArray>
#include <QRectF>
#include <QString>
#include <QVariant>

#include <optional>

namespace TWPropertyList
{

// Inputs above this size are refused before they are parsed.
inline constexpr qint64 maximumSize = 64 * 1024 * 1024;
// Dictionaries and arrays nested deeper than this are refused (read and write).
inline constexpr int maximumDepth = 128;
// At most this many values (keys included) are read from one property list.
inline constexpr qint64 maximumValueCount = 1'000'000;

enum ErrorCode : int {
    ReadError = 1,             // the file could not be opened or read
    TooLargeError = 2,         // larger than maximumSize
    MalformedError = 3,        // not a property list, damaged or truncated
    TooComplexError = 4,       // nested too deeply or too many values
    UnsupportedValueError = 5, // a value that a property list cannot hold
    WriteError = 6,            // the file could not be written
};

// "Tallyworth Property List Error".
QString errorDomain();

// Reads an XML or binary property list. The tree holds QVariantMap (dictionary), QVariantList
// (array), QString, QByteArray (data), QDateTime in UTC (date, to the second), bool, double
// (real), qint64 (integer) and quint64 (an unsigned integer above the qint64 range).
TWResult<QVariant> readData(const QByteArray &data);
TWResult<QVariant> readFile(const QString &path);

// The XML property list of a tree. Every value keeps its type: UInt/ULongLong (and the other
// unsigned integers) become unsigned integers, Int/LongLong signed ones, Float and Double reals
// (a Float reads back as the same float), bool, QString, QByteArray as data, QDateTime as a date
// (to the second, years 1 to 9999), QVariantList/QStringList, QVariantMap/QVariantHash (keys in
// sorted order). Any other value, an invalid date or text holding a NUL character is refused
// with UnsupportedValueError naming where in the tree it sits.
TWResult<QByteArray> xmlData(const QVariant &propertyList);

// Writes the XML property list to a temporary file beside `path`, flushes it to disk and renames
// it over `path`: a failure at any point leaves the previous file as it was.
TWErrorResult writeFile(const QVariant &propertyList, const QString &path);

// A rectangle as text, "{{x, y}, {w, h}}", and back. Reading allows any spacing and returns
// nothing for text of another shape or numbers that are not finite.
QString stringFromRect(const QRectF &rect);
std::optional<QRectF> rectFromString(const QString &text);

// A number of the tree read into a field of a given width, the way a stored number fills it:
// integers keep their low 32 bits (so -3 read as unsigned is 4294967293, and 4294967293 read as
// signed is -3), reals are cut toward zero, booleans are 0 or 1. Anything that is not a number
// (or a real that is not finite) gives the fallback.
quint32 unsignedIntValue(const QVariant &number, quint32 fallback);
qint32 intValue(const QVariant &number, qint32 fallback);
float floatValue(const QVariant &number, float fallback);
bool boolValue(const QVariant &number, bool fallback);

} // namespace TWPropertyList
