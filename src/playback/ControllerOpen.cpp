// Opening an entry: the open procedure for files and DVDs, and the graph's answers.
#include "playback/PlaybackController.h"

#include "common/PathRules.h"
#include "playback/MediaGraph.h"
#include "playback/TitleSource.h"

namespace {

const QString kDvdExtension = QStringLiteral(".IFO");

} // namespace

MediaGraphError PlaybackController::openFailure(const QString &path, const MediaGraphError &error) const
{
    if (error.reason() == MediaGraphError::Reason::NotRegularFile)
        return MediaGraphError(error.code(), path + QLatin1Char('\n') + texts_.notRegularFile);
    const QString own = texts_.openFailures.value(error.code());
    return MediaGraphError(error.code(), path + QLatin1Char('\n') + (own.isEmpty() ? error.engineText() : own));
}

void PlaybackController::openEntry(const QString &path)
{
    plan_.clear();
    endPending_ = false;
    asyncErrorShown_ = false;
    const QString ext = path_rules::upperExtensionOf(path);
    if (ext == kDvdExtension) {
        graph_.setMode(GraphMode::Dvd);
        Q_EMIT showVideoWindowRequested();
        graph_.resetGraph();
        graph_.setActive(false);
        doPlayDvd(path, true); // the status text stays where it was
        return;
    }
    graph_.setMode(GraphMode::Normal);
    const bool video = GaplessPlan::bringsUpVideoWindow(ext);
    graph_.setActive(true);
    graph_.resetGraph();
    const quint64 serial = ++openSerial_;
    opening_ = Opening{serial, path, false, false};
    try {
        // Answered later (renderDone / renderFailed), by some engines at once.
        graph_.renderFile(path);
    } catch (const MediaGraphError &error) {
        opening_.reset();
        if (video)
            Q_EMIT showVideoWindowRequested();
        throw openFailure(path, error);
    }
    // Queued behind the load: the media starts as soon as it is ready.
    if (failedSerial_ != serial)
        graph_.run(); // else it failed at once: the graph is not started
    // The window comes up while the engine loads (it shows no picture before the
    // first frame anyway): its first show would otherwise lengthen the joint.
    if (video)
        Q_EMIT showVideoWindowRequested();
}

void PlaybackController::onRenderDone()
{
    if (!opening_ || opening_->dvd)
        return; // a reload of the graph's own (a seek after a hand-over)
    opening_.reset();
    runAction([this] {
        setStatus(Status::Playing);
        setDvdButtonsVisible(false);
    });
}

void PlaybackController::onRenderFailed()
{
    if (!opening_)
        return;
    const Opening failed = *opening_;
    opening_.reset();
    failedSerial_ = failed.serial;
    // The status text and the DVD buttons keep their state; CurrentIndex, CurrentFile and
    // the playing row already point at the failed entry.
    runAction([this, &failed] {
        const MediaGraphError error = graph_.lastRenderError();
        throw failed.dvd ? error : openFailure(failed.path, error);
    });
}

void PlaybackController::doPlayDvd(const QString &path, bool showButtons)
{
    if (graph_.active()) {
        // Resume, at normal forward speed after trick play.
        graph_.run();
        if (DvdControl *dvd = graph_.dvdControl())
            dvd->PlayForwards(1.0);
        if (showButtons)
            setDvdButtonsVisible(true);
        return;
    }
    graph_.setActive(true);
    const quint64 serial = ++openSerial_;
    opening_ = Opening{serial, path, true, showButtons};
    graph_.renderDvd(path); // answered by dvdRendered, or renderFailed for a failure code
}

void PlaybackController::onDvdRendered(quint32 result)
{
    if (!opening_ || !opening_->dvd)
        return;
    const bool showButtons = opening_->showDvdButtons;
    opening_.reset();
    runAction([this, result, showButtons] {
        handleDvdRenderResult(result);
        if (showButtons)
            setDvdButtonsVisible(true);
    });
}

void PlaybackController::handleDvdRenderResult(std::uint32_t result)
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
        const DvdRenderStatus status = graph_.lastDvdStatus();
        if (status.videoPortError != 0)
            Q_EMIT messageWanted(
                MediaGraphError(status.videoPortError, QStringLiteral("The video port failed.")).message(), caption);
        if (status.volumeInvalid)
            Q_EMIT messageWanted(QStringLiteral("The specified DVD volume to be played does not exist."), caption);
        if (status.volumeUnknown)
            Q_EMIT messageWanted(QStringLiteral("No DVD volume is specified or isn't found."), caption);
        if (status.noLine21In)
            Q_EMIT messageWanted(QStringLiteral("The video decoder doesn't produce line 21 (closed captioning) data."),
                                 caption);
        if (status.noLine21Out)
            Q_EMIT messageWanted(QStringLiteral("The video decoder can't be shown as closed captioning on video due "
                                                "to a problem with graph building."),
                                 caption);
        if (status.numStreamsFailed > 0)
            Q_EMIT messageWanted(QStringLiteral("Can't render one or more stream."), caption);
    } else if (result == DvdRenderFail) {
        Q_EMIT messageWanted(QStringLiteral("Some basic error occurred in building the graph.\r"
                                            "Possibilities include the DVD Navigator filter or the video or "
                                            "audio renderer not instantiating,\r"
                                            "a trivial connection or pin enumeration failing, or none of the "
                                            "streams rendering."),
                             caption);
    }
    graph_.resetGraph();
}

// ---- the title line ----------------------------------------------------------

void PlaybackController::ShowTitle(const QString &path)
{
    titlePending_.clear();
    if (path_rules::upperExtensionOf(path) != QLatin1String(".MP3") || !titles_) {
        setTitle(path_rules::fileNameOf(path));
        return;
    }
    const TagTitle tag = titles_->tagTitle(path);
    switch (tag.state) {
    case TagTitle::State::Pending:
        titlePending_ = path; // shown when the tag has been read
        break;
    case TagTitle::State::Unreadable:
        break; // the title line stays as it was
    case TagTitle::State::NoTag:
        setTitle(path_rules::fileNameOf(path));
        break;
    case TagTitle::State::Tagged:
        setTitle(tag.title);
        break;
    }
}

void PlaybackController::onTitleKnown(const QString &path)
{
    if (!titlePending_.isEmpty() && path == titlePending_)
        ShowTitle(path);
}
