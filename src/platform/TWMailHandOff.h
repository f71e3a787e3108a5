#pragma once
// Hands a file to the user's mail program as the attachment of a new message
// (a report, an invoice). The desktop's one goes through xdg-email; tests put
// a fake in its place that records what it was given.

#include <QString>

#include <memory>

class TWMailHandOff
{
public:
    virtual ~TWMailHandOff() = default;
    // Starts a new message with the file at `path` attached; false when no
    // mail program could be started.
    virtual bool mailFile(const QString &path) = 0;

    // The hand-off in use: the desktop's unless a test set another.
    static TWMailHandOff &mailHandOff();
    // nullptr puts the desktop's back. The caller keeps ownership.
    static void setMailHandOff(TWMailHandOff *handOff);
};

// Runs `xdg-email --attach FILE` as a detached process with an argument list
// (no shell sees the path).
class TWDesktopMailHandOff final : public TWMailHandOff
{
public:
    bool mailFile(const QString &path) override;
    // The program and its arguments for `path`.
    static QString program();
    static QStringList arguments(const QString &path);
};
