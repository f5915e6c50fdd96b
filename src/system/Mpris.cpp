#include "system/Mpris.h"

#include "playback/MediaGraph.h"
#include "playback/PlaybackController.h"
#include "system/Associations.h"
#include "system/MprisAdaptors.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QUrl>

#include <algorithm>

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
    request << serviceName() << 4u; // DBUS_NAME_FLAG_DO_NOT_QUEUE
    bus_.asyncCall(request);

    lastStatus_ = playbackStatus();
    lastMetadata_ = metadata();
    connect(&controller_, &PlaybackController::statusTextChanged, this, &MprisService::refresh);
    connect(&controller_, &PlaybackController::titleChanged, this, &MprisService::refresh);
    // The length is known only once the entry has started.
    connect(&controller_, &PlaybackController::seekRangeChanged, this, &MprisService::refresh);
}

QString MprisService::playbackStatus() const
{
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

void MprisPlayer::seekTo(qlonglong microseconds)
{
    const qlonglong length = qlonglong(service_->graph().durationMs()) * 1000;
    if (length <= 0)
        return;
    if (microseconds > length) {
        // Past the end: the standard's "next track".
        Next();
        return;
    }
    const auto ms = std::max<qlonglong>(0, microseconds) / 1000;
    service_->controller().seekToBar(int(ms), int(service_->graph().durationMs()));
    service_->seeked();
}

void MprisPlayer::Seek(qlonglong offset)
{
    seekTo(position() + offset);
}

void MprisPlayer::SetPosition(const QDBusObjectPath &trackId, qlonglong position)
{
    // A position for another track than the one playing is stale: ignored.
    if (trackId.path() != service_->trackId() || position < 0)
        return;
    seekTo(position);
}

void MprisPlayer::OpenUri(const QString &uri)
{
    const QUrl url(uri);
    if (url.isLocalFile() && service_->hooks().openFile)
        service_->hooks().openFile(url.toLocalFile());
}
