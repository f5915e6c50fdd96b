#pragma once
// The engine side of the media graph: everything that may wait on GStreamer. It runs on
// the engine worker (EngineWorker) and on GStreamer's own threads, never on the GUI
// thread; GstMediaGraph posts it jobs and receives its answers as queued calls.
//
// Requests carry a ticket. The GUI side raises latestTicket with every new media
// request (load, DVD, drop); a job of an older ticket is skipped, and a load waiting
// for its media to get ready gives up at once when a newer request comes. So a burst
// of switches costs one load, the last.
//
// Threads and locks:
//   worker:     every job function below (load, play, seek, query, drop, probe).
//   streaming:  aboutToFinish(), the bus sync handler, the appsink callbacks.
//   nextMutex_  the next entry and the list of handed entries (GUI, worker, streaming).
//   loadMutex_  the load watch (worker, bus sync handler).
//   postMutex_  the way back to the GUI; released last.
//   frames      see GstFrameStore.
//   life_       a probe of the next entry answering on its own thread.
// Lock order: no lock of ours is held while taking another, or while calling into
// GStreamer, except nextMutex_ around playbin's "uri" inside about-to-finish (playbin
// asks for it there and takes it only from inside the signal), and life_ before
// nextMutex_ when a probe sets its offer.
#include "playback/GstFrameStore.h"
#include "playback/GstPipelineParts.h"
#include "playback/MediaGraph.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class GstDvdNavigator;
typedef struct _GstMessage GstMessage;

class GstEngine {
public:
    // Error codes of MediaGraphError: see GstMediaGraph.h.
    static constexpr std::uint32_t ErrFileNotFound = 0x80070002u;
    static constexpr std::uint32_t ErrFileAccess = 0x80070005u;
    static constexpr std::uint32_t ErrCannotRender = 0x80040241u;
    static constexpr std::uint32_t ErrNoDecoder = 0x80040265u;
    static constexpr std::uint32_t ErrDecodeFailed = 0x8004022Fu;
    static constexpr std::uint32_t ErrAudioDevice = 0x80040256u;
    static constexpr std::uint32_t ErrTimeout = 0x800705B4u;
    static constexpr std::uint32_t ErrDvdRenderFail = 0x8004027Au;
    static constexpr std::uint32_t ErrPlaybackFailed = 0x8004025Fu;
    enum class ErrorOrigin { Media, DecodeBin, AudioOutput, VideoOutput };
    static std::uint32_t mapError(std::uint32_t domainQuark, int code, ErrorOrigin origin, bool missingPlugin);

    // What a load found; reported with the ticket it answers.
    struct Loaded {
        quint64 generation = 0;
        bool hasVideo = false;
        qint64 startOffsetMs = 0;
        std::uint32_t durationMs = 0;
    };
    // What a DVD load found.
    struct DvdResult {
        std::uint32_t result = 0;
        DvdRenderStatus status;
        quint64 generation = 0;
        std::unique_ptr<GstDvdNavigator> navigator;
    };
    // What the GUI side hears. Every call arrives on the GUI thread, through post().
    struct Listener {
        virtual ~Listener() = default;
        virtual void engineLoaded(quint64 ticket, const Loaded &loaded) = 0;
        virtual void engineFailed(quint64 ticket, const MediaGraphError &error) = 0;
        // A running error (not in answer to a load), or a refused state change.
        virtual void engineError(quint64 generation, const QString &message) = 0;
        virtual void engineMessage(quint64 generation, GstMessage *message) = 0;
        virtual void engineNextTaken(quint64 ticket, const QString &path) = 0;
        virtual void engineVideoChanged(quint64 ticket, bool hasVideo) = 0;
        virtual void engineDvdTime(quint64 ticket, qint64 positionMs) = 0;
        virtual void engineDvdLoaded(quint64 ticket, std::shared_ptr<DvdResult> result) = 0;
        virtual void engineFrame() = 0;
        virtual void engineEnded(quint64 ticket) = 0;
        virtual void engineSeekDone(quint64 ticket) = 0;
    };
    // Runs fn on the GUI thread (a queued call); never waits.
    using Poster = std::function<void(std::function<void()>)>;

    GstEngine(GstPipelineParts parts, Poster poster, Listener *listener);
    ~GstEngine(); // the pipeline must have been set to NULL (shutdown())
    GstEngine(const GstEngine &) = delete;
    GstEngine &operator=(const GstEngine &) = delete;

    // Any thread.
    std::atomic<quint64> latestTicket{0};
    std::atomic<int> prerollTimeoutMs{20000};
    // Wakes a load that waits, so it can see it has been superseded.
    void requestChanged();
    // The GUI side is going: nothing is posted any more.
    void detachListener();
    const GstPipelineParts &parts() const { return parts_; }
    GstFrameStore &frames() { return frames_; }

    // Figures of the media playing, kept by query() (any thread reads them).
    std::atomic<std::uint32_t> positionMs{0};
    std::atomic<std::uint32_t> durationMs{0};
    std::atomic<bool> queryPending{false};
    // Whether anyone wants to hear of new pictures (engineFrame).
    std::atomic<bool> wantFrameNotices{false};

    // ---- worker jobs ----
    // Loads uri and waits (at most prerollTimeoutMs, more on a slow mount) until it is ready to play, paused
    // on its first frame. probePath, when not empty, is asked first without waiting on it
    // for long: only regular files reach the engine. seekMs >= 0 seeks there once ready;
    // play starts it.
    void load(quint64 ticket, const QByteArray &uri, const QString &probePath, qint64 seekMs, bool play);
    // Builds a DVD graph for a disc folder or drive (empty source: none found).
    void loadDvd(quint64 ticket, const QString &ifoPath);
    void setPlaying(quint64 ticket, bool playing);
    void seek(quint64 ticket, qint64 targetMs, bool restartAfterEnd);
    void drop(quint64 ticket, std::shared_ptr<GstDvdNavigator> navigator);
    void query(quint64 ticket);
    // The worker's tick while the media plays: keeps position and duration fresh.
    void refresh();
    // After a seek has completed: fresh figures, then the GUI side hears it is done.
    void seekDone(quint64 ticket);
    void queryDvdTime(quint64 ticket);
    // The media reached its end: its final length is read (some streams know it only
    // now) before the GUI side hears of the end.
    void ended(quint64 ticket);
    // Prepares the entry that follows without a gap: probes path, then offers uri to
    // about-to-finish unless a newer offer came meanwhile.
    void offerNext(quint64 offer, quint64 ticket, const QByteArray &uri, const QString &path, bool probe);
    void askVideo(quint64 ticket);
    // Sets NULL; the last job.
    void shutdown();
    // Any thread: tells the GUI side of a new picture.
    void postFrame();

    // ---- any thread ----
    // Withdraws the entry offered to follow, and forgets the handed ones.
    void withdrawNext(quint64 offer);
    bool hasHandedEntries();


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
    friend struct GstEngineCallbacks;

    bool stale(quint64 ticket) const { return ticket != latestTicket.load(); }
    void post(std::function<void(Listener &)> fn);
    // Brings the pipeline to READY; what the old media posts from now on is stale.
    void toReady(bool reset = false);
    // Loads and waits; on failure returns false with error filled (superseded: false,
    // error empty).
    bool loadUri(quint64 ticket, const QByteArray &uri, MediaGraphError *error, int timeoutMs);
    void beginWatch();
    LoadWatch endWatch();
    bool changeState(int state, MediaGraphError *error);
    MediaGraphError errorFrom(const LoadWatch &watch) const;
    CapturedError capture(GstMessage *message) const;
    void onBusMessage(GstMessage *message); // any thread
    void onAboutToFinish();                  // a streaming thread
    bool hasVideoNow();
    // Asks playbin for the length; keeps the answer when it knows one.
    void readDuration();

    GstPipelineParts parts_;
    GstFrameStore frames_;
    std::atomic<quint64> generation_{1};
    quint64 loadedTicket_ = 0; // worker: the ticket whose media is loaded
    std::atomic<quint64> playableTicket_{0}; // loaded and offered to about-to-finish
    bool playing_ = false;                   // worker
    std::atomic<qint64> startOffsetMs_{0};   // stream time of the first frame
    std::uint32_t cachedDurationMs_ = 0;     // worker
    std::chrono::steady_clock::time_point durationAskedAt_; // worker
    std::atomic<bool> durationStale_{false};

    std::mutex loadMutex_;
    std::condition_variable loadChanged_;
    LoadWatch load_;

    std::mutex nextMutex_;
    quint64 nextOffer_ = 0;   // the newest offer; older probes are dropped
    quint64 nextTicket_ = 0;  // the media the offer follows
    QByteArray nextUri_;      // empty: nothing follows without a gap
    QString nextPath_;        // the entry it plays
    int handed_ = 0;          // handed to playbin, not yet started
    // A probe of the next entry answers on its own thread, maybe after the engine is gone:
    // it sets the offer only while this says the engine lives.
    struct Life {
        std::mutex mutex;
        bool alive = true;
    };
    std::shared_ptr<Life> life_ = std::make_shared<Life>();
    void setOffer(quint64 offer, quint64 ticket, const QByteArray &uri, const QString &path);

    std::mutex postMutex_;
    Poster poster_;
    Listener *listener_ = nullptr;
};
