#include "converter/DecodeToWav.h"

#include "common/PathRules.h"
#include "converter/WavFile.h"

#include <QSaveFile>

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
    std::unique_ptr<DecodeStream> stream = openDecodeStream(kind, inputPath, &result.detail);
    if (!stream) {
        result.status = DecodeResult::OpenFailed;
        return result;
    }
    QSaveFile out(result.outputPath);
    auto writeFailed = [&] {
        result.status = DecodeResult::WriteFailed;
        result.detail = out.errorString();
        out.cancelWriting();
        return result;
    };
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return writeFailed();
    const QByteArray head = wav_file::header(stream->channels(), stream->sampleRate(), stream->bitsPerSample(), 0, 0);
    if (out.write(head) != head.size())
        return writeFailed();

    // Larger blocks than the 10,000 bytes of old keep the system calls few; the gauge
    // still moves many times a second.
    std::vector<char> block(64 * 1024);
    qint64 size = head.size();
    int lastPercent = -1;
    while (stream->isActive()) {
        const qint64 n = stream->read(block.data(), qint64(block.size()));
        if (n < 0) {
            result.status = DecodeResult::ReadFailed;
            result.detail = stream->errorString();
            out.cancelWriting();
            return result;
        }
        if (n > 0 && out.write(block.data(), n) != n)
            return writeFailed();
        size += n;
        const qint64 length = stream->byteLength();
        const int percent = length > 0 ? int(double(stream->bytePosition()) / double(length) * 100) : 0;
        if (progress && percent != lastPercent)
            progress(percent);
        lastPercent = percent;
        if (cancel && cancel->load()) {
            out.cancelWriting();
            result.status = DecodeResult::Cancelled;
            return result;
        }
    }
    if (size - 8 > 0xFFFFFFFFll) {
        result.status = DecodeResult::WriteFailed;
        result.detail = QStringLiteral("more than 4 GB of audio does not fit a WAV file");
        out.cancelWriting();
        return result;
    }
    const QByteArray patched = wav_file::header(stream->channels(), stream->sampleRate(), stream->bitsPerSample(),
                                                quint32(size - 8), quint32(size - 44));
    stream.reset();
    if (!out.seek(0) || out.write(patched) != patched.size() || !out.commit())
        return writeFailed();
    if (progress && lastPercent != 100)
        progress(100);
    return result;
}
