#pragma once
// The media graph on GStreamer: one playbin with
//   video-sink   = appsink (BGRx, square pixels): the video window paints latestVideoFrame();
//   audio-filter = the AudioTap bin;
//   audio-sink   = a bin "volume ! pulsesink" (autoaudiosink when there is no pulsesink);
//   video-filter = videobalance: the colour controls (neutral values pass the picture
//                  through untouched).
// In DVD mode the media is rsndvdbin's dvd:// URI, with DVDFASTSTART=0 so that the
// disc starts at its first-play program; the navigator (GstDvdNavigator) carries out
// DVD commands on its own thread, and a GUI-thread timer reports the playing time once
// a second while time-code events are on.
// The audio sink is the pipeline clock: a sound server may start a new stream late (a
// PulseAudio sink that renders ahead: up to 2 s), and on the sink's clock nothing is
// dropped and the position stays at 0 until sound is out. Consecutive files play
// through one stream (playbin's about-to-finish), so a playlist needs no new stream
// between entries.
// The graph's volume is applied by that software volume element, after the tap: the
// picture shows the audio before the volume, and the PulseAudio stream volume of this
// program (its left/right levels) stays with the volume window. The two multiply.
//
// Threads: all public members are called on the GUI thread and all signals are emitted
// there. Bus messages are caught by a sync handler on whatever thread posts them and
// handed to the GUI thread with a queued call; messages of media that has since been
// dropped (stale end-of-stream, errors) are discarded there. The appsink callback runs
// on the video streaming thread and only swaps the latest frame under a lock.
// about-to-finish comes on a streaming thread: it asks the GUI thread (queued call,
// nextWanted()) for the file to follow and waits for the answer under nextMutex_, at
// most NextAnswerTimeoutMs; dropping the media wakes it at once, so the GUI thread
// never waits for a streaming thread that waits for it.
//
// Error codes of MediaGraphError (stable; the text before the code is GStreamer's own
// message, or ours where GStreamer says nothing):
//   0x80070002  file not found           the path names no file (RESOURCE NOT_FOUND)
//   0x80070005  file cannot be read      the file exists but cannot be opened or read
//                                        (RESOURCE OPEN_READ, READ, OPEN_READ_WRITE, SEEK)
//   0x80040241  cannot render            not a media file, or a damaged one with nothing
//                                        playable (STREAM TYPE_NOT_FOUND, WRONG_TYPE,
//                                        DEMUX, FORMAT, NOT_IMPLEMENTED; decodebin's own
//                                        STREAM FAILED "all streams without buffers"; no
//                                        audio or video stream after loading)
//   0x80040265  no decoder               a stream has no decoder / plug-in (STREAM
//                                        CODEC_NOT_FOUND, CORE MISSING_PLUGIN, missing-plugin
//                                        messages while loading)
//   0x8004022F  cannot decode            decoding failed (STREAM DECODE, DECRYPT,
//                                        DECRYPT_NOKEY)
//   0x80040256  audio device unavailable any error of the audio output (connection to the
//                                        sound server refused, device busy or failing)
//   0x800705B4  timeout                  loading did not finish within the preroll bound
//   0x8004027A  DVD render failure       reserved for the DVD graph
//   0x8004025F  playback failed          anything else (CORE and LIBRARY errors, STREAM
//                                        FAILED, a state change refused without a message)
#include "playback/MediaGraph.h"

#include <QByteArray>
#include <QList>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

class GstDvdNavigator;

typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;
typedef struct _GstSample GstSample;
typedef struct _GstAppSink GstAppSink;

class GstMediaGraph : public MediaGraph {
    Q_OBJECT
public:
    static constexpr std::uint32_t ErrFileNotFound = 0x80070002u;
    static constexpr std::uint32_t ErrFileAccess = 0x80070005u;
    static constexpr std::uint32_t ErrCannotRender = 0x80040241u;
    static constexpr std::uint32_t ErrNoDecoder = 0x80040265u;
    static constexpr std::uint32_t ErrDecodeFailed = 0x8004022Fu;
    static constexpr std::uint32_t ErrAudioDevice = 0x80040256u;
    static constexpr std::uint32_t ErrTimeout = 0x800705B4u;
    static constexpr std::uint32_t ErrDvdRenderFail = 0x8004027Au;
    static constexpr std::uint32_t ErrPlaybackFailed = 0x8004025Fu;

    // Where a GStreamer error came from, for the mapping below.
    // DecodeBin: the bin that picks demuxers and decoders, reporting for itself.
    enum class ErrorOrigin { Media, DecodeBin, AudioOutput, VideoOutput };
    // The code for a GStreamer error (domain quark and code of its GError).
    static std::uint32_t mapError(std::uint32_t domainQuark, int code, ErrorOrigin origin, bool missingPlugin);

    // gst_start::ensureInitialised (platform/GstInit.h). The constructor calls it unless
    // the program's start worker does.
    static void ensureInitialised();

    explicit GstMediaGraph(QObject *parent = nullptr);
    ~GstMediaGraph() override;

    void setMode(GraphMode mode) override { mode_ = mode; }
    GraphMode mode() const override { return mode_; }
    void setActive(bool active) override;
    bool active() const override { return playbin_ != nullptr; }
    void resetGraph() override;
    // Blocks until the media is ready to play (paused on its first frame) or failed;
    // at most prerollTimeoutMs. Activates the graph when it is not active.
    void renderFile(const QString &path) override;
    void run() override;
    void pause() override;
    // Stops playing, keeping the media and its position; run() goes on from there.
    void stop() override;
    bool isRunning() const override { return running_ && !endOfStream_; }
    void setVolume(int level) override;
    int volume() const override { return volume_; }
    // Counted from the first frame (some files start their clock later than 0). After
    // the end of the stream the position equals the duration; before it, it stays below
    // a known duration, so "position == duration > 0" means the end. The duration is 0
    // while unknown (raw ADTS knows it only after some frames have played).
    std::uint32_t positionMs() const override;
    std::uint32_t durationMs() const override;
    // Throws MediaGraphError when the file has to be loaded again (after a queued one).
    void seekMs(std::uint32_t positionMs) override;
    // Called from nextWanted() handlers only; elsewhere ignored.
    void queueNext(const QString &path) override;
    bool hasVideo() const override;
    AudioTap *audioTap() override { return tap_; }
    QImage latestVideoFrame() const override;
    void setFrameObserver(VideoFrameObserver *observer) override;
    // Blocks until the disc is ready (its first-play program shown) or failed, as
    // renderFile does. A path or disc that libdvdread cannot open as DVD-Video is
    // "volume invalid" (a missing drive or an empty one "volume unknown"); a disc
    // without a picture stream counts its stream as failed. A load that times out
    // raises ErrTimeout.
    std::uint32_t renderDvdVideoVolume(const QString &ifoPath, DvdRenderStatus &status) override;
    DvdControl *dvdControl() override;
    void setVideoBalance(const VideoBalance &balance) override;

    // The disc folder (the one holding VIDEO_TS) of an .IFO path; empty when the path
    // does not lie in a VIDEO_TS folder of a DVD-Video volume.
    static QString dvdFolderOf(const QString &ifoPath);
    // optical_drive::first (platform/OpticalDrive.h).
    static QString firstOpticalDrive();

    int prerollTimeoutMs() const { return prerollTimeoutMs_; }
    void setPrerollTimeoutMs(int ms) { prerollTimeoutMs_ = ms; }
    // True when media is loaded (renderFile succeeded and nothing dropped it since).
    bool hasMedia() const { return loaded_; }

private:
    struct CapturedError {
        std::uint32_t domain = 0;
        int code = 0;
        ErrorOrigin origin = ErrorOrigin::Media;
        QString text;
    };
    struct LoadWatch {
        bool watching = false;
        bool asyncDone = false;
        bool missingPlugin = false;
        QList<CapturedError> errors;
    };
    friend struct GstMediaGraphCallbacks;

    void createPipeline();
    // Loads a file's URI and waits until it is ready to play; throws MediaGraphError.
    void load(const QByteArray &uri);
    void releasePipeline();
    void dropMedia();
    void applyVolume();
    // Watching catches the errors that a synchronous state change posts.
    void beginWatch();
    LoadWatch endWatch();
    void changeState(int state); // a GstState; throws MediaGraphError
    MediaGraphError errorFrom(const LoadWatch &watch) const;
    CapturedError capture(GstMessage *message) const;
    // Any thread: called by the bus sync handler.
    void onBusMessage(GstMessage *message);
    // GUI thread: a forwarded bus message of media generation `generation`.
    void handleMessage(GstMessage *message, quint64 generation);
    void onVideoSample(GstAppSink *sink, bool preroll); // video streaming thread
    void onAboutToFinish();                             // a streaming thread
    // GUI thread: asks the handlers of nextWanted() and hands their answer over.
    void answerNextRequest(quint64 request, quint64 generation);
    void wakeNextRequest();
    void applyBalance();
    void reportDvdTime();

    GraphMode mode_ = GraphMode::Normal;
    GstElement *playbin_ = nullptr;
    GstElement *audioOut_ = nullptr;   // our audio sink bin (ref held)
    GstElement *gain_ = nullptr;       // its volume element (ref held)
    GstElement *audioSink_ = nullptr;  // its sink (owned by the bin)
    GstElement *videoSink_ = nullptr;  // appsink (ref held)
    GstElement *balance_ = nullptr;    // videobalance (ref held)
    VideoBalance balanceValues_;
    std::unique_ptr<GstDvdNavigator> navigator_; // while a DVD is loaded
    QTimer dvdTimer_;
    AudioTap *tap_ = nullptr;
    int volume_ = 10000;
    int prerollTimeoutMs_ = 5000;
    bool loaded_ = false;
    bool running_ = false;
    bool endOfStream_ = false;
    qint64 pendingSeekMs_ = -1;        // reported until the seek completes
    qint64 startOffsetMs_ = 0;         // stream time of the first frame
    mutable std::uint32_t lastDurationMs_ = 0; // 0: ask again at once
    mutable std::chrono::steady_clock::time_point durationAskedAt_;
    mutable std::uint32_t lastPositionMs_ = 0;

    // Bumped whenever media is dropped; forwarded messages of older media are ignored.
    std::atomic<quint64> generation_{0};

    std::mutex loadMutex_;
    std::condition_variable loadChanged_;
    LoadWatch load_; // guarded by loadMutex_

    // The about-to-finish hand-shake, guarded by nextMutex_.
    static constexpr int NextAnswerTimeoutMs = 1500;
    std::mutex nextMutex_;
    std::condition_variable nextAnswered_;
    quint64 nextRequest_ = 0;      // the request a streaming thread waits for
    quint64 nextAnsweredFor_ = 0;  // the last request answered
    QByteArray nextUri_;           // its answer; empty: nothing follows
    bool nextCancelled_ = false;   // the media is being dropped: stop waiting
    std::atomic<bool> acceptingNext_{false}; // media loaded and started
    // GUI thread.
    bool answering_ = false;       // inside the nextWanted() emission
    QString answerPath_;
    QList<QByteArray> queuedUris_; // queued files that have not started yet (a short
                                   // file is read to its end before it is heard)
    QByteArray currentUri_;        // the file playing now

    mutable std::mutex frameMutex_;
    GstSample *frame_ = nullptr; // guarded by frameMutex_
    std::atomic<bool> frameNoticePending_{false};
    // Held while the observer is called, so setFrameObserver() can wait for a call in flight.
    std::mutex observerMutex_;
    VideoFrameObserver *observer_ = nullptr; // guarded by observerMutex_
};
