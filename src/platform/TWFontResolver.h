#pragma once
// Finds a font by the name a layout or a preference gives. Linux has no
// "Times Roman", and fontconfig would silently substitute whatever it likes,
// so a name is only accepted when it names an installed family (optionally
// followed by style words such as "Bold Italic" or "-Bold"), or one of the
// PostScript base fonts, which map to their URW equivalents. Safe from any
// thread: invoice layouts are loaded on the renderer's worker.

#include <QFont>
#include <QString>

#include <optional>

class TWFontResolver
{
public:
    // The font of that name at `pointSize`, or nothing when no installed
    // family matches or the size is not a positive number.
    static std::optional<QFont> fontWithName(const QString &name, double pointSize);

    // The installed family a name stands for (style words removed, base
    // names mapped), or an empty string.
    static QString familyWithName(const QString &name);
};
