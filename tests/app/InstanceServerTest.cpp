// The hand-off to a running instance: one socket per user and display, in a
// folder only the user can enter, the socket itself owner-only.

#include "app/TWInstanceServer.h"

#include "TWTestSupport.h"

#include <QDir>
#include <QLocalSocket>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace
{

mode_t modeOf(const QString &path)
{
    struct stat status = {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode : 0;
}

QProcessEnvironment environment(const QString &runtime, const QString &display,
                                const QString &temporary = {})
{
    QProcessEnvironment env;
    if (!runtime.isEmpty())
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    if (!temporary.isEmpty())
        env.insert(QStringLiteral("TMPDIR"), temporary);
    return env;
}

TEST(InstanceServer, EachDisplayHasItsOwnSocketInTheUsersRuntimeFolder)
{
    TWTestTempDir dir;
    const QString runtime = dir.filePath(QStringLiteral("runtime"));
    ASSERT_TRUE(QDir().mkpath(runtime));
    ASSERT_EQ(::chmod(QFile::encodeName(runtime).constData(), 0700), 0);

    const QString first = TWInstanceServer::defaultName(environment(runtime, QStringLiteral(":0")));
    const QString second =
        TWInstanceServer::defaultName(environment(runtime, QStringLiteral(":12.0")));
    EXPECT_EQ(QFileInfo(first).absolutePath(), QFileInfo(runtime).absoluteFilePath());
    EXPECT_NE(first, second);
    EXPECT_FALSE(QFileInfo(second).fileName().contains(QLatin1Char(':')));
    // Never the shared temporary folder.
    EXPECT_FALSE(first.startsWith(QStringLiteral("/tmp/tallyworth-%1").arg(qgetenv("USER"))));

    // A start on the second display does not reach the first one's instance;
    // one on the first display does.
    TWInstanceServer server;
    ASSERT_TRUE(server.listen(first));
    EXPECT_FALSE(TWInstanceServer::sendPaths(second, {QStringLiteral("/a")}, 300));
    QLocalSocket sameDisplay;
    sameDisplay.connectToServer(first);
    EXPECT_TRUE(sameDisplay.waitForConnected(2000));

    // Only the owner may connect.
    const mode_t mode = modeOf(first);
    EXPECT_TRUE(S_ISSOCK(mode));
    EXPECT_EQ(mode & 077, 0u) << std::oct << mode;
}

TEST(InstanceServer, WithoutARuntimeFolderTheSocketGoesIntoAPrivateFolderOfTheUser)
{
    TWTestTempDir dir;
    const QString temporary = dir.filePath(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkpath(temporary));
    const QString name =
        TWInstanceServer::defaultName(environment({}, QStringLiteral(":3"), temporary));
    ASSERT_FALSE(name.isEmpty());
    const QString folder = QFileInfo(name).absolutePath();
    EXPECT_TRUE(folder.startsWith(QFileInfo(temporary).absoluteFilePath()));
    EXPECT_EQ(modeOf(folder) & 0777, 0700u);

    // A folder of ours left open to others is closed again; a runtime folder
    // that is not ours is not used.
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
    EXPECT_EQ(TWInstanceServer::defaultName(environment({}, QStringLiteral(":3"), temporary)),
              name);
    EXPECT_EQ(modeOf(folder) & 0777, 0700u);
    if (::getuid() != 0) {
        EXPECT_TRUE(TWInstanceServer::privateFolder(QStringLiteral("/")).isEmpty());
    }
    // A link planted in place of the folder is refused.
    const QString planted = dir.filePath(QStringLiteral("planted"));
    ASSERT_TRUE(QFile::link(temporary, planted));
    EXPECT_TRUE(TWInstanceServer::privateFolder(planted).isEmpty());
}

} // namespace
