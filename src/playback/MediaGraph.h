#pragma once
// The media graph: the one playback engine that the controller, the seek bar, the
// video surface and the audio tap share. Owned by the start-up code, handed to
// every window that uses it.
//
// Threads: every member is called on the GUI thread, and every signal is emitted
// on the GUI thread (bus messages are marshalled there by the implementation).
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
    MediaGraphError(std::uint32_t code, const QString &engineText);
    std::uint32_t code() const { return code_; }
    QString message() const { return QString::fromUtf8(what()); }
    // The text before the code.
    const QString &engineText() const { return engineText_; }

private:
    std::uint32_t code_;
    QString engineText_;
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

    // true creates an empty graph, false releases it (stopping whatever plays).
    virtual void setActive(bool active) = 0;
    virtual bool active() const = 0;

    // Stops and drops the current media, keeping the attached components.
    virtual void resetGraph() = 0;
    // Builds the chain for a local file. Throws MediaGraphError.
    virtual void renderFile(const QString &path) = 0;

    // Throw MediaGraphError on failure.
    virtual void run() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;

    // 0..10000, clamped; see volumeToCentibels.
    virtual void setVolume(int level) = 0;
    virtual int volume() const = 0;

    // Milliseconds; 0 when unknown.
    virtual std::uint32_t positionMs() const = 0;
    virtual std::uint32_t durationMs() const = 0;
    virtual void seekMs(std::uint32_t positionMs) = 0;

    // Gapless hand-over. Shortly before the media runs out the engine emits nextWanted();
    // a handler that calls queueNext(path) during that emission has that file follow on
    // in the same stream, without a gap. queuedStarted() tells when it starts to be
    // heard; from then on position, duration and the picture are the queued file's. A
    // queued file that fails is reported through asyncError. Engines without gapless
    // play never emit nextWanted().
    virtual void queueNext(const QString &path) { Q_UNUSED(path); }
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
    // first optical drive). 0 built; 1 built in part or not at all, with `status` telling
    // why; DvdRenderFail outside DVD mode. Throws MediaGraphError for a failure code.
    static constexpr std::uint32_t DvdRenderFail = 0x8004027Au;
    virtual std::uint32_t renderDvdVideoVolume(const QString &ifoPath, DvdRenderStatus &status)
    {
        Q_UNUSED(ifoPath);
        status = {};
        return DvdRenderFail;
    }
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
    // The media reached its end (the seek-bar tick treats it as position == duration).
    void endOfStream();
    // An error the engine reported while playing (not in answer to a call).
    void asyncError(const QString &message);
    // A new picture is ready for latestVideoFrame(); several frames may be coalesced.
    void videoFrameReady();
    // The current media is about to run out: answer with queueNext() or not at all.
    void nextWanted();
    // The media queued by queueNext() is now the one playing.
    void queuedStarted();
    // DVD playing position, about once a second while a DVD plays and time-code events
    // are on (DvdControl::Option::HmsfTimeCodeEvents).
    void dvdTimeChanged(int hours, int minutes, int seconds, int frames);
};
