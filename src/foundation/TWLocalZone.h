#pragma once
// The local time zone as the C library reads it for every conversion to local time. With TZ
// unset, as on a desktop, the C library looks at /etc/localtime again at every conversion (a
// stat each, thousands in one list); naming the file in TZ makes it read the file once, as a
// set TZ does, and the program itself looks at the file once each time the event loop wakes,
// so a change of the system's zone is still seen by whatever the next event updates.

#include <QByteArray>

namespace TWLocalZone
{

// Once, at start, before other threads run: when TZ is unset, names `zoneFile` (the C
// library's default zone file) in it, and from then on refreshes when the event loop of the
// application (made before or after) wakes. A TZ the user set is left as it is.
void install(const QByteArray &zoneFile = QByteArrayLiteral("/etc/localtime"));

// Has the C library read the zone file again when it is another file or was changed since
// it was last read (one stat otherwise). Nothing when install named no file, or TZ names
// another zone now.
void refresh();

} // namespace TWLocalZone
