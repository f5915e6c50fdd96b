#include "video/ScreenSaverInhibitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

ScreenSaverInhibitor::ScreenSaverInhibitor(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , bus_(bus)
{
}

ScreenSaverInhibitor::~ScreenSaverInhibitor()
{
    // The service also drops a cookie when its holder leaves the bus.
    release();
}

void ScreenSaverInhibitor::setWanted(bool wanted)
{
    if (wanted == wanted_)
        return;
    wanted_ = wanted;
    sync();
}

void ScreenSaverInhibitor::sync()
{
    if (!bus_.isConnected() || pending_)
        return; // the reply calls sync again
    if (wanted_ && cookie_ == 0) {
        QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(Service), QLatin1String(Path),
                                                           QLatin1String(Service), QStringLiteral("Inhibit"));
        call << QStringLiteral("tarnel") << QStringLiteral("Playing video");
        pending_ = true;
        auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
            w->deleteLater();
            pending_ = false;
            const QDBusPendingReply<uint> reply = *w;
            if (!reply.isError())
                cookie_ = reply.value();
            // Released meanwhile: give it back at once. A failed call is not retried
            // until the next change of wish.
            if (!wanted_)
                release();
        });
    } else if (!wanted_) {
        release();
    }
}

void ScreenSaverInhibitor::release()
{
    if (cookie_ == 0 || !bus_.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(Service), QLatin1String(Path),
                                                       QLatin1String(Service), QStringLiteral("UnInhibit"));
    call << cookie_;
    cookie_ = 0;
    bus_.asyncCall(call);
}
