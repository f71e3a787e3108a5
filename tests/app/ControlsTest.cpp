// The small shared controls: the image well's file choice, the progress
// bar's drawing in active and inactive windows (grabbed images), and Tab
// through a form in reading order.

#include "TWAppTestSupport.h"
#include "TWDateTypingSupport.h"

#include "app/TWControls.h"
#include "app/TWKeyLoopView.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace
{

class ControlsTest : public TWAppTest
{
protected:
    static void release(QWidget *widget, const QPoint &at)
    {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10),
                          widget->mapToGlobal(QPointF(10, 10)), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(widget, &press);
        QMouseEvent up(QEvent::MouseButtonRelease, QPointF(at), widget->mapToGlobal(QPointF(at)),
                       Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &up);
    }
    QString writeImage(const QString &name, const QSize &size)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::red);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path));
        return path;
    }
};

TEST_F(ControlsTest, TheImageWellChoosesOnlyImages)
{
    QDialog sheet;
    sheet.setModal(true);
    auto *well = new TWSelectImageView(&sheet);
    (new QVBoxLayout(&sheet))->addWidget(well);
    sheet.resize(200, 200);
    sheet.show();
    QImage logo(8, 8, QImage::Format_RGB32);
    logo.fill(Qt::blue);
    well->setImage(logo);

    // Pressed inside, released outside: no dialog.
    release(well, QPoint(well->width() + 20, 5));
    EXPECT_FALSE(well->openDialog());

    // Released inside: a dialog on the modal sheet; cancelling keeps the logo.
    release(well, QPoint(5, 5));
    ASSERT_TRUE(well->openDialog());
    EXPECT_EQ(well->openDialog()->parentWidget(), &sheet);
    EXPECT_EQ(well->openDialog()->windowModality(), Qt::WindowModal);
    well->openDialog()->reject();
    QCoreApplication::processEvents();
    EXPECT_EQ(well->image(), logo);

    // A chosen file that is no image keeps the logo and says why.
    const QString text = dir.filePath(QStringLiteral("notes.png"));
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("just some words");
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    release(well, QPoint(5, 5));
    ASSERT_TRUE(well->openDialog());
    well->openDialog()->selectFile(text);
    QMetaObject::invokeMethod(well->openDialog(), "accept");
    QCoreApplication::processEvents();
    EXPECT_EQ(well->image(), logo);
    EXPECT_EQ(prompts.messages, QStringList{TWLocalized("notAnImage")});

    // A real image is taken.
    EXPECT_OK(well->loadImageFile(writeImage(QStringLiteral("red.png"), QSize(4, 4))));
    EXPECT_EQ(well->image().pixelColor(0, 0), QColor(Qt::red));
}

// An image that claims more pixels than allowed is refused before it is read.
TEST_F(ControlsTest, AHugeImageIsRefused)
{
    TWSelectImageView well;
    QImage logo(8, 8, QImage::Format_RGB32);
    logo.fill(Qt::blue);
    well.setImage(logo);
    // A PNG header claiming 100,000 x 100,000 pixels, without the data.
    QByteArray png = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452");
    const auto be32 = [&png](quint32 v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            png.append(char((v >> shift) & 0xff));
    };
    be32(100000);
    be32(100000);
    png.append(QByteArray::fromHex("0802000000"));
    png.append(QByteArray(4, '\0'));
    const QString path = dir.filePath(QStringLiteral("huge.png"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(png);
    file.close();
    const TWErrorResult error = well.loadImageFile(path);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->localizedDescription(), TWLocalized("notAnImage"));
    EXPECT_EQ(well.image(), logo);
}

} // namespace

// Tab walks a form's fields as they read, whatever order they were made in.
// Past the last one it goes where the window's own order leads (the button
// below the form), unless the view is the window's own loop, which comes
// round; Backtab before the first does the same the other way.
TEST_F(ControlsTest, TabPastTheLastFieldOfAChainIsTheWindows)
{
    for (const TWKeyLoop kind : {TWKeyLoop::Chain, TWKeyLoop::Window}) {
        QDialog window;
        auto *layout = new QVBoxLayout(&window);
        QList<QWidget *> fields(3);
        auto *form = new TWKeyLoopView([&fields] { return fields; }, kind, &window);
        auto *rows = new QVBoxLayout(form);
        // Made bottom up, laid out top down.
        for (qsizetype i = 2; i >= 0; --i)
            fields[i] = new QLineEdit(form);
        for (QWidget *field : fields)
            rows->addWidget(field);
        layout->addWidget(form);
        auto *done = new QPushButton(QStringLiteral("Done"), &window);
        layout->addWidget(done);
        const QList<QWidget *> walk = twTabWalk(fields.first(), 3);
        EXPECT_EQ(walk, (QList<QWidget *>{fields[1], fields[2],
                                          kind == TWKeyLoop::Chain ? done : fields[0]}));
        fields.first()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(fields.first(), Qt::Key_Backtab);
        EXPECT_EQ(QApplication::focusWidget(),
                  kind == TWKeyLoop::Chain ? static_cast<QWidget *>(done) : fields[2]);
    }
}
