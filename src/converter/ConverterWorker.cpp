#include "converter/ConverterWorker.h"

#include "common/PathRules.h"
#include "converter/DecodeToWav.h"

#include <QFile>

#include <sys/resource.h>
#include <unistd.h>

namespace {

DecoderKind decoderOf(ConversionType type)
{
    switch (type) {
    case ConversionType::Wma:
        return DecoderKind::Wma;
    case ConversionType::CdTrack:
        return DecoderKind::CdTrack;
    case ConversionType::Flac:
        return DecoderKind::Flac;
    default:
        return DecoderKind::AudioFile;
    }
}

QString describeFailure(const DecodeResult &r, const QString &input)
{
    switch (r.status) {
    case DecodeResult::OpenFailed:
        return QStringLiteral("Soubor nelze otevřít ani dekódovat: %1 (%2)").arg(input, r.detail);
    case DecodeResult::ReadFailed:
        return QStringLiteral("Chyba při čtení, převod souboru byl zastaven: %1 (%2)").arg(input, r.detail);
    case DecodeResult::WriteFailed:
    case DecodeResult::SameFile:
    case DecodeResult::TooLarge:
        return r.detail; // names the output, or the input and why
    default:
        return QString();
    }
}

} // namespace

QString ConverterWorker::renamedNote(const QString &wanted, const QString &written)
{
    return QStringLiteral("Soubor %1 už existuje, výstup je uložen jako %2").arg(wanted, written);
}

QStringList ConverterWorker::mp3Outputs(TLameCoder &coder, const QStringList &inputs, const QString &folder)
{
    coder.setInputFiles(inputs);
    QStringList outputs = coder.OutputFiles();
    for (QString &o : outputs)
        o = withSeparator(folder) + path_rules::fileNameOf(o);
    return outputs;
}

void ConverterWorker::run(int type, const QStringList &inputs, const QString &outputFolder)
{
    // A little below the player's threads, so that music playing meanwhile never
    // waits for the conversion on a busy machine (a thread's nice value on Linux).
    static thread_local bool niced = false;
    if (!niced) {
        setpriority(PRIO_PROCESS, id_t(gettid()), 5);
        niced = true;
    }
    const auto t = ConversionType(type);
    const bool whole = t == ConversionType::WavToMp3 ? encodeAll(inputs, outputFolder)
                                                     : decodeAll(decoderOf(t), inputs, outputFolder);
    Q_EMIT finished(!whole);
}

bool ConverterWorker::decodeAll(DecoderKind kind, const QStringList &inputs, const QString &folder)
{
    for (int i = 0; i < inputs.size(); ++i) {
        Q_EMIT fileProgress(0);
        const DecodeResult r = DecodeToWav(folder, inputs[i], kind, [this](int p) { Q_EMIT fileProgress(p); }, &cancel_);
        if (r.status == DecodeResult::Cancelled)
            return false;
        if (r.status != DecodeResult::Done)
            Q_EMIT problem(describeFailure(r, inputs[i]));
        else if (r.writtenPath != r.outputPath)
            Q_EMIT problem(renamedNote(r.outputPath, r.writtenPath));
        Q_EMIT jobsDone(i + 1);
    }
    return true;
}

bool ConverterWorker::encodeAll(const QStringList &inputs, const QString &folder)
{
    TLameCoder LameCoder1;
    LameCoder1.cancelFlag = &cancel_;
    int first = 0;   // of the jobs the coder holds now
    int current = 0; // the coder's index of the file in hand
    LameCoder1.OnBeginFile = [&](TLameCoder &, std::uint16_t Num, const QString &) {
        current = Num;
        Q_EMIT beginFile(first + Num);
    };
    LameCoder1.OnProgress = [this](TLameCoder &, std::uint16_t percent) { Q_EMIT fileProgress(percent); };
    LameCoder1.OnEndFile = [&](TLameCoder &coder, std::uint16_t Num, const QString &written) {
        const QString wanted = coder.OutputFiles().value(Num);
        if (written != wanted)
            Q_EMIT problem(renamedNote(wanted, written));
    };
    // A file that fails is reported and the rest of the list still runs.
    do {
        const QStringList rest = inputs.mid(first);
        LameCoder1.setOutputFiles(mp3Outputs(LameCoder1, rest, folder));
        current = 0;
        try {
            LameCoder1.EncodeFiles();
            first = int(inputs.size());
        } catch (const ELameError &e) {
            // The driver's own texts ("Read Error" ...) do not say which file.
            const QString input = inputs.at(first + current);
            Q_EMIT problem(e.message().contains(input) ? e.message() : e.message() + QLatin1Char('\n') + input);
            first += current + 1;
        } catch (const ELameCancelled &) {
            return false;
        }
    } while (first < inputs.size());
    Q_EMIT jobsDone(int(inputs.size()));
    return true;
}
