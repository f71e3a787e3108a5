#include "app/TWDocumentController.h"

#include "app/TWDocumentPrompts.h"
#include "app/TWPackageMoves.h"

#include "foundation/TWLocalized.h"
#include "model/TWPreferences.h"
#include "store/TWBusiness.h"
#include "store/TWPackageFiles.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>

namespace
{

TWDocumentController *g_shared = nullptr;

// Why the folder at `url` is not opened as a business: a folder not named as
// a package is the user's own, whatever it holds (a "Data.sql" copied out of
// a package would make its next save write settings and attachments there).
TWErrorResult plainFolderRefusal(const QUrl &url)
{
    const QString path = url.toLocalFile();
    if (path.isEmpty() || !QFileInfo(path).isDir() || TWPackageFiles::isPackage(path))
        return std::nullopt;
    return TWError(TWPackageErrorDomain, TWPackagePlainFolderError,
                   TWLocalized("openPlainFolderDescription").arg(path));
}

} // namespace

TWDocumentController::TWDocumentController(QObject *parent) : QObject(parent)
{
    if (!g_shared)
        g_shared = this;
    updateAutoSaveTimer();
    m_preferencesObserver = TWNotificationCenter::defaultCenter().addObserver(
        QStringLiteral("preferences"), nullptr,
        [this](const TWNotification &) { updateAutoSaveTimer(); });
}

TWDocumentController::~TWDocumentController()
{
    TWNotificationCenter::defaultCenter().removeObserver(m_preferencesObserver);
    delete m_autoSaveTimer;
    const QList<TWBusinessController *> documents = m_documents;
    m_documents.clear();
    qDeleteAll(documents);
    delete m_businessInfoWindow;
    if (g_shared == this)
        g_shared = nullptr;
}

TWDocumentController *TWDocumentController::sharedDocumentController()
{
    return g_shared;
}

TWBusinessController *TWDocumentController::currentDocument() const
{
    for (TWBusinessController *document : m_documents)
        if (QMainWindow *window = document->windowForSheet())
            if (window->isActiveWindow())
                return document;
    return m_documents.isEmpty() ? nullptr : m_documents.constFirst();
}

TWBusinessController *TWDocumentController::documentForURL(const QUrl &url) const
{
    const QString wanted = TWPackageFiles::resolvedPath(url.toLocalFile());
    // Known by the package it holds, never by name: a package renamed since
    // it was opened is still that document's, and a name it had may lead to
    // another business now.
    for (TWBusinessController *document : m_documents)
        if (document->business() && document->business()->isOwnPackage(wanted))
            return document;
    return nullptr;
}

void TWDocumentController::addDocument(TWBusinessController *document)
{
    document->setParent(this);
    m_documents.append(document);
    connect(document, &TWBusinessController::documentClosed, this,
            [this](TWBusinessController *closed) { removeDocument(closed); });
    emit documentsChanged();
}

void TWDocumentController::removeDocument(TWBusinessController *document)
{
    if (!m_documents.removeOne(document))
        return;
    emit documentsChanged();
    // Released once the close has finished with it.
    document->deleteLater();
}

// ---- New business ----

void TWDocumentController::openUntitledDocumentAndDisplay(bool display, NewCompletion completion)
{
    if (!m_businessInfoEditor) {
        m_businessInfoEditor = TWAppRegistry::registry().makeBusinessInfoEditor(this);
        m_businessInfoEditor->setMode(TWEditorMode::New);
        connect(m_businessInfoEditor, &TWEditorController::endRequested, this,
                [this](int code) { finishNewBusiness(code); });
    }
    if (!m_businessInfoWindow) {
        auto *window =
            new QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
        window->setWindowTitle(TWLocalized("newBusiness"));
        window->setWindowModality(Qt::ApplicationModal);
        auto *layout = new QVBoxLayout(window);
        layout->setSizeConstraint(QLayout::SetFixedSize);
        layout->addWidget(m_businessInfoEditor->view());
        // Escape or the window manager's close: a cancel.
        connect(window, &QDialog::rejected, this,
                [this] { finishNewBusiness(sheetReturnCode(TWSheetResult::Cancelled)); });
        m_businessInfoWindow = window;
    }
    if (m_businessInfoWindow->isVisible()) {
        m_businessInfoWindow->raise();
        m_businessInfoWindow->activateWindow();
        return;
    }
    m_newDisplay = display;
    m_newCompletion = std::move(completion);
    m_formOpen = true;
    m_businessInfoEditor->reset();
    // Application-modal: open() would make it modal to a window only.
    m_businessInfoWindow->show();
    m_businessInfoWindow->raise();
    m_businessInfoWindow->activateWindow();
}

void TWDocumentController::finishNewBusiness(int code)
{
    if (!m_formOpen)
        return;
    m_formOpen = false;
    NewCompletion completion = std::move(m_newCompletion);
    m_newCompletion = nullptr;
    if (m_businessInfoWindow && m_businessInfoWindow->isVisible())
        m_businessInfoWindow->hide();
    if (code != TWSheetResult::Confirmed) {
        if (completion)
            completion(nullptr, std::nullopt);
        return;
    }
    const TWBusinessInfoPtr info = m_businessInfoEditor->businessInfo();
    auto document = std::make_unique<TWBusinessController>();
    if (TWErrorResult error = document->createWithBusinessInfo(info)) {
        TWDocumentPrompts::prompts().showError(*error, nullptr);
        if (completion)
            completion(nullptr, error);
        return;
    }
    if (info && !info->name().isEmpty())
        document->setDisplayName(info->name());
    TWBusinessController *made = document.release();
    addDocument(made);
    if (m_newDisplay) {
        made->makeWindowControllers();
        made->showWindows();
    }
    if (completion)
        completion(made, std::nullopt);
}

// ---- Open ----

void TWDocumentController::openDocument(QWidget *parent)
{
    const QString path = TWDocumentPrompts::prompts().chooseOpenLocation(parent);
    if (!path.isEmpty())
        openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true);
}

void TWDocumentController::openDocumentWithContentsOfURL(const QUrl &url, bool display,
                                                         OpenCompletion completion)
{
    TWPreferences &preferences = TWPreferences::preferences();
    if (TWBusinessController *open = documentForURL(url)) {
        if (display)
            open->showWindows();
        preferences.setLastOpenBusinessURL(open->fileURL().toLocalFile());
        if (completion)
            completion(open, true, std::nullopt);
        return;
    }
    auto document = std::make_unique<TWBusinessController>();
    TWErrorResult error = plainFolderRefusal(url);
    if (error || !document->readFromURL(url, &error)) {
        // A later start-up opens the new-business form instead.
        preferences.setLastOpenBusinessURL(QString());
        if (error)
            TWDocumentPrompts::prompts().showError(*error, nullptr);
        if (completion)
            completion(nullptr, false, error);
        return;
    }
    TWBusinessController *opened = document.release();
    addDocument(opened);
    preferences.setLastOpenBusinessURL(opened->fileURL().toLocalFile());
    if (display) {
        opened->makeWindowControllers();
        opened->showWindows();
    }
    if (completion)
        completion(opened, false, std::nullopt);
}

bool TWDocumentController::closeAllDocuments()
{
    const QList<TWBusinessController *> documents = m_documents;
    for (TWBusinessController *document : documents) {
        if (!document->canClose())
            return false;
        document->close();
    }
    return true;
}

// ---- Autosave ----

int TWDocumentController::autoSaveInterval(qint64 minutes)
{
    constexpr qint64 limit = std::numeric_limits<int>::max();
    if (minutes <= 0)
        return 0;
    if (minutes > limit / 60000)
        return int(limit);
    return int(minutes * 60000);
}

void TWDocumentController::updateAutoSaveTimer()
{
    qint64 minutes = TWPreferences::preferences().autoSave();
    if (minutes < 0)
        minutes = 0;
    if (minutes == m_autoSave)
        return;
    delete m_autoSaveTimer;
    m_autoSaveTimer = nullptr;
    if (minutes != 0) {
        m_autoSaveTimer = new QTimer(this);
        m_autoSaveTimer->setInterval(autoSaveInterval(minutes));
        connect(m_autoSaveTimer, &QTimer::timeout, this, [this] { autoSaveTimerFired(); });
        m_autoSaveTimer->start();
    }
    m_autoSave = minutes;
}

void TWDocumentController::autoSaveTimerFired()
{
    const QList<TWBusinessController *> documents = m_documents;
    for (TWBusinessController *document : documents)
        document->autoSave();
}
