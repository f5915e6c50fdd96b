#include "converter/CdTracks.h"

#include "converter/DecodeStream.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <cstring>
#include <vector>

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

// Sectors of one track, a few at a time.
class CdTrackStream : public DecodeStream {
public:
    ~CdTrackStream() override
    {
        if (paranoia_)
            cdio_paranoia_free(paranoia_);
        if (drive_)
            cdio_cddap_close_no_free_cdio(drive_);
    }

    bool open(const QString &path, QString *error)
    {
        const std::optional<TrackName> name = parseTrackPath(path);
        if (!name) {
            *error = QStringLiteral("not a CD track name (<drive or .cue>/TrackNN.cda)");
            return false;
        }
        cd_ = openSource(name->source, error);
        if (!cd_)
            return false;
        for (const Track &t : tracksOf(cd_.get()))
            if (t.number == name->number)
                track_ = t;
        if (track_.sectors == 0) {
            *error = QStringLiteral("no audio track %1 on %2").arg(name->number).arg(name->source);
            return false;
        }
        if (!isCueImage(name->source)) {
            // A drive: paranoia's verified reads.
            drive_ = cdio_cddap_identify_cdio(cd_.get(), CDDA_MESSAGE_FORGETIT, nullptr);
            if (!drive_ || cdio_cddap_open(drive_) != 0) {
                *error = QStringLiteral("cannot read audio from %1").arg(name->source);
                return false;
            }
            paranoia_ = cdio_paranoia_init(drive_);
            cdio_paranoia_modeset(paranoia_, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
            cdio_paranoia_seek(paranoia_, int32_t(track_.firstSector), SEEK_SET);
        }
        return true;
    }

    int channels() const override { return 2; }
    int sampleRate() const override { return 44100; }
    bool isActive() const override { return position_ < byteLength(); }
    qint64 bytePosition() const override { return position_; }
    qint64 byteLength() const override { return track_.sectors * kSectorBytes; }
    QString errorString() const override { return error_; }

    qint64 read(char *data, qint64 maxBytes) override
    {
        if (pendingStart_ >= pending_.size()) {
            const qint64 done = position_ / kSectorBytes;
            const int sectors = int(std::min<qint64>(kBlockSectors, track_.sectors - done));
            if (sectors <= 0)
                return 0;
            pending_.resize(size_t(sectors) * kSectorBytes);
            pendingStart_ = 0;
            if (!readSectors(track_.firstSector + done, sectors))
                return -1;
        }
        maxBytes -= maxBytes % 4;
        const qint64 n = std::min<qint64>(maxBytes, qint64(pending_.size() - pendingStart_));
        std::memcpy(data, pending_.data() + pendingStart_, size_t(n));
        pendingStart_ += size_t(n);
        position_ += n;
        return n;
    }

private:
    static constexpr int kBlockSectors = 16;

    bool readSectors(qint64 lsn, int sectors)
    {
        if (!paranoia_) {
            if (cdio_read_audio_sectors(cd_.get(), pending_.data(), lsn_t(lsn), unsigned(sectors)) == DRIVER_OP_SUCCESS)
                return true;
            error_ = QStringLiteral("read error at sector %1").arg(lsn);
            return false;
        }
        for (int i = 0; i < sectors; ++i) {
            const int16_t *sector = cdio_paranoia_read_limited(paranoia_, nullptr, 10);
            if (!sector) {
                error_ = QStringLiteral("read error at sector %1").arg(lsn + i);
                return false;
            }
            std::memcpy(pending_.data() + size_t(i) * kSectorBytes, sector, kSectorBytes);
        }
        return true;
    }

    CdioHandle cd_;
    cdrom_drive_t *drive_ = nullptr;
    cdrom_paranoia_t *paranoia_ = nullptr;
    Track track_;
    qint64 position_ = 0;
    std::vector<char> pending_;
    size_t pendingStart_ = 0;
    QString error_;
};

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

} // namespace cd_tracks

std::unique_ptr<DecodeStream> openCdTrackStream(const QString &path, QString *error)
{
    auto stream = std::make_unique<cd_tracks::CdTrackStream>();
    QString why;
    if (!stream->open(path, &why)) {
        if (error)
            *error = why;
        return nullptr;
    }
    return stream;
}
