#pragma once
// The menu bar of every document window, built from one table of commands,
// and the contents of the menus that are filled when they open.

#include "app/TWListMenus.h"
#include "app/TWMenuValidation.h"

#include <QList>
#include <QString>

#include <functional>

class QAction;
class QMainWindow;
class QMenu;
class QObject;
class QWidget;
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
// The source list's add pop-up: a new account, filter, client, merchant or
// report, or a group of each, by the items' tags (0 to 9).
QMenu *twMasterAddMenu(QWidget *parent, TWBusinessController *document);

// A menu item carrying its command, tag (also its data) and represented object.
QAction *twMenuAction(QMenu *menu, const QString &title, TWAction action, int tag = 0,
                      const QVariant &representedObject = {});
std::optional<TWAction> twActionOf(const QAction *item);
int twTagOf(const QAction *item);
QVariant twRepresentedObject(const QAction *item);
TWFieldPtr twRepresentedField(const QAction *item);
// Replaces the menu's items with the list menu's; `document` performs them.
void twFillListMenu(QMenu *menu, const QList<TWListMenuItem> &items,
                    TWBusinessController *document);
// The check marks of the column, sort and direction items for the list the
// command acts on.
TWValidation twValidateListMenu(const TWBusinessController &document, TWAction action, int tag,
                                const QVariant &representedObject);

// What a list's header menu asks of its list.
struct TWHeaderMenuHooks {
    std::function<bool(int tag)> fieldVisible;
    std::function<int()> sortTag;
    std::function<bool()> ascending;
    std::function<void(int tag)> toggleField;
    std::function<void(int tag)> sortBy;
    std::function<void(bool ascending)> sortDirection;
};
// Replaces the header menu's items: a checkable item per column, then
// "sortBy" with the sort items and the two directions. The check marks are
// set now and again each time the menu opens; `context` ends the commands.
void twFillHeaderMenu(QMenu *menu, QObject *context, const QList<TWListMenuItem> &columns,
                      const QList<TWListMenuItem> &sorts, const TWHeaderMenuHooks &hooks);
