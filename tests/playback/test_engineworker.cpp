// The engine worker: jobs in order, a tick only while idle that can be turned off at any
// time without ending the thread, and a bounded finish that leaves a stuck job behind.
#include "playback/EngineWorker.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {
// Waits (bounded) until pred holds; the worker answers on its own thread.
template <typename P>
bool eventually(P pred)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}
} // namespace

class TestEngineWorker : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void jobsRunInOrder();
    void tickTurnedOffKeepsTheWorker();
    void finishLeavesAStuckJobBehind();
};

void TestEngineWorker::jobsRunInOrder()
{
    auto seen = std::make_shared<std::vector<int>>();
    std::atomic<int> done{0};
    EngineWorker worker;
    for (int i = 0; i < 100; ++i)
        worker.post([seen, i, &done] {
            seen->push_back(i);
            ++done;
        });
    QVERIFY(eventually([&] { return done == 100; }));
    for (int i = 0; i < 100; ++i)
        QCOMPARE((*seen)[std::size_t(i)], i);
    QVERIFY(worker.finish({}, 5000));
}

void TestEngineWorker::tickTurnedOffKeepsTheWorker()
{
    std::atomic<int> ticks{0};
    std::atomic<bool> ran{false};
    EngineWorker worker;
    worker.setTick([&] { ++ticks; }, 5);
    QVERIFY(eventually([&] { return ticks >= 3; }));
    // Off while the worker waits for its next tick: it must still take jobs after.
    worker.setTick(nullptr, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // past the tick it waited for
    worker.post([&] { ran = true; });
    QVERIFY(eventually([&] { return ran.load(); }));
    const int after = ticks;
    worker.post([] {});
    QVERIFY(worker.finish({}, 5000));
    QCOMPARE(ticks.load(), after);
}

void TestEngineWorker::finishLeavesAStuckJobBehind()
{
    // A job that hangs (a state change GStreamer never finishes) must not hang its owner.
    struct Gate {
        std::mutex mutex;
        std::condition_variable open;
        bool opened = false;
    };
    auto gate = std::make_shared<Gate>();
    auto last = std::make_shared<std::atomic<bool>>(false);
    {
        EngineWorker worker;
        worker.post([gate] {
            std::unique_lock lock(gate->mutex);
            gate->open.wait(lock, [&] { return gate->opened; });
        });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!worker.finish([last] { *last = true; }, 100));
        QVERIFY(clock.elapsed() < 5000);
        worker.post([] {}); // dropped: the worker is finishing
    }
    {
        std::lock_guard lock(gate->mutex);
        gate->opened = true;
    }
    gate->open.notify_all();
    // Left to itself, it still runs the last job and ends.
    QVERIFY(eventually([&] { return last->load(); }));
}

QTEST_GUILESS_MAIN(TestEngineWorker)
#include "test_engineworker.moc"
