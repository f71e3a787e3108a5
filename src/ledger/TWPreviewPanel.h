#pragma once
// The one preview window of the application. It shows the attachments of
// whoever controls it (the register or a transaction's attachments strip):
// images, PDF documents, text, recordings with a player, and anything else as
// its icon, name and size. The arrow keys move through the items.
//
// Control passes through the document: a view that wants the window becomes
// the document's TWBusinessControllerDelegate and calls
// makeKeyAndOrderFront(document); the document then hands the window over
// (beginPreviewPanelControl), and the delegate sets itself as data source.
// When the window closes, or another document takes it, the previous
// document's delegate is told (endPreviewPanelControl).

#include "app/TWBusinessController.h"
#include "model/TWAttachment.h"

#include <QPointer>
#include <QWidget>

class QKeyEvent;
class QLabel;
class QMediaPlayer;
class QAudioOutput;
class QPdfDocument;
class QPdfView;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QStackedWidget;
class TWPreviewPanel;

// Where the window's items come from.
class TWPreviewPanelDataSource
{
public:
    virtual ~TWPreviewPanelDataSource() = default;
    virtual int numberOfPreviewItems(TWPreviewPanel *panel) = 0;
    // Null for an index out of range.
    virtual TWAttachmentPtr previewItemAtIndex(TWPreviewPanel *panel, int index) = 0;
};

// Optional hooks of whoever controls the window.
class TWPreviewPanelDelegate
{
public:
    virtual ~TWPreviewPanelDelegate() = default;
    // A key pressed in the window; true when handled, so the window does not
    // act on it itself.
    virtual bool previewPanelHandleKey(TWPreviewPanel *, QKeyEvent *) { return false; }
};

class TWPreviewPanel : public QWidget
{
    Q_OBJECT
public:
    // What the window shows for the current item.
    enum ContentKind {
        ContentNone = 0, // no item
        ContentImage = 1,
        ContentPdf = 2,
        ContentText = 3,
        ContentAudio = 4,
        ContentIcon = 5, // icon, name and size: a kind it cannot show, or a missing file
    };

    // The shared window, made on first use (main thread only).
    static TWPreviewPanel *sharedPreviewPanel();
    static bool sharedPreviewPanelExists();
    // Closes and deletes the shared window (at quit, and between tests).
    static void releaseSharedPreviewPanel();

    ~TWPreviewPanel() override;

    TWPreviewPanelDataSource *dataSource() const { return m_dataSource; }
    // Setting a data source reloads the items.
    void setDataSource(TWPreviewPanelDataSource *dataSource);
    TWPreviewPanelDelegate *previewDelegate() const { return m_delegate; }
    void setPreviewDelegate(TWPreviewPanelDelegate *delegate) { m_delegate = delegate; }
    // A controller going away: wherever it is the data source, the window's
    // delegate or the document delegate holding control, it is forgotten (and
    // the window closes when it held control). Null arguments are skipped.
    void forgetController(TWBusinessControllerDelegate *controlDelegate,
                          TWPreviewPanelDataSource *dataSource, TWPreviewPanelDelegate *delegate);

    // The document whose delegate controls the window; null when none does.
    TWBusinessController *currentController() const { return m_controller; }
    // Hands control to `controller`'s delegate (ending the previous document's
    // control), then shows, raises and activates the window. Nothing happens
    // when the document has no delegate to take it.
    void makeKeyAndOrderFront(TWBusinessController *controller);
    // Hides the window and ends the document's control.
    void orderOut();
    bool isShown() const { return isVisible(); }

    // Asks the data source again, keeping the current index where it can.
    void reloadData();
    int numberOfPreviewItems() const { return m_count; }
    // -1 with no items.
    int currentPreviewItemIndex() const { return m_index; }
    // Clamped into the items; shows that item.
    void setCurrentPreviewItemIndex(int index);
    TWAttachmentPtr currentPreviewItem() const { return m_item; }
    void selectNextItem();
    void selectPreviousItem();

    ContentKind contentKind() const { return m_kind; }
    // The player of a recording (null until one is shown).
    QMediaPlayer *player() const { return m_player; }
    QPdfDocument *pdfDocument() const { return m_pdf; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    TWPreviewPanel();
    void showCurrentItem();
    void showIcon(const TWAttachment &attachment, const QString &reason);
    bool showImage(const QString &path);
    bool showPdf(const QString &path);
    bool showText(const QString &path);
    void showAudio(const QString &path);
    void stopPlayer();
    void updateImage();
    void updateAudioTime();
    void endControl();

    TWPreviewPanelDataSource *m_dataSource = nullptr;
    TWPreviewPanelDelegate *m_delegate = nullptr;
    QPointer<TWBusinessController> m_controller;
    // The document delegate that was handed control, told when it ends.
    TWBusinessControllerDelegate *m_controlDelegate = nullptr;
    int m_count = 0;
    int m_index = -1;
    TWAttachmentPtr m_item;
    ContentKind m_kind = ContentNone;

    QLabel *m_titleLabel = nullptr;
    QLabel *m_countLabel = nullptr;
    QStackedWidget *m_stack = nullptr;
    QLabel *m_emptyLabel = nullptr;
    QLabel *m_imageLabel = nullptr;
    QPdfView *m_pdfView = nullptr;
    QPdfDocument *m_pdf = nullptr;
    QPlainTextEdit *m_textView = nullptr;
    QWidget *m_audioView = nullptr;
    QPushButton *m_playButton = nullptr;
    QLabel *m_audioTimeLabel = nullptr;
    QWidget *m_iconView = nullptr;
    QLabel *m_iconLabel = nullptr;
    QLabel *m_iconNameLabel = nullptr;
    QLabel *m_iconDetailLabel = nullptr;
    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_audioOutput = nullptr;
    QImage m_image;
};
