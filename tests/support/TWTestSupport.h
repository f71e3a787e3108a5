#pragma once
// Fixtures shared by every test suite: temporary folders, a pinned clock and a
// pinned locale, and the assertions and printers for our own types. The test
// main (TWTestMain.cpp) already pins the locale to en_US, points the user
// settings at a temporary folder and creates an offscreen QGuiApplication.
// Every test source sees this header (tw_add_test compiles it in first).

#include "foundation/TWError.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

// A QString in a failure message prints as its text in quotes (GoogleTest
// finds it by argument-dependent lookup: it has to be in QString's namespace,
// the global one). Lists of strings print through it too.
void PrintTo(const QString &string, std::ostream *os);
// A QString streamed into a failure message (`EXPECT_TRUE(ok) << text`) is
// written as its text, as it stands.
std::ostream &operator<<(std::ostream &os, const QString &string);

// Passes when an operation succeeded (its result holds no error); a failure
// names the expression and prints the error's domain, code and text.
::testing::AssertionResult twIsOk(const char *expression, const TWErrorResult &result);
template <typename T>
::testing::AssertionResult twIsOk(const char *expression, const TWResult<T> &result)
{
    return twIsOk(expression, result.error);
}
#define EXPECT_OK(result) EXPECT_PRED_FORMAT1(twIsOk, result)
#define ASSERT_OK(result) ASSERT_PRED_FORMAT1(twIsOk, result)

// A temporary folder removed with the object.
class TWTestTempDir
{
public:
    TWTestTempDir();
    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// Pins TWClock's "now" for the object's life.
class TWFixedClock
{
public:
    explicit TWFixedClock(const QDateTime &now);
    // A local moment from its fields.
    TWFixedClock(int year, int month, int day, int hour = 12, int minute = 0, int second = 0);
    ~TWFixedClock();
    TWFixedClock(const TWFixedClock &) = delete;
    TWFixedClock &operator=(const TWFixedClock &) = delete;

    void set(const QDateTime &now);
    QDateTime now() const { return m_now; }

private:
    QDateTime m_now;
};

// Pins the default QLocale for the object's life.
class TWLocaleGuard
{
public:
    explicit TWLocaleGuard(const QLocale &locale);
    explicit TWLocaleGuard(const QString &name) : TWLocaleGuard(QLocale(name)) {}
    ~TWLocaleGuard();
    TWLocaleGuard(const TWLocaleGuard &) = delete;
    TWLocaleGuard &operator=(const TWLocaleGuard &) = delete;

private:
    QLocale m_previous;
};

// Runs the block in a child process that may not grow any file beyond `room` bytes, as on a full
// disk (writes fail with EFBIG; SIGXFSZ is ignored); true when the block answered true there.
bool twInChildWithFullDisk(const std::function<bool()> &block, quint64 room = 0);

// A local date-time from its fields (for readable test expectations).
QDateTime twLocal(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

#ifdef TW_TEST_DATA_DIR
// A file of the suite's data folder (tests/<subsystem>/data).
inline QString twTestDataPath(const QString &name)
{
    return QStringLiteral(TW_TEST_DATA_DIR "/") + name;
}
#endif

// What every test main does around its application object: before it, user
// settings, data and caches are pointed into `home` (so no test touches real
// ones) on the offscreen platform; after it, the application's names and the
// en_US locale are pinned.
void twPrepareTestProcess(const QTemporaryDir &home);
void twPinTestApplication();
