#pragma once
// Shared pieces of the crash-reporting suites: the crash context of the test process (started
// once, in a temporary folder), record files read back line by line, and the GNU build-id read
// straight from an ELF file.

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// The report folder of the test process's crash context, initialised on first use.
QString twCrashTestReportDirectory();
// Every line of the file as raw bytes (without the newline).
QList<QByteArray> twCrashTestLines(const QString &path);
// The one-key sections of the file (name, value) in order; a line that is not one JSON object
// with a single key fails the calling test.
QList<QPair<QString, QJsonValue>> twCrashTestSections(const QString &path);
// Lower-case hex of the file's GNU build-id note (empty when it has none).
QString twCrashTestBuildID(const QString &elfPath);
QByteArray twCrashTestHex(const QByteArray &text);

// While it lives, the calling thread meets file permissions as an ordinary user would (its file
// system user becomes "nobody" when the tests run as root), so a folder made read-only really
// refuses new files. Other threads are not affected.
class TWCrashTestUnprivileged
{
public:
    TWCrashTestUnprivileged();
    ~TWCrashTestUnprivileged();
    TWCrashTestUnprivileged(const TWCrashTestUnprivileged &) = delete;
    TWCrashTestUnprivileged &operator=(const TWCrashTestUnprivileged &) = delete;

private:
    int m_previous = -1;
};

// Sets the folder's permission bits (for the read-only cases).
void twCrashTestChmod(const QString &path, unsigned mode);
// Hands the tree (links as links) to the user the unprivileged runs take (65534).
void twCrashTestGiveAway(const QString &path);
// Hands the tree (links as links) to the user and group given (root: 0).
void twCrashTestGiveTo(const QString &path, unsigned user);
// The bytes gzip-compressed.
QByteArray twCrashTestGzip(const QByteArray &bytes);
// The bytes of a gzip stream, inflated (empty on any error).
QByteArray twCrashTestGunzip(const QByteArray &compressed);
void twCrashTestWriteFile(const QString &path, const QByteArray &contents);
QByteArray twCrashTestReadFile(const QString &path);
