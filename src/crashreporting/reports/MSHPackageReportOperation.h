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
    QString packagedPathWithName(const QString &name) const;
    // The file compressed beside itself (name + ".gz"); none when any write failed.
    static std::optional<QString> compressFile(const QString &path);
    // "metadata.mshrecord.gz" is the field "metadata": the name without its last two extensions.
    static QString fieldNameForCompressedFile(const QString &fileName);

protected:
    void main() override;

private:
    std::shared_ptr<MSHInternalReport> m_report;
    MSHFileManager *m_fileManager = nullptr;
    QString m_destination;
    QString m_finalPath;
};
