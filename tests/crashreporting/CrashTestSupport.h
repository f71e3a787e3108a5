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
