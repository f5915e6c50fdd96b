// How GStreamer's errors become the graph's error codes (the table is in the header).
#include "playback/GstEngine.h"

#include <gst/gst.h>

namespace {

bool isWithin(GstObject *object, GstElement *container)
{
    return container && object
        && (object == GST_OBJECT(container) || gst_object_has_as_ancestor(object, GST_OBJECT(container)));
}

// The bins that pick demuxers and decoders (not the elements inside them).
bool isDecodeBin(GstObject *object)
{
    if (!object || !GST_IS_ELEMENT(object))
        return false;
    GstElementFactory *factory = gst_element_get_factory(GST_ELEMENT(object));
    if (!factory)
        return false;
    const char *name = GST_OBJECT_NAME(factory);
    for (const char *bin : {"decodebin", "decodebin3", "uridecodebin", "uridecodebin3", "parsebin"}) {
        if (g_strcmp0(name, bin) == 0)
            return true;
    }
    return false;
}

} // namespace

std::uint32_t GstEngine::mapError(std::uint32_t domainQuark, int code, ErrorOrigin origin, bool missingPlugin)
{
    if (origin == ErrorOrigin::AudioOutput)
        return ErrAudioDevice;
    if (origin == ErrorOrigin::VideoOutput)
        return ErrPlaybackFailed;
    if (missingPlugin)
        return ErrNoDecoder;
    const GQuark domain = domainQuark;
    if (domain == GST_RESOURCE_ERROR) {
        switch (code) {
        case GST_RESOURCE_ERROR_NOT_FOUND:
            return ErrFileNotFound;
        case GST_RESOURCE_ERROR_OPEN_READ:
        case GST_RESOURCE_ERROR_READ:
        case GST_RESOURCE_ERROR_OPEN_READ_WRITE:
        case GST_RESOURCE_ERROR_SEEK:
            return ErrFileAccess;
        default:
            return ErrPlaybackFailed;
        }
    }
    if (domain == GST_STREAM_ERROR) {
        // decodebin's own "general stream error": it found nothing it could expose. The
        // demuxer's reason is lost when the demuxer fails while decodebin is still
        // connecting it (decodebin drops errors posted in that window).
        if (origin == ErrorOrigin::DecodeBin && code == GST_STREAM_ERROR_FAILED)
            return ErrCannotRender;
        switch (code) {
        case GST_STREAM_ERROR_CODEC_NOT_FOUND:
            return ErrNoDecoder;
        case GST_STREAM_ERROR_TYPE_NOT_FOUND:
        case GST_STREAM_ERROR_WRONG_TYPE:
        case GST_STREAM_ERROR_DEMUX:
        case GST_STREAM_ERROR_FORMAT:
        case GST_STREAM_ERROR_NOT_IMPLEMENTED:
            return ErrCannotRender;
        case GST_STREAM_ERROR_DECODE:
        case GST_STREAM_ERROR_DECRYPT:
        case GST_STREAM_ERROR_DECRYPT_NOKEY:
            return ErrDecodeFailed;
        default:
            return ErrPlaybackFailed;
        }
    }
    if (domain == GST_CORE_ERROR && code == GST_CORE_ERROR_MISSING_PLUGIN)
        return ErrNoDecoder;
    return ErrPlaybackFailed;
}

GstEngine::CapturedError GstEngine::capture(GstMessage *message) const
{
    CapturedError captured;
    GError *error = nullptr;
    gchar *debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    if (error) {
        captured.domain = error->domain;
        captured.code = error->code;
        captured.text = QString::fromUtf8(error->message);
    }
    GstObject *source = GST_MESSAGE_SRC(message);
    if (isWithin(source, parts_.audioOut))
        captured.origin = ErrorOrigin::AudioOutput;
    else if (isWithin(source, parts_.videoSink))
        captured.origin = ErrorOrigin::VideoOutput;
    else if (isDecodeBin(source))
        captured.origin = ErrorOrigin::DecodeBin;
    g_clear_error(&error);
    g_free(debug);
    return captured;
}

MediaGraphError GstEngine::errorFrom(const LoadWatch &watch) const
{
    // The first error that says what went wrong; follow-up errors are usually the
    // generic "internal data stream error".
    const CapturedError *chosen = nullptr;
    std::uint32_t code = ErrPlaybackFailed;
    for (const CapturedError &error : watch.errors) {
        const std::uint32_t mapped = mapError(error.domain, error.code, error.origin, watch.missingPlugin);
        if (!chosen || (code == ErrPlaybackFailed && mapped != ErrPlaybackFailed)) {
            chosen = &error;
            code = mapped;
        }
    }
    if (!chosen) {
        if (watch.missingPlugin)
            return MediaGraphError(ErrNoDecoder, QStringLiteral("No decoder is available for this media."));
        return MediaGraphError(ErrPlaybackFailed, QStringLiteral("The media could not be played."));
    }
    return MediaGraphError(code, chosen->text);
}

