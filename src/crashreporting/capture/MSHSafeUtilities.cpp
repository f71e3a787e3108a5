#include "crashreporting/capture/MSHSafeUtilities.h"

#include "crashreporting/capture/MSHContext.h"

#include <QCryptographicHash>
#include <QUuid>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/uio.h>
#include <unistd.h>

namespace
{

struct Output {
    char *buffer;
    size_t size;
    size_t used = 0;
    void put(char c)
    {
        if (used + 1 < size)
            buffer[used++] = c;
    }
    void put(const char *s)
    {
        while (*s)
            put(*s++);
    }
};

void putUnsigned(Output &out, unsigned long long value, unsigned base, const char *prefix)
{
    static const char digits[] = "0123456789abcdef";
    char text[24];
    size_t position = sizeof(text);
    text[--position] = 0;
    do {
        text[--position] = digits[value % base];
        value /= base;
    } while (value != 0);
    out.put(prefix);
    out.put(text + position);
}

} // namespace

size_t MSHSafeFormat(char *buffer, size_t size, const char *format, va_list arguments)
{
    if (!buffer || size == 0)
        return 0;
    Output out{buffer, size};
    for (const char *f = format; f && *f; ++f) {
        if (*f != '%') {
            out.put(*f);
            continue;
        }
        const char *start = f;
        ++f;
        int longs = 0;
        bool sized = false;
        while (*f == 'l' && longs < 2) {
            ++longs;
            ++f;
        }
        if (longs == 0 && *f == 'z') {
            sized = true;
            ++f;
        }
        const bool modified = longs > 0 || sized;
        switch (*f) {
        case 's':
            if (modified)
                goto literal;
            {
                const char *s = va_arg(arguments, const char *);
                out.put(s ? s : "(null)");
            }
            break;
        case 'c':
            if (modified)
                goto literal;
            out.put(char(va_arg(arguments, int)));
            break;
        case '%':
            if (modified)
                goto literal;
            out.put('%');
            break;
        case 'p':
            if (modified)
                goto literal;
            putUnsigned(out, uintptr_t(va_arg(arguments, void *)), 16, "0x");
            break;
        case 'd': {
            long long value;
            if (longs == 2)
                value = va_arg(arguments, long long);
            else if (longs == 1)
                value = va_arg(arguments, long);
            else if (sized)
                value = va_arg(arguments, ssize_t);
            else
                value = va_arg(arguments, int);
            if (value < 0) {
                out.put('-');
                putUnsigned(out, 0ULL - (unsigned long long)value, 10, "");
            } else {
                putUnsigned(out, (unsigned long long)value, 10, "");
            }
            break;
        }
        case 'u':
        case 'x': {
            unsigned long long value;
            if (longs == 2)
                value = va_arg(arguments, unsigned long long);
            else if (longs == 1)
                value = va_arg(arguments, unsigned long);
            else if (sized)
                value = va_arg(arguments, size_t);
            else
                value = va_arg(arguments, unsigned);
            putUnsigned(out, value, *f == 'u' ? 10 : 16, "");
            break;
        }
        default:
        literal:
            // Unknown conversions stay as they stand and take no argument.
            for (const char *c = start; c <= f && *c; ++c)
                out.put(*c);
            if (!*f)
                --f;
            break;
        }
    }
    buffer[out.used] = 0;
    return out.used;
}

size_t MSHSafeFormatString(char *buffer, size_t size, const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const size_t length = MSHSafeFormat(buffer, size, format, arguments);
    va_end(arguments);
    return length;
}

void MSHSafeLog(const char *format, ...)
{
    MSHReadOnlyContext *context = MSHContextReadOnly();
    MSHWritableContext *writable = MSHContextWritable();
    if (!context || !writable || !context->logPath)
        return;
    int fd = writable->logFD.load();
    if (fd < 0) {
        const int opened =
            ::open(context->logPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (opened < 0)
            return;
        int expected = -1;
        if (writable->logFD.compare_exchange_strong(expected, opened)) {
            fd = opened;
        } else {
            ::close(opened);
            fd = expected;
        }
    }
    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    size_t length = MSHSafeFormat(line, sizeof(line) - 1, format, arguments);
    va_end(arguments);
    line[length++] = '\n';
    const ssize_t written = ::write(fd, line, length);
    (void)written;
}

namespace
{

// Reads through a pipe: the kernel copies from our address space into the pipe and answers
// EFAULT for memory that is not readable, without a fault.
std::atomic<int> pipeRead{-1};
std::atomic<int> pipeWrite{-1};
std::atomic_flag pipeBusy = ATOMIC_FLAG_INIT;

bool readThroughPipe(const void *address, void *destination, size_t length)
{
    if (pipeRead.load() < 0) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
            return false;
        int expected = -1;
        if (!pipeRead.compare_exchange_strong(expected, fds[0])) {
            ::close(fds[0]);
            ::close(fds[1]);
        } else {
            pipeWrite.store(fds[1]);
        }
    }
    for (int spins = 0; pipeBusy.test_and_set(std::memory_order_acquire); ++spins) {
        if (spins > 100000)
            return false;
        sched_yield();
    }
    bool ok = pipeWrite.load() >= 0;
    const auto *from = static_cast<const char *>(address);
    auto *to = static_cast<char *>(destination);
    while (ok && length > 0) {
        const size_t chunk = length < 4096 ? length : 4096;
        const ssize_t written = ::write(pipeWrite.load(), from, chunk);
        if (written <= 0) {
            ok = false;
            break;
        }
        size_t got = 0;
        while (got < size_t(written)) {
            const ssize_t n = ::read(pipeRead.load(), to + got, size_t(written) - got);
            if (n <= 0) {
                ok = false;
                break;
            }
            got += size_t(n);
        }
        from += written;
        to += written;
        length -= size_t(written);
    }
    pipeBusy.clear(std::memory_order_release);
    return ok;
}

std::atomic<bool> processReadRefused{false};

} // namespace

void MSHReadMemorySetDirectCopyRefused(bool refused)
{
    processReadRefused.store(refused);
}

bool MSHReadMemory(const void *address, void *destination, size_t length)
{
    if (uintptr_t(address) < 4096 || !destination)
        return false;
    if (length == 0)
        return true;
    if (!processReadRefused.load(std::memory_order_relaxed)) {
        iovec local{destination, length};
        iovec remote{const_cast<void *>(address), length};
        const ssize_t copied = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
        if (copied == ssize_t(length))
            return true;
        if (copied >= 0 || errno == EFAULT)
            return false;
        if (errno != EPERM && errno != ENOSYS)
            return false;
        processReadRefused.store(true, std::memory_order_relaxed);
    }
    return readThroughPipe(address, destination, length);
}

bool MSHReadString(const char *address, const char **out, size_t maxLength)
{
    if (uintptr_t(address) < 4096)
        return false;
    for (size_t i = 0; i < maxLength; ++i) {
        char c;
        if (!MSHReadMemory(address + i, &c, 1))
            return false;
        if (c == 0)
            break;
    }
    if (out)
        *out = address;
    return true;
}

const char *MSHDuplicateString(const char *string)
{
    if (!string)
        return nullptr;
    const size_t length = std::strlen(string) + 1;
    char *copy = static_cast<char *>(
        MSHAllocatorSafeAllocate(MSHContextAllocator(), length, MSHAllocationReadOnly));
    if (!copy)
        return nullptr;
    std::memcpy(copy, string, length);
    return copy;
}

bool MSHUnlinkIfExists(const char *path)
{
    if (!path)
        return false;
    return ::unlink(path) == 0 || errno == ENOENT;
}

void MSHLookupSymbolAndImageNames(const void *address,
                                  const std::function<void(const char *, const char *)> &block)
{
    Dl_info info{};
    if (!::dladdr(address, &info)) {
        block(nullptr, nullptr);
        return;
    }
    block(info.dli_sname ? info.dli_sname : "unknown", info.dli_fname ? info.dli_fname : "unknown");
}

void MSHSafeHexEncodeByte(uint8_t byte, char *out)
{
    static const char digits[] = "0123456789abcdef";
    out[0] = digits[byte >> 4];
    out[1] = digits[byte & 15];
}

void MSHHexEncodeBuffer(const void *bytes, size_t length, char *out)
{
    std::memset(out, 0, 2 * length + 1);
    const auto *b = static_cast<const uint8_t *>(bytes);
    for (size_t i = 0; i < length; ++i)
        MSHSafeHexEncodeByte(b[i], out + 2 * i);
}

size_t MSHFormatUnsigned(uint64_t value, char *out)
{
    char text[21];
    size_t position = sizeof(text);
    do {
        text[--position] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    const size_t length = sizeof(text) - position;
    std::memcpy(out, text + position, length);
    out[length] = 0;
    return length;
}

QString MSHGenerateUUID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString MSHNormalizeUUIDString(const QString &uuid)
{
    QString normalized = uuid;
    normalized.remove(QLatin1Char('-'));
    return normalized.toLower();
}

QString KTBHexStringFromData(const QByteArray &data)
{
    return QString::fromLatin1(data.toHex());
}

QString KTBSHA1HexDigest(const void *bytes, size_t length)
{
    return KTBSHA1HexDigestOfData(
        QByteArray::fromRawData(static_cast<const char *>(bytes), qsizetype(length)));
}

QString KTBSHA1HexDigestOfData(const QByteArray &data)
{
    return KTBHexStringFromData(QCryptographicHash::hash(data, QCryptographicHash::Sha1));
}

void KTBStreamWriteData(const QByteArray &data,
                        const std::function<void(const char *, size_t, size_t, bool *)> &block)
{
    bool stop = false;
    block(data.constData(), 0, size_t(data.size()), &stop);
}
