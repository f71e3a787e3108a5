// The main of test executables with widget suites: the same environment as the
// plain test main, with a QApplication so that windows and dialogs work.

#include "TWTestSupport.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QTemporaryDir home;
    twPrepareTestProcess(home);
    QApplication app(argc, argv);
    twPinTestApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
