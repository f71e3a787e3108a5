// Sheets on a document window: stacking, completions after the sheet has
// closed, the minimum size, the progress sheet and the key-view notice.

#include "TWAppTestSupport.h"
#include "app/TWWindow.h"

#include "foundation/TWNotificationCenter.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QVBoxLayout>

namespace
{

class SheetTest : public TWAppTest
{
protected:
    void SetUp() override
    {
        TWAppTest::SetUp();
        document = newDocument();
        document->makeWindowControllers();
        document->showWindows();
    }
    void TearDown() override
    {
        document.reset();
        TWAppTest::TearDown();
    }

    std::unique_ptr<TWBusinessController> document;
};

TEST_F(SheetTest, ASheetOpenedFromASheetStacksOnItAndEndingItReturnsToTheFirst)
{
    QWidget first;
    QWidget second;
    QList<int> codes;
    document->beginSheetWithView(&first, false, true, [&codes](int code) { codes.append(code); });
    TWWindow *outer = document->innermostSheet();
    ASSERT_TRUE(outer);
    EXPECT_EQ(outer->parentWidget(), document->windowForSheet());
    EXPECT_EQ(outer->windowModality(), Qt::WindowModal);
    EXPECT_TRUE(outer->isVisible());
    EXPECT_TRUE(document->hasAttachedSheet());

    document->beginSheetWithView(&second, false, true,
                                 [&codes](int code) { codes.append(code * 10); });
    TWWindow *inner = document->innermostSheet();
    ASSERT_NE(inner, outer);
    EXPECT_EQ(inner->parentWidget(), outer);

    document->endSheet(&second, -1002);
    // The completion runs after the sheet has closed, not inside the ending.
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_FALSE(inner->isVisible());
    EXPECT_EQ(document->innermostSheet(), outer);
    // The view is free to be shown again.
    EXPECT_EQ(second.parentWidget(), nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(codes, QList<int>{-10020});

    document->endSheet(&first, -1001);
    QCoreApplication::processEvents();
    EXPECT_EQ(codes, (QList<int>{-10020, -1001}));
    EXPECT_FALSE(document->hasAttachedSheet());

    // Shown again later, the same view works as before.
    document->beginSheetWithView(&second, false, true, {});
    EXPECT_EQ(document->innermostSheet()->parentWidget(), document->windowForSheet());
    document->endSheet(&second, -1001);
}

TEST_F(SheetTest, CommandsTurnedOffWhileASheetIsAttachedComeBackWhenItCloses)
{
    QMainWindow *window = document->windowForSheet();
    window->activateWindow();
    QCoreApplication::processEvents();
    const auto item = [window](const char *name) {
        return window->menuBar()->findChild<QAction *>(QLatin1String(name));
    };
    QAction *save = item("menuSave");
    QAction *saveAs = item("menuSaveAs");
    ASSERT_TRUE(save && saveAs);

    QLineEdit view;
    document->beginSheetWithView(&view, false, true, {});
    document->innermostSheet()->activateWindow();
    QCoreApplication::processEvents();
    // A validation while the sheet is attached turns the commands off.
    for (QAction *command : {save, saveAs}) {
        document->validateItem(command);
        EXPECT_FALSE(command->isEnabled());
    }

    document->endSheet(&view, -1001);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), window);
    for (QAction *command : {save, saveAs})
        EXPECT_TRUE(command->isEnabled()) << command->objectName().toStdString();
    // The shortcut's command runs without a menu having been opened.
    prompts.saveLocation = [](const QString &) { return QString(); };
    saveAs->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.proposed.size(), 1);

    // The progress sheet of a quick save, shown and hidden at once, leaves
    // the window active too.
    document->showProgress(true);
    document->showProgress(false);
    QTest::qWait(600);
    EXPECT_EQ(QApplication::activeWindow(), window);
}

} // namespace
