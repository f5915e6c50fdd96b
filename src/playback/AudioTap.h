#pragma once
// The audio tap: every decoded sample of the media graph passes through it unchanged,
// and every VisualInterval ms it hands the GUI thread the PCM being heard at that moment.
//
// In the pipeline it is playbin's audio-filter:
//   audioconvert ! capsfilter(interleaved S16LE, S32LE or F32LE)
// A probe on the capsfilter's output (streaming thread) copies each buffer with its
// running time into a PcmHistory of three seconds. Running time, not stream time: it
// goes on across files that follow each other in one stream (gapless), where stream
// times start again at 0 while the sound of the previous file is still being heard. playbin keeps a queue of up to a
// second after the filter, and the sink its own 200 ms, so the decoder runs about 1.2 s
// ahead of the sound: the window after the frame heard now is normally stored whole.
// The position heard is asked of the audio sink by the thread that feeds it (a probe
// on the audio output's input, at most every AnchorRefreshMs while the timer runs), in
// running time by that input's segment; the timer (GUI thread) goes on from the last
// answer by the monotonic clock and emits the window of the store that starts there.
// The GUI thread never queries the pipeline: the sink's locks belong to its streaming
// thread and, for pulsesink, to PulseAudio's main loop.
//
// Threads:
//   - every member function and the signal: GUI thread;
//   - the pad probes (private): the streaming threads that feed the audio-filter and
//     the audio output.
// The store and the format are shared between the two under mutex_.
#include "playback/PcmHistory.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

typedef struct _GstElement GstElement;
typedef struct _GstSegment GstSegment;

struct BlockFormat {
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;
    bool isFloat = false; // 32-bit floating point samples
};

class AudioTap : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool VisualEnabled READ visualEnabled WRITE setVisualEnabled)
    Q_PROPERTY(int VisualInterval READ visualInterval WRITE setVisualInterval)
public:
    // Frames in every visualData block.
    static constexpr int WindowFrames = 16384;
    static constexpr int DefaultVisualInterval = 40;
    // How often the streaming thread asks the sink what is heard.
    static constexpr int AnchorRefreshMs = 100;

    explicit AudioTap(QObject *parent = nullptr);
    ~AudioTap() override;

    // Off by default; nothing is emitted while off (the store keeps filling, so that
    // turning it on while sound plays shows the picture at once).
    bool visualEnabled() const { return visualEnabled_; }
    void setVisualEnabled(bool enabled);
    // Milliseconds between blocks (at least 1).
    int visualInterval() const { return timer_.interval(); }
    void setVisualInterval(int ms);
    // Held: no block is emitted and the timer does not run (no wakeups), but unlike
    // turning the tap off the store is kept and keeps filling, so releasing it while
    // sound plays brings the picture back on the next tick. For a window nobody sees.
    bool visualHeld() const { return visualHeld_; }
    void setVisualHeld(bool held);
    // Whether the block timer runs now (playing, enabled, not held).
    bool visualTimerActive() const { return timer_.isActive(); }

    // For the media graph. A new bin for each new playbin (floating reference).
    GstElement *createBin();
    // The audio output bin whose "sink" pad receives what passed the tap; its segment
    // turns the position into running time. The position is asked of audioSink, the
    // element that plays; without it no block is emitted.
    void watchOutput(GstElement *audioOutput, GstElement *audioSink = nullptr);
    // The pipeline whose position tells what is heard; null detaches.
    void setPipeline(GstElement *pipeline);
    // The timer runs only while the pipeline plays.
    void setPlaying(bool playing);
    bool isPlaying() const { return playing_; }
    // Forgets the stored audio (new media, stop).
    void reset();

Q_SIGNALS:
    // WindowFrames frames of interleaved PCM starting at the frame heard now. data is
    // valid during the emission only. Near the end of the media, frames past the last
    // decoded one are silence (zero samples). Not emitted while nothing plays, while
    // paused, or when the position cannot be matched to the stored audio: the picture
    // then stays as it was.
    void visualData(const char *data, int sizeBytes, BlockFormat format);

private:
    friend struct AudioTapProbe; // the pad probe, on the streaming thread
    void onTick();
    void updateTimer();

    QTimer timer_;
    GstElement *pipeline_ = nullptr; // not owned
    // Not owned; inside the pipeline. Set while the pipeline is built, before any
    // streaming thread reads it.
    GstElement *audioSink_ = nullptr;
    bool playing_ = false;
    std::atomic<bool> visualEnabled_{false};
    bool visualHeld_ = false; // GUI thread only

    std::mutex mutex_;
    PcmHistory history_;   // guarded
    GstSegment *segment_;      // of the stream passing the tap, guarded
    GstSegment *outSegment_;   // of the stream reaching the audio output, guarded
    // The running time heard at anchorMonoNs_ (g_get_monotonic_time in ns), guarded.
    bool anchorValid_ = false;
    std::int64_t anchorRunningNs_ = 0;
    std::int64_t anchorMonoNs_ = 0;
    std::atomic<bool> anchorWanted_{false}; // the timer runs: the probe asks the sink
    std::vector<char> window_; // GUI thread only
};

Q_DECLARE_METATYPE(BlockFormat)
