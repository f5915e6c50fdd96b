#include "playback/GstMediaGraph.h"

#include "common/TextCodec.h"
#include "playback/AudioTap.h"
#include "playback/GstDvdNavigator.h"
#include "platform/CdTracks.h"
#include "platform/GstInit.h"
#include "platform/OpticalDrive.h"

#include <gst/app/gstappsink.h>

#include <QMetaMethod>
#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>
#include <gst/video/video.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include <algorithm>
#include <chrono>
#include <memory>

struct GstMediaGraphCallbacks {
    static GstBusSyncReply busSync(GstBus *, GstMessage *message, gpointer self)
    {
        static_cast<GstMediaGraph *>(self)->onBusMessage(message);
        return GST_BUS_DROP; // onBusMessage took the message
    }
    static GstFlowReturn newSample(GstAppSink *sink, gpointer self)
    {
        static_cast<GstMediaGraph *>(self)->onVideoSample(sink, false);
        return GST_FLOW_OK;
    }
    static void aboutToFinish(GstElement *, gpointer self)
    {
        static_cast<GstMediaGraph *>(self)->onAboutToFinish();
    }
    static GstFlowReturn newPreroll(GstAppSink *sink, gpointer self)
    {
        static_cast<GstMediaGraph *>(self)->onVideoSample(sink, true);
        return GST_FLOW_OK;
    }
};

namespace {

GstElement *makeElement(const char *factory, const char *name = nullptr)
{
    GstElement *element = gst_element_factory_make(factory, name);
    if (element)
        gst_object_ref_sink(element);
    return element;
}

// <source>/TrackNN.cda names an audio-CD track of a drive or a .cue image.
QByteArray trackUri(const QString &path)
{
    const std::optional<cd_tracks::TrackName> track = cd_tracks::parseTrackPath(path);
    if (!track)
        return {};
    return "cdda://" + QFile::encodeName(track->source) + '#' + QByteArray::number(track->number);
}

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
    releasePipeline();
}

void GstMediaGraph::createPipeline()
{
    // The first pipeline waits here for the start worker's gst_init, if it still runs.
    ensureInitialised();
    playbin_ = makeElement("playbin", "tarnel-graph");
    if (!playbin_)
        throw MediaGraphError(ErrPlaybackFailed, QStringLiteral("The GStreamer element \"playbin\" is missing."));

    // The video window paints what this sink receives; playbin must never pick a
    // window sink of its own (without a display autovideosink can crash).
    videoSink_ = makeElement("appsink", "tarnel-video");
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    GstCaps *caps = gst_caps_from_string("video/x-raw, format=(string)BGRx, pixel-aspect-ratio=(fraction)1/1");
#else
    GstCaps *caps = gst_caps_from_string("video/x-raw, format=(string)xRGB, pixel-aspect-ratio=(fraction)1/1");
#endif
    g_object_set(videoSink_, "caps", caps, "enable-last-sample", FALSE, "max-buffers", 1u, "drop", TRUE, nullptr);
    gst_caps_unref(caps);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &GstMediaGraphCallbacks::newSample;
    callbacks.new_preroll = &GstMediaGraphCallbacks::newPreroll;
    gst_app_sink_set_callbacks(GST_APP_SINK(videoSink_), &callbacks, this, nullptr);

    // Our own gain before the sink; the sink's stream volume is left alone.
    audioOut_ = GST_ELEMENT(gst_object_ref_sink(gst_bin_new("tarnel-audio-out")));
    gain_ = makeElement("volume", "tarnel-gain");
    GstElement *sink = nullptr;
    if (GstElementFactory *pulse = gst_element_factory_find("pulsesink")) {
        gst_object_unref(pulse);
        sink = gst_element_factory_make("pulsesink", nullptr);
    }
    if (!sink)
        sink = gst_element_factory_make("autoaudiosink", nullptr);
    audioSink_ = sink;
    gst_bin_add_many(GST_BIN(audioOut_), gain_, sink, nullptr); // the bin takes its own ref of gain_
    gst_element_link(gain_, sink);
    GstPad *gainPad = gst_element_get_static_pad(gain_, "sink");
    gst_element_add_pad(audioOut_, gst_ghost_pad_new("sink", gainPad));
    gst_object_unref(gainPad);

    g_object_set(playbin_, "video-sink", videoSink_, "audio-sink", audioOut_, nullptr);
    balance_ = makeElement("videobalance", "tarnel-balance");
    if (balance_)
        g_object_set(playbin_, "video-filter", balance_, nullptr);
    applyBalance();
    if (GstElement *tapBin = tap_->createBin())
        g_object_set(playbin_, "audio-filter", tapBin, nullptr);

    g_signal_connect(playbin_, "about-to-finish", G_CALLBACK(&GstMediaGraphCallbacks::aboutToFinish), this);

    GstBus *bus = gst_element_get_bus(playbin_);
    gst_bus_set_sync_handler(bus, &GstMediaGraphCallbacks::busSync, this, nullptr);
    gst_object_unref(bus);

    tap_->setPipeline(playbin_);
    tap_->watchOutput(audioOut_, audioSink_);
    applyVolume();
}

void GstMediaGraph::releasePipeline()
{
    if (!playbin_)
        return;
    dropMedia();
    tap_->setPipeline(nullptr);
    GstBus *bus = gst_element_get_bus(playbin_);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(playbin_);
    gst_object_unref(audioOut_);
    gst_object_unref(gain_);
    gst_object_unref(videoSink_);
    if (balance_)
        gst_object_unref(balance_);
    playbin_ = audioOut_ = gain_ = videoSink_ = audioSink_ = balance_ = nullptr;
}

void GstMediaGraph::dropMedia()
{
    dvdTimer_.stop();
    navigator_.reset();
    // A streaming thread waiting in about-to-finish would hold up the state change.
    acceptingNext_ = false;
    {
        std::lock_guard lock(nextMutex_);
        nextCancelled_ = true;
    }
    nextAnswered_.notify_all();
    if (playbin_)
        gst_element_set_state(playbin_, GST_STATE_NULL);
    {
        std::lock_guard lock(nextMutex_);
        nextCancelled_ = false;
    }
    queuedUris_.clear();
    // Anything the old media posted and the GUI thread has not handled yet is stale.
    ++generation_;
    loaded_ = running_ = endOfStream_ = false;
    pendingSeekMs_ = -1;
    startOffsetMs_ = 0;
    lastDurationMs_ = lastPositionMs_ = 0;
    tap_->setPlaying(false);
    tap_->reset();
    GstSample *old = nullptr;
    {
        std::lock_guard lock(frameMutex_);
        std::swap(old, frame_);
    }
    if (old)
        gst_sample_unref(old);
    std::lock_guard lock(observerMutex_);
    if (observer_)
        observer_->frameArrived(QImage());
}

void GstMediaGraph::setActive(bool active)
{
    if (active && !playbin_)
        createPipeline();
    else if (!active)
        releasePipeline();
}

void GstMediaGraph::resetGraph()
{
    dropMedia();
}

void GstMediaGraph::renderFile(const QString &path)
{
    if (!playbin_)
        createPipeline();
    dropMedia();
    if (path.isEmpty())
        throw MediaGraphError(ErrFileNotFound, QStringLiteral("No file was given."));
    if (const QByteArray track = trackUri(path); !track.isEmpty()) {
        load(track);
        return;
    }
    GError *uriError = nullptr;
    gchar *uri = gst_filename_to_uri(text_codec::encodeFileName(path).constData(), &uriError);
    if (!uri) {
        const QString text = QString::fromUtf8(uriError ? uriError->message : "Invalid file name.");
        g_clear_error(&uriError);
        throw MediaGraphError(ErrFileNotFound, text);
    }
    const QByteArray held(uri);
    g_free(uri);
    load(held);
}

void GstMediaGraph::load(const QByteArray &uri)
{
    currentUri_ = uri;
    g_object_set(playbin_, "uri", uri.constData(), nullptr);

    // A short file is read to its end while it loads: its about-to-finish then waits
    // for the answer until this call has returned to the event loop.
    acceptingNext_ = true;
    beginWatch();
    const GstStateChangeReturn ret = gst_element_set_state(playbin_, GST_STATE_PAUSED);
    bool timedOut = false;
    LoadWatch watch;
    {
        std::unique_lock lock(loadMutex_);
        if (ret == GST_STATE_CHANGE_ASYNC) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(prerollTimeoutMs_);
            timedOut = !loadChanged_.wait_until(lock, deadline,
                                                [this] { return load_.asyncDone || !load_.errors.isEmpty(); });
        }
        watch = load_;
        load_ = LoadWatch{};
    }
    if (!watch.errors.isEmpty() || ret == GST_STATE_CHANGE_FAILURE || timedOut) {
        dropMedia();
        if (timedOut && watch.errors.isEmpty())
            throw MediaGraphError(ErrTimeout, QStringLiteral("The media did not get ready in time."));
        throw errorFrom(watch);
    }

    gint audioStreams = 0;
    gint videoStreams = 0;
    g_object_get(playbin_, "n-audio", &audioStreams, "n-video", &videoStreams, nullptr);
    if (audioStreams + videoStreams == 0) {
        dropMedia();
        throw MediaGraphError(watch.missingPlugin ? ErrNoDecoder : ErrCannotRender,
                              QStringLiteral("The file holds no audio or video that can be played."));
    }
    // Some files start their clock late (MPEG program streams from ffmpeg begin at about
    // 0.5 s): the first frame is shown as 0, as the seek bar expects.
    gint64 start = 0;
    startOffsetMs_ = 0;
    if (gst_element_query_position(playbin_, GST_FORMAT_TIME, &start) && start > 0)
        startOffsetMs_ = start / GST_MSECOND;
    loaded_ = true;
    applyVolume();
}

void GstMediaGraph::beginWatch()
{
    std::lock_guard lock(loadMutex_);
    load_ = LoadWatch{};
    load_.watching = true;
}

GstMediaGraph::LoadWatch GstMediaGraph::endWatch()
{
    std::lock_guard lock(loadMutex_);
    LoadWatch watch = load_;
    load_ = LoadWatch{};
    return watch;
}

void GstMediaGraph::changeState(int state)
{
    beginWatch();
    const GstStateChangeReturn ret = gst_element_set_state(playbin_, static_cast<GstState>(state));
    const LoadWatch watch = endWatch();
    if (ret == GST_STATE_CHANGE_FAILURE) {
        running_ = false;
        tap_->setPlaying(false);
        throw errorFrom(watch);
    }
    // Errors that happened to arrive meanwhile are not this call's failure.
    for (const CapturedError &error : watch.errors) {
        LoadWatch one;
        one.errors.append(error);
        const QString message = errorFrom(one).message();
        QMetaObject::invokeMethod(this, [this, message] { Q_EMIT asyncError(message); }, Qt::QueuedConnection);
    }
}

void GstMediaGraph::run()
{
    if (!playbin_ || !loaded_)
        return;
    changeState(GST_STATE_PLAYING);
    running_ = true;
    tap_->setPlaying(!endOfStream_);
    if (navigator_ && !dvdTimer_.isActive())
        dvdTimer_.start();
}

void GstMediaGraph::pause()
{
    if (!playbin_ || !loaded_)
        return;
    running_ = false;
    tap_->setPlaying(false);
    changeState(GST_STATE_PAUSED);
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
    if (gain_)
        g_object_set(gain_, "volume", volumeToLinearGain(volume_), nullptr);
}

std::uint32_t GstMediaGraph::durationMs() const
{
    if (!playbin_ || !loaded_)
        return 0;
    // The length hardly changes while a file plays (an estimate that improves, a
    // growing file): asked of the pipeline at most once a second once it is known.
    const auto now = std::chrono::steady_clock::now();
    if (lastDurationMs_ > 0 && now - durationAskedAt_ < std::chrono::seconds(1))
        return lastDurationMs_;
    gint64 duration = -1;
    if (gst_element_query_duration(playbin_, GST_FORMAT_TIME, &duration) && duration > 0) {
        lastDurationMs_ = static_cast<std::uint32_t>(std::min<gint64>(duration / GST_MSECOND, UINT32_MAX));
        durationAskedAt_ = now;
    }
    return lastDurationMs_;
}

std::uint32_t GstMediaGraph::positionMs() const
{
    if (!playbin_ || !loaded_)
        return 0;
    if (endOfStream_)
        return durationMs();
    if (pendingSeekMs_ >= 0)
        return static_cast<std::uint32_t>(pendingSeekMs_);
    gint64 position = -1;
    // The audio sink knows what is heard; files without sound ask the pipeline.
    const bool heard = audioSink_ && gst_element_query_position(audioSink_, GST_FORMAT_TIME, &position) && position >= 0;
    if (!heard && (!gst_element_query_position(playbin_, GST_FORMAT_TIME, &position) || position < 0))
        return lastPositionMs_;
    const gint64 fromStart = std::max<gint64>(0, position / GST_MSECOND - startOffsetMs_);
    std::uint32_t ms = static_cast<std::uint32_t>(std::min<gint64>(fromStart, UINT32_MAX));
    // Only the end of the stream may report position == duration.
    const std::uint32_t duration = durationMs();
    if (duration > 0 && ms >= duration)
        ms = duration - 1;
    lastPositionMs_ = ms;
    return ms;
}

void GstMediaGraph::seekMs(std::uint32_t positionMs)
{
    if (!playbin_ || !loaded_)
        return;
    bool resume = false;
    if (!queuedUris_.isEmpty()) {
        // Once a file is queued, playbin seeks in that one: load this one afresh and
        // let what was queued go (the controller forgets it too).
        resume = running_;
        const QByteArray uri = currentUri_;
        dropMedia();
        load(uri);
    }
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    const gint64 target = (static_cast<gint64>(positionMs) + startOffsetMs_) * GST_MSECOND;
    // After the end the sinks sit in their end state; seeking a running pipeline from
    // there now and then never brought a second end. Pause first, then play again.
    const bool restart = endOfStream_ && running_;
    if (restart)
        gst_element_set_state(playbin_, GST_STATE_PAUSED);
    const bool sought = gst_element_seek_simple(playbin_, GST_FORMAT_TIME, flags, target);
    if (restart)
        gst_element_set_state(playbin_, GST_STATE_PLAYING);
    if (!sought) {
        if (resume)
            run();
        return;
    }
    endOfStream_ = false;
    pendingSeekMs_ = positionMs;
    tap_->setPlaying(running_);
    if (resume)
        run();
}

bool GstMediaGraph::hasVideo() const
{
    if (!playbin_ || !loaded_)
        return false;
    gint videoStreams = 0;
    g_object_get(playbin_, "n-video", &videoStreams, nullptr);
    return videoStreams > 0;
}

void GstMediaGraph::onAboutToFinish()
{
    if (!acceptingNext_)
        return; // being dropped: the end comes as usual
    std::unique_lock lock(nextMutex_);
    if (nextCancelled_)
        return;
    const quint64 request = ++nextRequest_;
    const quint64 generation = generation_.load();
    QMetaObject::invokeMethod(
        this, [this, request, generation] { answerNextRequest(request, generation); }, Qt::QueuedConnection);
    const bool answered = nextAnswered_.wait_for(lock, std::chrono::milliseconds(NextAnswerTimeoutMs), [&] {
        return nextAnsweredFor_ >= request || nextCancelled_;
    });
    if (!answered || nextCancelled_ || nextAnsweredFor_ != request || nextUri_.isEmpty())
        return;
    // playbin takes the next file only from inside this signal.
    g_object_set(playbin_, "uri", nextUri_.constData(), nullptr);
}

void GstMediaGraph::answerNextRequest(quint64 request, quint64 generation)
{
    QByteArray uri;
    if (generation == generation_.load() && loaded_) {
        answering_ = true;
        answerPath_.clear();
        Q_EMIT nextWanted();
        answering_ = false;
        uri = trackUri(answerPath_);
        if (uri.isEmpty() && !answerPath_.isEmpty()) {
            if (gchar *text = gst_filename_to_uri(text_codec::encodeFileName(answerPath_).constData(), nullptr)) {
                uri = text;
                g_free(text);
            }
        }
    }
    bool taken = false;
    {
        std::lock_guard lock(nextMutex_);
        // Too late when the streaming thread gave up waiting or the media changed.
        if (nextRequest_ == request && !nextCancelled_ && generation == generation_.load()) {
            nextAnsweredFor_ = request;
            nextUri_ = uri;
            taken = !uri.isEmpty();
        }
    }
    nextAnswered_.notify_all();
    if (taken)
        queuedUris_.append(uri);
}

void GstMediaGraph::queueNext(const QString &path)
{
    if (answering_)
        answerPath_ = path;
}

namespace {
// A frame mapped for reading, kept alive by the QImage that shows it.
struct MappedFrame {
    GstSample *sample = nullptr;
    GstVideoFrame frame;
};
void releaseMappedFrame(void *data)
{
    auto *mapped = static_cast<MappedFrame *>(data);
    gst_video_frame_unmap(&mapped->frame);
    gst_sample_unref(mapped->sample);
    delete mapped;
}

// No copy: the image holds the sample (one reference of its own) and its read mapping
// (buffers are never written once they reach the sink), and releases both when the
// last copy goes.
QImage imageOf(GstSample *sample)
{
    if (!sample)
        return {};
    GstVideoInfo info;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    auto *mapped = new MappedFrame;
    mapped->sample = gst_sample_ref(sample);
    if (!buffer || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample))
        || !gst_video_frame_map(&mapped->frame, &info, buffer, GST_MAP_READ)) {
        gst_sample_unref(sample);
        delete mapped;
        return {};
    }
    return QImage(static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&mapped->frame, 0)),
                  GST_VIDEO_FRAME_WIDTH(&mapped->frame), GST_VIDEO_FRAME_HEIGHT(&mapped->frame),
                  GST_VIDEO_FRAME_PLANE_STRIDE(&mapped->frame, 0), QImage::Format_RGB32, &releaseMappedFrame, mapped);
}
} // namespace

QImage GstMediaGraph::latestVideoFrame() const
{
    GstSample *sample = nullptr;
    {
        std::lock_guard lock(frameMutex_);
        if (frame_)
            sample = gst_sample_ref(frame_);
    }
    QImage image = imageOf(sample);
    if (sample)
        gst_sample_unref(sample);
    return image;
}

void GstMediaGraph::setFrameObserver(VideoFrameObserver *observer)
{
    std::lock_guard lock(observerMutex_);
    observer_ = observer;
}

void GstMediaGraph::onVideoSample(GstAppSink *sink, bool preroll)
{
    GstSample *sample = preroll ? gst_app_sink_pull_preroll(sink) : gst_app_sink_pull_sample(sink);
    if (!sample)
        return;
    {
        // Shown here, on the streaming thread, by an observer that draws for itself.
        std::lock_guard lock(observerMutex_);
        if (observer_)
            observer_->frameArrived(imageOf(sample));
    }
    {
        std::lock_guard lock(frameMutex_);
        std::swap(sample, frame_);
    }
    if (sample)
        gst_sample_unref(sample);
    // Nobody listening (the picture drawn by the observer): no wake-up of the GUI thread.
    static const QMetaMethod notice = QMetaMethod::fromSignal(&MediaGraph::videoFrameReady);
    if (isSignalConnected(notice) && !frameNoticePending_.exchange(true)) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                frameNoticePending_ = false;
                Q_EMIT videoFrameReady();
            },
            Qt::QueuedConnection);
    }
}

void GstMediaGraph::onBusMessage(GstMessage *message)
{
    bool forward = false;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        std::lock_guard lock(loadMutex_);
        if (load_.watching) {
            if (load_.errors.size() < 8)
                load_.errors.append(capture(message));
            loadChanged_.notify_all();
        } else {
            forward = true;
        }
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
    case GST_MESSAGE_EOS:
        forward = true;
        break;
    case GST_MESSAGE_STREAM_START:
        // Posted once every sink has the new stream: the queued file takes over.
        forward = GST_MESSAGE_SRC(message) == GST_OBJECT(playbin_);
        break;
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
    const quint64 generation = generation_.load();
    std::shared_ptr<GstMessage> held(message, &gst_message_unref);
    QMetaObject::invokeMethod(
        this, [this, held, generation] { handleMessage(held.get(), generation); }, Qt::QueuedConnection);
}

void GstMediaGraph::handleMessage(GstMessage *message, quint64 generation)
{
    if (generation != generation_.load() || !loaded_)
        return;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
        if (!endOfStream_) {
            endOfStream_ = true;
            pendingSeekMs_ = -1;
            tap_->setPlaying(false);
            Q_EMIT endOfStream();
        }
        break;
    case GST_MESSAGE_ERROR: {
        LoadWatch watch;
        watch.errors.append(capture(message));
        running_ = false;
        tap_->setPlaying(false);
        Q_EMIT asyncError(errorFrom(watch).message());
        break;
    }
    case GST_MESSAGE_ASYNC_DONE:
        pendingSeekMs_ = -1;
        break;
    case GST_MESSAGE_DURATION_CHANGED:
        lastDurationMs_ = 0; // asked again on the next call
        break;
    case GST_MESSAGE_STREAM_START:
        if (!queuedUris_.isEmpty()) {
            currentUri_ = queuedUris_.takeFirst();
            endOfStream_ = false;
            pendingSeekMs_ = -1;
            startOffsetMs_ = 0;
            lastDurationMs_ = lastPositionMs_ = 0;
            Q_EMIT queuedStarted();
        }
        break;
    default:
        break;
    }
}

// ---- colour balance and DVD ------------------------------------------------------

void GstMediaGraph::setVideoBalance(const VideoBalance &balance)
{
    balanceValues_ = balance;
    applyBalance();
}

void GstMediaGraph::applyBalance()
{
    if (balance_)
        g_object_set(balance_, "brightness", balanceValues_.brightness, "contrast", balanceValues_.contrast, "hue",
                     balanceValues_.hue, "saturation", balanceValues_.saturation, nullptr);
}

QString GstMediaGraph::dvdFolderOf(const QString &ifoPath)
{
    const QFileInfo ifo(ifoPath);
    QDir dir = ifo.absoluteDir();
    if (dir.dirName().compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) != 0)
        return {};
    const QDir videoTs = dir;
    if (!videoTs.exists(QStringLiteral("VIDEO_TS.IFO")) && !videoTs.exists(QStringLiteral("video_ts.ifo")))
        return {};
    dir.cdUp();
    return dir.absolutePath();
}

QString GstMediaGraph::firstOpticalDrive()
{
    return optical_drive::first();
}

std::uint32_t GstMediaGraph::renderDvdVideoVolume(const QString &ifoPath, DvdRenderStatus &status)
{
    status = {};
    if (mode_ != GraphMode::Dvd)
        return ErrDvdRenderFail;
    if (!playbin_)
        createPipeline();
    dropMedia();
    const bool fromDrive = ifoPath.isEmpty();
    const QString source = fromDrive ? firstOpticalDrive() : dvdFolderOf(ifoPath);
    if (source.isEmpty()) {
        (fromDrive ? status.volumeUnknown : status.volumeInvalid) = true;
        return 1;
    }
    try {
        load("dvd://" + QFile::encodeName(source));
    } catch (const MediaGraphError &error) {
        switch (error.code()) {
        case ErrFileNotFound:
        case ErrFileAccess:
        case ErrCannotRender:
        case ErrPlaybackFailed:
            // libdvdread could not open it as DVD-Video (damaged IFO, no disc in the drive).
            (fromDrive ? status.volumeUnknown : status.volumeInvalid) = true;
            return 1;
        default:
            throw;
        }
    }
    gint audioStreams = 0;
    gint videoStreams = 0;
    g_object_get(playbin_, "n-audio", &audioStreams, "n-video", &videoStreams, nullptr);
    status.numStreams = static_cast<std::uint32_t>(audioStreams + videoStreams + (videoStreams == 0 ? 1 : 0));
    if (videoStreams == 0) {
        status.numStreamsFailed = 1;
        status.failedStreamFlags = 1; // the picture
        return 1;
    }
    navigator_ = std::make_unique<GstDvdNavigator>(playbin_, videoSink_);
    return 0;
}

DvdControl *GstMediaGraph::dvdControl()
{
    if (mode_ != GraphMode::Dvd || !loaded_ || !navigator_)
        return nullptr;
    return navigator_.get();
}

void GstMediaGraph::reportDvdTime()
{
    if (!navigator_ || !loaded_) {
        dvdTimer_.stop();
        return;
    }
    if (!running_ || !navigator_->timeCodeEvents())
        return;
    gint64 position = -1;
    if (!gst_element_query_position(playbin_, GST_FORMAT_TIME, &position) || position < 0)
        return;
    const gint64 ms = position / GST_MSECOND;
    const gint64 s = ms / 1000;
    Q_EMIT dvdTimeChanged(static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60), static_cast<int>(s % 60),
                          static_cast<int>(ms % 1000 * 25 / 1000));
}
