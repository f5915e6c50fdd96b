#pragma once
// One thread that runs the media engine's blocking calls (state changes, loading,
// queries, seeks, file probes) in the order they were posted, so that the thread that
// posts them never waits for the engine.
//
// Threads: post() from any thread; jobs run on the worker. finish() from the owner.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class EngineWorker {
public:
    EngineWorker();
    ~EngineWorker();
    EngineWorker(const EngineWorker &) = delete;
    EngineWorker &operator=(const EngineWorker &) = delete;

    // Queues a job. Jobs posted after finish() are dropped.
    void post(std::function<void()> job);
    // Runs lastJob after everything queued and ends the thread. True when it ended within
    // timeoutMs; otherwise the thread is left to end by itself (it keeps its own state),
    // and whatever its jobs use must then outlive it.
    bool finish(std::function<void()> lastJob, int timeoutMs);
    // Jobs waiting, the one running not counted.
    std::size_t pending() const;
    // Runs tick whenever the worker has had nothing to do for intervalMs; null: never.
    void setTick(std::function<void()> tick, int intervalMs);

private:
    struct Shared {
        mutable std::mutex mutex;
        std::condition_variable wake;
        std::condition_variable done;
        std::deque<std::function<void()>> jobs;
        std::function<void()> tick;
        int tickMs = 0;
        bool stopping = false;
        bool ended = false;
    };
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};
