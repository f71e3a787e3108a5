#pragma once

class QPushButton;

// A sheet's view is built on its own and only later placed in the dialog the
// document runs it in. The dialog does not know about a default set before
// that, so the first focus change drops it and Return would press whichever
// button had focus last (often Cancel). This keeps `button` the dialog's
// default every time the sheet is shown; in a popover, which has no dialog
// to do it, Return presses it as well.
void twKeepDefaultButton(QPushButton *button);
