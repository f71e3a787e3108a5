// Starts Tallyworth: hands the paths to an instance that is already running,
// or becomes the instance, registers the pieces of the user interface and
// runs the application.

#include "app/TWAppRegistry.h"
#include "app/TWApplicationDelegate.h"
#include "app/TWBusinessController.h"
#include "app/TWDateEdit.h"
#include "app/TWDocumentController.h"
#include "app/TWInstanceServer.h"
#include "app/TWWheelGuard.h"
#include "crashreporting/Kitbase.h"
#include "crashreporting/Mishap.h"
#include "crashreporting/reports/MSHCrashReportingController.h"
#include "export/core/TWExportPrint.h"
#include "export/ui/TWExportUI.h"
#include "foundation/TWLocalZone.h"
#include "foundation/TWSQLitePageCache.h"
#include "import/ui/TWImportUI.h"
#include "invoicing/ui/TWInvoicing.h"
#include "ledger/TWLedger.h"
#include "model/TWNumberFormatter.h"
#include "reports/ui/TWReportsUI.h"
#include "store/TWPackageFiles.h"
#include "work/TWWork.h"

#include <QApplication>
#include <QIcon>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

int main(int argc, char **argv)
{
    // Before anything starts SQLite.
    TWSQLitePageCache::install();
    // Before any thread runs: each conversion to local time then costs what it costs with TZ
    // set, and a change of the system's zone is seen from the next event on.
    TWLocalZone::install();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tallyworth"));
    QCoreApplication::setApplicationName(QStringLiteral("Tallyworth"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TW_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("tallyworth"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/tallyworth.png")));
    // A scroll over a form never changes a value on the way.
    TWWheelGuard::install();
    // Table cells holding dates read typed text as every date field does.
    TWInstallDateEditorFactory();
    // A keystroke a number field refuses is heard.
    TWNumberFormatter::setBeepHandler([] { QApplication::beep(); });

    // Made absolute here, since a running instance has another working
    // folder; a ".." after a link is taken as the system takes it.
    QStringList paths;
    for (const QString &argument : app.arguments().mid(1))
        paths.append(TWPackageFiles::absolutePath(argument));

    const QString name = TWInstanceServer::defaultName();
    if (TWInstanceServer::sendPaths(name, paths, 1000))
        return 0;
    TWInstanceServer server;
    server.listen(name);

    // The pieces of the user interface register their views and editors in
    // TWAppRegistry::registry() here; what is not registered shows its interim.
    twRegisterLedger();
    twRegisterExportUI();
    twRegisterImportUI();
    twRegisterReportsUI();
    twRegisterWork();
    twRegisterInvoicing();
    TWAppRegistry::registry().registerPrintTable = [](const TWRegisterPrintRequest &request) {
        auto table = std::make_shared<const TWExportPrint::Table>(
            TWExportPrint::registerTable(request.business, request.transactions, request.fields,
                                         request.attachmentFileNames, request.title));
        TWRegisterPrintJob job;
        job.pdf = [table](const QPageLayout &layout, const TWRegisterPrintJob::Progress &progress) {
            return TWExportPrint::tablePDF(*table, layout, progress);
        };
        job.fits = [table](const QPageLayout &layout) {
            return TWExportPrint::fitsWithoutShortening(*table, layout);
        };
        return job;
    };

    TWAppRegistry::registry().crashReportingStart = [] {
        MSHSetPermissionPrompt([](const MSHPermissionPromptTexts &texts,
                                  std::function<void(MSHPromptAnswer)> answer) {
            auto *box = new QMessageBox(QMessageBox::Question, texts.title, texts.title);
            box->setInformativeText(texts.message);
            box->setAttribute(Qt::WA_DeleteOnClose);
            QPushButton *send = box->addButton(texts.sendTitle, QMessageBox::AcceptRole);
            QPushButton *always = texts.alwaysSendTitle.isEmpty()
                                      ? nullptr
                                      : box->addButton(texts.alwaysSendTitle, QMessageBox::YesRole);
            box->addButton(texts.cancelTitle, QMessageBox::RejectRole);
            QObject::connect(box, &QMessageBox::finished, box, [box, send, always, answer] {
                QAbstractButton *clicked = box->clickedButton();
                answer(clicked == send                ? MSHPromptAnswer::Send
                       : clicked && clicked == always ? MSHPromptAnswer::AlwaysSend
                                                      : MSHPromptAnswer::Cancel);
            });
            box->open();
        });
        Kitbase::with({&Mishap::sharedInstance()});
    };

    TWDocumentController documents;
    TWApplicationDelegate delegate(&documents);
    QObject::connect(&server, &TWInstanceServer::pathsReceived, &delegate,
                     [&delegate, &documents](const QStringList &handed) {
                         if (!handed.isEmpty()) {
                             delegate.openPaths(handed);
                             return;
                         }
                         // Started again without paths: bring a window forward.
                         if (TWBusinessController *current = documents.currentDocument())
                             current->showWindows();
                         else
                             documents.openUntitledDocumentAndDisplay(true);
                     });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationWillTerminate(); });
    QTimer::singleShot(0, &delegate,
                       [&delegate, paths] { delegate.applicationDidFinishLaunching(paths); });
    return app.exec();
}
