#pragma once
// Media for the converter's tests: WAV files built byte by byte, files encoded by
// ffmpeg, ffmpeg's own decode as the reference, and a tone's frequency.
#include <QByteArray>
#include <QList>
#include <QString>

namespace conv_test {

// 16-bit PCM samples of a sine, interleaved, every channel the same.
QByteArray sinePcm(int frames, int channels, int sampleRate, double frequencyHz);
// A WAV file of the given chunks in order (each "id" + body; padded when odd).
struct Chunk {
    QByteArray id;
    QByteArray body;
};
QByteArray riff(const QList<Chunk> &chunks);
QByteArray fmtChunk(int channels, int sampleRate, int bits, int formatTag = 1);
bool write(const QString &path, const QByteArray &bytes);
QByteArray read(const QString &path);

// ffmpeg's lavfi sine encoded by extension (mp3, ogg, flac, wma, wav) or codec options.
bool encodeTone(const QString &path, int sampleRate, int channels, int durationMs, double frequencyHz = 440);
// Rewrites a FLAC file's STREAMINFO so that it claims `frames` sample frames: a length
// known on opening, without the bytes.
bool claimFlacFrames(const QString &path, qint64 frames);
// ffmpeg's decode of a file as 16-bit interleaved PCM at the file's rate and channels.
QByteArray ffmpegPcm(const QString &path);
// ffprobe's channel count and sample rate of the first audio stream.
QPair<int, int> probe(const QString &path);

// Zero crossings of the first channel per second, halved.
double toneFrequency(const QByteArray &pcm, int channels, int sampleRate);

} // namespace conv_test
