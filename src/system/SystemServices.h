#pragma once
// The platform services behind the computer-control menu, the drive menus, the file
// associations and MPRIS, handed to the windows at start-up. A default-constructed
// set has none of them: every command then does nothing, nothing is written to the
// user's folders and no bus is touched (what the window tests get). The program's
// main function fills it with the real ones.
#include "system/Drives.h"

#include <QDBusConnection>
#include <QString>
#include <QVector>

#include <optional>

class DisplayControl;
class FileAssociations;
class SessionControl;

struct SystemServices {
    SessionControl *session = nullptr;
    DisplayControl *display = nullptr;
    // Rewritten while the main window is created.
    FileAssociations *associations = nullptr;
    // The user's autostart folder and the program file its entry starts; an empty
    // folder leaves the autostart commands without effect.
    QString autostartDir;
    QString programPath;
    // The drives of the drive menus; none given: the machine's.
    std::optional<QVector<DriveEntry>> drives;
    // Where MPRIS is offered; none: nowhere.
    std::optional<QDBusConnection> mprisBus;
    // Where the video window holds off the screen saver; none: nowhere.
    std::optional<QDBusConnection> screenSaverBus;
};
