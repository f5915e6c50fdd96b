#include "common/FileProbe.h"

#include "common/TextCodec.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace file_probe {

namespace {

using Clock = std::chrono::steady_clock;
// How long a regular answer stands: long enough to cover the load that follows a probe
// ahead, short enough that a file replaced since is asked again.
constexpr auto kRemembered = std::chrono::seconds(5);
// Probes left hanging on a dead mount are not piled up without end.
constexpr std::size_t kMaxInFlight = 32;

struct Answer {
    std::condition_variable ready;
    bool done = false;
    Kind kind = Kind::NoAnswer;
    Clock::time_point started = Clock::now();
    int tookMs = 0;
    std::vector<std::function<void(Kind)>> callbacks;
};

struct Registry {
    std::mutex mutex; // guards everything here and every Answer
    std::map<QByteArray, std::shared_ptr<Answer>> inFlight;
    struct Regular {
        Clock::time_point at;
        int tookMs = 0;
    };
    std::map<QByteArray, Regular> regular;
};

Registry &registry()
{
    static Registry *r = new Registry; // outlives detached probes still running at exit
    return *r;
}

Kind ask(const QByteArray &name)
{
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return Kind::Missing;
    if (!S_ISREG(st.st_mode))
        return Kind::Other;
    // The engine opens it next: a file that does not open now will not then either,
    // and one whose open hangs is caught here.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        ::close(fd);
    return Kind::Regular;
}

// Under the registry's lock: the answer known now, or the probe to wait on (started or
// joined). Null answer and Regular: remembered.
std::shared_ptr<Answer> startOrJoin(const QByteArray &name, Kind *known, int *tookMs)
{
    Registry &r = registry();
    const auto now = Clock::now();
    if (auto it = r.regular.find(name); it != r.regular.end()) {
        if (now - it->second.at < kRemembered) {
            *known = Kind::Regular;
            *tookMs = it->second.tookMs;
            return nullptr;
        }
        r.regular.erase(it);
    }
    if (auto it = r.inFlight.find(name); it != r.inFlight.end())
        return it->second;
    if (r.inFlight.size() >= kMaxInFlight) {
        *known = Kind::NoAnswer;
        return nullptr;
    }
    auto answer = std::make_shared<Answer>();
    r.inFlight.emplace(name, answer);
    std::thread([answer, name] {
        const Kind kind = ask(name);
        const auto now = Clock::now();
        const int took = int(std::chrono::duration_cast<std::chrono::milliseconds>(now - answer->started).count());
        std::vector<std::function<void(Kind)>> callbacks;
        {
            Registry &reg = registry();
            std::lock_guard lock(reg.mutex);
            reg.inFlight.erase(name);
            if (kind == Kind::Regular) {
                for (auto it = reg.regular.begin(); it != reg.regular.end();)
                    it = now - it->second.at >= kRemembered ? reg.regular.erase(it) : std::next(it);
                reg.regular[name] = Registry::Regular{now, took};
            }
            answer->kind = kind;
            answer->tookMs = took;
            answer->done = true;
            callbacks.swap(answer->callbacks);
            answer->ready.notify_all();
        }
        for (auto &callback : callbacks)
            callback(kind);
    }).detach();
    return answer;
}

} // namespace

Kind probe(const QString &path, int timeoutMs, int *tookMs)
{
    const QByteArray name = text_codec::encodeFileName(path);
    Registry &r = registry();
    std::unique_lock lock(r.mutex);
    Kind known = Kind::NoAnswer;
    int took = 0;
    const auto answer = startOrJoin(name, &known, &took);
    if (answer) {
        answer->ready.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return answer->done; });
        known = answer->done ? answer->kind : Kind::NoAnswer;
        took = answer->done ? answer->tookMs : timeoutMs;
    }
    if (tookMs)
        *tookMs = took;
    return known;
}

void probeAsync(const QString &path, std::function<void(Kind)> done)
{
    const QByteArray name = text_codec::encodeFileName(path);
    Registry &r = registry();
    std::unique_lock lock(r.mutex);
    Kind known = Kind::NoAnswer;
    int took = 0;
    const auto answer = startOrJoin(name, &known, &took);
    if (!answer) {
        lock.unlock();
        if (known != Kind::NoAnswer)
            done(known);
        return;
    }
    answer->callbacks.push_back(std::move(done)); // not done: it leaves inFlight when it is
}

} // namespace file_probe
