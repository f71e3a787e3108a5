#pragma once
// The Edit menu's commands over whatever text field has the keyboard focus:
// line edits (also those inside pop-ups and spin boxes) and text views.

#include <QMenu>

class QMenuBar;
class QWidget;

enum class TWTextCommand { Undo, Redo, Cut, Copy, Paste, SelectAll };

// Whether the command can act on `focus` now (a text field with something
// to undo, a selection to copy, a clipboard to paste...).
bool twCanPerformTextCommand(QWidget *focus, TWTextCommand command);
// Performs it; false when `focus` is no text field or the command cannot act.
bool twPerformTextCommand(QWidget *focus, TWTextCommand command);

// Adds the Edit menu (Undo, Redo, Cut, Copy, Paste, Select All) to the bar.
// Its items act on the focused text field and are off while none has the
// focus, so their shortcuts then reach the focused view (Select All in a
// register selects its rows).
QMenu *twAddEditMenu(QMenuBar *bar);
