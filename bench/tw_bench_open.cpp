// Opens a business package the way a window does (the document's reading,
// with what it does around the store's opening: leftovers of cut-off saves
// put back or removed) and closes it again, once, so that the whole process
// can be timed from outside:
//   tw-bench-open PATH
// Measure a Release build.

#include "app/TWBusinessController.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QUrl>

#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: tw-bench-open PATH\n");
        return 2;
    }
    const QUrl url = QUrl::fromLocalFile(QDir::current().absoluteFilePath(argv[1]));
    QElapsedTimer timer;
    timer.start();
    TWBusinessController document;
    TWErrorResult error;
    if (!document.readFromURL(url, &error)) {
        std::fprintf(stderr, "%s\n",
                     error ? error->localizedDescription().toUtf8().constData() : "not opened");
        return 1;
    }
    std::printf("open: %lld ms, %lld transactions\n", static_cast<long long>(timer.elapsed()),
                static_cast<long long>(document.business()->transactions().size()));
    return 0;
}
