#pragma once
// GStreamer starts on a worker thread, so that the windows need not wait for it: on a
// user's very first start gst_init builds the plug-in registry, which takes most of a
// second. Only playback waits: the media graph before its first pipeline, and the
// start-up play action (whenReady).
#include <functional>
#include <thread>

class QObject;

namespace gst_start {

// gst_init once per process; a caller while another thread runs it waits. Everything
// that builds GStreamer elements calls it first (the player's graph, the converter's
// decoder, the radio's format check). Also ranks a few plug-ins: AIFF goes to libav's
// demuxer where installed (aiffparse 1.22 can hang loading inside decodebin), MP3 to
// mpg123 (it loads at once; libav takes 0.1 s), CD tracks to libcdio's source.
void ensureInitialised();

} // namespace gst_start

// One per program, created first thing in main. wait() (or the destructor) joins the
// worker; main calls it before the application object goes, which the worker posts to.
class GstStartWorker {
public:
    GstStartWorker();
    ~GstStartWorker();
    void wait();
    GstStartWorker(const GstStartWorker &) = delete;
    GstStartWorker &operator=(const GstStartWorker &) = delete;

    // Any thread: whether a worker was started (the player's graph then leaves gst_init to it).
    static bool started();
    // GUI thread: runs fn on context's thread once GStreamer is ready; queued, also when it
    // already is (or when no worker was started and the graph initialises it itself).
    static void whenReady(QObject *context, std::function<void()> fn);
    // Any thread: once the first entry plays, the worker loads libav's plug-in, which
    // video and AAC entries need (MP3 plays through mpg123), so that the first such
    // entry does not wait for it. Nothing without a worker or after wait().
    static void preloadLater();

private:
    std::thread thread_;
};
