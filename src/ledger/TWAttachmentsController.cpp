#include "ledger/TWAttachmentsController.h"

#include "app/TWAlert.h"
#include "app/TWPackageFileDialog.h"
#include "foundation/TWFileNames.h"
#include "foundation/TWLocalized.h"
#include "ledger/TWAttachmentsDelegate.h"
#include "ledger/TWAttachmentsModel.h"
#include "model/TWUtilities.h"
#include "store/TWBusiness.h"
#include "store/TWTransactionEditing.h"

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace
{

const QString kErrorDomain = QStringLiteral("Tallyworth Attachment Error");

TWAttachmentsController::FileChooser &fileChooser()
{
    static TWAttachmentsController::FileChooser chooser;
    return chooser;
}

TWError attachmentError(const QString &description)
{
    return TWError(kErrorDomain, -1, description);
}

} // namespace

void TWAttachmentsController::setFileChooser(FileChooser chooser)
{
    fileChooser() = std::move(chooser);
}

TWAttachmentsController::TWAttachmentsController(QObject *parent)
    : TWLazyViewController<QObject>(parent)
{
}

TWAttachmentsController::~TWAttachmentsController()
{
    if (TWPreviewPanel::sharedPreviewPanelExists())
        TWPreviewPanel::sharedPreviewPanel()->forgetController(this, this, this);
    if (m_businessController && m_businessController->delegate() == this)
        m_businessController->setDelegate(nullptr);
    delete m_contextMenu.data();
    // The view belongs to whoever embedded it, unless nobody did.
    if (m_view && !m_view->parent())
        delete m_view.data();
}

// ---- The view ----

void TWAttachmentsController::build()
{
    auto *view = new QWidget();
    view->setObjectName(QStringLiteral("attachmentsView"));
    m_view = view;
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);

    m_model = new TWAttachmentsModel(this);
    m_model->setDragDataMaker([this](const QList<int> &rows) { return dragData(rows); });

    m_collectionView = new TWCollectionView(view);
    m_collectionView->setObjectName(QStringLiteral("attachmentsCollectionView"));
    m_collectionView->setModel(m_model);
    m_collectionView->setItemDelegate(new TWAttachmentsDelegate(m_collectionView));
    m_collectionView->setCollectionDelegate(this);
    m_collectionView->setFlow(QListView::LeftToRight);
    m_collectionView->setWrapping(true);
    m_collectionView->setUniformItemSizes(true);
    m_collectionView->setGridSize(TWAttachmentsDelegate::itemSize() + QSize(4, 4));
    m_collectionView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_collectionView->setDragDropMode(QAbstractItemView::DragDrop);
    m_collectionView->setDefaultDropAction(Qt::CopyAction);
    m_collectionView->setAcceptDrops(true);
    m_collectionView->viewport()->setAcceptDrops(true);
    m_collectionView->setMinimumHeight(TWAttachmentsDelegate::itemSize().height() + 12);
    // Drops are judged here, before the list's own handling, so that they land
    // between items and follow the strip's rules.
    m_collectionView->viewport()->installEventFilter(this);
    layout->addWidget(m_collectionView, 1);

    auto *buttons = new QHBoxLayout();
    buttons->setSpacing(2);
    m_addButton = new QToolButton(view);
    m_addButton->setObjectName(QStringLiteral("attachmentsAddButton"));
    m_addButton->setText(QStringLiteral("+"));
    m_addButton->setToolTip(TWLocalized("addAttachmentToolTip"));
    m_addButton->setPopupMode(QToolButton::InstantPopup);
    m_addButton->setMenu(makeAddMenu(m_addButton, false));
    m_deleteButton = new QToolButton(view);
    m_deleteButton->setObjectName(QStringLiteral("attachmentsDeleteButton"));
    m_deleteButton->setText(QStringLiteral("\u2212"));
    m_deleteButton->setToolTip(TWLocalized("deleteAttachmentToolTip"));
    connect(m_deleteButton, &QToolButton::clicked, this, [this] { deleteAttachment(false); });
    buttons->addWidget(m_addButton);
    buttons->addWidget(m_deleteButton);
    buttons->addStretch(1);
    layout->addLayout(buttons);
}

QMenu *TWAttachmentsController::makeAddMenu(QWidget *parent, bool context)
{
    auto *menu = new QMenu(parent);
    const auto add = [&](const char *key, int tag) {
        QAction *action = menu->addAction(TWLocalized(key));
        action->setData(tag);
        action->setEnabled(canChange());
        connect(action, &QAction::triggered, this, [this, tag] { addAttachment(tag); });
    };
    add("captureFromCamera", AddTagCamera);
    add("importFromCameraScanner", AddTagDevice);
    menu->addSeparator();
    add("recordVoiceMemo", AddTagVoiceMemo);
    menu->addSeparator();
    add("addFile", AddTagFile);
    if (!context) {
        // The add button's menu follows the editing state each time it opens.
        connect(menu, &QMenu::aboutToShow, this, [this, menu] {
            for (QAction *action : menu->actions()) {
                if (!action->isSeparator())
                    action->setEnabled(canChange());
            }
        });
    }
    return menu;
}

QWidget *TWAttachmentsController::window() const
{
    return m_view ? m_view->window() : nullptr;
}

bool TWAttachmentsController::canChange() const
{
    return m_editing && m_transaction && m_transaction->canEdit();
}

void TWAttachmentsController::update()
{
    if (!m_view)
        return;
    updateAttachments();
    updateButtons();
}

void TWAttachmentsController::updateButtons()
{
    if (!m_view)
        return;
    const bool enabled = canChange();
    m_addButton->setEnabled(enabled);
    m_deleteButton->setEnabled(enabled);
    m_model->setDragEnabled(enabled);
    m_collectionView->setDragEnabled(enabled);
}

TWAttachmentList TWAttachmentsController::currentAttachments() const
{
    if (!m_transaction || !m_transaction->hasAttachments() || !m_transaction->attachments())
        return {};
    return *m_transaction->attachments();
}

void TWAttachmentsController::updateAttachments()
{
    if (m_transaction && m_transaction->hasAttachments() && m_business)
        twLoadedAttachments(*m_transaction, *m_business);
    if (m_model)
        m_model->setAttachments(currentAttachments());
}

void TWAttachmentsController::changed()
{
    // The store keeps the order each attachment carries, not the list's: the
    // list as the strip left it becomes the order saved.
    if (m_transaction && m_transaction->attachments()) {
        std::uint32_t order = 0;
        for (const TWAttachmentPtr &attachment : *m_transaction->attachments()) {
            if (attachment)
                attachment->setOrder(order++);
        }
    }
    updateAttachments();
    if (m_previewPanel)
        m_previewPanel->reloadData();
    emit attachmentsChanged();
}

void TWAttachmentsController::presentError(const TWError &error)
{
    if (m_businessController) {
        m_businessController->presentError(error);
        return;
    }
    twRunNotice(error.localizedDescription(), window());
}

// ---- Adding ----

TWCameraSheet *TWAttachmentsController::cameraSheet()
{
    if (!m_cameraSheet)
        m_cameraSheet = std::make_unique<TWCameraSheet>();
    return m_cameraSheet.get();
}

TWDeviceController *TWAttachmentsController::deviceController()
{
    if (!m_deviceController)
        m_deviceController = std::make_unique<TWDeviceController>();
    return m_deviceController.get();
}

TWAudioRecordController *TWAttachmentsController::audioRecordController()
{
    if (!m_audioRecordController)
        m_audioRecordController = std::make_unique<TWAudioRecordController>();
    return m_audioRecordController.get();
}

void TWAttachmentsController::addAttachment(int tag)
{
    if (!canChange())
        return;
    switch (tag) {
    case AddTagCamera: {
        TWCameraSheet *sheet = cameraSheet();
        sheet->setBusinessController(m_businessController);
        QPointer<TWAttachmentsController> self(this);
        sheet->beginSheet([self, sheet](int returnCode) {
            if (self && returnCode == TWSheetResult::Confirmed)
                self->addPhoto(sheet->image());
        });
        break;
    }
    case AddTagDevice: {
        TWDeviceController *sheet = deviceController();
        sheet->setBusiness(m_business);
        sheet->setBusinessController(m_businessController);
        sheet->setDelegate(this);
        sheet->beginSheet({});
        break;
    }
    case AddTagVoiceMemo: {
        TWAudioRecordController *sheet = audioRecordController();
        sheet->setBusiness(m_business);
        sheet->setBusinessController(m_businessController);
        QPointer<TWAttachmentsController> self(this);
        sheet->beginSheet([self, sheet](int returnCode) {
            if (self)
                self->addVoiceMemo(returnCode, sheet->audioFileURL());
        });
        break;
    }
    case AddTagFile:
        chooseFiles();
        break;
    default:
        break;
    }
}

void TWAttachmentsController::chooseFiles()
{
    QPointer<TWAttachmentsController> self(this);
    const auto chosen = [self](const QStringList &paths) {
        if (self && !paths.isEmpty())
            self->addFiles(paths);
    };
    if (fileChooser()) {
        fileChooser()(window(), chosen);
        return;
    }
    TWPackageFileDialog::ask(TWPackageFileDialog::Purpose::OpenFiles, window(), QString(),
                             QString(), {}, chosen);
}

bool TWAttachmentsController::addAttachmentFile(const QString &path, std::uint32_t type,
                                                const QString &name, int index)
{
    if (!m_transaction)
        return false;
    // The stored list must be loaded first, or the transaction refuses the
    // file (saving would lose the stored ones).
    if (m_business)
        twLoadedAttachments(*m_transaction, *m_business);
    const TWAttachmentPtr attachment =
        m_transaction->addAttachmentFile(path, type, name, index, [](const QImage &image) {
            return TWUtilities::utilities().thumbnailImageFile(image);
        });
    if (!attachment) {
        presentError(attachmentError(TWLocalized("attachmentNotLoadedError")));
        return false;
    }
    changed();
    return true;
}

bool TWAttachmentsController::addAttachmentURL(const QUrl &url, std::uint32_t type,
                                               const QString &name, int index)
{
    return addAttachmentFile(url.toLocalFile(), type, name, index);
}

bool TWAttachmentsController::addFiles(const QStringList &paths, int index)
{
    for (qsizetype position = 0; position < paths.size(); ++position) {
        const QString &path = paths.at(position);
        const QFileInfo info(path);
        const QString copy = TWUtilities::utilities().temporaryFilePath(info.suffix());
        QFile source(path);
        if (copy.isEmpty() || !info.isFile() || !source.copy(copy)) {
            const QString reason = source.errorString().isEmpty()
                                       ? TWLocalized("attachmentNotAFile")
                                       : source.errorString();
            presentError(
                attachmentError(TWLocalized("attachmentCopyError").arg(info.fileName(), reason)));
            return false;
        }
        const int at = index < 0 ? -1 : index + int(position);
        if (!addAttachmentFile(copy, TWAttachmentTypeFile, info.fileName(), at)) {
            QFile::remove(copy);
            return false;
        }
    }
    return true;
}

bool TWAttachmentsController::addPhoto(const QImage &photo)
{
    const QString path = TWUtilities::utilities().writeJPEGImageFile(photo);
    if (path.isEmpty()) {
        presentError(attachmentError(TWLocalized("photoWriteError")));
        return false;
    }
    const QString name = uniqueAttachmentName(TWLocalized("photo"), QStringLiteral("jpg"));
    if (!addAttachmentFile(path, TWAttachmentTypePhoto, name, -1)) {
        QFile::remove(path);
        return false;
    }
    return true;
}

bool TWAttachmentsController::addVoiceMemo(int returnCode, const QUrl &audioFileURL)
{
    if (returnCode != TWSheetResult::Confirmed || !audioFileURL.isLocalFile())
        return false;
    const QString extension = QFileInfo(audioFileURL.toLocalFile()).suffix();
    const QString name = uniqueAttachmentName(
        TWLocalized("voiceMemo"), extension.isEmpty() ? QStringLiteral("wav") : extension);
    return addAttachmentURL(audioFileURL, TWAttachmentTypeAudio, name, -1);
}

QString TWAttachmentsController::uniqueAttachmentName(const QString &name, const QString &extension)
{
    if (!m_transaction)
        return extension.isEmpty() ? name : name + QLatin1Char('.') + extension;
    if (m_business)
        return twUniqueAttachmentName(*m_transaction, name, extension, *m_business);
    return m_transaction->uniqueAttachmentName(name, extension);
}

void TWAttachmentsController::deviceControllerAddAttachmentURL(const QUrl &url, std::uint32_t type,
                                                               const QString &name)
{
    addAttachmentURL(url, type, name, -1);
}

// ---- Deleting ----

QList<int> TWAttachmentsController::selectedIndexes() const
{
    QList<int> rows;
    if (m_collectionView && m_collectionView->selectionModel()) {
        for (const QModelIndex &index : m_collectionView->selectionModel()->selectedIndexes())
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TWAttachmentsController::deleteAttachment(bool context)
{
    // A closed or locked transaction, or an editor that only shows it, keeps
    // its attachments: its working copy could never be saved.
    if (!canChange())
        return;
    const QList<int> concerned = context ? m_contextIndexes : selectedIndexes();
    if (concerned.isEmpty())
        return;
    TWAlert alert;
    alert.message = TWLocalized("deleteAttachmentMessage");
    alert.buttons = {TWLocalized("deleteAttachment"), TWLocalized("cancel")};
    alert.window = window();
    QPointer<TWAttachmentsController> self(this);
    twRunAlert(alert, [self, context](int returnCode) {
        if (!self || returnCode != 1000 || !self->canChange())
            return;
        self->removeAttachments(context ? self->m_contextIndexes : self->selectedIndexes());
    });
}

void TWAttachmentsController::removeAttachments(QList<int> rows)
{
    if (!m_transaction || !m_transaction->attachments())
        return;
    TWAttachmentList list = *m_transaction->attachments();
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [&](int row) { return row < 0 || row >= list.size(); }),
               rows.end());
    if (rows.isEmpty())
        return;
    for (int row : std::as_const(rows))
        m_deletedAttachments.append(list.at(row));
    for (auto it = rows.crbegin(); it != rows.crend(); ++it)
        list.removeAt(*it);
    m_transaction->setAttachments(list);
    m_transaction->setHasAttachments(!list.isEmpty());
    m_transaction->setDirtyAttachments(true);
    m_contextIndexes.clear();
    changed();
}

// ---- Preview ----

bool TWAttachmentsController::previewAttachment(int index)
{
    if (index != -1)
        m_previewIndex = index;
    if (!m_businessController)
        return true;
    TWPreviewPanel *panel = TWPreviewPanel::sharedPreviewPanel();
    if (!panel->isShown()) {
        m_businessController->setDelegate(this);
        panel->makeKeyAndOrderFront(m_businessController);
    } else {
        panel->orderOut();
    }
    return true;
}

void TWAttachmentsController::close()
{
    if (m_transaction && m_previewPanel && m_previewPanel->isShown())
        m_previewPanel->orderOut();
    m_previewPanel = nullptr;
}

void TWAttachmentsController::beginPreviewPanelControl(TWBusinessController *)
{
    TWPreviewPanel *panel = TWPreviewPanel::sharedPreviewPanel();
    m_previewPanel = panel;
    panel->setDataSource(this);
    panel->setPreviewDelegate(this);
    if (m_previewIndex >= 0)
        panel->setCurrentPreviewItemIndex(m_previewIndex);
    m_previewIndex = -1;
}

void TWAttachmentsController::endPreviewPanelControl(TWBusinessController *)
{
    m_previewPanel = nullptr;
}

int TWAttachmentsController::numberOfPreviewItems(TWPreviewPanel *)
{
    return int(currentAttachments().size());
}

TWAttachmentPtr TWAttachmentsController::previewItemAtIndex(TWPreviewPanel *, int index)
{
    const TWAttachmentList list = currentAttachments();
    return index >= 0 && index < list.size() ? list.at(index) : TWAttachmentPtr();
}

bool TWAttachmentsController::previewPanelHandleKey(TWPreviewPanel *panel, QKeyEvent *event)
{
    // Space and Delete act as they do in the strip; arrows move the window's
    // item, and the strip's selection follows.
    // twListKey: 1 for the delete keys, 32 for Space.
    const int key = twListKey(event);
    if (key == 1 || key == 32) {
        if (m_collectionView && m_collectionView->selectionModel()->hasSelection()) {
            if (event->key() == Qt::Key_Space)
                return collectionViewSpace(m_collectionView);
            return collectionViewDelete(m_collectionView);
        }
        return false;
    }
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        panel->selectPreviousItem();
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        panel->selectNextItem();
        break;
    default:
        return false;
    }
    if (m_collectionView && panel->currentPreviewItemIndex() >= 0) {
        m_collectionView->setCurrentIndex(m_model->index(panel->currentPreviewItemIndex()));
    }
    return true;
}

// ---- Collection view ----

bool TWAttachmentsController::collectionViewDelete(TWCollectionView *)
{
    if (!canChange())
        return false;
    deleteAttachment(false);
    return true;
}

bool TWAttachmentsController::collectionViewSpace(TWCollectionView *)
{
    const QList<int> selection = selectedIndexes();
    return previewAttachment(selection.isEmpty() ? -1 : selection.first());
}

bool TWAttachmentsController::collectionViewPreview(TWCollectionView *, int index)
{
    return previewAttachment(index);
}

int TWAttachmentsController::itemIndexAtX(const QList<QRect> &frames, int x)
{
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const QRect &frame = frames.at(i);
        if (frame.x() + frame.width() > x)
            return int(i);
    }
    return -1;
}

QList<int> TWAttachmentsController::concernedIndexes(int clicked, const QList<int> &selection)
{
    if (clicked >= 0 && !selection.contains(clicked))
        return {clicked};
    return selection;
}

QMenu *TWAttachmentsController::collectionViewMenu(TWCollectionView *view, const QPoint &position)
{
    QList<QRect> frames;
    for (int row = 0; row < m_model->rowCount(); ++row)
        frames.append(view->visualRect(m_model->index(row)));
    const int clicked = itemIndexAtX(frames, position.x());
    m_contextIndexes = concernedIndexes(clicked, selectedIndexes());

    delete m_contextMenu.data();
    QMenu *menu = makeAddMenu(view, true);
    m_contextMenu = menu;
    // Deleting is offered only where the transaction can change.
    if (clicked >= 0 && canChange()) {
        menu->addSeparator();
        QAction *remove = menu->addAction(TWLocalized("deleteMenu"));
        connect(remove, &QAction::triggered, this, [this] { deleteAttachment(true); });
    }
    return menu;
}

// ---- Drag and drop ----

QString TWAttachmentsController::dragToken() const
{
    return QStringLiteral("%1:%2")
        .arg(QCoreApplication::applicationPid())
        .arg(quintptr(this), 0, 16);
}

QMimeData *TWAttachmentsController::dragData(const QList<int> &rows) const
{
    if (!canChange())
        return nullptr;
    const TWAttachmentList list = currentAttachments();
    TWAttachmentList dragged;
    QJsonArray indexes;
    for (int row : rows) {
        if (row >= 0 && row < list.size() && list.at(row)) {
            dragged.append(list.at(row));
            indexes.append(row);
        }
    }
    if (dragged.isEmpty())
        return nullptr;
    auto *data = new QMimeData();
    QJsonObject payload;
    payload.insert(QStringLiteral("source"), dragToken());
    payload.insert(QStringLiteral("indexes"), indexes);
    data->setData(TWAttachmentDragType, QJsonDocument(payload).toJson(QJsonDocument::Compact));

    // There are no file promises here: the files go out as copies in a new
    // temporary folder, named after the attachments.
    const QString folder = TWUtilities::utilities().temporaryFilePath();
    if (!folder.isEmpty() && QDir().mkpath(folder)) {
        QList<QUrl> urls;
        for (const QString &name : writeAttachmentFiles(dragged, folder))
            urls.append(QUrl::fromLocalFile(QDir(folder).filePath(name)));
        if (!urls.isEmpty())
            data->setUrls(urls);
    }
    return data;
}

QStringList TWAttachmentsController::writeAttachmentFiles(const TWAttachmentList &attachments,
                                                          const QString &folder)
{
    const QDir directory(folder);
    QSet<QString> taken;
    for (const QString &entry :
         directory.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        taken.insert(entry);
    QStringList written;
    for (const TWAttachmentPtr &attachment : attachments) {
        if (!attachment || attachment->filePath().isEmpty())
            continue;
        // The name comes from the document: only its last part counts, made
        // safe, and never one already in the folder.
        QString base = attachment->fileName();
        base = base.section(QLatin1Char('/'), -1);
        if (base.isEmpty())
            base = QFileInfo(attachment->filePath()).fileName();
        const QString name = TWFileNames::uniqueFileName(TWFileNames::safeFileName(base), taken);
        const QString target = directory.filePath(name);
        // QFile::copy never replaces an existing file.
        if (QFile::copy(attachment->filePath(), target))
            written.append(name);
    }
    return written;
}

QList<int> TWAttachmentsController::draggedRows(const QMimeData *data) const
{
    if (!data || !data->hasFormat(TWAttachmentDragType))
        return {};
    const QJsonObject payload = QJsonDocument::fromJson(data->data(TWAttachmentDragType)).object();
    // Items dragged from another strip (another editor or program) are not
    // this transaction's.
    if (payload.value(QStringLiteral("source")).toString() != dragToken())
        return {};
    const int count = int(currentAttachments().size());
    QList<int> rows;
    for (const QJsonValue &value : payload.value(QStringLiteral("indexes")).toArray()) {
        const int row = value.toInt(-1);
        if (row < 0 || row >= count)
            return {};
        if (!rows.contains(row))
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

Qt::DropAction TWAttachmentsController::validateDrop(const QMimeData *data, bool fromOutside) const
{
    if (!data)
        return Qt::IgnoreAction;
    if (fromOutside && data->hasUrls()) {
        const QList<QUrl> urls = data->urls();
        if (std::any_of(urls.cbegin(), urls.cend(),
                        [](const QUrl &url) { return url.isLocalFile(); }))
            return Qt::CopyAction;
    }
    if (!draggedRows(data).isEmpty())
        return Qt::MoveAction;
    return Qt::IgnoreAction;
}

bool TWAttachmentsController::acceptDrop(const QMimeData *data, int index, bool fromOutside)
{
    if (!canChange() || !data)
        return false;
    const Qt::DropAction action = validateDrop(data, fromOutside);
    const int count = int(currentAttachments().size());
    index = std::clamp(index, 0, count);
    if (action == Qt::CopyAction) {
        QStringList paths;
        for (const QUrl &url : data->urls()) {
            if (url.isLocalFile())
                paths.append(url.toLocalFile());
        }
        return addFiles(paths, index);
    }
    if (action == Qt::MoveAction) {
        if (m_business)
            twLoadedAttachments(*m_transaction, *m_business);
        if (!m_transaction->attachments())
            return false;
        TWAttachmentList list = *m_transaction->attachments();
        if (!reorderAttachments(list, draggedRows(data), index))
            return false;
        m_transaction->setAttachments(list);
        m_transaction->setDirtyAttachments(true);
        changed();
        return true;
    }
    return false;
}

bool TWAttachmentsController::reorderAttachments(TWAttachmentList &attachments, QList<int> rows,
                                                 int dropIndex)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const int count = int(attachments.size());
    if (rows.isEmpty() || rows.first() < 0 || rows.last() >= count || dropIndex < 0 ||
        dropIndex > count || rows.contains(dropIndex))
        return false;
    TWAttachmentList moved;
    for (int row : std::as_const(rows))
        moved.append(attachments.at(row));
    const TWAttachmentPtr anchor = dropIndex < count ? attachments.at(dropIndex) : nullptr;
    for (auto it = rows.crbegin(); it != rows.crend(); ++it)
        attachments.removeAt(*it);
    // Before the anchor (which stays put), or at the end.
    qsizetype at = attachments.size();
    if (anchor) {
        at = 0;
        while (at < attachments.size() && attachments.at(at) != anchor)
            ++at;
    }
    for (qsizetype i = 0; i < moved.size(); ++i)
        attachments.insert(at + i, moved.at(i));
    return true;
}

int TWAttachmentsController::dropIndexAt(const QPoint &position) const
{
    if (!m_model || !m_collectionView)
        return 0;
    const int count = m_model->rowCount();
    for (int row = 0; row < count; ++row) {
        const QRect rect = m_collectionView->visualRect(m_model->index(row));
        if (position.y() < rect.top())
            return row;
        if (position.y() <= rect.bottom() && position.x() < rect.center().x())
            return row;
    }
    return count;
}

bool TWAttachmentsController::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_collectionView || watched != m_collectionView->viewport())
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        const Qt::DropAction action =
            canChange() ? validateDrop(drag->mimeData(), drag->source() == nullptr)
                        : Qt::IgnoreAction;
        // Moves inside the strip are carried out here; to the drag they are
        // copies, so nothing is ever removed from the source.
        if (action != Qt::IgnoreAction) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const int index = dropIndexAt(drop->position().toPoint());
        if (acceptDrop(drop->mimeData(), index, drop->source() == nullptr)) {
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
        } else {
            drop->ignore();
        }
        return true;
    }
    case QEvent::DragLeave:
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}
