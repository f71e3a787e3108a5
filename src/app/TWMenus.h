#pragma once
// The menu bar of every document window, built from one table of commands,
// and the contents of the menus that are filled when they open.

#include <QList>
#include <QString>

class QMainWindow;
class QMenu;
class TWBusinessController;

// The menus the application delegate fills when they are about to show.
enum class TWMenuKind { Columns, SortBy, Client, ClientMark, Status };

// One entry of a menu filled in code; `key` empty is a separator.
struct TWMenuEntry {
    QString key;
    bool checked = false;
    bool operator==(const TWMenuEntry &) const = default;
};

// The columns menu (`columns` true) or the sort menu while no document
// offers its own: the ten register columns, all checked for the columns; for
// sorting only "date", then the direction.
QList<TWMenuEntry> twDefaultSortMenuEntries(bool columns);
// "complete" and "notComplete", unchecked.
QList<TWMenuEntry> twDefaultClientMarkMenuEntries();
// Replaces the menu's items with the entries.
void twFillMenu(QMenu *menu, const QList<TWMenuEntry> &entries);

void twBuildMenuBar(QMainWindow *window, TWBusinessController *document);
