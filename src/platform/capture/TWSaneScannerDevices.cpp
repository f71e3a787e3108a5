// Scanners through SANE: the device list (network scanners come through
// SANE's net backend), the resolution and mode options, and one page read
// frame by frame into a QImage.

#include "platform/capture/TWCaptureError.h"
#include "platform/capture/TWScannerDevices.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <cstring>
#include <vector>

namespace
{

// A page bigger than this is refused rather than read into memory.
constexpr qint64 kMaximumPageBytes = qint64(512) * 1024 * 1024;

QString saneReason(SANE_Status status)
{
    return QString::fromUtf8(sane_strstatus(status));
}

class SaneHandle
{
public:
    ~SaneHandle()
    {
        if (handle) {
            sane_cancel(handle);
            sane_close(handle);
        }
    }
    SANE_Handle handle = nullptr;
};

TWErrorResult openDevice(const TWCaptureDevice &scanner, SaneHandle &device)
{
    const QByteArray name = scanner.identifier.toUtf8();
    const SANE_Status status = sane_open(name.constData(), &device.handle);
    if (status != SANE_STATUS_GOOD) {
        device.handle = nullptr;
        return twCaptureError("captureScannerOpenFailed", saneReason(status));
    }
    return std::nullopt;
}

// The option's number, or -1.
int findOption(SANE_Handle handle, const char *name)
{
    SANE_Int count = 0;
    if (sane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
        return -1;
    for (int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor *option = sane_get_option_descriptor(handle, i);
        if (option && option->name && std::strcmp(option->name, name) == 0 &&
            SANE_OPTION_IS_ACTIVE(option->cap))
            return i;
    }
    return -1;
}

int wordToInt(const SANE_Option_Descriptor *option, SANE_Word word)
{
    return option->type == SANE_TYPE_FIXED ? int(SANE_UNFIX(word) + 0.5) : int(word);
}

SANE_Word intToWord(const SANE_Option_Descriptor *option, int value)
{
    return option->type == SANE_TYPE_FIXED ? SANE_FIX(double(value)) : SANE_Word(value);
}

bool isNumber(const SANE_Option_Descriptor *option)
{
    return (option->type == SANE_TYPE_INT || option->type == SANE_TYPE_FIXED) &&
           option->size == SANE_Int(sizeof(SANE_Word));
}

void readResolutions(SANE_Handle handle, TWScannerOptions &options)
{
    const int index = findOption(handle, SANE_NAME_SCAN_RESOLUTION);
    if (index < 0)
        return;
    const SANE_Option_Descriptor *option = sane_get_option_descriptor(handle, index);
    if (!isNumber(option))
        return;
    SANE_Word value = 0;
    if (sane_control_option(handle, index, SANE_ACTION_GET_VALUE, &value, nullptr) ==
        SANE_STATUS_GOOD)
        options.resolution = wordToInt(option, value);
    if (option->constraint_type == SANE_CONSTRAINT_WORD_LIST && option->constraint.word_list) {
        const SANE_Word *list = option->constraint.word_list;
        for (int i = 1; i <= list[0]; ++i)
            options.resolutions.append(wordToInt(option, list[i]));
    } else if (option->constraint_type == SANE_CONSTRAINT_RANGE && option->constraint.range) {
        const int minimum = wordToInt(option, option->constraint.range->min);
        const int maximum = wordToInt(option, option->constraint.range->max);
        options.resolutions.append(minimum);
        for (int common : {75, 100, 150, 200, 300, 600, 1200, 2400})
            if (common > minimum && common < maximum)
                options.resolutions.append(common);
        if (maximum > minimum)
            options.resolutions.append(maximum);
    }
}

void readModes(SANE_Handle handle, TWScannerOptions &options)
{
    const int index = findOption(handle, SANE_NAME_SCAN_MODE);
    if (index < 0)
        return;
    const SANE_Option_Descriptor *option = sane_get_option_descriptor(handle, index);
    if (option->type != SANE_TYPE_STRING || option->size <= 0)
        return;
    QByteArray value(option->size + 1, '\0');
    if (sane_control_option(handle, index, SANE_ACTION_GET_VALUE, value.data(), nullptr) ==
        SANE_STATUS_GOOD)
        options.mode = QString::fromUtf8(value.constData());
    if (option->constraint_type == SANE_CONSTRAINT_STRING_LIST && option->constraint.string_list)
        for (const SANE_String_Const *mode = option->constraint.string_list; *mode; ++mode)
            options.modes.append(QString::fromUtf8(*mode));
}

TWErrorResult applySettings(SANE_Handle handle, const TWScanSettings &settings)
{
    // The mode first: it can change which resolutions exist.
    if (!settings.mode.isEmpty()) {
        const int index = findOption(handle, SANE_NAME_SCAN_MODE);
        const SANE_Option_Descriptor *option =
            index >= 0 ? sane_get_option_descriptor(handle, index) : nullptr;
        if (option && option->type == SANE_TYPE_STRING && SANE_OPTION_IS_SETTABLE(option->cap)) {
            QByteArray value = settings.mode.toUtf8();
            if (value.size() >= option->size)
                return twCaptureError("captureScannerOptionFailed", settings.mode);
            value.resize(option->size, '\0');
            const SANE_Status status =
                sane_control_option(handle, index, SANE_ACTION_SET_VALUE, value.data(), nullptr);
            if (status != SANE_STATUS_GOOD)
                return twCaptureError("captureScannerOptionFailed", saneReason(status));
        }
    }
    if (settings.resolution > 0) {
        const int index = findOption(handle, SANE_NAME_SCAN_RESOLUTION);
        const SANE_Option_Descriptor *option =
            index >= 0 ? sane_get_option_descriptor(handle, index) : nullptr;
        if (option && isNumber(option) && SANE_OPTION_IS_SETTABLE(option->cap)) {
            SANE_Word value = intToWord(option, settings.resolution);
            const SANE_Status status =
                sane_control_option(handle, index, SANE_ACTION_SET_VALUE, &value, nullptr);
            if (status != SANE_STATUS_GOOD)
                return twCaptureError("captureScannerOptionFailed", saneReason(status));
        }
    }
    return std::nullopt;
}

// The sample of a pixel in a frame line, scaled to 8 bits.
int sampleAt(const uchar *line, int depth, int index)
{
    switch (depth) {
    case 1:
        // A set bit is black.
        return (line[index / 8] & (0x80 >> (index % 8))) ? 0 : 255;
    case 16: {
        quint16 word;
        std::memcpy(&word, line + index * 2, 2);
        return word >> 8;
    }
    default:
        return line[index];
    }
}

} // namespace

namespace
{
// SANE is one per process: initialised by the first instance, left by the last.
int saneUsers = 0;
bool saneReady = false;
} // namespace

TWSaneScannerDevices::TWSaneScannerDevices()
{
    if (saneUsers++ == 0) {
        SANE_Int version = 0;
        saneReady = sane_init(&version, nullptr) == SANE_STATUS_GOOD;
    }
    m_initialised = saneReady;
}

TWSaneScannerDevices::~TWSaneScannerDevices()
{
    if (--saneUsers == 0 && saneReady) {
        sane_exit();
        saneReady = false;
    }
}

QList<TWCaptureDevice> TWSaneScannerDevices::scanners()
{
    QList<TWCaptureDevice> scanners;
    if (!m_initialised)
        return scanners;
    const SANE_Device **devices = nullptr;
    if (sane_get_devices(&devices, SANE_FALSE) != SANE_STATUS_GOOD || !devices)
        return scanners;
    for (const SANE_Device **device = devices; *device; ++device) {
        TWCaptureDevice scanner;
        scanner.kind = TWCaptureDevice::Scanner;
        scanner.identifier = QString::fromUtf8((*device)->name);
        scanner.location = scanner.identifier;
        scanner.name =
            QStringLiteral("%1 %2")
                .arg(QString::fromUtf8((*device)->vendor), QString::fromUtf8((*device)->model))
                .trimmed();
        if (scanner.name.isEmpty())
            scanner.name = scanner.identifier;
        scanners.append(scanner);
    }
    return scanners;
}

TWResult<TWScannerOptions> TWSaneScannerDevices::options(const TWCaptureDevice &scanner)
{
    TWResult<TWScannerOptions> result;
    SaneHandle device;
    if (!m_initialised) {
        result.error = twCaptureError("captureScannerOpenFailed", saneReason(SANE_STATUS_INVAL));
        return result;
    }
    if ((result.error = openDevice(scanner, device)))
        return result;
    readResolutions(device.handle, result.value);
    readModes(device.handle, result.value);
    return result;
}

TWResult<QImage> TWSaneScannerDevices::scan(const TWCaptureDevice &scanner,
                                            const std::optional<TWScanSettings> &settings)
{
    TWResult<QImage> result;
    SaneHandle device;
    if (!m_initialised) {
        result.error = twCaptureError("captureScannerOpenFailed", saneReason(SANE_STATUS_INVAL));
        return result;
    }
    if ((result.error = openDevice(scanner, device)))
        return result;
    if (settings && (result.error = applySettings(device.handle, *settings)))
        return result;

    QImage image;
    std::vector<uchar> buffer(64 * 1024);
    for (int frame = 0; frame < 3; ++frame) {
        SANE_Status status = sane_start(device.handle);
        if (status != SANE_STATUS_GOOD) {
            result.error = twCaptureError("captureScanFailed", saneReason(status));
            return result;
        }
        SANE_Parameters parameters;
        status = sane_get_parameters(device.handle, &parameters);
        if (status != SANE_STATUS_GOOD || parameters.bytes_per_line <= 0 ||
            parameters.pixels_per_line <= 0 ||
            (parameters.depth != 1 && parameters.depth != 8 && parameters.depth != 16) ||
            (parameters.format == SANE_FRAME_RGB && parameters.depth == 1)) {
            result.error = twCaptureError(
                "captureScanFailed",
                saneReason(status == SANE_STATUS_GOOD ? SANE_STATUS_UNSUPPORTED : status));
            return result;
        }
        QByteArray data;
        for (;;) {
            SANE_Int length = 0;
            status = sane_read(device.handle, buffer.data(), SANE_Int(buffer.size()), &length);
            if (status == SANE_STATUS_EOF)
                break;
            if (status != SANE_STATUS_GOOD) {
                result.error = twCaptureError("captureScanFailed", saneReason(status));
                return result;
            }
            data.append(reinterpret_cast<const char *>(buffer.data()), length);
            if (data.size() > kMaximumPageBytes) {
                result.error = twCaptureError("captureScanFailed", saneReason(SANE_STATUS_NO_MEM));
                return result;
            }
        }
        const int width = parameters.pixels_per_line;
        const int lines = int(data.size() / parameters.bytes_per_line);
        if (lines <= 0) {
            result.error = twCaptureError("captureScanFailed", saneReason(SANE_STATUS_IO_ERROR));
            return result;
        }
        const bool single =
            parameters.format == SANE_FRAME_GRAY || parameters.format == SANE_FRAME_RGB;
        if (image.isNull() || (single && frame == 0)) {
            image = QImage(width, lines,
                           parameters.format == SANE_FRAME_GRAY ? QImage::Format_Grayscale8
                                                                : QImage::Format_RGB32);
            image.fill(parameters.format == SANE_FRAME_GRAY ? Qt::white : Qt::black);
        }
        const int height = std::min(lines, image.height());
        const int columns = std::min(width, image.width());
        for (int y = 0; y < height; ++y) {
            const uchar *line = reinterpret_cast<const uchar *>(data.constData()) +
                                qint64(y) * parameters.bytes_per_line;
            if (parameters.format == SANE_FRAME_GRAY) {
                uchar *out = image.scanLine(y);
                for (int x = 0; x < columns; ++x)
                    out[x] = uchar(sampleAt(line, parameters.depth, x));
                continue;
            }
            auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < columns; ++x) {
                if (parameters.format == SANE_FRAME_RGB) {
                    out[x] = qRgb(sampleAt(line, parameters.depth, x * 3),
                                  sampleAt(line, parameters.depth, x * 3 + 1),
                                  sampleAt(line, parameters.depth, x * 3 + 2));
                    continue;
                }
                const int value = sampleAt(line, parameters.depth, x);
                QRgb pixel = out[x];
                if (parameters.format == SANE_FRAME_RED)
                    pixel = qRgb(value, qGreen(pixel), qBlue(pixel));
                else if (parameters.format == SANE_FRAME_GREEN)
                    pixel = qRgb(qRed(pixel), value, qBlue(pixel));
                else
                    pixel = qRgb(qRed(pixel), qGreen(pixel), value);
                out[x] = pixel;
            }
        }
        if (parameters.last_frame || single)
            break;
    }
    result.value = image;
    return result;
}
