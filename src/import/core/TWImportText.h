#pragma once
// The text of an import file. Banks and spreadsheets write UTF-8 with or
// without a byte-order mark, UTF-16 with one, or Windows-1252 (older exports),
// so every import reader decodes through here and they all agree on what a
// file says; a file never comes out as nothing just because of its encoding.

#include <QByteArray>
#include <QChar>
#include <QString>

namespace TWImportText
{

// The bytes as text: a UTF-8 byte-order mark is dropped, a UTF-16 one selects
// UTF-16 in its byte order, and bytes that are not valid UTF-8 are read as
// Windows-1252.
QString decode(const QByteArray &data);

// Windows-1252: Latin-1 with printable characters in 0x80-0x9F.
QString decodeWindows1252(const char *bytes, qsizetype size);

// The characters that end a line or a row in every import format.
inline bool isNewline(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

} // namespace TWImportText
