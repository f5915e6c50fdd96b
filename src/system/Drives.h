#pragma once
// The machine's drives for the drive menus: optical drives and mounted volumes.
#include <QMetaType>
#include <QString>
#include <QVector>

struct DriveEntry {
    QString caption; // what the menu shows
    QString device;  // /dev/... the door and query commands act on
    QString mountPoint;
    bool optical = false;
};
Q_DECLARE_METATYPE(DriveEntry)

namespace drives {

// Optical drives (/dev/srN) first, then mounted block-device volumes, each once.
QVector<DriveEntry> list();
// Parses /proc/mounts text: block-device mounts only, escapes (\040) decoded.
QVector<DriveEntry> parseMounts(const QString &mountsText);

// Door commands on a drive's device, opened without waiting for a medium; a device
// that cannot be opened or is no optical drive: nothing happens.
void OpenDriveDoor(const QString &device);
void CloseDriveDoor(const QString &device);

} // namespace drives
