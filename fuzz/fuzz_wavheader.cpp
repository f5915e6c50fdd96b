// WAV files handed to the encoder: any bytes are a wave, raw PCM or broken; a wave's audio
// starts inside the file after its RIFF header.
#include "converter/WavFile.h"

#include <QBuffer>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    wav_file::Format format;
    if (wav_file::readFormat(file, format) == wav_file::Kind::Wave) {
        if (format.dataOffset < 20 || format.dataOffset > qint64(size) || format.dataSize < 0)
            std::abort();
    }
    (void)format.isPcm16();
    return 0;
}
