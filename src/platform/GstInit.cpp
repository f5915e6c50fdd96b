#include "platform/GstInit.h"

#include <gst/gst.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

namespace {

std::atomic<bool> workerStarted{false};

std::mutex readyMutex;
bool ready = false; // guarded by readyMutex
std::vector<std::pair<QPointer<QObject>, std::function<void()>>> waiting; // guarded by readyMutex

// The worker's second job: load libav's plug-in once something plays (see preloadLater).
std::mutex preloadMutex;
std::condition_variable preloadWake;
bool preloadWanted = false; // guarded by preloadMutex
bool workerEnding = false;  // guarded by preloadMutex

// GUI thread.
void runWaiting()
{
    decltype(waiting) due;
    {
        std::lock_guard lock(readyMutex);
        due.swap(waiting);
    }
    for (auto &[context, fn] : due)
        if (context)
            fn();
}

} // namespace

void gst_start::ensureInitialised()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gst_is_initialized())
            gst_init(nullptr, nullptr);
        // aiffparse (1.22) starts pushing from its always-present pad before decodebin
        // has linked it; the "not-linked" error it then posts falls into decodebin's
        // window of ignored errors and loading hangs. libav's AIFF demuxer adds its pad
        // when it is ready, so let it handle AIFF wherever it is installed.
        GstRegistry *registry = gst_registry_get();
        if (GstPluginFeature *libav = gst_registry_lookup_feature(registry, "avdemux_aiff")) {
            if (GstPluginFeature *aiffparse = gst_registry_lookup_feature(registry, "aiffparse")) {
                gst_plugin_feature_set_rank(aiffparse, GST_RANK_NONE);
                gst_object_unref(aiffparse);
            }
            if (gst_plugin_feature_get_rank(libav) < GST_RANK_MARGINAL)
                gst_plugin_feature_set_rank(libav, GST_RANK_MARGINAL);
            gst_object_unref(libav);
        }
        // Audio-CD tracks (cdda://source#N) go to libcdio's source, which reads BIN/CUE
        // images as well as drives; cdparanoia's reads drives only.
        if (GstPluginFeature *cdio = gst_registry_lookup_feature(registry, "cdiocddasrc")) {
            gst_plugin_feature_set_rank(cdio, GST_RANK_PRIMARY + 1);
            gst_object_unref(cdio);
        }
        // MP3 goes to mpg123, which loads at once: libav's decoder has the same rank in
        // 1.22 and wins by its name, and loading libav delays the first sound by 0.1 s.
        if (GstPluginFeature *mpg123 = gst_registry_lookup_feature(registry, "mpg123audiodec")) {
            if (gst_plugin_feature_get_rank(mpg123) < GST_RANK_PRIMARY)
                gst_plugin_feature_set_rank(mpg123, GST_RANK_PRIMARY);
            gst_object_unref(mpg123);
        }
    });
}

GstStartWorker::GstStartWorker()
{
    workerStarted = true;
    thread_ = std::thread([] {
        gst_start::ensureInitialised();
        {
            std::lock_guard lock(readyMutex);
            ready = true;
            // Someone waits only once the application exists (whenReady runs on its thread).
            if (!waiting.empty())
                QMetaObject::invokeMethod(QCoreApplication::instance(), &runWaiting, Qt::QueuedConnection);
        }
        std::unique_lock lock(preloadMutex);
        preloadWake.wait(lock, [] { return preloadWanted || workerEnding; });
        if (workerEnding)
            return;
        lock.unlock();
        // libav's plug-in and the hundred libraries behind it take about 0.1 s to load:
        // loaded here, at leisure, instead of in the first video or AAC entry's load.
        if (GstPlugin *libav = gst_plugin_load_by_name("libav"))
            gst_object_unref(libav);
    });
}

GstStartWorker::~GstStartWorker()
{
    wait();
}

void GstStartWorker::wait()
{
    {
        std::lock_guard lock(preloadMutex);
        workerEnding = true;
    }
    preloadWake.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void GstStartWorker::preloadLater()
{
    {
        std::lock_guard lock(preloadMutex);
        if (preloadWanted)
            return;
        preloadWanted = true;
    }
    preloadWake.notify_all();
}

bool GstStartWorker::started()
{
    return workerStarted;
}

void GstStartWorker::whenReady(QObject *context, std::function<void()> fn)
{
    {
        std::lock_guard lock(readyMutex);
        if (workerStarted && !ready) {
            waiting.emplace_back(context, std::move(fn));
            return;
        }
    }
    QTimer::singleShot(0, context, std::move(fn));
}
