// Sheets on a document window: stacking, completions after the sheet has
// closed, the minimum size, the progress sheet and the key-view notice.

#include "TWAppTestSupport.h"
#include "TWWindow.h"

#include "TWNotificationCenter.h"

#include <QLineEdit>
#include <QMainWindow>
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

TEST_F(SheetTest, WithoutACompletionTheSheetStillClosesAndIsReleased)
{
    QWidget view;
    document->beginSheetWithView(&view, false, false, {});
    QPointer<TWWindow> window = document->innermostSheet();
    ASSERT_TRUE(window);
    document->endSheet(&view, -1002);
    EXPECT_TRUE(QTest::qWaitFor([&window] { return window.isNull(); }, 2000));
    EXPECT_FALSE(document->hasAttachedSheet());
}

TEST_F(SheetTest, AResizableSheetCannotBeSmallerThan370By400)
{
    QWidget view;
    view.resize(100, 100);
    document->beginSheetWithView(&view, true, true, {});
    TWWindow *window = document->innermostSheet();
    EXPECT_EQ(window->minimumSize(), QSize(370, 400));
    window->resize(200, 200);
    EXPECT_GE(window->width(), 370);
    EXPECT_GE(window->height(), 400);
    document->endSheet(&view, -1001);
}

TEST_F(SheetTest, DismissingTheSheetWindowIsACancel)
{
    QWidget view;
    int code = 0;
    document->beginSheetWithView(&view, false, true, [&code](int c) { code = c; });
    document->innermostSheet()->reject();
    QCoreApplication::processEvents();
    EXPECT_EQ(code, -1001);
    EXPECT_FALSE(document->hasAttachedSheet());
}

TEST_F(SheetTest, TheProgressSheetGoesOnTheInnermostSheet)
{
    document->showProgress(true);
    ASSERT_TRUE(document->progressWindow());
    EXPECT_EQ(document->progressWindow()->parentWidget(), document->windowForSheet());
    document->showProgress(false);
    EXPECT_FALSE(document->progressWindow());

    QWidget editor;
    document->beginSheetWithView(&editor, false, true, {});
    document->showProgress(true);
    EXPECT_EQ(document->progressWindow()->parentWidget(), document->innermostSheet());
    document->showProgress(false);
    document->endSheet(&editor, -1001);
}

TEST_F(SheetTest, TabInASheetTellsTheEditorsTheKeyViewChanged)
{
    QWidget view;
    auto *layout = new QVBoxLayout(&view);
    auto *a = new QLineEdit(&view);
    auto *b = new QLineEdit(&view);
    layout->addWidget(a);
    layout->addWidget(b);
    document->beginSheetWithView(&view, false, true, {});
    TWWindow *window = document->innermostSheet();
    int posted = 0;
    const auto token = TWNotificationCenter::defaultCenter().addObserver(
        TWKeyViewChangedNotification, window, [&posted](const TWNotification &) { ++posted; });
    QTest::keyClick(a, Qt::Key_Tab);
    TWNotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_EQ(posted, 1);
    document->endSheet(&view, -1001);
}

} // namespace
