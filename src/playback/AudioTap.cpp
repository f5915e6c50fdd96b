#include "playback/AudioTap.h"

#include <gst/audio/audio.h>
#include <gst/gst.h>

#include <algorithm>

struct AudioTapProbe {
    static GstPadProbeReturn probe(GstPad *pad, GstPadProbeInfo *info, gpointer self);
    static GstPadProbeReturn outputProbe(GstPad *pad, GstPadProbeInfo *info, gpointer self);
    static void store(AudioTap *tap, GstBuffer *buffer);
    static void onEvent(AudioTap *tap, GstEvent *event);
    static void noteHeard(AudioTap *tap);
};

namespace {

PcmHistory::Format formatOf(GstCaps *caps)
{
    GstAudioInfo info;
    if (caps == nullptr || !gst_audio_info_from_caps(&info, caps))
        return {};
    PcmHistory::Format format;
    format.sampleRate = GST_AUDIO_INFO_RATE(&info);
    format.channels = GST_AUDIO_INFO_CHANNELS(&info);
    switch (GST_AUDIO_INFO_FORMAT(&info)) {
    case GST_AUDIO_FORMAT_S16LE:
        format.bytesPerSample = 2;
        break;
    case GST_AUDIO_FORMAT_S32LE:
        format.bytesPerSample = 4;
        break;
    case GST_AUDIO_FORMAT_F32LE:
        format.bytesPerSample = 4;
        format.isFloat = true;
        break;
    default:
        return {}; // the capsfilter lets nothing else through
    }
    return format;
}

} // namespace

GstPadProbeReturn AudioTapProbe::probe(GstPad *, GstPadProbeInfo *info, gpointer self)
{
    auto *tap = static_cast<AudioTap *>(self);
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
        store(tap, GST_PAD_PROBE_INFO_BUFFER(info));
    } else if (info->type & GST_PAD_PROBE_TYPE_BUFFER_LIST) {
        GstBufferList *list = GST_PAD_PROBE_INFO_BUFFER_LIST(info);
        const guint n = gst_buffer_list_length(list);
        for (guint i = 0; i < n; ++i)
            store(tap, gst_buffer_list_get(list, i));
    } else if (info->type & (GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM | GST_PAD_PROBE_TYPE_EVENT_FLUSH)) {
        onEvent(tap, GST_PAD_PROBE_INFO_EVENT(info));
    }
    return GST_PAD_PROBE_OK; // the audio always passes unchanged
}

void AudioTapProbe::onEvent(AudioTap *tap, GstEvent *event)
{
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_CAPS: {
        GstCaps *caps = nullptr;
        gst_event_parse_caps(event, &caps);
        const PcmHistory::Format format = formatOf(caps);
        std::lock_guard lock(tap->mutex_);
        tap->history_.setFormat(format);
        break;
    }
    case GST_EVENT_SEGMENT: {
        const GstSegment *segment = nullptr;
        gst_event_parse_segment(event, &segment);
        std::lock_guard lock(tap->mutex_);
        gst_segment_copy_into(segment, tap->segment_);
        break;
    }
    case GST_EVENT_FLUSH_STOP: {
        // A seek: running time starts again. A new stream (gapless) keeps the store:
        // the end of the previous file is still to be heard.
        std::lock_guard lock(tap->mutex_);
        tap->history_.clear();
        gst_segment_init(tap->segment_, GST_FORMAT_TIME);
        break;
    }
    default:
        break;
    }
}

void AudioTapProbe::store(AudioTap *tap, GstBuffer *buffer)
{
    if (buffer == nullptr)
        return;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return;
    {
        std::lock_guard lock(tap->mutex_);
        std::int64_t startNs = -1;
        const GstClockTime pts = GST_BUFFER_PTS(buffer);
        if (GST_CLOCK_TIME_IS_VALID(pts) && tap->segment_->format == GST_FORMAT_TIME) {
            const guint64 runningTime = gst_segment_to_running_time(tap->segment_, GST_FORMAT_TIME, pts);
            if (GST_CLOCK_TIME_IS_VALID(runningTime))
                startNs = static_cast<std::int64_t>(runningTime);
        }
        tap->history_.append(reinterpret_cast<const char *>(map.data), map.size, startNs);
    }
    gst_buffer_unmap(buffer, &map);
}

GstPadProbeReturn AudioTapProbe::outputProbe(GstPad *, GstPadProbeInfo *info, gpointer self)
{
    auto *tap = static_cast<AudioTap *>(self);
    if (info->type & (GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST)) {
        noteHeard(tap);
        return GST_PAD_PROBE_OK;
    }
    GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
    if (event == nullptr)
        return GST_PAD_PROBE_OK;
    if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
        const GstSegment *segment = nullptr;
        gst_event_parse_segment(event, &segment);
        std::lock_guard lock(tap->mutex_);
        gst_segment_copy_into(segment, tap->outSegment_);
    } else if (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) {
        std::lock_guard lock(tap->mutex_);
        gst_segment_init(tap->outSegment_, GST_FORMAT_TIME);
        tap->anchorValid_ = false;
    }
    return GST_PAD_PROBE_OK;
}

void AudioTapProbe::noteHeard(AudioTap *tap)
{
    // Only while somebody looks, and at most every AnchorRefreshMs: in between the GUI
    // thread goes on from the last answer by the monotonic clock.
    if (!tap->anchorWanted_ || tap->audioSink_ == nullptr)
        return;
    {
        std::lock_guard lock(tap->mutex_);
        if (tap->anchorValid_
            && g_get_monotonic_time() * 1000 - tap->anchorMonoNs_ < AudioTap::AnchorRefreshMs * 1000000LL)
            return;
    }
    // This thread feeds the sink, so the sink's locks are this thread's to take.
    gint64 position = -1;
    if (!gst_element_query_position(tap->audioSink_, GST_FORMAT_TIME, &position) || position < 0)
        return;
    // Read after the answer: a wait in the query then shows the picture a little late
    // rather than ahead of the sound.
    const std::int64_t nowNs = g_get_monotonic_time() * 1000;
    std::lock_guard lock(tap->mutex_);
    if (tap->outSegment_->format != GST_FORMAT_TIME)
        return;
    const guint64 inSegment = gst_segment_position_from_stream_time(tap->outSegment_, GST_FORMAT_TIME, position);
    const guint64 running = GST_CLOCK_TIME_IS_VALID(inSegment)
                                ? gst_segment_to_running_time(tap->outSegment_, GST_FORMAT_TIME, inSegment)
                                : GST_CLOCK_TIME_NONE;
    if (!GST_CLOCK_TIME_IS_VALID(running))
        return;
    tap->anchorRunningNs_ = static_cast<std::int64_t>(running);
    tap->anchorMonoNs_ = nowNs;
    tap->anchorValid_ = true;
}

AudioTap::AudioTap(QObject *parent)
    : QObject(parent)
    , segment_(gst_segment_new())
    , outSegment_(gst_segment_new())
{
    gst_segment_init(segment_, GST_FORMAT_TIME);
    gst_segment_init(outSegment_, GST_FORMAT_TIME);
    // visualData reaches the GUI thread queued.
    qRegisterMetaType<BlockFormat>();
    // Coarse: at 25 ms Qt keeps the pace (40 a second, within 1.25 ms of each multiple of
    // 25 ms) and lines the ticks up with the other coarse GUI timers (the playback tick
    // at 100 ms), so they share wakeups. Which frames a block shows follows the position
    // asked at the tick, not the tick's moment.
    timer_.setTimerType(Qt::CoarseTimer);
    timer_.setInterval(DefaultVisualInterval);
    connect(&timer_, &QTimer::timeout, this, &AudioTap::onTick);
}

AudioTap::~AudioTap()
{
    gst_segment_free(segment_);
    gst_segment_free(outSegment_);
}

void AudioTap::setVisualEnabled(bool enabled)
{
    visualEnabled_ = enabled;
    if (!enabled)
        reset();
    updateTimer();
}

void AudioTap::setVisualInterval(int ms)
{
    timer_.setInterval(std::max(1, ms));
}

void AudioTap::setVisualHeld(bool held)
{
    visualHeld_ = held;
    updateTimer();
}

GstElement *AudioTap::createBin()
{
    GstElement *bin = gst_bin_new("tarnel-audio-tap");
    GstElement *convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement *filter = gst_element_factory_make("capsfilter", nullptr);
    if (!convert || !filter) {
        for (GstElement *e : {convert, filter}) {
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        }
        gst_object_unref(gst_object_ref_sink(bin));
        return nullptr;
    }
    // One interleaved layout; the integer/float family of the decoder is kept, so the
    // audio reaches the sink as it was decoded.
    GstCaps *caps = gst_caps_from_string(
        "audio/x-raw, format=(string){ S16LE, S32LE, F32LE }, layout=(string)interleaved");
    g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);

    gst_bin_add_many(GST_BIN(bin), convert, filter, nullptr);
    gst_element_link(convert, filter);

    GstPad *in = gst_element_get_static_pad(convert, "sink");
    GstPad *out = gst_element_get_static_pad(filter, "src");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", in));
    gst_element_add_pad(bin, gst_ghost_pad_new("src", out));
    gst_object_unref(in);

    gst_pad_add_probe(out,
                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST
                                                   | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM
                                                   | GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                      &AudioTapProbe::probe, this, nullptr);
    gst_object_unref(out);
    return bin;
}

void AudioTap::watchOutput(GstElement *audioOutput, GstElement *audioSink)
{
    audioSink_ = audioSink;
    if (audioOutput == nullptr)
        return;
    GstPad *pad = gst_element_get_static_pad(audioOutput, "sink");
    if (pad == nullptr)
        return;
    gst_pad_add_probe(pad,
                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST
                                                   | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM
                                                   | GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                      &AudioTapProbe::outputProbe, this, nullptr);
    gst_object_unref(pad);
}

void AudioTap::setPipeline(GstElement *pipeline)
{
    pipeline_ = pipeline;
    if (!pipeline)
        playing_ = false;
    reset();
    updateTimer();
}

void AudioTap::setPlaying(bool playing)
{
    playing_ = playing;
    updateTimer();
}

void AudioTap::reset()
{
    std::lock_guard lock(mutex_);
    history_.clear();
    gst_segment_init(segment_, GST_FORMAT_TIME);
    gst_segment_init(outSegment_, GST_FORMAT_TIME);
    anchorValid_ = false;
}

void AudioTap::updateTimer()
{
    const bool wanted = playing_ && visualEnabled_ && !visualHeld_ && pipeline_ != nullptr;
    if (wanted && !timer_.isActive()) {
        // What the sink said before a pause or while nobody looked is stale: wait for
        // the next buffer's answer.
        {
            std::lock_guard lock(mutex_);
            anchorValid_ = false;
        }
        timer_.start();
    } else if (!wanted) {
        timer_.stop();
    }
    anchorWanted_ = wanted;
}

void AudioTap::onTick()
{
    if (!playing_ || !visualEnabled_ || pipeline_ == nullptr)
        return;
    BlockFormat block;
    int bytes = 0;
    {
        std::lock_guard lock(mutex_);
        const PcmHistory::Format &format = history_.format();
        if (!format.valid() || !anchorValid_)
            return;
        const std::int64_t running = anchorRunningNs_ + (g_get_monotonic_time() * 1000 - anchorMonoNs_);
        if (history_.copyWindow(running, WindowFrames, window_) == 0)
            return;
        block.sampleRate = format.sampleRate;
        block.channels = format.channels;
        block.bitsPerSample = format.bytesPerSample * 8;
        block.isFloat = format.isFloat;
        bytes = WindowFrames * format.frameBytes();
    }
    Q_EMIT visualData(window_.data(), bytes, block);
}
