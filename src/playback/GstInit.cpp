#include "playback/GstInit.h"

#include "playback/GstMediaGraph.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

namespace {

std::atomic<bool> workerStarted{false};

std::mutex readyMutex;
bool ready = false; // guarded by readyMutex
std::vector<std::pair<QPointer<QObject>, std::function<void()>>> waiting; // guarded by readyMutex

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

GstStartWorker::GstStartWorker()
{
    workerStarted = true;
    thread_ = std::thread([] {
        GstMediaGraph::ensureInitialised();
        std::lock_guard lock(readyMutex);
        ready = true;
        // Someone waits only once the application exists (whenReady runs on its thread).
        if (!waiting.empty())
            QMetaObject::invokeMethod(QCoreApplication::instance(), &runWaiting, Qt::QueuedConnection);
    });
}

GstStartWorker::~GstStartWorker()
{
    wait();
}

void GstStartWorker::wait()
{
    if (thread_.joinable())
        thread_.join();
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
