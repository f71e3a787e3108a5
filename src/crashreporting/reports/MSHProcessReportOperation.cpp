#include "crashreporting/reports/MSHProcessReportOperation.h"

#include "crashreporting/capture/MSHFile.h"
#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/reports/MSHInternalReport.h"
#include "crashreporting/reports/MSHSymbolResolver.h"

#include <QFile>
#include <QJsonArray>

#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Where a record's symbolicated form is written.
QString symbolicatedPath(const QString &recordPath)
{
    return recordPath + QStringLiteral(".symbolicated");
}

// Hidden, so that no listing shows it and no package carries it.
QString processedMarkerPath(const MSHInternalReport &report)
{
    return report.pathForContentFile(QStringLiteral(".processed"));
}

} // namespace

MSHProcessReportOperation::MSHProcessReportOperation(std::shared_ptr<MSHInternalReport> report,
                                                     MSHSymbolResolver *resolver)
    : m_report(std::move(report)), m_resolver(resolver)
{
}

QString MSHProcessReportOperation::binaryImagePath() const
{
    return m_report ? m_report->binaryImagePath() : QString();
}

MSHThreadArray MSHProcessReportOperation::threadArrayFromFile(const QString &path)
{
    const std::optional<QList<QJsonObject>> lines = MSHFileReadSections(path, false);
    if (!lines)
        return {};
    for (const QJsonObject &line : *lines) {
        const QJsonValue threads = line.value(QStringLiteral("threads"));
        if (threads.isUndefined() || threads.isNull())
            continue;
        MSHThreadArray array;
        for (const QJsonValue &thread : threads.toArray()) {
            QList<MSHStackFrame> frames;
            for (const QJsonValue &address :
                 thread.toObject().value(QStringLiteral("stacktrace")).toArray()) {
                MSHStackFrame frame =
                    MSHStackFrame::stackFrameWithAddress(uint64_t(address.toInteger()));
                frame.returnAddress = !frames.isEmpty();
                frames.append(frame);
            }
            array.append(frames);
        }
        return array;
    }
    return {};
}

bool MSHProcessReportOperation::symbolicateFile(const QString &path,
                                                const MSHSymbolResolver *resolver)
{
    auto threads = std::make_shared<MSHThreadArray>(threadArrayFromFile(path));
    if (threads->isEmpty())
        return true;
    MSHSymbolicationOperation symbolication;
    symbolication.threadArray = threads;
    symbolication.symbolResolver = resolver;
    MSHDemangleOperation demangling;
    demangling.threadArray = threads;
    MSHSerializeSymbolicatedFramesOperation serialization;
    serialization.threadArray = threads;
    serialization.outputPath = symbolicatedPath(path);
    symbolication.start();
    demangling.start();
    serialization.start();
    if (!serialization.written())
        m_writeError = serialization.writeError();
    return serialization.written();
}

bool MSHProcessReportOperation::isProcessed(const MSHInternalReport &report)
{
    struct stat status {
    };
    return ::lstat(QFile::encodeName(processedMarkerPath(report)).constData(), &status) == 0 &&
           S_ISREG(status.st_mode) && status.st_nlink == 1;
}

void MSHProcessReportOperation::main()
{
    m_completed = false;
    m_writeError = 0;
    // Nothing is written into a folder that is a link.
    if (!m_report || !m_resolver || !MSHFileManager::isRealDirectory(m_report->path()))
        return;
    // Processed from the start: what an earlier, cut-off run wrote is not kept.
    m_report->enumerateSymbolicatableFilesInContent([](const QString &path) {
        ::unlink(QFile::encodeName(symbolicatedPath(path)).constData());
    });
    bool whole = true;
    if (m_resolver->loadBinaryImagesFromFile(binaryImagePath())) {
        m_report->enumerateSymbolicatableFilesInContent([&](const QString &path) {
            if (whole && !isCancelled())
                whole = symbolicateFile(path, m_resolver);
        });
    }
    if (!whole || isCancelled())
        return;
    m_completed = MSHFileManager::createMarkerFile(processedMarkerPath(*m_report));
    if (!m_completed)
        m_writeError = errno;
}
