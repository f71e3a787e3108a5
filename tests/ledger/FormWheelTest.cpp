// A scroll over a form never changes a value: pop-ups, spin boxes and date
// fields without the keyboard focus let the wheel scroll the form instead.

#include "TransactionEditorTestSupport.h"

#include "app/TWWheelGuard.h"

#include <QApplication>
#include <QDateEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace
{

// Each test installs the application's wheel guard; it is taken away after,
// so that the tests that follow meet the application as they would alone.
class FormWheel : public TransactionEditorTest
{
protected:
    void TearDown() override
    {
        delete qApp->findChild<TWWheelGuard *>(QString(), Qt::FindDirectChildrenOnly);
        TransactionEditorTest::TearDown();
    }
};

// One notch of the wheel, downwards, over the middle of `widget`.
void wheelDown(QWidget *widget)
{
    const QPointF local(widget->width() / 2.0, widget->height() / 2.0);
    QWheelEvent wheel(local, widget->mapToGlobal(local), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
}

TEST_F(FormWheel, AWheelOverTheEditorsAccountPopUpScrollsTheFormAndChangesNothing)
{
    TWWheelGuard::install();
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 15000));
    ASSERT_TRUE(editor);
    auto *area = editor->view()->findChild<QScrollArea *>();
    ASSERT_TRUE(area);
    // A window too short for the form: the form scrolls.
    area->setFixedHeight(40);
    QApplication::processEvents();
    ASSERT_GT(area->verticalScrollBar()->maximum(), 0);

    QComboBox *account = popUp(editor, -7);
    ASSERT_TRUE(account);
    ASSERT_GE(account->count(), 2);
    // Wheel focus would hand it the focus on the first notch.
    EXPECT_NE(account->focusPolicy(), Qt::WheelFocus);
    ASSERT_FALSE(account->hasFocus());
    const int index = account->currentIndex();
    const qint32 before = editor->editTransaction()->account1Identifier();
    wheelDown(account);
    wheelDown(account);
    EXPECT_EQ(account->currentIndex(), index);
    EXPECT_EQ(editor->editTransaction()->account1Identifier(), before);
    EXPECT_GT(area->verticalScrollBar()->value(), 0);
}

TEST_F(FormWheel, SpinBoxesAndDateFieldsTakeTheWheelOnlyWithTheFocus)
{
    TWWheelGuard::install();
    QScrollArea area;
    auto *form = new QWidget;
    auto *layout = new QVBoxLayout(form);
    // The field the window gives the focus to.
    auto *name = new QLineEdit;
    layout->addWidget(name);
    auto *quantity = new QSpinBox;
    quantity->setRange(0, 100);
    quantity->setValue(5);
    auto *day = new QDateEdit(QDate(2026, 3, 10));
    layout->addWidget(quantity);
    layout->addWidget(day);
    layout->addSpacing(2000);
    area.setWidget(form);
    area.setWidgetResizable(true);
    area.resize(300, 120);
    area.show();
    QApplication::processEvents();
    name->setFocus();

    wheelDown(quantity);
    wheelDown(day);
    EXPECT_EQ(quantity->value(), 5);
    EXPECT_EQ(day->date(), QDate(2026, 3, 10));
    EXPECT_GT(area.verticalScrollBar()->value(), 0);
    EXPECT_TRUE(TWWheelGuard::passesWheel(quantity));

    // Focused, the field is the user's target: the wheel steps its value.
    area.activateWindow();
    if (QTest::qWaitForWindowActive(&area)) {
        quantity->setFocus();
        ASSERT_TRUE(quantity->hasFocus());
        EXPECT_FALSE(TWWheelGuard::passesWheel(quantity));
        const int scrolled = area.verticalScrollBar()->value();
        wheelDown(quantity);
        EXPECT_EQ(quantity->value(), 4);
        EXPECT_EQ(area.verticalScrollBar()->value(), scrolled);
    }
}

} // namespace
