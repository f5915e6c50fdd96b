// Transport actions, picking the entry, and following the graph's gapless hand-over.
#include "playback/PlaybackController.h"

#include "playback/MediaGraph.h"
#include "playback/PlayOrder.h"
#include "playback/TitleSource.h"

namespace {

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

PlaybackController::PlaybackController(MediaGraph &graph, PlayOrder &playlist, TitleSource *titles, QObject *parent)
    : QObject(parent)
    , graph_(graph)
    , playlist_(playlist)
    , titles_(titles)
{
    ticker_.setInterval(100);
    connect(&ticker_, &QTimer::timeout, this, &PlaybackController::tick);
    connect(&graph_, &MediaGraph::renderDone, this, &PlaybackController::onRenderDone);
    connect(&graph_, &MediaGraph::renderFailed, this, &PlaybackController::onRenderFailed);
    connect(&graph_, &MediaGraph::dvdRendered, this, &PlaybackController::onDvdRendered);
    connect(&graph_, &MediaGraph::endOfStream, this, &PlaybackController::onEndOfStream);
    connect(&graph_, &MediaGraph::asyncError, this, &PlaybackController::onAsyncError);
    connect(&graph_, &MediaGraph::nextTaken, this, &PlaybackController::onNextTaken);
    connect(&graph_, &MediaGraph::queuedStarted, this, &PlaybackController::onQueuedStarted);
    if (titles_)
        connect(titles_, &TitleSource::titleKnown, this, &PlaybackController::onTitleKnown);
}

void PlaybackController::setStepMode(int mode)
{
    stepMode_ = mode;
    planNext();
}

void PlaybackController::runAction(const std::function<void()> &action)
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
    planNext();
}

void PlaybackController::reportError(const MediaGraphError &error)
{
    Q_EMIT messageWanted(error.message(), QString());
}

QStringList PlaybackController::chooseFiles()
{
    QStringList chosen;
    Q_EMIT filesWanted(texts_.openFilter, chosen);
    return chosen;
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
    runAction([this, &path] { doPlayDvd(path, false); });
}

void PlaybackController::doPlayListItem()
{
    const int n = playlist_.entryCount();
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

    int picked = currentIndex_;
    if (entry_picker::pick(stepMode_, currentIndex_, requestedIndex_, n, &picked)) {
        currentIndex_ = picked;
        currentFile_ = playlist_.entryPath(currentIndex_);
    }
    playlist_.markPlaying(currentIndex_);
    ShowTitle(currentFile_);
    openEntry(currentFile_);
}

void PlaybackController::doOpenAndPlay()
{
    const QStringList files = chooseFiles();
    if (files.isEmpty())
        return;
    playlist_.appendEntries(files);
    if (playlist_.entryCount() == 0)
        return; // every name was refused (the list said why)

    const QString path = playlist_.entryPath(0);
    // Marked before opening, as PlayListItem does, so that after a failed open
    // next and previous go on from this entry rather than from a stale index.
    currentIndex_ = 0;
    currentFile_ = path;
    playlist_.markPlaying(0);
    ShowTitle(path);
    openEntry(path);
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
        plan_.clear(); // a seek lets the graph forget what was handed over
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
    if (playlist_.entryCount() == 0)
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
        if (playlist_.entryCount() == 0)
            doOpenAndPlay();
        else
            doPlayListItem();
    });
}

void PlaybackController::previous()
{
    runAction([this] {
        StepScope step(stepMode_, StepPrevious);
        if (playlist_.entryCount() == 0)
            doOpenAndPlay();
        else
            doPlayListItem();
    });
}

void PlaybackController::addFiles()
{
    const QStringList files = chooseFiles();
    playlist_.appendEntries(files); // also refreshes the count strip
    planNext();
}

void PlaybackController::playRequested(int focusedRow)
{
    runAction([this, focusedRow] {
        StepScope step(stepMode_, StepRequested);
        requestedIndex_ = focusedRow;
        if (playlist_.entryCount() > 0)
            doPlayListItem();
        else
            doOpenAndPlay();
    });
}

// ---- the end of an entry and the gapless hand-over ----------------------------

void PlaybackController::entryEnded()
{
    plan_.clear();
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
    // A handed entry that fails is marked, as a failed open marks its entry: next and
    // previous go on from it.
    if (const std::optional<GaplessPlan::Entry> failed = plan_.started(); failed && failed->index >= 0)
        markEntry(failed->index, failed->path);
    plan_.clear();
    try {
        // Released, so play starts afresh instead of finding a dead graph "active".
        graph_.setActive(false);
    } catch (const MediaGraphError &) {
        // The failure being reported already says what went wrong.
    }
    setStatus(Status::Stopped);
    updateTicker();
    Q_EMIT messageWanted(message, QString());
}

void PlaybackController::planNext()
{
    // Only the "next" rule follows on by itself; a DVD has no next entry.
    const bool planned = busy_ == 0 && stepMode_ == StepNext && !dvdButtonsVisible_ && graph_.active()
                         && graph_.mode() == GraphMode::Normal && currentIndex_ >= 0;
    const bool videoShown = videoWindowShown_ && videoWindowShown_();
    graph_.prepareNext(planned ? plan_.plan(playlist_, GaplessPlan::Entry{currentIndex_, currentFile_}, videoShown)
                               : QString());
}

void PlaybackController::playlistChanged()
{
    planNext();
}

void PlaybackController::videoWindowVisibilityChanged()
{
    planNext();
}

void PlaybackController::onNextTaken(const QString &path)
{
    plan_.handed(path);
    planNext();
}

void PlaybackController::onQueuedStarted()
{
    const std::optional<GaplessPlan::Entry> next = plan_.started();
    if (!next)
        return;
    // The playlist may have changed since: the entry must still be the one the rule picks.
    const int n = playlist_.entryCount();
    const bool stillRight = next->index >= 0 && next->index < n
                            && entry_picker::nextAfter(currentIndex_, n) == next->index
                            && playlist_.entryPath(next->index) == next->path;
    if (!stillRight || stepMode_ != StepNext) {
        if (busy_ > 0) {
            endPending_ = true; // handled once the dialog is closed
            return;
        }
        runAction([this] { entryEnded(); });
        return;
    }
    markEntry(next->index, next->path);
    endPending_ = false;
    asyncErrorShown_ = false;
    if (status_ != Status::Paused)
        setStatus(Status::Playing);
    setDvdButtonsVisible(false);
    tick();
    planNext();
}

void PlaybackController::markEntry(int index, const QString &path)
{
    currentIndex_ = index;
    currentFile_ = path;
    playlist_.markPlaying(index);
    ShowTitle(path);
}
