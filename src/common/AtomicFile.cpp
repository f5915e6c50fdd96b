#include "common/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace atomic_file {

namespace {

bool fail(QString *error, int err)
{
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(err));
    return false;
}

bool writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

bool write(const QString &givenPath, const QByteArray &data, QString *error)
{
    // A link (a settings file kept with the user's dotfiles) keeps pointing where it did.
    const QFileInfo given(givenPath);
    const QString path = given.isSymLink() && given.exists() ? given.canonicalFilePath() : givenPath;
    const QByteArray target = QFile::encodeName(path);
    QByteArray temp = target + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return fail(error, errno);

    // Keep the permissions of the file being replaced; a new file gets the usual 0666 & ~umask.
    struct stat st {};
    if (::stat(target.constData(), &st) == 0) {
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }

    if (!writeAll(fd, data.constData(), data.size()) || ::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(temp.constData());
        return fail(error, err);
    }
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.constData());
        return fail(error, err);
    }
    if (::rename(temp.constData(), target.constData()) != 0) {
        const int err = errno;
        ::unlink(temp.constData());
        return fail(error, err);
    }
    // Make the rename itself durable.
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dfd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

void removeStaleTemporaries(const QString &folder, const QStringList &names)
{
    QDir dir(folder);
    for (const QString &name : names) {
        const QStringList found = dir.entryList({name + QStringLiteral(".tmp-??????")}, QDir::Files | QDir::Hidden);
        for (const QString &temp : found)
            dir.remove(temp);
    }
}

} // namespace atomic_file
