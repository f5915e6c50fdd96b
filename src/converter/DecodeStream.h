#pragma once
// A decode-only stream: what writing a WAV file needs of a decoder. 16-bit interleaved
// PCM at the source's own rate and channel count, in blocks, with the byte position
// counted from the PCM delivered and the length the stream expects in all.
//
// A stream is used by one thread at a time (the converter's worker).
#include <QString>

#include <memory>

// The four decoders of the converter's WAV types.
enum class DecoderKind { AudioFile, Wma, CdTrack, Flac };

class DecodeStream {
public:
    virtual ~DecodeStream() = default;

    virtual int channels() const = 0;
    virtual int sampleRate() const = 0;
    int bitsPerSample() const { return 16; }
    int blockAlign() const { return channels() * 2; }

    // True while decoded data remains.
    virtual bool isActive() const = 0;
    // Up to maxBytes of PCM, whole sample frames; 0 at the end, -1 on a read or
    // decode error (errorString() says which).
    virtual qint64 read(char *data, qint64 maxBytes) = 0;
    virtual qint64 bytePosition() const = 0;
    // The PCM bytes expected in all: exact for CD tracks, an estimate from the
    // container's duration for files (never below the position).
    virtual qint64 byteLength() const = 0;
    virtual QString errorString() const = 0;
};

// Opens the decoder of a kind for a path; null with *error set when the input cannot
// be opened or holds no audio that decoder reads. The file kinds read the open regular
// file fd (the caller keeps it open while the stream lives; the path only names it);
// CD tracks take fd -1 and open their source themselves.
std::unique_ptr<DecodeStream> openDecodeStream(DecoderKind kind, const QString &path, int fd, QString *error);

// The libav decoder behind the file kinds (audio file, WMA, FLAC).
std::unique_ptr<DecodeStream> openFileDecodeStream(DecoderKind kind, const QString &path, int fd, QString *error);
// GStreamer's decoders, for what libav cannot decode (MIDI).
std::unique_ptr<DecodeStream> openGstDecodeStream(int fd, QString *error);
// Audio-CD tracks, named <source>/TrackNN.cda (platform/CdTracks.h).
std::unique_ptr<DecodeStream> openCdTrackStream(const QString &path, QString *error);
