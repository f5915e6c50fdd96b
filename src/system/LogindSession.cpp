#include "system/LogindSession.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QEventLoop>
#include <QTimer>

namespace {

const QString service = QStringLiteral("org.freedesktop.login1");
const QString managerPath = QStringLiteral("/org/freedesktop/login1");
const QString managerInterface = QStringLiteral("org.freedesktop.login1.Manager");
constexpr int authorisationTimeoutMs = 120000;

} // namespace

LogindSession::LogindSession(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , bus_(bus)
{
}

template <typename F>
void LogindSession::track(const QDBusPendingCall &call, F then)
{
    ++pending_;
    auto *watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, then](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        then(*w);
        finishOne();
    });
}

void LogindSession::finishOne()
{
    if (--pending_ == 0)
        Q_EMIT allFinished();
}

bool LogindSession::canAsk() const
{
    return pending_ == 0 && bus_.isConnected();
}

void LogindSession::managerCall(const QString &method)
{
    if (!canAsk())
        return;
    QDBusMessage m = QDBusMessage::createMethodCall(service, managerPath, managerInterface, method);
    m << true; // interactive
    // An authorisation dialog may stay open a while.
    track(bus_.asyncCall(m, authorisationTimeoutMs), [](const QDBusPendingCallWatcher &) {});
}

void LogindSession::terminateSession()
{
    if (!canAsk())
        return;
    // "auto": the caller's session, or the user's graphical one when the program runs
    // outside any session (as apps started by a systemd user manager do).
    QDBusMessage find = QDBusMessage::createMethodCall(service, managerPath, managerInterface,
                                                       QStringLiteral("GetSession"));
    find << QStringLiteral("auto");
    track(bus_.asyncCall(find), [this](const QDBusPendingCallWatcher &w) {
        const QDBusPendingReply<QDBusObjectPath> path = w;
        if (path.isError())
            return;
        QDBusMessage get = QDBusMessage::createMethodCall(service, path.value().path(),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get << QStringLiteral("org.freedesktop.login1.Session") << QStringLiteral("Id");
        track(bus_.asyncCall(get), [this](const QDBusPendingCallWatcher &w2) {
            const QDBusPendingReply<QDBusVariant> id = w2;
            if (id.isError())
                return;
            QDBusMessage end = QDBusMessage::createMethodCall(service, managerPath, managerInterface,
                                                              QStringLiteral("TerminateSession"));
            end << id.value().variant().toString();
            track(bus_.asyncCall(end, authorisationTimeoutMs), [](const QDBusPendingCallWatcher &) {});
        });
    });
}

void LogindSession::waitForPending(int timeoutMs)
{
    if (pending_ == 0)
        return;
    QEventLoop loop;
    connect(this, &LogindSession::allFinished, &loop, &QEventLoop::quit);
    connect(this, &LogindSession::waitStopped, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
}
