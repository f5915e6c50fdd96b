#pragma once
// The machine's optical drive, for discs opened without a path (DVD-Video from the drive).
#include <QString>

namespace optical_drive {

// The first optical drive's device (/dev/srN, else /dev/cdrom); empty when there is none.
QString first();

} // namespace optical_drive
