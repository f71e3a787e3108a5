// Exports the store benchmark's business as a user's export sheet does (every
// account, the default columns, no attachment files) and prints, per format,
// the time the write took and the peak resident memory the export added over
// the open document:
//   tw-export-bench --transactions N [--format csv|html|pdf] [--out FOLDER]
// Without --format each format runs in a process of its own, so that one
// format's peak does not hide the next one's.

#include "TWBenchBusiness.h"

#include "export/core/TWExportWriter.h"
#include "model/TWExportSettings.h"
#include "store/TWExportSettingsRecords.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace
{

// A line of /proc/self/status ("VmRSS", "VmHWM") in bytes; 0 when unknown.
qint64 statusBytes(const char *key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    // procfs reports no size: read until the end.
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(key) && line.size() > qsizetype(std::strlen(key)) &&
            line.at(qsizetype(std::strlen(key))) == ':')
            return line.mid(qsizetype(std::strlen(key)) + 1)
                       .trimmed()
                       .split(' ')
                       .first()
                       .toLongLong() *
                   1024;
    }
    return 0;
}

std::uint32_t fileTypeOf(const QString &format)
{
    if (format == QLatin1String("html"))
        return TWExportFileTypeHTML;
    if (format == QLatin1String("pdf"))
        return TWExportFileTypePDF;
    return TWExportFileTypeCSV;
}

int runOne(int argc, char **argv, const QString &format, const QString &out)
{
    QTemporaryDir folder;
    auto business = twBenchBusinessFromArguments(argc, argv, 1, folder.path());
    if (!business)
        return 1;
    auto settings = twDefaultExportTransactionsSettings(*business);
    settings->setFileType(fileTypeOf(format));
    settings->setIncludeAttachments(false);
    bool hasAttachments = false;
    const TWTransactionList transactions =
        business->transactionsForAccounts(std::optional<TWAccountList>(settings->accounts()),
                                          nullptr, 0, QDateTime(), QDateTime(), &hasAttachments);
    // The peak so far is the generation's: start counting from here.
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    const qint64 before = statusBytes("VmRSS");
    const QString path = (out.isEmpty() ? folder.path() : out) + QStringLiteral("/export.") +
                         TWExportWriter::extension(settings->fileType());
    QElapsedTimer timer;
    timer.start();
    const TWErrorResult error =
        TWExportWriter::writeTransactions(*business, settings, transactions, path, false);
    const qint64 elapsed = timer.elapsed();
    if (error) {
        std::fprintf(stderr, "%s\n", qPrintable(error->localizedDescription()));
        return 1;
    }
    const qint64 peak = statusBytes("VmHWM");
    std::printf("%s: %lld ms, %lld transactions, file %.1f MB, peak memory over the document "
                "%.1f MB\n",
                qPrintable(format), static_cast<long long>(elapsed),
                static_cast<long long>(transactions.size()),
                double(QFileInfo(path).size()) / 1048576.0,
                double(std::max<qint64>(0, peak - before)) / 1048576.0);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // The PDF writer measures text with the application's fonts.
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QGuiApplication app(argc, argv);
    QString format;
    QString out;
    QStringList passOn;
    const QStringList arguments = app.arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--format") && i + 1 < arguments.size())
            format = arguments.at(++i);
        else if (arguments.at(i) == QLatin1String("--out") && i + 1 < arguments.size())
            out = arguments.at(++i);
        else
            passOn.append(arguments.at(i));
    }
    if (!format.isEmpty())
        return runOne(argc, argv, format, out);
    int status = 0;
    for (const QString &each :
         {QStringLiteral("csv"), QStringLiteral("html"), QStringLiteral("pdf")}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    QStringList(passOn) << QStringLiteral("--format") << each);
        child.waitForFinished(-1);
        status |= child.exitCode();
    }
    return status;
}
