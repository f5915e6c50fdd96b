// The DVD side of the media graph: loading a disc folder or drive on the worker, its
// navigator, and the playing time that drives the time label.
#include "playback/GstMediaGraph.h"

#include "common/TextCodec.h"
#include "playback/AudioTap.h"
#include "playback/EngineWorker.h"
#include "platform/OpticalDrive.h"
#include "playback/GstDvdNavigator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gst/gst.h>

#include <sys/stat.h>

QString GstMediaGraph::dvdFolderOf(const QString &ifoPath)
{
    // As bytes: a folder whose name is not UTF-8 is still that folder.
    QByteArray path = text_codec::encodeFileName(QFileInfo(ifoPath).absoluteFilePath());
    if (!path.startsWith('/'))
        path = text_codec::encodeFileName(QDir::currentPath()) + '/' + path;
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray videoTs = path.left(slash);
    const qsizetype parentSlash = videoTs.lastIndexOf('/');
    if (slash <= 0 || parentSlash < 0 || videoTs.mid(parentSlash + 1).toUpper() != "VIDEO_TS")
        return {};
    struct stat st {};
    if (::stat((videoTs + "/VIDEO_TS.IFO").constData(), &st) != 0
        && ::stat((videoTs + "/video_ts.ifo").constData(), &st) != 0)
        return {};
    return text_codec::decodeFileName(parentSlash == 0 ? QByteArray("/") : videoTs.left(parentSlash));
}

QString GstMediaGraph::firstOpticalDrive()
{
    return optical_drive::first();
}

void GstMediaGraph::renderDvd(const QString &ifoPath)
{
    lastDvdStatus_ = {};
    if (mode_ != GraphMode::Dvd) {
        // An engine without a DVD graph builder answers this without rendering.
        QMetaObject::invokeMethod(this, [this] { Q_EMIT dvdRendered(ErrDvdRenderFail); }, Qt::QueuedConnection);
        return;
    }
    if (!engine_)
        createPipeline();
    dropMedia();
    active_ = true;
    const quint64 ticket = newTicket();
    loading_ = true;
    worker_->post([engine = engine_, ticket, ifoPath] { engine->loadDvd(ticket, ifoPath); });
}

void GstEngine::loadDvd(quint64 ticket, const QString &ifoPath)
{
    if (stale(ticket))
        return;
    auto result = std::make_shared<DvdResult>();
    result->result = 1;
    // The folder and the drive are looked up here: a disc may take seconds to answer.
    const bool fromDrive = ifoPath.isEmpty();
    const QString source = fromDrive ? GstMediaGraph::firstOpticalDrive() : GstMediaGraph::dvdFolderOf(ifoPath);
    MediaGraphError error(0, QString());
    if (source.isEmpty()) {
        (fromDrive ? result->status.volumeUnknown : result->status.volumeInvalid) = true;
    } else if (!loadUri(ticket, "dvd://" + text_codec::encodeFileName(source), &error, prerollTimeoutMs.load())) {
        if (stale(ticket))
            return;
        switch (error.code()) {
        case ErrFileNotFound:
        case ErrFileAccess:
        case ErrCannotRender:
        case ErrPlaybackFailed:
            // libdvdread could not open it as DVD-Video (damaged IFO, no disc in the drive).
            (fromDrive ? result->status.volumeUnknown : result->status.volumeInvalid) = true;
            break;
        default:
            post([ticket, error](Listener &l) { l.engineFailed(ticket, error); });
            return;
        }
    } else {
        gint audioStreams = 0;
        gint videoStreams = 0;
        g_object_get(parts_.playbin, "n-audio", &audioStreams, "n-video", &videoStreams, nullptr);
        result->status.numStreams = static_cast<std::uint32_t>(audioStreams + videoStreams + (videoStreams == 0 ? 1 : 0));
        if (videoStreams == 0) {
            result->status.numStreamsFailed = 1;
            result->status.failedStreamFlags = 1; // the picture
        } else {
            result->result = 0;
            result->generation = generation_.load();
            result->navigator = std::make_unique<GstDvdNavigator>(parts_.playbin, parts_.videoSink);
            playableTicket_ = ticket;
        }
    }
    post([ticket, result](Listener &l) { l.engineDvdLoaded(ticket, result); });
}

void GstMediaGraph::engineDvdLoaded(quint64 ticket, std::shared_ptr<GstEngine::DvdResult> result)
{
    if (ticket != ticket_) {
        // Superseded: its navigator goes on the worker, which may wait for it.
        std::shared_ptr<GstDvdNavigator> navigator(result->navigator.release());
        if (navigator)
            worker_->post([navigator]() mutable { navigator.reset(); });
        return;
    }
    loading_ = false;
    lastDvdStatus_ = result->status;
    if (result->result == 0) {
        loaded_ = true;
        endOfStream_ = false;
        hasVideo_ = true;
        generation_ = result->generation;
        navigator_ = std::move(result->navigator);
    }
    Q_EMIT dvdRendered(result->result);
}

DvdControl *GstMediaGraph::dvdControl()
{
    if (mode_ != GraphMode::Dvd || !loaded_ || !navigator_)
        return nullptr;
    return navigator_.get();
}

void GstMediaGraph::reportDvdTime()
{
    if (!navigator_ || !loaded_) {
        dvdTimer_.stop();
        return;
    }
    if (!running_ || !navigator_->timeCodeEvents())
        return;
    worker_->post([engine = engine_, ticket = ticket_] { engine->queryDvdTime(ticket); });
}

void GstMediaGraph::engineDvdTime(quint64 ticket, qint64 ms)
{
    if (ticket != ticket_ || !navigator_)
        return;
    const qint64 s = ms / 1000;
    Q_EMIT dvdTimeChanged(static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60), static_cast<int>(s % 60),
                          static_cast<int>(ms % 1000 * 25 / 1000));
}
