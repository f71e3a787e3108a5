#pragma once
// The start every benchmark of a view shares: an application on the offscreen
// platform (unless QT_QPA_PLATFORM names another) and the generated business of
// "--transactions N", its attachment files in a folder removed at exit.

#include "TWBenchBusiness.h"

#include <QApplication>
#include <QTemporaryDir>

#include <memory>

class TWBenchWidgetsMain
{
public:
    TWBenchWidgetsMain(int &argc, char **argv) : m_app(offscreenByDefault(argc), argv)
    {
        if (m_folder.isValid())
            m_business = twBenchBusinessFromArguments(argc, argv, 1,
                                                      m_folder.filePath(QStringLiteral("files")));
    }

    // Null (with a message on stderr when generating failed) when there is none.
    TWBusiness *business() const { return m_business.get(); }
    // A temporary folder removed at exit (the attachment files are in its "files").
    const QTemporaryDir &folder() const { return m_folder; }

private:
    // Set before the application is made, so it is read.
    static int &offscreenByDefault(int &argc)
    {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return argc;
    }

    QApplication m_app;
    QTemporaryDir m_folder;
    std::unique_ptr<TWBusiness> m_business;
};
