#pragma once
// Where the support, contact and web-site commands lead: addresses a
// deployment sets in the preferences; none is built in, and a command without
// its address is off.

#include <QString>
#include <QUrl>

namespace TWAppLinks
{
// The support and contact mail addresses; empty when not set.
QString supportAddress();
QString contactAddress();
// The maker's site (its base address); empty when not set.
QUrl website();
} // namespace TWAppLinks
