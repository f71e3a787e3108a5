// The main of every test executable without widgets: an offscreen GUI application
// (images and fonts work, no display needed) in a pinned test environment.

#include "TWTestSupport.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QTemporaryDir home;
    twPrepareTestProcess(home);
    QGuiApplication app(argc, argv);
    twPinTestApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
