// MIDI has no libav decoder: GStreamer renders it (fluiddec with the soundfont its
// package brings), as the player does, through
// uridecodebin ! audioconvert ! audio/x-raw,format=S16LE,layout=interleaved ! appsink.
// The sample count is what the synthesiser gives; there is no other reference.
#include "converter/DecodeStream.h"

#include "platform/GstInit.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>


#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr GstClockTime kWait = 20 * GST_SECOND; // a stalled pipeline is an error, not a hang

class GstDecodeStream : public DecodeStream {
public:
    ~GstDecodeStream() override
    {
        if (pipeline_) {
            gst_element_set_state(pipeline_, GST_STATE_NULL);
            if (sink_)
                gst_object_unref(sink_);
            gst_object_unref(pipeline_);
        }
    }

    bool open(int fd, QString *error)
    {
        gst_start::ensureInitialised();
        // The file the caller opened and checked, reached again through its descriptor.
        const QByteArray path = "/proc/self/fd/" + QByteArray::number(fd);
        gchar *uri = gst_filename_to_uri(path.constData(), nullptr);
        if (!uri)
            return fail(error, QStringLiteral("invalid file name"));
        const QByteArray description = QByteArray("uridecodebin uri=\"") + uri
            + "\" ! audioconvert ! audio/x-raw,format=S16LE,layout=interleaved ! appsink name=sink sync=false";
        g_free(uri);
        GError *parseError = nullptr;
        pipeline_ = gst_parse_launch(description.constData(), &parseError);
        if (!pipeline_) {
            const QString why = QString::fromUtf8(parseError ? parseError->message : "no pipeline");
            g_clear_error(&parseError);
            return fail(error, why);
        }
        g_clear_error(&parseError);
        sink_ = gst_bin_get_by_name(GST_BIN(pipeline_), "sink");
        if (gst_element_set_state(pipeline_, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE
            || gst_element_get_state(pipeline_, nullptr, nullptr, kWait) != GST_STATE_CHANGE_SUCCESS)
            return fail(error, busError(QStringLiteral("cannot decode")));
        GstSample *preroll = gst_app_sink_try_pull_preroll(GST_APP_SINK(sink_), kWait);
        if (!preroll)
            return fail(error, busError(QStringLiteral("no audio")));
        const GstStructure *caps = gst_caps_get_structure(gst_sample_get_caps(preroll), 0);
        gst_structure_get_int(caps, "channels", &channels_);
        gst_structure_get_int(caps, "rate", &rate_);
        gst_sample_unref(preroll);
        if (channels_ <= 0 || rate_ <= 0)
            return fail(error, QStringLiteral("no channel count or sample rate"));
        gint64 duration = 0;
        if (gst_element_query_duration(pipeline_, GST_FORMAT_TIME, &duration) && duration > 0)
            expected_ = qint64(double(duration) / GST_SECOND * rate_) * blockAlign();
        gst_element_set_state(pipeline_, GST_STATE_PLAYING);
        return true;
    }

    int channels() const override { return channels_; }
    int sampleRate() const override { return rate_; }
    bool isActive() const override { return !finished_ || pendingStart_ < pending_.size(); }
    qint64 bytePosition() const override { return position_; }
    qint64 byteLength() const override { return std::max(expected_, position_); }
    QString errorString() const override { return error_; }

    qint64 read(char *data, qint64 maxBytes) override
    {
        maxBytes -= maxBytes % blockAlign();
        while (pendingStart_ >= pending_.size() && !finished_) {
            GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink_), kWait);
            if (!sample) {
                if (!gst_app_sink_is_eos(GST_APP_SINK(sink_))) {
                    error_ = busError(QStringLiteral("the decoder stopped"));
                    return -1;
                }
                finished_ = true;
                break;
            }
            GstMapInfo map;
            GstBuffer *buffer = gst_sample_get_buffer(sample);
            if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                pending_.assign(map.data, map.data + map.size);
                gst_buffer_unmap(buffer, &map);
            }
            pendingStart_ = 0;
            gst_sample_unref(sample);
        }
        const qint64 n = std::min<qint64>(maxBytes, qint64(pending_.size() - pendingStart_));
        if (n > 0)
            std::memcpy(data, pending_.data() + pendingStart_, size_t(n));
        pendingStart_ += size_t(std::max<qint64>(n, 0));
        position_ += n;
        return n;
    }

private:
    bool fail(QString *error, const QString &why)
    {
        if (error)
            *error = why;
        return false;
    }

    // The pipeline's own error message, when it posted one.
    QString busError(const QString &fallback) const
    {
        QString text = fallback;
        GstBus *bus = gst_element_get_bus(pipeline_);
        if (GstMessage *m = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
            GError *err = nullptr;
            gst_message_parse_error(m, &err, nullptr);
            if (err)
                text = QString::fromUtf8(err->message);
            g_clear_error(&err);
            gst_message_unref(m);
        }
        gst_object_unref(bus);
        return text;
    }

    GstElement *pipeline_ = nullptr;
    GstElement *sink_ = nullptr;
    int channels_ = 0;
    int rate_ = 0;
    qint64 expected_ = 0;
    qint64 position_ = 0;
    std::vector<unsigned char> pending_;
    size_t pendingStart_ = 0;
    bool finished_ = false;
    QString error_;
};

} // namespace

std::unique_ptr<DecodeStream> openGstDecodeStream(int fd, QString *error)
{
    auto stream = std::make_unique<GstDecodeStream>();
    if (!stream->open(fd, error))
        return nullptr;
    return stream;
}
