#pragma once
// The media graph on GStreamer: one playbin (GstPipelineParts), driven through the
// engine (GstEngine) on a worker thread of its own, so that no call here ever waits for
// GStreamer. Loading, state changes, seeks and queries are posted to the worker in
// order; their answers come back as queued calls and become this class's signals.
// Position and duration are the figures the worker last read (one tick behind at most).
//
// The pipeline is built once and kept: dropping media brings it to READY, and the next
// media is loaded into the same playbin (as gst-play-1.0 does). Consecutive files play
// through one stream: the controller sets the file to follow ahead (prepareNext), and
// playbin's about-to-finish takes it on its streaming thread without asking anyone.
// In DVD mode the media is rsndvdbin's dvd:// URI, with DVDFASTSTART=0 so that the
// disc starts at its first-play program; the navigator (GstDvdNavigator) carries out
// DVD commands on its own thread, and a 1 s timer asks the worker for the playing time
// while time-code events are on.
// The graph's volume is applied by a software volume element, after the tap: the
// picture shows the audio before the volume, and the PulseAudio stream volume of this
// program (its left/right levels) stays with the volume window. The two multiply.
//
// Threads: all public members are called on the GUI thread and all signals are emitted
// there. See GstEngine.h for the worker and the streaming threads.
//
// Error codes of MediaGraphError (stable; the text before the code is GStreamer's own
// message, or ours where GStreamer says nothing):
//   0x80070002  file not found           the path names no file (RESOURCE NOT_FOUND)
//   0x80070005  file cannot be read      the file exists but cannot be opened or read
//                                        (RESOURCE OPEN_READ, READ, OPEN_READ_WRITE, SEEK);
//                                        also a pipe, device or folder (Reason::NotRegularFile)
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
//   0x800705B4  timeout                  loading did not finish within the preroll bound,
//                                        or the file system did not answer for the file
//   0x8004027A  DVD render failure       reserved for the DVD graph
//   0x8004025F  playback failed          anything else (CORE and LIBRARY errors, STREAM
//                                        FAILED, a state change refused without a message)
#include "playback/GstEngine.h"
#include "playback/MediaGraph.h"

#include <QTimer>

#include <cstdint>
#include <memory>

class EngineWorker;
class GstDvdNavigator;

class GstMediaGraph : public MediaGraph, private GstEngine::Listener {
    Q_OBJECT
public:
    static constexpr std::uint32_t ErrFileNotFound = GstEngine::ErrFileNotFound;
    static constexpr std::uint32_t ErrFileAccess = GstEngine::ErrFileAccess;
    static constexpr std::uint32_t ErrCannotRender = GstEngine::ErrCannotRender;
    static constexpr std::uint32_t ErrNoDecoder = GstEngine::ErrNoDecoder;
    static constexpr std::uint32_t ErrDecodeFailed = GstEngine::ErrDecodeFailed;
    static constexpr std::uint32_t ErrAudioDevice = GstEngine::ErrAudioDevice;
    static constexpr std::uint32_t ErrTimeout = GstEngine::ErrTimeout;
    static constexpr std::uint32_t ErrDvdRenderFail = GstEngine::ErrDvdRenderFail;
    static constexpr std::uint32_t ErrPlaybackFailed = GstEngine::ErrPlaybackFailed;
    using ErrorOrigin = GstEngine::ErrorOrigin;
    static std::uint32_t mapError(std::uint32_t domainQuark, int code, ErrorOrigin origin, bool missingPlugin)
    {
        return GstEngine::mapError(domainQuark, code, origin, missingPlugin);
    }

    // gst_init once per process (GstInit.h).
    static void ensureInitialised();

    explicit GstMediaGraph(QObject *parent = nullptr);
    ~GstMediaGraph() override;

    void setMode(GraphMode mode) override { mode_ = mode; }
    GraphMode mode() const override { return mode_; }
    void setActive(bool active) override;
    bool active() const override { return active_; }
    void resetGraph() override;
    void renderFile(const QString &path) override;
    MediaGraphError lastRenderError() const override { return lastError_; }
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
    void seekMs(std::uint32_t positionMs) override;
    void prepareNext(const QString &path) override;
    bool hasVideo() const override { return loaded_ && hasVideo_; }
    AudioTap *audioTap() override { return tap_; }
    QImage latestVideoFrame() const override;
    void setFrameObserver(VideoFrameObserver *observer) override;
    // A path or disc that libdvdread cannot open as DVD-Video is "volume invalid" (a
    // missing drive or an empty one "volume unknown"); a disc without a picture stream
    // counts its stream as failed. A load that times out fails with ErrTimeout.
    void renderDvd(const QString &ifoPath) override;
    DvdRenderStatus lastDvdStatus() const override { return lastDvdStatus_; }
    DvdControl *dvdControl() override;
    void setVideoBalance(const VideoBalance &balance) override;

    // The disc folder (the one holding VIDEO_TS) of an .IFO path; empty when the path
    // does not lie in a VIDEO_TS folder of a DVD-Video volume. Reads the disk.
    static QString dvdFolderOf(const QString &ifoPath);
    // The first optical drive's device; empty when there is none.
    static QString firstOpticalDrive();

    int prerollTimeoutMs() const { return prerollTimeoutMs_; }
    void setPrerollTimeoutMs(int ms);
    // True when media is loaded (a render answered and nothing dropped it since).
    bool hasMedia() const { return loaded_; }
    // True while a load has been asked for and not answered yet.
    bool isLoading() const { return loading_; }

protected:
    // Pictures are announced to the GUI thread only while someone listens.
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;

private:
    void createPipeline();
    // Supersedes every request before it: the new media's ticket.
    quint64 newTicket();
    void dropMedia();
    void applyVolume();
    void applyBalance();
    void requestFigures() const;
    void reportDvdTime();

    // GstEngine::Listener (GUI thread)
    void engineLoaded(quint64 ticket, const GstEngine::Loaded &loaded) override;
    void engineFailed(quint64 ticket, const MediaGraphError &error) override;
    void engineError(quint64 generation, const QString &message) override;
    void engineMessage(quint64 generation, GstMessage *message) override;
    void engineNextTaken(quint64 ticket, const QString &path) override;
    void engineVideoChanged(quint64 ticket, bool hasVideo) override;
    void engineDvdTime(quint64 ticket, qint64 positionMs) override;
    void engineDvdLoaded(quint64 ticket, std::shared_ptr<GstEngine::DvdResult> result) override;
    void engineFrame() override;
    void engineEnded(quint64 ticket) override;
    void engineSeekDone(quint64 ticket) override;
    // The worker keeps the figures fresh while the media plays.
    void updateRefresh();

    std::shared_ptr<GstEngine> engine_;
    std::unique_ptr<EngineWorker> worker_;
    AudioTap *tap_ = nullptr;

    GraphMode mode_ = GraphMode::Normal;
    bool active_ = false;
    quint64 ticket_ = 0;          // the newest media request
    bool loading_ = false;        // its answer has not come yet
    bool loaded_ = false;
    bool running_ = false;
    bool endOfStream_ = false;
    bool hasVideo_ = false;
    quint64 generation_ = 0;      // the loaded media's; messages of others are stale
    qint64 pendingSeekMs_ = -1;   // reported until the seek completes
    qint64 startOffsetMs_ = 0;    // stream time of the first frame
    QByteArray currentUri_;       // the media playing now (a seek after a hand-over reloads it)
    int handed_ = 0;              // handed over, not started yet
    bool refreshing_ = false;     // the worker's tick reads the figures
    quint64 nextOffer_ = 0;
    QString nextPath_;
    int volume_ = 10000;
    VideoBalance balanceValues_;
    // The wait is the worker's, not a window's: a slow mount may take its time.
    int prerollTimeoutMs_ = 20000;
    MediaGraphError lastError_{0, QString()};
    DvdRenderStatus lastDvdStatus_;
    std::unique_ptr<GstDvdNavigator> navigator_; // while a DVD is loaded
    QTimer dvdTimer_;
};
