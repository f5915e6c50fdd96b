#include "system/Mpris.h"

#include "playback/MediaGraph.h"
#include "playback/PlaybackController.h"
#include "system/Associations.h"
#include "system/MprisAdaptors.h"

#include "common/FileProbe.h"
#include "common/PathRules.h"
#include "common/TextCodec.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QPointer>
#include <QThreadPool>
#include <QUrl>

#include <algorithm>
#include <limits>

namespace {

const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

} // namespace

MprisService::MprisService(const QDBusConnection &bus, PlaybackController &controller, MediaGraph &graph,
                           MprisHooks hooks, QObject *parent)
    : QObject(parent)
    , bus_(bus)
    , controller_(controller)
    , graph_(graph)
    , hooks_(std::move(hooks))
{
    if (!bus_.isConnected())
        return;
    new MprisRoot(this);
    player_ = new MprisPlayer(this);
    if (!bus_.registerObject(objectPath, this, QDBusConnection::ExportAdaptors))
        return;
    registered_ = true;
    // Asked without waiting; a refusal leaves the player without media keys, nothing more.
    QDBusMessage request = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                          QStringLiteral("/org/freedesktop/DBus"),
                                                          QStringLiteral("org.freedesktop.DBus"),
                                                          QStringLiteral("RequestName"));
    // Queued: a player that starts while the one before it is still on its way out
    // (waiting for logind) gets the name as soon as that one ends.
    request << serviceName() << 0u;
    bus_.asyncCall(request);

    lastStatus_ = playbackStatus();
    lastMetadata_ = metadata();
    connect(&controller_, &PlaybackController::statusTextChanged, this, &MprisService::refresh);
    connect(&controller_, &PlaybackController::titleChanged, this, &MprisService::refresh);
    // The length is known only once the entry has started.
    connect(&controller_, &PlaybackController::seekRangeChanged, this, &MprisService::refresh);
    // A DVD's state changes in the graph; its time ticks about once a second.
    connect(&controller_, &PlaybackController::dvdButtonsVisibleChanged, this, &MprisService::refresh);
    connect(&graph_, &MediaGraph::dvdTimeChanged, this, &MprisService::refresh);
}

QString MprisService::playbackStatus() const
{
    // A DVD leaves the controller's status text where it was: the graph tells.
    if (controller_.dvdButtonsVisible() && graph_.mode() == GraphMode::Dvd) {
        if (graph_.isRunning())
            return QStringLiteral("Playing");
        return graph_.active() ? QStringLiteral("Paused") : QStringLiteral("Stopped");
    }
    switch (controller_.status()) {
    case PlaybackController::Status::Playing:
        return QStringLiteral("Playing");
    case PlaybackController::Status::Paused:
        return QStringLiteral("Paused");
    case PlaybackController::Status::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

QString MprisService::trackId() const
{
    const int index = controller_.CurrentIndex();
    if (controller_.CurrentFile().isEmpty() || index < 0)
        return QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");
    return QStringLiteral("/org/mpris/MediaPlayer2/tarnel/track/%1").arg(index);
}

QVariantMap MprisService::metadata() const
{
    QVariantMap m;
    m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackId())));
    const QString file = controller_.CurrentFile();
    if (file.isEmpty())
        return m;
    m.insert(QStringLiteral("xesam:title"), controller_.title());
    m.insert(QStringLiteral("xesam:url"), QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded));
    if (const std::uint32_t ms = graph_.durationMs())
        m.insert(QStringLiteral("mpris:length"), qlonglong(ms) * 1000);
    return m;
}

void MprisService::refresh()
{
    QVariantMap changed;
    const QString status = playbackStatus();
    if (status != lastStatus_) {
        lastStatus_ = status;
        changed.insert(QStringLiteral("PlaybackStatus"), status);
    }
    const QVariantMap meta = metadata();
    if (meta != lastMetadata_) {
        lastMetadata_ = meta;
        changed.insert(QStringLiteral("Metadata"), meta);
    }
    if (!changed.isEmpty())
        propertiesChanged(playerInterface, changed);
}

void MprisService::volumeChanged()
{
    if (registered_)
        propertiesChanged(playerInterface, {{QStringLiteral("Volume"), player_->volume()}});
}

void MprisService::seeked()
{
    if (registered_)
        Q_EMIT player_->Seeked(player_->position());
}

void MprisService::propertiesChanged(const QString &interface, const QVariantMap &changed)
{
    QDBusMessage signal = QDBusMessage::createSignal(objectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    bus_.send(signal);
}

QString mpris_uri::localPath(const QString &uri, QString *path)
{
    // A path is at most PATH_MAX bytes; written as a URI, each byte takes three at most.
    constexpr qsizetype kMaxPathBytes = 4096;
    if (uri.size() > 16 + 3 * kMaxPathBytes)
        return QStringLiteral("the URI is longer than any path");
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0)
        return QStringLiteral("only file: URIs can be opened");
    // file://host/x names a file on another machine, not the local //host/x.
    if (!url.host().isEmpty() && url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        return QStringLiteral("the file lies on another host: ") + url.host();
    if (url.hasQuery() || url.hasFragment())
        return QStringLiteral("a file URI has no query or fragment");
    // The bytes of the name, as percent-encoded (not every name is UTF-8).
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (bytes.isEmpty() || !bytes.startsWith('/') || bytes.size() > kMaxPathBytes || bytes.contains('\0'))
        return QStringLiteral("not an absolute path of at most 4096 bytes");
    *path = text_codec::decodeFileName(bytes);
    if (path->contains(QLatin1Char('\n')) || path->contains(QLatin1Char('\r')))
        return QStringLiteral("the file name holds a line break");
    if (!path_rules::isAcceptedForHandOff(*path))
        return QStringLiteral("the player does not open files of this type: ") + path_rules::extensionOf(*path);
    return QString();
}

// ---- adaptors ----------------------------------------------------------------

MprisRoot::MprisRoot(MprisService *service)
    : QDBusAbstractAdaptor(service)
    , service_(service)
{
}

QStringList MprisRoot::supportedMimeTypes() const
{
    return associations::mimeTypes();
}

void MprisRoot::Raise()
{
    if (service_->hooks().raise)
        service_->hooks().raise();
}

void MprisRoot::Quit()
{
    if (service_->hooks().quit)
        service_->hooks().quit();
}

MprisPlayer::MprisPlayer(MprisService *service)
    : QDBusAbstractAdaptor(service)
    , service_(service)
{
}

QString MprisPlayer::playbackStatus() const
{
    return service_->playbackStatus();
}

QVariantMap MprisPlayer::metadata() const
{
    return service_->metadata();
}

double MprisPlayer::volume() const
{
    return service_->hooks().volume ? service_->hooks().volume() / 10000.0 : 0.0;
}

void MprisPlayer::setVolume(double volume)
{
    if (!service_->hooks().setVolume)
        return;
    service_->hooks().setVolume(int(std::clamp(volume, 0.0, 1.0) * 10000.0 + 0.5));
    service_->volumeChanged();
}

qlonglong MprisPlayer::position() const
{
    return qlonglong(service_->graph().positionMs()) * 1000;
}

bool MprisPlayer::canSeek() const
{
    return service_->graph().durationMs() > 0;
}

void MprisPlayer::Next()
{
    service_->controller().next();
}

void MprisPlayer::Previous()
{
    service_->controller().previous();
}

void MprisPlayer::Pause()
{
    if (service_->controller().status() == PlaybackController::Status::Playing)
        service_->controller().pauseResume();
}

void MprisPlayer::PlayPause()
{
    if (service_->controller().status() == PlaybackController::Status::Playing)
        service_->controller().pauseResume();
    else
        service_->controller().play();
}

void MprisPlayer::Stop()
{
    service_->controller().stop();
}

void MprisPlayer::Play()
{
    if (service_->controller().status() != PlaybackController::Status::Playing)
        service_->controller().play();
}

qlonglong MprisPlayer::length() const
{
    return qlonglong(service_->graph().durationMs()) * 1000;
}

void MprisPlayer::seekTo(qlonglong microseconds)
{
    const auto ms = std::clamp<qlonglong>(microseconds, 0, length()) / 1000;
    service_->controller().seekToBar(int(ms), int(service_->graph().durationMs()));
    service_->seeked();
}

void MprisPlayer::Seek(qlonglong offset)
{
    if (!canSeek())
        return;
    // Offsets up to the limits of int64 saturate instead of wrapping round.
    qlonglong target = 0;
    if (__builtin_add_overflow(position(), offset, &target))
        target = offset > 0 ? std::numeric_limits<qlonglong>::max() : 0;
    if (target > length()) {
        // Past the end: the standard's "next track".
        Next();
        return;
    }
    seekTo(target);
}

void MprisPlayer::SetPosition(const QDBusObjectPath &trackId, qlonglong position)
{
    // A position for another track than the one playing is stale; one outside the
    // track is ignored, as the standard says.
    if (!canSeek() || trackId.path() != service_->trackId() || position < 0 || position > length())
        return;
    seekTo(position);
}

void MprisPlayer::OpenUri(const QString &uri, const QDBusMessage &call)
{
    // Whether it is a regular file is asked off the GUI thread (a hung mount would hold
    // it); the caller gets its answer then.
    call.setDelayedReply(true);
    QDBusConnection bus = service_->connection();
    QString path;
    const QString refusal = mpris_uri::localPath(uri, &path);
    if (!refusal.isEmpty()) {
        bus.send(call.createErrorReply(QDBusError::InvalidArgs, refusal));
        return;
    }
    QPointer<MprisService> service(service_);
    QThreadPool::globalInstance()->start([service, call, bus, path]() mutable {
        const file_probe::Kind kind = file_probe::probe(path, 5000);
        QMetaObject::invokeMethod(qApp, [service, call, bus, path, kind]() mutable {
            if (kind != file_probe::Kind::Regular) {
                bus.send(call.createErrorReply(QDBusError::InvalidArgs,
                                               QStringLiteral("not a regular file the player can open: ") + path));
                return;
            }
            if (service && service->hooks().openFile)
                service->hooks().openFile(path);
            bus.send(call.createReply());
        });
    });
}
