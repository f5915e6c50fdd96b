#include "support/StalledFifo.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Without a reader a non-blocking open for writing fails (ENXIO).
int openForReader(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
}

} // namespace

StalledFifo::StalledFifo(const QString &path)
    : path_(path)
    , valid_(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0)
{
}

StalledFifo::~StalledFifo()
{
    letGo();
}

bool StalledFifo::serveOnce(const QByteArray &text) const
{
    const int fd = openForReader(path_);
    if (fd < 0)
        return false;
    // The reader may still be in its open: once it holds the FIFO, the text and the end
    // go to that opening alone.
    const QDeadlineTimer deadline(20000);
    while (!openForReading(fd) && !deadline.hasExpired())
        QThread::usleep(200);
    // A reader that closes meanwhile would end the test with SIGPIPE: write gives EPIPE
    // instead. Shorter than the pipe's buffer, the text is written at once.
    struct sigaction ignore {};
    struct sigaction before {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &before);
    const bool ok = ::write(fd, text.constData(), size_t(text.size())) == text.size();
    ::sigaction(SIGPIPE, &before, nullptr);
    ::close(fd);
    // The reader reads to the end and closes; a later opening is another one.
    while (openForReading(-1) && !deadline.hasExpired())
        QThread::usleep(200);
    return ok;
}

bool StalledFifo::openForReading(int exceptFd) const
{
    const QString target = QFileInfo(path_).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (fd.toInt() == held_ || fd.toInt() == exceptFd)
            continue;
        if (QFile::symLinkTarget(fds.filePath(fd)) == target)
            return true;
    }
    return false;
}

bool StalledFifo::hold()
{
    if (held_ < 0)
        held_ = openForReader(path_);
    return held_ >= 0;
}

void StalledFifo::letGo()
{
    if (held_ >= 0)
        ::close(held_);
    held_ = -1;
}
