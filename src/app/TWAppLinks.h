#pragma once
// Where the support, contact and web-site commands lead.

#include <QString>

namespace TWAppLinks
{
inline const QString supportAddress = QStringLiteral("support@tallyworth.example");
inline const QString contactAddress = QStringLiteral("hello@tallyworth.example");
inline const QString website = QStringLiteral("https://tallyworth.example/");
} // namespace TWAppLinks
