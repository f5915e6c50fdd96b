#pragma once
// Audio-CD tracks. Linux shows no track files, so a track is named
// <source>/TrackNN.cda, where the source is an optical drive (/dev/sr0) or a BIN/CUE
// image (/home/u/disc.cue). The converter's naming rule then gives TrackNN.wav, and
// the playlist can hold tracks like files.
//
// Drives and images share one reader (libcdio); a drive's sectors go through
// paranoia's checks as well. libcdio's BIN/CUE driver reads the .bin named after
// the .cue, whatever the FILE line says.
//
// The player hands tracks to GStreamer's cdda source; the converter reads their
// sectors itself (TrackReader).
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <optional>

namespace cd_tracks {

constexpr int kSectorBytes = 2352;      // 1/75 s of 44,100 Hz 16-bit stereo
constexpr int kSectorsPerSecond = 75;

struct TrackName {
    QString source;
    int number = 0;
};

// "<source>/Track03.cda" -> {source, 3}; nothing when the path does not name a track.
std::optional<TrackName> parseTrackPath(const QString &path);
QString trackPath(const QString &source, int number);
bool isCueImage(const QString &source);

struct Track {
    int number = 0;
    qint64 firstSector = 0;
    qint64 sectors = 0;
};

// libcdio keeps global state without a guard (its log aborts the program when two
// threads log at once): whoever calls it holds this lock. audioTracks and
// drivesWithAudio leave it to their caller; TrackReader takes it itself.
std::mutex &libraryLock();

// The audio tracks of a drive or a .cue image; empty with *error set when it cannot be read.
QList<Track> audioTracks(const QString &source, QString *error = nullptr);
// Optical drives that hold an audio disc now.
QStringList drivesWithAudio();

// "Track 03  4:05" for the chooser.
QString describe(const Track &track);

// One track's sectors, in order from its start. A drive's go through paranoia's
// verified reads; an image's are read as they are. Each call holds libraryLock() while
// it is in libcdio, so tables can be read meanwhile between two blocks.
class TrackReader {
public:
    TrackReader();
    ~TrackReader();
    TrackReader(const TrackReader &) = delete;
    TrackReader &operator=(const TrackReader &) = delete;

    // path: <source>/TrackNN.cda. False with *error set when the track cannot be read.
    bool open(const QString &path, QString *error);
    // The open track; sectors == 0 before open succeeds.
    const Track &track() const;
    // The next `sectors` sectors into out (sectors * kSectorBytes bytes); false with
    // *error set on a read error.
    bool readNext(char *out, int sectors, QString *error);

private:
    struct Private;
    std::unique_ptr<Private> d_;
};

} // namespace cd_tracks
