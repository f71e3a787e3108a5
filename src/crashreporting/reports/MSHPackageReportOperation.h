#pragma once
// Packs a report folder into one multipart upload file in prepared: the API key, the report's
// identifier and every visible file of the folder compressed with gzip. The package is written
// under a hidden name and renamed when whole, so a package that exists is always complete; any
// failed write (compression or package) leaves no package and the folder as it was.

#include "crashreporting/reports/MSHFrameOperations.h"

#include <memory>
#include <optional>

class MSHFileManager;
class MSHInternalReport;

class MSHPackageReportOperation final : public MSHOperation
{
public:
    MSHPackageReportOperation(std::shared_ptr<MSHInternalReport> report,
                              MSHFileManager *fileManager);

    // The finished package; empty until a package was made.
    const QString &finalPath() const { return m_finalPath; }
    QString reportPath() const;
    // The prepared folder (of the file manager, unless set).
    QString destinationDirectory() const;
    void setDestinationDirectory(const QString &directory) { m_destination = directory; }
    // Packs the records without their symbolicated forms (their processing failed).
    void setLeavesOutSymbolicated(bool leavesOut) { m_leavesOutSymbolicated = leavesOut; }
    // The file compressed beside itself (name + ".gz"); none when any write failed.
    static std::optional<QString> compressFile(const QString &path);
    // "metadata.mshrecord.gz" is the field "metadata": the name without its last two extensions.
    static QString fieldNameForCompressedFile(const QString &fileName);
    // No package this component writes is larger: a file in prepared that is cannot be one.
    static const qint64 maximumPackageSize;

protected:
    void main() override;

private:
    std::shared_ptr<MSHInternalReport> m_report;
    MSHFileManager *m_fileManager = nullptr;
    QString m_destination;
    QString m_finalPath;
    bool m_leavesOutSymbolicated = false;
};
