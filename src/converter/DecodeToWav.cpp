#include "converter/DecodeToWav.h"

#include "common/PathRules.h"
#include "converter/ConverterFiles.h"
#include "converter/WavFile.h"

#include <vector>

QString withSeparator(const QString &folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

QString wavOutputPath(const QString &folder, const QString &input)
{
    const QString name = path_rules::fileNameOf(input);
    return withSeparator(folder) + name.left(name.size() - path_rules::extensionOf(name).size())
           + QStringLiteral(".wav");
}

DecodeResult DecodeToWav(const QString &outputFolder, const QString &inputPath, DecoderKind kind,
                         const PercentHandler &progress, const std::atomic<bool> *cancel)
{
    DecodeResult result;
    result.outputPath = wavOutputPath(outputFolder, inputPath);
    auto failed = [&result](DecodeResult::Status status, const QString &detail) {
        result.status = status;
        result.detail = detail;
        return result;
    };
    // CD tracks name no file: their source is checked by their own decoder.
    InputFile input;
    if (kind != DecoderKind::CdTrack) {
        if (!input.open(inputPath))
            return failed(DecodeResult::OpenFailed, input.errorString());
        if (isSameFile(result.outputPath, input.status()))
            return failed(DecodeResult::SameFile, sameFileMessage(result.outputPath));
    }
    std::unique_ptr<DecodeStream> stream = openDecodeStream(kind, inputPath, input.fd(), &result.detail);
    if (!stream) {
        result.status = DecodeResult::OpenFailed;
        return result;
    }
    // The length is known (or well estimated) now: refuse before writing a byte.
    auto tooLarge = [&] {
        return failed(DecodeResult::TooLarge,
                      QStringLiteral("Více než 4 GB zvuku se do souboru WAV nevejde, soubor nebyl převeden: %1")
                          .arg(inputPath));
    };
    if (44 + stream->byteLength() > kMaxWavBytes)
        return tooLarge();

    OutputFile out(result.outputPath);
    auto writeFailed = [&] { return failed(DecodeResult::WriteFailed, out.errorString()); };
    if (!out.open())
        return writeFailed();
    const QByteArray head = wav_file::header(stream->channels(), stream->sampleRate(), stream->bitsPerSample(), 0, 0);
    if (!out.write(head.constData(), head.size()))
        return writeFailed();

    // Larger blocks than the 10,000 bytes of old keep the system calls few; the gauge
    // still moves many times a second.
    std::vector<char> block(64 * 1024);
    qint64 size = head.size();
    int lastPercent = -1;
    while (stream->isActive()) {
        const qint64 n = stream->read(block.data(), qint64(block.size()));
        if (n < 0)
            return failed(DecodeResult::ReadFailed, stream->errorString());
        if (size + n > kMaxWavBytes)
            return tooLarge();
        if (n > 0 && !out.write(block.data(), n))
            return writeFailed();
        size += n;
        const qint64 length = stream->byteLength();
        const int percent = length > 0 ? int(double(stream->bytePosition()) / double(length) * 100) : 0;
        if (progress && percent != lastPercent)
            progress(percent);
        lastPercent = percent;
        if (cancel && cancel->load())
            return failed(DecodeResult::Cancelled, QString());
    }
    // A source cut off while it was read ends early and looks whole to the decoder.
    if (input.shrank())
        return failed(DecodeResult::ReadFailed,
                      QStringLiteral("soubor se během převodu zkrátil, výstup by nebyl celý"));
    const QByteArray patched = wav_file::header(stream->channels(), stream->sampleRate(), stream->bitsPerSample(),
                                                quint32(size - 8), quint32(size - 44));
    stream.reset();
    if (!out.writeAt(0, patched.constData(), patched.size()) || !out.commit())
        return writeFailed();
    result.writtenPath = out.finalPath();
    if (progress && lastPercent != 100)
        progress(100);
    return result;
}
