#pragma once
// Facts about the machine and the process for the records: page size, the Documents folder's
// file system, the "host" section, timing marks; plus the process-activity and delayed-dispatch
// helpers the report work uses.

#include "crashreporting/capture/MSHFile.h"

#include <QString>
#include <QVariant>

#include <cstddef>
#include <cstdint>
#include <functional>

class MSHDispatchQueue;
class QThreadPool;

// Stores the page size and the Documents path in the crash context.
void MSHHostInitialize(const char *documentsPath);
size_t MSHHostGetPageSize();

struct MSHOSVersion {
    long major = 0;
    long minor = 0;
    long patch = 0;
};
// The kernel release ("6.1.0" of "6.1.0-13-amd64").
MSHOSVersion MSHHostGetOSVersion();
// 1060 ... 101100 by the minor version alone (10.6 to 10.11); anything else 0.
int MSHHostGetOSVersionNumber(const MSHOSVersion &version);
int MSHHostGetOSVersionNumber();
QString MSHHostGetModel();
QString MSHHostGetMachine();
QString MSHHostGetCPU();
QString MSHHostGetOSBuildVersion();
QString MSHHostGetOSDisplayVersion();

// The "host" section of the metadata record.
void MSHHostRecordHostInfo(MSHFile *file);
// The "storage" section: free and total bytes of the Documents folder's file system (both left
// out when it cannot be queried). Async-signal-safe.
void MSHHostRecordStorage(MSHFile *file);

// Monotonic nanoseconds.
uint64_t MSHProfileMark();
double MSHProfileMillisecondsSinceMark(uint64_t mark);
double MSHProfileMillisecondsSinceStart();

void MSHDispatchAfter(MSHDispatchQueue *queue, std::function<void()> block, double seconds);
// After the delay, hands the block to the pool (the report work's operation queue).
void MSHDispatchAfterOnGlobalQueue(QThreadPool *operationQueue, std::function<void()> block,
                                   double seconds);

// Process activities keep nothing alive on this platform: the token only carries the request.
QVariant MSHApplicationBeginActivity(uint64_t options, const QString &reason);
void MSHApplicationEndActivity(const QVariant &token);
void MSHApplicationPerformActivity(uint64_t options, const QString &reason,
                                   const std::function<void()> &block);
