#pragma once
// Makes and keeps a document's main window: the source list on the left, the
// detail view on the right, the menu bar, the stored frame and divider.

#include <QMainWindow>
#include <QPointer>
#include <QRect>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QToolButton;
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

// The 30-pixel bar under the split view; its controls are placed by the
// document, again whenever the bar changes size.
class TWDetailBar final : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
    static constexpr int kHeight = 30;

signals:
    void resized();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

// The add/delete pair of the bar: segment 0 adds, segment 1 deletes.
class TWAddDeleteControl final : public QWidget
{
    Q_OBJECT
public:
    explicit TWAddDeleteControl(QWidget *parent = nullptr);
    QToolButton *segment(int index) const { return index == 0 ? m_add : m_delete; }
    void setSegmentEnabled(int index, bool enabled);
    bool isSegmentEnabled(int index) const;

signals:
    void segmentClicked(int index);

private:
    QToolButton *m_add;
    QToolButton *m_delete;
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
    void setRestored(bool restored) { m_restored = restored; }
    // A stored divider position that is no number, negative or beyond any
    // screen gives the default.
    static double validDividerPosition(double stored);
    // The source list's view.
    void setMasterView(QWidget *view);
    QSplitter *splitter() const { return m_splitter; }
    QStackedWidget *detailPane() const { return m_detail; }
    // Shows `view` as the detail (nullptr: none); views stay their
    // controllers'.
    void setDetailView(QWidget *view);
    QWidget *detailView() const;
    QWidget *masterView() const { return m_master; }

    // The bar and the window's search field, and the source list's add and delete buttons.
    TWDetailBar *bar() const { return m_bar; }
    QLineEdit *searchField() const { return m_searchField; }
    QToolButton *addMasterButton() const { return m_addMasterButton; }
    QToolButton *deleteMasterButton() const { return m_deleteMasterButton; }
    TWAddDeleteControl *addDeleteControl() const { return m_addDelete; }
    QComboBox *rangePopUp() const { return m_rangePopUp; }
    QPushButton *resetButton() const { return m_resetButton; }
    QPushButton *refreshButton() const { return m_refreshButton; }
    QLabel *countLabel() const { return m_countLabel; }
    QLabel *totalLabel() const { return m_totalLabel; }
    // The detail pane's frame in the bar's coordinates.
    QRect detailFrameInBar() const;

private:
    void buildBar();

    TWBusinessController *m_document;
    QPointer<TWDocumentWindow> m_window;
    QSplitter *m_splitter = nullptr;
    QWidget *m_master = nullptr;
    QStackedWidget *m_detail = nullptr;
    TWDetailBar *m_bar = nullptr;
    QLineEdit *m_searchField = nullptr;
    QToolButton *m_addMasterButton = nullptr;
    QToolButton *m_deleteMasterButton = nullptr;
    TWAddDeleteControl *m_addDelete = nullptr;
    QComboBox *m_rangePopUp = nullptr;
    QPushButton *m_resetButton = nullptr;
    QPushButton *m_refreshButton = nullptr;
    QLabel *m_countLabel = nullptr;
    QLabel *m_totalLabel = nullptr;
    QRect m_documentFrame;
    bool m_restored = false;
};
