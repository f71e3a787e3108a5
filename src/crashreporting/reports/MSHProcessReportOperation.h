#pragma once
// Symbolicates the crash records of a report of an earlier process: each record's crashed
// threads are resolved against this process's images, demangled and written beside the record
// (record name + ".symbolicated"). Without an image list the report goes out unsymbolicated.
// A report whose processing ran to its end is marked so; one found unmarked (its process was
// cut off) is processed again. One whose processing fails on a write is sent without it, unless
// the disk or the quota was full: that passes, and the report waits to be processed again.

#include "crashreporting/reports/MSHFrameOperations.h"

#include <cerrno>
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
    // False when the file has threads but their symbolicated record could not be written whole.
    bool symbolicateFile(const QString &path, const MSHSymbolResolver *resolver);
    // The processing ran to its end (every record symbolicated whole, or nothing to resolve
    // against) and the report is marked so.
    bool completed() const { return m_completed; }
    // The processing failed for want of room (ENOSPC, EDQUOT): it may work at a later start.
    bool failedForRoom() const { return m_writeError == ENOSPC || m_writeError == EDQUOT; }
    // Why the processing failed on a write (an errno); 0 when it did not.
    int writeError() const { return m_writeError; }
    static bool isProcessed(const MSHInternalReport &report);

protected:
    void main() override;

private:
    bool m_completed = false;
    int m_writeError = 0;
    std::shared_ptr<MSHInternalReport> m_report;
    MSHSymbolResolver *m_resolver = nullptr;
};
