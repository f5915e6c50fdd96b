#pragma once
// What the end-to-end playback tests see of the running player from outside: its MPRIS
// service on a private session bus (every answer comes from its GUI thread, so an
// answer that does not come means a GUI thread that waits), its descriptors and
// memory in /proc, and its sound on a null sink of the test's own, recorded and cut
// into runs of one tone.
#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <optional>
#include <vector>

namespace e2e {

// Whether a PulseAudio server answers at PULSE_SERVER and ffmpeg is there; why not.
bool soundAndFfmpeg(QString *why);

// A stereo 44.1 kHz sine tone in the format that the codec arguments of ffmpeg name.
bool makeTone(const QString &path, double frequencyHz, int durationMs, const QStringList &codec);
// An MP4 (MPEG-4 Part 2 test picture, 320 x 240, and an AAC tone).
bool makeClip(const QString &path, double frequencyHz, int durationMs);

// The player's MPRIS service. Calls wait at most timeoutMs; PropertiesChanged signals
// are collected in the order they came (the event loop must run to receive them).
class MprisClient : public QObject {
    Q_OBJECT
public:
    explicit MprisClient(const QString &busAddress);
    // Player property; an invalid QVariant when no answer came in time.
    QVariant property(const QString &name, int timeoutMs = 10000);
    // xesam:url of the Metadata (empty: no entry); nothing when no answer came in time.
    std::optional<QString> url(int timeoutMs = 10000);
    // PlaybackStatus; nothing when no answer came in time.
    std::optional<QString> status(int timeoutMs = 10000);
    // A method of org.mpris.MediaPlayer2.Player; false when it was not answered in time.
    bool call(const QString &method, int timeoutMs = 10000);
    // count calls of a method, one every intervalMs, none waiting for the one before
    // (as a key held down sends them); then waits until all are answered. Returns how
    // many were answered within boundMs of the last one sent.
    int burst(const QString &method, int count, int intervalMs, int boundMs);
    // The entries named by Metadata changes, as announced.
    const QStringList &announcedUrls() const { return urls_; }

private Q_SLOTS:
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &invalidated);

private:
    QDBusConnection bus_;
    QStringList urls_;
};

// Open descriptors and resident memory of a process; -1 when unknown.
struct ProcessUse {
    int descriptors = -1;
    qint64 rssKiB = -1;
};
ProcessUse processUse(qint64 pid);

// A null sink of the test's own on the shared server; stock means as PulseAudio serves
// it (with rewinds: idle, it renders up to 2 s ahead and a new stream starts late).
// Unloaded when destroyed. Give the player PULSE_SINK=name().
class OwnSink {
public:
    explicit OwnSink(bool stock);
    ~OwnSink();
    bool isLoaded() const { return !module_.isEmpty(); }
    const QString &name() const { return name_; }

private:
    QString name_;
    QString module_;
};

// Records a sink's monitor as 16-bit stereo at 44.1 kHz.
class MonitorRecording {
public:
    ~MonitorRecording();
    // Returns once the recording runs (the first samples came).
    bool start(const QString &sinkName);
    // Everything recorded so far, interleaved.
    std::vector<std::int16_t> samples();
    void stop();

private:
    QProcess parec_;
    QByteArray bytes_;
};

// A stretch of one tone in a recording, in frames.
struct ToneRun {
    int tone = -1; // index into the frequencies
    qint64 first = 0;
    qint64 end = 0;
    qint64 heard = 0; // frames of sound between first and end (silence within is not)
    double heardMs() const { return double(heard) * 1000.0 / 44100.0; }
};
// Cuts the left channel into 5 ms steps, names each loud step's tone by its power at
// each of the frequencies (Goertzel over 20 ms around it) and joins the steps of one
// tone, across silence too (heard counts only the sound).
QList<ToneRun> toneRuns(const std::vector<std::int16_t> &interleavedStereo, const QList<double> &frequencies);
// "tone:start-end ms" of each run, for failure messages.
QString describe(const QList<ToneRun> &runs);

} // namespace e2e
