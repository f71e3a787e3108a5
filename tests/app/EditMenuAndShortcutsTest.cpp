// The keyboard as a desktop user expects it: Save As on Ctrl+Shift+S, the
// preferences closed with Escape or Ctrl+W, an Edit menu for text fields, and
// sheets titled by what they are.

#include "TWAppTestSupport.h"

#include "app/TWPreferencesController.h"
#include "app/TWTextCommands.h"

#include "model/TWLayoutManager.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSet>
#include <QVBoxLayout>

namespace
{

using EditMenuAndShortcutsTest = TWAppTest;

TEST_F(EditMenuAndShortcutsTest, SaveAsHasItsShortcutAndPreferencesCloseFromTheKeyboard)
{
    auto document = newDocument();
    document->makeWindowControllers();
    QMainWindow *window = document->windowForSheet();
    ASSERT_TRUE(window);
    auto *saveAs = window->menuBar()->findChild<QAction *>(QStringLiteral("menuSaveAs"));
    ASSERT_TRUE(saveAs);
    EXPECT_EQ(saveAs->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+S")));

    TWLayoutManager layouts;
    TWPreferencesController preferences(&layouts);
    auto *close = preferences.window()->findChild<QAction *>(QStringLiteral("closePreferences"));
    ASSERT_TRUE(close);
    EXPECT_TRUE(close->shortcuts().contains(QKeySequence(Qt::Key_Escape)));
    EXPECT_TRUE(close->shortcuts().contains(QKeySequence(QStringLiteral("Ctrl+W"))));
    // Each key once, or the shortcut would be ambiguous with itself.
    const QList<QKeySequence> keys = close->shortcuts();
    EXPECT_EQ(QSet<QKeySequence>(keys.begin(), keys.end()).size(), keys.size());
    preferences.window()->show();
    ASSERT_TRUE(preferences.window()->isVisible());
    close->trigger();
    EXPECT_FALSE(preferences.window()->isVisible());
}

TEST_F(EditMenuAndShortcutsTest, TheEditMenuServesTheFocusedTextField)
{
    auto document = newDocument();
    document->makeWindowControllers();
    QMainWindow *window = document->windowForSheet();
    QMenu *edit = window->menuBar()->findChild<QMenu *>(QStringLiteral("menuEdit"));
    ASSERT_TRUE(edit);
    const auto item = [edit](const char *name) {
        return edit->findChild<QAction *>(QLatin1String(name));
    };
    for (const char *name :
         {"menuUndo", "menuRedo", "menuCut", "menuCopy", "menuPaste", "menuSelectAll"})
        ASSERT_TRUE(item(name)) << name;

    QLineEdit field;
    field.setText(QStringLiteral("Invoice 42"));
    QGuiApplication::clipboard()->setText(QStringLiteral("Receipt"));
    // Nothing focused that takes text: the commands are off.
    EXPECT_FALSE(twCanPerformTextCommand(nullptr, TWTextCommand::Paste));
    EXPECT_FALSE(twCanPerformTextCommand(window, TWTextCommand::SelectAll));

    EXPECT_TRUE(twPerformTextCommand(&field, TWTextCommand::SelectAll));
    EXPECT_EQ(field.selectedText(), QStringLiteral("Invoice 42"));
    EXPECT_TRUE(twPerformTextCommand(&field, TWTextCommand::Copy));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Invoice 42"));
    field.setCursorPosition(field.text().size());
    EXPECT_FALSE(twCanPerformTextCommand(&field, TWTextCommand::Cut));
    EXPECT_TRUE(twPerformTextCommand(&field, TWTextCommand::Paste));
    EXPECT_EQ(field.text(), QStringLiteral("Invoice 42Invoice 42"));
    EXPECT_TRUE(twPerformTextCommand(&field, TWTextCommand::Undo));
    EXPECT_EQ(field.text(), QStringLiteral("Invoice 42"));

    // A read-only field copies but takes nothing in.
    field.setReadOnly(true);
    field.selectAll();
    EXPECT_TRUE(twCanPerformTextCommand(&field, TWTextCommand::Copy));
    EXPECT_FALSE(twCanPerformTextCommand(&field, TWTextCommand::Paste));
    EXPECT_FALSE(twCanPerformTextCommand(&field, TWTextCommand::Cut));

    QPlainTextEdit notes;
    notes.setPlainText(QStringLiteral("Paid in cash"));
    EXPECT_TRUE(twPerformTextCommand(&notes, TWTextCommand::SelectAll));
    EXPECT_TRUE(twPerformTextCommand(&notes, TWTextCommand::Cut));
    EXPECT_TRUE(notes.toPlainText().isEmpty());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Paid in cash"));

    // The menu's items act on the field with the focus.
    QWidget host;
    auto *layout = new QVBoxLayout(&host);
    auto *focused = new QLineEdit(QStringLiteral("abc"), &host);
    layout->addWidget(focused);
    host.show();
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    focused->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), focused);
    emit edit->aboutToShow();
    EXPECT_TRUE(item("menuSelectAll")->isEnabled());
    item("menuSelectAll")->trigger();
    EXPECT_EQ(focused->selectedText(), QStringLiteral("abc"));
}

} // namespace
