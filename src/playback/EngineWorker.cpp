#include "playback/EngineWorker.h"

#include <chrono>

EngineWorker::EngineWorker()
    : shared_(std::make_shared<Shared>())
{
    thread_ = std::thread([shared = shared_] {
        std::unique_lock lock(shared->mutex);
        for (;;) {
            const auto ready = [&] { return !shared->jobs.empty() || shared->stopping; };
            std::function<void()> job;
            if (shared->tick && !shared->stopping) {
                if (!shared->wake.wait_for(lock, std::chrono::milliseconds(shared->tickMs), ready))
                    job = shared->tick;
            } else {
                shared->wake.wait(lock, ready);
            }
            if (!job) {
                if (shared->jobs.empty() && !shared->stopping)
                    continue; // the tick was turned off while waiting
                if (shared->jobs.empty())
                    break;
                job = std::move(shared->jobs.front());
                shared->jobs.pop_front();
            }
            lock.unlock();
            job();
            job = nullptr; // what it captured goes before the lock is taken again
            lock.lock();
        }
        shared->ended = true;
        shared->done.notify_all();
    });
}

EngineWorker::~EngineWorker()
{
    if (thread_.joinable())
        finish({}, 0);
}

void EngineWorker::post(std::function<void()> job)
{
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->stopping)
            return;
        shared_->jobs.push_back(std::move(job));
    }
    shared_->wake.notify_one();
}

bool EngineWorker::finish(std::function<void()> lastJob, int timeoutMs)
{
    if (!thread_.joinable())
        return true;
    std::unique_lock lock(shared_->mutex);
    if (lastJob)
        shared_->jobs.push_back(std::move(lastJob));
    shared_->stopping = true;
    shared_->wake.notify_one();
    const bool ended = shared_->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return shared_->ended; });
    lock.unlock();
    if (ended)
        thread_.join();
    else
        thread_.detach();
    return ended;
}

void EngineWorker::setTick(std::function<void()> tick, int intervalMs)
{
    {
        std::lock_guard lock(shared_->mutex);
        shared_->tick = std::move(tick);
        shared_->tickMs = intervalMs;
    }
    shared_->wake.notify_one();
}

std::size_t EngineWorker::pending() const
{
    std::lock_guard lock(shared_->mutex);
    return shared_->jobs.size();
}
