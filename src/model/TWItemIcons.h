#pragma once
// The built-in icons of the master list: one per account type and one each for
// clients, merchants, reports, saved filters and the search filter. They are
// drawn on first use and kept, so no image files ship with the program.

#include <QImage>
#include <QStringList>

namespace TWItemIcons
{

// The icon of that name ("Bank", "Client", "Search" ...): 64 x 64 pixels at a
// device pixel ratio of 2. A null image for an unknown name. Main thread only.
QImage image(const QString &name);

// Every name that has an icon.
QStringList names();

} // namespace TWItemIcons
