#include "playlist/TitleCache.h"

#include "common/TextCodec.h"
#include "playlist/ID3v1.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <sys/stat.h>
#include <thread>

namespace {

// An answer handed out again within this time right after titleKnown is not checked
// again: its asker is only fetching what the signal announced.
constexpr qint64 kFreshMs = 1000;

} // namespace

struct TitleCache::Shared {
    struct Request {
        QString path;
        bool check = false; // a kept answer: read only when the stamp differs from known
        Stamp known;
    };

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Request> queue; // the newest at the front
    bool quit = false;
    bool done = false;
    TitleCache *owner = nullptr; // cleared under the mutex when the cache goes
    Reader reader;
    std::thread worker;

    void run();
    Answer serve(const Request &request) const;
    static Stamp stampOf(const QString &path);
};

TitleCache::Stamp TitleCache::Shared::stampOf(const QString &path)
{
    struct stat st {};
    Stamp stamp;
    if (::stat(text_codec::encodeFileName(path).constData(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.size = st.st_size;
    stamp.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.ctimeNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    stamp.inode = st.st_ino;
    return stamp;
}

TitleCache::Answer TitleCache::Shared::serve(const Request &request) const
{
    Answer answer;
    answer.path = request.path;
    // Stamped before the read: a change during the read shows at the next check.
    answer.stamp = stampOf(request.path);
    if (request.check && answer.stamp == request.known) {
        answer.unchanged = true;
        return answer;
    }
    if (answer.stamp.exists)
        answer.title = reader(request.path);
    else
        answer.title.state = TagTitle::State::Unreadable;
    if (answer.title.state == TagTitle::State::Pending)
        answer.title.state = TagTitle::State::Unreadable;
    return answer;
}

void TitleCache::Shared::run()
{
    pthread_setname_np(pthread_self(), "titles");
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return quit || !queue.empty(); });
        if (quit)
            break;
        const Request request = std::move(queue.front());
        queue.pop_front();
        lock.unlock();
        Answer answer = serve(request);
        lock.lock();
        if (quit)
            break;
        if (TitleCache *cache = owner)
            QMetaObject::invokeMethod(
                cache, [cache, answer = std::move(answer)] { cache->answered(answer); }, Qt::QueuedConnection);
    }
    done = true;
    changed.notify_all();
}

TitleCache::TitleCache(QObject *parent)
    : TitleCache(Reader(&TitleCache::readTag), parent)
{
}

TitleCache::TitleCache(Reader reader, QObject *parent)
    : TitleSource(parent)
    , shared_(std::make_shared<Shared>())
    , cache_(MaxCached)
{
    clock_.start();
    shared_->owner = this;
    shared_->reader = std::move(reader);
    shared_->worker = std::thread([shared = shared_] { shared->run(); });
}

TitleCache::~TitleCache()
{
    std::unique_lock lock(shared_->mutex);
    shared_->owner = nullptr;
    shared_->quit = true;
    shared_->queue.clear();
    shared_->changed.notify_all();
    const bool finished = shared_->changed.wait_for(lock, std::chrono::milliseconds(WorkerExitWaitMs),
                                                    [this] { return shared_->done; });
    lock.unlock();
    // A worker stuck in a read keeps the shared state alive on its own.
    if (finished)
        shared_->worker.join();
    else
        shared_->worker.detach();
}

TagTitle TitleCache::readTag(const QString &path)
{
    TID3v1 tag;
    if (!tag.ReadFromPath(path))
        return {TagTitle::State::Unreadable, {}};
    if (!tag.HasTag)
        return {TagTitle::State::NoTag, {}};
    return {TagTitle::State::Tagged, tag.displayTitle()};
}

TagTitle TitleCache::tagTitle(const QString &path)
{
    if (Entry *entry = cache_.object(path)) {
        const bool fresh = entry->unseen && clock_.elapsed() - entry->checkedAt < kFreshMs;
        entry->unseen = false;
        if (!fresh)
            request(path, &entry->stamp);
        return entry->title;
    }
    request(path, nullptr);
    return {};
}

int TitleCache::queuedReads() const
{
    std::lock_guard lock(shared_->mutex);
    return static_cast<int>(shared_->queue.size());
}

void TitleCache::request(const QString &path, const Stamp *known)
{
    std::lock_guard lock(shared_->mutex);
    std::deque<Shared::Request> &queue = shared_->queue;
    if (outstanding_.contains(path)) {
        // Asked again while waiting: to the front. One being read is not in the queue.
        const auto it = std::find_if(queue.begin(), queue.end(),
                                     [&path](const Shared::Request &r) { return r.path == path; });
        if (it != queue.end() && it != queue.begin()) {
            Shared::Request again = std::move(*it);
            queue.erase(it);
            queue.push_front(std::move(again));
        }
        return;
    }
    queue.push_front(known ? Shared::Request{path, true, *known} : Shared::Request{path, false, {}});
    outstanding_.insert(path);
    if (queue.size() > static_cast<size_t>(MaxQueued)) {
        outstanding_.remove(queue.back().path);
        queue.pop_back();
    }
    shared_->changed.notify_all();
}

void TitleCache::answered(const Answer &answer)
{
    outstanding_.remove(answer.path);
    Entry *entry = cache_.object(answer.path);
    if (answer.unchanged) {
        // Dropped from the cache meanwhile: the next ask reads it again.
        if (entry)
            entry->checkedAt = clock_.elapsed();
        return;
    }
    const bool changed
        = !entry || entry->title.state != answer.title.state || entry->title.title != answer.title.title;
    if (!entry) {
        entry = new Entry;
        cache_.insert(answer.path, entry);
    }
    entry->stamp = answer.stamp;
    entry->title = answer.title;
    entry->checkedAt = clock_.elapsed();
    entry->unseen = changed;
    if (changed)
        Q_EMIT titleKnown(answer.path);
}
