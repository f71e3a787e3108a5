// A report folder of a crashed process symbolicated and packed into one multipart upload file.

#include "CrashTestSupport.h"

#include "crashreporting/capture/MSHFile.h"
#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/network/KTBMultipartMimeStreamEncoder.h"
#include "crashreporting/reports/MSHFrameOperations.h"
#include "crashreporting/reports/MSHInternalReport.h"
#include "crashreporting/reports/MSHPackageReportOperation.h"
#include "crashreporting/reports/MSHProcessReportOperation.h"
#include "crashreporting/reports/MSHSymbolResolver.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <optional>

namespace
{

struct Part {
    QString name;
    QString fileName;
    QByteArray type;
    QByteArray body;
};

// The parts of a package whose file is named after its boundary; fails the test when the body is
// not a well-formed form.
QList<Part> parsePackage(const QString &path)
{
    const QByteArray boundary = "--" + QFileInfo(path).completeBaseName().toLatin1();
    const QByteArray body = twCrashTestReadFile(path);
    QList<Part> parts;
    const QByteArray header = "MIME-Version: 1.0\r\n";
    EXPECT_TRUE(body.startsWith(header));
    qsizetype at = header.size();
    const QRegularExpression disposition(
        QStringLiteral("name=\"([^\"]*)\"(?:; filename=\"([^\"]*)\")?"));
    while (at < body.size()) {
        EXPECT_EQ(body.mid(at, boundary.size()), boundary);
        at += boundary.size();
        if (body.mid(at) == "--\r\n")
            return parts;
        EXPECT_EQ(body.mid(at, 2), "\r\n");
        const qsizetype headersEnd = body.indexOf("\r\n\r\n", at);
        const qsizetype next = body.indexOf("\r\n" + boundary, headersEnd);
        if (headersEnd < 0 || next < 0) {
            ADD_FAILURE() << "cut part";
            return parts;
        }
        const QString headers = QString::fromUtf8(body.mid(at + 2, headersEnd - at - 2));
        const QRegularExpressionMatch match = disposition.match(headers);
        Part part;
        part.name = match.captured(1);
        part.fileName = match.captured(2);
        const qsizetype typeAt = headers.indexOf(QStringLiteral("Content-Type: "));
        part.type = headers.mid(typeAt + 14).section(QStringLiteral("\r\n"), 0, 0).toLatin1();
        part.body = body.mid(headersEnd + 4, next - headersEnd - 4);
        parts.append(part);
        at = next + 2;
    }
    ADD_FAILURE() << "no closing boundary";
    return parts;
}

const Part *findPart(const QList<Part> &parts, const QString &name)
{
    for (const Part &part : parts) {
        if (part.name == name)
            return &part;
    }
    return nullptr;
}

class ReportPackage : public ::testing::Test
{
protected:
    QTemporaryDir temporary;

    QString makeFolder(const QString &name, const QMap<QString, QByteArray> &files)
    {
        const QString path = temporary.filePath(name);
        EXPECT_TRUE(QDir().mkpath(path));
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            twCrashTestWriteFile(path + QLatin1Char('/') + it.key(), it.value());
        return path;
    }

    static QStringList entries(const QString &folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }

    static QString package(const QString &folder, const QString &prepared)
    {
        MSHFileManager files(prepared);
        MSHPackageReportOperation operation(MSHInternalReport::reportWithPath(folder), &files);
        operation.setDestinationDirectory(prepared);
        operation.start();
        return operation.finalPath();
    }
};

const QByteArray metadata =
    "{\"identity\":{\"api_key\":\"the-key\",\"started_at\":1,\"session_id\":\"S-1\"}}\n";

TEST_F(ReportPackage, AHelperCrashIsPackagedWithItsSymbolicatedRecord)
{
    const QString report = temporary.filePath(QStringLiteral("report"));
    const QString prepared = temporary.filePath(QStringLiteral("prepared"));
    ASSERT_TRUE(QDir().mkpath(prepared));
    QProcess crash;
    crash.start(QStringLiteral(TW_CRASH_HELPER), {QStringLiteral("segv"), report});
    ASSERT_TRUE(crash.waitForFinished(60000));
    ASSERT_EQ(crash.exitStatus(), QProcess::CrashExit);
    QMap<QString, QByteArray> sources;
    for (const QString &name : entries(report))
        sources.insert(name, twCrashTestReadFile(report + QLatin1Char('/') + name));
    ASSERT_TRUE(sources.contains(QStringLiteral("signal.mshrecord")));

    QProcess packaging;
    packaging.start(QStringLiteral(TW_CRASH_HELPER), {QStringLiteral("package"), report, prepared});
    ASSERT_TRUE(packaging.waitForFinished(60000));
    ASSERT_EQ(packaging.exitCode(), 0) << packaging.readAllStandardError().constData();
    const QString path = QString::fromLocal8Bit(packaging.readAllStandardOutput()).trimmed();
    EXPECT_EQ(QFileInfo(path).absolutePath(), QFileInfo(prepared).absoluteFilePath());
    EXPECT_EQ(entries(prepared), QStringList{QFileInfo(path).fileName()});
    EXPECT_FALSE(QFileInfo::exists(report));

    const QList<Part> parts = parsePackage(path);
    ASSERT_GE(parts.size(), 2);
    EXPECT_EQ(parts[0].name, QStringLiteral("api_key"));
    EXPECT_EQ(parts[0].body, QByteArray("helper-api-key"));
    EXPECT_EQ(parts[1].name, QStringLiteral("report_id"));
    EXPECT_EQ(parts[1].body, QByteArray("helper-session"));
    QStringList packed;
    for (const Part &part : parts.mid(2)) {
        EXPECT_EQ(part.type, QByteArray("application/x-gzip"));
        ASSERT_TRUE(part.fileName.endsWith(QStringLiteral(".gz")));
        const QString source = part.fileName.chopped(3);
        packed.append(source);
        if (source != QStringLiteral("signal.mshrecord.symbolicated")) {
            EXPECT_EQ(twCrashTestGunzip(part.body), sources.value(source)) << qPrintable(source);
        }
    }
    // What the component wrote, not the helper's own notes.
    QStringList expected = sources.keys();
    expected.removeAll(QStringLiteral("frames.txt"));
    expected.append(QStringLiteral("signal.mshrecord.symbolicated"));
    expected.sort();
    EXPECT_EQ(packed, expected);
    EXPECT_NE(findPart(parts, QStringLiteral("metadata")), nullptr);
    EXPECT_NE(findPart(parts, QStringLiteral("sdk")), nullptr);

    const Part *symbolicated = findPart(parts, QStringLiteral("signal.mshrecord"));
    ASSERT_NE(symbolicated, nullptr);
    const QList<QByteArray> lines = twCrashTestGunzip(symbolicated->body).split('\n');
    const QJsonDocument document = QJsonDocument::fromJson(lines.value(0));
    const QJsonArray threads = document.object().value("threads").toArray();
    ASSERT_FALSE(threads.isEmpty());
    const QJsonArray crashed = threads[0].toArray();
    ASSERT_GE(crashed.size(), 3);
    EXPECT_EQ(crashed[0].toObject().value("symbol").toString(),
              QStringLiteral("twCrashHelperLeaf"));
    EXPECT_EQ(crashed[0].toObject().value("library").toString(), QStringLiteral("tw_crash_helper"));
    EXPECT_EQ(crashed[1].toObject().value("symbol").toString(),
              QStringLiteral("twCrashHelperMiddle"));
    EXPECT_EQ(crashed[2].toObject().value("symbol").toString(),
              QStringLiteral("twCrashHelperOuter"));
}

TEST_F(ReportPackage, APackageThatCannotBeWrittenLeavesNoneAndAFolderTakingNoFileIsStillPacked)
{
    twCrashTestChmod(temporary.path(), 0755);
    const QString folder = makeFolder(
        QStringLiteral("report"), {{"metadata.mshrecord", metadata}, {"signal.mshrecord", "{}\n"}});
    const QString prepared = makeFolder(QStringLiteral("prepared"), {});
    twCrashTestChmod(folder, 0777);
    twCrashTestChmod(prepared, 0555);
    QString path;
    {
        TWCrashTestUnprivileged unprivileged;
        path = package(folder, prepared);
    }
    twCrashTestChmod(prepared, 0755);
    EXPECT_TRUE(path.isEmpty());
    EXPECT_TRUE(entries(prepared).isEmpty());
    EXPECT_TRUE(entries(folder).contains(QStringLiteral("signal.mshrecord")));

    // A compressed copy that cannot be written beside its record (the name taken, a folder that
    // takes no new file) is made in memory: the report still goes out whole, and its folder is
    // claimed for the package.
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/signal.mshrecord.gz")));
    EXPECT_FALSE(
        MSHPackageReportOperation::compressFile(folder + QStringLiteral("/signal.mshrecord")));
    const QString parent = makeFolder(QStringLiteral("processing"), {});
    twCrashTestChmod(parent, 0777);
    const QString readOnly =
        makeFolder(QStringLiteral("processing/read-only"),
                   {{"metadata.mshrecord", metadata}, {"log_a.mshrecord", "{}\n"}});
    twCrashTestChmod(readOnly, 0555);
    twCrashTestChmod(prepared, 0777);
    for (const QString &report : {folder, readOnly}) {
        {
            // An ordinary user's view for the read-only folder.
            std::optional<TWCrashTestUnprivileged> unprivileged;
            if (report == readOnly)
                unprivileged.emplace();
            path = package(report, prepared);
        }
        ASSERT_FALSE(path.isEmpty()) << qPrintable(report);
        const QList<Part> parts = parsePackage(path);
        ASSERT_NE(findPart(parts, QStringLiteral("metadata")), nullptr);
        EXPECT_EQ(twCrashTestGunzip(findPart(parts, QStringLiteral("metadata"))->body), metadata);
        EXPECT_FALSE(QFileInfo::exists(report));
    }
}

TEST_F(ReportPackage, OnlyTheComponentsOwnFilesAreSentAndLinksAreNeverFollowed)
{
    const QString outside = makeFolder(QStringLiteral("outside"),
                                       {{"secret.txt", "secret"}, {"private.mshrecord", "{}\n"}});
    const QString folder =
        makeFolder(QStringLiteral("report"), {{"metadata.mshrecord", metadata},
                                              {"signal.mshrecord", "{\"signal\":{}}\n"},
                                              {"secret.txt", "secret"}});
    // A record that is a link, and a link where the compressed copy goes.
    ASSERT_TRUE(QFile::link(outside + QStringLiteral("/private.mshrecord"),
                            folder + QStringLiteral("/exception.mshrecord")));
    ASSERT_TRUE(QFile::link(outside + QStringLiteral("/planted.gz"),
                            folder + QStringLiteral("/signal.mshrecord.gz")));
    const QString prepared = makeFolder(QStringLiteral("prepared"), {});
    const QString path = package(folder, prepared);
    ASSERT_FALSE(path.isEmpty());
    QStringList sent;
    for (const Part &part : parsePackage(path).mid(2))
        sent.append(part.fileName);
    EXPECT_EQ(sent, (QStringList{"metadata.mshrecord.gz", "signal.mshrecord.gz"}));
    EXPECT_FALSE(QFileInfo::exists(outside + QStringLiteral("/planted.gz")));
    EXPECT_EQ(entries(outside), (QStringList{"private.mshrecord", "secret.txt"}));

    // A report folder that is a link is refused whole: nothing sent, nothing written there.
    const QString linked = temporary.filePath(QStringLiteral("linked"));
    ASSERT_TRUE(QFile::link(outside, linked));
    EXPECT_TRUE(package(linked, prepared).isEmpty());
    EXPECT_EQ(entries(outside), (QStringList{"private.mshrecord", "secret.txt"}));
}

TEST_F(ReportPackage, ARecordLargerThanAnyGenuineOneIsNotRead)
{
    QByteArray huge(int(MSHRecordFileReadLimit) + 1, 'x');
    const QString folder = makeFolder(
        QStringLiteral("report"), {{"metadata.mshrecord", metadata}, {"log_a.mshrecord", huge}});
    huge.clear();
    EXPECT_FALSE(MSHFileReadSections(folder + QStringLiteral("/log_a.mshrecord"), false));
    EXPECT_FALSE(
        MSHFileReadRegular(folder + QStringLiteral("/log_a.mshrecord"), MSHRecordFileReadLimit));
    const QString prepared = makeFolder(QStringLiteral("prepared"), {});
    const QString path = package(folder, prepared);
    ASSERT_FALSE(path.isEmpty());
    EXPECT_LT(QFileInfo(path).size(), 64 * 1024);
}

} // namespace
