// The preview window: what it shows for each kind of file, moving through the
// items, and control passing through the documents.

#include "ledger/TWPreviewPanel.h"

#include "TWAppTestSupport.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMediaPlayer>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>

namespace
{

// A list of attachments that takes the window when its document hands it over.
class PreviewSource final : public TWBusinessControllerDelegate, public TWPreviewPanelDataSource
{
public:
    TWAttachmentList items;
    int begins = 0;
    int ends = 0;

    void beginPreviewPanelControl(TWBusinessController *) override
    {
        ++begins;
        TWPreviewPanel::sharedPreviewPanel()->setDataSource(this);
    }
    void endPreviewPanelControl(TWBusinessController *) override { ++ends; }
    int numberOfPreviewItems(TWPreviewPanel *) override { return int(items.size()); }
    TWAttachmentPtr previewItemAtIndex(TWPreviewPanel *, int index) override
    {
        return index >= 0 && index < items.size() ? items.at(index) : nullptr;
    }
};

TWAttachmentPtr attachment(const QString &path, std::uint32_t type = TWAttachmentTypeFile)
{
    auto item = std::make_shared<TWAttachment>();
    item->setFilePath(path);
    item->setFileName(QFileInfo(path).fileName());
    item->setType(type);
    item->setFileSize(std::uint64_t(std::max<qint64>(0, QFileInfo(path).size())));
    return item;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class PreviewPanelTest : public TWAppTest
{
protected:
    void TearDown() override
    {
        TWPreviewPanel::releaseSharedPreviewPanel();
        TWAppTest::TearDown();
    }

    void press(TWPreviewPanel *panel, int key)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(panel, &event);
    }
};

TEST_F(PreviewPanelTest, ShowsEachKindOfFileAndFallsBackToItsIcon)
{
    const QString png = dir.filePath("photo.png");
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(Qt::yellow);
    ASSERT_TRUE(image.save(png));
    const QString pdf = dir.filePath("statement.pdf");
    {
        QPdfWriter writer(pdf);
        QPainter painter(&writer);
        painter.drawText(100, 100, QStringLiteral("Statement"));
    }
    const QString text = dir.filePath("notes.txt");
    ASSERT_TRUE(writeFile(text, "Paid in cash.\n"));
    const QString wav = dir.filePath("memo.wav");
    ASSERT_TRUE(writeFile(wav, QByteArray("RIFF") + QByteArray(40, '\0')));
    const QString other = dir.filePath("archive.bin");
    ASSERT_TRUE(writeFile(other, QByteArray(10, '\x01')));
    // Damaged files are shown by their icon, not as empty views.
    const QString brokenPdf = dir.filePath("broken.pdf");
    ASSERT_TRUE(writeFile(brokenPdf, "not a pdf"));
    const QString brokenPng = dir.filePath("broken.png");
    ASSERT_TRUE(writeFile(brokenPng, "not a png"));

    PreviewSource source;
    source.items = {attachment(png, TWAttachmentTypePhoto),
                    attachment(pdf),
                    attachment(text),
                    attachment(wav, TWAttachmentTypeAudio),
                    attachment(other),
                    attachment(dir.filePath("gone.pdf")),
                    attachment(brokenPdf),
                    attachment(brokenPng, TWAttachmentTypePhoto)};
    TWPreviewPanel *panel = TWPreviewPanel::sharedPreviewPanel();
    panel->setDataSource(&source);

    const QList<TWPreviewPanel::ContentKind> expected{
        TWPreviewPanel::ContentImage, TWPreviewPanel::ContentPdf,  TWPreviewPanel::ContentText,
        TWPreviewPanel::ContentAudio, TWPreviewPanel::ContentIcon, TWPreviewPanel::ContentIcon,
        TWPreviewPanel::ContentIcon,  TWPreviewPanel::ContentIcon};
    for (int i = 0; i < expected.size(); ++i) {
        panel->setCurrentPreviewItemIndex(i);
        EXPECT_EQ(panel->contentKind(), expected[i]) << i;
        EXPECT_EQ(panel->currentPreviewItem(), source.items[i]);
        EXPECT_EQ(panel->windowTitle(), source.items[i]->fileName());
        if (i == 1) {
            EXPECT_EQ(panel->pdfDocument()->pageCount(), 1);
        }
        if (i == 3) {
            EXPECT_EQ(panel->player()->source(), QUrl::fromLocalFile(wav));
        }
    }
    // Leaving a recording stops its player.
    panel->setCurrentPreviewItemIndex(0);
    EXPECT_TRUE(panel->player()->source().isEmpty());
}

TEST_F(PreviewPanelTest, ArrowsMoveThroughTheItemsAndStopAtTheEnds)
{
    PreviewSource source;
    for (const char *name : {"a.txt", "b.txt", "c.txt"})
        source.items.append(attachment(dir.filePath(name)));
    TWPreviewPanel *panel = TWPreviewPanel::sharedPreviewPanel();
    panel->setDataSource(&source);
    EXPECT_EQ(panel->currentPreviewItemIndex(), 0);
    press(panel, Qt::Key_Left);
    EXPECT_EQ(panel->currentPreviewItemIndex(), 0);
    press(panel, Qt::Key_Right);
    press(panel, Qt::Key_Down);
    press(panel, Qt::Key_Right);
    EXPECT_EQ(panel->currentPreviewItemIndex(), 2);
    press(panel, Qt::Key_Up);
    EXPECT_EQ(panel->currentPreviewItemIndex(), 1);

    // Items going away keep the index inside the list; none left: nothing shown.
    panel->setCurrentPreviewItemIndex(2);
    source.items.removeLast();
    panel->reloadData();
    EXPECT_EQ(panel->currentPreviewItemIndex(), 1);
    source.items.clear();
    panel->reloadData();
    EXPECT_EQ(panel->currentPreviewItemIndex(), -1);
    EXPECT_EQ(panel->contentKind(), TWPreviewPanel::ContentNone);
    EXPECT_EQ(panel->currentPreviewItem(), nullptr);
}

TEST_F(PreviewPanelTest, ControlPassesThroughTheDocumentsDelegate)
{
    auto first = newDocument(QStringLiteral("First"));
    auto second = newDocument(QStringLiteral("Second"));
    PreviewSource one, two;
    one.items = {attachment(dir.filePath("one.txt"))};
    two.items = {attachment(dir.filePath("two.txt")), attachment(dir.filePath("three.txt"))};
    TWPreviewPanel *panel = TWPreviewPanel::sharedPreviewPanel();

    // Without a delegate the document does not take the window.
    panel->makeKeyAndOrderFront(first.get());
    EXPECT_FALSE(panel->isShown());

    first->setDelegate(&one);
    panel->makeKeyAndOrderFront(first.get());
    panel->makeKeyAndOrderFront(first.get());
    EXPECT_TRUE(panel->isShown());
    EXPECT_EQ(one.begins, 1);
    EXPECT_EQ(panel->currentController(), first.get());
    EXPECT_EQ(panel->numberOfPreviewItems(), 1);

    // Another document takes over: the first one's delegate is told.
    second->setDelegate(&two);
    panel->makeKeyAndOrderFront(second.get());
    EXPECT_EQ(one.ends, 1);
    EXPECT_EQ(two.begins, 1);
    EXPECT_EQ(panel->numberOfPreviewItems(), 2);

    // Escape closes and ends control; nothing of the controller is kept.
    press(panel, Qt::Key_Escape);
    EXPECT_FALSE(panel->isShown());
    EXPECT_EQ(two.ends, 1);
    EXPECT_EQ(panel->dataSource(), nullptr);
    EXPECT_EQ(panel->currentController(), nullptr);

    // A controller going away while it holds the window is not called back.
    panel->makeKeyAndOrderFront(second.get());
    EXPECT_EQ(two.begins, 2);
    panel->forgetController(&two, &two, nullptr);
    EXPECT_FALSE(panel->isShown());
    EXPECT_EQ(panel->dataSource(), nullptr);
    panel->orderOut();
    EXPECT_EQ(two.ends, 1);
    first->setDelegate(nullptr);
    second->setDelegate(nullptr);
}
