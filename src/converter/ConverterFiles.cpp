#include "converter/ConverterFiles.h"

#include "common/PathRules.h"
#include "common/TextCodec.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace {

QString systemError(int error)
{
    char text[256] = {};
    return QString::fromLocal8Bit(strerror_r(error, text, sizeof text));
}

// The mode a newly created file gets from the user's umask; mkstemp's own 0600 would
// hide the output from the user's other programs. Read without changing the umask,
// which other threads may rely on.
mode_t createMode()
{
    static mode_t mode = 0644;
    static std::once_flag once;
    std::call_once(once, [] {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    mode = mode_t(0666 & ~mask);
            }
    });
    return mode;
}

} // namespace

InputFile::~InputFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool InputFile::open(const QString &path)
{
    const QByteArray name = text_codec::encodeFileName(path);
    // Asked first, so that a device is not even opened.
    struct stat before {};
    if (::stat(name.constData(), &before) != 0) {
        error_ = systemError(errno);
        return false;
    }
    if (!S_ISREG(before.st_mode)) {
        error_ = QStringLiteral("není obyčejný soubor (roura, zařízení nebo složka)");
        return false;
    }
    // Without waiting: the name may have become a FIFO since.
    fd_ = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) {
        error_ = systemError(errno);
        return false;
    }
    if (::fstat(fd_, &st_) != 0 || !S_ISREG(st_.st_mode)) {
        error_ = QStringLiteral("není obyčejný soubor (roura, zařízení nebo složka)");
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    return true;
}

bool InputFile::shrank() const
{
    struct stat now {};
    return fd_ >= 0 && ::fstat(fd_, &now) == 0 && now.st_size < st_.st_size;
}

bool checkSource(const QString &path, bool blockDeviceAllowed, QString *error)
{
    struct stat st {};
    if (::stat(text_codec::encodeFileName(path).constData(), &st) != 0) {
        *error = path + QStringLiteral(": ") + systemError(errno);
        return false;
    }
    if (S_ISREG(st.st_mode) || (blockDeviceAllowed && S_ISBLK(st.st_mode)))
        return true;
    *error = path + QStringLiteral(": není obyčejný soubor ani mechanika");
    return false;
}

bool isSameFile(const QString &outputPath, const struct stat &input)
{
    struct stat out {};
    return ::stat(text_codec::encodeFileName(outputPath).constData(), &out) == 0 && out.st_dev == input.st_dev
           && out.st_ino == input.st_ino;
}

QString sameFileMessage(const QString &path)
{
    return QStringLiteral("Výstup by přepsal vstupní soubor, soubor nebyl převeden: %1").arg(path);
}

QString numberedName(const QString &path, int n)
{
    const QString name = path_rules::fileNameOf(path);
    const QString extension = path_rules::extensionOf(name);
    const QString stem = path.left(path.size() - extension.size());
    return stem + QStringLiteral(" (%1)").arg(n) + extension;
}

OutputFile::OutputFile(const QString &target)
    : target_(target)
{
}

OutputFile::~OutputFile()
{
    discard();
}

bool OutputFile::fail(int error)
{
    if (error == ENOSPC || error == EDQUOT)
        error_ = QStringLiteral("Na disku není místo pro soubor %1").arg(target_);
    else if (error == EFBIG)
        error_ = QStringLiteral("Soubor %1 je pro tento disk příliš velký").arg(target_);
    else
        error_ = QStringLiteral("Soubor %1 nelze zapsat (%2)").arg(target_, systemError(error));
    return false;
}

bool OutputFile::open()
{
    const QString folder = path_rules::directoryOf(target_);
    temp_ = text_codec::encodeFileName(folder) + '.' + text_codec::encodeFileName(path_rules::fileNameOf(target_))
            + ".XXXXXX.part";
    fd_ = ::mkostemps(temp_.data(), 5, O_CLOEXEC);
    if (fd_ < 0) {
        const int error = errno;
        temp_.clear();
        return fail(error);
    }
    ::fchmod(fd_, createMode());
    return true;
}

bool OutputFile::write(const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n < 0 ? errno : ENOSPC);
        data += n;
        size -= n;
    }
    return true;
}

bool OutputFile::writeAt(qint64 offset, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(fd_, data, size_t(size), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n < 0 ? errno : ENOSPC);
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

bool OutputFile::commit()
{
    if (fd_ < 0)
        return false;
    // A file system that reserves space late reports a full disk only here.
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0)
        return fail(errno);
    for (int n = 0; n < 1000; ++n) {
        const QString name = n == 0 ? target_ : numberedName(target_, n);
        const QByteArray bytes = text_codec::encodeFileName(name);
        if (::renameat2(AT_FDCWD, temp_.constData(), AT_FDCWD, bytes.constData(), RENAME_NOREPLACE) == 0) {
            final_ = name;
            temp_.clear();
            return true;
        }
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL && errno != ENOSYS)
            return fail(errno);
        // A file system without that rename: a hard link fails on an existing name too.
        if (::link(temp_.constData(), bytes.constData()) == 0) {
            ::unlink(temp_.constData());
            final_ = name;
            temp_.clear();
            return true;
        }
        if (errno == EEXIST)
            continue;
        // Neither (FAT): look, then rename; only a file made in between could be lost.
        struct stat st {};
        if (::lstat(bytes.constData(), &st) == 0)
            continue;
        if (::rename(temp_.constData(), bytes.constData()) != 0)
            return fail(errno);
        final_ = name;
        temp_.clear();
        return true;
    }
    return fail(EEXIST);
}

void OutputFile::discard()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.isEmpty()) {
        ::unlink(temp_.constData());
        temp_.clear();
    }
}
