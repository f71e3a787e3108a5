#pragma once
// The size a sheet opens at. A sheet's wanted size (its view's size hint, or
// the size an editor asked for) can be taller than a small screen, which would
// put its buttons out of reach; the first size keeps within the screen's
// available area, but never below the sheet's minimum.

#include <QSize>

class QWidget;

// `wanted` bounded by `available` in each direction, then raised to
// `minimum` (the minimum wins where the screen is smaller still).
QSize TWSheetFirstSize(const QSize &wanted, const QSize &minimum, const QSize &available);

// The room a sheet of `parent` has: the available area of the parent's
// screen, less the window frame the parent's own window wears.
QSize TWSheetAvailableSize(const QWidget *parent);
