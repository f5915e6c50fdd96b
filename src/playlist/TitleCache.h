#pragma once
// ID3v1 titles read on a worker thread of the cache's own, for the playlist's rows and
// the main window's title line.
// Threads: every member runs on the GUI thread, which never waits for a read. One
// worker reads one file at a time, the newest request first; at most MaxQueued
// requests wait and the oldest beyond that are forgotten (asking again queues them
// again). Answers are kept for the MaxCached paths last asked for. A kept answer is
// handed out at once and checked again on the worker (size, times and inode); when
// the file changed it is read again and titleKnown() follows if the title did. A read
// that hangs (a dead network mount) holds the later reads back, never a window. The
// destructor waits for the worker at most WorkerExitWaitMs and then leaves a stuck one
// behind with its own references.
#include "playback/TitleSource.h"

#include <QCache>
#include <QElapsedTimer>
#include <QSet>

#include <functional>
#include <memory>

class TitleCache : public TitleSource {
    Q_OBJECT
public:
    // Reads one file's tag. Threads: the worker's; it must not touch a QObject.
    // Answers Unreadable, NoTag or Tagged, never Pending.
    using Reader = std::function<TagTitle(const QString &path)>;

    static constexpr int MaxQueued = 256;
    static constexpr int MaxCached = 20000;
    static constexpr int WorkerExitWaitMs = 1000;

    // reader: readTag unless given (tests give one that blocks).
    explicit TitleCache(QObject *parent = nullptr);
    explicit TitleCache(Reader reader, QObject *parent = nullptr);
    ~TitleCache() override;

    TagTitle tagTitle(const QString &path) override;

    // Requests waiting for the worker (the read under way not counted).
    int queuedReads() const;

    // The ID3v1 trailer's title (TID3v1). Threads: any.
    static TagTitle readTag(const QString &path);

private:
    struct Shared;
    // What the worker found; delivered to the GUI thread.
    struct Stamp {
        bool exists = false;
        qint64 size = 0;
        qint64 mtimeNs = 0;
        qint64 ctimeNs = 0;
        quint64 inode = 0;
        bool operator==(const Stamp &) const = default;
    };
    struct Answer {
        QString path;
        Stamp stamp;
        bool unchanged = false; // the stamp matched the kept answer's: not read
        TagTitle title;
    };
    struct Entry {
        Stamp stamp;
        TagTitle title;
        qint64 checkedAt = 0; // clock_ when last read or checked
        bool unseen = false;  // changed and not asked for since titleKnown
    };

    void request(const QString &path, const Stamp *known);
    void answered(const Answer &answer);

    std::shared_ptr<Shared> shared_;
    QCache<QString, Entry> cache_;
    // Paths queued or being read; only the GUI thread touches it.
    QSet<QString> outstanding_;
    QElapsedTimer clock_;
};
