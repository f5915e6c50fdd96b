#include "converter/LameCoder.h"

#include "common/PathRules.h"
#include "converter/ConverterFiles.h"
#include "converter/WavFile.h"

#include <QFile>

#include <lame/lame.h>

#include <memory>
#include <vector>

ELameError::ELameError(const QString &message)
    : std::runtime_error(message.toStdString())
{
}

TLameVersion::TLameVersion()
{
    lame_version_t v{};
    get_lame_version_numerical(&v);
    DLLMajorVersion = MajorVersion = std::uint8_t(v.major);
    DLLMinorVersion = MinorVersion = std::uint8_t(v.minor);
}

void TLameVersion::assign(const TLameVersion &other)
{
    DLLMajorVersion = other.DLLMajorVersion;
    DLLMinorVersion = other.DLLMinorVersion;
    MajorVersion = other.MajorVersion;
    MinorVersion = other.MinorVersion;
}

TLameCoder::TLameCoder() = default;

void TLameCoder::assign(const TLameCoder &other)
{
    SampleRate = other.SampleRate;
    Bitrate = other.Bitrate;
    MaxBitrate = other.MaxBitrate;
    Quality = other.Quality;
    Private = other.Private;
    CRC = other.CRC;
    Mode = other.Mode;
    Copyright = other.Copyright;
    Original = other.Original;
    WriteVBRHeader = other.WriteVBRHeader;
    enableVbr_ = other.enableVbr_;
    VBRQuality = other.VBRQuality;
}

void TLameCoder::setEnableVBR(bool on)
{
    enableVbr_ = on;
    WriteVBRHeader = on;
}

void TLameCoder::setInputFiles(const QStringList &files)
{
    inputFiles_ = files;
    outputFiles_.clear();
    for (const QString &path : files)
        outputFiles_.append(path.left(path.size() - path_rules::extensionOf(path).size()) + DefaultExt);
}

bool TLameCoder::isRawPcmName(const QString &path)
{
    const QString extension = path_rules::upperExtensionOf(path);
    return extension == QLatin1String(".PCM") || extension == QLatin1String(".RAW");
}

void TLameCoder::EncodeFiles()
{
    if (OnBeginProcess)
        OnBeginProcess(*this);
    for (int i = 0; i < inputFiles_.size(); ++i)
        encodeFile(i);
    if (OnEndProcess)
        OnEndProcess(*this);
}

namespace {

struct LameClose {
    void operator()(lame_global_flags *g) const { lame_close(g); }
};

// What the encoder is told about the input, and where its audio lies.
struct InputLayout {
    int sampleRate = 0;
    int channels = 0;
    int blockAlign = 0;
    qint64 offset = 0;
    qint64 total = 0;
    bool wave = false;
};

} // namespace

void TLameCoder::encodeFile(int index)
{
    const QString input = inputFiles_.at(index);
    const QString output = index < outputFiles_.size() ? outputFiles_.at(index) : QString();
    if (OnBeginFile)
        OnBeginFile(*this, std::uint16_t(index), input);

    // Declared so that leaving this function releases, in order: the input buffer,
    // the input file, the output file, the output buffer, the encoder.
    std::unique_ptr<lame_global_flags, LameClose> lame;
    std::vector<unsigned char> outBuffer;
    OutputFile out(output);
    InputFile source;
    QFile in;
    std::vector<char> inBuffer;

    // Only a regular file, opened without waiting on it (a FIFO would hold the run).
    if (!source.open(input) || !in.open(source.fd(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        throw ELameError(input + QStringLiteral(": ") + source.errorString());

    InputLayout layout;
    wav_file::Format format;
    switch (wav_file::readFormat(in, format)) {
    case wav_file::Kind::Wave:
        if (!format.isPcm16() || format.channels > 2)
            throw ELameError(input + QStringLiteral(": not a 16-bit PCM WAV file with one or two channels"));
        // A recording cut off keeps the length it meant to have: encode what is there.
        layout = {format.sampleRate, format.channels, format.blockAlign, format.dataOffset,
                  qMin(format.dataSize, qMax<qint64>(0, source.size() - format.dataOffset)), true};
        break;
    case wav_file::Kind::Broken:
        throw ELameError(input + QStringLiteral(": the WAV file has no format or data chunk"));
    case wav_file::Kind::NotWave: {
        // Headerless PCM only where the name says so: an MP3 or anything else given
        // here by mistake would be encoded as noise.
        if (!isRawPcmName(input))
            throw ELameError(input + QStringLiteral(": není soubor WAV (chybí hlavička RIFF/WAVE), nebyl převeden"));
        const int channels = Mode == TLameMode::MONO ? 1 : 2;
        layout = {int(SampleRate), channels, channels * 2, 0, source.size(), false};
        break;
    }
    }
    if (isSameFile(output, source.status()))
        throw ELameError(sameFileMessage(output));
    auto readError = [&] {
        return ELameError(QStringLiteral("Read Error\n") + input + QStringLiteral(": ")
                          + (source.shrank() ? QStringLiteral("soubor se během převodu zkrátil") : in.errorString()));
    };
    if (!in.seek(layout.offset))
        throw readError();

    lame.reset(lame_init());
    if (!lame)
        throw ELameError(QStringLiteral("beInitStream failed -2"));
    lame_global_flags *g = lame.get();
    lame_set_in_samplerate(g, layout.sampleRate);
    lame_set_num_channels(g, layout.channels);
    lame_set_mode(g, layout.channels == 1 ? MONO : MPEG_mode(int(Mode)));
    lame_set_brate(g, int(Bitrate));
    switch (Quality) {
    case NORMAL_QUALITY:
        break;
    case LOW_QUALITY:
        lame_set_quality(g, 9);
        break;
    case HIGH_QUALITY:
        lame_set_quality(g, 2);
        break;
    case VOICE_QUALITY:
        lame_set_lowpassfreq(g, 12000);
        lame_set_VBR_max_bitrate_kbps(g, 160);
        lame_set_no_short_blocks(g, 1);
        break;
    }
    if (enableVbr_) {
        lame_set_VBR(g, vbr_default);
        lame_set_VBR_q(g, VBRQuality);
        lame_set_VBR_min_bitrate_kbps(g, int(Bitrate));
        if (MaxBitrate > 0)
            lame_set_VBR_max_bitrate_kbps(g, int(MaxBitrate));
    }
    lame_set_extension(g, Private ? 1 : 0);
    lame_set_error_protection(g, CRC ? 1 : 0);
    lame_set_copyright(g, Copyright ? 1 : 0);
    lame_set_original(g, Original ? 1 : 0);
    // The Info (LAME) tag frame records delay and padding, so decoders give back the
    // WAV's exact length; ReplayGain analysis fills it as the lame command does.
    lame_set_bWriteVbrTag(g, 1);
    lame_set_findReplayGain(g, 1);
    if (const int rc = lame_init_params(g); rc < 0)
        throw ELameError(QStringLiteral("beInitStream failed ") + QString::number(rc));

    const int samplesPerChunk = lame_get_framesize(g) * layout.channels;
    quint16 chunkSize = layout.wave ? quint16(samplesPerChunk * layout.blockAlign)
                                    : quint16(layout.channels == 1 ? samplesPerChunk : 2 * samplesPerChunk);
    if (chunkSize < layout.blockAlign)
        chunkSize = quint16(layout.blockAlign * lame_get_framesize(g));
    outBuffer.resize(outputBufferSize(chunkSize / 2 / layout.channels));

    if (!out.open())
        throw ELameError(out.errorString());

    inBuffer.resize(chunkSize);
    const qint64 total = layout.total;
    qint64 done = 0;
    while (done != total) {
        const qint64 thisChunk = quint64(chunkSize) + quint64(done) < quint64(total) ? chunkSize : total - done;
        if (in.read(inBuffer.data(), thisChunk) != thisChunk)
            throw readError();
        const int frames = int(thisChunk / 2) / layout.channels;
        const auto *pcm = reinterpret_cast<const short *>(inBuffer.data());
        const int bytes = layout.channels == 2
            ? lame_encode_buffer_interleaved(g, const_cast<short *>(pcm), frames, outBuffer.data(), int(outBuffer.size()))
            : lame_encode_buffer(g, pcm, pcm, frames, outBuffer.data(), int(outBuffer.size()));
        if (bytes < 0)
            throw ELameError(QStringLiteral("beEncodeChunk failed ") + QString::number(bytes));
        if (!out.write(reinterpret_cast<const char *>(outBuffer.data()), bytes))
            throw ELameError(QStringLiteral("Write Error\n") + out.errorString());
        done += thisChunk;
        if (OnProgress)
            OnProgress(*this, std::uint16_t(done * 100 / total));
        if (cancelFlag && cancelFlag->load())
            throw ELameCancelled();
    }

    const int flushed = lame_encode_flush(g, outBuffer.data(), int(outBuffer.size()));
    bool flushShort = flushed < 0 || !out.write(reinterpret_cast<const char *>(outBuffer.data()), flushed);
    // The tag frame was written first as a placeholder; now it knows the lengths.
    if (!flushShort) {
        unsigned char tag[2880];
        const size_t tagSize = lame_get_lametag_frame(g, tag, sizeof tag);
        if (tagSize > 0 && tagSize <= sizeof tag)
            flushShort = !out.writeAt(0, reinterpret_cast<const char *>(tag), qint64(tagSize));
    }
    inBuffer = {};
    in.close();
    if (flushShort || !out.commit())
        throw ELameError(QStringLiteral("Write error\n") + out.errorString());
    if (OnEndFile)
        OnEndFile(*this, std::uint16_t(index), out.finalPath());
}
