#include "app/TWTextCommands.h"

#include "foundation/TWLocalized.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <array>

namespace
{

// The line edit a focused widget types into, if any.
QLineEdit *lineEditOf(QWidget *focus)
{
    if (auto *edit = qobject_cast<QLineEdit *>(focus))
        return edit;
    if (auto *popUp = qobject_cast<QComboBox *>(focus))
        return popUp->isEditable() ? popUp->lineEdit() : nullptr;
    if (auto *spin = qobject_cast<QAbstractSpinBox *>(focus))
        return spin->findChild<QLineEdit *>();
    return nullptr;
}

bool clipboardHasText()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

template <typename TextView> bool textViewCan(TextView *view, TWTextCommand command)
{
    const bool editable = !view->isReadOnly();
    const bool selected = view->textCursor().hasSelection();
    switch (command) {
    case TWTextCommand::Undo:
        return editable && view->document()->isUndoAvailable();
    case TWTextCommand::Redo:
        return editable && view->document()->isRedoAvailable();
    case TWTextCommand::Cut:
        return editable && selected;
    case TWTextCommand::Copy:
        return selected;
    case TWTextCommand::Paste:
        return editable && view->canPaste();
    case TWTextCommand::SelectAll:
        return !view->document()->isEmpty();
    }
    return false;
}

template <typename TextView> void textViewPerform(TextView *view, TWTextCommand command)
{
    switch (command) {
    case TWTextCommand::Undo:
        view->undo();
        break;
    case TWTextCommand::Redo:
        view->redo();
        break;
    case TWTextCommand::Cut:
        view->cut();
        break;
    case TWTextCommand::Copy:
        view->copy();
        break;
    case TWTextCommand::Paste:
        view->paste();
        break;
    case TWTextCommand::SelectAll:
        view->selectAll();
        break;
    }
}

} // namespace

bool twCanPerformTextCommand(QWidget *focus, TWTextCommand command)
{
    if (QLineEdit *edit = lineEditOf(focus)) {
        const bool editable = !edit->isReadOnly() && edit->isEnabled();
        // A password field never gives its text away.
        const bool readable = edit->echoMode() == QLineEdit::Normal;
        switch (command) {
        case TWTextCommand::Undo:
            return editable && edit->isUndoAvailable();
        case TWTextCommand::Redo:
            return editable && edit->isRedoAvailable();
        case TWTextCommand::Cut:
            return editable && readable && edit->hasSelectedText();
        case TWTextCommand::Copy:
            return readable && edit->hasSelectedText();
        case TWTextCommand::Paste:
            return editable && clipboardHasText();
        case TWTextCommand::SelectAll:
            return !edit->text().isEmpty();
        }
        return false;
    }
    if (auto *text = qobject_cast<QTextEdit *>(focus))
        return textViewCan(text, command);
    if (auto *plain = qobject_cast<QPlainTextEdit *>(focus))
        return textViewCan(plain, command);
    return false;
}

bool twPerformTextCommand(QWidget *focus, TWTextCommand command)
{
    if (!twCanPerformTextCommand(focus, command))
        return false;
    if (QLineEdit *edit = lineEditOf(focus)) {
        textViewPerform(edit, command);
        return true;
    }
    if (auto *text = qobject_cast<QTextEdit *>(focus))
        textViewPerform(text, command);
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(focus))
        textViewPerform(plain, command);
    return true;
}

QMenu *twAddEditMenu(QMenuBar *bar)
{
    struct Entry {
        const char *key;
        TWTextCommand command;
        QKeySequence::StandardKey shortcut;
    };
    static const std::array<Entry, 6> entries = {{
        {"menuUndo", TWTextCommand::Undo, QKeySequence::Undo},
        {"menuRedo", TWTextCommand::Redo, QKeySequence::Redo},
        {"menuCut", TWTextCommand::Cut, QKeySequence::Cut},
        {"menuCopy", TWTextCommand::Copy, QKeySequence::Copy},
        {"menuPaste", TWTextCommand::Paste, QKeySequence::Paste},
        {"menuSelectAll", TWTextCommand::SelectAll, QKeySequence::SelectAll},
    }};
    QMenu *menu = bar->addMenu(TWLocalized("menuEdit"));
    menu->setObjectName(QStringLiteral("menuEdit"));
    QList<std::pair<QAction *, TWTextCommand>> items;
    for (const Entry &entry : entries) {
        if (entry.command == TWTextCommand::Cut || entry.command == TWTextCommand::SelectAll)
            menu->addSeparator();
        QAction *item = menu->addAction(TWLocalized(entry.key));
        item->setObjectName(QLatin1String(entry.key));
        item->setShortcut(QKeySequence(entry.shortcut));
        // The shortcut acts only while the menu's window is the active one.
        item->setShortcutContext(Qt::WindowShortcut);
        const TWTextCommand command = entry.command;
        QObject::connect(item, &QAction::triggered, menu,
                         [command] { twPerformTextCommand(QApplication::focusWidget(), command); });
        items.append({item, command});
    }
    const auto update = [items] {
        QWidget *focus = QApplication::focusWidget();
        for (const auto &[item, command] : items)
            item->setEnabled(twCanPerformTextCommand(focus, command));
    };
    update();
    QObject::connect(menu, &QMenu::aboutToShow, menu, update);
    // Kept current as the focus moves, so a shortcut is off (and passes on to
    // the focused view) whenever no text field could take it.
    QObject::connect(qApp, &QApplication::focusChanged, menu, update);
    return menu;
}
