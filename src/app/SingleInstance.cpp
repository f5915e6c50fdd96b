#include "app/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr char Ack = '\x06';
constexpr char Nak = '\x15'; // closing: start your own instance
// A path is at most a few kilobytes; anything longer is not a hand-off.
constexpr qsizetype MaxHandOff = 64 * 1024;
} // namespace

namespace {
// A directory of ours that nobody else may enter or replace (made so when we can).
bool privateDirectory(const QByteArray &dir)
{
    ::mkdir(dir.constData(), 0700);
    struct stat st {};
    if (::lstat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    if ((st.st_mode & 077) != 0 && ::chmod(dir.constData(), 0700) != 0)
        return false;
    return true;
}
} // namespace

QString SingleInstance::defaultRuntimeDir()
{
    const QByteArray xdg = qgetenv("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty()) {
        struct stat st {};
        // Only a directory of our own that nobody else may enter keeps the socket private.
        if (::stat(xdg.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()
            && (st.st_mode & 077) == 0)
            return QFile::decodeName(xdg);
    }
    // Without a runtime directory: /tmp/tarnel-<uid>, unless someone else took that name
    // first; then a folder in the user's own cache, which no other user can create. Both
    // are found again by every start of the same user, so one instance per user holds.
    const QByteArray inTmp = "/tmp/tarnel-" + QByteArray::number(::getuid());
    if (privateDirectory(inTmp))
        return QFile::decodeName(inTmp);
    QByteArray cache = qgetenv("XDG_CACHE_HOME");
    if (cache.isEmpty() || !cache.startsWith('/'))
        cache = qgetenv("HOME") + "/.cache";
    ::mkdir(cache.constData(), 0700);
    const QByteArray inCache = cache + "/tarnel-runtime";
    privateDirectory(inCache);
    // When even that is not ours, acquire() refuses to trust it and the guard is off.
    return QFile::decodeName(inCache);
}

SingleInstance::SingleInstance(const QString &runtimeDir, QObject *parent)
    : QObject(parent)
    , dir_(runtimeDir.isEmpty() ? defaultRuntimeDir() : runtimeDir)
{
}

SingleInstance::~SingleInstance()
{
    release();
}

QString SingleInstance::socketPath() const
{
    return dir_ + QStringLiteral("/Quillon");
}

QString SingleInstance::lockPath() const
{
    return dir_ + QStringLiteral("/Quillon.lock");
}

bool SingleInstance::acquire()
{
    const QByteArray dir = QFile::encodeName(dir_);
    struct stat st {};
    if (::lstat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()
        || (st.st_mode & 077) != 0) {
        // A directory another user could enter or own would expose the hand-off socket.
        return true;
    }
    lockFd_ = ::open(QFile::encodeName(lockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0)
        return true; // a guard we cannot create is not a second instance
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(lockFd_);
        lockFd_ = -1;
        return !held;
    }
    return true;
}

bool SingleInstance::listen(std::function<void(const QByteArray &)> handler)
{
    handler_ = std::move(handler);
    if (lockFd_ < 0)
        return false;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket file left behind belongs to a dead instance.
    QLocalServer::removeServer(socketPath());
    if (!server_->listen(socketPath()))
        return false;
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    // A failed accept (out of file descriptors, say) makes QLocalServer close itself for
    // good: listen again once descriptors are free.
    watchdog_ = new QTimer(this);
    watchdog_->setInterval(RelistenIntervalMs);
    connect(watchdog_, &QTimer::timeout, this, &SingleInstance::keepListening);
    watchdog_->start();
    return true;
}

void SingleInstance::keepListening()
{
    if (!server_ || server_->isListening())
        return;
    QLocalServer::removeServer(socketPath());
    server_->listen(socketPath());
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = server_->nextPendingConnection()) {
        // Only this user's processes may add to this user's playlist.
        struct ucred cred {};
        socklen_t len = sizeof cred;
        if (::getsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0
            || cred.uid != ::getuid()) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void SingleInstance::onReadyRead(QLocalSocket *socket)
{
    QByteArray buffer = socket->property("handoff").toByteArray();
    buffer += socket->readAll();
    const qsizetype zero = buffer.indexOf('\0');
    if (zero < 0) {
        if (buffer.size() > MaxHandOff)
            socket->abort();
        else
            socket->setProperty("handoff", buffer);
        return;
    }
    socket->setProperty("handoff", QByteArray());
    if (refusing_) {
        socket->write(&Nak, 1);
        socket->flush();
        socket->disconnectFromServer();
        Q_EMIT handOffRefused();
        return;
    }
    if (handler_)
        handler_(buffer.left(zero));
    socket->write(&Ack, 1);
    socket->flush();
    socket->disconnectFromServer();
}

bool SingleInstance::handOff(const QByteArray &path, int timeoutMs)
{
    return send(path, timeoutMs, nullptr) == Reply::Ack;
}

SingleInstance::Reply SingleInstance::send(const QByteArray &path, int timeoutMs, bool *becameFirst)
{
    QLocalSocket socket;
    // The running instance takes hand-offs once its windows are up: while it starts,
    // the socket may not exist yet, so keep knocking until the time is up. When the
    // guard is free meanwhile, nobody runs any more: take it (if asked to).
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(std::max<qint64>(1, timeoutMs - waited.elapsed())))
            break;
        socket.abort();
        if (becameFirst && acquire() && lockFd_ >= 0) {
            *becameFirst = true;
            return Reply::None;
        }
        if (waited.elapsed() >= timeoutMs)
            return Reply::None;
        QThread::msleep(50);
    }
    QByteArray message = path;
    message.append('\0');
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return Reply::None;
    // The running instance answers once its handler has run; one that closes the
    // connection without a word is going away.
    while (socket.bytesAvailable() == 0) {
        if (!socket.waitForReadyRead(std::max<qint64>(1, timeoutMs - waited.elapsed())))
            return socket.state() == QLocalSocket::UnconnectedState ? Reply::Refused : Reply::None;
    }
    char reply = 0;
    if (socket.read(&reply, 1) != 1)
        return Reply::None;
    return reply == Ack ? Reply::Ack : Reply::Refused;
}

SingleInstance::Outcome SingleInstance::handOffOrBecomeFirst(const QByteArray &path, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    bool becameFirst = false;
    const Reply reply = send(path, timeoutMs, &becameFirst);
    if (becameFirst)
        return Outcome::BecameFirst;
    if (reply == Reply::Ack)
        return Outcome::Delivered;
    if (reply == Reply::None)
        return Outcome::NoAnswer;
    // Refused: the running instance is closing and lets the guard go once its windows
    // are gone.
    while (!(acquire() && lockFd_ >= 0)) {
        if (waited.elapsed() >= timeoutMs)
            return Outcome::NoAnswer;
        QThread::msleep(20);
    }
    return Outcome::BecameFirst;
}

void SingleInstance::release()
{
    delete watchdog_;
    watchdog_ = nullptr;
    if (server_) {
        server_->close();
        delete server_;
        server_ = nullptr;
    }
    if (lockFd_ >= 0) {
        ::close(lockFd_);
        lockFd_ = -1;
    }
}
