#pragma once
// Symbolicates the crash records of a report of an earlier process: each record's crashed
// threads are resolved against this process's images, demangled and written beside the record
// (record name + ".symbolicated"). Without an image list the report goes out unsymbolicated.

#include "crashreporting/reports/MSHFrameOperations.h"

#include <memory>

class MSHInternalReport;
class MSHSymbolResolver;

class MSHProcessReportOperation final : public MSHOperation
{
public:
    MSHProcessReportOperation(std::shared_ptr<MSHInternalReport> report,
                              MSHSymbolResolver *resolver);

    QString binaryImagePath() const;
    // The threads of the file's first "threads" section; empty when there is none.
    static MSHThreadArray threadArrayFromFile(const QString &path);
    void symbolicateFile(const QString &path, const MSHSymbolResolver *resolver);

protected:
    void main() override;

private:
    std::shared_ptr<MSHInternalReport> m_report;
    MSHSymbolResolver *m_resolver = nullptr;
};
