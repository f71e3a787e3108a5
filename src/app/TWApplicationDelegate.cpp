#include "app/TWApplicationDelegate.h"

#include "app/TWAboutController.h"
#include "app/TWAlert.h"
#include "app/TWAppLinks.h"
#include "app/TWAppNews.h"
#include "app/TWAppRegistry.h"
#include "app/TWBusinessController.h"
#include "app/TWDocumentController.h"
#include "app/TWDocumentPrompts.h"
#include "app/TWPackageFileDialog.h"
#include "app/TWPackageWorkFolder.h"
#include "app/TWPreferencesController.h"
#include "app/TWSiteRequest.h"

#include "foundation/TWLocalized.h"
#include "model/TWPreferences.h"
#include "store/TWPackageFiles.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

namespace
{

TWApplicationDelegate *g_instance = nullptr;

constexpr int kVersionUpgradeDelay = 500;

// The extensions the transaction import takes.
const QStringList kImportExtensions = {QStringLiteral("csv"), QStringLiteral("txt"),
                                       QStringLiteral("qif"), QStringLiteral("ofx"),
                                       QStringLiteral("qfx")};

} // namespace

TWApplicationDelegate::TWApplicationDelegate(TWDocumentController *documents, QObject *parent)
    : QObject(parent), m_documents(documents)
{
    if (!g_instance)
        g_instance = this;
    connect(m_documents, &TWDocumentController::documentsChanged, this,
            [this] { updateQuitOnLastWindowClosed(); });
}

TWApplicationDelegate::~TWApplicationDelegate()
{
    TWNotificationCenter::defaultCenter().removeObserver(m_preferencesObserver);
    delete m_updateCheckTimer;
    if (m_updateRequest)
        m_updateRequest->cancel();
    delete m_aboutController;
    delete m_preferencesController;
    delete m_statusItem;
    if (m_operationQueue) {
        m_operationQueue->clear();
        m_operationQueue->waitForDone();
    }
    delete m_versionUpgradeWindow;
    if (g_instance == this)
        g_instance = nullptr;
}

TWApplicationDelegate *TWApplicationDelegate::instance()
{
    return g_instance;
}

bool TWApplicationDelegate::isApplicationActive() const
{
    if (m_isActive)
        return m_isActive();
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

// ---- Start-up and shut-down ----

void TWApplicationDelegate::applicationDidFinishLaunching(const QStringList &paths)
{
    if (TWAppRegistry::registry().crashReportingStart)
        TWAppRegistry::registry().crashReportingStart();
    TWPreferences &preferences = TWPreferences::preferences();
    m_operationQueue = std::make_unique<QThreadPool>();
    showMenulet(preferences.showTaskTimerInMenuBar());

    const bool reopen = !applicationShouldOpenUntitledFile();
    if (reopen)
        m_documents->openDocumentWithContentsOfURL(
            QUrl::fromLocalFile(preferences.lastOpenBusinessURL()), true);

    armUpdateCheck();
    TWAppNews::appNews().checkIfNecessary();

    m_preferencesObserver = TWNotificationCenter::defaultCenter().addObserver(
        QStringLiteral("preferences"), nullptr,
        [this](const TWNotification &) { preferencesUpdated(); });
    if (preferences.upgraded())
        QTimer::singleShot(kVersionUpgradeDelay, this, [this] { showVersionUpgradeAlert(); });

    const bool opened = openPaths(paths);
    // Nothing to work on (no last business, or it could not be opened, and
    // no package given): the new-business form.
    if (!opened && m_documents->documents().isEmpty())
        m_documents->openUntitledDocumentAndDisplay(true);
}

bool TWApplicationDelegate::applicationShouldOpenUntitledFile() const
{
    const TWPreferences &preferences = TWPreferences::preferences();
    return !(preferences.openLastBusiness() && !preferences.lastOpenBusinessURL().isEmpty());
}

bool TWApplicationDelegate::openPaths(const QStringList &paths)
{
    bool opened = false;
    // Files given after a business go into it, whether or not its window has
    // come to the front yet (at start it has not).
    QPointer<TWBusinessController> into;
    const auto openBusiness = [this, &opened, &into](const QString &package) {
        m_documents->openDocumentWithContentsOfURL(
            QUrl::fromLocalFile(package), true,
            [this, &opened, &into](TWBusinessController *document, bool, TWErrorResult) {
                if (!document)
                    return;
                opened = true;
                into = document;
                updateActiveDocument(document);
            });
    };
    for (const QString &path : paths) {
        const QFileInfo info(path);
        QWidget *parent = m_active ? m_active->windowForSheet() : nullptr;
        // A business whose replace was cut off before it was back at its
        // name is opened all the same: the opening puts it back and says so,
        // or, where it cannot tell what to put back, says where what is left
        // of the business lies.
        if (!info.exists() && !info.isSymLink() && TWPackageFiles::hasPackageName(path) &&
            (TWPackageWorkFolder::hasReplacement(TWPackageFiles::absolutePath(path)) ||
             !TWPackageWorkFolder::hiddenCopies(TWPackageFiles::absolutePath(path)).isEmpty())) {
            openBusiness(TWPackageFiles::absolutePath(path));
            continue;
        }
        if (!info.exists() && !info.isSymLink()) {
            TWDocumentPrompts::prompts().showMessage(
                TWLocalized("fileMissingMessage").arg(info.fileName()), parent);
            continue;
        }
        if (info.isDir()) {
            openBusiness(TWPackageFiles::absolutePath(path));
            continue;
        }
        // A file inside a business package (its "Data.sql") opens the
        // business, as File > Open of that file does.
        if (const QString package = twPackageInstead(TWPackageFiles::absolutePath(path));
            !package.isEmpty()) {
            openBusiness(package);
            continue;
        }
        if (!openFile(TWPackageFiles::absolutePath(path), into)) {
            TWDocumentPrompts::prompts().showMessage(
                TWLocalized("fileRefusedMessage").arg(info.fileName()), parent);
        }
    }
    return opened;
}

bool TWApplicationDelegate::openFile(const QString &path, TWBusinessController *into)
{
    TWBusinessController *document = into ? into : m_active.data();
    if (!document)
        return false;
    if (document->hasAttachedSheet())
        return true;
    // Import files open only once the transaction import is there.
    if (kImportExtensions.contains(QFileInfo(path).suffix(), Qt::CaseInsensitive) &&
        TWAppRegistry::registry().hasEditor(TWEditorKind::ImportTransactions)) {
        document->importTransactionsURL(QUrl::fromLocalFile(path));
        return true;
    }
    return false;
}

void TWApplicationDelegate::terminate()
{
    if (!m_documents->closeAllDocuments())
        return;
    applicationWillTerminate();
    QCoreApplication::quit();
}

void TWApplicationDelegate::applicationWillTerminate()
{
    TWNotificationCenter::defaultCenter().removeObserver(m_preferencesObserver);
    m_preferencesObserver = 0;
    showMenulet(false);
    TWPreferences::preferences().deleteTempFiles();
}

void TWApplicationDelegate::preferencesUpdated()
{
    if (m_updatingPreferences)
        return;
    m_updatingPreferences = true;
    showMenulet(TWPreferences::preferences().showTaskTimerInMenuBar());
    updateCheckInLine();
    m_updatingPreferences = false;
}

// ---- The active document ----

void TWApplicationDelegate::updateActiveDocument(TWBusinessController *document)
{
    if (!isApplicationActive())
        return;
    if (document == m_active)
        return;
    m_active = document;
    rebuildMenulet();
}

void TWApplicationDelegate::documentWillClose(TWBusinessController *document)
{
    if (!document || document != m_active)
        return;
    m_active = nullptr;
    rebuildMenulet();
}

// ---- Status item ----

void TWApplicationDelegate::updateQuitOnLastWindowClosed()
{
    // With a status item in a tray the process stays for it; without a tray
    // it would stay invisible, so it ends with its last window.
    const bool stays = m_statusItem && QSystemTrayIcon::isSystemTrayAvailable();
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        app->setQuitOnLastWindowClosed(!stays);
}

void TWApplicationDelegate::showMenulet(bool show)
{
    if (show && !m_statusItem) {
        if (!m_statusMenu) {
            m_statusMenu = std::make_unique<QMenu>();
            connect(m_statusMenu.get(), &QMenu::aboutToShow, this,
                    [this] { menuNeedsUpdate(m_statusMenu.get(), TWMenuKind::Status); });
        }
        m_statusItem = new QSystemTrayIcon(this);
        m_statusItem->setToolTip(TWLocalized("menuletTitle"));
        m_statusItem->setContextMenu(m_statusMenu.get());
        rebuildMenulet();
        if (!m_statusItem->icon().isNull())
            m_statusItem->show();
    } else if (!show && m_statusItem) {
        m_statusItem->hide();
        delete m_statusItem;
        m_statusItem = nullptr;
    }
    updateQuitOnLastWindowClosed();
}

void TWApplicationDelegate::rebuildMenulet()
{
    if (!m_statusItem)
        return;
    m_rebuildMenulet = true;
    updateMenuletIcon();
}

void TWApplicationDelegate::updateMenuletIcon()
{
    if (!m_statusItem)
        return;
    const bool running = m_active && m_active->isTaskTimerRunning();
    // A removed item (a preference change while asking) has nothing to set.
    if (!m_statusItem)
        return;
    QIcon icon(running ? QStringLiteral(":/icons/MenuletRecord.png")
                       : QStringLiteral(":/icons/Menulet.png"));
    icon.addFile(running ? QStringLiteral(":/icons/MenuletRecordSelected.png")
                         : QStringLiteral(":/icons/MenuletSelected.png"),
                 QSize(), QIcon::Selected);
    m_statusItem->setIcon(icon);
    m_statusItem->setObjectName(running ? QStringLiteral("MenuletRecord")
                                        : QStringLiteral("Menulet"));
}

// ---- Menus ----

void TWApplicationDelegate::menuNeedsUpdate(QMenu *menu, TWMenuKind kind)
{
    TWBusinessController *current = m_documents->currentDocument();
    switch (kind) {
    case TWMenuKind::Columns:
        if (current)
            twFillListMenu(menu, current->columnMenuItems(), current);
        else
            twFillMenu(menu, twDefaultSortMenuEntries(true));
        break;
    case TWMenuKind::SortBy:
        if (current)
            twFillListMenu(menu, current->sortMenuItems(), current);
        else
            twFillMenu(menu, twDefaultSortMenuEntries(false));
        break;
    case TWMenuKind::ClientMark:
        if (current)
            twFillListMenu(menu, current->clientMarkMenuItems(), current);
        else
            twFillMenu(menu, twDefaultClientMarkMenuEntries());
        break;
    case TWMenuKind::Client: {
        QAction *timer = menu->findChild<QAction *>(QStringLiteral("taskStartStopTimer"));
        if (!timer) {
            timer = new QAction(menu);
            timer->setObjectName(QStringLiteral("taskStartStopTimer"));
            timer->setEnabled(false);
            menu->insertAction(menu->actions().value(0), timer);
        }
        const bool running = current && current->isTaskTimerRunning();
        timer->setText(TWLocalized(running ? "stopTimer" : "startTimer"));
        break;
    }
    case TWMenuKind::Status:
        if (m_rebuildMenulet) {
            if (m_active) {
                m_active->taskTimer()->rebuildTimerMenulet(menu);
            } else {
                menu->clear();
                menu->addAction(TWLocalized("noBusinessOpen"))->setEnabled(false);
            }
            m_rebuildMenulet = false;
        } else if (m_active) {
            m_active->taskTimer()->updateTimerMenulet(menu);
        }
        break;
    }
}

// ---- Small windows and links ----

QUrl TWApplicationDelegate::mailLink(const QString &address, const QString &subject)
{
    const QByteArray link = "mailto:" + QUrl::toPercentEncoding(address, "@") +
                            "?subject=" + QUrl::toPercentEncoding(subject);
    return QUrl::fromEncoded(link, QUrl::StrictMode);
}

bool TWApplicationDelegate::openURL(const QUrl &url)
{
    return m_openURL ? m_openURL(url) : twOpenURL(url);
}

void TWApplicationDelegate::doSupport()
{
    if (!TWAppLinks::supportAddress().isEmpty())
        openURL(mailLink(TWAppLinks::supportAddress(), TWLocalized("tallyworthSupport")));
}

void TWApplicationDelegate::doContact()
{
    if (!TWAppLinks::contactAddress().isEmpty())
        openURL(mailLink(TWAppLinks::contactAddress(), TWLocalized("tallyworth")));
}

void TWApplicationDelegate::doWebsite()
{
    if (!TWAppLinks::website().isEmpty())
        openURL(TWAppLinks::website());
}

void TWApplicationDelegate::doAbout()
{
    if (!m_aboutController)
        m_aboutController = new TWAboutController();
    m_aboutController->showWindow();
}

void TWApplicationDelegate::doPreferences()
{
    if (!m_preferencesController)
        m_preferencesController = new TWPreferencesController();
    m_preferencesController->showWindow();
}

void TWApplicationDelegate::showVersionUpgradeAlert()
{
    if (!m_versionUpgradeWindow) {
        auto *window = new QDialog();
        window->setWindowTitle(TWLocalized("versionUpgradeTitle"));
        window->setWindowModality(Qt::ApplicationModal);
        auto *layout = new QVBoxLayout(window);
        auto *title = new QLabel(TWLocalized("versionUpgradeTitle"), window);
        QFont bold = title->font();
        bold.setBold(true);
        bold.setPointSizeF(bold.pointSizeF() * 1.3);
        title->setFont(bold);
        auto *text = new QLabel(TWLocalized("versionUpgradeMessage"), window);
        text->setWordWrap(true);
        text->setMinimumWidth(380);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, window);
        connect(buttons, &QDialogButtonBox::accepted, window, &QDialog::accept);
        layout->addWidget(title);
        layout->addWidget(text);
        layout->addWidget(buttons);
        m_versionUpgradeWindow = window;
    }
    m_versionUpgradeWindow->show();
    m_versionUpgradeWindow->raise();
}
