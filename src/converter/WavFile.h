#pragma once
// The RIFF/WAVE layout both ways: the chunks of a WAV file read as they lie (the "fmt "
// chunk and the "data" chunk wherever it is, extra chunks skipped), and the plain
// 44-byte header that the converter writes.
#include <QByteArray>
#include <QString>

class QIODevice;

namespace wav_file {

struct Format {
    int formatTag = 0;     // 1 PCM; 0xFFFE extensible, with the sub-format's tag in subFormatTag
    int subFormatTag = 0;
    int channels = 0;
    int sampleRate = 0;
    int blockAlign = 0;
    int bitsPerSample = 0;
    qint64 dataOffset = 0; // first byte of the audio
    qint64 dataSize = 0;   // as the "data" chunk states it, or to the end when it states none

    bool isPcm16() const;
};

enum class Kind {
    NotWave, // bytes 8..11 are not "WAVE": raw PCM
    Wave,
    Broken,  // says "WAVE" but has no usable "fmt " or "data" chunk
};

// Reads from the start of the device; leaves its position undefined.
Kind readFormat(QIODevice &file, Format &format);

// The 44-byte header: PCM, the given format, both size fields as given.
QByteArray header(int channels, int sampleRate, int bitsPerSample, quint32 riffSize, quint32 dataSize);

} // namespace wav_file
