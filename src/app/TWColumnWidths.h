#pragma once
// How a list's columns share the width the list has: each keeps its stored
// width (in Qt's device-independent pixels), widened where that would cut
// its title or its widest amount or date. When they are wider than the list,
// the columns whose content has a fixed size (ticks, dates, numbers) take
// their fitted width before a scroll bar takes the rest; then, to bring the
// furthest amount column it can whole on screen, the text columns before it
// give way first, then the accounts, the amounts before it and last the
// fitted ones, never below their titles or widest amounts or dates. Only
// where even that leaves amounts off screen (a wide font) do the columns
// shorten their titles, to half, the text columns first and the amounts'
// last, never below an amount or a date, to bring the furthest amount they
// can whole (the balance). A width the user dragged is kept exactly.

#include <QList>
#include <QString>

class QAbstractItemView;
class QEvent;
class QHeaderView;
class QObject;
class QTableView;

struct TWColumnFit {
    enum Kind {
        Kept,   // keeps its width while the text columns can give way (accounts)
        Fixed,  // content of a fixed size: gives way to `fitted`
        Text,   // gives way to its title to bring the amounts on screen
        Amount, // to be shown whole
    };
    // The stored width.
    int width = 120;
    // The least width that shows the whole title (and the widest amount or
    // date of the column).
    int minimum = 50;
    Kind kind = Kept;
    // A Fixed column: the width that fits its content.
    int fitted = 0;
    // The user set the width: it is shown exactly.
    bool dragged = false;
    // The least width its cells need whole (the widest amount or date); 0
    // where a cell's text may be cut. Titles shorten down to it at most.
    int content = 0;
};

QList<int> twShownColumnWidths(const QList<TWColumnFit> &columns, int available);

// The width a header section needs to show `title` whole, with the sort
// arrow beside it when the column is the sorted one; 0 without a title.
int twHeaderTitleWidth(const QHeaderView *header, const QString &title, bool sorted);

// Gives the table's columns the widths twShownColumnWidths finds for its
// viewport.
void twFitColumns(QTableView *table, const QList<TWColumnFit> &columns);

// Whether `event`, seen by a filter on `watched`, changed the width of the
// view's viewport: the columns are then fitted again.
bool twViewportWidthChanged(const QAbstractItemView *view, const QObject *watched,
                            const QEvent *event);
