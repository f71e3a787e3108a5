// The whole road of a crash: the helper starts the component as the application does and
// crashes, a later launch finds the record and uploads it to the loopback reports service.

#include "CrashLaunchTestSupport.h"
#include "CrashTestSupport.h"
#include "NetworkTestSupport.h"

#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/reports/MSHPackageReportOperation.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>
#include <vector>

namespace
{

const QByteArray reportsPath =
    "/sdk-api/v1/platforms/linux/apps/org.tallyworth.crashhelper/reports";

class CrashReportingEndToEnd : public ::testing::Test
{
protected:
    QTemporaryDir temporary;
    std::unique_ptr<TWLoopbackHttpServer> server = twNetworkTestServer(false);
    QElapsedTimer clock;
    std::atomic<qint64> uploadArrivedAt{-1};
    std::atomic<int> uploadStatus{200};
    // How long the service takes to answer an upload.
    std::atomic<int> uploadDelayMs{0};
    // The pipeline step at which the next helper kills itself (none: it runs its course).
    QByteArray killAt;
    // What the last launch wrote to its standard error (the component's log).
    QByteArray launchLog;
    // Set for the helpers started from then on.
    QMap<QString, QString> extraEnvironment;
    // The helpers run as a user without root's reach over files (as root, permissions stop
    // nothing): the test's folder is handed to that user before each start.
    bool unprivileged = false;
    // Whether the test's folder is handed to that user before each start (not when the test
    // gives folders to others on purpose).
    bool giveAway = true;
    // The cache folder's name for the helpers, with printf escapes (a name that is no UTF-8).
    QByteArray escapedCache;
    QString workingDirectory;
    // Called on the server's thread as each upload arrives (set before the launch).
    std::function<void()> onUpload;
    // Variables the helpers started from then on go without.
    QStringList unsetEnvironment;
    // The cache folder the helpers' tree lies in (where the environment leads them).
    QString cacheFolder;

    void SetUp() override
    {
        clock.start();
        server->setHandler([this](const TWLoopbackHttpServer::Request &request) {
            if (request.path != reportsPath)
                return TWLoopbackHttpServer::Reply::withStatus(404);
            uploadArrivedAt.store(clock.nsecsElapsed());
            if (onUpload)
                onUpload();
            TWLoopbackHttpServer::Reply reply =
                TWLoopbackHttpServer::Reply::ok("{}", "application/json");
            reply.status = uploadStatus.load();
            reply.delayMs = uploadDelayMs.load();
            return reply;
        });
    }

    QString root() const
    {
        return (cacheFolder.isEmpty() ? temporary.filePath(QStringLiteral("cache")) : cacheFolder) +
               QStringLiteral("/com.mishap.data/org.tallyworth.crashhelper/v3");
    }
    QStringList entries(const QString &folder) const
    {
        return QDir(root() + QLatin1Char('/') + folder)
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    }

    void startHelper(QProcess &process, const QStringList &arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), temporary.filePath("cache"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), temporary.filePath("data"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), temporary.filePath("config"));
        const QString base = server->baseUrl().toString();
        environment.insert(QStringLiteral("MishapReportsEndpoint"), base);
        environment.insert(QStringLiteral("SettingsEndpoint"), base);
        environment.insert(QStringLiteral("ConfigureEndpoint"), base);
        if (!killAt.isEmpty())
            environment.insert(QStringLiteral("TW_CRASH_HELPER_KILL_AT"),
                               QString::fromUtf8(killAt));
        for (auto it = extraEnvironment.cbegin(); it != extraEnvironment.cend(); ++it)
            environment.insert(it.key(), it.value());
        for (const QString &name : unsetEnvironment)
            environment.remove(name);
        process.setProcessEnvironment(environment);
        if (unprivileged && ::geteuid() == 0) {
            if (giveAway)
                twCrashTestGiveAway(temporary.path());
            process.setChildProcessModifier([] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(126);
            });
        }
        if (!workingDirectory.isEmpty())
            process.setWorkingDirectory(workingDirectory);
        if (!escapedCache.isEmpty()) {
            environment.insert(QStringLiteral("TW_ESCAPED_CACHE"),
                               QString::fromLatin1(escapedCache));
            process.setProcessEnvironment(environment);
            process.start(
                QStringLiteral("/bin/sh"),
                QStringList{QStringLiteral("-c"),
                            QStringLiteral("XDG_CACHE_HOME=$(printf \"$TW_ESCAPED_CACHE\"); "
                                           "export XDG_CACHE_HOME; exec \"$@\""),
                            QStringLiteral("sh"), QStringLiteral(TW_CRASH_HELPER)} +
                    arguments);
        } else {
            process.start(QStringLiteral(TW_CRASH_HELPER), arguments);
        }
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    void crash(const QString &mode)
    {
        QProcess process;
        startHelper(process, {mode});
        ASSERT_TRUE(process.waitForFinished(30000));
        ASSERT_EQ(process.exitStatus(), QProcess::CrashExit)
            << process.readAllStandardError().constData();
        ASSERT_EQ(entries(QStringLiteral("active")).size(), 1);
    }

    // Runs `launch` for the time given; answers when "started" was read (ns on the clock).
    qint64 launch(int milliseconds, const std::function<void()> &whenStarted = {})
    {
        QProcess process;
        startHelper(process, {QStringLiteral("launch"), QString::number(milliseconds)});
        qint64 startedAt = -1;
        QByteArray output;
        while (startedAt < 0 && process.waitForReadyRead(30000)) {
            output += process.readAllStandardOutput();
            if (output.contains("started\n")) {
                startedAt = clock.nsecsElapsed();
                if (whenStarted)
                    whenStarted();
            }
        }
        EXPECT_TRUE(process.waitForFinished(30000));
        launchLog = process.readAllStandardError();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0) << launchLog.constData();
        EXPECT_GE(startedAt, 0) << "no \"started\"";
        return startedAt;
    }

    // A launch that kills itself when the pipeline reaches the step.
    void launchKilledAt(const QByteArray &step)
    {
        QProcess process;
        killAt = step;
        startHelper(process, {QStringLiteral("launch"), QStringLiteral("5000")});
        killAt.clear();
        ASSERT_TRUE(process.waitForFinished(30000));
        ASSERT_EQ(process.exitStatus(), QProcess::CrashExit)
            << "never reached " << step.constData() << ": "
            << process.readAllStandardError().constData();
    }

    // Every entry of the folder, hidden ones too.
    QStringList allEntries(const QString &folder) const
    {
        return QDir(root() + QLatin1Char('/') + folder)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name);
    }

    // The file names of the one report the service received, checked to be received once and
    // to leave nothing (hidden or not) in processing or prepared.
    QStringList sentOnce() const
    {
        QMap<QString, QList<QStringList>> sent;
        for (const TWLoopbackHttpServer::Request &request : uploads()) {
            QString identifier;
            QStringList names;
            for (const TWUploadPart &part :
                 twUploadParts(request.body, twUploadBoundary(request.header("Content-Type")))) {
                if (part.name == QStringLiteral("report_id"))
                    identifier = QString::fromUtf8(part.body);
                names.append(part.fileName);
            }
            sent[identifier].append(names);
        }
        EXPECT_EQ(sent.size(), 1) << "reports: " << sent.keys().join(' ').toStdString();
        EXPECT_EQ(sent.value(sent.firstKey()).size(), 1) << "receipts of one report";
        for (const char *folder : {"processing", "prepared"})
            EXPECT_EQ(allEntries(QLatin1String(folder)), QStringList()) << folder;
        return sent.isEmpty() ? QStringList() : sent.first().value(0);
    }

    // A package (as found in prepared) with no parts.
    static QByteArray emptyPackage(const QByteArray &boundary)
    {
        return "MIME-Version: 1.0\r\n--" + boundary + "\r\n--" + boundary + "--\r\n";
    }

    // The package an earlier build made of a report twMakeEarlierReport wrote: its identifier
    // and its records, compressed.
    static QByteArray earlierPackage(const QByteArray &boundary, const QString &identifier)
    {
        const auto value = [&](const QByteArray &name, const QByteArray &body) {
            return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name +
                   "\"\r\nContent-Type: text/plain\r\n\r\n" + body + "\r\n";
        };
        QByteArray package = "MIME-Version: 1.0\r\n" + value("api_key", "test-api-key") +
                             value("report_id", identifier.toUtf8());
        const QList<std::pair<QByteArray, QByteArray>> records{
            {"log_a", "{\"log\":{\"msg\":\"hi\"}}\n"},
            {"metadata", "{\"identity\":{\"api_key\":\"test-api-key\",\"started_at\":1,"
                         "\"session_id\":\"" +
                             identifier.toUtf8() + "\"}}\n"},
            {"signal", "{\"signal\":{\"number\":11}}\n"}};
        for (const auto &[name, record] : records)
            package += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name +
                       "\"; filename=\"" + name +
                       ".mshrecord.gz\"\r\nContent-Type: application/octet-stream\r\n\r\n" +
                       twCrashTestGzip(record) + "\r\n";
        return package + "--" + boundary + "--\r\n";
    }

    // Several instances started together, each running for the time given.
    void launchTogether(int instances, int milliseconds)
    {
        std::vector<std::unique_ptr<QProcess>> processes;
        for (int i = 0; i < instances; ++i) {
            processes.push_back(std::make_unique<QProcess>());
            startHelper(*processes.back(),
                        {QStringLiteral("launch"), QString::number(milliseconds)});
        }
        for (const auto &process : processes) {
            EXPECT_TRUE(process->waitForFinished(30000));
            EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().constData();
        }
    }

    // How often each report (by its id, or a package without one by its boundary) was received.
    QMap<QString, int> receipts() const
    {
        QMap<QString, int> times;
        for (const TWLoopbackHttpServer::Request &request : uploads()) {
            const QByteArray boundary = twUploadBoundary(request.header("Content-Type"));
            QString identifier = QString::fromUtf8(boundary);
            for (const TWUploadPart &part : twUploadParts(request.body, boundary)) {
                if (part.name == QStringLiteral("report_id"))
                    identifier = QString::fromUtf8(part.body);
            }
            ++times[identifier];
        }
        return times;
    }

    static QString newBoundary()
    {
        return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    }

    // The names of an upload's parts (the form field, or the file name when it has one).
    static QStringList partNames(const TWLoopbackHttpServer::Request &request)
    {
        QStringList names;
        const QByteArray boundary = twUploadBoundary(request.header("Content-Type"));
        for (const TWUploadPart &part : twUploadParts(request.body, boundary))
            names.append(part.fileName.isEmpty() ? part.name : part.fileName);
        return names;
    }

    QList<TWLoopbackHttpServer::Request> uploads() const
    {
        QList<TWLoopbackHttpServer::Request> found;
        for (const TWLoopbackHttpServer::Request &request : server->requests()) {
            if (request.path == reportsPath)
                found.append(request);
        }
        return found;
    }

    // The request as the service expects it; answers its boundary.
    static QByteArray checkUpload(const TWLoopbackHttpServer::Request &request)
    {
        EXPECT_EQ(request.method, QByteArray("POST"));
        EXPECT_EQ(request.header("User-Agent"), QByteArray("Mishap Mac SDK/3.0.10"));
        EXPECT_EQ(request.header("Accept"), QByteArray("application/json"));
        EXPECT_EQ(request.header("Accept-Charset"), QByteArray("utf-8"));
        EXPECT_FALSE(request.header("Accept-Language").isEmpty());
        EXPECT_EQ(request.header("Content-Language"), request.header("Accept-Language"));
        EXPECT_EQ(request.header("X-Mishap-Developer-Token"),
                  QByteArray("3e9a1c7b5d2f80e4a6c1b9d3f7e2a05c8b4d6e1f"));
        EXPECT_EQ(request.header("X-Mishap-API-Client-Id"), QByteArray("com.mishap.mac"));
        EXPECT_EQ(request.header("X-Mishap-API-Client-Display-Version"), QByteArray("3.0.10"));
        EXPECT_EQ(request.header("X-Mishap-API-Client-Build-Version"), QByteArray("56"));
        EXPECT_EQ(request.header("X-Mishap-API-Key"), QByteArray("helper-api-key"));
        EXPECT_EQ(request.header("Content-Length"), QByteArray::number(request.body.size()));
        const QByteArray boundary = twUploadBoundary(request.header("Content-Type"));
        const QList<TWUploadPart> parts = twUploadParts(request.body, boundary);
        EXPECT_GE(parts.size(), 4);
        if (parts.size() < 4)
            return boundary;
        EXPECT_EQ(parts[0].name, QStringLiteral("api_key"));
        EXPECT_EQ(parts[0].body, QByteArray("helper-api-key"));
        EXPECT_EQ(parts[1].name, QStringLiteral("report_id"));
        EXPECT_EQ(parts[1].body.size(), 32);
        bool metadata = false;
        bool symbolicated = false;
        for (const TWUploadPart &part : parts) {
            metadata = metadata || part.name == QStringLiteral("metadata");
            if (part.fileName == QStringLiteral("signal.mshrecord.symbolicated.gz")) {
                const QByteArray record = twCrashTestGunzip(part.body);
                const QJsonObject first =
                    QJsonDocument::fromJson(record.split('\n').value(0)).object();
                const QJsonArray crashed = first.value("threads").toArray().at(0).toArray();
                for (const QJsonValue &frame : crashed) {
                    if (frame.toObject().value("symbol").toString().contains(
                            QStringLiteral("Mishap::crash")))
                        symbolicated = true;
                }
            }
        }
        EXPECT_TRUE(metadata);
        EXPECT_TRUE(symbolicated) << "the crashing frame is not named in the upload";
        return boundary;
    }
};

TEST_F(CrashReportingEndToEnd, ACrashBeforeTheFirstTurnIsSentBeforeTheNextStartReturns)
{
    crash(QStringLiteral("launch-crash-early"));
    EXPECT_TRUE(QFileInfo::exists(root() + QStringLiteral("/launchmarker")));

    const qint64 startedAt = launch(1500);
    const QList<TWLoopbackHttpServer::Request> sent = uploads();
    ASSERT_EQ(sent.size(), 1);
    checkUpload(sent.first());
    EXPECT_GE(uploadArrivedAt.load(), 0);
    EXPECT_LT(uploadArrivedAt.load(), startedAt) << "the urgent upload came after the start";
    EXPECT_TRUE(entries(QStringLiteral("prepared")).isEmpty());
    EXPECT_TRUE(entries(QStringLiteral("processing")).isEmpty());
    // Only the folder of the launch that just ran is left, and its first turn took the marker.
    EXPECT_EQ(entries(QStringLiteral("active")).size(), 1);
    EXPECT_FALSE(QFileInfo::exists(root() + QStringLiteral("/launchmarker")));
}

TEST_F(CrashReportingEndToEnd, ACrashAfterTheFirstTurnIsSentFromTheWorkQueue)
{
    crash(QStringLiteral("launch-crash-late"));
    EXPECT_FALSE(QFileInfo::exists(root() + QStringLiteral("/launchmarker")));

    launch(3000);
    const QList<TWLoopbackHttpServer::Request> sent = uploads();
    ASSERT_EQ(sent.size(), 1);
    checkUpload(sent.first());
    EXPECT_TRUE(entries(QStringLiteral("prepared")).isEmpty());
    EXPECT_TRUE(entries(QStringLiteral("processing")).isEmpty());
}

TEST_F(CrashReportingEndToEnd, AFailedUploadStaysAndTheNextLaunchSendsIt)
{
    crash(QStringLiteral("launch-crash-early"));
    uploadStatus = 500;
    launch(1000);
    ASSERT_EQ(uploads().size(), 1);
    const QStringList waiting = entries(QStringLiteral("prepared"));
    ASSERT_EQ(waiting.size(), 1);
    // The package's name is its boundary, so it can be sent again with nothing else.
    EXPECT_EQ(checkUpload(uploads().first()),
              QFileInfo(waiting.first()).completeBaseName().toUtf8());

    uploadStatus = 200;
    launch(3000);
    const QList<TWLoopbackHttpServer::Request> sent = uploads();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(checkUpload(sent.last()), QFileInfo(waiting.first()).completeBaseName().toUtf8());
    EXPECT_EQ(sent.last().body, sent.first().body);
    EXPECT_TRUE(entries(QStringLiteral("prepared")).isEmpty());
}

TEST_F(CrashReportingEndToEnd, ASecondProcessLeavesTheRunningProcesssFolderAlone)
{
    // The first instance runs on and crashes only after a second one started and ended.
    QProcess first;
    startHelper(first, {QStringLiteral("launch-crash-on-input")});
    QByteArray output;
    while (!output.contains("started\n") && first.waitForReadyRead(30000))
        output += first.readAllStandardOutput();
    ASSERT_TRUE(output.contains("started\n"));
    launch(1000);
    first.write("crash\n");
    first.closeWriteChannel();
    ASSERT_TRUE(first.waitForFinished(30000));
    EXPECT_EQ(first.exitStatus(), QProcess::CrashExit);

    int records = 0;
    for (const QString &folder : entries(QStringLiteral("active"))) {
        records += QFileInfo::exists(root() + QStringLiteral("/active/") + folder +
                                     QStringLiteral("/signal.mshrecord"))
                       ? 1
                       : 0;
    }
    EXPECT_EQ(records, 1) << "the crash of the first process left no record";

    launch(3000);
    const QList<TWLoopbackHttpServer::Request> sent = uploads();
    ASSERT_EQ(sent.size(), 1);
    checkUpload(sent.first());
}

TEST_F(CrashReportingEndToEnd, AnUncaughtExceptionAndTheAbortAfterItAreOneReportSentOnce)
{
    crash(QStringLiteral("launch-throw-late"));
    const QString folder =
        root() + QStringLiteral("/active/") + entries(QStringLiteral("active")).value(0);
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/exception.mshrecord")));
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/signal.mshrecord")));

    launch(3000);
    const QList<TWLoopbackHttpServer::Request> sent = uploads();
    ASSERT_EQ(sent.size(), 1);
    const QStringList parts = partNames(sent.first());
    EXPECT_EQ(parts.count(QStringLiteral("report_id")), 1);
    for (const QString &file : {QStringLiteral("exception.mshrecord.gz"),
                                QStringLiteral("exception.mshrecord.symbolicated.gz"),
                                QStringLiteral("signal.mshrecord.gz"),
                                QStringLiteral("signal.mshrecord.symbolicated.gz")})
        EXPECT_EQ(parts.count(file), 1) << file.toStdString();
    EXPECT_TRUE(entries(QStringLiteral("processing")).isEmpty());
}

TEST_F(CrashReportingEndToEnd, TwoInstancesStartingTogetherSendEachWaitingReportOnce)
{
    QStringList boundaries;
    QStringList identifiers;
    QDir().mkpath(root() + QStringLiteral("/prepared"));
    for (int i = 0; i < 4; ++i) {
        const QString boundary = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        twCrashTestWriteFile(root() + QStringLiteral("/prepared/") + boundary +
                                 QStringLiteral(".multipartmime"),
                             emptyPackage(boundary.toUtf8()));
        boundaries.append(boundary);
        for (const char *stage : {"/processing", "/active"}) {
            identifiers.append(QUuid::createUuid().toString(QUuid::Id128));
            twMakeEarlierReport(root() + QLatin1String(stage), identifiers.last());
        }
    }

    // A service that takes its time, as a real one over the network does: both instances are
    // at work on the waiting reports at once.
    uploadDelayMs = 400;
    launchTogether(2, 3000);
    QMap<QString, int> sentTimes = receipts();
    for (const QString &name : boundaries + identifiers)
        EXPECT_EQ(sentTimes.take(name), 1) << name.toStdString();
    EXPECT_TRUE(sentTimes.isEmpty()) << "sent besides: " << sentTimes.firstKey().toStdString();
    EXPECT_TRUE(entries(QStringLiteral("prepared")).isEmpty());
    EXPECT_TRUE(entries(QStringLiteral("processing")).isEmpty());
}

TEST_F(CrashReportingEndToEnd, AReportWhoseProcessingWasCutIsProcessedAgainAndSentWhole)
{
    // The launch that took the report into processing died while symbolicating: the record it
    // was writing is cut short.
    crash(QStringLiteral("launch-crash-late"));
    const QString name = entries(QStringLiteral("active")).value(0);
    QDir().mkpath(root() + QStringLiteral("/processing"));
    ASSERT_TRUE(QDir().rename(root() + QStringLiteral("/active/") + name,
                              root() + QStringLiteral("/processing/") + name));
    const QString folder = root() + QStringLiteral("/processing/") + name;
    twCrashTestWriteFile(folder + QStringLiteral("/signal.mshrecord.symbolicated"),
                         "{\"threads\":[[{\"symbol\":");
    twCrashTestWriteFile(folder + QStringLiteral("/.signal.mshrecord.symbolicated.partial"),
                         "{\"threads\":[[{\"symbol\":");

    launch(3000);
    const QList<TWLoopbackHttpServer::Request> sent = uploads();
    ASSERT_EQ(sent.size(), 1);
    checkUpload(sent.first());
    EXPECT_EQ(partNames(sent.first()).filter(QStringLiteral("partial")), QStringList());
    EXPECT_TRUE(entries(QStringLiteral("processing")).isEmpty());
}

TEST_F(CrashReportingEndToEnd, OnlyPackagesTheComponentWroteAreSentFromPrepared)
{
    const QString prepared = root() + QStringLiteral("/prepared/");
    QDir().mkpath(prepared);
    const QString secret = temporary.filePath(QStringLiteral("private.txt"));
    twCrashTestWriteFile(secret, "private words");
    const QString boundary = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const QString package = prepared + boundary + QStringLiteral(".multipartmime");
    twCrashTestWriteFile(package, emptyPackage(boundary.toUtf8()));
    const QString link = prepared + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
                         QStringLiteral(".multipartmime");
    ASSERT_TRUE(QFile::link(secret, link));
    twCrashTestWriteFile(prepared + QStringLiteral("notes.multipartmime"), "private words");

    launch(3000);
    const QList<TWLoopbackHttpServer::Request> sent = uploads();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(twUploadBoundary(sent.first().header("Content-Type")), boundary.toUtf8());
    EXPECT_TRUE(entries(QStringLiteral("prepared")).isEmpty());
    EXPECT_TRUE(QFileInfo::exists(secret));
}

// A launch killed at each step from a whole package to the removal of its folder: the next
// launch sends the report once, whole, and leaves nothing behind in either folder.
class CrashReportingKilledWhilePackaging : public CrashReportingEndToEnd,
                                           public ::testing::WithParamInterface<const char *>
{
};

TEST_P(CrashReportingKilledWhilePackaging, TheReportIsSentOnceWholeAtTheNextLaunch)
{
    crash(QStringLiteral("launch-crash-late"));
    launchKilledAt(GetParam());
    EXPECT_TRUE(uploads().isEmpty());

    launch(3000);
    launch(1500);
    const QStringList files = sentOnce();
    EXPECT_TRUE(files.contains(QStringLiteral("signal.mshrecord.gz")));
    EXPECT_TRUE(files.contains(QStringLiteral("metadata.mshrecord.gz")));
}

INSTANTIATE_TEST_SUITE_P(AtEachStep, CrashReportingKilledWhilePackaging,
                         ::testing::Values("package-written", "folder-claimed", "package-named"));

// A report whose processing fails on a write (not a kill) is sent at once without its
// symbolicated records, and said so in the log: never held back for a later launch. A link in the
// marker's place is only removed.
class CrashReportingProcessingFails
    : public CrashReportingEndToEnd,
      public ::testing::WithParamInterface<std::pair<const char *, const char *>>
{
};

TEST_P(CrashReportingProcessingFails, TheReportIsSentOnceAtTheFirstLaunch)
{
    crash(QStringLiteral("launch-crash-late"));
    const QString folder =
        root() + QStringLiteral("/active/") + entries(QStringLiteral("active")).value(0);
    const auto [name, kind] = GetParam();
    const QString taken = folder + QLatin1Char('/') + QLatin1String(name);
    if (QByteArray(kind) == "folder") {
        ASSERT_TRUE(QDir().mkpath(taken + QStringLiteral("/inside")));
    } else {
        ASSERT_TRUE(QDir().mkpath(temporary.filePath(QStringLiteral("elsewhere"))));
        ASSERT_TRUE(QFile::link(temporary.filePath(QStringLiteral("elsewhere")), taken));
    }

    launch(3000);
    const QByteArray log = launchLog;
    launch(1500);
    const QStringList files = sentOnce();
    EXPECT_TRUE(files.contains(QStringLiteral("signal.mshrecord.gz")));
    const bool fails = QByteArray(kind) == "folder";
    EXPECT_EQ(log.contains("sent without symbolication"), fails) << log.constData();
    EXPECT_EQ(files.contains(QStringLiteral("signal.mshrecord.symbolicated.gz")), !fails);
}

INSTANTIATE_TEST_SUITE_P(
    NameTaken, CrashReportingProcessingFails,
    ::testing::Values(std::pair{".processed", "folder"}, std::pair{".processed", "link"},
                      std::pair{".signal.mshrecord.symbolicated.partial", "folder"},
                      std::pair{"signal.mshrecord.symbolicated", "folder"}));

TEST_F(CrashReportingEndToEnd, AFileWithASecondNameIsNeitherSentNorWrittenThrough)
{
    // A private file given a package's name in prepared, and the processed marker's name in a
    // report folder, by hard links.
    const QString secret = temporary.filePath(QStringLiteral("private.txt"));
    twCrashTestWriteFile(secret, "private words");
    crash(QStringLiteral("launch-crash-late"));
    const QString folder =
        root() + QStringLiteral("/active/") + entries(QStringLiteral("active")).value(0);
    const QString prepared = root() + QStringLiteral("/prepared/");
    QDir().mkpath(prepared);
    for (const QString &name :
         {folder + QStringLiteral("/.processed"),
          prepared + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
              QStringLiteral(".multipartmime")})
        ASSERT_EQ(
            ::link(QFile::encodeName(secret).constData(), QFile::encodeName(name).constData()), 0);

    launch(3000);
    EXPECT_TRUE(sentOnce().contains(QStringLiteral("signal.mshrecord.gz")));
    EXPECT_EQ(twCrashTestReadFile(secret), QByteArray("private words"));
}

TEST_F(CrashReportingEndToEnd, AFileLargerThanAnyPackageIsRemovedUnsent)
{
    const QString prepared = root() + QStringLiteral("/prepared/");
    QDir().mkpath(prepared);
    QFile huge(prepared + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
               QStringLiteral(".multipartmime"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    // Sparse: it takes no room, and nothing of it may be read.
    ASSERT_TRUE(huge.resize(MSHPackageReportOperation::maximumPackageSize + 1));
    huge.close();

    launch(3000);
    EXPECT_TRUE(uploads().isEmpty());
    EXPECT_EQ(allEntries(QStringLiteral("prepared")), QStringList());
    EXPECT_TRUE(launchLog.contains("larger than any package")) << launchLog.constData();
}

// What earlier launches and others left: claims that are links (to a file, to a folder) or a
// second name of a file, a folder holding no report, an unreadable report and one past the age
// bound, the hidden folder of a launch cut off while making its own, a large claimed folder.
TEST_F(CrashReportingEndToEnd, LeftoversChangeNothingOutsidePushNoReportOutAndHoldNoStart)
{
    unprivileged = true;
    const QString file = temporary.filePath(QStringLiteral("private.txt"));
    const QString shared = temporary.filePath(QStringLiteral("shared"));
    twCrashTestWriteFile(file, "private words");
    ASSERT_TRUE(QDir().mkpath(shared));
    twCrashTestChmod(file, 0444);
    twCrashTestChmod(shared, 01777);
    const QString active = root() + QStringLiteral("/active/");
    const QString processing = root() + QStringLiteral("/processing/");
    ASSERT_TRUE(QDir().mkpath(processing) && QDir().mkpath(active));
    const auto claim = [](const QString &stage) {
        return stage + QLatin1Char('.') + newBoundary() + QStringLiteral(".packaged");
    };
    const QByteArray native = QFile::encodeName(file);
    ASSERT_EQ(::symlink(native.constData(), QFile::encodeName(claim(processing)).constData()), 0);
    ASSERT_EQ(::link(native.constData(), QFile::encodeName(claim(processing)).constData()), 0);
    ASSERT_TRUE(QFile::link(shared, claim(active)));

    QStringList identifiers;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (int i = 0; i < 31; ++i) {
        identifiers.append(QUuid::createUuid().toString(QUuid::Id128));
        const QString path = twMakeEarlierReport(active, identifiers.last());
        // The newest cannot be read; the oldest is past the age bound (and unreadable too).
        const qint64 time = i == 0 ? now - 40LL * 24 * 3600 : now - 3600 + i * 60;
        const ::utimbuf times{time, time};
        ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &times), 0);
        if (i == 0 || i == 30)
            twCrashTestChmod(path, 0);
    }
    identifiers.removeFirst();
    ASSERT_TRUE(QDir().mkpath(active + QUuid::createUuid().toString(QUuid::Id128)));
    ASSERT_TRUE(
        QDir().mkpath(active + QLatin1Char('.') + QUuid::createUuid().toString(QUuid::Id128)));
    const QString large = claim(processing);
    ASSERT_TRUE(QDir().mkpath(large));
    for (int i = 0; i < 20000; ++i)
        ASSERT_TRUE(
            QFile(large + QLatin1Char('/') + QString::number(i)).open(QIODevice::WriteOnly));

    bool largeThereWhenStarted = false;
    launch(6000, [&] { largeThereWhenStarted = QFileInfo::exists(large); });
    EXPECT_TRUE(largeThereWhenStarted) << "the start waited for the removal";
    QMap<QString, int> expected;
    for (const QString &identifier : identifiers)
        expected.insert(identifier, 1);
    EXPECT_EQ(receipts(), expected);
    EXPECT_EQ(entries(QStringLiteral("active")).size(), 1) << "only the launch's own folder";
    for (const char *stage : {"active", "processing"})
        EXPECT_EQ(allEntries(QLatin1String(stage)).filter(QRegularExpression("^\\.")),
                  QStringList());
    struct stat status {
    };
    ASSERT_EQ(::stat(native.constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0444u);
    EXPECT_EQ(status.st_nlink, 1u);
    ASSERT_EQ(::stat(QFile::encodeName(shared).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 01777u);
    EXPECT_EQ(twCrashTestReadFile(file), QByteArray("private words"));
}

// A full disk or quota while symbolicating passes: the report waits, and once there is room it
// goes out once, with its frames named.
class CrashReportingNoRoom : public CrashReportingEndToEnd,
                             public ::testing::WithParamInterface<int>
{
};

TEST_P(CrashReportingNoRoom, TheReportWaitsAndIsSentOnceWithItsNames)
{
    crash(QStringLiteral("launch-crash-late"));
    extraEnvironment.insert(QStringLiteral("TW_CRASH_HELPER_NO_ROOM"), QString::number(GetParam()));
    launch(2000);
    extraEnvironment.clear();
    EXPECT_TRUE(uploads().isEmpty());
    EXPECT_TRUE(launchLog.contains("No room to process report")) << launchLog.constData();

    launch(3000);
    launch(1500);
    ASSERT_EQ(uploads().size(), 1);
    checkUpload(uploads().first());
    sentOnce();
}

// The same while reports set aside in a folder that takes no rename are copied out: none is
// taken for unreadable nor its folder marked taken; once there is room each goes out once.
TEST_P(CrashReportingNoRoom, ReportsSetAsideWaitAndAreSentOnce)
{
    unprivileged = true;
    for (const char *stage : {"/active", "/processing", "/prepared"})
        ASSERT_TRUE(QDir().mkpath(root() + QLatin1String(stage)));
    const QString aside =
        root() + QStringLiteral("/.active.set-aside-") + QUuid::createUuid().toString(QUuid::Id128);
    QMap<QString, int> expected;
    for (int i = 0; i < 3; ++i) {
        const QString identifier = QUuid::createUuid().toString(QUuid::Id128);
        twMakeEarlierReport(aside, identifier);
        expected.insert(identifier, 1);
    }
    twCrashTestChmod(aside, 0555);
    extraEnvironment.insert(QStringLiteral("TW_CRASH_HELPER_NO_ROOM"), QString::number(GetParam()));
    extraEnvironment.insert(QStringLiteral("TW_CRASH_HELPER_NO_ROOM_IN"),
                            QStringLiteral("/.taken-"));
    launch(1500);
    extraEnvironment.clear();
    EXPECT_TRUE(uploads().isEmpty());
    EXPECT_TRUE(QFileInfo(aside).isDir()) << launchLog.constData();
    EXPECT_FALSE(launchLog.contains("unreadable")) << launchLog.constData();

    launch(3000);
    launch(1000);
    EXPECT_EQ(receipts(), expected) << launchLog.constData();
    EXPECT_FALSE(QFileInfo::exists(aside)) << launchLog.constData();
}

INSTANTIATE_TEST_SUITE_P(FullDisk, CrashReportingNoRoom, ::testing::Values(ENOSPC, EDQUOT));

// A stage folder that takes no rename or removal: each report in it is sent once, however many
// launches find it, and goes once the folder takes changes again. A report waiting in a writable
// folder while prepared takes no package is sent once too. A report in a folder set aside that
// its stage takes no entry from yet stays (its copy too) until the stage takes it, and is then
// sent once.
struct ReadOnlyStage {
    const char *readOnly; // one stage or several, space-separated
    const char *holder;
    bool setAside = false; // the report lies in a folder set aside in the holder's place
};

void PrintTo(const ReadOnlyStage &stage, std::ostream *out)
{
    *out << stage.readOnly << " read-only, report in " << stage.holder
         << (stage.setAside ? " set aside" : "");
}

class CrashReportingStageReadOnly : public CrashReportingEndToEnd,
                                    public ::testing::WithParamInterface<ReadOnlyStage>
{
};

TEST_P(CrashReportingStageReadOnly, EachReportIsSentOnce)
{
    unprivileged = true;
    for (const char *stage : {"/active", "/processing", "/prepared"})
        ASSERT_TRUE(QDir().mkpath(root() + QLatin1String(stage)));
    const QStringList readOnly = QString::fromLatin1(GetParam().readOnly).split(QLatin1Char(' '));
    const QString holderName =
        GetParam().setAside
            ? QStringLiteral(".%1.set-aside-%2")
                  .arg(QLatin1String(GetParam().holder), QUuid::createUuid().toString(QUuid::Id128))
            : QLatin1String(GetParam().holder);
    const QString holder = root() + QLatin1Char('/') + holderName;
    ASSERT_TRUE(QDir().mkpath(holder));
    QString sent = newBoundary();
    QString name = sent + QStringLiteral(".multipartmime");
    if (QByteArray(GetParam().holder) == "prepared") {
        twCrashTestWriteFile(holder + QLatin1Char('/') + name, emptyPackage(sent.toUtf8()));
    } else {
        sent = name = QUuid::createUuid().toString(QUuid::Id128);
        twMakeEarlierReport(holder, sent);
    }
    for (const QString &stage : readOnly)
        twCrashTestChmod(root() + QLatin1Char('/') + stage, 0555);
    launch(3000);
    launch(1500);
    if (GetParam().setAside) {
        EXPECT_EQ(receipts(), (QMap<QString, int>())) << launchLog.constData();
        EXPECT_TRUE(QFileInfo::exists(holder + QLatin1Char('/') + name)) << launchLog.constData();
    } else {
        EXPECT_EQ(receipts(), (QMap<QString, int>{{sent, 1}}));
    }

    for (const QString &stage : readOnly)
        twCrashTestChmod(root() + QLatin1Char('/') + stage, 0755);
    launch(2500);
    launch(1000);
    EXPECT_EQ(receipts(), (QMap<QString, int>{{sent, 1}})) << launchLog.constData();
    EXPECT_FALSE(allEntries(holderName).contains(name));
    EXPECT_EQ(allEntries(QStringLiteral("outgoing")), QStringList());
    // Nothing waits any more: neither the folder set aside nor its copies.
    for (const QString &entry : allEntries(QString()))
        EXPECT_FALSE(entry.contains(QStringLiteral("set-aside")) || entry.startsWith(".taken"))
            << qPrintable(entry);
}

INSTANTIATE_TEST_SUITE_P(Stages, CrashReportingStageReadOnly,
                         ::testing::Values(ReadOnlyStage{"active", "active"},
                                           ReadOnlyStage{"processing", "processing"},
                                           ReadOnlyStage{"prepared", "prepared"},
                                           ReadOnlyStage{"prepared", "active"},
                                           ReadOnlyStage{"prepared", "processing"},
                                           ReadOnlyStage{"active prepared", "active"},
                                           ReadOnlyStage{"active", "active", true},
                                           ReadOnlyStage{"prepared", "prepared", true}));

} // namespace

namespace
{

// Every entry under the folder (hidden ones too, links as links), relative to it.
QStringList treeOf(const QString &folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(QDir(folder).relativeFilePath(it.next()));
    found.sort();
    return found;
}

// A folder as a home or a project looks, holding also what the report folders would hold:
// more entries than the bound keeps, an old one, packages (whole and cut off), claims, the
// hidden folder of a cut-off launch and a report.
void fillHomeLikeFolder(const QString &folder)
{
    const auto uuid = [] { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(); };
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/project/src")));
    twCrashTestWriteFile(folder + QStringLiteral("/project/src/main.c"), "int main;");
    twCrashTestWriteFile(folder + QStringLiteral("/.bashrc"), "alias ll=ls");
    for (int i = 0; i < 33; ++i)
        twCrashTestWriteFile(folder + QStringLiteral("/document-%1.txt").arg(i), "words");
    const QString old = folder + QStringLiteral("/old.txt");
    twCrashTestWriteFile(old, "kept for years");
    const qint64 time = QDateTime::currentSecsSinceEpoch() - 400LL * 24 * 3600;
    const ::utimbuf times{time, time};
    ASSERT_EQ(::utime(QFile::encodeName(old).constData(), &times), 0);
    twCrashTestWriteFile(folder + QLatin1Char('/') + uuid() + QStringLiteral(".multipartmime"),
                         "MIME-Version: 1.0\r\n");
    twCrashTestWriteFile(folder + QStringLiteral("/.") + uuid() + QStringLiteral(".multipartmime"),
                         "cut");
    twCrashTestWriteFile(folder + QStringLiteral("/notes.multipartmime"), "notes");
    ASSERT_TRUE(
        QDir().mkpath(folder + QStringLiteral("/.") + uuid() + QStringLiteral(".packaged")));
    const QString hidden =
        folder + QStringLiteral("/.") + QUuid::createUuid().toString(QUuid::Id128);
    ASSERT_TRUE(QDir().mkpath(hidden));
    twCrashTestWriteFile(hidden + QStringLiteral("/kept.txt"), "kept");
    twMakeEarlierReport(folder, QUuid::createUuid().toString(QUuid::Id128));
}

} // namespace

// A line of the record of settled reports names a stage folder's own child or nothing: lines
// that climb out of the tree or into a link are dropped, and nothing is removed for them.
TEST_F(CrashReportingEndToEnd, ASettledLineNamingAnythingButAChildOfAStageRemovesNothing)
{
    const QString victim = temporary.filePath(QStringLiteral("victim-dir"));
    ASSERT_TRUE(QDir().mkpath(victim + QStringLiteral("/inner")));
    twCrashTestWriteFile(victim + QStringLiteral("/letter.txt"), "dear");
    twCrashTestWriteFile(victim + QStringLiteral("/inner/note.txt"), "note");
    const QString file = temporary.filePath(QStringLiteral("victim.multipartmime"));
    twCrashTestWriteFile(file, "private words");
    for (const char *stage : {"/active", "/processing", "/prepared"})
        ASSERT_TRUE(QDir().mkpath(root() + QLatin1String(stage)));
    ASSERT_TRUE(QFile::link(victim, root() + QStringLiteral("/processing/lnk")));
    const QStringList before = treeOf(victim);
    const QString boundary = newBoundary();
    twCrashTestWriteFile(root() + QStringLiteral("/settled"),
                         "folder ../../../../victim-dir " + boundary.toUtf8() +
                             "\npackage ../../../../../victim\n"
                             "folder processing/lnk/letter.txt " +
                             boundary.toUtf8() + "\nfolder processing/.. " + boundary.toUtf8() +
                             "\nfolder processing/lnk ../../../../victim-dir\n"
                             "folder /tmp " +
                             boundary.toUtf8() + "\n");

    launch(1500);
    EXPECT_EQ(treeOf(victim), before);
    EXPECT_EQ(twCrashTestReadFile(file), QByteArray("private words"));
    EXPECT_TRUE(launchLog.contains("Dropping")) << launchLog.constData();
    EXPECT_EQ(twCrashTestReadFile(root() + QStringLiteral("/settled")), QByteArray());
}

// A stage folder that is a link (to a folder of files) or a folder of another user's: nothing in
// it is listed or removed; a link is removed as a link, a folder of another user's is set aside
// whole beside it, and the component makes its own folder, so that reporting goes on.
struct ForeignStage {
    const char *stage;
    bool link;
};

void PrintTo(const ForeignStage &stage, std::ostream *out)
{
    *out << stage.stage << (stage.link ? " is a link" : " is another user's");
}

class CrashReportingForeignStage : public CrashReportingEndToEnd,
                                   public ::testing::WithParamInterface<ForeignStage>
{
};

TEST_P(CrashReportingForeignStage, EveryFileInItIsStillThereAfterAStart)
{
    const QString stage = root() + QLatin1Char('/') + QLatin1String(GetParam().stage);
    ASSERT_TRUE(QDir().mkpath(root()));
    QString victim = temporary.filePath(QStringLiteral("home"));
    if (GetParam().link) {
        fillHomeLikeFolder(victim);
        ASSERT_TRUE(QFile::link(victim, stage));
    } else {
        if (::geteuid() != 0)
            GTEST_SKIP() << "only root can make a folder of another user's";
        // The stage holds a report the user's run left in it once a run under sudo had made it
        // root's: a report folder, or its package.
        unprivileged = true;
        victim = stage;
        crash(QStringLiteral("launch-crash-early"));
        const QString stageName = QLatin1String(GetParam().stage);
        if (stageName == QStringLiteral("processing")) {
            ASSERT_TRUE(QDir().mkpath(stage));
            const QString report = entries(QStringLiteral("active")).first();
            ASSERT_TRUE(QDir().rename(root() + QStringLiteral("/active/") + report,
                                      stage + QLatin1Char('/') + report));
        } else if (stageName != QStringLiteral("active")) {
            launchKilledAt("package-to-send");
            ASSERT_EQ(entries(QStringLiteral("prepared")).size(), 1);
            if (stageName == QStringLiteral("outgoing")) {
                ASSERT_TRUE(QDir().rename(root() + QStringLiteral("/prepared"), stage));
            }
        }
        fillHomeLikeFolder(victim);
        ASSERT_EQ(::lchown(QFile::encodeName(victim).constData(), 0, 0), 0);
        giveAway = false;
    }
    const QStringList before = treeOf(victim);
    ASSERT_GT(before.size(), 40);

    launch(2000);
    if (!GetParam().link) {
        const QStringList aside =
            QDir(root()).entryList({QLatin1Char('.') + QLatin1String(GetParam().stage) + "*"},
                                   QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
        ASSERT_EQ(aside.size(), 1) << launchLog.constData();
        victim = root() + QLatin1Char('/') + aside.first();
        EXPECT_TRUE(launchLog.contains("aside")) << launchLog.constData();
        // The reports in it are sent, each once, and the log says what was left there.
        EXPECT_TRUE(launchLog.contains("0 left")) << launchLog.constData();
        const QMap<QString, int> sent = receipts();
        EXPECT_FALSE(sent.isEmpty()) << launchLog.constData();
        for (const int times : sent)
            EXPECT_EQ(times, 1);
        launch(1000);
        EXPECT_EQ(receipts(), sent) << launchLog.constData();
    }
    const QStringList after = treeOf(victim);
    for (const QString &entry : before)
        EXPECT_TRUE(after.contains(entry)) << entry.toStdString() << " is gone";
    if (GetParam().link) {
        EXPECT_TRUE(uploads().isEmpty());
    }
    EXPECT_FALSE(QFileInfo(stage).isSymLink());
    // The reports where a link led are not sent, and the log says where they are left.
    if (GetParam().link) {
        EXPECT_TRUE(launchLog.contains(QFile::encodeName(victim))) << launchLog.constData();
    }
    // The launch recorded itself: its own folder in an active folder of its own.
    EXPECT_EQ(QFileInfo(root() + QStringLiteral("/active")).ownerId(),
              unprivileged ? 65534u : ::geteuid());
    EXPECT_EQ(entries(QStringLiteral("active")).size(), 1) << launchLog.constData();
}

INSTANTIATE_TEST_SUITE_P(
    Stages, CrashReportingForeignStage,
    ::testing::Values(ForeignStage{"active", true}, ForeignStage{"processing", true},
                      ForeignStage{"prepared", true}, ForeignStage{"outgoing", true},
                      ForeignStage{"pending", true}, ForeignStage{"active", false},
                      ForeignStage{"processing", false}, ForeignStage{"prepared", false},
                      ForeignStage{"outgoing", false}));

// A link at the structure folder or at any folder above it, down from the cache folder, leads
// nowhere: what it points at (a folder laid out as the tree, with a record of settled reports)
// is left exactly as it was, and the launch makes its own folders and records itself. A link in a
// folder that takes no change stays: the log says so once, with its cause, and reports are off.
struct LinkAbove {
    int level;           // the level made a link, counted up from the structure folder
    bool folderReadOnly; // the folder holding the link takes no change
};

void PrintTo(const LinkAbove &row, std::ostream *out)
{
    *out << "level " << row.level << (row.folderReadOnly ? " in a read-only folder" : "");
}

class CrashReportingLinkAbove : public CrashReportingEndToEnd,
                                public ::testing::WithParamInterface<LinkAbove>
{
};

TEST_P(CrashReportingLinkAbove, NothingWhereItLeadsIsReadMadeOrRemoved)
{
    const LinkAbove &row = GetParam();
    QString level = root();
    QString below;
    for (int up = 0; up < row.level; ++up) {
        below.prepend(QLatin1Char('/') + QFileInfo(level).fileName());
        level = QFileInfo(level).path();
    }
    const QString victim = temporary.filePath(QStringLiteral("victim"));
    for (const char *stage : {"active", "processing", "prepared", "outgoing"})
        fillHomeLikeFolder(victim + below + QLatin1Char('/') + QLatin1String(stage));
    twCrashTestWriteFile(victim + below + QStringLiteral("/settled"), "kept for years\n");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(level).path()));
    ASSERT_TRUE(QFile::link(victim, level));
    const QStringList before = treeOf(victim);
    // Root may change any folder: the start runs as a user the mode stops.
    unprivileged = row.folderReadOnly;
    if (row.folderReadOnly) {
        twCrashTestChmod(QFileInfo(level).path(), 0555);
        // The cause as the C library words it untranslated.
        extraEnvironment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    }

    launch(1500);
    if (row.folderReadOnly)
        twCrashTestChmod(QFileInfo(level).path(), 0755);
    EXPECT_EQ(treeOf(victim), before);
    EXPECT_EQ(twCrashTestReadFile(victim + below + QStringLiteral("/settled")),
              QByteArray("kept for years\n"));
    EXPECT_TRUE(uploads().isEmpty());
    EXPECT_EQ(QFileInfo(level).isSymLink(), row.folderReadOnly);
    if (row.folderReadOnly) {
        EXPECT_EQ(launchLog.count("Unable to remove"), 1) << launchLog.constData();
        EXPECT_FALSE(launchLog.contains("Removing")) << launchLog.constData();
        EXPECT_TRUE(launchLog.contains("crash reports are off (Permission denied)"))
            << launchLog.constData();
    } else {
        EXPECT_EQ(entries(QStringLiteral("active")).size(), 1) << launchLog.constData();
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, CrashReportingLinkAbove,
                         ::testing::Values(LinkAbove{0, false}, LinkAbove{1, false},
                                           LinkAbove{2, false}, LinkAbove{0, true}));

// A folder of root's at a level above the stage folders (a tree a run under sudo left in a user's
// cache, with a report waiting in it): it is set aside whole, the start makes its own folders and
// records itself, and the waiting report is sent once.
class CrashReportingForeignLevel : public CrashReportingEndToEnd,
                                   public ::testing::WithParamInterface<const char *>
{
};

TEST_P(CrashReportingForeignLevel, IsSetAsideAndItsReportIsSentOnce)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can make a folder of another user's";
    unprivileged = true;
    crash(QStringLiteral("launch-crash-early"));
    QString level = root();
    while (QFileInfo(level).fileName() != QLatin1String(GetParam()) &&
           level != temporary.filePath(QStringLiteral("cache")))
        level = QFileInfo(level).path();
    if (QLatin1String(GetParam()) == QLatin1String("io.kitbase.sdk.mac.data"))
        level = temporary.filePath(QStringLiteral("cache/io.kitbase.sdk.mac.data"));
    ASSERT_TRUE(QFileInfo(level).isDir()) << qPrintable(level);
    twCrashTestGiveTo(level, 0);
    giveAway = false;
    const QStringList before = treeOf(level);

    launch(2000);
    const QString parent = QFileInfo(level).path();
    const QStringList aside =
        QDir(parent).entryList({QLatin1Char('.') + QLatin1String(GetParam()) + "*"},
                               QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    ASSERT_EQ(aside.size(), 1) << launchLog.constData();
    EXPECT_EQ(treeOf(parent + QLatin1Char('/') + aside.first()).size(), before.size());
    EXPECT_EQ(QFileInfo(level).ownerId(), 65534u);
    EXPECT_EQ(entries(QStringLiteral("active")).size(), 1) << launchLog.constData();
    launch(1000);
    EXPECT_EQ(receipts().values(), QList<int>{1}) << launchLog.constData();
}

INSTANTIATE_TEST_SUITE_P(Levels, CrashReportingForeignLevel,
                         ::testing::Values("com.mishap.data", "org.tallyworth.crashhelper", "v3",
                                           "io.kitbase.sdk.mac.data"));

// Folders that look like reports but hold no record (an empty record file, a folder by a
// record's name, a link to a record) never push a real report out, are never sent, and go.
TEST_F(CrashReportingEndToEnd, LookAlikeFoldersPushNoReportOutAndAreNeverSent)
{
    const QString active = root() + QStringLiteral("/active/");
    const QString processing = root() + QStringLiteral("/processing/");
    ASSERT_TRUE(QDir().mkpath(active) && QDir().mkpath(processing));
    QMap<QString, int> expected;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const auto age = [](const QString &path, qint64 time) {
        const ::utimbuf times{time, time};
        ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &times), 0);
    };
    for (int i = 0; i < 30; ++i) {
        const QString identifier = QUuid::createUuid().toString(QUuid::Id128);
        expected.insert(identifier, 1);
        age(twMakeEarlierReport(active, identifier), now - 3600 + i * 60);
    }
    const QString record = temporary.filePath(QStringLiteral("record"));
    twCrashTestWriteFile(record, "{\"signal\":{\"number\":11}}\n");
    for (int i = 0; i < 3; ++i) {
        const QString folder = active + QUuid::createUuid().toString(QUuid::Id128);
        ASSERT_TRUE(QDir().mkpath(folder));
        twCrashTestWriteFile(folder + QStringLiteral("/signal.mshrecord"), "");
    }
    const QString withFolder = processing + QUuid::createUuid().toString(QUuid::Id128);
    ASSERT_TRUE(QDir().mkpath(withFolder + QStringLiteral("/signal.mshrecord")));
    const QString withLink = processing + QUuid::createUuid().toString(QUuid::Id128);
    ASSERT_TRUE(QDir().mkpath(withLink));
    ASSERT_TRUE(QFile::link(record, withLink + QStringLiteral("/errors_a.mshrecord")));
    // A link in a report folder's place, to a folder holding a report.
    const QString elsewhere = temporary.filePath(QStringLiteral("elsewhere"));
    const QString linked =
        twMakeEarlierReport(elsewhere, QUuid::createUuid().toString(QUuid::Id128));
    for (const QString &stage : {active, processing})
        ASSERT_TRUE(QFile::link(linked, stage + QUuid::createUuid().toString(QUuid::Id128)));

    launch(6000);
    EXPECT_EQ(receipts(), expected);
    EXPECT_EQ(entries(QStringLiteral("active")).size(), 1) << "only the launch's own folder";
    EXPECT_EQ(allEntries(QStringLiteral("processing")), QStringList());
    EXPECT_TRUE(QFileInfo::exists(record));
    EXPECT_TRUE(QFileInfo::exists(linked + QStringLiteral("/signal.mshrecord")));
}

// Two instances and a prepared folder that takes no removal: one lists the packages, the other
// sends them and records them as sent before the first gets to them; none goes out twice.
TEST_F(CrashReportingEndToEnd, TwoInstancesAndAReadOnlyPreparedSendEachPackageOnce)
{
    unprivileged = true;
    for (const char *stage : {"/active", "/processing", "/prepared"})
        ASSERT_TRUE(QDir().mkpath(root() + QLatin1String(stage)));
    QMap<QString, int> expected;
    for (int i = 0; i < 3; ++i) {
        const QString boundary = newBoundary();
        twCrashTestWriteFile(root() + QStringLiteral("/prepared/") + boundary +
                                 QStringLiteral(".multipartmime"),
                             emptyPackage(boundary.toUtf8()));
        expected.insert(boundary, 1);
    }
    twCrashTestChmod(root() + QStringLiteral("/prepared"), 0555);

    QProcess listed;
    extraEnvironment.insert(QStringLiteral("TW_CRASH_HELPER_WAIT_AT"),
                            QStringLiteral("package-to-send"));
    startHelper(listed, {QStringLiteral("launch"), QStringLiteral("6000")});
    extraEnvironment.clear();
    QByteArray output;
    while (!output.contains("waiting at package-to-send\n") && listed.waitForReadyRead(30000))
        output += listed.readAllStandardOutput();
    ASSERT_TRUE(output.contains("waiting at package-to-send\n")) << output.constData();

    launch(1500);
    EXPECT_EQ(receipts(), expected);
    listed.write("go\n");
    listed.closeWriteChannel();
    ASSERT_TRUE(listed.waitForFinished(30000));
    EXPECT_EQ(listed.exitCode(), 0) << listed.readAllStandardError().constData();
    EXPECT_EQ(receipts(), expected);
    twCrashTestChmod(root() + QStringLiteral("/prepared"), 0755);
}

// A report whose stage and the tree above it take no change: it is sent at the start that finds
// it (nothing can record it), and the log says that it may go again.
TEST_F(CrashReportingEndToEnd, AReportInAReadOnlyTreeIsSentAndTheLogSaysItIsNotRecorded)
{
    unprivileged = true;
    for (const char *stage : {"/active", "/processing", "/prepared"})
        ASSERT_TRUE(QDir().mkpath(root() + QLatin1String(stage)));
    const QString identifier = QUuid::createUuid().toString(QUuid::Id128);
    twMakeEarlierReport(root() + QStringLiteral("/active"), identifier);
    twCrashTestChmod(root() + QStringLiteral("/active"), 0555);
    twCrashTestChmod(root(), 0555);
    launch(3000);
    EXPECT_EQ(receipts(), (QMap<QString, int>{{identifier, 1}}));
    EXPECT_TRUE(launchLog.contains("may be sent again")) << launchLog.constData();
    twCrashTestChmod(root(), 0755);
    twCrashTestChmod(root() + QStringLiteral("/active"), 0755);
}

// A processing folder that takes no new folder: the report is symbolicated where it lies.
// A report folder of the user's that nobody may read is sent from processing as from active.
TEST_F(CrashReportingEndToEnd, AReportIsSymbolicatedWhereItLiesAndAnUnreadableOneIsSent)
{
    unprivileged = true;
    crash(QStringLiteral("launch-crash-late"));
    const QString identifier = QUuid::createUuid().toString(QUuid::Id128);
    twCrashTestChmod(twMakeEarlierReport(root() + QStringLiteral("/processing"), identifier), 0);
    twCrashTestChmod(root() + QStringLiteral("/processing"), 0555);

    launch(3000);
    ASSERT_EQ(uploads().size(), 2);
    int symbolicated = 0;
    for (const TWLoopbackHttpServer::Request &request : uploads()) {
        if (partNames(request).contains(QStringLiteral("signal.mshrecord.symbolicated.gz"))) {
            checkUpload(request);
            ++symbolicated;
        }
    }
    EXPECT_EQ(symbolicated, 1);
    EXPECT_EQ(receipts().value(identifier), 1);
    EXPECT_FALSE(launchLog.contains("(Success)")) << launchLog.constData();
    twCrashTestChmod(root() + QStringLiteral("/processing"), 0755);
}

// Leftovers wait for an urgent report, however many files they hold and however deep they are:
// a claim deeper than any report folder is removed all the same, never through a link.
TEST_F(CrashReportingEndToEnd, LeftoversAreRemovedAfterTheUrgentReportHoweverDeep)
{
    crash(QStringLiteral("launch-crash-early"));
    const QString hidden =
        root() + QStringLiteral("/active/.") + QUuid::createUuid().toString(QUuid::Id128);
    ASSERT_TRUE(QDir().mkpath(hidden));
    for (int i = 0; i < 10; ++i)
        twCrashTestWriteFile(hidden + QLatin1Char('/') + QString::number(i), "x");
    const QString outside = temporary.filePath(QStringLiteral("outside"));
    twCrashTestWriteFile(outside, "kept");
    const QString claim =
        root() + QStringLiteral("/processing/.") + newBoundary() + QStringLiteral(".packaged");
    QString level = claim;
    for (int depth = 0; depth < 40; ++depth) {
        level += QStringLiteral("/d");
        ASSERT_TRUE(QDir().mkpath(level));
        twCrashTestWriteFile(level + QStringLiteral("/f"), "x");
        ASSERT_TRUE(QFile::link(outside, level + QStringLiteral("/l")));
    }
    std::atomic<bool> leftoverAtUpload{false};
    onUpload = [&] { leftoverAtUpload = QFileInfo::exists(hidden); };

    launch(1500);
    ASSERT_EQ(uploads().size(), 1);
    EXPECT_TRUE(leftoverAtUpload.load()) << "the leftover was removed before the urgent report";
    EXPECT_FALSE(QFileInfo::exists(hidden));
    EXPECT_FALSE(QFileInfo::exists(claim)) << launchLog.constData();
    EXPECT_EQ(twCrashTestReadFile(outside), QByteArray("kept"));
}

namespace
{

// A run as root with the user's HOME (sudo keeping it), then the user's own crash and two
// starts: the root run makes nothing in the user's cache (a link there stays a link), nor the
// cache folder itself or any other folder of the user's home when they are missing, and the
// user's crash is recorded and sent once.
enum class RootRunCache { NoTreeYet, TreeIsALink, NoCacheFolderYet };

class CrashReportingRootRunFirst : public CrashReportingEndToEnd,
                                   public ::testing::WithParamInterface<RootRunCache>
{
};

TEST_P(CrashReportingRootRunFirst, TheUsersCrashIsStillRecordedAndSentOnce)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can run as root over another user's cache";
    const bool link = GetParam() == RootRunCache::TreeIsALink;
    const QString home = temporary.filePath(QStringLiteral("home"));
    ASSERT_TRUE(QDir().mkpath(home));
    // Without a cache folder yet, the home leads every folder there: the cache, the data.
    if (GetParam() == RootRunCache::NoCacheFolderYet) {
        cacheFolder = home + QStringLiteral("/.cache");
        extraEnvironment.insert(QStringLiteral("HOME"), home);
        unsetEnvironment = {QStringLiteral("XDG_CACHE_HOME"), QStringLiteral("XDG_DATA_HOME")};
    }
    const QString cache =
        cacheFolder.isEmpty() ? temporary.filePath(QStringLiteral("cache")) : cacheFolder;
    if (GetParam() != RootRunCache::NoCacheFolderYet) {
        ASSERT_TRUE(QDir().mkpath(cache));
    }
    if (link) {
        ASSERT_TRUE(QDir().mkpath(temporary.filePath(QStringLiteral("mine"))));
        ASSERT_TRUE(QFile::link(temporary.filePath(QStringLiteral("mine")),
                                cache + QStringLiteral("/com.mishap.data")));
    }
    twCrashTestGiveAway(temporary.path());
    // Root's own settings and defaults lie elsewhere, unless the home leads them too.
    QTemporaryDir rootsOwn;
    if (GetParam() != RootRunCache::NoCacheFolderYet) {
        extraEnvironment.insert(QStringLiteral("XDG_DATA_HOME"), rootsOwn.filePath("data"));
        extraEnvironment.insert(QStringLiteral("XDG_CONFIG_HOME"), rootsOwn.filePath("config"));
    }
    launch(1000);
    EXPECT_TRUE(launchLog.contains("not this user's")) << launchLog.constData();
    if (GetParam() == RootRunCache::NoCacheFolderYet) {
        EXPECT_FALSE(QFileInfo::exists(cacheFolder)) << launchLog.constData();
        EXPECT_FALSE(QFileInfo::exists(home + QStringLiteral("/.local"))) << launchLog.constData();
    } else {
        const QStringList made = QDir(cache).entryList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::System | QDir::NoDotAndDotDot);
        EXPECT_EQ(made, link ? QStringList{"com.mishap.data"} : QStringList());
        EXPECT_EQ(QFileInfo(cache + QStringLiteral("/com.mishap.data")).isSymLink(), link);
        extraEnvironment.clear();
    }

    unprivileged = true;
    giveAway = false;
    crash(QStringLiteral("launch-crash-early"));
    launch(1500);
    launch(1000);
    ASSERT_EQ(receipts().size(), 1) << launchLog.constData();
    EXPECT_EQ(receipts().value(receipts().firstKey()), 1);
    EXPECT_EQ(QFileInfo(cache).ownerId(), 65534u);
}

INSTANTIATE_TEST_SUITE_P(CacheLevels, CrashReportingRootRunFirst,
                         ::testing::Values(RootRunCache::NoTreeYet, RootRunCache::TreeIsALink,
                                           RootRunCache::NoCacheFolderYet),
                         [](const ::testing::TestParamInfo<RootRunCache> &info) {
                             switch (info.param) {
                             case RootRunCache::NoTreeYet:
                                 return std::string("NoTreeYet");
                             case RootRunCache::TreeIsALink:
                                 return std::string("TreeIsALink");
                             case RootRunCache::NoCacheFolderYet:
                                 break;
                             }
                             return std::string("NoCacheFolderYet");
                         });

// The user's report waits in an active folder a run as root made root's (an earlier build did):
// the user's start sets the folder aside, copies the report out and sends it once.
TEST_F(CrashReportingEndToEnd, AUsersReportInARootOwnedActiveIsSentOnce)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a folder to root";
    unprivileged = true;
    crash(QStringLiteral("launch-crash-early"));
    ASSERT_EQ(::chown(QFile::encodeName(root() + QStringLiteral("/active")).constData(), 0, 0), 0);
    giveAway = false;
    launch(1500);
    EXPECT_TRUE(launchLog.contains("Took 1 report(s)")) << launchLog.constData();
    launch(1000);
    EXPECT_EQ(receipts().values(), QList<int>{1}) << launchLog.constData();
}

// The structure folder is a link for a moment each time a report folder is looked at by its path
// (and back before the next walk down from the cache folder): the waiting report is judged on
// the folder its removal would reach, so it is never taken for none, and it is sent once.
TEST_F(CrashReportingEndToEnd, AStructureFolderThatIsALinkForAMomentLosesNoReport)
{
    crash(QStringLiteral("launch-crash-early"));
    const QString report = entries(QStringLiteral("active")).first();
    const QString decoy = temporary.filePath(QStringLiteral("decoy"));
    for (const char *stage : {"active", "processing", "prepared"})
        ASSERT_TRUE(QDir().mkpath(decoy + QLatin1Char('/') + QLatin1String(stage) + '/' + report));
    extraEnvironment.insert(QStringLiteral("TW_CRASH_HELPER_SWAP"), report);
    extraEnvironment.insert(QStringLiteral("TW_CRASH_HELPER_DECOY"), decoy);
    launch(1500);
    extraEnvironment.clear();
    launch(1000);
    EXPECT_EQ(receipts().values(), QList<int>{1}) << launchLog.constData();
    EXPECT_FALSE(QFileInfo(root() + QStringLiteral(".real")).exists());
}

// A file system mounted (bound) at a level of the tree: nothing in it is read, made or removed.
// At a level above the stages the start goes without reports; at a stage, the reports go through
// a folder of the user's own instead, and a crash is sent once.
class CrashReportingMountedLevel : public CrashReportingEndToEnd,
                                   public ::testing::WithParamInterface<const char *>
{
protected:
    QString mounted;
    void TearDown() override
    {
        if (!mounted.isEmpty())
            QProcess::execute(QStringLiteral("umount"), {mounted});
    }
};

TEST_P(CrashReportingMountedLevel, IsLeftAloneAndReportingGoesOnWhereItCan)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can mount";
    const QString name = QLatin1String(GetParam());
    const bool stage = name == "active" || name == "processing" || name == "prepared";
    mounted = stage ? root() + QLatin1Char('/') + name
                    : (name == "v3" ? root() : QFileInfo(QFileInfo(root()).path()).path());
    const QString victim = temporary.filePath(QStringLiteral("victim"));
    fillHomeLikeFolder(victim);
    ASSERT_TRUE(QDir().mkpath(mounted));
    if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("--bind"), victim, mounted}) !=
        0) {
        mounted.clear();
        GTEST_SKIP() << "no bind mounts here";
    }
    const QStringList before = treeOf(victim);

    launch(1500);
    EXPECT_EQ(treeOf(victim), before) << launchLog.constData();
    EXPECT_TRUE(launchLog.contains("mounted")) << launchLog.constData();
    if (stage) {
        QProcess process;
        startHelper(process, {QStringLiteral("launch-crash-early")});
        ASSERT_TRUE(process.waitForFinished(30000));
        launch(1500);
        launch(1000);
        EXPECT_EQ(receipts().values(), QList<int>{1}) << launchLog.constData();
        EXPECT_EQ(treeOf(victim), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, CrashReportingMountedLevel,
                         ::testing::Values("com.mishap.data", "v3", "active", "processing",
                                           "prepared"));

// The mount at a stage taken away while an instance still works in the folder that stood in for
// it: the next start leaves that folder to it, and the package it is sending goes out once.
class CrashReportingStandInInUse : public CrashReportingMountedLevel
{
};

TEST_P(CrashReportingStandInInUse, IsLeftToItsUserAndEachReportIsSentOnce)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can mount";
    const QString stage = QLatin1String(GetParam());
    for (const char *name : {"/active", "/processing", "/prepared"})
        ASSERT_TRUE(QDir().mkpath(root() + QLatin1String(name)));
    const QString boundary = newBoundary();
    ASSERT_TRUE(QDir().mkpath(root() + QStringLiteral("/prepared.own")));
    twCrashTestWriteFile(root() + QStringLiteral("/prepared.own/") + boundary +
                             QStringLiteral(".multipartmime"),
                         emptyPackage(boundary.toUtf8()));
    const QString victim = temporary.filePath(QStringLiteral("victim"));
    ASSERT_TRUE(QDir().mkpath(victim));
    mounted = root() + QLatin1Char('/') + stage;
    if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("--bind"), victim, mounted}) !=
        0) {
        mounted.clear();
        GTEST_SKIP() << "no bind mounts here";
    }
    // The first instance is sending the package when the mount goes.
    const auto sending = std::make_shared<std::atomic<bool>>(false);
    onUpload = [sending] { sending->store(true); };
    uploadDelayMs = 3000;
    QProcess first;
    startHelper(first, {QStringLiteral("launch"), QStringLiteral("5000")});
    QElapsedTimer waited;
    waited.start();
    while (!sending->load() && waited.elapsed() < 15000)
        first.waitForFinished(20);
    ASSERT_TRUE(sending->load()) << first.readAllStandardError().constData();
    ASSERT_EQ(QProcess::execute(QStringLiteral("umount"), {mounted}), 0);
    mounted.clear();
    uploadDelayMs = 0;
    launch(1500);
    EXPECT_TRUE(launchLog.contains("running process that uses it")) << launchLog.constData();
    EXPECT_TRUE(first.waitForFinished(20000));
    launch(1500);
    EXPECT_EQ(receipts(), (QMap<QString, int>{{boundary, 1}})) << launchLog.constData();
}

INSTANTIATE_TEST_SUITE_P(Stages, CrashReportingStandInInUse, ::testing::Values("prepared"));

// Reports set aside are taken off the start's thread and never waited for: another instance that
// holds the tree's lock (one stopped while it takes them) or a take that is slow leaves the start
// as quick as ever, and each report is taken and sent once all the same.
enum class TakeHeldUp { LockHeldByAnother, TakeSlow };

class CrashReportingTakeNeverHoldsAStart : public CrashReportingEndToEnd,
                                           public ::testing::WithParamInterface<TakeHeldUp>
{
};

TEST_P(CrashReportingTakeNeverHoldsAStart, TheStartGoesOnAndTheReportIsSentOnce)
{
    for (const char *stage : {"/active", "/processing", "/prepared"})
        ASSERT_TRUE(QDir().mkpath(root() + QLatin1String(stage)));
    const QString aside =
        root() + QStringLiteral("/.active.set-aside-") + QUuid::createUuid().toString(QUuid::Id128);
    const QString identifier = QUuid::createUuid().toString(QUuid::Id128);
    twMakeEarlierReport(aside, identifier);
    const bool locked = GetParam() == TakeHeldUp::LockHeldByAnother;
    const int structure =
        ::open(QFile::encodeName(root()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(structure, 0);
    if (locked) {
        ASSERT_EQ(::flock(structure, LOCK_EX), 0);
    } else {
        extraEnvironment.insert(QStringLiteral("TW_CRASH_HELPER_WAIT_AT"),
                                QStringLiteral("take-set-aside"));
    }
    QProcess process;
    startHelper(process, {QStringLiteral("launch"), QStringLiteral("1000")});
    extraEnvironment.clear();
    QByteArray output;
    const QByteArray awaited = locked ? "started\n" : "waiting at take-set-aside\n";
    // Both, in either order: a take on the start's thread would hold "started" back for good.
    while (!(output.contains(awaited) && output.contains("started\n")) &&
           process.waitForReadyRead(10000))
        output += process.readAllStandardOutput();
    EXPECT_TRUE(output.contains("started\n")) << output.constData();
    EXPECT_TRUE(output.contains(awaited)) << output.constData();
    process.write("go\n");
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
    if (locked) {
        EXPECT_TRUE(QFileInfo(aside + QLatin1Char('/') + identifier).isDir());
    }
    ::close(structure);

    launch(1500);
    launch(1000);
    EXPECT_EQ(receipts(), (QMap<QString, int>{{identifier, 1}})) << launchLog.constData();
    EXPECT_FALSE(QFileInfo::exists(aside)) << launchLog.constData();
}

INSTANTIATE_TEST_SUITE_P(HeldUp, CrashReportingTakeNeverHoldsAStart,
                         ::testing::Values(TakeHeldUp::LockHeldByAnother, TakeHeldUp::TakeSlow),
                         [](const ::testing::TestParamInfo<TakeHeldUp> &info) {
                             return std::string(info.param == TakeHeldUp::LockHeldByAnother
                                                    ? "LockHeldByAnother"
                                                    : "TakeSlow");
                         });

// A cache folder named by a relative path or by bytes that are no UTF-8: the crash reports and the
// service's settings share one cache folder, and a report an earlier version left where it took
// the cache folder to be is sent once. The tree itself reached by another name (a relative HOME,
// a relative cache folder in a home reached through a link) is never taken for an earlier one:
// nothing is set aside, and a crash is sent once.
enum class CacheNaming { Relative, NoUtf8, RelativeHome, RelativeCacheInLinkedHome };

class CrashReportingCacheName : public CrashReportingEndToEnd,
                                public ::testing::WithParamInterface<CacheNaming>
{
};

TEST_P(CrashReportingCacheName, ReportsLeftAtTheEarlierPlaceAreSentOnce)
{
    const CacheNaming naming = GetParam();
    const bool relative = naming == CacheNaming::Relative;
    const bool sameTree =
        naming == CacheNaming::RelativeHome || naming == CacheNaming::RelativeCacheInLinkedHome;
    const QString home = temporary.filePath(QStringLiteral("home"));
    if (sameTree) {
        ASSERT_TRUE(QDir().mkpath(home));
        cacheFolder = home + QStringLiteral("/.cache");
        if (naming == CacheNaming::RelativeHome) {
            workingDirectory = temporary.path();
            extraEnvironment.insert(QStringLiteral("HOME"), QStringLiteral("home"));
            unsetEnvironment = {QStringLiteral("XDG_CACHE_HOME")};
        } else {
            ASSERT_TRUE(QFile::link(home, temporary.filePath(QStringLiteral("linked-home"))));
            workingDirectory = home;
            extraEnvironment.insert(QStringLiteral("HOME"),
                                    temporary.filePath(QStringLiteral("linked-home")));
            extraEnvironment.insert(QStringLiteral("XDG_CACHE_HOME"), QStringLiteral(".cache"));
        }
        crash(QStringLiteral("launch-crash-early"));
        launch(1500);
        launch(1000);
        ASSERT_EQ(receipts().size(), 1) << launchLog.constData();
        EXPECT_EQ(receipts().value(receipts().firstKey()), 1);
        QDirIterator it(temporary.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString entry = it.next();
            EXPECT_FALSE(entry.contains(QStringLiteral("set-aside"))) << qPrintable(entry);
        }
        return;
    }
    // Where the earlier version kept its tree: the relative path from the working folder, or the
    // name with U+FFFD for the byte.
    const QString earlier = temporary.filePath(relative ? QStringLiteral("relative-cache")
                                                        : QStringLiteral("cache\uFFFD"));
    extraEnvironment.insert(QStringLiteral("XDG_CACHE_HOME"), earlier);
    {
        QProcess process;
        startHelper(process, {QStringLiteral("launch-crash-early")});
        ASSERT_TRUE(process.waitForFinished(30000));
    }
    ASSERT_EQ(
        QDir(earlier + QStringLiteral("/com.mishap.data/org.tallyworth.crashhelper/v3/active"))
            .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
            .size(),
        1);
    extraEnvironment.clear();
    extraEnvironment.insert(QStringLiteral("HOME"), temporary.filePath(QStringLiteral("home")));
    const QByteArray now = relative ? QFile::encodeName(temporary.filePath("home/.cache"))
                                    : QFile::encodeName(temporary.path()) + "/cache\xff";
    if (relative) {
        workingDirectory = temporary.path();
        extraEnvironment.insert(QStringLiteral("XDG_CACHE_HOME"), QStringLiteral("relative-cache"));
    } else {
        escapedCache = QFile::encodeName(temporary.path()) + "/cache\\377";
    }
    launch(1500);
    launch(1000);
    EXPECT_EQ(receipts().values(), QList<int>{1}) << launchLog.constData();
    struct stat status {
    };
    EXPECT_EQ(::stat(now + "/io.kitbase.sdk.mac.data", &status), 0) << now.constData();
    EXPECT_EQ(::stat(now + "/com.mishap.data/org.tallyworth.crashhelper/v3/active", &status), 0);
}

INSTANTIATE_TEST_SUITE_P(Names, CrashReportingCacheName,
                         ::testing::Values(CacheNaming::Relative, CacheNaming::NoUtf8,
                                           CacheNaming::RelativeHome,
                                           CacheNaming::RelativeCacheInLinkedHome),
                         [](const ::testing::TestParamInfo<CacheNaming> &info) {
                             switch (info.param) {
                             case CacheNaming::Relative:
                                 return std::string("Relative");
                             case CacheNaming::NoUtf8:
                                 return std::string("NoUtf8");
                             case CacheNaming::RelativeHome:
                                 return std::string("RelativeHome");
                             case CacheNaming::RelativeCacheInLinkedHome:
                                 break;
                             }
                             return std::string("RelativeCacheInLinkedHome");
                         });

} // namespace

namespace
{

// What the earlier version left while it took the reports of a folder set aside that takes no
// rename (it copied each report into ".taken-ID/STAGE/NAME" under its own name as it went and
// marked the folder "NAME.taken" once it had tried them all), cut off at each step, or after it
// marked the folder although a copy had found no room or its stage took no entry. Each report and
// package is sent once and whole at the next starts.
enum class EarlierCopy {
    None,             // nothing of the first report's in the record
    RecordOnly,       // ".taken-ID" made, nothing in it
    StageRecord,      // ".taken-ID/STAGE" made, nothing in it
    EmptyCopy,        // the copy's folder made, no file in it yet
    NoCrashRecord,    // cut before the crash record was copied
    EmptyCrashRecord, // cut after the crash record was made, before its bytes
    Whole,            // every file copied
    PartPackage,      // the package copy cut half-way
};

// Whose the folder set aside is.
enum class Holder {
    Own,        // the user's, taking no rename
    Roots,      // root's (a run under sudo made it), which stays
    OtherUsers, // another user's (not root's), left in a shared cache folder
};

// A folder of the same identifier beside it.
enum class SecondFolder {
    None,
    MarkedBefore, // one marked taken before ("….all-taken"), with what it kept
    Unmarked,     // one by the name before the mark, with a report of its own
};

struct EarlierTake {
    const char *name;
    const char *stage; // the stage the folder set aside was
    EarlierCopy copy;
    bool marked; // the folder carries the earlier version's mark
    int movedIn; // how many of the copies already lie in the stage of ours
    const char *earlierDecided;
    Holder holder = Holder::Own;
    // The first report moved in was packaged: its package (with its identifier inside) lies in
    // prepared and its folder is gone from the stages.
    bool packaged = false;
    SecondFolder second = SecondFolder::None;
};

void PrintTo(const EarlierTake &row, std::ostream *out)
{
    *out << row.name << " (the earlier version: " << row.earlierDecided << ")";
}

class CrashReportingEarlierTake : public CrashReportingEndToEnd,
                                  public ::testing::WithParamInterface<EarlierTake>
{
};

TEST_P(CrashReportingEarlierTake, EachReportAndPackageIsSentOnceWhole)
{
    const EarlierTake &row = GetParam();
    if (row.holder != Holder::Own && ::geteuid() != 0)
        GTEST_SKIP() << "only root can make a folder of another user's";
    unprivileged = true;
    for (const char *stage : {"/active", "/processing", "/prepared"})
        ASSERT_TRUE(QDir().mkpath(root() + QLatin1String(stage)));
    const QString identifier = QUuid::createUuid().toString(QUuid::Id128);
    const QString unmarked = QStringLiteral(".%1.set-aside-%2").arg(row.stage, identifier);
    const QString holder =
        root() + QLatin1Char('/') + unmarked + (row.marked ? QStringLiteral(".taken") : QString());
    const bool packages =
        QByteArray(row.stage) == "prepared" || QByteArray(row.stage) == "outgoing";
    // The earlier version copied outgoing's packages into the record's "prepared".
    const QString into = packages ? QStringLiteral("prepared") : QLatin1String(row.stage);
    const QString record =
        root() + QStringLiteral("/.taken-") + identifier + QLatin1Char('/') + into;
    const QString ours = root() + QLatin1Char('/') + into;
    ASSERT_TRUE(QDir().mkpath(holder));
    QMap<QString, int> expected;
    QStringList names;
    if (packages) {
        const QString boundary = newBoundary();
        const QByteArray package = emptyPackage(boundary.toUtf8());
        names.append(boundary + QStringLiteral(".multipartmime"));
        twCrashTestWriteFile(holder + QLatin1Char('/') + names.first(), package);
        expected.insert(boundary, 1);
        if (row.copy == EarlierCopy::PartPackage || row.copy == EarlierCopy::Whole) {
            ASSERT_TRUE(QDir().mkpath(record));
            twCrashTestWriteFile(record + QLatin1Char('/') + names.first(),
                                 row.copy == EarlierCopy::Whole ? package
                                                                : package.left(package.size() / 2));
        }
        if (row.movedIn > 0)
            twCrashTestWriteFile(ours + QLatin1Char('/') + names.first(), package);
    } else {
        for (int i = 0; i < 2; ++i) {
            names.append(QUuid::createUuid().toString(QUuid::Id128));
            twMakeEarlierReport(holder, names.last());
            if (row.holder != Holder::OtherUsers)
                expected.insert(names.last(), 1);
            if (row.packaged && i == 0) {
                const QString boundary = newBoundary();
                twCrashTestWriteFile(root() + QStringLiteral("/prepared/") + boundary +
                                         QStringLiteral(".multipartmime"),
                                     earlierPackage(boundary.toUtf8(), names.last()));
            } else if (i < row.movedIn) {
                twMakeEarlierReport(ours, names.last());
            }
        }
        const QString copy = record + QLatin1Char('/') + names.first();
        switch (row.copy) {
        case EarlierCopy::None:
        case EarlierCopy::PartPackage:
            break;
        case EarlierCopy::RecordOnly:
            ASSERT_TRUE(QDir().mkpath(QFileInfo(record).path()));
            break;
        case EarlierCopy::StageRecord:
            ASSERT_TRUE(QDir().mkpath(record));
            break;
        case EarlierCopy::EmptyCopy:
            ASSERT_TRUE(QDir().mkpath(copy));
            break;
        case EarlierCopy::NoCrashRecord:
        case EarlierCopy::EmptyCrashRecord:
        case EarlierCopy::Whole:
            twMakeEarlierReport(record, names.first(), row.copy != EarlierCopy::NoCrashRecord);
            if (row.copy == EarlierCopy::EmptyCrashRecord)
                twCrashTestWriteFile(copy + QStringLiteral("/signal.mshrecord"), QByteArray());
            // A folder was marked only once every copy was made; those moved in left the record.
            if (row.copy == EarlierCopy::Whole && row.marked) {
                if (row.movedIn > 0) {
                    ASSERT_TRUE(QDir(copy).removeRecursively());
                }
                twMakeEarlierReport(record, names.last());
            }
            break;
        }
    }
    const QString second =
        root() + QLatin1Char('/') + unmarked +
        (row.second == SecondFolder::MarkedBefore ? QStringLiteral(".all-taken") : QString());
    if (row.second == SecondFolder::MarkedBefore) {
        ASSERT_TRUE(QDir().mkpath(second));
        twCrashTestWriteFile(second + QStringLiteral("/kept"), "kept\n");
    } else if (row.second == SecondFolder::Unmarked) {
        const QString twin = QUuid::createUuid().toString(QUuid::Id128);
        twMakeEarlierReport(second, twin);
        expected.insert(twin, 1);
        twCrashTestChmod(second, 0555);
    }
    if (row.holder == Holder::Own) {
        twCrashTestChmod(holder, 0555);
    } else {
        twCrashTestGiveAway(temporary.path());
        twCrashTestGiveTo(holder, row.holder == Holder::Roots ? 0 : 4242);
        giveAway = false;
    }

    // A second folder of the identifier stops no mark, and no start says it failed; nor that it
    // takes from another user's folder it leaves alone.
    for (const int milliseconds : {2500, 1500}) {
        launch(milliseconds);
        EXPECT_FALSE(launchLog.contains("Unable to take")) << launchLog.constData();
        if (row.holder == Holder::OtherUsers) {
            EXPECT_FALSE(launchLog.contains("Taking the reports")) << launchLog.constData();
        }
    }
    EXPECT_EQ(receipts(), expected) << launchLog.constData();
    // Whole: each report goes with every record of its own, as written.
    for (const TWLoopbackHttpServer::Request &request : uploads()) {
        if (packages)
            continue;
        QMap<QString, QByteArray> records;
        const QByteArray boundary = twUploadBoundary(request.header("Content-Type"));
        for (const TWUploadPart &part : twUploadParts(request.body, boundary)) {
            if (part.fileName.endsWith(QStringLiteral(".mshrecord.gz")))
                records.insert(part.fileName, twCrashTestGunzip(part.body));
        }
        EXPECT_EQ(records.keys(), (QStringList{QStringLiteral("log_a.mshrecord.gz"),
                                               QStringLiteral("metadata.mshrecord.gz"),
                                               QStringLiteral("signal.mshrecord.gz")}));
        EXPECT_EQ(records.value(QStringLiteral("signal.mshrecord.gz")),
                  QByteArray("{\"signal\":{\"number\":11}}\n"));
    }
    // Nothing waits any more: neither the folder set aside (root's stays, marked) nor a record
    // of copies; another user's stays as it was, and a folder marked before keeps its name.
    for (const QString &entry : allEntries(QString())) {
        const bool keptMarked =
            (row.holder == Holder::Roots || row.second == SecondFolder::MarkedBefore) &&
            entry.startsWith(unmarked + QStringLiteral(".all-taken"));
        const bool leftAlone =
            row.holder == Holder::OtherUsers && root() + QLatin1Char('/') + entry == holder;
        EXPECT_FALSE((entry.startsWith(unmarked) && !keptMarked && !leftAlone) ||
                     entry.startsWith(QStringLiteral(".taken-")))
            << qPrintable(entry);
    }
    if (row.holder == Holder::OtherUsers) {
        for (const QString &name : names)
            EXPECT_TRUE(QFileInfo(holder + QLatin1Char('/') + name).isDir()) << qPrintable(name);
    }
    if (row.second == SecondFolder::MarkedBefore) {
        EXPECT_EQ(twCrashTestReadFile(second + QStringLiteral("/kept")), QByteArray("kept\n"));
    }

    launch(1000);
    EXPECT_EQ(receipts(), expected) << "sent again at a later start";
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CrashReportingEarlierTake,
    ::testing::Values(
        EarlierTake{"RecordMade", "active", EarlierCopy::RecordOnly, false, 0,
                    "dropped the record of a folder not marked and copied again"},
        EarlierTake{"StageRecordMade", "active", EarlierCopy::StageRecord, false, 0,
                    "dropped the record of a folder not marked and copied again"},
        EarlierTake{"CopyFolderMade", "active", EarlierCopy::EmptyCopy, false, 0,
                    "dropped the record of a folder not marked and copied again"},
        EarlierTake{"CopyCutBeforeCrashRecord", "active", EarlierCopy::NoCrashRecord, false, 0,
                    "dropped the record of a folder not marked and copied again"},
        EarlierTake{"CopyCutInCrashRecord", "active", EarlierCopy::EmptyCrashRecord, false, 0,
                    "dropped the record of a folder not marked and copied again"},
        EarlierTake{"CopyWhole", "active", EarlierCopy::Whole, false, 0,
                    "dropped the record of a folder not marked and copied again"},
        EarlierTake{"ProcessingCopyFolderMade", "processing", EarlierCopy::EmptyCopy, false, 0,
                    "dropped the record of a folder not marked and copied again"},
        EarlierTake{"ProcessingCopyCutBeforeCrashRecord", "processing", EarlierCopy::NoCrashRecord,
                    false, 0, "dropped the record of a folder not marked and copied again"},
        EarlierTake{"PackageCopyCut", "prepared", EarlierCopy::PartPackage, false, 0,
                    "dropped the record of a folder not marked and copied again"},
        EarlierTake{"OutgoingPackageCopyCut", "outgoing", EarlierCopy::PartPackage, false, 0,
                    "dropped the record of a folder not marked and copied again"},
        EarlierTake{"MarkedCopiesNotMovedIn", "active", EarlierCopy::Whole, true, 0,
                    "moved the copies of a marked folder into the stages"},
        EarlierTake{"MarkedSomeCopiesMovedIn", "active", EarlierCopy::Whole, true, 1,
                    "moved the rest of the copies of a marked folder into the stages"},
        EarlierTake{"MarkedCopiesMovedIn", "active", EarlierCopy::StageRecord, true, 2,
                    "dropped the empty record; the reports were in the stage"},
        EarlierTake{"MarkedPackageMovedIn", "prepared", EarlierCopy::None, true, 2,
                    "dropped the record; the package was in the stage"},
        EarlierTake{"MarkedAfterNoRoomForCopies", "active", EarlierCopy::None, true, 0,
                    "marked the folder with no copy made; its reports were never sent"},
        EarlierTake{"MarkedAfterStageTookNoPackage", "prepared", EarlierCopy::None, true, 0,
                    "removed the copy with its record; the package was never sent"},
        EarlierTake{"ForeignCopyCutBeforeCrashRecord", "active", EarlierCopy::NoCrashRecord, false,
                    0, "dropped the record of a folder not marked and copied again", Holder::Roots},
        EarlierTake{"ForeignMarkedCopiesMovedIn", "active", EarlierCopy::StageRecord, true, 2,
                    "dropped the empty record; the reports were in the stage", Holder::Roots},
        EarlierTake{"ForeignMarkedAfterNoRoomForCopies", "active", EarlierCopy::None, true, 0,
                    "marked the folder with no copy made; its reports were never sent",
                    Holder::Roots},
        EarlierTake{"MarkedAfterStageTookNoOutgoing", "outgoing", EarlierCopy::None, true, 0,
                    "removed the copy with its record; the package was never sent"},
        // Cut off after the mark (the first once its copies were moved in, the later one once
        // each had arrived), with the first report packaged: it is known by the identifier
        // inside its package.
        EarlierTake{"MarkedFirstReportPackaged", "active", EarlierCopy::None, true, 2,
                    "sent the package; the report was not taken again", Holder::Own, true},
        EarlierTake{"ForeignMarkedFirstReportPackaged", "active", EarlierCopy::None, true, 2,
                    "sent the package; the report was not taken again", Holder::Roots, true},
        // Another user's folder in a shared cache folder, marked or not.
        EarlierTake{"OtherUsersFolder", "active", EarlierCopy::None, false, 0,
                    "left a folder it could not rename alone", Holder::OtherUsers},
        EarlierTake{"OtherUsersMarkedFolder", "active", EarlierCopy::None, true, 0,
                    "never read a marked folder again", Holder::OtherUsers},
        // A second folder of the identifier beside the marked one.
        EarlierTake{"MarkedBesideOneMarkedBefore", "active", EarlierCopy::None, true, 0,
                    "never read a marked folder again", Holder::Own, false,
                    SecondFolder::MarkedBefore},
        EarlierTake{"ForeignMarkedBesideOneMarkedBefore", "active", EarlierCopy::None, true, 0,
                    "never read a marked folder again", Holder::Roots, false,
                    SecondFolder::MarkedBefore},
        EarlierTake{"ForeignMarkedBesideItsUnmarkedTwin", "active", EarlierCopy::None, true, 0,
                    "never read a marked folder again", Holder::Roots, false,
                    SecondFolder::Unmarked}),
    [](const ::testing::TestParamInfo<EarlierTake> &info) { return std::string(info.param.name); });

// Folders an earlier version marked taken, in which nothing tells a report it sent from one it
// could not copy: their reports are taken once more, no more of them for all such folders together
// than a stage keeps, and never again.
TEST_F(CrashReportingEndToEnd, ReportsNothingTellsOfAreTakenOnceMoreWithinOneBound)
{
    unprivileged = true;
    for (const char *stage : {"/active", "/processing", "/prepared"})
        ASSERT_TRUE(QDir().mkpath(root() + QLatin1String(stage)));
    for (int folder = 0; folder < 2; ++folder) {
        const QString holder = root() + QStringLiteral("/.active.set-aside-%1.taken")
                                            .arg(QUuid::createUuid().toString(QUuid::Id128));
        for (int i = 0; i < 20; ++i)
            twMakeEarlierReport(holder, QUuid::createUuid().toString(QUuid::Id128));
        twCrashTestChmod(holder, 0555);
    }

    launch(8000);
    launch(4000);
    const QMap<QString, int> sent = receipts();
    EXPECT_EQ(sent.size(), MSHFileManager::reportsKept) << launchLog.constData();
    for (const int times : sent)
        EXPECT_EQ(times, 1);
    launch(1000);
    EXPECT_EQ(receipts(), sent) << "sent again at a later start";
}

// A folder set aside that is another file system, or holds one (a mount at a set-aside name, a
// stage mounted in the tree an earlier version kept at another cache path): nothing in it is
// taken or removed, and the log says where the mount is. Where the tests cannot mount, the helper
// takes the folder for a mount.
enum class MountPlace { AtSetAsideName, StageOfEarlierTree };

struct MountSetAside {
    const char *name;
    MountPlace place;
    bool real; // a bind mount (root only), or the helper's stand-in for one
    const char *earlierDecided;
};

void PrintTo(const MountSetAside &row, std::ostream *out)
{
    *out << row.name << " (the earlier version: " << row.earlierDecided << ")";
}

class CrashReportingMountSetAside : public CrashReportingEndToEnd,
                                    public ::testing::WithParamInterface<MountSetAside>
{
protected:
    QString mounted;
    void TearDown() override
    {
        if (!mounted.isEmpty())
            QProcess::execute(QStringLiteral("umount"), {mounted});
    }
};

TEST_P(CrashReportingMountSetAside, NothingInItIsTakenOrRemoved)
{
    const MountSetAside &row = GetParam();
    if (row.real && ::geteuid() != 0)
        GTEST_SKIP() << "only root can mount";
    QString place;
    QString part;
    if (row.place == MountPlace::AtSetAsideName) {
        for (const char *stage : {"/active", "/processing", "/prepared"})
            ASSERT_TRUE(QDir().mkpath(root() + QLatin1String(stage)));
        part = QStringLiteral(".active.set-aside-") + QUuid::createUuid().toString(QUuid::Id128);
        place = root() + QLatin1Char('/') + part;
    } else {
        // The tree an earlier version kept at a relative cache path.
        const QString earlier = temporary.filePath(QStringLiteral("relative-cache"));
        part =
            QStringLiteral("relative-cache/com.mishap.data/org.tallyworth.crashhelper/v3/active");
        place = temporary.filePath(part);
        for (const char *stage : {"/processing", "/prepared"})
            ASSERT_TRUE(QDir().mkpath(QFileInfo(place).path() + QLatin1String(stage)));
        workingDirectory = temporary.path();
        extraEnvironment.insert(QStringLiteral("HOME"), temporary.filePath(QStringLiteral("home")));
        extraEnvironment.insert(QStringLiteral("XDG_CACHE_HOME"), QStringLiteral("relative-cache"));
    }
    // The user's own folders, young, among what the report folders would hold.
    const QString victim = row.real ? temporary.filePath(QStringLiteral("victim")) : place;
    fillHomeLikeFolder(victim);
    for (const char *folder : {"/Photos", "/Projects"}) {
        ASSERT_TRUE(QDir().mkpath(victim + QLatin1String(folder)));
        twCrashTestWriteFile(victim + QLatin1String(folder) + QStringLiteral("/kept.txt"), "kept");
    }
    if (row.real) {
        ASSERT_TRUE(QDir().mkpath(place));
        if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("--bind"), victim, place}) !=
            0)
            GTEST_SKIP() << "no bind mounts here";
        mounted = place;
    } else {
        extraEnvironment.insert(QStringLiteral("TW_CRASH_HELPER_MOUNTED"), part);
    }
    const QStringList before = treeOf(victim);

    launch(2000);
    EXPECT_EQ(treeOf(victim), before) << launchLog.constData();
    EXPECT_TRUE(launchLog.contains("a file system is mounted at")) << launchLog.constData();
    launch(1000);
    EXPECT_EQ(treeOf(victim), before) << launchLog.constData();
    EXPECT_EQ(receipts(), (QMap<QString, int>())) << launchLog.constData();
}

INSTANTIATE_TEST_SUITE_P(
    Places, CrashReportingMountSetAside,
    ::testing::Values(MountSetAside{"AtSetAsideName", MountPlace::AtSetAsideName, false,
                                    "copied its young folders, could not mark it, removed nothing"},
                      MountSetAside{"AtSetAsideNameBound", MountPlace::AtSetAsideName, true,
                                    "copied its young folders, could not mark it, removed nothing"},
                      MountSetAside{"StageOfEarlierTree", MountPlace::StageOfEarlierTree, false,
                                    "copied the stage's young folders, removed nothing there"},
                      MountSetAside{"StageOfEarlierTreeBound", MountPlace::StageOfEarlierTree, true,
                                    "copied the stage's young folders, removed nothing there"}),
    [](const ::testing::TestParamInfo<MountSetAside> &info) {
        return std::string(info.param.name);
    });

} // namespace
