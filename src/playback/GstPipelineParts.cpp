#include "playback/GstPipelineParts.h"

#include "common/TextCodec.h"
#include "platform/CdTracks.h"
#include "playback/AudioTap.h"
#include "playback/MediaGraph.h"

#include <QFile>

#include <gst/gst.h>

#include <optional>

namespace {

GstElement *makeElement(const char *factory, const char *name = nullptr)
{
    GstElement *element = gst_element_factory_make(factory, name);
    if (element)
        gst_object_ref_sink(element);
    return element;
}

} // namespace

GstPipelineParts GstPipelineParts::build(AudioTap *tap)
{
    GstPipelineParts parts;
    parts.playbin = makeElement("playbin", "tarnel-graph");
    if (!parts.playbin)
        throw MediaGraphError(0x8004025Fu, QStringLiteral("The GStreamer element \"playbin\" is missing."));

    // The video window paints what this sink receives; playbin must never pick a
    // window sink of its own (without a display autovideosink can crash).
    parts.videoSink = makeElement("appsink", "tarnel-video");
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    GstCaps *caps = gst_caps_from_string("video/x-raw, format=(string)BGRx, pixel-aspect-ratio=(fraction)1/1");
#else
    GstCaps *caps = gst_caps_from_string("video/x-raw, format=(string)xRGB, pixel-aspect-ratio=(fraction)1/1");
#endif
    g_object_set(parts.videoSink, "caps", caps, "enable-last-sample", FALSE, "max-buffers", 1u, "drop", TRUE, nullptr);
    gst_caps_unref(caps);

    // Our own gain before the sink; the sink's stream volume is left alone.
    parts.audioOut = GST_ELEMENT(gst_object_ref_sink(gst_bin_new("tarnel-audio-out")));
    parts.gain = makeElement("volume", "tarnel-gain");
    GstElement *sink = nullptr;
    if (GstElementFactory *pulse = gst_element_factory_find("pulsesink")) {
        gst_object_unref(pulse);
        sink = gst_element_factory_make("pulsesink", nullptr);
    }
    if (!sink)
        sink = gst_element_factory_make("autoaudiosink", nullptr);
    parts.audioSink = sink;
    // One sample format for every entry: a decoder that gives integers after one that
    // gave floats would make the sink renegotiate at the joint, which costs about 0.1 s
    // of sound. Integers become floats exactly.
    GstElement *convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement *format = gst_element_factory_make("capsfilter", nullptr);
    GstCaps *floats = gst_caps_from_string("audio/x-raw, format=(string)F32LE, layout=(string)interleaved");
    g_object_set(format, "caps", floats, nullptr);
    gst_caps_unref(floats);
    gst_bin_add_many(GST_BIN(parts.audioOut), convert, format, parts.gain, sink, nullptr); // the bin takes its own ref of gain
    gst_element_link_many(convert, format, parts.gain, sink, nullptr);
    GstPad *inPad = gst_element_get_static_pad(convert, "sink");
    gst_element_add_pad(parts.audioOut, gst_ghost_pad_new("sink", inPad));
    gst_object_unref(inPad);

    g_object_set(parts.playbin, "video-sink", parts.videoSink, "audio-sink", parts.audioOut, nullptr);
    parts.balance = makeElement("videobalance", "tarnel-balance");
    if (parts.balance)
        g_object_set(parts.playbin, "video-filter", parts.balance, nullptr);
    if (GstElement *tapBin = tap ? tap->createBin() : nullptr)
        g_object_set(parts.playbin, "audio-filter", tapBin, nullptr);
    if (tap)
        tap->watchOutput(parts.audioOut, parts.audioSink);
    return parts;
}

void GstPipelineParts::release()
{
    if (!playbin)
        return;
    gst_object_unref(playbin);
    gst_object_unref(audioOut);
    gst_object_unref(gain);
    gst_object_unref(videoSink);
    if (balance)
        gst_object_unref(balance);
    *this = GstPipelineParts{};
}

QByteArray gst_uri::forPath(const QString &path)
{
    if (path.isEmpty())
        return {};
    if (const std::optional<cd_tracks::TrackName> track = cd_tracks::parseTrackPath(path))
        return "cdda://" + QFile::encodeName(track->source) + '#' + QByteArray::number(track->number);
    gchar *uri = gst_filename_to_uri(text_codec::encodeFileName(path).constData(), nullptr);
    if (!uri)
        return {};
    const QByteArray held(uri);
    g_free(uri);
    return held;
}
