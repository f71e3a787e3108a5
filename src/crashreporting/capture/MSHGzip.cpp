#include "crashreporting/capture/MSHGzip.h"

#include "crashreporting/capture/MSHSafeUtilities.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

namespace
{

constexpr size_t chunkSize = 5120;

bool writeAll(int fd, const unsigned char *bytes, size_t length)
{
    while (length > 0) {
        const ssize_t written = ::write(fd, bytes, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        length -= size_t(written);
    }
    return true;
}

} // namespace

int MSHGzipCompressFile(const char *inputPath, const char *outputPath)
{
    const int in = ::open(inputPath, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        MSHSafeLog("%s: Unable to open %s", __func__, inputPath);
        return -1;
    }
    const int out = ::open(outputPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        MSHSafeLog("%s: Unable to open %s", __func__, outputPath);
        ::close(in);
        return -1;
    }
    z_stream stream{};
    // Window bits 31: a gzip wrapper around the deflate stream.
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 4, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        ::close(in);
        ::close(out);
        return -1;
    }
    unsigned char input[chunkSize];
    unsigned char output[chunkSize];
    bool ok = true;
    bool finished = false;
    while (ok && !finished) {
        ssize_t got = ::read(in, input, sizeof(input));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ok = false;
            break;
        }
        const int flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
        stream.next_in = input;
        stream.avail_in = uInt(got);
        // Deflate until the chunk is consumed (and, at the end, until the stream is closed):
        // output that does not fit one buffer simply takes another round.
        for (;;) {
            stream.next_out = output;
            stream.avail_out = sizeof(output);
            const int status = deflate(&stream, flush);
            if (status == Z_STREAM_ERROR) {
                ok = false;
                break;
            }
            const size_t produced = sizeof(output) - stream.avail_out;
            if (!writeAll(out, output, produced)) {
                ok = false;
                break;
            }
            if (flush == Z_FINISH) {
                if (status == Z_STREAM_END) {
                    finished = true;
                    break;
                }
                if (status != Z_OK && status != Z_BUF_ERROR) {
                    ok = false;
                    break;
                }
            } else if (stream.avail_in == 0 && stream.avail_out != 0) {
                break;
            }
        }
    }
    deflateEnd(&stream);
    ::close(in);
    if (::close(out) != 0)
        ok = false;
    return ok && finished ? 0 : -1;
}
