#pragma once
// What exists once per process: the start-up and shut-down, the reaction to
// preference changes, the task-timer status item, the menus filled when they
// open, the active document, and files handed in from outside.

#include "app/TWMenus.h"
#include "foundation/TWNotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>

class QDialog;
class QMenu;
class QSystemTrayIcon;
class QThreadPool;
class QTimer;
class TWAboutController;
class TWBusinessController;
class TWDocumentController;
class TWPreferencesController;
class TWSiteRequest;

class TWApplicationDelegate final : public QObject
{
    Q_OBJECT
public:
    explicit TWApplicationDelegate(TWDocumentController *documents, QObject *parent = nullptr);
    ~TWApplicationDelegate() override;

    // The delegate of the process (nullptr before it is made).
    static TWApplicationDelegate *instance();

    // Start-up, in order; then the paths given on the command line. Opens the
    // new-business form when nothing else opened.
    void applicationDidFinishLaunching(const QStringList &paths = {});
    // NO when the last business is to be reopened.
    bool applicationShouldOpenUntitledFile() const;
    // Taken in order: packages (folders) open as documents, and the files
    // after one go into it; other files go through the open-file rule, and
    // one it refuses, or a path where nothing is, gets a message. Answers
    // whether a document was opened.
    bool openPaths(const QStringList &paths);
    // The open-file rule: whether the file was taken, into `into` or else the
    // active document.
    bool openFile(const QString &path, TWBusinessController *into = nullptr);
    // Closes every document as Close does, then quits (unless one stayed).
    void terminate();
    // Shut-down: observers off, the status item gone, temporary files removed.
    void applicationWillTerminate();

    void preferencesUpdated();

    // The document whose window is in front (ignored while the application
    // is not active).
    void updateActiveDocument(TWBusinessController *document);
    // A closing document stops being the active one, active or not.
    void documentWillClose(TWBusinessController *document);
    TWBusinessController *activeBusinessController() const { return m_active; }

    // ---- Status item ----
    void showMenulet(bool show);
    void rebuildMenulet();
    void updateMenuletIcon();
    QSystemTrayIcon *statusItem() const { return m_statusItem; }
    QMenu *statusMenu() const { return m_statusMenu.get(); }
    bool needsMenuletRebuild() const { return m_rebuildMenulet; }

    void menuNeedsUpdate(QMenu *menu, TWMenuKind kind);

    // ---- Update check (TWApplicationDelegate+Update.cpp) ----
    // Arms the weekly check when the preference is on (start-up).
    void armUpdateCheck();
    // Sends one request for the update file unless one is running.
    void checkForUpdate();
    // The update file arrived: offers a newer version that was not skipped.
    void checkForUpdateMain(const QByteArray &data);
    // The weekly timer fired: checks and arms the next one.
    void updateCheckTimer();
    bool isUpdateCheckArmed() const { return m_updateCheckTimer != nullptr; }
    // Milliseconds until the armed check; -1 when none is armed.
    int updateCheckInterval() const;
    bool checkingForUpdate() const { return m_checkingForUpdate; }

    // ---- Small windows and links ----
    void doAbout();
    void doPreferences();
    TWAboutController *aboutController() const { return m_aboutController; }
    TWPreferencesController *preferencesController() const { return m_preferencesController; }
    void doSupport();
    void doContact();
    void doWebsite();
    void showVersionUpgradeAlert();
    QDialog *versionUpgradeWindow() const { return m_versionUpgradeWindow; }
    // Where the links go (the desktop's handler unless a test set another).
    void setURLOpener(std::function<bool(const QUrl &)> opener) { m_openURL = std::move(opener); }
    static QUrl mailLink(const QString &address, const QString &subject);

    // Whether the application is in front; replaceable for tests.
    void setApplicationActiveQuery(std::function<bool()> query) { m_isActive = std::move(query); }
    bool isApplicationActive() const;

private:
    void updateQuitOnLastWindowClosed();
    void scheduleUpdateCheck(const QDateTime &date);
    void updateCheckInLine();
    bool openURL(const QUrl &url);

    TWDocumentController *m_documents;
    std::unique_ptr<QThreadPool> m_operationQueue;
    QPointer<TWBusinessController> m_active;
    QSystemTrayIcon *m_statusItem = nullptr;
    std::unique_ptr<QMenu> m_statusMenu;
    QPointer<QDialog> m_versionUpgradeWindow;
    bool m_rebuildMenulet = false;
    bool m_updatingPreferences = false;
    TWNotificationCenter::Token m_preferencesObserver = 0;
    std::function<bool(const QUrl &)> m_openURL;
    std::function<bool()> m_isActive;
    QTimer *m_updateCheckTimer = nullptr;
    TWSiteRequest *m_updateRequest = nullptr;
    bool m_checkingForUpdate = false;
    // Made on first use, kept until the delegate goes.
    TWAboutController *m_aboutController = nullptr;
    TWPreferencesController *m_preferencesController = nullptr;
};
