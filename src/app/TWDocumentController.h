#pragma once
// The application's documents: makes new businesses from the new-business
// form, opens packages (once each), remembers the last one opened, and saves
// the edited ones on the autosave timer.

#include "app/TWBusinessController.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

class QDialog;
class QTimer;
class TWBusinessInfoEditor;

class TWDocumentController final : public QObject
{
    Q_OBJECT
public:
    using NewCompletion = std::function<void(TWBusinessController *document, TWErrorResult error)>;
    using OpenCompletion =
        std::function<void(TWBusinessController *document, bool alreadyOpen, TWErrorResult error)>;

    explicit TWDocumentController(QObject *parent = nullptr);
    ~TWDocumentController() override;

    // The one controller of the process (nullptr before it is made).
    static TWDocumentController *sharedDocumentController();

    const QList<TWBusinessController *> &documents() const { return m_documents; }
    // The document whose window is in front, else the first one.
    TWBusinessController *currentDocument() const;
    TWBusinessController *documentForURL(const QUrl &url) const;

    // Shows the new-business form (application-modal, not blocking). On
    // Confirmed the store is made from the record and the document shown; on
    // any other code nothing is made and nothing is shown. The completion
    // gets the document, or nullptr with the error (none when cancelled).
    void openUntitledDocumentAndDisplay(bool display, NewCompletion completion = {});
    QDialog *businessInfoWindow() const { return m_businessInfoWindow; }
    TWBusinessInfoEditor *businessInfoEditor() const { return m_businessInfoEditor; }

    // Opens a package, or brings an open one forward. Records the location
    // as the last opened business (cleared when the open fails) and shows a
    // failure.
    void openDocumentWithContentsOfURL(const QUrl &url, bool display,
                                       OpenCompletion completion = {});

    // The menu commands.
    void newDocument() { openUntitledDocumentAndDisplay(true); }
    void openDocument(QWidget *parent);

    // Closes every document as Close would; false when one was kept open.
    bool closeAllDocuments();

    // ---- Autosave ----
    // Follows the "autoSave" preference (minutes; 0 or below: off).
    void updateAutoSaveTimer();
    QTimer *autoSaveTimer() const { return m_autoSaveTimer; }
    qint64 autoSaveMinutes() const { return m_autoSave; }
    // Saves every edited document that has a file.
    void autoSaveTimerFired();
    // The timer's interval for a number of minutes, within what QTimer holds.
    static int autoSaveInterval(qint64 minutes);

signals:
    void documentsChanged();

private:
    void addDocument(TWBusinessController *document);
    void removeDocument(TWBusinessController *document);
    void finishNewBusiness(int code);

    QList<TWBusinessController *> m_documents;
    qint64 m_autoSave = 0;
    QTimer *m_autoSaveTimer = nullptr;
    TWBusinessInfoEditor *m_businessInfoEditor = nullptr;
    QPointer<QDialog> m_businessInfoWindow;
    bool m_newDisplay = true;
    bool m_formOpen = false;
    NewCompletion m_newCompletion;
    TWNotificationCenter::Token m_preferencesObserver = 0;
};
