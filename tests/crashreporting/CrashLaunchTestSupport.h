#pragma once
// Shared pieces of the launch suites: environment variables set for one test, report folders of
// "earlier processes" written by hand, a crash-reporting controller owner whose answers the test
// chooses, a crash-context installer that installs nothing, and a reader of upload bodies.

#include "crashreporting/reports/MSHCrashReportingController.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <memory>

// Sets the variables for the object's life and puts back what was there before.
class TWEnvironmentGuard
{
public:
    TWEnvironmentGuard() = default;
    ~TWEnvironmentGuard();
    TWEnvironmentGuard(const TWEnvironmentGuard &) = delete;
    TWEnvironmentGuard &operator=(const TWEnvironmentGuard &) = delete;
    void set(const char *name, const QByteArray &value);

private:
    QList<QPair<QByteArray, std::optional<QByteArray>>> m_saved;
};

// A report folder as a crashed process leaves it: metadata (with its session id) and, unless
// only logs are asked for, a signal record.
QString twMakeEarlierReport(const QString &folder, const QString &identifier,
                            bool withCrashRecord = true);

// The owner's answers, chosen by the test; counts what it was asked.
class TWFakeReportingOwner final : public MSHCrashReportingControllerDelegate
{
public:
    QVariantMap settingsDictionary;
    bool mustInform = false;
    bool submit = true;
    std::atomic<int> decisionsAsked{0};
    std::atomic<int> reportsDetected{0};

    bool shouldInstallCrashCallback() override { return false; }
    void detectedCrash() override {}
    bool backgroundSessions = true;
    bool reportingControllerCanUseBackgroundSessions(MSHCrashReportingController &) override
    {
        return backgroundSessions;
    }
    bool reportingControllerMustInformDelegateOfReports(MSHCrashReportingController &) override
    {
        return mustInform;
    }
    void reportingControllerDidDetectReportForLastExecution(
        MSHCrashReportingController &, const std::shared_ptr<MSHInternalReport> &,
        std::function<void(bool)> completion) override
    {
        ++decisionsAsked;
        completion(submit);
    }
    void reportingControllerInternalDidDetectReportForLastExecution(
        MSHCrashReportingController &, const std::shared_ptr<MSHInternalReport> &) override
    {
        ++reportsDetected;
    }
    bool reportingControllerEnsureDeliveryOfUnixSignal(MSHCrashReportingController &, int) override
    {
        return false;
    }
    QString APIKeyForCrashReportingController(MSHCrashReportingController &) override
    {
        return QStringLiteral("test-api-key");
    }
    QString installIDForCrashReportingController(MSHCrashReportingController &) override
    {
        return QStringLiteral("test-install");
    }
    bool isFirstInstallForCrashReportingController(MSHCrashReportingController &) override
    {
        return false;
    }
    MSHSettings settingsForCrashReportingController(MSHCrashReportingController &) override
    {
        return MSHSettings(settingsDictionary);
    }
};

// Records what it would have installed; the test process keeps its own handlers.
class TWRecordingInstaller final : public MSHCrashContextInstaller
{
public:
    std::atomic<int> installs{0};
    QByteArray reportPath;
    void install(const MSHContextInitData &data) override
    {
        ++installs;
        reportPath = data.reportPath;
    }
    void checkHandlers() override {}
};

// One part of a multipart upload.
struct TWUploadPart {
    QString name;
    QString fileName;
    QByteArray body;
};
// The parts of a body with the boundary; empty (with a failure) when it is malformed.
QList<TWUploadPart> twUploadParts(const QByteArray &body, const QByteArray &boundary);
// The boundary named by a "multipart/form-data; boundary=..." value.
QByteArray twUploadBoundary(const QByteArray &contentType);
