#include "playback/PlaybackController.h"

#include "common/FileProbe.h"
#include "common/PathRules.h"
#include "common/TimeFormat.h"
#include "playback/MediaGraph.h"
#include "playlist/ID3v1.h"
#include "playlist/PlaylistModel.h"
#include "ui/Dialogs.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace {

const QString kDvdExtension = QStringLiteral(".IFO");

bool isVideoExtension(const QString &upperExt)
{
    static const QStringList video = {QStringLiteral(".AVI"), QStringLiteral(".ASF"), QStringLiteral(".MPG"),
                                      QStringLiteral(".MPEG"), QStringLiteral(".WMV")};
    return video.contains(upperExt);
}

// What a file holds, judged by its extension, for gapless hand-over: a file of another
// kind than the one playing, or of an unknown kind, starts afresh.
enum class MediaKind { Unknown, Audio, Video };

MediaKind kindOf(const QString &upperExt)
{
    static const QStringList audio = {QStringLiteral(".MP3"), QStringLiteral(".WAV"), QStringLiteral(".WAVE"),
                                      QStringLiteral(".MID"), QStringLiteral(".MIDI"), QStringLiteral(".AIF"),
                                      QStringLiteral(".SND"), QStringLiteral(".AU"), QStringLiteral(".WMA"),
                                      QStringLiteral(".OGG"), QStringLiteral(".FLAC"), QStringLiteral(".AAC"),
                                      QStringLiteral(".M4A"), QStringLiteral(".M4B")};
    // Besides the extensions that bring up the video window.
    static const QStringList video = {QStringLiteral(".OGM"), QStringLiteral(".MP4"), QStringLiteral(".FLV"),
                                      QStringLiteral(".MKV")};
    if (audio.contains(upperExt))
        return MediaKind::Audio;
    if (isVideoExtension(upperExt) || video.contains(upperExt))
        return MediaKind::Video;
    return MediaKind::Unknown;
}

// Counts an action in progress for as long as it runs, exceptions included.
struct BusyScope {
    explicit BusyScope(int &counter)
        : counter_(counter)
    {
        ++counter_;
    }
    ~BusyScope() { --counter_; }
    int &counter_;
};

// previous and the playlist's chosen row set StepMode for one pick only. It goes back
// to "next" even when the pick fails, or every later automatic advance would repeat it.
struct StepScope {
    StepScope(int &mode, int value)
        : mode_(mode)
    {
        mode_ = value;
    }
    ~StepScope() { mode_ = PlaybackController::StepNext; }
    int &mode_;
};

} // namespace

PlaybackController::PlaybackController(MediaGraph &graph, PlaylistModel &playlist, Dialogs &dialogs,
                                       QObject *parent)
    : QObject(parent)
    , graph_(graph)
    , playlist_(playlist)
    , dialogs_(dialogs)
{
    ticker_.setInterval(100);
    connect(&ticker_, &QTimer::timeout, this, &PlaybackController::tick);
    connect(&graph_, &MediaGraph::endOfStream, this, &PlaybackController::onEndOfStream);
    connect(&graph_, &MediaGraph::asyncError, this, &PlaybackController::onAsyncError);
    connect(&graph_, &MediaGraph::nextWanted, this, &PlaybackController::onNextWanted);
    connect(&graph_, &MediaGraph::queuedStarted, this, &PlaybackController::onQueuedStarted);
}

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

template <typename F>
void PlaybackController::runAction(F &&action)
{
    {
        BusyScope busy(busy_);
        try {
            action();
        } catch (const MediaGraphError &error) {
            reportError(error);
        }
    }
    updateTicker();
}

MediaGraphError PlaybackController::openFailure(const QString &path, const MediaGraphError &error) const
{
    const QString own = texts_.openFailures.value(error.code());
    return MediaGraphError(error.code(), path + QLatin1Char('\n') + (own.isEmpty() ? error.engineText() : own));
}

void PlaybackController::reportError(const MediaGraphError &error)
{
    dialogs_.showMessage(dialogParent_, error.message(), QString());
}

// ---- operations -------------------------------------------------------------

void PlaybackController::PlayListItem()
{
    runAction([this] { doPlayListItem(); });
}

void PlaybackController::OpenAndPlay()
{
    runAction([this] { doOpenAndPlay(); });
}

void PlaybackController::PlayDvd(const QString &path)
{
    runAction([this, &path] { doPlayDvd(path); });
}

void PlaybackController::ShowTitle(const QString &path)
{
    if (path_rules::upperExtensionOf(path) != QLatin1String(".MP3")) {
        setTitle(path_rules::fileNameOf(path));
        return;
    }
    TID3v1 tag;
    if (!tag.ReadFromPath(path))
        return; // unreadable: the title line stays as it was
    setTitle(tag.HasTag ? tag.displayTitle() : path_rules::fileNameOf(path));
}

void PlaybackController::doPlayListItem()
{
    const int n = playlist_.count();
    if (n == 0) {
        // Nothing to pick from: ask for files, as every transport action does.
        doOpenAndPlay();
        return;
    }
    // The playlist only asks for rows it has; a stale row must not index past the list.
    if (stepMode_ == StepRequested && (requestedIndex_ < 0 || requestedIndex_ >= n))
        return;

    graph_.stop();
    graph_.setActive(false);

    bool picked = true;
    switch (stepMode_) {
    case StepRequested:
        currentIndex_ = requestedIndex_;
        break;
    case StepNext:
        if (currentIndex_ >= n - 1 || currentIndex_ < -1)
            currentIndex_ = -1;
        ++currentIndex_;
        break;
    case StepPrevious:
        // Entries may have been deleted below CurrentIndex: step back from the list's end then.
        currentIndex_ = currentIndex_ > 0 ? std::min(currentIndex_, n) - 1 : n - 1;
        break;
    default:
        picked = false;
        break;
    }
    if (picked)
        currentFile_ = playlist_.path(currentIndex_);

    playlist_.setPlayingIndex(currentIndex_);
    ShowTitle(currentFile_);
    openEntry(currentFile_);
}

void PlaybackController::doOpenAndPlay()
{
    const QStringList files = dialogs_.getOpenFileNames(dialogParent_, texts_.openFilter);
    if (files.isEmpty())
        return;
    for (const QString &file : files)
        playlist_.append(file);
    playlist_.zobrazit();

    const QString path = playlist_.path(0);
    // Marked before opening, as PlayListItem does, so that after a failed open
    // next and previous go on from this entry rather than from a stale index.
    currentIndex_ = 0;
    currentFile_ = path;
    playlist_.setPlayingIndex(0);
    ShowTitle(path);
    openEntry(path);
}

void PlaybackController::openEntry(const QString &path)
{
    queued_.clear();
    endPending_ = false;
    asyncErrorShown_ = false;
    const QString ext = path_rules::upperExtensionOf(path);
    if (ext != kDvdExtension) {
        graph_.setMode(GraphMode::Normal);
        if (isVideoExtension(ext))
            Q_EMIT showVideoWindowRequested();
        graph_.setActive(true);
        graph_.resetGraph();
        // Only regular files reach the engine: opening a FIFO or a device can block
        // without end, and so can a file on a hung mount.
        switch (file_probe::probe(path, ProbeTimeoutMs)) {
        case file_probe::Kind::Other:
            throw MediaGraphError(NotRegularFile, path + QLatin1Char('\n') + texts_.notRegularFile);
        case file_probe::Kind::NoAnswer:
            throw MediaGraphError(NoAnswer, path + QLatin1Char('\n') + texts_.openFailures.value(NoAnswer));
        case file_probe::Kind::Regular:
        case file_probe::Kind::Missing: // the engine says it is not there
            break;
        }
        try {
            graph_.renderFile(path);
        } catch (const MediaGraphError &error) {
            throw openFailure(path, error);
        }
        graph_.run();
        setStatus(Status::Playing);
        setDvdButtonsVisible(false);
    } else {
        graph_.setMode(GraphMode::Dvd);
        Q_EMIT showVideoWindowRequested();
        graph_.resetGraph();
        graph_.setActive(false);
        doPlayDvd(path);
        setDvdButtonsVisible(true); // the status text stays where it was
    }
}

void PlaybackController::doPlayDvd(const QString &path)
{
    if (graph_.active()) {
        // Resume, at normal forward speed after trick play.
        graph_.run();
        if (DvdControl *dvd = graph_.dvdControl())
            dvd->PlayForwards(1.0);
        return;
    }
    graph_.setActive(true);
    DvdRenderStatus status;
    // A failure code is raised here: the caller's remaining steps do not run.
    const std::uint32_t result = graph_.renderDvdVideoVolume(path, status);
    handleDvdRenderResult(result, status);
}

void PlaybackController::handleDvdRenderResult(std::uint32_t result, const DvdRenderStatus &status)
{
    const QString caption = QStringLiteral("Error");
    if (result == 0) {
        graph_.run();
        if (DvdControl *dvd = graph_.dvdControl()) {
            dvd->SetOption(DvdControl::Option::NotifyParentalLevelChange, false);
            dvd->SetOption(DvdControl::Option::HmsfTimeCodeEvents, true);
        }
        return;
    }
    if (result == 1) {
        if (status.videoPortError != 0)
            dialogs_.showMessage(dialogParent_, MediaGraphError(status.videoPortError, QStringLiteral("The video port failed.")).message(), caption);
        if (status.volumeInvalid)
            dialogs_.showMessage(dialogParent_, QStringLiteral("The specified DVD volume to be played does not exist."),
                                 caption);
        if (status.volumeUnknown)
            dialogs_.showMessage(dialogParent_, QStringLiteral("No DVD volume is specified or isn't found."), caption);
        if (status.noLine21In)
            dialogs_.showMessage(dialogParent_,
                                 QStringLiteral("The video decoder doesn't produce line 21 (closed captioning) data."),
                                 caption);
        if (status.noLine21Out)
            dialogs_.showMessage(dialogParent_,
                                 QStringLiteral("The video decoder can't be shown as closed captioning on video due "
                                                "to a problem with graph building."),
                                 caption);
        if (status.numStreamsFailed > 0)
            dialogs_.showMessage(dialogParent_, QStringLiteral("Can't render one or more stream."), caption);
    } else if (result == DvdRenderFail) {
        dialogs_.showMessage(dialogParent_,
                             QStringLiteral("Some basic error occurred in building the graph.\r"
                                            "Possibilities include the DVD Navigator filter or the video or "
                                            "audio renderer not instantiating,\r"
                                            "a trivial connection or pin enumeration failing, or none of the "
                                            "streams rendering."),
                             caption);
    }
    graph_.resetGraph();
}

// ---- transport actions ------------------------------------------------------

void PlaybackController::play()
{
    runAction([this] { doPlay(); });
}

void PlaybackController::stop()
{
    runAction([this] {
        if (status_ == Status::Stopped || !graph_.active())
            return;
        graph_.stop();
        graph_.seekMs(0);
        setStatus(Status::Stopped);
        heldAtStart_ = true;
    });
    tick(); // the label and the bar show the start at once
}

void PlaybackController::doPlay()
{
    if (status_ == Status::Paused || (status_ == Status::Stopped && heldAtStart_ && graph_.active())) {
        graph_.run();
        setStatus(Status::Playing);
        return;
    }
    if (graph_.active())
        return;
    if (playlist_.count() == 0)
        doOpenAndPlay();
    else
        doPlayListItem();
}

void PlaybackController::pauseResume()
{
    runAction([this] {
        if (status_ == Status::Playing) {
            graph_.pause();
            setStatus(Status::Paused);
        } else if (status_ == Status::Paused) {
            graph_.run();
            setStatus(Status::Playing);
        }
    });
}

void PlaybackController::next()
{
    runAction([this] {
        if (playlist_.count() == 0)
            doOpenAndPlay();
        else
            doPlayListItem();
    });
}

void PlaybackController::previous()
{
    runAction([this] {
        StepScope step(stepMode_, StepPrevious);
        if (playlist_.count() == 0)
            doOpenAndPlay();
        else
            doPlayListItem();
    });
}

void PlaybackController::addFiles()
{
    const QStringList files = dialogs_.getOpenFileNames(dialogParent_, texts_.openFilter);
    for (const QString &file : files)
        playlist_.append(file);
    playlist_.zobrazit(); // also refreshes the count strip
}

void PlaybackController::playRequested(int focusedRow)
{
    runAction([this, focusedRow] {
        StepScope step(stepMode_, StepRequested);
        requestedIndex_ = focusedRow;
        if (playlist_.count() > 0)
            doPlayListItem();
        else
            doOpenAndPlay();
    });
}

// ---- seek bar and time label ------------------------------------------------

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

        if (!graph_.active()) {
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

void PlaybackController::entryEnded()
{
    queued_.clear();
    endPending_ = false;
    graph_.setActive(false);
    setStatus(Status::Stopped);
    doPlay(); // the next entry; after the last comes the first
}

void PlaybackController::onEndOfStream()
{
    // Handled by the tick, which waits while a dialog of another action is open.
    endPending_ = true;
    tick();
}

void PlaybackController::onAsyncError(const QString &message)
{
    // One message per entry: engines tend to report a failure more than once.
    if (asyncErrorShown_)
        return;
    asyncErrorShown_ = true;
    endPending_ = false;
    BusyScope busy(busy_);
    // A queued entry that fails is marked, as a failed open marks its entry: next and
    // previous go on from it.
    if (!queued_.isEmpty()) {
        const Queued failed = queued_.takeFirst();
        queued_.clear();
        markEntry(failed.index, failed.path);
    }
    try {
        // Released, so play starts afresh instead of finding a dead graph "active".
        graph_.setActive(false);
    } catch (const MediaGraphError &) {
        // The failure being reported already says what went wrong.
    }
    setStatus(Status::Stopped);
    updateTicker();
    dialogs_.showMessage(dialogParent_, message, QString());
}

// ---- gapless hand-over ------------------------------------------------------

int PlaybackController::nextPick(int from) const
{
    const int n = playlist_.count();
    if (n == 0)
        return -1;
    return (from >= n - 1 || from < -1) ? 0 : from + 1;
}

bool PlaybackController::canFollowWithoutGap(const QString &previous, const QString &path) const
{
    const QString ext = path_rules::upperExtensionOf(path);
    const MediaKind kind = kindOf(ext);
    if (kind == MediaKind::Unknown)
        return false;
    // What plays now is known from the graph; a file still waiting its turn by its name.
    const MediaKind before = previous.isEmpty() ? (graph_.hasVideo() ? MediaKind::Video : MediaKind::Audio)
                                                : kindOf(path_rules::upperExtensionOf(previous));
    if (kind != before)
        return false;
    // A file the video window would have to appear for.
    if (isVideoExtension(ext) && !(videoWindowShown_ && videoWindowShown_()))
        return false;
    // A missing file fails the ordinary way, with its message, after this one ends.
    const QFileInfo info(path);
    return info.isFile() && info.isReadable();
}

void PlaybackController::onNextWanted()
{
    if (busy_ > 0 || stepMode_ != StepNext || status_ == Status::Stopped || dvdButtonsVisible_
        || graph_.mode() != GraphMode::Normal)
        return;
    const int index = nextPick(queued_.isEmpty() ? currentIndex_ : queued_.last().index);
    if (index < 0)
        return;
    const QString path = playlist_.path(index);
    if (!canFollowWithoutGap(queued_.isEmpty() ? QString() : queued_.last().path, path))
        return;
    queued_.append(Queued{index, path});
    graph_.queueNext(path);
}

void PlaybackController::onQueuedStarted()
{
    if (queued_.isEmpty())
        return;
    const Queued next = queued_.takeFirst();
    // The playlist may have changed since: the entry must still be the one the rule picks.
    const int n = playlist_.count();
    const bool stillRight = next.index < n && nextPick(currentIndex_) == next.index
                            && playlist_.path(next.index) == next.path;
    if (!stillRight || stepMode_ != StepNext) {
        if (busy_ > 0) {
            endPending_ = true; // handled once the dialog is closed
            return;
        }
        runAction([this] { entryEnded(); });
        return;
    }
    markEntry(next.index, next.path);
    endPending_ = false;
    asyncErrorShown_ = false;
    if (status_ != Status::Paused)
        setStatus(Status::Playing);
    setDvdButtonsVisible(false);
    tick();
}

void PlaybackController::markEntry(int index, const QString &path)
{
    currentIndex_ = index;
    currentFile_ = path;
    playlist_.setPlayingIndex(index);
    ShowTitle(path);
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
        queued_.clear(); // a seek lets the graph forget what was queued
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

// ---- shown state ------------------------------------------------------------

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
