// The attachments strip on a transaction of a real business saved as a
// package: adding, naming, deleting through the editor's save road, dropping,
// reordering, the editing rule and dragging files out.

#include "ledger/TWAttachmentsController.h"
#include "ledger/TWAttachmentsModel.h"
#include "ledger/TWPreviewPanel.h"

#include "TWWindowTestSupport.h"
#include "app/TWAlert.h"
#include "model/TWUtilities.h"
#include "platform/capture/TWCaptureFakes.h"

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QToolButton>
#include <QtEndian>

namespace
{

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// One second of 16-bit mono silence at 8,000 Hz.
QByteArray wavBytes(int seconds = 1)
{
    const quint32 rate = 8000;
    const quint32 dataSize = rate * 2 * quint32(seconds);
    QByteArray bytes;
    const auto le32 = [&](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        bytes.append(b, 4);
    };
    const auto le16 = [&](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        bytes.append(b, 2);
    };
    bytes.append("RIFF");
    le32(36 + dataSize);
    bytes.append("WAVEfmt ");
    le32(16);
    le16(1);
    le16(1);
    le32(rate);
    le32(rate * 2);
    le16(2);
    le16(16);
    bytes.append("data");
    le32(dataSize);
    bytes.append(QByteArray(int(dataSize), '\0'));
    return bytes;
}

bool writePdf(const QString &path)
{
    QPdfWriter writer(path);
    QPainter painter(&writer);
    painter.drawText(100, 100, QStringLiteral("Receipt"));
    return painter.end();
}

QStringList names(const TWAttachmentList &list)
{
    QStringList result;
    for (const TWAttachmentPtr &attachment : list)
        result.append(attachment->fileName());
    return result;
}

} // namespace

class AttachmentsTest : public TWWindowTest
{
protected:
    void SetUp() override
    {
        TWWindowTest::SetUp();
        alerts.clear();
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert.message);
            if (completion)
                completion(alertAnswer);
        });
        document = newDocument();
        TWBusiness &b = *document->business();
        checking = addAccount(b, QStringLiteral("Checking"));
        office = addAccount(b, QStringLiteral("Office"));
        package = dir.filePath(QStringLiteral("Books.tallyworth"));
        ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(package)));

        stored = std::make_shared<TWTransaction>();
        stored->setIdentifier(b.nextTransactionIdentifier());
        stored->setDate(QDateTime(QDate(2024, 5, 2), QTime(0, 0)));
        stored->setAccount1Identifier(checking->identifier());
        stored->setAccount2Identifier(office->identifier());
        stored->setActiveAccountIdentifier(checking->identifier());
        stored->setUnit(b.unitWithCode(QStringLiteral("USD")));
        ASSERT_OK(b.addTransaction(stored, false, false, false, false));

        sources = dir.filePath(QStringLiteral("sources"));
        ASSERT_TRUE(QDir().mkpath(sources));
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        png = QDir(sources).filePath(QStringLiteral("receipt.png"));
        ASSERT_TRUE(image.save(png, "PNG"));
        wav = QDir(sources).filePath(QStringLiteral("memo.wav"));
        ASSERT_TRUE(writeFile(wav, wavBytes()));
        pdf = QDir(sources).filePath(QStringLiteral("invoice.pdf"));
        ASSERT_TRUE(writePdf(pdf));
    }

    void TearDown() override
    {
        strip.reset();
        TWPreviewPanel::releaseSharedPreviewPanel();
        twSetAlertPresenter({});
        document.reset();
        TWWindowTest::TearDown();
    }

    // The editor's working copy of the stored transaction, shown in a new strip.
    TWTransactionPtr edit(bool editing = true)
    {
        TWTransactionPtr copy =
            document->business()->transactionWithIdentifier(stored->identifier())->copy();
        strip = std::make_unique<TWAttachmentsController>();
        strip->setBusiness(document->business());
        strip->setBusinessController(document.get());
        strip->setTransaction(copy);
        strip->setEditing(editing);
        strip->view()->resize(600, 160);
        strip->update();
        return copy;
    }

    // The editor's save road: store the copy, hand over the removed
    // attachments, save the document.
    void save(const TWTransactionPtr &copy)
    {
        TWBusiness &b = *document->business();
        ASSERT_OK(b.updateTransaction(copy, false, false, true, true));
        for (const TWAttachmentPtr &attachment : strip->deletedAttachments())
            b.deleteTransactionAttachment(attachment);
        strip->clearDeletedAttachments();
        ASSERT_TRUE(document->saveDocument());
    }

    QStringList packageFiles() const
    {
        return QDir(QDir(package).filePath(QStringLiteral("Attachments")))
            .entryList(QDir::Files, QDir::Name);
    }

    std::unique_ptr<TWBusinessController> document;
    std::unique_ptr<TWAttachmentsController> strip;
    TWAccountPtr checking, office;
    TWTransactionPtr stored;
    QString package, sources, png, wav, pdf;
    QStringList alerts;
    int alertAnswer = 1000;
};

TEST_F(AttachmentsTest, AddedFilesBecomePhotosMemosAndFilesOfTheirOwnCopies)
{
    TWTransactionPtr copy = edit();
    ASSERT_TRUE(strip->addFiles({png, wav, pdf}));
    ASSERT_TRUE(copy->attachments());
    const TWAttachmentList list = *copy->attachments();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(names(list), QStringList({"receipt.png", "memo.wav", "invoice.pdf"}));

    EXPECT_EQ(list[0]->type(), TWAttachmentTypePhoto);
    EXPECT_EQ(list[0]->photoWidth(), 40u);
    EXPECT_EQ(list[0]->photoHeight(), 30u);
    EXPECT_TRUE(QFileInfo::exists(list[0]->thumbnailFilePath()));
    EXPECT_EQ(list[1]->type(), TWAttachmentTypeAudio);
    EXPECT_NEAR(list[1]->timeSeconds(), 1.0, 0.01);
    EXPECT_EQ(list[2]->type(), TWAttachmentTypeFile);
    // Copies: the chosen files are never the ones the document takes over.
    for (const TWAttachmentPtr &attachment : list) {
        EXPECT_FALSE(attachment->filePath().startsWith(sources));
        EXPECT_TRUE(QFileInfo::exists(attachment->filePath()));
    }
    EXPECT_TRUE(copy->hasAttachments());
    EXPECT_TRUE(copy->dirtyAttachments());

    // The items show what the model recorded.
    TWAttachmentsModel *model = strip->model();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->index(0).data(TWAttachmentsModel::Detail1Role).toString(), "40 x 30");
    EXPECT_EQ(model->index(1).data(TWAttachmentsModel::Detail1Role).toString(), "0:00:01");
    EXPECT_TRUE(model->index(2).data(TWAttachmentsModel::Detail2Role).toString().isEmpty());

    // Two photos taken in a row get numbered names.
    QImage photo(20, 20, QImage::Format_RGB32);
    photo.fill(Qt::red);
    ASSERT_TRUE(strip->addPhoto(photo));
    ASSERT_TRUE(strip->addPhoto(photo));
    EXPECT_EQ(names(*copy->attachments()).mid(3), QStringList({"photo.jpg", "photo-2.jpg"}));
    EXPECT_EQ(copy->attachments()->at(4)->type(), TWAttachmentTypePhoto);
}

TEST_F(AttachmentsTest, FailuresAreReportedAndStopTheRest)
{
    TWTransactionPtr copy = edit();
    // A missing file stops the rest; what came before stays.
    EXPECT_FALSE(strip->addFiles({pdf, QDir(sources).filePath("gone.txt"), png}));
    EXPECT_EQ(names(*copy->attachments()), QStringList({"invoice.pdf"}));
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors[0].localizedDescription().contains("gone.txt"));

    // A picture that cannot be written as JPEG is reported, not dropped.
    auto capture = std::make_unique<TWFakeCameraCapture>();
    TWFakeCameraCapture *camera = capture.get();
    camera->inputs = {TWCameraInput{"cam0", QStringLiteral("Front"), true}};
    // Wider than JPEG allows.
    camera->still = QImage(70000, 1, QImage::Format_RGB32);
    camera->still.fill(Qt::white);
    strip->setCameraSheet(std::make_unique<TWCameraSheet>(std::move(capture)));
    const auto takePicture = [&] {
        strip->addAttachment(TWAttachmentsController::AddTagCamera);
        strip->cameraSheet()->takePicture();
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    };
    takePicture();
    EXPECT_EQ(prompts.errors.size(), 2);
    EXPECT_EQ(copy->attachments()->size(), 1);

    // A good one arrives as a JPEG photo; a cancelled one adds nothing.
    camera->still = QImage(16, 12, QImage::Format_RGB32);
    camera->still.fill(Qt::blue);
    takePicture();
    ASSERT_EQ(copy->attachments()->size(), 2);
    EXPECT_EQ(copy->attachments()->last()->fileName(), "photo.jpg");
    EXPECT_EQ(copy->attachments()->last()->photoWidth(), 16u);
    strip->addAttachment(TWAttachmentsController::AddTagCamera);
    strip->cameraSheet()->cancel();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(copy->attachments()->size(), 2);
    EXPECT_EQ(prompts.errors.size(), 2);
}

TEST_F(AttachmentsTest, StoredAttachmentsAreLoadedBeforeAddingAndARefusalIsPresented)
{
    {
        TWTransactionPtr copy = edit();
        ASSERT_TRUE(strip->addFiles({pdf}));
        save(copy);
    }
    // A fresh copy whose stored list is not read yet.
    TWTransactionPtr copy =
        document->business()->transactionWithIdentifier(stored->identifier())->copy();
    copy->setAttachments(std::nullopt);
    copy->setHasAttachments(true);
    ASSERT_TRUE(copy->needsAttachmentLoad());
    strip->setTransaction(copy);
    ASSERT_TRUE(strip->addFiles({png}));
    EXPECT_EQ(names(*copy->attachments()), QStringList({"invoice.pdf", "receipt.png"}));

    // Without the store the list cannot be read: the transaction refuses, and
    // the user hears of it.
    auto orphan = std::make_shared<TWTransaction>();
    orphan->setHasAttachments(true);
    strip->setBusiness(nullptr);
    strip->setTransaction(orphan);
    const qsizetype errors = prompts.errors.size();
    EXPECT_FALSE(strip->addFiles({png}));
    EXPECT_EQ(prompts.errors.size(), errors + 1);
    EXPECT_FALSE(orphan->attachments());
}

TEST_F(AttachmentsTest, DeletedFilesLeaveThePackageOnlyAfterTheEditorSaves)
{
    {
        TWTransactionPtr copy = edit();
        ASSERT_TRUE(strip->addFiles({png, pdf, wav}));
        save(copy);
    }
    const QStringList before = packageFiles();
    ASSERT_GE(before.size(), 3);

    // Deleting and then closing without saving leaves everything.
    {
        TWTransactionPtr copy = edit();
        strip->removeAttachments({0, 1, 2});
        EXPECT_FALSE(copy->hasAttachments());
        EXPECT_EQ(strip->model()->rowCount(), 0);
        EXPECT_EQ(strip->deletedAttachments().size(), 3);
        strip->clearDeletedAttachments();
        ASSERT_TRUE(document->saveDocument());
        EXPECT_EQ(packageFiles(), before);
    }

    // Deleting the PDF through the delete button and saving removes its file only.
    TWTransactionPtr copy = edit();
    strip->collectionView()->setCurrentIndex(strip->model()->index(1));
    alertAnswer = 1001;
    strip->deleteButton()->click();
    EXPECT_EQ(copy->attachments()->size(), 3) << "cancelled";
    alertAnswer = 1000;
    strip->deleteButton()->click();
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_EQ(names(*copy->attachments()), QStringList({"receipt.png", "memo.wav"}));
    ASSERT_EQ(strip->deletedAttachments().size(), 1);
    const QString pdfInPackage = strip->deletedAttachments().first()->filePath();
    EXPECT_TRUE(QFileInfo::exists(pdfInPackage));
    save(copy);
    EXPECT_FALSE(QFileInfo::exists(pdfInPackage));
    EXPECT_EQ(packageFiles().size(), before.size() - 1);
    for (const TWAttachmentPtr &attachment : *copy->attachments())
        EXPECT_TRUE(QFileInfo::exists(attachment->filePath())) << attachment->fileName();
}

TEST_F(AttachmentsTest, ReorderingFollowsThePlacementRules)
{
    const auto list = [](int n) {
        TWAttachmentList result;
        for (int i = 0; i < n; ++i) {
            auto attachment = std::make_shared<TWAttachment>();
            attachment->setFileName(QString(QChar('a' + i)));
            result.append(attachment);
        }
        return result;
    };
    TWAttachmentList l = list(5);
    EXPECT_FALSE(TWAttachmentsController::reorderAttachments(l, {1, 3}, 3)) << "inside the set";
    EXPECT_FALSE(TWAttachmentsController::reorderAttachments(l, {1, 3}, 1));
    EXPECT_EQ(names(l).join(""), "abcde");
    EXPECT_TRUE(TWAttachmentsController::reorderAttachments(l, {3, 1}, 0));
    EXPECT_EQ(names(l).join(""), "bdace");
    l = list(5);
    EXPECT_TRUE(TWAttachmentsController::reorderAttachments(l, {0, 2}, 5));
    EXPECT_EQ(names(l).join(""), "bdeac");
    l = list(5);
    EXPECT_TRUE(TWAttachmentsController::reorderAttachments(l, {0, 4}, 2));
    EXPECT_EQ(names(l).join(""), "baecd");
    l = list(5);
    EXPECT_TRUE(TWAttachmentsController::reorderAttachments(l, {3, 4}, 1));
    EXPECT_EQ(names(l).join(""), "adebc");
}

TEST_F(AttachmentsTest, DropsMoveItemsAndBringFilesInOnlyWhileEditing)
{
    TWTransactionPtr copy = edit();
    ASSERT_TRUE(strip->addFiles({png, wav, pdf}));

    // The strip's own drag: moved to the front, refused inside the dragged set.
    std::unique_ptr<QMimeData> drag(strip->dragData({1, 2}));
    ASSERT_TRUE(drag);
    EXPECT_EQ(strip->validateDrop(drag.get(), false), Qt::MoveAction);
    EXPECT_FALSE(strip->acceptDrop(drag.get(), 2, false));
    ASSERT_TRUE(strip->acceptDrop(drag.get(), 0, false));
    EXPECT_EQ(names(*copy->attachments()), QStringList({"memo.wav", "invoice.pdf", "receipt.png"}));

    // Files from outside are copied in at the drop position, in order.
    QMimeData outside;
    outside.setUrls({QUrl::fromLocalFile(pdf), QUrl::fromLocalFile(png)});
    EXPECT_EQ(strip->validateDrop(&outside, true), Qt::CopyAction);
    ASSERT_TRUE(strip->acceptDrop(&outside, 1, true));
    EXPECT_EQ(names(*copy->attachments()), QStringList({"memo.wav", "invoice.pdf", "receipt.png",
                                                        "invoice.pdf", "receipt.png"}));

    // Another strip's items are not ours to move.
    TWAttachmentsController other;
    other.setTransaction(copy);
    other.setEditing(true);
    std::unique_ptr<QMimeData> foreign(other.dragData({0}));
    ASSERT_TRUE(foreign);
    EXPECT_EQ(strip->validateDrop(foreign.get(), false), Qt::IgnoreAction);

    // A real drop on the viewport goes through the same rules.
    QWidget *viewport = strip->collectionView()->viewport();
    QMimeData single;
    single.setUrls({QUrl::fromLocalFile(wav)});
    // The application hands a drop only to the widget that took the drag's entry.
    QDragEnterEvent accepted(QPoint(2, 2), Qt::CopyAction, &single, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &accepted);
    EXPECT_TRUE(accepted.isAccepted());
    QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &single, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(copy->attachments()->size(), 6);
    EXPECT_EQ(copy->attachments()->first()->fileName(), "memo.wav");

    // Editing NO: drops refused, buttons off, no delete in the context menu.
    strip->setEditing(false);
    strip->update();
    EXPECT_FALSE(strip->addButton()->isEnabled());
    EXPECT_FALSE(strip->deleteButton()->isEnabled());
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &single, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    EXPECT_FALSE(enter.isAccepted());
    QDropEvent refused(QPointF(2, 2), Qt::CopyAction, &single, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &refused);
    EXPECT_FALSE(refused.isAccepted());
    EXPECT_FALSE(strip->acceptDrop(drag.get(), 0, false));
    EXPECT_EQ(copy->attachments()->size(), 6);
    EXPECT_EQ(strip->dragData({0}), nullptr);
    EXPECT_FALSE(strip->model()->flags(strip->model()->index(0)) & Qt::ItemIsDragEnabled);

    const QPoint onFirst = strip->collectionView()->visualRect(strip->model()->index(0)).center();
    QMenu *menu = strip->collectionViewMenu(strip->collectionView(), onFirst);
    ASSERT_TRUE(menu);
    for (QAction *action : menu->actions())
        EXPECT_NE(action->text(), TWLocalized("deleteMenu"));
    strip->collectionView()->setCurrentIndex(strip->model()->index(0));
    EXPECT_FALSE(strip->collectionViewDelete(strip->collectionView()));
    strip->deleteAttachment(true);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(copy->attachments()->size(), 6);
}

TEST_F(AttachmentsTest, ALockedTransactionOffersNoDeleteEvenWhileEditing)
{
    TWTransactionPtr copy = edit();
    ASSERT_TRUE(strip->addFiles({pdf}));
    copy->setState(2);
    strip->update();
    EXPECT_FALSE(strip->deleteButton()->isEnabled());
    const QPoint onFirst = strip->collectionView()->visualRect(strip->model()->index(0)).center();
    QMenu *menu = strip->collectionViewMenu(strip->collectionView(), onFirst);
    for (QAction *action : menu->actions())
        EXPECT_NE(action->text(), TWLocalized("deleteMenu"));

    copy->setState(0);
    menu = strip->collectionViewMenu(strip->collectionView(), onFirst);
    EXPECT_EQ(menu->actions().last()->text(), TWLocalized("deleteMenu"));
    EXPECT_EQ(strip->contextIndexes(), QList<int>({0}));
}

TEST_F(AttachmentsTest, DraggingOutStaysInTheFolderAndNeverOverwrites)
{
    const QString folder = dir.filePath(QStringLiteral("desktop/inner"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(writeFile(QDir(folder).filePath("evil.txt"), "mine"));
    const QString source = QDir(sources).filePath(QStringLiteral("note.txt"));
    ASSERT_TRUE(writeFile(source, "attached"));

    auto evil = std::make_shared<TWAttachment>();
    evil->setFileName(QStringLiteral("../evil.txt"));
    evil->setFilePath(source);
    auto dots = std::make_shared<TWAttachment>();
    dots->setFileName(QStringLiteral(".."));
    dots->setFilePath(source);
    auto missing = std::make_shared<TWAttachment>();
    missing->setFileName(QStringLiteral("gone.txt"));
    missing->setFilePath(QDir(sources).filePath("gone.txt"));

    const QStringList written =
        TWAttachmentsController::writeAttachmentFiles({evil, dots, missing}, folder);
    ASSERT_EQ(written.size(), 2);
    EXPECT_EQ(written[0], "evil-2.txt");
    for (const QString &name : written) {
        EXPECT_FALSE(name.contains('/'));
        EXPECT_NE(name, "..");
        EXPECT_TRUE(QFileInfo::exists(QDir(folder).filePath(name)));
    }
    QFile mine(QDir(folder).filePath("evil.txt"));
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), "mine");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("desktop/evil.txt")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("desktop/evil-2.txt")));

    // A drag offers copies under the attachments' names, in a folder of their own.
    TWTransactionPtr copy = edit();
    ASSERT_TRUE(strip->addFiles({pdf, png}));
    std::unique_ptr<QMimeData> drag(strip->dragData({0, 1}));
    ASSERT_TRUE(drag && drag->hasUrls());
    const QList<QUrl> urls = drag->urls();
    ASSERT_EQ(urls.size(), 2);
    EXPECT_EQ(QFileInfo(urls[0].toLocalFile()).fileName(), "invoice.pdf");
    EXPECT_EQ(QFileInfo(urls[1].toLocalFile()).fileName(), "receipt.png");
    EXPECT_NE(urls[0].toLocalFile(), copy->attachments()->first()->filePath());
}

TEST_F(AttachmentsTest, SpaceAndDoubleClickOpenThePreviewOnTheStripsItems)
{
    TWTransactionPtr copy = edit();
    ASSERT_TRUE(strip->addFiles({png, pdf}));
    EXPECT_TRUE(strip->collectionViewPreview(strip->collectionView(), 1));
    TWPreviewPanel *panel = TWPreviewPanel::sharedPreviewPanel();
    EXPECT_TRUE(panel->isShown());
    EXPECT_EQ(strip->previewPanel(), panel);
    EXPECT_EQ(panel->numberOfPreviewItems(), 2);
    EXPECT_EQ(panel->currentPreviewItemIndex(), 1);
    EXPECT_EQ(panel->currentPreviewItem(), copy->attachments()->at(1));

    // Arrows in the window move the strip's selection with it.
    QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
    QCoreApplication::sendEvent(panel, &left);
    EXPECT_EQ(panel->currentPreviewItemIndex(), 0);
    EXPECT_EQ(strip->collectionView()->currentIndex().row(), 0);

    // Space toggles the window; an added file shows up in it at once.
    EXPECT_TRUE(strip->collectionViewSpace(strip->collectionView()));
    EXPECT_FALSE(panel->isShown());
    EXPECT_EQ(strip->previewPanel(), nullptr);
    EXPECT_TRUE(strip->collectionViewSpace(strip->collectionView()));
    EXPECT_TRUE(panel->isShown());
    ASSERT_TRUE(strip->addFiles({wav}));
    EXPECT_EQ(panel->numberOfPreviewItems(), 3);

    // The editor closes it before saving.
    strip->close();
    EXPECT_FALSE(panel->isShown());
}

TEST_F(AttachmentsTest, ScansAndVoiceMemosArriveThroughTheStrip)
{
    TWTransactionPtr copy = edit();

    auto scanners = std::make_unique<TWFakeScannerDevices>();
    scanners->devices = {TWCaptureDevice{QStringLiteral("test:0"), QStringLiteral("Flatbed"),
                                         QString(), TWCaptureDevice::Scanner}};
    strip->setDeviceController(std::make_unique<TWDeviceController>(
        std::make_unique<TWFakeCameraDevices>(), std::move(scanners)));
    strip->addAttachment(TWAttachmentsController::AddTagDevice);
    TWDeviceController *devices = strip->deviceController();
    devices->selectDevice(0);
    devices->scan();
    devices->scan();
    devices->doImageCaptureDone();
    ASSERT_TRUE(copy->attachments());
    ASSERT_EQ(copy->attachments()->size(), 2);
    EXPECT_EQ(copy->attachments()->at(0)->type(), TWAttachmentTypePhoto);
    EXPECT_TRUE(copy->attachments()->at(0)->fileName().startsWith("photo."));
    EXPECT_TRUE(copy->attachments()->at(1)->fileName().startsWith("photo-2."));

    auto microphone = std::make_unique<TWFakeAudioCapture>();
    TWFakeAudioCapture *fake = microphone.get();
    fake->inputs = {{"mic-a", QStringLiteral("Built-in")}};
    strip->setAudioRecordController(
        std::make_unique<TWAudioRecordController>(std::move(microphone)));
    const auto record = [&](bool save) {
        strip->addAttachment(TWAttachmentsController::AddTagVoiceMemo);
        TWAudioRecordController *recorder = strip->audioRecordController();
        recorder->doRecordPause();
        fake->advance(1000);
        recorder->doSave(save);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !document->hasAttachedSheet(); }, 2000));
        QCoreApplication::processEvents();
    };
    record(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return copy->attachments()->size() == 3; }, 2000));
    EXPECT_EQ(copy->attachments()->last()->fileName(), "voice memo.wav");
    EXPECT_EQ(copy->attachments()->last()->type(), TWAttachmentTypeAudio);
    record(false);
    QTest::qWait(50);
    EXPECT_EQ(copy->attachments()->size(), 3) << "a cancelled memo adds nothing";
}

TEST_F(AttachmentsTest, TheOrderOfTheStripIsTheOrderStored)
{
    {
        TWTransactionPtr copy = edit();
        ASSERT_TRUE(strip->addFiles({png, pdf, wav}));
        save(copy);
    }
    // The rows carry their position, so the stored order never rests on how
    // the database happens to return rows of equal order.
    const auto storedNames = [this] {
        const std::optional<TWAttachmentList> list =
            document->business()->transactionAttachments(*stored);
        if (!list)
            return QStringList();
        for (qsizetype position = 0; position < list->size(); ++position)
            EXPECT_EQ(list->at(position)->order(), std::uint32_t(position))
                << list->at(position)->fileName();
        return names(*list);
    };
    EXPECT_EQ(storedNames(), QStringList({"receipt.png", "invoice.pdf", "memo.wav"}));

    // Moved to the front, then a file added at 1: reopened, the strip shows
    // them as they were left.
    TWTransactionPtr copy = edit();
    std::unique_ptr<QMimeData> drag(strip->dragData({2}));
    ASSERT_TRUE(drag);
    ASSERT_TRUE(strip->acceptDrop(drag.get(), 0, false));
    ASSERT_TRUE(strip->addFiles({png}, 1));
    const QStringList expected({"memo.wav", "receipt.png", "receipt.png", "invoice.pdf"});
    ASSERT_EQ(names(*copy->attachments()), expected);
    save(copy);
    EXPECT_EQ(storedNames(), expected);
    edit();
    QStringList shown;
    for (int row = 0; row < strip->model()->rowCount(); ++row)
        shown.append(strip->model()->attachmentAt(row)->fileName());
    EXPECT_EQ(shown, expected);

    // A deletion closes the gap without changing the others' order.
    strip->removeAttachments({0});
    save(strip->transaction());
    EXPECT_EQ(storedNames(), expected.mid(1));
}
