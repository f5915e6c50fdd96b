#pragma once
// Tables of contents of audio CDs and BIN/CUE images, read off the GUI thread: a drive
// can take seconds to answer, and an image on a hung mount never does.
// Threads: the members run on the GUI thread. Each read runs on a thread of its own,
// one read at a time; its answer comes back to the GUI thread as a queued call. The
// destructor waits at most WorkerExitWaitMs for a read under way, then leaves it
// behind with its own references; its answer is never delivered. The reads of every
// reader, and the converter's track reads, take cd_tracks::libraryLock() in turn.
#include "platform/CdTracks.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>

class CdTableReader : public QObject {
    Q_OBJECT
public:
    struct Table {
        QString source;
        QList<cd_tracks::Track> tracks; // empty when unreadable
        QString error;                  // why, when empty
    };
    using Answer = std::function<void(const QList<Table> &tables)>;

    static constexpr int WorkerExitWaitMs = 1000;

    explicit CdTableReader(QObject *parent = nullptr);
    ~CdTableReader() override;

    // Reads the tables of the drives that hold an audio disc (withDrives), then those of
    // sources, in that order, and hands them to answer on the GUI thread.
    // False, and nothing starts, while a read is under way.
    bool read(const QStringList &sources, bool withDrives, Answer answer);
    bool isBusy() const { return job_ != nullptr; }
    // Forgets the read under way: its answer is not delivered, and a new read may start
    // (it runs when the forgotten one has ended).
    void drop();


private:
    struct Job;
    void finished(const std::shared_ptr<Job> &job, const QList<Table> &tables);

    std::shared_ptr<Job> job_;
};
