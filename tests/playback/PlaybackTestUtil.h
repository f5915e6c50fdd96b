#pragma once
// Shared by the playback integration tests: the PulseAudio null sink, a recorder of
// what it played, and small signal measurements.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class MediaGraph;

namespace playback_test {

// Runs pactl (C locale) and returns what it printed; ok tells whether it succeeded.
QString pactl(const QStringList &arguments, bool *ok = nullptr);

// The private daemon started by scripts/pulse-null-sink.sh answers (PULSE_SERVER set).
bool pulseAvailable(QString *why);

// A null sink of the test's own on the shared daemon, so that other tests playing at
// the same time do not mix into what this one records. New PulseAudio streams of this
// process go to it while it is loaded (PULSE_SINK); unloaded when destroyed.
// A stock sink is one as PulseAudio serves it, with rewinds: idle, it renders up to
// 2 s ahead, and a new stream starts only once that has played out.
class PrivateNullSink {
public:
    explicit PrivateNullSink(bool stock = false);
    ~PrivateNullSink();
    bool isLoaded() const { return !module_.isEmpty(); }
    const QString &name() const { return name_; }
    // The "Volume:" lines of the playback streams on this sink.
    QStringList streamVolumes() const;

private:
    QString name_;
    QString module_;
};

// Plays the rendered media until endOfStream; false on timeout.
bool runToEnd(MediaGraph &graph, int timeoutMs);

// Records a null sink's monitor as 16-bit stereo at 44.1 kHz.
class MonitorRecorder {
public:
    bool start(const QString &sinkName);
    // Stops and returns the interleaved samples recorded.
    std::vector<std::int16_t> stop();
    // Frames received so far (needs the event loop to run).
    qint64 framesSoFar();
    // The interleaved samples received from frame `from` on, recording on.
    std::vector<std::int16_t> samplesSince(qint64 from);

private:
    QProcess process_;
    QByteArray received_;
};

// Every `channels`-th sample starting at `channel`.
std::vector<double> channelOf(const std::vector<std::int16_t> &interleaved, int channels, int channel);
// Indices of the first and past the last sample louder than threshold (empty range: none).
std::pair<std::size_t, std::size_t> loudRange(const std::vector<double> &x, double threshold);
// Relative power of a frequency (Goertzel) in x[begin, end).
double tonePower(const std::vector<double> &x, std::size_t begin, std::size_t end, double frequency,
                 double sampleRate);
double rms(const std::vector<double> &x, std::size_t begin, std::size_t end);
// Sign changes of channel 0 in the first `frames` frames of an interleaved 16-bit block.
int zeroCrossings(const char *data, int frames, int channels);

} // namespace playback_test
