// The main of every test executable: an offscreen GUI application (images and
// fonts work, no display needed), the locale pinned to en_US, and the user's
// settings redirected into a temporary folder so no test touches real ones.

#include <QGuiApplication>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
    QStandardPaths::setTestModeEnabled(true);

    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("TallyworthTests"));
    QCoreApplication::setApplicationName(QStringLiteral("TallyworthTests"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
