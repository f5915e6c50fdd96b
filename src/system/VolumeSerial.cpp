#include "system/VolumeSerial.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace volume_serial {

namespace {

std::uint32_t le32(const QByteArray &b, int at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(b.constData()) + at;
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

unsigned le16(const QByteArray &b, int at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(b.constData()) + at;
    return unsigned(p[0]) | unsigned(p[1]) << 8;
}

std::optional<std::uint32_t> fatSerial(const QByteArray &h)
{
    if (static_cast<unsigned char>(h[510]) != 0x55 || static_cast<unsigned char>(h[511]) != 0xAA)
        return std::nullopt;
    const unsigned bytesPerSector = le16(h, 11);
    if (bytesPerSector < 512 || bytesPerSector > 4096 || (bytesPerSector & (bytesPerSector - 1)) != 0)
        return std::nullopt;
    // FAT32 keeps no 16-bit FAT size; its extended boot record sits further on.
    const int signatureAt = le16(h, 22) == 0 ? 0x42 : 0x26;
    const auto sig = static_cast<unsigned char>(h[signatureAt]);
    if (sig != 0x29 && sig != 0x28)
        return std::nullopt;
    return le32(h, signatureAt + 1);
}

std::optional<std::uint32_t> isoSerial(const QByteArray &h)
{
    // The volume descriptors from sector 16 on: the serial belongs to the one of the
    // highest type before the set's end (a Joliet descriptor over the primary one), and
    // is the byte-wise sums of its 2048 bytes in four lanes, as other systems count it.
    QByteArray best;
    int bestType = 0;
    for (int at = 0x8000; at + 2048 <= h.size(); at += 2048) {
        const auto type = static_cast<unsigned char>(h[at]);
        if (type == 0xFF || h.mid(at + 1, 5) != "CD001")
            break;
        if (type > bestType) {
            bestType = type;
            best = h.mid(at, 2048);
        }
    }
    if (best.isEmpty())
        return std::nullopt;
    unsigned char sum[4] = {0, 0, 0, 0};
    for (int i = 0; i < 2048; i += 4)
        for (int lane = 0; lane < 4; ++lane)
            sum[lane] = static_cast<unsigned char>(sum[lane] + static_cast<unsigned char>(best[i + lane]));
    return std::uint32_t(sum[0]) << 24 | std::uint32_t(sum[1]) << 16 | std::uint32_t(sum[2]) << 8 | sum[3];
}

} // namespace

std::optional<std::uint32_t> fromHeader(const QByteArray &head)
{
    if (head.size() < 512)
        return std::nullopt;
    if (head.mid(3, 8) == "NTFS    ")
        return le32(head, 0x48); // the low half of the 64-bit serial, as shown elsewhere
    if (const auto fat = fatSerial(head))
        return fat;
    return isoSerial(head);
}

QString format(std::uint32_t serial)
{
    return QStringLiteral("%1-%2").arg(serial >> 16, 0, 16).arg(serial & 0xFFFF, 0, 16).toUpper();
}

std::optional<std::uint32_t> fromUuid(const QString &uuid)
{
    bool ok = false;
    if (uuid.size() == 9 && uuid[4] == QLatin1Char('-')) {
        const std::uint32_t v = QString(uuid).remove(4, 1).toUInt(&ok, 16);
        if (ok)
            return v;
    } else if (uuid.size() == 16) {
        const qulonglong v = uuid.toULongLong(&ok, 16);
        if (ok)
            return static_cast<std::uint32_t>(v);
    }
    return std::nullopt;
}

QString VolumeSerialText(const QString &device)
{
    QFile f(device);
    if (f.open(QIODevice::ReadOnly)) {
        if (const auto serial = fromHeader(f.read(headerSize)))
            return format(*serial);
        return {};
    }
    const QString target = QFileInfo(device).canonicalFilePath();
    const QFileInfoList links = QDir(QStringLiteral("/dev/disk/by-uuid")).entryInfoList(QDir::System | QDir::Files);
    for (const QFileInfo &link : links) {
        if (!target.isEmpty() && link.canonicalFilePath() == target) {
            if (const auto serial = fromUuid(link.fileName()))
                return format(*serial);
        }
    }
    return {};
}

} // namespace volume_serial
