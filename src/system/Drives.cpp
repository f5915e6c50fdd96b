#include "system/Drives.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace drives {

namespace {

QString unescapeMountField(const QString &field)
{
    // /proc/mounts writes space, tab, newline and backslash as \ooo octal.
    QString out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == QLatin1Char('\\') && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out += QChar(code);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

} // namespace

QVector<DriveEntry> parseMounts(const QString &mountsText)
{
    QVector<DriveEntry> result;
    QSet<QString> seen;
    const QStringList lines = mountsText.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QStringList f = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (f.size() < 3 || !f[0].startsWith(QLatin1String("/dev/")))
            continue;
        const QString device = unescapeMountField(f[0]);
        if (seen.contains(device))
            continue;
        seen.insert(device);
        DriveEntry e;
        e.device = device;
        e.mountPoint = unescapeMountField(f[1]);
        e.caption = e.mountPoint;
        e.optical = device.startsWith(QLatin1String("/dev/sr")) || f[2] == QLatin1String("iso9660")
                    || f[2] == QLatin1String("udf");
        result.append(e);
    }
    return result;
}

namespace {

void doorCommand(const QString &device, unsigned long request)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    // Only the CD-ROM driver answers this; a mounted stick or disk is never ejected.
    if (::ioctl(fd, CDROM_GET_CAPABILITY, 0) >= 0)
        ::ioctl(fd, request, 0);
    ::close(fd);
}

} // namespace

void OpenDriveDoor(const QString &device)
{
    doorCommand(device, CDROMEJECT);
}

void CloseDriveDoor(const QString &device)
{
    doorCommand(device, CDROMCLOSETRAY);
}

QVector<DriveEntry> list()
{
    QVector<DriveEntry> result;
    QSet<QString> seen;
    const QStringList optical = QDir(QStringLiteral("/dev")).entryList({QStringLiteral("sr*")}, QDir::System, QDir::Name);
    for (const QString &name : optical) {
        DriveEntry e;
        e.device = QStringLiteral("/dev/") + name;
        e.caption = e.device;
        e.optical = true;
        seen.insert(e.device);
        result.append(e);
    }
    QFile mounts(QStringLiteral("/proc/mounts"));
    if (mounts.open(QIODevice::ReadOnly)) {
        for (DriveEntry &e : parseMounts(QString::fromUtf8(mounts.readAll()))) {
            if (seen.contains(e.device))
                continue;
            seen.insert(e.device);
            result.append(e);
        }
    }
    return result;
}

} // namespace drives
