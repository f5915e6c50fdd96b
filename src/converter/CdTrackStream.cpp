// The converter's decoder for audio-CD tracks: the track's sectors are already PCM.
#include "converter/DecodeStream.h"

#include "converter/ConverterFiles.h"
#include "platform/CdTracks.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Sectors of one track, a few at a time.
class CdTrackStream : public DecodeStream {
public:
    bool open(const QString &path, QString *error) { return reader_.open(path, error); }

    int channels() const override { return 2; }
    int sampleRate() const override { return 44100; }
    bool isActive() const override { return position_ < byteLength(); }
    qint64 bytePosition() const override { return position_; }
    qint64 byteLength() const override { return reader_.track().sectors * cd_tracks::kSectorBytes; }
    QString errorString() const override { return error_; }

    qint64 read(char *data, qint64 maxBytes) override
    {
        if (pendingStart_ >= pending_.size()) {
            const qint64 done = position_ / cd_tracks::kSectorBytes;
            const int sectors = int(std::min<qint64>(kBlockSectors, reader_.track().sectors - done));
            if (sectors <= 0)
                return 0;
            pending_.resize(size_t(sectors) * cd_tracks::kSectorBytes);
            pendingStart_ = 0;
            if (!reader_.readNext(pending_.data(), sectors, &error_))
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

    cd_tracks::TrackReader reader_;
    qint64 position_ = 0;
    std::vector<char> pending_;
    size_t pendingStart_ = 0;
    QString error_;
};

} // namespace

std::unique_ptr<DecodeStream> openCdTrackStream(const QString &path, QString *error)
{
    auto stream = std::make_unique<CdTrackStream>();
    QString why;
    // libcdio opens what it is given with waiting reads: only an image (the sheet and
    // the .bin named after it, which it reads) or a drive gets that far.
    if (const std::optional<cd_tracks::TrackName> name = cd_tracks::parseTrackPath(path)) {
        const bool image = cd_tracks::isCueImage(name->source);
        const QString bin = name->source.left(name->source.size() - 4) + QStringLiteral(".bin");
        if (!checkSource(name->source, !image, &why) || (image && !checkSource(bin, false, &why))) {
            if (error)
                *error = why;
            return nullptr;
        }
    }
    if (!stream->open(path, &why)) {
        if (error)
            *error = why;
        return nullptr;
    }
    return stream;
}
