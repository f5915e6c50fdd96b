// The converter's speed beside its peers, in the same run and on the same files:
//   decoding a 10-minute MP3 to WAV        against  ffmpeg -i in.mp3 out.wav
//   encoding a 10-minute 44.1 kHz stereo WAV at 128 kbit/s
//                                          against  lame -b 128 -m s -p -o in.wav out.mp3
// (the encoder's defaults: stereo, CRC on, not marked original). Each side runs
// `rounds` times, alternating; the medians count. Prints wall and CPU times and the
// speed ratios (peer time / our time; above 1 is faster than the peer). On a shared
// machine the CPU times (user + system of each child) are the steadier figure. Our side runs as a child process of its own too (this program with
// --decode or --encode), so both sides start from the same state.
//   build/bench/converter/bench_converter [rounds] [minutes]
#include "converter/DecodeToWav.h"
#include "converter/LameCoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

struct Times {
    double wall = 0;
    double cpu = 0;
};

// CPU time of the children that have ended.
double cpuNow()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

Times measure(const std::function<bool()> &job)
{
    QElapsedTimer t;
    const double cpu0 = cpuNow();
    t.start();
    if (!job()) {
        std::fprintf(stderr, "a job failed\n");
        std::exit(1);
    }
    return {t.nsecsElapsed() / 1e9, cpuNow() - cpu0};
}

double median(const std::vector<Times> &runs, double Times::*field)
{
    std::vector<double> v;
    for (const Times &t : runs)
        v.push_back(t.*field);
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void report(const char *what, const char *peer, const std::vector<Times> &ours, const std::vector<Times> &theirs,
            double goal)
{
    const double w = median(ours, &Times::wall), wp = median(theirs, &Times::wall);
    const double c = median(ours, &Times::cpu), cp = median(theirs, &Times::cpu);
    std::printf("%s: wall tarnel %.2f s, %s %.2f s, ratio %.2f; CPU tarnel %.2f s, %s %.2f s, ratio %.2f (goal >= %.2f)\n",
                what, w, peer, wp, wp / w, c, peer, cp, cp / c, goal);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--decode")
        return DecodeToWav(QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[2]), DecoderKind::AudioFile, {})
                           .status == DecodeResult::Done ? 0 : 1;
    if (argc == 4 && QByteArray(argv[1]) == "--encode") {
        TLameCoder coder;
        coder.setInputFiles({QString::fromLocal8Bit(argv[2])});
        coder.setOutputFiles({QString::fromLocal8Bit(argv[3])});
        coder.EncodeFiles();
        return 0;
    }
    const QString self = QCoreApplication::applicationFilePath();
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int minutes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("in.wav"));
    const QString mp3 = dir.filePath(QStringLiteral("in.mp3"));
    const QString length = QString::number(minutes * 60);
    // Music-like input: a tone over pink noise, so the encoder has real work.
    std::printf("making %d-minute inputs...\n", minutes);
    if (!run(QStringLiteral("ffmpeg"),
             {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=" + length, "-f",
              "lavfi", "-i", "anoisesrc=color=pink:amplitude=0.2:sample_rate=44100:duration=" + length,
              "-filter_complex", "amix=inputs=2,aformat=channel_layouts=stereo", "-c:a", "pcm_s16le", wav})
        || !run(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-i", wav, "-c:a", "libmp3lame", "-b:a", "128k", mp3})) {
        std::fprintf(stderr, "ffmpeg could not make the inputs\n");
        return 1;
    }
    const QString ourWavDir = dir.filePath(QStringLiteral("ours"));
    QDir().mkpath(ourWavDir);
    const QString peerWav = dir.filePath(QStringLiteral("ffmpeg.wav"));
    const QString ourMp3 = dir.filePath(QStringLiteral("ours.mp3"));
    const QString peerMp3 = dir.filePath(QStringLiteral("lame.mp3"));

    std::vector<Times> decodeOurs, decodePeer, encodeOurs, encodePeer;
    for (int r = 0; r < rounds; ++r) {
        // The converter never replaces a file: last round's outputs go first.
        QFile::remove(ourWavDir + QStringLiteral("/in.wav"));
        QFile::remove(ourMp3);
        decodeOurs.push_back(measure([&] { return run(self, {"--decode", mp3, ourWavDir}); }));
        decodePeer.push_back(measure([&] {
            return run(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-i", mp3, peerWav});
        }));
        encodeOurs.push_back(measure([&] { return run(self, {"--encode", wav, ourMp3}); }));
        encodePeer.push_back(measure([&] {
            return run(QStringLiteral("lame"), {"--quiet", "-b", "128", "-m", "s", "-p", "-o", wav, peerMp3});
        }));
        std::printf("round %d: decode %.2f s (ffmpeg %.2f s), encode %.2f s (lame %.2f s) wall\n", r + 1,
                    decodeOurs.back().wall, decodePeer.back().wall, encodeOurs.back().wall, encodePeer.back().wall);
    }
    auto bytes = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    // ffmpeg's WAV adds a LIST chunk, so only the MP3s are compared byte for byte.
    const bool sameMp3 = bytes(ourMp3) == bytes(peerMp3);
    std::printf("\nmedians of %d rounds, %d-minute files\n", rounds, minutes);
    report("decode MP3 -> WAV", "ffmpeg", decodeOurs, decodePeer, 1.0);
    report("encode WAV -> MP3", "lame", encodeOurs, encodePeer, 0.95);
    std::printf("the MP3s are %s\n", sameMp3 ? "the same bytes" : "NOT the same bytes");
    return 0;
}
