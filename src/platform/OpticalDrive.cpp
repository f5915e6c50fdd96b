#include "platform/OpticalDrive.h"

#include <QFileInfo>

namespace optical_drive {

QString first()
{
    for (int i = 0; i < 8; ++i) {
        const QString device = QStringLiteral("/dev/sr%1").arg(i);
        if (QFileInfo::exists(device))
            return device;
    }
    return QFileInfo::exists(QStringLiteral("/dev/cdrom")) ? QStringLiteral("/dev/cdrom") : QString();
}

} // namespace optical_drive
