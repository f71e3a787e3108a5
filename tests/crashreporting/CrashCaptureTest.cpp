// Crashes the helper program on purpose in each way it can fail and reads its record back.

#include "CrashTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <ctime>

namespace
{

const QStringList crashSections = {QStringLiteral("threads"),
                                   QStringLiteral("runtime"),
                                   QStringLiteral("dispatch_queue_names"),
                                   QStringLiteral("thread_names"),
                                   QStringLiteral("process_stats"),
                                   QStringLiteral("storage")};

qint64 monotonicMilliseconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

struct HelperRun {
    QProcess::ExitStatus status = QProcess::NormalExit;
    int code = 0;
    QByteArray errors;
    QString dir;
    // Leaf address, return into middle, return into outer, return into main.
    QList<quint64> frames;
};

class CrashCapture : public ::testing::Test
{
protected:
    QTemporaryDir temporary;

    HelperRun run(const QString &scenario)
    {
        HelperRun result;
        result.dir = temporary.filePath(scenario);
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TW_CRASH_TEST_LIBRARY"),
                           QStringLiteral(TW_CRASH_TEST_LIBRARY));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(TW_CRASH_HELPER), {scenario, result.dir});
        EXPECT_TRUE(process.waitForFinished(60000));
        result.status = process.exitStatus();
        result.code = process.exitCode();
        result.errors = process.readAllStandardError();
        for (const QByteArray &line : twCrashTestLines(result.dir + QStringLiteral("/frames.txt")))
            result.frames.append(line.mid(2).toULongLong(nullptr, 16));
        return result;
    }

    static QStringList names(const QList<QPair<QString, QJsonValue>> &sections)
    {
        QStringList list;
        for (const auto &section : sections)
            list.append(section.first);
        return list;
    }

    static QList<quint64> pcsOf(const QJsonObject &thread)
    {
        QList<quint64> pcs;
        for (const QJsonValue &pc : thread.value("stacktrace").toArray())
            pcs.append(quint64(pc.toDouble()));
        return pcs;
    }

    // JSON numbers come back as doubles: compare within their precision.
    static bool near(quint64 a, quint64 b) { return (a > b ? a - b : b - a) < 16; }

    // The crashed thread's trace: starts in the leaf and passes through the callers in order.
    static void expectCrashedThread(const QJsonArray &threads, const HelperRun &run,
                                    bool startsInLeaf)
    {
        ASSERT_EQ(run.frames.size(), 4);
        int crashed = 0;
        QJsonArray trace;
        for (const QJsonValue &thread : threads) {
            const QJsonObject object = thread.toObject();
            EXPECT_EQ(object.value("registers").toObject().size(), 21);
            if (object.value("crashed").toBool()) {
                ++crashed;
                trace = object.value("stacktrace").toArray();
            }
        }
        EXPECT_EQ(crashed, 1);
        ASSERT_GE(trace.size(), 3);
        QList<quint64> pcs;
        for (const QJsonValue &pc : trace)
            pcs.append(quint64(pc.toDouble()));
        if (startsInLeaf) {
            EXPECT_GE(pcs[0] + 16, run.frames[0]);
            EXPECT_LT(pcs[0], run.frames[0] + 4096);
        }
        int middle = -1;
        int outer = -1;
        for (int i = 0; i < pcs.size(); ++i) {
            if (middle < 0 && near(pcs[i], run.frames[1]))
                middle = i;
            else if (middle >= 0 && outer < 0 && near(pcs[i], run.frames[2]))
                outer = i;
        }
        EXPECT_GE(middle, 0) << "no return into the middle function";
        EXPECT_GT(outer, middle) << "no return into the outer function after it";
    }
};

} // namespace

TEST_F(CrashCapture, SegmentationFaultLeavesACompleteRecord)
{
    const HelperRun result = run(QStringLiteral("segv"));
    EXPECT_EQ(result.status, QProcess::CrashExit);
    EXPECT_EQ(result.code, SIGSEGV);
    EXPECT_TRUE(result.errors.contains("allocations after crash: 0")) << result.errors.constData();

    const auto sections = twCrashTestSections(result.dir + QStringLiteral("/signal.mshrecord"));
    ASSERT_EQ(names(sections), QStringList{QStringLiteral("signal")} + crashSections);
    const QJsonObject signal = sections[0].second.toObject();
    EXPECT_EQ(signal.value("number").toInt(), SIGSEGV);
    EXPECT_EQ(signal.value("name").toString(), QStringLiteral("SIGSEGV"));
    EXPECT_TRUE(signal.value("code_name").isNull());
    EXPECT_EQ(signal.value("address").toInt(-1), 0);
    EXPECT_TRUE(signal.contains("errno"));
    EXPECT_TRUE(signal.contains("time"));

    const QJsonArray threads = sections[1].second.toArray();
    expectCrashedThread(threads, result, true);
    const QJsonArray threadNames = sections[4].second.toArray();
    EXPECT_EQ(threadNames.size(), threads.size());
    EXPECT_EQ(sections[3].second.toArray().size(), threads.size());
    EXPECT_TRUE(threadNames.contains(QStringLiteral("tw\"worker")));
    // The parked worker was reached: its registers are not all zero.
    const int worker = int(threadNames.toVariantList().indexOf(QStringLiteral("tw\"worker")));
    ASSERT_GE(worker, 0);
    EXPECT_NE(threads[worker].toObject().value("registers").toObject().value("rsp").toDouble(), 0);
    EXPECT_FALSE(threads[worker].toObject().value("stacktrace").toArray().isEmpty());

    const int silent = int(threadNames.toVariantList().indexOf(QStringLiteral("tw-silent")));
    ASSERT_GE(silent, 0);
    const QJsonObject silentThread = threads[silent].toObject();
    for (const QJsonValue &value : silentThread.value("registers").toObject())
        EXPECT_EQ(value.toDouble(), 0);
    EXPECT_TRUE(silentThread.value("stacktrace").toArray().isEmpty());

    const QJsonObject stats = sections[5].second.toObject();
    EXPECT_GT(stats.value("resident").toDouble(), 0);
    EXPECT_EQ(stats.value("freeMem"), stats.value("free_mem"));

    const auto metadata = twCrashTestSections(result.dir + QStringLiteral("/metadata.mshrecord"));
    ASSERT_EQ(names(metadata), (QStringList{"identity", "host", "application", "executable"}));
    EXPECT_EQ(metadata[0].second.toObject().value("api_key").toString(), "helper-api-key");
    EXPECT_EQ(metadata[0].second.toObject().value("session_id").toString(), "helper-session");
    EXPECT_EQ(metadata[1].second.toObject().value("platform").toString(), "linux");
    EXPECT_EQ(metadata[2].second.toObject().value("bundle_id").toString(),
              "example.tallyworth.crash-helper");
    const QString buildID = twCrashTestBuildID(QStringLiteral(TW_CRASH_HELPER));
    ASSERT_FALSE(buildID.isEmpty());
    EXPECT_EQ(metadata[3].second.toObject().value("uuid").toString(), buildID);
    EXPECT_EQ(metadata[3].second.toObject().value("architecture").toString(), "x86_64");

    const auto images =
        twCrashTestSections(result.dir + QStringLiteral("/binary_images.mshrecord"));
    ASSERT_FALSE(images.isEmpty());
    EXPECT_EQ(images[0].first, QStringLiteral("load"));
    EXPECT_EQ(images[0].second.toObject().value("uuid").toString(), buildID);

    for (const QString &file : QDir(result.dir).entryList({"*.mshrecord"}, QDir::Files))
        twCrashTestSections(result.dir + QLatin1Char('/') + file);
}

TEST_F(CrashCapture, AbortIsRecordedAsSIGABRT)
{
    const HelperRun result = run(QStringLiteral("abort"));
    EXPECT_EQ(result.status, QProcess::CrashExit);
    EXPECT_EQ(result.code, SIGABRT);
    EXPECT_TRUE(result.errors.contains("allocations after crash: 0")) << result.errors.constData();
    const auto sections = twCrashTestSections(result.dir + QStringLiteral("/signal.mshrecord"));
    ASSERT_EQ(names(sections), QStringList{QStringLiteral("signal")} + crashSections);
    EXPECT_EQ(sections[0].second.toObject().value("name").toString(), "SIGABRT");
    EXPECT_EQ(sections[0].second.toObject().value("code_name").toString(), "ABORT");
    expectCrashedThread(sections[1].second.toArray(), result, false);
}

TEST_F(CrashCapture, AnUncaughtExceptionIsRecordedAndItsAbortAgainAsSIGABRT)
{
    const HelperRun result = run(QStringLiteral("terminate"));
    EXPECT_EQ(result.status, QProcess::CrashExit);
    EXPECT_EQ(result.code, SIGABRT);

    const auto exception = twCrashTestSections(result.dir + QStringLiteral("/exception.mshrecord"));
    ASSERT_EQ(names(exception), QStringList{QStringLiteral("exception")} + crashSections);
    const QJsonObject record = exception[0].second.toObject();
    EXPECT_EQ(record.value("type").toString(), "c++");
    EXPECT_EQ(record.value("name").toString().toLatin1(), twCrashTestHex("std::runtime_error"));
    EXPECT_EQ(record.value("reason").toString().toLatin1(), twCrashTestHex("boom"));
    expectCrashedThread(exception[1].second.toArray(), result, false);

    // The abort that follows has a record of its own, with the same thread crashed in it.
    EXPECT_TRUE(result.errors.contains("allocations after crash: 0")) << result.errors.constData();
    const auto signal = twCrashTestSections(result.dir + QStringLiteral("/signal.mshrecord"));
    ASSERT_EQ(names(signal), QStringList{QStringLiteral("signal")} + crashSections);
    EXPECT_EQ(signal[0].second.toObject().value("name").toString(), "SIGABRT");
    EXPECT_EQ(signal[0].second.toObject().value("code_name").toString(), "ABORT");
    expectCrashedThread(signal[1].second.toArray(), result, false);
}

TEST_F(CrashCapture, TerminateWithNoExceptionInFlightIsACppExceptionWithNoName)
{
    const HelperRun result = run(QStringLiteral("terminate-bare"));
    EXPECT_EQ(result.code, SIGABRT);
    const auto exception = twCrashTestSections(result.dir + QStringLiteral("/exception.mshrecord"));
    ASSERT_EQ(names(exception), QStringList{QStringLiteral("exception")} + crashSections);
    const QJsonObject record = exception[0].second.toObject();
    EXPECT_EQ(record.value("type").toString(), "c++");
    EXPECT_EQ(record.value("name").toString(), QString());
    EXPECT_EQ(record.value("reason").toString(), QString());
}

TEST_F(CrashCapture, TwoThreadsFaultingAtOnceAreBothInTheOneRecord)
{
    const HelperRun result = run(QStringLiteral("twocrash"));
    const bool diedBySignal = result.status == QProcess::CrashExit && result.code == SIGSEGV;
    const bool exitedOne = result.status == QProcess::NormalExit && result.code == 1;
    EXPECT_TRUE(diedBySignal || exitedOne) << result.status << " " << result.code;
    if (diedBySignal) {
        EXPECT_TRUE(result.errors.contains("allocations after crash: 0"));
    }
    const auto sections = twCrashTestSections(result.dir + QStringLiteral("/signal.mshrecord"));
    ASSERT_EQ(names(sections), QStringList{QStringLiteral("signal")} + crashSections);
    const QJsonArray threads = sections[1].second.toArray();
    int crashed = 0;
    for (const QJsonValue &thread : threads)
        crashed += thread.toObject().value("crashed").toBool() ? 1 : 0;
    EXPECT_EQ(crashed, 1);
    // Both faulting threads are there with their registers and their stacks, the one that
    // recorded and the one that waited for it.
    const QVariantList threadNames = sections[4].second.toArray().toVariantList();
    int faulting = 0;
    for (int i = 0; i < threadNames.size(); ++i) {
        if (threadNames[i].toString() != QStringLiteral("tw-fault"))
            continue;
        ++faulting;
        const QJsonObject thread = threads[i].toObject();
        const QJsonObject registers = thread.value("registers").toObject();
        EXPECT_NE(registers.value("rsp").toDouble(), 0) << "thread " << i;
        const QList<quint64> pcs = pcsOf(thread);
        ASSERT_GE(pcs.size(), 2) << "thread " << i;
        EXPECT_TRUE(near(pcs[0], quint64(registers.value("rip").toDouble())));
    }
    EXPECT_EQ(faulting, 2);
}

TEST_F(CrashCapture, TheCrashingThreadIsRecordedWhenThereAreMoreThreadsThanTheListHolds)
{
    const HelperRun result = run(QStringLiteral("manythreads"));
    EXPECT_EQ(result.status, QProcess::CrashExit);
    EXPECT_EQ(result.code, SIGSEGV);
    EXPECT_TRUE(result.errors.contains("allocations after crash: 0")) << result.errors.constData();
    const auto sections = twCrashTestSections(result.dir + QStringLiteral("/signal.mshrecord"));
    ASSERT_EQ(names(sections), QStringList{QStringLiteral("signal")} + crashSections);
    const QJsonArray threads = sections[1].second.toArray();
    // More than 600 threads ran: the list is full, and the newest thread, the one that crashed,
    // is in it.
    EXPECT_EQ(threads.size(), 512);
    const int newest = int(sections[4].second.toArray().toVariantList().indexOf("tw-newest"));
    ASSERT_GE(newest, 0) << "the crashing thread is missing";
    const QJsonObject thread = threads[newest].toObject();
    EXPECT_TRUE(thread.value("crashed").toBool());
    EXPECT_NE(thread.value("registers").toObject().value("rip").toDouble(), 0);
    EXPECT_GE(pcsOf(thread).size(), 2);
}

TEST_F(CrashCapture, AFaultInsideALibraryLoadedAfterTheStartIsWalkedBackToMain)
{
    const HelperRun result = run(QStringLiteral("dlopen"));
    EXPECT_EQ(result.status, QProcess::CrashExit);
    EXPECT_EQ(result.code, SIGSEGV);
    EXPECT_TRUE(result.errors.contains("allocations after crash: 0")) << result.errors.constData();
    const auto sections = twCrashTestSections(result.dir + QStringLiteral("/signal.mshrecord"));
    ASSERT_EQ(names(sections), QStringList{QStringLiteral("signal")} + crashSections);
    const QJsonArray threads = sections[1].second.toArray();
    expectCrashedThread(threads, result, false);

    // The image list names the library, and the trace starts inside it and reaches main.
    quint64 base = 0;
    quint64 size = 0;
    const QString library = QFileInfo(QStringLiteral(TW_CRASH_TEST_LIBRARY)).fileName();
    for (const auto &image :
         twCrashTestSections(result.dir + QStringLiteral("/binary_images.mshrecord"))) {
        const QJsonObject details = image.second.toObject();
        if (image.first == QStringLiteral("load") &&
            QFileInfo(details.value("path").toString()).fileName() == library) {
            base = quint64(details.value("base").toDouble());
            size = quint64(details.value("size").toDouble());
        }
    }
    ASSERT_NE(base, 0u) << "no load line for the library";
    QList<quint64> pcs;
    for (const QJsonValue &thread : threads) {
        if (thread.toObject().value("crashed").toBool())
            pcs = pcsOf(thread.toObject());
    }
    ASSERT_FALSE(pcs.isEmpty());
    EXPECT_GE(pcs[0], base);
    EXPECT_LT(pcs[0], base + size);
    EXPECT_TRUE(
        std::any_of(pcs.begin(), pcs.end(), [&](quint64 pc) { return near(pc, result.frames[3]); }))
        << "the trace does not reach main (" << pcs.size() << " frames)";
}

TEST_F(CrashCapture, AStartWhileTheSharedThreadPoolIsBusyIsQuickAndComplete)
{
    const auto initialisation = [](const HelperRun &run) {
        const int at = int(run.errors.indexOf("initialised in "));
        return at < 0 ? -1 : run.errors.mid(at + 15).split(' ').value(0).toInt();
    };
    const HelperRun fault = run(QStringLiteral("busypool-segv"));
    EXPECT_EQ(fault.code, SIGSEGV);
    const int milliseconds = initialisation(fault);
    EXPECT_GE(milliseconds, 0) << fault.errors.constData();
    EXPECT_LT(milliseconds, 1000) << "the start waited for the shared pool";
    const auto sections = twCrashTestSections(fault.dir + QStringLiteral("/signal.mshrecord"));
    ASSERT_EQ(names(sections), QStringList{QStringLiteral("signal")} + crashSections);
    expectCrashedThread(sections[1].second.toArray(), fault, true);

    const HelperRun uncaught = run(QStringLiteral("busypool-terminate"));
    EXPECT_EQ(uncaught.code, SIGABRT);
    const auto exception =
        twCrashTestSections(uncaught.dir + QStringLiteral("/exception.mshrecord"));
    ASSERT_FALSE(exception.isEmpty()) << "the uncaught exception was not recorded";
    const QJsonObject record = exception[0].second.toObject();
    EXPECT_EQ(record.value("type").toString(), "c++");
    EXPECT_EQ(record.value("name").toString().toLatin1(), twCrashTestHex("std::runtime_error"));
    EXPECT_EQ(record.value("reason").toString().toLatin1(), twCrashTestHex("boom"));
}

TEST_F(CrashCapture, ALoaderLockHeldByAnotherThreadNeitherStallsNorSpoilsTheRecord)
{
    const HelperRun result = run(QStringLiteral("loaderlock"));
    const qint64 diedAt = monotonicMilliseconds();
    EXPECT_EQ(result.status, QProcess::CrashExit);
    EXPECT_EQ(result.code, SIGSEGV);
    const int at = int(result.errors.indexOf("crashing at "));
    ASSERT_GE(at, 0) << result.errors.constData();
    const qint64 crashedAt = result.errors.mid(at + 12).split('\n').value(0).toLongLong();
    EXPECT_LT(diedAt - crashedAt, 2000) << "the record took too long";

    const auto sections = twCrashTestSections(result.dir + QStringLiteral("/signal.mshrecord"));
    ASSERT_EQ(names(sections), QStringList{QStringLiteral("signal")} + crashSections);
    expectCrashedThread(sections[1].second.toArray(), result, true);
}

TEST_F(CrashCapture, AStackOverflowOnAWorkerThreadIsRecorded)
{
    for (const QString &scenario :
         {QStringLiteral("overflow-pool"), QStringLiteral("overflow-thread")}) {
        const HelperRun result = run(scenario);
        EXPECT_EQ(result.status, QProcess::CrashExit) << qPrintable(scenario);
        EXPECT_EQ(result.code, SIGSEGV) << qPrintable(scenario);
        const auto sections = twCrashTestSections(result.dir + QStringLiteral("/signal.mshrecord"));
        ASSERT_EQ(names(sections), QStringList{QStringLiteral("signal")} + crashSections)
            << qPrintable(scenario);
        int crashed = 0;
        for (const QJsonValue &thread : sections[1].second.toArray()) {
            const QJsonObject object = thread.toObject();
            if (object.value("crashed").toBool()) {
                ++crashed;
                EXPECT_GT(object.value("stacktrace").toArray().size(), 10) << qPrintable(scenario);
            }
        }
        EXPECT_EQ(crashed, 1) << qPrintable(scenario);
    }
}
