// The MP3 driver on its own: settings and derived names, the order of its events,
// the chunks it reads from WAV files with extra chunks and from raw PCM, and its
// failures, each of which leaves no output behind. Also the WAV names of the decoder.
#include "ConverterTestUtil.h"
#include "converter/DecodeToWav.h"
#include "converter/LameCoder.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

struct Run {
    QStringList events;
    QString error;
};

Run encode(TLameCoder &coder)
{
    Run run;
    coder.OnBeginProcess = [&](TLameCoder &) { run.events << QStringLiteral("begin"); };
    coder.OnBeginFile = [&](TLameCoder &, std::uint16_t n, const QString &) { run.events << QStringLiteral("file %1").arg(n); };
    coder.OnProgress = [&](TLameCoder &, std::uint16_t p) { run.events << QStringLiteral("%1%").arg(p); };
    coder.OnEndFile = [&](TLameCoder &, std::uint16_t n, const QString &) { run.events << QStringLiteral("end %1").arg(n); };
    coder.OnEndProcess = [&](TLameCoder &) { run.events << QStringLiteral("done"); };
    try {
        coder.EncodeFiles();
    } catch (const ELameError &e) {
        run.error = e.message();
    }
    return run;
}

QByteArray stereoPcm(int frames) { return conv_test::sinePcm(frames, 2, 44100, 1000); }

} // namespace

class TestLameCoder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void settings();
    void derivedNames_data();
    void derivedNames();
    void chunks_data();
    void chunks();
    void failuresLeaveNothing_data();
    void failuresLeaveNothing();
    void wavNames_data();
    void wavNames();
};

void TestLameCoder::settings()
{
    TLameCoder coder;
    QCOMPARE(coder.SampleRate, 44100u);
    QCOMPARE(coder.Bitrate, 128u);
    QCOMPARE(coder.MaxBitrate, 320u);
    QCOMPARE(coder.Quality, NORMAL_QUALITY);
    QVERIFY(coder.CRC && !coder.Private && !coder.Copyright && !coder.Original && !coder.WriteVBRHeader);
    QCOMPARE(coder.Mode, TLameMode::STEREO);
    QCOMPARE(coder.VBRQuality, 4);
    QCOMPARE(coder.DefaultExt, QStringLiteral(".mp3"));
    QCOMPARE(coder.LameVersion().MajorVersion, 3); // libmp3lame 3.100
    QCOMPARE(coder.LameVersion().MinorVersion, 100);
    coder.setEnableVBR(true);
    QVERIFY(coder.WriteVBRHeader);
    coder.Bitrate = 64;
    coder.Mode = TLameMode::MONO;
    coder.setInputFiles({QStringLiteral("/a.wav")});
    TLameCoder other;
    other.assign(coder);
    QVERIFY(other.EnableVBR() && other.WriteVBRHeader);
    QCOMPARE(other.Bitrate, 64u);
    QCOMPARE(other.Mode, TLameMode::MONO);
    QVERIFY(other.InputFiles().isEmpty()); // settings only
    // An empty list still brackets the run.
    QCOMPARE(encode(other).events, (QStringList{"begin", "done"}));
}

void TestLameCoder::derivedNames_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::newRow("extension replaced") << "/c/a.wav" << "/c/a.mp3";
    QTest::newRow("no extension") << "/d/b" << "/d/b.mp3";
    QTest::newRow("last dot only") << "/x/a.b.wav" << "/x/a.b.mp3";
    QTest::newRow("dot in the folder") << "/dir.v/name" << "/dir.v/name.mp3";
}

void TestLameCoder::derivedNames()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    TLameCoder coder;
    coder.setOutputFiles({QStringLiteral("stale")});
    coder.setInputFiles({input, input});
    QCOMPARE(coder.OutputFiles(), (QStringList{output, output}));
}

// Chunks: a stereo WAV reads 2304 frames x 4 bytes at a time, raw mono 1152 bytes.
void TestLameCoder::chunks_data()
{
    using conv_test::Chunk;
    using conv_test::fmtChunk;
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("mono");
    QTest::addColumn<QStringList>("progress");
    const QByteArray twoAndABit = stereoPcm(2304 * 2 + 25);
    QTest::newRow("header only") << conv_test::riff({{"fmt ", fmtChunk(2, 44100, 16)}, {"data", {}}}) << false
                                 << QStringList{};
    QTest::newRow("short last chunk") << conv_test::riff({{"fmt ", fmtChunk(2, 44100, 16)}, {"data", twoAndABit}})
                                      << false << QStringList{"49%", "99%", "100%"};
    QTest::newRow("extra chunks before and after")
        << conv_test::riff({{"JUNK", QByteArray(3, 'j')}, {"fmt ", fmtChunk(2, 44100, 16)}, {"LIST", QByteArray(30, 'l')},
                            {"data", twoAndABit}, {"id3 ", QByteArray(200, 'i')}})
        << false << QStringList{"49%", "99%", "100%"};
    // A recording cut off: the data chunk claims twice what the file holds. What is
    // there is encoded, as the lame command does.
    QByteArray cut = conv_test::riff({{"fmt ", fmtChunk(2, 44100, 16)}, {"data", twoAndABit + twoAndABit}});
    cut.chop(twoAndABit.size());
    QTest::newRow("data chunk past the end") << cut << false << QStringList{"49%", "99%", "100%"};
    // Raw (.raw): not "WAVE" at byte 8, so the whole file is PCM from byte 0.
    QByteArray raw = stereoPcm(1152 * 3).left(1152 * 3 + 1);
    raw.replace(8, 4, "XXXX");
    QTest::newRow("raw mono, odd byte count") << raw << true << QStringList{"33%", "66%", "99%", "100%"};
    QTest::newRow("raw stereo") << raw << false << QStringList{"100%"};
}

void TestLameCoder::chunks()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, mono);
    QFETCH(QStringList, progress);
    QTemporaryDir dir;
    // Headerless PCM is read only from a file named so.
    const QString in = dir.filePath(file.mid(8, 4) == "WAVE" ? QStringLiteral("in.wav") : QStringLiteral("in.raw"));
    QVERIFY(conv_test::write(in, file));
    TLameCoder coder;
    if (mono)
        coder.Mode = TLameMode::MONO;
    coder.setInputFiles({in});
    const Run run = encode(coder);
    QCOMPARE(run.error, QString());
    QCOMPARE(run.events, (QStringList{"begin", "file 0"} + progress + QStringList{"end 0", "done"}));
    // At least the Info tag frame, which leads the file.
    const QByteArray mp3 = conv_test::read(dir.filePath(QStringLiteral("in.mp3")));
    QVERIFY(mp3.size() > 100);
    QVERIFY(mp3.contains("Info") || mp3.contains("Xing"));
    QVERIFY(mp3.contains("LAME"));
}

void TestLameCoder::failuresLeaveNothing_data()
{
    using conv_test::fmtChunk;
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<qint64>("sizeLimit");
    QTest::addColumn<QString>("message");
    const QByteArray pcm = stereoPcm(44100 * 10);
    QByteArray truncated = conv_test::riff({{"fmt ", fmtChunk(2, 44100, 16)}, {"data", pcm}});
    truncated.chop(pcm.size() / 2);
    QTest::newRow("no RIFF/WAVE header, not named .pcm or .raw")
        << truncated.mid(12) << qint64(0) << "%1: není soubor WAV (chybí hlavička RIFF/WAVE), nebyl převeden";
    QTest::newRow("8-bit WAV") << conv_test::riff({{"fmt ", fmtChunk(1, 8000, 8)}, {"data", QByteArray(800, 'x')}})
                               << qint64(0) << "%1: not a 16-bit PCM WAV file with one or two channels";
    QTest::newRow("no data chunk") << conv_test::riff({{"fmt ", fmtChunk(2, 44100, 16)}}) << qint64(0)
                                   << "%1: the WAV file has no format or data chunk";
    QTest::newRow("disk full") << conv_test::riff({{"fmt ", fmtChunk(2, 44100, 16)}, {"data", pcm}})
                               << qint64(32 * 1024) << "Write Error\nSoubor %2 je pro tento disk příliš velký";
}

void TestLameCoder::failuresLeaveNothing()
{
    QFETCH(QByteArray, file);
    QFETCH(qint64, sizeLimit);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.wav"));
    QVERIFY(conv_test::write(in, file));
    TLameCoder coder;
    coder.setInputFiles({in, dir.filePath(QStringLiteral("missing.wav"))});
    Run run;
    rlimit old{};
    if (sizeLimit) {
        // A file-size limit fails writes as a full disk would.
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = rlim_t(sizeLimit);
        setrlimit(RLIMIT_FSIZE, &small);
        run = encode(coder);
        setrlimit(RLIMIT_FSIZE, &old);
    } else {
        run = encode(coder);
    }
    QCOMPARE(run.error, QString(message).replace(QStringLiteral("%1"), in).replace(QStringLiteral("%2"), dir.filePath(QStringLiteral("in.mp3"))));
    QVERIFY(!run.events.contains(QStringLiteral("end 0")));
    QVERIFY(!run.events.contains(QStringLiteral("done")));
    QVERIFY(!run.events.contains(QStringLiteral("file 1")));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"in.wav"});
}

void TestLameCoder::wavNames_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::newRow("folder with separator") << "/o/" << "/m/song.mp3" << "/o/song.wav";
    QTest::newRow("folder without one") << "/o" << "/m/song.mp3" << "/o/song.wav";
    QTest::newRow("two dots") << "/o/" << "/m/a.b.mp3" << "/o/a.b.wav";
    QTest::newRow("no extension") << "/o/" << "/m/noext" << "/o/noext.wav";
    QTest::newRow("CD track") << "/o/" << "/dev/sr0/Track03.cda" << "/o/Track03.wav";
}

void TestLameCoder::wavNames()
{
    QFETCH(QString, folder);
    QFETCH(QString, input);
    QFETCH(QString, output);
    QCOMPARE(wavOutputPath(folder, input), output);
}

QTEST_GUILESS_MAIN(TestLameCoder)
#include "test_lamecoder.moc"
