#pragma once
// Hands a finished PDF to the print system (CUPS) as it is: the printer gets
// the same vector pages a PDF viewer shows, never pictures of them. Plain data
// in, an error text out, so it can run on a worker thread.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

struct TWSpoolJob {
    QString printer; // the queue's name
    QString title;   // the job's name in the queue
    int copies = 1;
    bool collate = true;
    QString sides;      // "one-sided", "two-sided-long-edge", "two-sided-short-edge" or empty
    QString pageRanges; // "2-5" or empty for every page
};

// The job's options as CUPS names and values.
QList<QPair<QByteArray, QByteArray>> twSpoolOptions(const TWSpoolJob &job);

// Sends the PDF; the print system's message when it refuses.
std::optional<QString> twSpoolPdf(const QByteArray &pdf, const TWSpoolJob &job);
