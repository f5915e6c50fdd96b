#pragma once
// The machine's drives for the drive menus: optical drives and mounted volumes.
#include <QString>
#include <QVector>

struct DriveEntry {
    QString caption; // what the menu shows
    QString device;  // /dev/... the door and query commands act on
    QString mountPoint;
    bool optical = false;
};

namespace drives {

// Optical drives (/dev/srN) first, then mounted block-device volumes, each once.
QVector<DriveEntry> list();
// Parses /proc/mounts text: block-device mounts only, escapes (\040) decoded.
QVector<DriveEntry> parseMounts(const QString &mountsText);

} // namespace drives
