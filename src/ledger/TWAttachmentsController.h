#pragma once
// The attachments strip of the transaction editor: the transaction's files,
// photos and voice memos as a row of items, with adding (camera, camera or
// scanner, voice memo, files chosen or dropped), reordering by dragging,
// dragging out as files, deleting and the preview window. It changes only the
// transaction it is given (the editor's working copy); the editor saves, and
// hands the removed attachments to the store (`deletedAttachments`).

#include "app/TWBusinessController.h"
#include "app/TWLazyViewController.h"
#include "app/TWListViews.h"
#include "foundation/TWError.h"
#include "ledger/TWAudioRecordController.h"
#include "ledger/TWCameraSheet.h"
#include "ledger/TWDeviceController.h"
#include "ledger/TWPreviewPanel.h"
#include "model/TWAttachment.h"
#include "model/TWTransaction.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class QMenu;
class QMimeData;
class QToolButton;
class TWAttachmentsModel;
class TWBusiness;

// The MIME type of attachments dragged inside the strip.
inline const QString TWAttachmentDragType = QStringLiteral("application/x-tallyworth-attachment");

class TWAttachmentsController : public TWLazyViewController<QObject>,
                                public TWCollectionViewDelegate,
                                public TWBusinessControllerDelegate,
                                public TWPreviewPanelDataSource,
                                public TWPreviewPanelDelegate,
                                public TWDeviceControllerDelegate
{
    Q_OBJECT
public:
    // The add commands (add button menu and context menu).
    enum AddTag : int {
        AddTagCamera = 0,    // a photo from the camera
        AddTagDevice = 1,    // files from a camera or scans from a scanner
        AddTagVoiceMemo = 2, // a recording from a microphone
        AddTagFile = 3,      // files chosen in a file dialog
    };

    // A file dialog stand-in for tests: gets the window and answers the chosen
    // files (empty: cancelled). Empty puts the window-modal file dialog back.
    using FileChooser = std::function<void(QWidget *window, std::function<void(QStringList)>)>;
    static void setFileChooser(FileChooser chooser);

    explicit TWAttachmentsController(QObject *parent = nullptr);
    ~TWAttachmentsController() override;

    // view() is the strip, which the editor embeds.
    bool isViewLoaded() const { return m_view != nullptr; }
    TWCollectionView *collectionView() const { return m_collectionView; }
    QToolButton *addButton() const { return m_addButton; }
    QToolButton *deleteButton() const { return m_deleteButton; }
    TWAttachmentsModel *model() const { return m_model; }

    // The capture sheets of tags 0 to 2, made on first use over the
    // platform's devices and reused; tests put in sheets over fakes.
    TWCameraSheet *cameraSheet();
    void setCameraSheet(std::unique_ptr<TWCameraSheet> sheet) { m_cameraSheet = std::move(sheet); }
    TWDeviceController *deviceController();
    void setDeviceController(std::unique_ptr<TWDeviceController> controller)
    {
        m_deviceController = std::move(controller);
    }
    TWAudioRecordController *audioRecordController();
    void setAudioRecordController(std::unique_ptr<TWAudioRecordController> controller)
    {
        m_audioRecordController = std::move(controller);
    }

    TWBusiness *business() const { return m_business; }
    void setBusiness(TWBusiness *business) { m_business = business; }
    TWBusinessController *businessController() const { return m_businessController; }
    void setBusinessController(TWBusinessController *controller)
    {
        m_businessController = controller;
    }
    const TWTransactionPtr &transaction() const { return m_transaction; }
    void setTransaction(const TWTransactionPtr &transaction) { m_transaction = transaction; }
    // The editor may change the transaction.
    bool editing() const { return m_editing; }
    void setEditing(bool editing) { m_editing = editing; }
    // Editing, on a transaction that is neither closed nor locked.
    bool canChange() const;

    // Shows the transaction's attachments and enables the buttons; call after
    // setting the business, document, transaction and editing.
    void update();
    // The items become the transaction's attachments (loaded first when the
    // store holds some).
    void updateAttachments();

    // ---- Adding ----
    void addAttachment(int tag);
    // Adds the file to the transaction at `index` (-1: at the end), loading the
    // stored attachments first. A refusal is presented; false then.
    bool addAttachmentFile(const QString &path, std::uint32_t type, const QString &name, int index);
    bool addAttachmentURL(const QUrl &url, std::uint32_t type, const QString &name, int index);
    // Copies each file to a new temporary file and adds the copy as a file
    // named after the original, from `index` on (-1: at the end). The first
    // failure is presented and stops the rest; those added before it stay.
    // Answers whether all were added.
    bool addFiles(const QStringList &paths, int index = -1);
    // Tag 0's picture: written as JPEG and added as a photo; a picture that
    // cannot be written is reported, never dropped silently.
    bool addPhoto(const QImage &photo);
    // Tag 2's result: with Confirmed the recording is added as a voice memo.
    bool addVoiceMemo(int returnCode, const QUrl &audioFileURL);
    // For the camera and scanner sheet (TWDeviceControllerDelegate).
    QString uniqueAttachmentName(const QString &name, const QString &extension) override;
    void deviceControllerAddAttachmentURL(const QUrl &url, std::uint32_t type,
                                          const QString &name) override;

    // ---- Deleting ----
    // Asks, then removes the concerned attachments (`contextIndexes` with
    // `context`, else the selection). Nothing when the transaction cannot change.
    void deleteAttachment(bool context);
    // Removes the attachments at the rows from the transaction and keeps them
    // in `deletedAttachments`; no file is touched.
    void removeAttachments(QList<int> rows);
    const TWAttachmentList &deletedAttachments() const { return m_deletedAttachments; }
    void clearDeletedAttachments() { m_deletedAttachments.clear(); }

    // ---- Preview ----
    // Opens the preview window on the item (-1: where it was), or closes it
    // when it is open. Needs a document.
    bool previewAttachment(int index);
    // Closes the preview window when this strip holds it; the editor calls it
    // before saving.
    void close();
    TWPreviewPanel *previewPanel() const { return m_previewPanel; }

    // ---- Context menu ----
    QList<int> contextIndexes() const { return m_contextIndexes; }
    // The first item, in order, whose frame's right edge lies right of `x`;
    // -1 when none does.
    static int itemIndexAtX(const QList<QRect> &frames, int x);
    // The items a context command acts on: the clicked item alone when it is
    // outside the selection, else the selection (also with no item clicked).
    static QList<int> concernedIndexes(int clicked, const QList<int> &selection);
    QList<int> selectedIndexes() const;

    // ---- Drag and drop ----
    // The data of a drag of `rows`: the strip's own type with the rows, and
    // temporary copies of the files (named after the attachments) as URLs.
    QMimeData *dragData(const QList<int> &rows) const;
    // Copies the attachments' files into `folder` under their names reduced to
    // a safe file name, never over an existing file ("a.txt" becomes
    // "a-2.txt"); answers the names written. Files that cannot be copied are
    // left out.
    static QStringList writeAttachmentFiles(const TWAttachmentList &attachments,
                                            const QString &folder);
    // What a drop would do: copy files from outside, move this strip's items,
    // or nothing.
    Qt::DropAction validateDrop(const QMimeData *data, bool fromOutside) const;
    // Performs a drop before the item at `index` (the count: at the end).
    bool acceptDrop(const QMimeData *data, int index, bool fromOutside);
    // Moves the attachments at `rows` before the one at `dropIndex` keeping
    // their order; false (nothing moved) when `dropIndex` is one of them.
    static bool reorderAttachments(TWAttachmentList &attachments, QList<int> rows, int dropIndex);
    // The drop position for a point of the viewport: before the first item the
    // point lies before (reading order), else the end.
    int dropIndexAt(const QPoint &position) const;

    // ---- TWCollectionViewDelegate ----
    bool collectionViewDelete(TWCollectionView *) override;
    bool collectionViewSpace(TWCollectionView *) override;
    bool collectionViewPreview(TWCollectionView *, int index) override;
    QMenu *collectionViewMenu(TWCollectionView *, const QPoint &position) override;

    // ---- TWBusinessControllerDelegate ----
    void beginPreviewPanelControl(TWBusinessController *controller) override;
    void endPreviewPanelControl(TWBusinessController *controller) override;

    // ---- TWPreviewPanelDataSource, TWPreviewPanelDelegate ----
    int numberOfPreviewItems(TWPreviewPanel *panel) override;
    TWAttachmentPtr previewItemAtIndex(TWPreviewPanel *panel, int index) override;
    bool previewPanelHandleKey(TWPreviewPanel *panel, QKeyEvent *event) override;

signals:
    // The transaction's attachment list changed (added, removed, moved).
    void attachmentsChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build() override;
    void updateButtons();
    void changed();
    void presentError(const TWError &error);
    QWidget *window() const;
    QMenu *makeAddMenu(QWidget *parent, bool context);
    void chooseFiles();
    TWAttachmentList currentAttachments() const;
    // Reads the rows of a drag of this strip; empty when it is not one.
    QList<int> draggedRows(const QMimeData *data) const;
    QString dragToken() const;

    TWBusiness *m_business = nullptr;
    QPointer<TWBusinessController> m_businessController;
    TWTransactionPtr m_transaction;
    bool m_editing = false;
    QList<int> m_contextIndexes;
    TWAttachmentList m_deletedAttachments;
    QPointer<TWPreviewPanel> m_previewPanel;
    // The item to show first when the preview window is next handed over.
    int m_previewIndex = -1;

    TWCollectionView *m_collectionView = nullptr;
    TWAttachmentsModel *m_model = nullptr;
    QToolButton *m_addButton = nullptr;
    QToolButton *m_deleteButton = nullptr;
    QPointer<QMenu> m_contextMenu;
    std::unique_ptr<TWCameraSheet> m_cameraSheet;
    std::unique_ptr<TWDeviceController> m_deviceController;
    std::unique_ptr<TWAudioRecordController> m_audioRecordController;
};
