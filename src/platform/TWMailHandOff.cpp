#include "platform/TWMailHandOff.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringList>

namespace
{
TWMailHandOff *g_handOff = nullptr;
} // namespace

TWMailHandOff &TWMailHandOff::mailHandOff()
{
    static TWDesktopMailHandOff desktop;
    return g_handOff ? *g_handOff : desktop;
}

void TWMailHandOff::setMailHandOff(TWMailHandOff *handOff)
{
    g_handOff = handOff;
}

QString TWDesktopMailHandOff::program()
{
    return QStringLiteral("xdg-email");
}

QStringList TWDesktopMailHandOff::arguments(const QString &path)
{
    // An absolute path, so that a name starting with "-" is never read as an
    // option.
    return {QStringLiteral("--attach"), QFileInfo(path).absoluteFilePath()};
}

bool TWDesktopMailHandOff::mailFile(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    return QProcess::startDetached(program(), arguments(path));
}
