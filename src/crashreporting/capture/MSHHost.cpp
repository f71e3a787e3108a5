#include "crashreporting/capture/MSHHost.h"

#include "crashreporting/capture/MSHContext.h"
#include "crashreporting/capture/MSHSafeUtilities.h"
#include "crashreporting/common/MSHDispatchQueue.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QThreadPool>
#include <QVariantMap>

#include <ctime>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace
{

uint64_t startMark = 0;

// Taken when the library is loaded, before main.
__attribute__((constructor)) void MSHProfileMarkStart()
{
    startMark = MSHProfileMark();
}

QString firstLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine()).trimmed();
}

} // namespace

void MSHHostInitialize(const char *documentsPath)
{
    MSHReadOnlyContext *context = MSHContextReadOnly();
    if (!context)
        return;
    context->pageSize = MSHHostGetPageSize();
    context->documentsPath = MSHDuplicateString(documentsPath);
}

size_t MSHHostGetPageSize()
{
    const long page = ::sysconf(_SC_PAGESIZE);
    if (page <= 0) {
        MSHSafeLog("%s: sysconf failed while trying to get the page size", __func__);
        return 4096;
    }
    return size_t(page);
}

MSHOSVersion MSHHostGetOSVersion()
{
    MSHOSVersion version;
    utsname name{};
    if (::uname(&name) != 0)
        return version;
    const QStringList parts = QString::fromUtf8(name.release)
                                  .section(QRegularExpression(QStringLiteral("[^0-9.]")), 0, 0)
                                  .split(QLatin1Char('.'));
    if (parts.size() > 0)
        version.major = parts[0].toLong();
    if (parts.size() > 1)
        version.minor = parts[1].toLong();
    if (parts.size() > 2)
        version.patch = parts[2].toLong();
    return version;
}

int MSHHostGetOSVersionNumber(const MSHOSVersion &version)
{
    switch (version.minor) {
    case 6:
        return 1060;
    case 7:
        return 1070;
    case 8:
        return 1080;
    case 9:
        return 1090;
    case 10:
        return 101000;
    case 11:
        return 101100;
    default:
        return 0;
    }
}

int MSHHostGetOSVersionNumber()
{
    return MSHHostGetOSVersionNumber(MSHHostGetOSVersion());
}

QString MSHHostGetModel()
{
    const QString model = firstLine(QStringLiteral("/sys/class/dmi/id/product_name"));
    return model.isEmpty() ? QStringLiteral("(failed)") : model;
}

QString MSHHostGetMachine()
{
    utsname name{};
    if (::uname(&name) != 0)
        return QStringLiteral("(failed)");
    return QString::fromUtf8(name.machine);
}

QString MSHHostGetCPU()
{
    QFile file(QStringLiteral("/proc/cpuinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("(failed)");
    // A procfs file reports no size (QFile::atEnd is true from the start): read lines until
    // the read gives nothing, within a bound.
    for (int lines = 0; lines < 100000; ++lines) {
        const QByteArray bytes = file.readLine(4096);
        if (bytes.isEmpty())
            break;
        const QString line = QString::fromUtf8(bytes);
        if (line.startsWith(QLatin1String("model name")))
            return line.section(QLatin1Char(':'), 1).trimmed();
    }
    return QStringLiteral("(failed)");
}

QString MSHHostGetOSBuildVersion()
{
    utsname name{};
    if (::uname(&name) != 0)
        return {};
    return QString::fromUtf8(name.version);
}

QString MSHHostGetOSDisplayVersion()
{
    const MSHOSVersion version = MSHHostGetOSVersion();
    return QStringLiteral("%1.%2.%3").arg(version.major).arg(version.minor).arg(version.patch);
}

void MSHHostRecordHostInfo(MSHFile *file)
{
    const QByteArray model = MSHHostGetModel().toUtf8();
    const QByteArray machine = MSHHostGetMachine().toUtf8();
    const QByteArray cpu = MSHHostGetCPU().toUtf8();
    const QByteArray build = MSHHostGetOSBuildVersion().toUtf8();
    const QByteArray display = MSHHostGetOSDisplayVersion().toUtf8();
    const QByteArray locale = QLocale::system().name().toUtf8();
    MSHFileWriteSectionStart(file, "host");
    MSHFileWriteHashStart(file);
    MSHFileWriteHashEntryString(file, "model", model.constData());
    MSHFileWriteHashEntryString(file, "machine", machine.constData());
    MSHFileWriteHashEntryString(file, "cpu", cpu.constData());
    MSHFileWriteHashEntryString(file, "os_build_version", build.constData());
    MSHFileWriteHashEntryString(file, "os_display_version", display.constData());
    MSHFileWriteHashEntryString(file, "platform", "linux");
    MSHFileWriteHashEntryString(file, "locale", locale.constData());
    MSHFileWriteHashEnd(file);
    MSHFileWriteSectionEnd(file);
}

void MSHHostRecordStorage(MSHFile *file)
{
    MSHReadOnlyContext *context = MSHContextReadOnly();
    struct statfs fs {
    };
    const bool known = context && context->documentsPath &&
                       ::syscall(SYS_statfs, context->documentsPath, &fs) == 0;
    MSHFileWriteSectionStart(file, "storage");
    MSHFileWriteHashStart(file);
    if (known) {
        MSHFileWriteHashEntryUint64(file, "free", uint64_t(fs.f_bsize) * uint64_t(fs.f_bavail));
        MSHFileWriteHashEntryUint64(file, "total", uint64_t(fs.f_bsize) * uint64_t(fs.f_blocks));
    }
    MSHFileWriteHashEnd(file);
    MSHFileWriteSectionEnd(file);
}

uint64_t MSHProfileMark()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000ULL + uint64_t(now.tv_nsec);
}

double MSHProfileMillisecondsSinceMark(uint64_t mark)
{
    return double(MSHProfileMark() - mark) / 1e6;
}

double MSHProfileMillisecondsSinceStart()
{
    return MSHProfileMillisecondsSinceMark(startMark);
}

void MSHDispatchAfter(MSHDispatchQueue *queue, std::function<void()> block, double seconds)
{
    if (queue)
        queue->after(seconds, std::move(block));
}

void MSHDispatchAfterOnGlobalQueue(QThreadPool *operationQueue, std::function<void()> block,
                                   double seconds)
{
    // One queue of our own keeps the timers; the block itself runs on the pool.
    static MSHDispatchQueue timers("com.mishap.mac.timers");
    if (!operationQueue)
        return;
    timers.after(seconds,
                 [operationQueue, block = std::move(block)] { operationQueue->start(block); });
}

QVariant MSHApplicationBeginActivity(uint64_t options, const QString &reason)
{
    return QVariantMap{{QStringLiteral("options"), QVariant::fromValue<qulonglong>(options)},
                       {QStringLiteral("reason"), reason}};
}

void MSHApplicationEndActivity(const QVariant &)
{
}

void MSHApplicationPerformActivity(uint64_t options, const QString &reason,
                                   const std::function<void()> &block)
{
    const QVariant token = MSHApplicationBeginActivity(options, reason);
    block();
    MSHApplicationEndActivity(token);
}
