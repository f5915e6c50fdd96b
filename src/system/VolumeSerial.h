#pragma once
// Volume serial numbers as the drive query shows them: FAT, NTFS and ISO 9660
// serials read from the file system's own header.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace volume_serial {

// The serial of a FAT12/16/32, NTFS or ISO 9660 file system whose first bytes are
// given (headerSize for ISO 9660's first four volume descriptors, 512 for the
// others); none for any other.
std::optional<std::uint32_t> fromHeader(const QByteArray &head);
constexpr qint64 headerSize = 0xA000;
// "%X-%X" of the high and low 16 bits: 0x0A1B00C4 gives "A1B-C4".
QString format(std::uint32_t serial);
// The serial from a FAT or NTFS identifier of /dev/disk/by-uuid ("0A1B-00C4",
// "1234567890ABCDEF"): the system knows it even where the device is not readable.
std::optional<std::uint32_t> fromUuid(const QString &uuid);

// For a device or image file: its header when readable, else the system's volume
// identifier of the device; the empty text when neither gives a serial.
QString VolumeSerialText(const QString &device);

} // namespace volume_serial
