// Decoding to WAV against ffmpeg's decode of the same files: header fields, size
// fields, and the very same PCM (so the same sample count: an MP3 loses its encoder
// delay and padding). Tracks of a BIN/CUE image against the image's bytes. Inputs
// that cannot be decoded, and a cancelled decode, leave no file.
#include "../fixtures/media/MediaMaker.h"
#include "ConverterTestUtil.h"
#include "converter/DecodeToWav.h"
#include "converter/LameCoder.h"
#include "platform/CdTracks.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

Q_DECLARE_METATYPE(DecoderKind)

namespace {

quint32 u32(const QByteArray &b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
quint16 u16(const QByteArray &b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }

void checkHeader(const QByteArray &wav, int channels, int rate)
{
    QVERIFY(wav.size() >= 44);
    QCOMPARE(wav.left(4), QByteArray("RIFF"));
    QCOMPARE(u32(wav, 4), quint32(wav.size() - 8));
    QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(u32(wav, 16), 16u);
    QCOMPARE(u16(wav, 20), 1);
    QCOMPARE(int(u16(wav, 22)), channels);
    QCOMPARE(int(u32(wav, 24)), rate);
    QCOMPARE(int(u32(wav, 28)), rate * channels * 2);
    QCOMPARE(int(u16(wav, 32)), channels * 2);
    QCOMPARE(u16(wav, 34), 16);
    QCOMPARE(wav.mid(36, 4), QByteArray("data"));
    QCOMPARE(u32(wav, 40), quint32(wav.size() - 44));
}

} // namespace

class TestDecodeToWav : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sameAsFfmpeg_data();
    void sameAsFfmpeg();
    void badInputsLeaveNothing();
    void cancelledLeavesNothing();
    void cdImageTracks();
    void midiThroughGStreamer();
    void sourceCutOffWhileRead_data();
    void sourceCutOffWhileRead();
    void fullDiskNamed();
};

void TestDecodeToWav::sameAsFfmpeg_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<DecoderKind>("kind");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::newRow("mp3 mono 22050") << "a.b.mp3" << DecoderKind::AudioFile << 22050 << 1;
    QTest::newRow("mp3 stereo 44100") << "song.mp3" << DecoderKind::AudioFile << 44100 << 2;
    QTest::newRow("mp3 stereo 48000") << "song.mp3" << DecoderKind::AudioFile << 48000 << 2;
    QTest::newRow("ogg stereo 48000") << "song.ogg" << DecoderKind::AudioFile << 48000 << 2;
    QTest::newRow("ogg mono 22050") << "song.ogg" << DecoderKind::AudioFile << 22050 << 1;
    QTest::newRow("flac mono 44100") << "song.flac" << DecoderKind::Flac << 44100 << 1;
    QTest::newRow("flac stereo 48000") << "song.flac" << DecoderKind::Flac << 48000 << 2;
    QTest::newRow("wma stereo 44100") << "song.wma" << DecoderKind::Wma << 44100 << 2;
    QTest::newRow("wav mono 22050") << "song.wav" << DecoderKind::AudioFile << 22050 << 1;
}

void TestDecodeToWav::sameAsFfmpeg()
{
    QFETCH(QString, name);
    QFETCH(DecoderKind, kind);
    QFETCH(int, rate);
    QFETCH(int, channels);
    QTemporaryDir in;
    QTemporaryDir out;
    const QString source = in.filePath(name);
    QVERIFY(conv_test::encodeTone(source, rate, channels, 1700, 660));
    QList<int> percents;
    const DecodeResult r = DecodeToWav(out.path(), source, kind, [&](int p) { percents.append(p); });
    QCOMPARE(r.status, DecodeResult::Done);
    QCOMPARE(r.outputPath, out.path() + QLatin1Char('/') + name.left(name.lastIndexOf(QLatin1Char('.'))) + ".wav");
    const QByteArray wav = conv_test::read(r.outputPath);
    checkHeader(wav, channels, rate);
    const QByteArray reference = conv_test::ffmpegPcm(source);
    QVERIFY(!reference.isEmpty());
    QCOMPARE(wav.size() - 44, reference.size());
    QVERIFY(wav.mid(44) == reference);
    QVERIFY(!percents.isEmpty());
    QCOMPARE(percents.last(), 100);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 1);
}

void TestDecodeToWav::badInputsLeaveNothing()
{
    QTemporaryDir in;
    QTemporaryDir out;
    const QString text = in.filePath(QStringLiteral("notes.mp3"));
    QVERIFY(conv_test::write(text, "these are not the sounds you are looking for\n"));
    const QString mp3 = in.filePath(QStringLiteral("tone.mp3"));
    QVERIFY(conv_test::encodeTone(mp3, 44100, 2, 500));
    struct Case {
        QString input;
        DecoderKind kind;
        QString folder;
        DecodeResult::Status status;
    } cases[] = {
        {text, DecoderKind::AudioFile, out.path(), DecodeResult::OpenFailed},
        {in.filePath(QStringLiteral("missing.ogg")), DecoderKind::AudioFile, out.path(), DecodeResult::OpenFailed},
        {mp3, DecoderKind::Flac, out.path(), DecodeResult::OpenFailed}, // not what the FLAC type decodes
        {mp3, DecoderKind::AudioFile, out.filePath(QStringLiteral("no/such/folder")), DecodeResult::WriteFailed},
        {in.filePath(QStringLiteral("disc.cue/Track01.cda")), DecoderKind::CdTrack, out.path(), DecodeResult::OpenFailed},
    };
    for (const Case &c : cases) {
        const DecodeResult r = DecodeToWav(c.folder, c.input, c.kind, {});
        QCOMPARE(r.status, c.status);
        QVERIFY2(!r.detail.isEmpty(), qPrintable(c.input));
    }
    // A full disk, as a file-size limit makes it: the half-written WAV goes too.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 32 * 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    const DecodeResult full = DecodeToWav(out.path(), mp3, DecoderKind::AudioFile, {});
    setrlimit(RLIMIT_FSIZE, &old);
    QCOMPARE(full.status, DecodeResult::WriteFailed);
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestDecodeToWav::cancelledLeavesNothing()
{
    QTemporaryDir in;
    QTemporaryDir out;
    const QString flac = in.filePath(QStringLiteral("long.flac"));
    QVERIFY(conv_test::encodeTone(flac, 44100, 2, 20000));
    std::atomic<bool> cancel{false};
    int calls = 0;
    const DecodeResult r = DecodeToWav(out.path(), flac, DecoderKind::Flac, [&](int) {
        if (++calls == 3)
            cancel = true;
    }, &cancel);
    QCOMPARE(r.status, DecodeResult::Cancelled);
    QCOMPARE(calls, 3);
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

// An image of three audio tracks made of noise: 160, 215 and 125 sectors.
void TestDecodeToWav::cdImageTracks()
{
    QTemporaryDir dir;
    QByteArray bin(500 * cd_tracks::kSectorBytes, Qt::Uninitialized);
    QRandomGenerator random(9);
    random.fillRange(reinterpret_cast<quint32 *>(bin.data()), bin.size() / 4);
    const QString cue = dir.filePath(QStringLiteral("disc.cue"));
    QVERIFY(conv_test::write(dir.filePath(QStringLiteral("disc.bin")), bin));
    QVERIFY(conv_test::write(cue, "FILE \"disc.bin\" BINARY\r\n"
                                  "  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
                                  "  TRACK 02 AUDIO\r\n    INDEX 01 00:02:10\r\n"
                                  "  TRACK 03 AUDIO\r\n    INDEX 01 00:05:00\r\n"));
    const QList<cd_tracks::Track> tracks = cd_tracks::audioTracks(cue);
    QCOMPARE(tracks.size(), 3);
    const qint64 starts[] = {0, 160, 375, 500};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(tracks[i].number, i + 1);
        QCOMPARE(tracks[i].firstSector, starts[i]);
        QCOMPARE(tracks[i].sectors, starts[i + 1] - starts[i]);
    }
    QCOMPARE(cd_tracks::describe(tracks[1]), QStringLiteral("Track 02   0:02"));

    const QString track = cd_tracks::trackPath(cue, 2);
    QCOMPARE(track, cue + QStringLiteral("/Track02.cda"));
    const std::optional<cd_tracks::TrackName> parsed = cd_tracks::parseTrackPath(track);
    QVERIFY(parsed && parsed->source == cue && parsed->number == 2);
    QVERIFY(!cd_tracks::parseTrackPath(QStringLiteral("/music/Track02.mp3")));

    QTemporaryDir out;
    const DecodeResult r = DecodeToWav(out.path(), track, DecoderKind::CdTrack, {});
    QCOMPARE(r.status, DecodeResult::Done);
    QCOMPARE(r.outputPath, out.filePath(QStringLiteral("Track02.wav")));
    const QByteArray wav = conv_test::read(r.outputPath);
    checkHeader(wav, 2, 44100);
    QVERIFY(wav.mid(44) == bin.mid(160 * cd_tracks::kSectorBytes, 215 * cd_tracks::kSectorBytes));
}

// ffmpeg has no MIDI decoder to compare with: the synthesiser's sound, about as long as the note.
void TestDecodeToWav::midiThroughGStreamer()
{
    QTemporaryDir in;
    QTemporaryDir out;
    const QString midi = in.filePath(QStringLiteral("tune.mid"));
    QVERIFY(conv_test::write(midi, media_maker::tinyMidi(1000)));
    const DecodeResult r = DecodeToWav(out.path(), midi, DecoderKind::AudioFile, {});
    QCOMPARE(r.status, DecodeResult::Done);
    const QByteArray wav = conv_test::read(r.outputPath);
    const int rate = int(u32(wav, 24));
    checkHeader(wav, u16(wav, 22), rate);
    const double seconds = (wav.size() - 44) / double(u16(wav, 32)) / rate;
    QVERIFY2(seconds > 0.8 && seconds < 4, qPrintable(QString::number(seconds)));
    QVERIFY(wav.mid(44).count('\0') < wav.size() - 44); // not silence
}

// A source cut off while it is decoded looks whole to the decoder: the run says so and
// keeps no shorter WAV, whatever the source's format.
void TestDecodeToWav::sourceCutOffWhileRead_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<DecoderKind>("kind");
    QTest::newRow("wav") << "long.wav" << DecoderKind::AudioFile;
    QTest::newRow("flac") << "long.flac" << DecoderKind::Flac;
}

void TestDecodeToWav::sourceCutOffWhileRead()
{
    QFETCH(QString, name);
    QFETCH(DecoderKind, kind);
    QTemporaryDir in;
    QTemporaryDir out;
    const QString source = in.filePath(name);
    QVERIFY(conv_test::encodeTone(source, 44100, 2, 30000));
    bool cut = false;
    const DecodeResult r = DecodeToWav(out.path(), source, kind, [&](int) {
        if (!cut)
            cut = QFile::resize(source, QFileInfo(source).size() / 3);
    });
    QVERIFY(cut);
    QCOMPARE(r.status, DecodeResult::ReadFailed);
    QVERIFY2(r.detail.contains(QStringLiteral("zkrátil")), qPrintable(r.detail));
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

// A disk that fills up is named as such, with the output's name, for both kinds of
// output; nothing is left on it. A small tmpfs is the full disk (mounting needs root).
void TestDecodeToWav::fullDiskNamed()
{
    QTemporaryDir in;
    QTemporaryDir disk;
    QProcess mount;
    mount.start(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=256k", "tmpfs", disk.path()});
    if (!mount.waitForFinished(10000) || mount.exitCode() != 0)
        QSKIP("a tmpfs cannot be mounted here (not root)");
    auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {disk.path()}); });
    const QString flac = in.filePath(QStringLiteral("tone.flac"));
    QVERIFY(conv_test::encodeTone(flac, 44100, 2, 5000));
    const DecodeResult r = DecodeToWav(disk.path(), flac, DecoderKind::Flac, {});
    QCOMPARE(r.status, DecodeResult::WriteFailed);
    QCOMPARE(r.detail, QStringLiteral("Na disku není místo pro soubor %1").arg(disk.filePath(QStringLiteral("tone.wav"))));
    QCOMPARE(QDir(disk.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());

    const QString wav = in.filePath(QStringLiteral("noise.wav"));
    QByteArray noise(44100 * 4 * 30, Qt::Uninitialized); // about 480 kB of MP3
    QRandomGenerator(3).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QVERIFY(conv_test::write(wav, conv_test::riff({{"fmt ", conv_test::fmtChunk(2, 44100, 16)}, {"data", noise}})));
    TLameCoder coder;
    coder.setInputFiles({wav});
    coder.setOutputFiles({disk.filePath(QStringLiteral("noise.mp3"))});
    QString error;
    try {
        coder.EncodeFiles();
    } catch (const ELameError &e) {
        error = e.message();
    }
    QCOMPARE(error, QStringLiteral("Write Error\nNa disku není místo pro soubor %1").arg(disk.filePath(QStringLiteral("noise.mp3"))));
    QCOMPARE(QDir(disk.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

QTEST_GUILESS_MAIN(TestDecodeToWav)
#include "test_decodetowav.moc"
