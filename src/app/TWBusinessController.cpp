#include "app/TWBusinessController.h"

#include "app/TWApplicationDelegate.h"
#include "app/TWDateRangeController.h"
#include "app/TWDocumentPrompts.h"
#include "app/TWMasterController.h"
#include "app/TWWindowController.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWNotificationCenter.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QPrinter>
#include <QThreadPool>

namespace
{

std::function<bool()> &activeQuery()
{
    static std::function<bool()> query;
    return query;
}

} // namespace

TWBusinessController::TWBusinessController(QObject *parent)
    : QObject(parent), m_operationQueue(std::make_unique<QThreadPool>())
{
    m_taskTimer = TWAppRegistry::registry().makeTaskTimer(this);
    m_taskTimer->setParent(this);
}

TWBusinessController::~TWBusinessController()
{
    stopObserving();
    if (m_printCancel)
        *m_printCancel = true;
    m_operationQueue->clear();
    m_operationQueue->waitForDone();
    m_operationQueue.reset();
    for (Sheet &sheet : m_sheets)
        if (sheet.window)
            delete sheet.window;
    m_sheets.clear();
    releaseControllers();
    m_windowController.reset();
    m_business.reset();
}

void TWBusinessController::setApplicationActiveQuery(std::function<bool()> query)
{
    activeQuery() = std::move(query);
}

bool TWBusinessController::isApplicationActive()
{
    if (activeQuery())
        return activeQuery()();
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

void TWBusinessController::setBusiness(std::unique_ptr<TWBusiness> business)
{
    m_business = std::move(business);
}

TWErrorResult TWBusinessController::createWithBusinessInfo(const TWBusinessInfoPtr &info)
{
    TWErrorResult error;
    m_business = TWBusiness::businessWithBusinessInfo(info, &error);
    updateChangeCount(0);
    return error;
}

QString TWBusinessController::displayName() const
{
    if (!m_displayName.isEmpty())
        return m_displayName;
    if (!m_fileURL.isEmpty())
        return QFileInfo(m_fileURL.toLocalFile()).completeBaseName();
    return TWLocalized("untitled");
}

void TWBusinessController::setDisplayName(const QString &name)
{
    m_displayName = name;
    updateTitle();
}

void TWBusinessController::setFileURL(const QUrl &url)
{
    m_fileURL = url;
    // The file's own name names the document from now on.
    m_displayName.clear();
    updateTitle();
    emit fileURLChanged();
}

void TWBusinessController::updateChangeCount(int change)
{
    const bool edited = change == 0;
    if (edited == m_edited)
        return;
    m_edited = edited;
    updateTitle();
    emit changeCountChanged();
}

void TWBusinessController::updateTitle()
{
    if (QMainWindow *window = windowForSheet()) {
        window->setWindowTitle(displayName() + QStringLiteral("[*]"));
        window->setWindowModified(m_edited);
    }
}

void TWBusinessController::presentError(const TWError &error)
{
    TWDocumentPrompts::prompts().showError(error, windowForSheet());
}

// ---- The window ----

void TWBusinessController::makeWindowControllers()
{
    if (m_windowController)
        return;
    m_windowController = std::make_unique<TWWindowController>(this);
    m_windowController->setDocumentFrame(m_business ? m_business->documentFrame().toRect()
                                                    : QRect());
    m_windowController->windowDidLoad();
    if (TWAppRegistry::registry().rateCheck)
        TWAppRegistry::registry().rateCheck(*this);
    initUI();
    updateTitle();
}

void TWBusinessController::showWindows()
{
    if (!m_windowController)
        makeWindowControllers();
    QMainWindow *window = windowForSheet();
    window->show();
    window->raise();
    window->activateWindow();
}

QMainWindow *TWBusinessController::windowForSheet() const
{
    return m_windowController ? m_windowController->window() : nullptr;
}

bool TWBusinessController::isTaskTimerRunning() const
{
    return m_taskTimer && m_taskTimer->isTaskTimerRunning();
}

QPrinter &TWBusinessController::printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}
