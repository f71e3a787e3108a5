#pragma once
// An event file being written: opened for appending at its end, created empty when missing (a
// folder standing at its path is removed first), its size counted as records are appended.
// Each file is written from one logging queue only.

#include "crashreporting/analytics/MSHEventLogEvent.h"
#include "crashreporting/common/MSHError.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <memory>

class MSHEventLogEventFile
{
public:
    // None when the file cannot be made or opened (logged in debug mode).
    static std::unique_ptr<MSHEventLogEventFile> create(const QString &path,
                                                        MSHError *error = nullptr);
    static std::unique_ptr<MSHEventLogEventFile>
    create(const QString &name, const QString &directory, MSHError *error = nullptr);
    ~MSHEventLogEventFile();

    const QString &filePath() const { return m_path; }
    uint64_t fileSize() const { return m_fileSize; }

    bool appendData(const QByteArray &data, MSHError *error = nullptr);
    bool appendEvent(const MSHEventLogEvent &event, MSHError *error = nullptr);
    bool resetFile(MSHError *error = nullptr);
    // The whole file; none when reading (or opening again for appending) failed.
    std::optional<QByteArray> readFromFile(MSHError *error = nullptr);
    void closeFileHandle();

private:
    explicit MSHEventLogEventFile(const QString &path) : m_path(path), m_file(path) {}
    bool open(MSHError *error);

    QString m_path;
    QFile m_file;
    uint64_t m_fileSize = 0;
};

// A file-system error of the component's analytics.
MSHError MSHAnalyticsFileError(const QString &description);
