#pragma once
// A media graph for tests: plays nothing, records every operation in call order and
// can be told to fail. Queries (active, positionMs...) are not recorded.
//
// Calls read like "setMode(Normal)", "setActive(true)", "resetGraph", "renderFile(/x.mp3)",
// "run", "pause", "stop", "setVolume(5000)", "seekMs(1234)". A call that throws is
// still recorded: it is what the caller attempted. Renders are answered during the
// call (renderDone / renderFailed / dvdRendered), unless holdAnswers is set: then
// answerRender() gives the answer later, as a real engine does.
#include "playback/MediaGraph.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <optional>

class FakeMediaGraph : public MediaGraph {
    Q_OBJECT
public:
    using MediaGraph::MediaGraph;

    // MediaGraph
    void setMode(GraphMode mode) override;
    GraphMode mode() const override { return mode_; }
    void setActive(bool active) override;
    bool active() const override { return active_; }
    void resetGraph() override;
    void renderFile(const QString &path) override;
    MediaGraphError lastRenderError() const override { return lastError_; }
    void run() override;
    void pause() override;
    void stop() override;
    bool isRunning() const override { return running_; }
    void setVolume(int level) override;
    int volume() const override { return volume_; }
    std::uint32_t positionMs() const override { return position_; }
    std::uint32_t durationMs() const override { return duration_; }
    void seekMs(std::uint32_t positionMs) override;
    void prepareNext(const QString &path) override;
    bool hasVideo() const override { return hasVideo_; }
    // Recorded as "renderDvd(<path>)" once dvdResult or dvdFailure is set; without them
    // the engine answers as one without a DVD builder and nothing is recorded.
    void renderDvd(const QString &ifoPath) override;
    DvdRenderStatus lastDvdStatus() const override { return dvdStatus; }
    // Present after a DVD render that returned 0, until the media is dropped. Its
    // commands are recorded as "dvd:PlayNextChapter", "dvd:PlayForwards(8)",
    // "dvd:SelectAtPosition(10,20)", "dvd:SetOption(1,true)".
    DvdControl *dvdControl() override;
    void setVideoBalance(const VideoBalance &balance) override { balance_ = balance; }
    VideoBalance balance() const { return balance_; }

    std::optional<std::uint32_t> dvdResult;
    DvdRenderStatus dvdStatus;
    std::optional<MediaGraphError> dvdFailure; // the answer of the next DVD render

    // Answers of renders wait for answerRender() while set.
    bool holdAnswers = false;
    // Gives the held answer of the newest render (earlier ones were superseded).
    void answerRender();

    // What happened.
    const QStringList &calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }
    // The paths of the renderFile calls, in order (failed ones included).
    QStringList renderedPaths() const;
    QString renderedPath() const { return rendered_; } // the media now held, empty when none
    bool isPaused() const { return paused_; }

    // Media position as the engine would report it. A render sets the duration to the
    // one given for that path (else defaultDurationMs) and the position to 0; resetGraph
    // and setActive(false) drop the media (both 0).
    void setPosition(std::uint32_t ms) { position_ = ms; }
    void setDuration(std::uint32_t ms) { duration_ = ms; }
    void setMediaDuration(const QString &path, std::uint32_t ms) { durations_.insert(path, ms); }
    std::uint32_t defaultDurationMs = 60000;
    // Moves the position to the end, as playing to the last frame would.
    void finish() { position_ = duration_; }

    // Failures. op is the operation's name: "setActive", "resetGraph", "renderFile",
    // "run", "pause", "stop", "seekMs".
    void failNext(const QString &op, const MediaGraphError &error);
    // Every render of this path fails (a broken file).
    void failRenderOf(const QString &path, const MediaGraphError &error);
    void clearFailures();

    void setHasVideo(bool video) { hasVideo_ = video; }
    // Gapless hand-over: the file prepared to follow now (empty: none). takeNext()
    // hands it over as the engine does near the end; the paths handed, in order, are
    // queuedPaths(). startQueued() makes the first not yet started the media playing.
    const QString &preparedNext() const { return prepared_; }
    bool takeNext();
    const QStringList &queuedPaths() const { return queued_; }
    void startQueued();

    // Engine events.
    void emitEndOfStream() { Q_EMIT endOfStream(); }
    void emitAsyncError(const QString &message) { Q_EMIT asyncError(message); }

private:
    class FakeDvd : public DvdControl {
    public:
        explicit FakeDvd(FakeMediaGraph &graph)
            : graph_(graph)
        {
        }
        void PlayPrevChapter() override { graph_.record(QStringLiteral("dvd:PlayPrevChapter")); }
        void PlayNextChapter() override { graph_.record(QStringLiteral("dvd:PlayNextChapter")); }
        void PlayForwards(double speed) override { graph_.record(QStringLiteral("dvd:PlayForwards(%1)").arg(speed)); }
        void PlayBackwards(double speed) override { graph_.record(QStringLiteral("dvd:PlayBackwards(%1)").arg(speed)); }
        void SelectAtPosition(QPoint p) override
        {
            graph_.record(QStringLiteral("dvd:SelectAtPosition(%1,%2)").arg(p.x()).arg(p.y()));
        }
        void ActivateAtPosition(QPoint p) override
        {
            graph_.record(QStringLiteral("dvd:ActivateAtPosition(%1,%2)").arg(p.x()).arg(p.y()));
        }
        void SetOption(Option option, bool on) override
        {
            graph_.record(QStringLiteral("dvd:SetOption(%1,%2)").arg(int(option)).arg(on ? "true" : "false"));
        }

    private:
        FakeMediaGraph &graph_;
    };
    void record(const QString &call);
    void maybeFail(const QString &op);

    QStringList calls_;
    FakeDvd dvd_{*this};
    bool dvdLoaded_ = false;
    VideoBalance balance_;
    GraphMode mode_ = GraphMode::Normal;
    bool active_ = false;
    bool running_ = false;
    bool paused_ = false;
    int volume_ = 10000;
    std::uint32_t position_ = 0;
    std::uint32_t duration_ = 0;
    QString rendered_;
    bool hasVideo_ = false;
    QString prepared_;
    MediaGraphError lastError_{0, QString()};
    // The held answer: a failure, a DVD result, or plain done.
    std::function<void()> heldAnswer_;
    void answer(std::function<void()> fn);
    QStringList queued_;  // every path queued so far
    int started_ = 0;     // how many of them have started
    QHash<QString, std::uint32_t> durations_;
    QHash<QString, MediaGraphError> nextFailure_;
    QHash<QString, MediaGraphError> renderFailures_;
};
