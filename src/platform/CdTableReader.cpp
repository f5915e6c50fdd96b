#include "platform/CdTableReader.h"

#include <QtGlobal>

#include <cdio/logging.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <utility>

namespace {

// libcdio's own handler ends the process on any error it logs, and a cue sheet that
// changes between libcdio's reads of it (it opens it three times) is one: the reader
// then just finds no tracks.
void logCdio(cdio_log_level_t level, const char message[])
{
    if (level == CDIO_LOG_ASSERT) {
        qCritical("libcdio: %s", message);
        std::abort();
    }
    if (level == CDIO_LOG_ERROR)
        qWarning("libcdio: %s", message);
}

} // namespace

struct CdTableReader::Job {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    CdTableReader *owner = nullptr; // cleared under the mutex when the answer is not wanted
    Answer answer;
};

CdTableReader::CdTableReader(QObject *parent)
    : QObject(parent)
{
    // Before any read: libcdio does not guard its handler.
    static std::once_flag installed;
    std::call_once(installed, [] { cdio_log_set_handler(logCdio); });
}

CdTableReader::~CdTableReader()
{
    if (!job_)
        return;
    const std::shared_ptr<Job> job = std::exchange(job_, nullptr);
    std::unique_lock lock(job->mutex);
    job->owner = nullptr;
    // Most reads end at once; one stuck in a drive or a mount is left to itself.
    job->ended.wait_for(lock, std::chrono::milliseconds(WorkerExitWaitMs), [&job] { return job->done; });
}

bool CdTableReader::read(const QStringList &sources, bool withDrives, Answer answer)
{
    if (job_)
        return false;
    job_ = std::make_shared<Job>();
    job_->owner = this;
    job_->answer = std::move(answer);
    std::thread([job = job_, sources, withDrives] {
        pthread_setname_np(pthread_self(), "cd tables");
        QList<Table> tables;
        {
            // A read that hangs keeps the later ones waiting here, on their threads.
            std::lock_guard cdio(cd_tracks::libraryLock());
            QStringList all = withDrives ? cd_tracks::drivesWithAudio() : QStringList();
            all.append(sources);
            for (const QString &source : std::as_const(all)) {
                Table table;
                table.source = source;
                table.tracks = cd_tracks::audioTracks(source, &table.error);
                tables.append(std::move(table));
            }
        }
        std::lock_guard lock(job->mutex);
        if (CdTableReader *owner = job->owner)
            QMetaObject::invokeMethod(
                owner, [owner, job, tables = std::move(tables)] { owner->finished(job, tables); }, Qt::QueuedConnection);
        job->done = true;
        job->ended.notify_all();
    }).detach();
    return true;
}

void CdTableReader::drop()
{
    if (!job_)
        return;
    const std::shared_ptr<Job> job = std::exchange(job_, nullptr);
    std::lock_guard lock(job->mutex);
    job->owner = nullptr;
}

void CdTableReader::finished(const std::shared_ptr<Job> &job, const QList<Table> &tables)
{
    // A read dropped since, whose answer was already on its way.
    if (job != job_)
        return;
    job_.reset();
    const Answer answer = std::move(job->answer);
    answer(tables);
}
