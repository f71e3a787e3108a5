#pragma once
// Small routines the crash-time code relies on: the SDK's own diagnostic log ("sdk.log"), reads
// of memory that may be unmapped, hex encoding, string copies into the crash context's reserve.
// Everything here except the Qt-based digest and UUID helpers is async-signal-safe.

#include <QByteArray>
#include <QString>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <functional>

// Formats into `buffer` (always NUL-terminated) and answers the length written. Conversions:
// %s ("(null)" for none), %d, %u, %x, %p, %c, %% and the length modifiers l, ll and z on d, u
// and x. Any other conversion is copied as it stands and consumes no argument.
size_t MSHSafeFormat(char *buffer, size_t size, const char *format, va_list arguments);
size_t MSHSafeFormatString(char *buffer, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

// Appends one line (the formatted message and a newline, written in one call) to "sdk.log"
// once the crash context holds its path; before that nothing is logged.
void MSHSafeLog(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Copies `length` bytes at `address` into `destination` through the kernel, so an unmapped or
// unreadable address fails instead of faulting. False for addresses below 4096.
bool MSHReadMemory(const void *address, void *destination, size_t length);
// Tests: behave as if the kernel refused the direct copy (reads then go through a pipe).
void MSHReadMemorySetDirectCopyRefused(bool refused);
// Checks that a NUL-terminated string starts at `address` (within `maxLength` bytes) and hands
// the address back; nothing is copied.
bool MSHReadString(const char *address, const char **out, size_t maxLength);
// Copies the string into the crash context's read-only reserve (the heap when there is none).
const char *MSHDuplicateString(const char *string);
// True when the file was deleted or did not exist.
bool MSHUnlinkIfExists(const char *path);
// Symbol and image containing the address; "unknown" for a missing name, both null when the
// lookup fails.
void MSHLookupSymbolAndImageNames(const void *address,
                                  const std::function<void(const char *, const char *)> &block);

void MSHSafeHexEncodeByte(uint8_t byte, char *out);
// `out` holds 2 x length + 1 bytes.
void MSHHexEncodeBuffer(const void *bytes, size_t length, char *out);
// Decimal digits of an unsigned number (NUL-terminated); answers the length.
size_t MSHFormatUnsigned(uint64_t value, char *out);

QString MSHGenerateUUID();
QString MSHNormalizeUUIDString(const QString &uuid);
QString KTBHexStringFromData(const QByteArray &data);
QString KTBSHA1HexDigest(const void *bytes, size_t length);
QString KTBSHA1HexDigestOfData(const QByteArray &data);
// Hands the bytes to the block as one range (pointer, start, length, stop flag).
void KTBStreamWriteData(const QByteArray &data,
                        const std::function<void(const char *, size_t, size_t, bool *)> &block);
