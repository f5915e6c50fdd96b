#include "platform/CdTracks.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <cstring>
#include <memory>

namespace cd_tracks {

std::optional<TrackName> parseTrackPath(const QString &path)
{
    static const QRegularExpression pattern(QStringLiteral("^(.+)/Track(\\d{1,2})\\.cda$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = pattern.match(path);
    if (!m.hasMatch() || m.captured(2).toInt() < 1)
        return std::nullopt;
    return TrackName{m.captured(1), m.captured(2).toInt()};
}

QString trackPath(const QString &source, int number)
{
    return source + QStringLiteral("/Track%1.cda").arg(number, 2, 10, QLatin1Char('0'));
}

bool isCueImage(const QString &source)
{
    return source.endsWith(QStringLiteral(".cue"), Qt::CaseInsensitive);
}

namespace {

struct CdioClose {
    void operator()(CdIo_t *p) const { cdio_destroy(p); }
};
using CdioHandle = std::unique_ptr<CdIo_t, CdioClose>;

CdioHandle openSource(const QString &source, QString *error)
{
    if (isCueImage(source)) {
        const QString bin = source.left(source.size() - 4) + QStringLiteral(".bin");
        if (!QFileInfo::exists(source) || !QFileInfo::exists(bin)) {
            if (error)
                *error = QStringLiteral("the image needs %1 and %2").arg(source, bin);
            return nullptr;
        }
    }
    const QByteArray name = QFile::encodeName(source);
    CdioHandle cd(cdio_open(name.constData(), isCueImage(source) ? DRIVER_BINCUE : DRIVER_DEVICE));
    if (!cd && error)
        *error = QStringLiteral("cannot open %1").arg(source);
    return cd;
}

QList<Track> tracksOf(CdIo_t *cd)
{
    QList<Track> tracks;
    const track_t first = cdio_get_first_track_num(cd);
    const track_t count = cdio_get_num_tracks(cd);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK)
        return tracks;
    for (int t = first; t < first + count; ++t) {
        if (cdio_get_track_format(cd, track_t(t)) != TRACK_FORMAT_AUDIO)
            continue;
        const lsn_t start = cdio_get_track_lsn(cd, track_t(t));
        const lsn_t last = cdio_get_track_last_lsn(cd, track_t(t));
        if (start == CDIO_INVALID_LSN || last == CDIO_INVALID_LSN || last < start)
            continue;
        tracks.append(Track{t, start, qint64(last) - start + 1});
    }
    return tracks;
}

} // namespace

QList<Track> audioTracks(const QString &source, QString *error)
{
    CdioHandle cd = openSource(source, error);
    if (!cd)
        return {};
    QList<Track> tracks = tracksOf(cd.get());
    if (tracks.isEmpty() && error)
        *error = QStringLiteral("no audio tracks on %1").arg(source);
    return tracks;
}

QStringList drivesWithAudio()
{
    QStringList drives;
    char **devices = cdio_get_devices(DRIVER_DEVICE);
    for (char **d = devices; d && *d; ++d) {
        const QString device = QFile::decodeName(*d);
        CdioHandle cd(cdio_open(*d, DRIVER_DEVICE));
        if (cd && !tracksOf(cd.get()).isEmpty())
            drives.append(device);
    }
    cdio_free_device_list(devices);
    return drives;
}

QString describe(const Track &track)
{
    const qint64 seconds = track.sectors / kSectorsPerSecond;
    return QStringLiteral("Track %1   %2:%3")
        .arg(track.number, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60)
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

std::mutex &libraryLock()
{
    static std::mutex lock;
    return lock;
}

struct TrackReader::Private {
    ~Private()
    {
        std::lock_guard library(libraryLock());
        if (paranoia)
            cdio_paranoia_free(paranoia);
        if (drive)
            cdio_cddap_close_no_free_cdio(drive);
        cd.reset(); // the drive above borrowed it
    }

    CdioHandle cd;
    cdrom_drive_t *drive = nullptr;
    cdrom_paranoia_t *paranoia = nullptr;
    Track track;
    qint64 next = 0; // sectors read from the track's start
};

TrackReader::TrackReader()
    : d_(std::make_unique<Private>())
{
}

TrackReader::~TrackReader() = default;

const Track &TrackReader::track() const
{
    return d_->track;
}

bool TrackReader::open(const QString &path, QString *error)
{
    const std::optional<TrackName> name = parseTrackPath(path);
    if (!name) {
        *error = QStringLiteral("not a CD track name (<drive or .cue>/TrackNN.cda)");
        return false;
    }
    std::lock_guard library(libraryLock());
    d_->cd = openSource(name->source, error);
    if (!d_->cd)
        return false;
    for (const Track &t : tracksOf(d_->cd.get()))
        if (t.number == name->number)
            d_->track = t;
    if (d_->track.sectors == 0) {
        *error = QStringLiteral("no audio track %1 on %2").arg(name->number).arg(name->source);
        return false;
    }
    if (!isCueImage(name->source)) {
        // A drive: paranoia's verified reads.
        d_->drive = cdio_cddap_identify_cdio(d_->cd.get(), CDDA_MESSAGE_FORGETIT, nullptr);
        if (!d_->drive || cdio_cddap_open(d_->drive) != 0) {
            *error = QStringLiteral("cannot read audio from %1").arg(name->source);
            return false;
        }
        d_->paranoia = cdio_paranoia_init(d_->drive);
        cdio_paranoia_modeset(d_->paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
        cdio_paranoia_seek(d_->paranoia, int32_t(d_->track.firstSector), SEEK_SET);
    }
    return true;
}

bool TrackReader::readNext(char *out, int sectors, QString *error)
{
    std::lock_guard library(libraryLock());
    const qint64 lsn = d_->track.firstSector + d_->next;
    if (!d_->paranoia) {
        if (cdio_read_audio_sectors(d_->cd.get(), out, lsn_t(lsn), unsigned(sectors)) != DRIVER_OP_SUCCESS) {
            *error = QStringLiteral("read error at sector %1").arg(lsn);
            return false;
        }
        d_->next += sectors;
        return true;
    }
    for (int i = 0; i < sectors; ++i) {
        const int16_t *sector = cdio_paranoia_read_limited(d_->paranoia, nullptr, 10);
        if (!sector) {
            *error = QStringLiteral("read error at sector %1").arg(lsn + i);
            return false;
        }
        std::memcpy(out + size_t(i) * kSectorBytes, sector, kSectorBytes);
        ++d_->next;
    }
    return true;
}

} // namespace cd_tracks
