#include "crashreporting/reports/MSHProcessReportOperation.h"

#include "crashreporting/capture/MSHFile.h"
#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/reports/MSHInternalReport.h"
#include "crashreporting/reports/MSHSymbolResolver.h"

#include <QJsonArray>

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

void MSHProcessReportOperation::symbolicateFile(const QString &path,
                                                const MSHSymbolResolver *resolver)
{
    auto threads = std::make_shared<MSHThreadArray>(threadArrayFromFile(path));
    if (threads->isEmpty())
        return;
    MSHSymbolicationOperation symbolication;
    symbolication.threadArray = threads;
    symbolication.symbolResolver = resolver;
    MSHDemangleOperation demangling;
    demangling.threadArray = threads;
    MSHSerializeSymbolicatedFramesOperation serialization;
    serialization.threadArray = threads;
    serialization.outputPath = path + QStringLiteral(".symbolicated");
    symbolication.start();
    demangling.start();
    serialization.start();
}

void MSHProcessReportOperation::main()
{
    // Nothing is written into a folder that is a link.
    if (!m_report || !m_resolver || !MSHFileManager::isRealDirectory(m_report->path()) ||
        !m_resolver->loadBinaryImagesFromFile(binaryImagePath()))
        return;
    m_report->enumerateSymbolicatableFilesInContent([this](const QString &path) {
        if (!isCancelled())
            symbolicateFile(path, m_resolver);
    });
}
