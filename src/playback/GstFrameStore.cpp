#include "playback/GstFrameStore.h"

#include "playback/MediaGraph.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <utility>

struct GstFrameCallbacks {
    static GstFlowReturn newSample(GstAppSink *sink, gpointer self)
    {
        static_cast<GstFrameStore *>(self)->take(sink, false);
        return GST_FLOW_OK;
    }
    static GstFlowReturn newPreroll(GstAppSink *sink, gpointer self)
    {
        static_cast<GstFrameStore *>(self)->take(sink, true);
        return GST_FLOW_OK;
    }
};

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

GstFrameStore::~GstFrameStore()
{
    if (frame_)
        gst_sample_unref(frame_);
}

void GstFrameStore::attach(GstElement *appsink)
{
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &GstFrameCallbacks::newSample;
    callbacks.new_preroll = &GstFrameCallbacks::newPreroll;
    gst_app_sink_set_callbacks(GST_APP_SINK(appsink), &callbacks, this, nullptr);
}

QImage GstFrameStore::latest() const
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

void GstFrameStore::setObserver(VideoFrameObserver *observer)
{
    std::lock_guard lock(observerMutex_);
    observer_ = observer;
}

void GstFrameStore::clear()
{
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

void GstFrameStore::take(GstAppSink *sink, bool preroll)
{
    GstSample *sample = preroll ? gst_app_sink_pull_preroll(sink) : gst_app_sink_pull_sample(sink);
    if (!sample)
        return;
    if (!open_) {
        gst_sample_unref(sample);
        return;
    }
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
    if (notify && !noticePending_.exchange(true))
        notify();
}
