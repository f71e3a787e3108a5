#pragma once
// Makes and keeps a document's main window: the source list on the left, the
// detail view on the right, the menu bar, the stored frame and divider.

#include <QMainWindow>
#include <QPointer>
#include <QRect>

class QSplitter;
class QStackedWidget;
class TWBusiness;
class TWBusinessController;

// The document window: closing asks the document first, and becoming or
// ceasing to be the active window is reported to the application delegate.
class TWDocumentWindow final : public QMainWindow
{
    Q_OBJECT
public:
    explicit TWDocumentWindow(TWBusinessController *document);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void storeFrame();

    TWBusinessController *m_document;
};

class TWWindowController final
{
public:
    explicit TWWindowController(TWBusinessController *document);
    ~TWWindowController();
    TWWindowController(const TWWindowController &) = delete;
    TWWindowController &operator=(const TWWindowController &) = delete;

    TWDocumentWindow *window() const { return m_window; }

    // The frame the window takes when it loads (the null rectangle: none).
    const QRect &documentFrame() const { return m_documentFrame; }
    void setDocumentFrame(const QRect &frame) { m_documentFrame = frame; }
    // The stored frame when it lies wholly on the screen, else the screen's
    // whole available area.
    void windowDidLoad();
    static QRect frameForScreen(const QRect &stored, const QRect &available);

    // Puts the divider where the store has it; from then on divider moves
    // are stored.
    void restoreLayout(TWBusiness *business);
    bool isRestored() const { return m_restored; }
    // Shows `view` as the detail (nullptr: none); views stay their
    // controllers'.
    void setDetailView(QWidget *view);
    QWidget *detailView() const;
    QWidget *masterView() const { return m_master; }

private:
    TWBusinessController *m_document;
    QPointer<TWDocumentWindow> m_window;
    QSplitter *m_splitter = nullptr;
    QWidget *m_master = nullptr;
    QStackedWidget *m_detail = nullptr;
    QRect m_documentFrame;
    bool m_restored = false;
};
