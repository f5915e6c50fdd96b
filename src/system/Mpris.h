#pragma once
// MPRIS 2 on a D-Bus connection (the session bus in the program): the player as
// "org.mpris.MediaPlayer2.tarnel", so that media keys, the desktop's media controls
// and playerctl drive it. Methods call the playback controller's own actions;
// properties read the controller, the media graph and the main volume slider.
// Without a connected bus nothing is registered and nothing is reported.
#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

#include <functional>

// OpenUri's rules: a file: URI of this host (no host, or localhost) whose path, taken
// as bytes, is absolute, at most 4096 bytes, has no line break and an extension the
// hand-off accepts. Returns why not, or empty with *path set.
namespace mpris_uri {
QString localPath(const QString &uri, QString *path);
}

class MediaGraph;
class PlaybackController;
class MprisPlayer;

// What the player's windows offer MPRIS beyond the controller.
struct MprisHooks {
    std::function<void()> raise;          // show the main window
    std::function<void()> quit;           // close it through its normal close path
    std::function<int()> volume;          // the main volume slider, 0..10000
    std::function<void(int)> setVolume;
    std::function<void(const QString &)> openFile; // add a file, as a hand-off does
};

class MprisService : public QObject {
    Q_OBJECT
public:
    static QString serviceName() { return QStringLiteral("org.mpris.MediaPlayer2.tarnel"); }

    MprisService(const QDBusConnection &bus, PlaybackController &controller, MediaGraph &graph, MprisHooks hooks,
                 QObject *parent = nullptr);

    bool registered() const { return registered_; }
    PlaybackController &controller() { return controller_; }
    MediaGraph &graph() { return graph_; }
    MprisHooks &hooks() { return hooks_; }
    QDBusConnection connection() const { return bus_; }

    QString playbackStatus() const;
    QVariantMap metadata() const;
    QString trackId() const;
    // The slider moved (by the user or by a volume call).
    void volumeChanged();
    // The position jumped; tells listeners (Seeked) the new one.
    void seeked();

private:
    void refresh();
    void propertiesChanged(const QString &interface, const QVariantMap &changed);

    QDBusConnection bus_;
    PlaybackController &controller_;
    MediaGraph &graph_;
    MprisHooks hooks_;
    MprisPlayer *player_ = nullptr;
    bool registered_ = false;
    QString lastStatus_;
    QVariantMap lastMetadata_;
};
