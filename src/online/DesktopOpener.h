#pragma once
// Opens a file with the desktop's handler for its type (what a double click in the file
// manager does); the downloaded setup program is started this way. Behind an interface
// so that tests open nothing.
#include <QString>

class DesktopOpener {
public:
    virtual ~DesktopOpener() = default;
    // false when no handler could be started; *error then says why.
    virtual bool open(const QString &path, QString *error) = 0;
};

// xdg-open, detached: the player does not wait for what it starts.
class XdgOpener : public DesktopOpener {
public:
    bool open(const QString &path, QString *error) override;
};
