// What the main strip shows: the status text, the title line, the time label and the
// seek bar, and the tick that keeps them up to date and notices the end of an entry.
#include "playback/PlaybackController.h"

#include "common/TimeFormat.h"
#include "playback/MediaGraph.h"

#include <algorithm>

void PlaybackController::setTexts(const ControllerTexts &texts)
{
    texts_ = texts;
    Q_EMIT statusTextChanged(statusText());
}

void PlaybackController::setShowElapsed(bool elapsed)
{
    if (showElapsed_ == elapsed)
        return;
    showElapsed_ = elapsed;
    Q_EMIT showElapsedChanged(elapsed);
    updateTimeLabel();
}

QString PlaybackController::statusText() const
{
    switch (status_) {
    case Status::Playing:
        return texts_.playing;
    case Status::Paused:
        return texts_.paused;
    case Status::Stopped:
        break;
    }
    return texts_.stopped;
}

void PlaybackController::tick()
{
    // Inside a modal dialog of a running action: wait for it to finish.
    if (busy_ > 0)
        return;
    runAction([this] {
        // A DVD's time reaches the label through its time-code events; the navigator
        // moves between menus and titles by itself, without an end of its own.
        if (graph_.mode() == GraphMode::Dvd && graph_.active()) {
            endPending_ = false;
            return;
        }
        // The figures the engine last reported: asking never waits for it.
        lastPosition_ = graph_.positionMs();
        lastDuration_ = graph_.durationMs();
        updateTimeLabel();

        const int max = static_cast<int>(lastDuration_ / 100);
        const int pos = static_cast<int>(lastPosition_ / 100);
        if (max != seekMax_) {
            seekMax_ = max;
            Q_EMIT seekRangeChanged(max);
        }
        if (pos != seekPos_) {
            seekPos_ = pos;
            Q_EMIT seekPositionChanged(pos);
        }

        if (!graph_.active() || opening_) {
            endPending_ = false;
            return;
        }
        // A duration of 0 is "unknown" (nothing rendered, a failed render, a stream
        // still starting): only the engine's end-of-stream ends such an entry, or a
        // file that never reports a length would be reopened ten times a second.
        const bool atEnd = lastDuration_ > 0 && lastPosition_ == lastDuration_;
        if (atEnd || endPending_)
            entryEnded();
    });
}

void PlaybackController::startTicking()
{
    tickingWanted_ = true;
    updateTicker();
}

void PlaybackController::stopTicking()
{
    tickingWanted_ = false;
    updateTicker();
}

void PlaybackController::updateTicker()
{
    // Paused, stopped at the start, or idle with nothing loaded, nothing the tick shows
    // can change; a seek or the engine's end of stream ticks once by itself.
    const bool wanted = tickingWanted_ && status_ != Status::Paused && !heldAtStart_ && graph_.active();
    if (wanted && !ticker_.isActive())
        ticker_.start();
    else if (!wanted && ticker_.isActive())
        ticker_.stop();
}

void PlaybackController::seekToBar(int barPos, int barMax)
{
    if (barMax <= 0)
        return;
    barPos = std::clamp(barPos, 0, barMax);
    runAction([this, barPos, barMax] {
        const std::uint64_t target = std::uint64_t(graph_.durationMs()) * std::uint64_t(barPos) / std::uint64_t(barMax);
        plan_.clear(); // a seek lets the graph forget what was handed over
        graph_.seekMs(static_cast<std::uint32_t>(target));
    });
    if (!ticker_.isActive())
        tick(); // paused: the label and the bar show the new place at once
}

void PlaybackController::toggleElapsed()
{
    setShowElapsed(!showElapsed_);
}

void PlaybackController::updateTimeLabel()
{
    std::uint32_t seconds = 0;
    if (showElapsed_)
        seconds = lastPosition_ / 1000;
    else if (lastDuration_ > lastPosition_)
        seconds = (lastDuration_ - lastPosition_) / 1000; // past the end counts as nothing left
    const QString text = formatHms(seconds);
    if (text == timeText_)
        return;
    timeText_ = text;
    Q_EMIT timeTextChanged(text);
}

void PlaybackController::setStatus(Status status)
{
    if (status != Status::Stopped)
        heldAtStart_ = false;
    if (status_ == status)
        return;
    status_ = status;
    Q_EMIT statusTextChanged(statusText());
    if (busy_ == 0)
        updateTicker();
}

void PlaybackController::setTitle(const QString &title)
{
    title_ = title;
    Q_EMIT titleChanged(title); // also when equal: the window restarts its marquee
}

void PlaybackController::setDvdButtonsVisible(bool visible)
{
    dvdButtonsVisible_ = visible;
    Q_EMIT dvdButtonsVisibleChanged(visible);
}
