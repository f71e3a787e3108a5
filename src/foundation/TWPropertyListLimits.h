#pragma once
// Checks done on untrusted property-list bytes before the parser sees them. The parser recurses
// once per nesting level and copies a binary object once per reference to it, so deep nesting or
// many references to one large object would exhaust the stack or the memory; these checks walk
// the input without recursion and refuse such input first.

#include <QByteArray>

namespace TWPropertyListLimits
{

enum class Verdict { Acceptable, Malformed, TooComplex };

struct Limits {
    int depth;     // containers nested at most this deep
    qint64 values; // at most this many values (keys included)
    qint64 bytes;  // at most this many string and data bytes once references are expanded
};

// XML: counts element nesting the way the parser finds tags. Constructs that the parser might
// read differently from this scan (single-quoted attributes, markup inside declarations, other
// "<!" declarations than comments, CDATA and DOCTYPE) are refused as malformed, and so is text
// that leaves an element open (a file cut short).
Verdict checkXML(const QByteArray &data, const Limits &limits);

// Binary ("bplist00"): validates the trailer and offset table and walks the object references
// depth first, as the parser will expand them.
Verdict checkBinary(const QByteArray &data, const Limits &limits);

} // namespace TWPropertyListLimits
