#include "playback/GstMediaGraph.h"

#include "playback/AudioTap.h"
#include "playback/EngineWorker.h"
#include "playback/GstDvdNavigator.h"
#include "platform/GstInit.h"

#include <QMetaMethod>
#include <QMetaObject>

#include <gst/gst.h>

#include <algorithm>

namespace {
// How long the close waits for the engine to let go of the sound device and files.
constexpr int kShutdownWaitMs = 3000;
} // namespace

void GstMediaGraph::ensureInitialised()
{
    gst_start::ensureInitialised();
}

GstMediaGraph::GstMediaGraph(QObject *parent)
    : MediaGraph(parent)
{
    // Neither this nor the tap needs GStreamer yet. Where the program's start worker runs
    // gst_init, the first pipeline waits for it (createPipeline).
    if (!GstStartWorker::started())
        ensureInitialised();
    tap_ = new AudioTap(this);
    // rsndvdbin reads it when a disc opens: start at the disc's first-play program.
    qputenv("DVDFASTSTART", "0");
    dvdTimer_.setInterval(1000);
    connect(&dvdTimer_, &QTimer::timeout, this, &GstMediaGraph::reportDvdTime);
}

GstMediaGraph::~GstMediaGraph()
{
    if (!engine_)
        return;
    dvdTimer_.stop();
    engine_->detachListener();
    newTicket();
    std::shared_ptr<GstDvdNavigator> navigator(navigator_.release());
    const bool ended = worker_->finish(
        [engine = engine_, navigator]() mutable {
            navigator.reset();
            engine->shutdown();
        },
        kShutdownWaitMs);
    tap_->setPipeline(nullptr);
    if (!ended) {
        // The engine hangs in GStreamer: leave it, and the tap its probes call, to the
        // worker rather than free what a streaming thread may still use.
        new std::shared_ptr<GstEngine>(engine_);
        tap_->setParent(nullptr);
    }
    engine_.reset();
}

void GstMediaGraph::createPipeline()
{
    // The first pipeline waits here for the start worker's gst_init, if it still runs.
    ensureInitialised();
    GstPipelineParts parts = GstPipelineParts::build(tap_);
    auto poster = [this](std::function<void()> fn) { QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection); };
    engine_ = std::make_shared<GstEngine>(parts, poster, static_cast<GstEngine::Listener *>(this));
    engine_->prerollTimeoutMs = prerollTimeoutMs_;
    engine_->frames().notify = [engine = engine_.get()] {
        if (engine->wantFrameNotices)
            engine->postFrame();
        else
            engine->frames().noticeTaken();
    };
    static const QMetaMethod notice = QMetaMethod::fromSignal(&MediaGraph::videoFrameReady);
    engine_->wantFrameNotices = isSignalConnected(notice);
    worker_ = std::make_unique<EngineWorker>();
    tap_->setPipeline(parts.playbin);
    applyVolume();
    applyBalance();
}

quint64 GstMediaGraph::newTicket()
{
    ++ticket_;
    if (engine_) {
        engine_->latestTicket = ticket_;
        engine_->requestChanged();
    }
    return ticket_;
}

void GstMediaGraph::dropMedia()
{
    dvdTimer_.stop();
    const quint64 ticket = newTicket();
    loading_ = loaded_ = running_ = endOfStream_ = hasVideo_ = false;
    handed_ = 0;
    pendingSeekMs_ = -1;
    startOffsetMs_ = 0;
    currentUri_.clear();
    nextPath_.clear();
    tap_->setPlaying(false);
    tap_->reset();
    if (!engine_)
        return;
    engine_->withdrawNext(++nextOffer_);
    engine_->positionMs = 0;
    engine_->durationMs = 0;
    engine_->frames().setOpen(false);
    engine_->frames().clear();
    std::shared_ptr<GstDvdNavigator> navigator(navigator_.release());
    worker_->post([engine = engine_, ticket, navigator] { engine->drop(ticket, navigator); });
    updateRefresh();
}

void GstMediaGraph::setActive(bool active)
{
    if (active) {
        if (!engine_)
            createPipeline();
        active_ = true;
    } else if (active_) {
        dropMedia();
        active_ = false;
    }
}

void GstMediaGraph::resetGraph()
{
    dropMedia();
}

void GstMediaGraph::renderFile(const QString &path)
{
    if (!engine_)
        createPipeline();
    dropMedia();
    active_ = true;
    const quint64 ticket = newTicket(); // the drop above is left undone: this load drops it
    const QByteArray uri = gst_uri::forPath(path);
    if (uri.isEmpty()) {
        const MediaGraphError error(ErrFileNotFound, path.isEmpty() ? QStringLiteral("No file was given.")
                                                                    : QStringLiteral("Invalid file name."));
        QMetaObject::invokeMethod(this, [this, ticket, error] { engineFailed(ticket, error); }, Qt::QueuedConnection);
        return;
    }
    loading_ = true;
    currentUri_ = uri;
    // Audio-CD tracks are no files: only files are probed before they are opened.
    const QString probe = uri.startsWith("cdda://") ? QString() : path;
    worker_->post([engine = engine_, ticket, uri, probe] { engine->load(ticket, uri, probe, -1, false); });
}

void GstMediaGraph::run()
{
    if (!active_ || (!loaded_ && !loading_))
        return;
    running_ = true;
    tap_->setPlaying(!endOfStream_);
    worker_->post([engine = engine_, ticket = ticket_] { engine->setPlaying(ticket, true); });
    if (navigator_ && !dvdTimer_.isActive())
        dvdTimer_.start();
    updateRefresh();
}

void GstMediaGraph::pause()
{
    if (!active_ || (!loaded_ && !loading_))
        return;
    running_ = false;
    tap_->setPlaying(false);
    worker_->post([engine = engine_, ticket = ticket_] { engine->setPlaying(ticket, false); });
    updateRefresh();
}

void GstMediaGraph::stop()
{
    pause();
}

void GstMediaGraph::setVolume(int level)
{
    volume_ = std::clamp(level, 0, 10000);
    applyVolume();
}

void GstMediaGraph::applyVolume()
{
    // A property of our own element: it takes only that element's lock, briefly.
    if (engine_)
        g_object_set(engine_->parts().gain, "volume", volumeToLinearGain(volume_), nullptr);
}

void GstMediaGraph::setPrerollTimeoutMs(int ms)
{
    prerollTimeoutMs_ = ms;
    if (engine_)
        engine_->prerollTimeoutMs = ms;
}

void GstMediaGraph::requestFigures() const
{
    if (!engine_->queryPending.exchange(true))
        worker_->post([engine = engine_, ticket = ticket_] { engine->query(ticket); });
}

std::uint32_t GstMediaGraph::durationMs() const
{
    if (!loaded_)
        return 0;
    requestFigures();
    return engine_->durationMs;
}

std::uint32_t GstMediaGraph::positionMs() const
{
    // A seek that reloads the media reports its target meanwhile.
    if (loading_ && pendingSeekMs_ >= 0)
        return static_cast<std::uint32_t>(pendingSeekMs_);
    if (!loaded_)
        return 0;
    if (endOfStream_)
        return durationMs();
    requestFigures();
    if (pendingSeekMs_ >= 0)
        return static_cast<std::uint32_t>(pendingSeekMs_);
    std::uint32_t ms = engine_->positionMs;
    // Only the end of the stream may report position == duration.
    const std::uint32_t duration = engine_->durationMs;
    if (duration > 0 && ms >= duration)
        ms = duration - 1;
    return ms;
}

void GstMediaGraph::seekMs(std::uint32_t positionMs)
{
    if (!loaded_)
        return;
    if (handed_ > 0) {
        // Once a file is handed over, playbin seeks in that one: load this one afresh
        // and let what was handed go (the controller forgets it too).
        const bool resume = running_;
        const QByteArray uri = currentUri_;
        dropMedia();
        active_ = true;
        const quint64 ticket = newTicket();
        loading_ = true;
        running_ = resume;
        currentUri_ = uri;
        pendingSeekMs_ = positionMs;
        worker_->post([engine = engine_, ticket, uri, positionMs, resume] {
            engine->load(ticket, uri, QString(), positionMs, resume);
        });
        updateRefresh();
        return;
    }
    const bool restart = endOfStream_;
    endOfStream_ = false;
    pendingSeekMs_ = positionMs;
    tap_->setPlaying(running_);
    const qint64 target = static_cast<qint64>(positionMs) + startOffsetMs_;
    worker_->post([engine = engine_, ticket = ticket_, target, restart] { engine->seek(ticket, target, restart); });
    updateRefresh();
}

void GstMediaGraph::prepareNext(const QString &path)
{
    if (!engine_ || path == nextPath_)
        return;
    nextPath_ = path;
    const quint64 offer = ++nextOffer_;
    engine_->withdrawNext(offer);
    const QByteArray uri = gst_uri::forPath(path);
    if (uri.isEmpty())
        return;
    const bool probe = !uri.startsWith("cdda://");
    worker_->post([engine = engine_, offer, ticket = ticket_, uri, path, probe] {
        engine->offerNext(offer, ticket, uri, path, probe);
    });
}

QImage GstMediaGraph::latestVideoFrame() const
{
    return engine_ ? engine_->frames().latest() : QImage();
}

void GstMediaGraph::setFrameObserver(VideoFrameObserver *observer)
{
    if (!engine_)
        createPipeline();
    engine_->frames().setObserver(observer);
}

void GstMediaGraph::setVideoBalance(const VideoBalance &balance)
{
    balanceValues_ = balance;
    applyBalance();
}

void GstMediaGraph::applyBalance()
{
    if (engine_ && engine_->parts().balance)
        g_object_set(engine_->parts().balance, "brightness", balanceValues_.brightness, "contrast",
                     balanceValues_.contrast, "hue", balanceValues_.hue, "saturation", balanceValues_.saturation,
                     nullptr);
}

// ---- answers of the engine (GUI thread) -------------------------------------------

void GstMediaGraph::engineLoaded(quint64 ticket, const GstEngine::Loaded &loaded)
{
    if (ticket != ticket_)
        return;
    loading_ = false;
    loaded_ = true;
    endOfStream_ = false;
    generation_ = loaded.generation;
    hasVideo_ = loaded.hasVideo;
    startOffsetMs_ = loaded.startOffsetMs;
    GstStartWorker::preloadLater(); // something plays: the rest of start-up can follow
    Q_EMIT renderDone();
    updateRefresh();
}

void GstMediaGraph::engineFailed(quint64 ticket, const MediaGraphError &error)
{
    if (ticket != ticket_)
        return;
    loading_ = loaded_ = running_ = false;
    pendingSeekMs_ = -1;
    tap_->setPlaying(false);
    lastError_ = error;
    Q_EMIT renderFailed();
    updateRefresh();
}

void GstMediaGraph::engineError(quint64 generation, const QString &message)
{
    if (generation != generation_ || !loaded_)
        return;
    running_ = false;
    tap_->setPlaying(false);
    Q_EMIT asyncError(message);
    updateRefresh();
}

void GstMediaGraph::engineMessage(quint64 generation, GstMessage *message)
{
    if (generation != generation_ || !loaded_)
        return;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
        worker_->post([engine = engine_, ticket = ticket_] { engine->ended(ticket); });
        break;
    case GST_MESSAGE_ASYNC_DONE:
        // The target is reported until the figures after the seek have been read.
        if (pendingSeekMs_ >= 0)
            worker_->post([engine = engine_, ticket = ticket_] { engine->seekDone(ticket); });
        break;
    case GST_MESSAGE_STREAM_START:
        if (handed_ > 0) {
            --handed_;
            endOfStream_ = false;
            pendingSeekMs_ = -1;
            startOffsetMs_ = 0;
            worker_->post([engine = engine_, ticket = ticket_] { engine->askVideo(ticket); });
            Q_EMIT queuedStarted();
        }
        break;
    default:
        break;
    }
}

void GstMediaGraph::engineEnded(quint64 ticket)
{
    if (ticket != ticket_ || !loaded_ || endOfStream_)
        return;
    endOfStream_ = true;
    pendingSeekMs_ = -1;
    tap_->setPlaying(false);
    Q_EMIT endOfStream();
    updateRefresh();
}

void GstMediaGraph::engineSeekDone(quint64 ticket)
{
    if (ticket == ticket_)
        pendingSeekMs_ = -1;
}

void GstMediaGraph::updateRefresh()
{
    if (!worker_)
        return;
    const bool wanted = running_ && (loaded_ || loading_) && !endOfStream_;
    if (wanted == refreshing_)
        return;
    refreshing_ = wanted;
    worker_->setTick(wanted ? std::function<void()>([engine = engine_] { engine->refresh(); }) : nullptr, 100);
}

void GstMediaGraph::engineNextTaken(quint64 ticket, const QString &path)
{
    if (ticket != ticket_)
        return;
    ++handed_;
    nextPath_.clear(); // the same file may follow again (a list of one)
    Q_EMIT nextTaken(path);
}

void GstMediaGraph::engineVideoChanged(quint64 ticket, bool hasVideo)
{
    if (ticket == ticket_)
        hasVideo_ = hasVideo;
}

void GstMediaGraph::engineFrame()
{
    if (engine_)
        engine_->frames().noticeTaken();
    Q_EMIT videoFrameReady();
}

void GstMediaGraph::connectNotify(const QMetaMethod &signal)
{
    if (engine_ && signal == QMetaMethod::fromSignal(&MediaGraph::videoFrameReady))
        engine_->wantFrameNotices = true;
}

void GstMediaGraph::disconnectNotify(const QMetaMethod &signal)
{
    static const QMetaMethod notice = QMetaMethod::fromSignal(&MediaGraph::videoFrameReady);
    if (!engine_ || (signal.isValid() && signal != notice))
        return;
    // Qt holds its connection lock here: whether anyone is left is asked afterwards.
    QMetaObject::invokeMethod(
        this, [this] { engine_->wantFrameNotices = isSignalConnected(notice); }, Qt::QueuedConnection);
}
