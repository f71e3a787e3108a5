#pragma once
// The size a sheet opens at. A sheet's wanted size (its view's size hint, or
// the size an editor asked for) can be taller than a small screen, which would
// put its buttons out of reach; the first size keeps within the screen's
// available area, but never below the sheet's minimum.

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// `wanted` bounded by `available` in each direction, then raised to
// `minimum` (the minimum wins where the screen is smaller still).
QSize TWSheetFirstSize(const QSize &wanted, const QSize &minimum, const QSize &available);

// Where a sheet's frame goes: centred on its parent's frame, then moved
// just far enough to lie within `available` (the top edge last, so that the
// title bar stays on screen whatever else must give).
QPoint TWSheetFramePosition(const QSize &frame, const QRect &parentFrame, const QRect &available);

// Places a sheet of `size` (its frame as its parent's frame) by the rule
// above, before it is first shown.
void TWPlaceSheet(QWidget *sheet, const QSize &size, const QWidget *parent);

// The room a sheet of `parent` has: the available area of the parent's
// screen, less the window frame the parent's own window wears.
QSize TWSheetAvailableSize(const QWidget *parent);
