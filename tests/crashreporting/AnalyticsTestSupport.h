#pragma once
// Shared pieces of the usage-analytics suites: a temporary analytics root and defaults file, a
// pinned clock, a controller over them, and readers for event files.

#include "crashreporting/analytics/MSHAnalyticsController.h"
#include "crashreporting/capture/MSHUserDefaults.h"

#include <QDateTime>
#include <QList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// One record of an event file: timestamp, key and payload (empty without one).
struct TWEventRecord {
    QByteArray timestamp;
    QByteArray key;
    QByteArray payload;
};
QList<TWEventRecord> twReadEventRecords(const QString &path);
void twWriteFile(const QString &path, const QByteArray &bytes);

class TWAnalyticsFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    std::shared_ptr<MSHAnalyticsController> makeController(const QString &session = "SESSION-1");
    // Waits until the maintenance queue and the three logging queues have run what they hold.
    void drain(MSHAnalyticsController &controller);
    // Runs the step and waits for its completion.
    MSHErrorResult runStep(const std::function<void(MSHAnalyticsController::Completion)> &step);
    QVariantMap settingsWithAnalytics(const QVariantMap &analytics, bool collect = true) const;
    QString activePath() const;
    QString packagedPath() const;

    QTemporaryDir temporary;
    QString root;
    std::unique_ptr<MSHUserDefaults> defaults;
    QDateTime pinnedNow = QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53, 589), Qt::UTC);
    std::function<QDateTime()> savedClock;
};
