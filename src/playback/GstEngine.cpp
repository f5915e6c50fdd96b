#include "playback/GstEngine.h"

#include "common/FileProbe.h"
#include "playback/GstDvdNavigator.h"

#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

#include <algorithm>

struct GstEngineCallbacks {
    static GstBusSyncReply busSync(GstBus *, GstMessage *message, gpointer self)
    {
        static_cast<GstEngine *>(self)->onBusMessage(message);
        return GST_BUS_DROP; // onBusMessage took the message
    }
    static void aboutToFinish(GstElement *, gpointer self) { static_cast<GstEngine *>(self)->onAboutToFinish(); }
};

namespace {
// A file the system does not answer for within this is reported, never opened.
constexpr int kProbeTimeoutMs = 10000;
} // namespace

GstEngine::GstEngine(GstPipelineParts parts, Poster poster, Listener *listener)
    : parts_(parts)
    , poster_(std::move(poster))
    , listener_(listener)
{
    frames_.attach(parts_.videoSink);
    g_signal_connect(parts_.playbin, "about-to-finish", G_CALLBACK(&GstEngineCallbacks::aboutToFinish), this);
    GstBus *bus = gst_element_get_bus(parts_.playbin);
    gst_bus_set_sync_handler(bus, &GstEngineCallbacks::busSync, this, nullptr);
    gst_object_unref(bus);
}

GstEngine::~GstEngine()
{
    {
        std::lock_guard lock(life_->mutex);
        life_->alive = false;
    }
    GstBus *bus = gst_element_get_bus(parts_.playbin);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    g_signal_handlers_disconnect_by_data(parts_.playbin, this);
    parts_.release();
}

void GstEngine::requestChanged()
{
    std::lock_guard lock(loadMutex_);
    loadChanged_.notify_all();
}

void GstEngine::detachListener()
{
    std::lock_guard lock(postMutex_);
    listener_ = nullptr;
    poster_ = nullptr;
}

void GstEngine::post(std::function<void(Listener &)> fn)
{
    std::lock_guard lock(postMutex_);
    if (!poster_ || !listener_)
        return;
    // The listener is checked again on the GUI thread: it may have gone meanwhile.
    poster_([this, fn = std::move(fn)] {
        Listener *listener = nullptr;
        {
            std::lock_guard inner(postMutex_);
            listener = listener_;
        }
        if (listener)
            fn(*listener);
    });
}

// ---- loading ------------------------------------------------------------------

void GstEngine::toReady(bool reset)
{
    playableTicket_ = 0;
    {
        std::lock_guard lock(nextMutex_);
        handed_ = 0;
    }
    // After a failure playbin may keep pieces of the failed media: start again from NULL.
    gst_element_set_state(parts_.playbin, reset ? GST_STATE_NULL : GST_STATE_READY);
    ++generation_;
    // The old media has stopped: the next pictures are the new media's.
    frames_.clear();
    frames_.setOpen(true);
    loadedTicket_ = 0;
    playing_ = false;
    cachedDurationMs_ = 0;
    positionMs = 0;
    durationMs = 0;
}

void GstEngine::beginWatch()
{
    std::lock_guard lock(loadMutex_);
    load_ = LoadWatch{};
    load_.watching = true;
}

GstEngine::LoadWatch GstEngine::endWatch()
{
    std::lock_guard lock(loadMutex_);
    LoadWatch watch = load_;
    load_ = LoadWatch{};
    return watch;
}

bool GstEngine::loadUri(quint64 ticket, const QByteArray &uri, MediaGraphError *error, int timeoutMs)
{
    toReady();
    g_object_set(parts_.playbin, "uri", uri.constData(), nullptr);
    beginWatch();
    const GstStateChangeReturn ret = gst_element_set_state(parts_.playbin, GST_STATE_PAUSED);
    bool timedOut = false;
    bool superseded = false;
    LoadWatch watch;
    {
        std::unique_lock lock(loadMutex_);
        if (ret == GST_STATE_CHANGE_ASYNC) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
            timedOut = !loadChanged_.wait_until(lock, deadline, [&] {
                return load_.asyncDone || !load_.errors.isEmpty() || stale(ticket);
            });
        }
        superseded = stale(ticket);
        watch = load_;
        load_ = LoadWatch{};
    }
    if (superseded)
        return false; // the newer request loads its own media
    if (!watch.errors.isEmpty() || ret == GST_STATE_CHANGE_FAILURE || timedOut) {
        toReady(true);
        if (timedOut && watch.errors.isEmpty())
            *error = MediaGraphError(ErrTimeout, QStringLiteral("The media did not get ready in time."));
        else
            *error = errorFrom(watch);
        return false;
    }
    gint audioStreams = 0;
    gint videoStreams = 0;
    g_object_get(parts_.playbin, "n-audio", &audioStreams, "n-video", &videoStreams, nullptr);
    if (audioStreams + videoStreams == 0) {
        toReady(true);
        *error = MediaGraphError(watch.missingPlugin ? ErrNoDecoder : ErrCannotRender,
                                 QStringLiteral("The file holds no audio or video that can be played."));
        return false;
    }
    loadedTicket_ = ticket;
    return true;
}

void GstEngine::load(quint64 ticket, const QByteArray &uri, const QString &probePath, qint64 seekMs, bool play)
{
    if (stale(ticket))
        return;
    MediaGraphError error(0, QString());
    bool ok = false;
    int probeMs = 0;
    if (!probePath.isEmpty()) {
        // Opening a FIFO or a device can block without end, and so can a file on a hung mount.
        switch (file_probe::probe(probePath, kProbeTimeoutMs, &probeMs)) {
        case file_probe::Kind::Other:
            error = MediaGraphError(ErrFileAccess, QStringLiteral("Not a regular file."),
                                    MediaGraphError::Reason::NotRegularFile);
            break;
        case file_probe::Kind::NoAnswer:
            error = MediaGraphError(ErrTimeout, QStringLiteral("The file system did not answer."));
            break;
        case file_probe::Kind::Regular:
        case file_probe::Kind::Missing: // the engine says it is not there
            ok = true;
            break;
        }
        if (stale(ticket))
            return;
    } else {
        ok = true;
    }
    // Reading a file on a slow mount is slow too (every size check asks it again): it
    // gets more time to get ready, four seconds for every second its probe took. A
    // newer request still ends the wait at once.
    if (ok)
        ok = loadUri(ticket, uri, &error, prerollTimeoutMs.load() + 4 * probeMs);
    if (!ok) {
        if (!stale(ticket))
            post([ticket, error](Listener &l) { l.engineFailed(ticket, error); });
        return;
    }
    // Some files start their clock late (MPEG program streams from ffmpeg begin at about
    // 0.5 s): the first frame is shown as 0, as the seek bar expects.
    Loaded loaded;
    gint64 start = 0;
    if (gst_element_query_position(parts_.playbin, GST_FORMAT_TIME, &start) && start > 0)
        loaded.startOffsetMs = start / GST_MSECOND;
    readDuration();
    loaded.durationMs = cachedDurationMs_;
    startOffsetMs_ = loaded.startOffsetMs;
    loaded.hasVideo = hasVideoNow();
    loaded.generation = generation_.load();
    if (seekMs >= 0) {
        const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
        gst_element_seek_simple(parts_.playbin, GST_FORMAT_TIME, flags, (seekMs + loaded.startOffsetMs) * GST_MSECOND);
    }
    playableTicket_ = ticket;
    post([ticket, loaded](Listener &l) { l.engineLoaded(ticket, loaded); });
    if (play)
        setPlaying(ticket, true);
}

bool GstEngine::hasVideoNow()
{
    gint videoStreams = 0;
    g_object_get(parts_.playbin, "n-video", &videoStreams, nullptr);
    return videoStreams > 0;
}

void GstEngine::askVideo(quint64 ticket)
{
    if (stale(ticket) || loadedTicket_ != ticket)
        return;
    const bool video = hasVideoNow();
    post([ticket, video](Listener &l) { l.engineVideoChanged(ticket, video); });
}

// ---- playing ------------------------------------------------------------------

bool GstEngine::changeState(int state, MediaGraphError *error)
{
    beginWatch();
    const GstStateChangeReturn ret = gst_element_set_state(parts_.playbin, static_cast<GstState>(state));
    const LoadWatch watch = endWatch();
    if (ret == GST_STATE_CHANGE_FAILURE) {
        *error = errorFrom(watch);
        return false;
    }
    // Errors that happened to arrive meanwhile are not this call's failure.
    const quint64 generation = generation_.load();
    for (const CapturedError &captured : watch.errors) {
        LoadWatch one;
        one.errors.append(captured);
        const QString message = errorFrom(one).message();
        post([generation, message](Listener &l) { l.engineError(generation, message); });
    }
    return true;
}

void GstEngine::setPlaying(quint64 ticket, bool playing)
{
    if (stale(ticket) || loadedTicket_ != ticket)
        return;
    MediaGraphError error(0, QString());
    if (!changeState(playing ? GST_STATE_PLAYING : GST_STATE_PAUSED, &error)) {
        const quint64 generation = generation_.load();
        const QString message = error.message();
        post([generation, message](Listener &l) { l.engineError(generation, message); });
        return;
    }
    playing_ = playing;
    if (!playing)
        query(ticket); // where it stopped, for whoever asks next
}

void GstEngine::refresh()
{
    if (playing_ && loadedTicket_ != 0)
        query(loadedTicket_);
}

void GstEngine::seekDone(quint64 ticket)
{
    query(ticket);
    post([ticket](Listener &l) { l.engineSeekDone(ticket); });
}

void GstEngine::seek(quint64 ticket, qint64 targetMs, bool restartAfterEnd)
{
    if (stale(ticket) || loadedTicket_ != ticket)
        return;
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    // After the end the sinks sit in their end state; seeking a running pipeline from
    // there now and then never brought a second end. Pause first, then play again.
    const bool restart = restartAfterEnd && playing_;
    if (restart)
        gst_element_set_state(parts_.playbin, GST_STATE_PAUSED);
    gst_element_seek_simple(parts_.playbin, GST_FORMAT_TIME, flags, targetMs * GST_MSECOND);
    if (restart)
        gst_element_set_state(parts_.playbin, GST_STATE_PLAYING);
}

void GstEngine::drop(quint64 ticket, std::shared_ptr<GstDvdNavigator> navigator)
{
    navigator.reset(); // waits a moment for its worker, here rather than on the GUI thread
    if (stale(ticket))
        return; // a newer request brings its own media
    toReady();
}

void GstEngine::readDuration()
{
    gint64 duration = -1;
    if (gst_element_query_duration(parts_.playbin, GST_FORMAT_TIME, &duration) && duration > 0) {
        cachedDurationMs_ = static_cast<std::uint32_t>(std::min<gint64>(duration / GST_MSECOND, UINT32_MAX));
        durationAskedAt_ = std::chrono::steady_clock::now();
    }
    durationMs = cachedDurationMs_;
}

void GstEngine::query(quint64 ticket)
{
    queryPending = false;
    if (stale(ticket) || loadedTicket_ != ticket)
        return;
    // The length hardly changes while a file plays (an estimate that improves, a
    // growing file): asked of the pipeline at most once a second once it is known.
    if (cachedDurationMs_ == 0 || durationStale_.exchange(false)
        || std::chrono::steady_clock::now() - durationAskedAt_ >= std::chrono::seconds(1))
        readDuration();
    gint64 position = -1;
    // The audio sink knows what is heard; files without sound ask the pipeline.
    const bool heard = parts_.audioSink && gst_element_query_position(parts_.audioSink, GST_FORMAT_TIME, &position)
                       && position >= 0;
    if (heard || (gst_element_query_position(parts_.playbin, GST_FORMAT_TIME, &position) && position >= 0)) {
        const gint64 fromStart = std::max<gint64>(0, position / GST_MSECOND - startOffsetMs_);
        positionMs = static_cast<std::uint32_t>(std::min<gint64>(fromStart, UINT32_MAX));
    }
}

void GstEngine::ended(quint64 ticket)
{
    if (stale(ticket) || loadedTicket_ != ticket)
        return;
    readDuration();
    post([ticket](Listener &l) { l.engineEnded(ticket); });
}

void GstEngine::queryDvdTime(quint64 ticket)
{
    if (stale(ticket) || loadedTicket_ != ticket)
        return;
    gint64 position = -1;
    if (!gst_element_query_position(parts_.playbin, GST_FORMAT_TIME, &position) || position < 0)
        return;
    const qint64 ms = position / GST_MSECOND;
    post([ticket, ms](Listener &l) { l.engineDvdTime(ticket, ms); });
}

void GstEngine::postFrame()
{
    post([](Listener &l) { l.engineFrame(); });
}

void GstEngine::shutdown()
{
    playableTicket_ = 0;
    gst_element_set_state(parts_.playbin, GST_STATE_NULL);
}

// ---- the entry that follows ----------------------------------------------------

void GstEngine::offerNext(quint64 offer, quint64 ticket, const QByteArray &uri, const QString &path, bool probe)
{
    {
        std::lock_guard lock(nextMutex_);
        if (offer != nextOffer_)
            return;
    }
    if (!probe) {
        setOffer(offer, ticket, uri, path);
        return;
    }
    // A missing or odd file is not offered: it fails the ordinary way, with its message,
    // after this one ends. The probe does not hold the worker: on a slow mount it may take
    // longer than the entry playing, and a load must not queue behind it.
    file_probe::probeAsync(path, [life = life_, this, offer, ticket, uri, path](file_probe::Kind kind) {
        if (kind != file_probe::Kind::Regular)
            return;
        std::lock_guard alive(life->mutex);
        if (life->alive)
            setOffer(offer, ticket, uri, path);
    });
}

void GstEngine::setOffer(quint64 offer, quint64 ticket, const QByteArray &uri, const QString &path)
{
    std::lock_guard lock(nextMutex_);
    if (offer == nextOffer_) {
        nextTicket_ = ticket;
        nextUri_ = uri;
        nextPath_ = path;
    }
}

void GstEngine::withdrawNext(quint64 offer)
{
    std::lock_guard lock(nextMutex_);
    nextOffer_ = offer;
    nextUri_.clear();
}

bool GstEngine::hasHandedEntries()
{
    std::lock_guard lock(nextMutex_);
    return handed_ > 0;
}

void GstEngine::onAboutToFinish()
{
    quint64 ticket = 0;
    QString path;
    {
        std::lock_guard lock(nextMutex_);
        ticket = playableTicket_.load();
        if (nextUri_.isEmpty() || ticket == 0 || nextTicket_ != ticket)
            return; // the end comes as usual
        // playbin takes the next file only from inside this signal.
        g_object_set(parts_.playbin, "uri", nextUri_.constData(), nullptr);
        nextUri_.clear();
        path = nextPath_;
        ++handed_;
    }
    post([ticket, path](Listener &l) { l.engineNextTaken(ticket, path); });
}

// ---- bus ------------------------------------------------------------------------

void GstEngine::onBusMessage(GstMessage *message)
{
    bool forward = false;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        std::unique_lock lock(loadMutex_);
        if (load_.watching) {
            if (load_.errors.size() < 8)
                load_.errors.append(capture(message));
            loadChanged_.notify_all();
            break;
        }
        lock.unlock();
        LoadWatch one;
        one.errors.append(capture(message));
        const QString text = errorFrom(one).message();
        const quint64 generation = generation_.load();
        post([generation, text](Listener &l) { l.engineError(generation, text); });
        break;
    }
    case GST_MESSAGE_ELEMENT:
        if (gst_is_missing_plugin_message(message)) {
            std::lock_guard lock(loadMutex_);
            load_.missingPlugin = load_.missingPlugin || load_.watching;
        }
        break;
    case GST_MESSAGE_ASYNC_DONE:
        // Only the pipeline's own message means the whole graph is ready.
        if (GST_OBJECT_PARENT(GST_MESSAGE_SRC(message)) == nullptr) {
            std::lock_guard lock(loadMutex_);
            if (load_.watching) {
                load_.asyncDone = true;
                loadChanged_.notify_all();
            }
            forward = true;
        }
        break;
    case GST_MESSAGE_STREAM_START:
        // Posted once every sink has the new stream: a handed file takes over.
        if (GST_MESSAGE_SRC(message) == GST_OBJECT(parts_.playbin)) {
            std::lock_guard lock(nextMutex_);
            if (handed_ > 0) {
                --handed_;
                positionMs = 0;
                startOffsetMs_ = 0;
                durationStale_ = true; // the handed file's own length
            }
            forward = true;
        }
        break;
    case GST_MESSAGE_EOS:
    case GST_MESSAGE_DURATION_CHANGED:
        forward = true;
        break;
    default:
        break;
    }
    if (!forward) {
        gst_message_unref(message);
        return;
    }
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_DURATION_CHANGED)
        durationStale_ = true; // asked again on the next query
    const quint64 generation = generation_.load();
    std::shared_ptr<GstMessage> held(message, &gst_message_unref);
    post([generation, held](Listener &l) { l.engineMessage(generation, held.get()); });
}
