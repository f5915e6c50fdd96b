#pragma once
// The media graph: the one playback engine that the controller, the seek bar, the
// video surface and the audio tap share. Owned by the start-up code, handed to
// every window that uses it.
//
// Threads: every member is called on the GUI thread, and every signal is emitted
// on the GUI thread. No member waits for the engine: loading, state changes and
// queries are answered later, through signals or the figures last reported.
#include "playback/VideoBalance.h"

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <stdexcept>

class AudioTap;

enum class GraphMode { Normal, Dvd };

// Takes each picture as it arrives, on the thread that delivers it (a streaming
// thread, or the GUI thread when the media is dropped: then the image is null).
class VideoFrameObserver {
public:
    virtual ~VideoFrameObserver() = default;
    virtual void frameArrived(const QImage &frame) = 0;
};

// A failed graph operation. what() is the engine's text followed by " ($CODE).",
// the code in upper-case hexadecimal; code() is that number.
class MediaGraphError : public std::runtime_error {
public:
    // Why, where the code alone does not tell: a list entry that is no regular file (a
    // pipe, a device, a folder) is never handed to the engine.
    enum class Reason { Engine, NotRegularFile };
    MediaGraphError(std::uint32_t code, const QString &engineText, Reason reason = Reason::Engine);
    std::uint32_t code() const { return code_; }
    Reason reason() const { return reason_; }
    QString message() const { return QString::fromUtf8(what()); }
    // The text before the code.
    const QString &engineText() const { return engineText_; }

private:
    std::uint32_t code_;
    QString engineText_;
    Reason reason_;
};

// What a DVD render found, in the order the status record holds it.
struct DvdRenderStatus {
    std::uint32_t videoPortError = 0;
    bool volumeInvalid = false; // the path names no DVD-Video volume
    bool volumeUnknown = false; // no path and no disc in a drive
    bool noLine21In = false;
    bool noLine21Out = false;
    std::uint32_t numStreams = 0;
    std::uint32_t numStreamsFailed = 0;
    std::uint32_t failedStreamFlags = 0;
};

// The DVD navigator of a playing DVD graph. Commands return at once: they are carried
// out elsewhere, so a navigator that hangs cannot hold up the caller, and their results
// are not reported. Points are in the picture's own pixels (latestVideoFrame()).
class DvdControl {
public:
    enum class Option { NotifyParentalLevelChange, HmsfTimeCodeEvents };
    virtual ~DvdControl() = default;
    virtual void PlayPrevChapter() = 0;
    virtual void PlayNextChapter() = 0;
    virtual void PlayForwards(double speed) = 0;
    virtual void PlayBackwards(double speed) = 0;
    virtual void SelectAtPosition(QPoint picturePoint) = 0;
    virtual void ActivateAtPosition(QPoint picturePoint) = 0;
    virtual void SetOption(Option option, bool on) = 0;
};

class MediaGraph : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~MediaGraph() override = default;

    virtual void setMode(GraphMode mode) = 0;
    virtual GraphMode mode() const = 0;

    // true makes the graph ready for media, false drops the media (stopping whatever
    // plays); an engine may keep its pipeline for the next media.
    virtual void setActive(bool active) = 0;
    virtual bool active() const = 0;

    // Stops and drops the current media, keeping the attached components.
    virtual void resetGraph() = 0;
    // Loads a local file and returns at once. Its answer is renderDone() once it is
    // ready to play, or renderFailed() (lastRenderError() says why); only the newest
    // request is answered: a newer load, DVD or drop supersedes it. An engine may answer
    // during the call. run() right after it starts the media as soon as it is ready.
    virtual void renderFile(const QString &path) = 0;
    virtual MediaGraphError lastRenderError() const = 0;

    // Start, pause and stop the media; they return at once. An engine may throw
    // MediaGraphError; one that works in the background reports through asyncError.
    virtual void run() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;

    // 0..10000, clamped; see volumeToCentibels.
    virtual void setVolume(int level) = 0;
    virtual int volume() const = 0;

    // Milliseconds; 0 when unknown. The figures last reported by the engine: asking never
    // waits for it.
    virtual std::uint32_t positionMs() const = 0;
    virtual std::uint32_t durationMs() const = 0;
    virtual void seekMs(std::uint32_t positionMs) = 0;

    // Gapless hand-over. The file to follow the media now playing (or the last one handed
    // over) without a gap; empty: none. Set it ahead, whenever what should follow changes:
    // the engine takes it near the end without asking (nextTaken()), and queuedStarted()
    // tells when it starts to be heard; from then on position, duration and the picture
    // are its own. A handed file that fails is reported through asyncError. Engines
    // without gapless play never take it.
    virtual void prepareNext(const QString &path) { Q_UNUSED(path); }
    // The media playing now holds a video stream.
    virtual bool hasVideo() const { return false; }

    // The audio tap on the graph's audio path; null when the engine has none.
    virtual AudioTap *audioTap() { return nullptr; }

    // The picture shown now: square pixels, QImage::Format_RGB32; null when there is
    // no video. Safe to keep (it holds the frame itself). videoFrameReady() tells when a newer one exists.
    virtual QImage latestVideoFrame() const { return {}; }
    // Hands every new picture to `observer` as well, on the delivering thread (null: no
    // one). Once this returns, the previous observer is not called any more.
    virtual void setFrameObserver(VideoFrameObserver *observer) { Q_UNUSED(observer); }

    // Builds a DVD graph for the disc a VIDEO_TS .IFO belongs to (empty: the disc in the
    // first optical drive) and returns at once. The answer is dvdRendered(result): 0 built;
    // 1 built in part or not at all, lastDvdStatus() telling why; DvdRenderFail outside
    // DVD mode. A failure code comes as renderFailed() instead.
    static constexpr std::uint32_t DvdRenderFail = 0x8004027Au;
    virtual void renderDvd(const QString &ifoPath) = 0;
    virtual DvdRenderStatus lastDvdStatus() const { return {}; }
    // The navigator while a DVD graph is active; null otherwise. Ask on every use.
    virtual DvdControl *dvdControl() { return nullptr; }

    // Colour balance of the picture, applied at once while it plays and kept for the
    // next one.
    virtual void setVideoBalance(const VideoBalance &balance) { Q_UNUSED(balance); }

    // ln(v + 1) x 1085.73 rounded, minus 10000: hundredths of a decibel (0 -> -10000, 10000 -> 0).
    static int volumeToCentibels(int level);
    // The linear gain the output applies for a level; 0 is silence.
    static double volumeToLinearGain(int level);

Q_SIGNALS:
    void renderDone();
    void renderFailed();
    void dvdRendered(quint32 result);
    // The media reached its end (the seek-bar tick treats it as position == duration).
    void endOfStream();
    // An error the engine reported while playing (not in answer to a call).
    void asyncError(const QString &message);
    // A new picture is ready for latestVideoFrame(); several frames may be coalesced.
    void videoFrameReady();
    // The file set by prepareNext() has been handed over: it follows the current media.
    void nextTaken(const QString &path);
    // The media handed over is now the one playing.
    void queuedStarted();
    // DVD playing position, about once a second while a DVD plays and time-code events
    // are on (DvdControl::Option::HmsfTimeCodeEvents).
    void dvdTimeChanged(int hours, int minutes, int seconds, int frames);
};
